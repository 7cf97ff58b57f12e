// The designer's command ids, and what the document-field routines need of
// the designer: running one of its commands (opening a field runs "edit
// statement field" or "edit expression field"). The Designer class
// implements it.
#pragma once

#include <cstdint>

namespace qz::designer {

// Command ids, as the add-in's menu, toolbar and document events send them.
inline constexpr std::int32_t qzCmdItemEditExpression = 1;
inline constexpr std::int32_t qzCmdItemEditStatement = 2;
inline constexpr std::int32_t qzCmdItemMenu = 10;
inline constexpr std::int32_t qzCmdItemCreateNewTemplate = 15;
inline constexpr std::int32_t qzCmdItemEditTemplateProperties = 20;
inline constexpr std::int32_t qzCmdItemEditConnection = 25;
inline constexpr std::int32_t qzCmdItemInsertStatement = 30;
inline constexpr std::int32_t qzCmdItemInsertExpression = 35;
inline constexpr std::int32_t qzCmdItemInsertConditionalParagraph = 40;
inline constexpr std::int32_t qzCmdItemInsertRepeatingParagraph = 45;
inline constexpr std::int32_t qzCmdItemPreviewDocument = 50;
inline constexpr std::int32_t qzCmdItemOpenField = 55;
inline constexpr std::int32_t qzCmdItemRestoreFieldColor = 60;
inline constexpr std::int32_t qzCmdItemAbout = 65;
inline constexpr std::int32_t qzCmdItemHelp = 70;
inline constexpr std::int32_t qzCmdItemDocumentChange = 100;

inline constexpr std::int32_t qzCmdEditExpressionField = qzCmdItemEditExpression;
inline constexpr std::int32_t qzCmdEditStatementField = qzCmdItemEditStatement;

class DesignerCommands {
public:
    virtual ~DesignerCommands() = default;
    virtual void HandleCmd(std::int32_t id) = 0;
};

} // namespace qz::designer
