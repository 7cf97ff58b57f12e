#include "datasources/forms/frmConnectionBuilder.h"

#include "core/CommonDialog.h"
#include "core/ModErrors.h"
#include "datasources/ModODBC.h"
#include "datasources/forms/DataSourceDialogs.h"
#include "platform/ado/ConnectionString.h"
#include "platform/automation/Text.h"
#include "platform/ui/UiHost.h"

namespace qz::datasources {

namespace {

constexpr std::string_view kForm = "frmConnectionBuilder";

const char* const kProviders[] = {"SQLite database file", "ODBC driver", "ODBC data source",
                                  "Microsoft Access database", "Microsoft SQL Server"};

// "key=value;" with the value quoted as ODBC reads it back; nothing for an
// empty value.
void Append(std::string& out, const char* key, const std::string& value, bool odbc = true) {
    if (value.empty()) return;
    out += key;
    out += '=';
    out += odbc ? ado::quoteOdbcValue(value) : ado::quoteValue(value);
    out += ';';
}

// The author's further settings ("key=value" pairs separated by ";"), as typed.
void AppendOther(std::string& out, const std::string& other) {
    const std::string_view rest = trimSpaces(other);
    if (rest.empty()) return;
    out += rest;
    if (rest.back() != ';') out += ';';
}

} // namespace

frmConnectionBuilder::frmConnectionBuilder() : ui::Form("frmConnectionBuilder", "Connection String Builder") {
    control(lblProvider, "lblProvider").Caption = "&Provider:";
    control(cboProvider, "cboProvider");
    cboProvider.Style = 2;
    control(fraSettings, "fraSettings").Caption = "Settings";
    control(lblFile, "lblFile").Caption = "Database &file:";
    control(txtFile, "txtFile");
    control(cmdBrowse, "cmdBrowse").Caption = "B&rowse ...";
    control(lblDriver, "lblDriver").Caption = "&Driver:";
    control(cboDriver, "cboDriver");
    cboDriver.Style = 2;
    control(lblDsn, "lblDsn").Caption = "Data &source name:";
    control(cboDsn, "cboDsn");
    cboDsn.Style = 2;
    control(lblServer, "lblServer").Caption = "S&erver:";
    control(txtServer, "txtServer");
    control(lblPort, "lblPort").Caption = "P&ort:";
    control(txtPort, "txtPort");
    control(lblDatabase, "lblDatabase").Caption = "Data&base:";
    control(txtDatabase, "txtDatabase");
    control(lblUser, "lblUser").Caption = "&User name:";
    control(txtUser, "txtUser");
    control(lblPassword, "lblPassword").Caption = "Pass&word:";
    control(txtPassword, "txtPassword");
    control(lblOther, "lblOther").Caption = "Ot&her settings (key=value;...):";
    control(txtOther, "txtOther");
    control(lblResult, "lblResult").Caption = "Connection string:";
    control(txtResult, "txtResult");
    txtResult.Locked = true;
    txtResult.MultiLine = true;
    control(cmdTest, "cmdTest").Caption = "&Test Connection";
    control(cmdOK, "cmdOK").Caption = "OK";
    cmdOK.Default = true;
    control(cmdCancel, "cmdCancel").Caption = "Cancel";
    cmdCancel.Cancel = true;
}

void frmConnectionBuilder::Initialize() {
    cancelled_ = true;
    cboProvider.Clear();
    for (const char* p : kProviders) cboProvider.AddItem(p);
    cboDriver.Clear();
    for (std::string& d : GetOdbcDriverNames()) cboDriver.AddItem(std::move(d));
    cboDsn.Clear();
    for (std::string& d : GetOdbcDataSourceNames()) cboDsn.AddItem(std::move(d));
    for (ui::TextBox* t : {&txtFile, &txtServer, &txtPort, &txtDatabase, &txtUser, &txtPassword, &txtOther})
        t->Text.clear();
    cboProvider.Select(kSqliteFile);
    cboProvider_Click();
}

std::string frmConnectionBuilder::ConnectionString() const {
    std::string out;
    switch (cboProvider.ListIndex) {
    case kSqliteFile:
        out = "Provider=SQLite; Data Source=" + ado::quoteValue(txtFile.Text) + ";";
        break;
    case kOdbcDriver:
        if (cboDriver.ListIndex >= 0) out = "Driver=" + ado::quoteOdbcValue(cboDriver.List(cboDriver.ListIndex)) + ";";
        Append(out, "Server", txtServer.Text);
        Append(out, "Port", txtPort.Text);
        Append(out, "Database", txtDatabase.Text);
        Append(out, "UID", txtUser.Text);
        Append(out, "PWD", txtPassword.Text);
        break;
    case kOdbcDsn:
        if (cboDsn.ListIndex >= 0) out = "DSN=" + ado::quoteOdbcValue(cboDsn.List(cboDsn.ListIndex)) + ";";
        Append(out, "UID", txtUser.Text);
        Append(out, "PWD", txtPassword.Text);
        break;
    case kAccessFile:
        out = "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + ado::doubleQuoted(txtFile.Text) + ";";
        break;
    case kSqlServer:
        out = "Provider=SQLOLEDB;";
        Append(out, "Data Source", txtServer.Text, false);
        Append(out, "Initial Catalog", txtDatabase.Text, false);
        Append(out, "User ID", txtUser.Text, false);
        Append(out, "Password", txtPassword.Text, false);
        break;
    default: return {};
    }
    AppendOther(out, txtOther.Text);
    return out;
}

void frmConnectionBuilder::ShowSettings() {
    const int p = cboProvider.ListIndex;
    const bool file = p == kSqliteFile || p == kAccessFile;
    const bool server = p == kOdbcDriver || p == kSqlServer;
    const bool login = p == kOdbcDriver || p == kOdbcDsn || p == kSqlServer;
    for (ui::Control* c : {static_cast<ui::Control*>(&lblFile), static_cast<ui::Control*>(&txtFile),
                           static_cast<ui::Control*>(&cmdBrowse)})
        c->Visible = file;
    lblDriver.Visible = cboDriver.Visible = p == kOdbcDriver;
    lblDsn.Visible = cboDsn.Visible = p == kOdbcDsn;
    lblServer.Visible = txtServer.Visible = lblDatabase.Visible = txtDatabase.Visible = server;
    lblPort.Visible = txtPort.Visible = p == kOdbcDriver;
    lblUser.Visible = txtUser.Visible = lblPassword.Visible = txtPassword.Visible = login;
    Setting_Change();
}

void frmConnectionBuilder::cboProvider_Click() { ShowSettings(); }

// The string as built, its password masked as the password box masks it.
void frmConnectionBuilder::Setting_Change() { txtResult.Text = ado::maskSecrets(ConnectionString()); }

void frmConnectionBuilder::cmdBrowse_Click() {
    Handled(kForm, "cmdBrowse_Click", kErrLog | kErrShow, [&] {
        const bool access = cboProvider.ListIndex == kAccessFile;
        const std::string chosen = CommonDialog().OpenFileName(
            "0", access ? "Microsoft Access Files (*.mdb)" : "SQLite Database Files (*.db; *.sqlite)",
            access ? "*.mdb" : "*.db;*.sqlite;*.sqlite3", 0, TemplateFolder(), "", "");
        if (!chosen.empty()) txtFile.Text = chosen;
        Setting_Change();
    });
}

void frmConnectionBuilder::cmdTest_Click() {
    ui::currentHost().setBusyCursor(true);
    const bool ok = OpenAndCloseConnection(ConnectionString());
    ui::currentHost().setBusyCursor(false);
    if (ok) ui::currentHost().msgBox("Connection succeeded!", ui::vbOKOnly | ui::vbInformation, "");
}

void frmConnectionBuilder::cmdOK_Click() {
    cancelled_ = false;
    Hide();
}

void frmConnectionBuilder::cmdCancel_Click() {
    cancelled_ = true;
    Hide();
}

} // namespace qz::datasources
