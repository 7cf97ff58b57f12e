// The add-in menu and toolbar on the word processor's command-bar model.
#include "core/CoreFixture.h"
#include "designer/DesignerCommands.h"
#include "designer/ModMSWordMenuToolbar.h"

using namespace qz;
using namespace qz::designer;

namespace {

class MenuToolbar : public test::CoreFixture {
protected:
    word::CommandBarControls& Bar() { return app.GetCommandBars().ActiveMenuBar().Controls(); }
    void AddMenu(const std::string& caption) { Bar().Add(10).Caption = caption; }
    std::vector<std::string> BarCaptions() {
        std::vector<std::string> out;
        for (int i = 1; i <= Bar().Count(); ++i) out.push_back(Bar().Item(i).Caption);
        return out;
    }
    word::Application app;
    ModMSWordMenuToolbar menu{app};
};

using Captions = std::vector<std::string>;

} // namespace

TEST_F(MenuToolbar, MenuGoesBeforeATrailingHelpMenuOnly) {
    for (const char* help : {"&Help", "&?"}) {
        word::Application a;
        a.GetCommandBars().ActiveMenuBar().Controls().Add(10).Caption = "&File";
        a.GetCommandBars().ActiveMenuBar().Controls().Add(10).Caption = help;
        ModMSWordMenuToolbar(a).EnableMenu();
        EXPECT_EQ(a.GetCommandBars().ActiveMenuBar().Controls().Item(2).Caption, "&QzStudio") << help;
    }
    AddMenu("&File");
    AddMenu("&Help");
    AddMenu("&Window");
    AddMenu("Help");  // the test of the caption is exact
    menu.EnableMenu();
    EXPECT_EQ(BarCaptions(), (Captions{"&File", "&Help", "&Window", "Help", "&QzStudio"}));
    word::CommandBarControl& popup = Bar().Item(5);
    EXPECT_TRUE(popup.Temporary);
    EXPECT_EQ(popup.ToolTipText, "Quorvane Studio");
    EXPECT_EQ(popup.OnAction, "Menu_Click");
    EXPECT_EQ(popup.Controls().Count(), 0);
}

TEST_F(MenuToolbar, ItemsAreMadeOnceWithTheirTextsAndMacros) {
    menu.EnableMenu();
    menu.ToggleMenuElements(true);
    menu.ToggleMenuElements(false);
    ASSERT_EQ(BarCaptions(), Captions{"&QzStudio"});
    word::CommandBarControls& items = Bar().Item(1).Controls();
    Captions captions, actions;
    for (int i = 1; i <= items.Count(); ++i) {
        captions.push_back(items.Item(i).Caption);
        actions.push_back(items.Item(i).OnAction);
        EXPECT_EQ(items.Item(i).Style, i == 3 ? 0 : 2) << i;
    }
    EXPECT_EQ(captions, (Captions{"New &Template...", "&Data Sources...", "&Insert", "&Open Selected Qz Field...",
                                  "&Preview", "&Restore Fields Color", "&About Quorvane Studio 2004...",
                                  "Quorvane Studio 2004 &Help"}));
    EXPECT_EQ(actions, (Captions{"CreateNewTemplate_Click", "EditConnection_Click", "", "OpenField_Click",
                                 "PreviewDocument_Click", "RestoreFieldColor_Click", "About_Click", "Help_Click"}));
    EXPECT_EQ(items.Item(4).ToolTipText, "Open the property window for the selected Quorvane field.");
    word::CommandBarControls& insert = items.Item(3).Controls();
    ASSERT_EQ(insert.Count(), 4);
    EXPECT_EQ(insert.Item(3).Caption, "&Conditional Paragraph");
    EXPECT_EQ(insert.Item(3).ToolTipText, "Insert Conditional Paragraph");
    EXPECT_EQ(insert.Item(4).OnAction, "InsertRepeatingParagraph_Click");
    EXPECT_EQ(insert.Item(1).Style, 0);
    // No-template layout: the first item, About and Help stay enabled.
    std::vector<bool> enabled;
    for (int i = 1; i <= 8; ++i) enabled.push_back(items.Item(i).Enabled);
    EXPECT_EQ(enabled, (std::vector<bool>{true, false, false, false, false, false, true, true}));
    menu.ToggleMenuElements(true);
    EXPECT_EQ(items.Item(1).Caption, "&Template Properties...");
    EXPECT_EQ(items.Item(1).ToolTipText, "Quorvane Template Properties");
    EXPECT_TRUE(items.Item(5).Enabled);
}

