#include "views/word/DocumentView.h"
#include "views/word/DocumentClipboard.h"
#include "views/word/PageLayout.h"
#include "views/word/PageObjects.h"
#include "views/word/PageRenderer.h"

#include "platform/automation/AutomationError.h"
#include "platform/automation/Text.h"
#include "platform/word/Application.h"
#include "platform/word/Pictures.h"
#include "platform/word/Lists.h"
#include "platform/word/Range.h"
#include "views/host/Text.h"
#include "views/word/ParagraphDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <QTimer>

#include <algorithm>
#include <tuple>
#include <cmath>

namespace qz::views {

DocumentView::DocumentView(word::Document& doc, QWidget* parent) : DocumentView(doc, doc.MainStory(), parent) {}

DocumentView::DocumentView(word::Document& doc, word::Story& story, QWidget* parent)
    : QTextEdit(parent), doc_(doc), story_(story), map_(*document()) {
    setObjectName("DocumentView");
    setUndoRedoEnabled(false);
    setAcceptRichText(false);
    setTextInteractionFlags(Qt::TextEditorInteraction);
    document()->setUndoRedoEnabled(false);
    // Lines are broken by the fonts' own advances, scaled to the zoom, not by
    // the screen's hinted ones, which round each glyph up or down: a line
    // that fits the page's width on paper fits it on screen too.
    document()->setUseDesignMetrics(true);
    // Pages laid out a paragraph at a time, so that an edit lays out again
    // only what it changed.
    layout_ = new PageLayout(document());
    renderer_ = std::make_unique<PageRenderer>(doc_, *layout_, showsMainStory());
    objects_ = std::make_unique<PageObjects>(*this, *renderer_);
    document()->setDocumentLayout(layout_);
    // The text edit lays its document out again, without pages, whenever
    // its viewport's width changes; a scroll bar that comes and goes would
    // change it.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Grey around and between the pages, which are painted white.
    QPalette grey = viewport()->palette();
    grey.setColor(QPalette::Base, QColor(0xE3, 0xE3, 0xE3));
    viewport()->setPalette(grey);
    setPalette(grey);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] { pullSelection(); });
    connect(this, &QTextEdit::selectionChanged, this, [this] { pullSelection(); });
    renderAll();
}

void DocumentView::renderAll() {
    rendering_ = true;
    ++generation_;
    objects_->forget();
    const int scroll = verticalScrollBar()->value();
    document()->clear();
    map_.clear();
    // The headers and footers first: the text keeps clear of them.
    renderer_->setZoom(zoom_);
    renderer_->renderHeadersAndFooters();
    applyPage();
    QTextCursor cursor(document());
    // One edit block: the document is laid out once, not after each run.
    cursor.beginEditBlock();
    renderedTo_ = renderer_->partEnd(story_, 0);
    renderRange(0, renderedTo_, cursor, map_.blocks(), 0);
    cursor.endEditBlock();
    rendering_ = false;
    pushSelection();
    verticalScrollBar()->setValue(scroll);
    viewport()->update();
    scheduleRest();
}

namespace {
// The grey between pages, pixels.
constexpr double kPageGap = 16;
} // namespace

bool DocumentView::paged() const { return showsMainStory(); }

