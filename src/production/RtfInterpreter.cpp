#include "production/RtfInterpreter.h"

#include "production/Errors.h"
#include "production/TemplateFiles.h"
#include "platform/automation/MemoryMeter.h"
#include "platform/automation/Text.h"
#include "platform/word/RtfDecoder.h"
#include "platform/word/RtfLexer.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <filesystem>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qz::production {

namespace {

constexpr const char* kModule = "RtfInterpreter";

// Own error ids of the reader and of the record readers.

constexpr std::string_view kSectionSign = "\xC2\xA7";  // UTF-8 of the expression separator
constexpr std::string_view kLineBreakCode = "_QZCRLF";

enum TokenType { kOpen = 0, kClose = 1, kControlWord = 2, kControlSymbol = 3, kText = 4 };

// The control words the field walk looks for (spelled in any case, with no
// parameter); every other token is kOtherWord.
enum WordName { kOtherWord, kField, kFldinst, kFldrslt, kPar, kListtext, kPntext, kPn };

using rtf::IsDigit;
using rtf::IsLetter;

constexpr char32_t kReplacement = 0xFFFD;  // a surrogate no other joined
// A template's field groups are read as the word model reads a field's
// instruction.
constexpr rtf::ByteCharset kTemplateBytes = rtf::ByteCharset::FieldCode();

constexpr auto kPlainAscii = [] {
    std::array<bool, 256> a{};
    for (int c = 0x20; c < 0x80; ++c) a[c] = c != '\\' && c != '{' && c != '}';
    return a;
}();

// The end of the plain ASCII text from p on: the first byte that is a
// backslash, a brace, a control character or above 0x7F (sixteen bytes are
// looked at in one step).
const char* plainEnd(const char* p, const char* end) {
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i special =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')), _mm_cmpeq_epi8(v, _mm_set1_epi8('{'))),
                         _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('}')),
                                      _mm_cmplt_epi8(v, _mm_set1_epi8(0x20))));  // signed: also 0x80 and above
        const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(special));
        if (m != 0) return p + std::countr_zero(m);
    }
#endif
    while (p < end && kPlainAscii[static_cast<unsigned char>(*p)]) ++p;
    return p;
}

// \uc scopes are kept for this many nested groups; deeper ones share the
// value of the innermost kept group.
constexpr int kUcDepth = 32;

// The last groups skipped whole by the one-pass reader (below), with their
// text. Every field of the system holds two delimiter fields, the same bytes
// in every field of a template; their tokens are read once, and from then
// on the same bytes are passed over with the text they gave.
class SkippedGroups {
public:
    struct Group {
        std::string bytes;  // from after the word that opened the skip to the closing brace
        std::string text;   // the text tokens among them
        int uc = 0;         // the \uc value and group depth the skip began with
        int depth = 0;
    };

    const Group* find(const char* p, std::size_t left, int uc, int depth) const {
        for (const Group& g : groups_)
            if (!g.bytes.empty() && g.uc == uc && g.depth == depth && g.bytes.size() <= left &&
                std::memcmp(p, g.bytes.data(), g.bytes.size()) == 0)
                return &g;
        return nullptr;
    }

    void keep(std::string_view bytes, std::string_view text, int uc, int depth) {
        if (bytes.size() > kLongest) return;
        Group& g = groups_[next_];
        next_ = (next_ + 1) % groups_.size();
        g.bytes.assign(bytes);
        g.text.assign(text);
        g.uc = uc;
        g.depth = depth;
    }

private:
    static constexpr std::size_t kLongest = 1024;
    std::array<Group, 4> groups_;
    std::size_t next_ = 0;
};

// The template reader's view of the shared RTF tokenizer, over one buffer (a
// field group). Reading past the end of the buffer, or a malformed \'
// escape, means the group is not what the caller was looking for: 3112.
//
// Text tokens are UTF-8, decoded as the word model decodes a field's
// instruction (RtfDecoder.h): bytes and \'hh escapes are Windows-1252
// characters, \uN gives the character N, its fallback characters (as many as
// the \ucN of the group says) are skipped whatever tokens they are, and a
// surrogate pair is one character. The section sign escaped in lower case ("\'a7") is also
// flagged as a separator, the one form that splits an expression payload; a
// sign reached any other way is plain text. Token texts are views into the
// buffer wherever the text stands there as it is; decoded characters and
// upper-case control words use the tokenizer's own storage.
//
// A tokenizer given a string reads one group, which the buffer starts with
// and may go on after: it ends where the group closes, appends the text of
// every text token to the string (the group's plain text, as CleanRTFField
// reads it), and stops where it cannot read on instead of raising (failed()
// from then on): the reader that uses it reads the group again step by
// step where that matters, and each step raises its own error.

