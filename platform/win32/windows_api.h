// The one place that includes <windows.h>: the API level is pinned so every
// adapter compiles against the same declarations on both toolchains.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601  // Windows 7: SetDefaultDllDirectories and layered child-free windows
#undef WINVER
#define WINVER _WIN32_WINNT

#include <windows.h>

// The ports use these names as methods; keep the macros out of their way.
#undef MoveFile
#undef FindWindow
#undef GetWindowLong
#undef SetWindowLong
#undef SendMessage
#undef ExpandEnvironmentStrings
#undef DeleteFile
#undef CreateFolder
