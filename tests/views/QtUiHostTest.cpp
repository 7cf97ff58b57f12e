// The desktop host, driven as a user drives it: timers press the buttons of
// the windows the host opens, while the host waits in their modal loops.
#include "core/ModGlobal.h"
#include "core/forms/frmErrors.h"
#include "platform/automation/AutomationError.h"
#include "views/host/FormView.h"
#include "views/host/QtUiHost.h"
#include "views/samples/Samples.h"

#include <QApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>
#include <atomic>
#include <unistd.h>

using namespace qz;

namespace {

struct QtHostFixture : ::testing::Test {
    views::QtUiHost host;
    void SetUp() override { ui::setCurrentHost(&host); }
    void TearDown() override { ui::setCurrentHost(nullptr); }
};

// Runs `act` on the modal window in front once the host's loop is running.
template <typename W>
void whenShown(std::function<void(W*)> act) {
    QTimer::singleShot(0, [act] {
        auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
        ASSERT_NE(w, nullptr);
        act(w);
    });
}

} // namespace

TEST_F(QtHostFixture, AModalFormRunsUntilItsButtonHidesIt) {
    frmErrors form;
    form.InitForm("Disk full", "", "");
    bool sawWindow = false;
    whenShown<views::FormView>([&](views::FormView* v) {
        sawWindow = v == host.viewOf(form) && form.Visible();
        QTest::mouseClick(v->findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
    });
    form.ShowModal();
    EXPECT_TRUE(sawWindow);
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(host.viewOf(form), nullptr);

    // Escape ends it too.
    whenShown<views::FormView>([](views::FormView* v) { QTest::keyClick(v, Qt::Key_Escape); });
    form.ShowModal();
    EXPECT_FALSE(form.Visible());
}

TEST_F(QtHostFixture, AFormWithoutAViewIsAClearError) {
    ui::Form other("frmNoSuchForm");
    try {
        other.ShowModal();
        FAIL() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Description, "The window \"frmNoSuchForm\" cannot be shown.");
    }
    EXPECT_FALSE(other.Visible());
}

TEST_F(QtHostFixture, AModelessWindowGoesWhenItsFormHidesOrIsDestroyed) {
    QPointer<views::FormView> view;
    {
        frmErrors form;
        form.ShowModeless();
        view = host.viewOf(form);
        ASSERT_TRUE(view && view->isVisible());
        form.Hide();
        EXPECT_EQ(host.viewOf(form), nullptr);
        EXPECT_FALSE(view->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(view.isNull());
        form.ShowModeless();
        view = host.viewOf(form);
        ASSERT_TRUE(view);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view.isNull());
}

TEST_F(QtHostFixture, MessageBoxesAnswerWithTheButtonPressed) {
    QString text, title;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        title = box->windowTitle();
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));  // vbDefaultButton2
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(host.msgBox("Replace <b>files</b>?\r\nSure", ui::vbYesNo | ui::vbQuestion | ui::vbDefaultButton2,
                          "Title"),
              ui::vbYes);
    EXPECT_EQ(text, "Replace <b>files</b>?\nSure");
    EXPECT_EQ(title, "Title");

    // Escape: Cancel where there is one, No for Yes/No, OK for OK alone.
    const std::pair<int, int> escapes[] = {{ui::vbYesNoCancel, ui::vbCancel}, {ui::vbYesNo, ui::vbNo},
                                           {ui::vbOKOnly, ui::vbOK}, {ui::vbRetryCancel, ui::vbCancel}};
    for (const auto& [style, result] : escapes) {
        whenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        EXPECT_EQ(host.msgBox("?", style, ""), result) << style;
    }
    // Abort/Retry/Ignore has no way out but its buttons: Escape is ignored.
    whenShown<QMessageBox>([](QMessageBox* box) {
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_TRUE(box->isVisible());
        box->button(QMessageBox::Ignore)->click();
    });
    EXPECT_EQ(host.msgBox("?", ui::vbAbortRetryIgnore | ui::vbCritical, ""), ui::vbIgnore);
}

