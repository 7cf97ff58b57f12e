#include "platform/word/Document.h"

#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "platform/system/Files.h"
#include "platform/system/SystemError.h"

#include <algorithm>
#include <cerrno>

#include <filesystem>
#include <functional>
#include <limits>
#include <system_error>
#include <unordered_set>
#include <unistd.h>

namespace qz::word {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Custom properties

CustomProperty& CustomProperties::Item(int index) {
    if (index < 1 || index > Count()) RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
    return items_[static_cast<std::size_t>(index - 1)];
}

CustomProperty* CustomProperties::Find(const std::string& name) {
    for (auto& p : items_)
        if (p.Name == name) return &p;
    return nullptr;
}

CustomProperty& CustomProperties::Item(const std::string& name) {
    if (auto* p = Find(name)) return *p;
    RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
}

CustomProperty& CustomProperties::Add(const std::string& name, bool linkToContent,
                                      const std::string& value, int type) {
    if (name.empty() || Find(name)) RaiseWordError(kErrBadParameter, "The property name is empty or already used.");
    if (type < 1 || type > 5) RaiseWordError(kErrBadParameter, "The property type is not valid.");
    items_.push_back(CustomProperty{name, value, type, linkToContent});
    return items_.back();
}

// ---------------------------------------------------------------------------
// Sections, headers and footers

Range HeaderFooter::GetRange() { return Range(doc, &story, 0, static_cast<long>(story.size())); }

HeaderFooter& Section::Headers(int index) {
    if (index < 1 || index > kHeaderFooterKinds)
        RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
    return headers[static_cast<std::size_t>(index - 1)];
}

HeaderFooter& Section::Footers(int index) {
    if (index < 1 || index > kHeaderFooterKinds)
        RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
    return footers[static_cast<std::size_t>(index - 1)];
}

Range Section::GetRange() {
    // Section i runs from after the i-th section break to the next one.
    Story& s = doc->MainStory();
    long n = static_cast<long>(s.size());
    long start = 0;
    int seen = 0;
    for (long i = 0; i < n; ++i) {
        const Atom& a = s[static_cast<std::size_t>(i)];
        if (a.Kind() == AtomKind::ParaEnd && doc->ParaEnd(a.value).word == "sect") {
            if (seen == index) return Range(doc, &s, start, i);
            ++seen;
            start = i + 1;
        }
    }
    return Range(doc, &s, start, n);
}

// ---------------------------------------------------------------------------
// Document

namespace {
// The palette of colour indexes 1..16.
constexpr std::int32_t kPalette[16] = {
    0x000000, 0x0000FF, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0xFFFF00, 0xFFFFFF,
    0x000080, 0x008080, 0x008000, 0x800080, 0x800000, 0x808000, 0x808080, 0xC0C0C0,
};
} // namespace

std::int32_t PaletteRgb(int index) { return index >= 1 && index <= 16 ? kPalette[index - 1] : -1; }

int PaletteIndex(std::int32_t rgb) {
    if (rgb < 0) return 0;
    for (int i = 0; i < 16; ++i)
        if (kPalette[i] == rgb) return i + 1;
    return 0;
}

std::size_t Document::FormatHash::operator()(const CharFormat& f) const noexcept {
    std::size_t h = std::hash<std::string>()(f.extra);
    auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(static_cast<std::size_t>(f.font));
    mix(static_cast<std::size_t>(f.size));
    mix(static_cast<std::size_t>(f.color));
    mix((f.bold ? 1u : 0u) | (f.italic ? 2u : 0u) | (f.underline ? 4u : 0u));
    return h;
}

Document::Document(Application* app) : app_(app) {
    AddFont(FontDef{0, "\\froman\\fcharset0\\fprq2", "Times New Roman", 0});
    AddFont(FontDef{1, "\\fnil\\fcharset2\\fprq2", "Wingdings", 2});
    colors.push_back(-1);
    for (auto c : kPalette) colors.push_back(c);
    CharFormat def;
    def.font = 0;
    def.size = 24;
    defaultFormat_ = InternFormat(def);
    auto sec = std::make_unique<Section>();
    sec->doc = this;
    for (auto& h : sec->headers) h.doc = this;
    for (auto& h : sec->footers) h.doc = this;
    sections_.push_back(std::move(sec));
    selection_ = std::make_unique<Selection>(this);
}

Document::~Document() { ReleaseLock(lock_); }

std::string Document::FullName() const {
    if (path_.empty()) return name_;
    return path_ == "/" ? "/" + name_ : path_ + "/" + name_;
}

void Document::SetFileName(const std::string& fullName) {
    fs::path p = fs::absolute(fs::path(fullName)).lexically_normal();
    name_ = p.filename().string();
    std::string dir = p.parent_path().string();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    path_ = dir;
}

Section& Document::Sections(int index) {
    if (index < 1 || index > SectionCount()) RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
    return *sections_[static_cast<std::size_t>(index - 1)];
}

PageSetup Document::PageSetupOf(int section) const {
    const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(std::max(section, 0)), sections_.size() - 1);
    return ParsePageSetup(preamble, sections_[k]->props);
}

