// What a window shows of a story: the display walk. It goes through atoms in
// order and tells what each shows, so that a view only maps the runs to its
// toolkit and every decision about fields, symbols, pictures, paragraphs and
// tables is taken here, once, without a display.
//
// With field codes hidden a field shows what a word processor shows: a
// MACROBUTTON field its display text (what follows the macro's name), a
// SYMBOL field its symbol, a SET field nothing, an INCLUDEPICTURE field the
// picture it links to, any other field its result. A kept list number
// ({\listtext}) shows its text.
// With codes shown every atom shows, fields between "{" and "}".
#pragma once

#include "platform/word/Document.h"
#include "platform/word/Lists.h"

#include <optional>
#include <string_view>

namespace qz::word {

struct DisplayRun {
    enum class Kind : std::uint8_t {
        Text,         // text: character k shows the atom at start + k
        FieldText,    // text: every character shows the atom at start (a field's result, a list's number); [start, end) is the whole field
        CodeMark,     // text ("{" or "}"): a field's begin or end character, field codes shown
        Picture,      // picture: the kept group at start
        Hidden,       // [start, end) shows nothing; note: the footnote or endnote group at start, text its mark
        PageBreak,    // para: the page break character at start, in a paragraph of this format
        ParagraphEnd, // para: the mark at start ends a paragraph
        TableStart,   // row, columns: a table begins with the paragraph at start
        CellEnd,      // para: the mark at start ends a table cell; tableGoesOn: another cell follows in the row
        RowEnd,       // row: the mark at start ends a table row of this format; tableGoesOn: another row follows
        RangeEnd,     // start == end == the walk's end; para: the story's last paragraph's format
    };
    Kind kind = Kind::Text;
    long start = 0;
    long end = 0;
    std::u32string_view text;
    std::uint32_t fmt = 0;           // the character format the text or picture shows in
    const ParaFormat* para = nullptr;
    const RowFormat* row = nullptr;
    const Picture* picture = nullptr;
    int columns = 0;
    bool tableGoesOn = false;
    bool sectionEnd = false; // ParagraphEnd: the mark ends a section (the next paragraph is the next section's)
    bool link = false;       // FieldText: a hyperlink's text
    bool pageNumber = false; // FieldText: the number of the page it shows on (a PAGE field)
    int note = 0;            // Hidden: a note group, 1 a footnote, 2 an endnote
    // FieldText of a list's number or bullet: its level's own font (-1 the
    // format's) and size (half points, 0 the format's).
    int font = -1;
    int size = 0;
};

class DisplaySink {
public:
    virtual ~DisplaySink() = default;
    // Called for each run in model order; what a run points to lives until
    // the call returns.
    virtual void Show(const DisplayRun& run) = 0;
};

// Walks [from, to) of a story of the document, which should start at a
// paragraph's start; a field that begins before `to` and ends after it shows
// as far as `to`. noteMark: the story is a note's own text, whose reference
// mark shows that mark.
void WalkDisplay(const Document& doc, const Story& story, long from, long to, bool showFieldCodes,
                 DisplaySink& sink, std::u32string_view noteMark = {});

// The numbers that a story's note reference marks (\chftn) show: footnotes
// and endnotes each counted from the story's start, in the document's
// numbering of their kind.
class NoteNumbering {
public:
    // For a walk of the story from `from` on.
    NoteNumbering(const Document& doc, const Story& story, long from);
    // The mark the reference mark at `at` shows: the number of the note
    // group that follows it closely (the notes before `from` counted on the
    // first call), or the own mark when one is set.
    std::u32string Mark(long at);
    // The walk passed a note group of the kind (1 a footnote, 2 an endnote):
    // its mark.
    std::u32string Passed(int kind);
    // In a note's own text its reference mark shows the note's mark.
    void SetOwnMark(std::u32string_view mark) { ownMark_ = mark; }

private:
    void CountBefore();
    const Document& doc_;
    const Story& story_;
    const long from_;
    int seen_[2] = {0, 0};
    bool counted_ = false;
    std::u32string ownMark_;
};

// What the paragraphs of a story's lists start with: the number their
// list's levels give them, in place of the one the file kept (which another
// program may have left stale, or not kept at all), or the level's bullet
// where the file kept none. Lists count from the story's start, read on the
// first list paragraph asked about; paragraphs are asked about in order.
class ParagraphNumbers {
public:
    ParagraphNumbers(const Document& doc, const Story& story);
    struct Shown {
        std::u32string text; // empty: nothing of the list's own
        bool kept = false;   // the paragraph starts with a kept number, which text shows in place of
        int font = -1;       // the level's own font (not a symbol font's), -1 none
        int size = 0;        // the level's own size, half points, 0 none
    };
    // The paragraph at `at`, of format f.
    Shown At(long at, const ParaFormat& f);

private:
    const Document& doc_;
    const Story& story_;
    const bool lists_; // the document has a list table
    std::optional<ListNumbering> numbering_;
};

// Where the display text of a MACROBUTTON field starts, the atoms the walk
// shows of it (after the macro's name and its blanks; the end character for
// a field without a name); -1 for any other field, which shows no atom of
// the story (its result, its symbol or nothing).
long FieldDisplayStart(const Story& story, long begin);
// Whether the window shows field codes (a document in no window: shown, so
// that positions are taken as they are).
bool FieldCodesShown(const Document& doc);
// Where an edit at pos lands. A field is whole: with field codes hidden, an
// edit enters a field only where pos is strictly inside the text the field
// shows (between two of its shown characters). A position at a field's edge
// (before the first or after the last thing it shows), in its hidden code,
// or anywhere in a field that shows no atoms, is moved out of the field:
// before it at its start, after it otherwise, and so on outwards for nested
// fields. With codes shown every position is the one it says. A field whose
// code holds a paragraph mark before pos is not seen from there. Without
// intoShownText a position strictly inside the shown text is moved after
// the field too: where what a field's label cannot hold (a paragraph mark,
// a field, a table, a picture) lands.
long OutsideFieldEdges(const Document& doc, const Story& story, long pos, bool intoShownText = true);

// The MACROBUTTON field that holds pos (begin < pos <= its end character)
// or begins at it, the innermost one first: its begin character, and its
// macro's name in *macro; -1 when there is none.
long MacroButtonAt(const Story& story, long pos, std::string* macro);

// The character a symbol shows: the markers of the designer's fields (215,
// 216 and 118 of their symbol font) as marker glyphs that every font has,
// any other symbol its own code point.
char32_t SymbolGlyph(unsigned number);

} // namespace qz::word
