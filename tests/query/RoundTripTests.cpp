// Round trip over many generated models, on SQLite and on PostgreSQL through
// ODBC: every generated text parses back to an equal model, and the text and
// its regeneration return the same rows.
#include "QueryFixture.h"

#include "common/PgServer.h"
#include "query/QBSelectQueryParser.h"
#include "query/Catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

namespace qz::query {
namespace {

template <class T>
const T& Pick(const std::vector<T>& v, std::mt19937& rng) {
    return v[rng() % v.size()];
}

// Fills a model with a random query over the fixture tables that both
// backends can run.
void RandomModel(QBSelectQuery& q, std::mt19937& rng) {
    std::vector<TableRef> all;
    for (const auto& t : q.GetCatalogTables())
        if (t->type == "TABLE") all.push_back(t);
    std::shuffle(all.begin(), all.end(), rng);
    size_t tableCount = 1 + rng() % std::min<size_t>(4, all.size());
    std::vector<TableRef> tables(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(tableCount));
    for (const auto& t : tables) q.SelectTable(t->name);
    q.SetRowsToSelect(rng() % 3 == 0 ? kRowsDistinct : kRowsAll);

    auto kindOf = [](const ColumnRef& c) { return ColumnKindOfAdoType(c->type); };
    // User-defined relationships between columns of the same kind.
    if (tables.size() >= 2) {
        int extra = static_cast<int>(rng() % 3);
        for (int i = 0; i < extra; ++i) {
            TableRef a = Pick(tables, rng), b = Pick(tables, rng);
            if (a == b) continue;
            auto r = std::make_shared<QBForeignKey>();
            r->BaseTable = a;
            r->RelatedTable = b;
            int pairs = 1 + static_cast<int>(rng() % 2);
            for (int p = 0; p < pairs; ++p) {
                ColumnRef x = Pick(test::Cols(a), rng), y = Pick(test::Cols(b), rng);
                int k = kindOf(x);
                bool same = std::any_of(r->ColumnPairs.begin(), r->ColumnPairs.end(),
                                        [&](const QBColumnPair& cp) { return cp.Base == x && cp.Related == y; });
                if ((k == kKindNumeric || k == kKindText) && k == kindOf(y) && !same)
                    r->ColumnPairs.push_back({x, y});
            }
            if (r->ColumnPairs.empty()) continue;
            // Overlapping relationships cannot be told apart in the text.
            bool repeats = false;
            for (const auto& f : q.ForeignKeyList()) {
                bool samePair = (f->BaseTable == a && f->RelatedTable == b) ||
                                (f->BaseTable == b && f->RelatedTable == a);
                // Two user-defined relationships of one pair read back as one.
                if (samePair && f->FKType == kFKTypeUserDefined) repeats = true;
                // An equality the model already holds is written once and read back once.
                for (const auto& fp : f->ColumnPairs)
                    for (const auto& rp : r->ColumnPairs)
                        if ((fp.Base == rp.Base && fp.Related == rp.Related) ||
                            (fp.Base == rp.Related && fp.Related == rp.Base))
                            repeats = true;
            }
            if (!repeats) q.AddUserDefinedForeignKey(r);
        }
    }

    // Output columns.
    std::vector<std::pair<TableRef, ColumnRef>> chosen;
    int columnCount = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < columnCount; ++i) {
        TableRef t = Pick(tables, rng);
        bool star = rng() % 5 == 0;
        std::string c = star ? "*" : Pick(test::Cols(t), rng)->name;
        if (q.SelectedColumnList().FindItem(t->name + "." + c)) continue;
        q.SelectColumn(t->name, c);
        if (!star) chosen.emplace_back(t, test::Col(t, c));
    }

