// The query builder and its relationship dialog driven as an author drives
// them, over a SQLite file in the template folder: tables ticked into the
// model, relationships added, edited and removed, fields, conditions and
// sorting, the SQL tab edited and left, the preview, and OK's checks and
// saving into the QZC file.
#include "datasources/DataSourceWindowsFixture.h"

#include "QueryFixture.h"
#include "common/PgServer.h"
#include "config/QZCFile.h"
#include "query/QBSelectQueryParser.h"
#include "query/forms/frmAddForeignKey.h"
#include "query/forms/frmQueryBuilder.h"
#include "query/forms/QBControls.h"

using namespace qz;
using namespace qz::query;

namespace {

constexpr const char* kSchema = R"(
CREATE TABLE Customers(CustomerID INTEGER PRIMARY KEY, CompanyName VARCHAR(40), Active BOOLEAN, Photo BLOB);
CREATE TABLE Orders(OrderID INTEGER PRIMARY KEY, CustomerID INTEGER REFERENCES Customers(CustomerID),
                    OrderDate DATETIME, Total REAL);
CREATE TABLE Products(ProductID INTEGER PRIMARY KEY, ProductName TEXT);
CREATE VIEW BigOrders AS SELECT OrderID, Total FROM Orders WHERE Total > 100;
INSERT INTO Customers VALUES (1, 'Ana Ltd', 1, NULL), (2, 'Bo', 0, NULL), (3, 'O''Brien', 1, NULL);
INSERT INTO Orders VALUES (10, 1, '2000-01-05', 50), (11, 1, '2000-02-01', 150), (12, 2, '1999-12-31', 300),
                          (13, 3, '2000-03-01', 120);
INSERT INTO Products VALUES (1, 'Tea'), (2, 'Rice');)";

// The process's ODBC configuration is the test server's, made before main.
[[maybe_unused]] const bool kServersOdbc = (qz::test::DataSourceWindows::useOwnOdbcConfig = false);

struct QueryBuilderWindow : qz::test::DataSourceWindows {
    frmQueryBuilder b;
    QZCFile file;
    std::string db;

    void SetUp() override {
        DataSourceWindows::SetUp();
        db = dir + "/shop.db";
        sqlite3* h = nullptr;
        sqlite3_open(db.c_str(), &h);
        sqlite3_exec(h, kSchema, nullptr, nullptr, nullptr);
        sqlite3_close(h);
    }
    // Opens command ID1 of connection ID1, whose text is sql; the database
    // is named relative to the template folder, as the connection editor stores it.
    void Open(const std::string& sql, const std::string& source = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=shop.db") {
        WriteQzc(Connection("ID1", "Shop", "0", source, Command("ID1", "Orders", sql) + Command("ID2", "Lines")));
        file.Load(qzcPath);
        const auto cn = file.ConnectionList()->FindItem("ID1");
        b.QzCommand(cn->CommandList()->FindItem("ID1"));
        b.QzConnectionList(file.ConnectionList());
        b.QzCnCommand(cn);
        b.Initialize();
    }
    static ui::ListItem& Row(ui::ListView& list, const std::string& key) {
        ui::ListItem* row = list.Find(key);
        if (!row) throw std::runtime_error("no row " + key);
        return *row;
    }
    void TickTable(const std::string& name, bool on = true) {
        auto& row = Row(b.lsvTables, name);
        row.Checked = on;
        b.lsvTables_ItemCheck(row);
    }
    void TickField(const std::string& key, bool on = true) {
        auto& row = Row(b.lsvColumns, key);
        row.Checked = on;
        b.lsvColumns_ItemCheck(row);
    }
    static bool Choose(ui::ComboBox& box, const std::string& text) {
        for (int i = 0; i < box.ListCount(); ++i)
            if (box.List(i) == text) {
                box.Select(i);
                return true;
            }
        return false;
    }
    void Condition(int i, const std::string& field, const std::string& op = {}, const std::string& value = {}) {
        ASSERT_TRUE(Choose(b.cboConditionField[i], field)) << field;
        b.cboConditionField_Click(i);
        if (op.empty()) return;
        ASSERT_TRUE(Choose(b.cboConditionOperator[i], op)) << op;
        b.cboConditionOperator_Click(i);
        b.txtConditionParameter[i].Text = value;
        b.txtConditionParameter_Change(i);
    }
    void Sort(const std::string& key, const std::string& type) {
        b.lsvColumns_ItemClick(Row(b.lsvColumns, key));
        ASSERT_TRUE(Choose(b.cboSortType, type));
        b.cboSortType_Click();
    }
    std::vector<std::string> Priorities() {
        std::vector<std::string> p;
        for (size_t r = 0; r < b.lsvColumns.Count(); ++r)
            if (!b.lsvColumns.Item(r).SubItem(4).empty())
                p.push_back(b.lsvColumns.Item(r).Text + "=" + b.lsvColumns.Item(r).SubItem(4));
        return p;
    }
    // One author's session: two related tables, two fields, "any" of two
    // conditions, sorted; the text it leaves reads back to its model.
    std::string Session() {
        TickTable("Customers");
        TickTable("Orders");
        TickField("Customers.CompanyName");
        TickField("Orders.OrderID");
        Condition(0, "Orders.Total", "greater", "100");
        Condition(1, "Customers.CompanyName", "contains", "Ltd");
        Choose(b.cboSearchType, "any");
        b.cboSearchType_Click();
        Sort("Orders.OrderID", "Descending");
        const std::string sql = b.txtQuery.Text;
        QBSelectQuery back(b.GetQBSelectQuery()->GetCatalog());
        EXPECT_TRUE(QBSelectQueryParser::Parse(back, sql).ok) << sql;
        EXPECT_EQ(qz::query::test::Canonical(back), qz::query::test::Canonical(*b.GetQBSelectQuery()));
        EXPECT_EQ(back.GetSQL(), sql);
        return sql;
    }
    static qz::query::test::Rows SessionRows() {
        return {{"Ana Ltd", "10"}, {"Ana Ltd", "11"}, {"Bo", "12"}, {"O'Brien", "13"}};
    }
    // The text the window shows reads back to the same model and gives the
    // same rows as the model's own text.
    void ReadsBack() {
        const std::string sql = b.txtQuery.Text;
        QBSelectQuery back(b.GetQBSelectQuery()->GetCatalog());
        ASSERT_TRUE(QBSelectQueryParser::Parse(back, sql).ok) << sql;
        EXPECT_EQ(qz::query::test::Canonical(back), qz::query::test::Canonical(*b.GetQBSelectQuery()));
        EXPECT_EQ(back.GetSQL(), sql);
        qz::query::test::Rows rows;
        std::string error;
        EXPECT_TRUE(qz::query::test::SqliteRows(db, sql, rows, error)) << error << "\n" << sql;
    }
};

} // namespace

