#include "datasources/forms/DataSourceDialogs.h"

#include "platform/system/Files.h"
#include "platform/system/SystemError.h"

#include "core/DesignerState.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "platform/ado/Connection.h"
#include "platform/ado/ConnectionString.h"
#include "resources/MessageIds.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace qz::datasources {

bool TemplateReadOnly() { return goDesigner && goDesigner->TemplateReadOnly(); }

void MarkTemplateReadOnly() {
    if (goDesigner) goDesigner->SetTemplateReadOnly(true);
}

std::string TemplateFolder() { return goDesigner ? goDesigner->TemplatePath() : std::string(); }

std::string QzcFullName() {
    return goDesigner ? AddBackSlashInPath(goDesigner->TemplatePath()) + goDesigner->QzcFileName() : std::string();
}

void ShowNumberedError(const AutomationError& error) {
    ShowErrorDialog(DataErrorMessage({{error.Number, error.Description}}), "");
}

bool OpenAndCloseConnection(const std::string& connectionString) {
    Ref<ado::Connection> cn(new ado::Connection);
    try {
        cn->open(connectionString);
        cn->close();
        return true;
    } catch (...) {
        const AutomationError e = CurrentError();
        std::vector<std::pair<std::int32_t, std::string>> errors;
        for (const ado::ProviderError& p : cn->errors()) errors.emplace_back(p.number, p.description);
        if (errors.empty()) errors.emplace_back(e.Number, e.Description);
        ShowErrorDialog(ado::maskSecretsIn(DataErrorMessage(errors), connectionString), "");
        return false;
    }
}

void RaiseFailedWrite(AutomationError error) {
    const std::string path = QzcFullName();
    const std::string folder = path.substr(0, path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/'));
    const bool folderRefuses =
        !folder.empty() && ::access(folder.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS);
    if (!path.empty() && (sys::fileIsReadOnly(path) || folderRefuses)) {
        MarkTemplateReadOnly();
        throw QzcReadOnlyError(path);
    }
    throw error;
}

void RequireQzcFile() {
    const std::string path = QzcFullName();
    struct stat st {};
    if (!path.empty() && ::stat(path.c_str(), &st) != 0)
        throw QzcCannotOpenError(path, "cannot be read: " + sys::errnoText(errno));
}

int CharCount(const std::string& text) {
    int n = 0;
    for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

void WriteOrRaise(const std::function<void()>& write, const std::function<void()>& undo) {
    try {
        write();
    } catch (...) {
        const AutomationError e = CurrentError();
        if (undo) undo();
        RaiseFailedWrite(e);
    }
}

void SaveOrRestore(const std::function<void()>& save, const std::function<void()>& restore) {
    WriteOrRaise(save, [&] {
        restore();
        Quietly(save);
    });
}

} // namespace qz::datasources
