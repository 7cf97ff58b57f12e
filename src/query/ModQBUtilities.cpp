#include "query/ModQBUtilities.h"

#include "platform/automation/AutomationError.h"

#include <algorithm>
#include <iterator>

namespace qz::query {

namespace {

constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057u);

// Every word that SQLite, PostgreSQL or SQL Server reserves (or reads as a
// keyword where a name could stand), in ASCII order: a name equal to one of
// them is quoted, since unquoted it would be read as that keyword.
constexpr std::string_view kKeywords[] = {
    "ABORT", "ACTION", "ADD", "AFTER", "ALL", "ALTER", "ALWAYS", "ANALYSE", "ANALYZE", "AND",
    "ANY", "ARRAY", "AS", "ASC", "ASYMMETRIC", "ATTACH", "AUTHORIZATION", "AUTOINCREMENT",
    "BACKUP", "BEFORE", "BEGIN", "BETWEEN", "BIGINT", "BINARY", "BIT", "BOOLEAN", "BOTH",
    "BREAK", "BROWSE", "BULK", "BY", "CASCADE", "CASE", "CAST", "CHAR", "CHARACTER", "CHECK",
    "CHECKPOINT", "CLOSE", "CLUSTERED", "COALESCE", "COLLATE", "COLLATION", "COLUMN", "COMMIT",
    "COMPUTE", "CONCURRENTLY", "CONFLICT", "CONSTRAINT", "CONTAINS", "CONTAINSTABLE",
    "CONTINUE", "CONVERT", "CREATE", "CROSS", "CURRENT", "CURRENT_CATALOG", "CURRENT_DATE",
    "CURRENT_ROLE", "CURRENT_SCHEMA", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER",
    "CURSOR", "DATABASE", "DBCC", "DEALLOCATE", "DEC", "DECIMAL", "DECLARE", "DEFAULT",
    "DEFERRABLE", "DEFERRED", "DELETE", "DENY", "DESC", "DETACH", "DISK", "DISTINCT",
    "DISTRIBUTED", "DO", "DOUBLE", "DROP", "DUMP", "EACH", "ELSE", "END", "ERRLVL", "ESCAPE",
    "EXCEPT", "EXCLUDE", "EXCLUSIVE", "EXEC", "EXECUTE", "EXISTS", "EXIT", "EXPLAIN",
    "EXTERNAL", "EXTRACT", "FAIL", "FALSE", "FETCH", "FILE", "FILLFACTOR", "FILTER", "FIRST",
    "FLOAT", "FOLLOWING", "FOR", "FOREIGN", "FREETEXT", "FREETEXTTABLE", "FREEZE", "FROM",
    "FULL", "FUNCTION", "GENERATED", "GLOB", "GOTO", "GRANT", "GREATEST", "GROUP", "GROUPING",
    "GROUPS", "HAVING", "HOLDLOCK", "IDENTITY", "IDENTITYCOL", "IDENTITY_INSERT", "IF",
    "IGNORE", "ILIKE", "IMMEDIATE", "IN", "INDEX", "INDEXED", "INITIALLY", "INNER", "INOUT",
    "INSERT", "INSTEAD", "INT", "INTEGER", "INTERSECT", "INTERVAL", "INTO", "IS", "ISNULL",
    "JOIN", "KEY", "KILL", "LAST", "LATERAL", "LEADING", "LEAST", "LEFT", "LIKE", "LIMIT",
    "LINENO", "LOAD", "LOCALTIME", "LOCALTIMESTAMP", "MATCH", "MATERIALIZED", "MERGE",
    "NATIONAL", "NATURAL", "NCHAR", "NO", "NOCHECK", "NONCLUSTERED", "NONE", "NORMALIZE", "NOT",
    "NOTHING", "NOTNULL", "NULL", "NULLIF", "NULLS", "NUMERIC", "OF", "OFF", "OFFSET",
    "OFFSETS", "ON", "ONLY", "OPEN", "OPENDATASOURCE", "OPENQUERY", "OPENROWSET", "OPENXML",
    "OPTION", "OR", "ORDER", "OTHERS", "OUT", "OUTER", "OVER", "OVERLAPS", "OVERLAY",
    "PARTITION", "PERCENT", "PIVOT", "PLACING", "PLAN", "POSITION", "PRAGMA", "PRECEDING",
    "PRECISION", "PRIMARY", "PRINT", "PROC", "PROCEDURE", "PUBLIC", "QUERY", "RAISE",
    "RAISERROR", "RANGE", "READ", "READTEXT", "REAL", "RECONFIGURE", "RECURSIVE", "REFERENCES",
    "REGEXP", "REINDEX", "RELEASE", "RENAME", "REPLACE", "REPLICATION", "RESTORE", "RESTRICT",
    "RETURN", "RETURNING", "REVERT", "REVOKE", "RIGHT", "ROLLBACK", "ROW", "ROWCOUNT",
    "ROWGUIDCOL", "ROWS", "RULE", "SAVE", "SAVEPOINT", "SCHEMA", "SECURITYAUDIT", "SELECT",
    "SEMANTICKEYPHRASETABLE", "SEMANTICSIMILARITYDETAILSTABLE", "SEMANTICSIMILARITYTABLE",
    "SESSION_USER", "SET", "SETOF", "SETUSER", "SHUTDOWN", "SIMILAR", "SMALLINT", "SOME",
    "STATISTICS", "SUBSTRING", "SYMMETRIC", "SYSTEM_USER", "TABLE", "TABLESAMPLE", "TEMP",
    "TEMPORARY", "TEXTSIZE", "THEN", "TIES", "TIME", "TIMESTAMP", "TO", "TOP", "TRAILING",
    "TRAN", "TRANSACTION", "TREAT", "TRIGGER", "TRIM", "TRUE", "TRUNCATE", "TRY_CONVERT",
    "TSEQUAL", "UNBOUNDED", "UNION", "UNIQUE", "UNPIVOT", "UPDATE", "UPDATETEXT", "USE", "USER",
    "USING", "VACUUM", "VALUES", "VARCHAR", "VARIADIC", "VARYING", "VERBOSE", "VIEW", "VIRTUAL",
    "WAITFOR", "WHEN", "WHERE", "WHILE", "WINDOW", "WITH", "WITHIN", "WITHOUT", "WRITETEXT",
};

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
    std::string upper(word);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return std::binary_search(std::begin(kKeywords), std::end(kKeywords), std::string_view(upper));
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
    r += EncodeName(column, dialect);
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

} // namespace qz::query
