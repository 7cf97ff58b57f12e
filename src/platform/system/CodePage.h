// The ANSI code page of the system, fixed to Windows-1252: RTF files and
// script files are read and written in it.
#pragma once

#include "platform/automation/Text.h"

#include <string>
#include <string_view>

namespace qz::sys {

// Windows-1252 bytes -> UTF-8 / UTF-16. The five bytes that 1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same
// value, as Windows does, so every byte string converts and converts back.
std::string cp1252ToUtf8(std::string_view bytes);
std::u16string cp1252ToUtf16(std::string_view bytes);

// The Windows-1252 byte of a code point, or -1 when 1252 cannot hold it.
int unicodeToCp1252(char32_t cp) noexcept;
// The code point of a Windows-1252 byte.
char32_t cp1252ToUnicode(unsigned char byte) noexcept;

// UTF-8 / UTF-16 -> Windows-1252. Characters that 1252 cannot hold become
// `replacement`; ill-formed input counts as such a character.
std::string utf8ToCp1252(std::string_view utf8, char replacement = '?');
std::string utf16ToCp1252(std::u16string_view utf16, char replacement = '?');

// True when every character of the UTF-8 text exists in Windows-1252.
bool fitsCp1252(std::string_view utf8) noexcept;

// UTF-8 <-> UTF-16; ill-formed input becomes U+FFFD.
inline std::u16string utf8ToUtf16(std::string_view utf8) { return fromUtf8(utf8); }
inline std::string utf16ToUtf8(std::u16string_view utf16) { return toUtf8(utf16); }

} // namespace qz::sys
