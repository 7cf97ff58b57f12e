#include "production/QueryParameters.h"

#include "core/ModErrors.h"
#include "platform/automation/AutomationError.h"
#include "platform/automation/Text.h"
#include "platform/ado/Workbook.h"
#include "platform/script/Lexer.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <vector>

namespace qz::production {

namespace {

// Which characters of the text lie inside a quoted literal, a quoted or
// bracketed name ('...', "...", `...`, [...]) or a comment (-- to the line's
// end, /* */), and the parenthesis depth of the others.
struct Scan {
    std::vector<bool> quoted;
    std::vector<int> depth;
};

Scan scan(const std::string& s) {
    Scan r{std::vector<bool>(s.size(), false), std::vector<int>(s.size(), 0)};
    char close = 0;
    int depth = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (close) {
            r.quoted[i] = true;
            if (c == close) {
                if (close != ']' && i + 1 < s.size() && s[i + 1] == close) {
                    r.quoted[++i] = true; // a doubled quote inside the literal
                    r.depth[i] = depth;
                    continue;
                }
                close = 0;
            }
            r.depth[i] = depth;
            continue;
        }
        const bool lineComment = c == '-' && i + 1 < s.size() && s[i + 1] == '-';
        if (lineComment || (c == '/' && i + 1 < s.size() && s[i + 1] == '*')) {
            std::size_t end = lineComment ? s.find('\n', i) : s.find("*/", i + 2);
            end = end == std::string::npos ? s.size() : end + (lineComment ? 0 : 2);
            for (; i < end; ++i) {
                r.quoted[i] = true;
                r.depth[i] = depth;
            }
            --i;
            continue;
        }
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            close = c == '[' ? ']' : c;
            r.quoted[i] = true;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && depth > 0) {
            --depth;
        }
        r.depth[i] = c == '(' ? depth - 1 : depth;
    }
    return r;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool matchesAt(const std::string& s, std::size_t at, const char* word) {
    for (std::size_t k = 0; word[k]; ++k)
        if (at + k >= s.size() || upper(s[at + k]) != word[k]) return false;
    return true;
}

bool isWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The first occurrence of word (upper case, blanks included) from `from` on,
// outside literals and at the given depth (any depth when depth < 0).
std::size_t findWord(const std::string& s, const Scan& sc, const char* word, std::size_t from, int depth) {
    for (std::size_t i = from; i < s.size(); ++i) {
        if (sc.quoted[i] || (depth >= 0 && sc.depth[i] != depth)) continue;
        if (matchesAt(s, i, word)) return i;
    }
    return std::string::npos;
}

std::size_t findWhere(const std::string& s, const Scan& sc) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (sc.quoted[i] || !matchesAt(s, i, "WHERE ")) continue;
        if (i > 0 && isWordChar(s[i - 1])) continue; // "SOMEWHERE " is no keyword
        return i;
    }
    return std::string::npos;
}

// The end of the clause that starts at `start`, at depth `depth`.
std::size_t endOfClause(const std::string& s, const Scan& sc, std::size_t start, int depth) {
    std::size_t end = s.size();
    for (const char* kw : {" GROUP BY ", " HAVING ", " ORDER BY ", " WITH "}) {
        const std::size_t at = findWord(s, sc, kw, start, depth);
        if (at < end) end = at;
    }
    return end;
}

} // namespace

std::size_t FindEndWhereClause(const std::string& sql) {
    const Scan sc = scan(sql);
    const std::size_t where = findWhere(sql, sc);
    const int depth = where == std::string::npos ? 0 : sc.depth[where];
    const std::size_t end = endOfClause(sql, sc, where == std::string::npos ? 0 : where, depth);
    return end == sql.size() ? sql.size() : end + 1;
}

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The most digits a number answer may have: what the databases' decimals
// (and ODBC's) hold.
constexpr std::size_t kMaxDigits = 38;

// How many digits the number has (0 when the text is no number), and
// whether it is written with an exponent.
std::size_t numberDigits(std::string_view t, bool& exponent) {
    std::size_t i = t.size() && (t[0] == '+' || t[0] == '-') ? 1 : 0;
    std::size_t digits = 0;
    for (; i < t.size() && isDigit(t[i]); ++i) ++digits;
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && isDigit(t[i]); ++i) ++digits;
    if (!digits) return 0;
    exponent = i < t.size() && (t[i] == 'e' || t[i] == 'E');
    if (exponent) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (i == t.size() || !isDigit(t[i])) return 0;
        while (i < t.size() && isDigit(t[i])) ++i;
    }
    return i == t.size() ? digits : 0;
}

