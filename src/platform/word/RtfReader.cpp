// RTF in: reads what word processors write into the document model.
//
// Text, character formats, paragraph ends and fields become atoms; what the
// model does not understand is kept: paragraph, row and section properties as
// verbatim control words, unknown character properties in the format's
// extra words, and groups (pictures, objects, bookmarks, list texts, ...) as
// opaque atoms re-emitted unchanged. Headers and footers become stories of
// their section. SYMBOL fields become symbol atoms.
#include "platform/word/Application.h"
#include "platform/word/Document.h"
#include "platform/word/Drawings.h"
#include "platform/word/Range.h"
#include "platform/word/RtfDecoder.h"
#include "platform/word/RtfLexer.h"
#include "platform/word/Utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace qz::word {

namespace {

using rtf::IsDigit;


bool In(std::string_view w, std::initializer_list<std::string_view> set) {
    return std::find(set.begin(), set.end(), w) != set.end();
}

// Paragraph and table-row properties: kept with the paragraph end.
bool IsParaWord(std::string_view w) {
    if (In(w, {"s", "ql", "qc", "qr", "qj", "qd", "li", "ri", "fi", "lin", "rin", "sb", "sa", "sl",
               "slmult", "sbauto", "saauto", "keep", "keepn", "widctlpar", "nowidctlpar", "intbl",
               "itap", "ls", "ilvl", "outlinelevel", "pagebb", "noline", "hyphpar", "nohyphpar",
               "ltrpar", "rtlpar", "adjustright", "nosnaplinegrid", "snaptogrid", "contextualspace",
               "box", "shading", "cbpat", "cfpat", "pararsid", "yts", "lisa", "lisb", "wrapdefault",
               "nooverflow", "nocwrap", "nowwrap", "qk", "qt", "ilfomacatclnup", "cellx", "lastrow",
               "nestcell", "nesttableprops"}))
        return true;
    for (std::string_view p : {"tr", "cl", "brdr", "brsp", "tbl", "tx", "tq", "tl", "tb", "fa", "asp",
                               "bg", "pn", "posx", "posy", "abs", "dx", "dy", "dfrm", "phmrg", "pvmrg",
                               "pvpg", "phpg", "phcol", "pvpara", "wrap", "nestrow", "trowd"})
        if (w.starts_with(p)) return true;
    return false;
}

// Section properties: kept with the section.
bool IsSectWord(std::string_view w) {
    if (w.size() > 3 && w.substr(w.size() - 3) == "sxn") return true;
    if (In(w, {"cols", "colsx", "colno", "colsr", "colw", "linemod", "linex", "linestarts",
               "linerestart", "lineppage", "linecont", "titlepg", "headery", "footery", "endnhere",
               "ltrsect", "rtlsect", "stextflow", "sectunlocked", "sectdefaultcl", "sectlinegrid",
               "sectspecifycl", "sectspecifygen", "sectspecifyl", "sectexpand", "sectrsid",
               "binfsxn", "binsxn", "linebetcol", "pgnrestart", "pgncont"}))
        return true;
    for (std::string_view p : {"sbk", "pgn", "pgbrdr", "vertal", "sftn", "saftn", "srauth", "srdate"})
        if (w.starts_with(p)) return true;
    return false;
}

// Which bytes lead a double-byte pair in a double-byte code page (nullptr
// for others).
const bool* LeadBytes(int codePage) {
    static const auto tables = [] {
        std::array<std::array<bool, 256>, 4> t{};
        const int pages[4] = {932, 936, 949, 950};
        for (std::size_t k = 0; k < 4; ++k)
            for (int b = 0; b < 256; ++b) t[k][static_cast<std::size_t>(b)] = IsDbcsLeadByte(pages[k], static_cast<unsigned char>(b));
        return t;
    }();
    switch (codePage) {
    case 932: return tables[0].data();
    case 936: return tables[1].data();
    case 949: return tables[2].data();
    case 950: return tables[3].data();
    default: return nullptr;
    }
}

// Document properties (notes, page, view) that some writers state after the
// first section's properties.
bool IsDocumentWord(std::string_view w) {
    if ((w.starts_with("ftn") || w.starts_with("aftn")) && !w.starts_with("ftnalt")) return true;
    return In(w, {"enddoc", "endnotes", "aenddoc", "aendnotes", "htmautsp", "formshade", "deftab", "hyphauto",
                  "hyphhotz", "hyphcaps", "viewscale", "viewkind", "paperw", "paperh", "margl", "margr", "margt",
                  "margb", "gutter", "facingp", "landscape", "widowctrl", "margmirror"});
}

using rtf::Token;

// Calls word(t) for each control word of the group the lexer is in (not of
// the groups inside it), up to the group's end.
template <class F>
void ForGroupWords(rtf::Lexer& lex, F&& word) {
    int depth = 1;
    for (Token t; depth > 0;) {
        lex.Next(t);
        if (t.type == Token::End) return;
        if (t.type == Token::Open) ++depth;
        else if (t.type == Token::Close) --depth;
        else if (depth == 1 && t.type == Token::Word) word(t);
    }
}

// The character words of the group the lexer is in, applied to f: font,
// size, bold, italic.
void ApplyGroupWords(rtf::Lexer& lex, CharFormat& f) {
    ForGroupWords(lex, [&f](const Token& t) {
        if (t.name == "f" && t.hasParam) f.font = t.param;
        else if (t.name == "fs" && t.hasParam) f.size = std::clamp(t.param, 0, 3276);
        else if (t.name == "b") f.bold = !t.hasParam || t.param != 0;
        else if (t.name == "i") f.italic = !t.hasParam || t.param != 0;
    });
}

// Whether the style group the lexer is in (after its brace) is the Normal
// paragraph style: numbered \s0, or numbered not at all. The lexer is left
// where it was.
bool IsNormalStyle(rtf::Lexer& lex) {
    const char* from = lex.Position();
    bool normal = true;
    ForGroupWords(lex, [&normal](const Token& t) {
        if (In(t.name, {"s", "cs", "ds", "ts"})) normal = normal && t.name == "s" && t.param == 0;
    });
    lex.Seek(from);
    return normal;
}

// The document's default character format, from the head's groups: the
// default character properties (\defchp) under the Normal style's words.
CharFormat DefaultCharacters(std::string_view head) {
    const char* defchp = nullptr; // where each group's words start
    const char* normal = nullptr;
    rtf::Lexer lex(head);
    for (Token t; lex.Next(t), t.type != Token::End;) {
        if (t.type != Token::Open) continue;
        Token n = lex.Next();
        if (n.type == Token::Symbol && n.name == "*") n = lex.Next();
        if (n.type != Token::Word) continue;
        if (n.name == "defchp") {
            defchp = lex.Position();
        } else if (n.name == "stylesheet") {
            for (Token s; lex.Next(s), s.type != Token::Close && s.type != Token::End;) {
                if (s.type != Token::Open) continue;
                if (!normal && IsNormalStyle(lex)) normal = lex.Position();
                ForGroupWords(lex, [](const Token&) {}); // to the style's end
            }
        }
    }
    CharFormat f;
    for (const char* at : {defchp, normal}) {
        if (!at) continue;
        lex.Seek(at);
        ApplyGroupWords(lex, f);
    }
    return f;
}

std::string WordText(const Token& t) {
    std::string s = "\\";
    s += t.name;
    if (t.hasParam) s += std::to_string(t.param);
    return s;
}

// Appends a control word to a list of words, replacing an earlier setting of
// the same word so that the list does not grow run after run.
void SetWord(std::string& list, const Token& t) {
    std::string key = "\\";
    key += t.name;
    std::size_t pos = 0;
    while ((pos = list.find(key, pos)) != std::string::npos) {
        std::size_t e = pos + key.size();
        if (e < list.size() && rtf::IsLetter(list[e])) {
            pos = e;
            continue;
        }
        while (e < list.size() && (IsDigit(list[e]) || list[e] == '-')) ++e;
        list.erase(pos, e - pos);
    }
    list += WordText(t);
}

// The vocabulary of what text stands for, shared with every reader of RTF:
// the control symbols (in the body and in names and values alike, as the
// writer writes them), the words that stand for characters, destinations.
using rtf::IsDestinationWord;
using rtf::SpecialCharacter;
using rtf::SymbolCharacter;

// The kind of header or footer a destination word names: \headerf the first
// page's, \headerl the even (left) pages', \header and \headerr every page's.
int HeaderFooterKind(std::string_view word) {
    return word.ends_with('f') ? kHeaderFooterFirstPage : word.ends_with('l') ? kHeaderFooterEvenPages : kHeaderFooterPrimary;
}

} // namespace

