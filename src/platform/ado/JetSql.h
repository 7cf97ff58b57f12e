// Access SQL on the databases that the Jet provider's file sources (Access
// databases, Excel workbooks, folders of text files) are read into: a
// command is read as Access SQL and written as SQLite's, and the Access
// functions it may call are registered on the database. An SQLite file keeps
// SQLite's own SQL.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace qz::ado {

// The SQLite text of one Access SELECT statement:
//   a & b               jet_concat(a, b): texts joined, Null as "" (Null
//                       only when every part is Null), numbers and dates as
//                       the script writes them
//   + - * / \ Mod ^     the script's own operators, a chain of one level's
//                       in one call (jet_ops('+-', a, b, c)): a date plus
//                       days is a date, "/" never divides whole numbers
//                       only, a text that is no number is a type mismatch
//   IIf(c, a, b)        CASE WHEN c THEN a ELSE b END, an IIf in a branch
//                       joined into the same CASE
//   And, Or chains      balanced, so that they nest as their logarithm
//   Sum(x), Avg(x)      of jet_number(x): a text that is no number fails
//   #7/4/1996#          a date: the text dates are kept in ('1996-07-04',
//                       with ' HH:MM:SS' when it has a time of day)
//   "text"              a text literal
//   True Yes On         -1; False No Off 0
//   TOP n [PERCENT]     the first n rows (or per cent of them, rounded up)
//                       and those that tie with the last of them in the
//                       ORDER BY
//   Left( Right(       calls of the functions, not join keywords
//   a!b                 a.b
//   name                [name]: a word SQLite reads as its own (CURRENT_DATE,
//                       NATURAL) is a name in Access SQL
//   f(...)              an Access function (jet_f) or Sum, Avg, Count, Min,
//                       Max; any other is an undefined function
// An expression in the select list without a name is named Expr1000 and on,
// by its position (Expr1001 for the second column). Access SQL has no
// comments: "--" and "/*" are operators. Translation ends at the thread's
// deadline. Like is SQLite's
// operator, which the registered functions make Access's. What has no
// equivalent is refused with the provider's error naming it: crosstab
// queries (TRANSFORM ... PIVOT), action queries (INSERT, UPDATE, DELETE,
// SELECT ... INTO and table definitions), declared parameters (PARAMETERS)
// and the operators Xor, Eqv and Imp.
// The names of the select list's columns that give dates (a date, DateAdd,
// a sum ...), truth values (comparisons, And, Or, Not) and Currency (CCur)
// are added to `columns`: SQLite's own columns of these expressions have no
// type.
// DISTINCTROW groups by the columns of the tables whose columns are
// selected, which `columnsOf` gives by a table's or view's name (none when
// it has no such table); without it DISTINCTROW changes nothing.
// With `declaredType`, which gives the declared type of the first column of
// a SELECT statement ("" when it has none), an item that is one Min or Max of
// a column keeps the column's Date, Currency or Single (added to dates,
// currencies, singles), and one Sum or Avg of a Currency column is Currency,
// summed exactly by jet_sum_currency and jet_avg_currency.
// The names of the tables and views the FROM clauses read are added to
// `tables`, and those the statement gives its columns (aliases, Expr1000) to
// `named`.
struct JetColumns {
    std::vector<std::string> dates, booleans, currencies, singles;
    std::vector<std::string> tables, named;
    std::function<std::string(const std::string& select)> declaredType;
};
using JetTableColumns = std::function<std::vector<std::string>(const std::string& table)>;
std::string jetToSqlite(std::string_view accessSql, JetColumns* columns = nullptr,
                        const JetTableColumns& columnsOf = {});

// Registers the Access functions on a database. Every SQLite database gets
// those that SQLite lacks under any name (Nz, UCase, LCase, Left, Right, Mid,
// Len, Year, Month, Day, Now); with `accessDialect`, also those whose names
// SQLite's own functions use (Format, Round, Trim, InStr, Date, like ...)
// and the ones jetToSqlite writes. Each is the script run time's own
// built-in where it has one.
void addAccessFunctions(sqlite3* db, bool accessDialect);

// The collation of the text columns of the tables a file source is read
// into, registered by addAccessFunctions with `accessDialect`: texts compare
// and sort as in Access, without regard to case (of any letter) and with
// letters that carry accents beside their base letters.
inline constexpr const char* kJetTextCollation = "jet_text";

// Whether an Access function of that name (without regard to case) is
// registered; jetToSqlite calls it as jet_<name in lower case>.
bool isAccessFunction(std::string_view name);

} // namespace qz::ado