TEST_F(QueryBuilderWindow, TicksTablesAndFieldsSetsConditionsAndSortingAndPreviews) {
    Open("");
    EXPECT_EQ(b.Caption, "Command Properties");
    EXPECT_EQ(b.tabQueryBuilder.SelectedTab, 0);
    EXPECT_EQ(b.chkTablesToDisplay[0].Value, 1);
    ASSERT_EQ(b.lsvTables.Count(), 3u);  // the view is listed only with its box
    EXPECT_EQ(b.lsvTables.Item(0).SubItem(1), "Table");
    TickTable("Customers");
    TickTable("Orders");
    // The catalog relationship of the two tables appears at once.
    ASSERT_EQ(b.lsvForeignKeys.Count(), 1u);
    EXPECT_EQ(b.lsvForeignKeys.Item(0).SubItem(1), "Orders");
    EXPECT_EQ(b.lsvForeignKeys.Item(0).SubItem(3), "Customers");
    EXPECT_EQ(Row(b.lsvColumns, "Customers.CompanyName").SubItem(1), "Varying Wide Char");
    EXPECT_EQ(Row(b.lsvColumns, "Customers.CompanyName").SubItem(2), "40");
    EXPECT_EQ(Row(b.lsvColumns, "Customers.*").SubItem(3), "None");
    TickField("Customers.CompanyName");
    TickField("Orders.OrderDate");
    EXPECT_EQ(b.txtQuery.Text,
              "SELECT\r\n   Customers.CompanyName, \r\n   Orders.OrderDate\r\nFROM\r\n   (Orders\r\n"
              "      INNER JOIN Customers\r\n         ON Orders.CustomerID = Customers.CustomerID)\r\n");
    EXPECT_TRUE(b.cmdOk.Enabled);

    // A condition in row 2 alone; "none" of the conditions is NOT ( .. OR .. ).
    Condition(2, "Orders.Total", "greater", "100");
    Condition(3, "Customers.CompanyName", "contains", "Ltd");
    ASSERT_TRUE(Choose(b.cboSearchType, "none"));
    b.cboSearchType_Click();
    EXPECT_NE(b.txtQuery.Text.find("WHERE NOT (\r\n   Orders.Total > 100 OR \r\n   Customers.CompanyName LIKE '%Ltd%'\r\n   )"),
              std::string::npos)
        << b.txtQuery.Text;
    // "is empty" needs no value; a field back to "none" clears its row.
    Condition(3, "Customers.CompanyName", "is empty");
    EXPECT_FALSE(b.txtConditionParameter[3].Enabled);
    Condition(3, "none");
    EXPECT_FALSE(b.cboConditionOperator[3].Enabled);
    EXPECT_EQ(b.GetQBSelectQuery()->SearchConditionList().Item(4)->Operator, kOpNone);

    // Sorting: each sorted row gets the next priority; choosing another row's
    // priority exchanges the two.
    Sort("Customers.CompanyName", "Ascending");
    Sort("Orders.OrderDate", "Descending");
    Sort("Orders.Total", "Ascending");
    EXPECT_EQ(b.cboSortPriority.ListCount(), 3);
    b.lsvColumns_ItemClick(Row(b.lsvColumns, "Orders.Total"));
    ASSERT_TRUE(Choose(b.cboSortPriority, "1"));
    b.cboSortPriority_Click();
    EXPECT_EQ(Priorities(), (std::vector<std::string>{"Customers.CompanyName=3", "Orders.OrderDate=2", "Orders.Total=1"}));
    Sort("Orders.OrderDate", "None");
    EXPECT_EQ(Priorities(), (std::vector<std::string>{"Customers.CompanyName=2", "Orders.Total=1"}));
    EXPECT_EQ(b.cboSortPriority.ListCount(), 2);
    // A whole-table row has no sort order.
    b.lsvColumns_ItemClick(Row(b.lsvColumns, "Orders.*"));
    EXPECT_FALSE(b.cboSortType.Enabled);
    ReadsBack();

    // The preview shows the rows of the text, read-only.
    ASSERT_TRUE(Choose(b.cboRowsToSelect, "distinct"));
    b.cboRowsToSelect_Click();
    EXPECT_EQ(b.txtQuery.Text.rfind("SELECT DISTINCT\r\n", 0), 0u);
    b.cmdExecute_Click();
    EXPECT_EQ(b.lblNumberOfRows.Caption, "1 row(s)");  // Ana Ltd's order of 50
    EXPECT_EQ(b.msfgrdCommand.Data.Rows.size(), 1u);
    ReadsBack();

    // Unticking a table takes its fields, conditions and sort orders along.
    TickTable("Orders", false);
    EXPECT_EQ(b.lsvColumns.Find("Orders.Total"), nullptr);
    EXPECT_EQ(b.cboConditionField[2].Text, "none");
    EXPECT_EQ(Priorities(), (std::vector<std::string>{"Customers.CompanyName=1"}));
    EXPECT_EQ(b.lsvForeignKeys.Count(), 0u);
    EXPECT_EQ(b.txtQuery.Text, "SELECT DISTINCT\r\n   Customers.CompanyName\r\nFROM\r\nCustomers\r\nORDER BY\r\n"
                               "   Customers.CompanyName ASC");
    ReadsBack();
}

