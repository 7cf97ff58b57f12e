// The format panel as its two windows use it: the same options shown,
// toggled and read back, a field's numbers taken leniently and the template
// defaults' strictly.
#include "editors/forms/FormatPanel.h"

#include <gtest/gtest.h>

#include <optional>

using namespace qz;
using namespace qz::editors;

TEST(FormatPanel, EachUseReadsTheNumbersTypedItsOwnWay) {
    FormatPanel field(FormatPanelUse::Field, 1), defaults(FormatPanelUse::TemplateDefault, 1);
    using N = std::optional<std::int32_t>;
    struct Case {
        const char* text;
        N fieldNumber, defaultLength, defaultDigits;
    };
    const Case cases[] = {
        {"", -1, -1, std::nullopt},      {" 12 ", 12, 12, 12},          {"2.6", 3, std::nullopt, std::nullopt},
        {"abc", -1, std::nullopt, std::nullopt}, {"-1", -1, -1, -1}, {"100", 100, 100, std::nullopt},
        {"-2", -2, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        for (FormatPanel* p : {&field, &defaults}) {
            p->String.txtMaxLength.Text = c.text;
            p->Number(0).cboNumberOfDigits.Text = c.text;
        }
        EXPECT_EQ(field.String.MaxLength(), c.fieldNumber) << c.text;
        EXPECT_EQ(field.Number(0).Digits(), c.fieldNumber) << c.text;
        EXPECT_EQ(defaults.String.MaxLength(), c.defaultLength) << c.text;
        EXPECT_EQ(defaults.Number(0).Digits(), c.defaultDigits) << c.text;
    }
    // Beyond 32 bits: a field refuses with a message, the defaults' box refuses the text.
    field.String.txtMaxLength.Text = defaults.String.txtMaxLength.Text = "99999999999";
    EXPECT_ANY_THROW(field.String.MaxLength());
    EXPECT_EQ(defaults.String.MaxLength(), std::nullopt);
}

TEST(FormatPanel, OverrideShowsTheFallbackGreyedOrKeepsWhatIsShownEditable) {
    for (FormatPanelUse use : {FormatPanelUse::Field, FormatPanelUse::TemplateDefault}) {
        SCOPED_TRACE(use == FormatPanelUse::Field ? "field" : "template default");
        const bool field = use == FormatPanelUse::Field;
        FormatPanel p(use, 2);
        p.Number(0).Fill();
        p.Number(1).Fill();
        // Numbers that mean "none" show empty in a field only.
        p.String.Set({0, true, true});
        EXPECT_EQ(p.String.txtMaxLength.Text, field ? "" : "0");
        FormatPanel::NumberFrame& n = p.Number(1);
        n.Set({-1, -1, 0, 7, true, true});
        EXPECT_EQ(n.cboNumberOfDigits.Text, field ? "" : "-1");
        EXPECT_EQ(n.cboGroupDigits.ListIndex, -1);  // 7 is no entry
        // Read back onto a stored object: a list without a choice keeps its value.
        const QzFormatNumber read = n.Read({5, 5, 5, 5, false, false});
        EXPECT_EQ(read, (QzFormatNumber{-1, -1, 0, 5, true, true}));

        n.chkOverride.Value = 0;
        n.Toggle({3, 0, -1, 0, false, false});
        EXPECT_FALSE(n.cboNumberOfDigits.Enabled || n.lblUseParens.Enabled || n.chkBlankProtect.Enabled);
        EXPECT_EQ(n.cboNumberOfDigits.Text, "3");
        EXPECT_EQ(n.cboUseParens.Text, "True");
        EXPECT_EQ(n.chkBlankProtect.Value, 0);
        EXPECT_TRUE(p.Number(0).cboNumberOfDigits.Enabled);  // the other frame is its own
        n.chkOverride.Value = 1;
        n.Toggle({9, -1, -1, -1, true, false});
        EXPECT_TRUE(n.cboNumberOfDigits.Enabled && n.lblUseParens.Enabled);
        EXPECT_EQ(n.cboNumberOfDigits.Text, "3");

        // One date option at a time; with none chosen the number stays the stored one.
        p.DateTime.Choose(3);
        p.DateTime.Choose(1);
        EXPECT_TRUE(p.DateTime.optDateTime[1].Value && !p.DateTime.optDateTime[3].Value);
        p.DateTime.Choose(9);
        EXPECT_EQ(p.DateTime.Read({4, false, false}).lFormatNumber, 4);
        p.Clear();
        EXPECT_EQ(p.String.chkOverride.Value + n.chkOverride.Value, 0);
        EXPECT_EQ(n.cboNumberOfDigits.Text, "");
    }
}
