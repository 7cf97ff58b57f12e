// Statement and expression fields written, read and rewritten in a document.
#include "DesignerTestSupport.h"
#include "platform/word/Table.h"

#include <fstream>

using namespace qz;
using namespace qz::designer;
using namespace qz::designer::testing;

namespace {

const std::string kSect = kFieldSeparator;

class DocumentFields : public DesignerDocument {};

std::string ReadLog() {
    std::ifstream in(ErrorLogFileName(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST_F(DocumentFields, InsertedStatementFieldHasTheLayoutPositionsAndColours) {
    app.ActiveWindow().GetView().ShowFieldCodes = false;
    app.ActiveWindow().GetView().Type = 1;
    fields.InsertStatementField({0, 0, "Customer", 0, 0, "x = 1"});
    EXPECT_EQ(length(), 71);
    EXPECT_EQ(sel().Start(), 71);
    EXPECT_EQ(sel().End(), 71);
    std::vector<word::Field> all = doc->Content().GetFields().All();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].Code().Text(),
              " MACROBUTTON modStatementMacro \xEF\x83\x97" "Customer\xEF\x83\x98\x13 SET _QZStatement377 x = 1\x15");
    EXPECT_EQ(all[1].Code().Text(), " SET _QZStatement377 x = 1");
    for (long p = 32; p <= 41; ++p) EXPECT_EQ(ColorAt(p), 6) << p; // delimiters and label
    for (long p = 43; p < 69; ++p) EXPECT_EQ(ColorAt(p), 0) << p;  // the SET code
    EXPECT_EQ(ColorAt(5), 0);
    // The author's view comes back.
    EXPECT_FALSE(app.ActiveWindow().GetView().ShowFieldCodes);
    EXPECT_EQ(app.ActiveWindow().GetView().Type, 1);
    EXPECT_TRUE(app.ScreenUpdating);
    app.ActiveWindow().GetView().ShowFieldCodes = true;
    fields.InsertStatementField({0, 0, "b", 0, 0, "y"});
    EXPECT_TRUE(app.ActiveWindow().GetView().ShowFieldCodes);
}

TEST_F(DocumentFields, ReadGivesPositionsAndTextsOfBothKinds) {
    fields.InsertStatementField({0, 0, "Customer", 0, 0, "x = 1"});
    sel().SetRange(0, 71);
    StatementFieldInfo s = fields.ReadStatementField();
    EXPECT_EQ(s.LabelStart, 33);
    EXPECT_EQ(s.LabelEnd, 41);
    EXPECT_EQ(s.Label, "Customer");
    EXPECT_EQ(s.CodeStart, 64);
    EXPECT_EQ(s.CodeEnd, 69);
    EXPECT_EQ(s.Code, "x = 1");

    sel().SetRange(0, length());
    sel().Delete();
    fields.InsertExpressionField("Total", "x", "String;UseDefaultProperties:-1", "-1");
    EXPECT_EQ(length(), 100);
    EXPECT_EQ(ColorAt(34), 9);
    sel().SetRange(0, 100);
    ExpressionFieldInfo e = fields.ReadExpressionField();
    EXPECT_EQ(e.LabelStart, 34);
    EXPECT_EQ(e.LabelEnd, 39);
    EXPECT_EQ(e.Label, "Total");
    EXPECT_EQ(e.CodeStart, 63);
    EXPECT_EQ(e.CodeEnd, 98);
    EXPECT_EQ(e.Expression, "x");
    EXPECT_EQ(e.Format, "String;UseDefaultProperties:-1");
    EXPECT_EQ(e.Locale, "-1");
}

TEST_F(DocumentFields, EmptySelectionReadsNothingAndChangesNothing) {
    fields.InsertStatementField({0, 0, "L", 0, 0, "c"});
    std::string before = text();
    sel().SetRange(5, 5);
    StatementFieldInfo s = fields.ReadStatementField();
    EXPECT_EQ(s.LabelStart + s.LabelEnd + s.CodeStart + s.CodeEnd, 0);
    EXPECT_TRUE(s.Label.empty() && s.Code.empty());
    EXPECT_EQ(text(), before);
}

TEST_F(DocumentFields, ExpressionHoldingTheSeparatorSurvivesAnEdit) {
    fields.InsertExpressionField("Amount", "\"a" + kSect + "b\" & x", "Number;NumDigits:2", "1036");
    sel().SetRange(0, length());
    ExpressionFieldInfo e = fields.ReadExpressionField();
    EXPECT_EQ(e.Expression, "\"a" + kSect + "b\" & x");
    EXPECT_EQ(e.Format, "Number;NumDigits:2");
    EXPECT_EQ(e.Locale, "1036");
    e.Label = "Amount due";
    fields.SaveExpressionField(e);
    sel().SetRange(0, length());
    ExpressionFieldInfo again = fields.ReadExpressionField();
    EXPECT_EQ(again.Label, "Amount due");
    EXPECT_EQ(again.Expression, e.Expression);
    EXPECT_EQ(again.Format, e.Format);
    EXPECT_EQ(again.Locale, e.Locale);
}

TEST_F(DocumentFields, SavingRewritesLabelThenShiftedCode) {
    sel().TypeText("Dear ");
    fields.InsertStatementField({0, 0, "Customer", 0, 0, "x = 1"});
    sel().TypeText(" tail");
    sel().SetRange(5, 76);
    StatementFieldInfo s = fields.ReadStatementField();
    s.Label = "Client7!";
    s.Code = "y";
    fields.SaveStatementField(s);
    EXPECT_EQ(length(), 5 + 67 + 5);
    std::vector<word::Field> all = doc->Content().GetFields().All();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].Code().Text().substr(all[1].Code().Text().size() - 17), "_QZStatement377 y");
    // Three more characters in the label move the code three to the right.
    sel().SetRange(5, 72);
    s = fields.ReadStatementField();
    s.Label = "Customer No.";
    s.Code = "If a Then_QZCRLFb = 2_QZCRLFEnd If";
    fields.SaveStatementField(s);
    sel().SetRange(5, length() - 5);
    StatementFieldInfo t = fields.ReadStatementField();
    EXPECT_EQ(t.Label, "Customer No.");
    EXPECT_EQ(t.Code, s.Code);
    EXPECT_EQ(t.CodeStart, s.CodeStart + 4);
    EXPECT_EQ(text().substr(0, 5), "Dear ");
    EXPECT_EQ(text().substr(text().size() - 5), " tail");
    EXPECT_EQ(ColorAt(t.LabelStart + 9), 6); // the new label keeps the label colour
}

