// The designer's command dispatch driven as the add-in drives it: templates
// written to a private folder, a word-processor application, a headless UI
// host that records what the author was shown.
#include "core/CoreFixture.h"
#include "designer/Designer.h"
#include "designer/ModConversion.h"
#include "designer/ModMSWordMenuToolbar.h"
#include "designer/ModMsWordCurrentDocument.h"
#include "designer/forms/frmAbout.h"
#include "designer/forms/frmWaiting.h"
#include "platform/system/Settings.h"

#include <sys/stat.h>

using namespace qz;
using namespace qz::designer;

namespace {


// Also remembers the about box as it was shown.
struct DesignerHost : test::RecordingHost {
    std::vector<const ui::Form*> aboutForms;
    std::vector<std::string> aboutCaptions, aboutVersions;
    void showModal(ui::Form& form) override {
        if (auto* a = dynamic_cast<frmAbout*>(&form)) {
            aboutForms.push_back(a);
            aboutCaptions.push_back(a->Caption);
            aboutVersions.push_back(a->lblVersion.Caption);
        }
        test::RecordingHost::showModal(form);
    }
};

class DesignerCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setCurrentHost(&host);
        dir = home.root() + "/templates";
        std::filesystem::create_directories(dir);
        InstallAddinTemplate(app);
    }
    void TearDown() override {
        designer.reset();
        ui::setCurrentHost(nullptr);
    }
    void Start() {
        designer = std::make_unique<Designer>();
        designer->Initialize(app);
    }
    // A saved RTF document with a "QzVersion" (none when empty) and,
    // when qzcName is not empty, a QZC file of that name beside it.
    word::Document& Template(const std::string& name, const std::string& version,
                             const std::string& qzcName) {
        word::Document& doc = app.GetDocuments().Add();
        app.GetSelection().TypeText("Hello");
        if (!version.empty()) ModMsWordCurrentDocument(app).UpdateCustomDocumentProperty(version);
        doc.SaveAs(dir + "/" + name, 6);
        if (!qzcName.empty())
            test::TestHome::write(dir + "/" + qzcName,
                                  "<QZC><TemplateProperties><Version>" + version +
                                      "</Version></TemplateProperties><ConnectionList/></QZC>");
        return doc;
    }
    word::CommandBarControl& MenuItem(int i) { return designer->MenuToolbar().GetQzMenuHandle()->Controls().Item(i); }
    bool ButtonEnabled(int i) { return app.GetCommandBars().Item(kAddinToolBarName).Controls().Item(i).Enabled; }
    std::vector<std::string> Shown() { return host.errorTexts; }
    // The log lines of one routine that say the text.
    int Logged(const std::string& routine, const std::string& text) {
        int n = 0;
        for (const std::string& line : test::split(test::TestHome::read(ErrorLogFileName()), "\r\n"))
            n += line.find("\t" + routine + "\t") != std::string::npos && line.find(text) != std::string::npos;
        return n;
    }

    test::TestHome home;
    DesignerHost host;
    word::Application app;
    std::unique_ptr<Designer> designer;
    std::string dir;
};

} // namespace

TEST_F(DesignerCommand, WithoutDocumentsOnlyAboutHelpAndNewTemplateServeAndCommandsDoNothing) {
    Start();
    EXPECT_EQ(goDesigner, designer.get());
    designer->HandleCmd(qzCmdItemDocumentChange);
    word::CommandBarControl* menu = designer->MenuToolbar().GetQzMenuHandle();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->Enabled);  // About and Help always serve
    designer->HandleCmd(qzCmdItemMenu);
    EXPECT_EQ(MenuItem(1).Caption, "New &Template...");
    EXPECT_FALSE(MenuItem(2).Enabled);
    EXPECT_TRUE(MenuItem(7).Enabled);
    designer->HandleCmd(qzCmdItemInsertConditionalParagraph);
    for (int i = 1; i <= 4; ++i) EXPECT_FALSE(ButtonEnabled(i));
    EXPECT_TRUE(Shown().empty());
    designer.reset();
    EXPECT_EQ(goDesigner, nullptr);
}

TEST_F(DesignerCommand, OnlySavedRtfDocumentsWithQzcAndVersionAreTemplates) {
    Start();
    app.GetDocuments().Add();
    EXPECT_FALSE(designer->IsValidTemplate());  // never saved
    Template("Letter.doc", "8.2.2", "Letter.qzc");
    EXPECT_FALSE(designer->IsValidTemplate());
    Template("Upper.RTF", "8.2.2", "upper.QZC");
    EXPECT_TRUE(designer->IsValidTemplate());
    Template("Bare", "8.2.2", "Bare.qzc");
    EXPECT_TRUE(designer->IsValidTemplate());
    Template("NoVersion.rtf", "", "NoVersion.qzc");
    EXPECT_FALSE(designer->IsValidTemplate());
    Template("NoQzc.rtf", "8.2.2", "");
    EXPECT_FALSE(designer->IsValidTemplate());
    EXPECT_TRUE(Shown().empty());
}

