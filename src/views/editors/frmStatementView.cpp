// The statement editor: the label above, the data tree and the code box side
// by side (about 28 to 72), the buttons in a column at the right, the status
// bar below.
#include "editors/forms/frmStatement.h"
#include "views/editors/FieldEditorViews.h"
#include "views/FormViews.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmStatementView : public FormView {
public:
    frmStatementView(editors::frmStatement& f, QWidget* parent) : FormView(f, parent), f_(f) {
        auto* layout = new QVBoxLayout(this);
        auto* top = new QHBoxLayout;
        QLabel* label = bind(f.lblLabel);
        QWidget* labelBox = bind(f.txtLabel, [&f] { f.txtLabel_Change(); });
        label->setBuddy(labelBox);
        top->addWidget(label);
        top->addWidget(labelBox, 1);
        layout->addLayout(top);

        auto* body = new QHBoxLayout;
        auto* split = new QSplitter(Qt::Horizontal, this);
        auto* left = new QWidget(split);
        auto* inLeft = new QVBoxLayout(left);
        inLeft->setContentsMargins(0, 0, 0, 0);
        QLabel* data = bind(f.Label3);
        QTreeView* tree = bind(f.trvDataList, [&f] { f.trvDataList_NodeClick(); }, [&f] { f.trvDataList_DblClick(); });
        data->setBuddy(tree);
        inLeft->addWidget(data);
        inLeft->addWidget(tree);
        auto* right = new QWidget(split);
        auto* inRight = new QVBoxLayout(right);
        inRight->setContentsMargins(0, 0, 0, 0);
        QLabel* codeLabel = bind(f.lblCode);
        QWidget* code = bind(f.txtValue, [&f] { f.txtValue_Change(); });
        codeLabel->setBuddy(code);
        inRight->addWidget(codeLabel);
        code->setFont(QFont("Liberation Mono"));
        inRight->addWidget(code);
        split->addWidget(left);
        split->addWidget(right);
        split->setStretchFactor(0, 28);
        split->setStretchFactor(1, 72);
        body->addWidget(split, 1);
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(bind(f.cmdOk, [&f] { f.cmdOk_Click(); }));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        buttons->addWidget(bind(f.cmdFind, [this, &f] {
            f.cmdFind_Click();
            FocusActiveControl(*this);  // where the activation after Find put it
        }));
        buttons->addWidget(bind(f.cmdPrint, [&f] { f.cmdPrint_Click(); }));
        buttons->addWidget(bind(f.cmdHelp, [&f] { f.cmdHelp_Click(); }));
        buttons->addStretch();
        body->addLayout(buttons);
        layout->addLayout(body, 1);
        layout->addWidget(bind(f.StatusBar1));
        OnCaretMoved(*this, code, [&f] { f.txtValue_CaretMoved(); });
        resize(720, 440);
        setMinimumSize(480, 240);
        split->setSizes({200, 520});
    }

protected:
    void showEvent(QShowEvent* event) override {
        FormView::showEvent(event);
        run([this] { f_.Form_Activate(); });
        FocusActiveControl(*this);
    }

private:
    editors::frmStatement& f_;
};

FormView* newView(editors::frmStatement& form, QWidget* parent) { return new frmStatementView(form, parent); }

} // namespace qz::views
