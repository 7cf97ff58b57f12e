#include "views/host/FormView.h"

#include "views/host/Text.h"

#include "core/ModErrors.h"

#include <QAbstractScrollArea>
#include <QApplication>
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
#include <QStyle>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include <QTextCursor>

#include <algorithm>
#include <unordered_map>
#include <exception>
#include <new>

namespace qz::views {

namespace {

// What every control shares: enabled, visible, tooltip.
void pushCommon(const ui::Control& c, QWidget* w) {
    w->setEnabled(c.Enabled);
    w->setVisible(c.Visible);
    w->setToolTip(qs(c.ToolTipText));
}

// Shows text in a label or line edit shortened to the room the widget has
// for it (its width less margin); the whole text is the tooltip when it had
// to be shortened, else the control's own tooltip.
template <class W>
std::function<void()> elider(W* w, const std::string& text, const ui::Control& c, Qt::TextElideMode mode,
                             int margin) {
    return [w, &text, &c, mode, margin] {
        const QString full = qs(text);
        const int room = std::max(0, w->contentsRect().width() - margin);
        const QString shown = w->fontMetrics().elidedText(full, mode, room);
        if (w->text() != shown) w->setText(shown);
        w->setToolTip(shown == full ? qs(c.ToolTipText) : full);
    };
}

} // namespace

FormView::FormView(ui::Form& form, QWidget* parent) : QDialog(parent), form_(form) {
    setObjectName(QString::fromStdString(form.Name()));
    setWindowTitle(qs(form.Caption));
    // Dialogs of this system have no context-help button.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

FormView::~FormView() { releaseForm(); }

void FormView::releaseForm() {
    if (gone_) return;
    // The models outlive the view: they must not ask it for geometry any more.
    for (Binding& b : bindings_)
        if (auto* tree = dynamic_cast<ui::TreeView*>(b.control))
            for (const auto& g : geometries_)
                if (tree->View == g.get()) tree->View = nullptr;
    gone_ = true;
    bindings_.clear();
}

void FormView::forgetForm() {
    gone_ = true;
    bindings_.clear();
    hide();
}

FormView::Binding& FormView::add(ui::Control& c, QWidget* w) {
    w->setObjectName(QString::fromStdString(c.Name));
    w->installEventFilter(this);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) area->viewport()->installEventFilter(this);
    bindings_.push_back({&c, w, {}, {}, {}});
    return bindings_.back();
}

QWidget* FormView::widgetOf(const ui::Control& control) const {
    for (const Binding& b : bindings_)
        if (b.control == &control) return b.widget;
    return nullptr;
}

std::vector<const ui::Control*> FormView::boundControls() const {
    std::vector<const ui::Control*> out;
    out.reserve(bindings_.size());
    for (const Binding& b : bindings_) out.push_back(b.control);
    return out;
}

void FormView::pull() {
    if (gone_) return;
    for (Binding& b : bindings_)
        if (b.pull) b.pull();
}

void FormView::push() {
    if (gone_) return;
    pushing_ = true;
    try {
        setWindowTitle(qs(form_.Caption));
        for (Binding& b : bindings_) {
            if (b.push) b.push();
            pushCommon(*b.control, b.widget);
            if (b.fit) b.fit();
        }
    } catch (const std::exception&) {
        // Memory ran short showing the form (a tree of many nodes): the
        // author reads why, and the window stays with what it could show.
        pushing_ = false;
        HandleError("FormView", "push", kErrLog | kErrShow);
        return;
    }
    pushing_ = false;
}

void FormView::run(const Handler& handler) {
    if (gone_ || pushing_ || !handler) return;
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
    if (gone_) return QDialog::showEvent(event);
    linkLabels();
    push();
    QDialog::showEvent(event);
}

void FormView::linkLabels() {
    // A label's access key moves the focus to the control after it in the
    // form's tab order, as the platform's labels did.
    const std::vector<ui::Control*>& order = form_.Controls();
    for (std::size_t i = 0; i < order.size(); ++i) {
        auto* label = qobject_cast<QLabel*>(widgetOf(*order[i]));
        if (!label || label->buddy()) continue;
        for (std::size_t k = i + 1; k < order.size(); ++k) {
            if (dynamic_cast<ui::Label*>(order[k]) || dynamic_cast<ui::Frame*>(order[k])) continue;
            if (QWidget* target = widgetOf(*order[k]); target && target->focusPolicy() != Qt::NoFocus) {
                label->setBuddy(target);
                break;
            }
        }
    }
}

void FormView::reject() {
    if (gone_) return QDialog::reject();
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
    if (gone_) return QDialog::closeEvent(event);
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

QLabel* FormView::bindElided(ui::Label& c, Qt::TextElideMode mode) {
    auto* w = new QLabel(this);
    // The layout gives the width; the text never asks for more.
    w->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    add(c, w).fit = elider(w, c.Caption, c, mode, 0);
    return w;
}

QLineEdit* FormView::bindElided(ui::TextBox& c, Qt::TextElideMode mode) {
    auto* w = new QLineEdit(this);
    w->setReadOnly(true);
    // The text sits inside the frame and the box's own margin of 2 pixels a side.
    const int frame = w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
    const QMargins text = w->textMargins();
    add(c, w).fit = elider(w, c.Text, c, mode, 2 * frame + 4 + text.left() + text.right());
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
        // The box's text breaks lines with CR LF, as the platform's boxes did,
        // and its positions count both; the widget has one character per break.
        b.pull = [&c, w] {
            const QString text = w->toPlainText();
            const QTextCursor cur = w->textCursor();
            auto modelPos = [&text](int p) { return p + static_cast<int>(text.left(p).count('\n')); };
            c.Text = us(QString(text).replace('\n', QStringLiteral("\r\n")));
            c.SelStart = modelPos(cur.selectionStart());
            c.SelLength = modelPos(cur.selectionEnd()) - c.SelStart;
        };
        b.push = [&c, w] {
            const QString model = qs(c.Text);
            const QString text = QString(model).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
            if (w->toPlainText() != text) w->setPlainText(text);
            w->setReadOnly(c.Locked);
            auto viewPos = [&model](int p) {
                p = std::clamp(p, 0, static_cast<int>(model.size()));
                return p - static_cast<int>(model.left(p).count(QStringLiteral("\r\n")));
            };
            QTextCursor cur = w->textCursor();
            const int n = static_cast<int>(text.size());
            cur.setPosition(std::clamp(viewPos(c.SelStart), 0, n));
            cur.setPosition(std::clamp(viewPos(c.SelStart + c.SelLength), 0, n), QTextCursor::KeepAnchor);
            w->setTextCursor(cur);
        };
        w->setTabChangesFocus(true);  // Tab leaves the box, as in every other control
        connect(w, &QPlainTextEdit::textChanged, this, [this, &c, change] {
            if (pushing_) return;
            c.DataChanged = true;
            run(change);
        });
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
    connect(w, &QLineEdit::textEdited, this, [this, &c, change] {
        c.DataChanged = true;
        run(change);
    });
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
        // The same text set again would lose the selection in it.
        if (w->isEditable()) {
            if (w->currentText() != qs(c.Text)) w->setEditText(qs(c.Text));
            w->lineEdit()->setReadOnly(c.Locked);
        }
    };
    connect(w, qOverload<int>(&QComboBox::activated), this, [this, &c, click] {
        if (c.Locked) push();  // a locked box shows its entries but keeps its choice
        else run(click);
    });
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
            w->setTabEnabled(i, c.TabIsEnabled(i));
        }
        w->setCurrentIndex(c.SelectedTab);
    };
    connect(w, &QTabBar::tabBarClicked, this, [this, &c, click, w](int i) {
        if (!c.TabIsEnabled(i)) return;
        w->setCurrentIndex(i);
        run(click);
    });
    return w;
}

