#include "production/RtfInterpreter.h"

#include "production/Errors.h"
#include "production/TemplateFiles.h"
#include "platform/automation/Text.h"
#include "platform/system/CodePage.h"
#include "resources/MessageIds.h"

#include <algorithm>

namespace qz::production {

namespace {

constexpr const char* kModule = "RtfInterpreter";

// Own error ids of the reader and of the record readers.

constexpr std::string_view kSectionSign = "\xC2\xA7";  // UTF-8 of the expression separator
constexpr std::string_view kLineBreakCode = "_QZCRLF";

enum TokenType { kOpen = 0, kClose = 1, kControlWord = 2, kControlSymbol = 3, kText = 4 };

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr char32_t kReplacement = 0xFFFD;  // for a \uN that names no character

// The RTF tokenizer over one buffer (a field group). Reading past the end of
// the buffer means the group ended before what the caller was looking for.
//
// Text tokens are UTF-8: bytes and \'hh escapes are Windows-1252 characters,
// \uN gives the character N (its fallback characters skipped, as many as the
// \ucN in force says). The section sign escaped in lower case ("\'a7") is also
// flagged as a separator, the one form that splits an expression payload; a
// sign reached any other way is plain text. Token texts are views into the
// buffer wherever the text stands there as it is; decoded characters and
// upper-case control words use the tokenizer's own storage.
class Tokenizer {
public:
    explicit Tokenizer(std::string_view buffer) : buf_(buffer) {}

    int type() const { return type_; }
    std::string_view text() const { return text_; }
    // The current token is the section sign written "\'a7".
    bool separator() const { return separator_; }

    // A token "named" x: its text without surrounding blanks equals x.
    bool named(std::string_view x) const { return trimSpaces(text_) == x; }

    void next() {
        // Line breaks in RTF only end control words; they are never text.
        while (pos_ < buf_.size() && (buf_[pos_] == '\n' || buf_[pos_] == '\r')) ++pos_;
        if (pos_ >= buf_.size()) raiseOwnError(msg::CannotInterpretRtf);
        separator_ = false;
        const std::size_t start = pos_;
        const char c = buf_[pos_++];
        if (c == '{' || c == '}') {
            type_ = c == '{' ? kOpen : kClose;
            text_ = buf_.substr(start, 1);
            if (c == '{') {
                if (depth_ < kUcDepth) ucStack_[depth_] = uc_;
                ++depth_;
            } else if (depth_ > 0) {
                --depth_;
                if (depth_ < kUcDepth) uc_ = ucStack_[depth_];
            }
            return;
        }
        if (c != '\\') {
            type_ = kText;
            if (static_cast<unsigned char>(c) < 0x80) text_ = buf_.substr(start, 1);
            else setDecoded(sys::cp1252ToUnicode(static_cast<unsigned char>(c)));
            return;
        }
        if (pos_ >= buf_.size()) {
            type_ = kControlSymbol;
            text_ = buf_.substr(start, 1);
            return;
        }
        const char d = buf_[pos_++];
        if (isAsciiLetter(d)) {
            readControlWord(start);
            return;
        }
        if (d == '\\' || d == '{' || d == '}') {
            type_ = kText;
            text_ = buf_.substr(start + 1, 1);
            return;
        }
        if (d == '\'') {
            if (buf_.size() - pos_ < 2) raiseOwnError(msg::CannotInterpretRtf);
            const char h1 = buf_[pos_], h2 = buf_[pos_ + 1];
            pos_ += 2;
            const int hi = hexValue(h1), lo = hexValue(h2);
            if (hi < 0 || lo < 0) raiseOwnError(msg::CannotInterpretRtf);
            type_ = kText;
            separator_ = h1 == 'a' && h2 == '7';
            setDecoded(sys::cp1252ToUnicode(static_cast<unsigned char>(hi * 16 + lo)));
            return;
        }
        type_ = kControlSymbol;
        text_ = buf_.substr(start, 2);
    }

    // Reads tokens until one named x (which becomes the current token).
    void until(std::string_view x) {
        do next(); while (!named(x));
    }

