#include "editors/forms/frmRepeatingPar.h"

#include "config/QZCFile.h"
#include "core/ModErrors.h"
#include "editors/forms/FieldEditorBox.h"

namespace qz::editors {

namespace {
constexpr std::string_view kForm = "frmRepeatingPar";
constexpr std::int32_t kHelpContext = 1210;
} // namespace

frmRepeatingPar::frmRepeatingPar() : ui::Form("frmRepeatingPar", "Repeating Paragraph") {
    control(lblQueries, "lblQueries").Caption = "Commands:";
    control(lstQueries, "lstQueries");
    control(cmdOk, "cmdOk").Caption = "&OK";
    cmdOk.Default = true;
    cmdOk.Enabled = false;
    control(cmdCancel, "cmdCancel").Caption = "Cancel";
    cmdCancel.Cancel = true;
    control(cmdHelp, "cmdHelp").Caption = "&Help";
}

void frmRepeatingPar::Initialize() {
    // Each use starts undecided: a window closed without a choice is Cancel.
    Cancelled = false;
    SelectedQuery.clear();
    LoadQueries();
}

void frmRepeatingPar::LoadQueries() {
    Handled(kForm, "LoadQueries", kErrLog | kErrRaise, [&] {
        lstQueries.Clear();
        QZCFile file;
        file.Load(TemplateQzcPath());
        lstQueries.AddItem("<None>");
        if (file.ConnectionList())
            for (const auto& conn : file.ConnectionList()->List())
                if (conn->CommandList())
                    for (const auto& cmd : conn->CommandList()->List()) lstQueries.AddItem(cmd->Name);
        lstQueries.Select(0);
        lstQueries_Click();
    });
}

void frmRepeatingPar::cmdOk_Click() {
    Cancelled = false;
    SelectedQuery = lstQueries.ListIndex >= 1 ? lstQueries.List(lstQueries.ListIndex) : std::string();
    Hide();
}

void frmRepeatingPar::cmdCancel_Click() {
    Cancelled = true;
    Hide();
}

void frmRepeatingPar::cmdHelp_Click() {
    Handled(kForm, "cmdHelp_Click", kErrLog | kErrShow, [&] {
        OpenEditorHelp(kHelpContext);
    });
}

void frmRepeatingPar::lstQueries_Click() { cmdOk.Enabled = lstQueries.ListIndex >= 0; }

void frmRepeatingPar::lstQueries_DblClick() {
    if (lstQueries.ListIndex >= 0) cmdOk_Click();
}

} // namespace qz::editors