// ---- focus, keys and mouse -------------------------------------------------

namespace {

int shiftOf(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

// The key code a handler sees: the platform's virtual-key numbers.
int keyCodeOf(int key) {
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 112 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 9;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Menu: return 93;
    default: return key & 0xFFFF;
    }
}

// The character a key makes, 0 for none (control characters as Ctrl+letter
// makes them).
int asciiOf(const QKeyEvent* e) {
    const int key = e->key();
    if ((e->modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) return key - Qt::Key_A + 1;
    switch (key) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    default: break;
    }
    const QString t = e->text();
    return t.size() == 1 && t[0].unicode() >= 32 ? t[0].unicode() : 0;
}

int buttonOf(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0);
}

} // namespace

FormView::Binding* FormView::bindingOf(QObject* watched) {
    for (Binding& b : bindings_) {
        if (b.widget == watched) return &b;
        if (auto* area = qobject_cast<QAbstractScrollArea*>(b.widget); area && area->viewport() == watched) return &b;
    }
    return nullptr;
}

bool FormView::eventFilter(QObject* watched, QEvent* event) {
    if (gone_) return QDialog::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type == QEvent::Resize) {
        if (Binding* b = bindingOf(watched); b && b->fit && b->widget == watched) b->fit();
        return QDialog::eventFilter(watched, event);
    }
    if (forwarding_ || (type != QEvent::FocusIn && type != QEvent::KeyPress && type != QEvent::MouseMove &&
                        type != QEvent::MouseButtonRelease))
        return QDialog::eventFilter(watched, event);
    Binding* b = bindingOf(watched);
    if (!b) return QDialog::eventFilter(watched, event);
    switch (type) {
    case QEvent::FocusIn: {
        const Qt::FocusReason why = static_cast<QFocusEvent*>(event)->reason();
        focusIn(*b, why == Qt::TabFocusReason || why == Qt::BacktabFocusReason);
        // A drop-down's text is selected when the focus comes to it other
        // than by a click: what is typed then replaces it.
        if (auto* combo = qobject_cast<QComboBox*>(b->widget); combo && combo->lineEdit() && why != Qt::MouseFocusReason)
            combo->lineEdit()->selectAll();
        break;
    }
    case QEvent::KeyPress:
        if (b->widget == watched && keyPress(*b, watched, event)) return true;
        break;
    default:
        if (mouse(*b, watched, event)) return true;
        break;
    }
    return QDialog::eventFilter(watched, event);
}

