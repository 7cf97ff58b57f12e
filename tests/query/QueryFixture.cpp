#include "QueryFixture.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

namespace qz::query::test {

namespace {

const char* const kSqliteSchema = R"(
CREATE TABLE Customers(CustomerID INTEGER PRIMARY KEY, CompanyName VARCHAR(40), "Contact Name" TEXT, Active BOOLEAN, Photo BLOB);
CREATE TABLE Orders(OrderID INTEGER PRIMARY KEY, CustomerID INTEGER, OrderDate DATETIME, Total REAL,
  CONSTRAINT CustomersOrders FOREIGN KEY (CustomerID) REFERENCES Customers(CustomerID));
CREATE TABLE "Order Details"(OrderID INTEGER, ProductID INTEGER, Qty INTEGER, "Part#" TEXT,
  FOREIGN KEY (OrderID) REFERENCES Orders(OrderID));
CREATE TABLE Products(ProductID INTEGER PRIMARY KEY, ProductName TEXT);
CREATE TABLE "Sheet1$"(Name TEXT, "Unit Price $" REAL);
INSERT INTO Customers VALUES(1,'Alfreds Ltd','Maria Anders',1,x'00'),(2,'Ana Trujillo','Ana',0,NULL),
  (3,'O''Brien & Co','Sean O''Brien',1,NULL),(4,'New York Tea, Ltd (NY)',NULL,NULL,NULL);
INSERT INTO Orders VALUES(10,1,'2000-03-01 00:00:00',120.5),(11,1,'1999-12-31 00:00:00',80),
  (12,3,'2001-01-15 00:00:00',300),(13,NULL,NULL,NULL);
INSERT INTO "Order Details" VALUES(10,100,2,'A#1'),(10,101,1,'B'),(12,100,5,NULL);
INSERT INTO Products VALUES(100,'Green Tea'),(101,'Coffee'),(102,'Tea%Cake');
INSERT INTO "Sheet1$" VALUES('Widget',2.5),('Gadget',10);
)";

const char* const kPostgresSchema = R"(
CREATE TABLE "Customers"("CustomerID" INTEGER PRIMARY KEY, "CompanyName" VARCHAR(40), "Contact Name" TEXT, "Active" BOOLEAN, "Photo" BYTEA);
CREATE TABLE "Orders"("OrderID" INTEGER PRIMARY KEY, "CustomerID" INTEGER, "OrderDate" TIMESTAMP, "Total" REAL,
  CONSTRAINT "CustomersOrders" FOREIGN KEY ("CustomerID") REFERENCES "Customers"("CustomerID"));
CREATE TABLE "Order Details"("OrderID" INTEGER, "ProductID" INTEGER, "Qty" INTEGER, "Part#" TEXT,
  FOREIGN KEY ("OrderID") REFERENCES "Orders"("OrderID"));
CREATE TABLE "Products"("ProductID" INTEGER PRIMARY KEY, "ProductName" TEXT);
CREATE TABLE "Sheet1$"("Name" TEXT, "Unit Price $" REAL);
INSERT INTO "Customers" VALUES(1,'Alfreds Ltd','Maria Anders',true,'\x00'),(2,'Ana Trujillo','Ana',false,NULL),
  (3,'O''Brien & Co','Sean O''Brien',true,NULL),(4,'New York Tea, Ltd (NY)',NULL,NULL,NULL);
INSERT INTO "Orders" VALUES(10,1,'2000-03-01 00:00:00',120.5),(11,1,'1999-12-31 00:00:00',80),
  (12,3,'2001-01-15 00:00:00',300),(13,NULL,NULL,NULL);
INSERT INTO "Order Details" VALUES(10,100,2,'A#1'),(10,101,1,'B'),(12,100,5,NULL);
INSERT INTO "Products" VALUES(100,'Green Tea'),(101,'Coffee'),(102,'Tea%Cake');
INSERT INTO "Sheet1$" VALUES('Widget',2.5),('Gadget',10);
)";

std::string TempFolder() {
    static std::string dir = [] {
        char tmpl[] = "/tmp/qzquery-XXXXXX";
        if (!mkdtemp(tmpl)) throw std::runtime_error("cannot create a temporary folder");
        std::string d = tmpl;
        static struct Cleanup {
            std::string dir;
            ~Cleanup() {
                std::error_code ec;
                std::filesystem::remove_all(dir, ec);
            }
        } cleanup{d};
        return d;
    }();
    return dir;
}

} // namespace

std::string CreateSqliteFile(const std::string& name, const std::string& sql) {
    std::string path = TempFolder() + "/" + name;
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create " + path);
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    std::string msg = err ? err : "";
    sqlite3_free(err);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error("fixture SQL failed: " + msg);
    return path;
}

const std::string& FixtureSqlitePath() {
    static std::string path = CreateSqliteFile("fixture.db", kSqliteSchema);
    return path;
}

const char* FixturePostgresSql() { return kPostgresSchema; }

bool SqliteRows(const std::string& path, const std::string& sql, Rows& rows, std::string& error) {
    rows.clear();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        sqlite3_close(db);
        return false;
    }
    sqlite3_stmt* st = nullptr;
    bool ok = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK;
    int rc = SQLITE_DONE;
    while (ok && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const unsigned char* p = sqlite3_column_text(st, i);
            row.push_back(p ? std::string(reinterpret_cast<const char*>(p),
                                          static_cast<size_t>(sqlite3_column_bytes(st, i)))
                            : "<null>");
        }
        rows.push_back(std::move(row));
    }
    if (!ok || rc != SQLITE_DONE) {
        error = sqlite3_errmsg(db);
        ok = false;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    std::sort(rows.begin(), rows.end());
    return ok;
}