TEST_F(MenuToolbar, ContextPointsAtTheAddinTemplateWhenLoadedAndIsMarkedSaved) {
    // Not loaded: the context stays, the lookups still run.
    word::Template& other = app.Templates("Normal.dot");
    app.CustomizationContext = &other;
    menu.ToggleMenuElements(false);
    EXPECT_EQ(app.CustomizationContext, &other);
    EXPECT_NE(menu.Menu(), nullptr);
    EXPECT_EQ(menu.ToolBar(), nullptr);

    word::Template& addin = InstallAddinTemplate(app);
    EXPECT_EQ(app.FindTemplate("QZSTUDIO.DOT"), &addin);
    addin.Saved = false;
    int notices = 0;
    app.OnCommandBarsChanged = [&] { ++notices; };
    const auto changes = app.CommandBarsChangeCount();
    menu.DisableToolBar();
    EXPECT_EQ(app.CustomizationContext, &addin);
    EXPECT_TRUE(addin.Saved);
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(app.CommandBarsChangeCount(), changes + 1);
    word::CommandBar& bar = app.GetCommandBars().Item(kAddinToolBarName);
    EXPECT_TRUE(bar.Enabled);
    ASSERT_EQ(bar.Controls().Count(), 4);
    for (int i = 1; i <= 4; ++i) EXPECT_FALSE(bar.Controls().Item(i).Enabled);
    EXPECT_EQ(bar.Controls().Item(4).OnAction, "PreviewDocumentToolBar_Click");
    menu.EnableToolBar();
    for (int i = 1; i <= 4; ++i) EXPECT_TRUE(bar.Controls().Item(i).Enabled);
    InstallAddinTemplate(app);
    EXPECT_EQ(bar.Controls().Count(), 4);
}

TEST_F(MenuToolbar, AMenuCaptionedInCapitalsIsFoundAndNotMadeAgain) {
    AddMenu("&QZSTUDIO");
    menu.DisableMenu();
    EXPECT_EQ(BarCaptions(), Captions{"&QZSTUDIO"});
    EXPECT_FALSE(Bar().Item(1).Enabled);
    menu.ReleaseAddinCommandBars();
    EXPECT_EQ(menu.Menu(), nullptr);
    EXPECT_EQ(BarCaptions(), Captions{"&QZSTUDIO"});
}

TEST(CommandIdOfMacro, MapsEveryMenuAndToolbarMacro) {
    EXPECT_EQ(CommandIdOfMacro("Menu_Click"), qzCmdItemMenu);
    EXPECT_EQ(CommandIdOfMacro("InsertStatement_Click"), 30);
    EXPECT_EQ(CommandIdOfMacro("insertstatementtoolbar_click"), 30);
    EXPECT_EQ(CommandIdOfMacro("EditConnectionToolBar_Click"), 25);
    EXPECT_EQ(CommandIdOfMacro("PreviewDocument_Click"), 50);
    EXPECT_EQ(CommandIdOfMacro("RestoreFieldColor_Click"), 60);
    EXPECT_EQ(CommandIdOfMacro("Help_Click"), 70);
    EXPECT_EQ(CommandIdOfMacro("NoSuch_Click"), 0);
    EXPECT_EQ(CommandIdOfMacro(""), 0);
}
