// The template-properties and default-format dialogs driven as an author
// drives them: what they show, what they accept and refuse, and what the
// caller gets back.
#include "core/CoreFixture.h"
#include "core/ModGlobalControls.h"
#include "designer/forms/frmQzProperties.h"
#include "designer/forms/frmTemplateDefaultFormat.h"

#include <filesystem>

using namespace qz;
using namespace qz::designer;

namespace {

constexpr int kDelete = 46;

class TemplateDialogs : public test::CoreFixture {
protected:
    void SetUp() override {
        CoreFixture::SetUp();
        dir = home.root() + "/docs";
        std::filesystem::create_directories(dir);
    }
    // Shows the dialog modally with the author's actions.
    void Drive(ui::Form& form, std::function<void()> act) {
        host.queueFormAction([act](ui::Form&) { act(); });
        form.ShowModal();
    }
    void Fill(frmQzProperties& d, const std::string& name = "Report.rtf") {
        d.QzTemplatePath = dir;
        d.QzTemplateFileName = name;
        d.QzcFilename = "Report.qzc";
        d.InitializeControls();
    }
    std::vector<std::string> Prompts() {
        std::vector<std::string> p;
        for (const auto& r : host.requests(ui::UiRequest::MsgBox)) p.push_back(r.prompt);
        return p;
    }
    std::string dir;
};

} // namespace

TEST_F(TemplateDialogs, PropertiesShowTheirInputs) {
    frmQzProperties d;
    d.QzRevisionKeep = 11;
    Fill(d, "Report.RTF");
    EXPECT_EQ(d.cboRevision.Text, "All");
    EXPECT_EQ(d.cboLocale.Text, "<System Default>");
    EXPECT_EQ(d.lblQZTFileName.Caption, dir + "/Report.RTF");
    EXPECT_EQ(d.txtRevisionPath.Text, dir + "/ReportREV");
    EXPECT_EQ(d.Caption, "Qz Template Properties");
    d.QzRevisionKeep = 5;
    d.QzLocale = 1036;
    d.QzPropertiesReadOnly = true;
    d.InitializeControls();
    EXPECT_EQ(d.cboRevision.Text, "5");
    EXPECT_EQ(d.cboLocale.ItemData(d.cboLocale.ListIndex), 1036);
    EXPECT_EQ(d.Caption, "Qz Template Properties (Read Only)");
    EXPECT_TRUE(d.cmdSaveAs.Enabled && d.cmdOk.Enabled);  // read-only only says so
}

TEST_F(TemplateDialogs, PropertiesOkFixesTheNameAndRefusesAMissingFolder) {
    frmQzProperties d;
    Fill(d, "notes.rtf.bak");
    d.QzTemplatePath = dir + "/missing";
    Drive(d, [&] {
        d.cmdOk_Click();
        EXPECT_TRUE(d.Visible());  // stays open with the entries
        EXPECT_EQ(d.QzTemplateFileName, "notes.rtf.bak");
        d.QzTemplatePath = dir;
        d.cmdOk_Click();
    });
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(host.errorTexts[0], "Invalid path name. Please specify a valid path name.");
    EXPECT_FALSE(d.CancelUpdate());
    EXPECT_EQ(d.QzTemplateFileName, "notes.rtf");
    for (const auto& [typed, kept] : std::vector<std::pair<std::string, std::string>>{
             {"  Letter", "Letter.rtf"}, {"Memo.doc", "Memo.doc.rtf"}, {"Upper.RTF", "Upper.RTF"}}) {
        d.QzTemplateFileName = typed;
        Drive(d, [&] { d.cmdOk_Click(); });
        EXPECT_EQ(d.QzTemplateFileName, kept);
    }
    d.ShowModal();  // closed with the close box
    EXPECT_TRUE(d.CancelUpdate());
}

