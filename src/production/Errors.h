// How the production engine reports failures: its own errors are raised as
// 0x80040000 + message id with the message table's text, and every public
// operation hands what fails inside it to the central handler, which logs it
// and raises it again to the caller.
#pragma once

#include "platform/automation/AutomationError.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace qz::production {

// Script run-time errors that the engine raises itself.
inline constexpr std::int32_t kScriptTypeMismatch = 13;
inline constexpr std::int32_t kScriptSubscriptOutOfRange = 9;

// Raises 0x80040000 + id with the message table's text.
[[noreturn]] void raiseOwnError(std::int32_t id);
// Raises a script run-time error with its usual text.
[[noreturn]] void raiseScriptError(std::int32_t number);

// Flags of the central handler: 1 log, 2 raise again, 4 show.
inline constexpr int kLog = 1;
inline constexpr int kRaise = 2;

// The current failure as an automation error (other exceptions are wrapped).
AutomationError currentError();
// Passes an error to the central handler; returns only without kRaise.
void handleError(const AutomationError& error, std::string_view module,
                 std::string_view routine, int flags);

// Runs f; any failure goes to the central handler with flags 3 (log and
// raise again), so it reaches the caller with the routine's name logged.
template <class F>
auto guarded(std::string_view module, std::string_view routine, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (...) {
        handleError(currentError(), module, routine, kLog | kRaise);
        throw;  // not reached: the handler raises
    }
}

// Windows-1252 bytes to UTF-8 and back (characters outside the code page
// become "?" in ansi form).
std::string ansiToUtf8(std::string_view ansi);

// The whole content of a file (3100 when it cannot be opened).
std::string readWholeFile(const std::string& path);

// A text converted as CLng converts it (13 when it is no number, 6 on overflow).
std::int32_t convertToLong(std::string_view utf8);

} // namespace qz::production
