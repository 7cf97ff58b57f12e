// What the workbook readers share: the cells they keep, counted against the
// memory ceiling and their own bounds, and the blocks of cells cut from them
// when a table is made.
#include "platform/ado/Workbook.h"

#include "platform/ado/AdoTypes.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <new>

namespace qz::ado::workbook {

namespace {

constexpr const char* kSource = "Jet";
// The tables made of a workbook hold at most this many cells (named ranges
// included, empty cells of their rows too) and this much text; a table has
// at most as many columns as SQLite's.
constexpr std::size_t kMaxCells = 10'000'000;
constexpr std::int64_t kMaxText = std::int64_t{1} << 30;
constexpr int kMaxTableColumns = 2000;
constexpr std::int64_t kRowBytes = 64;  // a row's entry of a sheet's map

[[noreturn]] void raiseTooMuchData(const std::string& path) {
    raiseProvider(kSource, "The workbook '" + path + "' holds more data than can be read (over " +
                               std::to_string(kMaxText >> 20) + " MB).");
}

bool isZipFile(const std::string& path) {
    char magic[4] = {};
    std::ifstream in(path, std::ios::binary);
    return in.read(magic, sizeof magic) && std::memcmp(magic, "PK\x03\x04", 4) == 0;
}

} // namespace

void Contents::hold(std::int64_t bytes) {
    if (memory::wouldPass(bytes)) raiseOutOfMemory(kSource, "the cells of the workbook '" + path_ + "'");
    held_ += bytes;
    if (held_ > kMaxText) raiseTooMuchData(path_);
    tally_.set(held_);
}

void Contents::release(std::int64_t bytes) {
    held_ -= std::min(bytes, held_);
    tally_.set(held_);
}

void Contents::countText(std::int64_t bytes) {
    text_ += bytes;
    if (text_ > kMaxText) raiseTooMuchData(path_);
}

void Contents::countCells(std::size_t n) {
    cells_ += n;
    if (cells_ > kMaxCells)
        raiseProvider(kSource, "The workbook '" + path_ + "' has more cells than can be read (over " +
                                   std::to_string(kMaxCells) + ").");
}

void Contents::addString(std::string text) {
    hold(static_cast<std::int64_t>(sizeof(std::string) + text.size()));
    strings.push_back(std::move(text));
}

void Contents::put(SheetCells& sheet, int row, int column, Cell cell) {
    if (cell.kind == CellKind::Empty) return;
    countCells(1);
    hold(static_cast<std::int64_t>(sizeof(SheetCell) + cell.text.size()));
    auto [it, added] = sheet.rows.try_emplace(row);
    if (added) hold(kRowBytes);
    std::vector<SheetCell>& cells = it->second;
    if (cells.empty() || cells.back().column < column) {
        cells.push_back({column, std::move(cell)});
    } else {  // written out of order: in its place
        auto at = std::lower_bound(cells.begin(), cells.end(), column,
                                   [](const SheetCell& c, int col) { return c.column < col; });
        if (at != cells.end() && at->column == column) at->cell = std::move(cell);
        else cells.insert(at, {column, std::move(cell)});
    }
    sheet.firstRow = std::min(sheet.firstRow, row);
    sheet.lastRow = std::max(sheet.lastRow, row);
    sheet.firstColumn = std::min(sheet.firstColumn, column);
    sheet.lastColumn = std::max(sheet.lastColumn, column);
}

// The block's first row, then the rows after it that hold a value. Columns
// past the sheet's last one are empty: a range over whole rows ("A1:XFD9")
// gives the columns that hold something.
Block Contents::cut(const TableArea& area) {
    const SheetCells& s = sheets[area.sheet];
    Block b;
    b.name = area.name;
    const int r0 = area.r0, c0 = area.c0, r1 = area.r1;
    const int c1 = std::min(area.c1, std::max(c0, s.lastColumn));
    if (r1 < r0 || c1 < c0) return b;
    if (c1 - c0 + 1 > kMaxTableColumns)
        raiseProvider(kSource, "The table [" + b.name.substr(0, 256) + "] of the workbook '" + path_ +
                                   "' would have " + std::to_string(c1 - c0 + 1) + " columns; a table has at most " +
                                   std::to_string(kMaxTableColumns) + ".");
    b.width = static_cast<std::size_t>(c1 - c0 + 1);
    const auto byColumn = [](const SheetCell& c, int column) { return c.column < column; };
    // What the block holds is counted by the block and by the reader.
    const auto take = [&](std::int64_t bytes) {
        b.held += bytes;
        hold(bytes);
    };
    // The row's cells within the block, or none when it has none.
    auto add = [&](const std::vector<SheetCell>* cells) {
        auto it = cells ? std::lower_bound(cells->begin(), cells->end(), c0, byColumn)
                        : std::vector<SheetCell>::const_iterator();
        const bool any = cells && it != cells->end() && it->column <= c1;
        if (!any && !b.rows.empty()) return;
        countCells(b.width);
        take(static_cast<std::int64_t>(b.width * sizeof(Cell)));
        std::vector<Cell>& row = b.rows.emplace_back(b.width);
        for (; any && it != cells->end() && it->column <= c1; ++it) {
            Cell& cell = row[static_cast<std::size_t>(it->column - c0)];
            cell.kind = it->cell.kind;
            cell.shared = it->cell.shared;
            if (cell.shared < 0) {
                take(static_cast<std::int64_t>(it->cell.text.size()));
                cell.text = it->cell.text;
            }
        }
    };
    const auto first = s.rows.find(r0);
    add(first == s.rows.end() ? nullptr : &first->second);
    for (auto it = s.rows.upper_bound(r0); it != s.rows.end() && it->first <= r1; ++it) add(&it->second);
    return b;
}

std::unique_ptr<Contents> readWorkbook(const std::string& path) {
    try {
        return isZipFile(path) ? readXlsx(path) : readXls(path);
    } catch (const std::bad_alloc&) {
        raiseOutOfMemory(kSource, "the workbook '" + path + "'");
    }
}

} // namespace qz::ado::workbook
