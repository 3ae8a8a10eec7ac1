#include "layer/clayer.h"

#include <cmath>

namespace brakkis {
namespace {

void SetAppWindowStyle(WindowCalls& windows, WindowHandle p_hWnd, bool on) {
    // The shell only re-reads the taskbar style when the window is shown anew.
    windows.ShowWindow(p_hWnd, win::kSwHide);
    const std::int32_t style = windows.GetWindowLong(p_hWnd, win::kGwlExStyle);
    windows.SetWindowLong(p_hWnd, win::kGwlExStyle,
                          on ? (style | win::kWsExAppWindow) : (style & ~win::kWsExAppWindow));
    windows.ShowWindow(p_hWnd, win::kSwShow);
}

}  // namespace

void CLayer::MakeLayered(WindowHandle p_hWnd) {
    const std::int32_t style = windows_.GetWindowLong(p_hWnd, win::kGwlExStyle);
    windows_.SetWindowLong(p_hWnd, win::kGwlExStyle, style | win::kWsExLayered);
    // Set whether or not the style took: the flag says this object has layered
    // its window, and a second try on a bad handle would fare no better.
    windowLayered_ = true;
}

std::uint32_t CLayer::ResolveSystemColor(std::uint32_t p_color) {
    if ((p_color >> 24) == 0x80) return windows_.GetSysColor(static_cast<std::int32_t>(p_color & 0xFF));
    return p_color;
}

void CLayer::SetInvisibleColorKey(WindowHandle p_hWnd, std::uint32_t p_color) {
    if (!windowLayered_) MakeLayered(p_hWnd);
    windows_.SetLayeredWindowAttributes(p_hWnd, ResolveSystemColor(p_color), 0, win::kLwaColorKey);
}

void CLayer::SetOpacity(WindowHandle p_hWnd, std::uint8_t p_opacity) {
    if (!windowLayered_) MakeLayered(p_hWnd);
    const float percent = static_cast<float>(p_opacity) / 255.0f * 100.0f;
    opacityLevel_ = std::round(percent * 100.0f) / 100.0f;
    windows_.SetLayeredWindowAttributes(p_hWnd, 0, p_opacity, win::kLwaAlpha);
}

void CLayer::MoveWindows(WindowHandle p_hWnd) {
    windows_.ReleaseCapture();
    windows_.SendMessage(p_hWnd, win::kWmNcLButtonDown, win::kHtCaption, 0);
}

void CLayer::HideTaskbarWindow(WindowHandle p_hWnd) { SetAppWindowStyle(windows_, p_hWnd, false); }
void CLayer::ShowTaskbarWindow(WindowHandle p_hWnd) { SetAppWindowStyle(windows_, p_hWnd, true); }

}  // namespace brakkis
