#include "platform/word/DisplayWalk.h"

#include "platform/word/Application.h"
#include "platform/word/Drawings.h"
#include "platform/word/Lists.h"
#include "platform/word/Range.h"
#include "platform/word/RtfLexer.h"
#include "platform/word/Utf8.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace qz::word {

namespace {

// The start of a field's code as the display needs it: the keyword (upper
// case), the word after it, and where its code ends. Only the first words
// are read: a code can be long.
struct FieldHead {
    long codeEnd = 0;       // the end character
    std::string keyword;
    std::string second;     // the word after the keyword
    long afterSecond = 0;   // after the second word and the blanks after it
    std::uint32_t fmt = 0;  // the format of the code's first character (the field's own begin character's when it has none)
};

FieldHead ReadFieldHead(const Story& story, long begin) {
    FieldHead h;
    h.codeEnd = MatchingFieldEnd(story, begin);
    if (h.codeEnd < 0) h.codeEnd = static_cast<long>(story.size());
    auto at = [&](long q) -> const Atom& { return story[static_cast<std::size_t>(q)]; };
    auto blank = [&](long q) { return at(q).Kind() == AtomKind::Char && (at(q).value == ' ' || at(q).value == '\t'); };
    long p = begin + 1;
    h.fmt = at(begin).fmt;
    for (long q = begin + 1; q < h.codeEnd; ++q)
        if (at(q).Kind() == AtomKind::Char) {
            h.fmt = at(q).fmt;
            break;
        }
    auto word = [&](std::string& out) {
        while (p < h.codeEnd && blank(p)) ++p;
        for (; p < h.codeEnd && !blank(p) && at(p).Kind() == AtomKind::Char; ++p)
            if (out.size() < 64) appendUtf8(out, at(p).value);
        while (p < h.codeEnd && blank(p)) ++p;
    };
    word(h.keyword);
    h.keyword = toUpperAscii(h.keyword);
    word(h.second);
    h.afterSecond = p;
    return h;
}

long DisplayStart(const FieldHead& head) { return head.second.empty() ? head.codeEnd : head.afterSecond; }

// The begin character of the innermost field holding pos (begin < pos <=
// its end character), or -1. The search stops at a paragraph mark outside
// any field: fields keep their codes within one paragraph, and an edit stays
// as lean as its paragraph.
long EnclosingFieldBegin(const Story& story, long pos) {
    int depth = 0;
    for (long i = pos - 1; i >= 0; --i) {
        switch (story[static_cast<std::size_t>(i)].Kind()) {
        case AtomKind::FieldEnd: ++depth; break;
        case AtomKind::FieldBegin:
            if (depth == 0) return i;
            --depth;
            break;
        case AtomKind::ParaEnd:
            if (depth == 0) return -1;
            break;
        default: break;
        }
    }
    return -1;
}

// The paragraph mark that ends the paragraph at p, or nullptr (the story's
// last paragraph).
const ParaEndInfo* MarkOf(const Document& doc, const Story& story, long p) {
    const long n = static_cast<long>(story.size());
    for (; p < n; ++p) {
        const Atom& a = story[static_cast<std::size_t>(p)];
        if (a.Kind() == AtomKind::ParaEnd) return &doc.ParaEnd(a.value);
    }
    return nullptr;
}

// The file an INCLUDEPICTURE field links to: its first argument (quoted or
// not), "\\" read as one backslash, a relative name taken from the document's
// folder; paths written on Windows have their backslashes turned.
std::string LinkedPicturePath(const Document& doc, const Story& story, long begin, long codeEnd) {
    std::string code;
    for (long p = begin + 1; p < codeEnd && code.size() < 4096; ++p) {
        const Atom& a = story[static_cast<std::size_t>(p)];
        if (a.Kind() == AtomKind::Char) appendUtf8(code, a.value);
    }
    std::size_t p = code.find_first_not_of(' ');
    p = code.find(' ', p == std::string::npos ? 0 : p); // after the keyword
    p = p == std::string::npos ? std::string::npos : code.find_first_not_of(' ', p);
    if (p == std::string::npos) return {};
    std::string path;
    const bool quoted = code[p] == '"';
    for (std::size_t k = p + (quoted ? 1 : 0); k < code.size(); ++k) {
        const char c = code[k];
        if (quoted ? c == '"' : c == ' ') break;
        if (c == '\\' && k + 1 < code.size() && code[k + 1] == '\\') ++k;
        path += c == '\\' ? '/' : c;
    }
    if (!path.empty() && path[0] != '/' && !(path.size() > 1 && path[1] == ':') && !doc.Path().empty())
        path = doc.Path() + "/" + path;
    return path;
}

bool IsCell(const ParaEndInfo* m) { return m && (m->word == "cell" || m->word == "nestcell"); }
bool IsRow(const ParaEndInfo& m) { return m.word == "row" || m.word == "nestrow"; }

// Whether the paragraph at pos is a table's: its mark is a cell's, or it is
// a paragraph of a cell (\intbl) that goes on to a cell mark (a cell of
// several paragraphs).
bool InCell(const Document& doc, const Story& story, long pos) {
    const long n = static_cast<long>(story.size());
    for (long q = pos; q < n; ++q) {
        const Atom& x = story[static_cast<std::size_t>(q)];
        if (x.Kind() != AtomKind::ParaEnd) continue;
        const ParaEndInfo& m = doc.ParaEnd(x.value);
        if (IsCell(&m)) return true;
        if (m.word != "par" || m.props.find("\\intbl") == std::string::npos) return false;
    }
    return false;
}

// Where the row starts in a table paragraph that begins at pos and holds
// text before its row's definition (a loop's field before the row): that
// text shows as a paragraph of its own before the row, where a production
// leaves it. -1 when nothing stands before the row.
long RowStartAfterText(const Document& doc, const Story& story, long pos) {
    const long n = static_cast<long>(story.size());
    for (long q = pos; q < n; ++q) {
        const Atom& x = story[static_cast<std::size_t>(q)];
        if (x.Kind() == AtomKind::ParaEnd) return -1;
        if (IsRowStartMark(doc, x)) return q > pos ? q : -1;
    }
    return -1;
}

// Whether a table row starts at pos, nothing standing before it.
bool RowGoesOnAt(const Document& doc, const Story& story, long pos) {
    return InCell(doc, story, pos) && RowStartAfterText(doc, story, pos) < 0;
}

} // namespace

