#include "views/studio/FormatBar.h"

#include "platform/word/Lists.h"
#include "views/host/Text.h"
#include "views/word/DocumentView.h"

#include <QActionGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QIntValidator>
#include <QKeyEvent>

namespace qz::views {

FormatBar::FormatBar(Target target, QWidget* parent) : QToolBar("Formatting", parent), target_(std::move(target)) {
    setObjectName("Formatting");
    fontBox_ = new QFontComboBox(this);
    fontBox_->setObjectName("fontBox");
    fontBox_->setToolTip("Font");
    addWidget(fontBox_);
    connect(fontBox_, &QFontComboBox::textActivated, this, [this](const QString& family) {
        if (!updating_) apply([&](DocumentView& v) { v.setFont(family, 0); });
    });
    sizeBox_ = new QComboBox(this);
    sizeBox_->setObjectName("sizeBox");
    sizeBox_->setToolTip("Font Size");
    sizeBox_->setEditable(true);
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 36, 48, 72}) sizeBox_->addItem(QString::number(size));
    sizeBox_->setValidator(new QIntValidator(1, 1638, sizeBox_));
    addWidget(sizeBox_);
    connect(sizeBox_, &QComboBox::textActivated, this, [this](const QString& text) {
        const int size = text.toInt();
        if (!updating_ && size > 0) apply([&](DocumentView& v) { v.setFont(QString(), size); });
    });
    auto toggle = [this](const QString& text, const QKeySequence& key, void (DocumentView::*act)()) {
        QAction* a = addAction(text, this, [this, act] { apply([act](DocumentView& v) { (v.*act)(); }); });
        a->setCheckable(true);
        a->setToolTip(QString("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText)));
        QFont f = a->font();
        f.setBold(text == "B");
        f.setItalic(text == "I");
        f.setUnderline(text == "U");
        a->setFont(f);
        return a;
    };
    bold_ = toggle("B", QKeySequence::Bold, &DocumentView::toggleBold);
    italic_ = toggle("I", QKeySequence::Italic, &DocumentView::toggleItalic);
    underline_ = toggle("U", QKeySequence::Underline, &DocumentView::toggleUnderline);
    addAction("Colour", this, [this] {
        if (!target_ || !target_()) return;
        const QColor c = QColorDialog::getColor(Qt::black, this, "Font Colour");
        if (c.isValid()) apply([&](DocumentView& v) { v.setTextColor(c); });
    })->setToolTip("Font Colour");
    addAction("Highlight", this, [this] {
        apply([](DocumentView& v) {
            // Yellow, or off where the text is highlighted already.
            const bool on = word::ParseCharLook(v.modelCharFormat().extra).highlight == 0;
            v.setHighlight(on ? QColor(255, 255, 0) : QColor());
        });
    })->setToolTip("Highlight");
    addSeparator();
    const char* const aligns[] = {"Left", "Centre", "Right", "Justify"};
    auto* alignGroup = new QActionGroup(this);
    for (int k = 0; k < 4; ++k) {
        align_[k] = addAction(aligns[k], this, [this, k] { apply([k](DocumentView& v) { v.setAlignment(k); }); });
        align_[k]->setCheckable(true);
        align_[k]->setToolTip(QString("Align %1").arg(aligns[k]));
        alignGroup->addAction(align_[k]);
    }
    addSeparator();
    addAction("Outdent", this, [this] { apply([](DocumentView& v) { v.indent(-1); }); })->setToolTip("Decrease Indent");
    addAction("Indent", this, [this] { apply([](DocumentView& v) { v.indent(1); }); })->setToolTip("Increase Indent");
    addSeparator();
    bullets_ = addAction("Bullets", this, [this] { apply([](DocumentView& v) { v.toggleList(false); }); });
    bullets_->setCheckable(true);
    bullets_->setToolTip("Bullets");
    numbering_ = addAction("Numbering", this, [this] { apply([](DocumentView& v) { v.toggleList(true); }); });
    numbering_->setCheckable(true);
    numbering_->setToolTip("Numbering");
}

void FormatBar::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return e->accept();
    QToolBar::keyPressEvent(e);
}

void FormatBar::apply(const std::function<void(DocumentView&)>& command) {
    DocumentView* v = target_ ? target_() : nullptr;
    if (!v) return;
    command(*v);
    showFormat();
    v->setFocus();
}

void FormatBar::showFormat() {
    DocumentView* v = target_ ? target_() : nullptr;
    setEnabled(v != nullptr);
    if (!v) return;
    updating_ = true;
    const word::CharFormat f = v->modelCharFormat();
    const word::FontDef* font = v->model().FontByNumber(f.font >= 0 ? f.font : v->model().deff);
    if (font) fontBox_->setCurrentFont(QFont(qs(font->name)));
    sizeBox_->setCurrentText(QString::number(f.size > 0 ? f.size / 2 : 12));
    bold_->setChecked(f.bold);
    italic_->setChecked(f.italic);
    underline_->setChecked(f.underline);
    align_[static_cast<int>(v->modelParaFormat().alignment)]->setChecked(true);
    const int list = v->listType();
    bullets_->setChecked(list == word::kListBullet);
    numbering_->setChecked(list == word::kListSimpleNumbering);
    updating_ = false;
}

} // namespace qz::views
