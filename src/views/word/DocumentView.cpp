#include "views/word/DocumentView.h"

#include "platform/automation/AutomationError.h"
#include "platform/automation/Text.h"
#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "views/host/Text.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <QTimer>

#include <algorithm>
#include <unordered_map>

namespace qz::views {

namespace {

using word::Atom;
using word::AtomKind;

// A paragraph's properties as the view draws them, read from its control words.
QTextBlockFormat blockFormat(std::string_view props) {
    QTextBlockFormat f;
    auto number = [&](std::string_view word, int& out) {
        for (std::size_t p = props.find(word); p != std::string_view::npos; p = props.find(word, p + 1)) {
            std::size_t q = p + word.size();
            if (q < props.size() && (props[q] == '-' || (props[q] >= '0' && props[q] <= '9'))) {
                out = std::atoi(std::string(props.substr(q, 12)).c_str());
                return;
            }
        }
    };
    auto has = [&](std::string_view word) {
        for (std::size_t p = props.find(word); p != std::string_view::npos; p = props.find(word, p + 1)) {
            std::size_t q = p + word.size();
            if (q >= props.size() || !std::isalpha(static_cast<unsigned char>(props[q]))) return true;
        }
        return false;
    };
    f.setAlignment(has("\\qc") ? Qt::AlignHCenter : has("\\qr") ? Qt::AlignRight
                   : has("\\qj") ? Qt::AlignJustify : Qt::AlignLeft);
    int li = 0, ri = 0, fi = 0, sb = 0, sa = 0;
    number("\\li", li);
    number("\\ri", ri);
    number("\\fi", fi);
    number("\\sb", sb);
    number("\\sa", sa);
    // Tab stops: "\\txN", each with the kind ("\\tqr", "\\tqc", "\\tqdec")
    // written before it.
    QList<QTextOption::Tab> tabs;
    QTextOption::TabType kind = QTextOption::LeftTab;
    for (std::size_t p = props.find('\\'); p != std::string_view::npos; p = props.find('\\', p + 1)) {
        const std::string_view w = props.substr(p + 1);
        if (w.starts_with("tqr")) kind = QTextOption::RightTab;
        else if (w.starts_with("tqc")) kind = QTextOption::CenterTab;
        else if (w.starts_with("tqdec")) kind = QTextOption::DelimiterTab;
        else if (w.starts_with("tx") && w.size() > 2 && std::isdigit(static_cast<unsigned char>(w[2]))) {
            tabs.append(QTextOption::Tab(std::atoi(std::string(w.substr(2, 8)).c_str()) / 15.0, kind,
                                         kind == QTextOption::DelimiterTab ? QChar('.') : QChar()));
            kind = QTextOption::LeftTab;
        }
    }
    if (!tabs.isEmpty()) f.setTabPositions(tabs);
    // Twips to pixels at 96 dots per inch.
    f.setLeftMargin(li / 15.0);
    f.setRightMargin(ri / 15.0);
    f.setTextIndent(fi / 15.0);
    f.setTopMargin(sb / 15.0);
    f.setBottomMargin(sa / 15.0);
    return f;
}

// The start of a field's code as the view needs it: the keyword (upper
// case), the words after it up to the first nested field, and where its code
// ends. Only the first words are read: a code can be long.
struct FieldCode {
    long codeEnd;               // the end character
    std::string keyword;
    std::vector<long> wordEnds; // after each word (keyword first), blanks after it included
    std::string head;           // the words read, as text
};

FieldCode fieldCode(const word::Story& story, long begin) {
    FieldCode c;
    c.codeEnd = word::MatchingFieldEnd(story, begin);
    if (c.codeEnd < 0) c.codeEnd = static_cast<long>(story.size());
    long p = begin + 1;
    auto blank = [&](long q) {
        const Atom& a = story[static_cast<std::size_t>(q)];
        return a.Kind() == AtomKind::Char && (a.value == ' ' || a.value == '\t');
    };
    while (p < c.codeEnd && blank(p)) ++p;
    // Three words are enough: SYMBOL's number, MACROBUTTON's macro name.
    for (int words = 0; words < 3 && p < c.codeEnd; ++words) {
        while (p < c.codeEnd && !blank(p) && story[static_cast<std::size_t>(p)].Kind() == AtomKind::Char) {
            appendUtf8(c.head, story[static_cast<std::size_t>(p)].value);
            ++p;
        }
        if (words == 0) c.keyword = toUpperAscii(c.head);
        while (p < c.codeEnd && blank(p)) ++p;
        c.wordEnds.push_back(p);
        if (p < c.codeEnd && story[static_cast<std::size_t>(p)].Kind() != AtomKind::Char) break;
        c.head += ' ';
    }
    return c;
}

// What a SYMBOL field shows: its character, the markers of the designer's
// fields as marker glyphs that every font has.
QString symbolGlyph(std::string_view code) {
    const std::size_t p = code.find_first_of("0123456789");
    const int n = p == std::string_view::npos ? 0 : std::atoi(std::string(code.substr(p, 8)).c_str());
    switch (n) {
    case 215: return QStringLiteral("\u25C2");  // the statement's opening marker
    case 216: return QStringLiteral("\u25B8");  // its closing marker
    case 61558: case 118: return QStringLiteral("\u2756");
    default: return n > 0 && n < 0x110000 ? QString::fromUcs4(reinterpret_cast<const char32_t*>(&n), 1)
                                          : QStringLiteral("\u25A1");
    }
}

// The plain text of a piece of RTF (a field's kept result): control words,
// symbols and braces dropped.
QString plainOfRtf(std::string_view rtf) {
    std::string out;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (c == '{' || c == '}' || c == '\r' || c == '\n') continue;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i + 1 < rtf.size() && (rtf[i + 1] == '\\' || rtf[i + 1] == '{' || rtf[i + 1] == '}')) {
            out += rtf[++i];
            continue;
        }
        if (i + 1 < rtf.size() && rtf[i + 1] == '*') {
            // An optional destination: nothing of it shows.
            int depth = 1;
            for (++i; i < rtf.size() && depth > 0; ++i) depth += rtf[i] == '{' ? 1 : rtf[i] == '}' ? -1 : 0;
            continue;
        }
        ++i;
        while (i < rtf.size() && std::isalnum(static_cast<unsigned char>(rtf[i]))) ++i;
        if (i < rtf.size() && rtf[i] == '-') ++i;
        while (i < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[i]))) ++i;
        if (i < rtf.size() && rtf[i] != ' ') --i;
    }
    return qs(out);
}

