// Draws the word model for the document view: a story's atoms into a
// QTextDocument (paragraphs, tables, character formats, pictures), one view
// block per shown paragraph with the model position each character shows;
// and on a page what lies outside the flowing text: the header and footer
// of the page's section and the borders of the paragraphs. The renderer
// knows nothing of the window: the view asks it for text and paints what it
// gives back.
#pragma once

#include "platform/word/Document.h"
#include "views/word/PositionMap.h"

#include <QRectF>

#include <array>
#include <map>
#include <memory>
#include <vector>

class QPainter;
class QTextCursor;
class QTextDocument;
class QTextTable;

namespace qz::views {

class PageLayout;

class PageRenderer {
public:
    // paged: the main story's view, whose page numbers show the page they
    // are drawn on; a header's or footer's own view shows its text unpaged.
    PageRenderer(word::Document& doc, const PageLayout& layout, bool paged);
    ~PageRenderer();
    PageRenderer(const PageRenderer&) = delete;
    PageRenderer& operator=(const PageRenderer&) = delete;

    double zoom() const { return zoom_; }
    void setZoom(double zoom) { zoom_ = zoom; }
    double pixels(int twips) const { return twips * zoom_ / 15.0; }
    bool paged() const { return paged_; }

    // Renders the model atoms [from, to) of the story, paragraph by
    // paragraph, at the cursor, the first in the given section; appends
    // their blocks to `out`. Returns the section the range ends in.
    // With `cell`, [from, to) is paragraphs of one cell of that table, the
    // cursor in it: they are drawn there, and -1 returned when the range
    // turns out to be anything else (the caller then draws all again).
    int render(const word::Story& story, long from, long to, QTextCursor& cursor, std::vector<ViewBlock>& out,
               int section, QTextTable* cell = nullptr);
    // After an edit that changed the story's length by delta: the blocks
    // [first, last] of the map drawn again in their place in `text`, as the
    // atoms they held then, and put in the map. With `cell` they are one
    // cell's paragraphs of that table. False when they cannot be drawn in
    // place (the text is then to be drawn all again).
    bool redraw(const word::Story& story, QTextDocument& text, PositionMap& map, std::size_t first, std::size_t last,
                long delta, QTextTable* cell);
    // A large story is drawn in parts, so that the first screen shows at
    // once: where the part from `from` ends (after a paragraph mark outside
    // any table).
    long partEnd(const word::Story& story, long from) const;

    // The headers and footers of every section drawn again (after a change
    // of the zoom or the document); none for a view that is not paged.
    void renderHeadersAndFooters();
    // How far a section's header (or footer) reaches into the page from
    // its distance from the paper's edge, the first page's with `first`;
    // 0 when it has none.
    double marginHeight(int section, bool footer, bool first) const;
    // A footnote's or endnote's text (the kept group at pos of the story) as
    // its page shows it, in its own formats, its reference mark showing
    // `mark`; kept until the headers and footers are drawn again.
    QTextDocument* noteDocument(const word::Story& story, long pos, std::u32string_view mark);
    // The text of a drawing (its group as written, {\shptxt ...}) in its own
    // formats, laid out to the width (pixels); kept as the notes are.
    QTextDocument* textBoxDocument(const std::string& group, double width);
    // The page's header and footer, those of its section's first page on its
    // first page; rect is the paper's rectangle.
    void paintMargins(QPainter& p, int page, const QRectF& rect);
    // The borders of the paragraphs of `text` from block `first` on that are
    // shown in the rectangle (document coordinates).
    void paintParagraphBorders(QPainter& p, const QRectF& shown, const QTextDocument& text, int first,
                               const PositionMap& map, const word::Story& story) const;

private:
    class Sink;
    // A story drawn into a document of its own, page numbers showing pageNumber
    // (0: their kept result); numbered tells whether it has any. noteMark:
    // the story is a note's, whose reference mark shows it.
    std::unique_ptr<QTextDocument> renderStory(const word::Story& story, int pageNumber, bool* numbered,
                                               std::u32string_view noteMark = {});
    // A kept group's text read as a story and drawn to the width, in the
    // character format fmt where it states none, its reference mark
    // showing `mark` (a note's).
    std::unique_ptr<QTextDocument> renderGroup(std::string_view group, std::uint32_t fmt, std::u32string_view mark,
                                               double width);
    // The header or footer (slot of margins_) as page (0-based) shows it.
    QTextDocument* marginDocument(int slot, int page);
    void paintHeaderOrFooter(QPainter& p, QTextDocument* d, const QRectF& page, const word::PageSetup& setup,
                             bool header) const;
    int sectionOf(int page) const;

    word::Document& doc_;
    const PageLayout& layout_;
    const bool paged_;
    double zoom_ = 1.0;
    // What a page number shows while a story is drawn: 0 in the paged body
    // (the page it falls on); a header's own view shows the first page's.
    int pageNumber_ = 0;
    bool pageNumberSeen_ = false;
    // Headers and footers as drawn, for each section: every page's header
    // and footer, then the first page's (the same ones unless the section
    // has its own).
    struct Margin {
        const word::Story* story = nullptr;
        std::unique_ptr<QTextDocument> shown;
        bool numbered = false; // it shows the page's number: drawn for each page
    };
    std::vector<std::array<Margin, 4>> margins_;
    std::map<std::pair<int, int>, std::unique_ptr<QTextDocument>> numberedCopies_; // (slot, page)
    std::u32string_view noteMark_; // what the reference mark of the story being drawn shows (a note's)
    // Notes as drawn, by their group and mark.
    std::map<std::pair<std::uint32_t, std::u32string>, std::unique_ptr<QTextDocument>> notes_;
    std::map<std::pair<std::string, double>, std::unique_ptr<QTextDocument>> textBoxes_;
};

} // namespace qz::views
