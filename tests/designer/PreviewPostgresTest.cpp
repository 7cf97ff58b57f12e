// The preview of a template whose data comes from the PostgreSQL server the
// tests start, through ODBC, with a "?" parameter answered in its prompt.
#include "common/PgServer.h"
#include "core/CoreFixture.h"
#include "designer/Designer.h"
#include "designer/forms/frmParameters.h"
#include "designer/ModMSWordMenuToolbar.h"
#include "designer/ModMsWordCurrentDocument.h"
#include "designer/modMSWordFields.h"

#include <filesystem>

using namespace qz;
using namespace qz::designer;

TEST(PreviewPostgres, ProducesTheRowsTheParameterChooses) {
    std::string why;
    test::PgServer* pg = test::PgServer::Instance(&why);
    if (!pg) GTEST_SKIP() << "PostgreSQL cannot run here: " << why;
    std::string error;
    ASSERT_TRUE(pg->CreateDatabase("shop", &error)) << error;
    ASSERT_TRUE(pg->Execute("shop", "CREATE TABLE c (name TEXT, city TEXT);"
                                    "INSERT INTO c VALUES ('Anna', 'Rome'), ('Bob', 'Oslo');", &error)) << error;

    test::TestHome home;
    test::RecordingHost host;
    ui::setCurrentHost(&host);
    word::Application app;
    InstallAddinTemplate(app);
    {
        Designer designer;
        designer.Initialize(app);
        const std::string dir = home.root() + "/templates";
        std::filesystem::create_directories(dir);
        app.GetDocuments().Add();
        app.GetSelection().TypeText("Customer: ");
        modMSWordFields(app).InsertExpressionField("Name", "Cust.Fields(\"name\").Value", "String;UseDefaultProperties:-1", "-1");
        ModMsWordCurrentDocument(app).UpdateCustomDocumentProperty("8.2.2");
        app.ActiveDocument().SaveAs(dir + "/Shop.rtf", 6);
        test::TestHome::write(dir + "/Shop.qzc",
                              "<QZC><TemplateProperties><Version>8.2.2</Version><RevisionKeep>12</RevisionKeep>"
                              "</TemplateProperties><ConnectionList><Connection ID=\"ID1\"><Name>Pg</Name><DataSource>" +
                                  pg->OdbcConnectionString("shop") +
                                  "</DataSource><ConnectionType>5</ConnectionType><CommandList><Command ID=\"ID1\">"
                                  "<Name>Cust</Name><Text>SELECT name FROM c WHERE city = ?</Text></Command>"
                                  "</CommandList></Connection></ConnectionList></QZC>");
        designer.HandleCmd(qzCmdItemDocumentChange);
        host.queueFormAction([](ui::Form& prompt) {
            EXPECT_EQ(prompt.Caption, "city = ?");
            static_cast<ui::TextBox*>(prompt.Controls()[1])->Text = "'Oslo'";
            dynamic_cast<frmParameters&>(prompt).cmdOk_Click();
        });
        designer.HandleCmd(qzCmdItemPreviewDocument);
        EXPECT_TRUE(host.errorTexts.empty()) << host.errorTexts[0];
        EXPECT_TRUE(host.requests(ui::UiRequest::MsgBox).empty());
        ASSERT_EQ(app.GetDocuments().Count(), 2);
        const std::string produced = app.ActiveDocument().Content().Text();
        EXPECT_NE(produced.find("Customer: Bob"), std::string::npos) << produced;
        EXPECT_EQ(produced.find("Anna"), std::string::npos);
    }
    ui::setCurrentHost(nullptr);
}
