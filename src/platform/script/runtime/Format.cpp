// FormatNumber, FormatCurrency, FormatPercent and FormatDateTime. Numbers are
// taken to fifteen significant digits (as their text is), rounded half away
// from zero at the requested decimals, then laid out by the locale.
#include "Builtins.h"

#include "platform/automation/DateTime.h"
#include "platform/automation/LocaleFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qz::script::fn {
namespace {

struct Decimal {
    bool negative = false;
    std::string intPart;   // at least "0"
    std::string fracPart;  // exactly the requested number of digits
};

// Rounds a digit string whose decimal point follows `pointPos` digits.
Decimal roundDigits(bool negative, std::string digits, int pointPos, int frac) {
    Decimal d;
    // Pad so that the point falls inside the string.
    if (pointPos <= 0) {
        digits.insert(0, static_cast<std::size_t>(1 - pointPos), '0');
        pointPos = 1;
    }
    if (static_cast<int>(digits.size()) < pointPos + frac)
        digits.append(static_cast<std::size_t>(pointPos + frac) - digits.size(), '0');
    std::size_t keep = static_cast<std::size_t>(pointPos + frac);
    bool up = keep < digits.size() && digits[keep] >= '5';
    digits.resize(keep);
    if (up) {
        int i = static_cast<int>(keep) - 1;
        for (; i >= 0; --i) {
            if (digits[static_cast<std::size_t>(i)] == '9') digits[static_cast<std::size_t>(i)] = '0';
            else { ++digits[static_cast<std::size_t>(i)]; break; }
        }
        if (i < 0) { digits.insert(0, 1, '1'); ++pointPos; }
    }
    d.intPart = digits.substr(0, static_cast<std::size_t>(pointPos));
    d.fracPart = digits.substr(static_cast<std::size_t>(pointPos));
    std::size_t nz = d.intPart.find_first_not_of('0');
    d.intPart = nz == std::string::npos ? "0" : d.intPart.substr(nz);
    bool zero = d.intPart == "0" && d.fracPart.find_first_not_of('0') == std::string::npos;
    d.negative = negative && !zero;
    return d;
}

Decimal decimalOf(const Variant& v, int frac, double scale) {
    if (v.type() == qz::VarType::Currency && scale == 1) {
        std::int64_t c = v.currencyValue();
        bool neg = c < 0;
        std::uint64_t mag = neg ? 0 - static_cast<std::uint64_t>(c) : static_cast<std::uint64_t>(c);
        char buf[32];
        int n = std::snprintf(buf, sizeof buf, "%05llu", static_cast<unsigned long long>(mag));
        return roundDigits(neg, std::string(buf, static_cast<std::size_t>(n)), n - 4, frac);
    }
    double x = v.toDouble() * scale;
    if (!std::isfinite(x)) throwRuntimeError(err::Overflow);
    if (x == 0) return roundDigits(false, "0", 1, frac);
    // Fifteen significant digits: d.dddddddddddddde±XX
    char buf[40];
    char* end = std::to_chars(buf, buf + sizeof buf - 1, std::fabs(x), std::chars_format::scientific, 14).ptr;
    *end = '\0';
    std::string digits;
    digits += buf[0];
    digits.append(buf + 2, 14);
    int exponent = std::atoi(buf + 17);
    return roundDigits(x < 0, digits, exponent + 1, frac);
}

// -2 (vbUseDefault) takes the locale's choice; 0 is false; anything else true.
bool tristate(std::span<Variant> a, std::size_t i, bool localeDefault) {
    if (!given(a, i)) return localeDefault;
    std::int32_t t = a[i].toLong();
    if (t == -2) return localeDefault;
    return t != 0;
}

int digitsArg(std::span<Variant> a, int localeDefault) {
    if (!given(a, 1)) return localeDefault;
    std::int32_t n = a[1].toLong();
    if (n == -1) return localeDefault;
    if (n < -1 || n > 99) throwRuntimeError(err::InvalidCall);
    return n;
}

std::u16string layout(const Decimal& d, bool leadingZero, bool group, int groupSize,
                      std::u16string_view groupSep, std::u16string_view decimalSep) {
    std::u16string out;
    if (!(d.intPart == "0" && !leadingZero && !d.fracPart.empty())) {
        const std::string& ip = d.intPart;
        for (std::size_t i = 0; i < ip.size(); ++i) {
            if (group && groupSize > 0 && i > 0 && (ip.size() - i) % static_cast<std::size_t>(groupSize) == 0)
                out += groupSep;
            out += static_cast<char16_t>(ip[i]);
        }
    }
    if (!d.fracPart.empty()) {
        out += decimalSep;
        for (char c : d.fracPart) out += static_cast<char16_t>(c);
    }
    return out;
}

std::u16string negativeNumber(const std::u16string& body, int pattern, const LocaleFormat& loc) {
    switch (pattern) {
    case 0: return u"(" + body + u")";
    case 2: return loc.negativeSign + u" " + body;
    case 3: return body + loc.negativeSign;
    case 4: return body + u" " + loc.negativeSign;
    default: return loc.negativeSign + body;
    }
}

Variant formatNumberLike(std::span<Variant> a, double scale, bool percent) {
    const LocaleFormat& loc = currentLocale();
    int frac = digitsArg(a, loc.numDigits);
    bool leading = tristate(a, 2, loc.leadingZero != 0);
    bool parens = tristate(a, 3, loc.negNumberFormat == 0);
    bool group = tristate(a, 4, loc.groupSize > 0);
    Variant v = valueOf(a[0]);
    if (v.isNull()) throwRuntimeError(err::TypeMismatch);  // the Format functions take no Null
    Decimal d = decimalOf(v, frac, scale);
    std::u16string text = layout(d, leading, group, loc.groupSize, loc.groupSep, loc.decimalSep);
    if (d.negative) {
        int pattern = parens ? 0 : (loc.negNumberFormat == 0 ? 1 : loc.negNumberFormat);
        text = negativeNumber(text, pattern, loc);
    }
    // The percent sign follows the number, inside a closing parenthesis.
    if (percent) {
        if (!text.empty() && text.back() == u')') text.insert(text.size() - 1, 1, u'%');
        else text += u'%';
    }
    return Variant(std::move(text));
}

// The sixteen negative currency patterns; $ stands for the symbol, n for the number.
constexpr const char16_t* kNegCurrency[16] = {
    u"($n)", u"-$n", u"$-n", u"$n-", u"(n$)", u"-n$", u"n-$", u"n$-",
    u"-n $", u"-$ n", u"n $-", u"$ n-", u"$ -n", u"n- $", u"($ n)", u"(n $)",
};
constexpr const char16_t* kPosCurrency[4] = {u"$n", u"n$", u"$ n", u"n $"};

std::u16string applyPattern(std::u16string_view pattern, const std::u16string& number,
                            const LocaleFormat& loc) {
    std::u16string out;
    for (char16_t c : pattern) {
        if (c == u'$') out += loc.currencySymbol;
        else if (c == u'n') out += number;
        else if (c == u'-') out += loc.negativeSign;
        else out += c;
    }
    return out;
}

} // namespace

