// One template, the same data held in every kind of source: the documents
// produced are the same, byte for byte.
#include "common/PgServer.h"
#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "production/Production.h"
#include "production/QueryParameters.h"
#include "production/TemplateData.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace qz::datasources {
namespace {

namespace fs = std::filesystem;

const std::string kExamples = std::string(QZ_SOURCE_DIR) + "/examples";

const char* kInvoiceSql =
    "SELECT i.InvoiceNo, i.InvoiceDate, i.DueDate, c.Name AS CustomerName, c.Contact, c.Street, c.City, "
    "c.Country, i.VatRate, i.Discount, i.Notes FROM {Invoice} i INNER JOIN {Customer} c ON c.CustomerId = "
    "i.CustomerId WHERE i.InvoiceNo = '2026-0117'";
const char* kLinesSql =
    "SELECT LineNo, Description, Quantity, UnitPrice, Quantity * UnitPrice AS Amount FROM {InvoiceLine} "
    "WHERE InvoiceNo = '2026-0117' ORDER BY LineNo";

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string xmlText(std::string s) {
    std::string out;
    for (char c : s) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

// The tables named as the source names them: {Invoice} -> [Invoice$] ...
std::string tables(std::string sql, const std::string& before, const std::string& after) {
    for (const char* t : {"Invoice", "Customer", "InvoiceLine"}) {
        const std::string key = std::string("{") + t + "}";
        for (auto p = sql.find(key); p != std::string::npos; p = sql.find(key))
            sql.replace(p, key.size(), before + t + after);
    }
    return sql;
}

class SameDocument : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        root = fs::temp_directory_path() / ("qz-same-" + std::to_string(rd()));
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    // A template folder: the example template, a QZC file with one
    // connection of the given type and string and the two commands.
    fs::path folder(const std::string& name, const std::string& type, const std::string& dataSource,
                    const std::string& invoiceText, const std::string& linesText) {
        const fs::path dir = root / name;
        fs::create_directories(dir);
        fs::copy_file(kExamples + "/invoice.rtf", dir / "invoice.rtf");
        std::string qzc = readFile(kExamples + "/invoice.qzc");
        qzc = qzc.substr(0, qzc.find("<ConnectionList>")) +
              "<ConnectionList><Connection ID=\"ID1\"><Name>Shop</Name><DataSource>" + xmlText(dataSource) +
              "</DataSource><ConnectionType>" + type + "</ConnectionType><CommandList>"
              "<Command ID=\"ID1\"><Name>Invoice</Name><Text>" + xmlText(invoiceText) + "</Text></Command>"
              "<Command ID=\"ID2\"><Name>Lines</Name><Text>" + xmlText(linesText) + "</Text></Command>"
              "</CommandList></Connection></ConnectionList></QZC>";
        std::ofstream(dir / "invoice.qzc") << qzc;
        return dir;
    }

    // Produces the folder's template with its data opened as the preview does.
    std::string produce(const fs::path& dir) {
        production::TemplateData data;
        data.Open((dir / "invoice.qzc").string(), dir.string(), [](const std::string& s) { return ado::BoundSql{s, {}}; });
        for (const auto& s : data.SkippedItems()) ADD_FAILURE() << s.command << ": " << s.reason;
        production::Production p;
        p.ProgramFolder(std::string(QZ_SOURCE_DIR) + "/src/production"); // qzLib.vbs
        p.TemplateFile((dir / "invoice.rtf").string());
        p.OutputFile((dir / "out.rtf").string());
        data.Register([&](const std::string& n, Ref<Dispatch> o) { p.AddObject(n, o); });
        p.Execute();
        return readFile(dir / "out.rtf");
    }

    // CSV files and a workbook of the example database, written by Python.
    bool exportTables(const fs::path& db, const fs::path& csvDir, const fs::path& xls) {
        const fs::path script = root / "export.py";
        std::ofstream(script) <<
            "import csv, sqlite3, sys, xlwt\n"
            "db = sqlite3.connect(sys.argv[1])\n"
            "wb = xlwt.Workbook(encoding='utf-8')\n"
            "for t in ['Customer', 'Invoice', 'InvoiceLine']:\n"
            "    cur = db.execute('SELECT * FROM ' + t)\n"
            "    names = [d[0] for d in cur.description]\n"
            "    rows = cur.fetchall()\n"
            "    with open(sys.argv[2] + '/' + t + '.csv', 'w', newline='', encoding='utf-8') as f:\n"
            "        w = csv.writer(f)\n"
            "        w.writerow(names)\n"
            "        w.writerows(rows)\n"
            "    ws = wb.add_sheet(t)\n"
            "    for c, n in enumerate(names): ws.write(0, c, n)\n"
            "    for r, row in enumerate(rows, 1):\n"
            "        for c, v in enumerate(row):\n"
            "            if v is not None: ws.write(r, c, v)\n"
            "wb.save(sys.argv[3])\n";
        fs::create_directories(csvDir);
        const std::string cmd = "/usr/bin/python3 '" + script.string() + "' '" + db.string() + "' '" +
                                csvDir.string() + "' '" + xls.string() + "'";
        return std::system(cmd.c_str()) == 0;
    }

    fs::path root;
};

TEST_F(SameDocument, FromSqliteTextWorkbookSavedXmlAndPostgres) {
    // SQLite: the example database, named relative to the template.
    const fs::path sqliteDir = folder("sqlite", "0", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=invoice.db",
                                      tables(kInvoiceSql, "", ""), tables(kLinesSql, "", ""));
    fs::copy_file(kExamples + "/invoice.db", sqliteDir / "invoice.db");
    const std::string expected = produce(sqliteDir);
    ASSERT_NE(expected.find("Brasserie L\\u233?on & Fils"), std::string::npos);
    ASSERT_NE(expected.find("2026-0117"), std::string::npos);

    // Delimited text and an Excel workbook made from the same tables.
    const fs::path textDir = folder("text", "4",
                                    "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"data\";Extended "
                                    "Properties=\"text;HDR=YES;FMT=Delimited\"",
                                    tables(kInvoiceSql, "[", "#csv]"), tables(kLinesSql, "[", "#csv]"));
    const fs::path xlsDir = folder("xls", "1",
                                   "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"invoice.xls\";Extended "
                                   "Properties=Excel 8.0;",
                                   tables(kInvoiceSql, "[", "$]"), tables(kLinesSql, "[", "$]"));
    ASSERT_TRUE(exportTables(sqliteDir / "invoice.db", textDir / "data", xlsDir / "invoice.xls"));
    EXPECT_EQ(produce(textDir), expected);
    EXPECT_EQ(produce(xlsDir), expected);

    // Saved recordsets of the two commands.
    const fs::path xmlDir = folder("xml", "8", "", "Invoice.xml", "Lines.xml");
    fs::copy_file(kExamples + "/data/Invoice.xml", xmlDir / "Invoice.xml");
    fs::copy_file(kExamples + "/data/Lines.xml", xmlDir / "Lines.xml");
    EXPECT_EQ(produce(xmlDir), expected);

    std::string why;
    qz::test::PgServer* pg = qz::test::PgServer::Instance(&why);
    if (!pg) GTEST_SKIP() << "PostgreSQL cannot run here: " << why;
    std::string schema = readFile(kExamples + "/invoice.sql");
    for (auto [from, to] : {std::pair<std::string, std::string>{"MONEY", "NUMERIC(10,2)"},
                            {"DOUBLE ", "DOUBLE PRECISION "}})
        for (auto p = schema.find(from); p != std::string::npos; p = schema.find(from, p + to.size()))
            schema.replace(p, from.size(), to);
    std::string error;
    ASSERT_TRUE(pg->CreateDatabase("invoice", &error)) << error;
    ASSERT_TRUE(pg->Execute("invoice", schema, &error)) << error;
    const fs::path pgDir = folder("pg", "6", pg->OdbcConnectionString("invoice"), tables(kInvoiceSql, "", ""),
                                  tables(kLinesSql, "", ""));
    EXPECT_EQ(produce(pgDir), expected);
}

TEST_F(SameDocument, AccessOrdersWithTheirCustomersReachTheTemplate) {
    const fs::path mdb = fs::path(QZ_SOURCE_DIR) / "tests/data/access/nwind.mdb";
    ASSERT_TRUE(fs::exists(mdb)) << mdb;
    const fs::path dir = folder(
        "access", "0", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"nwind.mdb\"",
        "SELECT o.OrderID AS InvoiceNo, o.OrderDate AS InvoiceDate, o.RequiredDate AS DueDate, "
        "c.CompanyName AS CustomerName, c.ContactName AS Contact, c.Address AS Street, c.City, c.Country, "
        "0.2 AS VatRate, 0.05 AS Discount, NULL AS Notes FROM Orders o INNER JOIN Customers c "
        "ON o.CustomerID = c.CustomerID WHERE o.OrderID = 10248",
        "SELECT d.ProductID AS LineNo, p.ProductName AS Description, d.Quantity, d.UnitPrice, "
        "d.Quantity * d.UnitPrice AS Amount FROM [Order Details] d INNER JOIN Products p "
        "ON p.ProductID = d.ProductID WHERE d.OrderID = 10248 ORDER BY d.ProductID");
    fs::copy_file(mdb, dir / "nwind.mdb");
    fs::permissions(dir / "nwind.mdb", fs::perms::owner_write, fs::perm_options::add);
    const std::string doc = produce(dir);
    for (const char* s : {"10248", "Vins et alcools Chevalier", "59 rue de l'Abbaye", "Reims", "Queso Cabrales",
                          "Mozzarella di Giovanni"})
        EXPECT_NE(doc.find(s), std::string::npos) << s;
}

// A "?" answered with a date between "#" finds its rows in PostgreSQL
// through ODBC too, in a date and in a timestamp column.
TEST(SameAnswers, ADateAnswerFindsItsRowsInPostgres) {
    std::string why, error;
    qz::test::PgServer* pg = qz::test::PgServer::Instance(&why);
    if (!pg) GTEST_SKIP() << "PostgreSQL cannot run here: " << why;
    ASSERT_TRUE(pg->CreateDatabase("dates", &error)) << error;
    ASSERT_TRUE(pg->Execute("dates", "CREATE TABLE ev (n TEXT, d DATE, t TIMESTAMP); INSERT INTO ev VALUES "
                                     "('a', '2026-12-01', '2026-12-01 18:30:00'), ('b', '2026-12-02', '2026-12-02 09:00:00');",
                            &error)) << error;
    Ref<ado::Connection> c = makeRef<ado::Connection>();
    c->open(pg->OdbcConnectionString("dates"));
    for (auto [sql, answer, want] : {std::tuple{"SELECT n FROM ev WHERE d = ?", "#12/1/2026#", "a"},
                                     {"SELECT n FROM ev WHERE t = ?", "#2026-12-02 9:00 AM#", "b"},
                                     {"SELECT n FROM ev WHERE t > ?", "#2026-12-01 18:30#", "b"}}) {
        const ado::BoundSql bound = production::ResolveSqlParameters(
            sql, [answer = std::string(answer)](const std::string&) -> std::optional<std::string> { return answer; });
        Ref<ado::Recordset> rs = c->execute(bound);
        ASSERT_EQ(rs->recordCount(), 1) << sql;
        EXPECT_EQ(rs->value(std::size_t{0}).toUtf8(), want) << sql;
    }
}

// An answer is one value wherever it stands, on every kind of connection:
// "5-?" answered -1 is 5 minus -1 (written into the text, "5--1" made the
// rest of the condition a comment), and day zero with a time is that moment.
TEST(SameAnswers, AnAnswerIsOneValueOnEveryConnection) {
    const fs::path dir = fs::temp_directory_path() / ("qz-answers-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const std::string db = (dir / "stock.db").string();
    const char* kRows = "CREATE TABLE stock (q INTEGER, owner VARCHAR(10), at TIMESTAMP, price NUMERIC(10,2));"
                        "INSERT INTO stock VALUES (5, 'other', '2026-01-02 10:00:00', 1.5),"
                        " (6, 'me', '1899-12-30 10:00:00', 12.5);";
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(h, kRows, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(h);
    std::vector<std::string> connections{"Data Source=" + db};
    std::string why, error;
    if (qz::test::PgServer* pg = qz::test::PgServer::Instance(&why)) {
        ASSERT_TRUE(pg->CreateDatabase("answers", &error)) << error;
        ASSERT_TRUE(pg->Execute("answers", kRows, &error)) << error;
        connections.push_back(pg->OdbcConnectionString("answers"));
        connections.push_back("Driver=QzSQLite3;Database=" + db);
    }
    for (const std::string& cs : connections) {
        Ref<ado::Connection> c = makeRef<ado::Connection>();
        c->open(cs);
        for (auto [sql, answer] : {std::pair{"SELECT owner FROM stock WHERE q = 5-? AND owner = 'me'", "-1"},
                                   {"SELECT owner FROM stock WHERE at = ?", "#1899-12-30 10:00#"},
                                   {"SELECT owner FROM stock WHERE price = ?", "12.50"},
                                   {"SELECT owner FROM stock WHERE owner = ?", "'me'"}}) {
            const ado::BoundSql bound = production::ResolveSqlParameters(
                sql, [answer = std::string(answer)](const std::string&) -> std::optional<std::string> { return answer; });
            Ref<ado::Recordset> rs = c->execute(bound);
            ASSERT_EQ(rs->recordCount(), 1) << cs << ": " << sql;
            EXPECT_EQ(rs->value(std::size_t{0}).toUtf8(), "me") << cs << ": " << sql;
        }
    }
    fs::remove_all(dir);
}

} // namespace
} // namespace qz::datasources
