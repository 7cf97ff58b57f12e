// The repeating-paragraph picker ("Repeating Paragraph"): "<None>" and every
// command of the template, in file order. The caller calls Initialize, shows
// it modally and reads Cancelled and, when that is false, SelectedQuery ("" for
// "<None>"). The dialog only hides itself and is reused.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <string>
#include <vector>

namespace qz::editors {

class frmRepeatingPar : public ui::Form {
public:
    frmRepeatingPar();

    std::string SelectedQuery;
    bool Cancelled = false;

    ui::Label lblQueries;
    ui::ListBox lstQueries;
    ui::CommandButton cmdOk, cmdCancel, cmdHelp;

    // Lists the commands of the template's QZC file; a file that cannot be
    // read raises its error.
    void Initialize();
    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdHelp_Click();
    void lstQueries_Click();
    void lstQueries_DblClick();
    // Closing the window is Cancel.
    void OnClose() override { cmdCancel_Click(); }

private:
    void LoadQueries();
};

} // namespace qz::editors
