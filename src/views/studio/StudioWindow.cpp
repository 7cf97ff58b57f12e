#include "views/studio/StudioWindow.h"

#include "designer/ModMsWordCurrentDocument.h"
#include "platform/automation/AutomationError.h"
#include "platform/automation/Text.h"
#include "views/host/Text.h"
#include "views/word/DocumentView.h"
#include "core/ModPrintDialog.h"
#include "views/host/QtPrinter.h"
#include "views/studio/FormatBar.h"
#include "views/studio/RecentFiles.h"
#include "views/word/DocumentPrint.h"
#include "views/word/FindReplaceDialog.h"
#include "views/word/FontDialog.h"
#include "views/word/ParagraphDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <cmath>
#include <QComboBox>

namespace qz::views {

namespace {

constexpr const char* kTitle = "Quorvane Studio";
constexpr const char* kRtfFilter = "Rich Text Format (*.rtf)";

// The captions of the word processor's own menus, as the command-bar model
// holds them so that the add-in can place its menu among them.
const char* const kHostMenus[] = {"&File", "&Edit", "&View", "&Insert", "F&ormat", "T&able", "&Window", "&Help"};

// The author chose not to go on: nothing to report.
struct Declined {};

// Runs a model call; an error becomes a message and false.
template <class F>
bool guarded(QWidget* parent, F&& f) {
    try {
        f();
        return true;
    } catch (const Declined&) {
    } catch (const AutomationError& e) {
        QMessageBox::warning(parent, kTitle, qs(e.Description));
    } catch (const std::exception& e) {
        QMessageBox::warning(parent, kTitle, QString::fromUtf8(e.what()));
    }
    return false;
}

} // namespace

StudioWindow::StudioWindow(word::Application& app, MacroToCommand macroToCommand,
                           CommandHandler handleCmd, QWidget* parent)
    : QMainWindow(parent), app_(app), macroToCommand_(std::move(macroToCommand)),
      handleCmd_(std::move(handleCmd)) {
    setObjectName("StudioWindow");
    setWindowTitle(kTitle);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("documents");
    tabs_->setDocumentMode(true);
    tabs_->setTabsClosable(true);
    setCentralWidget(tabs_);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int i) {
        if (syncing_ || i < 0) return;
        if (auto* v = qobject_cast<DocumentView*>(tabs_->widget(i))) app_.Activate(&v->model());
        activeChanged();
    });
    connect(tabs_, &QTabWidget::tabCloseRequested, this, [this](int i) {
        if (auto* v = qobject_cast<DocumentView*>(tabs_->widget(i))) closeDocument(v->model());
    });
    // The model's menu bar holds the word processor's own menus first, so
    // that the add-in's menu finds the Help menu to stand before.
    word::CommandBarControls& bar = app_.GetCommandBars().ActiveMenuBar().Controls();
    for (const char* caption : kHostMenus)
        if (!bar.Find(caption)) bar.Add(10).Caption = caption;
    buildMenus();
    statusBar();
    resize(1000, 760);
    sync();
}

StudioWindow::~StudioWindow() = default;

DocumentView* StudioWindow::activeView() const { return qobject_cast<DocumentView*>(tabs_->currentWidget()); }

void StudioWindow::message(const QString& text) { QMessageBox::warning(this, kTitle, text); }

