// RTF out. The production engine reads templates with a plain tokenizer and
// substring searches, so the writer keeps to a few rules:
//  - every field is "{\field{\*\fldinst ...}{\fldrslt ...}}", symbols are
//    nested SYMBOL fields, and a run's format words open its group, so that a
//    SET field's instruction starts "{\*\fldinst {" + its format words;
//  - text escapes: braces as \{ \}, a backslash as \'5c (never "\\", so that
//    neither "\\{" nor "\field" can appear in text), characters above 0x7F
//    that the run's code page holds as \'hh in lower case (in field
//    instructions always Windows-1252: the section sign is the field
//    separator \'a7), others as \uN\'3f;
//  - the document's character set and code page are declared as read, since
//    kept groups hold bytes of them, and a kept group is written inside the
//    run group it stood in;
//  - line breaks (CR LF) only before a paragraph's "\pard" outside fields, so
//    that deleting them never joins two tokens;
//  - a story ends with its last paragraph mark; only the groups that stood
//    after that mark (theme, data store ...) follow it.
#include "platform/word/Document.h"
#include "platform/word/Range.h"
#include "platform/word/RtfText.h"
#include "platform/word/Utf8.h"

#include <cctype>

namespace qz::word {

std::string SymbolFieldCode(unsigned code, const std::string* font) {
    std::string s = " SYMBOL " + std::to_string(code);
    if (font) {
        s += " \\f \"";
        for (char c : *font) {
            if (c == '"' || c == '\\') s += '\\';
            s += c;
        }
        s += '"';
    }
    if (code > 0xFF) s += " \\u";
    return s;
}

namespace {

void AppendHex(std::string& out, unsigned b) { rtf::AppendHexByte(out, b); }

// Whether words start with a border word (\brdr..., \brsp), which a reader
// gives to the row when it follows a row word.
bool IsBorderWord(std::string_view words) { return words.starts_with("\\brdr") || words.starts_with("\\brsp"); }

// One character of text; above 0x7F a byte of the code page when it holds
// the character (Windows-1252 unless another is given), else \uN\'3f.
void AppendEscaped(std::string& out, char32_t c, int codePage = 1252) {
    switch (c) {
    case U'\\': out += "\\'5c"; return;
    case U'{': out += "\\{"; return;
    case U'}': out += "\\}"; return;
    case U'\t': out += "\\tab "; return;
    case 0x0B: out += "\\line "; return;
    case 0x0C: out += "\\page "; return;
    case 0x0E: out += "\\column "; return;
    case 0x2011: out += "\\_"; return;
    default: break;
    }
    if (c < 0x20) return;
    static constexpr rtf::TextStyle kStyle{true, "\\'3f"};
    const int b = c < 0x80 ? -1 : codePage == 1252 ? sys::unicodeToCp1252(c) : EncodeCodePageByte(codePage, c);
    rtf::AppendTextChar(out, c, b, kStyle);
}

void AppendEscaped(std::string& out, const std::string& utf8, int codePage = 1252) {
    for (char32_t c : DecodeUtf8(utf8)) AppendEscaped(out, c, codePage);
}

class RtfWriter {
public:
    explicit RtfWriter(const Document& doc) : doc_(doc) {}
    std::string Write();

private:
    const std::string& Words(std::uint32_t fmt);
    // Ends control words just written: a blank, unless a group closed them
    // (a blank after a group would be text).
    void EndWords() {
        if (out_.empty() || out_.back() != '}') out_ += ' ';
    }
    // Whether a kept group is written inside its run: all but those that
    // belong to the paragraph (nested-table properties, a frame's leading
    // groups with their own \pard).
    bool InRun(const Atom& a) const {
        const std::string& g = doc_.Opaque(a.value);
        return !g.starts_with("{\\*\\nesttableprops") && !g.starts_with("{\\nonesttables") && !g.starts_with("\\pard");
    }
    int CodePage(std::uint32_t fmt) const;
    std::string WordsWithoutFont(std::uint32_t fmt);
    void WriteStory(const Story& s, const std::string& lastProps, bool isMain,
                    std::optional<std::uint32_t> lastFormat = {});
    void WriteAtoms(const Story& s, long from, long to, bool display);
    void WriteSymbol(const Atom& a);
    void WriteSectionStart(int index);
    bool WriteRowWords(const std::string& row, bool rowMark);
    void WriteParaWords(const ParaEndInfo* pe, bool atStart, bool rowWords = true);
    bool IsMacroButton(const Story& s, long fb, long fe, long* displayFrom) const;

