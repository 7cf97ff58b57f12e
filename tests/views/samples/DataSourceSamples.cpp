// The samples of the data-source windows.
#include "config/QZCConnection.h"
#include "datasources/forms/frmCommandXML.h"
#include "datasources/forms/frmConnection.h"
#include "datasources/forms/frmConnectionBuilder.h"
#include "datasources/forms/frmCreateDataSource.h"
#include "datasources/forms/frmDataLink.h"
#include "views/samples/Samples.h"

#include <memory>

namespace qz::views {

using datasources::frmCommandXML;
using datasources::frmConnection;
using datasources::frmConnectionBuilder;
using datasources::frmCreateDataSource;
using datasources::frmDataLink;

QZ_REGISTER_SAMPLE("frmCommandXML", [] {
    auto f = std::make_unique<frmCommandXML>();
    auto cn = std::make_shared<QZCConnection>();
    cn->Name = "Saved";
    auto cmd = std::make_shared<QZCCommand>();
    cmd->Name = "Lines";
    cmd->Text = "data/Lines.xml";
    f->QzCnCommand(cn);
    f->QzCommand(cmd);
    f->Initialize();
    ui::GridTable& t = f->msfgCommand.Data;
    t.Columns = {"LineNo", "Description", "Quantity", "UnitPrice"};
    t.Rows = {{{"1", "Consulting, March", "12", "95.00"}, {}},
              {{"2", "Travel expenses", "1", "240.50"}, {}},
              {{"3", "Licence renewal", "3", "120.00"}, {}}};
    return f;
})

QZ_REGISTER_SAMPLE("frmConnection", [] {
    auto f = std::make_unique<frmConnection>();
    auto cn = std::make_shared<QZCConnection>();
    cn->Name = "Sales";
    cn->ConnectionType = ConnectionTypeText(kSqlServer);
    cn->DataSource = "Provider=SQLOLEDB;Data Source=SRV01;database=Sales;Trusted_Connection=No;uid=reader;"
                     "Persist Security Info=False;";
    f->QzConnection(cn);
    f->Initialize();
    return f;
})

QZ_REGISTER_SAMPLE("frmDataLink", [] {
    // The example template's data: one connection with its two commands.
    auto f = std::make_unique<frmDataLink>();
    ui::TreeView& t = f->trvDataLink;
    t.Add("DTLNK", "Data Sources", 3).Expanded = true;
    ui::Node& shop = t.Add("DTLNK", ui::tvwChild, "DBCON0", "Shop", 2);
    shop.Expanded = true;
    t.Add("DBCON0", ui::tvwChild, "DBCMD1", "Invoice", 7);
    t.Select(&t.Add("DBCON0", ui::tvwChild, "DBCMD2", "Lines", 7));
    t.Add("DTLNK", ui::tvwChild, "DBCON1", "Archive", 2);
    return f;
})

QZ_REGISTER_SAMPLE("frmCreateDataSource", [] {
    auto f = std::make_unique<frmCreateDataSource>();
    f->Initialize();
    if (f->lstDrivers.ListCount() == 0)
        for (const char* d : {"PostgreSQL Unicode", "SQLite3"}) f->lstDrivers.AddItem(d);
    f->lstDrivers.Select(0);
    f->txtName.Text = "Invoices";
    f->txtDescription.Text = "Invoice database";
    f->txtServer.Text = "localhost";
    f->txtPort.Text = "5432";
    f->txtDatabase.Text = "invoices";
    return f;
})

QZ_REGISTER_SAMPLE("frmConnectionBuilder", [] {
    auto f = std::make_unique<frmConnectionBuilder>();
    f->Initialize();
    if (f->cboDriver.ListCount() == 0) f->cboDriver.AddItem("PostgreSQL Unicode");
    f->cboProvider.Select(frmConnectionBuilder::kOdbcDriver);
    f->cboProvider_Click();
    int postgres = 0;
    for (int i = 0; i < f->cboDriver.ListCount(); ++i)
        if (f->cboDriver.List(i) == "PostgreSQL Unicode") postgres = i;
    f->cboDriver.Select(postgres);
    f->txtServer.Text = "localhost";
    f->txtPort.Text = "5432";
    f->txtDatabase.Text = "invoices";
    f->txtUser.Text = "reader";
    f->Setting_Change();
    return f;
})

} // namespace qz::views
