// A tree of nodes, each with a unique key, a text, a tag and an image, as the
// data windows show their connections, commands and columns. Nodes are kept
// in the order they were added (the order of Nodes()); the display order is
// the children's order under each parent. Keys compare exactly; a node may
// have an empty key (it is then found only by walking the tree).
//
// Geometry: while a view shows the tree, it answers node rectangles and hit
// tests (View). Without a view the tree is laid out as rows of RowHeight
// pixels, one per visible node in display order, the label of a node of depth
// d starting at Indentation * (d + 1) and CharWidth pixels per character wide.
#pragma once

#include "platform/ui/Controls.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace qz::ui {

// Where Add puts a node relative to another.
enum TreeRelationship : int { tvwFirst = 0, tvwLast = 1, tvwNext = 2, tvwPrevious = 3, tvwChild = 4 };
// Label editing: automatic (the user starts it: F2, click on the selected
// node) or manual (only StartLabelEdit starts it).
enum TreeLabelEdit : int { tvwAutomatic = 0, tvwManual = 1 };

class TreeView;

class Node {
public:
    std::string Text;
    std::string Tag;
    int Image = 0;
    bool Expanded = false;

    const std::string& Key() const noexcept { return key_; }
    Node* Parent() const noexcept { return parent_; }
    const std::vector<Node*>& Children() const noexcept { return children_; }
    bool Selected() const noexcept;
    // Nesting depth: 0 for a top-level node.
    int Depth() const noexcept;

private:
    friend class TreeView;
    TreeView* tree_ = nullptr;
    std::string key_;
    Node* parent_ = nullptr;
    std::vector<Node*> children_;
};

class TreeView : public Control {
public:
    // Answers of the view that shows the tree, in the tree's client pixels.
    struct Geometry {
        virtual ~Geometry() = default;
        // False when the node is not shown (a collapsed parent, scrolled away).
        virtual bool labelRect(const Node& node, Rect& rect) const = 0;
        virtual Node* hitTest(int x, int y) const = 0;
    };

    TreeView() = default;
    TreeView(const TreeView&) = delete;
    TreeView& operator=(const TreeView&) = delete;

    int LabelEdit = tvwAutomatic;
    int RowHeight = 16, Indentation = 19, CharWidth = 7;
    Geometry* View = nullptr;  // set by the view while it shows the tree

    // Adds a node. relative names an existing node by key; with an empty
    // relative the node goes to the top level (first for tvwFirst, else
    // last). tvwChild: the relative's last child; tvwFirst, tvwLast: first or
    // last among the relative's siblings; tvwNext, tvwPrevious: just after or
    // before it. Raises 35602 for a key in use, 35601 for an unknown relative.
    Node& Add(const std::string& relative, int relationship, std::string key, std::string text,
              int image = 0);
    // A top-level node, last.
    Node& Add(std::string key, std::string text, int image = 0) {
        return Add({}, tvwLast, std::move(key), std::move(text), image);
    }
    // Removes the node with its descendants (35601 for an unknown key). When
    // the selection goes with it, the next sibling, else the previous, else
    // the parent becomes selected.
    void Remove(const std::string& key);
    void Remove(Node& node);
    void Clear();

    std::size_t Count() const noexcept { return nodes_.size(); }
    // Every node, in the order added.
    std::vector<Node*> Nodes() const;
    const std::vector<Node*>& Roots() const noexcept { return roots_; }
    Node* Find(const std::string& key) const;
    // The node of that key; raises 35601 when there is none.
    Node& Item(const std::string& key) const;

    Node* SelectedItem() const noexcept { return selected_; }
    // Selects a node of this tree (nullptr: no selection).
    void Select(Node* node);
    // Expands every ancestor, so that the node is shown.
    void EnsureVisible(Node& node);
    // The shown nodes in display order: top-level nodes and the children of
    // expanded nodes whose own parents are shown.
    std::vector<Node*> VisibleNodes() const;

    // Label editing of the selected node. BeforeLabelEdit may refuse to start;
    // AfterLabelEdit sees the new text and may refuse it (the node keeps its
    // text). Start returns whether editing began, End whether the text was taken.
    std::function<void(bool& cancel)> BeforeLabelEdit;
    std::function<void(bool& cancel, const std::string& newText)> AfterLabelEdit;
    bool StartLabelEdit();
    bool EndLabelEdit(const std::string& newText);
    void CancelLabelEdit() noexcept { editing_ = nullptr; }
    Node* EditingNode() const noexcept { return editing_; }

    // The rectangle of a node's label; false, with rect unchanged, when the
    // node is not shown.
    bool NodeRect(const Node& node, Rect& rect) const;
    // The node whose row holds the point, nullptr when none.
    Node* HitTest(int x, int y) const;

    // Raised on every change of the set or order of nodes (views rebuild on it).
    std::uint64_t StructureVersion() const noexcept { return version_; }

private:
    std::vector<Node*>& siblingsOf(Node* parent) { return parent ? parent->children_ : roots_; }
    void collect(const std::vector<Node*>& level, std::vector<Node*>& out) const;

    std::vector<std::unique_ptr<Node>> nodes_;
    std::vector<Node*> roots_;
    std::unordered_map<std::string, Node*> byKey_;
    Node* selected_ = nullptr;
    Node* editing_ = nullptr;
    std::uint64_t version_ = 0;
};

} // namespace qz::ui
