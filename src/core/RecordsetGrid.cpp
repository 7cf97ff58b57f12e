#include "core/RecordsetGrid.h"

namespace qz {
namespace {

// Chapters nest as deep as the saved file does; a grid this deep is no longer
// readable, and the limit keeps a pathological file from exhausting the stack.
constexpr int kMaxDepth = 32;

std::string cellText(const Variant& v) {
    if (v.isNull() || v.isEmpty() || v.isArray() || v.isObject()) return {};
    return v.toUtf8();
}

ui::GridTable tableOf(const ado::RecordsetData* data, const std::vector<ado::Column>& columns, int depth) {
    ui::GridTable t;
    for (const ado::Column& c : columns) {
        t.Columns.push_back(c.name);
        t.ChapterColumns.push_back(c.type == ado::adChapter);
    }
    if (!data || !data->open) return t;
    t.Rows.reserve(data->rowCount);
    for (std::size_t r = 0; r < data->rowCount; ++r) {
        ui::GridRow row;
        row.Cells.reserve(columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const Variant v = data->value(r, c);
            if (!t.IsChapter(c)) {
                row.Cells.push_back(cellText(v));
                continue;
            }
            row.Cells.emplace_back();
            if (depth >= kMaxDepth) continue;
            const auto* child = dynamic_cast<const ado::Recordset*>(v.objectValue());
            const ado::RecordsetData* childData = child ? child->data() : nullptr;
            const std::vector<ado::Column>& childColumns =
                childData ? childData->columns : columns[c].chapter ? columns[c].chapter->columns : std::vector<ado::Column>{};
            row.Chapters.push_back({c, tableOf(childData, childColumns, depth + 1)});
        }
        t.Rows.push_back(std::move(row));
    }
    return t;
}

} // namespace

void FillGridFromRecordset(ui::DataGrid& grid, const ado::Recordset& recordset) {
    grid.Clear();
    const ado::RecordsetData* data = recordset.data();
    if (!recordset.isOpen() || !data) return;
    grid.Data = tableOf(data, data->columns, 0);
}

} // namespace qz
