// Ranges, the selection, fields and the search of the word processor's
// automation model, over the stories of a Document.
#pragma once

#include "platform/word/Document.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qz::word {

class Field;
class Fields;
class Find;
class Range;

// Units of the moving members.
inline constexpr int kUnitCharacter = 1;
inline constexpr int kUnitWord = 2;
inline constexpr int kUnitLine = 5;
inline constexpr int kUnitStory = 6;
inline constexpr int kExtend = 1;

// Field types of Fields.Add that the model knows.
inline constexpr int kFieldEmpty = -1;
inline constexpr int kFieldSet = 6;
inline constexpr int kFieldPage = 33;
inline constexpr int kFieldMacroButton = 51;

// Entries of the colour palette (Font.ColorIndex) the program names.
inline constexpr int kColorRed = 6;
inline constexpr int kColorDarkBlue = 9;

// The colour of a range: Font.ColorIndex.
class Font {
public:
    explicit Font(Range* r) : r_(r) {}
    // The colour index (0 automatic, 1..16 the palette) of the first atom;
    // a colour outside the palette reads as 0.
    int ColorIndex() const;
    void SetColorIndex(int index);

private:
    Range* r_;
};

class Range {
public:
    Range() = default;
    Range(Document* doc, Story* story, long start, long end);
    virtual ~Range() = default;

    long Start() const { return start_; }
    long End() const { return end_; }
    // Setting the start past the end moves the end too, and the reverse.
    virtual void SetStart(long v);
    virtual void SetEnd(long v);
    virtual void SetRange(long start, long end);
    // The text of the range, UTF-8; a paragraph mark reads "\r", field
    // characters U+0013 and U+0015, kept objects U+FFFC.
    std::string Text() const;
    // Replaces the range; the range then covers the new text.
    void SetText(const std::string& text);
    Font GetFont() { return Font(this); }
    Fields GetFields();
    // Makes this range the document's selection.
    void Select();
    // Deletes the range (or, collapsed, count characters after it).
    int Delete(int unit = kUnitCharacter, int count = 1);
    // When the range holds whole fields in one paragraph and starts where a
    // table row starts (nothing before it in the row's first paragraph), the
    // row is made to start after it: it stands before the row's definition,
    // so that a loop or a condition there takes the whole row. Whether it did.
    bool StandBeforeRow();
    Range Duplicate() const { return Range(doc_, story_, start_, end_); }
    // The format of the first paragraph the range touches.
    ParaFormat ParagraphFormat() const;
    // Changes the format of every paragraph the range touches.
    void ChangeParagraphFormat(const std::function<void(ParaFormat&)>& change);
    // Changes the character format of the range's atoms; a collapsed
    // selection changes the format that typing there takes.
    void ChangeCharFormat(const std::function<void(CharFormat&)>& change);

    Story* GetStory() const { return story_; }
    Document* GetDocument() const { return doc_; }
    long StoryLength() const { return static_cast<long>(story_->size()); }

protected:
    friend class Font;
    friend class Fields;
    friend class Find;
    Document* doc_ = nullptr;
    Story* story_ = nullptr;
    long start_ = 0;
    long end_ = 0;
};

class Field {
public:
    Field(Document* doc, Story* story, long begin) : doc_(doc), story_(story), begin_(begin) {}
    // The code: the range between the begin and the end character.
    Range Code() const;
    // Selects the field, begin through end character.
    void Select() const;
    long Start() const { return begin_; }
    long End() const; // after the end character
    // The type read from the code's keyword (6, 51, 33, -1 for others).
    int Type() const;

private:
    Document* doc_;
    Story* story_;
    long begin_;
};

class Fields {
public:
    explicit Fields(Range scope);
    // The fields wholly inside the scope, in the order of their begin characters.
    int Count() const { return static_cast<int>(begins_.size()); }
    Field Item(int index) const; // 1-based
    std::vector<Field> All() const;
    // Adds a field at the range, replacing it; the code is " KEYWORD text ".
    // The selection ends after the new field when the range was the selection.
    Field Add(Range& range, int type, const std::string& text = {},
              bool preserveFormatting = false);

private:
    Range scope_;
    std::vector<long> begins_;
};

class FindReplacement {
public:
    std::string Text;
    void ClearFormatting() {}
};

