#include "query/OdbcCatalog.h"

#include "platform/automation/AutomationError.h"

#include <sql.h>
#include <sqlext.h>

#include <map>
#include <optional>

namespace qz::query {

namespace {

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE h) {
    std::string text;
    for (SQLSMALLINT i = 1; i < 10; ++i) {
        SQLCHAR state[6] = {};
        SQLCHAR msg[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(type, h, i, state, &native, msg, sizeof msg, &len)))
            break;
        if (!text.empty()) text += "; ";
        text += reinterpret_cast<char*>(msg);
    }
    return text.empty() ? "unknown ODBC error" : text;
}

[[noreturn]] void Fail(SQLSMALLINT type, SQLHANDLE h, const std::string& what) {
    throw AutomationError(kErrorFail, "Catalog", what + ": " + Diagnostics(type, h));
}

// Reads a character column of the current row; nullopt for NULL.
std::optional<std::string> GetText(SQLHSTMT st, SQLUSMALLINT col) {
    std::string out;
    char buf[512];
    for (;;) {
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(st, col, SQL_C_CHAR, buf, sizeof buf, &ind);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, st, "SQLGetData");
        if (ind == SQL_NULL_DATA) return std::nullopt;
        if (rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || ind >= SQLLEN(sizeof buf))) {
            out.append(buf, sizeof buf - 1);
            continue;
        }
        out.append(buf, static_cast<size_t>(ind));
        break;
    }
    return out;
}

std::int64_t GetInt(SQLHSTMT st, SQLUSMALLINT col) {
    SQLBIGINT v = 0;
    SQLLEN ind = 0;
    if (!SQL_SUCCEEDED(SQLGetData(st, col, SQL_C_SBIGINT, &v, sizeof v, &ind)))
        Fail(SQL_HANDLE_STMT, st, "SQLGetData");
    return ind == SQL_NULL_DATA ? 0 : static_cast<std::int64_t>(v);
}

SQLCHAR* Chars(std::string& s) { return reinterpret_cast<SQLCHAR*>(s.data()); }

class OdbcCatalog final : public Catalog {
public:
    ~OdbcCatalog() override {
        if (dbc_) {
            SQLDisconnect(dbc_);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        }
        if (env_) SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }

    void Connect(const std::string& connectionString) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_)))
            throw AutomationError(kErrorFail, "Catalog", "Cannot allocate an ODBC environment.");
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_)))
            Fail(SQL_HANDLE_ENV, env_, "Cannot allocate an ODBC connection");
        SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
        std::string cs = WithoutProvider(connectionString);
        SQLCHAR out[1024];
        SQLSMALLINT outLen = 0;
        SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, Chars(cs), SQL_NTS, out, sizeof out,
                                        &outLen, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            std::string d = Diagnostics(SQL_HANDLE_DBC, dbc_);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
            dbc_ = nullptr;
            throw AutomationError(kErrorFail, "Catalog", "Cannot connect: " + d);
        }
        SQLSetConnectAttr(dbc_, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
        ReadDialect();
        ReadSchema();
        ReadTables();
    }