class Tokenizer {
public:
    explicit Tokenizer(std::string_view buffer, std::string* plain = nullptr, SkippedGroups* skipped = nullptr)
        : lex_(buffer), start_(buffer.data()), plain_(plain), skipped_(plain ? skipped : nullptr) {}

    int type() const { return type_; }
    std::string_view text() const { return text_; }
    // The current token is the section sign written "\'a7".
    bool separator() const { return separator_; }
    // The current token is the control word x (its text without the blank
    // that ends it, lower-cased, is "\" and the name).
    bool is(WordName x) const { return word_ == x; }
    int depth() const { return depth_; }
    bool failed() const { return failed_; }
    // Where the next token starts, from the start of the buffer.
    std::size_t offset() const { return static_cast<std::size_t>(lex_.Position() - start_); }

    // Plain ASCII text (no backslash, no brace, no control character) comes
    // as one text token however long it runs: every reader of the tokens
    // appends text as it comes, and no control word can hide in such a run.
    void next() {
        if (failed_) return;  // stays where it stopped
        separator_ = false;
        word_ = kOtherWord;
        const char* p = lex_.Position();
        const char* end = lex_.BufferEnd();
        if (p < end && kPlainAscii[static_cast<unsigned char>(*p)] && unicode_.Idle()) {
            const char* q = plainEnd(p + 1, end);
            lex_.Seek(q);
            type_ = kText;
            text_ = std::string_view(p, static_cast<std::size_t>(q - p));
            plainRun_ = true;
            if (plain_) plain_->append(text_);
            return;
        }
        plainRun_ = false;
        // A brace is a token of one character, taken here without the
        // lexer's round (a third of the tokens of a field are braces).
        if (p < end && (*p == '{' || *p == '}')) {
            unicode_.EndFallback();
            lex_.Seek(p + 1);
            if (*p == '{') open(std::string_view(p, 1));
            else close(std::string_view(p, 1));
            return;
        }
        nextToken();
        if (plain_ && type_ == kText) plain_->append(text_);
    }

    // Moves on by one character: within a run of plain text, past its first
    // character only; anywhere else, to the next token.
    void nextCharacter() {
        if (plainRun_ && text_.size() > 1) text_.remove_prefix(1);
        else next();
    }

    // Reads tokens until the control word x (which becomes the current token).
    void until(WordName x) {
        do next(); while (word_ != x && !failed_);
    }

    // After the token that opened a group: reads to the end of that group.
    void skipGroup() {
        // A skip reads as before only from and to a state with no surrogate waiting.
        const bool cached = skipped_ && unicode_.Idle();
        if (cached && skipAsBefore()) return;
        const char* from = lex_.Position();
        const int uc = uc_, entryDepth = depth_;
        const std::size_t textFrom = plain_ ? plain_->size() : 0;
        int deepest = depth_;
        for (int depth = 1; depth > 0 && !failed_;) {
            next();
            if (type_ == kOpen) {
                ++depth;
                deepest = std::max(deepest, depth_);
            } else if (type_ == kClose) {
                --depth;
            }
        }
        // Kept only when the \uc value of every group in it is (see kUcDepth).
        if (cached && !failed_ && deepest < kUcDepth && unicode_.Idle())
            skipped_->keep(std::string_view(from, static_cast<std::size_t>(lex_.Position() - from)),
                           std::string_view(*plain_).substr(textFrom), uc, entryDepth);
    }

private:
    // A skip as one made before: the same bytes up to and including the
    // closing brace, from the same \uc value and depth, read the same.
    bool skipAsBefore() {
        const char* p = lex_.Position();
        const SkippedGroups::Group* g =
            skipped_->find(p, static_cast<std::size_t>(lex_.BufferEnd() - p), uc_, depth_);
        if (g == nullptr) return false;
        plain_->append(g->text);
        separator_ = false;
        word_ = kOtherWord;
        plainRun_ = false;
        const char* brace = p + g->bytes.size() - 1;
        lex_.Seek(brace + 1);
        close(std::string_view(brace, 1));
        return true;
    }

    // Every token but a run of plain ASCII text (kept out of line: next()
    // stays small); the fallback characters of a \uN are passed over.
    [[gnu::noinline]] void nextToken() {
        rtf::Token& t = token_;
        do lex_.Next(t);
        while (unicode_.SkipsFallback(t) || !take(t));
    }