void Document::SetPageSetup(int section, const PageSetup& page) {
    if (section < 0 || static_cast<std::size_t>(section) >= sections_.size())
        RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
    const PageSetup old = PageSetupOf(section);
    std::string& props = sections_[static_cast<std::size_t>(section)]->props;
    RecordText(props);
    auto set = [&](int before, int now, std::string_view word) {
        if (before != now) props = WithWord(props, word, now);
    };
    set(old.width, page.width, "pgwsxn");
    set(old.height, page.height, "pghsxn");
    set(old.left, page.left, "marglsxn");
    set(old.right, page.right, "margrsxn");
    set(old.top, page.top, "margtsxn");
    set(old.bottom, page.bottom, "margbsxn");
    set(old.header, page.header, "headery");
    set(old.footer, page.footer, "footery");
    if (old.landscape != page.landscape) {
        props = WithWord(props, "lndscpsxn", -1);
        props += page.landscape ? "\\lndscpsxn" : "\\lndscpsxn0"; // overrides the document's own \landscape
    }
    Changed();
}

Range Document::Content() { return Range(this, &main_, 0, static_cast<long>(main_.size())); }

std::uint32_t Document::InternFormat(const CharFormat& f) {
    auto it = formatIds_.find(f);
    if (it != formatIds_.end()) return it->second;
    auto id = static_cast<std::uint32_t>(formats_.size());
    formats_.push_back(f);
    maxFormatFont_ = std::max(maxFormatFont_, f.font);
    looks_.push_back(f.extra.empty() ? CharLook{} : ParseCharLook(f.extra));
    formatIds_.emplace(f, id);
    return id;
}

std::uint32_t Document::InternParaEnd(const std::string& word, const std::string& props,
                                      const std::string& row) {
    std::string key = word;
    key += '\0';
    key += props;
    key += '\0';
    key += row;
    auto it = paraEndIds_.find(key);
    if (it != paraEndIds_.end()) return it->second;
    auto id = static_cast<std::uint32_t>(paraEnds_.size());
    paraEnds_.push_back(ParaEndInfo{word, props, row, ParseParaFormat(props), ParseRowFormat(row)});
    paraEndIds_.emplace(std::move(key), id);
    return id;
}

const std::string* Document::LastProps(const Story& story) const {
    return const_cast<Document*>(this)->LastProps(story);
}

std::string* Document::LastProps(const Story& story) {
    if (&story == &main_) return &mainLastProps;
    for (auto& sec : sections_)
        for (auto* list : {&sec->headers, &sec->footers})
            for (HeaderFooter& hf : *list)
                if (&hf.story == &story) return &hf.lastProps;
    return nullptr;
}

std::uint32_t Document::EmptyStoryFormat(const Story& story) const {
    for (const auto& sec : sections_)
        for (const auto* list : {&sec->headers, &sec->footers})
            for (const HeaderFooter& hf : *list)
                if (&hf.story == &story && hf.lastFormat) return *hf.lastFormat;
    return defaultFormat_;
}

std::uint32_t Document::AddFieldInfo(FieldInfo fi) {
    fieldInfos_.push_back(std::move(fi));
    return static_cast<std::uint32_t>(fieldInfos_.size() - 1);
}

