// ODBC through the unixODBC driver manager: statements run with SQLExecDirect
// and every row fetched at once; the catalog comes from SQLTables,
// SQLColumns and SQLForeignKeys.
#include "platform/ado/Backend.h"
#include "platform/automation/Text.h"

#include <sql.h>
#include <sqlext.h>

#include "platform/ado/SqlText.h"
#include "platform/system/Deadline.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace qz::ado {

namespace {

constexpr const char* kSource = "ODBC";

// Text crosses the driver manager as UTF-16 (the wide entry points), so that
// names and literals outside ASCII reach the driver unchanged.
std::u16string wide(std::string_view utf8) { return fromUtf8(utf8); }
SQLWCHAR* wptr(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }
std::string narrow(const SQLWCHAR* w, std::size_t n) {
    return toUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(w), n));
}

std::string diagnostics(SQLSMALLINT type, SQLHANDLE h) {
    std::string out;
    SQLWCHAR state[8];
    SQLWCHAR text[1024];
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    for (SQLSMALLINT i = 1; i < 8; ++i) {
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, h, i, state, &native, text, 1024, &len))) break;
        if (!out.empty()) out += "\n";
        out += narrow(text, static_cast<std::size_t>(std::min<SQLSMALLINT>(len < 0 ? 0 : len, 1023)));
    }
    return out.empty() ? "The ODBC driver reported an error without a message." : out;
}

// One environment for the process: ODBC 3 behaviour. A driver that opens
// SQLite databases opens them with extension loading refused.
SQLHENV environment() {
    static SQLHENV env = [] {
        guardSqliteConnections();
        SQLHENV e = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &e)))
            return SQLHENV(SQL_NULL_HENV);
        SQLSetEnvAttr(e, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return e;
    }();
    if (env == SQL_NULL_HENV) raiseProvider(kSource, "The ODBC driver manager cannot be started.");
    return env;
}

struct Stmt {
    SQLHSTMT h = SQL_NULL_HSTMT;
    explicit Stmt(SQLHDBC dbc) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h)))
            raiseProvider(kSource, diagnostics(SQL_HANDLE_DBC, dbc));
    }
    ~Stmt() { SQLFreeHandle(SQL_HANDLE_STMT, h); }
    void check(SQLRETURN rc) const {
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) raiseProvider(kSource, diagnostics(SQL_HANDLE_STMT, h));
    }
};

std::int32_t adoType(SQLSMALLINT sqlType, SQLULEN size, std::int32_t& definedSize) {
    definedSize = static_cast<std::int32_t>(size > 0x3FFFFFFF ? kLongDefinedSize : size);
    switch (sqlType) {
    case SQL_CHAR: return adChar;
    case SQL_VARCHAR: return adVarChar;
    case SQL_LONGVARCHAR: definedSize = kLongDefinedSize; return adLongVarChar;
    case SQL_WCHAR: return adWChar;
    case SQL_WVARCHAR: return adVarWChar;
    case SQL_WLONGVARCHAR: definedSize = kLongDefinedSize; return adLongVarWChar;
    case SQL_DECIMAL:
    case SQL_NUMERIC: definedSize = 19; return adNumeric;
    case SQL_INTEGER: definedSize = 4; return adInteger;
    case SQL_SMALLINT: definedSize = 2; return adSmallInt;
    case SQL_BIGINT: definedSize = 8; return adBigInt;
    case SQL_TINYINT: definedSize = 1; return adTinyInt;
    case SQL_BIT: definedSize = 2; return adBoolean;
    case SQL_REAL: definedSize = 4; return adSingle;
    case SQL_FLOAT:
    case SQL_DOUBLE: definedSize = 8; return adDouble;
    case SQL_TYPE_DATE:
    case SQL_DATE: definedSize = 6; return adDBDate;
    case SQL_TYPE_TIME:
    case SQL_TIME: definedSize = 6; return adDBTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: definedSize = 16; return adDBTimeStamp;
    case SQL_BINARY: return adBinary;
    case SQL_VARBINARY: return adVarBinary;
    case SQL_LONGVARBINARY: definedSize = kLongDefinedSize; return adLongVarBinary;
    case SQL_GUID: definedSize = 16; return adGUID;
    default: return adVariant;
    }
}

