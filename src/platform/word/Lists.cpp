#include "platform/word/Lists.h"

#include "platform/word/RtfDecoder.h"
#include "platform/word/RtfLexer.h"
#include "platform/word/RtfText.h"

#include <algorithm>
#include <map>

namespace qz::word {

// The content of the list-number group ({\listtext ...}, {\pntext ...})
// that a kept group is or holds at its top (the reader keeps groups that
// stood before a paragraph's \pard together); empty when there is none.
std::string_view KeptListText(std::string_view group) {
    if (group.find("text") == std::string_view::npos) return {};
    rtf::Lexer lex(group);
    int depth = 0;
    for (rtf::Token t; lex.Next(t), t.type != rtf::Token::End;) {
        if (t.type == rtf::Token::Close) --depth;
        if (t.type != rtf::Token::Open) continue;
        if (++depth > 2) continue;
        const char* inside = lex.Position();
        rtf::Token w;
        lex.Next(w);
        if (w.type == rtf::Token::Symbol && w.name == "*") lex.Next(w);
        if (w.type != rtf::Token::Word || (w.name != "listtext" && w.name != "pntext")) {
            lex.Seek(inside);
            continue;
        }
        // The group's end: its closing brace.
        const char* from = w.end;
        for (int d = 1; d > 0 && (lex.Next(w), w.type != rtf::Token::End);) {
            if (w.type == rtf::Token::Open) ++d;
            else if (w.type == rtf::Token::Close && --d == 0)
                return group.substr(static_cast<std::size_t>(from - group.data()),
                                    static_cast<std::size_t>(w.start - from));
        }
        return {};
    }
    return {};
}


// Whether the atom at `at` is a kept list group (a paragraph's number or bullet).
bool HoldsListText(const Document& doc, const Story& story, long at) {
    if (at >= static_cast<long>(story.size())) return false;
    const Atom& a = story[static_cast<std::size_t>(at)];
    return a.Kind() == AtomKind::Opaque && !KeptListText(doc.Opaque(a.value)).empty();
}

namespace {

using rtf::Lexer;
using rtf::Token;

struct ListTables {
    std::map<int, std::vector<ListLevel>> byId; // \listid -> levels
    std::map<int, int> idOfLs;                  // \ls -> \listid
    int maxId = 0, maxLs = 0;
};

// Reads the list table and the list override table of the preamble.
ListTables ReadListTables(std::string_view preamble) {
    ListTables t;
    if (preamble.find("\\list") == std::string_view::npos) return t;
    Lexer lex(preamble);
    enum class In { None, Lists, Overrides } in = In::None;
    int depth = 0, tableDepth = -1, listDepth = -1, levelDepth = -1, textDepth = -1, overrideDepth = -1;
    int listId = 0, overrideId = 0, overrideLs = 0;
    bool skipFallback = false;
    std::vector<ListLevel> levels;
    ListLevel level;
    std::u32string raw;
    for (Token k; lex.Next(k), k.type != Token::End;) {
        if (k.type == Token::Open) {
            ++depth;
            continue;
        }
        if (k.type == Token::Close) {
            if (depth == textDepth) {
                // The first character is the text's length.
                const std::size_t n = raw.empty() ? 0 : std::min<std::size_t>(raw[0], raw.size() - 1);
                level.text = raw.empty() ? std::u32string() : raw.substr(1, n);
                textDepth = -1;
            } else if (depth == levelDepth) {
                levels.push_back(level);
                levelDepth = -1;
            } else if (depth == listDepth) {
                t.byId[listId] = levels;
                listDepth = -1;
            } else if (depth == overrideDepth) {
                if (overrideLs > 0) t.idOfLs[overrideLs] = overrideId;
                overrideDepth = -1;
            } else if (depth == tableDepth) {
                in = In::None;
                tableDepth = -1;
            }
            depth = std::max(0, depth - 1);
            continue;
        }
        if (k.type == Token::Byte) {
            if (depth == textDepth) {
                if (skipFallback) skipFallback = false;
                else raw += static_cast<char32_t>(k.byte);
            }
            continue;
        }
        if (k.type != Token::Word) continue;
        const std::string_view w = k.name;
        if (w == "listtable" || w == "listoverridetable") {
            in = w == "listtable" ? In::Lists : In::Overrides;
            tableDepth = depth;
        } else if (in == In::Lists) {
            if (w == "list" && listDepth < 0) {
                listDepth = depth;
                levels.clear();
                listId = 0;
            } else if (w == "listlevel" && listDepth >= 0) {
                levelDepth = depth;
                level = ListLevel{};
            } else if (w == "levelnfc" && levelDepth >= 0) level.nfc = k.param;
            else if (w == "levelstartat" && levelDepth >= 0) level.start = k.param;
            else if (w == "f" && depth == levelDepth) level.font = k.param;
            else if (w == "levelfollow" && levelDepth >= 0) level.follow = k.param;
            else if (w == "leveltext" && levelDepth >= 0) {
                textDepth = depth;
                raw.clear();
            } else if (w == "u" && depth == textDepth) {
                raw += static_cast<char32_t>(k.param < 0 ? k.param + 65536 : k.param);
                skipFallback = true;
            } else if (w == "listid" && depth == listDepth) {
                listId = k.param;
                t.maxId = std::max(t.maxId, k.param);
            }
        } else if (in == In::Overrides) {
            if (w == "listoverride") {
                overrideDepth = depth;
                overrideId = overrideLs = 0;
            } else if (w == "listid" && depth == overrideDepth) overrideId = k.param;
            else if (w == "ls" && depth == overrideDepth) {
                overrideLs = k.param;
                t.maxLs = std::max(t.maxLs, k.param);
            }
        }
    }
    return t;
}

// Where the group of a table begins and ends in the preamble ([begin, end)
// with its braces); begin is npos when there is none.
std::pair<std::size_t, std::size_t> TableGroup(std::string_view preamble, std::string_view word) {
    std::string key = "\\";
    key += word;
    for (std::size_t at = preamble.find(key); at != std::string_view::npos; at = preamble.find(key, at + 1)) {
        const std::size_t next = at + key.size();
        if (next < preamble.size() && rtf::IsLetter(preamble[next])) continue; // \listtables...
        const std::size_t open = preamble.rfind('{', at);
        if (open == std::string_view::npos) return {std::string_view::npos, 0};
        Lexer lex(preamble.substr(open));
        int depth = 0;
        for (Token k; lex.Next(k), k.type != Token::End;) {
            if (k.type == Token::Open) ++depth;
            else if (k.type == Token::Close && --depth == 0)
                return {open, static_cast<std::size_t>(k.end - preamble.data())};
        }
        return {std::string_view::npos, 0};
    }
    return {std::string_view::npos, 0};
}

std::u32string Roman(int n, bool upper) {
    static const std::pair<int, const char*> kParts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"},
                                                         {100, "c"},  {90, "xc"},  {50, "l"},  {40, "xl"},
                                                         {10, "x"},   {9, "ix"},   {5, "v"},   {4, "iv"},
                                                         {1, "i"}};
    std::u32string out;
    for (const auto& [value, letters] : kParts)
        for (; n >= value && out.size() < 40; n -= value)
            for (const char* c = letters; *c; ++c) out += static_cast<char32_t>(upper ? *c - 32 : *c);
    return out;
}

std::u32string FormatNumber(int n, int nfc) {
    if (n < 1) n = 1;
    switch (nfc) {
    case 1: return Roman(n, true);
    case 2: return Roman(n, false);
    case 3:
    case 4: {
        // a ... z, aa ... zz, aaa ...
        const char32_t base = nfc == 3 ? U'A' : U'a';
        return std::u32string(static_cast<std::size_t>((n - 1) / 26 + 1), base + static_cast<char32_t>((n - 1) % 26));
    }
    case 23:
    case 255: return {};
    default: break;
    }
    std::u32string out;
    for (const char c : std::to_string(n)) out += static_cast<char32_t>(c);
    return out;
}

// The {\listtext} group of a number or bullet: its text and a tab.
std::string ListTextGroup(const std::u32string& text) {
    std::string out = "{\\listtext\\pard\\plain ";
    for (const char32_t c : text) {
        if (c == U'\\' || c == U'{' || c == U'}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x80) {
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c <= 0xFFFF) {
            out += "\\u" + std::to_string(c >= 0x8000 ? static_cast<int>(c) - 65536 : static_cast<int>(c)) + "\\'3f";
        }
    }
    out += "\\tab}";
    return out;
}

// The span of the {\listtext} group in a kept group ([begin, end) with its
// braces); begin is npos when it holds none.
std::pair<std::size_t, std::size_t> ListTextSpan(std::string_view group) {
    const std::string_view kept = KeptListText(group);
    if (kept.empty()) return {std::string_view::npos, 0};
    const std::size_t from = static_cast<std::size_t>(kept.data() - group.data());
    const std::size_t open = group.rfind('{', from);
    return {open, from + kept.size() + 1};
}

struct ParagraphSpan {
    long start;          // its first atom
    const ParaFormat* format;
};

// The story's paragraphs in order, with their formats.
std::vector<ParagraphSpan> Paragraphs(const Document& doc, const Story& story, ParaFormat& last) {
    std::vector<ParagraphSpan> out;
    const long n = static_cast<long>(story.size());
    long start = 0;
    for (long i = 0; i < n; ++i) {
        const Atom& a = story[static_cast<std::size_t>(i)];
        if (a.Kind() != AtomKind::ParaEnd) continue;
        out.push_back({start, &doc.ParaEnd(a.value).format});
        start = i + 1;
    }
    const std::string* props = doc.LastProps(story);
    last = props ? ParseParaFormat(*props) : ParaFormat{};
    if (start < n || out.empty() || props) out.push_back({start, &last});
    return out;
}

// Whether the kept list text at the paragraph's start shows a bullet (no
// letter or digit: not a number).
bool ShowsBullet(const Document& doc, const Story& story, long at) {
    const Atom& a = story[static_cast<std::size_t>(at)];
    const std::u32string shown = FieldResultText(doc, KeptListText(doc.Opaque(a.value)), doc.Format(a.fmt).font);
    return std::none_of(shown.begin(), shown.end(), [](char32_t c) {
        return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
    });
}

} // namespace

