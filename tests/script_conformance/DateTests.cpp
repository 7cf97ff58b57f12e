// Date arithmetic: DateAdd at month ends and leap years, DateDiff and
// DatePart intervals, DateSerial/TimeSerial carries, CDate of odd text.
#include "Conformance.h"

namespace qz::script::conformance {
namespace {

TEST(ConformDates, DateAddAtMonthEndsAndLeapYears) {
    const Case cases[] = {
        {"", R"(DateAdd("m", 1, #1/31/2004#))", "Date:2004-02-29"},
        {"", R"(DateAdd("m", 1, #1/31/2003#))", "Date:2003-02-28"},
        {"", R"(DateAdd("m", -1, #3/31/2003#))", "Date:2003-02-28"},
        {"", R"(DateAdd("yyyy", 1, #2/29/2004#))", "Date:2005-02-28"},
        {"", R"(DateAdd("q", 1, #11/30/2003#))", "Date:2004-02-29"},
        {"", R"(DateAdd("d", -1, #3/1/2004#))", "Date:2004-02-29"},
        {"", R"(DateAdd("y", 1, #12/31/2003#))", "Date:2004-01-01"},
        {"", R"(DateAdd("w", 1, #1/1/2000#))", "Date:2000-01-02"},
        {"", R"(DateAdd("ww", 1, #1/1/2000#))", "Date:2000-01-08"},
        {"", R"(DateAdd("h", 25, #1/1/2000#))", "Date:2000-01-02 01:00:00"},
        {"", R"(DateAdd("n", -1, #1/1/2000#))", "Date:1999-12-31 23:59:00"},
        {"", R"(DateAdd("s", 90, #1/1/2000#))", "Date:2000-01-01 00:01:30"},
        {"", R"(DateAdd("m", 1, "1/31/2000"))", "Date:2000-02-29"},
        {"", R"(DateAdd("x", 1, #1/1/2000#))", "err:5"},
        {"", R"(DateAdd("d", 1, "abc"))", "err:13"},
    };
    expectAll(cases);
}

TEST(ConformDates, DateDiffCountsBoundariesCrossed) {
    const Case cases[] = {
        {"", R"(DateDiff("d", #1/1/2000#, #3/1/2000#))", "Long:60"},
        {"", R"(DateDiff("d", #1/2/2000#, #1/1/2000#))", "Long:-1"},
        {"", R"(DateDiff("m", #1/31/2000#, #2/1/2000#))", "Long:1"},
        {"", R"(DateDiff("yyyy", #12/31/2000#, #1/1/2001#))", "Long:1"},
        {"", R"(DateDiff("q", #3/31/2000#, #4/1/2000#))", "Long:1"},
        {"", R"(DateDiff("ww", #1/1/2000#, #1/31/2000#))", "Long:5"},
        {"", R"(DateDiff("w", #1/1/2000#, #1/31/2000#))", "Long:4"},
        {"", R"(DateDiff("h", #1/1/2000 23:00#, #1/2/2000 01:00#))", "Long:2"},
        {"", R"(DateDiff("n", #1/1/2000 23:59#, #1/2/2000#))", "Long:1"},
        {"", R"(DateDiff("d", "1/1/2000", "1/3/2000"))", "Long:2"},
        {"", R"(DateDiff("z", #1/1/2000#, #1/3/2000#))", "err:5"},
    };
    expectAll(cases);
}

TEST(ConformDates, DatePartAndWeekday) {
    const Case cases[] = {
        {"", R"(CLng(DatePart("q", #5/1/2000#)))", "Long:2"},
        {"", R"(CLng(DatePart("y", #3/1/2000#)))", "Long:61"},
        {"", R"(CLng(DatePart("w", #1/1/2000#)))", "Long:7"},
        {"", R"(CLng(DatePart("w", #1/1/2000#, vbMonday)))", "Long:6"},
        {"", R"(CLng(DatePart("ww", #1/1/2000#)))", "Long:1"},
        {"", R"(CLng(DatePart("ww", #1/2/2000#)))", "Long:2"},
        {"", R"(CLng(DatePart("ww", #12/31/2000#)))", "Long:54"},
        {"", "Weekday(#1/1/2000#)", "Integer:7"},
        {"", "Weekday(#1/1/2000#, 2)", "Integer:6"},
        {"", "Year(#1/2/2003#)", "Integer:2003"},
        {"", "Month(#1/2/2003#)", "Integer:1"},
        {"", "Day(Null)", "Null"},
        {"", "Hour(0.75)", "Integer:18"},
        {"", R"(Minute("abc"))", "err:13"},
    };
    expectAll(cases);
}

TEST(ConformDates, SerialsCarryAndTwoDigitYears) {
    const Case cases[] = {
        {"", "DateSerial(2000, 13, 1)", "Date:2001-01-01"},
        {"", "DateSerial(2000, 2, 30)", "Date:2000-03-01"},
        {"", "DateSerial(2000, 1, 0)", "Date:1999-12-31"},
        {"", "DateSerial(2000, 0, 1)", "Date:1999-12-01"},
        {"", "DateSerial(99, 1, 1)", "Date:1999-01-01"},
        {"", "DateSerial(30, 1, 1)", "Date:1930-01-01"},
        {"", "DateSerial(29, 1, 1)", "Date:2029-01-01"},
        {"", "TimeSerial(12, 30, 0)", "Date:1899-12-30 12:30:00"},
        {"", "TimeSerial(25, 0, 0)", "Date:1899-12-31 01:00:00"},
        {"", "TimeSerial(0, 90, 0)", "Date:1899-12-30 01:30:00"},
    };
    expectAll(cases);
}

TEST(ConformDates, TextToDate) {
    const Case cases[] = {
        {"", R"(CDate("2003-01-02"))", "Date:2003-01-02"},
        {"", R"(CDate("1/2/2003"))", "Date:2003-01-02"},
        {"", R"(CDate("13/1/2003"))", "Date:2003-01-13"},
        {"", R"(CDate("Jan 2, 2003"))", "Date:2003-01-02"},
        {"", R"(CDate("2 January 2003"))", "Date:2003-01-02"},
        {"", R"(CDate("1/2/2003 1:04 PM"))", "Date:2003-01-02 13:04:00"},
        {"", "CDate(1.5)", "Date:1899-12-31 12:00:00"},
        {"", R"(CDate("abc"))", "err:13"},
        {"", R"(CDate(""))", "err:13"},
        {"", R"(CDate("2/30/2003"))", "err:13"},
        {"", R"(DateValue("1/2/2003 10:00"))", "Date:2003-01-02"},
        {"", R"(TimeValue("1/2/2003 10:00"))", "Date:1899-12-30 10:00:00"},
    };
    expectAll(cases);
}

// Text forms of dates, the year 9999 limit, weeks with a first day.
TEST(ConformDates, TextFormsLimitsAndWeekNumbers) {
    const Case cases[] = {
        {"", "IsDate(\"2003-02-29\")", "Boolean:False"},
        {"", "IsDate(\"2004-02-29\")", "Boolean:True"},
        {"", "IsDate(\"1/2\")", "Boolean:True"},
        {"", "CDate(\"12:30\")", "Date:1899-12-30 12:30:00"},
        {"", "CDate(\"1:30 PM\")", "Date:1899-12-30 13:30:00"},
        {"", "IsDate(\"32/1/2003\")", "Boolean:False"},
        {"", "CDate(\"2003/1/2\")", "Date:2003-01-02"},
        {"", "CDate(\"1-2-2003\")", "Date:2003-01-02"},
        {"", "CDate(-1)", "Date:1899-12-29"},
        {"", "DateSerial(10000, 1, 1)", "err:5"},
        {"", "DateAdd(\"d\", 1, #12/31/9999#)", "err:5"},
        {"", "CLng(DatePart(\"h\", #1:30 PM#))", "Long:13"},
        {"", "CLng(DatePart(\"ww\", #1/5/2005#, vbMonday, vbFirstFourDays))", "Long:1"},
        {"", "CLng(DatePart(\"ww\", #1/1/2000#, vbSunday, vbFirstJan1))", "Long:1"},
        {"", "CLng(DatePart(\"ww\", #12/31/2000#, vbMonday))", "Long:53"},
        {"", "DateDiff(\"ww\", #1/1/2000#, #1/31/2000#, vbMonday)", "Long:5"},
        {"", "DateDiff(\"w\", #1/1/2000#, #1/7/2000#)", "Long:0"},
        {"", "DateDiff(\"yyyy\", #1/1/2000#, #12/31/2000#)", "Long:0"},
        {"", "DateDiff(\"s\", #1/1/2000#, #1/2/2000#)", "Long:86400"},
        {"", "DateDiff(\"d\", #1/1/2000 23:59#, #1/2/2000 00:01#)", "Long:1"},
        {"", "DateDiff(\"h\", #1/1/2000 10:59#, #1/1/2000 11:00#)", "Long:1"},
        {"", "DateDiff(\"m\", #1/1/2000#, #12/31/1999#)", "Long:-1"},
        {"", "DateAdd(\"m\", 1, #1/31/2000 10:30#)", "Date:2000-02-29 10:30:00"},
        {"", "DateAdd(\"yyyy\", -1, #2/29/2000#)", "Date:1999-02-28"},
        {"", "Weekday(Null)", "Null"},
        {"", "Weekday(#1/1/2000#, 8)", "err:5"},
        {"", "Day(\"abc\")", "err:13"},
        {"", "Year(\"2003-01-02\")", "Integer:2003"},
        {"", "Month(0) & \",\" & Day(0) & \",\" & Year(0)", "String:12,30,1899"},
        {"", "Hour(-0.25)", "Integer:6"},
        {"", "Second(#12:00:59#)", "Integer:59"},
        {"", "TimeValue(\"25:00\")", "err:13"},
        {"", "DateValue(\"2/30/2003\")", "err:13"},
        {"", "MonthName(2, True)", "String:Feb"},
        {"", "WeekdayName(0)", "err:5"},
    };
    expectAll(cases);
}

// Null and Empty as dates, carries of DateSerial/TimeSerial, forms without a date or a time.
TEST(ConformDates, NullEmptyCarriesAndTimeOnlyForms) {
    const Case cases[] = {
        {"", "DateAdd(\"yyyy\", 1, \"2/29/2004\")", "Date:2005-02-28"},
        {"", "DateDiff(\"d\", Null, #1/1/2000#)", "Null"},
        {"", "DatePart(\"yyyy\", Null)", "Null"},
        {"", "Month(Empty)", "Integer:12"},
        {"", "Year(\"abc\")", "err:13"},
        {"", "Weekday(\"1/1/2000\")", "Integer:7"},
        {"", "DateSerial(2000, 2, 29) - DateSerial(2000, 1, 1)", "Double:59"},
        {"", "DateSerial(1999, 14, -1)", "Date:2000-01-30"},
        {"", "TimeSerial(23, 59, 60)", "Date:1899-12-31"},
        {"", "CDate(\"1/2/2003 25:00\")", "err:13"},
        {"", "CDate(\"0:00\")", "Date:1899-12-30"},
        {"", "IsDate(#1/1/2000#)", "Boolean:True"},
        {"", "FormatDateTime(#1/2/2003 0:00#, 0)", "String:1/2/2003"},
        {"", "FormatDateTime(#12/30/1899 10:00#, 0)", "String:10:00:00 AM"},
        {"", "CStr(#1/2/2003 00:00:01#)", "String:1/2/2003 12:00:01 AM"},
        {"", "CStr(#12:00#)", "String:12:00:00 PM"},
    };
    expectAll(cases);
}

// DateAdd over years, DateDiff counting boundaries backwards, DatePart with first weeks.
TEST(ConformDates, IntervalsAcrossBoundaries) {
    const Case cases[] = {
        {"", "CStr(DateSerial(2003, 1, 2) + TimeSerial(0, 0, 0))", "String:1/2/2003"},
        {"", "CDate(\"1/2/2003 1:04:05 PM\") = #1/2/2003 13:04:05#", "Boolean:True"},
        {"", "DateValue(\"Jan 2 2003\")", "Date:2003-01-02"},
        {"", "IsDate(\"10:00 PM\")", "Boolean:True"},
        {"", "IsDate(\"1/2/2003 10:00 XM\")", "Boolean:False"},
        {"", "DateAdd(\"m\", 12, #1/31/2003#)", "Date:2004-01-31"},
        {"", "DateAdd(\"m\", -13, #3/31/2004#)", "Date:2003-02-28"},
        {"", "DateDiff(\"yyyy\", #1/1/2000#, #1/1/1990#)", "Long:-10"},
        {"", "DateDiff(\"q\", #1/1/2000#, #12/31/2000#)", "Long:3"},
        {"", "DateDiff(\"y\", #1/1/2000#, #1/10/2000#)", "Long:9"},
        {"", "DateDiff(\"ww\", #1/2/2000#, #1/9/2000#)", "Long:1"},
        {"", "DateDiff(\"ww\", #1/9/2000#, #1/2/2000#)", "Long:-1"},
        {"", "DateDiff(\"w\", #1/9/2000#, #1/1/2000#)", "Long:-1"},
        {"", "DateDiff(\"d\", #1/1/2000 12:00#, #1/1/2000 11:00#)", "Long:0"},
        {"", "DateDiff(\"n\", #1/1/2000 00:00:59#, #1/1/2000 00:01:00#)", "Long:1"},
        {"", "CLng(DatePart(\"m\", \"2/29/2004\"))", "Long:2"},
        {"", "CLng(DatePart(\"d\", #2/29/2004#))", "Long:29"},
        {"", "CLng(DatePart(\"n\", #10:45#))", "Long:45"},
        {"", "CLng(DatePart(\"ww\", #1/7/2000#, vbSunday, vbFirstFullWeek))", "Long:1"},
        {"", "CLng(DatePart(\"ww\", #1/1/2000#, vbSunday, vbFirstFullWeek))", "Long:52"},
    };
    expectAll(cases);
}

// DatePart with Saturday as first day, invalid intervals, carried minutes and seconds, times from text.
TEST(ConformDates, PartsWithOtherFirstDaysAndTimeCarries) {
    const Case cases[] = {
        {"", "DateDiff(\"yyyy\", #12/31/1999 23:59:59#, #1/1/2000#)", "Long:1"},
        {"", "CLng(DatePart(\"q\", #12/31/2000#))", "Long:4"},
        {"", "CLng(DatePart(\"s\", #10:00:05#))", "Long:5"},
        {"", "CLng(DatePart(\"ww\", #1/1/2000#, 7))", "Long:1"},
        {"", "CLng(DatePart(\"ww\", #1/8/2000#, 7))", "Long:2"},
        {"", "CLng(DatePart(\"w\", #1/1/2000#, 7))", "Long:1"},
        {"", "DatePart(\"x\", Now)", "err:5"},
        {"", "DatePart(\"ww\", #1/1/2000#, 8)", "err:5"},
        {"", "TimeSerial(10, 90, 90)", "Date:1899-12-30 11:31:30"},
        {"", "TimeValue(\"1:00 PM\")", "Date:1899-12-30 13:00:00"},
        {"", "TimeValue(#1/2/2003 10:00#)", "Date:1899-12-30 10:00:00"},
        {"", "CDate(\"13:00:00\")", "Date:1899-12-30 13:00:00"},
        {"", "CDate(\"  1/2/2003  \")", "Date:2003-01-02"},
    };
    expectAll(cases);
}

// Week numbers under each first-week rule away from the year's edges; leap days in differences and serials.
TEST(ConformDates, WeekNumbersAndLeapDaysInTheMiddleOfTheYear) {
    const Case cases[] = {
        {"", "CLng(DatePart(\"ww\", #6/15/2004#, vbMonday, vbFirstFourDays))", "Long:25"},
        {"", "CLng(DatePart(\"ww\", #6/15/2004#, vbSunday, vbFirstFullWeek))", "Long:24"},
        {"", "CLng(DatePart(\"ww\", #6/15/2004#, vbSunday, vbFirstJan1))", "Long:25"},
        {"", "CLng(DatePart(\"ww\", #6/15/2004#))", "Long:25"},
        {"", "CLng(DatePart(\"ww\", #1/4/2004#, vbSunday, vbFirstFullWeek))", "Long:1"},
        {"", "CLng(DatePart(\"ww\", #1/5/2004#, vbMonday, vbFirstFourDays))", "Long:2"},
        {"", "CLng(DatePart(\"ww\", #1/1/2004#, vbMonday, vbFirstFourDays))", "Long:1"},
        {"", "CLng(DatePart(\"ww\", #1/2/2005#, vbMonday, vbFirstFourDays))", "Long:53"},
        {"", "DateDiff(\"ww\", #6/1/2004#, #6/30/2004#, vbSaturday)", "Long:4"},
        {"", "DateDiff(\"d\", #2/28/2004#, #3/1/2004#)", "Long:2"},
        {"", "DateDiff(\"d\", #2/28/2003#, #3/1/2003#)", "Long:1"},
        {"", "DateDiff(\"m\", #2/29/2004#, #3/1/2004#)", "Long:1"},
        {"", "DateAdd(\"d\", 365, #1/1/2004#)", "Date:2004-12-31"},
        {"", "DateAdd(\"q\", -1, #5/31/2004#)", "Date:2004-02-29"},
        {"", "Day(DateSerial(2004, 3, 0))", "Integer:29"},
        {"", "Day(DateSerial(1900, 3, 0))", "Integer:28"},
        {"", "Day(DateSerial(2000, 3, 0))", "Integer:29"},
        {"", "Weekday(#2/29/2004#)", "Integer:1"},
    };
    expectAll(cases);
}

} // namespace
} // namespace qz::script::conformance
