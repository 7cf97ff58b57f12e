// The qzstudio command given hostile data: a template's QZC file and the
// answers to its "?" parameters never do more than the template's author saw.
#include "CommandLineRun.h"
#include "TemplateRtf.h"

#include <gtest/gtest.h>

#include <filesystem>

using qz::test::expressionField;
using qz::test::rtfDocument;
using qz::test::statementField;

namespace {

namespace fs = std::filesystem;

const std::string kExamples = std::string(QZ_SOURCE_DIR) + "/examples";

std::string qzcWith(const std::string& name, const std::string& dataSource, const std::string& sql) {
    return "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties><ConnectionList>"
           "<Connection ID=\"ID1\"><Name>" + name + "</Name><DataSource>" + dataSource +
           "</DataSource><ConnectionType>0</ConnectionType><CommandList><Command ID=\"ID1\"><Name>Inv</Name><Text>" +
           sql + "</Text></Command></CommandList></Connection></ConnectionList></QZC>";
}

} // namespace

// A library shipped beside the template under another name is loaded neither
// through the QZC file nor through the script's own connection.
TEST(HostileInput, ALibraryNamedAsADriverIsNeverLoaded) {
    qz::test::TempDir dir;
    fs::copy_file(QZ_PLANTED_LIBRARY, dir.file("invoice.dat"));
    dir.write("t.qzc", qzcWith("Evil", "Provider=MSDASQL;Extended Properties=&quot;Driver=" + dir.file("invoice.dat") +
                                           "&quot;", "SELECT 1"));
    dir.write("t.rtf", rtfDocument(statementField("Open", "Set c = CreateObject(\"ADODB.Connection\")_QZCRLF"
                                                          "c.Open \"Driver=" + dir.file("invoice.dat") + "\"")));
    const std::string mark = dir.file("loaded");
    const Result r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")),
                              "QZ_PLANTED_MARK=" + quote(mark));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("left out connection \"Evil\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("which is not an installed ODBC driver"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("script error"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(mark));
}

// An answer that would run more SQL stops the run before any SQL runs.
TEST(HostileInput, AnAnswerIsOneValue) {
    qz::test::TempDir dir;
    fs::copy_file(kExamples + "/invoice.db", dir.file("shop.db"));
    const std::string db = qz::test::readFile(dir.file("shop.db"));
    dir.write("p.qzc", qzcWith("Shop", "Driver={SQLite3};Database=" + dir.file("shop.db"),
                               "SELECT InvoiceNo FROM Invoice WHERE InvoiceNo = ?"));
    dir.write("p.rtf", rtfDocument(expressionField("No", "Inv.Fields(0).Value", "String;MaxLength:0")));
    const std::string run = "produce " + quote(dir.file("p.rtf")) + " -o " + quote(dir.file("o.rtf")) + " --param ";
    Result r = qzstudio(dir, run + quote("'x'; DELETE FROM Invoice") + " </dev/null");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("is not one value"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("o.rtf")));
    EXPECT_EQ(qz::test::readFile(dir.file("shop.db")), db);
    r = qzstudio(dir, run + quote("'2026-0117'") + " </dev/null");
    EXPECT_EQ(r.exitCode, 0) << r.err;
}
