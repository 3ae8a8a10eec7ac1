// A process for the enumeration tests to look at and end: a window titled as its one argument, with a class name
// longer than the enumeration reads, and a child. It ends by itself after a minute, so a failed test leaves nothing.
#include <string>

#include "platform/win32/windows_api.h"

int main(int, char** argv) {
    const std::string name = "BrakkisEnumHelper" + std::string(103, 'x');
    const WNDCLASSA windowClass{0,       ::DefWindowProcA, 0,       0,       ::GetModuleHandleA(nullptr),
                                nullptr, nullptr,          nullptr, nullptr, name.c_str()};
    ::RegisterClassA(&windowClass);
    const HWND window = ::CreateWindowExA(0, name.c_str(), argv[1], 0, 0, 0, 320, 200, 0, 0, windowClass.hInstance, 0);
    ::CreateWindowExA(0, "STATIC", "label\r\nsecond line", WS_CHILD, 0, 0, 100, 20, window, nullptr, nullptr, nullptr);
    ::SetTimer(nullptr, 0, 60000, nullptr);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) ::DispatchMessageA(&message);
}
