// The catalog of an ODBC data source, read through the ODBC catalog functions.
#pragma once

#include "query/Catalog.h"

#include <string>

namespace qz::query {

// Connects with SQLDriverConnect ("Provider=MSDASQL" is dropped) and reads the
// table list of the connection's current schema. Columns and keys are read
// per table on first use. Throws AutomationError with the driver's diagnostics.
CatalogRef OpenOdbcCatalog(const std::string& connectionString);

// Maps an ODBC SQL data type to an ADO data type.
std::int32_t OdbcSqlTypeToAdo(int sqlType);

} // namespace qz::query
