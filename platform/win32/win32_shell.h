// Starting programs with CreateProcess; a waiting start keeps the calling
// thread's window messages and timer serviced until the program has ended.
#pragma once

#include <memory>

#include "platform/shell.h"

namespace brakkis {

std::unique_ptr<Shell> CreateWin32Shell();

}  // namespace brakkis
