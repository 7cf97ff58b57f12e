// The document window's page view, offscreen: pages of the document's paper
// and margins, page breaks, headers and footers on every page, zoom.
#include "platform/word/Application.h"
#include "platform/word/Drawings.h"
#include "platform/word/Range.h"
#include "views/word/DocumentView.h"
#include "views/word/PageLayout.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTextBlock>
#include <QTextTable>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace qz;

namespace {

// A4 with margins of 1134 twips (2 cm), a header and footer, a page break.
const char* kPaged = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\paperw11906\paperh16838\margl1134\margr1134\margt1134\margb1134)"
                     R"(\sectd\headery567\footery567{\header\pard\qr\fs40 HEADER\par}{\footer\pard\fs40 FOOTER {\field{\*\fldinst PAGE}{\fldrslt 1}}\par})"
                     R"(\pard first page\page second page\par after\par})";

// Whether the picture has dark pixels in the rectangle.
bool Inked(const QImage& image, const QRect& r) {
    for (int y = std::max(0, r.top()); y <= std::min(image.height() - 1, r.bottom()); ++y)
        for (int x = std::max(0, r.left()); x <= std::min(image.width() - 1, r.right()); ++x)
            if (qGray(image.pixel(x, y)) < 100) return true;
    return false;
}

// A document read from RTF and shown in a window of the size, laid out.
struct ShownDocument {
    word::Application app;
    word::Document& doc;
    views::DocumentView view;
    ShownDocument(const std::string& rtf, int width, int height)
        : doc(app.GetDocuments().Add()), view((doc.LoadRtfText(rtf), doc)) {
        view.resize(width, height);
        view.show();
        QApplication::processEvents();
    }
};

} // namespace

TEST(PageView, PagesHaveThePaperAndMarginsAndAPageBreakStartsAPage) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kPaged);
    views::DocumentView view(doc);
    view.resize(1000, 800);
    view.show();
    QApplication::processEvents();

    const QRectF page = view.pageRect(0);
    EXPECT_NEAR(page.width(), 11906 / 15.0, 1);
    EXPECT_NEAR(page.height(), 16838 / 15.0, 1);
    ASSERT_EQ(view.pageCount(), 2);
    // The text starts inside the margins; after the break it starts the second page.
    auto* layout = view.document()->documentLayout();
    const QRectF first = layout->blockBoundingRect(view.document()->begin());
    EXPECT_NEAR(first.left(), 1134 / 15.0, 1);
    EXPECT_NEAR(first.top(), page.top() + 1134 / 15.0, 2);
    const QTextBlock second = view.document()->begin().next();
    EXPECT_EQ(second.text(), "second page");
    EXPECT_NEAR(layout->blockBoundingRect(second).top(), view.pageRect(1).top() + 1134 / 15.0, 2);
    // Positions stay the model's: the block after the break starts after the break character.
    EXPECT_EQ(view.modelPosition(second.position()), 11);

    // Header and footer stand on both pages, in the margins.
    // (The viewport shows the document from its top left corner.)
    view.resize(1000, 2400);
    QApplication::processEvents();
    const QImage shot = view.viewport()->grab().toImage();
    for (int k : {0, 1}) {
        const QRectF p = view.pageRect(k);
        const QRectF header(p.left(), p.top() + 567 / 15.0, p.width(), (1134 - 567) / 15.0);
        const QRectF footer(p.left(), p.bottom() - 1134 / 15.0, p.width(), (1134 - 567) / 15.0);
        EXPECT_TRUE(Inked(shot, header.toRect())) << "header on page " << k + 1;
        EXPECT_TRUE(Inked(shot, footer.toRect())) << "footer on page " << k + 1;
    }
    EXPECT_FALSE(Inked(shot, QRectF(0, view.pageRect(1).top() - 10, 1000, 8).toRect())); // the gap between the pages
    // Each footer shows its own page's number.
    auto footer = [&](int k) {
        const QRectF p = view.pageRect(k);
        return shot.copy(QRectF(p.left(), p.bottom() - 1134 / 15.0, p.width(), (1134 - 567) / 15.0).toRect());
    };
    EXPECT_NE(footer(0), footer(1));

    // Editing across the break keeps the pages.
    const long end = static_cast<long>(doc.MainStory().size());
    doc.GetSelection().SetRange(end, end);
    view.pushSelection();
    view.typeText("!");
    EXPECT_EQ(view.pageCount(), 2);
    EXPECT_EQ(view.document()->begin().next().next().text(), "after!");
}

