// What a document's kept groups show beside its text: drawing objects
// (shapes, text boxes, old-style drawing objects), footnotes and endnotes,
// and equations. The groups stay in the story as they were read (and are
// written back unchanged); these read them for a view, which gets a plain
// description and never the RTF.
#pragma once

#include "platform/word/Document.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qz::word {

// A drawing object anchored in the text, placed on the page of its anchor.
struct Drawing {
    enum class Type : std::uint8_t { Rectangle, RoundRectangle, Ellipse, Line, Triangle, RightTriangle, TextBox, Other };
    // What its left and right (and top and bottom) edges are measured from.
    enum class From : std::uint8_t { Page, Margin, Column, Paragraph };
    Type type = Type::Other;
    long pos = 0; // its anchor: the story position of its group
    From fromX = From::Column, fromY = From::Paragraph;
    int left = 0, top = 0, right = 0, bottom = 0; // twips
    bool filled = true, lined = true;
    std::uint32_t fill = 0xFFFFFF, line = 0x000000; // 0xRRGGBB
    int lineWidth = 15;                            // twips
    bool flipH = false, flipV = false;
    bool behindText = false;
    std::u32string text; // a text box's (or shape's) text, paragraphs split by "\r"
    int textSize = 0;    // its font size, half points (0: not stated)
    int textAlign = 0;   // 0 left, 1 centre, 2 right
    std::string textGroup; // the group of its text as written, to be read with its formats (GroupStory)
    bool shadow = false;   // a shadow falls behind it, offset by shadowX and shadowY (twips)
    int shadowX = 0, shadowY = 0;
    std::uint32_t shadowColor = 0x808080;
};

// The drawing a kept group shows: a {\shp} shape with no picture of its
// own, or a {\*\do} drawing object; nullopt for any other group. A shape
// of a kind not drawn is Other (shown as its outline).
std::optional<Drawing> ParseDrawing(const Document& doc, std::string_view group, int font);

// The drawing objects anchored in a story, in its order.
std::vector<Drawing> StoryDrawings(const Document& doc, const Story& story);

// Whether a kept group is a drawing object (one ParseDrawing reads), without
// reading it: a view that keeps what StoryDrawings read knows from it
// whether an edit changed any.
bool IsDrawing(std::string_view group);

// A footnote or endnote, as its page shows it.
struct Note {
    long pos = 0;          // its group's story position
    bool endnote = false;
    std::u32string mark;   // its number as the reference mark shows it
    std::u32string text;   // its text, paragraphs split by "\r"
};
// Whether a kept group is a note: 0 no, 1 a footnote, 2 an endnote.
int NoteKind(std::string_view group);
// The mark of the n-th (1-based) note of a kind, in the document's numbering.
std::u32string NoteMark(const Document& doc, bool endnote, int n);
// The text of a kept group (a note, a text box's {\shptxt}) as a story of
// its own, read in the character format `base` (a format of the document)
// where the group states none, every paragraph ending with its mark. What
// it holds (formats, marks, groups) joins the document's tables.
Story GroupStory(Document& doc, std::string_view group, std::uint32_t base);
// The notes of a story, in its order.
std::vector<Note> StoryNotes(const Document& doc, const Story& story);

// An equation's text as it is typed in a line (x^2, (a)/(b), √(x) ...),
// empty when the group holds no equation text.
std::u32string EquationText(const Document& doc, std::string_view group, int font);
// Whether a kept group is an equation.
bool IsEquation(std::string_view group);

} // namespace qz::word
