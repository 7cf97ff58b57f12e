// The data-sources window driven as an author drives it: the tree of the QZC
// file, new items with their default names written at once, renaming in place
// with its refusals, deleting with confirmation, the read-only state, the
// editors by connection type, and a QZC file that turns read-only meanwhile.
#include "DataSourceWindowsFixture.h"

#include "config/QZCFile.h"
#include "datasources/forms/frmCommandXML.h"
#include "datasources/forms/frmConnection.h"
#include "datasources/forms/frmDataLink.h"
#include "designer/Designer.h"

using namespace qz;
using namespace qz::datasources;

namespace {

using Names = std::vector<std::string>;

struct DataLink : test::DataSourceWindows {
    frmDataLink w;
    ui::TreeView& tree() { return w.trvDataLink; }
    ui::Node* Node(const std::string& text) {
        for (ui::Node* n : tree().Nodes())
            if (n->Text == text) return n;
        return nullptr;
    }
    void Select(const std::string& text) { tree().Select(Node(text)); }
    bool Rename(const std::string& from, const std::string& to) {
        Select(from);
        int f2 = 113;
        w.trvDataLink_KeyDown(f2, 0);
        return tree().EndLabelEdit(to);
    }
    std::vector<std::string> Enabled() {
        std::vector<std::string> keys;
        for (const auto& b : w.tlbDataLink.Buttons)
            if (b.Enabled) keys.push_back(b.Key);
        return keys;
    }
    std::vector<std::string> InFile() {  // of every connection and command in the file
        QZCFile f;
        f.Load(qzcPath);
        std::vector<std::string> names;
        for (const auto& cn : f.ConnectionList()->List()) {
            names.push_back(cn->Name + ":" + cn->ConnectionType);
            for (const auto& cmd : cn->CommandList()->List()) names.push_back(cn->Name + "." + cmd->Name);
        }
        return names;
    }
};

} // namespace

TEST_F(DataLink, AnEmptyFileShowsTheRootAndOffersOnlyANewConnection) {
    WriteQzc("");
    w.Initialize();
    w.Form_Activate();
    ASSERT_EQ(tree().Count(), 1u);
    EXPECT_EQ(tree().Roots()[0]->Text, "Data Sources");
    EXPECT_TRUE(tree().Roots()[0]->Expanded);
    EXPECT_EQ(tree().SelectedItem(), nullptr);
    EXPECT_EQ(Enabled(), Names{"AddCn"});
    EXPECT_EQ(w.Caption, "Quorvane Data Sources");
    // F2, Delete and Enter on the root change nothing.
    Select("Data Sources");
    for (int key : {113, 46}) w.trvDataLink_KeyDown(key, 0);
    int enter = 13;
    w.trvDataLink_KeyPress(enter);
    EXPECT_EQ(enter, 0);
    EXPECT_EQ(tree().EditingNode(), nullptr);
    EXPECT_EQ(tree().Count(), 1u);
}

TEST_F(DataLink, NewItemsAreNumberedOverTheWholeTreeAndWrittenAtOnce) {
    WriteQzc(Connection("ID1", "DBConnection1", "8", "", Command("ID1", "DBCommand2")) +
             Connection("ID2", "DBConnection7", "8", "", Command("ID1", "DBCommand5")) +
             Connection("ID3", "DBConnectionX", "8", "") + Connection("ID4", "dbconnection9", "8", "") +
             Connection("ID5", "DBConnection99999999999", "8", ""));
    w.Initialize();
    EXPECT_EQ(tree().Find("DBCON0")->Text, "DBConnection1");
    EXPECT_EQ(tree().Find("DBCMD1")->Text, "DBCommand2");
    EXPECT_TRUE(tree().Find("DBCON0")->Expanded);
    w.tlbDataLink_ButtonClick("AddCn");
    EXPECT_EQ(tree().SelectedItem()->Text, "DBConnection8");
    // A command lands under the selected connection, numbered after DBCommand5.
    w.tlbDataLink_ButtonClick("AddCmd");
    EXPECT_EQ(tree().SelectedItem()->Text, "DBCommand6");
    EXPECT_EQ(tree().SelectedItem()->Parent()->Text, "DBConnection8");
    const Names names = InFile();
    EXPECT_EQ(names[names.size() - 2], "DBConnection8:");  // no type until the editor saves one
    EXPECT_EQ(names.back(), "DBConnection8.DBCommand6");
    // Keys go on after a reload and are never used twice.
    w.Initialize();
    EXPECT_EQ(tree().Find("DBCON0"), nullptr);
    EXPECT_EQ(tree().Find("DBCON6")->Text, "DBConnection1");
    EXPECT_EQ(tree().Find("DBCMD4")->Text, "DBCommand2");
}

