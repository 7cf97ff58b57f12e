// The form binder, driven through the error dialog's view: widgets show the
// control models, a click reaches the handler with what the user typed, and a
// handler that hides the form closes the window.
#include "core/forms/frmErrors.h"
#include "views/host/ViewRegistry.h"

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace qz;

TEST(FormView, ShowsTheModelsAndRunsHandlersAsAUserEvent) {
    frmErrors form;
    form.InitForm("Line one\nLine two", "Problem", "Details");
    form.ShowModeless();  // the headless host marks the form shown; the view is made here
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    ASSERT_NE(view, nullptr);
    // A form of another class that bears the name gets no window.
    ui::Form impostor("frmErrors");
    EXPECT_EQ(std::unique_ptr<views::FormView>(views::createView(impostor, nullptr)), nullptr);
    view->show();
    EXPECT_EQ(view->windowTitle(), "Problem");
    auto* text = view->findChild<QPlainTextEdit*>("txtError");
    auto* frame = view->findChild<QGroupBox*>("fraMain");
    auto* ok = view->findChild<QPushButton*>("cmdOk");
    auto* help = view->findChild<QPushButton*>("cmdHelp");
    ASSERT_TRUE(text && frame && ok && help);
    EXPECT_EQ(text->toPlainText(), "Line one\nLine two");
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(frame->title(), "Details");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(help->isVisible());
    EXPECT_EQ(ok->text(), "&OK");

    // A model changed by code reaches the widget at the next push.
    form.txtError.Text = "Other";
    view->push();
    EXPECT_EQ(text->toPlainText(), "Other");

    // A multi-line box keeps CR LF line breaks and counts both characters,
    // as the form's logic does; the widget shows one break.
    form.txtError.Text = "ab\r\ncd";
    form.txtError.SelStart = 4;  // before "d"
    form.txtError.SelLength = 0;
    view->push();
    EXPECT_EQ(text->toPlainText(), "ab\ncd");
    EXPECT_EQ(text->textCursor().position(), 3);
    form.txtError.Text.clear();
    view->pull();
    EXPECT_EQ(form.txtError.Text, "ab\r\ncd");
    EXPECT_EQ(form.txtError.SelStart, 4);

    // OK hides the form; the window closes with it.
    ASSERT_TRUE(form.Visible());
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(view->isVisible());
}

TEST(FormView, EscapePressesTheCancelButton) {
    frmErrors form;
    form.InitForm("x", "", "");
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(form.Visible());
}

TEST(FormView, UnknownFormsHaveNoView) {
    ui::Form other("frmNoSuchForm");
    EXPECT_EQ(views::createView(other, nullptr), nullptr);
}
