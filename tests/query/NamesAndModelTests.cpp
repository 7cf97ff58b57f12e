// SQL names, keyed lists, the catalog over SQLite, and the query model's
// operations on the fixture schema.
#include "QueryFixture.h"

#include "platform/automation/AutomationError.h"
#include "query/ModQBUtilities.h"
#include "query/QBSelectQuery.h"
#include "query/Catalog.h"

#include <gtest/gtest.h>

#include <random>

namespace qz::query {
namespace {

using test::FixtureSqlitePath;

TEST(QueryNames, EncodeFollowsTheQuotingRuleAndQuotesWhatWouldBreak) {
    // The rule as the builder has always written names.
    EXPECT_EQ(QBEncodeName("Order Details"), "[Order Details]");
    EXPECT_EQ(QBEncodeName("Sheet1$"), "`Sheet1$`");
    EXPECT_EQ(QBEncodeName("Part#"), "[Part#]");
    EXPECT_EQ(QBEncodeName("Unit Price $"), "`Unit Price $`");
    EXPECT_EQ(QBEncodeName("Orders"), "Orders");
    EXPECT_EQ(QBEncodeName(""), "");
    // Names the rule would leave broken.
    EXPECT_EQ(QBEncodeName("a]b"), "`a]b`");
    EXPECT_EQ(QBEncodeName("a`b #"), "`a``b #`");
    EXPECT_EQ(QBEncodeName("Order"), "[Order]");
    EXPECT_EQ(QBEncodeName("select"), "[select]");
    EXPECT_EQ(QBEncodeName("a.b"), "[a.b]");
    EXPECT_EQ(QBEncodeName("1st"), "[1st]");
    EXPECT_EQ(QBEncodeName("x(y),z'"), "[x(y),z']");
    EXPECT_EQ(EncodeFQName("Orders", "*", SqlDialect{}), "Orders.[*]"); // a column named "*"
}

TEST(QueryNames, DoubleQuoteDialectQuotesWhatTheBackendWouldFold) {
    SqlDialect pg{QuoteStyle::DoubleQuotes, IdentifierCase::Lower};
    EXPECT_EQ(EncodeName("orders", pg), "orders");
    EXPECT_EQ(EncodeName("Orders", pg), "\"Orders\"");
    EXPECT_EQ(EncodeName("a\"b", pg), "\"a\"\"b\"");
    EXPECT_EQ(EncodeName("order", pg), "\"order\"");
}

TEST(QueryNames, DecodeAndSplit) {
    EXPECT_EQ(QBDecodeName("[Order Details]"), "Order Details");
    EXPECT_EQ(QBDecodeName("`Sheet1$`"), "Sheet1$");
    EXPECT_EQ(QBDecodeName("`a``b`"), "a`b");
    EXPECT_EQ(QBDecodeName("\"x\"\"y\""), "x\"y");
    EXPECT_EQ(QBDecodeName("Orders"), "Orders");
    EXPECT_THROW(QBDecodeName("["), AutomationError);
    EXPECT_THROW(QBDecodeName("[abc"), AutomationError); // only a matching pair is stripped

    std::string t = "keep", c = "keep";
    EXPECT_TRUE(SplitFQName("[Order Details].[Part#]", t, c));
    EXPECT_EQ(t, "Order Details");
    EXPECT_EQ(c, "Part#");
    t = c = "keep";
    EXPECT_FALSE(SplitFQName("Orders", t, c));
    EXPECT_FALSE(SplitFQName(".x", t, c));
    EXPECT_EQ(t, "keep");
    EXPECT_EQ(c, "keep");
    EXPECT_TRUE(SplitFQName("a.b.c", t, c));
    EXPECT_EQ(t, "a");
    EXPECT_EQ(c, "b.c");
    // The dot inside brackets or backquotes does not split.
    EXPECT_TRUE(SplitFQName("[a.b].`c.d`", t, c));
    EXPECT_EQ(t, "a.b");
    EXPECT_EQ(c, "c.d");
    EXPECT_EQ(GetTableName("[x.y]"), "x.y");
    EXPECT_EQ(GetColumnName("t.[x y]"), "x y");
}

TEST(QueryNames, EveryEncodedNameSplitsBackToItself) {
    std::mt19937 rng(7);
    const std::string alphabet = "aZ_09 .#$[]`\"',()%-";
    SqlDialect dialects[] = {SqlDialect{}, SqlDialect{QuoteStyle::DoubleQuotes, IdentifierCase::Lower}};
    for (int i = 0; i < 3000; ++i) {
        std::string name[2];
        for (auto& n : name) {
            size_t len = 1 + rng() % 6;
            for (size_t k = 0; k < len; ++k) n += alphabet[rng() % alphabet.size()];
            if (n == "*") n = "x";
        }
        for (const auto& d : dialects) {
            std::string fq = EncodeFQName(name[0], name[1], d), t, c;
            ASSERT_TRUE(SplitFQName(fq, t, c)) << fq;
            EXPECT_EQ(t, name[0]) << fq;
            EXPECT_EQ(c, name[1]) << fq;
        }
    }
}

TEST(QueryLists, KeyedListFindsWithoutCaseAndRefusesDuplicatesAndAbsentKeys) {
    KeyedList<int> list;
    list.Add("Orders", std::make_shared<int>(1));
    list.Add("Customers", std::make_shared<int>(2));
    ASSERT_NE(list.FindItem("orders"), nullptr);
    EXPECT_EQ(*list.Item(2), 2);
    EXPECT_THROW(list.Add("ORDERS", std::make_shared<int>(3)), AutomationError);
    EXPECT_THROW(list.Remove("Nope"), AutomationError);
    EXPECT_THROW(list.Item(3), AutomationError);
    EXPECT_EQ(list.FindItem("Nope"), nullptr);
    list.Remove("ORDERS");
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(*list.Item(1), 2);

    KeyedList<int> sensitive(true);
    sensitive.Add("a", std::make_shared<int>(1));
    sensitive.Add("A", std::make_shared<int>(2));
    EXPECT_EQ(*sensitive.FindItem("A"), 2);
}

TEST(QueryLists, ForeignKeyNameFollowsIndexButTheListKeyStays) {
    QBSelectQuery q(OpenCatalog(FixtureSqlitePath()));
    q.SelectTable("Orders");
    q.SelectTable("Customers");
    auto r = std::make_shared<QBForeignKey>();
    r->BaseTable = q.GetCatalog()->FindTable("Orders");
    r->RelatedTable = q.GetCatalog()->FindTable("Customers");
    r->ColumnPairs.push_back({test::Col(r->BaseTable, "OrderID"), test::Col(r->RelatedTable, "CustomerID")});
    q.AddUserDefinedForeignKey(r);
    q.AddUserDefinedForeignKey(std::make_shared<QBForeignKey>(*r));
    EXPECT_EQ(r->FQName(), "User Defined Relation 1");
    EXPECT_EQ(q.ForeignKeyList().Item(3)->FQName(), "User Defined Relation 2");
    r->Index = 5;
    EXPECT_EQ(r->FQName(), "User Defined Relation 5");
    EXPECT_EQ(q.ForeignKeyList().FindItem("User Defined Relation 1"), r);
}

TEST(QueryCatalog, SqliteCatalogReportsTypesSizesKeysAndTableTypes) {
    auto cat = OpenCatalog(FixtureSqlitePath());
    std::vector<std::string> names;
    for (const auto& t : cat->Tables()) names.push_back(t->name + "/" + t->type);
    EXPECT_EQ(names, (std::vector<std::string>{"Customers/TABLE", "Order Details/TABLE",
                                               "Orders/TABLE", "Products/TABLE", "Sheet1$/TABLE"}));
    auto customers = cat->FindTable("customers");
    ASSERT_NE(customers, nullptr);
    std::vector<std::string> cols;
    for (const auto& c : test::Cols(customers))
        cols.push_back(c->name + ":" + std::to_string(c->type) + ":" + std::to_string(c->definedSize));
    EXPECT_EQ(cols, (std::vector<std::string>{"CustomerID:3:4", "CompanyName:202:40",
                                              "Contact Name:203:1073741823", "Active:11:2",
                                              "Photo:205:1073741823"}));
    EXPECT_EQ(test::Col(cat->FindTable("Orders"), "orderdate")->type, 135);
    EXPECT_EQ(test::Col(cat->FindTable("Orders"), "Total")->type, 5);
    const auto& keys = cat->FindTable("Orders")->keys;
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].relatedTable, "Customers");
    ASSERT_EQ(keys[0].columns.size(), 1u);
    EXPECT_EQ(keys[0].columns[0].name, "CustomerID");
    EXPECT_EQ(keys[0].columns[0].relatedColumn, "CustomerID");
    EXPECT_TRUE(cat->FindTable("Products")->keys.empty());
}