bool FormView::focusIn(Binding& b, bool byTab) {
    ui::Control* leaving = form_.ActiveControl();
    if (leaving == b.control) return true;
    const bool handlers = (leaving && (leaving->Validate || leaving->LostFocus)) || b.control->GotFocus;
    if (!handlers || pushing_) return form_.SetFocusTo(*b.control, byTab);
    bool ok = true;
    run([&] { ok = form_.SetFocusTo(*b.control, byTab); });
    if (!ok && leaving) {
        // Validate kept the focus: give it back once Qt has finished moving it.
        if (QWidget* back = widgetOf(*leaving))
            QTimer::singleShot(0, back, [back] { back->setFocus(Qt::OtherFocusReason); });
    }
    return ok;
}

bool FormView::keyPress(Binding& b, QObject* watched, QEvent* event) {
    ui::Control& c = *b.control;
    if (!c.KeyDown && !c.KeyPress) return false;
    auto* e = static_cast<QKeyEvent*>(event);
    // Tab moves the focus, and Enter and Escape belong to the default and
    // Cancel buttons where the form has them: no control sees these keys.
    const int key = e->key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return false;
    // Select All and Copy change no text: they are the box's own, never a
    // character a handler could refuse.
    if (e->matches(QKeySequence::SelectAll) || e->matches(QKeySequence::Copy)) return false;
    if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
        const bool cancel = key == Qt::Key_Escape;
        for (const Binding& other : bindings_) {
            auto* button = dynamic_cast<const ui::CommandButton*>(other.control);
            if (button && button->Enabled && button->Visible && (cancel ? button->Cancel : button->Default))
                return false;
        }
    }
    int code = keyCodeOf(key);
    const int ascii = asciiOf(e);
    int result = ascii;
    run([&] {
        if (c.KeyDown) c.KeyDown(code, shiftOf(e->modifiers()));
        if (code == 0) result = 0;
        else if (ascii && c.KeyPress) c.KeyPress(result);
    });
    if (code == 0 || (ascii && result == 0)) return true;  // consumed
    if (result != ascii && result >= 32) {
        // The handler typed another character instead.
        QKeyEvent replaced(QEvent::KeyPress, 0, e->modifiers(), QString(QChar(result)));
        forwarding_ = true;
        QCoreApplication::sendEvent(watched, &replaced);
        forwarding_ = false;
        return true;
    }
    return false;
}

bool FormView::mouse(Binding& b, QObject* watched, QEvent* event) {
    ui::Control& c = *b.control;
    const bool move = event->type() == QEvent::MouseMove;
    const auto hook = move ? c.MouseMove : c.MouseUp;  // a copy: the handler may replace it
    if (!hook) return false;
    auto* e = static_cast<QMouseEvent*>(event);
    const QPoint at = static_cast<QWidget*>(watched)->mapTo(b.widget, e->position().toPoint());
    const int button = buttonOf(move ? e->buttons() : Qt::MouseButtons(e->button()));
    run([&] { hook(button, shiftOf(e->modifiers()), at.x(), at.y()); });
    return false;
}

