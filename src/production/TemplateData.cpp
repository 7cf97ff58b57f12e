#include "production/TemplateData.h"

#include "config/QZCConnection.h"
#include "config/QZCFile.h"
#include "core/ModDesigner.h"
#include "platform/ado/ConnectionString.h"
#include "platform/automation/ErrorTexts.h"
#include "platform/automation/Text.h"
#include "production/Errors.h"
#include "production/ProgramGenerator.h"

namespace qz::production {

namespace {

bool sameName(const std::string& a, const std::string& b) { return equalsNoCaseAscii(a, b); }

// Data that would pass the memory ceiling stops the run: left out, it would
// let the document be made without it.
void stopIfOutOfMemory(const AutomationError& e) {
    if (e.Number == runtimeError(err::OutOfMemory).Number) throw;
}

} // namespace

void TemplateData::Open(const std::string& qzcPath, const std::string& templateFolder, const SqlResolver& resolve) {
    Close();
    skipped_.clear();
    QZCFile file;
    file.Load(qzcPath);
    if (!file.ConnectionList()) return;
    // The commands run in the locale the template's fields do; a locale that
    // cannot be read is none, and the log says so.
    std::int32_t locale = 0;
    if (const auto& props = file.TemplateProperties())
        Handled("TemplateData", "Open", kErrLog, [&] { locale = convertToLong(props->Locale); });
    const std::uint32_t lcid = ProgramLocale(locale);

    auto taken = [&](const std::string& name) {
        for (const auto& [n, rs] : recordsets_)
            if (sameName(n, name)) return true;
        return false;
    };
    auto add = [&](const std::string& connection, const std::string& command, Ref<ado::Recordset> rs) {
        if (taken(command)) {
            skipped_.push_back({connection, command, "another command of the same name comes first"});
            rs->close();
            return;
        }
        recordsets_.emplace_back(command, std::move(rs));
    };

    for (const auto& conn : file.ConnectionList()->List()) {
        const auto& commands = conn->CommandList();
        if (conn->ConnectionType == ConnectionTypeText(kOutlookContacts)) {
            skipped_.push_back({conn->Name, {}, "Outlook contacts cannot be read on this system"});
            continue;
        }
        if (conn->ConnectionType == ConnectionTypeText(kPersistedRecordset)) {
            if (!commands) continue;
            for (const auto& cmd : commands->List()) {
                try {
                    const std::string path = AdjustConnectionString(cmd->Text, true, templateFolder);
                    add(conn->Name, cmd->Name, ado::loadSavedRecordset(path));
                } catch (const AutomationError& e) {
                    stopIfOutOfMemory(e);
                    skipped_.push_back({conn->Name, cmd->Name, e.Description});
                }
            }
            continue;
        }
        Ref<ado::Connection> c = makeRef<ado::Connection>();
        c->setLocale(lcid);
        try {
            c->open(AdjustConnectionString(conn->DataSource, false, templateFolder));
        } catch (const AutomationError& e) {
            stopIfOutOfMemory(e);
            skipped_.push_back({conn->Name, {}, e.Description});
            continue;
        }
        connections_.push_back(c);
        if (!commands) continue;
        for (const auto& cmd : commands->List()) {
            try {
                const ado::BoundSql sql = resolve ? resolve(cmd->Text) : ado::BoundSql{cmd->Text, {}};
                if (sql.text.empty()) {
                    skipped_.push_back({conn->Name, cmd->Name, "the command has no SQL text"});
                    continue;
                }
                add(conn->Name, cmd->Name, c->execute(sql));
            } catch (const AutomationError& e) {
                stopIfOutOfMemory(e);
                skipped_.push_back({conn->Name, cmd->Name, e.Description});
            } catch (const std::exception& e) {
                skipped_.push_back({conn->Name, cmd->Name, e.what()});
            }
        }
    }
}

void TemplateData::Register(const std::function<void(const std::string&, Ref<Dispatch>)>& add) const {
    for (const auto& [name, rs] : recordsets_) add(name, Ref<Dispatch>(rs.get()));
}

void TemplateData::Close() {
    for (auto& [name, rs] : recordsets_)
        if (rs->isOpen()) rs->close();
    for (auto& c : connections_)
        if (c->isOpen()) c->close();
    recordsets_.clear();
    connections_.clear();
}

} // namespace qz::production
