// A throw-away PostgreSQL server for integration tests: a fresh cluster in a
// temporary folder, listening on 127.0.0.1 at a free port, with trust
// authentication for the user "postgres". Connection strings name the ODBC
// driver by its installed name, "QzPostgreSQL", of a temporary odbcinst.ini
// that ODBCSYSINI/ODBCINI point to from before main, whichever test runs
// first; the SQLite ODBC driver is there too, as "QzSQLite3", where it is
// installed. Started on first use, stopped when the process ends.
#pragma once

#include <string>

namespace qz::test {

class PgServer {
public:
    // The running server, or null when it cannot run here; whyNot then says
    // why (the server binaries or the ODBC driver are missing, or start-up failed).
    static PgServer* Instance(std::string* whyNot = nullptr);
    // True when the server binaries and the ODBC driver are installed, so
    // that a test may skip only when they are not.
    static bool Installed(std::string* whyNot = nullptr);

    int Port() const { return port_; }
    // An ODBC connection string for a database of this server.
    std::string OdbcConnectionString(const std::string& database) const;
    // Runs SQL text with psql (ON_ERROR_STOP); false with the output in error.
    bool Execute(const std::string& database, const std::string& sql,
                 std::string* error = nullptr) const;
    // What psql prints for a query: its rows unaligned, without headings
    // (psql -A -t); empty when it fails.
    std::string Query(const std::string& database, const std::string& sql) const;
    // The server's log so far: every statement it ran is logged.
    std::string ServerLog() const;
    // Drops the database if present and creates it empty.
    bool CreateDatabase(const std::string& database, std::string* error = nullptr) const;

    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

private:
    PgServer() = default;
    bool Start(std::string& whyNot);
    int RunSql(const std::string& database, const std::string& sql, const std::string& flags,
               std::string& out) const;
    void Stop();

    std::string dir_;
    std::string bin_;
    std::string driver_;
    std::string runAs_; // "runuser -u <user> -- " when started as root
    int port_ = 0;
    bool running_ = false;
};

} // namespace qz::test
