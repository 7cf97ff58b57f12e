#include "Expect.h"
#include "TestLocales.h"
#include "common/CommaLocale.h"

#include "platform/automation/DecimalText.h"
#include "platform/automation/ErrorTexts.h"
#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qz;

namespace {

Variant str(const char* s) { return Variant::fromUtf8(s); }

TEST(Coercion, IntegerConversionsRoundHalfToEvenAndCheckRange) {
    struct Case { double in; int expected; };
    for (Case c : {Case{2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {0.5, 0}, {1.5, 2}, {2.4999, 2},
                   {-32768.5, -32768}, {32766.5, 32766}}) {
        EXPECT_EQ(Variant(c.in).toInteger(), c.expected) << c.in;
        EXPECT_EQ(Variant(c.in).toLong(), c.expected) << c.in;
    }
    EXPECT_VB_ERROR(Variant(32767.5).toInteger(), 6);
    EXPECT_VB_ERROR(Variant(-32769.0).toInteger(), 6);
    EXPECT_VB_ERROR(Variant(2147483647.5).toLong(), 6);
    EXPECT_EQ(Variant(-2147483648.0).toLong(), INT32_MIN);
    EXPECT_EQ(Variant(254.5).toByte(), 254);
    EXPECT_VB_ERROR(Variant(255.5).toByte(), 6);
    EXPECT_VB_ERROR(Variant(static_cast<std::int16_t>(-1)).toByte(), 6);
    EXPECT_VB_ERROR(Variant(true).toByte(), 6);
    EXPECT_EQ(Variant(true).toInteger(), -1);
    EXPECT_VB_ERROR(Variant(std::nan("")).toLong(), 6);
    // Currency rounds to even from its exact scaled value.
    EXPECT_EQ(Variant::currency(25000).toInteger(), 2);
    EXPECT_EQ(Variant::currency(35000).toInteger(), 4);
    EXPECT_EQ(Variant::currency(-25000).toLong(), -2);
    EXPECT_EQ(Variant::currency(25001).toLong(), 3);
}

TEST(Coercion, EmptyNullErrorAndArrayOperands) {
    EXPECT_EQ(Variant().toLong(), 0);
    EXPECT_EQ(Variant().toString(), u"");
    EXPECT_FALSE(Variant().toBool());
    EXPECT_VB_ERROR(Variant::null().toLong(), 94);
    EXPECT_VB_ERROR(Variant::null().toString(), 94);
    EXPECT_VB_ERROR(Variant::null().toBool(), 94);
    EXPECT_VB_ERROR(Variant::error(448).toString(), 13);
    EXPECT_VB_ERROR(Variant(SafeArray::fromVector({Variant(1)})).toDouble(), 13);
    EXPECT_VB_ERROR(Variant::nothing().toString(), 91);
    EXPECT_VB_ERROR(Variant(1).toObject(), 424);
}

TEST(Coercion, StringsToNumbersFollowTheLocale) {
    struct Case { const char* in; double expected; };
    for (Case c : {Case{"12", 12}, {"  12  ", 12}, {"-1.5", -1.5}, {"+3", 3}, {"1,234.5", 1234.5},
                   {"(5)", -5}, {"5-", -5}, {"$5", 5}, {"-$5.25", -5.25}, {"1e3", 1000},
                   {"1.5E-2", 0.015}, {".5", 0.5}, {"5.", 5}, {"&HFF", 255}, {"&hFFFF", -1},
                   {"&H10000", 65536}, {"&O17", 15}, {"&17", 15}}) {
        EXPECT_DOUBLE_EQ(str(c.in).toDouble(), c.expected) << c.in;
    }
    for (const char* bad : {"", " ", "abc", "1 2", "1.2.3", "--1", "(5", "1e", "&H", "&HG", "$", "e5"})
        EXPECT_VB_ERROR(str(bad).toDouble(), 13);
    EXPECT_VB_ERROR(str("1e400").toDouble(), 6);
    EXPECT_VB_ERROR(str("-1e400").toLong(), 6);

    test::ScopedLocale de(test::german());
    EXPECT_DOUBLE_EQ(str("1,5").toDouble(), 1.5);
    EXPECT_DOUBLE_EQ(str("1.5").toDouble(), 15);   // "." groups digits in German
    EXPECT_DOUBLE_EQ(str("1.234,5").toDouble(), 1234.5);
    EXPECT_EQ(str("2,5").toInteger(), 2);
}

// Under a C library locale with a decimal comma (the studio's under a German
// desktop) text reads and numbers write as under the C locale: only the
// script's own locale decides.
TEST(Coercion, TheCLibrarysLocaleChangesNoNumber) {
    test::CommaLocale comma;
    ASSERT_TRUE(comma.ok()) << comma.why();
    EXPECT_DOUBLE_EQ(str("2.5").toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(str("-1.5E-2").toDouble(), -0.015);
    EXPECT_EQ(str("2.5e1").toCurrency(), 250000);
    EXPECT_VB_ERROR(str("1e400").toDouble(), 6);

    double v = 7;
    for (const char* bad : {"", "+", "-", ".", "e5", "inf", "nan", "0x10", "+-1", "1,5", " 1"})
        EXPECT_FALSE(readDecimal(std::string_view(bad), v)) << bad;
    EXPECT_EQ(v, 7);
    struct Case { const char* in; double expected; };
    for (Case c : {Case{"+.5", 0.5}, {"5.", 5}, {"-0.25e+2", -25}, {"1e400", HUGE_VAL}, {"-1e400", -HUGE_VAL},
                   {"1e-400", 0}, {"0.000001e-320", 0}, {"123456e-330", 0},
                   {"1e-310", 1e-310}}) {
        EXPECT_TRUE(readDecimal(std::string_view(c.in), v)) << c.in;
        EXPECT_EQ(v, c.expected) << c.in;
    }
    const std::string_view prefix = "3.75,4";
    EXPECT_EQ(readDecimal(prefix.data(), prefix.data() + prefix.size(), v), prefix.data() + 4);
    EXPECT_EQ(v, 3.75);
    EXPECT_EQ(decimalText(3.5, 15), "3.5");
    EXPECT_EQ(decimalText(1.5e20, 15), "1.5e+20");
    EXPECT_EQ(roundTripText(0.1), "0.1");
    EXPECT_EQ(roundTripText(1.0 + 2.220446049250313e-16), "1.0000000000000002");
}

TEST(Coercion, StringsToBoolean) {
    EXPECT_TRUE(str("true").toBool());
    EXPECT_TRUE(str("TRUE").toBool());
    EXPECT_FALSE(str("False").toBool());
    EXPECT_TRUE(str("-1").toBool());
    EXPECT_TRUE(str("0.1").toBool());
    EXPECT_FALSE(str("0").toBool());
    EXPECT_VB_ERROR(str("yes").toBool(), 13);
    EXPECT_TRUE(Variant(0.1).toBool());
}

TEST(Coercion, NumbersToText) {
    EXPECT_EQ(Variant(1.0 / 3).toString(), u"0.333333333333333");
    EXPECT_EQ(Variant(2.0 / 3).toString(), u"0.666666666666667");
    EXPECT_EQ(Variant(1e15).toString(), u"1E+15");
    EXPECT_EQ(Variant(123456789012345.0).toString(), u"123456789012345");
    EXPECT_EQ(Variant(1.5e20).toString(), u"1.5E+20");
    EXPECT_EQ(Variant(0.0001).toString(), u"0.0001");
    EXPECT_EQ(Variant(0.00001).toString(), u"1E-05");
    EXPECT_EQ(Variant(-1.5).toString(), u"-1.5");
    EXPECT_EQ(Variant(-0.0).toString(), u"0");
    EXPECT_EQ(Variant(100.0).toString(), u"100");
    EXPECT_EQ(Variant(0.1 + 0.2).toString(), u"0.3");
    EXPECT_EQ(Variant(1.0f / 3).toString(), u"0.3333333");
    EXPECT_EQ(Variant(static_cast<std::int16_t>(-32768)).toString(), u"-32768");
    EXPECT_EQ(Variant(static_cast<std::uint8_t>(255)).toString(), u"255");
    EXPECT_EQ(Variant(true).toString(), u"True");
    EXPECT_EQ(Variant(false).toString(), u"False");
    EXPECT_EQ(Variant::currency(15000).toString(), u"1.5");
    EXPECT_EQ(Variant::currency(-20000).toString(), u"-2");
    EXPECT_EQ(Variant::currency(1).toString(), u"0.0001");
    EXPECT_EQ(Variant::currency(INT64_MIN).toString(), u"-922337203685477.5808");

    test::ScopedLocale fr(test::french());
    EXPECT_EQ(Variant(1.5).toString(), u"1,5");
    EXPECT_EQ(Variant::currency(12345).toString(), u"1,2345");
}

TEST(Coercion, NumbersReadBackFromTheirText) {
    const double values[] = {0.1, 123.456, -1e-5, 1.5e20, 123456789012345.0, 9.87654321e-100, 1e15,
                             -0.0001, 1.7976931348623e308, 4.94065645841247e-320};
    for (const LocaleFormat& loc : {LocaleFormat::english(), test::french(), test::german()}) {
        test::ScopedLocale scope(loc);
        for (double v : values) {
            Variant text(Variant(v).toString());
            EXPECT_DOUBLE_EQ(text.toDouble(), v) << loc.lcid << " " << text.toUtf8();
        }
        Variant c = Variant::currency(-12345678901234567LL);
        EXPECT_EQ(Variant(c.toString()).toCurrency(), c.currencyValue()) << loc.lcid;
    }
}

TEST(Coercion, CurrencyAndSingleRanges) {
    EXPECT_EQ(Variant(1.23456).toCurrency(), 12346);
    EXPECT_EQ(Variant(static_cast<std::int32_t>(7)).toCurrency(), 70000);
    EXPECT_EQ(str("922337203685477").toCurrency(), 9223372036854770000LL);
    EXPECT_EQ(str("1.23445").toCurrency(), 12344); // half to even on the fifth decimal
    EXPECT_EQ(str("1.23455").toCurrency(), 12346);
    EXPECT_EQ(str("-0.00005").toCurrency(), 0);
    EXPECT_EQ(str("-922337203685477.5808").toCurrency(), INT64_MIN);
    EXPECT_VB_ERROR(str("922337203685477.5808").toCurrency(), 6);
    EXPECT_VB_ERROR(str("x1").toCurrency(), 13);
    EXPECT_VB_ERROR(Variant(1e15).toCurrency(), 6);
    EXPECT_VB_ERROR(Variant(1e39).toSingle(), 6);
    EXPECT_FLOAT_EQ(Variant(0.1).toSingle(), 0.1f);
}

TEST(Coercion, ConvertToKeepsSubtypes) {
    EXPECT_EQ(Variant(2.5).convertTo(VarType::Integer).type(), VarType::Integer);
    EXPECT_EQ(Variant(2.5).convertTo(VarType::Currency).currencyValue(), 25000);
    EXPECT_EQ(str("7").convertTo(VarType::Byte).byteValue(), 7);
    EXPECT_EQ(Variant(38001.0).convertTo(VarType::Date).type(), VarType::Date);
    EXPECT_EQ(Variant(static_cast<std::int32_t>(5)).convertTo(VarType::String).stringValue(), u"5");
}

TEST(Variants, CopyAndMoveShareStringsAndArrays) {
    Variant a(std::u16string(u"hello"));
    Variant b = a;
    EXPECT_EQ(&a.stringValue(), &b.stringValue());
    Variant c = std::move(b);
    EXPECT_TRUE(b.isEmpty());
    EXPECT_EQ(c.stringValue(), u"hello");
    c = c; // self-assignment keeps the value
    EXPECT_EQ(c.stringValue(), u"hello");
    a = Variant(3);
    EXPECT_EQ(c.stringValue(), u"hello");
    static_assert(sizeof(Variant) == 16);

    auto arr = SafeArray::fromVector({Variant(1), Variant(u"x")});
    Variant va(arr), vb = va;
    EXPECT_TRUE(vb.isArray());
    EXPECT_EQ(vb.arrayValue(), arr.get());
    EXPECT_EQ(arr->refCount(), 3u);
    EXPECT_EQ(vb.varType(), 0x200C);
    const std::int32_t idx[] = {1};
    EXPECT_EQ(arr->offsetOf(idx), 1);
    const std::int32_t bad[] = {2};
    EXPECT_EQ(arr->offsetOf(bad), -1);
    EXPECT_TRUE(Variant::missing().isMissing());
    EXPECT_FALSE(Variant::error(0).isMissing());
}

TEST(Text, Utf8RoundTripAndCaseFolding) {
    std::string s = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"; // A é € 😀
    std::u16string u = fromUtf8(s);
    EXPECT_EQ(u.size(), 5u);
    EXPECT_EQ(toUtf8(u), s);
    EXPECT_EQ(fromUtf8("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(fromUtf8("\xC0\x80"), u"\uFFFD\uFFFD"); // overlong
    EXPECT_TRUE(equalsNoCase(u"\u00C9COLE", u"\u00E9cole"));
    EXPECT_EQ(compareNoCase(u"abc", u"ABD"), -1);
    EXPECT_EQ(hashNoCase(u"Name"), hashNoCase(u"NAME"));
    EXPECT_EQ(toUpperCase(u"stra\u00DFe"), u"STRA\u00DFE"); // length never changes
    EXPECT_EQ(toLowerCase(u"\u0130"), u"i");
}

// Every layer decodes through the same UTF-8 reader: each ill-formed form
// is refused by the validator and becomes one U+FFFD per rejected byte.
TEST(Text, IllFormedUtf8IsRefusedAndReplacedAlike) {
    struct Case {
        const char* bytes;
        std::u16string decoded;
    };
    const Case cases[] = {
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},     // overlong three-byte form
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},     // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // past U+10FFFF
        {"x\xE2\x82", u"x\uFFFD\uFFFD"},           // cut short
        {"\x80y", u"\uFFFDy"},                      // stray continuation byte
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(isValidUtf8(c.bytes)) << c.bytes;
        EXPECT_EQ(fromUtf8(c.bytes), c.decoded) << c.bytes;
    }
    EXPECT_TRUE(isValidUtf8("plain \xEF\xBF\xBD \xF4\x8F\xBF\xBF")); // U+FFFD and U+10FFFF themselves
    std::u16string lone = u"a";
    lone += char16_t(0xDC00);
    EXPECT_EQ(toUtf8(lone), "a\xEF\xBF\xBD");
    EXPECT_TRUE(equalsNoCaseAscii("Provider", "pROVIDER"));
    EXPECT_FALSE(equalsNoCaseAscii("\xC3\xA9", "\xC3\x89")); // only ASCII letters fold
}

// Each rule turns only its own kind of break into CR LF and never doubles a
// CR LF pair that is already there.
TEST(Text, LineBreaksToCrLfByRule) {
    const std::string mixed = "a\rb\r\nc\nd\n\re";
    EXPECT_EQ(crLfFromAnyBreak(mixed), "a\r\nb\r\nc\r\nd\r\n\r\ne");
    EXPECT_EQ(crLfFromCrKeepingLf(mixed), "a\r\nb\r\nc\nd\n\r\ne");
    EXPECT_EQ(crLfFromLfKeepingCr(mixed), "a\rb\r\nc\r\nd\r\n\re");
    for (auto* rule : {&crLfFromAnyBreak, &crLfFromCrKeepingLf, &crLfFromLfKeepingCr}) {
        EXPECT_EQ(rule("\r\n\r\n"), "\r\n\r\n");
        EXPECT_EQ(rule(""), "");
    }
}

TEST(ErrorTable, TextsAndRaisers) {
    EXPECT_EQ(errorText(13), "Type mismatch");
    EXPECT_EQ(errorText(1025), "Expected end of statement");
    EXPECT_EQ(errorText(457), "This key is already associated with an element of this collection");
    EXPECT_TRUE(errorText(12345).empty());
    try {
        throwRuntimeError(9);
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number, 9);
        EXPECT_EQ(e.Source, "Microsoft VBScript runtime error");
        EXPECT_EQ(e.Description, "Subscript out of range");
    }
    try {
        throwCompileError(1002);
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Source, "Microsoft VBScript compilation error");
        EXPECT_EQ(e.Description, "Syntax error");
    }
}

} // namespace
