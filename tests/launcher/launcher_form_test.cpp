// The launcher window's start-up and its watch of the game, whole runs on
// the virtual clock: what the player sees and what the machine sees.
#include <gtest/gtest.h>

#include <optional>

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
void Window(sim::SimMachine& m, const sim::SimProcess& game, const char* title, std::uint64_t from,
            std::uint64_t until) {
    m.At(from, [&m, title, pid = game.pid, until] {
        const WindowHandle hwnd = m.CreateWindow(title, true, pid);
        m.At(until, [&m, hwnd] { m.DestroyWindow(hwnd); });
    });
}

// Stages the folder and sets the value as another launcher's run does, or a
// run that crashed; with `claim`, that run is still on.
Files OthersRun(LauncherRig& run, bool claim, std::uint32_t valueType = reg::kSz) {
    fakes::FakeFileSystem files(run.disk);
    GameFiles(files, kGame).StageGameFiles();
    run.SetRunValue(valueType, kRunData);
    if (claim) run.machine.claimedRuns.insert(kGame);
    return run.Folder();
}

// Start-up in every situation: the game's command line or none, the repair,
// or staying out of the way; the recovery values (the machine's and the
// user's) when the game started, or at the end without a game; the one
// message; and the folder left as it was, restored or staged.
TEST(Launcher, StartUpChoosesTheGameTheRepairOrToStayOut) {
    const std::string passThrough = " INT=Brakkis.int INI=Brakkis.ini  USERINI=BrakkisUser.ini LOG=Brakkis.log";
    const std::string none = "(none)|(none)", ours = kRunData + "|(none)";
    enum Left { kUntouched, kRestored, kStaged };
    const struct {
        std::string arguments;
        std::function<void(LauncherRig&)> setUp;
        std::string command, values, box;  // box: title|style|the text's beginning
        bool loaded, visible;
        Left left;
        std::size_t front = 0;  // times another launcher's run was brought to the front
    } cases[] = {
        {"DM-Deck16", {}, kGameExe + "DM-Deck16" + passThrough, ours, "", true, true, kStaged},
        {"/silent extra", {}, kGameExe + "/silent extra" + passThrough, ours, "", true, true, kStaged},
        {"   ", {}, kGameExe + "   " + passThrough, ours, "", true, true, kStaged},  // blanks are not "no arguments"
        {"\t/silent", {}, kGameExe + "\t/silent" + passThrough, ours, "", true, true, kStaged},  // only blanks are
                                                                                                 // trimmed
        // The repair deletes its own text value wherever it is, and a value of another type nowhere.
        {" /SiLeNt  ",
         [](LauncherRig& r) { OthersRun(r, false), r.SetRunValue(reg::kSz, kRunData, reg::kCurrentUser); }, "", none,
         "", true, false, kRestored},
        {"/SILENT", [](LauncherRig& r) { OthersRun(r, false, reg::kDword); }, "", ours, "", true, false, kRestored},
        // A standard user: the machine's key refuses the value, the user's own takes it.
        {"", [](LauncherRig& r) { r.registry.DenyWrites(reg::kLocalMachine); }, kEntry, "(none)|" + kRunData, "", true,
         true, kStaged},
        {"", [](LauncherRig& r) { r.disk.entries.erase(kGame + "\\UnrealTournament.exe"); }, "", none,
         "Error to stat Brakkis Isle|16|Can't find the UnrealTournament Executable. Make sure this game is installed "
         "in folder's UT.",
         false, false, kUntouched},
        {"", [](LauncherRig& r) { r.failFileSystem = true; }, "", none, "Error to stat Brakkis Isle|16|", false, false,
         kUntouched},
        {"", [](LauncherRig& r) { r.disk.entries.at(kGame).readOnly = true; }, "", none,
         "Brakkis Isle|16|Brakkis Isle may not change the files in the game folder\n\n" + kGame +
             "\n\nWhile Brakkis runs",
         false, false, kUntouched},
        {"", [](LauncherRig& r) { r.failShell = true; }, "", ours, "", true, true, kStaged},
        // Another launcher's run holds the folder: a second start points at it,
        // a repair changes nothing, and a resident repair steps aside whether
        // the run began while it waited for the files or later.
        {"", [](LauncherRig& r) { OthersRun(r, true); }, "", ours, "", false, false, kUntouched, 1},
        {"/silent", [](LauncherRig& r) { OthersRun(r, true); }, "", ours, "", false, false, kUntouched},
        {"/silent", [](LauncherRig& r) { r.machine.whileLocking = [&r](auto&) { OthersRun(r, true); }; }, "", ours, "",
         false, false, kStaged},
        {"/silent", [](LauncherRig& r) { r.machine.At(500, [&r] { OthersRun(r, true); }); }, "", ours, "", false, false,
         kStaged},
    };
    LauncherRig model;
    Install(model.disk);
    const Files original = model.Folder(), staged = OthersRun(model, false);
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.arguments + "\" " + c.command + c.box);
        LauncherRig run;
        Install(run.disk);
        std::string values;
        Files atGameStart;
        sim::SimWindow splash;
        run.machine.SetProgram([&](sim::SimMachine& m, sim::SimProcess& game) {
            values = run.RunValue() + "|" + run.RunValue(reg::kCurrentUser);
            atGameStart = run.Folder(), splash = *m.Window(m.formHwnd);
            m.EndProcess(game.pid);
        });
        if (c.setUp) c.setUp(run);
        const Files before = run.Folder();
        run.Run(c.arguments, 1000);
        EXPECT_EQ(run.machine.runs.empty() ? "" : run.machine.runs[0].command, c.command);
        // The game starts hidden from none of the player's eyes, waited for, on the staged folder, under the
        // splash: topmost in the top-left corner, keyed before it was ever shown.
        if (!c.command.empty()) {
            EXPECT_TRUE(run.machine.runs[0].windowStyle == 0 && run.machine.runs[0].wait);
            EXPECT_EQ(Differences(staged, atGameStart), "");
            EXPECT_TRUE(splash.topmost && splash.visible && splash.left == 0 && splash.top == 0);
            EXPECT_EQ(splash.keyAtFirstShow, 0x00FF00FF);
        }
        EXPECT_EQ(c.command.empty() ? run.RunValue() + "|" + run.RunValue(reg::kCurrentUser) : values, c.values);
        const auto& boxes = run.machine.messageBoxes;
        const std::string box =
            boxes.empty() ? "" : boxes[0].title + "|" + std::to_string(boxes[0].style) + "|" + boxes[0].text;
        EXPECT_TRUE(box.starts_with(c.box) && box.empty() == c.box.empty() && boxes.size() < 2) << box;
        EXPECT_EQ(std::tuple(run.machine.FormLoaded(), run.machine.Visible(), run.machine.broughtToFront.size()),
                  std::tuple(c.loaded, c.visible, c.front));
        EXPECT_EQ(Differences(c.left == kUntouched  ? before
                              : c.left == kRestored ? original
                                                    : staged,
                              run.Folder()),
                  "");
    }
}

