// The formatting toolbar: font and size boxes, bold, italic, underline,
// colour and highlight, alignment, indent, bullets and numbering. It acts on
// the document view its target names (the active document's, or a header's
// in the header and footer editor) and shows the format at that view's
// cursor. A format chosen with no text selected applies to what is typed
// next; a box chosen from (or left with Enter) gives the keyboard back to
// the page.
#pragma once

#include <QToolBar>

#include <functional>

class QComboBox;
class QFontComboBox;

namespace qz::views {

class DocumentView;

class FormatBar : public QToolBar {
    Q_OBJECT
public:
    using Target = std::function<DocumentView*()>;
    FormatBar(Target target, QWidget* parent = nullptr);

    // Shows the format at the target's cursor (disabled without a target).
    void showFormat();

protected:
    // Enter in a box is the box's: it never reaches the window the bar is
    // in (a dialog would close).
    void keyPressEvent(QKeyEvent* e) override;

private:
    // Runs a command on the target, then gives it the keyboard again.
    void apply(const std::function<void(DocumentView&)>& command);

    Target target_;
    QFontComboBox* fontBox_ = nullptr;
    QComboBox* sizeBox_ = nullptr;
    QAction* bold_ = nullptr;
    QAction* italic_ = nullptr;
    QAction* underline_ = nullptr;
    QAction* align_[4] = {};
    QAction* bullets_ = nullptr;
    QAction* numbering_ = nullptr;
    bool updating_ = false;
};

} // namespace qz::views
