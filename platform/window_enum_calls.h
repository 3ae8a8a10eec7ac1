// The user32 and kernel32 calls that the window walk makes: listing windows,
// the facts about each one, and its text read with a bounded wait.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_runtime.h"

namespace brakkis {

namespace win {
inline constexpr std::int32_t kGwlpHInstance = -6;
}  // namespace win

struct WindowRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const WindowRect&) const = default;
};

class WindowEnumCalls {
public:
    virtual ~WindowEnumCalls() = default;

    virtual WindowHandle GetDesktopWindow() = 0;
    // Top-level windows, as the system lists them; the desktop window itself
    // is not among them.
    virtual std::vector<WindowHandle> TopLevelWindows() = 0;
    // Every descendant of the window, depth first.
    virtual std::vector<WindowHandle> DescendantWindows(WindowHandle parent) = 0;

    // Thread identifier, 0 for a window that is gone; the process identifier
    // goes to processId (0 likewise).
    virtual std::uint32_t GetWindowThreadProcessId(WindowHandle hwnd, std::uint32_t& processId) = 0;
    // The parent or owner as the window system reports it; 0 for none.
    virtual WindowHandle GetParent(WindowHandle hwnd) = 0;
    // As a buffer of 100 characters holds it.
    virtual std::string ClassName(WindowHandle hwnd) = 0;
    // Pointer-wide, because the instance handle (kGwlpHInstance) is 8 bytes
    // on x64; styles come back in the low 32 bits.
    virtual std::intptr_t GetWindowLongPtr(WindowHandle hwnd, std::int32_t index) = 0;
    // Leaves rect as it was when the window is gone.
    virtual bool GetWindowRect(WindowHandle hwnd, WindowRect& rect) = 0;

    // The text-length and get-text messages, sent so that a window whose
    // thread does not answer within timeoutMs (or is known to hang) cannot
    // hold the caller; nothing when it did not answer. The text is what the
    // window copied into a buffer of bufferSize characters, its NUL
    // included.
    virtual std::optional<std::intptr_t> TextLength(WindowHandle hwnd, std::uint32_t timeoutMs) = 0;
    virtual std::optional<std::string> Text(WindowHandle hwnd, std::intptr_t bufferSize, std::uint32_t timeoutMs) = 0;

    // The path of a module of this program's own process, as a buffer of 100
    // characters holds it.
    virtual std::string ModuleFileName(std::intptr_t module) = 0;
    virtual std::intptr_t OwnInstance() = 0;
    // Whether the byte starts a two-byte character in the system's ANSI code page.
    virtual bool IsDbcsLeadByte(std::uint8_t byte) = 0;
};

}  // namespace brakkis
