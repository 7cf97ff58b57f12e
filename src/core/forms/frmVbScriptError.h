// The script-error dialog: one run-time error of a template's program (its
// number, source and description) and where it arose (an expression field, a
// statement field or an external script module: the field's label, the line
// inside the field and the script line that failed). Read-only boxes whose
// text can be copied.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qz {

class frmVbScriptError : public ui::Form {
public:
    frmVbScriptError();

    ui::Frame fraQzField;                 // the location; its caption names the kind
    ui::Label lblQzFieldName, lblQzLineNumber, lblQzVbscriptCode;
    ui::TextBox txtQzFieldName, txtQzFieldLineNumber, txtQzFieldCode;
    ui::Frame fraError;
    ui::Label lblErrorNumber, lblErrorSource, lblErrorDescription;
    ui::TextBox txtErrorNumber, txtErrorSource, txtErrorDescription;
    ui::CommandButton cmdOk;
    ui::CommandButton cmdHelp;            // not offered

    // Fills the dialog from an execution error: number, source, description,
    // the failing script line, the line inside the field, the field's label
    // (or the module's name) and the location kind (1 expression field,
    // 2 statement field, 3 external module, anything else unknown). A number,
    // line or script line that is not known shows "<Unknown>". Failures are
    // logged and shown; the dialog keeps what was filled.
    void InitForm(std::int32_t number, const std::string& source, const std::string& description,
                  const std::string& text, std::int32_t fieldLine, const std::string& fieldLabel,
                  std::int32_t fieldKind);

    void cmdOk_Click() { Hide(); }
};

} // namespace qz
