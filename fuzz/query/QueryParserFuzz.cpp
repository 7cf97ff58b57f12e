// SQL parser: arbitrary text over the fixture schema. Beyond crashes, hangs
// and sanitizer reports it checks that every accepted text is written back
// as text that the parser accepts again, into an equal model.
#include "common/FuzzEntries.h"

#include "platform/automation/AutomationError.h"
#include "query/QBSelectQueryParser.h"
#include "query/Catalog.h"

#include <sqlite3.h>

#include <cstdio>
#include <set>
#include <string>

namespace qz::fuzz {

using namespace qz::query;

namespace {

const char* const kSchema = R"(
CREATE TABLE Customers(CustomerID INTEGER PRIMARY KEY, CompanyName VARCHAR(40), "Contact Name" TEXT, Active BOOLEAN, Photo BLOB);
CREATE TABLE Orders(OrderID INTEGER PRIMARY KEY, CustomerID INTEGER, OrderDate DATETIME, Total REAL,
  CONSTRAINT CustomersOrders FOREIGN KEY (CustomerID) REFERENCES Customers(CustomerID));
CREATE TABLE "Order Details"(OrderID INTEGER, ProductID INTEGER, Qty INTEGER, "Part#" TEXT,
  FOREIGN KEY (OrderID) REFERENCES Orders(OrderID));
CREATE TABLE Products(ProductID INTEGER PRIMARY KEY, ProductName TEXT);
CREATE TABLE "Sheet1$"(Name TEXT, "Unit Price $" REAL);
CREATE TABLE "a]b`c"("x.y" INTEGER, "[z]" TEXT, "Order" INTEGER REFERENCES Products(ProductID));
)";

CatalogRef MakeCatalog() {
    const std::string path = ScratchFile("query.db", "");
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail("the fixture schema cannot be made");
    sqlite3_close(db);
    CatalogRef catalog = OpenCatalog(path);
    std::remove(path.c_str());
    return catalog;
}

// What a model means, independent of the order in which tables were
// selected and of the direction and numbering of relationships.
std::string Describe(const QBSelectQuery& q) {
    std::string d = std::to_string(q.GetRowsToSelect()) + "|";
    for (const auto& c : q.SelectedColumnList()) d += c->FQName() + ",";
    std::set<std::string> tables, rels;
    for (const auto& t : q.SelectedTableList()) tables.insert(t->FQName());
    for (const auto& t : tables) d += "|" + t;
    for (const auto& r : q.ForeignKeyList()) {
        bool flip = r->BaseTable->name > r->RelatedTable->name;
        std::string text = std::to_string(r->FKType) + (flip ? r->RelatedTable->name + "~" + r->BaseTable->name
                                                             : r->BaseTable->name + "~" + r->RelatedTable->name);
        for (const auto& p : r->ColumnPairs)
            text += ":" + (flip ? p.Related : p.Base)->name + "=" + (flip ? p.Base : p.Related)->name;
        rels.insert(text);
    }
    for (const auto& r : rels) d += "|" + r;
    int used = 0;
    for (const auto& c : q.SearchConditionList())
        if (c->Operator >= kOpEqual && c->Operator <= kOpStartsWith) {
            ++used;
            d += "|" + c->EncodedFQName() + " " + std::to_string(c->Operator) + " " + c->Parameter;
        }
    int type = q.SearchConditionList().SearchType();
    if (used == 1) type = (type == kMatchAll || type == kMatchAny) ? kMatchAll : kMatchNotAny;
    d += "|" + std::to_string(used ? type : 0);
    for (const auto& o : q.OrderExpressionList())
        d += "|" + o->FQName() + " " + std::to_string(o->OrderType) + " " + std::to_string(o->OrderPriority);
    return d;
}

} // namespace

void QueryParser(const std::uint8_t* data, std::size_t size) {
    static CatalogRef catalog = MakeCatalog();
    std::string sql(reinterpret_cast<const char*>(data), size);
    QBSelectQuery query(catalog);
    if (!QBSelectQueryParser::Parse(query, sql).ok) return;
    std::string text = query.GetSQL();
    if (text.empty()) return;
    QBSelectQuery again(catalog);
    auto r = QBSelectQueryParser::Parse(again, text);
    if (!r.ok) {
        std::fprintf(stderr, "generated text refused with %d at %zu:\n%s\n", r.messageId, r.position, text.c_str());
        Fail("the generated text is refused");
    }
    if (Describe(again) != Describe(query)) {
        std::fprintf(stderr, "generated text reads back differently:\n%s\n", text.c_str());
        Fail("the generated text reads back differently");
    }
}

} // namespace qz::fuzz
