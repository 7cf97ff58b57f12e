#include "designer/forms/frmTemplateDefaultFormat.h"

#include "core/DesignerState.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "core/ModGlobalControls.h"
#include "platform/automation/Text.h"
#include "platform/ui/UiHost.h"
#include "resources/MessageIds.h"

#include <limits>
#include <optional>

namespace qz::designer {

namespace {

constexpr std::string_view kForm = "frmTemplateDefaultFormat";
constexpr std::int32_t kHelpContext = 1020;

// A whole number written in decimal, blanks around it allowed, within
// [low, high]; nothing for any other text.
std::optional<std::int32_t> WholeNumber(std::string_view text, std::int64_t low, std::int64_t high) {
    const std::string_view t = trimSpaces(text);
    std::size_t i = !t.empty() && (t[0] == '-' || t[0] == '+') ? 1 : 0;
    if (i == t.size() || t.size() > 12) return std::nullopt;
    std::int64_t n = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return std::nullopt;
        n = n * 10 + (t[i] - '0');
    }
    if (t[0] == '-') n = -n;
    if (n < low || n > high) return std::nullopt;
    return static_cast<std::int32_t>(n);
}

std::optional<std::int32_t> MaxLengthOf(const ui::TextBox& box) {
    if (onlySpaces(box.Text)) return -1;
    return WholeNumber(box.Text, -1, std::numeric_limits<std::int32_t>::max());
}

// The entry the user chose, or nothing when the text was typed.
bool HasChosenEntry(const ui::ComboBox& c) { return c.ListIndex >= 0 && c.List(c.ListIndex) == c.Text; }

// A number of digits: a chosen entry, or a typed -1 (the regional count) to 99.
std::optional<std::int32_t> DigitsOf(const ui::ComboBox& c) {
    if (HasChosenEntry(c)) return c.ItemData(c.ListIndex);
    return WholeNumber(c.Text, -1, 99);
}

void Place(ui::Control& c, std::string name, int left, int top, int width, int height) {
    c.Name = std::move(name);
    c.Left = left;
    c.Top = top;
    c.Width = width;
    c.Height = height;
}

} // namespace

