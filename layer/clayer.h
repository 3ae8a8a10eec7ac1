// Layering of a top-level window: a transparent colour key or a uniform
// opacity, dragging by the body, and the taskbar button.
#pragma once

#include <cstdint>

#include "platform/window_calls.h"

namespace brakkis {

class CLayer {
public:
    explicit CLayer(WindowCalls& windows) : windows_(windows) {}

    bool WindowLayered() const { return windowLayered_; }
    float OpacityLevel() const { return opacityLevel_; }

    void MoveWindows(WindowHandle p_hWnd);
    void SetInvisibleColorKey(WindowHandle p_hWnd, std::uint32_t p_color);
    void SetOpacity(WindowHandle p_hWnd, std::uint8_t p_opacity);
    void HideTaskbarWindow(WindowHandle p_hWnd);
    void ShowTaskbarWindow(WindowHandle p_hWnd);

private:
    void MakeLayered(WindowHandle p_hWnd);
    std::uint32_t ResolveSystemColor(std::uint32_t p_color);

    WindowCalls& windows_;
    // Belongs to the object, not to a window: one object serves one window.
    bool windowLayered_ = false;
    float opacityLevel_ = 100.0f;
};

}  // namespace brakkis
