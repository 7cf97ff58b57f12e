// Character formats in the studio, offscreen, as an author sets them: from
// the formatting bar with no text selected, through Format > Font, and in
// the header and footer editor, whose undo both panels follow.
#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "views/studio/StudioWindow.h"
#include "views/word/DocumentView.h"
#include "views/word/FontDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>

using namespace qz;

namespace {

struct Studio {
    word::Application app;
    views::StudioWindow window{app, [](const std::string&) { return 0; }, [](int) {}};
    views::DocumentView* open(std::string_view rtf) {
        word::Document& doc = app.GetDocuments().Add();
        doc.LoadRtfText(rtf);
        window.sync();
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        return window.activeView();
    }
};

QAction* action(QWidget* owner, const QString& text) {
    for (QAction* a : owner->findChildren<QAction*>())
        if (a->text() == text) return a;
    return nullptr;
}

const word::CharFormat& formatAt(const word::Document& doc, const word::Story& story, long pos) {
    return doc.Format(story[static_cast<std::size_t>(pos)].fmt);
}

// Runs `drive` on the modal window the action opens, once it shows.
void whileModal(const std::function<void()>& open, const std::function<void(QWidget*)>& drive) {
    bool driven = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) drive(modal);
        driven = modal != nullptr;
    });
    open();
    EXPECT_TRUE(driven);
}

// A font box given a name (or size) and Enter, as typed.
void enterInBox(QComboBox* box, const QString& text) {
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), text);
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
}

} // namespace

TEST(StudioFormats, FormatsChosenAtTheCaretApplyToWhatIsTypedNextAndEnterReturnsToThePage) {
    Studio s;
    views::DocumentView* v = s.open(R"({\rtf1\ansi{\fonttbl{\f0 Times New Roman;}{\f1 Arial;}}{\f1\fs20 Hello }\par})");
    word::Document& doc = v->model();
    const word::Story& story = doc.MainStory();
    doc.GetSelection().SetRange(6, 6);
    v->pushSelection();
    v->setFocus();
    auto* bar = s.window.findChild<QToolBar*>("Formatting");
    action(bar, "B")->trigger();
    QTest::keyClicks(v, "ab");
    EXPECT_TRUE(formatAt(doc, story, 6).bold);
    EXPECT_TRUE(formatAt(doc, story, 7).bold);
    EXPECT_EQ(formatAt(doc, story, 7).font, 1);
    // A size typed into its box: Enter gives the keyboard back, the next
    // letters take the size and stay bold.
    enterInBox(bar->findChild<QComboBox*>("sizeBox"), "18");
    EXPECT_TRUE(v->hasFocus());
    QTest::keyClicks(v, "c");
    EXPECT_EQ(formatAt(doc, story, 8).size, 36);
    EXPECT_TRUE(formatAt(doc, story, 8).bold);
    enterInBox(bar->findChild<QFontComboBox*>("fontBox"), "DejaVu Sans");
    EXPECT_TRUE(v->hasFocus());
    QTest::keyClicks(v, "d");
    EXPECT_EQ(doc.FontByNumber(formatAt(doc, story, 9).font)->name, "DejaVu Sans");
    EXPECT_EQ(formatAt(doc, story, 9).size, 36);
    // Moving the caret forgets it: typing goes on as the text before it.
    QTest::keyClick(v, Qt::Key_Home);
    QTest::keyClicks(v, "x");
    EXPECT_FALSE(formatAt(doc, story, 0).bold);
    EXPECT_EQ(formatAt(doc, story, 0).size, 20);
    // In a table's cell as well, where a key draws only its cell again.
    QTest::keyClick(v, Qt::Key_End);
    QTest::keyClick(v, Qt::Key_Return);
    v->insertTable(1, 2);
    QTest::keyClicks(v, "ab");
    QTest::keyClick(v, Qt::Key_I, Qt::ControlModifier);
    QApplication::processEvents();
    QTest::keyClicks(v, "CD");
    v->pullSelection();
    const long after = doc.GetSelection().Start();
    EXPECT_FALSE(formatAt(doc, story, after - 3).italic);
    EXPECT_TRUE(formatAt(doc, story, after - 2).italic);
    EXPECT_TRUE(formatAt(doc, story, after - 1).italic);
}

