#include "Text.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <tuple>
#include <type_traits>
#include <vector>

namespace qz {

char32_t nextUtf8Multi(std::string_view s, std::size_t& i) noexcept {
    auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) return b;
    int len;
    char32_t cp;
    if (b >= 0xC2 && b <= 0xDF) { len = 1; cp = b & 0x1F; }
    else if (b >= 0xE0 && b <= 0xEF) { len = 2; cp = b & 0x0F; }
    else if (b >= 0xF0 && b <= 0xF4) { len = 3; cp = b & 0x07; }
    else return kIllFormed;
    if (s.size() - i < static_cast<std::size_t>(len)) return kIllFormed;
    for (int k = 0; k < len; ++k) {
        auto t = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((t & 0xC0) != 0x80) return kIllFormed;
        cp = (cp << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are ill-formed.
    if ((len == 2 && cp < 0x800) || (len == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return kIllFormed;
    i += static_cast<std::size_t>(len);
    return cp;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isValidUtf8(std::string_view s) noexcept {
    for (std::size_t i = 0; i < s.size();)
        if (nextUtf8(s, i) == kIllFormed) return false;
    return true;
}

std::string toUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t c = nextUtf16(s, i);
        appendUtf8(out, c == kIllFormed ? 0xFFFD : c);
    }
    return out;
}

std::u16string fromUtf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t c = nextUtf8(s, i);
        appendUtf16(out, c == kIllFormed ? 0xFFFD : c);
    }
    return out;
}

// ASCII is by far the common case in names and keys: keep ICU out of it.
char16_t foldCase(char16_t c) noexcept {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    UChar32 f = u_tolower(u_toupper(c));
    return f <= 0xFFFF ? static_cast<char16_t>(f) : c;
}

char16_t toLowerCase(char16_t c) noexcept {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    UChar32 f = u_tolower(c);
    return f <= 0xFFFF ? static_cast<char16_t>(f) : c;
}

char16_t toUpperCase(char16_t c) noexcept {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    UChar32 f = u_toupper(c);
    return f <= 0xFFFF ? static_cast<char16_t>(f) : c;
}

std::u16string foldCase(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out) c = foldCase(c);
    return out;
}
std::u16string toLowerCase(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out) c = toLowerCase(c);
    return out;
}
std::u16string toUpperCase(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out) c = toUpperCase(c);
    return out;
}

int compareNoCase(std::u16string_view a, std::u16string_view b) noexcept {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        char16_t x = foldCase(a[i]), y = foldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool equalsNoCase(std::u16string_view a, std::u16string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

namespace {

struct CollatorClose {
    void operator()(UCollator* c) const noexcept { ucol_close(c); }
};

// A case-blind collator of a locale, and whether two texts of ASCII letters,
// digits and spaces may be ordered by their case-blind code units instead:
// only where the locale's order of those characters is the root order (no
// tailoring such as a Danish "aa" after "z") and spaces count (a locale that
// passes over spaces would find "a b" equal to "ab").
struct TextCollator {
    UCollator* collator = nullptr;
    bool plainAscii = false;
};

// One per locale and thread (collators are not shared across threads); a null
// collator when ICU has none for the LCID.
TextCollator collatorFor(std::uint32_t lcid) noexcept {
    thread_local std::vector<std::tuple<std::uint32_t, std::unique_ptr<UCollator, CollatorClose>, bool>> cache;
    for (auto& [id, c, plain] : cache)
        if (id == lcid) return {c.get(), plain};
    UErrorCode status = U_ZERO_ERROR;
    char name[ULOC_FULLNAME_CAPACITY] = "";
    uloc_getLocaleForLCID(lcid, name, sizeof name, &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        name[0] = '\0';
    }
    UCollator* c = ucol_open(name, &status);
    bool plain = false;
    if (U_FAILURE(status)) {
        if (c) ucol_close(c);
        c = nullptr;
    } else {
        ucol_setStrength(c, UCOL_SECONDARY);
        std::int32_t rulesLength = 0;
        ucol_getRules(c, &rulesLength);
        UErrorCode attr = U_ZERO_ERROR;
        plain = rulesLength == 0 && ucol_getAttribute(c, UCOL_ALTERNATE_HANDLING, &attr) == UCOL_NON_IGNORABLE &&
                U_SUCCESS(attr);
    }
    try {
        cache.emplace_back(lcid, std::unique_ptr<UCollator, CollatorClose>(c), plain);
    } catch (...) {
        if (c) ucol_close(c);
        return {};
    }
    return {c, plain};
}

// Letters, digits and spaces of ASCII: the characters whose case-blind code
// unit order is the collation's own. Punctuation is not: a collation puts "_"
// and "{" before the digits, so a text holding them must be collated, or an
// order over texts with and without accents would not be transitive.
template <class Char>
bool isPlainAscii(std::basic_string_view<Char> s) noexcept {
    for (Char ch : s) {
        const auto c = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Char>>(ch));
        if (!(c == ' ' || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'))) return false;
    }
    return true;
}

template <class Char>
int compareFolded(std::basic_string_view<Char> a, std::basic_string_view<Char> b) noexcept {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<std::uint32_t>(a[i]) | 0x20, y = static_cast<std::uint32_t>(b[i]) | 0x20;
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

int compareText(std::u16string_view a, std::u16string_view b, std::uint32_t lcid) noexcept {
    const TextCollator c = collatorFor(lcid);
    if (!c.collator) return compareNoCase(a, b);
    if (c.plainAscii && isPlainAscii(a) && isPlainAscii(b)) return compareFolded(a, b);
    UCollationResult r = ucol_strcoll(c.collator, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                      static_cast<int32_t>(b.size()));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

int compareText(std::string_view a, std::string_view b, std::uint32_t lcid) noexcept {
    const TextCollator c = collatorFor(lcid);
    if (c.collator && c.plainAscii && isPlainAscii(a) && isPlainAscii(b)) return compareFolded(a, b);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = c.collator ? ucol_strcollUTF8(c.collator, a.data(), static_cast<int32_t>(a.size()),
                                                             b.data(), static_cast<int32_t>(b.size()), &status)
                                          : UCOL_EQUAL;
    if (!c.collator || U_FAILURE(status)) return a < b ? -1 : (a == b ? 0 : 1);
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

int compareBinary(std::u16string_view a, std::u16string_view b) noexcept {
    int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

std::size_t hashNoCase(std::u16string_view s) noexcept {
    std::uint64_t h = 1469598103934665603ull; // FNV-1a
    for (char16_t c : s) {
        h ^= foldCase(c);
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h);
}

bool equalsNoCaseAscii(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (toLowerAscii(a[i]) != toLowerAscii(b[i])) return false;
    return true;
}

std::string toLowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = toLowerAscii(c);
    return out;
}

std::string toUpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = toUpperAscii(c);
    return out;
}

std::string crLfFromAnyBreak(std::string_view s) {
    std::string out;
    out.reserve(s.size() + s.size() / 32);
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' || s[i] == '\n') {
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
            out += "\r\n";
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string crLfFromCrKeepingLf(std::string_view s) {
    std::string out;
    out.reserve(s.size() + s.size() / 32);
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            out += "\r\n";
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string crLfFromLfKeepingCr(std::string_view s) {
    std::string out;
    out.reserve(s.size() + s.size() / 32);
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) out += '\r';
        out += s[i];
    }
    return out;
}

bool isSpace(char16_t c) noexcept {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' ||
           c == 0xA0;
}

} // namespace qz