    // Makes t the current token; false when it gives none (a high surrogate
    // waiting for its low one).
    bool take(const rtf::Token& t) {
        const std::string_view span(t.start, static_cast<std::size_t>(t.end - t.start));
        switch (t.type) {
        case rtf::Token::Byte:
            if (orphanBefore(t)) break;
            type_ = kText;
            if (t.escaped) {
                separator_ = span == "\\'a7";
                setDecoded(kTemplateBytes.Decode(t.byte));
            } else if (t.byte < 0x80) {
                text_ = span.substr(span.size() - 1);  // the character itself, also of \\ \{ \}
            } else {
                setDecoded(kTemplateBytes.Decode(t.byte));
            }
            break;
        case rtf::Token::Word:
            if (t.name.size() == 1 && t.name[0] == 'u') return readUnicode(t);
            readControlWord(t, span);
            break;
        case rtf::Token::Open:
            open(span);
            break;
        case rtf::Token::Close:
            close(span);
            break;
        case rtf::Token::Symbol:
            if (rtf::SymbolCharacter(t.name) && orphanBefore(t)) break;
            type_ = kControlSymbol;
            text_ = span;
            break;
        default:  // the end of the buffer, or a malformed \' escape
            if (!plain_) raiseOwnError(msg::CannotInterpretRtf);
            failed_ = true;
            type_ = kControlSymbol;  // a token no reader takes
            text_ = {};
        }
        return true;
    }

    void open(std::string_view span) {
        type_ = kOpen;
        text_ = span;
        if (depth_ < kUcDepth) ucStack_[depth_] = uc_;
        ++depth_;
    }

    void close(std::string_view span) {
        type_ = kClose;
        text_ = span;
        if (depth_ > 0) {
            --depth_;
            if (depth_ < kUcDepth) uc_ = ucStack_[depth_];
            if (depth_ == 0 && plain_) {  // the group read closes: the buffer ends here
                const char* end = lex_.Position();
                lex_ = rtf::Lexer(std::string_view(start_, static_cast<std::size_t>(end - start_)));
                lex_.Seek(end);
            }
        }
    }

    void readControlWord(const rtf::Token& t, std::string_view span) {
        if (t.name.size() == 2 && t.name[0] == 'u' && t.name[1] == 'c') uc_ = rtf::FallbackLength(t.param);
        type_ = kControlWord;
        text_ = span;
        if (span.size() > 1 && (span[1] == '\r' || span[1] == '\n')) {  // "\" and a line break
            text_ = "\\par";
            word_ = kPar;
            return;
        }
        // The name is letters only: an upper-case one has bit 0x20 clear.
        if (std::any_of(t.name.begin(), t.name.end(), [](char x) { return (x & 0x20) == 0; })) {
            own_.assign(span);
            for (char& x : own_) x = toLowerAscii(x);
            text_ = own_;
        }
        // A word with a parameter ("\par0", even "\par-") is none of those looked for.
        if (t.end - t.name.data() - (span.back() == ' ' ? 1 : 0) == static_cast<std::ptrdiff_t>(t.name.size()))
            word_ = wordName(text_.substr(1, t.name.size()));
    }

    static WordName wordName(std::string_view name) {
        switch (name.size()) {
        case 2: return name == "pn" ? kPn : kOtherWord;
        case 3: return name == "par" ? kPar : kOtherWord;
        case 5: return name == "field" ? kField : kOtherWord;
        case 6: return name == "pntext" ? kPntext : kOtherWord;
        case 7: return name == "fldinst" ? kFldinst : name == "fldrslt" ? kFldrslt : kOtherWord;
        case 8: return name == "listtext" ? kListtext : kOtherWord;
        default: return kOtherWord;
        }
    }

    // \uN: its character, the fallback after it skipped by the tokens that
    // follow. False while a high surrogate waits for its low one.
    bool readUnicode(const rtf::Token& t) {
        decodedSize_ = 0;
        unicode_.Unit(t, uc_, [&](char32_t c) {
            if (rtf::IsTextCharacter(c)) appendDecoded(c);
        });
        if (decodedSize_ == 0) return false;
        type_ = kText;
        text_ = std::string_view(decoded_, decodedSize_);
        return true;
    }

    // A high surrogate no low one followed stands as U+FFFD before the next
    // character the word model would show; the token t is read again after it.
    bool orphanBefore(const rtf::Token& t) {
        if (!unicode_.Orphan()) [[likely]]
            return false;
        lex_.Seek(t.start);
        type_ = kText;
        setDecoded(kReplacement);
        return true;
    }

    // A decoded character as UTF-8, in the tokenizer's own bytes.
    void setDecoded(char32_t cp) {
        decodedSize_ = 0;
        appendDecoded(cp);
        text_ = std::string_view(decoded_, decodedSize_);
    }