TEST(PageView, PageNumbersInTheBodyAndFootersShowThePageTheyStandOn) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(std::string(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\paperw11906\paperh16838\margl1134\margr1134)") +
                    R"(\margt1134\margb1134\sectd\footery567{\footer\pard\fs40 \chpgn\par})" +
                    R"(\pard first\page second {\field{\*\fldinst PAGE}{\fldrslt 7}} end\par})");
    views::DocumentView view(doc);
    view.resize(1000, 2400);
    view.show();
    QApplication::processEvents();
    ASSERT_EQ(view.pageCount(), 2);
    // The footer's \chpgn shows, and differs from page to page.
    const QImage shot = view.viewport()->grab().toImage();
    auto footer = [&](int k) {
        const QRectF p = view.pageRect(k);
        return shot.copy(QRectF(p.left(), p.bottom() - 1134 / 15.0, p.width(), (1134 - 567) / 15.0).toRect());
    };
    EXPECT_TRUE(Inked(footer(0), footer(0).rect()));
    EXPECT_NE(footer(0), footer(1));
    // The PAGE field in the body is a number worked out where it is drawn,
    // not its stored result; it stands on the second page.
    const QTextBlock second = view.document()->begin().next();
    EXPECT_FALSE(second.text().contains('7'));
    const int at = static_cast<int>(second.text().indexOf(QChar(0xFFFC)));
    ASSERT_GE(at, 0);
    QTextCursor c(second);
    c.setPosition(second.position() + at + 1);
    EXPECT_EQ(c.charFormat().objectType(), views::PageLayout::kPageNumberObject);
    const QRectF r = view.document()->documentLayout()->blockBoundingRect(second);
    EXPECT_GE(r.top(), view.pageRect(1).top());
    // Drawn: the number's place is inked.
    const QTextLine line = second.layout()->lineForTextPosition(at);
    const double x = r.left() + line.cursorToX(at);
    EXPECT_TRUE(Inked(shot, QRectF(x, r.top() + line.y(), 8, line.height()).toRect()));
}

TEST(PageView, SectionsHaveTheirOwnHeadersAndAContinuousOneStaysOnThePage) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(std::string(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\paperw11906\paperh16838\margl1134\margr1134)") +
                    R"(\margt1134\margb1134\sectd{\header\pard\fs40 ONE\par}\pard one\par)" +
                    R"(\sect\sectd\sbknone\pard two\par)" +
                    R"(\sect\sectd\sbkpage{\header\pard\fs40 WWWWWWWWWW\par}\pard three\par)" +
                    R"(\sect\sectd\pard four\par})");
    views::DocumentView view(doc);
    view.resize(1000, 3800);
    view.show();
    QApplication::processEvents();
    ASSERT_EQ(view.pageCount(), 3);
    auto* layout = view.document()->documentLayout();
    EXPECT_LT(layout->blockBoundingRect(view.document()->find("two").block()).bottom(), view.pageRect(0).bottom());
    const QImage shot = view.viewport()->grab().toImage();
    auto header = [&](int k) {
        const QRectF p = view.pageRect(k);
        return shot.copy(QRectF(p.left(), p.top() + 720 / 15.0 - 4, p.width(), (1134 - 720) / 15.0).toRect());
    };
    EXPECT_TRUE(Inked(header(0), header(0).rect()));
    EXPECT_NE(header(0), header(1)); // the third section's own
    EXPECT_EQ(header(1), header(2)); // the fourth goes on with it
}

