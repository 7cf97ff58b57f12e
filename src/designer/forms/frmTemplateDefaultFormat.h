// The template's five default field formats in a tabbed dialog: Date,
// String, Number, Currency and Percent. Each either follows the user's
// system settings or overrides them. The dialog edits the caller's format
// objects in place: OK stores every tab (all or, when a value is invalid,
// none), Cancel and the close box store nothing. An object the caller did not
// give is made (override off) and handed back.
#pragma once

#include "core/QzFormat.h"
#include "editors/forms/FormatPanel.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <memory>

namespace qz::designer {

class frmTemplateDefaultFormat : public ui::Form {
public:
    frmTemplateDefaultFormat();

    std::shared_ptr<QzFormatString> QzStringFormat;
    std::shared_ptr<QzFormatDateTime> QzDateTimeFormat;
    std::shared_ptr<QzFormatNumber> QzNumberFormat;    // number kind 0
    std::shared_ptr<QzFormatNumber> QzCurrencyFormat;  // number kind 1
    std::shared_ptr<QzFormatNumber> QzPercentFormat;   // number kind 2
    bool QzPropertiesReadOnly = false;

    // Tabs 0 "Date", 1 "String", 2 "Number", 3 "Currency", 4 "Percent", one
    // frame each.
    ui::TabStrip tabstripFormat;
    // The options of the five tabs; number frame k is number kind k.
    editors::FormatPanel Format{editors::FormatPanelUse::TemplateDefault, 3};
    ui::Label lblUseBlank;  // beside the date's blank-protect box
    ui::CommandButton cmdOk, cmdCancel, cmdHelp;

    // The frame of tab k.
    ui::Frame& FrameOfTab(int tab);

    // Fills the controls from the format objects (run when the dialog loads).
    void Form_Load();
    void tabstripFormat_Click();
    void chkOverrideStringSystemFormat_Click();
    void chkOverrideDateTimeSystemFormat_Click();
    void chkOverrideNumberSystemFormat_Click(int kind);
    void optDateTime_Click(int index);
    void txtMaxLength_Validate(bool& cancel);
    void cboNumberOfDigits_Validate(int kind, bool& cancel);
    void cmdOk_Click();
    void cmdCancel_Click() { Hide(); }
    void cmdHelp_Click();

protected:
    void OnLoad() override { Form_Load(); }

private:
    QzFormatNumber& NumberObject(int kind);
    void ToggleDateTimeFormatProperties();
    void ToggleNumberFormatProperties(int kind);
    void ToggleFormatFrame();
    void SelectTab(int tab);
    // Shows message 4037 and keeps the focus in the box, its text selected.
    void RefuseValue(ui::Control& box);
};

} // namespace qz::designer
