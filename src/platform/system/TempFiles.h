// Temporary file names as the platform makes them: the first three
// characters of a prefix, a hexadecimal number and ".TMP", created empty.
#pragma once

#include <string>
#include <string_view>

namespace qz::sys {

// Creates a new, empty file "<folder>/<prefix's first 3 characters><HEX>.TMP"
// and returns its full name. The number is unique among the files of the
// folder at the moment of creation, also across threads and processes (the
// file is created exclusively; a clash moves on to the next number).
// Returns "" and sets `error` (errno) on failure.
std::string createTempFile(const std::string& folder, std::string_view prefix, int& error);

} // namespace qz::sys
