// Failures of system calls as automation errors, numbered as the scripting
// runtime numbers file errors (53 "File not found", 70 "Permission denied",
// ...), with the errno kept as the system error code.
#pragma once

#include "platform/automation/AutomationError.h"

#include <string>
#include <string_view>

namespace qz::sys {

// The runtime error number of an errno (75 "Path/File access error" when
// there is no closer one).
int runtimeErrorOf(int err) noexcept;
// The runtime's text for the numbers runtimeErrorOf gives.
std::string runtimeErrorText(int number);
// The error for a failed call on a path; Source is "QzStudio".
AutomationError systemError(int err);

// The system's text for an errno (no line break); "" when it has none.
std::string errnoText(int err);

} // namespace qz::sys
