#include "TemplateConnections.h"

#include "config/QZCFile.h"
#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "designer/ModQueryParameters.h"
#include "production/TemplateFiles.h"

#include <filesystem>

namespace qz::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kPersistedRecordset = 8;
constexpr int kOutlookContacts = 7;

} // namespace

void AddTemplateConnections(production::Production& p, const std::string& templateFile,
                            ParameterValues& parameters, std::vector<Ref<ado::Connection>>& open) {
    QZCFile file;
    const std::string qzc = production::FindFileNoCase(production::CompanionName(templateFile, ".qzc"));
    if (qzc.empty()) RaiseError(3002);
    file.Load(qzc);
    const auto& connections = file.ConnectionList();
    if (!connections) return;
    const std::string folder = fs::absolute(fs::path(templateFile)).parent_path().string();

    for (const auto& cn : connections->List()) {
        const auto& commands = cn->CommandList();
        int type = -1;
        try { type = std::stoi(cn->ConnectionType); } catch (...) {}
        if (type == kOutlookContacts)
            throw AutomationError(kErrorFail, "qzstudio",
                                  "The connection \"" + cn->Name + "\" reads Outlook contacts, which this system cannot reach.");
        if (type == kPersistedRecordset) {
            if (!commands) continue;
            for (const auto& cmd : commands->List())
                p.AddXmlRecordset(cmd->Name, AdjustConnectionString(cmd->Text, true, folder));
            continue;
        }
        Ref<ado::Connection> connection = makeRef<ado::Connection>();
        connection->open(AdjustConnectionString(cn->DataSource, false, folder));
        open.push_back(connection);
        if (!commands) continue;
        for (const auto& cmd : commands->List()) {
            const std::string sql = designer::ResolveSqlParameters(
                cmd->Text, [&](const std::string& caption) -> std::optional<std::string> {
                    if (parameters.next >= parameters.values.size())
                        throw AutomationError(kErrorFail, "qzstudio",
                                              "The command \"" + cmd->Name + "\" needs a value for \"" + caption +
                                                  "\": give it with --param.");
                    return parameters.values[parameters.next++];
                });
            p.AddObject(cmd->Name, connection->execute(sql));
        }
    }
}

} // namespace qz::cli
