// The document view's page layout, offscreen: long documents are paged, an
// edit assigns pages again as a full layout would, right tab stops and
// table cells stand where they print.
#include "platform/word/Application.h"
#include "views/word/DocumentView.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace qz;

namespace {

// A4, margins of 1134 twips.
const std::string kPage = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\paperw11906\paperh16838\margl1134\margr1134\margt1134\margb1134 )";

// Each block's top and its lines' tops, as laid out.
std::vector<std::vector<double>> LineTops(views::DocumentView& view) {
    QAbstractTextDocumentLayout* layout = view.document()->documentLayout();
    std::vector<std::vector<double>> tops;
    for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next()) {
        const QRectF r = layout->blockBoundingRect(b);
        std::vector<double> lines{r.top()};
        for (int k = 0; k < b.layout()->lineCount(); ++k) lines.push_back(r.top() + b.layout()->lineAt(k).y());
        tops.push_back(lines);
    }
    return tops;
}

// Every line of the document lies inside its page's margins.
void ExpectLinesInsideMargins(views::DocumentView& view) {
    const double top = 1134 / 15.0, bottom = 1134 / 15.0;
    for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next()) {
        const QRectF r = view.document()->documentLayout()->blockBoundingRect(b);
        for (int k = 0; k < b.layout()->lineCount(); ++k) {
            const QTextLine line = b.layout()->lineAt(k);
            const double y = r.top() + line.y();
            int page = 0;
            while (page + 1 < view.pageCount() && view.pageRect(page + 1).top() <= y) ++page;
            const QRectF p = view.pageRect(page);
            ASSERT_GE(y, p.top() + top - 0.5) << b.text().left(20).toStdString();
            ASSERT_LE(y + line.height(), p.bottom() - bottom + 0.5) << b.text().left(20).toStdString();
        }
    }
}

} // namespace

TEST(PageLayout, ALongDocumentIsPagedAndAnEditMovesTheTextAfterItToItsPage) {
    // Over half a million characters, in paragraphs of several lines.
    std::string rtf = kPage;
    const std::string words(60, 'w');
    for (int p = 0; p < 1200; ++p) {
        rtf += "\\pard Paragraph " + std::to_string(p);
        for (int w = 0; w < 8; ++w) rtf += " " + words;
        rtf += "\\par\r\n";
    }
    rtf += "}";
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(rtf);
    ASSERT_GT(doc.MainStory().size(), 500'000u);
    views::DocumentView view(doc);
    view.resize(1000, 800);
    view.show();
    QApplication::processEvents();
    view.finishRendering();

    const int pages = view.pageCount();
    EXPECT_GT(pages, 50);
    for (int k : {0, pages / 2, pages - 1}) {
        EXPECT_NEAR(view.pageRect(k).width(), 11906 / 15.0, 1);
        EXPECT_NEAR(view.pageRect(k).height(), 16838 / 15.0, 1);
    }
    EXPECT_NEAR(view.document()->size().height(), view.pageRect(pages - 1).bottom(), 1);
    ExpectLinesInsideMargins(view);

    // Lines typed into the first paragraph push the text after it down: the
    // pages are those of a layout made afresh.
    const std::vector<std::vector<double>> before = LineTops(view);
    doc.GetSelection().SetRange(10, 10);
    view.pushSelection();
    view.typeText(QString(" ") + QString(400, 'x'));
    view.typeText("\r");
    const std::vector<std::vector<double>> edited = LineTops(view);
    ASSERT_EQ(edited.size(), before.size() + 1);
    EXPECT_GT(edited.back().front(), before.back().front());
    ExpectLinesInsideMargins(view);
    {
        views::DocumentView fresh(doc);
        fresh.resize(1000, 800);
        fresh.finishRendering();
        EXPECT_EQ(LineTops(fresh), edited);
        EXPECT_EQ(fresh.pageCount(), view.pageCount());
    }
    // And back: the paragraph mark and the lines deleted.
    doc.GetSelection().SetRange(10, 412);
    view.pushSelection();
    view.deleteBackward();
    EXPECT_EQ(LineTops(view), before);
    EXPECT_EQ(view.pageCount(), pages);
}

TEST(PageLayout, ARightTabStopBeyondTheLineStandsAtItsEnd) {
    // The stop (9800) is beyond the text's width (11906 - 2 * 1134 = 9638).
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kPage + R"(\pard\tqr\tx9800 Subtotal\tab 1,234.50\par})");
    views::DocumentView view(doc);
    view.resize(1000, 800);
    const QTextBlock b = view.document()->begin();
    const QRectF r = view.document()->documentLayout()->blockBoundingRect(b);
    ASSERT_EQ(b.layout()->lineCount(), 1);
    const QTextLine line = b.layout()->lineAt(0);
    // The value ends at the right margin.
    EXPECT_NEAR(r.left() + line.cursorToX(b.length() - 1), 1134 / 15.0 + 9638 / 15.0, 2);
    EXPECT_LT(line.cursorToX(8), 200); // "Subtotal" stays at the left
}

