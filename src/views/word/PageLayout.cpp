#include "views/word/PageLayout.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextObjectInterface>

#include <algorithm>
#include <limits>

namespace qz::views {

namespace {

// Rows of a table cell's text keep this much space above and below.
constexpr double kCellPadY = 1;
// What the idle layout does in one go, milliseconds.
constexpr int kIdleSlice = 12;

// Pictures drawn from the document's image resources, at the size their
// format states.
class ImageObject : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    QSizeF intrinsicSize(QTextDocument* doc, int, const QTextFormat& format) override {
        const QTextImageFormat f = format.toImageFormat();
        if (f.width() > 0 && f.height() > 0) return {f.width(), f.height()};
        const QImage image = doc->resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
        return image.isNull() ? QSizeF(16, 16) : QSizeF(image.size());
    }
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* doc, int, const QTextFormat& format) override {
        const QImage image =
            doc->resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name())).value<QImage>();
        if (!image.isNull()) painter->drawImage(rect, image);
    }
};

// Page numbers in the text: each draws the number of the page it stands on.
class PageNumberObject : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    explicit PageNumberObject(const PageLayout& layout) : layout_(layout) {}
    QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat& format) override {
        // As wide as the last page's number as far as the pages are known,
        // and standing on the baseline: as high as the font's ascent.
        const QFontMetricsF m(format.toCharFormat().font());
        return {m.horizontalAdvance(QString::number(layout_.pagesSoFar())), m.ascent()};
    }
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int, const QTextFormat& format) override {
        const QTextCharFormat f = format.toCharFormat();
        painter->save();
        painter->setFont(f.font());
        painter->setPen(f.foreground().style() == Qt::NoBrush ? QColor(Qt::black) : f.foreground().color());
        painter->drawText(QPointF(rect.left(), rect.bottom()),
                          QString::number(layout_.pageAt(rect.center().y()) + 1));
        painter->restore();
    }

private:
    const PageLayout& layout_;
};

// The child of the root frame (a table) that holds the position, if any.
QTextTable* topTableAt(QTextFrame* root, int pos) {
    const QList<QTextFrame*> frames = root->childFrames();
    auto it = std::upper_bound(frames.begin(), frames.end(), pos,
                               [](int p, const QTextFrame* f) { return p < f->firstPosition(); });
    if (it == frames.begin()) return nullptr;
    QTextFrame* f = *(it - 1);
    return pos <= f->lastPosition() ? qobject_cast<QTextTable*>(f) : nullptr;
}

// The style of a cell's border line on side k (top, left, bottom, right).
PageLayout::Line cellLine(const QTextFormat& f, int k) {
    const QVariantList lines = f.property(PageLayout::kCellLines).toList();
    return k < lines.size() ? static_cast<PageLayout::Line>(lines[k].toInt()) : PageLayout::Line::Single;
}

// How far a cell's border line on side k reaches into the cell.
double cellBorderInset(const QTextTableCellFormat& f, int k) {
    const double width = k == 0 ? f.topBorder() : k == 1 ? f.leftBorder() : k == 2 ? f.bottomBorder() : f.rightBorder();
    return width > 0 ? PageLayout::borderReach(cellLine(f, k), width) : 0;
}

QList<QTextLayout::FormatRange> selectionRanges(const QTextBlock& block,
                                                const QAbstractTextDocumentLayout::PaintContext& context) {
    QList<QTextLayout::FormatRange> ranges;
    const int start = block.position(), end = start + block.length() - 1;
    for (const auto& s : context.selections) {
        const int a = std::max(s.cursor.selectionStart(), start), b = std::min(s.cursor.selectionEnd(), end);
        if (b <= a) continue;
        QTextLayout::FormatRange r;
        r.start = a - start;
        r.length = b - a;
        r.format = s.format;
        ranges.append(r);
    }
    return ranges;
}

} // namespace

PageLayout::PageLayout(QTextDocument* doc)
    : QAbstractTextDocumentLayout(doc), images_(std::make_unique<ImageObject>()),
      pageNumbers_(std::make_unique<PageNumberObject>(*this)) {
    registerHandler(QTextFormat::ImageObject, images_.get());
    registerHandler(kPageNumberObject, pageNumbers_.get());
    idle_.setSingleShot(true);
    idle_.setInterval(0);
    connect(&idle_, &QTimer::timeout, this, [this] { layoutWhileIdle(); });
    readGeometry();
    rebuild();
}

PageLayout::~PageLayout() = default;

void PageLayout::setPageHeight(double pitch) {
    pitch = std::max(0.0, pitch);
    if (pitch == pitch_) return;
    pitch_ = pitch;
    repaginate(0, items_.size());
    changed(0);
}

void PageLayout::setSections(std::vector<SectionPage> sections) {
    if (sections == sections_) return;
    sections_ = std::move(sections);
    forgetLayout();
    repaginate(0, items_.size());
    changed(0);
}

// Every item is to be laid out again (the page's width or the section
// geometry changed): heights fall back to estimates until the idle layout
// or the screen reaches them.
void PageLayout::forgetLayout() {
    for (Item& it : items_) {
        it.laid = false;
        it.placed = NAN;
        it.estimate = estimate(it);
    }
    done_ = 0;
    sumHeight_ = sumChars_ = 0;
    idle_.start();
}

