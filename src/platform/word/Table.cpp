#include "platform/word/Table.h"

#include "platform/word/Application.h"
#include "platform/word/Range.h"

#include <algorithm>
#include <cmath>

namespace qz::word {

namespace {

// The most cells a row may have (what readers of the format accept).
constexpr int kMostColumns = 63;
constexpr int kMostRows = 32767;
// The space between a cell's boundary and its text, twips.
constexpr int kCellGap = 108;

bool IsTableMark(const ParaEndInfo& pe) {
    return pe.word == "cell" || pe.word == "row" || pe.word == "nestcell" || pe.word == "nestrow" ||
           (pe.word == "par" && pe.props.find("\\intbl") != std::string::npos);
}

// The mark that ends the paragraph holding pos (n for the story's last paragraph).
long MarkAfter(const Story& story, long pos) {
    const long n = static_cast<long>(story.size());
    while (pos < n && story[static_cast<std::size_t>(pos)].Kind() != AtomKind::ParaEnd) ++pos;
    return pos;
}

long ParagraphStart(const Story& story, long pos) {
    while (pos > 0 && story[static_cast<std::size_t>(pos - 1)].Kind() != AtomKind::ParaEnd) --pos;
    return pos;
}

bool TableParagraphAt(const Document& doc, const Story& story, long pos) {
    const long m = MarkAfter(story, pos);
    return m < static_cast<long>(story.size()) && IsTableMark(doc.ParaEnd(story[static_cast<std::size_t>(m)].value));
}

// A cell's border words: a single line on each side.
std::string BorderWords(int width, int colorEntry) {
    std::string out;
    for (const char* side : {"t", "l", "b", "r"}) {
        out += "\\clbrdr";
        out += side;
        out += "\\brdrs\\brdrw" + std::to_string(width);
        if (colorEntry > 0) out += "\\brdrcf" + std::to_string(colorEntry);
    }
    return out;
}

// Cells' right boundaries for widths laid side by side from the row's left edge.
void PlaceCells(RowWords& words, int leftEdge, const std::vector<double>& widths) {
    double x = leftEdge;
    for (std::size_t k = 0; k < words.cells.size(); ++k) {
        x += widths[k];
        words.cells[k].right = static_cast<int>(std::lround(x));
    }
}

std::vector<double> CellWidths(const RowWords& words, int leftEdge) {
    std::vector<double> widths;
    int last = leftEdge;
    for (const RowWords::Cell& c : words.cells) {
        widths.push_back(std::max(1, c.right - last));
        last = c.right;
    }
    return widths;
}

// Horizontal merges left without their other half are undone: a cell merged
// into none before it, a first cell with none merged into it.
void TidyMerges(RowWords& words) {
    const RowFormat f = ParseRowFormat(JoinRowWords(words));
    const std::size_t n = std::min(words.cells.size(), f.cells.size());
    for (std::size_t k = 0; k < n; ++k) {
        const CellFormat& c = f.cells[k];
        const bool before = k > 0 && (f.cells[k - 1].mergeFirst || f.cells[k - 1].merged);
        const bool after = k + 1 < n && f.cells[k + 1].merged;
        if ((c.merged && !before) || (c.mergeFirst && !after))
            words.cells[k].words = WithoutCellWords(words.cells[k].words, {"clmgf", "clmrg"});
    }
}

// Whether pos is inside a row, after its start.
bool InsideRow(const Document& doc, const Story& story, long pos) {
    if (pos <= 0 || pos >= static_cast<long>(story.size()) || !TableParagraphAt(doc, story, pos)) return false;
    const Atom& before = story[static_cast<std::size_t>(pos - 1)];
    if (before.Kind() != AtomKind::ParaEnd) return true;
    const ParaEndInfo& pe = doc.ParaEnd(before.value);
    return pe.word != "row" && IsTableMark(pe);
}

} // namespace

namespace {
bool IsCellOrRowMark(const Document& doc, const Atom& a) {
    if (a.Kind() != AtomKind::ParaEnd) return false;
    const std::string& w = doc.ParaEnd(a.value).word;
    return w == "cell" || w == "row" || w == "nestcell" || w == "nestrow";
}
} // namespace

bool HoldsTableMarks(const Document& doc, const Story& story, long start, long end) {
    for (long i = start; i < end; ++i)
        if (IsCellOrRowMark(doc, story[static_cast<std::size_t>(i)])) return true;
    return false;
}

bool HoldsTableMarks(const Document& doc, const Atom* atoms, std::size_t n) {
    return std::any_of(atoms, atoms + n, [&](const Atom& a) { return IsCellOrRowMark(doc, a); });
}

bool SplitsTableRows(const Document& doc, const Story& story, long start, long end, const Atom* atoms,
                     std::size_t n) {
    const auto rowMark = [&](const Atom& a) {
        if (a.Kind() != AtomKind::ParaEnd) return false;
        const std::string& w = doc.ParaEnd(a.value).word;
        return w == "cell" || w == "row";
    };
    const bool insideRow = InsideRow(doc, story, start) || InsideRow(doc, story, end);
    if (insideRow && HoldsTableMarks(doc, story, start, end)) return true;
    if (std::none_of(atoms, atoms + n, rowMark)) return false;
    // Rows brought in are whole: their cells end with a row mark.
    const auto last = std::find_if(std::make_reverse_iterator(atoms + n), std::make_reverse_iterator(atoms), rowMark);
    if (doc.ParaEnd(last->value).word != "row") return true;
    return insideRow || !HoldsWholeFields(story, 0, start);
}

bool StartsRowDefinition(Document& doc, Story& story, long pos) {
    if (ParagraphStart(story, pos) != pos) return false;
    const std::optional<Table> t = Table::At(doc, story, pos);
    if (!t) return false;
    int row = 0;
    while (row < t->Rows() && t->CellStart(row, 0) < pos) ++row;
    if (row >= t->Rows() || t->Columns(row) == 0 || t->CellStart(row, 0) != pos) return false;
    for (long p = pos; p < t->CellMark(row, 0); ++p)
        if (IsRowStartMark(doc, story[static_cast<std::size_t>(p)])) return false;
    return true;
}

std::optional<Table> Table::At(Document& doc, Story& story, long pos) {
    const long n = static_cast<long>(story.size());
    if (pos < 0 || pos > n || !TableParagraphAt(doc, story, pos)) return std::nullopt;
    long start = ParagraphStart(story, pos);
    while (start > 0 && IsTableMark(doc.ParaEnd(story[static_cast<std::size_t>(start - 1)].value)))
        start = ParagraphStart(story, start - 1);
    Table t(doc, story, start);
    t.Scan();
    // A damaged table (no row mark after the position) is no table to edit.
    if (t.rows_.empty() || pos > t.rows_.back().mark) return std::nullopt;
    return t;
}

void Table::Scan() {
    rows_.clear();
    const Story& s = *story_;
    const long n = static_cast<long>(s.size());
    long pos = start_;
    while (pos < n && TableParagraphAt(*doc_, s, pos)) {
        Row r;
        r.start = pos;
        bool ended = false;
        for (long i = pos; i < n; ++i) {
            const Atom& a = s[static_cast<std::size_t>(i)];
            if (a.Kind() != AtomKind::ParaEnd) continue;
            const ParaEndInfo& pe = doc_->ParaEnd(a.value);
            if (pe.word == "cell") {
                r.cells.push_back(i);
            } else if (pe.word == "row") {
                r.mark = i;
                ended = true;
                break;
            } else if (!IsTableMark(pe)) {
                break;
            }
        }
        if (!ended) break;
        rows_.push_back(r);
        pos = r.mark + 1;
    }
}

Table Table::Add(Document& doc, Story& story, long pos, int rows, int columns) {
    if (rows < 1 || rows > kMostRows || columns < 1 || columns > kMostColumns)
        RaiseWordError(kErrTableEdit, "A table has 1 to " + std::to_string(kMostRows) + " rows and 1 to " +
                                             std::to_string(kMostColumns) + " columns.");
    const long n = static_cast<long>(story.size());
    if (pos < 0 || pos > n) RaiseWordError(kErrTableEdit, "The range is outside the story.");
    if (TableParagraphAt(doc, story, pos)) RaiseWordError(kErrTableEdit, "A table cannot be placed inside a table.");
    if (!HoldsWholeFields(story, 0, pos)) RaiseWordError(kErrFieldBoundary);
    const std::uint32_t fmt = pos < n ? story[static_cast<std::size_t>(pos)].fmt
                                      : pos > 0 ? story[static_cast<std::size_t>(pos - 1)].fmt : doc.DefaultFormat();
    long at = ParagraphStart(story, pos);
    if (at < pos) {
        // The paragraph is split at pos; the table stands between its halves.
        const std::vector<Atom> mark = TextAtoms(doc, "\r", fmt);
        ReplaceAtoms(doc, story, pos, pos, mark.data(), mark.size());
        at = pos + 1;
    }
    RowWords words;
    words.head = "\\trowd\\trgaph" + std::to_string(kCellGap) + "\\trleft0";
    const int width = doc.PageSetupOf(0).TextWidth();
    for (int c = 0; c < columns; ++c)
        words.cells.push_back({BorderWords(10, 0), static_cast<int>(static_cast<long long>(width) * (c + 1) / columns)});
    const std::string row = JoinRowWords(words);
    const Atom cell = Atom::Make(AtomKind::ParaEnd, doc.InternParaEnd("cell", "\\intbl", row), fmt);
    const Atom rowMark = Atom::Make(AtomKind::ParaEnd, doc.InternParaEnd("row", "\\intbl", row), fmt);
    std::vector<Atom> atoms;
    atoms.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns + 1));
    for (int r = 0; r < rows; ++r) {
        atoms.insert(atoms.end(), static_cast<std::size_t>(columns), cell);
        atoms.push_back(rowMark);
    }
    ReplaceAtoms(doc, story, at, at, atoms.data(), atoms.size());
    Table t(doc, story, at);
    t.Scan();
    return t;
}

