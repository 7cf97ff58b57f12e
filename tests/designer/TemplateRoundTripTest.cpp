// Templates made with the document-field routines, saved as RTF and read by
// the production engine's template reader: the engine finds exactly the
// fields that were inserted.
#include "DesignerTestSupport.h"

#include "designer/ModMsWordCurrentDocument.h"
#include "production/RtfInterpreter.h"

#include <fstream>

using namespace qz;
using namespace qz::designer;
using namespace qz::designer::testing;
using production::RtfInterpreter;

namespace {

struct Inserted {
    bool statement;
    std::string label, code, format, locale;
};

class TemplateRoundTrip : public DesignerDocument {
protected:
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir = TempDir("roundtrip");
};

// In code, "_QZCRLF" is also a line break.
std::string EngineCode(std::string s) {
    for (std::size_t p; (p = s.find("_QZCRLF")) != std::string::npos;) s.replace(p, 7, "\r\n");
    return s;
}

} // namespace

TEST_F(TemplateRoundTrip, EngineReadsExactlyTheInsertedFields) {
    const std::vector<Inserted> inserted = {
        {true, "Customer", "x = 1", "", ""},
        {false, "Total", "Orders.Fields(\"Total\").Value", "Number;NumDigits:2;LeadingDigit:-1", "1036"},
        {true, "a{b}\\c", "s = \"{\\field}\" & \"\\'a7\"", "", ""},
        {false, "Caf\xC3\xA9 \xC3\x86r\xC3\xB8", "\"na\xC3\xAFve \xE2\x82\xAC\" & x", "String;UseDefaultProperties:-1", "-1"},
        {true, "Loop", "Do While Not rs.EOF_QZCRLF  rs.MoveNext_QZCRLFLoop", "", ""},
        {false, "Quoted \"label\"", "\"}\" & \"{\"", "Date;DateFormat:1", "2057"},
        {true, "Sect \xC2\xA7", "s = \"\xC2\xA7 12\"", "", ""},
        {false, "Sect", "a & \"\xC2\xA7\"", "String;UseDefaultProperties:-1", "0"},
        // Greek, Cyrillic, CJK and an emoji (outside the code page of RTF text).
        {true, "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xD0\x96\xD1\x83\xD0\xBA",
         "s = \"\xC2\xA7 12 \xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1\"_QZCRLFt = \"\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\"", "", ""},
        {false, "\xE5\x90\x8D\xE5\x89\x8D \xF0\x9F\x93\x9D", "\"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 {\xC2\xA7}\\\" & x",
         "String;UseDefaultProperties:-1", "1049"},
    };
    sel().TypeText("Dear ");
    for (const Inserted& f : inserted) {
        if (f.statement) fields.InsertStatementField({0, 0, f.label, 0, 0, f.code});
        else fields.InsertExpressionField(f.label, f.code, f.format, f.locale);
        sel().TypeText(" and ");
    }
    sel().TypeText("\rend of letter");
    ModMsWordCurrentDocument current(app);
    current.UpdateCustomDocumentProperty("8.2.2");
    std::string file = (dir / "Letter.rtf").string();
    current.SaveCurrentDocument(1, file);

    RtfInterpreter reader;
    reader.TemplateFile(file);
    reader.ParseRtfTemplate();
    ASSERT_EQ(reader.NbElement(), static_cast<std::int32_t>(2 * inserted.size() + 1));
    std::size_t k = 0;
    for (std::int32_t i = 0; i < reader.NbElement(); ++i) {
        std::int32_t pos = reader.GetElementPosition(i);
        if (i % 2 == 0) {
            ASSERT_EQ(reader.GetElementType(i), production::kElementRtf) << i;
            continue;
        }
        const Inserted& f = inserted[k++];
        SCOPED_TRACE(f.label);
        if (f.statement) {
            ASSERT_EQ(reader.GetElementType(i), production::kElementStatement);
            EXPECT_EQ(reader.GetStatementLabel(pos), f.label);
            EXPECT_EQ(reader.GetStatementCode(pos), EngineCode(f.code));
        } else {
            ASSERT_EQ(reader.GetElementType(i), production::kElementExpression);
            EXPECT_EQ(reader.GetExpressionLabel(pos), f.label);
            EXPECT_EQ(reader.GetExpressionCode(pos), EngineCode(f.code));
            EXPECT_EQ(reader.GetExpressionFormat(pos), f.format);
            EXPECT_EQ(reader.GetExpressionLocale(pos), std::stoi(f.locale));
            EXPECT_EQ(reader.GetExpressionFont(pos), "\\f0\\fs24\\cf0 ");
        }
    }
    // The text around the fields is in the runs, in order.
    std::string runs;
    for (std::int32_t i = 0; i < reader.NbRtfPureElement(); ++i) runs += reader.GetRtfCode(i);
    EXPECT_NE(runs.find("Dear "), std::string::npos);
    EXPECT_NE(runs.find("end of letter"), std::string::npos);
    EXPECT_EQ(runs.find("MACROBUTTON"), std::string::npos);
}