// A driver that knows a column's type only by its declared name (SQLite's)
// gives an amount or a decimal number as text, which a script would read in
// its locale's way (1234.5 as 12345 in German): by that name it is the
// number the same file gives read directly. 0 for any other column.
std::int32_t numberTypeByName(const Stmt& s, SQLUSMALLINT col) {
    SQLWCHAR name[64];
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLColAttributeW(s.h, col, SQL_DESC_TYPE_NAME, name, sizeof name, &bytes, nullptr)))
        return 0;
    const std::size_t got = bytes < 0 ? 0 : std::min(static_cast<std::size_t>(bytes), sizeof name - sizeof(SQLWCHAR));
    std::string n = toUpperAscii(narrow(name, got / sizeof(SQLWCHAR)));
    n = n.substr(0, n.find('('));
    while (!n.empty() && n.back() == ' ') n.pop_back();
    if (n == "MONEY" || n == "SMALLMONEY" || n == "CURRENCY") return adCurrency;
    if (n == "DECIMAL" || n == "DEC" || n == "NUMERIC" || n == "NUMBER") return adNumeric;
    return 0;
}

void describeColumns(const Stmt& s, RecordsetData& data) {
    SQLSMALLINT n = 0;
    s.check(SQLNumResultCols(s.h, &n));
    for (SQLSMALLINT i = 1; i <= n; ++i) {
        SQLWCHAR name[512];
        SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        s.check(SQLDescribeColW(s.h, static_cast<SQLUSMALLINT>(i), name, 512, &nameLen, &type, &size,
                                &digits, &nullable));
        std::int32_t defined = 0;
        std::int32_t t = adoType(type, size, defined);
        bool floating = false;
        if (t == adChar || t == adVarChar || t == adWChar || t == adVarWChar) {
            if (const std::int32_t byName = numberTypeByName(s, static_cast<SQLUSMALLINT>(i))) {
                t = byName;
                defined = byName == adCurrency ? 8 : 19;
            }
        } else if (t == adDouble && numberTypeByName(s, static_cast<SQLUSMALLINT>(i)) == adCurrency) {
            // PostgreSQL's money, which its driver gives as a floating number.
            t = adCurrency;
            defined = 8;
            floating = true;
        }
        Column c(narrow(name, static_cast<std::size_t>(std::min<SQLSMALLINT>(nameLen < 0 ? 0 : nameLen, 511))), t, defined);
        c.floating = floating;
        c.precision = static_cast<std::int32_t>(size);
        c.numericScale = digits;
        data.columns.push_back(std::move(c));
    }
}

// Reads a text or binary value in pieces (long values come in several).
bool readChunks(const Stmt& s, SQLUSMALLINT col, SQLSMALLINT cType, std::string& out) {
    out.clear();
    char buf[4096];
    const std::size_t terminator = cType == SQL_C_WCHAR ? sizeof(SQLWCHAR) : (cType == SQL_C_CHAR ? 1 : 0);
    for (;;) {
        SQLLEN ind = 0;
        const SQLRETURN rc = SQLGetData(s.h, col, cType, buf, sizeof buf, &ind);
        if (rc == SQL_NO_DATA) break;
        s.check(rc);
        if (ind == SQL_NULL_DATA) return false;
        const std::size_t room = sizeof buf - terminator;
        if (ind == SQL_NO_TOTAL || static_cast<std::size_t>(ind) > room) {
            out.append(buf, room - (cType == SQL_C_WCHAR ? room % sizeof(SQLWCHAR) : 0));
            if (rc == SQL_SUCCESS) break;
            continue;
        }
        out.append(buf, static_cast<std::size_t>(ind));
        break;
    }
    return true;
}

