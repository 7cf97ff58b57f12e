// The automation model on in-memory documents: positions, fields, moves,
// search, colours, documents and properties.
#include "platform/word/Application.h"
#include "platform/word/DisplayWalk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace qz::word;

namespace {

class WordModel : public ::testing::Test {
protected:
    Application app;
    Document* doc = nullptr;
    // Positions as the designer counts them, with field codes shown.
    void SetUp() override {
        doc = &app.GetDocuments().Add();
        app.ActiveWindow().GetView().ShowFieldCodes = true;
    }
    Selection& sel() { return app.GetSelection(); }
    std::string text() { return doc->Content().Text(); }
};

int Errno(const std::function<void()>& f) {
    try {
        f();
    } catch (const qz::AutomationError& e) {
        return e.Number;
    }
    return 0;
}

} // namespace

TEST(WordApplication, NoDocumentRaises4248AndDocumentsAreNamedInOrder) {
    Application app;
    EXPECT_EQ(Errno([&] { app.ActiveDocument(); }), kErrNoDocumentOpen);
    EXPECT_EQ(Errno([&] { app.GetSelection(); }), kErrNoDocumentOpen);
    EXPECT_EQ(Errno([&] { app.ActiveWindow(); }), kErrNoDocumentOpen);
    Document& a = app.GetDocuments().Add();
    Document& b = app.GetDocuments().Add();
    EXPECT_EQ(a.Name(), "Document1");
    EXPECT_EQ(b.Name(), "Document2");
    EXPECT_EQ(b.Path(), "");
    EXPECT_EQ(&app.ActiveDocument(), &b);
    EXPECT_EQ(app.GetDocuments().Count(), 2);
    b.Close();
    EXPECT_EQ(&app.ActiveDocument(), &a);
    a.Close();
    EXPECT_EQ(Errno([&] { app.ActiveDocument(); }), kErrNoDocumentOpen);
}

TEST_F(WordModel, FieldAddCountsBeginCodeAndEndAndLeavesCursorAfterIt) {
    sel().TypeText("ab");
    Range at = sel().GetRange();
    Field f = sel().GetFields().Add(at, kFieldMacroButton, "modStatementMacro");
    EXPECT_EQ(f.Code().Text(), " MACROBUTTON modStatementMacro ");
    EXPECT_EQ(f.Start(), 2);
    EXPECT_EQ(f.End(), 2 + 33);
    EXPECT_EQ(sel().Start(), 35);
    EXPECT_EQ(sel().End(), 35);
    // Moving left once stands inside the code, before the end character.
    sel().MoveLeft(kUnitCharacter, 1);
    sel().TypeText("X");
    EXPECT_EQ(f.Code().Text(), " MACROBUTTON modStatementMacro X");
    std::string t = text();
    EXPECT_EQ(t.substr(0, 3), "ab\x13");
    EXPECT_EQ(t.back(), '\x15');
    EXPECT_FALSE(doc->Saved());
}

// An author's field as the designer builds it, codes shown: the label
// between two markers, then a SET field. Returns the field's begin.
long AddLabelled(Selection& sel, const std::string& label) {
    const long begin = sel.Start();
    Range at = sel.GetRange();
    sel.GetFields().Add(at, kFieldMacroButton, "modStatementMacro");
    sel.MoveLeft(kUnitCharacter, 1);
    sel.InsertSymbol(215, "Wingdings");
    sel.TypeText(label);
    sel.InsertSymbol(216, "Wingdings");
    Range in = sel.GetRange();
    sel.GetFields().Add(in, kFieldSet, "_QZStatement377 x");
    sel.MoveRight(kUnitCharacter, 1);
    return begin;
}

