// Command 50, the preview: the template is saved, a revision copy filed, every
// connection and command of its QZC file opened, and the production engine
// run into a fresh temporary RTF file, which HandleCmd then opens. A script
// error is shown in the script-error dialog and leaves the output unopened.
#include "designer/Designer.h"

#include "config/QZCFile.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "core/WinDirs.h"
#include "core/forms/frmVbScriptError.h"
#include "production/TemplateData.h"
#include "designer/ModMsWordCurrentDocument.h"
#include "platform/automation/Text.h"
#include "platform/system/Files.h"
#include "platform/ui/UiHost.h"
#include "production/Production.h"
#include "resources/MessageIds.h"

#include <cctype>
#include <filesystem>
#include <sstream>

namespace qz::designer {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kModule = "Designer";

// The keep value of the QZC file; a text that is no whole number (the empty
// text of a new file included) keeps no copies.
std::int32_t RevisionKeepOf(const std::string& text) {
    const std::string_view t = trimSpaces(text);
    if (t.empty() || t.size() > 9) return 12;
    std::size_t i = t[0] == '-' || t[0] == '+' ? 1 : 0;
    if (i == t.size()) return 12;
    std::int32_t n = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return 12;
        n = n * 10 + (t[i] - '0');
    }
    return t[0] == '-' ? -n : n;
}

} // namespace

void Designer::PreviewDocument() {
    gbScriptErrorOccurred = false;
    production::TemplateData data;
    HandledWithError(kModule, "PreviewDocument", kErrLog, [&] {
        const std::string folder = AddBackSlashInPath(templatePath_);
        QZCFile qzc;
        qzc.Load(folder + qzcFileName_);
        ShowWaitingDialog("Preparing Document...", "Preview Document");
        if (!moProduction_) {
            moProduction_ = std::make_unique<production::Production>();
            moProduction_->ExecutionError = [this](const production::ExecutionErrorInfo& e) {
                moProduction_ExecutionError(e);
            };
        } else {
            moProduction_->ClearObjects();
        }
        moProduction_->AllowUI(true);
        moProduction_->UseEventError(true);
        RefreshWaitingDialog();

        ModMsWordCurrentDocument current(WordApplication());
        if (!current.IsActiveDocumentSaved()) {
            if (current.IsActiveDocumentReadOnly()) {
                HideWaitingDialog();
                RaiseError(msg::PreviewOfReadOnlyTemplate);
            }
            current.SaveCurrentDocument(2, "");
        }
        ManageRevisionKeep(RevisionKeepOf(qzc.TemplateProperties() ? qzc.TemplateProperties()->RevisionKeep : ""));

        data.Open(folder + qzcFileName_, templatePath_,
                  [this](const std::string& sql) { return ResolveSqlParameters(sql); });
        if (!data.SkippedItems().empty()) {
            // The author learns why an object of the script is missing.
            std::string list;
            for (const auto& s : data.SkippedItems()) {
                const std::string what = s.command.empty() ? "connection \"" + s.connection + "\""
                                                           : "command \"" + s.command + "\" of \"" + s.connection + "\"";
                AutomationError skipped(kErrorFail, std::string(kErrorSource), what + " left out: " + s.reason);
                HandleError(skipped, kModule, "OpenAllConnections", kErrLog);
                list += "\r\n" + what + ": " + s.reason;
            }
            ui::currentHost().msgBox("These data sources could not be opened; the document is produced without them:" +
                                         list,
                                     ui::vbOKOnly | ui::vbExclamation, "Preview Document");
        }
        data.Register([this](const std::string& name, Ref<Dispatch> rs) { moProduction_->AddObject(name, rs); });
        moProduction_->TemplateFile(folder + templateFileName_);
        previewOutputFile_ = WinDirs::GetTemporaryFileName("RTF");
        // The document lives as long as its window, or this designer.
        if (sys::holdFile(previewOutputFile_) == 0) previewDocuments_.push_back(previewOutputFile_);
        RemoveTempFiles(previewOutputFile_);
        moProduction_->OutputFile(previewOutputFile_);
        moProduction_->TimeOut(previewTimeOut_);
        bool timedOut = false;
        moProduction_->ExecutionTimeOut = [&timedOut] { timedOut = true; };
        moProduction_->Execute();
        moProduction_->ExecutionTimeOut = nullptr;
        data.Close();
        HideWaitingDialog();
        if (timedOut) {
            // The stopped script leaves no document: the author learns why.
            std::ostringstream seconds;
            seconds << previewTimeOut_ / 1000;
            ui::currentHost().msgBox(
                "The preview was stopped by its time-out: the template's script ran longer than " + seconds.str() +
                    " seconds. No document was produced.",
                ui::vbOKOnly | ui::vbExclamation, "Preview Document");
        }
    }, [&](AutomationError& e) {
        previewOutputFile_.clear();
        // A script error was shown in its own window already.
        if (!gbScriptErrorOccurred) HandleError(e, kModule, "PreviewDocument", kErrShow);
        Quietly([&] { data.Close(); });
        moProduction_.reset();
        Quietly([&] { HideWaitingDialog(); });
    });
}

bool Designer::IsPreviewTempName(std::string_view name) {
    if (name.size() < 8 || !name.starts_with("RTF") || !name.ends_with(".TMP")) return false;
    for (std::size_t i = 3; i < name.size() - 4; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i])) || std::islower(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

void Designer::RemoveTempFiles(const std::string& newOutputFile) {
    Handled(kModule, "RemoveTempFiles", kErrLog | kErrRaise, [&] {
        const fs::path output = fs::absolute(newOutputFile);
        std::error_code ec;
        for (fs::directory_iterator it(output.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
            const fs::path& p = it->path();
            // Only earlier outputs of the preview; a file still open elsewhere,
            // or one that cannot be deleted, simply stays.
            if (p.filename() == output.filename() || !IsPreviewTempName(p.filename().string())) continue;
            std::error_code ignored;
            if (it->is_regular_file(ignored)) fs::remove(p, ignored);
        }
    });
}

void Designer::moProduction_ExecutionError(const production::ExecutionErrorInfo& e) {
    frmVbScriptError dialog;
    HandledWithCleanUp(kModule, "moProduction_ExecutionError", kErrLog | kErrRaise, [&] {
        HideWaitingDialog();
        dialog.InitForm(e.lNumber, e.sSource, e.sDescription, e.sText, e.lFieldLine, e.sFieldLabel,
                        static_cast<std::int32_t>(e.eQzFieldType));
        dialog.ShowModal();
        dialog.Unload();
    }, [&] { Quietly([&] { dialog.Unload(); }); });
}

} // namespace qz::designer