// Dates and booleans are read as the driver's text: a date's parts in the
// driver's structure lose what its text keeps (PostgreSQL's driver gives a
// date of 'infinity' as today, a time stamp before Christ as the same year
// after him, where its text says "BC"), and SQLite's driver gives a number or
// a word stored in such a column as Null.
bool readAsText(std::int32_t type) {
    return isStringType(type) || isDateType(type) || type == adBoolean || type == adNumeric || type == adDecimal ||
           type == adCurrency || type == adGUID;
}

// A value the driver gave as text, as its column's type reads it: a text
// the type cannot hold (a date out of the years 100 to 9999) stays a text.
Variant valueOfText(std::u16string text, std::int32_t type) {
    if (isStringType(type) || type == adGUID) return Variant(std::move(text));
    const std::string utf8 = toUtf8(text);
    return type == adBoolean || isDateType(type) ? valueFromStoredText(utf8, type) : valueFromText(utf8, type);
}

Variant fetchValue(const Stmt& s, SQLUSMALLINT col, const Column& column, std::string& scratch) {
    const std::int32_t type = column.type;
    SQLLEN ind = 0;
    if (isIntegerType(type)) {
        SQLBIGINT v = 0;
        s.check(SQLGetData(s.h, col, SQL_C_SBIGINT, &v, 0, &ind));
        return ind == SQL_NULL_DATA ? Variant::null() : valueFromInt(v, type);
    }
    if (type == adSingle || type == adDouble || column.floating) {
        double v = 0;
        s.check(SQLGetData(s.h, col, SQL_C_DOUBLE, &v, 0, &ind));
        return ind == SQL_NULL_DATA ? Variant::null() : valueFromDouble(v, type);
    }
    if (type == adBinary || type == adVarBinary || type == adLongVarBinary) {
        if (!readChunks(s, col, SQL_C_BINARY, scratch)) return Variant::null();
        return valueFromBytes(scratch.data(), scratch.size());
    }
    // Text, numeric and currency (read as text so that no digit is lost), dates, GUID, others.
    if (!readChunks(s, col, SQL_C_WCHAR, scratch)) return Variant::null();
    std::u16string text(scratch.size() / sizeof(SQLWCHAR), u'\0');
    std::memcpy(text.data(), scratch.data(), text.size() * sizeof(char16_t));
    return readAsText(type) ? valueOfText(std::move(text), type) : Variant(std::move(text));
}

std::string columnText(const Stmt& s, SQLUSMALLINT col) {
    std::string raw;
    if (!readChunks(s, col, SQL_C_WCHAR, raw)) return {};
    return narrow(reinterpret_cast<const SQLWCHAR*>(raw.data()), raw.size() / sizeof(SQLWCHAR));
}

// A connection handle, disconnected and freed by its last owner: a statement
// given up at its time-out may still hold it on its own thread.
struct Dbc {
    SQLHDBC h;
    explicit Dbc(SQLHDBC dbc) : h(dbc) {}
    ~Dbc() {
        SQLDisconnect(h);
        SQLFreeHandle(SQL_HANDLE_DBC, h);
    }
};

// A statement run on a thread of its own under a deadline: the running
// statement handle is published so that the waiting thread can cancel it.
struct BoundedRun {
    std::mutex handleMutex;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    bool cancelled = false;
    std::mutex doneMutex;
    std::condition_variable doneCv;
    bool done = false;
    Ref<RecordsetData> result;
    std::exception_ptr error;

    bool finishedBy(std::chrono::steady_clock::time_point until) {
        std::unique_lock<std::mutex> lock(doneMutex);
        return doneCv.wait_until(lock, until, [&] { return done; });
    }
};

// Publishes a statement handle to its bounded run while it lives.
struct Published {
    BoundedRun* run;
    Published(BoundedRun* r, SQLHSTMT h) : run(r) {
        if (!run) return;
        std::lock_guard<std::mutex> lock(run->handleMutex);
        run->stmt = h;
        if (run->cancelled) SQLCancel(h);
    }
    ~Published() {
        if (!run) return;
        std::lock_guard<std::mutex> lock(run->handleMutex);
        run->stmt = SQL_NULL_HSTMT;
    }
};