TEST(PageView, TheTextKeepsClearOfHeadersAndFootersTallerThanTheirMargins) {
    // Margins of half an inch; red headers and footers of 3 lines (5 for the
    // first page's header) that reach past them; 150 lines of black text.
    std::string rtf = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}{\colortbl;\red255\green0\blue0;})"
                      R"(\paperw12240\paperh15840\margl1440\margr1440\margt720\margb720\headery360\footery720\titlepg)"
                      R"({\headerf\pard\cf1 F1\par F2\par F3\par F4\par F5\par}{\header\pard\cf1 H1\par H2\par H3\par})"
                      R"({\footerf\pard\cf1 f1\par f2\par f3\par}{\footer\pard\cf1 F1\par F2\par F3\par})";
    for (int k = 1; k <= 150; ++k) rtf += "\\pard line " + std::to_string(k) + "\\par\n";
    rtf += "}";
    ShownDocument shown(rtf, 1000, 3500);
    views::DocumentView& view = shown.view;
    ASSERT_GE(view.pageCount(), 3);
    const QImage shot = view.viewport()->grab().toImage();
    auto* layout = view.document()->documentLayout();
    for (int k = 0; k < 3; ++k) {
        // The red ink of the page's header (top half) and footer (bottom half).
        const QRect page = view.pageRect(k).toRect();
        int headerEnd = page.top(), footerStart = page.bottom();
        for (int y = page.top(); y < page.bottom() && y < shot.height(); ++y)
            for (int x = page.left(); x < page.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.red() < 150 || c.green() > 100) continue;
                if (y < page.center().y()) headerEnd = std::max(headerEnd, y);
                else footerStart = std::min(footerStart, y);
            }
        ASSERT_GT(headerEnd, page.top() + 720 / 15) << "page " << k + 1;
        ASSERT_LT(footerStart, page.bottom() - 720 / 15) << "page " << k + 1;
        // Every line of the page's text between them, the page filled.
        double last = 0;
        for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next()) {
            const QRectF r = layout->blockBoundingRect(b);
            if (r.top() < page.top() || r.top() > page.bottom()) continue;
            EXPECT_GT(r.top(), headerEnd) << b.text().toStdString();
            EXPECT_LT(r.bottom(), footerStart) << b.text().toStdString();
            last = std::max(last, r.bottom());
        }
        EXPECT_GT(last, footerStart - 2 * layout->blockBoundingRect(view.document()->begin()).height());
    }
}

TEST(PageView, ZoomScalesPagesAndTextAndFitsTheWidth) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kPaged);
    views::DocumentView view(doc);
    view.resize(600, 500);
    view.show();
    QApplication::processEvents();
    const double width = view.pageRect(0).width();
    const double text = view.document()->documentLayout()->blockBoundingRect(view.document()->begin()).height();

    view.setZoom(2.0);
    EXPECT_NEAR(view.pageRect(0).width(), 2 * width, 1);
    EXPECT_NEAR(view.document()->documentLayout()->blockBoundingRect(view.document()->begin()).height(), 2 * text, 3);
    view.zoomOut();
    EXPECT_DOUBLE_EQ(view.zoom(), 1.5);
    view.zoomIn();
    EXPECT_DOUBLE_EQ(view.zoom(), 2.0);

    view.zoomToPageWidth();
    EXPECT_LT(view.pageRect(0).width(), view.viewport()->width() + view.viewport()->x());
    EXPECT_GT(view.pageRect(0).width(), 600 - 100);
    view.resize(900, 500);
    QApplication::processEvents();
    EXPECT_GT(view.pageRect(0).width(), 900 - 100); // it follows the window
    // The model is unchanged by any of this.
    EXPECT_TRUE(doc.Saved());
}

TEST(PageView, CtrlHomeShowsTheTopOfTheFirstPage) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(kPaged);
    views::DocumentView view(doc);
    view.resize(800, 400);
    view.show();
    QApplication::processEvents();
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    ASSERT_GT(view.verticalScrollBar()->value(), 0);
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view.textCursor().position(), 0);
    EXPECT_EQ(view.verticalScrollBar()->value(), 0); // the page's top margin in view
}

