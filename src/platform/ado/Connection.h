// The connection: opened by a connection string, whose provider chooses the
// database behind it (see Connection.cpp for the forms). A failed Open raises
// the database's own message and keeps it in Errors; passwords never appear
// in either.
#pragma once

#include "platform/ado/Catalog.h"
#include "platform/ado/Recordset.h"
#include "platform/ado/SqlParameter.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qz::ado {

class Backend;

struct ProviderError {
    std::int32_t number = 0;
    std::string description;
    std::string source;
    std::string sqlState;
    std::int32_t nativeError = 0;
};

class Connection final : public Dispatch {
public:
    Connection();
    ~Connection() override;

    void open(const std::string& connectionString);
    void close();
    bool isOpen() const { return backend_ != nullptr; }
    std::int32_t state() const { return isOpen() ? adStateOpen : adStateClosed; }
    const std::string& connectionString() const { return connectionString_; }
    // The locale Access SQL's functions write and read numbers and dates in
    // (Format, CStr, a number joined to a text): an LCID (a template's, the
    // user's), or 0, the default, for the locale of the calling thread when
    // the command runs, which a running script sets (its GetLocale).
    void setLocale(std::uint32_t lcid) { lcid_ = lcid; }

    // Runs a statement and returns all of its rows as an open recordset; the
    // parameters are bound to its "?", in order.
    Ref<Recordset> execute(std::string_view sql, std::span<const SqlParameter> parameters = {});
    Ref<Recordset> execute(const BoundSql& sql) { return execute(sql.text, sql.parameters); }
    // The columns of a statement, read by preparing it only (no rows, and a
    // statement with "?" parameters still gives its columns).
    Ref<Recordset> describe(std::string_view sql);
    std::vector<CatalogTable> catalog();
    NameRules nameRules();

    const std::vector<ProviderError>& errors() const { return errors_; }

    std::int32_t memberId(std::u16string_view name) override;
    Variant invoke(std::int32_t memberId, std::uint8_t kind, std::span<Variant> args) override;
    std::u16string typeName() const override { return u"Connection"; }

private:
    template <class F> auto guarded(F&& f) -> decltype(f());
    void requireOpen() const;

    std::unique_ptr<Backend> backend_;
    std::string connectionString_;
    std::vector<ProviderError> errors_;
    std::int32_t cursorLocation_ = 2;
    std::int32_t connectionTimeout_ = 15;
    std::int32_t commandTimeout_ = 30;
    std::uint32_t lcid_ = 0;
};

// The backend for a connection string (exposed for the catalog and tests).
std::unique_ptr<Backend> openBackend(const std::string& connectionString);

// The ODBC connection string that reaches the FreeTDS driver for an SQL
// Server connection string (SQLOLEDB's keys). Windows integrated security
// (Trusted_Connection=Yes, Integrated Security=SSPI) becomes FreeTDS's
// Kerberos log-on: Trusted_Connection=Yes, without user name or password.
std::string sqlServerOdbcString(const std::string& connectionString);
// True when the user's Kerberos credential cache holds a ticket that has not
// expired (the log-on of integrated security needs one).
bool hasKerberosTicket();

// Makes "ADODB.Connection", "ADODB.Recordset" and "ADOX.Catalog" creatable
// from scripts, through the script runtime's registerCreatable (passed in, so
// that this layer does not depend on the script engine).
using CreatableRegistrar = void (*)(std::u16string_view progId, Ref<Dispatch> (*factory)());
void registerCreatables(CreatableRegistrar registrar);

} // namespace qz::ado
