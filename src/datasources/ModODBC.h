// The ODBC data sources of the driver manager: the list the connection editor
// offers, and the creation of a user data source (the dialog that asks for
// the driver, name and attributes comes with the connection editor).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace qz::datasources {

// The data source names, user and system ones together, in the driver
// manager's order (a name defined in both is listed twice). Empty when the
// driver manager cannot be reached.
std::vector<std::string> GetOdbcDataSourceNames();

// The installed ODBC drivers, by name.
std::vector<std::string> GetOdbcDriverNames();

// Writes a user data source: its name, its driver and further attributes
// (for example {"Database", "/data/shop.db"}). Returns false, with the driver
// manager's message in *error when given, when it cannot be written.
bool CreateOdbcDataSource(const std::string& name, const std::string& driver,
                          const std::vector<std::pair<std::string, std::string>>& attributes,
                          std::string* error = nullptr);

} // namespace qz::datasources