TEST(PageView, ALaterSectionsPagesHaveItsPaperAndMargins) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(R"({\rtf1\ansi\paperw11906\paperh16838\margl1134\margr1134\margt1134\margb1134\pard first section\par)"
                    R"(\sect\sectd\lndscpsxn\pgwsxn16838\pghsxn11906\marglsxn2880\margrsxn1440\margtsxn2160 landscape\par})");
    views::DocumentView view(doc);
    view.resize(1000, 800);
    view.show();
    QApplication::processEvents();
    ASSERT_EQ(view.pageCount(), 2);
    EXPECT_NEAR(view.pageRect(0).width(), 11906 / 15.0, 1);
    EXPECT_NEAR(view.pageRect(1).width(), 16838 / 15.0, 1);
    EXPECT_NEAR(view.pageRect(1).height(), 11906 / 15.0, 1);
    // The section starts its own page, at its margins, its text as wide as they leave.
    auto* layout = view.document()->documentLayout();
    const QTextBlock second = view.document()->findBlock(view.document()->find("landscape").position());
    const QRectF r = layout->blockBoundingRect(second);
    EXPECT_NEAR(r.top(), view.pageRect(1).top() + 2160 / 15.0, 2);
    EXPECT_NEAR(r.left(), 2880 / 15.0, 1);
    EXPECT_NEAR(r.width(), (16838 - 2880 - 1440) / 15.0, 1);
    EXPECT_NEAR(layout->blockBoundingRect(view.document()->begin()).left(), 1134 / 15.0, 1);
}

TEST(PageView, EveryFormattingKindOfTheSampleShows) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Open(std::string(QZ_TEST_DATA_DIR) + "/studio/formats.rtf");
    views::DocumentView view(doc);
    view.resize(1000, 1200);
    view.show();
    QApplication::processEvents();
    QTextDocument& d = *view.document();
    // The character format the view draws the first character of a text with.
    auto formatOf = [&](const QString& text) {
        const QTextCursor c = d.find(text);
        EXPECT_FALSE(c.isNull()) << text.toStdString();
        QTextCursor at(c.block());
        at.setPosition(c.selectionStart() + 1);
        return at.charFormat();
    };
    EXPECT_TRUE(formatOf("strike-through").fontStrikeOut());
    EXPECT_EQ(formatOf("Small Caps").fontCapitalization(), QFont::SmallCaps);
    EXPECT_EQ(formatOf("highlighted").background().color(), QColor(255, 255, 0));
    EXPECT_EQ(formatOf("example.com").foreground().color(), QColor(0x05, 0x63, 0xC1)); // the link
    EXPECT_TRUE(formatOf("example.com").fontUnderline());
    QTextCursor two = d.find("2");
    EXPECT_EQ(two.charFormat().verticalAlignment(), QTextCharFormat::AlignSuperScript);
    // Line spacing, bullets and numbers, paragraph shading.
    EXPECT_EQ(d.find("One and a half").blockFormat().lineHeightType(), int(QTextBlockFormat::ProportionalHeight));
    EXPECT_TRUE(d.find("A bullet").block().text().startsWith(QString::fromUtf8("\u2022\t")));
    EXPECT_TRUE(d.find("Second step").block().text().startsWith("2.\t"));
    EXPECT_EQ(d.find("with a border").blockFormat().background().color(), QColor(217, 217, 217));
    // The table: the merged heading spans two columns; the shaded cell.
    QTextTable* table = d.find("Coffee").currentTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->cellAt(0, 1).columnSpan(), 2);
    EXPECT_EQ(table->cellAt(1, 1).format().background().color(), QColor(198, 239, 206));
    // The embedded picture on the first page, the linked one after the page break.
    int pictures = 0;
    for (QTextBlock b = d.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                const QImage image = d.resource(QTextDocument::ImageResource,
                                                QUrl(it.fragment().charFormat().toImageFormat().name())).value<QImage>();
                EXPECT_FALSE(image.isNull());
                // A blue square of the checkered sample, not a framed box.
                EXPECT_GT(qBlue(image.pixel(image.width() * 12 / 48, image.height() * 4 / 24)), 150);
                ++pictures;
            }
    EXPECT_EQ(pictures, 2);
    EXPECT_EQ(view.pageCount(), 2);
}

