#include "core/forms/frmErrors.h"

namespace qz {

frmErrors::frmErrors() : ui::Form("frmErrors", "Quorvane Error") {
    Width = 6000;
    Height = 3000;
    fraMain.Name = "fraMain";
    fraMain.Left = 120;
    fraMain.Top = 120;
    fraMain.Width = 5640;
    fraMain.Height = 1935;
    txtError.Name = "txtError";
    txtError.MultiLine = true;
    txtError.Locked = true;
    txtError.Left = 120;
    txtError.Top = 240;
    txtError.Width = 5400;
    txtError.Height = 1575;
    cmdOk.Name = "cmdOk";
    cmdOk.Caption = "&OK";
    cmdOk.Default = true;
    cmdOk.Cancel = true;
    cmdOk.Width = 1215;
    cmdOk.Height = 375;
    cmdHelp.Name = "cmdHelp";
    cmdHelp.Caption = "&Help";
    cmdHelp.Width = 1215;
    cmdHelp.Height = 375;
    OnLoad();
}

void frmErrors::OnLoad() {
    // OK sits under the frame, its right edge on the frame's right edge; the
    // help button is not offered.
    cmdHelp.Visible = false;
    cmdOk.Left = fraMain.Left + fraMain.Width - cmdOk.Width;
    cmdOk.Top = fraMain.Top + fraMain.Height + 120;
}

void frmErrors::InitForm(const std::string& message, const std::string& caption,
                         const std::string& frameCaption) {
    if (!caption.empty()) Caption = caption;
    txtError.Text = message;
    if (!frameCaption.empty()) fraMain.Caption = frameCaption;
}

} // namespace qz
