// The Jet provider's file sources, each read into an in-memory SQLite
// database so that the same SQL (bracketed names included) runs on them:
//   a folder of delimited text files, one table per file ("orders#csv", and
//   the name "orders.csv" as a view); an Excel workbook (.xls or .xlsx), one
//   table per sheet named as Jet names them ("Sheet1$") and one per named
//   range, the column types from the cells; an Access database through mdbtools,
//   its relationships kept as foreign keys.
#include "platform/ado/Backend.h"
#include "platform/ado/JetSql.h"
#include "platform/ado/Workbook.h"
#include "platform/automation/DecimalText.h"
#include "platform/system/CodePage.h"
#include "platform/system/Deadline.h"

#include <mdbtools.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace qz::ado {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSource = "Jet";

// A table to create: column names and, per row, its values as text
// (std::nullopt for null). Column types are inferred from the values.
struct TableText {
    std::string name;
    std::vector<std::string> columns;
    std::vector<std::string> declared; // empty: inferred
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::vector<std::string> foreignKeys; // "FOREIGN KEY (...) REFERENCES ..." clauses
};

bool isInteger(const std::string& s) {
    std::size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i >= s.size() || s.size() - i > 9) return false;
    for (; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

bool isNumber(const std::string& s) {
    double v = 0;
    return readDecimal(s, v) && std::isfinite(v);
}

std::string inferType(const TableText& t, std::size_t c) {
    bool ints = true, nums = true, dates = true, any = false;
    std::size_t longest = 0;
    for (const auto& row : t.rows) {
        if (c >= row.size() || !row[c]) continue;
        const std::string& v = *row[c];
        any = true;
        longest = std::max(longest, v.size());
        if (ints && !isInteger(v)) ints = false;
        if (nums && !isNumber(v)) nums = false;
        double d;
        if (dates && !parseIsoDateTime(v, d)) dates = false;
    }
    if (!any) return "VARCHAR(255)";
    if (ints) return "INTEGER";
    if (nums) return "DOUBLE";
    if (dates) return "DATETIME";
    return longest > 255 ? "TEXT" : "VARCHAR(255)";
}

std::string lowerAscii(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Column names as a table can hold them: an empty name becomes "F<n>" and a
// repeated one (without regard to case) gets "_<k>" appended.
void uniqueNames(std::vector<std::string>& names) {
    std::set<std::string> seen;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string base = names[i].empty() ? "F" + std::to_string(i + 1) : names[i];
        std::string n = base;
        for (int k = 1; seen.count(lowerAscii(n)); ++k) n = base + "_" + std::to_string(k);
        seen.insert(lowerAscii(n));
        names[i] = n;
    }
}

// A value as Access SQL compares and computes with it: a date in one text
// form ('YYYY-MM-DD', with ' HH:MM:SS' when it has a time of day, which sorts
// as dates do), True as -1; texts compare without regard to case.
void keepAsAccessDoes(std::string& v, const std::string& type) {
    double d = 0;
    if (type == "BOOLEAN") v = v == "0" || v.empty() ? "0" : "-1";
    else if (type == "DATETIME" && packedIsoDate(v) < 0 && parseIsoDateTime(v, d)) v = workbook::isoFromOleDate(d, true);
}

// Creates the table (its columns' types declared or inferred from its rows)
// and returns the types.
std::vector<std::string> defineTable(SqliteBackend& db, TableText& t) {
    uniqueNames(t.columns);
    std::vector<std::string> types;
    std::string sql = "CREATE TABLE " + quoteSqlName(t.name) + " (";
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
        if (c) sql += ", ";
        const std::string& type = types.emplace_back(
            c < t.declared.size() && !t.declared[c].empty() ? t.declared[c] : inferType(t, c));
        sql += quoteSqlName(t.columns[c]) + " " + type;
        if (type.starts_with("VARCHAR") || type == "TEXT") sql += std::string(" COLLATE ") + kJetTextCollation;
    }
    for (const std::string& fk : t.foreignKeys) sql += ", " + fk;
    sql += ")";
    db.exec(sql);
    return types;
}