void StudioWindow::buildMenus() {
    auto view = [this] { return activeView(); };
    QMenu* file = new QMenu(kHostMenus[0], this);
    file->addAction("&New", QKeySequence::New, this, [this] {
        guarded(this, [&] { app_.GetDocuments().Add(); });
        sync();
    });
    file->addAction("&Open...", QKeySequence::Open, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, "Open", {}, kRtfFilter);
        if (!path.isEmpty()) openFile(path);
    });
    documentActions_ = {
        file->addAction("&Save", QKeySequence::Save, this, [this] { saveActive(false); }),
        file->addAction("Save &As...", QKeySequence::SaveAs, this, [this] { saveActive(true); }),
        file->addAction("&Close", QKeySequence::Close, this, [this] {
            if (DocumentView* v = activeView()) closeDocument(v->model());
        }),
    };
    file->addSeparator();
    documentActions_.push_back(file->addAction("Page Set&up...", this, [this] { pageSetup(); }));
    documentActions_.push_back(file->addAction("Print Pre&view", this, [this] { printPreview(); }));
    documentActions_.push_back(file->addAction("&Print...", QKeySequence::Print, this, [this] { printActive(); }));
    file->addSeparator();
    recentMenu_ = file->addMenu("Recent &Files");
    recentMenu_->setObjectName("Recent Files");
    connect(recentMenu_, &QMenu::aboutToShow, this, [this] { fillRecentMenu(); });
    file->addSeparator();
    file->addAction("E&xit", QKeySequence::Quit, this, [this] { close(); });

    QMenu* edit = new QMenu(kHostMenus[1], this);
    edit->addAction("&Undo", QKeySequence::Undo, this, [view] { if (view()) view()->undo(); });
    QAction* redo = edit->addAction("&Redo", this, [view] { if (view()) view()->redo(); });
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    edit->addSeparator();
    edit->addAction("Cu&t", QKeySequence::Cut, this, [view] { if (view()) view()->cutToClipboard(); });
    edit->addAction("&Copy", QKeySequence::Copy, this, [view] { if (view()) view()->copy(); });
    edit->addAction("&Paste", QKeySequence::Paste, this, [view] { if (view()) view()->pasteFromClipboard(); });
    edit->addSeparator();
    edit->addAction("Select &All", QKeySequence::SelectAll, this, [view] { if (view()) view()->selectAll(); });
    edit->addSeparator();
    edit->addAction("&Find...", QKeySequence::Find, this, [this] { findDialog()->showFor(false); });
    edit->addAction("R&eplace...", QKeySequence(Qt::CTRL | Qt::Key_H), this, [this] { findDialog()->showFor(true); });

    QMenu* viewMenu = new QMenu(kHostMenus[2], this);
    fieldCodes_ = viewMenu->addAction("&Field Codes", QKeySequence(Qt::ALT | Qt::Key_F9), this, [this](bool on) {
        if (!app_.Active()) return;
        app_.ActiveWindow().GetView().ShowFieldCodes = on;
        for (int i = 0; i < tabs_->count(); ++i)
            if (auto* v = qobject_cast<DocumentView*>(tabs_->widget(i))) v->renderAll();
    });
    fieldCodes_->setCheckable(true);
    viewMenu->addSeparator();
    viewMenu->addAction("Zoom &In", QKeySequence::ZoomIn, this, [view] { if (view()) view()->zoomIn(); });
    viewMenu->addAction("Zoom &Out", QKeySequence::ZoomOut, this, [view] { if (view()) view()->zoomOut(); });
    viewMenu->addAction("&100%", QKeySequence(Qt::CTRL | Qt::Key_0), this, [view] { if (view()) view()->setZoom(1.0); });
    viewMenu->addAction("Page &Width", this, [view] { if (view()) view()->zoomToPageWidth(); });

    QMenu* format = new QMenu(kHostMenus[4], this);
    format->addAction("&Bold", QKeySequence::Bold, this, [view] { if (view()) view()->toggleBold(); });
    format->addAction("&Italic", QKeySequence::Italic, this, [view] { if (view()) view()->toggleItalic(); });
    format->addAction("&Underline", QKeySequence::Underline, this, [view] { if (view()) view()->toggleUnderline(); });
    format->addAction("&Font...", this, [view] { editFont(view()); });
    format->addSeparator();
    const char* const aligns[] = {"Align &Left", "&Center", "Align &Right", "&Justify"};
    for (int a = 0; a < 4; ++a)
        format->addAction(aligns[a], this, [view, a] { if (view()) view()->setAlignment(a); });
    format->addSeparator();
    format->addAction("&Increase Indent", this, [view] { if (view()) view()->indent(1); });
    format->addAction("&Decrease Indent", this, [view] { if (view()) view()->indent(-1); });
    format->addAction("Page &Break", QKeySequence(Qt::CTRL | Qt::Key_Return), this,
                      [view] { if (view()) view()->insertPageBreak(); });
    format->addSeparator();
    format->addAction("&Paragraph...", this, [view] { editParagraph(view()); });
    format->addAction("Bu&llets", this, [view] { if (view()) view()->toggleList(false); });
    format->addAction("&Numbering", this, [view] { if (view()) view()->toggleList(true); });
    buildFormatBar();

    windowMenu_ = new QMenu(kHostMenus[6], this);
    connect(windowMenu_, &QMenu::aboutToShow, this, [this] {
        windowMenu_->clear();
        for (int i = 0; i < tabs_->count(); ++i) {
            QAction* a = windowMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(tabs_->tabText(i)));
            a->setCheckable(true);
            a->setChecked(i == tabs_->currentIndex());
            connect(a, &QAction::triggered, this, [this, i] { tabs_->setCurrentIndex(i); });
        }
    });

    QMenu* help = new QMenu(kHostMenus[7], this);
    help->addAction("About &Qt", qApp, &QApplication::aboutQt);

    QMenu* insert = new QMenu(kHostMenus[3], this);
    QMenu* table = new QMenu(kHostMenus[5], this);
    buildInsertAndTableMenus(insert, table);
    viewMenu->addSeparator();
    viewMenu->addAction("&Header and Footer...", this, [this] { editHeaderFooter(true); });
    hostMenus_ = {file, edit, viewMenu, insert, format, table, windowMenu_, help};
    for (QMenu* m : hostMenus_) m->setObjectName(QString(m->title()).remove('&'));
}

