// The samples of the query builder's windows: the builder over the Access
// database of the tests, and the relationship dialog over a catalog of its own.
#include "config/QZCConnection.h"
#include "query/forms/frmAddForeignKey.h"
#include "query/forms/frmQueryBuilder.h"
#include "views/samples/Samples.h"

#include <memory>
#include <string>

namespace qz::views {

using query::frmAddForeignKey;
using query::frmQueryBuilder;

namespace {
// The dialog keeps a pointer to the model it edits; the sample owns both.
struct SampleDialog : frmAddForeignKey {
    std::unique_ptr<query::QBSelectQuery> model;
};
} // namespace

QZ_REGISTER_SAMPLE("frmAddForeignKey", [] {
    auto f = std::make_unique<SampleDialog>();
    std::vector<ado::CatalogTable> tables{
        {"Customers", "TABLE", {{"CustomerID", 202, 5}, {"CompanyName", 202, 40}, {"City", 202, 15}}, {}},
        {"Orders", "TABLE", {{"OrderID", 3, 4}, {"CustomerID", 202, 5}, {"ShipCity", 202, 15}}, {}}};
    f->model = std::make_unique<query::QBSelectQuery>(std::make_shared<const query::Catalog>(std::move(tables)));
    f->model->SelectTable("Orders");
    f->model->SelectTable("Customers");
    auto r = std::make_shared<query::QBForeignKey>();
    const auto& cat = f->model->GetCatalog();
    r->BaseTable = cat->FindTable("Orders");
    r->RelatedTable = cat->FindTable("Customers");
    r->ColumnPairs = {{cat->FindColumn(*r->BaseTable, "CustomerID"), cat->FindColumn(*r->RelatedTable, "CustomerID")},
                      {cat->FindColumn(*r->BaseTable, "ShipCity"), cat->FindColumn(*r->RelatedTable, "City")}};
    f->model->AddUserDefinedForeignKey(r);
    f->SetQBSelectQuery(f->model.get());
    f->FKName = r->FQName();
    f->WindowCaption = "Edit Relationship";
    f->Form_Load();
    return f;
})

namespace {

// The Access database of the tests, in the data folder the build names; the
// builder only reads it (the data layer imports an Access file into memory),
// so no copy is made.
std::string SampleDatabase() { return std::string(QZ_SAMPLES_DATA_DIR) + "/access/nwind.mdb"; }

// The builder on one tab, over the Orders and Customers of the sample database.
std::unique_ptr<ui::Form> Sample(int tab) {
    auto f = std::make_unique<frmQueryBuilder>();
    auto cn = std::make_shared<QZCConnection>();
    cn->Name = "Northwind";
    cn->DataSource = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + SampleDatabase();
    auto cmd = std::make_shared<QZCCommand>();
    cmd->Name = "LateOrders";
    cmd->Text = "SELECT Customers.CompanyName, Orders.OrderID, Orders.OrderDate, Orders.Freight FROM Orders "
                "INNER JOIN Customers ON Orders.CustomerID = Customers.CustomerID WHERE Orders.Freight > 500 "
                "AND Customers.Country = 'Germany' ORDER BY Orders.OrderDate DESC";
    f->QzCnCommand(cn);
    f->QzCommand(cmd);
    f->Initialize();
    f->SelectTab(tab);
    if (tab == frmQueryBuilder::kTabFields)
        if (ui::ListItem* row = f->lsvColumns.Find("Orders.OrderDate")) f->lsvColumns_ItemClick(*row);
    if (tab == frmQueryBuilder::kTabRelationships && f->lsvForeignKeys.Count()) {
        f->lsvForeignKeys.Select(&f->lsvForeignKeys.Item(0));
        f->lsvForeignKeys_Click();
    }
    if (tab == frmQueryBuilder::kTabSql) f->cmdExecute_Click();
    return f;
}

} // namespace

QZ_REGISTER_SAMPLE("frmQueryBuilder", [] { return Sample(frmQueryBuilder::kTabTables); })
QZ_REGISTER_SAMPLE("frmQueryBuilder-relationships", [] { return Sample(frmQueryBuilder::kTabRelationships); })
QZ_REGISTER_SAMPLE("frmQueryBuilder-fields", [] { return Sample(frmQueryBuilder::kTabFields); })
QZ_REGISTER_SAMPLE("frmQueryBuilder-conditions", [] { return Sample(frmQueryBuilder::kTabConditions); })
QZ_REGISTER_SAMPLE("frmQueryBuilder-sql", [] { return Sample(frmQueryBuilder::kTabSql); })

} // namespace qz::views
