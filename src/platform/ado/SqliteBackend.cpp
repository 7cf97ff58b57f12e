// The SQLite provider: database files opened directly, and the in-memory
// databases that the file sources are read into.
#include "platform/ado/Backend.h"
#include "platform/ado/JetSql.h"
#include "platform/ado/SqlText.h"

#include "platform/automation/Text.h"
#include "platform/system/Deadline.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>

namespace qz::ado {

namespace {

constexpr const char* kSource = "SQLite";

[[noreturn]] void fail(sqlite3* db, std::string_view what) {
    std::string msg(what);
    if (db) {
        msg += ": ";
        msg += sqlite3_errmsg(db);
    }
    raiseProvider(kSource, std::move(msg));
}

struct Statement {
    sqlite3_stmt* st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

// Prepares the one statement of sql; more than one is refused rather than
// silently cut.
void prepare(sqlite3* db, std::string_view sql, Statement& s) {
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &s.st, &tail) != SQLITE_OK)
        fail(db, "The statement cannot be prepared");
    if (!s.st) raiseProvider(kSource, "The command text holds no statement.");
    for (const char* p = tail; p && p < sql.data() + sql.size(); ++p) {
        if (*p == ';' || *p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') continue;
        raiseProvider(kSource, "The command text holds more than one statement.");
    }
}

void describeColumns(sqlite3_stmt* st, RecordsetData& data) {
    const int n = sqlite3_column_count(st);
    data.columns.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const char* name = sqlite3_column_name(st, i);
        const char* decl = sqlite3_column_decltype(st, i);
        std::int32_t size = 0;
        const std::int32_t type = typeFromDeclaration(decl ? decl : "", size);
        data.columns.emplace_back(name ? name : "", type, size);
    }
}

Variant dateFromNumber(sqlite3_value* v, int storage) {
    if (storage == SQLITE_FLOAT) return Variant::date(dateOfJulianDay(sqlite3_value_double(v)));
    return Variant::date(dateOfUnixSeconds(sqlite3_value_int64(v)));
}

// Access's functions that SQLite lacks under any name (Nz, UCase, LCase,
// Left, Right, Mid, Len, Year, Month, Day, Now) are registered on every
// database, so that commands written for Access run on SQLite files too.
// Left and Right are join keywords of SQLite's grammar: their calls are
// quoted before a statement is prepared.
bool identifierByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '$' ||
           u >= 0x80;
}

// The end of a comment starting at i (the text's end when it is not closed),
// or i when none starts there.
std::size_t skipComment(std::string_view sql, std::size_t i) {
    if (i >= sql.size()) return i;
    const char c = sql[i];
    if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
        const std::size_t end = sql.find('\n', i);
        return end == std::string_view::npos ? sql.size() : end + 1;
    }
    if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
        const std::size_t end = sql.find("*/", i + 2);
        return end == std::string_view::npos ? sql.size() : end + 2;
    }
    return i;
}

// The same for a quoted name or literal, or a comment.
std::size_t skipQuotedOrComment(std::string_view sql, std::size_t i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
        const char close = c == '[' ? ']' : c;
        for (std::size_t j = i + 1; j < sql.size(); ++j) {
            if (sql[j] != close) continue;
            if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) { ++j; continue; } // doubled
            return j + 1;
        }
        return sql.size();
    }
    return skipComment(sql, i);
}

// Jet's calls Left(...) and Right(...) written as "left"(...) and
// "right"(...), which SQLite's grammar takes as calls of the functions above.
// Names in quotes or brackets, literals and comments are left as they are, and
// so are the keywords of a join (never followed by a parenthesis).
std::string quoteJetCalls(std::string_view sql) {
    std::string out;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < sql.size();) {
        if (const std::size_t end = skipQuotedOrComment(sql, i); end != i) {
            i = end;
            continue;
        }
        if (!identifierByte(sql[i])) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < sql.size() && identifierByte(sql[j])) ++j;
        const std::string_view word = sql.substr(i, j - i);
        if ((equalsNoCaseAscii(word, "left") || equalsNoCaseAscii(word, "right")) && (i == 0 || sql[i - 1] != '.')) {
            std::size_t k = j;
            for (std::size_t end;; k = end) {
                while (k < sql.size() && (sql[k] == ' ' || sql[k] == '\t' || sql[k] == '\r' || sql[k] == '\n')) ++k;
                if ((end = skipComment(sql, k)) == k) break;
            }
            if (k < sql.size() && sql[k] == '(') {
                out.append(sql.substr(copied, i - copied));
                out += word.size() == 4 ? "\"left\"" : "\"right\"";
                copied = j;
            }
        }
        i = j;
    }
    if (copied == 0) return std::string(sql);
    out.append(sql.substr(copied));
    return out;
}

