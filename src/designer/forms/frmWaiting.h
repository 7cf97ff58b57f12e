// The waiting window: one line of text shown without blocking while a long
// operation runs, with the busy pointer while it is loaded. The designer
// shows, refreshes and unloads it (Designer::ShowWaitingDialog and friends).
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <vector>

namespace qz::designer {

class frmWaiting : public ui::Form {
public:
    frmWaiting();
    ~frmWaiting() override;  // unloads, so the busy pointer never outlives the window

    ui::Label lblWaiting;  // the message

    // Shows the current texts again (the window is not redrawn on its own
    // while the caller works).
    void Refresh();

protected:
    void OnLoad() override;    // busy pointer on
    void OnUnload() override;  // and off
};

} // namespace qz::designer
