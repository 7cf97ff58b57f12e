// The template-properties and default-format windows under Qt: the author's
// clicks reach the forms, and what the forms change is what the windows show.
#include "designer/forms/frmQzProperties.h"
#include "designer/forms/frmTemplateDefaultFormat.h"
#include "views/host/ViewRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace qz;

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
    EXPECT_FALSE(digits->isEnabled());
    QTest::mouseClick(override, Qt::LeftButton);
    EXPECT_TRUE(digits->isEnabled());
    QTest::mouseClick(view->findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
    EXPECT_FALSE(view->isVisible());
    EXPECT_TRUE(form.QzPercentFormat->bOverrideDefaultProperties);
    form.Unload();
}
