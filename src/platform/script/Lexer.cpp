#include "platform/script/Lexer.h"

#include "platform/automation/DecimalText.h"
#include "platform/automation/ErrorTexts.h"
#include "platform/script/runtime/ScriptErrors.h"

#include <cmath>
#include <utility>
#include <unordered_map>

namespace qz::script {

namespace {

struct KwEntry { const char* name; Kw kw; };
constexpr KwEntry kKeywords[] = {
    {"and", kwAnd}, {"byref", kwByRef}, {"byval", kwByVal}, {"call", kwCall}, {"case", kwCase},
    {"class", kwClass}, {"const", kwConst}, {"default", kwDefault}, {"dim", kwDim}, {"do", kwDo},
    {"each", kwEach}, {"else", kwElse}, {"elseif", kwElseIf}, {"empty", kwEmpty}, {"end", kwEnd},
    {"eqv", kwEqv}, {"erase", kwErase}, {"error", kwError}, {"exit", kwExit},
    {"explicit", kwExplicit}, {"false", kwFalse}, {"for", kwFor}, {"function", kwFunction},
    {"get", kwGet}, {"goto", kwGoTo}, {"if", kwIf}, {"imp", kwImp}, {"in", kwIn}, {"is", kwIs},
    {"let", kwLet}, {"loop", kwLoop}, {"me", kwMe}, {"mod", kwMod}, {"new", kwNew},
    {"next", kwNext}, {"not", kwNot}, {"nothing", kwNothing}, {"null", kwNull}, {"on", kwOn},
    {"option", kwOption}, {"or", kwOr}, {"preserve", kwPreserve}, {"private", kwPrivate},
    {"property", kwProperty}, {"public", kwPublic}, {"redim", kwRedim}, {"rem", kwRem},
    {"resume", kwResume}, {"select", kwSelect}, {"set", kwSet}, {"step", kwStep},
    {"stop", kwStop}, {"sub", kwSub}, {"then", kwThen}, {"to", kwTo}, {"true", kwTrue},
    {"until", kwUntil}, {"wend", kwWend}, {"while", kwWhile}, {"with", kwWith}, {"xor", kwXor},
};

const std::unordered_map<std::u16string, Kw>& keywordMap() {
    static const std::unordered_map<std::u16string, Kw> map = [] {
        std::unordered_map<std::u16string, Kw> m;
        for (const auto& e : kKeywords) {
            std::u16string s;
            for (const char* p = e.name; *p; ++p) s.push_back(static_cast<char16_t>(*p));
            m.emplace(std::move(s), e.kw);
        }
        return m;
    }();
    return map;
}

bool isIdentStart(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}
bool isIdentChar(char16_t c) { return isIdentStart(c) || (c >= u'0' && c <= u'9') || c == u'_'; }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0 || c == 0xFEFF; }

} // namespace

std::u16string foldName(std::u16string_view name) {
    std::u16string s(name);
    for (auto& c : s) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 32;
    }
    return s;
}

Kw keywordOf(std::u16string_view name) {
    if (name.size() > 8 || name.size() < 2) return kwNone;
    auto it = keywordMap().find(foldName(name));
    return it == keywordMap().end() ? kwNone : it->second;
}

const char* compileErrorText(std::int32_t n) {
    // The texts live in the one table of script error texts; a number it does
    // not know is reported as a syntax error.
    const std::string_view t = errorText(n);
    return t.empty() ? "Syntax error" : t.data();
}

