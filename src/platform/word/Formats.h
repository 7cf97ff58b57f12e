// Paragraph, table-row and picture properties as the model understands them.
// The model keeps these properties as the control words the file gave (so
// that what it does not understand is written back unchanged); these are the
// readings of those words, and the one way to change them. Everything here
// reads RTF through the shared tokenizer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace qz::word {

class Document;

enum class Alignment : std::uint8_t { Left, Center, Right, Justify };
enum class TabKind : std::uint8_t { Left, Center, Right, Decimal, Bar };
enum class TabLeader : std::uint8_t { None, Dots, Hyphens, Underline, Thick, Equals };

struct TabStop {
    int position = 0; // twips from the left indent's origin (the text's left edge)
    TabKind kind = TabKind::Left;
    TabLeader leader = TabLeader::None;
    bool operator==(const TabStop&) const = default;
};

// How a border line is drawn: one line (\brdrs, \brdrth ...), two
// (\brdrdb), a thin and a thick one (thick-thin: \brdrthtnsg ..., the thin
// one outside; thin-thick: \brdrtnthsg ..., the thick one outside), a thick
// one between two thin ones (\brdrtnthtnsg ...), three (\brdrtriple), a
// line of two shades that looks sunk or raised (\brdrinset, \brdroutset,
// \brdrengrave, \brdremboss), dots or dashes (\brdrdot, \brdrdash ...).
enum class BorderStyle : std::uint8_t {
    Single, Double, ThickThin, ThinThick, ThinThickThin, Triple, Inset, Outset, Emboss, Engrave, Dotted, Dashed
};

// A border line of a paragraph or a cell: width in twips (0: none), colour
// (an index of the document's colour table, 0 automatic) and style.
struct Border {
    int width = 0;
    int color = 0;
    BorderStyle style = BorderStyle::Single;
    bool operator==(const Border&) const = default;
};

// A paragraph's format. Lengths are twips.
struct ParaFormat {
    Alignment alignment = Alignment::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;   // of the first line, from the left indent (negative: hanging)
    int spaceBefore = 0;
    int spaceAfter = 0;
    // Line spacing: 0 single; with lineMultiple a multiple in 240ths of a
    // line; otherwise at least this height, or exactly -lineSpacing when negative.
    int lineSpacing = 0;
    bool lineMultiple = false;
    bool pageBreakBefore = false;
    std::vector<TabStop> tabs; // in position order
    // Shading (colour-table index, 0 none) and borders: top, left, bottom, right.
    int shading = 0;
    Border borders[4];
    int borderSpace = 0; // between the borders and the text
    // The list the paragraph belongs to (\lsN: an override of the document's
    // list table, 0 none) and its level in it (0..8).
    int list = 0;
    int listLevel = 0;

    bool operator==(const ParaFormat&) const = default;
};

// The format that paragraph properties (the words after \pard) state.
ParaFormat ParseParaFormat(std::string_view props);
// The properties with the words of the format replaced where `format`
// differs from what they state; every other word stays as and where it was.
std::string WithParaFormat(std::string_view props, const ParaFormat& format);

// A table cell as its row's properties state it.
struct CellFormat {
    int right = 0;             // the cell's right boundary, twips from the margin
    int shading = 0;           // colour-table index, 0 none
    Border borders[4];         // top, left, bottom, right
    bool mergeFirst = false;   // the first of cells merged across (\clmgf)
    bool merged = false;       // merged into the cell before it (\clmrg)
    bool vmergeFirst = false;  // the first of cells merged down (\clvmgf)
    bool vmerged = false;      // merged into the cell above (\clvmrg)
};

// A table row's cells, as its properties (\trowd ... \cellxN) state them.
struct RowFormat {
    int leftEdge = 0;            // \trleft
    int cellGap = 0;             // \trgaph: half the space between two cells' text
    int height = 0;              // \trrh: at least this height, exactly -height when negative, twips
    std::vector<int> cellRights; // the right boundary of each cell, twips from the margin
    std::vector<CellFormat> cells;
};
RowFormat ParseRowFormat(std::string_view row);