    // After the token that opened a group: reads to the end of that group.
    void skipGroup() {
        int depth = 1;
        while (depth > 0) {
            next();
            if (type_ == kOpen) ++depth;
            else if (type_ == kClose) --depth;
        }
    }

private:
    // \uc scopes are kept for this many nested groups; deeper ones share the
    // value of the innermost kept group.
    static constexpr int kUcDepth = 32;

    // The end of the control word whose letters start at p: letters, digits
    // and "-", plus the blank that ends it.
    std::size_t wordEnd(std::size_t p) const {
        while (p < buf_.size() && (isAsciiLetter(buf_[p]) || isDigit(buf_[p]) || buf_[p] == '-')) ++p;
        if (p < buf_.size() && buf_[p] == ' ') ++p;
        return p;
    }

    // The parameter of a control word "\<letter><number>", with `letters` the
    // word's name in lower case; false when the word is another one. The
    // value is clamped far outside every meaningful range.
    static bool wordParameter(std::string_view word, std::string_view letters, long& value) {
        if (word.size() <= letters.size() + 1) return false;
        for (std::size_t i = 0; i < letters.size(); ++i)
            if ((word[i + 1] | 0x20) != letters[i]) return false;
        std::size_t i = letters.size() + 1;
        const bool negative = word[i] == '-';
        if (negative) ++i;
        if (i >= word.size() || !isDigit(word[i])) return false;
        value = 0;
        for (; i < word.size() && isDigit(word[i]); ++i)
            if (value < 10'000'000) value = value * 10 + (word[i] - '0');
        if (i < word.size() && word[i] != ' ') return false;
        if (negative) value = -value;
        return true;
    }

    void readControlWord(std::size_t start) {
        pos_ = wordEnd(pos_);
        text_ = buf_.substr(start, pos_ - start);
        long n = 0;
        if (wordParameter(text_, "u", n)) {
            readUnicode(n);
            return;
        }
        if (wordParameter(text_, "uc", n)) uc_ = static_cast<int>(std::clamp(n, 0L, 255L));
        type_ = kControlWord;
        bool hasUpper = false;
        for (char x : text_) hasUpper = hasUpper || (x >= 'A' && x <= 'Z');
        if (hasUpper) {
            own_.assign(text_);
            for (char& x : own_) x = toLowerAscii(x);
            text_ = own_;
        }
    }

    // The 16-bit unit of a \uN parameter (negative N counts from 65536); -1
    // when N lies outside the 16-bit range.
    static long unitOf(long n) {
        if (n < -32768 || n > 65535) return -1;
        return n < 0 ? n + 65536 : n;
    }

    // \uN: the character N, then its fallback characters are skipped. A high
    // surrogate joins the low surrogate of a \uN that follows at once; a
    // surrogate left alone becomes U+FFFD.
    void readUnicode(long n) {
        type_ = kText;
        skipFallback();
        const long unit = unitOf(n);
        char32_t cp = unit >= 0 ? static_cast<char32_t>(unit) : kReplacement;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            long low = -1;
            const std::size_t save = pos_;
            if (buf_.size() - pos_ > 2 && buf_[pos_] == '\\' && isAsciiLetter(buf_[pos_ + 1])) {
                const std::size_t end = wordEnd(pos_ + 1);
                long m = 0;
                if (wordParameter(buf_.substr(pos_, end - pos_), "u", m)) {
                    low = unitOf(m);
                    pos_ = end;
                }
            }
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + static_cast<char32_t>(low - 0xDC00);
                skipFallback();
            } else {
                cp = kReplacement;
                pos_ = save;
            }
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        setDecoded(cp);
    }

