#include "Call.h"

#include "platform/automation/Text.h"

#include <cmath>
#include <thread>

using namespace qz;
using namespace qz::test;

namespace {

std::vector<Variant> elements(const Variant& arr) {
    EXPECT_TRUE(arr.isArray());
    return arr.isArray() ? arr.arrayValue()->data : std::vector<Variant>{};
}

TEST(Library, FunctionTableAndConstants) {
    auto fns = script::builtinFunctions();
    for (std::size_t i = 1; i < fns.size(); ++i)
        EXPECT_LT(compareNoCase(fns[i - 1].name, fns[i].name), 0) << toUtf8(fns[i].name);
    for (const auto& f : fns) {
        EXPECT_EQ(script::findBuiltin(toUpperCase(f.name)), &f);
        EXPECT_LE(f.minArgs, f.maxArgs) << toUtf8(f.name);
    }
    EXPECT_EQ(script::findBuiltin(u"Eval"), nullptr);

    std::vector<std::u16string> names;
    auto find = [](std::u16string_view n) -> const Variant* {
        for (const auto& [name, v] : script::builtinConstants())
            if (name == n) return &v;
        return nullptr;
    };
    ASSERT_NE(find(u"vbCrLf"), nullptr);
    EXPECT_EQ(find(u"vbCrLf")->stringValue(), u"\r\n");
    EXPECT_EQ(find(u"vbObjectError")->longValue(), -2147221504);
    EXPECT_EQ(find(u"vbTextCompare")->type(), VarType::Integer);
    EXPECT_EQ(find(u"vbNullChar")->stringValue().size(), 1u);
    EXPECT_EQ(find(u"vbFirstFourDays")->integerValue(), 2);
    EXPECT_EQ(find(u"vbMsgBoxSetForeground")->longValue(), 65536);
}

TEST(StringFunctions, LengthAndSlices) {
    EXPECT_EQ(call(u"Len", {S(u"abc")}).longValue(), 3);
    EXPECT_EQ(call(u"Len", {I(123)}).longValue(), 3);
    EXPECT_TRUE(call(u"Len", {Variant::null()}).isNull());
    EXPECT_EQ(call(u"LenB", {S(u"ab")}).longValue(), 4);
    EXPECT_EQ(callStr(u"Left", {S(u"hello"), I(2)}), u"he");
    EXPECT_EQ(callStr(u"Left", {S(u"hi"), I(10)}), u"hi");
    EXPECT_EQ(callStr(u"Right", {S(u"hello"), I(3)}), u"llo");
    EXPECT_EQ(callStr(u"Mid", {S(u"hello"), I(2), I(3)}), u"ell");
    EXPECT_EQ(callStr(u"Mid", {S(u"hello"), I(2)}), u"ello");
    EXPECT_EQ(callStr(u"Mid", {S(u"hello"), I(10)}), u"");
    EXPECT_EQ(callStr(u"Left", {D(12.5), I(2)}), u"12");
    EXPECT_TRUE(call(u"Mid", {Variant::null(), I(1)}).isNull());
    EXPECT_VB_ERROR(call(u"Mid", {S(u"hello"), I(0)}), 5);
    EXPECT_VB_ERROR(call(u"Left", {S(u"a"), I(-1)}), 5);
    EXPECT_VB_ERROR(call(u"Left", {S(u"a"), Variant::null()}), 94);
    EXPECT_EQ(callStr(u"LeftB", {S(u"abcd"), I(4)}), u"ab");
    EXPECT_EQ(callStr(u"MidB", {S(u"abcd"), I(3), I(2)}), u"b");
}

TEST(StringFunctions, SearchAndCompare) {
    EXPECT_EQ(call(u"InStr", {S(u"abcabc"), S(u"c")}).longValue(), 3);
    EXPECT_EQ(call(u"InStr", {I(4), S(u"abcabc"), S(u"c")}).longValue(), 6);
    EXPECT_EQ(call(u"InStr", {I(1), S(u"ABC"), S(u"b"), I(1)}).longValue(), 2);
    EXPECT_EQ(call(u"InStr", {S(u"ABC"), S(u"b")}).longValue(), 0);
    EXPECT_EQ(call(u"InStr", {S(u"abc"), S(u"")}).longValue(), 1);
    EXPECT_EQ(call(u"InStr", {I(5), S(u"abc"), S(u"")}).longValue(), 0);
    EXPECT_EQ(call(u"InStr", {S(u""), S(u"a")}).longValue(), 0);
    EXPECT_TRUE(call(u"InStr", {Variant::null(), S(u"a")}).isNull());
    EXPECT_VB_ERROR(call(u"InStr", {I(0), S(u"abc"), S(u"a")}), 5);
    EXPECT_VB_ERROR(call(u"InStr", {I(1), S(u"abc"), S(u"a"), I(3)}), 5);
    EXPECT_EQ(call(u"InStrRev", {S(u"abcabc"), S(u"c")}).longValue(), 6);
    EXPECT_EQ(call(u"InStrRev", {S(u"abcabc"), S(u"c"), I(5)}).longValue(), 3);
    EXPECT_EQ(call(u"InStrRev", {S(u"abcabc"), S(u"abc"), I(5)}).longValue(), 1);
    EXPECT_EQ(call(u"InStrRev", {S(u"abc"), S(u"")}).longValue(), 3);
    EXPECT_EQ(call(u"InStrRev", {S(u"ABC"), S(u"b"), I(-1), I(1)}).longValue(), 2);
    EXPECT_EQ(call(u"InStrRev", {S(u"abc"), S(u"c"), I(9)}).longValue(), 0);
    EXPECT_VB_ERROR(call(u"InStrRev", {S(u"abc"), S(u"c"), I(0)}), 5);

    EXPECT_EQ(call(u"StrComp", {S(u"a"), S(u"B")}).integerValue(), 1);
    EXPECT_EQ(call(u"StrComp", {S(u"a"), S(u"B"), I(1)}).integerValue(), -1);
    EXPECT_EQ(call(u"StrComp", {S(u"abc"), S(u"abc")}).integerValue(), 0);
    EXPECT_EQ(call(u"StrComp", {S(u"\u00E9cole"), S(u"Ecole"), I(1)}).integerValue(), 1);
    EXPECT_EQ(call(u"StrComp", {S(u"\u00C9COLE"), S(u"\u00E9cole"), I(1)}).integerValue(), 0);
    EXPECT_EQ(call(u"StrComp", {S(u"\u00E9cole"), S(u"fin"), I(1)}).integerValue(), -1);
    EXPECT_TRUE(call(u"StrComp", {S(u"a"), Variant::null()}).isNull());
}

TEST(StringFunctions, ReplaceTrimCaseAndBuild) {
    EXPECT_EQ(callStr(u"Replace", {S(u"aXbXc"), S(u"X"), S(u"-")}), u"a-b-c");
    EXPECT_EQ(callStr(u"Replace", {S(u"aXbXc"), S(u"x"), S(u"-"), I(1), I(-1), I(1)}), u"a-b-c");
    EXPECT_EQ(callStr(u"Replace", {S(u"aXbXc"), S(u"x"), S(u"-")}), u"aXbXc");
    EXPECT_EQ(callStr(u"Replace", {S(u"aXbXc"), S(u"X"), S(u"-"), I(3)}), u"b-c");
    EXPECT_EQ(callStr(u"Replace", {S(u"aXbXc"), S(u"X"), S(u"-"), I(1), I(1)}), u"a-bXc");
    EXPECT_EQ(callStr(u"Replace", {S(u"abc"), S(u""), S(u"z")}), u"abc");
    EXPECT_EQ(callStr(u"Replace", {S(u"abc"), S(u"b"), S(u"")}), u"ac");
    EXPECT_EQ(callStr(u"Replace", {S(u"abc"), S(u"a"), S(u"z"), I(9)}), u"");
    EXPECT_EQ(callStr(u"Replace", {S(u"aaa"), S(u"a"), S(u"aa")}), u"aaaaaa");
    EXPECT_VB_ERROR(call(u"Replace", {Variant::null(), S(u"a"), S(u"b")}), 94);

    EXPECT_EQ(callStr(u"Trim", {S(u"  a b  ")}), u"a b");
    EXPECT_EQ(callStr(u"LTrim", {S(u"  a ")}), u"a ");
    EXPECT_EQ(callStr(u"RTrim", {S(u" a  ")}), u" a");
    EXPECT_EQ(callStr(u"Trim", {S(u"\ta ")}), u"\ta");
    EXPECT_TRUE(call(u"Trim", {Variant::null()}).isNull());
    EXPECT_EQ(callStr(u"UCase", {S(u"abc\u00E9")}), u"ABC\u00C9");
    EXPECT_EQ(callStr(u"LCase", {S(u"ABC")}), u"abc");
    EXPECT_TRUE(call(u"LCase", {Variant::null()}).isNull());
    EXPECT_EQ(callStr(u"StrReverse", {S(u"abc")}), u"cba");

    EXPECT_EQ(callStr(u"Space", {I(3)}), u"   ");
    EXPECT_EQ(callStr(u"String", {I(3), S(u"ab")}), u"aaa");
    EXPECT_EQ(callStr(u"String", {I(2), I(65)}), u"AA");
    EXPECT_EQ(callStr(u"String", {I(1), I(128 + 256)}), u"\u20AC");
    EXPECT_VB_ERROR(call(u"Space", {I(-1)}), 5);
    EXPECT_VB_ERROR(call(u"String", {I(-1), S(u"a")}), 5);
    EXPECT_VB_ERROR(call(u"String", {I(2), S(u"")}), 5);
    // Huge requests fail cleanly instead of exhausting memory.
    EXPECT_VB_ERROR(call(u"Space", {L(2000000000)}), 7);
    EXPECT_VB_ERROR(call(u"String", {L(1000000000), S(u"a")}), 7);
}

TEST(StringFunctions, SplitJoinFilter) {
    auto parts = elements(call(u"Split", {S(u"a,b,,c"), S(u",")}));
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[2].stringValue(), u"");
    EXPECT_EQ(parts[3].stringValue(), u"c");
    Variant empty = call(u"Split", {S(u"")});
    EXPECT_EQ(call(u"UBound", {empty}).longValue(), -1);
    EXPECT_EQ(elements(call(u"Split", {S(u"a b")})).size(), 2u);
    parts = elements(call(u"Split", {S(u"a,b,c"), S(u","), I(2)}));
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1].stringValue(), u"b,c");
    EXPECT_EQ(elements(call(u"Split", {S(u"aXbxc"), S(u"x"), I(-1), I(1)})).size(), 3u);
    EXPECT_EQ(elements(call(u"Split", {S(u"abc"), S(u"")})).size(), 1u);

    EXPECT_EQ(callStr(u"Join", {call(u"Array", {S(u"a"), I(1), Variant()}), S(u"-")}), u"a-1-");
    EXPECT_EQ(callStr(u"Join", {call(u"Array", {S(u"a"), S(u"b")})}), u"a b");
    EXPECT_EQ(callStr(u"Join", {call(u"Array", {})}), u"");
    EXPECT_VB_ERROR(call(u"Join", {S(u"x")}), 13);

    Variant fruit = call(u"Array", {S(u"apple"), S(u"banana"), S(u"cherry")});
    parts = elements(call(u"Filter", {fruit, S(u"an")}));
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].stringValue(), u"banana");
    EXPECT_EQ(elements(call(u"Filter", {fruit, S(u"an"), Variant(false)})).size(), 2u);
    EXPECT_EQ(elements(call(u"Filter", {fruit, S(u"AN"), Variant(true), I(1)})).size(), 1u);
    EXPECT_VB_ERROR(call(u"Filter", {S(u"x"), S(u"a")}), 13);
}

