#include <gtest/gtest.h>

#include "launcher/game_command_lines.h"
#include "tests/support/launcher_rig.h"

namespace brakkis::testing {
namespace {

const std::string kGameInt = "[General]\r\nStart=Unreal Tournament (Starting)\r\nProduct=Unreal Tournament\r\n";

void InstallGame(const TempFolder& folder) {
    folder.Write("UnrealTournament.exe", "MZ");
    folder.Write("UnrealTournament.int", kGameInt);
    folder.Write("User.ini", "[DefaultPlayer]\r\nName=Player\r\n");
    folder.Write("Brakkis.ini", "[Engine.Engine]\r\nGameRenderDevice=D3DDrv.D3DRenderDevice\r\n");
}

// What the game found when it started, and a game that ends after a while.
struct GameObservation {
    bool started = false;
    std::string runValue;
    bool userIniHidden = false;
    std::string productInt;
};

void PlayShortGame(LauncherRig& rig, GameObservation& seen) {
    rig.machine.SetProgram([&](sim::SimMachine& m, sim::SimProcess& p) {
        seen.started = true;
        seen.runValue = rig.RunValue();
        seen.userIniHidden = rig.folder.Has("Brakkis_Temp/User.ini") && !rig.folder.Has("User.ini");
        seen.productInt = rig.folder.Read("UnrealTournament.int");
        const auto pid = p.pid;
        m.After(5000, [&m, pid] { m.EndProcess(pid); });
    });
}

TEST(Startup, NormalRunProtectsThePlayerBeforeStartingTheGame) {
    LauncherRig rig;
    InstallGame(rig.folder);
    GameObservation seen;
    PlayShortGame(rig, seen);

    rig.Run("", 8000);

    // The crash-recovery entry and the staged folder were in place when the game started.
    ASSERT_TRUE(seen.started);
    EXPECT_EQ(seen.runValue, rig.folder.Path() + "\\Brakkis Isle.exe /silent");
    EXPECT_TRUE(seen.userIniHidden);
    EXPECT_NE(seen.productInt.find("Product=Brakkis\r\n"), std::string::npos);

    ASSERT_EQ(rig.machine.runs.size(), 1u);
    EXPECT_EQ(rig.machine.runs[0].command,
              "\"" + rig.folder.Path() +
                  "\\unrealtournament.exe\" BrakkisEntry.unr INT=Brakkis.int INI=Brakkis.ini  USERINI=DefUser.ini "
                  "LOG=Brakkis.log");
    EXPECT_EQ(rig.machine.runs[0].windowStyle, 0);
    EXPECT_TRUE(rig.machine.runs[0].wait);

    // The splash: topmost in the top-left corner, keyed before it was shown.
    const sim::SimWindow* w = rig.machine.Window(rig.machine.formHwnd);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->topmost);
    EXPECT_EQ(w->left, 0);
    EXPECT_EQ(w->top, 0);
    EXPECT_TRUE(w->exStyle & win::kWsExLayered);
    EXPECT_EQ(w->layeredKey, 0x00FF00FFu);
    EXPECT_EQ(w->layeredFlags, win::kLwaColorKey);
    EXPECT_TRUE(w->visible);
    // Without a game window the watch has nothing to end: the launcher stays.
    EXPECT_TRUE(rig.machine.FormLoaded());
}

TEST(Startup, ArgumentsArePassedToTheGameVerbatim) {
    struct Case {
        std::string arguments;
        std::string expectedTail;
    };
    const std::string passThroughTail = " INT=Brakkis.int INI=Brakkis.ini  USERINI=BrakkisUser.ini LOG=Brakkis.log";
    const Case cases[] = {
        {"DM-Deck16", "DM-Deck16" + passThroughTail},
        {"/silent extra", "/silent extra" + passThroughTail},
        {"   ", "   " + passThroughTail},  // blanks only are not "no arguments"
        {" CTF-Face?Game=Botpack.CTFGame", " CTF-Face?Game=Botpack.CTFGame" + passThroughTail},
    };
    for (const Case& c : cases) {
        LauncherRig rig;
        InstallGame(rig.folder);
        GameObservation seen;
        PlayShortGame(rig, seen);
        rig.Run(c.arguments, 6000);
        ASSERT_EQ(rig.machine.runs.size(), 1u) << c.arguments;
        EXPECT_EQ(rig.machine.runs[0].command, "\"" + rig.folder.Path() + "\\unrealtournament.exe\"" + c.expectedTail);
    }
}

TEST(Startup, SilentSwitchRepairsACrashedRunAndStaysResidentHidden) {
    for (const char* arguments : {"/silent", " /SiLeNt  ", "/SILENT"}) {
        LauncherRig rig;
        InstallGame(rig.folder);
        // What a crash during play leaves behind.
        rig.folder.Write("Brakkis_Temp/User.ini", rig.folder.Read("User.ini"));
        std::filesystem::remove(rig.folder.Native() / "User.ini");
        rig.folder.Write("UnrealTournament.int", "[General]\r\nProduct=Brakkis\r\n");
        rig.SetRunValue(rig.folder.Path() + "\\Brakkis Isle.exe /silent");

        rig.Run(arguments, 60000);

        EXPECT_TRUE(rig.machine.runs.empty()) << arguments;
        EXPECT_EQ(rig.RunValue(), "(none)");
        EXPECT_TRUE(rig.folder.Has("User.ini"));
        EXPECT_FALSE(rig.folder.Has("Brakkis_Temp"));
        EXPECT_EQ(rig.folder.Read("UnrealTournament.int"),
                  "[General]\r\nStart=Unreal Tournament (Starting)\r\nExit=Unreal Tournament (Exiting)\r\n"
                  "Run=Unreal Tournament (Running)\r\nProduct=Unreal Tournament\r\n");
        EXPECT_FALSE(rig.Visible());
        EXPECT_TRUE(rig.machine.FormLoaded());
    }
}

TEST(Startup, MissingGameSaysSoAndTouchesNothing) {
    for (bool fileSystemFails : {false, true}) {
        LauncherRig rig;
        rig.failFileSystem = fileSystemFails;
        rig.folder.Write("User.ini", "[DefaultPlayer]\r\n");
        const auto before = rig.folder.Snapshot();

        rig.Run("", 5000);

        ASSERT_EQ(rig.machine.messageBoxes.size(), 1u);
        EXPECT_EQ(rig.machine.messageBoxes[0].text,
                  "Can't find the UnrealTournament Executable. Make sure this game is installed in folder's UT.");
        EXPECT_EQ(rig.machine.messageBoxes[0].title, "Error to stat Brakkis Isle");
        EXPECT_EQ(rig.machine.messageBoxes[0].style, 16);
        EXPECT_FALSE(rig.machine.FormLoaded());
        EXPECT_TRUE(rig.machine.runs.empty());
        EXPECT_EQ(rig.RunValue(), "(none)");
        EXPECT_EQ(rig.folder.Snapshot(), before);
    }
}

TEST(Startup, ARefusedRecoveryValueDoesNotStopTheGame) {
    LauncherRig rig;
    InstallGame(rig.folder);
    rig.registry.DenyWrites(reg::kLocalMachine);
    GameObservation seen;
    PlayShortGame(rig, seen);

    rig.Run("", 8000);

    EXPECT_TRUE(seen.started);
    EXPECT_EQ(seen.runValue, "(none)");
    EXPECT_TRUE(seen.userIniHidden);
}

TEST(Startup, WithoutAShellNoGameStartsAndTheWindowStaysLoaded) {
    LauncherRig rig;
    InstallGame(rig.folder);
    rig.failShell = true;
    rig.Run("", 3000);
    EXPECT_TRUE(rig.machine.runs.empty());
    EXPECT_TRUE(rig.machine.FormLoaded());
    EXPECT_TRUE(rig.Visible());
}

TEST(Startup, OnlyTheTrimmedLowerCaseSwitchIsSilent) {
    EXPECT_TRUE(IsSilentSwitch("  /Silent "));
    EXPECT_FALSE(IsSilentSwitch("/silent extra"));
    EXPECT_FALSE(IsSilentSwitch("\t/silent"));  // only blanks are trimmed
    EXPECT_FALSE(IsSilentSwitch("-silent"));
}

}  // namespace
}  // namespace brakkis::testing
