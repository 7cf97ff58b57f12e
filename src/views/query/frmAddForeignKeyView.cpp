// The relationship dialog: "Table ... is related to table ..." on one line,
// the frame of six rows (base column, "equals", related column) below it, and
// Ok, Cancel and Help in a row at the bottom right.
#include "query/forms/frmAddForeignKey.h"
#include "views/FormViews.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

using query::frmAddForeignKey;

class frmAddForeignKeyView : public FormView {
public:
    frmAddForeignKeyView(frmAddForeignKey& f, QWidget* parent) : FormView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        auto* top = new QHBoxLayout;
        top->addWidget(bind(f.Label1));
        top->addWidget(bind(f.cboBaseTable, [&f] { f.cboBaseTable_Click(); }), 1);
        top->addWidget(bind(f.Label2));
        top->addWidget(bind(f.cboRelatedTable, [&f] { f.cboRelatedTable_Click(); }), 1);
        layout->addLayout(top);
        QGroupBox* frame = bind(f.Frame1);
        auto* grid = new QGridLayout(frame);
        for (int i = 0; i < 6; ++i) {
            grid->addWidget(bind(f.cboBaseColumn[i], [&f, i] { f.cboBaseColumn_Click(i); }), i, 0);
            grid->addWidget(bind(f.Label3[i]), i, 1);
            grid->addWidget(bind(f.cboRelatedColumn[i], [&f, i] { f.cboRelatedColumn_Click(i); }), i, 2);
        }
        grid->setColumnStretch(0, 1);
        grid->setColumnStretch(2, 1);
        layout->addWidget(frame, 1);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        buttons->addWidget(bind(f.cmdHelp, [&f] { f.cmdHelp_Click(); }));
        layout->addLayout(buttons);
        resize(474, 258);  // 7110 x 3870 twips
    }
};

FormView* newView(frmAddForeignKey& form, QWidget* parent) { return new frmAddForeignKeyView(form, parent); }

} // namespace qz::views
