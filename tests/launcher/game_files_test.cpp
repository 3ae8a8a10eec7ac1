// Staging, restore and the render-device carry-over on a fake disk, and the
// player's files against a failure, or a dead process, at every operation.
#include <gtest/gtest.h>

#include <optional>

#include "launcher/game_files.h"
#include "platform/ascii_case.h"
#include "platform/ignore_errors.h"
#include "tests/support/launcher_rig.h"

namespace brakkis::testing {
namespace {

const std::string kModInt =
    "[General]\r\nStart=Brakkis (Starting)\r\nExit=Brakkis (Exiting)\r\nRun=Brakkis (Running)\r\nProduct=Brakkis\r\n";
// The game's own names and nothing else, as the sample installation has them.
const std::string kGameInt = sample::InstallationFiles().at("UnrealTournament.int");

// A game folder on a fake disk; a name ending in '\' is a folder, a file
// "read-only" is one, and "-" is no file at all.
struct Folder {
    fakes::FakeDisk disk;
    fakes::FakeFileSystem files{disk};
    GameFiles game{files, kGame};
    explicit Folder(const Files& contents) {
        disk.MakeFolder(kGame);
        for (const auto& [name, bytes] : contents)
            if (bytes != "-") disk.Put(kGame + "\\" + name, bytes, bytes == "read-only");
    }
    Files Now() const { return disk.Below(kGame); }
};

// Whatever an earlier run left, restore takes the backup folder away only when
// no .ini or .int is left in it, and never makes a localisation the game lacks.
TEST(GameFiles, RestoreKeepsTheBackupOnlyWhileItHoldsConfiguration) {
    Files left{{"User.ini", "new"}, {"Brakkis_Temp\\old\\Core.int", "x"}, {"Brakkis_Temp\\Saved.int\\", ""}};
    for (const std::string log : {"log", "read-only"}) {
        left["Brakkis_Temp\\crash.log"] = log;
        Folder folder(left);
        folder.game.RestoreGameFiles();
        // A read-only file is not forced away, and keeps the folder.
        EXPECT_EQ(Differences(log == "log" ? Files{{"User.ini", "new"}} : Folder(left).Now(), folder.Now()), "") << log;
    }
}

// The rewrite of what can be read is the fuzzer's property; here, what
// cannot be read safely is replaced whole, never mixed.
TEST(GameFiles, AGeneralSectionThatCannotBeReadSafelyIsReplacedWhole) {
    const std::string game = "[General]\nProduct=Unreal Tournament\n[Errors]\rNoGame=None\r";
    for (const std::string& content :
         {std::string("\xFE\xFF\0[\0G", 6), Utf16(game) + "x", game + std::string(1, '\0')}) {
        EXPECT_EQ(WithGeneralSection(content, ModGeneralSection), kModInt) << content;
    }
}

TEST(GameFiles, RenderDeviceCarriesOverOrLeavesTheTargetAlone) {
    const std::string cases[][3] = {
        // the player's configuration, the modification's, and what it becomes (empty: the carry-over raises)
        // Found in any case, copied in its own; every occurrence of the old line goes, also inside a longer line.
        {"gamerenderdevice=New  \r\n", "\xEF\xBB\xBFGameRenderDevice=Old\r\n;was GAMERENDERDEVICE=OLD once\r\n",
         "\xEF\xBB\xBFgamerenderdevice=New  \r\n;was gamerenderdevice=New   once\r\n"},
        {"[E]\r\nRenderDevice=None\r\n", "GameRenderDevice=Old\r\n", ""},  // no key in the source
        {"GameRenderDevice=New\r\n", "[E]\r\nGameRenderDevice=Old", ""},   // no line end after it
        {"GameRenderDevice=New\n", "GameRenderDevice=Old\r\n", ""},        // only CR LF ends the line
        {"-", "GameRenderDevice=Old\r\n", ""},                             // no source, and none made
    };
    for (const auto& [source, target, expected] : cases) {
        Folder folder(Files{{"UnrealTournament.ini", source}, {"Brakkis.ini", target}}),
            after(Files{{"UnrealTournament.ini", source}, {"Brakkis.ini", expected.empty() ? target : expected}});
        EXPECT_EQ(expected.empty(), !SkipOnError([&] { folder.game.CarryRenderDevice(); })) << source;
        EXPECT_EQ(folder.Now(), after.Now());
    }
}

// The folder after staging ('s') or restore ('r') ran with operation k failing
// ('f'), every one from k on failing ('o'), or the process dying before it
// ('d'): then as the disk stood at that moment. Nothing past the routine's end.
std::optional<Files> Disturbed(const Files& start, const std::string& run, int k, std::string& what) {
    Folder folder(start);
    std::optional<Files> died;
    folder.disk.beforeOperation = [&](int operation, const std::string& op) {
        if (operation == k) what = op, died = run[1] == 'd' ? std::optional(folder.Now()) : std::nullopt;
        if ((run[1] == 'f' && operation == k) || (run[1] == 'o' && operation >= k))
            throw RaisedError(70, "FileSystem", op);
    };
    run[0] == 'r' ? folder.game.RestoreGameFiles() : folder.game.StageGameFiles();
    return folder.disk.operations <= k ? std::nullopt : died ? died : folder.Now();
}

TEST(GameFiles, StagingShowsTheGameOnlyTheModsNamesAndNoFailureOrDeathAtAnyOperationCostsAFile) {
    const std::string shown =
        " UnrealTournament.int Brakkis.ini OpenGlDrv.ini DefUser.ini Running.ini mplaynow.ini UnrealEd.ini"
        " UnrealTournament.ini BRAKKIS.int UBrowser.int soldierskins_Brakkis.int soldierskins_BrakkisSkull.int"
        " SoldierSkins.Int Botpack.Int UTMenu.Int UnrealShare.Int WinDrv.Int D3DDrv.Int Core.Int Editor.Int"
        " Galaxy.Int GlideDrv.Int OpenGlDrv.Int SoftDrv.Int Window.Int UWeb.Int UMenu.Int SGLDrv.Int MeTaLDrv.Int"
        " Engine.int Setup.Int Startup.Int ";
    // A folder as a crashed run leaves it (the modification's product name, no
    // backup folder, names spelt unlike the list); one with a name in both folders.
    Files crashed = sample::InstallationFiles(), collided = crashed;
    for (const char* name :
         {"OpenGlDrv.ini", "running.ini", "MPlayNow.ini", "GlideDrv.int", "SGLDrv.int", "MeTaLDrv.int"})
        crashed[name] = name;
    crashed["UnrealTournament.int"] = kModInt;
    collided["Brakkis_Temp\\User.ini"] = "older";
    int tried = 0;
    for (Files start : {crashed, collided}) {
        Folder model(start);
        start = model.Now();
        // Staging hides every other .ini and .int whose name is free in the backup.
        Files staged{{"Brakkis_Temp\\", ""}}, home = start;
        home["UnrealTournament.int"] = kGameInt;
        for (const auto& [name, bytes] : start) {
            const bool hidden = name.find('\\') == std::string::npos &&
                                (name.ends_with(".ini") || name.ends_with(".int")) &&
                                ascii::LowerCase(shown).find(" " + ascii::LowerCase(name) + " ") == std::string::npos &&
                                !start.count("Brakkis_Temp\\" + name);
            staged[hidden ? "Brakkis_Temp\\" + name : name] = name == "UnrealTournament.int" ? kModInt : bytes;
        }
        // A second run finds nothing new to hide or bring.
        for (int twice = 0; twice < 2; ++twice) model.game.StageGameFiles();
        EXPECT_EQ(Differences(staged, model.Now()), "");
        for (int twice = 0; twice < 2; ++twice) model.game.RestoreGameFiles();
        EXPECT_EQ(Differences(home, model.Now()), "");
        for (const std::string run : {"sf", "so", "sd", "rf", "ro", "rd"}) {
            std::string what;
            for (int k = 0; const auto after = Disturbed(run[0] == 'r' ? staged : start, run, k, what); ++k, ++tried) {
                SCOPED_TRACE(run + " at " + std::to_string(k) + " " + what);
                // A condition that cannot be tested lets the steps it guards run.
                EXPECT_EQ(run == "sf" && what.starts_with("FolderExists") ? Differences(staged, *after) : "", "");
                // A file lost or changed on the way could not be mended.
                Folder mended(*after);
                mended.game.RestoreGameFiles();
                EXPECT_EQ(Differences(home, mended.Now()), "");
            }
        }
    }
    EXPECT_GT(tried, 300);
}

}  // namespace
}  // namespace brakkis::testing
