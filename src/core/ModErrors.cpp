#include "core/ModErrors.h"

#include "core/ModGlobal.h"
#include "core/forms/frmErrors.h"
#include "platform/automation/DateTime.h"
#include "platform/automation/Text.h"
#include "platform/system/Files.h"
#include "platform/system/Folders.h"
#include "platform/system/Locales.h"
#include "platform/system/SystemError.h"
#include "platform/ui/UiHost.h"
#include "resources/MessageIds.h"
#include "resources/MessageTable.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace qz {
namespace {

// The log state: recomputed before every write.
thread_local std::string tLogPrefix;
thread_local std::string tLogFileName;

std::mutex gClockMutex;
std::function<std::chrono::system_clock::time_point()> gClock;

std::chrono::system_clock::time_point now() {
    std::lock_guard<std::mutex> lock(gClockMutex);
    return gClock ? gClock() : std::chrono::system_clock::now();
}

std::tm localTime(std::chrono::system_clock::time_point tp) {
    std::time_t t = std::chrono::system_clock::to_time_t(tp);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

// The default text form of a date and time in the user's regional settings
// (what converting a date value to text gives).
std::string timeStamp(std::chrono::system_clock::time_point tp) {
    const LocaleFormat* f = sys::localeFormatFor(sys::userDefaultLcid());
    if (!f) f = &LocaleFormat::english();
    return toUtf8(formatDateDefault(localTimeAsDate(std::chrono::system_clock::to_time_t(tp)), *f));
}

// Appends one record with a single write to a file opened for appending, so
// that records of two processes never mix within a record.
// A link in place of the log is refused, and so is a file of another user
// (the fallback folders may be shared).
bool appendRecord(const std::string& file, const std::string& record) {
    int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return false;
    }
    bool ok = sys::writeAll(fd, record) == 0;
    ::close(fd);
    return ok;
}

} // namespace

std::string GetResourceString(std::int32_t id) {
    auto app = GetApplicationObject();
    if (app && app->Locale == 1025) {
        // The second block of texts; the table has none, so the base text
        // serves rather than an empty one.
        std::string_view t = res::messageText(id + 10000);
        if (!t.empty()) return std::string(t);
    }
    return std::string(res::messageText(id));
}

void CaptureErrorInfo(const AutomationError& err, ErrorInfo& info) {
    info.Description = err.Description;
    info.HelpContext = err.HelpContext;
    info.HelpFile = err.HelpFile;
    info.LastDllError = err.SystemErrorCode;
    info.Number = err.Number;
    info.Source = err.Source;
}

void RestoreErrorInfo(const ErrorInfo& info, AutomationError& err) {
    if (info.LastDllError != 0) err.SystemErrorCode = info.LastDllError;
    err.Number = info.Number;
    err.Description = info.Description;
    err.Source = info.Source;
    err.HelpContext = info.HelpContext;
    err.HelpFile = info.HelpFile;
}

void GetResourceErrorDescription(ErrorInfo& info) {
    std::int32_t id = static_cast<std::int32_t>(static_cast<std::uint32_t>(info.Number) -
                                                static_cast<std::uint32_t>(kOwnErrorBase));
    std::string text = GetResourceString(id);
    info.Description = text.empty() ? GetResourceString(msg::NoResourceMessage) : text;
}

bool IsUnexpectedErrorNumber(std::int32_t number, std::int32_t& messageId) {
    std::int64_t id = static_cast<std::int64_t>(number) - static_cast<std::int64_t>(kOwnErrorBase);
    if (id >= 3000 && id <= 3116) return false;
    if (id >= 3117 && id <= 3999) { messageId = msg::UnexpectedProductionError; return true; }
    if (id >= 4000 && id <= 4200) return false;
    if (id >= 4201 && id <= 4999) { messageId = msg::UnexpectedDesignerError; return true; }
    messageId = 0;
    return false;
}

std::string GetSystemErrorMessage(std::int32_t code) {
    std::string s = sys::errnoText(code);
    if (s.empty()) return GetResourceString(msg::UnexplainedError);
    if (s.size() > 254) s.resize(254);
    return s + "\r\n";
}

std::string DataErrorMessage(const std::vector<std::pair<std::int32_t, std::string>>& errors) {
    std::string text, numbers;
    for (const auto& [number, description] : errors) {
        text += description + "\r\n";
        numbers += (numbers.empty() ? "" : ", ") + std::to_string(number);
    }
    return numbers.empty() ? text : text + "\r\nDetails: error " + numbers;
}

void ShowErrorDialog(const std::string& message, const std::string& frameCaption) {
    try {
        frmErrors form;
        form.InitForm(message, "", frameCaption);
        form.ShowModal();
        form.Unload();
    } catch (...) {
        Quietly([&] {
            ui::currentHost().msgBox("An error occured while trying to display an Quorvane error.",
                                     ui::vbOKOnly | ui::vbCritical, "");
        });
    }
}

