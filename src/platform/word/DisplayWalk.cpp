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

void WalkDisplay(const Document& doc, const Story& story, long from, long to, bool showFieldCodes,
                 DisplaySink& sink) {
    to = std::min(to, static_cast<long>(story.size()));
    std::u32string text;
    DisplayRun run;
    auto emit = [&](DisplayRun::Kind kind, long start, long end) {
        run.kind = kind;
        run.start = start;
        run.end = end;
        sink.Show(run);
        run = DisplayRun{};
    };
    auto emitText = [&](DisplayRun::Kind kind, long start, long end, std::u32string_view t, std::uint32_t fmt) {
        run.text = t;
        run.fmt = fmt;
        emit(kind, start, end);
    };
    static constexpr char32_t kOpen[] = U"{", kClose[] = U"}";
    const std::string* last = doc.LastProps(story);
    const ParaFormat lastFormat = last ? ParseParaFormat(*last) : ParaFormat{};

    // A list paragraph shows the number its list's levels give it, in place
    // of the one the file kept (which another program may have left stale,
    // or not kept at all); a paragraph of a bullet level whose bullet the
    // file did not keep shows its level's bullet. Lists count from the
    // story's start, read once a walk, and only when a list paragraph shows.
    const bool lists = doc.preamble.find("\\listtable") != std::string::npos;
    std::optional<ListNumbering> numbering;
    std::u32string listText;
    long keptNumberAt = -1; // the kept number that listText shows in place of
    auto showNumber = [&](long i) {
        const ParaEndInfo* mark = MarkOf(doc, story, i);
        const ParaFormat& f = mark ? mark->format : lastFormat;
        if (f.list <= 0) return;
        if (!numbering) {
            numbering.emplace(doc);
            numbering->CountBefore(story, i);
        }
        const bool kept = HoldsListText(doc, story, i);
        if (std::optional<std::u32string> number = numbering->Next(f)) {
            listText = std::move(*number);
            if (const char32_t follow = numbering->Follow(f)) listText += follow;
            if (kept) keptNumberAt = i;
            else emitText(DisplayRun::Kind::FieldText, i, i, listText, story[static_cast<std::size_t>(i)].fmt);
            return;
        }
        const ListLevel* level = kept ? nullptr : numbering->Level(f);
        if (!level) return;
        listText = LevelBullet(doc, *level);
        if (!listText.empty()) emitText(DisplayRun::Kind::FieldText, i, i, listText, story[static_cast<std::size_t>(i)].fmt);
    };

    // Notes are numbered from the story's start: those before `from` are
    // counted when the first mark asks.
    int notesSeen[2] = {0, 0};
    bool notesCounted = false;
    auto FootnoteMark = [&](long at) -> std::u32string {
        if (!notesCounted) {
            notesCounted = true;
            for (long q = 0; q < from; ++q) {
                const Atom& x = story[static_cast<std::size_t>(q)];
                if (x.Kind() != AtomKind::Opaque || !doc.Opaque(x.value).starts_with("{\\footnote")) continue;
                if (const int k = NoteKind(doc.Opaque(x.value))) ++notesSeen[k - 1];
            }
        }
        // The note the mark refers to follows it closely.
        const long n = static_cast<long>(story.size());
        for (long q = at + 1; q < n && q < at + 16; ++q) {
            const Atom& x = story[static_cast<std::size_t>(q)];
            if (x.Kind() != AtomKind::Opaque) continue;
            if (const int k = NoteKind(doc.Opaque(x.value))) return NoteMark(doc, k == 2, notesSeen[k - 1] + 1);
        }
        return NoteMark(doc, false, notesSeen[0] + 1);
    };

    bool inTable = false;
    bool atParagraphStart = true;
    for (long i = from; i < to;) {
        if (atParagraphStart) {
            atParagraphStart = false;
            if (!inTable && InCell(doc, story, i)) {
                // Columns: the most cells a row of the table has; the cells'
                // boundaries as the mark of the first row with that many
                // states them.
                int columns = 0;
                const ParaEndInfo* rowMark = nullptr;
                const long n = static_cast<long>(story.size());
                for (long q = i, cells = 0; q < n; ++q) {
                    const Atom& x = story[static_cast<std::size_t>(q)];
                    if (x.Kind() != AtomKind::ParaEnd) continue;
                    const ParaEndInfo& m = doc.ParaEnd(x.value);
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
                    if (!row || q + 1 >= n || !InCell(doc, story, q + 1)) break;
                }
                static const RowFormat kNoCells;
                run.row = rowMark ? &rowMark->rowFormat : &kNoCells;
                run.columns = std::max(columns, 1);
                emit(DisplayRun::Kind::TableStart, i, i);
                inTable = true;
            }
            if (lists) showNumber(i);
        }
        const Atom& a = story[static_cast<std::size_t>(i)];
        switch (a.Kind()) {
        case AtomKind::Char: {
            if (a.value == 0x0C) {
                run.fmt = a.fmt;
                const ParaEndInfo* mark = MarkOf(doc, story, i);
                run.para = mark ? &mark->format : &lastFormat;
                emit(DisplayRun::Kind::PageBreak, i, i + 1);
                ++i;
                break;
            }
            // The common case: plain characters of one format, many in a row.
            const long start = i;
            text.clear();
            for (; i < to; ++i) {
                const Atom& c = story[static_cast<std::size_t>(i)];
                if (c.Kind() != AtomKind::Char || c.value == 0x0C || c.fmt != a.fmt) break;
                text += static_cast<char32_t>(c.value);
            }
            emitText(DisplayRun::Kind::Text, start, i, text, a.fmt);
            break;
        }
        case AtomKind::Symbol: {
            const char32_t g = SymbolGlyph(a.value);
            emitText(DisplayRun::Kind::Text, i, i + 1, std::u32string_view(&g, 1), a.fmt);
            ++i;
            break;
        }
        case AtomKind::ParaEnd: {
            const ParaEndInfo& m = doc.ParaEnd(a.value);
            run.para = &m.format;
            if (inTable && IsRow(m)) {
                run.tableGoesOn = i + 1 < to && InCell(doc, story, i + 1);
                run.row = &m.rowFormat;
                inTable = run.tableGoesOn;
                emit(DisplayRun::Kind::RowEnd, i, i + 1);
                ++i;
                break; // a row that follows starts no table of its own
            }
            if (inTable && IsCell(&m)) {
                const ParaEndInfo* next = i + 1 < to ? MarkOf(doc, story, i + 1) : nullptr;
                run.tableGoesOn = i + 1 < to && (!next || !IsRow(*next));
                emit(DisplayRun::Kind::CellEnd, i, i + 1);
            } else {
                run.sectionEnd = m.word == "sect";
                emit(DisplayRun::Kind::ParagraphEnd, i, i + 1);
            }
            ++i;
            atParagraphStart = true;
            break;
        }
        case AtomKind::FieldBegin: {
            if (showFieldCodes) {
                emitText(DisplayRun::Kind::CodeMark, i, i + 1, kOpen, a.fmt);
                ++i;
                break;
            }
            const FieldHead head = ReadFieldHead(story, i);
            const long after = std::min(to, head.codeEnd + 1);
            if (head.keyword == "MACROBUTTON") {
                // The display text, what follows the macro's name, shows as the
                // document's own atoms; the end character shows nothing.
                const long shown = DisplayStart(head);
                emit(DisplayRun::Kind::Hidden, i, std::min(to, shown));
                i = std::min(to, shown);
                break;
            }
            if (head.keyword == "SET") {
                emit(DisplayRun::Kind::Hidden, i, after);
            } else if (head.keyword == "INCLUDEPICTURE") {
                Picture picture;
                picture.kind = Picture::Kind::Other;
                picture.path = LinkedPicturePath(doc, story, i, head.codeEnd);
                run.picture = &picture;
                run.fmt = a.fmt;
                emit(DisplayRun::Kind::Picture, i, after);
            } else if (head.keyword == "SYMBOL") {
                unsigned n = 0;
                const std::string& s = head.second;
                const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
                std::from_chars(s.data() + (hex ? 2 : 0), s.data() + s.size(), n, hex ? 16 : 10);
                const char32_t g = SymbolGlyph(n);
                emitText(DisplayRun::Kind::FieldText, i, after, std::u32string_view(&g, 1), head.fmt);
            } else {
                text = FieldResultText(doc, doc.FieldInfoAt(a.value).result, doc.Format(a.fmt).font);
                // The result shows inside its field's paragraph: its own
                // paragraph marks show as line breaks.
                std::replace(text.begin(), text.end(), U'\r', char32_t{0x0B});
                run.link = head.keyword == "HYPERLINK";
                run.pageNumber = head.keyword == "PAGE";
                // The result shows in the format given to the field's code,
                // as a word processor shows a result it worked out (a page's
                // number): the format around the field may be another.
                emitText(DisplayRun::Kind::FieldText, i, after, text, head.fmt);
            }
            i = after;
            break;
        }
        case AtomKind::FieldEnd:
            if (showFieldCodes) emitText(DisplayRun::Kind::CodeMark, i, i + 1, kClose, a.fmt);
            else emit(DisplayRun::Kind::Hidden, i, i + 1);
            ++i;
            break;
        case AtomKind::Opaque: {
            const std::string& group = doc.Opaque(a.value);
            // A note's reference mark: the number of the note that follows it.
            if (group == "\\chftn ") {
                text = FootnoteMark(i);
                emitText(DisplayRun::Kind::FieldText, i, i + 1, text, a.fmt);
                ++i;
                break;
            }
            if (const int note = group.starts_with("{\\footnote") ? NoteKind(group) : 0) {
                ++notesSeen[note - 1];
                emit(DisplayRun::Kind::Hidden, i, i + 1);
                ++i;
                break;
            }
            // An equation shows as its text in a line, or as the picture
            // kept for readers that know no equations.
            const bool equation = IsEquation(group);
            if (equation) {
                text = EquationText(doc, group, doc.Format(a.fmt).font);
                if (!text.empty()) {
                    emitText(DisplayRun::Kind::FieldText, i, i + 1, text, a.fmt);
                    ++i;
                    break;
                }
            }
            // A list's number or bullet, as the writer kept it for readers
            // that do not number lists themselves.
            if (const std::string_view kept = KeptListText(group); !kept.empty()) {
                if (i != keptNumberAt) text = FieldResultText(doc, kept, doc.Format(a.fmt).font);
                emitText(DisplayRun::Kind::FieldText, i, i + 1, i == keptNumberAt ? listText : text, a.fmt);
                ++i;
                break;
            }
            // A page number (\chpgn): the number of the page it shows on.
            if (group.starts_with("\\chpgn")) {
                static constexpr char32_t kFirst[] = U"1";
                run.pageNumber = true;
                emitText(DisplayRun::Kind::FieldText, i, i + 1, kFirst, a.fmt);
                ++i;
                break;
            }
            Picture picture;
            if (equation) {
                if (const std::size_t p = group.find("mmathPict"); p != std::string::npos)
                    picture = ParsePicture(std::string_view(group).substr(p));
            } else if (group.find("\\pict") != std::string::npos) {
                picture = ParsePicture(group);
            }
            if (picture.kind != Picture::Kind::None) {
                run.picture = &picture;
                run.fmt = a.fmt;
                emit(DisplayRun::Kind::Picture, i, i + 1);
            } else {
                emit(DisplayRun::Kind::Hidden, i, i + 1);
            }
            ++i;
            break;
        }
        }
    }
    run.para = &lastFormat;
    emit(DisplayRun::Kind::RangeEnd, to, to);
}

long FieldDisplayStart(const Story& story, long begin) {
    const FieldHead head = ReadFieldHead(story, begin);
    return head.keyword == "MACROBUTTON" ? DisplayStart(head) : -1;
}

bool FieldCodesShown(const Document& doc) {
    Application* app = doc.GetApplication();
    return !app || !app->Active() || app->ActiveWindow().GetView().ShowFieldCodes;
}

long OutsideFieldEdges(const Document& doc, const Story& story, long pos) {
    if (FieldCodesShown(doc)) return pos;
    for (long begin = EnclosingFieldBegin(story, pos); begin >= 0; begin = EnclosingFieldBegin(story, pos)) {
        const FieldHead head = ReadFieldHead(story, begin);
        const long end = head.codeEnd;
        if (end >= static_cast<long>(story.size())) return pos;  // never closed: no edge to keep
        const long text = head.keyword == "MACROBUTTON" ? DisplayStart(head) : -1;
        if (text >= 0 && text < end && pos > text) {
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
            // At the start of what the field shows, in its hidden code, or in
            // a field that shows no atoms.
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
