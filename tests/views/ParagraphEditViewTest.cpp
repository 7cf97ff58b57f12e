// The studio's paragraph-level editing, offscreen: lists from the toolbar,
// the paragraph dialog, find and replace that leaves fields whole, the
// context menu, recent files, and printing the document's pages to PDF.
#include "platform/word/Application.h"
#include "platform/word/DisplayWalk.h"
#include "platform/word/Lists.h"
#include "platform/word/Range.h"
#include "platform/ui/Printer.h"
#include "platform/ui/UiHost.h"
#include "views/host/QtPrinter.h"
#include "views/studio/RecentFiles.h"
#include "views/studio/StudioWindow.h"
#include "views/word/DocumentPrint.h"
#include "views/word/DocumentView.h"
#include "views/word/FindReplaceDialog.h"
#include "views/word/ParagraphDialog.h"

#include "production/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace qz;

namespace {

struct Studio {
    word::Application app;
    std::vector<std::string> macros;
    views::StudioWindow window{app, [](const std::string&) { return 0; }, [](int) {}};
    views::DocumentView* open(std::string_view rtf) {
        word::Document& doc = app.GetDocuments().Add();
        doc.LoadRtfText(rtf);
        window.sync();
        views::DocumentView* v = window.activeView();
        v->onMacroButton = [this](const std::string& m) { macros.push_back(m); };
        return v;
    }
};

QAction* action(QWidget* owner, const QString& text) {
    for (QAction* a : owner->findChildren<QAction*>())
        if (a->text() == text) return a;
    for (QAction* a : owner->actions())
        if (a->text() == text) return a;
    return nullptr;
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(StudioParagraphs, ToolbarListsShowInTheViewAndThroughTheDialogOnlyChangesApply) {
    Studio s;
    views::DocumentView* v = s.open(R"({\rtf1\ansi\pard\qc one\par\pard\qr two\par three})");
    word::Document& doc = v->model();
    doc.GetSelection().SetRange(0, 5); // "one" and into "two"
    v->pushSelection();
    QToolBar* bar = s.window.findChild<QToolBar*>("Formatting");
    action(bar, "Numbering")->trigger();
    EXPECT_EQ(v->document()->findBlockByNumber(0).text(), "1.\tone");
    EXPECT_EQ(v->document()->findBlockByNumber(1).text(), "2.\ttwo");
    EXPECT_EQ(v->document()->findBlockByNumber(2).text(), "three");
    EXPECT_TRUE(action(bar, "Numbering")->isChecked());
    // Backspace just after a number takes that paragraph out of the list.
    doc.GetSelection().SetRange(6, 6);
    v->pushSelection();
    v->deleteBackward();
    EXPECT_EQ(v->document()->findBlockByNumber(1).text(), "two");
    EXPECT_EQ(word::Range(&doc, &doc.MainStory(), 5, 5).ParagraphFormat().list, 0);
    v->undo();
    EXPECT_EQ(v->document()->findBlockByNumber(1).text(), "2.\ttwo");
    v->undo();
    EXPECT_EQ(v->document()->findBlockByNumber(0).text(), "one");

    // The dialog shows the first paragraph; what the author changed goes to
    // both, what he left (the alignment, which differs) stays each one's.
    word::ParaFormat shown = v->modelParaFormat();
    shown.tabs = {{1134, word::TabKind::Left, word::TabLeader::None}};
    views::ParagraphDialog dialog(shown);
    dialog.findChild<QDoubleSpinBox*>("leftIndent")->setValue(1.0);
    dialog.findChild<QDoubleSpinBox*>("spaceAfter")->setValue(6);
    dialog.findChild<QDoubleSpinBox*>("tabPosition")->setValue(5.0);
    dialog.setTab();
    dialog.clearAllTabs();
    dialog.findChild<QDoubleSpinBox*>("tabPosition")->setValue(3.0);
    dialog.setTab();
    const word::ParaFormat now = dialog.format();
    EXPECT_EQ(now.leftIndent, 567);
    EXPECT_EQ(now.spaceAfter, 120);
    ASSERT_EQ(now.tabs.size(), 1u);
    EXPECT_EQ(now.tabs[0].position, 1701);
    EXPECT_EQ(now.lineSpacing, shown.lineSpacing); // untouched
    doc.GetSelection().SetRange(0, 5);
    v->pushSelection();
    v->changeParagraphFormat(shown, now);
    const word::ParaFormat first = word::Range(&doc, &doc.MainStory(), 0, 0).ParagraphFormat();
    const word::ParaFormat second = word::Range(&doc, &doc.MainStory(), 5, 5).ParagraphFormat();
    EXPECT_EQ(first.alignment, word::Alignment::Center);
    EXPECT_EQ(second.alignment, word::Alignment::Right);
    EXPECT_EQ(second.leftIndent, 567);
    EXPECT_EQ(second.tabs, now.tabs);
    v->undo(); // one step
    EXPECT_EQ(word::Range(&doc, &doc.MainStory(), 5, 5).ParagraphFormat().leftIndent, 0);
}

TEST(StudioParagraphs, EnterInAListStartsAnItemAndOnAnEmptyOneEndsTheList) {
    Studio s;
    views::DocumentView* v = s.open(R"({\rtf1\ansi\pard one\par})");
    QToolBar* bar = s.window.findChild<QToolBar*>("Formatting");
    // Bullets on the story's last, empty paragraph: what is typed goes
    // after the bullet.
    QTest::keyClick(v, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(v, Qt::Key_Return);
    action(bar, "Numbering")->trigger();
    QTest::keyClicks(v, "a");
    EXPECT_EQ(v->document()->findBlockByNumber(1).text(), "1.\ta");
    // Enter after an item starts the next one, typed into after its number.
    QTest::keyClick(v, Qt::Key_Return);
    QTest::keyClicks(v, "b");
    EXPECT_EQ(v->document()->findBlockByNumber(2).text(), "2.\tb");
    QTest::keyClick(v, Qt::Key_Backspace);
    // Enter on the empty item takes it out of the list, one undo step.
    QTest::keyClick(v, Qt::Key_Return);
    EXPECT_EQ(v->document()->findBlockByNumber(2).text(), "");
    EXPECT_EQ(v->document()->blockCount(), 3);
    EXPECT_EQ(v->listType(), word::kListNoNumbering);
    v->undo();
    EXPECT_EQ(v->document()->findBlockByNumber(2).text(), "2.\t");
    // Numbering off there, the caret after the number: it stays in the story.
    action(bar, "Numbering")->trigger();
    EXPECT_EQ(v->document()->findBlockByNumber(2).text(), "");
    EXPECT_LE(v->model().GetSelection().End(), static_cast<long>(v->model().MainStory().size()));
}

// Text before a row's definition shows in the row's first cell; the place
// where the row starts is no character: Backspace and Delete take the text
// on either side of it and the row keeps its start.
TEST(StudioParagraphs, BackspaceAndDeleteKeepTheRowsStart) {
    Studio s;
    views::DocumentView* v = s.open(R"({\rtf1\ansi\pard ab\trowd\cellx1440\pard\intbl cd\cell\row\pard e\par})");
    word::Document& doc = v->model();
    const word::Story& story = doc.MainStory();
    ASSERT_TRUE(word::IsRowStartMark(doc, story[2]));
    EXPECT_EQ(v->modelPosition(v->viewPosition(3)), 3); // "ab" and "cd" show in the cell as one text
    doc.GetSelection().SetRange(3, 3);
    v->pushSelection();
    v->deleteBackward();
    doc.GetSelection().SetRange(1, 1);
    v->pushSelection();
    v->deleteForward();
    EXPECT_EQ(word::StoryText(doc, story, 0, 3), "a\xEF\xBF\xBC" "d");
    EXPECT_TRUE(word::IsRowStartMark(doc, story[1]));
    const std::string rtf = doc.ToRtf();
    EXPECT_LT(rtf.find("{\\cf0 a}"), rtf.find("\\trowd"));
}

TEST(StudioParagraphs, FindAndReplaceLeaveFieldsWholeAndWrap) {
    Studio s;
    views::DocumentView* v = s.open(
        R"({\rtf1\ansi name {\field{\*\fldinst MACROBUTTON name \u9674?name}{\fldrslt }}name\par Name})");
    word::Document& doc = v->model();
    const auto fields = [&] { return doc.Content().GetFields().Count(); };
    views::FindReplaceDialog* find = s.window.findDialog();
    find->showFor(true);
    find->findChild<QLineEdit*>("findText")->setText("name");
    find->findChild<QLineEdit*>("replaceText")->setText("id");
    doc.GetSelection().SetRange(8, 8); // inside the field's code
    v->pushSelection();
    find->findNext(true);
    EXPECT_GT(doc.GetSelection().Start(), 8);
    EXPECT_EQ(word::StoryText(doc, doc.MainStory(), doc.GetSelection().Start(), doc.GetSelection().End()), "name");
    find->findNext(true);
    find->findNext(true);
    EXPECT_EQ(doc.GetSelection().Start(), 0);
    EXPECT_EQ(find->status(), "Continued from the start of the document.");
    // Replace: the selected match, then on to the next.
    find->replaceOne();
    EXPECT_EQ(word::StoryText(doc, doc.MainStory(), 0, 3), "id ");
    find->replaceAll();
    EXPECT_EQ(find->status(), "2 replacements made.");
    EXPECT_EQ(fields(), 1);
    const std::string text = doc.Content().Text();
    EXPECT_NE(text.find("MACROBUTTON name"), std::string::npos) << text;
    EXPECT_EQ(text.find("ame"), text.find("name") + 1) << text; // only the field's code still says it
    v->undo();
    EXPECT_EQ(word::StoryText(doc, doc.MainStory(), 0, 3), "id ");
    find->close();
}

TEST(StudioParagraphs, ContextMenuOffersTheFieldsCommandsOnAField) {
    Studio s;
    views::DocumentView* v =
        s.open(R"({\rtf1\ansi ab {\field{\*\fldinst MACROBUTTON QzEdit \u9674?label}{\fldrslt }} cd})");
    word::Document& doc = v->model();
    s.window.show();
    v->finishRendering();
    const auto pointAt = [&](long model) {
        QTextCursor c(v->document());
        c.setPosition(v->viewPosition(model));
        return v->cursorRect(c).center();
    };
    const long label = word::FieldDisplayStart(doc.MainStory(), 3) + 2;
    std::unique_ptr<QMenu> plain(v->contextMenuAt(pointAt(1)));
    EXPECT_EQ(action(plain.get(), "&Open Field"), nullptr);
    EXPECT_FALSE(action(plain.get(), "Cu&t")->isEnabled()); // nothing selected
    std::unique_ptr<QMenu> onField(v->contextMenuAt(pointAt(label)));
    ASSERT_NE(action(onField.get(), "&Open Field"), nullptr);
    action(onField.get(), "&Open Field")->trigger();
    EXPECT_EQ(s.macros, std::vector<std::string>{"QzEdit"});
    EXPECT_EQ(doc.GetSelection().Start(), 3);
    std::unique_ptr<QMenu> again(v->contextMenuAt(pointAt(label)));
    action(again.get(), "&Delete Field")->trigger();
    EXPECT_EQ(doc.Content().Text(), "ab  cd");
    v->undo();
    EXPECT_EQ(doc.Content().GetFields().Count(), 1);
}

TEST(StudioParagraphs, RecentFilesAreKeptAndAMissingOneIsDroppedWithAMessage) {
    test::TempDir dir;
    const std::string a = dir.write("a.rtf", R"({\rtf1\ansi a})");
    const std::string b = dir.write("b.rtf", R"({\rtf1\ansi b})");
    Studio s;
    ASSERT_TRUE(s.window.openFile(QString::fromStdString(a)));
    ASSERT_TRUE(s.window.openFile(QString::fromStdString(b)));
    QStringList files = views::recentFiles();
    ASSERT_GE(files.size(), 2);
    EXPECT_EQ(files[0], QString::fromStdString(b)); // newest first
    EXPECT_EQ(files[1], QString::fromStdString(a));
    std::filesystem::remove(a);
    QTimer closer;
    QString said;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                said = box->text();
                box->close();
            }
    });
    closer.start(20);
    EXPECT_FALSE(s.window.openRecent(QString::fromStdString(a)));
    EXPECT_TRUE(said.contains("no longer exists")) << said.toStdString();
    EXPECT_FALSE(views::recentFiles(false).contains(QString::fromStdString(a)));
}

