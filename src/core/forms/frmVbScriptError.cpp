#include "core/forms/frmVbScriptError.h"

#include "core/ModErrors.h"

#include <algorithm>

namespace qz {
namespace {

constexpr const char* kUnknown = "<Unknown>";
constexpr std::int32_t kButtonFace = static_cast<std::int32_t>(0x8000000Fu);
constexpr std::int32_t kDarkBlue = 0x800000;
constexpr std::int32_t kRed = 255;

int charCount(const std::string& s) {
    return static_cast<int>(std::count_if(s.begin(), s.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

} // namespace

frmVbScriptError::frmVbScriptError() : ui::Form("frmVbScriptError", "Quorvane Error") {
    // Two frames, one above the other, each with three labelled read-only
    // boxes; the last box of each is a multi-line one.
    control(fraQzField, "fraQzField").Caption = "Expression Field";
    control(lblQzFieldName, "lblQzFieldName").Caption = "Name:";
    control(txtQzFieldName, "txtQzFieldName");
    control(lblQzLineNumber, "lblQzLineNumber").Caption = "Line:";
    control(txtQzFieldLineNumber, "txtQzFieldLineNumber");
    control(lblQzVbscriptCode, "lblQzVbscriptCode").Caption = "Code:";
    control(txtQzFieldCode, "txtQzFieldCode").MultiLine = true;
    control(fraError, "fraError").Caption = "Error";
    control(lblErrorNumber, "lblErrorNumber").Caption = "Number:";
    control(txtErrorNumber, "txtErrorNumber");
    control(lblErrorSource, "lblErrorSource").Caption = "Source:";
    control(txtErrorSource, "txtErrorSource");
    control(lblErrorDescription, "lblErrorDescription").Caption = "Description:";
    control(txtErrorDescription, "txtErrorDescription").MultiLine = true;
    control(cmdOk, "cmdOk").Caption = "Ok";
    cmdOk.Default = true;
    cmdOk.Cancel = true;
    // The help button is not offered.
    control(cmdHelp, "cmdHelp").Caption = "Help";
    cmdHelp.Visible = false;

    // Every box selects its whole text when it gets the focus, ready to copy.
    for (ui::TextBox* box : {&txtQzFieldName, &txtQzFieldLineNumber, &txtQzFieldCode,
                             &txtErrorNumber, &txtErrorSource, &txtErrorDescription}) {
        box->Locked = true;
        box->BackColor = kButtonFace;
        box->GotFocus = [box] {
            box->SelStart = 0;
            box->SelLength = charCount(box->Text);
        };
    }
}

void frmVbScriptError::InitForm(std::int32_t number, const std::string& source,
                                const std::string& description, const std::string& text,
                                std::int32_t fieldLine, const std::string& fieldLabel,
                                std::int32_t fieldKind) {
    Handled("frmVbScriptError", "InitForm", kErrLog | kErrShow, [&] {
        txtErrorNumber.Text = number == 0 ? kUnknown : std::to_string(number);
        txtErrorSource.Text = source;
        txtErrorDescription.Text = description;
        txtQzFieldCode.Text = text.empty() ? kUnknown : text;
        txtQzFieldLineNumber.Text = fieldLine == 0 ? kUnknown : std::to_string(fieldLine);
        // The two field kinds in the colours the document shows them in.
        switch (fieldKind) {
        case 1:
        case 2:
            fraQzField.Caption = fieldKind == 1 ? "Expression Field" : "Statement Field";
            txtQzFieldName.ForeColor = fieldKind == 1 ? kDarkBlue : kRed;
            txtQzFieldName.Text = fieldLabel;
            txtQzFieldName.SelStart = charCount(fieldLabel);
            txtQzFieldName.SelLength = 0;
            break;
        case 3:
            fraQzField.Caption = "External Module";
            txtQzFieldName.Text = fieldLabel;
            txtQzFieldName.ForeColor = 0;
            break;
        default:
            fraQzField.Caption = "Unknown Location";
            txtQzFieldName.Text = kUnknown;
            txtQzFieldName.ForeColor = 0;
            break;
        }
    });
}

} // namespace qz
