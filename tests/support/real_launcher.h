// The real "Brakkis Isle.exe" under Wine in scratch game folders beside the
// stand-in game: starting it, reading the stand-in's records of its starts,
// the folder and the recovery value. Whatever a test started ends with it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "launcher/game_files.h"
#include "platform/ascii_case.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "tests/support/differences.h"
#include "tools/sample-installation/sample_installation.h"
#include "tools/standin-game/outside_view.h"
#include "tools/standin-game/standin_log.h"

namespace brakkis::wine {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using win32::ScopedKernelHandle;

// The build names its outputs by Unix paths; Wine shows the Unix root as Z:.
inline std::string WindowsPath(std::string path) {
    if (path.starts_with('/')) path.insert(0, "Z:");
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Windows the test itself owns keep answering while it waits.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 30s) {
    for (const auto end = std::chrono::steady_clock::now() + limit;; std::this_thread::sleep_for(50ms)) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        if (done()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
    }
}

inline bool Found(const char* title) { return ::FindWindowA(nullptr, title) != nullptr; }

using outside::kRunKey;
using outside::RunValue;
using standin::ReadWhole;
inline Files Snapshot(const std::string& folder) { return outside::FolderFiles(folder); }

class RealLauncher : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "Brakkis");
        job_.Reset(::CreateJobObjectA(nullptr, nullptr));
    }
    void TearDown() override {
        // A resident launcher and a game outliving it both go with the job.
        ::TerminateJobObject(job_.Get(), 1);
        for (const auto& process : started_) ::WaitForSingleObject(process.Get(), 10000);
        ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "Brakkis");
        std::error_code ignored;
        for (const auto& folder : folders_) WaitUntil([&] { return fs::remove_all(folder, ignored) != ~0ull; }, 5s);
    }

    // A sample installation with the stand-in as its game, following the
    // timetable, in a folder with a blank in its name, as under "Program
    // Files": the game's path must come quoted, the recovery value unquoted.
    // Its letter of the ANSI code page reaches every Win32 call byte for byte.
    std::string Installation(const std::string& behaviour) {
        char temp[MAX_PATH];
        ::GetLongPathNameA(fs::temp_directory_path().string().c_str(), temp, MAX_PATH);
        const std::string folder = (fs::path(temp) / "Brakkis Game f\xFCr ").string() +
                                   std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(folders_.size());
        folders_.push_back(folder);
        std::error_code ignored;  // Wine reuses process ids: a folder an aborted run left
        fs::remove_all(folder, ignored);
        sample::WriteInstallation(folder, {.gameExecutable = WindowsPath(BRAKKIS_STANDIN_EXE)});
        fs::copy_file(WindowsPath(BRAKKIS_LAUNCHER_EXE), folder + "\\Brakkis Isle.exe");
        // The player's own user configuration of pass-through runs, which the game must not see.
        std::ofstream(folder + "\\BrakkisUser.ini", std::ios::binary) << "[Engine.Input]\r\nF1=Screenshot\r\n";
        std::ofstream(folder + "\\" + standin::kBehaviourName, std::ios::binary) << behaviour;
        original_ = Snapshot(folder);
        EXPECT_GT(original_.size(), 30u) << "the installation cannot be read back";
        return folder;
    }

    HANDLE Start(const std::string& folder, const std::string& arguments) {
        const std::string exe = folder + "\\Brakkis Isle.exe";
        std::string line = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        EXPECT_TRUE(::CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                     folder.c_str(), &startup, &started));
        ScopedKernelHandle thread(started.hThread);
        ::AssignProcessToJobObject(job_.Get(), started.hProcess);
        ::ResumeThread(thread.Get());
        return started_.emplace_back(started.hProcess).Get();
    }

    DWORD ProcessesLeft() const {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION job{};
        ::QueryInformationJobObject(job_.Get(), JobObjectBasicAccountingInformation, &job, sizeof job, nullptr);
        return job.ActiveProcesses;
    }

    void ExpectEndedAndRestored(HANDLE launcher, const std::string& folder, DWORD limitMs, const Files& expected) {
        ASSERT_EQ(::WaitForSingleObject(launcher, limitMs), WAIT_OBJECT_0) << "the launcher did not end with the game";
        EXPECT_EQ(Differences(expected, Snapshot(folder)), "");
        EXPECT_EQ(RunValue(), std::nullopt);
    }

    // What the game saw beside it, against the modification's names the installation has.
    void ExpectSawTheModsNames(const standin::GameStart& start) const {
        std::set<std::string> seen, visible;
        for (const std::string& name : start.files) seen.insert(ascii::LowerCase(name));
        for (const auto& [name, bytes] : original_) {
            if (std::ranges::count(VisibleFileList, ascii::LowerCase(name), ascii::LowerCase))
                visible.insert(ascii::LowerCase(name));
        }
        EXPECT_EQ(seen, visible);
    }

    std::vector<std::string> folders_;
    std::vector<ScopedKernelHandle> started_;
    ScopedKernelHandle job_;
    Files original_;
};

}  // namespace brakkis::wine