void DocumentView::applyPage() {
    page_ = doc_.PageSetupOf(0);
    // Each section's pages, as tall as the tallest and as wide as the widest.
    std::vector<PageLayout::SectionPage> sections;
    double tallest = std::round(pixels(page_.height)), widest = pixels(page_.width);
    for (int k = 0; showsMainStory() && k < doc_.SectionCount(); ++k) {
        const word::PageSetup p = k == 0 ? page_ : doc_.PageSetupOf(k);
        const double height = std::round(pixels(p.height));
        // The text starts below the header and ends above the footer where
        // they reach past the margins.
        auto top = [&](bool first) {
            const double header = renderer_->marginHeight(k, false, first);
            return kPageGap + std::max(pixels(p.top), header > 0 ? pixels(p.header) + header : 0.0);
        };
        auto bottom = [&](bool first) {
            const double footer = renderer_->marginHeight(k, true, first);
            return kPageGap + height - std::max(pixels(p.bottom), footer > 0 ? pixels(p.footer) + footer : 0.0);
        };
        PageLayout::SectionPage s{top(false), bottom(false), pixels(p.left), std::max(1.0, pixels(p.TextWidth())),
                                  k > 0 && p.continuous};
        if (top(true) != s.top) s.firstTop = top(true);
        if (bottom(true) != s.bottom) s.firstBottom = bottom(true);
        sections.push_back(s);
        tallest = std::max(tallest, height);
        widest = std::max(widest, pixels(p.width));
    }
    const int width = static_cast<int>(widest);
    QTextOption option = document()->defaultTextOption();
    if (option.tabStopDistance() != pixels(page_.defaultTab)) {
        option.setTabStopDistance(pixels(page_.defaultTab));
        document()->setDefaultTextOption(option);
    }
    if (lineWrapMode() != FixedPixelWidth) setLineWrapMode(FixedPixelWidth);
    if (lineWrapColumnOrWidth() != width) setLineWrapColumnOrWidth(width);
    // Each page is the paper and the gap above it; the layout leaves the
    // margins of every page free.
    QTextFrameFormat root = document()->rootFrame()->frameFormat();
    // A header's or footer's own view shows the text between the margins only.
    const double top = kPageGap + (showsMainStory() ? pixels(page_.top) : kPageGap),
                 bottom = showsMainStory() ? pixels(page_.bottom) : kPageGap;
    const double left = pixels(page_.left), right = pixels(page_.right);
    if (root.topMargin() != top || root.bottomMargin() != bottom || root.leftMargin() != left ||
        root.rightMargin() != right || root.padding() != 0 || root.border() != 0) {
        root.setMargin(0);
        root.setPadding(0);
        root.setBorder(0);
        root.setTopMargin(top);
        root.setBottomMargin(bottom);
        root.setLeftMargin(left);
        root.setRightMargin(right);
        document()->rootFrame()->setFrameFormat(root);
    }
    const QSizeF size(width, -1);
    if (document()->pageSize() != size) document()->setPageSize(size);
    layout_->setSections(std::move(sections));
    layout_->setNoteSeparator(noteSeparator());
    layout_->setPageHeight(paged() ? tallest + kPageGap : 0);
    centrePage();
}

void DocumentView::centrePage() {
    const int scrollBar = verticalScrollBar()->sizeHint().width();
    const int room = width() - 2 * frameWidth() - scrollBar - static_cast<int>(pixels(page_.width));
    const int side = std::max(static_cast<int>(kPageGap), room / 2);
    // The space on the right belongs to the viewport, so that what stands
    // out of the page a little needs no scroll bar.
    if (viewportMargins() != QMargins(side, 0, 0, 0)) setViewportMargins(side, 0, 0, 0);
}

void DocumentView::setZoom(double zoom) {
    pageWidth_ = false;
    zoom = std::clamp(zoom, 0.1, 5.0);
    if (zoom == zoom_) return;
    zoom_ = zoom;
    renderAll();
    ensureCursorVisible(); // the same place, at the new scale
}

void DocumentView::zoomToPageWidth() {
    pageWidth_ = true;
    const int scrollBar = verticalScrollBar()->sizeHint().width();
    const double room = width() - 2 * frameWidth() - scrollBar - 2 * kPageGap;
    const double zoom = std::clamp(room / (page_.width / 15.0), 0.1, 5.0);
    // Small changes of the window's width keep the zoom.
    if (std::abs(zoom - zoom_) < 0.01) return centrePage();
    zoom_ = zoom;
    renderAll();
    ensureCursorVisible();
}

void DocumentView::zoomIn() {
    for (double step : kZoomSteps)
        if (step > zoom_ + 1e-6) return setZoom(step);
}

void DocumentView::zoomOut() {
    for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it)
        if (*it < zoom_ - 1e-6) return setZoom(*it);
}

int DocumentView::pageCount() const { return layout_->pageCount(); }

