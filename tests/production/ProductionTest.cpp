#include "production/Production.h"

#include "TemplateRtf.h"
#include "TestFiles.h"

#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "platform/script/ScriptControl.h"
#include "platform/word/Application.h"
#include "platform/word/Document.h"
#include "platform/word/Range.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

using namespace qz;
using namespace qz::production;
using qz::test::expressionField;
using qz::test::rtfDocument;
using qz::test::statementField;

namespace {

std::int32_t ownError(std::int32_t id) { return kOwnErrorBase + id; }

template <class F>
AutomationError errorOf(F&& f) {
    try {
        f();
    } catch (const AutomationError& e) {
        return e;
    }
    return {};
}

std::string qzcText(std::string_view locale = "-1", std::string_view currency = "UseDefaultProperties:-1") {
    return "<QZC><TemplateProperties><Version>8.2.2</Version><FileName/><RevisionKeep>12</RevisionKeep>"
           "<Locale>" + std::string(locale) + "</Locale><DateTimeFormat>DateTime:2;BlankProtect:0</DateTimeFormat>"
           "<StringFormat>UseDefaultProperties:-1</StringFormat>"
           "<NumberFormat>NumDigits:2;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:-1;BlankProtect:0</NumberFormat>"
           "<CurrencyFormat>" + std::string(currency) + "</CurrencyFormat>"
           "<PercentFormat>NumDigits:1;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:0;BlankProtect:0</PercentFormat>"
           "</TemplateProperties><ConnectionList/></QZC>";
}

// A template folder: the template, its QZC file, and a program folder with qzLib.vbs.
class ProductionTest : public ::testing::Test {
protected:
    void SetUp() override {
        libDir = dir.path() + "/lib";
        std::filesystem::create_directory(libDir);
        shippedLib = p.ProgramFolder() + "/qzLib.vbs";
        std::filesystem::copy_file(shippedLib, libDir + "/qzLib.vbs");
        p.ProgramFolder(libDir);
        gbScriptErrorOccurred = false;
    }

    // Writes the template (body inside a document) and its QZC file; returns the template path.
    std::string writeTemplate(const std::string& body, const std::string& qzc = qzcText(),
                              const std::string& name = "t") {
        dir.write(name + ".qzc", qzc);
        return dir.write(name + ".rtf", rtfDocument(body));
    }

    // Produces the document and returns the printed lines between the
    // document's head run and its final run.
    std::string produce(const std::string& body, const std::string& qzc = qzcText()) {
        p.TemplateFile(writeTemplate(body, qzc));
        p.OutputFile(dir.file("out.rtf"));
        p.Execute();
        return test::readFile(dir.file("out.rtf"));
    }

    test::TempDir dir;
    std::string libDir;
    std::string shippedLib;  // the qzLib.vbs beside the test program
    Production p;
};

// What the document printed after the head of rtfDocument, up to its closing run.
std::string body(const std::string& out) {
    const std::string head = "\\pard\\plain ";
    const std::size_t a = out.find(head);
    const std::size_t b = out.rfind("\\par }\r\n");
    if (a == std::string::npos || b == std::string::npos || b < a) return out;
    return out.substr(a + head.size(), b - a - head.size());
}

} // namespace

TEST_F(ProductionTest, ProducesRunsValuesAndLoops) {
    p.AddProperty("  Count ", Variant(static_cast<std::int32_t>(3)));
    p.AddProperty("Name", Variant::fromUtf8("a {b} \\c"));
    const std::string out = body(produce(
        "Hello " + expressionField("N", "Name.Value", "String;MaxLength:0;BlankProtect:-1") +
        statementField("Loop", "For i = 1 To Count.Value") + "," +
        expressionField("I", "i * 1.5", "Number;NumDigits:2;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:0;BlankProtect:0",
                        "1036", "\\f0 ") +
        statementField("End", "Next") + expressionField("Null", "Null", "String;", "-1", "\\b ")));
    EXPECT_EQ(out,
              "Hello \r\n{\\f0\\fs24\\cf0 a\\~\\{b\\}\\~\\\\c}\r\n"
              ",\r\n{\\f0 1,50}\r\n,\r\n{\\f0 3,00}\r\n,\r\n{\\f0 4,50}\r\n{\\b }\r\n");
}