    void appendDecoded(char32_t cp) {
        char* d = decoded_ + decodedSize_;
        if (cp < 0x80) {
            d[0] = static_cast<char>(cp);
            decodedSize_ += 1;
        } else if (cp < 0x800) {
            d[0] = static_cast<char>(0xC0 | (cp >> 6));
            d[1] = static_cast<char>(0x80 | (cp & 0x3F));
            decodedSize_ += 2;
        } else if (cp < 0x10000) {
            d[0] = static_cast<char>(0xE0 | (cp >> 12));
            d[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            d[2] = static_cast<char>(0x80 | (cp & 0x3F));
            decodedSize_ += 3;
        } else {
            d[0] = static_cast<char>(0xF0 | (cp >> 18));
            d[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            d[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            d[3] = static_cast<char>(0x80 | (cp & 0x3F));
            decodedSize_ += 4;
        }
    }

    rtf::Lexer lex_;
    const char* start_;      // the start of the buffer
    std::string* plain_;     // where text tokens go as well, if anywhere
    SkippedGroups* skipped_; // the skips made so far, with a string only
    rtf::Token token_;
    int type_ = kText;
    WordName word_ = kOtherWord;
    bool separator_ = false;
    bool plainRun_ = false;  // the current token is a run of plain ASCII text
    bool failed_ = false;
    std::string_view text_;
    std::string own_;        // a lower-cased control word
    char decoded_[8] = {};   // decoded characters (a \uN gives two at most)
    std::size_t decodedSize_ = 0;
    rtf::UnicodeText unicode_;  // the fallback to skip, a high surrogate waiting
    int uc_ = 1;      // fallback characters after \uN
    int depth_ = 0;   // group depth from the start of the buffer
    int ucStack_[kUcDepth] = {};
};

// The walk shared by both record readers: label, then (for expressions) the
// font, then the SET field's instruction text up to its result.
// All texts are UTF-8; the positions of the last two separators ("\'a7") in
// the instruction are kept for the expression reader.
struct FieldWalk {
    std::string label;
    std::string font;
    std::string instruction;
    std::size_t lastSeparator = std::string::npos;
    std::size_t previousSeparator = std::string::npos;

    // Empty again, with the storage kept.
    void clear() {
        label.clear();
        font.clear();
        instruction.clear();
        lastSeparator = previousSeparator = std::string::npos;
    }
};

void replaceAll(std::string& s, std::string_view from, std::string_view to) {
    std::size_t p = s.find(from);
    if (p == std::string::npos) return;
    std::string out;
    out.reserve(s.size());
    std::size_t last = 0;
    for (; p != std::string::npos; p = s.find(from, last)) {
        out.append(s, last, p - last);
        out.append(to);
        last = p + from.size();
    }
    out.append(s, last, std::string::npos);
    s.swap(out);
}

std::string decodeCode(std::string_view raw) {
    std::string code(raw);
    replaceAll(code, kLineBreakCode, "\r\n");
    return code;
}

// The walk up to the SET field's instruction: the label between the two
// delimiter fields, then on to the SET field's \fldinst.
void walkToInstruction(Tokenizer& t, FieldWalk& w) {
    t.until(kFldinst);      // the outer field's instruction
    t.until(kField);        // the opening delimiter's nested field
    t.skipGroup();
    for (;;) {              // the label, up to the closing delimiter's field
        t.next();
        if (t.is(kField) || t.failed()) break;
        if (t.type() == kText) w.label += t.text();
    }
    t.skipGroup();
    t.until(kFldinst);      // the SET field's instruction
}

// The rest of the walk: the font when asked for, then the instruction text
// up to the SET field's \fldrslt.
void walkInstruction(Tokenizer& t, bool readFont, FieldWalk& w) {
    if (readFont) {
        do t.next(); while (t.type() == kOpen);
        if (t.type() != kControlWord) t.nextCharacter();
        while (t.type() == kControlWord) {
            w.font += t.text();
            t.next();
        }
    }
    while (!t.is(kFldrslt) && !t.failed()) {
        if (t.type() == kControlWord) {
            if (t.is(kPar)) {
                w.instruction += "\r\n";
            } else if (t.is(kListtext) || t.is(kPntext) || t.is(kPn)) {
                t.skipGroup();
            }
        } else if (t.type() == kText) {
            if (t.separator()) {
                w.previousSeparator = w.lastSeparator;
                w.lastSeparator = w.instruction.size();
            }
            w.instruction += t.text();
        }
        t.next();
    }
}

FieldWalk walkField(std::string_view group, bool readFont) {
    FieldWalk w;
    Tokenizer t(group);
    walkToInstruction(t, w);
    walkInstruction(t, readFont, w);
    return w;
}

// The plain text of a group: its text tokens, braces and words left out.
void readPlainText(std::string_view group, std::string& plain) {
    plain.clear();
    Tokenizer t(group);
    t.next();
    for (int depth = 1; depth > 0;) {
        t.next();
        if (t.type() == kOpen) ++depth;
        else if (t.type() == kClose) --depth;
        else if (t.type() == kText) plain += t.text();
    }
}

constexpr std::string_view kExpressionMacro = "modExpressionMacro";
constexpr std::string_view kStatementMacro = "modStatementMacro";

// A field group read in one pass, from the start of a text that goes on
// after it: its extent, the walk of a field of the system and, from the
// same tokens, the group's plain text, which tells whether it is one
// (reading a group three times, once for each, is what the time would go
// to). The walk reads a font, as for an expression, when the expression
// macro's name stands in the text read before the SET field.
struct OnePass {
    bool read = false;      // the group read to its end: its size and plain text
                            // are known (if not, the caller reads it step by step)
    bool walked = false;    // and the walk found all it looks for
    bool font = false;      // the walk read a font
    std::size_t size = 0;   // the group's length
};

OnePass readInOnePass(std::string_view text, std::string& plain, FieldWalk& w, SkippedGroups& skipped) {
    plain.clear();
    w.clear();
    Tokenizer t(text, &plain, &skipped);
    OnePass r;
    walkToInstruction(t, w);
    r.font = plain.find(kExpressionMacro) != std::string::npos;
    if (!t.failed()) walkInstruction(t, r.font, w);
    r.walked = !t.failed();
    while (t.depth() > 0 && !t.failed()) t.next();  // the rest of the group, for its text
    // A walk that ran out of the group still read all of it (the tokenizer
    // ends where the group closes); one that stopped inside did not.
    r.read = t.depth() == 0;
    r.size = t.offset();
    return r;
}

// A field that cannot be read is named as script errors name theirs: by its
// kind and label, so that the author finds it in the document.
[[noreturn]] void raiseFieldError(std::int32_t id, std::string_view kind, const FieldWalk& w) {
    RaiseError(id, OwnError(id).Description + " Field: " + std::string(kind) + " \"" + ansiToUtf8(w.label) + "\".");
}

StatementRecord statementRecord(FieldWalk& w) {
    constexpr std::string_view name = "QZStatement377";
    const std::size_t at = w.instruction.find(name);
    if (at == std::string::npos) raiseFieldError(msg::EmptyStatement, "statement", w);
    StatementRecord r;
    r.Label = std::move(w.label);
    r.Code = decodeCode(trimSpaces(std::string_view(w.instruction).substr(at + name.size())));
    return r;
}

// A locale as the designer writes it, "-1" or a few digits, is read here;
// any other text goes through the script's own conversion (CLng), which
// also says what is wrong with it (that conversion weighs on every field).
std::int32_t localeOf(std::string_view text) {
    const bool minus = !text.empty() && text[0] == '-';
    const std::string_view digits = text.substr(minus ? 1 : 0);
    if (digits.empty() || digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), IsDigit))
        return convertToLong(text);
    std::int32_t v = 0;
    for (char c : digits) v = v * 10 + (c - '0');
    return minus ? -v : v;
}

ExpressionRecord expressionRecord(FieldWalk& w) {
    constexpr std::string_view name = "QZExpression377";
    const std::size_t at = w.instruction.find(name);
    if (at == std::string::npos) raiseFieldError(msg::EmptyExpression, "expression", w);
    const std::string_view all = w.instruction;
    const std::string_view rest = trimSpaces(all.substr(at + name.size()));
    const std::size_t restStart = static_cast<std::size_t>(rest.data() - all.data());

    // Only the last two separators split: the code may hold the sign
    // itself. A separator is never a blank, so both lie inside the rest
    // when they lie after its start.
    const std::size_t a = w.previousSeparator, b = w.lastSeparator;
    if (a == std::string::npos || a < restStart) raiseFieldError(msg::ExpressionFormatMissing, "expression", w);
    const std::size_t restEnd = restStart + rest.size();
    const std::string_view format = all.substr(a + kSectionSign.size(), b - a - kSectionSign.size());
    if (format.empty()) raiseFieldError(msg::ExpressionFormatMissing, "expression", w);
    const std::string_view locale = all.substr(b + kSectionSign.size(), restEnd - b - kSectionSign.size());
    if (locale.empty()) raiseFieldError(msg::ExpressionLocaleMissing, "expression", w);

    ExpressionRecord r;
    r.Label = std::move(w.label);
    r.Format = format;
    r.Code = decodeCode(all.substr(restStart, a - restStart));
    r.Font = std::move(w.font);
    r.Locale = localeOf(locale);
    return r;
}

// Whether the character at i is escaped: preceded by an odd number of
// backslashes ("\\{" is an escaped backslash and then a real brace).
bool escaped(std::string_view t, std::size_t i) {
    std::size_t n = 0;
    while (n < i && t[i - 1 - n] == '\\') ++n;
    return n % 2 == 1;
}

// The braces and backslashes among 64 bytes of a text (fewer at its end):
// bit k stands for the byte at from + k. Texts are looked at 64 bytes at a
// time, and only the bytes marked one by one.
constexpr std::size_t kPiece = 64;

struct Piece {
    std::uint64_t open = 0;
    std::uint64_t close = 0;
    std::uint64_t backslash = 0;
};

[[gnu::always_inline]] inline Piece pieceAt(std::string_view t, std::size_t from) {
    Piece m;
    const char* p = t.data() + from;
#if defined(__SSE2__)
    if (from + kPiece <= t.size()) {
        auto bits = [](__m128i v, char c) {
            return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c)))));
        };
        for (int k = 0; k < 4; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            m.open |= bits(v, '{') << (16 * k);
            m.close |= bits(v, '}') << (16 * k);
            m.backslash |= bits(v, '\\') << (16 * k);
        }
        return m;
    }
