// Script run-time and compilation errors: numbers, English texts and raisers.
// The table itself lives with the automation layer, whose conversions raise
// the same errors.
#pragma once

#include "platform/automation/ErrorTexts.h"
#include "platform/system/Deadline.h"

namespace qz::script {

using qz::errorText;
using qz::kCompileErrorSource;
using qz::kRuntimeErrorSource;
using qz::runtimeError;
using qz::throwCompileError;
using qz::throwRuntimeError;
namespace err = qz::err;

// The script was stopped: by the time-out, or (outOfMemory) because it grew
// past its memory ceiling. On Error Resume Next does not catch it.
struct ScriptAbort {
    bool outOfMemory = false;
};

// For built-ins that can run long: stops the script once its time-out has passed.
inline void checkTimeOut() {
    if (sys::deadlinePassed()) throw ScriptAbort{};
}

} // namespace qz::script
