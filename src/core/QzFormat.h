// Field format options and their text form.
//
// An expression field carries a display format: a kind (string, date/time,
// number, currency, percent or RTF) and the options of that kind. A template
// carries one default per kind. Both are stored as a short text:
//
//   field format text   <kind>;<options text>        e.g. "String;MaxLength:40;BlankProtect:0"
//   options text        UseDefaultProperties:-1      (the template default applies)
//                       or the kind's key:value pairs in a fixed order, joined by ";"
//
// The template defaults in the QZC file hold the options text alone. The readers
// accept either form: they search their keys anywhere in the text.
#pragma once

#include "platform/automation/LocaleFormat.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

// Options of a string field.
struct QzFormatString {
    std::int32_t lMaxLength = 0;            // maximum length of the value as written
    bool bUseBlankProtect = false;          // spaces become non-breaking in the output
    bool bOverrideDefaultProperties = false; // true: own options; false: template default

    friend bool operator==(const QzFormatString&, const QzFormatString&) = default;
};

// Options of a number, currency or percent field. The tri-states follow the
// script language's conventions: -1 true, 0 false, -2 the regional setting;
// -1 digits takes the regional number of digits.
struct QzFormatNumber {
    std::int32_t lNumberOfDigits = 0;
    std::int32_t lLeadingDigit = 0;
    std::int32_t lParenthesisNegative = 0;
    std::int32_t lGroupDigits = 0;
    bool bUseBlankProtect = false;
    bool bOverrideDefaultProperties = false;

    friend bool operator==(const QzFormatNumber&, const QzFormatNumber&) = default;
};

// The named formats of the script language's date/time formatting function a
// field can choose, numbered 1 to this: Long Date, Short Date, Long Time,
// Short Time (0, the general date, is the function's own default).
inline constexpr std::int32_t kQzNamedDateFormats = 4;

// Options of a date/time field: the named format number of the script
// language's date/time formatting function.
struct QzFormatDateTime {
    std::int32_t lFormatNumber = 2;
    bool bUseBlankProtect = false;
    bool bOverrideDefaultProperties = false;

    friend bool operator==(const QzFormatDateTime&, const QzFormatDateTime&) = default;
};

// Format kinds, as GetFormatType numbers them.
enum QzFormatKind : std::int32_t {
    kQzFormatString = 0,
    kQzFormatDateTime = 1,
    kQzFormatNumber = 2,
    kQzFormatCurrency = 3,
    kQzFormatPercent = 4,
    kQzFormatRtf = 5,
};

// The kind's name as the field format text spells it ("String", "Date/Time",
// "Number", "Currency", "Percent", "RTF"); empty for a number outside 0-5.
std::string_view FormatKindName(std::int32_t kind) noexcept;

// Writers: the options text of an object ("UseDefaultProperties:-1" when the
// object does not override the template default).
std::string CreateStringFormatPropertiesStr(const QzFormatString& format);
std::string CreateDateTimeFormatPropertiesStr(const QzFormatDateTime& format);
std::string CreateNumberFormatPropertiesStr(const QzFormatNumber& format);

// Readers: never fail; a missing key, a missing value or a value that is not a
// number leaves the option at its initial (or fallback) value.
QzFormatString RetrieveStringFormat(std::string_view text);
QzFormatDateTime RetrieveDateTimeFormat(std::string_view text);
// bCurrency: the kind Currency (its regional defaults are the currency settings).
// The first form reads the regional settings of the user's default locale.
QzFormatNumber RetrieveNumberFormat(std::string_view text, bool bCurrency);
QzFormatNumber RetrieveNumberFormat(std::string_view text, bool bCurrency,
                                    const LocaleFormat& regional);

// True when the text leaves the field to the template's default format.
bool UseDefaultTemplateProperties(std::string_view text);

// The kind number (0-5) of a field format text; 0 when the kind is not known.
std::int32_t GetFormatType(std::string_view text);

// The user's regional number (or currency) setting for item 0 digits,
// 1 leading zero, 2 parentheses for negatives, 3 digit grouping, in the
// conventions of QzFormatNumber; 0 for any other item. The first forms read
// the user's default locale.
std::int32_t GetSystemNbrFormat(std::int32_t item);
std::int32_t GetSystemCurFormat(std::int32_t item);
std::int32_t GetSystemNbrFormat(std::int32_t item, const LocaleFormat& regional);
std::int32_t GetSystemCurFormat(std::int32_t item, const LocaleFormat& regional);

} // namespace qz