bool isText(std::string_view t) {
    if (t.size() < 2 || t.front() != '\'' || t.back() != '\'') return false;
    for (std::size_t i = 1; i + 1 < t.size(); ++i) {
        if (t[i] == '\\' || t[i] == '\0') return false;
        if (t[i] == '\'' && (i + 2 >= t.size() || t[++i] != '\'')) return false;
    }
    return true;
}

// A date between "#" as the template's script reads one (m/d/y or y-m-d,
// an optional time); its value in `date`.
bool isDate(std::string_view t, double& date) {
    if (t.size() < 3 || t.front() != '#' || t.back() != '#') return false;
    std::u16string text;
    for (char c : t.substr(1, t.size() - 2)) {
        if (!isDigit(c) && std::string_view("/-:. APMapm").find(c) == std::string_view::npos) return false;
        text += static_cast<char16_t>(c);
    }
    return script::parseDateLiteral(text, date);
}

// A number written with an exponent, as a double; false when it is out of
// a double's range.
bool doubleOf(std::string_view t, double& d) {
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
    return ec == std::errc() && end == t.data() + t.size() && std::isfinite(d);
}

// An answer as a message quotes it: a long one cut (at a character's start).
std::string shown(std::string_view answer) {
    constexpr std::size_t kShown = 60;
    if (answer.size() <= kShown) return std::string(answer);
    std::size_t n = kShown;
    while (n > 0 && (static_cast<unsigned char>(answer[n]) & 0xC0) == 0x80) --n;
    return std::string(answer.substr(0, n)) + "...";
}

} // namespace

std::string ParameterAnswerProblem(std::string_view answer) {
    const std::string_view t = trimSpaces(answer);
    bool exponent = false;
    if (const std::size_t digits = numberDigits(t, exponent); digits > 0) {
        if (digits > kMaxDigits)
            return "The number " + shown(t) + " has " + std::to_string(digits) +
                   " digits; a number given for a \"?\" has at most " + std::to_string(kMaxDigits) + ".";
        double d = 0;
        if (exponent && !doubleOf(t, d))
            return "The number " + shown(t) + " is beyond the range of numbers (about 1E-307 to 1E+308).";
        return {};
    }
    double date = 0;
    if (t.empty() || isText(t) || isDate(t, date) || equalsNoCaseAscii(t, "Null") || equalsNoCaseAscii(t, "True") ||
        equalsNoCaseAscii(t, "False"))
        return {};
    return "The value " + shown(answer) +
           " is not one value. Type a number (12 or -3.5), a text in single quotes with each quote inside "
           "doubled and no backslash ('O''Brien'), a date between # signs (#2024-01-31#), Null, True or False.";
}

ado::SqlParameter ParameterValue(std::string_view answer) {
    using Kind = ado::SqlParameter::Kind;
    ado::SqlParameter v;
    std::string_view t = trimSpaces(answer);
    double date = 0;
    bool exponent = false;
    if (equalsNoCaseAscii(t, "True") || equalsNoCaseAscii(t, "False")) {
        v.kind = Kind::Boolean;
        v.integer = equalsNoCaseAscii(t, "True") ? 1 : 0;
    } else if (isText(t)) {
        v.kind = Kind::Text;
        for (std::size_t i = 1; i + 1 < t.size(); ++i) {
            v.text.push_back(t[i]);
            if (t[i] == '\'') ++i; // a doubled quote stands for one
        }
    } else if (isDate(t, date)) {
        // A day is written with "/" or "-"; a time with ":", or as a part of
        // a day ("10 PM"). Day zero with a time is both.
        const bool day = t.find_first_of("/-") != std::string_view::npos;
        const bool time = !day || t.find(':') != std::string_view::npos || date != std::trunc(date);
        const std::string iso = ado::workbook::isoFromOleDate(date);
        v.kind = !time ? Kind::Date : !day ? Kind::Time : Kind::DateTime;
        v.text = !time ? iso.substr(0, 10) : !day ? iso.substr(11) : iso;
    } else if (numberDigits(t, exponent) > 0) {
        if (t[0] == '+') t.remove_prefix(1);
        if (exponent) {
            v.kind = Kind::Double;
            doubleOf(t, v.number);
        } else if (const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v.integer);
                   ec == std::errc() && end == t.data() + t.size()) {
            v.kind = Kind::Integer;
        } else {
            // Written as every database reads a decimal: a digit before the
            // point and none left bare after it.
            v.kind = Kind::Decimal;
            v.text = t;
            const std::size_t sign = v.text[0] == '-' ? 1 : 0;
            if (v.text[sign] == '.') v.text.insert(sign, "0");
            if (v.text.back() == '.') v.text.pop_back();
        }
    }
    return v;
}

