// The registry port over advapi32 and kernel32, ANSI calls only: key paths,
// names and text data pass through as the system's code page, unconverted.
#pragma once

#include "platform/registry_calls.h"

namespace brakkis {

// Key handles are handed to the caller, who closes them through CloseKey.
class Win32RegistryCalls : public RegistryCalls {
public:
    std::int32_t OpenKeyEx(RegKey parent, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                           RegKey* result) override;
    std::int32_t OpenKey(RegKey parent, const std::string& subKey, RegKey* result) override;
    std::int32_t CreateKeyEx(RegKey parent, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                             RegKey* result, std::uint32_t* disposition) override;
    std::int32_t CloseKey(RegKey key) override;
    std::int32_t QueryValueEx(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* size) override;
    std::int32_t SetValueEx(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) override;
    std::int32_t DeleteKey(RegKey parent, const std::string& subKey) override;
    std::int32_t DeleteValue(RegKey key, const std::string& name) override;
    std::int32_t QueryInfoKey(RegKey key, std::uint32_t* maxValueNameLength) override;
    std::int32_t EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength) override;
    std::int32_t EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) override;
    std::uint32_t ExpandEnvironmentStrings(const std::string& source, char* destination, std::uint32_t size) override;
};

}  // namespace brakkis
