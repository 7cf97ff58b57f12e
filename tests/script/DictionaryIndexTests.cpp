// The Dictionary's hash index under churn: every lookup agrees with a plain
// ordered model after long mixes of adds, removes and renames, and keys are
// found however their subtype or case differs as the compare mode allows.
#include "platform/automation/ErrorTexts.h"
#include "platform/automation/Text.h"
#include "platform/script/runtime/Dictionary.h"
#include "ScriptTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace qz;
using qz::script::Dictionary;

namespace {

Variant key(int n) { return Variant(u"k" + fromUtf8(std::to_string(n))); }

int errorNumber(auto&& f) {
    try {
        f();
    } catch (const AutomationError& e) {
        return e.Number & 0xFFFF;
    }
    return 0;
}

TEST(DictionaryIndex, RandomChurnAgreesWithModel) {
    std::mt19937 rng(7);
    Ref<Dictionary> d(new Dictionary);
    std::vector<std::pair<int, int>> model; // (key, item) in insertion order
    auto at = [&](int k) {
        return std::find_if(model.begin(), model.end(), [k](auto& p) { return p.first == k; });
    };
    for (int step = 0; step < 20000; ++step) {
        const int k = static_cast<int>(rng() % 300);
        switch (rng() % 4) {
        case 0:
        case 1:
            if (at(k) == model.end()) {
                d->add(key(k), Variant(std::int32_t(step)));
                model.emplace_back(k, step);
            } else {
                ASSERT_EQ(errorNumber([&] { d->add(key(k), Variant()); }), 457);
            }
            break;
        case 2:
            if (auto it = at(k); it != model.end()) {
                d->remove(key(k));
                model.erase(it);
            } else {
                ASSERT_EQ(errorNumber([&] { d->remove(key(k)); }), 32811);
            }
            break;
        default: {
            const int to = static_cast<int>(rng() % 300);
            auto it = at(k);
            if (it != model.end() && (to == k || at(to) == model.end())) {
                d->rename(key(k), key(to));
                it->first = to;
            }
            break;
        }
        }
        ASSERT_EQ(d->count(), static_cast<std::int32_t>(model.size())) << step;
    }
    for (int k = 0; k < 300; ++k) {
        auto it = at(k);
        ASSERT_EQ(d->exists(key(k)), it != model.end()) << k;
        if (it != model.end()) {
            ASSERT_EQ(d->item(key(k)).longValue(), it->second);
        }
    }
    std::vector<Variant> keys = d->keys();
    ASSERT_EQ(keys.size(), model.size());
    for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(keys[i].stringValue(), key(model[i].first).stringValue());
}

TEST(DictionaryIndex, RemovedSlotsDoNotFillTheTable) {
    // A sliding window of live keys leaves a trail of removed ones behind;
    // lookups of absent keys must still end.
    Ref<Dictionary> d(new Dictionary);
    for (int i = 0; i < 50000; ++i) {
        d->add(key(i), Variant(std::int32_t(i)));
        if (i >= 8) d->remove(key(i - 8));
    }
    EXPECT_EQ(d->count(), 8);
    EXPECT_FALSE(d->exists(key(100)));
    EXPECT_FALSE(d->exists(key(-1)));
    EXPECT_EQ(d->item(key(49999)).longValue(), 49999);
    EXPECT_EQ(d->keys().front().stringValue(), key(49992).stringValue());
}

TEST(DictionaryIndex, KeysHashAsTheyCompare) {
    Ref<Dictionary> d(new Dictionary);
    d->add(Variant(std::int16_t(3)), Variant(u"three"));
    d->add(Variant(0.0), Variant(u"zero"));
    d->add(Variant(), Variant(u"empty"));
    // Numbers are one key whatever their subtype; -0 is 0.
    EXPECT_TRUE(d->exists(Variant(std::int32_t(3))));
    EXPECT_TRUE(d->exists(Variant(3.0)));
    EXPECT_TRUE(d->exists(Variant(-0.0)));
    EXPECT_FALSE(d->exists(Variant(3.5)));
    EXPECT_FALSE(d->exists(Variant(u"3")));
    EXPECT_EQ(d->item(Variant()).stringValue(), u"empty");
    EXPECT_EQ(errorNumber([&] { d->add(Variant(std::uint8_t(3)), Variant()); }), 457);

    Ref<Dictionary> text(new Dictionary);
    text->setCompareMode(1);
    for (int i = 0; i < 2000; ++i) text->add(Variant(u"Name" + fromUtf8(std::to_string(i))), Variant(std::int32_t(i)));
    EXPECT_EQ(text->item(Variant(u"NAME1234")).longValue(), 1234);
    EXPECT_TRUE(text->exists(Variant(u"name0")));
    text->add(Variant(u"Été"), Variant(std::int32_t(1)));
    EXPECT_TRUE(text->exists(Variant(u"éTÉ")));
    EXPECT_EQ(errorNumber([&] { text->add(Variant(u"ÉTÉ"), Variant()); }), 457);
}

} // namespace

