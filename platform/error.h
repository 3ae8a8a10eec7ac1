// The program's one exception type: every raised error carries a number, a
// source and a description, so a caller can tell a registry refusal from a
// missing file without parsing text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace brakkis {

class RaisedError : public std::runtime_error {
public:
    RaisedError(std::int32_t number, std::string source, std::string description)
        : std::runtime_error(description),
          number_(number),
          source_(std::move(source)),
          description_(std::move(description)) {}

    std::int32_t Number() const noexcept { return number_; }
    const std::string& Source() const noexcept { return source_; }
    const std::string& Description() const noexcept { return description_; }

private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
};

// Numbers shared by the ports, chosen to match what the scripting runtime
// reports for the same conditions, so callers compare against one table.
namespace errnum {
inline constexpr std::int32_t kInvalidCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kFileAlreadyExists = 58;
inline constexpr std::int32_t kBadFileMode = 54;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kObjectRequired = 424;
}  // namespace errnum

}  // namespace brakkis
