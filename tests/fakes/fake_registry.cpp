#include "tests/fakes/fake_registry.h"

#include <algorithm>

namespace brakkis::sim {
namespace {

constexpr std::uint32_t kAllAccess = 0xF003F, kRead = 0x20019, kSetValue = 0x0002, kDelete = 0x10000;
constexpr std::uint32_t kWriteRights = 0xD0026;  // set value, create subkey and link, delete, write DAC and owner

std::int32_t CopyName(const std::string& found, char* name, std::uint32_t size) {
    if (found.size() >= size) return reg::kMoreData;
    std::copy(found.c_str(), found.c_str() + found.size() + 1, name);
    return reg::kSuccess;
}

}  // namespace

std::int32_t FakeRegistry::Find(RegKey handle, std::uint32_t right, Keys::iterator* key) {
    const auto opened = handles_.find(handle);
    const bool root = opened == handles_.end();
    *key = keys.find(root ? Path(handle) : opened->second.first);
    if (*key == keys.end()) return reg::kInvalidHandle;
    return ((root ? kAllAccess : opened->second.second) & right) == right ? reg::kSuccess : reg::kAccessDenied;
}

std::int32_t FakeRegistry::Open(RegKey parent, const std::string& subKey, std::uint32_t access, bool create,
                                RegKey* result) {
    *result = 0;
    Keys::iterator from;
    if (const std::int32_t status = Find(parent, 0, &from)) return status;
    std::string path = from->first;
    std::vector<std::string> missing;
    for (std::size_t at = 0, end = 0; at < subKey.size(); at = end + 1) {
        end = std::min(subKey.find('\\', at), subKey.size());
        if (end - at > 255) return reg::kMoreData;
        path += '\\' + subKey.substr(at, end - at);
        if (keys.count(path) == 0) missing.push_back(path);
    }
    if (!create && !missing.empty()) return reg::kFileNotFound;
    const bool denied = std::any_of(denied_.begin(), denied_.end(), [&](const std::string& below) {
        return ascii::StartsWithNoCase(path + '\\', below + '\\');
    });
    if (denied && ((access & kWriteRights) != 0 || !missing.empty())) return reg::kAccessDenied;
    for (const std::string& key : missing) keys[key];
    *result = lastHandle_ += 4;
    handles_[*result] = {path, access};
    return reg::kSuccess;
}

// The old call asks for the most the user may have.
std::int32_t FakeRegistry::OpenKey(RegKey parent, const std::string& subKey, RegKey* result) {
    const std::int32_t status = Open(parent, subKey, kAllAccess, false, result);
    return status == reg::kAccessDenied ? Open(parent, subKey, kRead, false, result) : status;
}

std::int32_t FakeRegistry::QueryValueEx(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                                        std::uint32_t* size) {
    Keys::iterator found;
    if (const std::int32_t status = Find(key, reg::kQueryValue, &found)) return status;
    const auto value = found->second.find(name);
    if (value == found->second.end()) return reg::kFileNotFound;
    if (type != nullptr) *type = value->second.type;
    const std::vector<std::uint8_t>& bytes = value->second.data;
    const bool fits = data == nullptr || *size >= bytes.size();
    if (data != nullptr && fits) std::copy(bytes.begin(), bytes.end(), data);
    *size = static_cast<std::uint32_t>(bytes.size());
    return fits ? reg::kSuccess : reg::kMoreData;
}

std::int32_t FakeRegistry::SetValueEx(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                                      std::uint32_t size) {
    Keys::iterator found;
    if (const std::int32_t status = Find(key, kSetValue, &found)) return status;
    found->second[name] = {type, std::vector<std::uint8_t>(data, data + size)};
    return reg::kSuccess;
}

// Only a key without subkeys goes, as with the platform's non-recursive call.
std::int32_t FakeRegistry::DeleteKey(RegKey parent, const std::string& subKey) {
    RegKey key = 0;
    if (const std::int32_t status = Open(parent, subKey, kDelete, false, &key)) return status;
    const std::string path = handles_.at(key).first;
    CloseKey(key);
    const auto next = keys.lower_bound(path + '\\');
    const bool parentOfOthers = next != keys.end() && ascii::StartsWithNoCase(next->first, path + '\\');
    if (path.find('\\') == std::string::npos || parentOfOthers) return reg::kAccessDenied;
    keys.erase(path);
    return reg::kSuccess;
}

std::int32_t FakeRegistry::DeleteValue(RegKey key, const std::string& name) {
    Keys::iterator found;
    if (const std::int32_t status = Find(key, kSetValue, &found)) return status;
    return found->second.erase(name) != 0 ? reg::kSuccess : reg::kFileNotFound;
}

std::int32_t FakeRegistry::QueryInfoKey(RegKey key, std::uint32_t* longest) {
    Keys::iterator found;
    if (const std::int32_t status = Find(key, reg::kQueryValue, &found)) return status;
    *longest = 0;
    for (const auto& value : found->second) *longest = std::max<std::uint32_t>(*longest, value.first.size());
    return reg::kSuccess;
}

std::int32_t FakeRegistry::EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength) {
    Keys::iterator found;
    if (const std::int32_t status = Find(key, reg::kQueryValue, &found)) return status;
    if (valueListingFaults.count(index) != 0) return valueListingFaults[index];
    if (index >= found->second.size()) return reg::kNoMoreItems;
    const std::string& spelled = std::next(found->second.begin(), index)->first;
    const std::int32_t status = CopyName(spelled, name, *nameLength);
    if (status == reg::kSuccess) *nameLength = static_cast<std::uint32_t>(spelled.size());
    return status;
}

// Subkeys come in the order of their names, whatever their case.
std::int32_t FakeRegistry::EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) {
    Keys::iterator found;
    if (const std::int32_t status = Find(key, reg::kEnumerateSubKeys, &found)) return status;
    const std::string prefix = found->first + '\\';
    for (auto it = keys.lower_bound(prefix); it != keys.end() && ascii::StartsWithNoCase(it->first, prefix); ++it) {
        const bool child = it->first.find('\\', prefix.size()) == std::string::npos;
        if (child && index-- == 0) return CopyName(it->first.substr(prefix.size()), name, nameSize);
    }
    return reg::kNoMoreItems;
}

// %NAME% of a defined variable is replaced; an unknown or empty name and a
// lone percent sign stay as written.
std::uint32_t FakeRegistry::ExpandEnvironmentStrings(const std::string& source, char* destination, std::uint32_t size) {
    std::string expanded;
    std::size_t at = 0;
    for (std::size_t open = 0, close = 0; (open = source.find('%', at)) != std::string::npos &&
                                          (close = source.find('%', open + 1)) != std::string::npos;
         at = close + 1) {
        const auto variable = environment.find(source.substr(open + 1, close - open - 1));
        expanded += source.substr(at, open - at);
        expanded += variable != environment.end() ? variable->second : source.substr(open, close - open + 1);
    }
    expanded += source.substr(at) + '\0';
    if (destination != nullptr && size >= expanded.size()) std::copy(expanded.begin(), expanded.end(), destination);
    return static_cast<std::uint32_t>(expanded.size());
}

}  // namespace brakkis::sim