TEST(StringFunctions, CharactersAndEscapes) {
    EXPECT_EQ(call(u"Asc", {S(u"A")}).integerValue(), 65);
    EXPECT_EQ(call(u"Asc", {S(u"\u20AC")}).integerValue(), 128);   // the ANSI code page
    EXPECT_EQ(call(u"AscW", {S(u"\u20AC")}).integerValue(), 8364);
    EXPECT_EQ(call(u"AscW", {S(u"\uFFFF")}).integerValue(), -1);
    EXPECT_VB_ERROR(call(u"Asc", {S(u"")}), 5);
    EXPECT_VB_ERROR(call(u"Asc", {Variant::null()}), 94);
    EXPECT_EQ(callStr(u"Chr", {I(128)}), u"\u20AC");
    EXPECT_EQ(callStr(u"Chr", {I(65)}), u"A");
    EXPECT_VB_ERROR(call(u"Chr", {I(256)}), 5);
    EXPECT_EQ(callStr(u"ChrW", {I(-1)}), u"\uFFFF");
    EXPECT_EQ(callStr(u"ChrW", {L(8364)}), u"\u20AC");
    EXPECT_VB_ERROR(call(u"ChrW", {L(65536)}), 5);

    Variant text = S(u"a b+c/\u00E9\u20AC%");
    EXPECT_EQ(callStr(u"Escape", {text}), u"a%20b+c/%E9%u20AC%25");
    EXPECT_EQ(callStr(u"Unescape", {call(u"Escape", {text})}), text.stringValue());
    EXPECT_EQ(callStr(u"Unescape", {S(u"%zz%4")}), u"%zz%4");
}

