// Paragraph-level edits of the model: lists applied and removed through
// ListFormat, the studio's search that leaves fields alone, and undo of what
// lives outside the stories' atoms (page setup, a story's last paragraph).
#include "platform/word/Application.h"
#include "platform/word/DisplayWalk.h"
#include "platform/word/Lists.h"
#include "platform/word/Utf8.h"

#include <gtest/gtest.h>

using namespace qz::word;

namespace {

// The numbers and bullets the display shows, in order.
struct Numbers : DisplaySink {
    std::vector<std::string> shown;
    void Show(const DisplayRun& r) override {
        if (r.kind != DisplayRun::Kind::FieldText) return;
        std::string t;
        for (char32_t c : r.text) qz::appendUtf8(t, c);
        shown.push_back(t);
    }
};

std::vector<std::string> ShownNumbers(const Document& doc) {
    Numbers n;
    WalkDisplay(doc, doc.MainStory(), 0, static_cast<long>(doc.MainStory().size()), false, n);
    return n.shown;
}

struct Doc {
    Application app;
    Document* doc = &app.GetDocuments().Add();
    explicit Doc(std::string_view rtf) { doc->LoadRtfText(rtf); }
    Range At(long p) { return Range(doc, &doc->MainStory(), p, p); }
    // A list command as the studio runs it: one undo step.
    template <class F> void Step(F&& f) {
        doc->BeginUndoStep();
        f();
        doc->EndUndoStep();
    }
};

} // namespace

TEST(Lists, NumbersFollowTheParagraphsAndSurviveSaving) {
    Doc d(R"({\rtf1\ansi one\par two\par three\par four})");
    Range firstThree(d.doc, &d.doc->MainStory(), 0, 10);
    d.Step([&] { ListFormat(firstThree).ApplyNumberDefault(); });
    EXPECT_EQ(ShownNumbers(*d.doc), (std::vector<std::string>{"1.\t", "2.\t", "3.\t"}));
    EXPECT_EQ(ListFormat(d.At(0)).ListType(), kListSimpleNumbering);
    EXPECT_EQ(d.At(0).ParagraphFormat().firstIndent, -360);
    // The last paragraph (no mark of its own) continues the list before it.
    const long last = static_cast<long>(d.doc->MainStory().size()) - 1;
    d.Step([&] { ListFormat(d.At(last)).ApplyNumberDefault(); });
    EXPECT_EQ(ShownNumbers(*d.doc).back(), "4.\t");
    // Enter in a numbered paragraph numbers the new one and those after it.
    d.doc->GetSelection().SetRange(7, 7); // after the "t" of "two"
    d.doc->GetSelection().TypeText("\r");
    EXPECT_EQ(ShownNumbers(*d.doc), (std::vector<std::string>{"1.\t", "2.\t", "3.\t", "4.\t", "5.\t"}));
    EXPECT_EQ(StoryText(*d.doc, d.doc->MainStory(), d.doc->GetSelection().Start(), d.doc->GetSelection().Start() + 1), "w");

    // Saved and read again: the list table, the paragraphs' lists, the numbers.
    Doc back(d.doc->ToRtf());
    EXPECT_EQ(ShownNumbers(*back.doc), ShownNumbers(*d.doc));
    EXPECT_EQ(ListLevels(*back.doc, back.At(0).ParagraphFormat().list).size(), 9u);

    // Out of the list: the ones after renumber, the paragraph loses its number and indent.
    d.Step([&] { ListFormat(d.At(1)).RemoveNumbers(); });
    EXPECT_EQ(ShownNumbers(*d.doc), (std::vector<std::string>{"1.\t", "2.\t", "3.\t", "4.\t"}));
    EXPECT_EQ(d.At(0).ParagraphFormat().list, 0);
    EXPECT_EQ(d.At(0).ParagraphFormat().leftIndent, 0);
    EXPECT_EQ(StoryText(*d.doc, d.doc->MainStory(), 0, 3), "one");
    // Undone: the first paragraph is numbered again.
    d.doc->Undo();
    EXPECT_EQ(ShownNumbers(*d.doc).size(), 5u);
    // A numbered paragraph deleted (its number, text and mark): those after it move up.
    Range(d.doc, &d.doc->MainStory(), 0, 5).Delete();
    EXPECT_EQ(ShownNumbers(*d.doc), (std::vector<std::string>{"1.\t", "2.\t", "3.\t", "4.\t"}));
}

