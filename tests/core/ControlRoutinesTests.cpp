// The routines the dialogs share over their controls: locale, digit and
// True/False lists, type-ahead, the caret position, and the open/save
// dialog.
#include "core/CommonDialog.h"
#include "core/CoreFixture.h"
#include "core/InstalledLocales.h"
#include "core/ModDesigner.h"
#include "core/ModGlobalControls.h"
#include "platform/system/Folders.h"

#include <set>

using namespace qz;
using qz::test::CoreFixture;
using qz::test::numberOf;

TEST(LocaleCombo, DefaultEntryThenEveryLocaleOnce) {
    ui::ComboBox combo;
    combo.AddItem("stale", 5);
    FillInstalledLocaleCombo(combo, 1);
    ASSERT_GT(combo.ListCount(), 1);
    EXPECT_EQ(combo.List(0), "<Template Default>");
    EXPECT_EQ(combo.ItemData(0), -1);
    EXPECT_EQ(combo.ListCount(), static_cast<int>(InstalledLocales().size()) + 1);
    std::set<std::int32_t> seen;
    for (int i = 1; i < combo.ListCount(); ++i) {
        EXPECT_TRUE(seen.insert(combo.ItemData(i)).second) << combo.List(i);
        EXPECT_FALSE(combo.List(i).empty());
    }
    FillInstalledLocaleCombo(combo, 0);
    EXPECT_EQ(combo.List(0), "<System Default>");

    SelectQzTemplateLocaleItem(combo, 1033);
    EXPECT_EQ(combo.ItemData(combo.ListIndex), 1033);
    EXPECT_EQ(combo.Text, "English (United States)");
    SelectQzTemplateLocaleItem(combo, 99999);  // not installed: selection kept
    EXPECT_EQ(combo.ItemData(combo.ListIndex), 1033);
    SelectQzTemplateLocaleItem(combo, -1);
    EXPECT_EQ(combo.ListIndex, 0);
}

TEST(TypeAhead, PrefixGrowsWithinAQuarterSecondInOneCombo) {
    auto t = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    SetIncrementalSearchClock([&t] { return t; });
    ui::ComboBox a, b;
    for (const char* s : {"Dutch", "english", "Estonian", "Norwegian"}) a.AddItem(s), b.AddItem(s);
    auto type = [](ui::ComboBox& c, std::int32_t ch) {
        std::int32_t key = ch;
        ComboIncrementalSearch(c, key);
        return key;
    };
    EXPECT_EQ(type(a, 'E'), 0);  // consumed; letter case aside
    EXPECT_EQ(a.ListIndex, 1);
    t += std::chrono::milliseconds(100);
    type(a, 's');
    EXPECT_EQ(a.Text, "Estonian");  // "Es"
    t += std::chrono::milliseconds(250);
    type(a, 'n');  // a pause of 0.25 s starts again: "n"
    EXPECT_EQ(a.Text, "Norwegian");
    t += std::chrono::milliseconds(10);
    type(b, 'e');  // another combo starts again
    EXPECT_EQ(b.Text, "english");
    t += std::chrono::milliseconds(10);
    EXPECT_EQ(type(b, 'x'), 0);  // "ex" matches nothing: consumed, selection kept
    EXPECT_EQ(b.ListIndex, 1);
    EXPECT_EQ(type(b, 13), 13);  // outside 32-127: passed through
    EXPECT_EQ(type(b, 200), 200);
    SetIncrementalSearchClock({});
}

TEST(NumberCombos, FillAndSelectByDatum) {
    ui::ComboBox digits;
    FillNumberOfDigitsCombo(digits);
    ASSERT_EQ(digits.ListCount(), 10);
    EXPECT_EQ(digits.List(7), "7");
    EXPECT_EQ(digits.ItemData(7), 7);

    ui::ComboBox yesNo;
    FillNumberCombo(yesNo);
    ASSERT_EQ(yesNo.ListCount(), 2);
    EXPECT_EQ(yesNo.List(0), "True");
    EXPECT_EQ(yesNo.ItemData(0), -1);
    EXPECT_EQ(yesNo.ItemData(1), 0);
    SelectNumberOption(yesNo, 0);
    EXPECT_EQ(yesNo.Text, "False");
    SelectNumberOption(yesNo, -2);  // no entry: an editable combo shows the value
    EXPECT_EQ(yesNo.ListIndex, -1);
    EXPECT_EQ(yesNo.Text, "-2");
    yesNo.Style = 2;
    SelectNumberOption(yesNo, -1);
    SelectNumberOption(yesNo, 5);  // a list-only combo keeps its selection
    EXPECT_EQ(yesNo.Text, "True");
}

