// One place in the registry, addressed through properties that the caller
// sets first, and the operations on it. Nothing from the registry is cached:
// each operation opens its key, works and closes it again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry_calls.h"
#include "registry/variant.h"

namespace brakkis {

class CRegistry {
public:
    // Errors carry exeName + ".cRegistry" as their source.
    CRegistry(RegistryCalls& calls, std::string exeName);

    bool KeyExists();
    bool ValueExists();
    bool CreateKey();
    bool DeleteKey();
    bool DeleteValue();

    Variant GetValue();
    void SetValue(const Variant& vValue);

    bool EnumerateValues(std::vector<std::string>& sKeyNames, std::int32_t& iKeyCount);
    bool EnumerateSections(std::vector<std::string>& sSect, std::int32_t& iSectCount);

    void CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                              const std::string& sClassDescription, const std::string& sAssociation,
                              const std::string& sOpenMenuText = "&Open", bool bSupportPrint = false,
                              const std::string& sPrintMenuText = "&Print", bool bSupportNew = false,
                              const std::string& sNewMenuText = "&New", bool bSupportInstall = false,
                              const std::string& sInstallMenuText = "", std::int32_t lDefaultIconIndex = -1);
    void CreateAdditionalEXEAssociations(const std::string& sClassName, const std::vector<Variant>& vItems);

    std::int32_t ValueType() const { return valueType_; }
    void SetValueType(std::int32_t eValueType) { valueType_ = eValueType; }
    std::int32_t ClassKey() const { return classKey_; }
    void SetClassKey(std::int32_t eKey) { classKey_ = eKey; }
    const std::string& SectionKey() const { return sectionKey_; }
    void SetSectionKey(const std::string& sSectionKey) { sectionKey_ = sSectionKey; }
    const std::string& ValueKey() const { return valueKey_; }
    void SetValueKey(const std::string& sValueKey) { valueKey_ = sValueKey; }
    const Variant& Default() const { return default_; }
    void SetDefault(const Variant& vDefault) { default_ = vDefault; }

    static ByteArray InitBinaryArray(const std::vector<Variant>& vItems);

private:
    static std::int32_t ReverseByteOrder(std::int32_t value);
    std::string ExpandEnvironmentText(const std::string& text);
    static std::int32_t ParseHexText(const std::string& text);

    RegKey Root() const { return static_cast<RegKey>(classKey_); }
    std::int32_t OpenOrCreate(RegKey* key);
    Variant ReadData(RegKey key, std::uint32_t type, std::uint32_t size);
    std::int32_t StoreValue(RegKey key, const Variant& vValue);
    std::string SetValueDescription(const Variant& vValue) const;
    [[noreturn]] void Raise(std::int32_t number, const std::string& description) const;

    RegistryCalls& calls_;
    std::string exeName_;
    std::int32_t classKey_ = 0;
    std::string sectionKey_;
    std::string valueKey_;
    std::int32_t valueType_ = 0;
    Variant default_;
};

}  // namespace brakkis
