#include "views/word/FontDialog.h"

#include "views/host/Text.h"
#include "views/word/DocumentView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace qz::views {

namespace {
const char* const kStyles[] = {"Regular", "Italic", "Bold", "Bold Italic"};
} // namespace

FontDialog::FontDialog(const QString& family, const word::CharFormat& format, QWidget* parent)
    : QDialog(parent), format_(format) {
    setObjectName("fontDialog");
    setWindowTitle("Font");
    auto* form = new QFormLayout(this);
    family_ = new QComboBox(this);
    family_->setObjectName("family");
    family_->setEditable(true);
    family_->setInsertPolicy(QComboBox::NoInsert);
    QStringList families = QFontDatabase::families();
    // The text's own family, installed here or not.
    if (!families.contains(family, Qt::CaseInsensitive)) families.append(family);
    families.sort(Qt::CaseInsensitive);
    family_->addItems(families);
    family_->setCurrentText(family);
    form->addRow("&Font:", family_);
    style_ = new QComboBox(this);
    style_->setObjectName("style");
    for (const char* s : kStyles) style_->addItem(s);
    style_->setCurrentIndex((format.bold ? 2 : 0) + (format.italic ? 1 : 0));
    form->addRow("Font st&yle:", style_);
    size_ = new QComboBox(this);
    size_->setObjectName("size");
    size_->setEditable(true);
    for (int s : {8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 36, 48, 72}) size_->addItem(QString::number(s));
    auto* sizes = new QDoubleValidator(1, 1638, 1, size_);
    sizes->setNotation(QDoubleValidator::StandardNotation);
    size_->setValidator(sizes);
    const int half = format.size > 0 ? format.size : 24;
    size_->setCurrentText(half % 2 ? QLocale().toString(half / 2.0, 'f', 1) : QString::number(half / 2));
    form->addRow("&Size:", size_);
    underline_ = new QCheckBox("&Underline", this);
    underline_->setObjectName("underline");
    underline_->setChecked(format.underline);
    form->addRow(underline_);
    sample_ = new QLabel("AaBbYyZz", this);
    sample_->setObjectName("sample");
    sample_->setMinimumHeight(60);
    sample_->setAlignment(Qt::AlignCenter);
    sample_->setFrameShape(QFrame::StyledPanel);
    form->addRow(sample_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    connect(family_, &QComboBox::currentTextChanged, this, [this] { showSample(); });
    connect(style_, &QComboBox::currentIndexChanged, this, [this] { showSample(); });
    connect(size_, &QComboBox::currentTextChanged, this, [this] { showSample(); });
    connect(underline_, &QCheckBox::toggled, this, [this] { showSample(); });
    showSample();
}

QString FontDialog::family() const { return family_->currentText().trimmed(); }

word::CharFormat FontDialog::format() const {
    word::CharFormat f = format_;
    f.bold = style_->currentIndex() >= 2;
    f.italic = style_->currentIndex() % 2 == 1;
    f.underline = underline_->isChecked();
    bool ok = false;
    const double points = QLocale().toDouble(size_->currentText(), &ok);
    const int half = ok ? static_cast<int>(std::lround(std::clamp(points, 1.0, 1638.0) * 2)) : 0;
    // A size left as shown stays as the text had it (none given reads as 12).
    if (half > 0 && half != (format_.size > 0 ? format_.size : 24)) f.size = half;
    return f;
}

void FontDialog::showSample() {
    const word::CharFormat f = format();
    QFont font(family());
    font.setPointSizeF((f.size > 0 ? f.size : 24) / 2.0);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    sample_->setFont(font);
}

void editFont(DocumentView* view) {
    if (!view) return;
    view->pullSelection();
    word::Document& doc = view->model();
    const word::CharFormat was = view->modelCharFormat();
    const word::FontDef* font = doc.FontByNumber(was.font >= 0 ? was.font : doc.deff);
    const QString family = font ? qs(font->name) : QString();
    FontDialog dialog(family, was, view);
    if (dialog.exec() != QDialog::Accepted) return;
    word::CharFormat now = dialog.format();
    if (!dialog.family().isEmpty() && dialog.family().compare(family, Qt::CaseInsensitive) != 0)
        now.font = doc.FontNumber(us(dialog.family()));
    view->changeCharacterFormat(was, now);
    view->setFocus();
}

} // namespace qz::views