TEST(PageView, FormattingCommandsGoThroughTheModelAndSaveAsRtf) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\deftab720 one\par two\par})");
    views::DocumentView view(doc);
    doc.GetSelection().SetRange(0, 3);
    view.pushSelection();
    view.setTextColor(QColor(200, 0, 0));
    view.setHighlight(QColor(255, 255, 0));
    view.setFont(QString(), 20); // the size alone
    view.indent(2);
    view.indent(-1);
    doc.GetSelection().SetRange(7, 7); // after "two"
    view.pushSelection();
    view.insertPageBreak();
    EXPECT_EQ(view.pageCount(), 2);

    word::Document& back = app.GetDocuments().Add();
    back.LoadRtfText(doc.ToRtf());
    const word::Atom first = back.MainStory()[0];
    EXPECT_EQ(back.ColorRgb(back.Format(first.fmt).color), 0xC80000);
    EXPECT_EQ(back.ColorRgb(back.Look(first.fmt).highlight), 0xFFFF00);
    EXPECT_EQ(back.Format(first.fmt).size, 40);
    EXPECT_EQ(back.Format(first.fmt).font, back.Format(back.MainStory()[4].fmt).font); // the font kept
    EXPECT_EQ(word::Range(&back, &back.MainStory(), 0, 0).ParagraphFormat().leftIndent, 720);
    EXPECT_EQ(back.MainStory()[7].value, 0x0Cu); // the page break

    // Highlight off again; undo takes the page break back.
    view.setHighlight(QColor());
    view.undo();
    EXPECT_EQ(view.pageCount(), 1);
}

TEST(PageView, DrawingsNotesEquationsAndLetterSpacingShow) {
    // A red rectangle 1 inch from the page's left and top edges, a shape the
    // view does not draw (its outline shows), a footnote, an equation and
    // spaced letters.
    const char* rtf =
        R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\paperw12240\paperh15840\margl1440\margr1440\margt1440\margb1440)"
        R"(\pard Anchor{\shp{\*\shpinst\shpleft1440\shptop1440\shpright2880\shpbottom2880\shpbxpage\shpbypage)"
        R"({\sp{\sn shapeType}{\sv 1}}{\sp{\sn fillColor}{\sv 255}}}})"
        R"({\shp{\*\shpinst\shpleft4320\shptop4320\shpright5760\shpbottom5760\shpbxpage\shpbypage{\sp{\sn shapeType}{\sv 136}}}})"
        R"( noted{\super\chftn}{\footnote\pard{\super\chftn} Note.}\par)"
        R"(\pard {\*\mmath{\mr E=mc}{\msSup{\me{\mr c}}{\msup{\mr 2}}}} {\expndtw60 wide}\par})";
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(rtf);
    views::DocumentView view(doc);
    view.resize(1000, 1300);
    view.show();
    QApplication::processEvents();
    const QImage shot = view.viewport()->grab().toImage();
    const QRectF page = view.pageRect(0);
    const QPoint inside = (page.topLeft() + QPointF(2160 / 15.0, 2160 / 15.0)).toPoint();
    EXPECT_EQ(QColor(shot.pixel(inside)), QColor(255, 0, 0));
    // The placeholder's outline, and nothing inside it.
    const QRectF other(page.left() + 4320 / 15.0, page.top() + 4320 / 15.0, 1440 / 15.0, 1440 / 15.0);
    int outline = 0;
    for (int y = static_cast<int>(other.top()); y < static_cast<int>(other.bottom()); ++y)
        for (int x = static_cast<int>(other.left()) - 1; x <= static_cast<int>(other.left()) + 1; ++x)
            outline += qGray(shot.pixel(x, y)) < 250;
    EXPECT_GT(outline, 20);
    EXPECT_EQ(qGray(shot.pixel(other.center().toPoint())), 255);
    // The footnote at the foot of the text area: ink above the bottom margin.
    const QRectF foot(page.left() + 1440 / 15.0, page.bottom() - 1440 / 15.0 - 40, 400, 38);
    EXPECT_TRUE(Inked(shot, foot.toRect()));
    // The mark is a superscript "1"; the equation shows its text.
    QString all;
    for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next()) all += b.text() + "\n";
    EXPECT_TRUE(all.contains("noted1")) << all.toStdString();
    EXPECT_TRUE(all.contains("E=mcc^2")) << all.toStdString();
    // Letter spacing of 60 twips, at the zoom.
    const QTextBlock last = view.document()->lastBlock();
    bool spaced = false;
    for (auto it = last.begin(); !it.atEnd(); ++it)
        if (it.fragment().text() == "wide")
            spaced = std::abs(it.fragment().charFormat().fontLetterSpacing() - view.pixels(60)) < 0.01;
    EXPECT_TRUE(spaced);
}

