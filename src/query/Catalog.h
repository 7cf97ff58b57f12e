// The database catalog as the query model reads it: tables and views with
// their type texts, columns with ADO data types and sizes, foreign keys as
// column pairs, and the rules for names (case, quoting) of the backend.
//
// This is deliberately small: a catalog of the data-access layer can stand
// behind it by filling the same structures.
#pragma once

#include "platform/automation/Text.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

struct CatalogColumn {
    std::string Name;
    std::int32_t Type = 0;        // ADO DataTypeEnum
    std::int64_t DefinedSize = 0; // 0 when the type has no size
};
using ColumnRef = std::shared_ptr<CatalogColumn>;

struct CatalogKeyColumn {
    std::string Name;          // the referencing column
    std::string RelatedColumn; // the referenced column
};

struct CatalogKey {
    std::string Name;         // unique in the catalog
    std::int32_t Type = 2;    // 2: foreign key
    std::string RelatedTable; // the referenced table, as the catalog names it
    std::vector<CatalogKeyColumn> Columns;
};

class Catalog;

class CatalogTable {
public:
    std::string Name;
    std::string Type; // "TABLE", "VIEW", "SYSTEM TABLE", "SYSTEM VIEW", ...

    // Columns and keys are read from the backend on first use.
    const std::vector<ColumnRef>& Columns();
    const std::vector<CatalogKey>& Keys();
    // The column of that name by the catalog's case rule, or null.
    ColumnRef FindColumn(std::string_view name);

private:
    friend class Catalog;
    void Load();
    std::weak_ptr<Catalog> owner_;
    bool loaded_ = false;
    std::vector<ColumnRef> columns_;
    std::vector<CatalogKey> keys_;
};
using TableRef = std::shared_ptr<CatalogTable>;

class Catalog : public std::enable_shared_from_this<Catalog> {
public:
    virtual ~Catalog() = default;

    const std::vector<TableRef>& Tables() const { return tables_; }
    // The table of that name by the catalog's case rule, or null.
    TableRef FindTable(std::string_view name) const;
    const SqlDialect& Dialect() const { return dialect_; }
    // Two names are the same object's by the catalog's case rule.
    bool NamesEqual(std::string_view a, std::string_view b) const;

protected:
    // Adds a table; the subclass calls this while it reads the table list.
    TableRef AddTable(std::string name, std::string type);
    // Reads the columns and keys of one table.
    virtual void LoadTable(const CatalogTable& table, std::vector<ColumnRef>& columns,
                           std::vector<CatalogKey>& keys) = 0;
    // Makes every key name unique in the catalog (keys of a table are loaded lazily).
    std::string UniqueKeyName(std::string wanted);

    SqlDialect dialect_;

private:
    friend class CatalogTable;
    std::vector<TableRef> tables_;
    std::vector<std::string> keyNames_;
};
using CatalogRef = std::shared_ptr<Catalog>;

// Column kind for search conditions from an ADO data type:
// 0 unknown, 1 not searchable, 2 Boolean, 3 numeric, 4 text, 5 date and time.
int ColumnKindOfAdoType(std::int32_t adoType);

// Opens the catalog of a connection string: ODBC for "DSN=", "FILEDSN=" and
// "Driver=" strings (with or without "Provider=MSDASQL"), an SQLite database
// file for "Data Source=<file>" or a bare file path. Throws AutomationError.
CatalogRef OpenCatalog(const std::string& connectionString);

// Replaces the function that OpenCatalog uses (for example by the
// data-access layer's own catalog); an empty function restores the default.
using CatalogOpener = std::function<CatalogRef(const std::string&)>;
void SetCatalogOpener(CatalogOpener opener);

// Reads one key of a connection string ("Data Source", "Driver", ...),
// case-insensitively; values may be quoted with "..", '..' or {..}.
bool FindConnectionStringValue(std::string_view connectionString, std::string_view key,
                               std::string& value);

} // namespace qz::query