    // Skips the fallback characters of a \uN: each is one character, one
    // escape or one control word or symbol; a brace ends them early.
    void skipFallback() {
        for (int k = 0; k < uc_ && pos_ < buf_.size(); ++k) {
            const char c = buf_[pos_];
            if (c == '{' || c == '}') return;
            if (c != '\\' || pos_ + 1 >= buf_.size()) {
                ++pos_;
                continue;
            }
            const char d = buf_[pos_ + 1];
            if (d == '\'') pos_ = std::min(buf_.size(), pos_ + 4);
            else if (isAsciiLetter(d)) pos_ = wordEnd(pos_ + 1);
            else pos_ += 2;
        }
    }

    // A decoded character: at most four bytes, so the string never allocates.
    void setDecoded(char32_t cp) {
        own_.clear();
        appendUtf8(own_, cp);
        text_ = own_;
    }

    std::string_view buf_;
    std::size_t pos_ = 0;
    int type_ = kText;
    bool separator_ = false;
    std::string_view text_;
    std::string own_;  // a lower-cased control word or a decoded character
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
};

FieldWalk walkField(std::string_view group, bool readFont) {
    FieldWalk w;
    Tokenizer t(group);
    t.until("\\fldinst");   // the outer field's instruction
    t.until("\\field");     // the opening delimiter's nested field
    t.skipGroup();
    for (;;) {              // the label, up to the closing delimiter's field
        t.next();
        if (t.named("\\field")) break;
        if (t.type() == kText) w.label += t.text();
    }
    t.skipGroup();
    t.until("\\fldinst");   // the SET field's instruction
    if (readFont) {
        do t.next(); while (t.type() == kOpen);
        if (t.type() != kControlWord) t.next();
        while (t.type() == kControlWord) {
            w.font += t.text();
            t.next();
        }
    }
    while (!t.named("\\fldrslt")) {
        if (t.type() == kControlWord) {
            if (t.named("\\par")) {
                w.instruction += "\r\n";
            } else if (t.named("\\listtext") || t.named("\\pntext") || t.named("\\pn")) {
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
    return w;
}

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

// The position of the next brace at or after pos, npos when none.
std::size_t nextBrace(std::string_view t, std::size_t pos) {
    const char* p = t.data();
    for (std::size_t i = pos, n = t.size(); i < n; ++i)
        if (p[i] == '{' || p[i] == '}') return i;
    return std::string_view::npos;
}

// Whether the character at i is escaped: preceded by an odd number of
// backslashes ("\\{" is an escaped backslash and then a real brace).
bool escaped(std::string_view t, std::size_t i) {
    std::size_t n = 0;
    while (n < i && t[i - 1 - n] == '\\') ++n;
    return n % 2 == 1;
}

// Whether the text before `end` is a control word ("\\word" or "\\word-12"),
// whose backslash is not itself escaped.
bool endsControlWord(std::string_view t, std::size_t end) {
    std::size_t i = end;
    while (i > 0 && isDigit(t[i - 1])) --i;
    if (i > 0 && t[i - 1] == '-' && i < end) --i;
    const std::size_t lettersEnd = i;
    while (i > 0 && isAsciiLetter(t[i - 1])) --i;
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
    std::vector<std::size_t> open;
    std::size_t opened = 0, closed = 0;
    std::size_t stray = std::string_view::npos;  // the first brace that closes no group
    std::size_t lastClosed = std::string_view::npos;  // the group the last brace closed
    for (std::size_t i = nextBrace(t, 0); i != std::string_view::npos; i = nextBrace(t, i + 1)) {
        if (escaped(t, i)) continue;
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
    guarded(kModule, "ParseRtfTemplate", [&] {
        const std::string text = ReadAllFile(templateFile_);
        ExtractRTFAndQzFields(text);
    });
}

std::string RtfInterpreter::ReadAllFile(const std::string& path) {
    return guarded(kModule, "ReadAllFile", [&] {
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
}

void RtfInterpreter::ExtractRTFAndQzFields(std::string_view t) {
    guarded(kModule, "ExtractRTFAndQzFields", [&] {
        elements_.clear();
        runs_.clear();
        statements_.clear();
        expressions_.clear();

        checkBraces(t);

        std::size_t lastEnd = 0;  // first character not yet consumed by a field
        for (std::size_t p = t.find("\\field"); p != std::string_view::npos;) {
            const std::size_t s = t.rfind('{', p);
            if (s == std::string_view::npos) raiseOwnError(msg::CannotInterpretRtf);
            std::size_t e = s + 1;
            for (int depth = 1;; ++e) {
                e = nextBrace(t, e);
                // A group that never closes ends the walk at the end of the text.
                if (e == std::string_view::npos) raiseOwnError(msg::CannotInterpretRtf);
                if (escaped(t, e)) continue;
                depth += t[e] == '{' ? 1 : -1;
                if (depth == 0) break;
            }
            const std::string_view group = t.substr(s, e - s + 1);
            const std::string plain = CleanRTFField(group);
            const bool isExpression = plain.find("modExpressionMacro") != std::string::npos;
            const bool isStatement =
                !isExpression && plain.find("modStatementMacro") != std::string::npos;
            if (isExpression || isStatement) {
                if (lastEnd < s) appendRun(t.substr(lastEnd, s - lastEnd));
                lastEnd = e + 1;
                if (isExpression) {
                    expressions_.push_back(ParseRTFExpressionCode(group));
                    elements_.push_back({kElementExpression,
                                         static_cast<std::int32_t>(expressions_.size()) - 1});
                } else {
                    statements_.push_back(ParseRTFStatementCode(group));
                    elements_.push_back({kElementStatement,
                                         static_cast<std::int32_t>(statements_.size()) - 1});
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
    return guarded(kModule, "CleanRTFField", [&] {
        std::string plain;
        Tokenizer t(group);
        t.next();
        for (int depth = 1; depth > 0;) {
            t.next();
            if (t.type() == kOpen) ++depth;
            else if (t.type() == kClose) --depth;
            else if (t.type() == kText) plain += t.text();
        }
        return plain;
    });
}

StatementRecord RtfInterpreter::ParseRTFStatementCode(std::string_view group) {
    return guarded(kModule, "ParseRTFStatementCode", [&] {
        FieldWalk w = walkField(group, false);
        constexpr std::string_view name = "QZStatement377";
        const std::size_t at = w.instruction.find(name);
        if (at == std::string::npos) raiseOwnError(msg::EmptyStatement);
        StatementRecord r;
        r.Label = std::move(w.label);
        r.Code = decodeCode(trimSpaces(std::string_view(w.instruction).substr(at + name.size())));
        return r;
    });
}

ExpressionRecord RtfInterpreter::ParseRTFExpressionCode(std::string_view group) {
    return guarded(kModule, "ParseRTFExpressionCode", [&] {
        FieldWalk w = walkField(group, true);
        constexpr std::string_view name = "QZExpression377";
        const std::size_t at = w.instruction.find(name);
        if (at == std::string::npos) raiseOwnError(msg::EmptyExpression);
        const std::string_view all = w.instruction;
        const std::string_view rest = trimSpaces(all.substr(at + name.size()));
        const std::size_t restStart = static_cast<std::size_t>(rest.data() - all.data());

        // Only the last two separators split: the code may hold the sign
        // itself. A separator is never a blank, so both lie inside the rest
        // when they lie after its start.
        const std::size_t a = w.previousSeparator, b = w.lastSeparator;
        if (a == std::string::npos || a < restStart) raiseOwnError(msg::ExpressionFormatMissing);
        const std::size_t restEnd = restStart + rest.size();
        const std::string_view format = all.substr(a + kSectionSign.size(),
                                                   b - a - kSectionSign.size());
        if (format.empty()) raiseOwnError(msg::ExpressionFormatMissing);
        const std::string_view locale = all.substr(b + kSectionSign.size(),
                                                   restEnd - b - kSectionSign.size());
        if (locale.empty()) raiseOwnError(msg::ExpressionLocaleMissing);

        ExpressionRecord r;
        r.Label = std::move(w.label);
        r.Format = format;
        r.Code = decodeCode(all.substr(restStart, a - restStart));
        r.Font = std::move(w.font);
        r.Locale = convertToLong(locale);
        return r;
    });
}

} // namespace qz::production
