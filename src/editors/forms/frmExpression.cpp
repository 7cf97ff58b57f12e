#include "editors/forms/frmExpression.h"

#include "core/DesignerState.h"
#include "core/ModDesigner.h"
#include "core/ModGlobal.h"
#include "core/ModErrors.h"
#include "core/ModGlobalControls.h"
#include "editors/FieldCode.h"
#include "editors/forms/FieldEditorBox.h"
#include "platform/ado/AdoTypes.h"
#include "platform/automation/Text.h"
#include "platform/ui/UiHost.h"
#include "resources/MessageIds.h"

#include <charconv>

namespace qz::editors {

namespace {

constexpr std::string_view kForm = "frmExpression";
constexpr std::int32_t kHelpContext = 1100;
constexpr const char* kDefaultLabel = "Expression";

// The code without its line breaks is blank.
bool BlankCode(const std::string& code) {
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code.compare(i, 2, "\r\n") == 0) {
            ++i;
            continue;
        }
        if (code[i] != ' ') return false;
    }
    return true;
}

} // namespace

frmExpression::frmExpression()
    : FieldEditorForm("frmExpression", "Qz Expression",
                      {kForm, kHelpContext, kDefaultLabel, false, kErrLog | kErrShow, true}) {
    control(lblData, "lblData").Caption = "&Data:";
    control(tvList, "tvList");
    control(lblLabel, "lblLabel");
    control(txtLabel, "txtLabel");
    control(lblCode, "lblCode");
    control(txtValue, "txtValue");
    control(lblFormat, "lblFormat").Caption = "&Format:";
    control(cboFormat, "cboFormat").Style = 2;
    control(lblLocale, "lblLocale").Caption = "Loc&ale:";
    control(cboLocale, "cboLocale");

    FormatPanel::StringFrame& strings = Format.String;
    control(strings.fra, "fraFormatString");
    control(strings.chkOverride, "chkOverrideStringFormat").Caption = "Override Default Template &String Format";
    control(strings.lblMaxLength, "lblMaxLength");
    control(strings.txtMaxLength, "txtStringMaxLength");
    control(strings.chkBlankProtect, "chkStringBlankProtect");
    FormatPanel::DateTimeFrame& dates = Format.DateTime;
    control(dates.fra, "fraFormatDateTime");
    control(dates.chkOverride, "chkOverrideDateTimeFormat").Caption = "Override Default Template Date/&Time Format";
    for (int i = 1; i <= kQzNamedDateFormats; ++i) control(dates.optDateTime[i], "optDateTime" + std::to_string(i));
    control(dates.chkBlankProtect, "chkDateTimeBlankProtect");
    FormatPanel::NumberFrame& numbers = Format.Number(0);
    control(numbers.fra, "fraFormatNumber");
    // The caption follows the kind chosen.
    control(numbers.chkOverride, "chkOverrideNumberFormat").Caption = "Override Default Template &Number Format";
    control(numbers.lblNumberOfDigits, "lblNumberOfDigit");
    control(numbers.cboNumberOfDigits, "cboNumberOfDigits");
    control(numbers.lblIncludeLeading, "lblIncludeLeading");
    control(numbers.cboIncludeLeading, "cboIncludeLeading");
    control(numbers.lblUseParens, "lblUseParens");
    control(numbers.cboUseParens, "cboUseParens");
    control(numbers.lblGroupDigits, "lblGroupDigits");
    control(numbers.cboGroupDigits, "cboGroupDigits");
    control(numbers.chkBlankProtect, "chkNumberBlankProtect");

    control(cmdOk, "cmdOk");
    control(cmdCancel, "cmdCancel");
    control(cmdLinkPicture, "cmdLinkPicture").Caption = "&Link Picture";
    control(cmdPrint, "cmdPrint");
    control(cmdHelp, "cmdHelp");
    control(StatusBar1, "StatusBar1");
    AttachDataTree(tvList, [this] { tvList_DblClick(); });

    txtLabel.LostFocus = [this] {
        if (!onlySpaces(txtLabel.Text)) return;
        txtLabel.SetSelText(kDefaultLabel);
        txtLabel_Change();
    };
    txtValue.LostFocus = [this] { ClearCaretStatus(StatusBar1); };
    cboLocale.KeyPress = [this](int& k) { ComboIncrementalSearch(cboLocale, k); };
    cboLocale.Validate = [this](bool&) {
        if (cboLocale.ListIndex == -1 && cboLocale.ListCount() > 0) {
            cboLocale.Select(0);
            cboLocale_Click();
        }
    };
}

void frmExpression::Initialize() {
    Handled(kForm, "Initialize", kErrLog | kErrShow, [&] {
        UpdateField = false;
        FillInstalledLocaleCombo(cboLocale, 1);
        RetrieveQzcFormatProperties();
        LoadDataTree();
        LoadInfo();
        FinishInitialize();
    });
}

