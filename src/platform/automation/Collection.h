// An ordered collection of Variant items with optional string keys that compare
// without regard to case. Items are numbered from 1. Usable from C++ directly
// and from scripts (Add, Item (default), Remove, Count, For Each).
#pragma once

#include "SimpleDispatch.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace qz {

class Collection : public SimpleDispatch<Collection> {
public:
    static const MemberTable<Collection>& members();
    std::u16string typeName() const override { return u"Collection"; }
    Ref<Enumerator> newEnum() override;

    // C++ interface. Positions are 1-based. A duplicate key raises 457; a
    // missing key or position raises 5 (key) or 9 (position).
    void add(Variant item, std::u16string_view key = {});
    void insertAt(std::size_t position, Variant item, std::u16string_view key = {});
    std::int32_t count() const noexcept { return static_cast<std::int32_t>(items_.size()); }
    const Variant& item(std::size_t position) const;
    const Variant& item(std::u16string_view key) const;
    Variant* find(std::u16string_view key) noexcept;          // null when absent
    const std::u16string& keyAt(std::size_t position) const;  // "" when the item has no key
    bool contains(std::u16string_view key) const noexcept;
    void remove(std::size_t position);
    void remove(std::u16string_view key);
    void clear() noexcept;

    // Script-side lookup: a number is a position, anything else is a key.
    const Variant& lookup(const Variant& index) const;

private:
    struct Entry {
        std::u16string key;
        Variant value;
    };
    std::size_t positionOf(std::u16string_view key) const noexcept; // 0 when absent
    std::size_t positionOfIndex(const Variant& index) const;
    void reindexFrom(std::size_t from);

    Variant addMember(std::uint8_t, std::span<Variant> args);
    Variant itemMember(std::uint8_t, std::span<Variant> args);
    Variant removeMember(std::uint8_t, std::span<Variant> args);
    Variant countMember(std::uint8_t, std::span<Variant> args);

    std::vector<Entry> items_;
    // Folded key -> 0-based position; rebuilt from a position on insert/remove.
    std::unordered_map<std::u16string, std::size_t, NoCaseHash, NoCaseEqual> byKey_;
    friend class CollectionEnumerator;
};

} // namespace qz