// A picture of a kept object: PNG and JPEG drawn; other pictures a framed box
// of their size; a null image when the object is no picture.
QImage pictureOf(std::string_view rtf) {
    const std::size_t pict = rtf.find("\\pict");
    if (pict == std::string_view::npos) return {};
    auto number = [&](std::string_view word) {
        const std::size_t p = rtf.find(word, pict);
        return p == std::string_view::npos ? 0 : std::atoi(std::string(rtf.substr(p + word.size(), 10)).c_str());
    };
    int w = number("\\picwgoal") / 15, h = number("\\pichgoal") / 15;
    if (rtf.find("\\pngblip", pict) != std::string_view::npos || rtf.find("\\jpegblip", pict) != std::string_view::npos) {
        // The data: the hex digits after the picture's last control word.
        std::size_t p = pict;
        for (std::size_t q = rtf.find('\\', p + 1); q != std::string_view::npos && rtf[q + 1] != '\'';
             q = rtf.find('\\', q + 1)) {
            if (rtf.substr(q, 4) == "\\bin") break;
            p = q;
        }
        p = rtf.find_first_of(" \r\n}", p + 1);
        QByteArray hex;
        for (; p < rtf.size() && rtf[p] != '}'; ++p)
            if (std::isxdigit(static_cast<unsigned char>(rtf[p]))) hex += rtf[p];
        QImage image = QImage::fromData(QByteArray::fromHex(hex));
        if (!image.isNull()) {
            if (w > 0 && h > 0) image = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            return image;
        }
    }
    w = std::clamp(w > 0 ? w : 96, 8, 2000);
    h = std::clamp(h > 0 ? h : 96, 8, 2000);
    QImage box(w, h, QImage::Format_ARGB32);
    box.fill(Qt::transparent);
    QPainter painter(&box);
    painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    painter.drawRect(0, 0, w - 1, h - 1);
    return box;
}

} // namespace

DocumentView::DocumentView(word::Document& doc, QWidget* parent) : QTextEdit(parent), doc_(doc) {
    setObjectName("DocumentView");
    setUndoRedoEnabled(false);
    setAcceptRichText(false);
    setTextInteractionFlags(Qt::TextEditorInteraction);
    document()->setUndoRedoEnabled(false);
    document()->setDocumentMargin(24);
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] { pullSelection(); });
    connect(this, &QTextEdit::selectionChanged, this, [this] { pullSelection(); });
    renderAll();
}

