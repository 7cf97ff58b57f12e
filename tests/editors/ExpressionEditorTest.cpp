// The expression editor and its format and locale panel as an author drives
// them: defaults of a new field, validation, line breaks, Link Picture, the
// format text each panel state writes and reads back, locales.
#include "EditorsFixture.h"

#include "editors/FieldCode.h"
#include "editors/forms/frmExpression.h"

using namespace qz;
using namespace qz::editors;
using namespace qz::editors::test;

namespace {

class ExpressionEditor : public EditorTest {
protected:
    void Open(const std::string& format, const std::string& locale = "", const std::string& code = "x") {
        f.QzExpCode = code;
        f.QzExpLabel = "L";
        f.QzExpFormat = format;
        f.QzExpLocale = locale;
        f.Initialize();
    }
    // OK's format text for a field opened with `format`.
    std::string RoundTrip(const std::string& format) {
        Open(format);
        f.cmdOk_Click();
        EXPECT_TRUE(f.UpdateField) << format;
        return f.QzExpFormat;
    }
    void Code(const std::string& text) {
        f.txtValue.Text = text;
        f.txtValue_Change();
    }
    frmExpression f;
};

} // namespace

TEST_F(ExpressionEditor, NewFieldHasTheDefaultsAndHandsBackTrimmedCode) {
    WriteQzc(ShopQzc("<StringFormat>MaxLength:25;BlankProtect:-1</StringFormat>"));
    f.Initialize();
    EXPECT_EQ(f.Caption, "Qz Expression");
    EXPECT_EQ(f.txtLabel.Text, "Expression");
    EXPECT_EQ(f.cboFormat.ListIndex, 0);
    EXPECT_EQ(f.cboLocale.ListIndex, 0);
    EXPECT_EQ(f.cboLocale.List(0), "<Template Default>");
    EXPECT_FALSE(f.cmdOk.Enabled);
    // The string frame shows the template's default, greyed.
    EXPECT_TRUE(f.Format.String.fra.Visible);
    EXPECT_EQ(f.Format.String.txtMaxLength.Text, "25");
    EXPECT_EQ(f.Format.String.chkBlankProtect.Value, 1);
    EXPECT_FALSE(f.Format.String.txtMaxLength.Enabled);
    // The expression editor's tree has no Functions under its commands.
    EXPECT_EQ(ChildTexts(NodeAt(f.tvList, "Shop/Orders")), "ID,Name,Total,Created");
    Code("\r\n\r\n");
    EXPECT_FALSE(f.cmdOk.Enabled);
    Code("  x + 1  ");
    ASSERT_TRUE(f.cmdOk.Enabled);
    f.cmdOk_Click();
    EXPECT_TRUE(f.UpdateField);
    EXPECT_EQ(f.QzExpCode, "x + 1");
    EXPECT_EQ(f.QzExpFormat, "String;UseDefaultProperties:-1");
    EXPECT_EQ(f.QzExpLocale, "-1");
}

TEST_F(ExpressionEditor, LineBreaksMustBeContinuedAndRefusalsKeepTheDialogOpen) {
    EXPECT_EQ(CheckForValidCRLF("a _\r\nb"), 1);
    EXPECT_EQ(CheckForValidCRLF("a_   \r\nb"), 1);
    EXPECT_EQ(CheckForValidCRLF("a\r\nb"), -1);
    EXPECT_EQ(CheckForValidCRLF("\r\nb"), -1);
    EXPECT_EQ(CheckForValidCRLF("   \r\nb"), -1);
    EXPECT_EQ(CheckForValidCRLF("a _\r\n\r\nb"), -1);
    Open("");
    Code("a\nb");  // as a window's code box breaks lines
    f.cmdOk_Click();
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(host.errorTexts[0], "Invalid carriage return linefeed.");
    Code("   ");
    f.cmdOk_Click();
    f.txtLabel.Text = "Say \"hi\"";
    Code("x");
    f.cmdOk_Click();
    ASSERT_EQ(host.errorTexts.size(), 3u);
    EXPECT_EQ(host.errorTexts[1], "Invalid Quorvane Expression. The Expression cannot be empty.");
    EXPECT_NE(host.errorTexts[2].find("valid label name"), std::string::npos);
    EXPECT_FALSE(f.UpdateField);
    EXPECT_EQ(f.QzExpCode, "x");  // untouched by the refused attempts
    EXPECT_EQ(f.ActiveControl(), &f.txtLabel);
    // Leaving a label of spaces puts the default at the caret.
    f.txtLabel.Text = "  ";
    f.txtLabel.SelStart = 1;
    f.txtLabel.SelLength = 0;
    f.SetFocusTo(f.txtValue);
    EXPECT_EQ(f.txtLabel.Text, " Expression ");
    Code(" a _\nb ");
    f.cmdOk_Click();
    EXPECT_EQ(f.QzExpCode, "a _\r\nb");
}

