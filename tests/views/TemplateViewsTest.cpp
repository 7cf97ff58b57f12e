// The template-properties and default-format windows under Qt: the author's
// clicks reach the forms, and what the forms change is what the windows show.
#include "core/forms/frmVbScriptError.h"
#include "designer/Designer.h"
#include "designer/ModMSWordMenuToolbar.h"
#include "designer/forms/frmQzProperties.h"
#include "designer/forms/frmTemplateDefaultFormat.h"
#include "designer/modMSWordFields.h"
#include "platform/ui/UiHost.h"
#include "views/host/ViewRegistry.h"
#include "views/word/DocumentView.h"
#include "views/studio/StudioWindow.h"

#include "production/TestFiles.h"
#include "system/TestEnv.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace qz;
namespace fs = std::filesystem;

TEST(TemplateViews, PropertiesWindowShowsThePathsAndOkHandsTheChoiceBack) {
    designer::frmQzProperties form;
    form.QzTemplatePath = std::filesystem::temp_directory_path().string();
    form.QzTemplateFileName = "Invoice.rtf";
    form.QzcFilename = "Invoice.qzc";
    form.QzPropertiesReadOnly = true;
    form.InitializeControls();
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    EXPECT_EQ(view->windowTitle(), "Qz Template Properties (Read Only)");
    for (const char* name : {"cmdSaveAs", "cmdFormat", "cmdCancel", "cmdHelp"})
        EXPECT_NE(view->findChild<QPushButton*>(name), nullptr) << name;
    auto* qzc = view->findChild<QLabel*>("lblQZCFileName");
    auto* keep = view->findChild<QComboBox*>("cboRevision");
    auto* ok = view->findChild<QPushButton*>("cmdOk");
    ASSERT_TRUE(qzc && keep && ok && view->findChild<QGroupBox*>("fraRevision"));
    EXPECT_EQ(qzc->text().toStdString(), form.QzTemplatePath + "/Invoice.qzc");
    EXPECT_EQ(keep->count(), 12);
    EXPECT_EQ(keep->currentText(), "None");
    keep->setCurrentIndex(3);
    emit keep->activated(3);
    EXPECT_EQ(form.QzRevisionKeep, 3);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(form.CancelUpdate());
    form.Unload();
}

TEST(TemplateViews, PropertiesWindowShortensLongPathsToItsWidth) {
    designer::frmQzProperties form;
    form.QzTemplatePath = "/home/author/" + std::string(80, 'x') + "/templates";
    form.QzTemplateFileName = "Report.rtf";
    form.QzcFilename = "Report.qzc";
    form.InitializeControls();
    const std::string whole = form.QzTemplatePath + "/Report.rtf";
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    view->show();
    auto* qzt = view->findChild<QLabel*>("lblQZTFileName");
    auto* rev = view->findChild<QLineEdit*>("txtRevisionPath");
    ASSERT_TRUE(qzt && rev);
    // Shortened in the middle to the widget's own width, the whole path in the tooltip.
    auto expectShortened = [](QWidget* w, const QString& shown, const std::string& full, const char* tail) {
        EXPECT_TRUE(shown.startsWith("/home/") && shown.endsWith(tail) && shown.contains(QChar(0x2026))) << shown.toStdString();
        EXPECT_LE(w->fontMetrics().horizontalAdvance(shown), w->contentsRect().width());
        EXPECT_EQ(w->toolTip().toStdString(), full);
    };
    expectShortened(qzt, qzt->text(), whole, "Report.rtf");
    expectShortened(rev, rev->text(), designer::frmQzProperties::RevisionFolderOf(whole), "ReportREV");
    // Redone when the window grows.
    const qsizetype before = qzt->text().size();
    view->resize(view->width() + 300, view->height());
    EXPECT_GT(qzt->text().size(), before);
    // A short path is shown whole, without a tooltip.
    form.QzTemplatePath = "/tmp";
    form.InitializeControls();
    view->push();
    EXPECT_EQ(qzt->text(), "/tmp/Report.rtf");
    EXPECT_TRUE(qzt->toolTip().isEmpty());
    // A user event leaves the form's whole texts as they were.
    form.QzTemplatePath = "/home/author/" + std::string(80, 'y');
    form.InitializeControls();
    view->push();
    QTest::mouseClick(view->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    EXPECT_EQ(form.txtRevisionPath.Text, designer::frmQzProperties::RevisionFolderOf(form.QzTemplatePath + "/Report.rtf"));
    EXPECT_FALSE(view->isVisible());
    form.Unload();
}

TEST(TemplateViews, FormatWindowShowsTheChosenTabAndItsOverride) {
    designer::frmTemplateDefaultFormat form;
    form.QzPercentFormat = std::make_shared<QzFormatNumber>();
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    auto* tabs = view->findChild<QTabBar*>("tabstripFormat");
    auto* date = view->findChild<QGroupBox*>("fraDate");
    auto* percent = view->findChild<QGroupBox*>("fraPercent");
    auto* override = view->findChild<QCheckBox*>("chkOverrideNumberSystemFormat2");
    auto* digits = view->findChild<QComboBox*>("cboNumberOfDigits2");
    ASSERT_TRUE(tabs && date && percent && override && digits);
    EXPECT_EQ(tabs->count(), 5);
    EXPECT_TRUE(date->isVisible());
    EXPECT_FALSE(percent->isVisible());
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(4).center());
    EXPECT_EQ(form.tabstripFormat.SelectedTab, 4);
    EXPECT_FALSE(date->isVisible());
    EXPECT_TRUE(percent->isVisible());
    // At the window's own width every caption of the tab shows whole.
    QCoreApplication::processEvents();
    for (const QLabel* l : percent->findChildren<QLabel*>()) {
        const int needed = l->wordWrap() ? l->heightForWidth(l->width()) : l->sizeHint().height();
        EXPECT_GE(l->height(), needed) << l->text().toStdString();
        EXPECT_GE(l->width(), l->wordWrap() ? 0 : l->sizeHint().width()) << l->text().toStdString();
    }
    EXPECT_FALSE(digits->isEnabled());
    QTest::mouseClick(override, Qt::LeftButton);
    EXPECT_TRUE(digits->isEnabled());
    QTest::mouseClick(view->findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
    EXPECT_FALSE(view->isVisible());
    EXPECT_TRUE(form.QzPercentFormat->bOverrideDefaultProperties);
    form.Unload();
}

// Switching tabs back and forth leaves the window its size.
TEST(TemplateViews, FormatWindowKeepsItsSizeAcrossTabSwitches) {
    designer::frmTemplateDefaultFormat form;
    form.QzPercentFormat = std::make_shared<QzFormatNumber>();
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    QCoreApplication::processEvents();
    auto* tabs = view->findChild<QTabBar*>("tabstripFormat");
    ASSERT_TRUE(tabs);
    const QSize first = view->size();
    for (int round = 0; round < 3; ++round)
        for (int k : {1, 2, 0, 4, 3}) {
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(k).center());
            QCoreApplication::processEvents();
        }
    EXPECT_EQ(view->size(), first);
    form.Unload();
}

