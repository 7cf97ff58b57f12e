#include "NumberText.h"

#include "DecimalText.h"
#include "ErrorTexts.h"
#include "Text.h"

#include <charconv>
#include <cmath>

namespace qz {
namespace {

bool matchAt(std::u16string_view s, std::size_t i, std::u16string_view token) {
    return !token.empty() && s.substr(i, token.size()) == token;
}

bool parseRadix(std::u16string_view s, double& out) {
    // s starts after '&': H or O (or octal digits directly).
    int base = 8;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == u'H' || s[i] == u'h')) { base = 16; ++i; }
    else if (i < s.size() && (s[i] == u'O' || s[i] == u'o')) { ++i; }
    if (i >= s.size()) return false;
    std::uint64_t v = 0;
    for (; i < s.size(); ++i) {
        char16_t c = s[i];
        int d;
        if (c >= u'0' && c <= u'9') d = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f') d = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F') d = c - u'A' + 10;
        else return false;
        if (d >= base) return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFull) return false;
    }
    // The value takes the width of the smallest integer that holds its bits,
    // read as signed: &HFFFF is -1, &H10000 is 65536.
    if (v <= 0xFFFF) out = static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
    else out = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    return true;
}

} // namespace

// Reads the text into a plain ASCII number ("123.45e6") and its sign; a radix
// form (&H, &O) is evaluated directly and reported through isRadix.
static bool scanNumber(std::u16string_view s, const LocaleFormat& loc, std::string& ascii,
                       bool& negativeOut, bool& isRadix, double& radixValue) {
    isRadix = false;
    std::size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    s = s.substr(b, e - b);
    if (s.empty()) return false;
    if (s[0] == u'&') {
        isRadix = true;
        return parseRadix(s.substr(1), radixValue);
    }

    ascii.clear();
    ascii.reserve(s.size() + 2);
    bool negative = false, sawSign = false, paren = false, sawCurrency = false;
    bool sawDigit = false, sawDecimal = false;
    std::size_t i = 0;
    const std::size_t n = s.size();

    auto takeCurrency = [&]() {
        if (!sawCurrency && matchAt(s, i, loc.currencySymbol)) {
            sawCurrency = true;
            i += loc.currencySymbol.size();
            while (i < n && s[i] == u' ') ++i;
            return true;
        }
        return false;
    };
    auto takeSign = [&]() {
        if (sawSign || i >= n) return false;
        if (s[i] == u'-' || s[i] == u'+') {
            negative = s[i] == u'-';
            sawSign = true;
            ++i;
            while (i < n && s[i] == u' ') ++i;
            return true;
        }
        return false;
    };
    // Prefix: any order of sign, '(' and currency symbol.
    for (bool more = true; more && i < n;) {
        more = false;
        if (s[i] == u'(' && !paren && !sawSign) { paren = true; ++i; more = true; continue; }
        if (takeSign()) { more = true; continue; }
        if (takeCurrency()) { more = true; continue; }
    }
    // Mantissa.
    const std::u16string_view dec = loc.decimalSep, grp = loc.groupSep;
    while (i < n) {
        char16_t c = s[i];
        if (isAsciiDigit(c)) {
            ascii += static_cast<char>(c);
            sawDigit = true;
            ++i;
        } else if (!sawDecimal && matchAt(s, i, dec)) {
            ascii += '.';
            sawDecimal = true;
            i += dec.size();
        } else if (!sawDecimal && sawDigit && matchAt(s, i, grp)) {
            i += grp.size();
        } else if (!sawDecimal && sawDigit && (grp == u"\u00A0" || grp == u"\u202F") &&
                   (c == u' ' || c == 0xA0 || c == 0x202F)) {
            ++i; // a grouping space may be typed as any kind of space
        } else {
            break;
        }
    }
    if (!sawDigit) return false;
    // Exponent.
    if (i < n && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        std::size_t j = i + 1;
        std::string ex = "e";
        if (j < n && (s[j] == u'+' || s[j] == u'-')) ex += static_cast<char>(s[j++]);
        std::size_t digitsStart = j;
        while (j < n && isAsciiDigit(s[j]) && j - digitsStart < 6) ex += static_cast<char>(s[j++]);
        if (j == digitsStart) return false;
        ascii += ex;
        i = j;
    }
    // Suffix: currency symbol, sign, ')'.
    while (i < n && s[i] == u' ') ++i;
    for (bool more = true; more && i < n;) {
        more = false;
        if (takeCurrency()) { more = true; continue; }
        if (takeSign()) { more = true; continue; }
        if (paren && s[i] == u')') { paren = false; ++i; more = true; while (i < n && s[i] == u' ') ++i; }
    }
    if (i != n || paren) return false;
    bool wasParen = s.find(u'(') != std::u16string_view::npos;
    if (sawSign && wasParen) return false;
    negativeOut = negative || wasParen;
    return true;
}

bool parseNumber(std::u16string_view s, const LocaleFormat& loc, double& out) {
    std::string ascii;
    bool negative = false, isRadix = false;
    if (!scanNumber(s, loc, ascii, negative, isRadix, out)) return false;
    if (isRadix) return true;
    double v = 0;
    if (!readDecimal(ascii, v) || !std::isfinite(v)) return false;
    out = negative ? -v : v;
    return true;
}

bool parseBooleanText(std::u16string_view s, bool& out) {
    if (equalsNoCase(s, u"True") || equalsNoCase(s, u"#TRUE#")) return out = true, true;
    if (equalsNoCase(s, u"False") || equalsNoCase(s, u"#FALSE#")) return out = false, true;
    return false;
}