// The SQL function load_extension() replaced on a new connection: a driver
// that enables extension loading afterwards (the SQLite ODBC driver does, for
// its own LoadExt key) re-enables only the built-in function, which an
// application-defined one of the same name hides. The C switch is turned off
// too, for a connection nobody turns it on again.
void refuseLoadExtension(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_error(ctx, "load_extension() is not allowed: a command cannot load a library.", -1);
}

int guardConnection(sqlite3* db, const char**, const sqlite3_api_routines*) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    for (const int args : {1, 2})
        sqlite3_create_function_v2(db, "load_extension", args, SQLITE_UTF8, nullptr, refuseLoadExtension, nullptr,
                                   nullptr, nullptr);
    return SQLITE_OK;
}

} // namespace

void guardSqliteConnections() {
    static const int rc = sqlite3_auto_extension(reinterpret_cast<void (*)()>(guardConnection));
    if (rc != SQLITE_OK) raiseProvider(kSource, "SQLite connections cannot be guarded against loading libraries.");
}

bool isSqliteFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[16] = {};
    return in.read(head, 16) && std::memcmp(head, "SQLite format 3", 16) == 0;
}

std::string quoteSqlName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::unique_ptr<SqliteBackend> SqliteBackend::openFile(const std::string& path) {
    guardSqliteConnections();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = "The database file '" + path + "' cannot be opened: " +
                          (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        raiseProvider(kSource, std::move(msg));
    }
    sqlite3_busy_timeout(db, 5000);
    addAccessFunctions(db, false);
    // A file that is not a database fails here rather than at the first query.
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::string msg = "The file '" + path + "' is not a usable database: " + sqlite3_errmsg(db);
        sqlite3_close(db);
        raiseProvider(kSource, std::move(msg));
    }
    return std::unique_ptr<SqliteBackend>(new SqliteBackend(db));
}

std::unique_ptr<SqliteBackend> SqliteBackend::openMemory() {
    guardSqliteConnections();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        raiseProvider(kSource, "An in-memory database cannot be created.");
    }
    addAccessFunctions(db, false);
    return std::unique_ptr<SqliteBackend>(new SqliteBackend(db));
}

SqliteBackend::~SqliteBackend() { sqlite3_close(db_); }

void SqliteBackend::exec(const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "unknown error";
        sqlite3_free(err);
        raiseProvider(kSource, std::move(msg));
    }
}