long Table::CellStart(int row, int column) const {
    const Row& r = rows_.at(static_cast<std::size_t>(row));
    return column == 0 ? r.start : r.cells.at(static_cast<std::size_t>(column - 1)) + 1;
}

long Table::CellMark(int row, int column) const {
    return rows_.at(static_cast<std::size_t>(row)).cells.at(static_cast<std::size_t>(column));
}

std::pair<int, int> Table::CellAt(long pos) const {
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const Row& row = rows_[r];
        if (pos > row.mark) continue;
        int c = 0;
        while (c < static_cast<int>(row.cells.size()) && row.cells[static_cast<std::size_t>(c)] < pos) ++c;
        return {static_cast<int>(r), std::min(c, std::max(0, static_cast<int>(row.cells.size()) - 1))};
    }
    const int last = Rows() - 1;
    return {last, std::max(0, Columns(last) - 1)};
}

CellSpan Table::Span(long start, long end) const {
    const auto a = CellAt(start);
    auto b = CellAt(end);
    // A selection that stops where a cell starts does not take that cell.
    if (end > start && b != a && end == CellStart(b.first, b.second)) b = CellAt(end - 1);
    return {std::min(a.first, b.first), std::min(a.second, b.second), std::max(a.first, b.first),
            std::max(a.second, b.second)};
}

