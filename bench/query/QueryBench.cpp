// Throughput of the query model's SQL generator and parser on a small schema.
#include "query/QBSelectQueryParser.h"
#include "query/Catalog.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

using namespace qz::query;

namespace {

CatalogRef Fixture() {
    static CatalogRef catalog = [] {
        char path[] = "/tmp/qzbench-XXXXXX";
        int fd = mkstemp(path);
        if (fd < 0) std::abort();
        close(fd);
        sqlite3* db = nullptr;
        const char* sql = R"(
            CREATE TABLE Customers(CustomerID INTEGER PRIMARY KEY, CompanyName VARCHAR(40), "Contact Name" TEXT);
            CREATE TABLE Orders(OrderID INTEGER PRIMARY KEY, CustomerID INTEGER REFERENCES Customers(CustomerID),
                                OrderDate DATETIME, Total REAL);
            CREATE TABLE "Order Details"(OrderID INTEGER REFERENCES Orders(OrderID), ProductID INTEGER, Qty INTEGER);
            CREATE TABLE Products(ProductID INTEGER PRIMARY KEY, ProductName TEXT);)";
        if (sqlite3_open(path, &db) != SQLITE_OK || sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            std::abort();
        sqlite3_close(db);
        CatalogRef c = OpenCatalog(path);
        std::remove(path);
        return c;
    }();
    return catalog;
}

void BuildModel(QBSelectQuery& q) {
    q.SetRowsToSelect(kRowsAll);
    for (const char* t : {"Customers", "Orders", "Order Details", "Products"}) q.SelectTable(t);
    q.SelectColumn("Customers", "CompanyName");
    q.SelectColumn("Order Details", "*");
    q.SelectColumn("Products", "ProductName");
    q.SetSearchCondition(0, "Orders", "Total", kOpGreater, "100");
    q.SetSearchCondition(1, "Customers", "CompanyName", kOpContains, "O'Brien");
    q.AddOrderExpression("Orders", "OrderDate", 3, 1);
}

void BM_GetSQL(benchmark::State& state) {
    QBSelectQuery q(Fixture());
    BuildModel(q);
    for (auto _ : state) benchmark::DoNotOptimize(q.GetSQL());
}
BENCHMARK(BM_GetSQL);

void BM_ParseGeneratedText(benchmark::State& state) {
    QBSelectQuery q(Fixture());
    BuildModel(q);
    const std::string sql = q.GetSQL();
    for (auto _ : state) {
        QBSelectQuery target(Fixture());
        benchmark::DoNotOptimize(QBSelectQueryParser::Parse(target, sql).ok);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(sql.size()));
}
BENCHMARK(BM_ParseGeneratedText);

} // namespace

BENCHMARK_MAIN();
