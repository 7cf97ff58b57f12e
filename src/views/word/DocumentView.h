// The window onto one word-processor document. The document model is the
// only document: the page renderer draws it into the view's QTextDocument,
// and the view sends every edit the user makes through the model's members
// (Selection, Range), which hold the rules of what an edit does, then has
// the paragraphs that changed drawn again. The view's cursor and selection
// are the model's Selection, and every position the view reports is a model
// position (the position map translates).
//
// With field codes hidden a field shows what a word processor shows: a
// MACROBUTTON field its display text (the designer's label between its two
// marker symbols, in the field's colour), a SYMBOL field its symbol, a SET
// field nothing, any other field its result. With codes shown, every atom
// shows, fields in braces.
#pragma once

#include "platform/word/Document.h"
#include "platform/word/Table.h"
#include "views/word/PositionMap.h"

#include <QTextEdit>

#include <functional>
#include <memory>
#include <vector>

class QMenu;

namespace qz::views {

class PageLayout;
class PageObjects;
class PageRenderer;

class DocumentView : public QTextEdit {
    Q_OBJECT
public:
    explicit DocumentView(word::Document& doc, QWidget* parent = nullptr);
    // A view of another story of the document (a header or footer): the
    // text's width of the page, without pages.
    DocumentView(word::Document& doc, word::Story& story, QWidget* parent = nullptr);
    ~DocumentView() override;

    word::Document& model() const { return doc_; }
    word::Story& story() const { return story_; }
    bool showsMainStory() const { return &story_ == &doc_.MainStory(); }

    // Renders the whole document again (after a command changed it, or the
    // field-code view was switched) and puts the cursor on the model's
    // selection.
    void renderAll();
    // A large document is drawn in parts: the first at once, the rest while
    // the program is idle. This draws and lays out what is left now.
    void finishRendering();
    // The model position of a view position, and back (a model position in
    // a hidden part maps to the next visible place).
    long modelPosition(int viewPos) const;
    int viewPosition(long modelPos) const;
    // Makes the model's selection the view's, and the reverse.
    void pullSelection();
    void pushSelection();
    // The blocks the view keeps, one per block of its QTextDocument.
    int blockCount() const { return static_cast<int>(map_.size()); }

    // Model edits through the view, each one undo step: the selection is
    // replaced by the text ("\r" a paragraph mark), and so on.
    // Typed from the keyboard (typing), consecutive keys are one undo step
    // a word; otherwise the text is a step of its own.
    void typeText(const QString& text, bool typing = false);
    void deleteBackward();
    // Enter: a new paragraph, or on an empty list item the end of the list.
    void newParagraph();
    void deleteForward();
    void undo();
    void redo();
    // The clipboard: plain text for other programs; inside the studio the
    // copied part keeps its formats and fields, also into another document.
    void cutToClipboard();
    void pasteFromClipboard();
    void paste(const QMimeData* source);
    // Character and paragraph formats of the selection.
    void toggleBold();
    void toggleItalic();
    void toggleUnderline();
    // An empty family keeps each atom's font, a size of 0 its size.
    void setFont(const QString& family, int pointSize);
    // 0 left, 1 centre, 2 right, 3 justified.
    void setAlignment(int alignment);
    // The text's colour, and its highlight (an invalid colour: automatic, none).
    void setTextColor(const QColor& colour);
    void setHighlight(const QColor& colour);
    // The left indent of the selected paragraphs, a default tab stop more or less.
    void indent(int steps);
    // A page break at the cursor.
    void insertPageBreak();
    // Tables, each an edit of the model at the selection: a table of rows x
    // columns at the cursor; rows above or below the selected ones, a column
    // left or right; the selected rows, columns or the whole table deleted;
    // the selected cells merged, shaded (an invalid colour: none) or given
    // borders (width in twips, 0: none).
    void insertTable(int rows, int columns);
    void insertRows(bool below);
    void insertColumn(bool right);
    void deleteRows();
    void deleteColumns();
    void deleteTable();
    void mergeCells();
    void shadeCells(const QColor& colour);
    void setCellBorders(int width);
    // Whether the cursor is in a table.
    bool inTable() const;
    // Tab in a table: the next cell's text selected (after the last cell a
    // new row), or the one before; false outside tables.
    bool moveToCell(bool back);
    // An embedded picture of a PNG or JPEG file at the cursor; false (and
    // the reason given to onError) when the file cannot be one.
    bool insertPicture(const QString& fileName);
    // The number of the page it shows on, as a field at the cursor.
    void insertPageNumber();
    // The character format the selection shows (its first atom's; at the
    // caret what typing there takes) and the paragraph format at the cursor,
    // as the model holds them.
    word::CharFormat modelCharFormat() const;
    word::ParaFormat modelParaFormat() const;
    // Bullets or numbers for the selected paragraphs, off when they have them.
    void toggleList(bool numbered);
    // The list type at the cursor (word::kListNoNumbering, kListBullet, ...).
    int listType() const;
    // The selected paragraphs take what differs between `was` (the format
    // the dialog showed) and `now`; every other property each keeps. One undo step.
    void changeParagraphFormat(const word::ParaFormat& was, const word::ParaFormat& now);
    // The same for the selection's character format (font, size, colour,
    // bold, italic, underline); at a caret, for what is typed next.
    void changeCharacterFormat(const word::CharFormat& was, const word::CharFormat& now);
    // The studio's search: never inside a field. findText selects the next
    // (or previous) match after the selection, from the other end of the
    // document when wrap is set and none is left; false when there is none.
    struct Search {
        QString text, replacement;
        bool matchCase = false, wholeWord = false, forward = true, wrap = true;
    };
    bool findText(const Search& s);
    // Replaces the selection when it is a match, then finds the next one;
    // false when no match is left.
    bool replaceText(const Search& s);
    // Replaces every match in the document in one undo step; how many.
    int replaceAll(const Search& s);
    // The page (0-based) drawn at the painter's origin as it prints: paper,
    // header and footer, borders and text, without selection or cursor; at
    // the view's zoom (scale the painter for the device).
    void paintPage(QPainter& p, int page);
    // Called for the field commands of the context menu: the field is
    // selected, its macro's name given (as on a double click).

