// Text decoding for the model and its RTF reader: UTF-8 to code points, the
// code pages that RTF fonts name. UTF-8 and Windows-1252 themselves are the
// shared conversions of platform/automation/Text.h and
// platform/system/CodePage.h.
#pragma once

#include "platform/automation/Text.h"
#include "platform/system/CodePage.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qz::word {

// Decodes UTF-8; a malformed sequence gives U+FFFD for its first byte.
std::u32string DecodeUtf8(std::string_view s);

// The byte-to-character table of a single-byte Windows code page (ICU data),
// or nullptr for Windows-1252 itself and for code pages without one (double
// byte ones): their bytes are read as Windows-1252, which keeps them intact.
const char32_t* CodePageTable(int codePage);
// The byte of a character in a code page, -1 when the code page has no single
// byte for it (every character above 0x7F of a double-byte code page).
int EncodeCodePageByte(int codePage, char32_t c);
// Double-byte code pages (932, 936, 949, 950): whether a byte leads a pair,
// and the character of a pair (U+FFFD when the pair has none).
bool IsDbcsCodePage(int codePage);
bool IsDbcsLeadByte(int codePage, unsigned char b);
char32_t DecodeDbcsPair(int codePage, unsigned char lead, unsigned char trail);
// The code page of an RTF font character set (\fcharsetN): 0 (ANSI) and 2
// (symbol) read as Windows-1252, 1 (default) and unknown sets as the
// document's code page.
int CharsetCodePage(int charset, int ansiCodePage);

} // namespace qz::word
