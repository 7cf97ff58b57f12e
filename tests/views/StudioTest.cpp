// The studio driven as an author drives it, offscreen: documents open in
// tabs, typing lands in the model at the cursor, saving writes RTF that reads
// back, and the designer hears of every change of the active document.
#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "views/word/DocumentView.h"
#include "views/studio/StudioWindow.h"

#include "production/TestFiles.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace qz;

namespace {

const std::string kInvoice = std::string(QZ_SOURCE_DIR) + "/examples/invoice.rtf";

struct Studio {
    word::Application app;
    std::vector<int> commands;
    views::StudioWindow window{app, [](const std::string&) { return 0; },
                               [this](int id) { commands.push_back(id); }};
};

} // namespace

TEST(Studio, TypingLandsInTheModelAndSavingKeepsIt) {
    test::TempDir dir;
    const std::string copy = dir.path() + "/invoice.rtf";
    std::filesystem::copy_file(kInvoice, copy);
    Studio s;
    s.window.show();
    ASSERT_TRUE(s.window.openFile(QString::fromStdString(copy)));
    ASSERT_EQ(s.app.GetDocuments().Count(), 1);
    EXPECT_EQ(s.commands, std::vector<int>({100}));
    views::DocumentView* view = s.window.activeView();
    ASSERT_NE(view, nullptr);
    word::Document& doc = view->model();

    const std::string original = word::StoryText(doc, doc.MainStory(), 0, 10);
    // The cursor at the very start: typed text becomes the story's first atoms.
    view->moveCursor(QTextCursor::Start);
    QTest::keyClicks(view, "Hello ");
    EXPECT_EQ(word::StoryText(doc, doc.MainStory(), 0, 6), "Hello ");
    EXPECT_FALSE(doc.Saved());
    // Enter splits the paragraph; Backspace joins it again.
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(word::StoryText(doc, doc.MainStory(), 0, 7), "Hello \r");
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(word::StoryText(doc, doc.MainStory(), 0, 7).substr(0, 6), "Hello ");
    EXPECT_NE(word::StoryText(doc, doc.MainStory(), 6, 7), "\r");
    // One view block per model paragraph (tables' structure included), and
    // every view position maps to the model and back.
    EXPECT_EQ(view->blockCount(), view->document()->blockCount());
    // (the empty block a table follows shows the table's first position).
    int exact = 0, total = 0;
    for (int p = 0; p < view->document()->characterCount() - 1; ++p, ++total) {
        const long m = view->modelPosition(p);
        EXPECT_EQ(view->modelPosition(view->viewPosition(m)), m) << p;
        exact += view->viewPosition(m) == p;
    }
    EXPECT_GT(exact, total * 9 / 10);

    // Undo takes the typing back, one keystroke a step, and redo brings it again.
    for (int k = 0; k < 8; ++k) view->undo();
    EXPECT_EQ(word::StoryText(doc, doc.MainStory(), 0, 10), original);
    for (int k = 0; k < 6; ++k) view->redo();
    EXPECT_EQ(word::StoryText(doc, doc.MainStory(), 0, 6), "Hello ");

    ASSERT_TRUE(s.window.saveActive(false));
    EXPECT_TRUE(doc.Saved());
    word::Application other;
    const std::string reread = other.GetDocuments().Open(copy).Content().Text();
    EXPECT_EQ(reread, doc.Content().Text());
}

TEST(Studio, ABadFileLeavesTheOpenDocumentsAsTheyWere) {
    test::TempDir dir;
    const std::string text = dir.write("text.rtf", "plain text");
    Studio s;
    ASSERT_TRUE(s.window.openFile(QString::fromStdString(kInvoice)));
    // Each refusal is a message box; the "user" closes it.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QMessageBox") && w->isVisible()) w->close();
    });
    closer.start(20);
    EXPECT_FALSE(s.window.openFile(QString::fromStdString(text)));
    EXPECT_FALSE(s.window.openFile(QString::fromStdString(dir.path() + "/missing.rtf")));
    EXPECT_EQ(s.app.GetDocuments().Count(), 1);
    EXPECT_EQ(s.window.findChild<QTabWidget*>("documents")->count(), 1);
}

