// The connection editor driven as an author drives it: every type's string
// read back and written again unchanged, type switching and the password
// rules, names refused, a read-only template, and Test Connection against a
// real database, a missing file and a data source that does not exist.
#include "DataSourceWindowsFixture.h"

#include "config/QZCFile.h"
#include "datasources/ModODBC.h"
#include "datasources/forms/frmConnection.h"
#include "datasources/forms/frmConnectionBuilder.h"
#include "datasources/forms/frmCreateDataSource.h"

using namespace qz;
using namespace qz::datasources;

namespace {

struct ConnectionEditor : test::DataSourceWindows {
    frmConnection e;
    std::shared_ptr<QZCFile> file = std::make_shared<QZCFile>();

    // Opens the editor on connection `id` of a fresh load of the file.
    std::shared_ptr<QZCConnection> Open(const std::string& id = "ID1") {
        file->Load(qzcPath);
        auto cn = file->ConnectionList()->FindItem(id);
        e.QzConnection(cn);
        e.QzConnectionList(file->ConnectionList());
        e.Initialize();
        return cn;
    }
    std::string Stored(const std::string& id = "ID1") {
        QZCFile f;
        f.Load(qzcPath);
        const auto cn = f.ConnectionList()->FindItem(id);
        return cn->ConnectionType + "|" + cn->DataSource;
    }
    void Choose(int type) {
        e.optType[type].Value = true;
        e.optType_Click(type);
    }
    void Tick(ui::CheckBox& box, int value, void (frmConnection::*click)()) {
        box.Value = value;
        (e.*click)();
    }
};

} // namespace

TEST_F(ConnectionEditor, ANewConnectionOpensAsAccessAndSavesItsType) {
    WriteQzc(Connection("ID1", "DBConnection1", "", ""));
    Open();
    EXPECT_EQ(e.Caption, "Connection Properties ");
    EXPECT_EQ(e.txtConnectionName.Text, "DBConnection1");
    EXPECT_TRUE(e.optType[0].Value && e.fraParameters[0].Visible && !e.fraParameters[1].Visible);
    EXPECT_FALSE(e.optType[7].Visible || e.optType[7].Enabled);
    EXPECT_EQ(e.txtAccessFile.Text, "");
    e.Form_Activate();
    EXPECT_EQ(e.ActiveControl(), &e.txtConnectionName);
    EXPECT_EQ(e.txtConnectionName.SelLength, 13);
    Drive(e, [&] { e.cmdOK_Click(); });
    EXPECT_TRUE(e.PropertiesSaved());
    EXPECT_EQ(Stored(), "0|Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"\"");
    // The close box of a later use reports no save.
    Open();
    e.ShowModal();
    EXPECT_FALSE(e.PropertiesSaved());
}