class RtfReader {
public:
    RtfReader(Document& doc, std::string_view src)
        : doc_(doc), lex_(src), p_(src.data()), end_(src.data() + src.size()) {}

    void Run();
    // The text of the group at the start of the source, after its first
    // control word, read into `story` from the character format `base`; every
    // paragraph ends with a mark, the last one's of the properties in effect.
    void RunGroup(Story& story, CharFormat base);

private:
    struct State {
        CharFormat cf;
        std::uint32_t fmt = kNoFmt;
        std::string para;
        std::string row; // not reset by \pard: a row's properties last to its \row
        int uc = 1;
        rtf::ByteCharset charset;        // of the current font's bytes
        bool fieldCode = false;          // in a field's instruction: Windows-1252, as templates are read
    };
    static constexpr std::uint32_t kNoFmt = 0xFFFFFFFFu;

    // The next token of the shared tokenizer; a malformed \' escape is a
    // symbol here (no text).
    [[gnu::noinline]] Token Next() {
        lex_.Seek(p_);
        Token t;
        lex_.Next(t);
        p_ = t.end;
        if (t.type == Token::BadEscape) t.type = Token::Symbol;
        return t;
    }
    void Rewind(const Token& t) { p_ = t.start; }
    // dbcs: the double-byte code page the group's raw text is in, 0 when none.
    std::string Capture(const char* groupStart, int dbcs = 0);
    void SkipGroup() { Capture(p_ - 1); }

    // Where the paragraph being read starts, and the groups that stood at its
    // start under other paragraph properties (shapes before a frame's \pard).
    struct ParaState {
        std::size_t start = 0;
        std::size_t leadEnd = 0; // end of those groups, 0 when none
        std::string leadProps;
    };
    // lastProps: where the properties of the story's last paragraph go when
    // the story ends (none for a field's instruction). goesOn: the paragraph
    // state of the story this text goes on (the text after a field's result,
    // up to the field's closing brace); else the story starts here. True
    // when the text ended, and with it the story.
    bool ParseStory(Story& story, State st, bool isMain, std::string* lastProps, ParaState* goesOn = nullptr);
    bool ParseField(Story& story, State& st, ParaState& ps, bool isMain, std::string* lastProps);
    void ParseFontTable();
    void ParseColorTable();
    void ParseUserProps();
    std::string ReadGroupText(); // text of a simple group, to its close
    void AppendChar(Story& story, State& st, char32_t c);
    void FinishStory(Story& story, std::string& lastProps, const std::string& openProps);
    void Pard(Story& story, State& st, ParaState& ps);
    void EndParagraph(Story& story, State& st, ParaState& ps, std::string_view word);
    void JoinLeadGroups(Story& story, const State& st, ParaState& ps);
    void MarkRowStart(Story& story, const State& st, const ParaState& ps);
    // The paragraph being read in a story ends: its row-start marks are
    // kept (a table's paragraph) or taken out.
    void SettleRowStarts(Story& story, bool keep, std::size_t from = 0);
    void ConvertSymbolField(Story& story, long fb);
    void SettleSymbolFonts();
    void SetFont(State& st, int font) {
        st.cf.font = std::max(font, -1); // a negative number names no font, as -1 does
        font = st.cf.font;
        st.fmt = kNoFmt;
        const int used = font >= 0 ? font : doc_.deff; // no font named: the default font's bytes
        if (used != lastFont_) { // runs mostly repeat the same font
            const FontDef* f = doc_.FontByNumber(used);
            lastFont_ = used;
            // A symbol font's bytes are kept as they are: the symbol fonts are settled at the end.
            lastCharset_ = rtf::ByteCharset::OfFont(f ? f->charset : 1, ansiCodePage_, false);
        }
        st.charset = st.fieldCode ? rtf::ByteCharset::FieldCode() : lastCharset_;
    }
    // After \plain, and where a story starts: no font or size named, so that
    // the copy names none either (readers then take the default font's or
    // the style's).
    CharFormat PlainFormat() const { return CharFormat{}; }

    Document& doc_;
    rtf::Lexer lex_;
    const char* p_;
    const char* end_;
    rtf::UnicodeText unicode_; // \uN: the fallback to skip, a high surrogate waiting
    std::optional<std::uint32_t> finishedMark_; // the format of the mark FinishStory last made implicit
    int section_ = 0;
    bool lastRow_ = false; // the last control word was a row property
    int rowCells_ = 0;     // cells of a table ended since the last row mark
    // Where the last paragraph mark read stands (after it), in which story.
    const Story* lastMarkStory_ = nullptr;
    std::size_t lastMarkEnd_ = 0;
    // Row-start marks put in the paragraph being read (MarkRowStart), in
    // the story they stand in: they go again when the paragraph is none of
    // a table's.
    std::vector<std::pair<Story*, std::size_t>> rowStarts_;
    bool sectionStated_ = false; // section words came after the last section break
    int nesting_ = 0;      // fields and stories being read, one inside the other
    std::vector<Atom> batch_;
    int ansiCodePage_ = 1252;
    int lastFont_ = -2147483647; // the font whose code page SetFont found last
    rtf::ByteCharset lastCharset_;
    // The fonts symbols took by name, with the symbols' character formats;
    // and the formats of symbols whose font a later table renamed, with the
    // name the symbols gave.
    std::unordered_map<int, std::vector<std::uint32_t>> symbolFonts_;
    std::unordered_map<std::uint32_t, std::string> movedSymbolFormats_;
    static constexpr int kMaxNesting = 64;
};