// Writes `count` rows into the table, row i as row(i) gives it (its values
// as Access keeps them), each counted against the memory ceiling as `what`.
template <typename Row>
void insertRows(SqliteBackend& db, const TableText& t, std::size_t count, Row row, const char* what) {
    if (t.columns.empty()) return;
    std::string ins = "INSERT INTO " + quoteSqlName(t.name) + " VALUES (";
    for (std::size_t c = 0; c < t.columns.size(); ++c) ins += c ? ",?" : "?";
    ins += ")";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db.handle(), ins.c_str(), -1, &st, nullptr) != SQLITE_OK)
        raiseProvider(kSource, sqlite3_errmsg(db.handle()));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> finalizer(st, sqlite3_finalize);
    std::vector<bool> singles(t.columns.size());
    for (std::size_t c = 0; c < t.declared.size() && c < singles.size(); ++c) singles[c] = t.declared[c] == "SINGLE";
    db.exec("BEGIN");
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 1024 == 1023 && sys::deadlinePassed()) raiseTimeout(kSource);
        const std::vector<std::optional<std::string>>& values = row(i);
        // A row takes its texts and a little more in the database.
        std::int64_t bytes = 16 * static_cast<std::int64_t>(t.columns.size());
        for (const auto& v : values)
            if (v) bytes += static_cast<std::int64_t>(v->size());
        db.countLoaded(bytes, what);
        for (std::size_t c = 0; c < t.columns.size(); ++c) {
            double real = 0;
            if (c < values.size() && values[c] && singles[c] && readDecimal(*values[c], real))
                sqlite3_bind_double(st, static_cast<int>(c + 1), real); // SQLite's reading may miss its last bit
            else if (c < values.size() && values[c])
                sqlite3_bind_text(st, static_cast<int>(c + 1), values[c]->data(), static_cast<int>(values[c]->size()),
                                  SQLITE_STATIC);
            else
                sqlite3_bind_null(st, static_cast<int>(c + 1));
        }
        if (sqlite3_step(st) != SQLITE_DONE) raiseProvider(kSource, sqlite3_errmsg(db.handle()));
        sqlite3_reset(st);
    }
    db.exec("COMMIT");
}

void createTable(SqliteBackend& db, TableText& t) {
    const std::vector<std::string> types = defineTable(db, t);
    insertRows(db, t, t.rows.size(), [&](std::size_t i) -> const std::vector<std::optional<std::string>>& {
        auto& values = t.rows[i];
        for (std::size_t c = 0; c < values.size() && c < types.size(); ++c)
            if (values[c]) keepAsAccessDoes(*values[c], types[c]);
        return values;
    }, "the data read from the file");
}

// ---------------------------------------------------------------- text

// Delimited records: quoted fields may hold the delimiter, doubled quotes and
// line breaks. An unquoted empty field is null.
std::vector<std::vector<std::optional<std::string>>> parseDelimited(const std::string& text, char delim) {
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::vector<std::optional<std::string>> row;
    std::string field;
    bool quoted = false, wasQuoted = false, any = false;
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto endField = [&] {
        if (field.empty() && !wasQuoted) row.emplace_back(std::nullopt);
        else row.emplace_back(std::move(field));
        field.clear();
        wasQuoted = false;
    };
    while (i < n) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < n && text[i + 1] == '"') { field.push_back('"'); i += 2; continue; }
                quoted = false;
                ++i;
                continue;
            }
            field.push_back(c);
            ++i;
            continue;
        }
        if (c == '"' && field.empty() && !wasQuoted) { quoted = wasQuoted = any = true; ++i; continue; }
        if (c == delim) { endField(); any = true; ++i; continue; }
        if (c == '\r' || c == '\n') {
            if (any || !field.empty()) { endField(); rows.push_back(std::move(row)); row.clear(); }
            any = false;
            i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        field.push_back(c);
        any = true;
        ++i;
    }
    if (any || !field.empty() || quoted) { endField(); rows.push_back(std::move(row)); }
    return rows;
}


