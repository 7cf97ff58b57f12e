// The samples of the designer's windows.
#include "core/QzFormat.h"
#include "designer/forms/frmAbout.h"
#include "designer/forms/frmParameters.h"
#include "designer/forms/frmQzProperties.h"
#include "designer/forms/frmTemplateDefaultFormat.h"
#include "designer/forms/frmWaiting.h"
#include "views/samples/Samples.h"

#include <memory>

namespace qz::views {

QZ_REGISTER_SAMPLE("frmAbout", [] {
    auto f = std::make_unique<designer::frmAbout>();
    f->Initialize();
    return f;
})

QZ_REGISTER_SAMPLE("frmParameters", [] {
    auto f = std::make_unique<designer::frmParameters>();
    f->Caption = "Customers.City = ?";
    f->txtParameter.Text = "'Rome'";
    return f;
})

QZ_REGISTER_SAMPLE("frmQzProperties", [] {
    auto f = std::make_unique<designer::frmQzProperties>();
    f->QzTemplatePath = "/home/anna/Documents/Templates/Customers";
    f->QzTemplateFileName = "Invoice.rtf";
    f->QzcFilename = "Invoice.qzc";
    f->QzRevisionKeep = 5;
    f->QzLocale = 1033;
    f->InitializeControls();
    return f;
})

QZ_REGISTER_SAMPLE("frmTemplateDefaultFormat", [] {
    auto f = std::make_unique<designer::frmTemplateDefaultFormat>();
    f->QzNumberFormat = std::make_shared<QzFormatNumber>(QzFormatNumber{2, -1, 0, -1, false, true});
    f->QzCurrencyFormat = std::make_shared<QzFormatNumber>(QzFormatNumber{2, -1, -1, -1, true, true});
    f->Form_Load();
    f->tabstripFormat.SelectedTab = 2;
    f->tabstripFormat_Click();
    return f;
})

QZ_REGISTER_SAMPLE("frmWaiting", [] {
    auto f = std::make_unique<designer::frmWaiting>();
    f->Caption = "Preview Document";
    f->lblWaiting.Caption = "Preparing Document...";
    return f;
})

} // namespace qz::views
