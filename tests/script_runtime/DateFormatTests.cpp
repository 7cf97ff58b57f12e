#include "Call.h"

#include "platform/automation/DateTime.h"
#include "platform/system/Locales.h"

#include <cmath>
#include <random>

using namespace qz;
using namespace qz::test;

namespace {

Variant Dt(double d) { return Variant::date(d); }
double serial(int y, int m, int d) { return static_cast<double>(daysFromCivil(y, m, d)); }
std::u16string cstr(const Variant& v) { return v.toString(); }

TEST(DateFunctions, SerialBuilders) {
    EXPECT_EQ(call(u"DateSerial", {I(2004), I(1), I(15)}).dateValue(), 38001);
    EXPECT_EQ(call(u"DateSerial", {I(2004), I(13), I(1)}).dateValue(), serial(2005, 1, 1));
    EXPECT_EQ(call(u"DateSerial", {I(2004), I(3), I(0)}).dateValue(), serial(2004, 2, 29));
    EXPECT_EQ(call(u"DateSerial", {I(2004), I(1), I(-1)}).dateValue(), serial(2003, 12, 30));
    EXPECT_EQ(call(u"DateSerial", {I(4), I(1), I(1)}).dateValue(), serial(2004, 1, 1));
    EXPECT_EQ(call(u"DateSerial", {I(99), I(1), I(1)}).dateValue(), serial(1999, 1, 1));
    EXPECT_EQ(call(u"DateSerial", {I(2004), I(-11), I(1)}).dateValue(), serial(2003, 1, 1));
    EXPECT_VB_ERROR(call(u"DateSerial", {I(10000), I(1), I(1)}), 5);
    EXPECT_VB_ERROR(call(u"DateSerial", {L(40000), I(1), I(1)}), 6);
    EXPECT_VB_ERROR(call(u"DateSerial", {Variant::null(), I(1), I(1)}), 94);

    EXPECT_DOUBLE_EQ(call(u"TimeSerial", {I(18), I(0), I(0)}).dateValue(), 0.75);
    EXPECT_DOUBLE_EQ(call(u"TimeSerial", {I(0), I(90), I(0)}).dateValue(), 1.5 / 24);
    EXPECT_EQ(cstr(call(u"TimeSerial", {I(25), I(0), I(0)})), u"12/31/1899 1:00:00 AM");
    EXPECT_EQ(cstr(call(u"TimeSerial", {I(-1), I(0), I(0)})), u"12/29/1899 11:00:00 PM");

    EXPECT_EQ(call(u"DateValue", {S(u"1/15/2004 6:00 PM")}).dateValue(), 38001);
    EXPECT_DOUBLE_EQ(call(u"TimeValue", {S(u"1/15/2004 6:00 PM")}).dateValue(), 0.75);
    EXPECT_TRUE(call(u"DateValue", {Variant::null()}).isNull());
    EXPECT_VB_ERROR(call(u"DateValue", {S(u"soon")}), 13);
}

TEST(DateFunctions, DateAddKeepsCalendarRules) {
    EXPECT_EQ(call(u"DateAdd", {S(u"m"), I(1), S(u"1/31/2004")}).dateValue(), serial(2004, 2, 29));
    EXPECT_EQ(call(u"DateAdd", {S(u"yyyy"), I(1), Dt(serial(2004, 2, 29))}).dateValue(), serial(2005, 2, 28));
    EXPECT_EQ(call(u"DateAdd", {S(u"q"), I(-1), Dt(38001)}).dateValue(), serial(2003, 10, 15));
    EXPECT_EQ(call(u"DateAdd", {S(u"d"), I(-1), Dt(38001)}).dateValue(), 38000);
    EXPECT_EQ(call(u"DateAdd", {S(u"ww"), I(2), Dt(38001)}).dateValue(), 38015);
    EXPECT_DOUBLE_EQ(call(u"DateAdd", {S(u"h"), I(30), Dt(38001)}).dateValue(), 38002.25);
    EXPECT_EQ(call(u"DateAdd", {S(u"D"), I(1), Dt(38001)}).type(), VarType::Date);
    EXPECT_EQ(cstr(call(u"DateAdd", {S(u"n"), I(-1), Dt(0)})), u"12/29/1899 11:59:00 PM");
    EXPECT_EQ(cstr(call(u"DateAdd", {S(u"s"), I(1), Dt(-1.5)})), u"12/29/1899 12:00:01 PM");
    EXPECT_TRUE(call(u"DateAdd", {S(u"d"), I(1), Variant::null()}).isNull());
    EXPECT_VB_ERROR(call(u"DateAdd", {S(u"x"), I(1), Dt(1)}), 5);
    EXPECT_VB_ERROR(call(u"DateAdd", {S(u"yyyy"), I(9000), Dt(38001)}), 5);
}

TEST(DateFunctions, DateDiffCountsBoundaries) {
    EXPECT_EQ(call(u"DateDiff", {S(u"d"), S(u"1/1/2004"), S(u"1/15/2004")}).longValue(), 14);
    EXPECT_EQ(call(u"DateDiff", {S(u"d"), Dt(38001), Dt(38000)}).longValue(), -1);
    EXPECT_EQ(call(u"DateDiff", {S(u"m"), S(u"1/31/2004"), S(u"2/1/2004")}).longValue(), 1);
    EXPECT_EQ(call(u"DateDiff", {S(u"yyyy"), S(u"12/31/2003"), S(u"1/1/2004")}).longValue(), 1);
    EXPECT_EQ(call(u"DateDiff", {S(u"q"), S(u"3/31/2004"), S(u"4/1/2004")}).longValue(), 1);
    // Thursday 15 to Sunday 18 January 2004.
    EXPECT_EQ(call(u"DateDiff", {S(u"ww"), Dt(38001), Dt(38004)}).longValue(), 1);
    EXPECT_EQ(call(u"DateDiff", {S(u"ww"), Dt(38001), Dt(38004), I(2)}).longValue(), 0);
    EXPECT_EQ(call(u"DateDiff", {S(u"w"), Dt(38001), Dt(38004)}).longValue(), 0);
    EXPECT_EQ(call(u"DateDiff", {S(u"w"), Dt(38001), Dt(38008)}).longValue(), 1);
    EXPECT_EQ(call(u"DateDiff", {S(u"h"), S(u"1/1/2004 10:59"), S(u"1/1/2004 11:00")}).longValue(), 1);
    EXPECT_EQ(call(u"DateDiff", {S(u"n"), S(u"10:59:59"), S(u"11:00:00")}).longValue(), 1);
    EXPECT_EQ(call(u"DateDiff", {S(u"s"), S(u"10:59"), S(u"11:00")}).longValue(), 60);
    EXPECT_EQ(call(u"DateDiff", {S(u"d"), Dt(-1.5), Dt(0.25)}).longValue(), 1);
    EXPECT_TRUE(call(u"DateDiff", {S(u"d"), Variant::null(), Dt(1)}).isNull());
}

TEST(DateFunctions, PartsAndNames) {
    const Variant d = Dt(38001.75); // Thursday 15 January 2004, 18:00
    EXPECT_EQ(call(u"Year", {d}).integerValue(), 2004);
    EXPECT_EQ(call(u"Month", {d}).integerValue(), 1);
    EXPECT_EQ(call(u"Day", {d}).integerValue(), 15);
    EXPECT_EQ(call(u"Hour", {d}).integerValue(), 18);
    EXPECT_EQ(call(u"Minute", {S(u"10:42:07")}).integerValue(), 42);
    EXPECT_EQ(call(u"Second", {S(u"10:42:07")}).integerValue(), 7);
    EXPECT_EQ(call(u"Weekday", {d}).integerValue(), 5);
    EXPECT_EQ(call(u"Weekday", {d, I(2)}).integerValue(), 4);
    EXPECT_TRUE(call(u"Weekday", {Variant::null()}).isNull());
    EXPECT_VB_ERROR(call(u"Year", {S(u"x")}), 13);

    EXPECT_EQ(call(u"DatePart", {S(u"q"), d}).longValue(), 1);
    EXPECT_EQ(call(u"DatePart", {S(u"y"), d}).longValue(), 15);
    EXPECT_EQ(call(u"DatePart", {S(u"w"), d, I(2)}).longValue(), 4);
    EXPECT_EQ(call(u"DatePart", {S(u"ww"), S(u"1/1/2004")}).longValue(), 1);
    EXPECT_EQ(call(u"DatePart", {S(u"ww"), Dt(serial(2004, 12, 31))}).longValue(), 53);
    EXPECT_EQ(call(u"DatePart", {S(u"ww"), Dt(serial(2005, 1, 1)), I(2), I(2)}).longValue(), 53);
    EXPECT_EQ(call(u"DatePart", {S(u"ww"), Dt(serial(2005, 1, 3)), I(2), I(2)}).longValue(), 1);
    for (int day = 29; day <= 31; ++day) // ISO week 1 of 2004 starts on Monday 29 December 2003
        EXPECT_EQ(call(u"DatePart", {S(u"ww"), Dt(serial(2003, 12, day)), I(2), I(2)}).longValue(), 1) << day;
    EXPECT_EQ(call(u"DatePart", {S(u"ww"), Dt(serial(2003, 12, 28)), I(2), I(2)}).longValue(), 52);
    EXPECT_EQ(call(u"DatePart", {S(u"ww"), Dt(serial(2005, 1, 1)), I(1), I(3)}).longValue(), 52);
    EXPECT_VB_ERROR(call(u"DatePart", {S(u"ww"), d, I(8)}), 5);

    EXPECT_EQ(callStr(u"MonthName", {I(1)}), u"January");
    EXPECT_EQ(callStr(u"MonthName", {I(1), Variant(true)}), u"Jan");
    EXPECT_VB_ERROR(call(u"MonthName", {I(13)}), 5);
    EXPECT_EQ(callStr(u"WeekdayName", {I(1)}), u"Sunday");
    EXPECT_EQ(callStr(u"WeekdayName", {I(1), Variant(true), I(2)}), u"Mon");
    EXPECT_EQ(callStr(u"WeekdayName", {I(7), Variant(false), I(2)}), u"Sunday");
    EXPECT_VB_ERROR(call(u"WeekdayName", {I(8)}), 5);
}

TEST(DateFunctions, Clock) {
    // The day first: read the other way round, a midnight between the two
    // reads would put the day after the moment.
    double today = call(u"Date").dateValue();
    double now = call(u"Now").dateValue();
    EXPECT_EQ(today, std::floor(today));
    EXPECT_LE(today, now);
    EXPECT_LT(now - today, 1.0001);
    double t = call(u"Time").dateValue();
    EXPECT_GE(t, 0);
    EXPECT_LT(t, 1);
    float timer = call(u"Timer").singleValue();
    EXPECT_GE(timer, 0);
    EXPECT_LT(timer, 86401);
}

TEST(Formats, EnglishNumbersCurrencyPercent) {
    EXPECT_EQ(callStr(u"FormatNumber", {D(1234.567)}), u"1,234.57");
    EXPECT_EQ(callStr(u"FormatNumber", {D(-1234.5), I(0)}), u"-1,235");
    EXPECT_EQ(callStr(u"FormatNumber", {D(0.5), I(2), I(0)}), u".50");
    EXPECT_EQ(callStr(u"FormatNumber", {I(-3), I(1), I(-1), I(-1)}), u"(3.0)");
    EXPECT_EQ(callStr(u"FormatNumber", {I(1234), I(2), I(-1), I(0), I(0)}), u"1234.00");
    EXPECT_EQ(callStr(u"FormatNumber", {D(0.125), I(2)}), u"0.13");
    EXPECT_EQ(callStr(u"FormatNumber", {D(2.5), I(0)}), u"3");
    EXPECT_EQ(callStr(u"FormatNumber", {D(-0.001), I(2)}), u"0.00");
    EXPECT_EQ(callStr(u"FormatNumber", {D(999.999), I(2)}), u"1,000.00");
    EXPECT_EQ(callStr(u"FormatNumber", {D(1e20), I(0)}), u"100,000,000,000,000,000,000");
    EXPECT_EQ(callStr(u"FormatNumber", {S(u"12.5"), I(-1)}), u"12.50");
    EXPECT_EQ(callStr(u"FormatNumber", {Variant::currency(922337203685477LL * 10000 + 5807), I(4)}),
              u"922,337,203,685,477.5807");
    EXPECT_EQ(callStr(u"FormatNumber", {Variant()}), u"0.00");
    EXPECT_VB_ERROR(call(u"FormatNumber", {S(u"abc")}), 13);
    EXPECT_VB_ERROR(call(u"FormatNumber", {Variant::null()}), 13);  // the Format functions take no Null
    EXPECT_VB_ERROR(call(u"FormatNumber", {I(1), I(-2)}), 5);

    EXPECT_EQ(callStr(u"FormatCurrency", {D(1234.5)}), u"$1,234.50");
    EXPECT_EQ(callStr(u"FormatCurrency", {D(-1234.5)}), u"($1,234.50)");
    EXPECT_EQ(callStr(u"FormatCurrency", {I(-1), I(2), I(-1), I(0)}), u"-$1.00");
    EXPECT_EQ(callStr(u"FormatCurrency", {D(0.5), I(0)}), u"$1");
    EXPECT_EQ(callStr(u"FormatPercent", {D(0.256)}), u"25.60%");
    EXPECT_EQ(callStr(u"FormatPercent", {D(-0.5), I(0)}), u"-50%");
    EXPECT_EQ(callStr(u"FormatPercent", {D(0.575), I(1)}), u"57.5%");
    EXPECT_EQ(callStr(u"FormatPercent", {D(-0.5), I(0), I(-1), I(-1)}), u"(50%)");
}

// Whole numbers and Currency are laid out from their own digits; a Double of
// the same value, which goes through its fifteen-digit text, must read alike
// (rounding, carries into a new group, grouping, signs, percent).
TEST(Formats, WholeAndCurrencySubtypesMatchTheirDouble) {
    std::mt19937_64 rng(7);
    auto same = [&](std::u16string_view fn, const Variant& exact, double d) {
        for (int digits : {0, 1, 2, 3, 5}) {
            for (int paren : {0, -1}) {
                SCOPED_TRACE(toUtf8(cstr(exact)) + " " + std::to_string(digits) + " " + toUtf8(fn));
                EXPECT_EQ(callStr(fn, {exact, I(digits), I(-1), I(paren)}), callStr(fn, {D(d), I(digits), I(-1), I(paren)}));
            }
        }
    };
    const std::int64_t cur[] = {0, 1, 4999, 5000, -5000, 9999, 99995000, -99995000, 123456789012345, -10000};
    for (std::int64_t c : cur) {
        same(u"FormatCurrency", Variant::currency(c), static_cast<double>(c) / 10000);
        same(u"FormatNumber", Variant::currency(c), static_cast<double>(c) / 10000);
    }
    for (int i = 0; i < 300; ++i) {
        const auto l = static_cast<std::int32_t>(static_cast<std::int64_t>(rng() >> (rng() % 64)) % 2000000000);
        same(u"FormatNumber", L(l), l);
        same(u"FormatPercent", L(-l), -static_cast<double>(l));
        same(u"FormatCurrency", I(static_cast<std::int16_t>(l)), static_cast<std::int16_t>(l));
        const std::int64_t c = static_cast<std::int64_t>(rng() % 2000000000000000) - 1000000000000000;
        same(u"FormatCurrency", Variant::currency(c), static_cast<double>(c) / 10000);
    }
    EXPECT_EQ(callStr(u"FormatPercent", {Variant(std::uint8_t{255}), I(0)}), u"25,500%");
    EXPECT_EQ(callStr(u"FormatNumber", {D(1e-300), I(3)}), u"0.000");
}

// A result's text is reused for the next result only once nobody holds it.
TEST(Formats, AResultKeptByTheCallerKeepsItsText) {
    const Variant kept = call(u"FormatCurrency", {D(1.5)});
    const Variant alsoKept = call(u"FormatNumber", {L(1234567)});
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(callStr(u"FormatPercent", {L(i % 10), I(0)}), Variant::fromUtf8(std::to_string(i % 10 * 100) + "%").stringValue());
        EXPECT_EQ(callStr(u"FormatCurrency", {D(-i), I(0)}), Variant::fromUtf8(i ? "($" + std::to_string(i) + ")" : "$0").stringValue());
    }
    const Variant longer = call(u"FormatNumber", {D(1e200), I(0)});
    EXPECT_EQ(longer.stringValue().size(), 267u);
    EXPECT_EQ(callStr(u"FormatNumber", {I(7), I(0)}), u"7");
    EXPECT_EQ(kept.stringValue(), u"$1.50");
    EXPECT_EQ(alsoKept.stringValue(), u"1,234,567.00");
}

