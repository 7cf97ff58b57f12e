// Folders, temporary files and copies: the per-user application-data folder
// of the product and the other special folders, temporary file names,
// folder creation and file copy.
#pragma once

#include <string>

namespace qz {

class WinDirs {
public:
    // The product's application-data folder, created when missing, without a
    // trailing separator. Raises 2003 when there is none (not logged: the
    // error log depends on it).
    static std::string GetApplicationDataPath();
};

// The path with the separator appended unless it ends with one.
std::string AddBackSlashInPath(const std::string& path);

} // namespace qz
