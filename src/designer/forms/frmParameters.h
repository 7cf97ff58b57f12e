// The prompt for one query parameter: the caller sets the window caption to
// the condition up to the "?" asked for; the user types the value and
// presses OK, or Cancel to run nothing that needs it.
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
    ui::CommandButton cmdCancel;  // "Cancel", beside OK (Escape)

    // OK and Cancel only hide the prompt; the caller reads the value, or
    // Cancelled (still true when the window was closed without OK), and
    // unloads it.
    bool Cancelled = true;
    void cmdOk_Click() {
        Cancelled = false;
        Hide();
    }
    void cmdCancel_Click() { Hide(); }
};

} // namespace qz::designer
