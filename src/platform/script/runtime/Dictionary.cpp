#include "Dictionary.h"

#include "Builtins.h"

#include "platform/automation/Text.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace qz::script {

const MemberTable<Dictionary>& Dictionary::members() {
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
    case VarType::Double: case VarType::Currency: case VarType::Date: case VarType::Boolean:
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

} // namespace

// Keys hash as they compare: strings by their text (case-folded in text
// mode), objects by identity, numbers by value whatever the subtype (1, 1.0
// and True-as-number agree), and Empty, Null and the rest by subtype.
std::uint32_t Dictionary::hashOf(const Variant& v) const noexcept {
    if (v.isString()) {
        const std::u16string& s = v.stringValue();
        if (mode_ == ops::CompareMode::Text) return mix(hashNoCase(s));
        std::uint64_t h = 1469598103934665603ull; // FNV-1a
        for (char16_t c : s) {
            h ^= c;
            h *= 1099511628211ull;
        }
        return mix(h);
    }
    if (v.isObject()) return mix(reinterpret_cast<std::uintptr_t>(v.objectValue()));
    if (numericKey(v.type())) {
        double d = 0;
        try {
            d = v.toDouble();
        } catch (...) {
        }
        if (d == 0) d = 0; // -0 and 0 hash alike
        std::uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        return mix(bits);
    }
    return mix(static_cast<std::uint64_t>(v.varType()) + 1);
}

std::size_t Dictionary::probe(const Variant& key, std::uint32_t hash) const noexcept {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot s = slots_[i];
        if (s == kEmpty) return std::size_t(-1);
        if (s != kGone && entries_[s].hash == hash && ops::sameKey(entries_[s].key, key, mode_))
            return i;
    }
}

Variant Dictionary::normalizeKey(const Variant& key) {
    if (key.isArray()) throwRuntimeError(err::TypeMismatch);
    return key;
}

std::size_t Dictionary::find(const Variant& key) const {
    if (slots_.empty()) return std::size_t(-1);
    std::size_t i = probe(key, hashOf(key));
    return i == std::size_t(-1) ? i : slots_[i];
}

// Rebuilds the index for the live entries, at most half full.
void Dictionary::reindex(std::size_t live) {
    std::size_t cap = 16;
    while (cap < live * 2 + 2) cap *= 2;
    slots_.assign(cap, kEmpty);
    used_ = 0;
    for (std::size_t e = 0; e < entries_.size(); ++e)
        if (entries_[e].alive) {
            std::size_t i = entries_[e].hash & (cap - 1);
            while (slots_[i] != kEmpty) i = (i + 1) & (cap - 1);
            slots_[i] = static_cast<Slot>(e);
            ++used_;
        }
}

// Puts entry e (alive, its hash set) into the index.
void Dictionary::place(std::size_t e) {
    if ((used_ + 1) * 3 > slots_.size() * 2) {
        reindex(count()); // places every live entry, e included
        return;
    }
    const std::size_t mask = slots_.size() - 1;
    const std::uint32_t hash = entries_[e].hash;
    std::size_t i = hash & mask;
    while (slots_[i] != kEmpty && slots_[i] != kGone) i = (i + 1) & mask;
    if (slots_[i] == kEmpty) ++used_;
    slots_[i] = static_cast<Slot>(e);
}

void Dictionary::add(const Variant& key0, const Variant& item) {
    Variant key = normalizeKey(key0);
    const std::uint32_t hash = hashOf(key);
    if (!slots_.empty() && probe(key, hash) != std::size_t(-1)) throwRuntimeError(err::KeyExists);
    if (entries_.size() >= kGone) throwRuntimeError(err::OutOfMemory);
    entries_.push_back(Entry{std::move(key), item, hash, true});
    place(entries_.size() - 1);
}

bool Dictionary::exists(const Variant& key) const { return find(key) != std::size_t(-1); }

Variant& Dictionary::item(const Variant& key) {
    std::size_t i = find(key);
    if (i == std::size_t(-1)) {
        add(key, Variant());
        return entries_.back().item;
    }
    return entries_[i].item;
}

void Dictionary::setItem(const Variant& key, const Variant& value) {
    std::size_t i = find(key);
    if (i == std::size_t(-1)) {
        add(key, value);
        return;
    }
    Variant old = std::exchange(entries_[i].item, value);  // released last (see remove)
}

void Dictionary::rename(const Variant& oldKey, const Variant& newKey0) {
    Variant newKey = normalizeKey(newKey0);
    std::size_t s = slots_.empty() ? std::size_t(-1) : probe(oldKey, hashOf(oldKey));
    if (s == std::size_t(-1)) throwRuntimeError(err::ElementNotFound);
    const std::size_t i = slots_[s];
    std::size_t j = find(newKey);
    if (j != std::size_t(-1) && j != i) throwRuntimeError(err::KeyExists);
    slots_[s] = kGone;
    entries_[i].hash = hashOf(newKey);
    entries_[i].key = std::move(newKey);
    place(i);
}

void Dictionary::remove(const Variant& key) {
    std::size_t s = slots_.empty() ? std::size_t(-1) : probe(key, hashOf(key));
    if (s == std::size_t(-1)) throwRuntimeError(err::ElementNotFound);
    Entry& e = entries_[slots_[s]];
    slots_[s] = kGone;
    e.alive = false;
    // Released when the dictionary is consistent again: the last reference to
    // an object may run script code (Class_Terminate) that uses it.
    Variant oldKey = std::move(e.key), oldItem = std::move(e.item);
    ++dead_;
    if (dead_ > 16 && dead_ * 2 > entries_.size()) {
        std::erase_if(entries_, [](const Entry& x) { return !x.alive; });
        dead_ = 0;
        reindex(entries_.size());
    }
}

void Dictionary::removeAll() noexcept {
    // The entries go after the dictionary is empty (see remove).
    std::vector<Entry> gone;
    gone.swap(entries_);
    slots_.clear();
    used_ = 0;
    dead_ = 0;
}

std::vector<Variant> Dictionary::keys() const {
    std::vector<Variant> out;
    out.reserve(entries_.size() - dead_);
    for (const Entry& e : entries_)
        if (e.alive) out.push_back(e.key);
    return out;
}

std::vector<Variant> Dictionary::items() const {
    std::vector<Variant> out;
    out.reserve(entries_.size() - dead_);
    for (const Entry& e : entries_)
        if (e.alive) out.push_back(e.item);
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
