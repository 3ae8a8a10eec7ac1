// The window runtime: the one window of the program, its message loop and the
// facts about the running program that a window owner needs.
#pragma once

#include <cstdint>
#include <string>

namespace brakkis {

using WindowHandle = std::intptr_t;

// What the runtime calls on the window it hosts.
class FormEvents {
public:
    virtual ~FormEvents() = default;
    virtual void OnLoad() = 0;
    virtual void OnUnload() = 0;
    virtual void OnTick() = 0;  // the 100 ms timer
};

class WindowRuntime {
public:
    virtual ~WindowRuntime() = default;
    // The command line without the program name and the blanks after it.
    virtual std::string CommandLine() = 0;
    // The program's own folder, without a trailing backslash.
    virtual std::string AppPath() = 0;
    // The program's file name without its extension.
    virtual std::string ExeName() = 0;
    virtual std::int32_t MsgBox(const std::string& text, std::int32_t style, const std::string& title) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool Visible() = 0;
    virtual WindowHandle Hwnd() = 0;
    // Runs the unload handler at once; the program ends once the window is gone.
    virtual void Unload() = 0;
};

// Blocks the thread; no timer tick runs meanwhile, and none is made up after.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

}  // namespace brakkis
