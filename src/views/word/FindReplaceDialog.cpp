#include "views/word/FindReplaceDialog.h"

#include "views/word/DocumentView.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace qz::views {

FindReplaceDialog::FindReplaceDialog(ViewGetter view, QWidget* parent) : QDialog(parent), view_(std::move(view)) {
    setObjectName("FindReplaceDialog");
    setModal(false);
    auto* grid = new QGridLayout(this);
    find_ = new QLineEdit(this);
    find_->setObjectName("findText");
    replace_ = new QLineEdit(this);
    replace_->setObjectName("replaceText");
    auto* findLabel = new QLabel("Fi&nd what:", this);
    findLabel->setBuddy(find_);
    replaceLabel_ = new QLabel("Re&place with:", this);
    replaceLabel_->setBuddy(replace_);
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(find_, 0, 1);
    grid->addWidget(replaceLabel_, 1, 0);
    grid->addWidget(replace_, 1, 1);
    matchCase_ = new QCheckBox("Match &case", this);
    matchCase_->setObjectName("matchCase");
    wholeWord_ = new QCheckBox("Find &whole words only", this);
    wholeWord_->setObjectName("wholeWord");
    grid->addWidget(matchCase_, 2, 1);
    grid->addWidget(wholeWord_, 3, 1);
    status_ = new QLabel(this);
    status_->setObjectName("status");
    grid->addWidget(status_, 4, 0, 1, 2);
    auto* buttons = new QVBoxLayout;
    auto button = [&](const char* text, const char* name, auto&& act) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, act);
        buttons->addWidget(b);
        return b;
    };
    button("&Find Next", "findNext", [this] { findNext(true); })->setDefault(true);
    button("Find Pre&vious", "findPrevious", [this] { findNext(false); });
    replaceButton_ = button("&Replace", "replace", [this] { replaceOne(); });
    replaceAllButton_ = button("Replace &All", "replaceAll", [this] { replaceAll(); });
    button("Close", "close", [this] { close(); });
    buttons->addStretch();
    grid->addLayout(buttons, 0, 2, 5, 1);
}

void FindReplaceDialog::showFor(bool replace) {
    setWindowTitle(replace ? "Replace" : "Find");
    for (QWidget* w : {static_cast<QWidget*>(replace_), static_cast<QWidget*>(replaceLabel_),
                       static_cast<QWidget*>(replaceButton_), static_cast<QWidget*>(replaceAllButton_)})
        w->setVisible(replace);
    if (DocumentView* v = view_()) {
        const QString selected = v->textCursor().selectedText();
        if (!selected.isEmpty() && selected.size() < 100 && !selected.contains(QChar::ParagraphSeparator))
            find_->setText(selected);
    }
    status_->clear();
    show();
    raise();
    activateWindow();
    find_->setFocus();
    find_->selectAll();
}

QString FindReplaceDialog::status() const { return status_->text(); }

void FindReplaceDialog::say(const QString& text) { status_->setText(text); }

void FindReplaceDialog::findNext(bool forward) {
    DocumentView* v = view_();
    if (!v || find_->text().isEmpty()) return;
    const long before = v->textCursor().selectionStart();
    DocumentView::Search s{find_->text(), replace_->text(), matchCase_->isChecked(), wholeWord_->isChecked(), forward, true};
    if (!v->findText(s)) return say(QString("\"%1\" was not found.").arg(find_->text()));
    const long now = v->textCursor().selectionStart();
    say(forward == (now > before) ? QString()
        : forward                 ? QString("Continued from the start of the document.")
                                  : QString("Continued from the end of the document."));
}

void FindReplaceDialog::replaceOne() {
    DocumentView* v = view_();
    if (!v || find_->text().isEmpty()) return;
    DocumentView::Search s{find_->text(), replace_->text(), matchCase_->isChecked(), wholeWord_->isChecked(), true, true};
    say(v->replaceText(s) ? QString() : QString("\"%1\" was not found.").arg(find_->text()));
}

void FindReplaceDialog::replaceAll() {
    DocumentView* v = view_();
    if (!v || find_->text().isEmpty()) return;
    DocumentView::Search s{find_->text(), replace_->text(), matchCase_->isChecked(), wholeWord_->isChecked(), true, true};
    const int n = v->replaceAll(s);
    say(n == 0 ? QString("\"%1\" was not found.").arg(find_->text())
               : QString("%1 replacement%2 made.").arg(n).arg(n == 1 ? "" : "s"));
}

} // namespace qz::views
