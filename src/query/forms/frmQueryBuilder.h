// The query builder ("Command Properties"): one SQL command of a data
// connection, its name and its SELECT text, built on five tabs from the
// connection's catalog (tables, relationships, output fields with their sort
// order, up to six conditions) or typed on the SQL tab, with a read-only
// preview of its rows. Every visual change is made on the query model and the
// SQL tab shows the text generated from it. OK checks the name and writes
// name and text into the QZC file.
//
// The data-sources window makes one for each edit: set QzCommand,
// QzConnectionList and QzCnCommand, call Initialize, show it modally, then
// read PropertiesSaved.
#pragma once

#include "config/QZCConnection.h"
#include "platform/ado/Connection.h"
#include "platform/ui/Controls.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/Form.h"
#include "platform/ui/ListView.h"
#include "query/QBSelectQuery.h"

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qz::query {

class frmQueryBuilder : public ui::Form {
public:
    frmQueryBuilder();
    ~frmQueryBuilder() override;

    // Tabs, from 0.
    enum Tab : int { kTabTables = 0, kTabRelationships, kTabFields, kTabConditions, kTabSql };

    void QzCommand(std::shared_ptr<qz::QZCCommand> command) { command_ = std::move(command); }
    void QzCnCommand(std::shared_ptr<QZCConnection> connection) { connection_ = std::move(connection); }
    void QzConnectionList(std::shared_ptr<qz::QZCConnectionList> list) { list_ = std::move(list); }
    bool PropertiesSaved() const noexcept { return saved_; }
    // Writes the name and the SQL text into the command and saves the QZC file.
    void SaveData(const std::string& name, const std::string& sql);
    // Stores condition row i (0 to 5) in the model and refreshes the SQL text.
    void UpdateFieldCondition(int i);
    QBSelectQuery* GetQBSelectQuery() const noexcept { return query_.get(); }
    void SetQBSelectQuery(std::unique_ptr<QBSelectQuery> query) { query_ = std::move(query); }
    // Fills every control from the query model.
    void PopulateFormWithQueryData();
    // Resets the dialog and loads the command: the catalog of its connection
    // and its text parsed into the panels, or the SQL tab alone when either
    // fails.
    void Initialize();

    // Above the tabs.
    ui::Label lblCommandName, lblRowsToSelect;
    ui::TextBox txtCommandName;
    ui::ComboBox cboRowsToSelect;
    ui::TabStrip tabQueryBuilder;
    // Tab 0: tables.
    ui::Frame fraSelectedTable, fraDisplay;
    ui::ListView lsvTables;
    std::array<ui::CheckBox, 4> chkTablesToDisplay;
    // Tab 1: relationships.
    ui::Frame fraRelationShips;
    ui::ListView lsvForeignKeys;
    ui::CommandButton cmdAddForeignKey, cmdEditForeignKey, cmdRemoveForeignKey;
    // Tab 2: fields and sorting.
    ui::Frame fraSelectedFields, fraSort;
    ui::ListView lsvColumns;
    ui::Label lblSortColumnName, lblSortType, lblSortPriority;
    ui::TextBox txtSortColumnName;
    ui::ComboBox cboSortType, cboSortPriority;
    // Tab 3: conditions.
    ui::Label lblMatch, lblMatchEnd, lblConditionField, lblConditionOperator, lblConditionParameter;
    ui::ComboBox cboSearchType;
    std::array<ui::ComboBox, 6> cboConditionField, cboConditionOperator, cboConditionBooleanParameter;
    std::array<ui::TextBox, 6> txtConditionParameter;
    // Tab 4: SQL and data.
    ui::Label lblQuery, lblNumberOfRows;
    ui::TextBox txtQuery;
    ui::DataGrid msfgrdCommand;
    ui::CommandButton cmdExecute;
    // Below the tabs.
    ui::CommandButton cmdOk, cmdCancel, cmdHelp;

    // The dialog.
    void tabQueryBuilder_Click();
    void txtQuery_Change();
    void cmdExecute_Click();
    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdHelp_Click();
    void OnClose() override { cmdCancel_Click(); }
    // Tables, relationships and fields.
    void chkTablesToDisplay_Click(int i);
    void lsvTables_ItemCheck(ui::ListItem& item);
    void lsvColumns_ItemCheck(ui::ListItem& item);
    void lsvColumns_ItemClick(ui::ListItem& item);
    void lsvForeignKeys_Click();
    void cmdAddForeignKey_Click();
    void cmdEditForeignKey_Click();
    void cmdRemoveForeignKey_Click();
    // Conditions, rows to select and sorting.
    void cboConditionField_Click(int i);
    void cboConditionOperator_Click(int i);
    void txtConditionParameter_Change(int i);
    void cboConditionBooleanParameter_Click(int i);
    void cboSearchType_Click();
    void cboRowsToSelect_Click();
    void cboSortType_Click();
    void cboSortPriority_Click();
    void txtSortColumnName_Change();

    // Selects a tab as the user's click does (leaving an edited SQL tab reads
    // the typed text into the panels).
    void SelectTab(int tab);

protected:
    void OnLoad() override;
    void OnUnload() override;

private:
    struct Field {
        std::string table, column; // column "*" for all columns of the table
    };
    void InitializeControls();
    void Load(const std::string& sql);
    void ShowSqlOnly(const std::string& sql, bool canExecute);
    void RefreshSQL();
    void RefreshForeignKeys();
    void EnableOkAndExecute();
    void SetQueryText(const std::string& text);
    void ClearPreview();
    bool SqlAcceptedForSaving(const std::string& sql);
    void AddTablesToTablesListview(int box);
    void AddTableFieldsToFieldsListview(const std::string& table);
    void RemoveTableFieldsFromFieldsListview(const std::string& table);
    void ShowParameterControl(int i, bool boolean);
    void ToggleConditionOperator(int i);
    void ToggleConditionParameter(int i);
    void UpdateSearchType();
    void UpdateSortType();
    void UpdateSortPriority();
    int ConditionKind(int i) const;
    const Field* ConditionField(int i) const;
    const Field* RowField(const ui::ListItem& item) const;
    void EditRelationship(const std::string& key);
    static int GetOrderType(const std::string& sortType);

    std::shared_ptr<qz::QZCCommand> command_;
    std::shared_ptr<QZCConnection> connection_;
    std::shared_ptr<qz::QZCConnectionList> list_;
    std::unique_ptr<QBSelectQuery> query_;
    Ref<ado::Connection> preview_;
    std::string text_;            // the command's text as the dialog holds it
    std::vector<Field> conditionFields_; // entry k + 1 of every field combo
    std::map<std::string, Field> rowFields_; // rows of lsvColumns by key
    bool saved_ = false;
    bool initializing_ = false;
    bool helpUsed_ = false;
    int currentTab_ = 0;
};

} // namespace qz::query
