#include "datasources/forms/frmConnection.h"

#include "core/CommonDialog.h"
#include "core/DesignerState.h"
#include "core/ModBrowseFolderAPI.h"
#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "datasources/ModODBC.h"
#include "datasources/forms/DataSourceDialogs.h"
#include "datasources/forms/frmConnectionBuilder.h"
#include "datasources/forms/frmCreateDataSource.h"
#include "platform/automation/Text.h"
#include "platform/ui/UiHost.h"
#include "resources/MessageIds.h"

#include <filesystem>

namespace qz::datasources {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kForm = "frmConnection";
constexpr std::int32_t kHelpContext = 1032;
constexpr std::int32_t kEnabledLook = static_cast<std::int32_t>(0x80000005u);   // window background
constexpr std::int32_t kDisabledLook = static_cast<std::int32_t>(0x80000013u);  // inactive caption text

const char* const kTypeCaptions[9] = {"Microsoft &Access", "Microsoft &Excel", "Microsoft S&QL Server", "O&racle",
                                      "&Text File", "O&DBC Data Source", "O&LE-DB Connection String",
                                      "Microsoft &Outlook Contacts", "Persisted Record Set (ADO-&XML or ADTG)"};

void Enable(ui::TextBox& box, bool enabled) {
    box.Enabled = enabled;
    box.BackColor = enabled ? kEnabledLook : kDisabledLook;
}

// A path as the connection opens it: a relative one lies in the template folder.
fs::path Resolved(const std::string& text) {
    fs::path p(text);
    if (p.is_relative() && !TemplateFolder().empty()) {
        std::error_code ec;
        const fs::path inTemplate = fs::path(TemplateFolder()) / p;
        if (!fs::exists(p, ec) && fs::exists(inTemplate, ec)) return inTemplate;
    }
    return p;
}

bool IsFile(const fs::path& p) {
    std::error_code ec;
    return !p.empty() && fs::is_regular_file(p, ec);
}

bool IsFolder(const fs::path& p) {
    std::error_code ec;
    return !p.empty() && fs::is_directory(p, ec);
}

} // namespace

