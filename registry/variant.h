// The loosely typed value that the registry class reads, writes and takes as
// a default, in the shapes a value can take in the registry and in callers.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace brakkis {

using ByteArray = std::vector<std::uint8_t>;
using Variant = std::variant<std::monostate, std::string, std::int16_t, std::int32_t, ByteArray, double, bool>;

// The text a value turns into when it is stored as text or quoted in an
// error: text as is, numbers in decimal, empty as empty text, Booleans as
// True/False, bytes as blank-separated hex pairs ("0A FF 07").
std::string VariantToText(const Variant& value);

}  // namespace brakkis