namespace {

// Interrupts the statements of a database once the thread's deadline passes.
struct DeadlineWatch {
    sqlite3* db;
    sys::DeadlineClock::time_point deadline = sys::threadDeadline();
    explicit DeadlineWatch(sqlite3* d) : db(d) {
        if (deadline == sys::DeadlineClock::time_point::max()) return;
        sqlite3_progress_handler(db, 1000, [](void* self) -> int {
            return sys::DeadlineClock::now() >= static_cast<DeadlineWatch*>(self)->deadline ? 1 : 0;
        }, this);
    }
    ~DeadlineWatch() { sqlite3_progress_handler(db, 0, nullptr, nullptr); }
};

// Binds the values to the statement's "?" in order. SQLite reads a decimal
// written in a statement as a real number, and so it is bound.
void bindParameters(sqlite3_stmt* st, std::span<const SqlParameter> values) {
    if (values.empty()) return;
    checkParameterCount(kSource, sqlite3_bind_parameter_count(st), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const SqlParameter& v = values[i];
        const int at = static_cast<int>(i + 1);
        switch (v.kind) {
        case SqlParameter::Kind::Null: sqlite3_bind_null(st, at); break;
        case SqlParameter::Kind::Boolean:
        case SqlParameter::Kind::Integer: sqlite3_bind_int64(st, at, v.integer); break;
        case SqlParameter::Kind::Double: sqlite3_bind_double(st, at, v.number); break;
        case SqlParameter::Kind::Decimal: {
            double d = 0;
            std::from_chars(v.text.data(), v.text.data() + v.text.size(), d);
            sqlite3_bind_double(st, at, d);
            break;
        }
        default:
            sqlite3_bind_text(st, at, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
        }
    }
}

} // namespace

Ref<RecordsetData> SqliteBackend::query(std::string_view sql, std::span<const SqlParameter> parameters) {
    const DeadlineWatch watch(db_);
    Statement s;
    prepare(db_, quoteJetCalls(sql), s);
    bindParameters(s.st, parameters);
    Ref<RecordsetData> data = makeRef<RecordsetData>();
    describeColumns(s.st, *data);
    const std::size_t n = data->columns.size();
    // Columns without a declared type (expressions) take the type of their
    // first value.
    std::vector<int> firstStorage(n, 0);
    // What each column does with each storage class, decided once: the
    // common cases (integers into a Long, reals into a Double, text kept as
    // text, dates read from their text) are written straight into the cell.
    enum Use : std::uint8_t { kPlain, kDate, kString, kTyped };
    struct Plan {
        std::int32_t type;
        Use use;
        bool untyped;      // typed by its first value
        bool intAsLong;    // an integer that fits is a Long
        bool realAsDouble; // a real is a Double
    };
    std::vector<Plan> plans(n);
    for (std::size_t c = 0; c < n; ++c) {
        const std::int32_t type = data->columns[c].type;
        Plan& p = plans[c];
        p.type = type;
        p.use = isDateType(type) ? kDate
                : (type == adEmpty || isStringType(type)) ? kString
                : (type == adInteger || type == adBigInt || type == adDouble) ? kPlain : kTyped;
        p.untyped = type == adEmpty;
        p.intAsLong = (p.use == kPlain || type == adEmpty) && type != adDouble;
        p.realAsDouble = type == adDouble || type == adEmpty;
    }
    int rc;
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
        Cell* row = data->addRow();
        for (std::size_t c = 0; c < n; ++c) {
            // The column's value read through its value object: one call to
            // find it instead of one per accessor (the connection is used by
            // one thread, which is all the value object needs).
            sqlite3_value* v = sqlite3_column_value(s.st, static_cast<int>(c));
            const int storage = sqlite3_value_type(v);
            const Plan& p = plans[c];
            Cell& cell = row[c];
            if (p.untyped && storage != SQLITE_NULL && !firstStorage[c]) firstStorage[c] = storage;
            switch (storage) {
            case SQLITE_NULL: cell.type = VarType::Null; break;
            case SQLITE_INTEGER: {
                const std::int64_t i = sqlite3_value_int64(v);
                if (p.intAsLong && i >= INT32_MIN && i <= INT32_MAX) {
                    cell.type = VarType::Long;
                    cell.u.i = i;
                } else if (p.use == kDate) {
                    data->set(cell, dateFromNumber(v, storage));
                } else {
                    data->set(cell, valueFromInt(i, p.type));
                }
                break;
            }
            case SQLITE_FLOAT:
                if (p.realAsDouble) {
                    cell.type = VarType::Double;
                    cell.u.d = sqlite3_value_double(v);
                } else if (p.use == kDate) {
                    data->set(cell, dateFromNumber(v, storage));
                } else if (std::int64_t units = 0;
                           p.type == adCurrency && currencyFromDouble(sqlite3_value_double(v), units)) {
                    cell.type = VarType::Currency;
                    cell.u.i = units;
                } else {
                    data->set(cell, valueFromDouble(sqlite3_value_double(v), p.type));
                }
                break;
            case SQLITE_TEXT: {
                const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
                const std::string_view text(t, static_cast<std::size_t>(sqlite3_value_bytes(v)));
                double date = 0;
                std::int64_t parts = -1;
                if (p.use == kString) {
                    data->setString(cell, text);
                } else if (p.use == kDate && (parts = packedIsoDate(text)) >= 0) {
                    cell.type = VarType::Date;
                    cell.size = Cell::kDateParts;
                    cell.u.i = parts;
                } else if (p.use == kDate && parseIsoDateTime(text, date)) {
                    cell.type = VarType::Date;
                    cell.u.d = date;
                } else {
                    data->setText(cell, text, p.type);
                }
                break;
            }
            default: {
                const void* b = sqlite3_value_blob(v);
                const auto size = static_cast<std::size_t>(sqlite3_value_bytes(v));
                if (isStringType(p.type)) data->setString(cell, std::string_view(static_cast<const char*>(b), size));
                else data->set(cell, valueFromBytes(b, size));
            }
            }
        }
    }
    if (rc == SQLITE_INTERRUPT) raiseTimeout(kSource);
    if (rc != SQLITE_DONE) fail(db_, "The statement failed");
    for (std::size_t c = 0; c < n; ++c) {
        Column& col = data->columns[c];
        if (col.type != adEmpty) continue;
        switch (firstStorage[c]) {
        case SQLITE_INTEGER: col.type = adInteger; col.definedSize = 4; break;
        case SQLITE_FLOAT: col.type = adDouble; col.definedSize = 8; break;
        case SQLITE_BLOB: col.type = adLongVarBinary; col.definedSize = kLongDefinedSize; break;
        default: col.type = adVarWChar; col.definedSize = 255; break;
        }
        // Integers too large for a Long were kept as Double.
        if (col.type == adInteger)
            for (std::size_t r = 0; r < data->rowCount; ++r)
                if (data->row(r)[c].type == VarType::Double) { col.type = adDouble; col.definedSize = 8; break; }
    }
    return data;
}

