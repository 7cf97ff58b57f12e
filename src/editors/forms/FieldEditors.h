// The dialogs in which the author writes fields, as the designer's field
// commands open them: one statement editor, one expression editor and one
// repeating-paragraph picker, each made on its first use and then reused.
#pragma once

#include <memory>
#include <string>

namespace qz::editors {

class frmExpression;
class frmRepeatingPar;
class frmStatement;

class FieldEditors {
public:
    FieldEditors();
    ~FieldEditors();
    FieldEditors(const FieldEditors&) = delete;
    FieldEditors& operator=(const FieldEditors&) = delete;

    // Shows the statement editor on a label and a code (line breaks CR LF;
    // both "" for a new field). True when the author confirmed; the
    // arguments then hold what the author wrote, and are untouched otherwise.
    bool EditStatement(std::string& label, std::string& code);
    // The same for an expression field's four values.
    bool EditExpression(std::string& label, std::string& code, std::string& format, std::string& locale);
    // The command a repeating paragraph loops over: false when the author
    // cancelled; otherwise `query` holds the command's name, "" for none.
    bool PickRepeatingQuery(std::string& query);

private:
    std::unique_ptr<frmStatement> statement_;
    std::unique_ptr<frmExpression> expression_;
    std::unique_ptr<frmRepeatingPar> picker_;
};

} // namespace qz::editors
