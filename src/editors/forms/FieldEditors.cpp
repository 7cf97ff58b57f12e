#include "editors/forms/FieldEditors.h"

#include "editors/forms/frmExpression.h"
#include "editors/forms/frmRepeatingPar.h"
#include "editors/forms/frmStatement.h"

#include <initializer_list>

namespace qz::editors {

FieldEditors::FieldEditors() = default;

FieldEditors::~FieldEditors() {
    for (ui::Form* f : std::initializer_list<ui::Form*>{statement_.get(), expression_.get(), picker_.get()})
        if (f) f->Unload();
}

bool FieldEditors::EditStatement(std::string& label, std::string& code) {
    if (!statement_) statement_ = std::make_unique<frmStatement>();
    frmStatement& f = *statement_;
    f.QzStmntCode = code;
    f.QzStmntLabel = label;
    f.Initialize();
    f.ShowModal();
    if (!f.UpdateField) return false;
    code = f.QzStmntCode;
    label = f.QzStmntLabel;
    return true;
}

bool FieldEditors::EditExpression(std::string& label, std::string& code, std::string& format, std::string& locale) {
    if (!expression_) expression_ = std::make_unique<frmExpression>();
    frmExpression& f = *expression_;
    f.QzExpCode = code;
    f.QzExpLabel = label;
    f.QzExpFormat = format;
    f.QzExpLocale = locale;
    f.Initialize();
    f.ShowModal();
    if (!f.UpdateField) return false;
    code = f.QzExpCode;
    label = f.QzExpLabel;
    format = f.QzExpFormat;
    locale = f.QzExpLocale;
    return true;
}

bool FieldEditors::PickRepeatingQuery(std::string& query) {
    if (!picker_) picker_ = std::make_unique<frmRepeatingPar>();
    frmRepeatingPar& f = *picker_;
    f.Initialize();
    f.ShowModal();
    if (f.Cancelled) return false;
    query = f.SelectedQuery;
    return true;
}

} // namespace qz::editors
