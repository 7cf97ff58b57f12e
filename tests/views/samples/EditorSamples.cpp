// The samples of the field editors' windows, over the example template.
#include "editors/forms/frmExpression.h"
#include "editors/forms/frmFindReplace.h"
#include "editors/forms/frmRepeatingPar.h"
#include "editors/forms/frmStatement.h"
#include "views/samples/ExampleTemplate.h"
#include "views/samples/Samples.h"

#include <memory>

namespace qz::views {

QZ_REGISTER_SAMPLE("frmExpression", [] {
    auto f = std::make_unique<editors::frmExpression>();
    f->QzExpLabel = "Amount";
    f->QzExpCode = "Lines.Fields(\"Amount\").Value";
    f->QzExpFormat = "Currency;UseDefaultProperties:-1";
    f->QzExpLocale = "-1";
    WithExampleTemplate([&] { f->Initialize(); });
    ExpandFirstCommand(f->tvList);
    f->StatusBar1.Panel(1).Text = "Double";
    return f;
})

QZ_REGISTER_SAMPLE("frmFindReplace", [] {
    static ui::TextBox code;
    code.MultiLine = true;
    code.Text = "Total = Total + Lines.Fields(\"Amount\").Value\r\nLines.MoveNext";
    code.SelStart = 2;
    code.SelLength = 0;
    editors::TheFindReplaceState().search = "Total";
    editors::TheFindReplaceState().replace = "Sum";
    auto f = std::make_unique<editors::frmFindReplace>();
    f->SetupInit(true, &code, false);
    return f;
})

QZ_REGISTER_SAMPLE("frmRepeatingPar", [] {
    auto f = std::make_unique<editors::frmRepeatingPar>();
    WithExampleTemplate([&] { f->Initialize(); });
    f->lstQueries.Select(2);
    return f;
})

QZ_REGISTER_SAMPLE("frmStatement", [] {
    auto f = std::make_unique<editors::frmStatement>();
    f->QzStmntLabel = "Lines";
    f->QzStmntCode = "Lines.MoveFirst\r\nDo While(Not Lines.EOF)";
    WithExampleTemplate([&] { f->Initialize(); });
    ExpandFirstCommand(f->trvDataList);
    f->trvDataList.Select(f->trvDataList.Roots().empty() ? nullptr : f->trvDataList.Roots()[0]);
    f->txtValue.SelStart = 39;
    f->txtValue_CaretMoved();
    f->StatusBar1.Panel(1).Text = "Long";
    return f;
})

} // namespace qz::views
