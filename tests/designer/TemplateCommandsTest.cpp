// The template commands driven as the add-in drives them: revision copies,
// new templates and their properties, the preview end to end, and the
// conversion of older templates. Templates live in a private home; a
// headless host plays the author.
#include "core/CoreFixture.h"
#include "core/WinDirs.h"
#include "core/forms/frmVbScriptError.h"
#include "designer/Designer.h"
#include "designer/ModMSWordMenuToolbar.h"
#include "designer/ModMsWordCurrentDocument.h"
#include "designer/ModQueryParameters.h"
#include "designer/forms/frmParameters.h"
#include "designer/forms/frmQzProperties.h"
#include "designer/modMSWordFields.h"
#include "platform/system/Files.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

using namespace qz;
using namespace qz::designer;
namespace fs = std::filesystem;

namespace {

using test::TestHome;

// Remembers what the script-error dialog showed.
struct TemplateHost : test::RecordingHost {
    std::vector<std::string> scriptErrors;
    void showModal(ui::Form& form) override {
        if (auto* e = dynamic_cast<frmVbScriptError*>(&form))
            scriptErrors.push_back(e->fraQzField.Caption + "|" + e->txtQzFieldName.Text + "|" +
                                   e->txtQzFieldLineNumber.Text + "|" + e->txtQzFieldCode.Text + "|" +
                                   e->txtErrorDescription.Text);
        test::RecordingHost::showModal(form);
    }
};

// A file or folder nobody may change while it lives, root included (the
// tests may run as root, whom permission bits do not stop).
class Unwritable {
public:
    explicit Unwritable(std::string path) : path_(std::move(path)) { set(true); }
    ~Unwritable() { set(false); }

private:
    void set(bool on) {
        struct stat st {};
        ::stat(path_.c_str(), &st);
        ::chmod(path_.c_str(), on ? (st.st_mode & ~0222) : (st.st_mode | 0200));
        if (::geteuid() != 0) return;
        int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0) ::close(fd);
    }
    std::string path_;
};

void Sql(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// Every file below a folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) files[e.path().string()] = TestHome::read(e.path().string());
    return files;
}

class TemplateCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setCurrentHost(&host);
        dir = home.root() + "/templates";
        fs::create_directories(dir);
        InstallAddinTemplate(app);
        designer = std::make_unique<Designer>();
        designer->Initialize(app);
    }
    void TearDown() override {
        designer.reset();
        ui::setCurrentHost(nullptr);
    }
    // A template saved as dir/name with a QZC file of the given connections.
    word::Document& Template(const std::string& name, const std::string& connections = "",
                             const std::string& keep = "12", const std::string& version = "8.2.2") {
        word::Document& doc = app.GetDocuments().Add();
        app.GetSelection().TypeText("Hello ");
        ModMsWordCurrentDocument(app).UpdateCustomDocumentProperty(version);
        doc.SaveAs(dir + "/" + name, 6);
        TestHome::write(dir + "/" + name.substr(0, name.size() - 4) + ".qzc",
                        "<QZC><TemplateProperties><Version>8.2.2</Version><RevisionKeep>" + keep +
                            "</RevisionKeep><Locale>1033</Locale></TemplateProperties><ConnectionList>" +
                            connections + "</ConnectionList></QZC>");
        designer->HandleCmd(qzCmdItemDocumentChange);
        return doc;
    }
    // Fills the properties dialog as the author would, then presses a button.
    void OnProperties(std::function<void(frmQzProperties&)> act) {
        host.queueFormAction([act](ui::Form& f) { act(dynamic_cast<frmQzProperties&>(f)); });
    }
    std::vector<std::string> AppDataTemps(const std::string& prefix) {
        std::vector<std::string> names;
        if (fs::is_directory(home.appData()))
            for (const auto& e : fs::directory_iterator(home.appData()))
                if (e.path().filename().string().rfind(prefix, 0) == 0) names.push_back(e.path().filename().string());
        return names;
    }

    TestHome home;
    TemplateHost host;
    word::Application app;
    std::unique_ptr<Designer> designer;
    std::string dir;
};