TEST_F(WordModel, WithCodesHiddenAnEditAtAFieldsEdgeLandsOutsideIt) {
    sel().TypeText("ab");
    const long one = AddLabelled(sel(), "One");
    const long two = AddLabelled(sel(), "Two");
    sel().TypeText("cd");
    const std::string codeOne = Field(doc, &doc->MainStory(), one).Code().Text();
    const std::string codeTwo = Field(doc, &doc->MainStory(), two).Code().Text();
    const long width = two - one;
    const Story& story = doc->MainStory();
    // With codes shown the position before a marker is inside the code.
    const long shownAt = FieldDisplayStart(story, one);
    EXPECT_EQ(OutsideFieldEdges(*doc, story, shownAt), shownAt);

    app.ActiveWindow().GetView().ShowFieldCodes = false;
    auto at = [&](long pos, long n) { return Range(doc, &doc->MainStory(), pos, pos + n).Text(); };
    auto codesKept = [&](long shift) {
        EXPECT_EQ(Field(doc, &doc->MainStory(), one + shift).Code().Text(), codeOne);
        EXPECT_EQ(Field(doc, &doc->MainStory(), two + shift + 1).Code().Text(), codeTwo);
    };
    // Before the first marker of the first field (Home on "❖One❖"): before it.
    sel().SetRange(shownAt, shownAt);
    sel().TypeText("X");
    EXPECT_EQ(text().substr(0, 4), "abX\x13");
    EXPECT_EQ(sel().Start(), one + 1);
    // Between the two fields (the second one's start): between them, and
    // so for a paragraph mark and a paste.
    const long second = FieldDisplayStart(doc->MainStory(), two + 1);
    sel().SetRange(second, second);
    sel().TypeText("\r");
    EXPECT_EQ(at(two + 1, 2), "\r\x13");
    codesKept(1);
    // After the closing marker of the second (before its hidden SET field).
    const long closing = FieldDisplayStart(doc->MainStory(), two + 2) + 5;  // after "❖Two❖"
    sel().SetRange(closing, closing);
    const std::vector<Atom> pasted = TextAtoms(*doc, "YZ", doc->DefaultFormat());
    sel().InsertAtoms(pasted);
    EXPECT_EQ(at(two + 2 + width, 4), "YZcd");
    // A designer field added at the edge goes beside the field, not in it.
    sel().SetRange(shownAt + 1, shownAt + 1);
    Range here = sel().GetRange();
    sel().GetFields().Add(here, kFieldPage);
    EXPECT_EQ(Field(doc, &doc->MainStory(), one + 1).Type(), kFieldPage);
    const long page = MatchingFieldEnd(doc->MainStory(), one + 1) + 1 - (one + 1);
    // Strictly inside the shown text (after the first marker), an edit
    // enters the label.
    const long label = FieldDisplayStart(doc->MainStory(), one + 1 + page) + 1;
    sel().SetRange(label, label);
    sel().TypeText("N");
    EXPECT_NE(Field(doc, &doc->MainStory(), one + 1 + page).Code().Text().find("\xEF\x83\x97NOne"), std::string::npos);
}

TEST_F(WordModel, SelectionFieldsListsOnlyWholeFieldsInBeginOrder) {
    Range at = sel().GetRange();
    sel().GetFields().Add(at, kFieldMacroButton, "m");
    sel().MoveLeft(kUnitCharacter, 1);
    Range inner = sel().GetRange();
    sel().GetFields().Add(inner, kFieldSet);
    sel().SetRange(0, doc->Content().End());
    std::vector<Field> all = sel().GetFields().All();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].Type(), kFieldMacroButton);
    EXPECT_EQ(all[1].Type(), kFieldSet);
    EXPECT_LT(all[0].Start(), all[1].Start());
    // A selection that cuts the outer field holds only the inner one.
    sel().SetRange(1, doc->Content().End());
    EXPECT_EQ(sel().GetFields().Count(), 1);
    // Field.Select covers begin through end character.
    all[1].Select();
    EXPECT_EQ(sel().Start(), all[1].Start());
    EXPECT_EQ(sel().End(), all[1].End());
}

