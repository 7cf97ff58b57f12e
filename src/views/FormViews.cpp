#include "views/FormViews.h"

#include "core/forms/frmErrors.h"
#include "core/forms/frmSysInfo.h"
#include "core/forms/frmVbScriptError.h"
#include "datasources/forms/frmCommandXML.h"
#include "datasources/forms/frmConnection.h"
#include "datasources/forms/frmConnectionBuilder.h"
#include "datasources/forms/frmCreateDataSource.h"
#include "datasources/forms/frmDataLink.h"
#include "designer/forms/frmAbout.h"
#include "designer/forms/frmParameters.h"
#include "designer/forms/frmQzProperties.h"
#include "designer/forms/frmTemplateDefaultFormat.h"
#include "designer/forms/frmWaiting.h"
#include "editors/forms/frmExpression.h"
#include "editors/forms/frmFindReplace.h"
#include "editors/forms/frmRepeatingPar.h"
#include "editors/forms/frmStatement.h"
#include "query/forms/frmAddForeignKey.h"
#include "query/forms/frmQueryBuilder.h"
#include "views/host/ViewRegistry.h"

namespace qz::views {

namespace {

// The view of the form class F under the form name; a form of another class
// that bears the name gets no window rather than the wrong one.
template <class F>
void add(const char* formName) {
    registerView(formName, [](ui::Form& form, QWidget* parent) -> FormView* {
        auto* f = dynamic_cast<F*>(&form);
        return f ? newView(*f, parent) : nullptr;
    });
}

} // namespace

void registerFormViews() {
    add<frmErrors>("frmErrors");
    add<frmSysInfo>("frmSysInfo");
    add<frmVbScriptError>("frmVbScriptError");
    add<designer::frmAbout>("frmAbout");
    add<designer::frmParameters>("frmParameters");
    add<designer::frmQzProperties>("frmQzProperties");
    add<designer::frmTemplateDefaultFormat>("frmTemplateDefaultFormat");
    add<designer::frmWaiting>("frmWaiting");
    add<editors::frmExpression>("frmExpression");
    add<editors::frmFindReplace>("frmFindReplace");
    add<editors::frmRepeatingPar>("frmRepeatingPar");
    add<editors::frmStatement>("frmStatement");
    add<datasources::frmCommandXML>("frmCommandXML");
    add<datasources::frmConnection>("frmConnection");
    add<datasources::frmConnectionBuilder>("frmConnectionBuilder");
    add<datasources::frmCreateDataSource>("frmCreateDataSource");
    add<datasources::frmDataLink>("frmDataLink");
    add<query::frmAddForeignKey>("frmAddForeignKey");
    add<query::frmQueryBuilder>("frmQueryBuilder");
}

} // namespace qz::views