TEST(PageView, FootnotesKeepTheirFormatsAndTakeRoomFromTheText) {
    // 80 lines of black text; on line 30 (a paragraph, or a table's cell) a
    // note of 48 points in red, its last word highlighted yellow.
    for (const bool inTable : {false, true}) {
        SCOPED_TRACE(inTable ? "in a table" : "in a paragraph");
        std::string rtf = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}{\colortbl;\red255\green0\blue0;\red255\green255\blue0;})"
                          R"(\paperw12240\paperh15840\margl1440\margr1440\margt1440\margb1440)";
        for (int k = 1; k <= 80; ++k) {
            const std::string line = "line " + std::to_string(k);
            if (k != 30) rtf += "\\pard " + line + "\\par\n";
            const std::string note = R"({\super\chftn}{\footnote\pard\plain{\super\chftn} \fs96\cf1 MMM {\highlight2 MM}})";
            if (k == 30 && inTable) rtf += "\\trowd\\cellx3000\\pard\\intbl " + line + note + "\\cell\\row\n";
            if (k == 30 && !inTable) rtf += "\\pard " + line + note + "\\par\n";
        }
        rtf += "}";
        ShownDocument shown(rtf, 1000, 1200);
        views::DocumentView& view = shown.view;
        const QImage shot = view.viewport()->grab().toImage();
        const QRect page = view.pageRect(0).toRect();
        int redTop = page.bottom(), redBottom = 0;
        bool yellow = false;
        for (int y = page.top(); y < page.bottom() && y < shot.height(); ++y)
            for (int x = page.left(); x < page.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                yellow = yellow || (c.red() > 200 && c.green() > 200 && c.blue() < 80);
                if (c.red() < 150 || c.green() > 100 || c.blue() > 100) continue;
                redTop = std::min(redTop, y);
                redBottom = std::max(redBottom, y);
            }
        // The note at the foot of the text, in its own size and colour, highlighted.
        ASSERT_LT(redTop, page.bottom() - 1440 / 15);
        EXPECT_GT(redBottom - redTop, 30);
        EXPECT_TRUE(yellow);
        // No line of the page's text reaches into it, and the text fills the rest.
        auto* layout = view.document()->documentLayout();
        double last = 0;
        for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next()) {
            const QRectF r = layout->blockBoundingRect(b);
            if (r.top() > page.bottom()) break;
            EXPECT_LT(r.bottom(), redTop) << b.text().toStdString();
            last = std::max(last, r.bottom());
        }
        EXPECT_GT(last, redTop - 3 * layout->blockBoundingRect(view.document()->begin()).height() - view.pixels(240));
    }
}

