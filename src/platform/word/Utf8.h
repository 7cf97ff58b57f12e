// UTF-8 and Windows-1252 conversions used by the model and its RTF reader
// and writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qz::word {

inline void AppendUtf8(std::string& out, char32_t c) {
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

// Decodes UTF-8; a malformed sequence gives U+FFFD for its first byte.
std::u32string DecodeUtf8(std::string_view s);

// Windows-1252: byte to code point (the five unassigned bytes map to the C1
// controls of the same value, so that every byte survives a round trip).
char32_t Cp1252ToUnicode(unsigned char b);
// Code point to a Windows-1252 byte; -1 when the character has none.
int UnicodeToCp1252(char32_t c);

// The byte-to-character table of a single-byte Windows code page (ICU data),
// or nullptr for Windows-1252 itself and for code pages without one (double
// byte ones): their bytes are read as Windows-1252, which keeps them intact.
const char32_t* CodePageTable(int codePage);
// Double-byte code pages (932, 936, 949, 950): whether a byte leads a pair,
// and the character of a pair (U+FFFD when the pair has none).
bool IsDbcsCodePage(int codePage);
bool IsDbcsLeadByte(int codePage, unsigned char b);
char32_t DecodeDbcsPair(int codePage, unsigned char lead, unsigned char trail);
// The code page of an RTF font character set (\fcharsetN); 0 and 1 are the
// document's ANSI code page, 2 (symbol) reads as Windows-1252.
int CharsetCodePage(int charset, int ansiCodePage);

} // namespace qz::word
