// Revision copies: before each preview the template document is copied to the
// next numbered file of its revision folder, "<base>REV/<base>rev-<n>.rtf",
// and the copy that falls out of the window of the last `keep` copies is
// deleted.
#include "designer/Designer.h"

#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "platform/automation/Text.h"
#include "platform/system/Files.h"
#include "platform/system/SystemError.h"
#include "production/TemplateFiles.h"

#include <filesystem>
#include <limits>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace qz::designer {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kModule = "Designer";

// The template's name without its ".rtf" (letter case aside); a name without
// that extension is its own base.
std::string RevisionBaseName(const std::string& templateFileName) {
    if (templateFileName.size() > 4 &&
        equalsNoCaseAscii(std::string_view(templateFileName).substr(templateFileName.size() - 4), ".rtf"))
        return templateFileName.substr(0, templateFileName.size() - 4);
    return templateFileName;
}

std::string RevisionFileName(const std::string& folder, std::int32_t revision) {
    const std::string name = fs::path(folder).filename().string();
    const std::string base = name.substr(0, name.size() >= 3 ? name.size() - 3 : 0);
    return AddBackSlashInPath(folder) + base + "rev-" + std::to_string(revision) + ".rtf";
}

} // namespace

std::string Designer::RevisionFolder() const {
    return AddBackSlashInPath(templatePath_) + RevisionBaseName(templateFileName_) + "REV";
}

void Designer::ManageRevisionKeep(std::int32_t keep) {
    Handled(kModule, "ManageRevisionKeep", kErrLog | kErrRaise, [&] {
        // A keep value below one keeps no copies, as "None" does.
        if (keep == 12 || keep < 1) return;
        const std::string folder = RevisionFolder();
        std::error_code ec;
        if (!fs::is_directory(folder, ec) && !fs::create_directory(folder, ec) && ec)
            throw sys::systemError(ec.value());
        // Copies are written and old ones deleted only in a folder of the
        // user's own: never through a link someone planted in its place.
        struct stat fst {};
        if (::lstat(folder.c_str(), &fst) != 0) throw sys::systemError(errno);
        if (S_ISLNK(fst.st_mode) || !S_ISDIR(fst.st_mode) || fst.st_uid != ::geteuid())
            throw AutomationError(kErrorFail, std::string(kModule),
                                  "The revision folder \"" + folder + "\" is " +
                                      (S_ISLNK(fst.st_mode) ? "a symbolic link" : S_ISDIR(fst.st_mode) ? "another user's" : "not a folder") +
                                      "; revision copies are kept only in a folder of your own.");
        const std::int32_t last = SearchLastFileRevision(folder);
        if (last == std::numeric_limits<std::int32_t>::max()) RaiseError(6);
        const std::int32_t next = last + 1;
        if (keep != 11 && next > keep) RemoveRevisionFile(folder, next - keep);
        // The file of that number whatever the case of its letters, as the
        // numbering found it.
        std::string target = production::FindFileNoCase(RevisionFileName(folder, next));
        if (target.empty()) target = RevisionFileName(folder, next);
        struct stat st {};
        if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            throw AutomationError(kErrorFail, std::string(kModule),
                                  "The revision copy \"" + target + "\" is a symbolic link; it is not written through.");
        if (::stat(target.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0)
            ::chmod(target.c_str(), st.st_mode | S_IWUSR);
        std::string data;
        if (int err = sys::readWholeFile(AddBackSlashInPath(templatePath_) + templateFileName_, data)) throw sys::systemError(err);
        if (int err = sys::replaceFile(target, data)) throw sys::systemError(err);
    });
}

std::int32_t Designer::SearchLastFileRevision(const std::string& revisionFolder) {
    return Handled(kModule, "SearchLastFileRevision", kErrLog | kErrRaise, [&] {
        std::error_code ec;
        if (!fs::is_directory(revisionFolder, ec)) return 0;
        const std::string folderName = fs::path(revisionFolder).filename().string();
        const std::string base = folderName.substr(0, folderName.size() >= 3 ? folderName.size() - 3 : 0);
        std::int32_t highest = 0;
        for (const fs::directory_entry& e : fs::directory_iterator(revisionFolder)) {
            const std::string name = e.path().filename().string();
            // base, four characters ("rev-"), the number, ".rtf".
            if (name.size() <= base.size() + 8 || !equalsNoCaseAscii(std::string_view(name).substr(0, base.size()), base) ||
                !equalsNoCaseAscii(std::string_view(name).substr(name.size() - 4), ".rtf"))
                continue;
            const std::string_view digits =
                std::string_view(name).substr(base.size() + 4, name.size() - base.size() - 8);
            if (digits.empty() || digits.size() > 9) continue;
            std::int32_t n = 0;
            bool numeric = true;
            for (char c : digits) {
                if (c < '0' || c > '9') { numeric = false; break; }
                n = n * 10 + (c - '0');
            }
            if (numeric && n > highest) highest = n;
        }
        return highest;
    });
}

void Designer::RemoveRevisionFile(const std::string& revisionFolder, std::int32_t revision) {
    Handled(kModule, "RemoveRevisionFile", kErrLog | kErrRaise, [&] {
        const std::string file = production::FindFileNoCase(RevisionFileName(revisionFolder, revision));
        std::error_code ec;
        // A file that cannot be deleted stays; the copy goes on.
        if (!file.empty()) fs::remove(file, ec);
    });
}

} // namespace qz::designer
