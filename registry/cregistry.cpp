#include "registry/cregistry.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "platform/error.h"
#include "platform/ignore_errors.h"
#include "registry/registry_errors.h"
#include "registry/registry_key.h"

namespace brakkis {
namespace {

// Long enough for any key name the registry allows but its longest, so a
// name of the full 255 characters ends a listing.
constexpr std::uint32_t kSectionNameBuffer = 255;

}  // namespace

CRegistry::CRegistry(RegistryCalls& calls, std::string exeName) : calls_(calls), exeName_(std::move(exeName)) {}

void CRegistry::Raise(std::int32_t number, const std::string& description) const {
    throw RaisedError(number, exeName_ + ".cRegistry", description);
}

bool CRegistry::KeyExists() {
    RegistryKey key(calls_);
    return calls_.OpenKeyEx(Root(), sectionKey_, 0, reg::kQueryValue, key.Receive()) == reg::kSuccess;
}

bool CRegistry::ValueExists() {
    // Neither status is looked at: a key or value that is not there leaves
    // the type at 0, which is all the answer needs.
    RegistryKey key(calls_, RegistryKey::Close::Always);
    calls_.OpenKey(Root(), sectionKey_, key.Receive());
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    calls_.QueryValueEx(key.Get(), valueKey_, &type, nullptr, &size);
    return type == reg::kSz;
}

std::int32_t CRegistry::OpenOrCreate(RegKey* key) {
    std::uint32_t disposition = 0;
    return calls_.CreateKeyEx(Root(), sectionKey_, 0, reg::kAllButDelete, key, &disposition);
}

bool CRegistry::CreateKey() {
    RegistryKey key(calls_);
    if (OpenOrCreate(key.Receive()) != reg::kSuccess) {
        Raise(registry_error::kKeyOrValue, "Failed to create registry Key: '" + sectionKey_);
    }
    return true;
}

bool CRegistry::DeleteKey() {
    if (calls_.DeleteKey(Root(), sectionKey_) != reg::kSuccess) {
        Raise(registry_error::kKeyOrValue,
              "Failed to delete registry Key: '" + std::to_string(classKey_) + "',Section: '" + sectionKey_);
    }
    return true;
}

bool CRegistry::DeleteValue() {
    // The launcher calls this on its way out, where a value that is already
    // gone, or a key the user may not write, must not stop the shutdown.
    RegistryKey key(calls_);
    bool deleted = false;
    SkipOnError([&] {
        const std::string where = std::to_string(classKey_) + "',Section: '" + sectionKey_;
        if (calls_.OpenKeyEx(Root(), sectionKey_, 0, reg::kAllButDelete, key.Receive()) != reg::kSuccess) {
            Raise(registry_error::kKeyOrValue, "Failed to open key '" + where + "' for delete access");
        }
        if (calls_.DeleteValue(key.Get(), valueKey_) != reg::kSuccess) {
            Raise(registry_error::kKeyOrValue, "Failed to delete registry Key: '" + where + "',Key: '" + valueKey_);
        }
        deleted = true;
    });
    return deleted;
}

bool CRegistry::EnumerateValues(std::vector<std::string>& sKeyNames, std::int32_t& iKeyCount) {
    iKeyCount = 0;
    sKeyNames.clear();
    RegistryKey key(calls_);
    if (calls_.OpenKeyEx(Root(), sectionKey_, 0, reg::kQueryValue, key.Receive()) != reg::kSuccess) {
        return true;
    }
    std::uint32_t longest = 0;
    if (calls_.QueryInfoKey(key.Get(), &longest) != reg::kSuccess) return true;

    // Any status but success ends the listing, normally "no more items";
    // the names found so far are the answer.
    for (std::uint32_t index = 0;; ++index) {
        std::string name(longest + 1, '\0');
        std::uint32_t length = longest + 1;
        if (calls_.EnumValue(key.Get(), index, name.data(), &length) != reg::kSuccess) break;
        name.resize(length);
        sKeyNames.push_back(std::move(name));
        ++iKeyCount;
    }
    return true;
}

bool CRegistry::EnumerateSections(std::vector<std::string>& sSect, std::int32_t& iSectCount) {
    RegistryKey key(calls_);
    try {
        iSectCount = 0;
        sSect.clear();
        std::int32_t status = calls_.OpenKeyEx(Root(), sectionKey_, 0, reg::kEnumerateSubKeys, key.Receive());
        for (std::uint32_t index = 0; status == reg::kSuccess; ++index) {
            char buffer[kSectionNameBuffer] = {};
            status = calls_.EnumKey(key.Get(), index, buffer, kSectionNameBuffer);
            if (status == reg::kSuccess) {
                sSect.emplace_back(buffer, std::find(buffer, buffer + kSectionNameBuffer, '\0'));
                ++iSectCount;
            }
        }
        return true;
    } catch (const RaisedError& failure) {
        Raise(registry_error::kEnumerateSections, failure.Description());
    } catch (const std::exception& failure) {
        Raise(registry_error::kEnumerateSections, failure.what());
    }
}

}  // namespace brakkis
