// Built-ins whose work grows with their input: they ask the thread's memory
// ceiling before they allocate, and give way to its passed deadline as they
// go, instead of finishing first. Every value counts itself while it lives.
#include "Call.h"

#include "platform/script/runtime/RegExp.h"
#include "platform/script/runtime/ScriptErrors.h"

using namespace qz;
using namespace qz::test;

namespace {

// How a call ended: "done", "memory" (stopped by the ceiling) or "time".
template <class F>
std::string ending(F&& f) {
    try {
        f();
    } catch (const script::ScriptAbort& a) {
        return a.outOfMemory ? "memory" : "time";
    }
    return "done";
}

Variant arrayOf(std::size_t n, const Variant& item) {
    return Variant(SafeArray::fromVector(std::vector<Variant>(n, item)));
}

TEST(BuiltinLimits, InputSizedResultsAskTheCeilingFirst) {
    const Variant commas(std::u16string(1000000, u','));
    const Variant as(std::u16string(1000000, u'a'));
    const Variant items = arrayOf(1000000, S(u"abcdef"));
    Ref<script::RegExp> re(new script::RegExp);
    re->pattern = u".";
    re->global = true;
    const std::int64_t before = memory::held();
    {
        memory::CeilingScope ceiling(8 << 20);
        EXPECT_EQ(ending([&] { call(u"String", {L(5000000), S(u"x")}); }), "memory");
        EXPECT_EQ(ending([&] { call(u"Space", {L(5000000)}); }), "memory");
        EXPECT_EQ(ending([&] { call(u"Split", {commas, S(u",")}); }), "memory");
        EXPECT_EQ(ending([&] { call(u"Join", {items, S(u"--")}); }), "memory");
        EXPECT_EQ(ending([&] { call(u"Filter", {items, S(u"b")}); }), "memory");
        EXPECT_EQ(ending([&] { call(u"Replace", {as, S(u"a"), S(u"bcdefghijk")}); }), "memory");
        EXPECT_EQ(ending([&] { re->execute(as.stringValue()); }), "memory");
        // Below the ceiling the same calls run.
        EXPECT_EQ(call(u"Split", {S(u"a,b,c"), S(u",")}).arrayValue()->data.size(), 3u);
        EXPECT_EQ(callStr(u"Join", {arrayOf(3, S(u"x")), S(u"-")}), u"x-x-x");
        EXPECT_EQ(re->execute(u"abc").size(), 3u);
    }
    // What the stopped calls made is given back as it goes.
    EXPECT_EQ(memory::held(), before);
    // Without a ceiling nothing stops them.
    EXPECT_EQ(call(u"Split", {commas, S(u",")}).arrayValue()->data.size(), 1000001u);
}

TEST(BuiltinLimits, LongCallsGiveWayToAPassedDeadline) {
    const Variant commas(std::u16string(300000, u','));
    const Variant as(std::u16string(300000, u'a'));
    const Variant items = arrayOf(300000, S(u"abc"));
    sys::DeadlineScope passed(sys::DeadlineClock::now() - std::chrono::milliseconds(1));
    EXPECT_EQ(ending([&] { call(u"Split", {commas, S(u",")}); }), "time");
    EXPECT_EQ(ending([&] { call(u"Join", {items}); }), "time");
    EXPECT_EQ(ending([&] { call(u"Filter", {items, S(u"b"), Variant(false)}); }), "time");
    EXPECT_EQ(ending([&] { call(u"Replace", {as, S(u"a"), S(u"b")}); }), "time");
    EXPECT_EQ(ending([&] { call(u"InStr", {L(1), as, S(u"b"), L(1)}); }), "time");
    EXPECT_EQ(ending([&] { call(u"InStrRev", {as, S(u"b"), L(-1), L(1)}); }), "time");
    // Short inputs end before the first look at the clock.
    EXPECT_EQ(callStr(u"Replace", {S(u"aa"), S(u"a"), S(u"b")}), u"bb");
}

TEST(BuiltinLimits, ValuesCountWhatTheyHoldWhileTheyLive) {
    const std::int64_t before = memory::held();
    {
        Variant s(std::u16string(100000, u'x'));
        Variant a = arrayOf(1000, s);
        EXPECT_GE(memory::held() - before, 200000 + 16000);
        Variant t = s;  // shared, not counted twice
        EXPECT_LT(memory::held() - before, 2 * 200000);
    }
    EXPECT_EQ(memory::held(), before);
    {
        // Short texts count too, and what Filter keeps is the texts it was
        // given, not copies of them (copies took time to make and to free).
        std::vector<Variant> texts;
        for (int i = 0; i < 100000; ++i) texts.emplace_back(std::u16string(u"t") + char16_t(u'0' + i % 10));
        const std::int64_t made = memory::held() - before;
        EXPECT_GE(made, 100000 * 32);
        const Variant kept = call(u"Filter", {Variant(SafeArray::fromVector(texts)), S(u"t")});
        EXPECT_EQ(kept.arrayValue()->data.size(), 100000u);
        EXPECT_LT(memory::held() - before, made + 3 * 100000 * std::int64_t(sizeof(Variant)));
    }
    EXPECT_EQ(memory::held(), before);
}

} // namespace
