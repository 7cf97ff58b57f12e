#include "common/PgServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

namespace fs = std::filesystem;

namespace qz::test {

namespace {

const char* const kBinDirs[] = {"/usr/lib/postgresql/15/bin", "/usr/lib/postgresql/16/bin",
                                "/usr/lib/postgresql/17/bin", "/usr/lib/postgresql/14/bin"};
const char* const kDrivers[] = {"/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so",
                                "/usr/lib/aarch64-linux-gnu/odbc/psqlodbcw.so",
                                "/usr/lib/odbc/psqlodbcw.so"};

std::string Quote(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\'') r += "'\\''";
        else r += c;
    }
    return r + "'";
}

// Runs a shell command; returns its exit status and its output.
int Run(const std::string& command, std::string* output) {
    std::string full = command + " 2>&1";
    FILE* p = popen(full.c_str(), "r");
    if (!p) return -1;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = pclose(p);
    if (output) *output = out;
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

int FreePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    int port = 0;
    socklen_t len = sizeof a;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(s);
    return port;
}

std::mutex gMutex;
std::unique_ptr<PgServer> gServer;
std::string gWhyNot;
bool gTried = false;

} // namespace

PgServer* PgServer::Instance(std::string* whyNot) {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!gTried) {
        gTried = true;
        std::unique_ptr<PgServer> s(new PgServer());
        if (s->Start(gWhyNot)) gServer = std::move(s);
    }
    if (!gServer && whyNot) *whyNot = gWhyNot;
    return gServer.get();
}

PgServer::~PgServer() { Stop(); }

namespace {

bool Locate(std::string& bin, std::string& driver, std::string* whyNot) {
    bin.clear();
    driver.clear();
    for (const char* d : kBinDirs)
        if (fs::exists(fs::path(d) / "initdb") && fs::exists(fs::path(d) / "pg_ctl") &&
            fs::exists(fs::path(d) / "psql")) {
            bin = d;
            break;
        }
    if (bin.empty()) {
        if (whyNot) *whyNot = "the PostgreSQL server binaries (initdb, pg_ctl, psql) are not installed";
        return false;
    }
    for (const char* d : kDrivers)
        if (fs::exists(d)) {
            driver = d;
            break;
        }
    if (driver.empty()) {
        if (whyNot) *whyNot = "the PostgreSQL ODBC driver (odbc-postgresql) is not installed";
        return false;
    }
    return true;
}

// The process's ODBC set-up, independent of the machine's: the PostgreSQL
// driver as "QzPostgreSQL" and, where installed, the SQLite driver beside it
// as "QzSQLite3", so that a test can read the same data through ODBC from a
// SQLite file. The driver manager reads where its set-up is at its first
// use only, so it is made before main: tests that use ODBC before the
// server starts leave it as it is, and the order of tests does not matter.
struct OdbcSetUp {
    std::string dir;
    OdbcSetUp() {
        std::string bin, driver;
        char tmpl[] = "/tmp/qzodbc-XXXXXX";
        if (!Locate(bin, driver, nullptr) || !mkdtemp(tmpl)) return;
        dir = tmpl;
        std::ofstream ini(dir + "/odbcinst.ini");
        ini << "[QzPostgreSQL]\nDescription=PostgreSQL Unicode\nDriver=" << driver << "\nUsageCount=1\n";
        if (const fs::path sqlite = fs::path(driver).parent_path() / "libsqlite3odbc.so"; fs::exists(sqlite))
            ini << "[QzSQLite3]\nDriver=" << sqlite.string() << "\n";
        std::ofstream(dir + "/odbc.ini") << "";
        setenv("ODBCSYSINI", dir.c_str(), 1);
        setenv("ODBCINI", (dir + "/odbc.ini").c_str(), 1);
    }
    ~OdbcSetUp() {
        std::error_code ec;
        if (!dir.empty()) fs::remove_all(dir, ec);
    }
};
const OdbcSetUp gOdbcSetUp;

} // namespace

