// The expression editor's format and locale panel: the kind box, the three
// option frames with the template's defaults, and the field format text.
#include "editors/forms/frmExpression.h"

#include "config/QZCFile.h"
#include "core/ModErrors.h"
#include "core/ModGlobalControls.h"
#include "editors/forms/FieldEditorBox.h"
#include "platform/automation/Text.h"
#include "resources/MessageIds.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

namespace qz::editors {

namespace {

constexpr std::string_view kForm = "frmExpression";

struct PredefinedFormat {
    const char* name;
    int kind;
};
// The named formats of older templates.
constexpr PredefinedFormat kPredefined[] = {
    {"Long date", kQzFormatDateTime}, {"Medium date", kQzFormatDateTime}, {"Short date", kQzFormatDateTime},
    {"Currency", kQzFormatCurrency},  {"Fixed", kQzFormatNumber},         {"General Number", kQzFormatNumber},
    {"Standard", kQzFormatNumber},    {"Percent", kQzFormatPercent},      {"@", kQzFormatString},
};

// A box's number: nothing for a text that is no number (the option then
// has no value of its own); a number that does not fit 32 bits is refused
// with message 4037.
std::optional<std::int32_t> NumberIn(std::string_view text) {
    const std::string t(trimSpaces(text));
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    const double d = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isfinite(d)) return std::nullopt;
    const double r = std::nearbyint(d);
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
        RaiseError(msg::InvalidNumericValue);
    return static_cast<std::int32_t>(r);
}

// The item value of a choice box's entry, -2 (the regional setting) when
// none is chosen.
std::int32_t Choice(const ui::ComboBox& c) { return c.ListIndex >= 0 ? c.ItemData(c.ListIndex) : -2; }

void ShowNumber(ui::ComboBox& box, std::int32_t value) {
    box.Select(-1);
    box.Text.clear();
    if (value >= 0) SelectNumberOption(box, value);
}

void ShowChoice(ui::ComboBox& box, std::int32_t value) {
    box.Select(-1);
    box.Text.clear();
    SelectNumberOption(box, value);
}

} // namespace

int GetPredefinedFormatIndex(const std::string& name) {
    for (const PredefinedFormat& p : kPredefined)
        if (name == p.name) return p.kind;
    return -1;
}

void frmExpression::RetrieveQzcFormatProperties() {
    try {
        QZCFile file;
        file.Load(TemplateQzcPath());
        QZCTemplateProperties empty;
        const QZCTemplateProperties& p = file.TemplateProperties() ? *file.TemplateProperties() : empty;
        defaultDateTime_ = RetrieveDateTimeFormat(p.DateTimeFormat);
        defaultString_ = RetrieveStringFormat(p.StringFormat);
        defaultNumber_[0] = RetrieveNumberFormat(p.NumberFormat, false);
        defaultNumber_[1] = RetrieveNumberFormat(p.CurrencyFormat, true);
        defaultNumber_[2] = RetrieveNumberFormat(p.PercentFormat, false);
    } catch (...) {
        HandleError(kForm, "RetrieveQzcFormatProperties", kErrLog | kErrRaise);
    }
}

void frmExpression::FillFormatCombobox() {
    cboFormat.Clear();
    for (int k = kQzFormatString; k <= kQzFormatRtf; ++k) cboFormat.AddItem(std::string(FormatKindName(k)), k);
}

void frmExpression::SelectKind(int index) {
    cboFormat.Select(index);
    if (index < 0) cboFormat.Text.clear();
    cboFormat_Click();
}

void frmExpression::cboFormat_Click() {
    try {
        ShowAppropriateFormatFrame();
        ValidFieldsValues();
    } catch (...) {
        HandleError(kForm, "cboFormat_Click", kErrLog | kErrShow);
    }
}

void frmExpression::ShowAppropriateFormatFrame() {
    const std::string& kind = cboFormat.ListIndex >= 0 ? cboFormat.List(cboFormat.ListIndex) : std::string();
    auto show = [this](ui::Frame* frame) {
        for (ui::Frame* f : {&fraFormatString, &fraFormatDateTime, &fraFormatNumber}) f->Visible = f == frame;
    };
    if (kind == "Date/Time") {
        show(&fraFormatDateTime);
        ToggleDateTimeFormatProperties();
        ToggleFormatFrame(fraFormatDateTime);
    } else if (kind == "Number" || kind == "Currency" || kind == "Percent") {
        show(&fraFormatNumber);
        ToggleNumberFormatProperties(cboFormat.ListIndex);
        ToggleFormatFrame(fraFormatNumber);
        chkOverrideNumberFormat.Caption = kind == "Number"     ? "Override Default Template &Number Format"
                                          : kind == "Currency" ? "Override Default Template C&urrency Format"
                                                               : "Override Default Template P&ercent Format";
    } else if (kind == "RTF") {
        show(nullptr);
    } else {
        show(&fraFormatString);
        ToggleStringFormatProperties();
        ToggleFormatFrame(fraFormatString);
    }
}

