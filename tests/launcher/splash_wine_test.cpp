// The splash as a player sees it, read back from the screen over a desktop
// of one known colour while the game starts, and what the exe carries.
#include "platform/win32/win32_window_runtime.h"
#include "platform/win32/window_resources.h"
#include "tests/support/real_launcher.h"
#include "tools/demo/screen_capture.h"

namespace brakkis::wine {
namespace {

constexpr std::uint32_t kDesktop = 0x008080;  // no colour of the art, as a screenshot holds it

std::string Art(const char* name) { return ReadWhole(WindowsPath(std::string(BRAKKIS_RESOURCES) + "/" + name)); }

TEST_F(RealLauncher, TheSplashIsAKeyedTopmostBorderlessWindowShowingTheArtOverTheDesktopCentred) {
    HDC dc = ::GetDC(nullptr);
    ASSERT_EQ(::GetDeviceCaps(dc, LOGPIXELSX), 96) << "the sizes below are those of 96 dpi";
    ::ReleaseDC(nullptr, dc);
    fs::remove(WindowsPath(BRAKKIS_SPLASH_CAPTURE));  // only a run that saw the right screen leaves a picture
    const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    WNDCLASSA desktopClass{};
    desktopClass.lpfnWndProc = ::DefWindowProcA;
    desktopClass.hInstance = ::GetModuleHandleA(nullptr);
    desktopClass.hbrBackground = ::CreateSolidBrush(RGB(0, 128, 128));  // the class's from here on
    desktopClass.lpszClassName = "BrakkisTestDesktop";
    ::RegisterClassA(&desktopClass);
    const HWND desktop = ::CreateWindowExA(WS_EX_TOOLWINDOW, desktopClass.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0,
                                           0, width, height, nullptr, nullptr, desktopClass.hInstance, nullptr);
    ::UpdateWindow(desktop);
    // The game opens its window late: Wine without a window manager stacks a
    // newly shown window of another process above every other, topmost or not.
    const std::string folder = Installation("main_window_ms=10000\r\nexit_after_ms=20000\r\n");
    Start(folder, "");
    HWND splash = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(splash = ::FindWindowA(kSplashClassName, nullptr)); }));
    ASSERT_TRUE(WaitUntil([&] { return !standin::GameStarts(folder).empty(); }));

    RECT frame{}, client{};
    ::GetWindowRect(splash, &frame), ::GetClientRect(splash, &client);
    EXPECT_EQ(std::vector<LONG>({frame.right - frame.left, frame.bottom - frame.top, client.right, client.bottom}),
              std::vector<LONG>({623, 710, 623, 710}));
    EXPECT_NEAR(frame.left + frame.right, width, 1);
    EXPECT_NEAR(frame.top + frame.bottom, height, 1);
    EXPECT_EQ(::GetWindowTextLengthA(splash), 0);
    EXPECT_EQ(::GetWindow(splash, GW_OWNER), nullptr);
    // An unowned tool window without the app-window style gets no taskbar button.
    EXPECT_EQ(
        ::GetWindowLongA(splash, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_APPWINDOW),
        WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    // Every pixel of the window: the picture's own where it has art, the
    // desktop's where the picture is magenta, so the frame has no border and
    // the colour key is in force.
    const std::string bmp = Art("splash.bmp");
    const auto picture = [&](int x, int y) {
        const auto* p = reinterpret_cast<const unsigned char*>(bmp.data()) + 54 + (725 - y) * 2820 + 3 * x;
        const std::uint32_t colour = p[2] << 16 | p[1] << 8 | p[0];
        return colour == 0xFF00FF ? kDesktop : colour;
    };
    RECT around = frame, whole{0, 0, width, height};
    ::InflateRect(&around, 40, 40), ::IntersectRect(&around, &around, &whole);
    const int aroundWidth = around.right - around.left;
    std::vector<std::uint32_t> shot;
    long wrong = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
            shot = screen::Capture(around), wrong = 0;
            for (int y = 0; y < 710; ++y) {
                for (int x = 0; x < 623; ++x) {
                    wrong += shot[(frame.top - around.top + y) * aroundWidth + frame.left - around.left + x] !=
                             picture(x, y);
                }
            }
            return wrong == 0;
        },
        10s))
        << wrong << " pixels differ";
    if (wrong == 0) screen::Save(shot, aroundWidth, WindowsPath(BRAKKIS_SPLASH_CAPTURE));
    ::DestroyWindow(desktop);
}

// What Explorer and the loader read from the exe: both images as committed,
// the version, and a manifest that asks for no elevation.
TEST(TheExe, CarriesTheImagesTheVersionAndTheManifest) {
    const std::string exe = WindowsPath(BRAKKIS_LAUNCHER_EXE);
    const HMODULE module = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const auto resource = [&](LPCSTR type, int id) {
        const HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
        const char* data = found ? static_cast<const char*>(::LockResource(::LoadResource(module, found))) : nullptr;
        return data ? std::string(data, ::SizeofResource(module, found)) : std::string();
    };
    const std::string bmp = Art("splash.bmp"), ico = Art("brakkis.ico");
    EXPECT_TRUE(resource(RT_BITMAP, BRAKKIS_SPLASH_BITMAP) == bmp.substr(14));
    const std::string group = resource(RT_GROUP_ICON, BRAKKIS_WINDOW_ICON);
    ASSERT_EQ(group.size(), 6u + 14u) << "one image";
    EXPECT_TRUE(resource(RT_ICON, static_cast<unsigned char>(group[18])) == ico.substr(22));
    const std::string manifest = resource(RT_MANIFEST, 1);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
    ::FreeLibrary(module);

    std::string info(::GetFileVersionInfoSizeA(exe.c_str(), nullptr), '\0');
    ::GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data());
    const auto text = [&](const std::string& name) {
        char* value = nullptr;
        UINT length = 0;
        ::VerQueryValueA(info.data(), ("\\StringFileInfo\\040904E4\\" + name).c_str(), reinterpret_cast<void**>(&value),
                         &length);
        return std::string(value ? value : "");
    };
    EXPECT_EQ(text("ProductName") + " " + text("ProductVersion"), "Brakkis Isle " BRAKKIS_VERSION ".0");
}

}  // namespace
}  // namespace brakkis::wine
