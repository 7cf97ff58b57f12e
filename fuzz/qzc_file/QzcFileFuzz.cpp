// QZC files: the loader on arbitrary bytes, then every object of the model.
// A file that loads is saved through its properties and loaded again: what
// was read must come back unchanged.
#include "common/FuzzEntries.h"

#include "config/QZCFile.h"
#include "platform/automation/AutomationError.h"

#include <string>
#include <vector>

namespace qz::fuzz {

namespace {

// Everything the model holds, as one list of texts.
std::vector<std::string> Describe(const QZCFile& file) {
    std::vector<std::string> d;
    if (const auto& p = file.TemplateProperties()) {
        for (const std::string* s : {&p->Version, &p->filename, &p->RevisionKeep, &p->Locale, &p->DateTimeFormat,
                                     &p->StringFormat, &p->NumberFormat, &p->CurrencyFormat, &p->PercentFormat})
            d.push_back(*s);
    } else {
        d.push_back("<no properties>");
    }
    if (const auto& list = file.ConnectionList()) {
        for (const auto& c : list->List()) {
            d.insert(d.end(), {"C", c->ID, c->Name, c->DataSource, c->ConnectionType});
            if (list->FindItem(c->ID) == nullptr) Fail("connection not found by its own ID");
            if (const auto& commands = c->CommandList()) {
                for (const auto& m : commands->List()) {
                    d.insert(d.end(), {"M", m->ID, m->Name, m->Text});
                    if (commands->FindItem(m->ID) == nullptr) Fail("command not found by its own ID");
                }
            }
        }
    } else {
        d.push_back("<no connections>");
    }
    return d;
}

} // namespace

void QzcFile(const std::uint8_t* data, std::size_t size) {
    const std::string path =
        ScratchFile("fuzz.qzc", std::string_view(reinterpret_cast<const char*>(data), size));
    QZCFile file;
    try {
        file.Load(path);
    } catch (const AutomationError&) {
        if (file.TemplateProperties() || file.ConnectionList()) Fail("a failed load left objects");
        return;
    }
    const std::vector<std::string> before = Describe(file);
    if (!file.TemplateProperties()) return;
    try {
        file.TemplateProperties()->Save();
    } catch (const AutomationError&) {
        return;
    }
    QZCFile again;
    try {
        again.Load(path);
    } catch (const AutomationError&) {
        Fail("a saved file does not load");
    }
    if (Describe(again) != before) Fail("a saved file reads differently");
}

} // namespace qz::fuzz