#endif
    const std::size_t n = from < t.size() ? std::min(kPiece, t.size() - from) : 0;
    for (std::size_t k = 0; k < n; ++k) {
        m.open |= static_cast<std::uint64_t>(p[k] == '{') << k;
        m.close |= static_cast<std::uint64_t>(p[k] == '}') << k;
        m.backslash |= static_cast<std::uint64_t>(p[k] == '\\') << k;
    }
    return m;
}

// The unescaped braces of a text in order, from a position on.
class BraceScanner {
public:
    BraceScanner(std::string_view t, std::size_t from) : t_(t), piece_(from), mask_(braces(from)) {}

    // The position of the next unescaped brace, npos after the last.
    std::size_t next() {
        for (;;) {
            while (mask_ == 0) {
                piece_ += kPiece;
                if (piece_ >= t_.size()) return std::string_view::npos;
                mask_ = braces(piece_);
            }
            const std::size_t i = piece_ + static_cast<std::size_t>(std::countr_zero(mask_));
            mask_ &= mask_ - 1;
            if (!escaped(t_, i)) return i;
        }
    }

private:
    std::uint64_t braces(std::size_t from) const {
        const Piece m = pieceAt(t_, from);
        return m.open | m.close;
    }

    std::string_view t_;
    std::size_t piece_;   // where the piece of the mask begins
    std::uint64_t mask_;  // the braces of that piece not yet returned
};

