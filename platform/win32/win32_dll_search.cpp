#include "platform/win32/win32_dll_search.h"

#include "platform/win32/windows_api.h"

namespace brakkis {

void RestrictDllSearchToSystem() noexcept {
    // Looked up by name: Windows 7 without its 2011 loader update and Vista
    // lack the call, and a static import would stop the program from
    // starting there at all.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                                         reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                   : nullptr;
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // Older systems: at least take the current folder out of the search.
    ::SetDllDirectoryA("");
}

}  // namespace brakkis
