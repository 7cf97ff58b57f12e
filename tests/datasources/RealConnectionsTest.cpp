// Test Connection of the connection editor against real data of every kind
// this system reads: the PostgreSQL server the tests start (through a data
// source the wizard writes and through a driver string), an Access database,
// an Excel workbook, a folder of text files; and the provider's own words,
// never a password, when the data cannot be opened.
#include "DataSourceWindowsFixture.h"

#include "ado/SameData.h"
#include "common/PgServer.h"
#include "config/QZCFile.h"
#include "datasources/forms/frmConnection.h"
#include "datasources/forms/frmCreateDataSource.h"

using namespace qz;
using namespace qz::datasources;

namespace {

// The process's ODBC configuration is the test server's, made before main.
[[maybe_unused]] const bool kServersOdbc = (test::DataSourceWindows::useOwnOdbcConfig = false);

struct RealConnections : test::DataSourceWindows {
    frmConnection e;
    QZCFile file;
    void Open(const std::string& type, const std::string& ds) {
        WriteQzc(Connection("ID1", "C", type, ds));
        file.Load(qzcPath);
        e.QzConnection(file.ConnectionList()->FindItem("ID1"));
        e.QzConnectionList(file.ConnectionList());
        e.Initialize();
    }
    // Test Connection: "" when it succeeded, else what the author was shown.
    std::string Test() {
        const std::size_t boxes = Boxes().size(), errors = host.errorTexts.size();
        e.cmdTestConnection_Click();
        if (Boxes().size() > boxes) return Boxes().back() == "Connection succeeded!" ? "" : Boxes().back();
        return host.errorTexts.size() > errors ? host.errorTexts.back() : "nothing shown";
    }
};

} // namespace

TEST_F(RealConnections, PostgresThroughAWizardsDataSourceAndThroughADriverString) {
    std::string whyNot;
    test::PgServer* pg = test::PgServer::Instance(&whyNot);
    if (!pg && !test::PgServer::Installed()) GTEST_SKIP() << whyNot;
    ASSERT_NE(pg, nullptr) << whyNot;
    ASSERT_TRUE(pg->CreateDatabase("qzwindows"));
    Open("5", "");
    host.queueFormAction([&](ui::Form& f) {
        auto& w = dynamic_cast<frmCreateDataSource&>(f);
        for (int i = 0; i < w.lstDrivers.ListCount(); ++i)
            if (w.lstDrivers.List(i) == "QzPostgreSQL") w.lstDrivers.Select(i);
        w.txtName.Text = "QzWindows";
        w.txtServer.Text = "127.0.0.1";
        w.txtPort.Text = std::to_string(pg->Port());
        w.txtDatabase.Text = "qzwindows";
        w.cmdFinish_Click();
    });
    e.cmdNewODBC_Click();
    ASSERT_EQ(e.cboODBC.ListCount(), 1);
    e.cboODBC.Select(0);
    e.txtODBCUsername.Text = "postgres";
    EXPECT_EQ(Test(), "");
    // OK stores the data source by name, and it opens again from the file.
    Drive(e, [&] { e.cmdOK_Click(); });
    Open("5", file.ConnectionList()->FindItem("ID1")->DataSource);
    EXPECT_EQ(e.cboODBC.ListIndex, 0);
    EXPECT_EQ(Test(), "");
    // A driver string typed as an OLE-DB string; a database that is not there.
    Open("6", pg->OdbcConnectionString("qzwindows"));
    EXPECT_EQ(Test(), "");
    e.txtOLEDBString.Text = pg->OdbcConnectionString("nosuchdb") + "Pwd=Sw0rdfish;";
    const std::string shown = Test();
    EXPECT_NE(shown.find("nosuchdb"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Sw0rdfish"), std::string::npos) << shown;
}

TEST_F(RealConnections, AccessWorkbookTextFolderAndMissingFiles) {
    Open("0", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" QZ_TEST_DATA_DIR "/access/nwind.mdb\"");
    EXPECT_EQ(Test(), "");
    ASSERT_TRUE(ado::test::writeSameXls(dir + "/book.xls", dir));
    Open("1", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"book.xls\";Extended Properties=Excel 8.0;");
    EXPECT_EQ(Test(), "");
    test::TestHome::write(dir + "/notabook.xls", "plain text");
    e.txtExcelFile.Text = "notabook.xls";
    EXPECT_NE(Test().find("notabook.xls"), std::string::npos);
    std::filesystem::create_directories(dir + "/csv");
    test::TestHome::write(dir + "/csv/orders.csv", "ID,Name\n1,Anna\n");
    Open("4", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"csv\";Extended Properties=\"text;HDR=YES;FMT=Delimited\"");
    EXPECT_EQ(Test(), "");
    Open("0", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"gone.mdb\"");
    EXPECT_EQ(Test(), GetResourceString(4014));
}
