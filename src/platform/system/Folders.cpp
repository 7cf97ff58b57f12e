#include "platform/system/Folders.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
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
    return dir;
}

std::string fallbackUserFolder(int* error) {
    const std::string folder = tempFolder() + "/qzstudio-" + std::to_string(::getuid());
    int e = ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST ? 0 : errno;
    struct stat st;
    if (!e && ::lstat(folder.c_str(), &st) != 0) e = errno;
    // Only a real folder of this user's that nobody else may write.
    if (!e && (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 022) != 0)) e = EACCES;
    if (error) *error = e;
    return e ? std::string{} : folder;
}

namespace {

int folderError(const std::string& path) {
    int e = path.empty() ? ENOENT : createFolderTree(path);
    if (!e && ::access(path.c_str(), W_OK) != 0) e = errno;
    return e;
}

} // namespace

bool usableFolder(const std::string& path) { return folderError(path) == 0; }

std::string writableFolder(const std::string& preferred, std::string_view subfolder, int* error) {
    const int e = folderError(preferred);
    if (error) *error = e;
    if (!e) return preferred;
    std::string fallback = fallbackUserFolder();
    if (fallback.empty()) return {};
    fallback += "/" + std::string(subfolder);
    return usableFolder(fallback) ? fallback : std::string{};
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