PageLayout::SectionPage PageLayout::sectionPage(int section) const {
    if (section >= 0 && static_cast<std::size_t>(section) < sections_.size())
        return sections_[static_cast<std::size_t>(section)];
    if (!sections_.empty()) return sections_.back();
    return {topMargin_, pitch_ - bottomMargin_, left_, textWidth_};
}

int PageLayout::pageSection(int page) const {
    if (items_.empty()) return 0;
    if (!paged()) return items_.front().section;
    // The item that starts on the page, else the one that runs onto it.
    const double top = page * pitch_;
    auto at = std::lower_bound(items_.begin(), items_.end(), top, [](const Item& i, double y) { return i.y < y; });
    if (at != items_.end() && at->y < top + pitch_) return at->section;
    return at == items_.begin() ? at->section : (at - 1)->section;
}

double PageLayout::pageTop(long k, int section) const {
    const SectionPage page = sectionPage(section);
    return k * pitch_ + (!std::isnan(page.firstTop) && firstOfSection(k, section) ? page.firstTop : page.top);
}

double PageLayout::pageBottom(long k, int section) const {
    const SectionPage page = sectionPage(section);
    return k * pitch_ + (!std::isnan(page.firstBottom) && firstOfSection(k, section) ? page.firstBottom : page.bottom);
}

double PageLayout::start() const {
    const int section = items_.empty() ? 0 : items_.front().section;
    if (!paged()) return topMargin_;
    const SectionPage page = sectionPage(section);
    return std::isnan(page.firstTop) ? page.top : page.firstTop;
}

PageLayout::Geometry PageLayout::readGeometry() {
    QTextDocument* doc = document();
    const QSizeF page = doc->pageSize();
    const QTextFrameFormat root = doc->rootFrame()->frameFormat();
    const double pageWidth = page.width() > 0 ? page.width() : doc->textWidth();
    const double left = root.leftMargin(), right = root.rightMargin();
    const double textWidth = std::max(1.0, pageWidth - left - right);
    const QTextOption option = doc->defaultTextOption();
    const bool relayout = textWidth != textWidth_ || option.tabStopDistance() != tabDistance_ ||
                          static_cast<int>(option.wrapMode()) != wrap_;
    const bool moved = left != left_ || root.topMargin() != topMargin_ || root.bottomMargin() != bottomMargin_ ||
                       pageWidth != pageWidth_;
    topMargin_ = root.topMargin();
    bottomMargin_ = root.bottomMargin();
    left_ = left;
    right_ = right;
    pageWidth_ = pageWidth;
    textWidth_ = textWidth;
    tabDistance_ = option.tabStopDistance();
    wrap_ = static_cast<int>(option.wrapMode());
    if (relayout) {
        const QFontMetricsF fm(doc->defaultFont());
        lineGuess_ = fm.lineSpacing();
        charGuess_ = std::max(1.0, fm.averageCharWidth());
    }
    return relayout ? Geometry::Relayout : moved ? Geometry::Moved : Geometry::Same;
}

void PageLayout::scan(int from, int to, std::vector<Item>& out) const {
    QTextDocument* doc = document();
    QTextFrame* root = doc->rootFrame();
    const bool tables = !root->childFrames().isEmpty();
    for (int pos = from; pos < to;) {
        Item it;
        if (QTextTable* t = tables ? topTableAt(root, pos) : nullptr) {
            it.table = t;
            it.pos = t->firstPosition();
            it.len = t->lastPosition() + 1 - it.pos;
        } else {
            const QTextBlock b = doc->findBlock(pos);
            if (!b.isValid()) break;
            it.pos = b.position();
            it.len = b.length();
        }
        if (it.len <= 0 || it.pos + it.len <= pos) break;
        pos = it.pos + it.len;
        it.section = doc->findBlock(it.pos).blockFormat().intProperty(kSection);
        it.estimate = estimate(it);
        out.push_back(std::move(it));
    }
}

void PageLayout::rebuild() {
    items_.clear();
    done_ = 0;
    sumHeight_ = sumChars_ = 0;
    scan(0, document()->characterCount(), items_);
    repaginate(0, items_.size());
    changed(0);
    idle_.start();
}

std::size_t PageLayout::itemAt(int pos) const {
    auto it = std::upper_bound(items_.begin(), items_.end(), pos, [](int p, const Item& i) { return p < i.pos; });
    return it == items_.begin() ? 0 : static_cast<std::size_t>(it - items_.begin() - 1);
}

