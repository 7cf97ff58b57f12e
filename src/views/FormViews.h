// The window of every form, and the one call that makes them known to the Qt
// host. Each view file defines the newView of its form; a program that shows
// forms in windows (the studio, the screenshot program, the view tests and
// benches) calls registerFormViews once, at start-up, before a form is shown.
#pragma once

#include "views/host/FormView.h"

class QWidget;

namespace qz {
class frmErrors;
class frmSysInfo;
class frmVbScriptError;
} // namespace qz
namespace qz::designer {
class frmAbout;
class frmParameters;
class frmQzProperties;
class frmTemplateDefaultFormat;
class frmWaiting;
} // namespace qz::designer
namespace qz::editors {
class frmExpression;
class frmFindReplace;
class frmRepeatingPar;
class frmStatement;
} // namespace qz::editors
namespace qz::datasources {
class frmCommandXML;
class frmConnection;
class frmConnectionBuilder;
class frmCreateDataSource;
class frmDataLink;
} // namespace qz::datasources
namespace qz::query {
class frmAddForeignKey;
class frmQueryBuilder;
} // namespace qz::query

namespace qz::views {

// A new window showing the form.
FormView* newView(frmErrors& form, QWidget* parent);
FormView* newView(frmSysInfo& form, QWidget* parent);
FormView* newView(frmVbScriptError& form, QWidget* parent);
FormView* newView(designer::frmAbout& form, QWidget* parent);
FormView* newView(designer::frmParameters& form, QWidget* parent);
FormView* newView(designer::frmQzProperties& form, QWidget* parent);
FormView* newView(designer::frmTemplateDefaultFormat& form, QWidget* parent);
FormView* newView(designer::frmWaiting& form, QWidget* parent);
FormView* newView(editors::frmExpression& form, QWidget* parent);
FormView* newView(editors::frmFindReplace& form, QWidget* parent);
FormView* newView(editors::frmRepeatingPar& form, QWidget* parent);
FormView* newView(editors::frmStatement& form, QWidget* parent);
FormView* newView(datasources::frmCommandXML& form, QWidget* parent);
FormView* newView(datasources::frmConnection& form, QWidget* parent);
FormView* newView(datasources::frmConnectionBuilder& form, QWidget* parent);
FormView* newView(datasources::frmCreateDataSource& form, QWidget* parent);
FormView* newView(datasources::frmDataLink& form, QWidget* parent);
FormView* newView(query::frmAddForeignKey& form, QWidget* parent);
FormView* newView(query::frmQueryBuilder& form, QWidget* parent);

// Registers the window of each form above under its form's name (again:
// the same registrations).
void registerFormViews();

} // namespace qz::views
