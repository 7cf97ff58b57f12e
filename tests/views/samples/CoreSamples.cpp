// The samples of the foundation's windows.
#include "core/ModGlobal.h"
#include "core/forms/frmErrors.h"
#include "core/forms/frmSysInfo.h"
#include "core/forms/frmVbScriptError.h"
#include "views/samples/Samples.h"

#include <memory>

namespace qz::views {

QZ_REGISTER_SAMPLE("frmErrors", [] {
    auto f = std::make_unique<frmErrors>();
    f->InitForm("Cannot open the input file.\r\nC:/Templates/Invoice.rtf", "", "");
    return f;
})

QZ_REGISTER_SAMPLE("frmSysInfo", [] {
    auto f = std::make_unique<frmSysInfo>();
    f->Initialize(SystemInformation());
    return f;
})

QZ_REGISTER_SAMPLE("frmVbScriptError", [] {
    auto f = std::make_unique<frmVbScriptError>();
    f->InitForm(13, "Microsoft VBScript runtime error", "Type mismatch: 'CDbl'",
                "Total = CDbl(q.Fields(\"Amount\").Value) * 1.2", 3, "InvoiceTotal", 2);
    return f;
})

} // namespace qz::views
