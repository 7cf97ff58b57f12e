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

void place(ui::Control& c, const char* name, int left, int top, int width, int height) {
    c.Name = name;
    c.Left = left;
    c.Top = top;
    c.Width = width;
    c.Height = height;
}

} // namespace

frmVbScriptError::frmVbScriptError() : ui::Form("frmVbScriptError", "Quorvane Error") {
    Width = 6720;
    Height = 6150;
    // Two frames of the same width, one above the other, each with three
    // labelled boxes; the last box of each is a multi-line one.
    struct Row {
        ui::Label& label;
        ui::TextBox& box;
        const char* labelName;
        const char* boxName;
        const char* caption;
    };
    auto fill = [&](ui::Frame& frame, const char* name, const char* caption, int top,
                    std::initializer_list<Row> rows) {
        place(frame, name, 120, top, 6375, 2415);
        frame.Caption = caption;
        int y = top + 330;
        for (const Row& r : rows) {
            const bool last = &r == rows.end() - 1;
            place(r.label, r.labelName, 240, y + 30, 1095, 255);
            r.label.Caption = r.caption;
            place(r.box, r.boxName, 1440, y, 4935, last ? 1035 : 315);
            r.box.Locked = true;
            r.box.MultiLine = last;
            r.box.BackColor = kButtonFace;
            y += 420;
        }
    };
    fill(fraQzField, "fraQzField", "Expression Field", 120,
         {{lblQzFieldName, txtQzFieldName, "lblQzFieldName", "txtQzFieldName", "Name:"},
          {lblQzLineNumber, txtQzFieldLineNumber, "lblQzLineNumber", "txtQzFieldLineNumber", "Line:"},
          {lblQzVbscriptCode, txtQzFieldCode, "lblQzVbscriptCode", "txtQzFieldCode", "Code:"}});
    fill(fraError, "fraError", "Error", 2640,
         {{lblErrorNumber, txtErrorNumber, "lblErrorNumber", "txtErrorNumber", "Number:"},
          {lblErrorSource, txtErrorSource, "lblErrorSource", "txtErrorSource", "Source:"},
          {lblErrorDescription, txtErrorDescription, "lblErrorDescription", "txtErrorDescription",
           "Description:"}});
    place(cmdOk, "cmdOk", 120, 5160, 1215, 375);
    cmdOk.Caption = "Ok";
    cmdOk.Default = true;
    cmdOk.Cancel = true;
    place(cmdHelp, "cmdHelp", 120, 5160, 1215, 375);
    cmdHelp.Caption = "Help";

    // Every box selects its whole text when it gets the focus, ready to copy.
    for (ui::TextBox* box : {&txtQzFieldName, &txtQzFieldLineNumber, &txtQzFieldCode,
                             &txtErrorNumber, &txtErrorSource, &txtErrorDescription}) {
        box->GotFocus = [box] {
            box->SelStart = 0;
            box->SelLength = charCount(box->Text);
        };
    }
    OnLoad();
}

void frmVbScriptError::OnLoad() {
    cmdHelp.Visible = false;
    cmdOk.Left = fraError.Left + fraError.Width - cmdOk.Width;
}

void frmVbScriptError::InitForm(std::int32_t number, const std::string& source,
                                const std::string& description, const std::string& text,
                                std::int32_t fieldLine, const std::string& fieldLabel,
                                std::int32_t fieldKind) {
    try {
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
    } catch (...) {
        HandleError("frmVbScriptError", "InitForm", kErrLog | kErrShow);
    }
}

} // namespace qz
