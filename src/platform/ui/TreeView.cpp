#include "platform/ui/TreeView.h"

#include "platform/automation/AutomationError.h"

#include <algorithm>

namespace qz::ui {
namespace {

[[noreturn]] void notFound() { throw AutomationError(35601, "TreeView", "Element not found"); }

int chars(const std::string& utf8) {
    return static_cast<int>(std::count_if(utf8.begin(), utf8.end(),
                                          [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

} // namespace

bool Node::Selected() const noexcept { return tree_ && tree_->SelectedItem() == this; }

int Node::Depth() const noexcept {
    int d = 0;
    for (const Node* p = parent_; p; p = p->parent_) ++d;
    return d;
}

Node& TreeView::Add(const std::string& relative, int relationship, std::string key,
                    std::string text, int image) {
    if (!key.empty() && byKey_.count(key))
        throw AutomationError(35602, "TreeView", "Key is not unique in collection");
    Node* rel = nullptr;
    if (!relative.empty() && !(rel = Find(relative))) notFound();

    auto node = std::make_unique<Node>();
    node->tree_ = this;
    node->key_ = std::move(key);
    node->Text = std::move(text);
    node->Image = image;
    Node* n = node.get();

    std::vector<Node*>* level = &roots_;
    std::size_t at = roots_.size();
    if (rel && relationship == tvwChild) {
        n->parent_ = rel;
        level = &rel->children_;
        at = level->size();
    } else if (rel) {
        n->parent_ = rel->parent_;
        level = &siblingsOf(rel->parent_);
        const auto pos = static_cast<std::size_t>(std::find(level->begin(), level->end(), rel) - level->begin());
        at = relationship == tvwFirst ? 0 : relationship == tvwNext ? pos + 1
           : relationship == tvwPrevious ? pos : level->size();
    } else if (relationship == tvwFirst) {
        at = 0;
    }
    level->insert(level->begin() + static_cast<std::ptrdiff_t>(at), n);
    if (!n->key_.empty()) byKey_[n->key_] = n;
    nodes_.push_back(std::move(node));
    ++version_;
    return *n;
}

void TreeView::Remove(const std::string& key) { Remove(Item(key)); }

void TreeView::Remove(Node& node) {
    if (node.tree_ != this) notFound();
    // The node and its descendants.
    std::vector<Node*> gone{&node};
    for (std::size_t i = 0; i < gone.size(); ++i)
        gone.insert(gone.end(), gone[i]->children_.begin(), gone[i]->children_.end());
    auto isGone = [&](const Node* n) { return std::find(gone.begin(), gone.end(), n) != gone.end(); };

    std::vector<Node*>& level = siblingsOf(node.parent_);
    const auto pos = std::find(level.begin(), level.end(), &node);
    if (selected_ && isGone(selected_)) {
        Node* next = pos + 1 != level.end() ? *(pos + 1) : pos != level.begin() ? *(pos - 1) : node.parent_;
        selected_ = next;
    }
    if (editing_ && isGone(editing_)) editing_ = nullptr;
    level.erase(pos);
    for (Node* n : gone)
        if (!n->key_.empty()) byKey_.erase(n->key_);
    std::erase_if(nodes_, [&](const std::unique_ptr<Node>& n) { return isGone(n.get()); });
    ++version_;
}

void TreeView::Clear() {
    nodes_.clear();
    roots_.clear();
    byKey_.clear();
    selected_ = editing_ = nullptr;
    ++version_;
}

std::vector<Node*> TreeView::Nodes() const {
    std::vector<Node*> out;
    out.reserve(nodes_.size());
    for (const auto& n : nodes_) out.push_back(n.get());
    return out;
}

Node* TreeView::Find(const std::string& key) const {
    const auto it = byKey_.find(key);
    return it == byKey_.end() ? nullptr : it->second;
}

Node& TreeView::Item(const std::string& key) const {
    Node* n = Find(key);
    if (!n) notFound();
    return *n;
}

void TreeView::Select(Node* node) {
    if (node && node->tree_ != this) notFound();
    selected_ = node;
}

void TreeView::EnsureVisible(Node& node) {
    for (Node* p = node.parent_; p; p = p->parent_) p->Expanded = true;
}

void TreeView::collect(const std::vector<Node*>& level, std::vector<Node*>& out) const {
    for (Node* n : level) {
        out.push_back(n);
        if (n->Expanded) collect(n->children_, out);
    }
}

std::vector<Node*> TreeView::VisibleNodes() const {
    std::vector<Node*> out;
    collect(roots_, out);
    return out;
}

bool TreeView::StartLabelEdit() {
    if (!selected_) return false;
    if (editing_ == selected_) return true;
    bool cancel = false;
    if (BeforeLabelEdit) BeforeLabelEdit(cancel);
    editing_ = cancel ? nullptr : selected_;
    return !cancel;
}

bool TreeView::EndLabelEdit(const std::string& newText) {
    Node* node = editing_;
    if (!node) return false;
    editing_ = nullptr;
    bool cancel = false;
    if (AfterLabelEdit) AfterLabelEdit(cancel, newText);
    if (cancel) return false;
    // The handler may have removed the node or cleared the tree.
    if (std::none_of(nodes_.begin(), nodes_.end(), [&](const auto& n) { return n.get() == node; }))
        return false;
    node->Text = newText;
    return true;
}

bool TreeView::NodeRect(const Node& node, Rect& rect) const {
    if (View) return View->labelRect(node, rect);
    const std::vector<Node*> rows = VisibleNodes();
    const auto it = std::find(rows.begin(), rows.end(), &node);
    if (it == rows.end()) return false;
    const int row = static_cast<int>(it - rows.begin());
    rect.Left = Indentation * (node.Depth() + 1);
    rect.Top = row * RowHeight;
    rect.Right = rect.Left + CharWidth * chars(node.Text) + 4;
    rect.Bottom = rect.Top + RowHeight;
    return true;
}

Node* TreeView::HitTest(int x, int y) const {
    if (View) return View->hitTest(x, y);
    if (y < 0 || RowHeight <= 0) return nullptr;
    const std::vector<Node*> rows = VisibleNodes();
    const auto row = static_cast<std::size_t>(y / RowHeight);
    if (row >= rows.size()) return nullptr;
    Rect r;
    NodeRect(*rows[row], r);
    // The row's expand box and image count as the node, as the label does.
    return x >= r.Left - Indentation && x < r.Right ? rows[row] : nullptr;
}

} // namespace qz::ui
