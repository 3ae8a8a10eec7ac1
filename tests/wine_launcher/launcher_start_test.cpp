// The launcher as a player starts it: the real exe under Wine in a scratch
// game folder, beside a stand-in game that records how it was started.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "tests/support/wine_launcher_rig.h"

namespace {

namespace fs = std::filesystem;
using namespace brakkis::wine;

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

class LauncherStart : public LauncherFixture {
protected:
    GameStart StartGameThrough(const std::string& arguments, std::string& folder) {
        folder = NewGameFolder(true);
        const HANDLE launcher = Start(folder, arguments);
        EXPECT_TRUE(WaitUntil([&] { return !GameStarts(folder).empty(); }))
            << "the game was not started for \"" << arguments << "\"";
        EXPECT_EQ(::WaitForSingleObject(launcher, 1000), static_cast<DWORD>(WAIT_TIMEOUT))
            << "the launcher left with the game";
        const std::vector<GameStart> starts = GameStarts(folder);
        return starts.empty() ? GameStart{} : starts.front();
    }
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
