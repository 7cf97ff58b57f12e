// .xls workbooks: arbitrary bytes opened as an Excel file source, within a
// memory ceiling; every table the connection lists must then read whole.
#include "common/FuzzEntries.h"

#include "platform/ado/Backend.h"
#include "platform/ado/Connection.h"
#include "platform/automation/AutomationError.h"
#include "platform/automation/MemoryMeter.h"

#include <string>

namespace qz::fuzz {

void Xls(const std::uint8_t* data, std::size_t size) {
    const std::string path = ScratchFile("fuzz.xls", std::string_view(reinterpret_cast<const char*>(data), size));
    const memory::CeilingScope ceiling(std::int64_t{256} << 20);
    Ref<ado::Connection> c = makeRef<ado::Connection>();
    try {
        c->open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + path + "\";Extended Properties=\"Excel 8.0;HDR=YES\"");
    } catch (const AutomationError&) {
        return;
    }
    for (const ado::CatalogTable& t : c->catalog()) {
        try {
            Ref<ado::Recordset> rs = c->execute("SELECT * FROM " + ado::quoteSqlName(t.name));
            for (; !rs->eof(); rs->moveNext())
                for (std::size_t i = 0; i < rs->fieldCount(); ++i) (void)rs->value(i);
        } catch (const AutomationError&) {
            Fail("a table the workbook lists cannot be read");
        }
    }
}

} // namespace qz::fuzz