// The files of a folder, but for the locks of the documents open on them.
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    if (fs::is_directory(folder))
        for (const auto& e : fs::directory_iterator(folder))
            if (!e.path().filename().string().starts_with(".~lock.")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(TemplateCommands, RevisionCopiesKeepTheLastWindowAndNumberPastGapsAndStrays) {
    designer->SetTemplatePath(dir);
    designer->SetTemplateFileName("Invoice.rtf");
    TestHome::write(dir + "/Invoice.rtf", "{\\rtf1 one}");
    for (std::int32_t none : {12, 0, -3}) designer->ManageRevisionKeep(none);
    EXPECT_FALSE(fs::exists(dir + "/InvoiceREV"));
    for (int i = 0; i < 4; ++i) designer->ManageRevisionKeep(3);
    EXPECT_EQ(Listing(dir + "/InvoiceREV"),
              (std::vector<std::string>{"Invoicerev-2.rtf", "Invoicerev-3.rtf", "Invoicerev-4.rtf"}));
    EXPECT_EQ(TestHome::read(dir + "/InvoiceREV/Invoicerev-4.rtf"), "{\\rtf1 one}");
    // Strays, other extensions and a gap: the highest number wins.
    for (const char* stray : {"Invoice.rtf", "Invoicenotes.rtf", "InvoiceREV-9.RTF", "Invoicerev-x.rtf", "Invoicerev-12.txt"})
        TestHome::write(dir + "/InvoiceREV/" + stray, "");
    EXPECT_EQ(Designer::SearchLastFileRevision(dir + "/InvoiceREV"), 9);
    designer->ManageRevisionKeep(11);
    EXPECT_TRUE(fs::exists(dir + "/InvoiceREV/Invoicerev-10.rtf"));
    designer->ManageRevisionKeep(2);  // deletes revision 9, the one that leaves the window
    EXPECT_FALSE(fs::exists(dir + "/InvoiceREV/InvoiceREV-9.RTF"));
    EXPECT_FALSE(fs::exists(dir + "/InvoiceREV/Invoicerev-9.rtf"));
    EXPECT_TRUE(fs::exists(dir + "/InvoiceREV/Invoicerev-11.rtf"));
    EXPECT_TRUE(fs::exists(dir + "/InvoiceREV/Invoicerev-2.rtf"));  // below the window: stays

    designer->SetTemplateFileName("Preview.rtf");
    TestHome::write(dir + "/Preview.rtf", "p");
    designer->ManageRevisionKeep(5);
    designer->ManageRevisionKeep(5);
    EXPECT_EQ(Listing(dir + "/PreviewREV"), (std::vector<std::string>{"Previewrev-1.rtf", "Previewrev-2.rtf"}));
}

TEST_F(TemplateCommands, NewTemplateWritesItsQzcAndSavesTheDocumentAsRtf) {
    app.GetDocuments().Add();
    app.GetSelection().TypeText("Dear customer");
    OnProperties([&](frmQzProperties& d) {
        EXPECT_EQ(d.Caption, "Qz Template Properties");
        EXPECT_EQ(d.QzTemplateFileName, "Document1.rtf");
        EXPECT_EQ(d.cboRevision.Text, "None");
        EXPECT_EQ(d.cboLocale.Text, "<System Default>");
        EXPECT_EQ(d.QzTemplatePath, WinDirs::GetPersonalPath());  // a new document's: the documents folder
        d.QzTemplatePath = dir;
        d.cmdOk_Click();
    });
    designer->HandleCmd(qzCmdItemCreateNewTemplate);
    EXPECT_TRUE(host.errorTexts.empty()) << host.errorTexts[0];
    EXPECT_EQ(app.ActiveDocument().FullName(), dir + "/Document1.rtf");
    EXPECT_EQ(ModMsWordCurrentDocument(app).RetrieveCustomDocumentProperty(), "8.2.2");
    const std::string qzc = TestHome::read(dir + "/Document1.qzc");
    for (const char* part : {"<Version>8.2.2</Version>", "<RevisionKeep>12</RevisionKeep>", "<Locale>-1</Locale>",
                             "<StringFormat>UseDefaultProperties:-1</StringFormat>", "<ConnectionList/>"})
        EXPECT_NE(qzc.find(part), std::string::npos) << part;
    EXPECT_EQ(designer->TemplateFileName(), "Document1.rtf");
    EXPECT_EQ(designer->TemplatePath(), dir);
    EXPECT_TRUE(designer->IsValidTemplate());
    EXPECT_EQ(Listing(dir), (std::vector<std::string>{"Document1.qzc", "Document1.rtf"}));

    // A saved document is proposed its own folder, and becomes a template
    // under its own name without a question.
    std::filesystem::create_directory(dir + "/letters");
    app.GetDocuments().Add().SaveAs(dir + "/letters/Letter.rtf");
    OnProperties([&](frmQzProperties& d) {
        EXPECT_EQ(d.QzTemplatePath, dir + "/letters");
        d.cmdOk_Click();
    });
    const std::size_t asked = host.requests(ui::UiRequest::MsgBox).size();
    designer->HandleCmd(qzCmdItemCreateNewTemplate);
    EXPECT_TRUE(host.errorTexts.empty()) << host.errorTexts[0];
    EXPECT_EQ(host.requests(ui::UiRequest::MsgBox).size(), asked);
    EXPECT_TRUE(designer->IsValidTemplate());
    EXPECT_EQ(Listing(dir + "/letters"), (std::vector<std::string>{"Letter.qzc", "Letter.rtf"}));
}

TEST_F(TemplateCommands, ExistingFilesAskFirstAndOpenDocumentsAreRefused) {
    word::Document& open = Template("Report.rtf");
    const auto before = Snapshot(dir);
    app.GetDocuments().Add();
    app.GetSelection().TypeText("New text");
    designer->HandleCmd(qzCmdItemDocumentChange);
    // The name of an open document, then No to the replace prompt, then Yes.
    auto name = [&](const std::string& file) {
        OnProperties([this, file](frmQzProperties& d) {
            d.QzTemplatePath = dir;
            d.QzTemplateFileName = file;
            d.QzcFilename = "Report.qzc";
            d.cmdOk_Click();
        });
    };
    name("Report.rtf");
    host.queueFormAction([](ui::Form& error) { error.Hide(); });
    OnProperties([&](frmQzProperties& d) {
        EXPECT_EQ(d.QzTemplateFileName, "Report.rtf");  // the entries are kept between passes
        d.cmdCancel_Click();
    });
    designer->HandleCmd(qzCmdItemCreateNewTemplate);
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(host.errorTexts[0], GetResourceString(4020));
    EXPECT_EQ(host.frameCaptions[0], "NewTemplate");
    EXPECT_EQ(Snapshot(dir), before);

    open.Close();
    name("Report.rtf");
    host.queueMsgBoxResult(ui::vbNo);
    name("Report.rtf");
    host.queueMsgBoxResult(ui::vbYes);
    designer->HandleCmd(qzCmdItemCreateNewTemplate);
    EXPECT_EQ(host.requests(ui::UiRequest::Modal).size(), 5u);
    EXPECT_EQ(host.requests(ui::UiRequest::MsgBox)[0].prompt, "Files already exists. Do you want to replace existing files?");
    EXPECT_EQ(Listing(dir), (std::vector<std::string>{"Report.qzc", "Report.rtf"}));  // no .tmp left behind
    EXPECT_NE(TestHome::read(dir + "/Report.rtf").find("New text"), std::string::npos);
}

TEST_F(TemplateCommands, AFolderThatCannotBeWrittenGivesBackEveryFile) {
    Template("Report.rtf");
    app.GetDocuments().Add();
    const auto before = Snapshot(dir);
    {
        Unwritable guard(dir);
        OnProperties([&](frmQzProperties& d) {
            d.QzTemplatePath = dir;
            d.QzTemplateFileName = "Report.rtf";
            d.QzcFilename = "Report.qzc";
            app.GetDocuments().Item(1).Close();
            d.cmdOk_Click();
        });
        host.queueMsgBoxResult(ui::vbYes);
        designer->HandleCmd(qzCmdItemCreateNewTemplate);  // the second pass is closed: Cancel
    }
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(host.errorTexts[0], GetResourceString(4045));
    EXPECT_EQ(Snapshot(dir), before);
}

TEST_F(TemplateCommands, EditingPropertiesRewritesOnlyTheQzcAndAReadOnlyOneIsRefused) {
    Template("Report.rtf");
    const std::string rtf = TestHome::read(dir + "/Report.rtf");
    OnProperties([](frmQzProperties& d) {
        EXPECT_EQ(d.cboRevision.Text, "None");
        d.cboRevision.Select(5);
        d.cboRevision_Click();
        d.cmdOk_Click();
    });
    designer->HandleCmd(qzCmdItemEditTemplateProperties);
    EXPECT_NE(TestHome::read(dir + "/Report.qzc").find("<RevisionKeep>5</RevisionKeep>"), std::string::npos);
    EXPECT_NE(TestHome::read(dir + "/Report.qzc").find("<Locale>1033</Locale>"), std::string::npos);
    EXPECT_EQ(TestHome::read(dir + "/Report.rtf"), rtf);

    const std::string qzc = TestHome::read(dir + "/Report.qzc");
    ::chmod((dir + "/Report.qzc").c_str(), 0444);
    designer->HandleCmd(qzCmdItemDocumentChange);
    OnProperties([](frmQzProperties& d) {
        EXPECT_EQ(d.Caption, "Qz Template Properties (Read Only)");
        d.cmdOk_Click();
    });
    designer->HandleCmd(qzCmdItemEditTemplateProperties);
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(host.errorTexts[0], "Cannot update Quorvane template properties.\r\nThe Qzc file '" + dir +
                                      "/Report.qzc' is read-only.");
    EXPECT_EQ(TestHome::read(dir + "/Report.qzc"), qzc);
    EXPECT_EQ(host.requests(ui::UiRequest::Modal).size(), 4u);  // shown again, then closed
}

TEST_F(TemplateCommands, SaveAsMovesTheTemplateItsConnectionsAndItsModule) {
    Template("Report.rtf",
             "<Connection ID=\"ID4\"><Name>Shop</Name><DataSource>shop.db</DataSource><ConnectionType>6</ConnectionType>"
             "<CommandList><Command ID=\"ID7\"><Name>Cust</Name><Text>SELECT 1</Text></Command></CommandList></Connection>");
    TestHome::write(dir + "/Report.vbs", "Sub Hello\r\nEnd Sub\r\n");
    TestHome::write(dir + "/Invoice.vbs", "old module");
    ui::FileDialogResult chosen;
    chosen.outcome = ui::FileDialogResult::Ok;
    chosen.path = dir + "/Invoice";
    host.queueFileDialog(chosen);
    OnProperties([this](frmQzProperties& d) {
        d.cmdSaveAs_Click();
        EXPECT_EQ(d.QzTemplateFileName, "Invoice.rtf");
        EXPECT_EQ(d.QzcFilename, "Invoice.qzc");
        EXPECT_EQ(d.lblQZCFileName.Caption, dir + "/Invoice.qzc");
        EXPECT_EQ(d.txtRevisionPath.Text, dir + "/InvoiceREV");
        d.cmdOk_Click();
    });
    host.queueMsgBoxResult(ui::vbYes);  // Invoice.vbs is there already
    designer->HandleCmd(qzCmdItemEditTemplateProperties);
    EXPECT_TRUE(host.errorTexts.empty());
    EXPECT_EQ(Listing(dir), (std::vector<std::string>{"Invoice.qzc", "Invoice.rtf", "Invoice.vbs", "Report.qzc",
                                                      "Report.rtf", "Report.vbs"}));
    EXPECT_EQ(TestHome::read(dir + "/Invoice.vbs"), "Sub Hello\r\nEnd Sub\r\n");
    const std::string qzc = TestHome::read(dir + "/Invoice.qzc");
    EXPECT_NE(qzc.find("<Connection ID=\"ID1\"><Name>Shop</Name>"), std::string::npos) << qzc;
    EXPECT_NE(qzc.find("<Command ID=\"ID1\"><Name>Cust</Name><Text>SELECT 1</Text>"), std::string::npos) << qzc;
    EXPECT_EQ(designer->TemplateFileName(), "Invoice.rtf");
    EXPECT_EQ(app.ActiveDocument().FullName(), dir + "/Invoice.rtf");
}

TEST_F(TemplateCommands, ARenameThatFailsLeavesNothingBehind) {
    Template("Report.rtf");
    std::filesystem::create_directory(dir + "/Invoice.rtf");  // in the way of the new name
    const auto before = Snapshot(dir);
    OnProperties([this](frmQzProperties& d) {
        d.QzTemplateFileName = "Invoice.rtf";
        d.QzcFilename = "Invoice.qzc";
        d.cmdOk_Click();
    });
    designer->HandleCmd(qzCmdItemEditTemplateProperties);
    EXPECT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(Snapshot(dir), before);
    EXPECT_TRUE(fs::is_directory(dir + "/Invoice.rtf"));
    EXPECT_EQ(app.ActiveDocument().FullName(), dir + "/Report.rtf");
    EXPECT_EQ(designer->TemplateFileName(), "Report.rtf");
}

TEST_F(TemplateCommands, PreviewProducesTheExampleAndRemovesOnlyItsOwnEarlierOutputs) {
    for (const char* f : {"invoice.rtf", "invoice.qzc", "invoice.db"})
        fs::copy_file(std::string(QZ_SOURCE_DIR) + "/examples/" + f, dir + "/" + f);
    app.GetDocuments().Open(dir + "/invoice.rtf");
    designer->HandleCmd(qzCmdItemDocumentChange);
    designer->HandleCmd(qzCmdItemPreviewDocument);
    EXPECT_TRUE(host.errorTexts.empty()) << host.errorTexts[0];
    ASSERT_EQ(app.GetDocuments().Count(), 2);
    const std::string first = designer->PreviewOutputFile();
    EXPECT_EQ(app.ActiveDocument().FullName(), first);
    EXPECT_NE(app.ActiveDocument().Content().Text().find("Brasserie L\xC3\xA9on & Fils"), std::string::npos);
    EXPECT_TRUE(host.requests(ui::UiRequest::MsgBox).empty());

    for (const char* other : {"RTFnotes.txt", "rtf1A.TMP", "RTFZZ.TMP"}) TestHome::write(home.appData() + "/" + other, "x");
    app.Activate(&app.GetDocuments().Item(1));
    designer->HandleCmd(qzCmdItemPreviewDocument);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(designer->PreviewOutputFile()));
    EXPECT_EQ(AppDataTemps("RTF").size(), 3u);  // the new output and the two foreign files
    EXPECT_EQ(AppDataTemps("rtf").size(), 1u);
    EXPECT_EQ(app.GetDocuments().Count(), 3);
}

