// Excel workbooks (.xlsx here, .xls through the same routine): arbitrary
// bytes opened as an Excel file source, within a memory ceiling; every table
// the connection lists must then read whole.
#include "common/FuzzEntries.h"

#include "platform/ado/Backend.h"
#include "platform/ado/Connection.h"
#include "platform/automation/AutomationError.h"
#include "platform/automation/MemoryMeter.h"

#include <string>

namespace qz::fuzz {

void ReadWorkbook(const std::uint8_t* data, std::size_t size, std::string_view fileName, std::string_view kind) {
    const std::string path = ScratchFile(fileName, std::string_view(reinterpret_cast<const char*>(data), size));
    const memory::CeilingScope ceiling(std::int64_t{256} << 20);
    Ref<ado::Connection> c = makeRef<ado::Connection>();
    try {
        c->open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + path + "\";Extended Properties=\"" + std::string(kind) + ";HDR=YES\"");
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

void Xlsx(const std::uint8_t* data, std::size_t size) { ReadWorkbook(data, size, "fuzz.xlsx", "Excel 12.0 Xml"); }

} // namespace qz::fuzz
