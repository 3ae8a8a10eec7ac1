// The advapi32 and kernel32 calls the registry class makes, in their ANSI
// shapes. Every call returns the platform's status code: 0 on success.
#pragma once

#include <cstdint>
#include <string>

namespace brakkis {

// A key handle, wide enough for a pointer; root keys are their 32-bit values
// sign-extended, as the platform defines them.
using RegKey = std::intptr_t;

namespace reg {
inline constexpr RegKey kClassesRoot = static_cast<std::int32_t>(0x80000000u);
inline constexpr RegKey kCurrentUser = static_cast<std::int32_t>(0x80000001u);
inline constexpr RegKey kLocalMachine = static_cast<std::int32_t>(0x80000002u);

inline constexpr std::int32_t kSuccess = 0;
inline constexpr std::int32_t kFileNotFound = 2;
inline constexpr std::int32_t kAccessDenied = 5;
inline constexpr std::int32_t kInvalidHandle = 6;
inline constexpr std::int32_t kInvalidData = 13;
inline constexpr std::int32_t kInvalidParameter = 87;
inline constexpr std::int32_t kMoreData = 234;
inline constexpr std::int32_t kNoMoreItems = 259;

inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kDwordBigEndian = 5;
inline constexpr std::uint32_t kLink = 6;
inline constexpr std::uint32_t kMultiSz = 7;

inline constexpr std::uint32_t kQueryValue = 0x0001;
inline constexpr std::uint32_t kEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kAllButDelete = 0x003F;
}  // namespace reg

class RegistryCalls {
public:
    virtual ~RegistryCalls() = default;
    virtual std::int32_t OpenKeyEx(RegKey parent, const std::string& subKey, std::uint32_t options,
                                   std::uint32_t access, RegKey* result) = 0;
    virtual std::int32_t OpenKey(RegKey parent, const std::string& subKey, RegKey* result) = 0;
    // Creates every missing key along the path.
    virtual std::int32_t CreateKeyEx(RegKey parent, const std::string& subKey, std::uint32_t options,
                                     std::uint32_t access, RegKey* result, std::uint32_t* disposition) = 0;
    virtual std::int32_t CloseKey(RegKey key) = 0;
    // data may be null; *size is the buffer size in and the data size out.
    virtual std::int32_t QueryValueEx(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                                      std::uint32_t* size) = 0;
    virtual std::int32_t SetValueEx(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                                    std::uint32_t size) = 0;
    virtual std::int32_t DeleteKey(RegKey parent, const std::string& subKey) = 0;
    virtual std::int32_t DeleteValue(RegKey key, const std::string& name) = 0;
    // Only the length of the longest value name, in characters, is asked for.
    virtual std::int32_t QueryInfoKey(RegKey key, std::uint32_t* maxValueNameLength) = 0;
    // *nameLength is the buffer size in characters (terminator included) in,
    // and the name's length without terminator out.
    virtual std::int32_t EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength) = 0;
    virtual std::int32_t EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) = 0;
    // Returns the size the expansion needs, terminator included.
    virtual std::uint32_t ExpandEnvironmentStrings(const std::string& source, char* destination,
                                                   std::uint32_t size) = 0;
};

}  // namespace brakkis
