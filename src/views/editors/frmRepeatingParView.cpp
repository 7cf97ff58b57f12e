// The repeating-paragraph picker: the list of commands under its label, OK,
// Cancel and Help in a row below.
#include "editors/forms/frmRepeatingPar.h"
#include "views/editors/FieldEditorViews.h"
#include "views/FormViews.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmRepeatingParView : public FormView {
public:
    frmRepeatingParView(editors::frmRepeatingPar& f, QWidget* parent) : FormView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(bind(f.lblQueries));
        layout->addWidget(bindList(f.lstQueries, [&f] { f.lstQueries_Click(); }, [&f] { f.lstQueries_DblClick(); }), 1);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        buttons->addWidget(bind(f.cmdHelp, [&f] { f.cmdHelp_Click(); }));
        layout->addLayout(buttons);
        setFixedSize(260, 230);
    }
};

FormView* newView(editors::frmRepeatingPar& form, QWidget* parent) { return new frmRepeatingParView(form, parent); }

} // namespace qz::views
