// The property check every fuzz target shares.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace brakkis::fuzz {

// An abort is what libFuzzer records as a finding, and what fails a replay.
// The builtins, not std::source_location: clang 14 cannot build libstdc++'s.
inline void Check(bool holds, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    if (!holds) std::fprintf(stderr, "%s:%d: property broken\n", file, line), std::abort();
}

}  // namespace brakkis::fuzz
