// The map between positions of the document view's text (a QTextDocument)
// and positions of the model story it shows. The view's text holds one
// block per shown paragraph (or part of one, or table cell); each block
// knows the model atoms it shows and, for each of its characters, the model
// position that character stands for. Hidden atoms show no character, and
// a field's result shows characters that all stand for one position.
#pragma once

#include <cstdint>
#include <vector>

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

} // namespace qz::views