TEST_F(ProductionTest, ExpressionKindsAndTemplateDefaults) {
    p.AddProperty("V", Variant(-1234.5));
    p.AddProperty("D", Variant::date(46356.0));  // 30 November 2026
    // Template locale English (United States); its currency default has parentheses.
    const std::string out = body(produce(
        expressionField("C", "V.Value", "Currency;UseDefaultProperties:-1") +
        expressionField("P", "0.256", "Percent;UseDefaultProperties:-1") +
        expressionField("D", "D.Value", "Date/Time;DateTime:1") +
        expressionField("R", "\"\\\\b x\\\\b0\"", "RTF;"),
        qzcText("1033", "NumDigits:2;LeadingDigit:-1;UseParensForNeg:-1;GroupDigits:-1;BlankProtect:0")));
    EXPECT_EQ(out,
              "\r\n{\\f0\\fs24\\cf0 ($1,234.50)}\r\n"
              "{\\f0\\fs24\\cf0 25.6%}\r\n"
              "{\\f0\\fs24\\cf0 Monday, November 30, 2026}\r\n"
              "{\\f0\\fs24\\cf0 \\b x\\b0}\r\n");
    EXPECT_NE(p.Program().Program.find("\r\nSub Main()\r\nSetLocale(1033)\r\n"), std::string::npos);

    // A template without a readable locale does not inherit the previous
    // one, and the log says its locale was not read.
    const std::size_t logged = test::readFile(ErrorLogFileName()).size();
    produce("x", qzcText("none"));
    EXPECT_NE(p.Program().Program.find("\r\nSub Main()\r\noRun.printRtf ( 0)"), std::string::npos);
    EXPECT_NE(test::readFile(ErrorLogFileName()).substr(logged).find("Production\tGetQzcGlobalInfo"), std::string::npos);
}

TEST_F(ProductionTest, CharactersOutsideAsciiBecomeUnicodeEscapes) {
    p.AddProperty("S", Variant::fromUtf8("\xc5\x81\xc3\xb3" "d\xc5\xba \xe6\x97\xa5"));  // Łódź 日
    EXPECT_EQ(body(produce(expressionField("S", "S.Value", "String;"))),
              "\r\n{\\f0\\fs24\\cf0 \\u321?\\u243?d\\u378? \\u26085?}\r\n");
}

TEST_F(ProductionTest, CodeReachesTheScriptWithEveryCharacterTheAuthorWrote) {
    // Section signs, Greek, Cyrillic, CJK and an emoji in string literals of a
    // statement and an expression, as the designer escapes them.
    const std::string text = "\xC2\xA7 12 \xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1";  // § 12 Ωμέγα
    const std::string more = " \xD0\x96 \xE6\x97\xA5 \xF0\x9F\x98\x80 \xC2\xA7";       // Ж 日 😀 §
    const std::string out = produce(
        "<" + test::systemField(false, "S", test::rtfUnicodeText("s = \"" + text + "\"")) + ">" +
        test::systemField(true, "E",
                          test::rtfUnicodeText("s & \"" + more + "\"") + "\\'a7String;\\'a7-1") +
        "<");
    // The output holds them as RTF escapes; reading it back gives the characters.
    word::Application app;
    const std::string produced = app.GetDocuments().Open(dir.file("out.rtf")).Content().Text();
    EXPECT_NE(produced.find("<>" + text + more + "<"), std::string::npos) << body(out);
}

TEST_F(ProductionTest, LineBreaksThatEndControlWordsKeepTheTextAfterThem) {
    // As word processors write it: control words ended by CR LF before text,
    // between fields and inside a field's code (there also by a bare LF).
    const std::string field = test::systemField(true, "E",
        "\\'22a\\'22 & \\cf0\r\nChr(98) & \\cf0\nChr(99)\\'a7String;\\'a7-1");
    produce("Num:\\par\r\nNum:\\page\r\nPerformance\\loch\r\n" + field +
            "\\par\r\nEnd\\par\r\n 2");
    word::Application app;
    const std::string text = app.GetDocuments().Open(dir.file("out.rtf")).Content().Text();
    EXPECT_NE(text.find("Num:\rNum:\fPerformance"), std::string::npos) << text;
    EXPECT_NE(text.find("Performanceabc\rEnd\r 2"), std::string::npos) << text;
}

