// What every fuzz target shares: a property check that stops the run with a
// finding, and the cut of one input into several texts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <source_location>
#include <string>
#include <vector>

namespace brakkis::fuzz {

// An abort is what libFuzzer records as a finding, and what fails a replay.
inline void Check(bool holds, std::source_location at = std::source_location::current()) {
    if (!holds) std::fprintf(stderr, "%s:%u: property broken\n", at.file_name(), at.line()), std::abort();
}

// The record separator (0x1E) cuts an input into texts; the last part takes
// whatever follows, separators included, and missing parts are empty. A seed
// stays a readable text file.
inline std::vector<std::string> Parts(const std::uint8_t* data, std::size_t size, std::size_t count) {
    std::vector<std::string> parts(count);
    std::string input(reinterpret_cast<const char*>(data), size);
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const std::size_t cut = input.find('\x1E');
        parts[i] = input.substr(0, cut);
        input = cut == std::string::npos ? "" : input.substr(cut + 1);
    }
    parts[count - 1] = input;
    return parts;
}

}  // namespace brakkis::fuzz
