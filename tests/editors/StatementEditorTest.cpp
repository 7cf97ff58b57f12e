// The statement editor as an author drives it: the label and code boxes, the
// data tree, the validation messages, Tab, the caret status, printing.
#include "EditorsFixture.h"

#include "editors/forms/frmFindReplace.h"
#include "editors/forms/frmStatement.h"
#include "platform/ui/Printer.h"

using namespace qz;
using namespace qz::editors;
using namespace qz::editors::test;

namespace {

class StatementEditor : public EditorTest {
protected:
    void Open(const std::string& label, const std::string& code) {
        f.QzStmntLabel = label;
        f.QzStmntCode = code;
        f.Initialize();
        f.Form_Activate();
    }
    void Type(ui::TextBox& box, const std::string& text) {
        box.Text = text;
        box.SelStart = static_cast<int>(text.size());
        if (&box == &f.txtLabel) f.txtLabel_Change();
        else f.txtValue_Change();
    }
    void DoubleClick(const std::string& path) {
        f.trvDataList.Select(NodeAt(f.trvDataList, path));
        f.trvDataList_DblClick();
    }
    frmStatement f;
};

} // namespace

TEST_F(StatementEditor, NewFieldOpensWithTheDefaultLabelAndOkWaitsForCode) {
    Open("", "");
    EXPECT_EQ(f.Caption, "Qz Statement");
    EXPECT_EQ(f.txtLabel.Text, "Statement");
    EXPECT_FALSE(f.cmdOk.Enabled);
    EXPECT_EQ(f.ActiveControl(), &f.txtLabel);
    EXPECT_EQ(ChildTexts(NodeAt(f.trvDataList, "Shop")), "Orders,Param,After");
    Type(f.txtValue, "   ");
    EXPECT_FALSE(f.cmdOk.Enabled);
    Type(f.txtLabel, " Total ");
    Type(f.txtValue, " x = 1 ");
    ASSERT_TRUE(f.cmdOk.Enabled);
    f.cmdOk_Click();
    EXPECT_TRUE(f.UpdateField);
    EXPECT_EQ(f.QzStmntLabel, " Total ");  // as typed
    EXPECT_EQ(f.QzStmntCode, " x = 1 ");
    EXPECT_FALSE(f.Visible());
    // Leaving an emptied label puts the default back.
    f.SetFocusTo(f.txtLabel);
    f.txtLabel.Text = "  ";
    f.SetFocusTo(f.txtValue);
    EXPECT_EQ(f.txtLabel.Text, "Statement");
}

TEST_F(StatementEditor, RefusedLabelAndCodeKeepTheDialogOpenWithTheFocus) {
    Open("It's", "x");  // a pasted apostrophe
    f.cmdOk_Click();
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_NE(host.errorTexts[0].find("Please enter a valid label name."), std::string::npos);
    EXPECT_FALSE(f.UpdateField);
    EXPECT_EQ(f.ActiveControl(), &f.txtLabel);
    EXPECT_EQ(f.txtLabel.Text, "It's");
    Type(f.txtLabel, "Ok");
    Type(f.txtValue, "   ");
    f.cmdOk_Click();
    ASSERT_EQ(host.errorTexts.size(), 2u);
    EXPECT_EQ(host.errorTexts[1], "Invalid Quorvane Statement. The Statement cannot be empty.");
    EXPECT_EQ(f.ActiveControl(), &f.txtValue);
    // Cancel after editing hands nothing back.
    f.cmdCancel_Click();
    EXPECT_FALSE(f.UpdateField);
}

