#include "query/ModQBUtilities.h"

#include "platform/automation/AutomationError.h"

#include <algorithm>
#include <iterator>

namespace qz::query {

namespace {

constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057u);

// The parser's keywords, and the words a backend reserves that would end a
// name list or start another clause if they stood unquoted.
constexpr std::string_view kKeywords[] = {
    "ALL", "AND", "AS", "ASC", "BETWEEN", "BY", "CASE", "CAST", "CHECK", "COLLATE",
    "CREATE", "CROSS", "DEFAULT", "DELETE", "DESC", "DISTINCT", "DROP", "ELSE", "END",
    "ESCAPE", "EXCEPT", "EXISTS", "FALSE", "FOREIGN", "FROM", "FULL", "GROUP", "HAVING",
    "IN", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "KEY", "LEFT", "LIKE",
    "LIMIT", "NATURAL", "NOT", "NULL", "OFFSET", "ON", "OR", "ORDER", "OUTER", "PRIMARY",
    "REFERENCES", "RIGHT", "SELECT", "SET", "TABLE", "THEN", "TRUE", "UNION", "UNIQUE",
    "UPDATE", "USING", "VALUES", "WHEN", "WHERE"};

bool IsAlpha(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// A name that stands unquoted: letters, digits and "_", not a digit first.
// Bytes of UTF-8 sequences count as letters unless the backend folds case.
bool IsPlainIdentifier(std::string_view name, IdentifierCase fold) {
    if (name.empty() || IsDigit(static_cast<unsigned char>(name[0]))) return false;
    for (unsigned char c : name) {
        bool ok = IsAlpha(c) || IsDigit(c);
        if (c >= 0x80) ok = fold == IdentifierCase::Insensitive || fold == IdentifierCase::Sensitive;
        if (fold == IdentifierCase::Lower && c >= 'A' && c <= 'Z') ok = false;
        if (fold == IdentifierCase::Upper && c >= 'a' && c <= 'z') ok = false;
        if (!ok) return false;
    }
    return !IsSqlKeyword(name);
}

std::string Enclose(std::string_view name, char open, char close, bool doubling) {
    std::string r;
    r.reserve(name.size() + 2);
    r += open;
    for (char c : name) {
        r += c;
        if (doubling && c == close) r += c;
    }
    r += close;
    return r;
}

// Position of the first "." outside quotes, or npos. False on an unclosed quote.
bool FindDot(std::string_view s, size_t& dot) {
    dot = std::string_view::npos;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '[' || c == '`' || c == '"') {
            char close = c == '[' ? ']' : c;
            size_t j = s.find(close, i + 1);
            if (j == std::string_view::npos) return false;
            i = j;
        } else if (c == '.') {
            dot = i;
            return true;
        }
    }
    return true;
}

} // namespace

bool IsSqlKeyword(std::string_view word) {
    if (word.size() > 10) return false;
    return std::any_of(std::begin(kKeywords), std::end(kKeywords),
                       [&](std::string_view k) { return equalsNoCaseAscii(k, word); });
}

std::string QBEncodeName(std::string_view name) {
    if (name.empty()) return std::string();
    if (name.find_first_of("]`") != std::string_view::npos) return Enclose(name, '`', '`', true);
    if (name.find('#') != std::string_view::npos) return Enclose(name, '[', ']', false);
    if (name.back() == '$') return Enclose(name, '`', '`', true);
    if (name.find(' ') != std::string_view::npos) return Enclose(name, '[', ']', false);
    if (IsPlainIdentifier(name, IdentifierCase::Insensitive)) return std::string(name);
    return Enclose(name, '[', ']', false);
}

std::string EncodeName(std::string_view name, const SqlDialect& dialect) {
    if (dialect.Quote == QuoteStyle::Brackets) return QBEncodeName(name);
    if (name.empty() || IsPlainIdentifier(name, dialect.Case)) return std::string(name);
    return Enclose(name, '"', '"', true);
}

std::string EncodeFQName(std::string_view table, std::string_view column,
                         const SqlDialect& dialect) {
    std::string r = EncodeName(table, dialect);
    r += '.';
    r += column == "*" ? std::string("*") : EncodeName(column, dialect);
    return r;
}

bool TryDecodeName(std::string_view name, std::string& out) {
    if (name.empty() || (name[0] != '[' && name[0] != '`' && name[0] != '"')) {
        out.assign(name);
        return true;
    }
    char close = name[0] == '[' ? ']' : name[0];
    if (name.size() < 2 || name.back() != close) return false;
    std::string_view inner = name.substr(1, name.size() - 2);
    std::string r;
    r.reserve(inner.size());
    for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == close) {
            // Brackets have no escape; backquotes and double quotes are doubled.
            if (close == ']' || i + 1 >= inner.size() || inner[i + 1] != close) return false;
            ++i;
        }
        r += inner[i];
    }
    out = std::move(r);
    return true;
}

std::string QBDecodeName(std::string_view name) {
    std::string out;
    if (!TryDecodeName(name, out))
        throw AutomationError(kInvalidArgument, "QBUtilities",
                              "Invalid argument: the quotes of the name '" + std::string(name) +
                                  "' do not match.");
    return out;
}

bool SplitFQName(std::string_view qualified, std::string& table, std::string& column) {
    size_t dot;
    if (!FindDot(qualified, dot) || dot == std::string_view::npos || dot == 0) return false;
    std::string t, c;
    if (!TryDecodeName(qualified.substr(0, dot), t) || !TryDecodeName(qualified.substr(dot + 1), c))
        return false;
    table = std::move(t);
    column = std::move(c);
    return true;
}

std::string GetTableName(std::string_view qualified) {
    size_t dot;
    if (FindDot(qualified, dot) && dot != std::string_view::npos)
        return QBDecodeName(qualified.substr(0, dot));
    return QBDecodeName(qualified);
}

std::string GetColumnName(std::string_view qualified) {
    size_t dot;
    if (FindDot(qualified, dot) && dot != std::string_view::npos)
        return QBDecodeName(qualified.substr(dot + 1));
    return QBDecodeName(qualified);
}

void QBSetCurSel(ui::ComboBox& combo, int index) {
    if (index >= 0 && index < combo.ListCount()) {
        combo.Select(index);
        return;
    }
    combo.ListIndex = -1;
    combo.Text.clear();
}

bool QBTextBoxChanged(const ui::TextBox& box) { return box.DataChanged; }

} // namespace qz::query
