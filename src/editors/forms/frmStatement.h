// The statement editor ("Qz Statement"): the label and the script code of one
// statement field, with the template's data tree beside the code box, find
// and replace, printing and help. The caller sets the two values, calls
// Initialize, shows the dialog modally and reads the values back only when
// UpdateField is true; OK and Cancel only hide the dialog, which is reused.
#pragma once

#include "editors/forms/FieldEditorForm.h"

#include <string>

namespace qz::editors {

class frmStatement : public FieldEditorForm {
public:
    frmStatement();

    std::string QzStmntLabel;
    std::string QzStmntCode;   // line breaks as CR LF

    ui::Label Label3;
    ui::TreeView trvDataList;
    ui::CommandButton cmdFind;

    // Fills the data tree and the boxes from the two values.
    void Initialize();
    void Form_Activate() override;

    void cmdOk_Click() override;
    void cmdFind_Click();
    void trvDataList_NodeClick() { ShowDataNodeType(); }
    void trvDataList_DblClick();

private:
    void EnableOk() override;
};

} // namespace qz::editors
