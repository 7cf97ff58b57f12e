// The default-format window: the tab strip over the frame of the selected tab
// (the form shows one frame at a time), each frame a column of its options,
// OK, Cancel and Help below.
#include "designer/forms/frmTemplateDefaultFormat.h"
#include "views/FormViews.h"
#include "views/editors/FormatPanelView.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <vector>

namespace qz::views {

class frmTemplateDefaultFormatView : public FormatPanelView {
public:
    frmTemplateDefaultFormatView(designer::frmTemplateDefaultFormat& f, QWidget* parent) : FormatPanelView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(bind(f.tabstripFormat, [&f] { f.tabstripFormat_Click(); }));

        // The frames share one place, as high as the highest: one shows at a
        // time, and the window keeps its size from tab to tab (two frames
        // shown for a moment during a switch must not make it taller).
        auto* frames = new QGridLayout;
        editors::FormatPanel::DateTimeFrame& d = f.Format.DateTime;
        QGroupBox* date = bind(d.fra);
        auto* inDate = new QGridLayout(date);
        inDate->addWidget(bind(d.chkOverride, [&f] { f.chkOverrideDateTimeSystemFormat_Click(); }), 0, 0, 1, 2);
        for (int i = 1; i <= kQzNamedDateFormats; ++i)
            inDate->addWidget(bind(d.optDateTime[i], [&f, i] { f.optDateTime_Click(i); }), i, 0, 1, 2);
        inDate->addWidget(bind(f.lblUseBlank), kQzNamedDateFormats + 1, 0);
        inDate->addWidget(bind(d.chkBlankProtect), kQzNamedDateFormats + 1, 1);
        inDate->setRowStretch(kQzNamedDateFormats + 2, 1);
        std::vector<QGroupBox*> all = {date, bindStringFrame(f.Format.String, [&f] { f.chkOverrideStringSystemFormat_Click(); })};
        for (int k = 0; k < 3; ++k)
            all.push_back(bindNumberFrame(f.Format.Number(k), [&f, k] { f.chkOverrideNumberSystemFormat_Click(k); }));
        for (QGroupBox* frame : all) frames->addWidget(frame, 0, 0);
        layout->addLayout(frames, 1);

        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        buttons->addWidget(bind(f.cmdHelp, [&f] { f.cmdHelp_Click(); }));
        layout->addLayout(buttons);
        setMinimumWidth(380);
        // Sized with one frame shown, as the form shows them, filled.
        push();
        int highest = 0;
        for (QGroupBox* frame : all) {
            frame->ensurePolished();
            highest = std::max(highest, frame->sizeHint().height());
        }
        frames->setRowMinimumHeight(0, highest);
        resize(400, sizeHint().height());
    }
};

FormView* newView(designer::frmTemplateDefaultFormat& form, QWidget* parent) { return new frmTemplateDefaultFormatView(form, parent); }

} // namespace qz::views
