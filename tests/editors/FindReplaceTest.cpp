// Find and replace over a code box: the search text picked at the caret,
// finding, counting, replacing one and all, letter case, the selected-text
// scope and the state kept from one dialog to the next.
#include "EditorsFixture.h"

#include "editors/ModFindReplace.h"
#include "editors/forms/frmFindReplace.h"

using namespace qz;
using namespace qz::editors;
using namespace qz::editors::test;

namespace {

class FindReplace : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        TheFindReplaceState() = {};
    }
    void TearDown() override {
        dialog.reset();
        TheFindReplaceState() = {};
        EditorTest::TearDown();
    }
    // A dialog over the box as the statement editor opens it.
    frmFindReplace& Open(const std::string& text, int selStart, int selLength = 0) {
        box.Text = text;
        box.SelStart = selStart;
        box.SelLength = selLength;
        const std::string search = GetFindTextFromTextBox(box);
        TheFindReplaceState().search = search;
        TheFindReplaceState().countMode = false;
        dialog = std::make_unique<frmFindReplace>();
        dialog->SetupInit(false, &box, box.SelText() != search);
        return *dialog;
    }
    std::string LastMessage() {
        auto boxes = host.requests(ui::UiRequest::MsgBox);
        return boxes.empty() ? std::string() : boxes.back().prompt;
    }
    ui::TextBox box;
    std::unique_ptr<frmFindReplace> dialog;
};

std::string WordAt(const std::string& text, int caret, int length = 0) {
    ui::TextBox b;
    b.Text = text;
    b.SelStart = caret;
    b.SelLength = length;
    return GetFindTextFromTextBox(b);
}

} // namespace

TEST_F(FindReplace, SearchTextIsTheWordAtTheCaretOrTheSelectionsFirstLine) {
    EXPECT_EQ(WordAt("abc def", 3), "abc");
    EXPECT_EQ(WordAt("abc def", 4), "def");
    EXPECT_EQ(WordAt("a, b", 2), "");
    EXPECT_EQ(WordAt("x.Fields(\"y\")", 0), "x.Fields");
    EXPECT_EQ(WordAt("one\r\ntwo", 0, 8), "one");
    frmFindReplace& d = Open("one\r\ntwo", 0, 8);
    EXPECT_EQ(d.cboSearch.Text, "one");
    EXPECT_TRUE(d.optSearch[1].Enabled);
    EXPECT_TRUE(d.optSearch[1].Value);
}

TEST_F(FindReplace, FindFromTheCaretWrapsToTheTopAndStopsWhereItBegan) {
    frmFindReplace& w = Open("x one x two", 3);
    w.cboSearch.Text = "x";
    w.cmdFind_Click();
    EXPECT_EQ(box.SelStart, 6);
    w.cmdFind_Click();
    EXPECT_EQ(box.SelStart, 0);  // wrapped
    const std::size_t messages = host.requests(ui::UiRequest::MsgBox).size();
    w.cmdFind_Click();
    EXPECT_EQ(host.requests(ui::UiRequest::MsgBox).size(), messages + 1);
    EXPECT_EQ(LastMessage(), "The specified region has been searched. Matches found: 2");

}

TEST_F(FindReplace, FindNextCountAndMatchCase) {
    frmFindReplace& d = Open("x X x", 0);
    d.cboSearch.Text = "x";
    d.chkMatchCase.Value = 1;
    d.chkMatchCase_Click();
    d.cmdFind_Click();
    EXPECT_EQ(box.SelStart, 0);
    d.cmdFind_Click();
    EXPECT_EQ(box.SelStart, 4);
    d.cmdFind_Click();
    EXPECT_EQ(LastMessage(), "The specified region has been searched. Matches found: 2");
    d.chkMatchCase.Value = 0;
    d.chkMatchCase_Click();
    d.cmdFind_Click();  // from the top again, any case
    d.cmdFind_Click();
    EXPECT_EQ(box.SelStart, 2);
    EXPECT_EQ(box.SelLength, 1);

    // Counting: occurrences never overlap; count mode switches the rest off.
    box.Text = "aaaa";
    d.chkCountOnly.Value = 1;
    d.chkCountOnly_Click();
    EXPECT_EQ(d.cmdFind.Caption, "Count");
    EXPECT_FALSE(d.chkMatchCase.Enabled);
    EXPECT_FALSE(d.cmdReplace[0].Enabled);
    d.cboSearch.Text = "aa";
    d.cmdFind_Click();
    EXPECT_EQ(LastMessage(), "2 matches found for ' aa '");
    d.chkCountOnly.Value = 0;
    d.chkCountOnly_Click();
    EXPECT_EQ(d.cmdFind.Caption, "Find &Next");
    EXPECT_TRUE(d.chkMatchCase.Enabled);
}

