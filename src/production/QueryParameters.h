// Query parameters: before a command's SQL runs, each "?" of its WHERE
// conditions is asked for, and the answer is bound to it as a value of its
// type: it is never written into the text, so that nothing around the "?"
// (a "5-" before an answer "-1", which would make "--" a comment) can change
// what it means. An answer must be one literal. How an answer is asked for
// is the caller's: the designer shows a prompt, the command line reads the
// answers it was given.
#pragma once

#include "platform/ado/SqlParameter.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qz::production {

// Asks for one value; the caption is the condition up to and including the
// "?" asked for. No value: the prompt was cancelled.
inline constexpr const char* kParameterCancelled =
    "The value of a \"?\" was not given (its prompt was cancelled): nothing that needs it is run.";
using ParameterPrompt = std::function<std::optional<std::string>(const std::string& caption)>;

// The text with every parameter of its WHERE clause answered, and the values
// to bind to its "?". Conditions are split at " AND " and " OR " (written back
// in upper case; quoted literals stay as they are); within a condition the
// "?" right of its last "=" (or every "?" when it has none) are asked for,
// right to left. Quoted literals, bracketed names and comments are never
// split and their "?" are no parameters. The clause ends at the first GROUP
// BY, HAVING, ORDER BY or WITH after it at its own parenthesis depth. When a
// value is answered, every other "?" of the text outside literals and
// comments (one that is not asked for) is bound to Null, as an unbound one
// reads. Any failure (a refused answer included) makes the text ""; a
// cancelled prompt raises an error with kParameterCancelled as its
// description, so that the caller leaves the command out and says why.
ado::BoundSql ResolveSqlParameters(const std::string& sql, const ParameterPrompt& prompt);

// Why an answer is not one literal ("" when it is): a number (of at most 38
// digits, as a database's decimals hold), a text in single quotes with each
// quote inside doubled (and no backslash, which some servers read as an
// escape), a date between "#", Null, True or False. An empty answer removes
// the "?".
std::string ParameterAnswerProblem(std::string_view answer);

// The value an answer binds: a number as an integer (when it fits in 64
// bits), a decimal (its digits, when written without exponent) or a double;
// a text without its quotes; a date as an ISO date, date and time, or time
// (a time alone when it has no day; "#1899-12-30 10:00#" is a day and a
// time); Null, True and False as such. The answer must have no problem.
ado::SqlParameter ParameterValue(std::string_view answer);

// The position (from 1) where the WHERE clause ends: the leading blank of its
// end keyword, or the length of the text when it has none.
std::size_t FindEndWhereClause(const std::string& sql);

} // namespace qz::production