TEST(Formats, EnglishDatesAndTimes) {
    const Variant d = Dt(38001.75);
    EXPECT_EQ(callStr(u"FormatDateTime", {d}), u"1/15/2004 6:00:00 PM");
    EXPECT_EQ(callStr(u"FormatDateTime", {d, I(1)}), u"Thursday, January 15, 2004");
    EXPECT_EQ(callStr(u"FormatDateTime", {d, I(2)}), u"1/15/2004");
    EXPECT_EQ(callStr(u"FormatDateTime", {d, I(3)}), u"6:00:00 PM");
    EXPECT_EQ(callStr(u"FormatDateTime", {d, I(4)}), u"18:00");
    EXPECT_EQ(callStr(u"FormatDateTime", {S(u"1/15/2004")}), u"1/15/2004");
    EXPECT_VB_ERROR(call(u"FormatDateTime", {d, I(5)}), 5);
    EXPECT_VB_ERROR(call(u"FormatDateTime", {S(u"x")}), 13);
}

TEST(Formats, French) {
    ScopedLocale fr(french());
    EXPECT_EQ(callStr(u"FormatNumber", {D(1234.5)}), u"1\u00A0234,50");
    EXPECT_EQ(callStr(u"FormatCurrency", {D(1234.5)}), u"1\u00A0234,50 \u20AC");
    EXPECT_EQ(callStr(u"FormatCurrency", {D(-1234.5)}), u"-1\u00A0234,50 \u20AC");
    EXPECT_EQ(callStr(u"FormatCurrency", {D(-2), I(0), I(-1), I(-1)}), u"(2 \u20AC)");
    EXPECT_EQ(callStr(u"FormatPercent", {D(0.5)}), u"50,00%");
    EXPECT_EQ(callStr(u"FormatDateTime", {Dt(38001.75), I(1)}), u"jeudi 15 janvier 2004");
    EXPECT_EQ(callStr(u"FormatDateTime", {Dt(38001.75)}), u"15/01/2004 18:00:00");
    EXPECT_EQ(callStr(u"MonthName", {I(2)}), u"f\u00E9vrier");
    EXPECT_EQ(callStr(u"WeekdayName", {I(1), Variant(false), I(0)}), u"lundi"); // Monday starts the week
    EXPECT_EQ(call(u"CDbl", {S(u"1\u00A0234,5")}).doubleValue(), 1234.5);
    EXPECT_EQ(call(u"DateValue", {S(u"2/1/2004")}).dateValue(), serial(2004, 1, 2));
}