// The verbatim text of the group that opens at groupStart, with line breaks
// removed (a break that ends a control word becomes its blank), so that the
// group can be written back on one line. \binN data is copied as it is.
std::string RtfReader::Capture(const char* groupStart, int dbcs) {
    std::string out;
    lex_.Seek(groupStart);
    lex_.SetDoubleByteLeads(LeadBytes(dbcs));
    int depth = 0;
    // Tokens are copied in spans: a span ends where line breaks were skipped.
    const char* from = groupStart;
    const char* to = groupStart;
    Token t;
    for (;;) {
        lex_.Next(t);
        if (t.type == Token::End) break; // a backslash that ends the text escapes nothing
        if (t.start != to) {
            out.append(from, to);
            from = t.start;
        }
        to = t.end;
        if (t.type == Token::Word && t.name == "bin") {
            long long len = t.hasParam ? t.param : 0;
            long long have = std::clamp<long long>(len, 0, lex_.BufferEnd() - t.end);
            out.append(from, t.start);
            out += "\\bin";
            out += std::to_string(have); // cut short: the length that is there
            out += ' ';
            out.append(t.end, static_cast<std::size_t>(have));
            lex_.Seek(t.end + have);
            from = to = t.end + have;
            continue;
        }
        // A line break (or a NUL byte, skipped as well) that ended a control
        // word becomes its blank, so that the word is not joined to what follows.
        if (t.type == Token::Word && t.end[-1] != ' ' && t.end < end_ &&
            (*t.end == '\r' || *t.end == '\n' || *t.end == '\0')) {
            out.append(from, to);
            out += ' ';
            from = to = t.end;
        }
        if (t.type == Token::Open) ++depth;
        else if (t.type == Token::Close && --depth == 0) break;
    }
    out.append(from, to);
    lex_.SetDoubleByteLeads(nullptr);
    // A group the text leaves open is closed, so that it is written back
    // balanced and does not swallow what follows it in the saved file.
    out.append(static_cast<std::size_t>(std::max(depth, 0)), '}');
    p_ = std::max(lex_.Position(), p_);
    return out;
}

void RtfReader::AppendChar(Story& story, State& st, char32_t c) {
    if (unicode_.Orphan()) [[unlikely]] // a high surrogate no low one followed
        AppendChar(story, st, 0xFFFD);
    if (!rtf::IsTextCharacter(c)) return;
    if (st.fmt == kNoFmt) st.fmt = doc_.InternFormat(st.cf);
    story.push_back(Atom::Make(AtomKind::Char, c, st.fmt));
}

std::string RtfReader::ReadGroupText() {
    std::string s;
    int depth = 1;
    int uc = 1;  // the fallback characters of each \uN, as \ucN says
    rtf::UnicodeText unicode;
    // Control characters are no part of a property's name or value (a
    // writer could only write them as control words).
    auto put = [&](char32_t c) {
        if (c >= 0x20) appendUtf8(s, c);
    };
    for (;;) {
        Token t = Next();
        if (t.type == Token::End) break;
        if (unicode.SkipsFallback(t)) continue;
        if (t.type == Token::Open) {
            ++depth;
        } else if (t.type == Token::Close) {
            if (--depth == 0) break;
        } else if (t.type == Token::Word && t.name == "u") {
            unicode.Unit(t, uc, put);
        } else if (t.type == Token::Word) {
            if (t.name == "uc") uc = rtf::FallbackLength(t.param);
        } else if (unicode.Orphan()) {
            put(0xFFFD);
        }
        if (t.type == Token::Byte) put(rtf::ByteCharset::OfCodePage(ansiCodePage_).Decode(t.byte));
        else if (t.type == Token::Symbol) put(SymbolCharacter(t.name));
    }
    if (unicode.Orphan()) put(0xFFFD);
    return s;
}

void RtfReader::ParseFontTable() {
    int depth = 1;
    FontDef cur;
    bool have = false;
    auto finish = [&]() {
        if (!have) return;
        while (!cur.name.empty() && cur.name.back() == ' ') cur.name.pop_back();
        // A symbol names its font: an entry that gives the number of a
        // symbol's font another name takes the number, and the symbols read
        // so far take their font by its name when the text is settled (the
        // font is added again at a free number when no other has the name).
        const auto used = symbolFonts_.find(cur.number);
        const FontDef* old = used != symbolFonts_.end() ? doc_.FontByNumber(cur.number) : nullptr;
        if (!old || old->name == cur.name) {
            doc_.AddFont(cur); // an entry of a number given before replaces it
        } else {
            FontDef font = *old;
            for (std::uint32_t id : used->second) {
                doc_.ForgetFormat(id);
                movedSymbolFormats_.emplace(id, font.name);
            }
            symbolFonts_.erase(used);
            doc_.AddFont(cur);
            symbolFonts_.try_emplace(doc_.FontNumber(font));
        }
        cur = FontDef{};
        have = false;
    };
    bool nameDone = false;
    int uc = 1;  // the fallback characters of each \uN, as \ucN says
    for (;;) {
        Token t = Next();
        if (t.type == Token::End) break;
        if (unicode_.SkipsFallback(t)) continue;
        if (t.type == Token::Open) {
            Token n = Next();
            bool dest = n.type == Token::Symbol && n.name == "*";
            if (!dest && !(n.type == Token::Word && IsDestinationWord(n.name))) {
                Rewind(n);
                ++depth; // an entry's own group
                continue;
            }
            std::string g = Capture(t.start);
            if (have) cur.decl += g;
            continue;
        }
        if (t.type == Token::Close) {
            if (depth == 2) finish();
            if (--depth == 0) break;
            continue;
        }
        if (t.type == Token::Word) {
            if (t.name == "f" && t.hasParam) {
                finish();
                cur.number = t.param;
                cur.charset = 1; // no \fcharset: the document's code page
                have = true;
                nameDone = false;
            } else if (t.name == "uc") {
                // How this text's fallbacks are read, not the font's: the
                // name is written back with escapes of its own.
                uc = rtf::FallbackLength(t.param);
            } else if (have) {
                if (t.name == "fcharset") cur.charset = t.param;
                if (t.name == "u") {
                    unicode_.Unit(t, uc, [&](char32_t c) {
                        if (c >= 0x20) appendUtf8(cur.name, c);
                    });
                } else {
                    cur.decl += WordText(t);
                }
            }
            continue;
        }
        if (t.type == Token::Symbol && have && SymbolCharacter(t.name) != 0) {
            if (!nameDone) appendUtf8(cur.name, SymbolCharacter(t.name));
            continue;
        }
        if (t.type == Token::Byte && have) {
            if (t.byte == ';' && !t.escaped) { // an escaped one (\'3b) is part of the name
                nameDone = true;
                if (depth == 1) finish();
                continue;
            }
            // Control characters are no part of a name (a writer could only
            // write them as control words).
            if (!nameDone && !(cur.name.empty() && t.byte == ' ') && t.byte >= 0x20)
                appendUtf8(cur.name, rtf::ByteCharset::OfCodePage(ansiCodePage_).Decode(t.byte));
        }
    }
    finish();
    unicode_ = rtf::UnicodeText();
    lastFont_ = -2147483647; // character sets may have changed
}

