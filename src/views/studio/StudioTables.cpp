// The studio's Insert and Table menus and its header and footer editor:
// every command is an edit of the word model at the active document's
// selection, made by the document view.
#include "views/studio/StudioWindow.h"

#include "platform/word/Range.h"
#include "views/host/Text.h"
#include "views/studio/FormatBar.h"
#include "views/word/DocumentView.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace qz::views {

void StudioWindow::buildInsertAndTableMenus(QMenu* insert, QMenu* table) {
    auto view = [this] { return activeView(); };
    insert->addAction("&Table...", this, [this] { insertTable(); });
    insert->addAction("&Picture...", this, [this] { insertPicture(); });
    insert->addAction("Page &Number", this, [view] { if (view()) view()->insertPageNumber(); });

    table->addAction("&Insert Table...", this, [this] { insertTable(); });
    table->addSeparator();
    // The commands on cells, enabled when the cursor is in a table.
    std::vector<QAction*> inTable;
    auto cells = [&](const char* caption, auto act) { inTable.push_back(table->addAction(caption, this, act)); };
    cells("Insert Rows &Above", [view] { if (view()) view()->insertRows(false); });
    cells("Insert Rows &Below", [view] { if (view()) view()->insertRows(true); });
    cells("Insert Column &Left", [view] { if (view()) view()->insertColumn(false); });
    cells("Insert Column &Right", [view] { if (view()) view()->insertColumn(true); });
    table->addSeparator();
    cells("Delete R&ows", [view] { if (view()) view()->deleteRows(); });
    cells("Delete &Columns", [view] { if (view()) view()->deleteColumns(); });
    cells("&Delete Table", [view] { if (view()) view()->deleteTable(); });
    table->addSeparator();
    cells("&Merge Cells", [view] { if (view()) view()->mergeCells(); });
    cells("Cell &Shading...", [this, view] {
        if (!view()) return;
        const QColor c = QColorDialog::getColor(QColor(0xD9, 0xD9, 0xD9), this, "Cell Shading");
        if (c.isValid()) view()->shadeCells(c);
    });
    cells("No S&hading", [view] { if (view()) view()->shadeCells(QColor()); });
    cells("&Thin Borders", [view] { if (view()) view()->setCellBorders(10); });
    cells("Thic&k Borders", [view] { if (view()) view()->setCellBorders(30); });
    cells("&No Borders", [view] { if (view()) view()->setCellBorders(0); });
    connect(table, &QMenu::aboutToShow, this, [this, inTable] {
        const bool on = activeView() && activeView()->inTable();
        for (QAction* a : inTable) a->setEnabled(on);
    });
    if (formatBar_) {
        formatBar_->addSeparator();
        formatBar_->addAction("Table", this, [this] { insertTable(); })->setToolTip("Insert Table");
        formatBar_->addAction("Picture", this, [this] { insertPicture(); })->setToolTip("Insert Picture");
    }
}

void StudioWindow::insertTable() {
    DocumentView* v = activeView();
    if (!v) return;
    QDialog dialog(this);
    dialog.setObjectName("insertTable");
    dialog.setWindowTitle("Insert Table");
    auto* form = new QFormLayout(&dialog);
    auto count = [&](const char* label, const char* name, int value, int most) {
        auto* box = new QSpinBox(&dialog);
        box->setObjectName(name);
        box->setRange(1, most);
        box->setValue(value);
        form->addRow(label, box);
        return box;
    };
    QSpinBox* columns = count("&Columns:", "columns", 3, 63);
    QSpinBox* rows = count("&Rows:", "rows", 2, 32767);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return;
    v->insertTable(rows->value(), columns->value());
    activateWindow();
    v->setFocus();
}

void StudioWindow::insertPicture() {
    DocumentView* v = activeView();
    if (!v) return;
    // Pictures are kept beside their documents as a rule: the dialog opens
    // in the document's folder (a new document's: the last one used).
    const QString path = QFileDialog::getOpenFileName(this, "Insert Picture", qs(v->model().Path()),
                                                      "Pictures (*.png *.jpg *.jpeg)");
    if (path.isEmpty()) return;
    QString refusal;
    auto shown = v->onError;
    v->onError = [&refusal](const QString& text) { refusal = text; };
    v->insertPicture(path);
    v->onError = shown;
    if (!refusal.isEmpty()) message(refusal);
    activateWindow();
    v->setFocus();
}

void StudioWindow::editHeaderFooter(bool header) {
    DocumentView* main = activeView();
    if (!main) return;
    word::Document& doc = main->model();
    word::Section& section = doc.Sections(1);
    main->pullSelection();
    const long start = doc.GetSelection().Start(), end = doc.GetSelection().End();
    QDialog dialog(this);
    dialog.setObjectName("headerFooter");
    dialog.setWindowTitle("Header and Footer");
    auto* layout = new QVBoxLayout(&dialog);
    auto* bar = new QHBoxLayout;
    layout->addLayout(bar);
    DocumentView* views[2] = {};
    QPointer<DocumentView> current;
    const char* const captions[2] = {"&Header (on every page):", "&Footer (on every page):"};
    word::Story* stories[2] = {&section.Headers(word::kHeaderFooterPrimary).story,
                               &section.Footers(word::kHeaderFooterPrimary).story};
    for (int k = 0; k < 2; ++k) {
        auto* label = new QLabel(captions[k], &dialog);
        auto* v = new DocumentView(doc, *stories[k], &dialog);
        v->setObjectName(k == 0 ? "header" : "footer");
        v->setZoom(main->zoom());
        v->setMinimumHeight(110);
        v->onError = [&dialog](const QString& text) { QMessageBox::warning(&dialog, "Header and Footer", text); };
        label->setBuddy(v);
        layout->addWidget(label);
        layout->addWidget(v, 1);
        views[k] = v;
    }
    current = views[header ? 0 : 1];
    // The formatting bar of the main window, on the view being edited, and
    // the page number.
    auto* formats = new FormatBar([&current] { return current.data(); }, &dialog);
    bar->addWidget(formats, 1);
    auto* pageNumber = new QToolButton(&dialog);
    pageNumber->setText("Page Number");
    pageNumber->setToolTip("Insert the page number");
    pageNumber->setFocusPolicy(Qt::NoFocus);
    connect(pageNumber, &QToolButton::clicked, &dialog, [&current] {
        if (!current) return;
        current->insertPageNumber();
        current->setFocus();
    });
    bar->addWidget(pageNumber);
    const QMetaObject::Connection focus = connect(qApp, &QApplication::focusChanged, &dialog, [&](QWidget*, QWidget* now) {
        for (DocumentView* v : views)
            if (now == v) current = v;
        formats->showFormat();
    });
    for (DocumentView* v : views) {
        connect(v, &QTextEdit::cursorPositionChanged, &dialog, [&, v] {
            if (v == current) formats->showFormat();
        });
        // An undo in one may change the other: both show the document again.
        v->onUndoRedo = [&views, v] {
            for (DocumentView* other : views)
                if (other != v) other->renderAll();
        };
    }
    formats->showFormat();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(std::min(width(), static_cast<int>(main->pixels(doc.PageSetupOf(0).width)) + 80), 420);
    views[header ? 0 : 1]->setFocus();
    dialog.exec();
    // The focus handler uses locals that end before the dialog and its views do.
    disconnect(focus);
    // The page view shows them on every page again, and the cursor goes back to the body.
    doc.GetSelection().MoveTo(&doc.MainStory(), start, end);
    main->renderAll();
    if (main->onChanged) main->onChanged();
    main->setFocus();
}

} // namespace qz::views
