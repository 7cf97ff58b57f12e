#include "platform/ui/Controls.h"

#include <algorithm>

namespace qz::ui {
namespace {

// The byte offset of character `chars` of a UTF-8 text (its end when beyond).
std::size_t byteOffset(const std::string& s, int chars) {
    std::size_t i = 0;
    for (int n = 0; i < s.size() && n < chars; ++n) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    }
    return i;
}

int charCount(const std::string& s) {
    return static_cast<int>(std::count_if(s.begin(), s.end(),
                                          [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

} // namespace

std::string TextBox::SelText() const {
    const std::size_t from = byteOffset(Text, std::max(SelStart, 0));
    const std::size_t to = byteOffset(Text, std::max(SelStart, 0) + std::max(SelLength, 0));
    return Text.substr(from, to - from);
}

void TextBox::SetSelText(const std::string& text) {
    const int start = std::clamp(SelStart, 0, charCount(Text));
    const std::size_t from = byteOffset(Text, start);
    const std::size_t to = byteOffset(Text, start + std::max(SelLength, 0));
    Text.replace(from, to - from, text);
    SelStart = start + charCount(text);
    SelLength = 0;
}

} // namespace qz::ui
