// A program's own arguments out of its raw command line, cut the way the C
// runtime cuts WinMain's lpCmdLine: the program name runs to the first blank
// outside quotes, the blanks after it go, and the rest is kept byte for byte
// (a player's arguments are handed on to the game unchanged).
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/ascii_case.h"

namespace brakkis {

// programPath, when given, is the program's own full path: a command line
// that starts with it unquoted (as the recovery entry under the Run key does,
// blanks and all) loses the whole path, not just its part up to the first
// blank, so "/silent" still arrives as the argument.
inline std::string_view ArgumentsAfterProgramName(std::string_view commandLine,
                                                  std::string_view programPath = {}) noexcept {
    const auto blank = [&](std::size_t at) { return commandLine[at] == ' ' || commandLine[at] == '\t'; };
    const bool startsWithPath = !programPath.empty() && ascii::StartsWithNoCase(commandLine, programPath) &&
                                (commandLine.size() == programPath.size() || blank(programPath.size()));
    std::size_t i = startsWithPath ? programPath.size() : 0;
    bool quoted = false;
    while (i < commandLine.size() && (quoted || !blank(i))) {
        if (commandLine[i] == '"') quoted = !quoted;
        ++i;
    }
    while (i < commandLine.size() && blank(i)) ++i;
    return commandLine.substr(i);
}

}  // namespace brakkis