TEST_F(QueryBuilderWindow, ColumnKindsChooseTheParameterControl) {
    Open("SELECT Customers.CompanyName FROM Customers");
    ASSERT_EQ(b.tabQueryBuilder.SelectedTab, 0);
    Condition(0, "Customers.Active");
    EXPECT_TRUE(b.cboConditionBooleanParameter[0].Visible);
    EXPECT_FALSE(b.txtConditionParameter[0].Visible);
    ASSERT_TRUE(Choose(b.cboConditionOperator[0], "equal"));
    b.cboConditionOperator_Click(0);
    EXPECT_NE(b.txtQuery.Text.find("Customers.Active = TRUE"), std::string::npos);
    // A picture cannot be compared: the row goes back to "none".
    Condition(1, "Customers.Photo");
    EXPECT_EQ(Boxes().back(), "This type of column cannot be used within a search condition.");
    EXPECT_EQ(b.cboConditionField[1].ListIndex, 0);
    // A value that does not suit a number leaves the condition out until it does.
    Condition(1, "Customers.CustomerID", "less", "two");
    EXPECT_EQ(b.txtQuery.Text.find("CustomerID <"), std::string::npos);
    b.txtConditionParameter[1].Text = "2";
    b.txtConditionParameter_Change(1);
    EXPECT_NE(b.txtQuery.Text.find("Customers.CustomerID < 2"), std::string::npos);
    // A question mark in quotes is text; alone it is asked for when the query runs.
    Condition(2, "Customers.CompanyName", "not equal", "'?'");
    EXPECT_NE(b.txtQuery.Text.find("Customers.CompanyName <> '?'"), std::string::npos) << b.txtQuery.Text;
    ReadsBack();
    b.txtQuery.DataChanged = true;  // the panels are read again from the text
    b.SelectTab(frmQueryBuilder::kTabTables);
    EXPECT_EQ(b.txtConditionParameter[2].Text, "'?'");
    // A text typed in quotes is not quoted again; a lone quote inside is the text's own.
    for (const auto& [typed, sql] : {std::pair<std::string, std::string>{"'O''Brien'", "<> 'O''Brien'"},
                                     {"'France'", "<> 'France'"}, {"O'Brien", "<> 'O''Brien'"},
                                     {"'a'b'", "<> '''a''b'''"}}) {
        b.txtConditionParameter[2].Text = typed;
        b.txtConditionParameter_Change(2);
        EXPECT_NE(b.txtQuery.Text.find("Customers.CompanyName " + sql + "\r\n"), std::string::npos) << typed;
    }
    EXPECT_EQ(b.cboConditionBooleanParameter[0].Text, "TRUE");
}

