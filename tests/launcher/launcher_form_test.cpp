// The launcher window's start-up and its watch of the game, whole runs on
// the virtual clock: what the player sees and what the machine sees.
#include <gtest/gtest.h>

#include "tests/support/launcher_rig.h"

namespace brakkis::testing {
namespace {

constexpr const char* kVideo = "Unreal Tournament Video Configuration";
constexpr const char* kRecovery = "Unreal Tournament Recovery Mode";
const std::string kRunData = kGame + "\\Brakkis Isle.exe /silent";
const std::string kGameExe = "\"" + kGame + "\\unrealtournament.exe\"";
const std::string kEntry =
    kGameExe + " BrakkisEntry.unr INT=Brakkis.int INI=Brakkis.ini  USERINI=DefUser.ini LOG=Brakkis.log";

// A window of the game that comes at one moment and goes at another.
void Window(sim::SimMachine& m, std::uint32_t pid, const char* title, std::uint64_t from, std::uint64_t until) {
    m.At(from, [&m, title, pid, until] {
        const WindowHandle hwnd = m.CreateWindow(title, true, pid);
        m.At(until, [&m, hwnd] { m.DestroyWindow(hwnd); });
    });
}

// Sets the value and stages the folder as another launcher's run does, or a
// run that crashed; with `claim`, that run is still on.
Files OthersRun(LauncherRig& run, bool claim, std::uint32_t valueType = reg::kSz) {
    run.SetRunValue(valueType, kRunData);
    GameFiles(*run.files(), kGame).StageGameFiles();
    if (claim) run.machine.claimedRuns.insert(kGame);
    return run.Folder();
}

// Start-up in every situation: the game's command line or none, the repair,
// or staying out of the way; the recovery values (the machine's and the
// user's), the one message, and the folder left as it was, restored or staged.
TEST(Launcher, StartUpChoosesTheGameTheRepairOrToStayOut) {
    const std::string none = "(none)|(none)", ours = kRunData + "|(none)";
    const std::string passThrough = " INT=Brakkis.int INI=Brakkis.ini  USERINI=BrakkisUser.ini LOG=Brakkis.log";
    // Unloaded at once, after pointing at another launcher's run, or later, stepping aside for that run.
    enum End { kPlays, kRepairs, kOut, kPointsAtTheRun, kStepsAside };
    const struct {
        std::string arguments;
        std::function<void(LauncherRig&)> setUp;
        End end;
        std::string values, box = "";  // box: title|style|the text's beginning
    } cases[] = {
        {"/silent extra", {}, kPlays, ours},
        {"   ", {}, kPlays, ours},        // blanks are not "no arguments"
        {"\t/silent", {}, kPlays, ours},  // only blanks are trimmed
        // The repair deletes its own text value wherever it is, and a value of another type nowhere.
        {" /SiLeNt  ", [](auto& r) { OthersRun(r, false), r.SetRunValue(reg::kSz, kRunData, reg::kCurrentUser); },
         kRepairs, none},
        {"/SILENT", [](auto& r) { OthersRun(r, false, reg::kDword); }, kRepairs, ours},
        // A standard user: the machine's key refuses the value, the user's own takes it.
        {"", [](auto& r) { r.registry.DenyWrites(reg::kLocalMachine); }, kPlays, "(none)|" + kRunData},
        {"", [](auto& r) { r.failShell = true; }, kPlays, ours},
        {"", [](auto& r) { r.disk.entries.erase(kGame + "\\UnrealTournament.exe"); }, kOut, none,
         "Error to stat Brakkis Isle|16|Can't find the UnrealTournament Executable. Make sure this game is installed "
         "in folder's UT."},
        {"", [](auto& r) { r.failFileSystem = true; }, kOut, none, "Error to stat Brakkis Isle|16|"},
        {"", [](auto& r) { r.disk.entries.at(kGame).readOnly = true; }, kOut, none,
         "Brakkis Isle|16|Brakkis Isle may not change the files in the game folder\n\n" + kGame +
             "\n\nWhile Brakkis runs"},
        // Another launcher's run holds the folder: a second start points at it, and a repair steps aside whether
        // the run began while it waited for the files or once it stays resident.
        {"", [](auto& r) { OthersRun(r, true); }, kPointsAtTheRun, ours},
        {"/silent", [](auto& r) { r.machine.whileLocking = [&r](auto&) { OthersRun(r, true); }; }, kStepsAside, ours},
        {"/silent", [](auto& r) { r.machine.At(500, [&r] { OthersRun(r, true); }); }, kStepsAside, ours},
    };
    LauncherRig model;
    const Files original = model.Folder(), staged = OthersRun(model, false);
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.arguments + "\" " + c.values + c.box);
        LauncherRig run;
        auto& m = run.machine;
        Files atGameStart;
        m.program = [&](auto&, sim::SimProcess& game) { atGameStart = run.Folder(), m.EndProcess(game.pid); };
        if (c.setUp) c.setUp(run);
        const Files before = run.Folder();
        // A start that dies once it has changed the folder leaves the value that repairs it.
        run.disk.beforeOperation = [&](int, const std::string&) {
            const bool valueSet = run.RunValue() + run.RunValue(reg::kCurrentUser) != "(none)(none)";
            EXPECT_TRUE(valueSet || c.end != kPlays || run.Folder() == before);
        };
        m.RunForm(run.form, c.arguments, 1000);
        const bool started = c.end == kPlays && !run.failShell;
        const std::string command = c.arguments.empty() ? kEntry : kGameExe + c.arguments + passThrough;
        EXPECT_EQ(m.runs.empty() ? "" : m.runs[0].command, started ? command : "");
        // Waited for, hidden from none of the player's eyes, on the staged folder.
        EXPECT_TRUE(!started || (m.runs[0].windowStyle == 0 && m.runs[0].wait && atGameStart == staged));
        // The splash: topmost in the top-left corner, keyed before it was ever shown.
        const sim::SimWindow* splash = m.Window(m.formHwnd);
        EXPECT_TRUE(c.end != kPlays ||
                    (splash->topmost && splash->left == 0 && splash->top == 0 && splash->keyAtFirstShow == 0x00FF00FF));
        EXPECT_EQ(run.RunValue() + "|" + run.RunValue(reg::kCurrentUser), c.values);
        const std::string box = m.messageBoxes.empty() ? "" : m.messageBoxes[0];
        EXPECT_TRUE(box.starts_with(c.box) && box.empty() == c.box.empty() && m.messageBoxes.size() < 2) << box;
        EXPECT_EQ(std::tuple(m.FormLoaded(), m.Visible(), m.broughtToFront.size()),
                  std::tuple(c.end <= kRepairs, c.end == kPlays, c.end == kPointsAtTheRun ? 1u : 0u));
        const bool leftStaged = c.end == kPlays || c.end == kStepsAside;
        EXPECT_EQ(Differences(c.end == kRepairs ? original : leftStaged ? staged : before, run.Folder()), "");
    }
}