TEST(Studio, ALargeDocumentIsDrawnInPartsAndEditableMeanwhile) {
    // Enough paragraphs for several parts.
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    std::string line(180, 'a');
    for (int p = 0; p < 3000; ++p) doc.GetSelection().TypeText(line + std::to_string(p) + "\r");
    const long size = static_cast<long>(doc.MainStory().size());
    doc.GetSelection().SetRange(0, 0);
    views::DocumentView view(doc);
    ASSERT_LT(view.blockCount(), 3001);  // the first part only
    view.typeText("Z");                   // typing while the rest is drawn
    view.finishRendering();
    EXPECT_EQ(view.blockCount(), view.document()->blockCount());
    // The view's last place is the empty paragraph after the last mark, one
    // further on for the Z.
    EXPECT_EQ(view.blockCount(), 3001);
    EXPECT_EQ(view.modelPosition(view.document()->characterCount() - 1), size + 1);
    EXPECT_EQ(view.document()->findBlockByNumber(2999).text().toStdString(), line + "2999");
    EXPECT_EQ(view.document()->begin().text().toStdString(), "Z" + line + "0");
}

TEST(Studio, FieldResultsShowTheirTextAndAlignmentGoesThroughTheModel) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0 Arial;}}{\field{\*\fldinst  REF a }{\fldrslt Caf\'e9}} )"
                    R"({\field{\*\fldinst  REF b }{\fldrslt Caf\u233?}} {\field{\*\fldinst  REF c }{\fldrslt a\par b}}\par})");
    views::DocumentView view(doc);
    EXPECT_EQ(view.document()->begin().text(), QString::fromUtf8("Caf\u00e9 Caf\u00e9 a\u2028b"));
    // Centring the paragraph changes its mark in the model, and the view shows it.
    doc.GetSelection().SetRange(1, 1);
    view.pushSelection();
    view.setAlignment(1);
    EXPECT_EQ(word::Range(&doc, &doc.MainStory(), 0, 0).ParagraphFormat().alignment, word::Alignment::Center);
    EXPECT_EQ(view.document()->begin().blockFormat().alignment(), Qt::AlignHCenter);
}

TEST(Studio, CopiedFieldsKeepTheirCodeInAnotherDocumentAndOtherProgramsGetText) {
    Studio s;
    ASSERT_TRUE(s.window.openFile(QString::fromStdString(kInvoice)));
    views::DocumentView* from = s.window.activeView();
    word::Document& source = from->model();
    const word::Field field = source.Content().GetFields().Item(1);
    source.GetSelection().SetRange(field.Start(), field.End());
    from->pushSelection();
    from->copy();
    EXPECT_FALSE(QApplication::clipboard()->text().isEmpty());

    s.app.GetDocuments().Add();
    s.window.sync();
    views::DocumentView* to = s.window.activeView();
    ASSERT_NE(to, from);
    to->pasteFromClipboard();
    word::Document& target = to->model();
    const int fields = target.Content().GetFields().Count();
    ASSERT_GE(fields, 1);  // the field and those nested in it
    EXPECT_EQ(target.Content().GetFields().Item(1).Code().Text(), field.Code().Text());
    // Half a field is copied as text only (with codes shown, where a
    // selection can end inside a field's code).
    s.app.ActiveWindow().GetView().ShowFieldCodes = true;
    from->renderAll();
    source.GetSelection().SetRange(field.Start(), field.Start() + 3);
    from->pushSelection();
    from->copy();
    to->pasteFromClipboard();
    EXPECT_EQ(target.Content().GetFields().Count(), fields);
}

namespace {

// Answers the next modal message box with the button of the given role.
void answerNextBox(QMessageBox::StandardButton button, QString* text) {
    QTimer::singleShot(0, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return answerNextBox(button, text);
        *text = box->text();
        box->button(button)->click();
    });
}

} // namespace

// Two studios on one template: the second is told and opens read-only, and
// a save over a file changed meanwhile waits for the author's word.
TEST(Studio, TwoStudiosOnOneDocumentLoseNothing) {
    test::TempDir dir;
    const std::string copy = dir.path() + "/invoice.rtf";
    std::filesystem::copy_file(kInvoice, copy);
    Studio first, second;
    ASSERT_TRUE(first.window.openFile(QString::fromStdString(copy)));
    ASSERT_TRUE(second.window.openFile(QString::fromStdString(copy)));
    auto* notice = second.window.findChild<QMessageBox*>("lockedNotice");
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->text().contains("is open for editing by")) << notice->text().toStdString();
    EXPECT_TRUE(second.app.ActiveDocument().ReadOnly());
    notice->close();

    first.app.GetSelection().TypeText("Mine ");
    std::ofstream(copy, std::ios::trunc) << "{\\rtf1 theirs}";
    QString asked;
    answerNextBox(QMessageBox::No, &asked);
    EXPECT_FALSE(first.window.saveActive(false));
    EXPECT_TRUE(asked.contains("was changed by someone else")) << asked.toStdString();
    EXPECT_EQ(test::readFile(copy), "{\\rtf1 theirs}");
    answerNextBox(QMessageBox::Yes, &asked);
    EXPECT_TRUE(first.window.saveActive(false));
    EXPECT_NE(test::readFile(copy).find("Mine "), std::string::npos);
}
