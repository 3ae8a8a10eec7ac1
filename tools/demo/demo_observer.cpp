// demo_observer GAME_FOLDER SPLASH_BMP
//
// Starts "Brakkis Isle.exe" in GAME_FOLDER and narrates, as it happens, what a
// player would notice. The launcher writes no log, so everything here is seen
// from outside: the folder, the recovery value, the windows by title, the
// launcher's own window, the game processes and the stand-in game's log.
// Saves a picture of the splash to SPLASH_BMP. Exits 0 when the launcher ended
// by itself and left the folder as it found it and the value removed.
#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
// After windows.h, which it needs.
#include <tlhelp32.h>

#include "tools/demo/screen_capture.h"
#include "tools/standin-game/outside_view.h"
#include "tools/standin-game/standin_log.h"

namespace {

namespace ascii = brakkis::ascii;
using namespace std::chrono_literals;
using brakkis::win32::ScopedFindHandle;
using brakkis::win32::ScopedGdiObject;
using brakkis::win32::ScopedKernelHandle;
namespace standin = brakkis::standin;
using brakkis::outside::FolderFiles;
using brakkis::outside::RunValue;
using brakkis::standin::Lines;
using brakkis::standin::ReadWhole;

constexpr auto kDeadline = 100s;
constexpr char kVideoTitle[] = "Unreal Tournament Video Configuration";
constexpr char kRecoveryTitle[] = "Unreal Tournament Recovery Mode";

const auto kStarted = std::chrono::steady_clock::now();

void Say(const std::string& text) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - kStarted).count();
    std::printf("%6.1f s  %s\n", seconds, text.c_str());
    std::fflush(stdout);
}

// None while the file is away: staging moves it out and back.
std::optional<std::string> RenderDevice(const std::string& iniPath) {
    for (const std::string& line : Lines(ReadWhole(iniPath))) {
        if (ascii::StartsWithNoCase(line, "GameRenderDevice=")) return line.substr(std::strlen("GameRenderDevice="));
    }
    return std::nullopt;
}

struct ConfigCount {
    bool exists = false;
    int files = 0;
};

ConfigCount CountConfigFiles(const std::string& folder) {
    ConfigCount count;
    count.exists = ::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
    for (const char* pattern : {"\\*.ini", "\\*.int"}) {
        WIN32_FIND_DATAA found;
        ScopedFindHandle search(::FindFirstFileA((folder + pattern).c_str(), &found));
        for (bool more = search.IsValid(); more; more = ::FindNextFileA(search.Get(), &found)) ++count.files;
    }
    return count;
}

std::set<DWORD> GameProcesses() {
    ScopedKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    std::set<DWORD> games;
    for (bool more = snapshot && ::Process32First(snapshot.Get(), &entry); more;
         more = ::Process32Next(snapshot.Get(), &entry)) {
        if (ascii::EqualNoCase(entry.szExeFile, "unrealtournament.exe")) games.insert(entry.th32ProcessID);
    }
    return games;
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

// A named callback: x86's stdcall does not take a lambda's conversion.
BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId && ::IsWindowVisible(window)) search.found = window;
    return search.found == nullptr;
}