// A block of workbook cells as a table: the first row names the columns
// (with a header), the column types come from the cells' kinds. Its rows
// are written one at a time, a shared text copied only for its row.
void createBlockTable(SqliteBackend& db, workbook::Contents& book, const workbook::Block& b, bool header,
                      const char* what) {
    using workbook::CellKind;
    TableText t;
    t.name = b.name;
    auto rows = b.rows.begin();
    if (header && rows != b.rows.end()) {
        for (const workbook::Cell& c : *rows) t.columns.push_back(book.text(c));
        ++rows;
    }
    for (std::size_t c = t.columns.size(); c < b.width; ++c) t.columns.push_back("F" + std::to_string(c + 1));
    if (t.columns.empty()) t.columns.push_back("F1");
    t.declared.assign(t.columns.size(), std::string());
    for (std::size_t c = 0; c < b.width; ++c) {
        bool text = false, number = false, date = false, boolean = false, integral = true;
        std::size_t longest = 0;
        for (auto r = rows; r != b.rows.end(); ++r) {
            const workbook::Cell& cell = (*r)[c];
            switch (cell.kind) {
            case CellKind::Empty: continue;
            case CellKind::Text: text = true; break;
            case CellKind::Date: date = true; break;
            case CellKind::Boolean: boolean = true; break;
            case CellKind::Number:
                number = true;
                if (integral && !isInteger(cell.text)) integral = false;
                break;
            }
            longest = std::max(longest, book.text(cell).size());
        }
        const int kinds = text + number + date + boolean;
        std::string& type = t.declared[c];
        if (kinds == 1 && boolean) type = "BOOLEAN";
        else if (kinds == 1 && date) type = "DATETIME";
        else if (kinds == 1 && number) type = integral ? "INTEGER" : "DOUBLE";
        else type = longest > 255 ? "TEXT" : "VARCHAR(255)";
    }
    const std::vector<std::string> types = defineTable(db, t);
    std::vector<std::optional<std::string>> values(b.width);
    const std::size_t first = static_cast<std::size_t>(rows - b.rows.begin());
    insertRows(db, t, b.rows.size() - first, [&](std::size_t i) -> const std::vector<std::optional<std::string>>& {
        const std::vector<workbook::Cell>& cells = b.rows[first + i];
        std::int64_t bytes = 0;
        for (std::size_t c = 0; c < b.width; ++c) {
            values[c].reset();
            if (cells[c].kind == CellKind::Empty) continue;
            keepAsAccessDoes(values[c].emplace(book.text(cells[c])), types[c]);
            bytes += static_cast<std::int64_t>(values[c]->size());
        }
        book.countText(bytes);
        return values;
    }, what);
}

} // namespace

namespace workbook {

std::string numberText(double v) { return roundTripText(v); }

std::string isoFromOleDate(double v, bool dayOnlyAtMidnight) {
    double day = v >= 0 ? std::floor(v) : std::ceil(v);
    double frac = std::fabs(v - day);
    long long secs = std::llround(frac * 86400.0);
    if (secs >= 86400) { secs -= 86400; day += v >= 0 ? 1 : -1; }
    // civil from days (days since 1970-01-01); 1899-12-30 is day -25569
    long long z = static_cast<long long>(day) - 25569 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
    char buf[160];
    if (dayOnlyAtMidnight && secs == 0) std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld", y, m, d);
    else std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y, m, d, secs / 3600,
                       (secs / 60) % 60, secs % 60);
    return buf;
}

} // namespace workbook