TEST(PageView, TextBoxesKeepTheirFormatsAndShadowsAndMayBePlacedByTheShapeGroup) {
    // Two text boxes from the page's corner: the first placed by the words
    // of the shape group itself, its text bold; the second as plain text,
    // with a shadow.
    const char* rtf =
        R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\paperw12240\paperh15840\margl1440\margr1440\margt1440\margb1440)"
        R"(\pard Anchor{\shp\shpleft1440\shpright4320\shptop4320\shpbottom5760\shpbxpage\shpbypage{\*\shpinst)"
        R"({\sp{\sn shapeType}{\sv 202}}{\shptxt\pard\plain\fs40{\b MMMM}\par}}})"
        R"({\shp{\*\shpinst\shpleft5760\shpright8640\shptop4320\shpbottom5760\shpbxpage\shpbypage)"
        R"({\sp{\sn shapeType}{\sv 202}}{\sp{\sn fShadow}{\sv 1}}{\shptxt\pard\plain\fs40 MMMM\par}}}\par})";
    ShownDocument shown(rtf, 1000, 800);
    views::DocumentView& view = shown.view;
    const QImage shot = view.viewport()->grab().toImage();
    const QRectF page = view.pageRect(0);
    auto box = [&](int left) { return QRectF(page.left() + left / 15.0, page.top() + 4320 / 15.0, 2880 / 15.0, 1440 / 15.0); };
    auto ink = [&](const QRectF& r) {
        int dark = 0;
        for (int y = static_cast<int>(r.top()) + 4; y < r.bottom() - 4; ++y)
            for (int x = static_cast<int>(r.left()) + 4; x < r.right() - 4; ++x) dark += qGray(shot.pixel(x, y)) < 128;
        return dark;
    };
    const int bold = ink(box(1440)), plain = ink(box(5760));
    EXPECT_GT(plain, 50);
    EXPECT_GT(bold, plain * 5 / 4);
    // The shadow: grey just right of the second box, white beside the first.
    auto beside = [&](int left) {
        const QRectF r = box(left);
        return qGray(shot.pixel(QPointF(r.right() + 2, r.center().y()).toPoint()));
    };
    EXPECT_LT(beside(5760), 200);
    EXPECT_EQ(beside(1440), 255);
}

TEST(PageView, DeviceIndependentBitmapsShowTheirPixels) {
    // Two by two red pixels, shown an inch high.
    ShownDocument shown(R"({\rtf1\ansi\paperw12240\paperh15840\margl1440\margr1440\margt1440\margb1440\pard )"
                        R"({\pict\dibitmap0\picw2\pich2\picwgoal1440\pichgoal1440 )"
                        R"(28000000020000000200000001001800000000001000000000000000000000000000000000000000)" // the header
                        R"(0000ff0000ff00000000ff0000ff0000}\par})",
                        1000, 800);
    views::DocumentView& view = shown.view;
    const QImage shot = view.viewport()->grab().toImage();
    const QRectF page = view.pageRect(0);
    EXPECT_EQ(QColor(shot.pixel((page.topLeft() + QPointF(1440 + 720, 1440 + 720) / 15.0).toPoint())), QColor(255, 0, 0));
}