// The launcher's one window has no title, so it is found by its process.
HWND VisibleWindowOf(DWORD processId) {
    WindowSearch search{processId, nullptr};
    ::EnumWindows(MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A file the game's video dialog or the launcher's carry-over changed differs
// from its original in the render-device line only.
bool DiffersInRenderDeviceOnly(const std::string& before, const std::string& after) {
    const auto others = [](const std::string& text) {
        std::vector<std::string> kept;
        for (const std::string& line : Lines(text)) {
            if (!ascii::StartsWithNoCase(line, "GameRenderDevice=")) kept.push_back(line);
        }
        return kept;
    };
    return others(before) == others(after);
}

// What is seen at one poll; each change between two polls is a line of the
// timeline.
struct Seen {
    std::optional<std::string> runValue;
    bool splash = false;
    bool gameWindow = false;
    bool videoDialog = false;
    bool recoveryDialog = false;
    std::set<DWORD> games;
    std::size_t starts = 0;
    ConfigCount backup;
    std::string gameDevice;
    std::string modDevice;
};

class Observer {
public:
    Observer(std::string folder, std::string bmpPath) : folder_(std::move(folder)), bmpPath_(std::move(bmpPath)) {}

    int Run() {
        before_ = FolderFiles(folder_);
        seen_.gameDevice = RenderDevice(folder_ + "\\UnrealTournament.ini").value_or("");
        seen_.modDevice = RenderDevice(folder_ + "\\Brakkis.ini").value_or("");
        seen_.runValue = RunValue();
        const int configBefore = CountConfigFiles(folder_).files;
        std::printf("%d .ini/.int files in %s; Run value %s\n", configBefore, folder_.c_str(),
                    RunValue() ? "present" : "absent");

        const std::string exe = folder_ + "\\Brakkis Isle.exe";
        std::string line = "\"" + exe + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!::CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &startup,
                              &started)) {
            Say("could not start " + exe);
            return 1;
        }
        ScopedKernelHandle launcher(started.hProcess), thread(started.hThread);
        Say("Brakkis Isle.exe started");

        while (::WaitForSingleObject(launcher.Get(), 50) == WAIT_TIMEOUT) {
            Poll(started.dwProcessId);
            if (std::chrono::steady_clock::now() - kStarted > kDeadline) {
                Say("the launcher is still running after " + std::to_string(kDeadline.count()) + " s: stopping it");
                ::TerminateProcess(launcher.Get(), 1);
                return 1;
            }
        }
        Poll(started.dwProcessId);
        DWORD exitCode = 0;
        ::GetExitCodeProcess(launcher.Get(), &exitCode);
        Say("launcher ended (exit code " + std::to_string(exitCode) + ")");
        const bool restored = CheckRestored(configBefore);
        const bool valueGone = !RunValue();
        if (!valueGone) Say("the Run value is still there: " + *RunValue());
        return restored && valueGone ? 0 : 1;
    }

private:
    void Poll(DWORD launcherId) {
        Seen now;
        now.runValue = RunValue();
        const HWND splash = VisibleWindowOf(launcherId);
        now.splash = splash != nullptr;
        now.gameWindow = ::FindWindowA(nullptr, "Brakkis") != nullptr;
        now.videoDialog = ::FindWindowA(nullptr, kVideoTitle) != nullptr;
        now.recoveryDialog = ::FindWindowA(nullptr, kRecoveryTitle) != nullptr;
        now.games = GameProcesses();
        const std::vector<standin::GameStart> starts = standin::GameStarts(folder_);
        now.starts = starts.size();
        now.backup = CountConfigFiles(folder_ + "\\Brakkis_Temp");
        now.gameDevice = RenderDevice(folder_ + "\\UnrealTournament.ini").value_or(seen_.gameDevice);
        now.modDevice = RenderDevice(folder_ + "\\Brakkis.ini").value_or(seen_.modDevice);

        if (now.runValue != seen_.runValue && now.runValue) Say("Run value \"Brakkis\" written: " + *now.runValue);
        if (now.runValue != seen_.runValue && !now.runValue) Say("Run value \"Brakkis\" removed");
        if (now.splash != seen_.splash) Say(now.splash ? "splash shown" : "splash hidden");
        if (now.splash && !screenshotDue_ && !screenshotTaken_)
            screenshotDue_ = std::chrono::steady_clock::now() + 500ms;
        if (screenshotDue_ && std::chrono::steady_clock::now() >= *screenshotDue_ && now.splash) {
            RECT area{};
            ::GetWindowRect(splash, &area);
            screenshotTaken_ = brakkis::screen::Save(brakkis::screen::Capture(area), area.right - area.left, bmpPath_);
            screenshotDue_.reset();
            if (screenshotTaken_) {
                Say("splash screenshot taken (" + std::to_string(area.right - area.left) + " x " +
                    std::to_string(area.bottom - area.top) + " at " + std::to_string(area.left) + "," +
                    std::to_string(area.top) + ")");
            }
        }
        if (now.gameDevice != seen_.gameDevice) {
            Say("the video dialog saved GameRenderDevice=" + now.gameDevice + " in UnrealTournament.ini");
        }
        if (now.modDevice != seen_.modDevice) Say("Brakkis.ini now carries GameRenderDevice=" + now.modDevice);
        for (DWORD game : seen_.games) {
            if (!now.games.count(game)) Say("game ended");
        }
        for (std::size_t i = seen_.starts; i < starts.size(); ++i) {
            if (i == 0) {
                Say("files staged: " + std::to_string(now.backup.files) + " .ini/.int in Brakkis_Temp, " +
                    std::to_string(CountConfigFiles(folder_).files) + " left for the game");
                Say("game started: " + starts[i].commandLine);
            } else {
                Say("game restarted (start " + starts[i].number + ") with GameRenderDevice=" + now.modDevice + ": " +
                    starts[i].commandLine);
            }
        }
        if (now.videoDialog != seen_.videoDialog) {
            Say(now.videoDialog ? "video configuration dialog up" : "video configuration dialog closed");
        }
        if (now.recoveryDialog != seen_.recoveryDialog) {
            Say(now.recoveryDialog ? "recovery mode dialog up" : "recovery mode dialog closed");
        }
        if (now.gameWindow != seen_.gameWindow) Say(now.gameWindow ? "game window up" : "game window gone");
        if (seen_.backup.exists && !now.backup.exists) {
            Say("files restored: " + std::to_string(CountConfigFiles(folder_).files) +
                " .ini/.int in the game folder, Brakkis_Temp gone");
        }
        seen_ = now;
    }

    bool CheckRestored(int configBefore) {
        const std::map<std::string, std::string> after = FolderFiles(folder_);
        int identical = 0;
        std::vector<std::string> deviceOnly, wrong;
        for (const auto& [name, bytes] : before_) {
            const auto found = after.find(name);
            if (found == after.end()) {
                wrong.push_back(name + " missing");
            } else if (found->second == bytes) {
                ++identical;
            } else if (DiffersInRenderDeviceOnly(bytes, found->second)) {
                deviceOnly.push_back(name);
            } else {
                wrong.push_back(name + " changed");
            }
        }
        for (const auto& [name, bytes] : after) {
            if (!before_.count(name)) wrong.push_back(name + " new");
        }
        const ConfigCount game = CountConfigFiles(folder_), backup = CountConfigFiles(folder_ + "\\Brakkis_Temp");
        std::string summary = "folder verified: " + std::to_string(game.files) + " of " + std::to_string(configBefore) +
                              " .ini/.int back, Brakkis_Temp " + (backup.exists ? "still there" : "gone") + ", " +
                              std::to_string(identical) + " of " + std::to_string(before_.size()) + " files identical";
        for (const std::string& name : deviceOnly) {
            summary += ", " + name + " differs only in its render device";
        }
        Say(summary);
        for (const std::string& problem : wrong) Say("NOT RESTORED: " + problem);
        return wrong.empty() && !backup.exists && game.files == configBefore;
    }

    std::string folder_;
    std::string bmpPath_;
    std::map<std::string, std::string> before_;
    Seen seen_;
    std::optional<std::chrono::steady_clock::time_point> screenshotDue_;
    bool screenshotTaken_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: demo_observer GAME_FOLDER SPLASH_BMP\n");
        return 2;
    }
    _setmode(_fileno(stdout), _O_BINARY);  // the timeline goes to a Unix terminal or file
    return Observer(argv[1], argv[2]).Run();
}