double parseNumberOrRaise(std::u16string_view s, const LocaleFormat& loc) {
    double out;
    if (parseNumber(s, loc, out)) return out;
    std::string ascii;
    bool negative = false, isRadix = false;
    if (scanNumber(s, loc, ascii, negative, isRadix, out) && !isRadix) throwRuntimeError(err::Overflow);
    throwRuntimeError(err::TypeMismatch);
}

int parseCurrency(std::u16string_view s, const LocaleFormat& loc, std::int64_t& out) {
    std::string ascii;
    bool negative = false, isRadix = false;
    double d = 0;
    if (!scanNumber(s, loc, ascii, negative, isRadix, d)) return 0;
    if (!isRadix && ascii.find('e') == std::string::npos) {
        // Exact decimal: scale by 10000 and round half to even on the rest.
        unsigned __int128 v = 0;
        int fracDigits = -1;
        int firstDropped = -1;
        bool restNonZero = false;
        for (char c : ascii) {
            if (c == '.') { fracDigits = 0; continue; }
            if (fracDigits >= 4) {
                if (firstDropped < 0) firstDropped = c - '0';
                else if (c != '0') restNonZero = true;
                continue;
            }
            v = v * 10 + static_cast<unsigned>(c - '0');
            if (v > (static_cast<unsigned __int128>(1) << 100)) return -1;
            if (fracDigits >= 0) ++fracDigits;
        }
        for (int k = fracDigits < 0 ? 0 : fracDigits; k < 4; ++k) v *= 10;
        if (firstDropped > 5 || (firstDropped == 5 && (restNonZero || (v & 1)))) ++v;
        unsigned __int128 limit = negative ? (static_cast<unsigned __int128>(1) << 63)
                                           : (static_cast<unsigned __int128>(1) << 63) - 1;
        if (v > limit) return -1;
        out = negative ? static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(v))
                       : static_cast<std::int64_t>(v);
        return 1;
    }
    if (!isRadix) {
        readDecimal(ascii, d);
        if (negative) d = -d;
    }
    double r = std::nearbyint(d * 10000.0);
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return -1;
    out = static_cast<std::int64_t>(r);
    return 1;
}

namespace {

// Writes the decimal digits of u backwards, ending at end; returns the start.
// (Called with 32 bits where the value fits: their division is cheaper.)
template <class U>
char16_t* writeDigits(char16_t* end, U u) {
    static constexpr char kPairs[] =
        "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
        "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";
    while (u >= 100) {
        const unsigned r = static_cast<unsigned>(u % 100) * 2;
        u /= 100;
        *--end = static_cast<char16_t>(kPairs[r + 1]);
        *--end = static_cast<char16_t>(kPairs[r]);
    }
    if (u >= 10) {
        const unsigned r = static_cast<unsigned>(u) * 2;
        *--end = static_cast<char16_t>(kPairs[r + 1]);
        *--end = static_cast<char16_t>(kPairs[r]);
    } else {
        *--end = static_cast<char16_t>(u'0' + u);
    }
    return end;
}

void appendUnits(std::u16string& out, const char16_t* p, const char16_t* end) {
    out.append(p, static_cast<std::size_t>(end - p));
}

void appendMagnitude(std::u16string& out, bool negative, std::uint64_t u) {
    char16_t buf[24];
    char16_t* p = u <= 0xFFFFFFFFu ? writeDigits(buf + 24, static_cast<std::uint32_t>(u)) : writeDigits(buf + 24, u);
    if (negative) *--p = u'-';
    appendUnits(out, p, buf + 24);
}

} // namespace

void appendFloat(std::u16string& out, double v, int digits, const LocaleFormat& loc) {
    if (v == 0) {
        out += u'0';
        return;
    }
    // The shortest of fixed and scientific at this precision, as %G prints it
    // (trailing zeros dropped, exponent of at least two digits), but without
    // the C locale's involvement.
    char buf[64];
    const char* end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits).ptr;
    char16_t wide[64];
    char16_t* w = wide;
    for (const char* c = buf; c != end; ++c) {
        if (*c == '.') {
            appendUnits(out, wide, w);
            out += loc.decimalSep;
            w = wide;
        } else {
            *w++ = *c == 'e' ? u'E' : static_cast<char16_t>(*c);
        }
    }
    appendUnits(out, wide, w);
}

std::u16string formatFloat(double v, int digits, const LocaleFormat& loc) {
    std::u16string out;
    appendFloat(out, v, digits, loc);
    return out;
}

void appendInteger(std::u16string& out, std::int64_t v) {
    appendMagnitude(out, v < 0, v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v));
}

std::u16string formatInteger(std::int64_t v) {
    std::u16string out;
    appendInteger(out, v);
    return out;
}

void appendCurrencyPlain(std::u16string& out, std::int64_t scaled, const LocaleFormat& loc) {
    const bool neg = scaled < 0;
    const std::uint64_t mag = neg ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    appendMagnitude(out, neg, mag / 10000);
    unsigned frac = static_cast<unsigned>(mag % 10000);
    if (!frac) return;
    int len = 4;
    for (; frac % 10 == 0; frac /= 10) --len; // trailing zeros dropped
    out += loc.decimalSep;
    char16_t digits[4];
    for (int i = len - 1; i >= 0; --i, frac /= 10) digits[i] = static_cast<char16_t>(u'0' + frac % 10);
    appendUnits(out, digits, digits + len);
}

std::u16string formatCurrencyPlain(std::int64_t scaled, const LocaleFormat& loc) {
    std::u16string out;
    appendCurrencyPlain(out, scaled, loc);
    return out;
}

std::u16string formatDecimalPlain(const DecimalNumber& value, const LocaleFormat& loc) {
    std::u16string out;
    for (char c : decimalNumberText(value)) {
        if (c == '.') out += loc.decimalSep;
        else out += static_cast<char16_t>(c);
    }
    return out;
}

} // namespace qz
