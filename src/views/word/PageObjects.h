// What a page of the document view shows beside its flowing text: the
// drawing objects anchored on it (shapes, text boxes, old-style drawing
// objects) where the document places them, its footnotes at its foot under
// a short line, and after the last page's text the endnotes. The word model
// reads them (word/Drawings.h); this draws its descriptions.
#pragma once

#include "platform/word/Drawings.h"

#include <QRectF>

#include <vector>

class QPainter;

namespace qz::views {

class DocumentView;
class PageRenderer;

class PageObjects {
public:
    // The notes show as the renderer draws them.
    PageObjects(const DocumentView& view, PageRenderer& renderer) : view_(view), renderer_(renderer) {}
    // Draws the page's objects behind its text (front false: those the
    // document puts behind it) or in front of it (the others, and the notes).
    void paint(QPainter& p, int page, bool front);
    // Reads the story's drawings and notes unless what was read is its own.
    void refresh();
    // After an edit that made the story's [from, to) (positions before it)
    // [from, to + delta): what was read moves with the text after the edit,
    // unless the edit took or brought a drawing or note (or the story is not
    // the length the edit leaves), when the story is read again. True when
    // the notes may have changed: the marks after the edit take new numbers.
    bool splice(long from, long to, long delta);
    // The story is read again before the next paint (the view drew it anew).
    void forget() { read_ = SIZE_MAX; }

private:
    // Where the view shows a story position: the top of its line, and the
    // top of its paragraph.
    bool anchor(long pos, double& lineTop, double& paragraphTop) const;
    int pageOf(double y) const;
    void paintDrawing(QPainter& p, const word::Drawing& d, const QRectF& r) const;
    // Notes from y down (footnotes: ending at y when upwards, under the
    // separator's room), from x.
    void paintNotes(QPainter& p, const std::vector<const word::Note*>& notes, double x, double y, bool upwards) const;

    const DocumentView& view_;
    PageRenderer& renderer_;
    // The story's size when it was read, kept by splice; SIZE_MAX: read it again.
    std::size_t read_ = SIZE_MAX;
    std::vector<word::Drawing> drawings_;
    std::vector<word::Note> notes_;
};

} // namespace qz::views
