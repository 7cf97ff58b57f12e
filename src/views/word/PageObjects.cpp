#include "views/word/PageObjects.h"

#include "views/word/DocumentView.h"
#include "views/word/PageRenderer.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace qz::views {

namespace {

QColor Rgb(std::uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// Whether a list read from the story (in its order) holds one at [from, to).
template <typename T> bool HoldsIn(const std::vector<T>& read, long from, long to) {
    const auto at = std::lower_bound(read.begin(), read.end(), from, [](const T& t, long pos) { return t.pos < pos; });
    return at != read.end() && at->pos < to;
}

// What was read after an edit's end moves with the text.
template <typename T> void Shift(std::vector<T>& read, long to, long delta) {
    for (T& t : read)
        if (t.pos >= to) t.pos += delta;
}

} // namespace

bool PageObjects::splice(long from, long to, long delta) {
    const word::Story& story = view_.story();
    const long size = static_cast<long>(story.size());
    if (read_ == SIZE_MAX || static_cast<long>(read_) + delta != size) {
        forget();
        return true;
    }
    bool drawings = HoldsIn(drawings_, from, to), notes = HoldsIn(notes_, from, to);
    for (long i = std::max(0L, from), end = std::min(size, to + delta); !notes && i < end; ++i) {
        const word::Atom& a = story[static_cast<std::size_t>(i)];
        if (a.Kind() != word::AtomKind::Opaque) continue;
        const std::string& group = view_.model().Opaque(a.value);
        if (word::NoteKind(group)) notes = view_.showsMainStory();
        else drawings = drawings || word::IsDrawing(group);
    }
    if (drawings || notes) {
        forget();
        return notes;
    }
    read_ = story.size();
    Shift(drawings_, to, delta);
    Shift(notes_, to, delta);
    return false;
}

void PageObjects::refresh() {
    const word::Story& story = view_.story();
    if (read_ == story.size()) return;
    read_ = story.size();
    drawings_ = word::StoryDrawings(view_.model(), story);
    notes_ = view_.showsMainStory() ? word::StoryNotes(view_.model(), story) : std::vector<word::Note>{};
}

bool PageObjects::anchor(long pos, double& lineTop, double& paragraphTop) const {
    const QTextDocument* doc = view_.document();
    const int v = view_.viewPosition(pos);
    const QTextBlock block = doc->findBlock(v);
    if (!block.isValid()) return false;
    const QRectF rect = doc->documentLayout()->blockBoundingRect(block);
    paragraphTop = lineTop = rect.top();
    if (const QTextLayout* l = block.layout(); l && l->lineCount() > 0) {
        const QTextLine line = l->lineForTextPosition(std::min(v - block.position(), std::max(0, block.length() - 1)));
        if (line.isValid()) lineTop = l->position().y() + line.y();
        paragraphTop = l->position().y() + l->lineAt(0).y();
    }
    return true;
}

int PageObjects::pageOf(double y) const {
    if (!view_.paged()) return 0;
    const double pitch = view_.pageRect(1).top() - view_.pageRect(0).top();
    return pitch > 0 ? std::max(0, static_cast<int>(std::floor((y - view_.pageRect(0).top() + 1) / pitch))) : 0;
}

void PageObjects::paint(QPainter& p, int page, bool front) {
    refresh();
    if (drawings_.empty() && notes_.empty()) return;
    const QRectF paper = view_.pageRect(page);
    const word::PageSetup setup = view_.pageSetup(page);
    const QRectF text(paper.left() + view_.pixels(setup.left), paper.top() + view_.pixels(setup.top),
                      view_.pixels(setup.TextWidth()), paper.height() - view_.pixels(setup.top + setup.bottom));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    for (const word::Drawing& d : drawings_) {
        if (d.behindText == front) continue;
        double line = 0, paragraph = 0;
        if (!anchor(d.pos, line, paragraph) || pageOf(line) != page) continue;
        const double x = d.fromX == word::Drawing::From::Page ? paper.left() : text.left();
        const double y = d.fromY == word::Drawing::From::Page     ? paper.top()
                         : d.fromY == word::Drawing::From::Margin ? text.top()
                                                                   : paragraph;
        const QRectF r(x + view_.pixels(d.left), y + view_.pixels(d.top), view_.pixels(d.right - d.left),
                       view_.pixels(d.bottom - d.top));
        paintDrawing(p, d, r.normalized());
    }
    if (front && !notes_.empty()) {
        std::vector<const word::Note*> foot, endnotes;
        for (const word::Note& n : notes_) {
            double line = 0, paragraph = 0;
            if (n.endnote) endnotes.push_back(&n);
            else if (anchor(n.pos, line, paragraph) && pageOf(line) == page) foot.push_back(&n);
        }
        // Footnotes at the foot of the page's text, in the room the layout
        // left them there.
        if (!foot.empty()) paintNotes(p, foot, text.left(), view_.textBottom(page), true);
        // Endnotes follow the last page's text.
        const QTextDocument* doc = view_.document();
        const double end = doc->documentLayout()->blockBoundingRect(doc->lastBlock()).bottom();
        if (!endnotes.empty() && pageOf(end) == page) paintNotes(p, endnotes, text.left(), end + view_.pixels(240), false);
    }
    p.restore();
}

void PageObjects::paintDrawing(QPainter& p, const word::Drawing& d, const QRectF& r) const {
    using T = word::Drawing::Type;
    if (d.shadow && d.type != T::Line) {
        // The shadow: the shape's outline filled, offset, behind it.
        word::Drawing shade = d;
        shade.shadow = false;
        shade.filled = shade.lined = true;
        shade.fill = shade.line = d.shadowColor;
        shade.text.clear();
        shade.textGroup.clear();
        paintDrawing(p, shade, r.translated(view_.pixels(d.shadowX), view_.pixels(d.shadowY)));
    }
    const double width = std::max(1.0, view_.pixels(d.lineWidth));
    p.setPen(d.lined ? QPen(Rgb(d.line), width) : QPen(Qt::NoPen));
    p.setBrush(d.filled ? QBrush(Rgb(d.fill)) : QBrush(Qt::NoBrush));
    // A flipped shape is mirrored in its box.
    auto at = [&](double fx, double fy) {
        if (d.flipH) fx = 1 - fx;
        if (d.flipV) fy = 1 - fy;
        return QPointF(r.left() + fx * r.width(), r.top() + fy * r.height());
    };
    switch (d.type) {
    case T::Rectangle:
    case T::TextBox: p.drawRect(r); break;
    case T::RoundRectangle: {
        const double radius = std::min(r.width(), r.height()) / 6;
        p.drawRoundedRect(r, radius, radius);
        break;
    }
    case T::Ellipse: p.drawEllipse(r); break;
    case T::Line: p.drawLine(at(0, 0), at(1, 1)); break;
    case T::Triangle: p.drawPolygon(QPolygonF({at(0.5, 0), at(1, 1), at(0, 1)})); break;
    case T::RightTriangle: p.drawPolygon(QPolygonF({at(0, 0), at(1, 1), at(0, 1)})); break;
    case T::Other:
        // A shape the view does not draw: its place, outlined.
        p.setPen(QPen(Qt::gray, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r);
        break;
    }
    if (d.textGroup.empty()) return;
    // The text in its own formats inside the box's inner margins (0.1 inch
    // at the sides, 0.05 above and below).
    const QRectF inner = r.adjusted(view_.pixels(144), view_.pixels(72), -view_.pixels(144), -view_.pixels(72));
    QTextDocument* text = renderer_.textBoxDocument(d.textGroup, inner.width());
    if (!text) return;
    p.save();
    p.translate(inner.topLeft());
    text->drawContents(&p, QRectF(QPointF(0, 0), inner.size()));
    p.restore();
}

void PageObjects::paintNotes(QPainter& p, const std::vector<const word::Note*>& notes, double x, double y,
                             bool upwards) const {
    std::vector<QTextDocument*> shown;
    double height = view_.noteSeparator();
    for (const word::Note* n : notes) {
        shown.push_back(renderer_.noteDocument(view_.story(), n->pos, n->mark));
        if (shown.back()) height += shown.back()->size().height();
    }
    double top = upwards ? y - height : y;
    // The separator: a line of two inches in the middle of its room.
    const double line = top + view_.noteSeparator() / 2;
    p.setPen(QPen(Qt::black, std::max(0.5, view_.zoom() * 0.5)));
    p.drawLine(QPointF(x, line), QPointF(x + view_.pixels(2880), line));
    top += view_.noteSeparator();
    for (QTextDocument* d : shown) {
        if (!d) continue;
        p.save();
        p.translate(x, top);
        d->drawContents(&p);
        p.restore();
        top += d->size().height();
    }
}

} // namespace qz::views
