// The default-format window: the tab strip over the frame of the selected tab
// (the form shows one frame at a time), each frame a column of its options,
// OK, Cancel and Help below.
#include "designer/forms/frmTemplateDefaultFormat.h"
#include "views/host/ViewRegistry.h"

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

        QGroupBox* date = bind(f.fraDate);
        auto* inDate = new QGridLayout(date);
        inDate->addWidget(bind(f.chkOverrideDateTimeSystemFormat, [&f] { f.chkOverrideDateTimeSystemFormat_Click(); }),
                          0, 0, 1, 2);
        for (int i = 1; i <= 4; ++i)
            inDate->addWidget(bind(f.optDateTime[i], [&f, i] { f.optDateTime_Click(i); }), i, 0, 1, 2);
        inDate->addWidget(bind(f.lblUseBlank), 5, 0);
        inDate->addWidget(bind(f.chkDateTimeBlankProtect), 5, 1);
        inDate->setRowStretch(6, 1);
        layout->addWidget(date);

        QGroupBox* string = bind(f.fraString);
        auto* inString = new QGridLayout(string);
        inString->addWidget(bind(f.chkOverrideStringSystemFormat, [&f] { f.chkOverrideStringSystemFormat_Click(); }),
                            0, 0, 1, 2);
        inString->addWidget(bind(f.lblMaxLength), 1, 0);
        inString->addWidget(bind(f.txtMaxLength), 1, 1);
        inString->addWidget(bind(f.chkStringBlankProtect), 2, 0, 1, 2);
        inString->setRowStretch(3, 1);
        layout->addWidget(string);

        QGroupBox* numbers[3] = {bind(f.fraNumber), bind(f.fraCurrency), bind(f.fraPercent)};
        for (int k = 0; k < 3; ++k) {
            auto* grid = new QGridLayout(numbers[k]);
            grid->addWidget(bind(f.chkOverrideNumberSystemFormat[k], [&f, k] { f.chkOverrideNumberSystemFormat_Click(k); }),
                            0, 0, 1, 2);
            grid->addWidget(bind(f.lblNumberOfDigits[k]), 1, 0);
            grid->addWidget(bind(f.cboNumberOfDigits[k]), 1, 1);
            grid->addWidget(bind(f.lblIncludeLeadingDigit[k]), 2, 0);
            grid->addWidget(bind(f.cboLeadingDigit[k]), 2, 1);
            grid->addWidget(bind(f.lblUseParensForNeg[k]), 3, 0);
            grid->addWidget(bind(f.cboUseParensForNeg[k]), 3, 1);
            grid->addWidget(bind(f.lblGroupDigit[k]), 4, 0);
            grid->addWidget(bind(f.cboGroupDigits[k]), 4, 1);
            grid->addWidget(bind(f.chkNumberBlankProtect[k]), 5, 0, 1, 2);
            grid->setRowStretch(6, 1);
            layout->addWidget(numbers[k]);
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

QZ_REGISTER_VIEW("frmTemplateDefaultFormat", designer::frmTemplateDefaultFormat, frmTemplateDefaultFormatView)

} // namespace qz::views