TEST_F(FindReplace, ReplaceAllNeverSearchesWhatItInserted) {
    FindReplaceState s;
    auto all = [&](std::string text, std::string find, std::string by) {
        s.text = std::move(text);
        s.search = std::move(find);
        s.replace = std::move(by);
        s.compareMode = kCompareText;
        ReplaceAllInText(s);
        return s.text + "/" + std::to_string(s.changeCount);
    };
    EXPECT_EQ(all("ba", "a", "c"), "bc/1");
    EXPECT_EQ(all("abcabc", "abc", "x"), "xx/2");
    EXPECT_EQ(all("aa", "a", "aa"), "aaaa/2");
    EXPECT_EQ(all("A\xC3\xA9t\xC3\xA9", "\xC3\xA9", "\xE6\xBC\xA2"), "A\xE6\xBC\xA2t\xE6\xBC\xA2/2");
    EXPECT_EQ(all("abc", "", "x"), "abc/0");  // nothing to search: no endless loop

    frmFindReplace& d = Open("b b", 0);
    d.cboSearch.Text = "a";
    d.cmdReplace_Click(0);
    EXPECT_EQ(d.Caption, "Replace Text");
    d.cboReplace.Text = "c";
    box.Text = "b b";
    d.cmdReplace_Click(1);
    EXPECT_EQ(box.Text, "b b");
    EXPECT_EQ(LastMessage(), "The document has been searched. 0 changes made.");
}

TEST_F(FindReplace, ReplaceOneAtATimeUntilTheEnd) {
    frmFindReplace& d = Open("a a a", 0);
    d.cboSearch.Text = "a";
    d.cboSearch_Change();
    d.cmdReplace_Click(0);
    d.cboReplace.Text = "ab";
    for (int i = 0; i < 3; ++i) d.cmdReplace_Click(0);
    EXPECT_EQ(box.Text, "ab ab ab");
    EXPECT_EQ(LastMessage(), "The document has been searched. 3 matches found; 3 changes made.");
}

TEST_F(FindReplace, SelectedTextLimitsReplaceAll) {
    // Two lines, the selection from the second "a" into the second line.
    frmFindReplace& d = Open("a a\r\na a", 2, 5);
    ASSERT_TRUE(d.optSearch[1].Value);
    d.cboSearch.Text = "a";
    d.cmdReplace_Click(0);
    d.cboReplace.Text = "xy";
    d.cmdReplace_Click(1);
    EXPECT_EQ(box.Text, "a xy\r\nxy a");
    // The whole text when the author chooses it.
    d.optSearch_Click(0);
    d.cmdReplace_Click(1);
    EXPECT_EQ(box.Text, "xy xy\r\nxy xy");
}

TEST_F(FindReplace, EscapeClosesAndTheNextDialogKeepsTheTexts) {
    frmFindReplace& d = Open("abc", 0);
    d.cboSearch.Text = "b";
    d.cmdReplace_Click(0);
    d.cboReplace.Text = "z";
    d.cmdReplace_Click(0);
    int esc = 27;
    d.cboSearch.KeyPress(esc);
    EXPECT_FALSE(d.Visible());
    TheFindReplaceState().search = "b";
    dialog = std::make_unique<frmFindReplace>();
    dialog->SetupInit(false, &box, false);
    EXPECT_EQ(dialog->cboSearch.Text, "b");
    EXPECT_EQ(dialog->cboReplace.Text, "z");
    EXPECT_EQ(dialog->Caption, "Find Text");
    EXPECT_FALSE(dialog->cboReplace.Visible);
}