TEST(PageLayout, ALineThatFitsTheWidthExactlyStaysOneLine) {
    // 78 underscores of 6 points each are exactly the 6.5 inches between
    // the margins; the underscore's stroke overhangs its advance. One more
    // does not fit.
    const std::string page =
        R"({\rtf1\ansi{\fonttbl{\f0 Times New Roman;}}\paperw12240\paperh15840\margl1440\margr1440 )";
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(page + "\\pard\\f0\\fs24 " + std::string(78, '_') + "\\par\\pard\\f0\\fs24 " +
                    std::string(79, '_') + "\\par}");
    views::DocumentView view(doc);
    view.resize(1000, 800);
    const QTextBlock exact = view.document()->begin();
    EXPECT_EQ(exact.layout()->lineCount(), 1);
    const QTextBlock over = exact.next();
    ASSERT_EQ(over.layout()->lineCount(), 2);
    EXPECT_EQ(over.layout()->lineAt(0).textLength(), 78);
}

TEST(PageLayout, TableCellsKeepTheRowsGapAndBoundaries) {
    // Cells from \trleft to each \cellx; the text \trgaph inside each side.
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kPage + R"(\trowd\trgaph108\trleft-108\cellx1500\cellx3000\pard\intbl )"
                            R"(Description\cell\pard\intbl Quantity\cell\row\pard after\par})");
    views::DocumentView view(doc);
    view.resize(1000, 800);
    QAbstractTextDocumentLayout* layout = view.document()->documentLayout();
    const QTextBlock first = view.document()->findBlock(view.document()->find("Description").position());
    const QTextBlock second = view.document()->findBlock(view.document()->find("Quantity").position());
    const double margin = 1134 / 15.0;
    // The first cell's text stands at the margin, the border a gap to its left.
    EXPECT_NEAR(layout->blockBoundingRect(first).left(), margin, 1);
    EXPECT_NEAR(layout->blockBoundingRect(second).left(), margin + (1500 + 108) / 15.0, 1);
    // "Quantity" fits the second cell's text width (1500 - 216 twips): one line.
    EXPECT_EQ(second.layout()->lineCount(), 1);
    QTextTable* table = view.document()->find("Quantity").currentTable();
    ASSERT_NE(table, nullptr);
    const QRectF box = layout->frameBoundingRect(table);
    EXPECT_NEAR(box.left(), margin - 108 / 15.0, 1);
    EXPECT_NEAR(box.width(), (3000 + 108) / 15.0, 1);
    // A click in the second cell lands in its text.
    const int hit = layout->hitTest(layout->blockBoundingRect(second).center(), Qt::FuzzyHit);
    EXPECT_GE(hit, second.position());
    EXPECT_LT(hit, second.position() + second.length());
}

namespace {

// Whether any pixel of the rectangle is darker than the grey level.
bool Inked(const QImage& image, const QRect& r, int grey) {
    for (int y = std::max(0, r.top()); y <= std::min(image.height() - 1, r.bottom()); ++y)
        for (int x = std::max(0, r.left()); x <= std::min(image.width() - 1, r.right()); ++x)
            if (qGray(image.pixel(x, y)) < grey) return true;
    return false;
}

} // namespace

