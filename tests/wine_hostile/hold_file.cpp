// Holds one file open without sharing it, as a virus scanner or an editor
// does, until it is ended.
#include "platform/win32/windows_api.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    // Whoever looks whether the file is held yet has it open for a moment:
    // keep trying rather than give up on the first sharing violation.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const HANDLE file =
            ::CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) ::Sleep(INFINITE);
        ::Sleep(10);
    }
    return 1;
}
