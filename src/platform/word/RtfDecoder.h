// What RTF text stands for, shared by every reader of RTF: the word model's
// reader, the text of a field's kept result, and the production engine's
// template reader. Each reader walks the tokens of the shared tokenizer
// (RtfLexer.h) itself, since what a group means is its own business; what a
// text token stands for is decided here, once:
//  - the character set of text bytes: a font's \fcharsetN under the
//    document's \ansicpgN, double-byte code pages, symbol fonts;
//  - \uN: its 16-bit unit, surrogate pairs joined, and the fallback
//    characters the \ucN in force says to skip after it;
//  - the control symbols and words that stand for characters, and the
//    vocabulary of destinations (groups that are not plain formatting).
#pragma once

#include "platform/system/CodePage.h"
#include "platform/word/RtfLexer.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace qz::rtf {

// ---- vocabulary

// Whether a group that starts with this control word is a destination (a
// table, a field's parts, a picture, a header ...), not plain formatted text.
bool IsDestinationWord(std::string_view word);

// The character a control word stands for (\tab, \line, \emdash, ...), 0
// when it stands for none.
char32_t SpecialCharacter(std::string_view word);

// The character a control symbol stands for in text (\~, \-, \_), 0 for none.
inline char32_t SymbolCharacter(std::string_view name) {
    return name == "~" ? 0xA0 : name == "-" ? 0xAD : name == "_" ? 0x2011 : 0;
}

// The character a byte of a symbol font shows as (a list's bullet in Symbol
// or Wingdings as the Unicode bullet, ...); other bytes as Windows-1252.
inline char32_t SymbolFontChar(unsigned char b) {
    switch (b) {
    case 0xB7: return 0x2022; // Symbol's bullet
    case 0xA7: return 0x25AA; // Wingdings' small square
    case 0xD8: return 0x27A2; // Wingdings' arrowhead
    case 0xFC: return 0x2713; // Wingdings' tick
    case 0x76: return 0x2756; // Wingdings' diamond
    case 0x6F: return 0x25A1; // Wingdings' empty square
    case 0x71: return 0x2751;
    default: return b < 0x80 ? b : sys::cp1252ToUnicode(b);
    }
}

// ---- text bytes

// The character set text bytes are read in. The default is Windows-1252,
// the set templates are written in.
class ByteCharset {
public:
    ByteCharset() = default;
    // A code page (\ansicpgN, or what a font's character set names).
    static ByteCharset OfCodePage(int codePage);
    // A font's character set (\fcharsetN) under the document's code page;
    // with `glyphs`, a symbol font's bytes are its own glyphs (SymbolFontChar).
    static ByteCharset OfFont(int charset, int ansiCodePage, bool glyphs);
    // A field's instruction: Windows-1252 whatever its font says, the set
    // the code of the system's fields is written in (its section sign,
    // \'a7, separates an expression's parts).
    static constexpr ByteCharset FieldCode() { return {}; }

    // The character of a byte that leads no double-byte pair.
    char32_t Decode(unsigned char b) const {
        if (symbols_) [[unlikely]]
            return SymbolFontChar(b);
        if (b < 0x80) return b;
        return table_ ? table_[b] : sys::cp1252ToUnicode(b);
    }
    // The double-byte code page the bytes are in, 0 when single bytes.
    int DoubleByte() const { return dbcs_; }
    bool LeadsPair(unsigned char b) const;
    char32_t DecodePair(unsigned char lead, unsigned char trail) const;

private:
    const char32_t* table_ = nullptr; // a single-byte code page's; nullptr: Windows-1252
    int dbcs_ = 0;
    bool symbols_ = false;
};

// ---- \uN

// The number of fallback characters \ucN asks to skip after each \uN (a
// writer never needs more than a few bytes for one character).
constexpr int FallbackLength(int n) { return std::clamp(n, 0, 10); }

// Whether a decoded character is text: control characters are not, but for
// the tab and the line, page and column breaks.
constexpr bool IsTextCharacter(char32_t c) {
    return c >= 0x20 || c == U'\t' || c == 0x0B || c == 0x0C || c == 0x0E;
}

// The 16-bit unit of \uN (a negative N counts from 65536); -1 when N lies
// outside the 16-bit range.
constexpr long UnicodeUnit(long n) {
    if (n < -32768 || n > 65535) return -1;
    return n < 0 ? n + 65536 : n;
}

inline bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u < 0xDC00; }
inline bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u < 0xE000; }
inline char32_t JoinSurrogates(char32_t high, char32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// The characters of a text read token by token: \uN units joined into
// characters (a high surrogate waits for the low one of a later \uN; one
// left alone is U+FFFD, and so is a low one alone or a unit out of range),
// and the fallback characters after each \uN skipped, as many as its \ucN
// says: each byte, escape, control symbol or control word (but \u) is one;
// a brace ends them.
class UnicodeText {
public:
    // Whether the token is a fallback character to skip (braces end the
    // fallback and are never skipped; a \uN ends it too).
    bool SkipsFallback(const Token& t) {
        if (skip_ == 0) [[likely]]
            return false;
        if (t.type == Token::Open || t.type == Token::Close || t.type == Token::End ||
            (t.type == Token::Word && t.name == "u")) {
            skip_ = 0;
            return false;
        }
        --skip_;
        return true;
    }
    // Ends the fallback (a group opens or closes).
    void EndFallback() { skip_ = 0; }
    // Whether neither a fallback nor a high surrogate is pending: the next
    // token is read as it stands.
    bool Idle() const { return skip_ == 0 && high_ == 0; }

    // \uN under \ucN (uc): sends what it completes to put(char32_t): a
    // high surrogate waiting in vain as U+FFFD, then its character (none
    // while a high surrogate waits for its low one).
    template <class Put>
    void Unit(const Token& t, int uc, Put&& put) {
        skip_ = uc;
        const long unit = UnicodeUnit(t.param);
        char32_t c = unit < 0 ? 0xFFFD : static_cast<char32_t>(unit);
        if (IsLowSurrogate(c) && high_) {
            put(JoinSurrogates(std::exchange(high_, 0), c));
            return;
        }
        if (high_) {
            high_ = 0;
            put(char32_t(0xFFFD));
        }
        if (IsHighSurrogate(c)) high_ = c;
        else put(IsLowSurrogate(c) ? char32_t(0xFFFD) : c);
    }
    // Before any other character: whether a high surrogate waited in vain
    // (it stands as U+FFFD).
    bool Orphan() {
        if (!high_) [[likely]]
            return false;
        high_ = 0;
        return true;
    }

private:
    int skip_ = 0;        // fallback characters still to skip
    char32_t high_ = 0;   // a high surrogate waiting for its low one
};

} // namespace qz::rtf