TEST(Formats, German) {
    ScopedLocale de(german());
    EXPECT_EQ(callStr(u"FormatNumber", {D(1234.5)}), u"1.234,50");
    EXPECT_EQ(callStr(u"FormatNumber", {D(-0.25), I(1), I(0)}), u"-,3");
    EXPECT_EQ(callStr(u"FormatCurrency", {D(-1234.5)}), u"-1.234,50 \u20AC");
    EXPECT_EQ(callStr(u"CStr", {D(1.5)}), u"1,5");
    EXPECT_EQ(callStr(u"FormatDateTime", {Dt(38001.75), I(1)}), u"Donnerstag, 15. Januar 2004");
    EXPECT_EQ(callStr(u"FormatDateTime", {Dt(38001.75), I(3)}), u"18:00:00");
    EXPECT_EQ(callStr(u"FormatDateTime", {Dt(38001.75), I(2)}), u"15.01.2004");
    EXPECT_EQ(call(u"IsNumeric", {S(u"1.234,5")}).boolValue(), true);
}

TEST(Formats, LocaleDataFromTheSystemLayer) {
    const LocaleFormat* de = sys::localeFormatFor(1031);
    ASSERT_NE(de, nullptr);
    ScopedLocale scope(*de);
    EXPECT_EQ(callStr(u"FormatNumber", {D(1234.5)}), u"1.234,50");
    EXPECT_EQ(callStr(u"CStr", {D(0.5)}), u"0,5");
    EXPECT_EQ(callStr(u"MonthName", {I(3)}), u"M\u00E4rz");
}

} // namespace

