#include "Expect.h"
#include "TestLocales.h"

#include "platform/automation/NumberText.h"
#include "platform/automation/Text.h"
#include "platform/automation/VariantOps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace qz;
using namespace qz::ops;

namespace {

Variant I(int v) { return Variant(static_cast<std::int16_t>(v)); }
Variant L(int v) { return Variant(static_cast<std::int32_t>(v)); }
Variant B(int v) { return Variant(static_cast<std::uint8_t>(v)); }
Variant S(const char16_t* s) { return Variant(s); }
Variant Cur(double v) { return Variant::currency(static_cast<std::int64_t>(v * 10000)); }

using BinOp = Variant (*)(const Variant&, const Variant&);

struct Row {
    const char* what;
    BinOp op;
    Variant a, b;
    VarType type;
    double value; // compared through toDouble() for numeric results
};

TEST(Operators, ArithmeticResultTypes) {
    const Row rows[] = {
        {"Integer+Integer", add, I(1), I(2), VarType::Integer, 3},
        {"Integer overflow to Long", add, I(32767), I(1), VarType::Long, 32768},
        {"Long overflow to Double", add, L(2147483647), L(1), VarType::Double, 2147483648.0},
        {"Integer*Integer to Long", multiply, I(300), I(300), VarType::Long, 90000},
        {"Long*Long to Double", multiply, L(100000), L(100000), VarType::Double, 1e10},
        {"Byte+Byte", add, B(1), B(2), VarType::Byte, 3},
        {"Byte overflow to Integer", add, B(200), B(100), VarType::Integer, 300},
        {"Byte-Byte below zero", subtract, B(1), B(2), VarType::Integer, -1},
        {"Boolean+Boolean", add, Variant(true), Variant(true), VarType::Integer, -2},
        {"Byte+Integer", add, B(1), I(1), VarType::Integer, 2},
        {"Empty+Empty", add, Variant(), Variant(), VarType::Integer, 0},
        {"Empty+Byte keeps Byte", add, Variant(), B(4), VarType::Byte, 4},
        {"Empty-Long", subtract, Variant(), L(4), VarType::Long, -4},
        {"String+Integer is Double", add, S(u"1"), I(2), VarType::Double, 3},
        {"Single+Integer", add, Variant(1.5f), I(1), VarType::Single, 2.5},
        {"Single+Long is Double", add, Variant(1.5f), L(1), VarType::Double, 2.5},
        {"Single+Double", add, Variant(1.5f), Variant(1.0), VarType::Double, 2.5},
        {"Currency+Double", add, Cur(1.5), Variant(0.25), VarType::Currency, 1.75},
        {"Currency*Currency", multiply, Cur(1.5), Cur(1.5), VarType::Currency, 2.25},
        {"Currency*Integer", multiply, Cur(0.0001), I(3), VarType::Currency, 0.0003},
        {"Currency*Double is Double", multiply, Cur(1.5), Variant(0.5), VarType::Double, 0.75},
        {"Currency*Single", multiply, Cur(1.5), Variant(0.5f), VarType::Currency, 0.75},
        {"Currency-Double", subtract, Cur(1.5), Variant(0.5), VarType::Currency, 1},
        {"Date+Integer", add, Variant::date(38001), I(1), VarType::Date, 38002},
        {"Date-Integer", subtract, Variant::date(38001), I(1), VarType::Date, 38000},
        {"Date-Date", subtract, Variant::date(38001), Variant::date(38000.5), VarType::Double, 0.5},
        {"Date*Integer", multiply, Variant::date(2), I(2), VarType::Double, 4},
        {"Integer/Integer", divide, I(1), I(2), VarType::Double, 0.5},
        {"Single/Integer", divide, Variant(3.0f), I(2), VarType::Single, 1.5},
        {"Single/Long", divide, Variant(3.0f), L(2), VarType::Double, 1.5},
        {"Currency/Integer", divide, Cur(3), I(2), VarType::Double, 1.5},
        {"Integer\\Integer", intDivide, I(7), I(2), VarType::Integer, 3},
        {"Double\\Integer rounds first", intDivide, Variant(7.5), I(2), VarType::Long, 4},
        {"Byte\\Byte", intDivide, B(9), B(2), VarType::Byte, 4},
        {"String\\Integer", intDivide, S(u"9"), I(2), VarType::Long, 4},
        {"Mod keeps dividend sign", mod, I(-7), I(3), VarType::Integer, -1},
        {"Double Mod rounds", mod, Variant(5.5), I(4), VarType::Long, 2},
        {"Power", power, I(2), I(10), VarType::Double, 1024},
        {"Negative base, integer power", power, I(-2), I(3), VarType::Double, -8},
    };
    for (const Row& r : rows) {
        Variant v = r.op(r.a, r.b);
        EXPECT_EQ(v.type(), r.type) << r.what;
        EXPECT_DOUBLE_EQ(v.toDouble(), r.value) << r.what;
    }
}

TEST(Operators, StringsNullAndEmptyInAddAndConcat) {
    EXPECT_EQ(add(S(u"1"), S(u"2")).stringValue(), u"12");
    EXPECT_EQ(add(Variant(), S(u"a")).stringValue(), u"a");
    EXPECT_EQ(add(S(u"a"), Variant()).stringValue(), u"a");
    EXPECT_TRUE(add(Variant::null(), I(1)).isNull());
    EXPECT_TRUE(add(S(u"a"), Variant::null()).isNull());
    EXPECT_TRUE(multiply(Variant::null(), Variant()).isNull());
    EXPECT_TRUE(intDivide(Variant::null(), I(0)).isNull());
    EXPECT_VB_ERROR(add(S(u"a"), I(1)), 13);
    EXPECT_EQ(add(S(u"1"), Variant(true)).toDouble(), 0);

    EXPECT_TRUE(concat(Variant::null(), Variant::null()).isNull());
    EXPECT_EQ(concat(Variant::null(), S(u"a")).stringValue(), u"a");
    EXPECT_EQ(concat(I(1), I(2)).stringValue(), u"12");
    EXPECT_EQ(concat(Variant(true), Variant()).stringValue(), u"True");
    EXPECT_EQ(concat(Variant(1.5), S(u"x")).stringValue(), u"1.5x");
}

TEST(Operators, ConcatWritesNumbersAsTheirText) {
    // & writes numbers straight into its result: the text is CStr's, after a
    // short or a long prefix, in every locale.
    EXPECT_EQ(concat(S(u"k"), L(INT32_MIN)).stringValue(), u"k-2147483648");
    EXPECT_EQ(concat(Variant::currency(-5000), S(u"|")).stringValue(), u"-0.5|");
    EXPECT_EQ(formatInteger(INT64_MIN), u"-9223372036854775808");
    EXPECT_EQ(formatInteger(4294967296LL), u"4294967296");
    const Variant values[] = {I(-32768), I(32767), L(INT32_MAX), L(0), B(255), Variant(-0.0), Variant(2.0 / 3),
                              Variant(1.5e20), Variant(0.00001), Variant(1.0f / 3), Variant(-3.25f),
                              Variant::currency(INT64_MIN), Variant::currency(INT64_MAX), Cur(12.3)};
    for (const LocaleFormat& loc : {LocaleFormat::english(), test::french()}) {
        test::ScopedLocale scope(loc);
        EXPECT_EQ(concat(S(u"x"), Variant(1.25f)).stringValue(), loc.decimalSep == u"," ? u"x1,25" : u"x1.25");
        for (const std::u16string prefix : {u"", u"k", u"a prefix of some length"})
            for (const Variant& v : values) {
                EXPECT_EQ(concat(Variant(prefix), v).stringValue(), prefix + v.toString());
                EXPECT_EQ(concat(v, Variant(prefix)).stringValue(), v.toString() + prefix);
            }
    }
    // A long text appended to piece by piece keeps every piece as it grows.
    std::u16string grown, expected;
    for (int i = 0; i < 40000; ++i) {
        appendText(grown, L(i));
        appendText(grown, S(u"; "));
        expected += L(i).toString() + u"; ";
    }
    EXPECT_EQ(grown, expected);
}

TEST(Operators, ArithmeticErrors) {
    EXPECT_VB_ERROR(divide(I(1), I(0)), 11);
    EXPECT_VB_ERROR(divide(I(0), I(0)), 6);
    EXPECT_VB_ERROR(intDivide(I(1), Variant()), 11);
    EXPECT_VB_ERROR(mod(I(1), Variant(0.4)), 11);
    EXPECT_VB_ERROR(intDivide(I(-32768), I(-1)), 6);
    EXPECT_VB_ERROR(multiply(Variant(1e300), Variant(1e300)), 6);
    EXPECT_VB_ERROR(add(Variant::currency(INT64_MAX), Cur(1)), 6);
    EXPECT_VB_ERROR(add(Variant::date(2958465), I(1)), 6);
    EXPECT_VB_ERROR(power(I(-8), Variant(1.0 / 3)), 5);
    EXPECT_VB_ERROR(add(Variant(SafeArray::fromVector({})), I(1)), 13);
    EXPECT_VB_ERROR(intDivide(Variant(3e10), I(1)), 6);
}

TEST(Operators, Negation) {
    Variant v = negate(I(-32768));
    EXPECT_EQ(v.type(), VarType::Long);
    EXPECT_EQ(v.longValue(), 32768);
    EXPECT_EQ(negate(Variant(true)).type(), VarType::Integer);
    EXPECT_EQ(negate(Variant(true)).integerValue(), 1);
    EXPECT_EQ(negate(B(5)).type(), VarType::Integer);
    EXPECT_EQ(negate(L(INT32_MIN)).type(), VarType::Double);
    EXPECT_EQ(negate(Variant()).type(), VarType::Integer);
    EXPECT_EQ(negate(S(u"2")).doubleValue(), -2);
    EXPECT_TRUE(negate(Variant::null()).isNull());
    EXPECT_VB_ERROR(negate(Variant::currency(INT64_MIN)), 6);
}

TEST(Operators, LogicalTypesAndBits) {
    EXPECT_EQ(notOp(Variant(true)).type(), VarType::Boolean);
    EXPECT_FALSE(notOp(Variant(true)).boolValue());
    EXPECT_EQ(notOp(I(0)).integerValue(), -1);
    EXPECT_EQ(notOp(Variant()).integerValue(), -1);
    EXPECT_EQ(notOp(B(0)).byteValue(), 255);
    EXPECT_EQ(notOp(Variant(1.5)).type(), VarType::Long);
    EXPECT_EQ(notOp(Variant(1.5)).longValue(), -3);
    EXPECT_TRUE(notOp(Variant::null()).isNull());

    Variant v = andOp(Variant(true), I(12));
    EXPECT_EQ(v.type(), VarType::Integer);
    EXPECT_EQ(v.integerValue(), 12);
    EXPECT_EQ(orOp(B(1), B(2)).type(), VarType::Byte);
    EXPECT_EQ(orOp(B(1), L(2)).type(), VarType::Long);
    EXPECT_EQ(xorOp(I(6), I(3)).integerValue(), 5);
    EXPECT_EQ(eqvOp(Variant(false), Variant(false)).boolValue(), true);
    EXPECT_EQ(impOp(Variant(true), Variant(false)).boolValue(), false);
    EXPECT_EQ(andOp(S(u"True"), Variant(true)).type(), VarType::Boolean);
    EXPECT_VB_ERROR(andOp(S(u"x"), Variant(true)), 13);
}

TEST(Operators, NullThreeValuedLogic) {
    const Variant N = Variant::null(), T(true), F(false);
    struct Case { const char* what; Variant r; int expected; }; // 2 = Null
    const Case cases[] = {
        {"Null And False", andOp(N, F), 0},   {"Null And True", andOp(N, T), 2},
        {"False And Null", andOp(F, N), 0},   {"Null Or True", orOp(N, T), -1},
        {"Null Or False", orOp(N, F), 2},     {"Null Xor True", xorOp(N, T), 2},
        {"Null Eqv False", eqvOp(N, F), 2},   {"False Imp Null", impOp(F, N), -1},
        {"True Imp Null", impOp(T, N), 2},    {"Null Imp True", impOp(N, T), -1},
        {"Null Imp False", impOp(N, F), 2},   {"Null And Null", andOp(N, N), 2},
        {"Null And 0", andOp(N, I(0)), 0},    {"Null Or 5", orOp(N, I(5)), 2},
    };
    for (const Case& c : cases) {
        if (c.expected == 2) {
            EXPECT_TRUE(c.r.isNull()) << c.what;
        } else {
            EXPECT_FALSE(c.r.isNull()) << c.what;
            if (!c.r.isNull()) {
                EXPECT_EQ(c.r.toLong(), c.expected) << c.what;
            }
        }
    }
    EXPECT_EQ(andOp(N, F).type(), VarType::Boolean);
}

TEST(Comparison, NumbersStringsEmptyAndNull) {
    EXPECT_EQ(compare(I(1), L(1)), 0);
    EXPECT_EQ(compare(I(1), Variant(1.5)), -1);
    EXPECT_EQ(compare(Cur(1.5), Variant(1.5)), 0);
    EXPECT_EQ(compare(Variant(true), I(-1)), 0);
    EXPECT_EQ(compare(Variant::date(1), I(1)), 0);
    // A number is less than any string, unless a literal is involved.
    EXPECT_EQ(compare(I(1), S(u"1")), -1);
    EXPECT_EQ(compare(S(u"0"), I(5)), 1);
    EXPECT_EQ(compare(I(10), S(u"9"), CompareMode::Binary, kRightIsLiteral), 1);
    EXPECT_EQ(compare(S(u"10"), I(10), CompareMode::Binary, kRightIsLiteral), 0);
    EXPECT_EQ(compare(S(u"abc"), I(10), CompareMode::Binary, kRightIsLiteral), 1);
    EXPECT_EQ(compare(Variant::date(38001), S(u"1/15/2004"), CompareMode::Binary, kRightIsLiteral), 0);
    EXPECT_EQ(compare(Variant(true), S(u"true"), CompareMode::Binary, kRightIsLiteral), 0);
    EXPECT_EQ(compare(Variant::date(38001), S(u"1/15/2004")), -1);
    // Empty is 0 against numbers and "" against strings.
    EXPECT_EQ(compare(Variant(), I(0)), 0);
    EXPECT_EQ(compare(Variant(), I(-1)), 1);
    EXPECT_EQ(compare(Variant(), S(u"")), 0);
    EXPECT_EQ(compare(Variant(), S(u"a")), -1);
    EXPECT_EQ(compare(Variant(), Variant()), 0);
    EXPECT_EQ(compare(Variant::null(), Variant::null()), kCompareNull);
    EXPECT_TRUE(relate(Relation::Eq, Variant::null(), I(1)).isNull());
    EXPECT_VB_ERROR(compare(Variant(SafeArray::fromVector({})), I(1)), 13);
}

TEST(Comparison, BinaryAndTextModes) {
    EXPECT_EQ(compare(S(u"a"), S(u"B")), 1);
    EXPECT_EQ(compare(S(u"a"), S(u"B"), CompareMode::Text), -1);
    EXPECT_EQ(compare(S(u"abc"), S(u"ABC"), CompareMode::Text), 0);
    EXPECT_EQ(compare(S(u"ab"), S(u"abc")), -1);
    EXPECT_EQ(compare(S(u"\u00E9"), S(u"\u00C9"), CompareMode::Text), 0);
    // Text mode sorts accented letters with their base letter, not by code.
    EXPECT_EQ(compare(S(u"\u00E9t\u00E9"), S(u"fin"), CompareMode::Text), -1);
    EXPECT_EQ(compare(S(u"\u00E9t\u00E9"), S(u"fin")), 1);
    EXPECT_EQ(compare(S(u"\u00C9t\u00E9"), S(u"ete"), CompareMode::Text), 1);
    EXPECT_EQ(compare(S(u"Zo\u00EB"), S(u"zoe"), CompareMode::Text), 1);
    EXPECT_TRUE(relate(Relation::Le, S(u"a"), S(u"a")).boolValue());
    EXPECT_TRUE(relate(Relation::Ne, S(u"a"), S(u"A")).boolValue());
    EXPECT_FALSE(relate(Relation::Ne, S(u"a"), S(u"A"), CompareMode::Text).boolValue());
    EXPECT_TRUE(relate(Relation::Gt, I(2), I(1)).boolValue());
    EXPECT_TRUE(relate(Relation::Ge, L(2), I(2)).boolValue());
    EXPECT_TRUE(relate(Relation::Lt, Variant(-1.0), Variant()).boolValue());
}

// Text order must be one order: texts with and without accents, punctuation
// and a locale's own letters (Danish "aa" after "z") sorted once are in order
// pair by pair, in both the UTF-16 and the UTF-8 comparison.
TEST(Comparison, TextOrderIsTransitiveAcrossAsciiAndAccentedTexts) {
    const std::vector<std::u16string> texts = {u"_1", u"1", u"{", u"z", u"{\u00E9", u"_\u00E9", u"a-b", u"ab", u"a b",
                                               u"A", u"\u00C4", u"aa", u"b", u"z\u00E9", u"\u00E5b", u"Zo\u00EB", u"zoe"};
    for (std::uint32_t lcid : {1033u, 1030u, 1031u}) {
        std::vector<std::u16string> sorted = texts;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [&](const auto& x, const auto& y) { return compareText(x, y, lcid) < 0; });
        for (std::size_t i = 0; i < sorted.size(); ++i)
            for (std::size_t j = i + 1; j < sorted.size(); ++j) {
                const std::string a = toUtf8(sorted[i]), b = toUtf8(sorted[j]);
                EXPECT_LE(compareText(sorted[i], sorted[j], lcid), 0) << lcid << ": " << a << " / " << b;
                EXPECT_LE(compareText(std::string_view(a), std::string_view(b), lcid), 0) << lcid << ": " << a << " / " << b;
            }
    }
}

TEST(Comparison, KeysAndIdentity) {
    EXPECT_TRUE(sameKey(I(1), L(1), CompareMode::Binary));
    EXPECT_FALSE(sameKey(I(1), S(u"1"), CompareMode::Binary));
    EXPECT_TRUE(sameKey(S(u"a"), S(u"A"), CompareMode::Text));
    EXPECT_FALSE(sameKey(S(u"a"), S(u"A"), CompareMode::Binary));
    EXPECT_TRUE(is(Variant::nothing(), Variant::nothing()));
    EXPECT_VB_ERROR(is(I(1), Variant::nothing()), 424);
}

} // namespace