TEST_F(ConnectionEditor, EveryTypeReadsBackAndSavesItsStringUnchanged) {
    std::ofstream(odbcIni) << "[Accounts]\nDriver=SQLite3\n";
    const std::vector<std::pair<std::string, std::string>> stored = {
        {"0", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"nwind.mdb\""},
        {"1", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"/data/book.xls\";Extended Properties=Excel 9.0;"},
        {"1", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"b.xls\";Extended Properties=Excel 12.0;"},
        {"2", "Provider=SQLOLEDB;Data Source=SRV01;database=Sales;Trusted_Connection=Yes;"},
        {"2", "Provider=SQLOLEDB;database=Sales;Trusted_Connection=No;uid=reader;Persist Security Info=False;"},
        {"2", "Provider=SQLOLEDB;Data Source=SRV01;database=Sales;Trusted_Connection=No;uid=reader;Password=\"a;b\";"
              "Persist Security Info=True;"},
        {"3", "Provider=MSDAORA;Data Source=ORCL;uid=reader;Persist Security Info=False;"},
        {"4", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"csv\";Extended Properties=\"text;HDR=YES;FMT=Delimited\""},
        {"5", "DSN=Accounts;uid=;Persist Security Info=False;"},
        {"5", "DSN=Elsewhere;uid=me;Password=pw;Persist Security Info=True;"},
        {"6", "  Provider=MSDASQL;DSN=x  "},
        {"7", ""},
        {"8", ""},
    };
    for (const auto& [type, ds] : stored) {
        WriteQzc(Connection("ID1", "C", type, ds));
        Open();
        EXPECT_EQ(e.SelectedType(), std::stoi(type));
        EXPECT_EQ(e.cmdTestConnection.Visible, type != "7" && type != "8") << ds;
        Drive(e, [&] { e.cmdOK_Click(); });
        EXPECT_EQ(Stored(), type + "|" + ds);
    }
    // What the fields showed for the last ODBC one: a name this machine does not know.
    WriteQzc(Connection("ID1", "C", "5", "DSN=Elsewhere;uid=me;Password=pw;Persist Security Info=True;"));
    Open();
    EXPECT_EQ(e.cboODBC.ListIndex, -1);
    EXPECT_EQ(e.cboODBC.Text, "Elsewhere");
    EXPECT_EQ(e.cboODBC.List(0), "Accounts");
    EXPECT_TRUE(e.chkODBCSavingPwd.Value == 1 && e.chkODBCBlankPwd.Value == 0 && e.txtODBCPassword.Enabled);
    int typed = 'x';
    e.cboODBC.KeyPress(typed);
    EXPECT_EQ(typed, 0);
}

TEST_F(ConnectionEditor, TypeSwitchingAndThePasswordRules) {
    WriteQzc(Connection("ID1", "C", "0", ""));
    Open();
    Choose(2);
    EXPECT_TRUE(e.fraParameters[2].Visible && !e.fraParameters[0].Visible);
    EXPECT_TRUE(e.optUseNTSecurity.Value);
    EXPECT_FALSE(e.txtSQLServerUserName.Enabled || e.txtSQLServerPassword.Enabled);
    EXPECT_EQ(e.chkSQLServerBlankPassword.Value, 1);
    EXPECT_FALSE(e.chkSQLServerBlankPassword.Enabled);
    e.optUseSpecificUser.Value = true;
    e.optUseSpecificUser_Click();
    EXPECT_TRUE(e.txtSQLServerUserName.Enabled && !e.txtSQLServerPassword.Enabled);
    Tick(e.chkSQLServerAllowSavingPassword, 1, &frmConnection::chkSQLServerAllowSavingPassword_Click);
    EXPECT_EQ(e.chkSQLServerBlankPassword.Value, 0);
    EXPECT_TRUE(e.txtSQLServerPassword.Enabled);
    e.txtSQLServerUserName.Text = "u";
    e.txtSQLServerPassword.Text = "secret";
    // A typed password that may not be saved stays out of the string.
    Tick(e.chkSQLServerAllowSavingPassword, 0, &frmConnection::chkSQLServerAllowSavingPassword_Click);
    EXPECT_EQ(e.BuiConnectionString(2), "Provider=SQLOLEDB;database=;Trusted_Connection=No;uid=u;Persist Security Info=False;");
    // Oracle as SQL Server and ODBC: ticking "Blank password" closes the box.
    Choose(3);
    Tick(e.chkOracleSavingPassword, 1, &frmConnection::chkOracleSavingPassword_Click);
    e.txtOraclePassword.Text = "pw";
    Tick(e.chkOracleBlankPassword, 1, &frmConnection::chkOracleBlankPassword_Click);
    EXPECT_EQ(e.txtOraclePassword.Text, "");
    EXPECT_FALSE(e.txtOraclePassword.Enabled);
    EXPECT_EQ(e.chkOracleSavingPassword.Value, 0);
    Choose(5);
    EXPECT_EQ(e.cboODBC.ListIndex, -1);
    EXPECT_EQ(e.cboODBC.Text, "");
}

