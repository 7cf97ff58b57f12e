// The find-and-replace dialog: the search and replace boxes with their
// labels, the check boxes and the scope frame below them, the buttons in a
// column at the right.
#include "editors/forms/frmFindReplace.h"
#include "views/FormViews.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

namespace qz::views {

class frmFindReplaceView : public FormView {
public:
    frmFindReplaceView(editors::frmFindReplace& f, QWidget* parent) : FormView(f, parent) {
        auto* layout = new QHBoxLayout(this);
        auto* left = new QVBoxLayout;
        auto* boxes = new QGridLayout;
        ui::ComboBox* combos[3] = {&f.cboSearch, &f.cboReplace, &f.cboDir};
        for (int i = 0; i < 3; ++i) {
            QLabel* label = bind(f.Label1[i]);
            label->setWordWrap(false); // a label of a box, on one line
            QComboBox* box = i == 0 ? bind(f.cboSearch, [&f] { f.cboSearch_Change(); }) : bind(*combos[i]);
            label->setBuddy(box);
            boxes->addWidget(label, i, 0);
            boxes->addWidget(box, i, 1);
        }
        boxes->setColumnStretch(1, 1);
        left->addLayout(boxes);
        auto* lower = new QHBoxLayout;
        QGroupBox* scope = bind(f.Frame1);
        auto* inScope = new QVBoxLayout(scope);
        inScope->addWidget(bind(f.optSearch[0], [&f] { f.optSearch_Click(0); }));
        inScope->addWidget(bind(f.optSearch[1], [&f] { f.optSearch_Click(1); }));
        lower->addWidget(scope);
        auto* checks = new QVBoxLayout;
        checks->addWidget(bind(f.chkMatchCase, [&f] { f.chkMatchCase_Click(); }));
        checks->addWidget(bind(f.chkCountOnly, [&f] { f.chkCountOnly_Click(); }));
        checks->addWidget(bind(f.chkFindWhole));
        checks->addStretch();
        lower->addLayout(checks, 1);
        left->addLayout(lower);
        left->addStretch();
        layout->addLayout(left, 1);
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(bind(f.cmdFind, ShowingInOwner([&f] { f.cmdFind_Click(); })));
        buttons->addWidget(bind(f.cmdCancel, [&f] { f.cmdCancel_Click(); }));
        buttons->addWidget(bind(f.cmdReplace[0], ShowingInOwner([&f] { f.cmdReplace_Click(0); })));
        buttons->addWidget(bind(f.cmdReplace[1], ShowingInOwner([&f] { f.cmdReplace_Click(1); })));
        buttons->addStretch();
        layout->addLayout(buttons);
        // The search box reacts to every letter typed.
        if (auto* search = findChild<QComboBox*>("cboSearch"))
            connect(search, &QComboBox::editTextChanged, this, [this, &f] { run([&f] { f.cboSearch_Change(); }); });
        resize(460, 190);
    }

private:
    // The code box belongs to the window under this one: what a button found
    // or replaced shows there at once.
    Handler ShowingInOwner(Handler h) {
        return [this, h] {
            h();
            for (QWidget* w = parentWidget(); w; w = w->parentWidget())
                if (auto* owner = qobject_cast<FormView*>(w)) {
                    owner->push();
                    break;
                }
        };
    }
};

FormView* newView(editors::frmFindReplace& form, QWidget* parent) { return new frmFindReplaceView(form, parent); }

} // namespace qz::views
