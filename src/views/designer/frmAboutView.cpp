// The about box: the logo beside the title and version, a line, the
// description, a line, the notice, a line, then System Info and OK.
#include "designer/forms/frmAbout.h"
#include "views/FormViews.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmAboutView : public FormView {
public:
    frmAboutView(designer::frmAbout& f, QWidget* parent) : FormView(f, parent) {
        auto* logo = new QLabel;
        logo->setObjectName("picIcon");
        logo->setPixmap(QPixmap(":/quorvane-studio.png").scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        logo->setFixedSize(64, 64);
        QLabel* title = bind(f.lblTitle);
        QFont big = title->font();
        big.setPointSizeF(big.pointSizeF() * 1.5);
        big.setBold(true);
        title->setFont(big);
        auto* version = new QHBoxLayout;
        version->addWidget(bind(f.lblCaptionVersion));
        version->addWidget(bind(f.lblVersion), 1);
        auto* heading = new QVBoxLayout;
        heading->addWidget(title);
        heading->addLayout(version);
        auto* top = new QHBoxLayout;
        top->addWidget(logo);
        top->addSpacing(8);
        top->addLayout(heading, 1);

        QLabel* description = bind(f.lblDescription);
        description->setWordWrap(true);
        QLabel* disclaimer = bind(f.lblDisclaimer);
        disclaimer->setWordWrap(true);
        auto line = [](const char* name) {
            auto* l = new QFrame;
            l->setObjectName(name);
            l->setFrameShape(QFrame::HLine);
            l->setFrameShadow(QFrame::Sunken);
            return l;
        };

        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdSysInfo, [&f] { f.cmdSysInfo_Click(); }));
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));

        auto* layout = new QVBoxLayout(this);
        layout->addLayout(top);
        layout->addWidget(line("Line1"));
        layout->addWidget(description);
        layout->addWidget(line("Line2"));
        layout->addWidget(disclaimer);
        layout->addStretch();
        layout->addWidget(line("Line3"));
        layout->addLayout(buttons);
        resize(440, 240);
    }
};

FormView* newView(designer::frmAbout& form, QWidget* parent) { return new frmAboutView(form, parent); }

} // namespace qz::views
