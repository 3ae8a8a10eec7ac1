// One window, filed under the thread and process that own it. The upward
// links do not keep their targets alive, so the tree can be released whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "enumwindows/keyed_collection.h"
#include "platform/window_enum_calls.h"

namespace brakkis {

struct CProcess;
struct CThread;

class CWindow {
public:
    std::string Key;
    std::weak_ptr<CProcess> ParentProcess;
    std::weak_ptr<CThread> ParentThread;
    std::weak_ptr<CWindow> ParentWindow;  // none for a top-level window
    std::int32_t ProcessID = 0;
    std::int32_t ThreadID = 0;
    std::string Caption;
    std::string Class;
    std::intptr_t hModule = 0;  // the instance handle stored with the window
    std::string FileName;
    std::string BaseName;
    KeyedCollection<CWindow> ChildWindows;
    std::int32_t Style = 0;
    std::int32_t ExStyle = 0;
    std::int32_t Top = 0;
    std::int32_t Left = 0;
    std::int32_t Bottom = 0;
    std::int32_t Right = 0;

    WindowHandle hwnd() const noexcept { return hwnd_; }
    // Stores the handle and takes a snapshot of the window's styles and
    // rectangle; nothing refreshes them later. A handle that names no
    // window leaves all six at 0.
    void SetHwnd(WindowHandle handle, WindowEnumCalls& windows);

private:
    WindowHandle hwnd_ = 0;
};

}  // namespace brakkis
