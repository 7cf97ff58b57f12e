// The saved-recordset command editor: the name on top, the file with Browse
// and Open in a frame, the preview grid taking the room left, and Ok, Cancel
// and Help in a row at the bottom right.
#include "datasources/forms/frmCommandXML.h"
#include "views/host/Screenshots.h"
#include "views/host/ViewRegistry.h"

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

QZ_REGISTER_VIEW("frmCommandXML", frmCommandXML, frmCommandXMLView)

QZ_REGISTER_SAMPLE("frmCommandXML", [] {
    auto f = std::make_unique<frmCommandXML>();
    auto cn = std::make_shared<QZCConnection>();
    cn->Name = "Saved";
    auto cmd = std::make_shared<QZCCommand>();
    cmd->Name = "Lines";
    cmd->Text = "data/Lines.xml";
    f->QzCnCommand(cn);
    f->QzCommand(cmd);
    f->Initialize();
    ui::GridTable& t = f->msfgCommand.Data;
    t.Columns = {"LineNo", "Description", "Quantity", "UnitPrice"};
    t.Rows = {{{"1", "Consulting, March", "12", "95.00"}, {}},
              {{"2", "Travel expenses", "1", "240.50"}, {}},
              {{"3", "Licence renewal", "3", "120.00"}, {}}};
    return f;
})

} // namespace qz::views