Variant FormatNumber(std::span<Variant> a) { return formatNumberLike(a, 1, false); }
Variant FormatPercent(std::span<Variant> a) { return formatNumberLike(a, 100, true); }

Variant FormatCurrency(std::span<Variant> a) {
    const LocaleFormat& loc = currentLocale();
    int frac = digitsArg(a, loc.currDigits);
    int neg = loc.negCurrFormat < 0 || loc.negCurrFormat > 15 ? 0 : loc.negCurrFormat;
    bool localeParens = neg == 0 || neg == 4 || neg == 14 || neg == 15;
    bool leading = tristate(a, 2, loc.leadingZero != 0);
    bool parens = tristate(a, 3, localeParens);
    bool group = tristate(a, 4, loc.monGroupSize > 0);
    Variant v = valueOf(a[0]);
    if (v.isNull()) throwRuntimeError(err::TypeMismatch);  // the Format functions take no Null
    Decimal d = decimalOf(v, frac, 1);
    std::u16string body = layout(d, leading, group, loc.monGroupSize, loc.monGroupSep, loc.monDecimalSep);
    int pos = loc.posCurrFormat < 0 || loc.posCurrFormat > 3 ? 0 : loc.posCurrFormat;
    if (!d.negative) return Variant(applyPattern(kPosCurrency[pos], body, loc));
    if (parens && !localeParens) {
        static constexpr int kParenFor[4] = {0, 4, 14, 15}; // by symbol position
        neg = kParenFor[pos];
    } else if (!parens && localeParens) {
        static constexpr int kSignFor[4] = {1, 5, 9, 8};
        neg = kSignFor[pos];
    }
    return Variant(applyPattern(kNegCurrency[neg], body, loc));
}

Variant FormatDateTime(std::span<Variant> a) {
    std::int32_t kind = longArg(a, 1, 0);
    if (kind < 0 || kind > 4) throwRuntimeError(err::InvalidCall);
    Variant v = valueOf(a[0]);
    if (v.isNull()) throwRuntimeError(err::TypeMismatch);  // the Format functions take no Null
    double d = v.toDate();
    const LocaleFormat& loc = currentLocale();
    DateParts p = dateParts(d);
    switch (kind) {
    case 1: return Variant(formatDatePicture(loc.longDate, p, loc));
    case 2: return Variant(formatDatePicture(loc.shortDate, p, loc));
    case 3: return Variant(formatDatePicture(loc.timeFormat, p, loc));
    case 4: return Variant(formatDatePicture(u"HH:mm", p, loc));
    default: return Variant(formatDateDefault(d, loc));
    }
}

} // namespace qz::script::fn