namespace {

// One ODBC connection per connection string, kept for the process: the
// round trip runs hundreds of statements.
struct OdbcSession {
    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;
    std::string error;
    explicit OdbcSession(const std::string& connectionString) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        std::string cs = connectionString;
        if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()), SQL_NTS,
                                            nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
            error = Diag(SQL_HANDLE_DBC, dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
            dbc = nullptr;
        }
    }
    ~OdbcSession() {
        if (dbc) {
            SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    static std::string Diag(SQLSMALLINT type, SQLHANDLE h) {
        SQLCHAR state[6], msg[1024];
        SQLINTEGER native;
        SQLSMALLINT len;
        if (SQL_SUCCEEDED(SQLGetDiagRec(type, h, 1, state, &native, msg, sizeof msg, &len)))
            return reinterpret_cast<char*>(msg);
        return "ODBC error";
    }
};

} // namespace

bool OdbcRows(const std::string& connectionString, const std::string& sql, Rows& rows,
              std::string& error) {
    static std::map<std::string, std::unique_ptr<OdbcSession>> sessions;
    auto& session = sessions[connectionString];
    if (!session) session = std::make_unique<OdbcSession>(connectionString);
    rows.clear();
    if (!session->dbc) {
        error = session->error;
        return false;
    }
    SQLHSTMT st = nullptr;
    SQLAllocHandle(SQL_HANDLE_STMT, session->dbc, &st);
    std::string text = sql;
    bool ok = SQL_SUCCEEDED(SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS));
    if (!ok) {
        error = OdbcSession::Diag(SQL_HANDLE_STMT, st);
    } else {
        SQLSMALLINT cols = 0;
        SQLNumResultCols(st, &cols);
        while (SQL_SUCCEEDED(SQLFetch(st))) {
            std::vector<std::string> row;
            for (SQLUSMALLINT c = 1; c <= cols; ++c) {
                char buf[1024];
                SQLLEN ind = 0;
                SQLGetData(st, c, SQL_C_CHAR, buf, sizeof buf, &ind);
                row.push_back(ind == SQL_NULL_DATA ? "<null>" : std::string(buf));
            }
            rows.push_back(std::move(row));
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    std::sort(rows.begin(), rows.end());
    return ok;
}

CatalogRef MemoryCatalog(const std::vector<TableDef>& tables, SqlDialect dialect) {
    std::vector<CatalogTable> out;
    for (const auto& d : tables) {
        CatalogTable t{d.name, "TABLE", {}, d.keys};
        for (const auto& c : d.columns) {
            bool text = c.size() > 2 && c.compare(c.size() - 2, 2, "$t") == 0;
            t.columns.push_back(CatalogColumn{text ? c.substr(0, c.size() - 2) : c, text ? 203 : 3, 0});
        }
        out.push_back(std::move(t));
    }
    return std::make_shared<const Catalog>(std::move(out), dialect);
}

std::vector<ColumnRef> Cols(const TableRef& table) {
    std::vector<ColumnRef> out;
    for (const auto& c : table->columns) out.emplace_back(table, &c);
    return out;
}

ColumnRef Col(const TableRef& table, std::string_view name) {
    for (const auto& c : table->columns)
        if (equalsNoCaseAscii(c.name, name)) return ColumnRef(table, &c);
    return nullptr;
}

std::string Canonical(const QBSelectQuery& q) {
    std::ostringstream s;
    s << "rows " << (q.GetRowsToSelect() == kRowsDistinct ? 3 : 2) << "\ncolumns";
    for (const auto& c : q.SelectedColumnList()) s << " [" << c->FQName() << "]";
    std::set<std::string> tables, rels;
    for (const auto& t : q.SelectedTableList()) tables.insert(t->FQName());
    s << "\ntables";
    for (const auto& t : tables) s << " [" << t << "]";
    for (const auto& r : q.ForeignKeyList()) {
        bool flip = r->BaseTable->name > r->RelatedTable->name;
        const auto& a = flip ? r->RelatedTable : r->BaseTable;
        const auto& b = flip ? r->BaseTable : r->RelatedTable;
        std::string text = std::to_string(r->FKType) + " " + a->name + "|" + b->name + ":";
        for (const auto& p : r->ColumnPairs)
            text += " " + (flip ? p.Related : p.Base)->name + "=" + (flip ? p.Base : p.Related)->name;
        rels.insert(text);
    }
    s << "\nrelationships";
    for (const auto& r : rels) s << " {" << r << "}";
    std::vector<std::string> used;
    for (const auto& c : q.SearchConditionList())
        if (c->Operator >= kOpEqual && c->Operator <= kOpStartsWith)
            used.push_back(c->Table->name + "." + c->Column->name + " " + std::to_string(c->Operator) +
                           " '" + (c->Operator == kOpIsNull || c->Operator == kOpIsNotNull ? "" : c->Parameter) + "'");
    int type = q.SearchConditionList().SearchType();
    if (used.size() <= 1) type = (type == kMatchAll || type == kMatchAny) ? kMatchAll : kMatchNotAny;
    s << "\nwhere " << (used.empty() ? 0 : type);
    for (const auto& u : used) s << " {" << u << "}";
    std::vector<const QBOrderExpression*> orders;
    for (const auto& o : q.OrderExpressionList()) orders.push_back(o.get());
    std::stable_sort(orders.begin(), orders.end(),
                     [](auto* a, auto* b) { return a->OrderPriority < b->OrderPriority; });
    s << "\norder";
    for (const auto* o : orders) s << " [" << o->FQName() << " " << o->OrderType << "]";
    return s.str();
}

} // namespace qz::query::test