TEST_F(TemplateDialogs, PropertiesSaveAsRenamesAndTheListsTakeNoTyping) {
    frmQzProperties d;
    Fill(d);
    auto choose = [&](const std::string& path) {
        ui::FileDialogResult r;
        r.outcome = ui::FileDialogResult::Ok;
        r.path = path;
        host.queueFileDialog(r);
    };
    Drive(d, [&] {
        // The author picks a locale by typing, then saves under new names.
        int key = 'F';
        d.cboLocale.KeyPress(key);
        EXPECT_EQ(key, 0);
        const int chosen = d.cboLocale.ListIndex;
        ASSERT_GT(chosen, 0);
        EXPECT_EQ(d.cboLocale.Text.substr(0, 1), "F");
        choose(dir + "/Invoice");
        d.cmdSaveAs_Click();
        EXPECT_EQ(d.QzTemplateFileName, "Invoice.rtf");
        EXPECT_EQ(d.QzcFilename, "Invoice.qzc");
        EXPECT_EQ(d.cboLocale.ListIndex, chosen);  // kept across the refill
        choose(dir + "/Upper.RTF");
        d.cmdSaveAs_Click();
        EXPECT_EQ(d.QzTemplateFileName, "Upper.RTF");
        EXPECT_EQ(d.QzcFilename, "Upper.qzc");
        d.cmdSaveAs_Click();  // cancelled: nothing changes
        EXPECT_EQ(d.QzTemplateFileName, "Upper.RTF");

        int del = kDelete, typed = 'A';
        d.cboRevision.KeyDown(del, 0);
        d.cboRevision.KeyPress(typed);
        EXPECT_EQ(del + typed, 0);
        d.cboRevision.Select(d.cboRevision.ListCount() - 1);
        d.cboRevision_Click();
        d.cboLocale.ListIndex = -1;
        d.cmdOk_Click();
    });
    EXPECT_EQ(d.QzRevisionKeep, 11);
    EXPECT_EQ(d.QzLocale, -1);  // no entry chosen: the first
    const auto files = host.requests(ui::UiRequest::FileDialog);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_TRUE(files[0].file.save);
    EXPECT_EQ(files[0].file.filters[0].first, "Rich Text Format (*.rtf)");
    EXPECT_EQ(files[0].file.fileName, "Report.rtf");
}

TEST_F(TemplateDialogs, FormatsOpenFromPropertiesAndEditTheSameObjects) {
    frmQzProperties d;
    Fill(d);
    d.QzNumberFormat = std::make_shared<QzFormatNumber>();
    auto number = d.QzNumberFormat;
    host.queueFormAction([](ui::Form& f) {
        auto& formats = dynamic_cast<frmTemplateDefaultFormat&>(f);
        EXPECT_EQ(formats.Caption, "Qz Template Default Format");
        formats.Format.Number(0).chkOverride.Value = 1;
        formats.chkOverrideNumberSystemFormat_Click(0);
        formats.Format.Number(0).cboNumberOfDigits.Select(4);
        formats.cmdOk_Click();
    });
    d.cmdFormat_Click();
    EXPECT_EQ(d.QzNumberFormat, number);
    EXPECT_TRUE(number->bOverrideDefaultProperties);
    EXPECT_EQ(number->lNumberOfDigits, 4);
    ASSERT_TRUE(d.QzPercentFormat);  // made by the format dialog
    EXPECT_FALSE(d.QzPercentFormat->bOverrideDefaultProperties);
}

