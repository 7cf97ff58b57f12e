// Tables, pictures and headers edited in the document window as an author
// does: keys and commands, the model they change, what the view then shows.
#include "designer/modMSWordFields.h"
#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "platform/word/Table.h"
#include "production/TestFiles.h"
#include "views/word/DocumentView.h"
#include "views/word/PageLayout.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTextTable>

#include <gtest/gtest.h>

#include <fstream>

using namespace qz;

namespace {

const char* kDoc = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\paperw11906\paperh16838\margl1134\margr1134\margt1134\margb1134)"
                   R"(\sectd\headery567\footery567\pard intro\par})";

QTextTable* firstTable(views::DocumentView& view) {
    for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next())
        if (auto* t = qobject_cast<QTextTable*>(QTextCursor(b).currentTable())) return t;
    return nullptr;
}

std::string cellText(word::Document& doc, int row, int column) {
    auto t = word::Table::At(doc, doc.MainStory(), doc.GetSelection().Start());
    return t ? word::StoryText(doc, doc.MainStory(), t->CellStart(row, column), t->CellMark(row, column)) : "?";
}

} // namespace

TEST(TableEdit, TabWalksTheCellsAddsARowAndMergesAndShadingShow) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kDoc);
    views::DocumentView view(doc);
    view.resize(1000, 800);
    view.show();
    QApplication::processEvents();
    doc.GetSelection().SetRange(5, 5);
    view.pushSelection();
    view.insertTable(1, 2);
    ASSERT_TRUE(view.inTable());
    QTest::keyClicks(&view, "alpha");
    QTest::keyClick(&view, Qt::Key_Tab);
    QTest::keyClicks(&view, "b");
    QTest::keyClick(&view, Qt::Key_Tab); // after the last cell: a new row
    QTest::keyClicks(&view, "c");
    QTest::keyClick(&view, Qt::Key_Tab, Qt::ShiftModifier);
    QTest::keyClicks(&view, "Beta"); // the cell's text is selected: typing replaces it
    EXPECT_EQ(cellText(doc, 0, 0), "alpha");
    EXPECT_EQ(cellText(doc, 0, 1), "Beta");
    EXPECT_EQ(cellText(doc, 1, 0), "c");
    QTextTable* table = firstTable(view);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rows(), 2);

    // The first row merged and the second shaded; the view shows both.
    auto t = word::Table::At(doc, doc.MainStory(), doc.GetSelection().Start());
    doc.GetSelection().SetRange(t->CellStart(0, 0), t->CellMark(0, 1));
    view.pushSelection();
    view.mergeCells();
    t = word::Table::At(doc, doc.MainStory(), doc.GetSelection().Start());
    doc.GetSelection().SetRange(t->CellStart(1, 1), t->CellStart(1, 1));
    view.pushSelection();
    view.shadeCells(QColor(0xC6, 0xEF, 0xCE));
    table = firstTable(view);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->cellAt(0, 0).columnSpan(), 2);
    EXPECT_EQ(table->cellAt(1, 1).format().background().color(), QColor(0xC6, 0xEF, 0xCE));
    EXPECT_FALSE(table->cellAt(1, 0).format().background().style() != Qt::NoBrush);
    EXPECT_EQ(cellText(doc, 0, 0), "alpha\rBeta");
    // Both paragraphs of the merged cell show in it.
    EXPECT_EQ(view.document()->find("alpha").currentTable(), table);
    EXPECT_EQ(view.document()->find("Beta").currentTable(), table);
    // Typing after the merge lands where the cursor shows, key after key.
    t = word::Table::At(doc, doc.MainStory(), doc.GetSelection().Start());
    doc.GetSelection().SetRange(t->CellStart(1, 1), t->CellStart(1, 1));
    view.pushSelection();
    QTest::keyClicks(&view, "25.00");
    EXPECT_EQ(cellText(doc, 1, 1), "25.00");
    EXPECT_EQ(firstTable(view)->cellAt(1, 1).firstCursorPosition().block().text(), "25.00");
    // Outside a table Tab is a tab character and the table commands refuse.
    view.deleteTable();
    EXPECT_FALSE(view.inTable());
    EXPECT_EQ(doc.Content().Text(), "intro\r"); // the paragraph the table was put after
    QString error;
    view.onError = [&](const QString& text) { error = text; };
    view.mergeCells();
    EXPECT_FALSE(error.isEmpty());
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_NE(doc.Content().Text().find('\t'), std::string::npos);
}