void RtfReader::ParseColorTable() {
    doc_.colors.clear();
    int r = -1, g = -1, b = -1;
    for (;;) {
        Token t = Next();
        if (t.type == Token::End || t.type == Token::Close) break;
        if (t.type == Token::Open) { SkipGroup(); continue; }
        if (t.type == Token::Word) {
            if (t.name == "red") r = std::clamp(t.param, 0, 255);
            else if (t.name == "green") g = std::clamp(t.param, 0, 255);
            else if (t.name == "blue") b = std::clamp(t.param, 0, 255);
        } else if (t.type == Token::Byte && t.byte == ';') {
            if (r < 0 && g < 0 && b < 0) doc_.colors.push_back(-1);
            else doc_.colors.push_back((std::max(r, 0) << 16) | (std::max(g, 0) << 8) | std::max(b, 0));
            r = g = b = -1;
        }
    }
    if (doc_.colors.empty()) doc_.colors.push_back(-1);
}

void RtfReader::ParseUserProps() {
    std::string name, value;
    int type = 4;
    bool haveName = false;
    auto flush = [&]() {
        if (haveName && !name.empty() && !doc_.CustomDocumentProperties().Find(name))
            doc_.CustomDocumentProperties().Add(name, false, value, type);
        name.clear();
        value.clear();
        type = 4;
        haveName = false;
    };
    for (;;) {
        Token t = Next();
        if (t.type == Token::End || t.type == Token::Close) break;
        if (t.type == Token::Word && t.name == "proptype") {
            switch (t.param) {
            case 3: type = 1; break;
            case 5: type = 5; break;
            case 11: type = 2; break;
            case 64: type = 3; break;
            default: type = 4; break;
            }
        } else if (t.type == Token::Open) {
            Token n = Next();
            if (n.type == Token::Word && n.name == "propname") {
                flush();
                name = ReadGroupText();
                haveName = true;
            } else if (n.type == Token::Word && n.name == "staticval") {
                value = ReadGroupText();
            } else {
                SkipGroup();
            }
        }
    }
    flush();
}

void RtfReader::Run() {
    std::string_view all(p_, static_cast<std::size_t>(end_ - p_));
    if (all.size() < 5 || all.substr(0, 5) != "{\\rtf") RaiseWordError(kErrBadRtf, "The file does not begin with {\\rtf.");
    ++p_; // the outer group
    Token rtf = Next();
    (void)rtf;
    // Header: fonts, colours, properties and document settings up to the body.
    for (;;) {
        Token t = Next();
        if (t.type == Token::End) break;
        if (t.type == Token::Close) { p_ = end_; break; }
        if (t.type == Token::Word) {
            std::string_view w = t.name;
            if (w == "deff") { doc_.deff = t.param; continue; }
            if (w == "ansicpg") {
                if (CodePageTable(t.param) || t.param == 1252 || IsDbcsCodePage(t.param)) ansiCodePage_ = t.param;
                continue;
            }
            // The character set of the document, and with it the code page of
            // its bytes unless \ansicpg names another.
            if (In(w, {"ansi", "mac", "pc", "pca"})) {
                doc_.charsetWord = std::string(w);
                ansiCodePage_ = w == "mac" ? 10000 : w == "pc" ? 437 : w == "pca" ? 850 : 1252;
                continue;
            }
            if (w == "rtf") continue;
            // The body starts with its first paragraph, format or text: a word
            // that stands for a character (\emdash, \bullet, \chpgn) is text.
            if (w == "pard" || w == "plain" || w == "sectd" || w == "par" || IsParaWord(w) || IsSectWord(w) ||
                SpecialCharacter(w) || In(w, {"f", "fs", "b", "i", "ul", "cf", "u", "sect", "cell", "row"}) ||
                In(w, {"chpgn", "chdate", "chtime", "chftn", "chatn", "sectnum"})) {
                Rewind(t);
                break;
            }
            doc_.preamble += WordText(t);
            continue;
        }
        if (t.type == Token::Open) {
            Token n = Next();
            bool starred = n.type == Token::Symbol && n.name == "*";
            if (starred) n = Next();
            if (n.type == Token::Word && n.name == "fonttbl") { ParseFontTable(); continue; }
            if (n.type == Token::Word && n.name == "colortbl") { ParseColorTable(); continue; }
            if (n.type == Token::Word && n.name == "userprops") { ParseUserProps(); continue; }
            bool bodyGroup = n.type == Token::Word &&
                             (In(n.name, {"field", "header", "headerl", "headerr", "headerf", "footer",
                                          "footerl", "footerr", "footerf", "pict", "shp", "object",
                                          "shppict", "nonshppict", "bkmkstart", "bkmkend", "listtext",
                                          "pntext", "footnote", "annotation", "atnid", "xe", "tc", "do", "mmath",
                                          "mmathPara"}));
            // A picture, shape or bookmark first in the body (often starred) is body.
            if (!bodyGroup && (starred || (n.type == Token::Word && IsDestinationWord(n.name)))) {
                doc_.preamble += Capture(t.start);
                continue;
            }
            Rewind(t);
            break;
        }
        if (t.type == Token::Byte && (t.byte == ' ' || t.byte == '\t')) continue;
        Rewind(t);
        break;
    }
    doc_.ansiCodePage = ansiCodePage_;
    // Wingdings is needed by the fields of the system.
    if (doc_.fonts.empty()) doc_.AddFont(FontDef{0, "\\froman\\fcharset0\\fprq2", "Times New Roman", 0});
    CharFormat def = PlainFormat();
    CharFormat typed = DefaultCharacters(doc_.preamble);
    if (typed.font >= 0 && !doc_.FontByNumber(typed.font)) typed.font = def.font;
    doc_.defaultFormat_ = doc_.InternFormat(typed);
    State st;
    st.cf = def;
    SetFont(st, def.font);
    (void)ParseStory(doc_.MainStory(), st, true, &doc_.mainLastProps);
    doc_.mainLastFormat = finishedMark_; // the main story is finished last
    SettleSymbolFonts();
}

