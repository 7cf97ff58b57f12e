// What the keys and the studio's commands do at the selection, on the
// model alone: Enter in a list, Tab through a table, the format dialogs'
// changes, the studio's search.
#include "platform/word/Application.h"
#include "platform/word/Lists.h"
#include "platform/word/Table.h"

#include <gtest/gtest.h>

using namespace qz::word;

namespace {

struct Doc {
    Application app;
    Document* doc = &app.GetDocuments().Add();
    Selection& sel = doc->GetSelection();
    explicit Doc(std::string_view rtf) { doc->LoadRtfText(rtf); }
    Range At(long p) { return Range(doc, &doc->MainStory(), p, p); }
    std::string Text() const {
        const Story& s = doc->MainStory();
        return StoryText(*doc, s, 0, static_cast<long>(s.size()));
    }
};

} // namespace

TEST(SelectionEdits, EnterOnAnEmptyListItemEndsTheListAndElsewhereNumbersTheNewItem) {
    Doc d(R"({\rtf1\ansi one\par two\par after})");
    ListFormat(Range(d.doc, &d.doc->MainStory(), 0, 6)).ApplyNumberDefault();
    // After "two": a new numbered item, the caret after its number.
    const Story& s = d.doc->MainStory();
    long afterTwo = 0;
    for (int marks = 0; marks < 2; ++afterTwo) marks += s[static_cast<std::size_t>(afterTwo)].Kind() == AtomKind::ParaEnd;
    --afterTwo; // at the second paragraph's mark
    d.sel.SetRange(afterTwo, afterTwo);
    EXPECT_FALSE(d.sel.EnterEndsList());
    d.sel.TypeParagraph();
    const long item = d.sel.Start();
    EXPECT_GT(d.At(item).ParagraphFormat().list, 0);
    EXPECT_TRUE(HoldsListText(*d.doc, d.doc->MainStory(), item - 1));
    // Enter again on the empty item: it leaves the list, its number gone,
    // the caret at its start; nothing else is typed.
    EXPECT_TRUE(d.sel.EnterEndsList());
    const std::size_t size = d.doc->MainStory().size();
    d.sel.TypeParagraph();
    EXPECT_EQ(d.At(d.sel.Start()).ParagraphFormat().list, 0);
    EXPECT_EQ(d.doc->MainStory().size(), size - 1);
    EXPECT_EQ(d.sel.Start(), item - 1);
    // A paragraph outside lists, or a selection, never ends one.
    d.sel.SetRange(d.sel.Start(), d.sel.Start());
    EXPECT_FALSE(d.sel.EnterEndsList());
    d.sel.SetRange(0, 2);
    EXPECT_FALSE(d.sel.EnterEndsList());
}

TEST(SelectionEdits, TabPassesOverMergedCellsAndAddsARowAfterTheLast) {
    Doc d(R"({\rtf1\ansi\pard before\par})");
    const Table made = Table::Add(*d.doc, d.doc->MainStory(), 0, 2, 3);
    Table t = *Table::At(*d.doc, d.doc->MainStory(), made.Start());
    t.MergeCells({0, 1, 0, 2});
    t = *Table::At(*d.doc, d.doc->MainStory(), made.Start());
    d.sel.SetRange(t.CellStart(0, 0), t.CellStart(0, 0));
    EXPECT_EQ(d.sel.NextCellMove(true), CellMove::Stay);
    // From the first cell past the cell merged away to the next row.
    ASSERT_EQ(d.sel.NextCellMove(false), CellMove::Cell);
    d.sel.MoveToCell(false);
    EXPECT_EQ(t.CellAt(d.sel.Start()), std::make_pair(0, 1));
    d.sel.MoveToCell(false);
    EXPECT_EQ(t.CellAt(d.sel.Start()), std::make_pair(1, 0));
    d.sel.MoveToCell(true);
    EXPECT_EQ(t.CellAt(d.sel.Start()), std::make_pair(0, 1));
    // After the last cell a new row, the caret in its first cell.
    d.sel.SetRange(t.CellStart(1, 2), t.CellStart(1, 2));
    ASSERT_EQ(d.sel.NextCellMove(false), CellMove::NewRow);
    d.sel.MoveToCell(false);
    t = *Table::At(*d.doc, d.doc->MainStory(), made.Start());
    EXPECT_EQ(t.Rows(), 3);
    EXPECT_EQ(d.sel.Start(), t.CellStart(2, 0));
    // Outside tables Tab is none of the table's, and table edits are refused.
    d.sel.SetRange(t.End(), t.End());
    EXPECT_EQ(d.sel.NextCellMove(false), CellMove::None);
    EXPECT_THROW(d.sel.InsertRows(true), qz::AutomationError);
}

TEST(SelectionEdits, DialogChangesKeepWhatTheAuthorLeftAndSearchLeavesFieldsAlone) {
    Doc d(R"({\rtf1\ansi\pard\li720 one\par\pard\li1440 two\par name {\field{\*\fldinst MACROBUTTON x name}{\fldrslt }}name})");
    d.sel.SetRange(0, 6);
    ParaFormat was = d.sel.ParagraphFormat(), now = was;
    now.alignment = Alignment::Center;
    d.sel.TakeParagraphChanges(was, now);
    EXPECT_EQ(d.At(0).ParagraphFormat().leftIndent, 720);
    EXPECT_EQ(d.At(5).ParagraphFormat().leftIndent, 1440);
    EXPECT_EQ(d.At(5).ParagraphFormat().alignment, Alignment::Center);

    // Find next from the end wraps round; a match in a field's code is passed over.
    const long end = static_cast<long>(d.doc->MainStory().size());
    d.sel.SetRange(end, end);
    TextSearch s{"name", "id"};
    ASSERT_TRUE(d.sel.FindNext(s));
    EXPECT_EQ(d.sel.Start(), 8);
    EXPECT_TRUE(d.sel.SelectsMatch(s));
    d.sel.SetRange(8, 11);
    EXPECT_FALSE(d.sel.SelectsMatch(s));
    s.wrap = false;
    d.sel.SetRange(end, end);
    EXPECT_FALSE(d.sel.FindNext(s));
    EXPECT_EQ(d.sel.Start(), end);
    // Replace all: the field's code stays, the caret where it stood.
    d.sel.SetRange(3, 3);
    EXPECT_EQ(d.sel.ReplaceAll(s), 2);
    EXPECT_EQ(d.Text(), "one\rtwo\rid \x13MACROBUTTON x name\x15id");
    EXPECT_EQ(d.sel.Start(), 3);
}