TEST(QueryCatalog, KeysWithoutParentColumnsTakeThePrimaryKeyAndViewsAreListed) {
    std::string path = test::CreateSqliteFile("pk.db", R"(
        CREATE TABLE P(a INTEGER, b TEXT, PRIMARY KEY(b, a));
        CREATE TABLE C(x TEXT, y INTEGER, FOREIGN KEY(x, y) REFERENCES p);
        CREATE TABLE Self(id INTEGER PRIMARY KEY, parent INTEGER REFERENCES Self(id));
        CREATE VIEW V AS SELECT a + 1 AS n FROM P;)");
    auto cat = OpenCatalog(path);
    const auto& keys = cat->FindTable("C")->keys;
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_TRUE(equalsNoCaseAscii(keys[0].relatedTable, "P"));
    EXPECT_EQ(keys[0].columns[0].relatedColumn, "b");
    EXPECT_EQ(keys[0].columns[1].relatedColumn, "a");
    auto v = cat->FindTable("v");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, "VIEW");
    EXPECT_EQ(test::Cols(v)[0]->type, 12);

    // A self-referencing key adds no relationship.
    QBSelectQuery q(cat);
    q.SelectTable("Self");
    q.SelectTable("P");
    q.SelectTable("C");
    EXPECT_EQ(q.ForeignKeyList().Count(), 1u);
}

