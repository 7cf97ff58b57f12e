// The saved-recordset command editor: the name on top, the file with Browse
// and Open in a frame, the preview grid taking the room left, and Ok, Cancel
// and Help in a row at the bottom right.
#include "datasources/forms/frmCommandXML.h"
#include "views/FormViews.h"

#include <QGroupBox>
#include <QLabel>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

using datasources::frmCommandXML;

class frmCommandXMLView : public FormView {
public:
    frmCommandXMLView(frmCommandXML& f, QWidget* parent) : FormView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        auto* name = new QHBoxLayout;
        name->addWidget(bind(f.lblCommandName));
        name->addWidget(bind(f.txtCommandName), 1);
        layout->addLayout(name);
        QGroupBox* xml = bind(f.fraXML);
        auto* inXml = new QHBoxLayout(xml);
        inXml->addWidget(bind(f.lblFilename));
        inXml->addWidget(bind(f.txtFilename), 1);
        inXml->addWidget(bind(f.cmdBrowse, [&f] { f.cmdBrowse_Click(); }));
        inXml->addWidget(bind(f.cmdOpen, [&f] { f.cmdOpen_Click(); }));
        layout->addWidget(xml);
        layout->addWidget(bind(f.lblADORecordset));
        layout->addWidget(bind(f.msfgCommand), 1);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        buttons->addWidget(bind(f.cmdHelp, [&f] { f.cmdHelp_Click(); }));
        layout->addLayout(buttons);
        setMinimumSize(360, 260);
        resize(520, 380);
    }
};

FormView* newView(frmCommandXML& form, QWidget* parent) { return new frmCommandXMLView(form, parent); }

} // namespace qz::views