frmTemplateDefaultFormat::frmTemplateDefaultFormat() : ui::Form("frmTemplateDefaultFormat", "Qz Template Default Format") {
    Width = 5400;
    Height = 4500;
    Place(tabstripFormat, "tabstripFormat", 120, 120, 5160, 3240);
    tabstripFormat.TabCaptions = {"Date", "String", "Number", "Currency", "Percent"};
    ui::Frame* frames[5] = {&fraDate, &fraString, &fraNumber, &fraCurrency, &fraPercent};
    const char* frameNames[5] = {"fraDate", "fraString", "fraNumber", "fraCurrency", "fraPercent"};
    for (int i = 0; i < 5; ++i) Place(*frames[i], frameNames[i], 240, 480, 4920, 2760);

    auto check = [](ui::CheckBox& c, std::string name, const char* caption, int top) {
        Place(c, std::move(name), 360, top, 3000, 255);
        c.Caption = caption;
    };
    check(chkOverrideDateTimeSystemFormat, "chkOverrideDateTimeSystemFormat", "Override System Default Format", 600);
    const char* dateCaptions[5] = {"", "Long Date", "Short Date", "Long Time", "Short Time"};
    for (int i = 1; i <= 4; ++i) {
        Place(optDateTime[i], "optDateTime" + std::to_string(i), 600, 600 + 330 * i, 2400, 255);
        optDateTime[i].Caption = dateCaptions[i];
    }
    optDateTime[0].Visible = false;
    Place(lblUseBlank, "lblUseBlank", 600, 2340, 1800, 255);
    lblUseBlank.Caption = "Use Blank Protect:";
    check(chkDateTimeBlankProtect, "chkDateTimeBlankProtect", "Use Blank Protect", 2340);
    chkDateTimeBlankProtect.Left = 2400;

    check(chkOverrideStringSystemFormat, "chkOverrideStringSystemFormat", "Override System Default Format", 600);
    Place(lblMaxLength, "lblMaxLength", 600, 1020, 1500, 255);
    lblMaxLength.Caption = "Max Length:";
    Place(txtMaxLength, "txtMaxLength", 2400, 960, 1200, 315);
    check(chkStringBlankProtect, "chkStringBlankProtect", "Use Blank Protect", 1440);
    chkStringBlankProtect.Left = 600;

    for (int k = 0; k < 3; ++k) {
        const std::string n = std::to_string(k);
        check(chkOverrideNumberSystemFormat[k], "chkOverrideNumberSystemFormat" + n, "Override System Default Format", 600);
        ui::Label* labels[4] = {&lblNumberOfDigits[k], &lblIncludeLeadingDigit[k], &lblUseParensForNeg[k], &lblGroupDigit[k]};
        ui::ComboBox* boxes[4] = {&cboNumberOfDigits[k], &cboLeadingDigit[k], &cboUseParensForNeg[k], &cboGroupDigits[k]};
        const char* labelNames[4] = {"lblNumberOfDigits", "lblIncludeLeadingDigit", "lblUseParensForNeg", "lblGroupDigit"};
        const char* boxNames[4] = {"cboNumberOfDigits", "cboLeadingDigit", "cboUseParensForNeg", "cboGroupDigits"};
        const char* captions[4] = {"Number of Digits:", "Include Leading Digit:", "Use Parentheses for Negative:",
                                   "Group Digits:"};
        for (int i = 0; i < 4; ++i) {
            Place(*labels[i], labelNames[i] + n, 600, 1020 + 390 * i, 2600, 255);
            labels[i]->Caption = captions[i];
            Place(*boxes[i], boxNames[i] + n, 3300, 960 + 390 * i, 1200, 315);
            boxes[i]->Style = i == 0 ? 0 : 2;
        }
        check(chkNumberBlankProtect[k], "chkNumberBlankProtect" + n, "Use Blank Protect", 2580);
        chkNumberBlankProtect[k].Left = 600;
        cboNumberOfDigits[k].GotFocus = [this, k] { SelectTab(2 + k); };
        cboNumberOfDigits[k].Validate = [this, k](bool& cancel) { cboNumberOfDigits_Validate(k, cancel); };
    }
    txtMaxLength.GotFocus = [this] { SelectTab(1); };
    txtMaxLength.Validate = [this](bool& cancel) { txtMaxLength_Validate(cancel); };
    tabstripFormat.GotFocus = [this] { ToggleFormatFrame(); };

    Place(cmdOk, "cmdOk", 1320, 3540, 1215, 375);
    cmdOk.Caption = "&OK";
    cmdOk.Default = true;
    Place(cmdCancel, "cmdCancel", 2640, 3540, 1215, 375);
    cmdCancel.Caption = "Cancel";
    cmdCancel.Cancel = true;
    Place(cmdHelp, "cmdHelp", 3960, 3540, 1215, 375);
    cmdHelp.Caption = "&Help";
}

std::vector<ui::Control*> frmTemplateDefaultFormat::Controls() {
    std::vector<ui::Control*> all = {&tabstripFormat, &fraDate, &chkOverrideDateTimeSystemFormat};
    for (int i = 1; i <= 4; ++i) all.push_back(&optDateTime[i]);
    for (ui::Control* c : std::initializer_list<ui::Control*>{&lblUseBlank, &chkDateTimeBlankProtect, &fraString,
                                                                &chkOverrideStringSystemFormat, &lblMaxLength,
                                                                &txtMaxLength, &chkStringBlankProtect})
        all.push_back(c);
    ui::Frame* frames[3] = {&fraNumber, &fraCurrency, &fraPercent};
    for (int k = 0; k < 3; ++k)
        for (ui::Control* c : std::initializer_list<ui::Control*>{
                 frames[k], &chkOverrideNumberSystemFormat[k], &lblNumberOfDigits[k], &cboNumberOfDigits[k],
                 &lblIncludeLeadingDigit[k], &cboLeadingDigit[k], &lblUseParensForNeg[k], &cboUseParensForNeg[k],
                 &lblGroupDigit[k], &cboGroupDigits[k], &chkNumberBlankProtect[k]})
            all.push_back(c);
    for (ui::Control* c : std::initializer_list<ui::Control*>{&cmdOk, &cmdCancel, &cmdHelp}) all.push_back(c);
    return all;
}