TEST(StudioFormats, FontDialogOpensOnTheSelectionsOwnFontAndChangesOnlyWhatWasChanged) {
    Studio s;
    // In the default font, which this machine may not have, bold then plain.
    views::DocumentView* v = s.open(R"({\rtf1\ansi\deff0{\fonttbl{\f0 Times New Roman;}}plain {\b bold}\par})");
    word::Document& doc = v->model();
    const std::string before = doc.ToRtf();
    auto openFont = [&] { views::editFont(v); };
    // OK on what it showed changes nothing.
    doc.GetSelection().SetRange(6, 10);
    v->pushSelection();
    whileModal(openFont, [](QWidget* dialog) {
        EXPECT_EQ(dialog->findChild<QComboBox*>("family")->currentText(), "Times New Roman");
        EXPECT_EQ(dialog->findChild<QComboBox*>("style")->currentText(), "Bold");
        EXPECT_EQ(dialog->findChild<QComboBox*>("size")->currentText(), "12");
        qobject_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(doc.ToRtf(), before);
    // Regular makes the bold text plain and keeps its font and size.
    whileModal(openFont, [](QWidget* dialog) {
        dialog->findChild<QComboBox*>("style")->setCurrentText("Regular");
        dialog->findChild<QCheckBox*>("underline")->setChecked(true);
        qobject_cast<QDialog*>(dialog)->accept();
    });
    const word::Story& story = doc.MainStory();
    for (long i = 6; i < 10; ++i) {
        EXPECT_FALSE(formatAt(doc, story, i).bold);
        EXPECT_TRUE(formatAt(doc, story, i).underline);
        EXPECT_EQ(formatAt(doc, story, i).font, formatAt(doc, story, 0).font);
        EXPECT_EQ(formatAt(doc, story, i).size, formatAt(doc, story, 0).size);
    }
    EXPECT_FALSE(formatAt(doc, story, 5).underline);
    v->undo();  // one step
    EXPECT_EQ(doc.ToRtf(), before);
}

TEST(StudioFormats, HeaderAndFooterEditorFormatsFromItsBarAndBothPanelsFollowUndo) {
    Studio s;
    views::DocumentView* v = s.open(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\pard body\par})");
    word::Document& doc = v->model();
    word::Story& header = doc.Sections(1).Headers(word::kHeaderFooterPrimary).story;
    word::Story& footer = doc.Sections(1).Footers(word::kHeaderFooterPrimary).story;
    QMenu* viewMenu = s.window.findChild<QMenu*>("View");
    whileModal([&] { action(viewMenu, "&Header and Footer...")->trigger(); }, [&](QWidget* dialog) {
        auto* head = dialog->findChild<views::DocumentView*>("header");
        auto* foot = dialog->findChild<views::DocumentView*>("footer");
        auto* bar = dialog->findChild<QToolBar*>("Formatting");
        ASSERT_TRUE(head && foot && bar);
        EXPECT_TRUE(bar->findChild<QFontComboBox*>("fontBox"));
        EXPECT_TRUE(bar->findChild<QComboBox*>("sizeBox"));
        EXPECT_TRUE(action(bar, "Colour"));
        head->setFocus();
        action(bar, "B")->trigger();
        QTest::keyClicks(head, "Head");
        EXPECT_TRUE(formatAt(doc, header, 0).bold);
        // Enter in the size box sizes what comes next and leaves the editor open.
        enterInBox(bar->findChild<QComboBox*>("sizeBox"), "16");
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->focusWidget(), head);
        QTest::keyClicks(head, "!");
        EXPECT_EQ(formatAt(doc, header, 4).size, 32);
        foot->setFocus();
        QTest::keyClicks(foot, "Foot");
        // Ctrl+Z in the header undoes the footer's typing: the footer panel shows it.
        head->setFocus();
        QTest::keyClick(head, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(footer.size(), 0u);
        EXPECT_EQ(foot->document()->toPlainText(), "");
        EXPECT_EQ(head->document()->toPlainText(), "Head!");
        EXPECT_EQ(doc.GetSelection().GetStory(), &header);  // typing goes on in the header
        QTest::keyClick(head, Qt::Key_Y, Qt::ControlModifier);
        EXPECT_EQ(foot->document()->toPlainText(), "Foot");
        qobject_cast<QDialog*>(dialog)->reject();
    });
    EXPECT_EQ(doc.GetSelection().GetStory(), &doc.MainStory());
}
