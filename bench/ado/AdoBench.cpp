// Rows per second fetched into a recordset and iterated, next to the raw
// SQLite C API reading the same rows in the same run, and the memory a
// fetched row takes.
#include "platform/ado/Connection.h"
#include "platform/ado/JetSql.h"
#include "platform/ado/Recordset.h"
#include "platform/script/ScriptControl.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace qz;
using namespace qz::ado;

constexpr int kRows = 50000;
constexpr const char* kQuery = "SELECT ID, Name, Total, Created FROM Orders";

const std::string& database() {
    static const std::string path = [] {
        std::string p = (std::filesystem::temp_directory_path() / "qz-ado-bench.db").string();
        std::filesystem::remove(p);
        sqlite3* db = nullptr;
        sqlite3_open(p.c_str(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE Orders (ID INTEGER, Name VARCHAR(40), Total DOUBLE, Created TIMESTAMP);"
                     "BEGIN;",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO Orders VALUES (?, ?, ?, ?)", -1, &st, nullptr);
        for (int i = 0; i < kRows; ++i) {
            const std::string name = "Customer number " + std::to_string(i);
            sqlite3_bind_int(st, 1, i);
            sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(st, 3, i * 1.25);
            sqlite3_bind_text(st, 4, "2024-03-01 10:30:00", -1, SQLITE_STATIC);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return p;
    }();
    return path;
}

// The floor: the C API stepping through the rows and reading every column.
void BM_RawSqliteApi(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(database().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, kQuery, -1, &st, nullptr);
        long long sum = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            sum += sqlite3_column_int(st, 0);
            sum += sqlite3_column_bytes(st, 1);
            benchmark::DoNotOptimize(sqlite3_column_text(st, 1));
            benchmark::DoNotOptimize(sqlite3_column_double(st, 2));
            benchmark::DoNotOptimize(sqlite3_column_text(st, 3));
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(sum);
    }
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RawSqliteApi)->Unit(benchmark::kMillisecond);

// Fetching every row into a recordset (typed Variants: Long, String, Double,
// Date) and walking it with the C++ members.
void BM_RecordsetFetchAndIterate(benchmark::State& state) {
    Ref<Connection> c = makeRef<Connection>();
    c->open("Data Source=" + database());
    // The heap a fetched recordset holds, measured once outside the timing
    // (reading the allocator's totals walks its lists).
    std::size_t bytes = 0;
    c->execute(kQuery); // the database's page cache filled first
    {
        const struct mallinfo2 before = mallinfo2();
        Ref<Recordset> rs = c->execute(kQuery);
        const struct mallinfo2 after = mallinfo2();
        bytes = (after.uordblks + after.hblkhd) - (before.uordblks + before.hblkhd);
    }
    for (auto _ : state) {
        Ref<Recordset> rs = c->execute(kQuery);
        double sum = 0;
        for (; !rs->eof(); rs->moveNext()) {
            sum += rs->value(2).doubleValue();
            benchmark::DoNotOptimize(rs->value(1));
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    state.counters["bytes_per_row"] = static_cast<double>(bytes) / kRows;
}
BENCHMARK(BM_RecordsetFetchAndIterate)->Unit(benchmark::kMillisecond);

// Access SQL on a folder of text files (the rows of "Orders" as a CSV file):
// the same columns plain, and computed by the Access operators and functions
// the translation calls on every row (a join of texts, Format, DateAdd, a
// quotient, Like); the difference is their cost per row. The translation
// itself runs once per command.
Connection& textFolder() {
    static Ref<Connection> c = [] {
        const auto folder = std::filesystem::temp_directory_path() / "qz-ado-bench-text";
        std::filesystem::create_directories(folder);
        {
            std::FILE* f = std::fopen((folder / "orders.csv").c_str(), "wb");
            std::fputs("ID,Name,Total,Created\r\n", f);
            for (int i = 0; i < kRows; ++i)
                std::fprintf(f, "%d,Customer number %d,%d.25,2024-03-01 10:30:00\r\n", i, i, i);
            std::fclose(f);
        }
        Ref<Connection> conn = makeRef<Connection>();
        conn->open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder.string() +
                   ";Extended Properties=\"text;HDR=YES;FMT=Delimited\"");
        return conn;
    }();
    return *c;
}

void fetchAll(Connection& c, const char* sql, benchmark::State& state) {
    for (auto _ : state) {
        Ref<Recordset> rs = c.execute(sql);
        for (; !rs->eof(); rs->moveNext()) benchmark::DoNotOptimize(rs->value(1));
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_AccessSqlPlainColumns(benchmark::State& state) {
    fetchAll(textFolder(), "SELECT ID, Name, Total, Created FROM [orders.csv]", state);
}
BENCHMARK(BM_AccessSqlPlainColumns)->Unit(benchmark::kMillisecond);

void BM_AccessSqlFunctionsPerRow(benchmark::State& state) {
    fetchAll(textFolder(),
             "SELECT ID, Name & ' (' & ID & ')' AS Who, Total / 2 AS Half, Format(Created, 'yyyy-mm') AS Ym, "
             "DateAdd('d', 30, Created) AS Due FROM [orders.csv] WHERE Name Like 'Customer*'",
             state);
}
BENCHMARK(BM_AccessSqlFunctionsPerRow)->Unit(benchmark::kMillisecond);

void BM_AccessSqlTranslation(benchmark::State& state) {
    const std::string sql =
        "SELECT TOP 10 Orders.OrderID, Customers.CompanyName & ' (' & Customers.City & ')' AS Who, "
        "Format(Orders.OrderDate, 'dd.mm.yyyy') AS D, IIf(Orders.Freight > 100, 'high', 'low') AS F "
        "FROM Orders INNER JOIN Customers ON Orders.CustomerID = Customers.CustomerID "
        "WHERE Orders.OrderDate >= #1/1/1995# AND Customers.CompanyName Like 'A*' ORDER BY Orders.OrderDate DESC";
    for (auto _ : state) benchmark::DoNotOptimize(jetToSqlite(sql));
}
BENCHMARK(BM_AccessSqlTranslation)->Unit(benchmark::kMicrosecond);

// A template's loop over the rows of "Orders", as the generated programs walk
// a recordset.
void walkFromScript(Ref<Dispatch> orders) {
    script::ScriptControl sc;
    sc.AddObject("Orders", std::move(orders));
    sc.AddCode(
        "Dim n, t\n"
        "Do While Not Orders.EOF\n"
        "  t = t + Orders.Fields(\"Total\").Value\n"
        "  n = Len(Orders(\"Name\"))\n"
        "  Orders.MoveNext\n"
        "Loop\n");
    benchmark::DoNotOptimize(sc.Eval("t"));
}

// The same rows walked from a template's script: Do While Not R.EOF ... MoveNext.
void BM_RecordsetFromScript(benchmark::State& state) {
    Ref<Connection> c = makeRef<Connection>();
    c->open("Data Source=" + database());
    for (auto _ : state) {
        Ref<Recordset> rs = c->execute(kQuery);
        walkFromScript(Ref<Dispatch>(rs.get()));
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RecordsetFromScript)->Unit(benchmark::kMillisecond);

// The script engine's own share of that loop: the same statements against an
// object that answers at once (no rows behind it), so that the cost of the
// interpreter and of the recordset can be told apart.
class FloorField final : public Dispatch {
public:
    explicit FloorField(Variant v) : v_(std::move(v)) {}
    std::int32_t memberId(std::u16string_view) override { return kDispidValue; }
    Variant invoke(std::int32_t, std::uint8_t, std::span<Variant>) override { return v_; }
    std::u16string typeName() const override { return u"Field"; }

private:
    Variant v_;
};

class FloorRecordset final : public Dispatch {
public:
    std::int32_t memberId(std::u16string_view n) override {
        return n == u"EOF" ? 1 : n == u"MoveNext" ? 2 : kDispidValue;
    }
    Variant invoke(std::int32_t id, std::uint8_t, std::span<Variant> args) override {
        if (id == 1) return Variant(pos_ >= kRows);
        if (id == 2) { ++pos_; return Variant(); }
        const std::u16string& name = args[0].stringValue();
        return Variant(Ref<Dispatch>(!name.empty() && name[0] == u'T' ? total_.get() : name_.get()));
    }
    std::u16string typeName() const override { return u"Recordset"; }

private:
    int pos_ = 0;
    Ref<FloorField> total_ = makeRef<FloorField>(Variant(1.25));
    Ref<FloorField> name_ = makeRef<FloorField>(Variant(std::u16string(u"Customer number 12345")));
};

void BM_ScriptLoopOnly(benchmark::State& state) {
    for (auto _ : state) {
        walkFromScript(makeRef<FloorRecordset>());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ScriptLoopOnly)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
