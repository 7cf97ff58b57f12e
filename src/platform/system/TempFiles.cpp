#include "platform/system/TempFiles.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace qz::sys {
namespace {

// Numbers run through 1..0xFFFF, starting from a point that differs per
// process, so that concurrent processes rarely try the same names.
std::atomic<unsigned> gNext{0};

unsigned startPoint() {
    auto t = static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() / 1000);
    return (t ^ (static_cast<unsigned>(::getpid()) * 2654435761u)) & 0xFFFFu;
}

} // namespace

std::string createTempFile(const std::string& folder, std::string_view prefix, int& error) {
    error = 0;
    if (folder.empty()) {
        error = ENOENT;
        return {};
    }
    // The first three characters (bytes of whole UTF-8 characters).
    std::string pre;
    int chars = 0;
    for (std::size_t i = 0; i < prefix.size() && chars < 3;) {
        std::size_t len = 1;
        unsigned char c = static_cast<unsigned char>(prefix[i]);
        if (c >= 0xF0) len = 4;
        else if (c >= 0xE0) len = 3;
        else if (c >= 0xC0) len = 2;
        if (c == '/' || c == 0) { error = EINVAL; return {}; }
        pre.append(prefix.substr(i, len));
        i += len;
        ++chars;
    }
    std::string base = folder;
    if (base.back() != '/') base += '/';

    unsigned expected = 0;
    gNext.compare_exchange_strong(expected, startPoint() | 0x10000u);
    for (unsigned attempt = 0; attempt < 0xFFFFu; ++attempt) {
        unsigned n = (gNext.fetch_add(1) & 0xFFFFu);
        if (n == 0) continue;
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", n);
        std::string name = base + pre + hex + ".TMP";
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) {
            error = errno;
            return {};
        }
    }
    error = EEXIST;
    return {};
}

} // namespace qz::sys
