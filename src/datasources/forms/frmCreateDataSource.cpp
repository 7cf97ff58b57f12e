#include "datasources/forms/frmCreateDataSource.h"

#include "core/CommonDialog.h"
#include "core/ModErrors.h"
#include "datasources/ModODBC.h"
#include "datasources/forms/DataSourceDialogs.h"
#include "platform/automation/Text.h"

#include <algorithm>

namespace qz::datasources {

namespace {

constexpr std::string_view kForm = "frmCreateDataSource";

} // namespace

frmCreateDataSource::frmCreateDataSource() : ui::Form("frmCreateDataSource", "Create New Data Source") {
    control(lblDriver, "lblDriver").Caption = "Select a &driver for which you want to set up a data source:";
    control(lstDrivers, "lstDrivers").Style = 2;
    control(lblName, "lblName").Caption = "Data source &name:";
    control(txtName, "txtName");
    control(lblDescription, "lblDescription").Caption = "D&escription:";
    control(txtDescription, "txtDescription");
    control(lblDatabase, "lblDatabase").Caption = "Data&base:";
    control(txtDatabase, "txtDatabase");
    control(cmdBrowse, "cmdBrowse").Caption = "B&rowse ...";
    control(lblServer, "lblServer").Caption = "&Server:";
    control(txtServer, "txtServer");
    control(lblPort, "lblPort").Caption = "&Port:";
    control(txtPort, "txtPort");
    control(lblUser, "lblUser").Caption = "&User name:";
    control(txtUser, "txtUser");
    control(cmdFinish, "cmdFinish").Caption = "&Finish";
    cmdFinish.Default = true;
    control(cmdCancel, "cmdCancel").Caption = "Cancel";
    cmdCancel.Cancel = true;
}

void frmCreateDataSource::Initialize() {
    created_ = false;
    lstDrivers.Clear();
    for (std::string& d : GetOdbcDriverNames()) lstDrivers.AddItem(std::move(d));
    if (lstDrivers.ListCount() > 0) lstDrivers.Select(0);
    for (ui::TextBox* t : {&txtName, &txtDescription, &txtDatabase, &txtServer, &txtPort, &txtUser}) t->Text.clear();
}

void frmCreateDataSource::cmdBrowse_Click() {
    Handled(kForm, "cmdBrowse_Click", kErrLog | kErrShow, [&] {
        const std::string chosen =
            CommonDialog().OpenFileName("0", "Database Files (*.db; *.sqlite; *.mdb)", "*.db;*.sqlite;*.sqlite3;*.mdb",
                                        0, TemplateFolder(), "", "");
        if (!chosen.empty()) txtDatabase.Text = chosen;
    });
}

void frmCreateDataSource::cmdFinish_Click() {
    const std::string name(trimSpaces(txtName.Text));
    std::string refusal;
    if (lstDrivers.ListIndex < 0)
        refusal = "Please select the driver of the new data source. A data source needs a driver.";
    else if (name.empty())
        refusal = "Please enter a name for the new data source.";
    else {
        const auto names = GetOdbcDataSourceNames();
        if (std::any_of(names.begin(), names.end(), [&](const std::string& n) { return equalsNoCaseAscii(n, name); }))
            refusal = "A data source named '" + name + "' exists already. Please choose another name.";
    }
    if (!refusal.empty()) {
        ShowErrorDialog(refusal, "");
        return;
    }
    // Drivers name some settings differently in a data source (the PostgreSQL
    // driver reads "Servername" and "Username", others "Server" and "UID");
    // each reads the names it knows and passes over the others.
    std::vector<std::pair<std::string, std::string>> attributes;
    for (auto [key, box] : {std::pair{"Description", &txtDescription}, std::pair{"Database", &txtDatabase},
                            std::pair{"Server", &txtServer}, std::pair{"Servername", &txtServer},
                            std::pair{"Port", &txtPort}, std::pair{"UID", &txtUser}, std::pair{"Username", &txtUser}})
        if (!onlySpaces(box->Text)) attributes.emplace_back(key, std::string(trimSpaces(box->Text)));
    std::string error;
    if (!CreateOdbcDataSource(name, lstDrivers.List(lstDrivers.ListIndex), attributes, &error)) {
        ShowErrorDialog("The data source '" + name + "' cannot be created.\r\n" + error, "");
        return;
    }
    created_ = true;
    Hide();
}

int CreateOdbcDataSource(ui::Form* /*owner*/) {
    frmCreateDataSource wizard;
    wizard.Initialize();
    wizard.ShowModal();
    const int result = wizard.Created() ? 1 : 0;
    wizard.Unload();
    return result;
}

} // namespace qz::datasources
