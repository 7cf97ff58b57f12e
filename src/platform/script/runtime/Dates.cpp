// Date and time functions. Arithmetic runs on "linear seconds" (days from
// 30 December 1899 times 86400 plus the second of the day) so that dates
// before day zero, whose serial numbers keep a forward time fraction, come out
// right.
#include "Builtins.h"

#include "platform/automation/DateTime.h"
#include "platform/automation/LocaleFormat.h"
#include "platform/automation/Text.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace qz::script {

double secondsSinceMidnight() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec + static_cast<double>(ms) / 1000.0;
}

namespace fn {
namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

std::int64_t linearSeconds(const DateParts& p) {
    return daysFromCivil(p.year, p.month, p.day) * 86400 + p.hour * 3600 + p.minute * 60 + p.second;
}

Variant fromLinearSeconds(std::int64_t secs) {
    std::int64_t day = floorDiv(secs, 86400);
    std::int64_t sod = secs - day * 86400;
    double serial = joinDateTime(static_cast<double>(day), static_cast<double>(sod) / 86400.0);
    if (serial < kMinDate - 1 || serial >= 2958466.0) throwRuntimeError(err::InvalidCall);
    return Variant::date(serial);
}

// A date argument: Null propagates (returns false), anything else goes through CDate.
bool dateArg(const Variant& arg, double& out) {
    Variant v = valueOf(arg);
    if (v.isNull()) return false;
    out = v.toDate();
    return true;
}

// The first day of the week: vbUseSystemDayOfWeek (0) reads the locale.
int firstDayArg(std::span<Variant> a, std::size_t i) {
    std::int32_t f = longArg(a, i, 1);
    if (f < 0 || f > 7) throwRuntimeError(err::InvalidCall);
    if (f == 0) f = (currentLocale().firstDayOfWeek + 1) % 7 + 1;
    return f;
}

int firstWeekArg(std::span<Variant> a, std::size_t i) {
    std::int32_t w = longArg(a, i, 1);
    if (w < 0 || w > 3) throwRuntimeError(err::InvalidCall);
    return w == 0 ? 1 : w;
}

// Weekday counted from the given first day (1..7).
int relativeWeekday(int weekdaySun1, int firstDay) { return (weekdaySun1 - firstDay + 7) % 7 + 1; }

// Day number (days since 1899-12-30) on which week 1 of a year starts.
std::int64_t weekOneStart(int year, int firstDay, int firstWeek) {
    std::int64_t jan1 = daysFromCivil(year, 1, 1);
    int w1 = relativeWeekday(dateParts(static_cast<double>(jan1)).weekday, firstDay);
    std::int64_t weekStart = jan1 - (w1 - 1);
    if (firstWeek == 2) return w1 <= 4 ? weekStart : weekStart + 7;
    if (firstWeek == 3) return w1 == 1 ? jan1 : weekStart + 7;
    return weekStart;
}

int weekOfYear(const DateParts& p, int firstDay, int firstWeek) {
    std::int64_t day = daysFromCivil(p.year, p.month, p.day);
    std::int64_t start = weekOneStart(p.year, firstDay, firstWeek);
    if (day < start) start = weekOneStart(p.year - 1, firstDay, firstWeek);
    // Under the four-day rule the last days of December may already be week 1
    // of the next year.
    else if (firstWeek == 2 && p.month == 12 && day >= weekOneStart(p.year + 1, firstDay, firstWeek))
        return 1;
    return static_cast<int>((day - start) / 7 + 1);
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval intervalArg(const Variant& v) {
    std::u16string s = toLowerCase(stringArg(valueOf(v)));
    if (s == u"yyyy") return Interval::Year;
    if (s == u"q") return Interval::Quarter;
    if (s == u"m") return Interval::Month;
    if (s == u"y") return Interval::DayOfYear;
    if (s == u"d") return Interval::Day;
    if (s == u"w") return Interval::Weekday;
    if (s == u"ww") return Interval::Week;
    if (s == u"h") return Interval::Hour;
    if (s == u"n") return Interval::Minute;
    if (s == u"s") return Interval::Second;
    throwRuntimeError(err::InvalidCall);
}

std::int16_t intArg(const Variant& v) {
    Variant x = valueOf(v);
    if (x.isNull()) throwRuntimeError(err::InvalidNull);
    return x.toInteger();
}

Variant partOf(const Variant& arg, int DateParts::*field) {
    double d;
    if (!dateArg(arg, d)) return Variant::null();
    return Variant(static_cast<std::int16_t>(dateParts(d).*field));
}

} // namespace

Variant Now(std::span<Variant>) { return Variant::date(nowAsDate()); }
Variant Date(std::span<Variant>) { return Variant::date(std::floor(nowAsDate())); }
Variant Time(std::span<Variant>) {
    double n = nowAsDate();
    return Variant::date(n - std::floor(n));
}

Variant Timer(std::span<Variant>) { return Variant(static_cast<float>(secondsSinceMidnight())); }

Variant Day(std::span<Variant> a) { return partOf(a[0], &DateParts::day); }
Variant Month(std::span<Variant> a) { return partOf(a[0], &DateParts::month); }
Variant Year(std::span<Variant> a) { return partOf(a[0], &DateParts::year); }
Variant Hour(std::span<Variant> a) { return partOf(a[0], &DateParts::hour); }
Variant Minute(std::span<Variant> a) { return partOf(a[0], &DateParts::minute); }
Variant Second(std::span<Variant> a) { return partOf(a[0], &DateParts::second); }

Variant Weekday(std::span<Variant> a) {
    int first = firstDayArg(a, 1);
    double d;
    if (!dateArg(a[0], d)) return Variant::null();
    return Variant(static_cast<std::int16_t>(relativeWeekday(dateParts(d).weekday, first)));
}

Variant DateSerial(std::span<Variant> a) {
    std::int32_t y = intArg(a[0]), m = intArg(a[1]), d = intArg(a[2]);
    if (y >= 0 && y < 30) y += 2000;
    else if (y >= 30 && y < 100) y += 1900;
    std::int64_t months = static_cast<std::int64_t>(y) * 12 + (m - 1);
    std::int64_t yy = floorDiv(months, 12);
    int mm = static_cast<int>(months - yy * 12) + 1;
    if (yy < 100 || yy > 9999) throwRuntimeError(err::InvalidCall);
    std::int64_t day = daysFromCivil(static_cast<int>(yy), mm, 1) + (d - 1);
    if (day < -657434 || day > 2958465) throwRuntimeError(err::InvalidCall);
    return Variant::date(static_cast<double>(day));
}

Variant TimeSerial(std::span<Variant> a) {
    std::int64_t secs = static_cast<std::int64_t>(intArg(a[0])) * 3600 +
                        static_cast<std::int64_t>(intArg(a[1])) * 60 + intArg(a[2]);
    return fromLinearSeconds(secs);
}

Variant DateValue(std::span<Variant> a) {
    double d;
    if (!dateArg(a[0], d)) return Variant::null();
    return Variant::date(std::trunc(d));
}

Variant TimeValue(std::span<Variant> a) {
    double d;
    if (!dateArg(a[0], d)) return Variant::null();
    return Variant::date(timeOfDay(d));
}

Variant DateAdd(std::span<Variant> a) {
    Interval iv = intervalArg(a[0]);
    Variant nv = valueOf(a[1]);
    if (nv.isNull()) throwRuntimeError(err::InvalidNull);
    std::int64_t n = nv.toLong();
    double d;
    if (!dateArg(a[2], d)) return Variant::null();
    DateParts p = dateParts(d);
    switch (iv) {
    case Interval::Year: case Interval::Quarter: case Interval::Month: {
        std::int64_t months = iv == Interval::Year ? n * 12 : iv == Interval::Quarter ? n * 3 : n;
        std::int64_t total = static_cast<std::int64_t>(p.year) * 12 + (p.month - 1) + months;
        std::int64_t y = floorDiv(total, 12);
        if (y < 100 || y > 9999) throwRuntimeError(err::InvalidCall);
        p.year = static_cast<int>(y);
        p.month = static_cast<int>(total - y * 12) + 1;
        p.day = std::min(p.day, daysInMonth(p.year, p.month));
        return fromLinearSeconds(linearSeconds(p));
    }
    case Interval::DayOfYear: case Interval::Day: case Interval::Weekday:
        return fromLinearSeconds(linearSeconds(p) + n * 86400);
    case Interval::Week: return fromLinearSeconds(linearSeconds(p) + n * 7 * 86400);
    case Interval::Hour: return fromLinearSeconds(linearSeconds(p) + n * 3600);
    case Interval::Minute: return fromLinearSeconds(linearSeconds(p) + n * 60);
    case Interval::Second: return fromLinearSeconds(linearSeconds(p) + n);
    }
    throwRuntimeError(err::InvalidCall);
}

Variant DateDiff(std::span<Variant> a) {
    Interval iv = intervalArg(a[0]);
    int first = firstDayArg(a, 3);
    firstWeekArg(a, 4);
    double d1, d2;
    if (!dateArg(a[1], d1) || !dateArg(a[2], d2)) return Variant::null();
    DateParts p1 = dateParts(d1), p2 = dateParts(d2);
    std::int64_t s1 = linearSeconds(p1), s2 = linearSeconds(p2);
    std::int64_t day1 = floorDiv(s1, 86400), day2 = floorDiv(s2, 86400);
    std::int64_t r = 0;
    switch (iv) {
    case Interval::Year: r = p2.year - p1.year; break;
    case Interval::Quarter:
        r = (p2.year * 4 + (p2.month - 1) / 3) - (p1.year * 4 + (p1.month - 1) / 3);
        break;
    case Interval::Month: r = (p2.year * 12 + p2.month) - (p1.year * 12 + p1.month); break;
    case Interval::DayOfYear: case Interval::Day: r = day2 - day1; break;
    case Interval::Weekday: r = (day2 - day1) / 7; break;
    case Interval::Week: {
        // Count the first-day-of-week boundaries crossed. Day 0 was a Saturday (7).
        std::int64_t shift = (7 - first + 7) % 7; // days from a week start to day 0
        r = floorDiv(day2 + shift, 7) - floorDiv(day1 + shift, 7);
        break;
    }
    case Interval::Hour: r = floorDiv(s2, 3600) - floorDiv(s1, 3600); break;
    case Interval::Minute: r = floorDiv(s2, 60) - floorDiv(s1, 60); break;
    case Interval::Second: r = s2 - s1; break;
    }
    if (r < INT32_MIN || r > INT32_MAX) throwRuntimeError(err::Overflow);
    return Variant(static_cast<std::int32_t>(r));
}

Variant DatePart(std::span<Variant> a) {
    Interval iv = intervalArg(a[0]);
    int first = firstDayArg(a, 2);
    int firstWeek = firstWeekArg(a, 3);
    double d;
    if (!dateArg(a[1], d)) return Variant::null();
    DateParts p = dateParts(d);
    int r = 0;
    switch (iv) {
    case Interval::Year: r = p.year; break;
    case Interval::Quarter: r = (p.month - 1) / 3 + 1; break;
    case Interval::Month: r = p.month; break;
    case Interval::DayOfYear: r = p.dayOfYear; break;
    case Interval::Day: r = p.day; break;
    case Interval::Weekday: r = relativeWeekday(p.weekday, first); break;
    case Interval::Week: r = weekOfYear(p, first, firstWeek); break;
    case Interval::Hour: r = p.hour; break;
    case Interval::Minute: r = p.minute; break;
    case Interval::Second: r = p.second; break;
    }
    return Variant(static_cast<std::int32_t>(r));
}

Variant MonthName(std::span<Variant> a) {
    refuseNullNumbers(a, {0, 1});
    std::int32_t m = valueOf(a[0]).toLong();
    bool abbrev = given(a, 1) && a[1].toBool();
    if (m < 1 || m > 12) throwRuntimeError(err::InvalidCall);
    const LocaleFormat& loc = currentLocale();
    return Variant(abbrev ? loc.abbrevMonthNames[m - 1] : loc.monthNames[m - 1]);
}

Variant WeekdayName(std::span<Variant> a) {
    refuseNullNumbers(a, {0, 1, 2});
    std::int32_t wd = valueOf(a[0]).toLong();
    bool abbrev = given(a, 1) && a[1].toBool();
    std::int32_t f = longArg(a, 2, 0);
    if (f < 0 || f > 7 || wd < 1 || wd > 7) throwRuntimeError(err::InvalidCall);
    if (f == 0) f = (currentLocale().firstDayOfWeek + 1) % 7 + 1;
    int index = (wd - 1 + f - 1) % 7; // 0 = Sunday
    const LocaleFormat& loc = currentLocale();
    return Variant(abbrev ? loc.abbrevDayNames[index] : loc.dayNames[index]);
}

} // namespace fn
} // namespace qz::script
