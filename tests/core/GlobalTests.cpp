#include "core/CoreFixture.h"
#include "core/InstalledLocales.h"
#include "core/ModGlobal.h"
#include "core/forms/frmErrors.h"
#include "platform/system/Folders.h"

#include <thread>

using namespace qz;
using qz::test::CoreFixture;
using qz::test::TestHome;

TEST_F(CoreFixture, MainCreatesTheThreadsApplicationObjectOnce) {
    Main();
    auto app = GetApplicationObject();
    ASSERT_TRUE(app);
    EXPECT_EQ(app->Locale, 1056);
    EXPECT_EQ(app->LogPathName, home.appData() + "/");
    EXPECT_TRUE(sys::folderExists(home.appData()));
    Main();
    EXPECT_EQ(GetApplicationObject(), app);  // once per thread

    std::shared_ptr<QZApplication> other;
    DesignerState* otherDesigner = reinterpret_cast<DesignerState*>(1);
    std::thread([&] {
        Main();
        other = GetApplicationObject();
        otherDesigner = goDesigner;
    }).join();
    ASSERT_TRUE(other);
    EXPECT_NE(other, app);
    EXPECT_EQ(otherDesigner, nullptr);
}

TEST_F(CoreFixture, StartingAgainAfterAShutdownUnloadsTheLocaleTable) {
    Main();
    LoadInstalledLocale();
    ASSERT_TRUE(InstalledLocaleLoaded());
    { TerminationCleanup last; }  // the thread's state is shut down
    Main();
    EXPECT_FALSE(InstalledLocaleLoaded());
    EXPECT_FALSE(InstalledLocales().empty());  // built again on first use
}

TEST_F(CoreFixture, AFailingStartUpIsLoggedAtEachLevelAndRaised) {
    TestHome::write(home.root() + "/data", "x");  // no application-data folder possible
    home.env.set("TMPDIR", home.root() + "/data");  // nor a private one in its place
    std::thread([&] {
        try {
            Main();
            ADD_FAILURE() << "Main did not raise";
        } catch (const AutomationError& e) {
            EXPECT_NE(e.Number, 0);
        }
        EXPECT_FALSE(GetApplicationObject());
    }).join();
    auto lines = logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0][1] + "." + lines[0][2], "QZApplication.Initialize");
    EXPECT_EQ(lines[1][1] + "." + lines[1][2], "QZApplication.Class_Initialize");
    EXPECT_EQ(lines[2][1] + "." + lines[2][2], "ModGlobal.Main");
}

TEST_F(CoreFixture, TerminationCleanupClearsTheThreadsStateAndUnloadsForms) {
    std::size_t before = ui::loadedForms().size();
    frmErrors openDialog;
    openDialog.ShowModeless();
    {
        TerminationCleanup cleanup;
        EXPECT_TRUE(GetApplicationObject());
        goDesigner = reinterpret_cast<DesignerState*>(&cleanup);
    }
    EXPECT_FALSE(GetApplicationObject());
    EXPECT_EQ(goDesigner, nullptr);
    EXPECT_FALSE(openDialog.Loaded());
    EXPECT_EQ(ui::loadedForms().size(), before);
    EXPECT_EQ(GetResourceString(2017), "Invalid qzc file.");
}

TEST_F(CoreFixture, HelpCenterReportsAMissingHelpFileWithItsPath) {
    home.env.set("QZ_LIBRARY_DIR", home.root() + "/lib");
    HelpCenter help;
    EXPECT_EQ(help.HelpFilePath(), home.root() + "/lib/Help/" + HelpCenter::HelpFileName);
    help.OpenHelpCenter(0, 1031);
    EXPECT_EQ(glHelpWindowHandle, 0);
    auto boxes = host.requests(ui::UiRequest::MsgBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, "Cannot open the Quorvane Studio 2004 Help file.\r\n" + help.HelpFilePath());
    EXPECT_EQ(boxes[0].style & ui::vbInformation, ui::vbInformation);
    auto helps = host.requests(ui::UiRequest::Help);
    ASSERT_EQ(helps.size(), 2u);
    EXPECT_EQ(helps[0].style, ui::HelpContext);
    EXPECT_EQ(helps[0].data, 1031);
    EXPECT_EQ(helps[1].style, ui::HelpCloseAll);

    ASSERT_EQ(sys::createFolderTree(home.root() + "/lib/Help"), 0);
    TestHome::write(help.HelpFilePath(), "help");
    help.OpenGeneralHelpCenter();
    EXPECT_NE(glHelpWindowHandle, 0);
    EXPECT_EQ(host.requests(ui::UiRequest::MsgBox).size(), 1u);
}
