#include "editors/forms/FormatPanel.h"

#include "core/ModErrors.h"
#include "core/ModGlobalControls.h"
#include "platform/automation/DecimalText.h"
#include "platform/automation/Text.h"
#include "resources/MessageIds.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace qz::editors {

namespace {

constexpr const char* kBlankProtect = "Use Blank Protect";

// A field's number: nothing for a text that is no number (the option then
// has no value of its own); a number that does not fit 32 bits is refused
// with message 4037.
std::optional<std::int32_t> RoundedNumber(std::string_view text) {
    double d = 0;
    if (!readDecimal(trimSpaces(text), d) || !std::isfinite(d)) return std::nullopt;
    const double r = std::nearbyint(d);
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
        RaiseError(msg::InvalidNumericValue);
    return static_cast<std::int32_t>(r);
}

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

// Shows a number of a list: its entry, or, in the digits box, its text.
void ShowInBox(ui::ComboBox& box, std::int32_t value, bool shown) {
    box.Select(-1);
    box.Text.clear();
    if (shown) SelectNumberOption(box, value);
}

std::int32_t ChoiceOr(const ui::ComboBox& c, std::int32_t otherwise) {
    return c.ListIndex >= 0 ? c.ItemData(c.ListIndex) : otherwise;
}

void Enable(std::initializer_list<ui::Control*> controls, bool on) {
    for (ui::Control* c : controls) c->Enabled = on;
}

} // namespace

// ---- string options

FormatPanel::StringFrame::StringFrame(FormatPanelUse use) : use_(use) {
    lblMaxLength.Caption = "Max Length:";
    chkBlankProtect.Caption = kBlankProtect;
}

void FormatPanel::StringFrame::Show(const QzFormatString& f) {
    const bool none = use_ == FormatPanelUse::Field ? f.lMaxLength < 1 : f.lMaxLength == -1;
    txtMaxLength.Text = none ? std::string() : std::to_string(f.lMaxLength);
    chkBlankProtect.Value = f.bUseBlankProtect ? 1 : 0;
}

void FormatPanel::StringFrame::Set(const QzFormatString& f) {
    chkOverride.Value = f.bOverrideDefaultProperties ? 1 : 0;
    if (f.bOverrideDefaultProperties) Show(f);
}

void FormatPanel::StringFrame::Toggle(const QzFormatString& fallback) {
    const bool on = chkOverride.Value == 1;
    Enable({&txtMaxLength, &chkBlankProtect, &lblMaxLength}, on);
    if (!on) Show(fallback);
}

std::optional<std::int32_t> FormatPanel::StringFrame::MaxLength() const {
    if (use_ == FormatPanelUse::Field) return RoundedNumber(txtMaxLength.Text).value_or(-1);
    if (onlySpaces(txtMaxLength.Text)) return -1;
    return WholeNumber(txtMaxLength.Text, -1, std::numeric_limits<std::int32_t>::max());
}

QzFormatString FormatPanel::StringFrame::Read(QzFormatString base) const {
    base.bOverrideDefaultProperties = chkOverride.Value == 1;
    base.lMaxLength = MaxLength().value_or(base.lMaxLength);
    base.bUseBlankProtect = chkBlankProtect.Value == 1;
    return base;
}

void FormatPanel::StringFrame::Clear() {
    chkOverride.Value = 0;
    txtMaxLength.Text.clear();
    chkBlankProtect.Value = 0;
}

// ---- date/time options

FormatPanel::DateTimeFrame::DateTimeFrame() {
    const char* captions[kQzNamedDateFormats + 1] = {"", "Long Date", "Short Date", "Long Time", "Short Time"};
    for (int i = 1; i <= kQzNamedDateFormats; ++i) optDateTime[i].Caption = captions[i];
    optDateTime[0].Visible = false;
    chkBlankProtect.Caption = kBlankProtect;
}

void FormatPanel::DateTimeFrame::Choose(std::int32_t index) {
    for (int i = 1; i <= kQzNamedDateFormats; ++i) optDateTime[i].Value = i == index;
}

void FormatPanel::DateTimeFrame::Show(const QzFormatDateTime& f) {
    Choose(f.lFormatNumber);
    chkBlankProtect.Value = f.bUseBlankProtect ? 1 : 0;
}

void FormatPanel::DateTimeFrame::Set(const QzFormatDateTime& f) {
    chkOverride.Value = f.bOverrideDefaultProperties ? 1 : 0;
    if (f.bOverrideDefaultProperties) Show(f);
}

void FormatPanel::DateTimeFrame::Toggle(const QzFormatDateTime& fallback) {
    const bool on = chkOverride.Value == 1;
    for (int i = 1; i <= kQzNamedDateFormats; ++i) optDateTime[i].Enabled = on;
    chkBlankProtect.Enabled = on;
    if (!on) Show(fallback);
}