TEST_F(DesignerCommand, DocumentChangeFollowsTheActiveTemplateAndItsReadOnlyQzc) {
    Start();
    Template("Report.rtf", "8.2.2", "Report.Qzc");
    ::chmod((dir + "/Report.Qzc").c_str(), 0444);
    designer->HandleCmd(qzCmdItemDocumentChange);
    designer->HandleCmd(qzCmdItemMenu);
    EXPECT_EQ(designer->TemplateFileName(), "Report.rtf");
    EXPECT_EQ(designer->TemplatePath(), dir);
    EXPECT_EQ(designer->QzcFileName(), "Report.Qzc");
    EXPECT_TRUE(designer->TemplateReadOnly());
    EXPECT_EQ(MenuItem(1).OnAction, "EditTemplateProperties_Click");
    for (int i = 1; i <= 4; ++i) EXPECT_TRUE(ButtonEnabled(i));

    app.GetDocuments().Add();
    designer->HandleCmd(qzCmdItemDocumentChange);
    EXPECT_EQ(designer->TemplateFileName(), "");
    EXPECT_EQ(designer->QzcFileName(), "");
    EXPECT_FALSE(designer->TemplateReadOnly());
    EXPECT_TRUE(designer->MenuToolbar().GetQzMenuHandle()->Enabled);
    EXPECT_FALSE(ButtonEnabled(1));
    // The layout follows the active document.
    EXPECT_EQ(MenuItem(1).OnAction, "CreateNewTemplate_Click");
    EXPECT_FALSE(MenuItem(2).Enabled);
    EXPECT_TRUE(MenuItem(8).Enabled);
    app.GetDocuments().Item(1).Close();
    app.GetDocuments().Item(1).Close();
    designer->HandleCmd(qzCmdItemDocumentChange);
    EXPECT_TRUE(designer->MenuToolbar().GetQzMenuHandle()->Enabled);
    EXPECT_TRUE(MenuItem(7).Enabled);
    EXPECT_FALSE(MenuItem(5).Enabled);
    EXPECT_TRUE(Shown().empty());
}

TEST_F(DesignerCommand, GatedCommandsRunOnlyAfterTheVersionCheck) {
    Start();
    Template("Unknown.rtf", "9.0.0", "Unknown.qzc");
    designer->HandleCmd(qzCmdItemInsertConditionalParagraph);
    designer->HandleCmd(99);  // no such command: still checked
    Template("Garbled.rtf", "abc", "Garbled.qzc");
    designer->HandleCmd(qzCmdItemOpenField);
    EXPECT_EQ(Shown(), std::vector<std::string>(3, "The template version is invalid."));
    EXPECT_EQ(app.ActiveDocument().Content().GetFields().All().size(), 0u);

    // 6.01 is older than the program but needs no conversion: the command runs.
    Template("Older.rtf", "6.01.00", "Older.qzc");
    designer->HandleCmd(qzCmdItemInsertConditionalParagraph);
    EXPECT_EQ(Shown().size(), 3u);
    EXPECT_GT(app.ActiveDocument().Content().GetFields().All().size(), 0u);
}

TEST_F(DesignerCommand, RefusedConversionIsLoggedOnlyAndAFailedOneChangesNothing) {
    Start();
    Template("Old.rtf", "5.16.99", "Old.qzc");
    const std::string before = test::TestHome::read(dir + "/Old.rtf");
    const std::string qzcBefore = test::TestHome::read(dir + "/Old.qzc");
    host.queueMsgBoxResult(ui::vbNo);
    designer->HandleCmd(qzCmdItemRestoreFieldColor);
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(Logged("HandleCmd", "Conversion is abort by the user."), 1);
    // Accepted, but the QZC file is no old database: the conversion fails.
    host.queueMsgBoxResult(ui::vbYes);
    designer->HandleCmd(qzCmdItemRestoreFieldColor);
    EXPECT_EQ(Shown().size(), 1u);
    EXPECT_EQ(test::TestHome::read(dir + "/Old.rtf"), before);
    EXPECT_EQ(test::TestHome::read(dir + "/Old.qzc"), qzcBefore);
    EXPECT_FALSE(std::filesystem::exists(dir + "/Old.qzc.bak"));
    auto boxes = host.requests(ui::UiRequest::MsgBox);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Quorvane Studio");
}