std::vector<ListLevel> ListLevels(const Document& doc, int ls) {
    const ListTables t = ReadListTables(doc.preamble);
    const auto id = t.idOfLs.find(ls);
    if (id == t.idOfLs.end()) return {};
    const auto list = t.byId.find(id->second);
    return list == t.byId.end() ? std::vector<ListLevel>{} : list->second;
}

std::u32string LevelBullet(const Document& doc, const ListLevel& level) {
    if (level.nfc != 23) return {};
    const FontDef* font = level.font >= 0 ? doc.FontByNumber(level.font) : nullptr;
    const bool symbols = font && font->charset == 2;
    std::u32string out;
    for (char32_t c : level.text) {
        if (c >= 0xF020 && c <= 0xF0FF) c = rtf::SymbolFontChar(static_cast<unsigned char>(c & 0xFF));
        else if (symbols && c >= 0x20 && c <= 0xFF) c = rtf::SymbolFontChar(static_cast<unsigned char>(c));
        if (c >= 0x20) out += c;
    }
    if (!out.empty()) out += U'\t';
    return out;
}

int AddList(Document& doc, bool numbered) {
    const ListTables t = ReadListTables(doc.preamble);
    const int id = std::max(t.maxId, 1000) + 1, ls = t.maxLs + 1;
    std::string list = "{\\list\\listtemplateid" + std::to_string(id) + "\\listhybrid";
    for (int k = 0; k < 9; ++k) {
        const std::string indent = std::to_string(720 * (k + 1));
        list += numbered ? "{\\listlevel\\levelnfc0\\levelnfcn0" : "{\\listlevel\\levelnfc23\\levelnfcn23";
        list += "\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat1\\levelspace0\\levelindent0";
        if (numbered) {
            list += "{\\leveltext\\'02";
            rtf::AppendHexByte(list, static_cast<unsigned>(k));
            list += ".;}{\\levelnumbers\\'01;}";
        } else {
            list += "{\\leveltext\\'01\\u8226 ?;}{\\levelnumbers;}";
        }
        list += "\\fi-360\\li" + indent + "\\lin" + indent + " }";
    }
    list += "{\\listname ;}\\listid" + std::to_string(id) + "}";
    const std::string override =
        "{\\listoverride\\listid" + std::to_string(id) + "\\listoverridecount0\\ls" + std::to_string(ls) + "}";
    doc.RecordText(doc.preamble);
    std::string& pre = doc.preamble;
    if (auto [b, e] = TableGroup(pre, "listtable"); b != std::string::npos) pre.insert(e - 1, list);
    else pre += "{\\*\\listtable" + list + "}";
    if (auto [b, e] = TableGroup(pre, "listoverridetable"); b != std::string::npos) pre.insert(e - 1, override);
    else pre += "{\\*\\listoverridetable" + override + "}";
    doc.Changed();
    return ls;
}

