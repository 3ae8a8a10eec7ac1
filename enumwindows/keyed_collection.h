// An ordered list of shared records, each under a text key. Keys are hashed,
// so filing a machine's worth of records stays linear in their number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace brakkis {

namespace errnum {
inline constexpr std::int32_t kKeyAlreadyUsed = 457;
}  // namespace errnum

template <class T>
class KeyedCollection {
public:
    using Item = std::shared_ptr<T>;

    struct Entry {
        std::string key;
        Item item;
    };
    using const_iterator = typename std::vector<Entry>::const_iterator;

    // Appends; a key already present raises and leaves the collection as it was.
    void Add(Item item, std::string_view key) {
        if (!TryAdd(std::move(item), key)) {
            throw RaisedError(errnum::kKeyAlreadyUsed, "Collection",
                              "This key is already associated with an element of this collection");
        }
    }

    // Appends unless the key is present; tells whether it did.
    bool TryAdd(Item item, std::string_view key) {
        if (Contains(key)) return false;
        entries_.push_back({std::string(key), std::move(item)});
        try {
            index_.emplace(entries_.back().key, entries_.size() - 1);
        } catch (...) {
            entries_.pop_back();
            throw;
        }
        return true;
    }

    // Raises when the key is absent.
    const Item& Get(std::string_view key) const {
        const auto it = index_.find(key);
        if (it == index_.end()) {
            throw RaisedError(errnum::kInvalidCall, "Collection", "Invalid procedure call or argument");
        }
        return entries_[it->second].item;
    }

    // The item under the key, or no record.
    Item Find(std::string_view key) const {
        const auto it = index_.find(key);
        return it == index_.end() ? nullptr : entries_[it->second].item;
    }

    bool Contains(std::string_view key) const { return index_.find(key) != index_.end(); }

    // Position in insertion order, or npos.
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t IndexOf(std::string_view key) const {
        const auto it = index_.find(key);
        return it == index_.end() ? npos : it->second;
    }

    // Raises when the key is absent. Later items move up one place, which
    // costs a pass over them; removal is rare next to adding and looking up.
    void Remove(std::string_view key) {
        const auto it = index_.find(key);
        if (it == index_.end()) {
            throw RaisedError(errnum::kInvalidCall, "Collection", "Invalid procedure call or argument");
        }
        const std::size_t at = it->second;
        index_.erase(it);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
        for (std::size_t i = at; i < entries_.size(); ++i) index_[entries_[i].key] = i;
    }

    std::size_t Count() const noexcept { return entries_.size(); }
    bool Empty() const noexcept { return entries_.empty(); }
    // Zero-based, in insertion order.
    const Item& At(std::size_t position) const { return entries_.at(position).item; }
    const std::string& KeyAt(std::size_t position) const { return entries_.at(position).key; }

    const_iterator begin() const noexcept { return entries_.begin(); }
    const_iterator end() const noexcept { return entries_.end(); }

private:
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const noexcept { return std::hash<std::string_view>{}(key); }
    };

    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t, KeyHash, std::equal_to<>> index_;
};

}  // namespace brakkis