frmConnection::frmConnection() : ui::Form("frmConnection", "Connection Properties ") {
    control(lblCnName, "lblCnName").Caption = "&Connection Name:";
    control(txtConnectionName, "txtConnectionName");
    txtConnectionName.MaxLength = 255;
    txtConnectionName.GotFocus = [this] {
        if (!txtConnectionName.Text.empty()) {
            txtConnectionName.SelStart = 0;
            txtConnectionName.SelLength = CharCount(txtConnectionName.Text);
        }
    };
    control(Frame1, "Frame1").Caption = "Type";
    for (int i = 0; i < 9; ++i) {
        control(optType[i], "optType" + std::to_string(i)).Caption = kTypeCaptions[i];
    }
    optType[0].Value = true;
    optType[7].Visible = false;  // the Outlook type is never offered
    for (int i = 0; i < 7; ++i) {
        control(fraParameters[i], "fraParameters" + std::to_string(i)).Caption = "Parameters";
        fraParameters[i].Visible = fraParameters[i].Enabled = i == 0;
    }

    control(lblAccessFile, "lblAccessFile").Caption = "Enter an Access database file name:";
    control(txtAccessFile, "txtAccessFile");
    control(cmdAccessBrowse, "cmdAccessBrowse").Caption = "Browse ...";

    control(lblExcelFile, "lblExcelFile").Caption = "Enter an Excel file name:";
    control(txtExcelFile, "txtExcelFile");
    control(cmdExcelBrowse, "cmdExcelBrowse").Caption = "Browse ...";
    control(lblExcelVersion, "lblExcelVersion").Caption = "Select the Excel version:";
    control(cboExcelVersion, "cboExcelVersion");
    cboExcelVersion.Style = 0;

    control(lblSQLServer, "lblSQLServer").Caption = "Specify the following to connect to SQL Server data:";
    control(lblServerName, "lblServerName").Caption = "1. Enter the server name:";
    control(txtServerName, "txtServerName");
    control(lblLogOn, "lblLogOn").Caption = "2. Enter information to log on to the server:";
    control(optUseNTSecurity, "optUseNTSecurity").Caption = "Use Windows NT Integrated security";
    control(optUseSpecificUser, "optUseSpecificUser").Caption = "Use a specific user name and password:";
    optUseSpecificUser.Value = true;
    control(lblSQLServerUserName, "lblSQLServerUserName").Caption = "User name:";
    control(txtSQLServerUserName, "txtSQLServerUserName");
    control(lblSQLServerPassword, "lblSQLServerPassword").Caption = "Password:";
    control(txtSQLServerPassword, "txtSQLServerPassword");
    control(chkSQLServerBlankPassword, "chkSQLServerBlankPassword").Caption = "Blank password";
    control(chkSQLServerAllowSavingPassword, "chkSQLServerAllowSavingPassword").Caption = "Allow saving password";
    control(lblDbName, "lblDbName").Caption = "3. Enter the database name on the server:";
    control(txtDbName, "txtDbName");

    control(lblOracle, "lblOracle").Caption = "Specify the following to connect to Oracle data:";
    control(lblOracleDataSource, "lblOracleDataSource").Caption = "1. Enter the server name:";
    control(txtOracleDataSource, "txtOracleDataSource");
    control(lblOracleLogOn, "lblOracleLogOn").Caption = "2. Enter information to log on to the database:";
    control(lblOracleUserName, "lblOracleUserName").Caption = "User name:";
    control(txtOracleUserName, "txtOracleUserName");
    control(lblOraclePassword, "lblOraclePassword").Caption = "Password:";
    control(txtOraclePassword, "txtOraclePassword");
    control(chkOracleBlankPassword, "chkOracleBlankPassword").Caption = "Blank password";
    control(chkOracleSavingPassword, "chkOracleSavingPassword").Caption = "Allow saving password";

    control(lblTextFileName, "lblTextFileName").Caption = "Enter a path name:";
    control(txtTextFileName, "txtTextFileName");
    control(cmdBrowseTextFile, "cmdBrowseTextFile").Caption = "Browse ...";
    control(chkColumnHeader, "chkColumnHeader").Caption = "Column Name Header";

    control(lblODBC, "lblODBC").Caption = "Select an ODBC Data Source Name:";
    control(cboODBC, "cboODBC");
    // An editable box only so that it can show a stored name this machine
    // does not know; it takes no typing.
    cboODBC.Style = 0;
    cboODBC.KeyPress = [](int& key) { key = 0; };
    cboODBC.KeyDown = [](int& key, int) {
        if (key == 46) key = 0;
    };
    control(cmdNewODBC, "cmdNewODBC").Caption = "New ...";
    control(fraODBCAuthentification, "fraODBCAuthentification").Caption = "Authentication";
    control(lblODBCUserName, "lblODBCUserName").Caption = "User name:";
    control(txtODBCUsername, "txtODBCUsername");
    control(lblODBCPassword, "lblODBCPassword").Caption = "Password:";
    control(txtODBCPassword, "txtODBCPassword");
    control(chkODBCBlankPwd, "chkODBCBlankPwd").Caption = "Blank password";
    control(chkODBCSavingPwd, "chkODBCSavingPwd").Caption = "Allow saving password";

    control(lblOLEDB, "lblOLEDB").Caption = "Enter an OLE-DB Connection String:";
    control(txtOLEDBString, "txtOLEDBString");
    control(cmdBuildOLEDB, "cmdBuildOLEDB").Caption = "Build ...";

    control(cmdTestConnection, "cmdTestConnection").Caption = "Te&st Connection";
    control(cmdOK, "cmdOK").Caption = "Ok";
    control(cmdCancel, "cmdCancel").Caption = "Cancel";
    control(cmdHelp, "cmdHelp").Caption = "Help";
}

// ---- set-up ----------------------------------------------------------------------

void frmConnection::Initialize() {
    Handled(kForm, "Initialize", kErrLog | kErrRaise, [&] {
        Caption = "Connection Properties ";
        firstActivation_ = true;
        saved_ = false;
        if (!connection_) RaiseError(msg::InvalidConnectionName);
        txtConnectionName.Text = connection_->Name;
        optType[7].Enabled = false;
        cboExcelVersion.Clear();
        for (const char* v : kExcelVersionCaptions) cboExcelVersion.AddItem(v);
        cboExcelVersion.Select(0);
        FillODBCCombo();
        int type = kAccess;
        const std::string_view stored = trimSpaces(connection_->ConnectionType);
        if (!stored.empty()) {
            // A type this system never writes is the file's fault, and says so.
            const std::optional<ConnectionType> known = ConnectionTypeOf(stored);
            if (!known) RaiseError(msg::InvalidQzcFile);
            type = *known;
        }
        HideParameters(type);
        cmdOK.Enabled = !TemplateReadOnly();
        ShowParameters(type);
        SelectType(type);
        if (type <= kOleDb) {
            ConnectionFields f = ReadFields();
            InitConnection(type, connection_->DataSource, f);
            WriteFields(type, f);
        }
    });
}