TEST(ConversionFunctions, RadixTruncationAndCasts) {
    EXPECT_EQ(callStr(u"Hex", {I(255)}), u"FF");
    EXPECT_EQ(callStr(u"Hex", {I(-1)}), u"FFFF");
    EXPECT_EQ(callStr(u"Hex", {L(-1)}), u"FFFFFFFF");
    EXPECT_EQ(callStr(u"Hex", {D(1.5)}), u"2");
    EXPECT_EQ(callStr(u"Oct", {I(8)}), u"10");
    EXPECT_TRUE(call(u"Hex", {Variant::null()}).isNull());

    Variant v = call(u"Fix", {D(-2.5)});
    EXPECT_EQ(v.type(), VarType::Double);
    EXPECT_EQ(v.doubleValue(), -2);
    EXPECT_EQ(call(u"Int", {D(-2.5)}).doubleValue(), -3);
    EXPECT_EQ(call(u"Int", {I(5)}).type(), VarType::Integer);
    EXPECT_EQ(call(u"Int", {Variant::currency(-25000)}).currencyValue(), -30000);
    EXPECT_EQ(call(u"Fix", {Variant::currency(-25000)}).currencyValue(), -20000);
    EXPECT_TRUE(call(u"Int", {Variant::null()}).isNull());
    EXPECT_EQ(call(u"Int", {S(u"7.9")}).doubleValue(), 7);

    EXPECT_EQ(call(u"CInt", {S(u"2.5")}).integerValue(), 2);
    EXPECT_EQ(call(u"CLng", {D(2.5)}).type(), VarType::Long);
    EXPECT_EQ(call(u"CCur", {S(u"1.5")}).currencyValue(), 15000);
    EXPECT_EQ(call(u"CDate", {S(u"1/15/2004")}).type(), VarType::Date);
    EXPECT_EQ(call(u"CSng", {I(1)}).type(), VarType::Single);
    EXPECT_VB_ERROR(call(u"CStr", {Variant::null()}), 94);
    EXPECT_VB_ERROR(call(u"CByte", {I(256)}), 6);
    EXPECT_VB_ERROR(call(u"CBool", {S(u"x")}), 13);
}