namespace {

TEST(DictionaryIndex, LargeTablesKeepEveryKeyThroughGrowthRemovalAndRename) {
    // Past 2^16 entries a slot keeps fewer hash bits beside the position;
    // every key must still be told apart from its neighbours.
    Ref<Dictionary> d(new Dictionary);
    const int n = 150000;
    for (int i = 0; i < n; ++i) d->add(i % 3 ? key(i) : Variant(std::int32_t(i)), Variant(std::int32_t(i)));
    for (int i = 0; i < n; i += 2) d->remove(i % 3 ? key(i) : Variant(static_cast<double>(i)));
    for (int i = 1; i < n; i += 10) d->rename(i % 3 ? key(i) : Variant(std::int32_t(i)), key(-i));
    ASSERT_EQ(d->count(), n / 2);
    for (int i = 0; i < n; ++i) {
        const bool renamed = i % 10 == 1, alive = i % 2 == 1 && !renamed;
        ASSERT_EQ(d->exists(i % 3 ? key(i) : Variant(std::int32_t(i))), alive) << i;
        if (renamed) {
            ASSERT_EQ(d->item(key(-i)).longValue(), i);
        }
    }
    EXPECT_EQ(d->count(), n / 2); // reading existing keys added nothing
    std::vector<Variant> keys = d->keys();
    EXPECT_EQ(keys.front().stringValue(), u"k-1");
    EXPECT_EQ(keys.back().stringValue(), key(n - 1).stringValue());
}

TEST(DictionaryIndex, TextKeysDifferingInOneUnitAreDistinct) {
    // Texts are hashed and compared several units at a time: one unit that
    // differs, anywhere, at any length, makes another key.
    std::vector<std::u16string> texts;
    for (std::size_t len = 0; len <= 13; ++len) {
        texts.emplace_back(len, u'a');
        for (std::size_t at = 0; at < len; ++at) {
            texts.emplace_back(len, u'a');
            texts.back()[at] = static_cast<char16_t>(0x100 + at);
        }
    }
    Ref<Dictionary> d(new Dictionary);
    for (std::size_t i = 0; i < texts.size(); ++i) d->add(Variant(texts[i]), Variant(static_cast<std::int32_t>(i)));
    for (std::size_t i = 0; i < texts.size(); ++i) ASSERT_EQ(d->item(Variant(texts[i])).longValue(), static_cast<std::int32_t>(i));
    EXPECT_EQ(d->count(), static_cast<std::int32_t>(texts.size()));
}

TEST(DictionaryIndex, ScriptCallsKeepTheirChecks) {
    // Item, Exists and Add take a shorter way from a script; the wrong
    // number of arguments or kind of call still fails as for any member.
    Ref<Dictionary> d(new Dictionary);
    const std::int32_t item = d->memberId(u"Item"), add = d->memberId(u"Add"), exists = d->memberId(u"Exists");
    EXPECT_EQ(item, Dictionary::kItemId);
    EXPECT_EQ(add, Dictionary::kAddId);
    EXPECT_EQ(exists, Dictionary::kExistsId);
    std::vector<Variant> one{key(1)}, two{key(1), Variant(std::int32_t(5))}, three{key(2), Variant(), Variant()};
    d->invoke(add, kInvokeMethod, two);
    EXPECT_EQ(errorNumber([&] { d->invoke(add, kInvokeMethod, two); }), 457);
    EXPECT_EQ(errorNumber([&] { d->invoke(add, kInvokeMethod, one); }), 450);
    EXPECT_EQ(errorNumber([&] { d->invoke(add, kInvokeMethod, three); }), 450);
    EXPECT_EQ(errorNumber([&] { d->invoke(add, kInvokePropertyGet, two); }), 438);
    EXPECT_EQ(d->invoke(kDispidValue, kInvokeMethod | kInvokePropertyGet, one).longValue(), 5);
    EXPECT_EQ(d->invoke(item, kInvokePropertyGet, one).longValue(), 5);
    EXPECT_EQ(errorNumber([&] { d->invoke(item, kInvokeMethod, one); }), 438);
    EXPECT_EQ(errorNumber([&] { d->invoke(item, kInvokePropertyGet, two); }), 450);
    d->invoke(kDispidValue, kInvokePropertyPut, two = {key(1), Variant(std::int32_t(6))});
    EXPECT_EQ(d->item(key(1)).longValue(), 6);
    EXPECT_TRUE(d->invoke(exists, kInvokeMethod, one).boolValue());
    EXPECT_EQ(errorNumber([&] { d->invoke(exists, kInvokeMethod, two); }), 450);
    EXPECT_EQ(errorNumber([&] { d->invoke(exists, kInvokePropertyPut, two); }), 438);
    EXPECT_EQ(d->count(), 1);
}

TEST(DictionaryIndex, KeysJoinedFromPlainOperandsFindWhatTheirStringsFind) {
    // d(p & n), d.Item and d.Exists of a key joined from a variable and a
    // number are looked up by their text; through CStr the same keys take
    // the general way. Both must agree in either compare mode, a missing key
    // read must be added, and a text never finds a number key.
    qz::script::test::Script s(
        "Function MakeDict(mode)\r\n  Dim d : Set d = CreateObject(\"Scripting.Dictionary\") : d.CompareMode = mode\r\n"
        "  d.Add \"k1\", \"a\" : d.Add 1, \"b\" : d.Add \"-2k\", \"c\" : d.Add \"5\", \"d\" : d.Add \"K0\", \"e\"\r\n"
        "  Set MakeDict = d\r\nEnd Function\r\n"
        "Function Probe(d, fast)\r\n  Dim p, n, r\r\n"
        "  For Each p In Array(\"k\", \"K\", \"\", \"-\", String(70, \"k\"))\r\n"
        "    For Each n In Array(1, CInt(-2), 5, 2147483647, CInt(0))\r\n"
        "      If fast Then\r\n        r = r & d.Exists(p & n) & d.Exists(n & p) & \"=\" & d(p & n) & d.Item(n & p) & \";\"\r\n"
        "      Else\r\n        r = r & d.Exists(CStr(p & n)) & d.Exists(CStr(n & p)) & \"=\" & d(CStr(p & n)) & d.Item(CStr(n & p)) & \";\"\r\n"
        "      End If\r\n    Next\r\n  Next\r\n"
        "  Probe = r & d.Count & Join(d.Keys, \",\")\r\nEnd Function\r\n"
        "Function Fill(fast, mode)\r\n  Dim d, p, n : Set d = MakeDict(mode)\r\n"
        "  For Each p In Array(\"a\", \"k\") : For Each n In Array(2, CInt(-7))\r\n"
        "    If fast Then d.Add p & n, n Else d.Add CStr(p & n), n\r\n"
        "  Next : Next\r\n  Fill = Join(d.Keys, \",\") & \"/\" & Join(d.Items, \",\")\r\nEnd Function\r\n"
        "Sub AddTwice(mode) : Dim d, n : Set d = MakeDict(mode) : n = 1 : d.Add \"K\" & n, n : End Sub\r\n");
    EXPECT_EQ(s.str("Fill(True, 0)"), s.str("Fill(False, 0)"));
    EXPECT_EQ(s.str("Fill(True, 0)"), "k1,1,-2k,5,K0,a2,a-7,k2,k-7/a,b,c,d,e,2,-7,2,-7");
    EXPECT_EQ(qz::script::test::errorOf([&] { s.sc.ExecuteStatement("AddTwice 0"); }).Number, 0);
    EXPECT_EQ(qz::script::test::errorOf([&] { s.sc.ExecuteStatement("AddTwice 1"); }).Number, 457);
    for (const char* mode : {"0", "1"}) {
        const std::string fast = s.str(std::string("Probe(MakeDict(") + mode + "), True)");
        EXPECT_EQ(fast, s.str(std::string("Probe(MakeDict(") + mode + "), False)")) << "mode " << mode;
        EXPECT_NE(fast.find("k1"), std::string::npos);
    }
    EXPECT_EQ(s.str("MakeDict(1).Exists(\"K\" & 1) & MakeDict(0).Exists(\"K\" & 1) & MakeDict(0).Exists(\"\" & 1)"),
              "TrueFalseFalse");
    // The joined texts themselves, both orders, at the ends of the whole-number subtypes.
    EXPECT_EQ(s.str("\"a\" & 12 & \"|\" & (-3 & \"b\") & \"|\" & (CInt(-32768) & \"\") & \"|\" & (\"x\" & CLng(-2147483647) - 1)"),
              "a12|-3b|-32768|x-2147483648");
}

} // namespace