TEST(PageLayout, ATableFollowsTheTextAboveItAndEachRowHasItsOwnCells) {
    // Row 1: 2000 | 6000 with a double border | 9000; row 2: 5000 | merged
    // 9000; row 3: 1000 | 2000 | 9000. A bordered last paragraph.
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kPage + R"(\pard above\par)"
                            R"(\trowd\cellx2000\clbrdrt\brdrdb\brdrw10\cellx6000\cellx9000\pard\intbl A1\cell B1\cell C1\cell\row)"
                            R"(\trowd\cellx5000\clmgf\cellx7000\clmrg\cellx9000\pard\intbl A2\cell B2\cell\cell\row)"
                            R"(\trowd\cellx1000\cellx2000\cellx9000\pard\intbl A3\cell B3\cell C3\cell\row)"
                            R"(\pard\brdrb\brdrs\brdrw30 last\par})");
    views::DocumentView view(doc);
    view.resize(1000, 800);
    view.show();
    QApplication::processEvents();
    QTextDocument* d = view.document();
    QAbstractTextDocumentLayout* layout = d->documentLayout();
    auto left = [&](const char* text) { return layout->blockBoundingRect(d->find(text).block()).left(); };
    const double margin = 1134 / 15.0;
    EXPECT_NEAR(left("B1"), margin + 2000 / 15.0, 1);
    EXPECT_NEAR(left("B2"), margin + 5000 / 15.0, 1);
    EXPECT_NEAR(left("B3"), margin + 1000 / 15.0, 1);
    EXPECT_NEAR(left("C3"), margin + 2000 / 15.0, 1);
    // No empty line between the paragraph and the table.
    QTextTable* table = d->find("A1").currentTable();
    ASSERT_NE(table, nullptr);
    EXPECT_NEAR(layout->frameBoundingRect(table).top(), layout->blockBoundingRect(d->begin()).bottom(), 1);
    EXPECT_EQ(table->cellAt(0, 1).format().toTableCellFormat().topBorderStyle(), QTextFrameFormat::BorderStyle_Double);
    // The last paragraph (which has no mark of its own) draws its border.
    const QRectF last = layout->blockBoundingRect(d->lastBlock());
    const QImage shot = view.viewport()->grab().toImage();
    const int x = static_cast<int>(last.left() + 300);
    int dark = 0;
    for (int y = static_cast<int>(last.top()); y < static_cast<int>(last.bottom()) + 4; ++y)
        dark += qGray(shot.pixel(x, y)) < 100;
    EXPECT_GE(dark, 1);
}

TEST(PageLayout, ARowWithFewerCellsThanTheTableShowsOnlyItsOwn) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kPage + R"(\trowd\trgaph108\cellx3000\cellx6000\pard\intbl a\cell b\cell\row)"
                            R"(\trowd\trgaph108\cellx3000\pard\intbl c\cell\row\pard after\par})");
    views::DocumentView view(doc);
    view.resize(1000, 800);
    view.show();
    QApplication::processEvents();
    // Positions after the table stay the model's: "after" follows the two
    // rows' five marks and three letters.
    const QTextBlock after = view.document()->findBlock(view.document()->find("after").position());
    EXPECT_EQ(view.modelPosition(after.position()), 8);
    EXPECT_EQ(view.viewPosition(8), after.position());
    // The second row draws no cell right of its one: no line where the
    // table's second cell would end.
    const QRectF row = view.document()->documentLayout()->blockBoundingRect(
        view.document()->findBlock(view.document()->find("c").position()));
    const QImage shot = view.viewport()->grab().toImage();
    const double margin = 1134 / 15.0;
    const QRect secondCellEnd(static_cast<int>(margin + 6000 / 15.0) - 2, static_cast<int>(row.top()) + 3, 5,
                              std::max(1, static_cast<int>(row.height()) - 6));
    EXPECT_FALSE(Inked(shot, secondCellEnd, 250));
    EXPECT_TRUE(Inked(shot, secondCellEnd.translated(0, -static_cast<int>(row.height())), 250)); // the first row's is there
}

