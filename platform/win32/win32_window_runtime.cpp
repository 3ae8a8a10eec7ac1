#include "platform/win32/win32_window_runtime.h"

#include <utility>

#include "platform/win32/program_arguments.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/window_resources.h"
#include "platform/win32/windows_api.h"

namespace brakkis {
namespace {

constexpr const char* kClassName = kSplashClassName;
constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchIntervalMs = 100;
constexpr COLORREF kKeyColour = 0x00FF00FF;  // magenta: the colour start-up keys out

// The client size is designed in twips, so the window grows with the
// display's DPI while the picture keeps its pixel size.
constexpr int kClientWidthTwips = 9345;
constexpr int kClientHeightTwips = 10650;
constexpr int kTwipsPerInch = 1440;

// An error must never unwind through the system's frames of a window
// procedure or message loop; the form's handlers own their error policy, and
// a tick that fails leaves the watch to the next tick.
template <class F>
void Guarded(F&& handler) noexcept {
    try {
        std::forward<F>(handler)();
    } catch (...) {
    }
}

class ScreenDc {
public:
    ScreenDc() : dc_(::GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ::ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

int SystemDpi() {
    ScreenDc screen;
    const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : 96;
}

POINT CentredOrigin(int width, int height) {
    return {(::GetSystemMetrics(SM_CXSCREEN) - width) / 2, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2};
}

win32::ScopedIcon LoadWindowIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    return win32::ScopedIcon(
        static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(BRAKKIS_WINDOW_ICON), IMAGE_ICON,
                                        ::GetSystemMetrics(widthMetric), ::GetSystemMetrics(heightMetric), 0)));
}

// The picture's own pixel size, whatever the client's: it is never scaled.
void PaintPicture(HDC target, HBITMAP picture) {
    BITMAP size{};
    if (!::GetObjectA(picture, sizeof size, &size)) return;
    win32::ScopedMemoryDc source(::CreateCompatibleDC(target));
    if (!source) return;
    const HGDIOBJ before = ::SelectObject(source.Get(), picture);
    ::BitBlt(target, 0, 0, size.bmWidth, size.bmHeight, source.Get(), 0, 0, SRCCOPY);
    ::SelectObject(source.Get(), before);
}

std::string ModulePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

struct Win32WindowRuntime::Window {
    FormEvents* form = nullptr;  // set only while Run hosts a form
    HWND hwnd = nullptr;
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    ATOM windowClass = 0;
    bool unloaded = false;
    bool shownOnce = false;
    // Members go after the destructor's body, so after the window and its
    // class that use them.
    win32::ScopedIcon icon = LoadWindowIcon(instance, SM_CXICON, SM_CYICON);
    win32::ScopedIcon smallIcon = LoadWindowIcon(instance, SM_CXSMICON, SM_CYSMICON);
    // A DIB section keeps the picture's exact colours on any display depth,
    // so the key colour still matches the magenta of the picture.
    win32::ScopedGdiObject picture{
        ::LoadImageA(instance, MAKEINTRESOURCEA(BRAKKIS_SPLASH_BITMAP), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)};

    ~Window() {
        form = nullptr;  // a window torn down with the runtime is not an unload
        if (hwnd) ::DestroyWindow(hwnd);
        if (windowClass) ::UnregisterClassA(kClassName, instance);
    }

    bool RegisterWindowClass() {
        win32::ScopedGdiObject background(::CreateSolidBrush(kKeyColour));
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &Window::Procedure;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hIcon = icon.Get();
        wc.hIconSm = smallIcon.Get();
        wc.hbrBackground = static_cast<HBRUSH>(background.Get());
        wc.lpszClassName = kClassName;
        windowClass = ::RegisterClassExA(&wc);
        // A registered class deletes its background brush when it is
        // unregistered; from here on the brush is the class's.
        if (windowClass) background.Release();
        return windowClass != 0;
    }

    bool Create() {
        if (!RegisterWindowClass()) return false;
        const DWORD style = WS_POPUP;
        // A tool window gets no taskbar button, whatever mode the program runs in.
        const DWORD exStyle = WS_EX_TOOLWINDOW;
        const int dpi = SystemDpi();
        RECT frame{0, 0, ::MulDiv(kClientWidthTwips, dpi, kTwipsPerInch),
                   ::MulDiv(kClientHeightTwips, dpi, kTwipsPerInch)};
        ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        const POINT origin = CentredOrigin(width, height);
        // The empty title keeps the launcher out of every search for the
        // game's windows by title.
        hwnd = ::CreateWindowExA(exStyle, kClassName, "", style, origin.x, origin.y, width, height, nullptr, nullptr,
                                 instance, this);
        return hwnd != nullptr;
    }