// The number of bits set in a piece's mask (std::popcount is a library call
// on processors that may lack the instruction).
int bitCount(std::uint64_t m) {
    m = m - ((m >> 1) & 0x5555555555555555u);
    m = (m & 0x3333333333333333u) + ((m >> 2) & 0x3333333333333333u);
    m = (m + (m >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<int>((m * 0x0101010101010101u) >> 56);
}

// Whether the unescaped braces of a text pair up, each closing an open group,
// and there is one at least: whole pieces are counted at once, and a piece is
// gone through brace by brace only where a brace follows a backslash or the
// depth could fall below zero in it.
bool bracesPairUp(std::string_view t) {
    std::ptrdiff_t depth = 0;
    bool any = false;
    std::uint64_t backslashBefore = 0;  // the last byte of the piece before is a backslash
    for (std::size_t at = 0; at < t.size(); at += kPiece) {
        Piece m = pieceAt(t, at);
        const std::uint64_t afterBackslash = (m.backslash << 1) | backslashBefore;
        backslashBefore = (m.backslash >> (kPiece - 1)) & 1;
        for (std::uint64_t q = (m.open | m.close) & afterBackslash; q != 0; q &= q - 1) {
            const int k = std::countr_zero(q);
            if (escaped(t, at + static_cast<std::size_t>(k))) {
                m.open &= ~(std::uint64_t{1} << k);
                m.close &= ~(std::uint64_t{1} << k);
            }
        }
        const int closes = bitCount(m.close);
        any |= (m.open | m.close) != 0;
        if (depth >= closes) {
            depth += bitCount(m.open) - closes;
            continue;
        }
        for (std::uint64_t q = m.open | m.close; q != 0; q &= q - 1) {
            depth += (m.open >> std::countr_zero(q)) & 1 ? 1 : -1;
            if (depth < 0) return false;
        }
    }
    return any && depth == 0;
}

// Whether the text before `end` is a control word ("\\word" or "\\word-12"),
// whose backslash is not itself escaped.
bool endsControlWord(std::string_view t, std::size_t end) {
    std::size_t i = end;
    while (i > 0 && IsDigit(t[i - 1])) --i;
    if (i > 0 && t[i - 1] == '-' && i < end) --i;
    const std::size_t lettersEnd = i;
    while (i > 0 && IsLetter(t[i - 1])) --i;
    if (i == lettersEnd || i == 0 || t[i - 1] != '\\') return false;
    return !escaped(t, i - 1);
}

// A few characters of the text from pos, for a message: UTF-8, line breaks as blanks.
std::string excerpt(std::string_view t, std::size_t pos) {
    std::string s = ansiToUtf8(t.substr(pos, 24));
    for (char& c : s)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return pos + 24 < t.size() ? s + "..." : s;
}

// Unescaped braces must pair up, each closing brace closing an open group;
// the error says where they do not (counted in characters of the text read,
// which has no CR LF pairs).
void checkBraces(std::string_view t) {
    if (bracesPairUp(t)) return;  // the common case, with no positions kept for a message

    std::vector<std::size_t> open;
    std::size_t opened = 0, closed = 0;
    std::size_t stray = std::string_view::npos;  // the first brace that closes no group
    std::size_t lastClosed = std::string_view::npos;  // the group the last brace closed
    BraceScanner braces(t, 0);
    for (std::size_t i = braces.next(); i != std::string_view::npos; i = braces.next()) {
        if (t[i] == '{') {
            ++opened;
            open.push_back(i);
        } else {
            ++closed;
            if (!open.empty()) {
                lastClosed = open.back();
                open.pop_back();
            } else if (stray == std::string_view::npos) {
                stray = i;
            }
        }
    }
    if (opened > 0 && open.empty() && stray == std::string_view::npos) return;
    std::string where;
    if (opened == 0) {
        where = "The text holds no group.";
    } else {
        where = "Its braces do not balance (opening " + std::to_string(opened) + ", closing " + std::to_string(closed) +
                "; characters counted without line breaks): ";
        if (stray != std::string_view::npos)
            where += "the closing brace at character " + std::to_string(stray + 1) + " (\"" + excerpt(t, stray) +
                     "\") closes no group.";
        else
            where += "the group opened at character " + std::to_string(open.back() + 1) + " (\"" +
                     excerpt(t, open.back()) + "\") is never closed";
        // When that is the document's own group, a brace is missing inside it:
        // the last brace closes the group that most likely lacks its own.
        if (stray == std::string_view::npos && open.size() == 1 && lastClosed != std::string_view::npos)
            where += "; the last brace closes the group opened at character " + std::to_string(lastClosed + 1) +
                     " (\"" + excerpt(t, lastClosed) + "\")";
        if (stray == std::string_view::npos) where += '.';
    }
    RaiseError(msg::CannotInterpretRtf, OwnError(msg::CannotInterpretRtf).Description + " " + where);
}

} // namespace

std::int32_t RtfInterpreter::GetElementPosition(std::int32_t i) const {
    if (i < 0 || i >= NbElement()) throwRuntimeError(err::SubscriptOutOfRange);
    return elements_[static_cast<std::size_t>(i)].position;
}

std::int32_t RtfInterpreter::GetElementType(std::int32_t i) const {
    if (i < 0 || i >= NbElement()) throwRuntimeError(err::SubscriptOutOfRange);
    return elements_[static_cast<std::size_t>(i)].type;
}

const std::string& RtfInterpreter::GetRtfCode(std::int32_t i) const {
    if (i < 0 || i >= NbRtfPureElement()) throwRuntimeError(err::SubscriptOutOfRange);
    return runs_[static_cast<std::size_t>(i)];
}

const ExpressionRecord& RtfInterpreter::expression(std::int32_t i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= expressions_.size())
        throwRuntimeError(err::SubscriptOutOfRange);
    return expressions_[static_cast<std::size_t>(i)];
}