bool parseDateLiteral(std::u16string_view t, double& out) {
    // Collect numbers and separators: date part (m/d/y or y-m-d), time part (h:m[:s] [AM|PM]).
    size_t i = 0;
    auto skip = [&] { while (i < t.size() && isBlank(t[i])) ++i; };
    auto num = [&](int& v) -> bool {
        if (i >= t.size() || !isDigit(t[i])) return false;
        long long x = 0;
        int digits = 0;
        while (i < t.size() && isDigit(t[i])) {
            x = x * 10 + (t[i++] - u'0');
            if (++digits > 9) return false;
        }
        v = static_cast<int>(x);
        return true;
    };
    bool haveDate = false, haveTime = false;
    int y = 1899, mo = 12, d = 30, h = 0, mi = 0, s = 0;
    skip();
    size_t save = i;
    int a, b, c;
    if (num(a) && i < t.size() && (t[i] == u'/' || t[i] == u'-')) {
        char16_t sep = t[i++];
        if (!num(b)) return false;
        if (i < t.size() && t[i] == sep) {
            ++i;
            if (!num(c)) return false;
            if (a > 31 || sep == u'-') { y = a; mo = b; d = c; }
            else { mo = a; d = b; y = c; }
            if (sep == u'-' && a <= 31) { mo = a; d = b; y = c; }
        } else {
            mo = a; d = b; y = 2000; // month/day of no year: not supported as literal year
            return false;
        }
        if (y < 30) y += 2000; else if (y < 100) y += 1900;
        // "31/1/2003": a first number that cannot be a month is the day.
        if (mo > 12 && d <= 12) std::swap(mo, d);
        haveDate = true;
    } else {
        i = save;
    }
    skip();
    if (i < t.size()) {
        if (!num(h)) return false;
        if (i < t.size() && t[i] == u':') {
            ++i;
            if (!num(mi)) return false;
            if (i < t.size() && t[i] == u':') { ++i; if (!num(s)) return false; }
        } else {
            // "3 PM" form
        }
        skip();
        if (i + 1 < t.size() && (t[i] == u'A' || t[i] == u'a' || t[i] == u'P' || t[i] == u'p') &&
            (t[i + 1] == u'M' || t[i + 1] == u'm')) {
            bool pm = t[i] == u'P' || t[i] == u'p';
            if (h < 1 || h > 12) return false;
            if (h == 12) h = 0;
            if (pm) h += 12;
            i += 2;
        }
        skip();
        if (i != t.size()) return false;
        haveTime = true;
    }
    if (!haveDate && !haveTime) return false;
    if (mo < 1 || mo > 12 || d < 1 || y < 100 || y > 9999 || h > 23 || mi > 59 || s > 59) return false;
    static const int mdays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > mdays[mo - 1] + (mo == 2 && leap ? 1 : 0)) return false;
    // Days from civil (proleptic Gregorian), then offset to 30 Dec 1899.
    auto daysFromCivil = [](long long yy, unsigned m, unsigned dd) {
        yy -= m <= 2;
        const long long era = (yy >= 0 ? yy : yy - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(yy - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + dd - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<long long>(doe) - 719468;
    };
    double days = haveDate ? static_cast<double>(daysFromCivil(y, mo, d) - daysFromCivil(1899, 12, 30)) : 0.0;
    double frac = (h * 3600 + mi * 60 + s) / 86400.0;
    // Before 1899-12-30 the time part counts away from zero, as stored dates do.
    out = days < 0 ? days - frac : days + frac;
    return true;
}

std::vector<Token> tokenize(std::u16string_view src) {
    std::vector<Token> out;
    // The tokens' room is asked of the memory ceiling before it is taken: a
    // long text given to ExecuteGlobal or Eval makes many.
    const std::size_t room = src.size() / 3 + 4;
    reserveMemory(static_cast<std::int64_t>(room * sizeof(Token)));
    out.reserve(room);
    std::int32_t line = 1;
    size_t lineStart = 0;
    size_t i = 0;
    const size_t n = src.size();
    bool space = true;
    auto col = [&](size_t at) { return static_cast<std::int32_t>(at - lineStart + 1); };
    auto fail = [&](std::int32_t num, size_t at) { throw CompileError{num, line, col(at)}; };
    auto push = [&](Tok t, size_t at) -> Token& {
        // A text of short tokens makes more than the room guessed: the room
        // it moves to, with the room it leaves, is asked of the ceiling too.
        if (out.size() == out.capacity())
            reserveMemory(static_cast<std::int64_t>(3 * out.capacity() * sizeof(Token)));
        Token& tk = out.emplace_back();
        tk.type = t;
        tk.line = line;
        tk.col = col(at);
        tk.spaceBefore = space;
        space = false;
        return tk;
    };
    auto newline = [&](size_t at) { push(Tok::Newline, at); };
    while (i < n) {
        char16_t c = src[i];
        if (isBlank(c)) { ++i; space = true; continue; }
        if (c == u'\r' || c == u'\n') {
            newline(i);
            if (c == u'\r' && i + 1 < n && src[i + 1] == u'\n') ++i;
            ++i;
            ++line;
            lineStart = i;
            space = true;
            continue;
        }
        if (c == u'\'') {
            while (i < n && src[i] != u'\r' && src[i] != u'\n') ++i;
            continue;
        }
        if (c == u':') { push(Tok::Newline, i).ival = 1; ++i; space = true; continue; }
        if (c == u'_') {
            // Line continuation: '_' followed by blanks and a line end.
            size_t j = i + 1;
            while (j < n && isBlank(src[j])) ++j;
            if (j >= n || src[j] == u'\r' || src[j] == u'\n') {
                if (j < n && src[j] == u'\r' && j + 1 < n && src[j + 1] == u'\n') ++j;
                i = j + 1;
                ++line;
                lineStart = i;
                space = true;
                continue;
            }
            fail(1032, i);
        }
        if (isIdentStart(c)) {
            size_t s = i;
            while (i < n && isIdentChar(src[i])) ++i;
            if (i - s > 255) fail(1030, s);
            std::u16string_view word = src.substr(s, i - s);
            Kw kw = keywordOf(word);
            // "o.Rem" names a member; anywhere else Rem starts a comment.
            if (kw == kwRem && (out.empty() || out.back().type != Tok::Dot)) {
                while (i < n && src[i] != u'\r' && src[i] != u'\n') ++i;
                continue;
            }
            Token& tk = push(Tok::Ident, s);
            tk.kw = kw;
            tk.text.assign(word);
            continue;
        }
        if (c == u'[') {
            // Bracketed identifier: [any name]
            size_t s = i++;
            while (i < n && src[i] != u']' && src[i] != u'\r' && src[i] != u'\n') ++i;
            if (i >= n || src[i] != u']') fail(1007, i);
            Token& tk = push(Tok::Ident, s);
            tk.text.assign(src.substr(s + 1, i - s - 1));
            ++i;
            continue;
        }
        if (isDigit(c) || (c == u'.' && i + 1 < n && isDigit(src[i + 1]) &&
                           (out.empty() || out.back().type != Tok::Ident || space) &&
                           (out.empty() || (out.back().type != Tok::RParen || space)))) {
            size_t s = i;
            bool isFloat = false;
            while (i < n && isDigit(src[i])) ++i;
            if (i < n && src[i] == u'.') {
                isFloat = true;
                ++i;
                while (i < n && isDigit(src[i])) ++i;
            }
            if (i < n && (src[i] == u'e' || src[i] == u'E')) {
                size_t j = i + 1;
                if (j < n && (src[j] == u'+' || src[j] == u'-')) ++j;
                if (j < n && isDigit(src[j])) {
                    isFloat = true;
                    i = j;
                    while (i < n && isDigit(src[i])) ++i;
                }
            }
            std::string digits;
            for (size_t k = s; k < i; ++k) digits.push_back(static_cast<char>(src[k]));
            if (i < n && isIdentStart(src[i])) fail(1025, i);
            if (!isFloat && digits.size() <= 10) {
                long long v = std::stoll(digits);
                if (v <= 2147483647LL) {
                    Token& tk = push(Tok::Integer, s);
                    tk.ival = v;
                    tk.isLong = v > 32767;
                    continue;
                }
            }
            double d = 0;
            readDecimal(digits, d);
            if (!std::isfinite(d)) fail(1031, s);
            Token& tk = push(Tok::Double, s);
            tk.dval = d;
            continue;
        }
        if (c == u'&' && i + 1 < n && (src[i + 1] == u'H' || src[i + 1] == u'h' ||
                                       src[i + 1] == u'O' || src[i + 1] == u'o' || isDigit(src[i + 1]))) {
            size_t s = i;
            int base = 8;
            i += 1;
            if (src[i] == u'H' || src[i] == u'h') { base = 16; ++i; }
            else if (src[i] == u'O' || src[i] == u'o') ++i;
            // "&hz" or "&other": no digit follows, so this is & before a name.
            if (i > s + 1 && (i >= n || !(isDigit(src[i]) || (base == 16 && ((src[i] >= u'a' && src[i] <= u'f') ||
                                                                          (src[i] >= u'A' && src[i] <= u'F')))))) {
                i = s + 1;
                push(Tok::Amp, s);
                continue;
            }
            unsigned long long v = 0;
            size_t digits = 0;
            while (i < n) {
                char16_t d = src[i];
                int dv;
                if (d >= u'0' && d <= u'9') dv = d - u'0';
                else if (base == 16 && d >= u'a' && d <= u'f') dv = d - u'a' + 10;
                else if (base == 16 && d >= u'A' && d <= u'F') dv = d - u'A' + 10;
                else break;
                if (dv >= base) fail(1031, s);
                v = v * base + dv;
                if (v > 0xFFFFFFFFull) fail(1031, s);
                ++digits;
                ++i;
            }
            if (digits == 0) fail(1031, s);
            bool forceLong = false;
            if (i < n && src[i] == u'&') { forceLong = true; ++i; }
            Token& tk = push(Tok::Integer, s);
            // Up to four digits the top bit of 16 is the sign, otherwise that
            // of 32 ("&hFFFF" is -1, "&hFFFF&" 65535); a value that fits an
            // Integer is one whatever its spelling ("&h20&", "&hFFFFFFFE").
            tk.ival = !forceLong && v <= 0xFFFF ? static_cast<std::int16_t>(static_cast<std::uint16_t>(v))
                                                : static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
            tk.isLong = tk.ival < -32768 || tk.ival > 32767;
            continue;
        }
        if (c == u'"') {
            size_t s = i++;
            std::u16string text;
            for (;;) {
                if (i >= n || src[i] == u'\r' || src[i] == u'\n') fail(1033, s);
                if (src[i] == u'"') {
                    if (i + 1 < n && src[i + 1] == u'"') { text.push_back(u'"'); i += 2; continue; }
                    ++i;
                    break;
                }
                text.push_back(src[i++]);
            }
            Token& tk = push(Tok::String, s);
            tk.text = std::move(text);
            continue;
        }
        if (c == u'#') {
            size_t s = i++;
            while (i < n && src[i] != u'#' && src[i] != u'\r' && src[i] != u'\n') ++i;
            if (i >= n || src[i] != u'#') fail(1032, s);
            double d;
            if (!parseDateLiteral(src.substr(s + 1, i - s - 1), d)) fail(1002, s);
            ++i;
            Token& tk = push(Tok::Date, s);
            tk.dval = d;
            continue;
        }
        size_t s = i++;
        switch (c) {
        case u'(': push(Tok::LParen, s); break;
        case u')': push(Tok::RParen, s); break;
        case u',': push(Tok::Comma, s); break;
        case u'.': push(Tok::Dot, s); break;
        case u'+': push(Tok::Plus, s); break;
        case u'-': push(Tok::Minus, s); break;
        case u'*': push(Tok::Star, s); break;
        case u'/': push(Tok::Slash, s); break;
        case u'\\': push(Tok::Backslash, s); break;
        case u'^': push(Tok::Caret, s); break;
        case u'&': push(Tok::Amp, s); break;
        case u'=':
            // "=>" and "=<" are written for >= and <=.
            if (i < n && src[i] == u'>') { ++i; push(Tok::Ge, s); }
            else if (i < n && src[i] == u'<') { ++i; push(Tok::Le, s); }
            else push(Tok::Eq, s);
            break;
        case u'<':
            if (i < n && src[i] == u'>') { ++i; push(Tok::Ne, s); }
            else if (i < n && src[i] == u'=') { ++i; push(Tok::Le, s); }
            else push(Tok::Lt, s);
            break;
        case u'>':
            if (i < n && src[i] == u'=') { ++i; push(Tok::Ge, s); }
            else if (i < n && src[i] == u'<') { ++i; push(Tok::Ne, s); }
            else push(Tok::Gt, s);
            break;
        default: fail(1032, s);
        }
    }
    push(Tok::Newline, n);
    push(Tok::End, n);
    return out;
}

} // namespace qz::script
