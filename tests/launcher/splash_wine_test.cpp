// The splash as a player sees it: the real exe started on a generated game
// folder, over a desktop of one known colour, read back from the screen while
// the game runs.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32/window_resources.h"
#include "tests/support/real_launcher.h"

namespace brakkis::wine {
namespace {

using win32::ScopedGdiObject;
using win32::ScopedMemoryDc;

constexpr COLORREF kDesktop = RGB(0, 128, 128);  // no colour of the art
constexpr std::uint32_t kDesktopPixel = 0x008080;  // the same as a screenshot holds it

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream file(WindowsPath(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// A full-screen window of one colour, beneath the splash.
class Desktop {
public:
    Desktop() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hbrBackground = ::CreateSolidBrush(kDesktop);  // the class's from here on
        wc.lpszClassName = "BrakkisTestDesktop";
        ::RegisterClassA(&wc);
        hwnd_ = ::CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0,
                                  ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), nullptr,
                                  nullptr, wc.hInstance, nullptr);
        ::UpdateWindow(hwnd_);
    }
    ~Desktop() {
        ::DestroyWindow(hwnd_);
        ::UnregisterClassA("BrakkisTestDesktop", ::GetModuleHandleA(nullptr));
    }

private:
    HWND hwnd_;
};

// The whole screen as 0x00RRGGBB, top row first. CAPTUREBLT: on Windows a
// plain copy from the screen leaves layered windows out.
struct Screenshot {
    int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    std::vector<std::uint32_t> pixels = Take(width, height);

    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }

    static std::vector<std::uint32_t> Take(int width, int height) {
        HDC screen = ::GetDC(nullptr);
        ScopedMemoryDc memory(::CreateCompatibleDC(screen));
        BITMAPINFO format{};
        format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        ScopedGdiObject canvas(::CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
        const HGDIOBJ before = ::SelectObject(memory.Get(), canvas.Get());
        ::BitBlt(memory.Get(), 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT);
        ::GdiFlush();
        std::vector<std::uint32_t> pixels(static_cast<const std::uint32_t*>(bits),
                                          static_cast<const std::uint32_t*>(bits) + width * height);
        ::SelectObject(memory.Get(), before);
        ::ReleaseDC(nullptr, screen);
        for (auto& p : pixels) p &= 0xFFFFFF;
        return pixels;
    }

    // A 24-bit bitmap of one part of the screen; the build makes it the README's PNG.
    void Save(const RECT& part, const std::string& path) const {
        const int w = part.right - part.left, h = part.bottom - part.top, stride = (w * 3 + 3) & ~3;
        std::string file(54 + static_cast<std::size_t>(stride) * h, '\0');
        const auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
            for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<char>(value >> (8 * i));
        };
        file[0] = 'B', file[1] = 'M';
        put(2, static_cast<std::uint32_t>(file.size()), 4), put(10, 54, 4), put(14, 40, 4);
        put(18, w, 4), put(22, h, 4), put(26, 1, 2), put(28, 24, 2);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) put(54 + (h - 1 - y) * stride + 3 * x, At(part.left + x, part.top + y), 3);
        }
        std::ofstream(WindowsPath(path), std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
    }
};

// The committed picture, as 0x00RRGGBB by position from its top-left corner.
struct Picture {
    std::vector<unsigned char> bmp = ReadFile(std::string(BRAKKIS_RESOURCES) + "/splash.bmp");
    std::uint32_t At(int x, int y) const {
        const unsigned char* p = bmp.data() + 54 + (725 - y) * 2820 + 3 * x;
        return p[2] << 16 | p[1] << 8 | p[0];
    }
};

struct WindowSearch {
    DWORD processId;
    HWND found = nullptr;
};

// A named callback: x86's stdcall does not take a lambda's conversion.
BOOL CALLBACK MatchVisibleWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->processId && ::IsWindowVisible(hwnd)) search->found = hwnd;
    return search->found == nullptr;
}