TEST(CaretPosition, LineAndColumnFromOne) {
    ui::TextBox box;
    box.MultiLine = true;
    EXPECT_EQ(GetCaretLineOrColumn(1, box), 1);
    EXPECT_EQ(GetCaretLineOrColumn(0, box), 1);
    box.Text = "ab\r\ncd\ré\nxyz";  // CR LF, lone CR and lone LF all end lines
    box.SelStart = 5;                // after "c"
    EXPECT_EQ(GetCaretLineOrColumn(1, box), 2);
    EXPECT_EQ(GetCaretLineOrColumn(2, box), 2);
    box.SelStart = 7;                // after "\r" of line 2: the start of line 3
    EXPECT_EQ(GetCaretLineOrColumn(1, box), 3);
    box.SelLength = 4;               // the caret ends the selection: "é\nxy"
    EXPECT_EQ(GetCaretLineOrColumn(1, box), 4);
    EXPECT_EQ(GetCaretLineOrColumn(0, box), 3);
    box.SelStart = 500;              // beyond the text: its end
    EXPECT_EQ(GetCaretLineOrColumn(0, box), 4);
}

TEST_F(CoreFixture, FileDialogAsksWithTheCallersFilterAndReturnsThePath) {
    CommonDialog dlg;
    EXPECT_EQ(dlg.OpenFileName("1", "Rich Text Format (*.rtf)", "*.rtf", 0, "", "", "Invoice.rtf"), "");
    auto asked = host.requests(ui::UiRequest::FileDialog);
    ASSERT_EQ(asked.size(), 1u);
    const ui::FileDialogRequest& r = asked[0].file;
    EXPECT_TRUE(r.save);
    using Filters = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(r.filters, (Filters{{"Rich Text Format (*.rtf)", "*.rtf"}, {"All Files (*.*)", "*.*"}}));
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_EQ(r.initialFolder, sys::libraryFolder());
    EXPECT_EQ(r.fileName, "Invoice.rtf");
    EXPECT_FALSE(r.overwritePrompt || r.fileMustExist);

    const std::string longPath = "/data/" + std::string(294, 'x');
    host.queueFileDialog({ui::FileDialogResult::Ok, longPath, 0});
    EXPECT_EQ(dlg.OpenFileName("0", "Data", "*.db", 0, "/srv", "db", ""), longPath);  // whole
    EXPECT_FALSE(host.requests(ui::UiRequest::FileDialog)[1].file.save);
    EXPECT_EQ(host.requests(ui::UiRequest::FileDialog)[1].file.initialFolder, "/srv");
    EXPECT_EQ(host.requests(ui::UiRequest::FileDialog)[1].file.defaultExt, "db");

    host.queueFileDialog({ui::FileDialogResult::Failed, "", 12290});
    EXPECT_EQ(numberOf([&] { dlg.OpenFileName("1", "a", "*.a", 0, "", "", ""); }), OwnErrorNumber(4035));
    host.queueFileDialog({ui::FileDialogResult::Failed, "", 12290});
    EXPECT_EQ(numberOf([&] { dlg.OpenFileName(" 0 ", "a", "*.a", 0, "", "", ""); }), OwnErrorNumber(4036));
    EXPECT_EQ(numberOf([&] { dlg.OpenFileName("save", "a", "*.a", 0, "", "", ""); }), 13);
    EXPECT_EQ(host.requests(ui::UiRequest::FileDialog).size(), 4u);  // a bad mode asks nothing
    ASSERT_EQ(logLines().size(), 3u);
    EXPECT_EQ(logLines()[0][1], "CommonDialog");
}
