// The ODBC provider against a PostgreSQL server started for the test run.
#include "SameData.h"
#include "common/PgServer.h"

#include "platform/system/Deadline.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace qz::ado::test {
namespace {

class Postgres : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        pg = qz::test::PgServer::Instance(&why);
        if (!pg) GTEST_SKIP() << "PostgreSQL cannot run here: " << why;
        std::string error;
        ASSERT_TRUE(pg->CreateDatabase("shop", &error)) << error;
        std::string sql = kSameSql;
        sql.replace(sql.find("char(10)"), 8, "chr(10)");
        sql += "CREATE TABLE Customers (CustomerID INTEGER PRIMARY KEY, Name VARCHAR(30));"
               "CREATE TABLE Sales (SaleID INTEGER, CustomerID INTEGER REFERENCES Customers(CustomerID));"
               "CREATE VIEW BigOrders AS SELECT ID FROM Orders WHERE Total > 10;"
               "CREATE TABLE \"Umsätze\" (\"Größe\" INTEGER);";
        ASSERT_TRUE(pg->Execute("shop", sql, &error)) << error;
    }
    qz::test::PgServer* pg = nullptr;
};

TEST_F(Postgres, ReadsTheSameRowsAsTheSqliteFile) {
    TempDir dir;
    makeSqlite(dir.file("same.db"), kSameSql);
    Ref<Connection> sqlite = makeRef<Connection>();
    sqlite->open("Data Source=" + dir.file("same.db"));
    // PostgreSQL folds unquoted names to lower case.
    const std::string q = "SELECT ID AS \"ID\", Customer AS \"Customer\", Total AS \"Total\", Created AS \"Created\" FROM Orders ORDER BY ID";
    Ref<Connection> c = makeRef<Connection>();
    c->open(pg->OdbcConnectionString("shop"));
    EXPECT_EQ(dump(*c->execute(q)), dump(*sqlite->execute(q)));

    // Names and literals outside ASCII reach the server unchanged.
    Ref<Recordset> u = c->execute("SELECT 'Café' AS \"Prénom\"");
    EXPECT_EQ(u->column(0).name, "Prénom");
    EXPECT_EQ(u->value(0).toUtf8(), "Café");

    Ref<Recordset> d = c->describe("SELECT Customer FROM Orders WHERE ID = ?");
    ASSERT_EQ(d->fieldCount(), 1u);
    EXPECT_TRUE(isStringType(d->column(0).type));
}

// Numbers of more digits than a Double keeps arrive whole, as Decimal, and
// money as Currency: the digits psql prints for the same rows.
TEST_F(Postgres, ExactNumbersKeepEveryDigit) {
    std::string error;
    ASSERT_TRUE(pg->Execute("shop", "CREATE TABLE Big (N INT, Amount NUMERIC(20,4), Count BIGINT, Price MONEY);"
                                    "INSERT INTO Big VALUES (1, 1234567890123456.7891, 9007199254740993, 1234.56),"
                                    "(2, -0.5, 42, -0.01), (3, -99999999999999.9999, -9223372036854775808, 0);",
                           &error)) << error;
    // CStr leaves out the trailing zeros that psql writes for the scale.
    const std::string expected =
        pg->Query("shop", "SELECT trim_scale(Amount), Count, trim_scale(Price::numeric) FROM Big ORDER BY N");
    Ref<Connection> c = makeRef<Connection>();
    c->open(pg->OdbcConnectionString("shop"));
    Ref<Recordset> rs = c->execute("SELECT Amount, Count, Price FROM Big ORDER BY N");
    std::string got, types;
    for (; !rs->eof(); rs->moveNext())
        for (std::size_t i = 0; i < 3; ++i) {
            got += rs->value(i).toUtf8() + (i < 2 ? "|" : "\n");
            types += std::to_string(rs->value(i).varType()) + (i < 2 ? " " : ";");
        }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(types, "14 14 6;5 3 6;14 14 6;");
}

