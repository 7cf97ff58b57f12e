#include "DateTime.h"

#include "Text.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <vector>

namespace qz {

bool isLeapYear(int y) noexcept { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) noexcept {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12) return 0;
    return (m == 2 && isLeapYear(y)) ? 29 : kDays[m - 1];
}

// Days from 1970-01-01 of a civil date, then shifted to the 1899-12-30 epoch.
std::int64_t daysFromCivil(int y, int m, int d) noexcept {
    std::int64_t yy = static_cast<std::int64_t>(y) - (m <= 2);
    const std::int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
    const std::int64_t yoe = yy - era * 400;
    const std::int64_t mp = (m + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;
}

static void civilFromDays(std::int64_t z, int& y, int& m, int& d) noexcept {
    z += 719468 - 25569;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

DateParts dateParts(double serial) noexcept {
    DateParts p;
    // Outside the valid range (only reachable from C++ callers) the parts
    // would overflow: show day zero instead.
    if (!std::isfinite(serial) || serial < -1e7 || serial > 1e7) serial = 0;
    double whole = std::trunc(serial);
    double frac = std::fabs(serial - whole);
    auto days = static_cast<std::int64_t>(whole);
    auto secs = static_cast<std::int64_t>(std::floor(frac * 86400.0 + 0.5));
    if (secs >= 86400) {
        secs -= 86400;
        days += serial < 0 ? -1 : 1;
    }
    civilFromDays(days, p.year, p.month, p.day);
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>(secs / 60 % 60);
    p.second = static_cast<int>(secs % 60);
    p.weekday = static_cast<int>(((days % 7) + 7 + 6) % 7) + 1;
    p.dayOfYear = static_cast<int>(days - daysFromCivil(p.year, 1, 1)) + 1;
    return p;
}

double joinDateTime(double days, double t) noexcept {
    return days < 0 ? days - t : days + t;
}

double timeOfDay(double serial) noexcept { return std::fabs(serial - std::trunc(serial)); }

namespace {

void appendNumber(std::u16string& out, int v, int minDigits) {
    char buf[16];
    char* end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    for (int pad = minDigits - static_cast<int>(end - buf); pad > 0; --pad) out += u'0';
    for (const char* p = buf; p != end; ++p) out += static_cast<char16_t>(*p);
}

// Whether a picture shows the day of the month (d or dd outside quotes).
bool showsDayNumber(std::u16string_view pic) {
    bool quoted = false;
    for (std::size_t i = 0; i < pic.size();) {
        if (pic[i] == u'\'') {
            quoted = !quoted;
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < pic.size() && pic[i + run] == pic[i]) ++run;
        if (!quoted && pic[i] == u'd' && run <= 2) return true;
        i += run;
    }
    return false;
}

// A month beside its day takes the form a date gives it (genitive in many
// languages); alone (MonthName, "MMMM yyyy") it stands in the nominative.
const std::u16string& monthName(const std::array<std::u16string, 12>& alone,
                                const std::array<std::u16string, 12>& inDate, int month, bool withDay) {
    const std::u16string& dated = inDate[month - 1];
    return withDay && !dated.empty() ? dated : alone[month - 1];
}

} // namespace

std::u16string formatDatePicture(std::u16string_view pic, const DateParts& p,
                                 const LocaleFormat& loc) {
    std::u16string out;
    const bool withDay = showsDayNumber(pic);
    std::size_t i = 0;
    while (i < pic.size()) {
        char16_t c = pic[i];
        if (c == u'\'') {
            // Quoted literal; '' inside a quote is one quote.
            ++i;
            while (i < pic.size()) {
                if (pic[i] == u'\'') {
                    if (i + 1 < pic.size() && pic[i + 1] == u'\'') { out += u'\''; i += 2; continue; }
                    ++i;
                    break;
                }
                out += pic[i++];
            }
            continue;
        }
        std::size_t run = 1;
        while (i + run < pic.size() && pic[i + run] == c) ++run;
        switch (c) {
        case u'd':
            if (run == 1) appendNumber(out, p.day, 1);
            else if (run == 2) appendNumber(out, p.day, 2);
            else if (run == 3) out += loc.abbrevDayNames[p.weekday - 1];
            else out += loc.dayNames[p.weekday - 1];
            break;
        case u'M':
            if (run == 1) appendNumber(out, p.month, 1);
            else if (run == 2) appendNumber(out, p.month, 2);
            else if (run == 3) out += monthName(loc.abbrevMonthNames, loc.abbrevDateMonthNames, p.month, withDay);
            else out += monthName(loc.monthNames, loc.dateMonthNames, p.month, withDay);
            break;
        case u'y':
            if (run == 1) appendNumber(out, p.year % 100, 1);
            else if (run == 2) appendNumber(out, p.year % 100, 2);
            else appendNumber(out, p.year, run >= 4 ? 4 : 1);
            break;
        case u'h': {
            int h = p.hour % 12;
            if (h == 0) h = 12;
            appendNumber(out, h, run >= 2 ? 2 : 1);
            break;
        }
        case u'H': appendNumber(out, p.hour, run >= 2 ? 2 : 1); break;
        case u'm': appendNumber(out, p.minute, run >= 2 ? 2 : 1); break;
        case u's': appendNumber(out, p.second, run >= 2 ? 2 : 1); break;
        case u't': {
            const std::u16string& s = p.hour < 12 ? loc.am : loc.pm;
            // With no designator the space that separated it goes too.
            if (s.empty()) {
                if (!out.empty() && out.back() == u' ') out.pop_back();
            } else if (run == 1) {
                out += s[0];
            } else {
                out += s;
            }
            break;
        }
        case u'g': break; // era: the Gregorian calendar has none worth printing
        default: out.append(run, c); break;
        }
        i += run;
    }
    return out;
}

std::u16string formatDateDefault(double serial, const LocaleFormat& loc) {
    DateParts p = dateParts(serial);
    bool hasTime = p.hour != 0 || p.minute != 0 || p.second != 0;
    bool dayZero = p.year == 1899 && p.month == 12 && p.day == 30;
    if (dayZero) return formatDatePicture(loc.timeFormat, p, loc);
    std::u16string s = formatDatePicture(loc.shortDate, p, loc);
    if (hasTime) {
        s += u' ';
        s += formatDatePicture(loc.timeFormat, p, loc);
    }
    return s;
}

// ---------------------------------------------------------------------------
// Parsing

namespace {

struct Num {
    int value;
    int digits;
};

// The order of day, month and year in the locale's short date: 0 MDY, 1 DMY, 2 YMD.
int dateOrder(const LocaleFormat& loc) {
    std::size_t d = loc.shortDate.find(u'd'), m = loc.shortDate.find(u'M'),
                y = loc.shortDate.find(u'y');
    if (y != std::u16string::npos && (d == std::u16string::npos || y < d) &&
        (m == std::u16string::npos || y < m))
        return 2;
    if (d != std::u16string::npos && m != std::u16string::npos && d < m) return 1;
    return 0;
}

bool startsWithNoCase(std::u16string_view word, std::u16string_view name) {
    return !name.empty() && word.size() <= name.size() && word.size() >= 3 &&
           equalsNoCase(word, name.substr(0, word.size()));
}

bool isName(std::u16string_view w, const std::u16string& name) {
    return !name.empty() && equalsNoCase(w, name);
}

// Month number (1-12) of a word, full or abbreviated, standing alone or in
// the form a date gives it ("февраля"), in the locale or English.
int monthOfWord(std::u16string_view w, const LocaleFormat& loc) {
    const LocaleFormat& en = LocaleFormat::english();
    for (const LocaleFormat* l : {&loc, &en}) {
        for (int i = 0; i < 12; ++i)
            if (equalsNoCase(w, l->monthNames[i]) || equalsNoCase(w, l->abbrevMonthNames[i]) ||
                isName(w, l->dateMonthNames[i]) || isName(w, l->abbrevDateMonthNames[i]))
                return i + 1;
        for (int i = 0; i < 12; ++i)
            if (startsWithNoCase(w, l->monthNames[i])) return i + 1;
    }
    return 0;
}

bool isDayName(std::u16string_view w, const LocaleFormat& loc) {
    const LocaleFormat& en = LocaleFormat::english();
    for (const LocaleFormat* l : {&loc, &en})
        for (int i = 0; i < 7; ++i)
            if (equalsNoCase(w, l->dayNames[i]) || equalsNoCase(w, l->abbrevDayNames[i]))
                return true;
    return false;
}

int fullYear(const Num& n) {
    if (n.digits <= 2) return n.value < 30 ? 2000 + n.value : 1900 + n.value;
    return n.value;
}

bool makeDate(int y, int m, int d, double& out) {
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m)) return false;
    out = static_cast<double>(daysFromCivil(y, m, d));
    return true;
}

bool resolveDate(const std::vector<Num>& nums, int monthName, const LocaleFormat& loc,
                 int currentYear, double& out) {
    if (monthName) {
        if (nums.empty()) return false;
        if (nums.size() == 1) {
            if (nums[0].digits <= 2 && nums[0].value <= 31)
                return makeDate(currentYear, monthName, nums[0].value, out);
            return makeDate(fullYear(nums[0]), monthName, 1, out);
        }
        if (nums.size() != 2) return false;
        if (nums[0].digits > 2 || nums[0].value > 31)
            return makeDate(fullYear(nums[0]), monthName, nums[1].value, out);
        return makeDate(fullYear(nums[1]), monthName, nums[0].value, out);
    }
    int order = dateOrder(loc);
    if (nums.size() == 3) {
        const Num &a = nums[0], &b = nums[1], &c = nums[2];
        if (a.digits > 2 || order == 2) {
            if (makeDate(fullYear(a), b.value, c.value, out)) return true;
            if (makeDate(fullYear(a), c.value, b.value, out)) return true;
            if (a.digits > 2) return false;
        }
        if (order == 1) {
            if (makeDate(fullYear(c), b.value, a.value, out)) return true;
            if (makeDate(fullYear(c), a.value, b.value, out)) return true;
        } else {
            if (makeDate(fullYear(c), a.value, b.value, out)) return true;
            if (makeDate(fullYear(c), b.value, a.value, out)) return true;
        }
        return makeDate(fullYear(a), b.value, c.value, out);
    }
    if (nums.size() == 2) {
        const Num &a = nums[0], &b = nums[1];
        if (order == 1) {
            if (makeDate(currentYear, b.value, a.value, out)) return true;
            if (makeDate(currentYear, a.value, b.value, out)) return true;
        } else {
            if (makeDate(currentYear, a.value, b.value, out)) return true;
            if (makeDate(currentYear, b.value, a.value, out)) return true;
        }
        // Month and year ("1/2003", "2003-01").
        if (b.digits > 2 || b.value > 31) return makeDate(fullYear(b), a.value, 1, out);
        if (a.digits > 2 || a.value > 31) return makeDate(fullYear(a), b.value, 1, out);
        return false;
    }
    return false;
}

} // namespace