QRectF DocumentView::pageRect(int page) const {
    if (!paged())
        return QRectF(0, kPageGap, pixels(page_.width),
                      std::max(document()->size().height(), showsMainStory() ? pixels(page_.height) : 0.0) - kPageGap);
    const double pitch = layout_->pageHeight();
    const word::PageSetup p = pageSetup(page);
    return QRectF(0, page * pitch + kPageGap, pixels(p.width), std::round(pixels(p.height)));
}

double DocumentView::textBottom(int page) const {
    if (paged()) return layout_->textBottom(page);
    const QRectF r = pageRect(page);
    return r.bottom() - pixels(page_.bottom);
}

word::PageSetup DocumentView::pageSetup(int page) const {
    return paged() ? doc_.PageSetupOf(layout_->pageSection(page)) : page_;
}

DocumentView::~DocumentView() = default;

void DocumentView::paintParagraphBorders(QPainter& p, const QPointF& topLeft, const QRectF& shown) const {
    const int first = cursorForPosition(topLeft.toPoint()).block().blockNumber();
    renderer_->paintParagraphBorders(p, shown, *document(), first, map_, story_);
}

void DocumentView::paintEvent(QPaintEvent* e) {
    {
        QPainter p(viewport());
        const QPointF scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
        p.translate(-scroll);
        const QRectF shown = QRectF(e->rect()).translated(scroll);
        const auto [first, last] = pagesIn(shown);
        for (int k = first; k <= last; ++k) {
            const QRectF page = pageRect(k);
            p.fillRect(page.translated(2, 2), QColor(0xA0, 0xA0, 0xA0));
            p.fillRect(page, Qt::white);
            renderer_->paintMargins(p, k, page);
            objects_->paint(p, k, false);
        }
        paintParagraphBorders(p, shown.topLeft() - scroll, shown);
    }
    QTextEdit::paintEvent(e);
    // Drawings in front of the text, and the notes.
    QPainter p(viewport());
    p.translate(-QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()));
    const auto [first, last] = pagesIn(QRectF(e->rect()).translated(horizontalScrollBar()->value(), verticalScrollBar()->value()));
    for (int k = first; k <= last; ++k) objects_->paint(p, k, true);
}

std::pair<int, int> DocumentView::pagesIn(const QRectF& shown) const {
    // Of the pages laid out so far.
    const double pitch = paged() ? layout_->pageHeight() : pageRect(0).bottom() + 1;
    const int pages = paged() ? static_cast<int>(std::lround(document()->size().height() / pitch)) : 1;
    return {std::max(0, static_cast<int>(shown.top() / pitch)), std::min(pages - 1, static_cast<int>(shown.bottom() / pitch))};
}

void DocumentView::resizeEvent(QResizeEvent* e) {
    QTextEdit::resizeEvent(e);
    // The text edit lays its document out again to its own page size on a
    // resize: the paper's comes back.
    if (pageWidth_) zoomToPageWidth();
    applyPage();
}

void DocumentView::scheduleRest() {
    if (renderedTo_ >= static_cast<long>(story_.size())) return;
    const unsigned generation = generation_;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation != generation_) return;  // drawn again from the start since
        renderMore();
        scheduleRest();
    });
}

void DocumentView::renderMore() {
    const long n = static_cast<long>(story_.size());
    if (renderedTo_ >= n) return;
    rendering_ = true;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    // The part drawn so far ends with a paragraph mark: the next paragraph
    // starts a block of its own.
    cursor.insertBlock();
    const long to = renderer_->partEnd(story_, renderedTo_);
    // A part ends with a plain paragraph: the next one is of the same section.
    renderRange(renderedTo_, to, cursor, map_.blocks(), map_.empty() ? 0 : map_.blocks().back().section);
    renderedTo_ = to;
    cursor.endEditBlock();
    rendering_ = false;
}

void DocumentView::finishRendering() {
    while (renderedTo_ < static_cast<long>(story_.size())) renderMore();
    layout_->layoutAll();
}

int DocumentView::renderRange(long from, long to, QTextCursor& cursor, std::vector<ViewBlock>& out, int section,
                              QTextTable* cell) {
    return renderer_->render(story_, from, to, cursor, out, section, cell);
}

long DocumentView::modelPosition(int viewPos) const {
    return map_.modelPosition(viewPos, static_cast<long>(story_.size()));
}