// Whenever a start dies after it has changed the folder, the recovery value
// that repairs it is already there.
TEST(Launcher, ACrashAtAnyFileOperationOfAStartFindsTheRecoveryValueInPlace) {
    int crashes = 0;
    for (int k = 0;; ++k, ++crashes) {
        LauncherRig start;
        Install(start.disk);
        start.machine.SetProgram([](sim::SimMachine& m, sim::SimProcess& game) { m.EndProcess(game.pid); });
        const Files original = start.Folder();
        std::optional<std::string> value;
        start.disk.beforeOperation = [&](int operation, const std::string&) {
            if (operation == k) value = start.Folder() == original ? kRunData : start.RunValue();
        };
        start.Run("", 100);
        if (!value) break;
        EXPECT_EQ(*value, kRunData) << "crash before operation " << k;
    }
    EXPECT_GT(crashes, 30);
}

// The courses the game's windows can take: the splash at given moments, and
// when the launcher ends with the player's files back (0: still waiting).
TEST(Launcher, TheWatchFollowsTheGamesWindowsUntilTheGameIsReallyGone) {
    struct Shown {
        const char* title;
        std::uint64_t from, until;
        int start = 1;  // of the game's first start, or of the one it made itself
    };
    const struct {
        std::vector<Shown> windows;
        std::uint64_t endsAt;
        bool restarts;  // at its end the game starts itself anew
        std::map<std::uint64_t, bool> seen;
        std::uint64_t endedAt;
    } courses[] = {
        // First seen on the tick at 1000: a blocking 12 s, then hidden. Gone at
        // 40000, missed by that tick: 2 s, then unloaded.
        {{{"Brakkis", 1000, 40000}}, 40050, false, {{900, true}, {12950, true}, {13050, false}}, 42000},
        {{{"Brakkis", 1000, 20000}, {kVideo, 20000, 25000}}, 25000, false, {{24000, false}, {30000, true}}, 0},
        {{{"Brakkis", 1000, 20000}, {kRecovery, 19000, 30000}, {"Brakkis", 35000, 50000}},
         50000,
         false,
         {{25000, false}, {33000, true}},
         52000},
        {{}, 100, false, {{30050, true}, {30150, false}}, 0},
        // Gone from the screen for 5 s while the game starts itself anew.
        {{{"Brakkis", 1000, 20000}, {"Brakkis", 25000, 35000, 2}}, 20000, true, {{24000, false}}, 37000},
    };
    for (const auto& course : courses) {
        LauncherRig run;
        Install(run.disk);
        const Files original = run.Folder();
        auto& m = run.machine;
        std::optional<Files> restartSaw;
        m.SetProgram([&](sim::SimMachine&, sim::SimProcess& game) {
            const int start = static_cast<int>(m.Processes().size());
            if (start == 2) restartSaw = run.Folder();
            for (const Shown& w : course.windows) {
                if (w.start == start) Window(m, game, w.title, w.from, w.until);
            }
            m.At(start == 1 ? course.endsAt : 35000, [&, start, pid = game.pid, line = game.commandLine] {
                if (start == 1 && course.restarts) m.StartProcess(line);
                m.EndProcess(pid);
            });
        });
        std::map<std::uint64_t, bool> seen;
        for (const auto& [t, visible] : course.seen) m.At(t, [&, t = t] { seen[t] = run.machine.Visible(); });
        run.Run("", 60000);
        EXPECT_EQ(seen, course.seen) << course.endsAt;
        EXPECT_EQ(m.FormLoaded() ? 0 : m.Now(), course.endedAt) << course.endsAt;
        // Ended: every file back and the recovery value gone.
        EXPECT_EQ(m.FormLoaded() ? "(none)" : Differences(original, run.Folder()) + run.RunValue(), "(none)");
        EXPECT_EQ(restartSaw.value_or(Files()).count("Brakkis_Temp\\User.ini"), course.restarts ? 1u : 0u);
    }
}

