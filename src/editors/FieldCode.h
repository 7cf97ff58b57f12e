// Rules the two field editors share over a field's label and code: which
// keys the label box takes, which labels are valid, the line-break rule of
// an expression, the call that links a picture, and printing a field's code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qz::editors {

// Whether a typed character reaches the label box: backspace, Ctrl+V and
// space always; otherwise "-" to "{" except ";" to "@" and "[" to "`" (the
// underscore excepted).
bool LabelKeyAllowed(std::int32_t keyAscii) noexcept;
// A label is valid when it is not blank and holds no apostrophe and no
// double quote.
bool ValidLabel(const std::string& label) noexcept;

// An expression's line breaks: each CR LF must follow an underscore (spaces
// between them allowed), the script language's continuation mark; a code
// beginning with a line break, or a line of spaces only before one, is
// invalid. 1 valid, -1 invalid.
std::int32_t CheckForValidCRLF(const std::string& code) noexcept;

// The script call that inserts a linked picture:
// QzInsertPictureLinkRTF("path"), quotes in the path doubled.
std::string PictureLinkCall(const std::string& path);
// The open dialog's list of picture kinds: (description, patterns) pairs.
const std::vector<std::pair<std::string, std::string>>& PictureFilters();

// Prints a field on the current printer in 10 point type: an empty line, the
// label, " - " and the page number, an empty line, then the code. A failure
// throws the document away and is raised.
void PrintFieldCode(const std::string& label, const std::string& code);

} // namespace qz::editors