QAction* StudioWindow::actionFor(word::CommandBarControl& c, QObject* owner) {
    // The action belongs to the menu or toolbar it is shown in, and goes
    // with it when the bars are built again.
    auto* a = new QAction(qs(c.Caption), owner);
    a->setObjectName(qs(c.OnAction));
    a->setToolTip(qs(c.ToolTipText));
    a->setStatusTip(qs(c.ToolTipText));
    a->setEnabled(c.Enabled);
    const std::string macro = c.OnAction;
    connect(a, &QAction::triggered, this, [this, macro] {
        const int id = macroToCommand_ ? macroToCommand_(macro) : 0;
        if (id != 0) runCommand(id);
    });
    return a;
}

void StudioWindow::fillMenu(QMenu* menu, word::CommandBarControls& controls) {
    for (int i = 1; i <= controls.Count(); ++i) {
        word::CommandBarControl& c = controls.Item(i);
        if (c.Type == 10) {
            QMenu* sub = menu->addMenu(qs(c.Caption));
            sub->setEnabled(c.Enabled);
            sub->setToolTip(qs(c.ToolTipText));
            fillMenu(sub, c.Controls());
        } else {
            menu->addAction(actionFor(c, menu));
        }
    }
}

void StudioWindow::rebuildAddinBars() {
    QMenuBar* bar = menuBar();
    bar->clear();
    for (QMenu* m : addinMenus_) m->deleteLater();
    addinMenus_.clear();
    word::CommandBar& model = app_.GetCommandBars().ActiveMenuBar();
    bar->setEnabled(model.Enabled);
    word::CommandBarControls& controls = model.Controls();
    for (int i = 1; i <= controls.Count(); ++i) {
        word::CommandBarControl& c = controls.Item(i);
        QMenu* host = nullptr;
        for (std::size_t k = 0; k < std::size(kHostMenus); ++k)
            if (equalsNoCaseAscii(c.Caption, kHostMenus[k])) host = hostMenus_[k];
        if (host) {
            bar->addMenu(host);
            continue;
        }
        if (c.Type != 10) {
            bar->addAction(actionFor(c, bar));
            continue;
        }
        auto* menu = new QMenu(qs(c.Caption), this);
        menu->setObjectName(QString(qs(c.Caption)).remove('&'));
        menu->setToolTip(qs(c.ToolTipText));
        menu->setToolTipsVisible(true);
        menu->setEnabled(c.Enabled);
        fillMenu(menu, c.Controls());
        bar->addMenu(menu);
        addinMenus_.push_back(menu);
    }

    for (QToolBar* t : addinBars_) {
        removeToolBar(t);
        t->deleteLater();
    }
    addinBars_.clear();
    word::CommandBars& bars = app_.GetCommandBars();
    for (int i = 2; i <= bars.Count(); ++i) {
        word::CommandBar& b = bars.Item(i);
        if (!b.Visible) continue;
        auto* t = new QToolBar(qs(b.Name), this);
        t->setObjectName(qs(b.Name));
        t->setEnabled(b.Enabled);
        t->setToolButtonStyle(Qt::ToolButtonTextOnly);
        for (int k = 1; k <= b.Controls().Count(); ++k) t->addAction(actionFor(b.Controls().Item(k), t));
        // The add-in's bars stand on the first row, the formatting bar on the second.
        if (formatBar_) insertToolBar(formatBar_, t);
        else addToolBar(t);
        addinBars_.push_back(t);
    }
    if (formatBar_) {
        removeToolBarBreak(formatBar_);
        insertToolBarBreak(formatBar_);
    }
}