// A row's properties cut where they belong: the row's own words, each
// cell's words (its right boundary apart), and what follows the last cell.
// Joined again they are the same words, so that a table edit changes only
// the cells it means to and keeps every word it does not understand.
struct RowWords {
    struct Cell {
        std::string words; // the cell's control words before its \cellx
        int right = 0;     // its \cellx
    };
    std::string head;
    std::vector<Cell> cells;
    std::string tail;
};
RowWords SplitRowWords(std::string_view row);
std::string JoinRowWords(const RowWords& row);
// A cell's words without the settings of the given words (\clmgf ...), and
// without its borders when `borders` (each border word with its line's words).
std::string WithoutCellWords(std::string_view words, std::initializer_list<std::string_view> remove,
                             bool borders = false);

// What a run's character format shows beyond font, size, colour, bold,
// italic and underline: read from the format's other control words.
struct CharLook {
    bool strike = false;
    bool smallCaps = false;
    bool allCaps = false;
    int vertical = 0;      // 1 superscript, -1 subscript
    int highlight = 0;     // colour-table index, 0 none
    int shading = 0;       // colour-table index, 0 none
    bool doubleUnderline = false;
    int spacing = 0;       // letter spacing, twips (negative: condensed)
};
CharLook ParseCharLook(std::string_view words);
// Control words with every setting of `word` (outside groups) replaced by
// \wordN, or only removed when value is negative.
std::string WithWord(std::string_view words, std::string_view word, int value);
// A table paragraph's words for text that stands before its row: without
// \intbl and \itap, a plain paragraph.
inline std::string OutsideTableWords(std::string_view words) {
    return WithWord(WithWord(words, "intbl", -1), "itap", -1);
}

// A section's page: paper size, margins and where its header and footer
// stand, twips. The document states defaults (\paperw, \margl ...) that a
// section may override (\pgwsxn, \marglsxn ...).
struct PageSetup {
    int width = 12240;  // US Letter, what RTF readers assume when nothing is stated
    int height = 15840;
    int left = 1800;
    int right = 1800;
    int top = 1440;
    int bottom = 1440;
    int header = 720;   // from the page's top edge to the header's top
    int footer = 720;   // from the page's bottom edge to the footer's bottom
    bool landscape = false;
    bool titlePage = false; // the first page has a header and footer of its own
    bool continuous = false; // the section goes on on the page the one before it ends on (\sbknone)
    int defaultTab = 720;   // the distance between the default tab stops (\deftab)

    int TextWidth() const { return std::max(width - left - right, 144); }
    bool operator==(const PageSetup&) const = default;
};
PageSetup ParsePageSetup(std::string_view documentWords, std::string_view sectionWords);

// A picture kept in an RTF group ({\pict ...}, alone or inside {\*\shppict}).
struct Picture {
    // Dib: a device-independent bitmap (\dibitmap), a BMP file's content
    // after its file header; Bitmap: a device-dependent one (\wbitmap).
    enum class Kind : std::uint8_t { None, Png, Jpeg, Emf, Wmf, Bitmap, Other, Dib };
    Kind kind = Kind::None;  // None: the group holds no picture to show; Other with a path: a linked file
    int width = 0;           // the size it shows at, twips (0: not stated)
    int height = 0;
    std::string data;        // the picture's bytes (hex digits or \bin data decoded)
    std::string path;        // a linked picture's file (INCLUDEPICTURE), data empty
};
// The picture a kept group shows. A {\nonshppict} group is the copy for
// readers that do not know {\*\shppict}: it shows nothing here.
Picture ParsePicture(std::string_view group);

// The text a field's kept result shows (its RTF decoded: code pages of its
// fonts, \uN with their fallbacks, escaped bytes, nested fields' results;
// paragraph marks as "\r", line breaks as U+000B, tabs as "\t"). `font` is
// the font number the field stands in.
std::u32string FieldResultText(const Document& doc, std::string_view result, int font);

} // namespace qz::word
