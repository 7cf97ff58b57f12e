// A template made in the model with the document-field routines is produced
// by the production engine, and the produced document opens in the model.
#include "DesignerTestSupport.h"

#include "core/ModGlobal.h"
#include "designer/ModMsWordCurrentDocument.h"
#include "production/Production.h"

#include <fstream>

using namespace qz;
using namespace qz::designer;
using namespace qz::designer::testing;

namespace {

const char* kQzc =
    "<QZC><TemplateProperties><Version>8.2.2</Version><FileName/><RevisionKeep>12</RevisionKeep>"
    "<Locale>1033</Locale><DateTimeFormat>DateTime:2;BlankProtect:0</DateTimeFormat>"
    "<StringFormat>UseDefaultProperties:-1</StringFormat>"
    "<NumberFormat>NumDigits:2;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:-1;BlankProtect:0</NumberFormat>"
    "<CurrencyFormat>UseDefaultProperties:-1</CurrencyFormat>"
    "<PercentFormat>NumDigits:1;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:0;BlankProtect:0</PercentFormat>"
    "</TemplateProperties><ConnectionList/></QZC>";

class ProductionRoundTrip : public DesignerDocument {
protected:
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir = TempDir("production");
};

} // namespace

TEST_F(ProductionRoundTrip, TemplateMadeInTheModelProducesADocumentThatOpensAgain) {
    const std::string name = "Ana {N\xC3\xBA\xC3\xB1" "ez} \\ \xC2\xA7 7";
    sel().TypeText("Dear ");
    fields.InsertExpressionField("Name {label}", "Customer.Value", "String;", "-1");
    sel().TypeText(", items:");
    fields.InsertStatementField({0, 0, "For \"i\"", 0, 0, "Dim i_QZCRLFFor i = 1 To 3"});
    sel().TypeText(" #");
    fields.InsertExpressionField("I", "i * 2", "Number;NumDigits:0;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:0;BlankProtect:0", "1033");
    fields.InsertStatementField({0, 0, "Next", 0, 0, "Next"});
    sel().TypeText("\rRegards\\{}");
    ModMsWordCurrentDocument current(app);
    current.UpdateCustomDocumentProperty("8.2.2");
    std::string file = (dir / "Letter.rtf").string();
    current.SaveCurrentDocument(1, file);
    std::ofstream((dir / "Letter.qzc").string()) << kQzc;

    production::Production p;
    p.AddProperty("Customer", Variant::fromUtf8(name));
    p.TemplateFile(file);
    std::string out = (dir / "out.rtf").string();
    p.OutputFile(out);
    gbScriptErrorOccurred = false;
    p.Execute();

    word::Document& produced = app.GetDocuments().Open(out);
    EXPECT_EQ(produced.Content().Text(), "Dear " + name + ", items: #2 #4 #6\rRegards\\{}");
    EXPECT_EQ(produced.Content().GetFields().Count(), 0);
    EXPECT_FALSE(produced.ReadOnly());
}
