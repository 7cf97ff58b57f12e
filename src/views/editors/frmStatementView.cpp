// The statement editor: the label above, the data tree and the code box side
// by side (about 28 to 72), the buttons in a column at the right, the status
// bar below.
#include "editors/forms/frmStatement.h"
#include "views/editors/FieldEditorViews.h"
#include "views/FormViews.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace qz::views {

class frmStatementView : public FieldEditorView<FormView> {
public:
    frmStatementView(editors::frmStatement& f, QWidget* parent) : FieldEditorView(f, parent) {
        auto* layout = new QVBoxLayout(this);
        auto* top = new QHBoxLayout;
        QLabel* label = bind(f.lblLabel);
        QWidget* labelBox = bindLabelBox();
        label->setBuddy(labelBox);
        top->addWidget(label);
        top->addWidget(labelBox, 1);
        layout->addLayout(top);

        auto* body = new QHBoxLayout;
        QWidget *left = nullptr, *right = nullptr;
        QSplitter* split = dataBesideCode(left, right);
        auto* inLeft = new QVBoxLayout(left);
        inLeft->setContentsMargins(0, 0, 0, 0);
        QLabel* data = bind(f.Label3);
        QTreeView* tree = bind(f.trvDataList, [&f] { f.trvDataList_NodeClick(); }, [&f] { f.trvDataList_DblClick(); });
        data->setBuddy(tree);
        inLeft->addWidget(data);
        inLeft->addWidget(tree);
        auto* inRight = new QVBoxLayout(right);
        inRight->setContentsMargins(0, 0, 0, 0);
        QLabel* codeLabel = bind(f.lblCode);
        QWidget* code = bindCodeBox();
        codeLabel->setBuddy(code);
        inRight->addWidget(codeLabel);
        inRight->addWidget(code);
        body->addWidget(split, 1);
        body->addLayout(buttonColumn(f.cmdFind, [this, &f] {
            f.cmdFind_Click();
            FocusActiveControl(*this);  // where the activation after Find put it
        }));
        layout->addLayout(body, 1);
        layout->addWidget(bind(f.StatusBar1));
        resize(720, 440);
        setMinimumSize(480, 240);
        split->setSizes({200, 520});
    }
};

FormView* newView(editors::frmStatement& form, QWidget* parent) { return new frmStatementView(form, parent); }

} // namespace qz::views
