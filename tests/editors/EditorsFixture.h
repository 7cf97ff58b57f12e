// The field editors' tests: a template folder with a real SQLite database, a
// saved recordset with child rows and a QZC file naming them, a designer
// state pointing at it, and a headless host that records what was shown.
#pragma once

#include "core/CoreFixture.h"
#include "core/DesignerState.h"
#include "core/ModGlobal.h"
#include "platform/ui/TreeView.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace qz::editors::test {

inline const char* kSavedHeader =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'"
    " xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
    "<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>"
    "<s:AttributeType name='OrderID'><s:datatype dt:type='int'/></s:AttributeType>"
    "<s:ElementType name='Items' content='eltOnly' rs:relation='01'>"
    "<s:AttributeType name='Product'><s:datatype dt:type='string' dt:maxLength='20'/></s:AttributeType>"
    "<s:AttributeType name='Amount'><s:datatype dt:type='i2'/></s:AttributeType>"
    "<s:extends type='rs:rowbase'/></s:ElementType>"
    "<s:extends type='rs:rowbase'/></s:ElementType></s:Schema>";

// A saved recordset of orders with their items; without rows when empty.
inline std::string SavedOrders(bool empty) {
    return std::string(kSavedHeader) + "<rs:data>" +
           (empty ? "" : "<z:row OrderID='1'><Items Product='Tofu' Amount='3'/></z:row>") + "</rs:data></xml>";
}

struct EditorState : DesignerState {
    std::string folder, qzc = "Shop.qzc";
    HelpCenter help;
    bool TemplateReadOnly() const override { return false; }
    void SetTemplateReadOnly(bool) override {}
    std::string TemplatePath() const override { return folder; }
    void SetTemplatePath(const std::string& v) override { folder = v; }
    std::string QzcFileName() const override { return qzc; }
    void SetQzcFileName(const std::string& v) override { qzc = v; }
    std::string TemplateFileName() const override { return "Shop.rtf"; }
    void SetTemplateFileName(const std::string&) override {}
    std::string PreviewOutputFile() const override { return {}; }
    void SetPreviewOutputFile(const std::string&) override {}
    HelpCenter& GetHelpCenter() override { return help; }
    ado::BoundSql ResolveSqlParameters(const std::string& sql) override { return {sql, {}}; }
};

// Connections: Shop (SQLite through the Jet provider, a relative path):
// Orders, Param (a "?" parameter), Broken (no such table), After; Empty (no
// commands); Saved (saved recordsets): Orders with the child Items, Gone (no
// file), Blank (no rows); Bad (a data source name that does not exist).
inline std::string ShopQzc(const std::string& templateProperties = {}) {
    auto cmd = [](int id, const std::string& name, const std::string& text) {
        return "<Command ID=\"ID" + std::to_string(id) + "\"><Name>" + name + "</Name><Text>" + text +
               "</Text></Command>";
    };
    auto conn = [](int id, const std::string& name, const std::string& source, const std::string& type,
                   const std::string& commands) {
        return "<Connection ID=\"ID" + std::to_string(id) + "\"><Name>" + name + "</Name><DataSource>" + source +
               "</DataSource><ConnectionType>" + type + "</ConnectionType><CommandList>" + commands +
               "</CommandList></Connection>";
    };
    return "<QZC><TemplateProperties><Version>8.2.2</Version>" + templateProperties +
           "</TemplateProperties><ConnectionList>" +
           conn(1, "Shop", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=shop.db", "0",
                cmd(1, "Orders", "SELECT ID, Name, Total, Created FROM Orders") +
                    cmd(2, "Param", "SELECT Name FROM Orders WHERE ID = ?") +
                    cmd(3, "Broken", "SELECT * FROM Missing") + cmd(4, "After", "SELECT Name AS 'Say &quot;hi&quot;' FROM Orders")) +
           conn(2, "Empty", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=shop.db", "0", "") +
           conn(3, "Saved", "", "8",
                cmd(1, "Orders", "orders.xml") + cmd(2, "Gone", "gone.xml") + cmd(3, "Blank", "blank.xml")) +
           conn(4, "Bad", "DSN=NoSuchSource", "5", cmd(1, "Nothing", "SELECT 1")) + "</ConnectionList></QZC>";
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setCurrentHost(&host);
        SetApplicationObject(nullptr);
        state.folder = home.root();
        goDesigner = &state;
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((home.root() + "/shop.db").c_str(), &db), SQLITE_OK);
        sqlite3_exec(db,
                     "CREATE TABLE Orders (ID INTEGER, Name VARCHAR(40), Total DOUBLE, Created TIMESTAMP);"
                     "INSERT INTO Orders VALUES (1, 'Ann', 2.5, '2024-01-02 10:00:00');",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        qz::test::TestHome::write(home.root() + "/orders.xml", SavedOrders(false));
        qz::test::TestHome::write(home.root() + "/blank.xml", SavedOrders(true));
        WriteQzc(ShopQzc());
    }
    void TearDown() override {
        goDesigner = nullptr;
        ui::setCurrentHost(nullptr);
        SetApplicationObject(nullptr);
    }
    void WriteQzc(const std::string& text) { qz::test::TestHome::write(home.root() + "/Shop.qzc", text); }

    // The node of a path of texts from a root ("Shop/Orders/Total").
    static ui::Node* NodeAt(const ui::TreeView& tree, const std::string& path) {
        const ui::Node* parent = nullptr;
        std::size_t from = 0;
        for (;;) {
            const std::size_t slash = path.find('/', from);
            const std::string part = path.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
            const std::vector<ui::Node*>& level = parent ? parent->Children() : tree.Roots();
            ui::Node* found = nullptr;
            for (ui::Node* n : level)
                if (n->Text == part) found = n;
            if (!found || slash == std::string::npos) return found;
            parent = found;
            from = slash + 1;
        }
    }
    // The texts of a node's children, joined by ",".
    static std::string ChildTexts(const ui::Node* node) {
        std::string out;
        if (!node) return "(none)";
        for (const ui::Node* c : node->Children()) out += (out.empty() ? "" : ",") + c->Text;
        return out;
    }

    qz::test::TestHome home;
    qz::test::RecordingHost host;
    EditorState state;
};

} // namespace qz::editors::test
