// Designer commands whose dialogs and routines this build does not have yet:
// each refuses with the system's own message ("This command is not available
// yet.") instead of doing part of its work, so the author sees why nothing
// happened and no document or file is touched.
#include "designer/Designer.h"

#include "core/ModErrors.h"

namespace qz::designer {

namespace {
[[noreturn]] void NotAvailable(const char* routine) {
    AutomationError err = OwnError(kMsgCommandNotAvailable);
    HandleError(err, "Designer", routine, kErrLog | kErrRaise);
    throw err;  // the handler has raised already
}
} // namespace

void Designer::EditConnection() { NotAvailable("EditConnection"); }

} // namespace qz::designer
