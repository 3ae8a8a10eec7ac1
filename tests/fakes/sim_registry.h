// An in-memory registry that answers the registry port the way Windows does:
// the same status codes, case-insensitive names that keep their spelling,
// typed data, per-handle access rights. Tests also use it to take write
// rights away under a root and to see whether any handle was left open.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/registry_calls.h"

namespace brakkis::sim {

class SimRegistry : public RegistryCalls {
public:
    SimRegistry();
    ~SimRegistry() override;

    std::int32_t OpenKeyEx(RegKey parent, const std::string& subKey, std::uint32_t options,
                           std::uint32_t access, RegKey* result) override;
    std::int32_t OpenKey(RegKey parent, const std::string& subKey, RegKey* result) override;
    std::int32_t CreateKeyEx(RegKey parent, const std::string& subKey, std::uint32_t options,
                             std::uint32_t access, RegKey* result,
                             std::uint32_t* disposition) override;
    std::int32_t CloseKey(RegKey key) override;
    std::int32_t QueryValueEx(RegKey key, const std::string& name, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* size) override;
    std::int32_t SetValueEx(RegKey key, const std::string& name, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t size) override;
    std::int32_t DeleteKey(RegKey parent, const std::string& subKey) override;
    std::int32_t DeleteValue(RegKey key, const std::string& name) override;
    std::int32_t QueryInfoKey(RegKey key, std::uint32_t* maxValueNameLength) override;
    std::int32_t EnumValue(RegKey key, std::uint32_t index, char* name,
                           std::uint32_t* nameLength) override;
    std::int32_t EnumKey(RegKey key, std::uint32_t index, char* name,
                         std::uint32_t nameSize) override;
    std::uint32_t ExpandEnvironmentStrings(const std::string& source, char* destination,
                                           std::uint32_t size) override;

    // As for a user without administrator rights under HKEY_LOCAL_MACHINE:
    // opening with any write right answers 5, reading still works.
    void DenyWrites(RegKey root);
    // Handles opened and not yet closed; the roots do not count.
    std::size_t OpenHandleCount() const;
    void SetEnvironment(const std::string& name, const std::string& value);

private:
    struct Node;
    struct OpenedKey {
        std::shared_ptr<Node> node;
        std::uint32_t access;
    };

    // The key behind a handle and the rights it was opened with; null for a
    // handle that is 0, closed or was never issued.
    const OpenedKey* Resolve(RegKey key);
    std::int32_t Check(RegKey key, std::uint32_t right, const OpenedKey** opened);
    bool WritesDenied(const Node& node) const;
    RegKey Issue(std::shared_ptr<Node> node, std::uint32_t access);

    std::map<RegKey, OpenedKey> roots_;
    std::map<RegKey, OpenedKey> open_;
    std::set<RegKey> denied_;
    std::map<std::string, std::string> environment_;  // keyed by upper-case name
    RegKey nextHandle_ = 0x1000;
};

}  // namespace brakkis::sim
