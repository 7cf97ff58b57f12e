#include "designer/forms/frmAbout.h"

#include "core/DesignerState.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"

namespace qz::designer {

namespace {
constexpr const char* kAppTitle = "Quorvane Studio";
}

frmAbout::frmAbout() : ui::Form("frmAbout", "About Application") {
    control(lblTitle, "lblTitle").Caption = "Application Title";
    control(lblCaptionVersion, "lblCaptionVersion").Caption = "Version:";
    control(lblVersion, "lblVersion");
    control(lblDescription, "lblDescription");
    control(lblDisclaimer, "lblDisclaimer");
    control(cmdOk, "cmdOk").Caption = "OK";
    cmdOk.Default = true;
    cmdOk.Cancel = true;
    control(cmdSysInfo, "cmdSysInfo").Caption = "&System Info...";
}

void frmAbout::Initialize() {
    Handled("frmAbout", "Initialize", kErrLog | kErrRaise, [&] {
        SetCaption();
    });
}

void frmAbout::SetCaption() {
    Handled("frmAbout", "SetCaption", kErrLog | kErrShow, [&] {
        Caption = std::string("About ") + kAppTitle;
        lblTitle.Caption = kAppTitle;
        lblVersion.Caption = ProgramVersion() + " ";
        lblDescription.Caption =
            "Turns Rich Text Format documents into data-driven templates, and produces "
            "documents from them.";
        lblDisclaimer.Caption =
            "Warning: this computer program is protected by copyright law and international "
            "treaties.";
    });
}

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

} // namespace qz::designer