TEST(TypeFunctions, NamesKindsAndTests) {
    struct Case { Variant v; const char16_t* name; int vt; };
    const Case cases[] = {
        {Variant(), u"Empty", 0},          {Variant::null(), u"Null", 1},
        {I(1), u"Integer", 2},             {L(1), u"Long", 3},
        {Variant(1.0f), u"Single", 4},     {D(1), u"Double", 5},
        {Variant::currency(1), u"Currency", 6}, {Variant::date(1), u"Date", 7},
        {S(u"x"), u"String", 8},           {Variant::nothing(), u"Nothing", 9},
        {Variant::error(5), u"Error", 10}, {Variant(true), u"Boolean", 11},
        {Variant(std::uint8_t{1}), u"Byte", 17},
        {call(u"Array", {}), u"Variant()", 8204},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(callStr(u"TypeName", {c.v}), c.name);
        EXPECT_EQ(call(u"VarType", {c.v}).integerValue(), c.vt) << toUtf8(c.name);
    }
    EXPECT_EQ(callStr(u"TypeName", {Variant(script::createObject(u"Scripting.Dictionary"))}), u"Dictionary");
    // VarType looks through an object's default property; TypeName does not.
    EXPECT_EQ(call(u"VarType", {Variant(script::createObject(u"Scripting.Dictionary"))}).integerValue(), 9);
    Variant re(script::createObject(u"VBScript.RegExp"));
    EXPECT_EQ(call(u"VarType", {re}).integerValue(), 9);
    std::vector<Variant> subject{S(u"x")}, index{I(0)};
    Variant matches = re.objectValue()->invokeByName(u"Execute", kInvokeMethod, subject);
    Variant first = matches.objectValue()->invokeByName(u"Item", kInvokeMethod, index);
    EXPECT_EQ(callStr(u"TypeName", {first}), u"IMatch2");
    EXPECT_EQ(call(u"VarType", {first}).integerValue(), 8);

    for (const Variant& yes : {S(u"12"), S(u" 1e3 "), Variant(), Variant(true), D(1.5), S(u"&HFF")})
        EXPECT_TRUE(call(u"IsNumeric", {yes}).boolValue());
    for (const Variant& no : {S(u"abc"), Variant::null(), Variant::date(1), S(u""), call(u"Array", {})})
        EXPECT_FALSE(call(u"IsNumeric", {no}).boolValue());
    EXPECT_TRUE(call(u"IsDate", {S(u"1/15/2004")}).boolValue());
    EXPECT_TRUE(call(u"IsDate", {Variant::date(5)}).boolValue());
    EXPECT_FALSE(call(u"IsDate", {S(u"abc")}).boolValue());
    EXPECT_FALSE(call(u"IsDate", {D(5)}).boolValue());
    EXPECT_TRUE(call(u"IsEmpty", {Variant()}).boolValue());
    EXPECT_FALSE(call(u"IsEmpty", {S(u"")}).boolValue());
    EXPECT_TRUE(call(u"IsNull", {Variant::null()}).boolValue());
    EXPECT_TRUE(call(u"IsObject", {Variant::nothing()}).boolValue());
    EXPECT_TRUE(call(u"IsArray", {call(u"Array", {})}).boolValue());
}