TEST(QueryCatalog, BadConnectionStringsFailClearlyAndLeaveNoCatalog) {
    QBSelectQuery q;
    q.SetConnectionString("Data Source=" + FixtureSqlitePath());
    ASSERT_TRUE(q.TableNameExists("Orders"));
    q.SelectTable("Orders");
    EXPECT_THROW(q.SetConnectionString("Data Source=/nonexistent/x.db"), AutomationError);
    EXPECT_EQ(q.GetCatalog(), nullptr);
    EXPECT_FALSE(q.TableNameExists("Orders"));
    EXPECT_EQ(q.SelectedTableList().Count(), 0u);
    EXPECT_THROW(q.SelectTable("Orders"), AutomationError);

    std::string notDb = test::CreateSqliteFile("empty.db", "");
    { FILE* f = fopen(notDb.c_str(), "w"); fputs("this is not a database file at all", f); fclose(f); }
    EXPECT_THROW(q.SetConnectionString("Data Source=" + notDb), AutomationError);
    EXPECT_THROW(q.SetConnectionString("Foo=bar"), AutomationError);
    EXPECT_THROW(q.SetConnectionString("Provider=MSDASQL;Driver={No Such Driver};Database=x"), AutomationError);
    EXPECT_EQ(q.GetCatalog(), nullptr);
}

TEST(QueryCatalog, KeysOfTheSameNameInTwoTablesGiveTwoRelationships) {
    // Two keys named FK refer to P: the catalog tells them apart, so that
    // both relationships of P have a name of their own.
    CatalogKey toP{"FK", 2, "P", {{"p", "id"}}};
    auto cat = test::MemoryCatalog(std::vector<test::TableDef>{
        {"P", {"id"}, {}}, {"A", {"p"}, {toP}}, {"B", {"p"}, {toP}}});
    QBSelectQuery q(cat);
    q.SelectTable("A");
    q.SelectTable("B");
    q.SelectTable("P");
    ASSERT_EQ(q.ForeignKeyList().Count(), 2u);
    EXPECT_EQ(q.ForeignKeyList().Key(1), "P.FK");
    EXPECT_EQ(q.ForeignKeyList().Key(2), "P.FK_2");
}

class QueryModel : public ::testing::Test {
protected:
    QueryModel() : q(OpenCatalog(FixtureSqlitePath())) { q.SetRowsToSelect(kRowsAll); }
    QBSelectQuery q;
};

