#include "platform/system/CodePage.h"

#include "platform/automation/Text.h"

namespace qz::sys {
namespace {

// 0x80-0x9F of Windows-1252; the undefined bytes keep their own value.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

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
        int b = cp == kIllFormed ? -1 : unicodeToCp1252(cp);
        out.push_back(b < 0 ? replacement : static_cast<char>(b));
    }
    return out;
}

std::string utf16ToCp1252(std::u16string_view utf16, char replacement) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size();) {
        char32_t cp = nextUtf16(utf16, i);
        int b = cp == kIllFormed ? -1 : unicodeToCp1252(cp);
        out.push_back(b < 0 ? replacement : static_cast<char>(b));
    }
    return out;
}

bool fitsCp1252(std::string_view utf8) noexcept {
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = nextUtf8(utf8, i);
        if (cp == kIllFormed || unicodeToCp1252(cp) < 0) return false;
    }
    return true;
}

} // namespace qz::sys
