// The relationship dialog ("Add Relationship" / "Edit Relationship"): two
// selected tables of a query model and up to six pairs of their columns that
// are equal. OK writes the relationship into the model (a new user-defined
// one, or the edited one rewritten) and closes; Cancel changes nothing. A
// catalog relationship opens read-only. The caller sets the model, FKName
// (empty for a new relationship), WindowCaption and WindowReadOnly, shows
// the dialog modally, then refreshes from the model.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "query/QBSelectQuery.h"

#include <array>
#include <string>
#include <vector>

namespace qz::query {

class frmAddForeignKey : public ui::Form {
public:
    frmAddForeignKey();

    QBSelectQuery* GetQBSelectQuery() const noexcept { return query_; }
    void SetQBSelectQuery(QBSelectQuery* query) noexcept { query_ = query; }
    // Which object types the caller lists; kept, but they change nothing here.
    bool DisplayTables = false, DisplayViews = false, DisplaySystemTables = false, DisplaySystemViews = false;
    std::string FKName;
    std::string WindowCaption;
    bool WindowReadOnly = false;

    ui::Label Label1, Label2;
    ui::ComboBox cboBaseTable, cboRelatedTable;
    ui::Frame Frame1;
    std::array<ui::ComboBox, 6> cboBaseColumn, cboRelatedColumn;
    std::array<ui::Label, 6> Label3;
    ui::CommandButton cmdOk, cmdCancel, cmdHelp;

    // Fills the lists from the model and shows the relationship FKName
    // names; runs when the dialog is shown.
    void Form_Load();
    void cboBaseTable_Click();
    void cboRelatedTable_Click();
    void cboBaseColumn_Click(int index);
    void cboRelatedColumn_Click(int index);
    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdHelp_Click();
    void OnClose() override { cmdCancel_Click(); }

protected:
    void OnLoad() override { Form_Load(); }
    void OnUnload() override { query_ = nullptr; }

private:
    // The catalog columns of a table of the model, in catalog order.
    const std::vector<ColumnRef>& ColumnsOf(const std::string& table) const;
    ColumnRef ColumnOf(const ui::ComboBox& box, const std::string& table) const;
    static void SelectText(ui::ComboBox& box, const std::string& text);

    QBSelectQuery* query_ = nullptr;
};

} // namespace qz::query
