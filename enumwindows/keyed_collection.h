// An ordered list of shared records, each under a text key. Keys are hashed,
// so filing a machine's worth of records stays linear in their number.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
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
    using ConstIterator = typename std::vector<Entry>::const_iterator;

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
        if ((entries_.size() + 1) * 2 > slots_.size()) Reindex(std::max<std::size_t>(8, slots_.size() * 2));
        entries_.push_back({std::string(key), std::move(item)});
        slots_[SlotOf(key)] = static_cast<std::uint32_t>(entries_.size() - 1);
        return true;
    }

    // Raises when the key is absent.
    const Item& Get(std::string_view key) const { return entries_[PositionOrRaise(key)].item; }

    // The item under the key, or no record.
    Item Find(std::string_view key) const {
        const std::size_t at = IndexOf(key);
        return at == kNotFound ? nullptr : entries_[at].item;
    }

    bool Contains(std::string_view key) const { return IndexOf(key) != kNotFound; }

    // Position in insertion order, or kNotFound.
    static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);
    std::size_t IndexOf(std::string_view key) const {
        if (slots_.empty()) return kNotFound;
        const std::uint32_t slot = slots_[SlotOf(key)];
        return slot == kEmptySlot ? kNotFound : slot;
    }

    // Raises when the key is absent. Later items move up one place and the
    // index is rebuilt, a pass over the collection; removal is rare next to
    // adding and looking up.
    void Remove(std::string_view key) {
        const std::size_t at = PositionOrRaise(key);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
        Reindex(slots_.size());
    }

    std::size_t Count() const noexcept { return entries_.size(); }
    bool Empty() const noexcept { return entries_.empty(); }
    // Zero-based, in insertion order.
    const Item& At(std::size_t position) const { return entries_.at(position).item; }
    const std::string& KeyAt(std::size_t position) const { return entries_.at(position).key; }

    ConstIterator begin() const noexcept { return entries_.begin(); }
    ConstIterator end() const noexcept { return entries_.end(); }

private:
    // An open-addressing table of positions in entries_, at most half full:
    // no allocation per item, and an empty collection allocates nothing.
    static constexpr std::uint32_t kEmptySlot = 0xFFFFFFFFu;

    std::size_t PositionOrRaise(std::string_view key) const {
        const std::size_t at = IndexOf(key);
        if (at == kNotFound) {
            throw RaisedError(errnum::kInvalidCall, "Collection", "Invalid procedure call or argument");
        }
        return at;
    }

    // The slot holding the key, or the empty one where it would go.
    std::size_t SlotOf(std::string_view key) const {
        const std::size_t mask = slots_.size() - 1;
        const std::size_t hash = std::hash<std::string_view>{}(key);
        std::size_t slot = hash & mask;
        while (slots_[slot] != kEmptySlot && entries_[slots_[slot]].key != key) slot = (slot + 1) & mask;
        return slot;
    }

    void Reindex(std::size_t slotCount) {
        slots_.assign(slotCount, kEmptySlot);
        for (std::size_t i = 0; i < entries_.size(); ++i)
            slots_[SlotOf(entries_[i].key)] = static_cast<std::uint32_t>(i);
    }

    std::vector<Entry> entries_;
    std::vector<std::uint32_t> slots_;  // a power of two in size, or empty
};

}  // namespace brakkis
