// Saved recordsets: the XML reader on arbitrary bytes, then every row of the
// result read in both directions, each value converted to text, and the
// child recordsets of nested rows walked the same way.
#include "common/FuzzEntries.h"

#include "platform/ado/Recordset.h"
#include "platform/automation/AutomationError.h"

#include <string_view>

namespace qz::fuzz {

namespace {

void Walk(ado::Recordset& rs, int depth) {
    if (!rs.isOpen()) return;
    const std::int64_t count = rs.recordCount();
    std::int64_t seen = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        ++seen;
        for (std::size_t c = 0; c < rs.fieldCount(); ++c) {
            (void)rs.column(c);
            const Variant& v = rs.value(c);
            if (v.isObject()) {
                if (depth > 40) Fail("child recordsets nested deeper than the reader allows");
                Ref<Dispatch> object = v.toObject();
                if (auto* child = dynamic_cast<ado::Recordset*>(object.get())) Walk(*child, depth + 1);
            } else {
                try {
                    (void)v.toString();
                } catch (const AutomationError&) {
                    // Null and arrays have no text.
                }
            }
        }
    }
    if (count >= 0 && seen != count) Fail("rows seen differ from the record count");
    if (count > 0) {
        rs.moveLast();
        while (!rs.bof()) rs.movePrevious();
    }
}

} // namespace

void SavedRecordset(const std::uint8_t* data, std::size_t size) {
    const std::string_view xml(reinterpret_cast<const char*>(data), size);
    try {
        Ref<ado::Recordset> rs = ado::parseSavedRecordset(xml, "fuzz.xml");
        if (rs) Walk(*rs, 0);
    } catch (const AutomationError&) {
    }
}

} // namespace qz::fuzz