TEST_F(DesignerCommand, UnmetRequirementsStopGatedCommands) {
    sys::writeSetting(sys::SettingsScope::Machine, "SOFTWARE\\Microsoft\\Internet Explorer", "Version",
                      "4.72.3110.8");
    Start();
    EXPECT_EQ(designer->RequirementsStatus(), 2);
    Template("Report.rtf", "8.2.2", "Report.qzc");
    designer->HandleCmd(qzCmdItemInsertConditionalParagraph);
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_NE(Shown()[0].find("requires Microsoft Internet Explorer version 5"), std::string::npos);
}

TEST_F(DesignerCommand, AboutBoxShowsTheProgramVersionAndIsKept) {
    Start();
    EXPECT_EQ(designer->Version(), "8.2.2");
    designer->HandleCmd(qzCmdItemAbout);
    designer->HandleCmd(qzCmdItemAbout);
    ASSERT_EQ(host.aboutForms.size(), 2u);
    EXPECT_EQ(host.aboutForms[0], host.aboutForms[1]);
    EXPECT_EQ(host.aboutCaptions[0], "About Quorvane Studio");
    EXPECT_EQ(host.aboutVersions[0], "8.2.2 ");
}

TEST_F(DesignerCommand, WaitingDialogIsOneWindowWhileShownAndGoneAfterHide) {
    Start();
    designer->HideWaitingDialog();
    designer->RefreshWaitingDialog();
    EXPECT_TRUE(host.requests(ui::UiRequest::Modeless).empty());
    designer->ShowWaitingDialog("First", "One");
    designer->ShowWaitingDialog("Preparing Document...", "Preview Document");
    EXPECT_TRUE(host.busy());
    int waiting = 0;
    for (ui::Form* f : ui::loadedForms()) {
        if (f->Name() != "frmWaiting") continue;
        ++waiting;
        EXPECT_EQ(f->Caption, "Preview Document");
        EXPECT_EQ(static_cast<frmWaiting*>(f)->lblWaiting.Caption, "Preparing Document...");
    }
    EXPECT_EQ(waiting, 1);
    designer->HideWaitingDialog();
    EXPECT_FALSE(host.busy());
    for (ui::Form* f : ui::loadedForms()) EXPECT_NE(f->Name(), "frmWaiting");
}

TEST(TemplateVersion, ComparesByMajorAndMinorOnly) {
    EXPECT_EQ(ModConversion::CompareVersion("8.2.2", "8.02.00"), 0);
    EXPECT_EQ(ModConversion::CompareVersion("5.16.99", "5.16.29"), 0);
    EXPECT_EQ(ModConversion::CompareVersion("6.01.00", "8.2.2"), -1);
    EXPECT_EQ(ModConversion::CompareVersion("8.1.9", "8.2.0"), -1);
    EXPECT_EQ(ModConversion::CompareVersion("9.0.0", "8.2.2"), 1);
    std::int32_t major = 7, minor = 7, revision = 7;
    ModConversion::ParseVersionString("", major, minor, revision);
    EXPECT_EQ(major + minor + revision, 21);
    ModConversion::ParseVersionString("12", major, minor, revision);
    EXPECT_EQ(std::tie(major, minor, revision), std::make_tuple(7, 7, 12));
    ModConversion::ParseVersionString(" 8 . 02 .1", major, minor, revision);
    EXPECT_EQ(std::tie(major, minor, revision), std::make_tuple(8, 2, 1));
    for (const char* bad : {"abc", "8..2", "8.x.0", ".2.2"}) {
        try {
            ModConversion::ParseVersionString(bad, major, minor, revision);
            ADD_FAILURE() << bad;
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.Number, 13) << bad;
        }
    }
}

TEST_F(DesignerCommand, VersionStatusAgainstTheProgram) {
    ModConversion conversion(app);
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"8.2.5", kVersionSame}, {"8.02.00", kVersionSame}, {"6.01.00", kVersionOlder},
        {"5.16.99", kVersionOlder}, {"", kVersionUnknown}, {"9.0.0", kVersionUnknown},
        {"8.3.0", kVersionUnknown}, {"abc", kVersionUnknown}};
    for (const auto& [version, status] : cases) {
        Template("V.rtf", version, "");
        EXPECT_EQ(conversion.GetTemplateVersionStatus(), status) << version;
        app.GetDocuments().Close(app.ActiveDocument());
    }
}