void frmConnection::Form_Activate() {
    if (!firstActivation_) return;
    firstActivation_ = false;
    SetFocusTo(txtConnectionName);
}

void frmConnection::FillODBCCombo() {
    cboODBC.Clear();
    for (std::string& name : GetOdbcDataSourceNames()) cboODBC.AddItem(std::move(name));
}

// ---- the fields of each type -------------------------------------------------

ConnectionFields frmConnection::ReadFields() const {
    ConnectionFields f;
    f.accessFile = txtAccessFile.Text;
    f.excelFile = txtExcelFile.Text;
    f.excelVersion = cboExcelVersion.ListIndex;
    for (int i = 0; f.excelVersion < 0 && i < cboExcelVersion.ListCount(); ++i)
        if (cboExcelVersion.List(i) == cboExcelVersion.Text) f.excelVersion = i;
    f.excelVersionText = cboExcelVersion.Text;
    f.serverName = txtServerName.Text;
    f.dbName = txtDbName.Text;
    f.useNtSecurity = optUseNTSecurity.Value;
    f.sqlServerUser = txtSQLServerUserName.Text;
    f.sqlServerPassword = txtSQLServerPassword.Text;
    f.sqlServerSavePassword = chkSQLServerAllowSavingPassword.Value == 1;
    f.oracleDataSource = txtOracleDataSource.Text;
    f.oracleUser = txtOracleUserName.Text;
    f.oraclePassword = txtOraclePassword.Text;
    f.oracleSavePassword = chkOracleSavingPassword.Value == 1;
    f.textFolder = txtTextFileName.Text;
    f.columnHeader = chkColumnHeader.Value == 1;
    f.odbcName = cboODBC.ListIndex >= 0 ? std::string(trimSpaces(cboODBC.List(cboODBC.ListIndex))) : cboODBC.Text;
    f.odbcUser = txtODBCUsername.Text;
    f.odbcPassword = txtODBCPassword.Text;
    f.odbcSavePassword = chkODBCSavingPwd.Value == 1;
    f.oleDbString = txtOLEDBString.Text;
    return f;
}

void frmConnection::WriteFields(int type, const ConnectionFields& f) {
    // "Blank password" follows the password read: ticked when there is none.
    auto passwordChecks = [this](ui::TextBox& password, const std::string& text, ui::CheckBox& blank,
                                 void (frmConnection::*blankClick)(), ui::CheckBox& allow,
                                 void (frmConnection::*allowClick)()) {
        password.Text = text;
        SetCheck(blank, text.empty() ? 1 : 0, blankClick);
        SetCheck(allow, text.empty() ? 0 : 1, allowClick);
    };
    switch (type) {
    case kAccess: txtAccessFile.Text = f.accessFile; break;
    case kExcel:
        txtExcelFile.Text = f.excelFile;
        if (f.excelVersion >= 0) cboExcelVersion.Select(f.excelVersion);
        else {
            cboExcelVersion.ListIndex = -1;
            cboExcelVersion.Text = f.excelVersionText;
        }
        break;
    case kSqlServer:
        txtServerName.Text = f.serverName;
        txtDbName.Text = f.dbName;
        optUseNTSecurity.Value = false;
        if (!optUseSpecificUser.Value) {
            optUseSpecificUser.Value = true;
            optUseSpecificUser_Click();
        }
        txtSQLServerUserName.Text = f.sqlServerUser;
        passwordChecks(txtSQLServerPassword, f.sqlServerPassword, chkSQLServerBlankPassword,
                       &frmConnection::chkSQLServerBlankPassword_Click, chkSQLServerAllowSavingPassword,
                       &frmConnection::chkSQLServerAllowSavingPassword_Click);
        if (f.useNtSecurity) {
            optUseSpecificUser.Value = false;
            optUseNTSecurity.Value = true;
            optUseNTSecurity_Click();
        }
        break;
    case kOracle:
        txtOracleDataSource.Text = f.oracleDataSource;
        txtOracleUserName.Text = f.oracleUser;
        passwordChecks(txtOraclePassword, f.oraclePassword, chkOracleBlankPassword,
                       &frmConnection::chkOracleBlankPassword_Click, chkOracleSavingPassword,
                       &frmConnection::chkOracleSavingPassword_Click);
        break;
    case kTextFile:
        txtTextFileName.Text = f.textFolder;
        chkColumnHeader.Value = f.columnHeader ? 1 : 0;
        break;
    case kOdbc: {
        cboODBC.ListIndex = -1;
        cboODBC.Text = f.odbcName;  // a name this machine does not know still shows
        for (int i = 0; !f.odbcName.empty() && i < cboODBC.ListCount(); ++i)
            if (cboODBC.List(i) == f.odbcName) {
                cboODBC.Select(i);
                break;
            }
        txtODBCUsername.Text = f.odbcUser;
        passwordChecks(txtODBCPassword, f.odbcPassword, chkODBCBlankPwd, &frmConnection::chkODBCBlankPwd_Click,
                       chkODBCSavingPwd, &frmConnection::chkODBCSavingPwd_Click);
        break;
    }
    case kOleDb: txtOLEDBString.Text = f.oleDbString; break;
    default: break;
    }
}

