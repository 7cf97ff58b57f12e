// RtfInterpreter: reads a template (an RTF file saved by the word processor)
// and cuts it into an ordered sequence of elements: pure RTF runs, which are
// copied to the output unchanged, statement fields and expression fields.
//
// The template is read as bytes in the Windows-1252 code page and stays in
// that form for the pure RTF runs (they are written back byte for byte). The
// texts taken out of a field (label, code, format, font) are decoded to UTF-8,
// the text form of the rest of the system: they hold exactly the characters
// the author wrote, whether the RTF carries them as bytes, \'hh escapes or
// \uN control words.
//
// A field of the system is one RTF group: an outer MACROBUTTON field whose
// instruction holds the macro name, the opening delimiter (a nested SYMBOL
// field), the label, the closing delimiter (a second nested field) and a
// nested SET field carrying the payload:
//   statement:  SET _QZStatement377 <code>
//   expression: SET _QZExpression377 <code>\'a7<format>\'a7<locale>
// Line breaks inside code are stored as "_QZCRLF" and come out as CR LF. Only
// the section sign escaped as "\'a7" separates; the last two do, so the code
// may hold the sign itself. In the records every sign is the character "§".
#pragma once

#include "platform/automation/MemoryMeter.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qz::production {

enum ElementType : std::int32_t {
    kElementRtf = 0,
    kElementStatement = 1,
    kElementExpression = 2,
};

struct StatementRecord {
    std::string Label;
    std::string Code;
};

struct ExpressionRecord {
    std::string Label;
    std::string Format;   // field format text ("Number;NumDigits:2;...")
    std::string Code;
    std::string Font;     // RTF control words that open the SET instruction
    std::int32_t Locale = -1; // locale id, -1 for the template's default
};

class RtfInterpreter {
public:
    const std::string& TemplateFile() const { return templateFile_; }
    void TemplateFile(std::string path) { templateFile_ = std::move(path); }

    std::int32_t NbRtfPureElement() const { return static_cast<std::int32_t>(runs_.size()); }
    std::int32_t NbElement() const { return static_cast<std::int32_t>(elements_.size()); }

    // Reads TemplateFile and fills the element lists.
    // Errors: 3003 (not RTF), 3112 (unbalanced or unreadable RTF), the file
    // reader's errors, and those of the two record readers.
    void ParseRtfTemplate();

    // Element i (0-based, document order): its type and its 0-based position
    // among the elements of its type. Index errors raise 9.
    std::int32_t GetElementPosition(std::int32_t i) const;
    std::int32_t GetElementType(std::int32_t i) const;

    const std::string& GetExpressionCode(std::int32_t i) const { return expression(i).Code; }
    const std::string& GetExpressionLabel(std::int32_t i) const { return expression(i).Label; }
    std::int32_t GetExpressionLocale(std::int32_t i) const { return expression(i).Locale; }
    const std::string& GetExpressionFont(std::int32_t i) const { return expression(i).Font; }
    const std::string& GetExpressionFormat(std::int32_t i) const { return expression(i).Format; }
    const std::string& GetRtfCode(std::int32_t i) const;  // Windows-1252 bytes
    const std::string& GetStatementCode(std::int32_t i) const { return statement(i).Code; }
    const std::string& GetStatementLabel(std::int32_t i) const { return statement(i).Label; }

    // The runs, moved out once the program has been generated.
    std::vector<std::string> TakeRtfRuns() { return std::move(runs_); }

    // The steps of ParseRtfTemplate, usable on their own.
    // ReadAllFile: the file's bytes without CR LF pairs (3003 unless it begins "{\rtf").
    static std::string ReadAllFile(const std::string& path);
    // ExtractRTFAndQzFields: splits a template text (Windows-1252, CR LF removed).
    void ExtractRTFAndQzFields(std::string_view text);

    // The field-level readers; group is one field group from its opening to
    // its closing brace. Errors: 3112, 4009, 4010, 4051, 4052, 13.
    static StatementRecord ParseRTFStatementCode(std::string_view group);
    static ExpressionRecord ParseRTFExpressionCode(std::string_view group);
    // The plain text of a group (text tokens only), decoded to UTF-8.
    static std::string CleanRTFField(std::string_view group);

private:
    struct Element {
        std::int32_t type;
        std::int32_t position;
    };
    const ExpressionRecord& expression(std::int32_t i) const;
    const StatementRecord& statement(std::int32_t i) const;
    void appendRun(std::string_view run);
    void countField(std::size_t bytes, const std::string& label);

    std::string templateFile_;
    std::vector<Element> elements_;
    std::vector<std::string> runs_;
    std::vector<StatementRecord> statements_;
    std::vector<ExpressionRecord> expressions_;
    std::int64_t held_ = 0;   // what the lists hold, roughly
    memory::Tally tally_;
};

} // namespace qz::production
