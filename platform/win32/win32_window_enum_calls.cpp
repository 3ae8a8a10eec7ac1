#include "platform/win32/win32_window_enum_calls.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "platform/win32/windows_api.h"

#undef GetWindowLongPtr

namespace brakkis {
namespace {

HWND ToHwnd(WindowHandle handle) { return reinterpret_cast<HWND>(handle); }

// Handles are collected inside user32; an exception must not unwind through it.
struct WindowList {
    std::vector<WindowHandle> windows;
    std::exception_ptr failure;
};

BOOL CALLBACK OnWindow(HWND hwnd, LPARAM user) {
    auto* list = reinterpret_cast<WindowList*>(user);
    try {
        list->windows.push_back(reinterpret_cast<WindowHandle>(hwnd));
        return TRUE;
    } catch (...) {
        list->failure = std::current_exception();
        return FALSE;
    }
}

std::vector<WindowHandle> Collected(WindowList& list) {
    if (list.failure) std::rethrow_exception(list.failure);
    return std::move(list.windows);
}

// A name read into a buffer of 100 characters, cut to the count the call
// returns; a name cut short may come back with its NUL inside that count.
constexpr DWORD kNameSize = 100;

std::string NameRead(const char* buffer, long long copied) {
    const std::size_t length = static_cast<std::size_t>(std::clamp<long long>(copied, 0, kNameSize));
    return std::string(buffer, ::strnlen(buffer, length));
}

class Win32WindowEnumCalls final : public WindowEnumCalls {
public:
    Win32WindowEnumCalls() : text_(kTextCapacity, '\0') {}

    WindowHandle GetDesktopWindow() override { return reinterpret_cast<WindowHandle>(::GetDesktopWindow()); }

    std::vector<WindowHandle> TopLevelWindows() override {
        WindowList list;
        ::EnumWindows(&OnWindow, reinterpret_cast<LPARAM>(&list));
        return Collected(list);
    }

    std::vector<WindowHandle> DescendantWindows(WindowHandle parent) override {
        WindowList list;
        ::EnumChildWindows(ToHwnd(parent), &OnWindow, reinterpret_cast<LPARAM>(&list));
        return Collected(list);
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

    std::string ClassName(WindowHandle hwnd) override {
        char buffer[kNameSize] = {};
        return NameRead(buffer, ::GetClassNameA(ToHwnd(hwnd), buffer, kNameSize));
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

    std::optional<std::intptr_t> TextLength(WindowHandle hwnd, std::uint32_t timeoutMs) override {
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutA(ToHwnd(hwnd), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result)) {
            return std::nullopt;
        }
        return static_cast<std::intptr_t>(result);
    }

    // The text lands in a buffer of our own that never moves: a window of
    // another thread of this process is handed the address itself, and may
    // still write to it after we stopped waiting.
    std::optional<std::string> Text(WindowHandle hwnd, std::intptr_t bufferSize, std::uint32_t timeoutMs) override {
        if (bufferSize <= 0) return std::string();
        const auto room = static_cast<std::size_t>(std::min<std::intptr_t>(bufferSize, kTextCapacity));
        text_[0] = '\0';
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutA(ToHwnd(hwnd), WM_GETTEXT, room, reinterpret_cast<LPARAM>(text_.data()),
                                   SMTO_ABORTIFHUNG, timeoutMs, &result)) {
            return std::nullopt;
        }
        return text_.substr(0, std::min<std::size_t>(result, room - 1));
    }

    std::string ModuleFileName(std::intptr_t module) override {
        char buffer[kNameSize] = {};
        return NameRead(buffer, ::GetModuleFileNameA(reinterpret_cast<HMODULE>(module), buffer, kNameSize));
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