// ---- tree ------------------------------------------------------------------

namespace {

// The tree's nodes as a Qt model: rows are made as the view asks for them
// (the children of shown and expanded nodes), so that a tree of a hundred
// thousand nodes costs no widget item per node. Each index the view holds
// names an entry of this model, never a node itself: between a change of the
// nodes and the next push (a dialog the form opens in between paints) the
// model answers nothing rather than reading a node that may be gone.
class TreeModel : public QAbstractItemModel {
public:
    TreeModel(const ui::TreeView& tree, QObject* parent) : QAbstractItemModel(parent), tree_(tree) {}
    std::function<QVariant(const ui::Node&)> picture;
    std::function<void(ui::Node&, const QString&)> renamed;

    bool current() const { return !stale() && !failed_; }
    bool stale() const { return version_ != tree_.StructureVersion(); }
    // Back in step with the nodes after a change of their set or order.
    void reset() {
        beginResetModel();
        entries_.clear();
        entryOf_.clear();
        failed_ = false;
        version_ = tree_.StructureVersion();
        endResetModel();
    }
    // Memory ran short making a row: the view shows no rows until the nodes
    // change, and the failure goes on as std::bad_alloc to whoever pushed.
    void failIfShort() {
        if (!failed_) return;
        beginResetModel();
        entries_ = {};
        entryOf_ = {};
        endResetModel();
        throw std::bad_alloc();
    }
    ui::Node* nodeOf(const QModelIndex& index) const {
        if (!current() || !index.isValid()) return nullptr;
        return const_cast<ui::Node*>(entries_[index.internalId()].node);
    }
    QModelIndex indexOf(const ui::Node* node) const {
        if (!current() || !node) return {};
        const std::vector<ui::Node*>& level = siblings(node->Parent());
        const QModelIndex parentIndex = node->Parent() ? indexOf(node->Parent()) : QModelIndex();
        if (node->Parent() && !parentIndex.isValid()) return {};
        const auto it = std::find(level.begin(), level.end(), node);
        if (it == level.end()) return {};
        return index(static_cast<int>(it - level.begin()), 0, parentIndex);
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        if (!current() || column != 0 || row < 0) return {};
        const ui::Node* up = nullptr;
        if (parent.isValid()) {
            up = entries_[parent.internalId()].node;
        }
        const std::vector<ui::Node*>& level = siblings(up);
        if (static_cast<std::size_t>(row) >= level.size()) return {};
        const ui::Node* node = level[static_cast<std::size_t>(row)];
        // Qt asks from code that does not expect an exception: a row that
        // cannot be made is no row, and the push that follows says why.
        try {
            if (const auto it = entryOf_.find(node); it != entryOf_.end()) {
                entries_[it->second].row = row;
                return createIndex(row, 0, it->second);
            }
            const quintptr id = entries_.size();
            entries_.push_back({node, parent.isValid() ? parent.internalId() : kNone, row});
            try {
                entryOf_.emplace(node, id);
            } catch (...) {
                entries_.pop_back();
                throw;
            }
            return createIndex(row, 0, id);
        } catch (const std::bad_alloc&) {
            failed_ = true;
            return {};
        }
    }
    QModelIndex parent(const QModelIndex& child) const override {
        if (!current() || !child.isValid()) return {};
        const quintptr up = entries_[child.internalId()].parent;
        if (up == kNone) return {};
        return createIndex(entries_[up].row, 0, up);
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        if (!current()) return 0;
        if (parent.isValid() && parent.column() != 0) return 0;
        return static_cast<int>(siblings(parent.isValid() ? entries_[parent.internalId()].node : nullptr).size());
    }
    int columnCount(const QModelIndex& = {}) const override { return 1; }
    QVariant data(const QModelIndex& index, int role) const override {
        const ui::Node* node = nodeOf(index);
        if (!node) return {};
        if (role == Qt::DisplayRole || role == Qt::EditRole) return qs(node->Text);
        if (role == Qt::DecorationRole && picture) return picture(*node);
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!nodeOf(index)) return Qt::NoItemFlags;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        ui::Node* node = nodeOf(index);
        if (!node || role != Qt::EditRole) return false;
        if (renamed) renamed(*node, value.toString());
        return true;
    }

private:
    static constexpr quintptr kNone = ~quintptr{0};
    struct Entry {
        const ui::Node* node;
        quintptr parent;  // entry of the parent, kNone at the top
        int row;
    };
    const std::vector<ui::Node*>& siblings(const ui::Node* parent) const {
        return parent ? parent->Children() : tree_.Roots();
    }

