// SQL names of the query builder: quoting a catalog name for SQL text,
// unquoting it, and splitting a qualified name "table.column".
#pragma once

#include "query/Catalog.h"

#include <string>
#include <string_view>

namespace qz::query {

// The name quoted for the builder's bracket dialect: "[..]" for names with
// "#", backquotes for names ending in "$", "[..]" for names with a space.
// Names that would not survive otherwise (holding "]" or "`", a character
// that is not a letter, digit or underscore, or equal to a keyword) are quoted
// too: backquotes with "`" doubled when the name holds "]" or "`".
std::string QBEncodeName(std::string_view name);

// The name quoted as the backend of a dialect reads it.
std::string EncodeName(std::string_view name, const SqlDialect& dialect);

// "table.column" with each part quoted (a column named "*" too: all columns
// are written by the selected column itself).
std::string EncodeFQName(std::string_view table, std::string_view column,
                         const SqlDialect& dialect);

// The name without its enclosing "[..]", backquotes or double quotes (doubled
// quotes inside are undone). Throws AutomationError (invalid argument) for a
// name whose quotes do not match.
std::string QBDecodeName(std::string_view name);
// The same, false instead of an exception.
bool TryDecodeName(std::string_view name, std::string& out);

// Splits at the first "." outside quotes and decodes both parts. False, with
// the out arguments unchanged, when there is no such "." or it comes first, or
// when a part's quotes do not match.
bool SplitFQName(std::string_view qualified, std::string& table, std::string& column);
std::string GetTableName(std::string_view qualified);
std::string GetColumnName(std::string_view qualified);

// True for a word that SQLite, PostgreSQL or SQL Server reserves (compared
// without regard to case).
bool IsSqlKeyword(std::string_view word);

} // namespace qz::query