// A preview's document lives as long as its window, or the studio: closing
// the window removes the file, and so does the end of the designer. What a
// studio that died left goes when the next one starts; a running one's stays.
TEST_F(TemplateCommands, PreviewDocumentsGoWithTheirWindows) {
    for (const char* f : {"invoice.rtf", "invoice.qzc", "invoice.db"})
        fs::copy_file(std::string(QZ_SOURCE_DIR) + "/examples/" + f, dir + "/" + f);
    word::Document& templ = app.GetDocuments().Open(dir + "/invoice.rtf");
    designer->HandleCmd(qzCmdItemDocumentChange);
    const auto preview = [&] {
        app.Activate(&templ);
        designer->HandleCmd(qzCmdItemPreviewDocument);
        EXPECT_EQ(app.ActiveDocument().FullName(), designer->PreviewOutputFile());
        EXPECT_TRUE(fs::exists(designer->PreviewOutputFile()));
        return designer->PreviewOutputFile();
    };
    const std::string first = preview();
    app.GetDocuments().Close(app.ActiveDocument());
    designer->HandleCmd(qzCmdItemDocumentChange);
    EXPECT_FALSE(fs::exists(first));
    const std::string second = preview();
    designer->HandleCmd(qzCmdItemDocumentChange);
    EXPECT_TRUE(fs::exists(second));  // still shown

    // A studio that died, and one that runs (this process).
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = home.appData() + "/RTFDEAD.TMP", alive = home.appData() + "/RTFA11.TMP";
    TestHome::write(dead, "{\\rtf1}");
    TestHome::write(home.appData() + "/.RTFDEAD.TMP.qzpart-" + std::to_string(gone) + "-1-held.tmp", "");
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    TestHome::write(home.appData() + "/.~lock.RTFDEAD.TMP#", "me," + std::string(host) + "," + std::to_string(gone) + ",2026-01-01 10:00\n");
    TestHome::write(alive, "{\\rtf1}");
    ASSERT_EQ(sys::holdFile(alive), 0);
    designer.reset();
    EXPECT_FALSE(fs::exists(second));
    designer = std::make_unique<Designer>();
    designer->Initialize(app);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_FALSE(fs::exists(home.appData() + "/.~lock.RTFDEAD.TMP#"));
    EXPECT_TRUE(fs::exists(alive));
    sys::releaseFile(alive);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(home.appData()))
        if (const std::string name = e.path().filename().string(); name.starts_with("RTF") || name.starts_with(".RTF"))
            left.push_back(name);  // the documents and their marks (the word processor's locks aside)
    EXPECT_TRUE(left.empty()) << left.front();
}

