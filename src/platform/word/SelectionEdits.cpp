// The edits an author makes at the selection with the keyboard, the mouse
// and the studio's commands: what Enter and Tab do in lists and tables, the
// table commands, indents, the format dialogs' changes, the studio's search,
// and which field a click is on.
#include "platform/word/Application.h"
#include "platform/word/DisplayWalk.h"
#include "platform/word/Lists.h"
#include "platform/word/Range.h"
#include "platform/word/Table.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace qz::word {

namespace {

// The paragraph [from, to) (its mark excluded) that holds a position.
std::pair<long, long> ParagraphAround(const Story& story, long pos) {
    const long n = static_cast<long>(story.size());
    long from = pos, to = pos;
    while (from > 0 && story[static_cast<std::size_t>(from - 1)].Kind() != AtomKind::ParaEnd) --from;
    while (to < n && story[static_cast<std::size_t>(to)].Kind() != AtomKind::ParaEnd) ++to;
    return {from, to};
}

// Where Tab (or Shift+Tab) goes from a cell: a cell, none (Stay), or a row
// to be added after the last one (NewRow, its first cell).
struct CellTarget {
    CellMove move = CellMove::None;
    int row = 0, column = 0;
};

CellTarget NextCell(const Table& t, long pos, bool back) {
    auto [row, column] = t.CellAt(pos);
    // The cells merged into another are passed over.
    auto hidden = [&](int r, int c) {
        const RowFormat f = t.Format(r);
        return c < static_cast<int>(f.cells.size()) &&
               (f.cells[static_cast<std::size_t>(c)].merged || f.cells[static_cast<std::size_t>(c)].vmerged);
    };
    do {
        if (back) {
            if (--column < 0) {
                if (row == 0) return {CellMove::Stay};
                column = t.Columns(--row) - 1;
            }
        } else if (++column >= t.Columns(row)) {
            column = 0;
            if (++row >= t.Rows()) return {CellMove::NewRow, row, 0};
        }
    } while (t.Columns(row) == 0 || hidden(row, column));
    return {CellMove::Cell, row, column};
}

template <class T>
void TakeChanged(T& field, const T& shown, const T& chosen) {
    if (shown != chosen) field = chosen;
}

// The studio's settings of the selection's Find, put back as they were
// afterwards: the designer's own searches (which look into field codes) use
// the same object.
class StudioFind {
public:
    StudioFind(Find& f, const TextSearch& s) : f_(f), saved_(f) {
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
    Find& f_;
    Find saved_;
};

} // namespace

bool Selection::EnterEndsList() const {
    if (start_ != end_ || ParagraphFormat().list <= 0) return false;
    const auto [from, to] = ParagraphAround(*story_, start_);
    for (long p = from; p < to; ++p)
        if (!HoldsListText(*doc_, *story_, p)) return false;
    return true;
}

void Selection::TypeParagraph() {
    // A field's label holds no paragraph: Enter in it acts after the field.
    LeaveFieldEdges(false);
    if (start_ == end_ && start_ < StoryLength() && IsRowStartMark(*doc_, (*story_)[static_cast<std::size_t>(start_)])) {
        // At the end of text that stands before a table row (a loop's
        // start), a paragraph there would take that text away from the row,
        // leaving the row's paragraph mark inside the loop. The new
        // paragraph goes before that text, which stays before the row; the
        // caret goes into the new paragraph.
        const long from = ParagraphAround(*story_, start_).first;
        if (from < start_) {
            SetRange(from, from);
            TypeText("\r");
            return SetRange(from, from);
        }
    }
    if (!EnterEndsList()) return TypeText("\r");
    const long from = ParagraphAround(*story_, start_).first;
    ListFormat(GetRange()).RemoveNumbers();
    // The number is gone: the caret stands at the paragraph's start.
    SetRange(from, from);
}

CellMove Selection::NextCellMove(bool back) const {
    const std::optional<Table> t = Table::At(*doc_, *story_, start_);
    return t ? NextCell(*t, start_, back).move : CellMove::None;
}

void Selection::MoveToCell(bool back) {
    std::optional<Table> t = Table::At(*doc_, *story_, start_);
    if (!t) return;
    const CellTarget to = NextCell(*t, start_, back);
    if (to.move == CellMove::NewRow) {
        // A new row, like the last one.
        t->InsertRows(to.row - 1, 1, true);
        SetRange(t->CellStart(to.row, 0), t->CellStart(to.row, 0));
    } else if (to.move == CellMove::Cell) {
        SetRange(t->CellStart(to.row, to.column), t->CellMark(to.row, to.column));
    }
}

namespace {

// A table edit at the selection: the table and the cells selected.
template <class F>
void EditTable(Document& doc, Selection& sel, F&& change) {
    std::optional<Table> table = Table::At(doc, *sel.GetStory(), sel.Start());
    if (!table) RaiseWordError(kErrTableEdit, "The cursor is not in a table.");
    const CellSpan span = table->Span(sel.Start(), sel.End());
    change(*table, span);
}

} // namespace

void Selection::InsertTable(int rows, int columns) {
    LeaveFieldEdges(false);
    const Table t = Table::Add(*doc_, *story_, start_, rows, columns);
    SetRange(t.CellStart(0, 0), t.CellStart(0, 0));
}

void Selection::InsertRows(bool below) {
    EditTable(*doc_, *this, [&](Table& t, const CellSpan& span) {
        const int count = span.lastRow - span.firstRow + 1;
        t.InsertRows(below ? span.lastRow : span.firstRow, count, below);
        const int first = below ? span.lastRow + 1 : span.firstRow;
        SetRange(t.CellStart(first, 0), t.CellStart(first, 0));
    });
}

void Selection::InsertColumn(bool right) {
    EditTable(*doc_, *this, [&](Table& t, const CellSpan& span) {
        t.InsertColumn(right ? span.lastColumn : span.firstColumn, right);
        const int column = std::min(right ? span.lastColumn + 1 : span.firstColumn, t.Columns(span.firstRow) - 1);
        SetRange(t.CellStart(span.firstRow, column), t.CellStart(span.firstRow, column));
    });
}

void Selection::DeleteRows() {
    EditTable(*doc_, *this, [&](Table& t, const CellSpan& span) {
        t.DeleteRows(span.firstRow, span.lastRow);
        const long at = t.Rows() > 0 ? t.CellStart(std::min(span.firstRow, t.Rows() - 1), 0) : t.Start();
        SetRange(at, at);
    });
}

void Selection::DeleteColumns() {
    EditTable(*doc_, *this, [&](Table& t, const CellSpan& span) {
        t.DeleteColumns(span.firstColumn, span.lastColumn);
        const long at = t.Rows() > 0 ? t.CellStart(std::min(span.firstRow, t.Rows() - 1), 0) : t.Start();
        SetRange(at, at);
    });
}

void Selection::DeleteTable() {
    EditTable(*doc_, *this, [&](Table& t, const CellSpan&) {
        t.Delete();
        SetRange(t.Start(), t.Start());
    });
}

void Selection::MergeCells() {
    EditTable(*doc_, *this, [&](Table& t, const CellSpan& span) {
        t.MergeCells(span);
        const long at = t.CellMark(span.firstRow, span.firstColumn);
        SetRange(at, at);
    });
}

void Selection::ShadeCells(std::int32_t rgb) {
    EditTable(*doc_, *this, [&](Table& t, const CellSpan& span) { t.SetShading(span, rgb); });
}

void Selection::SetCellBorders(int width) {
    EditTable(*doc_, *this, [&](Table& t, const CellSpan& span) { t.SetBorders(span, width, -1); });
}

void Selection::Indent(int steps) {
    const int step = doc_->PageSetupOf(0).defaultTab;
    ChangeParagraphFormat([&](ParaFormat& f) { f.leftIndent = std::max(0, (f.leftIndent / step + steps) * step); });
}

void Selection::TakeParagraphChanges(const ParaFormat& was, const ParaFormat& now) {
    ChangeParagraphFormat([&](ParaFormat& f) {
        TakeChanged(f.alignment, was.alignment, now.alignment);
        TakeChanged(f.leftIndent, was.leftIndent, now.leftIndent);
        TakeChanged(f.rightIndent, was.rightIndent, now.rightIndent);
        TakeChanged(f.firstIndent, was.firstIndent, now.firstIndent);
        TakeChanged(f.spaceBefore, was.spaceBefore, now.spaceBefore);
        TakeChanged(f.spaceAfter, was.spaceAfter, now.spaceAfter);
        // The spacing and whether it is a multiple are one choice.
        if (was.lineSpacing != now.lineSpacing || was.lineMultiple != now.lineMultiple) {
            f.lineSpacing = now.lineSpacing;
            f.lineMultiple = now.lineMultiple;
        }
        TakeChanged(f.pageBreakBefore, was.pageBreakBefore, now.pageBreakBefore);
        TakeChanged(f.tabs, was.tabs, now.tabs);
    });
}

void Selection::TakeCharacterChanges(const CharFormat& was, const CharFormat& now) {
    ChangeCharFormat([&](CharFormat& f) {
        TakeChanged(f.font, was.font, now.font);
        TakeChanged(f.size, was.size, now.size);
        TakeChanged(f.color, was.color, now.color);
        TakeChanged(f.bold, was.bold, now.bold);
        TakeChanged(f.italic, was.italic, now.italic);
        TakeChanged(f.underline, was.underline, now.underline);
    });
}

bool Selection::FindNext(const TextSearch& s) {
    StudioFind settings(find_, s);
    const long start = start_, end = end_;
    const long length = StoryLength();
    Collapse(!s.forward);
    bool found = find_.Execute(s.text, 0, {}, s.forward);
    if (!found && s.wrap) {
        SetRange(s.forward ? 0 : length, s.forward ? 0 : length);
        found = find_.Execute(s.text, 0, {}, s.forward);
    }
    if (!found) SetRange(start, end);
    return found;
}

bool Selection::SelectsMatch(const TextSearch& s) {
    const long start = start_, end = end_;
    if (start >= end) return false;
    StudioFind settings(find_, s);
    const bool match = find_.Execute(s.text, 0, {}, true) && start_ == start && end_ == end;
    SetRange(start, end);
    return match;
}

void Selection::ReplaceMatch(const TextSearch& s) {
    StudioFind settings(find_, s);
    find_.Execute(s.text, 1, s.replacement, true);
}

int Selection::ReplaceAll(const TextSearch& s) {
    const long at = start_;
    // The caret goes back also when a replacement is refused.
    struct Back {
        Selection& sel;
        long at;
        ~Back() {
            const long n = sel.StoryLength();
            sel.SetRange(std::min(at, n), std::min(at, n));
        }
    } back{*this, at};
    StudioFind settings(find_, s);
    SetRange(0, 0);
    find_.Execute(s.text, 2, s.replacement, true);
    return find_.Replaced;
}

long MacroButtonNear(const Document& doc, const Story& story, long pos, std::string* macro) {
    if (FieldCodesShown(doc)) return -1;
    const long begin = MacroButtonAt(story, pos, macro);
    return begin >= 0 || pos <= 0 ? begin : MacroButtonAt(story, pos - 1, macro);
}

} // namespace qz::word
