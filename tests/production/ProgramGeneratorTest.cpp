#include "production/ProgramGenerator.h"
#include "production/ScriptErrorMapping.h"

#include "TemplateRtf.h"

#include <gtest/gtest.h>

using namespace qz;
using namespace qz::production;
using qz::test::expressionField;
using qz::test::statementField;

namespace {

struct Generated {
    std::string program;
    FieldLineTable table;
};

Generated generate(const std::string& body, const TemplateDefaults& defaults = {}) {
    RtfInterpreter r;
    r.ExtractRTFAndQzFields("{\\rtf1 " + body + "}");
    Generated g;
    g.program = CreateVirtualProgram(r, defaults, g.table);
    return g;
}

std::string expLine(std::string_view format, std::int32_t locale = -1,
                    const TemplateDefaults& d = {}) {
    return CreateVbScriptExpLine("x", locale, format, "\\f1 ", d);
}

} // namespace

TEST(ProgramGenerator, SingleRunGivesFourLinesAndThreeRecords) {
    RtfInterpreter r;
    r.ExtractRTFAndQzFields("{\\rtf1 plain}");
    FieldLineTable t;
    EXPECT_EQ(CreateVirtualProgram(r, {}, t), "\r\nSub Main()\r\noRun.printRtf ( 0)\r\nEnd Sub");
    ASSERT_EQ(t.Records().size(), 3u);
    EXPECT_EQ(t.Records()[0].FirstLine, 1);
    EXPECT_EQ(t.Records()[0].LineCount, 2);
    EXPECT_EQ(t.Records()[0].ElementType, 1);
    EXPECT_EQ(t.Records()[1].FirstLine, 3);
    EXPECT_EQ(t.Records()[1].LineCount, 1);
    EXPECT_EQ(t.Records()[1].Code, "oRun.printRtf ( 0)");
    EXPECT_EQ(t.Records()[2].FirstLine, 4);
    EXPECT_EQ(t.Records()[2].Code, "End Sub");
    EXPECT_EQ(t.LineCount(), 4);
}

TEST(ProgramGenerator, StatementsKeepTheirLinesAndRunsCountUp) {
    std::string body;
    for (int i = 0; i < 12; ++i) body += "r{\\b x}";  // one run
    body += statementField("Loop", "For i = 1 To 3_QZCRLF  n = n + i_QZCRLFNext");
    body += "a" + statementField("Two", "y = 2") + "b";
    Generated g = generate(body);
    EXPECT_EQ(g.program,
              "\r\nSub Main()\r\noRun.printRtf ( 0)\r\nFor i = 1 To 3\r\n  n = n + i\r\nNext"
              "\r\noRun.printRtf ( 1)\r\ny = 2\r\noRun.printRtf ( 2)\r\nEnd Sub");
    const auto& rec = g.table.Records();
    ASSERT_EQ(rec.size(), 7u);
    EXPECT_EQ(rec[2].Label, "Loop");
    EXPECT_EQ(rec[2].FirstLine, 4);
    EXPECT_EQ(rec[2].LineCount, 3);
    EXPECT_EQ(rec[3].FirstLine, 7);
    EXPECT_EQ(rec[4].FirstLine, 8);
    EXPECT_EQ(rec[4].Code, "y = 2");
    EXPECT_EQ(rec[6].FirstLine, 10);

    // The thirteenth run is printed by position 12.
    std::string many;
    for (int i = 0; i < 13; ++i) many += "r" + statementField("S", "s");
    EXPECT_NE(generate(many).program.find("\r\noRun.printRtf ( 12)\r\n"), std::string::npos);
}

