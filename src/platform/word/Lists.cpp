#include "platform/word/Lists.h"

#include "platform/word/RtfDecoder.h"
#include "platform/word/RtfLexer.h"
#include "platform/word/RtfText.h"

#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/rbnf.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

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

// A level's text as it was written: characters, and bytes as kByte + the
// byte, to be read in the code page of the level's font.
constexpr char32_t kByte = 0x110000;

// The level's text read from its bytes: double-byte pairs and bytes of the
// code page of its font (the document's when it names none); its first
// character is its length, the characters 0 to 8 stand for numbers.
std::u32string LevelText(const Document& doc, const std::u32string& raw, int font) {
    const FontDef* f = font >= 0 ? doc.FontByNumber(font) : nullptr;
    const rtf::ByteCharset bytes = f ? rtf::ByteCharset::OfFont(f->charset, doc.ansiCodePage, false)
                                     : rtf::ByteCharset::OfCodePage(doc.ansiCodePage);
    std::u32string text;
    for (std::size_t k = 0; k < raw.size(); ++k) {
        if (raw[k] < kByte) {
            text += raw[k];
            continue;
        }
        const auto b = static_cast<unsigned char>(raw[k] - kByte);
        if (k == 0 || b < 0x20) text += b; // the length, a number's place
        else if (bytes.LeadsPair(b) && k + 1 < raw.size() && raw[k + 1] >= kByte)
            text += bytes.DecodePair(b, static_cast<unsigned char>(raw[++k] - kByte));
        else text += bytes.Decode(b);
    }
    // The first character is the text's length.
    const std::size_t n = text.empty() ? 0 : std::min<std::size_t>(text[0], text.size() - 1);
    return text.empty() ? std::u32string() : text.substr(1, n);
}