TEST(StudioParagraphs, PrintsThePagesToPdfAndPreviewsThem) {
    test::TempDir dir;
    Studio s;
    // The second page is a landscape section's.
    views::DocumentView* v = s.open(R"({\rtf1\ansi\paperw11906\paperh16838 First page\par\sect)"
                                    R"(\sectd\lndscpsxn\pgwsxn16838\pghsxn11906 Second page\par})");
    ASSERT_EQ(v->pageCount(), 2);
    views::QtPrinterBackend backend;
    ui::Printer printer;
    printer.OutputFileName = dir.path() + "/doc.pdf";
    views::printDocument(*v, backend, printer);
    const QString info = run("pdfinfo", {"-f", "1", "-l", "2", QString::fromStdString(printer.OutputFileName)});
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+2"))) << info.toStdString();
    // Each page on its section's paper (A4, in points).
    EXPECT_TRUE(info.contains(QRegularExpression("Page\\s+1 size:\\s+595(\\.\\d+)? x 842"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Page\\s+2 size:\\s+842(\\.\\d+)? x 595"))) << info.toStdString();
    const QString text = run("pdftotext", {QString::fromStdString(printer.OutputFileName), "-"});
    EXPECT_TRUE(text.contains("First page") && text.contains("Second page")) << text.toStdString();
    EXPECT_LT(text.indexOf("First page"), text.indexOf("\f"));

    s.window.printPreview();
    auto* preview = s.window.findChild<QPrintPreviewDialog*>("printPreview");
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    preview->close();
}

// What prints is what the page shows: a dot leader prints as dots, text of
// no colour of its own after a table without borders prints black, and the
// table's grid, an aid on screen, does not print.
TEST(StudioParagraphs, PrintsLeadersAsDotsAndTextAfterATableBlack) {
    test::TempDir dir;
    Studio s;
    views::DocumentView* v = s.open(
        R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\paperw12240\paperh15840\margl1440\margr1440\margt1440\margb1440)"
        R"(\pard\tqr\tldot\tx7200\fs24 Name\tab Value\par)"
        R"(\trowd\cellx3000\pard\intbl cell\cell\row)"
        R"(\pard\fs48 WWWWWWWW\par})");
    views::QtPrinterBackend backend;
    ui::Printer printer;
    printer.OutputFileName = dir.path() + "/doc.pdf";
    views::printDocument(*v, backend, printer);
    run("pdftoppm", {"-r", "100", "-png", "-f", "1", "-l", "1", QString::fromStdString(printer.OutputFileName),
                     QString::fromStdString(dir.path() + "/page")});
    QImage page(QString::fromStdString(dir.path() + "/page-1.png"));
    ASSERT_FALSE(page.isNull());
    // Pixels at 100 dots an inch: the darkest grey and the share of dark
    // ones in a rectangle.
    auto look = [&](int x0, int y0, int x1, int y1) {
        int darkest = 255, dark = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const int g = qGray(page.pixel(x, y));
                darkest = std::min(darkest, g);
                dark += g < 128;
            }
        return std::pair{darkest, double(dark) / ((x1 - x0) * (y1 - y0))};
    };
    // The leader between "Name" and "Value" (an inch from the left, a
    // quarter of an inch down): dots on the baseline, not a bar.
    const auto [leaderDarkest, leaderShare] = look(200, 95, 500, 120);
    EXPECT_LT(leaderDarkest, 128);
    EXPECT_LT(leaderShare, 0.1);
    EXPECT_LT(look(560, 95, 600, 120).first, 100); // "Value" is there
    // The large letters after the table.
    EXPECT_LT(look(100, 150, 350, 170).first, 60);
    // The table's cell (under the leader line), right of its text: the
    // screen's grid does not print.
    EXPECT_GT(look(200, 118, 300, 140).first, 240);
}

// Insert ▸ Picture opens in the document's own folder.
TEST(StudioParagraphs, InsertPictureOpensInTheDocumentsFolder) {
    test::TempDir dir;
    Studio s;
    views::DocumentView* v = s.open(R"({\rtf1\ansi text\par})");
    v->model().SetFileName(dir.path() + "/letter.rtf");
    QAction* insert = action(&s.window, "&Picture...");
    ASSERT_NE(insert, nullptr);
    QString folder;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            folder = dialog->directory().absolutePath();
            dialog->reject();
        }
    });
    insert->trigger();
    EXPECT_EQ(folder, QDir(QString::fromStdString(dir.path())).absolutePath());
}

