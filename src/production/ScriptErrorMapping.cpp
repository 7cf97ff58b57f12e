#include "production/ScriptErrorMapping.h"

#include "core/QzFormat.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <cctype>

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

namespace {

// Whether the "_" at i ends its line (only blanks after it, then a line end).
bool continuesLine(std::string_view code, std::size_t i) {
    for (++i; i < code.size() && (code[i] == ' ' || code[i] == '\t' || code[i] == '\r'); ++i) {}
    return i < code.size() && code[i] == '\n';
}

// The line (counted from 1) of the first "Exit Sub" or "End Sub" in script
// code, outside strings and comments, the two words possibly on lines joined
// by a line continuation; 0 when there is none.
std::int32_t lineLeavingSub(std::string_view code) {
    std::int32_t line = 1, prevLine = 0;
    std::string_view prev; // the word before, when only blanks stand between
    for (std::size_t i = 0; i < code.size();) {
        const char c = code[i];
        if (c == '"') {
            // A string ends at a quote that is not doubled (or at the line's end).
            for (++i; i < code.size() && code[i] != '\n'; ++i)
                if (code[i] == '"' && (i + 1 == code.size() || code[++i] != '"')) break;
            prev = {};
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            const std::size_t start = i;
            while (i < code.size() && (std::isalnum(static_cast<unsigned char>(code[i])) || code[i] == '_')) ++i;
            const std::string_view word = code.substr(start, i - start);
            if (equalsNoCaseAscii(word, "rem")) {
                i = std::min(code.find('\n', i), code.size());
                prev = {};
            } else if (equalsNoCaseAscii(word, "sub") &&
                       (equalsNoCaseAscii(prev, "exit") || equalsNoCaseAscii(prev, "end"))) {
                return prevLine;
            } else {
                prev = word;
                prevLine = line;
            }
        } else if (c == '_' && continuesLine(code, i)) {
            // A line continuation: the statement, and the word before, go on.
            i = code.find('\n', i) + 1;
            ++line;
        } else {
            if (c == '\'') i = std::min(code.find('\n', i), code.size());
            else {
                if (c == '\n') ++line;
                ++i;
            }
            prev = {};
        }
    }
    return 0;
}

} // namespace

QzFieldInfo FindEarlyExit(const BuiltProgram& built, std::int64_t lastRun) {
    QzFieldInfo info;
    const std::vector<FieldLineRecord>& records = built.Table.Records();
    // Records: the opening of Main, one per element, the closing "End Sub".
    std::size_t from = 1;
    for (std::int64_t run = -1; from + 1 < records.size() && run < lastRun; ++from)
        if (records[from].ElementType == kElementRtf) ++run;
    for (std::size_t i = from; i + 1 < records.size(); ++i) {
        const FieldLineRecord& rec = records[i];
        if (rec.ElementType != kElementStatement) continue;
        if (const std::int32_t line = lineLeavingSub(rec.Code)) {
            info.SourceName = rec.Label;
            info.FieldLine = line;
            info.Location = qzstFieldStatement;
            info.Text = RetrieveVbScriptCodeLine(rec.Code, line);
            return info;
        }
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
