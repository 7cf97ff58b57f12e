#include "views/word/PageRenderer.h"
#include "views/word/PageLayout.h"

#include "platform/word/Application.h"
#include "platform/word/DisplayWalk.h"
#include "platform/word/Drawings.h"
#include "platform/word/Pictures.h"
#include "platform/word/Table.h"
#include "views/host/Text.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>

namespace qz::views {

namespace {

using word::Atom;
using word::AtomKind;


// A table's text width in each column (a QVariantList of twips), as the
// renderer drew its cells, for a cell drawn again on its own.
constexpr int kCellRoom = QTextFormat::UserProperty + 16;

QColor rgbColor(std::int32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// A colour-table entry's colour; invalid for automatic.
QColor tableColor(const word::Document& doc, int entry) {
    const std::int32_t rgb = entry > 0 ? doc.ColorRgb(entry) : -1;
    return rgb >= 0 ? rgbColor(rgb) : QColor();
}

// How the layout draws a border of the style.
int lineOf(const word::Border& b) {
    using S = word::BorderStyle;
    using L = PageLayout::Line;
    static constexpr std::pair<S, L> kLines[] = {
        {S::Single, L::Single},       {S::Double, L::Double},       {S::ThickThin, L::ThickThin},
        {S::ThinThick, L::ThinThick}, {S::ThinThickThin, L::ThinThickThin}, {S::Triple, L::Triple},
        {S::Inset, L::Inset},         {S::Outset, L::Outset},       {S::Emboss, L::Emboss},
        {S::Engrave, L::Engrave},     {S::Dotted, L::Dotted},       {S::Dashed, L::Dashed},
    };
    for (const auto& [style, line] : kLines)
        if (style == b.style) return static_cast<int>(line);
    return static_cast<int>(L::Single);
}

// A paragraph's format as the view draws it, lengths at a zoom; lineEnd is
// where its lines end, twips from the margin.
QTextBlockFormat blockFormat(const word::Document& doc, const word::ParaFormat& p, double zoom, int lineEnd) {
    const double twipsPerPixel = 15.0 / zoom; // at 96 dots per inch
    QTextBlockFormat f;
    static constexpr Qt::Alignment kAlign[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};
    f.setAlignment(kAlign[static_cast<std::size_t>(p.alignment)]);
    // Tab stops count from the margin; the text layout counts them from
    // where the first line starts.
    const int origin = p.leftIndent + p.firstIndent;
    QList<QTextOption::Tab> tabs;
    QVariantList leaders; // one for each tab position
    bool leader = false;
    // A hanging first line's text starts at the indent, as at a tab stop.
    if (p.firstIndent < 0 && p.leftIndent > 0 &&
        std::none_of(p.tabs.begin(), p.tabs.end(), [&](const word::TabStop& t) { return t.position <= p.leftIndent; })) {
        tabs.append(QTextOption::Tab((p.leftIndent - origin) / twipsPerPixel, QTextOption::LeftTab));
        leaders.append(0);
    }
    // A stop at or beyond the line's end stands at its end, as a word
    // processor shows it: a right-aligned value there stays on its line.
    const int end = lineEnd - p.rightIndent - 15;
    for (const word::TabStop& t : p.tabs) {
        if (t.position <= origin) continue;
        using K = word::TabKind;
        const QTextOption::TabType type = t.kind == K::Right     ? QTextOption::RightTab
                                          : t.kind == K::Center  ? QTextOption::CenterTab
                                          : t.kind == K::Decimal ? QTextOption::DelimiterTab
                                                                 : QTextOption::LeftTab;
        tabs.append(QTextOption::Tab((std::min(t.position, end) - origin) / twipsPerPixel, type,
                                     type == QTextOption::DelimiterTab ? QChar('.') : QChar()));
        using L = word::TabLeader;
        static constexpr int kLeader[] = {0, '.', '-', '_', 0x2501, '='};
        const std::size_t l = static_cast<std::size_t>(t.leader);
        leaders.append(l < std::size(kLeader) ? kLeader[l] : 0);
        leader = leader || t.leader != L::None;
    }
    if (!tabs.isEmpty()) f.setTabPositions(tabs);
    if (leader) f.setProperty(PageLayout::kTabLeaders, leaders);
    f.setLeftMargin(p.leftIndent / twipsPerPixel);
    f.setRightMargin(p.rightIndent / twipsPerPixel);
    f.setTextIndent(p.firstIndent / twipsPerPixel);
    f.setTopMargin(p.spaceBefore / twipsPerPixel);
    f.setBottomMargin(p.spaceAfter / twipsPerPixel);
    if (p.pageBreakBefore) f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (p.lineMultiple && p.lineSpacing > 0)
        f.setLineHeight(p.lineSpacing * 100.0 / 240, QTextBlockFormat::ProportionalHeight);
    else if (p.lineSpacing > 0)
        f.setLineHeight(p.lineSpacing / twipsPerPixel, QTextBlockFormat::MinimumHeight);
    else if (p.lineSpacing < 0)
        f.setLineHeight(-p.lineSpacing / twipsPerPixel, QTextBlockFormat::FixedHeight);
    if (const QColor shade = tableColor(doc, p.shading); shade.isValid()) f.setBackground(shade);
    return f;
}

// A linked picture's file, read when it is a plain file of a picture's size.
QImage linkedImage(const std::string& path) {
    const QFileInfo info(qs(path));
    if (path.empty() || !info.isFile() || info.size() > 64LL * 1024 * 1024) return {};
    QImageReader reader(info.filePath());
    reader.setAutoTransform(true);
    return reader.read();
}

// A device-independent bitmap as a BMP file: the file header that says
// where its pixels start (after the info header and the colour table) put
// before it.
QByteArray bmpFile(const std::string& dib) {
    auto le32 = [&](std::size_t at) {
        if (at + 4 > dib.size()) return 0u;
        return static_cast<unsigned>(static_cast<unsigned char>(dib[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(dib[at + 1])) << 8 |
               static_cast<unsigned>(static_cast<unsigned char>(dib[at + 2])) << 16 |
               static_cast<unsigned>(static_cast<unsigned char>(dib[at + 3])) << 24;
    };
    const unsigned header = le32(0);
    if (header < 12 || header > dib.size()) return {};
    const unsigned bits = header == 12 ? 0 : static_cast<unsigned char>(dib[14]);
    unsigned colours = header >= 40 ? le32(32) : 0;
    if (colours == 0 && bits > 0 && bits <= 8) colours = 1u << bits;
    const unsigned masks = header == 40 && le32(16) == 3 ? 12 : 0; // BI_BITFIELDS after a short header
    const unsigned offset = 14 + header + masks + std::min(colours, 256u) * 4;
    QByteArray file("BM", 2);
    for (unsigned v : {static_cast<unsigned>(dib.size() + 14), 0u, offset})
        for (int k = 0; k < 4; ++k) file += static_cast<char>((v >> (8 * k)) & 0xFF);
    file.append(dib.data(), static_cast<qsizetype>(dib.size()));
    return file;
}

// A picture of a kept object at a zoom: PNG, JPEG and device-independent
// bitmaps drawn; other pictures a framed box of their size.
QImage pictureImage(const word::Picture& p, double zoom) {
    const double twipsPerPixel = 15.0 / zoom; // at 96 dots per inch
    int w = static_cast<int>(p.width / twipsPerPixel), h = static_cast<int>(p.height / twipsPerPixel);
    constexpr int kLargest = 4000;
    const bool linked = !p.path.empty();
    const bool dib = p.kind == word::Picture::Kind::Dib;
    if (linked || dib || p.kind == word::Picture::Kind::Png || p.kind == word::Picture::Kind::Jpeg) {
        QImage image = linked ? linkedImage(p.path)
                       : dib  ? QImage::fromData(bmpFile(p.data), "BMP")
                              : QImage::fromData(QByteArray::fromRawData(p.data.data(), static_cast<qsizetype>(p.data.size())));
        if (!image.isNull()) {
            if (w > 0 && h > 0) image = image.scaled(std::min(w, kLargest), std::min(h, kLargest), Qt::IgnoreAspectRatio,
                                                     Qt::SmoothTransformation);
            else if (zoom != 1.0) image = image.scaled(std::min(static_cast<int>(image.width() * zoom), kLargest),
                                                       std::min(static_cast<int>(image.height() * zoom), kLargest),
                                                       Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            return image;
        }
    }
    w = std::clamp(w > 0 ? w : static_cast<int>(96 * zoom), 8, kLargest);
    h = std::clamp(h > 0 ? h : static_cast<int>(96 * zoom), 8, kLargest);
    QImage box(w, h, QImage::Format_ARGB32);
    box.fill(Qt::transparent);
    QPainter painter(&box);
    painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    painter.drawRect(0, 0, w - 1, h - 1);
    return box;
}

} // namespace

class PageRenderer::Sink : public word::DisplaySink {
public:
    Sink(PageRenderer& owner, const word::Story& s, QTextCursor& c, std::vector<ViewBlock>& o, long from, long to,
         int section, QTextTable* cell)
        : owner(owner), doc(owner.doc_), story(s), cursor(c), out(o), to(to), zoom(owner.zoom_), section(section),
          oneCell(cell != nullptr) {
        block.start = from;
        enterSection();
        codeMark.setForeground(Qt::gray);
        if (cell) {
            table = cell;
            column = cell->cellAt(cursor.position()).column();
            for (const QVariant& room : cell->format().property(kCellRoom).toList()) cellRoom.push_back(room.toInt());
            block.table = true;
        }
    }

    void Show(const word::DisplayRun& r) override {
        using K = word::DisplayRun::Kind;
        if (oneCell && !showInCell(r)) return;
        switch (r.kind) {
        case K::Text: put(r.text, charFormat(r.fmt), r.start, true); break;
        case K::FieldText: fieldText(r); break;
        case K::CodeMark: put(r.text, codeMark, r.start, false); break;
        case K::Hidden:
            if (r.note == 1 && owner.paged()) noteRoom(r);
            break;
        case K::PageBreak:
            // The paragraph goes on at the top of the next page, in a
            // block of its own; this one ends with the break.
            endBlock(r.start, r.end, *r.para, true);
            cursor.insertBlock();
            breakBefore = true;
            break;
        case K::Picture: picture(r); break;
        case K::TableStart: startTable(r); break;
        case K::RowEnd: endRow(r); break;
        case K::CellEnd:
            endBlock(r.start, r.end, *r.para);
            ++cellsInRow;
            if (r.tableGoesOn) cellFirst.back().push_back(out.size());
            // On to the next cell; a row with more cells than the first
            // one widens the table. After the last cell the row mark follows.
            if (column + 1 < table->columns() || r.tableGoesOn) {
                if (++column >= table->columns()) table->appendColumns(1);
                cursor = table->cellAt(row, column).firstCursorPosition();
            }
            break;
        case K::ParagraphEnd:
            endBlock(r.start, r.end, *r.para);
            if (r.sectionEnd) {
                ++section;
                enterSection();
            }
            // A mark that ends the story leaves its last paragraph empty,
            // a block of its own.
            if (r.end < to || r.end == storyEnd()) cursor.insertBlock();
            break;
        case K::RangeEnd:
            flush();
            // The story's last paragraph has no mark of its own; a table
            // that ends the range is followed by an empty block.
            if (tableEndsRange) out.push_back(ViewBlock{to, 0, {0}, true, false, UINT32_MAX, section});
            else if (block.start < to || out.empty() || !block.map.empty() || to == storyEnd())
                endBlock(to, to, *r.para);
            break;
        }
    }

private:
    // A footnote takes room at its page's foot: its height, where it stands
    // in the block, goes with the block to the layout.
    void noteRoom(const word::DisplayRun& r) {
        const QTextDocument* note = owner.noteDocument(story, r.start, r.text);
        if (note) blockNotes.append(QVariant(QVariantList{static_cast<int>(block.map.size()), note->size().height()}));
    }

    // A field's result; a page number shows the number of the page (in a
    // header's own view the first page's).
    void fieldText(const word::DisplayRun& r) {
        if (r.pageNumber) owner.pageNumberSeen_ = true;
        if (r.pageNumber && owner.pageNumber_ > 0) {
            const std::u32string number = QString::number(owner.pageNumber_).toStdU32String();
            put(number, charFormat(r.fmt), r.start, false);
        } else if (r.pageNumber && owner.paged()) {
            // In the body the number is that of the page the text
            // falls on, known only when it is drawn.
            QTextCharFormat number = charFormat(r.fmt);
            number.setObjectType(PageLayout::kPageNumberObject);
            put(std::u32string_view(U"\uFFFC"), number, r.start, false);
            flush();
            runFormat = nullptr;
        } else if (r.font >= 0 || r.size > 0) {
            // A list's number in its level's own font and size.
            QTextCharFormat number = charFormat(r.fmt);
            if (const word::FontDef* font = r.font >= 0 ? doc.FontByNumber(r.font) : nullptr)
                number.setFontFamilies({qs(font->name)});
            if (r.size > 0) number.setFontPointSize(r.size / 2.0 * zoom);
            put(r.text, number, r.start, false);
            flush(); // the run's format is this local one
            runFormat = nullptr;
        } else if (r.link) {
            QTextCharFormat link = charFormat(r.fmt);
            link.setForeground(QColor(0x05, 0x63, 0xC1));
            link.setFontUnderline(true);
            put(r.text, link, r.start, false);
            flush(); // the run's format is this local one
            runFormat = nullptr;
        } else {
            put(r.text, charFormat(r.fmt), r.start, false);
        }
    }

    void picture(const word::DisplayRun& r) {
        flush();
        const QImage image = pictureImage(*r.picture, zoom);
        const QString name = QStringLiteral("qz-object-%1").arg(story[static_cast<std::size_t>(r.start)].value);
        cursor.document()->addResource(QTextDocument::ImageResource, QUrl(name), image);
        QTextImageFormat f;
        f.setName(name);
        f.setWidth(image.width());
        f.setHeight(image.height());
        cursor.insertImage(f);
        block.map.push_back(static_cast<int>(r.start - block.start));
    }

    void startTable(const word::DisplayRun& r) {
        flush();
        QTextTableFormat tf;
        tf.setBorder(0.5);
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setBorderBrush(QColor(0xC0, 0xC0, 0xC0));
        // Each cell's whole width, its boundaries as the row states
        // them from the row's left edge; the text keeps the row's gap
        // from them on each side.
        const int gap = std::max(0, r.row->cellGap);
        tf.setCellPadding(owner.pixels(gap));
        tf.setCellSpacing(0);
        tf.setBorderCollapse(true);
        tf.setLeftMargin(owner.pixels(r.row->leftEdge));
        QList<QTextLength> widths;
        int last = r.row->leftEdge;
        cellRoom.clear();
        for (int x : r.row->cellRights) {
            widths.append(QTextLength(QTextLength::FixedLength, owner.pixels(std::max(8, x - last))));
            cellRoom.push_back(std::max(8, x - last - 2 * gap));
            last = x;
        }
        if (widths.size() == r.columns) tf.setColumnWidthConstraints(widths);
        tf.setProperty(kCellRoom, QVariantList(cellRoom.begin(), cellRoom.end()));
        // The block the table follows shows no atoms of its own.
        beforeTable = out.size();
        out.push_back(ViewBlock{r.start, 0, {0}, true, false, UINT32_MAX, section});
        {
            QTextBlockFormat before = cursor.blockFormat();
            before.setProperty(PageLayout::kSection, section);
            before.setProperty(PageLayout::kBeforeTable, true);
            cursor.setBlockFormat(before);
        }
        table = cursor.insertTable(1, r.columns, tf);
        row = column = cellsInRow = 0;
        cellFirst.assign(1, {out.size()});
        folded.clear();
        cursor = table->cellAt(0, 0).firstCursorPosition();
        block = ViewBlock{};
        block.start = r.start;
        block.table = true;
    }

    void endRow(const word::DisplayRun& r) {
        flush();
        cellFirst.back().push_back(out.size());
        formatCells(*r.row, !r.tableGoesOn);
        // The row's own mark belongs to its last cell's block.
        if (!out.empty()) out.back().length = r.end - out.back().start;
        // A row with fewer cells than the table: the table's cells
        // after its last are none of the row's. They show nothing
        // and their (empty) blocks stand for the place after the row.
        for (int k = cellsInRow; k < table->columns(); ++k) {
            QTextTableCell cell = table->cellAt(row, k);
            QTextTableCellFormat cf = cell.format().toTableCellFormat();
            cf.setProperty(PageLayout::kAbsentCell, true);
            cell.setFormat(cf);
            out.push_back(ViewBlock{r.end, 0, {0}, true, false, UINT32_MAX, section});
        }
        cellsInRow = 0;
        if (r.tableGoesOn) cellFirst.push_back({out.size()});
        block = ViewBlock{};
        block.start = r.end;
        block.table = true;
        if (r.tableGoesOn) {
            // Rows are made ahead, as many again as the table has:
            // each call lays the whole table out again, so one row
            // at a time would take time in the square of the rows.
            if (++row >= table->rows()) table->appendRows(table->rows());
            column = 0;
            cursor = table->cellAt(row, 0).firstCursorPosition();
        } else {
            // Out of the table, without the rows made ahead: on into
            // the block the table is followed by.
            if (row + 1 < table->rows()) table->removeRows(row + 1, table->rows() - row - 1);
            cursor = table->lastCursorPosition();
            cursor.movePosition(QTextCursor::NextBlock);
            table = nullptr;
            block.table = false;
            tableEndsRange = r.end >= to;
        }
    }

    // Drawing one cell's paragraphs again: the runs of its table go no
    // further than its cell and row marks, which end the range. Whether
    // the run is for Show to draw; false when it has been dealt with, or
    // when the range is not one cell's (then `failed`).
    bool showInCell(const word::DisplayRun& r) {
        using K = word::DisplayRun::Kind;
        const bool first = !shownAny;
        shownAny = true;
        if (failed) return false;
        const bool afterCell = r.kind == K::RowEnd || r.kind == K::RangeEnd;
        if ((cellEnded && !afterCell) || (!cellEnded && r.kind == K::RowEnd) || (r.kind == K::TableStart && !first) ||
            (r.kind == K::ParagraphEnd && r.sectionEnd)) {
            failed = true;
            return false;
        }
        switch (r.kind) {
        case K::TableStart:
            return false;
        case K::CellEnd:
            endBlock(r.start, r.end, *r.para);
            cellEnded = true;
            return false;
        case K::RowEnd:
            out.back().length = r.end - out.back().start;
            block.start = r.end;
            return false;
        case K::RangeEnd:
            // Only as far as a mark: the range ends where a paragraph did.
            failed = block.start != to || !block.map.empty() || out.empty();
            return false;
        default:
            return true;
        }
    }

    // Shading, borders and merges of the row just read; at the table's
    // end the cells merged down are joined.
    void formatCells(const word::RowFormat& f, bool lastRow) {
        const int columns = table->columns();
        for (int k = 0; k < columns && k < static_cast<int>(f.cells.size()); ++k) {
            const word::CellFormat& c = f.cells[static_cast<std::size_t>(k)];
            QTextTableCell cell = table->cellAt(row, k);
            QTextTableCellFormat cf = cell.format().toTableCellFormat();
            // The cell's own edges: from the cell before it (or the
            // row's left edge) to its boundary.
            if (static_cast<std::size_t>(k) < f.cellRights.size()) {
                cf.setProperty(PageLayout::kCellLeft,
                               owner.pixels(k == 0 ? f.leftEdge : f.cellRights[static_cast<std::size_t>(k) - 1]));
                cf.setProperty(PageLayout::kCellRight, owner.pixels(f.cellRights[static_cast<std::size_t>(k)]));
            }
            if (const QColor shade = tableColor(doc, c.shading); shade.isValid()) cf.setBackground(shade);
            const word::Border* b = c.borders;
            auto side = [&](const word::Border& line, auto setWidth, auto setBrush, auto setStyle) {
                if (line.width <= 0) return;
                (cf.*setWidth)(std::max(1.0, owner.pixels(line.width)));
                const QColor colour = tableColor(doc, line.color);
                (cf.*setBrush)(colour.isValid() ? colour : QColor(Qt::black));
                (cf.*setStyle)(line.style == word::BorderStyle::Double ? QTextFrameFormat::BorderStyle_Double
                                                                       : QTextFrameFormat::BorderStyle_Solid);
            };
            cf.setProperty(PageLayout::kCellLines, QVariantList{lineOf(b[0]), lineOf(b[1]), lineOf(b[2]), lineOf(b[3])});
            if (f.height != 0) cf.setProperty(PageLayout::kRowHeight, owner.pixels(f.height));
            side(b[0], &QTextTableCellFormat::setTopBorder, &QTextTableCellFormat::setTopBorderBrush,
                 &QTextTableCellFormat::setTopBorderStyle);
            side(b[1], &QTextTableCellFormat::setLeftBorder, &QTextTableCellFormat::setLeftBorderBrush,
                 &QTextTableCellFormat::setLeftBorderStyle);
            side(b[2], &QTextTableCellFormat::setBottomBorder, &QTextTableCellFormat::setBottomBorderBrush,
                 &QTextTableCellFormat::setBottomBorderStyle);
            side(b[3], &QTextTableCellFormat::setRightBorder, &QTextTableCellFormat::setRightBorderBrush,
                 &QTextTableCellFormat::setRightBorderStyle);
            cell.setFormat(cf);
            if (c.vmergeFirst) mergeDownFrom[k] = row;
            else if (!c.vmerged) mergeDownFrom.erase(k);
        }
        // Merged across: the first cell takes the ones after it.
        for (int k = 0; k < columns && k < static_cast<int>(f.cells.size()); ++k) {
            if (!f.cells[static_cast<std::size_t>(k)].mergeFirst) continue;
            int span = 1;
            while (k + span < columns && k + span < static_cast<int>(f.cells.size()) &&
                   f.cells[static_cast<std::size_t>(k + span)].merged)
                ++span;
            if (span > 1 && mergeable(row, k + 1, row, k + span - 1)) {
                table->mergeCells(row, k, 1, span);
                // It reaches the last boundary of the cells merged into it.
                if (static_cast<std::size_t>(k + span) <= f.cellRights.size()) {
                    QTextTableCell cell = table->cellAt(row, k);
                    QTextTableCellFormat cf = cell.format().toTableCellFormat();
                    cf.setProperty(PageLayout::kCellRight,
                                   owner.pixels(f.cellRights[static_cast<std::size_t>(k + span) - 1]));
                    cell.setFormat(cf);
                }
            }
        }
        if (!lastRow) return;
        for (const auto& [k, first] : mergeDownFrom)
            if (row > first && mergeable(first + 1, k, row, k)) table->mergeCells(first, k, row - first + 1, 1);
        mergeDownFrom.clear();
        // Merging drops the block of each cell merged away: its atoms go
        // to the block before it.
        std::sort(folded.rbegin(), folded.rend());
        for (std::size_t idx : folded) {
            if (idx == 0 || idx >= out.size()) continue;
            out[idx - 1].length += out[idx].length;
            out.erase(out.begin() + static_cast<std::ptrdiff_t>(idx));
        }
        folded.clear();
    }

    // Whether the cells [firstRow..lastRow] x [firstColumn..lastColumn]
    // can be merged away: each holds one empty paragraph (the text
    // layout joins the text of merged cells into the first one, which
    // the model does not), and then their blocks are marked as folded.
    bool mergeable(int firstRow, int firstColumn, int lastRow, int lastColumn) {
        for (int r = firstRow; r <= lastRow; ++r)
            for (int c = firstColumn; c <= lastColumn; ++c) {
                if (r >= static_cast<int>(cellFirst.size())) return false;
                const std::vector<std::size_t>& v = cellFirst[static_cast<std::size_t>(r)];
                if (static_cast<std::size_t>(c) + 1 >= v.size()) return false;
                const std::size_t first = v[static_cast<std::size_t>(c)];
                if (v[static_cast<std::size_t>(c) + 1] != first + 1 || first >= out.size() || out[first].map.size() != 1)
                    return false;
            }
        for (int r = firstRow; r <= lastRow; ++r)
            for (int c = firstColumn; c <= lastColumn; ++c)
                folded.push_back(cellFirst[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]);
        return true;
    }

    const QTextCharFormat& charFormat(std::uint32_t id) {
        auto it = formats.find(id);
        if (it != formats.end()) return it->second;
        const word::CharFormat& f = doc.Format(id);
        QTextCharFormat q;
        const word::FontDef* font = doc.FontByNumber(f.font >= 0 ? f.font : doc.deff);
        if (font) q.setFontFamilies({qs(font->name)});
        q.setFontPointSize((f.size > 0 ? f.size / 2.0 : 12.0) * zoom);
        q.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
        q.setFontItalic(f.italic);
        q.setFontUnderline(f.underline);
        if (const QColor colour = tableColor(doc, f.color); colour.isValid()) q.setForeground(colour);
        const word::CharLook& look = doc.Look(id);
        q.setFontStrikeOut(look.strike);
        if (look.smallCaps) q.setFontCapitalization(QFont::SmallCaps);
        if (look.allCaps) q.setFontCapitalization(QFont::AllUppercase);
        if (look.vertical) q.setVerticalAlignment(look.vertical > 0 ? QTextCharFormat::AlignSuperScript
                                                                     : QTextCharFormat::AlignSubScript);
        if (look.spacing) {
            q.setFontLetterSpacingType(QFont::AbsoluteSpacing);
            q.setFontLetterSpacing(owner.pixels(look.spacing));
        }
        if (const QColor shade = tableColor(doc, look.shading); shade.isValid()) q.setBackground(shade);
        if (const QColor mark = tableColor(doc, look.highlight); mark.isValid()) q.setBackground(mark);
        return formats.emplace(id, q).first->second;
    }

    // Characters gather in a run of one format; a run goes to the
    // document in one insertion. each: character k shows pos + k, else
    // every character shows pos.
    void put(std::u32string_view text, const QTextCharFormat& fmt, long pos, bool each) {
        if (&fmt != runFormat) {
            flush();
            runFormat = &fmt;
        }
        const int rel = static_cast<int>(pos - block.start);
        for (std::size_t k = 0; k < text.size(); ++k) {
            char32_t c = text[k];
            if (c == 0x0B) c = 0x2028; // a line break inside the paragraph
            const int at = rel + (each ? static_cast<int>(k) : 0);
            if (c > 0xFFFF) {
                run += static_cast<char16_t>(0xD7C0 + (c >> 10));
                run += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
                block.map.push_back(at);
            } else {
                run += static_cast<char16_t>(c);
            }
            block.map.push_back(at);
        }
    }
    void flush() {
        if (run.empty()) return;
        cursor.insertText(QString::fromUtf16(run.data(), static_cast<qsizetype>(run.size())), *runFormat);
        run.clear();
    }
    long storyEnd() const { return static_cast<long>(story.size()); }
    void endBlock(long endPos, long next, const word::ParaFormat& para, bool continues = false) {
        flush();
        block.map.push_back(static_cast<int>(endPos - block.start));
        block.length = next - block.start;
        block.continues = continues;
        if (endPos < storyEnd() && story[static_cast<std::size_t>(endPos)].Kind() == AtomKind::ParaEnd)
            block.mark = story[static_cast<std::size_t>(endPos)].value;
        const int lineEnd = table && column < static_cast<int>(cellRoom.size()) ? cellRoom[static_cast<std::size_t>(column)]
                                                                                : textWidth;
        QTextBlockFormat f = blockFormat(doc, para, zoom, lineEnd);
        f.setProperty(PageLayout::kSection, section);
        block.section = section;
        if (breakBefore) f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        breakBefore = false;
        if (!blockNotes.isEmpty()) f.setProperty(PageLayout::kNotes, std::exchange(blockNotes, {}));
        cursor.setBlockFormat(f);
        out.push_back(std::move(block));
        // The block a table follows stands for where its first cell's text
        // starts (after a field's hidden start there), as that cell's start does.
        if (beforeTable < out.size() && beforeTable + 2 == out.size()) out[beforeTable].map.front() = out.back().map.front();
        block = ViewBlock{};
        block.start = next;
        block.table = table != nullptr;
    }

    // The section's text width, once a section.
    void enterSection() { textWidth = doc.PageSetupOf(section).TextWidth(); }

public:
    PageRenderer& owner;
    const word::Document& doc;
    const word::Story& story;
    QTextCursor& cursor;
    std::vector<ViewBlock>& out;
    const long to;
    const double zoom;
    int section;     // the section being drawn
    int textWidth = 0;
    bool breakBefore = false; // the next block starts a page
    ViewBlock block;
    std::unordered_map<std::uint32_t, QTextCharFormat> formats;
    QTextCharFormat codeMark;
    QVariantList blockNotes; // the footnotes of the block being drawn: (where, height) each
    std::u16string run;
    const QTextCharFormat* runFormat = nullptr;
    QTextTable* table = nullptr;
    int row = 0, column = 0;
    int cellsInRow = 0; // the cells of the row being drawn so far
    std::map<int, int> mergeDownFrom; // column -> the row its cells merged down start in
    // For each row of the table being drawn, the index in `out` of each
    // cell's first block, and then of the block after the row's last.
    std::vector<std::vector<std::size_t>> cellFirst;
    std::vector<std::size_t> folded; // blocks of cells merged away
    std::vector<int> cellRoom;        // each column's text width, twips
    bool tableEndsRange = false;
    std::size_t beforeTable = SIZE_MAX; // the block the table being drawn follows, in `out`
    const bool oneCell;               // drawing one cell's paragraphs again
    bool shownAny = false, cellEnded = false, failed = false;
};

PageRenderer::PageRenderer(word::Document& doc, const PageLayout& layout, bool paged)
    : doc_(doc), layout_(layout), paged_(paged), pageNumber_(paged ? 0 : 1) {}

PageRenderer::~PageRenderer() = default;

int PageRenderer::render(const word::Story& story, long from, long to, QTextCursor& cursor, std::vector<ViewBlock>& out,
                         int section, QTextTable* cell) {
    const bool showCodes = doc_.GetApplication() && doc_.GetApplication()->ActiveWindow().GetView().ShowFieldCodes;
    Sink sink(*this, story, cursor, out, from, to, section, cell);
    word::WalkDisplay(doc_, story, from, to, showCodes, sink, noteMark_);
    if (cell && (sink.failed || out.empty() || out.back().start + out.back().length != to)) return -1;
    return sink.section;
}

bool PageRenderer::redraw(const word::Story& story, QTextDocument& text, PositionMap& map, std::size_t first,
                          std::size_t last, long delta, QTextTable* cell) {
    const long from = map[first].start;
    const long to = map[last].start + map[last].length + delta;
    if (to < from || to > static_cast<long>(story.size())) return false;
    // A range that ends where the story does is drawn with the story's last
    // paragraph (empty, after a mark), whose block the drawing makes again.
    if (!cell && to == static_cast<long>(story.size())) last = map.size() - 1;
    // Rows the edit brought in (a paste) are a table of their own, drawn
    // with the whole text.
    if (!cell && word::HoldsTableMarks(doc_, story, from, to)) return false;
    QTextCursor cursor(&text);
    const QTextBlock a = text.findBlockByNumber(static_cast<int>(first));
    const QTextBlock b = text.findBlockByNumber(static_cast<int>(last));
    cursor.setPosition(a.position());
    cursor.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
    QTextCursor group(&text);
    group.beginEditBlock();
    cursor.removeSelectedText();
    std::vector<ViewBlock> fresh;
    const int section = render(story, from, to, cursor, fresh, map[first].section, cell);
    group.endEditBlock();
    if (cell && (section < 0 || fresh.empty() || fresh.back().mark != map[last].mark)) return false;
    // A section break the edit removed or made: the sections after it are others.
    if (last + 1 < map.size() && map[last + 1].section != section) return false;
    map.replace(first, last, std::move(fresh), delta);
    // The last paragraph of a range that ends without a mark gets a block of
    // its own; inside the document that block is the next one's and is
    // already there.
    return static_cast<int>(map.size()) == text.blockCount();
}

long PageRenderer::partEnd(const word::Story& story, long from) const {
    constexpr long kPart = 200'000;
    const long n = static_cast<long>(story.size());
    for (long p = from + kPart; p < n; ++p) {
        const Atom& a = story[static_cast<std::size_t>(p)];
        if (a.Kind() == AtomKind::ParaEnd && doc_.ParaEnd(a.value).IsPlainParagraph()) return p + 1;
    }
    return n;
}

int PageRenderer::sectionOf(int page) const { return paged_ ? layout_.pageSection(page) : 0; }

std::unique_ptr<QTextDocument> PageRenderer::renderStory(const word::Story& story, int pageNumber, bool* numbered,
                                                        std::u32string_view noteMark) {
    auto target = std::make_unique<QTextDocument>();
    target->setUndoRedoEnabled(false);
    target->setDocumentMargin(0);
    target->setUseDesignMetrics(true);
    target->setTextWidth(pixels(doc_.PageSetupOf(0).TextWidth()));
    QTextCursor cursor(target.get());
    std::vector<ViewBlock> blocks;
    // A story drawn while another is (a note of a header's): what the other
    // one saw and shows stays.
    const int outerNumber = pageNumber_;
    const bool outerSeen = pageNumberSeen_;
    const std::u32string_view outerMark = noteMark_;
    pageNumber_ = pageNumber;
    pageNumberSeen_ = false;
    noteMark_ = noteMark;
    render(story, 0, static_cast<long>(story.size()), cursor, blocks, 0);
    if (numbered) *numbered = pageNumberSeen_;
    pageNumber_ = outerNumber;
    pageNumberSeen_ = outerSeen;
    noteMark_ = outerMark;
    return target;
}

QTextDocument* PageRenderer::noteDocument(const word::Story& story, long pos, std::u32string_view mark) {
    if (pos < 0 || static_cast<std::size_t>(pos) >= story.size()) return nullptr;
    const Atom& a = story[static_cast<std::size_t>(pos)];
    if (a.Kind() != AtomKind::Opaque) return nullptr;
    auto& shown = notes_[{a.value, std::u32string(mark)}];
    if (shown) return shown.get();
    shown = renderGroup(doc_.Opaque(a.value), a.fmt, mark, pixels(doc_.PageSetupOf(0).TextWidth()));
    return shown.get();
}

QTextDocument* PageRenderer::textBoxDocument(const std::string& group, double width) {
    auto& shown = textBoxes_[{group, width}];
    if (!shown) shown = renderGroup(group, doc_.InternFormat(word::CharFormat{}), {}, width);
    return shown.get();
}

std::unique_ptr<QTextDocument> PageRenderer::renderGroup(std::string_view group, std::uint32_t fmt,
                                                         std::u32string_view mark, double width) {
    const word::Story text = word::GroupStory(doc_, group, fmt);
    std::unique_ptr<QTextDocument> shown = renderStory(text, 1, nullptr, mark);
    shown->setTextWidth(std::max(1.0, width));
    // Its last paragraph's mark leaves no empty line after it.
    if (shown->blockCount() > 1 && shown->lastBlock().length() == 1) {
        QTextCursor end(shown.get());
        end.movePosition(QTextCursor::End);
        end.deletePreviousChar();
    }
    return shown;
}

void PageRenderer::renderHeadersAndFooters() {
    notes_.clear();
    textBoxes_.clear();
    numberedCopies_.clear();
    margins_.clear();
    if (!paged_) return;
    // Each section's own headers and footers; a section without one of its
    // own goes on with the one of the section before it.
    const int count = std::max(1, doc_.SectionCount());
    margins_.resize(static_cast<std::size_t>(count));
    for (int s = 0; s < count; ++s) {
        const word::Section& sec = doc_.Sections(s + 1);
        const bool title = doc_.PageSetupOf(s).titlePage;
        const int first = title ? word::kHeaderFooterFirstPage : word::kHeaderFooterPrimary;
        const word::HeaderFooter* stories[4] = {&sec.Headers(word::kHeaderFooterPrimary),
                                                &sec.Footers(word::kHeaderFooterPrimary), &sec.Headers(first),
                                                &sec.Footers(first)};
        for (int k = 0; k < 4; ++k) {
            Margin& m = margins_[static_cast<std::size_t>(s)][static_cast<std::size_t>(k)];
            const bool own = stories[k]->Exists() || stories[k]->stated;
            if (!own && s > 0) {
                const Margin& before = margins_[static_cast<std::size_t>(s) - 1][static_cast<std::size_t>(k)];
                m.story = before.story;
                m.numbered = before.numbered;
            } else {
                m.story = stories[k]->Exists() ? &stories[k]->story : nullptr;
            }
            m.shown = m.story ? renderStory(*m.story, 0, &m.numbered) : nullptr;
        }
    }
}

double PageRenderer::marginHeight(int section, bool footer, bool first) const {
    if (section < 0 || static_cast<std::size_t>(section) >= margins_.size()) return 0;
    const Margin& m = margins_[static_cast<std::size_t>(section)][(first ? 2U : 0U) + (footer ? 1U : 0U)];
    return m.shown ? m.shown->size().height() : 0;
}

QTextDocument* PageRenderer::marginDocument(int slot, int page) {
    if (margins_.empty()) return nullptr;
    const std::size_t section =
        std::min(margins_.size() - 1, static_cast<std::size_t>(std::max(0, sectionOf(page))));
    Margin& m = margins_[section][static_cast<std::size_t>(slot)];
    if (!m.shown || !m.numbered) return m.shown.get();
    // A header or footer with the page's number: one copy a page, the last
    // few pages' kept.
    auto& copy = numberedCopies_[{slot, page}];
    if (!copy) {
        if (numberedCopies_.size() > 64) {
            numberedCopies_.clear();
            return marginDocument(slot, page);
        }
        copy = renderStory(*m.story, page + 1, nullptr);
    }
    return copy.get();
}

void PageRenderer::paintMargins(QPainter& p, int page, const QRectF& rect) {
    // A section's first page shows its first-page header and footer.
    const bool first = page == 0 || sectionOf(page - 1) != sectionOf(page);
    const int which = first ? 2 : 0;
    const word::PageSetup setup = doc_.PageSetupOf(sectionOf(page));
    paintHeaderOrFooter(p, marginDocument(which, page), rect, setup, true);
    paintHeaderOrFooter(p, marginDocument(which + 1, page), rect, setup, false);
}

void PageRenderer::paintHeaderOrFooter(QPainter& p, QTextDocument* d, const QRectF& page, const word::PageSetup& setup,
                                       bool header) const {
    if (!d) return;
    const double y = header ? page.top() + pixels(setup.header)
                            : page.bottom() - pixels(setup.footer) - d->size().height();
    p.save();
    p.translate(page.left() + pixels(setup.left), y);
    d->drawContents(&p);
    p.restore();
}

void PageRenderer::paintParagraphBorders(QPainter& p, const QRectF& shown, const QTextDocument& text, int first,
                                         const PositionMap& map, const word::Story& story) const {
    const std::vector<ViewBlock>& blocks = map.blocks();
    QAbstractTextDocumentLayout* layout = text.documentLayout();
    // The story's last paragraph has no mark of its own; its format is the
    // story's closing properties.
    std::optional<word::ParaFormat> lastFormat;
    for (QTextBlock tb = text.findBlockByNumber(first); tb.isValid(); tb = tb.next()) {
        const QRectF r = layout->blockBoundingRect(tb);
        if (r.top() > shown.bottom()) break;
        const std::size_t n = static_cast<std::size_t>(tb.blockNumber());
        if (n >= blocks.size() || blocks[n].table) continue;
        const bool last = blocks[n].mark == UINT32_MAX;
        if (last && (n + 1 != blocks.size() || blocks[n].start + blocks[n].length != static_cast<long>(story.size())))
            continue;
        if (last && !lastFormat) {
            const std::string* props = doc_.LastProps(story);
            lastFormat = props ? word::ParseParaFormat(*props) : word::ParaFormat{};
        }
        const word::ParaFormat& f = last ? *lastFormat : doc_.ParaEnd(blocks[n].mark).format;
        if (std::none_of(std::begin(f.borders), std::end(f.borders), [](const word::Border& b) { return b.width > 0; }))
            continue;
        // The box around the text: the indents, the space before and after
        // outside it, the border's own spacing inside.
        const double space = pixels(f.borderSpace);
        const QRectF box(r.left() + pixels(f.leftIndent) - space, r.top() + pixels(f.spaceBefore) - space,
                         r.width() - pixels(f.leftIndent) - pixels(f.rightIndent) + 2 * space,
                         r.height() - pixels(f.spaceBefore) - pixels(f.spaceAfter) + 2 * space);
        const QLineF sides[4] = {{box.topLeft(), box.topRight()}, {box.topLeft(), box.bottomLeft()},
                                 {box.bottomLeft(), box.bottomRight()}, {box.topRight(), box.bottomRight()}};
        static const QPointF kInward[4] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};
        for (int k = 0; k < 4; ++k) {
            if (f.borders[k].width <= 0) continue;
            const QColor colour = tableColor(doc_, f.borders[k].color);
            PageLayout::drawBorder(&p, sides[k], kInward[k], colour.isValid() ? colour : QColor(Qt::black),
                                   std::max(1.0, pixels(f.borders[k].width)),
                                   static_cast<PageLayout::Line>(lineOf(f.borders[k])));
        }
    }
}

} // namespace qz::views
