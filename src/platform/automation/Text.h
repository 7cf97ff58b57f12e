// UTF-8 / UTF-16 conversion at the edges of the system, and the case-blind
// comparisons used for member names, collection keys and text compare mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

// Invalid sequences become U+FFFD; nothing throws.
std::string toUtf8(std::u16string_view s);
std::u16string fromUtf8(std::string_view s);

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
// collation of a locale (LCID), ignoring case but not accents. Pure ASCII
// text takes the case-blind code-unit order, which agrees with it for letters
// and digits.
int compareText(std::u16string_view a, std::u16string_view b, std::uint32_t lcid) noexcept;
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

// ASCII-only helpers for the parsers.
inline bool isAsciiDigit(char16_t c) noexcept { return c >= u'0' && c <= u'9'; }
bool isSpace(char16_t c) noexcept;

} // namespace qz
