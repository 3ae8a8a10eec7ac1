// Whole runs on the virtual clock: what the player sees of the launcher and
// what the machine sees, tick by tick, for each course the game can take.
#include <gtest/gtest.h>

#include "tests/support/launcher_rig.h"
#include "tools/sample-installation/sample_installation.h"

namespace brakkis::testing {
namespace {

constexpr const char* kVideo = "Unreal Tournament Video Configuration";
constexpr const char* kRecovery = "Unreal Tournament Recovery Mode";

class Watch : public ::testing::Test {
protected:
    Watch() {
        sample::WriteInstallation(rig.folder.Native());
        original = rig.folder.Snapshot();
    }

    // Records, at a moment of the clock, whether the splash is visible.
    void SeeAt(std::uint64_t t) {
        rig.machine.At(t, [this, t] { seen[t] = rig.Visible(); });
    }
    // A game window that comes at one moment and goes at another.
    void Window(sim::SimProcess& game, const char* title, std::uint64_t from, std::uint64_t until) {
        auto& m = rig.machine;
        const auto pid = game.pid;
        m.At(from, [&m, title, pid, until] {
            const WindowHandle hwnd = m.CreateWindow(title, true, pid);
            m.At(until, [&m, hwnd] { m.DestroyWindow(hwnd); });
        });
    }
    void EndAt(sim::SimProcess& game, std::uint64_t t) {
        auto& m = rig.machine;
        const auto pid = game.pid;
        m.At(t, [&m, pid] { m.EndProcess(pid); });
    }

