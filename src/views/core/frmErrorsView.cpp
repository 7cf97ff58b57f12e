// The error dialog: the message in a framed, read-only box, OK below it on the
// right.
#include "core/forms/frmErrors.h"
#include "views/FormViews.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmErrorsView : public FormView {
public:
    frmErrorsView(frmErrors& f, QWidget* parent) : FormView(f, parent) {
        QGroupBox* frame = bind(f.fraMain);
        auto* inFrame = new QVBoxLayout(frame);
        inFrame->addWidget(bind(f.txtError));
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdHelp, {}));
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(frame);
        layout->addLayout(buttons);
        resize(420, 220);
    }
};

FormView* newView(frmErrors& form, QWidget* parent) { return new frmErrorsView(form, parent); }

} // namespace qz::views
