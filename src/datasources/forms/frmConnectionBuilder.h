// The connection-string builder behind "Build ..." of an OLE-DB connection:
// the author picks a provider, fills in that provider's settings, may test
// the connection, and OK hands the string back. Each provider shows only the
// settings it takes; the string is shown as it is being built.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <string>
#include <vector>

namespace qz::datasources {

class frmConnectionBuilder : public ui::Form {
public:
    enum Provider : int { kSqliteFile = 0, kOdbcDriver = 1, kOdbcDsn = 2, kAccessFile = 3, kSqlServer = 4 };

    frmConnectionBuilder();

    // Fills the provider, driver and data-source lists; the first provider.
    void Initialize();
    bool Cancelled() const noexcept { return cancelled_; }
    // The string built from the provider and its settings as they stand.
    std::string ConnectionString() const;

    ui::Label lblProvider;
    ui::ComboBox cboProvider;
    ui::Frame fraSettings;
    ui::Label lblFile, lblDriver, lblDsn, lblServer, lblPort, lblDatabase, lblUser, lblPassword, lblOther;
    ui::TextBox txtFile, txtServer, txtPort, txtDatabase, txtUser, txtPassword, txtOther;
    ui::ComboBox cboDriver, cboDsn;
    ui::CommandButton cmdBrowse;
    ui::Label lblResult;
    ui::TextBox txtResult;
    ui::CommandButton cmdTest, cmdOK, cmdCancel;

    void cboProvider_Click();
    // Any setting changed: the string shown follows.
    void Setting_Change();
    void cmdBrowse_Click();
    void cmdTest_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void OnClose() override { cmdCancel_Click(); }

private:
    void ShowSettings();
    bool cancelled_ = true;
};

} // namespace qz::datasources
