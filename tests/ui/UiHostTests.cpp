#include "platform/ui/Controls.h"
#include "platform/ui/UiHost.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>
#include <thread>

using namespace qz::ui;

namespace {

// A dialog as the system writes them: OK hides, closing counts as cancel.
class TestDialog : public Form {
public:
    TestDialog() : Form("frmTest", "Test") {}
    TextBox txtName;
    bool cancelled = true;
    int loads = 0, unloads = 0;
    void cmdOk_Click() { cancelled = false; Hide(); }
    void OnClose() override { cancelled = true; Hide(); }

protected:
    void OnLoad() override { ++loads; txtName.Text = "initial"; }
    void OnUnload() override { ++unloads; }
};

struct HostFixture : ::testing::Test {
    HeadlessUiHost host;
    void SetUp() override { setCurrentHost(&host); }
    void TearDown() override { setCurrentHost(nullptr); }
};

} // namespace

TEST(MsgBoxDefaults, EnterAnswersWithTheDefaultButton) {
    EXPECT_EQ(defaultMsgBoxResult(vbOKOnly | vbCritical), vbOK);
    EXPECT_EQ(defaultMsgBoxResult(vbYesNo | vbQuestion), vbYes);
    EXPECT_EQ(defaultMsgBoxResult(vbYesNo | vbDefaultButton2), vbNo);
    EXPECT_EQ(defaultMsgBoxResult(vbYesNoCancel | vbDefaultButton3), vbCancel);
    EXPECT_EQ(defaultMsgBoxResult(vbRetryCancel | vbDefaultButton2), vbCancel);
    EXPECT_EQ(defaultMsgBoxResult(vbAbortRetryIgnore), vbAbort);
    EXPECT_EQ(defaultMsgBoxResult(7), vbOK);  // unknown button sets fall back to OK
}

TEST_F(HostFixture, ScriptedAnswersAreGivenInOrderPerKindAndEveryCallIsRecorded) {
    host.queueMsgBoxResult(vbNo);
    host.queueInputBox(std::nullopt);
    host.queueInputBox(std::string("typed"));
    host.queueFolderDialog(std::string("/data"));
    host.queueFileDialog({FileDialogResult::Failed, "", 12});

    EXPECT_EQ(currentHost().inputBox("Value?", "Param", "1"), std::nullopt);
    EXPECT_EQ(currentHost().msgBox("Replace?", vbYesNo | vbQuestion, "Quorvane Studio"), vbNo);
    EXPECT_EQ(currentHost().msgBox("Again?", vbYesNo | vbDefaultButton2, ""), vbNo);  // queue empty
    EXPECT_EQ(currentHost().inputBox("Value?", "Param", "1"), "typed");
    EXPECT_EQ(currentHost().inputBox("Value?", "Param", "dflt"), "dflt");
    EXPECT_EQ(currentHost().folderDialog("Select directory.", "/start"), "/data");
    EXPECT_EQ(currentHost().folderDialog("Select directory.", "/start"), std::nullopt);
    FileDialogRequest req;
    req.filters = {{"Rich Text Format (*.rtf)", "*.rtf"}};
    EXPECT_EQ(currentHost().fileDialog(req).outcome, FileDialogResult::Failed);
    EXPECT_EQ(currentHost().fileDialog(req).outcome, FileDialogResult::Cancelled);
    PrintDialogRequest preq;
    preq.current.printerName = "P1";
    PrintDialogResult pres = currentHost().printDialog(preq);
    EXPECT_FALSE(pres.ok);
    EXPECT_EQ(pres.settings.printerName, "P1");

    auto boxes = host.requests(UiRequest::MsgBox);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].prompt, "Replace?");
    EXPECT_EQ(boxes[0].title, "Quorvane Studio");
    EXPECT_EQ(boxes[0].style, vbYesNo | vbQuestion);
    EXPECT_EQ(host.requests(UiRequest::FileDialog)[0].file.filters[0].second, "*.rtf");
    EXPECT_EQ(host.requests(UiRequest::FolderDialog)[0].text, "/start");
    EXPECT_EQ(host.requests().size(), 10u);
    host.clear();
    EXPECT_TRUE(host.requests().empty());
}

TEST_F(HostFixture, ModalShowRunsTheUsersActionsAndClosesAFormLeftOpen) {
    TestDialog dlg;
    host.queueFormAction([](Form& f) {
        auto& d = dynamic_cast<TestDialog&>(f);
        EXPECT_TRUE(d.Visible());
        EXPECT_EQ(d.txtName.Text, "initial");  // loaded before it is shown
        d.txtName.Text = "Orders";
        d.cmdOk_Click();
    });
    dlg.ShowModal();
    EXPECT_FALSE(dlg.cancelled);
    EXPECT_EQ(dlg.txtName.Text, "Orders");
    EXPECT_FALSE(dlg.Visible());

    dlg.ShowModal();  // nobody presses anything: the window is closed
    EXPECT_TRUE(dlg.cancelled);
    EXPECT_FALSE(dlg.Visible());
    EXPECT_EQ(dlg.loads, 1);  // shown twice, loaded once
    ASSERT_EQ(host.requests(UiRequest::Modal).size(), 2u);
    EXPECT_EQ(host.requests(UiRequest::Modal)[0].formName, "frmTest");
}

