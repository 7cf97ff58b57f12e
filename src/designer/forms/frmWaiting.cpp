#include "designer/forms/frmWaiting.h"

#include "platform/ui/UiHost.h"

namespace qz::designer {

frmWaiting::frmWaiting() : ui::Form("frmWaiting", "Waiting") {
    control(lblWaiting, "lblWaiting").Caption = "Waiting...";
}

frmWaiting::~frmWaiting() {
    if (Loaded()) Unload();
}

void frmWaiting::Refresh() {
    if (Visible()) ShowModeless();
}

void frmWaiting::OnLoad() { ui::currentHost().setBusyCursor(true); }

void frmWaiting::OnUnload() { ui::currentHost().setBusyCursor(false); }

} // namespace qz::designer