// Runs the text; with parameters, it is prepared and each value bound to its
// "?" with its type. A date or time goes as its ISO text, which the driver
// converts to the SQL type named (and a driver that keeps text, SQLite's,
// stores dates in that very form); a decimal goes as its digits.
void execute(Stmt& s, std::u16string text, std::span<const SqlParameter> parameters) {
    if (parameters.empty()) {
        s.check(SQLExecDirectW(s.h, wptr(text), static_cast<SQLINTEGER>(text.size())));
        return;
    }
    s.check(SQLPrepareW(s.h, wptr(text), static_cast<SQLINTEGER>(text.size())));
    if (SQLSMALLINT markers = 0; SQL_SUCCEEDED(SQLNumParams(s.h, &markers)))
        checkParameterCount(kSource, markers, parameters.size());
    // What the driver reads at SQLExecute: kept until then.
    struct Value {
        std::u16string wide;
        SQLBIGINT integer = 0;
        double number = 0;
        unsigned char bit = 0;
        SQLLEN length = 0;
    };
    std::vector<Value> values(parameters.size());
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const SqlParameter& p = parameters[i];
        Value& v = values[i];
        SQLSMALLINT cType = SQL_C_CHAR, sqlType = SQL_VARCHAR, digits = 0;
        SQLULEN size = 1;
        SQLPOINTER data = nullptr;
        using K = SqlParameter::Kind;
        switch (p.kind) {
        case K::Null: v.length = SQL_NULL_DATA; break;
        case K::Boolean:
            v.bit = p.integer != 0;
            cType = SQL_C_BIT;
            sqlType = SQL_BIT;
            data = &v.bit;
            break;
        case K::Integer:
            v.integer = p.integer;
            cType = SQL_C_SBIGINT;
            sqlType = SQL_BIGINT;
            size = 19;
            data = &v.integer;
            break;
        case K::Double:
            v.number = p.number;
            cType = SQL_C_DOUBLE;
            sqlType = SQL_DOUBLE;
            size = 15;
            data = &v.number;
            break;
        case K::Text:
            v.wide = wide(p.text);
            cType = SQL_C_WCHAR;
            sqlType = SQL_WVARCHAR;
            size = std::max<SQLULEN>(v.wide.size(), 1);
            data = v.wide.data();
            v.length = static_cast<SQLLEN>(v.wide.size() * sizeof(char16_t));
            break;
        default: {
            // Decimal, Date, DateTime, Time: ASCII text.
            const std::size_t point = p.text.find('.');
            const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
            sqlType = p.kind == K::Date       ? SQL_TYPE_DATE
                      : p.kind == K::DateTime ? SQL_TYPE_TIMESTAMP
                      : p.kind == K::Time     ? SQL_TYPE_TIME
                                              : SQL_NUMERIC;
            size = static_cast<SQLULEN>(sqlType == SQL_NUMERIC ? std::count_if(p.text.begin(), p.text.end(), isDigit)
                                                               : static_cast<std::ptrdiff_t>(p.text.size()));
            if (sqlType == SQL_NUMERIC && point != std::string::npos)
                digits = static_cast<SQLSMALLINT>(p.text.size() - point - 1);
            data = const_cast<char*>(p.text.data());
            v.length = static_cast<SQLLEN>(p.text.size());
        }
        }
        s.check(SQLBindParameter(s.h, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, cType, sqlType, size, digits,
                                 data, std::max<SQLLEN>(v.length, 0), &v.length));
    }
    s.check(SQLExecute(s.h));
    SQLFreeStmt(s.h, SQL_RESET_PARAMS);
}

// How many rows a fetch into bound columns may take so that a value longer
// than its column claimed (SQLite keeps any length in a VARCHAR(3)), left
// cut in its buffer, can be read whole at its row with SQLGetData: a block
// where the driver reads bound columns within blocks and positions in them,
// one row where it reads bound columns, none (value by value) else.
SQLULEN boundRows(SQLHDBC dbc) {
    SQLUINTEGER getData = 0, position = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_GETDATA_EXTENSIONS, &getData, sizeof getData, nullptr)) ||
        !(getData & SQL_GD_BOUND))
        return 0;
    const bool blocks =
        (getData & SQL_GD_BLOCK) &&
        SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1, &position, sizeof position, nullptr)) &&
        (position & SQL_CA1_POS_POSITION);
    return blocks ? 256 : 1;
}

