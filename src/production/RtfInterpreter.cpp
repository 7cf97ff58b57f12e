#include "production/RtfInterpreter.h"

#include "production/Errors.h"
#include "core/RandomFile.h"
#include "production/TemplateFiles.h"

#include <algorithm>

namespace qz::production {

namespace {

constexpr const char* kModule = "RtfInterpreter";

// Own error ids of the reader and of the record readers.
constexpr std::int32_t kErrNotRtf = 3003;
constexpr std::int32_t kErrBadRtf = 3112;
constexpr std::int32_t kErrExpressionEmpty = 4009;
constexpr std::int32_t kErrStatementEmpty = 4010;
constexpr std::int32_t kErrLocaleMissing = 4051;
constexpr std::int32_t kErrFormatMissing = 4052;

constexpr std::string_view kSeparator = "\\'a7";   // the section sign as the RTF escapes it
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


// The RTF tokenizer over one buffer (a field group). Reading past the end of
// the buffer means the group ended before what the caller was looking for.
// Token texts are views into the buffer wherever the text stands there as it
// is; only decoded characters and upper-case control words need own storage.
class Tokenizer {
public:
    explicit Tokenizer(std::string_view buffer) : buf_(buffer) {}

    int type() const { return type_; }
    std::string_view text() const { return text_; }

    // A token "named" x: its text without surrounding blanks equals x.
    bool named(std::string_view x) const { return TrimBlanks(text_) == x; }

