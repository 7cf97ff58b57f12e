// Connection strings and the provider they choose:
//   no Provider, with DSN= / Driver= / FileDSN=     ODBC through the driver manager
//   no Provider, Data Source=<file> (or a bare path) an SQLite database file
//   Provider=SQLite; Data Source=<file>             an SQLite database file
//   Provider=Microsoft.Jet.OLEDB.*                  the Jet file sources: an SQLite or
//       Access database file, an Excel workbook (Extended Properties=Excel ...),
//       a folder of delimited text files (Extended Properties="text;HDR=...")
//   Provider=MSDASQL                                ODBC (keys, or Extended Properties)
//   Provider=SQLOLEDB                               ODBC through the FreeTDS driver
//   Provider=MSDAORA                                ODBC through an installed Oracle driver
// Keys the connection editor writes (uid, Password, Persist Security Info) are
// mapped to what ODBC drivers take.
#include "platform/ado/Connection.h"

#include "platform/ado/Backend.h"
#include "platform/ado/ConnectionString.h"
#include "platform/ado/Members.h"
#include "platform/automation/LocaleFormat.h"
#include "platform/system/Locales.h"
#include "platform/system/Deadline.h"
#include "platform/system/Paths.h"

#include <krb5.h>

#include <ctime>
#include <filesystem>
#include <optional>