const StatementRecord& RtfInterpreter::statement(std::int32_t i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= statements_.size())
        throwRuntimeError(err::SubscriptOutOfRange);
    return statements_[static_cast<std::size_t>(i)];
}

void RtfInterpreter::ParseRtfTemplate() {
    Handled(kModule, "ParseRtfTemplate", kErrLog | kErrRaise, [&] {
        const std::string text = ReadAllFile(templateFile_);
        ExtractRTFAndQzFields(text);
    });
}

std::string RtfInterpreter::ReadAllFile(const std::string& path) {
    return Handled(kModule, "ReadAllFile", kErrLog | kErrRaise, [&] {
        // The file and its text without CR LF count against the memory
        // ceiling before either is read.
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        if (!ec && memory::wouldPass(static_cast<std::int64_t>(size) * 2)) {
            AutomationError e = runtimeError(err::OutOfMemory);
            e.Description += ": the template is larger than the memory ceiling allows";
            throw e;
        }
        const std::string bytes = readWholeFile(path);
        if (bytes.compare(0, 5, "{\\rtf") != 0) raiseOwnError(msg::NoValidInputFile);
        // CR LF pairs are no part of RTF's meaning, so they go; single CR or
        // LF stay. A pair can still end a control word ("\par" CR LF "Num"):
        // there it becomes the blank that ends the word, or the word would be
        // glued to the next line's text and that text lost.
        std::string text;
        text.reserve(bytes.size());
        const std::size_t n = bytes.size();
        std::size_t last = 0;
        for (std::size_t p = bytes.find('\r'); p != std::string::npos; p = bytes.find('\r', p + 1)) {
            if (p + 1 < n && bytes[p + 1] == '\n') {
                text.append(bytes, last, p - last);
                if (endsControlWord(bytes, p)) text += ' ';
                last = p + 2;
                ++p;
            }
        }
        text.append(bytes, last, std::string::npos);
        return text;
    });
}

void RtfInterpreter::appendRun(std::string_view run) {
    runs_.emplace_back(run);
    elements_.push_back({kElementRtf, NbRtfPureElement() - 1});
    held_ += static_cast<std::int64_t>(sizeof(std::string) + sizeof(Element) + run.size());
}