TEST_F(WordModel, DeletingHalfAFieldIsRefusedAndChangesNothing) {
    sel().TypeText("x");
    Range at = sel().GetRange();
    sel().GetFields().Add(at, kFieldPage);
    std::string before = text();
    sel().SetRange(0, 3);
    EXPECT_EQ(Errno([&] { sel().Delete(); }), kErrFieldBoundary);
    EXPECT_EQ(text(), before);
    sel().SetRange(0, doc->Content().End());
    sel().Delete();
    EXPECT_EQ(text(), "");
}

TEST_F(WordModel, MovesCollapseFirstThenStepAndExtendFromTheActiveEnd) {
    sel().TypeText("Hello world");
    sel().SetRange(2, 5);
    EXPECT_EQ(sel().MoveRight(kUnitCharacter, 1), 1); // only collapses
    EXPECT_EQ(sel().Start(), 5);
    sel().SetRange(2, 5);
    sel().MoveLeft(kUnitCharacter, 2);
    EXPECT_EQ(sel().Start(), 1);
    EXPECT_EQ(sel().End(), 1);
    sel().SetRange(5, 5);
    sel().MoveLeft(kUnitCharacter, 1, kExtend);
    EXPECT_EQ(sel().Start(), 4);
    EXPECT_EQ(sel().End(), 5);
    EXPECT_EQ(sel().Text(), "o");
    // Word unit: to the next word start; clamped at the story end.
    sel().SetRange(0, 0);
    sel().MoveRight(kUnitWord, 1);
    EXPECT_EQ(sel().Start(), 6);
    EXPECT_EQ(sel().MoveRight(kUnitCharacter, 100), 5);
    EXPECT_EQ(sel().Start(), 11);
    // Start past the end moves the end.
    sel().SetRange(1, 2);
    sel().SetStart(4);
    EXPECT_EQ(sel().End(), 4);
}

TEST_F(WordModel, WordMoveFromBeforeAFieldSelectsTheWholeNestedField) {
    sel().TypeText("a ");
    Range at = sel().GetRange();
    sel().GetFields().Add(at, kFieldMacroButton, "m");
    sel().MoveLeft(kUnitCharacter, 1);
    Range in = sel().GetRange();
    sel().GetFields().Add(in, kFieldSet, "x");
    long end = doc->Content().End();
    sel().EndKey(kUnitStory);
    sel().TypeText(" tail");
    sel().SetRange(2, 2);
    sel().MoveRight(kUnitWord, 1, kExtend);
    EXPECT_EQ(sel().Start(), 2);
    EXPECT_EQ(sel().End(), end);
}

TEST_F(WordModel, HomeAndEndKeysUseStoryAndParagraph) {
    sel().TypeText("one\rtwo three\rfour");
    sel().SetRange(6, 6);
    sel().EndKey();
    EXPECT_EQ(sel().Start(), 13);
    sel().HomeKey();
    EXPECT_EQ(sel().Start(), 4);
    sel().EndKey(kUnitStory);
    EXPECT_EQ(sel().Start(), 18);
    sel().HomeKey(kUnitStory, kExtend);
    EXPECT_EQ(sel().Start(), 0);
    EXPECT_EQ(sel().End(), 18);
}

TEST_F(WordModel, FindNeverWrapsStaysInScopeAndSkipsFieldCharacters) {
    sel().TypeText("cat dog CAT");
    sel().SetRange(5, 5);
    Find& f = sel().GetFind();
    EXPECT_TRUE(f.Execute("cat"));
    EXPECT_EQ(sel().Start(), 8); // case-insensitive, forward from the cursor
    EXPECT_EQ(sel().End(), 11);
    sel().SetRange(9, 9);
    EXPECT_FALSE(f.Execute("cat")); // no wrap to the start
    EXPECT_FALSE(f.Found);
    EXPECT_EQ(sel().Start(), 9);
    // Within a non-empty selection only.
    sel().SetRange(0, 6);
    EXPECT_FALSE(f.Execute("dog"));
    f.MatchCase = true;
    sel().SetRange(0, 0);
    EXPECT_TRUE(f.Execute("CAT"));
    EXPECT_EQ(sel().Start(), 8);
    f.MatchCase = false;
    // A match never spans a field character.
    sel().EndKey(kUnitStory);
    Range at = sel().GetRange();
    sel().GetFields().Add(at, kFieldEmpty, "A");
    sel().TypeText("B");
    sel().SetRange(0, 0);
    EXPECT_FALSE(f.Execute("AB"));
}

