// What can be told of an SQL text without the server's own parser.
#pragma once

#include <cstddef>
#include <string_view>

namespace qz::ado {

// Whether the text holds at most one statement: after a ";" outside quotes
// and comments come only blanks, further ";" and comments. Servers read
// quotes and comments in different ways (a backslash escapes a quote for
// some, "--" starts a comment only before a blank for others); the text
// passes only when it holds one statement under every one of these readings.
bool holdsOneStatement(std::string_view sql);

// Refuses values for a statement whose "?" markers, as its provider (named
// by `source`) counts them, are not as many as the values.
void checkParameterCount(std::string_view source, std::ptrdiff_t markers, std::size_t values);

} // namespace qz::ado
