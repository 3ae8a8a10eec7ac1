// Stands in for UnrealTournament.exe where the real game cannot be run. It
// does what the launcher counts on the game doing, on a timetable read from
// standin.cfg beside it (format in the README), and appends a record of each
// start to standin.log (see standin_log.h).
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "tools/standin-game/outside_view.h"
#include "tools/standin-game/standin_log.h"

namespace {

namespace ascii = brakkis::ascii;
using brakkis::standin::Lines;
using brakkis::standin::ReadWhole;
using brakkis::win32::ScopedFindHandle;
using brakkis::win32::ScopedKernelHandle;
using brakkis::win32::ScopedRegKey;
namespace standin = brakkis::standin;

constexpr char kVideoTitle[] = "Unreal Tournament Video Configuration";
constexpr char kRecoveryTitle[] = "Unreal Tournament Recovery Mode";

struct Behaviour {
    long mainWindowMs = 0;
    std::optional<long> videoSetupAtMs;
    long videoSetupMs = 2000;
    std::string newRenderDevice = "D3DDrv.D3DRenderDevice";
    std::optional<long> recoveryAtMs;
    long recoveryMs = 2000;
    std::optional<long> exitAfterMs = 0;  // none: until the main window is closed
    std::optional<long> restartAtMs;      // the game starts itself anew, as after a change of renderer
};

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string OwnFolder() {
    char path[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string full(path, length < sizeof path ? length : 0);
    return full.substr(0, full.find_last_of('\\'));
}

// A line "key=value" applies to every start; "N.key=value" only to the Nth
// start in this folder, so a restarted game need not repeat the first one's
// course.
Behaviour ReadBehaviour(const std::string& path, int start) {
    Behaviour b;
    for (const std::string& raw : Lines(ReadWhole(path))) {
        const std::string line = Trim(raw);
        const auto equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
        std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        const auto dot = key.find('.');
        if (dot != std::string::npos) {
            if (std::atoi(key.substr(0, dot).c_str()) != start) continue;
            key = key.substr(dot + 1);
        }
        const long ms = std::atol(value.c_str());
        if (key == "main_window_ms") b.mainWindowMs = ms;
        if (key == "video_setup_at_ms") b.videoSetupAtMs = value == "never" ? std::nullopt : std::optional(ms);
        if (key == "video_setup_ms") b.videoSetupMs = ms;
        if (key == "new_render_device") b.newRenderDevice = value;
        if (key == "recovery_at_ms") b.recoveryAtMs = value == "never" ? std::nullopt : std::optional(ms);
        if (key == "recovery_ms") b.recoveryMs = ms;
        if (key == "exit_after_ms") b.exitAfterMs = value == "never" ? std::nullopt : std::optional(ms);
        if (key == "restart_at_ms") b.restartAtMs = value == "never" ? std::nullopt : std::optional(ms);
    }
    return b;
}

std::string RunValueLine() {
    const auto value = brakkis::outside::RunValue();
    return value ? standin::kRunValue + *value : standin::kRunValueMissing;
}

std::string VisibleConfigFiles(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    ScopedFindHandle search(::FindFirstFileA((folder + "\\*").c_str(), &found));
    for (bool more = search.IsValid(); more; more = ::FindNextFileA(search.Get(), &found)) {
        const std::string name = found.cFileName;
        const std::string extension = name.size() > 4 ? ascii::LowerCase(name.substr(name.size() - 4)) : "";
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (extension == ".ini" || extension == ".int")) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return ascii::LowerCase(a) < ascii::LowerCase(b); });
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : "|") + name;
    return joined;
}

int PreviousStarts(const std::string& logPath) {
    int starts = 0;
    for (const std::string& line : Lines(ReadWhole(logPath))) starts += line.rfind(standin::kStart, 0) == 0;
    return starts;
}

