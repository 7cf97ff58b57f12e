#include "platform/system/Folders.h"
#include "platform/system/SystemError.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QZ_INSTALL_PREFIX
#define QZ_INSTALL_PREFIX "/usr/local"
#endif

namespace qz::sys {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string{};
}

// XDG base folders must be absolute; a relative value is ignored.
std::string xdgOr(const char* var, const char* underHome) {
    std::string v = env(var);
    if (!v.empty() && v[0] == '/') return v;
    std::string home = homeFolder();
    return home.empty() ? std::string{} : home + underHome;
}

void trimTrailingSlash(std::string& p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
}

} // namespace

std::string homeFolder() {
    std::string h = env("HOME");
    if (h.empty()) {
        struct passwd pw, *res = nullptr;
        char buf[4096];
        if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &res) == 0 && res && res->pw_dir)
            h = res->pw_dir;
    }
    trimTrailingSlash(h);
    return h;
}

std::string userDataFolder() { return xdgOr("XDG_DATA_HOME", "/.local/share"); }
std::string userConfigFolder() { return xdgOr("XDG_CONFIG_HOME", "/.config"); }
std::string userStateFolder() { return xdgOr("XDG_STATE_HOME", "/.local/state"); }

std::string personalFolder() {
    std::string home = homeFolder();
    std::string docs = env("XDG_DOCUMENTS_DIR");
    if (docs.empty()) {
        // user-dirs.dirs holds lines such as XDG_DOCUMENTS_DIR="$HOME/Documents"
        std::ifstream in(userConfigFolder() + "/user-dirs.dirs");
        std::string line;
        const std::string key = "XDG_DOCUMENTS_DIR=";
        while (std::getline(in, line)) {
            if (line.rfind(key, 0) != 0) continue;
            std::string v = line.substr(key.size());
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
            if (v.rfind("$HOME", 0) == 0) v = home + v.substr(5);
            docs = v;
        }
    }
    if (!docs.empty() && docs[0] == '/' && folderExists(docs)) {
        trimTrailingSlash(docs);
        return docs;
    }
    return home;
}

std::string commonFilesFolder() { return std::string(QZ_INSTALL_PREFIX) + "/share"; }

std::string machineConfigFolder() {
    std::string dirs = env("XDG_CONFIG_DIRS");
    std::string first = dirs.substr(0, dirs.find(':'));
    if (first.empty() || first[0] != '/') first = "/etc/xdg";
    trimTrailingSlash(first);
    return first;
}

std::string tempFolder() {
    std::string t = env("TMPDIR");
    if (t.empty() || t[0] != '/') t = "/tmp";
    trimTrailingSlash(t);
    return t;
}

std::string libraryFolder() {
    std::string dir = env("QZ_LIBRARY_DIR");
    if (dir.empty()) {
        char buf[4096];
        ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n > 0) {
            dir.assign(buf, static_cast<std::size_t>(n));
            auto slash = dir.rfind('/');
            dir = slash == 0 ? "/" : dir.substr(0, slash);
        }
    }
    trimTrailingSlash(dir);
    return env("QZ_LIBRARY_DIR").empty() ? dataFolderOf(dir) : dir;
}

std::string dataFolderOf(const std::string& programFolder) {
    const std::size_t slash = programFolder.rfind('/');
    if (slash == std::string::npos || programFolder.compare(slash + 1, std::string::npos, "bin") != 0)
        return programFolder;
    const std::string shared = programFolder.substr(0, slash) + "/share/quorvane-studio";
    struct stat st;
    return ::stat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? shared : programFolder;
}

namespace {

// 0 when the path is a real folder of this user's that nobody else may
// write, else why not.
int privateFolderError(const std::string& folder) {
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 022) != 0) return EACCES;
    return 0;
}

void note(std::string* why, const std::string& folder, int e) {
    if (!why) return;
    if (!why->empty()) *why += "; ";
    *why += folder + ": " + (e == EACCES ? "not a folder of this user's alone" : errnoText(e));
}