    LauncherRig rig;
    std::map<std::string, std::string> original;
    std::map<std::uint64_t, bool> seen;
};

TEST_F(Watch, GameUpThenGoneHidesTheSplashThenPutsEverythingBack) {
    rig.machine.SetProgram([&](sim::SimMachine&, sim::SimProcess& game) {
        Window(game, "Brakkis", 1000, 40000);
        EndAt(game, 40050);
    });
    for (std::uint64_t t : {900, 1200, 12950, 13050, 30000}) SeeAt(t);

    rig.Run("", 120000);

    // First sighting on the tick at 1000: a blocking 12 s, then hidden.
    EXPECT_TRUE(seen[900]);
    EXPECT_TRUE(seen[1200]);
    EXPECT_TRUE(seen[12950]);
    EXPECT_FALSE(seen[13050]);
    EXPECT_FALSE(seen[30000]);
    // Gone at 40000: missed by that tick, 2 s, then unloaded.
    EXPECT_FALSE(rig.machine.FormLoaded());
    EXPECT_EQ(rig.machine.Now(), 42000u);
    EXPECT_EQ(rig.machine.sleeps, (std::vector<std::uint64_t>{12000, 2000}));
    EXPECT_EQ(rig.folder.Snapshot(), original);
    EXPECT_EQ(rig.RunValue(), "(none)");
}

TEST_F(Watch, VideoSetupThenMainWindowBackRestartsTheGameWithThePlayersDevice) {
    int starts = 0;
    rig.machine.SetProgram([&](sim::SimMachine&, sim::SimProcess& game) {
        if (++starts == 1) {
            Window(game, "Brakkis", 1000, 20000);
            // The dialog writes the chosen device, then the main window returns.
            Window(game, kVideo, 20000, 25000);
            rig.machine.At(24900, [&] {
                rig.folder.Write("UnrealTournament.ini",
                                 "[Engine.Engine]\r\nGameRenderDevice=D3DDrv.D3DRenderDevice\r\n");
            });
            Window(game, "Brakkis", 25000, 90000);
            EndAt(game, 90000);
        } else {
            const std::uint64_t now = rig.machine.Now();
            Window(game, "Brakkis", now + 500, now + 30000);
            EndAt(game, now + 30000);
        }
    });
    SeeAt(22000);
    SeeAt(26000);

    rig.Run("DM-Deck16", 200000);

    EXPECT_FALSE(seen[22000]);  // hidden for the dialog
    ASSERT_EQ(rig.machine.runs.size(), 2u);
    EXPECT_EQ(rig.machine.runs[1].command,
              "\"" + rig.folder.Path() +
                  "\\unrealtournament.exe\" BrakkisEntry.unr INT=Brakkis.int INI=Brakkis.ini  USERINI=DefUser.ini "
                  "LOG=Brakkis.log");
    EXPECT_FALSE(rig.machine.runs[1].wait);
    EXPECT_TRUE(rig.machine.Processes()[0]->killed);
    // The restart: killed, carried over and started at the first tick that
    // saw the main window back, then 3 s of blocking.
    EXPECT_GE(rig.machine.runs[1].at, 25000u);
    EXPECT_LT(rig.machine.runs[1].at, 25200u);
    EXPECT_EQ(rig.machine.sleeps, (std::vector<std::uint64_t>{12000, 3000, 2000}));
    EXPECT_FALSE(rig.machine.FormLoaded());
    // Restored afterwards; the modification keeps the player's device.
    auto expected = original;
    expected["UnrealTournament.ini"] = "[Engine.Engine]\r\nGameRenderDevice=D3DDrv.D3DRenderDevice\r\n";
    const std::string brakkisIni = rig.folder.Read("Brakkis.ini");
    EXPECT_NE(brakkisIni.find("GameRenderDevice=D3DDrv.D3DRenderDevice\r\n"), std::string::npos);
    expected["Brakkis.ini"] = brakkisIni;
    EXPECT_EQ(rig.folder.Snapshot(), expected);
}

TEST_F(Watch, VideoSetupClosedWithoutTheGameShowsTheSplashAgainAndWaits) {
    rig.machine.SetProgram([&](sim::SimMachine&, sim::SimProcess& game) {
        Window(game, "Brakkis", 1000, 20000);
        Window(game, kVideo, 20000, 25000);
        EndAt(game, 25000);
    });
    SeeAt(24000);
    SeeAt(30000);
    rig.Run("", 60000);
    EXPECT_FALSE(seen[24000]);
    EXPECT_TRUE(seen[30000]);
    EXPECT_TRUE(rig.machine.FormLoaded());  // no game window seen again: it waits
    EXPECT_FALSE(rig.form.Watch().GameSeen);
    EXPECT_TRUE(rig.form.Watch().VideoSetupSeen);
}

TEST_F(Watch, ARecoveryDialogKeepsTheLauncherUntilTheGameIsReallyGone) {
    rig.machine.SetProgram([&](sim::SimMachine&, sim::SimProcess& game) {
        Window(game, "Brakkis", 1000, 20000);
        Window(game, kRecovery, 19000, 30000);
        Window(game, "Brakkis", 35000, 50000);
        EndAt(game, 50000);
    });
    SeeAt(25000);
    SeeAt(33000);
    rig.Run("", 100000);
    EXPECT_FALSE(seen[25000]);
    EXPECT_TRUE(seen[33000]);  // dialog gone: shown again
    EXPECT_FALSE(rig.machine.FormLoaded());
    EXPECT_EQ(rig.folder.Snapshot(), original);
}

TEST_F(Watch, WithoutAGameTheSplashHidesOnThe301stTick) {
    rig.machine.SetProgram([&](sim::SimMachine&, sim::SimProcess& game) { EndAt(game, 100); });
    SeeAt(30050);
    SeeAt(30150);
    rig.Run("", 40000);
    EXPECT_TRUE(seen[30050]);
    EXPECT_FALSE(seen[30150]);
    EXPECT_TRUE(rig.machine.FormLoaded());
}

TEST_F(Watch, ARestartThatCannotCarryTheDeviceShutsDownInOrder) {
    rig.machine.SetProgram([&](sim::SimMachine&, sim::SimProcess& game) {
        Window(game, "Brakkis", 1000, 20000);
        Window(game, kVideo, 20000, 25000);
        Window(game, "Brakkis", 25000, 90000);
        // The modification's configuration lost its device line meanwhile.
        rig.machine.At(24000, [&] { rig.folder.Write("Brakkis.ini", "[Engine.Engine]\r\n"); });
    });
    rig.Run("", 60000);
    EXPECT_FALSE(rig.machine.FormLoaded());
    EXPECT_EQ(rig.machine.runs.size(), 1u);
    EXPECT_EQ(rig.RunValue(), "(none)");
    auto expected = original;
    expected["Brakkis.ini"] = "[Engine.Engine]\r\n";
    EXPECT_EQ(rig.folder.Snapshot(), expected);
}

}  // namespace
}  // namespace brakkis::testing
