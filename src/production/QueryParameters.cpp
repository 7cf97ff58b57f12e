#include "production/QueryParameters.h"

#include "platform/automation/AutomationError.h"
#include "platform/automation/Text.h"
#include "platform/ado/Workbook.h"
#include "platform/script/Lexer.h"

#include <vector>

namespace qz::production {

namespace {

// Which characters of the text lie inside a quoted literal or a bracketed
// name ('...', "...", [...]), and the parenthesis depth of the others.
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
                    continue;
                }
                close = 0;
            }
            r.depth[i] = depth;
            continue;
        }
        if (c == '\'' || c == '"' || c == '[') {
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

bool isNumber(std::string_view t) {
    std::size_t i = t.size() && (t[0] == '+' || t[0] == '-') ? 1 : 0;
    std::size_t digits = 0;
    for (; i < t.size() && isDigit(t[i]); ++i) ++digits;
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && isDigit(t[i]); ++i) ++digits;
    if (!digits) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (i == t.size() || !isDigit(t[i])) return false;
        while (i < t.size() && isDigit(t[i])) ++i;
    }
    return i == t.size();
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

// The literal spliced for an answer: a date becomes the quoted text SQLite
// keeps dates in and other servers read as a date ('YYYY-MM-DD', with
// " HH:MM:SS" when it has a time of day; 'HH:MM:SS' for a time alone), as no
// server reached here reads "#"; any other answer stays as it was typed.
std::string literalOf(const std::string& answer) {
    double date = 0;
    if (!isDate(trimSpaces(answer), date)) return answer;
    std::string iso = ado::workbook::isoFromOleDate(date, true);
    if (date > 0 && date < 1) iso.erase(0, 11);
    return "'" + iso + "'";
}

} // namespace

std::string ParameterAnswerProblem(std::string_view answer) {
    const std::string_view t = trimSpaces(answer);
    double date = 0;
    if (t.empty() || isNumber(t) || isText(t) || isDate(t, date) || equalsNoCaseAscii(t, "Null") ||
        equalsNoCaseAscii(t, "True") || equalsNoCaseAscii(t, "False"))
        return {};
    return "The value " + std::string(answer) +
           " is not one value. Type a number (12 or -3.5), a text in single quotes with each quote inside "
           "doubled and no backslash ('O''Brien'), a date between # signs (#2024-01-31#), Null, True or False.";
}

std::string ReplaceParameterFields(const std::string& condition, const ParameterPrompt& prompt) {
    const Scan sc = scan(condition);
    std::string out = condition;
    for (std::size_t i = condition.size(); i-- > 0;) {
        if (sc.quoted[i]) continue;
        if (condition[i] == '=') break;
        if (condition[i] != '?') continue;
        const std::optional<std::string> value = prompt(condition.substr(0, i + 1));
        if (!value) throw AutomationError(kErrorFail, "ReplaceParameterFields", kParameterCancelled);
        if (const std::string problem = ParameterAnswerProblem(*value); !problem.empty())
            throw AutomationError(kErrorFail, "ReplaceParameterFields", problem);
        out.replace(i, 1, literalOf(*value));
    }
    return out;
}

namespace {

std::string resolve(const std::string& sql, const ParameterPrompt& prompt) {
    if (sql.empty()) return sql;
    const Scan sc = scan(sql);
    const std::size_t where = findWhere(sql, sc);
    if (where == std::string::npos) return sql;
    const std::size_t start = where + 6;
    const int depth = sc.depth[where];
    const std::size_t end = endOfClause(sql, sc, start, depth);
    std::string result = sql.substr(0, start);
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
            result += ReplaceParameterFields(sql.substr(pos, end - pos), prompt);
            break;
        }
        result += ReplaceParameterFields(sql.substr(pos, sep - pos), prompt);
        result += sepLen == 5 ? " AND " : " OR ";
        pos = sep + sepLen;
    }
    result += sql.substr(end);
    return result;
}

} // namespace

std::string ResolveSqlParameters(const std::string& sql, const ParameterPrompt& prompt) {
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
