// The per-thread state shared by the subsystems (the application object, the
// designer reference, the flags), the thread's start-up and shutdown, the
// help opener, and small path and settings routines.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qz {

class DesignerState;

// The application object: one per thread.
class QZApplication {
public:
    QZApplication();   // runs Initialize; raises what it raises
    std::int32_t Locale = 1056;   // locale of the message lookup; 1025 selects id + 10000
    std::string LogPathName;      // the application-data folder, with a trailing separator

private:
    void Initialize();
};

std::shared_ptr<QZApplication> GetApplicationObject();
void SetApplicationObject(std::shared_ptr<QZApplication> app);

// The thread's start-up: creates the application object when the thread has
// none (later calls return at once); public constructors call it.
void Main();

// Globals of the thread (each thread has its own).
inline thread_local DesignerState* goDesigner = nullptr;   // the thread's designer (DesignerState.h), or null
inline thread_local std::intptr_t glHelpWindowHandle = 0;      // 0 when opening help failed
inline thread_local bool gbScriptErrorOccurred = false;

// Releasing the last TerminationCleanup of a thread shuts the thread's state
// down: the designer reference and the application object are cleared and
// every loaded form is unloaded. Nothing of this fails.
class TerminationCleanup {
public:
    TerminationCleanup();
    ~TerminationCleanup();
    TerminationCleanup(const TerminationCleanup&) = delete;
    TerminationCleanup& operator=(const TerminationCleanup&) = delete;
};

// Opens the product's help file: <library folder>/Help/<HelpFileName>.
class HelpCenter {
public:
    static constexpr const char* HelpFileName = "index.html";
    HelpCenter();
    const std::string& HelpFilePath() const noexcept { return helpFile_; }
    void OpenGeneralHelpCenter();
    void OpenHelpCenter(std::intptr_t ownerWindow, std::int32_t helpContextId);

private:
    void showMissing();
    std::string helpFile_;
};

// The path with the separator appended unless it ends with one ("" -> "/").
std::string AddBackSlashInPath(const std::string& path);
// The last component of a path; "" on any failure.
std::string ExtractFileFromPath(const std::string& path);

// Roots of the settings store, numbered as the registry's.
inline constexpr std::uint32_t HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr std::uint32_t HKEY_CURRENT_USER = 0x80000001u;
inline constexpr std::uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr std::uint32_t HKEY_USERS = 0x80000003u;

// Reads a text value (read access only). False, with `value` empty, when the
// key or the value cannot be read.
bool ReadRegistryValue(std::uint32_t root, const std::string& subKey, const std::string& name,
                       std::string& value);

// Starts the system-information tool named in the machine's settings; when
// none is named, shows the system's own window of system information
// (SystemInformation). When neither can be shown, says "System Information
// is unavailable at this time." in the error dialog.
void StartSysInfo();
// What a support call needs to know, a fact a line ("Name: value"; lists
// indented below their name): the program's version, the system, the
// toolkit, ICU, SQLite and the ODBC driver manager, the ODBC drivers and data
// sources installed, the application-data and log folders and the settings
// files.
std::string SystemInformation();
// Where the programs keep their files, for their --help: the daily log and
// the temporary files, and the settings, as the folders are for this user
// now (nothing is created to say so).
std::string FilesLocationText();
// The same paragraph by the rules that give the folders, for the manual pages.
std::string FilesLocationRules();

namespace ModSystemRequirements {
// 0 when the web browser component is present and recent enough
// (version 5.00.2014.0216 or later, compared number by number), 2 otherwise.
std::int32_t Check();
} // namespace ModSystemRequirements

} // namespace qz