// The search of a selection. It never wraps: the scope is the selection when
// it is not empty, otherwise the cursor to the end of the story (forward) or
// the start of the story to the cursor (backward). A match never spans a
// field character.
class Find {
public:
    explicit Find(Selection* sel) : sel_(sel) {}
    std::string Text;
    FindReplacement Replacement;
    bool Forward = true;
    bool MatchCase = false;
    bool MatchWholeWord = false;
    int Wrap = 0;
    bool Found = false;
    // A match lies wholly outside every field (the studio's own search, which
    // never changes a field's code); off, field codes are searched too.
    bool OutsideFields = false;
    // How many matches the last replace of all replaced.
    int Replaced = 0;
    void ClearFormatting() {}
    // Finds Text (or the given text); on success selects the match.
    bool Execute();
    bool Execute(const std::string& findText);
    // Replace: 0 none, 1 one, 2 all matches in scope.
    bool Execute(const std::string& findText, int replace, const std::string& replaceWith,
                 bool forward);

private:
    // Position of the next match in [from, to) (forward) or the last one (backward); -1 none.
    long Search(const std::u32string& pat, long from, long to, bool forward, const std::vector<char>& inField,
                long flagsFrom) const;
    // With OutsideFields, whether each position of [from, to) is inside a
    // field; empty otherwise.
    std::vector<char> FieldFlags(long from, long to) const;
    Selection* sel_;
};

// A search of the studio's own: never inside a field (a match lies wholly
// outside every field), from the selection on, forward or backward, round
// to the other end of the story when wrap is set and none is left.
struct TextSearch {
    std::string text, replacement; // UTF-8
    bool matchCase = false, wholeWord = false, forward = true, wrap = true;
};

// What Tab does in a table (Selection::CellMove).
enum class CellMove {
    None,   // the selection is not in a table
    Stay,   // Shift+Tab in the first cell: nothing
    Cell,   // another cell's text selected
    NewRow, // after the last cell: a new row, like the last, the caret in its first cell
};

class Selection : public Range {
public:
    explicit Selection(Document* doc);
    void SetStart(long v) override;
    void SetEnd(long v) override;
    void SetRange(long start, long end) override;
    Range GetRange() const { return Duplicate(); }
    // Moves by characters (1) or words (2); returns the units moved.
    int MoveLeft(int unit = kUnitCharacter, int count = 1, int extend = 0);
    int MoveRight(int unit = kUnitCharacter, int count = 1, int extend = 0);
    // Unit 6: start/end of the story; otherwise the paragraph.
    int HomeKey(int unit = kUnitLine, int extend = 0);
    int EndKey(int unit = kUnitLine, int extend = 0);
    void TypeText(const std::string& text);
    // Backspace and Delete: the selection, or the character before (after)
    // the caret, is deleted; Backspace just after a list's number takes its
    // paragraph out of the list instead. A deletion the model refuses (half
    // a field, a cell's mark) raises and leaves the selection as it was.
    void TypeBackspace();
    void TypeDelete();
    // Enter: a new paragraph, as TypeText("\r"); at a caret on an empty
    // list item (a paragraph that holds nothing but its number) the
    // paragraph leaves the list instead, the caret at its start. In a
    // field's label it acts after the field; at the end of text that stands
    // before a table row the new paragraph goes before that text.
    void TypeParagraph();
    // Whether Enter here ends the list (renumbering it all).
    bool EnterEndsList() const;
    // Tab in a table (Shift+Tab: back): the next cell's text selected,
    // passing over cells merged into another; after the last cell a new row.
    CellMove NextCellMove(bool back) const;
    void MoveToCell(bool back);
    // Table edits at the selection, each leaving the caret in the table
    // where the author goes on: a table of rows x columns at the cursor
    // (the caret in its first cell); as many rows above or below the
    // selected ones as are selected; a column left or right of them; the
    // selected rows, columns or the whole table deleted; the selected cells
    // merged, shaded (RGB, -1: none) or given borders (twips, 0: none).
    // Outside a table each but InsertTable raises.
    void InsertTable(int rows, int columns);
    void InsertRows(bool below);
    void InsertColumn(bool right);
    void DeleteRows();
    void DeleteColumns();
    void DeleteTable();
    void MergeCells();
    void ShadeCells(std::int32_t rgb);
    void SetCellBorders(int width);
    // The selected paragraphs' left indent, a default tab stop more or less
    // for each step (never below 0).
    void Indent(int steps);
    // What the author changed in a format dialog (`was` as it showed the
    // selection, `now` as he left it): each property he changed, the
    // selected paragraphs or runs take; every other one stays each one's own.
    void TakeParagraphChanges(const ParaFormat& was, const ParaFormat& now);
    void TakeCharacterChanges(const CharFormat& was, const CharFormat& now);
    // The studio's search: selects the next (or previous) match after the
    // selection; false, the selection kept, when there is none.
    bool FindNext(const TextSearch& s);
    // Whether the selection is a match of the search.
    bool SelectsMatch(const TextSearch& s);
    // Replaces the selected match by the replacement.
    void ReplaceMatch(const TextSearch& s);
    // Replaces every match of the story; how many. The caret stays where
    // the selection started (at most the story's end).
    int ReplaceAll(const TextSearch& s);
    // A negative number with the Unicode flag means 65536 + n.
    void InsertSymbol(int characterNumber, const std::string& font = {}, bool unicode = false);
    Find& GetFind() { return find_; }
    void Collapse(bool toStart);