    const ui::TreeView& tree_;
    std::uint64_t version_ = ~std::uint64_t{0};
    mutable bool failed_ = false;
    mutable std::vector<Entry> entries_;
    mutable std::unordered_map<const ui::Node*, quintptr> entryOf_;
};

// A tree view that asks before an edit begins.
class TreeWidget : public QTreeView {
public:
    using QTreeView::QTreeView;
    using QTreeView::edit;
    std::function<bool(const QModelIndex&)> beforeEdit;
    bool isEditing() const { return state() == EditingState; }

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
        const bool wouldEdit = trigger == AllEditTriggers || (editTriggers() & trigger);
        if (wouldEdit && state() != EditingState && beforeEdit && !beforeEdit(index)) return false;
        return QTreeView::edit(index, trigger, event);
    }
    // The tree shows that it has the keyboard as a text box does, by its frame
    // in the highlight colour: the toolkit marks only a current row, which an
    // empty tree, or one whose rows were never gone through, does not have.
    bool event(QEvent* e) override {
        const bool done = QTreeView::event(e);
        if (e->type() == QEvent::Paint && hasFocus()) {
            QPainter p(this);
            p.setPen(QPen(palette().color(QPalette::Highlight), 2));
            p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
        } else if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut) {
            update();
        }
        return done;
    }
};

// Node rectangles and hit tests in the tree view's client pixels.
class TreeGeometry : public ui::TreeView::Geometry {
public:
    TreeGeometry(QTreeView* w, TreeModel* model) : w_(w), model_(model) {}
    bool labelRect(const ui::Node& node, ui::Rect& rect) const override {
        const QModelIndex index = model_->indexOf(&node);
        if (!index.isValid()) return false;
        for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
            if (!w_->isExpanded(p)) return false;
        const QRect r = w_->visualRect(index);
        if (!r.isValid()) return false;
        const QPoint off = w_->viewport()->mapTo(w_, QPoint(0, 0));
        const int width = w_->fontMetrics().horizontalAdvance(qs(node.Text)) + 6;
        rect = {r.left() + off.x(), r.top() + off.y(), r.left() + off.x() + width, r.bottom() + 1 + off.y()};
        return true;
    }
    ui::Node* hitTest(int x, int y) const override {
        const QPoint off = w_->viewport()->mapTo(w_, QPoint(0, 0));
        return model_->nodeOf(w_->indexAt(QPoint(x, y) - off));
    }

private:
    QTreeView* w_;
    TreeModel* model_;
};

// Calls visit(node, index) for every node shown or about to be (the children
// of expanded nodes, in the model or in the view), so that a push or a pull
// costs the nodes an author can reach, not the whole tree.
template <class Visit>
void walkShown(TreeModel& model, QTreeView* w, const QModelIndex& parent, Visit&& visit) {
    const int n = model.rowCount(parent);
    for (int row = 0; row < n; ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        ui::Node* node = model.nodeOf(index);
        if (!node) continue;
        visit(*node, index);
        if (!node->Children().empty() && (node->Expanded || w->isExpanded(index))) walkShown(model, w, index, visit);
    }
}

} // namespace