int DocumentView::viewPosition(long modelPos) const { return map_.viewPosition(modelPos); }

void DocumentView::pullSelection() {
    if (rendering_) return;
    const QTextCursor c = textCursor();
    long a = modelPosition(c.selectionStart()), b = modelPosition(c.selectionEnd());
    // Cells selected across a table: from the first one's start to the last one's end.
    if (QTextTable* table = c.hasComplexSelection() ? c.currentTable() : nullptr) {
        int row = 0, rows = 0, column = 0, columns = 0;
        c.selectedTableCells(&row, &rows, &column, &columns);
        if (rows > 0 && columns > 0) {
            a = modelPosition(table->cellAt(row, column).firstPosition());
            b = modelPosition(table->cellAt(row + rows - 1, column + columns - 1).lastPosition());
        }
    }
    word::Selection& sel = doc_.GetSelection();
    if (sel.GetStory() != &story_) {
        sel.MoveTo(&story_, a, b);
    } else {
        // Where two model positions show as one (either side of a row's
        // start), an end that shows where it stands stays where it is.
        if (!c.hasComplexSelection()) {
            if (viewPosition(sel.Start()) == c.selectionStart()) a = sel.Start();
            if (viewPosition(sel.End()) == c.selectionEnd()) b = sel.End();
        }
        sel.SetRange(a, std::max(a, b));
    }
    // The caret before a field's first shown character is before the field,
    // and so on: where the model puts an edit at the selection.
    sel.LeaveFieldEdges();
}

void DocumentView::pushSelection() {
    const word::Selection& sel = doc_.GetSelection();
    // The selection is in another story's view (a header's) for now.
    if (sel.GetStory() != &story_) return;
    QTextCursor c(document());
    const int a = viewPosition(sel.Start()), b = viewPosition(sel.End());
    rendering_ = true;
    c.setPosition(a);
    if (b != a) c.setPosition(b, QTextCursor::KeepAnchor);
    setTextCursor(c);
    rendering_ = false;
    ensureCursorVisible();
}

bool DocumentView::runStep(const std::function<void()>& change, bool typing) {
    doc_.BeginUndoStep();
    bool ok = true;
    try {
        change();
    } catch (const AutomationError& e) {
        ok = false;
        if (onError) onError(qs(e.Description));
    } catch (const std::exception& e) {
        ok = false;
        if (onError) onError(QString::fromUtf8(e.what()));
    }
    doc_.EndUndoStep(typing);
    return ok;
}

bool DocumentView::edit(const std::function<void()>& change, bool typing) {
    pullSelection();
    const long before = static_cast<long>(story_.size());
    const word::Selection& sel = doc_.GetSelection();
    const long start = sel.Start(), end = sel.End();
    const unsigned numbering = doc_.NumberingChanges();
    // The drawings and notes before the edit, which it moves, takes or brings.
    objects_->refresh();
    const bool ok = runStep(change, typing);
    // List numbers given again may stand anywhere after the edit.
    if (doc_.NumberingChanges() != numbering) {
        renderAll();
        if (onChanged) onChanged();
        return ok;
    }
    const long delta = static_cast<long>(story_.size()) - before;
    // What the edit touched, in positions from before it, with one atom to
    // spare on each side: a removed mark joins the next paragraph.
    const long after = doc_.GetSelection().Start();
    const long from = std::max(0L, std::min(start, after) - 1);
    const long to = std::min(before, std::max(end, after) + std::max(0L, -delta) + 1);
    rerender(from, to, delta, std::min(start, after), std::clamp(std::max(end, after - delta), 0L, before));
    if (onChanged) onChanged();
    return ok;
}