ListNumbering::List& ListNumbering::ListOf(int ls) {
    auto it = lists_.find(ls);
    if (it != lists_.end()) return it->second;
    List& list = lists_[ls];
    list.levels = ListLevels(doc_, ls);
    for (int k = 0; k < 9; ++k)
        list.counts[k] = (k < static_cast<int>(list.levels.size()) ? list.levels[static_cast<std::size_t>(k)].start : 1) - 1;
    return list;
}

std::optional<std::u32string> ListNumbering::Next(const ParaFormat& f) {
    if (f.list <= 0) return std::nullopt;
    List& list = ListOf(f.list);
    const std::vector<ListLevel>& levels = list.levels;
    const int lv = std::clamp(f.listLevel, 0, 8);
    ++list.counts[lv];
    for (int k = lv + 1; k < 9; ++k)
        list.counts[k] = (k < static_cast<int>(levels.size()) ? levels[static_cast<std::size_t>(k)].start : 1) - 1;
    if (lv >= static_cast<int>(levels.size()) || levels[static_cast<std::size_t>(lv)].nfc == 23) return std::nullopt;
    std::u32string text;
    for (const char32_t c : levels[static_cast<std::size_t>(lv)].text) {
        if (c < 9) {
            const int of = static_cast<int>(c);
            const int nfc = of < static_cast<int>(levels.size()) ? levels[static_cast<std::size_t>(of)].nfc : 0;
            text += FormatNumber(list.counts[of], nfc);
        } else {
            text += c;
        }
    }
    return text;
}

