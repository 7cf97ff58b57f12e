// Pieces the field editors' windows share: the code box's caret status, the
// window's first focus, and the example template the samples show.
#pragma once

#include "core/DesignerState.h"
#include "core/ModGlobal.h"
#include "views/host/FormView.h"

#include <QPlainTextEdit>

#include <functional>

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

// Runs `fill` with the designer state of the example template (the invoice
// in the source tree's examples folder), for the pictures of the windows.
inline void WithExampleTemplate(const std::function<void()>& fill) {
    struct Example : DesignerState {
        HelpCenter help;
        bool TemplateReadOnly() const override { return false; }
        void SetTemplateReadOnly(bool) override {}
#ifdef QZ_EXAMPLES_DIR
        std::string TemplatePath() const override { return QZ_EXAMPLES_DIR; }
#else
        std::string TemplatePath() const override { return {}; }
#endif
        void SetTemplatePath(const std::string&) override {}
        std::string QzcFileName() const override { return "invoice.qzc"; }
        void SetQzcFileName(const std::string&) override {}
        std::string TemplateFileName() const override { return "invoice.rtf"; }
        void SetTemplateFileName(const std::string&) override {}
        std::string PreviewOutputFile() const override { return {}; }
        void SetPreviewOutputFile(const std::string&) override {}
        HelpCenter& GetHelpCenter() override { return help; }
        std::string ResolveSqlParameters(const std::string& sql) override { return sql; }
    } example;
    DesignerState* before = goDesigner;
    goDesigner = &example;
    try {
        fill();
    } catch (...) {
    }
    goDesigner = before;
}

// Expands the roots and the first command of a data tree.
inline void ExpandFirstCommand(ui::TreeView& tree) {
    for (ui::Node* root : tree.Roots()) {
        root->Expanded = true;
        if (!root->Children().empty()) root->Children().front()->Expanded = true;
    }
}

} // namespace qz::views
