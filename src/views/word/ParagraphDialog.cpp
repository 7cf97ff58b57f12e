#include "views/word/ParagraphDialog.h"

#include "views/word/DocumentView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace qz::views {

namespace {

constexpr double kTwipsPerCm = 566.929;

// Line spacing as the dialog offers it.
enum LineRule { Single, OneAndHalf, Double, AtLeast, Exactly, Multiple };

const char* const kKinds[] = {"Left", "Centre", "Right", "Decimal", "Bar"};
const char* const kLeaders[] = {"None", "Dots", "Hyphens", "Underline", "Thick line", "Double line"};

int twips(const QDoubleSpinBox* cm) { return static_cast<int>(std::lround(cm->value() * kTwipsPerCm)); }

QDoubleSpinBox* lengthBox(QWidget* parent, const char* name, double min, double max, double value,
                          const char* suffix) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setDecimals(2);
    box->setRange(min, max);
    box->setSingleStep(suffix[1] == 'c' ? 0.25 : 6);
    box->setSuffix(suffix);
    box->setValue(value);
    return box;
}

} // namespace

ParagraphDialog::ParagraphDialog(const word::ParaFormat& format, QWidget* parent)
    : QDialog(parent), format_(format) {
    setObjectName("ParagraphDialog");
    setWindowTitle("Paragraph");
    auto* layout = new QVBoxLayout(this);

    auto* general = new QGroupBox("General", this);
    auto* generalForm = new QFormLayout(general);
    alignment_ = new QComboBox(general);
    alignment_->setObjectName("alignment");
    alignment_->addItems({"Left", "Centred", "Right", "Justified"});
    alignment_->setCurrentIndex(static_cast<int>(format.alignment));
    generalForm->addRow("&Alignment:", alignment_);
    pageBreak_ = new QCheckBox("Page &break before", general);
    pageBreak_->setObjectName("pageBreakBefore");
    pageBreak_->setChecked(format.pageBreakBefore);
    generalForm->addRow(pageBreak_);
    layout->addWidget(general);

    auto* indents = new QGroupBox("Indentation", this);
    auto* indentForm = new QFormLayout(indents);
    left_ = lengthBox(indents, "leftIndent", -20, 50, format.leftIndent / kTwipsPerCm, " cm");
    right_ = lengthBox(indents, "rightIndent", -20, 50, format.rightIndent / kTwipsPerCm, " cm");
    first_ = lengthBox(indents, "firstIndent", -50, 50, format.firstIndent / kTwipsPerCm, " cm");
    first_->setToolTip("Negative: a hanging indent");
    indentForm->addRow("&Left:", left_);
    indentForm->addRow("&Right:", right_);
    indentForm->addRow("&First line:", first_);
    layout->addWidget(indents);

    auto* spacing = new QGroupBox("Spacing", this);
    auto* spacingForm = new QFormLayout(spacing);
    before_ = lengthBox(spacing, "spaceBefore", 0, 1584, format.spaceBefore / 20.0, " pt");
    after_ = lengthBox(spacing, "spaceAfter", 0, 1584, format.spaceAfter / 20.0, " pt");
    spacingForm->addRow("Be&fore:", before_);
    spacingForm->addRow("Af&ter:", after_);
    lineRule_ = new QComboBox(spacing);
    lineRule_->setObjectName("lineRule");
    lineRule_->addItems({"Single", "1.5 lines", "Double", "At least", "Exactly", "Multiple"});
    lineValue_ = new QDoubleSpinBox(spacing);
    lineValue_->setObjectName("lineValue");
    lineValue_->setDecimals(2);
    int rule = Single;
    double value = 1;
    if (format.lineSpacing != 0 && format.lineMultiple) {
        value = std::abs(format.lineSpacing) / 240.0;
        rule = format.lineSpacing == 360 ? OneAndHalf : format.lineSpacing == 480 ? Double : Multiple;
    } else if (format.lineSpacing != 0) {
        value = std::abs(format.lineSpacing) / 20.0;
        rule = format.lineSpacing < 0 ? Exactly : AtLeast;
    }
    lineRule_->setCurrentIndex(rule);
    lineRuleChanged();
    lineValue_->setValue(value);
    openedRule_ = rule;
    openedValue_ = lineValue_->value();
    connect(lineRule_, &QComboBox::currentIndexChanged, this, [this] { lineRuleChanged(); });
    auto* line = new QHBoxLayout;
    line->addWidget(lineRule_);
    line->addWidget(lineValue_);
    auto* lineLabel = new QLabel("L&ine spacing:", spacing);
    lineLabel->setBuddy(lineRule_);
    spacingForm->addRow(lineLabel, line);
    layout->addWidget(spacing);

    auto* tabBox = new QGroupBox("Tab stops", this);
    auto* tabLayout = new QHBoxLayout(tabBox);
    tabs_ = new QListWidget(tabBox);
    tabs_->setObjectName("tabs");
    tabLayout->addWidget(tabs_, 1);
    auto* tabForm = new QFormLayout;
    tabPosition_ = lengthBox(tabBox, "tabPosition", 0, 50, 0, " cm");
    tabKind_ = new QComboBox(tabBox);
    tabKind_->setObjectName("tabKind");
    for (const char* k : kKinds) tabKind_->addItem(k);
    tabLeader_ = new QComboBox(tabBox);
    tabLeader_->setObjectName("tabLeader");
    for (const char* l : kLeaders) tabLeader_->addItem(l);
    tabForm->addRow("&Position:", tabPosition_);
    tabForm->addRow("&Kind:", tabKind_);
    tabForm->addRow("Lea&der:", tabLeader_);
    auto* tabButtons = new QHBoxLayout;
    auto addButton = [&](const char* text, const char* name, void (ParagraphDialog::*slot)()) {
        auto* b = new QPushButton(text, tabBox);
        b->setObjectName(name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        tabButtons->addWidget(b);
    };
    addButton("&Set", "setTab", &ParagraphDialog::setTab);
    addButton("&Clear", "clearTab", &ParagraphDialog::clearTab);
    addButton("Clear A&ll", "clearAllTabs", &ParagraphDialog::clearAllTabs);
    tabForm->addRow(tabButtons);
    tabLayout->addLayout(tabForm);
    connect(tabs_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0 || row >= static_cast<int>(format_.tabs.size())) return;
        const word::TabStop& t = format_.tabs[static_cast<std::size_t>(row)];
        tabPosition_->setValue(t.position / kTwipsPerCm);
        tabKind_->setCurrentIndex(static_cast<int>(t.kind));
        tabLeader_->setCurrentIndex(static_cast<int>(t.leader));
    });
    layout->addWidget(tabBox);
    showTabs();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void ParagraphDialog::lineRuleChanged() {
    const int rule = lineRule_->currentIndex();
    const bool points = rule == AtLeast || rule == Exactly;
    lineValue_->setEnabled(rule >= AtLeast);
    lineValue_->setSuffix(points ? " pt" : "");
    lineValue_->setRange(points ? 1 : 0.5, points ? 1584 : 20);
    lineValue_->setSingleStep(points ? 1 : 0.5);
    if (rule == OneAndHalf) lineValue_->setValue(1.5);
    else if (rule == Double) lineValue_->setValue(2);
    else if (rule == Single) lineValue_->setValue(1);
    else if (points && lineValue_->value() < 6) lineValue_->setValue(12);
}