TEST_F(QueryModel, SelectingTablesFindsCatalogRelationshipsWithTheNewTableAsBase) {
    q.SelectTable("Customers");
    q.SelectTable("Orders");
    ASSERT_EQ(q.ForeignKeyList().Count(), 1u);
    auto r = q.ForeignKeyList().Item(1);
    EXPECT_EQ(r->FKType, kFKTypeCatalog);
    EXPECT_EQ(r->FQName(), "Orders." + r->ForeignKeyName);
    EXPECT_EQ(r->BaseTable->name, "Orders");
    EXPECT_EQ(r->RelatedTable->name, "Customers");
    ASSERT_EQ(r->ColumnPairs.size(), 1u);
    EXPECT_EQ(r->ColumnPairs[0].Base, test::Col(q.GetCatalog()->FindTable("Orders"), "CustomerID"));

    QBSelectQuery other(q.GetCatalog());
    other.SelectTable("Orders");
    other.SelectTable("Customers");
    auto m = other.ForeignKeyList().Item(1);
    EXPECT_EQ(m->FQName(), "Customers." + m->ForeignKeyName);
    EXPECT_EQ(m->BaseTable->name, "Customers");
    EXPECT_EQ(m->ColumnPairs[0].Related, test::Col(q.GetCatalog()->FindTable("Orders"), "CustomerID"));

    q.SelectTable("customers"); // already selected: nothing changes
    EXPECT_EQ(q.SelectedTableList().Count(), 2u);
    EXPECT_EQ(q.ForeignKeyList().Count(), 1u);
}

TEST_F(QueryModel, UnselectingRemovesEveryRelationshipOfTheTableButKeepsItsColumns) {
    q.SelectTable("Customers");
    q.SelectTable("Orders");
    q.SelectTable("Products");
    q.SelectColumn("Orders", "OrderID");
    auto r = std::make_shared<QBForeignKey>();
    r->BaseTable = q.GetCatalog()->FindTable("Products");
    r->RelatedTable = q.GetCatalog()->FindTable("Orders");
    r->ColumnPairs.push_back({test::Col(r->BaseTable, "ProductID"), test::Col(r->RelatedTable, "OrderID")});
    q.AddUserDefinedForeignKey(r);
    ASSERT_EQ(q.ForeignKeyList().Count(), 2u);
    q.UnselectTable("orders");
    EXPECT_EQ(q.ForeignKeyList().Count(), 0u);
    EXPECT_EQ(q.SelectedTableList().Count(), 2u);
    EXPECT_NE(q.SelectedColumnList().FindItem("Orders.OrderID"), nullptr);
    EXPECT_THROW(q.UnselectTable("Orders"), AutomationError);
}

TEST_F(QueryModel, LookupsAndColumnKinds) {
    EXPECT_TRUE(q.ColumnNameExists("Orders", "*"));
    EXPECT_FALSE(q.ColumnNameExists("Nope", "*"));
    EXPECT_TRUE(q.ColumnNameExists("orders", "ORDERID"));
    EXPECT_FALSE(q.ColumnNameExists("Orders", "Nope"));
    EXPECT_EQ(q.GetSearchColumnType("Customers", "Active"), kKindBoolean);
    EXPECT_EQ(q.GetSearchColumnType("Customers", "Photo"), kKindNotSearchable);
    EXPECT_EQ(q.GetSearchColumnType("Orders", "OrderDate"), kKindDateTime);
    EXPECT_EQ(q.GetSearchColumnType("Customers", "CompanyName"), kKindText);
    EXPECT_EQ(q.GetSearchColumnType("Orders", "Total"), kKindNumeric);
    EXPECT_THROW(q.GetSearchColumnType("Orders", "Nope"), AutomationError);
    EXPECT_EQ(ColumnKindOfAdoType(137), kKindUnknown);
    EXPECT_EQ(ColumnKindOfAdoType(204), kKindText);
    EXPECT_EQ(ColumnKindOfAdoType(8), kKindNotSearchable);
}

TEST_F(QueryModel, UserDefinedRelationshipsAreNumberedAfterTheHighest) {
    q.SelectTable("Products");
    q.SelectTable("Sheet1$");
    auto make = [&] {
        auto r = std::make_shared<QBForeignKey>();
        r->BaseTable = q.GetCatalog()->FindTable("Products");
        r->RelatedTable = q.GetCatalog()->FindTable("Sheet1$");
        r->ColumnPairs.push_back({test::Col(r->BaseTable, "ProductName"), test::Col(r->RelatedTable, "Name")});
        return r;
    };
    for (int i = 0; i < 3; ++i) q.AddUserDefinedForeignKey(make());
    q.RemoveUserDefinedForeignKey("User Defined Relation 2");
    auto r4 = make();
    q.AddUserDefinedForeignKey(r4);
    EXPECT_EQ(r4->Index, 4);
    q.RemoveUserDefinedForeignKey("user defined relation 4");
    auto again = make();
    q.AddUserDefinedForeignKey(again);
    EXPECT_EQ(again->Index, 4);

    auto empty = make();
    empty->ColumnPairs.clear();
    EXPECT_THROW(q.AddUserDefinedForeignKey(empty), AutomationError);
    auto same = make();
    same->RelatedTable = same->BaseTable;
    EXPECT_THROW(q.AddUserDefinedForeignKey(same), AutomationError);
    auto repeated = make();
    repeated->ColumnPairs.push_back(repeated->ColumnPairs[0]);
    EXPECT_THROW(q.AddUserDefinedForeignKey(repeated), AutomationError);
    auto foreign = make();
    foreign->ColumnPairs[0].Base = test::Col(q.GetCatalog()->FindTable("Orders"), "OrderID");
    EXPECT_THROW(q.AddUserDefinedForeignKey(foreign), AutomationError);
    EXPECT_EQ(q.ForeignKeyList().Count(), 3u);
}