TEST(TableEdit, PicturesAreEmbeddedOrRefusedAndHeadersShowOnThePage) {
    test::TempDir dir;
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kDoc);
    views::DocumentView view(doc);
    view.resize(1000, 1200);
    view.show();
    QApplication::processEvents();
    QString error;
    view.onError = [&](const QString& text) { error = text; };
    const std::string bad = dir.path() + "/bad.png";
    std::ofstream(bad) << "no picture";
    const std::string before = doc.ToRtf();
    EXPECT_FALSE(view.insertPicture(QString::fromStdString(bad)));
    EXPECT_TRUE(error.contains("bad.png"));
    EXPECT_EQ(doc.ToRtf(), before);
    EXPECT_TRUE(view.insertPicture(QString(QZ_TEST_DATA_DIR) + "/studio/picture.png"));
    bool image = false;
    for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) image = image || it.fragment().charFormat().isImageFormat();
    EXPECT_TRUE(image);

    // The footer typed in a view of its own, with the page's number.
    word::Story& footer = doc.Sections(1).Footers(word::kHeaderFooterPrimary).story;
    views::DocumentView footerView(doc, footer);
    footerView.show();
    QTest::keyClicks(&footerView, "Page ");
    footerView.insertPageNumber();
    EXPECT_EQ(word::StoryText(doc, footer, 0, static_cast<long>(footer.size())).substr(0, 5), "Page ");
    EXPECT_EQ(footerView.document()->toPlainText(), "Page 1"); // the number it shows there
    EXPECT_EQ(doc.MainStory().size(), 6u); // "intro", the picture, nothing more
    view.renderAll();
    QApplication::processEvents();
    const QImage shot = view.viewport()->grab().toImage();
    const QRectF page = view.pageRect(0);
    bool inked = false;
    for (int y = static_cast<int>(page.bottom() - 1134 / 15.0); y < page.bottom() - 8; ++y)
        for (int x = static_cast<int>(page.left()); x < page.right() && !inked; ++x) inked = qGray(shot.pixel(x, y)) < 100;
    EXPECT_TRUE(inked) << "the footer on the page";
    // Saved and read again, the footer is there with its field.
    word::Document& again = app.GetDocuments().Add();
    again.LoadRtfText(doc.ToRtf());
    EXPECT_EQ(again.Sections(1).Footers(word::kHeaderFooterPrimary).GetRange().Text().substr(0, 5), "Page ");
    EXPECT_NE(doc.ToRtf().find("PAGE"), std::string::npos);
}

