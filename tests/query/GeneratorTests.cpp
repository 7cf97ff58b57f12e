// The SQL text the model writes: the fixed layout, quoting, joins, conditions.
#include "QueryFixture.h"

#include "query/QBSelectQuery.h"
#include "query/QBSelectQueryParser.h"
#include "query/Catalog.h"

#include <gtest/gtest.h>

namespace qz::query {
namespace {

class QueryGenerator : public ::testing::Test {
protected:
    QueryGenerator() : q(OpenCatalog(test::FixtureSqlitePath())) { q.SetRowsToSelect(kRowsAll); }

    std::shared_ptr<QBForeignKey> Relation(const char* base, const char* baseColumn,
                                           const char* related, const char* relatedColumn) {
        auto r = std::make_shared<QBForeignKey>();
        r->BaseTable = q.GetCatalog()->FindTable(base);
        r->RelatedTable = q.GetCatalog()->FindTable(related);
        r->ColumnPairs.push_back({test::Col(r->BaseTable, baseColumn), test::Col(r->RelatedTable, relatedColumn)});
        return r;
    }

    QBSelectQuery q;
};

TEST_F(QueryGenerator, JoinConditionsAndOrderInTheFixedLayout) {
    q.SelectTable("Customers");
    q.SelectTable("Orders");
    q.SelectColumn("Customers", "CompanyName");
    q.SelectColumn("Orders", "OrderDate");
    q.SetSearchCondition(0, "Orders", "OrderDate", kOpGreater, "1/1/2000");
    q.SetSearchCondition(1, "Customers", "CompanyName", kOpContains, "Ltd");
    q.AddOrderExpression("Customers", "CompanyName", 2, 1);
    EXPECT_EQ(q.GetSQL(),
              "SELECT\r\n   Customers.CompanyName, \r\n   Orders.OrderDate\r\nFROM\r\n   (Orders\r\n"
              "      INNER JOIN Customers\r\n         ON Orders.CustomerID = Customers.CustomerID)\r\n"
              "WHERE\r\n   Orders.OrderDate > '1/1/2000' AND \r\n   Customers.CompanyName LIKE '%Ltd%'\r\n"
              "ORDER BY\r\n   Customers.CompanyName ASC");
}

TEST_F(QueryGenerator, ThreeTablesNestToTheLeftWithQuotedNames) {
    q.SelectTable("Customers");
    q.SelectTable("Orders");
    q.SelectTable("Order Details");
    q.SelectColumn("Order Details", "*");
    q.SelectColumn("Customers", "Contact Name");
    EXPECT_EQ(q.GetSQL(),
              "SELECT\r\n   [Order Details].*, \r\n   Customers.[Contact Name]\r\nFROM\r\n   ((Orders\r\n"
              "      INNER JOIN Customers\r\n         ON Orders.CustomerID = Customers.CustomerID)\r\n"
              "      INNER JOIN [Order Details]\r\n         ON [Order Details].OrderID = Orders.OrderID)\r\n");
}

TEST_F(QueryGenerator, DistinctUnrelatedTablesAndOrderByPriority) {
    q.SetRowsToSelect(kRowsDistinct);
    q.SelectTable("Sheet1$");
    q.SelectTable("Products");
    q.SelectColumn("Sheet1$", "*");
    q.SelectColumn("Sheet1$", "Unit Price $");
    q.SelectColumn("Products", "ProductName");
    q.AddOrderExpression("Sheet1$", "Unit Price $", 3, 2);
    q.AddOrderExpression("Products", "ProductName", 2, 1);
    EXPECT_EQ(q.GetSQL(),
              "SELECT DISTINCT\r\n   `Sheet1$`.*, \r\n   `Sheet1$`.`Unit Price $`, \r\n   Products.ProductName\r\n"
              "FROM\r\n`Sheet1$`,\r\nProducts\r\nORDER BY\r\n   Products.ProductName ASC,\r\n"
              "   `Sheet1$`.`Unit Price $` DESC");
}

TEST_F(QueryGenerator, NegatedOrWithGapsBooleanStartsWithAndIsNotNull) {
    q.SelectTable("Products");
    q.SelectTable("Customers");
    q.SelectColumn("Products", "ProductName");
    q.SetSearchCondition(0, "Customers", "Active", kOpEqual, "TRUE");
    q.SetSearchCondition(2, "Customers", "CompanyName", kOpStartsWith, "Ab");
    q.SetSearchCondition(3, "Products", "ProductID", kOpIsNotNull, "");
    q.SearchConditionList().SetSearchType(kMatchNotAny);
    EXPECT_EQ(q.GetSQL(),
              "SELECT\r\n   Products.ProductName\r\nFROM\r\nProducts,\r\nCustomers\r\nWHERE NOT (\r\n"
              "   Customers.Active = TRUE OR \r\n   Customers.CompanyName LIKE 'Ab%' OR \r\n"
              "   Products.ProductID IS NOT NULL\r\n   )\r\n");
}

TEST_F(QueryGenerator, ApostrophesAreDoubledAndUnfinishedSlotsWriteNothing) {
    q.SelectTable("Customers");
    q.SelectColumn("Customers", "CustomerID");
    q.SetSearchCondition(0, "Customers", "CompanyName", kOpEqual, "O'Brien");
    q.SetSearchCondition(1, "Customers", "Active", kOpUnset, "TRUE");
    q.SetSearchCondition(2, "Customers", "Contact Name", kOpIsNull, "");
    q.SearchConditionList().SetSearchType(kMatchNotAll);
    EXPECT_EQ(q.GetSQL(),
              "SELECT\r\n   Customers.CustomerID\r\nFROM\r\nCustomers\r\nWHERE NOT (\r\n"
              "   Customers.CompanyName = 'O''Brien' AND \r\n   Customers.[Contact Name] IS NULL\r\n   )\r\n");

    q.SetSearchCondition(0, "", "", 0, "");
    q.SetSearchCondition(2, "", "", 0, "");
    EXPECT_EQ(q.GetSQL(), "SELECT\r\n   Customers.CustomerID\r\nFROM\r\nCustomers\r\n");

    q.SetSearchCondition(0, "Customers", "CompanyName", kOpContains, "it's 100%");
    EXPECT_NE(q.GetSQL().find("LIKE '%it''s 100%%'"), std::string::npos);

    q.UnselectColumn("Customers", "CustomerID");
    q.AddOrderExpression("Customers", "CustomerID", 2, 1);
    EXPECT_EQ(q.GetSQL(), "");
}

TEST_F(QueryGenerator, ParameterMarkerStaysBareForEveryKind) {
    q.SelectTable("Customers");
    q.SelectColumn("Customers", "CustomerID");
    q.SetSearchCondition(0, "Customers", "CompanyName", kOpEqual, "?");
    q.SetSearchCondition(1, "Customers", "CustomerID", kOpGreater, "?");
    EXPECT_EQ(q.GetSQL(),
              "SELECT\r\n   Customers.CustomerID\r\nFROM\r\nCustomers\r\nWHERE\r\n"
              "   Customers.CompanyName = ? AND \r\n   Customers.CustomerID > ?\r\n");
}

TEST_F(QueryGenerator, SecondRelationshipOfAPairJoinsItsEqualitiesToTheSameOn) {
    q.SelectTable("Customers");
    q.SelectTable("Orders");
    q.SelectColumn("Orders", "OrderID");
    q.AddUserDefinedForeignKey(Relation("Orders", "OrderID", "Customers", "CustomerID"));
    EXPECT_EQ(q.GetSQL(),
              "SELECT\r\n   Orders.OrderID\r\nFROM\r\n   (Orders\r\n      INNER JOIN Customers\r\n"
              "         ON Orders.CustomerID = Customers.CustomerID"
              "         AND Orders.OrderID = Customers.CustomerID)\r\n");
}

TEST_F(QueryGenerator, CycleOfRelationshipsNamesEveryTableOnceAndParsesBack) {
    q.SelectTable("Customers");
    q.SelectTable("Orders");
    q.SelectTable("Order Details");
    q.SelectColumn("Customers", "CompanyName");
    // Closes the cycle Customers - Orders - Order Details - Customers.
    q.AddUserDefinedForeignKey(Relation("Order Details", "Qty", "Customers", "CustomerID"));
    std::string sql = q.GetSQL();
    EXPECT_EQ(sql,
              "SELECT\r\n   Customers.CompanyName\r\nFROM\r\n   (Orders\r\n"
              "      INNER JOIN (Customers\r\n         INNER JOIN [Order Details]\r\n"
              "            ON [Order Details].Qty = Customers.CustomerID)\r\n"
              "         ON Orders.CustomerID = Customers.CustomerID"
              "         AND [Order Details].OrderID = Orders.OrderID)\r\n");
    QBSelectQuery back(q.GetCatalog());
    auto r = QBSelectQueryParser::Parse(back, sql);
    ASSERT_TRUE(r.ok) << r.messageId << " at " << r.position;
    EXPECT_EQ(test::Canonical(back), test::Canonical(q));
}

TEST(QueryGeneratorDialect, DoubleQuotesForBackendsThatFoldNamesAndTheTextReadsBack) {
    CatalogKey toCustomers{"fk", 2, "Customers", {{"customer_id", "id"}}};
    auto cat = test::MemoryCatalog(
        std::vector<test::TableDef>{{"Customers", {"id", "Company Name$t"}, {}},
                                               {"orders", {"order", "customer_id"}, {toCustomers}}},
        SqlDialect{QuoteStyle::DoubleQuotes, IdentifierCase::Lower});
    QBSelectQuery q(cat);
    q.SetRowsToSelect(kRowsAll);
    q.SelectTable("Customers");
    q.SelectTable("orders");
    q.SelectColumn("orders", "order");
    q.SelectColumn("Customers", "Company Name");
    q.SetSearchCondition(0, "Customers", "Company Name", kOpStartsWith, "O'B");
    const std::string sql = q.GetSQL();
    EXPECT_EQ(sql,
              "SELECT\r\n   orders.\"order\", \r\n   \"Customers\".\"Company Name\"\r\nFROM\r\n   (orders\r\n"
              "      INNER JOIN \"Customers\"\r\n         ON orders.customer_id = \"Customers\".id)\r\n"
              "WHERE\r\n   \"Customers\".\"Company Name\" LIKE 'O''B%'\r\n");
    QBSelectQuery back(cat);
    ASSERT_TRUE(QBSelectQueryParser::Parse(back, sql).ok);
    EXPECT_EQ(test::Canonical(back), test::Canonical(q));
}

} // namespace
} // namespace qz::query
