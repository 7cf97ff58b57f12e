// Find and Replace in the document (Ctrl+F, Ctrl+H): a window beside the
// document that finds the next or previous match, replaces one or all. It
// works on the active document's view and never looks into a field's code:
// fields stay whole.
#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qz::views {

class DocumentView;

class FindReplaceDialog : public QDialog {
    Q_OBJECT
public:
    using ViewGetter = std::function<DocumentView*()>;
    FindReplaceDialog(ViewGetter view, QWidget* parent = nullptr);

    // Shows the window in find mode or with the replace row; the search box
    // takes the selection's text when it is short and on one line.
    void showFor(bool replace);
    void findNext(bool forward);
    void replaceOne();
    void replaceAll();
    QString status() const;

private:
    void say(const QString& text);
    ViewGetter view_;
    QLineEdit* find_ = nullptr;
    QLineEdit* replace_ = nullptr;
    QLabel* replaceLabel_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QCheckBox* wholeWord_ = nullptr;
    QPushButton* replaceButton_ = nullptr;
    QPushButton* replaceAllButton_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace qz::views
