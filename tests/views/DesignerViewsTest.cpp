// The about box and the waiting window under Qt: every control is wired,
// OK closes the about box, the waiting window shows its message.
#include "designer/forms/frmAbout.h"
#include "designer/forms/frmWaiting.h"
#include "views/host/QtUiHost.h"
#include "views/host/ViewRegistry.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace qz;

TEST(DesignerViews, AboutBoxShowsTheVersionAndOkClosesIt) {
    designer::frmAbout form;
    form.Initialize();
    form.ShowModeless();
    std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
    ASSERT_NE(view, nullptr);
    view->show();
    EXPECT_EQ(view->windowTitle(), "About Quorvane Studio");
    auto* title = view->findChild<QLabel*>("lblTitle");
    auto* version = view->findChild<QLabel*>("lblVersion");
    auto* ok = view->findChild<QPushButton*>("cmdOk");
    ASSERT_TRUE(title && version && ok && view->findChild<QPushButton*>("cmdSysInfo") &&
                view->findChild<QLabel*>("lblDisclaimer"));
    EXPECT_EQ(title->text(), "Quorvane Studio");
    EXPECT_EQ(version->text(), "8.2.2 ");
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(view->isVisible());
}

// The waiting window through the desktop host, as a preview drives it: a
// second show and a refresh put their texts in the same window and paint
// them before returning (the caller goes on working without an event loop).
TEST(DesignerViews, WaitingWindowShowsEachNewTextAtOnce) {
    views::QtUiHost host;
    ui::setCurrentHost(&host);
    designer::frmWaiting form;
    form.Caption = "Preview Document";
    form.lblWaiting.Caption = "Preparing Document...";
    form.ShowModeless();
    QPointer<views::FormView> view = host.viewOf(form);
    ASSERT_TRUE(view && view->isVisible());
    EXPECT_EQ(view->windowTitle(), "Preview Document");
    auto* label = view->findChild<QLabel*>("lblWaiting");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Preparing Document...");

    struct PaintedText : QObject {
        QString last;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Paint) last = static_cast<QLabel*>(o)->text();
            return false;
        }
    } painted;
    label->installEventFilter(&painted);
    form.Caption = "Second";
    form.lblWaiting.Caption = "Opening connections...";
    form.ShowModeless();
    EXPECT_EQ(host.viewOf(form), view.data());
    EXPECT_EQ(view->windowTitle(), "Second");
    EXPECT_EQ(painted.last, "Opening connections...");
    form.lblWaiting.Caption = "Running the script...";
    form.Refresh();
    EXPECT_EQ(painted.last, "Running the script...");
    form.Unload();
    EXPECT_TRUE(!view || !view->isVisible());
    ui::setCurrentHost(nullptr);
}