// A symbol names its font by name. When the table holds a name twice (a
// damaged document, or a table given again in the body after the symbol),
// the symbol takes the first font of that name, as it reads back once saved;
// the names are indexed again in the table's order for the same reason. A
// symbol whose font a later table renamed takes its font by name too; text
// that shared its format keeps the number, and so the table's font.
void RtfReader::SettleSymbolFonts() {
    std::unordered_map<std::string_view, int> first;
    std::unordered_map<int, int> to;
    for (const FontDef& f : doc_.fonts)
        if (const auto [it, added] = first.emplace(f.name, f.number); !added && it->second != f.number)
            to.emplace(f.number, it->second);
    if (to.empty() && movedSymbolFormats_.empty()) return;
    doc_.fontsIndexed_ = 0;
    auto settle = [&](Story& story) {
        for (std::size_t i = 0; i < story.size(); ++i) {
            const Atom a = story[i];
            const auto moved = movedSymbolFormats_.find(a.fmt);
            if (moved == movedSymbolFormats_.end() && a.Kind() != AtomKind::Symbol) continue;
            CharFormat f = doc_.Format(a.fmt);
            if (moved != movedSymbolFormats_.end()) {
                // Text keeps the number; a symbol its font's name, which the
                // table always holds (a font moved is added again).
                const auto font = first.find(moved->second);
                if (a.Kind() == AtomKind::Symbol && font != first.end()) f.font = font->second;
            } else {
                const auto it = to.find(f.font);
                if (it == to.end()) continue;
                f.font = it->second;
            }
            story.at(i) = Atom::Make(a.Kind(), a.value, doc_.InternFormat(f));
        }
    };
    settle(doc_.MainStory());
    for (const auto& sec : doc_.sections_) {
        for (HeaderFooter& h : sec->headers) settle(h.story);
        for (HeaderFooter& h : sec->footers) settle(h.story);
    }
}

void RtfReader::FinishStory(Story& story, std::string& lastProps, const std::string& openProps) {
    const bool isMain = &story == &doc_.MainStory();
    finishedMark_.reset();
    SettleRowStarts(story, false); // the last paragraph has no mark: it is no table's
    // Groups after a story's last paragraph mark are no paragraph of their
    // own. In the main story they are kept aside and written after that mark
    // again.
    // Elsewhere (headers, footers) they join the last paragraph, unless they
    // led a paragraph under its own \pard (JoinLeadGroups): restating its
    // properties, they stay that paragraph's, as they read back.
    std::size_t n = story.size();
    bool leadGroups = false;
    while (n > 0 && story[n - 1].Kind() == AtomKind::Opaque)
        leadGroups |= doc_.Opaque(story[--n].value).starts_with("\\pard");
    if (n < story.size() && n > 0 && story[n - 1].Kind() == AtomKind::ParaEnd) {
        if (isMain) {
            std::string trailer;
            for (std::size_t i = n; i < story.size(); ++i) trailer += doc_.Opaque(story[i].value);
            doc_.mainTrailer = trailer + doc_.mainTrailer;
            story.erase(n, story.size() - n);
        } else if (!leadGroups && doc_.ParaEnd(story[n - 1].value).word == "par") {
            lastProps = doc_.ParaEnd(story[n - 1].value).props;
            finishedMark_ = story[n - 1].fmt;
            story.erase(n - 1, 1);
            return;
        }
    }
    // The last paragraph mark of a story is implicit in the model.
    if (story.size() > 0 && story[story.size() - 1].Kind() == AtomKind::ParaEnd) {
        const ParaEndInfo& pe = doc_.ParaEnd(story[story.size() - 1].value);
        if (pe.word == "par") {
            lastProps = pe.props;
            finishedMark_ = story[story.size() - 1].fmt;
            story.pop_back();
            return;
        }
        // A document that ends with a section break: the break is its last
        // mark, and the empty section after it is none.
        auto exists = [](const HeaderFooter& h) { return h.Exists() || h.stated; };
        const Section& after = *doc_.sections_.back();
        if (isMain && pe.word == "sect" && doc_.sections_.size() > 1 && !sectionStated_ &&
            std::none_of(after.headers.begin(), after.headers.end(), exists) &&
            std::none_of(after.footers.begin(), after.footers.end(), exists)) {
            lastProps = pe.props;
            doc_.mainLastMark = "sect";
            doc_.sections_.pop_back();
            story.pop_back();
            return;
        }
    }
    lastProps = openProps;
}

// \pard in the middle of a paragraph whose content so far is only kept
// groups (shapes, pictures, bookmarks): those groups stood under the
// properties before it, and the \pard stays where it was, since readers
// take it as a paragraph of the groups and another of the text (a frame's
// text stays in its frame).
void RtfReader::Pard(Story& story, State& st, ParaState& ps) {
    if (ps.leadEnd == 0 && story.size() > ps.start) {
        bool onlyGroups = true;
        for (std::size_t i = ps.start; i < story.size() && onlyGroups; ++i) {
            const std::string* g = story[i].Kind() == AtomKind::Opaque ? &doc_.Opaque(story[i].value) : nullptr;
            onlyGroups = g && !g->starts_with("{\\*\\nesttableprops") && !g->starts_with("{\\nonesttables");
        }
        if (onlyGroups) {
            ps.leadEnd = story.size();
            ps.leadProps = st.para;
        }
    }
    st.para.clear();
}

// A row's definition or a \pard after text of a paragraph (a loop's field
// before a row): should the paragraph be a table's, the text stands before
// the row, and a row-start mark keeps the place where the row starts.
void RtfReader::MarkRowStart(Story& story, const State& st, const ParaState& ps) {
    // Not in a field's instruction, nor where a paragraph began inside a
    // field (its properties are stated again after the field).
    if (st.fieldCode || (lastMarkStory_ == &story && lastMarkEnd_ > ps.start)) return;
    // Text since the paragraph's start or its last row-start mark (kept
    // groups alone are the paragraph's leading groups).
    bool text = false;
    for (std::size_t i = story.size(); i > ps.start && !text; --i) {
        const Atom& a = story[i - 1];
        if (IsRowStartMark(doc_, a)) break;
        text = a.Kind() != AtomKind::Opaque;
    }
    if (!text) return;
    rowStarts_.emplace_back(&story, story.size());
    story.push_back(RowStartMark(doc_, st.fmt == kNoFmt ? doc_.InternFormat(st.cf) : st.fmt));
}

// Settles the story's row-start marks from position `from` on. A paragraph
// that ends inside a field's instruction leaves the marks before the field to
// the paragraph around it: taking one out would move the atoms after it under
// the positions the field and its instruction hold.
void RtfReader::SettleRowStarts(Story& story, bool keep, std::size_t from) {
    for (auto it = rowStarts_.end(); it != rowStarts_.begin();) {
        --it;
        if (it->first != &story || it->second < from) continue;
        if (!keep && it->second < story.size() && IsRowStartMark(doc_, story[it->second])) story.erase(it->second, 1);
        it = rowStarts_.erase(it);
    }
}