ui::Frame& frmTemplateDefaultFormat::FrameOfTab(int tab) {
    switch (tab) {
    case 1: return fraString;
    case 2: return fraNumber;
    case 3: return fraCurrency;
    case 4: return fraPercent;
    default: return fraDate;
    }
}

QzFormatNumber& frmTemplateDefaultFormat::NumberObject(int kind) {
    std::shared_ptr<QzFormatNumber>& p = kind == 0 ? QzNumberFormat : kind == 1 ? QzCurrencyFormat : QzPercentFormat;
    if (!p) p = std::make_shared<QzFormatNumber>();
    return *p;
}

void frmTemplateDefaultFormat::Form_Load() {
    try {
        tabstripFormat.SelectedTab = 0;
        Caption = QzPropertiesReadOnly ? "Qz Template Default Format (Read-Only)" : "Qz Template Default Format";
        for (int k = 0; k < 3; ++k) {
            FillNumberOfDigitsCombo(cboNumberOfDigits[k]);
            FillNumberCombo(cboGroupDigits[k]);
            FillNumberCombo(cboLeadingDigit[k]);
            FillNumberCombo(cboUseParensForNeg[k]);
        }
        InitStringProperties();
        InitDateTimeProperties();
        for (int k = 0; k < 3; ++k) InitNumberProperties(k);
        ToggleFormatFrame();
    } catch (...) {
        // The dialog still opens with what was initialised.
        HandleError(kForm, "Form_Load", kErrLog | kErrShow);
    }
}

void frmTemplateDefaultFormat::InitStringProperties() {
    if (!QzStringFormat) QzStringFormat = std::make_shared<QzFormatString>();
    const QzFormatString& f = *QzStringFormat;
    chkOverrideStringSystemFormat.Value = f.bOverrideDefaultProperties ? 1 : 0;
    if (f.bOverrideDefaultProperties) {
        txtMaxLength.Text = f.lMaxLength == -1 ? std::string() : std::to_string(f.lMaxLength);
        chkStringBlankProtect.Value = f.bUseBlankProtect ? 1 : 0;
    }
    ToggleStringFormatProperties();
}

void frmTemplateDefaultFormat::InitDateTimeProperties() {
    if (!QzDateTimeFormat) QzDateTimeFormat = std::make_shared<QzFormatDateTime>();
    const QzFormatDateTime& f = *QzDateTimeFormat;
    chkOverrideDateTimeSystemFormat.Value = f.bOverrideDefaultProperties ? 1 : 0;
    if (f.bOverrideDefaultProperties) {
        // A stored number outside 1 to 4 shows no option chosen.
        for (int i = 1; i <= 4; ++i) optDateTime[i].Value = i == f.lFormatNumber;
        chkDateTimeBlankProtect.Value = f.bUseBlankProtect ? 1 : 0;
    }
    ToggleDateTimeFormatProperties();
}

void frmTemplateDefaultFormat::InitNumberProperties(int kind) {
    const QzFormatNumber& f = NumberObject(kind);
    chkOverrideNumberSystemFormat[kind].Value = f.bOverrideDefaultProperties ? 1 : 0;
    if (f.bOverrideDefaultProperties) {
        SelectNumberOption(cboNumberOfDigits[kind], f.lNumberOfDigits);
        SelectNumberOption(cboLeadingDigit[kind], f.lLeadingDigit);
        SelectNumberOption(cboGroupDigits[kind], f.lGroupDigits);
        SelectNumberOption(cboUseParensForNeg[kind], f.lParenthesisNegative);
        chkNumberBlankProtect[kind].Value = f.bUseBlankProtect ? 1 : 0;
    }
    ToggleNumberFormatProperties(kind);
}

