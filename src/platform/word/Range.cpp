#include "platform/word/Range.h"
#include "platform/word/Table.h"

#include "platform/word/Lists.h"

#include "platform/word/Application.h"
#include "platform/word/DisplayWalk.h"
#include "platform/word/Utf8.h"

#include <algorithm>
#include <unicode/uchar.h>

namespace qz::word {

// ---------------------------------------------------------------------------
// Story helpers

char32_t AtomChar(const Document& doc, const Atom& a) {
    switch (a.Kind()) {
    case AtomKind::Char: return a.value;
    case AtomKind::Symbol: return a.value < 0x100 ? 0xF000 + a.value : a.value;
    case AtomKind::ParaEnd: {
        const std::string& w = doc.ParaEnd(a.value).word;
        if (w == "par") return U'\r';
        if (w == "sect") return U'\f';
        return U'\a';
    }
    case AtomKind::FieldBegin: return kFieldBeginChar;
    case AtomKind::FieldEnd: return kFieldEndChar;
    case AtomKind::Opaque: return kObjectChar;
    }
    return kObjectChar;
}

std::string StoryText(const Document& doc, const Story& story, long start, long end) {
    end = std::min(end, static_cast<long>(story.size())); // never the atoms' memory past the story
    std::string out;
    out.reserve(static_cast<std::size_t>(std::max(0L, end - start)));
    for (long i = start; i < end; ++i) appendUtf8(out, AtomChar(doc, story[static_cast<std::size_t>(i)]));
    return out;
}

long MatchingFieldEnd(const Story& story, long begin) {
    long n = static_cast<long>(story.size());
    int depth = 0;
    for (long i = begin; i < n; ++i) {
        AtomKind k = story[static_cast<std::size_t>(i)].Kind();
        if (k == AtomKind::FieldBegin) ++depth;
        else if (k == AtomKind::FieldEnd && --depth == 0) return i;
    }
    return -1;
}

namespace {

long MatchingFieldBegin(const Story& story, long end) {
    int depth = 0;
    for (long i = end; i >= 0; --i) {
        AtomKind k = story[static_cast<std::size_t>(i)].Kind();
        if (k == AtomKind::FieldEnd) ++depth;
        else if (k == AtomKind::FieldBegin && --depth == 0) return i;
    }
    return -1;
}

bool HoldsParagraphs(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// Properties of the paragraph that holds position pos: those of its end.
std::uint32_t ParagraphEndAt(Document& doc, const Story& story, long pos) {
    long n = static_cast<long>(story.size());
    bool beforeRow = false;
    for (long i = pos; i < n; ++i) {
        const Atom& a = story[static_cast<std::size_t>(i)];
        // Text before a row's start stands in a plain paragraph.
        beforeRow = beforeRow || IsRowStartMark(doc, a);
        if (a.Kind() == AtomKind::ParaEnd && beforeRow) {
            return doc.InternParaEnd("par", OutsideTableWords(doc.ParaEnd(a.value).props));
        }
        if (a.Kind() == AtomKind::ParaEnd) {
            const ParaEndInfo& pe = doc.ParaEnd(a.value);
            return doc.InternParaEnd("par", pe.props, pe.row);
        }
    }
    return doc.InternParaEnd("par", &story == &doc.MainStory() ? doc.mainLastProps : std::string());
}

bool IsWordChar(char32_t c) {
    return c == U'_' || c == U'\'' || u_isalnum(static_cast<UChar32>(c));
}

// A position past the story's end (a selection the story shrank under) reads
// the story's last character instead of memory after it.
// A list paragraph's number keeps the format it was given (often the plain
// one of an empty paragraph's mark); text typed just after it follows the
// paragraph's own text, or, in an empty item, the text before the paragraph.
std::uint32_t FormatBefore(const Document& doc, const Story& story, long pos) {
    pos = std::min(pos, static_cast<long>(story.size()));
    if (pos > 0 && HoldsListText(doc, story, pos - 1)) {
        if (pos < static_cast<long>(story.size()) && story[static_cast<std::size_t>(pos)].Kind() != AtomKind::ParaEnd)
            return story[static_cast<std::size_t>(pos)].fmt;
        if (pos > 1) return story[static_cast<std::size_t>(pos - 2)].fmt;
    }
    // At the start of a paragraph that has text, the text's format: the
    // mark before is the previous paragraph's, often plain where its text was not.
    if (pos > 0 && pos < static_cast<long>(story.size()) &&
        story[static_cast<std::size_t>(pos - 1)].Kind() == AtomKind::ParaEnd &&
        story[static_cast<std::size_t>(pos)].Kind() != AtomKind::ParaEnd)
        return story[static_cast<std::size_t>(pos)].fmt;
    if (pos > 0) return story[static_cast<std::size_t>(pos - 1)].fmt;
    if (story.size() > 0) return story[0].fmt;
    return doc.EmptyStoryFormat(story);
}

// The row-start mark that replacing [start, end) with atoms must keep: one
// the range holds when it takes no row mark, and something stands before
// it in its paragraph after the replacement.
std::optional<Atom> KeptRowStart(const Document& doc, const Story& story, long start, long end, const Atom* atoms,
                                 std::size_t n) {
    std::optional<Atom> mark;
    for (long i = start; i < end; ++i) {
        const Atom& a = story[static_cast<std::size_t>(i)];
        if (a.Kind() == AtomKind::ParaEnd) {
            const std::string& w = doc.ParaEnd(a.value).word;
            if (w == "row" || w == "nestrow") return std::nullopt;
        } else if (IsRowStartMark(doc, a)) {
            mark = a;
        }
    }
    if (!mark) return std::nullopt;
    const auto isMark = [](const Atom& a) { return a.Kind() == AtomKind::ParaEnd; };
    const bool nothingBefore = n > 0 ? isMark(atoms[n - 1]) : start == 0 || isMark(story[static_cast<std::size_t>(start - 1)]);
    return nothingBefore ? std::nullopt : mark;
}

void DropAtom(Document& doc, Story& story, long at) {
    doc.Record(story, at, at + 1, 0);
    story.erase(static_cast<std::size_t>(at), 1);
    doc.GetSelection().Follow(story, at, at + 1, 0);
}

// After an edit of [start, at) (what it put there): a row-start mark that no
// longer parts text before a row from the row, as a reader would not keep
// it, goes. That is one with nothing before it in its paragraph but kept
// groups, or, after an edit that split or joined paragraphs or put a row
// start, one in a paragraph that begins inside a field (a paragraph mark in
// a field's text).
void DropBareRowStart(Document& doc, Story& story, long at, bool paragraphs) {
    const long n = static_cast<long>(story.size());
    const auto kept = [&](long i) {
        const Atom& a = story[static_cast<std::size_t>(i)];
        return a.Kind() == AtomKind::Opaque && !IsRowStartMark(doc, a);
    };
    long mark = at, before = at;
    while (mark < n && kept(mark)) ++mark;
    if (mark < n && IsRowStartMark(doc, story[static_cast<std::size_t>(mark)])) {
        while (before > 0 && kept(before - 1)) --before;
        const Atom* a = before > 0 ? &story[static_cast<std::size_t>(before - 1)] : nullptr;
        if (!a || a->Kind() == AtomKind::ParaEnd || IsRowStartMark(doc, *a)) return DropAtom(doc, story, mark);
    }
    if (!paragraphs) return;
    long para = std::min(at, n);
    while (para > 0 && story[static_cast<std::size_t>(para - 1)].Kind() != AtomKind::ParaEnd) --para;
    for (mark = para; mark < n && story[static_cast<std::size_t>(mark)].Kind() != AtomKind::ParaEnd; ++mark)
        if (IsRowStartMark(doc, story[static_cast<std::size_t>(mark)])) {
            if (!HoldsWholeFields(story, 0, para)) DropAtom(doc, story, mark);
            return;
        }
}

} // namespace

std::vector<Atom> TextAtoms(Document& doc, const std::string& text, std::uint32_t fmt) {
    std::vector<Atom> atoms;
    atoms.reserve(text.size());
    std::u32string cps = DecodeUtf8(text);
    std::uint32_t para = static_cast<std::uint32_t>(-1);
    for (std::size_t i = 0; i < cps.size(); ++i) {
        char32_t c = cps[i];
        if (c == U'\r' || c == U'\n') {
            if (c == U'\r' && i + 1 < cps.size() && cps[i + 1] == U'\n') ++i;
            if (para == static_cast<std::uint32_t>(-1)) para = doc.InternParaEnd("par", {});
            atoms.push_back(Atom::Make(AtomKind::ParaEnd, para, fmt));
        } else if (c == kFieldBeginChar || c == kFieldEndChar || (c < 0x20 && c != U'\t' && c != 0x0B && c != 0x0C)) {
            continue; // field characters come only from Fields.Add
        } else {
            atoms.push_back(Atom::Make(AtomKind::Char, c, fmt));
        }
    }
    return atoms;
}

void ReplaceAtoms(Document& doc, Story& story, long start, long end, const Atom* atoms,
                  std::size_t n) {
    long len = static_cast<long>(story.size());
    if (start < 0 || end > len || start > end) RaiseWordError(kErrBadParameter, "The range is outside the story.");
    // A field is removed whole or not at all.
    if (!HoldsWholeFields(story, start, end)) RaiseWordError(kErrFieldBoundary);
    // A table keeps its cells: its marks go only with whole rows.
    if (SplitsTableRows(doc, story, start, end, atoms, n))
        RaiseWordError(kErrTableEdit, "Only whole rows of a table can be removed, and rows come in only between rows "
                                     "outside fields; its cells' text can be edited.");
    // Paragraph marks inserted take the properties of the paragraph they split.
    std::vector<Atom> fixed;
    // The place where a row starts is no character: it goes only with its
    // row. Text replaced around it leaves it after the replacement, where
    // it still parts what stands before the row from the row's first cell
    // (unless nothing is left before it).
    if (const std::optional<Atom> keep = KeptRowStart(doc, story, start, end, atoms, n)) {
        fixed.assign(atoms, atoms + n);
        fixed.push_back(*keep);
        atoms = fixed.data();
        ++n;
    }
    // A paragraph pasted into a cell becomes the cell's, and one pasted
    // from a cell outside tables a plain one (but for the cells' own of
    // rows pasted whole).
    const bool rows = HoldsTableMarks(doc, atoms, n);
    for (std::size_t i = 0; i < n; ++i) {
        if (atoms[i].Kind() == AtomKind::ParaEnd && doc.ParaEnd(atoms[i].value).word == "par") {
            if (atoms != fixed.data()) fixed.assign(atoms, atoms + n);
            const std::uint32_t pe = ParagraphEndAt(doc, story, end);
            const std::string split = doc.ParaEnd(pe).props, row = doc.ParaEnd(pe).row;
            const bool inTable = split.find("\\intbl") != std::string::npos;
            for (auto& a : fixed) {
                if (a.Kind() != AtomKind::ParaEnd || doc.ParaEnd(a.value).word != "par") continue;
                const std::string props = doc.ParaEnd(a.value).props;
                if (props.empty()) a.value = pe;
                else if (!rows && inTable != (props.find("\\intbl") != std::string::npos))
                    a.value = doc.InternParaEnd("par", inTable ? props + "\\intbl" : WithWord(props, "intbl", -1),
                                                inTable ? row : std::string());
            }
            atoms = fixed.data();
            break;
        }
    }
    // Whether the edit splits or joins paragraphs, or puts a row start.
    const auto isMark = [&](const Atom& a) { return a.Kind() == AtomKind::ParaEnd || IsRowStartMark(doc, a); };
    bool paragraphs = std::any_of(atoms, atoms + n, isMark);
    for (long i = start; i < end && !paragraphs; ++i) paragraphs = isMark(story[static_cast<std::size_t>(i)]);
    doc.Record(story, start, end, static_cast<long>(n));
    story.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    story.insert(static_cast<std::size_t>(start), atoms, n);
    doc.GetSelection().Follow(story, start, end, static_cast<long>(n));
    DropBareRowStart(doc, story, start + static_cast<long>(n), paragraphs);
    doc.Changed();
}

// ---------------------------------------------------------------------------
// Range

bool HoldsWholeFields(const Story& story, long start, long end) {
    int depth = 0;
    for (long i = start; i < end; ++i) {
        const AtomKind k = story[static_cast<std::size_t>(i)].Kind();
        if (k == AtomKind::FieldBegin) ++depth;
        else if (k == AtomKind::FieldEnd && --depth < 0) return false;
    }
    return depth == 0;
}

std::vector<Atom> TransferAtoms(const Document& from, const Story& story, long start, long end,
                                Document& to) {
    // Only the story's atoms: past its end, table ids read from memory after
    // them would be copied as texts of any length.
    end = std::min(end, static_cast<long>(story.size()));
    std::vector<Atom> out;
    out.reserve(static_cast<std::size_t>(std::max(0L, end - start)));
    // Consecutive atoms mostly share a format: remember the last mapping.
    std::uint32_t lastIn = static_cast<std::uint32_t>(-1), lastOut = 0;
    auto format = [&](std::uint32_t id) {
        if (id == lastIn) return lastOut;
        if (&from == &to) return id;
        CharFormat f = from.Format(id);
        if (f.font >= 0) {
            const FontDef* font = from.FontByNumber(f.font);
            f.font = font ? to.FontNumber(*font) : -1;
        }
        if (f.color > 0) f.color = to.ColorEntry(from.ColorRgb(f.color));
        lastIn = id;
        lastOut = to.InternFormat(f);
        return lastOut;
    };
    for (long i = start; i < end; ++i) {
        Atom a = story[static_cast<std::size_t>(i)];
        a.fmt = format(a.fmt);
        if (&from != &to) {
            switch (a.Kind()) {
            case AtomKind::ParaEnd: {
                const ParaEndInfo& info = from.ParaEnd(a.value);
                a.value = to.InternParaEnd(info.word, info.props, info.row);
                break;
            }
            case AtomKind::Opaque: a.value = to.AddOpaque(from.Opaque(a.value)); break;
            default: break;
            }
        }
        // A field's kept result is its own, even in the same document.
        if (a.Kind() == AtomKind::FieldBegin) a.value = to.AddFieldInfo(from.FieldInfoAt(a.value));
        out.push_back(a);
    }
    return out;
}

Range::Range(Document* doc, Story* story, long start, long end)
    : doc_(doc), story_(story), start_(start), end_(end) {
    long n = StoryLength();
    start_ = std::clamp(start_, 0L, n);
    end_ = std::clamp(end_, start_, n);
}

void Range::SetStart(long v) {
    start_ = std::clamp(v, 0L, StoryLength());
    if (end_ < start_) end_ = start_;
}

void Range::SetEnd(long v) {
    end_ = std::clamp(v, 0L, StoryLength());
    if (start_ > end_) start_ = end_;
}

void Range::SetRange(long start, long end) {
    long n = StoryLength();
    start = std::clamp(start, 0L, n);
    end = std::clamp(end, 0L, n);
    if (end < start) std::swap(start, end);
    start_ = start;
    end_ = end;
}

std::string Range::Text() const { return StoryText(*doc_, *story_, start_, end_); }

void Range::SetText(const std::string& text) {
    if (auto* sel = dynamic_cast<Selection*>(this)) sel->LeaveFieldEdges(!HoldsParagraphs(text));
    std::uint32_t fmt;
    if (end_ > start_) fmt = (*story_)[static_cast<std::size_t>(start_)].fmt;
    else if (auto* sel = dynamic_cast<Selection*>(this)) fmt = sel->InsertFormat();
    else fmt = FormatBefore(*doc_, *story_, start_);
    std::vector<Atom> atoms = TextAtoms(*doc_, text, fmt);
    ReplaceAtoms(*doc_, *story_, start_, end_, atoms.data(), atoms.size());
    long s = start_;
    SetRange(s, s + static_cast<long>(atoms.size()));
}

Fields Range::GetFields() { return Fields(*this); }

namespace {
// The mark that ends the paragraph holding pos (n: the story's last paragraph).
long ParagraphMark(const Story& story, long pos) {
    const long n = static_cast<long>(story.size());
    while (pos < n && story[static_cast<std::size_t>(pos)].Kind() != AtomKind::ParaEnd) ++pos;
    return pos;
}
} // namespace

ParaFormat Range::ParagraphFormat() const {
    const long m = ParagraphMark(*story_, start_);
    if (m < StoryLength()) return doc_->ParaEnd((*story_)[static_cast<std::size_t>(m)].value).format;
    const std::string* last = doc_->LastProps(*story_);
    return last ? ParseParaFormat(*last) : ParaFormat{};
}

void Range::ChangeParagraphFormat(const std::function<void(ParaFormat&)>& change) {
    const long n = StoryLength();
    const long first = ParagraphMark(*story_, start_);
    const long last = ParagraphMark(*story_, end_);
    if (first < n) {
        const long stop = std::min(last, n - 1);
        doc_->Record(*story_, first, stop + 1, stop + 1 - first);
        for (long i = first; i <= stop; ++i) {
            Atom& atom = story_->at(static_cast<std::size_t>(i));
            if (atom.Kind() != AtomKind::ParaEnd) continue;
            const ParaEndInfo& info = doc_->ParaEnd(atom.value);
            ParaFormat f = info.format;
            change(f);
            const std::string props = WithParaFormat(info.props, f);
            if (props != info.props) atom.value = doc_->InternParaEnd(info.word, props, std::string(info.row));
        }
    }
    if (last >= n) {
        if (std::string* props = doc_->LastProps(*story_)) {
            ParaFormat f = ParseParaFormat(*props);
            change(f);
            doc_->RecordText(*props);
            *props = WithParaFormat(*props, f);
        }
    }
    doc_->Changed();
}

void Range::ChangeCharFormat(const std::function<void(CharFormat&)>& change) {
    if (start_ == end_) {
        if (auto* sel = dynamic_cast<Selection*>(this)) {
            CharFormat f = doc_->Format(sel->InsertFormat());
            change(f);
            sel->SetPending(doc_->InternFormat(f));
        }
        return;
    }
    doc_->Record(*story_, start_, end_, end_ - start_);
    for (long i = start_; i < end_; ++i) {
        Atom& atom = story_->at(static_cast<std::size_t>(i));
        CharFormat f = doc_->Format(atom.fmt);
        change(f);
        atom.fmt = doc_->InternFormat(f);
    }
    doc_->Changed();
}

void Range::Select() { doc_->GetSelection().MoveTo(story_, start_, end_); }

int Range::Delete(int unit, int count) {
    if (unit != kUnitCharacter) RaiseWordError(kErrBadParameter, "Only characters can be deleted.");
    long s = start_, e = end_;
    if (e == s) e = std::min(StoryLength(), s + std::max(count, 0));
    if (e == s) return 0;
    // Lists whose paragraphs the deletion joins, or whose numbers it takes,
    // are numbered again after it.
    std::vector<int> lists;
    for (long i = s; i < e; ++i) {
        const Atom& a = (*story_)[static_cast<std::size_t>(i)];
        if (a.Kind() == AtomKind::ParaEnd && doc_->ParaEnd(a.value).format.list > 0)
            lists.push_back(doc_->ParaEnd(a.value).format.list);
        else if (HoldsListText(*doc_, *story_, i))
            lists.push_back(0);
    }
    ReplaceAtoms(*doc_, *story_, s, e, nullptr, 0);
    if (!lists.empty()) {
        lists.push_back(Range(doc_, story_, s, s).ParagraphFormat().list);
        std::sort(lists.begin(), lists.end());
        lists.erase(std::unique(lists.begin(), lists.end()), lists.end());
        for (const int ls : lists)
            if (ls > 0) UpdateListNumbers(*doc_, *story_, ls);
    }
    SetRange(s, s);
    return static_cast<int>(e - s);
}

bool Range::StandBeforeRow() {
    if (start_ >= end_ || !StartsRowDefinition(*doc_, *story_, start_) || !HoldsWholeFields(*story_, start_, end_))
        return false;
    for (long i = start_; i < end_; ++i)
        if ((*story_)[static_cast<std::size_t>(i)].Kind() == AtomKind::ParaEnd) return false;
    const Atom mark = RowStartMark(*doc_, (*story_)[static_cast<std::size_t>(end_ - 1)].fmt);
    ReplaceAtoms(*doc_, *story_, end_, end_, &mark, 1);
    return true;
}

// ---------------------------------------------------------------------------
// Font

int Font::ColorIndex() const {
    Document& doc = *r_->doc_;
    std::uint32_t fmt;
    if (r_->end_ > r_->start_) fmt = (*r_->story_)[static_cast<std::size_t>(r_->start_)].fmt;
    else if (auto* sel = dynamic_cast<Selection*>(r_)) fmt = sel->InsertFormat();
    else fmt = FormatBefore(doc, *r_->story_, r_->start_);
    return PaletteIndex(doc.ColorRgb(doc.Format(fmt).color));
}

void Font::SetColorIndex(int index) {
    if (index < 0 || index > 16) RaiseWordError(kErrBadParameter, "The colour index is out of range.");
    Document& doc = *r_->doc_;
    int entry = doc.ColorEntry(PaletteRgb(index));
    auto recolor = [&](std::uint32_t fmt) {
        CharFormat f = doc.Format(fmt);
        f.color = entry;
        return doc.InternFormat(f);
    };
    if (r_->end_ == r_->start_) {
        if (auto* sel = dynamic_cast<Selection*>(r_)) sel->SetPending(recolor(sel->InsertFormat()));
        return;
    }
    // Consecutive atoms mostly share a format: remember the last mapping.
    doc.Record(*r_->story_, r_->start_, r_->end_, r_->end_ - r_->start_);
    std::uint32_t lastIn = static_cast<std::uint32_t>(-1), lastOut = 0;
    for (long i = r_->start_; i < r_->end_; ++i) {
        Atom& a = r_->story_->at(static_cast<std::size_t>(i));
        if (a.fmt != lastIn) {
            lastIn = a.fmt;
            lastOut = recolor(a.fmt);
        }
        a.fmt = lastOut;
    }
    doc.Changed();
}

// ---------------------------------------------------------------------------
// Fields

Range Field::Code() const {
    long e = MatchingFieldEnd(*story_, begin_);
    if (e < 0) RaiseWordError(kErrFieldBoundary);
    return Range(doc_, story_, begin_ + 1, e);
}

long Field::End() const {
    long e = MatchingFieldEnd(*story_, begin_);
    if (e < 0) RaiseWordError(kErrFieldBoundary);
    return e + 1;
}

void Field::Select() const { doc_->GetSelection().MoveTo(story_, begin_, End()); }

int Field::Type() const {
    std::string code = Code().Text();
    std::size_t b = code.find_first_not_of(' ');
    if (b == std::string::npos) return kFieldEmpty;
    std::size_t e = code.find_first_of(" \\", b);
    std::string kw = toUpperAscii(code.substr(b, e == std::string::npos ? std::string::npos : e - b));
    if (kw == "SET") return kFieldSet;
    if (kw == "MACROBUTTON") return kFieldMacroButton;
    if (kw == "PAGE") return kFieldPage;
    return kFieldEmpty;
}

Fields::Fields(Range scope) : scope_(scope) {
    const Story& s = *scope_.story_;
    std::vector<long> open;
    for (long i = scope_.start_; i < scope_.end_; ++i) {
        AtomKind k = s[static_cast<std::size_t>(i)].Kind();
        if (k == AtomKind::FieldBegin) open.push_back(i);
        else if (k == AtomKind::FieldEnd && !open.empty()) {
            begins_.push_back(open.back());
            open.pop_back();
        }
    }
    std::sort(begins_.begin(), begins_.end());
}

Field Fields::Item(int index) const {
    if (index < 1 || index > Count()) RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
    return Field(scope_.doc_, scope_.story_, begins_[static_cast<std::size_t>(index - 1)]);
}

std::vector<Field> Fields::All() const {
    std::vector<Field> out;
    for (long b : begins_) out.emplace_back(scope_.doc_, scope_.story_, b);
    return out;
}

Field Fields::Add(Range& range, int type, const std::string& text, bool preserveFormatting) {
    Document& doc = *range.doc_;
    std::string code;
    switch (type) {
    case kFieldEmpty: code = text; break;
    case kFieldSet: code = " SET "; break;
    case kFieldMacroButton: code = " MACROBUTTON "; break;
    case kFieldPage: code = " PAGE "; break;
    default: RaiseWordError(kErrBadParameter, "The field type is not supported.");
    }
    if (type != kFieldEmpty && !text.empty()) code += text + " ";
    if (preserveFormatting) code += "\\* MERGEFORMAT ";
    Selection& sel = doc.GetSelection();
    bool atSelection = sel.GetStory() == range.story_ && sel.Start() >= range.start_ &&
                       sel.Start() <= range.end_;
    if (atSelection && sel.Start() == range.start_ && sel.End() == range.end_) {
        // Added at the selection: where any insertion there lands (never
        // inside a label).
        sel.PlaceForInsertion(false);
        range.SetRange(sel.Start(), sel.End());
    }
    std::uint32_t fmt = atSelection ? sel.InsertFormat() : FormatBefore(doc, *range.story_, range.start_);
    std::vector<Atom> atoms;
    atoms.push_back(Atom::Make(AtomKind::FieldBegin, doc.AddFieldInfo({}), fmt));
    std::vector<Atom> codeAtoms = TextAtoms(doc, code, fmt);
    atoms.insert(atoms.end(), codeAtoms.begin(), codeAtoms.end());
    atoms.push_back(Atom::Make(AtomKind::FieldEnd, 0, fmt));
    long s = range.start_;
    ReplaceAtoms(doc, *range.story_, s, range.end_, atoms.data(), atoms.size());
    long e = s + static_cast<long>(atoms.size());
    range.SetRange(s, e);
    if (atSelection) sel.MoveTo(range.story_, e, e);
    return Field(&doc, range.story_, s);
}

// ---------------------------------------------------------------------------
// Find

namespace {
inline char32_t Fold(char32_t c) {
    if (c < 0x80) return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}
} // namespace

std::vector<char> Find::FieldFlags(long from, long to) const {
    std::vector<char> in;
    if (!OutsideFields) return in;
    const Story& s = *sel_->story_;
    in.resize(static_cast<std::size_t>(std::max(0L, to - from)));
    int depth = 0;
    for (long i = 0; i < to; ++i) {
        const AtomKind kind = s[static_cast<std::size_t>(i)].Kind();
        if (kind == AtomKind::FieldBegin) ++depth;
        if (i >= from) in[static_cast<std::size_t>(i - from)] = depth > 0;
        if (kind == AtomKind::FieldEnd) depth = std::max(0, depth - 1);
    }
    return in;
}

long Find::Search(const std::u32string& pat, long from, long to, bool forward,
                  const std::vector<char>& inField, long flagsFrom) const {
    const Document& doc = *sel_->doc_;
    const Story& s = *sel_->story_;
    long m = static_cast<long>(pat.size());
    if (m == 0 || to - from < m) return -1;
    auto matchAt = [&](long i) {
        for (long k = 0; k < m; ++k) {
            const Atom& a = s[static_cast<std::size_t>(i + k)];
            AtomKind kind = a.Kind();
            if (kind == AtomKind::FieldBegin || kind == AtomKind::FieldEnd) return false;
            if (!inField.empty() && inField[static_cast<std::size_t>(i + k - flagsFrom)]) return false;
            char32_t c = AtomChar(doc, a);
            if (!MatchCase) c = Fold(c);
            if (c != pat[static_cast<std::size_t>(k)]) return false;
        }
        if (MatchWholeWord) {
            if (i > 0 && IsWordChar(AtomChar(doc, s[static_cast<std::size_t>(i - 1)]))) return false;
            if (i + m < static_cast<long>(s.size()) && IsWordChar(AtomChar(doc, s[static_cast<std::size_t>(i + m)])))
                return false;
        }
        return true;
    };
    if (forward) {
        for (long i = from; i + m <= to; ++i)
            if (matchAt(i)) return i;
    } else {
        for (long i = to - m; i >= from; --i)
            if (matchAt(i)) return i;
    }
    return -1;
}

bool Find::Execute(const std::string& findText) {
    Text = findText;
    return Execute();
}

bool Find::Execute() { return Execute(Text, 0, Replacement.Text, Forward); }

bool Find::Execute(const std::string& findText, int replace, const std::string& replaceWith,
                   bool forward) {
    Text = findText;
    Forward = forward;
    Replacement.Text = replaceWith;
    Found = false;
    Replaced = 0;
    std::u32string pat = DecodeUtf8(findText);
    if (!MatchCase)
        for (auto& c : pat) c = Fold(c);
    Selection& sel = *sel_;
    long len = sel.StoryLength();
    long from, to;
    if (sel.End() > sel.Start()) {
        from = sel.Start();
        to = sel.End();
    } else if (forward) {
        from = sel.Start();
        to = len;
    } else {
        from = 0;
        to = sel.Start();
    }
    const std::vector<char> inField = FieldFlags(from, to);
    if (replace == 2) {
        // Every match in scope, left to right, then replaced from the last,
        // so that the positions found stay right.
        long selStart = sel.Start(), selEnd = sel.End();
        std::vector<long> matches;
        const long m = static_cast<long>(pat.size());
        for (long pos = from;;) {
            const long at = Search(pat, pos, to, true, inField, from);
            if (at < 0) break;
            matches.push_back(at);
            pos = at + m;
        }
        Found = !matches.empty();
        for (auto at = matches.rbegin(); at != matches.rend(); ++at) {
            const std::uint32_t fmt = (*sel.story_)[static_cast<std::size_t>(*at)].fmt;
            const std::vector<Atom> atoms = TextAtoms(*sel.doc_, replaceWith, fmt);
            ReplaceAtoms(*sel.doc_, *sel.story_, *at, *at + m, atoms.data(), atoms.size());
            if (selEnd > selStart) selEnd += static_cast<long>(atoms.size()) - m;
        }
        Replaced = static_cast<int>(matches.size());
        sel.SetRange(selStart, selEnd);
        return Found;
    }
    long at = Search(pat, from, to, forward, inField, from);
    if (at < 0) return false;
    Found = true;
    long m = static_cast<long>(pat.size());
    if (replace == 1) {
        std::uint32_t fmt = (*sel.story_)[static_cast<std::size_t>(at)].fmt;
        std::vector<Atom> atoms = TextAtoms(*sel.doc_, replaceWith, fmt);
        ReplaceAtoms(*sel.doc_, *sel.story_, at, at + m, atoms.data(), atoms.size());
        m = static_cast<long>(atoms.size());
    }
    sel.SetRange(at, at + m);
    return true;
}

// ---------------------------------------------------------------------------
// Selection

Selection::Selection(Document* doc) : Range(doc, &doc->MainStory(), 0, 0), find_(this) {}

void Selection::Place(long anchor, long active) {
    long n = StoryLength();
    anchor = std::clamp(anchor, 0L, n);
    active = std::clamp(active, 0L, n);
    // A format chosen for the caret holds until the caret moves.
    if (anchor != anchor_ || active != active_) pending_.reset();
    anchor_ = anchor;
    active_ = active;
    start_ = std::min(anchor_, active_);
    end_ = std::max(anchor_, active_);
}

void Selection::SetStart(long v) {
    Range::SetStart(v);
    Place(start_, end_);
}

void Selection::SetEnd(long v) {
    Range::SetEnd(v);
    Place(start_, end_);
}

void Selection::SetRange(long start, long end) {
    Range::SetRange(start, end);
    Place(start_, end_);
}

void Selection::MoveTo(Story* story, long start, long end) {
    if (story != story_) pending_.reset();
    story_ = story;
    SetRange(start, end);
}

void Selection::Collapse(bool toStart) {
    long p = toStart ? start_ : end_;
    Place(p, p);
}

std::uint32_t Selection::InsertFormat() const {
    if (pending_) return *pending_;
    return FormatBefore(*doc_, *story_, start_);
}

std::uint32_t Selection::ShownFormat() const {
    if (start_ < end_ && end_ <= StoryLength()) return (*story_)[static_cast<std::size_t>(start_)].fmt;
    return InsertFormat();
}

long Selection::Step(long pos, int unit, int dir) const {
    const Story& s = *story_;
    long n = StoryLength();
    if (unit == kUnitCharacter) return std::clamp(pos + dir, 0L, n);
    if (unit != kUnitWord) RaiseWordError(kErrBadParameter, "The unit is not supported.");
    auto ch = [&](long i) { return AtomChar(*doc_, s[static_cast<std::size_t>(i)]); };
    if (dir > 0) {
        if (pos >= n) return n;
        if (s[static_cast<std::size_t>(pos)].Kind() == AtomKind::FieldBegin) {
            long e = MatchingFieldEnd(s, pos);
            return e < 0 ? pos + 1 : e + 1;
        }
        long p = pos;
        if (IsWordChar(ch(p))) {
            while (p < n && IsWordChar(ch(p))) ++p;
        } else {
            ++p;
        }
        while (p < n && ch(p) == U' ') ++p;
        return p;
    }
    if (pos <= 0) return 0;
    long p = pos;
    while (p > 0 && ch(p - 1) == U' ') --p;
    if (p == 0) return 0;
    if (s[static_cast<std::size_t>(p - 1)].Kind() == AtomKind::FieldEnd) {
        long b = MatchingFieldBegin(s, p - 1);
        return b < 0 ? p - 1 : b;
    }
    if (IsWordChar(ch(p - 1))) {
        while (p > 0 && IsWordChar(ch(p - 1))) --p;
    } else {
        --p;
    }
    return p;
}

int Selection::Move(int unit, int count, int extend, int dir) {
    int moved = 0;
    if (!extend) {
        long pos;
        if (start_ != end_) {
            pos = dir > 0 ? end_ : start_;
            ++moved;
            --count;
        } else {
            pos = start_;
        }
        for (int i = 0; i < count; ++i) {
            long np = Step(pos, unit, dir);
            if (np == pos) break;
            pos = np;
            ++moved;
        }
        Place(pos, pos);
        return moved;
    }
    long p = active_;
    for (int i = 0; i < count; ++i) {
        long np = Step(p, unit, dir);
        if (np == p) break;
        p = np;
        ++moved;
    }
    Place(anchor_, p);
    return moved;
}

int Selection::MoveLeft(int unit, int count, int extend) { return Move(unit, count, extend, -1); }
int Selection::MoveRight(int unit, int count, int extend) { return Move(unit, count, extend, 1); }

int Selection::HomeKey(int unit, int extend) {
    long target = 0;
    if (unit != kUnitStory) {
        target = active_;
        while (target > 0 && (*story_)[static_cast<std::size_t>(target - 1)].Kind() != AtomKind::ParaEnd) --target;
    }
    long old = active_;
    Place(extend ? anchor_ : target, target);
    return old != target ? 1 : 0;
}

int Selection::EndKey(int unit, int extend) {
    long n = StoryLength();
    long target = n;
    if (unit != kUnitStory) {
        target = active_;
        while (target < n && (*story_)[static_cast<std::size_t>(target)].Kind() != AtomKind::ParaEnd) ++target;
    }
    long old = active_;
    Place(extend ? anchor_ : target, target);
    return old != target ? 1 : 0;
}

void Selection::LeaveFieldEdges(bool intoShownText) {
    long a = OutsideFieldEdges(*doc_, *story_, start_, intoShownText);
    long b = start_ == end_ ? a : OutsideFieldEdges(*doc_, *story_, end_, intoShownText);
    // A caret before a list's number, at its paragraph's start, stands after
    // it: what is typed there is the item's text.
    if (a == b && (a == 0 || (*story_)[static_cast<std::size_t>(a - 1)].Kind() == AtomKind::ParaEnd) &&
        HoldsListText(*doc_, *story_, a))
        a = b = a + 1;
    if (a == start_ && b == end_) return;
    std::optional<std::uint32_t> keep = pending_;
    Place(a, std::max(a, b));
    pending_ = keep;
}

void Selection::Follow(const Story& story, long start, long end, long count) {
    if (&story != story_) return;
    const auto follow = [&](long p) { return p >= end && p > start ? p - (end - start) + count : std::min(p, start); };
    const std::optional<std::uint32_t> keep = pending_;
    Place(follow(anchor_), follow(active_));
    pending_ = keep;
}

void Selection::PlaceForInsertion(bool textAlone) {
    LeaveFieldEdges(textAlone);
    if (start_ == end_ || !HoldsTableMarks(*doc_, *story_, start_, end_)) return;
    std::optional<std::uint32_t> keep = pending_;
    Place(start_, start_);
    pending_ = keep;
}

void Selection::TypeBackspace() {
    LeaveFieldEdges();
    long from = start_, to = end_;
    if (start_ == end_) {
        if (start_ == 0) return;
        from = start_ - 1;
        if (HoldsListText(*doc_, *story_, from) &&
            (from == 0 || (*story_)[static_cast<std::size_t>(from - 1)].Kind() == AtomKind::ParaEnd) &&
            ParagraphFormat().list > 0) {
            ListFormat(GetRange()).RemoveNumbers();
            Place(from, from);
            return;
        }
        // A row-start mark is no character: the one before it goes.
        if (IsRowStartMark(*doc_, (*story_)[static_cast<std::size_t>(from)]) && from-- == 0) return;
        to = from + 1;
    }
    Range(doc_, story_, from, to).Delete();
    Place(from, from);
}

void Selection::TypeDelete() {
    LeaveFieldEdges();
    long from = start_, to = end_;
    if (start_ == end_) {
        // A row-start mark is no character: the one after it goes.
        if (from < StoryLength() && IsRowStartMark(*doc_, (*story_)[static_cast<std::size_t>(from)])) ++from;
        to = std::min(from + 1, StoryLength());
    }
    if (to == from) return;
    Range(doc_, story_, from, to).Delete();
    Place(start_, start_);
}

void Selection::InsertAtoms(const std::vector<Atom>& pasted) {
    PlaceForInsertion(std::all_of(pasted.begin(), pasted.end(), [](const Atom& a) {
        return a.Kind() == AtomKind::Char || a.Kind() == AtomKind::Symbol;
    }));
    // A row-start mark is the place of its own row only: no content to paste.
    std::vector<Atom> atoms;
    atoms.reserve(pasted.size());
    for (const Atom& a : pasted)
        if (!IsRowStartMark(*doc_, a)) atoms.push_back(a);
    ReplaceAtoms(*doc_, *story_, start_, end_, atoms.data(), atoms.size());
    const long p = start_ + static_cast<long>(atoms.size());
    Place(p, p);
}

void Selection::TypeText(const std::string& text) {
    PlaceForInsertion(!HoldsParagraphs(text));
    std::optional<std::uint32_t> keep = pending_;
    std::vector<Atom> atoms = TextAtoms(*doc_, text, InsertFormat());
    ReplaceAtoms(*doc_, *story_, start_, end_, atoms.data(), atoms.size());
    long p = start_ + static_cast<long>(atoms.size());
    // A paragraph begun in a list gets its number, and those after it theirs.
    if (text.find('\r') != std::string::npos) {
        if (const int ls = ParagraphFormat().list; ls > 0) {
            const bool numbered = p < StoryLength() && (*story_)[static_cast<std::size_t>(p)].Kind() == AtomKind::Opaque;
            UpdateListNumbers(*doc_, *story_, ls);
            // The new paragraph's number stands before the cursor.
            const Atom& a = (*story_)[static_cast<std::size_t>(std::min(p, StoryLength() - 1))];
            if (!numbered && p < StoryLength() && a.Kind() == AtomKind::Opaque &&
                !KeptListText(doc_->Opaque(a.value)).empty())
                ++p;
        }
    }
    Place(p, p);
    pending_ = keep;
}

void Selection::InsertSymbol(int characterNumber, const std::string& font, bool unicode) {
    long code = characterNumber;
    if (code < 0) code += unicode ? 65536 : 256;
    if (code < 0 || code > 0xFFFF) RaiseWordError(kErrBadParameter, "The character number is out of range.");
    PlaceForInsertion(true);
    std::optional<std::uint32_t> keep = pending_;
    CharFormat f = doc_->Format(InsertFormat());
    if (!font.empty()) f.font = doc_->FontNumber(font);
    Atom a = Atom::Make(AtomKind::Symbol, static_cast<std::uint32_t>(code), doc_->InternFormat(f));
    ReplaceAtoms(*doc_, *story_, start_, end_, &a, 1);
    long p = start_ + 1;
    Place(p, p);
    pending_ = keep;
}

} // namespace qz::word