// An earlier private folder of this user's in the temporary folder, or a
// fresh one with a random name; without `make`, the name the fresh one would
// have, its random part as "XXXXXX".
std::string privateTempFolder(int& e, std::string* why, bool make) {
    const std::string tmp = tempFolder();
    const std::string prefix = "qzstudio-" + std::to_string(::getuid()) + "-";
    if (DIR* d = ::opendir(tmp.c_str())) {
        std::string found;
        while (const dirent* entry = ::readdir(d)) {
            const std::string name = entry->d_name;
            if (name.size() == prefix.size() + 6 && name.starts_with(prefix) &&
                privateFolderError(tmp + "/" + name) == 0) {
                found = tmp + "/" + name;
                break;
            }
        }
        ::closedir(d);
        if (!found.empty()) return found;
    }
    std::string folder = tmp + "/" + prefix + "XXXXXX";
    if (make && !::mkdtemp(folder.data())) {
        e = errno;
        note(why, tmp, e);
        return {};
    }
    return folder;
}

std::string fallbackFolder(int* error, std::string* why, bool make) {
    int e = 0;
    std::string folder;
    // The runtime folder the session gives this user, when it is private.
    if (const std::string runtime = env("XDG_RUNTIME_DIR"); !runtime.empty() && runtime[0] == '/') {
        e = privateFolderError(runtime);
        if (!e) {
            folder = runtime + "/qzstudio";
            if (make && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) e = errno;
            if (!e && (make || ::access(folder.c_str(), F_OK) == 0)) e = privateFolderError(folder);
            if (e) note(why, folder, e), folder.clear();
        } else {
            note(why, runtime, e);
        }
    }
    if (folder.empty()) {
        e = 0;
        folder = privateTempFolder(e, why, make);
    }
    if (error) *error = folder.empty() ? e : 0;
    return folder;
}

// 0 when the folder can be written, made first when `make`; without it, 0
// also when it is missing and its nearest existing parent folder can be
// written, as it could then be made.
int folderError(const std::string& path, bool make) {
    if (path.empty()) return ENOENT;
    if (make) {
        const int e = createFolderTree(path);
        return e ? e : ::access(path.c_str(), W_OK) != 0 ? errno : 0;
    }
    std::string p = path;
    trimTrailingSlash(p);
    while (::access(p.c_str(), F_OK) != 0) {
        if (errno != ENOENT) return errno;
        const std::size_t slash = p.rfind('/');
        if (slash == std::string::npos || slash == 0) return ENOENT;
        p.resize(slash);
    }
    if (!folderExists(p)) return ENOTDIR;
    return ::access(p.c_str(), W_OK | X_OK) != 0 ? errno : 0;
}

std::string chosenFolder(const std::string& preferred, std::string_view subfolder, int* error, std::string* why,
                         bool make) {
    const int e = folderError(preferred, make);
    if (error) *error = e;
    if (!e) return preferred;
    if (why) why->clear();
    note(why, preferred.empty() ? std::string("(no home folder)") : preferred, e);
    std::string fallback = fallbackFolder(nullptr, why, make);
    if (fallback.empty()) return {};
    fallback += "/" + std::string(subfolder);
    if (!make) return fallback;
    if (const int f = folderError(fallback, true)) {
        note(why, fallback, f);
        return {};
    }
    return fallback;
}

} // namespace

std::string fallbackUserFolder(int* error, std::string* why) { return fallbackFolder(error, why, true); }
std::string plannedFallbackFolder() { return fallbackFolder(nullptr, nullptr, false); }

bool usableFolder(const std::string& path) { return folderError(path, true) == 0; }
bool couldUseFolder(const std::string& path) { return folderError(path, false) == 0; }

std::string writableFolder(const std::string& preferred, std::string_view subfolder, int* error, std::string* why) {
    return chosenFolder(preferred, subfolder, error, why, true);
}

std::string plannedFolder(const std::string& preferred, std::string_view subfolder) {
    return chosenFolder(preferred, subfolder, nullptr, nullptr, false);
}

int createFolderTree(const std::string& path) {
    if (path.empty()) return ENOENT;
    std::string p = path;
    trimTrailingSlash(p);
    for (std::size_t pos = 1; pos <= p.size(); ++pos) {
        if (pos != p.size() && p[pos] != '/') continue;
        std::string part = p.substr(0, pos);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return errno;
    }
    return folderExists(p) ? 0 : ENOTDIR;
}

bool folderExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool fileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace qz::sys
