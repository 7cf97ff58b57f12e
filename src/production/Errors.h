// How the production engine reports failures: its own errors are raised as
// 0x80040000 + message id with the message table's text (core/ModErrors.h),
// and every routine hands what fails inside it to the central handler, which
// logs it and raises it again to the caller.
#pragma once

#include "core/ModErrors.h"
#include "platform/automation/ErrorTexts.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qz::production {

[[noreturn]] inline void raiseOwnError(std::int32_t id) { RaiseError(id); }

// Windows-1252 bytes as UTF-8.
std::string ansiToUtf8(std::string_view ansi);

// The whole content of a file (3100 when it cannot be opened).
std::string readWholeFile(const std::string& path);

// A text converted as CLng converts it (13 when it is no number, 6 on overflow).
std::int32_t convertToLong(std::string_view utf8);

} // namespace qz::production
