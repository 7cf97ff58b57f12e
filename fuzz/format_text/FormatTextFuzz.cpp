// Field format texts: every reader on the text, and the round trip of each
// reader's result through its writer (what a reader takes out of a text, the
// writer's text must give back unchanged).
#include "common/FuzzEntries.h"

#include "core/QzFormat.h"
#include "platform/automation/LocaleFormat.h"

#include <string_view>

namespace qz::fuzz {

void FormatText(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const LocaleFormat& regional = LocaleFormat::english();

    const std::int32_t kind = GetFormatType(text);
    if (kind < kQzFormatString || kind > kQzFormatRtf) Fail("format kind out of range");
    if (FormatKindName(kind).empty()) Fail("format kind without a name");
    (void)UseDefaultTemplateProperties(text);

    const QzFormatString s = RetrieveStringFormat(text);
    if (RetrieveStringFormat(CreateStringFormatPropertiesStr(s)) != s) Fail("string format round trip");

    const QzFormatDateTime d = RetrieveDateTimeFormat(text);
    if (RetrieveDateTimeFormat(CreateDateTimeFormatPropertiesStr(d)) != d) Fail("date/time format round trip");

    for (bool currency : {false, true}) {
        const QzFormatNumber n = RetrieveNumberFormat(text, currency, regional);
        if (RetrieveNumberFormat(CreateNumberFormatPropertiesStr(n), currency, regional) != n)
            Fail("number format round trip");
    }
    for (std::int32_t item = -1; item <= 4; ++item) {
        (void)GetSystemNbrFormat(item, regional);
        (void)GetSystemCurFormat(item, regional);
    }
}

} // namespace qz::fuzz