TEST_F(ProductionTest, ProgramAssemblyAndRebuilds) {
    const std::string t = writeTemplate("x");
    p.TemplateFile(t);
    p.OutputFile(dir.file("o.rtf"));
    p.Execute();
    const std::string lib = test::readFile(libDir + "/qzLib.vbs");
    EXPECT_EQ(p.Program().Program, "\r\n" + lib + "\r\nSub Main()\r\noRun.printRtf ( 0)\r\nEnd Sub");
    EXPECT_EQ(p.Program().ModuleLines, 0);
    EXPECT_EQ(p.Program().QzCustomLines, 0);

    // Libraries appear at the next build only; a module written with LF line
    // ends counts its lines the same way.
    dir.write("lib/qzCustom.vbs", "Function Twice(x)\r\nTwice = 2 * x\r\nEnd Function");
    dir.write("t.vbs", "Function Plus1(x)\nPlus1 = x + 1\nEnd Function\n");
    dir.write("t.rtf", rtfDocument(expressionField("E", "Plus1(Twice(20))", "String;")));
    p.Execute();
    EXPECT_EQ(body(test::readFile(dir.file("o.rtf"))), "x");  // the previous build ran again
    p.TemplateFile(t);  // the same path: rebuilds
    p.Execute();
    EXPECT_EQ(body(test::readFile(dir.file("o.rtf"))), "\r\n{\\f0\\fs24\\cf0 41}\r\n");
    EXPECT_EQ(p.Program().QzCustomLines, 3);
    EXPECT_EQ(p.Program().ModuleLines, 4);
    EXPECT_EQ(p.Program().ModuleFileName, "t.vbs");
    EXPECT_EQ(p.Program().Program.substr(0, lib.size() + 2), "\r\n" + lib);
    EXPECT_NE(p.Program().Program.find("\r\nEnd Function\r\nFunction Plus1(x)\r\nPlus1 = x + 1\r\n"),
              std::string::npos);
}

TEST_F(ProductionTest, RegisteredNames) {
    p.AddObject(" A ", nullptr);
    EXPECT_EQ(errorOf([&] { p.AddObject("a", nullptr); }).Number, ownError(3008));
    EXPECT_EQ(errorOf([&] { p.AddProperty("  A", Variant::fromUtf8("x")); }).Number, ownError(3008));
    EXPECT_EQ(errorOf([&] { p.AddObject("   ", nullptr); }).Number, ownError(3007));
    EXPECT_EQ(errorOf([&] { p.AddProperty("O", Variant(Ref<Dispatch>(makeRef<QZObject>()))); }).Number,
              ownError(3117));
    p.AddProperty("B", Variant::fromUtf8("x"));
    p.AddProperty("\xc3\xa9t\xc3\xa9", Variant::fromUtf8("x"));  // été
    EXPECT_EQ(errorOf([&] { p.AddProperty("\xc3\x89T\xc3\x89", Variant::fromUtf8("y")); }).Number,
              ownError(3008));  // ÉTÉ
    EXPECT_EQ(p.ObjectNames(), (std::vector<std::string>{"A", "B", "\xc3\xa9t\xc3\xa9"}));
    p.ClearObjects();
    EXPECT_TRUE(p.ObjectNames().empty());
    p.AddProperty("a", Variant::fromUtf8("again"));
    EXPECT_EQ(p.ObjectNames(), (std::vector<std::string>{"a"}));
}

