// Staging, restore and the render-device carry-over on a fake disk, and the
// player's files against a failure, or a dead process, at every operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "launcher/game_files.h"
#include "platform/ascii_case.h"
#include "tests/support/launcher_rig.h"

namespace brakkis::testing {
namespace {

const std::string kModInt =
    "[General]\r\nStart=Brakkis (Starting)\r\nExit=Brakkis (Exiting)\r\nRun=Brakkis (Running)\r\nProduct=Brakkis\r\n";
const std::string kGameInt =
    "[General]\r\nStart=Unreal Tournament (Starting)\r\nExit=Unreal Tournament (Exiting)\r\n"
    "Run=Unreal Tournament (Running)\r\nProduct=Unreal Tournament\r\n";

struct Folder {
    fakes::FakeDisk disk;
    fakes::FakeFileSystem files{disk};
    GameFiles game{files, kGame};
    explicit Folder(const Files& contents = sample::InstallationFiles()) {
        disk.MakeFolder(kGame);
        for (const auto& [name, bytes] : contents) {
            if (name.back() == '\\') disk.MakeFolder(kGame + "\\" + name);
            else disk.Put(kGame + "\\" + name, bytes);
        }
    }
    Files Now() const { return disk.Below(kGame); }
};

TEST(GameFiles, StagingShowsTheGameOnlyTheModsNamesAndRestoreBringsEveryFileHome) {
    const std::vector<std::string> shown = {
        "UnrealTournament.int", "Brakkis.ini", "OpenGlDrv.ini", "DefUser.ini", "Running.ini", "mplaynow.ini",
        "UnrealEd.ini", "UnrealTournament.ini", "BRAKKIS.int", "UBrowser.int", "soldierskins_Brakkis.int",
        "soldierskins_BrakkisSkull.int", "SoldierSkins.Int", "Botpack.Int", "UTMenu.Int", "UnrealShare.Int",
        "WinDrv.Int", "D3DDrv.Int", "Core.Int", "Editor.Int", "Galaxy.Int", "GlideDrv.Int", "OpenGlDrv.Int",
        "SoftDrv.Int", "Window.Int", "UWeb.Int", "UMenu.Int", "SGLDrv.Int", "MeTaLDrv.Int", "Engine.int", "Setup.Int",
        "Startup.Int"};
    Files installed = sample::InstallationFiles();
    for (const char* name : {"OpenGlDrv.ini", "running.ini", "MPlayNow.ini", "GlideDrv.int", "SGLDrv.int", "MeTaLDrv.int"}) {
        installed[name] = name;
    }
    Folder folder(installed);
    installed = folder.Now();
    Files staged{{"Brakkis_Temp\\", ""}};
    for (const auto& [name, bytes] : installed) {
        const bool config = name.find('\\') == std::string::npos && (name.ends_with(".ini") || name.ends_with(".int"));
        const bool visible = std::any_of(shown.begin(), shown.end(), [&](auto& v) { return ascii::EqualNoCase(v, name); });
        staged[config && !visible ? "Brakkis_Temp\\" + name : name] = bytes;
    }
    staged["UnrealTournament.int"] = kModInt;

    folder.game.StageGameFiles();
    EXPECT_EQ(Differences(staged, folder.Now()), "");
    folder.game.StageGameFiles();  // nothing new to hide: the same layout
    EXPECT_EQ(Differences(staged, folder.Now()), "");
    for (int twice = 0; twice < 2; ++twice) {
        folder.game.RestoreGameFiles();
        EXPECT_EQ(Differences(installed, folder.Now()), "");
    }
}

// Whatever an earlier run left behind, restore keeps every copy of a name
// and takes the backup folder away only when no .ini or .int is left in it.
TEST(GameFiles, TheBackupFolderGoesOnlyWithNothingOfTheGameLeftInIt) {
    struct Case {
        Files before;
        Files after;  // empty: the restored folder
    };
    const Files game{{"UnrealTournament.int", kGameInt}, {"User.ini", "new"}};
    const Case cases[] = {
        {{{"Brakkis_Temp\\crash.log", "log"}, {"Brakkis_Temp\\old\\Core.int", "x"}, {"Brakkis_Temp\\Saved.int\\", ""}}, {}},
        {{{"Brakkis_Temp\\User.ini", "old"}},
         {{"Brakkis_Temp\\", ""}, {"Brakkis_Temp\\User.ini", "old"}, {"UnrealTournament.int", kGameInt}, {"User.ini", "new"}}},
        // A crash between staging's moves left the game's own file, with the
        // modification's name in it, in the backup: the rewrite follows the moves.
        {{{"Brakkis_Temp\\UnrealTournament.int", kModInt}, {"UnrealTournament.int", ""}}, {}},
        // Written when a process died mid-write: never the only copy of anything.
        {{{"UnrealTournament.int.~brakkis.tmp", "half"}, {"Brakkis_Temp\\User.ini.~brakkis.tmp", "half"}}, {}},
    };
    for (const Case& c : cases) {
        Folder folder(game);
        for (const auto& [name, bytes] : c.before) {
            if (name == "UnrealTournament.int") folder.disk.entries.erase(kGame + "\\" + name);
            else if (name.back() == '\\') folder.disk.MakeFolder(kGame + "\\" + name);
            else folder.disk.Put(kGame + "\\" + name, bytes);
        }
        folder.game.RestoreGameFiles();
        EXPECT_EQ(Differences(c.after.empty() ? game : c.after, folder.Now()), "") << c.before.begin()->first;
    }
    // A read-only leftover keeps the folder: it is not forced.
    Folder folder(game);
    folder.disk.Put(kGame + "\\Brakkis_Temp\\crash.log", "log", true);
    folder.game.RestoreGameFiles();
    EXPECT_EQ(folder.Now().count("Brakkis_Temp\\crash.log"), 1u);
}

TEST(GameFiles, ReadOnlyFilesAreMovedAndKeptButNeverRewrittenAndAMissingOneIsNotMade) {
    Folder folder(Files{{"UnrealTournament.int", kGameInt}, {"User.ini", "u"}, {"Maps.ini\\Readme.txt", "r"}});
    for (auto& [path, entry] : folder.disk.entries) entry.readOnly = !entry.folder;
    const Files before = folder.Now();
    folder.game.StageGameFiles();
    EXPECT_EQ(folder.Now(), (Files{{"Brakkis_Temp\\", ""}, {"Brakkis_Temp\\User.ini", "u"}, {"Maps.ini\\", ""},
                                   {"Maps.ini\\Readme.txt", "r"}, {"UnrealTournament.int", kGameInt}}));
    EXPECT_THROW(folder.game.CarryRenderDevice(), RaisedError);
    folder.game.RestoreGameFiles();
    EXPECT_EQ(folder.Now(), before);
    EXPECT_TRUE(folder.disk.entries.at(kGame + "\\User.ini").readOnly);

    Folder empty(Files{{"User.ini", "u"}});
    empty.game.StageGameFiles();
    empty.game.RestoreGameFiles();
    EXPECT_EQ(empty.Now(), (Files{{"User.ini", "u"}}));
}

std::string Utf16(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) bytes.append({c, '\0'});
    return bytes;
}

TEST(GameFiles, OnlyTheGeneralSectionChangesInTheFilesOwnEncoding) {
    const std::string others = "[Public]\nObject=(Name=Botpack.DeathMatchPlus)\n\n[Errors]\rNoGame=None\r";
    const std::string game = "[General]\nStart=Unreal Tournament (Starting)\nProduct=Unreal Tournament\n";
    const std::pair<std::string, std::string> cases[] = {
        {game + others, kModInt + others},
        {"\xEF\xBB\xBF\xEF\xBB\xBF" + game + others, "\xEF\xBB\xBF" + kModInt + others},
        {Utf16(game + others + "Caf\xE9"), Utf16(kModInt + others + "Caf\xE9")},
        // A file without the section gets it before its first section, below
        // lines of no section, so that the next rewrite keeps them.
        {others, kModInt + others},
        {"; by hand\r\n" + others, "; by hand\r\n" + kModInt + others},
        {"Product=Mine", "Product=Mine\r\n" + kModInt},
        {"", kModInt},
        // What cannot be read safely is replaced whole, never mixed.
        {std::string("\xFE\xFF\0[\0G", 6), kModInt},
        {Utf16(game) + "x", kModInt},
        {game + std::string(1, '\0'), kModInt},
    };
    for (const auto& [content, expected] : cases) {
        EXPECT_EQ(WithGeneralSection(content, ModGeneralSection), expected) << content;
        const std::string twice = WithGeneralSection(WithGeneralSection(expected, GameGeneralSection), ModGeneralSection);
        EXPECT_EQ(twice, expected) << "a second rewrite must find the same section";
    }
}

TEST(GameFiles, RenderDeviceCarriesOverOrLeavesTheTargetAlone) {
    const std::string tail = "[Next]\r\nKey=1\r\n";
    const struct {
        std::string source, target, expected;  // expected empty: the carry-over raises
    } cases[] = {
        {"[E]\r\nGameRenderDevice=OpenGLDrv.OpenGLRenderDevice\r\n", "[E]\r\nGameRenderDevice=SoftDrv.SoftwareRenderDevice\r\n" + tail,
         "[E]\r\nGameRenderDevice=OpenGLDrv.OpenGLRenderDevice\r\n" + tail},
        // Found in any case, copied in its own.
        {"gamerenderdevice=D3DDrv.D3DRenderDevice  \r\n", "\xEF\xBB\xBFGameRenderDevice=X\r\n",
         "\xEF\xBB\xBFgamerenderdevice=D3DDrv.D3DRenderDevice  \r\n"},
        // Every occurrence of the old line goes, also inside a longer line.
        {"GameRenderDevice=New\r\n", "GameRenderDevice=Old\r\n;was GAMERENDERDEVICE=OLD once\r\n",
         "GameRenderDevice=New\r\n;was GameRenderDevice=New once\r\n"},
        {"[E]\r\nRenderDevice=None\r\n", "GameRenderDevice=Old\r\n", ""},  // no key in the source
        {"GameRenderDevice=New\r\n", "[E]\r\nGameRenderDevice=Old", ""},    // no line end after it
        {"GameRenderDevice=New\n", "GameRenderDevice=Old\r\n", ""},         // only CR LF ends the line
    };
    for (const auto& c : cases) {
        Folder folder(Files{{"UnrealTournament.ini", c.source}, {"Brakkis.ini", c.target}});
        if (c.expected.empty()) {
            EXPECT_THROW(folder.game.CarryRenderDevice(), RaisedError) << c.source;
        } else {
            folder.game.CarryRenderDevice();
        }
        EXPECT_EQ(folder.Now(), (Files{{"Brakkis.ini", c.expected.empty() ? c.target : c.expected},
                                       {"UnrealTournament.ini", c.source}}));
    }
}

// Every file the player had is somewhere, byte for byte: in the game folder
// or in the backup folder. UnrealTournament.int is the launcher's to rewrite.
void ExpectNothingLost(const Files& original, const Files& now, const std::string& when) {
    for (const auto& [path, bytes] : original) {
        const auto here = now.find(path), hidden = now.find("Brakkis_Temp\\" + path);
        const bool kept = (here != now.end() && here->second == bytes) || (hidden != now.end() && hidden->second == bytes);
        EXPECT_TRUE(kept || path == "UnrealTournament.int") << path << " lost " << when;
    }
}

using Routine = void (GameFiles::*)();

// Runs the routine with operation k failing ('f'), every one from k on
// failing ('o'), or the process dying before it ('d'): then the folder is
// left as the disk stood at that moment. False once k lies past the end.
bool Disturbed(Files& folderAfter, const Files& start, bool staged, Routine routine, int k, char how, std::string& what) {
    Folder folder(start);
    if (staged) folder.game.StageGameFiles();
    folder.disk.operations = 0;
    std::optional<Files> died;
    folder.disk.beforeOperation = [&](int operation, const std::string& op) {
        if (operation == k) what = op;
        if (how == 'd' && operation == k) died = folder.Now();
        if ((how == 'f' && operation == k) || (how == 'o' && operation >= k)) {
            throw RaisedError(errnum::kPermissionDenied, "FileSystem", "refused");
        }
    };
    (folder.game.*routine)();
    folderAfter = died ? *died : folder.Now();
    return folder.disk.operations > k;
}

TEST(GameFiles, NoFailureOrDeathAtAnyOperationCostsAFileAndOneRestoreMendsAll) {
    // A folder as a crashed run leaves it (the game's product name still the
    // modification's, no backup folder), and one with a name in both folders.
    Files crashed = sample::InstallationFiles();
    crashed["UnrealTournament.int"] = kModInt;
    Files collided = sample::InstallationFiles();
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
                for (int k = 0;; ++k, ++tried) {
                    Files after;
                    std::string what;
                    const bool reached = Disturbed(after, start, routine == &GameFiles::RestoreGameFiles, routine, k, how, what);
                    if (!reached && how == 'd') break;
                    const std::string where = std::string(1, how) + " at " + std::to_string(k) + " " + what;
                    ExpectNothingLost(start, after, where);
                    // A condition that cannot be tested lets the steps it guards run.
                    if (how == 'f' && what.starts_with("FolderExists") && routine == &GameFiles::StageGameFiles) {
                        EXPECT_EQ(Differences(staged, after), "") << where;
                    }
                    Folder mended(after);
                    mended.game.RestoreGameFiles();
                    EXPECT_EQ(Differences(home, mended.Now()), "") << where;
                    if (!reached) break;
                }
            }
        }
    }
    EXPECT_GT(tried, 300);
}

}  // namespace
}  // namespace brakkis::testing
