// The launcher's whole course under Wine, beside the stand-in game in a
// sample installation: from the start to the folder as it was found, through
// a video-configuration restart, a recovery-mode dialog and the recovery run
// after a crash. Every wait is bounded; the fixture ends whatever is left.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "launcher/visible_files.h"
#include "platform/ascii_case.h"
#include "tests/support/wine_launcher_rig.h"
#include "tools/sample-installation/sample_installation.h"

namespace {

namespace ascii = brakkis::ascii;
namespace fs = std::filesystem;
namespace sample = brakkis::sample;
using namespace brakkis::wine;

using Files = std::map<std::string, std::string>;

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Every file under the folder but the stand-in's log, by relative path.
Files Snapshot(const std::string& folder) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        if (entry.is_regular_file() && name != brakkis::standin::kLogName) files[name] = ReadWhole(entry.path());
    }
    return files;
}

// Names only: a failure should say which files, not print them.
std::vector<std::string> Differences(const Files& expected, const Files& actual) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : expected) {
        const auto found = actual.find(name);
        if (found == actual.end()) names.push_back(name + " missing");
        if (found != actual.end() && found->second != bytes) names.push_back(name + " changed");
    }
    for (const auto& [name, bytes] : actual) {
        if (!expected.count(name)) names.push_back(name + " added");
    }
    return names;
}

std::string EntryCommand(const std::string& folder) {
    return "\"" + folder +
           "\\unrealtournament.exe\" BrakkisEntry.unr INT=Brakkis.int INI=Brakkis.ini  USERINI=DefUser.ini "
           "LOG=Brakkis.log";
}

void ReplaceOnce(std::string& text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
}

// A named callback: x86's stdcall does not take a lambda's conversion.
BOOL CALLBACK FindVisible(HWND window, LPARAM found) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    auto& search = *reinterpret_cast<std::pair<DWORD, bool>*>(found);
    search.second = search.second || (owner == search.first && ::IsWindowVisible(window));
    return TRUE;
}

