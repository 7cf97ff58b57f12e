#include "core/QzFormat.h"

#include "platform/automation/Text.h"
#include "platform/system/Locales.h"


#include <array>

namespace qz {

namespace {

constexpr std::string_view kUseDefault = "UseDefaultProperties:";
constexpr std::string_view kMaxLength = "MaxLength:";
constexpr std::string_view kBlankProtect = "BlankProtect:";
constexpr std::string_view kDateTime = "DateTime:";
constexpr std::string_view kNumDigits = "NumDigits:";
constexpr std::string_view kLeadingDigit = "LeadingDigit:";
constexpr std::string_view kParensForNeg = "UseParensForNeg:";
constexpr std::string_view kGroupDigits = "GroupDigits:";

constexpr std::array<std::string_view, 6> kKindNames = {
    "String", "Date/Time", "Number", "Currency", "Percent", "RTF"};

// A number as the numeric test sees it: sign, integer digits, fraction digits.
// Kept as text so that the conversion is exact and never overflows.
struct Numeral {
    bool negative = false;
    std::string_view intDigits;
    std::string_view fracDigits;
};

bool isSpace(char c) noexcept { return c == ' ' || c == '\t'; }

// The numeric test: surrounding spaces, an optional sign, digits with at most
// one ".", at least one digit. The decimal separator is "." whatever the user's
// locale, since the texts are written with it.
bool parseNumeral(std::string_view s, Numeral& n) noexcept {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        n.negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::size_t i = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    n.intDigits = s.substr(0, i);
    if (i < s.size() && s[i] == '.') {
        std::size_t j = i + 1;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
        n.fracDigits = s.substr(i + 1, j - i - 1);
        i = j;
    }
    return i == s.size() && (!n.intDigits.empty() || !n.fracDigits.empty());
}

// The value converted to a 32-bit integer, the fraction rounded half to even;
// false when it does not fit.
bool numeralToLong(const Numeral& n, std::int32_t& out) noexcept {
    std::int64_t magnitude = 0;
    for (char c : n.intDigits) {
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > (std::int64_t{1} << 32)) return false;
    }
    if (!n.fracDigits.empty()) {
        char first = n.fracDigits.front();
        bool restNonZero = n.fracDigits.substr(1).find_first_not_of('0') != std::string_view::npos;
        bool up = first > '5' || (first == '5' && (restNonZero || (magnitude & 1)));
        if (up) ++magnitude;
    }
    std::int64_t value = n.negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

bool numeralIsZero(const Numeral& n) noexcept {
    return n.intDigits.find_first_not_of('0') == std::string_view::npos &&
           n.fracDigits.find_first_not_of('0') == std::string_view::npos;
}

// Where the value of a key lies: from just after the key (which includes its
// colon) up to the next ";" or the end. The first occurrence of the key counts.
struct Found {
    bool present = false;
    bool endsWithSemicolon = false;
    std::string_view value;
};

Found findOption(std::string_view text, std::string_view key) noexcept {
    Found f;
    std::size_t at = text.find(key);
    if (at == std::string_view::npos) return f;
    f.present = true;
    std::string_view rest = text.substr(at + key.size());
    std::size_t semi = rest.find(';');
    f.endsWithSemicolon = semi != std::string_view::npos;
    f.value = rest.substr(0, semi);
    return f;
}

// Sets target from a present key with a value that converts; otherwise leaves it.
bool readLong(std::string_view text, std::string_view key, std::int32_t& target) {
    Found f = findOption(text, key);
    Numeral n;
    if (!f.present || !parseNumeral(f.value, n)) return false;
    std::int32_t v;
    if (!numeralToLong(n, v)) return false;
    target = v;
    return true;
}

bool readBool(std::string_view text, std::string_view key, bool& target) {
    Found f = findOption(text, key);
    Numeral n;
    if (!f.present || !parseNumeral(f.value, n)) return false;
    target = !numeralIsZero(n);
    return true;
}

void appendPair(std::string& out, std::string_view key, std::int32_t value) {
    if (!out.empty()) out += ';';
    out += key;
    out += std::to_string(value);
}

std::int32_t boolText(bool b) noexcept { return b ? -1 : 0; }

// The member defaults of LocaleFormat are the United States English values.
const LocaleFormat kUnitedStates{};

// The regional settings of the user's default locale.
const LocaleFormat& userRegionalSettings() {
    const LocaleFormat* f = sys::localeFormatFor(sys::userDefaultLcid());
    return f ? *f : kUnitedStates;
}

std::string defaultOptionsText() { return std::string(kUseDefault) + "-1"; }

} // namespace

std::string_view FormatKindName(std::int32_t kind) noexcept {
    if (kind < 0 || kind >= static_cast<std::int32_t>(kKindNames.size())) return {};
    return kKindNames[static_cast<std::size_t>(kind)];
}

std::string CreateStringFormatPropertiesStr(const QzFormatString& format) {
    if (!format.bOverrideDefaultProperties) return defaultOptionsText();
    std::string out;
    appendPair(out, kMaxLength, format.lMaxLength);
    appendPair(out, kBlankProtect, boolText(format.bUseBlankProtect));
    return out;
}

std::string CreateDateTimeFormatPropertiesStr(const QzFormatDateTime& format) {
    if (!format.bOverrideDefaultProperties) return defaultOptionsText();
    std::string out;
    appendPair(out, kDateTime, format.lFormatNumber);
    appendPair(out, kBlankProtect, boolText(format.bUseBlankProtect));
    return out;
}

std::string CreateNumberFormatPropertiesStr(const QzFormatNumber& format) {
    if (!format.bOverrideDefaultProperties) return defaultOptionsText();
    std::string out;
    appendPair(out, kNumDigits, format.lNumberOfDigits);
    appendPair(out, kLeadingDigit, format.lLeadingDigit);
    appendPair(out, kParensForNeg, format.lParenthesisNegative);
    appendPair(out, kGroupDigits, format.lGroupDigits);
    appendPair(out, kBlankProtect, boolText(format.bUseBlankProtect));
    return out;
}

bool UseDefaultTemplateProperties(std::string_view text) {
    if (text.empty()) return true;
    Found f = findOption(text, kUseDefault);
    if (!f.present) return false;
    Numeral n;
    if (parseNumeral(f.value, n)) return !numeralIsZero(n);
    // A value that is not a number: it counts as "use the default" only when it
    // runs to the end of the text.
    return !f.endsWithSemicolon;
}

QzFormatString RetrieveStringFormat(std::string_view text) {
    QzFormatString format;
    if (UseDefaultTemplateProperties(text)) return format;
    format.bOverrideDefaultProperties = true;
    readLong(text, kMaxLength, format.lMaxLength);
    readBool(text, kBlankProtect, format.bUseBlankProtect);
    return format;
}

QzFormatDateTime RetrieveDateTimeFormat(std::string_view text) {
    QzFormatDateTime format;
    if (UseDefaultTemplateProperties(text)) return format;
    format.bOverrideDefaultProperties = true;
    readLong(text, kDateTime, format.lFormatNumber);
    readBool(text, kBlankProtect, format.bUseBlankProtect);
    return format;
}

QzFormatNumber RetrieveNumberFormat(std::string_view text, bool bCurrency,
                                    const LocaleFormat& regional) {
    QzFormatNumber format;
    if (UseDefaultTemplateProperties(text)) {
        auto item = [&](std::int32_t i) {
            return bCurrency ? GetSystemCurFormat(i, regional) : GetSystemNbrFormat(i, regional);
        };
        format.lNumberOfDigits = item(0);
        format.lLeadingDigit = item(1);
        format.lParenthesisNegative = item(2);
        format.lGroupDigits = item(3);
        return format;
    }
    format.bOverrideDefaultProperties = true;
    // An absent key takes the regional setting; a present key whose value is not
    // a number leaves the initial 0.
    struct Key { std::string_view key; std::int32_t& target; std::int32_t fallback; };
    for (Key k : {Key{kNumDigits, format.lNumberOfDigits, -1},
                  Key{kLeadingDigit, format.lLeadingDigit, -2},
                  Key{kParensForNeg, format.lParenthesisNegative, -2},
                  Key{kGroupDigits, format.lGroupDigits, -2}}) {
        if (!findOption(text, k.key).present) k.target = k.fallback;
        else readLong(text, k.key, k.target);
    }
    readBool(text, kBlankProtect, format.bUseBlankProtect);
    return format;
}

QzFormatNumber RetrieveNumberFormat(std::string_view text, bool bCurrency) {
    if (!UseDefaultTemplateProperties(text)) {
        // Own options: the regional settings are not consulted.
        return RetrieveNumberFormat(text, bCurrency, kUnitedStates);
    }
    return RetrieveNumberFormat(text, bCurrency, userRegionalSettings());
}

std::int32_t GetFormatType(std::string_view text) {
    std::size_t semi = text.find(';');
    if (semi == std::string_view::npos) return kQzFormatString;
    std::string_view name = text.substr(0, semi);
    for (std::size_t i = 0; i < kKindNames.size(); ++i) {
        if (equalsNoCaseAscii(name, kKindNames[i])) return static_cast<std::int32_t>(i);
    }
    return kQzFormatString;
}

std::int32_t GetSystemNbrFormat(std::int32_t item, const LocaleFormat& regional) {
    switch (item) {
    case 0: return regional.numDigits;
    case 1: return regional.leadingZero == 0 ? 0 : -1;
    case 2: return regional.negNumberFormat == 0 ? -1 : 0;
    case 3: return regional.groupSize < 1 ? 0 : -1;
    default: return 0;
    }
}

std::int32_t GetSystemCurFormat(std::int32_t item, const LocaleFormat& regional) {
    switch (item) {
    case 0: return regional.currDigits;
    case 1: return regional.leadingZero == 0 ? 0 : -1;
    case 2: {
        // The negative-currency modes that enclose the amount in parentheses.
        int m = regional.negCurrFormat;
        return (m == 0 || m == 4 || m == 14 || m == 15) ? -1 : 0;
    }
    case 3: return regional.monGroupSize < 1 ? 0 : -1;
    default: return 0;
    }
}

std::int32_t GetSystemNbrFormat(std::int32_t item) {
    return GetSystemNbrFormat(item, userRegionalSettings());
}

std::int32_t GetSystemCurFormat(std::int32_t item) {
    return GetSystemCurFormat(item, userRegionalSettings());
}

} // namespace qz
