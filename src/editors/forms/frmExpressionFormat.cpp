// The expression editor's format and locale panel: the kind box, the three
// option frames with the template's defaults, and the field format text.
#include "editors/forms/frmExpression.h"

#include "config/QZCFile.h"
#include "core/ModErrors.h"
#include "editors/forms/FieldEditorBox.h"
#include "platform/automation/Text.h"
#include "resources/MessageIds.h"

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

} // namespace

int GetPredefinedFormatIndex(const std::string& name) {
    for (const PredefinedFormat& p : kPredefined)
        if (name == p.name) return p.kind;
    return -1;
}

void frmExpression::RetrieveQzcFormatProperties() {
    Handled(kForm, "RetrieveQzcFormatProperties", kErrLog | kErrRaise, [&] {
        QZCFile file;
        file.Load(TemplateQzcPath());
        QZCTemplateProperties empty;
        const QZCTemplateProperties& p = file.TemplateProperties() ? *file.TemplateProperties() : empty;
        defaultDateTime_ = RetrieveDateTimeFormat(p.DateTimeFormat);
        defaultString_ = RetrieveStringFormat(p.StringFormat);
        defaultNumber_[0] = RetrieveNumberFormat(p.NumberFormat, false);
        defaultNumber_[1] = RetrieveNumberFormat(p.CurrencyFormat, true);
        defaultNumber_[2] = RetrieveNumberFormat(p.PercentFormat, false);
    });
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

void frmExpression::NoDecimals() {
    QzFormatNumber whole = defaultNumber_[0];
    whole.bOverrideDefaultProperties = true;
    whole.lNumberOfDigits = 0;
    number().Set(whole);
    ToggleNumberFormatProperties(kQzFormatNumber);
}

void frmExpression::cboFormat_Click() {
    Handled(kForm, "cboFormat_Click", kErrLog | kErrShow, [&] {
        ShowAppropriateFormatFrame();
        ValidFieldsValues();
    });
}

void frmExpression::ShowAppropriateFormatFrame() {
    const std::string& kind = cboFormat.ListIndex >= 0 ? cboFormat.List(cboFormat.ListIndex) : std::string();
    FormatPanel::StringFrame& strings = Format.String;
    FormatPanel::DateTimeFrame& dates = Format.DateTime;
    auto show = [&](ui::Frame* frame) {
        for (ui::Frame* f : {&strings.fra, &dates.fra, &number().fra}) f->Visible = f == frame;
    };
    if (kind == "Date/Time") {
        show(&dates.fra);
        dates.Toggle(defaultDateTime_);
        ToggleFormatFrame(dates.fra);
    } else if (kind == "Number" || kind == "Currency" || kind == "Percent") {
        show(&number().fra);
        ToggleNumberFormatProperties(cboFormat.ListIndex);
        ToggleFormatFrame(number().fra);
        number().chkOverride.Caption = kind == "Number"     ? "Override Default Template &Number Format"
                                       : kind == "Currency" ? "Override Default Template C&urrency Format"
                                                            : "Override Default Template P&ercent Format";
    } else if (kind == "RTF") {
        show(nullptr);
    } else {
        show(&strings.fra);
        strings.Toggle(defaultString_);
        ToggleFormatFrame(strings.fra);
    }
}

void frmExpression::ToggleFormatFrame(ui::Frame& enabled) {
    for (ui::Frame* f : {&Format.String.fra, &Format.DateTime.fra, &number().fra}) f->Enabled = f == &enabled;
    if (!number().fra.Enabled) number().chkOverride.Value = 0;
}

void frmExpression::ToggleNumberFormatProperties(int kind) {
    Handled(kForm, "ToggleNumberFormatProperties", kErrLog | kErrRaise, [&] {
        if (kind < kQzFormatNumber || kind > kQzFormatPercent) RaiseError(msg::UnexpectedDesignerError);
        number().Toggle(defaultNumber_[kind - kQzFormatNumber]);
    });
}

void frmExpression::chkOverrideStringFormat_Click() {
    Handled(kForm, "chkOverrideStringFormat_Click", kErrLog | kErrShow, [&] {
        Format.String.Toggle(defaultString_);
    });
}

void frmExpression::chkOverrideDateTimeFormat_Click() {
    Handled(kForm, "chkOverrideDateTimeFormat_Click", kErrLog | kErrShow, [&] {
        Format.DateTime.Toggle(defaultDateTime_);
    });
}

void frmExpression::chkOverrideNumberFormat_Click() {
    Handled(kForm, "chkOverrideNumberFormat_Click", kErrLog | kErrShow, [&] {
        const int kind = cboFormat.ListIndex;
        ToggleNumberFormatProperties(kind >= kQzFormatNumber && kind <= kQzFormatPercent ? kind : kQzFormatNumber);
    });
}

void frmExpression::optDateTime_Click(int index) { Format.DateTime.Choose(index); }

std::string frmExpression::SetFormatString() {
    return Handled(kForm, "SetFormatString", kErrLog | kErrRaise, [&]() -> std::string {
        const int kind = cboFormat.ListIndex;
        if (kind < 0) return {};
        std::string details;
        switch (kind) {
        case kQzFormatString:
            details = CreateStringFormatPropertiesStr(Format.String.Read({}));
            break;
        case kQzFormatDateTime:
            details = CreateDateTimeFormatPropertiesStr(Format.DateTime.Read({}));
            break;
        case kQzFormatNumber:
        case kQzFormatCurrency:
        case kQzFormatPercent: {
            // A list without a choice leaves its option to the regional setting.
            QzFormatNumber regional;
            regional.lLeadingDigit = regional.lParenthesisNegative = regional.lGroupDigits = -2;
            details = CreateNumberFormatPropertiesStr(number().Read(regional));
            break;
        }
        default:
            break;
        }
        return std::string(FormatKindName(kind)) + ";" + details;
    });
}

bool frmExpression::SetCurrentFormatInfo(const std::string& format) {
    const std::size_t semi = format.find(';');
    if (semi == std::string::npos) return false;
    const std::string name = format.substr(0, semi), details = format.substr(semi + 1);
    int kind = -1;
    for (int k = kQzFormatString; k <= kQzFormatRtf; ++k)
        if (equalsNoCaseAscii(name, FormatKindName(k))) kind = k;
    if (kind < 0) return false;
    // A failure is shown; the kind is still chosen.
    Handled(kForm, "SetCurrentFormatInfo", kErrLog | kErrShow, [&] {
        if (kind == kQzFormatString)
            Format.String.Set(RetrieveStringFormat(details));
        else if (kind == kQzFormatDateTime)
            Format.DateTime.Set(RetrieveDateTimeFormat(details));
        else if (kind != kQzFormatRtf)
            number().Set(RetrieveNumberFormat(details, kind == kQzFormatCurrency));
    });
    SelectKind(kind);
    return true;
}

void frmExpression::InitFormat(const std::string& format) {
    Handled(kForm, "InitFormat", kErrLog | kErrShow, [&] {
        cboFormat.Select(-1);
        cboFormat.Text.clear();
        // Each field starts from clear frames: nothing of the last field's
        // options carries over into this one.
        Format.Clear();
        if (SetCurrentFormatInfo(format)) return;
        const int kind = GetPredefinedFormatIndex(format);
        SelectKind(kind < 0 ? kQzFormatString : kind);
    });
}

} // namespace qz::editors