TEST_F(ExpressionEditor, LinkPictureAppendsTheCallAndSwitchesToRtf) {
    Open("", "", "");
    host.queueFileDialog({ui::FileDialogResult::Ok, "/pics/logo.png", 0});
    f.cmdLinkPicture_Click();
    EXPECT_EQ(f.txtValue.Text, "QzInsertPictureLinkRTF(\"/pics/logo.png\")");
    EXPECT_EQ(f.cboFormat.ListIndex, 5);
    EXPECT_FALSE(f.Format.String.fra.Visible || f.Format.Number(0).fra.Visible || f.Format.DateTime.fra.Visible);
    Code("x");
    host.queueFileDialog({ui::FileDialogResult::Ok, "/pics/a \"b\".png", 0});
    f.cmdLinkPicture_Click();
    EXPECT_EQ(f.txtValue.Text, "x QzInsertPictureLinkRTF(\"/pics/a \"\"b\"\".png\")");
    // Cancelling the file dialog changes nothing.
    f.InitFormat("String;UseDefaultProperties:-1");
    f.cmdLinkPicture_Click();
    EXPECT_EQ(f.txtValue.Text, "x QzInsertPictureLinkRTF(\"/pics/a \"\"b\"\".png\")");
    EXPECT_EQ(f.cboFormat.ListIndex, 0);
    const auto dialogs = host.requests(ui::UiRequest::FileDialog);
    ASSERT_EQ(dialogs.size(), 3u);
    ASSERT_EQ(dialogs[0].file.filters.size(), 20u);
    EXPECT_EQ(dialogs[0].file.initialFolder, home.root()); // the template's folder
    EXPECT_EQ(dialogs[0].file.filters[3].second, "*.jpg;*jpeg;*.jfif;*.jpe");
    f.cmdOk_Click();
    EXPECT_EQ(f.QzExpFormat, "String;UseDefaultProperties:-1");
}

TEST_F(ExpressionEditor, FormatTextsReadBackAsTheyWereWritten) {
    EXPECT_EQ(RoundTrip("rtf;"), "RTF;");
    EXPECT_EQ(RoundTrip("NUMBER;NumDigits:2;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:-1;BlankProtect:0"),
              "Number;NumDigits:2;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:-1;BlankProtect:0");
    EXPECT_EQ(RoundTrip("Date/Time;DateTime:4;BlankProtect:-1"), "Date/Time;DateTime:4;BlankProtect:-1");
    EXPECT_EQ(RoundTrip("String;MaxLength:40;BlankProtect:-1"), "String;MaxLength:40;BlankProtect:-1");
    // Named formats of older templates, and names that are none.
    EXPECT_EQ(RoundTrip("Currency"), "Currency;UseDefaultProperties:-1");
    EXPECT_EQ(RoundTrip("General Number"), "Number;UseDefaultProperties:-1");
    EXPECT_EQ(RoundTrip("Long date"), "Date/Time;UseDefaultProperties:-1");
    EXPECT_EQ(RoundTrip("currency"), "String;UseDefaultProperties:-1");
    // An option the text leaves out stays the regional setting (-2), and an
    // empty digits box is the default number of digits (-1).
    EXPECT_EQ(RoundTrip("Number;UseParensForNeg:-1;BlankProtect:0"),
              "Number;NumDigits:-1;LeadingDigit:-2;UseParensForNeg:-1;GroupDigits:-2;BlankProtect:0");
}

TEST_F(ExpressionEditor, OverrideBoxesShowTheDefaultsAndNothingCarriesOverToTheNextField) {
    WriteQzc(ShopQzc("<NumberFormat>NumDigits:3;LeadingDigit:0;UseParensForNeg:-1;GroupDigits:0;BlankProtect:0"
                     "</NumberFormat><CurrencyFormat>NumDigits:1;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:-1;"
                     "BlankProtect:-1</CurrencyFormat>"));
    Open("Number;UseDefaultProperties:-1");
    EXPECT_EQ(f.Format.Number(0).cboNumberOfDigits.Text, "3");
    EXPECT_FALSE(f.Format.Number(0).cboNumberOfDigits.Enabled);
    EXPECT_EQ(f.Format.Number(0).chkOverride.Caption, "Override Default Template &Number Format");
    f.cboFormat.Select(3);
    f.cboFormat_Click();
    EXPECT_EQ(f.Format.Number(0).chkOverride.Caption, "Override Default Template C&urrency Format");
    EXPECT_EQ(f.Format.Number(0).cboNumberOfDigits.Text, "1");
    EXPECT_EQ(f.Format.Number(0).chkBlankProtect.Value, 1);
    // Ticking the override keeps the values shown, now editable.
    f.Format.Number(0).chkOverride.Value = 1;
    f.chkOverrideNumberFormat_Click();
    EXPECT_TRUE(f.Format.Number(0).cboNumberOfDigits.Enabled);
    EXPECT_EQ(f.Format.Number(0).cboNumberOfDigits.Text, "1");
    // String, then Currency again: the number override is cleared.
    f.cboFormat.Select(0);
    f.cboFormat_Click();
    f.cboFormat.Select(3);
    f.cboFormat_Click();
    EXPECT_EQ(f.Format.Number(0).chkOverride.Value, 0);

    // A string field with options of its own, then a number field: switching
    // the second to String shows the template default, not the first field's.
    Open("String;MaxLength:12;BlankProtect:-1");
    EXPECT_EQ(f.Format.String.chkOverride.Value, 1);
    Open("Number;UseDefaultProperties:-1");
    f.cboFormat.Select(0);
    f.cboFormat_Click();
    EXPECT_EQ(f.Format.String.chkOverride.Value, 0);
    EXPECT_EQ(f.Format.String.txtMaxLength.Text, "");
    // A length that does not fit is refused with a clear message.
    f.Format.String.chkOverride.Value = 1;
    f.chkOverrideStringFormat_Click();
    f.Format.String.txtMaxLength.Text = "99999999999";
    f.cmdOk_Click();
    EXPECT_FALSE(f.UpdateField);
    ASSERT_FALSE(host.errorTexts.empty());
    EXPECT_EQ(host.errorTexts.back(), "Invalid property value. Please enter a valid numeric value.");
}