void DocumentView::renderAll() {
    rendering_ = true;
    ++generation_;
    const int scroll = verticalScrollBar()->value();
    document()->clear();
    blocks_.clear();
    QTextCursor cursor(document());
    // One edit block: the document is laid out once, not after each run.
    cursor.beginEditBlock();
    renderedTo_ = chunkEnd(0);
    renderRange(0, renderedTo_, cursor, blocks_);
    cursor.endEditBlock();
    rendering_ = false;
    pushSelection();
    verticalScrollBar()->setValue(scroll);
    scheduleRest();
}

long DocumentView::chunkEnd(long from) const {
    // A large document is drawn in parts, each ending with a paragraph mark
    // outside any table, so that the first screen shows at once.
    constexpr long kChunk = 200'000;
    const word::Story& story = doc_.MainStory();
    const long n = static_cast<long>(story.size());
    for (long p = from + kChunk; p < n; ++p) {
        const Atom& a = story[static_cast<std::size_t>(p)];
        if (a.Kind() != AtomKind::ParaEnd) continue;
        const word::ParaEndInfo& info = doc_.ParaEnd(a.value);
        if (info.word == "par" && info.row.empty()) return p + 1;
    }
    return n;
}

void DocumentView::scheduleRest() {
    if (renderedTo_ >= static_cast<long>(doc_.MainStory().size())) return;
    const unsigned generation = generation_;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation != generation_) return;  // drawn again from the start since
        renderMore();
        scheduleRest();
    });
}

void DocumentView::renderMore() {
    const long n = static_cast<long>(doc_.MainStory().size());
    if (renderedTo_ >= n) return;
    rendering_ = true;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    // The part drawn so far ends with a paragraph mark: the next paragraph
    // starts a block of its own.
    cursor.insertBlock();
    const long to = chunkEnd(renderedTo_);
    renderRange(renderedTo_, to, cursor, blocks_);
    renderedTo_ = to;
    cursor.endEditBlock();
    rendering_ = false;
}

void DocumentView::finishRendering() {
    while (renderedTo_ < static_cast<long>(doc_.MainStory().size())) renderMore();
}

