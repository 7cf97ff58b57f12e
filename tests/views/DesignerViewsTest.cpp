// The about box and the waiting window under Qt: every control is wired,
// OK closes the about box, the waiting window shows its message.
#include "designer/forms/frmAbout.h"
#include "designer/forms/frmWaiting.h"
#include "views/host/QtUiHost.h"
#include "views/host/ViewRegistry.h"

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
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
    auto* logo = view->findChild<QLabel*>("picIcon");
    ASSERT_NE(logo, nullptr);
    EXPECT_FALSE(logo->pixmap().isNull());
    for (const char* line : {"Line1", "Line2", "Line3"}) EXPECT_NE(view->findChild<QFrame*>(line), nullptr) << line;
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(view->isVisible());
}

// System Info opens the system's own window over the about box: the toolkit
// is named, and Copy puts the whole text on the desktop's clipboard.
TEST(DesignerViews, SystemInfoShowsItsWindowAndCopies) {
    views::QtUiHost host;
    ui::setCurrentHost(&host);
    designer::frmAbout about;
    about.Initialize();
    QString text, copied;
    QTimer::singleShot(0, [&] {
        auto* aboutView = qobject_cast<views::FormView*>(QApplication::activeModalWidget());
        ASSERT_NE(aboutView, nullptr);
        QTimer::singleShot(0, [&] {
            auto* info = qobject_cast<views::FormView*>(QApplication::activeModalWidget());
            ASSERT_TRUE(info && info != aboutView);
            EXPECT_EQ(info->windowTitle(), "System Information");
            text = info->findChild<QPlainTextEdit*>("txtInfo")->toPlainText();
            QTest::mouseClick(info->findChild<QPushButton*>("cmdCopy"), Qt::LeftButton);
            copied = QGuiApplication::clipboard()->text();
            QTest::mouseClick(info->findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
        });
        QTest::mouseClick(aboutView->findChild<QPushButton*>("cmdSysInfo"), Qt::LeftButton);
        QTest::mouseClick(aboutView->findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
    });
    about.ShowModal();
    ui::setCurrentHost(nullptr);
    EXPECT_TRUE(text.contains("\nQt: 6.")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nODBC drivers:")) << text.toStdString();
    EXPECT_EQ(copied.toStdString(), QString(text).replace("\n", "\r\n").toStdString());
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
    // The closed window waits for its deletion: it must no longer hold the
    // form's controls, which die with the form before that deletion runs.
    if (view) {
        EXPECT_EQ(view->widgetOf(form.lblWaiting), nullptr);
    }
    ui::setCurrentHost(nullptr);
}