std::uint32_t Document::AddOpaque(std::string rtf) {
    opaques_.push_back(std::move(rtf));
    return static_cast<std::uint32_t>(opaques_.size() - 1);
}

void Document::IndexFonts() const {
    if (fontsIndexed_ == fonts.size()) return;
    fontAt_.clear();
    fontNamed_.clear();
    maxFontNumber_ = -1;
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        fontAt_[fonts[i].number] = i; // a number given twice: the last one counts
        fontNamed_.emplace(fonts[i].name, fonts[i].number);
        maxFontNumber_ = std::max(maxFontNumber_, fonts[i].number);
    }
    fontsIndexed_ = fonts.size();
}

const FontDef* Document::FontByNumber(int number) const {
    IndexFonts();
    const auto it = fontAt_.find(number);
    return it == fontAt_.end() ? nullptr : &fonts[it->second];
}

void Document::AddFont(FontDef font) {
    IndexFonts();
    if (const auto it = fontAt_.find(font.number); it != fontAt_.end()) {
        FontDef& old = fonts[it->second];
        if (const auto named = fontNamed_.find(old.name); named != fontNamed_.end() && named->second == old.number)
            fontNamed_.erase(named);
        fontNamed_.emplace(font.name, font.number);
        old = std::move(font);
        return;
    }
    fontAt_[font.number] = fonts.size();
    fontNamed_.emplace(font.name, font.number);
    maxFontNumber_ = std::max(maxFontNumber_, font.number);
    fonts.push_back(std::move(font));
    fontsIndexed_ = fonts.size();
}

void Document::ClearFonts() {
    fonts.clear();
    fontAt_.clear();
    fontNamed_.clear();
    maxFontNumber_ = -1;
    fontsIndexed_ = 0;
}

int Document::FontNumber(const std::string& name) {
    const bool symbol = name == "Wingdings" || name == "Symbol" || name == "Webdings";
    return FontNumber(FontDef{0, symbol ? "\\fnil\\fcharset2\\fprq2" : "\\fnil\\fcharset0\\fprq2", name, symbol ? 2 : 0});
}

int Document::FontNumber(const FontDef& like) {
    IndexFonts();
    if (const auto it = fontNamed_.find(like.name); it != fontNamed_.end()) return it->second;
    FontDef added = like;
    const int number = FreeFontNumber();
    added.number = number;
    AddFont(std::move(added));
    return number;
}

int Document::FreeFontNumber() const {
    IndexFonts();
    const int highest = std::max(maxFontNumber_, maxFormatFont_);
    if (highest < std::numeric_limits<int>::max()) return std::max(highest + 1, 0);
    // A document that used the highest number there is: the lowest free one.
    std::unordered_set<int> used;
    for (const FontDef& f : fonts) used.insert(f.number);
    for (const CharFormat& f : formats_) used.insert(f.font);
    int n = 0;
    while (used.count(n) != 0) ++n;
    return n;
}

void Document::ForgetFormat(std::uint32_t id) {
    if (const auto it = formatIds_.find(formats_[id]); it != formatIds_.end() && it->second == id) formatIds_.erase(it);
}

int Document::ColorEntry(std::int32_t rgb) {
    for (std::size_t i = 0; i < colors.size(); ++i)
        if (colors[i] == rgb) return static_cast<int>(i);
    if (rgb < 0) return 0;
    // Entry 0 stands for the automatic colour: a table without one gets it first.
    if (colors.empty()) colors.push_back(-1);
    colors.push_back(rgb);
    return static_cast<int>(colors.size() - 1);
}

std::int32_t Document::ColorRgb(int entry) const {
    if (entry < 0 || static_cast<std::size_t>(entry) >= colors.size()) return -1;
    return colors[static_cast<std::size_t>(entry)];
}

std::size_t Document::BeginJournal() {
    ++journalDepth_;
    return journal_.size();
}

void Document::EndJournal() {
    if (journalDepth_ > 0 && --journalDepth_ == 0) journal_.clear();
}

