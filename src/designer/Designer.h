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

namespace qz::designer {

class ModMSWordMenuToolbar;
class frmAbout;
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
    HelpCenter& GetHelpCenter() override;
    std::string ResolveSqlParameters(const std::string& sql) override;

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

private:
    void RunCommand(std::int32_t id);
    void Terminate();

    word::Application* app_ = nullptr;
    std::unique_ptr<HelpCenter> helpCenter_;
    std::unique_ptr<ModMSWordMenuToolbar> menuToolbar_;
    std::unique_ptr<frmAbout> about_;
    std::unique_ptr<frmWaiting> waiting_;
    std::string qzcFileName_;
    std::string templateFileName_;
    std::string templatePath_;
    std::string previewOutputFile_;
    bool templateReadOnly_ = false;
    std::int32_t requirements_ = 0;
};

} // namespace qz::designer
