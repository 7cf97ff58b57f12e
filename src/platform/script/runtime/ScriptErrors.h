// Script run-time and compilation errors: numbers, English texts and raisers.
// The table itself lives with the automation layer, whose conversions raise
// the same errors.
#pragma once

#include "platform/automation/ErrorTexts.h"

namespace qz::script {

using qz::errorText;
using qz::kCompileErrorSource;
using qz::kRuntimeErrorSource;
using qz::runtimeError;
using qz::throwCompileError;
using qz::throwRuntimeError;
namespace err = qz::err;

} // namespace qz::script