namespace {

// A "?" answered: where it is in the text being built, and its value.
struct Answered {
    std::size_t at;
    ado::SqlParameter value;
};

// Asks for the parameters of one condition (right to left): the condition
// with an empty answer's "?" removed, the answered ones noted with their
// places in it (left to right). A cancelled prompt, a refused answer or a
// failing prompt is logged under this step's name and raised again.
std::string answerCondition(const std::string& condition, const ParameterPrompt& prompt,
                            std::vector<Answered>& answered) {
    return Handled("ModQueryParameters", "ReplaceParameterFields", kErrLog | kErrRaise, [&] {
        const Scan sc = scan(condition);
        std::string out = condition;
        std::vector<Answered> found;
        for (std::size_t i = condition.size(); i-- > 0;) {
            if (sc.quoted[i]) continue;
            if (condition[i] == '=') break;
            if (condition[i] != '?') continue;
            const std::optional<std::string> value = prompt(condition.substr(0, i + 1));
            if (!value) throw AutomationError(kErrorFail, "ReplaceParameterFields", kParameterCancelled);
            if (const std::string problem = ParameterAnswerProblem(*value); !problem.empty())
                throw AutomationError(kErrorFail, "ReplaceParameterFields", problem);
            if (trimSpaces(*value).empty()) {
                out.erase(i, 1);
                for (Answered& a : found) --a.at; // each lies right of i
                continue;
            }
            found.push_back({i, ParameterValue(*value)});
        }
        answered.insert(answered.end(), std::make_move_iterator(found.rbegin()),
                        std::make_move_iterator(found.rend()));
        return out;
    });
}

ado::BoundSql resolve(const std::string& sql, const ParameterPrompt& prompt) {
    if (sql.empty()) return {sql, {}};
    const Scan sc = scan(sql);
    const std::size_t where = findWhere(sql, sc);
    if (where == std::string::npos) return {sql, {}};
    const std::size_t start = where + 6;
    const int depth = sc.depth[where];
    const std::size_t end = endOfClause(sql, sc, start, depth);
    std::string result = sql.substr(0, start);
    std::vector<Answered> answered;
    const auto condition = [&](std::size_t from, std::size_t to) {
        const std::size_t base = result.size(), first = answered.size();
        result += answerCondition(sql.substr(from, to - from), prompt, answered);
        for (std::size_t k = first; k < answered.size(); ++k) answered[k].at += base;
    };
    std::size_t pos = start;
    while (pos < end) {
        // The next separator outside literals (inside parentheses too, so
        // that every condition of a nested group is asked for).
        std::size_t sep = std::string::npos, sepLen = 0;
        for (std::size_t i = pos; i < end; ++i) {
            if (sc.quoted[i]) continue;
            if (matchesAt(sql, i, " AND ")) { sep = i; sepLen = 5; break; }
            if (matchesAt(sql, i, " OR ")) { sep = i; sepLen = 4; break; }
        }
        if (sep == std::string::npos || sep >= end) {
            condition(pos, end);
            break;
        }
        condition(pos, sep);
        result += sepLen == 5 ? " AND " : " OR ";
        pos = sep + sepLen;
    }
    result += sql.substr(end);
    ado::BoundSql out{std::move(result), {}};
    if (answered.empty()) return out;
    // One value for each "?" the database reads, in order: a "?" that was
    // not asked for reads as an unbound one does, Null.
    const Scan marks = scan(out.text);
    std::size_t next = 0;
    for (std::size_t i = 0; i < out.text.size(); ++i) {
        if (marks.quoted[i] || out.text[i] != '?') continue;
        if (next < answered.size() && answered[next].at == i) out.parameters.push_back(std::move(answered[next++].value));
        else out.parameters.emplace_back();
    }
    if (next != answered.size()) throw AutomationError(kErrorFail, "ResolveSqlParameters", "unmatched \"?\"");
    return out;
}

} // namespace

ado::BoundSql ResolveSqlParameters(const std::string& sql, const ParameterPrompt& prompt) {
    // Any failure, a prompt's included, leaves the caller an empty text: the
    // command cannot be run and is left out.
    try {
        return resolve(sql, prompt);
    } catch (const AutomationError& e) {
        if (e.Description == kParameterCancelled) throw;
        return {};
    } catch (...) {
        return {};
    }
}

} // namespace qz::production