TEST_F(TemplateCommands, PreviewAsksForParametersAndShowsScriptErrorsWithoutOpening) {
    Sql(dir + "/shop.db", "CREATE TABLE C (Name TEXT, City TEXT); INSERT INTO C VALUES ('Anna','Rome'),('Bob','Oslo');");
    word::Document& doc = Template(
        "Cust.rtf",
        "<Connection ID=\"ID1\"><Name>Shop</Name><DataSource>Provider=Microsoft.Jet.OLEDB.4.0;Data Source=shop.db"
        "</DataSource><ConnectionType>0</ConnectionType><CommandList><Command ID=\"ID1\"><Name>Cust</Name>"
        "<Text>SELECT Name FROM C WHERE City = ?</Text></Command></CommandList></Connection>",
        "2");
    modMSWordFields(app).InsertExpressionField("Name", "Cust.Fields(\"Name\").Value", "String;UseDefaultProperties:-1", "-1");
    host.queueFormAction([](ui::Form& f) {
        EXPECT_EQ(f.Caption, "City = ?");
        auto& prompt = dynamic_cast<frmParameters&>(f);
        prompt.txtParameter.Text = "'Rome'";
        prompt.cmdOk_Click();
    });
    designer->HandleCmd(qzCmdItemPreviewDocument);
    ASSERT_EQ(app.GetDocuments().Count(), 2);
    const std::string produced = app.ActiveDocument().Content().Text();
    EXPECT_NE(produced.find("Anna"), std::string::npos);
    EXPECT_EQ(produced.find("Bob"), std::string::npos);
    EXPECT_TRUE(doc.Saved());  // saved before the preview
    EXPECT_EQ(Listing(dir + "/CustREV"), std::vector<std::string>{"Custrev-1.rtf"});

    app.Activate(&doc);
    modMSWordFields(app).InsertStatementField({0, 0, "Divide", 0, 0, "x = 1 / 0"});
    host.queueFormAction([](ui::Form& f) {
        static_cast<ui::TextBox*>(f.Controls()[1])->Text = "'Rome'";
        dynamic_cast<frmParameters&>(f).cmdOk_Click();
    });
    designer->HandleCmd(qzCmdItemPreviewDocument);
    EXPECT_EQ(app.GetDocuments().Count(), 2);  // nothing opened
    EXPECT_TRUE(gbScriptErrorOccurred);
    ASSERT_EQ(host.scriptErrors.size(), 1u);
    EXPECT_EQ(host.scriptErrors[0], "Statement Field|Divide|1|x = 1 / 0|Division by zero");
    EXPECT_TRUE(host.errorTexts.empty());  // logged, not shown a second time

    // Cancelled: the command is left out, and the message says so.
    app.Activate(&doc);
    host.queueFormAction([](ui::Form& f) { dynamic_cast<frmParameters&>(f).cmdCancel_Click(); });
    designer->HandleCmd(qzCmdItemPreviewDocument);
    ASSERT_FALSE(host.requests(ui::UiRequest::MsgBox).empty());
    EXPECT_NE(host.requests(ui::UiRequest::MsgBox).back().prompt.find(
                  std::string("command \"Cust\" of \"Shop\": ") + kParameterCancelled),
              std::string::npos)
        << host.requests(ui::UiRequest::MsgBox).back().prompt;
}

