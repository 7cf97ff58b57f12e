// FormatNumber, FormatCurrency, FormatPercent and FormatDateTime. Numbers are
// taken to fifteen significant digits (as their text is; a Currency or a
// Decimal with all its digits), rounded half away from zero at the requested
// decimals, then laid out by the locale.
#include "Builtins.h"

#include "platform/automation/DateTime.h"
#include "platform/automation/LocaleFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qz::script::fn {
namespace {

// A number rounded for display, its digits in a buffer of its own: a call
// neither allocates nor goes through printf. The widest case is a Double near
// its limit (309 integer digits, one more for a carry) with 99 decimals.
struct Decimal {
    bool negative = false;
    int intStart = 0;  // the integer digits, at least "0"
    int intLen = 0;
    int fracLen = 0;   // exactly the requested number of digits, after them
    char buf[440];
    std::string_view intPart() const { return {buf + intStart, static_cast<std::size_t>(intLen)}; }
    std::string_view fracPart() const {
        return {buf + intStart + intLen, static_cast<std::size_t>(fracLen)};
    }
};

// Rounds digits whose decimal point follows `pointPos` of them (<= 0: zeros
// come first) to `frac` decimals, half away from zero.
void roundDigits(Decimal& d, bool negative, std::string_view digits, int pointPos, int frac) {
    frac = std::min(frac, 99); // what the buffer holds (callers ask for 0 to 99)
    char* const b = d.buf + 1; // one place before for a carry
    std::size_t n = 0;
    if (pointPos <= 0) {
        // Zeros before the digits so that the point falls inside them. When
        // the zeros reach past the rounding digit, the result is zero.
        const int pad = 1 - pointPos;
        if (pad > frac + 1) {
            d.negative = false;
            d.intStart = 1;
            d.intLen = 1;
            d.fracLen = frac;
            std::memset(b, '0', static_cast<std::size_t>(frac) + 1);
            return;
        }
        std::memset(b, '0', static_cast<std::size_t>(pad));
        n = static_cast<std::size_t>(pad);
        pointPos = 1;
    }
    std::memcpy(b + n, digits.data(), digits.size());
    n += digits.size();
    const std::size_t keep = static_cast<std::size_t>(pointPos + frac);
    if (n < keep) {
        std::memset(b + n, '0', keep - n);
        n = keep;
    }
    const bool up = keep < n && b[keep] >= '5';
    int start = 1;
    if (up) {
        int i = static_cast<int>(keep) - 1;
        for (; i >= 0; --i) {
            if (b[i] == '9') b[i] = '0';
            else { ++b[i]; break; }
        }
        if (i < 0) { d.buf[0] = '1'; start = 0; ++pointPos; }
    }
    // The integer part without its leading zeros ("0" when nothing is left).
    int intLen = pointPos;
    while (intLen > 1 && d.buf[start] == '0') { ++start; --intLen; }
    d.intStart = start;
    d.intLen = intLen;
    d.fracLen = frac;
    bool zero = intLen == 1 && d.buf[start] == '0';
    for (int i = 0; zero && i < frac; ++i) zero = d.buf[start + 1 + i] == '0';
    d.negative = negative && !zero;
}

// The digits of a whole number (no sign), written from the last one.
std::string_view digitsOf(char (&buf)[24], std::uint64_t mag) {
    char* p = std::end(buf);
    do {
        *--p = static_cast<char>('0' + mag % 10);
        mag /= 10;
    } while (mag);
    return {p, static_cast<std::size_t>(std::end(buf) - p)};
}

void decimalOf(Decimal& d, const Variant& v, int frac, double scale) {
    char text[24];
    if (v.type() == qz::VarType::Currency && scale == 1) {
        // Exact: the scaled value's digits with the point four from the end.
        const std::int64_t c = v.currencyValue();
        const std::uint64_t mag = c < 0 ? 0 - static_cast<std::uint64_t>(c) : static_cast<std::uint64_t>(c);
        const std::string_view digits = digitsOf(text, mag);
        return roundDigits(d, c < 0, digits, static_cast<int>(digits.size()) - 4, frac);
    }
    if (v.type() == qz::VarType::Decimal && (scale == 1 || scale == 100)) {
        // Exact: all the digits, the point `scale` places from the end.
        const DecimalNumber& dec = v.decimalValue();
        DecimalNumber whole = dec;
        whole.scale = 0;
        whole.negative = false;
        const std::string digits = decimalNumberText(whole);
        const int shift = scale == 100 ? 2 : 0;
        return roundDigits(d, dec.negative, digits, static_cast<int>(digits.size()) - dec.scale + shift, frac);
    }
    if ((v.type() == qz::VarType::Long || v.type() == qz::VarType::Integer || v.type() == qz::VarType::Byte) &&
        (scale == 1 || scale == 100)) {
        // Whole numbers of these subtypes (times 100 too) have fewer than
        // fifteen digits: their own digits are the fifteen-digit text's.
        const std::int64_t whole = v.type() == qz::VarType::Long      ? v.longValue()
                                   : v.type() == qz::VarType::Integer ? v.integerValue()
                                                                      : v.byteValue();
        const std::int64_t x = whole * static_cast<std::int64_t>(scale);
        if (x == 0) return roundDigits(d, false, "0", 1, frac);
        const std::string_view digits =
            digitsOf(text, x < 0 ? 0 - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x));
        return roundDigits(d, x < 0, digits, static_cast<int>(digits.size()), frac);
    }
    double x = v.toDouble() * scale;
    if (!std::isfinite(x)) throwRuntimeError(err::Overflow);
    if (x == 0) return roundDigits(d, false, "0", 1, frac);
    // Fifteen significant digits: d.dddddddddddddde±XX
    char buf[40];
    char* end = std::to_chars(buf, buf + sizeof buf - 1, std::fabs(x), std::chars_format::scientific, 14).ptr;
    *end = '\0';
    char digits[15];
    digits[0] = buf[0];
    std::memcpy(digits + 1, buf + 2, 14);
    const int exponent = std::atoi(buf + 17);
    roundDigits(d, x < 0, std::string_view(digits, 15), exponent + 1, frac);
}