// Fetches every row into bound columns, `rows` at a time. False, with
// nothing fetched and the statement as it was, when a column cannot be bound
// (a long text, for one) or the driver takes no such fetch.
bool fetchBound(Stmt& s, RecordsetData& data, SQLULEN rows) {
    constexpr std::size_t kMaxChars = 2000;
    struct Bound {
        SQLSMALLINT cType;
        std::size_t width; // bytes per row
        std::vector<char> buf;
        std::vector<SQLLEN> ind;
    };
    const std::size_t n = data.columns.size();
    std::vector<Bound> cols(n);
    for (std::size_t c = 0; c < n; ++c) {
        const Column& col = data.columns[c];
        Bound& b = cols[c];
        if (isIntegerType(col.type)) {
            b.cType = SQL_C_SBIGINT;
            b.width = sizeof(SQLBIGINT);
        } else if (col.type == adSingle || col.type == adDouble || col.floating) {
            b.cType = SQL_C_DOUBLE;
            b.width = sizeof(double);
        } else if (readAsText(col.type)) {
            // A date's or a boolean's text is short; a longer one is read whole at its row.
            const auto chars = isDateType(col.type) || col.type == adBoolean
                                   ? std::size_t{40}
                                   : static_cast<std::size_t>(std::max(col.definedSize, col.precision));
            if (chars == 0 || chars > kMaxChars) return false;
            b.cType = SQL_C_WCHAR;
            b.width = (chars + 4) * sizeof(SQLWCHAR);
        } else {
            return false;
        }
        b.buf.resize(b.width * rows);
        b.ind.resize(rows);
    }
    SQLULEN fetched = 0;
    // The driver keeps the buffers' addresses: released before they go, and
    // the statement left fetching one row at a time.
    struct Unbind {
        SQLHSTMT h;
        ~Unbind() {
            SQLFreeStmt(h, SQL_UNBIND);
            SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
            SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
        }
    } unbind{s.h};
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(s.h, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(s.h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(s.h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0)))
        return false;
    for (std::size_t c = 0; c < n; ++c)
        if (!SQL_SUCCEEDED(SQLBindCol(s.h, static_cast<SQLUSMALLINT>(c + 1), cols[c].cType, cols[c].buf.data(),
                                      static_cast<SQLLEN>(cols[c].width), cols[c].ind.data())))
            return false;
    std::string scratch;
    SQLRETURN rc;
    while ((rc = SQLFetch(s.h)) != SQL_NO_DATA) {
        s.check(rc);
        for (SQLULEN r = 0; r < fetched; ++r) {
            Cell* row = data.addRow();
            for (std::size_t c = 0; c < n; ++c) {
                const Bound& b = cols[c];
                const SQLLEN ind = b.ind[r];
                const char* p = b.buf.data() + r * b.width;
                const std::int32_t type = data.columns[c].type;
                if (ind == SQL_NULL_DATA) {
                    row[c].type = VarType::Null;
                } else if (b.cType == SQL_C_SBIGINT) {
                    SQLBIGINT v;
                    std::memcpy(&v, p, sizeof v);
                    data.set(row[c], valueFromInt(v, type));
                } else if (b.cType == SQL_C_DOUBLE) {
                    double v;
                    std::memcpy(&v, p, sizeof v);
                    data.set(row[c], valueFromDouble(v, type));
                } else if (ind == SQL_NO_TOTAL || ind < 0 ||
                           static_cast<std::size_t>(ind) > b.width - sizeof(SQLWCHAR)) {
                    // Cut: read whole at its row.
                    if (rows > 1)
                        s.check(SQLSetPos(s.h, static_cast<SQLSETPOSIROW>(r + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE));
                    data.set(row[c], fetchValue(s, static_cast<SQLUSMALLINT>(c + 1), data.columns[c], scratch));
                } else {
                    std::u16string text(static_cast<std::size_t>(ind) / sizeof(SQLWCHAR), u'\0');
                    std::memcpy(text.data(), p, text.size() * sizeof(char16_t));
                    data.set(row[c], valueOfText(std::move(text), type));
                }
            }
        }
    }
    return true;
}

// Runs a statement once and reads every row: in blocks where the driver
// allows, else value by value (long columns with SQLGetData, in pieces).
Ref<RecordsetData> runQuery(SQLHDBC dbc, const std::u16string& text, std::span<const SqlParameter> parameters,
                            BoundedRun* run) {
    Ref<RecordsetData> data = makeRef<RecordsetData>();
    Stmt s(dbc);
    Published published(run, s.h);
    execute(s, text, parameters);
    describeColumns(s, *data);
    if (data->columns.empty()) return data;
    if (const SQLULEN rows = boundRows(dbc); rows > 0 && fetchBound(s, *data, rows)) return data;
    const std::size_t n = data->columns.size();
    std::string scratch;
    SQLRETURN rc;
    while ((rc = SQLFetch(s.h)) != SQL_NO_DATA) {
        s.check(rc);
        Cell* row = data->addRow();
        for (std::size_t c = 0; c < n; ++c)
            data->set(row[c], fetchValue(s, static_cast<SQLUSMALLINT>(c + 1), data->columns[c], scratch));
    }
    return data;
}

// Drivers that run every statement of a text (PostgreSQL's does) are given
// one statement only, as SQLite is.
void requireOneStatement(std::string_view sql) {
    if (!holdsOneStatement(sql)) raiseProvider(kSource, "The command text holds more than one statement.");
}

// How long a cancelled statement is given to end before its connection is
// given up (a server that does not answer never ends it).
constexpr std::chrono::seconds kCancelGrace{2};

class OdbcBackend final : public Backend {
public:
    explicit OdbcBackend(SQLHDBC dbc) : dbcOwner_(std::make_shared<Dbc>(dbc)), dbc_(dbc) {}

    // Without a deadline the statement runs here. With one it runs on a
    // thread of its own: at the deadline it is cancelled, and when it does
    // not end soon after, it is left to its thread (with the connection,
    // which is given up) and this call fails with the time-out.
    Ref<RecordsetData> query(std::string_view sql, std::span<const SqlParameter> parameters) override {
        if (givenUp_)
            raiseProvider(kSource, "The connection was given up when a statement did not end by its "
                                   "time-out; open it again.");
        requireOneStatement(sql);
        const std::u16string text = wide(sql);
        const auto deadline = sys::threadDeadline();
        if (deadline == sys::DeadlineClock::time_point::max()) return runQuery(dbc_, text, parameters, nullptr);

        auto run = std::make_shared<BoundedRun>();
        // The rows read count against the caller's memory ceiling.
        std::thread([run, dbc = dbcOwner_, text, values = std::vector<SqlParameter>(parameters.begin(), parameters.end()),
                     room = memory::room()] {
            const memory::CeilingScope ceiling(room);
            try {
                run->result = runQuery(dbc->h, text, values, run.get());
            } catch (...) {
                run->error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(run->doneMutex);
                run->done = true;
            }
            run->doneCv.notify_all();
        }).detach();
        if (!run->finishedBy(deadline)) {
            // Cancelling may itself wait on the server: on a thread of its own.
            std::thread([run] {
                std::lock_guard<std::mutex> lock(run->handleMutex);
                run->cancelled = true;
                if (run->stmt != SQL_NULL_HSTMT) SQLCancel(run->stmt);
            }).detach();
            if (!run->finishedBy(sys::DeadlineClock::now() + kCancelGrace)) givenUp_ = true;
            raiseTimeout(kSource);
        }
        if (run->error) std::rethrow_exception(run->error);
        if (run->result) run->result->countHere();
        return run->result;
    }

    Ref<RecordsetData> describe(std::string_view sql) override {
        requireOneStatement(sql);
        Stmt s(dbc_);
        std::u16string text = wide(sql);
        s.check(SQLPrepareW(s.h, wptr(text), static_cast<SQLINTEGER>(text.size())));
        Ref<RecordsetData> data = makeRef<RecordsetData>();
        describeColumns(s, *data);
        return data;
    }

    std::vector<CatalogTable> catalog() override {
        std::vector<CatalogTable> tables;
        {
            Stmt s(dbc_);
            s.check(SQLTablesW(s.h, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0));
            while (SQL_SUCCEEDED(SQLFetch(s.h))) {
                CatalogTable t;
                t.name = columnText(s, 3);
                t.type = columnText(s, 4);
                if (t.type == "TABLE" || t.type == "VIEW" || t.type == "SYSTEM TABLE" || t.type == "SYSTEM VIEW")
                    tables.push_back(std::move(t));
            }
        }
        std::unordered_map<std::string, std::size_t> byName;
        for (std::size_t i = 0; i < tables.size(); ++i) byName.emplace(tables[i].name, i);
        // The columns of every table in one call; a driver that refuses the
        // pattern is asked table by table.
        if (!readColumns(u"%", tables, byName))
            for (CatalogTable& t : tables) readColumns(wide(t.name), tables, byName);
        // Foreign keys belong to tables; system tables are left out.
        for (CatalogTable& t : tables) {
            if (t.type != "TABLE") continue;
            Stmt s(dbc_);
            std::u16string name = wide(t.name);
            const SQLRETURN rc = SQLForeignKeysW(s.h, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0,
                                                 wptr(name), static_cast<SQLSMALLINT>(name.size()));
            if (!SQL_SUCCEEDED(rc)) continue; // a driver without foreign keys
            while (SQL_SUCCEEDED(SQLFetch(s.h))) {
                const std::string pkTable = columnText(s, 3), pkColumn = columnText(s, 4);
                const std::string fkColumn = columnText(s, 8);
                std::string keyName = columnText(s, 12);
                SQLSMALLINT seq = 0;
                SQLLEN ind = 0;
                SQLGetData(s.h, 9, SQL_C_SSHORT, &seq, 0, &ind);
                if (keyName.empty()) keyName = "FK_" + t.name + "_" + pkTable;
                if (seq <= 1 || t.keys.empty() || t.keys.back().name != keyName) {
                    CatalogKey k;
                    k.name = keyName;
                    k.relatedTable = pkTable;
                    t.keys.push_back(std::move(k));
                }
                t.keys.back().columns.push_back({fkColumn, pkColumn});
            }
        }
        return tables;
    }

    NameRules nameRules() override {
        NameRules rules;
        char quote[8] = {};
        SQLSMALLINT len = 0;
        rules.doubleQuotesOnly =
            SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &len)) && quote[0] == '"';
        SQLUSMALLINT ic = 0;
        if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_IDENTIFIER_CASE, &ic, sizeof ic, nullptr))) rules.identifierCase = ic;
        return rules;
    }

    // Reads SQLColumns for a table-name pattern into the tables it names;
    // false when the driver refuses the call.
    bool readColumns(std::u16string pattern, std::vector<CatalogTable>& tables,
                     const std::unordered_map<std::string, std::size_t>& byName) {
        Stmt s(dbc_);
        if (!SQL_SUCCEEDED(SQLColumnsW(s.h, nullptr, 0, nullptr, 0, wptr(pattern),
                                       static_cast<SQLSMALLINT>(pattern.size()), nullptr, 0)))
            return false;
        while (SQL_SUCCEEDED(SQLFetch(s.h))) {
            const auto it = byName.find(columnText(s, 3));
            if (it == byName.end()) continue;
            CatalogColumn c;
            c.name = columnText(s, 4);
            SQLSMALLINT type = 0;
            SQLINTEGER size = 0;
            SQLLEN ind = 0;
            SQLGetData(s.h, 5, SQL_C_SSHORT, &type, 0, &ind);
            SQLGetData(s.h, 7, SQL_C_SLONG, &size, 0, &ind);
            if (ind == SQL_NULL_DATA) size = 0;
            c.type = adoType(type, static_cast<SQLULEN>(size < 0 ? 0 : size), c.definedSize);
            tables[it->second].columns.push_back(std::move(c));
        }
        return true;
    }

    std::shared_ptr<Dbc> dbcOwner_;
    SQLHDBC dbc_;
    bool givenUp_ = false;
};

} // namespace