void DocumentView::renderRange(long from, long to, QTextCursor& cursor, std::vector<Block>& out) {
    const word::Story& story = doc_.MainStory();
    const bool showCodes = doc_.GetApplication() && doc_.GetApplication()->ActiveWindow().GetView().ShowFieldCodes;
    std::unordered_map<std::uint32_t, QTextCharFormat> formats;
    auto charFormat = [&](std::uint32_t id) -> const QTextCharFormat& {
        auto it = formats.find(id);
        if (it != formats.end()) return it->second;
        const word::CharFormat& f = doc_.Format(id);
        QTextCharFormat q;
        const word::FontDef* font = doc_.FontByNumber(f.font >= 0 ? f.font : doc_.deff);
        if (font) q.setFontFamilies({qs(font->name)});
        q.setFontPointSize(f.size > 0 ? f.size / 2.0 : 12.0);
        q.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
        q.setFontItalic(f.italic);
        q.setFontUnderline(f.underline);
        const std::int32_t rgb = f.color > 0 ? doc_.ColorRgb(f.color) : -1;
        if (rgb >= 0) q.setForeground(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
        return formats.emplace(id, q).first->second;
    };
    QTextCharFormat codeMark;
    codeMark.setForeground(Qt::gray);

    QTextTable* table = nullptr;
    Block block;
    block.start = from;
    auto put = [&](const QString& text, const QTextCharFormat& fmt, long modelPos) {
        cursor.insertText(text, fmt);
        for (qsizetype k = 0; k < text.size(); ++k) block.map.push_back(static_cast<int>(modelPos - block.start));
    };
    auto endBlock = [&](long endPos, long next, std::string_view props) {
        block.map.push_back(static_cast<int>(endPos - block.start));
        block.length = next - block.start;
        cursor.setBlockFormat(blockFormat(props));
        out.push_back(std::move(block));
        block = Block{};
        block.start = next;
        block.table = table != nullptr;
    };

    // Characters gather in a run of one format; a run goes to the document
    // in one insertion.
    std::u16string run;
    std::uint32_t runFmt = 0;
    auto flush = [&] {
        if (run.empty()) return;
        cursor.insertText(QString::fromUtf16(run.data(), static_cast<qsizetype>(run.size())), charFormat(runFmt));
        run.clear();
    };
    auto addChar = [&](char32_t c, std::uint32_t fmt, long pos) {
        if (fmt != runFmt) {
            flush();
            runFmt = fmt;
        }
        const int rel = static_cast<int>(pos - block.start);
        if (c == 0x0B) c = 0x2028;  // a line break inside the paragraph
        if (c > 0xFFFF) {
            run += static_cast<char16_t>(0xD7C0 + (c >> 10));
            run += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
            block.map.push_back(rel);
        } else {
            run += static_cast<char16_t>(c);
        }
        block.map.push_back(rel);
    };

    // Tables: a paragraph that ends with a cell mark starts a table row. The
    // empty block a table stands after is a block of the view with no atoms.
    int row = 0, column = 0;
    bool atParagraphStart = true;
    bool tableEndsRange = false;
    auto paragraphEnd = [&](long p) -> std::string {
        for (; p < static_cast<long>(story.size()); ++p)
            if (story[static_cast<std::size_t>(p)].Kind() == AtomKind::ParaEnd)
                return doc_.ParaEnd(story[static_cast<std::size_t>(p)].value).word == "nestcell"
                           ? "cell" : doc_.ParaEnd(story[static_cast<std::size_t>(p)].value).word;
        return {};
    };
    auto beginTable = [&](long p) {
        // Columns: the cell marks before the row mark; widths from the row's
        // cell boundaries.
        int columns = 0;
        std::string rowProps;
        for (long q = p; q < static_cast<long>(story.size()); ++q) {
            const Atom& x = story[static_cast<std::size_t>(q)];
            if (x.Kind() != AtomKind::ParaEnd) continue;
            const word::ParaEndInfo& info = doc_.ParaEnd(x.value);
            if (info.word == "cell" || info.word == "nestcell") ++columns;
            else {
                rowProps = info.row;
                break;
            }
        }
        QTextTableFormat tf;
        tf.setBorder(0.5);
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setBorderBrush(QColor(0xC0, 0xC0, 0xC0));
        tf.setCellPadding(2);
        tf.setCellSpacing(0);
        QList<QTextLength> widths;
        int last = 0;
        for (std::size_t k = rowProps.find("\\cellx"); k != std::string::npos; k = rowProps.find("\\cellx", k + 1)) {
            const int x = std::atoi(rowProps.c_str() + k + 6);
            widths.append(QTextLength(QTextLength::FixedLength, std::max(8, x - last) / 15.0));
            last = x;
        }
        if (widths.size() == std::max(columns, 1)) tf.setColumnWidthConstraints(widths);
        // The block the table follows shows no atoms of its own.
        out.push_back(Block{p, 0, {0}, true});
        table = cursor.insertTable(1, std::max(columns, 1), tf);
        row = column = 0;
        cursor = table->cellAt(0, 0).firstCursorPosition();
        block = Block{};
        block.start = p;
        block.table = true;
    };

    for (long i = from; i < to;) {
        if (atParagraphStart) {
            atParagraphStart = false;
            if (!table && paragraphEnd(i) == "cell") beginTable(i);
        }
        const Atom& a = story[static_cast<std::size_t>(i)];
        switch (a.Kind()) {
        case AtomKind::Char:
            if (a.value == 0x0C) {
                // A page break shows as a rule across the page.
                flush();
                addChar(U'\u2500', a.fmt, i);
                for (int k = 0; k < 39; ++k) addChar(U'\u2500', a.fmt, i + 1);
                flush();
                ++i;
                break;
            }
            // The common case: plain characters, many in a row.
            for (; i < to; ++i) {
                const Atom& c = story[static_cast<std::size_t>(i)];
                if (c.Kind() != AtomKind::Char || c.value == 0x0C) break;
                addChar(c.value, c.fmt, i);
            }
            break;
        case AtomKind::Symbol:
            flush();
            put(symbolGlyph(std::to_string(a.value)), charFormat(a.fmt), i);
            ++i;
            break;
        case AtomKind::ParaEnd: {
            flush();
            const word::ParaEndInfo& info = doc_.ParaEnd(a.value);
            const bool cellEnd = info.word == "cell" || info.word == "nestcell";
            const bool rowEnd = info.word == "row" || info.word == "nestrow";
            if (rowEnd && table) {
                // The row's own mark belongs to its last cell's block.
                if (!out.empty()) out.back().length = i + 1 - out.back().start;
                block = Block{};
                block.start = i + 1;
                block.table = true;
                ++i;
                if (i < to && paragraphEnd(i) == "cell") {
                    table->appendRows(1);
                    ++row;
                    column = 0;
                    cursor = table->cellAt(row, 0).firstCursorPosition();
                } else {
                    // Out of the table: on into the block the table is followed by.
                    cursor = table->lastCursorPosition();
                    cursor.movePosition(QTextCursor::NextBlock);
                    table = nullptr;
                    block.table = false;
                    tableEndsRange = i >= to;
                }
                break;
            }
            endBlock(i, i + 1, info.props);
            ++i;
            if (cellEnd && table) {
                // On to the next cell; a row with more cells than the first
                // one widens the table. After the last cell the row mark follows.
                if (column + 1 < table->columns() || (i < to && paragraphEnd(i) != "row")) {
                    if (++column >= table->columns()) table->appendColumns(1);
                    cursor = table->cellAt(row, column).firstCursorPosition();
                }
            } else if (i < to) {
                cursor.insertBlock();
            }
            atParagraphStart = true;
            continue;
        }
        case AtomKind::FieldBegin: {
            flush();
            if (showCodes) {
                put("{", codeMark, i);
                ++i;
                break;
            }
            const FieldCode code = fieldCode(story, i);
            const long after = std::min(to, code.codeEnd + 1);
            if (code.keyword == "MACROBUTTON") {
                // The display text: what follows the macro's name.
                i = code.wordEnds.size() > 1 ? code.wordEnds[1] : code.codeEnd;
                break;
            }
            if (code.keyword == "SYMBOL") put(symbolGlyph(code.head), charFormat(a.fmt), i);
            else if (code.keyword != "SET")
                put(plainOfRtf(doc_.FieldInfoAt(a.value).result), charFormat(a.fmt), i);
            i = after;
            break;
        }
        case AtomKind::FieldEnd:
            flush();
            if (showCodes) put("}", codeMark, i);
            ++i;
            break;
        case AtomKind::Opaque: {
            flush();
            const QImage image = pictureOf(doc_.Opaque(a.value));
            if (!image.isNull()) {
                const QString name = QStringLiteral("qz-object-%1").arg(a.value);
                document()->addResource(QTextDocument::ImageResource, QUrl(name), image);
                QTextImageFormat f;
                f.setName(name);
                f.setWidth(image.width());
                f.setHeight(image.height());
                cursor.insertImage(f);
                block.map.push_back(static_cast<int>(i - block.start));
            }
            ++i;
            break;
        }
        }
    }
    flush();
    // The story's last paragraph has no mark of its own; a table that ends
    // the range is followed by an empty block.
    if (tableEndsRange) out.push_back(Block{to, 0, {0}, true});
    else if (block.start < to || out.empty() || !block.map.empty()) endBlock(to, to, doc_.mainLastProps);
}

std::size_t DocumentView::blockOf(long modelPos) const {
    // The last block that starts at or before the position.
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), modelPos,
                               [](long pos, const Block& b) { return pos < b.start; });
    return it == blocks_.begin() ? 0 : static_cast<std::size_t>(it - blocks_.begin() - 1);
}

