// A read-only grid of display texts for previewing data. A table has named
// columns and rows of cell texts; a column can be a chapter, whose cell in
// each row is not a text but a table of child rows (a recordset nested in a
// recordset), so the grid is a hierarchy.
#pragma once

#include "platform/ui/Controls.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qz::ui {

struct GridRow;

struct GridTable {
    std::vector<std::string> Columns;
    std::vector<bool> ChapterColumns;  // per column; missing entries are plain
    std::vector<GridRow> Rows;

    bool operator==(const GridTable&) const;
    bool IsChapter(std::size_t column) const noexcept {
        return column < ChapterColumns.size() && ChapterColumns[column];
    }
};

struct GridChapter {
    std::size_t Column = 0;  // the chapter column of the parent table
    GridTable Table;
    bool operator==(const GridChapter&) const = default;
};

struct GridRow {
    std::vector<std::string> Cells;  // one per column; "" in chapter columns
    std::vector<GridChapter> Chapters;
    bool operator==(const GridRow&) const = default;
};

inline bool GridTable::operator==(const GridTable& o) const {
    return Columns == o.Columns && ChapterColumns == o.ChapterColumns && Rows == o.Rows;
}

struct DataGrid : Control {
    GridTable Data;
    void Clear() { Data = GridTable{}; }
};

} // namespace qz::ui
