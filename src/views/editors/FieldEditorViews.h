// Pieces the field editors' windows share: the code box's caret status and
// the window's first focus.
#pragma once

#include "views/host/FormView.h"

#include <QPlainTextEdit>


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

} // namespace qz::views
