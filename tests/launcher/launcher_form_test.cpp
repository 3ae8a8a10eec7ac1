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
const std::string kEntry = "\"" + kGame +
                           "\\unrealtournament.exe\" BrakkisEntry.unr INT=Brakkis.int INI=Brakkis.ini  "
                           "USERINI=DefUser.ini LOG=Brakkis.log";

class Launcher : public ::testing::Test {
protected:
    Launcher() {
        Install(rig.disk);
        original = rig.Folder();
    }
    // Whether the splash is visible at a moment of the clock.
    void SeeAt(std::uint64_t t) {
        rig.machine.At(t, [this, t] { seen[t] = rig.Visible(); });
    }
    // A window of the game that comes at one moment and goes at another.
    void Window(const sim::SimProcess& game, const char* title, std::uint64_t from, std::uint64_t until) {
        auto& m = rig.machine;
        m.At(from, [&m, title, pid = game.pid, until] {
            const WindowHandle hwnd = m.CreateWindow(title, true, pid);
            m.At(until, [&m, hwnd] { m.DestroyWindow(hwnd); });
        });
    }
    void EndAt(const sim::SimProcess& game, std::uint64_t t) {
        rig.machine.At(t, [&m = rig.machine, pid = game.pid] { m.EndProcess(pid); });
    }
    // A game that shows its window for a while, then ends; what it found.
    void PlayBriefly() {
        rig.machine.SetProgram([this](sim::SimMachine& m, sim::SimProcess& game) {
            runValueAtStart = rig.RunValue() + "|" + rig.RunValue(reg::kCurrentUser);
            folderAtStart = rig.Folder();
            splashAtStart = *m.Window(m.formHwnd);
            Window(game, "Brakkis", m.Now() + 500, m.Now() + 15000);
            EndAt(game, m.Now() + 15000);
        });
    }

    LauncherRig rig;
    Files original;
    std::map<std::uint64_t, bool> seen;
    std::string runValueAtStart;
    Files folderAtStart;
    sim::SimWindow splashAtStart;
};

TEST_F(Launcher, ANormalRunProtectsThePlayerBeforeTheGameAndPutsAllBackAfterIt) {
    PlayBriefly();
    rig.Run("", 60000);

    EXPECT_EQ(runValueAtStart, kRunData + "|(none)");
    EXPECT_EQ(folderAtStart.count("Brakkis_Temp\\User.ini"), 1u);
    ASSERT_EQ(rig.machine.runs.size(), 1u);
    EXPECT_EQ(rig.machine.runs[0].command, kEntry);
    EXPECT_EQ(rig.machine.runs[0].windowStyle, 0);
    EXPECT_TRUE(rig.machine.runs[0].wait);
    // The splash: topmost in the top-left corner, keyed before it was ever shown.
    EXPECT_TRUE(splashAtStart.topmost && splashAtStart.visible);
    EXPECT_EQ(splashAtStart.left + splashAtStart.top, 0);
    EXPECT_EQ(splashAtStart.keyAtFirstShow, 0x00FF00FF);
    EXPECT_EQ(Differences(original, rig.Folder()), "");
    EXPECT_EQ(rig.RunValue(), "(none)");
    EXPECT_FALSE(rig.machine.FormLoaded());
}

TEST_F(Launcher, TheCommandLineChoosesTheRepairOrTheGamesCommandLine) {
    const std::string passThrough = " INT=Brakkis.int INI=Brakkis.ini  USERINI=BrakkisUser.ini LOG=Brakkis.log";
    const std::string game = "\"" + kGame + "\\unrealtournament.exe\"";
    const std::pair<std::string, std::string> cases[] = {
        {"DM-Deck16", game + "DM-Deck16" + passThrough},
        {"/silent extra", game + "/silent extra" + passThrough},
        {"   ", game + "   " + passThrough},  // blanks only are not "no arguments"
        {"\t/silent", game + "\t/silent" + passThrough},  // only blanks are trimmed
        {" /SiLeNt  ", ""},
        {"/SILENT", ""},
    };
    for (const auto& [arguments, command] : cases) {
        LauncherRig run;
        Install(run.disk);
        run.machine.SetProgram([](sim::SimMachine& m, sim::SimProcess& game) { m.EndProcess(game.pid); });
        run.Run(arguments, 100);
        ASSERT_EQ(run.machine.runs.size(), command.empty() ? 0u : 1u) << arguments;
        EXPECT_EQ(command.empty() ? "" : run.machine.runs[0].command, command);
        EXPECT_EQ(run.Visible(), !command.empty()) << arguments;
    }
}

