// The frames of a format panel as both of its windows lay them out: the
// override box across the top, each caption beside its box, the blank-protect
// box below them.
#pragma once

#include "editors/forms/FormatPanel.h"
#include "views/host/FormView.h"

class QGroupBox;

namespace qz::views {

class FormatPanelView : public FormView {
public:
    using FormView::FormView;

protected:
    // Each binds a frame's controls; the override box's click runs `toggle`.
    QGroupBox* bindStringFrame(editors::FormatPanel::StringFrame& s, Handler toggle);
    QGroupBox* bindNumberFrame(editors::FormatPanel::NumberFrame& n, Handler toggle);
};

} // namespace qz::views
