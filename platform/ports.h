// Everything through which the program reaches the operating system, handed
// to the window at creation. Tests hand it the simulated machine.
#pragma once

#include <functional>
#include <memory>

#include "platform/file_system.h"
#include "platform/launcher_instances.h"
#include "platform/process_system.h"
#include "platform/registry_calls.h"
#include "platform/shell.h"
#include "platform/window_calls.h"
#include "platform/window_enum_calls.h"
#include "platform/window_runtime.h"

namespace brakkis {

struct Ports {
    WindowRuntime& runtime;
    WindowCalls& windows;
    RegistryCalls& registry;
    Sleeper& sleeper;
    ProcessSystem& processes;
    WindowEnumCalls& windowEnum;
    LauncherInstances& instances;
    // Service objects are created on first use; creation may raise.
    std::function<std::unique_ptr<FileSystem>()> createFileSystem;
    std::function<std::unique_ptr<Shell>()> createShell;
};

}  // namespace brakkis