TEST_F(ProductionTest, FileErrors) {
    EXPECT_EQ(errorOf([&] { p.TemplateFile(dir.file("none.rtf")); }).Number, ownError(3010));
    EXPECT_EQ(errorOf([&] { p.AddXmlRecordset("R", dir.file("none.xml")); }).Number, ownError(3010));

    // The template disappears after it was assigned.
    p.TemplateFile(writeTemplate("x"));
    std::filesystem::remove(dir.file("t.rtf"));
    p.OutputFile(dir.file("o.rtf"));
    AutomationError e = errorOf([&] { p.Execute(); });
    EXPECT_EQ(e.Number, ownError(3001));
    EXPECT_EQ(e.Description, "Cannot find the Quorvane template file. ");

    // The QZC path is the template path without its last four characters, whatever they are.
    dir.write("a.rtfx", rtfDocument("x"));
    dir.write("a..qzc", qzcText());
    p.TemplateFile(dir.file("a.rtfx"));
    EXPECT_EQ(errorOf([&] { p.Execute(); }).Number, 0);
    dir.write("b.rtf", rtfDocument("x"));
    p.TemplateFile(dir.file("b.rtf"));
    EXPECT_EQ(errorOf([&] { p.Execute(); }).Number, ownError(3002));
    // A QZC file whose name differs in case only is found.
    dir.write("B.QZC", qzcText());
    EXPECT_EQ(errorOf([&] { p.Execute(); }).Number, 0);

    // Not RTF, unbalanced RTF, a field without payload.
    dir.write("c.qzc", qzcText());
    dir.write("c.rtf", "{\\RTF1 x}");
    p.TemplateFile(dir.file("c.rtf"));
    EXPECT_EQ(errorOf([&] { p.Execute(); }).Number, ownError(3003));
    dir.write("c.rtf", "{\\rtf1 {x}");
    p.TemplateFile(dir.file("c.rtf"));
    EXPECT_EQ(errorOf([&] { p.Execute(); }).Number, ownError(3112));
    dir.write("c.rtf", rtfDocument(test::systemField(true, "E", "x\\'a7String")));
    p.TemplateFile(dir.file("c.rtf"));
    EXPECT_EQ(errorOf([&] { p.Execute(); }).Number, ownError(4052));

    // No qzLib.vbs in the program folder.
    std::filesystem::remove(libDir + "/qzLib.vbs");
    p.TemplateFile(writeTemplate("x"));
    e = errorOf([&] { p.Execute(); });
    EXPECT_EQ(e.Number, ownError(4011));
    EXPECT_EQ(e.Description, "QzLib.vbs file missing in the application.");

    // An output file that cannot be created.
    std::filesystem::copy_file(shippedLib, libDir + "/qzLib.vbs",
                               std::filesystem::copy_options::overwrite_existing);
    p.OutputFile(dir.file("no/such/dir/o.rtf"));
    EXPECT_EQ(errorOf([&] { p.Execute(); }).Number, 76);
}