TEST_F(QueryBuilderWindow, RelationshipsAreAddedEditedAndRemoved) {
    Open("SELECT Orders.OrderID FROM Orders, Products");
    // Tables side by side stay a cross join: no relationship.
    EXPECT_EQ(b.lsvForeignKeys.Count(), 0u);
    // The same table twice is refused; then Products.ProductID = Orders.OrderID.
    host.queueFormAction([](ui::Form& f) {
        auto& d = dynamic_cast<frmAddForeignKey&>(f);
        EXPECT_EQ(d.Caption, "Add Relationship");
        ASSERT_EQ(d.cboBaseTable.ListCount(), 2);
        EXPECT_EQ(d.cboBaseTable.ListIndex, -1);
        d.cboBaseTable.Select(1);
        d.cboBaseTable_Click();
        EXPECT_TRUE(d.cboRelatedTable.Enabled);
        EXPECT_EQ(d.cboBaseColumn[0].List(0), "none");
        d.cboRelatedTable.Select(1);
        d.cboRelatedTable_Click();
        d.cmdOk_Click();
        d.cboRelatedTable.Select(0);
        d.cboRelatedTable_Click();
        d.cboBaseColumn[0].Select(1);  // Products.ProductID
        d.cboBaseColumn_Click(0);
        d.cboRelatedColumn[0].Select(0);  // Orders.OrderID
        d.cboRelatedColumn_Click(0);
        EXPECT_TRUE(d.cboBaseColumn[1].Enabled);
        d.cmdOk_Click();
    });
    b.cmdAddForeignKey_Click();
    EXPECT_EQ(Boxes().back(), "Foreign keys within the same table are not allowed.");
    ASSERT_EQ(b.lsvForeignKeys.Count(), 1u);
    EXPECT_EQ(b.lsvForeignKeys.Item(0).Text, "User Defined Relation 1");
    EXPECT_NE(b.txtQuery.Text.find("ON Products.ProductID = Orders.OrderID)"), std::string::npos) << b.txtQuery.Text;

    // Editing it adds a second pair; setting row 0 back to "none" would empty the rest.
    b.lsvForeignKeys.Select(&b.lsvForeignKeys.Item(0));
    b.lsvForeignKeys_Click();
    EXPECT_TRUE(b.cmdRemoveForeignKey.Enabled);
    host.queueFormAction([](ui::Form& f) {
        auto& d = dynamic_cast<frmAddForeignKey&>(f);
        EXPECT_EQ(d.Caption, "Edit Relationship");
        EXPECT_EQ(d.cboBaseColumn[0].Text, "Products.ProductID");
        EXPECT_EQ(d.cboRelatedColumn[0].Text, "Orders.OrderID");
        ASSERT_TRUE(Choose(d.cboBaseColumn[1], "Products.ProductID"));
        d.cboBaseColumn_Click(1);
        ASSERT_TRUE(Choose(d.cboRelatedColumn[1], "Orders.CustomerID"));
        d.cboRelatedColumn_Click(1);
        d.cmdOk_Click();
    });
    b.cmdEditForeignKey_Click();
    EXPECT_NE(b.txtQuery.Text.find("AND Products.ProductID = Orders.CustomerID)"), std::string::npos) << b.txtQuery.Text;
    ReadsBack();

    // Removing asks first.
    b.lsvForeignKeys.Select(&b.lsvForeignKeys.Item(0));
    b.lsvForeignKeys_Click();
    host.queueMsgBoxResult(ui::vbCancel);
    b.cmdRemoveForeignKey_Click();
    EXPECT_EQ(b.lsvForeignKeys.Count(), 1u);
    EXPECT_EQ(host.requests(ui::UiRequest::MsgBox).back().prompt, "Remove relationship \"User Defined Relation 1\"");
    EXPECT_EQ(host.requests(ui::UiRequest::MsgBox).back().title, "Query Builder");
    b.lsvForeignKeys.Select(&b.lsvForeignKeys.Item(0));
    host.queueMsgBoxResult(ui::vbOK);
    b.cmdRemoveForeignKey_Click();
    EXPECT_EQ(b.lsvForeignKeys.Count(), 0u);

    // A catalog relationship opens read-only, and OK leaves it as it was.
    TickTable("Customers");
    ASSERT_EQ(b.lsvForeignKeys.Count(), 1u);
    b.lsvForeignKeys.Select(&b.lsvForeignKeys.Item(0));
    b.lsvForeignKeys_Click();
    EXPECT_FALSE(b.cmdRemoveForeignKey.Enabled);
    const std::string before = b.txtQuery.Text;
    host.queueFormAction([](ui::Form& f) {
        auto& d = dynamic_cast<frmAddForeignKey&>(f);
        EXPECT_EQ(d.Caption, "Edit Relationship (Read-Only)");
        EXPECT_TRUE(d.cboBaseTable.Locked);
        EXPECT_FALSE(d.cboBaseColumn[0].Enabled);
        d.cmdOk_Click();
    });
    b.cmdEditForeignKey_Click();
    EXPECT_EQ(b.txtQuery.Text, before);
}

