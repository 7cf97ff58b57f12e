#include "designer/forms/frmWaiting.h"

#include "platform/ui/UiHost.h"

namespace qz::designer {

frmWaiting::frmWaiting() : ui::Form("frmWaiting", "Waiting") {
    Width = 4500;
    Height = 1200;
    lblWaiting.Name = "lblWaiting";
    lblWaiting.Caption = "Waiting...";
    lblWaiting.Left = 240;
    lblWaiting.Top = 300;
    lblWaiting.Width = 4020;
    lblWaiting.Height = 375;
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
