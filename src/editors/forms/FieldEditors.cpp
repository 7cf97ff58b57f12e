#include "editors/forms/FieldEditors.h"

#include "editors/forms/frmExpression.h"
#include "editors/forms/frmRepeatingPar.h"
#include "editors/forms/frmStatement.h"

#include <memory>

namespace qz::editors {

namespace {

class Editors final : public designer::FieldEditors {
public:
    bool EditStatement(std::string& label, std::string& code) override {
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

    bool EditExpression(std::string& label, std::string& code, std::string& format, std::string& locale) override {
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

    bool PickRepeatingQuery(std::string& query) override {
        if (!picker_) picker_ = std::make_unique<frmRepeatingPar>();
        frmRepeatingPar& f = *picker_;
        f.Initialize();
        f.ShowModal();
        if (f.Cancelled) return false;
        query = f.SelectedQuery;
        return true;
    }

    ~Editors() override {
        for (ui::Form* f : std::initializer_list<ui::Form*>{statement_.get(), expression_.get(), picker_.get()})
            if (f) f->Unload();
    }

private:
    std::unique_ptr<frmStatement> statement_;
    std::unique_ptr<frmExpression> expression_;
    std::unique_ptr<frmRepeatingPar> picker_;
};

std::unique_ptr<designer::FieldEditors> MakeEditors() { return std::make_unique<Editors>(); }

} // namespace

void InstallFieldEditors() noexcept { designer::SetFieldEditorsFactory(&MakeEditors); }

} // namespace qz::editors
