// The script-error dialog: what each box shows for each kind of location.
#include "core/CoreFixture.h"
#include "core/forms/frmVbScriptError.h"

using namespace qz;
using qz::test::CoreFixture;

TEST(ScriptErrorDialog, ShowsTheErrorAndAFieldInItsColour) {
    frmVbScriptError f;
    EXPECT_EQ(f.Caption, "Quorvane Error");
    EXPECT_EQ(f.cmdOk.Caption, "Ok");
    EXPECT_FALSE(f.cmdHelp.Visible);
    EXPECT_TRUE(f.txtErrorDescription.MultiLine && f.txtQzFieldCode.MultiLine);
    EXPECT_EQ(f.txtErrorSource.BackColor, static_cast<std::int32_t>(0x8000000Fu));

    f.InitForm(13, "Microsoft VBScript runtime error", "Type mismatch", "x = a + b", 2, "Total", 1);
    EXPECT_EQ(f.txtErrorNumber.Text, "13");
    EXPECT_EQ(f.txtErrorSource.Text, "Microsoft VBScript runtime error");
    EXPECT_EQ(f.txtErrorDescription.Text, "Type mismatch");
    EXPECT_EQ(f.txtQzFieldCode.Text, "x = a + b");
    EXPECT_EQ(f.txtQzFieldLineNumber.Text, "2");
    EXPECT_EQ(f.fraQzField.Caption, "Expression Field");
    EXPECT_EQ(f.txtQzFieldName.Text, "Total");
    EXPECT_EQ(f.txtQzFieldName.ForeColor, 0x800000);

    f.InitForm(-2146828275, "", "", "Next", 7, "Loop", 2);
    EXPECT_EQ(f.txtErrorNumber.Text, "-2146828275");
    EXPECT_EQ(f.fraQzField.Caption, "Statement Field");
    EXPECT_EQ(f.txtQzFieldName.ForeColor, 255);
    EXPECT_EQ(f.txtErrorSource.Text, "");

    f.InitForm(5, "s", "d", "Call X", 1, "Helpers.vbs", 3);
    EXPECT_EQ(f.fraQzField.Caption, "External Module");
    EXPECT_EQ(f.txtQzFieldName.Text, "Helpers.vbs");
    EXPECT_EQ(f.txtQzFieldName.ForeColor, 0);

    f.InitForm(1, "s", "d", "y", 1, "", 1);  // an empty label stays empty
    EXPECT_EQ(f.txtQzFieldName.Text, "");
}

TEST(ScriptErrorDialog, UnknownPartsSayUnknown) {
    for (std::int32_t kind : {0, 4, -1}) {
        frmVbScriptError f;
        f.InitForm(0, "", "", "", 0, "L", kind);
        EXPECT_EQ(f.txtErrorNumber.Text, "<Unknown>");
        EXPECT_EQ(f.txtQzFieldCode.Text, "<Unknown>");
        EXPECT_EQ(f.txtQzFieldLineNumber.Text, "<Unknown>");
        EXPECT_EQ(f.fraQzField.Caption, "Unknown Location");
        EXPECT_EQ(f.txtQzFieldName.Text, "<Unknown>");
        EXPECT_EQ(f.txtQzFieldName.ForeColor, 0);
    }
}

TEST_F(CoreFixture, ScriptErrorBoxesSelectAllOnFocusAndOkCloses) {
    frmVbScriptError f;
    f.InitForm(13, "src", "Type mismatch: 'é'", "x", 1, "L", 1);
    host.queueFormAction([](ui::Form& form) {
        auto& d = static_cast<frmVbScriptError&>(form);
        ASSERT_TRUE(d.SetFocusTo(d.txtErrorDescription));
        EXPECT_EQ(d.txtErrorDescription.SelStart, 0);
        EXPECT_EQ(d.txtErrorDescription.SelLength, 18);
        d.txtQzFieldName.SelStart = 1;
        ASSERT_TRUE(d.SetFocusTo(d.txtQzFieldName));
        EXPECT_EQ(d.txtQzFieldName.SelStart, 0);
        EXPECT_EQ(d.txtQzFieldName.SelLength, 1);
        d.cmdOk_Click();
        EXPECT_FALSE(d.Visible());
    });
    f.ShowModal();
    EXPECT_EQ(host.requests(ui::UiRequest::Modal).at(0).title, "Quorvane Error");
}