void frmExpression::ToggleFormatFrame(ui::Frame& enabled) {
    for (ui::Frame* f : {&fraFormatString, &fraFormatDateTime, &fraFormatNumber}) f->Enabled = f == &enabled;
    if (!fraFormatNumber.Enabled) chkOverrideNumberFormat.Value = 0;
}

void frmExpression::ToggleStringFormatProperties() {
    try {
        const bool on = chkOverrideStringFormat.Value == 1;
        txtStringMaxLength.Enabled = on;
        chkStringBlankProtect.Enabled = on;
        lblMaxLength.Enabled = on;
        if (on) return;
        txtStringMaxLength.Text = defaultString_.lMaxLength < 1 ? std::string() : std::to_string(defaultString_.lMaxLength);
        chkStringBlankProtect.Value = defaultString_.bUseBlankProtect ? 1 : 0;
    } catch (...) {
        HandleError(kForm, "ToggleStringFormatProperties", kErrLog | kErrRaise);
    }
}

void frmExpression::ToggleDateTimeFormatProperties() {
    try {
        const bool on = chkOverrideDateTimeFormat.Value == 1;
        for (int i = 1; i <= 4; ++i) optDateTime[i].Enabled = on;
        chkDateTimeBlankProtect.Enabled = on;
        if (on) return;
        for (int i = 1; i <= 4; ++i) optDateTime[i].Value = i == defaultDateTime_.lFormatNumber;
        chkDateTimeBlankProtect.Value = defaultDateTime_.bUseBlankProtect ? 1 : 0;
    } catch (...) {
        HandleError(kForm, "ToggleDateTimeFormatProperties", kErrLog | kErrRaise);
    }
}

void frmExpression::ToggleNumberFormatProperties(int kind) {
    try {
        if (kind < kQzFormatNumber || kind > kQzFormatPercent) RaiseError(msg::UnexpectedDesignerError);
        const bool on = chkOverrideNumberFormat.Value == 1;
        for (ui::Control* c : std::initializer_list<ui::Control*>{
                 &cboNumberOfDigits, &cboIncludeLeading, &cboUseParens, &cboGroupDigits, &chkNumberBlankProtect,
                 &lblNumberOfDigit, &lblIncludeLeading, &lblUseParens, &lblGroupDigits})
            c->Enabled = on;
        if (on) return;
        const QzFormatNumber& d = defaultNumber_[kind - kQzFormatNumber];
        ShowNumber(cboNumberOfDigits, d.lNumberOfDigits);
        ShowChoice(cboIncludeLeading, d.lLeadingDigit);
        ShowChoice(cboUseParens, d.lParenthesisNegative);
        ShowChoice(cboGroupDigits, d.lGroupDigits);
        chkNumberBlankProtect.Value = d.bUseBlankProtect ? 1 : 0;
    } catch (...) {
        HandleError(kForm, "ToggleNumberFormatProperties", kErrLog | kErrRaise);
    }
}

void frmExpression::chkOverrideStringFormat_Click() {
    try {
        ToggleStringFormatProperties();
    } catch (...) {
        HandleError(kForm, "chkOverrideStringFormat_Click", kErrLog | kErrShow);
    }
}

void frmExpression::chkOverrideDateTimeFormat_Click() {
    try {
        ToggleDateTimeFormatProperties();
    } catch (...) {
        HandleError(kForm, "chkOverrideDateTimeFormat_Click", kErrLog | kErrShow);
    }
}

void frmExpression::chkOverrideNumberFormat_Click() {
    try {
        const int kind = cboFormat.ListIndex;
        ToggleNumberFormatProperties(kind >= kQzFormatNumber && kind <= kQzFormatPercent ? kind : kQzFormatNumber);
    } catch (...) {
        HandleError(kForm, "chkOverrideNumberFormat_Click", kErrLog | kErrShow);
    }
}

void frmExpression::optDateTime_Click(int index) {
    for (int i = 1; i <= 4; ++i) optDateTime[i].Value = i == index;
}