bool PgServer::Installed(std::string* whyNot) {
    std::string bin, driver;
    return Locate(bin, driver, whyNot);
}

bool PgServer::Start(std::string& whyNot) {
    if (!Locate(bin_, driver_, &whyNot)) return false;
    char tmpl[] = "/tmp/qzpg-XXXXXX";
    if (!mkdtemp(tmpl)) {
        whyNot = "cannot create a temporary folder";
        return false;
    }
    dir_ = tmpl;
    // initdb refuses to run as root: run the server as an unprivileged user.
    if (geteuid() == 0) {
        const char* user = getpwnam("postgres") ? "postgres" : "nobody";
        passwd* pw = getpwnam(user);
        if (!pw || chown(dir_.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
            whyNot = std::string("cannot hand the data folder to the user ") + user;
            return false;
        }
        runAs_ = std::string("runuser -u ") + user + " -- ";
    }
    std::string out;
    std::string data = dir_ + "/data";
    if (Run(runAs_ + Quote(bin_ + "/initdb") + " -D " + Quote(data) +
                " -A trust -U postgres -E UTF8 --locale=C --no-sync",
            &out) != 0) {
        whyNot = "initdb failed: " + out;
        return false;
    }
    for (int attempt = 0; attempt < 5 && !running_; ++attempt) {
        port_ = FreePort();
        std::string opts = "-p " + std::to_string(port_) + " -k " + dir_ +
                           " -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off"
                           " -c synchronous_commit=off -c log_statement=all";
        if (Run(runAs_ + Quote(bin_ + "/pg_ctl") + " -D " + Quote(data) + " -l " +
                    Quote(dir_ + "/server.log") + " -w -t 60 -o " + Quote(opts) + " start",
                &out) == 0)
            running_ = true;
    }
    if (!running_) {
        whyNot = "the server did not start: " + out;
        return false;
    }
    return true;
}

void PgServer::Stop() {
    if (running_) {
        Run(runAs_ + Quote(bin_ + "/pg_ctl") + " -D " + Quote(dir_ + "/data") +
                " -m immediate -w stop",
            nullptr);
        running_ = false;
    }
    if (!dir_.empty()) {
        std::error_code ec;
        fs::remove_all(dir_, ec);
        dir_.clear();
    }
}

std::string PgServer::OdbcConnectionString(const std::string& database) const {
    // The driver by its installed name (a path is refused), with the driver's
    // own defaults, as a user writes it.
    return "Driver={QzPostgreSQL};Server=127.0.0.1;Port=" + std::to_string(port_) +
           ";Database=" + database + ";Uid=postgres;Pwd=;";
}

int PgServer::RunSql(const std::string& database, const std::string& sql, const std::string& flags,
                     std::string& out) const {
    char tmpl[] = "/tmp/qzpg-sql-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd < 0) return -1;
    close(fd);
    std::ofstream(tmpl) << sql;
    int rc = Run(Quote(bin_ + "/psql") + " -X -q " + flags + " -h 127.0.0.1 -p " + std::to_string(port_) +
                     " -U postgres -d " + Quote(database) + " -v ON_ERROR_STOP=1 -f " + Quote(tmpl),
                 &out);
    std::remove(tmpl);
    return rc;
}

bool PgServer::Execute(const std::string& database, const std::string& sql,
                       std::string* error) const {
    std::string out;
    int rc = RunSql(database, sql, "", out);
    if (rc != 0 && error) *error = out;
    return rc == 0;
}

std::string PgServer::Query(const std::string& database, const std::string& sql) const {
    std::string out;
    return RunSql(database, sql, "-A -t", out) == 0 ? out : std::string();
}

std::string PgServer::ServerLog() const {
    std::ifstream in(dir_ + "/server.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool PgServer::CreateDatabase(const std::string& database, std::string* error) const {
    return Execute("postgres", "DROP DATABASE IF EXISTS \"" + database + "\";\nCREATE DATABASE \"" +
                                   database + "\";\n",
                   error);
}

} // namespace qz::test