// Dates the date type cannot hold (the endless ones, years before Christ,
// before 100 or after 9999) stay texts (as the driver writes them), never
// another date.
TEST_F(Postgres, DatesOutOfTheDateRangeStayTexts) {
    std::string error;
    ASSERT_TRUE(pg->Execute("shop", "CREATE TABLE Days (N INT, Day DATE, At TIMESTAMP, Zoned TIMESTAMPTZ);"
                                    "INSERT INTO Days VALUES (1, '2024-03-05', '2024-03-05 10:11:12.5', "
                                    "'2024-03-05 10:11:12+00'), (2, 'infinity', NULL, NULL),"
                                    "(3, '-infinity', '-infinity', '-infinity'),"
                                    "(4, NULL, '0144-03-15 10:00 BC', '0144-03-15 10:00+00 BC'),"
                                    "(5, '0050-01-01', '10000-01-01', NULL), (6, '0100-01-01', '9999-12-31 23:59:59', NULL);",
                           &error)) << error;
    Ref<Connection> c = makeRef<Connection>();
    c->open(pg->OdbcConnectionString("shop"));
    Ref<Recordset> rs = c->execute("SELECT Day, At, Zoned FROM Days ORDER BY N");
    std::string got;
    for (; !rs->eof(); rs->moveNext()) {
        for (std::size_t i = 0; i < 3; ++i) {
            const Variant& v = rs->value(i);
            got += v.isNull() ? "null" : v.type() == VarType::Date ? "D " + std::to_string(v.toDouble()) : v.isString() ? "S" : "?";
            got += i < 2 ? "|" : "\n";
        }
    }
    EXPECT_EQ(got, "D 45356.000000|D 45356.424450|D 45356.424444\n"
                   "S|null|null\nS|S|S\nnull|S|S\nS|S|null\n"
                   "D -657434.000000|D 2958465.999988|null\n");
    EXPECT_EQ(rs->column(0).type, adDBDate);
}

TEST_F(Postgres, CatalogAndServerMessages) {
    Ref<Connection> c = makeRef<Connection>();
    c->open(pg->OdbcConnectionString("shop"));
    const CatalogTable* sales = nullptr;
    const CatalogTable* view = nullptr;
    std::vector<CatalogTable> tables = c->catalog();
    for (const CatalogTable& t : tables) {
        if (t.name == "sales") sales = &t;
        if (t.name == "bigorders") view = &t;
    }
    ASSERT_NE(sales, nullptr);
    ASSERT_NE(view, nullptr);
    bool accented = false;
    for (const CatalogTable& t : tables)
        accented |= t.name == "Umsätze" && t.columns.size() == 1 && t.columns[0].name == "Größe";
    EXPECT_TRUE(accented);
    EXPECT_EQ(view->type, "VIEW");
    ASSERT_EQ(sales->keys.size(), 1u);
    EXPECT_EQ(sales->keys[0].relatedTable, "customers");
    EXPECT_EQ(sales->keys[0].columns[0].name, "customerid");
    EXPECT_EQ(sales->keys[0].columns[0].relatedColumn, "customerid");

    try {
        c->execute("SELECT * FROM missing_table");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("missing_table"), std::string::npos) << e.Description;
    }
    Ref<Connection> bad = makeRef<Connection>();
    EXPECT_THROW(bad->open(pg->OdbcConnectionString("no_such_db")), AutomationError);
    ASSERT_EQ(bad->errors().size(), 1u);
    EXPECT_NE(bad->errors()[0].description.find("no_such_db"), std::string::npos);
}

// A data source of odbc.ini and a file data source, with the keys the
// driver's own set-up writes, read the rows the driver string reads; a value
// in braces (a password holding ";") reaches the driver whole. The driver's
// logs may be named only to be off.
TEST_F(Postgres, DataSourcesAndFileDataSourcesConnect) {
    TempDir dir;
    const std::string keys = "Servername=127.0.0.1\nPort=" + std::to_string(pg->Port()) +
                             "\nDatabase=shop\nUsername=postgres\nCommLog=0\nDebug=No\nConnSettings=\n";
    dir.write("odbc.ini", "[QzShopPg]\nDriver=QzPostgreSQL\nDescription=Shop\n" + keys);
    dir.write("pg.dsn", "[ODBC]\nDRIVER=QzPostgreSQL\n" + keys);
    struct Ini {
        const std::string saved = getenv("ODBCINI") ? getenv("ODBCINI") : "";
        ~Ini() { setenv("ODBCINI", saved.c_str(), 1); }
    } ini;
    setenv("ODBCINI", dir.file("odbc.ini").c_str(), 1);
    const std::string q = "SELECT ID, Customer, true AS Yes FROM Orders ORDER BY ID";
    Ref<Connection> byString = makeRef<Connection>();
    byString->open(pg->OdbcConnectionString("shop"));
    const std::string want = dump(*byString->execute(q));
    for (const std::string& cs : {std::string("DSN=QzShopPg;PWD={x;y}"), "FILEDSN=" + dir.file("pg.dsn"),
                                  std::string("Provider=MSDASQL;Data Source=QzShopPg;uid=postgres")}) {
        Ref<Connection> c = makeRef<Connection>();
        c->open(cs);
        EXPECT_EQ(dump(*c->execute(q)), want) << cs;
    }
    Ref<Connection> logs = makeRef<Connection>();
    try {
        logs->open("DSN=QzShopPg;CommLog=1");
        ADD_FAILURE() << "opened with CommLog=1";
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("\"CommLog\""), std::string::npos) << e.Description;
    }
}