TEST_F(WordModel, ReplaceAllCoversTheScopeOnceAndKeepsFormat) {
    sel().TypeText("xx a xx b xx");
    sel().SetRange(0, 2);
    sel().GetFont().SetColorIndex(6);
    sel().SetRange(3, 3);
    Find& f = sel().GetFind();
    EXPECT_TRUE(f.Execute("xx", 2, "xxx", true)); // a replacement holding the text is not searched again
    EXPECT_EQ(text(), "xx a xxx b xxx");
    sel().SetRange(0, 0);
    f.Execute("xx", 2, "y", true);
    EXPECT_EQ(text(), "y a yx b yx");
    sel().SetRange(0, 1);
    EXPECT_EQ(sel().GetFont().ColorIndex(), 6);
}

TEST_F(WordModel, ColorIndexOnRangeAndPendingOnCursor) {
    sel().TypeText("abc");
    sel().GetFont().SetColorIndex(9);
    sel().TypeText("def");
    sel().SetRange(3, 6);
    EXPECT_EQ(sel().GetFont().ColorIndex(), 9);
    sel().SetRange(0, 3);
    EXPECT_EQ(sel().GetFont().ColorIndex(), 0);
    sel().SetRange(1, 2);
    sel().GetFont().SetColorIndex(15);
    sel().SetRange(1, 2);
    EXPECT_EQ(sel().GetFont().ColorIndex(), 15);
    sel().SetRange(0, 1);
    EXPECT_EQ(sel().GetFont().ColorIndex(), 0);
    EXPECT_EQ(Errno([&] { sel().GetFont().SetColorIndex(17); }), kErrBadParameter);
}

TEST_F(WordModel, InsertSymbolTakesUnicodeNegativeNumbersAndKeepsTheTypingFont) {
    sel().GetFont().SetColorIndex(6);
    sel().InsertSymbol(-3978, "Wingdings", true);
    sel().TypeText("L");
    sel().InsertSymbol(215, "Wingdings");
    EXPECT_EQ(text(), "\xEF\x81\xB6L\xEF\x83\x97"); // U+F076, L, U+F0D7
    const Story& s = doc->MainStory();
    EXPECT_EQ(s[0].Kind(), AtomKind::Symbol);
    EXPECT_EQ(s[0].value, 0xF076u);
    EXPECT_EQ(doc->FontByNumber(doc->Format(s[0].fmt).font)->name, "Wingdings");
    EXPECT_NE(doc->Format(s[1].fmt).font, doc->Format(s[0].fmt).font);
    sel().SetRange(1, 2);
    EXPECT_EQ(sel().GetFont().ColorIndex(), 6);
}

TEST_F(WordModel, TextSetTakesTheFormatOfTheFirstReplacedCharacter) {
    sel().TypeText("red blue");
    sel().SetRange(0, 3);
    sel().GetFont().SetColorIndex(6);
    Range r(doc, &doc->MainStory(), 0, 3);
    r.SetText("crimson");
    EXPECT_EQ(r.End(), 7);
    EXPECT_EQ(text(), "crimson blue");
    sel().SetRange(6, 7);
    EXPECT_EQ(sel().GetFont().ColorIndex(), 6);
    sel().SetRange(8, 9);
    EXPECT_EQ(sel().GetFont().ColorIndex(), 0);
}

