#include "Dictionary.h"

#include "Builtins.h"

#include "platform/automation/Text.h"

#include <cmath>
#include <functional>

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

Ref<Enumerator> Dictionary::newEnum() { return Ref<Enumerator>(new KeyEnumerator(keys())); }

std::size_t Dictionary::Hash::operator()(const KeyRef& k) const noexcept {
    const Variant& v = *k.key;
    if (v.isString())
        return k.owner->mode_ == ops::CompareMode::Text ? hashNoCase(v.stringValue())
                                                        : std::hash<std::u16string>()(v.stringValue());
    if (v.isObject()) return std::hash<const void*>()(v.objectValue());
    if (numericKey(v.type())) {
        double d = 0;
        try {
            d = v.toDouble();
        } catch (...) {
        }
        if (d == 0) d = 0; // -0 and 0 hash alike
        return std::hash<double>()(d);
    }
    return static_cast<std::size_t>(v.varType());
}

bool Dictionary::Equal::operator()(const KeyRef& a, const KeyRef& b) const noexcept {
    return ops::sameKey(*a.key, *b.key, a.owner->mode_);
}

Variant Dictionary::normalizeKey(const Variant& key) {
    if (key.isArray()) throwRuntimeError(err::TypeMismatch);
    return key;
}

std::size_t Dictionary::find(const Variant& key) const {
    auto it = index_.find(KeyRef{this, &key});
    return it == index_.end() ? std::size_t(-1) : it->second;
}

void Dictionary::reindex() {
    index_.clear();
    index_.reserve(entries_.size() - dead_);
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].alive) index_.emplace(KeyRef{this, &entries_[i].key}, i);
}

void Dictionary::add(const Variant& key0, const Variant& item) {
    Variant key = normalizeKey(key0);
    if (find(key) != std::size_t(-1)) throwRuntimeError(err::KeyExists);
    const Entry* before = entries_.data();
    entries_.push_back(Entry{std::move(key), item, true});
    if (entries_.data() != before) reindex();
    else index_.emplace(KeyRef{this, &entries_.back().key}, entries_.size() - 1);
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
    if (i == std::size_t(-1)) add(key, value);
    else entries_[i].item = value;
}

void Dictionary::rename(const Variant& oldKey, const Variant& newKey0) {
    Variant newKey = normalizeKey(newKey0);
    std::size_t i = find(oldKey);
    if (i == std::size_t(-1)) throwRuntimeError(err::ElementNotFound);
    std::size_t j = find(newKey);
    if (j != std::size_t(-1) && j != i) throwRuntimeError(err::KeyExists);
    index_.erase(KeyRef{this, &entries_[i].key});
    entries_[i].key = std::move(newKey);
    index_.emplace(KeyRef{this, &entries_[i].key}, i);
}

void Dictionary::remove(const Variant& key) {
    std::size_t i = find(key);
    if (i == std::size_t(-1)) throwRuntimeError(err::ElementNotFound);
    index_.erase(KeyRef{this, &entries_[i].key});
    Entry& e = entries_[i];
    e.alive = false;
    e.key = Variant();
    e.item = Variant();
    ++dead_;
    if (dead_ > 16 && dead_ * 2 > entries_.size()) {
        std::erase_if(entries_, [](const Entry& x) { return !x.alive; });
        dead_ = 0;
        reindex();
    }
}

void Dictionary::removeAll() noexcept {
    index_.clear();
    entries_.clear();
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
