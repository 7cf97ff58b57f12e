// The expression editor ("Qz Expression"): the label, the script expression,
// the display format and the locale of one expression field, with the
// template's data tree beside the code box, a button that links a picture,
// printing and help. Below the code box the format and locale panel chooses
// the format kind (String, Date/Time, Number, Currency, Percent, RTF) and,
// per kind, either the template's default options (shown greyed) or the
// field's own, and the locale. The caller sets the four values, calls
// Initialize, shows the dialog modally and reads the values back only when
// UpdateField is true; OK and Cancel only hide the dialog, which is reused.
#pragma once

#include "core/QzFormat.h"
#include "editors/forms/FieldEditorForm.h"
#include "editors/forms/FormatPanel.h"

#include <array>
#include <string>
#include <vector>

namespace qz::editors {

class frmExpression : public FieldEditorForm {
public:
    frmExpression();

    std::string QzExpLabel;
    std::string QzExpCode;     // line breaks as CR LF
    std::string QzExpFormat;   // kind name, ";" and the kind's options text
    std::string QzExpLocale;   // decimal locale id, "-1" for the template's

    ui::Label lblData, lblFormat, lblLocale;
    ui::TreeView tvList;
    ui::ComboBox cboFormat, cboLocale;
    ui::CommandButton cmdLinkPicture;
    // The options of the chosen kind; Number, Currency and Percent share its
    // one number frame.
    FormatPanel Format{FormatPanelUse::Field, 1};

    void Initialize();
    // Sets the format panel from a field format text (or an older template's
    // named format).
    void InitFormat(const std::string& format);
    // The field format text of the panel; raises message 4037 for a maximum
    // length or a number of digits that is not a usable number.
    std::string SetFormatString();
    void Form_Activate() override;

    void cmdOk_Click() override;
    void cmdLinkPicture_Click();
    void tvList_NodeClick() { ShowDataNodeType(); }
    void tvList_DblClick();
    void cboFormat_Click();
    void cboLocale_Click();
    void chkOverrideStringFormat_Click();
    void chkOverrideDateTimeFormat_Click();
    void chkOverrideNumberFormat_Click();
    void optDateTime_Click(int index);

private:
    void LoadInfo();
    void EnableOk() override { ValidFieldsValues(); }
    void ValidFieldsValues();
    void SelectKind(int index);
    // The number format chosen shows no decimals: the template's other
    // number options, overridden with no digits after the point.
    void NoDecimals();
    void RetrieveQzcFormatProperties();
    void FillFormatCombobox();
    void ShowAppropriateFormatFrame();
    void ToggleFormatFrame(ui::Frame& enabled);
    void ToggleNumberFormatProperties(int kind);
    bool SetCurrentFormatInfo(const std::string& format);

    FormatPanel::NumberFrame& number() { return Format.Number(0); }

    QzFormatString defaultString_;
    QzFormatDateTime defaultDateTime_;
    std::array<QzFormatNumber, 3> defaultNumber_;  // number, currency, percent
};

// The kind of an older template's named format ("Long date", "Currency",
// "General Number", "@", ...), -1 when the name is none of them.
int GetPredefinedFormatIndex(const std::string& name);

} // namespace qz::editors