    // Conditions, in random slots.
    static const char* const kTexts[] = {"O'Brien", "New York Tea, Ltd (NY)", "Tea", "a%b", "Ltd", "",
                                         "x) OR (1=1", "Ana"};
    static const char* const kNumbers[] = {"5", "-2.5", "100", "1e2", "80", "0"};
    static const char* const kDates[] = {"2000-01-01", "2000-03-01 00:00:00", "1999-06-30"};
    int conditions = static_cast<int>(rng() % 7);
    for (int i = 0; i < conditions; ++i) {
        int slot = static_cast<int>(rng() % 6);
        TableRef t = Pick(tables, rng);
        ColumnRef c = Pick(test::Cols(t), rng);
        int kind = kindOf(c);
        int op;
        std::string p;
        switch (kind) {
        case kKindBoolean:
            op = rng() % 3 ? kOpEqual + static_cast<int>(rng() % 2) * 5 : kOpIsNull + static_cast<int>(rng() % 2);
            p = rng() % 2 ? "TRUE" : "FALSE";
            break;
        case kKindNumeric:
            op = kOpEqual + static_cast<int>(rng() % 8);
            p = kNumbers[rng() % 6];
            break;
        case kKindText:
            op = kOpEqual + static_cast<int>(rng() % 10);
            p = kTexts[rng() % 8];
            if (op == kOpStartsWith && !p.empty() && p[0] == '%') p = "Tea";
            break;
        case kKindDateTime:
            op = kOpEqual + static_cast<int>(rng() % 8);
            p = kDates[rng() % 3];
            break;
        default:
            op = kOpIsNull + static_cast<int>(rng() % 2);
            break;
        }
        if (op == kOpIsNull || op == kOpIsNotNull) p.clear();
        if (rng() % 8 == 0) op = kOpUnset; // a slot still being filled in
        q.SetSearchCondition(slot, t->name, c->name, op, p);
    }
    q.SearchConditionList().SetSearchType(kMatchAll + static_cast<int>(rng() % 4));

