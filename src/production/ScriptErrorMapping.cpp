#include "production/ScriptErrorMapping.h"

#include "core/QzFormat.h"
#include "platform/automation/Text.h"

namespace qz::production {

std::string CleanVbScriptLine(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n') s.push_back(c);
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string RetrieveVbScriptCodeLine(std::string_view program, std::int32_t n) {
    if (n < 1) return {};
    std::size_t start = 0;
    for (std::int32_t k = 1; k < n; ++k) {
        const std::size_t cr = program.find('\r', start);
        if (cr == std::string_view::npos) return {};
        start = cr + 1;
    }
    const std::size_t end = program.find('\r', start);
    return CleanVbScriptLine(program.substr(start, end == std::string_view::npos ? end : end - start));
}

QzFieldInfo RetrieveQzFieldInfo(const BuiltProgram& built, std::int32_t line) {
    QzFieldInfo info;
    const std::int32_t nL = built.QzLibLines, nC = built.QzCustomLines, nM = built.ModuleLines;
    const std::int32_t m = line - 1;  // program line 1 is the empty line in front of qzLib
    if (m <= nL + nC + nM) {
        info.Location = qzstFieldModule;
        if (m <= nL) {
            info.SourceName = "qzLib.vbs";
            info.FieldLine = m;
        } else if (m <= nL + nC) {
            info.SourceName = "qzCustom.vbs";
            info.FieldLine = m - nL;
        } else {
            info.SourceName = built.ModuleFileName;
            info.FieldLine = m - nL - nC;
        }
        info.Text = RetrieveVbScriptCodeLine(built.Program, line);
        return info;
    }

    const std::int32_t r = line - (nL + nC + nM);
    const FieldLineRecord* rec = built.Table.Find(r);
    if (!rec || rec->Label.empty()) return info;
    info.SourceName = rec->Label;
    if (rec->ElementType == 2) {
        info.FieldLine = 1;
        info.Text = rec->Code;
        info.FormatKind = GetFormatType(rec->Format);
        info.Location = qzstFieldExpression;
    } else if (rec->ElementType == 1) {
        info.FieldLine = r - rec->FirstLine + 1;
        info.Text = RetrieveVbScriptCodeLine(built.Program, line);
        info.Location = qzstFieldStatement;
    }
    return info;
}

std::string MappedDescription(const QzFieldInfo& info, std::int32_t number,
                              std::string_view description) {
    if (info.Location == qzstFieldExpression && (number == 5 || number == 13)) {
        return "Invalid " + toLowerAscii(FormatKindName(info.FormatKind)) + " value.";
    }
    return std::string(description);
}

} // namespace qz::production