void StudioWindow::sync() {
    syncing_ = true;
    word::Documents& docs = app_.GetDocuments();
    // Tabs of documents that are gone close; new documents get a tab.
    for (int i = tabs_->count() - 1; i >= 0; --i) {
        auto* v = qobject_cast<DocumentView*>(tabs_->widget(i));
        bool open = false;
        for (int k = 1; k <= docs.Count() && !open; ++k) open = &docs.Item(k) == &v->model();
        if (!open) {
            tabs_->removeTab(i);
            delete v;
        }
    }
    for (int k = 1; k <= docs.Count(); ++k) {
        word::Document& d = docs.Item(k);
        bool shown = false;
        for (int i = 0; i < tabs_->count() && !shown; ++i)
            shown = &qobject_cast<DocumentView*>(tabs_->widget(i))->model() == &d;
        if (shown) continue;
        auto* v = new DocumentView(d, tabs_);
        v->onChanged = [this, v] {
            const int i = tabs_->indexOf(v);
            if (i >= 0) tabs_->setTabText(i, documentLabel(v->model()) + (v->model().Saved() ? "" : " *"));
        };
        v->onError = [this](const QString& text) { statusBar()->showMessage(text, 5000); };
        v->onEditHeaderFooter = [this](bool header) { editHeaderFooter(header); };
        v->onMacroButton = [this](const std::string& macro) {
            const int id = macroToCommand_ ? macroToCommand_(macro) : 0;
            if (id != 0) runCommand(id);
        };
        connect(v, &QTextEdit::cursorPositionChanged, this, [this, v] {
            if (v == activeView()) updateFormatBar();
        });
        tabs_->addTab(v, documentLabel(d));
    }
    for (int i = 0; i < tabs_->count(); ++i) {
        auto* v = qobject_cast<DocumentView*>(tabs_->widget(i));
        tabs_->setTabText(i, documentLabel(v->model()) + (v->model().Saved() ? "" : " *"));
        if (&v->model() == app_.Active()) tabs_->setCurrentIndex(i);
    }
    syncing_ = false;
    const word::Document* active = app_.Active();
    for (QAction* a : documentActions_) a->setEnabled(active != nullptr);
    setWindowTitle(active ? documentLabel(*active) + " - " + kTitle : QString(kTitle));
    if (active) fieldCodes_->setChecked(app_.ActiveWindow().GetView().ShowFieldCodes);
    if (active != lastActive_) activeChanged();
    else rebuildAddinBars();
}

