#include "core/forms/frmSysInfo.h"

#include "platform/ui/UiHost.h"

namespace qz {

frmSysInfo::frmSysInfo() : ui::Form("frmSysInfo", "System Information") {
    control(txtInfo, "txtInfo");
    txtInfo.MultiLine = true;
    txtInfo.Locked = true;
    control(cmdCopy, "cmdCopy").Caption = "&Copy";
    control(cmdClose, "cmdClose").Caption = "Close";
    cmdClose.Default = true;
    cmdClose.Cancel = true;
}

void frmSysInfo::Initialize(const std::string& info) {
    txtInfo.Text = info;
    txtInfo.SelStart = txtInfo.SelLength = 0;
}

void frmSysInfo::cmdCopy_Click() { ui::currentHost().setClipboardText(txtInfo.Text); }

} // namespace qz
