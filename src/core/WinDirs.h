// Folders, temporary files and copies: the per-user application-data folder
// of the product and the other special folders, temporary file names,
// folder creation and file copy. Paths use "/"; folder paths come back
// without a trailing separator.
#pragma once

#include <string>

namespace qz {

class WinDirs {
public:
    // The product's application-data folder
    // ($XDG_DATA_HOME/Pellitron/Quorvane Studio 2004), created with its
    // parents when missing. Raises 2003 when there is none; reports with
    // flag 2 only, since the error log depends on it.
    static std::string GetApplicationDataPath();
    // Creates a new, empty file "<3 prefix characters><HEX>.TMP" in the
    // application-data folder and returns its full name; the caller owns
    // and deletes it. Failures are raised as 2011.
    static std::string GetTemporaryFileName(const std::string& prefix);
    // Copies a file into a folder, keeping its name. Raises when the folder
    // does not exist, or when the target exists and overwrite is false. A
    // read-only target is replaced when overwrite is true.
    static void CopyFile(const std::string& source, const std::string& destinationFolder,
                         bool overwrite);
    // Creates one folder level (the parent must exist); nothing when it exists.
    static void CreateFolder(const std::string& path);
    // The last component of a path ("/" and "\" both separate).
    static std::string GetFileName(const std::string& path);
    // Shared files of every maker (<prefix>/share); "" on failure (logged).
    static std::string GetProgramFilesCommonPath();
    // The user's documents folder; "" on failure (logged).
    static std::string GetPersonalPath();
};

} // namespace qz
