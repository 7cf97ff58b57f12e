#include "core/ModGlobal.h"

#include "core/InstalledLocales.h"
#include "core/ModErrors.h"
#include "core/WinDirs.h"
#include "core/forms/frmSysInfo.h"
#include "core/DesignerState.h"
#include "platform/ado/Backend.h"
#include "platform/system/Locales.h"
#include "platform/system/Folders.h"
#include "platform/system/Settings.h"
#include "platform/system/SystemError.h"
#include "platform/ui/Form.h"
#include "platform/ui/UiHost.h"

#include <cerrno>
#include <fstream>
#include <spawn.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qz {

namespace {
thread_local std::shared_ptr<QZApplication> tApp;

std::optional<sys::SettingsScope> scopeOf(std::uint32_t root) {
    if (root == HKEY_CURRENT_USER) return sys::SettingsScope::User;
    if (root == HKEY_LOCAL_MACHINE) return sys::SettingsScope::Machine;
    return std::nullopt;
}

// Reads the digits at the start of each "."-separated field.
std::vector<long long> versionFields(const std::string& v) {
    std::vector<long long> out;
    std::size_t i = 0;
    while (i <= v.size()) {
        std::size_t dot = v.find('.', i);
        std::string f = v.substr(i, dot == std::string::npos ? std::string::npos : dot - i);
        long long n = 0;
        for (char c : f) {
            if (c < '0' || c > '9') break;
            if (n < 1000000000000LL) n = n * 10 + (c - '0');
        }
        out.push_back(n);
        if (dot == std::string::npos) break;
        i = dot + 1;
    }
    return out;
}

} // namespace

QZApplication::QZApplication() {
    Handled("QZApplication", "Class_Initialize", kErrLog | kErrRaise, [&] {
        Initialize();
    });
}

void QZApplication::Initialize() {
    Handled("QZApplication", "Initialize", kErrLog | kErrRaise, [&] {
        Locale = 1056;
        LogPathName = AddBackSlashInPath(WinDirs::GetApplicationDataPath());
    });
}

std::shared_ptr<QZApplication> GetApplicationObject() { return tApp; }

void SetApplicationObject(std::shared_ptr<QZApplication> app) { tApp = std::move(app); }

void Main() {
    // Runs whenever the thread has no application object: at the thread's
    // first use, and again after a TerminationCleanup when the client goes
    // on creating objects.
    if (tApp) return;
    Handled("ModGlobal", "Main", kErrLog | kErrRaise, [&] {
        // The locale table of the thread starts unloaded (also when the
        // thread starts again after a shutdown): it is filled on first use.
        UnLoadInstalledLocale();
        SetApplicationObject(std::make_shared<QZApplication>());
    });
}

TerminationCleanup::TerminationCleanup() { Main(); }

TerminationCleanup::~TerminationCleanup() {
    Quietly([&] { goDesigner = nullptr; });
    Quietly([&] { SetApplicationObject(nullptr); });
    Quietly([&] { ui::unloadAllForms(); });
}

HelpCenter::HelpCenter()
    : helpFile_(AddBackSlashInPath(sys::libraryFolder()) + "Help/" + HelpFileName) {}

void HelpCenter::showMissing() {
    ui::currentHost().msgBox("Cannot open the Quorvane Studio 2004 Help file.\r\n" + helpFile_,
                             ui::vbOKOnly | ui::vbInformation, "Quorvane Studio");
}

void HelpCenter::OpenGeneralHelpCenter() {
    glHelpWindowHandle = ui::currentHost().showHelp(helpFile_, ui::HelpDisplayTopic, 0);
    if (glHelpWindowHandle == 0) showMissing();
}

void HelpCenter::OpenHelpCenter(std::intptr_t, std::int32_t helpContextId) {
    glHelpWindowHandle = ui::currentHost().showHelp(helpFile_, ui::HelpContext, helpContextId);
    if (glHelpWindowHandle == 0) {
        showMissing();
        ui::currentHost().showHelp("", ui::HelpCloseAll, 0);
    }
}

std::string AddBackSlashInPath(const std::string& path) {
    if (!path.empty() && (path.back() == '/' || path.back() == '\\')) return path;
    return path + "/";
}

std::string ExtractFileFromPath(const std::string& path) {
    try {
        return WinDirs::GetFileName(path);
    } catch (...) {
        return {};
    }
}

bool ReadRegistryValue(std::uint32_t root, const std::string& subKey, const std::string& name,
                       std::string& value) {
    value.clear();
    auto scope = scopeOf(root);
    if (!scope || !sys::settingsKeyExists(*scope, subKey)) return false;
    auto v = sys::readSetting(*scope, subKey, name);
    // The value and its terminating zero must fit the 1,024-byte buffer.
    if (!v || v->size() + 1 > 1024) return false;
    value = *v;
    return true;
}