std::unique_ptr<Backend> openOdbc(const std::string& connectionString) {
    const std::string odbcString = driverManagerString(connectionString);
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment(), &dbc)))
        raiseProvider(kSource, "An ODBC connection cannot be allocated.");
    // A server that does not answer fails by the connection's time-out
    // instead of holding the caller.
    const auto deadline = sys::threadDeadline();
    if (deadline != sys::DeadlineClock::time_point::max()) {
        const auto left = std::chrono::ceil<std::chrono::seconds>(deadline - sys::DeadlineClock::now()).count();
        SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(std::max<long long>(left, 1)), 0);
    }
    SQLWCHAR out[1024];
    SQLSMALLINT outLen = 0;
    std::u16string in = wide(odbcString);
    const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, wptr(in), static_cast<SQLSMALLINT>(in.size()), out, 1024,
                                           &outLen, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        std::string msg = diagnostics(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        raiseProvider(kSource, std::move(msg));
    }
    return std::make_unique<OdbcBackend>(dbc);
}

std::vector<InstalledDriver> installedDrivers() {
    std::vector<InstalledDriver> out;
    SQLCHAR name[256], attrs[4096];
    SQLSMALLINT nameLen = 0, attrsLen = 0;
    SQLUSMALLINT dir = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDrivers(environment(), dir, name, sizeof name, &nameLen, attrs, sizeof attrs, &attrsLen))) {
        dir = SQL_FETCH_NEXT;
        InstalledDriver d{reinterpret_cast<char*>(name), {}};
        // The attributes come as "key=value" texts, each ended by a zero.
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(attrsLen, 0)),
                                                     sizeof attrs - 1);
        for (std::size_t i = 0; i < n;) {
            const std::string_view pair(reinterpret_cast<const char*>(attrs) + i);
            i += pair.size() + 1;
            const auto eq = pair.find('=');
            if (eq == std::string_view::npos) continue;
            const std::string_view key = pair.substr(0, eq);
            if ((equalsNoCaseAscii(key, "Driver") || equalsNoCaseAscii(key, "Driver64")) && eq + 1 < pair.size())
                d.libraries.emplace_back(pair.substr(eq + 1));
        }
        out.push_back(std::move(d));
    }
    return out;
}

