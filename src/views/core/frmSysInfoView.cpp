// System information: the facts in a read-only box in a fixed-width font,
// Copy and Close below it on the right.
#include "core/ModGlobal.h"
#include "core/forms/frmSysInfo.h"
#include "views/FormViews.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmSysInfoView : public FormView {
public:
    frmSysInfoView(frmSysInfo& f, QWidget* parent) : FormView(f, parent) {
        QWidget* info = bind(f.txtInfo);
        info->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdCopy, [&f] { f.cmdCopy_Click(); }));
        buttons->addWidget(bind(f.cmdClose, [&f] { f.cmdClose_Click(); }));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(info, 1);
        layout->addLayout(buttons);
        resize(620, 420);
    }
};

FormView* newView(frmSysInfo& form, QWidget* parent) { return new frmSysInfoView(form, parent); }

} // namespace qz::views
