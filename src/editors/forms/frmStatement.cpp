#include "editors/forms/frmStatement.h"

#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "editors/FieldCode.h"
#include "editors/forms/FieldEditorBox.h"
#include "editors/forms/frmFindReplace.h"
#include "platform/automation/Text.h"
#include "resources/MessageIds.h"

namespace qz::editors {

namespace {

constexpr std::string_view kForm = "frmStatement";
constexpr std::int32_t kHelpContext = 1200;
constexpr const char* kConditionSkeleton = "if()Then";

} // namespace

frmStatement::frmStatement() : ui::Form("frmStatement", "Qz Statement") {
    control(lblLabel, "lblLabel").Caption = "&Label:";
    control(txtLabel, "txtLabel");
    control(Label3, "Label3").Caption = "&Data:";
    control(trvDataList, "trvDataList");
    control(lblCode, "lblCode").Caption = "&Code:";
    control(txtValue, "txtValue");
    txtValue.MultiLine = true;
    txtValue.Font.Name = "Courier New";
    control(cmdOk, "cmdOk").Caption = "&OK";
    control(cmdCancel, "cmdCancel").Caption = "Cancel";
    cmdCancel.Cancel = true;
    control(cmdFind, "cmdFind").Caption = "&Find...";
    control(cmdPrint, "cmdPrint").Caption = "&Print";
    control(cmdHelp, "cmdHelp").Caption = "&Help";
    control(StatusBar1, "StatusBar1");
    AddFieldStatusPanels(StatusBar1);

    txtLabel.KeyPress = [](int& k) { FilterLabelKey(k); };
    txtLabel.GotFocus = [this] { SelectWholeText(txtLabel); };
    txtLabel.LostFocus = [this] {
        if (onlySpaces(txtLabel.Text)) txtLabel.Text = "Statement";
        EnableOk();
    };
    txtValue.Validate = [this](bool& cancel) {
        // Tab does not leave the code box: it indents by three spaces.
        if (!TabKeyDown()) return;
        cancel = true;
        txtValue.SelLength = 0;
        txtValue.SetSelText("   ");
        txtValue_Change();
    };
    txtValue.GotFocus = [this] { txtValue_CaretMoved(); };
    txtValue.LostFocus = [this] { txtValue_CaretMoved(); };
    txtValue.MouseUp = [this](int, int, int, int) { txtValue_CaretMoved(); };
    trvDataList.KeyPress = [this](int& k) {
        if (k != 13) return;
        k = 0;
        trvDataList_DblClick();
    };
    trvDataList.MouseMove = [this](int, int, int x, int y) { trvDataList.ToolTipText = tree_.ToolTipAt(x, y); };
}

void frmStatement::Initialize() {
    Handled(kForm, "Initialize", kErrLog, [&] {
        UpdateField = false;
        // On failure the editor opens with what the tree holds.
        Handled(kForm, "LoadQueries", kErrLog, [&] {
            BusyCursor busy;
            tree_.LoadQueries(TemplateQzcPath(), TemplateFolder());
        });
        LoadInfo();
        if (txtLabel.Text.empty()) txtLabel.Text = "Statement";
        StatusBar1.Panel(1).Text.clear();
        StatusBar1.Panel(2).Text.clear();
        StatusBar1.Panel(3).Text.clear();
        EnableOk();
        firstFocus_ = true;
    });
}

void frmStatement::LoadInfo() {
    txtLabel.Text = QzStmntLabel;
    txtValue.Text = QzStmntCode;
    ManageCarriageReturn(txtValue);
    txtLabel.SelStart = txtLabel.SelLength = 0;
    txtValue.SelStart = txtValue.SelLength = 0;
}

void frmStatement::Form_Activate() {
    if (firstFocus_) {
        firstFocus_ = false;
        SetFocusTo(txtLabel);
    }
    if (txtValue.Text == kConditionSkeleton) {
        SetFocusTo(txtValue);
        txtValue.SelStart = 3;
        txtValue.SelLength = 0;
        txtValue_CaretMoved();
    } else {
        txtValue.SelLength = 0;
        SetFocusTo(txtLabel);
    }
}

void frmStatement::EnableOk() { cmdOk.Enabled = !onlySpaces(txtLabel.Text) && !onlySpaces(txtValue.Text); }

void frmStatement::txtLabel_Change() {
    Handled(kForm, "txtLabel_Change", kErrLog, [&] {
        EnableOk();
    });
}

void frmStatement::txtValue_Change() {
    Handled(kForm, "txtValue_Change", kErrLog, [&] {
        EnableOk();
    });
}

void frmStatement::txtValue_CaretMoved() {
    Handled(kForm, "txtValue_CaretMoved", kErrLog, [&] {
        ShowCaretStatus(StatusBar1, txtValue);
    });
}

void frmStatement::cmdOk_Click() {
    Handled(kForm, "cmdOk_Click", kErrLog | kErrShow, [&] {
        if (!ValidLabel(txtLabel.Text)) {
            SetFocusTo(txtLabel);
            RaiseError(msg::InvalidLabelName);
        }
        if (onlySpaces(txtValue.Text)) {
            SetFocusTo(txtValue);
            RaiseError(msg::EmptyStatement);
        }
        QzStmntLabel = txtLabel.Text;
        QzStmntCode = crLfFromAnyBreak(txtValue.Text);
        UpdateField = true;
        Hide();
    });
}

void frmStatement::cmdCancel_Click() {
    UpdateField = false;
    Hide();
}

void frmStatement::cmdHelp_Click() {
    Handled(kForm, "cmdHelp_Click", kErrLog | kErrShow, [&] {
        OpenEditorHelp(kHelpContext);
    });
}

void frmStatement::cmdPrint_Click() {
    Handled(kForm, "cmdPrint_Click", kErrLog | kErrShow, [&] {
        PrintField(*this, txtLabel.Text, txtValue.Text);
    });
}

void frmStatement::cmdFind_Click() {
    Handled(kForm, "cmdFind_Click", kErrLog | kErrShow, [&] {
        FindReplaceState& s = TheFindReplaceState();
        const std::string search = GetFindTextFromTextBox(txtValue);
        s.search = search;
        s.countMode = false;
        frmFindReplace dialog;
        dialog.SetupInit(false, &txtValue, txtValue.SelText() != search);
        dialog.ShowModal();
        dialog.Unload();
        EnableOk();
        // Closing the Find window activates this one again, and activation
        // places the focus by its rule.
        Form_Activate();
    });
}

void frmStatement::trvDataList_NodeClick() {
    Handled(kForm, "trvDataList_NodeClick", kErrLog | kErrShow, [&] {
        const std::string word = tree_.TypeWord(trvDataList.SelectedItem());
        if (!word.empty()) StatusBar1.Panel(1).Text = word;
    });
}

void frmStatement::trvDataList_DblClick() {
    Handled(kForm, "trvDataList_DblClick", kErrLog | kErrShow, [&] {
        if (trvDataList.Count() == 0) return;
        const ui::Node* node = trvDataList.SelectedItem();
        const std::string text = tree_.ScriptText(node);
        if (!text.empty()) {
            if (txtValue.Text == kConditionSkeleton) {
                SetFocusTo(txtValue);
                txtValue.SelStart = 3;
                txtValue.SelLength = 0;
            }
            InsertTextAtCaret(txtValue, text);
            txtValue_Change();
        }
        if (tree_.IsEmptyConnection(node)) RaiseError(msg::InvalidConnection);
    });
}

} // namespace qz::editors