bool AppendRecord(const std::string& logPath, const std::string& record) {
    // One appending write per start: a reader never sees half a record
    // followed by another one.
    ScopedKernelHandle file(::CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

// The game reads its localisation in ANSI, UTF-8 or UTF-16 with a mark; the
// keys the stand-in looks for are ASCII, so the low byte of each character
// of UTF-16 text is enough.
std::string LocalisationText(const std::string& path) {
    std::string bytes = ReadWhole(path);
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return bytes.substr(3);
    if (bytes.rfind("\xFF\xFE", 0) != 0) return bytes;
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text += bytes[i + 1] ? '?' : bytes[i];
    return text;
}

// The value of "Key=" in the game's localisation, which is where the game
// takes its window titles from.
std::string GeneralValue(const std::string& folder, const std::string& key, const std::string& fallback) {
    for (const std::string& line : Lines(LocalisationText(folder + "\\UnrealTournament.int"))) {
        if (ascii::StartsWithNoCase(line, key + "=")) return line.substr(key.size() + 1);
    }
    return fallback;
}

// What the video dialog saves: the game's configuration names the new device.
void WriteRenderDevice(const std::string& iniPath, const std::string& device) {
    const std::string before = ReadWhole(iniPath);
    if (before.empty()) return;
    std::string after;
    bool replaced = false;
    for (const std::string& line : Lines(before)) {
        const bool setting = ascii::StartsWithNoCase(line, "GameRenderDevice=");
        after += (setting ? "GameRenderDevice=" + device : line) + "\r\n";
        replaced = replaced || setting;
    }
    if (!replaced) after += "GameRenderDevice=" + device + "\r\n";
    std::ofstream(iniPath, std::ios::binary | std::ios::trunc) << after;
}

enum Timer : UINT_PTR { kMainDue = 1, kVideoUp, kVideoDone, kRecoveryUp, kRecoveryDone, kRestart, kExit };

struct Game {
    std::string folder;
    Behaviour behaviour;
    std::string product;
    DWORD startTick = 0;
    HWND logWindow = nullptr;
    HWND main = nullptr;
    HWND video = nullptr;
    HWND recovery = nullptr;
    bool mainDue = false;
};
Game game;

constexpr char kClassName[] = "StandinGameWindow";

HWND NewWindow(const std::string& title, int width, int height) {
    return ::CreateWindowExA(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, width,
                             height, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
}

// The launcher starts the game with a hidden show command, which the first
// ShowWindow of a process obeys in place of its own argument. A game takes
// the keyboard when its window comes up.
void Show(HWND window) {
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::SetForegroundWindow(window);
}

// The game gone from the screen, a new process of it with the same command
// line, and this one ended.
void Restart() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::string line = ::GetCommandLineA();
    if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        ::CloseHandle(started.hThread);
        ::CloseHandle(started.hProcess);
    }
}

void Destroy(HWND& window) {
    if (window) ::DestroyWindow(window);
    window = nullptr;
}

// Either dialog takes the main window's place while it is up, as the game
// does: the main window is destroyed and made anew afterwards.
void PlaceMainWindow() {
    const bool wanted = game.mainDue && !game.video && !game.recovery;
    if (wanted && !game.main) {
        game.main = NewWindow(game.product, 640, 480);
        Show(game.main);
    } else if (!wanted) {
        Destroy(game.main);
    }
}

// Times from the start of the process.
void At(Timer timer, std::optional<long> ms) {
    if (!ms) return;
    const long elapsed = static_cast<long>(::GetTickCount() - game.startTick);
    ::SetTimer(game.logWindow, timer, static_cast<UINT>(std::max(0L, *ms - elapsed)), nullptr);
}

// Times from now: under Wine without a window manager, taking a window off
// the screen stalls for seconds, and a dialog's time should not go on that.
void After(Timer timer, long ms) { ::SetTimer(game.logWindow, timer, static_cast<UINT>(std::max(0L, ms)), nullptr); }

// The windows go with the process, which spares the stall of unmapping each.
void End() { ::PostQuitMessage(0); }

void FinishVideoSetup() {
    if (!game.video) return;
    WriteRenderDevice(game.folder + "\\UnrealTournament.ini", game.behaviour.newRenderDevice);
    Destroy(game.video);
    PlaceMainWindow();
}

void FinishRecovery() {
    Destroy(game.recovery);
    PlaceMainWindow();
}

void OnTimer(UINT_PTR timer) {
    ::KillTimer(game.logWindow, timer);
    const Behaviour& b = game.behaviour;
    switch (timer) {
        case kMainDue:
            game.mainDue = true;
            PlaceMainWindow();
            break;
        case kVideoUp:
            game.video = NewWindow(kVideoTitle, 400, 300);
            PlaceMainWindow();
            Show(game.video);
            After(kVideoDone, b.videoSetupMs);
            break;
        case kVideoDone:
            FinishVideoSetup();
            break;
        case kRecoveryUp:
            game.recovery = NewWindow(kRecoveryTitle, 400, 200);
            PlaceMainWindow();
            Show(game.recovery);
            After(kRecoveryDone, b.recoveryMs);
            break;
        case kRecoveryDone:
            FinishRecovery();
            break;
        case kRestart:
            Restart();
            End();
            break;
        case kExit:
            End();
            break;
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        OnTimer(wParam);
        return 0;
    }
    if (message == WM_CLOSE) {
        // Closing a dialog confirms it; closing the game's window ends the game.
        if (window == game.video) {
            FinishVideoSetup();
        } else if (window == game.recovery) {
            FinishRecovery();
        } else {
            End();
        }
        return 0;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        RECT area;
        ::GetClientRect(window, &area);
        char title[256];
        ::GetWindowTextA(window, title, sizeof title);
        ::DrawTextA(dc, title, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::EndPaint(window, &paint);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main() {
    game.startTick = ::GetTickCount();
    game.folder = OwnFolder();
    const std::string logPath = game.folder + "\\" + standin::kLogName;
    const int start = PreviousStarts(logPath) + 1;
    const std::string record = standin::kStart + std::to_string(start) + "\r\n" + standin::kCommandLine +
                               std::string(::GetCommandLineA()) + "\r\n" + RunValueLine() + "\r\n" + standin::kFiles +
                               VisibleConfigFiles(game.folder) + "\r\n" + standin::kRecordEnd + "\r\n";
    if (!AppendRecord(logPath, record)) return 1;

    game.behaviour = ReadBehaviour(game.folder + "\\" + standin::kBehaviourName, start);
    const Behaviour& b = game.behaviour;
    if (b.exitAfterMs == 0) return 0;

    game.product = GeneralValue(game.folder, "Product", "Unreal Tournament");
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    if (!::RegisterClassExA(&windowClass)) return 1;

    // Never shown, as the game's own log window; it also carries the timers.
    game.logWindow = NewWindow(GeneralValue(game.folder, "Run", "Unreal Tournament (Running)"), 320, 240);
    At(kMainDue, b.mainWindowMs);
    At(kVideoUp, b.videoSetupAtMs);
    At(kRecoveryUp, b.recoveryAtMs);
    At(kRestart, b.restartAtMs);
    At(kExit, b.exitAfterMs);

    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}
