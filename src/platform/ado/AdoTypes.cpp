#include "platform/ado/AdoTypes.h"

#include "platform/automation/DecimalText.h"
#include "platform/automation/ErrorTexts.h"
#include "platform/automation/MemoryMeter.h"
#include "platform/automation/Text.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qz::ado {

namespace {

const char* adoText(std::int32_t code) {
    switch (code) {
    case kErrInvalidArgument:
        return "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
               "with one another.";
    case kErrNoCurrentRecord:
        return "Either BOF or EOF is True, or the current record has been deleted. Requested "
               "operation requires a current record.";
    case kErrNotUpdatable: return "Current Recordset does not support updating.";
    case kErrItemNotFound:
        return "Item cannot be found in the collection corresponding to the requested name or "
               "ordinal.";
    case kErrObjectClosed: return "Operation is not allowed when the object is closed.";
    case kErrObjectOpen: return "Operation is not allowed when the object is open.";
    case kErrProviderNotFound: return "Provider cannot be found. It may not be properly installed.";
    case kErrInvalidConnection:
        return "The connection cannot be used to perform this operation. It is either closed or "
               "invalid in this context.";
    default: return "Unexpected error.";
    }
}

constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool readInt(std::string_view s, std::size_t& i, std::size_t digits, int& out) {
    if (i + digits > s.size()) return false;
    int v = 0;
    for (std::size_t k = 0; k < digits; ++k) {
        char c = s[i + k];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    i += digits;
    out = v;
    return true;
}

bool parseTime(std::string_view s, std::size_t& i, int& h, int& mi, double& sec) {
    if (!readInt(s, i, 2, h)) {
        // one-digit hour
        if (!readInt(s, i, 1, h)) return false;
    }
    if (i >= s.size() || s[i] != ':') return false;
    ++i;
    if (!readInt(s, i, 2, mi)) return false;
    sec = 0;
    if (i < s.size() && s[i] == ':') {
        ++i;
        int whole = 0;
        if (!readInt(s, i, 2, whole)) return false;
        sec = whole;
        if (i < s.size() && s[i] == '.') {
            ++i;
            double scale = 0.1;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
                sec += (s[i] - '0') * scale;
                scale /= 10;
                ++i;
            }
        }
    }
    return h < 24 && mi < 60 && sec < 61;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' ||
                          s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool parseDouble(std::string_view s, double& out) {
    double v = 0;
    if (!readDecimal(trimmed(s), v) || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool parseInt64(std::string_view s, std::int64_t& out) {
    s = trimmed(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

} // namespace

void raiseAdo(std::int32_t code, std::string_view source) {
    throw AutomationError(adoErrorNumber(code), std::string(source), adoText(code));
}

void raiseProvider(std::string_view source, std::string description) {
    throw AutomationError(kErrorFail, std::string(source), std::move(description));
}

void raiseOutOfMemory(std::string_view source, const std::string& what) {
    const AutomationError e = runtimeError(err::OutOfMemory);
    throw AutomationError(e.Number, std::string(source), e.Description + ": " + what + " would pass the memory ceiling");
}

void reserveLoad(std::int64_t bytes, std::string_view source, const char* what) {
    if (memory::wouldPass(bytes)) [[unlikely]] raiseOutOfMemory(source, what);
}

void raiseTimeout(std::string_view source) {
    throw AutomationError(kTimeoutExpired, std::string(source), "Query timeout expired");
}

double oleDateFromParts(int year, int month, int day, int hour, int minute, double second) {
    constexpr std::int64_t epoch = daysFromCivil(1899, 12, 30);
    const double days = static_cast<double>(daysFromCivil(year, static_cast<unsigned>(month),
                                                          static_cast<unsigned>(day)) - epoch);
    const double frac = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return days < 0 ? days - frac : days + frac;
}

namespace {

// Eight bytes of text against a pattern where '0' stands for any digit and
// every other byte for itself, tested at once: each byte is compared by an
// exclusive or (a digit leaves 0 to 9, a matching byte 0), and an addition
// carries into the top bit of every byte that is over its limit.
struct Pattern8 {
    std::uint64_t bytes; // the pattern's bytes
    std::uint64_t limit; // per byte: 0x80 less the first value that fails
};

constexpr Pattern8 pattern8(const char (&text)[9]) {
    std::array<unsigned char, 8> bytes{}, limit{};
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[i] = static_cast<unsigned char>(text[i]);
        limit[i] = text[i] == '0' ? 0x80 - 10 : 0x80 - 1;
    }
    return {std::bit_cast<std::uint64_t>(bytes), std::bit_cast<std::uint64_t>(limit)};
}

bool matches(const char* p, const Pattern8& pattern) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t x = w ^ pattern.bytes;
    return ((((x & 0x7F7F7F7F7F7F7F7Full) + pattern.limit) | x) & 0x8080808080808080ull) == 0;
}

constexpr Pattern8 kDateHead = pattern8("0000-00-"); // YYYY-MM-
constexpr Pattern8 kDateTail = pattern8("00-00-00"); // YY-MM-DD
constexpr Pattern8 kTime = pattern8("00:00:00");

// oleDateFromParts for years 100 to 9999 and whole seconds, the same value
// in fewer steps: no era below year 0, and the seconds summed as integers
// (exact, as they are in doubles).
double oleDateOfWhole(unsigned y, unsigned m, unsigned d, unsigned seconds) {
    const unsigned yy = y - (m <= 2); // years counted from March
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    // 693899: the day number of 1899-12-30 in this count
    const int days = static_cast<int>(365 * yy + yy / 4 - yy / 100 + yy / 400 + doy) - 693899;
    const double frac = static_cast<double>(seconds) / 86400.0;
    return days < 0 ? days - frac : days + frac;
}

// A zone after a time ("Z", "+01", "-05:30"), or nothing: the zone is
// ignored, the values being local as stored. Anything else (an era, "BC")
// makes the text no date of this calendar.
bool zoneSuffix(std::string_view z) {
    if (z.empty() || z == "Z") return true;
    if (z[0] != '+' && z[0] != '-') return false;
    for (std::size_t i = 1; i < z.size(); ++i)
        if ((z[i] < '0' || z[i] > '9') && z[i] != ':') return false;
    return z.size() > 1;
}

} // namespace

std::int64_t packedIsoDate(std::string_view text) {
    const std::size_t n = text.size();
    const char* p = text.data();
    if ((n == 10 || (n == 19 && (p[10] == ' ' || p[10] == 'T') && matches(p + 11, kTime))) &&
        matches(p, kDateHead) && matches(p + 2, kDateTail)) {
        auto two = [p](std::size_t i) { return (p[i] - '0') * 10 + (p[i + 1] - '0'); };
        const int y = two(0) * 100 + two(2), m = two(5), d = two(8);
        const int h = n == 19 ? two(11) : 0, mi = n == 19 ? two(14) : 0, sec = n == 19 ? two(17) : 0;
        if (y >= 100 && m >= 1 && m <= 12 && d >= 1 && d <= 31 && h < 24 && mi < 60 && sec < 61)
            return ((std::int64_t{y} * 16 + m) * 32 + d) * 131072 + (h * 3600 + mi * 60 + sec);
    }
    return -1;
}

double dateOfPacked(std::int64_t packed) {
    const auto u = static_cast<std::uint64_t>(packed);
    return oleDateOfWhole(static_cast<unsigned>(u >> 26), static_cast<unsigned>(u >> 22) & 15,
                          static_cast<unsigned>(u >> 17) & 31, static_cast<unsigned>(u) & 131071);
}

bool parseIsoDateTime(std::string_view text, double& oleDate) {
    // The common stored forms first: "YYYY-MM-DD" and "YYYY-MM-DD HH:MM:SS".
    if (const std::int64_t packed = packedIsoDate(text); packed >= 0) {
        oleDate = dateOfPacked(packed);
        return true;
    }
    std::string_view s = trimmed(text);
    std::size_t i = 0;
    int y = 0, m = 0, d = 0, h = 0, mi = 0;
    double sec = 0;
    if (s.size() >= 5 && s[2] == ':') { // a time alone
        if (!parseTime(s, i, h, mi, sec) || i != s.size()) return false;
        oleDate = (h * 3600.0 + mi * 60.0 + sec) / 86400.0;
        return true;
    }
    if (!readInt(s, i, 4, y) || i >= s.size() || (s[i] != '-' && s[i] != '/')) return false;
    ++i;
    if (!readInt(s, i, 2, m) || i >= s.size() || (s[i] != '-' && s[i] != '/')) return false;
    ++i;
    if (!readInt(s, i, 2, d)) return false;
    if (m < 1 || m > 12 || d < 1 || d > 31 || y < 100) return false;
    if (i < s.size()) {
        if (s[i] != ' ' && s[i] != 'T') return false;
        ++i;
        if (!parseTime(s, i, h, mi, sec) || !zoneSuffix(s.substr(i))) return false;
    }
    oleDate = oleDateFromParts(y, m, d, h, mi, sec);
    return true;
}

namespace {

// Widens ASCII bytes to UTF-16 units (each byte is its unit), 16 or 8 at a
// time where the processor allows, the last block overlapping the one before
// it rather than ending byte by byte; false, with out partly written, when a
// byte is outside ASCII.
bool widenAscii(std::string_view in, char16_t* out) {
    const char* p = in.data();
    const std::size_t n = in.size();
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    auto block16 = [&](std::size_t i) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(b, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(b, zero));
        return _mm_movemask_epi8(b);
    };
    auto block8 = [&](std::size_t i) {
        const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(b, zero));
        return _mm_movemask_epi8(b);
    };
    if (n >= 16) {
        int high = 0;
        for (std::size_t i = 0; i + 16 <= n; i += 16) high |= block16(i);
        return (high | block16(n - 16)) == 0;
    }
    if (n >= 8) return (block8(0) | block8(n - 8)) == 0;
#endif
    unsigned high = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        high |= c;
        out[i] = c;
    }
    return high < 0x80;
}

} // namespace