QTreeView* FormView::bind(ui::TreeView& c, Handler nodeClick, Handler dblClick, NodePicture picture) {
    auto* w = new TreeWidget(this);
    auto* model = new TreeModel(c, w);
    model->picture = std::move(picture);
    w->setModel(model);
    w->setHeaderHidden(true);
    w->setUniformRowHeights(true);
    w->setExpandsOnDoubleClick(false);  // the form's double click decides
    w->setMouseTracking(true);
    Binding& b = add(c, w);
    // Expanding and collapsing in the view reach the node at once.
    connect(w, &QTreeView::expanded, this, [model](const QModelIndex& index) {
        if (ui::Node* node = model->nodeOf(index)) node->Expanded = true;
    });
    connect(w, &QTreeView::collapsed, this, [model](const QModelIndex& index) {
        if (ui::Node* node = model->nodeOf(index)) node->Expanded = false;
    });
    b.pull = [&c, w, model] {
        if (!model->current()) return;
        c.Select(model->nodeOf(w->currentIndex()));
    };
    b.push = [&c, w, model] {
        if (model->stale()) model->reset();
        w->setEditTriggers(c.LabelEdit == ui::tvwAutomatic
                               ? QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked
                               : QAbstractItemView::NoEditTriggers);
        // The nodes' expansion; texts and pictures are read again as the
        // shown rows are painted (an open editor keeps what is typed in it).
        walkShown(*model, w, {}, [&](ui::Node& node, const QModelIndex& index) {
            if (!node.Children().empty() && w->isExpanded(index) != node.Expanded) w->setExpanded(index, node.Expanded);
        });
        model->failIfShort();
        w->viewport()->update();
        const QModelIndex selected = model->indexOf(c.SelectedItem());
        if (selected != w->currentIndex()) w->setCurrentIndex(selected);
        if (const QModelIndex editing = model->indexOf(c.EditingNode()); editing.isValid() && !w->isEditing())
            w->edit(editing);
    };
    w->beforeEdit = [this, &c, model](const QModelIndex& index) {
        ui::Node* node = model->nodeOf(index);
        if (!node) return false;
        if (c.EditingNode() == node) return true;
        // Not run(): its push would open the editor a second time.
        bool ok = false;
        pull();
        c.Select(node);
        try {
            ok = c.StartLabelEdit();
        } catch (const std::exception&) {
            ok = false;
        }
        return ok;
    };
    model->renamed = [this, &c](ui::Node& node, const QString& text) {
        if (pushing_ || c.EditingNode() != &node) return;
        const std::string value = us(text);
        run([&c, value] { c.EndLabelEdit(value); });
    };
    connect(w->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this, &c] {
        if (!c.EditingNode()) return;
        c.CancelLabelEdit();  // closed without a new text (Escape)
        push();
    });
    connect(w->selectionModel(), &QItemSelectionModel::currentChanged, this, [this, nodeClick] {
        // A click reports itself (clicked); this is a move by keyboard.
        if (QApplication::mouseButtons() == Qt::NoButton) run(nodeClick);
    });
    connect(w, &QTreeView::clicked, this, [this, nodeClick] { run(nodeClick); });
    connect(w, &QTreeView::doubleClicked, this, [this, dblClick] { run(dblClick); });
    geometries_.push_back(std::make_unique<TreeGeometry>(w, model));
    c.View = geometries_.back().get();
    return w;
}

// ---- list in report view ------------------------------------------------------