TEST_F(HostFixture, LoadedFormsAreListedPerThreadAndUnloadedTogether) {
    auto before = loadedForms().size();
    {
        TestDialog a, b;
        b.ShowModeless();
        EXPECT_TRUE(b.Visible());
        EXPECT_EQ(loadedForms().size(), before + 2);
        std::size_t otherThread = 99;
        std::thread([&] { otherThread = loadedForms().size(); }).join();
        EXPECT_EQ(otherThread, 0u);

        unloadAllForms();
        EXPECT_EQ(loadedForms().size(), before);
        EXPECT_FALSE(a.Loaded());
        EXPECT_FALSE(b.Visible());
        EXPECT_EQ(b.unloads, 1);
        b.ShowModeless();  // showing again loads again
        EXPECT_TRUE(b.Loaded());
        EXPECT_EQ(b.loads, 2);
    }
    EXPECT_EQ(loadedForms().size(), before);  // destroyed forms leave the list
}

TEST_F(HostFixture, HelpOpensOnlyAnExistingFileAndBusyCursorIsTracked) {
    char name[] = "/tmp/qzhelpXXXXXX";
    int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_NE(currentHost().showHelp(name, HelpContext, 1031), 0);
    EXPECT_EQ(currentHost().showHelp("/nonexistent/help.chm", HelpDisplayTopic, 0), 0);
    EXPECT_EQ(host.requests(UiRequest::Help)[0].data, 1031);
    std::remove(name);
    currentHost().setBusyCursor(true);
    EXPECT_TRUE(host.busy());
    currentHost().setBusyCursor(false);
    EXPECT_FALSE(host.busy());
}

TEST(CurrentHost, DefaultsToTheSharedHeadlessHost) {
    setCurrentHost(nullptr);
    EXPECT_EQ(&currentHost(), static_cast<UiHost*>(&defaultHeadlessHost()));
    HeadlessUiHost other;
    setCurrentHost(&other);
    EXPECT_EQ(&currentHost(), static_cast<UiHost*>(&other));
    setCurrentHost(nullptr);
}

TEST(Controls, ComboBoxSelectionFollowsItems) {
    ComboBox cbo;
    cbo.AddItem("<System Default>", -1);
    cbo.AddItem("English (United States)", 1033);
    cbo.Select(1);
    EXPECT_EQ(cbo.Text, "English (United States)");
    EXPECT_EQ(cbo.ItemData(cbo.ListIndex), 1033);
    cbo.Select(5);
    EXPECT_EQ(cbo.ListIndex, -1);
    EXPECT_EQ(cbo.List(7), "");
    cbo.Clear();
    EXPECT_EQ(cbo.ListCount(), 0);
}

TEST(HelpTopics, AContextOpensItsPageOrTheGeneralPage) {
    char dir[] = "/tmp/qzhelpdirXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string index = std::string(dir) + "/index.html", page = std::string(dir) + "/1020.html";
    for (const std::string& f : {index, page}) std::fclose(std::fopen(f.c_str(), "w"));
    EXPECT_EQ(helpTopicPath(index, HelpContext, 1020), page);
    EXPECT_EQ(helpTopicPath(index, HelpContext, 9999), index);   // no page: the general one
    EXPECT_EQ(helpTopicPath(index, HelpDisplayTopic, 1020), index);
    EXPECT_EQ(helpTopicPath(index, HelpCloseAll, 0), "");
    std::remove(index.c_str());
    EXPECT_EQ(helpTopicPath(index, HelpContext, 1020), "");      // no help file at all
    std::remove(page.c_str());
    ::rmdir(dir);
}

TEST(FormClosed, TheHostHearsEveryWayAShownFormGoes) {
    struct Recorder : HeadlessUiHost {
        std::vector<const Form*> closed;
        void formClosed(const Form& f) noexcept override { closed.push_back(&f); }
    } host;
    setCurrentHost(&host);
    const Form* address = nullptr;
    {
        TestDialog d;
        address = &d;
        d.Hide();                       // never shown: nothing to hear
        EXPECT_TRUE(host.closed.empty());
        d.ShowModeless();
        d.Hide();
        d.ShowModeless();
        d.Unload();
    }
    setCurrentHost(nullptr);
    // Hide, Unload, and the destroyed object.
    EXPECT_EQ(host.closed, (std::vector<const Form*>{address, address, address}));
}
