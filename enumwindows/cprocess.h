// One process or one 16-bit task, with what hangs below it. Only the
// downward collections own records; Parent points back without owning.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "enumwindows/cmodule.h"
#include "enumwindows/cthread.h"
#include "enumwindows/keyed_collection.h"

namespace brakkis {

struct CProcess {
    std::int32_t ProcessID = 0;  // for a 16-bit task, its task handle
    std::string Key;
    std::weak_ptr<CProcess> Parent;  // none for a root of the tree
    KeyedCollection<CProcess> ChildProcesses;
    KeyedCollection<CThread> Threads;
    KeyedCollection<CModule> Modules;  // the main executable is not among them
    std::int32_t ThreadCount = 0;
    std::int32_t ModuleCount = 0;  // as reported, the main executable included
    std::string FileName;
    std::string BaseName;
    std::int32_t Priority = 0;
    std::string Bits;  // "16" or "32"
};

}  // namespace brakkis