void frmTemplateDefaultFormat::ToggleStringFormatProperties() {
    const bool on = chkOverrideStringSystemFormat.Value == 1;
    txtMaxLength.Enabled = on;
    chkStringBlankProtect.Enabled = on;
    lblMaxLength.Enabled = on;
    if (!on) {
        txtMaxLength.Text.clear();
        chkStringBlankProtect.Value = 0;
    }
}

void frmTemplateDefaultFormat::ToggleDateTimeFormatProperties() {
    const bool on = chkOverrideDateTimeSystemFormat.Value == 1;
    for (int i = 1; i <= 4; ++i) optDateTime[i].Enabled = on;
    chkDateTimeBlankProtect.Enabled = on;
    lblUseBlank.Enabled = on;
    if (!on) {
        for (int i = 1; i <= 4; ++i) optDateTime[i].Value = i == 2;
        chkDateTimeBlankProtect.Value = 0;
    }
}

void frmTemplateDefaultFormat::ToggleNumberFormatProperties(int kind) {
    const bool on = chkOverrideNumberSystemFormat[kind].Value == 1;
    for (ui::Control* c : std::initializer_list<ui::Control*>{
             &cboNumberOfDigits[kind], &cboLeadingDigit[kind], &cboUseParensForNeg[kind], &cboGroupDigits[kind],
             &chkNumberBlankProtect[kind], &lblNumberOfDigits[kind], &lblIncludeLeadingDigit[kind],
             &lblUseParensForNeg[kind], &lblGroupDigit[kind]})
        c->Enabled = on;
    if (on) return;
    // Off: the boxes show what the user's regional settings give.
    auto system = [kind](std::int32_t item) { return kind == 1 ? GetSystemCurFormat(item) : GetSystemNbrFormat(item); };
    cboNumberOfDigits[kind].Text = std::to_string(system(0));
    SelectNumberOption(cboNumberOfDigits[kind], system(0));
    SelectNumberOption(cboLeadingDigit[kind], system(1));
    SelectNumberOption(cboUseParensForNeg[kind], system(2));
    SelectNumberOption(cboGroupDigits[kind], system(3));
    chkNumberBlankProtect[kind].Value = 0;
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
    try {
        ToggleFormatFrame();
    } catch (...) {
        HandleError(kForm, "tabstripFormat_Click", kErrLog | kErrShow);
    }
}

void frmTemplateDefaultFormat::chkOverrideStringSystemFormat_Click() { ToggleStringFormatProperties(); }
void frmTemplateDefaultFormat::chkOverrideDateTimeSystemFormat_Click() { ToggleDateTimeFormatProperties(); }
void frmTemplateDefaultFormat::chkOverrideNumberSystemFormat_Click(int kind) { ToggleNumberFormatProperties(kind); }

void frmTemplateDefaultFormat::optDateTime_Click(int index) {
    for (int i = 1; i <= 4; ++i) optDateTime[i].Value = i == index;
}

void frmTemplateDefaultFormat::RefuseValue(ui::Control& box) {
    ui::currentHost().msgBox(GetResourceString(msg::InvalidNumericValue), ui::vbOKOnly | ui::vbInformation, "");
    if (auto* t = dynamic_cast<ui::TextBox*>(&box)) {
        t->SelStart = 0;
        t->SelLength = static_cast<int>(t->Text.size());
    }
}

