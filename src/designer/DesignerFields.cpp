// The designer's field commands: insert or edit a statement or an expression
// field, and insert the two loop fields of a repeating paragraph. Each opens
// its editor (kept by the designer and reused), and only when the author
// confirmed writes the field through the document-field operations. Inside
// the document a code keeps each line break as "_QZCRLF"; the editors see
// real CR LF pairs.
#include "designer/Designer.h"
#include "designer/modMSWordFields.h"

#include "core/ModErrors.h"
#include "core/ModMemoryString.h"
#include "editors/forms/FieldEditors.h"

namespace qz::designer {

namespace {

constexpr std::string_view kModule = "Designer";
constexpr std::string_view kLineBreakMarker = "_QZCRLF";

std::string ToDocument(const std::string& code) {
    std::string out;
    QZReplace(code, out, "\r\n", kLineBreakMarker);
    return out;
}

std::string ToEditor(const std::string& code) {
    std::string out;
    QZReplace(code, out, kLineBreakMarker, "\r\n");
    return out;
}

} // namespace

editors::FieldEditors& Designer::Editors() {
    if (!fieldEditors_) fieldEditors_ = std::make_unique<editors::FieldEditors>();
    return *fieldEditors_;
}

void Designer::InsertStatementField() {
    Handled(kModule, "InsertStatementField", kErrLog | kErrRaise, [&] {
        std::string label, code;
        if (!Editors().EditStatement(label, code)) return;
        StatementFieldInfo record;
        record.Code = ToDocument(code);
        record.Label = label;
        modMSWordFields(WordApplication(), this).InsertStatementField(record);
    });
}

void Designer::EditStatementField() {
    Handled(kModule, "EditStatementField", kErrLog | kErrRaise, [&] {
        modMSWordFields fields(WordApplication(), this);
        StatementFieldInfo record = fields.ReadStatementField();
        std::string code = ToEditor(record.Code), label = record.Label;
        if (!Editors().EditStatement(label, code)) return;
        record.Code = ToDocument(code);
        record.Label = label;
        fields.SaveStatementField(record);
    });
}

void Designer::EditExpressionField() {
    Handled(kModule, "EditExpressionField", kErrLog | kErrRaise, [&] {
        modMSWordFields fields(WordApplication(), this);
        ExpressionFieldInfo record = fields.ReadExpressionField();
        std::string code = ToEditor(record.Expression), label = record.Label;
        std::string format = record.Format, locale = record.Locale;
        if (!Editors().EditExpression(label, code, format, locale)) return;
        record.Expression = ToDocument(code);
        record.Label = label;
        record.Format = format;
        record.Locale = locale;
        fields.SaveExpressionField(record);
    });
}

void Designer::InsertExpressionField() {
    Handled(kModule, "InsertExpressionField", kErrLog | kErrRaise, [&] {
        std::string label, code, format, locale;
        if (!Editors().EditExpression(label, code, format, locale)) return;
        modMSWordFields(WordApplication(), this).InsertExpressionField(label, ToDocument(code), format, locale);
    });
}

void Designer::InsertRepeatingParagraph() {
    Handled(kModule, "InsertRepeatingParagraph", kErrLog | kErrRaise, [&] {
        std::string query;
        if (!Editors().PickRepeatingQuery(query)) return;
        const std::string marker(kLineBreakMarker);
        StatementFieldInfo record;
        record.Label = "DoWhile";
        record.Code = query.empty() ? "Do While()"
                                    : query + ".MoveFirst" + marker + "Do While(Not " + query + ".EOF)";
        modMSWordFields fields(WordApplication(), this);
        fields.InsertStatementField(record);
        record.Label = "Loop";
        record.Code = query.empty() ? "Loop" : query + ".MoveNext" + marker + "Loop";
        fields.InsertStatementField(record);
    });
}

} // namespace qz::designer