RowFormat Table::Format(int row) const {
    return doc_->ParaEnd((*story_)[static_cast<std::size_t>(rows_.at(static_cast<std::size_t>(row)).mark)].value).rowFormat;
}

Table::RowParts Table::Parts(int row) const {
    const Row& r = rows_.at(static_cast<std::size_t>(row));
    const Story& s = *story_;
    RowParts parts;
    long from = r.start;
    for (long m : r.cells) {
        CellParts c;
        for (long i = from; i < m; ++i) c.content.push_back(s[static_cast<std::size_t>(i)]);
        c.mark = s[static_cast<std::size_t>(m)];
        parts.cells.push_back(std::move(c));
        from = m + 1;
    }
    parts.mark = s[static_cast<std::size_t>(r.mark)];
    parts.words = SplitRowWords(doc_->ParaEnd(parts.mark.value).row);
    if (!parts.words.head.starts_with("\\trowd")) parts.words.head = "\\trowd" + parts.words.head;
    // A row whose properties state another number of cells than it has
    // (a damaged one) gets a boundary for each of its cells.
    int right = parts.words.cells.empty() ? 0 : parts.words.cells.back().right;
    while (parts.words.cells.size() < parts.cells.size()) parts.words.cells.push_back({{}, right += 1440});
    parts.words.cells.resize(parts.cells.size());
    return parts;
}

std::vector<Atom> Table::Atoms(const RowParts& parts) const {
    const std::string row = JoinRowWords(parts.words);
    auto remark = [&](Atom a) {
        const ParaEndInfo& pe = doc_->ParaEnd(a.value);
        a.value = doc_->InternParaEnd(pe.word, pe.props, row);
        return a;
    };
    std::vector<Atom> atoms;
    for (const CellParts& c : parts.cells) {
        for (Atom a : c.content) {
            // The cell's own paragraphs carry the row; a nested table's keep theirs.
            if (a.Kind() == AtomKind::ParaEnd && doc_->ParaEnd(a.value).word == "par" && IsTableMark(doc_->ParaEnd(a.value)))
                a = remark(a);
            atoms.push_back(a);
        }
        atoms.push_back(remark(c.mark));
    }
    atoms.push_back(remark(parts.mark));
    return atoms;
}