Ref<RecordsetData> SqliteBackend::describe(std::string_view sql) {
    Statement s;
    prepare(db_, quoteJetCalls(sql), s);
    Ref<RecordsetData> data = makeRef<RecordsetData>();
    describeColumns(s.st, *data);
    for (Column& c : data->columns)
        if (c.type == adEmpty) c.type = adVariant;
    return data;
}

std::vector<CatalogTable> SqliteBackend::catalog() {
    std::vector<CatalogTable> tables;
    {
        Statement s;
        prepare(db_, "SELECT name, type FROM sqlite_schema WHERE type IN ('table','view') "
                     "ORDER BY name COLLATE NOCASE", s);
        while (sqlite3_step(s.st) == SQLITE_ROW) {
            CatalogTable t;
            t.name = reinterpret_cast<const char*>(sqlite3_column_text(s.st, 0));
            const bool view = std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(s.st, 1)), "view") == 0;
            const bool system = t.name.rfind("sqlite_", 0) == 0;
            t.type = system ? (view ? "SYSTEM VIEW" : "SYSTEM TABLE") : (view ? "VIEW" : "TABLE");
            tables.push_back(std::move(t));
        }
    }
    Statement cols, keys, pk;
    prepare(db_, "SELECT name, type FROM pragma_table_xinfo(?1) WHERE hidden IN (0,2,3) ORDER BY cid", cols);
    prepare(db_, "SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?1) ORDER BY id, seq", keys);
    prepare(db_, "SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk", pk);
    auto text = [](sqlite3_stmt* st, int i) {
        const unsigned char* t = sqlite3_column_text(st, i);
        return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
    };
    for (CatalogTable& t : tables) {
        sqlite3_bind_text(cols.st, 1, t.name.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(cols.st) == SQLITE_ROW) {
            CatalogColumn c;
            c.name = text(cols.st, 0);
            c.type = typeFromDeclaration(text(cols.st, 1), c.definedSize);
            if (c.type == adEmpty) c.type = adVariant;
            t.columns.push_back(std::move(c));
        }
        sqlite3_reset(cols.st);
        sqlite3_bind_text(keys.st, 1, t.name.c_str(), -1, SQLITE_TRANSIENT);
        std::int64_t lastId = -1;
        while (sqlite3_step(keys.st) == SQLITE_ROW) {
            const std::int64_t id = sqlite3_column_int64(keys.st, 0);
            if (id != lastId) {
                CatalogKey k;
                k.relatedTable = text(keys.st, 1);
                k.name = "FK_" + t.name + "_" + k.relatedTable + (id ? "_" + std::to_string(id) : "");
                t.keys.push_back(std::move(k));
                lastId = id;
            }
            CatalogKeyColumn kc{text(keys.st, 2), text(keys.st, 3)};
            t.keys.back().columns.push_back(std::move(kc));
        }
        sqlite3_reset(keys.st);
        // A key written without the parent's columns refers to its primary key.
        for (CatalogKey& k : t.keys) {
            if (k.columns.empty() || !k.columns.front().relatedColumn.empty()) continue;
            sqlite3_bind_text(pk.st, 1, k.relatedTable.c_str(), -1, SQLITE_TRANSIENT);
            for (std::size_t i = 0; i < k.columns.size() && sqlite3_step(pk.st) == SQLITE_ROW; ++i)
                k.columns[i].relatedColumn = text(pk.st, 0);
            sqlite3_reset(pk.st);
        }
    }
    return tables;
}

std::string sqliteVersion() { return sqlite3_libversion(); }

} // namespace qz::ado
