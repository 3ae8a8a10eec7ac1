// The launcher as a player starts it: the real exe under Wine in a scratch
// game folder, beside a stand-in game that records how it was started.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "tools/standin-game/standin_log.h"

namespace {

using namespace std::chrono_literals;
using brakkis::win32::ScopedKernelHandle;
namespace fs = std::filesystem;
namespace standin = brakkis::standin;

constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// The build names its outputs by Unix paths; Wine shows the Unix root as Z:.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path.insert(0, "Z:");
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

bool WaitUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

std::optional<std::string> RunValue() {
    char data[2048];
    DWORD size = sizeof data;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, kRunKey, "Brakkis", RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(data);
}

void DeleteRunValue() { ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "Brakkis"); }

struct GameStart {
    std::string commandLine;
    std::optional<std::string> runValue;
};

std::optional<GameStart> FirstGameStart(const std::string& folder) {
    std::ifstream log(folder + "\\" + standin::kLogName, std::ios::binary);
    GameStart start;
    const auto after = [](const std::string& line, const char* key) {
        return line.rfind(key, 0) == 0 ? std::optional(line.substr(std::strlen(key))) : std::nullopt;
    };
    for (std::string line; std::getline(log, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (auto command = after(line, standin::kCommandLine)) start.commandLine = *command;
        if (auto value = after(line, standin::kRunValue)) start.runValue = *value;
        if (line == standin::kRecordEnd) return start;
    }
    return std::nullopt;
}

// Icon handles do not cross processes (under Wine not even for a stock
// icon), so the box's icon is compared as shown: its control's pixels on the
// screen against the stock icon drawn over the same background.
class ScreenPixels {
public:
    ScreenPixels() : screen_(::GetDC(nullptr)), memory_(::CreateCompatibleDC(screen_)) {}
    ~ScreenPixels() {
        ::DeleteDC(memory_);
        ::ReleaseDC(nullptr, screen_);
    }

    bool ShowsStockIcon(HWND box, LPCSTR stockIcon) {
        HWND control = ::GetWindow(box, GW_CHILD);
        while (control && (::GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            control = ::GetWindow(control, GW_HWNDNEXT);
        }
        RECT area{};
        if (!control || !::GetWindowRect(control, &area)) return false;
        const int width = area.right - area.left, height = area.bottom - area.top;
        brakkis::win32::ScopedGdiObject canvas(::CreateCompatibleBitmap(screen_, width, height));
        HGDIOBJ before = ::SelectObject(memory_, canvas.Get());
        ::BitBlt(memory_, 0, 0, width, height, screen_, area.left, area.top, SRCCOPY);
        const COLORREF backdrop = ::GetPixel(memory_, 0, 0);
        ::SelectObject(memory_, before);  // a bitmap is read only while no DC holds it
        const std::vector<std::uint32_t> shown = Pixels(canvas.Get(), width, height);

        before = ::SelectObject(memory_, canvas.Get());
        const RECT whole{0, 0, width, height};
        brakkis::win32::ScopedGdiObject brush(::CreateSolidBrush(backdrop));
        ::FillRect(memory_, &whole, static_cast<HBRUSH>(brush.Get()));
        ::DrawIconEx(memory_, 0, 0, ::LoadIconA(nullptr, stockIcon), width, height, 0, nullptr, DI_NORMAL);
        ::SelectObject(memory_, before);
        return !shown.empty() && shown == Pixels(canvas.Get(), width, height);
    }

private:
    std::vector<std::uint32_t> Pixels(HGDIOBJ bitmap, int width, int height) {
        BITMAPINFO format{};
        format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
        ::GetDIBits(memory_, static_cast<HBITMAP>(bitmap), 0, height, pixels.data(), &format, DIB_RGB_COLORS);
        return pixels;
    }

    HDC screen_;
    HDC memory_;
};

class LauncherStart : public ::testing::Test {
protected:
    void SetUp() override { DeleteRunValue(); }

    void TearDown() override {
        // The launcher stays resident after the game: only its watch would end it.
        for (const auto& launcher : launchers_) {
            if (::WaitForSingleObject(launcher.Get(), 0) == WAIT_TIMEOUT) ::TerminateProcess(launcher.Get(), 1);
            ::WaitForSingleObject(launcher.Get(), 10000);
        }
        DeleteRunValue();
        std::error_code ignored;
        for (const auto& folder : folders_) fs::remove_all(folder, ignored);
    }

    // A blank in the folder's name, as under "Program Files": the game's path
    // must come quoted, the recovery value unquoted.
    std::string NewGameFolder(bool withGame) {
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        ::GetLongPathNameA(temp, temp, MAX_PATH);
        const std::string folder = std::string(temp) + "Brakkis Game " + std::to_string(::GetCurrentProcessId()) +
                                   "-" + std::to_string(folders_.size());
        fs::create_directories(folder);
        folders_.push_back(folder);
        fs::copy_file(WindowsPath(BRAKKIS_LAUNCHER_EXE), folder + "\\Brakkis Isle.exe");
        if (withGame) fs::copy_file(WindowsPath(BRAKKIS_STANDIN_EXE), folder + "\\UnrealTournament.exe");
        return folder;
    }

    HANDLE Start(const std::string& folder, const std::string& arguments) {
        const std::string exe = folder + "\\Brakkis Isle.exe";
        std::string line = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        EXPECT_TRUE(::CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                     &startup, &started));
        ScopedKernelHandle thread(started.hThread);
        launchers_.emplace_back(started.hProcess);
        return started.hProcess;
    }

    GameStart StartGameThrough(const std::string& arguments, std::string& folder) {
        folder = NewGameFolder(true);
        const HANDLE launcher = Start(folder, arguments);
        std::optional<GameStart> start;
        EXPECT_TRUE(WaitUntil([&] { return (start = FirstGameStart(folder)).has_value(); }))
            << "the game was not started for \"" << arguments << "\"";
        EXPECT_EQ(::WaitForSingleObject(launcher, 1000), static_cast<DWORD>(WAIT_TIMEOUT))
            << "the launcher left with the game";
        return start.value_or(GameStart{});
    }

    std::vector<std::string> folders_;
    std::vector<ScopedKernelHandle> launchers_;
};

TEST_F(LauncherStart, WithoutArgumentsTheGameOpensTheEntryMapWithRecoveryAlreadyRegistered) {
    std::string folder;
    const GameStart start = StartGameThrough("", folder);
    EXPECT_EQ(start.commandLine, "\"" + folder +
                                     "\\unrealtournament.exe\" BrakkisEntry.unr INT=Brakkis.int INI=Brakkis.ini  "
                                     "USERINI=DefUser.ini LOG=Brakkis.log");
    EXPECT_EQ(start.runValue, folder + "\\Brakkis Isle.exe /silent");
}

TEST_F(LauncherStart, ArgumentsFollowTheGamesClosingQuoteUnchanged) {
    for (const std::string arguments : {"DM-Deck16", "/silent extra"}) {
        std::string folder;
        const GameStart start = StartGameThrough(arguments, folder);
        EXPECT_EQ(start.commandLine, "\"" + folder + "\\unrealtournament.exe\"" + arguments +
                                         " INT=Brakkis.int INI=Brakkis.ini  USERINI=BrakkisUser.ini LOG=Brakkis.log");
    }
}

TEST_F(LauncherStart, MissingGameIsReportedWithAStopBoxAndNothingIsTouched) {
    const std::string folder = NewGameFolder(false);
    const HANDLE launcher = Start(folder, "");
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = ::FindWindowA("#32770", "Error to stat Brakkis Isle")) != nullptr; }));
    char text[512] = {};
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_STREQ(text, "Can't find the UnrealTournament Executable. Make sure this game is installed in folder's UT.");
    ScreenPixels screen;
    EXPECT_TRUE(WaitUntil([&] { return screen.ShowsStockIcon(box, reinterpret_cast<LPCSTR>(IDI_HAND)); }));

    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(::WaitForSingleObject(launcher, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_FALSE(fs::exists(folder + "\\Brakkis_Temp"));
    EXPECT_EQ(RunValue(), std::nullopt);
}

}  // namespace
