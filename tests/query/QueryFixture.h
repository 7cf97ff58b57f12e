// The fixture schema of the query tests, in SQLite files and in PostgreSQL,
// and helpers that run SQL text and return its rows.
#pragma once

#include "query/QBSelectQuery.h"

#include <string>
#include <vector>

namespace qz::query::test {

using Rows = std::vector<std::vector<std::string>>;

// A fresh SQLite file of the fixture schema with its rows (one per process).
const std::string& FixtureSqlitePath();
// Creates an SQLite file from SQL text in a temporary folder; returns its path.
std::string CreateSqliteFile(const std::string& name, const std::string& sql);
// The fixture schema and rows for PostgreSQL (quoted names keep their case).
const char* FixturePostgresSql();

// Rows of a statement, sorted, each value as text ("<null>" for NULL).
// False with the backend's message in error when the statement fails.
bool SqliteRows(const std::string& path, const std::string& sql, Rows& rows, std::string& error);
bool OdbcRows(const std::string& connectionString, const std::string& sql, Rows& rows,
              std::string& error);

// A catalog filled in memory, as another data-access layer would fill one.
// Columns are integers unless their name ends in "$t" (text).
struct TableDef {
    std::string name;
    std::vector<std::string> columns;
    std::vector<CatalogKey> keys;
};
CatalogRef MemoryCatalog(const std::vector<TableDef>& tables, SqlDialect dialect = {});

// The table's columns as the model holds them, and the one of that name
// (without regard to case; null when absent).
std::vector<ColumnRef> Cols(const TableRef& table);
ColumnRef Col(const TableRef& table, std::string_view name);

// A text that is equal for two models that mean the same query: rows to
// select, columns in order, the set of tables, relationships regardless of
// their direction and numbering, the used conditions in order with the match
// type, and the order expressions by priority.
std::string Canonical(const QBSelectQuery& q);

} // namespace qz::query::test