TEST_F(QueryBuilderWindow, TheSqlTabIsEditedAndReadIntoThePanels) {
    Open("SELECT Orders.OrderID FROM Orders\nWHERE Orders.Total > 100");
    // The panels show the parsed text, and the SQL tab its regenerated form.
    EXPECT_TRUE(Row(b.lsvTables, "Orders").Checked);
    EXPECT_TRUE(Row(b.lsvColumns, "Orders.OrderID").Checked);
    EXPECT_EQ(b.txtQuery.Text, "SELECT\r\n   Orders.OrderID\r\nFROM\r\nOrders\r\nWHERE\r\n   Orders.Total > 100\r\n");
    b.SelectTab(frmQueryBuilder::kTabSql);
    b.txtCommandName.Text = "BigOrders";
    // Typed text is read into the panels when the tab is left.
    b.txtQuery.Text = "SELECT Customers.CompanyName FROM Customers ORDER BY Customers.CompanyName DESC";
    b.txtQuery.DataChanged = true;
    b.txtQuery_Change();
    b.SelectTab(frmQueryBuilder::kTabFields);
    EXPECT_EQ(b.tabQueryBuilder.SelectedTab, frmQueryBuilder::kTabFields);
    EXPECT_EQ(Row(b.lsvColumns, "Customers.CompanyName").SubItem(3), "Descending");
    EXPECT_EQ(b.cboSortPriority.ListCount(), 1);
    EXPECT_EQ(b.txtCommandName.Text, "BigOrders");  // the typed name stays
    // Leaving the tab without typing reads nothing again.
    b.SelectTab(frmQueryBuilder::kTabSql);
    b.SelectTab(frmQueryBuilder::kTabTables);
    EXPECT_EQ(host.requests(ui::UiRequest::MsgBox).size(), 0u);

    // Text the panels cannot hold: the SQL tab alone, Execute still there.
    b.SelectTab(frmQueryBuilder::kTabSql);
    b.txtQuery.Text = "SELECT COUNT(*) FROM Orders";
    b.txtQuery.DataChanged = true;
    b.SelectTab(frmQueryBuilder::kTabTables);
    EXPECT_EQ(Boxes().back(), "The command is either invalid or too complex to be modified with the query builder.");
    EXPECT_EQ(b.tabQueryBuilder.SelectedTab, frmQueryBuilder::kTabSql);
    EXPECT_FALSE(b.tabQueryBuilder.TabIsEnabled(0));
    EXPECT_TRUE(b.cmdExecute.Enabled);
    b.cmdExecute_Click();
    EXPECT_EQ(b.lblNumberOfRows.Caption, "1 row(s)");
    // The preview never changes data.
    b.txtQuery.Text = "DELETE FROM Orders";
    b.txtQuery_Change();
    b.cmdExecute_Click();
    EXPECT_EQ(host.errorTexts.back(), "Only a single SELECT statement can be previewed.");
    // A misspelt statement is a syntax error; a WITH that only reads previews,
    // one that deletes does not.
    b.txtQuery.Text = "SELEC * FRM Orders";
    b.cmdExecute_Click();
    EXPECT_EQ(host.errorTexts.back(),
              "The SQL text has a syntax error: \"SELEC\" begins no statement. A preview runs a SELECT statement.");
    b.txtQuery.Text = "WITH big AS (SELECT OrderID FROM Orders WHERE 'delete' <> '') SELECT * FROM big";
    b.cmdExecute_Click();
    EXPECT_EQ(b.lblNumberOfRows.Caption, "4 row(s)");
    // The database's own message comes first; its number only in the details.
    b.txtQuery.Text = "SELECT * FROM Missing";
    b.cmdExecute_Click();
    EXPECT_NE(host.errorTexts.back().find("no such table: Missing"), std::string::npos);
    EXPECT_NE(host.errorTexts.back().front(), '-');
    EXPECT_NE(host.errorTexts.back().find("\r\n\r\nDetails: error -"), std::string::npos);
    b.txtQuery.Text = "WITH gone AS (SELECT 1) DELETE FROM Orders";
    b.cmdExecute_Click();
    EXPECT_EQ(host.errorTexts.back(), "Only a single SELECT statement can be previewed.");
    qz::query::test::Rows rows;
    std::string error;
    ASSERT_TRUE(qz::query::test::SqliteRows(db, "SELECT OrderID FROM Orders", rows, error));
    EXPECT_EQ(rows.size(), 4u);
    // Tab indents by three spaces, Ctrl+A selects everything.
    b.txtQuery.Text = "SELECT";
    b.txtQuery.SelStart = 6;
    ASSERT_TRUE(b.SetFocusTo(b.txtQuery));
    EXPECT_FALSE(b.SetFocusTo(b.txtCommandName, true));
    EXPECT_EQ(b.txtQuery.Text, "SELECT   ");
    int key = 65;
    b.txtQuery.KeyDown(key, 2);
    EXPECT_EQ(b.txtQuery.SelLength, 9);
}