TEST(ArrayFunctions, BoundsAndColours) {
    Variant a = call(u"Array", {I(1), I(2), I(3)});
    EXPECT_EQ(call(u"LBound", {a}).longValue(), 0);
    EXPECT_EQ(call(u"UBound", {a}).longValue(), 2);
    EXPECT_EQ(call(u"UBound", {a, I(1)}).longValue(), 2);
    EXPECT_VB_ERROR(call(u"UBound", {a, I(2)}), 9);
    EXPECT_VB_ERROR(call(u"UBound", {S(u"x")}), 13);

    EXPECT_EQ(call(u"RGB", {I(255), I(0), I(0)}).longValue(), 255);
    EXPECT_EQ(call(u"RGB", {I(0), I(0), I(1)}).longValue(), 65536);
    EXPECT_EQ(call(u"RGB", {I(300), I(0), I(0)}).longValue(), 255);
    EXPECT_VB_ERROR(call(u"RGB", {I(-1), I(0), I(0)}), 5);
}

TEST(MathFunctions, ResultsTypesAndDomains) {
    Variant v = call(u"Abs", {I(-32768)});
    EXPECT_EQ(v.type(), VarType::Long);
    EXPECT_EQ(v.longValue(), 32768);
    EXPECT_EQ(call(u"Abs", {D(-2.5)}).doubleValue(), 2.5);
    EXPECT_TRUE(call(u"Abs", {Variant::null()}).isNull());
    EXPECT_VB_ERROR(call(u"Abs", {S(u"x")}), 13);
    EXPECT_EQ(call(u"Sgn", {D(-3)}).integerValue(), -1);
    EXPECT_EQ(call(u"Sgn", {Variant()}).integerValue(), 0);
    EXPECT_DOUBLE_EQ(call(u"Sqr", {I(16)}).doubleValue(), 4);
    EXPECT_DOUBLE_EQ(call(u"Atn", {I(1)}).doubleValue() * 4, M_PI);
    EXPECT_DOUBLE_EQ(call(u"Log", {call(u"Exp", {I(2)})}).doubleValue(), 2);
    EXPECT_VB_ERROR(call(u"Sqr", {I(-1)}), 5);
    EXPECT_VB_ERROR(call(u"Log", {I(0)}), 5);
    EXPECT_VB_ERROR(call(u"Exp", {I(1000)}), 6);
    EXPECT_VB_ERROR(call(u"Sin", {Variant::null()}), 94);

    EXPECT_EQ(call(u"Round", {D(2.5)}).doubleValue(), 2);
    EXPECT_EQ(call(u"Round", {D(3.5)}).doubleValue(), 4);
    EXPECT_EQ(call(u"Round", {D(-2.5)}).doubleValue(), -2);
    EXPECT_DOUBLE_EQ(call(u"Round", {D(2.567), I(2)}).doubleValue(), 2.57);
    EXPECT_EQ(call(u"Round", {I(5)}).type(), VarType::Integer);
    EXPECT_EQ(call(u"Round", {Variant::currency(25000)}).currencyValue(), 20000);
    EXPECT_EQ(call(u"Round", {Variant::currency(12350), I(2)}).currencyValue(), 12400);
    EXPECT_EQ(call(u"Round", {S(u"1.5")}).doubleValue(), 2);
    EXPECT_TRUE(call(u"Round", {Variant::null()}).isNull());
    EXPECT_VB_ERROR(call(u"Round", {D(1), I(-1)}), 5);
    // Rounding a Currency past either end of its range overflows.
    EXPECT_VB_ERROR(call(u"Round", {Variant::currency(INT64_MAX)}), 6);
    EXPECT_VB_ERROR(call(u"Int", {Variant::currency(INT64_MIN)}), 6);
    EXPECT_EQ(call(u"Fix", {Variant::currency(INT64_MIN)}).currencyValue(), INT64_MIN / 10000 * 10000);
}

