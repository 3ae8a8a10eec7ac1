// One thread and the windows it owns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "enumwindows/cwindow.h"
#include "enumwindows/keyed_collection.h"

namespace brakkis {

struct CProcess;

struct CThread {
    std::weak_ptr<CProcess> Parent;
    KeyedCollection<CWindow> Windows;              // top-level windows
    KeyedCollection<CWindow> DesktopOwnedWindows;  // windows whose parent is the desktop
    std::int32_t ThreadID = 0;
    std::string Key;
    std::int32_t BasePriority = 0;
    std::int32_t DeltaPriority = 0;
};

}  // namespace brakkis
