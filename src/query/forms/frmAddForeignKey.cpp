#include "query/forms/frmAddForeignKey.h"

#include "core/DesignerState.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "platform/ui/UiHost.h"
#include "query/ModQBUtilities.h"
#include "query/forms/QBControls.h"

namespace qz::query {

namespace {
constexpr std::string_view kForm = "frmAddForeignKey";
constexpr const char* kNone = "none";
} // namespace

frmAddForeignKey::frmAddForeignKey() : ui::Form("frmAddForeignKey", "Add Relationship") {
    control(Label1, "Label1").Caption = "Table";
    control(cboBaseTable, "cboBaseTable");
    control(Label2, "Label2").Caption = "is related to table";
    control(cboRelatedTable, "cboRelatedTable");
    cboRelatedTable.Enabled = false;
    control(Frame1, "Frame1").Caption = "Related Columns";
    for (int i = 0; i < 6; ++i) {
        const std::string n = "(" + std::to_string(i) + ")";
        control(cboBaseColumn[i], "cboBaseColumn" + n);
        control(Label3[i], "Label3" + n).Caption = "equals";
        control(cboRelatedColumn[i], "cboRelatedColumn" + n);
        cboBaseColumn[i].Enabled = cboRelatedColumn[i].Enabled = false;
    }
    control(cmdOk, "cmdOk").Caption = "Ok";
    cmdOk.Default = true;
    control(cmdCancel, "cmdCancel").Caption = "Cancel";
    cmdCancel.Cancel = true;
    control(cmdHelp, "cmdHelp").Caption = "&Help";
    for (ui::ComboBox* box : {&cboBaseTable, &cboRelatedTable}) box->Style = 2;
    for (int i = 0; i < 6; ++i) cboBaseColumn[i].Style = cboRelatedColumn[i].Style = 2;
}

void frmAddForeignKey::SelectText(ui::ComboBox& box, const std::string& text) {
    for (int i = 0; i < box.ListCount(); ++i)
        if (box.List(i) == text) return box.Select(i);
}

void frmAddForeignKey::Form_Load() {
    Handled(kForm, "Form_Load", kErrLog | kErrShow, [&] {
        Caption = WindowReadOnly ? WindowCaption + " (Read-Only)" : WindowCaption;
        if (!query_) return;
        for (const auto& t : query_->SelectedTableList()) {
            cboBaseTable.AddItem(t->FQName());
            cboRelatedTable.AddItem(t->FQName());
        }
        QBSetCurSel(cboBaseTable, -1);
        QBSetCurSel(cboRelatedTable, -1);
        if (!FKName.empty()) {
            const auto r = query_->ForeignKeyList().FindItem(FKName);
            if (r) {
                SelectText(cboBaseTable, r->BaseTable->name);
                cboBaseTable_Click();
                SelectText(cboRelatedTable, r->RelatedTable->name);
                cboRelatedTable_Click();
                for (size_t k = 0; k < r->ColumnPairs.size() && k < 6; ++k) {
                    const int i = static_cast<int>(k);
                    SelectText(cboBaseColumn[i], r->BaseTable->name + "." + r->ColumnPairs[k].Base->name);
                    cboBaseColumn_Click(i);
                    SelectText(cboRelatedColumn[i], r->RelatedTable->name + "." + r->ColumnPairs[k].Related->name);
                    cboRelatedColumn_Click(i);
                }
            }
        }
        if (WindowReadOnly) {
            cboBaseTable.Locked = cboRelatedTable.Locked = true;
            for (int i = 0; i < 6; ++i) {
                cboBaseColumn[i].Enabled = cboRelatedColumn[i].Enabled = false;
                cboBaseColumn[i].Locked = cboRelatedColumn[i].Locked = true;
            }
        }
    });
}

const std::vector<ColumnRef>& frmAddForeignKey::ColumnsOf(const std::string& table) const {
    return query_->GetCatalogColumns(table);
}

void frmAddForeignKey::cboBaseTable_Click() {
    Handled(kForm, "cboBaseTable_Click", kErrLog | kErrShow, [&] {
        if (!query_ || cboBaseTable.ListIndex < 0) return;
        const std::string table = cboBaseTable.Text;
        for (auto& box : cboBaseColumn) {
            box.Clear();
            box.AddItem(kNone);
            for (const auto& c : ColumnsOf(table)) box.AddItem(table + "." + c->name);
            QBSetCurSel(box, 0);
        }
        if (!WindowReadOnly) cboRelatedTable.Enabled = true;
    });
}

void frmAddForeignKey::cboRelatedTable_Click() {
    Handled(kForm, "cboRelatedTable_Click", kErrLog | kErrShow, [&] {
        if (!query_ || cboRelatedTable.ListIndex < 0) return;
        const std::string table = cboRelatedTable.Text;
        for (auto& box : cboRelatedColumn) {
            box.Clear();
            for (const auto& c : ColumnsOf(table)) box.AddItem(table + "." + c->name);
        }
        if (!WindowReadOnly) cboBaseColumn[0].Enabled = true;
    });
}

void frmAddForeignKey::cboBaseColumn_Click(int index) {
    if (index < 0 || index > 5 || WindowReadOnly) return;
    if (cboBaseColumn[index].Text != kNone) {
        cboRelatedColumn[index].Enabled = true;
        return;
    }
    // Rows are filled one after another: "none" empties every later row.
    cboRelatedColumn[index].Enabled = false;
    for (int i = index + 1; i < 6; ++i) {
        cboBaseColumn[i].Enabled = false;
        QBSetCurSel(cboBaseColumn[i], 0);
        cboRelatedColumn[i].Enabled = false;
        QBSetCurSel(cboRelatedColumn[i], -1);
    }
}

void frmAddForeignKey::cboRelatedColumn_Click(int index) {
    if (index >= 0 && index < 5 && !WindowReadOnly) cboBaseColumn[index + 1].Enabled = true;
}

// The column an entry of a column list names: the entry's position in the
// list stands for the table's column at that position.
ColumnRef frmAddForeignKey::ColumnOf(const ui::ComboBox& box, const std::string& table) const {
    const auto& columns = ColumnsOf(table);
    const int offset = box.ListCount() > 0 && box.List(0) == kNone ? 1 : 0;
    const int i = box.ListIndex - offset;
    return i >= 0 && i < static_cast<int>(columns.size()) ? columns[static_cast<size_t>(i)] : nullptr;
}

void frmAddForeignKey::cmdOk_Click() {
    Handled(kForm, "cmdOk_Click", kErrLog | kErrShow, [&] {
        // A relationship shown read-only is left as it is.
        if (WindowReadOnly || !query_) {
            Hide();
            return;
        }
        const std::string base = cboBaseTable.Text, related = cboRelatedTable.Text;
        if (base == related || cboBaseTable.ListIndex < 0 || cboRelatedTable.ListIndex < 0) {
            ui::currentHost().msgBox("Foreign keys within the same table are not allowed.",
                                     ui::vbOKOnly | ui::vbInformation, "");
            return;
        }
        // Everything is checked before the model changes.
        std::vector<QBColumnPair> pairs;
        for (int i = 0; i < 6 && cboBaseColumn[i].ListIndex > 0; ++i) {
            QBColumnPair p{ColumnOf(cboBaseColumn[i], base), ColumnOf(cboRelatedColumn[i], related)};
            if (!p.Base || !p.Related) {
                ui::currentHost().msgBox("Choose the related column of every row.", ui::vbOKOnly | ui::vbInformation, "");
                return;
            }
            pairs.push_back(p);
        }
        if (pairs.empty()) {
            ui::currentHost().msgBox("Choose at least one pair of related columns.", ui::vbOKOnly | ui::vbInformation, "");
            return;
        }
        const TableRef baseTable = query_->GetCatalog()->FindTable(base);
        const TableRef relatedTable = query_->GetCatalog()->FindTable(related);
        if (FKName.empty()) {
            auto r = std::make_shared<QBForeignKey>();
            r->BaseTable = baseTable;
            r->RelatedTable = relatedTable;
            r->ColumnPairs = pairs;
            query_->AddUserDefinedForeignKey(r);
        } else {
            const auto r = query_->ForeignKeyList().Item(FKName);
            r->BaseTable = baseTable;
            r->RelatedTable = relatedTable;
            r->ColumnPairs = pairs;
        }
        Hide();
    });
}

void frmAddForeignKey::cmdCancel_Click() { Hide(); }

void frmAddForeignKey::cmdHelp_Click() {
    Handled(kForm, "cmdHelp_Click", kErrLog | kErrShow, [&] {
        if (goDesigner) goDesigner->GetHelpCenter().OpenHelpCenter(0, 1031);
    });
}

} // namespace qz::query
