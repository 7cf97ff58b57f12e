// The preview as the studio runs it on a desktop whose locale writes a decimal
// comma (the toolkit sets the C library's locale from the environment): the
// script's literals, text coerced to numbers and the numbers of delimited
// files and workbooks come out as the command line gives them.
#include "common/CommaLocale.h"
#include "core/CoreFixture.h"
#include "designer/Designer.h"
#include "designer/ModMSWordMenuToolbar.h"
#include "designer/ModMsWordCurrentDocument.h"
#include "production/TemplateRtf.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

using namespace qz;
using namespace qz::designer;
namespace fs = std::filesystem;

namespace {

using test::TestHome;
using test::expressionField;
using test::statementField;

std::string quoted(const std::string& s) { return "'" + s + "'"; }

// The folder's template: fields over a CSV folder and an .xlsx workbook.
void WriteTemplate(const std::string& dir) {
    fs::create_directories(dir + "/csv");
    TestHome::write(dir + "/csv/prices.csv", "Item,Price\r\nTea,1.25\r\nCake,3.5\r\n");
    TestHome::write(dir + "/book.py",
                    "import sys, openpyxl\n"
                    "wb = openpyxl.Workbook()\n"
                    "ws = wb.active\n"
                    "ws.title = 'Prices'\n"
                    "for row in [('Item', 'Price'), ('Jam', 2.75), ('Bun', 0.5)]: ws.append(row)\n"
                    "wb.save(sys.argv[1])\n");
    ASSERT_EQ(std::system(("/usr/bin/python3 " + quoted(dir + "/book.py") + " " + quoted(dir + "/book.xlsx")).c_str()),
              0) << "python3-openpyxl is needed";
    auto connection = [](const char* id, const char* name, const char* type, const std::string& source,
                         const std::string& sql) {
        return std::string("<Connection ID=\"") + id + "\"><Name>" + name + "</Name><DataSource>" + source +
               "</DataSource><ConnectionType>" + type + "</ConnectionType><CommandList><Command ID=\"ID1\"><Name>" +
               name + "</Name><Text>" + sql + "</Text></Command></CommandList></Connection>";
    };
    TestHome::write(
        dir + "/Prices.qzc",
        "<QZC><TemplateProperties><Version>8.2.2</Version><RevisionKeep>12</RevisionKeep><Locale>1033</Locale>"
        "</TemplateProperties><ConnectionList>" +
            connection("ID1", "Csv", "4",
                       "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"csv\";Extended "
                       "Properties=\"text;HDR=YES;FMT=Delimited\"",
                       "SELECT Item, Price FROM [prices#csv]") +
            connection("ID2", "Xlsx", "1",
                       "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"book.xlsx\";Extended Properties=Excel 12.0;",
                       "SELECT Item, Price FROM [Prices$]") +
            "</ConnectionList></QZC>");
    // Sums a command's prices into t, and names the type they came as in k.
    auto sum = [](const std::string& rs) {
        const std::string price = rs + ".Fields(\"Price\").Value";
        return "t = 0_QZCRLFDo Until " + rs + ".EOF_QZCRLF  t = t + " + price + "_QZCRLF  k = TypeName(" + price +
               ")_QZCRLF  " + rs + ".MoveNext_QZCRLFLoop";
    };
    TestHome::write(dir + "/Prices.rtf",
                    test::rtfDocument(
                        "A=" + expressionField("A", "1.5 * 2", "String;MaxLength:0") +
                        " B=" + expressionField("B", "CDbl(\"2.5\") * 2", "String;MaxLength:0") +
                        statementField("Csv", sum("Csv")) + " C=" + expressionField("C", "t & \" \" & k", "String;MaxLength:0") +
                        statementField("Xlsx", sum("Xlsx")) + " X=" + expressionField("X", "t & \" \" & k", "String;MaxLength:0")));
}

TEST(DecimalCommaPreview, ThePreviewComputesAsTheCommandLine) {
    TestHome home;
    test::RecordingHost host;
    ui::setCurrentHost(&host);
    const std::string dir = home.root() + "/templates";
    WriteTemplate(dir);
    {
        test::CommaLocale comma;
        ASSERT_TRUE(comma.ok()) << comma.why();
        word::Application app;
        InstallAddinTemplate(app);
        Designer designer;
        designer.Initialize(app);
        app.GetDocuments().Open(dir + "/Prices.rtf");
        ModMsWordCurrentDocument(app).UpdateCustomDocumentProperty("8.2.2"); // a template of this version
        designer.HandleCmd(qzCmdItemDocumentChange);
        designer.HandleCmd(qzCmdItemPreviewDocument);
        ASSERT_TRUE(host.errorTexts.empty()) << host.errorTexts[0];
        const std::string preview = app.ActiveDocument().Content().Text();
        EXPECT_NE(preview.find("A=3 B=5 C=4.75 Double X=3.25 Double"), std::string::npos) << preview;

        // The command line, started under the same locale, writes the same document.
        const std::string cmd = "env " + comma.Env() + " " + quoted(QZSTUDIO) + " produce " +
                                quoted(dir + "/Prices.rtf") + " -o " + quoted(dir + "/out.rtf") + " >/dev/null 2>&1";
        const int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(app.GetDocuments().Open(dir + "/out.rtf").Content().Text(), preview);
    }
    ui::setCurrentHost(nullptr);
}

} // namespace
