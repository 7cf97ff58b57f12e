#include "designer/forms/frmParameters.h"

namespace qz::designer {

frmParameters::frmParameters() : ui::Form("frmParameters") {
    Width = 4800;
    Height = 1800;
    lblValue.Name = "lblValue";
    lblValue.Caption = "Value:";
    lblValue.Left = 120;
    lblValue.Top = 120;
    lblValue.Width = 1200;
    lblValue.Height = 255;
    txtParameter.Name = "txtParameter";
    txtParameter.Left = 120;
    txtParameter.Top = 420;
    txtParameter.Width = 4440;
    txtParameter.Height = 315;
    cmdOk.Name = "cmdOk";
    cmdOk.Caption = "&OK";
    cmdOk.Default = true;
    cmdOk.Width = 1215;
    cmdOk.Height = 375;
    cmdCancel.Name = "cmdCancel";
    cmdCancel.Caption = "Cancel";
    cmdCancel.Cancel = true;
    cmdCancel.Width = 1215;
    cmdCancel.Height = 375;
    cmdCancel.Left = txtParameter.Left + txtParameter.Width - cmdCancel.Width;
    cmdCancel.Top = 900;
    cmdOk.Left = cmdCancel.Left - 120 - cmdOk.Width;
    cmdOk.Top = 900;
}

} // namespace qz::designer
