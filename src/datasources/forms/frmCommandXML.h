// The saved-recordset command editor ("Command Properties (<connection>)"):
// the name of one command of a persisted-recordset connection and the file of
// its saved recordset, a preview of that file's rows in the grid, and OK,
// which writes name and file into the QZC file. The data-sources window makes
// one for each edit: set QzCommand, QzConnectionList and QzCnCommand,
// Initialize, show it modally, then read PropertiesSaved.
#pragma once

#include "config/QZCConnection.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/Controls.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/Form.h"

#include <memory>
#include <string>
#include <vector>

namespace qz::datasources {

class frmCommandXML : public ui::Form {
public:
    frmCommandXML();
    ~frmCommandXML() override;

    void QzCommand(std::shared_ptr<qz::QZCCommand> command) { command_ = std::move(command); }
    void QzCnCommand(std::shared_ptr<QZCConnection> connection) { connection_ = std::move(connection); }
    void QzConnectionList(std::shared_ptr<qz::QZCConnectionList> list) { list_ = std::move(list); }
    bool PropertiesSaved() const noexcept { return saved_; }
    void Initialize();
    // Stores the name and the file into the command and saves the QZC file.
    void SaveData(const std::string& sName);

    ui::Label lblCommandName;
    ui::TextBox txtCommandName;
    ui::Frame fraXML;
    ui::Label lblFilename;
    ui::TextBox txtFilename;
    ui::CommandButton cmdBrowse, cmdOpen;
    ui::Label lblADORecordset;
    ui::DataGrid msfgCommand;
    ui::CommandButton cmdOk, cmdCancel, cmdHelp;

    // The file a stored name stands for: a bare name lies in the template
    // folder, a relative path too; "" when there is no such file.
    static std::string RetrieveCompleteXMlFileName(const std::string& name);

    void Form_Activate();
    void cmdBrowse_Click();
    void cmdOpen_Click();
    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdHelp_Click();
    void OnClose() override { cmdCancel_Click(); }

protected:
    void OnLoad() override;
    void OnUnload() override;

private:
    void OpenXmlFile();
    void CloseRecordset() noexcept;

    std::shared_ptr<qz::QZCCommand> command_;
    std::shared_ptr<QZCConnection> connection_;
    std::shared_ptr<qz::QZCConnectionList> list_;
    Ref<ado::Recordset> recordset_;
    bool saved_ = false;
};

} // namespace qz::datasources
