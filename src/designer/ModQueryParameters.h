// Query parameters in the designer: each "?" of a command's WHERE conditions
// is asked for in a small prompt (frmParameters) and the typed value is bound
// to it. The scanning and answering are the production engine's, which the
// command line shares.
#pragma once

#include "production/QueryParameters.h"

#include <string>

namespace qz::designer {

using production::FindEndWhereClause;
using production::kParameterCancelled;
using production::ParameterAnswerProblem;
using production::ParameterPrompt;
using production::ResolveSqlParameters;

// ResolveSqlParameters with frmParameters shown on the current UI host; an
// answer that is not one value is explained and asked for again.
ado::BoundSql ResolveSqlParameters(const std::string& sql);

} // namespace qz::designer
