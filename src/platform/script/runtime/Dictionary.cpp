#include "Dictionary.h"

#include "Builtins.h"

#include "platform/automation/Text.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace qz::script {

const MemberTable<Dictionary>& Dictionary::members() {
    // Item, Add and Exists stay first: invoke() knows them by their places.
    static const MemberTable<Dictionary> t{
        {u"Item", kGet | kLet | kSet, 1, 1, &Dictionary::itemMember, true},
        {u"Add", kCall, 2, 2, &Dictionary::addMember},
        {u"Exists", kCall | kGet, 1, 1, &Dictionary::existsMember},
        {u"Key", kLet, 1, 1, &Dictionary::keyMember},
        {u"Items", kCall | kGet, 0, 0, &Dictionary::itemsMember},
        {u"Keys", kCall | kGet, 0, 0, &Dictionary::keysMember},
        {u"Remove", kCall, 1, 1, &Dictionary::removeMember},
        {u"RemoveAll", kCall, 0, 0, &Dictionary::removeAllMember},
        {u"Count", kCall | kGet, 0, 0, &Dictionary::countMember},
        {u"CompareMode", kGet | kLet, 0, 0, &Dictionary::compareModeMember},
    };
    return t;
}

// Reading an item, Exists and Add, the calls scripts make in their loops, go
// straight to their work; any other call, or one of these in another form,
// takes the table's checks. The ids are the members' places in the table.
Variant Dictionary::invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) {
    if (!(kind & (kLet | kSet))) {
        if (args.size() == 1 && (kind & kGet) && (id == kItemId || id == kDispidValue)) return item(args[0]);
        if (args.size() == 1 && (kind & (kCall | kGet)) && id == kExistsId) return Variant(exists(args[0]));
        if (args.size() == 2 && (kind & kCall) && id == kAddId) {
            add(args[0], args[1]);
            return {};
        }
    }
    return SimpleDispatch::invoke(id, kind, args);
}

namespace {

class KeyEnumerator final : public Enumerator {
public:
    explicit KeyEnumerator(std::vector<Variant> keys) : keys_(std::move(keys)) {}
    bool next(Variant& out) override {
        if (pos_ >= keys_.size()) return false;
        out = keys_[pos_++];
        return true;
    }

private:
    std::vector<Variant> keys_;
    std::size_t pos_ = 0;
};

bool numericKey(VarType t) {
    switch (t) {
    case VarType::Byte: case VarType::Integer: case VarType::Long: case VarType::Single:
    case VarType::Double: case VarType::Currency: case VarType::Decimal: case VarType::Date:
    case VarType::Boolean:
        return true;
    default:
        return false;
    }
}

} // namespace

Dictionary::~Dictionary() {
    if (!list_) return;
    if (prev_) prev_->next_ = next_;
    else list_->first = next_;
    if (next_) next_->prev_ = prev_;
}

void Dictionary::joinList(Ref<DictionaryList> list) {
    if (list_ || !list) return;
    list_ = std::move(list);
    next_ = list_->first;
    if (next_) next_->prev_ = this;
    list_->first = this;
}

Ref<Enumerator> Dictionary::newEnum() { return Ref<Enumerator>(new KeyEnumerator(keys())); }

