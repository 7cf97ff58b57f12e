// The ODBC provider over the SQLite ODBC driver, with a data source of a
// temporary odbc.ini (the driver manager reads its files once per process, so
// the whole binary shares one set-up made before the first ODBC call).
#include "SameData.h"

#include "platform/automation/ErrorTexts.h"
#include "platform/automation/MemoryMeter.h"
#include "platform/system/Deadline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>

namespace qz::ado::test {
namespace {

std::string driver(const std::string& file) {
    for (const char* d : {"/usr/lib/x86_64-linux-gnu/odbc/", "/usr/lib/aarch64-linux-gnu/odbc/", "/usr/lib/odbc/"})
        if (std::filesystem::exists(d + file)) return d + file;
    return {};
}

std::string sqliteOdbcDriver() { return driver("libsqlite3odbc.so"); }

class OdbcSetUp : public ::testing::Environment {
public:
    void SetUp() override {
        dir = std::make_unique<TempDir>();
        makeSqlite(dir->file("shop.db"),
                   std::string(kSameSql) +
                       "CREATE TABLE Customers (CustomerID INTEGER PRIMARY KEY, Name VARCHAR(30));"
                       "CREATE TABLE Sales (SaleID INTEGER, CustomerID INTEGER REFERENCES Customers(CustomerID));"
                       "CREATE TABLE Short (Code VARCHAR(3));"
                       "INSERT INTO Short VALUES ('abc'), ('longer than declared'), (NULL);"
                       "CREATE TABLE Amounts (Price MONEY, Rate DECIMAL(10,2), Qty NUMBER);"
                       "INSERT INTO Amounts VALUES (1234.5, -12.25, 3), (NULL, NULL, NULL);"
                       "CREATE TABLE Stored (Done BOOLEAN, At DATETIME);"
                       "INSERT INTO Stored VALUES ('true', 1700000000), ('no', 2460000.5), (5, '2024-03-05 10:11:12'),"
                       "(0, '2024-03-05T10:11'), ('maybe', 'soon'), (NULL, NULL);");
        std::ofstream(dir->file("odbcinst.ini")) << "[SQLite3]\nDriver=" << sqliteOdbcDriver() << "\n"
                                                  << "[FreeTDS]\nDriver=" << driver("libtdsodbc.so") << "\n";
        std::ofstream(dir->file("odbc.ini")) << "[Shop]\nDriver=SQLite3\nDatabase=" << dir->file("shop.db") << "\n"
                                              << "[Planted]\nDriver=" << QZ_PLANTED_LIBRARY << "\n"
                                              << "[Loads]\nDriver=SQLite3\nDatabase=" << dir->file("shop.db")
                                              << "\nLoadExt=" << QZ_PLANTED_LIBRARY << "\n"
                                              << "[Traces]\nDriver=SQLite3\nDatabase=" << dir->file("shop.db")
                                              << "\nTracefile=" << dir->file("written") << "\n";
        setenv("ODBCSYSINI", dir->str().c_str(), 1);
        setenv("ODBCINI", dir->file("odbc.ini").c_str(), 1);
    }
    void TearDown() override { dir.reset(); }
    static inline std::unique_ptr<TempDir> dir;
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new OdbcSetUp);

// What opening the string and running a command with it said: "" when both went through.
std::string refusal(const std::string& cs) {
    try {
        Ref<Connection> c = makeRef<Connection>();
        c->open(cs);
        c->execute("SELECT 1 -- echo written");
    } catch (const AutomationError& e) {
        return e.Description;
    }
    return {};
}

class Odbc : public ::testing::Test {
protected:
    void SetUp() override {
        if (sqliteOdbcDriver().empty()) GTEST_SKIP() << "the SQLite ODBC driver is not installed";
    }
    std::string expected() {
        Ref<Connection> c = makeRef<Connection>();
        c->open("Data Source=" + OdbcSetUp::dir->file("shop.db"));
        return dump(*c->execute("SELECT ID, Customer, Total, Created FROM Orders ORDER BY ID"));
    }
};

TEST_F(Odbc, EveryOdbcFormReadsTheSameRows) {
    const std::string want = expected();
    const std::string db = OdbcSetUp::dir->file("shop.db");
    std::ofstream(OdbcSetUp::dir->file("shop.dsn")) << "; a file data source\n[ODBC]\nDRIVER=SQLite3\nDatabase=" << db;
    for (const std::string& cs : {std::string("DSN=Shop;uid=;Persist Security Info=False;"),
                                 "FILEDSN=" + OdbcSetUp::dir->file("shop.dsn") + ";uid=",
                                 "Provider=MSDASQL;FileDSN=" + OdbcSetUp::dir->file("shop"),
                                 std::string("Provider=MSDASQL;Data Source=Shop;"),
                                 std::string("Provider=MSDASQL;Extended Properties=\"DSN=Shop\""),
                                 "Driver={SQLite3};Database=" + db + ";"}) {
        Ref<Connection> c = makeRef<Connection>();
        c->open(cs);
        Ref<Recordset> rs = c->execute("SELECT ID, Customer, Total, Created FROM Orders ORDER BY ID");
        EXPECT_EQ(dump(*rs), want) << cs;
        EXPECT_EQ(rs->column(3).type, adDBTimeStamp);
        EXPECT_EQ(rs->column(0).type, adInteger);
        c->close();
    }
}

TEST_F(Odbc, TextsLongerThanTheirDeclaredSizeComeBackWhole) {
    Ref<Connection> c = makeRef<Connection>();
    c->open("DSN=Shop");
    Ref<Recordset> rs = c->execute("SELECT Code FROM Short ORDER BY rowid");
    ASSERT_EQ(rs->recordCount(), 3);
    EXPECT_EQ(text(rs->value(0)), "abc");
    rs->moveNext();
    EXPECT_EQ(text(rs->value(0)), "longer than declared");
    rs->moveNext();
    EXPECT_TRUE(rs->value(0).isNull());
}

// Amounts and decimal numbers the driver knows only by their declared type's
// name are the numbers they hold, as read from the file directly: as texts a
// script would read them in its locale (1234.5 as 12345 in German).
TEST_F(Odbc, AmountsAndDecimalsOfDeclaredTypesAreNumbers) {
    const std::string sql = "SELECT Price, Rate, Qty FROM Amounts ORDER BY rowid";
    Ref<Connection> direct = makeRef<Connection>();
    direct->open("Data Source=" + OdbcSetUp::dir->file("shop.db"));
    Ref<Connection> c = makeRef<Connection>();
    c->open("DSN=Shop");
    Ref<Recordset> rs = c->execute(sql);
    EXPECT_EQ(dump(*rs), dump(*direct->execute(sql)));
    EXPECT_EQ(rs->column(0).type, adCurrency);
    rs->moveFirst();
    EXPECT_EQ(rs->value(0).currencyValue(), 12345000);
}

// Words in a boolean column and numbers in a date column are the values the
// file gives read directly, not Null.
TEST_F(Odbc, StoredWordsAndNumbersReadAsTheFileDirectly) {
    const std::string sql = "SELECT Done, At FROM Stored ORDER BY rowid";
    Ref<Connection> direct = makeRef<Connection>();
    direct->open("Data Source=" + OdbcSetUp::dir->file("shop.db"));
    const std::string want = dump(*direct->execute(sql));
    ASSERT_EQ(want.find("11=|"), want.rfind("11=|")) << want; // the one Null boolean
    for (const char* cs : {"DSN=Shop", "DSN=Shop;NoWCHAR=1"}) {
        Ref<Connection> c = makeRef<Connection>();
        c->open(cs);
        EXPECT_EQ(dump(*c->execute(sql)), want) << cs;
    }
}

// Rows that would pass the memory ceiling fail with error 7 as they are
// fetched, on the caller's thread and on the thread a time-out runs them on.
TEST_F(Odbc, RowsPastTheMemoryCeilingFailWith7) {
    Ref<Connection> c = makeRef<Connection>();
    c->open("DSN=Shop");
    const std::string many = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000000) "
                              "SELECT i, 'row ' || i FROM n";
    const memory::CeilingScope ceiling(std::int64_t{16} << 20);
    for (const bool timed : {false, true}) {
        SCOPED_TRACE(timed ? "with a time-out" : "without a time-out");
        std::optional<sys::DeadlineScope> deadline;
        if (timed) deadline.emplace(sys::DeadlineClock::now() + std::chrono::minutes(5));
        std::int32_t number = 0;
        try {
            c->execute(many);
        } catch (const AutomationError& e) {
            number = e.Number;
        }
        EXPECT_EQ(number, runtimeError(err::OutOfMemory).Number);
    }
    // Rows read on the time-out's thread count on the caller's.
    const std::int64_t before = memory::held();
    std::optional<sys::DeadlineScope> deadline(std::in_place, sys::DeadlineClock::now() + std::chrono::minutes(5));
    Ref<Recordset> rs = c->execute("SELECT ID, Customer FROM Orders");
    EXPECT_GT(memory::held(), before);
}

TEST_F(Odbc, ColumnsOfAParameterisedCommandWithoutRunningIt) {
    Ref<Connection> c = makeRef<Connection>();
    c->open("DSN=Shop;uid=;Persist Security Info=False;");
    Ref<Recordset> rs = c->describe("SELECT ID, Customer FROM Orders WHERE ID = ?");
    ASSERT_EQ(rs->fieldCount(), 2u);
    EXPECT_EQ(rs->column(1).name, "Customer");
    EXPECT_TRUE(isStringType(rs->column(1).type));
    EXPECT_EQ(rs->recordCount(), 0);
}

TEST_F(Odbc, CatalogHasTablesColumnsAndForeignKeys) {
    Ref<Connection> c = makeRef<Connection>();
    c->open("DSN=Shop");
    std::vector<CatalogTable> tables = c->catalog();
    const CatalogTable* sales = nullptr;
    for (const CatalogTable& t : tables)
        if (t.name == "Sales") sales = &t;
    ASSERT_NE(sales, nullptr);
    EXPECT_EQ(sales->type, "TABLE");
    ASSERT_EQ(sales->columns.size(), 2u);
    EXPECT_EQ(sales->columns[0].type, adInteger);
    ASSERT_EQ(sales->keys.size(), 1u);
    EXPECT_EQ(sales->keys[0].relatedTable, "Customers");
    EXPECT_EQ(sales->keys[0].columns[0].relatedColumn, "CustomerID");
}

TEST_F(Odbc, FailuresReportTheDriverManagersMessageWithoutThePassword) {
    Ref<Connection> c = makeRef<Connection>();
    try {
        c->open("DSN=NoSuchSource;uid=ann;Password=Sekrit#1;Persist Security Info=True;");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("not found"), std::string::npos) << e.Description;
        EXPECT_EQ(e.Description.find("Sekrit#1"), std::string::npos);
    }
    ASSERT_EQ(c->errors().size(), 1u);
    EXPECT_EQ(c->state(), adStateClosed);

