// What players' machines do to the launcher: odd folder names, read-only
// and oversized files, rubbish in the backup folder, foreign line ends and a
// registry that will not play along. Whatever happens, no file is lost.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/launcher_rig.h"
#include "tools/sample-installation/sample_installation.h"

namespace brakkis::testing {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

const std::string kGameInt =
    "[General]\r\nStart=Unreal Tournament (Starting)\r\nExit=Unreal Tournament (Exiting)\r\n"
    "Run=Unreal Tournament (Running)\r\nProduct=Unreal Tournament\r\n";
const std::string kModInt =
    "[General]\r\nStart=Brakkis (Starting)\r\nExit=Brakkis (Exiting)\r\nRun=Brakkis (Running)\r\nProduct=Brakkis\r\n";

Files SnapshotOf(const fs::path& root) {
    Files files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        files[e.path().lexically_relative(root).generic_string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return files;
}

bool ReadOnly(const fs::path& p) { return (fs::status(p).permissions() & fs::perms::owner_write) == fs::perms::none; }

// A game whose window comes up at once and goes after a while, then ends.
void PlayGame(LauncherRig& rig, std::function<void()> whileRunning = {}) {
    rig.machine.SetProgram([&rig, whileRunning](sim::SimMachine& m, sim::SimProcess& game) {
        const auto pid = game.pid;
        m.At(m.Now() + 500, [&m, pid, whileRunning] {
            const WindowHandle hwnd = m.CreateWindow("Brakkis", true, pid);
            if (whileRunning) whileRunning();
            m.At(m.Now() + 15000, [&m, hwnd, pid] {
                m.DestroyWindow(hwnd);
                m.EndProcess(pid);
            });
        });
    });
}

struct RunValue {
    std::uint32_t type = 0;
    std::string data;
    bool operator==(const RunValue&) const = default;
};

std::optional<RunValue> ReadRunValue(sim::FakeRegistry& registry) {
    RegKey key = 0;
    if (registry.OpenKeyEx(reg::kLocalMachine, kRunKey, 0, reg::kQueryValue, &key) != 0) return std::nullopt;
    RunValue value;
    std::uint32_t size = 0;
    std::optional<RunValue> found;
    if (registry.QueryValueEx(key, "Brakkis", &value.type, nullptr, &size) == 0) {
        value.data.resize(size);
        registry.QueryValueEx(key, "Brakkis", &value.type, reinterpret_cast<std::uint8_t*>(value.data.data()), &size);
        found = value;
    }
    registry.CloseKey(key);
    return found;
}

void WriteRunValue(sim::FakeRegistry& registry, const RunValue& value) {
    RegKey key = 0;
    registry.CreateKeyEx(reg::kLocalMachine, kRunKey, 0, reg::kAllButDelete, &key, nullptr);
    registry.SetValueEx(key, "Brakkis", value.type, reinterpret_cast<const std::uint8_t*>(value.data.data()),
                        static_cast<std::uint32_t>(value.data.size()));
    registry.CloseKey(key);
}

TEST(Hostile, AGameFolderWithBlanksAndAnsiLettersRunsAndComesBackWhole) {
    LauncherRig rig;
    // "Spiele für Brakkis é" in the ANSI code page, not in UTF-8.
    const std::string game = rig.folder.Path() + "\\Spiele f\xFCr Brakkis \xE9";
    CreateNativeFileSystem()->CreateFolder(game);
    fs::path native;
    for (const auto& e : fs::directory_iterator(rig.folder.Native())) native = e.path();
    sample::WriteInstallation(native);
    const Files original = SnapshotOf(native);
    rig.machine.appPath = game;
    bool staged = false;
    std::string runValue;
    PlayGame(rig, [&] {
        staged = fs::exists(native / "Brakkis_Temp" / "User.ini") && !fs::exists(native / "User.ini");
        runValue = rig.RunValue();
    });

    rig.Run("", 60000);

    EXPECT_TRUE(staged);
    EXPECT_EQ(runValue, game + "\\Brakkis Isle.exe /silent");
    ASSERT_EQ(rig.machine.runs.size(), 1u);
    EXPECT_EQ(rig.machine.runs[0].command.rfind("\"" + game + "\\unrealtournament.exe\" BrakkisEntry.unr", 0), 0u);
    EXPECT_FALSE(rig.machine.FormLoaded());
    EXPECT_EQ(SnapshotOf(native), original);
    EXPECT_EQ(rig.RunValue(), "(none)");
}

TEST(Hostile, ReadOnlyFilesAreMovedAndKeptButNeverRewritten) {
    LauncherRig rig;
    sample::WriteInstallation(rig.folder.Native());
    const Files original = rig.folder.Snapshot();
    std::vector<fs::path> readOnly;
    for (const auto& e : fs::directory_iterator(rig.folder.Native())) {
        const std::string ext = e.path().extension().string();
        if (ext == ".ini" || ext == ".int") readOnly.push_back(e.path().filename());
    }
    for (const auto& name : readOnly) {
        fs::permissions(rig.folder.Native() / name, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }

    LauncherFormPeer::Stage(rig.form);
    EXPECT_EQ(rig.folder.Read("UnrealTournament.int"), kGameInt);  // could not be rewritten
    EXPECT_TRUE(rig.folder.Has("Brakkis_Temp/User.ini"));
    EXPECT_TRUE(ReadOnly(rig.folder.Native() / "Brakkis_Temp/User.ini"));
    EXPECT_THROW(LauncherFormPeer::CarryRenderDevice(rig.form), RaisedError);

    LauncherFormPeer::Restore(rig.form);
    EXPECT_EQ(rig.folder.Snapshot(), original);
    EXPECT_FALSE(rig.folder.Has("Brakkis_Temp"));
    for (const auto& name : readOnly) EXPECT_TRUE(ReadOnly(rig.folder.Native() / name)) << name;
}

TEST(Hostile, RubbishInTheBackupFolderNeverCostsThePlayersFiles) {
    for (bool lockedRubbish : {false, true}) {
        LauncherRig rig;
        sample::WriteInstallation(rig.folder.Native());
        rig.folder.Write("Maps.ini/Readme.txt", "a folder named like a configuration");
        const Files original = rig.folder.Snapshot();
        rig.folder.Write("Brakkis_Temp/readme.txt", "notes");
        rig.folder.Write("Brakkis_Temp/old/User.ini", "older");
        rig.folder.Write("Brakkis_Temp/old/deep/Core.int", "older still");
        rig.folder.Write("Brakkis_Temp/Saved.int/Slot.ini", "a folder named like a localisation");
        if (lockedRubbish) {
            fs::permissions(rig.folder.Native() / "Brakkis_Temp/old/deep/Core.int", fs::perms::owner_write,
                            fs::perm_options::remove);
        }

        LauncherFormPeer::Stage(rig.form);
        EXPECT_TRUE(rig.folder.Has("Maps.ini/Readme.txt"));
        EXPECT_TRUE(rig.folder.Has("Brakkis_Temp/User.ini"));
        EXPECT_EQ(rig.folder.Read("UnrealTournament.int"), kModInt);

        LauncherFormPeer::Restore(rig.form);
        Files home = rig.folder.Snapshot();
        std::erase_if(home, [](const auto& file) { return file.first.rfind("Brakkis_Temp/", 0) == 0; });
        EXPECT_EQ(home, original);
        // Only files of other kinds were left: the folder goes with them,
        // unless one of them may not be deleted.
        EXPECT_EQ(rig.folder.Has("Brakkis_Temp/old/deep/Core.int"), lockedRubbish);
        EXPECT_EQ(rig.folder.Has("Brakkis_Temp"), lockedRubbish);
    }
}

TEST(Hostile, ASeveralMegabyteGameConfigurationIsCarriedAndKeptWhole) {
    LauncherRig rig;
    sample::WriteInstallation(rig.folder.Native());
    // Every byte value, many sections, and the setting at the very end.
    std::string big = "[URL]\r\nMap=Index.unr\r\n";
    for (int i = 0; big.size() < 6 * 1024 * 1024; ++i) {
        big += "[Pack" + std::to_string(i) + "]\r\n";
        for (int b = 1; b < 256; ++b) big += static_cast<char>(b == '\r' || b == '\n' ? ' ' : b);
        big += "\r\n";
    }
    big += "[Engine.Engine]\r\nGameRenderDevice=D3DDrv.D3DRenderDevice\r\n";
    rig.folder.Write("UnrealTournament.ini", big);
    const Files original = rig.folder.Snapshot();

    const auto start = std::chrono::steady_clock::now();
    LauncherFormPeer::Stage(rig.form);
    LauncherFormPeer::CarryRenderDevice(rig.form);
    LauncherFormPeer::Restore(rig.form);
    const auto took = std::chrono::steady_clock::now() - start;

    Files expected = original;
    const std::string mod = expected["Brakkis.ini"];
    const std::string oldLine = sample::kModRenderDevice;
    expected["Brakkis.ini"].replace(mod.find(oldLine), oldLine.size(), "GameRenderDevice=D3DDrv.D3DRenderDevice");
    EXPECT_EQ(rig.folder.Snapshot(), expected);
    EXPECT_LT(took, std::chrono::seconds(10));
}

TEST(Hostile, ForeignLineEndsAndByteOrderMarksSurviveAWholeRun) {
    for (const std::string end : {"\r", "\n"}) {
        LauncherRig rig;
        sample::WriteInstallation(rig.folder.Native());
        // Every configuration and localisation file rewritten with the foreign line end.
        for (auto& [name, bytes] : rig.folder.Snapshot()) {
            if (!name.ends_with(".ini") && !name.ends_with(".int")) continue;
            for (std::size_t at = 0; (at = bytes.find("\r\n", at)) != std::string::npos;) bytes.replace(at, 2, end), at += end.size();
            rig.folder.Write(name, name == "UnrealTournament.int" ? "\xEF\xBB\xBF" + bytes : bytes);
        }
        Files original = rig.folder.Snapshot();
        std::string rest = original["UnrealTournament.int"].substr(3);
        rest.erase(0, rest.find("Product=Unreal Tournament") + std::string("Product=Unreal Tournament").size() + 1);

        LauncherFormPeer::Stage(rig.form);
        EXPECT_EQ(rig.folder.Read("UnrealTournament.int"), kModInt + rest);
        // Only CR LF ends the setting line: the carry-over refuses and touches nothing.
        EXPECT_THROW(LauncherFormPeer::CarryRenderDevice(rig.form), RaisedError);

        LauncherFormPeer::Restore(rig.form);
        original["UnrealTournament.int"] = kGameInt + rest;
        EXPECT_EQ(rig.folder.Snapshot(), original);
    }
    // Marks at the top of both configurations are carried past and kept.
    LauncherRig rig;
    rig.folder.Write("UnrealTournament.ini", "\xEF\xBB\xBFGameRenderDevice=A\r\n");
    rig.folder.Write("Brakkis.ini", "\xEF\xBB\xBF[Engine.Engine]\r\nGameRenderDevice=B\r\n");
    LauncherFormPeer::CarryRenderDevice(rig.form);
    EXPECT_EQ(rig.folder.Read("Brakkis.ini"), "\xEF\xBB\xBF[Engine.Engine]\r\nGameRenderDevice=A\r\n");
}

TEST(Hostile, ARecoveryValueTheRegistryRefusesOrThatIsNotTextStillEndsInAWholeFolder) {
    const RunValue dword{reg::kDword, std::string("\x01\x00\x00\x00", 4)};
    {
        // Refused: the game runs all the same, and the end restores.
        LauncherRig rig;
        sample::WriteInstallation(rig.folder.Native());
        const Files original = rig.folder.Snapshot();
        rig.registry.DenyWrites(reg::kLocalMachine);
        PlayGame(rig);
        rig.Run("", 60000);
        EXPECT_EQ(rig.machine.runs.size(), 1u);
        EXPECT_FALSE(rig.machine.FormLoaded());
        EXPECT_EQ(rig.folder.Snapshot(), original);
        EXPECT_EQ(ReadRunValue(rig.registry), std::nullopt);
    }
    {
        // Someone else's number under the launcher's name: a normal run
        // replaces it with the recovery text and removes that at the end.
        LauncherRig rig;
        sample::WriteInstallation(rig.folder.Native());
        WriteRunValue(rig.registry, dword);
        std::optional<RunValue> whilePlaying;
        PlayGame(rig, [&] { whilePlaying = ReadRunValue(rig.registry); });
        rig.Run("", 60000);
        ASSERT_TRUE(whilePlaying);
        EXPECT_EQ(whilePlaying->type, reg::kSz);
        EXPECT_EQ(ReadRunValue(rig.registry), std::nullopt);
    }
    const RunValue expandable{reg::kExpandSz, std::string("%ProgramFiles%\\Other.exe") + '\0'};
    for (const RunValue& foreign : {dword, expandable}) {
        // After a crash: only a text value is the launcher's own to delete.
        LauncherRig rig;
        sample::WriteInstallation(rig.folder.Native());
        const Files original = rig.folder.Snapshot();
        LauncherFormPeer::Stage(rig.form);
        WriteRunValue(rig.registry, foreign);
        rig.Run("/silent", 5000);
        EXPECT_EQ(rig.folder.Snapshot(), original);
        EXPECT_EQ(ReadRunValue(rig.registry), foreign);
    }
}

}  // namespace
}  // namespace brakkis::testing
