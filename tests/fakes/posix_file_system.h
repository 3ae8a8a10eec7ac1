// The file-system service on a POSIX host. It takes the program's
// Windows-style paths ("Z:\game\Brakkis_Temp" or "/tmp/game\Brakkis_Temp")
// and finds every component without regard to letter case, so the launcher
// behaves on a case-sensitive disk as it does on Windows.
#pragma once

#include <memory>

#include "platform/file_system.h"

namespace brakkis {

std::unique_ptr<FileSystem> CreatePosixFileSystem();

}  // namespace brakkis