void DocumentView::rerender(long start, long end, long delta, long editStart, long editEnd) {
    if (map_.empty() || renderedTo_ < end) {
        renderAll();
        return;
    }
    // The paragraphs that hold the edit are drawn whole (a paragraph split
    // by page breaks too).
    auto [i, j] = map_.paragraphs(start, end);
    // Tables are drawn whole, but for an edit inside one cell: that cell's
    // paragraphs are drawn again in their place.
    QTextTable* cell = nullptr;
    if (map_.touchesTable(i, j + 1)) {
        std::tie(i, j) = map_.paragraphs(editStart, editEnd);
        cell = map_.cellTableOf(i, j);
        if (!cell) {
            renderAll();
            return;
        }
    }
    // The model range the blocks showed holds the edit. A note it took or
    // brought gives the note marks after it other numbers, anywhere.
    if (objects_->splice(map_[i].start, map_[j].start + map_[j].length, delta)) return renderAll();
    rendering_ = true;
    const bool drawn = renderer_->redraw(story_, *document(), map_, i, j, delta, cell);
    rendering_ = false;
    if (!drawn) return renderAll();
    renderedTo_ += delta;
    pushSelection();
}

void DocumentView::typeText(const QString& text, bool typing) {
    edit([&] { doc_.GetSelection().TypeText(us(QString(text).replace('\n', '\r'))); }, typing);
}

void DocumentView::deleteBackward() {
    edit([&] { doc_.GetSelection().TypeBackspace(); });
}

void DocumentView::newParagraph() {
    pullSelection();
    const auto enter = [this] { doc_.GetSelection().TypeParagraph(); };
    // Ending a list renumbers it: all of it is drawn again.
    if (doc_.GetSelection().EnterEndsList()) editAll(enter);
    else edit(enter, true);
}

void DocumentView::deleteForward() {
    edit([&] { doc_.GetSelection().TypeDelete(); });
}

void DocumentView::undo() {
    if (doc_.Undo() >= 0) showUndoRedo();
}

void DocumentView::redo() {
    if (doc_.Redo() >= 0) showUndoRedo();
}

void DocumentView::showUndoRedo() {
    renderAll();
    // A step in another story (the footer's, undone from the header) leaves
    // this view's caret, and the selection, where they were.
    if (doc_.GetSelection().GetStory() != &story_) pullSelection();
    if (onChanged) onChanged();
    if (onUndoRedo) onUndoRedo();
}

QMimeData* DocumentView::createMimeDataFromSelection() const { return copySelection(doc_); }

void DocumentView::paste(const QMimeData* source) {
    if (!source) return;
    if (holdsStudioAtoms(*source)) {
        edit([&] { doc_.GetSelection().InsertAtoms(studioAtoms(doc_)); });
        return;
    }
    if (source->hasText()) typeText(source->text());
}

void DocumentView::cutToClipboard() {
    pullSelection();
    if (doc_.GetSelection().Start() == doc_.GetSelection().End()) return;
    QApplication::clipboard()->setMimeData(createMimeDataFromSelection());
    deleteForward();
}

void DocumentView::pasteFromClipboard() { paste(QApplication::clipboard()->mimeData()); }

bool DocumentView::canInsertFromMimeData(const QMimeData* source) const { return source->hasText(); }

void DocumentView::insertFromMimeData(const QMimeData* source) { paste(source); }

void DocumentView::contextMenuEvent(QContextMenuEvent* e) {
    // The standard menu would edit the QTextDocument behind the model's back: this one edits the model.
    std::unique_ptr<QMenu> menu(contextMenuAt(e->pos()));
    menu->exec(e->globalPos());
}

void DocumentView::mouseDoubleClickEvent(QMouseEvent* e) {
    // A page's header or footer area double-clicked opens it for editing.
    if (onEditHeaderFooter && showsMainStory()) {
        const QPointF at = e->position() + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
        const double pitch = paged() ? layout_->pageHeight() : pageRect(0).bottom() + 1;
        const QRectF page = pageRect(std::clamp(static_cast<int>(at.y() / pitch), 0, pageCount() - 1));
        const word::PageSetup setup = pageSetup(static_cast<int>(std::lround((page.top() - kPageGap) / pitch)));
        if (page.contains(at) && (at.y() < page.top() + pixels(setup.top) || at.y() > page.bottom() - pixels(setup.bottom)))
            return onEditHeaderFooter(at.y() < page.center().y());
    }
    // A field's shown text double-clicked (either side of the caret place
    // the click is nearest to) runs the field's macro, as a word processor does.
    const long pos = modelPosition(cursorForPosition(e->position().toPoint()).position());
    std::string macro;
    const long begin = onMacroButton ? word::MacroButtonNear(doc_, story_, pos, &macro) : -1;
    if (begin < 0) return QTextEdit::mouseDoubleClickEvent(e);
    doc_.GetSelection().MoveTo(&story_, begin, word::MatchingFieldEnd(story_, begin) + 1);
    pushSelection();
    onMacroButton(macro);
}