void PageLayout::documentChanged(int from, int charsRemoved, int charsAdded) {
    const Geometry geometry = readGeometry();
    const bool relayout = geometry == Geometry::Relayout;
    const int length = document()->characterCount();
    const int total = items_.empty() ? 0 : items_.back().pos + items_.back().len;
    if (charsRemoved == 0 && charsAdded == length && total == length) {
        // The page or the document's options changed, not its text.
        if (geometry == Geometry::Same) return;
        if (relayout) forgetLayout();
        repaginate(0, items_.size());
        changed(0);
        return;
    }
    if (items_.empty() || relayout || total - charsRemoved + charsAdded != length) return rebuild();

    // The items the change touched, with one to spare on each side: a
    // removed paragraph mark joins two paragraphs.
    const std::size_t i = itemAt(from) > 0 ? itemAt(from) - 1 : 0;
    const std::size_t j = std::min(items_.size() - 1, itemAt(from + charsRemoved) + 1);
    const int delta = charsAdded - charsRemoved;
    const int scanFrom = items_[i].pos, scanTo = items_[j].pos + items_[j].len + delta;
    std::vector<Item> fresh;
    scan(scanFrom, scanTo, fresh);
    if (fresh.empty() || fresh.back().pos + fresh.back().len != scanTo) return rebuild();
    const double top = items_[i].y;
    const bool inPrefix = j < done_;
    for (std::size_t k = i; k <= j; ++k)
        if (items_[k].laid && !items_[k].table) {
            sumHeight_ -= items_[k].bottom - items_[k].y;
            sumChars_ -= items_[k].len;
        }
    const std::size_t count = fresh.size();
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i), items_.begin() + static_cast<std::ptrdiff_t>(j + 1));
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(i), std::make_move_iterator(fresh.begin()),
                  std::make_move_iterator(fresh.end()));
    for (std::size_t k = i + count; k < items_.size(); ++k) items_[k].pos += delta;
    if (inPrefix) {
        done_ = done_ - (j + 1 - i) + count;
        for (std::size_t k = i; k < i + count; ++k) layoutItem(items_[k]);
    } else {
        done_ = std::min(done_, i);
        idle_.start();
    }
    if (geometry == Geometry::Moved) {
        repaginate(0, items_.size());
        return changed(0);
    }
    repaginate(i, i + count);
    changed(top);
}

double PageLayout::estimate(const Item& it) const {
    if (it.table) return it.table->rows() * (lineGuess_ + 2 * kCellPadY);
    if (sumChars_ > 2000) return std::max(lineGuess_, it.len * sumHeight_ / sumChars_);
    const double perLine = std::max(1.0, textWidth_ / charGuess_);
    return std::ceil(std::max(1, it.len) / perLine) * lineGuess_;
}

double PageLayout::lineHeight(const QTextLine& line, const QTextBlockFormat& f) const {
    const double natural = line.height();
    switch (f.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight: return natural * f.lineHeight() / 100.0;
    case QTextBlockFormat::FixedHeight: return f.lineHeight();
    case QTextBlockFormat::MinimumHeight: return std::max(natural, f.lineHeight());
    case QTextBlockFormat::LineDistanceHeight: return natural + f.lineHeight();
    default: return natural;
    }
}

void PageLayout::fitLine(QTextLine& line, double width, double overhang) {
    // The text layout breaks a line where its last glyph's ink, not its
    // advance, would cross the width: a line of underscores exactly as wide
    // as the page would lose its last one, whose stroke overhangs. Lines
    // are broken by advances, as on paper: the line is laid out with room
    // for an overhang, and again at the width only when its advance does
    // not fit.
    line.setLineWidth(width + overhang);
    if (line.horizontalAdvance() > width + 0.01) line.setLineWidth(width);
}

