// The page layout of the document view: the text laid out to the page's
// width and cut into pages of the paper's height, one under another.
//
// The document is a list of top-level paragraphs and tables. Each one is laid
// out once and its lines' (or rows') heights kept; pages are then assigned
// from those heights alone. An edit lays out again only the paragraphs it
// touched and assigns pages from there on, stopping where the rest of the
// document starts where it did before. A long document is laid out from
// its start while the program is idle (and at once as far as something asks
// for); what is not laid out yet counts by an estimate of its height.
// Painting and hit tests look only at what is in view.
//
// Pages: the page height is the paper's plus the gap above it, the width
// the document's page width; the root frame's margins are the page's
// margins, the top one with the gap.
#pragma once

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextTable>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace qz::views {

class PageLayout : public QAbstractTextDocumentLayout {
    Q_OBJECT
public:
    // A table cell that belongs to none of its row's cells (the row has
    // fewer than the table): it is neither laid out nor drawn.
    static constexpr int kAbsentCell = QTextFormat::UserProperty + 1;
    // A paragraph's tab leaders, one for each of its tab positions in their
    // order (a QVariantList of ints: 0 none, '.', '-' or '=' the character
    // repeated, '_' a thin line, 0x2501 a thick one): a leader fills the
    // space of each tab character that reaches a stop with one.
    static constexpr int kTabLeaders = QTextFormat::UserProperty + 2;

    // A paragraph's section of the document (its block format's int); a
    // section starts a page of its own, of its section's margins, unless it
    // is continuous.
    static constexpr int kSection = QTextFormat::UserProperty + 3;
    // A table cell's own left and right edges (doubles, pixels from the
    // text's left margin), as its row states them: rows of one table may
    // have cells of other widths. A cell without them takes its column's.
    // The empty paragraph a table stands after in the text document (a
    // table cannot start one): it takes no room on the page, the table
    // follows the text above it directly.
    static constexpr int kBeforeTable = QTextFormat::UserProperty + 6;
    // A paragraph's footnotes (its block format's QVariantList of
    // QVariantLists: where the note's mark stands in the block, its height):
    // each takes its height from the foot of the page its mark's line falls
    // on, and the separator above the page's first.
    static constexpr int kNotes = QTextFormat::UserProperty + 7;
    // The object type of a page number in the text: it shows the number of
    // the page it is drawn on, in its character format.
    static constexpr int kPageNumberObject = QTextFormat::UserObject + 1;
    // The page (0-based) that y of the document falls on.
    int pageAt(double y) const { return paged() && y > 0 ? static_cast<int>(y / pitch_) : 0; }
    // The pages as far as they are laid out or estimated.
    int pagesSoFar() const { return paged() ? std::max(1, static_cast<int>(std::ceil(size_.height() / pitch_))) : 1; }
    static constexpr int kCellLeft = QTextFormat::UserProperty + 4;
    static constexpr int kCellRight = QTextFormat::UserProperty + 5;
    // Where a section's pages keep their text, at the view's scale: its top
    // and bottom from the top of the page's slot (the gap above the paper
    // included), its left edge and its width.
    // A header or footer that reaches past its margin pushes the text
    // back: the section's first page may have its own (firstTop and
    // firstBottom; NAN: the same as the others).
    struct SectionPage {
        double top = 0, bottom = 0, left = 0, width = 0;
        bool continuous = false; // the section starts on the page the one before it ends on
        double firstTop = NAN, firstBottom = NAN;
        bool operator==(const SectionPage& o) const {
            auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
            return top == o.top && bottom == o.bottom && left == o.left && width == o.width &&
                   continuous == o.continuous && same(firstTop, o.firstTop) && same(firstBottom, o.firstBottom);
        }
    };

    // How a border line is drawn: one stroke, two, a thin one outside a
    // thick one (ThickThin) or inside it (ThinThick), a thick one between
    // two thin ones, three, two shades that look sunk or raised, dots or
    // dashes.
    enum class Line { Single, Double, ThickThin, ThinThick, ThinThickThin, Triple, Inset, Outset, Emboss, Engrave, Dotted, Dashed };
    // A table cell's border lines (a QVariantList of four Line ints: top,
    // left, bottom, right); without it, single ones.
    static constexpr int kCellLines = QTextFormat::UserProperty + 8;
    // A table row's height (a double, pixels, on each of its cells): at
    // least that, or exactly minus that when negative.
    static constexpr int kRowHeight = QTextFormat::UserProperty + 9;
    // Draws a border line of the style and width centred on `line`, its
    // inside towards `inward` (a unit vector).
    static void drawBorder(QPainter* p, const QLineF& line, const QPointF& inward, const QColor& colour, double width,
                           Line style);
    // How far such a line reaches to either side of the line it is drawn on.
    static double borderReach(Line style, double width);

    explicit PageLayout(QTextDocument* doc);
    ~PageLayout() override;

    void draw(QPainter* painter, const PaintContext& context) override;
    int hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const override;
    // The pages of the whole document: lays out what is left first.
    int pageCount() const override;
    // The size as laid out so far, the rest by estimate.
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame* frame) const override;
    QRectF blockBoundingRect(const QTextBlock& block) const override;

    // The height of a page and the gap above it (0: one endless page). The
    // document's own page height is not used: the text edit resets it.
    void setPageHeight(double pitch);
    double pageHeight() const { return pitch_; }
    // Each section's pages (pages are as high as the tallest, pitch
    // included); without them every page has the root frame's margins.
    void setSections(std::vector<SectionPage> sections);
    // The section of a page (0-based), as laid out so far.
    int pageSection(int page) const;

    // The room above a page's first footnote: the separator line's.
    void setNoteSeparator(double height);
    // Where the text area of a page ends (above its footer), as laid out
    // so far: its footnotes end there.
    double textBottom(int page) const { return pageBottom(page, pageSection(page)); }
    // Whether tables show their grid (the thin grey lines where a cell has
    // no border of its own): an aid on screen, never printed.
    void setGridShown(bool shown) { grid_ = shown; }

    // Lays out all that is still counted by estimate.
    void layoutAll();
    // Whether every paragraph and table is laid out.
    bool complete() const { return done_ >= items_.size(); }
    // The paragraphs and tables laid out again since the document was set
    // (a measure of how much an edit cost).
    long layoutsMade() const { return layouts_; }

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    // One text layout of a table, at its place relative to its row's top.
    struct CellText {
        int row = 0;
        QTextBlock block;
        QTextLayout* layout = nullptr;
        QPointF at;
    };
    // One cell of a table: x absolute, y relative to its row's top; a cell
    // of a table nested in a row has a height of its own.
    struct CellBox {
        int row = 0, lastRow = 0;
        QRectF rect;
        bool nested = false;
        QTextTableCellFormat format;
        QBrush border;
        double borderWidth = 0;
    };
    struct TableBox {
        std::vector<double> rowHeight;
        std::vector<double> rowTop; // after pages were assigned
        std::vector<double> rowNotes; // the height of the footnotes of each row's text
        std::vector<CellBox> cells;
        std::vector<CellText> texts;
        double left = 0, right = 0;
    };
    // A top-level paragraph or table: the document positions it covers.
    struct Item {
        int pos = 0, len = 0;
        QTextTable* table = nullptr;
        bool laid = false;
        bool breakBefore = false;
        int section = 0;
        double before = 0, after = 0;  // a paragraph's space above and below
        std::vector<double> lines;     // a paragraph's line heights
        std::vector<std::pair<std::size_t, double>> notes; // a paragraph's footnotes: the line of each one's mark, its height
        double roomIn = 0, roomOut = 0; // footnotes' room at the foot of the page it starts and ends on
        std::unique_ptr<TableBox> box; // a table's rows and cells
        double estimate = 0;           // the height while not laid out
        double in = NAN;               // where the item before it ended, when pages were assigned
        double y = 0, bottom = 0;      // its top and bottom on the pages
        double placed = NAN;           // the y its lines were last put at
    };

    // The page geometry read from the document: the same, moved (other
    // margins), or the text to be laid out again (another width, tab
    // distance or wrap).
    enum class Geometry { Same, Moved, Relayout };
    Geometry readGeometry();
    void rebuild();
    void scan(int from, int to, std::vector<Item>& out) const;
    std::size_t itemAt(int pos) const;
    // Lays the item out (its lines or rows), without placing it.
    void layoutItem(Item& it);
    // A paragraph laid out at a width; its line heights in `lines`.
    void layoutParagraph(const QTextBlock& block, double width, Item& it);
    // Lays a line out to the width by its text's advances.
    static void fitLine(QTextLine& line, double width, double overhang);
    // A laid out paragraph's height: its lines and the space around them.
    static double paragraphHeight(const Item& it);
    void measureTable(QTextTable* table, double left, double width, TableBox& box);
    double lineHeight(const QTextLine& line, const QTextBlockFormat& f) const;
    // Assigns the item's page places from y on; returns its bottom. With
    // place, also puts its lines or rows there.
    double paginate(Item& it, double y, bool place);
    // Sets every item to be laid out again, counted by estimate meanwhile.
    void forgetLayout();
    // Assigns pages to the items from `from` on; the items before
    // `clean` changed, those after it stop the walk once they start where
    // they did.
    void repaginate(std::size_t from, std::size_t clean);
    // Lays out the items up to the one at index `last`, or up to y.
    void layoutUpTo(std::size_t last, double y);
    void ensurePlaced(std::size_t k);
    void layoutWhileIdle();
    double estimate(const Item& it) const;
    // Where a thing of height h starting at y goes: the next page's top when
    // it would cross the page's bottom, less `room` taken by footnotes.
    double fit(double y, double h, int section, double room = 0) const;
    // The footnotes' room at the foot of the page y is on, as the items
    // before the one at index left it.
    double roomBefore(std::size_t index, double y) const;
    // A paragraph's lines placed from `at` on, footnotes taking `room` on
    // that page (and put in tl when given); returns where the last ends.
    double placeLines(Item& it, double at, double room, QTextLayout* tl);
    // The room the footnotes of a paragraph's line k take, on a page whose
    // footnotes take `room` so far.
    double noteNeed(const Item& it, std::size_t k, double room) const;
    // The room notes of that height take there: the separator's too above
    // the page's first.
    double noteRoom(double notes, double room) const { return notes > 0 && room <= 0 ? notes + noteSeparator_ : notes; }
    long pageOf(double y) const { return paged() ? static_cast<long>(std::floor(y / pitch_)) : 0; }
    // A section's text area, or the root frame's.
    SectionPage sectionPage(int section) const;
    double pageTop(long k, int section) const;
    double pageBottom(long k, int section) const;
    // Whether page k is the first of its section (as paginated so far).
    bool firstOfSection(long k, int section) const {
        return section >= 0 && static_cast<std::size_t>(section) < firstPage_.size() &&
               firstPage_[static_cast<std::size_t>(section)] == k;
    }
    void setFirstPage(int section, long page);
    // Where the first item starts.
    double start() const;
    bool paged() const { return pitch_ > 0; }
    void drawParagraph(QPainter* p, const QTextBlock& block, const PaintContext& context, const QRectF& clip) const;
    void drawLeaders(QPainter* p, const QTextBlock& block, const QTextBlockFormat& f, const QVariantList& leaders,
                     const QRectF& clip) const;
    void drawTable(QPainter* p, const Item& it, const PaintContext& context, const QRectF& clip) const;
    int hitParagraph(const QTextBlock& block, const QPointF& point) const;
    // Asks for the document to be drawn again from y down.
    void changed(double fromY);

    PageLayout* self() const { return const_cast<PageLayout*>(this); }

    std::vector<Item> items_;
    std::vector<SectionPage> sections_;
    std::vector<long> firstPage_; // each section's first page, as paginated
    std::size_t done_ = 0;        // items_[0, done_) are laid out
    double pitch_ = 0;            // the page's height with the gap; 0: one endless page
    double pageWidth_ = 0, left_ = 0, right_ = 0, topMargin_ = 0, bottomMargin_ = 0;
    double textWidth_ = 0;
    double noteSeparator_ = 0;
    double tabDistance_ = 0;
    int wrap_ = -1;
    double lineGuess_ = 16, charGuess_ = 7;
    double sumHeight_ = 0, sumChars_ = 0; // of laid out paragraphs, for estimates
    QSizeF size_, reported_;
    long layouts_ = 0;
    bool grid_ = true;
    QTimer idle_;
    std::unique_ptr<QObject> images_, pageNumbers_;
};

} // namespace qz::views
