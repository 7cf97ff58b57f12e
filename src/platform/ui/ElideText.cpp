// The host-independent measure of a text: every character half the font's
// size wide. Windowed hosts measure with the real font instead.
#include "platform/ui/UiHost.h"

#include <cstddef>
#include <vector>

namespace qz::ui {

std::string UiHost::elideText(const std::string& text, int widthTwips, const Font& font,
                              ElideMode mode) {
    // Byte offsets of the UTF-8 characters, and the text's end.
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) at.push_back(i);
    const std::size_t n = at.size();
    at.push_back(text.size());

    const double points = font.Size > 0 ? font.Size : 8.0;
    const double charTwips = points * 10.0;  // half an em; 20 twips to the point
    const std::size_t fits = widthTwips > 0 ? static_cast<std::size_t>(widthTwips / charTwips) : 0;
    if (mode == ElideMode::None || n <= fits) return text;

    static const std::string kEllipsis = "...";
    if (fits <= kEllipsis.size()) return kEllipsis;
    const std::size_t keep = fits - kEllipsis.size();
    auto head = [&](std::size_t k) { return text.substr(0, at[k]); };
    auto tail = [&](std::size_t k) { return text.substr(at[n - k]); };
    switch (mode) {
    case ElideMode::Left: return kEllipsis + tail(keep);
    case ElideMode::Right: return head(keep) + kEllipsis;
    default: return head(keep / 2) + kEllipsis + tail(keep - keep / 2);  // the file name end
    }
}

} // namespace qz::ui
