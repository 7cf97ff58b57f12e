// The connection editor ("Connection Properties "): the name of one
// connection of the template's QZC file, its type and that type's settings,
// a test that opens it for real, and OK, which writes name, type and
// connection string into the QZC file. The data-sources window keeps one
// editor and reuses it: set QzConnection and QzConnectionList, Initialize,
// show it modally, then read PropertiesSaved.
#pragma once

#include "config/QZCConnection.h"
#include "datasources/ConnectionForms.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <array>
#include <memory>
#include <string>

namespace qz::datasources {

class frmConnection : public ui::Form {
public:
    frmConnection();

    const std::shared_ptr<QZCConnection>& QzConnection() const noexcept { return connection_; }
    void QzConnection(std::shared_ptr<QZCConnection> connection) { connection_ = std::move(connection); }
    void QzConnectionList(std::shared_ptr<QZCConnectionList> list) { list_ = std::move(list); }
    bool PropertiesSaved() const noexcept { return saved_; }
    // Fills the dialog from the edited connection.
    void Initialize();

    ui::Label lblCnName;
    ui::TextBox txtConnectionName;
    ui::Frame Frame1;
    std::array<ui::OptionButton, 9> optType;
    std::array<ui::Frame, 7> fraParameters;
    // 0 Access
    ui::Label lblAccessFile;
    ui::TextBox txtAccessFile;
    ui::CommandButton cmdAccessBrowse;
    // 1 Excel
    ui::Label lblExcelFile, lblExcelVersion;
    ui::TextBox txtExcelFile;
    ui::CommandButton cmdExcelBrowse;
    ui::ComboBox cboExcelVersion;
    // 2 SQL Server
    ui::Label lblSQLServer, lblServerName, lblLogOn, lblSQLServerUserName, lblSQLServerPassword, lblDbName;
    ui::TextBox txtServerName, txtSQLServerUserName, txtSQLServerPassword, txtDbName;
    ui::OptionButton optUseNTSecurity, optUseSpecificUser;
    ui::CheckBox chkSQLServerBlankPassword, chkSQLServerAllowSavingPassword;
    // 3 Oracle
    ui::Label lblOracle, lblOracleDataSource, lblOracleLogOn, lblOracleUserName, lblOraclePassword;
    ui::TextBox txtOracleDataSource, txtOracleUserName, txtOraclePassword;
    ui::CheckBox chkOracleBlankPassword, chkOracleSavingPassword;
    // 4 text files
    ui::Label lblTextFileName;
    ui::TextBox txtTextFileName;
    ui::CommandButton cmdBrowseTextFile;
    ui::CheckBox chkColumnHeader;
    // 5 ODBC
    ui::Label lblODBC;
    ui::ComboBox cboODBC;
    ui::CommandButton cmdNewODBC;
    ui::Frame fraODBCAuthentification;
    ui::Label lblODBCUserName, lblODBCPassword;
    ui::TextBox txtODBCUsername, txtODBCPassword;
    ui::CheckBox chkODBCBlankPwd, chkODBCSavingPwd;
    // 6 OLE DB
    ui::Label lblOLEDB;
    ui::TextBox txtOLEDBString;
    ui::CommandButton cmdBuildOLEDB;

    ui::CommandButton cmdTestConnection, cmdOK, cmdCancel, cmdHelp;

    // The selected type: the first selected option, 0 when none is.
    int SelectedType() const noexcept;
    // The connection string of a type from the fields as they stand.
    std::string BuiConnectionString(int type) const;

    // Events.
    void Form_Activate();
    void optType_Click(int index);
    void chkSQLServerBlankPassword_Click();
    void chkSQLServerAllowSavingPassword_Click();
    void chkOracleBlankPassword_Click();
    void chkOracleSavingPassword_Click();
    void chkODBCBlankPwd_Click();
    void chkODBCSavingPwd_Click();
    void optUseNTSecurity_Click();
    void optUseSpecificUser_Click();
    void cmdAccessBrowse_Click();
    void cmdExcelBrowse_Click();
    void cmdBrowseTextFile_Click();
    void cmdNewODBC_Click();
    void cmdBuildOLEDB_Click();
    void cmdTestConnection_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdHelp_Click();
    // The close box counts as Cancel.
    void OnClose() override { cmdCancel_Click(); }

protected:
    void OnUnload() override;

private:
    ConnectionFields ReadFields() const;
    void WriteFields(int type, const ConnectionFields& f);
    void SelectType(int type);
    void HideParameters(int type);
    void ShowParameters(int type);
    void CleanFrameInfo(int type);
    void FillODBCCombo();
    void SetCheck(ui::CheckBox& box, int value, void (frmConnection::*handler)());
    void BlankPasswordRule(ui::CheckBox& blank, ui::CheckBox& allow, ui::TextBox& password,
                           void (frmConnection::*allowHandler)());
    void BrowseFile(ui::TextBox& box, const char* filterName, const char* pattern);
    bool TestConnection(int type);

    std::shared_ptr<QZCConnection> connection_;
    std::shared_ptr<QZCConnectionList> list_;
    bool saved_ = false;
    bool firstActivation_ = false;
};

} // namespace qz::datasources