    // A missing SQLite file is said to be missing, and no empty one is made;
    // a file data source that is missing or no file cannot be read.
    const std::string missing = OdbcSetUp::dir->file("missing.db");
    for (const auto& [cs, expected] : {std::pair{"Driver={SQLite3};Database=" + missing + ";", "does not exist"},
                                   std::pair{"FileDSN=" + missing, "cannot be read"},
                                   std::pair{std::string("FileDSN=/dev/zero"), "cannot be read"}}) {
        const std::string said = refusal(cs);
        EXPECT_NE(said.find(expected), std::string::npos) << cs << ": " << said;
    }
    EXPECT_FALSE(std::filesystem::exists(missing));

    Ref<Connection> ok = makeRef<Connection>();
    ok->open("DSN=Shop");
    EXPECT_THROW(ok->execute("SELECT x FROM nowhere"), AutomationError);
    ASSERT_EQ(ok->errors().size(), 1u);
    EXPECT_NE(ok->errors()[0].description.find("nowhere"), std::string::npos) << ok->errors()[0].description;

    // SQL Server strings reach the FreeTDS driver: its own message comes back.
    if (!driver("libtdsodbc.so").empty()) {
        Ref<Connection> sql = makeRef<Connection>();
        try {
            sql->open("Provider=SQLOLEDB;Data Source=127.0.0.1,1;database=Sales;Trusted_Connection=No;uid=reader;"
                      "Password=\"Zq;9x\";Persist Security Info=True;");
            FAIL();
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.Description.find("Data source name not found"), std::string::npos) << e.Description;
            EXPECT_EQ(e.Description.find("Zq;9x"), std::string::npos);
            EXPECT_NE(e.Description.find("FreeTDS"), std::string::npos) << e.Description;
        }
    }

    Ref<Connection> tds = makeRef<Connection>();
    try {
        tds->open("Provider=SQLOLEDB;Data Source=SRV01;database=Sales;Trusted_Connection=Yes;");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("integrated security"), std::string::npos);
    }
    Ref<Connection> ora = makeRef<Connection>();
    try {
        ora->open("Provider=MSDAORA;Data Source=ORCL;uid=reader;Persist Security Info=False;");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("Oracle"), std::string::npos);
    }
}

