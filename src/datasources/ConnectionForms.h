// The connection strings of the nine connection types: built from the
// connection editor's fields and read back into them. Every string built for
// ordinary values has the exact form stored templates hold; a value holding
// its own terminator (";" in a password, a quote in a path) is quoted so that
// it reads back whole. Reading takes key=value pairs (keys without regard to
// case), never a key found inside another value.
#pragma once

#include "config/QZCConnection.h"

#include <string>
#include <string_view>

namespace qz::datasources {

// The Excel version list: entry 0 "8.0  (Office 97)", 1 "9.0  (Office 2000)",
// 2 "10.0 (Office XP)".
inline constexpr const char* kExcelVersions[3] = {"8.0", "9.0", "10.0"};
inline constexpr const char* kExcelVersionCaptions[3] = {"8.0  (Office 97)", "9.0  (Office 2000)",
                                                         "10.0 (Office XP)"};

// The editor's fields of every type; the build reads those of one type.
struct ConnectionFields {
    // 0 Access
    std::string accessFile;
    // 1 Excel: an entry of the version list, or -1 with a typed version text
    std::string excelFile;
    int excelVersion = 0;
    std::string excelVersionText;
    // 2 SQL Server
    std::string serverName;
    std::string dbName;
    bool useNtSecurity = false;
    std::string sqlServerUser;
    std::string sqlServerPassword;
    bool sqlServerSavePassword = false;
    // 3 Oracle
    std::string oracleDataSource;
    std::string oracleUser;
    std::string oraclePassword;
    bool oracleSavePassword = false;
    // 4 text files
    std::string textFolder;
    bool columnHeader = false;
    // 5 ODBC: the data source name as the editor hands it (a chosen list
    // entry trimmed, or the box's own text)
    std::string odbcName;
    std::string odbcUser;
    std::string odbcPassword;
    bool odbcSavePassword = false;
    // 6 OLE DB: stored as typed
    std::string oleDbString;
};

// BuiConnectionString: the string of one type; types 7, 8 and any other
// value outside 0 to 6 give "".
std::string BuiConnectionString(int type, const ConnectionFields& f);

// The readers: the fields of one type reset and filled from a stored string.
// "Blank password" is ticked exactly when the password read is empty; "Allow
// saving password" is the opposite.
void InitAccessConnection(std::string_view dataSource, ConnectionFields& f);
void InitExcelConnection(std::string_view dataSource, ConnectionFields& f);
void InitSQLServerConnection(std::string_view dataSource, ConnectionFields& f);
void InitOracleConnection(std::string_view dataSource, ConnectionFields& f);
void InitTextFileConnection(std::string_view dataSource, ConnectionFields& f);
void InitODBCConnection(std::string_view dataSource, ConnectionFields& f);
// Dispatches on the type (6 copies the string; 7, 8 and others leave the
// fields as they are).
void InitConnection(int type, std::string_view dataSource, ConnectionFields& f);

} // namespace qz::datasources
