#include "designer/forms/frmParameters.h"

namespace qz::designer {

frmParameters::frmParameters() : ui::Form("frmParameters") {
    control(lblValue, "lblValue").Caption = "Value:";
    control(txtParameter, "txtParameter");
    control(cmdOk, "cmdOk").Caption = "&OK";
    cmdOk.Default = true;
    control(cmdCancel, "cmdCancel").Caption = "Cancel";
    cmdCancel.Cancel = true;
}

} // namespace qz::designer
