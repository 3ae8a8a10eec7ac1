#include "platform/win32/win32_window_enum_calls.h"

#include <algorithm>
#include <exception>
#include <string>

#include "platform/win32/windows_api.h"

#undef GetClassName
#undef GetModuleFileName
#undef GetWindowLongPtr

namespace brakkis {
namespace {

HWND ToHwnd(WindowHandle handle) { return reinterpret_cast<HWND>(handle); }

// The visitor runs inside user32; an exception must not unwind through it.
struct VisitContext {
    const WindowVisitor* visitor;
    std::exception_ptr failure;
};

BOOL CALLBACK OnWindow(HWND hwnd, LPARAM user) {
    auto* context = reinterpret_cast<VisitContext*>(user);
    try {
        return (*context->visitor)(reinterpret_cast<WindowHandle>(hwnd)) ? TRUE : FALSE;
    } catch (...) {
        context->failure = std::current_exception();
        return FALSE;
    }
}

class Win32WindowEnumCalls final : public WindowEnumCalls {
public:
    Win32WindowEnumCalls() : text_(kTextCapacity, '\0') {}

    WindowHandle GetDesktopWindow() override { return reinterpret_cast<WindowHandle>(::GetDesktopWindow()); }

    bool EnumWindows(const WindowVisitor& visitor) override {
        VisitContext context{&visitor, nullptr};
        const BOOL ok = ::EnumWindows(&OnWindow, reinterpret_cast<LPARAM>(&context));
        if (context.failure) std::rethrow_exception(context.failure);
        return ok != FALSE;
    }

    bool EnumChildWindows(WindowHandle parent, const WindowVisitor& visitor) override {
        VisitContext context{&visitor, nullptr};
        const BOOL ok = ::EnumChildWindows(ToHwnd(parent), &OnWindow, reinterpret_cast<LPARAM>(&context));
        if (context.failure) std::rethrow_exception(context.failure);
        return ok != FALSE;
    }

    std::uint32_t GetWindowThreadProcessId(WindowHandle hwnd, std::uint32_t& processId) override {
        DWORD pid = 0;
        const DWORD tid = ::GetWindowThreadProcessId(ToHwnd(hwnd), &pid);
        processId = pid;
        return tid;
    }

    WindowHandle GetParent(WindowHandle hwnd) override {
        return reinterpret_cast<WindowHandle>(::GetParent(ToHwnd(hwnd)));
    }

    std::int32_t GetClassName(WindowHandle hwnd, char* buffer, std::int32_t size) override {
        return ::GetClassNameA(ToHwnd(hwnd), buffer, size);
    }

    std::intptr_t GetWindowLongPtr(WindowHandle hwnd, std::int32_t index) override {
        return static_cast<std::intptr_t>(::GetWindowLongPtrA(ToHwnd(hwnd), index));
    }

    bool GetWindowRect(WindowHandle hwnd, WindowRect& rect) override {
        RECT raw{};
        if (!::GetWindowRect(ToHwnd(hwnd), &raw)) return false;
        rect = {raw.left, raw.top, raw.right, raw.bottom};
        return true;
    }

    bool SendTextLengthMessage(WindowHandle hwnd, std::uint32_t timeoutMs, std::intptr_t& length) override {
        DWORD_PTR result = 0;
        length = 0;
        if (!::SendMessageTimeoutA(ToHwnd(hwnd), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result)) {
            return false;
        }
        length = static_cast<std::intptr_t>(result);
        return true;
    }

    // The text lands in a buffer of our own that never moves: a window of
    // another thread of this process is handed the address itself, and may
    // still write to it after we stopped waiting.
    bool SendGetTextMessage(WindowHandle hwnd, char* buffer, std::intptr_t size, std::uint32_t timeoutMs,
                            std::intptr_t& copied) override {
        copied = 0;
        if (size <= 0) return true;
        const auto room = static_cast<std::size_t>(std::min<std::intptr_t>(size, kTextCapacity));
        text_[0] = '\0';
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutA(ToHwnd(hwnd), WM_GETTEXT, room, reinterpret_cast<LPARAM>(text_.data()),
                                   SMTO_ABORTIFHUNG, timeoutMs, &result)) {
            return false;
        }
        const std::size_t n = std::min<std::size_t>(result, room - 1);
        std::copy_n(text_.data(), n, buffer);
        buffer[n] = '\0';
        copied = static_cast<std::intptr_t>(n);
        return true;
    }

    std::uint32_t GetModuleFileName(std::intptr_t module, char* buffer, std::uint32_t size) override {
        return ::GetModuleFileNameA(reinterpret_cast<HMODULE>(module), buffer, size);
    }

    std::intptr_t OwnInstance() override { return reinterpret_cast<std::intptr_t>(::GetModuleHandleA(nullptr)); }

    bool IsDbcsLeadByte(std::uint8_t byte) override { return ::IsDBCSLeadByte(byte) != FALSE; }

private:
    // The longest caption the walk reads, its slack and the NUL.
    static constexpr std::intptr_t kTextCapacity = 30000 + 16;
    std::string text_;
};

}  // namespace

std::unique_ptr<WindowEnumCalls> CreateWin32WindowEnumCalls() { return std::make_unique<Win32WindowEnumCalls>(); }

}  // namespace brakkis
