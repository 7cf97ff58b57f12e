// The qzstudio command, run as a user runs it: a real process, real files.
#include "TemplateRtf.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

using qz::test::expressionField;
using qz::test::rtfDocument;
using qz::test::statementField;

namespace {

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Result qzstudio(const qz::test::TempDir& dir, const std::string& args) {
    const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    const std::string cmd = quote(QZSTUDIO) + " " + args + " >" + quote(out) + " 2>" + quote(err);
    const int status = std::system(cmd.c_str());
    Result r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = qz::test::readFile(out);
    r.err = qz::test::readFile(err);
    return r;
}

const std::string kExamples = std::string(QZ_SOURCE_DIR) + "/examples";

} // namespace

TEST(CommandLine, VersionAndUsage) {
    qz::test::TempDir dir;
    Result r = qzstudio(dir, "--version");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "qzstudio 8.2.2\n");
    r = qzstudio(dir, "--help");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("produce"), std::string::npos);
    r = qzstudio(dir, "produce");
    EXPECT_NE(r.exitCode, 0);
    r = qzstudio(dir, "produce x.rtf -o y.rtf --property novalue");
    EXPECT_NE(r.exitCode, 0);
}

TEST(CommandLine, ProducesTheExampleInvoiceFromEitherSource) {
    qz::test::TempDir dir;
    Result db = qzstudio(dir, "produce " + quote(kExamples + "/invoice.rtf") + " -o " +
                                  quote(dir.file("db.rtf")) + " --connections");
    ASSERT_EQ(db.exitCode, 0) << db.err;
    Result xml = qzstudio(dir, "produce " + quote(kExamples + "/invoice.rtf") + " -o " +
                                   quote(dir.file("xml.rtf")) + " --xml-recordset Invoice=" +
                                   quote(kExamples + "/data/Invoice.xml") + " -x Lines=" +
                                   quote(kExamples + "/data/Lines.xml"));
    ASSERT_EQ(xml.exitCode, 0) << xml.err;
    const std::string doc = qz::test::readFile(dir.file("db.rtf"));
    EXPECT_EQ(doc, qz::test::readFile(dir.file("xml.rtf")));

    // One table row per order line, the totals, the condition's paragraph, the
    // French date and the characters of the code page.
    std::size_t rows = 0;
    for (std::size_t p = doc.find("\\row"); p != std::string::npos; p = doc.find("\\row", p + 1)) ++rows;
    EXPECT_EQ(rows, 6u);  // the header and five lines
    for (const char* s : {"$2,450.00", "$4,094.65", "$204.73", "$777.98", "$4,667.90",
                          "5%", "20.0%", "Monday, November 30, 2026", "lundi 30 novembre 2026", "12/30/2026",
                          "Brasserie L\xe9on & Fils", "\\{kitchen\\}", "2026-0117"})
        EXPECT_NE(doc.find(s), std::string::npos) << s;
    EXPECT_EQ(doc.find("QZStatement377"), std::string::npos);
    EXPECT_EQ(doc.find("MACROBUTTON"), std::string::npos);
}

TEST(CommandLine, ReportsFailuresWithTheirMessage) {
    qz::test::TempDir dir;
    Result r = qzstudio(dir, "produce " + quote(dir.file("none.rtf")) + " -o " + quote(dir.file("o.rtf")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "qzstudio: " + dir.file("none.rtf") + ": error 3010: The file specified does not exist.\n");

    dir.write("bad.rtf", "plain text");
    dir.write("bad.qzc", "<QZC/>");
    r = qzstudio(dir, "produce " + quote(dir.file("bad.rtf")) + " -o " + quote(dir.file("o.rtf")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "qzstudio: " + dir.file("bad.rtf") + ": error 3003: Cannot find a valid input file.\n");

    // The output must not replace the template.
    r = qzstudio(dir, "produce " + quote(dir.file("bad.rtf")) + " -o " + quote(dir.path() + "/./bad.rtf"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(qz::test::readFile(dir.file("bad.rtf")), "plain text");

    dir.write("open.rtf", rtfDocument("{\\b x"));
    dir.write("open.qzc", "<QZC/>");
    r = qzstudio(dir, "produce " + quote(dir.file("open.rtf")) + " -o " + quote(dir.file("o.rtf")));
    EXPECT_EQ(r.err, "qzstudio: " + dir.file("open.rtf") + ": error 3112: Unable to interpret the RTF file.\n");
}

TEST(CommandLine, ReportsAScriptErrorAtItsField) {
    qz::test::TempDir dir;
    dir.write("t.qzc", "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties></QZC>");
    dir.write("t.rtf", rtfDocument("Total: " +
                                   statementField("Compute total", "x = 1_QZCRLF   y = x / 0   _QZCRLFz = 2") +
                                   expressionField("X", "x", "Number;NumDigits:0")));
    Result r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "qzstudio: script error 11: Division by zero\n"
              "  source: Microsoft VBScript runtime error\n"
              "  field kind: 2 (statement)\n"
              "  field label: Compute total\n"
              "  field line: 2\n"
              "  text: y = x / 0\n"
              "qzstudio: " + dir.file("o.rtf") + " may hold a partial document\n");

    // An endless loop is stopped by the time-out.
    dir.write("t.rtf", rtfDocument(statementField("Spin", "Do_QZCRLFLoop")));
    r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")) + " -t 100");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("stopped by the time-out"), std::string::npos) << r.err;
}

TEST(CommandLine, TemplateConnectionsTakeTheirParametersInOrder) {
    qz::test::TempDir dir;
    std::filesystem::copy_file(kExamples + "/invoice.db", dir.file("shop.db"));
    dir.write("p.qzc",
              "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties><ConnectionList>"
              "<Connection ID=\"ID1\"><Name>Shop</Name>"
              "<DataSource>Provider=Microsoft.Jet.OLEDB.4.0;Data Source=shop.db</DataSource>"
              "<ConnectionType>0</ConnectionType><CommandList>"
              "<Command ID=\"ID1\"><Name>Inv</Name>"
              "<Text>SELECT InvoiceNo FROM Invoice WHERE InvoiceNo = ?</Text></Command>"
              "</CommandList></Connection></ConnectionList></QZC>");
    dir.write("p.rtf", rtfDocument("No. " + expressionField("No", "Inv.Fields(\"InvoiceNo\").Value", "String;MaxLength:0")));

    const std::string args = "produce " + quote(dir.file("p.rtf")) + " -o " + quote(dir.file("o.rtf")) +
                             " --connections";
    Result r = qzstudio(dir, args + " --param \"'2026-0117'\" </dev/null");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(qz::test::readFile(dir.file("o.rtf")).find("{\\f0\\fs24\\cf0 2026-0117}"), std::string::npos)
        << qz::test::readFile(dir.file("o.rtf"));

    // Without a value and without a terminal to ask on, the command is left
    // out and said so; the script then misses its object.
    r = qzstudio(dir, args + " </dev/null");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("qzstudio: left out connection \"Shop\", command \"Inv\": no value for"),
              std::string::npos) << r.err;
    EXPECT_NE(r.err.find("script error"), std::string::npos) << r.err;
}
