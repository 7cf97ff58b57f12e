// The query model over every kind of data source the data layer opens
// (Access, an Excel workbook, a folder of delimited text), and texts of real
// Access data that must keep their meaning when read and written again.
#include "QueryFixture.h"

#include "common/PgServer.h"
#include "platform/ado/Connection.h"
#include "query/QBSelectQueryParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

namespace qz::query {
namespace {

namespace fs = std::filesystem;

struct Folder {
    Folder() {
        std::random_device rd;
        path = fs::temp_directory_path() / ("qz-query-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string File(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

// Every row of a statement run through the data layer, sorted, as text.
test::Rows RowsOf(ado::Connection& c, const std::string& sql) {
    Ref<ado::Recordset> rs = c.execute(sql);
    test::Rows rows;
    for (; !rs->eof(); rs->moveNext()) {
        std::vector<std::string> row;
        for (size_t i = 0; i < rs->fieldCount(); ++i) row.push_back(rs->value(i).toUtf8());
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Reads a text into a fresh model and writes it again.
std::string Rewrite(const CatalogRef& catalog, const std::string& sql, int* refusal = nullptr) {
    QBSelectQuery q(catalog);
    QBParseResult r = QBSelectQueryParser::Parse(q, sql);
    if (refusal) *refusal = r.ok ? 0 : r.messageId;
    return r.ok ? q.GetSQL() : std::string();
}

class AccessData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new Folder;
        const std::string mdb = folder_->File("nwind.mdb");
        fs::copy_file(std::string(QZ_SOURCE_DIR) + "/tests/data/access/nwind.mdb", mdb);
        connection_ = new Ref<ado::Connection>(makeRef<ado::Connection>());
        (*connection_)->open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + mdb);
        catalog_ = new CatalogRef(CatalogOf(**connection_));
    }
    static void TearDownTestSuite() {
        delete catalog_;
        delete connection_;
        delete folder_;
    }
    // The text keeps its rows when read and written again, and the written
    // text settles.
    void KeepsItsMeaning(const std::string& sql) {
        SCOPED_TRACE(sql);
        int refusal = 0;
        const std::string once = Rewrite(*catalog_, sql, &refusal);
        ASSERT_EQ(refusal, 0);
        EXPECT_EQ(RowsOf(**connection_, once), RowsOf(**connection_, sql)) << once;
        EXPECT_EQ(Rewrite(*catalog_, once), once);
    }
    static Folder* folder_;
    static Ref<ado::Connection>* connection_;
    static CatalogRef* catalog_;
};
Folder* AccessData::folder_ = nullptr;
Ref<ado::Connection>* AccessData::connection_ = nullptr;
CatalogRef* AccessData::catalog_ = nullptr;

TEST_F(AccessData, CatalogListsTheTablesAndTheirRelationships) {
    QBSelectQuery q;
    q.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder_->File("nwind.mdb"));
    // The nine tables, and the saved queries that can be run as views.
    std::size_t tables = 0, views = 0;
    for (const TableRef& t : q.GetCatalogTables()) (t->type == "VIEW" ? views : tables) += 1;
    EXPECT_EQ(tables, 9u);
    EXPECT_EQ(views, 18u);
    EXPECT_EQ(q.GetSearchColumnType("Orders", "OrderDate"), kKindDateTime);
    EXPECT_EQ(q.GetSearchColumnType("Orders", "Freight"), kKindNumeric);
    EXPECT_EQ(q.GetSearchColumnType("Products", "Discontinued"), kKindBoolean);
    q.SetRowsToSelect(kRowsAll);
    q.SelectTable("Orders");
    q.SelectTable("Customers");
    ASSERT_EQ(q.ForeignKeyList().Count(), 1u);
    EXPECT_EQ(q.ForeignKeyList().Item(1)->BaseTable->name, "Customers");
    q.SelectColumn("Customers", "CompanyName");
    q.SelectColumn("Orders", "OrderID");
    q.SetSearchCondition(0, "Orders", "Freight", kOpGreater, "500");
    EXPECT_EQ(RowsOf(**connection_, q.GetSQL()).size(), 13u) << q.GetSQL();
    EXPECT_EQ(Rewrite(q.GetCatalog(), q.GetSQL()), q.GetSQL());
}

TEST_F(AccessData, AQuotedQuestionMarkIsTextNotTheParameterMarker) {
    KeepsItsMeaning("SELECT Orders.OrderID FROM Orders WHERE Orders.ShipName <> '?'");
    QBSelectQuery q(*catalog_);
    ASSERT_TRUE(QBSelectQueryParser::Parse(q, "SELECT Orders.OrderID FROM Orders WHERE Orders.ShipName = ?").ok);
    EXPECT_NE(q.GetSQL().find("Orders.ShipName = ?\r\n"), std::string::npos) << q.GetSQL();
}

TEST_F(AccessData, AnAliasIsRefused) {
    int refusal = 0;
    Rewrite(*catalog_, "SELECT Shippers.CompanyName FROM Shippers Suppliers", &refusal);
    EXPECT_EQ(refusal, kErrInvalidTableSource);
    Rewrite(*catalog_, "SELECT Shippers.CompanyName FROM Shippers AS S", &refusal);
    EXPECT_EQ(refusal, kErrInvalidTableSource);
    Rewrite(*catalog_, "SELECT Shippers.CompanyName FROM Shippers, Suppliers", &refusal);
    EXPECT_EQ(refusal, 0);
}

TEST_F(AccessData, JoinsMeanWhatTheTextWrites) {
    // Other columns than the catalog's relationship.
    KeepsItsMeaning("SELECT Orders.OrderID, Customers.CompanyName FROM Orders INNER JOIN Customers "
                    "ON Orders.ShipCity = Customers.City");
    // A third table whose catalog relationship to the first one is not written.
    KeepsItsMeaning("SELECT Products.ProductName FROM (Products INNER JOIN Suppliers ON "
                    "Products.SupplierID = Suppliers.SupplierID) INNER JOIN Categories ON "
                    "Suppliers.SupplierID = Categories.CategoryID");
    // Related tables side by side are a cross join.
    KeepsItsMeaning("SELECT Orders.OrderID, Shippers.CompanyName FROM Orders, Shippers WHERE Orders.Freight > 800");
    // The catalog's relationship and more, and a chain written from either end.
    KeepsItsMeaning("SELECT Orders.OrderID FROM Orders INNER JOIN Customers ON Customers.CustomerID = "
                    "Orders.CustomerID AND Orders.ShipCity = Customers.City");
    KeepsItsMeaning("SELECT [Order Details].Quantity, Customers.Country FROM ([Order Details] INNER JOIN "
                    "Orders ON [Order Details].OrderID = Orders.OrderID) INNER JOIN Customers ON "
                    "Orders.CustomerID = Customers.CustomerID WHERE [Order Details].Quantity >= 100");
}

// A database of awkward names: every word the supported databases reserve,
// and a column that is actually named "*".
class AwkwardNames : public ::testing::Test {
protected:
    static std::vector<std::string> Words() {
        return {"Index", "To", "Add", "Alter", "Commit", "Constraint", "Transaction", "Returning",
                "Order", "Group", "Select", "Table", "User", "Top", "Limit", "Offset", "Window",
                "Current_Date", "Glob", "Regexp", "Analyze", "Both", "Ilike", "Verbose", "Percent",
                "Pivot", "Merge", "Key", "View", "Values", "Row", "Authorization", "Cross"};
    }

