// Process enumeration and termination on the system itself: toolhelp from
// kernel32, psapi.dll and vdmdbg.dll probed and loaded from the system
// folder only, when first needed.
#pragma once

#include <memory>

#include "platform/process_calls.h"

namespace brakkis {

std::unique_ptr<ProcessCalls> CreateWin32ProcessCalls();

}  // namespace brakkis
