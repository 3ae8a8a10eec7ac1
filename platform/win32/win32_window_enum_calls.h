// The window walk's calls on user32 itself.
#pragma once

#include <memory>

#include "platform/window_enum_calls.h"

namespace brakkis {

std::unique_ptr<WindowEnumCalls> CreateWin32WindowEnumCalls();

}  // namespace brakkis