void Table::Rewrite(int row, const RowParts& parts) {
    const Row r = rows_.at(static_cast<std::size_t>(row));
    const std::vector<Atom> atoms = parts.cells.empty() ? std::vector<Atom>{} : Atoms(parts);
    ReplaceAtoms(*doc_, *story_, r.start, r.mark + 1, atoms.data(), atoms.size());
    Scan();
}

void Table::CheckSpan(const CellSpan& s) const {
    if (s.firstRow < 0 || s.lastRow >= Rows() || s.firstRow > s.lastRow || s.firstColumn < 0 ||
        s.firstColumn > s.lastColumn)
        RaiseWordError(kErrTableEdit, "The cells are outside the table.");
}

void Table::InsertRows(int row, int count, bool below) {
    CheckSpan({row, 0, row, 0});
    if (count < 1 || Rows() + count > kMostRows) RaiseWordError(kErrTableEdit, "The table cannot have that many rows.");
    RowParts parts = Parts(row);
    for (CellParts& c : parts.cells) c.content.clear();
    for (RowWords::Cell& c : parts.words.cells) c.words = WithoutCellWords(c.words, {"clvmgf", "clvmrg"});
    std::vector<Atom> atoms;
    const std::vector<Atom> one = Atoms(parts);
    for (int k = 0; k < count; ++k) atoms.insert(atoms.end(), one.begin(), one.end());
    const long at = below ? rows_[static_cast<std::size_t>(row)].mark + 1 : rows_[static_cast<std::size_t>(row)].start;
    ReplaceAtoms(*doc_, *story_, at, at, atoms.data(), atoms.size());
    Scan();
}

void Table::DeleteRows(int first, int last) {
    CheckSpan({first, 0, last, 0});
    ReplaceAtoms(*doc_, *story_, rows_[static_cast<std::size_t>(first)].start,
                 rows_[static_cast<std::size_t>(last)].mark + 1, nullptr, 0);
    Scan();
}

void Table::InsertColumn(int column, bool right) {
    CheckSpan({0, column, 0, column});
    for (int r = 0; r < Rows(); ++r) {
        RowParts parts = Parts(r);
        if (parts.cells.empty()) continue;
        if (static_cast<int>(parts.cells.size()) >= kMostColumns)
            RaiseWordError(kErrTableEdit, "A row has at most " + std::to_string(kMostColumns) + " cells.");
        const int leftEdge = ParseRowFormat(JoinRowWords(parts.words)).leftEdge;
        const std::size_t like = static_cast<std::size_t>(std::min(column, static_cast<int>(parts.cells.size()) - 1));
        std::vector<double> widths = CellWidths(parts.words, leftEdge);
        double total = 0;
        for (double w : widths) total += w;
        const std::size_t at = like + (right ? 1 : 0);
        widths.insert(widths.begin() + static_cast<std::ptrdiff_t>(at), widths[like]);
        // The table keeps its width: every cell gives up its share.
        const double scale = total / (total + widths[at]);
        for (double& w : widths) w *= scale;
        RowWords::Cell cell = parts.words.cells[like];
        cell.words = WithoutCellWords(cell.words, {"clmgf", "clmrg", "clvmgf", "clvmrg"});
        parts.words.cells.insert(parts.words.cells.begin() + static_cast<std::ptrdiff_t>(at), cell);
        CellParts content{{}, parts.cells[like].mark};
        parts.cells.insert(parts.cells.begin() + static_cast<std::ptrdiff_t>(at), content);
        PlaceCells(parts.words, leftEdge, widths);
        TidyMerges(parts.words);
        Rewrite(r, parts);
    }
}

void Table::DeleteColumns(int first, int last) {
    CheckSpan({0, first, 0, last});
    for (int r = Rows() - 1; r >= 0; --r) {
        RowParts parts = Parts(r);
        const int n = static_cast<int>(parts.cells.size());
        if (first >= n) continue;
        const int to = std::min(last, n - 1) + 1;
        const int leftEdge = ParseRowFormat(JoinRowWords(parts.words)).leftEdge;
        std::vector<double> widths = CellWidths(parts.words, leftEdge);
        widths.erase(widths.begin() + first, widths.begin() + to);
        parts.words.cells.erase(parts.words.cells.begin() + first, parts.words.cells.begin() + to);
        parts.cells.erase(parts.cells.begin() + first, parts.cells.begin() + to);
        PlaceCells(parts.words, leftEdge, widths);
        TidyMerges(parts.words);
        Rewrite(r, parts);
    }
}

