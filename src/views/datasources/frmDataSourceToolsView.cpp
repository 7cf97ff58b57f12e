// The two helpers of the connection editor: the ODBC data-source wizard (the
// driver list over a form of the new source's settings) and the
// connection-string builder (provider, its settings, the string as built).
#include "datasources/forms/frmConnectionBuilder.h"
#include "datasources/forms/frmCreateDataSource.h"
#include "views/FormViews.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

using datasources::frmConnectionBuilder;
using datasources::frmCreateDataSource;

namespace {

// A label that names its field: one line, its "&" key moving to the field.
QLabel* buddy(QLabel* label, QWidget* field) {
    label->setWordWrap(false);
    label->setBuddy(field);
    return label;
}


} // namespace

class frmCreateDataSourceView : public FormView {
public:
    frmCreateDataSourceView(frmCreateDataSource& f, QWidget* parent) : FormView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        QListWidget* drivers = bindList(f.lstDrivers);
        layout->addWidget(buddy(bind(f.lblDriver), drivers));
        layout->addWidget(drivers, 1);
        auto* form = new QFormLayout;
        auto row = [this, form](ui::Label& label, QWidget* field) { form->addRow(buddy(bind(label), field), field); };
        row(f.lblName, bind(f.txtName));
        row(f.lblDescription, bind(f.txtDescription));
        auto* database = new QHBoxLayout;
        database->addWidget(bind(f.txtDatabase), 1);
        database->addWidget(bind(f.cmdBrowse, [&f] { f.cmdBrowse_Click(); }));
        form->addRow(buddy(bind(f.lblDatabase), widgetOf(f.txtDatabase)), database);
        row(f.lblServer, bind(f.txtServer));
        row(f.lblPort, bind(f.txtPort));
        row(f.lblUser, bind(f.txtUser));
        layout->addLayout(form);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdFinish, [&f] { f.cmdFinish_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        layout->addLayout(buttons);
        resize(440, 460);
    }
};

class frmConnectionBuilderView : public FormView {
public:
    frmConnectionBuilderView(frmConnectionBuilder& f, QWidget* parent) : FormView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        auto* provider = new QHBoxLayout;
        QComboBox* providers = bind(f.cboProvider, [&f] { f.cboProvider_Click(); });
        provider->addWidget(buddy(bind(f.lblProvider), providers));
        provider->addWidget(providers, 1);
        layout->addLayout(provider);
        QGroupBox* settings = bind(f.fraSettings);
        auto* form = new QFormLayout(settings);
        auto row = [this, form](ui::Label& label, QWidget* field) { form->addRow(buddy(bind(label), field), field); };
        auto change = [&f] { f.Setting_Change(); };
        auto* file = new QHBoxLayout;
        file->addWidget(bind(f.txtFile, change), 1);
        file->addWidget(bind(f.cmdBrowse, [&f] { f.cmdBrowse_Click(); }));
        form->addRow(buddy(bind(f.lblFile), widgetOf(f.txtFile)), file);
        row(f.lblDriver, bind(f.cboDriver, change));
        row(f.lblDsn, bind(f.cboDsn, change));
        row(f.lblServer, bind(f.txtServer, change));
        row(f.lblPort, bind(f.txtPort, change));
        row(f.lblDatabase, bind(f.txtDatabase, change));
        row(f.lblUser, bind(f.txtUser, change));
        QWidget* password = bind(f.txtPassword, change);
        static_cast<QLineEdit*>(password)->setEchoMode(QLineEdit::Password);
        row(f.lblPassword, password);
        row(f.lblOther, bind(f.txtOther, change));
        layout->addWidget(settings);
        layout->addWidget(bind(f.lblResult));
        QWidget* result = bind(f.txtResult);
        result->setMaximumHeight(70);
        layout->addWidget(result);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(bind(f.cmdTest, [&f] { f.cmdTest_Click(); }));
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdOK, [&f] { f.cmdOK_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        layout->addLayout(buttons);
        resize(480, 440);
    }
};

FormView* newView(frmCreateDataSource& form, QWidget* parent) { return new frmCreateDataSourceView(form, parent); }
FormView* newView(frmConnectionBuilder& form, QWidget* parent) { return new frmConnectionBuilderView(form, parent); }

} // namespace qz::views
