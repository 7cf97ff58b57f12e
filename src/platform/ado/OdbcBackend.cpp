// ODBC through the unixODBC driver manager: statements run with SQLExecDirect
// and every row fetched at once; the catalog comes from SQLTables,
// SQLColumns and SQLForeignKeys.
#include "platform/ado/Backend.h"
#include "platform/automation/Text.h"

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include "platform/ado/ConnectionString.h"
#include "platform/ado/SqlText.h"
#include "platform/system/Deadline.h"
#include "platform/system/Paths.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
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
        if (t == adChar || t == adVarChar || t == adWChar || t == adVarWChar)
            if (const std::int32_t byName = numberTypeByName(s, static_cast<SQLUSMALLINT>(i))) {
                t = byName;
                defined = byName == adCurrency ? 8 : 19;
            }
        Column c(narrow(name, static_cast<std::size_t>(std::min<SQLSMALLINT>(nameLen < 0 ? 0 : nameLen, 511))), t, defined);
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

Variant fetchValue(const Stmt& s, SQLUSMALLINT col, std::int32_t type, std::string& scratch) {
    SQLLEN ind = 0;
    if (isIntegerType(type)) {
        SQLBIGINT v = 0;
        s.check(SQLGetData(s.h, col, SQL_C_SBIGINT, &v, 0, &ind));
        return ind == SQL_NULL_DATA ? Variant::null() : valueFromInt(v, type);
    }
    if (type == adSingle || type == adDouble) {
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
        } else if (col.type == adSingle || col.type == adDouble) {
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
                    data.set(row[c], fetchValue(s, static_cast<SQLUSMALLINT>(c + 1), type, scratch));
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
            data->set(row[c], fetchValue(s, static_cast<SQLUSMALLINT>(c + 1), data->columns[c].type, scratch));
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

// ---------------------------------------------------------------- what a
// connection string may make the driver manager do

// The pairs as the driver manager reads them: the key is everything up to
// "=" (blanks and ";" before it skipped, none trimmed after it), the value
// either in braces (a doubled "}" standing for one) or up to the next ";".
std::vector<std::pair<std::string, std::string>> managerPairs(std::string_view s) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t i = 0;
    const std::size_t n = s.size();
    for (;;) {
        while (i < n && (std::isspace(static_cast<unsigned char>(s[i])) || s[i] == ';')) ++i;
        const std::size_t keyBegin = i;
        while (i < n && s[i] != '=') ++i;
        if (i >= n) return out;
        std::string key(s.substr(keyBegin, i - keyBegin)), value;
        ++i;
        if (i < n && s[i] == '{') {
            for (++i; i < n && (s[i] != '}' || (i + 1 < n && s[i + 1] == '}')); ++i) {
                value.push_back(s[i]);
                if (s[i] == '}') ++i;
            }
            if (i < n) ++i;
        } else {
            while (i < n && s[i] != ';') value.push_back(s[i++]);
        }
        out.emplace_back(std::move(key), std::move(value));
    }
}

std::string installedNames(const std::vector<InstalledDriver>& drivers) {
    std::string out;
    for (const InstalledDriver& d : drivers) out += (out.empty() ? "" : ", ") + d.name;
    return out.empty() ? "none is installed" : "the installed ones are " + out;
}

[[noreturn]] void refuseDriver(const std::string& what, const std::vector<InstalledDriver>& drivers) {
    raiseProvider(kSource, what + ", which is not an installed ODBC driver; a connection names its driver by "
                                  "its installed name (" + installedNames(drivers) + ").");
}

const InstalledDriver* installedByName(const std::vector<InstalledDriver>& drivers, std::string_view name) {
    for (const InstalledDriver& d : drivers)
        if (equalsNoCaseAscii(d.name, name)) return &d;
    return nullptr;
}

// The driver a data source of odbc.ini names (the user's file, then the
// system's, as the driver manager looks) must be an installed driver's
// name, or the very library entry of one.
std::string dataSourceDriver(const std::string& dsn) {
    char entry[1024] = {};
    SQLSetConfigMode(ODBC_BOTH_DSN);
    SQLGetPrivateProfileString(dsn.c_str(), "Driver", "", entry, sizeof entry, "ODBC.INI");
    return entry;
}

void checkDataSource(const std::string& dsn, const std::vector<InstalledDriver>& drivers) {
    const std::string driver = dataSourceDriver(dsn);
    if (driver.empty()) return; // no such source: the driver manager says so
    const InstalledDriver* d = installedByName(drivers, driver);
    if (d && d->name == driver) return;
    for (const InstalledDriver& i : drivers)
        for (const std::string& lib : i.libraries)
            if (lib == driver) return;
    refuseDriver("The ODBC data source \"" + dsn + "\" names the driver \"" + driver + "\"", drivers);
}

void checkPairs(const std::vector<std::pair<std::string, std::string>>& pairs,
                const std::vector<InstalledDriver>& drivers, bool fileDsnAllowed);

// Keys that make the driver manager or a driver load a library, write a file
// or a log to a path, or set the driver manager's own attributes: the driver
// manager's SAVEFILE, trace keys and attribute keys; the SQLite driver's
// extensions and trace file; FreeTDS's dump file and debug flags; the
// PostgreSQL driver's logs (by name and by their short names) and their folder.
bool refusedKey(std::string_view key) {
    static constexpr std::string_view kRefused[] = {
        "SAVEFILE", "DMEnvAttr", "DMConnAttr", "DMStmtAttr", "Trace", "TraceFile", "TraceLibrary",
        "LoadExt", "DumpFile", "DumpFileAppend", "DebugFlags", "Debug", "CommLog", "B2", "B3",
        "Logdir"};
    for (std::string_view k : kRefused)
        if (equalsNoCaseAscii(key, k)) return true;
    return false;
}

// A file data source is read as the driver manager reads it: the pairs of
// its [ODBC] section join the connection's.
void checkFileDataSource(std::string file, const std::vector<InstalledDriver>& drivers) {
    // The driver manager looks for a name without a folder in its own
    // folder of file sources: only a full path is taken here.
    if (!file.starts_with('/'))
        raiseProvider(kSource, "A file data source is named by its full path, not \"" + file + "\".");
    if (!file.ends_with(".dsn")) file += ".dsn";
    std::ifstream in(file);
    if (!in) raiseProvider(kSource, "The file data source \"" + file + "\" cannot be read.");
    std::vector<std::pair<std::string, std::string>> pairs;
    bool inOdbc = false;
    for (std::string line; std::getline(in, line);) {
        const std::string_view t = trimSpaces(line);
        if (t.starts_with('[')) {
            inOdbc = equalsNoCaseAscii(t, "[ODBC]");
            continue;
        }
        const auto eq = t.find('=');
        if (inOdbc && eq != std::string_view::npos)
            pairs.emplace_back(std::string(trimSpaces(t.substr(0, eq))), std::string(trimSpaces(t.substr(eq + 1))));
    }
    checkPairs(pairs, drivers, false);
}

void checkPairs(const std::vector<std::pair<std::string, std::string>>& pairs,
                const std::vector<InstalledDriver>& drivers, bool fileDsnAllowed) {
    bool named = false;
    for (const auto& [rawKey, value] : pairs) {
        const std::string_view key = trimSpaces(rawKey);
        if (equalsNoCaseAscii(key, "DRIVER")) {
            named = true;
            const InstalledDriver* d = installedByName(drivers, trimSpaces(value));
            if (!d || d->name != value) refuseDriver("The connection names the driver \"" + value + "\"", drivers);
        } else if (equalsNoCaseAscii(key, "DSN")) {
            named = true;
            checkDataSource(value, drivers);
        } else if (equalsNoCaseAscii(key, "FILEDSN")) {
            named = true;
            if (!fileDsnAllowed) raiseProvider(kSource, "A file data source cannot name another one.");
            checkFileDataSource(value, drivers);
        } else if (refusedKey(key)) {
            raiseProvider(kSource, "The connection string key \"" + std::string(key) +
                                       "\" is not accepted: it can load libraries, write files or logs, or set "
                                       "the ODBC driver manager's own attributes.");
        }
    }
    // With none of these the driver manager opens the source "DEFAULT".
    if (!named && fileDsnAllowed) checkDataSource("DEFAULT", drivers);
}

// The string the driver manager is given: each key once (its first value,
// as ODBC reads repeated keys), a driver named in its installed spelling,
// every value quoted so that it reads back whole. It is refused when it
// could make the driver manager load a library that is not an installed
// driver, or write a file. A text outside ASCII is checked a second time as
// a driver manager that narrows each character to a byte would read it.
std::string checkedOdbcString(std::string_view text) {
    const std::vector<InstalledDriver> drivers = installedDrivers();
    std::string out, database;
    bool sqliteDriver = false;
    std::vector<std::string_view> seen;
    const std::vector<ConnectionPair> pairs = parseConnectionString(text);
    for (const ConnectionPair& p : pairs) {
        for (unsigned char c : p.key)
            if (c < 0x20 || c >= 0x7F)
                raiseProvider(kSource, "The connection string holds a key that is not plain text: \"" + p.key + "\".");
        bool repeated = false;
        for (std::string_view k : seen) repeated = repeated || equalsNoCaseAscii(k, p.key);
        if (repeated) continue;
        seen.push_back(p.key);
        std::string value = p.value;
        if (equalsNoCaseAscii(p.key, "DRIVER")) {
            const InstalledDriver* d = installedByName(drivers, trimSpaces(value));
            if (!d) refuseDriver("The connection names the driver \"" + value + "\"", drivers);
            value = d->name;
            sqliteDriver = toLowerAscii(d->name).find("sqlite") != std::string::npos;
        } else if (equalsNoCaseAscii(p.key, "Database")) {
            database = value;
        }
        out += p.key;
        out += '=';
        out += quoteOdbcValue(value);
        out += ';';
    }
    // The SQLite driver makes an empty database where its file is missing,
    // and the author then reads "no such table" with a stray file left
    // behind: a missing file is said as such instead.
    if (sqliteDriver && !database.empty() && database != ":memory:" && !database.starts_with("file:") &&
        !sys::regularFileExists(database))
        raiseProvider(kSource, "The SQLite database file \"" + database + "\" does not exist.");
    checkPairs(managerPairs(out), drivers, true);
    bool ascii = true;
    for (unsigned char c : out) ascii = ascii && c < 0x80;
    if (!ascii) {
        std::string narrowed;
        for (char16_t c : wide(out)) narrowed.push_back(static_cast<char>(c & 0xFF));
        checkPairs(managerPairs(narrowed), drivers, true);
    }
    return out;
}

// True when a driver name or library entry stands for PostgreSQL's driver.
bool isPostgresDriver(std::string_view driver, const std::vector<InstalledDriver>& drivers) {
    auto library = [](std::string_view path) {
        const std::size_t slash = path.rfind('/');
        return toLowerAscii(path.substr(slash == std::string_view::npos ? 0 : slash + 1)).starts_with("psqlodbc");
    };
    if (const InstalledDriver* d = installedByName(drivers, trimSpaces(driver)))
        return std::any_of(d->libraries.begin(), d->libraries.end(), library);
    return library(driver);
}

// PostgreSQL's driver gives a boolean column as the texts "1" and "0" while
// its option BoolsAsChar is on, and it is on by default: the option is turned
// off, so that a boolean reads as a Boolean, unless the string sets it itself
// (by its name, its short name B9, or the options' bits CX).
std::string withBooleans(const std::string& odbcString) {
    std::vector<std::string> named;
    for (const auto& [rawKey, value] : managerPairs(odbcString)) {
        const std::string_view key = trimSpaces(rawKey);
        if (equalsNoCaseAscii(key, "BoolsAsChar") || equalsNoCaseAscii(key, "B9") || equalsNoCaseAscii(key, "CX"))
            return odbcString;
        if (equalsNoCaseAscii(key, "DRIVER")) named.push_back(value);
        else if (equalsNoCaseAscii(key, "DSN")) named.push_back(dataSourceDriver(value));
    }
    if (named.empty()) named.push_back(dataSourceDriver("DEFAULT"));
    const std::vector<InstalledDriver> drivers = installedDrivers();
    for (const std::string& driver : named)
        if (isPostgresDriver(driver, drivers)) return odbcString + "BoolsAsChar=0;";
    return odbcString;
}

} // namespace

std::unique_ptr<Backend> openOdbc(const std::string& connectionString) {
    // Only the driver manager's own reading of the string decides which
    // library it loads: the string is checked in the form it is given.
    const std::string odbcString = withBooleans(checkedOdbcString(connectionString));
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
