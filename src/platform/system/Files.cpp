#include "platform/system/Files.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qz::sys {

int readWholeFile(const std::string& path, std::string& out) {
    // Non-blocking, so that a named pipe in place of the file is refused
    // rather than waited on; it has no effect on regular files.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    struct stat st;
    int e = ::fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (e) {
        ::close(fd);
        return e;
    }
    out.clear();
    out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            e = errno;
            ::close(fd);
            return e;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return 0;
}

namespace {

bool isReadOnly(const struct stat& st, const std::string& path) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

} // namespace

bool fileIsReadOnly(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && isReadOnly(st, path);
}

int moveAside(const std::string& path, std::string& aside) {
    static std::atomic<unsigned> counter{0};
    int e = EEXIST;
    for (int attempt = 0; attempt < 100 && e == EEXIST; ++attempt) {
        const unsigned long long mix =
            std::chrono::steady_clock::now().time_since_epoch().count() ^
            (static_cast<unsigned long long>(::getpid()) << 32) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(mix ^ (mix >> 32)));
        aside = path + ".~qz" + hex + ".tmp";
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return 0;
        e = errno;
        // A file system without the exclusive rename: a new link is exclusive too.
        if (e == EINVAL || e == ENOSYS) {
            if (::link(path.c_str(), aside.c_str()) != 0) {
                e = errno;
                continue;
            }
            if (::unlink(path.c_str()) == 0) return 0;
            e = errno;
            ::unlink(aside.c_str());
            break;
        }
    }
    aside.clear();
    return e;
}

int writeAll(int fd, std::string_view data) noexcept {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

namespace {

// The names of the open temporary files, in fixed slots that a signal
// handler can read without taking a lock or allocating.
constexpr int kSlots = 16;
constexpr std::size_t kNameSize = 4096;
char gNames[kSlots][kNameSize];
std::atomic<bool> gUsed[kSlots];

int registerName(const std::string& name) {
    if (name.size() >= kNameSize) return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!gUsed[i].load() && gUsed[i].compare_exchange_strong(expected, true)) {
            // Written while the slot is claimed but not yet readable: a name
            // is published by its terminating byte going in last.
            gNames[i][0] = '\0';
            std::memcpy(gNames[i] + 1, name.c_str() + 1, name.size());
            std::atomic_thread_fence(std::memory_order_release);
            gNames[i][0] = name[0];
            return i;
        }
    }
    return -1;
}

void unregisterName(int slot) {
    if (slot < 0) return;
    gNames[slot][0] = '\0';
    gUsed[slot].store(false);
}

// The fields of /proc/<pid>/stat after the command name (which may hold ")"
// itself), "" when there is no such process.
std::string processStat(long pid) {
    std::string stat;
    if (readWholeFile("/proc/" + std::to_string(pid) + "/stat", stat) != 0) return {};
    const std::size_t close = stat.rfind(')');
    return close == std::string::npos ? std::string() : stat.substr(close + 1);
}

// When a process started, in clock ticks since boot (0: no such process).
unsigned long long processStart(long pid) {
    const std::string fields = processStat(pid);
    const char* p = fields.c_str();
    // The start time is the 20th field after the name.
    for (int field = 0; field < 19 && *p; ++field) {
        while (*p == ' ') ++p;
        while (*p && *p != ' ') ++p;
    }
    return std::strtoull(p, nullptr, 10);
}

// How the mark of a held file ends, after the tag of its process.
constexpr std::string_view kHeldMark = "held.tmp";

// What tells this process's temporary files from any other file.
std::string ownTag() {
    const long pid = ::getpid();
    return ".qzpart-" + std::to_string(pid) + "-" + std::to_string(processStart(pid)) + "-";
}

} // namespace

