// The numbers the registry class raises. Apart from the plain 26001, they are
// object-defined errors: the platform's base 0x80040000 plus 1048 plus a
// class-local code, so callers of the COM era could tell them apart.
#pragma once

#include <cstdint>

namespace brakkis::registry_error {

inline constexpr std::int32_t kObjectErrorBase = static_cast<std::int32_t>(0x80040000u) + 1048;

inline constexpr std::int32_t kKeyOrValue = 26001;
inline constexpr std::int32_t kSetValue = kObjectErrorBase + 26001;
inline constexpr std::int32_t kEnumerateSections = kObjectErrorBase + 26002;
inline constexpr std::int32_t kAssociationItems = kObjectErrorBase + 26004;
inline constexpr std::int32_t kAssociationClass = kObjectErrorBase + 26005;

}  // namespace brakkis::registry_error