TEST(PageView, DrawingsAndNotesFollowTheEditsOfTheirText) {
    // Small pages; on the second, a red rectangle anchored to its paragraph, and a footnote.
    const char* rtf =
        R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\paperw7200\paperh4320\margl720\margr720\margt720\margb720)"
        R"(\pard before\par\pard\page{\shp{\*\shpinst\shpleft0\shptop360\shpright1440\shpbottom1080\shpbxcolumn\shpbypara)"
        R"({\sp{\sn shapeType}{\sv 1}}{\sp{\sn fillColor}{\sv 255}}}})"
        R"({\super\chftn}{\footnote\pard{\super\chftn} Note.} Anchored\par})";
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(rtf);
    views::DocumentView view(doc);
    view.resize(800, 1000);
    view.show();
    QApplication::processEvents();
    const word::Story& story = doc.MainStory();
    auto place = [&](long a, long b) {
        doc.GetSelection().SetRange(a, b);
        view.pushSelection();
    };
    auto notePos = [&] {
        for (std::size_t i = 0; i < story.size(); ++i)
            if (story[i].Kind() == word::AtomKind::Opaque && word::NoteKind(doc.Opaque(story[i].value))) return static_cast<long>(i);
        return -1L;
    };
    // What each page shows: the rectangle's red, and the lines of notes at its text's foot.
    auto shown = [&](int page) {
        view.viewport()->repaint();
        const QImage shot = view.viewport()->grab().toImage();
        const QRectF r = view.pageRect(page);
        bool red = false;
        for (int y = static_cast<int>(r.top()); y < r.bottom() && !red; ++y)
            for (int x = static_cast<int>(r.left()); x < r.right() && !red; ++x)
                red = shot.pixel(x, y) == qRgb(255, 0, 0);
        int lines = 0;
        bool ink = false;
        for (int y = static_cast<int>(r.bottom() - 720 / 15.0 - 60); y < r.bottom() - 720 / 15.0; ++y) {
            bool now = false;
            for (int x = static_cast<int>(r.left() + 720 / 15.0); x < r.left() + 720 / 15.0 + 200 && !now; ++x)
                now = qGray(shot.pixel(x, y)) < 200;
            lines += now && !ink;
            ink = now;
        }
        return std::pair(red, lines);
    };
    ASSERT_EQ(view.pageCount(), 2);
    EXPECT_EQ(shown(0), std::pair(false, 0));
    EXPECT_EQ(shown(1), std::pair(true, 2)); // the note's line and the note

    // Keys typed in the paragraph before theirs: they stay with their text.
    place(0, 0);
    for (const char* key : {"a", "b"}) view.typeText(key, true);
    EXPECT_EQ(shown(0), std::pair(false, 0));
    EXPECT_EQ(shown(1), std::pair(true, 2));
    // The note removed with Backspace is no longer drawn; undo brings it back.
    const long note = notePos();
    place(note + 1, note + 1);
    view.deleteBackward();
    ASSERT_EQ(notePos(), -1);
    EXPECT_EQ(shown(1), std::pair(true, 0));
    view.undo();
    EXPECT_EQ(shown(1), std::pair(true, 2));
    // Nor when typed text takes its place and its mark's (the story keeps its length).
    const std::size_t length = story.size();
    place(note - 1, note + 1);
    view.typeText("ab", true);
    ASSERT_EQ(notePos(), -1);
    ASSERT_EQ(story.size(), length);
    EXPECT_EQ(shown(1), std::pair(true, 0));
    view.undo();
    // Pasted text holding the note: both notes at the page's foot.
    place(note - 1, note + 1);
    view.copy();
    place(note + 1, note + 1);
    view.pasteFromClipboard();
    EXPECT_EQ(shown(1), std::pair(true, 3));
}

TEST(PageView, NoteMarksInTheTextAreNumberedAgainWhenANoteGoesOrComes) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\pard one{\super\chftn}{\footnote\pard{\super\chftn} A.}\par)"
                    R"(\pard middle\par\pard two{\super\chftn}{\footnote\pard{\super\chftn} B.}\par})");
    views::DocumentView view(doc);
    auto text = [&] {
        QString all;
        for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next()) all += b.text() + "|";
        return all.toStdString();
    };
    ASSERT_EQ(text(), "one1|middle|two2|");
    // The first note and its mark removed: the second is note 1.
    for (long at : {5L, 4L}) {
        doc.GetSelection().SetRange(at, at);
        view.pushSelection();
        view.deleteBackward();
    }
    EXPECT_EQ(text(), "one|middle|two1|");
    // Pasted before it, a note makes it note 2 again.
    doc.GetSelection().SetRange(14, 16);
    view.pushSelection();
    view.copy();
    doc.GetSelection().SetRange(3, 3);
    view.pushSelection();
    view.pasteFromClipboard();
    EXPECT_EQ(text(), "one1|middle|two2|");
}
