#include "platform/ui/ListView.h"

#include "platform/automation/AutomationError.h"

#include <algorithm>
#include <cctype>

namespace qz::ui {
namespace {

[[noreturn]] void outOfBounds() { throw AutomationError(35600, "ListView", "Index out of bounds"); }

// Text order without regard to (ASCII) case.
int compareText(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

} // namespace

std::string ListItem::SubItem(int i) const {
    return i >= 1 && i <= static_cast<int>(SubItems.size()) ? SubItems[i - 1] : std::string{};
}

void ListItem::SetSubItem(int i, std::string text) {
    if (i < 1) outOfBounds();
    if (i > static_cast<int>(SubItems.size())) SubItems.resize(i);
    SubItems[i - 1] = std::move(text);
}

ColumnHeader& ListView::AddColumn(std::string text, int width, std::string key) {
    ColumnHeaders.push_back({std::move(text), std::move(key), width});
    return ColumnHeaders.back();
}

ListItem& ListView::Add(std::string text, std::string key) {
    if (!key.empty() && Find(key))
        throw AutomationError(35602, "ListView", "Key is not unique in collection");
    auto item = std::make_unique<ListItem>();
    item->Text = std::move(text);
    item->key_ = std::move(key);
    ListItem& ref = *item;
    items_.push_back(std::move(item));
    if (Sorted) Sort();
    return ref;
}

void ListView::Remove(std::size_t index) {
    if (index >= items_.size()) outOfBounds();
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

ListItem& ListView::Item(std::size_t index) const {
    if (index >= items_.size()) outOfBounds();
    return *items_[index];
}

ListItem* ListView::Find(const std::string& key) const {
    for (const auto& i : items_)
        if (i->key_ == key) return i.get();
    return nullptr;
}

int ListView::IndexOf(const ListItem& item) const noexcept {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == &item) return static_cast<int>(i);
    return -1;
}

ListItem* ListView::SelectedItem() const noexcept {
    for (const auto& i : items_)
        if (i->Selected) return i.get();
    return nullptr;
}

void ListView::Select(ListItem* item) noexcept {
    for (const auto& i : items_) i->Selected = i.get() == item;
}

void ListView::Sort() {
    const int key = SortKey;
    const bool down = SortOrder == lvwDescending;
    std::stable_sort(items_.begin(), items_.end(), [&](const auto& a, const auto& b) {
        const int c = compareText(a->ColumnText(key), b->ColumnText(key));
        return down ? c > 0 : c < 0;
    });
}

void ListView::SortByColumn(int column) {
    if (column < 0) return;
    if (Sorted && column == SortKey) {
        SortOrder = SortOrder == lvwAscending ? lvwDescending : lvwAscending;
    } else {
        SortKey = column;
        SortOrder = lvwAscending;
    }
    Sorted = true;
    Sort();
}

} // namespace qz::ui