void PageLayout::layoutParagraph(const QTextBlock& block, double width, Item& it) {
    QTextLayout* tl = block.layout();
    const QTextBlockFormat f = block.blockFormat();
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(f.alignment());
    // Paragraphs run from left to right, as the word processor's do unless
    // they say otherwise: one that starts with a Hebrew list number too.
    option.setTextDirection(f.layoutDirection() == Qt::RightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    if (!f.tabPositions().isEmpty()) option.setTabs(f.tabPositions());
    tl->setTextOption(option);
    const double left = f.leftMargin(), right = f.rightMargin();
    it.before = f.topMargin();
    it.after = f.bottomMargin();
    it.breakBefore = f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
    it.lines.clear();
    double y = it.before;
    // Room for a glyph's ink past its advance: half an em of the
    // paragraph's font (its size in points, at 96 pixels an inch).
    const double overhang = std::max(1.0, block.charFormat().fontPointSize() * 96.0 / 72.0 / 2);
    tl->beginLayout();
    for (bool first = true;; first = false) {
        QTextLine line = tl->createLine();
        if (!line.isValid()) break;
        const double x = left + (first ? f.textIndent() : 0);
        fitLine(line, std::max(1.0, width - right - x), overhang);
        line.setPosition(QPointF(x, y));
        const double h = lineHeight(line, f);
        it.lines.push_back(h);
        y += h;
    }
    tl->endLayout();
    it.notes.clear();
    for (const QVariant& note : f.property(kNotes).toList()) {
        const QVariantList n = note.toList();
        if (n.size() != 2) continue;
        const QTextLine line = tl->lineForTextPosition(std::clamp(n[0].toInt(), 0, std::max(0, block.length() - 1)));
        if (line.isValid()) it.notes.emplace_back(static_cast<std::size_t>(line.lineNumber()), n[1].toDouble());
    }
    if (f.boolProperty(kBeforeTable)) {
        it.before = it.after = 0;
        std::fill(it.lines.begin(), it.lines.end(), 0.0);
    }
    it.placed = NAN;
}

void PageLayout::measureTable(QTextTable* table, double left, double width, TableBox& box) {
    const QTextTableFormat tf = table->format();
    const int rows = table->rows(), columns = table->columns();
    // Column boundaries: the widths the table states (each cell's whole
    // width, its padding inside), or equal shares of the width.
    std::vector<double> x(static_cast<std::size_t>(columns) + 1, left + tf.leftMargin());
    const QList<QTextLength> widths = tf.columnWidthConstraints();
    for (int c = 0; c < columns; ++c) {
        double w = width / columns;
        if (widths.size() == columns) {
            const QTextLength& l = widths[c];
            w = l.type() == QTextLength::FixedLength        ? l.rawValue()
                : l.type() == QTextLength::PercentageLength ? width * l.rawValue() / 100
                                                            : w;
        }
        x[static_cast<std::size_t>(c) + 1] = x[static_cast<std::size_t>(c)] + std::max(1.0, w);
    }
    box.left = x.front();
    box.right = x.back();
    const double pad = tf.cellPadding();
    box.rowHeight.assign(static_cast<std::size_t>(rows), 0.0);
    box.rowNotes.assign(static_cast<std::size_t>(rows), 0.0);
    std::vector<bool> exact(static_cast<std::size_t>(rows), false); // rows of an exact height
    struct Span { int first, last; double height; };
    std::vector<Span> spans;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (!cell.isValid() || cell.row() != r || cell.column() != c) continue;
            if (cell.format().boolProperty(kAbsentCell)) continue;
            const int last = std::min(rows, r + cell.rowSpan()) - 1;
            const QTextFormat cellFormat = cell.format();
            const bool ownEdges = cellFormat.hasProperty(kCellRight);
            const double cx = ownEdges ? left + cellFormat.doubleProperty(kCellLeft) : x[static_cast<std::size_t>(c)];
            const double cw = ownEdges ? std::max(1.0, left + cellFormat.doubleProperty(kCellRight) - cx)
                                       : x[static_cast<std::size_t>(std::min(columns, c + cell.columnSpan()))] - cx;
            box.left = std::min(box.left, cx);
            box.right = std::max(box.right, cx + cw);
            // The text keeps clear of the cell's border lines.
            const QTextTableCellFormat borders = cellFormat.toTableCellFormat();
            const double textLeft = cx + std::max(pad, cellBorderInset(borders, 1));
            const double inner = std::max(1.0, cx + cw - std::max(pad, cellBorderInset(borders, 3)) - textLeft);
            CellBox cb;
            cb.row = r;
            cb.lastRow = last;
            cb.format = cell.format().toTableCellFormat();
            cb.border = tf.borderBrush();
            cb.borderWidth = tf.border();
            const std::size_t cellIndex = box.cells.size();
            box.cells.push_back(cb);
            double h = kCellPadY + cellBorderInset(borders, 0);
            for (QTextFrame::iterator k = cell.begin(); !k.atEnd(); ++k) {
                if (QTextTable* nested = qobject_cast<QTextTable*>(k.currentFrame())) {
                    TableBox inside;
                    measureTable(nested, textLeft, inner, inside);
                    for (CellBox n : inside.cells) {
                        const double top = inside.rowTop[static_cast<std::size_t>(n.row)];
                        double bottom = inside.rowTop[static_cast<std::size_t>(n.lastRow)] +
                                        inside.rowHeight[static_cast<std::size_t>(n.lastRow)];
                        if (n.nested) bottom = top + n.rect.top() + n.rect.height();
                        n.rect = QRectF(n.rect.left(), h + top + (n.nested ? n.rect.top() : 0), n.rect.width(),
                                        bottom - top - (n.nested ? n.rect.top() : 0));
                        n.row = n.lastRow = r;
                        n.nested = true;
                        box.cells.push_back(n);
                    }
                    for (CellText t : inside.texts) {
                        t.at.ry() += h + inside.rowTop[static_cast<std::size_t>(t.row)];
                        t.row = r;
                        box.texts.push_back(t);
                    }
                    for (double notes : inside.rowNotes) box.rowNotes[static_cast<std::size_t>(r)] += notes;
                    h += inside.rowTop.empty() ? 0 : inside.rowTop.back() + inside.rowHeight.back();
                    continue;
                }
                const QTextBlock b = k.currentBlock();
                if (!b.isValid()) continue;
                Item para;
                layoutParagraph(b, inner, para);
                for (const auto& note : para.notes) box.rowNotes[static_cast<std::size_t>(r)] += note.second;
                box.texts.push_back(CellText{r, b, b.layout(), QPointF(textLeft, h)});
                h += paragraphHeight(para);
            }
            h += kCellPadY + cellBorderInset(borders, 2);
            box.cells[cellIndex].rect = QRectF(cx, 0, cw, h);
            // The row's own height: at least, or exactly.
            if (const double stated = cellFormat.doubleProperty(kRowHeight); stated != 0 && last == r) {
                double& row = box.rowHeight[static_cast<std::size_t>(r)];
                row = stated < 0 ? -stated : std::max(row, stated);
                exact[static_cast<std::size_t>(r)] = stated < 0;
            }
            if (last == r && !exact[static_cast<std::size_t>(r)])
                box.rowHeight[static_cast<std::size_t>(r)] = std::max(box.rowHeight[static_cast<std::size_t>(r)], h);
            else spans.push_back({r, last, h});
        }
    }
    // A cell merged down takes the rows it spans; the last one grows when
    // they are too short for it.
    for (const Span& s : spans) {
        double sum = 0;
        for (int r = s.first; r <= s.last; ++r) sum += box.rowHeight[static_cast<std::size_t>(r)];
        if (s.height > sum) box.rowHeight[static_cast<std::size_t>(s.last)] += s.height - sum;
    }
    box.rowTop.resize(static_cast<std::size_t>(rows));
    double y = 0;
    for (int r = 0; r < rows; ++r) {
        box.rowTop[static_cast<std::size_t>(r)] = y;
        y += box.rowHeight[static_cast<std::size_t>(r)];
    }
}