void Document::Record(Story& story, long start, long end, long newCount) {
    if (journalDepth_ == 0) return;
    JournalEntry e{&story, start, newCount, {}, nullptr, {}};
    e.old.reserve(static_cast<std::size_t>(end - start));
    for (long i = start; i < end; ++i) e.old.push_back(story[static_cast<std::size_t>(i)]);
    journal_.push_back(std::move(e));
}

void Document::RecordText(std::string& text) {
    if (journalDepth_ == 0) return;
    JournalEntry e{nullptr, 0, 0, {}, &text, text};
    journal_.push_back(std::move(e));
}

void Document::RollBack(std::size_t mark) {
    while (journal_.size() > mark) {
        JournalEntry& e = journal_.back();
        if (!e.story) {
            *e.text = std::move(e.oldText);
            journal_.pop_back();
            continue;
        }
        e.story->erase(static_cast<std::size_t>(e.start), static_cast<std::size_t>(e.newCount));
        e.story->insert(static_cast<std::size_t>(e.start), e.old.data(), e.old.size());
        selection_->Follow(*e.story, e.start, e.start + e.newCount, static_cast<long>(e.old.size()));
        journal_.pop_back();
    }
}

// The undo journal rides on the edit journal: an open step keeps the journal
// recording, and the outermost end of a step moves what was recorded into it.
void Document::BeginUndoStep() {
    if (undoDepth_++ == 0) undoMark_ = BeginJournal();
}

void Document::EndUndoStep(bool typing) {
    if (undoDepth_ == 0 || --undoDepth_ > 0) return;
    if (journal_.size() > undoMark_) {
        const auto first = journal_.begin() + static_cast<std::ptrdiff_t>(undoMark_);
        const JournalEntry& e = *first;
        const bool insertion = typing && journal_.size() == undoMark_ + 1 && e.old.empty() && e.newCount > 0;
        auto blank = [&](long p) {
            const Atom& a = (*e.story)[static_cast<std::size_t>(p)];
            return a.Kind() == AtomKind::ParaEnd ||
                   (a.Kind() == AtomKind::Char && (a.value == U' ' || a.value == U'\t'));
        };
        const bool newWord = insertion && e.start > 0 && blank(e.start - 1) && !blank(e.start);
        if (insertion && !newWord && e.start == typingEnd_ && !undo_.empty() &&
            undo_.back().entries.back().story == e.story) {
            undo_.back().entries.push_back(std::move(*first));
        } else {
            UndoStep step;
            step.entries.assign(std::make_move_iterator(first), std::make_move_iterator(journal_.end()));
            undo_.push_back(std::move(step));
            // A long session keeps its last thousand steps.
            if (undo_.size() > 1000) undo_.erase(undo_.begin());
        }
        redo_.clear();
        typingEnd_ = insertion ? e.start + e.newCount : -1;
    }
    journal_.resize(undoMark_);
    EndJournal();
}

long Document::Undo() {
    if (undo_.empty() || undoDepth_ > 0) return -1;
    typingEnd_ = -1;
    UndoStep step = std::move(undo_.back());
    undo_.pop_back();
    step.now.assign(step.entries.size(), {});
    long at = -1;
    Story* where = nullptr;
    for (std::size_t k = step.entries.size(); k-- > 0;) {
        JournalEntry& e = step.entries[k];
        if (!e.story) {
            std::swap(*e.text, e.oldText);
            if (at < 0) at = selection_->Start();
            continue;
        }
        auto& now = step.now[k];
        for (long i = 0; i < e.newCount; ++i) now.push_back((*e.story)[static_cast<std::size_t>(e.start + i)]);
        e.story->erase(static_cast<std::size_t>(e.start), static_cast<std::size_t>(e.newCount));
        e.story->insert(static_cast<std::size_t>(e.start), e.old.data(), e.old.size());
        at = e.start + static_cast<long>(e.old.size());
        where = e.story;
    }
    PlaceAfterStep(where, at);
    // What is on disk may be either side of the step: the document counts as
    // changed, so that closing it still asks.
    saved_ = false;
    redo_.push_back(std::move(step));
    return at;
}

