// The folder picker and the small path and tree routines the data-source
// dialogs use.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "platform/ui/TreeView.h"

#include <string>

namespace qz {

// Shows the folder picker titled `title`, opened on `start` (one trailing
// separator removed). Returns the chosen folder, "" when the user cancelled.
std::string BrowseForFolder(ui::Form* owner, const std::string& title, const std::string& start);

// The text without one trailing path separator ("\" or "/"); "" stays "" and
// the root "/" stays itself.
std::string RemoveTrailingBackslash(const std::string& text);

// The rectangle of the selected node's label in the tree's client pixels;
// the rectangle is left as it was when no node is selected or the selected
// node is not shown.
void GetSelectedNodeRect(const ui::TreeView& tree, ui::Rect& rect);

} // namespace qz
