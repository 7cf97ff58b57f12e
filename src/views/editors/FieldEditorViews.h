// Pieces the field editors' windows share: the code box's caret status, the
// window's first focus, and the view both editors' windows are made from.
#pragma once

#include "editors/forms/FieldEditorForm.h"
#include "views/host/FormView.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace qz::views {

// Runs `moved` whenever the caret of the code box moves while the author is
// in the box (typing, clicking, arrows).
inline void OnCaretMoved(FormView& view, QWidget* codeBox, Handler moved) {
    auto* edit = qobject_cast<QPlainTextEdit*>(codeBox);
    if (!edit) return;
    QObject::connect(edit, &QPlainTextEdit::cursorPositionChanged, &view, [&view, edit, moved] {
        if (edit->hasFocus()) view.run(moved);
    });
}

// Gives the keyboard focus to the widget of the form's active control.
inline void FocusActiveControl(FormView& view) {
    if (ui::Control* c = view.form().ActiveControl())
        if (QWidget* w = view.widgetOf(*c)) w->setFocus(Qt::OtherFocusReason);
}

// The window of a field editor over `Base` (a form view): each editor lays
// out its own controls and takes the shared ones from here, bound in the
// order it calls for them (which is the order the focus moves in).
template <class Base>
class FieldEditorView : public Base {
public:
    FieldEditorView(editors::FieldEditorForm& f, QWidget* parent) : Base(f, parent), editor_(f) {}

protected:
    QWidget* bindLabelBox() {
        return this->bind(editor_.txtLabel, [this] { editor_.txtLabel_Change(); });
    }
    // The code box in a fixed-pitch font; the status bar follows its caret.
    QWidget* bindCodeBox() {
        QWidget* code = this->bind(editor_.txtValue, [this] { editor_.txtValue_Change(); });
        code->setFont(QFont("Liberation Mono"));
        OnCaretMoved(*this, code, [this] { editor_.txtValue_CaretMoved(); });
        return code;
    }
    // The data tree's side and the code's side, about 28 to 72 of the width.
    QSplitter* dataBesideCode(QWidget*& left, QWidget*& right) {
        auto* split = new QSplitter(Qt::Horizontal, this);
        left = new QWidget(split);
        right = new QWidget(split);
        split->addWidget(left);
        split->addWidget(right);
        split->setStretchFactor(0, 28);
        split->setStretchFactor(1, 72);
        return split;
    }
    // OK, Cancel, the editor's own button, Print and Help, top down.
    QVBoxLayout* buttonColumn(ui::CommandButton& own, Handler click) {
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(this->bind(editor_.cmdOk, [this] { editor_.cmdOk_Click(); }));
        buttons->addWidget(this->bind(editor_.cmdCancel, [this] { editor_.cmdCancel_Click(); }));
        buttons->addWidget(this->bind(own, std::move(click)));
        buttons->addWidget(this->bind(editor_.cmdPrint, [this] { editor_.cmdPrint_Click(); }));
        buttons->addWidget(this->bind(editor_.cmdHelp, [this] { editor_.cmdHelp_Click(); }));
        buttons->addStretch();
        return buttons;
    }
    void showEvent(QShowEvent* event) override {
        Base::showEvent(event);
        this->run([this] { editor_.Form_Activate(); });
        FocusActiveControl(*this);
    }

    editors::FieldEditorForm& editor_;
};

} // namespace qz::views
