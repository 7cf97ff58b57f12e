// The script run-time error numbers with their English texts, and helpers that
// raise them. Conversions and operators in this layer raise the same errors a
// script sees, so the table lives here; the script engine and its run-time
// library reach it through platform/script/runtime/ScriptErrors.h.
#pragma once

#include "AutomationError.h"

#include <cstdint>
#include <string_view>

namespace qz {

inline constexpr std::string_view kRuntimeErrorSource = "Microsoft VBScript runtime error";
inline constexpr std::string_view kCompileErrorSource = "Microsoft VBScript compilation error";

// Frequently raised numbers, named for readability at the raise sites.
namespace err {
inline constexpr std::int32_t InvalidCall = 5;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t OutOfMemory = 7;
inline constexpr std::int32_t SubscriptOutOfRange = 9;
inline constexpr std::int32_t ArrayLocked = 10;
inline constexpr std::int32_t DivisionByZero = 11;
inline constexpr std::int32_t TypeMismatch = 13;
inline constexpr std::int32_t OutOfStack = 28;
inline constexpr std::int32_t BadFileNameOrNumber = 52;
inline constexpr std::int32_t FileNotFound = 53;
inline constexpr std::int32_t BadFileMode = 54;
inline constexpr std::int32_t FileAlreadyExists = 58;
inline constexpr std::int32_t InputPastEnd = 62;
inline constexpr std::int32_t PermissionDenied = 70;
inline constexpr std::int32_t PathFileAccess = 75;
inline constexpr std::int32_t PathNotFound = 76;
inline constexpr std::int32_t ObjectNotSet = 91;
inline constexpr std::int32_t InvalidNull = 94;
inline constexpr std::int32_t ObjectRequired = 424;
inline constexpr std::int32_t CannotCreateObject = 429;
inline constexpr std::int32_t NoSuchMember = 438;
inline constexpr std::int32_t ArgumentNotOptional = 449;
inline constexpr std::int32_t WrongArgCount = 450;
inline constexpr std::int32_t NotACollection = 451;
inline constexpr std::int32_t KeyExists = 457;
inline constexpr std::int32_t UndefinedVariable = 500;
inline constexpr std::int32_t IllegalAssignment = 501;
inline constexpr std::int32_t ClassNotDefined = 506;
inline constexpr std::int32_t RegExpSyntax = 5017;
inline constexpr std::int32_t ElementNotFound = 32811;
} // namespace err

// The English text of a run-time or compilation error number, or an empty
// view when the number has none.
std::string_view errorText(std::int32_t number) noexcept;

// Throws AutomationError(number, "Microsoft VBScript runtime error", text).
[[noreturn]] void throwRuntimeError(std::int32_t number);
// The same with a text of the caller's (an object's own wording).
[[noreturn]] void throwRuntimeError(std::int32_t number, std::string_view description);
// Throws AutomationError(number, "Microsoft VBScript compilation error", text).
[[noreturn]] void throwCompileError(std::int32_t number);

// Builds (without throwing) the run-time error of a number.
AutomationError runtimeError(std::int32_t number);

} // namespace qz