void StudioWindow::pageSetup() {
    DocumentView* v = activeView();
    if (!v) return;
    word::Document& doc = v->model();
    v->pullSelection();
    // The section the cursor is in: the section marks before it.
    int section = 0;
    const word::Story& story = doc.MainStory();
    for (long i = 0, at = doc.GetSelection().Start(); i < at && i < static_cast<long>(story.size()); ++i) {
        const word::Atom& a = story[static_cast<std::size_t>(i)];
        if (a.Kind() == word::AtomKind::ParaEnd && doc.ParaEnd(a.value).word == "sect") ++section;
    }
    section = std::min(section, doc.SectionCount() - 1);
    word::PageSetup page = doc.PageSetupOf(section);
    struct Paper {
        const char* name;
        int width, height;
    };
    static constexpr Paper kPapers[] = {{"A4", 11906, 16838}, {"Letter", 12240, 15840}, {"Legal", 12240, 20160},
                                        {"A5", 8391, 11906}};
    QDialog dialog(this);
    dialog.setWindowTitle("Page Setup");
    auto* form = new QFormLayout(&dialog);
    auto* paper = new QComboBox(&dialog);
    paper->setObjectName("paper");
    const int shortSide = std::min(page.width, page.height), longSide = std::max(page.width, page.height);
    for (const Paper& p : kPapers) paper->addItem(p.name);
    paper->addItem(QString("Other (%1 x %2 cm)").arg(shortSide / 567.0, 0, 'f', 1).arg(longSide / 567.0, 0, 'f', 1));
    paper->setCurrentIndex(static_cast<int>(std::size(kPapers)));
    for (std::size_t k = 0; k < std::size(kPapers); ++k)
        if (std::abs(kPapers[k].width - shortSide) < 30 && std::abs(kPapers[k].height - longSide) < 30)
            paper->setCurrentIndex(static_cast<int>(k));
    form->addRow("&Paper:", paper);
    auto* orientation = new QComboBox(&dialog);
    orientation->setObjectName("orientation");
    orientation->addItems({"Portrait", "Landscape"});
    orientation->setCurrentIndex(page.width > page.height ? 1 : 0);
    form->addRow("&Orientation:", orientation);
    auto margin = [&](const char* label, const char* name, int twips) {
        auto* box = new QDoubleSpinBox(&dialog);
        box->setObjectName(name);
        box->setSuffix(" cm");
        box->setDecimals(2);
        box->setRange(0, 20);
        box->setSingleStep(0.25);
        box->setValue(twips / 567.0);
        form->addRow(label, box);
        return box;
    };
    QDoubleSpinBox* top = margin("&Top:", "top", page.top);
    QDoubleSpinBox* bottom = margin("&Bottom:", "bottom", page.bottom);
    QDoubleSpinBox* left = margin("&Left:", "left", page.left);
    QDoubleSpinBox* right = margin("&Right:", "right", page.right);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return;
    if (paper->currentIndex() < static_cast<int>(std::size(kPapers))) {
        page.width = kPapers[paper->currentIndex()].width;
        page.height = kPapers[paper->currentIndex()].height;
    } else {
        page.width = shortSide;
        page.height = longSide;
    }
    page.landscape = orientation->currentIndex() == 1;
    if (page.landscape) std::swap(page.width, page.height);
    auto twips = [](const QDoubleSpinBox* box) { return static_cast<int>(std::lround(box->value() * 567)); };
    page.top = twips(top);
    page.bottom = twips(bottom);
    page.left = twips(left);
    page.right = twips(right);
    doc.BeginUndoStep();
    guarded(this, [&] { doc.SetPageSetup(section, page); });
    doc.EndUndoStep();
    v->renderAll();
    if (v->onChanged) v->onChanged();
}

void StudioWindow::buildFormatBar() {
    formatBar_ = new FormatBar([this] { return activeView(); }, this);
    addToolBar(Qt::TopToolBarArea, formatBar_);
    insertToolBarBreak(formatBar_);
}

void StudioWindow::updateFormatBar() { formatBar_->showFormat(); }