Variant stringValue(std::string_view utf8) {
    std::u16string s(utf8.size(), u'\0');
    if (!widenAscii(utf8, s.data())) s = fromUtf8(utf8);
    return Variant(std::move(s));
}

void assignUtf8(std::u16string& s, std::string_view utf8) {
    s.resize(utf8.size());
    if (!widenAscii(utf8, s.data())) s = fromUtf8(utf8);
}

namespace {

// A number of more than fifteen significant digits, which a Double would not
// print whole, is a Decimal; a smaller one a Double, as before.
constexpr std::int64_t kDoubleDigits = 1'000'000'000'000'000;  // 10^15

Variant wideInteger(std::int64_t v) {
    if (v > -kDoubleDigits && v < kDoubleDigits) return Variant(static_cast<double>(v));
    return Variant::decimal(decimalFromInt(v));
}

// The text of an exact number (a numeric column's) as a Decimal when it has
// more significant digits than a Double keeps; false otherwise.
bool decimalOfText(std::string_view text, Variant& out) {
    DecimalNumber d;
    if (!parseDecimalNumber(trimmed(text), d)) return false;
    unsigned __int128 m = d.magnitude;
    while (m != 0 && m % 10 == 0) m /= 10;
    if (m < static_cast<unsigned __int128>(kDoubleDigits)) return false;
    out = Variant::decimal(d);
    return true;
}

} // namespace

