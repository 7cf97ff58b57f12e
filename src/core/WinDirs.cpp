#include "core/WinDirs.h"

#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "platform/system/Files.h"
#include "platform/system/Folders.h"
#include "platform/system/Paths.h"
#include "platform/system/SystemError.h"
#include "platform/system/TempFiles.h"
#include "resources/MessageIds.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qz {
namespace {

std::string withoutTrailingSeparator(std::string p) {
    while (p.size() > 1 && (p.back() == '/' || p.back() == '\\')) p.pop_back();
    return p;
}

// Copies a file's bytes to a new file beside the target, then renames it
// over the target, so that a failed copy leaves the old target intact.
int copyBytes(const std::string& source, const std::string& target) {
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    struct stat st;
    int rc = ::fstat(in, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    if (rc) {
        ::close(in);
        return rc;
    }
    rc = sys::replaceFileWith(target, [in](int out) {
        char buf[1 << 16];
        for (;;) {
            ssize_t n = ::read(in, buf, sizeof buf);
            if (n == 0) return 0;
            if (n < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            if (int e = sys::writeAll(out, std::string_view(buf, static_cast<std::size_t>(n)))) return e;
        }
    }, static_cast<int>(st.st_mode & 0777));
    ::close(in);
    return rc;
}

} // namespace

std::string WinDirs::GetApplicationDataPath() {
    return Handled("WinDirs", "GetApplicationDataPath", kErrRaise, [&] {
        const std::string root = sys::userDataFolder();
        const std::string preferred = root.empty() ? root : root + "/" + std::string(sys::kProductSubfolder);
        // Created here without the logging folder routine: the log itself
        // asks for this folder. A home that is missing or cannot be written
        // (service accounts) leaves a private per-user folder instead.
        int e = 0;
        std::string why;
        const std::string path =
            sys::writableFolder(preferred, "data/" + std::string(sys::kProductSubfolder), &e, &why);
        if (path.empty() && preferred.empty())
            throw AutomationError(OwnErrorNumber(msg::NoTemporaryPath), std::string(kErrorSource), why);
        if (path.empty()) {
            // Every folder tried, with the system's reason each failed.
            AutomationError err = sys::systemError(e);
            err.Description += ": " + why;
            throw err;
        }
        return path;
    });
}

std::string WinDirs::GetTemporaryFileName(const std::string& prefix) {
    try {
        std::string folder = GetApplicationDataPath();
        int err = 0;
        std::string name = sys::createTempFile(folder, prefix, err);
        if (name.empty()) throw sys::systemError(err);
        return name;
    } catch (...) {
        AutomationError err = CurrentError();
        HandleError(err, "WinDirs", "GetTemporaryFilename", kErrLog);
        if (err.Number != OwnErrorNumber(msg::NoTemporaryFileName)) {
            err.Number = OwnErrorNumber(msg::NoTemporaryFileName);
            HandleError(err, "WinDirs", "GetTemporaryFilename", kErrLog | kErrRaise);
        }
        HandleError(err, "WinDirs", "GetTemporaryFilename", kErrRaise);
    }
    return {};
}

void WinDirs::CopyFile(const std::string& source, const std::string& destinationFolder,
                       bool overwrite) {
    Handled("WinDirs", "CopyFile", kErrLog | kErrRaise, [&] {
        std::string folder = AddBackSlashInPath(destinationFolder);
        // A copy into a folder that is not there did not happen: say so.
        if (!sys::folderExists(withoutTrailingSeparator(folder))) throw sys::systemError(ENOTDIR);
        if (!sys::fileExists(source)) throw sys::systemError(ENOENT);
        std::string target = folder + GetFileName(source);
        struct stat st;
        if (::stat(target.c_str(), &st) == 0) {
            if (!overwrite) throw sys::systemError(EEXIST);
            if (S_ISDIR(st.st_mode)) throw sys::systemError(EISDIR);
            // A read-only target is replaced only because overwrite asks for it.
            if ((st.st_mode & S_IWUSR) == 0) ::chmod(target.c_str(), st.st_mode | S_IWUSR);
        }
        if (int e = copyBytes(source, target)) throw sys::systemError(e);
    });
}

void WinDirs::CreateFolder(const std::string& path) {
    Handled("WinDirs", "CreateFolder", kErrLog | kErrRaise, [&] {
        std::string p = withoutTrailingSeparator(path);
        if (p.empty()) throw sys::systemError(ENOENT);
        if (!sys::folderExists(p) && ::mkdir(p.c_str(), 0777) != 0 && errno != EEXIST)
            throw sys::systemError(errno);
    });
}

std::string WinDirs::GetFileName(const std::string& path) {
    return Handled("WinDirs", "GetFileName", kErrLog | kErrRaise, [&] {
        return sys::lastPathComponent(path);
    });
}

std::string WinDirs::GetProgramFilesCommonPath() {
    return Handled("WinDirs", "GetProgramFilesCommonPath", kErrLog, [&] {
        std::string p = sys::commonFilesFolder();
        if (p.empty()) throw AutomationError(OwnErrorNumber(msg::NoTemporaryPath), std::string(kErrorSource), "");
        return p;
    });
}

std::string WinDirs::GetPersonalPath() {
    return Handled("WinDirs", "GetPersonalPath", kErrLog, [&] {
        std::string p = sys::personalFolder();
        if (p.empty()) throw AutomationError(OwnErrorNumber(msg::NoTemporaryPath), std::string(kErrorSource), "");
        return p;
    });
}

} // namespace qz
