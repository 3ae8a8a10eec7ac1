// The user32 calls the launcher and its layer make on windows, with the
// platform's own argument shapes and constants.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window_runtime.h"

namespace brakkis {

namespace win {
inline constexpr WindowHandle kHwndTopmost = -1;
inline constexpr std::uint32_t kSwpNoSize = 0x0001;
inline constexpr std::uint32_t kSwpNoMove = 0x0002;
inline constexpr std::int32_t kGwlStyle = -16;
inline constexpr std::int32_t kGwlExStyle = -20;
inline constexpr std::int32_t kWsExLayered = 0x00080000;
inline constexpr std::int32_t kWsExAppWindow = 0x00040000;
inline constexpr std::uint32_t kLwaColorKey = 1;
inline constexpr std::uint32_t kLwaAlpha = 2;
inline constexpr std::uint32_t kWmNcLButtonDown = 0xA1;
inline constexpr std::intptr_t kHtCaption = 2;
inline constexpr std::int32_t kSwHide = 0;
inline constexpr std::int32_t kSwShow = 5;
}  // namespace win

class WindowCalls {
public:
    virtual ~WindowCalls() = default;
    // A top-level window with this exact title, any letter case, visible or not.
    virtual WindowHandle FindWindowByTitle(const std::string& title) = 0;
    virtual bool SetWindowPos(WindowHandle hwnd, WindowHandle insertAfter, std::int32_t x, std::int32_t y,
                              std::int32_t cx, std::int32_t cy, std::uint32_t flags) = 0;
    virtual std::int32_t GetWindowLong(WindowHandle hwnd, std::int32_t index) = 0;
    virtual std::int32_t SetWindowLong(WindowHandle hwnd, std::int32_t index, std::int32_t value) = 0;
    virtual bool SetLayeredWindowAttributes(WindowHandle hwnd, std::uint32_t key, std::uint8_t alpha,
                                            std::uint32_t flags) = 0;
    virtual std::uint32_t GetSysColor(std::int32_t index) = 0;
    virtual bool ReleaseCapture() = 0;
    virtual std::intptr_t SendMessage(WindowHandle hwnd, std::uint32_t message, std::intptr_t wParam,
                                      std::intptr_t lParam) = 0;
    virtual bool ShowWindow(WindowHandle hwnd, std::int32_t command) = 0;
};

}  // namespace brakkis