long DocumentView::modelPosition(int viewPos) const {
    const QTextBlock tb = document()->findBlock(viewPos);
    if (!tb.isValid() || tb.blockNumber() >= static_cast<int>(blocks_.size()))
        return static_cast<long>(doc_.MainStory().size());
    const Block& b = blocks_[static_cast<std::size_t>(tb.blockNumber())];
    const int k = std::clamp(viewPos - tb.position(), 0, static_cast<int>(b.map.size()) - 1);
    return b.start + b.map[static_cast<std::size_t>(k)];
}

int DocumentView::viewPosition(long modelPos) const {
    if (blocks_.empty()) return 0;
    const std::size_t n = blockOf(modelPos);
    const Block& b = blocks_[n];
    const QTextBlock tb = document()->findBlockByNumber(static_cast<int>(n));
    const int rel = static_cast<int>(modelPos - b.start);
    const auto it = std::lower_bound(b.map.begin(), b.map.end(), rel);
    const int k = it == b.map.end() ? static_cast<int>(b.map.size()) - 1 : static_cast<int>(it - b.map.begin());
    return tb.position() + k;
}

void DocumentView::pullSelection() {
    if (rendering_) return;
    const QTextCursor c = textCursor();
    const long a = modelPosition(c.selectionStart()), b = modelPosition(c.selectionEnd());
    word::Selection& sel = doc_.GetSelection();
    if (sel.GetStory() != &doc_.MainStory()) sel.MoveTo(&doc_.MainStory(), a, b);
    else sel.SetRange(a, std::max(a, b));
}

