#include "core/CoreFixture.h"
#include "core/forms/FormTranslator.h"
#include "core/RegConfig.h"
#include "platform/system/Settings.h"
#include "platform/ui/Controls.h"

using namespace qz;
using qz::test::CoreFixture;
using qz::test::numberOf;

namespace {

class SampleForm : public ui::Form {
public:
    SampleForm() : ui::Form("frmSample", "Sample") {
        control(lbl, "lbl").Caption = "label";
        control(cmd, "cmd").Caption = "button";
        control(txt, "txt").Text = "text";
        control(tabs, "tabs").TabCaptions = {"4001 first", "4002 second"};
    }
    ui::Label lbl;
    ui::CommandButton cmd;
    ui::TextBox txt;
    ui::TabStrip tabs;
};

} // namespace

TEST_F(CoreFixture, VendorKeyPath) {
    RegConfig rc;
    EXPECT_EQ(rc.GetVendorKeyPath(""), "Software\\Pellitron Inc.\\Version 8.1");
    EXPECT_EQ(rc.GetVendorKeyPath("Designer"), "Software\\Pellitron Inc.\\Version 8.1\\Designer");
}

TEST_F(CoreFixture, GetSettingReportsMissingKeysAndValuesAndDefaultsEmptyOnes) {
    RegConfig rc;
    std::string key = rc.GetVendorKeyPath("");
    EXPECT_EQ(numberOf([&] { rc.GetSetting(HKEY_CURRENT_USER, key, "X", "d"); }), OwnErrorNumber(2002));
    ASSERT_TRUE(rc.SetRegistryValue(HKEY_CURRENT_USER, key, "Empty", ""));
    ASSERT_TRUE(rc.SetRegistryValue(HKEY_CURRENT_USER, key, "Full", "value"));
    ASSERT_TRUE(rc.SetRegistryValue(HKEY_CURRENT_USER, key, "*", "unnamed"));
    EXPECT_EQ(rc.GetSetting(HKEY_CURRENT_USER, key, "Empty", "d"), "d");
    EXPECT_EQ(rc.GetSetting(HKEY_CURRENT_USER, key, "Full", "d"), "value");
    EXPECT_EQ(rc.GetSetting(HKEY_CURRENT_USER, key, "*", "d"), "unnamed");
    EXPECT_EQ(numberOf([&] { rc.GetSetting(HKEY_CURRENT_USER, key, "Missing", "d"); }), OwnErrorNumber(2002));
    EXPECT_EQ(numberOf([&] { rc.GetSetting(0x1234, key, "Full", "d"); }), OwnErrorNumber(2002));

    EXPECT_TRUE(rc.DeleteRegistryValue(HKEY_CURRENT_USER, key, "Full"));
    EXPECT_FALSE(rc.DeleteRegistryValue(HKEY_CURRENT_USER, key, "Full"));
    EXPECT_TRUE(rc.DeleteRegistryValue(HKEY_CURRENT_USER, key, "  "));  // empties the default value
    EXPECT_EQ(rc.GetSetting(HKEY_CURRENT_USER, key, "*", "d"), "d");
    EXPECT_EQ(logLines().size(), 3u);
}

TEST_F(CoreFixture, GetDataReadsThePersonalFolderOnce) {
    RegConfig rc;
    EXPECT_EQ(numberOf([&] { rc.GetData(1); }), OwnErrorNumber(2001));
    std::string first = rc.GetData(2);
    EXPECT_EQ(first, home.root());
    ASSERT_EQ(sys::writeSetting(sys::SettingsScope::User,
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                "Personal", "/elsewhere"),
              0);
    EXPECT_EQ(rc.GetData(2), first);
    EXPECT_EQ(RegConfig().GetData(2), "/elsewhere");
}

TEST_F(CoreFixture, TranslateTakesCaptionsFromTheMessageTable) {
    SampleForm form;
    FormTranslator t;
    t.Translate(&form);  // every id 0: nothing changes
    EXPECT_EQ(form.Caption, "Sample");
    EXPECT_EQ(form.lbl.Caption, "label");
    EXPECT_EQ(form.tabs.TabCaptions[0], "4001 first");
    t.Translate(nullptr);

    form.HelpContextID = 2017;
    form.lbl.WhatsThisHelpID = 4028;
    form.cmd.WhatsThisHelpID = 4001;
    form.txt.WhatsThisHelpID = 4001;  // a text box has no caption
    form.tabs.WhatsThisHelpID = 1;
    t.Translate(&form);
    EXPECT_EQ(form.Caption, "Invalid qzc file.");
    EXPECT_EQ(form.lbl.Caption, "Invalid connection name.");
    EXPECT_EQ(form.cmd.Caption, "Invalid command name.");
    EXPECT_EQ(form.txt.Text, "text");
    EXPECT_EQ(form.tabs.TabCaptions[1], "Please insert a valid SQL Query.");

    form.tabs.TabCaptions = {"General"};
    EXPECT_EQ(numberOf([&] { t.Translate(&form); }), 5);
}