bool parseDate(std::u16string_view s, const LocaleFormat& loc, int currentYear, double& out) {
    std::vector<Num> dateNums;
    int timeVals[3] = {0, 0, 0};
    int timeCount = 0;
    bool inTime = false;
    int ampm = 0; // 1 AM, 2 PM
    int monthName = 0;
    bool any = false;

    const std::size_t n = s.size();
    std::size_t i = 0;
    auto isTimeSep = [&](char16_t c) {
        return c == u':' || (!loc.timeSep.empty() && c == loc.timeSep[0] && c != u'.');
    };
    while (i < n) {
        char16_t c = s[i];
        if (isAsciiDigit(c)) {
            std::size_t start = i;
            long long v = 0;
            while (i < n && isAsciiDigit(s[i])) {
                v = v * 10 + (s[i] - u'0');
                if (v > 1000000) return false;
                ++i;
            }
            Num num{static_cast<int>(v), static_cast<int>(i - start)};
            // Skip spaces to see what follows.
            std::size_t j = i;
            while (j < n && s[j] == u' ') ++j;
            bool followedByTimeSep = j < n && isTimeSep(s[j]);
            bool followedByAmPm = false;
            if (j < n && !isAsciiDigit(s[j]) && s[j] != u'/' && s[j] != u'-' && s[j] != u'.' &&
                s[j] != u',') {
                std::size_t k = j;
                while (k < n && !isSpace(s[k]) && !isAsciiDigit(s[k]) && s[k] != u',') ++k;
                std::u16string_view w = s.substr(j, k - j);
                followedByAmPm = equalsNoCase(w, loc.am) || equalsNoCase(w, loc.pm) ||
                                 equalsNoCase(w, u"AM") || equalsNoCase(w, u"PM") ||
                                 equalsNoCase(w, u"A") || equalsNoCase(w, u"P");
            }
            if (inTime || followedByTimeSep || followedByAmPm) {
                if (!inTime) {
                    if (timeCount != 0) return false; // a second time
                    inTime = true;
                }
                if (timeCount >= 3) return false;
                timeVals[timeCount++] = num.value;
                if (!followedByTimeSep) inTime = false;
                else i = j + 1; // consume the separator
            } else {
                if (dateNums.size() >= 3) return false;
                dateNums.push_back(num);
            }
            any = true;
            continue;
        }
        if (isSpace(c) || c == u'/' || c == u'-' || c == u'.' || c == u',' ||
            (!loc.dateSep.empty() && c == loc.dateSep[0])) {
            ++i;
            continue;
        }
        if (isTimeSep(c)) return false; // a separator with no number before it
        // A word: month name, day name or AM/PM designator.
        std::size_t start = i;
        while (i < n && !isSpace(s[i]) && !isAsciiDigit(s[i]) && s[i] != u',' && s[i] != u'/' &&
               s[i] != u'-' && s[i] != u'.')
            ++i;
        std::u16string_view w = s.substr(start, i - start);
        if (w.empty()) return false;
        if (equalsNoCase(w, loc.am) || equalsNoCase(w, u"AM") || equalsNoCase(w, u"A")) {
            if (ampm || timeCount == 0) return false;
            ampm = 1;
        } else if (equalsNoCase(w, loc.pm) || equalsNoCase(w, u"PM") || equalsNoCase(w, u"P")) {
            if (ampm || timeCount == 0) return false;
            ampm = 2;
        } else if (int m = monthOfWord(w, loc)) {
            if (monthName) return false;
            monthName = m;
        } else if (isDayName(w, loc)) {
            // A leading day name ("Monday, January 5, 2004") carries nothing.
        } else {
            return false;
        }
        any = true;
    }
    if (!any) return false;

    double time = 0;
    if (timeCount > 0) {
        int h = timeVals[0], m = timeVals[1], sec = timeVals[2];
        if (ampm) {
            if (h > 12) return false;
            if (h == 12) h = 0;
            if (ampm == 2) h += 12;
        }
        if (h > 23 || m > 59 || sec > 59) return false;
        time = (h * 3600 + m * 60 + sec) / 86400.0;
    }
    double days = 0;
    if (!dateNums.empty() || monthName) {
        if (!resolveDate(dateNums, monthName, loc, currentYear, days)) return false;
    } else if (timeCount == 0) {
        return false;
    }
    out = joinDateTime(days, time);
    return true;
}

bool parseDate(std::u16string_view s, const LocaleFormat& loc, double& out) {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return parseDate(s, loc, tm.tm_year + 1900, out);
}

double localTimeAsDate(std::time_t t) noexcept {
    std::tm tm{};
    localtime_r(&t, &tm);
    double days = static_cast<double>(daysFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday));
    return joinDateTime(days, (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) / 86400.0);
}

double nowAsDate() { return localTimeAsDate(std::time(nullptr)); }

} // namespace qz