void DocumentView::pushSelection() {
    const word::Selection& sel = doc_.GetSelection();
    QTextCursor c(document());
    const int a = viewPosition(sel.Start()), b = viewPosition(sel.End());
    rendering_ = true;
    c.setPosition(a);
    if (b != a) c.setPosition(b, QTextCursor::KeepAnchor);
    setTextCursor(c);
    rendering_ = false;
    ensureCursorVisible();
}

bool DocumentView::edit(const std::function<void()>& change) {
    pullSelection();
    const long before = static_cast<long>(doc_.MainStory().size());
    const word::Selection& sel = doc_.GetSelection();
    const long start = sel.Start(), end = sel.End();
    doc_.BeginUndoStep();
    bool ok = true;
    try {
        change();
    } catch (const AutomationError& e) {
        ok = false;
        if (onError) onError(qs(e.Description));
    } catch (const std::exception& e) {
        ok = false;
        if (onError) onError(QString::fromUtf8(e.what()));
    }
    doc_.EndUndoStep();
    const long delta = static_cast<long>(doc_.MainStory().size()) - before;
    // What the edit touched, in positions from before it, with one atom to
    // spare on each side: a removed mark joins the next paragraph.
    const long after = doc_.GetSelection().Start();
    const long from = std::max(0L, std::min(start, after) - 1);
    const long to = std::min(before, std::max(end, after) + std::max(0L, -delta) + 1);
    rerender(from, to, delta);
    if (onChanged) onChanged();
    return ok;
}

void DocumentView::rerender(long start, long end, long delta) {
    if (blocks_.empty()) {
        renderAll();
        return;
    }
    const std::size_t i = blockOf(start);
    std::size_t j = blockOf(std::max(start, end));
    // An edit inside a field can change how the whole field shows: take the
    // paragraphs of the fields around it too, by taking every block whose
    // fields were open at the edit (rare; a plain paragraph is the rule).
    // Tables are drawn whole.
    for (std::size_t k = i; k <= j + 1 && k < blocks_.size(); ++k)
        if (blocks_[k].table) {
            renderAll();
            return;
        }
    const long oldFrom = blocks_[i].start;
    const long oldTo = blocks_[j].start + blocks_[j].length;
    const long newTo = oldTo + delta;
    if (newTo < oldFrom || newTo > static_cast<long>(doc_.MainStory().size())) {
        renderAll();
        return;
    }
    rendering_ = true;
    QTextCursor cursor(document());
    const QTextBlock first = document()->findBlockByNumber(static_cast<int>(i));
    const QTextBlock last = document()->findBlockByNumber(static_cast<int>(j));
    cursor.setPosition(first.position());
    cursor.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    QTextCursor group(document());
    group.beginEditBlock();
    cursor.removeSelectedText();
    std::vector<Block> fresh;
    renderRange(oldFrom, newTo, cursor, fresh);
    group.endEditBlock();
    for (std::size_t k = j + 1; k < blocks_.size(); ++k) blocks_[k].start += delta;
    renderedTo_ += delta;
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(i), blocks_.begin() + static_cast<std::ptrdiff_t>(j + 1));
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(i), std::make_move_iterator(fresh.begin()),
                   std::make_move_iterator(fresh.end()));
    rendering_ = false;
    // The renderer ends the last paragraph of a range with a block of its
    // own when the range ends without a mark; inside the document that
    // block is the next one's and is already there.
    if (static_cast<int>(blocks_.size()) != document()->blockCount()) renderAll();
    else pushSelection();
}

void DocumentView::typeText(const QString& text) {
    edit([&] { doc_.GetSelection().TypeText(us(QString(text).replace('\n', '\r'))); });
}

void DocumentView::deleteBackward() {
    edit([&] {
        word::Selection& sel = doc_.GetSelection();
        if (sel.Start() == sel.End()) {
            if (sel.Start() == 0) return;
            sel.SetRange(sel.Start() - 1, sel.End());
        }
        word::Range r = sel.GetRange();
        r.Delete();
        sel.SetRange(r.Start(), r.Start());
    });
}