QString StudioWindow::documentLabel(const word::Document& d) const {
    auto name = [](const word::Document& x) { return qs(x.Caption.empty() ? x.Name() : x.Caption); };
    auto named = [&](const word::Document& x) {
        QString label = name(x);
        word::Documents& docs = app_.GetDocuments();
        for (int k = 1; k <= docs.Count(); ++k) {
            const word::Document& other = docs.Item(k);
            if (&other != &x && name(other) == label) return x.Path().empty() ? label : label + " (" + qs(x.Path()) + ")";
        }
        return label;
    };
    const QString label = named(d);
    // Alike even so (one name in one folder): numbered in the order opened.
    int alike = 0, number = 0;
    word::Documents& docs = app_.GetDocuments();
    for (int k = 1; k <= docs.Count(); ++k) {
        if (named(docs.Item(k)) != label) continue;
        ++alike;
        if (&docs.Item(k) == &d) number = alike;
    }
    return alike > 1 ? QStringLiteral("%1 [%2]").arg(label).arg(number) : label;
}

void StudioWindow::activeChanged() {
    lastActive_ = app_.Active();
    setWindowTitle(lastActive_ ? documentLabel(*lastActive_) + " - " + kTitle : QString(kTitle));
    // The designer recomputes its state for the document now active.
    if (handleCmd_) handleCmd_(100);
    rebuildAddinBars();
    if (DocumentView* v = activeView()) v->setFocus();
    updateFormatBar();
}

void StudioWindow::runCommand(int id) {
    DocumentView* v = activeView();
    if (v) v->pullSelection();
    word::Document* before = app_.Active();
    if (before) before->BeginUndoStep();
    try {
        if (handleCmd_) handleCmd_(id);
    } catch (...) {
        // The designer reports its own errors; nothing may end the program.
    }
    if (before) {
        // The document may have been closed by the command.
        bool open = false;
        for (int k = 1; k <= app_.GetDocuments().Count() && !open; ++k) open = &app_.GetDocuments().Item(k) == before;
        if (open) before->EndUndoStep();
    }
    if (v && app_.Active() == &v->model()) v->renderAll();
    // The pointer left the command's button while its windows were open: the
    // button's status tip would stay in the status bar.
    statusBar()->clearMessage();
    sync();
    // The author goes on typing where the command left the caret, once its
    // windows have closed.
    if (DocumentView* now = activeView()) {
        activateWindow();
        now->setFocus();
    }
}

