// Traces a script error's program line back to what the template author
// wrote: a line of one of the script libraries, an expression field or a
// statement field, with the field's label and the offending code.
#pragma once

#include "production/ProgramGenerator.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qz::production {

// Where an error lies (qzstFieldType); 0 means "no location".
enum qzstFieldType : std::int32_t {
    qzstFieldNone = 0,
    qzstFieldExpression = 1,
    qzstFieldStatement = 2,
    qzstFieldModule = 3,
};

// A built program: the libraries in front of the generated part, with what
// is needed to map its lines back.
struct BuiltProgram {
    std::string Program;
    FieldLineTable Table;
    std::int32_t QzLibLines = 0;
    std::int32_t QzCustomLines = 0;
    std::int32_t ModuleLines = 0;
    std::string ModuleFileName;
};

// The result of one mapping.
struct QzFieldInfo {
    std::int32_t FieldLine = 0;
    std::string SourceName;
    qzstFieldType Location = qzstFieldNone;
    std::string Text;
    std::int32_t FormatKind = 0;
};

// RetrieveQzFieldInfo: the location of program line L (1-based).
QzFieldInfo RetrieveQzFieldInfo(const BuiltProgram& built, std::int32_t line);

// RetrieveVbScriptCodeLine: program line n split at CR characters, cleaned.
std::string RetrieveVbScriptCodeLine(std::string_view program, std::int32_t n);

// CleanVbScriptLine: without CR and LF characters, trimmed of blanks.
std::string CleanVbScriptLine(std::string_view text);

// The statement field that most likely ended the program before the end of
// the document: the first one after pure RTF run `lastRun` (the last run
// written; -1 for none) whose code leaves Main ("Exit Sub", or "End Sub"
// followed by more code), with the line of that statement. Location is
// qzstFieldNone when no field's code does.
QzFieldInfo FindEarlyExit(const BuiltProgram& built, std::int64_t lastRun);

// The description reported for an error: script errors 5 and 13 in an
// expression field name the field's format kind ("Invalid currency value.").
std::string MappedDescription(const QzFieldInfo& info, std::int32_t number,
                              std::string_view description);

} // namespace qz::production