namespace {

// The last step of a 64-bit mixer: every input bit reaches the low bits that
// pick the slot.
std::uint32_t mix(std::uint64_t h) noexcept {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

std::uint64_t word(const char16_t* at) noexcept {
    std::uint64_t w;
    std::memcpy(&w, at, sizeof w);
    return w;
}

// Texts compared four code units at a time, the last four overlapping the
// ones before when the length is not a multiple of four.
bool sameUnits(std::u16string_view a, std::u16string_view b) noexcept {
    const std::size_t n = a.size();
    if (n != b.size()) return false;
    const char16_t *p = a.data(), *q = b.data();
    if (n < 4) {
        for (std::size_t i = 0; i < n; ++i)
            if (p[i] != q[i]) return false;
        return true;
    }
    for (std::size_t i = 0; i + 4 < n; i += 4)
        if (word(p + i) != word(q + i)) return false;
    return word(p + n - 4) == word(q + n - 4);
}

// The code units of a text, four at a time (the last four overlapping the
// ones before when the length is not a multiple of four); mix() finishes.
std::uint64_t hashUnits(std::u16string_view s) noexcept {
    const char16_t* p = s.data();
    const std::size_t n = s.size();
    std::uint64_t h = 0x9e3779b97f4a7c15ull ^ n;
    auto step = [&h](std::uint64_t w) {
        h = (h ^ w) * 0xff51afd7ed558ccdull;
        h ^= h >> 32;
    };
    if (n < 4) {
        std::uint64_t w = 0;
        for (std::size_t i = 0; i < n; ++i) w |= static_cast<std::uint64_t>(p[i]) << (16 * i);
        step(w);
        return h;
    }
    for (std::size_t i = 0; i + 4 < n; i += 4) step(word(p + i));
    step(word(p + n - 4));
    return h;
}

} // namespace

// Keys hash as they compare: strings by their text (case-folded in text
// mode), objects by identity, numbers by value whatever the subtype (1, 1.0
// and True-as-number agree), and Empty, Null and the rest by subtype.
std::uint32_t Dictionary::hashText(std::u16string_view s) const noexcept {
    return mix(mode_ == ops::CompareMode::Text ? hashNoCase(s) : hashUnits(s)) & ~kDead;
}

std::uint32_t Dictionary::hashOf(const Variant& v) const noexcept {
    std::uint64_t h;
    if (v.isString()) {
        return hashText(v.stringValue());
    } else if (v.isObject()) {
        h = reinterpret_cast<std::uintptr_t>(v.objectValue());
    } else if (numericKey(v.type())) {
        double d = 0;
        try {
            d = v.toDouble();
        } catch (...) {
        }
        if (d == 0) d = 0; // -0 and 0 hash alike
        std::memcpy(&h, &d, sizeof h);
    } else {
        h = static_cast<std::uint64_t>(v.varType()) + 1;
    }
    return mix(h) & ~kDead;
}

bool Dictionary::sameKey(const Variant& stored, const Variant& key) const noexcept {
    // Strings, the usual keys, are compared here; the rest as operators do.
    if (stored.isString() && key.isString()) {
        const std::u16string& a = stored.stringValue();
        const std::u16string& b = key.stringValue();
        return mode_ == ops::CompareMode::Text ? equalsNoCase(a, b) : sameUnits(a, b);
    }
    return ops::sameKey(stored, key, mode_);
}

template <class Same>
Dictionary::Spot Dictionary::probeWith(std::uint32_t hash, Same&& same) const {
    const std::size_t mask = slots_.size() - 1;
    const std::size_t tag = hash & ~mask;
    std::size_t spot = npos;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot s = slots_[i];
        if (s == kEmpty) return {spot == npos ? i : spot, false};
        if (s == kGone) {
            if (spot == npos) spot = i;
        } else if ((s & ~mask) == tag && same(entries_[s & mask].key)) {
            return {i, true};
        }
    }
}

Dictionary::Spot Dictionary::probe(const Variant& key, std::uint32_t hash) const noexcept {
    return probeWith(hash, [&](const Variant& stored) { return sameKey(stored, key); });
}

// A text key meets a stored string as a string key would; any other stored
// key (met only when the hashes agree) is compared with the key made a string.
Dictionary::Spot Dictionary::probeText(std::u16string_view key, std::uint32_t hash) const {
    return probeWith(hash, [&](const Variant& stored) {
        if (stored.isString())
            return mode_ == ops::CompareMode::Text ? equalsNoCase(stored.stringValue(), key)
                                                   : sameUnits(stored.stringValue(), key);
        return sameKey(stored, Variant(key));
    });
}

void Dictionary::addText(std::u16string_view key, const Variant& item) {
    if (slots_.empty()) reindex();
    const std::uint32_t hash = hashText(key);
    const Spot at = probeText(key, hash);
    if (at.found) throwRuntimeError(err::KeyExists);
    insert(Variant(key), item, hash, at.slot);
}

bool Dictionary::existsText(std::u16string_view key) const {
    return !slots_.empty() && probeText(key, hashText(key)).found;
}

Variant& Dictionary::itemText(std::u16string_view key) {
    if (slots_.empty()) reindex();
    const std::uint32_t hash = hashText(key);
    const Spot at = probeText(key, hash);
    if (at.found) return entries_[entryAt(at.slot)].item;
    return entries_[insert(Variant(key), Variant(), hash, at.slot)].item;
}

std::size_t Dictionary::find(const Variant& key) const noexcept {
    if (slots_.empty()) return npos;
    const Spot at = probe(key, hashOf(key));
    return at.found ? entryAt(at.slot) : npos;
}