namespace {

// A number written with a decimal comma and "." grouping thousands
// ("-1.234,5", "3,5e2") in the form SQL reads; nothing when it is none.
std::optional<std::string> commaNumber(std::string_view v) {
    std::string out;
    std::size_t i = 0, digits = 0, group = 0; // group: digits since the last "."
    bool grouped = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) out += v[i++];
    for (; i < v.size() && (std::isdigit(static_cast<unsigned char>(v[i])) || v[i] == '.'); ++i) {
        if (v[i] == '.') {
            if (digits == 0 || (grouped ? group != 3 : group > 3)) return std::nullopt;
            grouped = true;
            group = 0;
            continue;
        }
        out += v[i];
        ++digits;
        ++group;
    }
    if (digits == 0 || (grouped && group != 3)) return std::nullopt;
    if (i < v.size() && v[i] == ',') {
        out += '.';
        ++i;
    }
    out += v.substr(i);
    double d = 0;
    if (!readDecimal(out, d) || !std::isfinite(d)) return std::nullopt;
    return out;
}

// The column's values in the form SQL reads when every one is such a number.
void readNumbersWithComma(TableText& t, std::size_t c) {
    std::vector<std::string> read;
    for (const auto& row : t.rows) {
        if (c >= row.size() || !row[c]) continue;
        std::optional<std::string> n = commaNumber(*row[c]);
        if (!n) return;
        read.push_back(std::move(*n));
    }
    std::size_t k = 0;
    for (auto& row : t.rows)
        if (c < row.size() && row[c]) *row[c] = std::move(read[k++]);
}

} // namespace

std::unique_ptr<Backend> importTextFolder(const std::string& folder, bool header, char delimiter, char decimal) {
    auto db = std::make_unique<JetBackend>(SqliteBackend::openMemory());
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        std::string ext = e.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (e.is_regular_file(ec) && (ext == ".csv" || ext == ".txt" || ext == ".tab" || ext == ".asc"))
            files.push_back(e.path());
    }
    if (ec) raiseProvider(kSource, "The folder '" + folder + "' cannot be read: " + ec.message());
    std::sort(files.begin(), files.end());
    for (const fs::path& p : files) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream buf;
        buf << in.rdbuf();
        std::string text = buf.str();
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            text.erase(0, 3);
        } else if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0) {
            // UTF-16 with its byte order mark, as a spreadsheet saves
            // "Unicode text".
            const bool little = text[0] == '\xFF';
            std::u16string units;
            units.reserve(text.size() / 2);
            for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
                const auto a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(text[i + 1]);
                units.push_back(static_cast<char16_t>(little ? a | b << 8 : a << 8 | b));
            }
            text = toUtf8(units);
        }
        // Text that is not well-formed UTF-8 is read as Windows-1252, the
        // code page such files were written in.
        if (!isValidUtf8(text)) text = sys::cp1252ToUtf8(text);
        TableText t;
        const std::string file = p.filename().string();
        t.name = file;
        std::replace(t.name.begin(), t.name.end(), '.', '#');
        t.rows = parseDelimited(text, delimiter);
        std::size_t width = 0;
        for (const auto& r : t.rows) width = std::max(width, r.size());
        if (header && !t.rows.empty()) {
            for (const auto& v : t.rows.front()) t.columns.push_back(v ? *v : std::string());
            t.rows.erase(t.rows.begin());
        }
        for (std::size_t c = t.columns.size(); c < width; ++c) t.columns.push_back("F" + std::to_string(c + 1));
        if (t.columns.empty()) t.columns.push_back("F1");
        if (decimal != '.')
            for (std::size_t c = 0; c < width; ++c) readNumbersWithComma(t, c);
        createTable(db->database(), t);
        db->database().exec("CREATE TEMP VIEW " + quoteSqlName(file) + " AS SELECT * FROM " + quoteSqlName(t.name));
    }
    return db;
}

