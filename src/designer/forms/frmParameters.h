// The prompt for one query parameter: the caller sets the window caption to
// the condition up to the "?" asked for; the user types the value and
// presses OK.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <vector>

namespace qz::designer {

class frmParameters : public ui::Form {
public:
    frmParameters();

    ui::Label lblValue;         // "Value:", top left
    ui::TextBox txtParameter;   // the value, empty when the prompt opens
    ui::CommandButton cmdOk;    // "&OK", under the box on the right

    std::vector<ui::Control*> Controls() override { return {&lblValue, &txtParameter, &cmdOk}; }

    // OK only hides the prompt; the caller reads the value and unloads it.
    void cmdOk_Click() { Hide(); }
};

} // namespace qz::designer
