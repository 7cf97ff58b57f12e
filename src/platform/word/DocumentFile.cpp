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
#include <string_view>
#include <sys/file.h>
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
// The time is in UTC, marked "Z", so that studios in other time zones read
// it alike.
std::string lockContents() {
    std::string user = userName(), host = hostName();
    for (std::string* s : {&user, &host})
        for (char& c : *s)
            if (c == ',' || c == '\n') c = '_';
    char when[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm tm {};
    ::gmtime_r(&now, &tm);
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%MZ", &tm);
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

// A lock file is a line of a few hundred bytes at most: anything larger,
// or anything but a regular file (a link, a device, a pipe), is no lock
// this system wrote and is not read.
constexpr off_t kMaxLockSize = 4096;

// Reads the lock an open lock file holds: false when it is no lock of ours.
bool readLock(int fd, LockInfo& info) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxLockSize) return false;
    char buf[kMaxLockSize];
    ssize_t n;
    while ((n = ::pread(fd, buf, sizeof buf, 0)) < 0 && errno == EINTR) {
    }
    if (n < 0) return false;
    info = parseLock(std::string(buf, static_cast<std::size_t>(n)));
    return true;
}

// Opens a lock file as it is, without following a link or waiting on a pipe.
int openLock(const std::string& file) {
    return ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

// The lock files this process holds or is making, by file.
std::mutex gHeldMutex;
std::multiset<std::string> gHeld;

void forget(const std::string& file) {
    std::lock_guard<std::mutex> lock(gHeldMutex);
    if (const auto it = gHeld.find(file); it != gHeld.end()) gHeld.erase(it);
}

// When the lock was written (0: unknown): "YYYY-MM-DD HH:MMZ" in UTC, or,
// as earlier studios wrote it, "YYYY-MM-DD HH:MM" in their local time.
std::time_t lockTime(const std::string& when) {
    std::tm tm {};
    const char* end = ::strptime(when.c_str(), "%Y-%m-%d %H:%M", &tm);
    if (!end || (*end && std::string_view(end) != "Z")) return 0;
    tm.tm_isdst = -1;
    const std::time_t t = *end ? ::timegm(&tm) : std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? 0 : t;
}

// The time a lock names as the reader's local time, as the author is told it.
std::string localTime(const std::string& when) {
    const std::time_t t = when.ends_with('Z') ? lockTime(when) : 0;
    if (t == 0) return when;
    std::tm tm {};
    ::localtime_r(&t, &tm);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &tm);
    return text;
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

// Removes a stale lock file. The one removing it holds a kernel lock of
// the lock file and removes it only while its name still names the file
// judged, so that of openers racing beside one stale lock exactly one
// removes it; the others meet the lock that one then makes. False when
// the lock stays (held, no lock of ours, or judged by another opener).
bool removeStale(const std::string& file) {
    const int fd = openLock(file);
    if (fd < 0) return false;
    LockInfo info;
    struct stat judged, named;
    // A file system without kernel locks: removed as judged.
    const bool alone = ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
    const bool removed = alone && readLock(fd, info) && isStale(info, file) && ::fstat(fd, &judged) == 0 &&
                         ::lstat(file.c_str(), &named) == 0 && judged.st_dev == named.st_dev &&
                         judged.st_ino == named.st_ino && ::unlink(file.c_str()) == 0;
    ::close(fd);
    return removed;
}

// The lock file of a document: beside the file its name leads to, so that
// every symbolic link to it meets one lock, ".~lock.<name>#".
std::string lockFileOf(const std::string& fullName) {
    std::string real = fullName;
    if (char* resolved = ::realpath(fullName.c_str(), nullptr)) {
        real = resolved;
        std::free(resolved);
    }
    const std::size_t slash = real.rfind('/');
    return real.substr(0, slash + 1) + ".~lock." + real.substr(slash + 1) + "#";
}

// Opens the document and takes the kernel's lock of it, which every name
// of the file meets (links of either kind) and which ends with the process
// that holds it. -1 when the file is not there or the file system has no
// such locks; `held` when another opener holds it.
int lockDocument(const std::string& fullName, bool& held) {
    held = false;
    const int fd = ::open(fullName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    const bool file = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (file && ::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    held = file && errno == EWOULDBLOCK;
    ::close(fd);
    return -1;
}

// "user on host since time" of a lock file; "another user" when there is
// none to read (the document held through another of its names).
std::string holderOf(const std::string& file) {
    LockInfo info;
    const int fd = openLock(file);
    if (fd < 0 || !readLock(fd, info)) info = {};
    if (fd >= 0) ::close(fd);
    return (info.user.empty() ? std::string("another user") : info.user) + (info.host.empty() ? "" : " on " + info.host) +
           (info.when.empty() ? "" : " since " + localTime(info.when));
}

// Makes the lock file, claimed in gHeld first so that this process's other
// documents never judge it stale while it is being written. 0, EEXIST when
// there is one, or another errno.
int makeLock(const std::string& file, const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(gHeldMutex);
        gHeld.insert(file);
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    int e = fd < 0 ? errno : sys::writeAll(fd, text);
    if (fd >= 0) {
        ::close(fd);
        if (e) ::unlink(file.c_str());
    }
    if (e) forget(file);
    return e;
}

} // namespace

void RemoveStaleLock(const std::string& fullName) { removeStale(lockFileOf(fullName)); }

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
    const std::string file = lockFileOf(fullName);
    bool held = false;
    lock.fd = lockDocument(fullName, held);
    const std::string text = lockContents();
    for (int attempt = 0; !held && attempt < 8; ++attempt) {
        const int e = makeLock(file, text);
        if (e == 0) {
            lock.file = file;
            lock.text = text;
            return lock;
        }
        // A folder where no lock file can be made (read-only, not ours): the
        // document opens without one, as the save will say what it must.
        if (e != EEXIST) return lock;
        // A lock gone meanwhile, or a stale one removed here: try again.
        struct stat st;
        held = !removeStale(file) && ::lstat(file.c_str(), &st) == 0;
    }
    ReleaseLock(lock);
    lock.heldBy = holderOf(file);
    return lock;
}

void Document::WriteLocked(const std::string& path, const std::string& data, FileLock& lock) {
    // The new file is locked before it takes the name, so that no opener
    // finds it unlocked; the lock of the file it replaces then goes.
    int locked = -1;
    const int e = sys::replaceFileWith(path, [&](int fd) {
        if (const int e = sys::writeAll(fd, data)) return e;
        locked = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (locked >= 0 && ::flock(locked, LOCK_EX | LOCK_NB) != 0) {
            ::close(locked);
            locked = -1;
        }
        return 0;
    });
    if (e) {
        if (locked >= 0) ::close(locked);
        RaiseWordError(kErrFileOpen, FileErrorDetail(path, e));
    }
    if (lock.fd >= 0) ::close(lock.fd);
    lock.fd = locked;
}

void Document::ReleaseLock(FileLock& lock) noexcept {
    // Only a lock file that is still this document's own goes, before the
    // kernel's lock that keeps other openers from judging it.
    if (!lock.file.empty()) {
        const int fd = openLock(lock.file);
        char text[kMaxLockSize];
        const ssize_t n = fd >= 0 ? ::pread(fd, text, sizeof text, 0) : -1;
        if (n >= 0 && std::string_view(text, static_cast<std::size_t>(n)) == lock.text) ::unlink(lock.file.c_str());
        if (fd >= 0) ::close(fd);
        forget(lock.file);
    }
    if (lock.fd >= 0) ::close(lock.fd);
    lock = {};
}

} // namespace qz::word