TEST(MathFunctions, RndRepeatsTheLanguageSequence) {
    // A fresh thread starts from the language's fixed seed.
    std::vector<float> first;
    std::thread([&] {
        for (int i = 0; i < 3; ++i) first.push_back(call(u"Rnd").singleValue());
    }).join();
    ASSERT_EQ(first.size(), 3u);
    EXPECT_NEAR(first[0], 0.7055475, 1e-6);
    EXPECT_NEAR(first[1], 0.533424, 1e-6);
    EXPECT_NEAR(first[2], 0.5795186, 1e-6);

    // A negative argument reseeds: the same number every time.
    float a = call(u"Rnd", {I(-1)}).singleValue();
    EXPECT_NEAR(a, 0.224007487, 1e-6);
    EXPECT_EQ(call(u"Rnd", {I(0)}).singleValue(), a);
    EXPECT_EQ(call(u"Rnd", {I(-1)}).singleValue(), a);

    // Randomize with a number after a reseed repeats its sequence.
    auto run = [] {
        call(u"Rnd", {I(-1)});
        script::randomize(I(42));
        std::vector<float> v;
        for (int i = 0; i < 4; ++i) v.push_back(call(u"Rnd").singleValue());
        return v;
    };
    std::vector<float> r1 = run(), r2 = run();
    EXPECT_EQ(r1, r2);
    for (float x : r1) {
        EXPECT_GE(x, 0.0f);
        EXPECT_LT(x, 1.0f);
    }
    script::randomize(I(43));
    EXPECT_NE(call(u"Rnd").singleValue(), r1[0]);
}

TEST(Objects, CreateObjectRegistry) {
    EXPECT_NE(script::createObject(u"scripting.dictionary").get(), nullptr);
    EXPECT_NE(script::createObject(u"VBSCRIPT.REGEXP").get(), nullptr);
    EXPECT_VB_ERROR(script::createObject(u"No.Such"), 429);
    script::registerCreatable(u"Test.Thing", [] { return Ref<Dispatch>(); });
    EXPECT_VB_ERROR(script::createObject(u"test.thing"), 429);
}

} // namespace