// What the element lists hold counts against the memory ceiling as they
// grow: passing it stops the reading at the field at hand, named by its label.
void RtfInterpreter::countField(std::size_t bytes, const std::string& label) {
    held_ += static_cast<std::int64_t>(bytes + sizeof(Element));
    tally_.set(held_);
    if (memory::wouldPass(0)) {
        AutomationError e = runtimeError(err::OutOfMemory);
        e.Description += ": the template grew past the memory ceiling while reading field \"" + label + "\" (field " +
                         std::to_string(statements_.size() + expressions_.size()) + ")";
        throw e;
    }
}

void RtfInterpreter::ExtractRTFAndQzFields(std::string_view t) {
    Handled(kModule, "ExtractRTFAndQzFields", kErrLog | kErrRaise, [&] {
        elements_.clear();
        runs_.clear();
        statements_.clear();
        expressions_.clear();
        held_ = 0;

        checkBraces(t);

        std::size_t lastEnd = 0;  // first character not yet consumed by a field
        std::string plain;        // the plain text of the field group at hand
        FieldWalk walk;           // and its walk (both kept to reuse their storage)
        SkippedGroups skipped;
        for (std::size_t p = t.find("\\field"); p != std::string_view::npos;) {
            const std::size_t s = t.rfind('{', p);
            if (s == std::string_view::npos) raiseOwnError(msg::CannotInterpretRtf);
            const OnePass one = readInOnePass(t.substr(s), plain, walk, skipped);
            std::size_t e;  // the group's closing brace
            if (one.read) {
                e = s + one.size - 1;
            } else {
                BraceScanner braces(t, s + 1);
                for (int depth = 1;;) {
                    e = braces.next();
                    // A group that never closes ends the walk at the end of the text.
                    if (e == std::string_view::npos) raiseOwnError(msg::CannotInterpretRtf);
                    depth += t[e] == '{' ? 1 : -1;
                    if (depth == 0) break;
                }
                Handled(kModule, "CleanRTFField", kErrLog | kErrRaise, [&] { readPlainText(t.substr(s, e - s + 1), plain); });
            }
            const std::string_view group = t.substr(s, e - s + 1);
            const bool isExpression = plain.find(kExpressionMacro) != std::string::npos;
            const bool isStatement = !isExpression && plain.find(kStatementMacro) != std::string::npos;
            // The walk made in the one pass serves when it read the field as
            // what it is; otherwise the field is read again on its own.
            const bool walked = one.read && one.walked && one.font == isExpression;
            if (isExpression || isStatement) {
                if (lastEnd < s) appendRun(t.substr(lastEnd, s - lastEnd));
                lastEnd = e + 1;
                if (isExpression) {
                    expressions_.push_back(
                        walked ? Handled(kModule, "ParseRTFExpressionCode", kErrLog | kErrRaise, [&] { return expressionRecord(walk); })
                               : ParseRTFExpressionCode(group));
                    elements_.push_back({kElementExpression,
                                         static_cast<std::int32_t>(expressions_.size()) - 1});
                    const ExpressionRecord& r = expressions_.back();
                    countField(sizeof r + r.Label.size() + r.Code.size() + r.Format.size() + r.Font.size(), r.Label);
                } else {
                    statements_.push_back(
                        walked ? Handled(kModule, "ParseRTFStatementCode", kErrLog | kErrRaise, [&] { return statementRecord(walk); })
                               : ParseRTFStatementCode(group));
                    elements_.push_back({kElementStatement,
                                         static_cast<std::int32_t>(statements_.size()) - 1});
                    const StatementRecord& r = statements_.back();
                    countField(sizeof r + r.Label.size() + r.Code.size(), r.Label);
                }
            }
            // The group may close before the word that led to it ("{}\\field"):
            // the search goes on after both, so that it always moves forward.
            p = t.find("\\field", std::max(e, p) + 1);
        }
        if (lastEnd < t.size()) appendRun(t.substr(lastEnd));
    });
}

std::string RtfInterpreter::CleanRTFField(std::string_view group) {
    return Handled(kModule, "CleanRTFField", kErrLog | kErrRaise, [&] {
        std::string plain;
        readPlainText(group, plain);
        return plain;
    });
}

StatementRecord RtfInterpreter::ParseRTFStatementCode(std::string_view group) {
    return Handled(kModule, "ParseRTFStatementCode", kErrLog | kErrRaise, [&] {
        FieldWalk w = walkField(group, false);
        return statementRecord(w);
    });
}

ExpressionRecord RtfInterpreter::ParseRTFExpressionCode(std::string_view group) {
    return Handled(kModule, "ParseRTFExpressionCode", kErrLog | kErrRaise, [&] {
        FieldWalk w = walkField(group, true);
        return expressionRecord(w);
    });
}

} // namespace qz::production