std::string installedOracleDriver() {
    for (const InstalledDriver& d : installedDrivers())
        if (toLowerAscii(d.name).find("oracle") != std::string::npos) return d.name;
    return {};
}

std::vector<std::pair<std::string, std::string>> odbcDataSources() {
    std::vector<std::pair<std::string, std::string>> out;
    SQLCHAR name[SQL_MAX_DSN_LENGTH + 1], driver[1024];
    SQLSMALLINT nameLen = 0, driverLen = 0;
    SQLUSMALLINT dir = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDataSources(environment(), dir, name, sizeof name, &nameLen, driver, sizeof driver,
                                        &driverLen))) {
        dir = SQL_FETCH_NEXT;
        out.emplace_back(reinterpret_cast<char*>(name), reinterpret_cast<char*>(driver));
    }
    return out;
}

std::string odbcManagerVersion() {
    // "03.52.0002.0003": the ODBC version, then the manager's own.
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment(), &dbc))) return {};
    SQLCHAR text[64] = {};
    SQLSMALLINT len = 0;
    const bool ok = SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DM_VER, text, sizeof text, &len));
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (!ok) return {};
    int odbcMajor = 0, odbcMinor = 0, major = 0, minor = 0;
    if (std::sscanf(reinterpret_cast<char*>(text), "%d.%d.%d.%d", &odbcMajor, &odbcMinor, &major, &minor) != 4)
        return reinterpret_cast<char*>(text);
    char out[64];
    std::snprintf(out, sizeof out, "%d.%d, ODBC %d.%02d", major, minor, odbcMajor, odbcMinor);
    return out;
}

} // namespace qz::ado
