// The host's real file-system adapter, whichever host the tests run on.
#pragma once

#include <memory>

#include "platform/file_system.h"
#ifdef _WIN32
#include "platform/win32/win32_file_system.h"
#else
#include "tests/fakes/posix_file_system.h"
#endif

namespace brakkis::testing {

inline std::unique_ptr<FileSystem> CreateNativeFileSystem() {
#ifdef _WIN32
    return CreateWin32FileSystem();
#else
    return CreatePosixFileSystem();
#endif
}

}  // namespace brakkis::testing
