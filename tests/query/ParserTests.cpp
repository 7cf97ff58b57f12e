// Reading SQL text back into the model: what is accepted, what it becomes,
// and the refusals with their message ids.
#include "QueryFixture.h"

#include "query/QBSelectQueryParser.h"
#include "query/Catalog.h"

#include <gtest/gtest.h>

namespace qz::query {
namespace {

class QueryParser : public ::testing::Test {
protected:
    static void SetUpTestSuite() { catalog_ = OpenCatalog(test::FixtureSqlitePath()); }
    static void TearDownTestSuite() { catalog_.reset(); }

    // The parse result as "ok" or the refused id.
    std::string Parse(const std::string& sql) {
        q = std::make_unique<QBSelectQuery>(catalog_);
        QBSelectQueryParser parser;
        parser.SetQBSelectQuery(q.get());
        parser.SetSQL(sql);
        return parser.ParseSelectQuery() ? "ok" : std::to_string(parser.LastResult().messageId);
    }

    const QBSearchCondition& Slot(size_t i) { return *q->SearchConditionList().Item(i + 1); }

    static CatalogRef catalog_;
    std::unique_ptr<QBSelectQuery> q;
};
CatalogRef QueryParser::catalog_;

TEST_F(QueryParser, NestedJoinsNotOrDistinctAndOrderBy) {
    ASSERT_EQ(Parse("SELECT DISTINCT Orders.OrderID, Products.ProductName FROM (Orders INNER JOIN "
                    "([Order Details] INNER JOIN Products ON [Order Details].ProductID = Products.ProductID) "
                    "ON Orders.OrderID = [Order Details].OrderID) WHERE NOT ( Orders.Total > 100 OR "
                    "Products.ProductName LIKE '%Tea%' ) ORDER BY Orders.OrderID DESC"),
              "ok");
    EXPECT_EQ(q->GetRowsToSelect(), kRowsDistinct);
    ASSERT_EQ(q->SelectedTableList().Count(), 3u);
    EXPECT_EQ(q->SelectedTableList().Item(2)->FQName(), "Order Details");
    ASSERT_EQ(q->ForeignKeyList().Count(), 2u);
    auto catalogRel = q->ForeignKeyList().Item(1);
    EXPECT_EQ(catalogRel->FKType, kFKTypeCatalog);
    // The catalog's relationship in the direction the text writes it.
    EXPECT_EQ(catalogRel->BaseTable->name, "Orders");
    auto user = q->ForeignKeyList().Item(2);
    EXPECT_EQ(user->FQName(), "User Defined Relation 1");
    EXPECT_EQ(user->BaseTable->name, "Order Details");
    EXPECT_EQ(user->RelatedTable->name, "Products");
    EXPECT_EQ(user->ColumnPairs[0].Base->name, "ProductID");
    EXPECT_EQ(q->SearchConditionList().SearchType(), kMatchNotAny);
    EXPECT_EQ(Slot(0).Operator, kOpGreater);
    EXPECT_EQ(Slot(0).Parameter, "100");
    EXPECT_EQ(Slot(1).Operator, kOpContains);
    EXPECT_EQ(Slot(1).Parameter, "Tea");
    EXPECT_EQ(q->OrderExpressionList().Item(1)->OrderType, 3);
    EXPECT_EQ(q->GetSQL(),
              "SELECT DISTINCT\r\n   Orders.OrderID, \r\n   Products.ProductName\r\nFROM\r\n"
              "   (Orders\r\n      INNER JOIN ([Order Details]\r\n         INNER JOIN Products\r\n"
              "            ON [Order Details].ProductID = Products.ProductID)\r\n"
              "         ON Orders.OrderID = [Order Details].OrderID)\r\n"
              "WHERE NOT (\r\n   Orders.Total > 100 OR \r\n   Products.ProductName LIKE '%Tea%'\r\n   )\r\n"
              "ORDER BY\r\n   Orders.OrderID DESC");
}

TEST_F(QueryParser, GeneratedThreeTableTextReadsBackToTheSameText) {
    const std::string text =
        "SELECT\r\n   [Order Details].*, \r\n   Customers.[Contact Name]\r\nFROM\r\n   ((Orders\r\n"
        "      INNER JOIN Customers\r\n         ON Orders.CustomerID = Customers.CustomerID)\r\n"
        "      INNER JOIN [Order Details]\r\n         ON [Order Details].OrderID = Orders.OrderID)\r\n";
    ASSERT_EQ(Parse(text), "ok");
    EXPECT_EQ(q->ForeignKeyList().Count(), 2u);
    EXPECT_EQ(q->ForeignKeyList().Item(1)->BaseTable->name, "Orders");
    EXPECT_EQ(q->GetSQL(), text);
}

TEST_F(QueryParser, KeywordsAndNamesInAnyCase) {
    ASSERT_EQ(Parse("select orders.orderid from orders where orders.total >= 100 and orders.customerid "
                    "is not null order by orders.orderid asc, orders.total desc"),
              "ok");
    EXPECT_EQ(q->SearchConditionList().SearchType(), kMatchAll);
    EXPECT_EQ(Slot(0).Operator, kOpGreaterOrEqual);
    EXPECT_EQ(Slot(1).Operator, kOpIsNotNull);
    EXPECT_EQ(Slot(1).Parameter, "");
    std::string sql = q->GetSQL();
    EXPECT_EQ(sql.substr(sql.find("WHERE")),
              "WHERE\r\n   Orders.Total >= 100 AND \r\n   Orders.CustomerID IS NOT NULL\r\nORDER BY\r\n"
              "   Orders.OrderID ASC,\r\n   Orders.Total DESC");
}

TEST_F(QueryParser, RefusalsOutsideTheDialect) {
    const std::string head = "SELECT Orders.OrderID FROM Orders ";
    const std::pair<std::string, std::string> cases[] = {
        {"", "4101"},
        {"SELECT * FROM Orders", "4101"},
        {"SELECT Orders.Nope FROM Orders", "4101"},
        {"SELECT Orders.OrderID, Orders.OrderID FROM Orders", "4101"},
        {"SELECT Orders.OrderID FROM Order", "4102"},
        {head + "GROUP BY Orders.OrderID", "4102"},
        {"SELECT Orders.OrderID WHERE", "4102"},
        {"SELECT Orders.OrderID Orders", "4101"},
        {"SELECT Orders.OrderID FROM Customers", "4105"},
        {"SELECT Orders.OrderID FROM Customers WHERE Orders.Total > 1", "4105"},
        {head + "ORDER BY Orders.OrderID", "4104"},
        {head + "WHERE Orders.CustomerID>5", "4101"},
        {head + "WHERE Orders.CustomerID >5", "4103"},
        {head + "WHERE NOT ( Orders.CustomerID = 1 ORDER BY Orders.OrderID ASC", "4103"},
        {head + "WHERE Orders.Total BETWEEN 1 AND 2", "4103"},
        {head + "WHERE Orders.Total IS 5", "4103"},
        {head + "WHERE Orders.Total = ", "4103"},
        {head + "WHERE", "4103"},
        {head + "HAVING", "4102"},
        {head + "ORDER Orders.OrderID ASC", "4104"},
        {head + "ORDER BY Orders.OrderID ASC, Orders.OrderID DESC", "4104"},
        {head + "ORDER BY Orders.Nope ASC", "4101"},
        {"SELECT Orders.OrderID FROM Orders INNER Customers", "4102"},
        {"SELECT Orders.OrderID FROM Orders INNER JOIN Customers Orders.CustomerID = Customers.CustomerID", "4102"},
        {"SELECT Orders.OrderID FROM Orders INNER JOIN Customers ON (Orders.CustomerID = Customers.CustomerID)", "4102"},
        {"SELECT Orders.OrderID FROM Orders INNER JOIN Customers ON Orders.CustomerID Customers.CustomerID", "4102"},
        {"SELECT Orders.OrderID FROM Orders INNER JOIN Customers ON Orders.CustomerID = Products.ProductID", "4102"},
        {"SELECT Orders.OrderID FROM (Orders", "4102"},
        {"SELECT [Orders.OrderID FROM Orders", "4101"},
        {"SELECT Orders.OrderID FROM " + std::string(200000, '('), "4102"},
    };
    for (const auto& [sql, id] : cases) EXPECT_EQ(Parse(sql), id) << sql;
}

TEST_F(QueryParser, AnEqualityMayNameAnyTableOfEachSide) {
    ASSERT_EQ(Parse("SELECT Customers.CompanyName FROM Customers INNER JOIN Orders ON Customers.CustomerID = "
                    "Orders.CustomerID INNER JOIN [Order Details] ON [Order Details].OrderID = Orders.OrderID"),
              "ok");
    EXPECT_EQ(q->ForeignKeyList().Count(), 2u); // both joins repeat catalog relationships
    for (const auto& r : q->ForeignKeyList()) EXPECT_EQ(r->FKType, kFKTypeCatalog);
}

TEST_F(QueryParser, ConditionsCountConnectorsAndNegation) {
    const std::string head = "SELECT Orders.OrderID FROM Orders WHERE ";
    std::string six = head;
    for (int i = 0; i < 6; ++i) six += (i ? " AND " : "") + std::string("Orders.Total > ") + std::to_string(i);
    EXPECT_EQ(Parse(six), "ok");
    EXPECT_EQ(Slot(5).Parameter, "5");
    EXPECT_EQ(Parse(six + " AND Orders.Total > 6"), "4103");
    EXPECT_EQ(Parse(head + "NOT ( Orders.OrderID = 1 )"), "ok");
    EXPECT_EQ(q->SearchConditionList().SearchType(), kMatchNotAny);
    EXPECT_EQ(Parse(head + "NOT ( Orders.OrderID = 1 AND Orders.Total = 2 )"), "ok");
    EXPECT_EQ(q->SearchConditionList().SearchType(), kMatchNotAll);
    EXPECT_EQ(Parse(head + "Orders.OrderID = 1 OR Orders.Total = 2"), "ok");
    EXPECT_EQ(q->SearchConditionList().SearchType(), kMatchAny);
    // Mixed connectors and a missing connector would change the meaning silently.
    EXPECT_EQ(Parse(head + "Orders.OrderID = 1 AND Orders.Total = 2 OR Orders.Total = 3"), "4103");
    EXPECT_EQ(Parse(head + "Orders.OrderID = 1 Orders.Total = 2"), "4103");
}

TEST_F(QueryParser, LikePatternsAndLiterals) {
    const std::string head = "SELECT Customers.CustomerID FROM Customers WHERE Customers.CompanyName ";
    EXPECT_EQ(Parse(head + "LIKE 'Te%'"), "ok");
    EXPECT_EQ(Slot(0).Operator, kOpStartsWith);
    EXPECT_EQ(Slot(0).Parameter, "Te");
    EXPECT_EQ(Parse(head + "LIKE '%New York, (NY)%'"), "ok");
    EXPECT_EQ(Slot(0).Operator, kOpContains);
    EXPECT_EQ(Slot(0).Parameter, "New York, (NY)");
    EXPECT_EQ(Parse(head + "LIKE 'Tea'"), "4103");
    EXPECT_EQ(Parse(head + "LIKE '%ea'"), "4103");
    EXPECT_EQ(Parse(head + "LIKE Tea%"), "4103");
    EXPECT_EQ(Parse(head + "= 'O''Brien'"), "ok");
    EXPECT_EQ(Slot(0).Parameter, "O'Brien");
    EXPECT_EQ(Parse(head + "= 'unterminated"), "4103");
    EXPECT_EQ(Parse(head + "= 5"), "4103");
    EXPECT_EQ(Parse("SELECT Orders.OrderID FROM Orders WHERE Orders.OrderDate = #1/1/2000#"), "ok");
    EXPECT_EQ(Slot(0).Parameter, "1/1/2000");
    EXPECT_EQ(Parse("SELECT Orders.OrderID FROM Orders WHERE Orders.Total = 'x'"), "4103");
    EXPECT_EQ(Parse("SELECT Customers.CustomerID FROM Customers WHERE Customers.Photo = 'x'"), "4103");
    EXPECT_EQ(Parse("SELECT Customers.CustomerID FROM Customers WHERE Customers.Photo IS NULL"), "ok");
}

TEST_F(QueryParser, SoundRefusalsAndTheParameterMarker) {
    const std::string head = "SELECT Customers.CustomerID FROM Customers ";
    EXPECT_EQ(Parse(head + "ORDER BY Customers.CustomerID ASC ) junk"), "4104");
    EXPECT_EQ(Parse(head + "INNER JOIN Orders ON Orders.CustomerID = Orders.OrderID"), "4102");
    EXPECT_EQ(Parse(head + "WHERE Customers.Active = yes"), "4103");
    EXPECT_EQ(Parse(head + "WHERE Customers.Active = true"), "ok");
    EXPECT_EQ(Slot(0).Parameter, "TRUE");
    EXPECT_EQ(Parse(head + "WHERE Customers.CompanyName = ?"), "ok");
    EXPECT_EQ(Slot(0).Operator, kOpEqual);
    EXPECT_EQ(Slot(0).Parameter, "?");
    EXPECT_EQ(Parse(head + "WHERE Customers.CustomerID = ?"), "ok");
    // Related tables listed with a comma stay a cross join.
    EXPECT_EQ(Parse("SELECT Orders.OrderID FROM Orders, Customers"), "ok");
    EXPECT_EQ(q->ForeignKeyList().Count(), 0u);
    EXPECT_EQ(Parse("SELECT Orders.OrderID FROM Orders, Products"), "ok");
    // A table named twice in the list is selected once; joined to itself it is refused.
    EXPECT_EQ(Parse("SELECT Orders.OrderID FROM Orders, Customers, Orders"), "ok");
    EXPECT_EQ(q->SelectedTableList().Count(), 2u);
    EXPECT_EQ(Parse("SELECT Orders.OrderID FROM Orders INNER JOIN Orders ON Orders.OrderID = Orders.OrderID"),
              "4102");
    EXPECT_EQ(Parse(head + "INNER JOIN Orders ON Customers.CustomerID = Orders.CustomerID AND "
                           "Customers.CustomerID = Orders.CustomerID"),
              "4102");
    // The same column may take part in several pairs.
    EXPECT_EQ(Parse(head + "INNER JOIN Orders ON Customers.CustomerID = Orders.OrderID AND "
                           "Customers.CustomerID = Orders.Total"),
              "ok");
    ASSERT_EQ(q->ForeignKeyList().Count(), 1u);
    EXPECT_EQ(q->ForeignKeyList().Item(1)->ColumnPairs.size(), 2u);
    // Equalities that repeat the catalog's relationship inside a longer ON add only the rest.
    EXPECT_EQ(Parse(head + "INNER JOIN Orders ON Customers.CustomerID = Orders.CustomerID AND "
                           "Orders.OrderID = Customers.CustomerID"),
              "ok");
    ASSERT_EQ(q->ForeignKeyList().Count(), 2u);
    auto user = q->ForeignKeyList().Item(2);
    ASSERT_EQ(user->ColumnPairs.size(), 1u);
    EXPECT_EQ(user->BaseTable->name, "Orders"); // as the equality names them
    EXPECT_EQ(user->ColumnPairs[0].Base->name, "OrderID");
}

TEST_F(QueryParser, QuotedNamesOfEveryStyleAndRefusalPositions) {
    EXPECT_EQ(Parse("SELECT \"Sheet1$\".\"Unit Price $\", `Sheet1$`.Name FROM [Sheet1$]\tWHERE "
                    "`Sheet1$`.[Unit Price $] > 2.5"),
              "ok");
    EXPECT_EQ(Slot(0).Column->name, "Unit Price $");

    q = std::make_unique<QBSelectQuery>(catalog_);
    auto r = QBSelectQueryParser::Parse(*q, "SELECT Orders.OrderID FROM Orders WHERE Orders.Total = x");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messageId, 4103);
    EXPECT_EQ(r.position, 56u);
    AutomationError e = QBParseError(r);
    EXPECT_EQ(e.Number, kOwnErrorBase + 4103);
    EXPECT_EQ(e.Description, "QueryBuilder error: Invalid search condition.");
}

} // namespace
} // namespace qz::query
