#include "platform/word/Formats.h"

#include "platform/word/Document.h"
#include "platform/word/RtfDecoder.h"
#include "platform/word/RtfLexer.h"
#include "platform/word/Utf8.h"

#include <algorithm>
#include <array>
#include <optional>

namespace qz::word {

namespace {

using rtf::Lexer;
using rtf::Token;

// The groups of paragraph words that each set one property of ParaFormat.
enum class ParaWord { None, Align, Left, Right, First, Before, After, Line, PageBreak, Tab, List };

ParaWord ParaWordOf(std::string_view w) {
    if (w == "ql" || w == "qc" || w == "qr" || w == "qj" || w == "qd") return ParaWord::Align;
    if (w == "li" || w == "lin") return ParaWord::Left;
    if (w == "ri" || w == "rin") return ParaWord::Right;
    if (w == "fi") return ParaWord::First;
    if (w == "sb") return ParaWord::Before;
    if (w == "sa") return ParaWord::After;
    if (w == "sl" || w == "slmult") return ParaWord::Line;
    if (w == "pagebb") return ParaWord::PageBreak;
    if (w == "ls" || w == "ilvl") return ParaWord::List;
    if (w == "tx" || w == "tb" || w.starts_with("tq") || w.starts_with("tl")) return ParaWord::Tab;
    return ParaWord::None;
}

// Calls f(token, depth) for every token of `props`, depth counting the
// groups the token is in (a group's opening brace counts as inside it,
// its closing brace as outside).
template <typename F>
void ForTopWords(std::string_view props, F&& f) {
    Lexer lex(props);
    int depth = 0;
    for (Token t; lex.Next(t), t.type != Token::End;) {
        if (t.type == Token::Open) ++depth;
        else if (t.type == Token::Close) depth = std::max(0, depth - 1);
        f(t, depth);
    }
}

void AppendWord(std::string& out, std::string_view word, int value) {
    out += '\\';
    out += word;
    out += std::to_string(value);
}

} // namespace

namespace {

// The line style a border word names; nothing for a word of no style.
std::optional<BorderStyle> StyleOf(std::string_view w) {
    using S = BorderStyle;
    static constexpr std::pair<std::string_view, S> kStyles[] = {
        {"brdrs", S::Single},         {"brdrth", S::Single},        {"brdrsh", S::Single},
        {"brdrhair", S::Single},      {"brdrdb", S::Double},        {"brdrthtnsg", S::ThickThin},
        {"brdrthtnmg", S::ThickThin}, {"brdrthtnlg", S::ThickThin}, {"brdrtnthsg", S::ThinThick},
        {"brdrtnthmg", S::ThinThick}, {"brdrtnthlg", S::ThinThick}, {"brdrtnthtnsg", S::ThinThickThin},
        {"brdrtnthtnmg", S::ThinThickThin}, {"brdrtnthtnlg", S::ThinThickThin}, {"brdrtriple", S::Triple},
        {"brdrinset", S::Inset},      {"brdroutset", S::Outset},    {"brdremboss", S::Emboss},
        {"brdrengrave", S::Engrave},  {"brdrdot", S::Dotted},       {"brdrdash", S::Dashed},
        {"brdrdashsm", S::Dashed},    {"brdrdashd", S::Dashed},     {"brdrdashdd", S::Dashed},
    };
    for (const auto& [word, style] : kStyles)
        if (w == word) return style;
    return std::nullopt;
}

// Reads border words: a side word (\brdrt, \clbrdrl, \box ...) chooses the
// sides that the line words after it (\brdrw, \brdrcf, the style) describe.
struct BorderReader {
    Border* sides;   // four: top, left, bottom, right
    int current = -1; // the side being described, 4: all of them (\box)
    // Whether the word was a border word.
    bool Read(std::string_view w, int v, std::string_view prefix) {
        if (w.starts_with(prefix) && w.size() == prefix.size() + 1 && std::string_view("tlbr").find(w.back()) != std::string_view::npos) {
            const char side = w.back();
            current = side == 't' ? 0 : side == 'l' ? 1 : side == 'b' ? 2 : 3;
            if (sides[current].width == 0) sides[current].width = 15;
            return true;
        }
        if (w == "box" && prefix == "brdr") {
            current = 4;
            for (int k = 0; k < 4; ++k)
                if (sides[k].width == 0) sides[k].width = 15;
            return true;
        }
        if (current < 0 || !w.starts_with("brdr")) return false;
        auto each = [&](auto&& f) {
            for (int k = current == 4 ? 0 : current; k <= (current == 4 ? 3 : current); ++k) f(sides[k]);
        };
        if (w == "brdrw") each([&](Border& b) { b.width = std::clamp(v, 1, 1440); });
        else if (w == "brdrcf") each([&](Border& b) { b.color = std::max(0, v); });
        else if (w == "brdrnone" || w == "brdrnil" || w == "brdrtbl") each([&](Border& b) { b.width = 0; });
        else if (w == "brdrth") each([&](Border& b) { b.width = std::max(b.width, 30); });
        else if (const std::optional<BorderStyle> style = StyleOf(w)) each([&](Border& b) { b.style = *style; });
        return true;
    }
};

} // namespace

ParaFormat ParseParaFormat(std::string_view props) {
    ParaFormat f;
    TabKind kind = TabKind::Left;
    TabLeader leader = TabLeader::None;
    BorderReader borders{f.borders};
    ForTopWords(props, [&](const Token& t, int depth) {
        if (depth > 0 || t.type != Token::Word) return;
        const std::string_view w = t.name;
        const int v = t.param;
        if (borders.Read(w, v, "brdr")) return;
        if (w == "brsp") f.borderSpace = std::clamp(v, 0, 1440);
        else if (w == "cbpat") f.shading = std::max(0, v);
        else if (w == "ql") f.alignment = Alignment::Left;
        else if (w == "qc") f.alignment = Alignment::Center;
        else if (w == "qr") f.alignment = Alignment::Right;
        else if (w == "qj" || w == "qd") f.alignment = Alignment::Justify;
        else if (w == "li" || w == "lin") f.leftIndent = v;
        else if (w == "ri" || w == "rin") f.rightIndent = v;
        else if (w == "fi") f.firstIndent = v;
        else if (w == "sb") f.spaceBefore = v;
        else if (w == "sa") f.spaceAfter = v;
        else if (w == "sl") f.lineSpacing = v;
        else if (w == "slmult") f.lineMultiple = v != 0;
        else if (w == "pagebb") f.pageBreakBefore = !t.hasParam || v != 0;
        else if (w == "ls") f.list = std::max(0, v);
        else if (w == "ilvl") f.listLevel = std::clamp(v, 0, 8);
        else if (w == "tqr") kind = TabKind::Right;
        else if (w == "tqc") kind = TabKind::Center;
        else if (w == "tqdec") kind = TabKind::Decimal;
        else if (w == "tldot" || w == "tlmdot") leader = TabLeader::Dots;
        else if (w == "tlhyph") leader = TabLeader::Hyphens;
        else if (w == "tlul") leader = TabLeader::Underline;
        else if (w == "tlth") leader = TabLeader::Thick;
        else if (w == "tleq") leader = TabLeader::Equals;
        else if (w == "tx" || w == "tb") {
            f.tabs.push_back(TabStop{v, w == "tb" ? TabKind::Bar : kind, leader});
            kind = TabKind::Left;
            leader = TabLeader::None;
        }
    });
    // \sl0 (or none) is single spacing whatever \slmult says.
    if (f.lineSpacing == 0) f.lineMultiple = false;
    std::stable_sort(f.tabs.begin(), f.tabs.end(), [](const TabStop& a, const TabStop& b) { return a.position < b.position; });
    return f;
}

std::string WithParaFormat(std::string_view props, const ParaFormat& format) {
    const ParaFormat old = ParseParaFormat(props);
    if (old == format) return std::string(props);
    std::array<bool, 11> changed{};
    auto set = [&](ParaWord w, bool c) { changed[static_cast<std::size_t>(w)] = c; };
    set(ParaWord::Align, old.alignment != format.alignment);
    set(ParaWord::Left, old.leftIndent != format.leftIndent);
    set(ParaWord::Right, old.rightIndent != format.rightIndent);
    set(ParaWord::First, old.firstIndent != format.firstIndent);
    set(ParaWord::Before, old.spaceBefore != format.spaceBefore);
    set(ParaWord::After, old.spaceAfter != format.spaceAfter);
    set(ParaWord::Line, old.lineSpacing != format.lineSpacing || old.lineMultiple != format.lineMultiple);
    set(ParaWord::PageBreak, old.pageBreakBefore != format.pageBreakBefore);
    set(ParaWord::Tab, old.tabs != format.tabs);
    set(ParaWord::List, old.list != format.list || old.listLevel != format.listLevel);

    // The words of the changed properties go; everything else is copied.
    std::string out;
    out.reserve(props.size() + 32);
    ForTopWords(props, [&](const Token& t, int depth) {
        if (depth == 0 && t.type == Token::Word && changed[static_cast<std::size_t>(ParaWordOf(t.name))]) return;
        out.append(t.start, t.end);
    });
    // A kept word that ended the text without a blank is ended by the next
    // backslash; nothing else is needed between words.
    auto on = [&](ParaWord w) { return changed[static_cast<std::size_t>(w)]; };
    if (on(ParaWord::Align)) {
        static constexpr std::string_view kAlign[] = {"\\ql", "\\qc", "\\qr", "\\qj"};
        out += kAlign[static_cast<std::size_t>(format.alignment)];
    }
    if (on(ParaWord::Left)) AppendWord(out, "li", format.leftIndent);
    if (on(ParaWord::Right)) AppendWord(out, "ri", format.rightIndent);
    if (on(ParaWord::First)) AppendWord(out, "fi", format.firstIndent);
    if (on(ParaWord::Before)) AppendWord(out, "sb", format.spaceBefore);
    if (on(ParaWord::After)) AppendWord(out, "sa", format.spaceAfter);
    if (on(ParaWord::Line)) {
        AppendWord(out, "sl", format.lineSpacing);
        AppendWord(out, "slmult", format.lineMultiple ? 1 : 0);
    }
    if (on(ParaWord::PageBreak)) out += format.pageBreakBefore ? "\\pagebb" : "\\pagebb0";
    if (on(ParaWord::List) && format.list > 0) {
        AppendWord(out, "ls", format.list);
        AppendWord(out, "ilvl", format.listLevel);
    }
    if (on(ParaWord::Tab)) {
        static constexpr std::string_view kKind[] = {"", "\\tqc", "\\tqr", "\\tqdec", ""};
        static constexpr std::string_view kLeader[] = {"", "\\tldot", "\\tlhyph", "\\tlul", "\\tlth", "\\tleq"};
        for (const TabStop& t : format.tabs) {
            out += kLeader[static_cast<std::size_t>(t.leader)];
            out += kKind[static_cast<std::size_t>(t.kind)];
            AppendWord(out, t.kind == TabKind::Bar ? "tb" : "tx", t.position);
        }
    }
    return out;
}

RowFormat ParseRowFormat(std::string_view row) {
    RowFormat r;
    CellFormat cell; // the cell whose words are being read: \cellx ends it
    BorderReader borders{cell.borders};
    ForTopWords(row, [&](const Token& t, int depth) {
        if (depth > 0 || t.type != Token::Word) return;
        const std::string_view w = t.name;
        if (w == "trowd") {
            r = RowFormat{};
            cell = CellFormat{};
            borders.current = -1;
        } else if (w == "trleft") r.leftEdge = t.param;
        else if (w == "trgaph") r.cellGap = t.param;
        else if (w == "trrh") r.height = std::clamp(t.param, -31680, 31680);
        else if (w == "cellx") {
            cell.right = t.param;
            r.cellRights.push_back(t.param);
            r.cells.push_back(cell);
            cell = CellFormat{};
            borders.current = -1;
        } else if (w == "clcbpat") cell.shading = std::max(0, t.param);
        else if (w == "clmgf") cell.mergeFirst = true;
        else if (w == "clmrg") cell.merged = true;
        else if (w == "clvmgf") cell.vmergeFirst = true;
        else if (w == "clvmrg") cell.vmerged = true;
        else if (w.starts_with("clbrdr") || (w.starts_with("brdr") && borders.current >= 0)) {
            if (w.starts_with("clbrdr")) borders.Read(w.substr(2), t.param, "brdr");
            else borders.Read(w, t.param, "brdr");
        } else {
            // Row border words (\trbrdrt ...) describe no cell.
            if (w.starts_with("trbrdr")) borders.current = -1;
        }
    });
    return r;
}

RowWords SplitRowWords(std::string_view row) {
    RowWords r;
    std::string part; // the words of the part being read
    bool inCells = false;
    ForTopWords(row, [&](const Token& t, int depth) {
        if (depth == 0 && t.type == Token::Word && t.name == "cellx") {
            r.cells.push_back({std::move(part), t.param});
            part.clear();
            inCells = true;
            return;
        }
        if (!inCells && depth == 0 && t.type == Token::Word && t.name.starts_with("cl")) {
            r.head = std::move(part);
            part.clear();
            inCells = true;
        }
        part.append(t.start, t.end);
    });
    (inCells ? r.tail : r.head) = std::move(part);
    return r;
}

std::string JoinRowWords(const RowWords& row) {
    std::string out = row.head;
    for (const RowWords::Cell& c : row.cells) {
        out += c.words;
        AppendWord(out, "cellx", c.right);
    }
    return out + row.tail;
}

std::string WithoutCellWords(std::string_view words, std::initializer_list<std::string_view> remove, bool borders) {
    std::string out;
    bool inBorder = false; // the words of a border line being left out
    ForTopWords(words, [&](const Token& t, int depth) {
        if (depth == 0 && t.type == Token::Word) {
            const std::string_view w = t.name;
            if (borders && (w == "clbrdrt" || w == "clbrdrl" || w == "clbrdrb" || w == "clbrdrr")) {
                inBorder = true;
                return;
            }
            if (inBorder && (w.starts_with("brdr") || w == "brsp")) return;
            inBorder = false;
            if (std::find(remove.begin(), remove.end(), w) != remove.end()) return;
        }
        out.append(t.start, t.end);
    });
    return out;
}

std::string WithWord(std::string_view words, std::string_view word, int value) {
    std::string out;
    out.reserve(words.size() + word.size() + 8);
    ForTopWords(words, [&](const Token& t, int depth) {
        if (depth == 0 && t.type == Token::Word && t.name == word) return;
        out.append(t.start, t.end);
    });
    if (value >= 0) AppendWord(out, word, value);
    return out;
}

CharLook ParseCharLook(std::string_view words) {
    CharLook c;
    ForTopWords(words, [&](const Token& t, int depth) {
        if (depth > 0 || t.type != Token::Word) return;
        const std::string_view w = t.name;
        const bool on = !t.hasParam || t.param != 0;
        if (w == "strike" || w == "striked") c.strike = on;
        else if (w == "scaps") c.smallCaps = on;
        else if (w == "caps") c.allCaps = on;
        else if (w == "super") c.vertical = 1;
        else if (w == "sub") c.vertical = -1;
        else if (w == "nosupersub") c.vertical = 0;
        else if (w == "up") c.vertical = on ? 1 : 0;
        else if (w == "dn") c.vertical = on ? -1 : 0;
        else if (w == "highlight") c.highlight = std::max(0, t.param);
        else if (w == "cb" || w == "chcbpat") c.shading = std::max(0, t.param);
        else if (w == "uldb") c.doubleUnderline = on;
        else if (w == "expndtw") c.spacing = std::clamp(t.param, -31680, 31680);
        else if (w == "expnd") c.spacing = std::clamp(t.param, -6336, 6336) * 5; // quarter points
    });
    return c;
}

PageSetup ParsePageSetup(std::string_view documentWords, std::string_view sectionWords) {
    PageSetup p;
    auto read = [&](std::string_view words, bool section) {
        ForTopWords(words, [&](const Token& t, int depth) {
            if (depth > 0 || t.type != Token::Word) return;
            std::string_view w = t.name;
            if (section) {
                if (!w.ends_with("sxn")) {
                    if (w == "headery") p.header = t.param;
                    else if (w == "footery") p.footer = t.param;
                    else if (w == "titlepg") p.titlePage = !t.hasParam || t.param != 0;
                    else if (w.starts_with("sbk")) p.continuous = w == "sbknone";
                    return;
                }
                w.remove_suffix(3);
                if (w == "lndscp") w = "landscape";
                else if (w == "pgw") w = "paperw";
                else if (w == "pgh") w = "paperh";
            }
            // Sizes below an inch or above 22 inches are no paper: ignored.
            const int v = t.param;
            const bool size = v >= 1440 && v <= 31680;
            const bool margin = v >= 0 && v <= 31680;
            if (w == "paperw" && size) p.width = v;
            else if (w == "paperh" && size) p.height = v;
            else if (w == "margl" && margin) p.left = v;
            else if (w == "margr" && margin) p.right = v;
            else if (w == "margt" && margin) p.top = v;
            else if (w == "margb" && margin) p.bottom = v;
            else if (w == "landscape") p.landscape = !t.hasParam || v != 0;
            else if (w == "deftab" && v >= 36 && v <= 14400) p.defaultTab = v;
        });
    };
    read(documentWords, false);
    read(sectionWords, true);
    // Margins that leave no room for text are shrunk to leave some.
    auto fit = [](int& a, int& b, int total) {
        if (a + b > total - 720) {
            a = std::min(a, (total - 720) / 2);
            b = std::min(b, (total - 720) / 2);
        }
    };
    fit(p.left, p.right, p.width);
    fit(p.top, p.bottom, p.height);
    return p;
}

namespace {

// Skips the rest of a group whose opening brace has been read.
void SkipGroup(Lexer& lex) {
    int depth = 1;
    for (Token t; depth > 0 && (lex.Next(t), t.type != Token::End);) {
        if (t.type == Token::Open) ++depth;
        else if (t.type == Token::Close) --depth;
        else if (t.type == Token::Word && t.name == "bin" && t.param > 0)
            lex.Seek(t.end + std::min<long long>(t.param, lex.BufferEnd() - t.end));
    }
}

// The first control word of a group whose brace has been read, and whether
// it was starred; the lexer is left after that word. false when the group
// starts with something else (the lexer then stands where it stood).
bool GroupWord(Lexer& lex, std::string_view& word, bool& starred) {
    const char* at = lex.Position();
    Token t;
    lex.Next(t);
    starred = t.type == Token::Symbol && t.name == "*";
    if (starred) lex.Next(t);
    if (t.type == Token::Word) {
        word = t.name;
        return true;
    }
    lex.Seek(at);
    return false;
}

// The body of a {\pict} group, its opening word read.
Picture ReadPict(Lexer& lex) {
    Picture p;
    p.kind = Picture::Kind::Other;
    int picw = 0, pich = 0, goalw = 0, goalh = 0, scalex = 100, scaley = 100;
    int high = -1; // a hex digit waiting for its pair
    for (Token t; lex.Next(t), t.type != Token::End;) {
        if (t.type == Token::Close) break;
        if (t.type == Token::Open) {
            SkipGroup(lex); // {\*\picprop}, {\*\blipuid}
            continue;
        }
        if (t.type == Token::Byte) {
            const int h = rtf::HexValue(static_cast<char>(t.byte));
            if (h < 0 || t.escaped) continue;
            if (high < 0) high = h;
            else {
                p.data += static_cast<char>(high * 16 + h);
                high = -1;
            }
            continue;
        }
        if (t.type != Token::Word) continue;
        const std::string_view w = t.name;
        if (w == "picw") picw = t.param;
        else if (w == "pich") pich = t.param;
        else if (w == "picwgoal") goalw = t.param;
        else if (w == "pichgoal") goalh = t.param;
        else if (w == "picscalex") scalex = t.param;
        else if (w == "picscaley") scaley = t.param;
        else if (w == "pngblip") p.kind = Picture::Kind::Png;
        else if (w == "jpegblip") p.kind = Picture::Kind::Jpeg;
        else if (w == "emfblip") p.kind = Picture::Kind::Emf;
        else if (w == "wmetafile") p.kind = Picture::Kind::Wmf;
        else if (w == "dibitmap") p.kind = Picture::Kind::Dib;
        else if (w == "wbitmap") p.kind = Picture::Kind::Bitmap;
        else if (w == "bin" && t.param > 0) {
            const long long n = std::min<long long>(t.param, lex.BufferEnd() - t.end);
            p.data.append(t.end, static_cast<std::size_t>(n));
            lex.Seek(t.end + n);
        }
    }
    // The size it shows at: the goal size, else the picture's own (pixels
    // for bitmaps, hundredths of a millimetre for metafiles).
    const bool metafile = p.kind == Picture::Kind::Emf || p.kind == Picture::Kind::Wmf;
    auto own = [&](int v) { return metafile ? static_cast<int>(v * 1440LL / 2540) : v * 15; };
    const long long w = goalw > 0 ? goalw : own(std::max(picw, 0));
    const long long h = goalh > 0 ? goalh : own(std::max(pich, 0));
    p.width = static_cast<int>(std::clamp(w * std::clamp(scalex, 1, 10000) / 100, 0LL, 2000000LL));
    p.height = static_cast<int>(std::clamp(h * std::clamp(scaley, 1, 10000) / 100, 0LL, 2000000LL));
    return p;
}

} // namespace

Picture ParsePicture(std::string_view group) {
    Lexer lex(group);
    for (Token t; lex.Next(t), t.type != Token::End;) {
        if (t.type != Token::Open) continue;
        std::string_view w;
        bool starred = false;
        if (!GroupWord(lex, w, starred)) continue;
        if (w == "pict") return ReadPict(lex);
        // Descend into \shppict and plain groups (an object's result); the
        // copy for old readers and other optional groups show nothing.
        if (w == "nonshppict" || (starred && w != "shppict")) SkipGroup(lex);
    }
    return {};
}

std::u32string FieldResultText(const Document& doc, std::string_view result, int font) {
    struct State {
        int font;
        int uc = 1;
    };
    std::u32string out;
    std::vector<State> stack;
    State st{font};
    rtf::ByteCharset charset;
    auto useFont = [&](int f) {
        st.font = f;
        const FontDef* def = doc.FontByNumber(f >= 0 ? f : doc.deff);
        charset = rtf::ByteCharset::OfFont(def ? def->charset : 1, doc.ansiCodePage, true);
    };
    useFont(font);
    rtf::UnicodeText unicode;
    auto put = [&](char32_t c) {
        if (unicode.Orphan()) out += 0xFFFD;
        out += c;
    };
    Lexer lex(result);
    for (Token t; lex.Next(t), t.type != Token::End;) {
        if (unicode.SkipsFallback(t)) continue;
        switch (t.type) {
        case Token::Open: {
            std::string_view w;
            bool starred = false;
            const bool word = GroupWord(lex, w, starred);
            if (word && (starred || (rtf::IsDestinationWord(w) && w != "field" && w != "fldrslt"))) {
                SkipGroup(lex);
                break;
            }
            stack.push_back(st);
            if (word) lex.Seek(t.end); // its first word is formatting: read it again
            break;
        }
        case Token::Close:
            if (!stack.empty()) {
                useFont(stack.back().font);
                st = stack.back();
                stack.pop_back();
            }
            break;
        case Token::Byte: {
            if (charset.LeadsPair(t.byte)) {
                // The lead of a pair: the next byte is its trail.
                const char* at = lex.Position();
                Token trail;
                lex.Next(trail);
                if (trail.type == Token::Byte) put(charset.DecodePair(t.byte, trail.byte));
                else {
                    lex.Seek(at);
                    put(0xFFFD);
                }
                break;
            }
            if (t.byte < 0x20) {
                if (t.byte == '\t') put(U'\t');
                break;
            }
            put(charset.Decode(t.byte));
            break;
        }
        case Token::Symbol:
        case Token::BadEscape:
            if (const char32_t c = rtf::SymbolCharacter(t.name); c && c != 0xAD) put(c);
            break;
        case Token::Word: {
            const std::string_view w = t.name;
            if (w == "u") {
                unicode.Unit(t, st.uc, put);
            } else if (w == "uc") {
                st.uc = rtf::FallbackLength(t.param);
            } else if (w == "f") {
                useFont(t.hasParam ? t.param : doc.deff);
            } else if (w == "plain") {
                useFont(font);
            } else if (w == "par" || w == "sect" || w == "row") {
                put(U'\r');
            } else if (w == "cell") {
                put(U'\t');
            } else if (w == "bin") {
                lex.Seek(t.end + std::clamp<long long>(t.param, 0, lex.BufferEnd() - t.end));
            } else if (const char32_t c = rtf::SpecialCharacter(w); c && c != 0x0C && c != 0x0E) {
                put(c);
            }
            break;
        }
        case Token::End: break;
        }
    }
    if (unicode.Orphan()) out += 0xFFFD;
    return out;
}

} // namespace qz::word