// A boolean column reads as Booleans under the driver's own defaults (the
// string names no option); a string that sets the option keeps its texts.
TEST_F(Postgres, BooleansAreBooleansUnlessTheStringSaysOtherwise) {
    std::string error;
    ASSERT_TRUE(pg->Execute("shop", "CREATE TABLE Flags (Name TEXT, Done BOOLEAN);"
                                    "INSERT INTO Flags VALUES ('a', true), ('b', false), ('c', NULL);", &error)) << error;
    const std::string plain = pg->OdbcConnectionString("shop");
    ASSERT_EQ(plain.find("BoolsAsChar"), std::string::npos) << plain;
    const std::string sql = "SELECT Name, Done FROM Flags ORDER BY Name";
    Ref<Connection> c = makeRef<Connection>();
    c->open(plain);
    Ref<Recordset> rs = c->execute(sql);
    EXPECT_EQ(rs->column(1).type, adBoolean);
    std::string values;
    for (; !rs->eof(); rs->moveNext()) {
        const Variant& v = rs->value(1);
        values += v.isNull() ? "null;" : (v.type() == VarType::Boolean ? "Boolean " : "other ") + v.toUtf8() + ";";
    }
    EXPECT_EQ(values, "Boolean True;Boolean False;null;");
    bool catalogued = false;
    for (const CatalogTable& t : c->catalog())
        for (const CatalogColumn& col : t.columns) catalogued |= t.name == "flags" && col.name == "done" && col.type == adBoolean;
    EXPECT_TRUE(catalogued);

    for (const char* option : {"BoolsAsChar=1;", "boolsaschar=1;", "B9=1;"}) {
        Ref<Connection> chars = makeRef<Connection>();
        chars->open(plain + option);
        Ref<Recordset> texts = chars->execute(sql);
        EXPECT_TRUE(isStringType(texts->column(1).type)) << option;
        EXPECT_EQ(texts->value(1).toUtf8(), "1") << option;
    }
}

namespace {

// Runs f on a thread of its own: false when it has not ended within a bound
// far beyond any time-out set here, so that a hang fails the test instead of
// holding it. f owns what it uses.
bool endsWithin(std::function<void()> f, std::chrono::seconds bound = std::chrono::seconds(60)) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ended = done->get_future();
    std::thread([f = std::move(f), done]() mutable {
        f();
        f = nullptr;  // what it holds goes before the test may end
        done->set_value();
    }).detach();
    return ended.wait_for(bound) == std::future_status::ready;
}

void setSeconds(Connection& c, std::u16string_view name, std::int32_t seconds) {
    Variant v(seconds);
    c.invokeByName(name, kInvokePropertyPut, std::span<Variant>(&v, 1));
}

std::int32_t errorOf(Connection& c, const std::string& sql) {
    try {
        c.execute(sql);
    } catch (const AutomationError& e) {
        return e.Number;
    }
    return 0;
}

} // namespace

// The server runs every statement of a text it is given: one is all it gets,
// however quotes and comments are read.
TEST_F(Postgres, OneStatementPerCommand) {
    Ref<Connection> c = makeRef<Connection>();
    c->open(pg->OdbcConnectionString("shop"));
    const auto orders = [&] { return c->execute("SELECT ID FROM Orders")->recordCount(); };
    const auto before = orders();
    ASSERT_GT(before, 0);
    for (const char* sql : {"SELECT * FROM Orders WHERE Customer = 'x'; DELETE FROM Orders",
                            "SELECT * FROM Orders WHERE Customer = E'x\\'; DELETE FROM Orders; --'",
                            "SELECT 1 /* */; DELETE FROM Orders", "SELECT 1;\nDELETE FROM Orders -- done"})
        EXPECT_THROW(c->execute(sql), AutomationError) << sql;
    EXPECT_EQ(orders(), before);
    // A ";" inside a literal or a comment, and one ending the text, are no second statement.
    EXPECT_EQ(c->execute("SELECT ID FROM Orders WHERE Customer <> 'a;b' -- c; d\n;")->recordCount(), before);
}

