// The map between the document view's text and model positions, on a text
// of its own: a paragraph split by a page break, a field whose result shows
// three characters for one atom, a hidden atom.
#include "views/word/PositionMap.h"

#include <QTextDocument>

#include <gtest/gtest.h>

using qz::views::PositionMap;
using qz::views::ViewBlock;

TEST(PositionMap, MapsBothWaysAndEditsKeepTheBlocksAfterInStep) {
    // Atoms: "ab" and its mark [0, 3); "cd" and a page break [3, 6), whose
    // paragraph goes on with a field (atom 6, shown as "xyz"), a hidden atom
    // 7 and the mark 8; then an empty paragraph at 9.
    QTextDocument text;
    text.setPlainText("ab\ncd\nxyz\n");
    PositionMap map(text);
    map.blocks() = {ViewBlock{0, 3, {0, 1, 2}}, ViewBlock{3, 3, {0, 1, 2}, false, true},
                    ViewBlock{6, 3, {0, 0, 0, 2}}, ViewBlock{9, 1, {0}}};

    EXPECT_EQ(map.modelPosition(7, 10), 6);    // inside the field's result
    EXPECT_EQ(map.modelPosition(9, 10), 8);    // the paragraph's end
    EXPECT_EQ(map.modelPosition(500, 10), 10); // past the text: the story's end
    EXPECT_EQ(map.viewPosition(6), 6);         // the field's first character
    EXPECT_EQ(map.viewPosition(7), 9);         // the hidden atom: the next place shown
    EXPECT_EQ(map.viewPosition(4), 4);

    // An edit in the page break's second half takes in the whole paragraph.
    EXPECT_EQ(map.paragraphs(7, 7), std::make_pair(std::size_t{1}, std::size_t{2}));
    EXPECT_EQ(map.paragraphs(0, 1), std::make_pair(std::size_t{0}, std::size_t{0}));
    EXPECT_FALSE(map.touchesTable(0, 3));
    EXPECT_EQ(map.cellTableOf(0, 0), nullptr);

    // Two atoms removed: the paragraph is one block again, the one after it
    // starts two earlier.
    map.replace(1, 2, {ViewBlock{3, 4, {0, 1, 2, 3}}}, -2);
    ASSERT_EQ(map.size(), 3u);
    EXPECT_EQ(map[1].length, 4);
    EXPECT_EQ(map[2].start, 7);
    EXPECT_EQ(map.blockOf(6), 1u);
    EXPECT_EQ(map.blockOf(7), 2u);
}