void DocumentView::deleteForward() {
    edit([&] {
        word::Selection& sel = doc_.GetSelection();
        if (sel.Start() == sel.End()) {
            if (sel.End() >= static_cast<long>(doc_.MainStory().size())) return;
            sel.SetRange(sel.Start(), sel.End() + 1);
        }
        word::Range r = sel.GetRange();
        r.Delete();
        sel.SetRange(r.Start(), r.Start());
    });
}

void DocumentView::undo() {
    const long at = doc_.Undo();
    if (at < 0) return;
    doc_.GetSelection().SetRange(std::min(at, static_cast<long>(doc_.MainStory().size())),
                                 std::min(at, static_cast<long>(doc_.MainStory().size())));
    renderAll();
    if (onChanged) onChanged();
}

void DocumentView::redo() {
    const long at = doc_.Redo();
    if (at < 0) return;
    doc_.GetSelection().SetRange(at, at);
    renderAll();
    if (onChanged) onChanged();
}

namespace {

// What the studio copied last, with its formats and fields, kept in a
// document of its own so that it outlives the document it came from. Other
// programs get the plain text.
constexpr const char* kAtomsMime = "application/x-quorvane-studio-atoms";

struct StudioClipboard {
    word::Application app;
    word::Document* doc = nullptr;
    QByteArray token;
    unsigned count = 0;
};

StudioClipboard& studioClipboard() {
    static StudioClipboard c;
    return c;
}

} // namespace

QMimeData* DocumentView::createMimeDataFromSelection() const {
    const word::Selection& sel = doc_.GetSelection();
    std::string text = sel.Text();
    std::string plain;
    for (char c : text) {
        if (c == '\r') plain += '\n';
        else if (c != '\x13' && c != '\x15') plain += c;
    }
    auto* mime = new QMimeData;
    mime->setText(qs(plain));
    const word::Story& story = *sel.GetStory();
    if (sel.Start() < sel.End() && word::HoldsWholeFields(story, sel.Start(), sel.End())) {
        StudioClipboard& c = studioClipboard();
        if (c.doc) c.app.GetDocuments().Close(*c.doc);
        c.doc = &c.app.GetDocuments().Add();
        const std::vector<Atom> atoms = word::TransferAtoms(doc_, story, sel.Start(), sel.End(), *c.doc);
        c.doc->MainStory().insert(0, atoms.data(), atoms.size());
        c.token = QByteArray::number(++c.count);
        mime->setData(kAtomsMime, c.token);
    }
    return mime;
}

void DocumentView::paste(const QMimeData* source) {
    if (!source) return;
    StudioClipboard& c = studioClipboard();
    if (c.doc && source->hasFormat(kAtomsMime) && source->data(kAtomsMime) == c.token) {
        edit([&] {
            word::Selection& sel = doc_.GetSelection();
            const std::vector<Atom> atoms =
                word::TransferAtoms(*c.doc, c.doc->MainStory(), 0, static_cast<long>(c.doc->MainStory().size()), doc_);
            const long at = sel.Start();
            word::ReplaceAtoms(doc_, *sel.GetStory(), at, sel.End(), atoms.data(), atoms.size());
            const long after = at + static_cast<long>(atoms.size());
            sel.SetRange(after, after);
        });
        return;
    }
    if (source->hasText()) typeText(source->text());
}

void DocumentView::cutToClipboard() {
    pullSelection();
    if (doc_.GetSelection().Start() == doc_.GetSelection().End()) return;
    QApplication::clipboard()->setMimeData(createMimeDataFromSelection());
    deleteForward();
}

void DocumentView::pasteFromClipboard() { paste(QApplication::clipboard()->mimeData()); }

bool DocumentView::canInsertFromMimeData(const QMimeData* source) const { return source->hasText(); }

void DocumentView::insertFromMimeData(const QMimeData* source) { paste(source); }

void DocumentView::contextMenuEvent(QContextMenuEvent* e) {
    // The standard menu edits the QTextDocument behind the model's back.
    e->ignore();
}

void DocumentView::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty()) typeText(e->commitString());
    e->accept();
}

