// The map between positions of the document view's text (a QTextDocument)
// and positions of the model story it shows. The view's text holds one
// block per shown paragraph (or part of one, or table cell); each block
// knows the model atoms it shows and, for each of its characters, the model
// position that character stands for. Hidden atoms show no character, and
// a field's result shows characters that all stand for one position.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

class QTextDocument;
class QTextTable;

namespace qz::views {

// One block of the view: the model atoms [start, start + length) of one
// visible paragraph (its end mark included), and for each character of
// the block the model position it shows, relative to start.
struct ViewBlock {
    long start = 0;
    long length = 0;
    std::vector<int> map;   // view offset -> model offset (block length + 1 entries)
    bool table = false;     // a block in a table, or the empty one a table follows
    bool continues = false; // ends at a page break: its paragraph goes on in the next block
    std::uint32_t mark = UINT32_MAX; // the paragraph end (Document::ParaEnd) it ends with, if any
    int section = 0;        // the section of the document it is in
};

// The blocks of the view's text, in its order, and the map through them.
class PositionMap {
public:
    explicit PositionMap(const QTextDocument& text) : text_(text) {}

    std::vector<ViewBlock>& blocks() { return blocks_; }
    const std::vector<ViewBlock>& blocks() const { return blocks_; }
    std::size_t size() const { return blocks_.size(); }
    bool empty() const { return blocks_.empty(); }
    const ViewBlock& operator[](std::size_t k) const { return blocks_[k]; }
    void clear() { blocks_.clear(); }

    // The model position a view position shows (storyEnd past the blocks),
    // and back: a model position in a hidden part maps to the next visible
    // place.
    long modelPosition(int viewPos, long storyEnd) const;
    int viewPosition(long modelPos) const;
    // The block holding a model position: the last that starts at or before it.
    std::size_t blockOf(long modelPos) const;
    // The blocks [first, last] of the paragraphs that hold [from, to]: a
    // paragraph split by page breaks is all of its blocks.
    std::pair<std::size_t, std::size_t> paragraphs(long from, long to) const;
    // Whether a block of [first, last] (those that exist) is in a table.
    bool touchesTable(std::size_t first, std::size_t last) const;
    // The table whose one cell holds the blocks [first, last]; none otherwise.
    QTextTable* cellTableOf(std::size_t first, std::size_t last) const;
    // The blocks [first, last] replaced by others, after an edit that changed
    // the story's length by delta: the blocks after them move with it.
    void replace(std::size_t first, std::size_t last, std::vector<ViewBlock> fresh, long delta);

private:
    const QTextDocument& text_;
    std::vector<ViewBlock> blocks_;
};

} // namespace qz::views