namespace qz::ado {

namespace fs = std::filesystem;

namespace {

constexpr const char* kConnSource = "ADODB.Connection";

sys::DeadlineClock::time_point timeoutFromNow(std::int32_t seconds) {
    if (seconds <= 0) return sys::DeadlineClock::time_point::max();
    return sys::DeadlineClock::now() + std::chrono::seconds(seconds);
}

void appendOdbc(std::string& out, std::string_view key, std::string_view value) {
    out.append(key);
    out.push_back('=');
    out.append(quoteOdbcValue(value));
    out.push_back(';');
}

// The keys of an OLE DB or editor-written string, as ODBC takes them.
std::string odbcKey(std::string_view key) {
    if (equalsNoCaseAscii(key, "uid") || equalsNoCaseAscii(key, "User ID") || equalsNoCaseAscii(key, "User"))
        return "UID";
    if (equalsNoCaseAscii(key, "Password") || equalsNoCaseAscii(key, "PWD")) return "PWD";
    if (equalsNoCaseAscii(key, "Initial Catalog") || equalsNoCaseAscii(key, "database")) return "DATABASE";
    return std::string(key);
}

bool droppedForOdbc(std::string_view key) {
    return equalsNoCaseAscii(key, "Provider") || equalsNoCaseAscii(key, "Persist Security Info") ||
           equalsNoCaseAscii(key, "Extended Properties") || equalsNoCaseAscii(key, "Mode");
}

std::string toOdbcString(const std::vector<ConnectionPair>& pairs, bool dataSourceIsDsn) {
    std::string out;
    for (const ConnectionPair& p : pairs) {
        if (equalsNoCaseAscii(p.key, "Extended Properties")) {
            // MSDASQL keeps the whole ODBC string here.
            for (const ConnectionPair& q : parseConnectionString(p.value))
                appendOdbc(out, odbcKey(q.key), q.value);
            continue;
        }
        if (droppedForOdbc(p.key)) continue;
        if (dataSourceIsDsn && equalsNoCaseAscii(p.key, "Data Source")) {
            appendOdbc(out, "DSN", p.value);
            continue;
        }
        appendOdbc(out, odbcKey(p.key), p.value);
    }
    return out;
}

std::string value(const std::vector<ConnectionPair>& pairs, std::string_view key) {
    const std::string* v = findPair(pairs, key);
    return v ? *v : std::string();
}

bool isYes(std::string_view v) {
    return equalsNoCaseAscii(v, "yes") || equalsNoCaseAscii(v, "true") || equalsNoCaseAscii(v, "sspi");
}

bool trustedConnection(const std::vector<ConnectionPair>& pairs) {
    return isYes(value(pairs, "Trusted_Connection")) || isYes(value(pairs, "Integrated Security"));
}

std::string sqlServerOdbc(const std::vector<ConnectionPair>& pairs) {
    std::string server = value(pairs, "Data Source");
    if (server.empty()) server = value(pairs, "Server");
    std::string out = "Driver={FreeTDS};";
    if (const auto comma = server.find(','); comma != std::string::npos) {
        appendOdbc(out, "Server", server.substr(0, comma));
        appendOdbc(out, "Port", server.substr(comma + 1));
    } else {
        appendOdbc(out, "Server", server.empty() ? "localhost" : server);
    }
    std::string db = value(pairs, "database");
    if (db.empty()) db = value(pairs, "Initial Catalog");
    if (!db.empty()) appendOdbc(out, "Database", db);
    if (trustedConnection(pairs)) {
        // The driver logs on with the user's Kerberos ticket.
        out += "Trusted_Connection=Yes;";
    } else {
        std::string uid = value(pairs, "uid");
        if (uid.empty()) uid = value(pairs, "User ID");
        appendOdbc(out, "UID", uid);
        std::string pwd = value(pairs, "Password");
        if (pwd.empty()) pwd = value(pairs, "PWD");
        if (!pwd.empty()) appendOdbc(out, "PWD", pwd);
    }
    out += "ClientCharset=UTF-8;";
    return out;
}

std::unique_ptr<Backend> openSqlServer(const std::vector<ConnectionPair>& pairs) {
    if (trustedConnection(pairs) && !hasKerberosTicket())
        raiseProvider(kConnSource, "Windows integrated security logs on to SQL Server with Kerberos, and there is "
                                   "no Kerberos ticket: run kinit, then try again.");
    return openOdbc(sqlServerOdbc(pairs));
}

std::unique_ptr<Backend> openOracle(const std::vector<ConnectionPair>& pairs) {
    const std::string driver = installedOracleDriver();
    if (driver.empty())
        raiseProvider(kConnSource, "Oracle connections need an Oracle ODBC driver, and none is "
                                   "installed on this computer.");
    std::string out;
    appendOdbc(out, "Driver", driver);
    appendOdbc(out, "DBQ", value(pairs, "Data Source"));
    std::string uid = value(pairs, "uid");
    if (uid.empty()) uid = value(pairs, "User ID");
    appendOdbc(out, "UID", uid);
    const std::string pwd = value(pairs, "Password");
    if (!pwd.empty()) appendOdbc(out, "PWD", pwd);
    return openOdbc(out);
}

std::unique_ptr<Backend> openJet(const std::vector<ConnectionPair>& pairs) {
    const std::string path = sys::localPath(value(pairs, "Data Source"));
    const std::string extText = value(pairs, "Extended Properties");
    const std::string ext = toLowerAscii(extText);
    if (path.empty()) raiseProvider(kConnSource, "The connection string names no data source file.");
    const auto props = parseConnectionString(ext);
    if (ext.find("outlook") != std::string::npos || ext.find("exchange") != std::string::npos)
        raiseProvider(kConnSource, "Outlook contacts cannot be read on this system.");
    // The Jet provider's other file formats have no reader here.
    for (const char* isam : {"dbase", "paradox", "lotus", "html"})
        if (ext.starts_with(isam))
            raiseProvider(kConnSource, "The Jet provider's " + extText.substr(0, extText.find(';')) +
                                           " files cannot be read on this system; only Access, Excel and "
                                           "delimited text files can.");
    std::error_code ec;
    if (ext.starts_with("text")) {
        fs::path folder(path);
        if (sys::regularFileExists(path)) folder = folder.parent_path();
        if (!fs::is_directory(folder, ec))
            raiseProvider(kConnSource, "The folder '" + path + "' of the text files cannot be found.");
        const std::string hdr = value(props, "HDR");
        // FMT=Delimited(x) names the separator, which may itself be ";".
        char delimiter = ',';
        if (ext.find("fmt=tabdelimited") != std::string::npos) delimiter = '\t';
        else if (const auto p = ext.find("fmt=delimited("); p != std::string::npos && p + 14 < ext.size() &&
                 extText[p + 14] != ')')
            delimiter = extText[p + 14];
        // DecimalSymbol=, declares the files' numbers written with a decimal comma.
        const std::string decimal = value(props, "DecimalSymbol");
        if (decimal.size() > 1 || (decimal.size() == 1 && decimal != "." && decimal != ","))
            raiseProvider(kConnSource, "DecimalSymbol of text files is \".\" or \",\", not \"" + decimal + "\".");
        return importTextFolder(folder.string(), hdr.empty() || isYes(hdr), delimiter, decimal.empty() ? '.' : decimal[0]);
    }
    if (!sys::regularFileExists(path))
        raiseProvider(kConnSource, "The file '" + path + "' cannot be found.");
    if (ext.starts_with("excel")) {
        const std::string hdr = value(props, "HDR");
        return importExcel(path, hdr.empty() || isYes(hdr));
    }
    if (isSqliteFile(path)) return SqliteBackend::openFile(path);
    return importAccess(path);
}

} // namespace

std::unique_ptr<Backend> openBackend(const std::string& cs) {
    const std::vector<ConnectionPair> pairs = parseConnectionString(cs);
    if (pairs.empty()) raiseProvider(kConnSource, "The connection string is empty.");
    const std::string provider = toLowerAscii(value(pairs, "Provider"));
    if (provider.empty()) {
        for (const char* k : {"DSN", "Driver", "FileDSN"})
            if (findPair(pairs, k)) return openOdbc(toOdbcString(pairs, false));
        std::string path = value(pairs, "Data Source");
        if (path.empty() && pairs.size() == 1 && cs.find('=') == std::string::npos) path = pairs[0].key;
        if (path.empty()) raiseProvider(kConnSource, "The connection string names no provider and no data source.");
        return openJet({ConnectionPair{"Data Source", path, 0, 0}});
    }
    if (provider.starts_with("microsoft.jet.oledb") || provider.starts_with("microsoft.ace.oledb"))
        return openJet(pairs);
    if (provider.starts_with("sqlite")) {
        const std::string path = sys::localPath(value(pairs, "Data Source"));
        if (!sys::regularFileExists(path))
            raiseProvider(kConnSource, "The database file '" + path + "' cannot be found.");
        return SqliteBackend::openFile(path);
    }
    if (provider.starts_with("msdasql")) return openOdbc(toOdbcString(pairs, true));
    if (provider == "sqloledb" || provider.starts_with("sqlncli") || provider.starts_with("msoledbsql"))
        return openSqlServer(pairs);
    if (provider == "msdaora" || provider.starts_with("oraoledb")) return openOracle(pairs);
    if (provider == "mspersist")
        raiseProvider(kConnSource, "Saved recordsets are opened by the recordset with the file name as "
                                   "its source; they have no connection.");
    throw AutomationError(adoErrorNumber(kErrProviderNotFound), kConnSource,
                          "Provider cannot be found. It may not be properly installed. (" +
                              value(pairs, "Provider") + ")");
}

std::string sqlServerOdbcString(const std::string& connectionString) {
    return sqlServerOdbc(parseConnectionString(connectionString));
}

bool hasKerberosTicket() {
    krb5_context context = nullptr;
    if (krb5_init_context(&context) != 0) return false;
    bool found = false;
    krb5_ccache cache = nullptr;
    krb5_cc_cursor cursor = nullptr;
    if (krb5_cc_default(context, &cache) == 0) {
        if (krb5_cc_start_seq_get(context, cache, &cursor) == 0) {
            const auto now = static_cast<krb5_timestamp>(std::time(nullptr));
            krb5_creds creds;
            while (!found && krb5_cc_next_cred(context, cache, &cursor, &creds) == 0) {
                // Configuration entries of the cache carry no end time.
                found = creds.times.endtime != 0 && creds.times.endtime > now;
                krb5_free_cred_contents(context, &creds);
            }
            krb5_cc_end_seq_get(context, cache, &cursor);
        }
        krb5_cc_close(context, cache);
    }
    krb5_free_context(context);
    return found;
}

// ---------------------------------------------------------------- Errors

namespace {

class ErrorObject final : public Dispatch {
public:
    explicit ErrorObject(ProviderError e) : e_(std::move(e)) {}
    std::int32_t memberId(std::u16string_view name) override {
        static constexpr MemberName kMembers[] = {
            {u"Description", 0}, {u"Number", 1}, {u"Source", 2}, {u"SQLState", 3},
            {u"NativeError", 4}, {u"HelpFile", 5}, {u"HelpContext", 6}};
        return findMember(kMembers, name);
    }
    Variant invoke(std::int32_t id, std::uint8_t kind, std::span<Variant>) override {
        if (kind & (kInvokePropertyPut | kInvokePropertyPutRef)) raiseNotSupported("ADODB.Error");
        switch (id) {
        case 0: return Variant::fromUtf8(e_.description);
        case 1: return Variant(e_.number);
        case 2: return Variant::fromUtf8(e_.source);
        case 3: return Variant::fromUtf8(e_.sqlState);
        case 4: return Variant(e_.nativeError);
        case 5: return Variant(std::u16string());
        case 6: return Variant(std::int32_t{0});
        default: raiseNotSupported("ADODB.Error");
        }
    }
    std::u16string typeName() const override { return u"Error"; }

private:
    ProviderError e_;
};

class ErrorsObject final : public Dispatch {
public:
    explicit ErrorsObject(Ref<Connection> c) : conn_(std::move(c)) {}
    std::int32_t memberId(std::u16string_view name) override {
        static constexpr MemberName kMembers[] = {{u"Item", 0}, {u"Count", 1}, {u"Clear", 2}, {u"Refresh", 3}};
        return findMember(kMembers, name);
    }
    Variant invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) override {
        if (kind & (kInvokePropertyPut | kInvokePropertyPutRef)) raiseNotSupported("ADODB.Errors");
        const auto& list = conn_->errors();
        switch (id) {
        case 0: {
            if (isMissing(args, 0)) raiseAdo(kErrItemNotFound, "ADODB.Errors");
            const std::int32_t i = args[0].toLong();
            if (i < 0 || static_cast<std::size_t>(i) >= list.size()) raiseAdo(kErrItemNotFound, "ADODB.Errors");
            return Variant(Ref<Dispatch>(makeRef<ErrorObject>(list[static_cast<std::size_t>(i)])));
        }
        case 1: return Variant(static_cast<std::int32_t>(list.size()));
        case 2:
        case 3: return Variant();
        default: raiseNotSupported("ADODB.Errors");
        }
    }
    Ref<Enumerator> newEnum() override {
        struct E final : Enumerator {
            std::vector<ProviderError> items;
            std::size_t i = 0;
            bool next(Variant& out) override {
                if (i >= items.size()) return false;
                out = Variant(Ref<Dispatch>(makeRef<ErrorObject>(items[i++])));
                return true;
            }
        };
        Ref<E> e = makeRef<E>();
        e->items = conn_->errors();
        return e;
    }
    std::u16string typeName() const override { return u"Errors"; }

private:
    Ref<Connection> conn_;
};

enum ConnMember : std::int32_t {
    kCnConnectionString = kDispidValue, kCnOpen = 1, kCnClose, kCnState, kCnErrors, kCnExecute,
    kCnCursorLocation, kCnConnectionTimeout, kCnCommandTimeout, kCnProvider, kCnVersion,
};

constexpr MemberName kConnMembers[] = {
    {u"ConnectionString", kCnConnectionString}, {u"Open", kCnOpen}, {u"Close", kCnClose},
    {u"State", kCnState}, {u"Errors", kCnErrors}, {u"Execute", kCnExecute},
    {u"CursorLocation", kCnCursorLocation}, {u"ConnectionTimeout", kCnConnectionTimeout},
    {u"CommandTimeout", kCnCommandTimeout}, {u"Provider", kCnProvider}, {u"Version", kCnVersion},
};

} // namespace

