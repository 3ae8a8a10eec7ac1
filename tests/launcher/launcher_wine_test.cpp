// The real "Brakkis Isle.exe" under Wine: its whole courses as a player
// meets them, and the game folder's routines on the real file system against
// files held open.
#include "launcher/game_command_lines.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_window_runtime.h"
#include "tests/support/real_launcher.h"

namespace brakkis::wine {
namespace {

// The second run's game reads its localisation in UTF-16, and titles its
// window from it all the same.
TEST_F(RealLauncher, EntryAndPassThroughRunsShowTheGameItsFilesAndEndWithIt) {
    for (const std::string arguments : {"", "/silent extra"}) {
        SCOPED_TRACE("arguments \"" + arguments + "\"");
        const std::string folder = Installation("main_window_ms=300\r\nexit_after_ms=3000\r\n");
        if (!arguments.empty()) {
            std::ofstream(folder + "\\UnrealTournament.int", std::ios::binary)
                << Utf16(original_["UnrealTournament.int"]);
            original_ = Snapshot(folder);
        }
        ExpectEndedAndRestored(Start(folder, arguments), folder, 60000, original_);
        const auto starts = standin::GameStarts(folder);
        ASSERT_EQ(starts.size(), 1u);
        EXPECT_EQ(starts[0].commandLine,
                  arguments.empty() ? EntryLaunchCommand(folder) : PassThroughLaunchCommand(folder, arguments));
        EXPECT_EQ(starts[0].runValue, folder + "\\Brakkis Isle.exe /silent");
        ExpectSawTheModsNames(starts[0]);
    }
}

// Closed from outside, or at the end of the Windows session, the launcher
// puts everything back before it goes, even with the game still running.
TEST_F(RealLauncher, ACloseOrTheEndOfTheSessionRestoresTheFolder) {
    for (const UINT message : {WM_CLOSE, WM_ENDSESSION}) {
        SCOPED_TRACE(message);
        const std::string folder = Installation("main_window_ms=60000\r\nexit_after_ms=60000\r\n");
        const HANDLE launcher = Start(folder, "");
        // Once the game has read its localisation: a file held open is not rewritten.
        ASSERT_TRUE(WaitUntil([] { return Found("Brakkis (Running)"); }));
        ::PostMessageA(::FindWindowA(kSplashClassName, nullptr), message, TRUE, 0);
        ExpectEndedAndRestored(launcher, folder, 20000, original_);
        ::TerminateJobObject(job_.Get(), 1);  // its game, titled as the next one will be
        ASSERT_TRUE(WaitUntil([&] { return ProcessesLeft() == 0; }, 10s));
    }
}

TEST_F(RealLauncher, OneLauncherPerFolderThroughAVideoSetupRestart) {
    // The first game would play on long after its dialog: only the kill ends it in time.
    const std::string folder = Installation(
        "main_window_ms=300\r\n1.video_setup_at_ms=16000\r\nvideo_setup_ms=1000\r\n"
        "new_render_device=D3DDrv.D3DRenderDevice\r\n1.exit_after_ms=120000\r\n2.exit_after_ms=3000\r\n");
    const HANDLE repair = Start(folder, "/silent");
    EXPECT_EQ(::WaitForSingleObject(repair, 2000), static_cast<DWORD>(WAIT_TIMEOUT)) << "the repair is resident";
    const HANDLE launcher = Start(folder, "DM-Deck16");
    ASSERT_TRUE(WaitUntil([&] { return standin::GameStarts(folder).size() == 1; }));
    EXPECT_EQ(::WaitForSingleObject(repair, 5000), WAIT_OBJECT_0) << "the repair did not step aside";
    const Files staged = Snapshot(folder);
    for (const char* arguments : {"", "/silent"}) {
        EXPECT_EQ(::WaitForSingleObject(Start(folder, arguments), 10000), WAIT_OBJECT_0) << arguments;
        EXPECT_EQ(Differences(staged, Snapshot(folder)), "") << arguments;
    }
    EXPECT_EQ(RunValue(), folder + "\\Brakkis Isle.exe /silent");

    Files expected = original_;
    for (const auto& [name, old] : {std::pair{"UnrealTournament.ini", sample::kGameRenderDevice},
                                    std::pair{"Brakkis.ini", sample::kModRenderDevice}}) {
        expected[name].replace(expected[name].find(old), std::string(old).size(),
                               "GameRenderDevice=D3DDrv.D3DRenderDevice");
    }
    ExpectEndedAndRestored(launcher, folder, 90000, expected);
    const auto starts = standin::GameStarts(folder);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1].commandLine, EntryLaunchCommand(folder));
    ExpectSawTheModsNames(starts[1]);
    EXPECT_EQ(ProcessesLeft(), 0u) << "the first game was not ended";
}