TEST_F(ProductionTest, ScriptErrorsMapToTheirField) {
    std::vector<ExecutionErrorInfo> events;
    p.ExecutionError = [&](const ExecutionErrorInfo& e) { events.push_back(e); };
    p.UseEventError(true);

    // A statement error on the second line of its field.
    dir.write("out.rtf", "the earlier document");
    produce("a" + statementField("Compute", "x = 1_QZCRLF  y = x / 0  _QZCRLFz = 3") + "b");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].lNumber, 11);
    EXPECT_EQ(events[0].eQzFieldType, qzstFieldStatement);
    EXPECT_EQ(events[0].sFieldLabel, "Compute");
    EXPECT_EQ(events[0].lFieldLine, 2);
    EXPECT_EQ(events[0].sText, "y = x / 0");
    EXPECT_TRUE(gbScriptErrorOccurred);
    // The run ended there; the half-made document is dropped and the earlier
    // one stays, with nothing left beside it.
    EXPECT_EQ(test::readFile(dir.file("out.rtf")), "the earlier document");
    for (const auto& f : std::filesystem::directory_iterator(dir.path()))
        EXPECT_FALSE(f.path().filename().string().ends_with(".tmp")) << f.path();

    // A type mismatch in a Currency expression names the kind.
    events.clear();
    produce(expressionField("Total", "\"abc\"", "Currency;NumDigits:2"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].lNumber, 13);
    EXPECT_EQ(events[0].sDescription, "Invalid currency value.");
    EXPECT_EQ(events[0].eQzFieldType, qzstFieldExpression);
    EXPECT_EQ(events[0].lFieldLine, 1);
    EXPECT_EQ(events[0].sText, "\"abc\"");
    EXPECT_EQ(events[0].sFieldLabel, "Total");

    // An error in the template's module.
    events.clear();
    dir.write("t.vbs", "Sub Boom()\r\n  Err.Raise 5\r\nEnd Sub");
    produce(statementField("Call", "Boom"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].eQzFieldType, qzstFieldModule);
    EXPECT_EQ(events[0].sFieldLabel, "t.vbs");
    EXPECT_EQ(events[0].lFieldLine, 2);
    EXPECT_EQ(events[0].sText, "Err.Raise 5");
    std::filesystem::remove(dir.file("t.vbs"));

    // A compile error still makes Execute fail, after the event.
    events.clear();
    AutomationError e = errorOf([&] { produce(statementField("Bad", "If Then Else")); });
    EXPECT_NE(e.Number, 0);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].eQzFieldType, qzstFieldStatement);
    EXPECT_EQ(events[0].sFieldLabel, "Bad");

    // Without the event, a run error fails Execute with 3005 and keeps its description.
    events.clear();
    p.UseEventError(false);
    gbScriptErrorOccurred = false;
    e = errorOf([&] { produce(statementField("Div", "x = 1 / 0")); });
    EXPECT_EQ(e.Number, ownError(3005));
    EXPECT_EQ(e.Description, "Division by zero");
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(gbScriptErrorOccurred);
}

// A program that leaves Main before the end of the document fails, naming
// the statement, and the earlier document stays; one that reaches the end
// (an Exit Sub not taken, End Sub with a call of the rest) is written whole.
TEST_F(ProductionTest, ADocumentCutShortIsNotWritten) {
    std::vector<ExecutionErrorInfo> events;
    p.ExecutionError = [&](const ExecutionErrorInfo& e) { events.push_back(e); };
    p.UseEventError(true);
    const std::string tail = expressionField("E", "1+1", "String;") + "after";
    auto cutShort = [&](const std::string& body) {
        events.clear();
        gbScriptErrorOccurred = false;
        dir.write("out.rtf", "the earlier document");
        produce(body);
        EXPECT_EQ(test::readFile(dir.file("out.rtf")), "the earlier document") << body;
        EXPECT_TRUE(gbScriptErrorOccurred);
        return events.size() == 1 ? events[0] : ExecutionErrorInfo{};
    };

    ExecutionErrorInfo e = cutShort("a" + statementField("Stop", "x = 1_QZCRLFIf x = 1 Then Exit Sub ' done") + tail);
    EXPECT_EQ(e.sDescription, "The program ended before the end of the document at the statement field \"Stop\" "
                              "(line 2: If x = 1 Then Exit Sub ' done); the output was not written");
    EXPECT_EQ(e.eQzFieldType, qzstFieldStatement);
    EXPECT_EQ(e.sFieldLabel, "Stop");
    EXPECT_EQ(e.lFieldLine, 2);
    // Words in strings and comments are passed over; statements joined by ":"
    // are found.
    e = cutShort("a" + statementField("S1", "s = \"Exit Sub\" ' End Sub") + "b" +
                 statementField("S2", "Rem End Sub_QZCRLFy = 2 : End  Sub_QZCRLFSub Rest()") + tail);
    EXPECT_EQ(e.sFieldLabel, "S2");
    EXPECT_EQ(e.lFieldLine, 2);
    // "End" and "Sub" joined by a line continuation.
    e = cutShort("a" + statementField("S3", "y = 2_QZCRLFEnd __QZCRLF Sub_QZCRLFSub Rest()") + tail);
    EXPECT_EQ(e.sFieldLabel, "S3");
    EXPECT_EQ(e.lFieldLine, 2);
    EXPECT_EQ(e.sDescription, "The program ended before the end of the document at the statement field \"S3\" "
                              "(line 2: End _); the output was not written");
    // The output closed by the script before its end.
    e = cutShort("a" + statementField("Close", "oRun.CloseOutputFile") + tail);
    EXPECT_EQ(e.sDescription, "oRun.CloseOutputFile closed the document before its end; the output was not written");
    EXPECT_EQ(e.sFieldLabel, "Close");
    e = cutShort("a" + statementField("Drop", "On Error Resume Next_QZCRLFoRun.CloseOutputFileClean") + tail);
    EXPECT_EQ(e.sDescription, "oRun.CloseOutputFileClean closed the document before its end; the output was not written");

    // Without the event, Execute fails with the same description.
    p.UseEventError(false);
    const AutomationError error = errorOf([&] { produce("a" + statementField("Quit", "Exit Sub") + tail); });
    EXPECT_EQ(error.Number, ownError(3005));
    EXPECT_NE(error.Description.find("statement field \"Quit\" (line 1: Exit Sub)"), std::string::npos);
    EXPECT_EQ(test::readFile(dir.file("out.rtf")), "the earlier document");

    // Reaching the end is whole.
    events.clear();
    EXPECT_EQ(body(produce("a" + statementField("S", "If False Then Exit Sub") + tail)),
              "a\r\n{\\f0\\fs24\\cf0 2}\r\nafter");
    EXPECT_EQ(body(produce("a" + statementField("S", "Rest_QZCRLFEnd Sub_QZCRLFSub Rest()") + tail)),
              "a\r\n{\\f0\\fs24\\cf0 2}\r\nafter");
    EXPECT_EQ(body(produce("a" + statementField("S", "Rest_QZCRLFEnd __QZCRLFSub_QZCRLFSub Rest()") + tail)),
              "a\r\n{\\f0\\fs24\\cf0 2}\r\nafter");
    EXPECT_TRUE(events.empty());
}