double PageLayout::paragraphHeight(const Item& it) {
    double h = it.before + it.after;
    for (double l : it.lines) h += l;
    return h;
}

void PageLayout::layoutItem(Item& it) {
    ++layouts_;
    it.placed = NAN;
    const SectionPage page = sectionPage(it.section);
    if (it.table) {
        it.box = std::make_unique<TableBox>();
        measureTable(it.table, page.left, page.width, *it.box);
    } else {
        layoutParagraph(document()->findBlock(it.pos), page.width, it);
        sumHeight_ += paragraphHeight(it);
        sumChars_ += it.len;
    }
    it.laid = true;
}

void PageLayout::setFirstPage(int section, long page) {
    if (section < 0) return;
    if (firstPage_.size() <= static_cast<std::size_t>(section)) firstPage_.resize(static_cast<std::size_t>(section) + 1, -1);
    firstPage_[static_cast<std::size_t>(section)] = page;
}

double PageLayout::fit(double y, double h, int section, double room) const {
    if (!paged()) return std::max(y, topMargin_);
    const long k = static_cast<long>(std::floor(y / pitch_));
    if (y < pageTop(k, section)) y = pageTop(k, section);
    if (y + h > pageBottom(k, section) - room && y > pageTop(k, section) + 0.5) y = pageTop(k + 1, section);
    return y;
}

void PageLayout::setNoteSeparator(double height) {
    if (height == noteSeparator_) return;
    noteSeparator_ = height;
    repaginate(0, items_.size());
    changed(0);
}

double PageLayout::roomBefore(std::size_t index, double y) const {
    if (index == 0 || index > items_.size()) return 0;
    const Item& before = items_[index - 1];
    return pageOf(before.bottom) == pageOf(y) ? before.roomOut : 0;
}

double PageLayout::noteNeed(const Item& it, std::size_t k, double room) const {
    double need = 0;
    for (const auto& [line, height] : it.notes)
        if (line == k) need += height;
    return noteRoom(need, room);
}

double PageLayout::placeLines(Item& it, double at, double room, QTextLayout* tl) {
    const int s = it.section;
    for (std::size_t k = 0; k < it.lines.size(); ++k) {
        // A line goes where it fits with its footnotes under the text.
        const long page = pageOf(at);
        at = fit(at, it.lines[k], s, room + noteNeed(it, k, room));
        if (pageOf(at) != page) room = 0;
        room += noteNeed(it, k, room);
        if (tl) {
            QTextLine line = tl->lineAt(static_cast<int>(k));
            line.setPosition(QPointF(line.x(), at - it.y));
        }
        at += it.lines[k];
    }
    it.roomOut = room;
    return at;
}

double PageLayout::paginate(Item& it, double y, bool place) {
    it.in = y;
    const int s = it.section;
    // The first item of a section (items_ holds it) starts a page, unless
    // the section is continuous.
    const std::size_t index = static_cast<std::size_t>(&it - items_.data());
    const bool sectionStart =
        index > 0 && index < items_.size() && items_[index - 1].section != s && !sectionPage(s).continuous;
    it.roomIn = roomBefore(index, y);
    double room = it.roomIn;
    // A page break before: on to the next page's top, unless already at
    // the top of one (of the section before).
    if ((sectionStart || (it.laid && it.breakBefore)) && paged()) {
        const long k = static_cast<long>(std::floor(y / pitch_));
        const bool next = y > pageTop(k, sectionStart ? items_[index - 1].section : s) + 0.5;
        if (sectionStart) setFirstPage(s, k + (next ? 1 : 0));
        if (next) y = pageTop(k + 1, s);
    }
    if (index == 0) setFirstPage(s, 0);
    auto onPage = [&](double to) {
        if (pageOf(to) != pageOf(it.in)) room = 0;
        return to;
    };
    if (!it.laid) {
        it.y = onPage(fit(y, 0, s, room));
        it.bottom = it.y + it.estimate;
        it.roomOut = pageOf(it.bottom) == pageOf(it.y) ? room : 0;
        return it.bottom;
    }
    if (it.table) {
        TableBox& box = *it.box;
        box.rowTop.resize(box.rowHeight.size());
        for (std::size_t r = 0; r < box.rowHeight.size(); ++r) {
            // A row goes where it fits with its footnotes under the text.
            const double notes = r < box.rowNotes.size() ? box.rowNotes[r] : 0;
            const long page = pageOf(y);
            y = fit(y, box.rowHeight[r], s, room + noteRoom(notes, room));
            if (pageOf(y) != page) room = 0;
            room += noteRoom(notes, room);
            if (r == 0) it.y = y;
            box.rowTop[r] = y;
            y += box.rowHeight[r];
        }
        if (box.rowHeight.empty()) it.y = y = onPage(fit(y, 0, s, room));
        if (place) {
            for (const CellText& t : box.texts)
                t.layout->setPosition(QPointF(t.at.x(), box.rowTop[static_cast<std::size_t>(t.row)] + t.at.y()));
            it.placed = it.y;
        }
        it.bottom = y;
        it.roomOut = room;
        return y;
    }
    // A paragraph's lines each go where they fit; its top is where its
    // first line's space begins.
    y = onPage(fit(y, 0, s, room));
    double at = y + it.before;
    if (!it.lines.empty()) {
        // A first line that does not fit takes the paragraph to the next page.
        const double first = fit(at, it.lines[0], s, room + noteNeed(it, 0, room));
        if (first != at) {
            y = onPage(first);
            at = first + it.before;
        }
    }
    it.y = y;
    QTextLayout* tl = place ? document()->findBlock(it.pos).layout() : nullptr;
    if (tl) tl->setPosition(QPointF(sectionPage(s).left, it.y));
    at = placeLines(it, at, room, tl);
    if (tl) it.placed = it.y;
    it.bottom = at + it.after;
    return it.bottom;
}