char32_t SymbolGlyph(unsigned number) {
    switch (number) {
    case 215: return 0x25C2; // a statement's opening marker
    case 216: return 0x25B8; // its closing marker
    case 61558:
    case 118: return 0x2756; // an expression's marker
    default: return number > 0 && number < 0x110000 ? static_cast<char32_t>(number) : 0x25A1;
    }
}

NoteNumbering::NoteNumbering(const Document& doc, const Story& story, long from)
    : doc_(doc), story_(story), from_(from) {}

void NoteNumbering::CountBefore() {
    if (counted_) return;
    counted_ = true;
    for (long q = 0; q < from_; ++q) {
        const Atom& x = story_[static_cast<std::size_t>(q)];
        if (x.Kind() != AtomKind::Opaque || !doc_.Opaque(x.value).starts_with("{\\footnote")) continue;
        if (const int k = NoteKind(doc_.Opaque(x.value))) ++seen_[k - 1];
    }
}

std::u32string NoteNumbering::Passed(int kind) {
    CountBefore();
    return NoteMark(doc_, kind == 2, ++seen_[kind - 1]);
}

std::u32string NoteNumbering::Mark(long at) {
    if (!ownMark_.empty()) return ownMark_;
    CountBefore(); // the notes before the walk's start, once
    // The note the mark refers to follows it closely.
    const long n = static_cast<long>(story_.size());
    for (long q = at + 1; q < n && q < at + 16; ++q) {
        const Atom& x = story_[static_cast<std::size_t>(q)];
        if (x.Kind() != AtomKind::Opaque) continue;
        if (const int k = NoteKind(doc_.Opaque(x.value))) return NoteMark(doc_, k == 2, seen_[k - 1] + 1);
    }
    return NoteMark(doc_, false, seen_[0] + 1);
}