TEST_F(ProductionTest, EndlessLoopStoppedByTheTimeOut) {
    int timeouts = 0;
    std::vector<ExecutionErrorInfo> events;
    p.ExecutionTimeOut = [&] { ++timeouts; };
    p.ExecutionError = [&](const ExecutionErrorInfo& e) { events.push_back(e); };
    p.UseEventError(true);
    p.TimeOut(150.5);
    produce("a" + statementField("Spin", "Do_QZCRLFLoop"));
    EXPECT_EQ(timeouts, 1);
    EXPECT_TRUE(gbScriptErrorOccurred);
    // The engine is usable again afterwards.
    p.TimeOut(0);
    EXPECT_EQ(body(produce("b" + expressionField("E", "1+1", "String;"))), "b\r\n{\\f0\\fs24\\cf0 2}\r\n");
}

// The memory ceiling covers the run and the reading of the template; its
// error names the field where the run stopped, or the template too large.
TEST_F(ProductionTest, TheMemoryCeilingNamesTheFieldOrTheTemplate) {
    std::vector<ExecutionErrorInfo> events;
    p.ExecutionError = [&](const ExecutionErrorInfo& e) { events.push_back(e); };
    p.UseEventError(true);
    p.MemoryLimit(16 << 20);
    produce("a" + statementField("Grow", "x = 1_QZCRLFy = Split(String(3000000, \",\"), \",\")"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].lNumber, 7);
    EXPECT_EQ(events[0].eQzFieldType, qzstFieldStatement);
    EXPECT_EQ(events[0].sFieldLabel, "Grow");
    EXPECT_EQ(events[0].lFieldLine, 2);

    std::string many;
    for (int i = 0; i < 3000; ++i) many += statementField("F" + std::to_string(i), "x = 1 ' " + std::string(600, 'c'));
    p.MemoryLimit(2 << 20);
    try {
        produce(many);
        ADD_FAILURE() << "a template twice the ceiling was read";
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description.find("larger than the memory ceiling"), std::string::npos) << e.Description;
    }
    p.MemoryLimit(0);
    events.clear();
    produce(many);
    EXPECT_TRUE(events.empty());
}

