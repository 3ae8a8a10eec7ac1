// The registry as plain data with the statuses Windows gives: a key is its whole path, root number first; a
// handle, the path it was opened on.
#pragma once

#include <algorithm>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "platform/registry_calls.h"

namespace brakkis::sim {

struct FakeRegistry : RegistryCalls {
    using Values = std::map<std::string, std::pair<std::uint32_t, std::string>>;  // each value's type and data

    static std::string Path(RegKey root, const std::string& path = "") {
        return std::to_string(root) + (path.empty() ? "" : "\\" + path);
    }
    // As for a user without administrator rights: at or below the path, keys can be read but not made or written.
    void DenyWrites(RegKey root, const std::string& path = "") { denied.push_back(Path(root, path) + '\\'); }

    std::int32_t OpenKeyEx(RegKey parent, const std::string& path, std::uint32_t, std::uint32_t access,
                           RegKey* key) override {
        return Open(parent, path, access, false, key);
    }
    std::int32_t OpenKey(RegKey parent, const std::string& path, RegKey* key) override {
        return Open(parent, path, reg::kQueryValue, false, key);
    }
    std::int32_t CreateKeyEx(RegKey parent, const std::string& path, std::uint32_t, std::uint32_t access, RegKey* key,
                             std::uint32_t*) override {
        return Open(parent, path, access, true, key);
    }
    std::int32_t CloseKey(RegKey key) override { return handles.erase(key) ? reg::kSuccess : reg::kInvalidHandle; }
    std::int32_t QueryValueEx(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* size) override {
        if (!handles.count(key)) return reg::kInvalidHandle;
        if (!keys[handles[key]].count(name)) return reg::kFileNotFound;
        const auto& [stored, bytes] = keys[handles[key]][name];
        const bool fits = data == nullptr || *size >= bytes.size();
        if (data != nullptr && fits) std::copy(bytes.begin(), bytes.end(), data);
        *type = stored;
        *size = Size(bytes);
        return fits ? reg::kSuccess : reg::kMoreData;
    }
    std::int32_t SetValueEx(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) override {
        keys[handles.at(key)][name] = {type, std::string(data, data + size)};
        return reg::kSuccess;
    }
    std::int32_t DeleteKey(RegKey root, const std::string& path) override {
        return keys.erase(Path(root, path)) ? reg::kSuccess : reg::kFileNotFound;
    }
    std::int32_t DeleteValue(RegKey key, const std::string& name) override {
        return keys[handles.at(key)].erase(name) ? reg::kSuccess : reg::kFileNotFound;
    }
    std::int32_t QueryInfoKey(RegKey key, std::uint32_t* longest) override {
        *longest = 0;
        for (const auto& [name, value] : keys[handles.at(key)]) *longest = std::max(*longest, Size(name));
        return reg::kSuccess;
    }
    // A listing that breaks off at listingBreaksAt does so, for values, with a refusal; for subkeys, out of memory.
    std::int32_t EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
        const Values& values = keys[handles.at(key)];
        if (index == listingBreaksAt) return reg::kAccessDenied;
        if (index >= values.size()) return reg::kNoMoreItems;
        const std::string& found = std::next(values.begin(), index)->first;
        if (Size(found) >= *length) return reg::kMoreData;
        *length = Size(found);
        return Copy(found, name);
    }
    std::int32_t EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t size) override {
        if (index == listingBreaksAt) throw std::bad_alloc();
        const std::string parent = handles.at(key) + '\\';
        for (auto it = keys.upper_bound(parent); it != keys.end() && it->first.starts_with(parent); ++it) {
            const std::string child = it->first.substr(parent.size());
            if (child.find('\\') != std::string::npos || index-- != 0) continue;
            return Size(child) < size ? Copy(child, name) : reg::kMoreData;
        }
        return reg::kNoMoreItems;
    }
    // Only the variable the tests use, with Wine's value.
    std::uint32_t ExpandEnvironmentStrings(const std::string& source, char* expanded, std::uint32_t size) override {
        std::string text = source;
        if (text.starts_with("%SystemRoot%")) text.replace(0, 12, "C:\\windows");
        if (expanded != nullptr && size > text.size()) Copy(text, expanded);
        return Size(text) + 1;
    }

    std::map<std::string, Values> keys;
    std::map<RegKey, std::string> handles;  // opened and not yet closed
    std::vector<std::string> denied;
    std::uint32_t listingBreaksAt = ~0u;
    RegKey lastHandle = 0x1000;

    static std::uint32_t Size(const std::string& text) { return static_cast<std::uint32_t>(text.size()); }
    static std::int32_t Copy(const std::string& text, char* to) {
        *std::copy(text.begin(), text.end(), to) = '\0';
        return reg::kSuccess;
    }
    std::int32_t Open(RegKey parent, const std::string& path, std::uint32_t access, bool create, RegKey* key) {
        if (parent >= 0 && !handles.count(parent)) return reg::kInvalidHandle;
        const std::string from = parent < 0 ? Path(parent) : handles[parent];
        const std::string whole = path.empty() ? from : from + '\\' + path;
        if (!create && !keys.count(whole)) return reg::kFileNotFound;
        const bool writes = (access & ~0x20019u) != 0 || !keys.count(whole);  // anything but reading
        for (const std::string& below : denied)
            if (writes && (whole + '\\').starts_with(below)) return reg::kAccessDenied;
        for (auto at = whole.find('\\', from.size()); at != std::string::npos; at = whole.find('\\', at + 1))
            keys[whole.substr(0, at)];
        keys[whole];
        handles[*key = lastHandle += 4] = whole;
        return reg::kSuccess;
    }
};

}  // namespace brakkis::sim