// The game's window goes for a while and comes back: first for a recovery
// dialog, then while the game restarts itself after a change of renderer.
// The launcher stays, and the new process finds the modification's files.
TEST_F(RealLauncher, AGameWindowThatGoesForAWhileKeepsTheLauncherAndTheFiles) {
    const std::string folder = Installation(
        "main_window_ms=300\r\nrecovery_at_ms=13000\r\nrecovery_ms=2000\r\n1.restart_at_ms=32000\r\n"
        "1.exit_after_ms=90000\r\n2.main_window_ms=4000\r\n2.exit_after_ms=8000\r\n");
    const HANDLE launcher = Start(folder, "");
    ASSERT_TRUE(WaitUntil([] { return Found("Unreal Tournament Recovery Mode") && !Found("Brakkis"); }, 40s));
    ASSERT_TRUE(WaitUntil([] { return Found("Brakkis"); }, 30s));
    // Shown again once the dialog has gone, the splash leaves the keyboard to the game.
    ASSERT_TRUE(WaitUntil([] { return ::IsWindowVisible(::FindWindowA(kSplashClassName, nullptr)); }, 20s));
    EXPECT_EQ(::GetForegroundWindow(), ::FindWindowA(nullptr, "Brakkis"));
    ASSERT_TRUE(WaitUntil([&] { return standin::GameStarts(folder).size() == 2; }, 40s));
    // The new process titles its window from the localisation the launcher left in place.
    EXPECT_TRUE(WaitUntil([] { return Found("Brakkis"); }, 20s));
    EXPECT_TRUE(fs::exists(folder + "\\Brakkis_Temp") && RunValue());
    ExpectEndedAndRestored(launcher, folder, 60000, original_);
    ExpectSawTheModsNames(standin::GameStarts(folder)[1]);
}

TEST_F(RealLauncher, AfterACrashTheRepairRestoresAndStaysHiddenWithoutAGame) {
    const std::string folder = Installation("main_window_ms=300\r\nexit_after_ms=120000\r\n");
    Start(folder, "");
    ASSERT_TRUE(WaitUntil([&] { return standin::GameStarts(folder).size() == 1; }));
    // The machine goes down with the launcher and the game in it.
    ::TerminateJobObject(job_.Get(), 1);
    ASSERT_TRUE(WaitUntil([&] { return ProcessesLeft() == 0; }, 10s));
    ASSERT_TRUE(fs::exists(folder + "\\Brakkis_Temp") && RunValue());
    // As a rewrite cut short leaves them; only that very ending goes.
    for (const char* pending : {"\\UnrealTournament.int.~brakkis.tmp", "\\Brakkis_Temp\\User.ini.~brakkis.tmp"}) {
        std::ofstream(folder + pending) << "half";
    }
    std::ofstream(folder + "\\Notes.~brakkis.tmp.txt") << "mine";
    original_["Notes.~brakkis.tmp.txt"] = "mine";

    const HANDLE repair = Start(folder, " /SiLeNt  ");
    ASSERT_TRUE(WaitUntil([&] { return !RunValue() && !fs::exists(folder + "\\Brakkis_Temp"); }));
    EXPECT_EQ(Differences(original_, Snapshot(folder)), "");
    EXPECT_EQ(::WaitForSingleObject(repair, 2000), static_cast<DWORD>(WAIT_TIMEOUT)) << "the repair left";
    EXPECT_FALSE(Found("Brakkis"));
    EXPECT_EQ(standin::GameStarts(folder).size(), 1u) << "the repair started the game";
}

// Another program holding a file without sharing it: that file stays where
// it is, everything else is staged, and the next restore finishes the job.
TEST(GameFilesOnWindows, AHeldFileWaitsWhereItIsForTheNextRoutine) {
    const std::string folder =
        (fs::temp_directory_path() / ("brakkis-held-" + std::to_string(::GetCurrentProcessId()))).string();
    sample::WriteInstallation(folder);
    const Files original = Snapshot(folder);
    const auto file = CreateWin32FileSystem();
    GameFiles game(*file, folder);
    const auto hold = [](const std::string& path) {
        return ScopedKernelHandle(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    {
        const auto user = hold(folder + "\\User.ini"), product = hold(folder + "\\UnrealTournament.int");
        game.StageGameFiles();
        EXPECT_TRUE(fs::exists(folder + "\\User.ini") && fs::exists(folder + "\\Brakkis_Temp\\Default.ini"));
    }
    EXPECT_EQ(ReadWhole(folder + "\\UnrealTournament.int"), original.at("UnrealTournament.int"));
    game.StageGameFiles();
    {
        const auto hidden = hold(folder + "\\Brakkis_Temp\\User.ini");
        game.RestoreGameFiles();
        EXPECT_TRUE(fs::exists(folder + "\\Brakkis_Temp\\User.ini") && fs::exists(folder + "\\Default.ini"));
    }
    game.RestoreGameFiles();
    EXPECT_EQ(Differences(original, Snapshot(folder)), "");
    fs::remove_all(folder);
}

}  // namespace
}  // namespace brakkis::wine