void frmTemplateDefaultFormat::txtMaxLength_Validate(bool& cancel) {
    try {
        if (txtMaxLength.Enabled && !MaxLengthOf(txtMaxLength)) {
            RefuseValue(txtMaxLength);
            cancel = true;
        }
    } catch (...) {
        HandleError(kForm, "txtMaxLength_Validate", kErrLog | kErrShow);
    }
}

void frmTemplateDefaultFormat::cboNumberOfDigits_Validate(int kind, bool& cancel) {
    try {
        if (cboNumberOfDigits[kind].Enabled && !DigitsOf(cboNumberOfDigits[kind])) {
            RefuseValue(cboNumberOfDigits[kind]);
            cancel = true;
        }
    } catch (...) {
        HandleError(kForm, "cboNumberOfDigits_Validate", kErrLog | kErrShow);
    }
}

void frmTemplateDefaultFormat::cmdOk_Click() {
    try {
        // Every value is checked before any object changes, so the caller
        // never gets a half-stored set.
        if (chkOverrideStringSystemFormat.Value == 1 && !MaxLengthOf(txtMaxLength)) {
            SelectTab(1);
            SetFocusTo(txtMaxLength);
            RefuseValue(txtMaxLength);
            return;
        }
        for (int k = 0; k < 3; ++k)
            if (chkOverrideNumberSystemFormat[k].Value == 1 && !DigitsOf(cboNumberOfDigits[k])) {
                SelectTab(2 + k);
                SetFocusTo(cboNumberOfDigits[k]);
                RefuseValue(cboNumberOfDigits[k]);
                return;
            }

        if (!QzStringFormat) QzStringFormat = std::make_shared<QzFormatString>();
        QzFormatString& s = *QzStringFormat;
        s.bOverrideDefaultProperties = chkOverrideStringSystemFormat.Value == 1;
        if (s.bOverrideDefaultProperties) {
            s.lMaxLength = *MaxLengthOf(txtMaxLength);
            s.bUseBlankProtect = chkStringBlankProtect.Value == 1;
        }
        if (!QzDateTimeFormat) QzDateTimeFormat = std::make_shared<QzFormatDateTime>();
        QzFormatDateTime& d = *QzDateTimeFormat;
        d.bOverrideDefaultProperties = chkOverrideDateTimeSystemFormat.Value == 1;
        if (d.bOverrideDefaultProperties) {
            d.lFormatNumber = 0;
            for (int i = 4; i >= 1; --i)
                if (optDateTime[i].Value) d.lFormatNumber = i;
            d.bUseBlankProtect = chkDateTimeBlankProtect.Value == 1;
        }
        for (int k = 0; k < 3; ++k) {
            QzFormatNumber& n = NumberObject(k);
            n.bOverrideDefaultProperties = chkOverrideNumberSystemFormat[k].Value == 1;
            if (!n.bOverrideDefaultProperties) continue;
            // A list without a choice keeps the stored value.
            auto chosen = [](const ui::ComboBox& c, std::int32_t stored) {
                return c.ListIndex >= 0 ? c.ItemData(c.ListIndex) : stored;
            };
            n.lGroupDigits = chosen(cboGroupDigits[k], n.lGroupDigits);
            n.lLeadingDigit = chosen(cboLeadingDigit[k], n.lLeadingDigit);
            n.lParenthesisNegative = chosen(cboUseParensForNeg[k], n.lParenthesisNegative);
            n.lNumberOfDigits = *DigitsOf(cboNumberOfDigits[k]);
            n.bUseBlankProtect = chkNumberBlankProtect[k].Value == 1;
        }
        Hide();
    } catch (...) {
        HandleError(kForm, "cmdOk_Click", kErrLog | kErrShow);
    }
}

void frmTemplateDefaultFormat::cmdHelp_Click() {
    try {
        if (goDesigner) goDesigner->GetHelpCenter().OpenHelpCenter(0, kHelpContext);
    } catch (...) {
        HandleError(kForm, "cmdHelp_Click", kErrLog | kErrShow);
    }
}

} // namespace qz::designer
