#include "enumwindows/cwindow.h"

#include "platform/window_calls.h"

namespace brakkis {

void CWindow::SetHwnd(WindowHandle handle, WindowEnumCalls& windows) {
    hwnd_ = handle;
    Style = static_cast<std::int32_t>(windows.GetWindowLongPtr(hwnd_, win::kGwlStyle));
    ExStyle = static_cast<std::int32_t>(windows.GetWindowLongPtr(hwnd_, win::kGwlExStyle));
    WindowRect rect;
    windows.GetWindowRect(hwnd(), rect);
    Top = rect.top;
    Left = rect.left;
    Bottom = rect.bottom;
    Right = rect.right;
}

}  // namespace brakkis
