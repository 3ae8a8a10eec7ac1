// The text helpers every part of the enumeration shares: record keys,
// base names of paths and text cut at its first NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brakkis {

// "K-" and the identifier in upper-case hexadecimal without leading zeros.
// Anything that fits a signed 32-bit number is written as its 32-bit two's
// complement, so -1 is K-FFFFFFFF; wider values (module handles on x64)
// keep all their digits.
std::string MakeKey(std::int64_t id);

// The text after the last backslash; all of it when there is none.
std::string BaseNameOf(std::string_view path);

// The text before the first NUL; all of it when there is none.
std::string TrimAtNull(std::string_view text);

}  // namespace brakkis
