// The fields of the system in the document: statement and expression fields
// written, read and rewritten through the word processor's automation model,
// and their maintenance (colours, macro names, conditional paragraph, opening
// the next field, conversion of version 5.16.29 names).
//
// Layout of a field, with field codes shown:
//   { MACROBUTTON modStatementMacro <sym>Label<sym>{ SET _QZStatement377 code}}
//   { MACROBUTTON modExpressionMacro <sym>Label<sym>{ SET _QZExpression377 expr§format§locale}}
// The delimiters and label are red (statement) or dark blue (expression).
#pragma once

#include "designer/DesignerCommands.h"
#include "platform/word/Application.h"

#include <cstdint>
#include <string>

namespace qz::designer {

struct StatementFieldInfo {
    std::int32_t LabelStart = 0;
    std::int32_t LabelEnd = 0;
    std::string Label;
    std::int32_t CodeStart = 0;
    std::int32_t CodeEnd = 0;
    std::string Code;
};

struct ExpressionFieldInfo {
    std::int32_t LabelStart = 0;
    std::int32_t LabelEnd = 0;
    std::string Label;
    std::int32_t CodeStart = 0;
    std::int32_t CodeEnd = 0;
    std::string Expression;
    std::string Format;
    std::string Locale;
};

// The section sign that separates expression, format and locale (UTF-8).
inline constexpr const char* kFieldSeparator = "\xC2\xA7";

class modMSWordFields {
public:
    // designer may be null when no field is to be opened in an editor.
    explicit modMSWordFields(word::Application& app, DesignerCommands* designer = nullptr)
        : app_(app), designer_(designer) {}

    // Document fields. Each runs between Begin/EndFieldManipulation; on
    // failure the document is restored as it was and the operation's own
    // message is raised (4057..4062).
    void InsertStatementField(const StatementFieldInfo& info);
    void InsertExpressionField(const std::string& label, const std::string& expression,
                               const std::string& format, const std::string& locale);
    StatementFieldInfo ReadStatementField();
    ExpressionFieldInfo ReadExpressionField();
    void SaveStatementField(const StatementFieldInfo& info);
    void SaveExpressionField(const ExpressionFieldInfo& info);
    void BeginFieldManipulation(bool& saved);
    void EndFieldManipulation(bool saved);

    // Field maintenance (messages 4063, 4064, 4046, 4065).
    void RestoreFieldsColor();
    void InsertConditionalParagraph();
    void OpenSelectedField();
    void ConvertFields51629To60000();
    // On the story of the selection; failures are passed on.
    void CorrectMacroName();
    void ColorFieldLabels();

    static std::string GetSetKeyword() { return " SET"; }
    static std::string GetMacroButtonKeyword() { return "MACROBUTTON"; }

private:
    template <class Fn>
    void Guarded(const char* routine, std::int32_t messageId, Fn&& fn);
    void ExtractStatementCode(StatementFieldInfo& rec, long s, long e);
    void ExtractStatementLabel(StatementFieldInfo& rec, long s, long e);
    void ExtractExpressionInfo(ExpressionFieldInfo& rec, long s, long e);
    void ExtractExpressionLabel(ExpressionFieldInfo& rec, long s, long e);
    void ExtractLabel(bool statement, std::int32_t& labelStart, std::int32_t& labelEnd,
                      std::string& label, long s, long e);
    void InsertField(bool statement, const std::string& label, const std::string& payload);
    void SaveField(std::int32_t labelStart, std::int32_t labelEnd, const std::string& label,
                   std::int32_t codeStart, std::int32_t codeEnd, const std::string& payload);
    void ColorPass(bool statement);
    void SetUpFind();

    word::Application& app_;
    DesignerCommands* designer_;
    int viewType_ = 0;
};

} // namespace qz::designer