long Document::Redo() {
    if (redo_.empty() || undoDepth_ > 0) return -1;
    typingEnd_ = -1;
    UndoStep step = std::move(redo_.back());
    redo_.pop_back();
    long at = -1;
    Story* where = nullptr;
    for (std::size_t k = 0; k < step.entries.size(); ++k) {
        JournalEntry& e = step.entries[k];
        if (!e.story) {
            std::swap(*e.text, e.oldText);
            if (at < 0) at = selection_->Start();
            continue;
        }
        e.story->erase(static_cast<std::size_t>(e.start), e.old.size());
        e.story->insert(static_cast<std::size_t>(e.start), step.now[k].data(), step.now[k].size());
        at = e.start + e.newCount;
        where = e.story;
    }
    PlaceAfterStep(where, at);
    step.now.clear();
    saved_ = false;
    undo_.push_back(std::move(step));
    return at;
}

void Document::PlaceAfterStep(Story* story, long at) {
    // The caret goes where the step changed the text, in the story it changed
    // (a header's undo seen from the body's view, say); a step that changed
    // only properties leaves it where it is, within its story.
    Story* in = story ? story : selection_->GetStory();
    const long to = std::clamp(at, 0L, static_cast<long>(in->size()));
    selection_->MoveTo(in, to, to);
}

void Document::ClearUndo() {
    typingEnd_ = -1;
    undo_.clear();
    redo_.clear();
}

std::string FileErrorDetail(const std::string& path, int err) {
    const std::string reason = err == EISDIR ? "it is a folder"
                               : err == EINVAL ? "it is not a regular file"
                                               : sys::errnoText(err);
    return reason.empty() ? path : path + ": " + reason;
}

void Document::LoadRtf(const std::string& path) {
    std::string data;
    if (const int e = sys::readWholeFile(path, data)) RaiseWordError(kErrFileOpen, FileErrorDetail(path, e));
    try {
        LoadRtfText(data);
    } catch (AutomationError& e) {
        // The author learns which file is not a document.
        if (e.Number == kErrBadRtf) e.Description += " (" + path + ")";
        throw;
    }
    SetFileName(path);
    readOnly_ = sys::fileIsReadOnly(path);
    saved_ = true;
    disk_ = StampOf(path);
    if (!readOnly_) {
        lock_ = TakeLock(FullName());
        readOnly_ = !lock_.heldBy.empty();
    }
}

void Document::Save() {
    if (path_.empty()) RaiseWordError(kErrBadFileName, "The document has never been saved.");
    if (readOnly_)
        RaiseWordError(kErrReadOnly, lock_.heldBy.empty() ? FullName()
                                                          : FullName() + ": it is open for editing by " + lock_.heldBy);
    if (ChangedOnDisk())
        RaiseWordError(kErrChangedOnDisk, FullName());
    WriteLocked(FullName(), ToRtf(), lock_);
    disk_ = StampOf(FullName());
    saved_ = true;
}

void Document::SaveAs(const std::string& fileName, int fileFormat) {
    if (fileFormat != 6) RaiseWordError(kErrFileFormat);
    if (fileName.empty() || fileName.back() == '/') RaiseWordError(kErrBadFileName, fileName);
    std::error_code ec;
    if (!path_.empty() && fs::equivalent(fileName, FullName(), ec)) {
        Save();
        return;
    }
    if (fs::exists(fileName, ec) && sys::fileIsReadOnly(fileName)) RaiseWordError(kErrReadOnly, fileName);
    // A file another studio has open is not replaced under it.
    FileLock lock = TakeLock(fs::absolute(fileName, ec).lexically_normal().string());
    if (!lock.heldBy.empty()) RaiseWordError(kErrReadOnly, fileName + ": it is open for editing by " + lock.heldBy);
    try {
        WriteLocked(fileName, ToRtf(), lock);
    } catch (...) {
        ReleaseLock(lock);
        throw;
    }
    ReleaseLock(lock_);
    lock_ = std::move(lock);
    SetFileName(fileName);
    readOnly_ = false;
    saved_ = true;
    disk_ = StampOf(FullName());
}

void Document::Close() { app_->GetDocuments().Close(*this); }

} // namespace qz::word