TEST_F(QtHostFixture, InputBoxGivesTheTextOrNothing) {
    whenShown<QInputDialog>([](QInputDialog* d) {
        d->findChild<QLineEdit*>()->setText("typed");
        d->accept();
    });
    EXPECT_EQ(host.inputBox("Name?", "Ask", "default"), "typed");
    whenShown<QInputDialog>([](QInputDialog* d) { d->reject(); });
    EXPECT_EQ(host.inputBox("Name?", "Ask", "default"), std::nullopt);
}

TEST_F(QtHostFixture, HelpOpensTheContextPageInOneWindow) {
    char dir[] = "/tmp/qzqthelpXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string index = std::string(dir) + "/index.html", page = std::string(dir) + "/1020.html";
    std::ofstream(index) << "<html><head><title>General</title></head><body>Contents</body></html>";
    std::ofstream(page) << "<html><head><title>Properties</title></head><body>"
                           "<a href=\"index.html\">back</a></body></html>";

    const std::intptr_t handle = host.showHelp(index, ui::HelpContext, 1020);
    EXPECT_NE(handle, 0);
    QWidget* window = host.helpWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    auto* browser = window->findChild<QTextBrowser*>("helpBrowser");
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->source().toLocalFile().toStdString(), page);
    EXPECT_EQ(window->windowTitle(), "Properties");

    // The general page opens in the same window; a missing help file opens nothing.
    EXPECT_NE(host.showHelp(index, ui::HelpDisplayTopic, 0), 0);
    EXPECT_EQ(host.helpWindow(), window);
    EXPECT_EQ(browser->source().toLocalFile().toStdString(), index);
    EXPECT_EQ(host.showHelp(std::string(dir) + "/none.html", ui::HelpDisplayTopic, 0), 0);

    // Escape closes the window, and so does its Close button.
    QPointer<QWidget> alive = window;
    QTest::keyClick(browser, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    host.showHelp(index, ui::HelpDisplayTopic, 0);
    window = alive = host.helpWindow();
    ASSERT_NE(window, nullptr);
    QTest::mouseClick(window->findChild<QPushButton*>("helpClose"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());

    host.showHelp(index, ui::HelpDisplayTopic, 0);
    alive = host.helpWindow();
    host.showHelp("", ui::HelpCloseAll, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    std::remove(index.c_str());
    std::remove(page.c_str());
    ::rmdir(dir);
}

TEST_F(QtHostFixture, BusyCursorNestsAndExtraOffsAreIgnored) {
    host.setBusyCursor(true);
    host.setBusyCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    host.setBusyCursor(false);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    host.setBusyCursor(false);
    host.setBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtHostFixture, EveryHelpContextOfTheSystemHasItsPageBesideTheProgram) {
    HelpCenter help;  // <program folder>/Help/index.html, copied there by the build
    for (std::int32_t id : {1020, 1030, 1031, 1032, 1100, 1200, 1210})
        EXPECT_EQ(ui::helpTopicPath(help.HelpFilePath(), ui::HelpContext, id),
                  help.HelpFilePath().substr(0, help.HelpFilePath().rfind('/') + 1) + std::to_string(id) + ".html");
    help.OpenHelpCenter(0, 1100);
    EXPECT_NE(glHelpWindowHandle, 0);
    ASSERT_NE(host.helpWindow(), nullptr);
    EXPECT_EQ(host.helpWindow()->windowTitle(), "Expression fields");
    host.showHelp("", ui::HelpCloseAll, 0);
}

TEST(Screenshots, EverySampleIsDrawnAndNotBlank) {
    const auto names = views::registeredSamples();
    ASSERT_FALSE(names.empty());
    EXPECT_NE(std::find(names.begin(), names.end(), "frmErrors"), names.end());
    char dir[] = "/tmp/qzshotsXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string path = std::string(dir) + "/" + name + ".png";
        ASSERT_NO_THROW(views::renderSample(name, path));
        QImage image(QString::fromStdString(path));
        ASSERT_FALSE(image.isNull());
        EXPECT_GT(image.width(), 50);
        const QRgb first = image.pixel(0, 0);
        bool varied = false;
        for (int y = 0; y < image.height() && !varied; ++y)
            for (int x = 0; x < image.width() && !varied; ++x) varied = image.pixel(x, y) != first;
        EXPECT_TRUE(varied) << "one colour only";
        std::remove(path.c_str());
    }
    EXPECT_THROW(views::renderSample("frmNoSuchForm", std::string(dir) + "/x.png"), AutomationError);
    ::rmdir(dir);
}

TEST_F(QtHostFixture, FileDialogsTakeTheFiltersFolderAndDefaultExtension) {
    char dir[] = "/tmp/qzfiledlgXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    ui::FileDialogRequest save;
    save.save = true;
    save.title = "Save As";
    save.filters = {{"Rich Text Format (*.rtf)", "*.rtf"}, {"All Files (*.*)", "*.*"}};
    save.initialFolder = dir;
    save.defaultExt = "rtf";
    QStringList filters;
    QString chosenFilter, folder;
    whenShown<QFileDialog>([&](QFileDialog* d) {
        filters = d->nameFilters();
        chosenFilter = d->selectedNameFilter();
        folder = d->directory().absolutePath();
        d->selectFile("Invoice");
        QMetaObject::invokeMethod(d, "accept");  // as the Save button does
    });
    const ui::FileDialogResult saved = host.fileDialog(save);
    EXPECT_EQ(filters, QStringList({"Rich Text Format (*.rtf)", "All Files (*)"}));
    EXPECT_EQ(chosenFilter, "Rich Text Format (*.rtf)");
    EXPECT_EQ(folder.toStdString(), dir);
    EXPECT_EQ(saved.outcome, ui::FileDialogResult::Ok);
    EXPECT_EQ(saved.path, std::string(dir) + "/Invoice.rtf");

    whenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_EQ(host.fileDialog(save).outcome, ui::FileDialogResult::Cancelled);
    whenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_EQ(host.folderDialog("Select directory.", dir), std::nullopt);
    ::rmdir(dir);
}

TEST_F(QtHostFixture, ACancelledPrintDialogChangesNothing) {
    ui::PrintDialogRequest request;
    request.current.copies = 3;
    request.current.orientation = 2;
    request.current.paperSize = 9;
    bool selectionOffered = true;
    whenShown<QPrintDialog>([&](QPrintDialog* d) {
        selectionOffered = d->testOption(QAbstractPrintDialog::PrintSelection);
        d->reject();
    });
    const ui::PrintDialogResult result = host.printDialog(request);
    EXPECT_FALSE(selectionOffered);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.settings.copies, 3);
    EXPECT_EQ(result.settings.orientation, 2);
    EXPECT_EQ(result.settings.paperSize, 9);
}

TEST_F(QtHostFixture, ThePrintDialogGivesTheFileChosenToPrintTo) {
    ui::PrintDialogRequest request;
    request.current.outputFile = "/tmp/first.pdf";
    QString shown;
    whenShown<QPrintDialog>([&](QPrintDialog* d) {
        shown = d->printer()->outputFileName();
        d->accept();
    });
    // The dialog opens on the file, and what it accepts comes back.
    const ui::PrintDialogResult result = host.printDialog(request);
    EXPECT_EQ(shown, "/tmp/first.pdf");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.settings.outputFile, "/tmp/first.pdf");
}

TEST_F(QtHostFixture, AnotherThreadsQuestionIsAskedOnTheGuiThread) {
    std::atomic<int> answer{0};
    // The box's own loop runs on this thread; a timer inside it answers.
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Cancel)->click();
    });
    clicker.start(10);
    std::thread worker([&] { answer = host.msgBox("Continue?", ui::vbOKCancel, "Worker"); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer != 0; }, 60000));
    worker.join();
    EXPECT_EQ(answer, ui::vbCancel);
}