void DocumentView::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty()) typeText(e->commitString(), true);
    e->accept();
}

void DocumentView::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Undo)) return undo();
    // Redo by either convention: Ctrl+Y and Ctrl+Shift+Z.
    const auto mods = e->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    if (e->matches(QKeySequence::Redo) || (e->key() == Qt::Key_Y && mods == Qt::ControlModifier) ||
        (e->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier)))
        return redo();
    if (e->matches(QKeySequence::Cut)) return cutToClipboard();
    if (e->matches(QKeySequence::Paste)) return pasteFromClipboard();
    if (e->matches(QKeySequence::Copy) || e->matches(QKeySequence::SelectAll))
        return QTextEdit::keyPressEvent(e);
    switch (e->key()) {
    case Qt::Key_Backspace: return deleteBackward();
    case Qt::Key_Delete: return deleteForward();
    case Qt::Key_Return:
    case Qt::Key_Enter: return newParagraph();
    case Qt::Key_Tab:
        // Ctrl+Tab and Alt+Tab belong to the window (the next document).
        if (mods & (Qt::ControlModifier | Qt::AltModifier)) return e->ignore();
        // In a table Tab goes to the next cell, Shift+Tab to the one before.
        if (moveToCell(mods & Qt::ShiftModifier)) return;
        return typeText("\t", true);
    case Qt::Key_Backtab:
        if (moveToCell(true)) return;
        return e->ignore();
    case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up: case Qt::Key_Down:
    case Qt::Key_Home: case Qt::Key_End: case Qt::Key_PageUp: case Qt::Key_PageDown:
        QTextEdit::keyPressEvent(e);
        // At the document's start the view shows the top of the first
        // page, its margin included, not just the line the cursor is on.
        if (e->key() == Qt::Key_Home && (mods & Qt::ControlModifier) && textCursor().position() == 0) {
            verticalScrollBar()->setValue(verticalScrollBar()->minimum());
            horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
        }
        return;
    default: break;
    }
    const QString text = e->text();
    if (!text.isEmpty() && text[0].isPrint() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return typeText(text, true);
    // Nothing else may change the text behind the model's back.
    e->ignore();
}

void DocumentView::changeCharFormat(const std::function<void(word::CharFormat&)>& change) {
    edit([&] { doc_.GetSelection().ChangeCharFormat(change); });
}

void DocumentView::toggleBold() {
    const bool on = !doc_.Format(doc_.GetSelection().ShownFormat()).bold;
    changeCharFormat([on](word::CharFormat& f) { f.bold = on; });
}

void DocumentView::toggleItalic() {
    const bool on = !doc_.Format(doc_.GetSelection().ShownFormat()).italic;
    changeCharFormat([on](word::CharFormat& f) { f.italic = on; });
}

void DocumentView::toggleUnderline() {
    const bool on = !doc_.Format(doc_.GetSelection().ShownFormat()).underline;
    changeCharFormat([on](word::CharFormat& f) { f.underline = on; });
}

void DocumentView::setFont(const QString& family, int pointSize) {
    const int number = family.isEmpty() ? -1 : doc_.FontNumber(us(family));
    changeCharFormat([&](word::CharFormat& f) {
        if (number >= 0) f.font = number;
        if (pointSize > 0) f.size = std::min(pointSize, 1638) * 2;
    });
}

void DocumentView::setTextColor(const QColor& colour) {
    const int entry = doc_.ColorEntry(colour.isValid() ? static_cast<std::int32_t>(colour.rgb() & 0xFFFFFF) : -1);
    changeCharFormat([entry](word::CharFormat& f) { f.color = entry; });
}

void DocumentView::setHighlight(const QColor& colour) {
    const int entry = colour.isValid() ? doc_.ColorEntry(static_cast<std::int32_t>(colour.rgb() & 0xFFFFFF)) : -1;
    changeCharFormat([entry](word::CharFormat& f) { f.extra = word::WithWord(f.extra, "highlight", entry); });
}