void ListNumbering::CountBefore(const Story& story, long pos) {
    const long end = std::min(pos, static_cast<long>(story.size()));
    for (long i = 0; i < end; ++i) {
        const Atom& a = story[static_cast<std::size_t>(i)];
        if (a.Kind() == AtomKind::ParaEnd) Next(doc_.ParaEnd(a.value).format);
    }
}

const ListLevel* ListNumbering::Level(const ParaFormat& f) {
    const List& list = ListOf(f.list);
    const std::size_t lv = static_cast<std::size_t>(std::clamp(f.listLevel, 0, 8));
    return lv < list.levels.size() ? &list.levels[lv] : nullptr;
}

char32_t ListNumbering::Follow(const ParaFormat& f) {
    const ListLevel* level = Level(f);
    const int follow = level ? level->follow : 0;
    return follow == 1 ? U' ' : follow == 2 ? 0 : U'\t';
}

void UpdateListNumbers(Document& doc, Story& story, int ls) {
    ParaFormat last;
    const std::vector<ParagraphSpan> paragraphs = Paragraphs(doc, story, last);
    // The group each paragraph of the list is to start with ("" none), then
    // the changes made from the end, so that positions stay right.
    std::vector<std::pair<long, std::string>> wanted;
    ListNumbering numbering(doc);
    for (const ParagraphSpan& p : paragraphs) {
        const bool kept = HoldsListText(doc, story, p.start);
        if (p.format->list != ls) {
            if (kept && p.format->list == 0) wanted.emplace_back(p.start, std::string());
            continue;
        }
        const std::optional<std::u32string> number = numbering.Next(*p.format);
        // A bullet keeps the one it shows (its symbol font's); else a plain one.
        if (!number && kept && ShowsBullet(doc, story, p.start)) continue;
        wanted.emplace_back(p.start, ListTextGroup(number ? *number : std::u32string(1, U'\u2022')));
    }
    const std::size_t before = story.size();
    bool changed = false;
    // The document's selection keeps its place in the text as a number at
    // `at` comes (delta 1) or goes (-1): a caret after a number that goes
    // would otherwise stand past the story's end.
    auto shift = [&](long at, long delta) {
        Selection& sel = doc.GetSelection();
        if (sel.GetStory() != &story) return;
        auto moved = [&](long q) { return q > at ? std::max(at, q + delta) : q; };
        const long a = moved(sel.Start()), b = moved(sel.End());
        if (a != sel.Start() || b != sel.End()) sel.SetRange(a, b);
    };
    for (auto w = wanted.rbegin(); w != wanted.rend(); ++w) {
        const long at = w->first;
        const bool kept = HoldsListText(doc, story, at);
        if (kept) {
            const Atom old = story[static_cast<std::size_t>(at)];
            std::string group = doc.Opaque(old.value);
            const auto [b, e] = ListTextSpan(group);
            if (group.compare(b, e - b, w->second) == 0) continue;
            changed = true;
            group.replace(b, e - b, w->second);
            if (group.empty()) {
                ReplaceAtoms(doc, story, at, at + 1, nullptr, 0);
                shift(at, -1);
                continue;
            }
            const Atom a = Atom::Make(AtomKind::Opaque, doc.AddOpaque(std::move(group)), old.fmt);
            ReplaceAtoms(doc, story, at, at + 1, &a, 1);
        } else if (!w->second.empty()) {
            changed = true;
            const std::uint32_t fmt = at < static_cast<long>(story.size()) ? story[static_cast<std::size_t>(at)].fmt
                                                                          : doc.DefaultFormat();
            const Atom a = Atom::Make(AtomKind::Opaque, doc.AddOpaque(w->second), fmt);
            ReplaceAtoms(doc, story, at, at, &a, 1);
            shift(at, 1);
        }
    }
    if (changed || story.size() != before) doc.NumberingChanged();
}

