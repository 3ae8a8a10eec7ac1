// The registry as plain data, answering the registry port with the statuses
// Windows gives: each key is its path in a map, with its values in another;
// names match in any case and keep the spelling they were made with, the
// create call makes a whole path, and each handle holds the rights it was
// opened with.
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/registry_calls.h"

namespace brakkis::sim {

struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const {
        return ascii::LowerCase(a) < ascii::LowerCase(b);
    }
};

class FakeRegistry : public RegistryCalls {
public:
    struct Value {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };
    using Values = std::map<std::string, Value, NoCase>;

    FakeRegistry() {
        for (const RegKey root : {reg::kClassesRoot, reg::kCurrentUser, reg::kLocalMachine}) keys[Path(root)];
    }
    // Where keys holds a key: its root's number, then its path.
    static std::string Path(RegKey root, const std::string& path = "") {
        return std::to_string(root) + (path.empty() ? "" : "\\" + path);
    }

    std::int32_t OpenKeyEx(RegKey parent, const std::string& path, std::uint32_t, std::uint32_t access,
                           RegKey* key) override {
        return Open(parent, path, access, false, key);
    }
    std::int32_t CreateKeyEx(RegKey parent, const std::string& path, std::uint32_t, std::uint32_t access, RegKey* key,
                             std::uint32_t*) override {
        return Open(parent, path, access, true, key);
    }
    std::int32_t OpenKey(RegKey, const std::string&, RegKey*) override;
    std::int32_t CloseKey(RegKey key) override {
        return handles_.erase(key) != 0 ? reg::kSuccess : reg::kInvalidHandle;
    }
    std::int32_t QueryValueEx(RegKey, const std::string&, std::uint32_t*, std::uint8_t*, std::uint32_t*) override;
    std::int32_t SetValueEx(RegKey, const std::string&, std::uint32_t, const std::uint8_t*, std::uint32_t) override;
    std::int32_t DeleteKey(RegKey, const std::string&) override;
    std::int32_t DeleteValue(RegKey, const std::string&) override;
    std::int32_t QueryInfoKey(RegKey, std::uint32_t*) override;
    std::int32_t EnumValue(RegKey, std::uint32_t, char*, std::uint32_t*) override;
    std::int32_t EnumKey(RegKey, std::uint32_t, char*, std::uint32_t) override;
    std::uint32_t ExpandEnvironmentStrings(const std::string&, char*, std::uint32_t) override;

    // As for a user without administrator rights: a key at or below the path
    // can be neither made nor opened for writing; reading still works.
    void DenyWrites(RegKey root, const std::string& path = "") { denied_.insert(Path(root, path)); }
    // Handles opened and not yet closed; the roots do not count.
    std::size_t OpenHandleCount() const { return handles_.size(); }

    std::map<std::string, Values, NoCase> keys;
    std::map<std::string, std::string, NoCase> environment;
    // What the listing of values answers at an index instead of a name, as
    // it may when the values change while they are listed.
    std::map<std::uint32_t, std::int32_t> valueListingFaults;

private:
    using Keys = std::map<std::string, Values, NoCase>;
    std::int32_t Open(RegKey parent, const std::string& path, std::uint32_t access, bool create, RegKey* key);
    // The key behind a handle that holds the right asked for.
    std::int32_t Find(RegKey handle, std::uint32_t right, Keys::iterator* key);

    std::map<RegKey, std::pair<std::string, std::uint32_t>> handles_;  // the path and the rights of each
    std::set<std::string, NoCase> denied_;
    RegKey lastHandle_ = 0x1000;
};

}  // namespace brakkis::sim