    void next() {
        if (pos_ >= buf_.size()) raiseOwnError(kErrBadRtf);
        const std::size_t start = pos_;
        const char c = buf_[pos_++];
        if (c == '{' || c == '}') {
            type_ = c == '{' ? kOpen : kClose;
            text_ = buf_.substr(start, 1);
            return;
        }
        if (c != '\\') {
            type_ = kText;
            text_ = buf_.substr(start, 1);
            return;
        }
        if (pos_ >= buf_.size()) {
            type_ = kControlSymbol;
            text_ = buf_.substr(start, 1);
            return;
        }
        const char d = buf_[pos_++];
        if (isAsciiLetter(d)) {
            type_ = kControlWord;
            bool hasUpper = d >= 'A' && d <= 'Z';
            while (pos_ < buf_.size()) {
                const char e = buf_[pos_];
                if (isAsciiLetter(e) || isDigit(e) || e == '-') {
                    hasUpper = hasUpper || (e >= 'A' && e <= 'Z');
                    ++pos_;
                    continue;
                }
                if (e == ' ') ++pos_;  // the blank delimiter belongs to the word
                break;                 // any other delimiter stays for the next token
            }
            text_ = buf_.substr(start, pos_ - start);
            if (hasUpper) {
                own_.assign(text_);
                for (char& x : own_)
                    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
                text_ = own_;
            }
            return;
        }
        if (d == '\\' || d == '{' || d == '}') {
            type_ = kText;
            text_ = buf_.substr(start + 1, 1);
            return;
        }
        if (d == '\'') {
            if (buf_.size() - pos_ < 2) raiseOwnError(kErrBadRtf);
            const char h1 = buf_[pos_], h2 = buf_[pos_ + 1];
            pos_ += 2;
            type_ = kText;
            if ((h1 == 'a' || h1 == 'A') && h2 == '7') {
                // The section sign stays escaped: it is the separator of expression payloads.
                text_ = buf_.substr(start, 4);
                return;
            }
            const int hi = hexValue(h1), lo = hexValue(h2);
            if (hi < 0 || lo < 0) raiseOwnError(kErrBadRtf);
            decoded_ = static_cast<char>(hi * 16 + lo);
            text_ = std::string_view(&decoded_, 1);
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
    std::string_view buf_;
    std::size_t pos_ = 0;
    int type_ = kText;
    std::string_view text_;
    std::string own_;
    char decoded_ = 0;
};

// The walk shared by both record readers: label, then (for expressions) the
// font, then the SET field's instruction text up to its result.
struct FieldWalk {
    std::string label;
    std::string font;
    std::string instruction;
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
    return ansiToUtf8(code);
}

// The position of the next brace at or after pos, npos when none.
std::size_t nextBrace(std::string_view t, std::size_t pos) {
    const char* p = t.data();
    for (std::size_t i = pos, n = t.size(); i < n; ++i)
        if (p[i] == '{' || p[i] == '}') return i;
    return std::string_view::npos;
}

// Whether the character at i is escaped by a backslash before it.
bool escaped(std::string_view t, std::size_t i) { return i > 0 && t[i - 1] == '\\'; }

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
        RandomFile file;
        file.OpenInputFile(path, false);
        if (file.ReadBytes(5) != "{\\rtf") raiseOwnError(kErrNotRtf);
        const std::string bytes = file.ReadAllBytes();
        file.CloseFile();
        // CR LF pairs are no part of RTF's meaning; single CR or LF stay.
        std::string text;
        text.reserve(bytes.size());
        const std::size_t n = bytes.size();
        std::size_t last = 0;
        for (std::size_t p = bytes.find('\r'); p != std::string::npos; p = bytes.find('\r', p + 1)) {
            if (p + 1 < n && bytes[p + 1] == '\n') {
                text.append(bytes, last, p - last);
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

        // Brace check: unescaped opening and closing braces must balance.
        std::size_t opened = 0, closed = 0;
        for (std::size_t i = nextBrace(t, 0); i != std::string_view::npos; i = nextBrace(t, i + 1)) {
            if (escaped(t, i)) continue;
            if (t[i] == '{') ++opened; else ++closed;
        }
        if (opened != closed || opened == 0) raiseOwnError(kErrBadRtf);

        std::size_t lastEnd = 0;  // first character not yet consumed by a field
        for (std::size_t p = t.find("\\field"); p != std::string_view::npos;) {
            const std::size_t s = t.rfind('{', p);
            if (s == std::string_view::npos) raiseOwnError(kErrBadRtf);
            std::size_t e = s + 1;
            for (int depth = 1;; ++e) {
                e = nextBrace(t, e);
                // A group that never closes ends the walk at the end of the text.
                if (e == std::string_view::npos) raiseOwnError(kErrBadRtf);
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
            p = t.find("\\field", e + 1);
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
        if (at == std::string::npos) raiseOwnError(kErrStatementEmpty);
        StatementRecord r;
        r.Label = ansiToUtf8(w.label);
        r.Code = decodeCode(TrimBlanks(std::string_view(w.instruction).substr(at + name.size())));
        return r;
    });
}

ExpressionRecord RtfInterpreter::ParseRTFExpressionCode(std::string_view group) {
    return guarded(kModule, "ParseRTFExpressionCode", [&] {
        FieldWalk w = walkField(group, true);
        constexpr std::string_view name = "QZExpression377";
        const std::size_t at = w.instruction.find(name);
        if (at == std::string::npos) raiseOwnError(kErrExpressionEmpty);
        const std::string_view rest =
            TrimBlanks(std::string_view(w.instruction).substr(at + name.size()));

        // Only the last two separators split: the code may hold the sign itself.
        const std::size_t b = rest.rfind(kSeparator);
        if (b == std::string_view::npos || b == 0) raiseOwnError(kErrFormatMissing);
        const std::size_t a = rest.rfind(kSeparator, b - 1);
        if (a == std::string_view::npos) raiseOwnError(kErrFormatMissing);
        // Separators cannot overlap ("\'a7" has no repeated prefix), so b >= a + 4.
        const std::string_view format = rest.substr(a + kSeparator.size(),
                                                    b - a - kSeparator.size());
        if (format.empty()) raiseOwnError(kErrFormatMissing);
        const std::string_view locale = rest.substr(b + kSeparator.size());
        if (locale.empty()) raiseOwnError(kErrLocaleMissing);

        ExpressionRecord r;
        r.Label = ansiToUtf8(w.label);
        r.Format = ansiToUtf8(format);
        r.Code = decodeCode(rest.substr(0, a));
        r.Font = ansiToUtf8(w.font);
        r.Locale = convertToLong(ansiToUtf8(locale));
        return r;
    });
}

} // namespace qz::production