protected:
    void LoadTable(const CatalogTable& table, std::vector<ColumnRef>& columns,
                   std::vector<CatalogKey>& keys) override {
        std::string schema = schema_, name = table.Name;
        {
            Stmt st(dbc_);
            SQLRETURN rc = SQLColumns(st.h, nullptr, 0, SchemaArg(schema), SchemaLen(schema),
                                      Chars(name), SQLSMALLINT(name.size()), nullptr, 0);
            if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, st.h, "SQLColumns");
            std::vector<std::pair<std::int64_t, ColumnRef>> rows;
            while (SQL_SUCCEEDED(SQLFetch(st.h))) {
                // Table and schema names are patterns here: "_" matches any character.
                // Columns are read in ascending order, as every driver allows.
                std::string rowSchema = GetText(st.h, 2).value_or("");
                if (GetText(st.h, 3).value_or("") != table.Name || (!schema_.empty() && rowSchema != schema_))
                    continue;
                auto c = std::make_shared<CatalogColumn>();
                c->Name = GetText(st.h, 4).value_or("");
                c->Type = OdbcSqlTypeToAdo(static_cast<int>(GetInt(st.h, 5)));
                std::int64_t size = GetInt(st.h, 7);
                bool sized = c->Type == 129 || c->Type == 130 || c->Type == 200 || c->Type == 202 ||
                             c->Type == 128 || c->Type == 204;
                c->DefinedSize = sized && size > 0 && size < (1 << 30) ? size : 0;
                rows.emplace_back(GetInt(st.h, 17), std::move(c));
            }
            std::stable_sort(rows.begin(), rows.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            for (auto& r : rows) columns.push_back(std::move(r.second));
        }
        if (table.Type != "TABLE" && table.Type != "SYSTEM TABLE") return;
        Stmt st(dbc_);
        SQLRETURN rc = SQLForeignKeys(st.h, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0,
                                      SchemaArg(schema), SchemaLen(schema), Chars(name),
                                      SQLSMALLINT(name.size()));
        if (!SQL_SUCCEEDED(rc)) return; // a driver without foreign keys relates nothing
        struct Pending { CatalogKey key; std::map<std::int64_t, CatalogKeyColumn> cols; };
        std::vector<Pending> pending;
        while (SQL_SUCCEEDED(SQLFetch(st.h))) {
            std::string pkTable = GetText(st.h, 3).value_or("");
            std::string pkColumn = GetText(st.h, 4).value_or("");
            std::string fkColumn = GetText(st.h, 8).value_or("");
            std::int64_t seq = GetInt(st.h, 9);
            std::optional<std::string> fkName = GetText(st.h, 12);
            // Rows of one key are consecutive; a key starts at sequence 1 or a new name.
            bool startNew = pending.empty() || seq <= 1 ||
                            pending.back().key.RelatedTable != pkTable ||
                            (fkName && pending.back().key.Name != *fkName);
            if (startNew) {
                pending.emplace_back();
                pending.back().key.RelatedTable = pkTable;
                pending.back().key.Name = fkName.value_or("");
            }
            pending.back().cols[seq] = CatalogKeyColumn{fkColumn, pkColumn};
        }
        for (auto& p : pending) {
            TableRef parent = FindTable(p.key.RelatedTable);
            if (!parent) continue;
            p.key.RelatedTable = parent->Name;
            for (auto& [seq, c] : p.cols) p.key.Columns.push_back(std::move(c));
            std::string wanted = p.key.Name.empty() ? "FK_" + table.Name + "_" + parent->Name
                                                    : p.key.Name;
            p.key.Name = UniqueKeyName(wanted);
            p.key.Type = 2;
            keys.push_back(std::move(p.key));
        }
    }