namespace {

// The tag of a process in a name of ours, "<pid>-<start>-": the number and
// start of a writer or holder, and what follows ("<n>.tmp" or "held.tmp").
// False when the name is not exactly ".<name>.qzpart-<pid>-<start>-<n>.tmp"
// or "...-held.tmp".
bool parseOwnName(std::string_view name, long& pid, unsigned long long& start, bool& held) {
    const std::size_t at = name.rfind(".qzpart-");
    if (name.size() < 2 || name[0] != '.' || at == std::string_view::npos || at < 2 || name.size() < at + 12 ||
        !name.ends_with(".tmp"))
        return false;
    std::string_view rest = name.substr(at + 8, name.size() - at - 12);
    const auto number = [&rest](unsigned long long& value) {
        std::size_t n = 0;
        value = 0;
        for (; n < rest.size() && n < 19 && rest[n] >= '0' && rest[n] <= '9'; ++n) value = value * 10 + (rest[n] - '0');
        if (n == 0 || n >= rest.size() || rest[n] != '-') return false;
        rest.remove_prefix(n + 1);
        return true;
    };
    unsigned long long p = 0;
    if (!number(p) || !number(start) || p == 0 || p > 0x7fffffff) return false;
    pid = static_cast<long>(p);
    held = rest == "held";
    return held || (!rest.empty() && rest.find_first_not_of("0123456789") == std::string_view::npos);
}

// Whether a name in the folder is a regular file of this user (a symbolic
// link is not followed).
bool ownRegularFile(int dfd, const std::string& name) {
    struct stat st;
    return ::fstatat(dfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
           st.st_uid == ::geteuid();
}

} // namespace

// Only this user's regular files whose name is exactly ours and carries the
// tag of a process that is gone (or whose number now belongs to a process
// started at another time) are removed; unlinkat removes the name checked,
// never what a link there points to.
void removeLeftovers(const std::string& dir, const std::function<bool(std::string_view)>& ownHeldFile) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const int dfd = ::dirfd(d);
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        long pid = 0;
        unsigned long long start = 0;
        bool held = false;
        if (!parseOwnName(name, pid, start, held) || !ownRegularFile(dfd, name)) continue;
        if (processRunning(pid) && processStart(pid) == start) continue;
        if (held) {
            // The file a mark names stays, unless the caller made it (its
            // own kind of temporary file) and it is still this user's; the
            // mark stays with a file it cannot judge, for a caller that can.
            const std::string file = name.substr(1, name.rfind(".qzpart-") - 1);
            struct stat st;
            const bool gone = ::fstatat(dfd, file.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
            if (!gone && !(ownHeldFile && ownHeldFile(file) && ownRegularFile(dfd, file))) continue;
            if (!gone) ::unlinkat(dfd, file.c_str(), 0);
        }
        ::unlinkat(dfd, name.c_str(), 0);
    }
    ::closedir(d);
}

namespace {

// removeLeftovers, once per folder and process.
void removeLeftoversOnce(const std::string& dir) {
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!swept.insert(dir).second) return;
    }
    removeLeftovers(dir);
}

// The mark beside a held file: its hidden name with this process's tag.
std::string heldMark(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    return dir + "/." + path.substr(slash + 1) + ownTag() + std::string(kHeldMark);
}

} // namespace

