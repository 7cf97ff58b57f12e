// Command 25: the data-sources window, made on first use and kept. It loads
// the template's QZC file afresh each time and writes every change itself;
// the command reads nothing back. A read-only QZC file still opens it (the
// window then offers only the editors, which say so).
#include "designer/Designer.h"

#include "core/ModErrors.h"
#include "datasources/forms/frmDataLink.h"

namespace qz::designer {

void Designer::EditConnection() {
    Handled("Designer", "EditConnection", kErrLog | kErrRaise, [&] {
        if (!dataLink_) dataLink_ = std::make_unique<datasources::frmDataLink>();
        dataLink_->Initialize();
        dataLink_->Show();
    });
}

} // namespace qz::designer