TEST_F(ExpressionEditor, LocalesAndTheDataTree) {
    Open("", "1033");
    ASSERT_GE(f.cboLocale.ListIndex, 1);
    EXPECT_EQ(f.cboLocale.ItemData(f.cboLocale.ListIndex), 1033);
    // A locale this computer does not have is kept.
    Open("", "999999");
    f.cmdOk_Click();
    EXPECT_EQ(f.QzExpLocale, "999999");
    Open("", "-1");
    EXPECT_EQ(f.cboLocale.ListIndex, 0);

    // Double-clicking a column names the label after it and picks the format.
    Open("RTF;", "", "");
    f.txtLabel.Text = "Expression";
    f.tvList.Select(NodeAt(f.tvList, "Shop/Orders/ID"));
    f.tvList_DblClick();
    EXPECT_EQ(f.txtLabel.Text, "ID");
    EXPECT_EQ(f.cboFormat.ListIndex, 2);
    EXPECT_EQ(f.StatusBar1.Panel(1).Text, "Long");
    EXPECT_EQ(f.txtValue.Text, "Orders.Fields(\"ID\").Value");
    f.tvList.Select(NodeAt(f.tvList, "Saved/Orders/Items/Product"));
    f.tvList_DblClick();
    EXPECT_EQ(f.txtLabel.Text, "ID");
    EXPECT_EQ(f.cboFormat.ListIndex, 0);
    EXPECT_TRUE(f.cmdOk.Enabled);
    // Enter in the tree inserts as a double click does; a click shows the type.
    f.tvList.Select(NodeAt(f.tvList, "Shop/Orders/Created"));
    f.tvList_NodeClick();
    EXPECT_EQ(f.StatusBar1.Panel(1).Text, "Date");
    int enter = 13;
    f.tvList.KeyPress(enter);
    EXPECT_EQ(enter, 0);
    EXPECT_NE(f.txtValue.Text.find("Orders.Fields(\"Created\").Value"), std::string::npos);
    // The tree comes first in this editor's tab order, the label box next.
    EXPECT_EQ(f.tvList.TabIndex + 2, f.txtLabel.TabIndex);
}

// A column of money is offered in the Currency format; other numbers in
// Number, whole numbers without decimals.
TEST_F(ExpressionEditor, AMoneyColumnIsOfferedAsCurrency) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((home.root() + "/shop.db").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE Prices (Price CURRENCY, Total DOUBLE, Qty INTEGER);", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::string qzc = ShopQzc();
    qzc.replace(qzc.find("SELECT ID, Name, Total, Created FROM Orders"), 43, "SELECT Price, Total, Qty FROM Prices");
    WriteQzc(qzc);
    Open("RTF;", "", "");
    f.tvList.Select(NodeAt(f.tvList, "Shop/Orders/Price"));
    f.tvList_DblClick();
    EXPECT_EQ(f.cboFormat.Text, "Currency");
    EXPECT_EQ(f.StatusBar1.Panel(1).Text, "Double");
    f.tvList.Select(NodeAt(f.tvList, "Shop/Orders/Total"));
    f.tvList_DblClick();
    EXPECT_EQ(f.cboFormat.Text, "Number");
    EXPECT_EQ(f.Format.Number(0).chkOverride.Value, 0);
    EXPECT_EQ(f.Format.Number(0).cboNumberOfDigits.Text, "2");
    f.tvList.Select(NodeAt(f.tvList, "Shop/Orders/Qty"));
    f.tvList_DblClick();
    EXPECT_EQ(f.cboFormat.Text, "Number");
    EXPECT_EQ(f.Format.Number(0).chkOverride.Value, 1);
    EXPECT_EQ(f.Format.Number(0).cboNumberOfDigits.Text, "0");
    f.cmdOk_Click();
    EXPECT_NE(f.QzExpFormat.find("NumDigits:0"), std::string::npos) << f.QzExpFormat;
}
