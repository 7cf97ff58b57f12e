// Text into RTF, shared by the writers of RTF: the word model's writer and
// the production engine's output. Each decides how its text escapes RTF's own
// characters (\ { }) and control characters; this writes every other one.
#pragma once

#include <string>
#include <string_view>

namespace qz::rtf {

struct TextStyle {
    bool hexBytes = true;                 // a code-page byte above 0x7F as \'hh (else the byte itself)
    std::string_view fallback = "\\'3f"; // what follows \uN for readers without Unicode
};

// Appends \'hh, lower case.
inline void AppendHexByte(std::string& out, unsigned b) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\'";
    out += kHex[(b >> 4) & 15];
    out += kHex[b & 15];
}

// Appends character c (a code point, or one UTF-16 unit of one): ASCII as it
// is, a character the code page holds as its byte (`byte`, -1 when it has
// none), any other as \uN per UTF-16 unit (N signed, as RTF reads it) and the
// fallback.
inline void AppendTextChar(std::string& out, char32_t c, int byte, const TextStyle& style) {
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    if (byte >= 0) {
        if (style.hexBytes) AppendHexByte(out, static_cast<unsigned>(byte));
        else out += static_cast<char>(byte);
        return;
    }
    auto unit = [&](unsigned u) {
        out += "\\u";
        out += std::to_string(u >= 0x8000 ? static_cast<int>(u) - 65536 : static_cast<int>(u));
        out += style.fallback;
    };
    if (c > 0xFFFF) {
        const unsigned v = static_cast<unsigned>(c) - 0x10000;
        unit(0xD800 + (v >> 10));
        unit(0xDC00 + (v & 0x3FF));
    } else {
        unit(static_cast<unsigned>(c));
    }
}

} // namespace qz::rtf
