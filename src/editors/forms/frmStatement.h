// The statement editor ("Qz Statement"): the label and the script code of one
// statement field, with the template's data tree beside the code box, find
// and replace, printing and help. The caller sets the two values, calls
// Initialize, shows the dialog modally and reads the values back only when
// UpdateField is true; OK and Cancel only hide the dialog, which is reused.
#pragma once

#include "editors/FieldDataTree.h"
#include "platform/ui/Bars.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "platform/ui/TreeView.h"

#include <string>

namespace qz::editors {

class frmStatement : public ui::Form {
public:
    frmStatement();

    std::string QzStmntLabel;
    std::string QzStmntCode;   // line breaks as CR LF
    bool UpdateField = false;

    ui::Label lblLabel, lblCode, Label3;
    ui::TextBox txtLabel;
    ui::TextBox txtValue;
    ui::TreeView trvDataList;
    ui::CommandButton cmdOk, cmdCancel, cmdHelp, cmdPrint, cmdFind;
    ui::StatusBar StatusBar1;

    FieldDataTree& DataTree() { return tree_; }

    // Fills the data tree and the boxes from the two values.
    void Initialize();
    // The window was activated (shown or brought back over its find dialog).
    void Form_Activate();

    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdHelp_Click();
    void cmdPrint_Click();
    void cmdFind_Click();
    void txtLabel_Change();
    void txtValue_Change();
    // The caret moved in the code box (a key or a mouse button released).
    void txtValue_CaretMoved();
    void trvDataList_NodeClick();
    void trvDataList_DblClick();

    void OnClose() override { cmdCancel_Click(); }

private:
    void LoadInfo();
    void EnableOk();

    FieldDataTree tree_{trvDataList, true};
    bool firstFocus_ = false;
};

} // namespace qz::editors
