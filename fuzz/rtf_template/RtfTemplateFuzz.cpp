// Template reader: the whole template splitter, then every element through
// its getters, then the field-level readers on the whole input as one group
// (they are reached with any group the splitter finds, so they must hold on
// their own).
#include "common/FuzzEntries.h"

#include "platform/automation/AutomationError.h"
#include "production/RtfInterpreter.h"

#include <string_view>

namespace qz::fuzz {

using production::RtfInterpreter;

void RtfTemplate(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RtfInterpreter reader;
    try {
        reader.ExtractRTFAndQzFields(text);
        std::size_t total = 0;
        for (std::int32_t i = 0; i < reader.NbElement(); ++i) {
            const std::int32_t at = reader.GetElementPosition(i);
            switch (reader.GetElementType(i)) {
            case production::kElementRtf:
                total += reader.GetRtfCode(at).size();
                break;
            case production::kElementStatement:
                total += reader.GetStatementCode(at).size() + reader.GetStatementLabel(at).size();
                break;
            case production::kElementExpression:
                total += reader.GetExpressionCode(at).size() + reader.GetExpressionFormat(at).size() +
                         reader.GetExpressionFont(at).size() + reader.GetExpressionLabel(at).size();
                (void)reader.GetExpressionLocale(at);
                break;
            default:
                Fail("element of no known type");
            }
        }
        // The runs are copied from the template: together they cannot be
        // longer than it.
        std::size_t runs = 0;
        for (std::int32_t i = 0; i < reader.NbRtfPureElement(); ++i) runs += reader.GetRtfCode(i).size();
        if (runs > size) Fail("RTF runs longer than the template");
        (void)total;
    } catch (const AutomationError&) {
    }
    try {
        (void)RtfInterpreter::ParseRTFStatementCode(text);
    } catch (const AutomationError&) {
    }
    try {
        (void)RtfInterpreter::ParseRTFExpressionCode(text);
    } catch (const AutomationError&) {
    }
    try {
        (void)RtfInterpreter::CleanRTFField(text);
    } catch (const AutomationError&) {
    }
}

} // namespace qz::fuzz