HWND VisibleWindowOf(DWORD processId) {
    WindowSearch search{processId};
    ::EnumWindows(MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

using Splash = RealLauncher;

TEST_F(Splash, KeyedTopmostBorderlessWindowShowsTheArtOverTheDesktopCentred) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, 96) << "the sizes below are those of 96 dpi";
    // Only a run that saw the right screen leaves a picture for the README.
    fs::remove(WindowsPath(BRAKKIS_SPLASH_CAPTURE));
    const Desktop desktop;

    // The stand-in keeps its main window up for a while, as a game does, but
    // opens it late: Wine without a window manager stacks a newly shown
    // window of another process above every other, topmost or not, so the
    // splash is photographed before it comes.
    const fs::path folder = Installation("main_window_ms=10000\r\nexit_after_ms=20000\r\n");
    const DWORD launcher = ::GetProcessId(Start(folder.string(), ""));
    ASSERT_NE(launcher, 0u);

    HWND splash = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (splash = VisibleWindowOf(launcher)) != nullptr; }, 30s));
    // The game has been started once the stand-in has written its record.
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(folder / "standin.log"); }, 30s));
    RECT frame{}, client{};
    ::GetWindowRect(splash, &frame);
    ::GetClientRect(splash, &client);
    EXPECT_EQ(frame.right - frame.left, 623);
    EXPECT_EQ(frame.bottom - frame.top, 710);
    EXPECT_EQ(client.right, 623) << "no frame: the window is its client area";
    EXPECT_EQ(client.bottom, 710);
    EXPECT_NEAR(frame.left + frame.right, ::GetSystemMetrics(SM_CXSCREEN), 1);
    EXPECT_NEAR(frame.top + frame.bottom, ::GetSystemMetrics(SM_CYSCREEN), 1);
    EXPECT_EQ(::GetWindowTextLengthA(splash), 0);
    const LONG style = ::GetWindowLongA(splash, GWL_STYLE), exStyle = ::GetWindowLongA(splash, GWL_EXSTYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), 0);
    EXPECT_TRUE(exStyle & WS_EX_LAYERED);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    // An unowned tool window without the app-window style gets no taskbar button.
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
    EXPECT_EQ(::GetWindow(splash, GW_OWNER), nullptr);
    COLORREF key = 0;
    DWORD flags = 0;
    EXPECT_TRUE(::GetLayeredWindowAttributes(splash, &key, nullptr, &flags));
    EXPECT_EQ(key, RGB(255, 0, 255));
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY));

    // Every pixel of the window: the picture's own where it has art, the
    // desktop's where it is magenta. The lowest rows of the picture lie
    // below the window.
    const Picture picture;
    ASSERT_EQ(picture.bmp.size(), 2047374u);
    const auto expected = [&](int x, int y) {
        const std::uint32_t p = picture.At(x, y);
        return p == 0xFF00FF ? kDesktopPixel : p;
    };
    long wrong = 0;
    POINT first{};
    Screenshot shot;
    const auto shows = [&] {
        shot = Screenshot{};
        wrong = 0;
        for (int y = 0; y < 710; ++y) {
            for (int x = 0; x < 623; ++x) {
                if (shot.At(frame.left + x, frame.top + y) != expected(x, y) && wrong++ == 0) first = {x, y};
            }
        }
        return wrong == 0;
    };
    EXPECT_TRUE(WaitUntil(shows, 10s)) << wrong << " pixels differ, the first at " << first.x << ", " << first.y;
    EXPECT_EQ(shot.At(frame.left + 20, frame.top + 20), kDesktopPixel) << "the key shows the desktop";
    EXPECT_EQ(shot.At(frame.left + 325, frame.top + 232), picture.At(325, 232)) << "the emblem's star";
    EXPECT_NE(picture.At(325, 232), 0xFF00FFu);

    if (wrong == 0) {
        RECT around = frame;
        ::InflateRect(&around, 40, 40);
        const RECT whole{0, 0, shot.width, shot.height};
        ::IntersectRect(&around, &around, &whole);
        shot.Save(around, BRAKKIS_SPLASH_CAPTURE);
    }
}

// What Explorer and the loader read from the exe: both images as committed,
// the version, and a manifest that asks for no elevation.
TEST_F(Splash, ExeCarriesTheImagesTheVersionAndTheManifest) {
    const std::string exe = WindowsPath(BRAKKIS_LAUNCHER_EXE);
    const HMODULE module = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const auto resource = [&](LPCSTR type, int id) {
        const HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
        const auto* data = found ? static_cast<const unsigned char*>(::LockResource(::LoadResource(module, found)))
                                 : nullptr;
        return data ? std::vector<unsigned char>(data, data + ::SizeofResource(module, found))
                    : std::vector<unsigned char>{};
    };

    const auto bmp = ReadFile(std::string(BRAKKIS_RESOURCES) + "/splash.bmp");
    EXPECT_TRUE(resource(RT_BITMAP, BRAKKIS_SPLASH_BITMAP) == std::vector(bmp.begin() + 14, bmp.end()));
    const auto ico = ReadFile(std::string(BRAKKIS_RESOURCES) + "/brakkis.ico");
    const auto group = resource(RT_GROUP_ICON, BRAKKIS_WINDOW_ICON);
    ASSERT_EQ(group.size(), 6u + 14u) << "one image";
    EXPECT_EQ(group[6], 148);
    EXPECT_EQ(group[12], 24);
    EXPECT_TRUE(resource(RT_ICON, group[18] | group[19] << 8) == std::vector(ico.begin() + 22, ico.end()));

    const auto manifest = resource(RT_MANIFEST, 1);
    const std::string text(manifest.begin(), manifest.end());
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(text.find("<dpiAware"), std::string::npos);
    ::FreeLibrary(module);

    std::vector<char> info(::GetFileVersionInfoSizeA(exe.c_str(), nullptr));
    ASSERT_TRUE(::GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    char* product = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(BRAKKIS_VERSION_MAJOR << 16 | BRAKKIS_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(BRAKKIS_VERSION_PATCH << 16));
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\StringFileInfo\\040904E4\\ProductName",
                                 reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, "Brakkis Isle");
}

}  // namespace
}  // namespace brakkis::wine