// Keys in a cell draw that cell again and lay out only its table; what the
// view then shows and maps is what a view drawn afresh shows.
TEST(TableEdit, KeysInACellDrawOnlyThatCellAsAFreshViewWould) {
    std::string rtf = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}})";
    for (int k = 0; k < 40; ++k) rtf += "\\pard before " + std::to_string(k) + "\\par ";
    rtf += R"(\trowd\cellx2000\cellx4000\pard\intbl one\cell\pard\intbl two\cell\row)"
           R"(\trowd\cellx2000\cellx4000\pard\intbl three\par\intbl four\cell\pard\intbl\cell\row)"
           R"(\pard after\par})";
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(rtf);
    views::DocumentView view(doc);
    view.resize(900, 700);
    view.show();
    view.finishRendering();
    auto* layout = qobject_cast<views::PageLayout*>(view.document()->documentLayout());
    ASSERT_TRUE(layout);
    // Keys at a cell's start (or at its mark, offset -1) plus offset.
    auto keysAt = [&](int row, int column, long offset, auto keys) {
        const auto table = word::Table::At(doc, doc.MainStory(), static_cast<long>(doc.MainStory().size()) - 8);
        ASSERT_TRUE(table);
        const long pos = offset < 0 ? table->CellMark(row, column) : table->CellStart(row, column) + offset;
        doc.GetSelection().SetRange(pos, pos);
        view.pushSelection();
        const long before = layout->layoutsMade();
        keys();
        view.finishRendering();
        // The table and its neighbours, a few keys: not the forty paragraphs before it.
        EXPECT_LE(layout->layoutsMade() - before, 9);
    };
    // In the first cell, at the end of a row's last cell (its block holds the
    // row mark), in an empty cell, a new paragraph in a cell and one joined.
    keysAt(0, 0, 0, [&] { QTest::keyClicks(&view, "X"); });
    keysAt(0, 1, -1, [&] { QTest::keyClicks(&view, "yz"); });
    keysAt(1, 1, 0, [&] { QTest::keyClicks(&view, "new"); });
    keysAt(1, 1, 3, [&] { QTest::keyClick(&view, Qt::Key_Return); });
    keysAt(1, 0, 6, [&] { QTest::keyClick(&view, Qt::Key_Backspace); });
    EXPECT_EQ(cellText(doc, 0, 0), "Xone");
    EXPECT_EQ(cellText(doc, 0, 1), "twoyz");
    EXPECT_EQ(cellText(doc, 1, 0), "threefour");
    EXPECT_EQ(cellText(doc, 1, 1), "new\r");

    views::DocumentView fresh(doc);
    fresh.finishRendering();
    EXPECT_EQ(view.document()->toPlainText(), fresh.document()->toPlainText());
    ASSERT_EQ(view.blockCount(), fresh.blockCount());
    ASSERT_EQ(view.document()->characterCount(), fresh.document()->characterCount());
    for (int p = 0; p < fresh.document()->characterCount(); ++p) ASSERT_EQ(view.modelPosition(p), fresh.modelPosition(p)) << p;
}

TEST(TableEdit, AFieldInsertedAfterARefusedBackspaceGoesIntoTheCellAndTheTableStays) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kDoc);
    views::DocumentView view(doc);
    view.show();
    QString error;
    view.onError = [&](const QString& text) { error = text; };
    QTest::keyClick(&view, Qt::Key_End);
    QTest::keyClick(&view, Qt::Key_Return);
    view.insertTable(2, 4);
    for (const char* head : {"Name", "Qty", "Price", "Total"}) {
        QTest::keyClicks(&view, head);
        QTest::keyClick(&view, Qt::Key_Tab);
    }
    QTest::keyClicks(&view, "ab");
    // Two Backspaces take the letters; a third, at the cell's start, is refused.
    for (int k = 0; k < 3; ++k) QTest::keyClick(&view, Qt::Key_Backspace);
    EXPECT_FALSE(error.isEmpty());
    view.pullSelection();
    const long at = doc.GetSelection().Start();
    auto table = word::Table::At(doc, doc.MainStory(), at);
    ASSERT_TRUE(table);
    EXPECT_EQ(at, table->CellStart(1, 0));
    EXPECT_EQ(doc.GetSelection().End(), at);
    // A loop's two fields, as the designer inserts them, in one step.
    const std::string before = doc.Content().Text();
    designer::modMSWordFields fields(app);
    doc.BeginUndoStep();
    fields.InsertStatementField({0, 0, "DoWhile", 0, 0, "Do While()"});
    fields.InsertStatementField({0, 0, "Loop", 0, 0, "Loop"});
    doc.EndUndoStep();
    view.renderAll();
    table = word::Table::At(doc, doc.MainStory(), doc.GetSelection().Start());
    ASSERT_TRUE(table);
    EXPECT_EQ(table->Rows(), 2);
    EXPECT_EQ(cellText(doc, 0, 3), "Total");
    EXPECT_NE(cellText(doc, 1, 0).find("Loop"), std::string::npos);
    view.undo();
    EXPECT_EQ(doc.Content().Text(), before);
}