// A connection string is data: whatever route names a library that is no
// installed driver, the driver manager never loads it.
TEST_F(Odbc, OnlyInstalledDriversAreEverLoaded) {
    const std::string lib = QZ_PLANTED_LIBRARY, mark = OdbcSetUp::dir->file("loaded");
    const std::string renamed = OdbcSetUp::dir->file("invoice.dat"), fileDsn = OdbcSetUp::dir->file("p.dsn");
    std::filesystem::copy_file(lib, renamed, std::filesystem::copy_options::overwrite_existing);
    std::ofstream(fileDsn) << "[ODBC]\nDRIVER=" << lib << "\n";
    setenv("QZ_PLANTED_MARK", mark.c_str(), 1);
    const std::string db = ";Database=" + OdbcSetUp::dir->file("shop.db");
    for (const std::string& cs :
         {"Driver=" + lib, "DRIVER={" + renamed + "}" + db, "Provider=MSDASQL;Driver=" + lib,
          "Provider=MSDASQL;Extended Properties=\"Driver=" + renamed + "\"", std::string("DSN=Planted"),
          "FileDSN=" + fileDsn, "Driver=libsqlite3odbc.so" + db,
          // A character whose low byte is ";" for a manager that narrows.
          "Driver=SQLite3;X=a\xC4\xBB" "DRIVER=" + lib + db,
          "Driver=SQLite3;LoadExt=" + lib + db, "Driver=SQLite3;SAVEFILE=" + OdbcSetUp::dir->file("s") + db}) {
        const std::string said = refusal(cs);
        EXPECT_NE(said.find("not "), std::string::npos) << cs << ": " << said;
        EXPECT_FALSE(std::filesystem::exists(mark)) << cs;
        EXPECT_FALSE(std::filesystem::exists(OdbcSetUp::dir->file("s.dsn"))) << cs;
    }
    // The installed name in any letter case still opens, in its own spelling.
    Ref<Connection> c = makeRef<Connection>();
    c->open("driver={sqlite3}" + db);
    EXPECT_EQ(c->execute("SELECT COUNT(*) FROM Orders")->recordCount(), 1);
    unsetenv("QZ_PLANTED_MARK");
}

