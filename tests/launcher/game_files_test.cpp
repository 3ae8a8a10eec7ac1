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
const std::string kGameInt =
    "[General]\r\nStart=Unreal Tournament (Starting)\r\nExit=Unreal Tournament (Exiting)\r\n"
    "Run=Unreal Tournament (Running)\r\nProduct=Unreal Tournament\r\n";

// A game folder on a fake disk; a name ending in '\' is a folder, a file
// "read-only" is one, and "-" takes a file away.
struct Folder {
    fakes::FakeDisk disk;
    fakes::FakeFileSystem files{disk};
    GameFiles game{files, kGame};
    explicit Folder(const Files& contents = sample::InstallationFiles()) { disk.MakeFolder(kGame), Lay(contents); }
    void Lay(const Files& contents) {
        for (const auto& [name, bytes] : contents) {
            const std::string path = kGame + "\\" + name;
            if (bytes == "-") disk.entries.erase(path);
            if (bytes != "-")
                name.ends_with('\\') ? disk.MakeFolder(path) : disk.Put(path, bytes, bytes == "read-only");
        }
    }
    Files Now() const { return disk.Below(kGame); }
};

TEST(GameFiles, StagingShowsTheGameOnlyTheModsNamesAndRestoreBringsEveryFileHome) {
    // Every name the game may see, in the spellings a folder may have them.
    const std::string shown =
        " UnrealTournament.int Brakkis.ini OpenGlDrv.ini DefUser.ini Running.ini mplaynow.ini UnrealEd.ini"
        " UnrealTournament.ini BRAKKIS.int UBrowser.int soldierskins_Brakkis.int soldierskins_BrakkisSkull.int"
        " SoldierSkins.Int Botpack.Int UTMenu.Int UnrealShare.Int WinDrv.Int D3DDrv.Int Core.Int Editor.Int"
        " Galaxy.Int GlideDrv.Int OpenGlDrv.Int SoftDrv.Int Window.Int UWeb.Int UMenu.Int SGLDrv.Int MeTaLDrv.Int"
        " Engine.int Setup.Int Startup.Int ";
    Files installed = sample::InstallationFiles();
    for (const char* name :
         {"OpenGlDrv.ini", "running.ini", "MPlayNow.ini", "GlideDrv.int", "SGLDrv.int", "MeTaLDrv.int"}) {
        installed[name] = name;
    }
    Folder folder(installed);
    installed = folder.Now();
    Files staged{{"Brakkis_Temp\\", ""}};
    for (const auto& [name, bytes] : installed) {
        const bool config = name.find('\\') == std::string::npos && (name.ends_with(".ini") || name.ends_with(".int"));
        const bool visible = ascii::LowerCase(shown).find(" " + ascii::LowerCase(name) + " ") != std::string::npos;
        staged[config && !visible ? "Brakkis_Temp\\" + name : name] = name == "UnrealTournament.int" ? kModInt : bytes;
    }
    for (int twice = 0; twice < 2; ++twice) {  // a second time finds nothing new to hide or bring
        folder.game.StageGameFiles();
        EXPECT_EQ(Differences(staged, folder.Now()), "");
    }
    for (int twice = 0; twice < 2; ++twice) {
        folder.game.RestoreGameFiles();
        EXPECT_EQ(Differences(installed, folder.Now()), "");
    }
}