TEST_F(TemplateCommands, ReadOnlyTemplateWithChangesIsNotPreviewed) {
    Template("Locked.rtf");
    std::string file = dir + "/Locked.rtf";
    app.ActiveDocument().Close();
    Unwritable guard(file);
    app.GetDocuments().Open(file);
    ASSERT_TRUE(app.ActiveDocument().ReadOnly());
    designer->HandleCmd(qzCmdItemDocumentChange);
    app.GetSelection().TypeText("changed ");
    designer->HandleCmd(qzCmdItemPreviewDocument);
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(host.errorTexts[0], GetResourceString(4018));
    EXPECT_EQ(designer->PreviewOutputFile(), "");
    EXPECT_TRUE(AppDataTemps("RTF").empty());
    EXPECT_EQ(app.GetDocuments().Count(), 1);
}

namespace {

// An older template: its QZC name holds the old database (here an SQLite
// file, which the Jet provider reads as it reads an Access file).
void OldDatabase(const std::string& file, bool complete) {
    Sql(file,
        "CREATE TABLE TblFileInfo (FileName TEXT, RevisionKeep TEXT, Locale TEXT, DateTimeFormat TEXT,"
        " StringFormat TEXT, NumberFormat TEXT, CurrencyFormat TEXT, PercentFormat TEXT);"
        "INSERT INTO TblFileInfo VALUES ('Old.rtf', '3', '1036', 'DateTime:1;BlankProtect:0', 'UseDefaultProperties:-1',"
        " 'UseDefaultProperties:-1', 'UseDefaultProperties:-1', 'UseDefaultProperties:-1');"
        "CREATE TABLE TblConnection (ConnectionID INTEGER, ConnectionName TEXT, ConnectionType INTEGER,"
        " DataSource TEXT, UserName TEXT, Password TEXT);"
        "INSERT INTO TblConnection VALUES (10, 'Sales', 0, ' Sales ', 'sa', ''),"
        " (11, 'Shop', 1, 'Provider=Microsoft.Jet.OLEDB.4.0;Data Source=shop.db', '', ''), (12, 'Files', 2, '', '', '');");
    if (complete)
        Sql(file,
            "CREATE TABLE TblCommande (ConnectionId INTEGER, CommandeName TEXT, CommandString TEXT);"
            "INSERT INTO TblCommande VALUES (11, 'Cust', 'SELECT Name FROM C'), (12, 'Items', 'items.xml'),"
            " (99, 'Orphan', 'SELECT 1');");
}

} // namespace

