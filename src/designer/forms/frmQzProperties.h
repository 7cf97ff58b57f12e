// The template-properties dialog: the template's file name and folder (the
// QZC file's name follows from them), its locale, how many revision copies
// to keep and, through "Formats...", its five default field formats. The
// caller sets the inputs, calls InitializeControls, shows it modally and,
// when CancelUpdate is false afterwards, reads the inputs back. The dialog
// writes no file; it is hidden, never unloaded, between uses.
#pragma once

#include "core/QzFormat.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qz::designer {

class frmQzProperties : public ui::Form {
public:
    frmQzProperties();

    // Inputs and results.
    bool QzPropertiesReadOnly = false;
    std::int32_t QzRevisionKeep = 12;   // 1-10, 11 all, 12 none
    std::int32_t QzLocale = -1;         // -1: the system default
    std::string QzTemplatePath;         // folder
    std::string QzTemplateFileName;     // without folder
    std::string QzcFilename;            // without folder
    bool CancelUpdate() const noexcept { return cancelUpdate_; }
    // Shared with the format dialog, which edits them in place.
    std::shared_ptr<QzFormatString> QzStringFormat;
    std::shared_ptr<QzFormatDateTime> QzDateTimeFormat;
    std::shared_ptr<QzFormatNumber> QzNumberFormat;
    std::shared_ptr<QzFormatNumber> QzCurrencyFormat;
    std::shared_ptr<QzFormatNumber> QzPercentFormat;

    ui::Frame fraQZT;
    ui::Label lblFirstParagraph, lblQZTFileName;
    ui::CommandButton cmdSaveAs;
    ui::Frame fraQZC;
    ui::Label lblSecondParagraph, lblQZCFileName;
    ui::Frame fraRevision;
    ui::Label lblRevisionKeep;
    ui::ComboBox cboRevision;
    ui::Label lblRevisionFolder;
    ui::TextBox txtRevisionPath;
    ui::Frame fraTemplateLocale;
    ui::Label lblDescLocale;
    ui::ComboBox cboLocale;
    ui::CommandButton cmdFormat;
    ui::CommandButton cmdOk, cmdCancel, cmdHelp;

    // Fills the controls from the inputs: the three paths whole (the window
    // shortens them to its room), the caption of the mode, the locale list,
    // the keep list.
    void InitializeControls();
    // The revision folder of the full template name: its ".rtf" (any case)
    // replaced by "REV".
    static std::string RevisionFolderOf(const std::string& templateFullName);

    void cboRevision_Click();
    void cboLocale_Validate(bool& cancel);
    void cmdSaveAs_Click();
    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdHelp_Click();
    void cmdFormat_Click();
    // The close box counts as Cancel; the dialog is only hidden.
    void OnClose() override;

private:
    void EnabledQzPropertiesForm();
    void DisableQzPropertiesForm();
    std::string FullTemplateName() const;

    bool cancelUpdate_ = true;
};

} // namespace qz::designer