// Rebuilds the index for the live entries, at most 7/10 full: room for a
// tenth of it to be added or removed before the next rebuild. When there is
// no memory for it, it throws before changing anything.
void Dictionary::reindex() {
    const std::size_t live = static_cast<std::size_t>(count());
    std::size_t cap = 16;
    while (cap * 7 < live * 10 + 10 || cap < entries_.size()) cap *= 2;
    slots_.assign(cap, kEmpty);
    const std::size_t mask = cap - 1;
    for (std::size_t e = 0; e < entries_.size(); ++e) {
        const std::uint32_t h = hashes_[e];
        if (h & kDead) continue;
        std::size_t i = h & mask;
        while (slots_[i] != kEmpty) i = (i + 1) & mask;
        slots_[i] = static_cast<Slot>((h & ~mask) | e);
    }
    used_ = live;
}

// Puts live entry e (its hash set) into the index.
void Dictionary::place(std::size_t e) {
    const std::size_t mask = slots_.size() - 1;
    const std::uint32_t h = hashes_[e];
    std::size_t i = h & mask;
    while (slots_[i] != kEmpty && slots_[i] != kGone) i = (i + 1) & mask;
    if (slots_[i] == kEmpty) {
        if (full(used_ + 1)) return reindex(); // places e too
        ++used_;
    }
    slots_[i] = static_cast<Slot>((h & ~mask) | e);
}

std::size_t Dictionary::insert(const Variant& key, const Variant& item, std::uint32_t hash, std::size_t spot) {
    if (key.isArray()) throwRuntimeError(err::TypeMismatch);
    if (entries_.size() >= kMaxEntries) throwRuntimeError(err::OutOfMemory);
    if (entries_.size() == entries_.capacity() && entries_.size() >= 4096 && entries_.size() < (1u << 18)) {
        // A growing dictionary of middling size takes four times its room:
        // fewer moves of its entries and fewer fresh pages than doubling.
        entries_.reserve(entries_.size() * 4);
        hashes_.reserve(entries_.capacity());
    }
    hashes_.push_back(hash);
    try {
        entries_.push_back(Entry{key, item});
    } catch (...) {
        hashes_.pop_back();
        throw;
    }
    const std::size_t e = entries_.size() - 1;
    const std::size_t cap = slots_.size();
    const bool fresh = slots_[spot] == kEmpty;
    if (entries_.size() > cap || (fresh && full(used_ + 1))) {
        try {
            reindex(); // places e too
        } catch (...) {
            entries_.pop_back(); // no room for a larger index: the key is not added
            hashes_.pop_back();
            throw;
        }
    } else {
        used_ += fresh;
        slots_[spot] = static_cast<Slot>((hash & ~(cap - 1)) | e);
    }
    if (entries_.size() == entries_.capacity() || slots_.size() != cap) retally();
    return e;
}

void Dictionary::add(const Variant& key, const Variant& item) {
    if (slots_.empty()) reindex();
    const std::uint32_t hash = hashOf(key);
    const Spot at = probe(key, hash);
    if (at.found) throwRuntimeError(err::KeyExists);
    insert(key, item, hash, at.slot);
}

bool Dictionary::exists(const Variant& key) const { return find(key) != npos; }

Variant& Dictionary::item(const Variant& key) {
    if (slots_.empty()) reindex();
    const std::uint32_t hash = hashOf(key);
    const Spot at = probe(key, hash);
    if (at.found) return entries_[entryAt(at.slot)].item;
    return entries_[insert(key, Variant(), hash, at.slot)].item;
}

void Dictionary::setItem(const Variant& key, const Variant& value) {
    if (slots_.empty()) reindex();
    const std::uint32_t hash = hashOf(key);
    const Spot at = probe(key, hash);
    if (!at.found) {
        insert(key, value, hash, at.slot);
        return;
    }
    Variant old = std::exchange(entries_[entryAt(at.slot)].item, value); // released last (see remove)
}