TEST_F(StatementEditor, LabelKeysLineBreaksAndTab) {
    Open("L", "a\rb\r\nc\nd");
    EXPECT_EQ(f.txtValue.Text, "a\r\nb\r\nc\nd");
    std::string passed;
    for (char c : std::string("-./0:Z_z{'\";\\|}[@` ")) {
        f.txtLabel.SelStart = static_cast<int>(f.txtLabel.Text.size());
        if (ui::Form::TypeKey(f.txtLabel, 0, 0, c) != 0) passed += c;
    }
    EXPECT_EQ(passed, "-./0:Z_z{ ");
    // Tab indents by three spaces in front of the selection and keeps the focus.
    Type(f.txtValue, "abc");
    f.SetFocusTo(f.txtValue);
    f.txtValue.SelStart = 0;
    f.txtValue.SelLength = 3;
    EXPECT_FALSE(f.SetFocusTo(f.cmdOk, true));
    EXPECT_EQ(f.txtValue.Text, "   abc");
    EXPECT_EQ(f.ActiveControl(), &f.txtValue);
    // The caret's line and column.
    Type(f.txtValue, "ab\r\ncde");
    f.txtValue.SelStart = 7;
    f.txtValue_CaretMoved();
    EXPECT_EQ(f.StatusBar1.Panel(2).Text, "Line 2");
    EXPECT_EQ(f.StatusBar1.Panel(3).Text, "Col 4");
    // A window's code box breaks lines with LF alone: handed back as CR LF.
    Type(f.txtValue, "x\ny\rz");
    f.cmdOk_Click();
    EXPECT_EQ(f.QzStmntCode, "x\r\ny\r\nz");
}

TEST_F(StatementEditor, DataTreeWritesAtTheCaretAndIntoTheConditionSkeleton) {
    Open("If", "if()Then");
    EXPECT_EQ(f.ActiveControl(), &f.txtValue);
    EXPECT_EQ(f.txtValue.SelStart, 3);
    DoubleClick("Shop/Orders/Total");
    EXPECT_EQ(f.txtValue.Text, "if(Orders.Fields(\"Total\").Value)Then");
    f.trvDataList.Select(NodeAt(f.trvDataList, "Shop/Orders/Created"));
    f.trvDataList_NodeClick();
    EXPECT_EQ(f.StatusBar1.Panel(1).Text, "Date");
    // Enter in the tree inserts as a double click does; the selection is replaced.
    f.txtValue.SelStart = 0;
    f.txtValue.SelLength = 2;
    f.trvDataList.Select(NodeAt(f.trvDataList, "Shop/Orders/Functions/MoveNext"));
    int enter = 13;
    f.trvDataList.KeyPress(enter);
    EXPECT_EQ(enter, 0);
    EXPECT_EQ(f.txtValue.Text, "Orders.MoveNext(Orders.Fields(\"Total\").Value)Then");
    // A connection without commands says so; nothing is inserted.
    DoubleClick("Empty");
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(host.errorTexts[0], "Invalid connection. Please go back to the connection window to fix the problem.");
    EXPECT_EQ(f.txtValue.Text, "Orders.MoveNext(Orders.Fields(\"Total\").Value)Then");
}

TEST_F(StatementEditor, PrintsTheLabelAndCodeOnTheChosenPrinter) {
    Open("Loop", "x = 1\r\ny = 2");
    ui::HeadlessPrinterBackend& printer = ui::defaultPrinterBackend();
    printer.documents.clear();
    host.queuePrintDialog({false, {}});
    f.cmdPrint_Click();
    EXPECT_TRUE(printer.documents.empty());  // cancelled
    ui::PrintDialogResult ok;
    ok.ok = true;
    ok.settings.printerName = ui::CurrentPrinter().DeviceName;
    host.queuePrintDialog(ok);
    f.cmdPrint_Click();
    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_TRUE(printer.documents[0].ended);
    EXPECT_EQ(printer.documents[0].lines, (std::vector<std::string>{"", "Loop - 1", "", "x = 1", "y = 2"}));
    EXPECT_FALSE(host.busy());
}

TEST_F(StatementEditor, FindReplacesInTheCodeBox) {
    Open("L", "total = total + 1");
    f.txtValue.SelStart = 2;
    host.queueFormAction([](ui::Form& form) {
        auto& d = dynamic_cast<frmFindReplace&>(form);
        EXPECT_EQ(d.Caption, "Find Text");
        EXPECT_EQ(d.cboSearch.Text, "total");
        d.cmdReplace_Click(0);  // to replace mode
        d.cboReplace.Text = "sum";
        d.cmdReplace_Click(1);
    });
    host.queueMsgBoxResult(ui::vbOK);
    f.cmdFind_Click();
    EXPECT_EQ(f.txtValue.Text, "sum = sum + 1");
    auto boxes = host.requests(ui::UiRequest::MsgBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, "The document has been searched. 2 changes made.");
    EXPECT_EQ(boxes[0].title, "Find/Replace");
}
