// Format > Font: family, style (regular, italic, bold, bold italic), size and
// underline of the selected text. The dialog opens on the selection's own
// format as the model holds it (a family the machine lacks included); only
// what the author changed is given to the selection, every other property
// each run keeps.
#pragma once

#include "platform/word/Story.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;

namespace qz::views {

class DocumentView;

class FontDialog : public QDialog {
    Q_OBJECT
public:
    FontDialog(const QString& family, const word::CharFormat& format, QWidget* parent = nullptr);
    // The family named, and the format as the controls state it (its font
    // number left as it was: the caller names the family's).
    QString family() const;
    word::CharFormat format() const;

private:
    void showSample();

    word::CharFormat format_;
    QComboBox* family_ = nullptr;
    QComboBox* style_ = nullptr;
    QComboBox* size_ = nullptr;
    QCheckBox* underline_ = nullptr;
    QLabel* sample_ = nullptr;
};

// Shows the dialog over the view's selection and applies what changed (one undo step).
void editFont(DocumentView* view);

} // namespace qz::views