void frmExpression::LoadInfo() {
    Handled(kForm, "LoadInfo", kErrLog | kErrShow, [&] {
        FillFormatCombobox();
        number().Fill();
        LoadBoxes(QzExpLabel, QzExpCode);
        std::int32_t lcid = -1;
        const std::string_view locale = trimSpaces(QzExpLocale);
        if (!locale.empty()) {
            const auto [end, ec] = std::from_chars(locale.data(), locale.data() + locale.size(), lcid);
            if (ec != std::errc() || end != locale.data() + locale.size()) lcid = -1;
        }
        SelectQzTemplateLocaleItem(cboLocale, lcid);
        if (cboLocale.ListIndex == -1) {
            // A locale this computer does not have: kept, under its number.
            cboLocale.AddItem(std::to_string(lcid), lcid);
            cboLocale.Select(cboLocale.ListCount() - 1);
        }
        InitFormat(QzExpFormat);
    });
}

void frmExpression::Form_Activate() {
    if (firstFocus_) firstFocus_ = false;
    SetFocusTo(txtLabel);
}

void frmExpression::ValidFieldsValues() {
    cmdOk.Enabled = !onlySpaces(txtLabel.Text) && !BlankCode(txtValue.Text) &&
                    (cboFormat.ListIndex != -1 || !onlySpaces(cboFormat.Text));
}

void frmExpression::cboLocale_Click() {
    Handled(kForm, "cboLocale_Click", kErrLog | kErrShow, [&] {
        ValidFieldsValues();
    });
}

void frmExpression::cmdOk_Click() {
    Handled(kForm, "cmdOk_Click", kErrLog | kErrShow, [&] {
        RequireValidLabel();
        const std::string code = crLfFromAnyBreak(txtValue.Text);
        if (onlySpaces(code)) {
            SetFocusTo(txtValue);
            RaiseError(msg::EmptyExpression);
        }
        if (CheckForValidCRLF(code) == -1) {
            SetFocusTo(txtValue);
            RaiseError(msg::InvalidLineBreak);
        }
        // Everything is worked out before any value changes.
        std::string format = SetFormatString();
        if (cboLocale.ListIndex == -1) cboLocale.Select(0);
        QzExpLabel = txtLabel.Text;
        QzExpFormat = std::move(format);
        QzExpCode = std::string(trimSpaces(code));
        QzExpLocale = std::to_string(cboLocale.ItemData(cboLocale.ListIndex));
        UpdateField = true;
        Hide();
    });
}

void frmExpression::cmdLinkPicture_Click() {
    Handled(kForm, "cmdLinkPicture_Click", kErrLog | kErrShow, [&] {
        ui::FileDialogRequest request;
        request.filters = PictureFilters();
        request.fileMustExist = true;
        // Pictures are kept beside their templates as a rule.
        if (goDesigner) request.initialFolder = goDesigner->TemplatePath();
        const ui::FileDialogResult chosen = ui::currentHost().fileDialog(request);
        if (chosen.outcome == ui::FileDialogResult::Failed) RaiseError(msg::CannotOpenName);
        // Cancelling the file dialog leaves the expression as it was.
        if (chosen.outcome != ui::FileDialogResult::Ok) return;
        std::string code = txtValue.Text;
        if (!onlySpaces(code)) code += ' ';
        txtValue.Text = code + PictureLinkCall(chosen.path);
        txtValue.SelStart = static_cast<int>(txtValue.Text.size());
        txtValue.SelLength = 0;
        SelectKind(kQzFormatRtf);
    });
}

void frmExpression::tvList_DblClick() {
    Handled(kForm, "tvList_DblClick", kErrLog | kErrShow, [&] {
        if (tvList.Count() == 0) return;
        const ui::Node* node = tvList.SelectedItem();
        const DataNodeInfo* info = DataTree().Info(node);
        const std::string text = DataTree().ScriptText(node);
        if (!text.empty()) InsertTextAtCaret(txtValue, text);
        if (info && info->kind == DataNodeKind::Column) {
            if (txtLabel.Text == kDefaultLabel && !node->Text.empty()) txtLabel.Text = node->Text;
            StatusBar1.Panel(1).Text = info->typeWord;
            // The format follows the type of the column inserted; an amount
            // of money is shown as one, and a whole number without decimals.
            const std::string& w = info->typeWord;
            SelectKind(w == "String"                    ? kQzFormatString
                       : w == "Date"                    ? kQzFormatDateTime
                       : info->adoType == ado::adCurrency ? kQzFormatCurrency
                       : w == "Long" || w == "Double"   ? kQzFormatNumber
                                                         : -1);
            if (IsWholeNumberType(info->adoType)) NoDecimals();
        }
        txtValue_Change();
        if (text.empty() && DataTree().IsEmptyConnection(node)) RaiseError(msg::InvalidConnection);
    });
}

} // namespace qz::editors