TEST_F(ConnectionEditor, NamesAreRefusedBeforeAnythingChanges) {
    WriteQzc(Connection("ID1", "Shop", "0", "") + Connection("ID2", "Stock", "0", ""));
    const auto cn = Open();
    const std::string before = Qzc();
    Drive(e, [&] {
        for (const char* name : {" Sales", "2Sales", "", "Stock"}) {
            e.txtConnectionName.Text = name;
            Choose(4);
            e.cmdOK_Click();
            EXPECT_TRUE(e.Visible());
        }
    });
    EXPECT_EQ(host.errorTexts, (std::vector<std::string>{GetResourceString(4027), GetResourceString(4027),
                                                         GetResourceString(4027), GetResourceString(4026)}));
    EXPECT_EQ(cn->Name, "Shop");
    EXPECT_EQ(cn->ConnectionType, "0");
    EXPECT_EQ(Qzc(), before);
    e.txtConnectionName.Text = "shop";  // another case of its own name
    Drive(e, [&] { e.cmdOK_Click(); });
    EXPECT_TRUE(e.PropertiesSaved());
    EXPECT_EQ(Stored(), "4|Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"\";Extended Properties=\"text;HDR=NO;FMT=Delimited\"");
}

TEST_F(ConnectionEditor, ReadOnlyTemplatesAndFilesSaveNothing) {
    WriteQzc(Connection("ID1", "Shop", "0", ""));
    designer.readOnly = true;
    Open();
    EXPECT_FALSE(e.cmdOK.Enabled);
    designer.readOnly = false;
    Open();
    MakeReadOnly();
    const auto cn = Open();
    e.txtConnectionName.Text = "Other";
    Drive(e, [&] { e.cmdOK_Click(); });
    EXPECT_FALSE(e.PropertiesSaved());
    EXPECT_EQ(cn->Name, "Shop");  // the object goes back to what the file holds
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(host.errorTexts[0], GetResourceString(4008) + "\r\n" + GetResourceString(4041) + qzcPath + GetResourceString(4042));
    EXPECT_TRUE(designer.readOnly);
}

TEST_F(ConnectionEditor, TestConnectionOpensTheDataForReal) {
    MakeDatabase(dir + "/shop.db");
    WriteQzc(Connection("ID1", "Shop", "0", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"shop.db\""));
    Open();
    e.cmdTestConnection_Click();  // relative to the template folder
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Connection succeeded!"});
    // Browse offers SQLite files beside Access ones.
    ui::FileDialogResult chosen;
    chosen.outcome = ui::FileDialogResult::Ok;
    chosen.path = dir + "/shop.db";
    host.queueFileDialog(chosen);
    e.cmdAccessBrowse_Click();
    EXPECT_EQ(host.requests(ui::UiRequest::FileDialog).back().file.filters.at(0).second,
              "*.mdb;*.db;*.sqlite;*.sqlite3");
    EXPECT_EQ(e.txtAccessFile.Text, dir + "/shop.db");
    e.txtAccessFile.Text = dir + "/missing.mdb";
    e.cmdTestConnection_Click();
    EXPECT_EQ(host.errorTexts.back(), GetResourceString(4014));
    EXPECT_EQ(e.ActiveControl(), &e.txtAccessFile);
    Choose(4);
    e.txtTextFileName.Text = "no-such-folder";
    e.cmdTestConnection_Click();
    EXPECT_EQ(host.errorTexts.back(), GetResourceString(1004));
    std::filesystem::create_directories(dir + "/csv");
    test::TestHome::write(dir + "/csv/a.csv", "x,y\n1,2\n");
    e.txtTextFileName.Text = "csv";  // found in the template folder, as when the data is opened
    e.cmdTestConnection_Click();
    EXPECT_EQ(Boxes().size(), 2u);
    // A data source that does not exist: the provider's own words, no password.
    Choose(5);
    e.cboODBC.Text = "NoSuchSource";
    e.txtODBCUsername.Text = "me";
    Tick(e.chkODBCSavingPwd, 1, &frmConnection::chkODBCSavingPwd_Click);
    e.txtODBCPassword.Text = "s3cret";
    e.cmdTestConnection_Click();
    EXPECT_EQ(Boxes().size(), 2u);
    const std::string shown = host.errorTexts.back();
    EXPECT_FALSE(shown.empty());
    EXPECT_EQ(shown.find("s3cret"), std::string::npos) << shown;
    // Through a data source the wizard writes.
    host.queueFormAction([&](ui::Form& f) {
        auto& w = dynamic_cast<frmCreateDataSource&>(f);
        w.txtName.Text = "Shop";
        w.lstDrivers.Select(-1);
        w.cmdFinish_Click();  // no driver: refused
        EXPECT_TRUE(w.Visible());
        w.lstDrivers.Select(0);
        w.txtDatabase.Text = dir + "/shop.db";
        w.cmdFinish_Click();
    });
    e.cmdNewODBC_Click();
    EXPECT_EQ(host.errorTexts.back(), "Please select the driver of the new data source. A data source needs a driver.");
    ASSERT_EQ(e.cboODBC.ListCount(), 1);
    e.cboODBC.Select(0);
    e.cmdTestConnection_Click();
    EXPECT_EQ(Boxes().size(), 3u);
    // Cancelled: the list and its selection stay.
    e.cmdNewODBC_Click();
    EXPECT_EQ(e.cboODBC.ListIndex, 0);
    EXPECT_FALSE(host.busy());
    // A data source without a driver: the driver manager's words.
    std::ofstream(odbcIni, std::ios::app) << "[NoDriver]\nDatabase=" << dir << "/shop.db\n";
    e.cboODBC.Select(-1);
    e.cboODBC.Text = "NoDriver";
    const std::size_t errors = host.errorTexts.size();
    e.cmdTestConnection_Click();
    ASSERT_EQ(host.errorTexts.size(), errors + 1);
    EXPECT_NE(host.errorTexts.back().find("river"), std::string::npos) << host.errorTexts.back();
}

