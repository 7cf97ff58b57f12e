#include "editors/forms/frmExpression.h"

#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "core/ModGlobalControls.h"
#include "editors/FieldCode.h"
#include "editors/forms/FieldEditorBox.h"
#include "platform/automation/Text.h"
#include "platform/ui/UiHost.h"
#include "resources/MessageIds.h"

#include <charconv>

namespace qz::editors {

namespace {

constexpr std::string_view kForm = "frmExpression";
constexpr std::int32_t kHelpContext = 1100;
constexpr const char* kDefaultLabel = "Expression";

void Place(ui::Control& c, std::string name, int left, int top, int width, int height) {
    c.Name = std::move(name);
    c.Left = left;
    c.Top = top;
    c.Width = width;
    c.Height = height;
}

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

frmExpression::frmExpression() : ui::Form("frmExpression", "Qz Expression") {
    Width = 9600;
    Height = 5820;
    auto label = [](ui::Label& l, std::string name, const char* caption, int left, int top, int width) {
        Place(l, std::move(name), left, top, width, 255);
        l.Caption = caption;
    };
    label(lblLabel, "lblLabel", "&Label:", 2640, 120, 900);
    Place(txtLabel, "txtLabel", 3600, 90, 4200, 315);
    label(lblData, "lblData", "&Data:", 120, 120, 2300);
    Place(tvList, "tvList", 120, 400, 2400, 4700);
    label(lblCode, "lblCode", "&Code:", 2640, 480, 900);
    Place(txtValue, "txtValue", 2640, 740, 5160, 1500);
    txtValue.MultiLine = true;
    txtValue.Font.Name = "Courier New";
    label(lblFormat, "lblFormat", "&Format:", 2640, 2400, 900);
    Place(cboFormat, "cboFormat", 3600, 2370, 1900, 315);
    cboFormat.Style = 2;
    label(lblLocale, "lblLocale", "Loc&ale:", 5600, 2400, 700);
    Place(cboLocale, "cboLocale", 6300, 2370, 1500, 315);

    Place(fraFormatString, "fraFormatString", 2640, 2820, 5160, 2160);
    Place(fraFormatDateTime, "fraFormatDateTime", 2640, 2820, 5160, 2160);
    Place(fraFormatNumber, "fraFormatNumber", 2640, 2820, 5160, 2160);
    Place(chkOverrideStringFormat, "chkOverrideStringFormat", 2760, 3000, 4800, 255);
    chkOverrideStringFormat.Caption = "Override Default Template &String Format";
    label(lblMaxLength, "lblMaxLength", "Max Length:", 2880, 3420, 1400);
    Place(txtStringMaxLength, "txtStringMaxLength", 4320, 3390, 1200, 315);
    Place(chkStringBlankProtect, "chkStringBlankProtect", 2880, 3840, 2400, 255);
    chkStringBlankProtect.Caption = "Use Blank Protect";

    Place(chkOverrideDateTimeFormat, "chkOverrideDateTimeFormat", 2760, 3000, 4800, 255);
    chkOverrideDateTimeFormat.Caption = "Override Default Template Date/&Time Format";
    const char* dateCaptions[5] = {"", "Long Date", "Short Date", "Long Time", "Short Time"};
    // Two rows: Short Date and Long Date, then Short Time and Long Time.
    const int column[5] = {0, 5280, 2880, 5280, 2880};
    const int row[5] = {0, 3420, 3420, 3780, 3780};
    for (int i = 1; i <= 4; ++i) {
        Place(optDateTime[i], "optDateTime" + std::to_string(i), column[i], row[i], 2200, 255);
        optDateTime[i].Caption = dateCaptions[i];
    }
    optDateTime[0].Visible = false;
    Place(chkDateTimeBlankProtect, "chkDateTimeBlankProtect", 2880, 4200, 2400, 255);
    chkDateTimeBlankProtect.Caption = "Use Blank Protect";

    Place(chkOverrideNumberFormat, "chkOverrideNumberFormat", 2760, 3000, 4800, 255);
    chkOverrideNumberFormat.Caption = "Override Default Template &Number Format";
    ui::Label* numberLabels[4] = {&lblNumberOfDigit, &lblIncludeLeading, &lblUseParens, &lblGroupDigits};
    ui::ComboBox* numberBoxes[4] = {&cboNumberOfDigits, &cboIncludeLeading, &cboUseParens, &cboGroupDigits};
    const char* labelNames[4] = {"lblNumberOfDigit", "lblIncludeLeading", "lblUseParens", "lblGroupDigits"};
    const char* boxNames[4] = {"cboNumberOfDigits", "cboIncludeLeading", "cboUseParens", "cboGroupDigits"};
    const char* captions[4] = {"Number of Digits:", "Include Leading Digit:", "Use Parenthesis for Negative:",
                               "Group Digits:"};
    for (int i = 0; i < 4; ++i) {
        label(*numberLabels[i], labelNames[i], captions[i], 2880, 3360 + 360 * i, 2600);
        Place(*numberBoxes[i], boxNames[i], 5520, 3330 + 360 * i, 1200, 315);
        numberBoxes[i]->Style = i == 0 ? 0 : 2;
    }
    Place(chkNumberBlankProtect, "chkNumberBlankProtect", 2880, 4800, 2400, 255);
    chkNumberBlankProtect.Caption = "Use Blank Protect";

    const char* names[5] = {"cmdOk", "cmdCancel", "cmdLinkPicture", "cmdPrint", "cmdHelp"};
    const char* buttonCaptions[5] = {"&OK", "Cancel", "&Link Picture", "&Print", "&Help"};
    ui::CommandButton* buttons[5] = {&cmdOk, &cmdCancel, &cmdLinkPicture, &cmdPrint, &cmdHelp};
    for (int i = 0; i < 5; ++i) {
        Place(*buttons[i], names[i], 8040, 120 + 480 * i, 1400, 375);
        buttons[i]->Caption = buttonCaptions[i];
    }
    cmdCancel.Cancel = true;
    Place(StatusBar1, "StatusBar1", 0, 5220, 9600, 300);
    AddFieldStatusPanels(StatusBar1);

    txtLabel.KeyPress = [](int& k) { FilterLabelKey(k); };
    txtLabel.GotFocus = [this] { SelectWholeText(txtLabel); };
    txtLabel.LostFocus = [this] {
        if (!onlySpaces(txtLabel.Text)) return;
        txtLabel.SetSelText(kDefaultLabel);
        txtLabel_Change();
    };
    txtValue.GotFocus = [this] { txtValue_CaretMoved(); };
    txtValue.LostFocus = [this] { ClearCaretStatus(StatusBar1); };
    txtValue.MouseUp = [this](int, int, int, int) { txtValue_CaretMoved(); };
    cboLocale.KeyPress = [this](int& k) { ComboIncrementalSearch(cboLocale, k); };
    cboLocale.Validate = [this](bool&) {
        if (cboLocale.ListIndex == -1 && cboLocale.ListCount() > 0) {
            cboLocale.Select(0);
            cboLocale_Click();
        }
    };
    tvList.KeyPress = [this](int& k) {
        if (k != 13) return;
        k = 0;
        tvList_DblClick();
    };
    tvList.MouseMove = [this](int, int, int x, int y) { tvList.ToolTipText = tree_.ToolTipAt(x, y); };
}

std::vector<ui::Control*> frmExpression::Controls() {
    std::vector<ui::Control*> all = {&lblData, &tvList, &lblLabel, &txtLabel, &lblCode, &txtValue, &lblFormat,
                                     &cboFormat, &lblLocale, &cboLocale, &fraFormatString, &chkOverrideStringFormat,
                                     &lblMaxLength, &txtStringMaxLength, &chkStringBlankProtect, &fraFormatDateTime,
                                     &chkOverrideDateTimeFormat};
    for (int i = 1; i <= 4; ++i) all.push_back(&optDateTime[i]);
    for (ui::Control* c : std::initializer_list<ui::Control*>{
             &chkDateTimeBlankProtect, &fraFormatNumber, &chkOverrideNumberFormat, &lblNumberOfDigit,
             &cboNumberOfDigits, &lblIncludeLeading, &cboIncludeLeading, &lblUseParens, &cboUseParens,
             &lblGroupDigits, &cboGroupDigits, &chkNumberBlankProtect, &cmdOk, &cmdCancel, &cmdLinkPicture,
             &cmdPrint, &cmdHelp, &StatusBar1})
        all.push_back(c);
    return all;
}

void frmExpression::Initialize() {
    try {
        UpdateField = false;
        FillInstalledLocaleCombo(cboLocale, 1);
        RetrieveQzcFormatProperties();
        try {
            BusyCursor busy;
            tree_.LoadQueries(TemplateQzcPath(), TemplateFolder());
        } catch (...) {
            HandleError(kForm, "LoadQueries", kErrLog);
            AutomationError e = OwnError(msg::CannotFillDataTree);
            HandleError(e, kForm, "Initialize", kErrLog);
        }
        LoadInfo();
        if (txtLabel.Text.empty()) txtLabel.Text = kDefaultLabel;
        for (int p = 1; p <= 3; ++p) StatusBar1.Panel(p).Text.clear();
        ValidFieldsValues();
        firstFocus_ = true;
    } catch (...) {
        HandleError(kForm, "Initialize", kErrLog | kErrShow);
    }
}

void frmExpression::LoadInfo() {
    try {
        FillFormatCombobox();
        FillNumberOfDigitsCombo(cboNumberOfDigits);
        FillNumberCombo(cboIncludeLeading);
        FillNumberCombo(cboUseParens);
        FillNumberCombo(cboGroupDigits);
        txtLabel.Text = QzExpLabel;
        txtValue.Text = QzExpCode;
        ManageCarriageReturn(txtValue);
        txtLabel.SelStart = txtLabel.SelLength = 0;
        txtValue.SelStart = txtValue.SelLength = 0;
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
    } catch (...) {
        HandleError(kForm, "LoadInfo", kErrLog | kErrShow);
    }
}

void frmExpression::Form_Activate() {
    if (firstFocus_) firstFocus_ = false;
    SetFocusTo(txtLabel);
}

void frmExpression::ValidFieldsValues() {
    cmdOk.Enabled = !onlySpaces(txtLabel.Text) && !BlankCode(txtValue.Text) &&
                    (cboFormat.ListIndex != -1 || !onlySpaces(cboFormat.Text));
}

void frmExpression::txtLabel_Change() {
    try {
        ValidFieldsValues();
    } catch (...) {
        HandleError(kForm, "txtLabel_Change", kErrLog | kErrShow);
    }
}

void frmExpression::txtValue_Change() {
    try {
        ValidFieldsValues();
    } catch (...) {
        HandleError(kForm, "txtValue_Change", kErrLog | kErrShow);
    }
}

void frmExpression::cboLocale_Click() {
    try {
        ValidFieldsValues();
    } catch (...) {
        HandleError(kForm, "cboLocale_Click", kErrLog | kErrShow);
    }
}

void frmExpression::txtValue_CaretMoved() { ShowCaretStatus(StatusBar1, txtValue); }

void frmExpression::cmdOk_Click() {
    try {
        if (!ValidLabel(txtLabel.Text)) {
            SetFocusTo(txtLabel);
            RaiseError(msg::InvalidLabelName);
        }
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
    } catch (...) {
        HandleError(kForm, "cmdOk_Click", kErrLog | kErrShow);
    }
}

void frmExpression::cmdCancel_Click() {
    UpdateField = false;
    Hide();
}

void frmExpression::cmdLinkPicture_Click() {
    try {
        ui::FileDialogRequest request;
        request.filters = PictureFilters();
        request.fileMustExist = true;
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
    } catch (...) {
        HandleError(kForm, "cmdLinkPicture_Click", kErrLog | kErrShow);
    }
}

void frmExpression::cmdPrint_Click() {
    try {
        PrintField(*this, txtLabel.Text, txtValue.Text);
    } catch (...) {
        HandleError(kForm, "cmdPrint_Click", kErrLog | kErrShow);
    }
}

void frmExpression::cmdHelp_Click() {
    try {
        OpenEditorHelp(kHelpContext);
    } catch (...) {
        HandleError(kForm, "cmdHelp_Click", kErrLog | kErrShow);
    }
}

void frmExpression::tvList_NodeClick() {
    try {
        const std::string word = tree_.TypeWord(tvList.SelectedItem());
        if (!word.empty()) StatusBar1.Panel(1).Text = word;
    } catch (...) {
        HandleError(kForm, "tvList_NodeClick", kErrLog | kErrShow);
    }
}

void frmExpression::tvList_DblClick() {
    try {
        if (tvList.Count() == 0) return;
        const ui::Node* node = tvList.SelectedItem();
        const DataNodeInfo* info = tree_.Info(node);
        const std::string text = tree_.ScriptText(node);
        if (!text.empty()) InsertTextAtCaret(txtValue, text);
        if (info && info->kind == DataNodeKind::Column) {
            if (txtLabel.Text == kDefaultLabel && !node->Text.empty()) txtLabel.Text = node->Text;
            StatusBar1.Panel(1).Text = info->typeWord;
            // The format follows the type of the column inserted.
            const std::string& w = info->typeWord;
            SelectKind(w == "String" ? kQzFormatString
                       : w == "Date" ? kQzFormatDateTime
                       : w == "Long" || w == "Double" ? kQzFormatNumber
                                                       : -1);
        }
        txtValue_Change();
        if (text.empty() && tree_.IsEmptyConnection(node)) RaiseError(msg::InvalidConnection);
    } catch (...) {
        HandleError(kForm, "tvList_DblClick", kErrLog | kErrShow);
    }
}

} // namespace qz::editors
