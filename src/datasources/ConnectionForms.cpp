#include "datasources/ConnectionForms.h"

#include "platform/ado/ConnectionString.h"
#include "platform/automation/Text.h"

#include <vector>

namespace qz::datasources {

using ado::ConnectionPair;
using ado::doubleQuoted;
using ado::findPair;
using ado::parseConnectionString;
using ado::quoteValue;

namespace {

constexpr const char* kJet = "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=";

// The user and password tail of the SQL Server, Oracle and ODBC strings.
std::string credentials(const std::string& user, const std::string& password, bool save) {
    std::string out = "uid=" + quoteValue(user);
    if (save) out += ";Password=" + quoteValue(password);
    out += save ? ";Persist Security Info=True;" : ";Persist Security Info=False;";
    return out;
}

void read(const std::vector<ConnectionPair>& pairs, std::string_view key, std::string& field) {
    if (const std::string* v = findPair(pairs, key)) field = *v;
}

} // namespace

std::string BuiConnectionString(int type, const ConnectionFields& f) {
    switch (type) {
    case kAccess: return kJet + doubleQuoted(f.accessFile);
    case kExcel: {
        std::string version = f.excelVersion >= 0 && f.excelVersion < 3 ? kExcelVersions[f.excelVersion]
                                                                        : std::string(trimSpaces(f.excelVersionText));
        if (version.empty()) version = kExcelVersions[0];
        return kJet + doubleQuoted(f.excelFile) + ";Extended Properties=" + quoteValue("Excel " + version) + ";";
    }
    case kSqlServer: {
        std::string out = "Provider=SQLOLEDB;";
        if (!onlySpaces(f.serverName)) out += "Data Source=" + quoteValue(f.serverName) + ";";
        out += "database=" + quoteValue(f.dbName) + ";";
        if (f.useNtSecurity) return out + "Trusted_Connection=Yes;";
        return out + "Trusted_Connection=No;" + credentials(f.sqlServerUser, f.sqlServerPassword, f.sqlServerSavePassword);
    }
    case kOracle: {
        std::string out = "Provider=MSDAORA;";
        if (!onlySpaces(f.oracleDataSource)) out += "Data Source=" + quoteValue(f.oracleDataSource) + ";";
        return out + credentials(f.oracleUser, f.oraclePassword, f.oracleSavePassword);
    }
    case kTextFile:
        return kJet + doubleQuoted(f.textFolder) + ";Extended Properties=\"text;HDR=" +
               (f.columnHeader ? "YES" : "NO") + ";FMT=Delimited\"";
    case kOdbc:
        return "DSN=" + quoteValue(f.odbcName) + ";" + credentials(f.odbcUser, f.odbcPassword, f.odbcSavePassword);
    case kOleDb: return f.oleDbString;
    default: return {};
    }
}

void InitAccessConnection(std::string_view ds, ConnectionFields& f) {
    f.accessFile.clear();
    read(parseConnectionString(ds), "Data Source", f.accessFile);
}

void InitExcelConnection(std::string_view ds, ConnectionFields& f) {
    f.excelFile.clear();
    f.excelVersion = 0;
    f.excelVersionText.clear();
    const auto pairs = parseConnectionString(ds);
    read(pairs, "Data Source", f.excelFile);
    const std::string* props = findPair(pairs, "Extended Properties");
    if (!props) return;
    // "Excel 9.0", possibly followed by ";HDR=..." inside the quoted value
    std::string_view p(*props);
    p = p.substr(0, p.find(';'));
    if (p.size() < 5 || !equalsNoCaseAscii(p.substr(0, 5), "Excel")) return;
    const std::string version(trimSpaces(p.substr(5)));
    for (int i = 0; i < 3; ++i)
        if (version == kExcelVersions[i]) { f.excelVersion = i; return; }
    // A version the list does not hold is kept as typed text.
    f.excelVersion = -1;
    f.excelVersionText = version;
}

void InitSQLServerConnection(std::string_view ds, ConnectionFields& f) {
    f.serverName.clear();
    f.dbName.clear();
    f.useNtSecurity = false;
    f.sqlServerUser.clear();
    f.sqlServerPassword.clear();
    const auto pairs = parseConnectionString(ds);
    read(pairs, "Data Source", f.serverName);
    read(pairs, "database", f.dbName);
    std::string trust;
    read(pairs, "Trusted_Connection", trust);
    f.useNtSecurity = equalsNoCaseAscii(trust, "yes");
    if (!f.useNtSecurity) {
        read(pairs, "uid", f.sqlServerUser);
        read(pairs, "Password", f.sqlServerPassword);
    }
    f.sqlServerSavePassword = !f.sqlServerPassword.empty();
}

void InitOracleConnection(std::string_view ds, ConnectionFields& f) {
    f.oracleDataSource.clear();
    f.oracleUser.clear();
    f.oraclePassword.clear();
    const auto pairs = parseConnectionString(ds);
    read(pairs, "Data Source", f.oracleDataSource);
    read(pairs, "uid", f.oracleUser);
    read(pairs, "Password", f.oraclePassword);
    f.oracleSavePassword = !f.oraclePassword.empty();
}

void InitTextFileConnection(std::string_view ds, ConnectionFields& f) {
    f.columnHeader = false;
    f.textFolder.clear();
    const auto pairs = parseConnectionString(ds);
    read(pairs, "Data Source", f.textFolder);
    if (const std::string* props = findPair(pairs, "Extended Properties")) {
        std::string hdr;
        read(parseConnectionString(*props), "HDR", hdr);
        f.columnHeader = equalsNoCaseAscii(hdr, "yes");
    }
}

void InitODBCConnection(std::string_view ds, ConnectionFields& f) {
    f.odbcName.clear();
    f.odbcUser.clear();
    f.odbcPassword.clear();
    const auto pairs = parseConnectionString(ds);
    read(pairs, "DSN", f.odbcName);
    read(pairs, "uid", f.odbcUser);
    read(pairs, "Password", f.odbcPassword);
    f.odbcSavePassword = !f.odbcPassword.empty();
}

void InitConnection(int type, std::string_view ds, ConnectionFields& f) {
    switch (type) {
    case kAccess: InitAccessConnection(ds, f); break;
    case kExcel: InitExcelConnection(ds, f); break;
    case kSqlServer: InitSQLServerConnection(ds, f); break;
    case kOracle: InitOracleConnection(ds, f); break;
    case kTextFile: InitTextFileConnection(ds, f); break;
    case kOdbc: InitODBCConnection(ds, f); break;
    case kOleDb: f.oleDbString = std::string(ds); break;
    default: break;
    }
}

} // namespace qz::datasources