TEST_F(Launcher, TheRepairRestoresDeletesItsOwnValueOnlyAndStaysHidden) {
    for (const std::uint32_t type : {reg::kSz, reg::kDword}) {
        LauncherRig repair;
        Install(repair.disk);
        fakes::FakeFileSystem files(repair.disk);
        GameFiles(files, kGame).StageGameFiles();
        repair.SetRunValue(type, kRunData);
        repair.SetRunValue(reg::kSz, kRunData, reg::kCurrentUser);
        repair.Run("/silent", 60000);
        EXPECT_EQ(Differences(original, repair.Folder()), "");
        EXPECT_EQ(repair.RunValue() == "(none)", type == reg::kSz);
        EXPECT_EQ(repair.RunValue(reg::kCurrentUser), "(none)");
        EXPECT_TRUE(repair.machine.runs.empty());
        EXPECT_FALSE(repair.Visible());
        EXPECT_TRUE(repair.machine.FormLoaded());
    }
}

TEST_F(Launcher, AMissingGameIsReportedAndNothingIsTouched) {
    for (const bool fileSystemFails : {false, true}) {
        LauncherRig run;
        run.disk.Put(kGame + "\\User.ini", "[DefaultPlayer]\r\n");
        run.failFileSystem = fileSystemFails;
        run.Run("", 5000);
        ASSERT_EQ(run.machine.messageBoxes.size(), 1u);
        EXPECT_EQ(run.machine.messageBoxes[0].text,
                  "Can't find the UnrealTournament Executable. Make sure this game is installed in folder's UT.");
        EXPECT_EQ(run.machine.messageBoxes[0].title, "Error to stat Brakkis Isle");
        EXPECT_EQ(run.machine.messageBoxes[0].style, 16);
        EXPECT_FALSE(run.machine.FormLoaded());
        EXPECT_TRUE(run.machine.runs.empty());
        EXPECT_EQ(run.RunValue(), "(none)");
        EXPECT_EQ(run.Folder(), (Files{{"User.ini", "[DefaultPlayer]\r\n"}}));
    }
}

// A standard user: the machine's Run key refuses the value, the user's own
// takes it; a folder the user may not write is said so, and nothing changes.
TEST_F(Launcher, AStandardUserKeepsTheRepairAndHearsWhatToDoAboutAFolderItMayNotWrite) {
    rig.registry.DenyWrites(reg::kLocalMachine);
    PlayBriefly();
    rig.Run("", 60000);
    EXPECT_EQ(runValueAtStart, "(none)|" + kRunData);
    EXPECT_EQ(rig.RunValue(reg::kCurrentUser), "(none)");

    LauncherRig locked;
    Install(locked.disk);
    locked.disk.entries.at(kGame).readOnly = true;
    locked.Run("", 1000);
    ASSERT_EQ(locked.machine.messageBoxes.size(), 1u);
    const sim::MessageBoxCall& box = locked.machine.messageBoxes[0];
    EXPECT_EQ(box.title + "|" + std::to_string(box.style), "Brakkis Isle|16");
    for (const std::string& part : {kGame, std::string("administrator"), std::string("move Unreal Tournament")}) {
        EXPECT_NE(box.text.find(part), std::string::npos) << part;
    }
    EXPECT_TRUE(locked.machine.runs.empty());
    EXPECT_FALSE(locked.machine.FormLoaded());
    EXPECT_EQ(locked.RunValue() + locked.RunValue(reg::kCurrentUser), "(none)(none)");
    EXPECT_EQ(Differences(original, locked.Folder()), "");
}