// The courses the game's windows can take: the splash at given moments, and
// when the launcher ends (0: still waiting) with the files back and no value.
TEST(Launcher, TheWatchFollowsTheGamesWindowsUntilTheGameIsReallyGone) {
    const struct {
        std::vector<std::tuple<const char*, std::uint64_t, std::uint64_t>> windows;  // title, from, until
        std::uint64_t endsAt, endedAt;
        std::map<std::uint64_t, bool> seen;
        bool restarts = false;  // at its end the game starts itself anew, with the windows after that end
    } courses[] = {
        // First seen on the tick at 1000: a blocking 12 s, then hidden, also while the recovery dialog stands, and
        // shown once it closes. Gone at 50000, its process still there for that tick: 2 s, then unloaded.
        {{{"Brakkis", 1000, 20000}, {kRecovery, 19000, 30000}, {"Brakkis", 35000, 50000}},
         50050,
         52000,
         {{900, true}, {12950, true}, {13050, false}, {25000, false}, {33000, true}}},
        {{{"Brakkis", 1000, 20000}, {kVideo, 20000, 25000}}, 25000, 0, {{24000, false}, {30000, true}}},
        {{}, 100, 0, {{30050, true}, {30150, false}}},
        // Gone from the screen for 5 s while the game starts itself anew; a standard user's run.
        {{{"Brakkis", 1000, 20000}, {"Brakkis", 25000, 35000}}, 20000, 37000, {{24000, false}}, true},
    };
    for (const auto& course : courses) {
        LauncherRig run;
        if (course.restarts) run.registry.DenyWrites(reg::kLocalMachine);
        const Files original = run.Folder();
        auto& m = run.machine;
        m.program = [&](auto&, sim::SimProcess& game) {
            const bool first = m.Processes().size() == 1;
            for (const auto& [title, from, until] : course.windows) {
                if ((from < course.endsAt) == first) Window(m, game.pid, title, from, until);
            }
            m.At(first ? course.endsAt : 35000, [&, first, pid = game.pid, line = game.commandLine] {
                if (first && course.restarts) m.StartProcess(line);
                m.EndProcess(pid);
            });
        };
        std::map<std::uint64_t, bool> seen;
        for (const auto& [t, visible] : course.seen) m.At(t, [&, t = t] { seen[t] = m.Visible(); });
        m.RunForm(run.form, "", 60000);
        EXPECT_EQ(seen, course.seen) << course.endsAt;
        EXPECT_EQ(m.FormLoaded() ? 0 : m.Now(), course.endedAt) << course.endsAt;
        const std::string values = run.RunValue() + run.RunValue(reg::kCurrentUser);
        EXPECT_EQ(m.FormLoaded() ? "(none)(none)" : Differences(original, run.Folder()) + values, "(none)(none)");
    }
}

