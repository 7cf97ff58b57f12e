#include "views/host/FormView.h"

#include "views/host/Text.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>

#include <QTextCursor>

#include <algorithm>
#include <exception>

namespace qz::views {

namespace {

// What every control shares: enabled, visible, tooltip.
void pushCommon(const ui::Control& c, QWidget* w) {
    w->setEnabled(c.Enabled);
    w->setVisible(c.Visible);
    w->setToolTip(qs(c.ToolTipText));
}

} // namespace

FormView::FormView(ui::Form& form, QWidget* parent) : QDialog(parent), form_(form) {
    setObjectName(QString::fromStdString(form.Name()));
    setWindowTitle(qs(form.Caption));
    // Dialogs of this system have no context-help button.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

FormView::~FormView() = default;

FormView::Binding& FormView::add(ui::Control& c, QWidget* w) {
    w->setObjectName(QString::fromStdString(c.Name));
    bindings_.push_back({&c, w, {}, {}});
    return bindings_.back();
}

QWidget* FormView::widgetOf(const ui::Control& control) const {
    for (const Binding& b : bindings_)
        if (b.control == &control) return b.widget;
    return nullptr;
}

void FormView::pull() {
    for (Binding& b : bindings_)
        if (b.pull) b.pull();
}

void FormView::push() {
    pushing_ = true;
    setWindowTitle(qs(form_.Caption));
    for (Binding& b : bindings_) {
        if (b.push) b.push();
        pushCommon(*b.control, b.widget);
    }
    pushing_ = false;
}

void FormView::run(const Handler& handler) {
    if (pushing_ || !handler) return;
    pull();
    try {
        handler();
    } catch (const std::exception&) {
        // The form's handlers report their own failures through the error
        // dialog; whatever still escapes must not unwind through Qt.
    }
    push();
    closeIfHidden();
}

void FormView::closeIfHidden() {
    if (!form_.Visible() && isVisible() && !closing_) {
        closing_ = true;
        done(QDialog::Accepted);
        closing_ = false;
    }
}

void FormView::showEvent(QShowEvent* event) {
    push();
    QDialog::showEvent(event);
}

void FormView::reject() {
    for (Binding& b : bindings_) {
        auto* button = dynamic_cast<ui::CommandButton*>(b.control);
        if (button && button->Cancel && button->Enabled && button->Visible) {
            static_cast<QPushButton*>(b.widget)->click();
            return;
        }
    }
    run([this] { form_.OnClose(); });
    if (form_.Visible()) return;  // the form refused to close
    QDialog::reject();
}

void FormView::closeEvent(QCloseEvent* event) {
    if (closing_ || !form_.Visible()) {
        QDialog::closeEvent(event);
        return;
    }
    run([this] { form_.OnClose(); });
    if (form_.Visible()) event->ignore();
    else QDialog::closeEvent(event);
}

QLabel* FormView::bind(ui::Label& c) {
    auto* w = new QLabel(this);
    w->setWordWrap(true);
    add(c, w).push = [&c, w] { w->setText(qs(c.Caption)); };
    return w;
}

QGroupBox* FormView::bind(ui::Frame& c) {
    auto* w = new QGroupBox(this);
    add(c, w).push = [&c, w] { w->setTitle(qs(c.Caption)); };
    return w;
}

QPushButton* FormView::bind(ui::CommandButton& c, Handler click) {
    auto* w = new QPushButton(this);
    w->setAutoDefault(false);
    add(c, w).push = [&c, w] {
        w->setText(qs(c.Caption));
        w->setDefault(c.Default);
    };
    connect(w, &QPushButton::clicked, this, [this, click] { run(click); });
    return w;
}

QWidget* FormView::bind(ui::TextBox& c, Handler change) {
    if (c.MultiLine) {
        auto* w = new QPlainTextEdit(this);
        Binding& b = add(c, w);
        b.pull = [&c, w] {
            c.Text = us(w->toPlainText());
            const QTextCursor cur = w->textCursor();
            c.SelStart = cur.selectionStart();
            c.SelLength = cur.selectionEnd() - cur.selectionStart();
        };
        b.push = [&c, w] {
            const QString text = qs(c.Text);
            if (w->toPlainText() != text) w->setPlainText(text);
            w->setReadOnly(c.Locked);
            QTextCursor cur = w->textCursor();
            const int n = static_cast<int>(text.size());
            cur.setPosition(std::clamp(c.SelStart, 0, n));
            cur.setPosition(std::clamp(c.SelStart + c.SelLength, 0, n), QTextCursor::KeepAnchor);
            w->setTextCursor(cur);
        };
        connect(w, &QPlainTextEdit::textChanged, this, [this, change] { run(change); });
        return w;
    }
    auto* w = new QLineEdit(this);
    Binding& b = add(c, w);
    b.pull = [&c, w] {
        c.Text = us(w->text());
        if (w->hasSelectedText()) {
            c.SelStart = w->selectionStart();
            c.SelLength = static_cast<int>(w->selectedText().size());
        } else {
            c.SelStart = w->cursorPosition();
            c.SelLength = 0;
        }
    };
    b.push = [&c, w] {
        const QString text = qs(c.Text);
        if (w->text() != text) w->setText(text);
        w->setReadOnly(c.Locked);
        w->setMaxLength(c.MaxLength > 0 ? c.MaxLength : 32767);
        if (c.SelLength > 0) w->setSelection(c.SelStart, c.SelLength);
        else w->setCursorPosition(c.SelStart);
    };
    connect(w, &QLineEdit::textEdited, this, [this, change] { run(change); });
    return w;
}

QCheckBox* FormView::bind(ui::CheckBox& c, Handler click) {
    auto* w = new QCheckBox(this);
    Binding& b = add(c, w);
    b.pull = [&c, w] { c.Value = w->checkState() == Qt::Checked ? 1 : w->checkState() == Qt::Unchecked ? 0 : 2; };
    b.push = [&c, w] {
        w->setText(qs(c.Caption));
        w->setTristate(c.Value == 2);
        w->setCheckState(c.Value == 1 ? Qt::Checked : c.Value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    };
    connect(w, &QCheckBox::clicked, this, [this, click] { run(click); });
    return w;
}

QRadioButton* FormView::bind(ui::OptionButton& c, Handler click) {
    auto* w = new QRadioButton(this);
    Binding& b = add(c, w);
    b.pull = [&c, w] { c.Value = w->isChecked(); };
    b.push = [&c, w] {
        w->setText(qs(c.Caption));
        w->setChecked(c.Value);
    };
    connect(w, &QRadioButton::clicked, this, [this, click] { run(click); });
    return w;
}

QComboBox* FormView::bind(ui::ComboBox& c, Handler click) {
    auto* w = new QComboBox(this);
    Binding& b = add(c, w);
    b.pull = [&c, w] {
        c.ListIndex = w->currentIndex() < c.ListCount() ? w->currentIndex() : -1;
        c.Text = us(w->currentText());
    };
    b.push = [&c, w] {
        w->setEditable(c.Style != 2);
        bool same = w->count() == c.ListCount();
        for (int i = 0; same && i < c.ListCount(); ++i) same = w->itemText(i) == qs(c.List(i));
        if (!same) {
            w->clear();
            for (int i = 0; i < c.ListCount(); ++i) w->addItem(qs(c.List(i)));
        }
        w->setCurrentIndex(c.ListIndex);
        if (w->isEditable()) w->setEditText(qs(c.Text));
    };
    connect(w, qOverload<int>(&QComboBox::activated), this, [this, click] { run(click); });
    return w;
}

QListWidget* FormView::bindList(ui::ListBox& c, Handler click, Handler doubleClick) {
    auto* w = new QListWidget(this);
    Binding& b = add(c, w);
    b.pull = [&c, w] {
        c.ListIndex = w->currentRow() < c.ListCount() ? w->currentRow() : -1;
        c.Text = c.List(c.ListIndex);
    };
    b.push = [&c, w] {
        bool same = w->count() == c.ListCount();
        for (int i = 0; same && i < c.ListCount(); ++i) same = w->item(i)->text() == qs(c.List(i));
        if (!same) {
            w->clear();
            for (int i = 0; i < c.ListCount(); ++i) w->addItem(qs(c.List(i)));
        }
        w->setCurrentRow(c.ListIndex);
    };
    connect(w, &QListWidget::itemClicked, this, [this, click] { run(click); });
    connect(w, &QListWidget::itemDoubleClicked, this, [this, doubleClick] { run(doubleClick); });
    return w;
}

QTabBar* FormView::bind(ui::TabStrip& c, Handler click) {
    auto* w = new QTabBar(this);
    Binding& b = add(c, w);
    b.pull = [&c, w] { c.SelectedTab = w->currentIndex(); };
    b.push = [&c, w] {
        while (w->count() > static_cast<int>(c.TabCaptions.size())) w->removeTab(w->count() - 1);
        for (int i = 0; i < static_cast<int>(c.TabCaptions.size()); ++i) {
            if (i < w->count()) w->setTabText(i, qs(c.TabCaptions[i]));
            else w->addTab(qs(c.TabCaptions[i]));
        }
        w->setCurrentIndex(c.SelectedTab);
    };
    connect(w, &QTabBar::tabBarClicked, this, [this, click, w](int i) {
        w->setCurrentIndex(i);
        run(click);
    });
    return w;
}

} // namespace qz::views