// Reads the list table and the list override table of the document's preamble.
ListTables ReadListTables(const Document& doc) {
    const std::string_view preamble = doc.preamble;
    ListTables t;
    if (preamble.find("\\list") == std::string_view::npos) return t;
    Lexer lex(preamble);
    enum class In { None, Lists, Overrides } in = In::None;
    int depth = 0, tableDepth = -1, listDepth = -1, levelDepth = -1, textDepth = -1, overrideDepth = -1;
    int listId = 0, overrideId = 0, overrideLs = 0;
    int uc = 1;  // the fallback characters of each \uN in a level's text, as \ucN says
    rtf::UnicodeText unicode;
    std::vector<ListLevel> levels;
    ListLevel level;
    std::u32string raw;
    auto put = [&](char32_t c) { raw += c; };
    for (Token k; lex.Next(k), k.type != Token::End;) {
        if (depth == textDepth && unicode.SkipsFallback(k)) continue;
        if (k.type == Token::Open) {
            ++depth;
            continue;
        }
        if (k.type == Token::Close) {
            if (depth == textDepth) {
                if (unicode.Orphan()) put(0xFFFD);
                textDepth = -1;
            } else if (depth == levelDepth) {
                level.text = LevelText(doc, raw, level.font);
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
                if (unicode.Orphan()) put(0xFFFD);
                raw += kByte + k.byte;
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
            else if (w == "fs" && depth == levelDepth) level.size = std::clamp(k.param, 0, 3276);
            else if (w == "levelfollow" && levelDepth >= 0) level.follow = k.param;
            else if (w == "leveltext" && levelDepth >= 0) {
                textDepth = depth;
                raw.clear();
                uc = 1;
                unicode = rtf::UnicodeText();
            } else if (w == "u" && depth == textDepth) {
                unicode.Unit(k, uc, put);
            } else if (w == "uc" && depth == textDepth) {
                uc = rtf::FallbackLength(k.param);
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

// A number in a numbering system of ICU's ("hant" Chinese counting, "jpan",
// "hebr", "fullwide" digits ...) or one of its spelling rules ("spellout",
// "ordinal"), without grouping; empty when ICU has none of the name.
std::u32string IcuNumber(int n, const char* system) {
    static std::mutex lock;
    static std::map<std::string, std::unique_ptr<icu::NumberFormat>> formats;
    std::lock_guard guard(lock);
    auto& format = formats[system];
    if (!format) {
        UErrorCode status = U_ZERO_ERROR;
        const std::string_view name = system;
        if (name == "spellout" || name == "ordinal" || name == "spellout-ordinal") {
            auto* rules = new icu::RuleBasedNumberFormat(name == "ordinal" ? icu::URBNF_ORDINAL : icu::URBNF_SPELLOUT,
                                                         icu::Locale::getEnglish(), status);
            if (U_SUCCESS(status) && name == "spellout-ordinal") rules->setDefaultRuleSet("%spellout-ordinal", status);
            format.reset(rules);
        } else {
            format.reset(icu::NumberFormat::createInstance(icu::Locale(("en@numbers=" + std::string(name)).c_str()), status));
        }
        if (U_FAILURE(status)) format.reset();
        if (format) format->setGroupingUsed(false);
    }
    if (!format) return {};
    icu::UnicodeString out;
    format->format(static_cast<int32_t>(n), out);
    std::u32string text;
    for (int32_t k = 0; k < out.length(); k = out.moveIndex32(k, 1)) text += static_cast<char32_t>(out.char32At(k));
    return text;
}

// The n-th of a sequence of characters (letters, ideographs), from its
// first again after its last.
std::u32string Cycled(int n, std::u32string_view sequence) {
    return std::u32string(1, sequence[static_cast<std::size_t>(n - 1) % sequence.size()]);
}

// A number in a list level's number format (\levelnfc).
std::u32string FormatNumber(int n, int nfc) {
    if (n < 1) n = 1;
    // Enclosed figures: as far as the characters go, then plain.
    auto enclosed = [&](char32_t first, int last) {
        return n <= last ? std::u32string(1, first + static_cast<char32_t>(n - 1)) : std::u32string();
    };
    std::u32string out;
    switch (nfc) {
    case 1: return Roman(n, true);
    case 2: return Roman(n, false);
    case 3:
    case 4: {
        // a ... z, aa ... zz, aaa ...
        const char32_t base = nfc == 3 ? U'A' : U'a';
        return std::u32string(static_cast<std::size_t>((n - 1) / 26 + 1), base + static_cast<char32_t>((n - 1) % 26));
    }
    case 5: out = IcuNumber(n, "ordinal"); break;
    case 6:
    case 7:
        // One, First: spelled out, with a capital.
        out = IcuNumber(n, nfc == 6 ? "spellout" : "spellout-ordinal");
        if (!out.empty() && out[0] >= U'a' && out[0] <= U'z') out[0] -= 0x20;
        break;
    case 10:
    case 36:
    case 43: out = IcuNumber(n, "hanidec"); break;
    case 11:
    case 17: out = IcuNumber(n, "jpan"); break;
    case 16: out = IcuNumber(n, "jpanfin"); break;
    case 14:
    case 19: out = IcuNumber(n, "fullwide"); break;
    case 18:
    case 28: out = enclosed(U'\u2460', 20); break;
    case 22: return n < 10 ? U"0" + FormatNumber(n, 0) : FormatNumber(n, 0);
    case 23:
    case 255: return {};
    case 24: return Cycled(n, U"\uAC00\uB098\uB2E4\uB77C\uB9C8\uBC14\uC0AC\uC544\uC790\uCC28\uCE74\uD0C0\uD30C\uD558");
    case 25: return Cycled(n, U"\u3131\u3134\u3137\u3139\u3141\u3142\u3145\u3147\u3148\u314A\u314B\u314C\u314D\u314E");
    case 26: out = enclosed(U'\u2488', 20); break;
    case 27: out = enclosed(U'\u2474', 20); break;
    case 29: out = enclosed(U'\u3220', 10); break;
    case 30: return Cycled(n, U"\u7532\u4E59\u4E19\u4E01\u620A\u5DF1\u5E9A\u8F9B\u58EC\u7678");
    case 31: return Cycled(n, U"\u5B50\u4E11\u5BC5\u536F\u8FB0\u5DF3\u5348\u672A\u7533\u9149\u620C\u4EA5");
    case 33:
    case 35: out = IcuNumber(n, "hant"); break;
    case 34: out = IcuNumber(n, "hantfin"); break;
    case 37:
    case 39: out = IcuNumber(n, "hans"); break;
    case 38: out = IcuNumber(n, "hansfin"); break;
    case 45:
    case 47:
        // Hebrew letters, without the marks that set numbers apart in text.
        out = IcuNumber(n, "hebr");
        std::erase_if(out, [](char32_t c) { return c == 0x05F3 || c == 0x05F4; });
        break;
    case 51: out = IcuNumber(n, "deva"); break;
    case 54: out = IcuNumber(n, "thai"); break;
    case 58:
    case 59: {
        // а ... я, аа ... яя (the letters Russian lists count with)
        static constexpr std::u32string_view kLetters = U"\u0430\u0431\u0432\u0433\u0434\u0435\u0436\u0437\u0438\u043A"
                                                        U"\u043B\u043C\u043D\u043E\u043F\u0440\u0441\u0442\u0443\u0444"
                                                        U"\u0445\u0446\u0447\u0448\u0449\u044D\u044E\u044F";
        const char32_t c = kLetters[static_cast<std::size_t>(n - 1) % kLetters.size()] - (nfc == 59 ? 0x20 : 0);
        return std::u32string(static_cast<std::size_t>((n - 1) / kLetters.size() + 1), c);
    }
    default: break;
    }
    if (!out.empty()) return out;
    // Figures, for decimal and any format there is no spelling of.
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
    const ListTables t = ReadListTables(doc);
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
    const ListTables t = ReadListTables(doc);
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
