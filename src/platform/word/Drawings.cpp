#include "platform/word/Drawings.h"

#include "platform/word/Formats.h"
#include "platform/word/RtfLexer.h"

#include <algorithm>
#include <charconv>

namespace qz::word {

namespace {

using rtf::Lexer;
using rtf::Token;

// A group read as a tree: its first control word, the control words that
// stand in it directly, its groups, and its text after the first word.
struct Group {
    std::string_view head;
    bool starred = false;
    std::vector<std::pair<std::string_view, int>> words;
    std::vector<Group> kids;
    std::string_view body; // from after the first word to the closing brace

    const Group* Kid(std::string_view w) const {
        for (const Group& g : kids)
            if (g.head == w) return &g;
        return nullptr;
    }
    // The first group of that word at any depth.
    const Group* Find(std::string_view w) const {
        for (const Group& g : kids) {
            if (g.head == w) return &g;
            if (const Group* f = g.Find(w)) return f;
        }
        return nullptr;
    }
    // The first control word of that name at any depth, or nullptr.
    const int* Word(std::string_view w) const {
        for (const auto& [name, value] : words)
            if (name == w) return &value;
        for (const Group& g : kids)
            if (const int* v = g.Word(w)) return v;
        return nullptr;
    }
};

// Groups nested deeper than this are skipped: a damaged file cannot make
// the reading recurse without end.
constexpr int kDeepest = 48;

// Reads the group whose brace the lexer has just read.
void ReadGroup(Lexer& lex, Group& g, int depth) {
    Token t;
    const char* after = lex.Position();
    lex.Next(t);
    if (t.type == Token::Symbol && t.name == "*") {
        g.starred = true;
        lex.Next(t);
    }
    if (t.type == Token::Word) {
        g.head = t.name;
        after = t.end;
    } else {
        lex.Seek(t.start);
    }
    for (;;) {
        const char* at = lex.Position();
        lex.Next(t);
        switch (t.type) {
        case Token::End:
            g.body = std::string_view(after, static_cast<std::size_t>(t.start - after));
            return;
        case Token::Close:
            g.body = std::string_view(after, static_cast<std::size_t>(at - after));
            return;
        case Token::Open:
            if (depth >= kDeepest) {
                for (int d = 1; d > 0 && (lex.Next(t), t.type != Token::End);)
                    d += t.type == Token::Open ? 1 : t.type == Token::Close ? -1 : 0;
            } else {
                g.kids.emplace_back();
                ReadGroup(lex, g.kids.back(), depth + 1);
            }
            break;
        case Token::Word:
            if (t.name == "bin" && t.param > 0) lex.Seek(t.end + std::min<long long>(t.param, lex.BufferEnd() - t.end));
            else g.words.emplace_back(t.name, t.param);
            break;
        default: break;
        }
    }
}

Group ReadTree(std::string_view group) {
    Group root;
    Lexer lex(group);
    Token t;
    lex.Next(t);
    if (t.type == Token::Open) ReadGroup(lex, root, 0);
    return root;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

long long Number(std::string_view s) {
    long long v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

// A colour of a shape's property (0x00BBGGRR) as 0xRRGGBB.
std::uint32_t ShapeColor(long long v) {
    const auto u = static_cast<std::uint32_t>(v);
    return ((u & 0xFF) << 16) | (u & 0xFF00) | ((u >> 16) & 0xFF);
}

// A text's words read for the drawing: its size and alignment, and the
// text itself without its trailing paragraph marks.
void ReadText(const Document& doc, const Group& text, int font, Drawing& d) {
    d.textGroup = "{\\" + std::string(text.head) + " " + std::string(text.body) + "}";
    d.text = FieldResultText(doc, text.body, font);
    while (!d.text.empty() && (d.text.back() == U'\r' || d.text.back() == U' ')) d.text.pop_back();
    if (const int* fs = text.Word("fs")) d.textSize = *fs;
    if (text.Word("qc")) d.textAlign = 1;
    else if (text.Word("qr")) d.textAlign = 2;
}

Drawing::Type ShapeType(long long n) {
    switch (n) {
    case 1: return Drawing::Type::Rectangle;
    case 2: return Drawing::Type::RoundRectangle;
    case 3: return Drawing::Type::Ellipse;
    case 5: return Drawing::Type::Triangle;
    case 6: return Drawing::Type::RightTriangle;
    case 20: return Drawing::Type::Line;
    case 202: return Drawing::Type::TextBox;
    default: return Drawing::Type::Other;
    }
}

// A shape's place and anchor words (\shpleft ...), which stand in the shape
// group itself or in its instructions.
void ReadShapePlace(const std::vector<std::pair<std::string_view, int>>& words, Drawing& d) {
    for (const auto& [w, v] : words) {
        if (w == "shpleft") d.left = v;
        else if (w == "shptop") d.top = v;
        else if (w == "shpright") d.right = v;
        else if (w == "shpbottom") d.bottom = v;
        else if (w == "shpbxpage") d.fromX = Drawing::From::Page;
        else if (w == "shpbxmargin") d.fromX = Drawing::From::Margin;
        else if (w == "shpbxcolumn") d.fromX = Drawing::From::Column;
        else if (w == "shpbypage") d.fromY = Drawing::From::Page;
        else if (w == "shpbymargin") d.fromY = Drawing::From::Margin;
        else if (w == "shpbypara") d.fromY = Drawing::From::Paragraph;
        else if (w == "shpfblwtxt") d.behindText = v != 0;
    }
}

void ReadShape(const Document& doc, const Group& shp, int font, Drawing& d) {
    const Group* inst = shp.Kid("shpinst");
    const Group& g = inst ? *inst : shp;
    long long posrelh = -1, posrelv = -1;
    ReadShapePlace(shp.words, d);
    if (inst) ReadShapePlace(inst->words, d);
    long long type = 1;
    for (const Group& sp : g.kids) {
        if (sp.head != "sp") continue;
        const Group* sn = sp.Kid("sn");
        const Group* sv = sp.Kid("sv");
        if (!sn || !sv) continue;
        const std::string_view name = Trimmed(sn->body);
        const long long v = Number(Trimmed(sv->body));
        if (name == "shapeType") type = v;
        else if (name == "fillColor") d.fill = ShapeColor(v);
        else if (name == "lineColor") d.line = ShapeColor(v);
        else if (name == "lineWidth") d.lineWidth = static_cast<int>(std::clamp(v / 635, 0LL, 2000LL)); // EMU
        else if (name == "fFilled") d.filled = v != 0;
        else if (name == "fLine") d.lined = v != 0;
        else if (name == "fFlipH") d.flipH = v != 0;
        else if (name == "fFlipV") d.flipV = v != 0;
        else if (name == "fBehindDocument") d.behindText = v != 0;
        else if (name == "fShadow") d.shadow = v != 0;
        else if (name == "shadowColor") d.shadowColor = ShapeColor(v);
        else if (name == "shadowOffsetX") d.shadowX = static_cast<int>(std::clamp(v / 635, -2000LL, 2000LL)); // EMU
        else if (name == "shadowOffsetY") d.shadowY = static_cast<int>(std::clamp(v / 635, -2000LL, 2000LL));
        else if (name == "posrelh") posrelh = v;
        else if (name == "posrelv") posrelv = v;
    }
    // The relative position words of newer writers win over the box words.
    if (posrelh >= 0) d.fromX = posrelh == 1 ? Drawing::From::Page : posrelh == 0 ? Drawing::From::Margin : Drawing::From::Column;
    if (posrelv >= 0) d.fromY = posrelv == 1 ? Drawing::From::Page : posrelv == 0 ? Drawing::From::Margin : Drawing::From::Paragraph;
    d.type = ShapeType(type);
    if (d.shadow && d.shadowX == 0 && d.shadowY == 0) d.shadowX = d.shadowY = 40; // two points down and right
    if (const Group* text = g.Kid("shptxt")) {
        ReadText(doc, *text, font, d);
        if (d.type == Drawing::Type::Other) d.type = Drawing::Type::TextBox;
    }
}

void ReadOldDrawing(const Document& doc, const Group& g, int font, Drawing& d) {
    int x = 0, y = 0, w = 0, h = 0;
    int lr = 0, lg = 0, lb = 0, fr = 255, fg = 255, fb = 255, br = 255, bgc = 255, bb = 255, pattern = 0;
    std::vector<std::pair<int, int>> points;
    d.fromX = Drawing::From::Column;
    d.fromY = Drawing::From::Paragraph;
    d.type = Drawing::Type::Other;
    for (const auto& [word, v] : g.words) {
        if (word == "dobxpage") d.fromX = Drawing::From::Page;
        else if (word == "dobxmargin") d.fromX = Drawing::From::Margin;
        else if (word == "dobxcolumn") d.fromX = Drawing::From::Column;
        else if (word == "dobypage") d.fromY = Drawing::From::Page;
        else if (word == "dobymargin") d.fromY = Drawing::From::Margin;
        else if (word == "dobypara") d.fromY = Drawing::From::Paragraph;
        else if (word == "dpx") x = v;
        else if (word == "dpy") y = v;
        else if (word == "dpxsize") w = v;
        else if (word == "dpysize") h = v;
        else if (word == "dprect") d.type = Drawing::Type::Rectangle;
        else if (word == "dproundr") d.type = Drawing::Type::RoundRectangle;
        else if (word == "dpellipse") d.type = Drawing::Type::Ellipse;
        else if (word == "dpline") d.type = Drawing::Type::Line;
        else if (word == "dptxbx") d.type = Drawing::Type::TextBox;
        else if (word == "dpptx") points.emplace_back(v, 0);
        else if (word == "dppty" && !points.empty()) points.back().second = v;
        else if (word == "dplinew") d.lineWidth = v;
        else if (word == "dplinehollow") d.lined = false;
        else if (word == "dplinecor") lr = v;
        else if (word == "dplinecog") lg = v;
        else if (word == "dplinecob") lb = v;
        else if (word == "dpfillfgcr") fr = v;
        else if (word == "dpfillfgcg") fg = v;
        else if (word == "dpfillfgcb") fb = v;
        else if (word == "dpfillbgcr") br = v;
        else if (word == "dpfillbgcg") bgc = v;
        else if (word == "dpfillbgcb") bb = v;
        else if (word == "dpfillpat") pattern = v;
        else if (word == "dpshadow") d.shadow = true;
        else if (word == "dpshadx") d.shadowX = v;
        else if (word == "dpshady") d.shadowY = v;
    }
    auto rgb = [](int r, int gr, int b) {
        return static_cast<std::uint32_t>((std::clamp(r, 0, 255) << 16) | (std::clamp(gr, 0, 255) << 8) | std::clamp(b, 0, 255));
    };
    d.line = rgb(lr, lg, lb);
    // Pattern 0 is no fill; a solid one (1) is the foreground colour, any
    // other pattern shows as its background colour.
    d.filled = pattern != 0;
    d.fill = pattern == 1 ? rgb(fr, fg, fb) : rgb(br, bgc, bb);
    d.left = x;
    d.top = y;
    d.right = x + w;
    d.bottom = y + h;
    // A line runs between its two points: drawn from a corner of its box to
    // the opposite one, turned as the points go.
    if (d.type == Drawing::Type::Line && points.size() >= 2) {
        d.flipH = points[1].first < points[0].first;
        d.flipV = points[1].second < points[0].second;
    }
    if (const Group* text = g.Find("dptxbxtext")) ReadText(doc, *text, font, d);
}

// The linear text of an equation's part (and what it holds).
void Linear(const Document& doc, const Group& g, int font, std::u32string& out, int depth);

std::u32string LinearOf(const Document& doc, const Group* g, int font, int depth) {
    std::u32string s;
    if (g) Linear(doc, *g, font, s, depth + 1);
    return s;
}

// A part in parentheses when it is more than one thing.
std::u32string Operand(std::u32string s) {
    if (s.size() <= 1) return s;
    return U"(" + s + U")";
}

// A property character of an equation's part (\mbegChr, \mchr ...), or def.
std::u32string PropChar(const Document& doc, const Group& g, std::string_view word, std::u32string def, int font) {
    const Group* c = g.Find(word);
    if (!c) return def;
    std::u32string s = FieldResultText(doc, Trimmed(c->body), font);
    return s.empty() ? def : s;
}

void Linear(const Document& doc, const Group& g, int font, std::u32string& out, int depth) {
    if (depth > kDeepest) return;
    const std::string_view h = g.head;
    if (h == "mr") {
        out += FieldResultText(doc, g.body, font);
        return;
    }
    // Properties, the picture for readers that know no equations: no text.
    if ((h.size() > 2 && h.ends_with("Pr")) || h == "mmathPict" || h == "shppict" || h == "nonshppict" || h == "pict") return;
    auto kid = [&](std::string_view w) { return LinearOf(doc, g.Kid(w), font, depth); };
    if (h == "mf") {
        out += Operand(kid("mnum")) + U"/" + Operand(kid("mden"));
    } else if (h == "msSup") {
        out += kid("me") + U"^" + Operand(kid("msup"));
    } else if (h == "msSub") {
        out += kid("me") + U"_" + Operand(kid("msub"));
    } else if (h == "msSubSup") {
        out += kid("me") + U"_" + Operand(kid("msub")) + U"^" + Operand(kid("msup"));
    } else if (h == "mrad") {
        out += U"\u221A" + Operand(kid("me"));
    } else if (h == "mnary") {
        out += PropChar(doc, g, "mchr", U"\u222B", font);
        if (std::u32string s = kid("msub"); !s.empty()) out += U"_" + Operand(s);
        if (std::u32string s = kid("msup"); !s.empty()) out += U"^" + Operand(s);
        // Its operand in brackets when it is more than one thing: it would
        // run into the limits.
        out += Operand(kid("me"));
    } else if (h == "md") {
        out += PropChar(doc, g, "mbegChr", U"(", font);
        const std::u32string sep = PropChar(doc, g, "msepChr", U"|", font);
        bool first = true;
        for (const Group& k : g.kids) {
            if (k.head != "me") continue;
            if (!first) out += sep;
            first = false;
            Linear(doc, k, font, out, depth + 1);
        }
        out += PropChar(doc, g, "mendChr", U")", font);
    } else {
        for (const Group& k : g.kids) Linear(doc, k, font, out, depth + 1);
    }
}

std::string_view HeadWord(std::string_view group) {
    Lexer lex(group);
    Token t;
    lex.Next(t);
    if (t.type != Token::Open) return {};
    lex.Next(t);
    if (t.type == Token::Symbol && t.name == "*") lex.Next(t);
    return t.type == Token::Word ? t.name : std::string_view{};
}

} // namespace

std::optional<Drawing> ParseDrawing(const Document& doc, std::string_view group, int font) {
    if (!IsDrawing(group)) return std::nullopt;
    const Group tree = ReadTree(group);
    Drawing d;
    if (tree.head == "do") ReadOldDrawing(doc, tree, font, d);
    else ReadShape(doc, tree, font, d);
    return d;
}

std::vector<Drawing> StoryDrawings(const Document& doc, const Story& story) {
    std::vector<Drawing> out;
    for (std::size_t i = 0; i < story.size(); ++i) {
        const Atom& a = story[i];
        if (a.Kind() != AtomKind::Opaque) continue;
        const std::string& g = doc.Opaque(a.value);
        if (g.size() < 4 || g[0] != '{') continue;
        if (auto d = ParseDrawing(doc, g, doc.Format(a.fmt).font)) {
            d->pos = static_cast<long>(i);
            out.push_back(std::move(*d));
        }
    }
    return out;
}

bool IsDrawing(std::string_view group) {
    // A picture shape shows as its picture, in the text where it stands.
    const std::string_view head = HeadWord(group);
    return head == "do" || (head == "shp" && ParsePicture(group).kind == Picture::Kind::None);
}

int NoteKind(std::string_view group) {
    if (HeadWord(group) != "footnote") return 0;
    const Group tree = ReadTree(group);
    for (const auto& [w, v] : tree.words)
        if (w == "ftnalt") return 2;
    return 1;
}

std::u32string NoteMark(const Document& doc, bool endnote, int n) {
    // Endnotes as the document numbers them: lower-case roman, letters or
    // the default arabic figures; footnotes in figures.
    const std::string& words = doc.preamble;
    auto stated = [&](std::string_view w) {
        const std::size_t p = words.find(w);
        return p != std::string::npos && (p + w.size() >= words.size() || !rtf::IsLetter(words[p + w.size()]));
    };
    std::u32string s;
    if (endnote && stated("\\aftnnrlc") && n < 4000) {
        static constexpr std::pair<int, const char32_t*> kRoman[] = {{1000, U"m"}, {900, U"cm"}, {500, U"d"}, {400, U"cd"},
                                                                      {100, U"c"},  {90, U"xc"},  {50, U"l"},  {40, U"xl"},
                                                                      {10, U"x"},   {9, U"ix"},   {5, U"v"},   {4, U"iv"},
                                                                      {1, U"i"}};
        for (const auto& [v, r] : kRoman)
            for (; n >= v; n -= v) s += r;
        return s;
    }
    if (endnote && stated("\\aftnnalc") && n >= 1 && n <= 26) return std::u32string(1, static_cast<char32_t>(U'a' + n - 1));
    for (char c : std::to_string(n)) s += static_cast<char32_t>(c);
    return s;
}

std::vector<Note> StoryNotes(const Document& doc, const Story& story) {
    std::vector<Note> out;
    int counts[2] = {0, 0};
    for (std::size_t i = 0; i < story.size(); ++i) {
        const Atom& a = story[i];
        if (a.Kind() != AtomKind::Opaque) continue;
        const std::string& g = doc.Opaque(a.value);
        const int kind = NoteKind(g);
        if (!kind) continue;
        Note n;
        n.pos = static_cast<long>(i);
        n.endnote = kind == 2;
        n.mark = NoteMark(doc, n.endnote, ++counts[kind - 1]);
        const Group tree = ReadTree(g);
        n.text = FieldResultText(doc, tree.body, doc.Format(a.fmt).font);
        // The note's own reference mark (\chftn) shows as its number.
        std::size_t k = 0;
        while (k < n.text.size() && (n.text[k] == U' ' || n.text[k] == U'\r')) ++k;
        n.text.erase(0, k);
        while (!n.text.empty() && (n.text.back() == U'\r' || n.text.back() == U' ')) n.text.pop_back();
        out.push_back(std::move(n));
    }
    return out;
}

bool IsEquation(std::string_view group) {
    const std::string_view h = HeadWord(group);
    return h == "mmath" || h == "mmathPara" || h == "moMath" || h == "moMathPara";
}

std::u32string EquationText(const Document& doc, std::string_view group, int font) {
    std::u32string out;
    Linear(doc, ReadTree(group), font, out, 0);
    return out;
}

} // namespace qz::word