    const Document& doc_;
    std::string out_;
    std::vector<std::string> words_;
    std::vector<bool> haveWords_;
    std::string curLastProps_; // properties of the final paragraph of the story being written
    bool curIsMain_ = true;
    int section_ = 0;
    std::string rowHeld_; // the row properties a reader holds at this point of the text
};

const std::string& RtfWriter::Words(std::uint32_t fmt) {
    if (fmt >= words_.size()) {
        words_.resize(fmt + 1);
        haveWords_.resize(fmt + 1);
    }
    if (!haveWords_[fmt]) {
        const CharFormat& f = doc_.Format(fmt);
        std::string w;
        if (f.font >= 0) w += "\\f" + std::to_string(f.font);
        if (f.size > 0) w += "\\fs" + std::to_string(f.size);
        if (f.bold) w += "\\b";
        if (f.italic) w += "\\i";
        if (f.underline) w += "\\ul";
        w += "\\cf" + std::to_string(f.color);
        w += f.extra;
        words_[fmt] = std::move(w);
        haveWords_[fmt] = true;
    }
    return words_[fmt];
}

// The code page a reader decodes a run's bytes in: its font's character set
// (the default font's when it names none).
int RtfWriter::CodePage(std::uint32_t fmt) const {
    int font = doc_.Format(fmt).font;
    const FontDef* f = doc_.FontByNumber(font >= 0 ? font : doc_.deff);
    return CharsetCodePage(f ? f->charset : 1, doc_.ansiCodePage);
}

std::string RtfWriter::WordsWithoutFont(std::uint32_t fmt) {
    const std::string& w = Words(fmt);
    const CharFormat& f = doc_.Format(fmt);
    if (f.font < 0) return w;
    return w.substr(2 + std::to_string(f.font).size()); // drop the leading "\fN"
}

void RtfWriter::WriteSymbol(const Atom& a) {
    const CharFormat& f = doc_.Format(a.fmt);
    const FontDef* font = doc_.FontByNumber(f.font);
    unsigned code = a.value;
    out_ += "{\\field{\\*\\fldinst {";
    out_ += WordsWithoutFont(a.fmt);
    AppendEscaped(out_, SymbolFieldCode(code, font ? &font->name : nullptr));
    out_ += "}}{\\fldrslt {";
    out_ += Words(a.fmt);
    out_ += ' ';
    if (code >= 0xF000 && code <= 0xF0FF) AppendHex(out_, code & 0xFF);
    else if (code > 0x7F && code <= 0xFF) AppendHex(out_, code);
    else AppendEscaped(out_, static_cast<char32_t>(code));
    out_ += "}}}";
}

// Whether the field fb..fe is a MACROBUTTON field; its display text (what
// the word processor shows) starts after the macro name and one blank.
bool RtfWriter::IsMacroButton(const Story& s, long fb, long fe, long* displayFrom) const {
    long i = fb + 1;
    auto ch = [&](long k) { return AtomChar(doc_, s[static_cast<std::size_t>(k)]); };
    while (i < fe && ch(i) == U' ') ++i;
    static const char kw[] = "MACROBUTTON";
    for (int k = 0; k < 11; ++k, ++i) {
        if (i >= fe) return false;
        char32_t c = ch(i);
        if (c >= U'a' && c <= U'z') c -= 32;
        if (c != static_cast<char32_t>(kw[k])) return false;
    }
    if (i >= fe || ch(i) != U' ') return false;
    while (i < fe && ch(i) == U' ') ++i;
    while (i < fe && ch(i) != U' ' && s[static_cast<std::size_t>(i)].Kind() == AtomKind::Char) ++i;
    if (i < fe && ch(i) == U' ') ++i;
    *displayFrom = i;
    return true;
}

// Writes atoms [from, to). In display mode (a field result) nested fields
// are left out and symbols are written as characters of their font.
void RtfWriter::WriteAtoms(const Story& s, long from, long to, bool display) {
    std::vector<long> open; // begin positions of the open fields
    std::vector<std::string> heldAtField; // rowHeld_ where each open field began
    // Whether a paragraph began inside each open field: a reader leaves the
    // field's instruction with the paragraph properties it held before it,
    // so the paragraph's own are stated again after the field.
    std::vector<char> paraInField;
    const ParaEndInfo* para = nullptr; // the mark of the paragraph being written (null: the story's last)
    long i = from;
    bool paraStart = !display && (from == 0);
    while (i < to) {
        if (paraStart) {
            // A nested row's properties belong after its last cell, before the
            // next paragraph starts.
            while (i < to && s[static_cast<std::size_t>(i)].Kind() == AtomKind::Opaque) {
                const std::string& g = doc_.Opaque(s[static_cast<std::size_t>(i)].value);
                if (g.rfind("{\\*\\nesttableprops", 0) != 0 && g.rfind("{\\nonesttables", 0) != 0) break;
                out_ += g;
                ++i;
            }
            if (i >= to) {
                // A story's last paragraph of such groups alone still starts
                // here: its mark does not take the format the mark before it
                // stated.
                if (!display && i > from && to == static_cast<long>(s.size()) && open.empty()) {
                    out_ += "\r\n\\pard\\plain";
                    WriteParaWords(nullptr, true, true);
                }
                break;
            }
            // The paragraph's properties are those at its end. Text before a
            // row-start mark stands before the row: the row's definition
            // follows it, at the mark.
            long j = i;
            bool beforeRow = false;
            for (; j < static_cast<long>(s.size()); ++j) {
                const Atom& x = s[static_cast<std::size_t>(j)];
                if (x.Kind() == AtomKind::ParaEnd) break;
                beforeRow = beforeRow || IsRowStartMark(doc_, x);
            }
            if (open.empty()) out_ += "\r\n";
            out_ += "\\pard\\plain";
            para = j < static_cast<long>(s.size()) ? &doc_.ParaEnd(s[static_cast<std::size_t>(j)].value) : nullptr;
            WriteParaWords(para, true, !beforeRow);
            std::fill(paraInField.begin(), paraInField.end(), 1);
            paraStart = false;
        }
        const Atom& a = s[static_cast<std::size_t>(i)];
        switch (a.Kind()) {
        case AtomKind::Opaque:
            if (IsRowStartMark(doc_, a)) {
                // The row starts here: its definition (held by no reader
                // after the text before it) and the paragraph's properties.
                if (!display && open.empty()) {
                    out_ += "\r\n\\pard\\plain";
                    WriteParaWords(para, true);
                }
                break;
            }
            [[fallthrough]];
        case AtomKind::Char: {
            // A run: text and kept groups of one format, in one group, so that a
            // kept group stays in the formatting it stood in (a footnote's mark).
            if (a.Kind() == AtomKind::Opaque && (display || !InRun(a))) {
                if (!display) out_ += doc_.Opaque(a.value);
                break;
            }
            std::uint32_t fmt = a.fmt;
            out_ += '{';
            out_ += Words(fmt);
            out_ += ' ';
            // A field's instruction is Windows-1252 text, as the template reader reads it.
            const int cp = open.empty() ? CodePage(fmt) : 1252;
            while (i < to) {
                const Atom& c = s[static_cast<std::size_t>(i)];
                if (c.fmt != fmt) break;
                if (c.Kind() == AtomKind::Char) AppendEscaped(out_, static_cast<char32_t>(c.value), cp);
                else if (c.Kind() == AtomKind::Opaque && !display && InRun(c)) out_ += doc_.Opaque(c.value);
                else break;
                ++i;
            }
            out_ += '}';
            continue;
        }
        case AtomKind::Symbol:
            if (display) {
                out_ += '{';
                out_ += Words(a.fmt);
                out_ += ' ';
                if (a.value >= 0xF000 && a.value <= 0xF0FF) AppendHex(out_, a.value & 0xFF);
                else if (a.value > 0x7F && a.value <= 0xFF) AppendHex(out_, a.value);
                else AppendEscaped(out_, static_cast<char32_t>(a.value));
                out_ += '}';
            } else {
                WriteSymbol(a);
            }
            break;
        case AtomKind::ParaEnd: {
            const ParaEndInfo& pe = doc_.ParaEnd(a.value);
            if (display) break;
            // The mark's own character format, which an empty paragraph's
            // height is made of (runs close their groups before it, so the
            // plain format needs no words).
            if (doc_.Format(a.fmt) != CharFormat{}) out_ += Words(a.fmt);
            out_ += '\\';
            out_ += pe.word;
            out_ += ' ';
            if (pe.word == "row" || pe.word == "nestrow") rowHeld_.clear(); // a row mark ends its properties
            if (pe.word == "sect" && open.empty() && curIsMain_) WriteSectionStart(++section_);
            paraStart = true;
            break;
        }
        case AtomKind::FieldBegin: {
            if (display) {
                long e = MatchingFieldEnd(s, i);
                if (e < 0 || e >= to) { i = to; continue; }
                i = e + 1;
                continue;
            }
            const FieldInfo& fi = doc_.FieldInfoAt(a.value);
            out_ += "{\\field";
            out_ += fi.prefix;
            out_ += "{\\*\\fldinst ";
            open.push_back(i);
            heldAtField.push_back(rowHeld_);
            paraInField.push_back(0);
            break;
        }
        case AtomKind::FieldEnd: {
            if (display || open.empty()) break;
            long fb = open.back();
            open.pop_back();
            // A reader leaves the field's instruction with the row properties
            // it held before it.
            rowHeld_ = std::move(heldAtField.back());
            heldAtField.pop_back();
            const bool restate = paraInField.back();
            paraInField.pop_back();
            out_ += "}{\\fldrslt ";
            long dispFrom = 0;
            if (IsMacroButton(s, fb, i, &dispFrom)) {
                WriteAtoms(s, dispFrom, i, true);
            } else {
                const FieldInfo& fi = doc_.FieldInfoAt(s[static_cast<std::size_t>(fb)].value);
                out_ += fi.result;
            }
            out_ += "}}";
            if (restate) {
                out_ += "\\pard";
                WriteParaWords(para, false);
            }
            break;
        }
        }
        ++i;
    }
    // Fields left open by a damaged story are closed here.
    while (!open.empty()) {
        out_ += "}{\\fldrslt }}";
        open.pop_back();
        rowHeld_ = std::move(heldAtField.back());
        heldAtField.pop_back();
    }
}

// The properties of a paragraph, after its \pard: those of its mark, the
// row's for a paragraph of a table (a reader gives row properties to those
// only; not with rowWords false), or the story's last paragraph's when it
// has no mark.
void RtfWriter::WriteParaWords(const ParaEndInfo* pe, bool atStart, bool rowWords) {
    if (!pe) {
        out_ += curLastProps_;
    } else {
        if (rowWords && ((pe->word != "par" && pe->word != "sect") || pe->props.find("\\intbl") != std::string::npos) &&
            WriteRowWords(pe->row, atStart && (pe->word == "row" || pe->word == "nestrow")) &&
            IsBorderWord(pe->props))
            out_ += "\\pard"; // the paragraph's border words are not the row's
        // The text before a row is written in a plain paragraph (without
        // \intbl), so that a reader, and a production that leaves the row
        // out, has one there.
        if (rowWords || pe->word.starts_with("nest")) out_ += pe->props;
        else out_ += OutsideTableWords(pe->props);
    }
    EndWords();
}

// A reader adds the row properties it meets to those it holds, until a
// \trowd or a row mark clears them, and gives a paragraph of a table those
// it holds at the paragraph's end. Written at a paragraph's start are the
// words that make the reader hold a paragraph's row: nothing when it holds them
// already, only the words after those it holds, or the whole row from its
// \trowd. A row is stated again at its row mark, where other readers take
// a row's properties from. True when words were written.
bool RtfWriter::WriteRowWords(const std::string& row, bool rowMark) {
    // No row properties after some (a damaged table) can only be written as
    // a bare \trowd; that one is read as none, so both are written alike.
    if (row.empty() || row == "\\trowd") {
        if (rowHeld_.empty()) return false;
        out_ += "\\trowd";
        rowHeld_ = "\\trowd";
        return true;
    }
    // A row is written with its definition: one without (a damaged table)
    // gets a \trowd in front, as it is then read back.
    std::string whole = row.starts_with("\\trowd") ? row : "\\trowd" + row;
    if (whole == rowHeld_ && !rowMark) return false;
    // Only whole words are added, and no border words: those join a row
    // only right after a row word.
    if (!rowHeld_.empty() && whole.size() > rowHeld_.size() && whole.starts_with(rowHeld_)) {
        const std::string_view more = std::string_view(whole).substr(rowHeld_.size());
        if (more.starts_with('\\') && !IsBorderWord(more)) {
            out_ += more;
            rowHeld_ = std::move(whole);
            return true;
        }
    }
    out_ += whole;
    rowHeld_ = std::move(whole);
    return true;
}

void RtfWriter::WriteSectionStart(int index) {
    const Section& sec = *doc_.sections_[static_cast<std::size_t>(
        std::min<std::size_t>(static_cast<std::size_t>(index), doc_.sections_.size() - 1))];
    out_ += "\r\n\\sectd";
    out_ += sec.props;
    EndWords();
    // By kind - 1: every page's, the first page's, the even pages'.
    static const char* headerWords[kHeaderFooterKinds] = {"header", "headerf", "headerl"};
    static const char* footerWords[kHeaderFooterKinds] = {"footer", "footerf", "footerl"};
    bool savedMain = curIsMain_;
    std::string savedLast = curLastProps_;
    // A header starts with the row properties held where it stands, and
    // the text after it goes on with them.
    const std::string savedRow = rowHeld_;
    curIsMain_ = false;
    for (int k = 0; k < 2 * kHeaderFooterKinds; ++k) {
        const bool header = k < kHeaderFooterKinds;
        const int kind = k % kHeaderFooterKinds + 1;
        const HeaderFooter& hf = header ? sec.Headers(kind) : sec.Footers(kind);
        if (!hf.Exists() && !hf.stated) continue;
        out_ += "{\\";
        out_ += hf.word.empty() ? (header ? headerWords : footerWords)[kind - 1] : hf.word;
        out_ += ' ';
        WriteStory(hf.story, hf.lastProps, false, hf.lastFormat);
        out_ += "}";
    }
    curIsMain_ = savedMain;
    curLastProps_ = savedLast;
    rowHeld_ = savedRow;
}

void RtfWriter::WriteStory(const Story& s, const std::string& lastProps, bool isMain,
                           std::optional<std::uint32_t> lastFormat) {
    curIsMain_ = isMain;
    curLastProps_ = lastProps;
    long n = static_cast<long>(s.size());
    WriteAtoms(s, 0, n, false);
    if (n == 0 || s[static_cast<std::size_t>(n - 1)].Kind() == AtomKind::ParaEnd) {
        out_ += "\r\n\\pard\\plain";
        out_ += lastProps;
        EndWords();
    }
    // The last mark's own character format, as every mark's.
    if (lastFormat && doc_.Format(*lastFormat) != CharFormat{}) out_ += Words(*lastFormat);
    if (isMain) {
        out_ += '\\';
        out_ += doc_.mainLastMark;
        out_ += ' ';
        out_ += doc_.mainTrailer;
    } else {
        out_ += "\\par ";
    }
}

std::string RtfWriter::Write() {
    out_.reserve(doc_.MainStory().size() * 2 + 4096);
    out_ += "{\\rtf1\\";
    out_ += doc_.charsetWord;
    out_ += "\\ansicpg";
    out_ += std::to_string(doc_.ansiCodePage);
    out_ += "\\deff";
    out_ += std::to_string(doc_.deff);
    out_ += "{\\fonttbl";
    for (const FontDef& f : doc_.fonts) {
        out_ += "{\\f";
        out_ += std::to_string(f.number);
        out_ += f.decl;
        out_ += ' ';
        // A ";" ends the name: one inside it is escaped.
        for (char32_t c : DecodeUtf8(f.name)) {
            if (c == U';') out_ += "\\'3b";
            else AppendEscaped(out_, c, doc_.ansiCodePage);
        }
        out_ += ";}";
    }
    out_ += "}\r\n{\\colortbl";
    for (std::int32_t c : doc_.colors) {
        if (c >= 0) {
            out_ += "\\red" + std::to_string((c >> 16) & 255) + "\\green" + std::to_string((c >> 8) & 255) +
                    "\\blue" + std::to_string(c & 255);
        }
        out_ += ';';
    }
    out_ += "}\r\n";
    out_ += doc_.preamble;
    const auto& props = doc_.CustomDocumentProperties();
    if (props.Count() > 0) {
        out_ += "{\\*\\userprops";
        for (const CustomProperty& p : props) {
            static const int kTypes[6] = {30, 3, 11, 64, 30, 5};
            out_ += "{\\propname ";
            AppendEscaped(out_, p.Name, doc_.ansiCodePage);
            out_ += "}\\proptype";
            out_ += std::to_string(kTypes[p.Type >= 1 && p.Type <= 5 ? p.Type : 0]);
            out_ += "{\\staticval ";
            AppendEscaped(out_, p.Value, doc_.ansiCodePage);
            out_ += '}';
        }
        out_ += "}";
    }
    section_ = 0;
    curIsMain_ = true;
    WriteSectionStart(0);
    WriteStory(doc_.MainStory(), doc_.mainLastProps, true, doc_.mainLastFormat);
    out_ += "}";
    return std::move(out_);
}

} // namespace

std::string Document::ToRtf() const { return RtfWriter(*this).Write(); }

} // namespace qz::word