std::string frmConnection::BuiConnectionString(int type) const {
    return datasources::BuiConnectionString(type, ReadFields());
}

int frmConnection::SelectedType() const noexcept {
    for (int i = 0; i < 9; ++i)
        if (optType[i].Value) return i;
    return 0;
}

// ---- type switching ------------------------------------------------------------

void frmConnection::SelectType(int type) {
    const bool changed = !optType[type].Value;
    for (int i = 0; i < 9; ++i) optType[i].Value = i == type;
    if (changed) optType_Click(type);
}

void frmConnection::optType_Click(int index) {
    Handled(kForm, "optType_Click", kErrLog | kErrShow, [&] {
        if (index < 0 || index > 8) return;
        for (int i = 0; i < 9; ++i) optType[i].Value = i == index;
        HideParameters(index);
        ShowParameters(index);
        CleanFrameInfo(index);
    });
}

void frmConnection::HideParameters(int type) {
    for (int i = 0; i < 7; ++i)
        if (i != type) fraParameters[i].Visible = fraParameters[i].Enabled = false;
    cmdTestConnection.Visible = type != kOutlookContacts && type != kPersistedRecordset;
}

void frmConnection::ShowParameters(int type) {
    for (int i = 0; i < 7; ++i) fraParameters[i].Visible = fraParameters[i].Enabled = i == type;
}

void frmConnection::CleanFrameInfo(int type) {
    switch (type) {
    case kAccess: txtAccessFile.Text.clear(); break;
    case kExcel: txtExcelFile.Text.clear(); break;
    case kSqlServer:
        txtServerName.Text.clear();
        txtDbName.Text.clear();
        txtSQLServerPassword.Text.clear();
        txtSQLServerUserName.Text.clear();
        optUseSpecificUser.Value = false;
        optUseNTSecurity.Value = true;
        optUseNTSecurity_Click();
        SetCheck(chkSQLServerBlankPassword, 1, &frmConnection::chkSQLServerBlankPassword_Click);
        break;
    case kOracle:
        txtOracleDataSource.Text.clear();
        txtOracleUserName.Text.clear();
        txtOraclePassword.Text.clear();
        SetCheck(chkOracleBlankPassword, 1, &frmConnection::chkOracleBlankPassword_Click);
        break;
    case kTextFile:
        txtTextFileName.Text.clear();
        chkColumnHeader.Value = 0;
        break;
    case kOdbc: cboODBC.Select(-1); cboODBC.Text.clear(); break;
    case kOleDb: txtOLEDBString.Text.clear(); break;
    default: break;
    }
}

// ---- password boxes and security ------------------------------------------------

void frmConnection::SetCheck(ui::CheckBox& box, int value, void (frmConnection::*handler)()) {
    if (box.Value == value) return;
    box.Value = value;
    (this->*handler)();
}

// Ticking "Blank password" empties and disables the box and unticks "Allow
// saving password"; unticking it enables the box. The rule is the same for
// the three types: a blank password box is never left open for typing.
void frmConnection::BlankPasswordRule(ui::CheckBox& blank, ui::CheckBox& allow, ui::TextBox& password,
                                      void (frmConnection::*allowHandler)()) {
    if (blank.Value == 1) {
        password.Text.clear();
        Enable(password, false);
        SetCheck(allow, 0, allowHandler);
    } else {
        Enable(password, true);
    }
}

