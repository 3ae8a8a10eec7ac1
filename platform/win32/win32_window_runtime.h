// The real window runtime: the splash window, its 100 ms timer and the
// program's message loop, on the one thread of the program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/window_runtime.h"

namespace brakkis {

// The splash window's class, by which other launchers find it.
inline constexpr char kSplashClassName[] = "BrakkisIsleSplash";

class Win32WindowRuntime final : public WindowRuntime {
public:
    Win32WindowRuntime();
    ~Win32WindowRuntime() override;
    Win32WindowRuntime(const Win32WindowRuntime&) = delete;
    Win32WindowRuntime& operator=(const Win32WindowRuntime&) = delete;

    // Creates the hidden window, starts the timer, calls form.OnLoad() and
    // then services messages until the window is gone. Returns the exit
    // code; non-zero when the window could not be made at all, in which case
    // the form is never loaded.
    std::int32_t Run(FormEvents& form);

    std::string CommandLine() override;
    std::string AppPath() override;
    std::string ExeName() override;
    std::int32_t MsgBox(const std::string& text, std::int32_t style, const std::string& title) override;
    void SetVisible(bool visible) override;
    bool Visible() override;
    WindowHandle Hwnd() override;
    void Unload() override;

private:
    struct Window;
    std::unique_ptr<Window> window_;
};

class Win32Sleeper final : public Sleeper {
public:
    void Sleep(std::uint32_t milliseconds) override;
};

}  // namespace brakkis