// Nor does a command or a key load a library or write a file: load_extension()
// fails on every SQLite connection, and keys that write traces, dumps or logs
// are refused before any driver sees them.
TEST_F(Odbc, NoCommandOrKeyLoadsALibraryOrWritesAFile) {
    const std::string mark = OdbcSetUp::dir->file("loaded"), db = OdbcSetUp::dir->file("shop.db");
    setenv("QZ_PLANTED_MARK", mark.c_str(), 1);
    for (const std::string& cs : {"Driver=SQLite3;Database=" + db, std::string("DSN=Shop"),
                                 std::string("Provider=MSDASQL;Data Source=Shop"), "Data Source=" + db}) {
        Ref<Connection> c = makeRef<Connection>();
        c->open(cs);
        for (const std::string& sql : {"SELECT load_extension('" + std::string(QZ_PLANTED_LIBRARY) + "')",
                                       "SELECT load_extension('" + std::string(QZ_PLANTED_LIBRARY) + "', 'x')"})
            EXPECT_THROW(c->execute(sql), AutomationError) << cs;
        EXPECT_FALSE(std::filesystem::exists(mark)) << cs;
    }
    unsetenv("QZ_PLANTED_MARK");

    const std::string written = OdbcSetUp::dir->file("written"), fileDsn = OdbcSetUp::dir->file("t.dsn");
    std::ofstream(fileDsn) << "[ODBC]\nDRIVER=SQLite3\nDatabase=" << db << "\nTracefile=" << written << "\n";
    for (const char* key : {"Tracefile", "TRACEFILE", "DumpFile", "DebugFlags", "Debug", "CommLog", "B3", "Logdir",
                            "Trace"}) {
        for (const std::string& cs : {"Driver=SQLite3;Database=" + db + ";" + key + "=" + written,
                                     "Provider=MSDASQL;Extended Properties=\"DSN=Shop;" + std::string(key) + "=" +
                                         written + "\""}) {
            const std::string said = refusal(cs);
            EXPECT_NE(said.find("is not accepted"), std::string::npos) << cs << ": " << said;
            EXPECT_FALSE(std::filesystem::exists(written)) << cs;
        }
    }
    Ref<Connection> c = makeRef<Connection>();
    EXPECT_THROW(c->open("FileDSN=" + fileDsn), AutomationError);
    EXPECT_FALSE(std::filesystem::exists(written));
}

