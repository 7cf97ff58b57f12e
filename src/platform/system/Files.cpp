#include "platform/system/Files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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

int replaceFileWith(const std::string& path, const std::function<int(int fd)>& fill, int mode) {
    // Write through symbolic links to the file they name.
    std::string target = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    const bool keepMode = exists && mode < 0;

    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // A hidden name of our own beside the target (the rename must stay within
    // one file system); a name left by a crashed writer is skipped.
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = dir + "/." + base + "." + std::to_string(::getpid()) + "." + std::to_string(attempt) + ".tmp";
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    keepMode ? 0600 : (mode < 0 ? 0666 : mode));
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return errno;

    int failure = fill(fd);
    if (!failure && ::fsync(fd) != 0) failure = errno;
    if (!failure && keepMode && ::fchmod(fd, st.st_mode & 07777) != 0) failure = errno;
    if (::close(fd) != 0 && !failure) failure = errno;
    if (!failure && ::rename(tmp.c_str(), target.c_str()) != 0) failure = errno;
    if (failure) {
        ::unlink(tmp.c_str());
        return failure;
    }
    // Make the rename itself durable.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return 0;
}

} // namespace qz::sys
