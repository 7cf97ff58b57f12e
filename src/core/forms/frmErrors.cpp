#include "core/forms/frmErrors.h"

namespace qz {

frmErrors::frmErrors() : ui::Form("frmErrors", "Quorvane Error") {
    control(fraMain, "fraMain");
    control(txtError, "txtError");
    txtError.MultiLine = true;
    txtError.Locked = true;
    control(cmdOk, "cmdOk").Caption = "&OK";
    cmdOk.Default = true;
    cmdOk.Cancel = true;
    // The help button is not offered.
    control(cmdHelp, "cmdHelp").Caption = "&Help";
    cmdHelp.Visible = false;
}

void frmErrors::InitForm(const std::string& message, const std::string& caption,
                         const std::string& frameCaption) {
    if (!caption.empty()) Caption = caption;
    txtError.Text = message;
    if (!frameCaption.empty()) fraMain.Caption = frameCaption;
}

} // namespace qz