TEST_F(TemplateRoundTrip, SavedTemplateOpensAgainWithItsFieldsAndVersion) {
    fields.InsertStatementField({0, 0, "Customer", 0, 0, "x = \"{}\\\""});
    fields.InsertExpressionField("Total", "a \xC2\xA7 b", "String;UseDefaultProperties:-1", "-1");
    ModMsWordCurrentDocument current(app);
    current.UpdateCustomDocumentProperty("8.2.2");
    std::string file = (dir / "T.rtf").string();
    current.SaveCurrentDocument(1, file);
    std::string before = text();
    doc->Close();

    word::Document& again = app.GetDocuments().Open(file);
    doc = &again;
    EXPECT_EQ(again.Content().Text(), before);
    EXPECT_EQ(current.RetrieveCustomDocumentProperty(), "8.2.2");
    std::vector<word::Field> outer;
    for (const word::Field& f : again.Content().GetFields().All())
        if (f.Type() == word::kFieldMacroButton) outer.push_back(f);
    ASSERT_EQ(outer.size(), 2u);
    outer[0].Select();
    StatementFieldInfo s = fields.ReadStatementField();
    EXPECT_EQ(s.Label, "Customer");
    EXPECT_EQ(s.Code, "x = \"{}\\\"");
    outer[1].Select();
    ExpressionFieldInfo e = fields.ReadExpressionField();
    EXPECT_EQ(e.Label, "Total");
    EXPECT_EQ(e.Expression, "a \xC2\xA7 b");
    EXPECT_EQ(ColorAt(s.LabelStart), 6);
    EXPECT_EQ(ColorAt(e.LabelStart), 9);
}

TEST_F(TemplateRoundTrip, FieldWrittenByTheWordProcessorIsReadEditedAndReadByTheEngine) {
    word::Document& old = app.GetDocuments().Open(std::string(QZ_TEST_DATA_DIR) + "/rtf/word-style.rtf");
    doc = &old;
    word::Field outer = old.Content().GetFields().Item(1);
    ASSERT_EQ(outer.Type(), word::kFieldMacroButton);
    outer.Select();
    StatementFieldInfo s = fields.ReadStatementField();
    EXPECT_EQ(s.Label, "Customer");
    EXPECT_EQ(s.Code, "x = \"a{b}\"");
    s.Label = "Client";
    s.Code = "x = \"c\"";
    fields.SaveStatementField(s);
    std::string file = (dir / "Edited.rtf").string();
    old.SaveAs(file);

    RtfInterpreter reader;
    reader.TemplateFile(file);
    reader.ParseRtfTemplate();
    int statements = 0;
    for (std::int32_t i = 0; i < reader.NbElement(); ++i) {
        if (reader.GetElementType(i) != production::kElementStatement) continue;
        ++statements;
        EXPECT_EQ(reader.GetStatementLabel(reader.GetElementPosition(i)), "Client");
        EXPECT_EQ(reader.GetStatementCode(reader.GetElementPosition(i)), "x = \"c\"");
    }
    EXPECT_EQ(statements, 1);
}
