// The cells of a spreadsheet workbook, as the Jet provider's Excel source
// turns them into tables: every worksheet, and every named range that is one
// block of cells. Both workbook formats (.xls and .xlsx) are read into this.
#pragma once

#include "platform/automation/MemoryMeter.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qz::ado::workbook {

enum class CellKind : std::uint8_t { Empty, Text, Number, Date, Boolean };

// A cell's value as text: numbers in their shortest exact form, dates as
// "YYYY-MM-DD HH:MM:SS", booleans as 1 and 0. A text of the workbook's shared
// strings is named by its index, not copied: one long text that many cells
// show is held once, and written out a row at a time.
struct Cell {
    CellKind kind = CellKind::Empty;
    std::int32_t shared = -1;
    std::string text;
};

// A block of cells: its rows that hold a value, the first row always kept
// (it may be the header), every row as wide as the block.
struct Block {
    std::string name;  // the table's name: "Sheet1$", "Prices", "Sheet1$Prices"
    std::size_t width = 0;
    std::vector<std::vector<Cell>> rows;
    std::int64_t held = 0;  // what it holds, counted by its reader while it lives
};

inline constexpr int kMaxRow = 1'048'576, kMaxColumn = 16'384;

// A cell of a sheet as read: its column and its value.
struct SheetCell {
    int column = 0;
    Cell cell;
};

// The cells of one worksheet that hold a value, by row, in column order.
struct SheetCells {
    std::map<int, std::vector<SheetCell>> rows;
    int firstRow = kMaxRow, lastRow = -1, firstColumn = kMaxColumn, lastColumn = -1;
};

// A table to be made of a sheet's cells: a worksheet, or a defined name's
// block of cells, from (r0, c0) to (r1, c1).
struct TableArea {
    std::string name;
    std::size_t sheet = 0;
    int r0 = 0, c0 = 0, r1 = 0, c1 = 0;
};

// What a reader keeps of a workbook: its shared strings, its worksheets'
// cells and the tables to make of them. What it holds counts against the
// memory ceiling and the reader's own bounds as it grows, and a table's block
// of cells is cut only when the table is made.
class Contents {
public:
    explicit Contents(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    std::vector<std::string> strings;
    std::vector<SheetCells> sheets;
    std::vector<TableArea> tables;

    // Counts `bytes` more held by the reader; error 7, naming the file,
    // past the memory ceiling.
    void hold(std::int64_t bytes);
    // Gives back what a reader held for a while (the file's bytes, a block
    // whose table is made).
    void release(std::int64_t bytes);
    void addString(std::string text);
    // Puts a cell that holds a value in its row; a later one of the same
    // column takes the place of the earlier.
    void put(SheetCells& sheet, int row, int column, Cell cell);
    // The block of cells of a table; its shared texts stay named by index.
    Block cut(const TableArea& area);
    const std::string& text(const Cell& c) const {
        return c.shared >= 0 ? strings[static_cast<std::size_t>(c.shared)] : c.text;
    }
    // Counts the text of a row about to be written out against the reader's
    // bound on text.
    void countText(std::int64_t bytes);

private:
    void countCells(std::size_t n);

    std::string path_;
    memory::Tally tally_;
    std::int64_t held_ = 0, text_ = 0;
    std::size_t cells_ = 0;
};

// The shortest text of a number that reads back as the same number.
std::string numberText(double v);
// Automation date (days since 30 December 1899) as "YYYY-MM-DD HH:MM:SS";
// with dayOnlyAtMidnight, a date without time of day as "YYYY-MM-DD".
std::string isoFromOleDate(double v, bool dayOnlyAtMidnight = false);

// Whether a number format shows a date or a time: a format text, or the
// number of one of the formats every workbook has.
bool isDateFormat(std::string_view code);
bool isBuiltinDateFormat(long id);

// Reads a workbook of Excel 97 to 2003 (.xls): its worksheets, then its
// defined names of one block of cells. Formula cells give the result they
// were saved with. A file that is not such a workbook, is damaged, protected
// by a password or holds no worksheet raises the provider's error naming the
// file and what is wrong.
std::unique_ptr<Contents> readXls(const std::string& path);

// Reads an Office Open XML workbook (.xlsx, .xlsm): its worksheets, then its
// named ranges. A file that is not such a workbook, or is damaged, raises the
// provider's error naming the file and what is wrong.
std::unique_ptr<Contents> readXlsx(const std::string& path);

// Reads either format, as the file's first bytes say, and raises error 7
// naming the file when memory runs out on the way.
std::unique_ptr<Contents> readWorkbook(const std::string& path);

} // namespace qz::ado::workbook