Variant valueFromInt(std::int64_t v, std::int32_t type) {
    switch (type) {
    case adBoolean: return Variant(v != 0);
    case adSingle: return Variant(static_cast<float>(v));
    case adDouble: return Variant(static_cast<double>(v));
    case adNumeric:
    case adDecimal: return wideInteger(v);
    case adCurrency:
        if (v > std::numeric_limits<std::int64_t>::max() / 10000 ||
            v < std::numeric_limits<std::int64_t>::min() / 10000)
            return Variant(static_cast<double>(v));
        return Variant::currency(v * 10000);
    case adSmallInt:
        if (v >= INT16_MIN && v <= INT16_MAX) return Variant(static_cast<std::int16_t>(v));
        break;
    case adUnsignedTinyInt:
        if (v >= 0 && v <= 255) return Variant(static_cast<std::uint8_t>(v));
        break;
    default: break;
    }
    if (isStringType(type)) return Variant::fromUtf8(std::to_string(v));
    if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<std::int32_t>(v));
    return wideInteger(v);
}

Variant valueFromDouble(double v, std::int32_t type) {
    if (std::int64_t units = 0; type == adCurrency && currencyFromDouble(v, units)) return Variant::currency(units);
    if (type == adSingle) return Variant(static_cast<float>(v));
    if (type == adBoolean) return Variant(v != 0);
    if (isIntegerType(type) && v == std::floor(v) && std::fabs(v) < 2147483648.0)
        return valueFromInt(static_cast<std::int64_t>(v), type);
    return Variant(v);
}