Range ListFormat::Scope(const Range& r) {
    // A selection that ends just after a paragraph mark ends in that paragraph, not the next.
    Range out = r.Duplicate();
    if (r.End() > r.Start() && (*r.GetStory())[static_cast<std::size_t>(r.End() - 1)].Kind() == AtomKind::ParaEnd)
        out.SetEnd(r.End() - 1);
    return out;
}

int ListFormat::ListType() const {
    const ParaFormat f = r_.ParagraphFormat();
    if (f.list == 0) return kListNoNumbering;
    const std::vector<ListLevel> levels = ListLevels(*r_.GetDocument(), f.list);
    const std::size_t lv = static_cast<std::size_t>(f.listLevel);
    return lv < levels.size() && levels[lv].nfc != 23 ? kListSimpleNumbering : kListBullet;
}

void ListFormat::ApplyBulletDefault() { Apply(false); }
void ListFormat::ApplyNumberDefault() { Apply(true); }

void ListFormat::Apply(bool numbered) {
    Document& doc = *r_.GetDocument();
    Story& story = *r_.GetStory();
    const int want = numbered ? kListSimpleNumbering : kListBullet;
    // Every paragraph of the range of the kind already: the button is off.
    bool all = true;
    ParaFormat lastFormat;
    const std::vector<ParagraphSpan> paragraphs = Paragraphs(doc, story, lastFormat);
    std::size_t first = 0;
    while (first + 1 < paragraphs.size() && paragraphs[first + 1].start <= r_.Start()) ++first;
    Range scope = Scope(r_);
    for (std::size_t k = first; k < paragraphs.size() && (k == first || paragraphs[k].start < scope.End()); ++k) {
        Range one(&doc, &story, paragraphs[k].start, paragraphs[k].start);
        all = all && ListFormat(one).ListType() == want;
    }
    if (all) return RemoveNumbers();
    // The list of the paragraph before, when it is of the kind; else a new one.
    int ls = 0;
    if (first > 0) {
        Range before(&doc, &story, paragraphs[first - 1].start, paragraphs[first - 1].start);
        if (ListFormat(before).ListType() == want) ls = before.ParagraphFormat().list;
    }
    if (ls == 0) ls = AddList(doc, numbered);
    std::vector<int> touched;
    scope.ChangeParagraphFormat([&](ParaFormat& f) {
        if (f.list != 0 && f.list != ls) touched.push_back(f.list);
        const int indent = 720 * (f.list != 0 ? f.listLevel + 1 : 1);
        f.tabs.erase(std::remove_if(f.tabs.begin(), f.tabs.end(),
                                    [&](const TabStop& t) { return t.position == f.leftIndent && f.list != 0; }),
                     f.tabs.end());
        f.list = ls;
        f.leftIndent = std::max(f.leftIndent, indent);
        f.firstIndent = -360;
        // The number's tab stop, where the text starts.
        if (std::none_of(f.tabs.begin(), f.tabs.end(), [&](const TabStop& t) { return t.position == f.leftIndent; })) {
            f.tabs.push_back(TabStop{f.leftIndent, TabKind::Left, TabLeader::None});
            std::sort(f.tabs.begin(), f.tabs.end(), [](const TabStop& a, const TabStop& b) { return a.position < b.position; });
        }
    });
    UpdateListNumbers(doc, story, ls);
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    for (const int other : touched) UpdateListNumbers(doc, story, other);
}

void ListFormat::RemoveNumbers() {
    Document& doc = *r_.GetDocument();
    Story& story = *r_.GetStory();
    std::vector<int> touched;
    Scope(r_).ChangeParagraphFormat([&](ParaFormat& f) {
        if (f.list == 0) return;
        touched.push_back(f.list);
        f.tabs.erase(std::remove_if(f.tabs.begin(), f.tabs.end(),
                                    [&](const TabStop& t) { return t.position == f.leftIndent; }),
                     f.tabs.end());
        f.list = 0;
        f.listLevel = 0;
        f.leftIndent = 0;
        f.firstIndent = 0;
    });
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    // Each list renumbers what is left of it; the paragraphs taken out lose their number.
    for (const int ls : touched) UpdateListNumbers(doc, story, ls);
}

} // namespace qz::word
