#include "Collection.h"

namespace qz {

const MemberTable<Collection>& Collection::members() {
    static const MemberTable<Collection> t{
        {u"Item", kCall | kGet, 1, 1, &Collection::itemMember, true},
        {u"Add", kCall, 1, 4, &Collection::addMember},
        {u"Remove", kCall, 1, 1, &Collection::removeMember},
        {u"Count", kCall | kGet, 0, 0, &Collection::countMember},
    };
    return t;
}

class CollectionEnumerator final : public Enumerator {
public:
    explicit CollectionEnumerator(Ref<Collection> c) : c_(std::move(c)) {}
    bool next(Variant& out) override {
        if (pos_ >= c_->items_.size()) return false;
        out = c_->items_[pos_++].value;
        return true;
    }

private:
    Ref<Collection> c_;
    std::size_t pos_ = 0;
};

Ref<Enumerator> Collection::newEnum() { return Ref<Enumerator>(new CollectionEnumerator(Ref<Collection>(this))); }

void Collection::add(Variant item, std::u16string_view key) {
    insertAt(items_.size() + 1, std::move(item), key);
}

void Collection::insertAt(std::size_t position, Variant item, std::u16string_view key) {
    if (position < 1 || position > items_.size() + 1) throwRuntimeError(err::InvalidCall);
    if (!key.empty() && byKey_.contains(key)) throwRuntimeError(err::KeyExists);
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(position - 1),
                  Entry{std::u16string(key), std::move(item)});
    reindexFrom(position - 1);
}

void Collection::reindexFrom(std::size_t from) {
    for (std::size_t i = from; i < items_.size(); ++i)
        if (!items_[i].key.empty()) byKey_[items_[i].key] = i;
}

std::size_t Collection::positionOf(std::u16string_view key) const noexcept {
    if (key.empty()) return 0;
    auto it = byKey_.find(key);
    return it == byKey_.end() ? 0 : it->second + 1;
}

const Variant& Collection::item(std::size_t position) const {
    if (position < 1 || position > items_.size()) throwRuntimeError(err::SubscriptOutOfRange);
    return items_[position - 1].value;
}

const Variant& Collection::item(std::u16string_view key) const {
    std::size_t p = positionOf(key);
    if (!p) throwRuntimeError(err::InvalidCall);
    return items_[p - 1].value;
}

Variant* Collection::find(std::u16string_view key) noexcept {
    std::size_t p = positionOf(key);
    return p ? &items_[p - 1].value : nullptr;
}

const std::u16string& Collection::keyAt(std::size_t position) const {
    if (position < 1 || position > items_.size()) throwRuntimeError(err::SubscriptOutOfRange);
    return items_[position - 1].key;
}

bool Collection::contains(std::u16string_view key) const noexcept { return positionOf(key) != 0; }

void Collection::remove(std::size_t position) {
    if (position < 1 || position > items_.size()) throwRuntimeError(err::SubscriptOutOfRange);
    if (!items_[position - 1].key.empty()) byKey_.erase(items_[position - 1].key);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(position - 1));
    reindexFrom(position - 1);
}

void Collection::remove(std::u16string_view key) {
    std::size_t p = positionOf(key);
    if (!p) throwRuntimeError(err::InvalidCall);
    remove(p);
}

void Collection::clear() noexcept {
    items_.clear();
    byKey_.clear();
}

std::size_t Collection::positionOfIndex(const Variant& index) const {
    Variant v = index.dereference();
    if (v.isString()) {
        std::size_t p = positionOf(v.stringValue());
        if (!p) throwRuntimeError(err::InvalidCall);
        return p;
    }
    std::int32_t n = v.toLong();
    if (n < 1 || static_cast<std::size_t>(n) > items_.size()) throwRuntimeError(err::SubscriptOutOfRange);
    return static_cast<std::size_t>(n);
}

const Variant& Collection::lookup(const Variant& index) const { return items_[positionOfIndex(index) - 1].value; }

Variant Collection::addMember(std::uint8_t, std::span<Variant> args) {
    std::u16string key;
    if (hasArg(args, 1)) key = args[1].toString();
    bool before = hasArg(args, 2), after = hasArg(args, 3);
    if (before && after) throwRuntimeError(err::InvalidCall);
    if (before) insertAt(positionOfIndex(args[2]), args[0], key);
    else if (after) insertAt(positionOfIndex(args[3]) + 1, args[0], key);
    else add(args[0], key);
    return {};
}

Variant Collection::itemMember(std::uint8_t, std::span<Variant> args) { return lookup(args[0]); }

Variant Collection::removeMember(std::uint8_t, std::span<Variant> args) {
    remove(positionOfIndex(args[0]));
    return {};
}

Variant Collection::countMember(std::uint8_t, std::span<Variant>) { return Variant(count()); }

} // namespace qz