std::string frmExpression::SetFormatString() {
    try {
        const int kind = cboFormat.ListIndex;
        if (kind < 0) return {};
        std::string details;
        switch (kind) {
        case kQzFormatString: {
            QzFormatString f;
            f.bOverrideDefaultProperties = chkOverrideStringFormat.Value == 1;
            f.lMaxLength = NumberIn(txtStringMaxLength.Text).value_or(-1);
            f.bUseBlankProtect = chkStringBlankProtect.Value == 1;
            details = CreateStringFormatPropertiesStr(f);
            break;
        }
        case kQzFormatDateTime: {
            QzFormatDateTime f;
            f.bOverrideDefaultProperties = chkOverrideDateTimeFormat.Value == 1;
            for (int i = 1; i <= 4; ++i)
                if (optDateTime[i].Value) {
                    f.lFormatNumber = i;
                    break;
                }
            f.bUseBlankProtect = chkDateTimeBlankProtect.Value == 1;
            details = CreateDateTimeFormatPropertiesStr(f);
            break;
        }
        case kQzFormatNumber:
        case kQzFormatCurrency:
        case kQzFormatPercent: {
            QzFormatNumber f;
            f.bOverrideDefaultProperties = chkOverrideNumberFormat.Value == 1;
            f.lNumberOfDigits = NumberIn(cboNumberOfDigits.Text).value_or(-1);
            f.lLeadingDigit = Choice(cboIncludeLeading);
            f.lParenthesisNegative = Choice(cboUseParens);
            f.lGroupDigits = Choice(cboGroupDigits);
            f.bUseBlankProtect = chkNumberBlankProtect.Value == 1;
            details = CreateNumberFormatPropertiesStr(f);
            break;
        }
        default:
            break;
        }
        return std::string(FormatKindName(kind)) + ";" + details;
    } catch (...) {
        HandleError(kForm, "SetFormatString", kErrLog | kErrRaise);
    }
    return {};
}

void frmExpression::ResetFormatFrames() {
    chkOverrideStringFormat.Value = 0;
    chkOverrideDateTimeFormat.Value = 0;
    chkOverrideNumberFormat.Value = 0;
    txtStringMaxLength.Text.clear();
    chkStringBlankProtect.Value = 0;
    for (int i = 1; i <= 4; ++i) optDateTime[i].Value = false;
    chkDateTimeBlankProtect.Value = 0;
    for (ui::ComboBox* c : {&cboNumberOfDigits, &cboIncludeLeading, &cboUseParens, &cboGroupDigits}) {
        c->Select(-1);
        c->Text.clear();
    }
    chkNumberBlankProtect.Value = 0;
}

bool frmExpression::SetCurrentFormatInfo(const std::string& format) {
    const std::size_t semi = format.find(';');
    if (semi == std::string::npos) return false;
    const std::string name = format.substr(0, semi), details = format.substr(semi + 1);
    int kind = -1;
    for (int k = kQzFormatString; k <= kQzFormatRtf; ++k)
        if (equalsNoCaseAscii(name, FormatKindName(k))) kind = k;
    if (kind < 0) return false;
    try {
        if (kind == kQzFormatString) {
            const QzFormatString f = RetrieveStringFormat(details);
            chkOverrideStringFormat.Value = f.bOverrideDefaultProperties ? 1 : 0;
            if (f.bOverrideDefaultProperties) {
                txtStringMaxLength.Text = f.lMaxLength < 1 ? std::string() : std::to_string(f.lMaxLength);
                chkStringBlankProtect.Value = f.bUseBlankProtect ? 1 : 0;
            }
        } else if (kind == kQzFormatDateTime) {
            const QzFormatDateTime f = RetrieveDateTimeFormat(details);
            chkOverrideDateTimeFormat.Value = f.bOverrideDefaultProperties ? 1 : 0;
            if (f.bOverrideDefaultProperties) {
                optDateTime_Click(f.lFormatNumber);
                chkDateTimeBlankProtect.Value = f.bUseBlankProtect ? 1 : 0;
            }
        } else if (kind != kQzFormatRtf) {
            const QzFormatNumber f = RetrieveNumberFormat(details, kind == kQzFormatCurrency);
            chkOverrideNumberFormat.Value = f.bOverrideDefaultProperties ? 1 : 0;
            if (f.bOverrideDefaultProperties) {
                ShowNumber(cboNumberOfDigits, f.lNumberOfDigits);
                ShowChoice(cboIncludeLeading, f.lLeadingDigit);
                ShowChoice(cboUseParens, f.lParenthesisNegative);
                ShowChoice(cboGroupDigits, f.lGroupDigits);
                chkNumberBlankProtect.Value = f.bUseBlankProtect ? 1 : 0;
            }
        }
    } catch (...) {
        // The kind is still chosen.
        HandleError(kForm, "SetCurrentFormatInfo", kErrLog | kErrShow);
    }
    SelectKind(kind);
    return true;
}

void frmExpression::InitFormat(const std::string& format) {
    try {
        cboFormat.Select(-1);
        cboFormat.Text.clear();
        // Each field starts from clear frames: nothing of the last field's
        // options carries over into this one.
        ResetFormatFrames();
        if (SetCurrentFormatInfo(format)) return;
        const int kind = GetPredefinedFormatIndex(format);
        chkOverrideStringFormat.Value = chkOverrideDateTimeFormat.Value = chkOverrideNumberFormat.Value = 0;
        SelectKind(kind < 0 ? kQzFormatString : kind);
    } catch (...) {
        HandleError(kForm, "InitFormat", kErrLog | kErrShow);
    }
}

} // namespace qz::editors