// The video dialog comes and goes and the main window returns: the restart
// kills the game, carries the device over and starts the entry map again;
// unless the main window is gone again when the restart looks for it, or the
// device cannot be carried (then the launcher shuts down in order).
TEST(Launcher, VideoSetupRestartsTheGameWithThePlayersDevice) {
    for (const std::string course : {"restart", "gone again", "no device"}) {
        LauncherRig run;
        Install(run.disk);
        auto& m = run.machine;
        m.SetProgram([&](sim::SimMachine&, sim::SimProcess& game) {
            if (m.Processes().size() > 1) return Window(m, game, "Brakkis", m.Now() + 500, 200000);
            Window(m, game, "Brakkis", 1000, 20000);
            Window(m, game, kVideo, 20000, 25000);
            Window(m, game, "Brakkis", 25000, 90000);
            m.At(27000, [&m, pid = game.pid] { m.EndProcess(pid); });
            m.At(24900, [&] {
                run.disk.Put(kGame + "\\UnrealTournament.ini", "GameRenderDevice=D3DDrv.D3DRenderDevice\r\n");
                if (course == "no device") run.disk.Put(kGame + "\\Brakkis.ini", "[Engine.Engine]\r\n");
            });
            m.At(25000, [&] { m.SetVisible(true); });  // shown meanwhile: the restart hides it again
        });
        // Back at 25 s, the main window is found by the watch and gone when the
        // restart looks for it: the third search of that tick.
        int searches = 0;
        m.beforeSearch = [&](const std::string& title) {
            if (course == "gone again" && m.Now() >= 25000 && title == "Brakkis" && ++searches == 3) {
                m.DestroyWindow(m.WindowTitled(title));
            }
        };
        run.Run("DM-Deck16", 26000);
        ASSERT_EQ(m.runs.size(), course == "restart" ? 2u : 1u) << course;
        EXPECT_EQ(m.Processes()[0]->killed, course != "gone again") << course;
        EXPECT_EQ(run.form.Watch().VideoSetupSeen, course != "restart");
        EXPECT_EQ(m.FormLoaded(), course != "no device") << course;
        if (course != "restart") continue;
        // At the first tick that saw the main window back, then 3 s of blocking.
        EXPECT_EQ(std::tuple(m.runs[1].command, m.runs[1].wait, m.runs[1].at / 100, m.sleeps),
                  std::tuple(kEntry, false, 250ull, std::vector<std::uint64_t>{12000, 3000}));
        EXPECT_FALSE(run.machine.Visible());
        EXPECT_NE(run.Folder().at("Brakkis.ini").find("GameRenderDevice=D3DDrv.D3DRenderDevice\r\n"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace brakkis::testing
