#include "platform/win32/win32_window_calls.h"

#include "platform/win32/windows_api.h"

namespace brakkis {
namespace {

HWND ToHwnd(WindowHandle handle) { return reinterpret_cast<HWND>(handle); }

class Win32WindowCalls final : public WindowCalls {
public:
    WindowHandle FindWindowByTitle(const std::string& title) override {
        return reinterpret_cast<WindowHandle>(::FindWindowA(nullptr, title.c_str()));
    }

    bool SetWindowPos(WindowHandle hwnd, WindowHandle insertAfter, std::int32_t x, std::int32_t y, std::int32_t cx,
                      std::int32_t cy, std::uint32_t flags) override {
        return ::SetWindowPos(ToHwnd(hwnd), ToHwnd(insertAfter), x, y, cx, cy, flags) != FALSE;
    }

    std::int32_t GetWindowLong(WindowHandle hwnd, std::int32_t index) override {
        return ::GetWindowLongA(ToHwnd(hwnd), index);
    }

    std::int32_t SetWindowLong(WindowHandle hwnd, std::int32_t index, std::int32_t value) override {
        return ::SetWindowLongA(ToHwnd(hwnd), index, value);
    }

    bool SetLayeredWindowAttributes(WindowHandle hwnd, std::uint32_t key, std::uint8_t alpha,
                                    std::uint32_t flags) override {
        return ::SetLayeredWindowAttributes(ToHwnd(hwnd), key, alpha, flags) != FALSE;
    }

    std::uint32_t GetSysColor(std::int32_t index) override { return ::GetSysColor(index); }

    bool ReleaseCapture() override { return ::ReleaseCapture() != FALSE; }

    std::intptr_t SendMessage(WindowHandle hwnd, std::uint32_t message, std::intptr_t wParam,
                              std::intptr_t lParam) override {
        return ::SendMessageA(ToHwnd(hwnd), message, static_cast<WPARAM>(wParam), lParam);
    }

    bool ShowWindow(WindowHandle hwnd, std::int32_t command) override {
        return ::ShowWindow(ToHwnd(hwnd), command) != FALSE;
    }
};

}  // namespace

std::unique_ptr<WindowCalls> CreateWin32WindowCalls() { return std::make_unique<Win32WindowCalls>(); }

}  // namespace brakkis
