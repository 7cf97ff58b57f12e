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

frmStatement::frmStatement()
    : FieldEditorForm("frmStatement", "Qz Statement",
                      {kForm, kHelpContext, "Statement", true, kErrLog, false}) {
    control(lblLabel, "lblLabel");
    control(txtLabel, "txtLabel");
    control(Label3, "Label3").Caption = "&Data:";
    control(trvDataList, "trvDataList");
    control(lblCode, "lblCode");
    control(txtValue, "txtValue");
    control(cmdOk, "cmdOk");
    control(cmdCancel, "cmdCancel");
    control(cmdFind, "cmdFind").Caption = "&Find...";
    control(cmdPrint, "cmdPrint");
    control(cmdHelp, "cmdHelp");
    control(StatusBar1, "StatusBar1");
    AttachDataTree(trvDataList, [this] { trvDataList_DblClick(); });

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
    txtValue.LostFocus = [this] { txtValue_CaretMoved(); };
}

void frmStatement::Initialize() {
    Handled(kForm, "Initialize", kErrLog, [&] {
        UpdateField = false;
        LoadDataTree();
        LoadBoxes(QzStmntLabel, QzStmntCode);
        FinishInitialize();
    });
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

void frmStatement::cmdOk_Click() {
    Handled(kForm, "cmdOk_Click", kErrLog | kErrShow, [&] {
        RequireValidLabel();
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

void frmStatement::trvDataList_DblClick() {
    Handled(kForm, "trvDataList_DblClick", kErrLog | kErrShow, [&] {
        if (trvDataList.Count() == 0) return;
        const ui::Node* node = trvDataList.SelectedItem();
        const std::string text = DataTree().ScriptText(node);
        if (!text.empty()) {
            if (txtValue.Text == kConditionSkeleton) {
                SetFocusTo(txtValue);
                txtValue.SelStart = 3;
                txtValue.SelLength = 0;
            }
            InsertTextAtCaret(txtValue, text);
            txtValue_Change();
        }
        if (DataTree().IsEmptyConnection(node)) RaiseError(msg::InvalidConnection);
    });
}

} // namespace qz::editors