void DocumentView::indent(int steps) {
    edit([&] { doc_.GetSelection().Indent(steps); });
}

void DocumentView::insertPageBreak() { typeText(QString(QChar(0x0C))); }

word::CharFormat DocumentView::modelCharFormat() const { return doc_.Format(doc_.GetSelection().ShownFormat()); }

word::ParaFormat DocumentView::modelParaFormat() const { return doc_.GetSelection().ParagraphFormat(); }

void DocumentView::setAlignment(int alignment) {
    const auto to = static_cast<word::Alignment>(std::clamp(alignment, 0, 3));
    edit([&] { doc_.GetSelection().ChangeParagraphFormat([to](word::ParaFormat& f) { f.alignment = to; }); });
}

bool DocumentView::inTable() const {
    return word::Table::At(doc_, story_, doc_.GetSelection().Start()).has_value();
}

void DocumentView::insertTable(int rows, int columns) {
    edit([&] { doc_.GetSelection().InsertTable(rows, columns); });
}

void DocumentView::insertRows(bool below) {
    edit([&] { doc_.GetSelection().InsertRows(below); });
}

void DocumentView::insertColumn(bool right) {
    edit([&] { doc_.GetSelection().InsertColumn(right); });
}

void DocumentView::deleteRows() {
    edit([&] { doc_.GetSelection().DeleteRows(); });
}

void DocumentView::deleteColumns() {
    edit([&] { doc_.GetSelection().DeleteColumns(); });
}

void DocumentView::deleteTable() {
    edit([&] { doc_.GetSelection().DeleteTable(); });
}

void DocumentView::mergeCells() {
    edit([&] { doc_.GetSelection().MergeCells(); });
}

void DocumentView::shadeCells(const QColor& colour) {
    edit([&] { doc_.GetSelection().ShadeCells(colour.isValid() ? static_cast<std::int32_t>(colour.rgb() & 0xFFFFFF) : -1); });
}

void DocumentView::setCellBorders(int width) {
    edit([&] { doc_.GetSelection().SetCellBorders(width); });
}

bool DocumentView::moveToCell(bool back) {
    pullSelection();
    word::Selection& sel = doc_.GetSelection();
    switch (sel.NextCellMove(back)) {
    case word::CellMove::None: return false;
    case word::CellMove::Stay: return true;
    case word::CellMove::NewRow: edit([&] { sel.MoveToCell(back); }); return true;
    case word::CellMove::Cell: break;
    }
    sel.MoveToCell(back);
    pushSelection();
    return true;
}

bool DocumentView::insertPicture(const QString& fileName) {
    return edit([&] { word::AddPicture(doc_.GetSelection(), us(fileName)); });
}

void DocumentView::insertPageNumber() {
    edit([&] {
        word::Selection& sel = doc_.GetSelection();
        sel.LeaveFieldEdges();
        word::Range at = sel.GetRange();
        at.GetFields().Add(at, word::kFieldPage); // the cursor goes after it
    });
}

bool DocumentView::editAll(const std::function<void()>& change) {
    pullSelection();
    const bool ok = runStep(change, false);
    renderAll();
    if (onChanged) onChanged();
    return ok;
}

void DocumentView::toggleList(bool numbered) {
    editAll([&] {
        word::ListFormat list(doc_.GetSelection().GetRange());
        if (numbered) list.ApplyNumberDefault();
        else list.ApplyBulletDefault();
    });
}

int DocumentView::listType() const { return word::ListFormat(doc_.GetSelection().GetRange()).ListType(); }

void DocumentView::changeParagraphFormat(const word::ParaFormat& was, const word::ParaFormat& now) {
    if (was == now) return;
    edit([&] { doc_.GetSelection().TakeParagraphChanges(was, now); });
}

void DocumentView::changeCharacterFormat(const word::CharFormat& was, const word::CharFormat& now) {
    if (was == now) return;
    edit([&] { doc_.GetSelection().TakeCharacterChanges(was, now); });
}