bool plainCurrencyUnits(std::string_view t, std::int64_t& units) {
    const bool negative = !t.empty() && t[0] == '-';
    std::size_t i = negative ? 1 : 0;
    // At most 15 whole digits and 4 decimals: below 10^19, so the sum never
    // overflows on the way.
    std::uint64_t n = 0;
    auto digits = [&](int most) {
        int count = 0;
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
            if (++count > most) return -1;
            n = n * 10 + static_cast<unsigned>(t[i] - '0');
        }
        return count;
    };
    if (digits(15) <= 0) return false;
    int decimals = 0;
    if (i < t.size() && t[i] == '.') {
        ++i;
        if ((decimals = digits(4)) < 0) return false;
    }
    if (i != t.size()) return false;
    for (; decimals < 4; ++decimals) n *= 10;
    constexpr std::uint64_t kMost = std::uint64_t{1} << 63; // one more below zero than above
    if (n > (negative ? kMost : kMost - 1)) return false;
    units = static_cast<std::int64_t>(negative ? 0 - n : n);
    return true;
}

Variant valueFromBytes(const void* data, std::size_t size) {
    Ref<SafeArray> arr = makeRef<SafeArray>();
    arr->bounds.push_back({0, static_cast<std::int32_t>(size)});
    arr->data.reserve(size);
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) arr->data.emplace_back(p[i]);
    arr->retally();
    return Variant(arr);
}

bool scalarFromText(std::string_view text, std::int32_t type, Variant& out) {
    if (isStringType(type) || type == adGUID) return false;
    if (type == adBoolean) {
        std::string_view t = trimmed(text);
        if (equalsNoCaseAscii(t, "true") || t == "1" || t == "-1" || equalsNoCaseAscii(t, "yes")) {
            out = Variant(true);
            return true;
        }
        if (equalsNoCaseAscii(t, "false") || t == "0" || equalsNoCaseAscii(t, "no")) {
            out = Variant(false);
            return true;
        }
    } else if (isDateType(type)) {
        double d = 0;
        if (parseIsoDateTime(text, d)) {
            out = Variant::date(d);
            return true;
        }
    } else if (isIntegerType(type)) {
        std::int64_t v = 0;
        if (parseInt64(text, v)) {
            out = valueFromInt(v, type);
            return true;
        }
        double dv = 0;
        if (parseDouble(text, dv)) {
            out = Variant(dv);
            return true;
        }
    } else if (type == adDouble || type == adSingle || type == adNumeric || type == adDecimal ||
               type == adCurrency) {
        if (std::int64_t units = 0; type == adCurrency && plainCurrencyUnits(text, units)) {
            out = Variant::currency(units);
            return true;
        }
        if ((type == adNumeric || type == adDecimal) && decimalOfText(text, out)) return true;
        double dv = 0;
        if (parseDouble(text, dv)) {
            out = valueFromDouble(dv, type);
            return true;
        }
    }
    return false;
}