QzFormatDateTime FormatPanel::DateTimeFrame::Read(QzFormatDateTime base) const {
    base.bOverrideDefaultProperties = chkOverride.Value == 1;
    for (int i = 1; i <= kQzNamedDateFormats; ++i)
        if (optDateTime[i].Value) {
            base.lFormatNumber = i;
            break;
        }
    base.bUseBlankProtect = chkBlankProtect.Value == 1;
    return base;
}

void FormatPanel::DateTimeFrame::Clear() {
    chkOverride.Value = 0;
    Choose(0);
    chkBlankProtect.Value = 0;
}

// ---- number options

FormatPanel::NumberFrame::NumberFrame(FormatPanelUse use) : use_(use) {
    lblNumberOfDigits.Caption = "Number of Digits:";
    lblIncludeLeading.Caption = "Include Leading Digit:";
    // The expression editor has always spelt its caption so.
    lblUseParens.Caption =
        use == FormatPanelUse::Field ? "Use Parenthesis for Negative:" : "Use Parentheses for Negative:";
    lblGroupDigits.Caption = "Group Digits:";
    for (ui::ComboBox* c : {&cboIncludeLeading, &cboUseParens, &cboGroupDigits}) c->Style = 2;
    chkBlankProtect.Caption = kBlankProtect;
}

void FormatPanel::NumberFrame::Fill() {
    FillNumberOfDigitsCombo(cboNumberOfDigits);
    FillNumberCombo(cboIncludeLeading);
    FillNumberCombo(cboUseParens);
    FillNumberCombo(cboGroupDigits);
}

void FormatPanel::NumberFrame::Show(const QzFormatNumber& f) {
    ShowInBox(cboNumberOfDigits, f.lNumberOfDigits, use_ == FormatPanelUse::TemplateDefault || f.lNumberOfDigits >= 0);
    ShowInBox(cboIncludeLeading, f.lLeadingDigit, true);
    ShowInBox(cboUseParens, f.lParenthesisNegative, true);
    ShowInBox(cboGroupDigits, f.lGroupDigits, true);
    chkBlankProtect.Value = f.bUseBlankProtect ? 1 : 0;
}

void FormatPanel::NumberFrame::Set(const QzFormatNumber& f) {
    chkOverride.Value = f.bOverrideDefaultProperties ? 1 : 0;
    if (f.bOverrideDefaultProperties) Show(f);
}

void FormatPanel::NumberFrame::Toggle(const QzFormatNumber& fallback) {
    const bool on = chkOverride.Value == 1;
    Enable({&cboNumberOfDigits, &cboIncludeLeading, &cboUseParens, &cboGroupDigits, &chkBlankProtect,
            &lblNumberOfDigits, &lblIncludeLeading, &lblUseParens, &lblGroupDigits},
           on);
    if (!on) Show(fallback);
}

std::optional<std::int32_t> FormatPanel::NumberFrame::Digits() const {
    if (use_ == FormatPanelUse::Field) return RoundedNumber(cboNumberOfDigits.Text).value_or(-1);
    // An entry chosen shows its number as its text.
    return WholeNumber(cboNumberOfDigits.Text, -1, 99);
}

QzFormatNumber FormatPanel::NumberFrame::Read(QzFormatNumber base) const {
    base.bOverrideDefaultProperties = chkOverride.Value == 1;
    base.lNumberOfDigits = Digits().value_or(base.lNumberOfDigits);
    base.lLeadingDigit = ChoiceOr(cboIncludeLeading, base.lLeadingDigit);
    base.lParenthesisNegative = ChoiceOr(cboUseParens, base.lParenthesisNegative);
    base.lGroupDigits = ChoiceOr(cboGroupDigits, base.lGroupDigits);
    base.bUseBlankProtect = chkBlankProtect.Value == 1;
    return base;
}

void FormatPanel::NumberFrame::Clear() {
    chkOverride.Value = 0;
    for (ui::ComboBox* c : {&cboNumberOfDigits, &cboIncludeLeading, &cboUseParens, &cboGroupDigits})
        ShowInBox(*c, 0, false);
    chkBlankProtect.Value = 0;
}

// ---- the panel

FormatPanel::FormatPanel(FormatPanelUse use, int numberFrames) : String(use) {
    for (int k = 0; k < numberFrames; ++k) numbers_.emplace_back(use);
}

void FormatPanel::Clear() {
    String.Clear();
    DateTime.Clear();
    for (NumberFrame& n : numbers_) n.Clear();
}

} // namespace qz::editors
