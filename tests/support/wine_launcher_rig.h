// The real launcher under Wine in scratch game folders, beside the stand-in
// game: starting it, reading the stand-in's records of its starts, the
// recovery value. Whatever a test started is ended with it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "tools/standin-game/standin_log.h"

namespace brakkis::wine {

using namespace std::chrono_literals;

inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// The build names its outputs by Unix paths; Wine shows the Unix root as Z:.
inline std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path.insert(0, "Z:");
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// Windows the test itself owns must keep answering while it waits.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 30s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        if (done()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(50ms);
    }
}

inline std::optional<std::string> RunValue() {
    char data[2048];
    DWORD size = sizeof data;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, kRunKey, "Brakkis", RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(data);
}

inline void DeleteRunValue() { ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "Brakkis"); }

struct GameStart {
    std::string commandLine;
    std::optional<std::string> runValue;
    std::vector<std::string> files;  // the .ini/.int names the game could see
};

// Complete records only: the stand-in writes each in one piece.
inline std::vector<GameStart> GameStarts(const std::string& folder) {
    std::ifstream log(folder + "\\" + standin::kLogName, std::ios::binary);
    std::vector<GameStart> starts;
    GameStart start;
    const auto after = [](const std::string& line, const char* key) {
        return line.rfind(key, 0) == 0 ? std::optional(line.substr(std::strlen(key))) : std::nullopt;
    };
    for (std::string line; std::getline(log, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (auto command = after(line, standin::kCommandLine)) start.commandLine = *command;
        if (auto value = after(line, standin::kRunValue)) start.runValue = *value;
        if (auto files = after(line, standin::kFiles)) {
            std::istringstream names(*files);
            for (std::string name; std::getline(names, name, '|');) start.files.push_back(name);
        }
        if (line == standin::kRecordEnd) starts.push_back(std::exchange(start, GameStart{}));
    }
    return starts;
}

class LauncherFixture : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteRunValue();
        job_.Reset(::CreateJobObjectA(nullptr, nullptr));
    }

    void TearDown() override {
        // The launcher may stay resident, and a game may outlive it: the job
        // holds both.
        ::TerminateJobObject(job_.Get(), 1);
        for (const auto& launcher : launchers_) ::WaitForSingleObject(launcher.Get(), 10000);
        DeleteRunValue();
        std::error_code ignored;
        for (const auto& folder : folders_) {
            WaitUntil([&] { return std::filesystem::remove_all(folder, ignored) != static_cast<std::uintmax_t>(-1); },
                      5s);
        }
    }

    // A blank in the folder's name, as under "Program Files": the game's path
    // must come quoted, the recovery value unquoted.
    std::string NewGameFolder(bool withGame) {
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        ::GetLongPathNameA(temp, temp, MAX_PATH);
        const std::string folder = std::string(temp) + "Brakkis Game " + std::to_string(::GetCurrentProcessId()) +
                                   "-" + std::to_string(folders_.size());
        std::filesystem::create_directories(folder);
        folders_.push_back(folder);
        std::filesystem::copy_file(WindowsPath(BRAKKIS_LAUNCHER_EXE), folder + "\\Brakkis Isle.exe");
        if (withGame) std::filesystem::copy_file(WindowsPath(BRAKKIS_STANDIN_EXE), folder + "\\UnrealTournament.exe");
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
        win32::ScopedKernelHandle thread(started.hThread);
        ::AssignProcessToJobObject(job_.Get(), started.hProcess);
        ::ResumeThread(thread.Get());
        launchers_.emplace_back(started.hProcess);
        return started.hProcess;
    }

    std::vector<std::string> folders_;
    std::vector<win32::ScopedKernelHandle> launchers_;
    win32::ScopedKernelHandle job_;
};

}  // namespace brakkis::wine
