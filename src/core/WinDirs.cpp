#include "core/WinDirs.h"

#include "core/ModErrors.h"
#include "platform/system/Folders.h"

namespace qz {

std::string WinDirs::GetApplicationDataPath() {
    try {
        std::string root = sys::userDataFolder();
        std::string path;
        if (!root.empty()) {
            path = root + "/" + std::string(sys::kProductSubfolder);
            if (sys::createFolderTree(path) != 0) path.clear();
        }
        if (path.empty()) throw AutomationError(OwnErrorNumber(2003), std::string(kErrorSource), "");
        return path;
    } catch (...) {
        HandleError("WinDirs", "GetApplicationDataPath", kErrRaise);
    }
    return {};
}

std::string AddBackSlashInPath(const std::string& path) {
    if (!path.empty() && (path.back() == '/' || path.back() == '\\')) return path;
    return path + "/";
}

} // namespace qz