ParagraphNumbers::ParagraphNumbers(const Document& doc, const Story& story)
    : doc_(doc), story_(story), lists_(doc.preamble.find("\\listtable") != std::string::npos) {}

ParagraphNumbers::Shown ParagraphNumbers::At(long at, const ParaFormat& f) {
    Shown shown;
    if (!lists_ || f.list <= 0) return shown;
    if (!numbering_) {
        numbering_.emplace(doc_);
        numbering_->CountBefore(story_, at);
    }
    shown.kept = HoldsListText(doc_, story_, at);
    if (const ListLevel* own = numbering_->Level(f)) {
        // The number shows in its level's font and size; a symbol font's
        // bullets are shown as the characters they stand for.
        const FontDef* font = own->font >= 0 ? doc_.FontByNumber(own->font) : nullptr;
        if (font && font->charset != 2) shown.font = own->font;
        shown.size = own->size;
    }
    if (std::optional<std::u32string> number = numbering_->Next(f)) {
        shown.text = std::move(*number);
        if (const char32_t follow = numbering_->Follow(f)) shown.text += follow;
        return shown;
    }
    // A bullet level's bullet, unless the file kept one.
    const ListLevel* level = shown.kept ? nullptr : numbering_->Level(f);
    if (level) shown.text = LevelBullet(doc_, *level);
    return shown;
}

namespace {

// Goes through a range of a story and tells the sink what each atom shows.
class DisplayWalker {
public:
    DisplayWalker(const Document& doc, const Story& story, long from, long to, bool showFieldCodes, DisplaySink& sink)
        : doc_(doc), story_(story), from_(from), to_(std::min(to, static_cast<long>(story.size()))),
          codes_(showFieldCodes), sink_(sink), notes_(doc, story, from), numbers_(doc, story) {
        const std::string* last = doc.LastProps(story);
        lastFormat_ = last ? ParseParaFormat(*last) : ParaFormat{};
    }
    NoteNumbering& Notes() { return notes_; }
    void Walk();

private:
    const Atom& At(long i) const { return story_[static_cast<std::size_t>(i)]; }
    void Emit(DisplayRun::Kind kind, long start, long end) {
        run_.kind = kind;
        run_.start = start;
        run_.end = end;
        sink_.Show(run_);
        run_ = DisplayRun{};
    }
    void EmitText(DisplayRun::Kind kind, long start, long end, std::u32string_view t, std::uint32_t fmt) {
        run_.text = t;
        run_.fmt = fmt;
        Emit(kind, start, end);
    }
    void StartParagraph(long i);
    void StartTable(long i);
    long Chars(long i);
    long ParagraphMark(long i);
    long Field(long i);
    long Opaque(long i);

