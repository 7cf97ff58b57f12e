// The script-error dialog's and the query-parameter prompt's windows: every
// control bound by its name, the boxes coloured as the form says, OK and
// Escape close.
#include "core/forms/frmVbScriptError.h"
#include "designer/forms/frmParameters.h"
#include "views/host/ViewRegistry.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace qz;

namespace {

std::unique_ptr<views::FormView> open(ui::Form& form) {
    form.ShowModeless();  // the headless host marks it shown; the view is made here
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    if (view) view->show();
    return view;
}

} // namespace

TEST(FoundationViews, ScriptErrorDialogShowsItsBoxesAndCloses) {
    frmVbScriptError form;
    form.InitForm(13, "Microsoft VBScript runtime error", "Type mismatch", "x = a + b", 3, "Total", 2);
    auto view = open(form);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->windowTitle(), "Quorvane Error");
    for (ui::Control* c : form.Controls())
        EXPECT_NE(view->findChild<QWidget*>(QString::fromStdString(c->Name)), nullptr) << c->Name;

    auto* name = view->findChild<QLineEdit*>("txtQzFieldName");
    auto* description = view->findChild<QPlainTextEdit*>("txtErrorDescription");
    auto* errorFrame = view->findChild<QGroupBox*>("fraError");
    auto* ok = view->findChild<QPushButton*>("cmdOk");
    ASSERT_TRUE(name && description && errorFrame && ok);
    EXPECT_EQ(name->text(), "Total");
    EXPECT_EQ(view->findChild<QGroupBox*>("fraQzField")->title(), "Statement Field");
    EXPECT_EQ(description->toPlainText(), "Type mismatch");
    EXPECT_TRUE(name->isReadOnly() && description->isReadOnly());
    EXPECT_EQ(name->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(description->palette().color(QPalette::Base), view->palette().color(QPalette::Button));
    EXPECT_FALSE(view->findChild<QPushButton*>("cmdHelp")->isVisible());
    EXPECT_EQ(ok->text(), "Ok");
    EXPECT_EQ(ok->geometry().right(), errorFrame->geometry().right());

    // A box that gets the focus selects its whole text.
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    description->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(description->textCursor().selectedText(), "Type mismatch");
    QTest::mouseClick(name, Qt::LeftButton, {}, QPoint(5, 5));  // by a click too
    QApplication::processEvents();
    EXPECT_EQ(name->selectedText(), "Total");

    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(view->isVisible());

    auto again = open(form);
    QTest::keyClick(again.get(), Qt::Key_Escape);
    EXPECT_FALSE(form.Visible());
}

TEST(FoundationViews, ParameterPromptTakesTheTypedValue) {
    designer::frmParameters form;
    form.Caption = "City = ?";
    auto view = open(form);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->windowTitle(), "City = ?");
    auto* value = view->findChild<QLineEdit*>("txtParameter");
    auto* ok = view->findChild<QPushButton*>("cmdOk");
    ASSERT_TRUE(value && ok && view->findChild<QWidget*>("lblValue"));
    EXPECT_TRUE(ok->isDefault());
    QTest::keyClicks(value, "'Rome'");
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(form.txtParameter.Text, "'Rome'");

    designer::frmParameters other;
    auto second = open(other);
    ASSERT_NE(second->findChild<QPushButton*>("cmdCancel"), nullptr);
    QTest::keyClick(second.get(), Qt::Key_Escape);  // Escape is Cancel
    EXPECT_FALSE(other.Visible());
    EXPECT_TRUE(other.Cancelled);
    EXPECT_FALSE(form.Cancelled);
    EXPECT_FALSE(second->isVisible());
}
