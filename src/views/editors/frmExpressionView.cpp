// The expression editor: the data tree down the left (about 28 % of the width
// left of the buttons), the label and the code box beside it, under them the
// format and locale row and the frame of the chosen format kind, the buttons
// in a column at the right, the status bar below.
#include "editors/forms/frmExpression.h"
#include "views/editors/FieldEditorViews.h"
#include "views/FormViews.h"
#include "views/editors/FormatPanelView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QFont>
#include <QGridLayout>
#include <QLineEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmExpressionView : public FieldEditorView<FormatPanelView> {
public:
    frmExpressionView(editors::frmExpression& f, QWidget* parent) : FieldEditorView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        auto* body = new QHBoxLayout;
        QWidget *left = nullptr, *right = nullptr;
        QSplitter* split = dataBesideCode(left, right);

        auto* inLeft = new QVBoxLayout(left);
        inLeft->setContentsMargins(0, 0, 0, 0);
        inLeft->addWidget(Buddy(bind(f.lblData), bind(f.tvList, [&f] { f.tvList_NodeClick(); }, [&f] { f.tvList_DblClick(); })));
        inLeft->addWidget(widgetOf(f.tvList));

        auto* inRight = new QVBoxLayout(right);
        inRight->setContentsMargins(0, 0, 0, 0);
        auto* labelRow = new QHBoxLayout;
        labelRow->addWidget(Buddy(bind(f.lblLabel), bindLabelBox()));
        labelRow->addWidget(widgetOf(f.txtLabel), 1);
        inRight->addLayout(labelRow);
        QWidget* code = bindCodeBox();
        inRight->addWidget(Buddy(bind(f.lblCode), code));
        inRight->addWidget(code, 1);
        auto* formatRow = new QHBoxLayout;
        formatRow->addWidget(Buddy(bind(f.lblFormat), bind(f.cboFormat, [&f] { f.cboFormat_Click(); })));
        formatRow->addWidget(widgetOf(f.cboFormat), 1);
        formatRow->addWidget(Buddy(bind(f.lblLocale), bind(f.cboLocale, [&f] { f.cboLocale_Click(); })));
        formatRow->addWidget(widgetOf(f.cboLocale), 1);
        inRight->addLayout(formatRow);
        inRight->addWidget(bindStringFrame(f.Format.String, [&f] { f.chkOverrideStringFormat_Click(); }));
        inRight->addWidget(DateTimeFrame(f));
        inRight->addWidget(bindNumberFrame(f.Format.Number(0), [&f] { f.chkOverrideNumberFormat_Click(); }));
        body->addWidget(split, 1);
        body->addLayout(buttonColumn(f.cmdLinkPicture, [&f] { f.cmdLinkPicture_Click(); }));
        layout->addLayout(body, 1);
        layout->addWidget(bind(f.StatusBar1));
        setMinimumSize(640, 420);
        resize(760, 520);
        split->setSizes({200, 520});
    }

private:
    // A caption that gives its accelerator key to a box.
    static QLabel* Buddy(QLabel* label, QWidget* box) {
        label->setBuddy(box);
        return label;
    }
    QGroupBox* DateTimeFrame(editors::frmExpression& f) {
        editors::FormatPanel::DateTimeFrame& d = f.Format.DateTime;
        QGroupBox* g = bind(d.fra);
        auto* grid = new QGridLayout(g);
        grid->addWidget(bind(d.chkOverride, [&f] { f.chkOverrideDateTimeFormat_Click(); }), 0, 0, 1, 2);
        // Short Date and Long Date, then Short Time and Long Time.
        const int row[kQzNamedDateFormats + 1] = {0, 1, 1, 2, 2};
        const int column[kQzNamedDateFormats + 1] = {0, 1, 0, 1, 0};
        for (int i = 1; i <= kQzNamedDateFormats; ++i)
            grid->addWidget(bind(d.optDateTime[i], [&f, i] { f.optDateTime_Click(i); }), row[i], column[i]);
        grid->addWidget(bind(d.chkBlankProtect), 3, 0, 1, 2);
        grid->setRowStretch(4, 1);
        return g;
    }
};

FormView* newView(editors::frmExpression& form, QWidget* parent) { return new frmExpressionView(form, parent); }

} // namespace qz::views