TEST(ProgramGenerator, ExpressionBlockText) {
    EXPECT_EQ(expLine("Number;NumDigits:2;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:-1;BlankProtect:-1"),
              "If IsNull(x) or IsEmpty(x) Then\r\n"
              "   oRun.PrintExp \"\",0,\"\\f1 \",0\r\n"
              "Else \r\n"
              "oRun.PrintExp FormatNumber(x, 2, -1, 0, -1),-1,\"\\f1 \", 0\r\n"
              "End If ");

    // An installed locale wraps the block; a locale that is not installed does not.
    EXPECT_EQ(expLine("String;UseDefaultProperties:-1", 1036),
              "qzLocaleTemp_ = GetLocale()\r\nSetLocale(1036)\r\n"
              "If IsNull(x) or IsEmpty(x) Then\r\n"
              "   oRun.PrintExp \"\",0,\"\\f1 \",0\r\n"
              "Else \r\n"
              "oRun.PrintExp x,0,\"\\f1 \", 0\r\n"
              "End If \r\n"
              "SetLocale(qzLocaleTemp_)");
    EXPECT_EQ(CountLineFeeds(expLine("String;", 12345)), 4);
    EXPECT_EQ(CountLineFeeds(expLine("String;", 0)), 4);
    EXPECT_EQ(CountLineFeeds(""), 0);
    EXPECT_EQ(CountLineFeeds("\n\n\r\nx\r\n"), 4);  // line feeds at both ends and side by side
}

TEST(ProgramGenerator, FormattingExpressionByKind) {
    auto mainLine = [](const std::string& block) {
        const std::size_t a = block.find("Else \r\n") + 7;
        return block.substr(a, block.find("\r\n", a) - a);
    };
    EXPECT_EQ(mainLine(expLine("String;MaxLength:5;BlankProtect:-1")),
              "oRun.PrintExp Left(x, 5),-1,\"\\f1 \", 0");
    EXPECT_EQ(mainLine(expLine("String;MaxLength:0")), "oRun.PrintExp x,0,\"\\f1 \", 0");
    EXPECT_EQ(mainLine(expLine("Date/Time;DateTime:1;BlankProtect:0")),
              "oRun.PrintExp FormatDateTime(x, 1),0,\"\\f1 \", 0");
    EXPECT_EQ(mainLine(expLine("Date/Time;DateTime:0")), "oRun.PrintExp x,0,\"\\f1 \", 0");
    EXPECT_EQ(mainLine(expLine("Currency;NumDigits:0;LeadingDigit:0;UseParensForNeg:-1;GroupDigits:0")),
              "oRun.PrintExp FormatCurrency(x, 0, 0, -1, 0),0,\"\\f1 \", 0");
    EXPECT_EQ(mainLine(expLine("Percent;NumDigits:1")),
              "oRun.PrintExp FormatPercent(x, 1, -2, -2, -2),0,\"\\f1 \", 0");
    // RTF: value unchanged, never blank-protected, RTF flag set.
    EXPECT_EQ(mainLine(expLine("RTF;BlankProtect:-1")), "oRun.PrintExp x,0,\"\\f1 \", -1");
    // An unknown kind is formatted as a string.
    EXPECT_EQ(mainLine(expLine("Text;MaxLength:3")), "oRun.PrintExp Left(x, 3),0,\"\\f1 \", 0");

    // The template defaults stand in when the field uses them.
    TemplateDefaults d;
    d.StringFormat = "MaxLength:7;BlankProtect:-1";
    d.DateTimeFormat = "DateTime:3;BlankProtect:0";
    d.NumberFormat = "NumDigits:3;LeadingDigit:0;UseParensForNeg:0;GroupDigits:0;BlankProtect:0";
    d.CurrencyFormat = "NumDigits:0;LeadingDigit:-1;UseParensForNeg:-1;GroupDigits:-1;BlankProtect:-1";
    d.PercentFormat = "NumDigits:4;LeadingDigit:0;UseParensForNeg:0;GroupDigits:0;BlankProtect:0";
    EXPECT_EQ(mainLine(expLine("String;UseDefaultProperties:-1", -1, d)),
              "oRun.PrintExp Left(x, 7),-1,\"\\f1 \", 0");
    EXPECT_EQ(mainLine(expLine("Date/Time;UseDefaultProperties:-1", -1, d)),
              "oRun.PrintExp FormatDateTime(x, 3),0,\"\\f1 \", 0");
    EXPECT_EQ(mainLine(expLine("Number;UseDefaultProperties:-1", -1, d)),
              "oRun.PrintExp FormatNumber(x, 3, 0, 0, 0),0,\"\\f1 \", 0");
    EXPECT_EQ(mainLine(expLine("Currency;UseDefaultProperties:-1", -1, d)),
              "oRun.PrintExp FormatCurrency(x, 0, -1, -1, -1),-1,\"\\f1 \", 0");
    EXPECT_EQ(mainLine(expLine("Percent;UseDefaultProperties:-1", -1, d)),
              "oRun.PrintExp FormatPercent(x, 4, 0, 0, 0),0,\"\\f1 \", 0");
}