Connection::Connection() = default;
Connection::~Connection() = default;

template <class F>
auto Connection::guarded(F&& f) -> decltype(f()) {
    try {
        errors_.clear();
        return f();
    } catch (AutomationError& e) {
        e.Description = maskSecretsIn(std::move(e.Description), connectionString_);
        errors_.push_back(ProviderError{e.Number, e.Description, e.Source, {}, 0});
        throw;
    }
}

void Connection::requireOpen() const {
    if (!isOpen()) raiseAdo(kErrObjectClosed, kConnSource);
}

void Connection::open(const std::string& cs) {
    if (isOpen()) raiseAdo(kErrObjectOpen, kConnSource);
    connectionString_ = cs;
    // ConnectionTimeout (seconds, 0: none) bounds the opening, as does an
    // earlier deadline of the caller's (the script's time-out).
    const sys::DeadlineScope deadline(timeoutFromNow(connectionTimeout_));
    guarded([&] { backend_ = openBackend(cs); });
}

void Connection::close() {
    requireOpen();
    backend_.reset();
}

Ref<Recordset> Connection::execute(std::string_view sql, std::span<const SqlParameter> parameters) {
    requireOpen();
    // CommandTimeout (seconds, 0: none) bounds the statement, as does an
    // earlier deadline of the caller's (the script's time-out).
    const sys::DeadlineScope deadline(timeoutFromNow(commandTimeout_));
    // The connection's locale while the command runs (its functions read
    // it), the caller's again afterwards.
    struct CommandLocale {
        std::optional<LocaleFormat> saved;
        explicit CommandLocale(std::uint32_t lcid) {
            const LocaleFormat* f = lcid ? sys::localeFormatFor(lcid) : nullptr;
            if (!f || f->lcid == currentLocale().lcid) return;
            saved = currentLocale();
            setCurrentLocale(*f);
        }
        ~CommandLocale() {
            if (saved) setCurrentLocale(*saved);
        }
    } locale(lcid_);
    return guarded([&] {
        Ref<Recordset> rs = makeRef<Recordset>();
        rs->attach(backend_->query(sql, parameters), Variant::fromUtf8(sql).stringValue(), Ref<Dispatch>(this));
        return rs;
    });
}