std::string SystemInformation() {
    std::string out;
    auto line = [&out](const std::string& name, const std::string& value) {
        out += name + ": " + (value.empty() ? "(unknown)" : value) + "\r\n";
    };
    auto list = [&out, &line](const std::string& name, const std::vector<std::string>& items) {
        if (items.empty()) return line(name, "none");
        out += name + ":\r\n";
        for (const std::string& item : items) out += "    " + item + "\r\n";
    };
    line("Program", "Quorvane Studio " + ProgramVersion());
    std::string system;
    std::ifstream release("/etc/os-release");
    for (std::string l; std::getline(release, l);)
        if (l.rfind("PRETTY_NAME=", 0) == 0) {
            system = l.substr(12);
            if (system.size() >= 2 && system.front() == '"' && system.back() == '"')
                system = system.substr(1, system.size() - 2);
        }
    struct utsname u {};
    if (::uname(&u) == 0)
        system += (system.empty() ? "" : ", ") + std::string(u.sysname) + " " + u.release + " " + u.machine;
    line("System", system);
    const std::string toolkit = ui::currentHost().toolkitVersion();
    line("Qt", toolkit.empty() ? "none (no desktop)" : toolkit);
    line("ICU", sys::icuVersion());
    line("SQLite", ado::sqliteVersion());
    std::vector<std::string> drivers, sources;
    std::string manager;
    try {
        manager = ado::odbcManagerVersion();
        for (const ado::InstalledDriver& d : ado::installedDrivers()) drivers.push_back(d.name);
        for (const auto& [name, driver] : ado::odbcDataSources()) sources.push_back(name + " (" + driver + ")");
    } catch (const AutomationError& e) {
        manager = e.Description;
    }
    line("unixODBC", manager);
    list("ODBC drivers", drivers);
    list("ODBC data sources", sources);
    std::string data;
    try {
        data = WinDirs().GetApplicationDataPath();
    } catch (const AutomationError& e) {
        data = e.Description;
    }
    line("Application data", data);
    const auto app = GetApplicationObject();
    line("Log", app ? app->LogPathName : data);
    line("User settings", sys::settingsFile(sys::SettingsScope::User));
    line("Machine settings", sys::settingsFile(sys::SettingsScope::Machine));
    return out;
}

namespace {

// Where the files are, in one paragraph: the folders by name, or by the
// rules that give them.
std::string FilesParagraph(const std::string& log, const std::string& data, const std::string& settings,
                           const std::string& machine, const std::string& fallback) {
    std::string text = "The daily log (qzStudioErr_YYYY-MM-DD.log) ";
    text += log == data ? "and the temporary files are in " + data : "is in " + log + ", the temporary files in " + data;
    text += "; the settings are in " + settings + " and, for the whole machine, " + machine + ".";
    if (!fallback.empty())
        text += " What cannot be written below the home folder goes to " + fallback + " instead.";
    return text;
}

} // namespace

std::string FilesLocationText() {
    const std::string data = sys::plannedFolder(
        sys::userDataFolder().empty() ? std::string() : sys::userDataFolder() + "/" + std::string(sys::kProductSubfolder),
        "data/" + std::string(sys::kProductSubfolder));
    const std::string settings = sys::plannedSettingsFile(sys::SettingsScope::User);
    // A private folder is named as it is, or, before it is made, by its pattern.
    std::string fallback = sys::plannedFallbackFolder();
    const bool fresh = fallback.ends_with("-XXXXXX");
    const bool inUse = !fallback.empty() && (data.starts_with(fallback + "/") || settings.starts_with(fallback + "/"));
    std::string text = "Files: " + FilesParagraph(PlannedErrorLogFolder(), data, settings,
                                      sys::plannedSettingsFile(sys::SettingsScope::Machine),
                                      inUse || fallback.empty() ? std::string() : fallback);
    if (fresh) text += " That private folder is made on first use; XXXXXX stands for six random characters.";
    return text;
}

std::string FilesLocationRules() {
    const std::string product = "/" + std::string(sys::kProductSubfolder);
    const std::string data = "$XDG_DATA_HOME" + product + " (by default ~/.local/share" + product + ")";
    return FilesParagraph(data, data,
                          "$XDG_CONFIG_HOME" + product + "/user.reg (by default ~/.config" + product + "/user.reg)",
                          "the first folder of $XDG_CONFIG_DIRS (by default /etc/xdg)" + product + "/machine.reg", {}) +
           " When that data folder cannot be written, the log goes to $XDG_STATE_HOME" + product +
           " (by default ~/.local/state" + product +
           "), and what cannot be written below the home folder goes to $XDG_RUNTIME_DIR/qzstudio when that "
           "folder is the user's alone, else to a private folder $TMPDIR/qzstudio-<uid>-XXXXXX (XXXXXX: six random "
           "characters), made on first use.";
}

void StartSysInfo() {
    std::string program;
    std::string found;
    if (ReadRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", found) &&
        !found.empty()) {
        program = found;
    } else if (ReadRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location",
                                 "MSINFO", found) &&
               sys::fileExists(AddBackSlashInPath(found) + "MSINFO32.EXE")) {
        program = AddBackSlashInPath(found) + "MSINFO32.EXE";
    }
    HandledWithError("ModGlobal", "StartSysInfo", kErrLog, [&] {
        if (program.empty()) {
            // No tool of the machine's: the system's own window.
            frmSysInfo window;
            window.Initialize(SystemInformation());
            window.ShowModal();
            window.Unload();
            return;
        }
        pid_t pid = 0;
        char* argv[] = {program.data(), nullptr};
        int rc = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ);
        if (rc != 0) throw sys::systemError(rc);
        // Reap the tool when it ends, without making the caller wait.
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }, [&](AutomationError& err) {
        err.Description = "System Information is unavailable at this time.";
        ShowErrorDialog(err.Description, "");
    });
}

namespace ModSystemRequirements {

std::int32_t Check() {
    return Handled("ModSystemRequirements", "Check", kErrLog | kErrRaise, [&] {
        std::string version;
        if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", "Version",
                               version))
            return 2;
        std::vector<long long> have = versionFields(version);
        const std::vector<long long> need = versionFields("5.00.2014.0216");
        for (std::size_t i = 0; i < need.size(); ++i) {
            long long h = i < have.size() ? have[i] : 0;
            if (h != need[i]) return h < need[i] ? 2 : 0;
        }
        return 0;
    });
}

} // namespace ModSystemRequirements

} // namespace qz
