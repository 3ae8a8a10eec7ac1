// "Brakkis Isle.exe": the real machine behind the launcher window.
#include "launcher/launcher_form.h"
#include "platform/win32/win32_dll_search.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_launcher_instances.h"
#include "platform/win32/win32_process_system.h"
#include "platform/win32/win32_registry_calls.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_window_calls.h"
#include "platform/win32/win32_window_enum_calls.h"
#include "platform/win32/win32_window_runtime.h"

int main() {
    // Before anything can load a library: the game folder is writable by
    // anyone who drops files into it.
    brakkis::RestrictDllSearchToSystem();

    brakkis::Win32WindowRuntime runtime;
    const auto windows = brakkis::CreateWin32WindowCalls();
    brakkis::Win32RegistryCalls registry;
    brakkis::Win32Sleeper sleeper;
    const auto processes = brakkis::CreateWin32ProcessSystem();
    const auto windowEnum = brakkis::CreateWin32WindowEnumCalls();
    const auto instances = brakkis::CreateWin32LauncherInstances();
    brakkis::Ports ports{runtime,
                         *windows,
                         registry,
                         sleeper,
                         *processes,
                         *windowEnum,
                         *instances,
                         [] { return brakkis::CreateWin32FileSystem(); },
                         [] { return brakkis::CreateWin32Shell(); }};
    brakkis::LauncherForm form(ports);
    return runtime.Run(form);
}
