// The document view edited as an author edits it around the designer's
// fields, offscreen: typing, Enter and paste at a field's edge stay outside
// the field, and the template still reads as the fields and text it shows.
#include "designer/modMSWordFields.h"
#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "platform/word/Table.h"
#include "production/RtfInterpreter.h"
#include "views/word/DocumentClipboard.h"
#include "views/word/DocumentView.h"

#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

using namespace qz;

namespace {

// The main story with every top-level field as "{}" (its inside not shown).
std::string Outline(const word::Document& doc) {
    const word::Story& s = doc.MainStory();
    std::string out;
    int depth = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const word::AtomKind k = s[i].Kind();
        if (k == word::AtomKind::FieldBegin && depth++ == 0) out += "{";
        else if (k == word::AtomKind::FieldEnd && --depth == 0) out += "}";
        else if (depth == 0) out += word::StoryText(doc, s, static_cast<long>(i), static_cast<long>(i) + 1);
    }
    return out;
}

// The template's elements as the engine reads them: S statement, E expression, R RTF.
std::string Elements(const word::Document& doc) {
    production::RtfInterpreter reader;
    reader.ExtractRTFAndQzFields(doc.ToRtf());
    std::string out;
    for (std::int32_t i = 0; i < reader.NbElement(); ++i)
        out += "RSE"[reader.GetElementType(i)];
    return out;
}

void PutCursor(views::DocumentView& view, int viewPos) {
    QTextCursor c = view.textCursor();
    c.setPosition(viewPos);
    view.setTextCursor(c);
}

} // namespace

TEST(DocumentEdit, TextTypedAroundFieldsStaysOutsideThem) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    designer::modMSWordFields fields(app);
    // A repeating paragraph: "◂DoWhile▸◂Loop▸".
    fields.InsertStatementField({0, 0, "DoWhile", 0, 0, "Do While(Not rs.EOF)"});
    fields.InsertStatementField({0, 0, "Loop", 0, 0, "rs.MoveNext_QZCRLFLoop"});
    views::DocumentView view(doc);
    ASSERT_EQ(view.document()->toPlainText().toStdString(), "\u25C2DoWhile\u25B8\u25C2Loop\u25B8");

    // Between the two, Enter and a line of text with a field in it.
    PutCursor(view, 9);
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::keyClicks(&view, "Dear ");
    view.pullSelection();
    fields.InsertExpressionField("Name", "rs(\"name\")", "String;UseDefaultProperties:-1", "-1");
    view.renderAll();
    QTest::keyClicks(&view, "!");
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(Outline(doc), "{}\rDear {}!\r{}");
    // Home on a line that starts with a field, and a paste after the last one.
    QTest::keyClick(&view, Qt::Key_Home);
    QTest::keyClicks(&view, "Before");
    QTest::keyClick(&view, Qt::Key_End);
    QMimeData text;
    text.setText("After");
    view.paste(&text);
    EXPECT_EQ(Outline(doc), "{}\rDear {}!\rBefore{}After");
    // The Name field typed into between its markers: its label changes, the
    // field stays whole.
    PutCursor(view, 16);  // "◂DoWhile▸\nDear ◂" then the label
    QTest::keyClicks(&view, "N");
    EXPECT_EQ(Outline(doc), "{}\rDear {}!\rBefore{}After");
    EXPECT_EQ(view.document()->toPlainText().toStdString(),
              "\u25C2DoWhile\u25B8\nDear \u2756NName\u2756!\nBefore\u25C2Loop\u25B8After");
    // The engine reads the fields in their order, with the text between them.
    EXPECT_EQ(Elements(doc), "RSRERSR");
}

TEST(DocumentEdit, TheFirstEnterOfANewDocumentSplitsIt) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    views::DocumentView view(doc);
    view.show();
    QTest::keyClicks(&view, "line1");
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::keyClicks(&view, "line2");
    QTest::keyClick(&view, Qt::Key_Tab, Qt::ControlModifier);  // the window's, not a tab character
    EXPECT_EQ(doc.Content().Text(), "line1\rline2");
    EXPECT_EQ(view.document()->toPlainText().toStdString(), "line1\nline2");
}

TEST(DocumentEdit, TypingIsUndoneByWordsAndBothRedoKeysRedo) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    views::DocumentView view(doc);
    view.show();
    QTest::keyClicks(&view, "Hello big world");
    view.typeText("!");  // a paste: a step of its own
    QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(doc.Content().Text(), "Hello big world");
    QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(doc.Content().Text(), "Hello big ");
    QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(doc.Content().Text(), "Hello ");
    QTest::keyClick(&view, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(doc.Content().Text(), "Hello big ");
    QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(doc.Content().Text(), "Hello big world");
    // Typing elsewhere starts a step of its own.
    QTest::keyClick(&view, Qt::Key_Home);
    QTest::keyClicks(&view, "Oh");
    QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(doc.Content().Text(), "Hello big world");
}

TEST(DocumentEdit, ADoubleClickOnAFieldSelectsItAndRunsItsMacro) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    designer::modMSWordFields fields(app);
    doc.GetSelection().TypeText("ab ");
    fields.InsertStatementField({0, 0, "Stmt", 0, 0, "s = 1"});
    doc.GetSelection().TypeText(" cd");
    views::DocumentView view(doc);
    view.resize(600, 300);
    view.show();
    std::vector<std::string> ran;
    view.onMacroButton = [&](const std::string& macro) { ran.push_back(macro); };
    auto doubleClickAt = [&](int viewPos) {
        QTextCursor c(view.document());
        c.setPosition(viewPos);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.cursorRect(c).center() + QPoint(2, 0));
    };
    doubleClickAt(1);  // on "ab": a word is selected, nothing runs
    EXPECT_TRUE(ran.empty());
    doubleClickAt(5);  // on the label
    ASSERT_EQ(ran, std::vector<std::string>{"modStatementMacro"});
    const word::Field field = doc.Content().GetFields().Item(1);
    EXPECT_EQ(doc.GetSelection().Start(), field.Start());
    EXPECT_EQ(doc.GetSelection().End(), field.End());
}

TEST(DocumentEdit, AnEditBeforeAnEmptyLastParagraphDrawsItOnce) {
    // The paragraph before the story's last, empty one, edited: the range
    // drawn again ends where the story does, and the last paragraph's block
    // was drawn a second time (a block the model has no paragraph for).
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    views::DocumentView view(doc);
    view.typeText("abc\r");
    PutCursor(view, 1);
    view.deleteForward();
    EXPECT_EQ(view.document()->toPlainText().toStdString(), "ac\n");
    EXPECT_EQ(view.blockCount(), 2);
}

TEST(DocumentEdit, RowsPastedAfterATableAreDrawnAsTheViewDrawsThemAfresh) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(R"({\rtf1\ansi before\par after})");
    const word::Table t = word::Table::Add(doc, doc.MainStory(), 0, 1, 2);
    views::DocumentView view(doc);
    doc.GetSelection().SetRange(t.Start(), t.End());
    const std::unique_ptr<QMimeData> row(views::copySelection(doc));
    // Into the paragraph after the table: its first part joins the new row's first cell.
    doc.GetSelection().SetRange(t.End() + 2, t.End() + 2);
    view.pushSelection();
    view.paste(row.get());
    ASSERT_EQ(word::Table::At(doc, doc.MainStory(), t.Start())->Rows(), 2);
    views::DocumentView fresh(doc);
    EXPECT_EQ(view.document()->toPlainText().toStdString(), fresh.document()->toPlainText().toStdString());
    EXPECT_EQ(view.blockCount(), fresh.blockCount());
}
