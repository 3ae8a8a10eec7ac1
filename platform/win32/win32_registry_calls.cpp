#include "platform/win32/win32_registry_calls.h"

#include "platform/win32/windows_api.h"

namespace brakkis {
namespace {

HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }
RegKey FromHkey(HKEY key) { return reinterpret_cast<RegKey>(key); }

// DWORD is not uint32_t to the compiler; the out-parameters go through one.
class DwordOut {
public:
    explicit DwordOut(std::uint32_t* target) : target_(target), value_(target ? *target : 0) {}
    DwordOut(const DwordOut&) = delete;
    DwordOut& operator=(const DwordOut&) = delete;
    ~DwordOut() {
        if (target_ != nullptr) *target_ = value_;
    }
    DWORD* Get() { return target_ != nullptr ? &value_ : nullptr; }

private:
    std::uint32_t* target_;
    DWORD value_;
};

}  // namespace

std::int32_t Win32RegistryCalls::OpenKeyEx(RegKey parent, const std::string& subKey, std::uint32_t options,
                                           std::uint32_t access, RegKey* result) {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExA(ToHkey(parent), subKey.c_str(), options, access, &opened);
    *result = FromHkey(opened);
    return status;
}

std::int32_t Win32RegistryCalls::OpenKey(RegKey parent, const std::string& subKey, RegKey* result) {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyA(ToHkey(parent), subKey.c_str(), &opened);
    *result = FromHkey(opened);
    return status;
}

std::int32_t Win32RegistryCalls::CreateKeyEx(RegKey parent, const std::string& subKey, std::uint32_t options,
                                             std::uint32_t access, RegKey* result, std::uint32_t* disposition) {
    // Default security, spelled as an all-zero record rather than a null
    // pointer, the way the registry class has always asked for it.
    SECURITY_ATTRIBUTES security{};
    char noClass[1] = "";
    HKEY created = nullptr;
    DwordOut createdOrOpened(disposition);
    const LONG status = ::RegCreateKeyExA(ToHkey(parent), subKey.c_str(), 0, noClass, options, access, &security,
                                          &created, createdOrOpened.Get());
    *result = FromHkey(created);
    return status;
}

std::int32_t Win32RegistryCalls::CloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

std::int32_t Win32RegistryCalls::QueryValueEx(RegKey key, const std::string& name, std::uint32_t* type,
                                              std::uint8_t* data, std::uint32_t* size) {
    DwordOut typeOut(type);
    DwordOut sizeOut(size);
    return ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, typeOut.Get(), data, sizeOut.Get());
}

std::int32_t Win32RegistryCalls::SetValueEx(RegKey key, const std::string& name, std::uint32_t type,
                                            const std::uint8_t* data, std::uint32_t size) {
    return ::RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data, size);
}

std::int32_t Win32RegistryCalls::DeleteKey(RegKey parent, const std::string& subKey) {
    return ::RegDeleteKeyA(ToHkey(parent), subKey.c_str());
}

std::int32_t Win32RegistryCalls::DeleteValue(RegKey key, const std::string& name) {
    return ::RegDeleteValueA(ToHkey(key), name.c_str());
}

std::int32_t Win32RegistryCalls::QueryInfoKey(RegKey key, std::uint32_t* maxValueNameLength) {
    // An empty class buffer of size 0, as callers that want no class pass.
    char noClass[1] = "";
    DWORD classLength = 0;
    DWORD subKeys = 0, maxSubKeyLength = 0, maxClassLength = 0, values = 0;
    DWORD maxValueLength = 0, securityDescriptor = 0;
    FILETIME lastWrite{};
    DwordOut longestName(maxValueNameLength);
    return ::RegQueryInfoKeyA(ToHkey(key), noClass, &classLength, nullptr, &subKeys, &maxSubKeyLength, &maxClassLength,
                              &values, longestName.Get(), &maxValueLength, &securityDescriptor, &lastWrite);
}

std::int32_t Win32RegistryCalls::EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength) {
    DwordOut length(nameLength);
    return ::RegEnumValueA(ToHkey(key), index, name, length.Get(), nullptr, nullptr, nullptr, nullptr);
}

std::int32_t Win32RegistryCalls::EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) {
    return ::RegEnumKeyA(ToHkey(key), index, name, nameSize);
}

std::uint32_t Win32RegistryCalls::ExpandEnvironmentStrings(const std::string& source, char* destination,
                                                           std::uint32_t size) {
    return ::ExpandEnvironmentStringsA(source.c_str(), destination, size);
}

}  // namespace brakkis