TEST(PageLayout, TabLeadersFillTheTabsThatReachTheirStops) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kPage + R"(\pard\tqr\tldot\tx9000 Contents\tab 12\par\pard\tqr\tx9000 Plain\tab 12\par)"
                            R"(\pard\tldot\tx3000\tx6000 a\tab b\tab c\par})");
    views::DocumentView view(doc);
    view.resize(1000, 800);
    view.show();
    QApplication::processEvents();
    const QImage shot = view.viewport()->grab().toImage();
    auto gap = [&](int block, double fromTwips, double toTwips) {
        const QRectF r = view.document()->documentLayout()->blockBoundingRect(view.document()->findBlockByNumber(block));
        const double margin = 1134 / 15.0;
        return QRect(static_cast<int>(margin + fromTwips / 15), static_cast<int>(r.top()),
                     static_cast<int>((toTwips - fromTwips) / 15), static_cast<int>(r.height()));
    };
    EXPECT_TRUE(Inked(shot, gap(0, 2000, 8500), 160));
    EXPECT_FALSE(Inked(shot, gap(1, 2000, 8500), 160)); // no leader
    // Only the tab that reaches the stop with a leader has one.
    EXPECT_TRUE(Inked(shot, gap(2, 500, 2800), 160));
    EXPECT_FALSE(Inked(shot, gap(2, 3300, 5800), 160));
}

TEST(PageLayout, RowHeightsHoldAndBorderLinesOfEachStyleTakeTheirRoom) {
    // An exact row of 2 inches: a thick-thin top border, a triple one and a
    // single one of 10 points. Then a row of at least 600 twips.
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kPage + R"(\pard before\par\trowd\trgaph108\trrh-2880\clbrdrt\brdrthtnsg\brdrw60\cellx3000)"
                            R"(\clbrdrt\brdrtriple\brdrw30\cellx6000\clbrdrt\brdrs\brdrw200\cellx9000)"
                            R"(\pard\intbl a\cell b\cell thick\cell\row\pard between\par)"
                            R"(\trowd\trgaph108\trrh600\cellx3000\pard\intbl least\cell\row\pard after\par})");
    views::DocumentView view(doc);
    view.resize(1000, 800);
    view.show();
    QApplication::processEvents();
    QAbstractTextDocumentLayout* layout = view.document()->documentLayout();
    QTextTable* exact = view.document()->find("thick").currentTable();
    QTextTable* least = view.document()->find("least").currentTable();
    ASSERT_TRUE(exact && least);
    const QRectF box = layout->frameBoundingRect(exact);
    EXPECT_NEAR(box.height(), 2880 / 15.0, 1);
    EXPECT_NEAR(layout->frameBoundingRect(least).height(), 600 / 15.0, 1);
    // The thick line's text below it.
    const QRectF thick = layout->blockBoundingRect(view.document()->find("thick").block());
    EXPECT_GE(thick.top(), box.top() + 200 / 15.0 / 2 - 0.5);
    // Down through each cell's top edge: the separate strokes of its line.
    const QImage shot = view.viewport()->grab().toImage();
    auto strokes = [&](double twips) {
        const int x = static_cast<int>(box.left() + twips / 15.0);
        int count = 0;
        bool ink = false;
        for (int y = static_cast<int>(box.top()) - 8; y < box.top() + 8; ++y) {
            const bool now = qGray(shot.pixel(x, y)) < 128;
            count += now && !ink;
            ink = now;
        }
        return count;
    };
    EXPECT_EQ(strokes(1500), 2);
    EXPECT_EQ(strokes(4500), 3);
    EXPECT_EQ(strokes(7500), 1);
}

TEST(PageLayout, AParagraphThatStartsInHebrewRunsFromLeftToRight) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kPage + R"(\pard \u1488?\u1489? then latin\par})");
    views::DocumentView view(doc);
    view.resize(1000, 800);
    const QTextBlock b = view.document()->begin();
    view.document()->documentLayout()->blockBoundingRect(b);
    // The Latin text after the Hebrew stands to its right.
    const QTextLine line = b.layout()->lineAt(0);
    EXPECT_GT(line.cursorToX(3), line.cursorToX(0));
}