    void Unload() {
        if (unloaded) return;
        unloaded = true;
        if (form) Guarded([&] { form->OnUnload(); });
        if (hwnd) ::DestroyWindow(hwnd);
    }

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_TIMER:
                // Ticks may arrive nested, inside a message box or a waiting Run
                // that a tick or the load handler is in; the form expects that.
                if (wParam == kWatchTimer && form && !unloaded) Guarded([&] { form->OnTick(); });
                return 0;
            case WM_PAINT: {
                PAINTSTRUCT ps;
                const HDC dc = ::BeginPaint(hwnd, &ps);
                // Where the picture does not reach (a client grown by a high
                // DPI), the class brush's magenta shows, which the key hides too.
                if (dc && picture) PaintPicture(dc, static_cast<HBITMAP>(picture.Get()));
                ::EndPaint(hwnd, &ps);
                return 0;
            }
            case WM_WINDOWPOSCHANGING: {
                // The splash opens centred, as designed: start-up's placement
                // call is there to make it topmost and also moves it to the
                // corner, so the design position is applied when the window is
                // first shown, after that call. Later shows keep the position.
                auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
                if ((pos->flags & SWP_SHOWWINDOW) && !shownOnce) {
                    shownOnce = true;
                    RECT frame{};
                    ::GetWindowRect(hwnd, &frame);
                    const int width = (pos->flags & SWP_NOSIZE) ? frame.right - frame.left : pos->cx;
                    const int height = (pos->flags & SWP_NOSIZE) ? frame.bottom - frame.top : pos->cy;
                    const POINT origin = CentredOrigin(width, height);
                    pos->x = origin.x;
                    pos->y = origin.y;
                    pos->flags &= ~SWP_NOMOVE;
                }
                return ::DefWindowProcA(hwnd, message, wParam, lParam);
            }
            case WM_CLOSE:
                Unload();
                return 0;
            case WM_QUERYENDSESSION:
                return TRUE;
            case WM_ENDSESSION:
                // The process may be ended as soon as this returns, so the
                // player's files are put back now, not on a later message.
                if (wParam) Unload();
                return 0;
            case WM_DESTROY:
                ::KillTimer(hwnd, kWatchTimer);
                if (form) ::PostQuitMessage(0);
                return 0;
            case WM_NCDESTROY: {
                const LRESULT result = ::DefWindowProcA(hwnd, message, wParam, lParam);
                ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
                hwnd = nullptr;
                return result;
            }
            default:
                return ::DefWindowProcA(hwnd, message, wParam, lParam);
        }
    }

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
            self->hwnd = hwnd;
            ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        return self ? self->Handle(message, wParam, lParam) : ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
};

Win32WindowRuntime::Win32WindowRuntime() : window_(std::make_unique<Window>()) {}
Win32WindowRuntime::~Win32WindowRuntime() = default;

std::int32_t Win32WindowRuntime::Run(FormEvents& form) {
    Window& w = *window_;
    if (w.windowClass || w.unloaded) return 1;  // one window per runtime
    if (!w.Create()) return 1;
    // Without the watch the game's files would never be put back, so a
    // window without its timer is no window.
    if (!::SetTimer(w.hwnd, kWatchTimer, kWatchIntervalMs, nullptr)) {
        ::DestroyWindow(w.hwnd);
        return 1;
    }
    w.form = &form;
    Guarded([&] { form.OnLoad(); });

    MSG msg{};
    BOOL got;
    while ((got = ::GetMessageA(&msg, nullptr, 0, 0)) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    w.form = nullptr;
    return got == 0 ? static_cast<std::int32_t>(msg.wParam) : 1;
}

std::string Win32WindowRuntime::CommandLine() {
    return std::string(ArgumentsAfterProgramName(::GetCommandLineA(), ModulePath()));
}

std::string Win32WindowRuntime::AppPath() {
    const std::string path = ModulePath();
    const auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Win32WindowRuntime::ExeName() {
    const std::string path = ModulePath();
    std::string name = path.substr(path.find_last_of('\\') + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::int32_t Win32WindowRuntime::MsgBox(const std::string& text, std::int32_t style, const std::string& title) {
    // Owned by the splash, the box stays above it even while it is topmost.
    const std::string caption = title.empty() ? ExeName() : title;
    return ::MessageBoxA(window_->hwnd, text.c_str(), caption.c_str(), static_cast<UINT>(style));
}

void Win32WindowRuntime::SetVisible(bool visible) {
    // Shown without being activated: the splash stays on top of the game
    // but never takes the keyboard from it.
    if (window_->hwnd) ::ShowWindow(window_->hwnd, visible ? SW_SHOWNA : SW_HIDE);
}

bool Win32WindowRuntime::Visible() { return window_->hwnd && ::IsWindowVisible(window_->hwnd); }

WindowHandle Win32WindowRuntime::Hwnd() { return reinterpret_cast<WindowHandle>(window_->hwnd); }

void Win32WindowRuntime::Unload() { window_->Unload(); }

void Win32Sleeper::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace brakkis
