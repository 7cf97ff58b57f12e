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
    // The ids of the members scripts call in their loops (their places in the table).
    static constexpr std::int32_t kItemId = 1, kAddId = 2, kExistsId = 3;
    Variant invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) override;

    // C++ interface, with the script's errors (457 duplicate key, 32811
    // missing key, 5 compare mode changed on a filled dictionary).
    void add(const Variant& key, const Variant& item);
    bool exists(const Variant& key) const;
    // The item of a key; reading a missing key adds it with an Empty item.
    Variant& item(const Variant& key);
    void setItem(const Variant& key, const Variant& item);
    // Add, exists and item for a string key given as its text: the same
    // answers, without a string made for a key that is only looked up.
    void addText(std::u16string_view key, const Variant& item);
    bool existsText(std::u16string_view key) const;
    Variant& itemText(std::u16string_view key);
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
        forEachEntry([&](const Entry& e) {
            f(e.key);
            f(e.item);
        });
    }

private:
    struct Entry {
        Variant key;
        Variant item;
    };
    // The open-addressing index: each slot is kEmpty, kGone (a removed key:
    // probes go past it), or an entry's position in the bits below the table
    // size with the upper bits of the key's hash above them. A probe that
    // meets another key tells it apart by those bits nearly always, without
    // reading the entry: in a large dictionary that read is a cache miss.
    // Hashes are 31 bits, so an entry's slot never has the top bit that
    // kEmpty and kGone have.
    using Slot = std::uint32_t;
    static constexpr Slot kEmpty = 0xFFFFFFFFu;
    static constexpr Slot kGone = 0xFFFFFFFEu;
    static constexpr std::uint32_t kDead = 0x80000000u; // in hashes_: a removed entry
    static constexpr std::size_t npos = std::size_t(-1);
    // Positions and hashes share a slot's 32 bits: the table (twice the
    // entries) must stay within 2^31 slots.
    static constexpr std::size_t kMaxEntries = (std::size_t(1) << 30) - 2;
    // Where a key is (found) or would go: the first removed slot passed or
    // the empty one that ended the search.
    struct Spot {
        std::size_t slot;
        bool found;
    };
    std::uint32_t hashOf(const Variant& key) const noexcept;
    std::uint32_t hashText(std::u16string_view key) const noexcept;  // a string key's hash
    bool sameKey(const Variant& stored, const Variant& key) const noexcept;
    template <class Same>
    Spot probeWith(std::uint32_t hash, Same&& same) const;     // same(stored key): the one sought
    Spot probe(const Variant& key, std::uint32_t hash) const noexcept; // the index is not empty
    Spot probeText(std::u16string_view key, std::uint32_t hash) const;
    std::size_t find(const Variant& key) const noexcept;              // entry position or npos
    std::size_t entryAt(std::size_t slot) const noexcept { return slots_[slot] & (slots_.size() - 1); }
    // Adds a key known to be absent at spot; returns its entry position.
    std::size_t insert(const Variant& key, const Variant& item, std::uint32_t hash, std::size_t spot);
    // More than 4/5 of the slots used (by entries and removed keys). Runs of
    // used slots are long at that load, but passed without reading entries;
    // and a dense index is a small one, more of which stays in the cache.
    bool full(std::size_t used) const noexcept { return used * 5 > slots_.size() * 4; }
    void place(std::size_t entry);
    void reindex();
    void retally() noexcept {
        tally_.set(static_cast<std::int64_t>(entries_.capacity() * sizeof(Entry) +
                                             hashes_.capacity() * sizeof(std::uint32_t) +
                                             slots_.capacity() * sizeof(Slot)));
    }
    template <class F>
    void forEachEntry(F&& f) const {
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (!(hashes_[i] & kDead)) f(entries_[i]);
    }

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

    // Entries in insertion order; a removed one stays, dead, until dead ones
    // outnumber the live ones, so that removing every key one by one stays
    // linear. hashes_ runs beside entries_ (read only to rebuild the index).
    std::vector<Entry> entries_;
    std::vector<std::uint32_t> hashes_;
    std::size_t dead_ = 0;
    std::vector<Slot> slots_;   // power-of-two size, never fewer than the entries
    std::size_t used_ = 0;      // slots holding an entry or kGone
    ops::CompareMode mode_ = ops::CompareMode::Binary;
    std::int32_t modeValue_ = 0;
    Ref<DictionaryList> list_;
    memory::Tally tally_;
    Dictionary* prev_ = nullptr;
    Dictionary* next_ = nullptr;
};

} // namespace qz::script