TEST_F(ConnectionEditor, BuildMakesAStringThatOpens) {
    MakeDatabase(dir + "/shop.db");
    WriteQzc(Connection("ID1", "Shop", "6", "kept"));
    Open();
    host.queueFormAction([&](ui::Form& f) {
        auto& b = dynamic_cast<frmConnectionBuilder&>(f);
        b.cboProvider.Select(frmConnectionBuilder::kSqliteFile);
        b.cboProvider_Click();
        EXPECT_TRUE(b.txtFile.Visible && !b.txtServer.Visible);
        b.txtFile.Text = dir + "/shop.db";
        b.Setting_Change();
        b.cmdTest_Click();
        b.cmdOK_Click();
    });
    e.cmdBuildOLEDB_Click();
    EXPECT_EQ(e.txtOLEDBString.Text, "Provider=SQLite; Data Source=" + dir + "/shop.db;");
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Connection succeeded!"});
    // A server's settings; the password shown masked, handed back whole.
    host.queueFormAction([&](ui::Form& f) {
        auto& b = dynamic_cast<frmConnectionBuilder&>(f);
        b.cboProvider.Select(frmConnectionBuilder::kSqlServer);
        b.cboProvider_Click();
        EXPECT_TRUE(b.txtServer.Visible && b.txtPassword.Visible && !b.txtFile.Visible && !b.cboDriver.Visible);
        b.txtServer.Text = "SRV01";
        b.txtUser.Text = "reader";
        b.txtPassword.Text = "pa;ss";
        b.Setting_Change();
        EXPECT_EQ(b.txtResult.Text.find("pa;ss"), std::string::npos);
        b.cmdOK_Click();
    });
    const std::string built = e.txtOLEDBString.Text;
    e.cmdBuildOLEDB_Click();
    EXPECT_EQ(e.txtOLEDBString.Text, "Provider=SQLOLEDB;Data Source=SRV01;User ID=reader;Password=\"pa;ss\";");
    e.txtOLEDBString.Text = built;
    e.cmdBuildOLEDB_Click();  // cancelled
    EXPECT_EQ(e.txtOLEDBString.Text, "Provider=SQLite; Data Source=" + dir + "/shop.db;");
    e.cmdTestConnection_Click();
    EXPECT_EQ(Boxes().size(), 2u);
}
