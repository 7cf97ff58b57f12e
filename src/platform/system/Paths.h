// Paths as stored files may hold them: written here, or on Windows with
// backslashes and drive letters. One place for the rules every layer uses.
#pragma once

#include <string>
#include <string_view>

namespace qz::sys {

// The path with every "\" made "/".
std::string withSlashes(std::string_view path);
// A path written on Windows made usable here: its backslashes become slashes
// unless a file of that very name exists.
std::string localPath(std::string path);
// An absolute path as this system or Windows writes it: "/x", "\\server\x",
// "\x" or a drive letter ("C:\x", "C:/x").
bool isAbsolutePath(std::string_view path) noexcept;
// Whether the path names an existing regular file (or a link to one); "" never does.
bool regularFileExists(const std::string& path) noexcept;
// The last component of a path, "/" and "\" both separating; trailing
// separators are ignored ("a/b/" gives "b", "/" gives "").
std::string lastPathComponent(std::string_view path);

} // namespace qz::sys
