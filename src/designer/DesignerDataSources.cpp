// Command 25: the data-sources window, made on first use and kept. It loads
// the template's QZC file afresh each time and writes every change itself;
// the command reads nothing back. A read-only QZC file still opens it (the
// window then offers only the editors, which say so).
#include "designer/DataSourcesWindow.h"
#include "designer/Designer.h"

#include "core/ModErrors.h"

namespace qz::designer {

void Designer::EditConnection() {
    try {
        if (!dataLink_) {
            const DataSourcesWindowFactory factory = GetDataSourcesWindowFactory();
            if (!factory) RaiseError(kMsgCommandNotAvailable);
            dataLink_ = factory();
            if (!dataLink_) RaiseError(kMsgCommandNotAvailable);
        }
        dataLink_->Initialize();
        dataLink_->Show();
    } catch (...) {
        HandleError("Designer", "EditConnection", kErrLog | kErrRaise);
    }
}

} // namespace qz::designer