    // The page view: pages of the document's paper size and margins one
    // under another, its text laid out to the page's width, the header and
    // footer on every page, at a zoom (1 = 100%).
    double zoom() const { return zoom_; }
    void setZoom(double zoom);   // a fixed zoom, 10% to 500%
    void zoomToPageWidth();      // the page fills the window's width, also when it is resized
    void zoomIn();               // the next step up of kZoomSteps
    void zoomOut();              // the next step down
    static constexpr double kZoomSteps[] = {0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};
    // Whether the view shows pages (a header's or footer's own view shows
    // its text as one long page).
    bool paged() const;
    // The pages of the whole document (laid out to its end first).
    int pageCount() const;
    // A page's rectangle in the coordinates of the view's document.
    QRectF pageRect(int page) const;
    // The paper and margins of a page (its section's).
    word::PageSetup pageSetup(int page) const;
    // Where the text area of a page ends (above its footer).
    double textBottom(int page) const;
    // The room of the line that separates footnotes from the text above them.
    double noteSeparator() const { return pixels(240); }
    // A length in twips as pixels at the zoom.
    double pixels(int twips) const { return twips * zoom_ / 15.0; }

    // Called after every change the view made to the model.
    std::function<void()> onChanged;
    // Called on a double click on a MACROBUTTON field, once the field is
    // selected, with its macro's name: the host runs the macro.
    std::function<void(const std::string&)> onMacroButton;
    // Called when an edit failed (the model refused it): the message to show.
    std::function<void(const QString&)> onError;
    // Called after an undo or redo, which may have changed any story of the
    // document (the model's selection then stands where it did).
    std::function<void()> onUndoRedo;
    // Called on a double click in a page's header (true) or footer area.
    std::function<void(bool header)> onEditHeaderFooter;
    // The context menu at a point of the viewport: Cut, Copy, Paste, the
    // paragraph's commands, and the field's own when the point is on a field.
    QMenu* contextMenuAt(const QPoint& pos);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // PageRenderer::render of the view's story.
    int renderRange(long from, long to, QTextCursor& cursor, std::vector<ViewBlock>& out, int section,
                    QTextTable* cell = nullptr);
    // The page size and margins, at the zoom, to the document's layout.
    void applyPage();
    // The window's width left and right of the page.
    void centrePage();
    // The pages (first, last) in the rectangle (document coordinates).
    std::pair<int, int> pagesIn(const QRectF& shown) const;
    // The borders of the paragraphs shown in the rectangle (document
    // coordinates), whose top left is topLeft in the viewport.
    void paintParagraphBorders(QPainter& p, const QPointF& topLeft, const QRectF& shown) const;
    // After a model edit of [start, end) that changed the story's length by
    // delta: renders again the blocks that held it. [editStart, editEnd] is
    // what the edit replaced, without the atoms to spare around it: an
    // edit inside one table cell draws only that cell again.
    void rerender(long start, long end, long delta, long editStart, long editEnd);
    // Runs a change as one undo step; false (and the error shown) when the
    // model refused it.
    bool runStep(const std::function<void()>& change, bool typing);
    // After an undo or redo: the story drawn again, and those who show others told.
    void showUndoRedo();
    // One model edit as an undo step, drawing again what it touched.
    bool edit(const std::function<void()>& change, bool typing = false);
    // The same for an edit that may change the document anywhere (lists
    // renumbered, replace all): the whole document is drawn again.
    bool editAll(const std::function<void()>& change);
    // Replaces the selection's atoms' character formats.
    void changeCharFormat(const std::function<void(word::CharFormat&)>& change);

    void renderMore();
    void scheduleRest();

    word::Document& doc_;
    word::Story& story_;
    PageLayout* layout_ = nullptr; // owned by the text document
    std::unique_ptr<PageObjects> objects_; // drawings and notes drawn on the pages
    std::unique_ptr<PageRenderer> renderer_;
    PositionMap map_;          // the view's text blocks and the model positions they show
    long renderedTo_ = 0;       // model position up to which blocks exist
    unsigned generation_ = 0;   // drawings from the start so far
    word::PageSetup page_;
    double zoom_ = 1.0;
    bool pageWidth_ = false;
    bool rendering_ = false;
};

} // namespace qz::views
