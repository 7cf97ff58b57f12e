#include "designer/Designer.h"

#include "core/InstalledLocales.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "core/WinDirs.h"
#include "datasources/forms/frmDataLink.h"
#include "designer/ModConversion.h"
#include "designer/ModMSWordMenuToolbar.h"
#include "designer/ModMsWordCurrentDocument.h"
#include "designer/ModQueryParameters.h"
#include "designer/forms/frmAbout.h"
#include "designer/forms/frmQzProperties.h"
#include "designer/forms/frmWaiting.h"
#include "designer/modMSWordFields.h"
#include "editors/forms/FieldEditors.h"
#include "platform/automation/Text.h"
#include "platform/system/Files.h"
#include "platform/ui/UiHost.h"
#include "production/Production.h"
#include "production/TemplateFiles.h"
#include "resources/MessageIds.h"

#include <filesystem>

namespace qz::designer {

namespace {

constexpr std::string_view kModule = "Designer";

// The file name's extension without its dot; "" when it has none.
std::string GetExtensionName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

// The file name without its extension.
std::string GetBaseName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace

Designer::Designer() {
    Main();
    Handled(kModule, "Class_Initialize", kErrLog, [&] {
        goDesigner = this;
        helpCenter_ = std::make_unique<HelpCenter>();
    });
}

Designer::~Designer() { Terminate(); }

void Designer::Terminate() {
    Handled(kModule, "Class_Terminate", kErrLog | kErrShow, [&] {
        UnLoadInstalledLocale();
        if (glHelpWindowHandle != 0) {
            ui::currentHost().showHelp("", ui::HelpCloseAll, 0);
            glHelpWindowHandle = 0;
        }
        // The kept dialogs go whatever happens to one of them.
        Quietly([&] { HideWaitingDialog(); });
        Quietly([&] { if (about_) about_->Unload(); });
        about_.reset();
        Quietly([&] { if (properties_) properties_->Unload(); });
        properties_.reset();
        fieldEditors_.reset();
        dataLink_.reset();
        moProduction_.reset();
        RemoveClosedPreviews(true);
        if (menuToolbar_) menuToolbar_->ReleaseAddinCommandBars();
        menuToolbar_.reset();
        helpCenter_.reset();
        app_ = nullptr;
        SetApplicationObject(nullptr);
    });
    // No reference to a designer that is gone.
    if (goDesigner == this) goDesigner = nullptr;
}

std::string Designer::Version() const { return ProgramVersion(); }

void Designer::Initialize(word::Application& wordApplication) {
    Handled(kModule, "Initialize", kErrLog | kErrRaise, [&] {
        app_ = &wordApplication;
        menuToolbar_ = std::make_unique<ModMSWordMenuToolbar>(wordApplication);
        requirements_ = ModSystemRequirements::Check();
    });
    // The preview documents a designer that died left in the data folder
    // (only files of its own naming that it held), with the word
    // processor's locks of them.
    try {
        const std::string folder = WinDirs::GetApplicationDataPath();
        sys::removeLeftovers(folder, IsPreviewTempName);
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.starts_with(".~lock.RTF") && name.ends_with(".TMP#"))
                word::RemoveStaleLock(folder + "/" + name.substr(7, name.size() - 8));
        }
    } catch (...) {
        // No data folder: no previews either.
    }
}

void Designer::RemoveClosedPreviews(bool all) {
    std::erase_if(previewDocuments_, [this, all](const std::string& file) {
        if (!all && app_)
            for (int i = 1; i <= app_->GetDocuments().Count(); ++i)
                if (app_->GetDocuments().Item(i).FullName() == file) return false;
        sys::releaseFile(file);
        return true;
    });
}

word::Application& Designer::WordApplication() {
    if (!app_) word::RaiseWordError(word::kErrNoDocumentOpen);
    return *app_;
}

ModMSWordMenuToolbar& Designer::MenuToolbar() {
    if (!menuToolbar_) menuToolbar_ = std::make_unique<ModMSWordMenuToolbar>(WordApplication());
    return *menuToolbar_;
}

