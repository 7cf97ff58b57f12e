// The connection editor: the name on top, the connection types in a frame on
// the left, the selected type's parameters on the right (all seven frames in
// one place, only one shown) with Test Connection under them, and Ok, Cancel
// and Help along the bottom right. Password boxes show a mark per character.
#include "datasources/forms/frmConnection.h"
#include "views/FormViews.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

using datasources::frmConnection;

namespace {

// Keeps typing, deleting and pasting out of an editable combo box's text
// while its list can still be opened and chosen from.
class NoTyping : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Tab: case Qt::Key_Backtab: case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Escape:
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_F4:
            return false;
        default:
            return !key->text().isEmpty() || key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace;
        }
    }
};

} // namespace

class frmConnectionView : public FormView {
public:
    frmConnectionView(frmConnection& f, QWidget* parent) : FormView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        auto* nameRow = new QHBoxLayout;
        QWidget* name = bind(f.txtConnectionName);
        QLabel* nameLabel = bind(f.lblCnName);
        nameLabel->setWordWrap(false);
        nameLabel->setBuddy(name);
        nameRow->addWidget(nameLabel);
        nameRow->addWidget(name, 1);
        layout->addLayout(nameRow);

        auto* body = new QHBoxLayout;
        QGroupBox* types = bind(f.Frame1);
        auto* inTypes = new QVBoxLayout(types);
        for (int i = 0; i < 9; ++i) inTypes->addWidget(bind(f.optType[i], [&f, i] { f.optType_Click(i); }));
        inTypes->addStretch();
        body->addWidget(types);