Ref<Recordset> Connection::describe(std::string_view sql) {
    requireOpen();
    return guarded([&] {
        Ref<Recordset> rs = makeRef<Recordset>();
        rs->attach(backend_->describe(sql), Variant::fromUtf8(sql).stringValue());
        return rs;
    });
}

std::vector<CatalogTable> Connection::catalog() {
    requireOpen();
    return guarded([&] { return backend_->catalog(); });
}

NameRules Connection::nameRules() {
    requireOpen();
    return guarded([&] { return backend_->nameRules(); });
}

std::int32_t Connection::memberId(std::u16string_view name) { return findMember(kConnMembers, name); }

Variant Connection::invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) {
    const bool put = (kind & (kInvokePropertyPut | kInvokePropertyPutRef)) != 0;
    if (put && args.empty()) raiseAdo(kErrInvalidArgument, kConnSource);
    switch (id) {
    case kCnConnectionString:
        if (put) {
            if (isOpen()) raiseAdo(kErrObjectOpen, kConnSource);
            connectionString_ = args.back().toUtf8();
            return Variant();
        }
        return Variant::fromUtf8(maskSecrets(connectionString_));
    case kCnOpen: {
        std::string cs = isMissing(args, 0) ? connectionString_ : args[0].toUtf8();
        if (!isMissing(args, 1)) cs += ";User ID=" + quoteValue(args[1].toUtf8());
        if (!isMissing(args, 2)) cs += ";Password=" + quoteValue(args[2].toUtf8());
        open(cs);
        return Variant();
    }
    case kCnClose: close(); return Variant();
    case kCnState: if (!put) return Variant(state()); break;
    case kCnErrors:
        if (!put) {
            // Errors(0) reaches the collection's default member.
            Ref<Dispatch> errs = makeRef<ErrorsObject>(Ref<Connection>(this));
            if (isMissing(args, 0)) return Variant(errs);
            return errs->invoke(kDispidValue, kInvokePropertyGet, args);
        }
        break;
    case kCnExecute:
        if (isMissing(args, 0)) raiseAdo(kErrInvalidArgument, kConnSource);
        return Variant(Ref<Dispatch>(execute(args[0].toUtf8())));
    case kCnCursorLocation:
        if (put) { cursorLocation_ = args.back().toLong(); return Variant(); }
        return Variant(cursorLocation_);
    case kCnConnectionTimeout:
        if (put) { connectionTimeout_ = args.back().toLong(); return Variant(); }
        return Variant(connectionTimeout_);
    case kCnCommandTimeout:
        if (put) { commandTimeout_ = args.back().toLong(); return Variant(); }
        return Variant(commandTimeout_);
    case kCnProvider:
        if (!put) return Variant::fromUtf8(findValue(connectionString_, "Provider"));
        break;
    case kCnVersion: if (!put) return Variant(std::u16string(u"2.8")); break;
    default: break;
    }
    raiseNotSupported(kConnSource);
}

} // namespace qz::ado
