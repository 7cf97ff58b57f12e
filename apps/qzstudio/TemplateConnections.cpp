#include "TemplateConnections.h"

#include "config/QZCFile.h"
#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "designer/ModQueryParameters.h"

#include <filesystem>

namespace qz::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kPersistedRecordset = 8;
constexpr int kOutlookContacts = 7;

// The QZC file beside the template: its path without the last four
// characters and ".qzc", the name compared without regard to case.
std::string QzcPathOf(const std::string& templateFile) {
    const std::string base = templateFile.substr(0, templateFile.size() >= 4 ? templateFile.size() - 4 : 0);
    const fs::path wanted(base + ".qzc");
    std::error_code ec;
    if (fs::is_regular_file(wanted, ec)) return wanted.string();
    const fs::path dir = wanted.has_parent_path() ? wanted.parent_path() : fs::path(".");
    const std::u16string name = fs::path(wanted.filename()).u16string();
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::u16string n = it->path().filename().u16string();
        if (n.size() == name.size() &&
            std::equal(n.begin(), n.end(), name.begin(), [](char16_t a, char16_t b) {
                auto low = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; };
                return low(a) == low(b);
            }))
            return it->path().string();
    }
    RaiseError(3002);
}

} // namespace

void AddTemplateConnections(production::Production& p, const std::string& templateFile,
                            ParameterValues& parameters, std::vector<Ref<ado::Connection>>& open) {
    QZCFile file;
    file.Load(QzcPathOf(templateFile));
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