// The kept groups that led the paragraph before a \pard become one kept
// group that restates each set of properties where it applied: at the
// paragraph's end, or at the story's end for a last paragraph without a
// mark, so that it reads back as it is written.
void RtfReader::JoinLeadGroups(Story& story, const State& st, ParaState& ps) {
    if (ps.leadEnd > ps.start && ps.leadEnd <= story.size()) {
        std::string g = "\\pard\\plain" + ps.leadProps;
        if (g.back() != '}') g += ' ';
        for (std::size_t i = ps.start; i < ps.leadEnd; ++i) g += doc_.Opaque(story[i].value);
        // The groups belong to the first paragraph after them, which may have
        // ended already inside a field's instruction.
        std::string_view props = st.para;
        for (std::size_t i = ps.leadEnd; i < story.size(); ++i)
            if (story[i].Kind() == AtomKind::ParaEnd) {
                props = doc_.ParaEnd(story[i].value).props;
                break;
            }
        g += "\\pard\\plain";
        g += props;
        if (g.back() != '}') g += ' ';
        Atom lead = Atom::Make(AtomKind::Opaque, doc_.AddOpaque(std::move(g)), story[ps.start].fmt);
        const std::size_t joined = ps.leadEnd - ps.start - 1;
        story.erase(ps.start + 1, joined);
        story.at(ps.start) = lead;
        // Row-start marks put after the groups (a \pard after text) move with the text.
        for (auto& [in, at] : rowStarts_)
            if (in == &story && at >= ps.leadEnd) at -= joined;
    }
    ps.leadEnd = 0;
}

void RtfReader::EndParagraph(Story& story, State& st, ParaState& ps, std::string_view w) {
    const bool intbl = st.para.find("\\intbl") != std::string::npos;
    // A cell or row mark ends a table's paragraph only in a table: one that
    // states \intbl, or stands under a row's definition (a bare \trowd, which
    // states nothing and is not written back, is none) or after a cell of its
    // row. Elsewhere (a row's first cell repeated without the row's start)
    // readers end a paragraph there and the table goes on after it: so it is
    // read.
    const bool rowDefined = !st.row.empty() && st.row != "\\trowd";
    if ((w == "cell" || w == "row") && !intbl && !rowDefined && rowCells_ == 0) w = "par";
    const bool inTable = w != "par" && w != "sect" ? true : intbl;
    if (w == "cell") ++rowCells_;
    if (w == "row") rowCells_ = 0;
    if (!rowStarts_.empty()) SettleRowStarts(story, inTable, ps.start); // only a table's paragraph keeps them
    JoinLeadGroups(story, st, ps);
    if (st.fmt == kNoFmt) st.fmt = doc_.InternFormat(st.cf);
    story.push_back(Atom::Make(AtomKind::ParaEnd,
                               doc_.InternParaEnd(std::string(w), st.para, inTable ? st.row : std::string()),
                               st.fmt));
    ps.start = story.size();
    ps.leadEnd = 0;
    lastMarkStory_ = &story;
    lastMarkEnd_ = story.size();
    if (w == "row" || w == "nestrow") st.row.clear(); // each row states its own properties
    if (w == "sect") {
        auto sec = std::make_unique<Section>();
        sec->doc = &doc_;
        sec->index = static_cast<int>(doc_.sections_.size());
        sec->props = doc_.sections_.back()->props;
        for (auto& h : sec->headers) h.doc = &doc_;
        for (auto& h : sec->footers) h.doc = &doc_;
        doc_.sections_.push_back(std::move(sec));
        section_ = static_cast<int>(doc_.sections_.size() - 1);
        sectionStated_ = false;
    }
}