// Whatever an earlier run left behind, restore keeps every copy of a name,
// takes the backup folder away only when no .ini or .int is left in it, and
// never makes a localisation the game does not have.
TEST(GameFiles, RestoreKeepsEveryCopyAndTheBackupOnlyWhileItHoldsOne) {
    const Files game{{"UnrealTournament.int", kGameInt}, {"User.ini", "new"}};
    const Files kept{{"Brakkis_Temp\\", ""}, {"UnrealTournament.int", kGameInt}, {"User.ini", "new"}};
    const std::pair<Files, Files> cases[] = {
        // what an earlier run left ("-": a file gone), and the result
        {{{"Brakkis_Temp\\crash.log", "log"}, {"Brakkis_Temp\\old\\Core.int", "x"}, {"Brakkis_Temp\\Saved.int\\", ""}},
         game},
        {{{"Brakkis_Temp\\User.ini", "old"}}, {{"Brakkis_Temp\\User.ini", "old"}}},
        // A read-only file is not forced away, and keeps the folder.
        {{{"Brakkis_Temp\\crash.log", "read-only"}}, {{"Brakkis_Temp\\crash.log", "read-only"}}},
        // A crash between staging's moves left the game's own file, with the
        // modification's name in it, in the backup: the rewrite follows the moves.
        {{{"UnrealTournament.int", "-"}, {"Brakkis_Temp\\UnrealTournament.int", kModInt}}, game},
        // What a process that died mid-write left: never the only copy of anything.
        {{{"UnrealTournament.int.~brakkis.tmp", "half"}, {"Brakkis_Temp\\User.ini.~brakkis.tmp", "half"}}, game},
        {{{"UnrealTournament.int", "-"}}, {{"User.ini", "new"}}},
    };
    for (auto [left, expected] : cases) {
        Folder folder(game);
        folder.Lay(left);
        folder.game.RestoreGameFiles();
        if (expected.size() == 1 && expected.begin()->first.starts_with("Brakkis_Temp")) expected.merge(Files(kept));
        EXPECT_EQ(Differences(expected, folder.Now()), "") << left.begin()->first;
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
    const std::string tail = "[Next]\r\nKey=1\r\n";
    const struct {
        std::string source, target, expected;  // expected empty: the carry-over raises
    } cases[] = {
        {"[E]\r\nGameRenderDevice=OpenGLDrv.OpenGLRenderDevice\r\n",
         "[E]\r\nGameRenderDevice=SoftDrv.SoftwareRenderDevice\r\n" + tail,
         "[E]\r\nGameRenderDevice=OpenGLDrv.OpenGLRenderDevice\r\n" + tail},
        // Found in any case, copied in its own.
        {"gamerenderdevice=D3DDrv.D3DRenderDevice  \r\n", "\xEF\xBB\xBFGameRenderDevice=X\r\n",
         "\xEF\xBB\xBFgamerenderdevice=D3DDrv.D3DRenderDevice  \r\n"},
        // Every occurrence of the old line goes, also inside a longer line.
        {"GameRenderDevice=New\r\n", "GameRenderDevice=Old\r\n;was GAMERENDERDEVICE=OLD once\r\n",
         "GameRenderDevice=New\r\n;was GameRenderDevice=New once\r\n"},
        {"[E]\r\nRenderDevice=None\r\n", "GameRenderDevice=Old\r\n", ""},  // no key in the source
        {"GameRenderDevice=New\r\n", "[E]\r\nGameRenderDevice=Old", ""},   // no line end after it
        {"GameRenderDevice=New\n", "GameRenderDevice=Old\r\n", ""},        // only CR LF ends the line
    };
    for (const auto& c : cases) {
        Folder folder(Files{{"UnrealTournament.ini", c.source}, {"Brakkis.ini", c.target}});
        EXPECT_EQ(c.expected.empty(), !SkipOnError([&] { folder.game.CarryRenderDevice(); })) << c.source;
        EXPECT_EQ(folder.Now(), (Files{{"Brakkis.ini", c.expected.empty() ? c.target : c.expected},
                                       {"UnrealTournament.ini", c.source}}));
    }
}

using Routine = void (GameFiles::*)();

// The folder after the routine ran with operation k failing ('f'), every one
// from k on failing ('o'), or the process dying before it ('d'): then as the
// disk stood at that moment. Nothing once k lies past the routine's end.
std::optional<Files> Disturbed(const Files& start, Routine routine, int k, char how, std::string& what) {
    Folder folder(start);
    if (routine == &GameFiles::RestoreGameFiles) folder.game.StageGameFiles();
    folder.disk.operations = 0;
    std::optional<Files> died;
    folder.disk.beforeOperation = [&](int operation, const std::string& op) {
        if (operation == k) what = op, died = how == 'd' ? std::optional(folder.Now()) : std::nullopt;
        if ((how == 'f' && operation == k) || (how == 'o' && operation >= k)) throw RaisedError(70, "FileSystem", op);
    };
    (folder.game.*routine)();
    if (folder.disk.operations <= k) return std::nullopt;
    return died ? died : folder.Now();
}

TEST(GameFiles, NoFailureOrDeathAtAnyOperationCostsAFileAndOneRestoreMendsAll) {
    // A folder as a crashed run leaves it (the game's product name still the
    // modification's, no backup folder), and one with a name in both folders.
    Files crashed = sample::InstallationFiles(), collided = crashed;
    crashed["UnrealTournament.int"] = kModInt;
    collided["Brakkis_Temp\\User.ini"] = "older";
    int tried = 0;
    for (Files start : {crashed, collided}) {
        Folder model(start);
        start = model.Now();
        model.game.StageGameFiles();
        const Files staged = model.Now();
        model.game.RestoreGameFiles();
        const Files home = model.Now();
        for (const Routine routine : {&GameFiles::StageGameFiles, &GameFiles::RestoreGameFiles}) {
            for (const char how : {'f', 'o', 'd'}) {
                std::string what;
                for (int k = 0; const auto after = Disturbed(start, routine, k, how, what); ++k, ++tried) {
                    const std::string where = std::string(1, how) + " at " + std::to_string(k) + " " + what;
                    // Every file the player had is somewhere, byte for byte.
                    for (const auto& [path, bytes] : start) {
                        const bool kept = after->count(path) ? after->at(path) == bytes
                                                             : after->count("Brakkis_Temp\\" + path) &&
                                                                   after->at("Brakkis_Temp\\" + path) == bytes;
                        EXPECT_TRUE(kept || path == "UnrealTournament.int") << path << " lost " << where;
                    }
                    // A condition that cannot be tested lets the steps it guards run.
                    if (how == 'f' && what.starts_with("FolderExists") && routine == &GameFiles::StageGameFiles) {
                        EXPECT_EQ(Differences(staged, *after), "") << where;
                    }
                    Folder mended(*after);
                    mended.game.RestoreGameFiles();
                    EXPECT_EQ(Differences(home, mended.Now()), "") << where;
                }
            }
        }
    }
    EXPECT_GT(tried, 300);
}

}  // namespace
}  // namespace brakkis::testing
