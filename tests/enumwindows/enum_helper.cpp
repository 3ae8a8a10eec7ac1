// A process for the enumeration tests to look at and end: a top-level window,
// titled as its one argument, with a class name longer than the enumeration
// reads, and a child. It sets the event of that name once both exist, answers
// messages, and ends by itself after a minute, so a failed test leaves
// nothing running.
#include <string>

#include "platform/win32/windows_api.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string className = "BrakkisEnumHelper" + std::string(103, 'x');
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className.c_str();
    ::RegisterClassA(&windowClass);
    const HWND window = ::CreateWindowExA(0, className.c_str(), argv[1], WS_OVERLAPPEDWINDOW, 30, 40, 320, 200, nullptr,
                                          nullptr, windowClass.hInstance, nullptr);
    ::CreateWindowExA(0, "STATIC", "label\r\nsecond line", WS_CHILD, 5, 5, 100, 20, window, nullptr, nullptr, nullptr);
    if (const HANDLE up = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1])) ::SetEvent(up);
    ::SetTimer(nullptr, 0, 60000, nullptr);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) ::DispatchMessageA(&message);
    return 3;
}