// An argument as a Long; the whole numbers a program passes are read at once.
std::int32_t longOf(const Variant& v) {
    if (v.type() == qz::VarType::Integer) return v.integerValue();
    if (v.type() == qz::VarType::Long) return v.longValue();
    return v.toLong();
}

// -2 (vbUseDefault) takes the locale's choice; 0 is false; anything else true.
bool tristate(std::span<Variant> a, std::size_t i, bool localeDefault) {
    if (!given(a, i)) return localeDefault;
    std::int32_t t = longOf(a[i]);
    if (t == -2) return localeDefault;
    return t != 0;
}

int digitsArg(std::span<Variant> a, int localeDefault) {
    if (!given(a, 1)) return localeDefault;
    std::int32_t n = longOf(a[1]);
    if (n == -1) return localeDefault;
    if (n < -1 || n > 99) throwRuntimeError(err::InvalidCall);
    return n;
}

// How a rounded number is laid out: the locale's separators and choices.
struct Layout {
    bool leadingZero;
    bool group;
    int groupSize;
    std::u16string_view groupSep;
    std::u16string_view decimalSep;
};

bool showsIntPart(const Decimal& d, const Layout& l) {
    return !(d.intPart() == "0" && !l.leadingZero && d.fracLen > 0);
}

std::size_t numberLength(const Decimal& d, const Layout& l) {
    std::size_t n = 0;
    if (showsIntPart(d, l)) {
        n = static_cast<std::size_t>(d.intLen);
        if (l.group && l.groupSize > 0)
            n += static_cast<std::size_t>((d.intLen - 1) / l.groupSize) * l.groupSep.size();
    }
    if (d.fracLen > 0) n += l.decimalSep.size() + static_cast<std::size_t>(d.fracLen);
    return n;
}

char16_t* put(char16_t* p, std::u16string_view s) { return std::copy(s.begin(), s.end(), p); }

// Writes the number (numberLength units) at p; returns the end.
char16_t* writeNumber(char16_t* p, const Decimal& d, const Layout& l) {
    if (showsIntPart(d, l)) {
        const std::string_view ip = d.intPart();
        // A separator before digit i when a whole number of groups follows it.
        std::size_t next = ip.size();
        if (l.group && l.groupSize > 0) {
            const auto g = static_cast<std::size_t>(l.groupSize);
            next = ip.size() % g == 0 ? g : ip.size() % g;
        }
        for (std::size_t i = 0; i < ip.size(); ++i) {
            if (i == next) {
                p = put(p, l.groupSep);
                next += static_cast<std::size_t>(l.groupSize);
            }
            *p++ = static_cast<char16_t>(ip[i]);
        }
    }
    if (d.fracLen > 0) {
        p = put(p, l.decimalSep);
        for (char c : d.fracPart()) *p++ = static_cast<char16_t>(c);
    }
    return p;
}

