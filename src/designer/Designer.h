// The designer: the one object through which the word processor's add-in
// drives the system. The add-in creates it, hands it the word processor's
// Application (Initialize), and forwards every menu click, toolbar click and
// change of the active document as a command id to HandleCmd.
//
// The designer keeps the state of the active template (DesignerState, read
// by every dialog and module through goDesigner), decides which commands may
// run, and runs them. Commands 10, 15, 65, 70 and 100 always run; every
// other one only on a valid template (saved, ".rtf" or no extension, its QZC
// file beside it, a "QzVersion" property) and after the version check.
#pragma once

#include "core/DesignerState.h"
#include "designer/DesignerCommands.h"
#include "platform/word/Application.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qz::production {
class Production;
struct ExecutionErrorInfo;
}

namespace qz::editors {
class FieldEditors;
}
namespace qz::datasources {
class frmDataLink;
}

namespace qz::designer {

class ModMSWordMenuToolbar;
class frmAbout;
class frmQzProperties;
class frmWaiting;

class Designer : public DesignerState, public DesignerCommands {
public:
    // Stores itself in goDesigner and makes its help centre.
    Designer();
    // Unloads its dialogs, drops the menu and toolbar references, clears the
    // thread's application object, and goDesigner when it refers to it.
    ~Designer() override;
    Designer(const Designer&) = delete;
    Designer& operator=(const Designer&) = delete;

    // The program's version ("8.2.2"), stamped into templates.
    std::string Version() const;
    // Keeps the word processor and records the system-requirements status.
    void Initialize(word::Application& wordApplication);
    // Runs one command. Never raises: failures are logged and shown, a
    // refused conversion (4047) only logged.
    void HandleCmd(std::int32_t lMenuItem) override;
    // True when the file exists (name compared without letter case) and
    // nobody may write it.
    bool FileIsReadOnly(const std::string& sFile);

    // DesignerState
    bool TemplateReadOnly() const override { return templateReadOnly_; }
    void SetTemplateReadOnly(bool value) override { templateReadOnly_ = value; }
    std::string TemplatePath() const override { return templatePath_; }
    void SetTemplatePath(const std::string& value) override { templatePath_ = value; }
    std::string QzcFileName() const override { return qzcFileName_; }
    void SetQzcFileName(const std::string& value) override { qzcFileName_ = value; }
    std::string TemplateFileName() const override { return templateFileName_; }
    void SetTemplateFileName(const std::string& value) override { templateFileName_ = value; }
    std::string PreviewOutputFile() const override { return previewOutputFile_; }
    void SetPreviewOutputFile(const std::string& value) override { previewOutputFile_ = value; }
    // How long a preview's script may run, in milliseconds (45 seconds).
    void SetPreviewTimeOut(double ms) { previewTimeOut_ = ms; }
    HelpCenter& GetHelpCenter() override;
    ado::BoundSql ResolveSqlParameters(const std::string& sql) override;

    // The word processor; raises its "no document open" error (4248) before
    // Initialize.
    word::Application& WordApplication();
    std::int32_t RequirementsStatus() const noexcept { return requirements_; }
    ModMSWordMenuToolbar& MenuToolbar();

    // Whether the active document is a template the gated commands may
    // work on. "No document open" gives false silently.
    bool IsValidTemplate();
    // Command 100: the state follows the active document; menu and toolbar
    // are enabled or disabled to match.
    void WordDocumentChange();
    void ShowAboutQuorvane();
    void ShowHelp();

    // The waiting window of long operations: shown (made when there is
    // none) with a message and a caption, redrawn, and unloaded.
    void ShowWaitingDialog(const std::string& message, const std::string& caption);
    void RefreshWaitingDialog();
    void HideWaitingDialog();

    // Operations of the commands.
    void EditExpressionField();       // 1
    void EditStatementField();        // 2
    void NewTemplate();               // 15
    void EditTemplate();              // 20
    void EditConnection();            // 25
    void InsertStatementField();      // 30
    void InsertExpressionField();     // 35
    void InsertRepeatingParagraph();  // 45
    void PreviewDocument();           // 50

