// What the statement and the expression editor share: the label box, the
// code box with the template's data tree beside it, OK, Cancel, Print and
// Help, the status bar, and the handlers over them. Each editor registers
// these controls among its own, in its own tab order, then attaches its data
// tree; the caller sets the field's values, calls Initialize, shows the
// dialog modally and reads the values back only when UpdateField is true.
#pragma once

#include "editors/FieldDataTree.h"
#include "platform/ui/Bars.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "platform/ui/TreeView.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qz::editors {

// How one editor differs where the shared handlers act.
struct FieldEditorKind {
    std::string_view module;   // the form's name in the error log
    std::int32_t helpContext;
    const char* defaultLabel;  // the label of a new field, and of a cleared one
    bool commandFunctions;     // the data tree offers the command functions
    int changeFlags;           // how a failure while typing is reported
    bool reportEmptyTree;      // a tree that cannot be filled is logged as message 4033 too
};

class FieldEditorForm : public ui::Form {
public:
    bool UpdateField = false;

    ui::Label lblLabel, lblCode;
    ui::TextBox txtLabel, txtValue;
    ui::CommandButton cmdOk, cmdCancel, cmdPrint, cmdHelp;
    ui::StatusBar StatusBar1;

    FieldDataTree& DataTree() { return *tree_; }

    // The window was activated (shown, or brought back over a dialog of its own).
    virtual void Form_Activate() = 0;
    // Takes the boxes into the field's values and hides the dialog, or says
    // what is wrong with them.
    virtual void cmdOk_Click() = 0;

    void cmdCancel_Click();
    void cmdPrint_Click();
    void cmdHelp_Click();
    void txtLabel_Change();
    void txtValue_Change();
    // The caret moved in the code box (a key or a mouse button released).
    void txtValue_CaretMoved();

    void OnClose() override { cmdCancel_Click(); }

protected:
    FieldEditorForm(std::string name, std::string caption, const FieldEditorKind& kind);

    // Once the controls are registered: the data tree over `tree`; Enter in
    // it acts as `dblClick`, and the pointer over a column shows its tip.
    void AttachDataTree(ui::TreeView& tree, std::function<void()> dblClick);
    // Fills the data tree from the template's QZC file with the busy cursor
    // up; a failure is logged and the editor opens with what the tree holds.
    void LoadDataTree();
    // The field's label and code in their boxes, each caret at its start.
    void LoadBoxes(const std::string& label, const std::string& code);
    // The end of Initialize: the default label in an empty box, the status
    // panels cleared, OK as the boxes allow, the first focus to come.
    void FinishInitialize();
    // OK's first check: a label that cannot name a field takes the focus and
    // raises message 4006.
    void RequireValidLabel();
    // A click on a data node shows its type word in panel 1.
    void ShowDataNodeType();

    // OK is enabled while the boxes hold what a field needs.
    virtual void EnableOk() = 0;

    const FieldEditorKind kind_;
    bool firstFocus_ = false;

private:
    ui::TreeView* dataList_ = nullptr;
    std::optional<FieldDataTree> tree_;
};

} // namespace qz::editors
