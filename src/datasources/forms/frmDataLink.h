// The data-sources window ("Quorvane Data Sources"): the connections of the
// active template's QZC file as a tree, each with its commands; new
// connections and commands, renaming in place, deleting, and the editors of
// each (the connection editor, and by the connection's type the query
// builder or the saved-recordset command editor). Every change is written to
// the QZC file at once; the window has no Save or Cancel.
#pragma once

#include "config/QZCFile.h"
#include "platform/ui/Bars.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "platform/ui/TreeView.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qz::datasources {

class frmConnection;

class frmDataLink : public ui::Form {
public:
    frmDataLink();
    ~frmDataLink() override;

    // Loads the active template's QZC file afresh and fills the window.
    void Initialize();
    // Shows the window modally; returns when the author closed it.
    void Show();

    // Asks, then deletes the command of the selected node.
    void DeleteCommand();

    ui::TreeView trvDataLink;
    ui::Toolbar tlbDataLink;
    ui::CommandButton cmdHelp, cmdClose;
    ui::Menu mnuPopupDataLink, mnuPopupCon, mnuPopupCmd;
    // Where the tree lies in the window, in pixels: the view keeps it, so
    // that a popup menu opens at the point of the tree it belongs to.
    int TreeLeft = 0, TreeTop = 0;

    // The kept connection editor (null before its first use).
    frmConnection* ConnectionEditor() const noexcept { return connectionEditor_.get(); }
    // The QZC file the last Initialize loaded (null when it could not be).
    const std::shared_ptr<QZCFile>& File() const noexcept { return file_; }

    // Events.
    void Form_Activate();
    void trvDataLink_NodeClick();
    void trvDataLink_DblClick();
    void trvDataLink_KeyDown(int& keyCode, int shift);
    void trvDataLink_KeyPress(int& keyAscii);
    void trvDataLink_MouseUp(int button, int shift, int x, int y);
    void trvDataLink_BeforeLabelEdit(bool& cancel);
    void trvDataLink_AfterLabelEdit(bool& cancel, const std::string& newString);
    void tlbDataLink_ButtonClick(const std::string& key);
    void cmdHelp_Click();
    void cmdClose_Click() { Hide(); }
    // The title bar's close unloads the window.
    void OnClose() override { Unload(); }

protected:
    void OnUnload() override;

private:
    void InitializeTreeview();
    void AddConnectionNode(const std::string& connectionId, const std::string& name);
    void AddCommandNode(const std::string& connectionId, const std::string& commandId, const std::string& name);
    bool VerifyIfNameAlreadyExistInTreeview(const std::string& name, const std::string& kind,
                                            const ui::Node* self) const;
    bool ConnectionAlreadyExists(const std::string& name, const std::string& id) const;
    bool FindCommandName(const std::string& name, const QZCCommand* self) const;
    void ShowPopupMenu(ui::Node& node, int x, int y);
    void ShowProperties(ui::Node& node);
    void ShowConnectionPropertiesWindow(ui::Node& node);
    void ShowCommandPropertiesWindow(ui::Node& node);
    void DeleteNode(ui::Node& node);
    void DeleteCommand(ui::Node& node);
    void DeleteConnection(ui::Node& node);
    void ToggleToolBarButton();
    void Click(ui::Node& node);
    void DblClick();
    // The next number of a default name: one more than the largest number
    // that follows the prefix in a node's text.
    std::int32_t NextNumber(const std::string& prefix) const;
    // A write of a new item failed: the model goes back to what the file holds.
    void Reload() noexcept;

    QZCConnectionList& List() const;
    std::shared_ptr<QZCConnection> ConnectionOf(const ui::Node& node) const;
    std::shared_ptr<QZCCommand> CommandOf(const ui::Node& node) const;
    ui::Node* ConnectionNode(const std::string& connectionId) const;

    std::shared_ptr<QZCFile> file_;
    std::unique_ptr<frmConnection> connectionEditor_;
    std::int32_t connectionKey_ = 0;
    std::int32_t commandKey_ = 0;
    bool helpOpened_ = false;
    ui::Node* menuNode_ = nullptr;  // the node the shown menu acts on
};

} // namespace qz::datasources
