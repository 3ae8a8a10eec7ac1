// The file-system service on Windows, through the ANSI calls so names pass
// in the system code page byte for byte.
#pragma once

#include <memory>

#include "platform/file_system.h"

namespace brakkis {

std::unique_ptr<FileSystem> CreateWin32FileSystem();

}  // namespace brakkis