namespace {

// A per-user folder that takes the log when the application-data folder
// cannot (the library's own folder is not writable on this platform); made
// when `make`, else only named.
std::string fallbackLogFolder(bool make = true) {
    std::string folder = sys::userStateFolder();
    if (!folder.empty()) folder += "/" + std::string(sys::kProductSubfolder);
    const std::string sub = "state/" + std::string(sys::kProductSubfolder);
    folder = make ? sys::writableFolder(folder, sub) : sys::plannedFolder(folder, sub);
    return folder.empty() ? sys::tempFolder() : folder;
}

// The application-data folder itself, not the private folder that takes its
// place when it cannot be written: the per-user state folder comes first.
std::string errorLogFolder(bool make) {
    std::string folder = sys::userDataFolder();
    if (!folder.empty()) folder += "/" + std::string(sys::kProductSubfolder);
    const bool usable = make ? sys::usableFolder(folder) : sys::couldUseFolder(folder);
    return usable ? folder : fallbackLogFolder(make);
}

} // namespace

void InitializeErrorLog() { SetErrorLogFileName(errorLogFolder(true) + "/qzStudioErr"); }

std::string PlannedErrorLogFolder() { return errorLogFolder(false); }

void SetErrorLogFileName(const std::string& prefix) {
    tLogPrefix = prefix;
    std::tm tm = localTime(now());
    char date[40];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    tLogFileName = prefix + "_" + date + ".log";
}

std::string ErrorLogFileName() {
    InitializeErrorLog();
    return tLogFileName;
}

void WriteErrorLog(const ErrorInfo& info, std::string_view module, std::string_view routine,
                   std::string_view detail) {
    InitializeErrorLog();
    const std::string head = timeStamp(now()) + "\t" + std::string(module) + "\t" + std::string(routine) + "\t";
    std::string record = head + info.Source + "\t" + std::to_string(info.Number) + "\t" +
                         info.Description + "\r\n";
    if (info.LastDllError != 0)
        record += head + "LastDllError\t" + std::to_string(info.LastDllError) + "\t" +
                  GetSystemErrorMessage(info.LastDllError) + "\r\n";
    if (!onlySpaces(detail)) record += head + "Detail\t" + std::string(detail) + "\r\n";
    if (!appendRecord(tLogFileName, record)) {
        // The day's file cannot be appended to where it is: keep the record
        // in the per-user fallback folder rather than lose it.
        SetErrorLogFileName(fallbackLogFolder() + "/qzStudioErr");
        appendRecord(tLogFileName, record);
    }
}

void HandleError(AutomationError& err, std::string_view module, std::string_view routine,
                 int flags, std::string_view detail) {
    ErrorInfo info;
    CaptureErrorInfo(err, info);
    Quietly([&] {
        if (info.Description.empty() || info.Description == "Automation error" ||
            info.Description == "Erreur Automation")
            GetResourceErrorDescription(info);
    });
    if (flags & kErrLog) {
        Quietly([&] {
            WriteErrorLog(info, module, routine, detail);
        });
    }
    if (flags & kErrShow) {
        Quietly([&] {
            std::int32_t id = 0;
            if (IsUnexpectedErrorNumber(info.Number, id)) ShowErrorDialog(GetResourceString(id), "");
            else ShowErrorDialog(info.Description, "");
        });
    }
    if (flags & kErrRaise)
        throw AutomationError(info.Number, info.Source, info.Description, info.HelpFile, info.HelpContext);
    RestoreErrorInfo(info, err);
}

AutomationError HandleError(std::string_view module, std::string_view routine, int flags,
                            std::string_view detail) {
    AutomationError err = CurrentError();
    HandleError(err, module, routine, flags, detail);
    return err;
}

AutomationError CurrentError() {
    std::exception_ptr ep = std::current_exception();
    if (!ep) return AutomationError(kErrorFail, std::string(kErrorSource), "Unspecified error");
    try {
        std::rethrow_exception(ep);
    } catch (const AutomationError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return AutomationError(7, std::string(kErrorSource), "Out of memory");
    } catch (const std::system_error& e) {
        // File-system and other system failures keep their errno.
        if (e.code().category() == std::generic_category() || e.code().category() == std::system_category())
            return sys::systemError(e.code().value());
        return AutomationError(kErrorFail, std::string(kErrorSource), e.what());
    } catch (const std::exception& e) {
        return AutomationError(kErrorFail, std::string(kErrorSource), e.what());
    } catch (...) {
        return AutomationError(kErrorFail, std::string(kErrorSource), "Unspecified error");
    }
}

AutomationError OwnError(std::int32_t id) {
    return AutomationError(OwnErrorNumber(id), std::string(kErrorSource), GetResourceString(id));
}

AutomationError OwnError(std::int32_t id, std::string description) {
    return AutomationError(OwnErrorNumber(id), std::string(kErrorSource), std::move(description));
}

void RaiseError(std::int32_t id) { throw OwnError(id); }

void RaiseError(std::int32_t id, std::string description) { throw OwnError(id, std::move(description)); }

AutomationError QzcCannotOpenError(const std::string& path, const std::string& why) {
    return OwnError(msg::CannotOpenQzcFile, GetResourceString(msg::CannotOpenQzcFile) + " The file '" + path + "' " + why + ".");
}

AutomationError QzcReadOnlyError(const std::string& path) {
    return OwnError(msg::CannotUpdateTemplateProperties, GetResourceString(msg::CannotUpdateTemplateProperties) +
                                                             "\r\n" + GetResourceString(msg::QzcFileReadOnlyStart) +
                                                             path + GetResourceString(msg::QzcFileReadOnlyEnd));
}

void SetErrorLogClock(std::function<std::chrono::system_clock::time_point()> clock) {
    std::lock_guard<std::mutex> lock(gClockMutex);
    gClock = std::move(clock);
}

} // namespace qz