// Each statement runs once, whatever its columns: a text column, which ODBC
// gives as a long text that cannot be bound, is read from the one result.
TEST_F(Postgres, EachStatementRunsOnce) {
    std::string error;
    ASSERT_TRUE(pg->Execute("shop", "CREATE TABLE notes (id SERIAL PRIMARY KEY, note TEXT); CREATE SEQUENCE once_seq;",
                            &error)) << error;
    Ref<Connection> c = makeRef<Connection>();
    c->open(pg->OdbcConnectionString("shop"));
    const std::string insert = "INSERT INTO notes (note) VALUES ('ran once') RETURNING id, note",
                      next = "SELECT nextval('once_seq') AS n, note FROM notes",
                      remove = "DELETE FROM notes WHERE note = 'ran once' RETURNING id, note";
    Ref<Recordset> rs = c->execute(insert);
    ASSERT_EQ(rs->recordCount(), 1);
    EXPECT_EQ(rs->value(1).toUtf8(), "ran once");
    EXPECT_EQ(c->execute("SELECT count(*) FROM notes")->value(0).toLong(), 1);
    EXPECT_EQ(c->execute(next)->value(0).toLong(), 1);
    EXPECT_EQ(c->execute(remove)->recordCount(), 1);
    EXPECT_EQ(c->execute("SELECT count(*) FROM notes")->value(0).toLong(), 0);
    const std::string log = pg->ServerLog();
    for (const std::string& sql : {insert, next, remove}) {
        std::size_t runs = 0;
        for (std::size_t at = log.find(sql); at != std::string::npos; at = log.find(sql, at + 1)) ++runs;
        EXPECT_EQ(runs, 1u) << sql;
    }
    // A long text comes whole.
    std::string abs;
    for (int i = 0; i < 50000; ++i) abs += "ab";
    EXPECT_EQ(c->execute("SELECT repeat('ab', 50000) AS t, 1 AS k")->value(0).toUtf8(), abs);
}

TEST_F(Postgres, StatementsEndByTheirTimeOut) {
    Ref<Connection> c = makeRef<Connection>();
    c->open(pg->OdbcConnectionString("shop"));
    auto number = std::make_shared<std::atomic<std::int32_t>>(0);

    // A statement the server keeps running is cancelled at CommandTimeout,
    // and the connection goes on.
    setSeconds(*c, u"CommandTimeout", 1);
    ASSERT_TRUE(endsWithin([c, number] { *number = errorOf(*c, "SELECT pg_sleep(3600)"); }));
    EXPECT_EQ(*number, kTimeoutExpired);
    EXPECT_EQ(c->execute("SELECT 1")->value(0).toLong(), 1);

    // Without one, the caller's deadline (the script's time-out) ends it.
    setSeconds(*c, u"CommandTimeout", 0);
    ASSERT_TRUE(endsWithin([c, number] {
        const sys::DeadlineScope deadline(sys::DeadlineClock::now() + std::chrono::milliseconds(300));
        *number = errorOf(*c, "SELECT pg_sleep(3600)");
    }));
    EXPECT_EQ(*number, kTimeoutExpired);

    // A server that stops answering: the statement is left behind with its
    // connection, which is given up.
    const pid_t server = static_cast<pid_t>(c->execute("SELECT pg_backend_pid()")->value(0).toLong());
    setSeconds(*c, u"CommandTimeout", 1);
    ASSERT_EQ(kill(server, SIGSTOP), 0);
    const bool ended = endsWithin([c, number] { *number = errorOf(*c, "SELECT 2"); });
    kill(server, SIGCONT);
    ASSERT_TRUE(ended);
    EXPECT_EQ(*number, kTimeoutExpired);
    EXPECT_EQ(errorOf(*c, "SELECT 3"), kErrorFail);

    // A server that takes the connection but never answers: the opening
    // fails by ConnectionTimeout (the bound lies below the driver's own 15 s).
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), len), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    std::string mute = pg->OdbcConnectionString("shop");
    mute.replace(mute.find(";Port=") + 6, std::to_string(pg->Port()).size(), std::to_string(ntohs(addr.sin_port)));
    Ref<Connection> silent = makeRef<Connection>();
    setSeconds(*silent, u"ConnectionTimeout", 1);
    auto opened = std::make_shared<std::atomic<bool>>(true);
    EXPECT_TRUE(endsWithin([silent, mute, opened] {
        try {
            silent->open(mute);
        } catch (const AutomationError&) {
            *opened = false;
        }
    }, std::chrono::seconds(10)));
    EXPECT_FALSE(*opened);
    close(listener);
}

} // namespace
} // namespace qz::ado::test
