// The cells of a spreadsheet workbook, as the Jet provider's Excel source
// turns them into tables: every worksheet, and every named range that is one
// block of cells. Both workbook formats (.xls and .xlsx) are read into this.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qz::ado::workbook {

enum class CellKind : std::uint8_t { Empty, Text, Number, Date, Boolean };

// A cell's value as text: numbers in their shortest exact form, dates as
// "YYYY-MM-DD HH:MM:SS", booleans as 1 and 0.
struct Cell {
    CellKind kind = CellKind::Empty;
    std::string text;
};

// A block of cells: its rows that hold a value, the first row always kept
// (it may be the header), every row as wide as the block.
struct Block {
    std::string name;  // the table's name: "Sheet1$", "Prices", "Sheet1$Prices"
    std::size_t width = 0;
    std::vector<std::vector<Cell>> rows;
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
// were saved with.
std::vector<Block> readXls(const std::string& path);

// Reads an Office Open XML workbook (.xlsx, .xlsm): its worksheets, then its
// named ranges. A file that is not such a workbook, or is damaged, raises the
// provider's error naming the file and what is wrong.
std::vector<Block> readXlsx(const std::string& path);

} // namespace qz::ado::workbook
