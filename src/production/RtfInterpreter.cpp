#include "production/RtfInterpreter.h"

#include "production/Errors.h"
#include "production/TemplateFiles.h"
#include "platform/automation/Text.h"
#include "platform/system/CodePage.h"
#include "platform/word/RtfLexer.h"
#include "resources/MessageIds.h"

#include <algorithm>

namespace qz::production {

namespace {

constexpr const char* kModule = "RtfInterpreter";

// Own error ids of the reader and of the record readers.

constexpr std::string_view kSectionSign = "\xC2\xA7";  // UTF-8 of the expression separator
constexpr std::string_view kLineBreakCode = "_QZCRLF";

enum TokenType { kOpen = 0, kClose = 1, kControlWord = 2, kControlSymbol = 3, kText = 4 };

using rtf::IsDigit;
using rtf::IsLetter;

constexpr char32_t kReplacement = 0xFFFD;  // for a \uN that names no character

// The template reader's view of the shared RTF tokenizer, over one buffer (a
// field group). Reading past the end of the buffer, or a malformed \'
// escape, means the group is not what the caller was looking for: 3112.
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
    explicit Tokenizer(std::string_view buffer) : lex_(buffer) {}

    int type() const { return type_; }
    std::string_view text() const { return text_; }
    // The current token is the section sign written "\'a7".
    bool separator() const { return separator_; }

    // A token "named" x: its text without surrounding blanks equals x.
    bool named(std::string_view x) const { return trimSpaces(text_) == x; }

    void next() {
        separator_ = false;
        if (const char* c = lex_.NextPlainAscii()) {
            type_ = kText;
            text_ = std::string_view(c, 1);
            return;
        }
        nextToken();
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

    // Every token but a plain ASCII byte (kept out of line: next() stays small).
    [[gnu::noinline]] void nextToken() {
        rtf::Token& t = token_;
        lex_.Next(t);
        const std::string_view span(t.start, static_cast<std::size_t>(t.end - t.start));
        if (t.type == rtf::Token::Byte) {
            type_ = kText;
            if (t.escaped) {
                separator_ = span == "\\'a7";
                setDecoded(sys::cp1252ToUnicode(t.byte));
            } else if (t.byte < 0x80) {
                text_ = span.substr(span.size() - 1);  // the character itself, also of \\ \{ \}
            } else {
                setDecoded(sys::cp1252ToUnicode(t.byte));
            }
        } else if (t.type == rtf::Token::Word) {
            readControlWord(t, span);
        } else if (t.type == rtf::Token::Open) {
            type_ = kOpen;
            text_ = span;
            if (depth_ < kUcDepth) ucStack_[depth_] = uc_;
            ++depth_;
        } else if (t.type == rtf::Token::Close) {
            type_ = kClose;
            text_ = span;
            if (depth_ > 0) {
                --depth_;
                if (depth_ < kUcDepth) uc_ = ucStack_[depth_];
            }
        } else if (t.type == rtf::Token::Symbol) {
            type_ = kControlSymbol;
            text_ = span;
        } else {  // the end of the buffer, or a malformed \' escape
            raiseOwnError(msg::CannotInterpretRtf);
        }
    }

    void readControlWord(const rtf::Token& t, std::string_view span) {
        if (t.name == "u" && t.hasParam) {
            readUnicode(t.param);
            return;
        }
        if (t.name == "uc" && t.hasParam) uc_ = std::clamp(t.param, 0, 255);
        type_ = kControlWord;
        text_ = span;
        if (span.size() > 1 && (span[1] == '\r' || span[1] == '\n')) {  // "\" and a line break
            text_ = "\\par";
            return;
        }
        if (std::any_of(span.begin(), span.end(), [](char x) { return x >= 'A' && x <= 'Z'; })) {
            own_.assign(span);
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
            const char* save = lex_.Position();
            const rtf::Token low = lex_.Next();
            const long lowUnit = low.type == rtf::Token::Word && low.name == "u" && low.hasParam ? unitOf(low.param) : -1;
            if (lowUnit >= 0xDC00 && lowUnit <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + static_cast<char32_t>(lowUnit - 0xDC00);
                skipFallback();
            } else {
                cp = kReplacement;
                lex_.Seek(save);
            }
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        setDecoded(cp);
    }

    // Skips the fallback characters of a \uN: each is one token (a character,
    // an escape, a control word or symbol); a brace ends them early.
    void skipFallback() {
        for (int k = 0; k < uc_; ++k) {
            const char* save = lex_.Position();
            const rtf::Token t = lex_.Next();
            if (t.type == rtf::Token::Open || t.type == rtf::Token::Close || t.type == rtf::Token::End) {
                lex_.Seek(save);
                return;
            }
        }
    }

    // A decoded character: at most four bytes, so the string never allocates.
    void setDecoded(char32_t cp) {
        own_.clear();
        appendUtf8(own_, cp);
        text_ = own_;
    }

    rtf::Lexer lex_;
    rtf::Token token_;
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
