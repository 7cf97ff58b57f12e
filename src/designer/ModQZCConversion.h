// Templates before format 6.00 kept their data sources in a small database
// that bore the QZC file's name (tables TblFileInfo, TblConnection and
// TblCommande). This builds the QZC file of the current format from it.
#pragma once

#include <string>

namespace qz::designer {

// Writes a new QZC file at workFile from the old database: the template
// properties of TblFileInfo's first row, one connection per TblConnection row
// (old type 0 becomes an ODBC data source "DSN=<name>;uid=<user>;pwd=<password>;",
// 1 an OLE DB string, 2 saved recordset files) with the TblCommande rows of
// its ConnectionId as its commands. A database that cannot be read, a missing
// table or column, an empty TblFileInfo or a Null among the properties fails
// with the database's or the run time's error; the work file is then left
// to the caller.
void Convert51629To60000(const std::string& workFile, const std::string& databaseFile);

} // namespace qz::designer
