#include "designer/forms/frmQzProperties.h"

#include "core/CommonDialog.h"
#include "core/DesignerState.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "core/ModGlobalControls.h"
#include "designer/forms/frmTemplateDefaultFormat.h"
#include "platform/automation/Text.h"
#include "resources/MessageIds.h"

#include <filesystem>

namespace qz::designer {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kForm = "frmQzProperties";
constexpr int kKeyDelete = 46;
constexpr int kKeyBack = 8;
constexpr std::int32_t kHelpContext = 1020;

bool EndsWithNoCase(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && equalsNoCaseAscii(std::string_view(s).substr(s.size() - tail.size()), tail);
}

// The folder part of a path ("" when it has none; "/" for the root).
std::string ParentFolderName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

frmQzProperties::frmQzProperties() : ui::Form("frmQzProperties", "Qz Template Properties") {
    control(fraQZT, "fraQZT").Caption = "Template File Name (RTF)";
    control(lblFirstParagraph, "lblFirstParagraph").Caption =
        "In order to be able to use Quorvane Studio 2004, you must save your template as a Rich Text Format "
        "file (.rtf). Please specify the location where you want to save your template.";
    control(lblQZTFileName, "lblQZTFileName");
    control(cmdSaveAs, "cmdSaveAs").Caption = "&Save As...";
    control(fraQZC, "fraQZC").Caption = "QZC File Name";
    control(lblSecondParagraph, "lblSecondParagraph").Caption =
        "Quorvane Studio 2004 uses a special type of file to store its data source information. This type of "
        "file is referred to as a Quorvane Configuration file (.QZC). This file has to be located in the same "
        "folder as your template and must have the same name.";
    control(lblQZCFileName, "lblQZCFileName");
    control(fraTemplateLocale, "fraTemplateLocale").Caption = "Template Locale And Default Template Formats";
    control(lblDescLocale, "lblDescLocale").Caption =
        "A locale is either a language or a language in combination with a country. It determines the default "
        "settings for formatting dates, times, currency, and numbers.";
    control(cboLocale, "cboLocale").Style = 2;
    control(cmdFormat, "cmdFormat").Caption = "&Formats...";
    control(fraRevision, "fraRevision").Caption = "Revision Tracking";
    control(lblRevisionKeep, "lblRevisionKeep").Caption = "Keep:";
    control(cboRevision, "cboRevision").Style = 2;
    control(lblRevisionFolder, "lblRevisionFolder").Caption = "Folder:";
    control(txtRevisionPath, "txtRevisionPath").Locked = true;
    control(cmdOk, "cmdOk").Caption = "&OK";
    cmdOk.Default = true;
    control(cmdCancel, "cmdCancel").Caption = "Cancel";
    cmdCancel.Cancel = true;
    control(cmdHelp, "cmdHelp").Caption = "&Help";

    // The keep list changes only by choosing from it.
    cboRevision.KeyDown = [](int& key, int) { if (key == kKeyDelete) key = 0; };
    cboRevision.KeyPress = [](int& key) { key = 0; };
    cboLocale.KeyDown = [](int& key, int) { if (key == kKeyDelete) key = 0; };
    cboLocale.KeyPress = [this](int& key) {
        if (key != kKeyBack) ComboIncrementalSearch(cboLocale, key);
    };
    cboLocale.Validate = [this](bool& cancel) { cboLocale_Validate(cancel); };
}

std::string frmQzProperties::FullTemplateName() const {
    return AddBackSlashInPath(QzTemplatePath) + QzTemplateFileName;
}

std::string frmQzProperties::RevisionFolderOf(const std::string& templateFullName) {
    const std::string stem = EndsWithNoCase(templateFullName, ".rtf")
                                 ? templateFullName.substr(0, templateFullName.size() - 4)
                                 : templateFullName;
    return stem + "REV";
}

void frmQzProperties::InitializeControls() {
    Handled(kForm, "InitializeControls", kErrLog | kErrRaise, [&] {
        const std::string full = FullTemplateName();
        lblQZTFileName.Caption = full;
        lblQZCFileName.Caption = AddBackSlashInPath(QzTemplatePath) + QzcFilename;
        txtRevisionPath.Text = RevisionFolderOf(full);
        if (QzPropertiesReadOnly) DisableQzPropertiesForm();
        else EnabledQzPropertiesForm();
        FillInstalledLocaleCombo(cboLocale, 0);
        SelectQzTemplateLocaleItem(cboLocale, QzLocale);
        cboRevision.Clear();
        cboRevision.AddItem("None", 12);
        for (int i = 1; i <= 10; ++i) cboRevision.AddItem(std::to_string(i), i);
        cboRevision.AddItem("All", 11);
        const std::string keep = QzRevisionKeep == 11   ? "All"
                                 : QzRevisionKeep == 12 ? "None"
                                                        : std::to_string(QzRevisionKeep);
        int index = -1;
        for (int i = 0; i < cboRevision.ListCount(); ++i)
            if (cboRevision.List(i) == keep) index = i;
        cboRevision.Select(index);
        if (index < 0) cboRevision.Text = keep;
    });
}

void frmQzProperties::EnabledQzPropertiesForm() {
    for (ui::Control* c : std::vector<ui::Control*>{&cmdSaveAs, &cboLocale, &cboRevision, &cmdOk, &cmdHelp})
        c->Enabled = true;
    cboLocale.Locked = false;
    cboRevision.Locked = false;
    Caption = "Qz Template Properties";
}

void frmQzProperties::DisableQzPropertiesForm() {
    // Read-only mode only says so: the author may still choose another name
    // (Save As), and writing a read-only QZC file is refused when saving.
    EnabledQzPropertiesForm();
    Caption = "Qz Template Properties (Read Only)";
}

void frmQzProperties::cboRevision_Click() {
    Handled(kForm, "cboRevision_Click", kErrLog | kErrShow, [&] {
        if (cboRevision.ListIndex < 0) return;
        const std::string text = cboRevision.List(cboRevision.ListIndex);
        QzRevisionKeep = text == "All" ? 11 : text == "None" ? 12 : std::stoi(text);
    });
}

void frmQzProperties::cboLocale_Validate(bool&) {
    if (cboLocale.ListIndex < 0 && cboLocale.ListCount() > 0) cboLocale.Select(0);
}

void frmQzProperties::cmdSaveAs_Click() {
    Handled(kForm, "cmdSaveAs_Click", kErrLog | kErrShow, [&] {
        std::string chosen = CommonDialog().OpenFileName("1", "Rich Text Format (*.rtf)", "*.rtf", 0, QzTemplatePath,
                                                         "", QzTemplateFileName);
        if (const std::size_t nul = chosen.find('\0'); nul != std::string::npos) chosen.resize(nul);
        if (chosen.empty()) return;
        // "Report.RTF" is an RTF name already; only a name without the
        // extension gets it.
        if (!EndsWithNoCase(chosen, ".rtf")) chosen += ".rtf";
        if (chosen == FullTemplateName()) return;
        QzTemplatePath = ParentFolderName(chosen);
        QzTemplateFileName = chosen.substr(chosen.find_last_of('/') + 1);
        QzcFilename = QzTemplateFileName.substr(0, QzTemplateFileName.size() - 4) + ".qzc";
        const int locale = cboLocale.ListIndex;
        InitializeControls();
        cboLocale.Select(locale);
    });
}

void frmQzProperties::cmdOk_Click() {
    HandledWithCleanUp(kForm, "cmdOk_Click", kErrLog | kErrShow, [&] {
        cancelUpdate_ = false;
        const std::string full = FullTemplateName();
        std::error_code ec;
        if (!fs::is_directory(ParentFolderName(full), ec)) RaiseError(msg::InvalidPathName);
        std::string name = full.substr(full.find_last_of('/') + 1);
        name.erase(0, name.find_first_not_of(' '));
        if (name.empty()) RaiseError(msg::InvalidPathName);
        if (cboLocale.ListIndex < 0 && cboLocale.ListCount() > 0) cboLocale.Select(0);
        QzLocale = cboLocale.ListIndex >= 0 ? cboLocale.ItemData(cboLocale.ListIndex) : -1;
        const std::size_t dot = name.rfind('.');
        const std::string ext = dot == std::string::npos ? std::string() : toUpperAscii(name.substr(dot + 1));
        if (ext != "RTF") {
            const std::size_t rtf = toLowerAscii(name).find(".rtf");
            name = rtf != std::string::npos ? name.substr(0, rtf + 1) + "rtf" : name + ".rtf";
        }
        QzTemplateFileName = name;
        Hide();
    }, [&] { cancelUpdate_ = true; });
}

void frmQzProperties::cmdCancel_Click() {
    cancelUpdate_ = true;
    Hide();
}

void frmQzProperties::OnClose() { cmdCancel_Click(); }

void frmQzProperties::cmdHelp_Click() {
    Handled(kForm, "cmdHelp_Click", kErrLog | kErrShow, [&] {
        if (goDesigner) goDesigner->GetHelpCenter().OpenHelpCenter(0, kHelpContext);
    });
}

void frmQzProperties::cmdFormat_Click() {
    Handled(kForm, "cmdFormat_Click", kErrLog | kErrShow, [&] {
        frmTemplateDefaultFormat formats;
        formats.QzStringFormat = QzStringFormat;
        formats.QzDateTimeFormat = QzDateTimeFormat;
        formats.QzNumberFormat = QzNumberFormat;
        formats.QzCurrencyFormat = QzCurrencyFormat;
        formats.QzPercentFormat = QzPercentFormat;
        formats.QzPropertiesReadOnly = QzPropertiesReadOnly;
        formats.ShowModal();
        QzStringFormat = formats.QzStringFormat;
        QzDateTimeFormat = formats.QzDateTimeFormat;
        QzNumberFormat = formats.QzNumberFormat;
        QzCurrencyFormat = formats.QzCurrencyFormat;
        QzPercentFormat = formats.QzPercentFormat;
        formats.Unload();
    });
}

} // namespace qz::designer