void PageLayout::repaginate(std::size_t from, std::size_t clean) {
    double y = from == 0 ? start() : items_[from - 1].bottom;
    for (std::size_t k = from; k < items_.size(); ++k) {
        Item& it = items_[k];
        // From here on the document starts where it did: nothing moves.
        if (k >= clean && it.in == y && it.roomIn == roomBefore(k, y)) break;
        const double before = it.y;
        y = paginate(it, y, false);
        if (it.y != before) it.placed = NAN;
    }
    const double bottom = items_.empty() ? 0 : items_.back().bottom;
    const double height = paged() ? std::max(1.0, std::ceil((bottom + bottomMargin_) / pitch_)) * pitch_
                                  : bottom + bottomMargin_;
    size_ = QSizeF(pageWidth_, height);
}

void PageLayout::changed(double fromY) {
    emit update(QRectF(0, fromY, std::max(pageWidth_, 1.0), std::max(1.0, size_.height() - fromY + pitch_)));
    if (size_ != reported_) {
        reported_ = size_;
        emit documentSizeChanged(size_);
    }
}

void PageLayout::layoutUpTo(std::size_t last, double y) {
    if (done_ >= items_.size() || (done_ > last && items_[done_].y > y)) return;
    const std::size_t from = done_;
    double at = from == 0 ? start() : items_[from - 1].bottom;
    while (done_ < items_.size() && (done_ <= last || at <= y)) {
        Item& it = items_[done_];
        layoutItem(it);
        at = paginate(it, at, false);
        ++done_;
    }
    repaginate(done_, done_);
    changed(from < items_.size() ? items_[from].y : 0);
}

void PageLayout::layoutAll() { layoutUpTo(items_.size(), std::numeric_limits<double>::infinity()); }

void PageLayout::layoutWhileIdle() {
    if (done_ >= items_.size()) return;
    QElapsedTimer clock;
    clock.start();
    const std::size_t from = done_;
    double at = from == 0 ? start() : items_[from - 1].bottom;
    while (done_ < items_.size() && clock.elapsed() < kIdleSlice) {
        layoutItem(items_[done_]);
        at = paginate(items_[done_], at, false);
        ++done_;
    }
    repaginate(done_, done_);
    changed(items_[from].y);
    if (done_ < items_.size()) idle_.start();
}

void PageLayout::ensurePlaced(std::size_t k) {
    layoutUpTo(k, -1);
    Item& it = items_[k];
    // Text the document laid out afresh behind the layout's back (a format
    // changed) is laid out again.
    if (!it.table && document()->findBlock(it.pos).layout()->lineCount() != static_cast<int>(it.lines.size())) {
        layoutItem(it);
        repaginate(k, k + 1);
    }
    if (it.placed != it.y) paginate(it, it.in, true);
}

int PageLayout::pageCount() const {
    self()->layoutAll();
    if (!paged()) return 1;
    return std::max(1, static_cast<int>(std::lround(size_.height() / pitch_)));
}

QSizeF PageLayout::documentSize() const { return size_; }

QRectF PageLayout::frameBoundingRect(QTextFrame* frame) const {
    if (!frame || frame == document()->rootFrame()) return QRectF(QPointF(0, 0), size_);
    QTextFrame* top = frame;
    while (top->parentFrame() && top->parentFrame() != document()->rootFrame()) top = top->parentFrame();
    const std::size_t k = itemAt(top->firstPosition());
    if (items_.empty() || items_[k].table != top) return {};
    self()->ensurePlaced(k);
    const Item& it = items_[k];
    return QRectF(it.box->left, it.y, it.box->right - it.box->left, it.bottom - it.y);
}

QRectF PageLayout::blockBoundingRect(const QTextBlock& block) const {
    if (!block.isValid() || items_.empty()) return {};
    const std::size_t k = itemAt(block.position());
    self()->ensurePlaced(k);
    const Item& it = items_[k];
    const QTextLayout* tl = block.layout();
    if (!it.table) return QRectF(tl->position(), QSizeF(sectionPage(it.section).width, it.bottom - it.y));
    const QRectF r = tl->boundingRect();
    return QRectF(tl->position(), QSizeF(r.width(), r.bottom()));
}

void PageLayout::drawParagraph(QPainter* p, const QTextBlock& block, const PaintContext& context,
                               const QRectF& clip) const {
    QTextLayout* tl = block.layout();
    const QTextBlockFormat f = block.blockFormat();
    if (f.hasProperty(QTextFormat::BackgroundBrush)) {
        for (int k = 0; k < tl->lineCount(); ++k) {
            const QTextLine line = tl->lineAt(k);
            p->fillRect(QRectF(tl->position().x() + f.leftMargin(), tl->position().y() + line.y(),
                               line.x() + line.width() - f.leftMargin(), line.height()),
                        f.background());
        }
    }
    // Text of no colour of its own is black, whatever was drawn before it.
    p->setPen(Qt::black);
    tl->draw(p, QPointF(0, 0), selectionRanges(block, context), clip);
    if (const QVariant leaders = f.property(kTabLeaders); leaders.isValid())
        drawLeaders(p, block, f, leaders.toList(), clip);
    const int c = context.cursorPosition;
    if (c >= block.position() && c < block.position() + block.length()) {
        const QVariant width = property("cursorWidth");
        tl->drawCursor(p, QPointF(0, 0), c - block.position(), width.isValid() ? width.toInt() : 1);
    }
}

