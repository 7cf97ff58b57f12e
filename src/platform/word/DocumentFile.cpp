// A document and its file while it is open: the lock file beside it that
// tells a second studio someone is editing it, and the state of the file
// when it was read or last written, so that a save never silently replaces
// what someone else wrote meanwhile.
#include "platform/word/Application.h"
#include "platform/word/Document.h"

#include "platform/system/Files.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <mutex>
#include <set>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qz::word {

namespace {

std::string userName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return pw->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : std::to_string(::geteuid());
}

std::string hostName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return "localhost";
    return host;
}

// "user,host,process,time": commas cannot be part of the first three here.
std::string lockContents() {
    std::string user = userName(), host = hostName();
    for (std::string* s : {&user, &host})
        for (char& c : *s)
            if (c == ',' || c == '\n') c = '_';
    char when[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm tm {};
    ::localtime_r(&now, &tm);
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &tm);
    return user + "," + host + "," + std::to_string(::getpid()) + "," + when + "\n";
}

struct LockInfo {
    std::string user, host, when;
    long pid = 0;
};

LockInfo parseLock(const std::string& text) {
    LockInfo info;
    std::size_t at = 0;
    std::string* fields[] = {&info.user, &info.host, nullptr, &info.when};
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = i < 3 ? text.find(',', at) : text.find('\n', at);
        const std::string field = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        if (fields[i]) *fields[i] = field;
        else info.pid = std::strtol(field.c_str(), nullptr, 10);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return info;
}

// The locks this process holds, by file.
std::mutex gHeldMutex;
std::set<std::string> gHeld;

// When the lock was written, from its local "YYYY-MM-DD HH:MM" (0: unknown).
std::time_t lockTime(const std::string& when) {
    std::tm tm {};
    const char* end = ::strptime(when.c_str(), "%Y-%m-%d %H:%M", &tm);
    if (!end || *end) return 0;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? 0 : t;
}

// A lock whose process on this host is gone is stale and may be taken over:
// the process has ended (even if its parent has not collected it yet), or
// its number now belongs to a process that started after the lock was
// written (a crash, then a restart or a reboot). So is one naming this
// process that none of its documents holds (left by an earlier process of
// the same number).
bool isStale(const LockInfo& info, const std::string& file) {
    if (info.host != hostName() || info.pid <= 0) return false;
    if (info.pid == ::getpid()) {
        std::lock_guard<std::mutex> lock(gHeldMutex);
        return !gHeld.contains(file);
    }
    if (!sys::processRunning(info.pid)) return true;
    // The lock's time is to the minute: a process started within that
    // minute may be the one that wrote it.
    const std::time_t written = lockTime(info.when), started = sys::processStartTime(info.pid);
    return written != 0 && started != 0 && started >= written + 60;
}

} // namespace

void RemoveStaleLock(const std::string& fullName) {
    const std::size_t slash = fullName.rfind('/');
    const std::string file = fullName.substr(0, slash + 1) + ".~lock." + fullName.substr(slash + 1) + "#";
    std::string held;
    if (sys::readWholeFile(file, held) == 0 && isStale(parseLock(held), file)) ::unlink(file.c_str());
}

Document::DiskStamp Document::StampOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return {};
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
            static_cast<unsigned long long>(st.st_size), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

bool Document::ChangedOnDisk() const {
    if (path_.empty()) return false;
    return !(StampOf(FullName()) == disk_);
}

void Document::OverwriteDiskChanges() { disk_ = StampOf(FullName()); }

Document::FileLock Document::TakeLock(const std::string& fullName) {
    FileLock lock;
    const std::size_t slash = fullName.rfind('/');
    const std::string file = fullName.substr(0, slash + 1) + ".~lock." + fullName.substr(slash + 1) + "#";
    const std::string text = lockContents();
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const bool written = sys::writeAll(fd, text) == 0;
            ::close(fd);
            if (!written) {
                ::unlink(file.c_str());
                return lock;
            }
            lock.file = file;
            lock.text = text;
            std::lock_guard<std::mutex> held(gHeldMutex);
            gHeld.insert(file);
            return lock;
        }
        // A folder where no lock can be made (read-only, not ours): the
        // document opens without one, as the save will say what it must.
        if (errno != EEXIST) return lock;
        std::string held;
        if (sys::readWholeFile(file, held) != 0) held.clear();
        const LockInfo info = parseLock(held);
        if (attempt == 0 && isStale(info, file) && ::unlink(file.c_str()) == 0) continue;
        lock.heldBy = (info.user.empty() ? std::string("another user") : info.user) +
                      (info.host.empty() ? "" : " on " + info.host) + (info.when.empty() ? "" : " since " + info.when);
        break;
    }
    return lock;
}

void Document::ReleaseLock(FileLock& lock) noexcept {
    // Only a lock that is still this document's own goes.
    std::string held;
    if (!lock.file.empty() && sys::readWholeFile(lock.file, held) == 0 && held == lock.text) ::unlink(lock.file.c_str());
    if (!lock.file.empty()) {
        std::lock_guard<std::mutex> guard(gHeldMutex);
        gHeld.erase(lock.file);
    }
    lock = {};
}

} // namespace qz::word