// Another launcher's normal run holds the folder: a second start only points
// at it, a repair changes nothing, and a resident repair steps aside.
TEST_F(Launcher, OneLauncherPerGameFolder) {
    const auto othersRun = [&](LauncherRig& run) {
        Install(run.disk);
        fakes::FakeFileSystem files(run.disk);
        GameFiles(files, kGame).StageGameFiles();
        run.SetRunValue(reg::kSz, kRunData);
        run.instances.runs.insert(kGame);
        return run.Folder();
    };
    for (const char* arguments : {"", "/silent"}) {
        LauncherRig second;
        const Files staged = othersRun(second);
        second.Run(arguments, 1000);
        EXPECT_EQ(Differences(staged, second.Folder()), "") << arguments;
        EXPECT_EQ(second.RunValue(), kRunData);
        EXPECT_TRUE(second.machine.runs.empty());
        EXPECT_FALSE(second.machine.FormLoaded());
        EXPECT_EQ(second.instances.broughtToFront.size(), *arguments ? 0u : 1u);
    }
    // The run may begin while the repair waits for the files, or later.
    for (const bool whileWaiting : {true, false}) {
        LauncherRig resident;
        Install(resident.disk);
        Files staged;
        if (whileWaiting) resident.instances.whileLocking = [&](const std::string&) { staged = othersRun(resident); };
        resident.Run("/silent", 1000);
        ASSERT_EQ(resident.machine.FormLoaded(), !whileWaiting);
        if (!whileWaiting) staged = othersRun(resident);
        resident.machine.Pump([] { return false; }, resident.machine.Now() + 500);
        EXPECT_FALSE(resident.machine.FormLoaded());
        EXPECT_EQ(Differences(staged, resident.Folder()), "");
        EXPECT_EQ(resident.RunValue(), kRunData);
    }
}

TEST_F(Launcher, WithoutAShellNoGameStartsAndTheWindowStaysUp) {
    rig.failShell = true;
    rig.Run("", 3000);
    EXPECT_TRUE(rig.machine.runs.empty());
    EXPECT_TRUE(rig.machine.FormLoaded());
    EXPECT_TRUE(rig.Visible());
}

// Whenever a start dies after it has changed the folder, the recovery value
// that repairs it is already there.
TEST_F(Launcher, ACrashAtAnyFileOperationOfAStartFindsTheRecoveryValueInPlace) {
    int crashes = 0;
    for (int k = 0;; ++k) {
        LauncherRig start;
        Install(start.disk);
        start.machine.SetProgram([](sim::SimMachine& m, sim::SimProcess& game) { m.EndProcess(game.pid); });
        std::optional<Files> folder;
        std::string value;
        start.disk.beforeOperation = [&](int operation, const std::string&) {
            if (operation != k) return;
            folder = start.Folder();
            value = start.RunValue();
        };
        start.Run("", 100);
        if (!folder) break;
        ++crashes;
        EXPECT_EQ(*folder == original ? kRunData : value, kRunData) << "crash before operation " << k;
    }
    EXPECT_GT(crashes, 30);
}

// The courses the game's windows can take: the splash at given moments, and
// when the launcher ends with the player's files back (0: still waiting).
TEST_F(Launcher, TheWatchFollowsTheGamesWindowsUntilTheGameIsReallyGone) {
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
         50000, false, {{25000, false}, {33000, true}}, 52000},
        {{}, 100, false, {{30050, true}, {30150, false}}, 0},
        // Gone from the screen for 5 s while the game starts itself anew.
        {{{"Brakkis", 1000, 20000}, {"Brakkis", 25000, 35000, 2}}, 20000, true, {{24000, false}}, 37000},
    };
    for (const auto& course : courses) {
        LauncherRig run;
        Install(run.disk);
        auto& m = run.machine;
        std::optional<Files> restartSaw;
        m.SetProgram([&](sim::SimMachine&, sim::SimProcess& game) {
            const int start = static_cast<int>(m.Processes().size());
            if (start == 2) restartSaw = run.Folder();
            for (const Shown& w : course.windows) {
                if (w.start != start) continue;
                m.At(w.from, [&m, w, pid = game.pid] {
                    const WindowHandle hwnd = m.CreateWindow(w.title, true, pid);
                    m.At(w.until, [&m, hwnd] { m.DestroyWindow(hwnd); });
                });
            }
            m.At(start == 1 ? course.endsAt : 35000, [&, start, pid = game.pid, line = game.commandLine] {
                if (start == 1 && course.restarts) m.StartProcess(line);
                m.EndProcess(pid);
            });
        });
        std::map<std::uint64_t, bool> seen;
        for (const auto& [t, visible] : course.seen) m.At(t, [&, t = t] { seen[t] = run.Visible(); });
        run.Run("", 60000);
        EXPECT_EQ(seen, course.seen) << course.endsAt;
        EXPECT_EQ(m.FormLoaded() ? 0 : m.Now(), course.endedAt) << course.endsAt;
        EXPECT_EQ(m.FormLoaded() ? "" : Differences(original, run.Folder()), "");
        EXPECT_EQ(restartSaw.value_or(Files()).count("Brakkis_Temp\\User.ini"), course.restarts ? 1u : 0u);
    }
}