QTreeWidget* FormView::bind(ui::ListView& c, ItemHandler itemCheck, ItemHandler itemClick,
                            std::function<void(int)> columnClick, Handler dblClick) {
    auto* w = new QTreeWidget(this);
    w->setRootIsDecorated(false);
    w->setAllColumnsShowFocus(true);
    w->setSortingEnabled(false);  // the model sorts
    w->header()->setSectionsClickable(true);
    auto rows = std::make_shared<std::vector<ui::ListItem*>>();
    auto itemAt = [rows, w](QTreeWidgetItem* item) -> ui::ListItem* {
        const int i = w->indexOfTopLevelItem(item);
        return i >= 0 && i < static_cast<int>(rows->size()) ? (*rows)[static_cast<std::size_t>(i)] : nullptr;
    };
    Binding& b = add(c, w);
    b.pull = [&c, w, rows] {
        for (std::size_t i = 0; i < rows->size() && i < c.Count(); ++i) {
            if (&c.Item(i) != (*rows)[i]) return;  // the model changed since the push
            QTreeWidgetItem* item = w->topLevelItem(static_cast<int>(i));
            if (c.CheckBoxes) c.Item(i).Checked = item->checkState(0) == Qt::Checked;
            c.Item(i).Selected = item->isSelected();
        }
    };
    b.push = [&c, w, rows] {
        QStringList headers;
        for (const ui::ColumnHeader& h : c.ColumnHeaders) headers << qs(h.Text);
        const int columns = std::max<int>(1, static_cast<int>(headers.size()));
        if (w->columnCount() != columns) w->setColumnCount(columns);
        w->setHeaderLabels(headers);
        for (int i = 0; i < static_cast<int>(c.ColumnHeaders.size()); ++i)
            if (c.ColumnHeaders[static_cast<std::size_t>(i)].Width > 0)
                w->setColumnWidth(i, c.ColumnHeaders[static_cast<std::size_t>(i)].Width);
        bool same = rows->size() == c.Count();
        for (std::size_t i = 0; same && i < rows->size(); ++i) same = (*rows)[i] == &c.Item(i);
        if (!same) {
            w->clear();
            rows->clear();
            for (std::size_t i = 0; i < c.Count(); ++i) {
                rows->push_back(&c.Item(i));
                new QTreeWidgetItem(w);
            }
        }
        for (std::size_t i = 0; i < rows->size(); ++i) {
            const ui::ListItem& li = *(*rows)[i];
            QTreeWidgetItem* item = w->topLevelItem(static_cast<int>(i));
            for (int col = 0; col < columns; ++col) item->setText(col, qs(li.ColumnText(col)));
            if (c.CheckBoxes) item->setCheckState(0, li.Checked ? Qt::Checked : Qt::Unchecked);
            else item->setData(0, Qt::CheckStateRole, QVariant());
            item->setSelected(li.Selected);
            if (li.Selected && !w->currentItem()) w->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        }
        if (c.Sorted) w->header()->setSortIndicator(c.SortKey, c.SortOrder == ui::lvwDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
        w->header()->setSortIndicatorShown(c.Sorted);
        // A column's width is the form's, or more where its heading or the
        // first rows' texts need it in the font shown (a larger font).
        const QFontMetrics fm(w->font());
        constexpr int kRowsMeasured = 200;
        for (int col = 0; col < static_cast<int>(c.ColumnHeaders.size()) && col < columns; ++col) {
            if (c.ColumnHeaders[static_cast<std::size_t>(col)].Width <= 0) continue;
            int need = w->header()->fontMetrics().horizontalAdvance(w->headerItem()->text(col)) + 24;
            for (int i = 0; i < w->topLevelItemCount() && i < kRowsMeasured; ++i)
                need = std::max(need, fm.horizontalAdvance(w->topLevelItem(i)->text(col)) +
                                          (col == 0 && c.CheckBoxes ? fm.height() + 12 : 0) + 12);
            if (need > w->columnWidth(col)) w->setColumnWidth(col, need);
        }
    };
    connect(w, &QTreeWidget::itemChanged, this, [this, &c, itemAt, itemCheck](QTreeWidgetItem* item, int column) {
        ui::ListItem* li = itemAt(item);
        if (pushing_ || !li || column != 0 || !c.CheckBoxes) return;
        if ((item->checkState(0) == Qt::Checked) == li->Checked) return;
        run([li, itemCheck] {
            if (itemCheck) itemCheck(*li);
        });
    });
    connect(w, &QTreeWidget::itemClicked, this, [this, itemAt, itemClick](QTreeWidgetItem* item) {
        if (ui::ListItem* li = itemAt(item); li && itemClick) run([li, itemClick] { itemClick(*li); });
    });
    connect(w, &QTreeWidget::itemDoubleClicked, this, [this, dblClick] { run(dblClick); });
    connect(w->header(), &QHeaderView::sectionClicked, this, [this, &c, columnClick](int column) {
        run([&c, columnClick, column] {
            if (columnClick) columnClick(column);
            else c.SortByColumn(column);
        });
    });
    return w;
}

// ---- grid ----------------------------------------------------------------------

namespace {

void addGridRows(const ui::GridTable& t, QTreeWidget* w, QTreeWidgetItem* parent) {
    for (const ui::GridRow& row : t.Rows) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(w);
        for (std::size_t col = 0; col < row.Cells.size(); ++col) item->setText(static_cast<int>(col), qs(row.Cells[col]));
        for (const ui::GridChapter& ch : row.Chapters) {
            auto* chapter = new QTreeWidgetItem(item);
            chapter->setText(0, ch.Column < t.Columns.size() ? qs(t.Columns[ch.Column]) : QString());
            chapter->setFirstColumnSpanned(true);
            auto* header = new QTreeWidgetItem(chapter);
            QFont bold = header->font(0);
            bold.setBold(true);
            for (std::size_t col = 0; col < ch.Table.Columns.size(); ++col) {
                header->setText(static_cast<int>(col), qs(ch.Table.Columns[col]));
                header->setFont(static_cast<int>(col), bold);
            }
            addGridRows(ch.Table, w, chapter);
        }
    }
}

std::size_t widest(const ui::GridTable& t) {
    std::size_t n = t.Columns.size();
    for (const ui::GridRow& row : t.Rows)
        for (const ui::GridChapter& ch : row.Chapters) n = std::max(n, widest(ch.Table));
    return n;
}

} // namespace

