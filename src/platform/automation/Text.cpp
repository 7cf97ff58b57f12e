#include "Text.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <memory>
#include <vector>

namespace qz {

std::string toUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
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
    return out;
}

std::u16string fromUtf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        int len = 0;
        std::uint32_t c = 0, min = 0;
        if ((b & 0xE0) == 0xC0) { len = 2; c = b & 0x1F; min = 0x80; }
        else if ((b & 0xF0) == 0xE0) { len = 3; c = b & 0x0F; min = 0x800; }
        else if ((b & 0xF8) == 0xF0) { len = 4; c = b & 0x07; min = 0x10000; }
        bool ok = len != 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            unsigned char cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) ok = false;
            else c = (c << 6) | (cb & 0x3F);
        }
        if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        i += len;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
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

// One case-blind collator per locale and thread (collators are not shared
// across threads); null when ICU has none for the LCID.
UCollator* collatorFor(std::uint32_t lcid) noexcept {
    thread_local std::vector<std::pair<std::uint32_t, std::unique_ptr<UCollator, CollatorClose>>> cache;
    for (auto& [id, c] : cache)
        if (id == lcid) return c.get();
    UErrorCode status = U_ZERO_ERROR;
    char name[ULOC_FULLNAME_CAPACITY] = "";
    uloc_getLocaleForLCID(lcid, name, sizeof name, &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        name[0] = '\0';
    }
    UCollator* c = ucol_open(name, &status);
    if (U_FAILURE(status)) {
        if (c) ucol_close(c);
        c = nullptr;
    } else {
        ucol_setStrength(c, UCOL_SECONDARY);
    }
    try {
        cache.emplace_back(lcid, std::unique_ptr<UCollator, CollatorClose>(c));
    } catch (...) {
        if (c) ucol_close(c);
        return nullptr;
    }
    return c;
}

bool isAscii(std::u16string_view s) noexcept {
    for (char16_t c : s)
        if (c >= 0x80) return false;
    return true;
}

} // namespace

int compareText(std::u16string_view a, std::u16string_view b, std::uint32_t lcid) noexcept {
    if (isAscii(a) && isAscii(b)) return compareNoCase(a, b);
    UCollator* c = collatorFor(lcid);
    if (!c) return compareNoCase(a, b);
    UCollationResult r = ucol_strcoll(c, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                      static_cast<int32_t>(b.size()));
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

bool isSpace(char16_t c) noexcept {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' ||
           c == 0xA0;
}

} // namespace qz