TEST(ProgramGenerator, TemplateLocaleLine) {
    TemplateDefaults d;
    d.Locale = 1033;
    EXPECT_EQ(generate("a", d).program, "\r\nSub Main()\r\nSetLocale(1033)\r\noRun.printRtf ( 0)\r\nEnd Sub");
    Generated g = generate("a", d);
    EXPECT_EQ(g.table.Records()[0].LineCount, 3);
    EXPECT_EQ(g.table.Records()[1].FirstLine, 4);
    d.Locale = 99999;
    EXPECT_EQ(generate("a", d).program, "\r\nSub Main()\r\noRun.printRtf ( 0)\r\nEnd Sub");
}

TEST(ScriptErrorMapping, LibrariesAndFields) {
    Generated g = generate("a" + statementField("Check", "If x Then_QZCRLF   y = 1 / 0  _QZCRLFEnd If") +
                           expressionField("Total", "rs(\"Total\")", "Currency;NumDigits:2"));
    BuiltProgram b;
    b.QzLibLines = 100;
    b.ModuleLines = 20;
    b.ModuleFileName = "invoice.vbs";
    b.Program = "\r\n";
    for (int i = 1; i <= 100; ++i) b.Program += "lib " + std::to_string(i) + "\r\n";
    for (int i = 1; i <= 20; ++i) b.Program += "  mod " + std::to_string(i) + (i < 20 ? "\r\n" : "");
    b.Program += g.program;
    b.Table = g.table;

    QzFieldInfo i = RetrieveQzFieldInfo(b, 2);
    EXPECT_EQ(i.SourceName, "qzLib.vbs");
    EXPECT_EQ(i.FieldLine, 1);
    EXPECT_EQ(i.Location, qzstFieldModule);
    EXPECT_EQ(i.Text, "lib 1");

    i = RetrieveQzFieldInfo(b, 121);
    EXPECT_EQ(i.SourceName, "invoice.vbs");
    EXPECT_EQ(i.FieldLine, 20);
    EXPECT_EQ(i.Text, "mod 20");

    // "Sub Main()" and a printRtf line map to no field.
    EXPECT_EQ(RetrieveVbScriptCodeLine(b.Program, 122), "Sub Main()");
    i = RetrieveQzFieldInfo(b, 122);
    EXPECT_EQ(i.Location, qzstFieldNone);
    EXPECT_EQ(i.SourceName, "");
    EXPECT_EQ(i.FieldLine, 0);
    EXPECT_EQ(RetrieveQzFieldInfo(b, 123).Location, qzstFieldNone);

    // The second line of a three-line statement.
    i = RetrieveQzFieldInfo(b, 125);
    EXPECT_EQ(i.Location, qzstFieldStatement);
    EXPECT_EQ(i.SourceName, "Check");
    EXPECT_EQ(i.FieldLine, 2);
    EXPECT_EQ(i.Text, "y = 1 / 0");

    // Any line of an expression block is line 1 of the field, with its code.
    for (int line = 127; line <= 131; ++line) {
        i = RetrieveQzFieldInfo(b, line);
        EXPECT_EQ(i.Location, qzstFieldExpression) << line;
        EXPECT_EQ(i.FieldLine, 1);
        EXPECT_EQ(i.Text, "rs(\"Total\")");
        EXPECT_EQ(i.SourceName, "Total");
    }
    EXPECT_EQ(MappedDescription(i, 13, "Type mismatch"), "Invalid currency value.");
    EXPECT_EQ(MappedDescription(i, 5, "Invalid procedure call or argument"), "Invalid currency value.");
    EXPECT_EQ(MappedDescription(i, 11, "Division by zero"), "Division by zero");

    // Beyond the program: no location, no text.
    i = RetrieveQzFieldInfo(b, 500);
    EXPECT_EQ(i.Location, qzstFieldNone);
    EXPECT_EQ(RetrieveVbScriptCodeLine(b.Program, 500), "");
    EXPECT_EQ(RetrieveVbScriptCodeLine(b.Program, 0), "");
}
