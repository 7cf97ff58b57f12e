#include "views/host/QtUiHost.h"

#include "platform/automation/AutomationError.h"
#include "views/host/Text.h"
#include "views/host/ViewRegistry.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextBrowser>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <memory>
#include <type_traits>

namespace qz::views {

namespace {

constexpr const char* kSource = "UiHost";

[[noreturn]] void fail(const std::string& description) {
    throw AutomationError(kErrorFail, kSource, description);
}

bool onGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// Runs f on the GUI thread and hands back its result or its exception. Windows
// exist only there; a caller on another thread waits for the answer.
template <typename F>
auto onGui(F&& f) -> decltype(f()) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        fail("No window can be shown: the desktop application is not running.");
    if (onGuiThread()) return f();
    using R = decltype(f());
    std::exception_ptr error;
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(qApp, [&] {
            try { f(); } catch (...) { error = std::current_exception(); }
        }, Qt::BlockingQueuedConnection);
        if (error) std::rethrow_exception(error);
    } else {
        std::optional<R> result;
        QMetaObject::invokeMethod(qApp, [&] {
            try { result.emplace(f()); } catch (...) { error = std::current_exception(); }
        }, Qt::BlockingQueuedConnection);
        if (error) std::rethrow_exception(error);
        return std::move(*result);
    }
}

// The window that owns a new dialog: the modal one in front, else the active one.
QWidget* owner() {
    if (QWidget* w = QApplication::activeModalWidget()) return w;
    return QApplication::activeWindow();
}

// Texts from the system may carry CR LF line ends.
QString plain(const std::string& text) { return qs(text).replace("\r\n", "\n").replace('\r', '\n'); }

// Swallows Escape and the close box: a message box without a way out but
// its buttons, as Abort/Retry/Ignore is.
class NoEscape : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Close) return true;
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride)
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) return true;
        return QObject::eventFilter(o, e);
    }
};

// The help window: the pages of the help folder in a browser with Back,
// Forward and Contents (the general page).
class HelpWindow : public QWidget {
public:
    explicit HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
        setObjectName("helpWindow");
        setAttribute(Qt::WA_DeleteOnClose);
        browser_ = new QTextBrowser(this);
        browser_->setObjectName("helpBrowser");
        browser_->setOpenExternalLinks(true);
        auto* back = new QPushButton(tr("&Back"), this);
        auto* forward = new QPushButton(tr("&Forward"), this);
        auto* home = new QPushButton(tr("&Contents"), this);
        auto* close = new QPushButton(tr("Close"), this);
        close->setObjectName("helpClose");
        connect(close, &QPushButton::clicked, this, &QWidget::close);

        back->setEnabled(false);
        forward->setEnabled(false);
        connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
        connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
        connect(home, &QPushButton::clicked, this, [this] { browser_->setSource(home_); });
        connect(browser_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
        connect(browser_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
        connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
            const QString title = browser_->documentTitle();
            setWindowTitle(title.isEmpty() ? tr("Help") : title);
        });
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(back);
        buttons->addWidget(forward);
        buttons->addWidget(home);
        buttons->addStretch();
        buttons->addWidget(close);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(buttons);
        layout->addWidget(browser_);
        resize(640, 560);
    }
    void open(const std::string& generalPage, const std::string& page) {
        home_ = QUrl::fromLocalFile(qs(generalPage));
        browser_->setSource(QUrl::fromLocalFile(qs(page)));
    }

protected:
    // Escape closes the window, wherever the focus is in it.
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) close();
        else QWidget::keyPressEvent(e);
    }

private:
    QTextBrowser* browser_;
    QUrl home_;
};

// Message box buttons of each style, with the result each gives, and the
// result of Escape (0: Escape does nothing).
struct MsgButtons {
    QMessageBox::StandardButton buttons[3];
    int results[3];
    int count;
    int escape;
};
constexpr MsgButtons kMsgButtons[6] = {
    {{QMessageBox::Ok}, {ui::vbOK}, 1, ui::vbOK},
    {{QMessageBox::Ok, QMessageBox::Cancel}, {ui::vbOK, ui::vbCancel}, 2, ui::vbCancel},
    {{QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore},
     {ui::vbAbort, ui::vbRetry, ui::vbIgnore}, 3, 0},
    {{QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}, {ui::vbYes, ui::vbNo, ui::vbCancel}, 3,
     ui::vbCancel},
    {{QMessageBox::Yes, QMessageBox::No}, {ui::vbYes, ui::vbNo}, 2, ui::vbNo},
    {{QMessageBox::Retry, QMessageBox::Cancel}, {ui::vbRetry, ui::vbCancel}, 2, ui::vbCancel},
};