bool HasVisibleWindow(HANDLE process) {
    std::pair<DWORD, bool> search{::GetProcessId(process), false};
    ::EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

bool Found(const char* title) { return ::FindWindowA(nullptr, title) != nullptr; }

class Course : public LauncherFixture {
protected:
    // The sample installation with the stand-in as its game, following the
    // given timetable, and the player's own user configuration of
    // pass-through runs, which the game must not see.
    std::string Installation(const std::string& behaviour) {
        const std::string folder = NewGameFolder(false);
        sample::InstallationOptions options;
        options.gameExecutable = WindowsPath(BRAKKIS_STANDIN_EXE);
        sample::WriteInstallation(folder, options);
        std::ofstream(folder + "\\BrakkisUser.ini", std::ios::binary) << "[Engine.Input]\r\nF1=Screenshot\r\n";
        std::ofstream(folder + "\\" + brakkis::standin::kBehaviourName, std::ios::binary) << behaviour;
        original_ = Snapshot(folder);
        return folder;
    }

    // What the game may see: the modification's names that the installation has.
    std::set<std::string> VisibleNames() const {
        std::set<std::string> names;
        for (const char* name : brakkis::VisibleFileList) {
            if (std::any_of(original_.begin(), original_.end(),
                            [&](const auto& file) { return ascii::EqualNoCase(file.first, name); })) {
                names.insert(ascii::LowerCase(name));
            }
        }
        return names;
    }

    static std::set<std::string> Seen(const GameStart& start) {
        std::set<std::string> names;
        for (const std::string& name : start.files) names.insert(ascii::LowerCase(name));
        return names;
    }

    void ExpectEndedAndRestored(HANDLE launcher, const std::string& folder, DWORD limitMs, const Files& expected) {
        ASSERT_EQ(::WaitForSingleObject(launcher, limitMs), static_cast<DWORD>(WAIT_OBJECT_0))
            << "the launcher did not end with the game";
        EXPECT_EQ(Differences(expected, Snapshot(folder)), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(folder + "\\Brakkis_Temp"));
        EXPECT_EQ(RunValue(), std::nullopt);
    }

    DWORD ProcessesLeft() const {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION job{};
        ::QueryInformationJobObject(job_.Get(), JobObjectBasicAccountingInformation, &job, sizeof job, nullptr);
        return job.ActiveProcesses;
    }

    Files original_;
};

TEST_F(Course, EntryAndPassThroughRunsShowTheGameItsFilesAndEndWithIt) {
    for (const std::string arguments : {"", "/silent extra"}) {
        SCOPED_TRACE("arguments \"" + arguments + "\"");
        const std::string folder = Installation("main_window_ms=300\r\nexit_after_ms=3000\r\n");
        const HANDLE launcher = Start(folder, arguments);
        ExpectEndedAndRestored(launcher, folder, 60000, original_);

        const std::vector<GameStart> starts = GameStarts(folder);
        ASSERT_EQ(starts.size(), 1u);
        if (arguments.empty()) {
            EXPECT_EQ(starts[0].commandLine, EntryCommand(folder));
        }
        EXPECT_EQ(Seen(starts[0]), VisibleNames());
    }
}

TEST_F(Course, VideoSetupRestartsTheGameOnceWithTheEntryLineAndTheChosenDevice) {
    // The first game would play on for long after its dialog: only the
    // launcher's kill ends it in time.
    const std::string folder = Installation(
        "main_window_ms=300\r\n1.video_setup_at_ms=13000\r\nvideo_setup_ms=1000\r\n"
        "new_render_device=D3DDrv.D3DRenderDevice\r\n1.exit_after_ms=120000\r\n2.exit_after_ms=3000\r\n");
    const HANDLE launcher = Start(folder, "DM-Deck16");

    Files expected = original_;
    const std::string chosen = "GameRenderDevice=D3DDrv.D3DRenderDevice";
    ReplaceOnce(expected["UnrealTournament.ini"], sample::kGameRenderDevice, chosen);
    ReplaceOnce(expected["Brakkis.ini"], sample::kModRenderDevice, chosen);
    ExpectEndedAndRestored(launcher, folder, 90000, expected);

    const std::vector<GameStart> starts = GameStarts(folder);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_NE(starts[0].commandLine.find("DM-Deck16"), std::string::npos);
    EXPECT_EQ(starts[1].commandLine, EntryCommand(folder));
    EXPECT_EQ(Seen(starts[1]), VisibleNames());
    EXPECT_EQ(ProcessesLeft(), 0u) << "the first game was not ended";
}

TEST_F(Course, RecoveryDialogInPlaceOfTheGameWindowKeepsTheLauncherUntilTheGameEnds) {
    // After the splash's 12 s the game's window gives way to the recovery
    // dialog for a while and comes back; the game plays on past the pause
    // the launcher takes when it sees that window again.
    const std::string folder =
        Installation("main_window_ms=300\r\nrecovery_at_ms=13000\r\nrecovery_ms=2000\r\nexit_after_ms=38000\r\n");
    const HANDLE launcher = Start(folder, "");

    ASSERT_TRUE(WaitUntil([] { return Found("Unreal Tournament Recovery Mode") && !Found("Brakkis"); }, 40s));
    ASSERT_TRUE(WaitUntil([] { return Found("Brakkis"); }, 30s));
    EXPECT_EQ(::WaitForSingleObject(launcher, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the launcher left while the game was still running";
    EXPECT_TRUE(fs::exists(folder + "\\Brakkis_Temp"));
    EXPECT_TRUE(RunValue().has_value());

    ExpectEndedAndRestored(launcher, folder, 60000, original_);
    EXPECT_EQ(GameStarts(folder).size(), 1u);
}

TEST_F(Course, SilentRunAfterACrashRestoresAndStaysHiddenWithoutAGame) {
    const std::string folder = Installation("main_window_ms=300\r\nexit_after_ms=120000\r\n");
    Start(folder, "");
    ASSERT_TRUE(WaitUntil([&] { return GameStarts(folder).size() == 1; }));
    // The machine goes down with the launcher and the game in it.
    ::TerminateJobObject(job_.Get(), 1);
    ASSERT_TRUE(WaitUntil([&] { return ProcessesLeft() == 0; }, 10s));
    ASSERT_TRUE(fs::exists(folder + "\\Brakkis_Temp"));
    ASSERT_TRUE(RunValue().has_value());

    const HANDLE recovery = Start(folder, " /SiLeNt  ");
    ASSERT_TRUE(WaitUntil([&] { return !RunValue() && !fs::exists(folder + "\\Brakkis_Temp"); }));
    EXPECT_EQ(Differences(original_, Snapshot(folder)), std::vector<std::string>{});
    EXPECT_EQ(::WaitForSingleObject(recovery, 2000), static_cast<DWORD>(WAIT_TIMEOUT)) << "the recovery run left";
    EXPECT_FALSE(HasVisibleWindow(recovery));
    EXPECT_EQ(GameStarts(folder).size(), 1u) << "the recovery run started the game";
}

}  // namespace