    // The template's base name and ".qzc".
    static std::string GetQzcFileNameFromTemplateName(const std::string& templateFileName);
    // The active document's base name and ".rtf" ("Document1" gives
    // "Document1.rtf", "Letter.doc" "Letter.rtf").
    std::string RetrieveQzTemplateFileName();
    // The script module's name: the template's base name and ".vbs", of the
    // designer state's template (fromState) or of the active document.
    std::string RetrieveTemplateModuleFileName(bool fromState);

    // Revision copies of the template, made before each preview: the next
    // numbered copy "<base>rev-<n>.rtf" in the folder "<base>REV" beside the
    // template. keep 1 to 10 keeps that many (the copy that falls out of the
    // window is deleted), 11 keeps all, 12 (or anything below 1) none.
    void ManageRevisionKeep(std::int32_t keep);
    // The highest revision number in a revision folder, 0 when none.
    static std::int32_t SearchLastFileRevision(const std::string& revisionFolder);
    // Deletes one revision file (read-only or not) when it is there.
    void RemoveRevisionFile(const std::string& revisionFolder, std::int32_t revision);
    // The template's revision folder.
    std::string RevisionFolder() const;

    // Deletes the output files of earlier previews: the temporary files
    // "RTF<hex>.TMP" of the new output's folder, never the new output itself
    // nor any other file whose name merely begins with "RTF".
    static void RemoveTempFiles(const std::string& newOutputFile);
    // A name the temporary-file routine makes with the prefix "RTF":
    // "RTF", hexadecimal digits, ".TMP".
    static bool IsPreviewTempName(std::string_view name);
    // Removes the preview documents this designer made that no window shows
    // any more (all of them when it ends): each is held (sys::holdFile) from
    // its making, so that what a designer that died left behind goes when the
    // next one starts (Initialize).
    void RemoveClosedPreviews(bool all = false);

    // Writes the template-properties dialog's values into the QZC file it
    // names. A new file also gets the version and a copy of the active
    // template's connections and commands, and appears whole or not at all.
    // False (after saying why) when the QZC file is read-only.
    bool SaveQzc();
    // The kept template-properties dialog (made on first use).
    frmQzProperties& QzPropertiesDialog();

private:
    void RunCommand(std::int32_t id);
    void Terminate();
    void moProduction_ExecutionError(const production::ExecutionErrorInfo& e);
    // Backups of files a template command is about to replace: each existing
    // file is moved to "<name>.tmp" (its name is added to `made`); a walk that
    // fails part-way puts back what it moved, says why (4045 for a folder
    // that cannot be written) and returns false.
    bool CreateTempFiles(const std::vector<std::string>& files, std::vector<std::string>& made);
    // Puts every "<name>.tmp" back under its name; nothing of it fails.
    static void RestoreTempFiles(const std::vector<std::string>& tmpFiles) noexcept;
    static void DeleteTempFiles(const std::vector<std::string>& tmpFiles) noexcept;
    void CopyVbsTemplateModule(const std::string& fromFolder, const std::string& toFolder);
    // One pass loop of NewTemplate and EditTemplate after the dialog was filled.
    void RunTemplatePasses(bool editing);

    word::Application* app_ = nullptr;
    std::unique_ptr<HelpCenter> helpCenter_;
    std::unique_ptr<ModMSWordMenuToolbar> menuToolbar_;
    std::unique_ptr<frmAbout> about_;
    std::unique_ptr<frmWaiting> waiting_;
    std::unique_ptr<frmQzProperties> properties_;
    // The field editors, made on the first field command and kept.
    std::unique_ptr<editors::FieldEditors> fieldEditors_;
    // The data-sources window, made on the first command 25 and kept.
    std::unique_ptr<datasources::frmDataLink> dataLink_;
    editors::FieldEditors& Editors();
    std::unique_ptr<production::Production> moProduction_;
    std::string qzcFileName_;
    std::string templateFileName_;
    std::string templatePath_;
    std::string previewOutputFile_;
    std::vector<std::string> previewDocuments_;  // made by this designer, held
    double previewTimeOut_ = 45000;
    bool templateReadOnly_ = false;
    std::int32_t requirements_ = 0;
};

} // namespace qz::designer
