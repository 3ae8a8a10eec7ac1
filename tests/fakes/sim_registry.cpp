#include "tests/fakes/sim_registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace brakkis::sim {
namespace {

constexpr std::int32_t kKeyDeleted = 1018;

constexpr std::uint32_t kSetValue = 0x0002;
constexpr std::uint32_t kCreateSubKey = 0x0004;
constexpr std::uint32_t kCreateLink = 0x0020;
constexpr std::uint32_t kDelete = 0x00010000;
constexpr std::uint32_t kWriteDac = 0x00040000;
constexpr std::uint32_t kWriteOwner = 0x00080000;
constexpr std::uint32_t kWriteRights =
    kSetValue | kCreateSubKey | kCreateLink | kDelete | kWriteDac | kWriteOwner;
constexpr std::uint32_t kKeyRead = 0x00020019;
constexpr std::uint32_t kKeyAllAccess = 0x000F003F;

constexpr std::int32_t kBadPathname = 161;

constexpr std::uint32_t kCreatedNewKey = 1;
constexpr std::uint32_t kOpenedExistingKey = 2;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool SameName(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

bool IsText(std::uint32_t type) {
    return type == reg::kSz || type == reg::kExpandSz || type == reg::kMultiSz;
}

// Runs of backslashes separate names; empty names between them are skipped.
// A path may not start with one.
std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> names;
    std::string current;
    for (const char c : path) {
        if (c != '\\') {
            current += c;
        } else if (!current.empty()) {
            names.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty()) names.push_back(std::move(current));
    return names;
}

}  // namespace

struct SimRegistry::Node {
    struct Value {
        std::string name;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };

    std::string name;
    RegKey root = 0;
    Node* parent = nullptr;  // a key with subkeys cannot be deleted, so it outlives them
    bool deleted = false;
    std::vector<std::shared_ptr<Node>> subkeys;  // sorted by upper-case name, as Windows lists them
    std::vector<Value> values;                   // in creation order

