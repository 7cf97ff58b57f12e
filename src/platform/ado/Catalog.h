// The database catalog (tables and views, their columns and foreign keys), as
// the query builder and the data tree read it. C++ callers use the plain
// structures; scripts and late-bound callers use the Catalog object, whose
// members carry the names they always had (Tables, Columns, Keys, Type,
// DefinedSize, RelatedTable, RelatedColumn).
#pragma once

#include "platform/automation/Dispatch.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qz::ado {

class Connection;

inline constexpr std::int32_t adKeyPrimary = 1;
inline constexpr std::int32_t adKeyForeign = 2;
inline constexpr std::int32_t adKeyUnique = 3;

struct CatalogColumn {
    std::string name;
    std::int32_t type = 0;
    std::int32_t definedSize = 0;
};

struct CatalogKeyColumn {
    std::string name;           // the referencing column
    std::string relatedColumn;  // the referenced column
};

struct CatalogKey {
    std::string name;
    std::int32_t type = adKeyForeign;
    std::string relatedTable;
    std::vector<CatalogKeyColumn> columns; // in key order
};

// How the database reads names in SQL text: whether it takes only standard
// double quotes (else also "[..]" and backquotes), and how it folds unquoted
// names (ODBC's SQL_IDENTIFIER_CASE: 1 upper, 2 lower, 3 case-sensitive, 4 mixed).
struct NameRules {
    bool doubleQuotesOnly = false;
    std::int32_t identifierCase = 4;
};

struct CatalogTable {
    std::string name;
    std::string type; // "TABLE", "VIEW", "SYSTEM TABLE", "SYSTEM VIEW"
    std::vector<CatalogColumn> columns;
    std::vector<CatalogKey> keys;
};

// The catalog object: ActiveConnection (let/set a Connection), Tables.
Ref<Dispatch> createCatalog();

} // namespace qz::ado
