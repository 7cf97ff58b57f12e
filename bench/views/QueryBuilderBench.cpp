// Opening the query builder on a large catalog: 1,000 tables of 20 columns
// each in a SQLite file, each table with a foreign key to the one before.
// Measured from Initialize (the catalog read, the tables listed) to the
// window shown, for a new command and for a stored one read into the panels.
// Run offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/views/qz_query_builder_bench
#include "query/forms/frmQueryBuilder.h"
#include "views/FormViews.h"
#include "views/host/ViewRegistry.h"

#include <QApplication>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace qz;

namespace {

const std::string& LargeCatalog() {
    static const std::string path = [] {
        char name[] = "/tmp/qzqbbench-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) std::abort();
        close(fd);
        std::string sql = "BEGIN;";
        for (int t = 0; t < 1000; ++t) {
            sql += "CREATE TABLE T" + std::to_string(t) + "(id INTEGER PRIMARY KEY";
            for (int c = 1; c < 19; ++c) sql += ", c" + std::to_string(c) + (c % 3 ? " TEXT" : " REAL");
            sql += t ? ", parent INTEGER REFERENCES T" + std::to_string(t - 1) + "(id));" : ", parent INTEGER);";
        }
        sql += "COMMIT;";
        sqlite3* db = nullptr;
        if (sqlite3_open(name, &db) != SQLITE_OK || sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            std::abort();
        sqlite3_close(db);
        return std::string(name);
    }();
    return path;
}

void Open(benchmark::State& state, const std::string& text) {
    auto cn = std::make_shared<QZCConnection>();
    cn->DataSource = "Data Source=" + LargeCatalog();
    for (auto _ : state) {
        auto cmd = std::make_shared<QZCCommand>();
        cmd->Name = "Big";
        cmd->Text = text;
        query::frmQueryBuilder form;
        form.QzCnCommand(cn);
        form.QzCommand(cmd);
        form.Initialize();
        form.ShowModeless();
        std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
        view->show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(form.lsvTables.Count());
        view.reset();
        form.Hide();
    }
}

void BM_OpenNewCommand(benchmark::State& state) { Open(state, ""); }
BENCHMARK(BM_OpenNewCommand)->Unit(benchmark::kMillisecond);

void BM_OpenStoredCommand(benchmark::State& state) {
    Open(state, "SELECT T500.c1, T501.c2 FROM T501 INNER JOIN T500 ON T501.parent = T500.id "
                "WHERE T500.c3 > 10 ORDER BY T501.c2 ASC");
}
BENCHMARK(BM_OpenStoredCommand)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication qt(argc, argv);
    qz::views::registerFormViews();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(LargeCatalog().c_str());
    return 0;
}