void DocumentView::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Undo)) return undo();
    if (e->matches(QKeySequence::Redo)) return redo();
    if (e->matches(QKeySequence::Cut)) return cutToClipboard();
    if (e->matches(QKeySequence::Paste)) return pasteFromClipboard();
    if (e->matches(QKeySequence::Copy) || e->matches(QKeySequence::SelectAll))
        return QTextEdit::keyPressEvent(e);
    switch (e->key()) {
    case Qt::Key_Backspace: return deleteBackward();
    case Qt::Key_Delete: return deleteForward();
    case Qt::Key_Return:
    case Qt::Key_Enter: return typeText("\r");
    case Qt::Key_Tab: return typeText("\t");
    case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up: case Qt::Key_Down:
    case Qt::Key_Home: case Qt::Key_End: case Qt::Key_PageUp: case Qt::Key_PageDown:
        return QTextEdit::keyPressEvent(e);
    default: break;
    }
    const QString text = e->text();
    if (!text.isEmpty() && text[0].isPrint() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return typeText(text);
    // Nothing else may change the text behind the model's back.
    e->ignore();
}

void DocumentView::changeCharFormat(const std::function<void(word::CharFormat&)>& change) {
    edit([&] {
        word::Selection& sel = doc_.GetSelection();
        word::Story& story = *sel.GetStory();
        const long a = sel.Start(), b = sel.End();
        if (a == b) {
            word::CharFormat f = doc_.Format(sel.InsertFormat());
            change(f);
            sel.SetPending(doc_.InternFormat(f));
            return;
        }
        doc_.Record(story, a, b, b - a);
        for (long i = a; i < b; ++i) {
            Atom& atom = story.at(static_cast<std::size_t>(i));
            word::CharFormat f = doc_.Format(atom.fmt);
            change(f);
            atom.fmt = doc_.InternFormat(f);
        }
        doc_.Changed();
    });
}

void DocumentView::toggleBold() {
    const bool on = !doc_.Format(doc_.GetSelection().InsertFormat()).bold;
    changeCharFormat([on](word::CharFormat& f) { f.bold = on; });
}

void DocumentView::toggleItalic() {
    const bool on = !doc_.Format(doc_.GetSelection().InsertFormat()).italic;
    changeCharFormat([on](word::CharFormat& f) { f.italic = on; });
}

void DocumentView::toggleUnderline() {
    const bool on = !doc_.Format(doc_.GetSelection().InsertFormat()).underline;
    changeCharFormat([on](word::CharFormat& f) { f.underline = on; });
}

void DocumentView::setFont(const QString& family, int pointSize) {
    const int number = doc_.FontNumber(us(family));
    changeCharFormat([&](word::CharFormat& f) {
        f.font = number;
        if (pointSize > 0) f.size = pointSize * 2;
    });
}

void DocumentView::setAlignment(int alignment) {
    static const char* const kWords[] = {"\\ql", "\\qc", "\\qr", "\\qj"};
    edit([&] {
        word::Selection& sel = doc_.GetSelection();
        word::Story& story = *sel.GetStory();
        const long n = static_cast<long>(story.size());
        // Every paragraph the selection touches: up to its mark.
        long b = sel.End();
        while (b < n && story[static_cast<std::size_t>(b)].Kind() != AtomKind::ParaEnd) ++b;
        long a = sel.Start();
        while (a > 0 && story[static_cast<std::size_t>(a - 1)].Kind() != AtomKind::ParaEnd) --a;
        auto realign = [&](std::string props) {
            for (const char* w : kWords) {
                const std::string word(w);
                for (std::size_t p = props.find(word); p != std::string::npos; p = props.find(word, p)) {
                    const std::size_t q = p + word.size();
                    if (q < props.size() && std::isalpha(static_cast<unsigned char>(props[q]))) {
                        p = q;
                        continue;
                    }
                    props.erase(p, word.size());
                }
            }
            return props + kWords[std::clamp(alignment, 0, 3)];
        };
        if (b >= n) {
            doc_.mainLastProps = realign(doc_.mainLastProps);
            doc_.Changed();
            b = n - 1;
        }
        if (b < a) return;
        doc_.Record(story, a, b + 1, b + 1 - a);
        for (long i = a; i <= b; ++i) {
            Atom& atom = story.at(static_cast<std::size_t>(i));
            if (atom.Kind() != AtomKind::ParaEnd) continue;
            const word::ParaEndInfo info = doc_.ParaEnd(atom.value);
            atom.value = doc_.InternParaEnd(info.word, realign(info.props), info.row);
        }
        doc_.Changed();
    });
}

} // namespace qz::views