    const Document& doc_;
    const Story& story_;
    const long from_, to_;
    const bool codes_;
    DisplaySink& sink_;
    ParaFormat lastFormat_;
    DisplayRun run_;
    std::u32string text_;
    NoteNumbering notes_;
    ParagraphNumbers numbers_;
    std::u32string listText_;
    long keptNumberAt_ = -1; // the kept number that listText_ shows in place of
    int listFont_ = -1, listSize_ = 0; // the font and size listText_ shows in
    bool inTable_ = false;
    bool atParagraphStart_ = true;
    long rowStart_ = -1; // the row-start mark that ends text shown before its row
};

void DisplayWalker::Walk() {
    for (long i = from_; i < to_;) {
        if (atParagraphStart_) {
            atParagraphStart_ = false;
            StartParagraph(i);
        }
        const Atom& a = At(i);
        switch (a.Kind()) {
        case AtomKind::Char: i = Chars(i); break;
        case AtomKind::Symbol: {
            const char32_t g = SymbolGlyph(a.value);
            EmitText(DisplayRun::Kind::Text, i, i + 1, std::u32string_view(&g, 1), a.fmt);
            ++i;
            break;
        }
        case AtomKind::ParaEnd: i = ParagraphMark(i); break;
        case AtomKind::FieldBegin: i = Field(i); break;
        case AtomKind::FieldEnd:
            if (codes_) EmitText(DisplayRun::Kind::CodeMark, i, i + 1, U"}", a.fmt);
            else Emit(DisplayRun::Kind::Hidden, i, i + 1);
            ++i;
            break;
        case AtomKind::Opaque: i = Opaque(i); break;
        }
    }
    run_.para = &lastFormat_;
    Emit(DisplayRun::Kind::RangeEnd, to_, to_);
}

void DisplayWalker::StartParagraph(long i) {
    if (!inTable_ && InCell(doc_, story_, i) && (rowStart_ = RowStartAfterText(doc_, story_, i)) < 0) StartTable(i);
    // A list paragraph shows the number its list's levels give it, in place
    // of the one the file kept (which another program may have left stale,
    // or not kept at all).
    const ParaEndInfo* mark = MarkOf(doc_, story_, i);
    ParagraphNumbers::Shown shown = numbers_.At(i, mark ? mark->format : lastFormat_);
    if (shown.text.empty()) return;
    listText_ = std::move(shown.text);
    listFont_ = shown.font;
    listSize_ = shown.size;
    if (shown.kept) {
        keptNumberAt_ = i;
        return;
    }
    run_.font = listFont_;
    run_.size = listSize_;
    EmitText(DisplayRun::Kind::FieldText, i, i, listText_, At(i).fmt);
}

void DisplayWalker::StartTable(long i) {
    // Columns: the most cells a row of the table has; the cells' boundaries
    // as the mark of the first row with that many states them.
    int columns = 0;
    const ParaEndInfo* rowMark = nullptr;
    const long n = static_cast<long>(story_.size());
    for (long q = i, cells = 0; q < n; ++q) {
        const Atom& x = At(q);
        if (x.Kind() != AtomKind::ParaEnd) continue;
        const ParaEndInfo& m = doc_.ParaEnd(x.value);
        if (IsCell(&m)) {
            ++cells;
            continue;
        }
        const bool row = IsRow(m);
        // A paragraph of a cell of several paragraphs.
        if (!row && m.word == "par" && m.props.find("\\intbl") != std::string::npos) continue;
        if (cells > columns || !rowMark) {
            columns = static_cast<int>(cells);
            rowMark = &m;
        }
        cells = 0;
        if (!row || q + 1 >= n || !RowGoesOnAt(doc_, story_, q + 1)) break;
    }
    static const RowFormat kNoCells;
    run_.row = rowMark ? &rowMark->rowFormat : &kNoCells;
    run_.columns = std::max(columns, 1);
    Emit(DisplayRun::Kind::TableStart, i, i);
    inTable_ = true;
}

long DisplayWalker::Chars(long i) {
    const Atom& a = At(i);
    if (a.value == 0x0C) {
        run_.fmt = a.fmt;
        const ParaEndInfo* mark = MarkOf(doc_, story_, i);
        run_.para = mark ? &mark->format : &lastFormat_;
        Emit(DisplayRun::Kind::PageBreak, i, i + 1);
        return i + 1;
    }
    // The common case: plain characters of one format, many in a row.
    const long start = i;
    text_.clear();
    for (; i < to_; ++i) {
        const Atom& c = At(i);
        if (c.Kind() != AtomKind::Char || c.value == 0x0C || c.fmt != a.fmt) break;
        text_ += static_cast<char32_t>(c.value);
    }
    EmitText(DisplayRun::Kind::Text, start, i, text_, a.fmt);
    return i;
}

long DisplayWalker::ParagraphMark(long i) {
    const ParaEndInfo& m = doc_.ParaEnd(At(i).value);
    run_.para = &m.format;
    if (inTable_ && IsRow(m)) {
        run_.tableGoesOn = i + 1 < to_ && RowGoesOnAt(doc_, story_, i + 1);
        run_.row = &m.rowFormat;
        inTable_ = run_.tableGoesOn;
        Emit(DisplayRun::Kind::RowEnd, i, i + 1);
        atParagraphStart_ = !inTable_; // a row that follows starts no table of its own
        return i + 1;
    }
    if (inTable_ && IsCell(&m)) {
        const ParaEndInfo* next = i + 1 < to_ ? MarkOf(doc_, story_, i + 1) : nullptr;
        run_.tableGoesOn = i + 1 < to_ && (!next || !IsRow(*next));
        Emit(DisplayRun::Kind::CellEnd, i, i + 1);
    } else {
        run_.sectionEnd = m.word == "sect";
        Emit(DisplayRun::Kind::ParagraphEnd, i, i + 1);
    }
    atParagraphStart_ = true;
    return i + 1;
}

long DisplayWalker::Field(long i) {
    const Atom& a = At(i);
    if (codes_) {
        EmitText(DisplayRun::Kind::CodeMark, i, i + 1, U"{", a.fmt);
        return i + 1;
    }
    const FieldHead head = ReadFieldHead(story_, i);
    const long after = std::min(to_, head.codeEnd + 1);
    if (head.keyword == "MACROBUTTON") {
        // The display text, what follows the macro's name, shows as the
        // document's own atoms; the end character shows nothing.
        const long shown = std::min(to_, DisplayStart(head));
        Emit(DisplayRun::Kind::Hidden, i, shown);
        return shown;
    }
    if (head.keyword == "SET") {
        Emit(DisplayRun::Kind::Hidden, i, after);
    } else if (head.keyword == "INCLUDEPICTURE") {
        Picture picture;
        picture.kind = Picture::Kind::Other;
        picture.path = LinkedPicturePath(doc_, story_, i, head.codeEnd);
        run_.picture = &picture;
        run_.fmt = a.fmt;
        Emit(DisplayRun::Kind::Picture, i, after);
    } else if (head.keyword == "SYMBOL") {
        unsigned n = 0;
        const std::string& s = head.second;
        const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
        std::from_chars(s.data() + (hex ? 2 : 0), s.data() + s.size(), n, hex ? 16 : 10);
        const char32_t g = SymbolGlyph(n);
        EmitText(DisplayRun::Kind::FieldText, i, after, std::u32string_view(&g, 1), head.fmt);
    } else {
        text_ = FieldResultText(doc_, doc_.FieldInfoAt(a.value).result, doc_.Format(a.fmt).font);
        // The result shows inside its field's paragraph: its own paragraph
        // marks show as line breaks.
        std::replace(text_.begin(), text_.end(), U'\r', char32_t{0x0B});
        run_.link = head.keyword == "HYPERLINK";
        run_.pageNumber = head.keyword == "PAGE";
        // The result shows in the format given to the field's code, as a
        // word processor shows a result it worked out (a page's number):
        // the format around the field may be another.
        EmitText(DisplayRun::Kind::FieldText, i, after, text_, head.fmt);
    }
    return after;
}

long DisplayWalker::Opaque(long i) {
    const Atom& a = At(i);
    if (i == rowStart_) {
        // The text before the row ends here, in its paragraph's format;
        // the row starts after it.
        rowStart_ = -1;
        const ParaEndInfo* mark = MarkOf(doc_, story_, i);
        run_.para = mark ? &mark->format : &lastFormat_;
        Emit(DisplayRun::Kind::ParagraphEnd, i, i + 1);
        if (i + 1 < to_) StartTable(i + 1);
        return i + 1;
    }
    const std::string& group = doc_.Opaque(a.value);
    // A note's reference mark: the number of the note that follows it.
    if (group == "\\chftn ") {
        text_ = notes_.Mark(i);
        EmitText(DisplayRun::Kind::FieldText, i, i + 1, text_, a.fmt);
        return i + 1;
    }
    if (const int note = group.starts_with("{\\footnote") ? NoteKind(group) : 0) {
        text_ = notes_.Passed(note);
        run_.note = note;
        EmitText(DisplayRun::Kind::Hidden, i, i + 1, text_, a.fmt);
        return i + 1;
    }
    // An equation shows as its text in a line, or as the picture kept for
    // readers that know no equations.
    const bool equation = IsEquation(group);
    if (equation) {
        text_ = EquationText(doc_, group, doc_.Format(a.fmt).font);
        if (!text_.empty()) {
            EmitText(DisplayRun::Kind::FieldText, i, i + 1, text_, a.fmt);
            return i + 1;
        }
    }
    // A list's number or bullet, as the writer kept it for readers that do
    // not number lists themselves.
    if (const std::string_view kept = KeptListText(group); !kept.empty()) {
        if (i != keptNumberAt_) text_ = FieldResultText(doc_, kept, doc_.Format(a.fmt).font);
        if (i == keptNumberAt_) {
            run_.font = listFont_;
            run_.size = listSize_;
        }
        EmitText(DisplayRun::Kind::FieldText, i, i + 1, i == keptNumberAt_ ? listText_ : text_, a.fmt);
        return i + 1;
    }
    // A page number (\chpgn): the number of the page it shows on.
    if (group.starts_with("\\chpgn")) {
        run_.pageNumber = true;
        EmitText(DisplayRun::Kind::FieldText, i, i + 1, U"1", a.fmt);
        return i + 1;
    }
    Picture picture;
    if (equation) {
        if (const std::size_t p = group.find("mmathPict"); p != std::string::npos)
            picture = ParsePicture(std::string_view(group).substr(p));
    } else if (group.find("\\pict") != std::string::npos) {
        picture = ParsePicture(group);
    }
    if (picture.kind != Picture::Kind::None) {
        run_.picture = &picture;
        run_.fmt = a.fmt;
        Emit(DisplayRun::Kind::Picture, i, i + 1);
    } else {
        Emit(DisplayRun::Kind::Hidden, i, i + 1);
    }
    return i + 1;
}

} // namespace

