// UTF-8 / UTF-16 conversion at the edges of the system, and the case-blind
// comparisons used for member names, collection keys and text compare mode.
// Every layer converts text through these, so that ill-formed input is
// treated the same wherever it enters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

// Invalid sequences become U+FFFD; nothing throws.
std::string toUtf8(std::u16string_view s);
std::u16string fromUtf8(std::string_view s);

// What nextUtf8 and nextUtf16 return for an ill-formed sequence.
inline constexpr char32_t kIllFormed = 0xFFFFFFFF;

// The code point at s[i] (i < s.size()), moving i past it. An ill-formed
// sequence (bad lead or continuation byte, truncated, overlong, surrogate,
// past U+10FFFF) gives kIllFormed and moves i by one byte only.
char32_t nextUtf8Multi(std::string_view s, std::size_t& i) noexcept;
inline char32_t nextUtf8(std::string_view s, std::size_t& i) noexcept {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    return nextUtf8Multi(s, i);
}
// The code point at s[i] (i < s.size()), moving i past it; a lone surrogate
// gives kIllFormed.
inline char32_t nextUtf16(std::u16string_view s, std::size_t& i) noexcept {
    char16_t c = s[i++];
    if (c < 0xD800 || c > 0xDFFF) return c;
    if (c <= 0xDBFF && i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF)
        return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (s[i++] - 0xDC00);
    return kIllFormed;
}
// Appends one code point (at most U+10FFFF).
void appendUtf8(std::string& out, char32_t cp);
inline void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}
// True when the bytes are well-formed UTF-8 throughout.
bool isValidUtf8(std::string_view s) noexcept;

// Case mapping one UTF-16 code unit at a time, as the script's LCase/UCase
// do: the length of a string never changes.
char16_t foldCase(char16_t c) noexcept;
char16_t toLowerCase(char16_t c) noexcept;
char16_t toUpperCase(char16_t c) noexcept;
std::u16string foldCase(std::u16string_view s);
std::u16string toLowerCase(std::u16string_view s);
std::u16string toUpperCase(std::u16string_view s);

// Case-blind comparisons (-1, 0, 1) and equality.
int compareNoCase(std::u16string_view a, std::u16string_view b) noexcept;
bool equalsNoCase(std::u16string_view a, std::u16string_view b) noexcept;
// Text-mode ordering (-1, 0, 1) as the script's text compare sorts: by the
// collation of a locale (LCID), ignoring case but not accents. Texts of ASCII
// letters, digits and spaces take the case-blind code-unit order where the
// locale's collation orders them so.
int compareText(std::u16string_view a, std::u16string_view b, std::uint32_t lcid) noexcept;
// The same order of two UTF-8 texts, read as they are.
int compareText(std::string_view a, std::string_view b, std::uint32_t lcid) noexcept;
// Binary comparison by UTF-16 code unit (-1, 0, 1).
int compareBinary(std::u16string_view a, std::u16string_view b) noexcept;

// Hash of the case-folded string, for case-blind hash maps.
std::size_t hashNoCase(std::u16string_view s) noexcept;

struct NoCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view s) const noexcept { return hashNoCase(s); }
};
struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const noexcept {
        return equalsNoCase(a, b);
    }
};

// Case-blind equality of byte strings where only ASCII letters fold (keys,
// keywords and names that the system itself spells in ASCII).
inline char toLowerAscii(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
inline char toUpperAscii(char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
bool equalsNoCaseAscii(std::string_view a, std::string_view b) noexcept;
std::string toLowerAscii(std::string_view s);
std::string toUpperAscii(std::string_view s);
// True when the text is empty or spaces only (what the script's Trim empties).
inline bool onlySpaces(std::string_view s) noexcept { return s.find_first_not_of(' ') == s.npos; }
// The text without the spaces at both ends (spaces only, as the script's Trim).
inline std::string_view trimSpaces(std::string_view s) noexcept {
    const auto b = s.find_first_not_of(' ');
    if (b == s.npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// Line breaks made CR LF, one rule for each kind of text that needs it.
// Any break, CR LF, CR alone or LF alone, becomes CR LF: a code box's text
// as saved, a script library read from a file.
std::string crLfFromAnyBreak(std::string_view s);
// A CR, alone or in a CR LF pair, becomes CR LF; a lone LF stays as it is:
// a code box's text as loaded, where a lone LF is not a line of its own.
std::string crLfFromCrKeepingLf(std::string_view s);
// An LF not after a CR becomes CR LF; a lone CR stays as it is: a query's
// text, whose lone CR belongs to a quoted value.
std::string crLfFromLfKeepingCr(std::string_view s);

// ASCII-only helpers for the parsers.
inline bool isAsciiDigit(char16_t c) noexcept { return c >= u'0' && c <= u'9'; }
bool isSpace(char16_t c) noexcept;

} // namespace qz
