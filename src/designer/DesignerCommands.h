// What the document-field routines need of the designer: running one of its
// commands (opening a field runs "edit statement field" or "edit expression
// field"). The Designer class implements it.
#pragma once

#include <cstdint>

namespace qz::designer {

inline constexpr std::int32_t qzCmdEditExpressionField = 1;
inline constexpr std::int32_t qzCmdEditStatementField = 2;

class DesignerCommands {
public:
    virtual ~DesignerCommands() = default;
    virtual void HandleCmd(std::int32_t id) = 0;
};

} // namespace qz::designer
