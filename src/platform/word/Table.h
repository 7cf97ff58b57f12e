// Tables of a story, as a word processor edits them. A table is a run of
// rows; a row is the paragraphs of its cells, each cell ended by a cell mark,
// and then the row mark. Every paragraph end of a row carries the row's
// properties (\trowd ... \cellx), which state each cell's right boundary,
// shading, borders and merges: an edit of the cells writes them into every
// mark of the row, so that the row saves as one definition.
//
// Every edit goes through the story's journal (undo) and refuses to split a
// field. A nested table is content of its outer table's cell.
#pragma once

#include "platform/word/Document.h"

#include <optional>
#include <vector>

namespace qz::word {

// The cells of a table between two corners (0-based, inclusive).
struct CellSpan {
    int firstRow = 0, firstColumn = 0, lastRow = 0, lastColumn = 0;
};

// Whether replacing [start, end) of a story with atoms would take cell or
// row marks out of rows it does not take whole, or bring rows (atoms that
// hold cell or row marks) that are not whole, or inside a row or a field:
// a table is changed by its own members, removed by whole rows, and rows
// come in whole, between rows or outside tables.
bool SplitsTableRows(const Document& doc, const Story& story, long start, long end, const Atom* atoms = nullptr,
                     std::size_t n = 0);
// Whether [start, end) of a story holds a cell's or a row's end mark (not
// a paragraph's inside a cell).
bool HoldsTableMarks(const Document& doc, const Story& story, long start, long end);
bool HoldsTableMarks(const Document& doc, const Atom* atoms, std::size_t n);

// Whether pos is where a table row starts (the first position of its first
// cell) and its first paragraph holds no row-start mark: nothing stands
// before the row's definition there yet.
bool StartsRowDefinition(Document& doc, Story& story, long pos);

class Table {
public:
    // The table a position is in (a position in one of its paragraphs, its
    // row marks included); none outside tables.
    static std::optional<Table> At(Document& doc, Story& story, long pos);
    // A table of rows x columns of empty cells of one width across the
    // text, with single borders, before the paragraph at pos (split at pos
    // first when pos is inside it). Refused inside a table.
    static Table Add(Document& doc, Story& story, long pos, int rows, int columns);

    long Start() const { return start_; }
    long End() const { return rows_.empty() ? start_ : rows_.back().mark + 1; } // after the last row mark
    int Rows() const { return static_cast<int>(rows_.size()); }
    int Columns(int row) const { return static_cast<int>(rows_.at(static_cast<std::size_t>(row)).cells.size()); }
    // A cell's content is [CellStart, CellMark): its paragraphs, without the cell mark.
    long CellStart(int row, int column) const;
    long CellMark(int row, int column) const;
    // The cell that holds a position of the table (a row mark: its last cell).
    std::pair<int, int> CellAt(long pos) const;
    // The cells between the ones holding start and end, as a selection's
    // ends: one that ends at a cell's mark takes that cell, one that ends
    // where a cell starts does not.
    CellSpan Span(long start, long end) const;
    // The row's properties as they stand.
    RowFormat Format(int row) const;

    // Empty rows like `row`, above or below it. (Merges down are not copied.)
    void InsertRows(int row, int count, bool below);
    void DeleteRows(int first, int last);
    // An empty column like `column` left or right of it in every row that
    // has it; the table keeps its width.
    void InsertColumn(int column, bool right);
    // Rows left without cells go; a table left without rows goes.
    void DeleteColumns(int first, int last);
    void Delete();
    // Merges the cells of one row (across) or of one column (down) into the
    // first one, which takes their text as paragraphs of its own.
    void MergeCells(const CellSpan& span);
    // Cell shading (RGB, -1: none) and borders of every side of each cell
    // (width in twips, 0: none; RGB, -1: automatic).
    void SetShading(const CellSpan& span, std::int32_t rgb);
    void SetBorders(const CellSpan& span, int width, std::int32_t rgb);

private:
    Table(Document& doc, Story& story, long start) : doc_(&doc), story_(&story), start_(start) {}
    // Reads the rows from start_ on.
    void Scan();
    struct Row {
        long start = 0;
        long mark = 0;              // the row mark
        std::vector<long> cells;    // each cell's mark
    };
    // What a row is made of, to be rewritten: each cell's content and mark.
    struct CellParts {
        std::vector<Atom> content;
        Atom mark;
    };
    struct RowParts {
        std::vector<CellParts> cells;
        Atom mark;
        RowWords words;
    };
    RowParts Parts(int row) const;
    // Replaces a row with parts (no cells: removes it), every paragraph end
    // of it carrying the row's new words; reads the table again.
    void Rewrite(int row, const RowParts& parts);
    std::vector<Atom> Atoms(const RowParts& parts) const;
    void CheckSpan(const CellSpan& span) const;

    Document* doc_;
    Story* story_;
    long start_;
    std::vector<Row> rows_;
};

} // namespace qz::word
