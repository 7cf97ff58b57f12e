// Access SQL: arbitrary text run as a command on a folder of text files, so
// that the translation and the Access functions it calls both see it.
#include "common/FuzzEntries.h"

#include "platform/ado/Connection.h"
#include "platform/automation/AutomationError.h"
#include "platform/automation/MemoryMeter.h"

#include <filesystem>
#include <string>

namespace qz::fuzz {

void AccessSql(const std::uint8_t* data, std::size_t size) {
    static Ref<ado::Connection> c = [] {
        const std::string file = ScratchFile("items.csv", "Name,Qty,Price,Due,Done\r\nTea,3,2.5,2024-01-31,1\r\n"
                                                          "Caf\xC3\xA9,,1.25,2024-02-29 10:30,0\r\n");
        Ref<ado::Connection> conn = makeRef<ado::Connection>();
        conn->open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" +
                   std::filesystem::path(file).parent_path().string() +
                   "\";Extended Properties=\"text;HDR=YES;FMT=Delimited\"");
        return conn;
    }();
    const memory::CeilingScope ceiling(std::int64_t{256} << 20);
    try {
        Ref<ado::Recordset> rs = c->execute(std::string(reinterpret_cast<const char*>(data), size));
        for (; rs->isOpen() && !rs->eof(); rs->moveNext())
            for (std::size_t i = 0; i < rs->fieldCount(); ++i) (void)rs->value(i);
    } catch (const AutomationError&) {
    }
}

} // namespace qz::fuzz