    std::shared_ptr<Node> Find(const std::string& child) const {
        for (const auto& key : subkeys) {
            if (SameName(key->name, child)) return key;
        }
        return nullptr;
    }
    std::shared_ptr<Node> Add(const std::string& child) {
        auto key = std::make_shared<Node>();
        key->name = child;
        key->root = root;
        key->parent = this;
        const auto at = std::find_if(subkeys.begin(), subkeys.end(), [&](const auto& other) {
            return Upper(other->name) > Upper(child);
        });
        subkeys.insert(at, key);
        return key;
    }
    Value* FindValue(const std::string& valueName) {
        for (auto& value : values) {
            if (SameName(value.name, valueName)) return &value;
        }
        return nullptr;
    }
};

SimRegistry::SimRegistry() {
    for (const RegKey root : {reg::kClassesRoot, reg::kCurrentUser, reg::kLocalMachine,
                              static_cast<RegKey>(static_cast<std::int32_t>(0x80000003u))}) {
        auto node = std::make_shared<Node>();
        node->root = root;
        roots_[root] = OpenedKey{std::move(node), kKeyAllAccess};
    }
}

SimRegistry::~SimRegistry() = default;

const SimRegistry::OpenedKey* SimRegistry::Resolve(RegKey key) {
    if (const auto root = roots_.find(key); root != roots_.end()) return &root->second;
    if (const auto opened = open_.find(key); opened != open_.end()) return &opened->second;
    return nullptr;
}

// The checks every call on an open key makes, in the platform's order.
std::int32_t SimRegistry::Check(RegKey key, std::uint32_t right, const OpenedKey** opened) {
    *opened = Resolve(key);
    if (*opened == nullptr) return reg::kInvalidHandle;
    if ((*opened)->node->deleted) return kKeyDeleted;
    std::uint32_t granted = (*opened)->access;
    if (WritesDenied(*(*opened)->node)) granted &= ~kWriteRights;
    if ((granted & right) != right) return reg::kAccessDenied;
    return reg::kSuccess;
}

bool SimRegistry::WritesDenied(const Node& node) const { return denied_.count(node.root) != 0; }

RegKey SimRegistry::Issue(std::shared_ptr<Node> node, std::uint32_t access) {
    const RegKey handle = nextHandle_;
    nextHandle_ += 4;
    open_[handle] = OpenedKey{std::move(node), access};
    return handle;
}

std::int32_t SimRegistry::OpenKeyEx(RegKey parent, const std::string& subKey,
                                    std::uint32_t /*options*/, std::uint32_t access,
                                    RegKey* result) {
    *result = 0;
    const OpenedKey* from = nullptr;
    if (const auto status = Check(parent, 0, &from); status != reg::kSuccess) return status;
    if (!subKey.empty() && subKey.front() == '\\') return kBadPathname;
    std::shared_ptr<Node> node = from->node;
    for (const auto& name : SplitPath(subKey)) {
        node = node->Find(name);
        if (!node) return reg::kFileNotFound;
    }
    if (WritesDenied(*node) && (access & kWriteRights) != 0) return reg::kAccessDenied;
    *result = Issue(std::move(node), access);
    return reg::kSuccess;
}

// The plain open asks for the most it may have and hands back the parent
// itself for an empty path, as the platform's old call does.
std::int32_t SimRegistry::OpenKey(RegKey parent, const std::string& subKey, RegKey* result) {
    if (SplitPath(subKey).empty()) {
        *result = parent;
        return reg::kSuccess;
    }
    const OpenedKey* from = nullptr;
    if (Check(parent, 0, &from) == reg::kSuccess && WritesDenied(*from->node)) {
        return OpenKeyEx(parent, subKey, 0, kKeyRead, result);
    }
    return OpenKeyEx(parent, subKey, 0, kKeyAllAccess, result);
}

std::int32_t SimRegistry::CreateKeyEx(RegKey parent, const std::string& subKey,
                                      std::uint32_t /*options*/, std::uint32_t access,
                                      RegKey* result, std::uint32_t* disposition) {
    *result = 0;
    const OpenedKey* from = nullptr;
    if (const auto status = Check(parent, 0, &from); status != reg::kSuccess) return status;
    if (!subKey.empty() && subKey.front() == '\\') return kBadPathname;
    if (WritesDenied(*from->node) && (access & kWriteRights) != 0) return reg::kAccessDenied;
    std::shared_ptr<Node> node = from->node;
    bool created = false;
    for (const auto& name : SplitPath(subKey)) {
        if (name.size() > 255) return reg::kInvalidParameter;
        auto next = node->Find(name);
        if (!next) {
            next = node->Add(name);
            created = true;
        }
        node = std::move(next);
    }
    if (disposition != nullptr) *disposition = created ? kCreatedNewKey : kOpenedExistingKey;
    *result = Issue(std::move(node), access);
    return reg::kSuccess;
}

std::int32_t SimRegistry::CloseKey(RegKey key) {
    if (roots_.count(key) != 0) return reg::kSuccess;
    return open_.erase(key) != 0 ? reg::kSuccess : reg::kInvalidHandle;
}

std::int32_t SimRegistry::QueryValueEx(RegKey key, const std::string& name, std::uint32_t* type,
                                       std::uint8_t* data, std::uint32_t* size) {
    if (data != nullptr && size == nullptr) return reg::kInvalidParameter;
    const OpenedKey* opened = nullptr;
    if (const auto status = Check(key, reg::kQueryValue, &opened); status != reg::kSuccess) {
        return status;
    }
    const Node::Value* value = opened->node->FindValue(name);
    if (value == nullptr) return reg::kFileNotFound;
    if (type != nullptr) *type = value->type;
    if (size == nullptr) return reg::kSuccess;
    const auto needed = static_cast<std::uint32_t>(value->data.size());
    if (data != nullptr && *size < needed) {
        *size = needed;
        return reg::kMoreData;
    }
    if (data != nullptr && needed != 0) {
        std::memcpy(data, value->data.data(), needed);
        // Text stored without its terminator gets one where there is room.
        if (IsText(value->type) && *size > needed && data[needed - 1] != 0) data[needed] = 0;
    }
    *size = needed;
    return reg::kSuccess;
}

std::int32_t SimRegistry::SetValueEx(RegKey key, const std::string& name, std::uint32_t type,
                                     const std::uint8_t* data, std::uint32_t size) {
    const OpenedKey* opened = nullptr;
    if (const auto status = Check(key, kSetValue, &opened); status != reg::kSuccess) {
        return status;
    }
    // Text whose size leaves out the terminator that follows it is stored
    // with the terminator, as the platform's ANSI call does: it looks one
    // byte past the given size.
    if (data != nullptr && IsText(type) && size != 0 && data[size - 1] != 0 && data[size] == 0) {
        ++size;
    }
    std::vector<std::uint8_t> bytes(data, data + (data != nullptr ? size : 0));
    if (Node::Value* value = opened->node->FindValue(name)) {
        value->type = type;
        value->data = std::move(bytes);
    } else {
        opened->node->values.push_back({name, type, std::move(bytes)});
    }
    return reg::kSuccess;
}

// Only a key without subkeys goes, as with the platform's non-recursive call.
std::int32_t SimRegistry::DeleteKey(RegKey parent, const std::string& subKey) {
    RegKey target = 0;
    if (const auto status = OpenKeyEx(parent, subKey, 0, kDelete, &target);
        status != reg::kSuccess) {
        return status;
    }
    const std::shared_ptr<Node> node = open_.at(target).node;
    CloseKey(target);
    if (node->parent == nullptr || !node->subkeys.empty()) return reg::kAccessDenied;
    auto& siblings = node->parent->subkeys;
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
    node->deleted = true;
    node->parent = nullptr;
    return reg::kSuccess;
}

std::int32_t SimRegistry::DeleteValue(RegKey key, const std::string& name) {
    const OpenedKey* opened = nullptr;
    if (const auto status = Check(key, kSetValue, &opened); status != reg::kSuccess) {
        return status;
    }
    auto& values = opened->node->values;
    const auto value = std::find_if(values.begin(), values.end(),
                                    [&](const auto& v) { return SameName(v.name, name); });
    if (value == values.end()) return reg::kFileNotFound;
    values.erase(value);
    return reg::kSuccess;
}

std::int32_t SimRegistry::QueryInfoKey(RegKey key, std::uint32_t* maxValueNameLength) {
    const OpenedKey* opened = nullptr;
    if (const auto status = Check(key, reg::kQueryValue, &opened); status != reg::kSuccess) {
        return status;
    }
    std::size_t longest = 0;
    for (const auto& value : opened->node->values) longest = std::max(longest, value.name.size());
    *maxValueNameLength = static_cast<std::uint32_t>(longest);
    return reg::kSuccess;
}

std::int32_t SimRegistry::EnumValue(RegKey key, std::uint32_t index, char* name,
                                    std::uint32_t* nameLength) {
    const OpenedKey* opened = nullptr;
    if (const auto status = Check(key, reg::kQueryValue, &opened); status != reg::kSuccess) {
        return status;
    }
    const auto& values = opened->node->values;
    if (index >= values.size()) return reg::kNoMoreItems;
    const std::string& found = values[index].name;
    if (found.size() >= *nameLength) return reg::kMoreData;
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameLength = static_cast<std::uint32_t>(found.size());
    return reg::kSuccess;
}

std::int32_t SimRegistry::EnumKey(RegKey key, std::uint32_t index, char* name,
                                  std::uint32_t nameSize) {
    const OpenedKey* opened = nullptr;
    if (const auto status = Check(key, reg::kEnumerateSubKeys, &opened);
        status != reg::kSuccess) {
        return status;
    }
    const auto& subkeys = opened->node->subkeys;
    if (index >= subkeys.size()) return reg::kNoMoreItems;
    const std::string& found = subkeys[index]->name;
    if (found.size() >= nameSize) return reg::kMoreData;
    std::memcpy(name, found.c_str(), found.size() + 1);
    return reg::kSuccess;
}

// %NAME% of a defined variable is replaced; anything else, an unknown name
// or a lone percent sign, stays as written.
std::uint32_t SimRegistry::ExpandEnvironmentStrings(const std::string& source, char* destination,
                                                    std::uint32_t size) {
    std::string expanded;
    for (std::size_t at = 0; at < source.size();) {
        const std::size_t open = source.find('%', at);
        const std::size_t close =
            open == std::string::npos ? std::string::npos : source.find('%', open + 1);
        if (close == std::string::npos) {
            expanded += source.substr(at);
            break;
        }
        expanded += source.substr(at, open - at);
        const auto variable = environment_.find(Upper(source.substr(open + 1, close - open - 1)));
        expanded += variable != environment_.end() ? variable->second
                                                   : source.substr(open, close - open + 1);
        at = close + 1;
    }
    const auto needed = static_cast<std::uint32_t>(expanded.size() + 1);
    if (destination != nullptr && size >= needed) {
        std::memcpy(destination, expanded.c_str(), needed);
    }
    return needed;
}

void SimRegistry::DenyWrites(RegKey root) { denied_.insert(root); }

std::size_t SimRegistry::OpenHandleCount() const { return open_.size(); }

void SimRegistry::SetEnvironment(const std::string& name, const std::string& value) {
    environment_[Upper(name)] = value;
}

}  // namespace brakkis::sim