TEST_F(ProductionTest, SavedRecordsetDrivesARepeatingRow) {
    const std::string examples = std::string(QZ_SOURCE_DIR) + "/examples/data/";
    p.AddXmlRecordset("Lines", examples + "Lines.xml");
    const std::string out = body(produce(
        statementField("Loop", "Do While Not Lines.EOF") + "\\row " +
        expressionField("Qty", "Lines.Fields(\"Quantity\").Value", "Number;NumDigits:0") +
        statementField("Next", "Lines.MoveNext_QZCRLFLoop")));
    EXPECT_EQ(out,
              "\r\n\\row \r\n{\\f0\\fs24\\cf0 1}\r\n\\row \r\n{\\f0\\fs24\\cf0 2}\r\n\\row \r\n{\\f0\\fs24\\cf0 6}\r\n"
              "\\row \r\n{\\f0\\fs24\\cf0 3}\r\n\\row \r\n{\\f0\\fs24\\cf0 1}\r\n");
}

TEST_F(ProductionTest, PictureLinkOfTheShippedLibrary) {
    p.AddProperty("Logo", Variant::fromUtf8("C:\\pics\\logo {1}.png"));
    const std::string out = body(produce(
        expressionField("Logo", "QzInsertPictureLinkRTF(Logo.Value)", "RTF;") + "|" +
        expressionField("Linux", "QzInsertPictureLinkRTF(\"/srv/img/a b.png\")", "RTF;", "-1", "") + "|" +
        expressionField("None", "QzInsertPictureLinkRTF(\"\")", "RTF;", "-1", "")));
    EXPECT_EQ(out,
              "\r\n{\\f0\\fs24\\cf0 {\\field{\\*\\fldinst INCLUDEPICTURE "
              "\"C:\\\\\\\\pics\\\\\\\\logo \\{1\\}.png\" \\\\d}{\\fldrslt }}}\r\n|\r\n"
              "{{\\field{\\*\\fldinst INCLUDEPICTURE \"/srv/img/a b.png\" \\\\d}{\\fldrslt }}}\r\n|\r\n"
              "{}\r\n");
}

TEST_F(ProductionTest, DamagedSavedRecordsetIsAnError) {
    dir.write("bad.xml", "<xml><s:Schema");
    EXPECT_NE(errorOf([&] { p.AddXmlRecordset("R", dir.file("bad.xml")); }).Number, 0);
    EXPECT_TRUE(p.ObjectNames().empty());
}

TEST_F(ProductionTest, DamagedTemplatesFailCleanly) {
    // The example template cut short and with bytes changed in its fields:
    // each run produces or fails with an error of the system, never worse.
    const std::string examples = std::string(QZ_SOURCE_DIR) + "/examples/";
    const std::string original = test::readFile(examples + "invoice.rtf");
    ASSERT_FALSE(original.empty());
    p.AddXmlRecordset("Invoice", examples + "data/Invoice.xml");
    p.AddXmlRecordset("Lines", examples + "data/Lines.xml");
    p.UseEventError(true);
    p.TimeOut(2000);
    dir.write("d.qzc", test::readFile(examples + "invoice.qzc"));
    p.OutputFile(dir.file("d-out.rtf"));
    std::mt19937 rng(5);
    int produced = 0, failed = 0;
    for (int i = 0; i < 60; ++i) {
        std::string t = original;
        if (i % 2 == 0) {
            t.resize(rng() % t.size());
        } else {
            for (int k = 0; k < 3; ++k) {
                std::size_t at = t.find("SET _QZ", rng() % t.size());
                if (at == std::string::npos) at = t.find("SET _QZ");
                t[at + 20 + rng() % 30] = "\"(){}\\' _\x01\xa7"[rng() % 11];
            }
        }
        dir.write("d.rtf", t);
        try {
            p.TemplateFile(dir.file("d.rtf"));
            p.Execute();
            ++produced;
        } catch (const AutomationError& e) {
            EXPECT_NE(e.Number, 0);
            ++failed;
        }
    }
    EXPECT_EQ(produced + failed, 60);
    EXPECT_GT(failed, 0);
}