bool StudioWindow::openFile(const QString& path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::string lockedBy;
    const bool ok = guarded(this, [&] {
        word::Document& d = app_.GetDocuments().Open(us(path));
        d.ClearUndo();
        lockedBy = d.LockedBy();
    });
    QApplication::restoreOverrideCursor();
    if (ok) addRecentFile(path);
    sync();
    if (!lockedBy.empty()) {
        // Told, without holding up the window: the document is someone else's to save.
        auto* box = new QMessageBox(QMessageBox::Information, kTitle,
                                    QStringLiteral("%1 is open for editing by %2.\n\nIt opens read-only here: "
                                                   "save your changes under another name.")
                                        .arg(QFileInfo(path).fileName(), qs(lockedBy)),
                                    QMessageBox::Ok, this);
        box->setObjectName("lockedNotice");
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    return ok;
}

bool StudioWindow::saveActive(bool askName) {
    DocumentView* v = activeView();
    if (!v) return false;
    word::Document& d = v->model();
    QString path = qs(d.FullName());
    if (askName || d.Path().empty()) {
        path = QFileDialog::getSaveFileName(this, "Save As", path, kRtfFilter);
        if (path.isEmpty()) return false;
        if (QFileInfo(path).suffix().isEmpty()) path += ".rtf";
    }
    const std::string before = d.FullName();
    const bool ok = guarded(this, [&] {
        if (!askName && !d.Path().empty()) {
            if (d.ChangedOnDisk()) {
                // Someone else wrote the file since: replaced only on the author's word.
                const auto answer = QMessageBox::question(
                    this, kTitle,
                    QStringLiteral("%1 was changed by someone else since it was opened here.\n\n"
                                   "Replace it with this document? Their changes would be lost; "
                                   "choose No and use Save As to keep both.")
                        .arg(qs(d.FullName())),
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
                if (answer != QMessageBox::Yes) throw Declined{};
                d.OverwriteDiskChanges();
            }
            d.Save();
            return;
        }
        if (const std::string refusal = designer::ModMsWordCurrentDocument(app_).SaveAsRefusal(us(path));
            !refusal.empty())
            throw AutomationError(word::kErrBadFileName, "WordProcessor", refusal);
        d.SaveAs(us(path));
    });
    if (ok) addRecentFile(qs(d.FullName()));
    sync();
    // A new name is a change of the active document for the designer.
    if (ok && d.FullName() != before) activeChanged();
    return ok;
}

bool StudioWindow::closeDocument(word::Document& doc) {
    if (!doc.Saved()) {
        app_.Activate(&doc);
        sync();
        const auto answer = QMessageBox::question(
            this, kTitle, QStringLiteral("Do you want to save the changes to %1?").arg(qs(doc.Name())),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Cancel) return false;
        if (answer == QMessageBox::Save && !saveActive(false)) return false;
    }
    syncing_ = true;
    for (int i = 0; i < tabs_->count(); ++i) {
        auto* v = qobject_cast<DocumentView*>(tabs_->widget(i));
        if (&v->model() != &doc) continue;
        tabs_->removeTab(i);
        delete v;
        break;
    }
    syncing_ = false;
    app_.GetDocuments().Close(doc);
    sync();
    return true;
}

void StudioWindow::closeEvent(QCloseEvent* e) {
    while (app_.GetDocuments().Count() > 0) {
        if (!closeDocument(app_.GetDocuments().Item(app_.GetDocuments().Count()))) {
            e->ignore();
            return;
        }
    }
    e->accept();
}

void StudioWindow::fillRecentMenu() {
    recentMenu_->clear();
    const QStringList files = recentFiles();
    for (int k = 0; k < files.size(); ++k) {
        const QString path = files[k];
        QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(k + 1).arg(QFileInfo(path).fileName()));
        a->setToolTip(path);
        a->setStatusTip(path);
        connect(a, &QAction::triggered, this, [this, path] { openRecent(path); });
    }
    if (files.isEmpty()) recentMenu_->addAction("(none)")->setEnabled(false);
}

bool StudioWindow::openRecent(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        removeRecentFile(path);
        message(QStringLiteral("%1 no longer exists (it was moved, renamed or deleted).\n\n"
                               "It is taken off the list of recent files.").arg(path));
        return false;
    }
    return openFile(path);
}

FindReplaceDialog* StudioWindow::findDialog() {
    if (!find_) find_ = new FindReplaceDialog([this] { return activeView(); }, this);
    return find_;
}

void StudioWindow::printActive() {
    DocumentView* v = activeView();
    if (!v) return;
    // Printing to a file, the dialog proposes this document's own file: the
    // one it was printed to before, else one named after it beside the last
    // file printed; never another document's, which it would overwrite.
    const std::string document = v->model().FullName();
    std::string& output = ui::CurrentPrinter().OutputFileName;
    if (!output.empty()) {
        const auto before = printedTo_.find(document);
        output = before != printedTo_.end()
                     ? before->second
                     : us(QFileInfo(qs(output)).dir().filePath(QFileInfo(qs(v->model().Name())).completeBaseName() + ".pdf"));
    }
    if (!ShowPrinterDialog(nullptr, 0)) return;
    auto* backend = dynamic_cast<QtPrinterBackend*>(&ui::printerBackend());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = guarded(this, [&] {
        if (!backend) throw std::runtime_error("No printer is set up for the studio.");
        printDocument(*v, *backend, ui::CurrentPrinter());
    });
    QApplication::restoreOverrideCursor();
    if (ok && !backend->outputFile().empty()) printedTo_[document] = backend->outputFile();
    if (ok && !backend->outputFile().empty())
        statusBar()->showMessage(QStringLiteral("Printed to %1").arg(qs(backend->outputFile())), 8000);
}

void StudioWindow::printPreview() {
    if (DocumentView* v = activeView()) previewDocument(*v, this);
}

} // namespace qz::views
