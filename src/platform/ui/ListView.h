// A list in report view: column headers, rows with a text (first column) and
// sub-items (the next columns), check boxes, and sorting by a column.
// Rows are counted from 0 here; SubItem(1) is the second column's text.
#pragma once

#include "platform/ui/Controls.h"

#include <memory>
#include <string>
#include <vector>

namespace qz::ui {

enum ListSortOrder : int { lvwAscending = 0, lvwDescending = 1 };

struct ColumnHeader {
    std::string Text;
    std::string Key;
    int Width = 0;
};

class ListItem {
public:
    std::string Text;
    std::string Tag;
    bool Checked = false;
    bool Selected = false;
    std::vector<std::string> SubItems;  // SubItems[0] is the second column

    const std::string& Key() const noexcept { return key_; }
    // The text of sub-item i (from 1), "" when it has none.
    std::string SubItem(int i) const;
    void SetSubItem(int i, std::string text);
    // The text shown in a column: 0 the item's text, i > 0 SubItem(i).
    std::string ColumnText(int column) const { return column == 0 ? Text : SubItem(column); }

private:
    friend class ListView;
    std::string key_;
};

class ListView : public Control {
public:
    ListView() = default;
    ListView(const ListView&) = delete;
    ListView& operator=(const ListView&) = delete;

    std::vector<ColumnHeader> ColumnHeaders;
    bool CheckBoxes = false;
    // While Sorted, the rows are kept in the order of column SortKey (from
    // 0), compared as text without regard to case, in SortOrder.
    bool Sorted = false;
    int SortKey = 0;
    int SortOrder = lvwAscending;

    ColumnHeader& AddColumn(std::string text, int width = 0, std::string key = {});
    // Adds a row at the end (in its place while Sorted). Raises 35602 for a
    // key in use.
    ListItem& Add(std::string text, std::string key = {});
    void Remove(std::size_t index);  // 35600 when out of range
    void Clear() noexcept { items_.clear(); }

    std::size_t Count() const noexcept { return items_.size(); }
    ListItem& Item(std::size_t index) const;  // 35600 when out of range
    ListItem* Find(const std::string& key) const;
    // The position of a row of this list, -1 when it is not one.
    int IndexOf(const ListItem& item) const noexcept;

    // The first selected row, nullptr when none; Select makes one row the
    // only selected one (nullptr: none).
    ListItem* SelectedItem() const noexcept;
    void Select(ListItem* item) noexcept;

    // Orders the rows by SortKey and SortOrder (stable).
    void Sort();
    // A click on a column header: another column sorts by it ascending, the
    // current sort column again reverses the order; sorting is then on.
    void SortByColumn(int column);

private:
    std::vector<std::unique_ptr<ListItem>> items_;
};

} // namespace qz::ui
