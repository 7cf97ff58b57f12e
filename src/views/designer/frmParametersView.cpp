// The query-parameter prompt: "Value:" at the top left, the value box across
// the window under it, OK and Cancel under the box on the right.
#include "designer/forms/frmParameters.h"
#include "views/FormViews.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmParametersView : public FormView {
public:
    frmParametersView(designer::frmParameters& f, QWidget* parent) : FormView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(bind(f.lblValue));
        layout->addWidget(bind(f.txtParameter));
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        layout->addLayout(buttons);
        layout->addStretch();
        setMinimumWidth(320);
        resize(360, sizeHint().height());
    }
};

FormView* newView(designer::frmParameters& form, QWidget* parent) { return new frmParametersView(form, parent); }

} // namespace qz::views