TEST_F(DataLink, RenamingRefusesWhatCannotBeANameAndSavesTheRest) {
    WriteQzc(Connection("ID1", "Shop", "8", "", Command("ID1", "Orders")) +
             Connection("ID2", "Stock", "8", "", Command("ID1", "Items")));
    w.Initialize();
    const std::string before = Qzc();
    EXPECT_FALSE(Rename("Items", "9x"));
    EXPECT_FALSE(Rename("Items", " "));
    EXPECT_FALSE(Rename("Items", "Orders"));
    EXPECT_FALSE(Rename("Items", "ORDERS"));  // one object to the script
    EXPECT_FALSE(Rename("Stock", "Shop"));
    EXPECT_FALSE(Rename("Stock", "Stock"));  // unchanged: silent
    const std::string invalid = GetResourceString(4027);
    EXPECT_EQ(host.errorTexts, (Names{invalid, invalid, GetResourceString(4025), GetResourceString(4025),
                                      GetResourceString(4026)}));
    EXPECT_EQ(Qzc(), before);
    ASSERT_NE(Node("Items"), nullptr);
    // A connection may carry a command's name; a command may change its case.
    EXPECT_TRUE(Rename("Stock", "Orders"));
    EXPECT_TRUE(Rename("Items", "items"));
    EXPECT_EQ(InFile(), (Names{"Shop:8", "Shop.Orders", "Orders:8", "Orders.items"}));
    // On a read-only template nothing changes and nothing is said.
    designer.readOnly = true;
    EXPECT_FALSE(Rename("items", "Lines"));
    EXPECT_EQ(host.errorTexts.size(), 5u);
}

TEST_F(DataLink, DeletingAsksFirstAndSelectsTheConnectionAbove) {
    WriteQzc(Connection("ID1", "A", "8", "", Command("ID1", "C1") + Command("ID2", "C2")) + Connection("ID2", "B", "8", ""));
    w.Initialize();
    Select("C2");
    host.queueMsgBoxResult(ui::vbNo);
    w.DeleteCommand();
    EXPECT_NE(Node("C2"), nullptr);
    host.queueMsgBoxResult(ui::vbYes);
    w.tlbDataLink_ButtonClick("Delete");
    EXPECT_EQ(Node("C2"), nullptr);
    const auto boxes = host.requests(ui::UiRequest::MsgBox);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].prompt, "Do you really want delete this command?");
    EXPECT_EQ(boxes[0].title, "Delete Command");
    Select("B");
    host.queueMsgBoxResult(ui::vbYes);
    int del = 46;
    w.trvDataLink_KeyDown(del, 0);
    EXPECT_EQ(host.requests(ui::UiRequest::MsgBox).back().prompt,
              "Do you really want delete this connection and all its command?");
    EXPECT_EQ(tree().SelectedItem()->Text, "A");
    EXPECT_EQ(InFile(), (Names{"A:8", "A.C1"}));
    // A right click on another node acts on that node.
    w.Initialize();
    Select("C1");
    host.queuePopupMenu("mnuPopupConDelDBCon");
    host.queueMsgBoxResult(ui::vbYes);
    ui::Rect r;
    ASSERT_TRUE(tree().NodeRect(*Node("A"), r));
    w.trvDataLink_MouseUp(2, 0, r.Left + 1, r.Top + 1);
    EXPECT_EQ(host.requests(ui::UiRequest::PopupMenu).back().prompt, "mnuPopupCon");
    EXPECT_EQ(host.requests(ui::UiRequest::PopupMenu).back().text, "mnuPopupConProperties");
    EXPECT_TRUE(InFile().empty());
    EXPECT_EQ(tree().Count(), 1u);
}

TEST_F(DataLink, AReadOnlyTemplateOffersOnlyProperties) {
    WriteQzc(Connection("ID1", "A", "8", "", Command("ID1", "C1")));
    designer.readOnly = true;
    w.Initialize();
    w.Form_Activate();
    EXPECT_EQ(w.Caption, "Data Sources (Read Only)");
    EXPECT_EQ(Enabled(), Names{"Properties"});
    for (const char* node : {"A", "C1"}) {
        Select(node);
        int menuKey = 93;
        w.trvDataLink_KeyDown(menuKey, 0);
        ui::Menu& menu = std::string(node) == "A" ? w.mnuPopupCon : w.mnuPopupCmd;
        Names enabled;
        for (const auto& item : menu.Items)
            if (item.Enabled && !item.IsSeparator()) enabled.push_back(item.Caption);
        EXPECT_EQ(enabled, Names{"Properties"}) << node;
    }
    // The editor of a saved recordset still opens, with its OK disabled.
    host.queueFormAction([](ui::Form& f) { EXPECT_FALSE(dynamic_cast<frmCommandXML*>(&f)->cmdOk.Enabled); });
    Select("C1");
    w.tlbDataLink_ButtonClick("Properties");
    EXPECT_EQ(host.requests(ui::UiRequest::Modal).back().title, "Command Properties (A)");
}