HelpCenter& Designer::GetHelpCenter() {
    if (!helpCenter_) helpCenter_ = std::make_unique<HelpCenter>();
    return *helpCenter_;
}

ado::BoundSql Designer::ResolveSqlParameters(const std::string& sql) {
    return designer::ResolveSqlParameters(sql);
}

std::string Designer::GetQzcFileNameFromTemplateName(const std::string& templateFileName) {
    return GetBaseName(templateFileName) + ".qzc";
}

void Designer::HandleCmd(std::int32_t lMenuItem) {
    // The add-in never sees an error, not even one of the handler.
    Quietly([&] {
        try {
            RunCommand(lMenuItem);
        } catch (...) {
            AutomationError err = CurrentError();
            const bool refusedConversion = err.Number == OwnErrorNumber(msg::ConversionCancelled);
            HandleError(err, kModule, "HandleCmd", refusedConversion ? kErrLog : kErrLog | kErrShow);
        }
    });
}

void Designer::RunCommand(std::int32_t id) {
    bool valid = IsValidTemplate();
    switch (id) {
    case qzCmdItemMenu: MenuToolbar().ToggleMenuElements(valid); return;
    case qzCmdItemDocumentChange:
        RemoveClosedPreviews();
        WordDocumentChange();
        return;
    case qzCmdItemAbout: ShowAboutQuorvane(); return;
    case qzCmdItemHelp: ShowHelp(); return;
    case qzCmdItemCreateNewTemplate:
        NewTemplate();
        valid = IsValidTemplate();
        MenuToolbar().ToggleMenuElements(valid);
        return;
    default: break;
    }
    if (!valid) {
        MenuToolbar().DisableToolBar();
        return;
    }
    ModConversion(WordApplication()).VersionsCheck(requirements_);
    switch (id) {
    case qzCmdItemEditExpression: EditExpressionField(); break;
    case qzCmdItemEditStatement: EditStatementField(); break;
    case qzCmdItemEditTemplateProperties: EditTemplate(); break;
    case qzCmdItemEditConnection: EditConnection(); break;
    case qzCmdItemInsertStatement: InsertStatementField(); break;
    case qzCmdItemInsertExpression: InsertExpressionField(); break;
    case qzCmdItemInsertConditionalParagraph: modMSWordFields(WordApplication(), this).InsertConditionalParagraph(); break;
    case qzCmdItemInsertRepeatingParagraph: InsertRepeatingParagraph(); break;
    case qzCmdItemPreviewDocument:
        PreviewDocument();
        // A preview that reported a script error leaves its output unopened.
        if (!previewOutputFile_.empty() && std::filesystem::is_regular_file(previewOutputFile_) &&
            !gbScriptErrorOccurred)
            // Its window is named after the template it shows, not the temporary file.
            WordApplication().GetDocuments().Open(previewOutputFile_).Caption = "Preview of " + templateFileName_;
        RemoveClosedPreviews();
        break;
    case qzCmdItemOpenField: modMSWordFields(WordApplication(), this).OpenSelectedField(); break;
    case qzCmdItemRestoreFieldColor: modMSWordFields(WordApplication(), this).RestoreFieldsColor(); break;
    default: break;
    }
}

bool Designer::IsValidTemplate() {
    try {
        word::Application& app = WordApplication();
        if (app.GetDocuments().Count() <= 0) return false;
        word::Document& doc = app.ActiveDocument();
        if (doc.Path().empty()) return false;
        const std::string name = doc.Name();
        const std::string extension = GetExtensionName(name);
        const std::string_view ext = trimSpaces(extension);
        if (!ext.empty() && toUpperAscii(ext) != "RTF") return false;
        ModMsWordCurrentDocument current(app);
        const std::string folder = AddBackSlashInPath(current.CurrentDocumentPath());
        if (production::FindFileNoCase(folder + name).empty()) return false;
        if (production::FindFileNoCase(folder + GetBaseName(name) + ".Qzc").empty()) return false;
        return !current.RetrieveCustomDocumentProperty().empty();
    } catch (const AutomationError& e) {
        if (e.Number == word::kErrNoDocumentOpen) return false;
        HandleError(kModule, "IsValidTemplate", kErrLog | kErrRaise);
    } catch (...) {
        HandleError(kModule, "IsValidTemplate", kErrLog | kErrRaise);
    }
    return false;
}

