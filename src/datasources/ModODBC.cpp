#include "datasources/ModODBC.h"

#include <sql.h>
#include <sqlext.h>
#include <odbcinst.h>

#include <memory>

namespace qz::datasources {

namespace {

struct Env {
    SQLHENV h = SQL_NULL_HENV;
    Env() {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h))) h = SQL_NULL_HENV;
        else if (!SQL_SUCCEEDED(SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
            SQLFreeHandle(SQL_HANDLE_ENV, h);
            h = SQL_NULL_HENV;
        }
    }
    ~Env() {
        if (h != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, h);
    }
};

// Lists names through SQLDataSources or SQLDrivers. A name longer than the
// buffer is read again with a buffer of its full length, never past the end.
template <class Fn>
std::vector<std::string> listNames(Fn fetch) {
    std::vector<std::string> names;
    Env env;
    if (env.h == SQL_NULL_HENV) return names;
    std::vector<SQLCHAR> name(256), desc(1024);
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLSMALLINT nameLen = 0, descLen = 0;
        SQLRETURN rc = fetch(env.h, direction, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLen,
                             desc.data(), static_cast<SQLSMALLINT>(desc.size()), &descLen);
        if (!SQL_SUCCEEDED(rc)) break;
        std::size_t n = static_cast<std::size_t>(nameLen < 0 ? 0 : nameLen);
        if (n >= name.size()) n = name.size() - 1; // truncated: keep what the buffer holds
        names.emplace_back(reinterpret_cast<char*>(name.data()), n);
        direction = SQL_FETCH_NEXT;
    }
    return names;
}

} // namespace

std::vector<std::string> GetOdbcDataSourceNames() {
    return listNames([](SQLHENV env, SQLUSMALLINT dir, SQLCHAR* n, SQLSMALLINT nMax, SQLSMALLINT* nLen,
                        SQLCHAR* d, SQLSMALLINT dMax, SQLSMALLINT* dLen) {
        return SQLDataSources(env, dir, n, nMax, nLen, d, dMax, dLen);
    });
}

std::vector<std::string> GetOdbcDriverNames() {
    return listNames([](SQLHENV env, SQLUSMALLINT dir, SQLCHAR* n, SQLSMALLINT nMax, SQLSMALLINT* nLen,
                        SQLCHAR* d, SQLSMALLINT dMax, SQLSMALLINT* dLen) {
        return SQLDrivers(env, dir, n, nMax, nLen, d, dMax, dLen);
    });
}

bool CreateOdbcDataSource(const std::string& name, const std::string& driver,
                          const std::vector<std::pair<std::string, std::string>>& attributes,
                          std::string* error) {
    auto fail = [&] {
        if (error) {
            DWORD code = 0;
            char msg[512] = {};
            WORD len = 0;
            *error = SQLInstallerError(1, &code, msg, sizeof msg, &len) == SQL_SUCCESS ? msg
                                                                                      : "The data source cannot be written.";
        }
        SQLSetConfigMode(ODBC_BOTH_DSN);
        return false;
    };
    if (name.empty() || !SQLValidDSN(name.c_str())) {
        if (error) *error = "The data source name is not valid.";
        return false;
    }
    if (!SQLSetConfigMode(ODBC_USER_DSN)) return fail();
    if (!SQLWriteDSNToIni(name.c_str(), driver.c_str())) return fail();
    for (const auto& [key, value] : attributes)
        if (!SQLWritePrivateProfileString(name.c_str(), key.c_str(), value.c_str(), "odbc.ini")) return fail();
    SQLSetConfigMode(ODBC_BOTH_DSN);
    return true;
}

} // namespace qz::datasources
