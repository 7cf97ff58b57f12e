// The default-format window: the tab strip over the frame of the selected tab
// (the form shows one frame at a time), each frame a column of its options,
// OK, Cancel and Help below.
#include "designer/forms/frmTemplateDefaultFormat.h"
#include "views/FormViews.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmTemplateDefaultFormatView : public FormView {
public:
    frmTemplateDefaultFormatView(designer::frmTemplateDefaultFormat& f, QWidget* parent) : FormView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(bind(f.tabstripFormat, [&f] { f.tabstripFormat_Click(); }));

        editors::FormatPanel::DateTimeFrame& d = f.Format.DateTime;
        QGroupBox* date = bind(d.fra);
        auto* inDate = new QGridLayout(date);
        inDate->addWidget(bind(d.chkOverride, [&f] { f.chkOverrideDateTimeSystemFormat_Click(); }), 0, 0, 1, 2);
        for (int i = 1; i <= 4; ++i)
            inDate->addWidget(bind(d.optDateTime[i], [&f, i] { f.optDateTime_Click(i); }), i, 0, 1, 2);
        inDate->addWidget(bind(f.lblUseBlank), 5, 0);
        inDate->addWidget(bind(d.chkBlankProtect), 5, 1);
        inDate->setRowStretch(6, 1);
        layout->addWidget(date);

        editors::FormatPanel::StringFrame& s = f.Format.String;
        QGroupBox* string = bind(s.fra);
        auto* inString = new QGridLayout(string);
        inString->addWidget(bind(s.chkOverride, [&f] { f.chkOverrideStringSystemFormat_Click(); }), 0, 0, 1, 2);
        inString->addWidget(bind(s.lblMaxLength), 1, 0);
        inString->addWidget(bind(s.txtMaxLength), 1, 1);
        inString->addWidget(bind(s.chkBlankProtect), 2, 0, 1, 2);
        inString->setRowStretch(3, 1);
        layout->addWidget(string);

        for (int k = 0; k < 3; ++k) {
            editors::FormatPanel::NumberFrame& n = f.Format.Number(k);
            QGroupBox* number = bind(n.fra);
            auto* grid = new QGridLayout(number);
            grid->addWidget(bind(n.chkOverride, [&f, k] { f.chkOverrideNumberSystemFormat_Click(k); }), 0, 0, 1, 2);
            grid->addWidget(bind(n.lblNumberOfDigits), 1, 0);
            grid->addWidget(bind(n.cboNumberOfDigits), 1, 1);
            grid->addWidget(bind(n.lblIncludeLeading), 2, 0);
            grid->addWidget(bind(n.cboIncludeLeading), 2, 1);
            grid->addWidget(bind(n.lblUseParens), 3, 0);
            grid->addWidget(bind(n.cboUseParens), 3, 1);
            grid->addWidget(bind(n.lblGroupDigits), 4, 0);
            grid->addWidget(bind(n.cboGroupDigits), 4, 1);
            grid->addWidget(bind(n.chkBlankProtect), 5, 0, 1, 2);
            grid->setRowStretch(6, 1);
            layout->addWidget(number);
        }

        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        buttons->addWidget(bind(f.cmdHelp, [&f] { f.cmdHelp_Click(); }));
        layout->addLayout(buttons);
        setMinimumWidth(380);
        // Sized with one frame shown, as the form shows them.
        push();
        resize(400, sizeHint().height());
    }
};

FormView* newView(designer::frmTemplateDefaultFormat& form, QWidget* parent) { return new frmTemplateDefaultFormatView(form, parent); }

} // namespace qz::views
