#include <gtest/gtest.h>

#include <algorithm>

#include "launcher/general_section.h"
#include "launcher/visible_files.h"
#include "platform/ascii_case.h"
#include "tests/support/launcher_rig.h"
#include "tools/sample-installation/sample_installation.h"

namespace brakkis::testing {
namespace {

using Files = std::map<std::string, std::string>;

const std::string kModInt =
    "[General]\r\nStart=Brakkis (Starting)\r\nExit=Brakkis (Exiting)\r\nRun=Brakkis (Running)\r\nProduct=Brakkis\r\n";
const std::string kGameInt =
    "[General]\r\nStart=Unreal Tournament (Starting)\r\nExit=Unreal Tournament (Exiting)\r\n"
    "Run=Unreal Tournament (Running)\r\nProduct=Unreal Tournament\r\n";

bool IsConfigAtTop(const std::string& path) {
    if (path.find('/') != std::string::npos) return false;
    const std::string l = ascii::LowerCase(path);
    return l.size() > 4 && (l.ends_with(".ini") || l.ends_with(".int"));
}

bool IsVisible(const std::string& name) {
    return std::any_of(VisibleFileList.begin(), VisibleFileList.end(),
                       [&](const char* v) { return ascii::EqualNoCase(v, name); });
}

// Where every file of an untouched folder belongs while the game runs.
Files ExpectedStaged(const Files& original) {
    Files staged;
    for (const auto& [path, bytes] : original) {
        const bool hidden = IsConfigAtTop(path) && !IsVisible(path);
        staged[hidden ? "Brakkis_Temp/" + path : path] = bytes;
    }
    staged["UnrealTournament.int"] = kModInt;
    return staged;
}

TEST(GameFiles, StagingHidesAllButTheVisibleNamesAndRestoreBringsEveryFileHome) {
    LauncherRig rig;
    sample::WriteInstallation(rig.folder.Native());
    const Files original = rig.folder.Snapshot();

    LauncherFormPeer::Stage(rig.form);
    const Files staged = rig.folder.Snapshot();
    EXPECT_EQ(staged, ExpectedStaged(original));
    EXPECT_EQ(staged.at("UnrealTournament.int").size(), 101u);

    // Staging again finds nothing new to hide: the same layout.
    LauncherFormPeer::Stage(rig.form);
    EXPECT_EQ(rig.folder.Snapshot(), staged);

    LauncherFormPeer::Restore(rig.form);
    EXPECT_EQ(rig.folder.Snapshot(), original);
    EXPECT_EQ(rig.folder.Read("UnrealTournament.int").size(), 141u);
    EXPECT_FALSE(rig.folder.Has("Brakkis_Temp"));

    LauncherFormPeer::Restore(rig.form);
    EXPECT_EQ(rig.folder.Snapshot(), original);
}

TEST(GameFiles, ALeftOverBackupNeverCostsEitherCopyOfAName) {
    LauncherRig rig;
    sample::WriteInstallation(rig.folder.Native());
    // A crashed run left an older User.ini and the mod's own ini behind; the
    // player has since made new ones.
    rig.folder.Write("Brakkis_Temp/User.ini", "old user\r\n");
    rig.folder.Write("Brakkis_Temp/Brakkis.ini", "[Engine.Engine]\r\nGameRenderDevice=Old\r\n");
    const std::string newUser = rig.folder.Read("User.ini");

    LauncherFormPeer::Stage(rig.form);
    EXPECT_EQ(rig.folder.Read("User.ini"), newUser);  // could not be hidden: stays visible
    EXPECT_EQ(rig.folder.Read("Brakkis_Temp/User.ini"), "old user\r\n");

    LauncherFormPeer::Restore(rig.form);
    EXPECT_EQ(rig.folder.Read("User.ini"), newUser);
    EXPECT_EQ(rig.folder.Read("Brakkis_Temp/User.ini"), "old user\r\n");  // kept, and with it the folder
    EXPECT_TRUE(rig.folder.Has("Brakkis_Temp/Brakkis.ini"));
}

TEST(GameFiles, TheBackupFolderGoesOnlyWhenNothingOfTheGameIsLeftInIt) {
    {
        LauncherRig rig;
        rig.folder.Write("UnrealTournament.int", kGameInt);
        rig.folder.Write("Brakkis_Temp/User.ini", "u");
        rig.folder.Write("Brakkis_Temp/crash.log", "log");  // other kinds go with the folder
        LauncherFormPeer::Restore(rig.form);
        EXPECT_EQ(rig.folder.Read("User.ini"), "u");
        EXPECT_FALSE(rig.folder.Has("Brakkis_Temp"));
    }
    {
        LauncherRig rig;
        rig.folder.Write("UnrealTournament.int", kGameInt);
        rig.folder.Write("Brakkis_Temp/crash.log", "log");
        std::filesystem::permissions(rig.folder.Native() / "Brakkis_Temp/crash.log",
                                     std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                         std::filesystem::perms::others_write,
                                     std::filesystem::perm_options::remove);
        LauncherFormPeer::Restore(rig.form);
        EXPECT_EQ(rig.folder.Read("Brakkis_Temp/crash.log"), "log");  // read-only: not forced
    }
}

TEST(GameFiles, OnlyTheGeneralSectionOfTheGamesLocalisationChanges) {
    const std::string others = "[Public]\nObject=(Name=Botpack.DeathMatchPlus)\n\n[Errors]\rNoGame=None\r";
    LauncherRig rig;
    // Two byte-order marks, as an editor that adds one on every save leaves.
    rig.folder.Write("UnrealTournament.int",
                     "\xEF\xBB\xBF\xEF\xBB\xBF[General]\nStart=Unreal Tournament (Starting)\nProduct=Unreal Tournament\n" + others);

    LauncherFormPeer::Stage(rig.form);
    EXPECT_EQ(rig.folder.Read("UnrealTournament.int"), kModInt + others);

    LauncherFormPeer::Restore(rig.form);
    EXPECT_EQ(rig.folder.Read("UnrealTournament.int"), kGameInt + others);

    // A file that never had the section gets it before its first section,
    // below any lines of no section, so that the next rewrite keeps them.
    rig.folder.Write("UnrealTournament.int", others);
    LauncherFormPeer::Restore(rig.form);
    EXPECT_EQ(rig.folder.Read("UnrealTournament.int"), kGameInt + others);
    rig.folder.Write("UnrealTournament.int", "; by hand\r\n" + others);
    LauncherFormPeer::Restore(rig.form);
    LauncherFormPeer::Restore(rig.form);
    EXPECT_EQ(rig.folder.Read("UnrealTournament.int"), "; by hand\r\n" + kGameInt + others);
    rig.folder.Write("UnrealTournament.int", "Product=Mine");  // no section at all, no line end
    LauncherFormPeer::Stage(rig.form);
    LauncherFormPeer::Restore(rig.form);
    EXPECT_EQ(rig.folder.Read("UnrealTournament.int"), "Product=Mine\r\n" + kGameInt);
    // A missing file is not created.
    std::filesystem::remove(rig.folder.Native() / "UnrealTournament.int");
    LauncherFormPeer::Stage(rig.form);
    EXPECT_FALSE(rig.folder.Has("UnrealTournament.int"));
}

TEST(GameFiles, RenderDeviceCarriesOverOrLeavesTheTargetAlone) {
    struct Case {
        std::string source, target, expected;  // expected empty: the carry-over raises
    };
    const std::string tail = "[Next]\r\nKey=1\r\n";
    const Case cases[] = {
        {"[E]\r\nGameRenderDevice=OpenGLDrv.OpenGLRenderDevice\r\n", "[E]\r\nGameRenderDevice=SoftDrv.SoftwareRenderDevice\r\n" + tail,
         "[E]\r\nGameRenderDevice=OpenGLDrv.OpenGLRenderDevice\r\n" + tail},
        // Found in any case, copied in its own.
        {"gamerenderdevice=D3DDrv.D3DRenderDevice  \r\n", "GameRenderDevice=X\r\n", "gamerenderdevice=D3DDrv.D3DRenderDevice  \r\n"},
        // Every occurrence of the old line goes, also inside a longer line.
        {"GameRenderDevice=New\r\n", "GameRenderDevice=Old\r\n;was GAMERENDERDEVICE=OLD once\r\n",
         "GameRenderDevice=New\r\n;was GameRenderDevice=New once\r\n"},
        {"[E]\r\nRenderDevice=None\r\n", "GameRenderDevice=Old\r\n", ""},  // no key in the source
        {"GameRenderDevice=New\r\n", "[E]\r\nGameRenderDevice=Old", ""},    // no line end after it
        {"GameRenderDevice=New\n", "GameRenderDevice=Old\r\n", ""},         // only CR LF ends the line
    };
    for (const Case& c : cases) {
        LauncherRig rig;
        rig.folder.Write("UnrealTournament.ini", c.source);
        rig.folder.Write("Brakkis.ini", c.target);
        if (c.expected.empty()) {
            EXPECT_THROW(LauncherFormPeer::CarryRenderDevice(rig.form), RaisedError) << c.source;
            EXPECT_EQ(rig.folder.Read("Brakkis.ini"), c.target);
        } else {
            LauncherFormPeer::CarryRenderDevice(rig.form);
            EXPECT_EQ(rig.folder.Read("Brakkis.ini"), c.expected) << c.source;
        }
    }
}

}  // namespace
}  // namespace brakkis::testing