// A filter as Qt reads it: "description (patterns)". The description's own
// parenthesised patterns give way to the pattern given; Windows' ";" lists
// and "*.*" (every file) become Qt's.
QString nameFilter(const std::string& description, const std::string& pattern) {
    QString desc = qs(description).trimmed();
    if (desc.endsWith(')')) {
        const qsizetype open = desc.lastIndexOf('(');
        if (open > 0) desc = desc.left(open).trimmed();
    }
    QStringList patterns;
    for (QString p : qs(pattern).split(';', Qt::SkipEmptyParts)) {
        p = p.trimmed();
        patterns << (p == "*.*" ? QStringLiteral("*") : p);
    }
    if (patterns.isEmpty()) patterns << "*";
    return desc + " (" + patterns.join(' ') + ")";
}

// Paper sizes by the printer's numbering.
struct Paper { int code; QPageSize::PageSizeId id; };
constexpr Paper kPapers[] = {
    {1, QPageSize::Letter}, {3, QPageSize::Tabloid}, {4, QPageSize::Ledger}, {5, QPageSize::Legal},
    {7, QPageSize::Executive}, {8, QPageSize::A3}, {9, QPageSize::A4}, {11, QPageSize::A5},
    {12, QPageSize::B4}, {13, QPageSize::B5}, {20, QPageSize::Envelope10},
    {27, QPageSize::EnvelopeDL}, {28, QPageSize::EnvelopeC5}, {34, QPageSize::EnvelopeB5},
    {37, QPageSize::EnvelopeMonarch},
};

// Paper bins: the printer's numbers 1-11 are Qt's 0-10; 14 and 15 are
// Cassette and FormSource.
QPrinter::PaperSource paperSource(int bin) {
    if (bin >= 1 && bin <= 11) return static_cast<QPrinter::PaperSource>(bin - 1);
    if (bin == 14) return QPrinter::Cassette;
    if (bin == 15) return QPrinter::FormSource;
    return QPrinter::Auto;
}
int paperBin(QPrinter::PaperSource s) {
    if (s == QPrinter::Cassette) return 14;
    if (s == QPrinter::FormSource) return 15;
    if (s >= QPrinter::OnlyOne && s <= QPrinter::LargeCapacity) return static_cast<int>(s) + 1;
    return 7;
}

} // namespace

QtUiHost::QtUiHost() = default;

QtUiHost::~QtUiHost() {
    if (&ui::currentHost() == this) ui::setCurrentHost(nullptr);
    for (auto& [form, entry] : views_)
        if (!entry.modal) delete entry.view.data();
    delete help_.data();
    if (QCoreApplication::instance())
        for (; busyDepth_ > 0; --busyDepth_) QApplication::restoreOverrideCursor();
}

FormView* QtUiHost::viewOf(const ui::Form& form) const {
    const auto it = views_.find(&form);
    return it == views_.end() ? nullptr : it->second.view.data();
}

FormView* QtUiHost::makeView(ui::Form& form) {
    // A window still kept for the form from a modeless show goes first.
    if (FormView* old = viewOf(form)) {
        views_.erase(&form);
        old->releaseForm();
        old->hide();
        old->deleteLater();
    }
    FormView* view = createView(form, owner());
    if (!view) fail("The window \"" + form.Name() + "\" cannot be shown.");
    return view;
}

void QtUiHost::showModal(ui::Form& form) {
    onGui([&] {
        std::unique_ptr<FormView> view(makeView(form));
        setFormVisible(form, true);
        views_[&form] = {view.get(), true};
        // However the dialog ends, the form ends hidden and forgotten.
        struct Done {
            QtUiHost& host;
            ui::Form& form;
            ~Done() {
                host.views_.erase(&form);
                setFormVisible(form, false);
            }
        } done{*this, form};
        view->exec();
        // The window went without the form hiding itself: the user closed it.
        if (form.Visible()) view->run([&form] { form.OnClose(); });
    });
}

