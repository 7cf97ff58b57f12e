// The about box: the application's title and the program's version, two
// notices, OK and a button that starts the system-information tool. The
// designer keeps one instance and calls Initialize before each showing.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <vector>

namespace qz::designer {

class frmAbout : public ui::Form {
public:
    frmAbout();

    ui::Label lblTitle;           // "Quorvane Studio"
    ui::Label lblCaptionVersion;  // "Version:"
    ui::Label lblVersion;         // the program's version and a blank
    ui::Label lblDescription;
    ui::Label lblDisclaimer;
    ui::CommandButton cmdOk;      // "OK"
    ui::CommandButton cmdSysInfo; // "&System Info..."

    // Fills the texts; failures are logged and raised.
    void Initialize();
    void cmdOk_Click() { Hide(); }
    // Starts the system-information tool, or says that there is none.
    void cmdSysInfo_Click();

private:
    void SetCaption();
};

} // namespace qz::designer