TEST_F(QueryBuilderWindow, AConnectionThatFailsLeavesAPlainTextEditor) {
    Open("SELECT\nNothing", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=missing.mdb");
    EXPECT_EQ(Boxes().back(), "Cannot connect to the datasource.");
    EXPECT_EQ(b.txtQuery.Text, "SELECT\r\nNothing");
    EXPECT_FALSE(b.cmdExecute.Enabled);
    EXPECT_FALSE(b.cboRowsToSelect.Enabled);
    for (int t = 0; t < 4; ++t) EXPECT_FALSE(b.tabQueryBuilder.TabIsEnabled(t));
    b.txtQuery.Text = "SELECT 1";
    b.txtQuery_Change();
    Drive(b, [&] { b.cmdOk_Click(); });
    EXPECT_TRUE(b.PropertiesSaved());
    EXPECT_NE(Qzc().find("<Text>SELECT 1</Text>"), std::string::npos);
}

TEST_F(QueryBuilderWindow, OkChecksTheNameAndTheTextAndSaves) {
    Open("SELECT Orders.OrderID FROM Orders");
    for (const char* bad : {"", "1st", "Big Orders", "lines"}) {
        b.txtCommandName.Text = bad;
        Drive(b, [&] { b.cmdOk_Click(); });
        EXPECT_FALSE(b.PropertiesSaved());
    }
    EXPECT_EQ(host.errorTexts.size(), 4u);
    EXPECT_EQ(host.errorTexts[0], GetResourceString(4027));
    // The message first; its number only in the details.
    EXPECT_EQ(host.errorTexts[3],
              GetResourceString(4025) + "\r\n\r\nDetails: error " + std::to_string(OwnErrorNumber(4025)));
    int key = ' ';
    b.txtCommandName.KeyPress(key);
    EXPECT_EQ(key, 0);
    // A text of blanks is refused, before the name is looked for among the
    // other commands.
    const std::string sql = b.txtQuery.Text;
    b.txtQuery.Text = "  ";
    for (const char* name : {"Orders", "lines"}) {
        b.txtCommandName.Text = name;
        Drive(b, [&] { b.cmdOk_Click(); });
        EXPECT_EQ(host.errorTexts.back(),
                  GetResourceString(4002) + "\r\n\r\nDetails: error " + std::to_string(OwnErrorNumber(4002)));
    }
    b.txtCommandName.Text = "Orders";
    // A file that became read-only is reported, and nothing is written.
    b.txtQuery.Text = sql;
    const std::string stored = Qzc();
    MakeReadOnly();
    Drive(b, [&] { b.cmdOk_Click(); });
    EXPECT_FALSE(b.PropertiesSaved());
    EXPECT_EQ(Qzc(), stored);
    EXPECT_TRUE(designer.readOnly);
    EXPECT_NE(host.errorTexts.back().find("' is read-only."), std::string::npos) << host.errorTexts.back();
    ::chmod(qzcPath.c_str(), 0644);
    designer.readOnly = false;
    b.txtCommandName.Text = "BigOrders";
    Drive(b, [&] { b.cmdOk_Click(); });
    EXPECT_TRUE(b.PropertiesSaved());
    EXPECT_NE(Qzc().find("<Name>BigOrders</Name>"), std::string::npos);
}

// A text the database refuses is saved only when the author says so after
// reading the database's error; a sound one is saved without a question.
TEST_F(QueryBuilderWindow, OkTellsOfAnSqlErrorAndSavesOnlyWhenTheAuthorWants) {
    Open("SELECT Orders.OrderID FROM Orders");
    const std::size_t boxes = Boxes().size();
    b.txtQuery.Text = "SELEC OrderID FRM Orders";
    b.txtQuery_Change();
    host.queueMsgBoxResult(ui::vbNo);
    Drive(b, [&] { b.cmdOk_Click(); });
    EXPECT_FALSE(b.PropertiesSaved());
    ASSERT_EQ(Boxes().size(), boxes + 1);
    EXPECT_NE(Boxes().back().find("syntax error"), std::string::npos) << Boxes().back();
    EXPECT_EQ(Qzc().find("SELEC OrderID"), std::string::npos);
    host.queueMsgBoxResult(ui::vbYes);
    Drive(b, [&] { b.cmdOk_Click(); });
    EXPECT_TRUE(b.PropertiesSaved());
    EXPECT_NE(Qzc().find("SELEC OrderID FRM Orders"), std::string::npos);
}

TEST_F(QueryBuilderWindow, OkSavesASoundTextWithoutAQuestion) {
    Open("SELECT Orders.OrderID FROM Orders");
    const std::size_t boxes = Boxes().size();
    b.txtQuery.Text = "SELECT OrderID FROM Orders WHERE OrderID > ?";
    b.txtQuery_Change();
    Drive(b, [&] { b.cmdOk_Click(); });
    EXPECT_TRUE(b.PropertiesSaved());
    EXPECT_EQ(Boxes().size(), boxes);
}

TEST_F(QueryBuilderWindow, UntickingAnObjectTypeAsksWhenItsTablesAreInTheQuery) {
    Open("");
    b.chkTablesToDisplay[1].Value = 1;
    b.chkTablesToDisplay_Click(1);
    ASSERT_EQ(b.lsvTables.Count(), 4u);
    TickTable("BigOrders");
    host.queueMsgBoxResult(ui::vbNo);
    b.chkTablesToDisplay[1].Value = 0;
    b.chkTablesToDisplay_Click(1);
    EXPECT_EQ(Boxes().back(), "Removing all \"View\" objects will affect the content of the query.\r\n\r\n"
                              "Do you wish to remove all \"View\" objects ?");
    EXPECT_EQ(b.chkTablesToDisplay[1].Value, 1);
    EXPECT_EQ(b.lsvTables.Count(), 4u);
    host.queueMsgBoxResult(ui::vbYes);
    b.chkTablesToDisplay[1].Value = 0;
    b.chkTablesToDisplay_Click(1);
    EXPECT_EQ(b.lsvTables.Count(), 3u);
    EXPECT_EQ(b.GetQBSelectQuery()->SelectedTableList().Count(), 0u);
    EXPECT_EQ(b.lsvColumns.Count(), 0u);
    // Without a ticked row nothing is asked.
    const size_t asked = Boxes().size();
    b.chkTablesToDisplay[0].Value = 0;
    b.chkTablesToDisplay_Click(0);
    EXPECT_EQ(Boxes().size(), asked);
    EXPECT_EQ(b.lsvTables.Count(), 0u);
}

// The same session gives the same rows from SQLite and from PostgreSQL.
TEST_F(QueryBuilderWindow, ASessionGivesTheSameRowsInSqliteAndInPostgres) {
    Open("");
    qz::query::test::Rows rows;
    std::string error;
    const std::string sqlite = Session();
    ASSERT_TRUE(qz::query::test::SqliteRows(db, sqlite, rows, error)) << error << "\n" << sqlite;
    EXPECT_EQ(rows, SessionRows());

    std::string whyNot;
    auto* server = qz::test::PgServer::Instance(&whyNot);
    if (!server) GTEST_SKIP() << "PostgreSQL cannot run here: " << whyNot;
    ASSERT_TRUE(server->CreateDatabase("qzwindows", &error)) << error;
    ASSERT_TRUE(server->Execute("qzwindows", R"(
        CREATE TABLE "Customers"("CustomerID" INTEGER PRIMARY KEY, "CompanyName" VARCHAR(40), "Active" BOOLEAN,
                                 "Photo" BYTEA);
        CREATE TABLE "Orders"("OrderID" INTEGER PRIMARY KEY, "CustomerID" INTEGER REFERENCES "Customers"("CustomerID"),
                              "OrderDate" TIMESTAMP, "Total" DOUBLE PRECISION);
        INSERT INTO "Customers" VALUES (1, 'Ana Ltd', TRUE, NULL), (2, 'Bo', FALSE, NULL), (3, 'O''Brien', TRUE, NULL);
        INSERT INTO "Orders" VALUES (10, 1, '2000-01-05', 50), (11, 1, '2000-02-01', 150), (12, 2, '1999-12-31', 300),
                                    (13, 3, '2000-03-01', 120);)", &error)) << error;
    const std::string cs = server->OdbcConnectionString("qzwindows");
    Open("", "Provider=MSDASQL;" + cs);
    ASSERT_TRUE(b.tabQueryBuilder.TabIsEnabled(0)) << Boxes().back();
    const std::string pg = Session();
    EXPECT_NE(pg.find("\"Orders\".\"OrderID\" DESC"), std::string::npos) << pg;
    ASSERT_TRUE(qz::query::test::OdbcRows(cs, pg, rows, error)) << error << "\n" << pg;
    EXPECT_EQ(rows, SessionRows());
}

// The preview asks for the "?" values through the designer, and runs only
// the selected part when there is one.
TEST_F(QueryBuilderWindow, ThePreviewAsksForParametersAndRunsTheSelection) {
    struct Asking : qz::test::FakeDesigner {
        std::string asked;
        ado::BoundSql ResolveSqlParameters(const std::string& sql) override {
            asked = sql;
            ado::SqlParameter hundred;
            hundred.kind = ado::SqlParameter::Kind::Integer;
            hundred.integer = 100;
            if (sql.find('?') == std::string::npos) return {sql, {}};
            return {sql, {hundred}};
        }
    } asking;
    asking.folder = dir;
    asking.qzc = "t.qzc";
    goDesigner = &asking;
    Open("");
    b.txtQuery.Text = "";
    b.txtQuery_Change();
    b.cmdExecute_Click();
    EXPECT_EQ(host.errorTexts.back(), GetResourceString(4015));
    b.txtQuery.Text = "SELECT Orders.OrderID FROM Orders WHERE Orders.Total > ?";
    b.txtQuery_Change();
    b.cmdExecute_Click();
    EXPECT_EQ(asking.asked, b.txtQuery.Text);
    EXPECT_EQ(b.lblNumberOfRows.Caption, "3 row(s)");
    b.txtQuery.SelStart = 0;
    b.txtQuery.SelLength = 33;  // "SELECT Orders.OrderID FROM Orders"
    b.cmdExecute_Click();
    EXPECT_EQ(b.lblNumberOfRows.Caption, "4 row(s)");
    goDesigner = &designer;
}

// Rows of the relationship dialog open one after another, and "none" empties
// every row after it; a row without its related column is refused.
TEST(RelationshipDialog, RowsFillInOrderAndIncompleteRowsAreRefused) {
    qz::test::RecordingHost host;
    ui::setCurrentHost(&host);
    std::vector<ado::CatalogTable> t{{"A", "TABLE", {{"a1", 3, 4}, {"a2", 3, 4}, {"a3", 3, 4}}, {}},
                                     {"B", "TABLE", {{"b1", 3, 4}, {"b2", 3, 4}, {"b3", 3, 4}}, {}}};
    QBSelectQuery model(std::make_shared<const Catalog>(std::move(t)));
    model.SelectTable("A");
    model.SelectTable("B");
    frmAddForeignKey d;
    d.SetQBSelectQuery(&model);
    d.Form_Load();
    d.cboBaseTable.Select(0);
    d.cboBaseTable_Click();
    d.cboRelatedTable.Select(1);
    d.cboRelatedTable_Click();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(d.cboBaseColumn[i].Enabled);
        d.cboBaseColumn[i].Select(i + 1);
        d.cboBaseColumn_Click(i);
        d.cboRelatedColumn[i].Select(i);
        d.cboRelatedColumn_Click(i);
    }
    EXPECT_TRUE(d.cboBaseColumn[3].Enabled);
    d.cboBaseColumn[1].Select(0);  // "none"
    d.cboBaseColumn_Click(1);
    EXPECT_EQ(d.cboBaseColumn[0].Text, "A.a1");
    EXPECT_FALSE(d.cboRelatedColumn[1].Enabled);
    EXPECT_FALSE(d.cboBaseColumn[2].Enabled);
    EXPECT_EQ(d.cboBaseColumn[2].ListIndex, 0);
    EXPECT_EQ(d.cboRelatedColumn[2].ListIndex, -1);
    // A base column without its related column changes nothing.
    d.cboBaseColumn[1].Select(2);
    d.cboBaseColumn_Click(1);
    d.cboRelatedColumn[1].Select(-1);
    d.cmdOk_Click();
    ASSERT_FALSE(host.requests(ui::UiRequest::MsgBox).empty());
    EXPECT_EQ(host.requests(ui::UiRequest::MsgBox).back().prompt, "Choose the related column of every row.");
    EXPECT_EQ(model.ForeignKeyList().Count(), 0u);
    d.cboRelatedColumn[1].Select(2);
    d.cmdOk_Click();
    ASSERT_EQ(model.ForeignKeyList().Count(), 1u);
    EXPECT_EQ(model.GetSQL(), "");  // no column selected yet
    EXPECT_EQ(model.ForeignKeyList().Item(1)->ColumnPairs.size(), 2u);
    ui::setCurrentHost(nullptr);
}

TEST(QueryControls, SelectionWithoutClickAndTheModifiedFlag) {
    ui::ComboBox combo;
    combo.AddItem("AND");
    combo.AddItem("OR");
    QBSetCurSel(combo, 1);
    EXPECT_EQ(combo.ListIndex, 1);
    EXPECT_EQ(combo.Text, "OR");
    QBSetCurSel(combo, 5);
    EXPECT_EQ(combo.ListIndex, -1);
    EXPECT_EQ(combo.Text, "");
    QBSetCurSel(combo, 0);
    QBSetCurSel(combo, -1);
    EXPECT_EQ(combo.ListIndex, -1);

    ui::TextBox box;
    box.Text = "set by code";
    EXPECT_FALSE(QBTextBoxChanged(box));
    ui::Form::TypeKey(box, 'A', 0, 'a');
    EXPECT_TRUE(QBTextBoxChanged(box));
}
