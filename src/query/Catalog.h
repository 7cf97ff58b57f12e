// The database catalog as the query model reads it: the data layer's tables,
// columns and foreign keys, read once through a connection, with lookups by
// the database's case rule and the way its SQL text quotes names.
#pragma once

#include "platform/ado/Catalog.h"
#include "platform/automation/Text.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qz::ado {
class Connection;
}

namespace qz::query {

// How unquoted identifiers are folded by the backend (ODBC SQL_IDENTIFIER_CASE).
enum class IdentifierCase { Insensitive, Lower, Upper, Sensitive };

// How the generator quotes names. Brackets: "[..]" and backquotes (the
// builder's own dialect); DoubleQuotes: standard "..", for backends whose
// only identifier quote is the double quote.
enum class QuoteStyle { Brackets, DoubleQuotes };

struct SqlDialect {
    QuoteStyle Quote = QuoteStyle::Brackets;
    IdentifierCase Case = IdentifierCase::Insensitive;
};

using ado::CatalogColumn;
using ado::CatalogKey;
using ado::CatalogKeyColumn;
using ado::CatalogTable;

// Items of the model hold these: a column reference keeps its table alive,
// and two references to one catalog column compare equal.
using TableRef = std::shared_ptr<const CatalogTable>;
using ColumnRef = std::shared_ptr<const CatalogColumn>;

class Catalog {
public:
    // Key names are made unique in the catalog (a relationship's name joins
    // its table's name with its key's).
    explicit Catalog(std::vector<CatalogTable> tables, SqlDialect dialect = {});

    const std::vector<TableRef>& Tables() const { return tables_; }
    // The table of that name by the catalog's case rule, or null.
    TableRef FindTable(std::string_view name) const;
    // The columns of a table of this catalog, in the catalog's order.
    const std::vector<ColumnRef>& Columns(const CatalogTable& table) const;
    // The column of that name by the catalog's case rule, or null.
    ColumnRef FindColumn(const CatalogTable& table, std::string_view name) const;
    const SqlDialect& Dialect() const { return dialect_; }
    // Two names are the same object's by the catalog's case rule.
    bool NamesEqual(std::string_view a, std::string_view b) const;

private:
    size_t IndexOf(const CatalogTable& table) const;
    SqlDialect dialect_;
    std::vector<TableRef> tables_;
    std::vector<std::vector<ColumnRef>> columns_; // parallel to tables_
};
using CatalogRef = std::shared_ptr<const Catalog>;

// True when the column is one of the table's own.
bool TableOwnsColumn(const CatalogTable& table, const CatalogColumn* column);

// Column kind for search conditions from an ADO data type:
// 0 unknown, 1 not searchable, 2 Boolean, 3 numeric, 4 text, 5 date and time.
int ColumnKindOfAdoType(std::int32_t adoType);

// The catalog of an open connection, with the dialect of its database.
CatalogRef CatalogOf(ado::Connection& connection);
// Opens a connection for every connection string the data layer takes and
// reads its catalog. Throws AutomationError with the database's message.
CatalogRef OpenCatalog(const std::string& connectionString);

} // namespace qz::query