TEST_F(WordModel, JournalRollBackRestoresEveryEdit) {
    sel().TypeText("keep this");
    std::string before = text();
    std::size_t mark = doc->BeginJournal();
    sel().SetRange(0, 4);
    sel().GetFont().SetColorIndex(6);
    sel().TypeText("lose");
    Range at = sel().GetRange();
    sel().GetFields().Add(at, kFieldSet, "x");
    doc->RollBack(mark);
    doc->EndJournal();
    EXPECT_EQ(text(), before);
    sel().SetRange(0, 4);
    EXPECT_EQ(sel().GetFont().ColorIndex(), 0);
}

TEST_F(WordModel, CustomPropertiesAreOrderedExactAndSurviveSaveAndOpen) {
    auto dir = std::filesystem::temp_directory_path() / ("qz_word_props_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    CustomProperties& p = doc->CustomDocumentProperties();
    p.Add("QzVersion", false, "8.2.2", 4);
    p.Add("Other", false, "x{y}\\z §", 4);
    EXPECT_EQ(Errno([&] { p.Add("QzVersion", false, "1", 4); }), kErrBadParameter);
    EXPECT_EQ(p.Find("qzversion"), nullptr);
    sel().TypeText("Body");
    std::string file = (dir / "props.rtf").string();
    doc->SaveAs(file, 6);
    EXPECT_TRUE(doc->Saved());
    EXPECT_EQ(doc->Name(), "props.rtf");
    EXPECT_EQ(doc->Path(), dir.string());
    EXPECT_EQ(doc->FullName(), file);
    EXPECT_EQ(Errno([&] { doc->SaveAs((dir / "x.doc").string(), 0); }), kErrFileFormat);
    doc->Close();
    Document& again = app.GetDocuments().Open(file);
    EXPECT_TRUE(again.Saved());
    EXPECT_FALSE(again.ReadOnly());
    ASSERT_EQ(again.CustomDocumentProperties().Count(), 2);
    EXPECT_EQ(again.CustomDocumentProperties().Item(1).Name, "QzVersion");
    EXPECT_EQ(again.CustomDocumentProperties().Item("QzVersion").Value, "8.2.2");
    EXPECT_EQ(again.CustomDocumentProperties().Item("Other").Value, "x{y}\\z §");
    EXPECT_EQ(again.Content().Text(), "Body");
    // Opening the same file again activates the open document.
    EXPECT_EQ(&app.GetDocuments().Open((dir / "." / "props.rtf").string()), &again);
    std::filesystem::remove_all(dir);
}

TEST_F(WordModel, SaveRefusesReadOnlyAndUnsavedDocumentsAndKeepsTheOldFile) {
    EXPECT_EQ(Errno([&] { doc->Save(); }), kErrBadFileName);
    auto dir = std::filesystem::temp_directory_path() / ("qz_word_ro_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string file = (dir / "ro.rtf").string();
    sel().TypeText("original");
    doc->SaveAs(file);
    doc->Close();
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    Document& ro = app.GetDocuments().Open(file);
    if (::access(file.c_str(), W_OK) != 0) { // not when the tests run as root
        EXPECT_TRUE(ro.ReadOnly());
        app.GetSelection().TypeText("changed ");
        EXPECT_EQ(Errno([&] { ro.Save(); }), kErrReadOnly);
        std::ifstream in(file);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(data.find("changed"), std::string::npos);
    }
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(dir);
}

TEST(WordCommandBars, ControlsAddAtPositionAndFindByCaptionIgnoringAmpersand) {
    Application app;
    CommandBarControls& menu = app.GetCommandBars().ActiveMenuBar().Controls();
    menu.Add(10).Caption = "&File";
    menu.Add(10).Caption = "&Help";
    CommandBarControl& qz = menu.Add(10, true, 2);
    qz.Caption = "&QzStudio";
    EXPECT_EQ(qz.Index(), 2);
    EXPECT_EQ(menu.Item("help").Index(), 3);
    EXPECT_EQ(menu.Find("QzStudio"), &qz);
    qz.Controls().Add(1).Caption = "&Preview";
    EXPECT_EQ(qz.Controls().Count(), 1);
    qz.Delete();
    EXPECT_EQ(menu.Count(), 2);
    EXPECT_EQ(menu.Find("QzStudio"), nullptr);
    CommandBar& tb = app.GetCommandBars().Add("Quorvane Studio");
    EXPECT_EQ(&app.GetCommandBars().Item("Quorvane Studio"), &tb);
    EXPECT_EQ(&app.Templates("qzStudio.Dot"), &app.Templates("qzStudio.Dot"));
}

TEST_F(WordModel, UndoStepsRevertAndRedoWholeActionsAndNeverClaimTheDiskCopy) {
    sel().TypeText("abc");
    doc->BeginUndoStep();
    sel().TypeText("de");
    doc->BeginUndoStep();  // a command's own step nests inside the action
    sel().HomeKey(kUnitStory);
    sel().TypeText("X");
    doc->EndUndoStep();
    doc->EndUndoStep();
    doc->SetSaved(true);
    EXPECT_EQ(text(), "Xabcde");
    EXPECT_EQ(doc->Undo(), 3);  // the insertion first, then the earlier one
    EXPECT_EQ(text(), "abc");
    EXPECT_FALSE(doc->Saved());
    EXPECT_FALSE(doc->CanUndo());  // steps only exist where an action began one
    EXPECT_EQ(doc->Redo(), 1);
    EXPECT_EQ(text(), "Xabcde");
    // A field command is one step too, and a new step forgets what was undone.
    doc->BeginUndoStep();
    sel().SetRange(0, 1);
    sel().GetRange().Delete();
    doc->EndUndoStep();
    doc->Undo();
    EXPECT_EQ(text(), "Xabcde");
    doc->BeginUndoStep();
    sel().SetRange(6, 6);
    sel().TypeText("!");
    doc->EndUndoStep();
    EXPECT_FALSE(doc->CanRedo());
    EXPECT_EQ(text(), "Xabcde!");
}

TEST_F(WordModel, UndoPutsTheCaretInTheStoryItChanged) {
    sel().TypeText("body");
    Story& header = doc->Sections(1).Headers(kHeaderFooterPrimary).story;
    doc->BeginUndoStep();
    sel().MoveTo(&header, 0, 0);
    sel().TypeText("Head");
    doc->EndUndoStep();
    sel().MoveTo(&doc->MainStory(), 4, 4);  // the author went back to the body
    EXPECT_EQ(doc->Undo(), 0);
    EXPECT_EQ(sel().GetStory(), &header);
    EXPECT_EQ(header.size(), 0u);
    EXPECT_EQ(doc->Redo(), 4);
    EXPECT_EQ(sel().GetStory(), &header);
    EXPECT_EQ(sel().Start(), 4);
}

TEST_F(WordModel, AFormatChosenAtTheCaretHoldsUntilTheCaretMoves) {
    sel().TypeText("plain ");
    sel().ChangeCharFormat([](CharFormat& f) { f.bold = true; });
    sel().SetRange(6, 6);  // set again where it is, as a view does before each edit
    sel().TypeText("bold");
    EXPECT_TRUE(doc->Format(doc->MainStory()[6].fmt).bold);
    EXPECT_TRUE(doc->Format(doc->MainStory()[9].fmt).bold);
    sel().ChangeCharFormat([](CharFormat& f) { f.italic = true; });
    sel().SetRange(2, 2);
    sel().TypeText("x");
    EXPECT_FALSE(doc->Format(doc->MainStory()[2].fmt).italic);
    // A selection shows its own first character's format, not the one before it.
    sel().SetRange(7, 11);
    EXPECT_TRUE(doc->Format(sel().ShownFormat()).bold);
    EXPECT_FALSE(doc->Format(sel().InsertFormat()).bold);
}
