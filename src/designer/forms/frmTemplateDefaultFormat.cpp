#include "designer/forms/frmTemplateDefaultFormat.h"

#include "core/DesignerState.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "platform/ui/UiHost.h"
#include "resources/MessageIds.h"

namespace qz::designer {

namespace {

constexpr std::string_view kForm = "frmTemplateDefaultFormat";
constexpr std::int32_t kHelpContext = 1020;
// What a kind that follows the system shows: no maximum length, Short Date,
// no blank protection.
constexpr QzFormatString kSystemString{-1, false, false};
constexpr QzFormatDateTime kSystemDateTime{2, false, false};

} // namespace

frmTemplateDefaultFormat::frmTemplateDefaultFormat() : ui::Form("frmTemplateDefaultFormat", "Qz Template Default Format") {
    control(tabstripFormat, "tabstripFormat").TabCaptions = {"Date", "String", "Number", "Currency", "Percent"};
    constexpr const char* kOverride = "Override System Default Format";

    editors::FormatPanel::DateTimeFrame& dates = Format.DateTime;
    control(dates.fra, "fraDate");
    control(dates.chkOverride, "chkOverrideDateTimeSystemFormat").Caption = kOverride;
    for (int i = 1; i <= kQzNamedDateFormats; ++i) control(dates.optDateTime[i], "optDateTime" + std::to_string(i));
    control(lblUseBlank, "lblUseBlank").Caption = "Use Blank Protect:";
    control(dates.chkBlankProtect, "chkDateTimeBlankProtect");

    editors::FormatPanel::StringFrame& strings = Format.String;
    control(strings.fra, "fraString");
    control(strings.chkOverride, "chkOverrideStringSystemFormat").Caption = kOverride;
    control(strings.lblMaxLength, "lblMaxLength");
    control(strings.txtMaxLength, "txtMaxLength");
    control(strings.chkBlankProtect, "chkStringBlankProtect");

    const char* frames[3] = {"fraNumber", "fraCurrency", "fraPercent"};
    for (int k = 0; k < 3; ++k) {
        editors::FormatPanel::NumberFrame& numbers = Format.Number(k);
        const std::string n = std::to_string(k);
        control(numbers.fra, frames[k]);
        control(numbers.chkOverride, "chkOverrideNumberSystemFormat" + n).Caption = kOverride;
        control(numbers.lblNumberOfDigits, "lblNumberOfDigits" + n);
        control(numbers.cboNumberOfDigits, "cboNumberOfDigits" + n);
        control(numbers.lblIncludeLeading, "lblIncludeLeadingDigit" + n);
        control(numbers.cboIncludeLeading, "cboLeadingDigit" + n);
        control(numbers.lblUseParens, "lblUseParensForNeg" + n);
        control(numbers.cboUseParens, "cboUseParensForNeg" + n);
        control(numbers.lblGroupDigits, "lblGroupDigit" + n);
        control(numbers.cboGroupDigits, "cboGroupDigits" + n);
        control(numbers.chkBlankProtect, "chkNumberBlankProtect" + n);
        numbers.cboNumberOfDigits.GotFocus = [this, k] { SelectTab(2 + k); };
        numbers.cboNumberOfDigits.Validate = [this, k](bool& cancel) { cboNumberOfDigits_Validate(k, cancel); };
    }
    strings.txtMaxLength.GotFocus = [this] { SelectTab(1); };
    strings.txtMaxLength.Validate = [this](bool& cancel) { txtMaxLength_Validate(cancel); };
    tabstripFormat.GotFocus = [this] { ToggleFormatFrame(); };

    control(cmdOk, "cmdOk").Caption = "&OK";
    cmdOk.Default = true;
    control(cmdCancel, "cmdCancel").Caption = "Cancel";
    cmdCancel.Cancel = true;
    control(cmdHelp, "cmdHelp").Caption = "&Help";
}

ui::Frame& frmTemplateDefaultFormat::FrameOfTab(int tab) {
    switch (tab) {
    case 1: return Format.String.fra;
    case 2:
    case 3:
    case 4: return Format.Number(tab - 2).fra;
    default: return Format.DateTime.fra;
    }
}

QzFormatNumber& frmTemplateDefaultFormat::NumberObject(int kind) {
    std::shared_ptr<QzFormatNumber>& p = kind == 0 ? QzNumberFormat : kind == 1 ? QzCurrencyFormat : QzPercentFormat;
    if (!p) p = std::make_shared<QzFormatNumber>();
    return *p;
}

void frmTemplateDefaultFormat::Form_Load() {
    // A failure is shown; the dialog still opens with what was initialised.
    Handled(kForm, "Form_Load", kErrLog | kErrShow, [&] {
        tabstripFormat.SelectedTab = 0;
        Caption = QzPropertiesReadOnly ? "Qz Template Default Format (Read-Only)" : "Qz Template Default Format";
        for (int k = 0; k < 3; ++k) Format.Number(k).Fill();
        if (!QzStringFormat) QzStringFormat = std::make_shared<QzFormatString>();
        Format.String.Set(*QzStringFormat);
        Format.String.Toggle(kSystemString);
        if (!QzDateTimeFormat) QzDateTimeFormat = std::make_shared<QzFormatDateTime>();
        // A stored number outside 1 to 4 shows no option chosen.
        Format.DateTime.Set(*QzDateTimeFormat);
        ToggleDateTimeFormatProperties();
        for (int k = 0; k < 3; ++k) {
            Format.Number(k).Set(NumberObject(k));
            ToggleNumberFormatProperties(k);
        }
        ToggleFormatFrame();
    });
}

void frmTemplateDefaultFormat::ToggleDateTimeFormatProperties() {
    Format.DateTime.Toggle(kSystemDateTime);
    lblUseBlank.Enabled = Format.DateTime.chkOverride.Value == 1;
}

void frmTemplateDefaultFormat::ToggleNumberFormatProperties(int kind) {
    // Off: the boxes show what the user's regional settings give.
    auto system = [kind](std::int32_t item) { return kind == 1 ? GetSystemCurFormat(item) : GetSystemNbrFormat(item); };
    QzFormatNumber regional;
    regional.lNumberOfDigits = system(0);
    regional.lLeadingDigit = system(1);
    regional.lParenthesisNegative = system(2);
    regional.lGroupDigits = system(3);
    Format.Number(kind).Toggle(regional);
}

void frmTemplateDefaultFormat::ToggleFormatFrame() {
    int selected = tabstripFormat.SelectedTab;
    if (selected < 0 || selected > 4) selected = 0;
    // Only the selected tab's controls can take the focus (or be seen).
    for (int t = 0; t < 5; ++t) {
        FrameOfTab(t).Enabled = t == selected;
        FrameOfTab(t).Visible = t == selected;
    }
}

void frmTemplateDefaultFormat::SelectTab(int tab) {
    tabstripFormat.SelectedTab = tab;
    ToggleFormatFrame();
}

void frmTemplateDefaultFormat::tabstripFormat_Click() {
    Handled(kForm, "tabstripFormat_Click", kErrLog | kErrShow, [&] {
        ToggleFormatFrame();
    });
}

void frmTemplateDefaultFormat::chkOverrideStringSystemFormat_Click() { Format.String.Toggle(kSystemString); }
void frmTemplateDefaultFormat::chkOverrideDateTimeSystemFormat_Click() { ToggleDateTimeFormatProperties(); }
void frmTemplateDefaultFormat::chkOverrideNumberSystemFormat_Click(int kind) { ToggleNumberFormatProperties(kind); }
void frmTemplateDefaultFormat::optDateTime_Click(int index) { Format.DateTime.Choose(index); }

void frmTemplateDefaultFormat::RefuseValue(ui::Control& box) {
    ui::currentHost().msgBox(GetResourceString(msg::InvalidNumericValue), ui::vbOKOnly | ui::vbInformation, "");
    if (auto* t = dynamic_cast<ui::TextBox*>(&box)) {
        t->SelStart = 0;
        t->SelLength = static_cast<int>(t->Text.size());
    }
}

void frmTemplateDefaultFormat::txtMaxLength_Validate(bool& cancel) {
    Handled(kForm, "txtMaxLength_Validate", kErrLog | kErrShow, [&] {
        if (Format.String.txtMaxLength.Enabled && !Format.String.MaxLength()) {
            RefuseValue(Format.String.txtMaxLength);
            cancel = true;
        }
    });
}

void frmTemplateDefaultFormat::cboNumberOfDigits_Validate(int kind, bool& cancel) {
    Handled(kForm, "cboNumberOfDigits_Validate", kErrLog | kErrShow, [&] {
        ui::ComboBox& digits = Format.Number(kind).cboNumberOfDigits;
        if (digits.Enabled && !Format.Number(kind).Digits()) {
            RefuseValue(digits);
            cancel = true;
        }
    });
}

void frmTemplateDefaultFormat::cmdOk_Click() {
    Handled(kForm, "cmdOk_Click", kErrLog | kErrShow, [&] {
        // Every value is checked before any object changes, so the caller
        // never gets a half-stored set.
        editors::FormatPanel::StringFrame& strings = Format.String;
        if (strings.chkOverride.Value == 1 && !strings.MaxLength()) {
            SelectTab(1);
            SetFocusTo(strings.txtMaxLength);
            RefuseValue(strings.txtMaxLength);
            return;
        }
        for (int k = 0; k < 3; ++k) {
            editors::FormatPanel::NumberFrame& numbers = Format.Number(k);
            if (numbers.chkOverride.Value == 1 && !numbers.Digits()) {
                SelectTab(2 + k);
                SetFocusTo(numbers.cboNumberOfDigits);
                RefuseValue(numbers.cboNumberOfDigits);
                return;
            }
        }

        // A kind that follows the system keeps its other options as stored.
        if (!QzStringFormat) QzStringFormat = std::make_shared<QzFormatString>();
        QzFormatString& s = *QzStringFormat;
        if (strings.chkOverride.Value == 1) s = strings.Read(s);
        else s.bOverrideDefaultProperties = false;
        if (!QzDateTimeFormat) QzDateTimeFormat = std::make_shared<QzFormatDateTime>();
        QzFormatDateTime& d = *QzDateTimeFormat;
        if (Format.DateTime.chkOverride.Value == 1) {
            d.lFormatNumber = 0;  // no option chosen
            d = Format.DateTime.Read(d);
        } else {
            d.bOverrideDefaultProperties = false;
        }
        for (int k = 0; k < 3; ++k) {
            QzFormatNumber& n = NumberObject(k);
            // A list without a choice keeps the stored value.
            if (Format.Number(k).chkOverride.Value == 1) n = Format.Number(k).Read(n);
            else n.bOverrideDefaultProperties = false;
        }
        Hide();
    });
}

void frmTemplateDefaultFormat::cmdHelp_Click() {
    Handled(kForm, "cmdHelp_Click", kErrLog | kErrShow, [&] {
        if (goDesigner) goDesigner->GetHelpCenter().OpenHelpCenter(0, kHelpContext);
    });
}

} // namespace qz::designer