TEST_F(TemplateCommands, OlderTemplateIsConvertedThenProduced) {
    Sql(dir + "/shop.db", "CREATE TABLE C (Name TEXT); INSERT INTO C VALUES ('Anna');");
    Template("Old.rtf", "", "12", "5.16.29");
    modMSWordFields(app).InsertExpressionField("Name", "Cust.Fields(\"Name\").Value", "String;UseDefaultProperties:-1", "-1");
    app.ActiveDocument().Save();
    fs::remove(dir + "/Old.qzc");
    OldDatabase(dir + "/Old.qzc", true);
    const std::string database = TestHome::read(dir + "/Old.qzc");
    host.queueMsgBoxResult(ui::vbYes);
    designer->HandleCmd(qzCmdItemPreviewDocument);
    EXPECT_TRUE(host.errorTexts.empty()) << host.errorTexts[0];
    std::vector<std::string> prompts;
    for (const auto& r : host.requests(ui::UiRequest::MsgBox)) prompts.push_back(r.prompt);
    ASSERT_GE(prompts.size(), 2u);
    EXPECT_EQ(prompts[1], "Conversion completed successfully.");
    EXPECT_EQ(TestHome::read(dir + "/Old.qzc.bak"), database);
    EXPECT_TRUE(fs::exists(dir + "/Old.rtf.bak"));
    const std::string qzc = TestHome::read(dir + "/Old.qzc");
    for (const char* part :
         {"<Version>8.1.0</Version>", "<RevisionKeep>3</RevisionKeep>", "<Locale>1036</Locale>",
          "<Name>Sales</Name><DataSource>DSN=Sales;uid=sa;pwd=;</DataSource><ConnectionType>5</ConnectionType>",
          "<ConnectionType>6</ConnectionType>", "<ConnectionType>8</ConnectionType>", "<Name>Items</Name><Text>items.xml</Text>"})
        EXPECT_NE(qzc.find(part), std::string::npos) << part << "\n" << qzc;
    EXPECT_EQ(qzc.find("Orphan"), std::string::npos);
    EXPECT_TRUE(AppDataTemps("cvr").empty());
    // The command goes on: the converted template is produced from its data.
    EXPECT_EQ(app.GetDocuments().Item(1).CustomDocumentProperties().Item(std::string("QzVersion")).Value, "8.2.2");
    ASSERT_EQ(app.GetDocuments().Count(), 2);
    EXPECT_NE(app.ActiveDocument().Content().Text().find("Anna"), std::string::npos);
}