std::unique_ptr<Backend> importExcel(const std::string& path, bool header) {
    // The file's own first bytes say its format, whatever the connection
    // string's Excel version says.
    const std::unique_ptr<workbook::Contents> book = workbook::readWorkbook(path);
    auto db = std::make_unique<JetBackend>(SqliteBackend::openMemory());
    const std::string what = "the tables of the workbook '" + path + "'";
    // One table's block of cells at a time: a defined name over a large
    // sheet holds its cells only while its table is made.
    try {
        for (const workbook::TableArea& area : book->tables) {
            if (sys::deadlinePassed()) raiseTimeout(kSource);
            const workbook::Block block = book->cut(area);
            createBlockTable(db->database(), *book, block, header, what.c_str());
            book->release(block.held);
        }
    } catch (const std::bad_alloc&) {
        raiseOutOfMemory(kSource, what);
    }
    return db;
}

namespace {

// A column of a table read from the file, by name; -1 when it has none.
int columnOf(const TableText& t, const char* name) {
    for (std::size_t c = 0; c < t.columns.size(); ++c)
        if (t.columns[c] == name) return static_cast<int>(c);
    return -1;
}

std::string bracketed(const std::string& name) { return "[" + name + "]"; }

// The Access SQL of a saved query from its parts (one row per part: 1 the
// kind, 2 a parameter, 3 DISTINCT, DISTINCTROW and TOP, 5 a table, 6 a column, 7 a join,
// 8 WHERE, 9 GROUP BY, 10 HAVING, 11 ORDER BY); "" with `why` set when it is
// a kind that cannot be run here.
struct QueryPart {
    int attribute = 0, flag = 0;
    std::string name1, name2, expression;
};

std::string savedQuerySql(const std::vector<QueryPart>& parts, std::string& why) {
    int kind = 1;
    std::string predicate, columns, where, having;
    std::vector<std::string> groups, orders, unions;
    std::vector<std::pair<std::string, std::string>> tables; // key (alias or name), term
    std::vector<const QueryPart*> joins;
    bool unionDistinct = false;
    for (const QueryPart& p : parts) {
        switch (p.attribute) {
        case 1: kind = p.flag; break;
        case 2: why = "it asks for parameters by name ([" + p.name1 + "])"; return {};
        case 3:
            unionDistinct = (p.flag & 0x2) != 0;
            predicate = (p.flag & 0x2) ? " DISTINCT" : (p.flag & 0x8) ? " DISTINCTROW" : "";
            if (p.flag & 0x30) predicate += " TOP " + p.name1 + ((p.flag & 0x20) ? " PERCENT" : "");
            break;
        case 5:
            if (kind == 9) { unions.push_back(p.expression); break; }
            if (!p.expression.empty()) tables.emplace_back(p.name2, "(" + p.expression + ") AS " + bracketed(p.name2));
            else tables.emplace_back(p.name2.empty() ? p.name1 : p.name2,
                                     bracketed(p.name1) + (p.name2.empty() ? "" : " AS " + bracketed(p.name2)));
            break;
        case 6:
            columns += (columns.empty() ? "" : ", ") + p.expression + (p.name1.empty() ? "" : " AS " + bracketed(p.name1));
            break;
        case 7: joins.push_back(&p); break;
        case 8: where = p.expression; break;
        case 9: groups.push_back(p.expression); break;
        case 10: having = p.expression; break;
        case 11: orders.push_back(p.expression + (p.name1 == "D" ? " DESC" : "")); break;
        default: break;
        }
    }
    auto list = [](const std::vector<std::string>& v) {
        std::string out;
        for (const std::string& e : v) out += (out.empty() ? "" : ", ") + e;
        return out;
    };
    switch (kind) {
    case 1: break;
    case 9: {
        std::string sql;
        for (const std::string& u : unions) sql += (sql.empty() ? "" : unionDistinct ? " UNION " : " UNION ALL ") + u;
        return orders.empty() ? sql : sql + " ORDER BY " + list(orders);
    }
    case 6: why = "it is a crosstab query (TRANSFORM ... PIVOT)"; return {};
    case 2: case 3: case 4: case 5: why = "it is an action query"; return {};
    default: why = "it is a data-definition or pass-through query"; return {};
    }
    // The joins, each adding the table it reaches to those joined before.
    auto term = [&](const std::string& key) {
        for (const auto& [k, t] : tables)
            if (k == key) return t;
        return bracketed(key);
    };
    std::string from;
    std::set<std::string> joined;
    for (const QueryPart* j : joins) {
        const char* kindWord = j->flag == 2 ? " LEFT JOIN " : j->flag == 3 ? " RIGHT JOIN " : " INNER JOIN ";
        if (from.empty()) {
            from = term(j->name1) + kindWord + term(j->name2);
        } else if (joined.count(j->name1) && !joined.count(j->name2)) {
            from = "(" + from + ")" + kindWord + term(j->name2);
        } else if (joined.count(j->name2) && !joined.count(j->name1)) {
            const char* mirrored = j->flag == 2 ? " RIGHT JOIN " : j->flag == 3 ? " LEFT JOIN " : " INNER JOIN ";
            from = "(" + from + ")" + mirrored + term(j->name1);
        } else {
            where = where.empty() ? j->expression : "(" + where + ") AND (" + j->expression + ")";
            continue;
        }
        from += " ON " + j->expression;
        joined.insert(j->name1);
        joined.insert(j->name2);
    }
    for (const auto& [key, t] : tables)
        if (!joined.count(key)) from += (from.empty() ? "" : ", ") + t;
    std::string sql = "SELECT" + predicate + " " + (columns.empty() ? "*" : columns);
    if (!from.empty()) sql += " FROM " + from;
    if (!where.empty()) sql += " WHERE " + where;
    if (!groups.empty()) sql += " GROUP BY " + list(groups);
    if (!having.empty()) sql += " HAVING " + having;
    if (!orders.empty()) sql += " ORDER BY " + list(orders);
    return sql;
}

// The saved queries of an Access file as views, in Access SQL translated as
// commands are; one that cannot be offered (its kind, a parameter, a name it
// refers to) is told to the backend with the reason.
void offerSavedQueries(JetBackend& db, const TableText& objects, const TableText& queries) {
    const int id = columnOf(objects, "Id"), name = columnOf(objects, "Name"), type = columnOf(objects, "Type");
    const int qid = columnOf(queries, "ObjectId"), attr = columnOf(queries, "Attribute"),
              flag = columnOf(queries, "Flag"), n1 = columnOf(queries, "Name1"), n2 = columnOf(queries, "Name2"),
              expr = columnOf(queries, "Expression");
    if (id < 0 || name < 0 || type < 0 || qid < 0 || attr < 0 || flag < 0 || n1 < 0 || n2 < 0 || expr < 0) return;
    auto get = [](const auto& row, int c) { return row[static_cast<std::size_t>(c)].value_or(""); };
    std::map<std::string, std::vector<QueryPart>> parts; // by object id
    for (const auto& r : queries.rows)
        parts[get(r, qid)].push_back({std::atoi(get(r, attr).c_str()), std::atoi(get(r, flag).c_str()), get(r, n1),
                                      get(r, n2), get(r, expr)});
    std::vector<std::string> views;
    for (const auto& r : objects.rows) {
        const std::string query = get(r, name);
        // Type 5 is a query; "~sq_" names are the record sources of forms and reports.
        if (get(r, type) != "5" || query.rfind("~", 0) == 0) continue;
        std::string why;
        const std::string access = savedQuerySql(parts[get(r, id)], why);
        if (access.empty()) {
            db.refuseQuery(query, why.empty() ? "it has no statement" : why);
            continue;
        }
        try {
            db.addView(query, access);
            views.push_back(query);
        } catch (const AutomationError& e) {
            db.refuseQuery(query, e.Description);
        }
    }
    // A view whose names do not resolve (a parameter by name, a form's
    // control, a query that was refused) is taken back, until all resolve.
    for (bool dropped = true; dropped;) {
        dropped = false;
        for (auto v = views.begin(); v != views.end();) {
            sqlite3_stmt* st = nullptr;
            const std::string probe = "SELECT * FROM " + quoteSqlName(*v);
            if (sqlite3_prepare_v2(db.database().handle(), probe.c_str(), -1, &st, nullptr) == SQLITE_OK) {
                sqlite3_finalize(st);
                ++v;
                continue;
            }
            std::string why = sqlite3_errmsg(db.database().handle());
            if (why.starts_with("no such column: ")) why = "it asks for parameters by name ([" + why.substr(16) + "])";
            db.database().exec("DROP VIEW " + quoteSqlName(*v));
            db.refuseQuery(*v, why);
            v = views.erase(v);
            dropped = true;
        }
    }
}

} // namespace

