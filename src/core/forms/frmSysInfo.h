// System information: what a support call needs to know about this
// installation (versions of the program and its libraries, the ODBC drivers
// and data sources, the folders of its data and log), in a read-only box,
// with Copy to put it on the clipboard.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <string>

namespace qz {

class frmSysInfo : public ui::Form {
public:
    frmSysInfo();

    ui::TextBox txtInfo;
    ui::CommandButton cmdCopy;   // "&Copy"
    ui::CommandButton cmdClose;  // "Close"

    // Fills the box with the text given.
    void Initialize(const std::string& info);
    void cmdCopy_Click();
    void cmdClose_Click() { Hide(); }
};

} // namespace qz