TEST_F(DocumentFields, FailuresRaiseTheOperationsMessageAndLeaveTheDocumentAsItWas) {
    // No document: the insert reports 4058.
    word::Application empty;
    modMSWordFields none(empty);
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { none.InsertStatementField({0, 0, "a", 0, 0, "b"}); }, &description),
              OwnErrorNumber(4058));
    EXPECT_NE(description.find("Impossible to insert the Quorvane statement."), std::string::npos);

    // A payload without separator: 4060 (after 4052 was logged), nothing changed.
    fields.InsertStatementField({0, 0, "S", 0, 0, "s"});
    word::Field set = doc->Content().GetFields().Item(2);
    set.Code().SetText(" SET _QZExpression377 no separator");
    word::Range outer = doc->Content().GetFields().Item(1).Code();
    word::Range macro(doc, &doc->MainStory(), outer.Start(), outer.Start() + 31);
    macro.SetText(" MACROBUTTON modExpressionMacro ");
    std::string before = text();
    sel().SetRange(0, length());
    std::size_t logStart = ReadLog().size();
    EXPECT_EQ(ErrorNumberOf([&] { fields.ReadExpressionField(); }, &description), OwnErrorNumber(4060));
    EXPECT_NE(description.find("Impossible to read the Quorvane expression."), std::string::npos);
    EXPECT_EQ(text(), before);
    // The cause is logged first, then the operation's own message.
    std::string log = ReadLog().substr(logStart);
    std::size_t cause = log.find("\t" + std::to_string(OwnErrorNumber(4052)) + "\t");
    std::size_t own = log.find("\t" + std::to_string(OwnErrorNumber(4060)) + "\t");
    ASSERT_NE(cause, std::string::npos) << log;
    ASSERT_NE(own, std::string::npos) << log;
    EXPECT_LT(cause, own);

    // A selection that runs past the field is refused rather than read at the wrong places.
    sel().SetRange(0, length());
    sel().Delete();
    fields.InsertExpressionField("E", "x", "String;", "-1");
    sel().TypeText(" after");
    sel().SetRange(0, length());
    EXPECT_EQ(ErrorNumberOf([&] { fields.ReadExpressionField(); }), OwnErrorNumber(4060));

    // A save that fails after the label was written puts the label back.
    sel().SetRange(0, length());
    sel().Delete();
    fields.InsertStatementField({0, 0, "Customer", 0, 0, "x = 1"});
    doc->SetSaved(true);
    before = text();
    StatementFieldInfo bad{33, 41, "Other label", 64, 70, "y"}; // code range takes the SET field's end
    EXPECT_EQ(ErrorNumberOf([&] { fields.SaveStatementField(bad); }), OwnErrorNumber(4059));
    EXPECT_EQ(text(), before);
    EXPECT_TRUE(doc->Saved());
    EXPECT_FALSE(app.ActiveWindow().GetView().ShowFieldCodes);
    // A record that was never read is refused instead of written at position 0.
    EXPECT_EQ(ErrorNumberOf([&] { fields.SaveStatementField(StatementFieldInfo{}); }), OwnErrorNumber(4059));
    EXPECT_EQ(ErrorNumberOf([&] { fields.SaveExpressionField(ExpressionFieldInfo{}); }), OwnErrorNumber(4062));
    EXPECT_EQ(text(), before);
}

