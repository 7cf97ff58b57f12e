// The catalog of an SQLite database file, read through its pragmas.
#pragma once

#include "query/Catalog.h"

#include <string>

namespace qz::query {

// Opens the database file read-only and reads its table list. Throws
// AutomationError when the file is missing or is not an SQLite database.
CatalogRef OpenSqliteCatalog(const std::string& path);

// Maps a declared SQLite column type to an ADO data type and a size.
void SqliteDeclaredTypeToAdo(std::string_view declared, std::int32_t& adoType,
                             std::int64_t& size);

} // namespace qz::query