        auto* right = new QVBoxLayout;
        auto* stack = new QGridLayout;  // every frame in the same cell
        stack->addWidget(frame(0, {row(f.lblAccessFile), fileRow(f.txtAccessFile, f.cmdAccessBrowse,
                                                                  [&f] { f.cmdAccessBrowse_Click(); })}), 0, 0);
        QComboBox* version = bind(f.cboExcelVersion);
        stack->addWidget(frame(1, {row(f.lblExcelFile),
                                   fileRow(f.txtExcelFile, f.cmdExcelBrowse, [&f] { f.cmdExcelBrowse_Click(); }),
                                   row(f.lblExcelVersion), version}),
                         0, 0);
        auto* sqlLogin = new QGridLayout;
        sqlLogin->addWidget(bind(f.optUseNTSecurity, [&f] { f.optUseNTSecurity_Click(); }), 0, 0, 1, 2);
        sqlLogin->addWidget(bind(f.optUseSpecificUser, [&f] { f.optUseSpecificUser_Click(); }), 1, 0, 1, 2);
        login(sqlLogin, 2, f.lblSQLServerUserName, f.txtSQLServerUserName, f.lblSQLServerPassword,
              f.txtSQLServerPassword);
        sqlLogin->addWidget(bind(f.chkSQLServerBlankPassword, [&f] { f.chkSQLServerBlankPassword_Click(); }), 4, 1);
        sqlLogin->addWidget(
            bind(f.chkSQLServerAllowSavingPassword, [&f] { f.chkSQLServerAllowSavingPassword_Click(); }), 5, 1);
        stack->addWidget(frame(2, {row(f.lblSQLServer), row(f.lblServerName), bind(f.txtServerName), row(f.lblLogOn),
                                   holder(sqlLogin), row(f.lblDbName), bind(f.txtDbName)}),
                         0, 0);
        auto* oraLogin = new QGridLayout;
        login(oraLogin, 0, f.lblOracleUserName, f.txtOracleUserName, f.lblOraclePassword, f.txtOraclePassword);
        oraLogin->addWidget(bind(f.chkOracleBlankPassword, [&f] { f.chkOracleBlankPassword_Click(); }), 2, 1);
        oraLogin->addWidget(bind(f.chkOracleSavingPassword, [&f] { f.chkOracleSavingPassword_Click(); }), 3, 1);
        stack->addWidget(frame(3, {row(f.lblOracle), row(f.lblOracleDataSource), bind(f.txtOracleDataSource),
                                   row(f.lblOracleLogOn), holder(oraLogin)}),
                         0, 0);
        stack->addWidget(frame(4, {row(f.lblTextFileName),
                                   fileRow(f.txtTextFileName, f.cmdBrowseTextFile, [&f] { f.cmdBrowseTextFile_Click(); }),
                                   bind(f.chkColumnHeader)}),
                         0, 0);
        QGroupBox* auth = bind(f.fraODBCAuthentification);
        auto* inAuth = new QGridLayout(auth);
        login(inAuth, 0, f.lblODBCUserName, f.txtODBCUsername, f.lblODBCPassword, f.txtODBCPassword);
        inAuth->addWidget(bind(f.chkODBCBlankPwd, [&f] { f.chkODBCBlankPwd_Click(); }), 2, 1);
        inAuth->addWidget(bind(f.chkODBCSavingPwd, [&f] { f.chkODBCSavingPwd_Click(); }), 3, 1);
        auto* odbcRow = new QHBoxLayout;
        QComboBox* odbc = bind(f.cboODBC);
        // Editable only to show a stored name this machine does not know.
        odbc->setEditable(true);
        odbc->lineEdit()->installEventFilter(new NoTyping(odbc));
        odbc->lineEdit()->setContextMenuPolicy(Qt::NoContextMenu);
        odbcRow->addWidget(odbc, 1);
        odbcRow->addWidget(bind(f.cmdNewODBC, [&f] { f.cmdNewODBC_Click(); }));
        stack->addWidget(frame(5, {row(f.lblODBC), holder(odbcRow), auth}), 0, 0);
        stack->addWidget(frame(6, {row(f.lblOLEDB), fileRow(f.txtOLEDBString, f.cmdBuildOLEDB,
                                                             [&f] { f.cmdBuildOLEDB_Click(); })}),
                         0, 0);
        right->addLayout(stack, 1);
        auto* testRow = new QHBoxLayout;
        testRow->addStretch();
        testRow->addWidget(bind(f.cmdTestConnection, [&f] { f.cmdTestConnection_Click(); }));
        right->addLayout(testRow);
        body->addLayout(right, 1);
        layout->addLayout(body, 1);

        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(bind(f.cmdOK, [&f] { f.cmdOK_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        buttons->addWidget(bind(f.cmdHelp, [&f] { f.cmdHelp_Click(); }));
        layout->addLayout(buttons);
        for (ui::TextBox* p : {&f.txtSQLServerPassword, &f.txtOraclePassword, &f.txtODBCPassword})
            static_cast<QLineEdit*>(widgetOf(*p))->setEchoMode(QLineEdit::Password);
        resize(640, 440);
    }

private:
    QWidget* row(ui::Label& l) {
        QLabel* w = bind(l);
        w->setWordWrap(true);
        return w;
    }
    QWidget* holder(QLayout* inner) {
        auto* w = new QWidget(this);
        inner->setContentsMargins(0, 0, 0, 0);
        w->setLayout(inner);
        return w;
    }
    QWidget* fileRow(ui::TextBox& box, ui::CommandButton& button, Handler click) {
        auto* r = new QHBoxLayout;
        r->addWidget(bind(box), 1);
        r->addWidget(bind(button, std::move(click)));
        return holder(r);
    }
    void login(QGridLayout* g, int top, ui::Label& userLabel, ui::TextBox& user, ui::Label& passwordLabel,
               ui::TextBox& password) {
        g->addWidget(bind(userLabel), top, 0);
        g->addWidget(bind(user), top, 1);
        g->addWidget(bind(passwordLabel), top + 1, 0);
        g->addWidget(bind(password), top + 1, 1);
    }
    QGroupBox* frame(int index, std::initializer_list<QWidget*> children) {
        QGroupBox* g = bind(static_cast<frmConnection&>(form()).fraParameters[index]);
        auto* in = new QVBoxLayout(g);
        for (QWidget* c : children) in->addWidget(c);
        in->addStretch();
        return g;
    }
};

FormView* newView(frmConnection& form, QWidget* parent) { return new frmConnectionView(form, parent); }

} // namespace qz::views