// Printing to a file, each document is offered its own file, never the one
// another document was just printed to.
TEST(StudioParagraphs, PrintOffersEachDocumentItsOwnFile) {
    test::TempDir dir;
    ui::HeadlessUiHost host;
    ui::setCurrentHost(&host);
    views::QtPrinterBackend backend;
    ui::setPrinterBackend(&backend);
    Studio s;
    word::Document& a = s.open(R"({\rtf1\ansi A\par})")->model();
    a.SetFileName(dir.path() + "/a.rtf");
    ui::PrintDialogResult toFile{true, {}};
    toFile.settings.outputFile = dir.path() + "/a-out.pdf";
    host.queuePrintDialog(toFile);
    s.window.printActive();
    ASSERT_TRUE(std::filesystem::exists(dir.path() + "/a-out.pdf"));
    s.open(R"({\rtf1\ansi B\par})")->model().SetFileName(dir.path() + "/b.rtf");
    s.window.printActive(); // cancelled
    s.app.Activate(&a);
    s.window.sync();
    s.window.printActive(); // cancelled
    const auto asked = host.requests(ui::UiRequest::PrintDialog);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1].print.current.outputFile, dir.path() + "/b.pdf");
    EXPECT_EQ(asked[2].print.current.outputFile, dir.path() + "/a-out.pdf");
    ui::CurrentPrinter().OutputFileName.clear();
    ui::setPrinterBackend(nullptr);
    ui::setCurrentHost(nullptr);
}

// Two open files of one name get tabs that tell them apart.
TEST(StudioParagraphs, TwoFilesOfOneNameGetDistinctTabs) {
    test::TempDir dir;
    for (const char* folder : {"/a", "/b"}) {
        std::filesystem::create_directory(dir.path() + folder);
        std::ofstream(dir.path() + folder + "/letter.rtf") << R"({\rtf1\ansi text\par})";
    }
    Studio s;
    ASSERT_TRUE(s.window.openFile(QString::fromStdString(dir.path() + "/a/letter.rtf")));
    auto* tabs = s.window.findChild<QTabWidget*>("documents");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(0), "letter.rtf");
    ASSERT_TRUE(s.window.openFile(QString::fromStdString(dir.path() + "/b/letter.rtf")));
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_NE(tabs->tabText(0), tabs->tabText(1));
    EXPECT_TRUE(tabs->tabText(1).startsWith("letter.rtf")) << tabs->tabText(1).toStdString();
}
