#include "datasources/forms/frmDataLink.h"

#include "core/DesignerState.h"
#include "core/ModBrowseFolderAPI.h"
#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "core/ModMemoryString.h"
#include "datasources/forms/DataSourceDialogs.h"
#include "datasources/forms/frmCommandXML.h"
#include "datasources/forms/frmConnection.h"
#include "platform/automation/Text.h"
#include "platform/ui/UiHost.h"
#include "query/forms/frmQueryBuilder.h"
#include "resources/MessageIds.h"

#include <limits>

namespace qz::datasources {

namespace {

constexpr std::string_view kForm = "frmDataLink";
constexpr std::int32_t kHelpContext = 1030;
constexpr const char* kRoot = "DTLNK";
constexpr const char* kConnection = "DBCON";
constexpr const char* kCommand = "DBCMD";
constexpr int kRootImage = 3, kConnectionImage = 2, kCommandImage = 7;
// What showing the tree may take beyond the file and the nodes (the rows of a
// hundred thousand connections, the window, a dialog that says why).
constexpr std::size_t kWindowHeadroom = std::size_t{128} << 20;

std::string KindOf(const ui::Node& node) { return node.Key().substr(0, 5); }
bool IsConnection(const ui::Node& node) { return KindOf(node) == kConnection; }
bool IsCommand(const ui::Node& node) { return KindOf(node) == kCommand; }
bool IsRoot(const ui::Node& node) { return node.Key() == kRoot; }

// Shows the window's busy pointer for the life of the object.
struct BusyPointer {
    BusyPointer() { ui::currentHost().setBusyCursor(true); }
    ~BusyPointer() { ui::currentHost().setBusyCursor(false); }
};

} // namespace

frmDataLink::frmDataLink() : ui::Form("frmDataLink", "Quorvane Data Sources") {
    control(tlbDataLink, "tlbDataLink");
    tlbDataLink.AddButton("AddCn", "Add Connection").Caption = "Add Connection";
    tlbDataLink.AddButton("AddCmd", "Add Command").Caption = "Add Command";
    tlbDataLink.AddButton("Delete", "Delete").Caption = "Delete";
    tlbDataLink.AddButton("Properties", "Properties").Caption = "Properties";
    control(trvDataLink, "trvDataLink");
    trvDataLink.LabelEdit = ui::tvwManual;  // F2 and the rename items start editing
    trvDataLink.KeyDown = [this](int& k, int s) { trvDataLink_KeyDown(k, s); };
    trvDataLink.KeyPress = [this](int& k) { trvDataLink_KeyPress(k); };
    trvDataLink.MouseUp = [this](int b, int s, int x, int y) { trvDataLink_MouseUp(b, s, x, y); };
    trvDataLink.BeforeLabelEdit = [this](bool& cancel) { trvDataLink_BeforeLabelEdit(cancel); };
    trvDataLink.AfterLabelEdit = [this](bool& cancel, const std::string& text) {
        trvDataLink_AfterLabelEdit(cancel, text);
    };
    control(cmdHelp, "cmdHelp").Caption = "&Help";
    control(cmdClose, "cmdClose").Caption = "&Close";
    cmdClose.Cancel = true;

    // Each menu acts on the node it was shown for; a failure is shown there.
    auto act = [this](const char* routine, auto what) {
        return [this, routine, what] {
            Handled(kForm, routine, kErrLog | kErrShow, [&] {
                if (menuNode_) what(*menuNode_);
            });
        };
    };
    auto addConnection = act("mnuPopupDataLinkAddDBCon_Click", [this](ui::Node&) { AddConnectionNode({}, {}); });
    mnuPopupDataLink.Name = "mnuPopupDataLink";
    mnuPopupDataLink.Add("mnuPopupDataLinkAddDBCon", "Add DB Connection", addConnection);
    mnuPopupDataLink.Add("mnuLin1", "-");
    mnuPopupDataLink.Add("mnuPopupDataLinkProperties", "Properties");

    mnuPopupCon.Name = "mnuPopupCon";
    mnuPopupCon.Add("mnuPopupConAddDBCon", "Add DB Connection", addConnection);
    mnuPopupCon.Add("mnuPopupConAddDBCmd", "Add DB Command", act("mnuPopupConAddDBCmd_Click", [this](ui::Node& n) {
                        AddCommandNode(n.Tag, {}, {});
                    }));
    mnuPopupCon.Add("mnuLineDBCon1", "-");
    mnuPopupCon.Add("mnuPopupConDelDBCon", "Delete DB Connection",
                    act("mnuPopupConDelDBCon_Click", [this](ui::Node& n) { DeleteConnection(n); }));
    mnuPopupCon.Add("mnuPopupConRenameDBCon", "Rename DB Connection", [this] {
        if (!menuNode_) return;
        trvDataLink.Select(menuNode_);
        trvDataLink.StartLabelEdit();
    });
    mnuPopupCon.Add("mnuLineDBCon2", "-");
    mnuPopupCon.Add("mnuPopupConProperties", "Properties",
                    act("mnuPopupConProperties_Click", [this](ui::Node& n) { ShowConnectionPropertiesWindow(n); }));

    mnuPopupCmd.Name = "mnuPopupCmd";
    mnuPopupCmd.Add("mnuPopupCmdAddDBCmd", "Add DB Command", act("mnuPopupCmdAddDBCmd_Click", [this](ui::Node& n) {
                        if (n.Parent()) AddCommandNode(n.Parent()->Tag, {}, {});
                    }));
    mnuPopupCmd.Add("mnuLineDBCmd1", "-");
    mnuPopupCmd.Add("mnuPopupCmdDelDBCmd", "Delete DB Command",
                    act("mnuPopupCmdDelDBCmd_Click", [this](ui::Node& n) { DeleteCommand(n); }));
    mnuPopupCmd.Add("mnuPopupCmdRenameDBCmd", "Rename DB Command", [this] {
        if (!menuNode_) return;
        trvDataLink.Select(menuNode_);
        trvDataLink.StartLabelEdit();
    });
    mnuPopupCmd.Add("mnuLineDBCmd2", "-");
    mnuPopupCmd.Add("mnuPopupCmdProperties", "Properties",
                    act("mnuPopupCmdProperties_Click", [this](ui::Node& n) { ShowCommandPropertiesWindow(n); }));
}

frmDataLink::~frmDataLink() {
    Quietly([this] { Unload(); });  // lets the kept connection editor go
    connectionEditor_.reset();
}

// ---- the model ---------------------------------------------------------------------

QZCConnectionList& frmDataLink::List() const {
    if (!file_ || !file_->ConnectionList()) RaiseError(msg::CannotOpenQzcFile);
    return *file_->ConnectionList();
}

std::shared_ptr<QZCConnection> frmDataLink::ConnectionOf(const ui::Node& node) const {
    auto cn = List().FindItem(node.Tag);
    if (!cn) RaiseError(msg::InvalidConnectionName);
    return cn;
}

std::shared_ptr<QZCCommand> frmDataLink::CommandOf(const ui::Node& node) const {
    if (!node.Parent()) RaiseError(msg::InvalidCommandName);
    const auto cn = ConnectionOf(*node.Parent());
    auto cmd = cn->CommandList() ? cn->CommandList()->FindItem(node.Tag) : nullptr;
    if (!cmd) RaiseError(msg::InvalidCommandName);
    return cmd;
}

ui::Node* frmDataLink::ConnectionNode(const std::string& connectionId) const {
    ui::Node* root = trvDataLink.Find(kRoot);
    if (root)
        for (ui::Node* n : root->Children())
            if (n->Tag == connectionId) return n;
    return nullptr;
}

void frmDataLink::Reload() noexcept {
    Handled(kForm, "Reload", kErrLog, [&] {
        auto file = std::make_shared<QZCFile>();
        file->Load(QzcFullName());
        file_ = std::move(file);
        InitializeTreeview();
    });
}

// ---- set-up ------------------------------------------------------------------------

void frmDataLink::Initialize() {
    HandledWithCleanUp(kForm, "Initialize", kErrLog | kErrShow, [&] {
        helpOpened_ = false;
        menuNode_ = nullptr;
        file_.reset();
        trvDataLink.Clear();
        // The file and its tree must leave the window room to show them: a
        // file too large for the memory there is fails here, with its
        // message, instead of the window failing as it is shown.
        const MemoryHeadroom room(kWindowHeadroom);
        auto file = std::make_shared<QZCFile>();
        file->Load(QzcFullName());
        file_ = std::move(file);
        InitializeTreeview();
    }, [&] {
        // The window still opens, on an empty tree, and says why; what was
        // read is let go (memory may be what ran short).
        file_.reset();
        trvDataLink.Clear();
        trvDataLink.Add(kRoot, "Data Sources", kRootImage).Expanded = true;
    });
}

void frmDataLink::Show() {
    Form_Activate();
    ShowModal();
}

void frmDataLink::InitializeTreeview() {
    trvDataLink.Clear();
    menuNode_ = nullptr;
    trvDataLink.Add(kRoot, "Data Sources", kRootImage).Expanded = true;
    // Copies: adding may not change the list, but the names are read first.
    const auto connections = List().List();
    for (const auto& cn : connections) AddConnectionNode(cn->ID, cn->Name);
}

std::int32_t frmDataLink::NextNumber(const std::string& prefix) const {
    std::int64_t n = 0;
    for (const ui::Node* node : trvDataLink.Nodes()) {
        if (node->Text.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = node->Text.substr(prefix.size());
        // Only plain digits count, and only numbers a new name can follow.
        if (rest.empty() || rest.size() > 10 || rest.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::int64_t v = std::stoll(rest);
        if (v < std::numeric_limits<std::int32_t>::max()) n = std::max(n, v);
    }
    return static_cast<std::int32_t>(n + 1);
}

void frmDataLink::AddConnectionNode(const std::string& connectionId, const std::string& name) {
    std::string id = connectionId, text = name;
    if (text.empty()) {
        text = "DBConnection" + std::to_string(NextNumber("DBConnection"));
        RequireQzcFile();
        auto cn = List().CreateNew();
        cn->Name = text;
        // On failure the new element must not reach the file with a later save.
        WriteOrRaise([&] { cn->Save(); }, [this] { Reload(); });
        id = cn->ID;
    }
    ui::Node& node = trvDataLink.Add(kRoot, ui::tvwChild, kConnection + std::to_string(connectionKey_++), text,
                                     kConnectionImage);
    node.Tag = id;
    trvDataLink.Select(&node);
    if (name.empty()) return;
    const auto cn = List().FindItem(id);
    if (!cn || !cn->CommandList()) return;
    const auto commands = cn->CommandList()->List();
    for (const auto& cmd : commands) AddCommandNode(id, cmd->ID, cmd->Name);
}

void frmDataLink::AddCommandNode(const std::string& connectionId, const std::string& commandId,
                                 const std::string& name) {
    ++commandKey_;
    std::string id = commandId, text = name;
    if (id.empty()) {
        const auto cn = List().FindItem(connectionId);
        if (!cn) RaiseError(msg::InvalidConnectionName);
        if (!cn->CommandList()) RaiseError(msg::InvalidQzcFile);
        text = "DBCommand" + std::to_string(NextNumber("DBCommand"));
        RequireQzcFile();
        auto cmd = cn->CommandList()->CreateNew();
        cmd->Name = text;
        WriteOrRaise([&] { cmd->Save(); }, [this] { Reload(); });
        id = cmd->ID;
    }
    // Under the node of its connection, whichever node is selected: found at
    // once when the selection is that node or one of its commands (as while
    // the tree is filled), else looked for among the connections.
    ui::Node* parent = trvDataLink.SelectedItem();
    if (parent && KindOf(*parent) == kCommand) parent = parent->Parent();
    if (!parent || KindOf(*parent) != kConnection || parent->Tag != connectionId) parent = ConnectionNode(connectionId);
    if (!parent) RaiseError(msg::InvalidConnectionName);
    ui::Node& node = trvDataLink.Add(parent->Key(), ui::tvwChild, kCommand + std::to_string(commandKey_), text,
                                     kCommandImage);
    node.Tag = id;
    parent->Expanded = true;
    trvDataLink.Select(&node);
}

bool frmDataLink::VerifyIfNameAlreadyExistInTreeview(const std::string& name, const std::string& kind,
                                                     const ui::Node* self) const {
    // Commands become objects of the script, where letter case does not count.
    const bool command = kind == kCommand;
    for (const ui::Node* n : trvDataLink.Nodes())
        if (n != self && KindOf(*n) == kind && (command ? equalsNoCaseAscii(n->Text, name) : n->Text == name))
            return true;
    return false;
}

bool frmDataLink::ConnectionAlreadyExists(const std::string& name, const std::string& id) const {
    for (const auto& cn : List().List())
        if (cn->Name == name || cn->ID == id) return true;
    return false;
}

bool frmDataLink::FindCommandName(const std::string& name, const QZCCommand* self) const {
    return QzCommandNameAlreadyExist(List(), name, self);
}

// ---- renaming in place ---------------------------------------------------------------

void frmDataLink::trvDataLink_BeforeLabelEdit(bool& cancel) {
    HandledWithCleanUp(kForm, "trvDataLink_BeforeLabelEdit", kErrLog | kErrShow, [&] {
        const ui::Node* node = trvDataLink.SelectedItem();
        if (!node || IsRoot(*node)) cancel = true;
    }, [&] { cancel = true; });
}

void frmDataLink::trvDataLink_AfterLabelEdit(bool& cancel, const std::string& newString) {
    ui::Node* node = trvDataLink.SelectedItem();
    HandledWithCleanUp(kForm, "trvDataLink_AfterLabelEdit", kErrShow, [&] {
        if (!node || IsRoot(*node) || TemplateReadOnly() || newString == node->Text) {
            cancel = true;
            return;
        }
        if (onlySpaces(newString) || !ValidCnOrCmdName(newString)) RaiseError(msg::InvalidName);
        const bool command = IsCommand(*node);
        RequireQzcFile();
        if (VerifyIfNameAlreadyExistInTreeview(newString, KindOf(*node), node))
            RaiseError(command ? msg::DuplicateCommandName : msg::DuplicateConnectionName);
        if (command) {
            const auto cmd = CommandOf(*node);
            if (FindCommandName(newString, cmd.get())) RaiseError(msg::InvalidCommandName);
            const std::string old = cmd->Name;
            cmd->Name = newString;
            SaveOrRestore([&] { cmd->Save(); }, [&] { cmd->Name = old; });
        } else {
            if (ConnectionAlreadyExists(newString, "0")) RaiseError(msg::InvalidConnectionName);
            const auto cn = ConnectionOf(*node);
            const std::string old = cn->Name;
            cn->Name = newString;
            SaveOrRestore([&] { cn->Save(); }, [&] { cn->Name = old; });
        }
    }, [&] { cancel = true; });
}

// ---- properties ------------------------------------------------------------------------

void frmDataLink::ShowProperties(ui::Node& node) {
    if (IsConnection(node)) ShowConnectionPropertiesWindow(node);
    else if (IsCommand(node)) ShowCommandPropertiesWindow(node);
}

void frmDataLink::ShowConnectionPropertiesWindow(ui::Node& node) {
    if (!connectionEditor_) connectionEditor_ = std::make_unique<frmConnection>();
    frmConnection& editor = *connectionEditor_;
    const auto cn = ConnectionOf(node);
    {
        BusyPointer busy;
        editor.QzConnection(cn);
        editor.QzConnectionList(file_->ConnectionList());
        editor.Initialize();
    }
    editor.Form_Activate();
    editor.ShowModal();
    if (editor.PropertiesSaved()) {
        cn->Load();
        node.Text = editor.txtConnectionName.Text;
    }
    Form_Activate();  // the window is active again
}

void frmDataLink::ShowCommandPropertiesWindow(ui::Node& node) {
    HandledWithError(kForm, "ShowCommandPropertiesWindow", kErrLog, [&] {
        bool saved = false;
        {
            std::unique_ptr<ui::Form> editor;
            BusyPointer busy;
            if (!node.Parent()) RaiseError(msg::InvalidCommandName);
            const auto cn = ConnectionOf(*node.Parent());
            const auto cmd = CommandOf(node);
            const std::optional<ConnectionType> type = ConnectionTypeOf(cn->ConnectionType);
            if (type && *type <= kOleDb) {
                auto qb = std::make_unique<query::frmQueryBuilder>();
                qb->QzCommand(cmd);
                qb->QzConnectionList(file_->ConnectionList());
                qb->QzCnCommand(cn);
                qb->Initialize();
                ui::currentHost().setBusyCursor(false);
                qb->ShowModal();
                saved = qb->PropertiesSaved();
                editor = std::move(qb);
            } else if (type == kPersistedRecordset) {
                auto xml = std::make_unique<frmCommandXML>();
                xml->QzCommand(cmd);
                xml->QzConnectionList(file_->ConnectionList());
                xml->QzCnCommand(cn);
                xml->Initialize();
                ui::currentHost().setBusyCursor(false);
                xml->Form_Activate();
                xml->ShowModal();
                saved = xml->PropertiesSaved();
                editor = std::move(xml);
            } else {
                RaiseError(msg::InvalidConnectionType);
            }
            if (saved) {
                cn->Load();
                if (const auto reloaded = cn->CommandList() ? cn->CommandList()->FindItem(node.Tag) : nullptr)
                    node.Text = reloaded->Name;
            }
            editor->Unload();
        }
        Form_Activate();
    }, [](const AutomationError& e) {
        if (!IsOwn(e, msg::InvalidConnectionType)) throw OwnError(msg::CannotViewCommandProperties);
        ShowErrorDialog(e.Description, "");
    });
}

// ---- deleting ----------------------------------------------------------------------------

void frmDataLink::DeleteNode(ui::Node& node) {
    if (TemplateReadOnly()) return;  // the Delete key too leaves a read-only template alone
    if (IsCommand(node)) DeleteCommand(node);
    else if (IsConnection(node)) DeleteConnection(node);
}

void frmDataLink::DeleteCommand() {
    Handled(kForm, "DeleteCommand", kErrLog | kErrShow, [&] {
        if (ui::Node* node = trvDataLink.SelectedItem(); node && IsCommand(*node)) DeleteCommand(*node);
    });
}

void frmDataLink::DeleteCommand(ui::Node& node) {
    if (ui::currentHost().msgBox("Do you really want delete this command?", ui::vbYesNo | ui::vbQuestion,
                                 "Delete Command") != ui::vbYes)
        return;
    if (!node.Parent()) RaiseError(msg::InvalidCommandName);
    const auto cn = ConnectionOf(*node.Parent());
    RequireQzcFile();
    WriteOrRaise([&] {
        if (!cn->CommandList()) RaiseError(msg::InvalidCommandName);
        cn->CommandList()->Delete(node.Tag);
    });
    if (menuNode_ == &node) menuNode_ = nullptr;
    trvDataLink.Remove(node.Key());
    ToggleToolBarButton();  // the selection moved
}

void frmDataLink::DeleteConnection(ui::Node& node) {
    if (ui::currentHost().msgBox("Do you really want delete this connection and all its command?",
                                 ui::vbYesNo | ui::vbQuestion, "Delete Connection") != ui::vbYes)
        return;
    RequireQzcFile();
    WriteOrRaise([&] { List().Delete(node.Tag); });
    ui::Node* above = nullptr;
    if (ui::Node* parent = node.Parent())
        for (ui::Node* sibling : parent->Children()) {
            if (sibling == &node) break;
            above = sibling;
        }
    menuNode_ = nullptr;
    trvDataLink.Remove(node.Key());
    if (above) trvDataLink.Select(above);
    ToggleToolBarButton();
}

// ---- toolbar and menus ------------------------------------------------------------------

void frmDataLink::ToggleToolBarButton() {
    const ui::Node* node = trvDataLink.SelectedItem();
    const bool connection = node && IsConnection(*node), command = node && IsCommand(*node);
    bool addCommand = command;
    if (connection) addCommand = file_ && ConnectionAlreadyExists(node->Text, node->Tag);
    tlbDataLink.Button("AddCn").Enabled = true;
    tlbDataLink.Button("AddCmd").Enabled = addCommand;
    tlbDataLink.Button("Delete").Enabled = connection || command;
    tlbDataLink.Button("Properties").Enabled = connection || command;
    if (TemplateReadOnly())
        for (const char* key : {"AddCmd", "AddCn", "Delete"}) tlbDataLink.Button(key).Enabled = false;
}

void frmDataLink::ShowPopupMenu(ui::Node& node, int x, int y) {
    const bool readOnly = TemplateReadOnly();
    menuNode_ = &node;
    if (IsRoot(node)) {
        mnuPopupDataLink.Find("mnuPopupDataLinkAddDBCon")->Enabled = !readOnly;
        PopupMenu(mnuPopupDataLink, x, y);
    } else if (IsConnection(node)) {
        for (ui::MenuItem& item : mnuPopupCon.Items) item.Enabled = true;
        mnuPopupCon.Find("mnuPopupConAddDBCmd")->Enabled = ConnectionAlreadyExists(node.Text, node.Tag);
        if (readOnly)
            for (const char* name : {"mnuPopupConAddDBCmd", "mnuPopupConAddDBCon", "mnuPopupConDelDBCon",
                                     "mnuPopupConRenameDBCon"})
                mnuPopupCon.Find(name)->Enabled = false;
        PopupMenu(mnuPopupCon, x, y, "mnuPopupConProperties");
    } else if (IsCommand(node)) {
        for (ui::MenuItem& item : mnuPopupCmd.Items) item.Enabled = true;
        if (readOnly)
            for (const char* name : {"mnuPopupCmdAddDBCmd", "mnuPopupCmdDelDBCmd", "mnuPopupCmdRenameDBCmd"})
                mnuPopupCmd.Find(name)->Enabled = false;
        PopupMenu(mnuPopupCmd, x, y, "mnuPopupCmdProperties");
    }
    ToggleToolBarButton();
}

void frmDataLink::tlbDataLink_ButtonClick(const std::string& key) {
    HandledWithError(kForm, "tlbDataLink_ButtonClick", kErrLog | kErrShow, [&] {
        ui::Node* node = trvDataLink.SelectedItem();
        if (key == "AddCmd") {
            if (node && IsCommand(*node) && node->Parent()) AddCommandNode(node->Parent()->Tag, {}, {});
            else if (node && IsConnection(*node)) AddCommandNode(node->Tag, {}, {});
        } else if (key == "AddCn") {
            AddConnectionNode({}, {});
        } else if (key == "Delete") {
            if (node) DeleteNode(*node);
        } else if (key == "Properties") {
            if (node) ShowProperties(*node);
        }
        ToggleToolBarButton();
    }, [&](const AutomationError&) {
        Quietly([this] { ToggleToolBarButton(); });
    });
}

// ---- tree events ------------------------------------------------------------------------

void frmDataLink::Click(ui::Node& node) {
    if (!IsConnection(node) && !IsCommand(node)) return;
    std::string text;
    for (std::size_t i = 0; i < node.Text.size(); ++i) {
        text += node.Text[i];
        if (node.Text[i] == '\'' && i + 1 < node.Text.size() && node.Text[i + 1] == '\'') ++i;
    }
    node.Text = text;
}

void frmDataLink::trvDataLink_NodeClick() {
    Handled(kForm, "trvDataLink_NodeClick", kErrLog | kErrShow, [&] {
        if (ui::Node* node = trvDataLink.SelectedItem()) Click(*node);
        ToggleToolBarButton();
    });
}

void frmDataLink::DblClick() {
    ui::Node* node = trvDataLink.SelectedItem();
    if (!node) return;
    Click(*node);
    if (IsRoot(*node)) node->Expanded = true;
    else node->Expanded = !node->Expanded;
    if (IsConnection(*node)) ShowConnectionPropertiesWindow(*node);
    else if (IsCommand(*node)) ShowCommandPropertiesWindow(*node);
}

void frmDataLink::trvDataLink_DblClick() {
    Handled(kForm, "trvDataLink_DblClick", kErrLog | kErrShow, [&] {
        DblClick();
    });
}

void frmDataLink::trvDataLink_KeyPress(int& keyAscii) {
    if (keyAscii != 13) return;
    keyAscii = 0;
    Handled(kForm, "trvDataLink_KeyPress", kErrLog | kErrShow, [&] {
        DblClick();
    });
}

void frmDataLink::trvDataLink_KeyDown(int& keyCode, int) {
    Handled(kForm, "trvDataLink_KeyDown", kErrLog | kErrShow, [&] {
        ui::Node* node = trvDataLink.SelectedItem();
        if (!node) return;
        if (keyCode == 93) {
            ui::Rect r;
            GetSelectedNodeRect(trvDataLink, r);
            ShowPopupMenu(*node, TreeLeft + r.Right, TreeTop + r.Bottom);
        } else if (keyCode == 46) {
            DeleteNode(*node);
        } else if (keyCode == 113) {
            trvDataLink.StartLabelEdit();
        }
    });
}

void frmDataLink::trvDataLink_MouseUp(int button, int, int x, int y) {
    if (button != 2) return;
    Handled(kForm, "trvDataLink_MouseUp", kErrLog | kErrShow, [&] {
        if (ui::Node* node = trvDataLink.HitTest(x, y)) ShowPopupMenu(*node, TreeLeft + x, TreeTop + y);
    });
}

// ---- activation, help, unload ---------------------------------------------------------------

void frmDataLink::Form_Activate() {
    Handled(kForm, "Form_Activate", kErrLog | kErrShow, [&] {
        ToggleToolBarButton();
        if (TemplateReadOnly()) {
            Caption = "Data Sources (Read Only)";
            tlbDataLink.Button("Properties").Enabled = true;
        } else {
            Caption = "Quorvane Data Sources";
        }
    });
}

void frmDataLink::cmdHelp_Click() {
    Handled(kForm, "cmdHelp_Click", kErrLog | kErrShow, [&] {
        helpOpened_ = true;
        if (goDesigner) goDesigner->GetHelpCenter().OpenHelpCenter(0, kHelpContext);
    });
}

void frmDataLink::OnUnload() {
    Quietly([this] {
        file_.reset();
        menuNode_ = nullptr;
        if (helpOpened_ && glHelpWindowHandle != 0) ui::currentHost().showHelp("", ui::HelpCloseAll, 0);
        if (connectionEditor_) connectionEditor_->Unload();
        connectionEditor_.reset();
    });
}

} // namespace qz::datasources