namespace {

// Plays the author headlessly while the studio's window is real; remembers
// what the script-error dialog said.
struct AuthorHost : ui::HeadlessUiHost {
    std::vector<std::string> scriptErrors;
    void showModal(ui::Form& form) override {
        if (auto* e = dynamic_cast<frmVbScriptError*>(&form))
            scriptErrors.push_back(e->txtQzFieldName.Text + ": " + e->txtErrorDescription.Text);
        HeadlessUiHost::showModal(form);
    }
};

} // namespace

TEST(TemplateViews, PreviewFromTheStudioOpensTheOutputUnlessTheScriptFails) {
    test::TempDir dir;
    for (const char* f : {"invoice.rtf", "invoice.qzc", "invoice.db"})
        fs::copy_file(std::string(QZ_SOURCE_DIR) + "/examples/" + f, dir.path() + "/" + f);
    test::ScopedEnv env;
    env.set("XDG_DATA_HOME", dir.path() + "/data");
    AuthorHost host;
    ui::setCurrentHost(&host);
    {
        word::Application app;
        designer::InstallAddinTemplate(app);
        designer::Designer designer;
        designer.Initialize(app);
        views::StudioWindow window(app, designer::CommandIdOfMacro, [&](int id) { designer.HandleCmd(id); });
        window.runCommand(100);
        window.runCommand(10);
        const QString invoice = QString::fromStdString(dir.path() + "/invoice.rtf");
        ASSERT_TRUE(window.openFile(invoice));
        window.runCommand(10);
        QAction* preview = nullptr;
        for (QAction* menu : window.menuBar()->actions())
            if (menu->text() == "&QzStudio") preview = menu->menu()->findChild<QAction*>("PreviewDocument_Click");
        ASSERT_NE(preview, nullptr);
        ASSERT_TRUE(preview->isEnabled());
        // As the pointer on the button left it: its status tip goes once the preview is done.
        window.statusBar()->showMessage(preview->statusTip());
        preview->trigger();
        EXPECT_EQ(window.statusBar()->currentMessage(), "");
        auto* tabs = window.findChild<QTabWidget*>();
        ASSERT_NE(tabs, nullptr);
        ASSERT_EQ(tabs->count(), 2);
        EXPECT_EQ(tabs->tabText(1), "Preview of invoice.rtf");
        word::Document& output = window.activeView()->model();
        EXPECT_EQ(output.FullName(), designer.PreviewOutputFile());
        EXPECT_NE(output.Content().Text().find("Brasserie L\xC3\xA9on & Fils"), std::string::npos);

        // A statement that fails: the error is shown and no document opens.
        ASSERT_TRUE(window.openFile(invoice));
        app.GetSelection().SetRange(0, 0);
        designer::modMSWordFields(app).InsertStatementField({0, 0, "Oops", 0, 0, "x = 1 / 0"});
        preview->trigger();
        EXPECT_EQ(tabs->count(), 2);
        EXPECT_EQ(host.scriptErrors, std::vector<std::string>{"Oops: Division by zero"});
    }
    ui::setCurrentHost(nullptr);
}