TEST_F(TemplateDialogs, FormatsShowTheObjectsAndTheSystemValues) {
    frmTemplateDefaultFormat f;
    f.QzStringFormat = std::make_shared<QzFormatString>(QzFormatString{-1, true, true});
    f.QzCurrencyFormat = std::make_shared<QzFormatNumber>(QzFormatNumber{12, -1, 0, -1, false, true});
    f.QzPropertiesReadOnly = true;
    Drive(f, [&] {
        EXPECT_EQ(f.Caption, "Qz Template Default Format (Read-Only)");
        EXPECT_EQ(f.tabstripFormat.SelectedTab, 0);
        EXPECT_TRUE(f.Format.DateTime.fra.Enabled);
        EXPECT_FALSE(f.Format.String.fra.Enabled);
        EXPECT_EQ(f.Format.String.txtMaxLength.Text, "");
        EXPECT_TRUE(f.Format.String.txtMaxLength.Enabled);
        EXPECT_TRUE(f.Format.DateTime.optDateTime[2].Value);  // the date follows the system: Short Date
        EXPECT_FALSE(f.Format.DateTime.optDateTime[1].Enabled);
        EXPECT_EQ(f.Format.Number(1).cboNumberOfDigits.Text, "12");  // typed, no entry
        EXPECT_EQ(f.Format.Number(1).cboNumberOfDigits.ListIndex, -1);
        EXPECT_FALSE(f.Format.Number(0).cboNumberOfDigits.Enabled);
        EXPECT_EQ(f.Format.Number(0).cboNumberOfDigits.Text, std::to_string(GetSystemNbrFormat(0)));
        const ui::ComboBox& group = f.Format.Number(2).cboGroupDigits;
        EXPECT_EQ(group.ItemData(group.ListIndex), GetSystemNbrFormat(3));
        // Focus on a tab's box selects the tab.
        EXPECT_TRUE(f.SetFocusTo(f.Format.Number(1).cboNumberOfDigits));
        EXPECT_EQ(f.tabstripFormat.SelectedTab, 3);
        EXPECT_TRUE(f.Format.Number(1).fra.Enabled);
        f.tabstripFormat.SelectedTab = 1;
        f.tabstripFormat_Click();
        EXPECT_TRUE(f.SetFocusTo(f.Format.String.txtMaxLength));
        f.Format.String.txtMaxLength.Text = "   ";
        f.cmdOk_Click();
    });
    EXPECT_EQ(f.QzStringFormat->lMaxLength, -1);
    EXPECT_EQ(f.QzCurrencyFormat->lNumberOfDigits, 12);  // stored back unchanged
    EXPECT_EQ(f.QzCurrencyFormat->lLeadingDigit, -1);
    EXPECT_TRUE(Prompts().empty());
}

TEST_F(TemplateDialogs, FormatsRefuseBadNumbersAndStoreAllOrNothing) {
    frmTemplateDefaultFormat f;
    const QzFormatString string{40, false, true};
    const QzFormatNumber currency{2, -1, -1, -1, true, true};
    f.QzStringFormat = std::make_shared<QzFormatString>(string);
    f.QzCurrencyFormat = std::make_shared<QzFormatNumber>(currency);
    Drive(f, [&] {
        EXPECT_EQ(f.Format.String.txtMaxLength.Text, "40");
        f.SetFocusTo(f.Format.String.txtMaxLength);
        f.Format.String.txtMaxLength.Text = "abc";
        EXPECT_FALSE(f.SetFocusTo(f.cmdOk));  // refused: the focus stays, the text selected
        EXPECT_EQ(f.ActiveControl(), &f.Format.String.txtMaxLength);
        EXPECT_EQ(f.Format.String.txtMaxLength.SelLength, 3);
        f.Format.String.txtMaxLength.Text = "25";
        f.Format.Number(2).chkOverride.Value = 1;
        f.chkOverrideNumberSystemFormat_Click(2);
        f.Format.Number(2).cboNumberOfDigits.Text = "2.5";  // typed: no whole number
        f.cmdOk_Click();
        EXPECT_TRUE(f.Visible());
        EXPECT_EQ(f.tabstripFormat.SelectedTab, 4);
        EXPECT_EQ(f.QzStringFormat->lMaxLength, 40);  // nothing stored yet
        f.cmdCancel_Click();
    });
    EXPECT_EQ(Prompts(), std::vector<std::string>(2, "Invalid property value. Please enter a valid numeric value."));
    EXPECT_EQ(*f.QzStringFormat, string);
    EXPECT_EQ(*f.QzCurrencyFormat, currency);
    ASSERT_TRUE(f.QzPercentFormat);
    EXPECT_FALSE(f.QzPercentFormat->bOverrideDefaultProperties);

    // Unchecking an override stores only the flag.
    f.Unload();
    Drive(f, [&] {
        f.Format.Number(1).chkOverride.Value = 0;
        f.chkOverrideNumberSystemFormat_Click(1);
        f.cmdOk_Click();
    });
    QzFormatNumber expected = currency;
    expected.bOverrideDefaultProperties = false;
    EXPECT_EQ(*f.QzCurrencyFormat, expected);
}
