// What a connection needs of the database behind it. Two kinds exist: SQLite
// (a database file, or an in-memory database that a file source was read
// into) and ODBC.
#pragma once

#include "platform/ado/Catalog.h"
#include "platform/ado/JetSql.h"
#include "platform/ado/Recordset.h"
#include "platform/ado/SqlParameter.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;

namespace qz::ado {

class Backend {
public:
    virtual ~Backend() = default;
    // Runs a statement and reads every row. With parameters, each is bound to
    // a "?" of the statement, in order, and the statement must have as many.
    virtual Ref<RecordsetData> query(std::string_view sql, std::span<const SqlParameter> parameters) = 0;
    // The columns a statement would give, without running it.
    virtual Ref<RecordsetData> describe(std::string_view sql) = 0;
    virtual std::vector<CatalogTable> catalog() = 0;
    virtual NameRules nameRules() { return {}; }
};

class SqliteBackend final : public Backend {
public:
    // Opens an existing database file (never creates one).
    static std::unique_ptr<SqliteBackend> openFile(const std::string& path);
    static std::unique_ptr<SqliteBackend> openMemory();
    ~SqliteBackend() override;

    Ref<RecordsetData> query(std::string_view sql, std::span<const SqlParameter> parameters) override;
    Ref<RecordsetData> describe(std::string_view sql) override;
    std::vector<CatalogTable> catalog() override;

    sqlite3* handle() const { return db_; }
    // Runs statements that give no rows (the importers' CREATE and INSERT).
    void exec(const std::string& sql);
    // Counts what an importer loads into the database against the memory
    // ceiling (error 7 past it), for as long as the database is open.
    void countLoaded(std::int64_t bytes, const char* what = "the data read from the file") {
        reserveLoad(bytes, "Jet", what);
        loaded_ += bytes;
        tally_.set(loaded_);
    }

private:
    explicit SqliteBackend(sqlite3* db) : db_(db) {}
    sqlite3* db_;
    memory::Tally tally_;
    std::int64_t loaded_ = 0;
};

// The in-memory database that a file source was read into, whose commands
// are Access SQL (translated by jetToSqlite). A saved query that could not be
// offered as a view is named, with the reason, when a command uses it.
class JetBackend final : public Backend {
public:
    explicit JetBackend(std::unique_ptr<SqliteBackend> db);
    ~JetBackend() override;

    Ref<RecordsetData> query(std::string_view sql, std::span<const SqlParameter> parameters) override;
    Ref<RecordsetData> describe(std::string_view sql) override;
    std::vector<CatalogTable> catalog() override { return db_->catalog(); }

    SqliteBackend& database() { return *db_; }
    // Offers a saved query, in Access SQL, as a view.
    void addView(const std::string& name, std::string_view accessSql);
    // A saved query that is no view here, and why ("asks for parameters ...").
    void refuseQuery(const std::string& name, std::string why);

private:
    [[noreturn]] void explain(const AutomationError& e);
    JetTableColumns tablesOf(); // the database's tables' columns, for the translation

    std::unique_ptr<SqliteBackend> db_;
    std::vector<std::pair<std::string, std::string>> refused_;
    void addViewColumns(JetColumns& typed) const;

    JetColumns columns_; // what the translation is given: the declared types of columns
    std::vector<std::pair<std::string, JetColumns>> views_; // the typed columns of each view
};

// ODBC through the driver manager; the string is an ODBC connection string.
std::unique_ptr<Backend> openOdbc(const std::string& connectionString);
// The string the driver manager is handed for an ODBC connection string: an
// installed driver by its name, then only keys that kind of driver needs,
// those of a DSN or FILEDSN merged in, every value written so that the driver
// manager and the driver read it alike. Any other key, or a value the driver
// cannot take as written, is refused with the provider's error naming it.
std::string driverManagerString(std::string_view connectionString);

// A driver of the driver manager's list: its name and its library entries.
struct InstalledDriver {
    std::string name;
    std::vector<std::string> libraries;
};
std::vector<InstalledDriver> installedDrivers();

// The name of an installed ODBC driver for Oracle, "" when there is none.
std::string installedOracleDriver();
// The data sources (name and driver) the user and the system define, as the
// driver manager lists them.
std::vector<std::pair<std::string, std::string>> odbcDataSources();
// The versions of the libraries behind the connections: SQLite's ("3.40.1"),
// and the ODBC driver manager's with the ODBC version it speaks ("2.3, ODBC
// 3.52"); "" when it cannot be told.
std::string sqliteVersion();
std::string odbcManagerVersion();

// File sources brought into an in-memory SQLite database. A text file's
// numbers have "." before their decimals, or `decimal` with the other of "."
// and "," grouping thousands when it is ","; a column of which one value is
// no such number holds texts.
std::unique_ptr<Backend> importTextFolder(const std::string& folder, bool header, char delimiter, char decimal = '.');
std::unique_ptr<Backend> importExcel(const std::string& path, bool header);
std::unique_ptr<Backend> importAccess(const std::string& path);

// Makes every SQLite connection that the process opens from now on, its own
// and an ODBC driver's that uses the same SQLite library, refuse to load
// libraries: load_extension() fails however loading was enabled. Idempotent.
void guardSqliteConnections();

// "SQLite format 3" file header test.
bool isSqliteFile(const std::string& path);
// Quotes a name for SQL as "name".
std::string quoteSqlName(std::string_view name);

} // namespace qz::ado