TEST_F(DataLink, CommandEditorsFollowTheConnectionType) {
    WriteQzc(Connection("ID1", "New", "", "", Command("ID1", "C1")) +
             Connection("ID2", "Outlook", "7", "", Command("ID1", "C2")) +
             Connection("ID3", "Saved", "8", "", Command("ID1", "C3", "items.xml")));
    w.Initialize();
    for (const char* cmd : {"C1", "C2"}) {
        Select(cmd);
        w.trvDataLink_DblClick();
    }
    EXPECT_EQ(host.errorTexts, (Names(2, GetResourceString(4055))));
    host.queueFormAction([](ui::Form& f) {
        auto& xml = dynamic_cast<frmCommandXML&>(f);
        xml.txtCommandName.Text = "Lines";
        xml.cmdOk_Click();
    });
    Select("C3");
    w.tlbDataLink_ButtonClick("Properties");
    EXPECT_EQ(Node("Lines")->Tag, "ID1");
    EXPECT_EQ(InFile().back(), "Saved.Lines");
    // An SQL command opens in the query builder.
    MakeDatabase(dir + "/shop.db");
    WriteQzc(Connection("ID1", "Shop", "0", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"shop.db\"",
                        Command("ID1", "Orders", "SELECT T.A FROM T")));
    w.Initialize();
    Select("Orders");
    int enter = 13;
    w.trvDataLink_KeyPress(enter);
    EXPECT_EQ(host.requests(ui::UiRequest::Modal).back().formName, "frmQueryBuilder");
    EXPECT_EQ(host.errorTexts.size(), 2u);
}

TEST_F(DataLink, AQzcFileThatTurnsReadOnlyIsNeverHalfWritten) {
    WriteQzc(Connection("ID1", "A", "8", "", Command("ID1", "C1")));
    w.Initialize();
    MakeReadOnly();
    const std::string before = Qzc();
    EXPECT_FALSE(Rename("C1", "Lines"));
    w.tlbDataLink_ButtonClick("AddCn");
    Select("A");
    w.tlbDataLink_ButtonClick("AddCmd");
    const std::string refused = GetResourceString(4008) + "\r\n" + GetResourceString(4041) + qzcPath +
                                GetResourceString(4042);
    EXPECT_EQ(host.errorTexts, (Names(3, refused)));
    EXPECT_TRUE(designer.readOnly);
    EXPECT_EQ(Qzc(), before);
    EXPECT_EQ(tree().Count(), 3u);
    // Writable again: the next write carries none of the refused changes.
    ::chmod(qzcPath.c_str(), 0644);
    designer.readOnly = false;
    ASSERT_TRUE(Rename("A", "B"));
    EXPECT_EQ(InFile(), (Names{"B:8", "B.C1"}));
    // A file that goes while the window is open is not made again.
    std::filesystem::remove(qzcPath);
    EXPECT_FALSE(Rename("B", "C"));
    Select("C1");
    host.queueMsgBoxResult(ui::vbYes);
    w.DeleteCommand();
    EXPECT_EQ(host.errorTexts.back().rfind(GetResourceString(2018) + " The file '" + qzcPath + "' cannot be read: ", 0), 0u)
        << host.errorTexts.back();
    EXPECT_EQ(host.errorTexts.size(), 5u);
    EXPECT_NE(Node("C1"), nullptr);
    EXPECT_FALSE(std::filesystem::exists(qzcPath));
    // A file that cannot be loaded opens an empty window that says why.
    w.Initialize();
    EXPECT_EQ(tree().Count(), 1u);
    EXPECT_EQ(host.errorTexts.back().rfind(GetResourceString(2018) + " The file '" + qzcPath + "' cannot be read: ", 0), 0u)
        << host.errorTexts.back();
    w.tlbDataLink_ButtonClick("AddCn");
    EXPECT_FALSE(std::filesystem::exists(qzcPath));
}

TEST_F(DataLink, CommandTwentyFiveOpensTheKeptWindowOnTheTemplatesFile) {
    WriteQzc(Connection("ID1", "Shop", "0", ""));
    {
        designer::Designer d;
        d.SetTemplatePath(dir);
        d.SetQzcFileName("t.qzc");
        ui::Form* first = nullptr;
        for (const char* added : {"DBConnection1", "DBConnection2"}) {
            host.queueFormAction([&, added](ui::Form& f) {
                auto& window = dynamic_cast<frmDataLink&>(f);
                if (!first) first = &f;
                EXPECT_EQ(&f, first);  // one window, kept
                window.tlbDataLink_ButtonClick("AddCn");
                EXPECT_EQ(window.trvDataLink.SelectedItem()->Text, added);
                window.cmdClose_Click();
            });
            d.EditConnection();
        }
        EXPECT_EQ(host.requests(ui::UiRequest::Modal).back().title, "Quorvane Data Sources");
    }
    goDesigner = &designer;
    EXPECT_EQ(InFile(), (Names{"Shop:0", "DBConnection1:", "DBConnection2:"}));
}

TEST_F(DataLink, HelpOpensEachWindowsTopic) {
    frmConnection connection;
    frmCommandXML command;
    w.cmdHelp_Click();
    connection.cmdHelp_Click();
    command.cmdHelp_Click();
    std::vector<std::int32_t> topics;
    for (const auto& r : host.requests(ui::UiRequest::Help))
        if (r.style == ui::HelpContext) topics.push_back(r.data);
    EXPECT_EQ(topics, (std::vector<std::int32_t>{1030, 1032, 1031}));
}
