// Processes on the system itself: toolhelp from kernel32, psapi.dll and
// vdmdbg.dll loaded from the system folder only.
#pragma once

#include <memory>

#include "platform/process_system.h"

namespace brakkis {

std::unique_ptr<ProcessSystem> CreateWin32ProcessSystem();

}  // namespace brakkis
