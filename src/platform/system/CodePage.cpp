#include "platform/system/CodePage.h"

namespace qz::sys {
namespace {

// 0x80-0x9F of Windows-1252; the undefined bytes keep their own value.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

constexpr char32_t kBad = 0xFFFFFFFF;

// Decodes one code point at s[i], advancing i; kBad for an ill-formed
// sequence (one byte is then consumed).
char32_t nextUtf8(std::string_view s, std::size_t& i) noexcept {
    unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80) return c;
    int len;
    char32_t cp;
    if (c >= 0xC2 && c <= 0xDF) { len = 1; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 2; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 3; cp = c & 0x07; }
    else return kBad;
    if (i + len > s.size()) return kBad;
    for (int k = 0; k < len; ++k) {
        unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return kBad;
        cp = (cp << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are ill-formed.
    if ((len == 2 && cp < 0x800) || (len == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return kBad;
    i += len;
    return cp;
}

char32_t nextUtf16(std::u16string_view s, std::size_t& i) noexcept {
    char16_t c = s[i++];
    if (c < 0xD800 || c > 0xDFFF) return c;
    if (c <= 0xDBFF && i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
        char32_t cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (s[i] - 0xDC00);
        ++i;
        return cp;
    }
    return kBad;
}

} // namespace

char32_t cp1252ToUnicode(unsigned char byte) noexcept {
    return (byte >= 0x80 && byte < 0xA0) ? kHigh[byte - 0x80] : byte;
}

int unicodeToCp1252(char32_t cp) noexcept {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int k = 0; k < 32; ++k)
        if (kHigh[k] == cp) return 0x80 + k;
    return -1;
}

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes) appendUtf8(out, cp1252ToUnicode(static_cast<unsigned char>(ch)));
    return out;
}

std::u16string cp1252ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char ch : bytes) out.push_back(static_cast<char16_t>(cp1252ToUnicode(static_cast<unsigned char>(ch))));
    return out;
}

std::string utf8ToCp1252(std::string_view utf8, char replacement) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = nextUtf8(utf8, i);
        int b = cp == kBad ? -1 : unicodeToCp1252(cp);
        out.push_back(b < 0 ? replacement : static_cast<char>(b));
    }
    return out;
}

std::string utf16ToCp1252(std::u16string_view utf16, char replacement) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size();) {
        char32_t cp = nextUtf16(utf16, i);
        int b = cp == kBad ? -1 : unicodeToCp1252(cp);
        out.push_back(b < 0 ? replacement : static_cast<char>(b));
    }
    return out;
}

bool fitsCp1252(std::string_view utf8) noexcept {
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = nextUtf8(utf8, i);
        if (cp == kBad || unicodeToCp1252(cp) < 0) return false;
    }
    return true;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = nextUtf8(utf8, i);
        appendUtf16(out, cp == kBad ? 0xFFFD : cp);
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3 / 2);
    for (std::size_t i = 0; i < utf16.size();) {
        char32_t cp = nextUtf16(utf16, i);
        appendUtf8(out, cp == kBad ? 0xFFFD : cp);
    }
    return out;
}

} // namespace qz::sys
