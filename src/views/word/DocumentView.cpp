#include "views/word/DocumentView.h"
#include "views/word/PageLayout.h"
#include "views/word/PageObjects.h"

#include "platform/automation/AutomationError.h"
#include "platform/automation/Text.h"
#include "platform/word/Application.h"
#include "platform/word/DisplayWalk.h"
#include "platform/word/Pictures.h"
#include "platform/word/Lists.h"
#include "platform/word/Range.h"
#include "views/host/Text.h"
#include "views/word/ParagraphDialog.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QMimeData>
#include <QFileInfo>
#include <QImageReader>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <QTimer>

#include <algorithm>
#include <optional>
#include <map>
#include <cmath>
#include <unordered_map>

namespace qz::views {

namespace {

using word::Atom;
using word::AtomKind;

// A table's text width in each column (a QVariantList of twips), as the
// renderer drew its cells, for a cell drawn again on its own.
constexpr int kCellRoom = QTextFormat::UserProperty + 16;

// What the author changed in a format dialog: the property takes it; one he
// left as shown stays each paragraph's or run's own.
template <class T>
void takeChanged(T& field, const T& shown, const T& chosen) {
    if (shown != chosen) field = chosen;
}

QColor rgbColor(std::int32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// A colour-table entry's colour; invalid for automatic.
QColor tableColor(const word::Document& doc, int entry) {
    const std::int32_t rgb = entry > 0 ? doc.ColorRgb(entry) : -1;
    return rgb >= 0 ? rgbColor(rgb) : QColor();
}

// A paragraph's format as the view draws it, lengths at a zoom; lineEnd is
// where its lines end, twips from the margin.
QTextBlockFormat blockFormat(const word::Document& doc, const word::ParaFormat& p, double zoom, int lineEnd) {
    const double twipsPerPixel = 15.0 / zoom; // at 96 dots per inch
    QTextBlockFormat f;
    static constexpr Qt::Alignment kAlign[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};
    f.setAlignment(kAlign[static_cast<std::size_t>(p.alignment)]);
    // Tab stops count from the margin; the text layout counts them from
    // where the first line starts.
    const int origin = p.leftIndent + p.firstIndent;
    QList<QTextOption::Tab> tabs;
    QVariantList leaders; // one for each tab position
    bool leader = false;
    // A hanging first line's text starts at the indent, as at a tab stop.
    if (p.firstIndent < 0 && p.leftIndent > 0 &&
        std::none_of(p.tabs.begin(), p.tabs.end(), [&](const word::TabStop& t) { return t.position <= p.leftIndent; })) {
        tabs.append(QTextOption::Tab((p.leftIndent - origin) / twipsPerPixel, QTextOption::LeftTab));
        leaders.append(0);
    }
    // A stop at or beyond the line's end stands at its end, as a word
    // processor shows it: a right-aligned value there stays on its line.
    const int end = lineEnd - p.rightIndent - 15;
    for (const word::TabStop& t : p.tabs) {
        if (t.position <= origin) continue;
        using K = word::TabKind;
        const QTextOption::TabType type = t.kind == K::Right     ? QTextOption::RightTab
                                          : t.kind == K::Center  ? QTextOption::CenterTab
                                          : t.kind == K::Decimal ? QTextOption::DelimiterTab
                                                                 : QTextOption::LeftTab;
        tabs.append(QTextOption::Tab((std::min(t.position, end) - origin) / twipsPerPixel, type,
                                     type == QTextOption::DelimiterTab ? QChar('.') : QChar()));
        using L = word::TabLeader;
        static constexpr int kLeader[] = {0, '.', '-', '_', 0x2501, '='};
        const std::size_t l = static_cast<std::size_t>(t.leader);
        leaders.append(l < std::size(kLeader) ? kLeader[l] : 0);
        leader = leader || t.leader != L::None;
    }
    if (!tabs.isEmpty()) f.setTabPositions(tabs);
    if (leader) f.setProperty(PageLayout::kTabLeaders, leaders);
    f.setLeftMargin(p.leftIndent / twipsPerPixel);
    f.setRightMargin(p.rightIndent / twipsPerPixel);
    f.setTextIndent(p.firstIndent / twipsPerPixel);
    f.setTopMargin(p.spaceBefore / twipsPerPixel);
    f.setBottomMargin(p.spaceAfter / twipsPerPixel);
    if (p.pageBreakBefore) f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (p.lineMultiple && p.lineSpacing > 0)
        f.setLineHeight(p.lineSpacing * 100.0 / 240, QTextBlockFormat::ProportionalHeight);
    else if (p.lineSpacing > 0)
        f.setLineHeight(p.lineSpacing / twipsPerPixel, QTextBlockFormat::MinimumHeight);
    else if (p.lineSpacing < 0)
        f.setLineHeight(-p.lineSpacing / twipsPerPixel, QTextBlockFormat::FixedHeight);
    if (const QColor shade = tableColor(doc, p.shading); shade.isValid()) f.setBackground(shade);
    return f;
}

// A linked picture's file, read when it is a plain file of a picture's size.
QImage linkedImage(const std::string& path) {
    const QFileInfo info(qs(path));
    if (path.empty() || !info.isFile() || info.size() > 64LL * 1024 * 1024) return {};
    QImageReader reader(info.filePath());
    reader.setAutoTransform(true);
    return reader.read();
}

// A picture of a kept object at a zoom: PNG and JPEG drawn; other pictures
// a framed box of their size.
QImage pictureImage(const word::Picture& p, double zoom) {
    const double twipsPerPixel = 15.0 / zoom; // at 96 dots per inch
    int w = static_cast<int>(p.width / twipsPerPixel), h = static_cast<int>(p.height / twipsPerPixel);
    constexpr int kLargest = 4000;
    const bool linked = !p.path.empty();
    if (linked || p.kind == word::Picture::Kind::Png || p.kind == word::Picture::Kind::Jpeg) {
        QImage image = linked ? linkedImage(p.path)
                              : QImage::fromData(QByteArray::fromRawData(p.data.data(), static_cast<qsizetype>(p.data.size())));
        if (!image.isNull()) {
            if (w > 0 && h > 0) image = image.scaled(std::min(w, kLargest), std::min(h, kLargest), Qt::IgnoreAspectRatio,
                                                     Qt::SmoothTransformation);
            else if (zoom != 1.0) image = image.scaled(std::min(static_cast<int>(image.width() * zoom), kLargest),
                                                       std::min(static_cast<int>(image.height() * zoom), kLargest),
                                                       Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            return image;
        }
    }
    w = std::clamp(w > 0 ? w : static_cast<int>(96 * zoom), 8, kLargest);
    h = std::clamp(h > 0 ? h : static_cast<int>(96 * zoom), 8, kLargest);
    QImage box(w, h, QImage::Format_ARGB32);
    box.fill(Qt::transparent);
    QPainter painter(&box);
    painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    painter.drawRect(0, 0, w - 1, h - 1);
    return box;
}

} // namespace

DocumentView::DocumentView(word::Document& doc, QWidget* parent) : DocumentView(doc, doc.MainStory(), parent) {}

DocumentView::DocumentView(word::Document& doc, word::Story& story, QWidget* parent)
    : QTextEdit(parent), doc_(doc), story_(story) {
    setObjectName("DocumentView");
    // A header's or footer's own view shows a page number as the first page's.
    if (!showsMainStory()) pageNumber_ = 1;
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
    objects_ = std::make_unique<PageObjects>(*this);
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
    const int scroll = verticalScrollBar()->value();
    document()->clear();
    blocks_.clear();
    applyPage();
    renderHeadersAndFooters();
    QTextCursor cursor(document());
    // One edit block: the document is laid out once, not after each run.
    cursor.beginEditBlock();
    renderedTo_ = chunkEnd(0);
    renderRange(0, renderedTo_, cursor, blocks_, 0);
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
        sections.push_back({kPageGap + pixels(p.top), kPageGap + height - pixels(p.bottom), pixels(p.left),
                            std::max(1.0, pixels(p.TextWidth())), k > 0 && p.continuous});
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

std::unique_ptr<QTextDocument> DocumentView::renderStory(const word::Story& story, int pageNumber, bool* numbered) {
    auto target = std::make_unique<QTextDocument>();
    target->setUndoRedoEnabled(false);
    target->setDocumentMargin(0);
    target->setUseDesignMetrics(true);
    target->setTextWidth(pixels(page_.TextWidth()));
    QTextCursor cursor(target.get());
    std::vector<Block> blocks;
    pageNumber_ = pageNumber;
    pageNumberSeen_ = false;
    renderRange(story, 0, static_cast<long>(story.size()), cursor, blocks, 0);
    pageNumber_ = 0;
    if (numbered) *numbered = pageNumberSeen_;
    return target;
}

void DocumentView::renderHeadersAndFooters() {
    numberedCopies_.clear();
    margins_.clear();
    if (!showsMainStory()) return;
    // Each section's own headers and footers; a section without one of its
    // own goes on with the one of the section before it.
    const int count = std::max(1, doc_.SectionCount());
    margins_.resize(static_cast<std::size_t>(count));
    for (int s = 0; s < count; ++s) {
        const word::Section& sec = doc_.Sections(s + 1);
        const bool title = doc_.PageSetupOf(s).titlePage;
        const int first = title ? word::kHeaderFooterFirstPage : word::kHeaderFooterPrimary;
        const word::HeaderFooter* stories[4] = {&sec.Headers(word::kHeaderFooterPrimary),
                                                &sec.Footers(word::kHeaderFooterPrimary), &sec.Headers(first),
                                                &sec.Footers(first)};
        for (int k = 0; k < 4; ++k) {
            Margin& m = margins_[static_cast<std::size_t>(s)][static_cast<std::size_t>(k)];
            const bool own = stories[k]->Exists() || stories[k]->stated;
            if (!own && s > 0) {
                const Margin& before = margins_[static_cast<std::size_t>(s) - 1][static_cast<std::size_t>(k)];
                m.story = before.story;
                m.numbered = before.numbered;
            } else {
                m.story = stories[k]->Exists() ? &stories[k]->story : nullptr;
            }
            m.shown = m.story ? renderStory(*m.story, 0, &m.numbered) : nullptr;
        }
    }
}

QTextDocument* DocumentView::marginDocument(int slot, int page) {
    if (margins_.empty()) return nullptr;
    const std::size_t section =
        std::min(margins_.size() - 1, static_cast<std::size_t>(std::max(0, paged() ? layout_->pageSection(page) : 0)));
    Margin& m = margins_[section][static_cast<std::size_t>(slot)];
    if (!m.shown || !m.numbered) return m.shown.get();
    // A header or footer with the page's number: one copy a page, the last
    // few pages' kept.
    auto& copy = numberedCopies_[{slot, page}];
    if (!copy) {
        if (numberedCopies_.size() > 64) {
            numberedCopies_.clear();
            return marginDocument(slot, page);
        }
        copy = renderStory(*m.story, page + 1, nullptr);
    }
    return copy.get();
}

void DocumentView::paintMargins(QPainter& p, int page, const QRectF& rect) {
    // A section's first page shows its first-page header and footer.
    const bool first = page == 0 || (paged() && layout_->pageSection(page - 1) != layout_->pageSection(page));
    const int which = first ? 2 : 0;
    const word::PageSetup setup = pageSetup(page);
    paintHeaderOrFooter(p, marginDocument(which, page), rect, setup, true);
    paintHeaderOrFooter(p, marginDocument(which + 1, page), rect, setup, false);
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

word::PageSetup DocumentView::pageSetup(int page) const {
    return paged() ? doc_.PageSetupOf(layout_->pageSection(page)) : page_;
}

void DocumentView::paintHeaderOrFooter(QPainter& p, QTextDocument* d, const QRectF& page, const word::PageSetup& setup,
                                       bool header) const {
    if (!d) return;
    const double y = header ? page.top() + pixels(setup.header)
                            : page.bottom() - pixels(setup.footer) - d->size().height();
    p.save();
    p.translate(page.left() + pixels(setup.left), y);
    d->drawContents(&p);
    p.restore();
}

void DocumentView::paintParagraphBorders(QPainter& p, const QRectF& shown) const {
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const QPoint topLeft = (shown.topLeft() - QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value())).toPoint();
    // The story's last paragraph has no mark of its own; its format is the
    // story's closing properties.
    std::optional<word::ParaFormat> lastFormat;
    for (QTextBlock tb = cursorForPosition(topLeft).block(); tb.isValid(); tb = tb.next()) {
        const QRectF r = layout->blockBoundingRect(tb);
        if (r.top() > shown.bottom()) break;
        const std::size_t n = static_cast<std::size_t>(tb.blockNumber());
        if (n >= blocks_.size() || blocks_[n].table) continue;
        const bool last = blocks_[n].mark == UINT32_MAX;
        if (last && (n + 1 != blocks_.size() || blocks_[n].start + blocks_[n].length != static_cast<long>(story_.size())))
            continue;
        if (last && !lastFormat) {
            const std::string* props = doc_.LastProps(story_);
            lastFormat = props ? word::ParseParaFormat(*props) : word::ParaFormat{};
        }
        const word::ParaFormat& f = last ? *lastFormat : doc_.ParaEnd(blocks_[n].mark).format;
        if (std::none_of(std::begin(f.borders), std::end(f.borders), [](const word::Border& b) { return b.width > 0; }))
            continue;
        // The box around the text: the indents, the space before and after
        // outside it, the border's own spacing inside.
        const double space = pixels(f.borderSpace);
        const QRectF box(r.left() + pixels(f.leftIndent) - space, r.top() + pixels(f.spaceBefore) - space,
                         r.width() - pixels(f.leftIndent) - pixels(f.rightIndent) + 2 * space,
                         r.height() - pixels(f.spaceBefore) - pixels(f.spaceAfter) + 2 * space);
        const QLineF sides[4] = {{box.topLeft(), box.topRight()}, {box.topLeft(), box.bottomLeft()},
                                 {box.bottomLeft(), box.bottomRight()}, {box.topRight(), box.bottomRight()}};
        for (int k = 0; k < 4; ++k) {
            if (f.borders[k].width <= 0) continue;
            const QColor colour = tableColor(doc_, f.borders[k].color);
            PageLayout::drawBorder(&p, sides[k], colour.isValid() ? colour : QColor(Qt::black),
                                   std::max(1.0, pixels(f.borders[k].width)), f.borders[k].doubled);
        }
    }
}

DocumentView::~DocumentView() = default;

void DocumentView::paintEvent(QPaintEvent* e) {
    {
        QPainter p(viewport());
        const QPointF scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
        p.translate(-scroll);
        const QRectF shown = QRectF(e->rect()).translated(scroll);
        // The pages in view, of those laid out so far.
        const double pitch = paged() ? layout_->pageHeight() : pageRect(0).bottom() + 1;
        const int pages = paged() ? static_cast<int>(std::lround(document()->size().height() / pitch)) : 1;
        const int first = std::max(0, static_cast<int>(shown.top() / pitch));
        const int last = std::min(pages - 1, static_cast<int>(shown.bottom() / pitch));
        for (int k = first; k <= last; ++k) {
            const QRectF page = pageRect(k);
            p.fillRect(page.translated(2, 2), QColor(0xA0, 0xA0, 0xA0));
            p.fillRect(page, Qt::white);
            paintMargins(p, k, page);
            objects_->paint(p, k, false);
        }
        paintParagraphBorders(p, shown);
    }
    QTextEdit::paintEvent(e);
    // Drawings in front of the text, and the notes.
    QPainter p(viewport());
    p.translate(-QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()));
    const QRectF shown = QRectF(e->rect()).translated(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const double pitch = paged() ? layout_->pageHeight() : pageRect(0).bottom() + 1;
    const int pages = paged() ? static_cast<int>(std::lround(document()->size().height() / pitch)) : 1;
    for (int k = std::max(0, static_cast<int>(shown.top() / pitch)); k <= std::min(pages - 1, static_cast<int>(shown.bottom() / pitch)); ++k)
        objects_->paint(p, k, true);
}

void DocumentView::resizeEvent(QResizeEvent* e) {
    QTextEdit::resizeEvent(e);
    // The text edit lays its document out again to its own page size on a
    // resize: the paper's comes back.
    if (pageWidth_) zoomToPageWidth();
    applyPage();
}

long DocumentView::chunkEnd(long from) const {
    // A large document is drawn in parts, each ending with a paragraph mark
    // outside any table, so that the first screen shows at once.
    constexpr long kChunk = 200'000;
    const word::Story& story = story_;
    const long n = static_cast<long>(story.size());
    for (long p = from + kChunk; p < n; ++p) {
        const Atom& a = story[static_cast<std::size_t>(p)];
        if (a.Kind() != AtomKind::ParaEnd) continue;
        const word::ParaEndInfo& info = doc_.ParaEnd(a.value);
        if (info.IsPlainParagraph()) return p + 1;
    }
    return n;
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
    const long to = chunkEnd(renderedTo_);
    // A part ends with a plain paragraph: the next one is of the same section.
    renderRange(renderedTo_, to, cursor, blocks_, blocks_.empty() ? 0 : blocks_.back().section);
    renderedTo_ = to;
    cursor.endEditBlock();
    rendering_ = false;
}

void DocumentView::finishRendering() {
    while (renderedTo_ < static_cast<long>(story_.size())) renderMore();
    layout_->layoutAll();
}

int DocumentView::renderRange(long from, long to, QTextCursor& cursor, std::vector<Block>& out, int section,
                              QTextTable* cell) {
    return renderRange(story_, from, to, cursor, out, section, cell);
}

int DocumentView::renderRange(const word::Story& story, long from, long to, QTextCursor& cursor,
                              std::vector<Block>& out, int section, QTextTable* cell) {
    const bool showCodes = doc_.GetApplication() && doc_.GetApplication()->ActiveWindow().GetView().ShowFieldCodes;

    // Maps the display walk's runs to the QTextDocument: blocks, tables,
    // character formats, images, and for each character the model position
    // it shows.
    class Renderer : public word::DisplaySink {
    public:
        Renderer(DocumentView& v, const word::Story& s, QTextCursor& c, std::vector<Block>& o, long from, long to,
                 int section, QTextTable* cell)
            : view(v), doc(v.doc_), story(s), cursor(c), out(o), to(to), zoom(v.zoom_), section(section),
              oneCell(cell != nullptr) {
            block.start = from;
            enterSection();
            codeMark.setForeground(Qt::gray);
            if (cell) {
                table = cell;
                column = cell->cellAt(cursor.position()).column();
                for (const QVariant& room : cell->format().property(kCellRoom).toList()) cellRoom.push_back(room.toInt());
                block.table = true;
            }
        }

        void Show(const word::DisplayRun& r) override {
            using K = word::DisplayRun::Kind;
            if (oneCell && !showInCell(r)) return;
            switch (r.kind) {
            case K::Text:
                put(r.text, charFormat(r.fmt), r.start, true);
                break;
            case K::FieldText:
                if (r.pageNumber) view.pageNumberSeen_ = true;
                if (r.pageNumber && view.pageNumber_ > 0) {
                    const std::u32string number = QString::number(view.pageNumber_).toStdU32String();
                    put(number, charFormat(r.fmt), r.start, false);
                } else if (r.pageNumber && view.paged()) {
                    // In the body the number is that of the page the text
                    // falls on, known only when it is drawn.
                    QTextCharFormat number = charFormat(r.fmt);
                    number.setObjectType(PageLayout::kPageNumberObject);
                    put(std::u32string_view(U"\uFFFC"), number, r.start, false);
                    flush();
                    runFormat = nullptr;
                } else if (r.link) {
                    QTextCharFormat link = charFormat(r.fmt);
                    link.setForeground(QColor(0x05, 0x63, 0xC1));
                    link.setFontUnderline(true);
                    put(r.text, link, r.start, false);
                    flush(); // the run's format is this local one
                    runFormat = nullptr;
                } else {
                    put(r.text, charFormat(r.fmt), r.start, false);
                }
                break;
            case K::CodeMark:
                put(r.text, codeMark, r.start, false);
                break;
            case K::Hidden:
                break;
            case K::PageBreak:
                // The paragraph goes on at the top of the next page, in a
                // block of its own; this one ends with the break.
                endBlock(r.start, r.end, *r.para, true);
                cursor.insertBlock();
                breakBefore = true;
                break;
            case K::Picture: {
                flush();
                const QImage image = pictureImage(*r.picture, zoom);
                const QString name = QStringLiteral("qz-object-%1").arg(story[static_cast<std::size_t>(r.start)].value);
                cursor.document()->addResource(QTextDocument::ImageResource, QUrl(name), image);
                QTextImageFormat f;
                f.setName(name);
                f.setWidth(image.width());
                f.setHeight(image.height());
                cursor.insertImage(f);
                block.map.push_back(static_cast<int>(r.start - block.start));
                break;
            }
            case K::TableStart: {
                flush();
                QTextTableFormat tf;
                tf.setBorder(0.5);
                tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
                tf.setBorderBrush(QColor(0xC0, 0xC0, 0xC0));
                // Each cell's whole width, its boundaries as the row states
                // them from the row's left edge; the text keeps the row's gap
                // from them on each side.
                const int gap = std::max(0, r.row->cellGap);
                tf.setCellPadding(view.pixels(gap));
                tf.setCellSpacing(0);
                tf.setBorderCollapse(true);
                tf.setLeftMargin(view.pixels(r.row->leftEdge));
                QList<QTextLength> widths;
                int last = r.row->leftEdge;
                cellRoom.clear();
                for (int x : r.row->cellRights) {
                    widths.append(QTextLength(QTextLength::FixedLength, view.pixels(std::max(8, x - last))));
                    cellRoom.push_back(std::max(8, x - last - 2 * gap));
                    last = x;
                }
                if (widths.size() == r.columns) tf.setColumnWidthConstraints(widths);
                tf.setProperty(kCellRoom, QVariantList(cellRoom.begin(), cellRoom.end()));
                // The block the table follows shows no atoms of its own.
                out.push_back(Block{r.start, 0, {0}, true, false, UINT32_MAX, section});
                {
                    QTextBlockFormat before = cursor.blockFormat();
                    before.setProperty(PageLayout::kSection, section);
                    before.setProperty(PageLayout::kBeforeTable, true);
                    cursor.setBlockFormat(before);
                }
                table = cursor.insertTable(1, r.columns, tf);
                row = column = cellsInRow = 0;
                cellFirst.assign(1, {out.size()});
                folded.clear();
                cursor = table->cellAt(0, 0).firstCursorPosition();
                block = Block{};
                block.start = r.start;
                block.table = true;
                break;
            }
            case K::RowEnd:
                flush();
                cellFirst.back().push_back(out.size());
                formatCells(*r.row, !r.tableGoesOn);
                // The row's own mark belongs to its last cell's block.
                if (!out.empty()) out.back().length = r.end - out.back().start;
                // A row with fewer cells than the table: the table's cells
                // after its last are none of the row's. They show nothing
                // and their (empty) blocks stand for the place after the row.
                for (int k = cellsInRow; k < table->columns(); ++k) {
                    QTextTableCell cell = table->cellAt(row, k);
                    QTextTableCellFormat cf = cell.format().toTableCellFormat();
                    cf.setProperty(PageLayout::kAbsentCell, true);
                    cell.setFormat(cf);
                    out.push_back(Block{r.end, 0, {0}, true, false, UINT32_MAX, section});
                }
                cellsInRow = 0;
                if (r.tableGoesOn) cellFirst.push_back({out.size()});
                block = Block{};
                block.start = r.end;
                block.table = true;
                if (r.tableGoesOn) {
                    // Rows are made ahead, as many again as the table has:
                    // each call lays the whole table out again, so one row
                    // at a time would take time in the square of the rows.
                    if (++row >= table->rows()) table->appendRows(table->rows());
                    column = 0;
                    cursor = table->cellAt(row, 0).firstCursorPosition();
                } else {
                    // Out of the table, without the rows made ahead: on into
                    // the block the table is followed by.
                    if (row + 1 < table->rows()) table->removeRows(row + 1, table->rows() - row - 1);
                    cursor = table->lastCursorPosition();
                    cursor.movePosition(QTextCursor::NextBlock);
                    table = nullptr;
                    block.table = false;
                    tableEndsRange = r.end >= to;
                }
                break;
            case K::CellEnd:
                endBlock(r.start, r.end, *r.para);
                ++cellsInRow;
                if (r.tableGoesOn) cellFirst.back().push_back(out.size());
                // On to the next cell; a row with more cells than the first
                // one widens the table. After the last cell the row mark follows.
                if (column + 1 < table->columns() || r.tableGoesOn) {
                    if (++column >= table->columns()) table->appendColumns(1);
                    cursor = table->cellAt(row, column).firstCursorPosition();
                }
                break;
            case K::ParagraphEnd:
                endBlock(r.start, r.end, *r.para);
                if (r.sectionEnd) {
                    ++section;
                    enterSection();
                }
                // A mark that ends the story leaves its last paragraph empty,
                // a block of its own.
                if (r.end < to || r.end == storyEnd()) cursor.insertBlock();
                break;
            case K::RangeEnd:
                flush();
                // The story's last paragraph has no mark of its own; a table
                // that ends the range is followed by an empty block.
                if (tableEndsRange) out.push_back(Block{to, 0, {0}, true, false, UINT32_MAX, section});
                else if (block.start < to || out.empty() || !block.map.empty() || to == storyEnd())
                    endBlock(to, to, *r.para);
                break;
            }
        }

    private:
        // Drawing one cell's paragraphs again: the runs of its table go no
        // further than its cell and row marks, which end the range. Whether
        // the run is for Show to draw; false when it has been dealt with, or
        // when the range is not one cell's (then `failed`).
        bool showInCell(const word::DisplayRun& r) {
            using K = word::DisplayRun::Kind;
            const bool first = !shownAny;
            shownAny = true;
            if (failed) return false;
            const bool afterCell = r.kind == K::RowEnd || r.kind == K::RangeEnd;
            if ((cellEnded && !afterCell) || (!cellEnded && r.kind == K::RowEnd) || (r.kind == K::TableStart && !first) ||
                (r.kind == K::ParagraphEnd && r.sectionEnd)) {
                failed = true;
                return false;
            }
            switch (r.kind) {
            case K::TableStart:
                return false;
            case K::CellEnd:
                endBlock(r.start, r.end, *r.para);
                cellEnded = true;
                return false;
            case K::RowEnd:
                out.back().length = r.end - out.back().start;
                block.start = r.end;
                return false;
            case K::RangeEnd:
                // Only as far as a mark: the range ends where a paragraph did.
                failed = block.start != to || !block.map.empty() || out.empty();
                return false;
            default:
                return true;
            }
        }

        // Shading, borders and merges of the row just read; at the table's
        // end the cells merged down are joined.
        void formatCells(const word::RowFormat& f, bool lastRow) {
            const int columns = table->columns();
            for (int k = 0; k < columns && k < static_cast<int>(f.cells.size()); ++k) {
                const word::CellFormat& c = f.cells[static_cast<std::size_t>(k)];
                QTextTableCell cell = table->cellAt(row, k);
                QTextTableCellFormat cf = cell.format().toTableCellFormat();
                // The cell's own edges: from the cell before it (or the
                // row's left edge) to its boundary.
                if (static_cast<std::size_t>(k) < f.cellRights.size()) {
                    cf.setProperty(PageLayout::kCellLeft,
                                   view.pixels(k == 0 ? f.leftEdge : f.cellRights[static_cast<std::size_t>(k) - 1]));
                    cf.setProperty(PageLayout::kCellRight, view.pixels(f.cellRights[static_cast<std::size_t>(k)]));
                }
                if (const QColor shade = tableColor(doc, c.shading); shade.isValid()) cf.setBackground(shade);
                const word::Border* b = c.borders;
                auto side = [&](const word::Border& line, auto setWidth, auto setBrush, auto setStyle) {
                    if (line.width <= 0) return;
                    (cf.*setWidth)(std::max(1.0, view.pixels(line.width)));
                    const QColor colour = tableColor(doc, line.color);
                    (cf.*setBrush)(colour.isValid() ? colour : QColor(Qt::black));
                    (cf.*setStyle)(line.doubled ? QTextFrameFormat::BorderStyle_Double : QTextFrameFormat::BorderStyle_Solid);
                };
                side(b[0], &QTextTableCellFormat::setTopBorder, &QTextTableCellFormat::setTopBorderBrush,
                     &QTextTableCellFormat::setTopBorderStyle);
                side(b[1], &QTextTableCellFormat::setLeftBorder, &QTextTableCellFormat::setLeftBorderBrush,
                     &QTextTableCellFormat::setLeftBorderStyle);
                side(b[2], &QTextTableCellFormat::setBottomBorder, &QTextTableCellFormat::setBottomBorderBrush,
                     &QTextTableCellFormat::setBottomBorderStyle);
                side(b[3], &QTextTableCellFormat::setRightBorder, &QTextTableCellFormat::setRightBorderBrush,
                     &QTextTableCellFormat::setRightBorderStyle);
                cell.setFormat(cf);
                if (c.vmergeFirst) mergeDownFrom[k] = row;
                else if (!c.vmerged) mergeDownFrom.erase(k);
            }
            // Merged across: the first cell takes the ones after it.
            for (int k = 0; k < columns && k < static_cast<int>(f.cells.size()); ++k) {
                if (!f.cells[static_cast<std::size_t>(k)].mergeFirst) continue;
                int span = 1;
                while (k + span < columns && k + span < static_cast<int>(f.cells.size()) &&
                       f.cells[static_cast<std::size_t>(k + span)].merged)
                    ++span;
                if (span > 1 && mergeable(row, k + 1, row, k + span - 1)) {
                    table->mergeCells(row, k, 1, span);
                    // It reaches the last boundary of the cells merged into it.
                    if (static_cast<std::size_t>(k + span) <= f.cellRights.size()) {
                        QTextTableCell cell = table->cellAt(row, k);
                        QTextTableCellFormat cf = cell.format().toTableCellFormat();
                        cf.setProperty(PageLayout::kCellRight,
                                       view.pixels(f.cellRights[static_cast<std::size_t>(k + span) - 1]));
                        cell.setFormat(cf);
                    }
                }
            }
            if (!lastRow) return;
            for (const auto& [k, first] : mergeDownFrom)
                if (row > first && mergeable(first + 1, k, row, k)) table->mergeCells(first, k, row - first + 1, 1);
            mergeDownFrom.clear();
            // Merging drops the block of each cell merged away: its atoms go
            // to the block before it.
            std::sort(folded.rbegin(), folded.rend());
            for (std::size_t idx : folded) {
                if (idx == 0 || idx >= out.size()) continue;
                out[idx - 1].length += out[idx].length;
                out.erase(out.begin() + static_cast<std::ptrdiff_t>(idx));
            }
            folded.clear();
        }

        // Whether the cells [firstRow..lastRow] x [firstColumn..lastColumn]
        // can be merged away: each holds one empty paragraph (the text
        // layout joins the text of merged cells into the first one, which
        // the model does not), and then their blocks are marked as folded.
        bool mergeable(int firstRow, int firstColumn, int lastRow, int lastColumn) {
            for (int r = firstRow; r <= lastRow; ++r)
                for (int c = firstColumn; c <= lastColumn; ++c) {
                    if (r >= static_cast<int>(cellFirst.size())) return false;
                    const std::vector<std::size_t>& v = cellFirst[static_cast<std::size_t>(r)];
                    if (static_cast<std::size_t>(c) + 1 >= v.size()) return false;
                    const std::size_t first = v[static_cast<std::size_t>(c)];
                    if (v[static_cast<std::size_t>(c) + 1] != first + 1 || first >= out.size() || out[first].map.size() != 1)
                        return false;
                }
            for (int r = firstRow; r <= lastRow; ++r)
                for (int c = firstColumn; c <= lastColumn; ++c)
                    folded.push_back(cellFirst[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]);
            return true;
        }

        const QTextCharFormat& charFormat(std::uint32_t id) {
            auto it = formats.find(id);
            if (it != formats.end()) return it->second;
            const word::CharFormat& f = doc.Format(id);
            QTextCharFormat q;
            const word::FontDef* font = doc.FontByNumber(f.font >= 0 ? f.font : doc.deff);
            if (font) q.setFontFamilies({qs(font->name)});
            q.setFontPointSize((f.size > 0 ? f.size / 2.0 : 12.0) * zoom);
            q.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
            q.setFontItalic(f.italic);
            q.setFontUnderline(f.underline);
            if (const QColor colour = tableColor(doc, f.color); colour.isValid()) q.setForeground(colour);
            const word::CharLook& look = doc.Look(id);
            q.setFontStrikeOut(look.strike);
            if (look.smallCaps) q.setFontCapitalization(QFont::SmallCaps);
            if (look.allCaps) q.setFontCapitalization(QFont::AllUppercase);
            if (look.vertical) q.setVerticalAlignment(look.vertical > 0 ? QTextCharFormat::AlignSuperScript
                                                                         : QTextCharFormat::AlignSubScript);
            if (look.spacing) {
                q.setFontLetterSpacingType(QFont::AbsoluteSpacing);
                q.setFontLetterSpacing(view.pixels(look.spacing));
            }
            if (const QColor shade = tableColor(doc, look.shading); shade.isValid()) q.setBackground(shade);
            if (const QColor mark = tableColor(doc, look.highlight); mark.isValid()) q.setBackground(mark);
            return formats.emplace(id, q).first->second;
        }

        // Characters gather in a run of one format; a run goes to the
        // document in one insertion. each: character k shows pos + k, else
        // every character shows pos.
        void put(std::u32string_view text, const QTextCharFormat& fmt, long pos, bool each) {
            if (&fmt != runFormat) {
                flush();
                runFormat = &fmt;
            }
            const int rel = static_cast<int>(pos - block.start);
            for (std::size_t k = 0; k < text.size(); ++k) {
                char32_t c = text[k];
                if (c == 0x0B) c = 0x2028; // a line break inside the paragraph
                const int at = rel + (each ? static_cast<int>(k) : 0);
                if (c > 0xFFFF) {
                    run += static_cast<char16_t>(0xD7C0 + (c >> 10));
                    run += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
                    block.map.push_back(at);
                } else {
                    run += static_cast<char16_t>(c);
                }
                block.map.push_back(at);
            }
        }
        void flush() {
            if (run.empty()) return;
            cursor.insertText(QString::fromUtf16(run.data(), static_cast<qsizetype>(run.size())), *runFormat);
            run.clear();
        }
        long storyEnd() const { return static_cast<long>(story.size()); }
        void endBlock(long endPos, long next, const word::ParaFormat& para, bool continues = false) {
            flush();
            block.map.push_back(static_cast<int>(endPos - block.start));
            block.length = next - block.start;
            block.continues = continues;
            if (endPos < storyEnd() && story[static_cast<std::size_t>(endPos)].Kind() == AtomKind::ParaEnd)
                block.mark = story[static_cast<std::size_t>(endPos)].value;
            const int lineEnd = table && column < static_cast<int>(cellRoom.size()) ? cellRoom[static_cast<std::size_t>(column)]
                                                                                    : textWidth;
            QTextBlockFormat f = blockFormat(doc, para, zoom, lineEnd);
            f.setProperty(PageLayout::kSection, section);
            block.section = section;
            if (breakBefore) f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            breakBefore = false;
            cursor.setBlockFormat(f);
            out.push_back(std::move(block));
            block = Block{};
            block.start = next;
            block.table = table != nullptr;
        }

        // The section's text width, once a section.
        void enterSection() { textWidth = doc.PageSetupOf(section).TextWidth(); }

    public:
        DocumentView& view;
        const word::Document& doc;
        const word::Story& story;
        QTextCursor& cursor;
        std::vector<Block>& out;
        const long to;
        const double zoom;
        int section;     // the section being drawn
        int textWidth = 0;
        bool breakBefore = false; // the next block starts a page
        Block block;
        std::unordered_map<std::uint32_t, QTextCharFormat> formats;
        QTextCharFormat codeMark;
        std::u16string run;
        const QTextCharFormat* runFormat = nullptr;
        QTextTable* table = nullptr;
        int row = 0, column = 0;
        int cellsInRow = 0; // the cells of the row being drawn so far
        std::map<int, int> mergeDownFrom; // column -> the row its cells merged down start in
        // For each row of the table being drawn, the index in `out` of each
        // cell's first block, and then of the block after the row's last.
        std::vector<std::vector<std::size_t>> cellFirst;
        std::vector<std::size_t> folded; // blocks of cells merged away
        std::vector<int> cellRoom;        // each column's text width, twips
        bool tableEndsRange = false;
        const bool oneCell;               // drawing one cell's paragraphs again
        bool shownAny = false, cellEnded = false, failed = false;
    };

    Renderer renderer(*this, story, cursor, out, from, to, section, cell);
    word::WalkDisplay(doc_, story, from, to, showCodes, renderer);
    if (cell && (renderer.failed || out.empty() || out.back().start + out.back().length != to)) return -1;
    return renderer.section;
}

std::size_t DocumentView::blockOf(long modelPos) const {
    // The last block that starts at or before the position.
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), modelPos,
                               [](long pos, const Block& b) { return pos < b.start; });
    return it == blocks_.begin() ? 0 : static_cast<std::size_t>(it - blocks_.begin() - 1);
}

long DocumentView::modelPosition(int viewPos) const {
    const QTextBlock tb = document()->findBlock(viewPos);
    if (!tb.isValid() || tb.blockNumber() >= static_cast<int>(blocks_.size()))
        return static_cast<long>(story_.size());
    const Block& b = blocks_[static_cast<std::size_t>(tb.blockNumber())];
    const int k = std::clamp(viewPos - tb.position(), 0, static_cast<int>(b.map.size()) - 1);
    return b.start + b.map[static_cast<std::size_t>(k)];
}

int DocumentView::viewPosition(long modelPos) const {
    if (blocks_.empty()) return 0;
    const std::size_t n = blockOf(modelPos);
    const Block& b = blocks_[n];
    const QTextBlock tb = document()->findBlockByNumber(static_cast<int>(n));
    const int rel = static_cast<int>(modelPos - b.start);
    const auto it = std::lower_bound(b.map.begin(), b.map.end(), rel);
    const int k = it == b.map.end() ? static_cast<int>(b.map.size()) - 1 : static_cast<int>(it - b.map.begin());
    return tb.position() + k;
}

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
    if (sel.GetStory() != &story_) sel.MoveTo(&story_, a, b);
    else sel.SetRange(a, std::max(a, b));
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

QTextTable* DocumentView::cellTableOf(std::size_t i, std::size_t j) const {
    for (std::size_t k = i; k <= j; ++k)
        if (!blocks_[k].table) return nullptr;
    const QTextBlock first = document()->findBlockByNumber(static_cast<int>(i));
    const QTextBlock last = document()->findBlockByNumber(static_cast<int>(j));
    QTextTable* table = QTextCursor(first).currentTable();
    if (!table || QTextCursor(last).currentTable() != table) return nullptr;
    const QTextTableCell cell = table->cellAt(first.position());
    return cell.isValid() && cell == table->cellAt(last.position()) ? table : nullptr;
}

void DocumentView::rerender(long start, long end, long delta, long editStart, long editEnd) {
    if (blocks_.empty() || renderedTo_ < end) {
        renderAll();
        return;
    }
    std::size_t i = 0, j = 0;
    // The blocks of the paragraphs that hold [from, to]: a paragraph split
    // by page breaks is drawn whole.
    auto paragraphs = [&](long from, long to) {
        i = blockOf(from);
        j = blockOf(std::max(from, to));
        while (i > 0 && blocks_[i - 1].continues) --i;
        while (j + 1 < blocks_.size() && blocks_[j].continues) ++j;
    };
    paragraphs(start, end);
    // Tables are drawn whole, but for an edit inside one cell: that cell's
    // paragraphs are drawn again in their place.
    QTextTable* cell = nullptr;
    for (std::size_t k = i; k <= j + 1 && k < blocks_.size(); ++k)
        if (blocks_[k].table) {
            paragraphs(editStart, editEnd);
            cell = cellTableOf(i, j);
            if (!cell) {
                renderAll();
                return;
            }
            break;
        }
    const long oldFrom = blocks_[i].start;
    const long oldTo = blocks_[j].start + blocks_[j].length;
    const long newTo = oldTo + delta;
    if (newTo < oldFrom || newTo > static_cast<long>(story_.size())) {
        renderAll();
        return;
    }
    rendering_ = true;
    QTextCursor cursor(document());
    const QTextBlock first = document()->findBlockByNumber(static_cast<int>(i));
    const QTextBlock last = document()->findBlockByNumber(static_cast<int>(j));
    cursor.setPosition(first.position());
    cursor.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    QTextCursor group(document());
    group.beginEditBlock();
    cursor.removeSelectedText();
    std::vector<Block> fresh;
    const int section = renderRange(oldFrom, newTo, cursor, fresh, blocks_[i].section, cell);
    group.endEditBlock();
    if (cell && (section < 0 || fresh.empty() || fresh.back().mark != blocks_[j].mark)) {
        rendering_ = false;
        renderAll();
        return;
    }
    // A section break the edit removed or made: the sections after it are others.
    const bool sectionsMoved = j + 1 < blocks_.size() && blocks_[j + 1].section != section;
    for (std::size_t k = j + 1; k < blocks_.size(); ++k) blocks_[k].start += delta;
    renderedTo_ += delta;
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(i), blocks_.begin() + static_cast<std::ptrdiff_t>(j + 1));
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(i), std::make_move_iterator(fresh.begin()),
                   std::make_move_iterator(fresh.end()));
    rendering_ = false;
    // The renderer ends the last paragraph of a range with a block of its
    // own when the range ends without a mark; inside the document that
    // block is the next one's and is already there.
    if (sectionsMoved || static_cast<int>(blocks_.size()) != document()->blockCount()) renderAll();
    else pushSelection();
}