int holdFile(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    removeLeftoversOnce(slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(heldMark(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

void releaseFile(const std::string& path) noexcept {
    try {
        ::unlink(path.c_str());
        ::unlink(heldMark(path).c_str());
    } catch (...) {
        // Out of memory for the mark's name: the next start removes both.
    }
}

bool processRunning(long pid) {
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)) return false;
    // A process that has ended but that its parent has not collected yet
    // still answers to its number; it runs no more.
    const std::string fields = processStat(pid);
    const std::size_t state = fields.find_first_not_of(' ');
    return state == std::string::npos || fields[state] != 'Z';
}

std::time_t processStartTime(long pid) {
    const unsigned long long ticks = processStart(pid);
    std::string stat;
    if (ticks == 0 || readWholeFile("/proc/stat", stat) != 0) return 0;
    const std::size_t at = stat.find("\nbtime ");
    const long perSecond = ::sysconf(_SC_CLK_TCK);
    if (at == std::string::npos || perSecond <= 0) return 0;
    const std::time_t boot = static_cast<std::time_t>(std::strtoll(stat.c_str() + at + 7, nullptr, 10));
    return boot + static_cast<std::time_t>(ticks / static_cast<unsigned long long>(perSecond));
}

void removeOpenReplacements() noexcept {
    for (int i = 0; i < kSlots; ++i)
        if (gUsed[i].load() && gNames[i][0]) ::unlink(gNames[i]);
}

int ReplacementFile::open(const std::string& path, int mode) {
    discard();
    // Write through symbolic links to the file they name.
    target_ = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        target_ = real;
        std::free(real);
    }
    struct stat st;
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (exists && isReadOnly(st, target_)) return EACCES;
    keepMode_ = exists && mode < 0;
    mode_ = exists ? st.st_mode & 07777 : 0;

    const std::size_t slash = target_.rfind('/');
    dir_ = slash == std::string::npos ? "." : slash == 0 ? "/" : target_.substr(0, slash);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    removeLeftoversOnce(dir_);
    const std::string tag = ownTag();
    // A hidden name of our own beside the target (the rename must stay within
    // one file system); a name left by a crashed writer is skipped.
    // The name is registered before the file is made, so that a stop signal
    // arriving at any moment finds it (removing a name not made yet, or the
    // leftover of a crashed writer of the same process number, is harmless).
    int e = 0;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        tmp_ = dir_ + "/." + base + tag + std::to_string(attempt) + ".tmp";
        slot_ = registerName(tmp_);
        fd_ = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                     keepMode_ ? 0600 : (mode < 0 ? 0666 : mode));
        if (fd_ >= 0) break;
        e = errno;
        unregisterName(slot_);
        slot_ = -1;
        if (e != EEXIST) break;
    }
    if (fd_ < 0) {
        tmp_.clear();
        return e;
    }
    written_ = flushedUpTo_ = 0;
    return 0;
}

int ReplacementFile::write(std::string_view data) noexcept {
    constexpr std::uint64_t kWritebackStep = 4 << 20;
    if (const int e = writeAll(fd_, data)) return e;
    written_ += data.size();
    if (written_ - flushedUpTo_ >= kWritebackStep) {
        // Only a start: failures show at commit's fsync.
        ::sync_file_range(fd_, static_cast<off_t>(flushedUpTo_), static_cast<off_t>(written_ - flushedUpTo_),
                          SYNC_FILE_RANGE_WRITE);
        flushedUpTo_ = written_;
    }
    return 0;
}

int ReplacementFile::commit() {
    if (fd_ < 0) return EBADF;
    int failure = ::fsync(fd_) != 0 ? errno : 0;
    if (!failure && keepMode_ && ::fchmod(fd_, mode_) != 0) failure = errno;
    if (::close(fd_) != 0 && !failure) failure = errno;
    fd_ = -1;
    if (!failure && ::rename(tmp_.c_str(), target_.c_str()) != 0) failure = errno;
    unregisterName(slot_);
    slot_ = -1;
    if (failure) {
        ::unlink(tmp_.c_str());
        tmp_.clear();
        return failure;
    }
    tmp_.clear();
    // Make the rename itself durable.
    int dfd = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return 0;
}

void ReplacementFile::discard() noexcept {
    unregisterName(slot_);
    slot_ = -1;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tmp_.empty()) ::unlink(tmp_.c_str());
    tmp_.clear();
}

int replaceFileWith(const std::string& path, const std::function<int(int fd)>& fill, int mode) {
    ReplacementFile file;
    if (int e = file.open(path, mode)) return e;
    if (int e = fill(file.fd())) return e;
    return file.commit();
}

} // namespace qz::sys
