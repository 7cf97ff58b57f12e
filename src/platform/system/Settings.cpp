#include "platform/system/Settings.h"

#include "platform/system/Files.h"
#include "platform/system/Folders.h"
#include "platform/automation/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qz::sys {
namespace {

struct Value {
    std::string name;
    std::string data;
};
struct Key {
    std::string path;
    std::vector<Value> values;
};
using Store = std::vector<Key>;

// "\Software\\X\" -> "Software\X": no leading, trailing or doubled separators.
std::string normalKey(std::string_view key) {
    std::string out;
    for (char c : key) {
        if (c == '/') c = '\\';
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out.push_back(c);
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

std::string escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

// Reads a quoted text starting at s[i] == '"'; advances i past the closing quote.
bool unquote(const std::string& s, std::size_t& i, std::string& out) {
    if (i >= s.size() || s[i] != '"') return false;
    out.clear();
    for (++i; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') { ++i; return true; }
        if (c == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out.push_back(n == 'n' ? '\n' : n == 'r' ? '\r' : n);
        } else {
            out.push_back(c);
        }
    }
    return false;
}

// The file's text form:
//   [Software\Pellitron Inc.\Version 8.1]
//   "Name"="value"
//   @="default value"
Store parse(std::istream& in) {
    Store store;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            auto end = line.rfind(']');
            if (end == std::string::npos || end == 0) continue;
            store.push_back({normalKey(std::string_view(line).substr(1, end - 1)), {}});
            continue;
        }
        if (store.empty()) continue;
        Value v;
        std::size_t i = 0;
        if (line[0] == '@') {
            i = 1;
        } else if (!unquote(line, i, v.name)) {
            continue;
        }
        if (i >= line.size() || line[i] != '=') continue;
        ++i;
        if (!unquote(line, i, v.data)) continue;
        store.back().values.push_back(std::move(v));
    }
    return store;
}

std::string serialize(const Store& store) {
    std::ostringstream out;
    for (const auto& k : store) {
        out << '[' << k.path << "]\n";
        for (const auto& v : k.values) {
            if (v.name.empty()) out << '@';
            else out << '"' << escape(v.name) << '"';
            out << "=\"" << escape(v.data) << "\"\n";
        }
        out << '\n';
    }
    return out.str();
}

Store load(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    return parse(in);
}

Key* findKey(Store& store, std::string_view key) {
    std::string k = normalKey(key);
    for (auto& e : store)
        if (equalsNoCaseAscii(e.path, k)) return &e;
    return nullptr;
}

// Values the operating system keeps, answered as a fresh installation does.
std::optional<std::string> systemValue(SettingsScope scope, const std::string& key,
                                       std::string_view name) {
    if (scope == SettingsScope::Machine) {
        if (equalsNoCaseAscii(key, "SOFTWARE\\Microsoft\\Internet Explorer") && equalsNoCaseAscii(name, "Version"))
            return std::string("9.11.19041.0");
        std::string tool = systemInfoTool();
        if (!tool.empty()) {
            if (equalsNoCaseAscii(key, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO") && equalsNoCaseAscii(name, "PATH"))
                return tool;
            if (equalsNoCaseAscii(key, "SOFTWARE\\Microsoft\\Shared Tools Location") && equalsNoCaseAscii(name, "MSINFO"))
                return tool.substr(0, tool.rfind('/'));
        }
    } else {
        if (equalsNoCaseAscii(key, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders") &&
            equalsNoCaseAscii(name, "Personal"))
            return personalFolder();
    }
    return std::nullopt;
}

bool systemKey(SettingsScope scope, const std::string& key) {
    if (scope == SettingsScope::Machine)
        return equalsNoCaseAscii(key, "SOFTWARE\\Microsoft\\Internet Explorer") ||
               (!systemInfoTool().empty() &&
                (equalsNoCaseAscii(key, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO") ||
                 equalsNoCaseAscii(key, "SOFTWARE\\Microsoft\\Shared Tools Location")));
    return equalsNoCaseAscii(key, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
}

// Opens the store file (made empty when missing) and locks it: a writer
// holds the lock on the file it read until its replacement has taken the
// name, so one that waited on the replaced file tries the new one. No lock
// file is left beside the store. -1 with errno on failure.
int lockStore(const std::string& file) {
    for (;;) {
        const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return -1;
        int rc;
        while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat locked, named;
        if (rc == 0 && ::fstat(fd, &locked) == 0 && ::stat(file.c_str(), &named) == 0 &&
            locked.st_dev == named.st_dev && locked.st_ino == named.st_ino)
            return fd;
        const int e = rc != 0 ? errno : 0;
        ::close(fd);
        if (e) {
            errno = e;
            return -1;
        }
    }
}

// Changes the store under an exclusive lock and replaces the file whole, so
// that readers see the old or the new file, never a part of one.
template <typename Change>
int update(SettingsScope scope, Change change) {
    std::string file = settingsFile(scope);
    if (file.empty()) return ENOENT;
    std::string folder = file.substr(0, file.rfind('/'));
    if (int e = createFolderTree(folder)) return e;
    const int lock = lockStore(file);
    if (lock < 0) return errno;
    Store store = load(file);
    int rc = change(store);
    if (rc == 0) rc = replaceFile(file, serialize(store), 0644);
    ::close(lock);
    return rc;
}

} // namespace

namespace {

std::string settingsFileIn(SettingsScope scope, bool make) {
    if (scope == SettingsScope::Machine)
        return machineConfigFolder() + "/" + std::string(kProductSubfolder) + "/machine.reg";
    // A user whose home is missing or cannot be written keeps settings in a
    // private folder of its own.
    const std::string base = userConfigFolder();
    const std::string preferred = base.empty() ? base : base + "/" + std::string(kProductSubfolder);
    const std::string sub = "config/" + std::string(kProductSubfolder);
    const std::string folder = make ? writableFolder(preferred, sub) : plannedFolder(preferred, sub);
    return folder.empty() ? std::string{} : folder + "/user.reg";
}

} // namespace

std::string settingsFile(SettingsScope scope) { return settingsFileIn(scope, true); }
std::string plannedSettingsFile(SettingsScope scope) { return settingsFileIn(scope, false); }

bool settingsKeyExists(SettingsScope scope, std::string_view key) {
    std::string k = normalKey(key);
    if (k.empty()) return true;   // the root itself
    Store store = load(settingsFile(scope));
    if (findKey(store, k)) return true;
    // A key exists also when one of its subkeys does.
    for (const auto& e : store)
        if (e.path.size() > k.size() && e.path[k.size()] == '\\' &&
            equalsNoCaseAscii(std::string_view(e.path).substr(0, k.size()), k))
            return true;
    return systemKey(scope, k);
}

std::optional<std::string> readSetting(SettingsScope scope, std::string_view key,
                                       std::string_view name) {
    std::string k = normalKey(key);
    Store store = load(settingsFile(scope));
    if (Key* e = findKey(store, k)) {
        for (const auto& v : e->values)
            if (equalsNoCaseAscii(v.name, name)) return v.data;
    }
    return systemValue(scope, k, name);
}

int writeSetting(SettingsScope scope, std::string_view key, std::string_view name,
                 std::string_view value) {
    std::string k = normalKey(key);
    // A key path is written as one line of the file: line breaks cannot be kept.
    if (k.empty() || k.find_first_of("\r\n") != std::string::npos) return EINVAL;
    return update(scope, [&](Store& store) {
        Key* e = findKey(store, k);
        if (!e) {
            store.push_back({k, {}});
            e = &store.back();
        }
        for (auto& v : e->values)
            if (equalsNoCaseAscii(v.name, name)) {
                v.data = std::string(value);
                return 0;
            }
        e->values.push_back({std::string(name), std::string(value)});
        return 0;
    });
}

int deleteSetting(SettingsScope scope, std::string_view key, std::string_view name) {
    std::string k = normalKey(key);
    return update(scope, [&](Store& store) {
        Key* e = findKey(store, k);
        if (!e) return ENOENT;
        for (auto it = e->values.begin(); it != e->values.end(); ++it)
            if (equalsNoCaseAscii(it->name, name)) {
                e->values.erase(it);
                return 0;
            }
        return ENOENT;
    });
}

std::string systemInfoTool() {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    static const char* const kTools[] = {"hardinfo2", "hardinfo", "gnome-system-monitor",
                                         "plasma-systemmonitor", "ksysguard"};
    for (const char* tool : kTools) {
        std::string_view rest(path);
        while (!rest.empty()) {
            auto colon = rest.find(':');
            std::string dir(rest.substr(0, colon));
            rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
            if (dir.empty() || dir[0] != '/') continue;
            std::string candidate = dir + "/" + tool;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
    }
    return {};
}

} // namespace qz::sys
