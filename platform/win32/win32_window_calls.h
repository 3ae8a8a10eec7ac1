// The launcher's and the layer's window calls, made on user32 itself.
#pragma once

#include <memory>

#include "platform/window_calls.h"

namespace brakkis {

std::unique_ptr<WindowCalls> CreateWin32WindowCalls();

}  // namespace brakkis
