// Query parameters: before a command's SQL runs, each "?" of its WHERE
// conditions is asked for and the answer takes its place, exactly as given
// (no quotes added, nothing escaped). An answer is data: it must be one
// literal, so that it never changes what the SQL does. How an answer is asked
// for is the caller's: the designer shows a prompt, the command line reads
// the answers it was given.
#pragma once

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

// The text with every parameter of its WHERE clause replaced. Conditions are
// split at " AND " and " OR " (written back in upper case; quoted literals
// stay as they are); within a condition the "?"
// right of its last "=" (or every "?" when it has none) are asked for, right
// to left. Quoted literals and bracketed names are never split and their "?"
// are no parameters. The clause ends at the first GROUP BY, HAVING, ORDER BY
// or WITH after it at its own parenthesis depth. Any failure (a refused
// answer included) makes the result ""; a cancelled prompt raises an error
// with kParameterCancelled as its description, so that the caller leaves
// the command out and says why.
std::string ResolveSqlParameters(const std::string& sql, const ParameterPrompt& prompt);

// Why an answer is not one literal ("" when it is): a number, a text in
// single quotes with each quote inside doubled (and no backslash, which some
// servers read as an escape), a date between "#", Null, True or False. An
// empty answer removes the "?"; a date is spliced as a quoted ISO text.
std::string ParameterAnswerProblem(std::string_view answer);

std::string ReplaceParameterFields(const std::string& condition, const ParameterPrompt& prompt);
// The position (from 1) where the WHERE clause ends: the leading blank of its
// end keyword, or the length of the text when it has none.
std::size_t FindEndWhereClause(const std::string& sql);

} // namespace qz::production