QTreeWidget* FormView::bind(ui::DataGrid& c) {
    auto* w = new QTreeWidget(this);
    w->setEditTriggers(QAbstractItemView::NoEditTriggers);
    w->setAlternatingRowColors(true);
    auto shown = std::make_shared<ui::GridTable>();
    auto first = std::make_shared<bool>(true);
    add(c, w).push = [&c, w, shown, first] {
        if (!*first && *shown == c.Data) return;  // unchanged: keep the user's scrolling and expansion
        *first = false;
        *shown = c.Data;
        w->clear();
        w->setColumnCount(static_cast<int>(std::max<std::size_t>(1, widest(c.Data))));
        QStringList headers;
        for (const std::string& h : c.Data.Columns) headers << qs(h);
        w->setHeaderLabels(headers);
        // No columns yet (nothing run): no heading, rather than the toolkit's "1".
        w->setHeaderHidden(headers.isEmpty());
        w->setRootIsDecorated(widest(c.Data) > c.Data.Columns.size() ||
                              std::any_of(c.Data.Rows.begin(), c.Data.Rows.end(),
                                          [](const ui::GridRow& r) { return !r.Chapters.empty(); }));
        addGridRows(c.Data, w, nullptr);
    };
    return w;
}

// ---- bars ------------------------------------------------------------------------

QStatusBar* FormView::bind(ui::StatusBar& c) {
    auto* w = new QStatusBar(this);
    w->setSizeGripEnabled(false);
    add(c, w).push = [&c, w] {
        QList<QLabel*> labels = w->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
        while (labels.size() > static_cast<qsizetype>(c.Panels.size())) delete labels.takeLast();
        while (labels.size() < static_cast<qsizetype>(c.Panels.size())) {
            auto* l = new QLabel(w);
            l->setObjectName(QStringLiteral("panel%1").arg(labels.size() + 1));
            w->addWidget(l, 1);
            labels.push_back(l);
        }
        for (std::size_t i = 0; i < c.Panels.size(); ++i) {
            labels[static_cast<qsizetype>(i)]->setText(qs(c.Panels[i].Text));
            if (c.Panels[i].Width > 0) labels[static_cast<qsizetype>(i)]->setMinimumWidth(c.Panels[i].Width);
        }
    };
    return w;
}

QToolBar* FormView::bind(ui::Toolbar& c, std::function<void(const std::string&)> buttonClick) {
    auto* w = new QToolBar(this);
    auto keys = std::make_shared<std::vector<std::string>>();
    add(c, w).push = [this, &c, w, keys, buttonClick] {
        std::vector<std::string> now;
        for (const ui::ToolButton& b : c.Buttons) now.push_back(b.Style == ui::tbrSeparator ? "\x01" : b.Key);
        if (now != *keys) {
            w->clear();
            for (const ui::ToolButton& b : c.Buttons) {
                if (b.Style == ui::tbrSeparator) {
                    w->addSeparator();
                    continue;
                }
                QAction* a = w->addAction(qs(b.Caption.empty() ? b.Key : b.Caption));
                a->setObjectName(qs(b.Key));
                const std::string key = b.Key;
                connect(a, &QAction::triggered, this, [this, key, buttonClick] {
                    if (buttonClick) run([&] { buttonClick(key); });
                });
            }
            *keys = now;
        }
        const QList<QAction*> actions = w->actions();
        for (std::size_t i = 0; i < c.Buttons.size() && i < static_cast<std::size_t>(actions.size()); ++i) {
            const ui::ToolButton& b = c.Buttons[i];
            QAction* a = actions[static_cast<qsizetype>(i)];
            if (b.Style != ui::tbrSeparator) {
                a->setText(qs(b.Caption.empty() ? b.Key : b.Caption));
                a->setToolTip(qs(b.ToolTipText));
                a->setEnabled(b.Enabled);
            }
            a->setVisible(b.Visible);
        }
    };
    return w;
}

} // namespace qz::views