namespace {

word::TextSearch modelSearch(const DocumentView::Search& s) {
    return {us(s.text), us(s.replacement), s.matchCase, s.wholeWord, s.forward, s.wrap};
}

} // namespace

bool DocumentView::findText(const Search& s) {
    if (s.text.isEmpty()) return false;
    pullSelection();
    const bool found = doc_.GetSelection().FindNext(modelSearch(s));
    pushSelection();
    return found;
}

bool DocumentView::replaceText(const Search& s) {
    if (s.text.isEmpty()) return false;
    pullSelection();
    word::Selection& sel = doc_.GetSelection();
    const word::TextSearch search = modelSearch(s);
    if (sel.SelectsMatch(search)) {
        edit([&] { sel.ReplaceMatch(search); });
        doc_.GetSelection().Collapse(false);
        pushSelection();
    }
    return findText(Search{s.text, s.replacement, s.matchCase, s.wholeWord, true, s.wrap});
}

int DocumentView::replaceAll(const Search& s) {
    if (s.text.isEmpty()) return 0;
    pullSelection();
    int count = 0;
    runStep([&] { count = doc_.GetSelection().ReplaceAll(modelSearch(s)); }, false);
    if (count > 0) {
        renderAll();
        if (onChanged) onChanged();
    }
    return count;
}

QMenu* DocumentView::contextMenuAt(const QPoint& pos) {
    // A click outside the selection moves the cursor there first.
    const int viewPos = cursorForPosition(pos).position();
    QTextCursor c = textCursor();
    if (!c.hasSelection() || viewPos < c.selectionStart() || viewPos > c.selectionEnd()) {
        c.setPosition(viewPos);
        setTextCursor(c);
    }
    pullSelection();
    auto* menu = new QMenu(this);
    menu->setObjectName("documentMenu");
    std::string macro;
    const long begin = word::MacroButtonNear(doc_, story_, modelPosition(viewPos), &macro);
    if (begin >= 0) {
        const long end = word::MatchingFieldEnd(story_, begin) + 1;
        auto select = [this, begin, end] {
            doc_.GetSelection().MoveTo(&story_, begin, end);
            pushSelection();
        };
        menu->addAction("&Open Field", this, [this, select, macro] {
            select();
            if (onMacroButton) onMacroButton(macro);
        })->setEnabled(onMacroButton != nullptr);
        menu->addAction("&Select Field", this, select);
        menu->addAction("&Delete Field", this, [this, select] {
            select();
            edit([this] { doc_.GetSelection().Delete(); }); // the caret where the field was
        });
        menu->addSeparator();
    }
    const bool selected = doc_.GetSelection().Start() < doc_.GetSelection().End();
    menu->addAction("Cu&t", this, [this] { cutToClipboard(); })->setEnabled(selected);
    menu->addAction("&Copy", this, [this] { copy(); })->setEnabled(selected);
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    menu->addAction("&Paste", this, [this] { pasteFromClipboard(); })->setEnabled(clip && clip->hasText());
    menu->addSeparator();
    menu->addAction("P&aragraph...", this, [this] { editParagraph(this); });
    const int list = listType();
    QAction* bullets = menu->addAction("&Bullets", this, [this] { toggleList(false); });
    bullets->setCheckable(true);
    bullets->setChecked(list == word::kListBullet);
    QAction* numbers = menu->addAction("&Numbering", this, [this] { toggleList(true); });
    numbers->setCheckable(true);
    numbers->setChecked(list == word::kListSimpleNumbering);
    return menu;
}

void DocumentView::paintPage(QPainter& p, int page) {
    finishRendering();
    const QRectF rect = pageRect(page);
    p.save();
    p.translate(-rect.topLeft());
    p.fillRect(rect, Qt::white);
    renderer_->paintMargins(p, page, rect);
    paintParagraphBorders(p, rect.topLeft() - QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()), rect);
    objects_->paint(p, page, false);
    // The text of this page only: the layout leaves each page's margins free.
    // As printed: without the tables' grid.
    layout_->setGridShown(false);
    document()->drawContents(&p, rect);
    layout_->setGridShown(true);
    objects_->paint(p, page, true);
    p.restore();
}

} // namespace qz::views