// The video dialog comes and goes and the main window returns: the restart
// kills the game, carries the device over and starts the entry map again;
// unless the main window is gone again when the restart looks for it, or the
// device cannot be carried (then the launcher shuts down in order).
TEST(Launcher, VideoSetupRestartsTheGameWithThePlayersDevice) {
    for (const std::string course : {"restart", "gone again", "no device"}) {
        LauncherRig run;
        auto& m = run.machine;
        m.program = [&](auto&, sim::SimProcess& game) {
            if (m.Processes().size() > 1) return;  // the run ends with the restart's blocking
            Window(m, game.pid, "Brakkis", 1000, 20000);
            Window(m, game.pid, kVideo, 20000, 25000);
            Window(m, game.pid, "Brakkis", 25000, 90000);
            if (course == "no device") run.disk.Put(kGame + "\\Brakkis.ini", "[Engine.Engine]\r\n");
            m.At(25000, [&] { m.SetVisible(true); });  // shown meanwhile: the restart hides it again
        };
        // Back at 25 s, the main window is gone when the restart looks: from the third search of that tick on.
        int searches = 0;
        m.missed = [&](const std::string& title) {
            return course == "gone again" && m.Now() >= 25000 && title == "Brakkis" && ++searches >= 3;
        };
        m.RunForm(run.form, "DM-Deck16", 26000);
        SCOPED_TRACE(course);
        ASSERT_EQ(m.runs.size(), course == "restart" ? 2u : 1u);
        EXPECT_EQ(std::tuple(m.Processes()[0]->killed, run.form.Watch().VideoSetupSeen, m.FormLoaded()),
                  std::tuple(course != "gone again", course != "restart", course != "no device"));
        if (course != "restart") continue;
        // At the first tick that saw the main window back, 25 s, then 3 s of blocking that end the run.
        EXPECT_EQ(std::tuple(m.runs[1].command, m.runs[1].wait, m.Now(), m.sleeps, m.Visible()),
                  std::tuple(kEntry, false, 28000ull, std::vector<std::uint64_t>{12000, 3000}, false));
    }
}

}  // namespace
}  // namespace brakkis::testing
