#include "editors/ModFindReplace.h"

#include "platform/automation/Text.h"

#include <string_view>

namespace qz::editors {

namespace {

// The text as characters, each folded when letter case is ignored.
std::u32string Chars(std::string_view s, bool fold) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t c = nextUtf8(s, i);
        if (fold && c < 0x10000) c = foldCase(static_cast<char16_t>(c));
        out.push_back(c);
    }
    return out;
}

// The byte offset of character `chars` (0-based) of a UTF-8 text.
std::size_t ByteOffset(const std::string& s, std::int32_t chars) {
    std::size_t i = 0;
    for (std::int32_t n = 0; i < s.size() && n < chars; ++n) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    }
    return i;
}

bool IsDelimiter(char32_t c) {
    static constexpr std::u32string_view kDelimiters = U"'\t\n\r ,()<>[]\\|:;=/*-+";
    return kDelimiters.find(c) != std::u32string_view::npos;
}

std::string ToUtf8(std::u32string_view s) {
    std::u16string u;
    for (char32_t c : s) appendUtf16(u, c);
    return toUtf8(u);
}

} // namespace

FindReplaceState& TheFindReplaceState() {
    thread_local FindReplaceState state;
    return state;
}

std::int32_t CharCount(const std::string& text) {
    std::int32_t n = 0;
    for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string GetFindTextFromTextBox(const ui::TextBox& box) {
    const std::string selected = box.SelText();
    if (!selected.empty()) {
        const std::size_t br = selected.find("\r\n");
        return br == std::string::npos ? selected : selected.substr(0, br);
    }
    const std::u32string text = Chars(box.Text, false);
    const auto n = static_cast<std::int64_t>(text.size());
    // i: the character just before the caret (1-based), the first one at the start.
    std::int64_t i = box.SelStart > 0 ? box.SelStart : 1;
    if (i > n) i = n;
    while (i >= 1 && !IsDelimiter(text[i - 1])) --i;
    std::int64_t end = i;  // 0-based index of the word's first character
    while (end < n && !IsDelimiter(text[end])) ++end;
    return ToUtf8(std::u32string_view(text).substr(i, end - i));
}

std::int32_t FindFrom(const std::string& text, const std::string& find, std::int32_t from, std::int16_t compareMode,
                      std::int32_t limit) {
    if (find.empty()) return 0;
    const bool fold = compareMode != kCompareBinary;
    const std::u32string hay = Chars(text, fold), needle = Chars(find, fold);
    const std::size_t start = from < 1 ? 0 : static_cast<std::size_t>(from - 1);
    if (start > hay.size()) return 0;
    const std::size_t q = hay.find(needle, start);
    if (q == std::u32string::npos) return 0;
    if (limit > 0 && q + needle.size() + 1 > static_cast<std::size_t>(limit)) return 0;
    return static_cast<std::int32_t>(q + 1);
}

std::int32_t ReplaceAllInText(FindReplaceState& s) {
    s.changeCount = 0;
    if (s.search.empty()) return 0;
    const std::int32_t l = CharCount(s.search), r = CharCount(s.replace);
    std::int32_t pos = s.regionStart > 0 ? s.regionStart : 1;
    for (;;) {
        const std::int32_t q = FindFrom(s.text, s.search, pos, s.compareMode, s.regionEnd);
        if (q == 0) break;
        const std::size_t from = ByteOffset(s.text, q - 1), to = ByteOffset(s.text, q - 1 + l);
        s.text.replace(from, to - from, s.replace);
        if (s.regionEnd > 0) s.regionEnd += r - l;
        pos = q + r;
        ++s.changeCount;
    }
    return s.changeCount;
}

} // namespace qz::editors