void QtUiHost::showModeless(ui::Form& form) {
    onGui([&] {
        FormView* view = viewOf(form);
        if (!view || views_[&form].modal) {
            if (view) return;  // already up, modally
            view = makeView(form);
            views_[&form] = {view, false};
        }
        setFormVisible(form, true);
        const bool shown = view->isVisible();
        view->show();
        view->raise();
        // A window already up takes the form's current texts (its show event,
        // which pushes them, does not come again), and the window is drawn
        // now: the caller goes on working and the event loop may not run
        // before the window is hidden again.
        if (shown) view->push();
        if (QLayout* layout = view->layout()) layout->activate();
        view->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
}

void QtUiHost::formClosed(const ui::Form& form) noexcept {
    try {
        if (onGuiThread()) {
            dropView(&form);
        } else if (QCoreApplication::instance()) {
            // Forms of other threads have no windows unless one was shown for
            // them here; the GUI thread looks, by the form's address alone.
            QMetaObject::invokeMethod(qApp, [this, key = &form] { dropView(key); },
                                      Qt::QueuedConnection);
        }
    } catch (...) {
        // Nothing of this may reach the form's Hide.
    }
}

void QtUiHost::formDestroyed(const ui::Form& form) noexcept {
    // The window of a destroyed form forgets it at once, on whatever thread:
    // its controls are gone.
    try {
        if (onGuiThread()) dropView(&form, true);
        else if (QCoreApplication::instance())
            QMetaObject::invokeMethod(qApp, [this, key = &form] { dropView(key, true); },
                                      Qt::QueuedConnection);
    } catch (...) {
    }
}

void QtUiHost::dropView(const ui::Form* key, bool destroyed) {
    const auto it = views_.find(key);
    if (it == views_.end()) return;
    QPointer<FormView> view = it->second.view;
    if (destroyed && view) view->forgetForm();
    if (it->second.modal) {
        // The modal loop ends; showModal forgets the window.
        if (view && view->isVisible()) view->done(QDialog::Accepted);
        return;
    }
    views_.erase(it);
    if (view) {
        // Deleted later, perhaps after the form is gone: it lets go of the
        // form now, while the form's controls are still there.
        if (!destroyed) view->releaseForm();
        view->hide();
        view->deleteLater();
    }
}

int QtUiHost::msgBox(const std::string& prompt, int style, const std::string& title) {
    return onGui([&] {
        int kind = style & 0x7;
        if (kind > 5) kind = 0;
        const MsgButtons& set = kMsgButtons[kind];
        QMessageBox box(owner());
        box.setTextFormat(Qt::PlainText);
        box.setText(plain(prompt));
        box.setWindowTitle(title.empty() ? QApplication::applicationDisplayName() : qs(title));
        switch (style & 0x70) {
        case ui::vbCritical: box.setIcon(QMessageBox::Critical); break;
        case ui::vbQuestion: box.setIcon(QMessageBox::Question); break;
        case ui::vbExclamation: box.setIcon(QMessageBox::Warning); break;
        case ui::vbInformation: box.setIcon(QMessageBox::Information); break;
        default: break;
        }
        QAbstractButton* escape = nullptr;
        for (int i = 0; i < set.count; ++i) {
            QPushButton* b = box.addButton(set.buttons[i]);
            if (set.results[i] == set.escape) escape = b;
        }
        int def = (style >> 8) & 0x3;
        if (def >= set.count) def = 0;
        box.setDefaultButton(set.buttons[def]);
        NoEscape noEscape;
        if (escape) box.setEscapeButton(escape);
        else box.installEventFilter(&noEscape);
        box.exec();
        const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
        for (int i = 0; i < set.count; ++i)
            if (set.buttons[i] == clicked) return set.results[i];
        return set.escape ? set.escape : set.results[def];
    });
}

std::optional<std::string> QtUiHost::inputBox(const std::string& prompt, const std::string& title,
                                              const std::string& defaultText) {
    return onGui([&]() -> std::optional<std::string> {
        QInputDialog dialog(owner());
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setWindowTitle(title.empty() ? QApplication::applicationDisplayName() : qs(title));
        dialog.setLabelText(plain(prompt));
        // The prompt is the caller's text, never markup.
        for (QLabel* label : dialog.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
        dialog.setTextValue(qs(defaultText));
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return us(dialog.textValue());
    });
}

ui::FileDialogResult QtUiHost::fileDialog(const ui::FileDialogRequest& request) {
    return onGui([&] {
        QFileDialog dialog(owner(), qs(request.title));
        dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(!request.save && request.fileMustExist ? QFileDialog::ExistingFile
                                                                  : QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
        QStringList filters;
        for (const auto& [description, pattern] : request.filters)
            filters << nameFilter(description, pattern);
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
                dialog.selectNameFilter(filters[request.filterIndex - 1]);
        }
        if (!request.initialFolder.empty()) dialog.setDirectory(qs(request.initialFolder));
        std::string ext = request.defaultExt;
        if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
        dialog.setDefaultSuffix(qs(ext));
        if (!request.fileName.empty()) dialog.selectFile(qs(request.fileName));
        ui::FileDialogResult result;
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return result;
        result.outcome = ui::FileDialogResult::Ok;
        result.path = us(dialog.selectedFiles().constFirst());
        return result;
    });
}

std::optional<std::string> QtUiHost::folderDialog(const std::string& title,
                                                  const std::string& startFolder) {
    return onGui([&]() -> std::optional<std::string> {
        QFileDialog dialog(owner(), qs(title), qs(startFolder));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return us(dialog.selectedFiles().constFirst());
    });
}

ui::PrintDialogResult QtUiHost::printDialog(const ui::PrintDialogRequest& request) {
    return onGui([&] {
        const ui::PrintSettings& in = request.current;
        QPrinter printer(QPrinter::HighResolution);
        if (!in.printerName.empty()) printer.setPrinterName(qs(in.printerName));
        printer.setCopyCount(std::max(1, in.copies));
        printer.setPageOrientation(in.orientation == 2 ? QPageLayout::Landscape
                                                       : QPageLayout::Portrait);
        for (const Paper& p : kPapers)
            if (p.code == in.paperSize) printer.setPageSize(QPageSize(p.id));
        printer.setDuplex(in.duplex == 2   ? QPrinter::DuplexLongSide
                          : in.duplex == 3 ? QPrinter::DuplexShortSide
                                           : QPrinter::DuplexNone);
        printer.setColorMode(in.colorMode == 1 ? QPrinter::GrayScale : QPrinter::Color);
        printer.setPaperSource(paperSource(in.defaultSource));
        if (in.printQuality > 0) printer.setResolution(in.printQuality);
        if (!in.outputFile.empty()) printer.setOutputFileName(qs(in.outputFile));

        QPrintDialog dialog(&printer, owner());
        dialog.setOption(QAbstractPrintDialog::PrintSelection, request.allowSelection);
        ui::PrintDialogResult result{false, in};
        if (dialog.exec() != QDialog::Accepted) return result;
        result.ok = true;
        ui::PrintSettings& out = result.settings;
        out.printerName = us(printer.printerName());
        out.copies = printer.copyCount();
        out.orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
        const QPageSize::PageSizeId size = printer.pageLayout().pageSize().id();
        for (const Paper& p : kPapers)
            if (p.id == size) out.paperSize = p.code;
        out.duplex = printer.duplex() == QPrinter::DuplexLongSide    ? 2
                     : printer.duplex() == QPrinter::DuplexShortSide ? 3
                                                                     : 1;
        out.colorMode = printer.colorMode() == QPrinter::GrayScale ? 1 : 2;
        out.defaultSource = paperBin(printer.paperSource());
        if (in.printQuality > 0) out.printQuality = printer.resolution();
        out.outputFile = us(printer.outputFileName());
        return result;
    });
}

void QtUiHost::setBusyCursor(bool busy) {
    onGui([&] {
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            ++busyDepth_;
        } else if (busyDepth_ > 0) {
            QApplication::restoreOverrideCursor();
            --busyDepth_;
        }
    });
}

std::intptr_t QtUiHost::showHelp(const std::string& helpFile, ui::HelpCommand command,
                                 std::int32_t data) {
    return onGui([&]() -> std::intptr_t {
        if (command == ui::HelpCloseAll) {
            if (help_) help_->close();
            return 0;
        }
        const std::string page = ui::helpTopicPath(helpFile, command, data);
        if (page.empty()) return 0;
        // A window under the modal dialog in front stays usable beside it.
        QWidget* modal = QApplication::activeModalWidget();
        if (!help_) help_ = new HelpWindow(modal);
        else if (help_->parentWidget() != modal) help_->setParent(modal, help_->windowFlags());
        static_cast<HelpWindow*>(help_.data())->open(helpFile, page);
        help_->show();
        help_->raise();
        help_->activateWindow();
        const auto id = static_cast<std::intptr_t>(help_->winId());
        return id ? id : reinterpret_cast<std::intptr_t>(help_.data());
    });
}

std::string QtUiHost::popupMenu(ui::Form& owner, const ui::Menu& menu, int x, int y,
                                const std::string& defaultItem) {
    return onGui([&]() -> std::string {
        QWidget* window = viewOf(owner);
        QMenu popup(window ? window : QApplication::activeWindow());
        popup.setObjectName(qs(menu.Name));
        for (const ui::MenuItem& item : menu.Items) {
            if (!item.Visible) continue;
            if (item.IsSeparator()) {
                popup.addSeparator();
                continue;
            }
            QAction* action = popup.addAction(qs(item.Caption));
            action->setObjectName(qs(item.Name));
            action->setData(qs(item.Name));
            action->setEnabled(item.Enabled);
            action->setCheckable(item.Checked);
            action->setChecked(item.Checked);
            if (!defaultItem.empty() && item.Name == defaultItem) {
                QFont bold = action->font();
                bold.setBold(true);
                action->setFont(bold);
                popup.setDefaultAction(action);
            }
        }
        const QPoint at = window ? window->mapToGlobal(QPoint(x, y)) : QCursor::pos();
        const QAction* chosen = popup.exec(at);
        return chosen ? us(chosen->data().toString()) : std::string();
    });
}

void QtUiHost::setClipboardText(const std::string& text) {
    onGui([&] { QGuiApplication::clipboard()->setText(qs(text)); });
}

std::string QtUiHost::clipboardText() const {
    return onGui([] { return QGuiApplication::clipboard()->text().toStdString(); });
}

std::string QtUiHost::toolkitVersion() const { return qVersion(); }

} // namespace qz::views
