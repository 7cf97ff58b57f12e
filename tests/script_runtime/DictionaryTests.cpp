#include "Call.h"

#include "platform/script/runtime/Dictionary.h"

using namespace qz;
using namespace qz::test;
using qz::script::Dictionary;

namespace {

Variant invoke(Dispatch& d, std::u16string_view name, std::uint8_t kind, std::vector<Variant> args = {}) {
    return d.invokeByName(name, kind, args);
}

TEST(Dictionary, KeysOfAnySubtype) {
    Ref<Dictionary> d(new Dictionary);
    d->add(S(u"a"), I(1));
    d->add(I(1), S(u"one"));
    d->add(S(u"1"), S(u"text one"));
    EXPECT_EQ(d->count(), 3);
    EXPECT_TRUE(d->exists(L(1)));        // numbers compare by value
    EXPECT_TRUE(d->exists(D(1.0)));
    EXPECT_EQ(d->item(D(1.0)).stringValue(), u"one");
    EXPECT_EQ(d->item(S(u"1")).stringValue(), u"text one");
    EXPECT_FALSE(d->exists(S(u"A")));    // binary compare by default
    EXPECT_VB_ERROR(d->add(S(u"a"), I(2)), 457);
    EXPECT_VB_ERROR(d->add(L(1), I(2)), 457);
    Ref<Dispatch> obj(new Dictionary);
    d->add(Variant(obj), I(7));
    EXPECT_TRUE(d->exists(Variant(obj)));
    EXPECT_FALSE(d->exists(Variant(Ref<Dispatch>(new Dictionary))));
    EXPECT_VB_ERROR(d->add(call(u"Array", {}), I(1)), 13);
}

TEST(Dictionary, ScriptMembers) {
    Ref<Dispatch> d = script::createObject(u"Scripting.Dictionary");
    invoke(*d, u"Add", kInvokeMethod, {S(u"k1"), S(u"v1")});
    invoke(*d, u"Add", kInvokeMethod, {S(u"k2"), S(u"v2")});
    // Reading a missing key adds it with an Empty item.
    std::vector<Variant> k3{S(u"k3")};
    Variant missing = d->invoke(kDispidValue, kInvokePropertyGet, k3);
    EXPECT_TRUE(missing.isEmpty());
    EXPECT_EQ(invoke(*d, u"Count", kInvokePropertyGet).longValue(), 3);
    invoke(*d, u"Item", kInvokePropertyPut, {S(u"k3"), S(u"v3")});
    invoke(*d, u"Item", kInvokePropertyPut, {S(u"k4"), S(u"v4")}); // Let on a new key adds it
    invoke(*d, u"Key", kInvokePropertyPut, {S(u"k1"), S(u"first")});
    EXPECT_VB_ERROR(invoke(*d, u"Key", kInvokePropertyPut, {S(u"nope"), S(u"x")}), 32811);
    EXPECT_VB_ERROR(invoke(*d, u"Key", kInvokePropertyPut, {S(u"k2"), S(u"first")}), 457);
    EXPECT_VB_ERROR(invoke(*d, u"Remove", kInvokeMethod, {S(u"nope")}), 32811);
    invoke(*d, u"Remove", kInvokeMethod, {S(u"k2")});

    Variant keys = invoke(*d, u"Keys", kInvokeMethod);
    std::u16string joined = call(u"Join", {keys, S(u",")}).stringValue();
    EXPECT_EQ(joined, u"first,k3,k4");
    EXPECT_EQ(call(u"Join", {invoke(*d, u"Items", kInvokeMethod), S(u",")}).stringValue(), u"v1,v3,v4");
    EXPECT_TRUE(invoke(*d, u"Exists", kInvokeMethod, {S(u"k4")}).boolValue());

    // For Each goes over the keys, in order.
    std::u16string seen;
    Ref<Enumerator> e = d->newEnum();
    for (Variant k; e->next(k);) seen += k.stringValue();
    EXPECT_EQ(seen, u"firstk3k4");

    EXPECT_VB_ERROR(invoke(*d, u"CompareMode", kInvokePropertyPut, {I(1)}), 5);
    invoke(*d, u"RemoveAll", kInvokeMethod);
    EXPECT_EQ(invoke(*d, u"Count", kInvokePropertyGet).longValue(), 0);
    invoke(*d, u"CompareMode", kInvokePropertyPut, {I(1)});
    EXPECT_EQ(invoke(*d, u"CompareMode", kInvokePropertyGet).longValue(), 1);
    invoke(*d, u"Add", kInvokeMethod, {S(u"Key"), I(1)});
    EXPECT_TRUE(invoke(*d, u"Exists", kInvokeMethod, {S(u"KEY")}).boolValue());
    EXPECT_VB_ERROR(invoke(*d, u"Add", kInvokeMethod, {S(u"kEy"), I(2)}), 457);
}

TEST(Dictionary, ManyKeysSurviveGrowthAndRemoval) {
    Ref<Dictionary> d(new Dictionary);
    for (std::int32_t i = 0; i < 1000; ++i) d->add(L(i), L(i * 2));
    for (std::int32_t i = 0; i < 1000; i += 2) d->remove(L(i));
    EXPECT_EQ(d->count(), 500);
    for (std::int32_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(d->exists(L(i)), i % 2 == 1) << i;
        if (i % 2) {
            ASSERT_EQ(d->item(L(i)).longValue(), i * 2);
        }
    }
    // Removing every key, first to last, leaves an empty dictionary that
    // keeps working (and does not rescan the whole table each time).
    Ref<Dictionary> big(new Dictionary);
    for (std::int32_t i = 0; i < 20000; ++i) big->add(L(i), Variant());
    for (std::int32_t i = 0; i < 20000; ++i) big->remove(L(i));
    EXPECT_EQ(big->count(), 0);
    EXPECT_TRUE(big->keys().empty());
    big->setCompareMode(1); // allowed again once the dictionary is empty
    big->add(S(u"k"), I(1));
    EXPECT_TRUE(big->exists(S(u"K")));
    EXPECT_EQ(big->keys().size(), 1u);
    d->rename(L(1), S(u"one"));
    EXPECT_FALSE(d->exists(L(1)));
    EXPECT_EQ(d->item(S(u"one")).longValue(), 2);
    EXPECT_EQ(d->keys().front().stringValue(), u"one");
}

} // namespace