void Dictionary::rename(const Variant& oldKey, const Variant& newKey) {
    if (newKey.isArray()) throwRuntimeError(err::TypeMismatch);
    if (slots_.empty()) throwRuntimeError(err::ElementNotFound);
    const Spot from = probe(oldKey, hashOf(oldKey));
    if (!from.found) throwRuntimeError(err::ElementNotFound);
    const std::size_t i = entryAt(from.slot);
    const std::uint32_t hash = hashOf(newKey);
    const Spot to = probe(newKey, hash);
    if (to.found && entryAt(to.slot) != i) throwRuntimeError(err::KeyExists);
    const Slot was = slots_[from.slot];
    const std::uint32_t oldHash = hashes_[i];
    slots_[from.slot] = kGone;
    hashes_[i] = hash;
    Variant old = std::exchange(entries_[i].key, newKey); // released last (see remove)
    try {
        place(i);
    } catch (...) {
        // No room for a larger index (it is left as it was): the key keeps its name.
        entries_[i].key = std::exchange(old, Variant());
        hashes_[i] = oldHash;
        slots_[from.slot] = was;
        throw;
    }
}

void Dictionary::remove(const Variant& key) {
    if (slots_.empty()) throwRuntimeError(err::ElementNotFound);
    const Spot at = probe(key, hashOf(key));
    if (!at.found) throwRuntimeError(err::ElementNotFound);
    const std::size_t i = entryAt(at.slot);
    slots_[at.slot] = kGone;
    hashes_[i] = kDead;
    // Released when the dictionary is consistent again: the last reference to
    // an object may run script code (Class_Terminate) that uses it.
    Variant oldKey = std::move(entries_[i].key), oldItem = std::move(entries_[i].item);
    ++dead_;
    if (dead_ > 16 && dead_ * 2 > entries_.size()) {
        std::size_t to = 0;
        for (std::size_t from = 0; from < entries_.size(); ++from)
            if (!(hashes_[from] & kDead)) {
                if (to != from) {
                    entries_[to] = std::move(entries_[from]);
                    hashes_[to] = hashes_[from];
                }
                ++to;
            }
        entries_.resize(to);
        hashes_.resize(to);
        dead_ = 0;
        reindex();
        retally();
    }
}

void Dictionary::removeAll() noexcept {
    // The entries go after the dictionary is empty (see remove).
    std::vector<Entry> gone;
    gone.swap(entries_);
    hashes_.clear();
    slots_.clear();
    used_ = 0;
    dead_ = 0;
    retally();
}

std::vector<Variant> Dictionary::keys() const {
    std::vector<Variant> out;
    out.reserve(static_cast<std::size_t>(count()));
    forEachEntry([&](const Entry& e) { out.push_back(e.key); });
    return out;
}

std::vector<Variant> Dictionary::items() const {
    std::vector<Variant> out;
    out.reserve(static_cast<std::size_t>(count()));
    forEachEntry([&](const Entry& e) { out.push_back(e.item); });
    return out;
}

void Dictionary::setCompareMode(std::int32_t mode) {
    if (mode < 0) throwRuntimeError(err::InvalidCall);
    if (count() != 0) throwRuntimeError(err::InvalidCall);
    modeValue_ = mode;
    // Binary is 0; text, database and locale-specific modes compare without case.
    mode_ = mode == 0 ? ops::CompareMode::Binary : ops::CompareMode::Text;
}

Variant Dictionary::addMember(std::uint8_t, std::span<Variant> a) {
    add(a[0], a[1]);
    return {};
}

Variant Dictionary::existsMember(std::uint8_t, std::span<Variant> a) { return Variant(exists(a[0])); }

Variant Dictionary::itemMember(std::uint8_t kind, std::span<Variant> a) {
    if (kind & (kLet | kSet)) {
        Variant value = a[1];
        if ((kind & kLet) && !(kind & kSet) && value.isObject()) value = value.dereference();
        setItem(a[0], value);
        return {};
    }
    return item(a[0]);
}

Variant Dictionary::keyMember(std::uint8_t, std::span<Variant> a) {
    rename(a[0], a[1]);
    return {};
}

Variant Dictionary::itemsMember(std::uint8_t, std::span<Variant>) {
    return Variant(SafeArray::fromVector(items()));
}

Variant Dictionary::keysMember(std::uint8_t, std::span<Variant>) {
    return Variant(SafeArray::fromVector(keys()));
}

Variant Dictionary::removeMember(std::uint8_t, std::span<Variant> a) {
    remove(a[0]);
    return {};
}

Variant Dictionary::removeAllMember(std::uint8_t, std::span<Variant>) {
    removeAll();
    return {};
}

Variant Dictionary::countMember(std::uint8_t, std::span<Variant>) { return Variant(count()); }

Variant Dictionary::compareModeMember(std::uint8_t kind, std::span<Variant> a) {
    if (kind & kLet) {
        setCompareMode(a.back().toLong());
        return {};
    }
    return Variant(modeValue_);
}

} // namespace qz::script
