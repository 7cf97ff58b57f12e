// The locale items that conversions and formatting read: what a Windows locale
// (keyed by LCID) answered through its locale-information items. The system
// layer fills these from ICU; the automation layer only reads them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qz {

struct LocaleFormat {
    std::uint32_t lcid = 1033;

    // Numbers
    std::u16string decimalSep = u".";
    std::u16string groupSep = u",";
    int groupSize = 3;            // digits per group (0: no grouping)
    int numDigits = 2;            // digits after the separator by default
    int leadingZero = 1;          // 1: "0.5", 0: ".5"
    int negNumberFormat = 1;      // 0 "(1.1)", 1 "-1.1", 2 "- 1.1", 3 "1.1-", 4 "1.1 -"
    std::u16string negativeSign = u"-";
    std::u16string listSep = u",";

    // Currency
    std::u16string currencySymbol = u"$";
    std::u16string monDecimalSep = u".";
    std::u16string monGroupSep = u",";
    int monGroupSize = 3;
    int currDigits = 2;
    int posCurrFormat = 0;        // 0 "$1.1", 1 "1.1$", 2 "$ 1.1", 3 "1.1 $"
    int negCurrFormat = 0;        // the sixteen negative currency patterns, 0 "($1.1)"

    // Dates and times: patterns in the Windows picture language
    // ("M/d/yyyy", "dddd, MMMM d, yyyy", "h:mm:ss tt")
    std::u16string shortDate = u"M/d/yyyy";
    std::u16string longDate = u"dddd, MMMM d, yyyy";
    std::u16string timeFormat = u"h:mm:ss tt";
    std::u16string dateSep = u"/";
    std::u16string timeSep = u":";
    std::u16string am = u"AM";
    std::u16string pm = u"PM";
    int firstDayOfWeek = 0;       // 0 Monday ... 6 Sunday, as Windows numbers it
    std::array<std::u16string, 12> monthNames;      // January...
    std::array<std::u16string, 12> abbrevMonthNames;
    // The forms a month takes inside a date with its day ("3 февраля", "3 de
    // febrer"); an empty name is the same as the one standing alone.
    std::array<std::u16string, 12> dateMonthNames;
    std::array<std::u16string, 12> abbrevDateMonthNames;
    std::array<std::u16string, 7> dayNames;         // Sunday first
    std::array<std::u16string, 7> abbrevDayNames;   // Sunday first

    // The United States English values, used until a locale is chosen.
    static const LocaleFormat& english();
};

// The locale that conversions and formatting on this thread use (the script's
// SetLocale changes it). Never null: it starts as LocaleFormat::english().
const LocaleFormat& currentLocale() noexcept;
void setCurrentLocale(const LocaleFormat& format);

} // namespace qz
