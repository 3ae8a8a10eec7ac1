// Starting programs on a POSIX host. The command line is split into
// arguments by the rules a Windows program applies to its own command line,
// so a launch line written for Windows reaches the program with the same
// arguments; a program path in Windows form is mapped onto the host.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace brakkis {

// whileWaiting, when given, runs about every 10 ms while Run waits for a
// program, so a caller's timers keep firing as the port promises.
std::unique_ptr<Shell> CreatePosixShell(std::function<void()> whileWaiting = {});

// The arguments a Windows program would see for this command line: the
// program name ends at its closing quote or the first blank; after it,
// blanks separate, quotes group, and backslashes escape only a quote.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace brakkis