void frmConnection::chkSQLServerBlankPassword_Click() {
    BlankPasswordRule(chkSQLServerBlankPassword, chkSQLServerAllowSavingPassword, txtSQLServerPassword,
                      &frmConnection::chkSQLServerAllowSavingPassword_Click);
    // Windows security keeps the box closed whatever the tick says.
    if (optUseNTSecurity.Value) Enable(txtSQLServerPassword, false);
}
void frmConnection::chkSQLServerAllowSavingPassword_Click() {
    if (chkSQLServerAllowSavingPassword.Value == 1)
        SetCheck(chkSQLServerBlankPassword, 0, &frmConnection::chkSQLServerBlankPassword_Click);
}
void frmConnection::chkOracleBlankPassword_Click() {
    BlankPasswordRule(chkOracleBlankPassword, chkOracleSavingPassword, txtOraclePassword,
                      &frmConnection::chkOracleSavingPassword_Click);
}
void frmConnection::chkOracleSavingPassword_Click() {
    if (chkOracleSavingPassword.Value == 1)
        SetCheck(chkOracleBlankPassword, 0, &frmConnection::chkOracleBlankPassword_Click);
}
void frmConnection::chkODBCBlankPwd_Click() {
    BlankPasswordRule(chkODBCBlankPwd, chkODBCSavingPwd, txtODBCPassword, &frmConnection::chkODBCSavingPwd_Click);
}
void frmConnection::chkODBCSavingPwd_Click() {
    if (chkODBCSavingPwd.Value == 1) SetCheck(chkODBCBlankPwd, 0, &frmConnection::chkODBCBlankPwd_Click);
}

void frmConnection::optUseNTSecurity_Click() {
    if (!optUseNTSecurity.Value) return;
    optUseSpecificUser.Value = false;
    txtSQLServerUserName.Text.clear();
    txtSQLServerPassword.Text.clear();
    Enable(txtSQLServerUserName, false);
    Enable(txtSQLServerPassword, false);
    chkSQLServerBlankPassword.Enabled = chkSQLServerAllowSavingPassword.Enabled = false;
}

void frmConnection::optUseSpecificUser_Click() {
    if (!optUseSpecificUser.Value) return;
    optUseNTSecurity.Value = false;
    Enable(txtSQLServerUserName, true);
    Enable(txtSQLServerPassword, chkSQLServerBlankPassword.Value != 1);
    chkSQLServerBlankPassword.Enabled = chkSQLServerAllowSavingPassword.Enabled = true;
}

// ---- browsing --------------------------------------------------------------------

void frmConnection::BrowseFile(ui::TextBox& box, const char* filterName, const char* pattern) {
    const fs::path current = Resolved(box.Text);
    std::string folder, file;
    if (IsFile(current)) {
        folder = current.parent_path().string();
        file = current.filename().string();
    } else if (IsFolder(current.parent_path())) {
        folder = current.parent_path().string();
    } else {
        folder = TemplateFolder();
    }
    const std::string chosen = CommonDialog().OpenFileName("0", filterName, pattern, 0, folder, "", file);
    if (!chosen.empty()) box.Text = chosen;
}

void frmConnection::cmdAccessBrowse_Click() {
    Handled(kForm, "cmdAccessBrowse_Click", kErrLog | kErrShow, [&] {
        // An SQLite database file opens through this type as well.
        BrowseFile(txtAccessFile, "Access and SQLite Databases (*.mdb; *.db; *.sqlite; *.sqlite3)",
                   "*.mdb;*.db;*.sqlite;*.sqlite3");
    });
}

void frmConnection::cmdExcelBrowse_Click() {
    Handled(kForm, "cmdExcelBrowse_Click", kErrLog | kErrShow, [&] {
        BrowseFile(txtExcelFile, "Microsoft Excel Files (*.xl*; *.xls)", "*.xl*;*.xls");
    });
}

void frmConnection::cmdBrowseTextFile_Click() {
    Handled(kForm, "cmdBrowseTextFile_Click", kErrLog | kErrShow, [&] {
        const fs::path current = Resolved(txtTextFileName.Text);
        const std::string start = IsFolder(current) ? current.string() : TemplateFolder();
        const std::string chosen = BrowseForFolder(this, "Select directory.", start);
        if (!chosen.empty()) txtTextFileName.Text = chosen;
    });
}

