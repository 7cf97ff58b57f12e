// "Scripting.Dictionary": an ordered map from keys of any subtype (strings
// compared by the compare mode, numbers by value, objects by identity) to
// items. Usable from C++ and from scripts.
#pragma once

#include "platform/automation/SimpleDispatch.h"
#include "platform/automation/VariantOps.h"

#include <vector>

namespace qz::script {

class Dictionary;

// The dictionaries made by one script engine. A dictionary that holds itself,
// or one another, is never released by counting references; the engine walks
// this list when it closes to find and empty such cycles.
struct DictionaryList : RefCounted {
    Dictionary* first = nullptr;
};

class Dictionary : public SimpleDispatch<Dictionary> {
public:
    Dictionary() = default;
    ~Dictionary() override;
    static const MemberTable<Dictionary>& members();
    std::u16string typeName() const override { return u"Dictionary"; }
    Ref<Enumerator> newEnum() override;

    // C++ interface, with the script's errors (457 duplicate key, 32811
    // missing key, 5 compare mode changed on a filled dictionary).
    void add(const Variant& key, const Variant& item);
    bool exists(const Variant& key) const;
    // The item of a key; reading a missing key adds it with an Empty item.
    Variant& item(const Variant& key);
    void setItem(const Variant& key, const Variant& item);
    void rename(const Variant& oldKey, const Variant& newKey);
    void remove(const Variant& key);
    void removeAll() noexcept;
    std::int32_t count() const noexcept { return static_cast<std::int32_t>(entries_.size() - dead_); }
    std::vector<Variant> keys() const;
    std::vector<Variant> items() const;
    void setCompareMode(std::int32_t mode);

    // Joins a list of dictionaries (once); leaves it when destroyed.
    void joinList(Ref<DictionaryList> list);
    Dictionary* nextInList() const noexcept { return next_; }
    // Calls f on every key and item held.
    template <class F>
    void forEachValue(F&& f) const {
        for (const Entry& e : entries_)
            if (e.alive) {
                f(e.key);
                f(e.item);
            }
    }

private:
    struct Entry {
        Variant key;
        Variant item;
        std::uint32_t hash = 0;
        bool alive = true;
    };
    // The open-addressing index holds entry positions only, or kEmpty /
    // kGone (a removed key: probes go past it). Four bytes a slot keep the
    // index of a large dictionary small enough to stay in the cache; the
    // entry's stored hash is compared before its key.
    using Slot = std::uint32_t;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    static constexpr std::uint32_t kGone = 0xFFFFFFFEu;
    static Variant normalizeKey(const Variant& key);
    std::uint32_t hashOf(const Variant& key) const noexcept;
    // The slot holding key, or npos (the index is not empty).
    std::size_t probe(const Variant& key, std::uint32_t hash) const noexcept;
    std::size_t find(const Variant& key) const; // entry index, npos when absent
    void place(std::size_t entry);
    void reindex(std::size_t live);

    Variant addMember(std::uint8_t, std::span<Variant>);
    Variant existsMember(std::uint8_t, std::span<Variant>);
    Variant itemMember(std::uint8_t, std::span<Variant>);
    Variant keyMember(std::uint8_t, std::span<Variant>);
    Variant itemsMember(std::uint8_t, std::span<Variant>);
    Variant keysMember(std::uint8_t, std::span<Variant>);
    Variant removeMember(std::uint8_t, std::span<Variant>);
    Variant removeAllMember(std::uint8_t, std::span<Variant>);
    Variant countMember(std::uint8_t, std::span<Variant>);
    Variant compareModeMember(std::uint8_t, std::span<Variant>);

    // Entries in insertion order; a removed one stays as a dead slot until
    // dead slots outnumber the live ones, so that removing every key one by
    // one stays linear.
    std::vector<Entry> entries_;
    std::size_t dead_ = 0;
    std::vector<Slot> slots_;   // power-of-two size, at most two thirds used
    std::size_t used_ = 0;      // slots holding an entry or kGone
    ops::CompareMode mode_ = ops::CompareMode::Binary;
    std::int32_t modeValue_ = 0;
    Ref<DictionaryList> list_;
    Dictionary* prev_ = nullptr;
    Dictionary* next_ = nullptr;
};

} // namespace qz::script
