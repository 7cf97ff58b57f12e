// The connection string an ODBC driver is handed. Drivers read keys the
// driver manager passes over (the SQLite driver loads a library named by
// LoadExt and appends to the file named by Tracefile), and each reads a
// value its own way (the SQLite driver ends every value at the next ";",
// braces or not). So the string is rebuilt here from the pairs as read: the
// driver by its installed name, then only the keys that kind of driver is
// known to need, each value written so that the driver manager and the
// driver read it alike. The keys a data source of odbc.ini or a file data
// source brings go through the same check and are written into the string,
// so that no driver reads a data source of its own. Any other key is
// refused, by name, before the driver manager sees anything.
#include "platform/ado/Backend.h"
#include "platform/ado/ConnectionString.h"
#include "platform/automation/Text.h"
#include "platform/system/Paths.h"

#include <odbcinst.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <span>

namespace qz::ado {

namespace {

constexpr const char* kSource = "ODBC";

// The values a key takes: any text, a single word (a number, a switch, the
// name of a mode), or only "off" (empty, 0, No or False: a key that data
// sources made by the drivers' own tools hold, and that is never let on).
enum class Shape { Text, Word, Off };
constexpr Shape kText = Shape::Text, kWord = Shape::Word, kOff = Shape::Off;

struct Key {
    std::string_view name;
    Shape shape;
    std::string_view same = {}; // the key this is another name of
};

// Keys every driver is handed: the log-on, the database and the server; a
// data source's description is taken and not handed on. The data source
// wizard writes the server and the user under both spellings for any
// driver; each driver reads those it knows.
constexpr Key kCommonKeys[] = {{"UID", kText},      {"Username", kText, "UID"},       {"PWD", kText},
                               {"Password", kText, "PWD"}, {"Database", kText}, {"Server", kText},
                               {"Servername", kText, "Server"}, {"Port", kWord}, {"Description", kText}};
constexpr Key kSqliteKeys[] = {{"Timeout", kWord},    {"StepAPI", kWord},  {"SyncPragma", kWord}, {"NoTXN", kWord},
                               {"ShortNames", kWord}, {"LongNames", kWord}, {"NoCreat", kWord},   {"NoWCHAR", kWord},
                               {"FKSupport", kWord},  {"JournalMode", kWord}, {"JDConv", kWord},  {"BigInt", kWord}};
constexpr Key kPostgresKeys[] = {{"SSLMode", kWord},
                                 {"ReadOnly", kWord},
                                 {"Protocol", kWord},
                                 {"BoolsAsChar", kWord},
                                 {"B9", kWord, "BoolsAsChar"},
                                 {"MaxVarcharSize", kWord},
                                 {"MaxLongVarcharSize", kWord},
                                 {"TextAsLongVarchar", kWord},
                                 {"UnknownsAsLongVarchar", kWord},
                                 {"UnknownSizes", kWord},
                                 {"UseDeclareFetch", kWord},
                                 {"Fetch", kWord},
                                 {"UseServerSidePrepare", kWord},
                                 {"ByteaAsLongVarBinary", kWord},
                                 {"LowerCaseIdentifier", kWord},
                                 {"ShowSystemTables", kWord},
                                 {"UpdatableCursors", kWord},
                                 {"LFConversion", kWord},
                                 {"TrueIsMinus1", kWord},
                                 {"BI", kWord},
                                 {"Parse", kWord},
                                 {"RowVersioning", kWord},
                                 {"ShowOidColumn", kWord},
                                 {"FakeOidIndex", kWord},
                                 {"Debug", kOff},
                                 {"CommLog", kOff},
                                 {"ConnSettings", kOff}};
constexpr Key kFreeTdsKeys[] = {{"Address", kText},         {"TDS_Version", kWord}, {"ClientCharset", kWord},
                                {"Trusted_Connection", kWord}, {"APP", kText},       {"WSID", kText},
                                {"Language", kWord},        {"Encryption", kWord},  {"Domain", kText},
                                {"MARS_Connection", kWord}, {"ApplicationIntent", kWord}};
constexpr Key kDbqKeys[] = {{"DBQ", kText}};

enum class Family { Sqlite, Postgres, Other };

// A kind of driver, told by the file name of its library.
struct DriverKind {
    std::string_view library; // how the file name starts; "" for any other driver
    Family family;
    bool braces; // reads a value in braces, which may then hold ";"
    std::span<const Key> keys;
};
constexpr DriverKind kKinds[] = {{"libsqlite3odbc", Family::Sqlite, false, kSqliteKeys},
                                 {"libsqliteodbc", Family::Sqlite, false, kSqliteKeys},
                                 {"psqlodbc", Family::Postgres, true, kPostgresKeys},
                                 {"libtdsodbc", Family::Other, true, kFreeTdsKeys},
                                 {"libmdbodbc", Family::Other, false, kDbqKeys},
                                 {"libsqora", Family::Other, false, kDbqKeys},
                                 {"", Family::Other, false, {}}};

// The kind every library entry of the driver is of; "any other" when they differ.
const DriverKind& kindOf(const InstalledDriver& driver) {
    const DriverKind* found = nullptr;
    for (const std::string& lib : driver.libraries) {
        const std::string file = toLowerAscii(sys::lastPathComponent(lib));
        const DriverKind* kind = &kKinds[std::size(kKinds) - 1];
        for (const DriverKind& k : kKinds)
            if (!k.library.empty() && file.starts_with(k.library)) {
                kind = &k;
                break;
            }
        if (found && found != kind) return kKinds[std::size(kKinds) - 1];
        found = kind;
    }
    return found ? *found : kKinds[std::size(kKinds) - 1];
}

// A pair and who brought it: "" for the connection string, else the data source.
struct Given {
    std::string key, value, origin;
};

std::string installedNames(const std::vector<InstalledDriver>& drivers) {
    std::string out;
    for (const InstalledDriver& d : drivers) out += (out.empty() ? "" : ", ") + d.name;
    return out.empty() ? "none is installed" : "the installed ones are " + out;
}

[[noreturn]] void refuseDriver(const std::string& what, const std::vector<InstalledDriver>& drivers) {
    raiseProvider(kSource, what + ", which is not an installed ODBC driver; a connection names its driver by "
                                  "its installed name (" + installedNames(drivers) + ").");
}

// The driver of this name (any letter case); a data source may also name
// the very library of an installed driver.
const InstalledDriver& installedDriver(std::string_view name, const std::vector<InstalledDriver>& drivers,
                                       const std::string& what, bool byLibrary) {
    const std::string_view wanted = trimSpaces(name);
    for (const InstalledDriver& d : drivers)
        if (equalsNoCaseAscii(d.name, wanted) ||
            (byLibrary && std::find(d.libraries.begin(), d.libraries.end(), wanted) != d.libraries.end()))
            return d;
    refuseDriver(what + " \"" + std::string(name) + "\"", drivers);
}

// A text of odbc.ini as the driver manager reads it (the user's file, then
// the system's); with no key, the section's keys, each ended by a zero.
std::string profileText(const std::string& section, const char* key) {
    constexpr int kRoom = 16384;
    std::string text(kRoom, '\0');
    SQLSetConfigMode(ODBC_BOTH_DSN);
    const int n = SQLGetPrivateProfileString(section.c_str(), key, "", text.data(), kRoom, "ODBC.INI");
    if (n >= kRoom - 1)
        raiseProvider(kSource, "The ODBC data source \"" + section + "\" is too long to be read.");
    text.resize(static_cast<std::size_t>(std::max(n, 0)));
    return text;
}

// The pairs of a data source of odbc.ini.
std::vector<Given> dataSourcePairs(const std::string& dsn, const std::string& origin) {
    const std::string keys = profileText(dsn, nullptr);
    if (keys.empty())
        raiseProvider(kSource, "Data source name not found: no ODBC data source \"" + dsn +
                                   "\" is defined in the user's or the system's odbc.ini.");
    std::vector<Given> out;
    for (std::size_t at = 0; at < keys.size() && keys[at] != '\0';) {
        const std::string key = keys.c_str() + at;
        at += key.size() + 1;
        out.push_back({key, profileText(dsn, key.c_str()), origin});
    }
    return out;
}

// The pairs of the [ODBC] section of a file data source.
std::vector<Given> fileDataSourcePairs(const std::string& file, const std::string& origin) {
    std::error_code ec;
    std::ifstream in;
    if (sys::regularFileExists(file) && std::filesystem::file_size(file, ec) < (1 << 20)) in.open(file);
    if (!in.is_open()) raiseProvider(kSource, "The file data source \"" + file + "\" cannot be read.");
    std::vector<Given> out;
    bool inOdbc = false;
    for (std::string line; std::getline(in, line);) {
        const std::string_view t = trimSpaces(line);
        if (t.starts_with('[')) inOdbc = equalsNoCaseAscii(t, "[ODBC]");
        const auto eq = t.find('=');
        if (!inOdbc || t.starts_with(';') || t.starts_with('#') || eq == std::string_view::npos) continue;
        out.push_back({std::string(trimSpaces(t.substr(0, eq))), std::string(trimSpaces(t.substr(eq + 1))), origin});
        if (equalsNoCaseAscii(out.back().key, "DSN") || equalsNoCaseAscii(out.back().key, "FILEDSN"))
            raiseProvider(kSource, "The file data source \"" + file + "\" names another data source.");
    }
    return out;
}

bool isSourceKey(const Given& g) {
    return equalsNoCaseAscii(g.key, "DRIVER") || equalsNoCaseAscii(g.key, "DSN") || equalsNoCaseAscii(g.key, "FILEDSN");
}

// The driver: named by the first of DRIVER, DSN and FILEDSN, as ODBC reads
// them, or with none by the data source "DEFAULT". The other pairs a data
// source brings go to "brought"; a data source of odbc.ini may name the very
// library of an installed driver.
const InstalledDriver& sourceDriver(const std::vector<Given>& given, const std::vector<InstalledDriver>& drivers,
                                    std::vector<Given>& brought) {
    const auto source = std::find_if(given.begin(), given.end(), isSourceKey);
    if (source != given.end() && equalsNoCaseAscii(source->key, "DRIVER"))
        return installedDriver(source->value, drivers, "The connection names the driver", false);
    const bool fileDsn = source != given.end() && equalsNoCaseAscii(source->key, "FILEDSN");
    std::string name = source == given.end() ? "DEFAULT" : source->value;
    std::string origin;
    if (fileDsn) {
        // The driver manager looks for a name without a folder in a folder
        // of its own; a template's relative name is made full in its folder.
        if (!name.starts_with('/'))
            raiseProvider(kSource, "A file data source is named by its full path, not \"" + name + "\".");
        if (!name.ends_with(".dsn")) name += ".dsn";
        origin = "the file data source \"" + name + "\"";
        brought = fileDataSourcePairs(name, origin);
    } else {
        origin = "the ODBC data source \"" + name + "\"";
        brought = dataSourcePairs(name, origin);
    }
    const auto driver = std::find_if(brought.begin(), brought.end(),
                                     [](const Given& g) { return equalsNoCaseAscii(g.key, "DRIVER"); });
    const std::string named = "T" + origin.substr(1);
    if (driver == brought.end()) raiseProvider(kSource, named + " names no driver.");
    const InstalledDriver& d = installedDriver(driver->value, drivers, named + " names the driver", !fileDsn);
    brought.erase(driver);
    return d;
}

std::string whose(const Given& g) {
    return g.origin.empty() ? "the connection string key \"" + g.key + "\""
                            : "the key \"" + g.key + "\" of " + g.origin;
}

const Key* allowedKey(const DriverKind& kind, std::string_view key) {
    for (const std::span<const Key> keys : {std::span<const Key>(kCommonKeys), kind.keys})
        for (const Key& k : keys)
            if (equalsNoCaseAscii(k.name, key)) return &k;
    return nullptr;
}

[[noreturn]] void refuseKey(const Given& g, const InstalledDriver& driver, const DriverKind& kind) {
    std::string names;
    for (const std::span<const Key> keys : {std::span<const Key>(kCommonKeys), kind.keys})
        for (const Key& k : keys) names += (names.empty() ? "" : ", ") + std::string(k.name);
    raiseProvider(kSource, "T" + whose(g).substr(1) + " is not accepted: the ODBC driver \"" + driver.name +
                               "\" is handed only the keys it needs to connect (" + names + ").");
}

// Why the value cannot be handed to the driver as the driver manager reads
// it, "" when it can. No value holds "}" (drivers differ on how braces end)
// or a control character; a driver that reads no braces takes no ";" and
// no "{" either.
std::string unfitValue(std::string_view value, Shape shape, bool braces) {
    if (shape == kOff && !value.empty() && value != "0" && !equalsNoCaseAscii(value, "No") &&
        !equalsNoCaseAscii(value, "False"))
        return "it may only be empty, 0, No or False";
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return "it holds a control character";
        if (c == '}' || (!braces && (c == ';' || c == '{')))
            return std::string("it holds \"") + c + "\", which the driver reads otherwise than as part of the value";
        const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
        if (shape == kWord && !letter && !isAsciiDigit(static_cast<char16_t>(u)) && c != '.' && c != '-' && c != '_')
            return "it is to be a single word or number";
    }
    return {};
}

// The keys of a connection string as a reader finds them: the driver
// manager's reading (a value in braces may hold ";"), or that of a driver
// that reads no braces (every ";" ends a value).
std::vector<std::string> keysAsRead(std::string_view s, bool braces) {
    std::vector<std::string> keys;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ';' || s[i] == ' ')) ++i;
        const std::size_t eq = s.find('=', i);
        if (eq == std::string_view::npos) break;
        keys.emplace_back(s.substr(i, eq - i));
        i = eq + 1;
        if (braces && i < s.size() && s[i] == '{') {
            while (++i < s.size() && (s[i] != '}' || (i + 1 < s.size() && s[i + 1] == '}')))
                if (s[i] == '}') ++i;
            ++i;
        }
        while (i < s.size() && s[i] != ';') ++i;
    }
    return keys;
}

