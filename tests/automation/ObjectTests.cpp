#include "Expect.h"

#include "platform/automation/Collection.h"
#include "platform/automation/SimpleDispatch.h"
#include "platform/automation/VariantOps.h"

#include <gtest/gtest.h>

using namespace qz;

namespace {

// A small object written on the member table: a default Value property
// (get/let), a method with an optional argument and a Set-only property.
class Counter : public SimpleDispatch<Counter> {
public:
    static const MemberTable<Counter>& members() {
        static const MemberTable<Counter> t{
            {u"Value", kGet | kLet, 0, 0, &Counter::value, true},
            {u"Add", kCall, 1, 2, &Counter::addTo},
            {u"Owner", kGet | kSet, 0, 0, &Counter::owner},
        };
        return t;
    }
    std::u16string typeName() const override { return u"Counter"; }
    int n = 0;
    Variant owner_;

private:
    Variant value(std::uint8_t kind, std::span<Variant> args) {
        if (kind & kLet) {
            n = args.back().toLong();
            return {};
        }
        return Variant(static_cast<std::int32_t>(n));
    }
    Variant addTo(std::uint8_t, std::span<Variant> args) {
        n += args[0].toLong() * (hasArg(args, 1) ? args[1].toLong() : 1);
        return Variant(static_cast<std::int32_t>(n));
    }
    Variant owner(std::uint8_t kind, std::span<Variant> args) {
        if (kind & kSet) {
            owner_ = args.back();
            return {};
        }
        return owner_;
    }
};

TEST(SimpleDispatch, LookupInvokeAndErrors) {
    Ref<Counter> c(new Counter);
    EXPECT_EQ(c->memberId(u"ADD"), c->memberId(u"add"));
    EXPECT_EQ(c->memberId(u"Missing"), kDispidUnknown);

    Variant args[] = {Variant(static_cast<std::int32_t>(5)), Variant::missing()};
    EXPECT_EQ(c->invokeByName(u"add", kInvokeMethod, std::span(args, 2)).toLong(), 5);
    Variant two[] = {Variant(static_cast<std::int32_t>(2)), Variant(static_cast<std::int32_t>(3))};
    EXPECT_EQ(c->invokeByName(u"Add", kInvokeMethod | kInvokePropertyGet, two).toLong(), 11);

    // The default member answers for the object in expressions.
    Variant obj{Ref<Dispatch>(c)};
    EXPECT_EQ(obj.toString(), u"11");
    EXPECT_EQ(ops::add(obj, Variant(static_cast<std::int16_t>(1))).toLong(), 12);
    Variant put[] = {Variant(static_cast<std::int16_t>(40))};
    c->invoke(kDispidValue, kInvokePropertyPut, put);
    EXPECT_EQ(c->n, 40);

    EXPECT_VB_ERROR(c->invokeByName(u"Nope", kInvokeMethod, {}), 438);
    EXPECT_VB_ERROR(c->invokeByName(u"Add", kInvokeMethod, {}), 450);
    Variant three[] = {Variant(), Variant(), Variant()};
    EXPECT_VB_ERROR(c->invokeByName(u"Add", kInvokeMethod, three), 450);
    EXPECT_VB_ERROR(c->invokeByName(u"Add", kInvokePropertyPut, put), 438);
    // Let on a Set-only property is an assignment error, not a missing member.
    EXPECT_VB_ERROR(c->invokeByName(u"Owner", kInvokePropertyPut, put), 450);
    EXPECT_VB_ERROR(c->invoke(99, kInvokeMethod, {}), 438);
    // A property read with arguments hands them to its value's default member.
    Ref<Counter> inner(new Counter);
    inner->n = 9;
    Variant set[] = {Variant(Ref<Dispatch>(inner))};
    c->invokeByName(u"Owner", kInvokePropertyPutRef, set);
    Variant none[] = {Variant()};
    EXPECT_VB_ERROR(c->invokeByName(u"Owner", kInvokeMethod | kInvokePropertyGet, none), 450);
    c->owner_ = Variant(1);
    EXPECT_VB_ERROR(c->invokeByName(u"Owner", kInvokePropertyGet, none), 450);
    c->owner_ = Variant(Ref<Dispatch>(new Collection));
    Variant first[] = {Variant(static_cast<std::int16_t>(1))};
    static_cast<Collection*>(c->owner_.objectValue())->add(Variant(u"x"));
    EXPECT_EQ(c->invokeByName(u"Owner", kInvokeMethod | kInvokePropertyGet, first).stringValue(), u"x");
    c->owner_ = Variant();
    EXPECT_EQ(c->refCount(), 2u); // c and obj
}

TEST(Collection, KeysIgnoreCaseAndKeepOrder) {
    Ref<Collection> c(new Collection);
    c->add(Variant(u"one"), u"First");
    c->add(Variant(u"two"));
    c->add(Variant(u"three"), u"third");
    EXPECT_EQ(c->count(), 3);
    EXPECT_EQ(c->item(u"FIRST").stringValue(), u"one");
    EXPECT_EQ(c->item(2).stringValue(), u"two");
    EXPECT_VB_ERROR(c->add(Variant(1), u"first"), 457);
    EXPECT_VB_ERROR(c->item(u"fourth"), 5);
    EXPECT_VB_ERROR(c->item(4), 9);
    EXPECT_VB_ERROR(c->item(0), 9);

    c->remove(u"first");
    EXPECT_EQ(c->count(), 2);
    EXPECT_EQ(c->item(1).stringValue(), u"two");
    EXPECT_EQ(c->item(u"Third").stringValue(), u"three"); // positions after a removal stay right
    c->insertAt(1, Variant(u"zero"), u"z");
    EXPECT_EQ(c->item(u"THIRD").stringValue(), u"three");
    EXPECT_EQ(c->keyAt(3), u"third");
    EXPECT_FALSE(c->contains(u"first"));
    EXPECT_NE(c->find(u"Z"), nullptr);
}

TEST(Collection, ScriptMembersAndForEach) {
    Ref<Collection> c(new Collection);
    Variant a1[] = {Variant(u"b"), Variant(u"kb")};
    c->invokeByName(u"Add", kInvokeMethod, a1);
    Variant a2[] = {Variant(u"a"), Variant(u"ka"), Variant(u"kb")}; // before "kb"
    c->invokeByName(u"Add", kInvokeMethod, a2);
    Variant a3[] = {Variant(u"c"), Variant::missing(), Variant::missing(), Variant(static_cast<std::int16_t>(2))};
    c->invokeByName(u"add", kInvokeMethod, a3); // after position 2
    EXPECT_EQ(c->invokeByName(u"Count", kInvokePropertyGet, {}).toLong(), 3);

    std::u16string seen;
    Ref<Enumerator> e = c->newEnum();
    for (Variant v; e->next(v);) seen += v.stringValue();
    EXPECT_EQ(seen, u"abc");

    Variant key[] = {Variant(u"KA")};
    EXPECT_EQ(c->invoke(kDispidValue, kInvokeMethod | kInvokePropertyGet, key).stringValue(), u"a");
    c->invokeByName(u"Remove", kInvokeMethod, key);
    Variant one[] = {Variant(1.4)}; // positions are rounded numbers
    EXPECT_EQ(c->invokeByName(u"Item", kInvokeMethod, one).stringValue(), u"b");
    Variant both[] = {Variant(u"x"), Variant(), Variant(u"kb"), Variant(u"kb")};
    EXPECT_VB_ERROR(c->invokeByName(u"Add", kInvokeMethod, both), 5);
}

} // namespace