std::unique_ptr<Backend> importAccess(const std::string& path) {
    MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!mdb)
        raiseProvider(kSource, "The file '" + path + "' is not a database that can be read (an "
                               "Access .mdb file or an SQLite database file is expected).");
    struct Closer { MdbHandle* h; ~Closer() { mdb_close(h); } } closer{mdb};
    // A database file is whole pages; anything else was cut short, and the
    // reader would silently give fewer tables or rows.
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    const auto page = static_cast<std::uintmax_t>(mdb->fmt->pg_size);
    if (ec || page == 0 || size % page != 0)
        raiseProvider(kSource, "The database file '" + path + "' is damaged (it ends inside a page).");
    mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_bind_size(mdb, 65536);
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        raiseProvider(kSource, "The catalog of the database '" + path + "' cannot be read.");

    auto readTable = [&](MdbCatalogEntry* entry, TableText& t) {
        MdbTableDef* table = mdb_read_table(entry);
        if (!table) return false;
        mdb_read_columns(table);
        mdb_rewind_table(table);
        const unsigned n = table->num_cols;
        std::vector<std::vector<char>> bound(n, std::vector<char>(65536 + 1));
        std::vector<int> lens(n, 0);
        std::vector<int> types(n);
        std::vector<MdbColumn*> cols(n);
        for (unsigned i = 0; i < n; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            cols[i] = col;
            t.columns.emplace_back(col->name);
            types[i] = col->col_type;
            std::string decl;
            switch (col->col_type) {
            case MDB_BOOL: decl = "BOOLEAN"; break;
            case MDB_BYTE: decl = "TINYINT"; break;
            case MDB_INT: decl = "SMALLINT"; break;
            case MDB_LONGINT: decl = "INTEGER"; break;
            case MDB_MONEY: decl = "CURRENCY"; break;
            case MDB_FLOAT: decl = "SINGLE"; break;
            case MDB_DOUBLE: decl = "DOUBLE"; break;
            case MDB_DATETIME: decl = "DATETIME"; break;
            case MDB_TEXT: {
                // Jet 4 stores text sizes in bytes of UTF-16; a text holds at most 255 characters.
                const int size = col->col_size > 255 ? col->col_size / 2 : col->col_size;
                decl = "VARCHAR(" + std::to_string(size > 0 ? size : 255) + ")";
                break;
            }
            case MDB_MEMO: decl = "TEXT"; break;
            case MDB_NUMERIC: decl = "NUMERIC"; break;
            case MDB_REPID: decl = "GUID"; break;
            default: decl = "BLOB"; break;
            }
            t.declared.push_back(decl);
            mdb_bind_column(table, static_cast<int>(i + 1), bound[i].data(), &lens[i]);
        }
        while (mdb_fetch_row(table)) {
            std::vector<std::optional<std::string>> row(n);
            for (unsigned i = 0; i < n; ++i) {
                // Binary and OLE objects are not brought over; a zero length is null.
                if (types[i] == MDB_OLE || types[i] == MDB_BINARY || types[i] == MDB_COMPLEX) continue;
                if (types[i] == MDB_BOOL) { row[i] = std::string(bound[i].data()); continue; }
                if (lens[i] <= 0) continue;
                if (types[i] == MDB_DATETIME && cols[i]->cur_value_len == 8) {
                    // The stored value is an automation date already; the
                    // library's own formatting fails before 1900.
                    row[i] = workbook::isoFromOleDate(mdb_get_double(mdb->pg_buf, cols[i]->cur_value_start), true);
                    continue;
                }
                // The library writes floating-point numbers with printf, in
                // the process's locale (a decimal comma under a German one):
                // they are written here from the stored value, with the
                // library's digits but always a decimal point.
                // A Single keeps its exact value, widened to a double as
                // Access widens it in sums and averages.
                if (types[i] == MDB_FLOAT && cols[i]->cur_value_len == 4) {
                    row[i] = roundTripText(mdb_get_single(mdb->pg_buf, cols[i]->cur_value_start));
                    continue;
                }
                if (types[i] == MDB_DOUBLE && cols[i]->cur_value_len == 8) {
                    row[i] = roundTripText(mdb_get_double(mdb->pg_buf, cols[i]->cur_value_start));
                    continue;
                }
                row[i] = std::string(bound[i].data(), static_cast<std::size_t>(std::min(lens[i], 65536)));
            }
            t.rows.push_back(std::move(row));
        }
        mdb_free_tabledef(table);
        return true;
    };

    std::vector<TableText> tables;
    TableText objects, queries; // the catalog and the saved queries' parts
    std::map<std::string, std::vector<std::array<std::string, 5>>> relations; // child -> rows
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE) continue;
        const std::string name = entry->object_name;
        if (name == "MSysRelationships") {
            TableText rel;
            if (!readTable(entry, rel)) continue;
            auto col = [&](const char* n) {
                for (std::size_t c = 0; c < rel.columns.size(); ++c)
                    if (rel.columns[c] == n) return static_cast<int>(c);
                return -1;
            };
            const int obj = col("szObject"), oc = col("szColumn"), ref = col("szReferencedObject"),
                      rc = col("szReferencedColumn"), rn = col("szRelationship");
            if (obj < 0 || oc < 0 || ref < 0 || rc < 0 || rn < 0) continue;
            for (auto& r : rel.rows) {
                auto get = [&](int c) { return r[static_cast<std::size_t>(c)].value_or(""); };
                relations[get(obj)].push_back({get(rn), get(oc), get(ref), get(rc), ""});
            }
            continue;
        }
        if (name == "MSysObjects") readTable(entry, objects);
        if (name == "MSysQueries") readTable(entry, queries);
        if (mdb_is_system_table(entry) || name.rfind("MSys", 0) == 0 || name.rfind("~", 0) == 0) continue;
        TableText t;
        t.name = name;
        if (readTable(entry, t)) tables.push_back(std::move(t));
    }
    auto db = std::make_unique<JetBackend>(SqliteBackend::openMemory());
    for (TableText& t : tables) {
        auto it = relations.find(t.name);
        if (it != relations.end()) {
            std::map<std::string, std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> byName;
            std::vector<std::string> order;
            for (const auto& r : it->second) {
                if (!byName.count(r[0])) order.push_back(r[0]);
                auto& k = byName[r[0]];
                k.first = r[2];
                k.second.emplace_back(r[1], r[3]);
            }
            for (const std::string& kn : order) {
                const auto& k = byName[kn];
                std::string from, to;
                for (const auto& [a, b] : k.second) {
                    from += (from.empty() ? "" : ", ") + quoteSqlName(a);
                    to += (to.empty() ? "" : ", ") + quoteSqlName(b);
                }
                t.foreignKeys.push_back("FOREIGN KEY (" + from + ") REFERENCES " + quoteSqlName(k.first) + " (" + to + ")");
            }
        }
        createTable(db->database(), t);
    }
    offerSavedQueries(*db, objects, queries);
    return db;
}

} // namespace qz::ado