TEST_F(TemplateCommands, RefusedOrFailedConversionLeavesEveryFileAsItWas) {
    Template("Old.rtf", "", "12", "5.16.29");
    fs::remove(dir + "/Old.qzc");
    OldDatabase(dir + "/Old.qzc", false);  // no TblCommande: the conversion fails part-way
    const auto before = Snapshot(dir);
    host.queueMsgBoxResult(ui::vbNo);
    designer->HandleCmd(qzCmdItemRestoreFieldColor);
    EXPECT_TRUE(host.errorTexts.empty());
    EXPECT_EQ(Snapshot(dir), before);

    host.queueMsgBoxResult(ui::vbYes);
    designer->HandleCmd(qzCmdItemRestoreFieldColor);
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_NE(host.errorTexts[0].find("TblCommande"), std::string::npos) << host.errorTexts[0];
    EXPECT_EQ(Snapshot(dir), before);
    EXPECT_TRUE(AppDataTemps("cvr").empty());
    EXPECT_EQ(ModMsWordCurrentDocument(app).RetrieveCustomDocumentProperty(), "5.16.29");
    EXPECT_TRUE(app.ActiveDocument().Saved());

    {
        Unwritable guard(dir);  // the copy of the template cannot be made: 4054
        host.queueMsgBoxResult(ui::vbYes);
        designer->HandleCmd(qzCmdItemRestoreFieldColor);
    }
    ASSERT_EQ(host.errorTexts.size(), 2u);
    EXPECT_EQ(host.errorTexts[1], GetResourceString(4054));
    EXPECT_EQ(Snapshot(dir), before);
}

TEST_F(TemplateCommands, AnAccessDatabaseWithoutTheOldTablesIsReadAndRefused) {
    Template("Old.rtf", "", "12", "5.16.29");
    fs::remove(dir + "/Old.qzc");
    fs::copy_file(std::string(QZ_TEST_DATA_DIR) + "/access/nwind.mdb", dir + "/Old.qzc");
    const auto before = Snapshot(dir);
    host.queueMsgBoxResult(ui::vbYes);
    designer->HandleCmd(qzCmdItemRestoreFieldColor);
    ASSERT_EQ(host.errorTexts.size(), 1u);
    // The database was opened: what is missing is its first table.
    EXPECT_NE(host.errorTexts[0].find("TblFileInfo"), std::string::npos) << host.errorTexts[0];
    EXPECT_EQ(Snapshot(dir), before);
}

