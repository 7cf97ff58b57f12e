#include "platform/system/Paths.h"

#include <sys/stat.h>

namespace qz::sys {

std::string withSlashes(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

std::string localPath(std::string path) {
    struct stat st;
    if (path.find('\\') != std::string::npos && ::stat(path.c_str(), &st) != 0) path = withSlashes(path);
    return path;
}

bool isAbsolutePath(std::string_view path) noexcept {
    if (path.empty()) return false;
    if (path[0] == '/' || path[0] == '\\') return true;
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool regularFileExists(const std::string& path) noexcept {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string lastPathComponent(std::string_view path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.remove_suffix(1);
    if (path == "/" || path == "\\") return {};
    const std::size_t sep = path.find_last_of("/\\");
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

} // namespace qz::sys