// A loop inserted where a table row starts takes the whole row: its field is
// written before the row's definition, so that each repetition starts the
// row again. An expression inserted where a row starts is the cell's.
TEST_F(DocumentFields, AStatementInsertedWhereARowStartsStandsBeforeTheRow) {
    doc->LoadRtfText(R"({\rtf1\ansi\pard Lines\par\trowd\cellx2000\pard\intbl Item\cell\row)"
                     R"(\trowd\cellx2000\pard\intbl x\cell\row\pard End\par})");
    const long row = static_cast<long>(text().find('x'));
    sel().SetRange(row, row);
    fields.InsertStatementField({0, 0, "Lines loop", 0, 0, "Do While Not Lines.EOF"});
    const long end = static_cast<long>(text().rfind("End"));
    sel().SetRange(end, end);
    fields.InsertStatementField({0, 0, "Next line", 0, 0, "Lines.MoveNext_QZCRLFLoop"});
    const std::string rtf = doc->ToRtf();
    const std::size_t loop = rtf.find("Do While"), item = rtf.find("Item}"), x = rtf.find("{\\cf0 x}");
    ASSERT_NE(loop, std::string::npos);
    // Between the first row's end and the loop no row starts; after the loop it does.
    EXPECT_EQ(rtf.substr(item, loop - item).find("\\trowd\\cellx2000\\intbl {"), std::string::npos);
    EXPECT_NE(rtf.substr(loop, x - loop).find("\\pard\\plain\\trowd\\cellx2000\\intbl "), std::string::npos);
    EXPECT_LT(rtf.find("\\row", x), rtf.find("Lines.MoveNext"));
    EXPECT_EQ(word::Table::At(*doc, doc->MainStory(), row)->Rows(), 2);

    const long first = word::Table::At(*doc, doc->MainStory(), row)->CellStart(0, 0);
    sel().SetRange(first, first);
    fields.InsertExpressionField("Heading", "\"Item\"", "String;UseDefaultProperties:-1", "-1");
    const std::string withHeading = doc->ToRtf();
    EXPECT_LT(withHeading.find("\\intbl"), withHeading.find("_QZExpression"));
    EXPECT_EQ(word::Table::At(*doc, doc->MainStory(), row)->Rows(), 2);
}