TEST_F(QueryModel, SearchConditionSlotsValidateTheirParameters) {
    q.SetSearchCondition(0, "Orders", "Total", kOpGreater, "5");
    q.SetSearchCondition(0, "", "", kOpGreaterOrEqual, "x");
    EXPECT_EQ(q.SearchConditionList().Item(1)->Operator, kOpNone);
    EXPECT_EQ(q.SearchConditionList().Item(1)->Parameter, "");
    EXPECT_EQ(q.SearchConditionList().Item(1)->Table, nullptr);
    q.SetSearchCondition(5, "Orders", "Total", kOpEqual, "-1.5e3");
    EXPECT_EQ(q.SearchConditionList().Item(6)->Parameter, "-1.5e3");
    EXPECT_THROW(q.SetSearchCondition(6, "Orders", "Total", kOpEqual, "1"), AutomationError);
    EXPECT_THROW(q.SetSearchCondition(-1, "Orders", "Total", kOpEqual, "1"), AutomationError);

    // Parameters the column cannot take never reach the model.
    EXPECT_THROW(q.SetSearchCondition(1, "Orders", "Total", kOpEqual, "1; DROP TABLE Orders"), AutomationError);
    EXPECT_THROW(q.SetSearchCondition(1, "Customers", "Active", kOpEqual, "yes"), AutomationError);
    EXPECT_THROW(q.SetSearchCondition(1, "Customers", "Photo", kOpEqual, "1"), AutomationError);
    EXPECT_THROW(q.SetSearchCondition(1, "Customers", "CompanyName", kOpStartsWith, "%x"), AutomationError);
    EXPECT_THROW(q.SetSearchCondition(1, "Orders", "Total", 12, "1"), AutomationError);
    EXPECT_EQ(q.SearchConditionList().Item(2)->Operator, kOpNone);
    q.SetSearchCondition(1, "Customers", "Photo", kOpIsNull, "");
    q.SetSearchCondition(2, "Orders", "Total", kOpEqual, "?");
    q.SetSearchCondition(3, "Customers", "Active", kOpUnset, "TRUE");
    EXPECT_EQ(q.SearchConditionList().Item(4)->Operator, kOpUnset);
    EXPECT_THROW(q.SearchConditionList().SetSearchType(6), AutomationError);
}

TEST_F(QueryModel, ColumnsAndOrderExpressionsAreKeyedByQualifiedName) {
    q.SelectColumn("Customers", "*");
    q.SelectColumn("customers", "companyname");
    EXPECT_TRUE(q.SelectedColumnList().Item(1)->AllColumns);
    EXPECT_EQ(q.SelectedColumnList().Item(2)->FQName(), "Customers.CompanyName");
    EXPECT_THROW(q.SelectColumn("Customers", "CompanyName"), AutomationError);
    EXPECT_THROW(q.SelectColumn("Customers", "Nope"), AutomationError);
    q.UnselectColumn("CUSTOMERS", "*");
    EXPECT_EQ(q.SelectedColumnList().Count(), 1u);

    q.AddOrderExpression("Orders", "Total", 3, 1);
    q.SetOrderExpression("orders", "total", 2, 4);
    EXPECT_EQ(q.OrderExpressionList().Item(1)->OrderType, 2);
    EXPECT_EQ(q.OrderExpressionList().Item(1)->OrderPriority, 4);
    q.RemoveOrderExpression("Orders", "Total");
    EXPECT_EQ(q.OrderExpressionList().Count(), 0u);
}

} // namespace
} // namespace qz::query