bool RtfReader::ParseStory(Story& story, State st, bool isMain, std::string* lastProps, ParaState* goesOn) {
    ++nesting_;
    struct Leave {
        int& n;
        ~Leave() { --n; }
    } leave{nesting_};
    std::vector<State> stack;
    ParaState own;
    own.start = story.size();
    // The text after a field's result goes on the paragraph (and its leading
    // groups) of the story: the story is finished once, where its text ends,
    // with the properties stated last.
    ParaState& ps = goesOn ? *goesOn : own;
    for (;;) {
        Token t = Next();
        switch (t.type) {
        case Token::End:
            JoinLeadGroups(story, st, ps);
            if (lastProps) FinishStory(story, *lastProps, st.para);
            return true;
        case Token::Open: {
            unicode_.EndFallback();
            lastRow_ = false; // a border word after a group follows no row word
            Token n = Next();
            bool starred = n.type == Token::Symbol && n.name == "*";
            if (starred) n = Next();
            if (n.type == Token::Word && (starred || IsDestinationWord(n.name))) {
                std::string_view w = n.name;
                if (nesting_ >= kMaxNesting) {
                    // Fields and stories nested this deep are kept as they are.
                    if (st.fmt == kNoFmt) st.fmt = doc_.InternFormat(st.cf);
                    story.push_back(Atom::Make(AtomKind::Opaque, doc_.AddOpaque(Capture(t.start, st.charset.DoubleByte())), st.fmt));
                } else if (w == "field") {
                    if (ParseField(story, st, ps, isMain, lastProps)) return true;
                } else if (isMain && In(w, {"header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
                                            "footerf"})) {
                    Section& sec = *doc_.sections_[static_cast<std::size_t>(section_)];
                    HeaderFooter& hf = w.starts_with("header") ? sec.Headers(HeaderFooterKind(w))
                                                               : sec.Footers(HeaderFooterKind(w));
                    hf.story.clear();
                    hf.word = std::string(w);
                    hf.stated = true;
                    State hs = st;
                    hs.para.clear();
                    // Its cells and paragraph marks are its own: a cell of the
                    // body before it does not make its cell marks a table's (it
                    // is saved apart), and the body's paragraph goes on after it
                    // as it began, in a field's instruction or not.
                    const int bodyCells = std::exchange(rowCells_, 0);
                    const std::pair bodyMark(lastMarkStory_, lastMarkEnd_);
                    finishedMark_.reset();
                    (void)ParseStory(hf.story, hs, false, &hf.lastProps);
                    rowCells_ = bodyCells;
                    std::tie(lastMarkStory_, lastMarkEnd_) = bodyMark;
                    // Its last mark's format: for what is typed into that
                    // paragraph when it is the only one, and to be written back.
                    hf.lastFormat = finishedMark_;
                } else if (isMain && In(w, {"pnseclvl", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn"})) {
                    // Section-level groups stay with the section's properties.
                    doc_.sections_[static_cast<std::size_t>(section_)]->props += Capture(t.start);
                } else if (w == "pn") {
                    // Old-style numbering applies to every paragraph until \pard.
                    st.para += Capture(t.start, st.charset.DoubleByte());
                } else if (w == "fonttbl") {
                    ParseFontTable();
                } else if (w == "colortbl") {
                    ParseColorTable();
                } else if (w == "userprops") {
                    ParseUserProps();
                } else {
                    if (st.fmt == kNoFmt) st.fmt = doc_.InternFormat(st.cf);
                    std::uint32_t id = doc_.AddOpaque(Capture(t.start, st.charset.DoubleByte()));
                    story.push_back(Atom::Make(AtomKind::Opaque, id, st.fmt));
                }
                break;
            }
            Rewind(n);
            stack.push_back(st);
            break;
        }
        case Token::Close:
            unicode_.EndFallback();
            if (stack.empty()) {
                // The field's closing brace: the story goes on after it.
                if (goesOn) return false;
                JoinLeadGroups(story, st, ps);
                if (lastProps) FinishStory(story, *lastProps, st.para);
                return false;
            }
            st = std::move(stack.back());
            stack.pop_back();
            break;
        case Token::Byte:
            if (unicode_.SkipsFallback(t)) break;
            if (t.byte < 0x20) {
                if (t.byte == 0x0D || t.byte == 0x0A) { // an escaped line break ends a paragraph
                    EndParagraph(story, st, ps, "par");
                    break;
                }
                AppendChar(story, st, t.byte);
            } else if (st.charset.LeadsPair(t.byte)) {
                // A pair written as raw bytes: its second byte is that byte,
                // even where it is "\\", "{" or "}" (unless an escape follows).
                bool raw = *t.start != '\\' && p_ < end_ && *p_ != '\r' && *p_ != '\n' &&
                           !(p_ + 1 < end_ && p_[0] == '\\' && p_[1] == '\'');
                if (raw && static_cast<unsigned char>(*p_) >= 0x40) {
                    AppendChar(story, st, st.charset.DecodePair(t.byte, static_cast<unsigned char>(*p_++)));
                    break;
                }
                Token trail = Next();
                if (trail.type == Token::Byte) {
                    AppendChar(story, st, st.charset.DecodePair(t.byte, trail.byte));
                } else {
                    Rewind(trail);
                    AppendChar(story, st, 0xFFFD);
                }
                break;
            } else {
                AppendChar(story, st, st.charset.Decode(t.byte));
            }
            // Plain text that follows is taken in one go (the hot path).
            if (t.start + 1 == p_ && st.fmt != kNoFmt && !st.charset.DoubleByte()) {
                const char* q = lex_.PlainEnd(p_);
                if (q > p_) {
                    std::size_t n = static_cast<std::size_t>(q - p_);
                    if (batch_.size() < n) batch_.resize(n);
                    for (std::size_t k = 0; k < n; ++k) {
                        auto b = static_cast<unsigned char>(p_[k]);
                        batch_[k] = Atom::Make(AtomKind::Char, b < 0x80 ? b : st.charset.Decode(b), st.fmt);
                    }
                    story.insert(story.size(), batch_.data(), n);
                    p_ = q;
                }
            }
            break;
        case Token::Symbol:
        case Token::BadEscape:
            if (unicode_.SkipsFallback(t)) break;
            if (const char32_t c = SymbolCharacter(t.name)) AppendChar(story, st, c);
            break;
        case Token::Word: {
            std::string_view w = t.name;
            // Border words belong to a row when they follow a row word directly.
            const bool afterRowWord = std::exchange(lastRow_, false);
            if (unicode_.SkipsFallback(t)) break;
            if (w == "u") {
                unicode_.Unit(t, st.uc, [&](char32_t c) { AppendChar(story, st, c); });
                break;
            }
            if (w == "uc") { st.uc = rtf::FallbackLength(t.param); break; }
            if (In(w, {"par", "cell", "row", "nestcell", "nestrow"}) || (w == "sect" && isMain)) {
                EndParagraph(story, st, ps, w);
                break;
            }
            if (w == "pard") {
                MarkRowStart(story, st, ps);
                Pard(story, st, ps);
                break;
            }
            if (w == "plain") { st.cf = PlainFormat(); SetFont(st, st.cf.font); break; }
            if (w == "sectd") {
                sectionStated_ = true;
                if (isMain) doc_.sections_[static_cast<std::size_t>(section_)]->props.clear();
                break;
            }
            if (w == "f") { SetFont(st, t.hasParam ? t.param : doc_.deff); break; }
            if (w == "fs") { st.cf.size = t.hasParam ? std::clamp(t.param, 0, 3276) : 24; st.fmt = kNoFmt; break; }
            if (w == "b") { st.cf.bold = !t.hasParam || t.param != 0; st.fmt = kNoFmt; break; }
            if (w == "i") { st.cf.italic = !t.hasParam || t.param != 0; st.fmt = kNoFmt; break; }
            if (w == "ul") { st.cf.underline = !t.hasParam || t.param != 0; st.fmt = kNoFmt; break; }
            if (w == "ulnone") { st.cf.underline = false; st.fmt = kNoFmt; break; }
            if (w == "cf") { st.cf.color = std::max(0, t.param); st.fmt = kNoFmt; break; }
            if (const char32_t c = SpecialCharacter(w)) { AppendChar(story, st, c); break; }
            if (In(w, {"chpgn", "chdate", "chtime", "chftn", "chatn", "sectnum", "chftnsep", "chftnsepc"})) {
                if (st.fmt == kNoFmt) st.fmt = doc_.InternFormat(st.cf);
                story.push_back(Atom::Make(AtomKind::Opaque, doc_.AddOpaque(WordText(t) + " "), st.fmt));
                break;
            }
            if (w == "bin") { // binary data outside a kept group: skipped
                p_ += std::clamp<long long>(t.param, 0, end_ - p_);
                break;
            }
            // Row properties; border words after a row or cell border word belong to it.
            bool rowWord = w == "trowd" || w.starts_with("tr") || w.starts_with("cl") || w == "cellx" ||
                           In(w, {"irow", "irowband", "ts", "ltrrow", "rtlrow", "taprtl", "lastrow"}) ||
                           w.starts_with("tbl") || ((w.starts_with("brdr") || w == "brsp") && afterRowWord);
            lastRow_ = rowWord;
            if (rowWord) {
                if (w == "trowd") {
                    MarkRowStart(story, st, ps);
                    st.row.clear();
                }
                st.row += WordText(t);
                break;
            }
            if (IsParaWord(w)) { st.para += WordText(t); break; }
            if (IsSectWord(w)) {
                sectionStated_ = true;
                if (isMain) doc_.sections_[static_cast<std::size_t>(section_)]->props += WordText(t);
                break;
            }
            if (IsDocumentWord(w)) { // wherever it stands (after the first section, in a header): the document's
                doc_.preamble += WordText(t);
                break;
            }
            SetWord(st.cf.extra, t);
            st.fmt = kNoFmt;
            break;
        }
        }
    }
}

bool RtfReader::ParseField(Story& story, State& st, ParaState& ps, bool isMain, std::string* lastProps) {
    if (st.fmt == kNoFmt) st.fmt = doc_.InternFormat(st.cf);
    FieldInfo info;
    std::uint32_t infoId = doc_.AddFieldInfo({});
    long fb = static_cast<long>(story.size());
    story.push_back(Atom::Make(AtomKind::FieldBegin, infoId, st.fmt));
    State fs = st;
    bool haveResult = false, tail = false;
    for (;;) {
        Token t = Next();
        if (t.type == Token::End) break;
        if (t.type == Token::Close) break;
        if (haveResult && t.type != Token::Open) { // text after the result follows the field
            Rewind(t);
            tail = true;
            break;
        }
        if (t.type == Token::Word) {
            if (In(t.name, {"fldlock", "flddirty", "fldedit", "fldpriv"})) info.prefix += WordText(t);
            else if (t.name == "plain") { fs.cf = PlainFormat(); SetFont(fs, fs.cf.font); }
            continue;
        }
        if (t.type != Token::Open) continue;
        Token n = Next();
        bool starred = n.type == Token::Symbol && n.name == "*";
        if (starred) n = Next();
        if (n.type == Token::Word && n.name == "fldinst") {
            State code = fs;
            code.fieldCode = true;
            code.charset = rtf::ByteCharset::FieldCode();
            (void)ParseStory(story, code, false, nullptr);
        } else if (n.type == Token::Word && n.name == "fldrslt") {
            std::string g = Capture(t.start, fs.charset.DoubleByte());
            // Keep the content between "\fldrslt" and the group's closing brace.
            std::size_t k = g.find("\\fldrslt");
            std::size_t b = k == std::string::npos ? 1 : k + 8;
            if (b < g.size() && g[b] == ' ') ++b;
            info.result = g.substr(b, g.size() - 1 - b);
            haveResult = true;
        } else {
            info.prefix += Capture(t.start, fs.charset.DoubleByte());
        }
    }
    if (fs.fmt == kNoFmt) fs.fmt = doc_.InternFormat(fs.cf);
    story.push_back(Atom::Make(AtomKind::FieldEnd, 0, st.fmt));
    doc_.FieldInfoAt(infoId) = std::move(info);
    ConvertSymbolField(story, fb);
    // The text after the result is read as the story the field stands in,
    // which is how it reads back once saved: in the body a header or footer
    // group there is the section's, as it is anywhere else in the body.
    return tail && ParseStory(story, fs, isMain, lastProps, &ps);
}

// A field "SYMBOL n \f "font" [\u] ..." becomes one symbol atom.
void RtfReader::ConvertSymbolField(Story& story, long fb) {
    long fe = static_cast<long>(story.size()) - 1;
    if (static_cast<std::size_t>(fe - fb - 1) > kMaxSymbolCode) return;
    std::string code;
    for (long i = fb + 1; i < fe; ++i) {
        const Atom& a = story[static_cast<std::size_t>(i)];
        if (a.Kind() != AtomKind::Char) return;
        // UTF-8, as font names are kept: a symbol of a font named in any
        // script reads back as the symbol it was written from.
        appendUtf8(code, static_cast<char32_t>(a.value));
    }
    std::size_t p = code.find_first_not_of(' ');
    if (p == std::string::npos || code.compare(p, 6, "SYMBOL") != 0) {
        std::string up = toUpperAscii(code);
        if (p == std::string::npos || up.compare(p, 6, "SYMBOL") != 0) return;
    }
    p += 6;
    while (p < code.size() && code[p] == ' ') ++p;
    long number = 0;
    const char* b = code.data() + p;
    const char* e = code.data() + code.size();
    std::from_chars_result r;
    if (code.compare(p, 2, "0x") == 0 || code.compare(p, 2, "0X") == 0) r = std::from_chars(b + 2, e, number, 16);
    else r = std::from_chars(b, e, number);
    if (r.ec != std::errc() || r.ptr == b) return;
    if (number < 0) number += 65536;
    if (number < 0 || number > 0xFFFF) return;
    std::string font;
    std::size_t fpos = code.find("\\f", static_cast<std::size_t>(r.ptr - code.data()));
    if (fpos != std::string::npos) {
        std::size_t q = fpos + 2;
        while (q < code.size() && code[q] == ' ') ++q;
        if (q < code.size() && code[q] == '"') {
            // A quoted name; \" and \\ in it stand for a quote and a backslash.
            std::size_t k = q + 1;
            for (; k < code.size() && code[k] != '"'; ++k) {
                if (code[k] == '\\' && k + 1 < code.size() && (code[k + 1] == '"' || code[k + 1] == '\\')) ++k;
                font += code[k];
            }
            if (k >= code.size()) return;
        } else {
            std::size_t stop = code.find(' ', q);
            font = code.substr(q, stop == std::string::npos ? std::string::npos : stop - q);
        }
    }
    // Blanks around a name are not kept by a font table, so not here either.
    while (!font.empty() && font.back() == ' ') font.pop_back();
    font.erase(0, std::min(font.find_first_not_of(' '), font.size()));
    // A name with control characters is no font's: such a field stays a field.
    if (std::any_of(font.begin(), font.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) return;
    if (font.empty()) font = "Symbol";
    // Nor does one whose saved form would be too long to read back as a symbol.
    if (DecodeUtf8(SymbolFieldCode(static_cast<unsigned>(number), &font)).size() > kMaxSymbolCode) return;
    std::uint32_t fmtId = fe > fb + 1 ? story[static_cast<std::size_t>(fb + 1)].fmt : story[static_cast<std::size_t>(fb)].fmt;
    CharFormat f = doc_.Format(fmtId);
    f.font = doc_.FontNumber(font);
    const std::uint32_t id = doc_.InternFormat(f);
    std::vector<std::uint32_t>& ids = symbolFonts_[f.font];
    if (ids.empty() || ids.back() != id) ids.push_back(id);
    Atom sym = Atom::Make(AtomKind::Symbol, static_cast<std::uint32_t>(number), id);
    story.erase(static_cast<std::size_t>(fb), static_cast<std::size_t>(fe - fb + 1));
    story.push_back(sym);
}

// base is a copy: the formats read join the document's table, which may move.
void RtfReader::RunGroup(Story& story, CharFormat base) {
    ansiCodePage_ = doc_.ansiCodePage;
    Token open = Next();
    if (open.type != Token::Open) return;
    Token head = Next();
    if (head.type == Token::Symbol && head.name == "*") head = Next();
    if (head.type != Token::Word) Rewind(head);
    State st;
    st.cf = base;
    SetFont(st, base.font);
    std::string lastProps;
    // Only read for a view: a document word in the group (which the reader
    // takes as the document's wherever it stands) leaves the document as it was.
    const std::size_t preamble = doc_.preamble.size();
    (void)ParseStory(story, st, false, &lastProps);
    doc_.preamble.resize(preamble);
    if (story.size() > 0 || !lastProps.empty())
        story.push_back(Atom::Make(AtomKind::ParaEnd, doc_.InternParaEnd("par", lastProps, {}),
                                   finishedMark_.value_or(doc_.InternFormat(base))));
}

Story GroupStory(Document& doc, std::string_view group, std::uint32_t base) {
    Story story;
    RtfReader reader(doc, group);
    reader.RunGroup(story, doc.Format(base));
    return story;
}

void Document::LoadRtfText(std::string_view rtf) {
    // What could be undone belongs to the text being replaced.
    ClearUndo();
    ClearFonts();
    colors.assign(1, -1);
    preamble.clear();
    main_.clear();
    mainLastProps.clear();
    mainLastMark = "par";
    mainLastFormat.reset();
    mainTrailer.clear();
    charsetWord = "ansi";
    ansiCodePage = 1252;
    props_ = CustomProperties();
    sections_.resize(1);
    sections_[0] = std::make_unique<Section>();
    sections_[0]->doc = this;
    for (auto& h : sections_[0]->headers) h.doc = this;
    for (auto& h : sections_[0]->footers) h.doc = this;
    RtfReader reader(*this, rtf);
    reader.Run();
    selection_->MoveTo(&main_, 0, 0);
}

} // namespace qz::word
