// The studio with the real designer, as an author uses it on the example
// template: the add-in's menu and toolbar in their template layout, a click
// that reaches the designer and changes the document, and a saved template
// that the engine still turns into the invoice.
#include "designer/Designer.h"
#include "designer/ModMSWordMenuToolbar.h"
#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "views/word/DocumentView.h"
#include "views/studio/StudioWindow.h"

#include "production/TestFiles.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace qz;
namespace fs = std::filesystem;

TEST(StudioDesigner, TheExampleTemplateIsDesignedSavedAndStillProduced) {
    test::TempDir dir;
    const std::string examples = std::string(QZ_SOURCE_DIR) + "/examples";
    for (const char* f : {"invoice.rtf", "invoice.qzc", "invoice.db"}) fs::copy_file(examples + "/" + f, dir.path() + "/" + f);

    word::Application app;
    designer::InstallAddinTemplate(app);
    designer::Designer designer;
    designer.Initialize(app);
    std::vector<int> heard;
    views::StudioWindow window(app, designer::CommandIdOfMacro, [&](int id) {
        heard.push_back(id);
        designer.HandleCmd(id);
    });
    window.runCommand(100);
    window.runCommand(10);
    ASSERT_TRUE(window.openFile(QString::fromStdString(dir.path() + "/invoice.rtf")));
    window.runCommand(10);  // the template layout, now that a template is active

    // The add-in's menu stands before Help; the toolbar and its buttons are enabled.
    const QList<QAction*> menus = window.menuBar()->actions();
    int qz = -1, help = -1;
    for (int i = 0; i < menus.size(); ++i) {
        if (menus[i]->text() == "&QzStudio") qz = i;
        if (menus[i]->text() == "&Help") help = i;
    }
    ASSERT_GE(qz, 0);
    EXPECT_EQ(qz + 1, help);
    QMenu* addin = menus[qz]->menu();
    ASSERT_NE(addin, nullptr);
    QAction* restore = addin->findChild<QAction*>("RestoreFieldColor_Click");
    ASSERT_NE(restore, nullptr);
    EXPECT_TRUE(restore->isEnabled());
    auto* bar = window.findChild<QToolBar*>("Quorvane Studio");
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isEnabled());
    ASSERT_EQ(bar->actions().size(), 4);
    for (QAction* a : bar->actions()) EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();

    // Recolour the whole document by hand; "Restore Fields Color" gives the
    // fields their colours back, as one undo step.
    word::Document& doc = window.activeView()->model();
    word::Range all = doc.Content();
    all.GetFont().SetColorIndex(0);
    const std::string before = doc.ToRtf();
    heard.clear();
    restore->trigger();
    EXPECT_EQ(heard, std::vector<int>({60}));
    EXPECT_NE(doc.ToRtf(), before);
    window.activeView()->undo();
    EXPECT_EQ(doc.ToRtf(), before);
    window.activeView()->redo();

    // A typed word at the start of the document, saved, and produced.
    views::DocumentView* view = window.activeView();
    view->moveCursor(QTextCursor::Start);
    QTest::keyClicks(view, "Draft ");
    ASSERT_TRUE(window.saveActive(false));
    const std::string out = dir.path() + "/out.rtf";
    const std::string cmd = std::string("'") + QZSTUDIO + "' produce '" + dir.path() + "/invoice.rtf' -o '" + out +
                            "' --connections >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string produced = test::readFile(out);
    for (const char* s : {"Draft ", "$4,667.90", "lundi 30 novembre 2026"})
        EXPECT_NE(produced.find(s), std::string::npos) << s;
}

TEST(StudioDesigner, TheAddinMenuFollowsTheActiveDocument) {
    test::TempDir dir;
    const std::string examples = std::string(QZ_SOURCE_DIR) + "/examples";
    for (const char* f : {"invoice.rtf", "invoice.qzc", "invoice.db"}) fs::copy_file(examples + "/" + f, dir.path() + "/" + f);
    word::Application app;
    designer::InstallAddinTemplate(app);
    designer::Designer designer;
    designer.Initialize(app);
    views::StudioWindow window(app, designer::CommandIdOfMacro, [&](int id) { designer.HandleCmd(id); });
    // As the studio starts: the designer hears 100 and 10, then the files open.
    window.runCommand(100);
    window.runCommand(10);
    auto item = [&](const char* macro) -> QAction* {
        for (QAction* m : window.menuBar()->actions())
            if (m->text() == "&QzStudio" && m->menu()) return m->menu()->findChild<QAction*>(macro);
        return nullptr;
    };
    auto enabled = [&](const char* macro) {
        QAction* a = item(macro);
        auto* menu = a ? qobject_cast<QWidget*>(a->parent()) : nullptr;
        return a && a->isEnabled() && menu && menu->isEnabled();
    };
    EXPECT_TRUE(enabled("About_Click"));  // no document: About and Help still serve
    EXPECT_TRUE(enabled("Help_Click"));
    EXPECT_FALSE(enabled("PreviewDocument_Click"));
    // ... and nothing that needs a document.
    EXPECT_FALSE(enabled("CreateNewTemplate_Click"));
    QMenu* file = window.findChild<QMenu*>("File");
    ASSERT_NE(file, nullptr);
    auto fileItem = [&](const char* text) {
        for (QAction* a : file->actions())
            if (a->text() == text) return a->isEnabled();
        ADD_FAILURE() << text;
        return false;
    };
    for (const char* text : {"&Save", "&Close", "Page Set&up...", "&Print..."}) EXPECT_FALSE(fileItem(text)) << text;
    EXPECT_TRUE(fileItem("&Open..."));

    ASSERT_TRUE(window.openFile(QString::fromStdString(dir.path() + "/invoice.rtf")));
    EXPECT_TRUE(enabled("EditTemplateProperties_Click"));
    EXPECT_TRUE(enabled("InsertRepeatingParagraph_Click"));
    EXPECT_TRUE(enabled("OpenField_Click"));
    EXPECT_TRUE(enabled("RestoreFieldColor_Click"));

    app.GetDocuments().Add();  // a plain document
    window.sync();
    EXPECT_TRUE(enabled("CreateNewTemplate_Click"));
    EXPECT_FALSE(enabled("OpenField_Click"));
    auto* tabs = window.findChild<QTabWidget*>("documents");
    tabs->setCurrentIndex(0);  // back to the template
    EXPECT_EQ(window.windowTitle().toStdString(), "invoice.rtf - Quorvane Studio");
    EXPECT_TRUE(enabled("EditTemplateProperties_Click"));
    EXPECT_TRUE(enabled("PreviewDocument_Click"));
    ASSERT_TRUE(window.closeDocument(window.activeView()->model()));
    EXPECT_TRUE(enabled("CreateNewTemplate_Click"));
    EXPECT_FALSE(enabled("PreviewDocument_Click"));
    for (const char* text : {"&Save", "&Close", "Page Set&up...", "&Print..."}) EXPECT_TRUE(fileItem(text)) << text;
    ASSERT_TRUE(window.closeDocument(window.activeView()->model()));
    EXPECT_FALSE(enabled("CreateNewTemplate_Click"));
    EXPECT_TRUE(enabled("About_Click"));
    for (const char* text : {"&Save", "&Close", "Page Set&up...", "&Print..."}) EXPECT_FALSE(fileItem(text)) << text;
}