TEST(TableEdit, AnInsertionAtASelectionAcrossCellsRemovesNoCell) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kDoc);
    views::DocumentView view(doc);
    view.insertTable(2, 2);
    for (const char* text : {"a", "b", "c", "d"}) {
        if (*text != 'a') QTest::keyClick(&view, Qt::Key_Tab);
        QTest::keyClicks(&view, text);
    }
    // Both rows whole, as a view's selection of cells across them gives.
    auto table = word::Table::At(doc, doc.MainStory(), doc.GetSelection().Start());
    ASSERT_TRUE(table);
    doc.GetSelection().SetRange(table->CellStart(0, 0), table->CellMark(1, 1) + 2);
    designer::modMSWordFields(app).InsertStatementField({0, 0, "If", 0, 0, "If x Then"});
    table = word::Table::At(doc, doc.MainStory(), doc.GetSelection().Start());
    ASSERT_TRUE(table);
    EXPECT_EQ(table->Rows(), 2);
    EXPECT_EQ(cellText(doc, 1, 1), "d");
    EXPECT_NE(cellText(doc, 0, 0).find("If"), std::string::npos);
    EXPECT_NE(cellText(doc, 0, 0).find("a"), std::string::npos);
}

// A row repeated as an author builds it: the loop's two fields inserted
// where the row starts (shown before it), the second one selected through
// its menu and cut, brought back, and deleted through its menu. Each takes
// the field alone; the first one still stands before the row, and the
// caret is where the field was.
TEST(TableEdit, SelectingCuttingAndDeletingALoopFieldTakeTheFieldAlone) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(R"({\rtf1\ansi\pard Orders:\par\trowd\cellx2000\cellx4000\pard\intbl Date\cell H\cell\row)"
                    R"(\trowd\cellx2000\cellx4000\pard\intbl D\cell A\cell\row\pard After the table\par})");
    views::DocumentView view(doc);
    view.show();
    word::Selection& sel = doc.GetSelection();
    const long rowStart = word::Table::At(doc, doc.MainStory(), 10)->CellStart(1, 0);
    sel.SetRange(rowStart, rowStart);
    view.pushSelection();
    designer::modMSWordFields fields(app);
    fields.InsertStatementField({0, 0, "DoWhile", 0, 0, "Do While()"});
    fields.InsertStatementField({0, 0, "Loop", 0, 0, "Loop"});
    view.renderAll();
    const long loopEnd = sel.Start();
    ASSERT_TRUE(word::IsRowStartMark(doc, doc.MainStory()[static_cast<std::size_t>(loopEnd)]));
    const long loop = doc.Content().GetFields().Item(doc.Content().GetFields().Count() - 1).Code().Start() - 1;
    // The fields show before the row, which starts with "D".
    auto inTable = [&](long pos) {
        QTextCursor at(view.document());
        at.setPosition(view.viewPosition(pos));
        return at.currentTable() != nullptr;
    };
    EXPECT_FALSE(inTable(loop));
    EXPECT_TRUE(inTable(loopEnd + 1));
    auto fieldMenu = [&](const QString& command) {
        QTextCursor c = view.textCursor();
        c.setPosition(view.viewPosition(loop + 3));
        view.setTextCursor(c);
        std::unique_ptr<QMenu> menu(view.contextMenuAt(view.cursorRect().center()));
        for (QAction* a : menu->actions())
            if (a->text() == command) a->trigger();
    };
    const std::string rtf = doc.ToRtf();
    fieldMenu("&Select Field");
    view.pullSelection();
    EXPECT_EQ(sel.Start(), loop);
    EXPECT_EQ(sel.End(), loopEnd);
    view.cutToClipboard();
    EXPECT_TRUE(word::IsRowStartMark(doc, doc.MainStory()[static_cast<std::size_t>(loop)]));
    view.undo();
    EXPECT_EQ(doc.ToRtf(), rtf);
    fieldMenu("&Delete Field");
    EXPECT_EQ(sel.Start(), loop);
    EXPECT_EQ(sel.End(), loop);
    QTest::keyClicks(&view, "y");
    EXPECT_EQ(cellText(doc, 0, 0), "Date");
    EXPECT_EQ(doc.MainStory()[static_cast<std::size_t>(loop)].value, U'y');
    EXPECT_TRUE(word::IsRowStartMark(doc, doc.MainStory()[static_cast<std::size_t>(loop + 1)]));
}
