// The property check every fuzz target shares.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <source_location>

namespace brakkis::fuzz {

// An abort is what libFuzzer records as a finding, and what fails a replay.
inline void Check(bool holds, std::source_location at = std::source_location::current()) {
    if (!holds) std::fprintf(stderr, "%s:%u: property broken\n", at.file_name(), at.line()), std::abort();
}

}  // namespace brakkis::fuzz
