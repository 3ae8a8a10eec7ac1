// A program's own arguments out of its raw command line, cut the way the C
// runtime cuts WinMain's lpCmdLine: the program name runs to the first blank
// outside quotes, the blanks after it go, and the rest is kept byte for byte
// (a player's arguments are handed on to the game unchanged).
#pragma once

#include <cstddef>
#include <string_view>

namespace brakkis {

inline std::string_view ArgumentsAfterProgramName(std::string_view commandLine) noexcept {
    const auto blank = [&](std::size_t at) { return commandLine[at] == ' ' || commandLine[at] == '\t'; };
    std::size_t i = 0;
    bool quoted = false;
    while (i < commandLine.size() && (quoted || !blank(i))) {
        if (commandLine[i] == '"') quoted = !quoted;
        ++i;
    }
    while (i < commandLine.size() && blank(i)) ++i;
    return commandLine.substr(i);
}

}  // namespace brakkis
