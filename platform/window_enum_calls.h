// The user32 and kernel32 calls that the window walk makes: listing windows,
// the facts about each one, and its text read with a bounded wait.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/window_runtime.h"

namespace brakkis {

namespace win {
inline constexpr std::int32_t kGwlpHInstance = -6;
}  // namespace win

struct WindowRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Return true to go on with the next window.
using WindowVisitor = std::function<bool(WindowHandle)>;

class WindowEnumCalls {
public:
    virtual ~WindowEnumCalls() = default;

    virtual WindowHandle GetDesktopWindow() = 0;
    // Top-level windows; the desktop window itself is not among them.
    virtual bool EnumWindows(const WindowVisitor& visitor) = 0;
    // Every descendant of the window, depth first.
    virtual bool EnumChildWindows(WindowHandle parent, const WindowVisitor& visitor) = 0;

    // Thread identifier, 0 for a window that is gone; the process identifier
    // goes to processId (0 likewise).
    virtual std::uint32_t GetWindowThreadProcessId(WindowHandle hwnd, std::uint32_t& processId) = 0;
    // The parent or owner as the window system reports it; 0 for none.
    virtual WindowHandle GetParent(WindowHandle hwnd) = 0;
    // Characters copied, without the NUL.
    virtual std::int32_t GetClassName(WindowHandle hwnd, char* buffer, std::int32_t size) = 0;
    // Pointer-wide, because the instance handle (kGwlpHInstance) is 8 bytes
    // on x64; styles come back in the low 32 bits.
    virtual std::intptr_t GetWindowLongPtr(WindowHandle hwnd, std::int32_t index) = 0;
    // Leaves rect as it was when the window is gone.
    virtual bool GetWindowRect(WindowHandle hwnd, WindowRect& rect) = 0;

    // The text-length and get-text messages, sent so that a window whose
    // thread does not answer within timeoutMs (or is known to hang) cannot
    // hold the caller. False when the window did not answer.
    virtual bool SendTextLengthMessage(WindowHandle hwnd, std::uint32_t timeoutMs, std::intptr_t& length) = 0;
    virtual bool SendGetTextMessage(WindowHandle hwnd, char* buffer, std::intptr_t size,
                                    std::uint32_t timeoutMs, std::intptr_t& copied) = 0;

    // A module of this program's own process; characters copied, without the NUL.
    virtual std::uint32_t GetModuleFileName(std::intptr_t module, char* buffer, std::uint32_t size) = 0;
    virtual std::intptr_t OwnInstance() = 0;
    // Whether the byte starts a two-byte character in the system's ANSI code page.
    virtual bool IsDbcsLeadByte(std::uint8_t byte) = 0;
};

}  // namespace brakkis
