#include "datasources/forms/frmCommandXML.h"

#include "core/CommonDialog.h"
#include "core/DesignerState.h"
#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "core/RecordsetGrid.h"
#include "datasources/forms/DataSourceDialogs.h"
#include "platform/automation/Text.h"
#include "platform/ui/UiHost.h"
#include "resources/MessageIds.h"

#include <filesystem>

namespace qz::datasources {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kForm = "frmCommandXML";
constexpr std::int32_t kHelpContext = 1031;

// A relative name lies in the template folder.
fs::path InTemplate(const std::string& name) {
    fs::path p(name);
    return p.is_relative() ? fs::path(TemplateFolder()) / p : p;
}

} // namespace

frmCommandXML::frmCommandXML() : ui::Form("frmCommandXML", "Command Properties") {
    control(lblCommandName, "lblCommandName").Caption = "Command Name:";
    control(txtCommandName, "txtCommandName");
    txtCommandName.GotFocus = [this] {
        txtCommandName.SelStart = 0;
        txtCommandName.SelLength = CharCount(txtCommandName.Text);
    };
    // Only what a name may hold gets through (and the editing keys: copy,
    // backspace, paste, cut).
    txtCommandName.KeyPress = [](int& key) {
        const bool editing = key == 3 || key == 8 || key == 22 || key == 24;
        const bool name = (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || key == '_' ||
                          (key >= 'a' && key <= 'z');
        if (!editing && !name) key = 0;
    };
    control(fraXML, "fraXML").Caption = "XML/ADTG";
    control(lblFilename, "lblFilename").Caption = "File Name:";
    control(txtFilename, "txtFilename");
    txtFilename.KeyPress = [](int& key) {
        if (key == '\'') key = 0;
    };
    control(cmdBrowse, "cmdBrowse").Caption = "&Browse...";
    control(cmdOpen, "cmdOpen").Caption = "Open";
    control(lblADORecordset, "lblADORecordset").Caption = "ADO Recordset:";
    control(msfgCommand, "msfgCommand");
    control(cmdOk, "cmdOk").Caption = "&Ok";
    cmdOk.Default = true;
    control(cmdCancel, "cmdCancel").Caption = "Cancel";
    cmdCancel.Cancel = true;
    control(cmdHelp, "cmdHelp").Caption = "&Help";
}

frmCommandXML::~frmCommandXML() { CloseRecordset(); }

void frmCommandXML::OnLoad() { cmdOk.Enabled = !TemplateReadOnly(); }

void frmCommandXML::Initialize() {
    HandledWithError(kForm, "Initialize", kErrLog, [&] {
        if (!command_ || !connection_) RaiseError(msg::CannotViewCommandProperties);
        Caption = "Command Properties (" + connection_->Name + ")";
        saved_ = false;
        txtCommandName.Text = command_->Name;
        txtFilename.Text = command_->Text;
        msfgCommand.Clear();
        cmdOk.Enabled = !TemplateReadOnly();
    }, [&](const AutomationError&) {
        throw OwnError(msg::CannotViewCommandProperties);
    });
}

void frmCommandXML::Form_Activate() {
    Handled(kForm, "Form_Activate", kErrLog, [&] {
        SetFocusTo(txtCommandName);
    });
}

std::string frmCommandXML::RetrieveCompleteXMlFileName(const std::string& name) {
    if (name.empty() || onlySpaces(fs::path(name).filename().string())) return {};
    const fs::path p = InTemplate(name);
    std::error_code ec;
    return fs::is_regular_file(p, ec) ? p.string() : std::string();
}

void frmCommandXML::cmdBrowse_Click() {
    Handled(kForm, "cmdBrowse_Click", kErrLog | kErrShow, [&] {
        std::error_code ec;
        const fs::path parent = InTemplate(txtFilename.Text).parent_path();
        std::string folder;
        if (!txtFilename.Text.empty() && fs::is_directory(parent, ec)) folder = parent.string();
        else if (fs::is_directory(TemplateFolder(), ec)) folder = TemplateFolder();
        const std::string chosen =
            CommonDialog().OpenFileName("0", "Extensible Markup Language (*.xml)", "*.xml", 0, folder, "", "");
        if (!chosen.empty()) {
            const fs::path path(chosen);
            txtFilename.Text = path.parent_path().string() == TemplateFolder() ? path.filename().string() : chosen;
        }
    });
}

void frmCommandXML::CloseRecordset() noexcept {
    Quietly([&] {
        if (recordset_ && recordset_->state() == 1) recordset_->close();
    });
    recordset_ = nullptr;
}

void frmCommandXML::OpenXmlFile() {
    CloseRecordset();
    msfgCommand.Clear();
    Ref<ado::Recordset> rs(new ado::Recordset);
    const std::string path = RetrieveCompleteXMlFileName(txtFilename.Text);
    if (path.empty()) RaiseError(msg::FileNotFound);
    ui::currentHost().setBusyCursor(true);
    try {
        rs->open(Variant(fromUtf8(path)), Variant(u"Provider=MSPersist;"), 256);
        FillGridFromRecordset(msfgCommand, *rs);
    } catch (...) {
        ui::currentHost().setBusyCursor(false);
        throw;
    }
    ui::currentHost().setBusyCursor(false);
    recordset_ = rs;
}

void frmCommandXML::cmdOpen_Click() {
    HandledWithError(kForm, "cmdOpen_Click", kErrLog, [&] {
        OpenXmlFile();
    }, [&](AutomationError& e) {
        if (IsOwn(e, msg::NoFileToOpen) || IsOwn(e, msg::FileNotFound) || IsOwn(e, msg::InvalidXmlRecordset))
            ShowNumberedError(e);
        else HandleError(e, kForm, "cmdOpen_Click", kErrLog | kErrShow);
    });
}

void frmCommandXML::SaveData(const std::string& sName) {
    HandledWithError(kForm, "SaveData", kErrLog, [&] {
        if (!command_) RaiseError(msg::CannotViewCommandProperties);
        // A file in the template folder is stored by its bare name, so that the
        // template can move with its data; any other name as typed.
        const std::string typed = txtFilename.Text;
        const fs::path full = InTemplate(typed);
        const std::string text = !typed.empty() && full.parent_path().lexically_normal() ==
                                                       fs::path(TemplateFolder()).lexically_normal()
                                     ? full.filename().string()
                                     : typed;
        RequireQzcFile();
        const std::string oldName = command_->Name, oldText = command_->Text;
        command_->Name = sName;
        command_->Text = text;
        SaveOrRestore([this] { command_->Save(); },
                      [&] {
                          command_->Name = oldName;
                          command_->Text = oldText;
                      });
    }, [](AutomationError& e) {
        if (IsOwn(e, msg::CannotUpdateTemplateProperties))
            HandleError(e, kForm, "SaveData", kErrLog | kErrShow | kErrRaise);
        HandleError(e, kForm, "SaveData", kErrLog | kErrRaise);
    });
}

void frmCommandXML::cmdOk_Click() {
    HandledWithError(kForm, "cmdOk_Click", kErrLog, [&] {
        const std::string name = txtCommandName.Text;
        CheckCommandName(list_.get(), name, command_.get());
        SaveData(name);
        saved_ = true;
        Hide();
    }, [&](AutomationError& e) {
        saved_ = false;
        if (IsOwn(e, msg::InvalidName)) ShowErrorDialog(e.Description, "");
        else if (!IsOwn(e, msg::CannotUpdateTemplateProperties)) ShowNumberedError(e);
    });
}

void frmCommandXML::cmdCancel_Click() {
    saved_ = false;
    Hide();
}

void frmCommandXML::cmdHelp_Click() {
    Handled(kForm, "cmdHelp_Click", kErrLog | kErrShow, [&] {
        if (goDesigner) goDesigner->GetHelpCenter().OpenHelpCenter(0, kHelpContext);
    });
}

void frmCommandXML::OnUnload() {
    CloseRecordset();
    command_.reset();
    connection_.reset();
    list_.reset();
}

} // namespace qz::datasources