void PageLayout::drawLeaders(QPainter* p, const QTextBlock& block, const QTextBlockFormat& f,
                             const QVariantList& leaders, const QRectF& clip) const {
    const QList<QTextOption::Tab> tabs = f.tabPositions();
    const QString text = block.text();
    const QTextLayout* tl = block.layout();
    // Tab positions count from where the first line starts.
    const double origin = f.leftMargin() + f.textIndent();
    for (qsizetype i = text.indexOf('\t'); i >= 0; i = text.indexOf('\t', i + 1)) {
        const int at = static_cast<int>(i);
        const QTextLine line = tl->lineForTextPosition(at);
        if (!line.isValid()) continue;
        const double top = tl->position().y() + line.y();
        if (top > clip.bottom() || top + line.height() < clip.top()) continue;
        const double x0 = line.cursorToX(at), x1 = line.cursorToX(at + 1);
        if (x1 - x0 < 2) continue;
        // The stop the tab reached: the first at or after its end (the text
        // after a right or centred stop ends or centres on it, after the
        // tab's end).
        qsizetype k = 0;
        while (k < tabs.size() && tabs[k].position + origin < x1 - 0.5) ++k;
        const int leader = k < tabs.size() && k < leaders.size() ? leaders[k].toInt() : 0;
        if (leader == 0) continue;
        // In the tab character's own font and colour.
        QTextCharFormat cf;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fr = it.fragment();
            if (fr.position() - block.position() + fr.length() > at) {
                cf = fr.charFormat();
                break;
            }
        }
        const QFontMetricsF fm(cf.font());
        p->save();
        p->setPen(QPen(cf.foreground().style() != Qt::NoBrush ? cf.foreground().color() : QColor(Qt::black),
                       std::max(0.5, fm.lineWidth() * (leader == 0x2501 ? 2 : 1))));
        const double left = tl->position().x(), baseline = top + line.ascent();
        if (leader == '_' || leader == 0x2501) {
            p->drawLine(QPointF(left + x0 + 1, baseline + fm.underlinePos()), QPointF(left + x1 - 1, baseline + fm.underlinePos()));
        } else {
            // Laid out as the text is, in the view's pixels, so that it
            // prints at the text's size on a device of any resolution.
            const QString c(QChar(static_cast<char16_t>(leader)));
            QTextLayout dot(c, cf.font());
            dot.beginLayout();
            const QTextLine glyph = dot.createLine();
            dot.endLayout();
            const double w = fm.horizontalAdvance(c);
            // On a grid of the character's width, so that the leaders of
            // lines one under another line up.
            for (double x = w > 0 ? std::ceil((x0 + w / 2) / w) * w : x1; x + w <= x1 - w / 2; x += w)
                dot.draw(p, QPointF(left + x, baseline - glyph.ascent()));
        }
        p->restore();
    }
}

void PageLayout::drawTable(QPainter* p, const Item& it, const PaintContext& context, const QRectF& clip) const {
    const TableBox& box = *it.box;
    auto cellRect = [&](const CellBox& c) {
        const double top = box.rowTop[static_cast<std::size_t>(c.row)];
        if (c.nested) return c.rect.translated(0, top);
        const double bottom = box.rowTop[static_cast<std::size_t>(c.lastRow)] + box.rowHeight[static_cast<std::size_t>(c.lastRow)];
        return QRectF(c.rect.left(), top, c.rect.width(), bottom - top);
    };
    for (const CellBox& c : box.cells) {
        const QRectF r = cellRect(c);
        if (r.intersects(clip) && c.format.hasProperty(QTextFormat::BackgroundBrush)) p->fillRect(r, c.format.background());
    }
    for (const CellText& t : box.texts) {
        const QRectF r(t.layout->position(), t.layout->boundingRect().size() + QSizeF(0, 1));
        if (r.bottom() >= clip.top() && r.top() <= clip.bottom()) drawParagraph(p, t.block, context, clip);
    }
    // The grid, then each cell's own borders over it.
    for (const CellBox& c : box.cells) {
        const QRectF r = cellRect(c);
        if (!r.intersects(clip.adjusted(-2, -2, 2, 2))) continue;
        if (grid_ && c.borderWidth > 0) {
            p->setPen(QPen(c.border, c.borderWidth));
            p->setBrush(Qt::NoBrush);
            p->drawRect(r);
        }
        const QTextTableCellFormat& f = c.format;
        const struct { double width; QBrush brush; QLineF line; QPointF inward; } sides[] = {
            {f.topBorder(), f.topBorderBrush(), QLineF(r.topLeft(), r.topRight()), {0, 1}},
            {f.leftBorder(), f.leftBorderBrush(), QLineF(r.topLeft(), r.bottomLeft()), {1, 0}},
            {f.bottomBorder(), f.bottomBorderBrush(), QLineF(r.bottomLeft(), r.bottomRight()), {0, -1}},
            {f.rightBorder(), f.rightBorderBrush(), QLineF(r.topRight(), r.bottomRight()), {-1, 0}},
        };
        for (int k = 0; k < 4; ++k)
            if (sides[k].width > 0)
                drawBorder(p, sides[k].line, sides[k].inward, sides[k].brush.color(), sides[k].width, cellLine(f, k));
    }
}

