// Central error handling: every routine traps its failures and hands them to
// HandleError with its module and routine names. The handler completes a
// missing description from the message table, appends the error to the daily
// log, shows it in the error dialog and raises it again, as the flags ask.
#pragma once

#include "platform/automation/AutomationError.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>
#include <string_view>
#include <type_traits>

namespace qz {

// HandleError flags; they combine (3 = log and raise, 5 = log and show).
inline constexpr int kErrLog = 1;
inline constexpr int kErrRaise = 2;
inline constexpr int kErrShow = 4;

// Source of the errors the system raises itself.
inline constexpr std::string_view kErrorSource = "QzStudio";

// The number an own error of a message id is raised with.
constexpr std::int32_t OwnErrorNumber(std::int32_t id) noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(kOwnErrorBase) +
                                     static_cast<std::uint32_t>(id));
}

// A copy of one error, kept aside around clean-up code.
struct ErrorInfo {
    std::string Description;
    std::int32_t HelpContext = 0;
    std::string HelpFile;
    std::int32_t LastDllError = 0;
    std::int32_t Number = 0;
    std::string Source;
};

// The text of a message id; "" when the table has none. When the thread's
// application object has Locale 1025 the id + 10000 block is asked first.
std::string GetResourceString(std::int32_t id);

void CaptureErrorInfo(const AutomationError& err, ErrorInfo& info);
void RestoreErrorInfo(const ErrorInfo& info, AutomationError& err);
// Description := the message text of Number - kOwnErrorBase, or message 2009.
void GetResourceErrorDescription(ErrorInfo& info);
// True when the number is shown with a general message: 3117-3999 -> 3000,
// 4201-4999 -> 4000 (messageId is set then). messageId is 0 for numbers that
// are not own errors, and unchanged for the other own errors.
bool IsUnexpectedErrorNumber(std::int32_t number, std::int32_t& messageId);
// The system's text for an error code (errno), ending with CR LF as system
// messages do; message 1001 when the system has none.
std::string GetSystemErrorMessage(std::int32_t code);
// Shows the error dialog modally through the current UI host.
void ShowErrorDialog(const std::string& message, const std::string& frameCaption);
// An error of the data layer as the error window shows it: the system's
// messages first, one a line, then their numbers under "Details:" (the log
// keeps them too); a number is never what the author reads first.
std::string DataErrorMessage(const std::vector<std::pair<std::int32_t, std::string>>& errors);

// The handler. With kErrRaise it leaves by throwing the completed error
// (number, source, description, help file and context; no system code);
// otherwise `err` is updated with the completed description and it returns.
void HandleError(AutomationError& err, std::string_view module, std::string_view routine,
                 int flags, std::string_view detail = {});
// The same for the exception in flight; call it inside a catch block. Returns
// the completed error when it does not raise.
AutomationError HandleError(std::string_view module, std::string_view routine, int flags,
                            std::string_view detail = {});

// The error handler of a routine, written once: runs `body` and hands a
// failure to HandleError under the module's and routine's names with `flags`
// (log, show, raise again). With kErrRaise the completed error leaves to the
// caller. A body that gives nothing makes Handled give true when it ran
// through and false when it failed; a body that gives a value makes it give
// that value, or a value-initialised one when a failure is not raised.
template <class F>
auto Handled(std::string_view module, std::string_view routine, int flags, F&& body) {
    using R = std::invoke_result_t<F&>;
    try {
        if constexpr (std::is_void_v<R>) {
            body();
            return true;
        } else {
            return R(body());
        }
    } catch (...) {
        HandleError(module, routine, flags);
    }
    if constexpr (std::is_void_v<R>) return false;
    else return R{};
}

// The same where the routine also cleans up on a failure: `cleanUp` runs
// before the report, so that the author does not wait behind the error
// dialog for it (the busy cursor, a cancelled edit, memory let go); the flags
// then act as in Handled. Returns true when the body ran through.
template <class F, class G>
bool HandledWithCleanUp(std::string_view module, std::string_view routine, int flags, F&& body, G&& cleanUp) {
    try {
        body();
        return true;
    } catch (...) {
        cleanUp();
        HandleError(module, routine, flags);
    }
    return false;
}

// The same where the routine goes on from the error itself: `onError` runs
// after HandleError has logged and shown it, with the completed error (its
// own message, a fallback state), and raises what the routine raises, if
// anything: a kErrRaise among the flags is not acted on. Returns true when
// the body ran through.
template <class F, class G>
bool HandledWithError(std::string_view module, std::string_view routine, int flags, F&& body, G&& onError) {
    try {
        body();
        return true;
    } catch (...) {
        AutomationError err = HandleError(module, routine, flags & ~kErrRaise);
        onError(err);
    }
    return false;
}

// Runs a step whose failure changes nothing the caller relies on (closing
// what is being let go, a clean-up after an error already in hand): any
// failure of it is dropped. Returns true when it ran through.
template <class F>
bool Quietly(F&& step) noexcept {
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

// The exception in flight as an automation error: an AutomationError as it
// is, std::bad_alloc as error 7 "Out of memory", a system error (including
// std::filesystem's) as the runtime's file error with its errno, any other
// exception as a generic failure with its text.
AutomationError CurrentError();

// True for the own error of a message id.
inline bool IsOwn(const AutomationError& e, std::int32_t id) noexcept { return e.Number == OwnErrorNumber(id); }

// An own error of a message id with the table's text.
AutomationError OwnError(std::int32_t id);
// An own error of a message id with a description composed by the caller.
AutomationError OwnError(std::int32_t id, std::string description);
[[noreturn]] void RaiseError(std::int32_t id);
[[noreturn]] void RaiseError(std::int32_t id, std::string description);
// 2018 "Unable to open qzc file.", going on to name the file at `path` and
// why it cannot be opened ("is not UTF-8 text").
AutomationError QzcCannotOpenError(const std::string& path, const std::string& why);
// The error of a QZC file that cannot be written: the template's properties
// cannot be updated, and the file at `path` is read-only.
AutomationError QzcReadOnlyError(const std::string& path);

// The log writer's steps (used by HandleError).
void InitializeErrorLog();
void SetErrorLogFileName(const std::string& prefix);
void WriteErrorLog(const ErrorInfo& info, std::string_view module, std::string_view routine,
                   std::string_view detail);
// The full name of the log file the next record goes to.
std::string ErrorLogFileName();
// The folder the log would be written to, with nothing created.
std::string PlannedErrorLogFolder();

// The clock of the log (for tests); an empty function restores the system clock.
void SetErrorLogClock(std::function<std::chrono::system_clock::time_point()> clock);

} // namespace qz