void Designer::WordDocumentChange() {
    Handled(kModule, "WordDocumentChange", kErrLog | kErrRaise, [&] {
        word::Application& app = WordApplication();
        ModMSWordMenuToolbar& bars = MenuToolbar();
        // The menu stays enabled (About and Help always serve) and takes the
        // layout of the document now active: the template one only for a
        // valid template. With no document open New Template has nothing to
        // turn into a template: it is greyed, as the whole menu would be.
        bars.EnableMenu();
        if (app.GetDocuments().Count() <= 0) {
            bars.ToggleMenuElements(false);
            bars.EnableFirstItem(false);
            return;
        }
        bars.EnableFirstItem(true);
        const bool valid = IsValidTemplate();
        bars.ToggleMenuElements(valid);
        if (valid) {
            ModMsWordCurrentDocument current(app);
            templateFileName_ = app.ActiveDocument().Name();
            templatePath_ = current.CurrentDocumentPath();
            // The QZC file as it is named on disk, whatever the case of its
            // letters, so that every later reader finds it.
            const std::string qzc = production::FindFileNoCase(
                AddBackSlashInPath(templatePath_) + GetQzcFileNameFromTemplateName(templateFileName_));
            qzcFileName_ = qzc.empty() ? GetQzcFileNameFromTemplateName(templateFileName_)
                                       : std::filesystem::path(qzc).filename().string();
            templateReadOnly_ = current.IsActiveDocumentReadOnly() ||
                                FileIsReadOnly(AddBackSlashInPath(templatePath_) + qzcFileName_);
            bars.EnableToolBar();
        } else {
            templateFileName_.clear();
            templatePath_.clear();
            qzcFileName_.clear();
            templateReadOnly_ = false;
            bars.DisableToolBar();
        }
    });
}

bool Designer::FileIsReadOnly(const std::string& sFile) {
    // A file that cannot be looked at is taken as writable (false).
    return Handled(kModule, "FileIsReadOnly", kErrLog,
                   [&] { return sys::fileIsReadOnly(production::FindFileNoCase(sFile)); });
}

void Designer::ShowAboutQuorvane() {
    Handled(kModule, "ShowAboutQuorvane", kErrLog | kErrRaise, [&] {
        if (!about_) about_ = std::make_unique<frmAbout>();
        about_->Initialize();
        about_->ShowModal();
    });
}

void Designer::ShowHelp() {
    Handled(kModule, "ShowHelp", kErrLog | kErrShow, [&] {
        GetHelpCenter().OpenGeneralHelpCenter();
    });
}

void Designer::ShowWaitingDialog(const std::string& message, const std::string& caption) {
    Handled(kModule, "ShowWaitingDialog", kErrLog | kErrRaise, [&] {
        if (!waiting_) waiting_ = std::make_unique<frmWaiting>();
        waiting_->Caption = caption;
        waiting_->lblWaiting.Caption = message;
        waiting_->ShowModeless();
    });
}

void Designer::RefreshWaitingDialog() {
    Handled(kModule, "RefreshWaitingDialog", kErrLog | kErrRaise, [&] {
        if (waiting_) waiting_->Refresh();
    });
}

void Designer::HideWaitingDialog() {
    HandledWithCleanUp(kModule, "HideWaitingDialog", kErrLog | kErrRaise, [&] {
        // Unloaded rather than hidden: the next show loads a fresh window.
        if (waiting_) waiting_->Unload();
        waiting_.reset();
    }, [&] { waiting_.reset(); });
}

} // namespace qz::designer
