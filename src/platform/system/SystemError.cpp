#include "platform/system/SystemError.h"

#include <cerrno>
#include <cstring>

namespace qz::sys {

int runtimeErrorOf(int err) noexcept {
    switch (err) {
    case ENOENT: return 53;
    case ENOTDIR: return 76;
    case EACCES: case EPERM: case EROFS: case ETXTBSY: return 70;
    case EEXIST: return 58;
    case ENOSPC: case EDQUOT: case EFBIG: return 61;
    case EIO: return 57;
    case EMFILE: case ENFILE: return 67;
    case ENOMEM: return 7;
    case EINVAL: case ENAMETOOLONG: return 52;
    case EBUSY: case EAGAIN: return 70;
    default: return 75;
    }
}

std::string runtimeErrorText(int number) {
    switch (number) {
    case 5: return "Invalid procedure call or argument";
    case 7: return "Out of memory";
    case 52: return "Bad file name or number";
    case 53: return "File not found";
    case 57: return "Device I/O error";
    case 58: return "File already exists";
    case 61: return "Disk full";
    case 67: return "Too many files";
    case 70: return "Permission denied";
    case 75: return "Path/File access error";
    case 76: return "Path not found";
    default: return "Unexpected error";
    }
}

AutomationError systemError(int err) {
    int n = runtimeErrorOf(err);
    return AutomationError(n, "QzStudio", runtimeErrorText(n), {}, 0, err);
}

std::string errnoText(int err) {
    char buf[256];
    const char* t = ::strerror_r(err, buf, sizeof buf);
    if (!t || std::strncmp(t, "Unknown error", 13) == 0) return {};
    return t;
}

} // namespace qz::sys
