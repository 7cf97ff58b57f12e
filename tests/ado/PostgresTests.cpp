// The ODBC provider against a PostgreSQL server started for the test run.
#include "SameData.h"
#include "common/PgServer.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace qz::ado::test