// The user's own files beside a template are never the designer's to replace
// or delete: files named like a backup, a revision folder planted as a link,
// and a template's companions as the name of a Save As.
TEST_F(TemplateCommands, FilesOfTheUsersOwnAreNeitherReplacedNorDeleted) {
    word::Document& report = Template("Report.rtf");
    TestHome::write(dir + "/Report.rtf.tmp", "mine");
    TestHome::write(dir + "/Report.qzc.tmp", "mine too");
    report.Close();
    app.GetDocuments().Add();
    app.GetSelection().TypeText("New text");
    designer->HandleCmd(qzCmdItemDocumentChange);
    OnProperties([this](frmQzProperties& d) {
        d.QzTemplatePath = dir;
        d.QzTemplateFileName = "Report.rtf";
        d.QzcFilename = "Report.qzc";
        d.cmdOk_Click();
    });
    host.queueMsgBoxResult(ui::vbYes);
    designer->HandleCmd(qzCmdItemCreateNewTemplate);
    EXPECT_NE(TestHome::read(dir + "/Report.rtf").find("New text"), std::string::npos);
    EXPECT_EQ(TestHome::read(dir + "/Report.rtf.tmp"), "mine");
    EXPECT_EQ(TestHome::read(dir + "/Report.qzc.tmp"), "mine too");
    EXPECT_EQ(Listing(dir).size(), 4u);

    // The new template is open: its companions are no Save As target.
    ModMsWordCurrentDocument current(app);
    EXPECT_NE(current.SaveAsRefusal(dir + "/REPORT.QZC").find("is the name of the template's QZC file \"Report.rtf\""),
              std::string::npos);
    EXPECT_NE(current.SaveAsRefusal(dir + "/./Report.vbs"), "");
    EXPECT_EQ(current.SaveAsRefusal(dir + "/Other.rtf"), "");

    // A revision folder planted as a link to another folder is not followed.
    designer->SetTemplatePath(dir);
    designer->SetTemplateFileName("Report.rtf");
    fs::create_directories(home.root() + "/elsewhere");
    TestHome::write(home.root() + "/elsewhere/Reportrev-1.rtf", "kept");
    fs::create_directory_symlink(home.root() + "/elsewhere", dir + "/ReportREV");
    EXPECT_THROW(designer->ManageRevisionKeep(1), AutomationError);
    EXPECT_EQ(Listing(home.root() + "/elsewhere"), std::vector<std::string>{"Reportrev-1.rtf"});
    EXPECT_EQ(TestHome::read(home.root() + "/elsewhere/Reportrev-1.rtf"), "kept");
}

// A preview stopped by its time-out says so instead of showing nothing.
TEST_F(TemplateCommands, APreviewStoppedByItsTimeOutSaysSo) {
    Template("Spin.rtf");
    modMSWordFields(app).InsertStatementField({0, 0, "Spin", 0, 0, "Do_QZCRLFLoop"});
    designer->SetPreviewTimeOut(300);
    designer->HandleCmd(qzCmdItemPreviewDocument);
    EXPECT_EQ(app.GetDocuments().Count(), 1);
    const auto boxes = host.requests(ui::UiRequest::MsgBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, "The preview was stopped by its time-out: the template's script ran longer than "
                               "0.3 seconds. No document was produced.");
}

// A preview opens the template's connections: one naming a library that is no
// installed driver is left out, and the library is never loaded.
TEST_F(TemplateCommands, APreviewNeverLoadsALibraryNamedAsADriver) {
    fs::copy_file(QZ_PLANTED_LIBRARY, dir + "/Evil.dat");
    const std::string mark = dir + "/loaded";
    setenv("QZ_PLANTED_MARK", mark.c_str(), 1);
    Template("Evil.rtf", "<Connection ID=\"ID1\"><Name>Evil</Name><DataSource>Driver=" + dir +
                             "/Evil.dat</DataSource><ConnectionType>5</ConnectionType></Connection>");
    designer->HandleCmd(qzCmdItemPreviewDocument);
    unsetenv("QZ_PLANTED_MARK");
    EXPECT_FALSE(fs::exists(mark));
    const auto boxes = host.requests(ui::UiRequest::MsgBox);
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes[0].prompt.find("which is not an installed ODBC driver"), std::string::npos) << boxes[0].prompt;
}