namespace {

// One stroke of a border line: its offset from the line towards the
// inside, its width, and its shade (-1 darker, 0 the colour, 1 lighter).
struct Stroke {
    double offset, width;
    int shade;
};

std::vector<Stroke> borderStrokes(PageLayout::Line style, double w, bool topOrLeft) {
    using L = PageLayout::Line;
    switch (style) {
    case L::Double: return {{-w, w, 0}, {w, w, 0}};
    case L::ThickThin: return {{-0.75 * w, w / 2, 0}, {0.5 * w, w, 0}};
    case L::ThinThick: return {{-0.5 * w, w, 0}, {0.75 * w, w / 2, 0}};
    case L::ThinThickThin: return {{-w, w / 2, 0}, {0, w, 0}, {w, w / 2, 0}};
    case L::Triple: return {{-2 * w, w, 0}, {0, w, 0}, {2 * w, w, 0}};
    // Sunk: lit from the top left, its top and left sides in the shade.
    case L::Inset: return {{0, w, topOrLeft ? 0 : 1}};
    case L::Outset: return {{0, w, topOrLeft ? 1 : 0}};
    case L::Engrave: return {{-w / 4, w / 2, 0}, {w / 4, w / 2, 1}};
    case L::Emboss: return {{-w / 4, w / 2, 1}, {w / 4, w / 2, 0}};
    default: return {{0, w, 0}};
    }
}

} // namespace

double PageLayout::borderReach(Line style, double width) {
    double reach = 0;
    for (const Stroke& s : borderStrokes(style, width, true)) reach = std::max(reach, std::abs(s.offset) + s.width / 2);
    return reach;
}

void PageLayout::drawBorder(QPainter* p, const QLineF& line, const QPointF& inward, const QColor& colour, double width,
                            Line style) {
    p->setBrush(Qt::NoBrush);
    const bool topOrLeft = inward.x() > 0 || inward.y() > 0;
    // A lighter shade: the colour halfway to a light grey.
    const QColor light((colour.red() + 2 * 0xB0) / 3, (colour.green() + 2 * 0xB0) / 3, (colour.blue() + 2 * 0xB0) / 3);
    const Qt::PenStyle pen = style == Line::Dotted ? Qt::DotLine : style == Line::Dashed ? Qt::DashLine : Qt::SolidLine;
    for (const Stroke& s : borderStrokes(style, width, topOrLeft)) {
        QPen stroke(s.shade > 0 ? light : colour, std::max(0.5, s.width), pen, Qt::FlatCap);
        p->setPen(stroke);
        p->drawLine(line.translated(inward * s.offset));
    }
}

void PageLayout::draw(QPainter* painter, const PaintContext& context) {
    const QRectF clip = context.clip.isValid() ? context.clip : QRectF(QPointF(0, 0), size_);
    if (items_.empty()) return;
    layoutUpTo(0, clip.bottom());
    auto first = std::lower_bound(items_.begin(), items_.end(), clip.top(),
                                  [](const Item& i, double y) { return i.bottom < y; });
    for (auto k = static_cast<std::size_t>(first - items_.begin()); k < items_.size() && items_[k].y <= clip.bottom(); ++k) {
        ensurePlaced(k);
        const Item& it = items_[k];
        if (it.table) drawTable(painter, it, context, clip);
        else drawParagraph(painter, document()->findBlock(it.pos), context, clip);
    }
}

int PageLayout::hitParagraph(const QTextBlock& block, const QPointF& point) const {
    const QTextLayout* tl = block.layout();
    const QPointF local = point - tl->position();
    const int n = tl->lineCount();
    if (n == 0) return block.position();
    int k = 0;
    while (k + 1 < n && local.y() >= tl->lineAt(k).y() + tl->lineAt(k).height()) ++k;
    return block.position() + tl->lineAt(k).xToCursor(local.x());
}

int PageLayout::hitTest(const QPointF& point, Qt::HitTestAccuracy) const {
    if (items_.empty()) return -1;
    self()->layoutUpTo(0, point.y());
    auto at = std::lower_bound(items_.begin(), items_.end(), point.y(),
                               [](const Item& i, double y) { return i.bottom <= y; });
    if (at == items_.end()) --at;
    const std::size_t k = static_cast<std::size_t>(at - items_.begin());
    self()->ensurePlaced(k);
    const Item& it = items_[k];
    if (!it.table) return hitParagraph(document()->findBlock(it.pos), point);
    // In a table: the text nearest the point, inside its cell first.
    const CellText* best = nullptr;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (const CellText& t : it.box->texts) {
        const QRectF r(t.layout->position(), t.layout->boundingRect().size());
        const double dx = point.x() < r.left() ? r.left() - point.x() : point.x() > r.right() ? point.x() - r.right() : 0;
        const double dy = point.y() < r.top() ? r.top() - point.y() : point.y() > r.bottom() ? point.y() - r.bottom() : 0;
        const double d = dx + 4 * dy;
        if (d < bestDistance) {
            bestDistance = d;
            best = &t;
        }
    }
    if (!best) return it.pos;
    return hitParagraph(best->block, point);
}

} // namespace qz::views

#include "PageLayout.moc"
