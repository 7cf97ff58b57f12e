// The RTF tokenizer shared by the readers of RTF: the word model's reader
// and the production engine's template reader. It cuts a buffer into group
// braces, control words, control symbols and text bytes; what a token means
// (code pages, \uN fallbacks, destinations) and what a malformed input costs
// (kept, skipped or refused) is each reader's own business.
//
// Line breaks (CR, LF) and NUL bytes between tokens are no part of RTF's
// meaning and are skipped; "\" followed by a line break is \par.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace qz::rtf {

inline bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline int HexValue(char h) {
    if (h >= '0' && h <= '9') return h - '0';
    if (h >= 'a' && h <= 'f') return h - 'a' + 10;
    if (h >= 'A' && h <= 'F') return h - 'A' + 10;
    return -1;
}

struct Token {
    enum Type : unsigned char {
        Open,      // {
        Close,     // }
        Word,      // \name or \nameN, with the blank that ends it
        Symbol,    // \ and one character that is not a letter (\~ \- \* ...)
        Byte,      // a text byte: as it stands, \'hh, or \\ \{ \} (or a raw double-byte pair, see SetDoubleByteLeads)
        BadEscape, // \' without two hex digits (the characters it took are in the span)
        End,       // the end of the buffer, or a "\" that ends it
    };
    Type type = End;
    bool hasParam = false;     // Word
    bool escaped = false;      // Byte: written as \'hh
    unsigned char byte = 0;    // Byte: its value
    int param = 0;             // Word: the parameter (0 when none), clamped to +-2147483647
    std::string_view name;     // Word: the letters; Symbol, BadEscape: the character
    const char* start = nullptr; // the token's text in the buffer: [start, end)
    const char* end = nullptr;
};

class Lexer {
public:
    explicit Lexer(std::string_view buffer) : p_(buffer.data()), end_(buffer.data() + buffer.size()) {}

    const char* Position() const { return p_; }
    const char* BufferEnd() const { return end_; }
    // Moves to a position inside the buffer (a token's start to read it
    // again); p must lie inside it.
    void Seek(const char* p) { p_ = p; }

    // Reads the next token into t (filled in place: readers keep their token
    // where they use it, with no copy of it on the way).
    [[gnu::always_inline]] void Next(Token& t) {
        t.escaped = false; // the other fields are set by the tokens they belong to
        while (p_ < end_ && (*p_ == '\r' || *p_ == '\n' || *p_ == '\0')) ++p_;
        t.start = p_;
        if (p_ >= end_) return Finish(t, Token::End);
        const char c = *p_++;
        if (c == '{') return Finish(t, Token::Open);
        if (c == '}') return Finish(t, Token::Close);
        if (c != '\\') {
            t.byte = static_cast<unsigned char>(c);
            // A raw double-byte pair is one token, whatever its second byte
            // (it may be "\\", "{" or "}"), unless an escape follows the first.
            if (t.byte >= 0x81 && leads_ && leads_[t.byte] && p_ < end_ && *p_ != '\r' && *p_ != '\n' &&
                !(*p_ == '\\' && p_ + 1 < end_ && p_[1] == '\''))
                ++p_;
            return Finish(t, Token::Byte);
        }
        Escape(t);
    }

    // Reads raw text as double-byte pairs from now on: leads[b] tells whether
    // byte b leads a pair (a table of 256); nullptr for single bytes again.
    void SetDoubleByteLeads(const bool* leads) { leads_ = leads; }
    Token Next() {
        Token t;
        Next(t);
        return t;
    }

    // The end of the plain text that starts at p: bytes that are neither
    // "\", "{", "}" nor below 0x20.
    const char* PlainEnd(const char* p) const {
        while (p < end_ && *p != '\\' && *p != '{' && *p != '}' && static_cast<unsigned char>(*p) >= 0x20) ++p;
        return p;
    }

private:
    void Finish(Token& t, Token::Type type) {
        t.type = type;
        t.end = p_;
    }

    // What follows a backslash: a control word or symbol, an escaped byte.
    void Escape(Token& t) {
        if (p_ >= end_) return Finish(t, Token::End);
        const char d = *p_;
        if (IsLetter(d)) return ReadWord(t);
        ++p_;
        if (d == '\\' || d == '{' || d == '}') {
            t.byte = static_cast<unsigned char>(d);
            return Finish(t, Token::Byte);
        }
        if (d == '\'') {
            const int hi = p_ < end_ ? HexValue(*p_) : -1;
            const int lo = p_ + 1 < end_ ? HexValue(p_[1]) : -1;
            if (hi < 0 || lo < 0) {
                // A malformed escape still takes its two characters (none of RTF's own).
                for (int k = 0; k < 2 && p_ < end_ && *p_ != '\\' && *p_ != '{' && *p_ != '}'; ++k) ++p_;
                t.name = std::string_view(t.start + 1, 1);
                return Finish(t, Token::BadEscape);
            }
            p_ += 2;
            t.byte = static_cast<unsigned char>(hi * 16 + lo);
            t.escaped = true;
            return Finish(t, Token::Byte);
        }
        if (d == '\r' || d == '\n') { // "\" and a line break is a paragraph mark
            t.name = "par";
            return Finish(t, Token::Word);
        }
        t.name = std::string_view(p_ - 1, 1);
        return Finish(t, Token::Symbol);
    }

    // A control word: letters, then an optional parameter (every digit of it,
    // however many), then the blank that ends it.
    void ReadWord(Token& t) {
        t.hasParam = false;
        t.param = 0;
        const char* w = p_;
        while (p_ < end_ && IsLetter(*p_)) ++p_;
        t.name = std::string_view(w, static_cast<std::size_t>(p_ - w));
        const char* n = p_;
        if (p_ < end_ && (*p_ == '-' || IsDigit(*p_))) {
            ++p_;
            while (p_ < end_ && IsDigit(*p_)) ++p_;
            t.hasParam = p_ - n > 1 || IsDigit(*n);
            long long v = 0;
            for (const char* d = *n == '-' ? n + 1 : n; d < p_; ++d)
                if (v <= 2147483647LL) v = v * 10 + (*d - '0');
            v = std::min(v, 2147483647LL);
            t.param = static_cast<int>(*n == '-' ? -v : v);
        }
        if (p_ < end_ && *p_ == ' ') ++p_;
        Finish(t, Token::Word);
    }

    const char* p_;
    const char* end_;
    const bool* leads_ = nullptr;
};

} // namespace qz::rtf