Variant valueFromText(std::string_view text, std::int32_t type) {
    Variant v;
    return scalarFromText(text, type, v) ? v : stringValue(text);
}

Variant valueFromStoredText(std::string_view text, std::int32_t type) {
    Variant v;
    if (scalarFromText(text, type, v)) return v;
    if (type == adBoolean || isDateType(type)) {
        std::int64_t i = 0;
        double d = 0;
        if (parseInt64(text, i)) return isDateType(type) ? Variant::date(dateOfUnixSeconds(i)) : valueFromInt(i, type);
        if (parseDouble(text, d)) return isDateType(type) ? Variant::date(dateOfJulianDay(d)) : valueFromDouble(d, type);
    }
    return stringValue(text);
}

bool isStringType(std::int32_t t) {
    return t == adChar || t == adVarChar || t == adLongVarChar || t == adBSTR || t == adWChar ||
           t == adVarWChar || t == adLongVarWChar;
}

bool isIntegerType(std::int32_t t) {
    return t == adSmallInt || t == adInteger || t == adTinyInt || t == adUnsignedTinyInt ||
           t == adBigInt || t == 18 || t == 19 || t == 21;
}

bool isDateType(std::int32_t t) {
    return t == adDate || t == adDBDate || t == adDBTime || t == adDBTimeStamp;
}

std::int32_t typeFromDeclaration(std::string_view decl, std::int32_t& definedSize) {
    const std::string up = toUpperAscii(decl);
    definedSize = 0;
    auto has = [&](const char* w) { return up.find(w) != std::string::npos; };
    int size = 0;
    if (auto p = up.find('('); p != std::string::npos) {
        std::size_t i = p + 1;
        while (i < up.size() && up[i] == ' ') ++i;
        while (i < up.size() && up[i] >= '0' && up[i] <= '9' && size < 100000000)
            size = size * 10 + (up[i++] - '0');
    }
    if (up.empty()) return adEmpty;
    if (has("BOOL") || up == "BIT") { definedSize = 2; return adBoolean; }
    if (has("BIGINT") || has("INT8")) { definedSize = 8; return adBigInt; }
    if (has("SMALLINT") || has("INT2")) { definedSize = 2; return adSmallInt; }
    if (has("TINYINT")) { definedSize = 1; return adUnsignedTinyInt; }
    if (has("INT")) { definedSize = 4; return adInteger; }
    if (has("MONEY") || has("CURRENCY")) { definedSize = 8; return adCurrency; }
    if (has("DATETIME") || has("TIMESTAMP")) { definedSize = 16; return adDBTimeStamp; }
    if (has("DATE")) { definedSize = 6; return adDBDate; }
    if (has("TIME")) { definedSize = 6; return adDBTime; }
    if (has("GUID") || has("UUID")) { definedSize = 16; return adGUID; }
    if (has("TEXT") || has("CLOB") || has("MEMO")) { definedSize = kLongDefinedSize; return adLongVarWChar; }
    if (has("CHAR") || has("STRING")) {
        definedSize = size;
        if (size == 0) { definedSize = kLongDefinedSize; return adLongVarWChar; }
        return has("VAR") ? adVarWChar : adWChar;
    }
    if (has("BLOB") || has("BINARY") || has("BYTEA") || has("IMAGE")) {
        definedSize = size ? size : kLongDefinedSize;
        return size ? adVarBinary : adLongVarBinary;
    }
    if (has("SINGLE")) { definedSize = 4; return adSingle; }
    if (has("REAL") || has("FLOA") || has("DOUB")) { definedSize = 8; return adDouble; }
    if (has("DEC") || has("NUM")) { definedSize = 19; return adNumeric; }
    return adVarWChar; // an unknown declared type keeps its values as text
}

} // namespace qz::ado