private:
    struct Stmt {
        explicit Stmt(SQLHDBC dbc) {
            if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h)))
                Fail(SQL_HANDLE_DBC, dbc, "Cannot allocate an ODBC statement");
        }
        ~Stmt() { SQLFreeHandle(SQL_HANDLE_STMT, h); }
        Stmt(const Stmt&) = delete;
        Stmt& operator=(const Stmt&) = delete;
        SQLHSTMT h = nullptr;
    };

    static SQLCHAR* SchemaArg(std::string& s) { return s.empty() ? nullptr : Chars(s); }
    static SQLSMALLINT SchemaLen(const std::string& s) { return s.empty() ? 0 : SQLSMALLINT(s.size()); }

    static std::string WithoutProvider(const std::string& cs) {
        std::string out;
        size_t i = 0;
        while (i < cs.size()) {
            size_t end = cs.find(';', i);
            if (end == std::string::npos) end = cs.size();
            std::string part = cs.substr(i, end - i);
            size_t eq = part.find('=');
            std::string key = part.substr(0, eq);
            while (!key.empty() && key.front() == ' ') key.erase(0, 1);
            while (!key.empty() && key.back() == ' ') key.pop_back();
            // Braced values may hold ";": copy them whole.
            if (eq != std::string::npos) {
                size_t v = part.find_first_not_of(' ', eq + 1);
                if (v != std::string::npos && part[v] == '{') {
                    size_t close = cs.find('}', i + v);
                    if (close != std::string::npos) {
                        end = cs.find(';', close);
                        if (end == std::string::npos) end = cs.size();
                        part = cs.substr(i, end - i);
                    }
                }
            }
            if (!equalsNoCaseAscii(key, "Provider") && !part.empty()) out += part + ";";
            i = end + 1;
        }
        return out;
    }

    void ReadDialect() {
        char quote[8] = {};
        SQLSMALLINT len = 0;
        dialect_.Quote = QuoteStyle::Brackets;
        if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &len)) &&
            quote[0] == '"')
            dialect_.Quote = QuoteStyle::DoubleQuotes;
        SQLUSMALLINT ic = 0;
        dialect_.Case = IdentifierCase::Insensitive;
        if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_IDENTIFIER_CASE, &ic, sizeof ic, nullptr))) {
            if (ic == SQL_IC_LOWER) dialect_.Case = IdentifierCase::Lower;
            else if (ic == SQL_IC_UPPER) dialect_.Case = IdentifierCase::Upper;
            else if (ic == SQL_IC_SENSITIVE) dialect_.Case = IdentifierCase::Sensitive;
        }
        // Backends that take only double quotes and fold names are case-sensitive for quoted names.
        if (dialect_.Quote == QuoteStyle::Brackets) dialect_.Case = IdentifierCase::Insensitive;
    }

    // The dialect has no schema qualifier: the catalog shows the schema
    // that unqualified names resolve to.
    void ReadSchema() {
        char dbms[128] = {};
        SQLSMALLINT len = 0;
        if (!SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_DBMS_NAME, dbms, sizeof dbms, &len))) return;
        std::string name = dbms;
        const char* query = nullptr;
        if (equalsNoCaseAscii(name, "PostgreSQL")) query = "SELECT current_schema()";
        else if (name.find("SQL Server") != std::string::npos) query = "SELECT SCHEMA_NAME()";
        if (!query) return;
        Stmt st(dbc_);
        std::string q = query;
        if (SQL_SUCCEEDED(SQLExecDirect(st.h, Chars(q), SQL_NTS)) && SQL_SUCCEEDED(SQLFetch(st.h)))
            schema_ = GetText(st.h, 1).value_or("");
    }

    void ReadTables() {
        Stmt st(dbc_);
        std::string schema = schema_, all = "%", types = "TABLE,VIEW,SYSTEM TABLE,SYSTEM VIEW";
        if (!SQL_SUCCEEDED(SQLTables(st.h, nullptr, 0, SchemaArg(schema), SchemaLen(schema),
                                     Chars(all), SQL_NTS, Chars(types), SQL_NTS)))
            Fail(SQL_HANDLE_STMT, st.h, "SQLTables");
        while (SQL_SUCCEEDED(SQLFetch(st.h))) {
            if (!schema_.empty() && GetText(st.h, 2).value_or("") != schema_) continue;
            std::string name = GetText(st.h, 3).value_or("");
            std::string type = GetText(st.h, 4).value_or("");
            if (!name.empty()) AddTable(std::move(name), std::move(type));
        }
    }

    SQLHENV env_ = nullptr;
    SQLHDBC dbc_ = nullptr;
    std::string schema_;
};

} // namespace

std::int32_t OdbcSqlTypeToAdo(int t) {
    switch (t) {
    case SQL_CHAR: return 129;
    case SQL_VARCHAR: return 200;
    case SQL_LONGVARCHAR: return 201;
    case SQL_WCHAR: return 130;
    case SQL_WVARCHAR: return 202;
    case SQL_WLONGVARCHAR: return 203;
    case SQL_DECIMAL: return 14;
    case SQL_NUMERIC: return 131;
    case SQL_SMALLINT: return 2;
    case SQL_INTEGER: return 3;
    case SQL_REAL: return 4;
    case SQL_FLOAT: case SQL_DOUBLE: return 5;
    case SQL_BIT: return 11;
    case SQL_TINYINT: return 16;
    case SQL_BIGINT: return 20;
    case SQL_BINARY: return 128;
    case SQL_VARBINARY: return 204;
    case SQL_LONGVARBINARY: return 205;
    case SQL_TYPE_DATE: case SQL_DATE: return 133;
    case SQL_TYPE_TIME: case SQL_TIME: return 134;
    case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP: return 135;
    case SQL_GUID: return 72;
    default: return 0;
    }
}

CatalogRef OpenOdbcCatalog(const std::string& connectionString) {
    auto catalog = std::make_shared<OdbcCatalog>();
    catalog->Connect(connectionString);
    return catalog;
}

} // namespace qz::query
