// Numbers in the texts the program reads and writes for data and code (script
// literals, text coerced to a number, cells of workbooks and delimited files,
// SQL, option values) are in the C form whatever the process's locale: "."
// before the decimals, no grouping. The studio runs under the user's locale,
// whose decimal comma the C library's strtod and printf follow; these do not,
// so that the studio computes exactly as the command line does. Showing a
// number in a locale's form is the business of the script's locale rules.
#pragma once

#include <string>
#include <string_view>

namespace qz {

// Reads a decimal number at the start of [first, last): an optional sign,
// digits with at most one "." (at least one digit), an optional exponent ("e"
// or "E", an optional sign, digits). Returns the end of what was read, or
// first when no number starts there. A magnitude beyond a Double's range
// reads as an infinity, one below it as zero, as strtod gives them.
const char* readDecimal(const char* first, const char* last, double& out) noexcept;

// True when the whole text is one such number (no blanks around it).
bool readDecimal(std::string_view text, double& out) noexcept;

// The text printf's "%.*g" gives for the value in the C locale.
std::string decimalText(double value, int significantDigits);

// The shortest of 15, 16 and 17 significant digits that reads back as the
// same value ("3.5", "0.1", "1.0000000000000002").
std::string roundTripText(double value);

} // namespace qz
