#include "designer/forms/frmAbout.h"

#include "core/DesignerState.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"

namespace qz::designer {

namespace {
constexpr const char* kAppTitle = "Quorvane Studio";
}

frmAbout::frmAbout() : ui::Form("frmAbout", "About Application") {
    Width = 5730;
    Height = 3600;
    auto label = [](ui::Label& l, const char* name, const char* caption, int left, int top, int width) {
        l.Name = name;
        l.Caption = caption;
        l.Left = left;
        l.Top = top;
        l.Width = width;
        l.Height = 255;
    };
    label(lblTitle, "lblTitle", "Application Title", 1050, 240, 3885);
    label(lblCaptionVersion, "lblCaptionVersion", "Version:", 1050, 600, 885);
    label(lblVersion, "lblVersion", "", 1950, 600, 2000);
    label(lblDescription, "lblDescription", "", 1050, 1000, 4400);
    lblDescription.Height = 750;
    label(lblDisclaimer, "lblDisclaimer", "", 255, 2000, 3870);
    lblDisclaimer.Height = 825;
    cmdOk.Name = "cmdOk";
    cmdOk.Caption = "OK";
    cmdOk.Default = true;
    cmdOk.Cancel = true;
    cmdOk.Left = 4245;
    cmdOk.Top = 2100;
    cmdOk.Width = 1260;
    cmdOk.Height = 345;
    cmdSysInfo.Name = "cmdSysInfo";
    cmdSysInfo.Caption = "&System Info...";
    cmdSysInfo.Left = 4260;
    cmdSysInfo.Top = 2550;
    cmdSysInfo.Width = 1245;
    cmdSysInfo.Height = 345;
}

void frmAbout::Initialize() {
    try {
        SetCaption();
    } catch (...) {
        HandleError("frmAbout", "Initialize", kErrLog | kErrRaise);
    }
}

void frmAbout::SetCaption() {
    try {
        Caption = std::string("About ") + kAppTitle;
        lblTitle.Caption = kAppTitle;
        lblVersion.Caption = ProgramVersion() + " ";
        lblDescription.Caption =
            "Turns Rich Text Format documents into data-driven templates, and produces "
            "documents from them.";
        lblDisclaimer.Caption =
            "Warning: this computer program is protected by copyright law and international "
            "treaties.";
    } catch (...) {
        HandleError("frmAbout", "SetCaption", kErrLog | kErrShow);
    }
}

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

} // namespace qz::designer
