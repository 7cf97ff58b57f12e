// The template-properties window: the template's file in a frame with Save
// As beside its path, the QZC file in a frame, the locale with Formats...,
// revision tracking with its keep list and folder, OK, Cancel and Help below.
#include "designer/forms/frmQzProperties.h"
#include "views/FormViews.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmQzPropertiesView : public FormView {
public:
    frmQzPropertiesView(designer::frmQzProperties& f, QWidget* parent) : FormView(f, parent) {
        auto paragraph = [this](ui::Label& l) {
            QLabel* w = bind(l);
            w->setWordWrap(true);
            return w;
        };
        auto* layout = new QVBoxLayout(this);

        QGroupBox* qzt = bind(f.fraQZT);
        auto* inQzt = new QVBoxLayout(qzt);
        inQzt->addWidget(paragraph(f.lblFirstParagraph));
        auto* file = new QHBoxLayout;
        file->addWidget(bindElided(f.lblQZTFileName, Qt::ElideMiddle), 1);
        file->addWidget(bind(f.cmdSaveAs, [&f] { f.cmdSaveAs_Click(); }));
        inQzt->addLayout(file);
        layout->addWidget(qzt);

        QGroupBox* qzc = bind(f.fraQZC);
        auto* inQzc = new QVBoxLayout(qzc);
        inQzc->addWidget(paragraph(f.lblSecondParagraph));
        inQzc->addWidget(bindElided(f.lblQZCFileName, Qt::ElideMiddle));
        layout->addWidget(qzc);

        QGroupBox* locale = bind(f.fraTemplateLocale);
        auto* inLocale = new QVBoxLayout(locale);
        inLocale->addWidget(paragraph(f.lblDescLocale));
        auto* localeRow = new QHBoxLayout;
        localeRow->addWidget(bind(f.cboLocale), 1);
        localeRow->addWidget(bind(f.cmdFormat, [&f] { f.cmdFormat_Click(); }));
        inLocale->addLayout(localeRow);
        layout->addWidget(locale);

        QGroupBox* revision = bind(f.fraRevision);
        auto* inRevision = new QHBoxLayout(revision);
        inRevision->addWidget(bind(f.lblRevisionKeep));
        QComboBox* keep = bind(f.cboRevision, [&f] { f.cboRevision_Click(); });
        keep->setMinimumContentsLength(5);
        inRevision->addWidget(keep);
        inRevision->addSpacing(12);
        inRevision->addWidget(bind(f.lblRevisionFolder));
        inRevision->addWidget(bindElided(f.txtRevisionPath, Qt::ElideMiddle), 1);
        layout->addWidget(revision);

        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        buttons->addWidget(bind(f.cmdHelp, [&f] { f.cmdHelp_Click(); }));
        layout->addLayout(buttons);
        setMinimumWidth(480);
        // Sized with the texts in place, so that the wrapped paragraphs fit.
        push();
        resize(520, layout->hasHeightForWidth() ? layout->heightForWidth(520) : sizeHint().height());
    }
};

FormView* newView(designer::frmQzProperties& form, QWidget* parent) { return new frmQzPropertiesView(form, parent); }

} // namespace qz::views
