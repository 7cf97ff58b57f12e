#include "Expect.h"
#include "TestLocales.h"

#include "platform/automation/DateTime.h"
#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <gtest/gtest.h>

using namespace qz;

namespace {

Variant str(const char* s) { return Variant::fromUtf8(s); }

double parse(const char16_t* s, const LocaleFormat& loc = LocaleFormat::english()) {
    double d = -1e9;
    EXPECT_TRUE(parseDate(s, loc, 2004, d)) << toUtf8(s);
    return d;
}

bool parses(const char16_t* s, const LocaleFormat& loc = LocaleFormat::english()) {
    double d;
    return parseDate(s, loc, 2004, d);
}

TEST(Dates, SerialNumbersAndParts) {
    EXPECT_EQ(daysFromCivil(1899, 12, 30), 0);
    EXPECT_EQ(daysFromCivil(2004, 1, 15), 38001);
    EXPECT_EQ(daysFromCivil(100, 1, 1), -657434);
    EXPECT_EQ(daysFromCivil(9999, 12, 31), 2958465);
    DateParts p = dateParts(38001.75);
    EXPECT_EQ(p.year, 2004);
    EXPECT_EQ(p.month, 1);
    EXPECT_EQ(p.day, 15);
    EXPECT_EQ(p.hour, 18);
    EXPECT_EQ(p.weekday, 5); // Thursday
    EXPECT_EQ(p.dayOfYear, 15);
    // Before day zero the fraction still counts forward from midnight.
    p = dateParts(-1.25);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 6);
    // A time a hair before midnight rounds up into the next day.
    p = dateParts(38001.99999999);
    EXPECT_EQ(p.day, 16);
    EXPECT_EQ(p.hour, 0);
    EXPECT_EQ(dateParts(0).weekday, 7); // 30 December 1899 was a Saturday
}

TEST(Dates, TextOfDatesByLocale) {
    EXPECT_EQ(Variant::date(38001).toString(), u"1/15/2004");
    EXPECT_EQ(Variant::date(38001.5).toString(), u"1/15/2004 12:00:00 PM");
    EXPECT_EQ(Variant::date(0.25).toString(), u"6:00:00 AM");
    EXPECT_EQ(Variant::date(0).toString(), u"12:00:00 AM");
    EXPECT_EQ(Variant::date(-1.25).toString(), u"12/29/1899 6:00:00 AM");
    {
        test::ScopedLocale fr(test::french());
        EXPECT_EQ(Variant::date(38001.75).toString(), u"15/01/2004 18:00:00");
        EXPECT_EQ(Variant::date(0).toString(), u"00:00:00");
    }
    test::ScopedLocale de(test::german());
    EXPECT_EQ(Variant::date(38001).toString(), u"15.01.2004");
    LocaleFormat de2 = test::german();
    EXPECT_EQ(formatDatePicture(u"dddd, d. MMMM yyyy", dateParts(38001), de2),
              u"Donnerstag, 15. Januar 2004");
    EXPECT_EQ(formatDatePicture(u"'Tag' d 'o''clock' yy", dateParts(38001), de2), u"Tag 15 o'clock 04");
}

TEST(Dates, ParsingFollowsTheLocaleOrder) {
    EXPECT_EQ(parse(u"1/15/2004"), 38001);
    EXPECT_EQ(parse(u"2004-01-15"), 38001);
    EXPECT_EQ(parse(u"15/1/2004"), 38001);   // impossible month: day and month swap
    EXPECT_EQ(parse(u"January 15, 2004"), 38001);
    EXPECT_EQ(parse(u"15 jan 2004"), 38001);
    EXPECT_EQ(parse(u"Thursday, January 15, 2004"), 38001);
    EXPECT_EQ(parse(u"1/15/04"), 38001);
    EXPECT_EQ(parse(u"1/15"), 38001);         // the current year
    EXPECT_EQ(parse(u"1/1/30"), daysFromCivil(1930, 1, 1));
    EXPECT_EQ(parse(u"1/1/29"), daysFromCivil(2029, 1, 1));
    EXPECT_DOUBLE_EQ(parse(u"1/15/2004 6:00 PM"), 38001.75);
    EXPECT_DOUBLE_EQ(parse(u"18:00:00"), 0.75);
    EXPECT_DOUBLE_EQ(parse(u"12:00 AM"), 0);
    EXPECT_DOUBLE_EQ(parse(u"12 PM"), 0.5);
    for (const char16_t* bad : {u"", u"abc", u"25:00", u"2/30/2004", u"1/2/3/4", u"10:61",
                                u"13 PM", u"5", u"1/15/2004 x", u":30", u"1/1/10000"})
        EXPECT_FALSE(parses(bad));

    LocaleFormat fr = test::french(), de = test::german();
    EXPECT_EQ(parse(u"2/1/2004", fr), daysFromCivil(2004, 1, 2));
    EXPECT_EQ(parse(u"15 janvier 2004", fr), 38001);
    EXPECT_EQ(parse(u"15 f\u00C9vrier 2004", fr), daysFromCivil(2004, 2, 15));
    EXPECT_EQ(parse(u"15.01.2004", de), 38001);
    EXPECT_DOUBLE_EQ(parse(u"15.01.2004 18:00", de), 38001.75);
}

TEST(Dates, TextRoundTripsInEveryLocale) {
    const double serials[] = {38001, 38001.75, 0.5, 1, -1.25, 36526 + 13.0 / 24 + 7.0 / 1440,
                              daysFromCivil(1930, 12, 31) + 0.999988426, daysFromCivil(2029, 2, 28) + 0.0,
                              daysFromCivil(100, 1, 1) + 0.25, daysFromCivil(9999, 12, 31) + 0.5};
    for (const LocaleFormat& loc : {LocaleFormat::english(), test::french(), test::german()}) {
        test::ScopedLocale scope(loc);
        for (double d : serials) {
            std::u16string text = Variant::date(d).toString();
            double back = 0;
            ASSERT_TRUE(parseDate(text, loc, 2004, back)) << loc.lcid << " " << toUtf8(text);
            EXPECT_NEAR(back, d, 1.0 / 86400 / 2) << loc.lcid << " " << toUtf8(text);
        }
    }
}

TEST(Dates, CoercionToDate) {
    EXPECT_EQ(str("1/15/2004").toDate(), 38001);
    EXPECT_EQ(Variant(38001.5).toDate(), 38001.5);
    EXPECT_VB_ERROR(str("not a date").toDate(), 13);
    EXPECT_VB_ERROR(Variant(1e10).toDate(), 6);
    EXPECT_VB_ERROR(Variant::null().toDate(), 94);
}

} // namespace
