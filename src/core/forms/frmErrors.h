// The error dialog: one message in a frame, and an OK button.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <string>

namespace qz {

class frmErrors : public ui::Form {
public:
    frmErrors();

    ui::Frame fraMain;
    ui::TextBox txtError;
    ui::CommandButton cmdOk;
    ui::CommandButton cmdHelp;

    // Fills the dialog: a non-empty caption replaces the window caption, a
    // non-empty frame caption is put on the frame.
    void InitForm(const std::string& message, const std::string& caption,
                  const std::string& frameCaption);

    void cmdOk_Click() { Hide(); }
};

} // namespace qz