    // Order expressions; with DISTINCT only over output columns.
    std::vector<std::pair<TableRef, ColumnRef>> sortable = chosen;
    if (q.GetRowsToSelect() != kRowsDistinct)
        for (const auto& t : tables)
            for (const auto& c : test::Cols(t)) sortable.emplace_back(t, c);
    std::shuffle(sortable.begin(), sortable.end(), rng);
    size_t orders = sortable.empty() ? 0 : rng() % std::min<size_t>(4, sortable.size() + 1);
    std::vector<int> priorities;
    for (size_t i = 0; i < orders; ++i) priorities.push_back(static_cast<int>(i) + 1);
    std::shuffle(priorities.begin(), priorities.end(), rng);
    for (size_t i = 0; i < orders; ++i) {
        const auto& [t, c] = sortable[i];
        if (q.OrderExpressionList().FindItem(t->name + "." + c->name)) continue;
        q.AddOrderExpression(t->name, c->name, 2 + static_cast<int>(rng() % 2), priorities[i]);
    }
}

using RowsOf = std::function<bool(const std::string&, test::Rows&, std::string&)>;

void RoundTrip(const CatalogRef& catalog, const RowsOf& rowsOf, int models, unsigned seed) {
    std::mt19937 rng(seed);
    int withRows = 0;
    for (int i = 0; i < models; ++i) {
        QBSelectQuery original(catalog);
        RandomModel(original, rng);
        const std::string text = original.GetSQL();
        ASSERT_FALSE(text.empty());

        QBSelectQuery parsed(catalog);
        auto r = QBSelectQueryParser::Parse(parsed, text);
        ASSERT_TRUE(r.ok) << "refused " << r.messageId << " at " << r.position << ":\n" << text;
        ASSERT_EQ(test::Canonical(parsed), test::Canonical(original)) << text;
        // The text settles: reading it and writing it again gives it back.
        const std::string again = parsed.GetSQL();
        ASSERT_EQ(again, text);

        test::Rows a, b;
        std::string error;
        ASSERT_TRUE(rowsOf(text, a, error)) << error << "\n" << text;
        ASSERT_TRUE(rowsOf(again, b, error)) << error << "\n" << again;
        ASSERT_EQ(a, b) << text << "\n---\n" << again;
        withRows += !a.empty();
    }
    // The generated queries must not all be empty, or the row comparison proves little.
    EXPECT_GT(withRows, models / 5);
}

TEST(QueryRoundTrip, GeneratedModelsReadBackAndReturnTheSameRowsInSqlite) {
    const std::string path = test::FixtureSqlitePath();
    RoundTrip(OpenCatalog(path),
              [&](const std::string& sql, test::Rows& rows, std::string& error) {
                  return test::SqliteRows(path, sql, rows, error);
              },
              600, 20261207);
}

TEST(QueryRoundTrip, GeneratedModelsReadBackAndReturnTheSameRowsInPostgresThroughOdbc) {
    std::string whyNot;
    if (!qz::test::PgServer::Installed(&whyNot)) GTEST_SKIP() << "PostgreSQL is not installed: " << whyNot;
    auto* server = qz::test::PgServer::Instance(&whyNot);
    ASSERT_NE(server, nullptr) << whyNot;
    std::string error;
    ASSERT_TRUE(server->CreateDatabase("qzquery", &error)) << error;
    ASSERT_TRUE(server->Execute("qzquery", test::FixturePostgresSql(), &error)) << error;
    const std::string cs = server->OdbcConnectionString("qzquery");

    QBSelectQuery viaString;
    viaString.SetConnectionString("Provider=MSDASQL;" + cs);
    auto catalog = viaString.GetCatalog();
    ASSERT_EQ(catalog->Dialect().Quote, QuoteStyle::DoubleQuotes);
    std::vector<std::string> names;
    for (const auto& t : catalog->Tables()) names.push_back(t->name + "/" + t->type);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Customers/TABLE", "Order Details/TABLE", "Orders/TABLE",
                                               "Products/TABLE", "Sheet1$/TABLE"}));
    auto customers = catalog->FindTable("Customers");
    std::vector<int> kinds;
    for (const auto& c : test::Cols(customers)) kinds.push_back(ColumnKindOfAdoType(c->type));
    EXPECT_EQ(kinds, (std::vector<int>{kKindNumeric, kKindText, kKindText, kKindBoolean, kKindNotSearchable}));
    EXPECT_EQ(test::Col(customers, "CompanyName")->definedSize, 40);
    EXPECT_EQ(ColumnKindOfAdoType(test::Col(catalog->FindTable("Orders"), "OrderDate")->type), kKindDateTime);

    viaString.SelectTable("Customers");
    viaString.SelectTable("Orders");
    ASSERT_EQ(viaString.ForeignKeyList().Count(), 1u);
    EXPECT_EQ(viaString.ForeignKeyList().Item(1)->FQName(), "Orders.CustomersOrders");

    RoundTrip(catalog,
              [&](const std::string& sql, test::Rows& rows, std::string& err) {
                  return test::OdbcRows(cs, sql, rows, err);
              },
              80, 7);

    // Names outside ASCII come through the catalog and back in UTF-8.
    ASSERT_TRUE(server->CreateDatabase("qzunicode", &error)) << error;
    ASSERT_TRUE(server->Execute("qzunicode", "CREATE TABLE \"Soci\u00e9t\u00e9\"(\"Pr\u00e9nom\" TEXT);"
                                             "INSERT INTO \"Soci\u00e9t\u00e9\" VALUES('Zo\u00e9');", &error))
        << error;
    const std::string ucs = server->OdbcConnectionString("qzunicode");
    QBSelectQuery u;
    u.SetConnectionString(ucs);
    ASSERT_TRUE(u.TableNameExists("Soci\u00e9t\u00e9"));
    u.SelectTable("Soci\u00e9t\u00e9");
    u.SelectColumn("Soci\u00e9t\u00e9", "Pr\u00e9nom");
    u.SetRowsToSelect(kRowsAll);
    test::Rows rows;
    ASSERT_TRUE(test::OdbcRows(ucs, u.GetSQL(), rows, error)) << error << "\n" << u.GetSQL();
    EXPECT_EQ(rows, (test::Rows{{"Zo\u00e9"}}));
}

} // namespace
} // namespace qz::query
