// Format > Paragraph: indents, spacing, line spacing, alignment and tab stops
// of the selected paragraphs. The dialog opens on the format at the cursor;
// only what the author changed is given to every selected paragraph.
#pragma once

#include "platform/word/Formats.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QListWidget;
class QCheckBox;

namespace qz::views {

class DocumentView;

class ParagraphDialog : public QDialog {
    Q_OBJECT
public:
    explicit ParagraphDialog(const word::ParaFormat& format, QWidget* parent = nullptr);
    // The format as the dialog's controls state it.
    word::ParaFormat format() const;

    // Tab stops: sets one at the position box's place with the kind and
    // leader chosen (replacing one there), clears the selected one, clears all.
    void setTab();
    void clearTab();
    void clearAllTabs();

private:
    void showTabs();
    void lineRuleChanged();

    word::ParaFormat format_;
    int openedRule_ = 0;     // the line spacing as the dialog opened
    double openedValue_ = 1;
    QComboBox* alignment_ = nullptr;
    QDoubleSpinBox* left_ = nullptr;
    QDoubleSpinBox* right_ = nullptr;
    QDoubleSpinBox* first_ = nullptr;
    QDoubleSpinBox* before_ = nullptr;
    QDoubleSpinBox* after_ = nullptr;
    QComboBox* lineRule_ = nullptr;
    QDoubleSpinBox* lineValue_ = nullptr;
    QCheckBox* pageBreak_ = nullptr;
    QListWidget* tabs_ = nullptr;
    QDoubleSpinBox* tabPosition_ = nullptr;
    QComboBox* tabKind_ = nullptr;
    QComboBox* tabLeader_ = nullptr;
};

// Shows the dialog over the view's selection and applies what changed (one undo step).
void editParagraph(DocumentView* view);

} // namespace qz::views
