// The dialogs in which the author writes fields: the statement editor, the
// expression editor and the repeating-paragraph picker. They live in the
// editors' layer above the designer, which reaches them through this
// interface: the editors' layer installs a factory (at start-up of the
// program, or in a test), and each designer makes one set of editors on its
// first field command and keeps it, so every dialog is reused.
#pragma once

#include <memory>
#include <string>

namespace qz::designer {

class FieldEditors {
public:
    virtual ~FieldEditors() = default;
    // Shows the statement editor on a label and a code (line breaks CR LF;
    // both "" for a new field). True when the author confirmed; the
    // arguments then hold what the author wrote, and are untouched otherwise.
    virtual bool EditStatement(std::string& label, std::string& code) = 0;
    // The same for an expression field's four values.
    virtual bool EditExpression(std::string& label, std::string& code, std::string& format,
                                std::string& locale) = 0;
    // The command a repeating paragraph loops over: false when the author
    // cancelled; otherwise `query` holds the command's name, "" for none.
    virtual bool PickRepeatingQuery(std::string& query) = 0;
};

using FieldEditorsFactory = std::unique_ptr<FieldEditors> (*)();
// Installs the factory (nullptr removes it). Field commands raise "This
// command is not available yet." while none is installed.
void SetFieldEditorsFactory(FieldEditorsFactory factory) noexcept;
FieldEditorsFactory GetFieldEditorsFactory() noexcept;

} // namespace qz::designer