    static std::string Schema() {
        std::string schema;
        const auto words = Words();
        for (size_t i = 0; i < words.size(); ++i) {
            const std::string& w = words[i];
            const std::string& other = words[(i + 1) % words.size()];
            schema += "CREATE TABLE \"" + w + "\"(\"" + w + "\" INTEGER, \"" + other + "\" TEXT);";
            schema += "INSERT INTO \"" + w + "\" VALUES(1, 'a'), (2, '?'), (3, NULL);";
        }
        return schema;
    }
    // Models over random pairs of those tables run, read back to the same
    // model and write the same text again.
    static void RoundTrip(const CatalogRef& catalog,
                          const std::function<bool(const std::string&, test::Rows&, std::string&)>& rowsOf) {
        const auto words = Words();
        std::mt19937 rng(11);
        for (int n = 0; n < 60; ++n) {
            QBSelectQuery q(catalog);
            q.SetRowsToSelect(kRowsAll);
            const std::string a = words[rng() % words.size()];
            std::string b = words[rng() % words.size()];
            q.SelectTable(a);
            q.SelectColumn(a, a);
            if (b != a) {
                q.SelectTable(b);
                auto r = std::make_shared<QBForeignKey>();
                r->BaseTable = catalog->FindTable(a);
                r->RelatedTable = catalog->FindTable(b);
                r->ColumnPairs.push_back({catalog->FindColumn(*r->BaseTable, a), catalog->FindColumn(*r->RelatedTable, b)});
                q.AddUserDefinedForeignKey(r);
            }
            const std::string textColumn = test::Cols(catalog->FindTable(a))[1]->name;
            q.SetSearchCondition(0, a, textColumn, rng() % 2 ? kOpEqual : kOpNotEqual, "?", true);
            q.AddOrderExpression(a, a, 3, 1);
            const std::string sql = q.GetSQL();
            test::Rows rows;
            std::string error;
            ASSERT_TRUE(rowsOf(sql, rows, error)) << error << "\n" << sql;
            QBSelectQuery back(catalog);
            ASSERT_TRUE(QBSelectQueryParser::Parse(back, sql).ok) << sql;
            EXPECT_EQ(test::Canonical(back), test::Canonical(q));
            EXPECT_EQ(back.GetSQL(), sql);
        }
    }
};

TEST_F(AwkwardNames, ReservedWordsAsNamesRoundTripAndRunInSqlite) {
    const std::string path = test::CreateSqliteFile("reserved.db", Schema());
    RoundTrip(OpenCatalog(path), [&](const std::string& sql, test::Rows& rows, std::string& error) {
        return test::SqliteRows(path, sql, rows, error);
    });
}

TEST_F(AwkwardNames, ReservedWordsAsNamesRoundTripAndRunInPostgresThroughOdbc) {
    std::string whyNot;
    auto* server = qz::test::PgServer::Instance(&whyNot);
    if (!server) GTEST_SKIP() << "PostgreSQL cannot run here: " << whyNot;
    std::string error;
    ASSERT_TRUE(server->CreateDatabase("qzreserved", &error)) << error;
    ASSERT_TRUE(server->Execute("qzreserved", Schema(), &error)) << error;
    const std::string cs = server->OdbcConnectionString("qzreserved");
    RoundTrip(OpenCatalog(cs), [&](const std::string& sql, test::Rows& rows, std::string& err) {
        return test::OdbcRows(cs, sql, rows, err);
    });
}

TEST_F(AwkwardNames, AColumnNamedStarIsThatColumnNotAllColumns) {
    const std::string path = test::CreateSqliteFile(
        "star.db", "CREATE TABLE Odd(\"*\" INTEGER, b TEXT); INSERT INTO Odd VALUES(1, 'x'), (2, 'y');");
    auto catalog = OpenCatalog(path);
    QBSelectQuery q(catalog);
    ASSERT_TRUE(QBSelectQueryParser::Parse(q, "SELECT Odd.[*] FROM Odd WHERE Odd.[*] > 1 ORDER BY Odd.[*] DESC").ok);
    ASSERT_EQ(q.SelectedColumnList().Count(), 1u);
    EXPECT_FALSE(q.SelectedColumnList().Item(1)->AllColumns);
    const std::string sql = q.GetSQL();
    test::Rows rows;
    std::string error;
    ASSERT_TRUE(test::SqliteRows(path, sql, rows, error)) << error << "\n" << sql;
    EXPECT_EQ(rows, (test::Rows{{"2"}}));
    QBSelectQuery all(catalog);
    ASSERT_TRUE(QBSelectQueryParser::Parse(all, "SELECT Odd.* FROM Odd").ok);
    EXPECT_TRUE(all.SelectedColumnList().Item(1)->AllColumns);
}

// A workbook and a folder of text files are catalogs like any other.
TEST(QueryFileSources, WorkbookSheetsAndTextFilesAreTables) {
    Folder folder;
    std::ofstream(folder.File("orders.csv")) << "ID,Customer,Total\n1,Ana,10\n2,Bo,25\n3,Ana,7\n";
    std::ofstream(folder.File("customers.csv")) << "Name,City\nAna,Rome\nBo,Oslo\n";
    QBSelectQuery text;
    text.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + folder.path.string() +
                             "\";Extended Properties=\"text;HDR=YES;FMT=Delimited\"");
    ASSERT_TRUE(text.TableNameExists("orders#csv"));
    text.SetRowsToSelect(kRowsAll);
    text.SelectTable("orders#csv");
    text.SelectTable("customers#csv");
    text.SelectColumn("customers#csv", "City");
    text.SelectColumn("orders#csv", "Total");
    auto r = std::make_shared<QBForeignKey>();
    r->BaseTable = text.GetCatalog()->FindTable("orders#csv");
    r->RelatedTable = text.GetCatalog()->FindTable("customers#csv");
    r->ColumnPairs.push_back({text.GetCatalog()->FindColumn(*r->BaseTable, "Customer"),
                              text.GetCatalog()->FindColumn(*r->RelatedTable, "Name")});
    text.AddUserDefinedForeignKey(r);
    text.AddOrderExpression("orders#csv", "Total", 2, 1);
    const std::string sql = text.GetSQL();
    Ref<ado::Connection> c = makeRef<ado::Connection>();
    c->open(text.ConnectionString());
    EXPECT_EQ(RowsOf(*c, sql), (test::Rows{{"Oslo", "25"}, {"Rome", "10"}, {"Rome", "7"}})) << sql;
    EXPECT_NE(sql.find("[orders#csv].Total"), std::string::npos) << sql;
    EXPECT_EQ(Rewrite(text.GetCatalog(), sql), sql);