TEST(Lists, BulletsToggleAndUndoRemovesTheListTableToo) {
    Doc d(R"({\rtf1\ansi a\par b})");
    const std::string preamble = d.doc->preamble;
    Range all = d.doc->Content();
    d.Step([&] { ListFormat(all).ApplyBulletDefault(); });
    EXPECT_EQ(ShownNumbers(*d.doc), (std::vector<std::string>{"\u2022\t", "\u2022\t"}));
    EXPECT_EQ(ListFormat(d.At(0)).ListType(), kListBullet);
    // Numbering bulleted paragraphs makes them numbered, and the reverse;
    // bullets again on paragraphs that have them take them off.
    all = d.doc->Content();
    d.Step([&] { ListFormat(all).ApplyNumberDefault(); });
    EXPECT_EQ(ShownNumbers(*d.doc), (std::vector<std::string>{"1.\t", "2.\t"}));
    all = d.doc->Content();
    d.Step([&] { ListFormat(all).ApplyBulletDefault(); });
    EXPECT_EQ(ShownNumbers(*d.doc), (std::vector<std::string>{"\u2022\t", "\u2022\t"}));
    all = d.doc->Content();
    d.Step([&] { ListFormat(all).ApplyBulletDefault(); });
    EXPECT_TRUE(ShownNumbers(*d.doc).empty());
    EXPECT_EQ(d.At(0).ParagraphFormat().list, 0);
    while (d.doc->CanUndo()) d.doc->Undo();
    EXPECT_EQ(d.doc->preamble, preamble);
    EXPECT_EQ(d.doc->ToRtf(), Doc(R"({\rtf1\ansi a\par b})").doc->ToRtf());
}

TEST(Lists, TextTypedAfterANumberFollowsTheTextNotTheNumbersFormat) {
    // The mark of "pay"'s paragraph is plain; Enter after the italic text, then
    // bullets: the new item's text continues in italic Arial.
    Doc d(R"({\rtf1\ansi{\fonttbl{\f0 Times;}{\f1 Arial;}}{\f1\i pay}\par})");
    Selection& sel = d.doc->GetSelection();
    sel.SetRange(3, 3);
    sel.TypeText("\r");
    d.Step([&] { ListFormat(d.At(sel.Start())).ApplyBulletDefault(); });
    ASSERT_EQ(ShownNumbers(*d.doc).size(), 1u);
    sel.TypeText("x");
    const CharFormat& typed = d.doc->Format(d.doc->MainStory()[static_cast<std::size_t>(sel.Start() - 1)].fmt);
    EXPECT_TRUE(typed.italic);
    EXPECT_EQ(typed.font, 1);
    // In an item that has text, the caret after the bullet takes the text's format.
    Doc t(R"({\rtf1\ansi{\fonttbl{\f0 Times;}{\f1 Arial;}}a\par {\f1\b bold}\par})");
    t.Step([&] { ListFormat(t.At(2)).ApplyBulletDefault(); });
    t.doc->GetSelection().SetRange(3, 3);
    EXPECT_TRUE(t.doc->Format(t.doc->GetSelection().InsertFormat()).bold);
}

TEST(StudioSearch, ReplacesOnlyOutsideFieldsInOneStepAndKeepsThemWhole) {
    Doc d(R"({\rtf1\ansi name {\field{\*\fldinst MACROBUTTON x name}{\fldrslt }}name\par Name})");
    const std::string before = d.doc->ToRtf();
    Selection& sel = d.doc->GetSelection();
    Find& f = sel.GetFind();
    f.OutsideFields = true;
    sel.SetRange(0, 0);
    d.Step([&] { f.Execute("name", 2, "id", true); });
    EXPECT_EQ(f.Replaced, 3);
    const Story& s = d.doc->MainStory();
    const std::string text = StoryText(*d.doc, s, 0, static_cast<long>(s.size()));
    EXPECT_EQ(text, "id \x13MACROBUTTON x name\x15id\rid");
    // Find next: a match inside the field's code is passed over.
    sel.SetRange(0, 0);
    EXPECT_FALSE(f.Execute("MACROBUTTON"));
    f.OutsideFields = false;
    EXPECT_TRUE(f.Execute("MACROBUTTON"));
    d.doc->Undo();
    EXPECT_EQ(d.doc->ToRtf(), before);
}

TEST(UndoOutsideTheAtoms, PageSetupAndTheLastParagraphsFormatUndoAndRedo) {
    Doc d(R"({\rtf1\ansi\paperw12240 a\par b})");
    const PageSetup old = d.doc->PageSetupOf(0);
    PageSetup wide = old;
    wide.left = 567;
    d.Step([&] { d.doc->SetPageSetup(0, wide); });
    const long last = static_cast<long>(d.doc->MainStory().size());
    d.Step([&] { d.At(last).ChangeParagraphFormat([](ParaFormat& f) { f.alignment = Alignment::Right; }); });
    EXPECT_EQ(d.At(last).ParagraphFormat().alignment, Alignment::Right);
    EXPECT_GE(d.doc->Undo(), 0);
    EXPECT_EQ(d.At(last).ParagraphFormat().alignment, Alignment::Left);
    EXPECT_GE(d.doc->Undo(), 0);
    EXPECT_EQ(d.doc->PageSetupOf(0), old);
    d.doc->Redo();
    EXPECT_EQ(d.doc->PageSetupOf(0), wide);
    d.doc->Redo();
    EXPECT_EQ(d.At(last).ParagraphFormat().alignment, Alignment::Right);
}
