// A process for the enumeration test to find and end: with the argument
// "window" it shows a window titled after itself and pumps its messages.
// Either way it ends by itself after a minute, so a failed test leaves
// nothing running.
#include <cstring>

#include "platform/win32/windows_api.h"

namespace {

constexpr UINT_PTR kGiveUpTimer = 1;
constexpr UINT kGiveUpMs = 60000;

LRESULT CALLBACK HelperProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER || message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "window") != 0) {
        ::Sleep(kGiveUpMs);
        return 3;
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = HelperProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "BrakkisEnumHelper";
    ::RegisterClassA(&windowClass);
    const HWND hwnd = ::CreateWindowExA(0, windowClass.lpszClassName, "enum helper window", WS_OVERLAPPEDWINDOW,
                                        10, 10, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!hwnd) return 2;
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ::SetTimer(hwnd, kGiveUpTimer, kGiveUpMs, nullptr);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
    return 3;
}