    // The workbook is made with Python's xlwt, as the data layer's own tests make theirs.
    const std::string script = folder.File("make.py");
    std::ofstream(script) << "import sys, xlwt\nwb = xlwt.Workbook()\nws = wb.add_sheet('Prices')\n"
                             "for r, row in enumerate([('Item', 'Price'), ('Tea', 4.5), ('Rice', 2)]):\n"
                             "    for c, v in enumerate(row): ws.write(r, c, v)\nwb.save(sys.argv[1])\n";
    const std::string xls = folder.File("book.xls");
    if (std::system(("/usr/bin/python3 '" + script + "' '" + xls + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "Python's xlwt is not installed";
    QBSelectQuery book;
    book.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + xls +
                             "\";Extended Properties=\"Excel 8.0;HDR=YES\"");
    ASSERT_TRUE(book.TableNameExists("Prices$"));
    book.SetRowsToSelect(kRowsAll);
    book.SelectTable("Prices$");
    book.SelectColumn("Prices$", "Item");
    book.SetSearchCondition(0, "Prices$", "Price", kOpGreater, "3");
    const std::string bookSql = book.GetSQL();
    EXPECT_NE(bookSql.find("`Prices$`.Item"), std::string::npos) << bookSql;
    Ref<ado::Connection> x = makeRef<ado::Connection>();
    x->open(book.ConnectionString());
    EXPECT_EQ(RowsOf(*x, bookSql), (test::Rows{{"Tea"}}));
    EXPECT_EQ(Rewrite(book.GetCatalog(), bookSql), bookSql);
}

} // namespace
} // namespace qz::query