namespace {

Variant Dec(const char* text) {
    DecimalNumber d;
    EXPECT_TRUE(parseDecimalNumber(text, d)) << text;
    return Variant::decimal(d);
}

// A Decimal prints all its digits in every format, and keeps its subtype
// through the functions that keep one.
TEST(Formats, DecimalsPrintEveryDigit) {
    EXPECT_EQ(callStr(u"FormatNumber", {Dec("9007199254740993")}), u"9,007,199,254,740,993.00");
    EXPECT_EQ(callStr(u"FormatCurrency", {Dec("-1234567890123456.7891")}), u"($1,234,567,890,123,456.79)");
    EXPECT_EQ(callStr(u"FormatPercent", {Dec("12345678901234.567891")}), u"1,234,567,890,123,456.79%");
    EXPECT_EQ(callStr(u"CStr", {Dec("1234567890123456.7891")}), u"1234567890123456.7891");
    EXPECT_EQ(callStr(u"TypeName", {Dec("1")}), u"Decimal");
    EXPECT_EQ(call(u"VarType", {Dec("1")}).toLong(), 14);
    EXPECT_TRUE(call(u"IsNumeric", {Dec("1")}).boolValue());
    EXPECT_EQ(call(u"Round", {Dec("2.345"), I(2)}).toString(), u"2.34");
    EXPECT_EQ(call(u"Int", {Dec("-9007199254740993.5")}).toString(), u"-9007199254740994");
    EXPECT_EQ(call(u"Fix", {Dec("-9007199254740993.5")}).toString(), u"-9007199254740993");
    EXPECT_EQ(call(u"Abs", {Dec("-9007199254740993")}).toString(), u"9007199254740993");
    EXPECT_EQ(call(u"Round", {Dec("2.5")}).type(), VarType::Decimal);
    ScopedLocale de(german());
    EXPECT_EQ(callStr(u"FormatNumber", {Dec("9007199254740993.5")}), u"9.007.199.254.740.993,50");
}

} // namespace