void DocumentView::typeText(const QString& text, bool typing) {
    edit([&] { doc_.GetSelection().TypeText(us(QString(text).replace('\n', '\r'))); }, typing);
}

void DocumentView::deleteBackward() {
    edit([&] { doc_.GetSelection().TypeBackspace(); });
}

void DocumentView::newParagraph() {
    pullSelection();
    const word::Selection& sel = doc_.GetSelection();
    // Enter on an empty item of a list ends the list there: the paragraph
    // leaves it instead of another empty item following.
    if (sel.Start() == sel.End() && sel.ParagraphFormat().list > 0) {
        const long n = static_cast<long>(story_.size());
        long from = sel.Start(), to = sel.Start();
        while (from > 0 && story_[static_cast<std::size_t>(from - 1)].Kind() != AtomKind::ParaEnd) --from;
        while (to < n && story_[static_cast<std::size_t>(to)].Kind() != AtomKind::ParaEnd) ++to;
        bool empty = true;
        for (long p = from; p < to && empty; ++p) empty = word::HoldsListText(doc_, story_, p);
        if (empty) {
            editAll([&] {
                word::Selection& s = doc_.GetSelection();
                word::ListFormat(s.GetRange()).RemoveNumbers();
                // The number is gone: the caret stands at the paragraph's start.
                s.SetRange(from, from);
            });
            return;
        }
    }
    typeText("\r", true);
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

namespace {

// What the studio copied last, with its formats and fields, kept in a
// document of its own so that it outlives the document it came from. Other
// programs get the plain text.
constexpr const char* kAtomsMime = "application/x-quorvane-studio-atoms";

struct StudioClipboard {
    word::Application app;
    word::Document* doc = nullptr;
    QByteArray token;
    unsigned count = 0;
};

StudioClipboard& studioClipboard() {
    static StudioClipboard c;
    return c;
}

} // namespace

QMimeData* DocumentView::createMimeDataFromSelection() const {
    const word::Selection& sel = doc_.GetSelection();
    std::string text = sel.Text();
    std::string plain;
    for (char c : text) {
        if (c == '\r') plain += '\n';
        else if (c != '\x13' && c != '\x15') plain += c;
    }
    auto* mime = new QMimeData;
    mime->setText(qs(plain));
    const word::Story& story = *sel.GetStory();
    if (sel.Start() < sel.End() && word::HoldsWholeFields(story, sel.Start(), sel.End())) {
        StudioClipboard& c = studioClipboard();
        if (c.doc) c.app.GetDocuments().Close(*c.doc);
        c.doc = &c.app.GetDocuments().Add();
        const std::vector<Atom> atoms = word::TransferAtoms(doc_, story, sel.Start(), sel.End(), *c.doc);
        c.doc->MainStory().insert(0, atoms.data(), atoms.size());
        c.token = QByteArray::number(++c.count);
        mime->setData(kAtomsMime, c.token);
    }
    return mime;
}

void DocumentView::paste(const QMimeData* source) {
    if (!source) return;
    StudioClipboard& c = studioClipboard();
    if (c.doc && source->hasFormat(kAtomsMime) && source->data(kAtomsMime) == c.token) {
        edit([&] {
            word::Selection& sel = doc_.GetSelection();
            const std::vector<Atom> atoms =
                word::TransferAtoms(*c.doc, c.doc->MainStory(), 0, static_cast<long>(c.doc->MainStory().size()), doc_);
            sel.InsertAtoms(atoms);
        });
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
    const word::Story& story = story_;
    const long pos = modelPosition(cursorForPosition(e->position().toPoint()).position());
    std::string macro;
    long begin = -1;
    if (onMacroButton && !word::FieldCodesShown(doc_)) {
        begin = word::MacroButtonAt(story, pos, &macro);
        if (begin < 0 && pos > 0) begin = word::MacroButtonAt(story, pos - 1, &macro);
    }
    if (begin < 0) return QTextEdit::mouseDoubleClickEvent(e);
    doc_.GetSelection().MoveTo(&story_, begin, word::MatchingFieldEnd(story, begin) + 1);
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
    const int step = doc_.PageSetupOf(0).defaultTab;
    edit([&] {
        doc_.GetSelection().ChangeParagraphFormat([&](word::ParaFormat& f) {
            f.leftIndent = std::max(0, (f.leftIndent / step + steps) * step);
        });
    });
}

void DocumentView::insertPageBreak() { typeText(QString(QChar(0x0C))); }

word::CharFormat DocumentView::modelCharFormat() const { return doc_.Format(doc_.GetSelection().ShownFormat()); }

word::ParaFormat DocumentView::modelParaFormat() const { return doc_.GetSelection().ParagraphFormat(); }

void DocumentView::setAlignment(int alignment) {
    const auto to = static_cast<word::Alignment>(std::clamp(alignment, 0, 3));
    edit([&] { doc_.GetSelection().ChangeParagraphFormat([to](word::ParaFormat& f) { f.alignment = to; }); });
}

void DocumentView::tableEdit(const std::function<void(word::Table&, const word::CellSpan&)>& change) {
    edit([&] {
        word::Selection& sel = doc_.GetSelection();
        std::optional<word::Table> table = word::Table::At(doc_, story_, sel.Start());
        if (!table) word::RaiseWordError(word::kErrTableEdit, "The cursor is not in a table.");
        change(*table, table->Span(sel.Start(), sel.End()));
    });
}

bool DocumentView::inTable() const {
    return word::Table::At(doc_, story_, doc_.GetSelection().Start()).has_value();
}

void DocumentView::insertTable(int rows, int columns) {
    edit([&] {
        word::Selection& sel = doc_.GetSelection();
        sel.LeaveFieldEdges();
        const word::Table t = word::Table::Add(doc_, story_, sel.Start(), rows, columns);
        sel.SetRange(t.CellStart(0, 0), t.CellStart(0, 0));
    });
}

void DocumentView::insertRows(bool below) {
    tableEdit([&](word::Table& t, const word::CellSpan& span) {
        const int count = span.lastRow - span.firstRow + 1;
        t.InsertRows(below ? span.lastRow : span.firstRow, count, below);
        const int first = below ? span.lastRow + 1 : span.firstRow;
        doc_.GetSelection().SetRange(t.CellStart(first, 0), t.CellStart(first, 0));
    });
}

void DocumentView::insertColumn(bool right) {
    tableEdit([&](word::Table& t, const word::CellSpan& span) {
        t.InsertColumn(right ? span.lastColumn : span.firstColumn, right);
        const int column = std::min(right ? span.lastColumn + 1 : span.firstColumn, t.Columns(span.firstRow) - 1);
        doc_.GetSelection().SetRange(t.CellStart(span.firstRow, column), t.CellStart(span.firstRow, column));
    });
}

void DocumentView::deleteRows() {
    tableEdit([&](word::Table& t, const word::CellSpan& span) {
        t.DeleteRows(span.firstRow, span.lastRow);
        const long at = t.Rows() > 0 ? t.CellStart(std::min(span.firstRow, t.Rows() - 1), 0) : t.Start();
        doc_.GetSelection().SetRange(at, at);
    });
}

void DocumentView::deleteColumns() {
    tableEdit([&](word::Table& t, const word::CellSpan& span) {
        t.DeleteColumns(span.firstColumn, span.lastColumn);
        const long at = t.Rows() > 0 ? t.CellStart(std::min(span.firstRow, t.Rows() - 1), 0) : t.Start();
        doc_.GetSelection().SetRange(at, at);
    });
}

void DocumentView::deleteTable() {
    tableEdit([&](word::Table& t, const word::CellSpan&) {
        t.Delete();
        doc_.GetSelection().SetRange(t.Start(), t.Start());
    });
}

void DocumentView::mergeCells() {
    tableEdit([&](word::Table& t, const word::CellSpan& span) {
        t.MergeCells(span);
        const long at = t.CellMark(span.firstRow, span.firstColumn);
        doc_.GetSelection().SetRange(at, at);
    });
}

void DocumentView::shadeCells(const QColor& colour) {
    tableEdit([&](word::Table& t, const word::CellSpan& span) {
        t.SetShading(span, colour.isValid() ? static_cast<std::int32_t>(colour.rgb() & 0xFFFFFF) : -1);
    });
}

void DocumentView::setCellBorders(int width) {
    tableEdit([&](word::Table& t, const word::CellSpan& span) { t.SetBorders(span, width, -1); });
}

bool DocumentView::moveToCell(bool back) {
    pullSelection();
    word::Selection& sel = doc_.GetSelection();
    std::optional<word::Table> t = word::Table::At(doc_, story_, sel.Start());
    if (!t) return false;
    auto [row, column] = t->CellAt(sel.Start());
    // The cells merged into another are passed over.
    auto hidden = [&](int r, int c) {
        const word::RowFormat f = t->Format(r);
        return c < static_cast<int>(f.cells.size()) && (f.cells[static_cast<std::size_t>(c)].merged ||
                                                        f.cells[static_cast<std::size_t>(c)].vmerged);
    };
    do {
        if (back) {
            if (--column < 0) {
                if (row == 0) return true;
                column = t->Columns(--row) - 1;
            }
        } else if (++column >= t->Columns(row)) {
            column = 0;
            if (++row >= t->Rows()) {
                // After the last cell a new row, like the last one.
                edit([&] {
                    t->InsertRows(row - 1, 1, true);
                    sel.SetRange(t->CellStart(row, 0), t->CellStart(row, 0));
                });
                return true;
            }
        }
    } while (t->Columns(row) == 0 || hidden(row, column));
    sel.SetRange(t->CellStart(row, column), t->CellMark(row, column));
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
    edit([&] {
        doc_.GetSelection().ChangeParagraphFormat([&](word::ParaFormat& f) {
            takeChanged(f.alignment, was.alignment, now.alignment);
            takeChanged(f.leftIndent, was.leftIndent, now.leftIndent);
            takeChanged(f.rightIndent, was.rightIndent, now.rightIndent);
            takeChanged(f.firstIndent, was.firstIndent, now.firstIndent);
            takeChanged(f.spaceBefore, was.spaceBefore, now.spaceBefore);
            takeChanged(f.spaceAfter, was.spaceAfter, now.spaceAfter);
            if (was.lineSpacing != now.lineSpacing || was.lineMultiple != now.lineMultiple) {
                f.lineSpacing = now.lineSpacing;
                f.lineMultiple = now.lineMultiple;
            }
            takeChanged(f.pageBreakBefore, was.pageBreakBefore, now.pageBreakBefore);
            takeChanged(f.tabs, was.tabs, now.tabs);
        });
    });
}

void DocumentView::changeCharacterFormat(const word::CharFormat& was, const word::CharFormat& now) {
    if (was == now) return;
    changeCharFormat([&](word::CharFormat& f) {
        takeChanged(f.font, was.font, now.font);
        takeChanged(f.size, was.size, now.size);
        takeChanged(f.color, was.color, now.color);
        takeChanged(f.bold, was.bold, now.bold);
        takeChanged(f.italic, was.italic, now.italic);
        takeChanged(f.underline, was.underline, now.underline);
    });
}

namespace {

// The search settings of the studio on the selection's Find, put back as
// they were afterwards: the designer's own searches (which look into field
// codes) use the same object.
class StudioFind {
public:
    StudioFind(word::Find& f, const DocumentView::Search& s) : f_(f), saved_(f) {
        f.OutsideFields = true;
        f.MatchCase = s.matchCase;
        f.MatchWholeWord = s.wholeWord;
        f.Wrap = 0;
    }
    ~StudioFind() {
        f_.OutsideFields = saved_.OutsideFields;
        f_.MatchCase = saved_.MatchCase;
        f_.MatchWholeWord = saved_.MatchWholeWord;
        f_.Wrap = saved_.Wrap;
        f_.Forward = saved_.Forward;
    }
    StudioFind(const StudioFind&) = delete;
    StudioFind& operator=(const StudioFind&) = delete;

private:
    word::Find& f_;
    word::Find saved_;
};

} // namespace

bool DocumentView::findText(const Search& s) {
    if (s.text.isEmpty()) return false;
    pullSelection();
    word::Selection& sel = doc_.GetSelection();
    StudioFind settings(sel.GetFind(), s);
    const long start = sel.Start(), end = sel.End();
    const long length = static_cast<long>(sel.GetStory()->size());
    sel.Collapse(!s.forward);
    bool found = sel.GetFind().Execute(us(s.text), 0, {}, s.forward);
    if (!found && s.wrap) {
        sel.SetRange(s.forward ? 0 : length, s.forward ? 0 : length);
        found = sel.GetFind().Execute(us(s.text), 0, {}, s.forward);
    }
    if (!found) sel.SetRange(start, end);
    pushSelection();
    return found;
}

bool DocumentView::replaceText(const Search& s) {
    if (s.text.isEmpty()) return false;
    pullSelection();
    word::Selection& sel = doc_.GetSelection();
    const long start = sel.Start(), end = sel.End();
    bool isMatch = false;
    if (start < end) {
        StudioFind settings(sel.GetFind(), s);
        isMatch = sel.GetFind().Execute(us(s.text), 0, {}, true) && sel.Start() == start && sel.End() == end;
        sel.SetRange(start, end);
    }
    if (isMatch) {
        edit([&] {
            StudioFind settings(sel.GetFind(), s);
            sel.GetFind().Execute(us(s.text), 1, us(s.replacement), true);
        });
        doc_.GetSelection().Collapse(false);
        pushSelection();
    }
    return findText(Search{s.text, s.replacement, s.matchCase, s.wholeWord, true, s.wrap});
}

int DocumentView::replaceAll(const Search& s) {
    if (s.text.isEmpty()) return 0;
    pullSelection();
    word::Selection& sel = doc_.GetSelection();
    const long at = sel.Start();
    int count = 0;
    runStep([&] {
        StudioFind settings(sel.GetFind(), s);
        sel.SetRange(0, 0);
        sel.GetFind().Execute(us(s.text), 2, us(s.replacement), true);
        count = sel.GetFind().Replaced;
    }, false);
    const long n = static_cast<long>(story_.size());
    sel.SetRange(std::min(at, n), std::min(at, n));
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
    const word::Story& story = story_;
    const long at = modelPosition(viewPos);
    std::string macro;
    long begin = -1;
    if (!word::FieldCodesShown(doc_)) {
        begin = word::MacroButtonAt(story, at, &macro);
        if (begin < 0 && at > 0) begin = word::MacroButtonAt(story, at - 1, &macro);
    }
    if (begin >= 0) {
        const long end = word::MatchingFieldEnd(story, begin) + 1;
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
            edit([this] { doc_.GetSelection().GetRange().Delete(); });
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
    paintMargins(p, page, rect);
    paintParagraphBorders(p, rect);
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
