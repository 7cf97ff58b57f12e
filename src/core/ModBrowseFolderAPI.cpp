#include "core/ModBrowseFolderAPI.h"

#include "platform/ui/UiHost.h"

namespace qz {

std::string RemoveTrailingBackslash(const std::string& text) {
    if (text.empty() || text == "/") return text;
    const char last = text.back();
    return last == '\\' || last == '/' ? text.substr(0, text.size() - 1) : text;
}

std::string BrowseForFolder(ui::Form* /*owner*/, const std::string& title, const std::string& start) {
    // The host's picker opens over the active window.
    return ui::currentHost().folderDialog(title, RemoveTrailingBackslash(start)).value_or(std::string{});
}

void GetSelectedNodeRect(const ui::TreeView& tree, ui::Rect& rect) {
    if (const ui::Node* node = tree.SelectedItem()) tree.NodeRect(*node, rect);
}

} // namespace qz