void Table::Delete() {
    if (rows_.empty()) return;
    ReplaceAtoms(*doc_, *story_, start_, End(), nullptr, 0);
    rows_.clear();
}

void Table::MergeCells(const CellSpan& span) {
    CheckSpan(span);
    const bool across = span.firstRow == span.lastRow;
    const bool down = span.firstColumn == span.lastColumn;
    if (across && down) return; // one cell
    if (!across && !down) RaiseWordError(kErrTableEdit, "Only cells of one row or of one column can be merged.");
    // The text of the cells merged into the first one, as its next paragraphs.
    auto append = [this](std::vector<Atom>& into, const CellParts& from) {
        if (from.content.empty()) return;
        if (!into.empty()) {
            const ParaEndInfo& pe = doc_->ParaEnd(from.mark.value);
            into.push_back(Atom::Make(AtomKind::ParaEnd, doc_->InternParaEnd("par", pe.props, pe.row), from.mark.fmt));
        }
        into.insert(into.end(), from.content.begin(), from.content.end());
    };
    auto flag = [](RowWords::Cell& c, const char* word) {
        c.words = std::string("\\") + word + WithoutCellWords(c.words, {"clmgf", "clmrg", "clvmgf", "clvmrg"});
    };
    if (across) {
        RowParts parts = Parts(span.firstRow);
        const int n = static_cast<int>(parts.cells.size());
        if (span.lastColumn >= n) RaiseWordError(kErrTableEdit, "The cells are outside the table.");
        const std::size_t first = static_cast<std::size_t>(span.firstColumn);
        flag(parts.words.cells[first], "clmgf");
        for (std::size_t k = first + 1; k <= static_cast<std::size_t>(span.lastColumn); ++k) {
            append(parts.cells[first].content, parts.cells[k]);
            parts.cells[k].content.clear();
            flag(parts.words.cells[k], "clmrg");
        }
        Rewrite(span.firstRow, parts);
        return;
    }
    const std::size_t column = static_cast<std::size_t>(span.firstColumn);
    for (int r = span.firstRow; r <= span.lastRow; ++r)
        if (Columns(r) <= span.firstColumn) RaiseWordError(kErrTableEdit, "The cells are outside the table.");
    std::vector<CellParts> moved; // the lower cells' text, top first
    for (int r = span.lastRow; r > span.firstRow; --r) {
        RowParts parts = Parts(r);
        moved.insert(moved.begin(), parts.cells[column]);
        parts.cells[column].content.clear();
        flag(parts.words.cells[column], "clvmrg");
        Rewrite(r, parts);
    }
    RowParts top = Parts(span.firstRow);
    for (const CellParts& c : moved) append(top.cells[column].content, c);
    flag(top.words.cells[column], "clvmgf");
    Rewrite(span.firstRow, top);
}

void Table::SetShading(const CellSpan& span, std::int32_t rgb) {
    CheckSpan(span);
    const int entry = rgb < 0 ? 0 : doc_->ColorEntry(rgb & 0xFFFFFF);
    for (int r = span.firstRow; r <= span.lastRow; ++r) {
        RowParts parts = Parts(r);
        for (int c = span.firstColumn; c <= span.lastColumn && c < static_cast<int>(parts.cells.size()); ++c) {
            std::string& w = parts.words.cells[static_cast<std::size_t>(c)].words;
            w = WithoutCellWords(w, {"clcbpat", "clcfpat", "clshdng"});
            if (entry > 0) w += "\\clcbpat" + std::to_string(entry);
        }
        Rewrite(r, parts);
    }
}

void Table::SetBorders(const CellSpan& span, int width, std::int32_t rgb) {
    CheckSpan(span);
    width = std::clamp(width, 0, 75); // the widest single line a reader draws
    const int entry = rgb < 0 ? 0 : doc_->ColorEntry(rgb & 0xFFFFFF);
    for (int r = span.firstRow; r <= span.lastRow; ++r) {
        RowParts parts = Parts(r);
        for (int c = span.firstColumn; c <= span.lastColumn && c < static_cast<int>(parts.cells.size()); ++c) {
            std::string& w = parts.words.cells[static_cast<std::size_t>(c)].words;
            w = WithoutCellWords(w, {}, true);
            if (width > 0) w += BorderWords(width, entry);
        }
        Rewrite(r, parts);
    }
}

} // namespace qz::word
