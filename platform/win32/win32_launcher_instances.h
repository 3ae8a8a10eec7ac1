// Launchers of one game folder meet through named mutexes, visible across
// sessions, whose names come from the folder's path in any letter case.
#pragma once

#include <memory>

#include "platform/launcher_instances.h"

namespace brakkis {

std::unique_ptr<LauncherInstances> CreateWin32LauncherInstances();

}  // namespace brakkis