    // The format new text takes at the cursor.
    std::uint32_t InsertFormat() const;
    // The format the selection shows (its toolbar state, the font dialog's
    // start): the first selected atom's, or at a caret InsertFormat.
    std::uint32_t ShownFormat() const;
    void SetPending(std::uint32_t fmt) { pending_ = fmt; }
    void MoveTo(Story* story, long start, long end);
    // Replaces the selection with atoms valid in this document (a paste):
    // the cursor ends after them.
    void InsertAtoms(const std::vector<Atom>& atoms);
    // Moves both ends off the edges of fields (OutsideFieldEdges), and a
    // caret off the front of a list's number, keeping the pending format:
    // where an edit at the selection lands. Every edit
    // member of the selection does it first; a Range names its atoms
    // exactly and is taken as it is. Without intoShownText a caret inside
    // a field's shown text goes after the field too (OutsideFieldEdges).
    void LeaveFieldEdges(bool intoShownText = true);
    // LeaveFieldEdges, and a selection that holds a table's cell or row
    // marks collapsed to its start: what is inserted at the selection goes
    // into the first cell and removes no cell (the view selects cells whole,
    // so such a selection is never the author's text alone). Every insertion
    // at the selection does it first; only text (characters and symbols, no
    // paragraph mark) enters a field's label, anything else goes after the
    // field (textAlone false), which stays whole.
    void PlaceForInsertion(bool textAlone);
    // After [start, end) of a story became count atoms: a selection in that
    // story stays on its text (ends after the range move with the text
    // after it, ends inside it or at its start go to its start), so that it
    // never stands past the story's end.
    void Follow(const Story& story, long start, long end, long count);

private:
    long Step(long pos, int unit, int dir) const;
    int Move(int unit, int count, int extend, int dir);
    void Place(long anchor, long active);

    long anchor_ = 0;
    long active_ = 0;
    std::optional<std::uint32_t> pending_;
    Find find_;
};

// Replaces [start, end) of a story with atoms, refusing to split a field.
void ReplaceAtoms(Document& doc, Story& story, long start, long end, const Atom* atoms,
                  std::size_t n);
// Atoms for UTF-8 text in one format ("\r" and "\n" become paragraph marks).
std::vector<Atom> TextAtoms(Document& doc, const std::string& text, std::uint32_t fmt);
// The atoms of [start, end) of a story of one document, made valid in
// another (or the same) document: their formats, fonts, colours, paragraph
// ends, fields and kept objects are entered in its tables. The range must
// hold whole fields (see HoldsWholeFields).
std::vector<Atom> TransferAtoms(const Document& from, const Story& story, long start, long end,
                                Document& to);
// Whether every field begun in [start, end) ends there, and the reverse.
bool HoldsWholeFields(const Story& story, long start, long end);
// The end character matching the begin character at pos, or -1.
long MatchingFieldEnd(const Story& story, long begin);
// The MACROBUTTON field a click at the caret place pos is on: the one at pos
// or, failing that, at pos - 1 (either side of the place the click is
// nearest to); its begin character and its macro's name in *macro; -1 when
// there is none or the window shows field codes.
long MacroButtonNear(const Document& doc, const Story& story, long pos, std::string* macro);
// UTF-8 text of a part of a story.
std::string StoryText(const Document& doc, const Story& story, long start, long end);
// The code point an atom reads as.
char32_t AtomChar(const Document& doc, const Atom& a);

} // namespace qz::word
