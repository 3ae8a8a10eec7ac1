// A process for the enumeration test to find and end by name. It tells the
// test that it runs, then ends by itself after a minute, so a failed test
// leaves nothing running.
#include "platform/win32/windows_api.h"

int main() {
    if (HANDLE up = ::OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, "BrakkisEnumHelperUp")) {
        ::ReleaseSemaphore(up, 1, nullptr);
    }
    ::Sleep(60000);
    return 3;
}