void WalkDisplay(const Document& doc, const Story& story, long from, long to, bool showFieldCodes, DisplaySink& sink,
                 std::u32string_view noteMark) {
    DisplayWalker walker(doc, story, from, to, showFieldCodes, sink);
    walker.Notes().SetOwnMark(noteMark);
    walker.Walk();
}

long FieldDisplayStart(const Story& story, long begin) {
    const FieldHead head = ReadFieldHead(story, begin);
    return head.keyword == "MACROBUTTON" ? DisplayStart(head) : -1;
}

bool FieldCodesShown(const Document& doc) {
    Application* app = doc.GetApplication();
    return !app || !app->Active() || app->ActiveWindow().GetView().ShowFieldCodes;
}

long OutsideFieldEdges(const Document& doc, const Story& story, long pos, bool intoShownText) {
    if (FieldCodesShown(doc)) return pos;
    for (long begin = EnclosingFieldBegin(story, pos); begin >= 0; begin = EnclosingFieldBegin(story, pos)) {
        const FieldHead head = ReadFieldHead(story, begin);
        const long end = head.codeEnd;
        if (end >= static_cast<long>(story.size())) return pos;  // never closed: no edge to keep
        const long text = head.keyword == "MACROBUTTON" ? DisplayStart(head) : -1;
        if (intoShownText && text >= 0 && text < end && pos > text) {
            // After the last thing shown: atoms, and nested fields other than
            // SET (which shows nothing).
            long shownEnd = text;
            for (long i = text; i < end; ++i) {
                const AtomKind k = story[static_cast<std::size_t>(i)].Kind();
                if (k == AtomKind::FieldBegin) {
                    const FieldHead nested = ReadFieldHead(story, i);
                    if (nested.codeEnd >= end) break;
                    if (nested.keyword != "SET") shownEnd = nested.codeEnd + 1;
                    i = nested.codeEnd;
                } else if (k != AtomKind::FieldEnd) {
                    shownEnd = i + 1;
                }
            }
            if (pos < shownEnd) return pos;  // strictly inside the shown text
            pos = end + 1;
        } else {
            // At the start of what the field shows, in its hidden code, in a
            // field that shows no atoms, or inside its shown text for what
            // that text cannot hold.
            pos = text >= 0 && pos <= text ? begin : end + 1;
        }
    }
    return pos;
}

long MacroButtonAt(const Story& story, long pos, std::string* macro) {
    const long n = static_cast<long>(story.size());
    long b = pos < n && story[static_cast<std::size_t>(pos)].Kind() == AtomKind::FieldBegin ? pos
                                                                                           : EnclosingFieldBegin(story, pos);
    for (; b >= 0; b = EnclosingFieldBegin(story, b)) {
        FieldHead head = ReadFieldHead(story, b);
        if (head.keyword != "MACROBUTTON" || head.codeEnd >= n) continue;
        if (macro) *macro = std::move(head.second);
        return b;
    }
    return -1;
}

} // namespace qz::word
