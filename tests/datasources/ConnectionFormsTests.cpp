#include "datasources/ConnectionForms.h"
#include "platform/ado/ConnectionString.h"

#include <gtest/gtest.h>

namespace qz::datasources {
namespace {

ConnectionFields fields() {
    ConnectionFields f;
    f.serverName = "SRV01";
    f.dbName = "Sales";
    f.sqlServerUser = "reader";
    f.oracleDataSource = "ORCL";
    f.oracleUser = "reader";
    f.odbcName = "Accounts";
    return f;
}

TEST(ConnectionForms, BuildsTheStoredFormsExactly) {
    ConnectionFields f = fields();
    f.accessFile = "C:\\db\\shop.mdb";
    EXPECT_EQ(BuiConnectionString(kAccess, f), "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"C:\\db\\shop.mdb\"");
    f.accessFile.clear();
    EXPECT_EQ(BuiConnectionString(kAccess, f), "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"\"");
    f.excelFile = "book.xls";
    f.excelVersion = 1;
    EXPECT_EQ(BuiConnectionString(kExcel, f),
              "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"book.xls\";Extended Properties=Excel 9.0;");
    f.useNtSecurity = true;
    EXPECT_EQ(BuiConnectionString(kSqlServer, f), "Provider=SQLOLEDB;Data Source=SRV01;database=Sales;Trusted_Connection=Yes;");
    f.useNtSecurity = false;
    f.serverName = "  ";
    EXPECT_EQ(BuiConnectionString(kSqlServer, f),
              "Provider=SQLOLEDB;database=Sales;Trusted_Connection=No;uid=reader;Persist Security Info=False;");
    f.serverName = "SRV01";
    f.sqlServerPassword = "pw";
    f.sqlServerSavePassword = true;
    EXPECT_EQ(BuiConnectionString(kSqlServer, f),
              "Provider=SQLOLEDB;Data Source=SRV01;database=Sales;Trusted_Connection=No;uid=reader;Password=pw;"
              "Persist Security Info=True;");
    EXPECT_EQ(BuiConnectionString(kOracle, f), "Provider=MSDAORA;Data Source=ORCL;uid=reader;Persist Security Info=False;");
    f.textFolder = "/data/csv";
    f.columnHeader = true;
    EXPECT_EQ(BuiConnectionString(kTextFile, f),
              "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"/data/csv\";Extended Properties=\"text;HDR=YES;FMT=Delimited\"");
    EXPECT_EQ(BuiConnectionString(kOdbc, f), "DSN=Accounts;uid=;Persist Security Info=False;");
    f.oleDbString = " Provider=X; ";
    EXPECT_EQ(BuiConnectionString(kOleDb, f), " Provider=X; ");
    EXPECT_EQ(BuiConnectionString(kOutlookContacts, f), "");
    EXPECT_EQ(BuiConnectionString(kPersistedRecordset, f), "");
    EXPECT_EQ(BuiConnectionString(9, f), "");
}

TEST(ConnectionForms, EveryBuiltStringReadsBackUnchanged) {
    // Ordinary values, and values holding the terminators that used to cut them.
    const std::vector<std::string> values{"plain", "a;b", "say \"hi\"", " lead", "", "x=y;uid=evil"};
    for (const std::string& v : values) {
        ConnectionFields f = fields();
        f.accessFile = f.excelFile = f.textFolder = "/data/" + v;
        f.sqlServerUser = f.oracleUser = f.odbcUser = v;
        f.sqlServerPassword = f.oraclePassword = f.odbcPassword = v;
        f.sqlServerSavePassword = f.oracleSavePassword = f.odbcSavePassword = !v.empty();
        f.serverName = f.dbName = f.oracleDataSource = "s" + v;
        f.odbcName = "Accounts" + v;
        f.excelVersion = 2;
        f.columnHeader = true;
        for (int type = kAccess; type <= kOdbc; ++type) {
            const std::string built = BuiConnectionString(type, f);
            ConnectionFields back;
            InitConnection(type, built, back);
            EXPECT_EQ(BuiConnectionString(type, back), built) << "type " << type << " value [" << v << "]";
        }
        ConnectionFields back;
        InitSQLServerConnection(BuiConnectionString(kSqlServer, f), back);
        EXPECT_EQ(back.sqlServerPassword, v);
        EXPECT_EQ(back.sqlServerUser, v);
        InitAccessConnection(BuiConnectionString(kAccess, f), back);
        EXPECT_EQ(back.accessFile, f.accessFile);
    }
}

TEST(ConnectionForms, ReadsStoredStringsAsTheEditorShowsThem) {
    ConnectionFields f;
    InitSQLServerConnection("Provider=SQLOLEDB;database=Sales;Trusted_Connection=yes;", f);
    EXPECT_TRUE(f.useNtSecurity);
    EXPECT_EQ(f.serverName, "");
    EXPECT_EQ(f.dbName, "Sales");

    InitExcelConnection("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"b.xls\";Extended Properties=Excel 10.0;", f);
    EXPECT_EQ(f.excelVersion, 2);
    // An unknown version is kept as typed rather than turned into 8.0.
    InitExcelConnection("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"b.xls\";Extended Properties=Excel 12.0;", f);
    EXPECT_EQ(f.excelVersion, -1);
    EXPECT_EQ(BuiConnectionString(kExcel, f),
              "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"b.xls\";Extended Properties=Excel 12.0;");
    InitExcelConnection("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"b.xls\"", f);
    EXPECT_EQ(f.excelVersion, 0);

    InitTextFileConnection("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"/d\";Extended Properties=\"text;HDR=yes;FMT=Delimited\"", f);
    EXPECT_TRUE(f.columnHeader);
    EXPECT_EQ(f.textFolder, "/d");

    // A key inside another value is not read as that key.
    InitODBCConnection("DSN=Stock;uid=ann;Password=\"x;uid=evil\";Persist Security Info=True;", f);
    EXPECT_EQ(f.odbcName, "Stock");
    EXPECT_EQ(f.odbcUser, "ann");
    EXPECT_EQ(f.odbcPassword, "x;uid=evil");
    EXPECT_TRUE(f.odbcSavePassword);
    InitODBCConnection("DSN=;uid=;Persist Security Info=False;", f);
    EXPECT_EQ(f.odbcName, "");
    EXPECT_FALSE(f.odbcSavePassword);
}

TEST(ConnectionStringText, PasswordsAreMaskedForLogsAndMessages) {
    using ado::maskSecrets;
    EXPECT_EQ(maskSecrets("DSN=A;uid=u;Password=top;Persist Security Info=True;"),
              "DSN=A;uid=u;Password=***;Persist Security Info=True;");
    EXPECT_EQ(maskSecrets("Driver={X};PWD={a;b};Server=s"), "Driver={X};PWD=***;Server=s");
    EXPECT_EQ(maskSecrets("DSN=A;uid=;"), "DSN=A;uid=;");
    EXPECT_EQ(ado::maskSecretsIn("login failed for top secret", "PWD=top secret"), "login failed for ***");
}

} // namespace
} // namespace qz::datasources