// A driver manager that narrows text to bytes takes each character for its
// low byte ("Ļ" for ";"): the string must read as the same keys that way too.
void checkNarrowed(const std::string& out, const std::vector<std::string>& keys, const DriverKind& kind) {
    if (std::all_of(out.begin(), out.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return;
    std::string narrowed;
    for (const char16_t c : fromUtf8(out)) narrowed.push_back(static_cast<char>(c & 0xFF));
    for (const bool braces : {true, kind.braces}) {
        const std::vector<std::string> read = keysAsRead(narrowed, braces);
        if (read == keys) continue;
        // The value before the first key read otherwise is the one that spills.
        const auto differs = std::mismatch(keys.begin(), keys.end(), read.begin(), read.end()).first;
        const std::string& key = differs == keys.begin() ? keys.front() : *(differs - 1);
        raiseProvider(kSource, "The value of the connection string key \"" + key +
                                   "\" holds a character outside ASCII that a driver manager reading text byte "
                                   "by byte takes for \";\", \"{\" or \"}\".");
    }
}

} // namespace

std::string driverManagerString(std::string_view connectionString) {
    const std::vector<InstalledDriver> drivers = installedDrivers();
    std::vector<Given> given;
    for (ConnectionPair& p : parseConnectionString(connectionString)) given.push_back({p.key, p.value, {}});
    std::vector<Given> brought;
    const InstalledDriver* const driver = &sourceDriver(given, drivers, brought);
    const DriverKind& kind = kindOf(*driver);

    // The string's own keys, then those the data source brings; the first
    // pair of a key, under any of its names, is the one handed on.
    std::vector<std::pair<const Key*, const Given*>> chosen;
    const auto take = [&](const Given& g) {
        const Key* k = allowedKey(kind, trimSpaces(g.key));
        if (!k) refuseKey(g, *driver, kind);
        if (k->name == "Description") return; // a data source's note for people, of no use to the driver
        if (const std::string why = unfitValue(g.value, k->shape, kind.braces); !why.empty())
            raiseProvider(kSource, "The value of " + whose(g) + " cannot be handed to the ODBC driver \"" +
                                       driver->name + "\": " + why + ".");
        const auto meaning = [](const Key* key) { return key->same.empty() ? key->name : key->same; };
        for (const auto& [other, value] : chosen)
            if (meaning(other) == meaning(k)) return;
        chosen.emplace_back(k, &g);
    };
    for (const Given& g : given)
        if (!isSourceKey(g)) take(g);
    for (const Given& g : brought) take(g);

    std::string out = "Driver=" + quoteOdbcValue(driver->name) + ";";
    std::vector<std::string> keys{"Driver"};
    std::string database;
    for (const auto& [k, g] : chosen) {
        out += std::string(k->name) + "=" + (kind.braces ? quoteOdbcValue(g->value) : g->value) + ";";
        keys.emplace_back(k->name);
        if (k->name == "Database") database = g->value;
    }
    // Settings of our own, unless the string or the data source makes them.
    // PostgreSQL's driver gives a boolean column as the texts "1" and "0"
    // under its default BoolsAsChar: off, a boolean reads as a Boolean. Both
    // drivers otherwise hold a query's whole result in their own memory,
    // where the memory ceiling cannot see it, before a row is read: they
    // are asked to hand the rows over as they are read.
    struct Default {
        Family family;
        const char* key;
        const char* value;
    };
    static constexpr Default kDefaults[] = {{Family::Postgres, "BoolsAsChar", "0"},
                                            {Family::Postgres, "UseDeclareFetch", "1"},
                                            {Family::Sqlite, "StepAPI", "1"}};
    for (const Default& d : kDefaults) {
        const bool set = std::any_of(chosen.begin(), chosen.end(), [&](const auto& c) {
            return c.first->name == d.key || c.first->same == d.key;
        });
        if (d.family != kind.family || set) continue;
        out += std::string(d.key) + "=" + d.value + ";";
        keys.emplace_back(d.key);
    }
    // The SQLite driver makes an empty database where its file is missing,
    // and the author then reads "no such table" with a stray file left
    // behind: a missing file is said as such instead.
    if (kind.family == Family::Sqlite && !database.empty() &&
        database != ":memory:" && !database.starts_with("file:") && !sys::regularFileExists(database))
        raiseProvider(kSource, "The SQLite database file \"" + database + "\" does not exist.");
    checkNarrowed(out, keys, kind);
    return out;
}

} // namespace qz::ado
