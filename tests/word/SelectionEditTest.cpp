// What the keys and the studio's commands do at the selection, on the
// model alone: Enter in a list, Tab through a table, the format dialogs'
// changes, the studio's search; and the faults the randomised edit test
// found, each as the smallest edit that showed it (the model stays
// consistent, Document::CheckModel, after it).
#include "platform/word/Application.h"
#include "platform/word/DisplayWalk.h"
#include "platform/word/Lists.h"
#include "platform/word/Table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

using namespace qz::word;

namespace {

struct Doc {
    Application app;
    Document* doc = &app.GetDocuments().Add();
    Selection& sel = doc->GetSelection();
    Story& story = doc->MainStory();
    explicit Doc(std::string_view rtf) { doc->LoadRtfText(rtf); }
    Range At(long p) { return Range(doc, &doc->MainStory(), p, p); }
    long Size() const { return static_cast<long>(story.size()); }
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

TEST(EditFaults, TheSelectionStaysOnItsTextWhenARangeEditsTheStory) {
    // Delete Field: the field selected, then deleted through a range. The
    // selection stood past the story's end, and the format it showed was
    // read from there (a crash on the next look at the toolbar).
    Doc d(R"({\rtf1\ansi ab{\field{\*\fldinst MACROBUTTON m x}{\fldrslt }}})");
    d.sel.SetRange(2, d.Size());
    d.sel.GetRange().Delete();
    EXPECT_EQ(d.doc->CheckModel(), "");
    EXPECT_EQ(std::make_pair(d.sel.Start(), d.sel.End()), std::make_pair(2L, 2L));
    // Text put before the caret moves it on; text after it leaves it.
    Range(d.doc, &d.story, 0, 0).SetText("xyz");
    Range(d.doc, &d.story, d.Size(), d.Size()).SetText("!");
    EXPECT_EQ(d.sel.Start(), 5);
    EXPECT_EQ(d.doc->Format(d.sel.ShownFormat()), d.doc->Format(d.story[4].fmt));
    // A range past the story's end copies and reads the story's atoms only
    // (the copy for the clipboard copied table entries read from memory
    // after them: a std::length_error that ended the program).
    const Story exact = d.story; // no room after its atoms
    EXPECT_EQ(TransferAtoms(*d.doc, exact, 0, d.Size() + 3, *d.doc).size(), exact.size());
    EXPECT_EQ(StoryText(*d.doc, exact, 0, d.Size() + 3), "xyzab!");
}

TEST(EditFaults, RowsComeInOnlyBetweenRowsAndOutsideFields) {
    Doc d(R"({\rtf1\ansi\pard before\par})");
    const Table t = Table::Add(*d.doc, d.story, 0, 2, 2);
    const std::vector<Atom> row = TransferAtoms(*d.doc, d.story, t.Start(), t.CellStart(1, 0), *d.doc);
    // Into a cell, or into a field's code: refused, the table as it was.
    const long cell = t.CellStart(0, 1);
    d.sel.SetRange(cell, cell);
    EXPECT_THROW(d.sel.InsertAtoms(row), qz::AutomationError);
    // Cells without their row's mark: refused outside tables too.
    const std::vector<Atom> cells = TransferAtoms(*d.doc, d.story, t.Start(), t.CellMark(0, 1), *d.doc);
    d.sel.SetRange(d.Size(), d.Size());
    EXPECT_THROW(d.sel.InsertAtoms(cells), qz::AutomationError);
    Range end(d.doc, &d.story, d.Size(), d.Size());
    const Field f = end.GetFields().Add(end, kFieldMacroButton, "m x");
    EXPECT_THROW(ReplaceAtoms(*d.doc, d.story, f.Start() + 2, f.Start() + 2, row.data(), row.size()),
                 qz::AutomationError);
    EXPECT_EQ(d.doc->CheckModel(), "");
    // Where a row starts: one row more.
    d.sel.SetRange(t.CellStart(1, 0), t.CellStart(1, 0));
    d.sel.InsertAtoms(row);
    EXPECT_EQ(Table::At(*d.doc, d.story, t.Start())->Rows(), 3);
    EXPECT_EQ(d.doc->CheckModel(), "");
}

TEST(EditFaults, AParagraphPastedIntoACellBecomesTheCells) {
    Doc d(R"({\rtf1\ansi\pard\qc centred\par after})");
    const std::vector<Atom> para = TransferAtoms(*d.doc, d.story, 0, 9, *d.doc); // "centred" and its mark
    const Table t = Table::Add(*d.doc, d.story, d.Size(), 1, 2);
    d.sel.SetRange(t.CellStart(0, 1), t.CellStart(0, 1));
    d.sel.InsertAtoms(para);
    EXPECT_EQ(d.doc->CheckModel(), "");
    const ParaEndInfo& mark = d.doc->ParaEnd(d.story[static_cast<std::size_t>(t.CellStart(0, 1)) + 7].value);
    EXPECT_NE(mark.props.find("\\intbl"), std::string::npos) << mark.props;
    EXPECT_NE(mark.props.find("\\qc"), std::string::npos) << mark.props;
}

TEST(EditFaults, ARowStartThatPartsNothingFromTheRowGoes) {
    // A field where a row starts stands before the row, the row's start
    // after it. With the field deleted, or a paragraph begun in its text,
    // nothing stands before the row any more: no row start is left, as
    // none is read back from the saved file.
    const auto rowStarts = [](const Doc& d) {
        int n = 0;
        for (std::size_t i = 0; i < d.story.size(); ++i) n += IsRowStartMark(*d.doc, d.story[i]);
        return n;
    };
    for (const bool paragraph : {false, true}) {
        Doc d(R"({\rtf1\ansi\pard before\par})");
        const Table t = Table::Add(*d.doc, d.story, 0, 1, 2);
        Range at(d.doc, &d.story, t.CellStart(0, 0), t.CellStart(0, 0));
        const Field f = at.GetFields().Add(at, kFieldMacroButton, "m Loop");
        ASSERT_TRUE(Range(d.doc, &d.story, f.Start(), f.End()).StandBeforeRow());
        ASSERT_EQ(rowStarts(d), 1);
        const long label = FieldDisplayStart(d.story, f.Start()) + 2; // inside "Loop"
        if (paragraph) Range(d.doc, &d.story, label, label).SetText("\r");
        else Range(d.doc, &d.story, f.Start(), f.End()).Delete();
        EXPECT_EQ(rowStarts(d), 0) << paragraph;
        Doc again(d.doc->ToRtf());
        EXPECT_EQ(again.Size(), d.Size()) << paragraph;
    }
}

TEST(EditFaults, ARowStartJoinedToAParagraphBegunInsideAFieldGoes) {
    Doc d(R"({\rtf1\ansi\pard before\par})");
    const Table t = Table::Add(*d.doc, d.story, d.Size(), 1, 2);
    Range cell(d.doc, &d.story, t.CellStart(0, 0), t.CellStart(0, 0));
    const Field loop = cell.GetFields().Add(cell, kFieldMacroButton, "m Loop");
    ASSERT_TRUE(Range(d.doc, &d.story, loop.Start(), loop.End()).StandBeforeRow());
    // A field before the table whose text holds a paragraph mark: "before"
    // is a paragraph that begins inside it. Joined to the row's first
    // paragraph, the row start would be read back as none.
    Range first(d.doc, &d.story, 0, 0);
    const Field f = first.GetFields().Add(first, kFieldMacroButton, "m ab");
    const long label = FieldDisplayStart(d.story, f.Start()) + 1;
    Range(d.doc, &d.story, label, label).SetText("\r");
    const long mark = Table::At(*d.doc, d.story, d.Size() - 1)->Start() - 1;
    ASSERT_EQ(d.story[static_cast<std::size_t>(mark)].Kind(), AtomKind::ParaEnd);
    Range(d.doc, &d.story, mark, mark + 1).Delete();
    for (std::size_t i = 0; i < d.story.size(); ++i) EXPECT_FALSE(IsRowStartMark(*d.doc, d.story[i])) << i;
    Doc again(d.doc->ToRtf());
    EXPECT_EQ(again.Size(), d.Size());
}

// Enter in a field's label, or at the end of the example's loop line shown
// before its row: the fields stay whole and the loop still stands right
// before the row, so that it repeats the whole row.
TEST(SelectionEdits, EnterInALabelOrAfterALoopBeforeARowKeepsFieldsAndRowWhole) {
    std::ifstream in(QZ_SOURCE_DIR "/examples/invoice.rtf", std::ios::binary);
    const std::string rtf((std::istreambuf_iterator<char>(in)), {});
    // The designer's field whose label holds `label`, and its end.
    const auto field = [](Doc& d, const std::string& label) {
        for (long b = 0; b < d.Size(); ++b)
            if (d.story[static_cast<std::size_t>(b)].Kind() == AtomKind::FieldBegin && FieldDisplayStart(d.story, b) > 0 &&
                Field(d.doc, &d.story, b).Code().Text().find(label) != std::string::npos)
                return std::pair{b, MatchingFieldEnd(d.story, b)};
        return std::pair{-1L, -1L};
    };
    const auto label = [&](Doc& d, const std::string& l) { return FieldDisplayStart(d.story, field(d, l).first) + 3; };
    for (const bool inLabel : {false, true}) {
        Doc d(rtf);
        auto [loop, loopEnd] = field(d, "Lines loop");
        ASSERT_TRUE(IsRowStartMark(*d.doc, d.story[static_cast<std::size_t>(loopEnd + 1)]));
        const long at = inLabel ? label(d, "Lines loop") : loopEnd + 1;
        d.sel.SetRange(at, at);
        d.sel.TypeParagraph();
        SCOPED_TRACE(inLabel);
        EXPECT_EQ(d.doc->CheckModel(), "");
        std::tie(loop, loopEnd) = field(d, "Lines loop");
        EXPECT_EQ(Field(d.doc, &d.story, loop).Code().Text().find('\r'), std::string::npos);
        // The new paragraph stands before the loop, a plain one, the caret
        // in it; the loop still right before its row.
        const Atom& mark = d.story[static_cast<std::size_t>(loop - 1)];
        ASSERT_EQ(mark.Kind(), AtomKind::ParaEnd);
        EXPECT_EQ(d.doc->ParaEnd(mark.value).props.find("\\intbl"), std::string::npos);
        EXPECT_TRUE(IsRowStartMark(*d.doc, d.story[static_cast<std::size_t>(loopEnd + 1)]));
        EXPECT_EQ(d.sel.Start(), loop - 1);
        Doc again(d.doc->ToRtf());
        EXPECT_EQ(again.Text(), d.Text());
    }
    // In a cell, Enter or text with a paragraph in it: after the field.
    for (const std::string typed : {"\r", "a\rb"}) {
        Doc d(rtf);
        d.sel.SetRange(label(d, "Amount"), label(d, "Amount"));
        if (typed == "\r") d.sel.TypeParagraph();
        else d.sel.TypeText(typed);
        const auto [amount, amountEnd] = field(d, "Amount");
        EXPECT_EQ(Field(d.doc, &d.story, amount).Code().Text().find('\r'), std::string::npos);
        EXPECT_EQ(d.sel.Start(), amountEnd + 1 + static_cast<long>(typed.size()));
        EXPECT_EQ(d.doc->CheckModel(), "");
    }
}
