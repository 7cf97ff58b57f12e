// The create-data-source wizard behind "New ..." of the ODBC list: the
// installed ODBC drivers, a name for the new data source and the settings
// most drivers take; Finish writes a user data source into the user's ODBC
// configuration.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <string>
#include <vector>

namespace qz::datasources {

class frmCreateDataSource : public ui::Form {
public:
    frmCreateDataSource();

    // Fills the driver list afresh and empties the fields.
    void Initialize();
    // True once Finish has written a data source.
    bool Created() const noexcept { return created_; }

    ui::Label lblDriver;
    ui::ListBox lstDrivers;
    ui::Label lblName, lblDescription, lblDatabase, lblServer, lblPort, lblUser;
    ui::TextBox txtName, txtDescription, txtDatabase, txtServer, txtPort, txtUser;
    ui::CommandButton cmdBrowse, cmdFinish, cmdCancel;

    void cmdBrowse_Click();
    void cmdFinish_Click();
    void cmdCancel_Click() { Hide(); }

private:
    bool created_ = false;
};

// Runs the wizard over the owner; 1 when a data source was created, 0 when
// the author cancelled.
int CreateOdbcDataSource(ui::Form* owner);

} // namespace qz::datasources