// ---- ODBC and OLE DB -------------------------------------------------------------

void frmConnection::cmdNewODBC_Click() {
    ui::currentHost().setBusyCursor(true);
    if (!HandledWithCleanUp(kForm, "cmdNewODBC_Click", kErrLog | kErrShow, [&] {
        if (CreateOdbcDataSource(this) != 0) FillODBCCombo();
    }, [&] { ui::currentHost().setBusyCursor(false); })) return;
    ui::currentHost().setBusyCursor(false);
}

void frmConnection::cmdBuildOLEDB_Click() {
    Handled(kForm, "cmdBuildOLEDB_Click", kErrLog | kErrShow, [&] {
        frmConnectionBuilder builder;
        builder.Initialize();
        builder.ShowModal();
        if (!builder.Cancelled()) txtOLEDBString.Text = builder.ConnectionString();
        builder.Unload();
    });
}

// ---- test, OK, Cancel, Help --------------------------------------------------------

bool frmConnection::TestConnection(int type) {
    if (type == kAccess || type == kExcel) {
        ui::TextBox& box = type == kAccess ? txtAccessFile : txtExcelFile;
        if (!IsFile(box.Text) && !IsFile(AddBackSlashInPath(TemplateFolder()) + box.Text)) {
            SetFocusTo(box);
            RaiseError(msg::FileNotFound);
        }
    } else if (type == kTextFile) {
        // A relative folder lies in the template folder, as when the data is opened.
        if (!IsFolder(Resolved(txtTextFileName.Text))) {
            SetFocusTo(txtTextFileName);
            RaiseError(msg::InvalidPathName);
        }
    }
    std::string s = BuiConnectionString(type);
    if (type != kSqlServer && type != kOracle) s = AdjustConnectionString(s, false, TemplateFolder());
    return OpenAndCloseConnection(s);
}

void frmConnection::cmdTestConnection_Click() {
    ui::currentHost().setBusyCursor(true);
    HandledWithCleanUp(kForm, "cmdTestConnection_Click", kErrLog | kErrShow, [&] {
        const bool ok = TestConnection(SelectedType());
        ui::currentHost().setBusyCursor(false);
        if (ok) ui::currentHost().msgBox("Connection succeeded!", ui::vbOKOnly | ui::vbInformation, "");
    }, [&] { ui::currentHost().setBusyCursor(false); });
}

void frmConnection::cmdOK_Click() {
    Handled(kForm, "cmdOK_Click", kErrLog | kErrShow, [&] {
        if (!connection_) RaiseError(msg::InvalidConnectionName);
        const std::string name = txtConnectionName.Text;
        if (onlySpaces(name) || !ValidCnOrCmdName(name)) RaiseError(msg::InvalidName);
        const int type = SelectedType();
        const std::string dataSource = BuiConnectionString(type);
        const std::string trimmed(trimSpaces(name));
        if (trimSpaces(connection_->Name) != trimmed && list_)
            for (const auto& other : list_->List())
                if (trimSpaces(other->Name) == trimmed) RaiseError(msg::DuplicateConnectionName);
        RequireQzcFile();
        // Everything is checked before anything changes; a refused write puts
        // the connection back as it was.
        const QZCConnection before = *connection_;
        connection_->Name = trimmed;
        connection_->ConnectionType = ConnectionTypeText(static_cast<ConnectionType>(type));
        connection_->DataSource = dataSource;
        SaveOrRestore([this] { connection_->Save(); },
                      [this, &before] {
                          connection_->Name = before.Name;
                          connection_->ConnectionType = before.ConnectionType;
                          connection_->DataSource = before.DataSource;
                      });
        saved_ = true;
        Hide();
    });
}

void frmConnection::cmdCancel_Click() {
    saved_ = false;
    Hide();
}

void frmConnection::cmdHelp_Click() {
    Handled(kForm, "cmdHelp_Click", kErrLog | kErrShow, [&] {
        if (goDesigner) goDesigner->GetHelpCenter().OpenHelpCenter(0, kHelpContext);
    });
}

void frmConnection::OnUnload() {
    connection_.reset();
    list_.reset();
}

} // namespace qz::datasources
