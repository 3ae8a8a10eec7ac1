// One module loaded in a process, other than its main executable.
#pragma once

#include <string>

#include "platform/process_system.h"

namespace brakkis {

struct CModule {
    ModuleHandle hModule = 0;  // within its own process
    std::string BaseName;
    std::string FileName;
    std::string Key;
};

}  // namespace brakkis