// Only the keys a driver needs reach it, however they are hidden: in braces
// that the SQLite driver does not read (it ends a value at any ";"), or in a
// data source or a file data source.
TEST_F(Odbc, KeysHiddenInBracesOrDataSourcesNeverReachTheDriver) {
    const std::string lib = QZ_PLANTED_LIBRARY, mark = OdbcSetUp::dir->file("loaded");
    const std::string written = OdbcSetUp::dir->file("written"), fileDsn = OdbcSetUp::dir->file("l.dsn");
    const std::string base = "Driver=SQLite3;Database=" + OdbcSetUp::dir->file("shop.db");
    std::ofstream(fileDsn) << "[ODBC]\nDRIVER=SQLite3\nDatabase=" << OdbcSetUp::dir->file("shop.db")
                           << "\nLoadExt=" << lib << "\n";
    setenv("QZ_PLANTED_MARK", mark.c_str(), 1);
    const std::pair<std::string, std::string> cases[] = {
        {base + ";Timeout={1000;LoadExt=" + lib + ";}", "Timeout"},
        {base + ";Timeout={1000;Tracefile=" + written + ";}", "Timeout"},
        {"Provider=MSDASQL;Extended Properties=\"" + base + ";Timeout={1000;LoadExt=" + lib + ";}\"", "Timeout"},
        {"DSN=Loads", "LoadExt"},
        {"DSN=Traces;uid=", "Tracefile"},
        {"FileDSN=" + fileDsn, "LoadExt"},
        // "Ļ" (U+013B) is ";" to a driver manager that narrows each character to its low byte.
        {base + ";UID=a\xC4\xBB" "LoadExt=" + lib, "UID"}};
    for (const auto& [cs, key] : cases) {
        std::filesystem::remove(mark);
        std::filesystem::remove(written);
        const std::string said = refusal(cs);
        EXPECT_NE(said.find("\"" + key + "\""), std::string::npos) << cs << ": " << said;
        EXPECT_FALSE(std::filesystem::exists(mark)) << cs;
        EXPECT_FALSE(std::filesystem::exists(written)) << cs;
    }
    unsetenv("QZ_PLANTED_MARK");
}

} // namespace
} // namespace qz::ado::test