// The text of a result as a String. The String of this thread's last result
// is written over once nobody else holds it (a template formats a value,
// prints it and lets it go), so that such a loop neither allocates nor frees;
// one whose room is far larger than the text is let go.
Variant resultText(std::u16string_view text) {
    thread_local Variant last;
    if (std::u16string* s = last.uniqueString(); s && s->capacity() <= 2 * text.size() + 64) s->assign(text);
    else last = Variant(text);
    return last;
}

// Fills a pattern: $ stands for the currency symbol, n for the number, - for
// the negative sign (each at most once); other characters stand for
// themselves. A percent sign follows the number, inside a closing parenthesis.
Variant applyPattern(std::u16string_view pattern, const Decimal& d, const Layout& l, const LocaleFormat& loc,
                     bool percent = false) {
    const std::size_t room =
        pattern.size() + loc.currencySymbol.size() + loc.negativeSign.size() + numberLength(d, l) + 1;
    char16_t stack[160];
    std::u16string heap;
    char16_t* const out = room <= std::size(stack) ? stack : (heap.resize(room), heap.data());
    char16_t* p = out;
    for (char16_t c : pattern) {
        if (c == u'$') p = put(p, loc.currencySymbol);
        else if (c == u'n') p = writeNumber(p, d, l);
        else if (c == u'-') p = put(p, loc.negativeSign);
        else *p++ = c;
    }
    if (percent) {
        if (p != out && p[-1] == u')') {
            p[-1] = u'%';
            *p++ = u')';
        } else {
            *p++ = u'%';
        }
    }
    return resultText(std::u16string_view(out, static_cast<std::size_t>(p - out)));
}

// The negative number patterns by the locale's number (1 and any other: "-n").
constexpr const char16_t* kNegNumber[5] = {u"(n)", u"-n", u"- n", u"n-", u"n -"};

Variant formatNumberLike(std::span<Variant> a, double scale, bool percent) {
    const LocaleFormat& loc = currentLocale();
    int frac = digitsArg(a, loc.numDigits);
    bool leading = tristate(a, 2, loc.leadingZero != 0);
    bool parens = tristate(a, 3, loc.negNumberFormat == 0);
    bool group = tristate(a, 4, loc.groupSize > 0);
    Variant v = valueOf(a[0]);
    if (v.isNull()) throwRuntimeError(err::TypeMismatch);  // the Format functions take no Null
    Decimal d;
    decimalOf(d, v, frac, scale);
    const Layout l{leading, group, loc.groupSize, loc.groupSep, loc.decimalSep};
    const char16_t* pattern = u"n";
    if (d.negative) {
        const int p = parens ? 0 : (loc.negNumberFormat == 0 ? 1 : loc.negNumberFormat);
        pattern = kNegNumber[p >= 0 && p <= 4 ? p : 1];
    }
    return applyPattern(pattern, d, l, loc, percent);
}

// The sixteen negative currency patterns; $ stands for the symbol, n for the number.
constexpr const char16_t* kNegCurrency[16] = {
    u"($n)", u"-$n", u"$-n", u"$n-", u"(n$)", u"-n$", u"n-$", u"n$-",
    u"-n $", u"-$ n", u"n $-", u"$ n-", u"$ -n", u"n- $", u"($ n)", u"(n $)",
};
constexpr const char16_t* kPosCurrency[4] = {u"$n", u"n$", u"$ n", u"n $"};

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
    Decimal d;
    decimalOf(d, v, frac, 1);
    const Layout l{leading, group, loc.monGroupSize, loc.monGroupSep, loc.monDecimalSep};
    int pos = loc.posCurrFormat < 0 || loc.posCurrFormat > 3 ? 0 : loc.posCurrFormat;
    if (!d.negative) return applyPattern(kPosCurrency[pos], d, l, loc);
    if (parens && !localeParens) {
        static constexpr int kParenFor[4] = {0, 4, 14, 15}; // by symbol position
        neg = kParenFor[pos];
    } else if (!parens && localeParens) {
        static constexpr int kSignFor[4] = {1, 5, 9, 8};
        neg = kSignFor[pos];
    }
    return applyPattern(kNegCurrency[neg], d, l, loc);
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
