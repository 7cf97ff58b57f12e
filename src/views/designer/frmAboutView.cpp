// The about box: title and version at the top, the description, a line, then
// the notice on the left and OK over System Info on the right.
#include "designer/forms/frmAbout.h"
#include "views/host/Screenshots.h"
#include "views/host/ViewRegistry.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmAboutView : public FormView {
public:
    frmAboutView(designer::frmAbout& f, QWidget* parent) : FormView(f, parent) {
        QLabel* title = bind(f.lblTitle);
        QFont big = title->font();
        big.setPointSizeF(big.pointSizeF() * 1.5);
        big.setBold(true);
        title->setFont(big);
        auto* version = new QHBoxLayout;
        version->addWidget(bind(f.lblCaptionVersion));
        version->addWidget(bind(f.lblVersion), 1);
        QLabel* description = bind(f.lblDescription);
        description->setWordWrap(true);
        QLabel* disclaimer = bind(f.lblDisclaimer);
        disclaimer->setWordWrap(true);
        auto* line = new QFrame;
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);

        auto* buttons = new QVBoxLayout;
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        buttons->addWidget(bind(f.cmdSysInfo, [&f] { f.cmdSysInfo_Click(); }));
        buttons->addStretch();
        auto* bottom = new QHBoxLayout;
        bottom->addWidget(disclaimer, 1);
        bottom->addLayout(buttons);

        auto* layout = new QVBoxLayout(this);
        layout->addWidget(title);
        layout->addLayout(version);
        layout->addWidget(description);
        layout->addWidget(line);
        layout->addLayout(bottom);
        resize(420, 260);
    }
};

QZ_REGISTER_VIEW("frmAbout", designer::frmAbout, frmAboutView)

QZ_REGISTER_SAMPLE("frmAbout", [] {
    auto f = std::make_unique<designer::frmAbout>();
    f->Initialize();
    return f;
})

} // namespace qz::views
