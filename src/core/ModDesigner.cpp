#include "core/ModDesigner.h"

#include "core/ModErrors.h"
#include "platform/ado/ConnectionString.h"
#include "platform/automation/Text.h"
#include "platform/system/Locales.h"
#include "platform/system/Paths.h"
#include "platform/ui/Controls.h"

#include <algorithm>
#include <filesystem>

namespace qz {

namespace fs = std::filesystem;

namespace {

constexpr const char* kModule = "modDesigner";

using sys::isAbsolutePath;
using sys::withSlashes;

// The absolute, lexically normal form of a path, relative paths taken from
// the base folder (the current folder when the base is empty).
std::string absoluteIn(std::string_view base, std::string_view path) {
    std::error_code ec;
    fs::path p(withSlashes(path));
    if (!p.is_absolute()) {
        fs::path b = base.empty() ? fs::current_path(ec) : fs::path(withSlashes(base));
        if (!b.is_absolute()) b = fs::absolute(b, ec);
        p = b / p;
    }
    std::string out = p.lexically_normal().string();
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

// The keys of an ODBC string that name a file: a file data source, and a
// database file by its driver: the SQLite drivers read "Database", the
// Access and Excel ones "DBQ". Other drivers' names there (a server's
// database) are no files.
std::vector<std::string_view> odbcFileKeys(const std::vector<ado::ConnectionPair>& pairs) {
    std::vector<std::string_view> keys{"FileDSN"};
    const std::string* driver = ado::findPair(pairs, "Driver");
    const std::string d = driver ? toLowerAscii(*driver) : std::string();
    if (d.find("sqlite") != std::string::npos) keys.push_back("Database");
    else if (d.find("mdb") != std::string::npos || d.find("access") != std::string::npos ||
             d.find("excel") != std::string::npos)
        keys.push_back("DBQ");
    return keys;
}

// The keys of these pairs that name a data file: "Data Source" for the Jet
// and ACE providers, SQLite, and a string with no provider that names no
// ODBC source (it is taken for a database file); the file keys of an ODBC
// driver's string, with or without MSDASQL.
std::vector<std::string_view> fileKeys(const std::vector<ado::ConnectionPair>& pairs) {
    const std::string* provider = ado::findPair(pairs, "Provider");
    if (!provider) {
        if (ado::findPair(pairs, "DSN") || ado::findPair(pairs, "Driver") || ado::findPair(pairs, "FileDSN"))
            return odbcFileKeys(pairs);
        return {"Data Source"};
    }
    const std::string p = toLowerAscii(*provider);
    if (p.starts_with("microsoft.jet.oledb") || p.starts_with("microsoft.ace.oledb") || p.starts_with("sqlite"))
        return {"Data Source"};
    if (p.starts_with("msdasql")) return odbcFileKeys(pairs);
    return {};
}

// A value written again as it was quoted ('...', "..." or {...}), or quoted
// as needed when it was not.
std::string requoted(std::string_view written, const std::string& value) {
    const char open = written.empty() ? 0 : written.front();
    if (open != '"' && open != '\'' && open != '{') return ado::quoteValue(value);
    const char close = open == '{' ? '}' : open;
    std::string out(1, open);
    for (char c : value) {
        if (c == close) out += close;
        out += c;
    }
    out += close;
    return out;
}

// A relative data file of a connection string, made absolute in the template
// folder; the key may be written in any case, quotes around the value stay,
// and so do blanks inside them. Under MSDASQL the ODBC string of "Extended
// Properties" is adjusted the same way.
std::string adjustConnection(std::string_view connection, std::string_view folder) {
    const std::vector<ado::ConnectionPair> pairs = ado::parseConnectionString(connection);
    if (pairs.empty()) return std::string(connection);
    // A bare path is the whole text.
    if (pairs.size() == 1 && connection.find('=') == std::string_view::npos) {
        const std::string path(trimSpaces(connection));
        return isAbsolutePath(path) ? std::string(connection) : absoluteIn(folder, path);
    }
    const std::vector<std::string_view> keys = fileKeys(pairs);
    const std::string* provider = ado::findPair(pairs, "Provider");
    const bool msdasql = provider && toLowerAscii(*provider).starts_with("msdasql");
    // Each key's first pair (the one a provider reads), replaced from the
    // end so that the earlier spans stay where they are.
    std::vector<std::pair<const ado::ConnectionPair*, std::string>> changes;
    std::vector<std::string_view> seen;
    for (const ado::ConnectionPair& pair : pairs) {
        bool first = true;
        for (std::string_view k : seen) first = first && !equalsNoCaseAscii(k, pair.key);
        if (!first) continue;
        seen.push_back(pair.key);
        const std::string_view written = connection.substr(pair.valueBegin, pair.valueEnd - pair.valueBegin);
        if (msdasql && equalsNoCaseAscii(pair.key, "Extended Properties")) {
            const std::string inner = adjustConnection(pair.value, folder);
            if (inner != pair.value) changes.emplace_back(&pair, requoted(written.empty() ? "\"" : written, inner));
            continue;
        }
        bool isFile = false;
        for (std::string_view k : keys) isFile = isFile || equalsNoCaseAscii(k, pair.key);
        if (!isFile || pair.value.empty() || isAbsolutePath(pair.value) ||
            trimSpaces(pair.value).starts_with(":memory:"))
            continue;
        changes.emplace_back(&pair, requoted(written, absoluteIn(folder, pair.value)));
    }
    std::string out(connection);
    for (auto it = changes.rbegin(); it != changes.rend(); ++it)
        out.replace(it->first->valueBegin, it->first->valueEnd - it->first->valueBegin, it->second);
    return out;
}

// A saved recordset's file: a relative name is taken in the template folder;
// a file that is not where it is named is looked for there by its name.
std::string adjustFile(std::string_view file, std::string_view folder) {
    const std::string path(file);
    if (path.empty()) return path;
    const bool relative = !isAbsolutePath(path);
    const std::string inFolder = relative ? absoluteIn(folder, path) : path;
    if (sys::regularFileExists(inFolder)) return inFolder;
    const std::string name = sys::lastPathComponent(path);
    if (!name.empty()) {
        const std::string candidate = absoluteIn(folder, name);
        if (sys::regularFileExists(candidate)) return candidate;
    }
    // Missing everywhere: a relative name still means the template folder, so
    // that the error names the place looked at and no other folder is read.
    return inFolder;
}

std::string adjust(std::string_view connection, bool isFile, std::string_view folder) {
    return isFile ? adjustFile(connection, folder) : adjustConnection(connection, folder);
}

} // namespace

std::string AdjustConnectionString(std::string_view connection, bool isFile, std::string_view templateFolder) {
    return Handled(kModule, "AdjustConnectionString", kErrLog | kErrRaise, [&] {
        return adjust(connection, isFile, templateFolder);
    });
}

bool FileNameIdentical(std::string_view path1, std::string_view path2) {
    try {
        if (path1.empty() || path2.empty()) return false;
        return absoluteIn({}, path1) == absoluteIn({}, path2);
    } catch (...) {
        return false;
    }
}

std::string GetLocaleDateFormat(std::int32_t kind) {
    const char* fallback = kind == 0 ? "dd mmmm yyyy" : "dd/mm/yyyy";
    try {
        auto text = sys::localeInfo(sys::userDefaultLcid(),
                                    kind == 0 ? sys::LOCALE_SLONGDATE : sys::LOCALE_SSHORTDATE);
        // The answer had to fit a buffer of 100 characters with its end mark.
        if (!text || text->empty() || text->size() > 99) return fallback;
        return *text;
    } catch (...) {
        return fallback;
    }
}

std::string GetLocaleCurrencySymbol() {
    try {
        auto text = sys::localeInfo(sys::userDefaultLcid(), sys::LOCALE_SCURRENCY);
        if (!text) return "$";
        return text->substr(0, text->find('\0'));
    } catch (...) {
        return "$";
    }
}

void ManageCarriageReturn(ui::TextBox& box) {
    Handled(kModule, "ManageCarriageReturn", kErrLog | kErrRaise, [&] {
        box.Text = crLfFromCrKeepingLf(box.Text);
    });
}

bool ValidCnOrCmdName(std::string_view name) noexcept {
    if (name.empty()) return false;
    if ((name[0] >= '0' && name[0] <= '9') || name[0] == '_') return false;
    for (char c : name) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) return false;
    }
    return true;
}

} // namespace qz