void ParagraphDialog::showTabs() {
    tabs_->clear();
    for (const word::TabStop& t : format_.tabs) {
        QString text = QString("%1 cm  %2").arg(t.position / kTwipsPerCm, 0, 'f', 2).arg(kKinds[static_cast<int>(t.kind)]);
        if (t.leader != word::TabLeader::None) text += QString(", %1").arg(kLeaders[static_cast<int>(t.leader)]);
        tabs_->addItem(text);
    }
}

void ParagraphDialog::setTab() {
    const word::TabStop tab{twips(tabPosition_), static_cast<word::TabKind>(tabKind_->currentIndex()),
                            static_cast<word::TabLeader>(tabLeader_->currentIndex())};
    auto& tabs = format_.tabs;
    tabs.erase(std::remove_if(tabs.begin(), tabs.end(), [&](const word::TabStop& t) { return t.position == tab.position; }),
               tabs.end());
    tabs.insert(std::upper_bound(tabs.begin(), tabs.end(), tab,
                                 [](const word::TabStop& a, const word::TabStop& b) { return a.position < b.position; }),
                tab);
    showTabs();
}

void ParagraphDialog::clearTab() {
    const int row = tabs_->currentRow();
    if (row < 0 || row >= static_cast<int>(format_.tabs.size())) return;
    format_.tabs.erase(format_.tabs.begin() + row);
    showTabs();
}

void ParagraphDialog::clearAllTabs() {
    format_.tabs.clear();
    showTabs();
}

word::ParaFormat ParagraphDialog::format() const {
    word::ParaFormat f = format_;
    f.alignment = static_cast<word::Alignment>(alignment_->currentIndex());
    f.pageBreakBefore = pageBreak_->isChecked();
    // A box left as it opened keeps the exact value (the dialog rounds to hundredths of a centimetre).
    auto length = [](const QDoubleSpinBox* box, int was, double unit) {
        return std::abs(box->value() - was / unit) < 0.005 ? was : static_cast<int>(std::lround(box->value() * unit));
    };
    f.leftIndent = length(left_, format_.leftIndent, kTwipsPerCm);
    f.rightIndent = length(right_, format_.rightIndent, kTwipsPerCm);
    f.firstIndent = length(first_, format_.firstIndent, kTwipsPerCm);
    f.spaceBefore = length(before_, format_.spaceBefore, 20);
    f.spaceAfter = length(after_, format_.spaceAfter, 20);
    const double v = lineValue_->value();
    switch (lineRule_->currentIndex()) {
    case Single: f.lineSpacing = 0, f.lineMultiple = false; break;
    case OneAndHalf: f.lineSpacing = 360, f.lineMultiple = true; break;
    case Double: f.lineSpacing = 480, f.lineMultiple = true; break;
    case AtLeast: f.lineSpacing = static_cast<int>(std::lround(v * 20)), f.lineMultiple = false; break;
    case Exactly: f.lineSpacing = -static_cast<int>(std::lround(v * 20)), f.lineMultiple = false; break;
    default: f.lineSpacing = static_cast<int>(std::lround(v * 240)), f.lineMultiple = true; break;
    }
    // Line spacing left as it opened stays exactly as it was stated.
    if (lineRule_->currentIndex() == openedRule_ && std::abs(v - openedValue_) < 0.005) {
        f.lineSpacing = format_.lineSpacing;
        f.lineMultiple = format_.lineMultiple;
    }
    return f;
}

void editParagraph(DocumentView* view) {
    if (!view) return;
    const word::ParaFormat was = view->modelParaFormat();
    ParagraphDialog dialog(was, view);
    if (dialog.exec() != QDialog::Accepted) return;
    view->changeParagraphFormat(was, dialog.format());
}

} // namespace qz::views
