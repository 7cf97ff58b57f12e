#include "editors/forms/FieldEditorForm.h"

#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "editors/FieldCode.h"
#include "editors/forms/FieldEditorBox.h"
#include "platform/automation/Text.h"
#include "resources/MessageIds.h"

namespace qz::editors {

FieldEditorForm::FieldEditorForm(std::string name, std::string caption, const FieldEditorKind& kind)
    : ui::Form(std::move(name), std::move(caption)), kind_(kind) {
    lblLabel.Caption = "&Label:";
    lblCode.Caption = "&Code:";
    txtValue.MultiLine = true;
    txtValue.Font.Name = "Courier New";
    cmdOk.Caption = "&OK";
    cmdCancel.Caption = "Cancel";
    cmdCancel.Cancel = true;
    cmdPrint.Caption = "&Print";
    cmdHelp.Caption = "&Help";
    AddFieldStatusPanels(StatusBar1);

    txtLabel.KeyPress = [](int& k) { FilterLabelKey(k); };
    txtLabel.GotFocus = [this] { SelectWholeText(txtLabel); };
    txtValue.GotFocus = [this] { txtValue_CaretMoved(); };
    txtValue.MouseUp = [this](int, int, int, int) { txtValue_CaretMoved(); };
}

void FieldEditorForm::AttachDataTree(ui::TreeView& tree, std::function<void()> dblClick) {
    dataList_ = &tree;
    tree_.emplace(tree, kind_.commandFunctions);
    tree.KeyPress = [dblClick = std::move(dblClick)](int& k) {
        if (k != 13) return;
        k = 0;
        dblClick();
    };
    tree.MouseMove = [this](int, int, int x, int y) { dataList_->ToolTipText = tree_->ToolTipAt(x, y); };
}

void FieldEditorForm::LoadDataTree() {
    HandledWithError(kind_.module, "LoadQueries", kErrLog, [&] {
        BusyCursor busy;
        tree_->LoadQueries(TemplateQzcPath(), TemplateFolder());
    }, [&](const AutomationError&) {
        if (!kind_.reportEmptyTree) return;
        AutomationError e = OwnError(msg::CannotFillDataTree);
        HandleError(e, kind_.module, "Initialize", kErrLog);
    });
}

void FieldEditorForm::LoadBoxes(const std::string& label, const std::string& code) {
    txtLabel.Text = label;
    txtValue.Text = code;
    ManageCarriageReturn(txtValue);
    txtLabel.SelStart = txtLabel.SelLength = 0;
    txtValue.SelStart = txtValue.SelLength = 0;
}

void FieldEditorForm::FinishInitialize() {
    if (txtLabel.Text.empty()) txtLabel.Text = kind_.defaultLabel;
    for (int p = 1; p <= 3; ++p) StatusBar1.Panel(p).Text.clear();
    EnableOk();
    firstFocus_ = true;
}

void FieldEditorForm::RequireValidLabel() {
    if (ValidLabel(txtLabel.Text)) return;
    SetFocusTo(txtLabel);
    RaiseError(msg::InvalidLabelName);
}

void FieldEditorForm::ShowDataNodeType() {
    Handled(kind_.module, dataList_->Name + "_NodeClick", kErrLog | kErrShow, [&] {
        const std::string word = tree_->TypeWord(dataList_->SelectedItem());
        if (!word.empty()) StatusBar1.Panel(1).Text = word;
    });
}

void FieldEditorForm::txtLabel_Change() {
    Handled(kind_.module, "txtLabel_Change", kind_.changeFlags, [&] { EnableOk(); });
}

void FieldEditorForm::txtValue_Change() {
    Handled(kind_.module, "txtValue_Change", kind_.changeFlags, [&] { EnableOk(); });
}

void FieldEditorForm::txtValue_CaretMoved() {
    Handled(kind_.module, "txtValue_CaretMoved", kErrLog, [&] { ShowCaretStatus(StatusBar1, txtValue); });
}

void FieldEditorForm::cmdCancel_Click() {
    UpdateField = false;
    Hide();
}

void FieldEditorForm::cmdPrint_Click() {
    Handled(kind_.module, "cmdPrint_Click", kErrLog | kErrShow,
            [&] { PrintField(*this, txtLabel.Text, txtValue.Text); });
}

void FieldEditorForm::cmdHelp_Click() {
    Handled(kind_.module, "cmdHelp_Click", kErrLog | kErrShow, [&] { OpenEditorHelp(kind_.helpContext); });
}

} // namespace qz::editors
