#include "core/RandomFile.h"

#include "core/ModErrors.h"
#include "platform/system/SystemError.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qz {

RandomFile::~RandomFile() {
    if (fd_ >= 0) ::close(fd_);
}

void RandomFile::requireOpen() {
    if (fd_ < 0) RaiseError(msg::FileAlreadyClosed);
}

std::int64_t RandomFile::FileSize() {
    return Handled("RandomFile", "FileSize", kErrLog | kErrRaise, [&] {
        requireOpen();
        struct stat st;
        if (::fstat(fd_, &st) != 0) throw sys::systemError(errno);
        return static_cast<std::int64_t>(st.st_size);
    });
}

bool RandomFile::IsFileExist(const std::string& fileName) {
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
    return ok;
}

void RandomFile::OpenInputFile(const std::string& fileName, bool write) {
    Handled("RandomFile", "OpenInputFile", kErrLog | kErrRaise, [&] {
        if (fd_ >= 0) RaiseError(msg::CannotOpenInputFile);
        int fd = write ? ::open(fileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)
                       : ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) RaiseError(msg::CannotOpenInputFile);
        struct stat st;
        // Readers share the file with one another; a writer has it alone.
        if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) ||
            ::flock(fd, (write ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
            ::close(fd);
            RaiseError(msg::CannotOpenInputFile);
        }
        fd_ = fd;
        fileName_ = fileName;
    });
}

void RandomFile::CloseFile() {
    Handled("RandomFile", "CloseFile", kErrLog | kErrRaise, [&] {
        requireOpen();
        ::close(fd_);
        fd_ = -1;
        fileName_.clear();
    });
}

std::string RandomFile::ReadBytes(std::int64_t count) {
    return Handled("RandomFile", "ReadBytes", kErrLog | kErrRaise, [&] {
        requireOpen();
        if (count < 0) throw AutomationError(5, std::string(kErrorSource), "Invalid procedure call or argument");
        // Never more room than the file has left to give.
        struct stat st;
        off_t pos = ::lseek(fd_, 0, SEEK_CUR);
        if (::fstat(fd_, &st) == 0 && pos >= 0 && S_ISREG(st.st_mode))
            count = std::min<std::int64_t>(count, std::max<std::int64_t>(0, st.st_size - pos));
        std::string out(static_cast<std::size_t>(count), '\0');
        std::size_t got = 0;
        while (got < out.size()) {
            ssize_t n = ::read(fd_, out.data() + got, out.size() - got);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw sys::systemError(errno);
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        out.resize(got);
        return out;
    });
}

void RandomFile::SeekAbsolute(std::int32_t high, std::int32_t low) {
    Handled("RandomFile", "SeekAbsolute", kErrLog | kErrRaise, [&] {
        requireOpen();
        off_t pos = static_cast<off_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) |
                                       static_cast<std::uint32_t>(low));
        if (high < 0 || ::lseek(fd_, pos, SEEK_SET) < 0) throw sys::systemError(high < 0 ? EINVAL : errno);
    });
}

std::string RandomFile::ReadAllBytes() {
    return Handled("RandomFile", "ReadAllBytes", kErrLog | kErrRaise, [&] {
        requireOpen();
        SeekAbsolute(0, 0);
        return ReadBytes(FileSize());
    });
}

} // namespace qz
