#include "platform/win32/win32_shell.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace brakkis {
namespace {

[[noreturn]] void RaiseLastError(const char* call) {
    const DWORD code = ::GetLastError();
    char text[512];
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                    sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) --length;
    std::string description =
        length > 0 ? std::string(text, length) : std::string(call) + " failed with error " + std::to_string(code);
    throw RaisedError(static_cast<std::int32_t>(HRESULT_FROM_WIN32(code)), "Shell", description);
}

std::int32_t ExitCodeOf(HANDLE process) {
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    return static_cast<std::int32_t>(code);
}

// One message per wake-up, so the end of the program is noticed as soon as
// it happens even while the thread's queue is busy.
std::int32_t WaitServicingMessages(HANDLE process) {
    for (;;) {
        const DWORD woke = ::MsgWaitForMultipleObjectsEx(1, &process, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) return ExitCodeOf(process);
        if (woke != WAIT_OBJECT_0 + 1) RaiseLastError("MsgWaitForMultipleObjectsEx");
        MSG msg;
        if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
        if (msg.message == WM_QUIT) {
            // The window was unloaded while the program runs; the quit
            // belongs to the message loop further out, which must see it too.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return ExitCodeOf(process);
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

class Win32Shell final : public Shell {
public:
    std::int32_t Run(const std::string& command, std::int16_t windowStyle, bool wait) override {
        // CreateProcessA may write into the command line it is given.
        std::vector<char> line(command.begin(), command.end());
        line.push_back('\0');
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(windowStyle);
        PROCESS_INFORMATION started{};
        if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
            RaiseLastError("CreateProcess");
        }
        win32::ScopedKernelHandle process(started.hProcess);
        win32::ScopedKernelHandle thread(started.hThread);
        return wait ? WaitServicingMessages(process.Get()) : 0;
    }
};

}  // namespace

std::unique_ptr<Shell> CreateWin32Shell() { return std::make_unique<Win32Shell>(); }

}  // namespace brakkis