TEST_F(Launcher, VideoSetupThenTheMainWindowBackRestartsTheGameWithThePlayersDevice) {
    int starts = 0;
    rig.machine.SetProgram([&](sim::SimMachine& m, sim::SimProcess& game) {
        if (++starts > 1) {
            Window(game, "Brakkis", m.Now() + 500, m.Now() + 30000);
            return EndAt(game, m.Now() + 30000);
        }
        Window(game, "Brakkis", 1000, 20000);
        // The dialog writes the chosen device, then the main window returns.
        Window(game, kVideo, 20000, 25000);
        m.At(24900, [&] { rig.disk.Put(kGame + "\\UnrealTournament.ini", "GameRenderDevice=D3DDrv.D3DRenderDevice\r\n"); });
        Window(game, "Brakkis", 25000, 90000);
        // Shown by something else meanwhile: the restart hides it again.
        m.At(24950, [&] { rig.runtime.SetVisible(true); });
    });
    SeeAt(22000);
    SeeAt(26000);
    rig.Run("DM-Deck16", 200000);

    EXPECT_EQ(seen, (std::map<std::uint64_t, bool>{{22000, false}, {26000, false}}));
    ASSERT_EQ(rig.machine.runs.size(), 2u);
    EXPECT_EQ(rig.machine.runs[1].command, kEntry);
    EXPECT_FALSE(rig.machine.runs[1].wait);
    EXPECT_TRUE(rig.machine.Processes()[0]->killed);
    // Killed, carried over and started at the first tick that saw the main
    // window back, then 3 s of blocking.
    EXPECT_GE(rig.machine.runs[1].at, 25000u);
    EXPECT_LT(rig.machine.runs[1].at, 25200u);
    EXPECT_EQ(rig.machine.sleeps, (std::vector<std::uint64_t>{12000, 3000, 2000}));
    EXPECT_FALSE(rig.machine.FormLoaded());
    Files expected = original;
    expected["UnrealTournament.ini"] = "GameRenderDevice=D3DDrv.D3DRenderDevice\r\n";
    const std::string mod = expected["Brakkis.ini"], old = sample::kModRenderDevice;
    expected["Brakkis.ini"] = mod.substr(0, mod.find(old)) + "GameRenderDevice=D3DDrv.D3DRenderDevice" +
                              mod.substr(mod.find(old) + old.size());
    EXPECT_EQ(Differences(expected, rig.Folder()), "");
}

TEST_F(Launcher, AMainWindowGoneAgainBeforeTheRestartLooksKillsNothing) {
    rig.machine.SetProgram([&](sim::SimMachine&, sim::SimProcess& game) {
        Window(game, "Brakkis", 1000, 20000);
        Window(game, kVideo, 20000, 25000);
        Window(game, "Brakkis", 25000, 90000);
        EndAt(game, 25100);
    });
    // Back at 25 s, the main window is found by the watch and gone when the
    // restart looks for it: the third search of that tick.
    int searches = 0;
    rig.machine.beforeSearch = [&](const std::string& title) {
        if (rig.machine.Now() < 25000 || title != "Brakkis" || ++searches != 3) return;
        rig.machine.DestroyWindow(rig.machine.FindWindowByTitle(title));
    };
    rig.Run("", 25050);
    EXPECT_EQ(rig.machine.runs.size(), 1u);
    EXPECT_FALSE(rig.machine.Processes()[0]->killed);
    EXPECT_TRUE(rig.form.Watch().VideoSetupSeen);
}

TEST_F(Launcher, ARestartThatCannotCarryTheDeviceShutsDownInOrder) {
    rig.machine.SetProgram([&](sim::SimMachine& m, sim::SimProcess& game) {
        Window(game, "Brakkis", 1000, 20000);
        Window(game, kVideo, 20000, 25000);
        Window(game, "Brakkis", 25000, 90000);
        // The modification's configuration lost its device line meanwhile.
        m.At(24000, [&] { rig.disk.Put(kGame + "\\Brakkis.ini", "[Engine.Engine]\r\n"); });
    });
    rig.Run("", 60000);
    EXPECT_FALSE(rig.machine.FormLoaded());
    EXPECT_EQ(rig.machine.runs.size(), 1u);
    EXPECT_EQ(rig.RunValue(), "(none)");
    Files expected = original;
    expected["Brakkis.ini"] = "[Engine.Engine]\r\n";
    EXPECT_EQ(Differences(expected, rig.Folder()), "");
}

}  // namespace
}  // namespace brakkis::testing
