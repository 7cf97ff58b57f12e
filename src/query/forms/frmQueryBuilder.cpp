#include "query/forms/frmQueryBuilder.h"

#include "core/DesignerState.h"
#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "core/RecordsetGrid.h"
#include "platform/automation/DecimalText.h"
#include "platform/automation/Text.h"
#include "platform/system/Locales.h"
#include "platform/ui/UiHost.h"
#include "query/ModQBUtilities.h"
#include "query/forms/QBControls.h"
#include "query/QBSelectQueryParser.h"
#include "query/forms/frmAddForeignKey.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace qz::query {

namespace {

constexpr std::string_view kForm = "frmQueryBuilder";
constexpr std::int32_t kHelpContext = 1031;
constexpr const char* kNone = "none";
constexpr const char* kUserDefined = "User Defined Relation ";
constexpr int kSortTypeColumn = 3, kSortPriorityColumn = 4;

// A text written as an SQL literal ('O''Brien') becomes what it stands for
// (O'Brien); false, and the text unchanged, when it is not one.
bool UnquoteSqlText(std::string& text) {
    if (text.size() < 2 || text.front() != '\'' || text.back() != '\'') return false;
    std::string inner;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '\'' && (i + 2 >= text.size() || text[++i] != '\'')) return false;
        inner += text[i];
    }
    text = std::move(inner);
    return true;
}

// Object types of the four display boxes: catalog type and the label shown.
constexpr const char* kTypes[] = {"TABLE", "VIEW", "SYSTEM TABLE", "SYSTEM VIEW"};
constexpr const char* kTypeLabels[] = {"Table", "View", "System Table", "System View"};

constexpr const char* kOperators[] = {"equal", "greater", "less", "greater or equal", "less or equal",
                                      "not equal", "is empty", "is not empty", "contains", "starts with"};

// The label of an ADO data type in the fields list; "" for an unknown type.
const char* TypeLabel(std::int32_t type) {
    switch (type) {
    case 0: return "Empty"; case 2: return "Small Integer"; case 3: return "Integer";
    case 4: return "Single"; case 5: return "Double"; case 6: return "Currency"; case 7: return "Date";
    case 8: return "BSTR"; case 9: return "IDispatch"; case 10: return "Error"; case 11: return "Boolean";
    case 12: return "Variant"; case 13: return "IUnknown"; case 14: return "Decimal";
    case 16: return "Tiny Integer"; case 17: return "Unsigned Tiny Integer";
    case 18: return "Unsigned Small Integer"; case 19: return "Unsigned Integer"; case 20: return "Big Integer";
    case 21: return "Unsigned Big Integer"; case 64: return "File Time"; case 72: return "GUID";
    case 128: return "Binary"; case 129: return "Char"; case 130: return "Wide Char"; case 131: return "Numeric";
    case 132: return "User Defined"; case 133: return "DB Date"; case 134: return "DB Time";
    case 135: return "DB Time Stamp"; case 136: return "Chapter"; case 138: return "Property Variant";
    case 139: return "Varying Numeric"; case 200: return "Varying Char"; case 201: return "Long Varying Char";
    case 202: return "Varying Wide Char"; case 203: return "Long Varying Wide Char";
    case 204: return "Varying Binary"; case 205: return "Long Varying Binary";
    default: return "";
    }
}

bool TemplateReadOnly() { return goDesigner && goDesigner->TemplateReadOnly(); }
std::string TemplateFolder() { return goDesigner ? goDesigner->TemplatePath() : std::string(); }

std::string Trimmed(const std::string& s) {
    const auto a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// A statement the preview may run: one SELECT, nothing after it. The preview
// shows data; it never changes any.
// Why a text cannot be previewed, "" when it can: one statement that reads
// rows and changes nothing, a SELECT, or a WITH whose parts change nothing.
// Words are read outside quoted literals and names.
std::string PreviewProblem(const std::string& sql) {
    static const std::string kOnlySelect = "Only a single SELECT statement can be previewed.";
    std::vector<std::string> words;  // upper case
    char quote = 0;
    std::string word;
    const std::string t = Trimmed(sql);
    for (size_t i = 0; i <= t.size(); ++i) {
        const char c = i < t.size() ? t[i] : ' ';
        const bool letter = std::isalnum(static_cast<unsigned char>(c)) || c == '_';
        if (!quote && letter) {
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            continue;
        }
        if (!word.empty()) words.push_back(std::move(word));
        word.clear();
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"' || c == '`') {
            quote = c;
        } else if (c == '[') {
            quote = ']';
        } else if (c == ';' && !Trimmed(t.substr(i + 1)).empty()) {
            return kOnlySelect;
        }
        if (words.size() == 1 && words[0] != "SELECT" && words[0] != "WITH") break;
    }
    if (words.empty()) return kOnlySelect;
    static const std::set<std::string> kChanging = {"INSERT", "UPDATE", "DELETE", "MERGE", "UPSERT", "DROP", "CREATE",
                                                    "ALTER", "TRUNCATE", "ATTACH", "DETACH", "GRANT", "REVOKE",
                                                    "VACUUM", "PRAGMA", "REINDEX", "ANALYZE"};
    static const std::set<std::string> kStatements = {"EXEC", "EXECUTE", "CALL", "SET", "BEGIN", "COMMIT", "ROLLBACK",
                                                      "DECLARE", "SHOW", "USE", "VALUES", "REPLACE", "EXPLAIN", "LOCK",
                                                      "COPY", "SAVEPOINT", "RELEASE"};
    if (words[0] == "SELECT") return {};
    if (words[0] == "WITH") {
        for (const std::string& w : words)
            if (kChanging.count(w)) return kOnlySelect;
        return {};
    }
    if (kChanging.count(words[0]) || kStatements.count(words[0])) return kOnlySelect;
    return "The SQL text has a syntax error: \"" + words[0] + "\" begins no statement. A preview runs a SELECT statement.";
}

} // namespace

frmQueryBuilder::frmQueryBuilder() : ui::Form("frmQueryBuilder", "Command Properties") {
    control(lblCommandName, "lblCommandName").Caption = "&Command Name:";
    control(txtCommandName, "txtCommandName");
    txtCommandName.GotFocus = [this] {
        txtCommandName.SelStart = 0;
        txtCommandName.SelLength = static_cast<int>(fromUtf8(txtCommandName.Text).size());
    };
    // The editing keys (copy, backspace, paste, cut) and the characters of
    // names; "-", "." and "/" get through and are refused by OK.
    txtCommandName.KeyPress = [](int& key) {
        const bool ok = key == 3 || key == 8 || key == 22 || key == 24 || (key >= 45 && key <= 57) ||
                        (key >= 65 && key <= 90) || key == 95 || (key >= 97 && key <= 122);
        if (!ok) key = 0;
    };
    control(lblRowsToSelect, "lblRowsToSelect").Caption = "Rows to select:";
    control(cboRowsToSelect, "cboRowsToSelect");
    control(tabQueryBuilder, "tabQueryBuilder");
    tabQueryBuilder.TabCaptions = {"Selected Tables", "&Table Relationships", "Selected Fields",
                                   "Search Conditions", "SQL && Data"};

    control(fraSelectedTable, "fraSelectedTable");
    control(lsvTables, "lsvTables");
    lsvTables.CheckBoxes = true;
    lsvTables.AddColumn("Name", 200);
    lsvTables.AddColumn("Type", 100);
    control(fraDisplay, "fraDisplay").Caption = "Display";
    const char* boxes[] = {"&Tables", "&Views", "System T&ables", "System V&iews"};
    for (int i = 0; i < 4; ++i) {
        control(chkTablesToDisplay[i], "chkTablesToDisplay(" + std::to_string(i) + ")").Caption = boxes[i];
        chkTablesToDisplay[i].GotFocus = [this] { SelectTab(kTabTables); };
    }

    control(fraRelationShips, "fraRelationShips");
    control(lsvForeignKeys, "lsvForeignKeys");
    lsvForeignKeys.AddColumn("Name", 200);
    for (const char* h : {"Table", "Columns", "Related Table", "Columns"}) lsvForeignKeys.AddColumn(h, 100);
    lsvForeignKeys.GotFocus = [this] { SelectTab(kTabRelationships); };
    control(cmdAddForeignKey, "cmdAddForeignKey").Caption = "&Add";
    control(cmdEditForeignKey, "cmdEditForeignKey").Caption = "&Edit";
    control(cmdRemoveForeignKey, "cmdRemoveForeignKey").Caption = "&Remove";
    cmdEditForeignKey.Enabled = cmdRemoveForeignKey.Enabled = false;

    control(fraSelectedFields, "fraSelectedFields");
    control(lsvColumns, "lsvColumns");
    lsvColumns.CheckBoxes = true;
    lsvColumns.AddColumn("Name", 170);
    lsvColumns.AddColumn("Type", 120);
    for (const char* h : {"Size", "Sort Type", "Sort Priority"}) lsvColumns.AddColumn(h, 70);
    lsvColumns.GotFocus = [this] { SelectTab(kTabFields); };
    control(fraSort, "fraSort").Caption = "Sort";
    control(lblSortColumnName, "lblSortColumnName").Caption = "Column";
    control(txtSortColumnName, "txtSortColumnName");
    txtSortColumnName.Locked = true;
    control(lblSortType, "lblSortType").Caption = "Type";
    control(cboSortType, "cboSortType");
    control(lblSortPriority, "lblSortPriority").Caption = "Priority";
    control(cboSortPriority, "cboSortPriority");

    control(lblMatch, "lblMatch").Caption = "Match";
    control(cboSearchType, "cboSearchType");
    cboSearchType.GotFocus = [this] { SelectTab(kTabConditions); };
    control(lblMatchEnd, "lblMatchEnd").Caption = "of the following conditions:";
    control(lblConditionField, "lblConditionField").Caption = "Field";
    control(lblConditionOperator, "lblConditionOperator").Caption = "Operator";
    control(lblConditionParameter, "lblConditionParameter").Caption = "Parameter";
    for (int i = 0; i < 6; ++i) {
        const std::string n = "(" + std::to_string(i) + ")";
        control(cboConditionField[i], "cboConditionField" + n);
        control(cboConditionOperator[i], "cboConditionOperator" + n);
        control(txtConditionParameter[i], "txtConditionParameter" + n);
        control(cboConditionBooleanParameter[i], "cboConditionBooleanParameter" + n);
    }

    control(lblQuery, "lblQuery").Caption = "SQL:";
    control(txtQuery, "txtQuery");
    txtQuery.MultiLine = true;
    txtQuery.GotFocus = [this] { SelectTab(kTabSql); };
    txtQuery.KeyDown = [this](int& key, int shift) {
        if (key == 65 && shift == 2) {
            txtQuery.SelStart = 0;
            txtQuery.SelLength = static_cast<int>(fromUtf8(txtQuery.Text).size());
            key = 0;
        }
    };
    // Tab indents by three spaces instead of leaving the box.
    txtQuery.Validate = [this](bool& cancel) {
        if (!TabKeyDown()) return;
        txtQuery.SelLength = 0;
        txtQuery.SetSelText("   ");
        txtQuery.DataChanged = true;
        txtQuery_Change();
        cancel = true;
    };
    control(msfgrdCommand, "msfgrdCommand");
    msfgrdCommand.GotFocus = [this] { SelectTab(kTabSql); };
    control(cmdExecute, "cmdExecute").Caption = "&Execute";
    control(lblNumberOfRows, "lblNumberOfRows").Caption = "0 row(s)";

    control(cmdOk, "cmdOk").Caption = "Ok";
    control(cmdCancel, "cmdCancel").Caption = "&Cancel";
    cmdCancel.Cancel = true;
    control(cmdHelp, "cmdHelp").Caption = "&Help";
    for (ui::ComboBox* c : {&cboRowsToSelect, &cboSortType, &cboSortPriority, &cboSearchType}) c->Style = 2;
    for (int i = 0; i < 6; ++i)
        cboConditionField[i].Style = cboConditionOperator[i].Style = cboConditionBooleanParameter[i].Style = 2;
    InitializeControls();
}

frmQueryBuilder::~frmQueryBuilder() = default;

// ---- Loading ----------------------------------------------------------------

void frmQueryBuilder::OnLoad() {
    cmdOk.Enabled = !TemplateReadOnly() && cmdOk.Enabled;
    helpUsed_ = false;
}

void frmQueryBuilder::InitializeControls() {
    initializing_ = true;
    tabQueryBuilder.SelectedTab = currentTab_ = kTabTables;
    cboRowsToSelect.Clear();
    cboRowsToSelect.AddItem("all", kRowsAll);
    cboRowsToSelect.AddItem("distinct", kRowsDistinct);
    QBSetCurSel(cboRowsToSelect, 0);
    // "none" is the negation of "any" and "not all" that of "all".
    cboSearchType.Clear();
    cboSearchType.AddItem("all", kMatchAll);
    cboSearchType.AddItem("any", kMatchAny);
    cboSearchType.AddItem("none", kMatchNotAny);
    cboSearchType.AddItem("not all", kMatchNotAll);
    QBSetCurSel(cboSearchType, 0);
    for (int i = 0; i < 6; ++i) {
        auto& b = cboConditionBooleanParameter[i];
        b.Clear();
        b.AddItem("TRUE");
        b.AddItem("FALSE");
        QBSetCurSel(b, 0);
        cboConditionField[i].Clear();
        cboConditionField[i].AddItem(kNone);
        QBSetCurSel(cboConditionField[i], 0);
        auto& op = cboConditionOperator[i];
        op.Clear();
        for (int k = 0; k < 10; ++k) op.AddItem(kOperators[k], kOpEqual + k);
        QBSetCurSel(op, -1);
        ShowParameterControl(i, false);
    }
    cboSortType.Clear();
    for (const char* t : {"None", "Ascending", "Descending"}) cboSortType.AddItem(t);
    QBSetCurSel(cboSortType, 0);
    cboSortType.Enabled = cboSortPriority.Enabled = false;
    initializing_ = false;
}

void frmQueryBuilder::Initialize() {
    Handled(kForm, "Initialize", kErrLog | kErrRaise, [&] {
        if (!command_ || !connection_) RaiseError(msg::CannotViewCommandProperties);
        txtCommandName.Text = command_->Name;
        text_ = command_->Text;
        saved_ = false;
        Load(text_);
    });
}

void frmQueryBuilder::Load(const std::string& sql) {
    initializing_ = true;
    for (auto& box : chkTablesToDisplay) box.Value = 0;
    lsvTables.Clear();
    lsvForeignKeys.Clear();
    lsvColumns.Clear();
    rowFields_.clear();
    conditionFields_.clear();
    for (int i = 0; i < 6; ++i) {
        cboConditionField[i].Clear();
        cboConditionField[i].AddItem(kNone);
        QBSetCurSel(cboConditionField[i], 0);
        QBSetCurSel(cboConditionOperator[i], -1);
        cboConditionOperator[i].Enabled = false;
        txtConditionParameter[i].Text.clear();
        txtConditionParameter[i].Enabled = false;
        ShowParameterControl(i, false);
    }
    QBSetCurSel(cboSearchType, 0);
    SetQueryText("");
    cboSortPriority.Clear();
    txtSortColumnName.Text.clear();
    QBSetCurSel(cboSortType, 0);
    cboSortType.Enabled = cboSortPriority.Enabled = false;
    cmdEditForeignKey.Enabled = cmdRemoveForeignKey.Enabled = false;
    saved_ = false;
    ClearPreview();

    query_ = std::make_unique<QBSelectQuery>();
    query_->SetRowsToSelect(kRowsAll);
    QBSetCurSel(cboRowsToSelect, 0);
    if (!HandledWithError(kForm, "Initialize", kErrLog, [&] {
        query_->SetConnectionString(AdjustConnectionString(connection_->DataSource, false, TemplateFolder()));
    }, [&](const AutomationError&) {
        ui::currentHost().msgBox("Cannot connect to the datasource.", ui::vbOKOnly | ui::vbExclamation, Caption);
        ShowSqlOnly(sql, false);
        cboRowsToSelect.Enabled = false;
        initializing_ = false;
    })) return;
    cmdExecute.Enabled = cboRowsToSelect.Enabled = true;
    for (int t = 0; t < 4; ++t) tabQueryBuilder.SetTabEnabled(t, true);

    if (sql.empty()) {
        // The first kind of object that the catalog has is listed.
        for (int i = 0; i < 4 && lsvTables.Count() == 0; ++i) {
            chkTablesToDisplay[i].Value = 1;
            chkTablesToDisplay_Click(i);
        }
        EnableOkAndExecute();
        cmdExecute.Enabled = true;
        initializing_ = false;
        return;
    }
    bool parsed = false;
    // Whatever the panels cannot show is edited as text.
    HandledWithError(kForm, "Initialize", kErrLog, [&] {
        QBSelectQueryParser parser;
        parser.SetQBSelectQuery(query_.get());
        parser.SetSQL(sql);
        parsed = parser.ParseSelectQuery();
        if (!parsed) {
            AutomationError refusal = QBParseError(parser.LastResult());
            HandleError(refusal, kForm, "Initialize", kErrLog);
        }
        if (parsed) PopulateFormWithQueryData();
    }, [&](const AutomationError&) {
        parsed = false;
    });
    if (!parsed) {
        ui::currentHost().msgBox("The command is either invalid or too complex to be modified with the query builder.",
                                 ui::vbOKOnly | ui::vbExclamation, Caption);
        ShowSqlOnly(sql, true);
    }
    initializing_ = false;
}

void frmQueryBuilder::ShowSqlOnly(const std::string& sql, bool canExecute) {
    SetQueryText(crLfFromLfKeepingCr(sql));
    tabQueryBuilder.SelectedTab = currentTab_ = kTabSql;
    for (int t = 0; t < 4; ++t) tabQueryBuilder.SetTabEnabled(t, false);
    cmdOk.Enabled = !TemplateReadOnly();
    cmdExecute.Enabled = canExecute;
}

void frmQueryBuilder::PopulateFormWithQueryData() {
    QBSelectQuery& q = *query_;
    if (q.GetRowsToSelect() == kRowsAll) QBSetCurSel(cboRowsToSelect, 0);
    else if (q.GetRowsToSelect() == kRowsDistinct) QBSetCurSel(cboRowsToSelect, 1);
    for (const auto& t : q.SelectedTableList()) {
        for (int i = 0; i < 4; ++i)
            if (t->Table->type == kTypes[i] && chkTablesToDisplay[i].Value != 1) {
                chkTablesToDisplay[i].Value = 1;
                chkTablesToDisplay_Click(i);
            }
        if (ui::ListItem* row = lsvTables.Find(t->FQName())) row->Checked = true;
        AddTableFieldsToFieldsListview(t->FQName());
    }
    for (const auto& c : q.SelectedColumnList())
        if (ui::ListItem* row = lsvColumns.Find(c->FQName())) row->Checked = true;
    cboSortPriority.Clear();
    for (const auto& o : q.OrderExpressionList()) {
        ui::ListItem* row = lsvColumns.Find(o->FQName());
        if (!row) continue;
        row->SetSubItem(kSortTypeColumn, o->OrderType == 3 ? "Descending" : "Ascending");
        row->SetSubItem(kSortPriorityColumn, std::to_string(o->OrderPriority));
        cboSortPriority.AddItem(std::to_string(o->OrderPriority));
    }
    // The entries stand in priority order, entry k - 1 for priority k.
    std::stable_sort(cboSortPriority.Items.begin(), cboSortPriority.Items.end(),
                     [](const auto& a, const auto& b) { return std::stoi(a.text) < std::stoi(b.text); });
    const int type = q.SearchConditionList().SearchType();
    for (int k = 0; k < cboSearchType.ListCount(); ++k)
        if (cboSearchType.ItemData(k) == type) QBSetCurSel(cboSearchType, k);
    for (int i = 0; i < 6; ++i) {
        const auto& slot = q.SearchConditionList().Item(static_cast<size_t>(i) + 1);
        if (slot->Operator == kOpNone || !slot->Table || !slot->Column) continue;
        for (size_t k = 0; k < conditionFields_.size(); ++k)
            if (conditionFields_[k].table == slot->Table->name && conditionFields_[k].column == slot->Column->name)
                QBSetCurSel(cboConditionField[i], static_cast<int>(k) + 1);
        if (slot->Operator >= kOpEqual && slot->Operator <= kOpStartsWith) {
            QBSetCurSel(cboConditionOperator[i], slot->Operator - kOpEqual);
        }
        cboConditionOperator[i].Enabled = true;
        const int kind = ColumnKindOfAdoType(slot->Column->type);
        if (kind == kKindBoolean) {
            ShowParameterControl(i, true);
            double number = 0;
            const bool isTrue = equalsNoCaseAscii(slot->Parameter, "TRUE") ||
                                (readDecimal(slot->Parameter, number) && number != 0);
            QBSetCurSel(cboConditionBooleanParameter[i], isTrue ? 0 : 1);
        } else if (kind != kKindNotSearchable) {
            ShowParameterControl(i, false);
            // A quoted "?" is shown in its quotes, to tell it from the parameter marker.
            txtConditionParameter[i].Text = slot->Literal && slot->Parameter == "?" ? "'?'" : slot->Parameter;
            txtConditionParameter[i].Enabled = slot->Operator != kOpIsNull && slot->Operator != kOpIsNotNull;
        }
    }
    RefreshForeignKeys();
    RefreshSQL();
}

// ---- The SQL tab and the dialog -------------------------------------------

void frmQueryBuilder::SetQueryText(const std::string& text) {
    if (txtQuery.Text != text) {
        txtQuery.Text = text;
        txtQuery_Change();
    }
    txtQuery.DataChanged = false;
}

void frmQueryBuilder::ClearPreview() {
    msfgrdCommand.Clear();
    lblNumberOfRows.Caption = "0 row(s)";
}

void frmQueryBuilder::EnableOkAndExecute() {
    const bool any = !txtQuery.Text.empty();
    cmdOk.Enabled = any && !TemplateReadOnly();
    cmdExecute.Enabled = any;
}

void frmQueryBuilder::RefreshSQL() {
    Handled(kForm, "RefreshSQL", kErrLog | kErrRaise, [&] {
        SetQueryText(query_ ? query_->GetSQL() : std::string());
        EnableOkAndExecute();
    });
}

void frmQueryBuilder::txtQuery_Change() {
    ClearPreview();
    EnableOkAndExecute();
}

void frmQueryBuilder::SelectTab(int tab) {
    if (tab == tabQueryBuilder.SelectedTab || !tabQueryBuilder.TabIsEnabled(tab)) return;
    tabQueryBuilder.SelectedTab = tab;
    tabQueryBuilder_Click();
}

void frmQueryBuilder::tabQueryBuilder_Click() {
    Handled(kForm, "tabQueryBuilder_Click", kErrLog | kErrShow, [&] {
        const int previous = currentTab_;
        currentTab_ = tabQueryBuilder.SelectedTab;
        if (previous != kTabSql || currentTab_ == kTabSql || !QBTextBoxChanged(txtQuery)) return;
        // The typed text is read into the panels; the command itself changes
        // only when OK saves it, and the name typed so far stays.
        text_ = txtQuery.Text;
        const std::string typedName = txtCommandName.Text;
        const int wanted = currentTab_;
        Load(text_);
        txtCommandName.Text = typedName;
        if (tabQueryBuilder.TabIsEnabled(wanted)) tabQueryBuilder.SelectedTab = currentTab_ = wanted;
    });
}

void frmQueryBuilder::cmdExecute_Click() {
    ui::currentHost().setBusyCursor(true);
    bool database = false;  // the failure is the database's: its errors tell it
    HandledWithError(kForm, "cmdExecute_Click", kErrLog, [&] {
        const std::string typed = txtQuery.SelLength > 0 ? txtQuery.SelText() : txtQuery.Text;
        if (Trimmed(typed).empty()) RaiseError(msg::NoSqlToExecute);
        const ado::BoundSql sql = goDesigner ? goDesigner->ResolveSqlParameters(typed) : ado::BoundSql{typed, {}};
        if (const std::string problem = PreviewProblem(sql.text); !problem.empty())
            throw AutomationError(kErrorFail, std::string(kForm), problem);
        if (!preview_) preview_ = makeRef<ado::Connection>();
        database = true;
        if (!preview_->isOpen())
            preview_->open(AdjustConnectionString(connection_ ? connection_->DataSource : "", false, TemplateFolder()));
        // A test run outside any template shows the values in the user's
        // regional settings.
        preview_->setLocale(sys::userDefaultLcid());
        Ref<ado::Recordset> rs = preview_->execute(sql);
        FillGridFromRecordset(msfgrdCommand, *rs);
        lblNumberOfRows.Caption = std::to_string(rs->recordCount()) + " row(s)";
        ui::currentHost().setBusyCursor(false);
    }, [&](AutomationError& e) {
        ui::currentHost().setBusyCursor(false);
        std::vector<std::pair<std::int32_t, std::string>> errors;
        if (preview_ && database)
            for (const ado::ProviderError& p : preview_->errors()) errors.emplace_back(p.number, p.description);
        if (!errors.empty()) ShowErrorDialog(DataErrorMessage(errors), "");
        else HandleError(e, kForm, "cmdExecute_Click", kErrShow);
    });
}

// A text the database refuses would fail every production: the database
// prepares it (nothing runs), and when it names an error the author decides
// whether to save it all the same. A database that cannot be reached checks
// nothing, and the text is saved as typed.
bool frmQueryBuilder::SqlAcceptedForSaving(const std::string& sql) {
    if (!preview_) preview_ = makeRef<ado::Connection>();
    try {
        if (!preview_->isOpen())
            preview_->open(AdjustConnectionString(connection_ ? connection_->DataSource : "", false, TemplateFolder()));
    } catch (...) {
        return true;
    }
    std::vector<std::pair<std::int32_t, std::string>> errors;
    try {
        preview_->describe(sql);
        return true;
    } catch (const AutomationError& e) {
        for (const ado::ProviderError& p : preview_->errors()) errors.emplace_back(p.number, p.description);
        if (errors.empty()) errors.emplace_back(e.Number, e.Description);
    }
    std::string text;
    for (const auto& error : errors) text += error.second + "\r\n";
    return ui::currentHost().msgBox("The database reports an error in the command's SQL text:\r\n\r\n" + text +
                                        "\r\nThe command will fail when a document is produced. Save it anyway?",
                                    ui::vbYesNo | ui::vbExclamation | ui::vbDefaultButton2, Caption) == ui::vbYes;
}

void frmQueryBuilder::SaveData(const std::string& name, const std::string& sql) {
    auto readOnly = [] {
        if (goDesigner) goDesigner->SetTemplateReadOnly(true);
        const std::string qzc =
            goDesigner ? AddBackSlashInPath(goDesigner->TemplatePath()) + goDesigner->QzcFileName() : std::string();
        return QzcReadOnlyError(qzc);
    };
    try {
        if (!command_) RaiseError(msg::CannotViewCommandProperties);
        if (TemplateReadOnly()) throw readOnly();
        const std::string oldName = command_->Name, oldText = command_->Text;
        command_->Name = name;
        command_->Text = sql;
        try {
            command_->Save();
        } catch (...) {
            AutomationError e = CurrentError();
            // The document in memory keeps what the file holds.
            command_->Name = oldName;
            command_->Text = oldText;
            Quietly([&] {
                command_->Save();
            });
            if (e.Number == kErrorFail) throw readOnly();
            throw e;
        }
    } catch (...) {
        AutomationError e = CurrentError();
        if (IsOwn(e, msg::CannotUpdateTemplateProperties))
            HandleError(e, kForm, "SaveData", kErrLog | kErrShow | kErrRaise);
        HandleError(e, kForm, "SaveData", kErrLog | kErrRaise);
    }
}

void frmQueryBuilder::cmdOk_Click() {
    HandledWithError(kForm, "cmdOk_Click", kErrLog, [&] {
        const std::string name = txtCommandName.Text;
        CheckCommandName(list_.get(), name, command_.get(), [&] {
            if (Trimmed(txtQuery.Text).empty()) RaiseError(msg::InvalidSqlQuery);
        });
        if (!SqlAcceptedForSaving(txtQuery.Text)) return;
        SaveData(name, txtQuery.Text);
        saved_ = true;
        Hide();
    }, [&](AutomationError& e) {
        saved_ = false;
        if (IsOwn(e, msg::InvalidName)) ShowErrorDialog(e.Description, "");
        else if (!IsOwn(e, msg::CannotUpdateTemplateProperties))
            ShowErrorDialog(DataErrorMessage({{e.Number, e.Description}}), "");
    });
}

void frmQueryBuilder::cmdCancel_Click() {
    saved_ = false;
    Hide();
}

void frmQueryBuilder::cmdHelp_Click() {
    Handled(kForm, "cmdHelp_Click", kErrLog | kErrShow, [&] {
        if (goDesigner) goDesigner->GetHelpCenter().OpenHelpCenter(0, kHelpContext);
        helpUsed_ = true;
    });
}

void frmQueryBuilder::OnUnload() {
    Quietly([&] {
        if (helpUsed_ && glHelpWindowHandle != 0) ui::currentHost().showHelp("", ui::HelpCloseAll, 0);
    });
    preview_ = nullptr;
    query_.reset();
    command_.reset();
    connection_.reset();
    list_.reset();
}

// ---- Tables, relationships and fields ---------------------------------------

void frmQueryBuilder::AddTablesToTablesListview(int box) {
    for (const auto& t : query_->GetCatalogTables()) {
        if (t->type != kTypes[box] || lsvTables.Find(t->name)) continue;
        ui::ListItem& row = lsvTables.Add(t->name, t->name);
        row.SetSubItem(1, kTypeLabels[box]);
    }
}

void frmQueryBuilder::chkTablesToDisplay_Click(int i) {
    Handled(kForm, "chkTablesToDisplay_Click", kErrLog | kErrShow, [&] {
        if (i < 0 || i > 3 || !query_ || !query_->GetCatalog()) return;
        if (chkTablesToDisplay[i].Value == 1) {
            AddTablesToTablesListview(i);
            return;
        }
        const std::string label = kTypeLabels[i];
        bool used = false;
        for (size_t r = 0; r < lsvTables.Count(); ++r)
            used |= lsvTables.Item(r).Checked && lsvTables.Item(r).SubItem(1) == label;
        if (used && !initializing_) {
            const std::string q = "\"" + label + "\"";
            if (ui::currentHost().msgBox("Removing all " + q + " objects will affect the content of the query.\r\n\r\n"
                                         "Do you wish to remove all " + q + " objects ?",
                                         ui::vbYesNo | ui::vbExclamation, Caption) != ui::vbYes) {
                chkTablesToDisplay[i].Value = 1;
                return;
            }
        }
        for (size_t r = lsvTables.Count(); r-- > 0;) {
            ui::ListItem& row = lsvTables.Item(r);
            if (row.SubItem(1) != label) continue;
            if (row.Checked) {
                row.Checked = false;
                lsvTables_ItemCheck(row);
            }
            lsvTables.Remove(r);
        }
    });
}

void frmQueryBuilder::lsvTables_ItemCheck(ui::ListItem& item) {
    Handled(kForm, "lsvTables_ItemCheck", kErrLog | kErrShow, [&] {
        const std::string table = item.Text;
        if (item.Checked) {
            try {
                query_->SelectTable(table);
            } catch (...) {
                item.Checked = false;
                throw;
            }
            AddTableFieldsToFieldsListview(table);
        } else {
            RemoveTableFieldsFromFieldsListview(table);
            if (query_->SelectedTableList().FindItem(table)) query_->UnselectTable(table);
        }
        RefreshForeignKeys();
        RefreshSQL();
    });
}

void frmQueryBuilder::AddTableFieldsToFieldsListview(const std::string& table) {
    const std::string all = table + ".*";
    if (!lsvColumns.Find(all)) {
        lsvColumns.Add(all, all).SetSubItem(kSortTypeColumn, "None");
        rowFields_[all] = {table, "*"};
    }
    for (const auto& c : query_->GetCatalogColumns(table)) {
        const std::string key = table + "." + c->name;
        conditionFields_.push_back({table, c->name});
        for (auto& box : cboConditionField) box.AddItem(key);
        if (lsvColumns.Find(key)) continue;
        ui::ListItem& row = lsvColumns.Add(key, key);
        row.SetSubItem(1, TypeLabel(c->type));
        if (c->definedSize > 0) row.SetSubItem(2, std::to_string(c->definedSize));
        row.SetSubItem(kSortTypeColumn, "None");
        rowFields_[key] = {table, c->name};
    }
}

void frmQueryBuilder::RemoveTableFieldsFromFieldsListview(const std::string& table) {
    std::vector<int> removedPriorities;
    for (size_t r = lsvColumns.Count(); r-- > 0;) {
        ui::ListItem& row = lsvColumns.Item(r);
        const Field* f = RowField(row);
        if (!f || f->table != table) continue;
        if (row.Checked && query_->SelectedColumnList().FindItem(row.Key())) query_->UnselectColumn(f->table, f->column);
        if (row.SubItem(kSortTypeColumn) != "None" && !row.SubItem(kSortTypeColumn).empty()) {
            query_->RemoveOrderExpression(f->table, f->column);
            removedPriorities.push_back(std::stoi(row.SubItem(kSortPriorityColumn)));
        }
        if (lsvColumns.SelectedItem() == &row) {
            txtSortColumnName.Text.clear();
            QBSetCurSel(cboSortType, -1);
            QBSetCurSel(cboSortPriority, -1);
            cboSortType.Enabled = cboSortPriority.Enabled = false;
        }
        rowFields_.erase(row.Key());
        lsvColumns.Remove(r);
    }
    // The conditions on the table's columns are emptied and its columns leave the field lists.
    for (size_t k = conditionFields_.size(); k-- > 0;) {
        if (conditionFields_[k].table != table) continue;
        const int entry = static_cast<int>(k) + 1;
        for (int i = 0; i < 6; ++i) {
            if (cboConditionField[i].ListIndex == entry) {
                QBSetCurSel(cboConditionField[i], 0);
                cboConditionField_Click(i);
            }
            cboConditionField[i].Items.erase(cboConditionField[i].Items.begin() + entry);
            if (cboConditionField[i].ListIndex > entry) --cboConditionField[i].ListIndex;
        }
        conditionFields_.erase(conditionFields_.begin() + static_cast<std::ptrdiff_t>(k));
    }
    // Priorities stay 1 to n: each removed one closes its gap.
    std::sort(removedPriorities.rbegin(), removedPriorities.rend());
    for (int p : removedPriorities) {
        if (cboSortPriority.ListCount() > 0) cboSortPriority.Items.pop_back();
        for (size_t r = 0; r < lsvColumns.Count(); ++r) {
            ui::ListItem& row = lsvColumns.Item(r);
            const std::string prio = row.SubItem(kSortPriorityColumn);
            if (prio.empty() || std::stoi(prio) <= p) continue;
            row.SetSubItem(kSortPriorityColumn, std::to_string(std::stoi(prio) - 1));
            if (const Field* f = RowField(row))
                query_->SetOrderExpression(f->table, f->column, GetOrderType(row.SubItem(kSortTypeColumn)),
                                           std::stoi(prio) - 1);
        }
    }
}

const frmQueryBuilder::Field* frmQueryBuilder::RowField(const ui::ListItem& item) const {
    const auto it = rowFields_.find(item.Key());
    return it == rowFields_.end() ? nullptr : &it->second;
}

void frmQueryBuilder::lsvColumns_ItemCheck(ui::ListItem& item) {
    Handled(kForm, "lsvColumns_ItemCheck", kErrLog | kErrShow, [&] {
        const Field* f = RowField(item);
        if (!f) return;
        const bool selected = query_->SelectedColumnList().FindItem(item.Key()) != nullptr;
        if (item.Checked && !selected) query_->SelectColumn(f->table, f->column);
        else if (!item.Checked && selected) query_->UnselectColumn(f->table, f->column);
        RefreshSQL();
    });
}

void frmQueryBuilder::lsvColumns_ItemClick(ui::ListItem& item) {
    lsvColumns.Select(&item);
    txtSortColumnName.Text = item.Text;
    txtSortColumnName_Change();
    const std::string type = item.SubItem(kSortTypeColumn);
    const std::string prio = item.SubItem(kSortPriorityColumn);
    if (type == "None") {
        QBSetCurSel(cboSortType, 0);
        QBSetCurSel(cboSortPriority, -1);
        cboSortPriority.Enabled = false;
    } else if (type == "Ascending" || type == "Descending") {
        QBSetCurSel(cboSortType, type == "Ascending" ? 1 : 2);
        QBSetCurSel(cboSortPriority, prio.empty() ? -1 : std::stoi(prio) - 1);
        cboSortPriority.Enabled = true;
    }
}

void frmQueryBuilder::RefreshForeignKeys() {
    lsvForeignKeys.Clear();
    for (const auto& r : query_->ForeignKeyList()) {
        std::string base, related;
        for (const auto& p : r->ColumnPairs) {
            base += (base.empty() ? "" : ", ") + p.Base->name;
            related += (related.empty() ? "" : ", ") + p.Related->name;
        }
        const std::string key = r->FQName();
        if (lsvForeignKeys.Find(key)) continue;
        ui::ListItem& row = lsvForeignKeys.Add(key, key);
        row.SetSubItem(1, r->BaseTable->name);
        row.SetSubItem(2, base);
        row.SetSubItem(3, r->RelatedTable->name);
        row.SetSubItem(4, related);
    }
    cmdEditForeignKey.Enabled = cmdRemoveForeignKey.Enabled = false;
}

void frmQueryBuilder::lsvForeignKeys_Click() {
    const ui::ListItem* row = lsvForeignKeys.SelectedItem();
    if (!row) return;
    cmdEditForeignKey.Enabled = true;
    cmdRemoveForeignKey.Enabled = row->Text.find(kUserDefined) != std::string::npos;
}

void frmQueryBuilder::EditRelationship(const std::string& key) {
    frmAddForeignKey dialog;
    dialog.FKName = key;
    dialog.WindowCaption = key.empty() ? "Add Relationship" : "Edit Relationship";
    dialog.DisplayTables = chkTablesToDisplay[0].Value == 1;
    dialog.DisplayViews = chkTablesToDisplay[1].Value == 1;
    dialog.DisplaySystemTables = chkTablesToDisplay[2].Value == 1;
    dialog.DisplaySystemViews = chkTablesToDisplay[3].Value == 1;
    if (!key.empty()) {
        const auto r = query_->ForeignKeyList().FindItem(key);
        dialog.WindowReadOnly = !r || r->FKType != kFKTypeUserDefined;
    }
    dialog.SetQBSelectQuery(query_.get());
    dialog.ShowModal();
    dialog.Unload();
    RefreshForeignKeys();
    RefreshSQL();
}

void frmQueryBuilder::cmdAddForeignKey_Click() {
    Handled(kForm, "cmdAddForeignKey_Click", kErrLog | kErrShow, [&] {
        EditRelationship("");
    });
}

void frmQueryBuilder::cmdEditForeignKey_Click() {
    Handled(kForm, "cmdEditForeignKey_Click", kErrLog | kErrShow, [&] {
        if (const ui::ListItem* row = lsvForeignKeys.SelectedItem()) EditRelationship(row->Text);
    });
}

void frmQueryBuilder::cmdRemoveForeignKey_Click() {
    Handled(kForm, "cmdRemoveForeignKey_Click", kErrLog | kErrShow, [&] {
        const ui::ListItem* row = lsvForeignKeys.SelectedItem();
        if (!row) return;
        const std::string key = row->Text;
        if (ui::currentHost().msgBox("Remove relationship \"" + key + "\"", ui::vbOKCancel, "Query Builder") == ui::vbOK) {
            query_->RemoveUserDefinedForeignKey(key);
            RefreshForeignKeys();
        }
        RefreshSQL();
    });
}

// ---- Conditions, rows to select and sorting ---------------------------------

const frmQueryBuilder::Field* frmQueryBuilder::ConditionField(int i) const {
    const int k = cboConditionField[i].ListIndex - 1;
    return k >= 0 && k < static_cast<int>(conditionFields_.size()) ? &conditionFields_[static_cast<size_t>(k)] : nullptr;
}

int frmQueryBuilder::ConditionKind(int i) const {
    const Field* f = ConditionField(i);
    return f ? query_->GetSearchColumnType(f->table, f->column) : kKindUnknown;
}

void frmQueryBuilder::ShowParameterControl(int i, bool boolean) {
    txtConditionParameter[i].Visible = !boolean;
    cboConditionBooleanParameter[i].Visible = cboConditionBooleanParameter[i].Enabled = boolean;
    if (boolean) txtConditionParameter[i].Enabled = false;
}

void frmQueryBuilder::UpdateFieldCondition(int i) {
    Handled(kForm, "UpdateFieldCondition", kErrLog | kErrRaise, [&] {
        if (i < 0 || i > 5 || !query_) return;
        const Field* f = ConditionField(i);
        const int op = static_cast<int>(cboConditionOperator[i].ListIndex < 0 ? kOpUnset
                                                                               : cboConditionOperator[i].ItemData(cboConditionOperator[i].ListIndex));
        if (!f) {
            query_->SetSearchCondition(i, "", "", kOpNone, "");
        } else {
            const int kind = query_->GetSearchColumnType(f->table, f->column);
            if (kind == kKindNotSearchable || kind == kKindUnknown) return;
            std::string p = kind == kKindBoolean ? cboConditionBooleanParameter[i].Text : txtConditionParameter[i].Text;
            if (op == kOpIsNull || op == kOpIsNotNull) p.clear();
            // A text or date typed between single quotes, as SQL writes it, is
            // what stands between them (the query quotes it itself): "'France'"
            // is France, and "'?'" a question mark as text where "?" alone is
            // asked for when the query runs.
            const bool quoted = (kind == kKindText || kind == kKindDateTime) && UnquoteSqlText(p);
            const bool literal = quoted && p == "?";
            // A value that does not suit the column leaves the condition out
            // of the text until it does.
            const bool suits = QBSelectQuery::IsValidParameter(kind, op, p);
            txtConditionParameter[i].ToolTipText = suits ? "" : "This value does not suit the column's type.";
            query_->SetSearchCondition(i, f->table, f->column, suits ? op : kOpUnset, suits ? p : "", literal);
        }
        RefreshSQL();
    });
}

void frmQueryBuilder::cboConditionField_Click(int i) {
    Handled(kForm, "cboConditionField_Click", kErrLog | kErrShow, [&] {
        if (i < 0 || i > 5) return;
        if (ConditionField(i)) {
            const int kind = ConditionKind(i);
            if (kind == kKindNotSearchable || kind == kKindUnknown) {
                ui::currentHost().msgBox("This type of column cannot be used within a search condition.",
                                         ui::vbOKOnly | ui::vbExclamation, Caption);
                QBSetCurSel(cboConditionField[i], 0);
                // The row is "none" again, and so is its condition.
                query_->SetSearchCondition(i, "", "", kOpNone, "");
                ToggleConditionOperator(i);
                RefreshSQL();
                return;
            }
            ShowParameterControl(i, kind == kKindBoolean);
        } else {
            ShowParameterControl(i, false);
        }
        UpdateFieldCondition(i);
        ToggleConditionOperator(i);
    });
}

void frmQueryBuilder::ToggleConditionOperator(int i) {
    if (ConditionField(i)) {
        cboConditionOperator[i].Enabled = true;
        return;
    }
    QBSetCurSel(cboConditionOperator[i], -1);
    cboConditionOperator[i].Enabled = false;
    txtConditionParameter[i].Text.clear();
    txtConditionParameter[i].Enabled = false;
}

void frmQueryBuilder::ToggleConditionParameter(int i) {
    const std::string op = cboConditionOperator[i].ListIndex < 0 ? std::string() : cboConditionOperator[i].Text;
    if (op.empty() || op == "is empty" || op == "is not empty") {
        txtConditionParameter[i].Text.clear();
        txtConditionParameter[i].Enabled = false;
        UpdateFieldCondition(i);
    } else {
        txtConditionParameter[i].Enabled = txtConditionParameter[i].Visible;
    }
}

void frmQueryBuilder::cboConditionOperator_Click(int i) {
    Handled(kForm, "cboConditionOperator_Click", kErrLog | kErrShow, [&] {
        if (i < 0 || i > 5) return;
        UpdateFieldCondition(i);
        ToggleConditionParameter(i);
    });
}

void frmQueryBuilder::txtConditionParameter_Change(int i) {
    Handled(kForm, "txtConditionParameter_Change", kErrLog | kErrShow, [&] {
        if (!initializing_) UpdateFieldCondition(i);
    });
}

void frmQueryBuilder::cboConditionBooleanParameter_Click(int i) {
    Handled(kForm, "cboConditionBooleanParameter_Click", kErrLog | kErrShow, [&] {
        if (!initializing_) UpdateFieldCondition(i);
    });
}

void frmQueryBuilder::UpdateSearchType() {
    if (cboSearchType.ListIndex >= 0) query_->SearchConditionList().SetSearchType(cboSearchType.ItemData(cboSearchType.ListIndex));
    RefreshSQL();
}

void frmQueryBuilder::cboSearchType_Click() {
    Handled(kForm, "cboSearchType_Click", kErrLog | kErrShow, [&] {
        UpdateSearchType();
    });
}

void frmQueryBuilder::cboRowsToSelect_Click() {
    Handled(kForm, "cboRowsToSelect_Click", kErrLog | kErrShow, [&] {
        if (cboRowsToSelect.ListIndex >= 0) query_->SetRowsToSelect(cboRowsToSelect.ItemData(cboRowsToSelect.ListIndex));
        RefreshSQL();
    });
}

int frmQueryBuilder::GetOrderType(const std::string& sortType) {
    if (sortType == "None") return 1;
    if (sortType == "Ascending") return 2;
    if (sortType == "Descending") return 3;
    return 0;
}

void frmQueryBuilder::UpdateSortPriority() {
    if (ui::ListItem* row = lsvColumns.SelectedItem())
        row->SetSubItem(kSortPriorityColumn, cboSortPriority.ListIndex < 0 ? std::string() : cboSortPriority.Text);
}

void frmQueryBuilder::UpdateSortType() {
    ui::ListItem* row = lsvColumns.SelectedItem();
    const Field* f = row ? RowField(*row) : nullptr;
    if (!f || f->column == "*" || cboSortType.ListIndex < 0) return;
    const std::string type = cboSortType.Text;
    const bool wasSorted = row->SubItem(kSortTypeColumn) != "None";
    if (type != "None") {
        if (!wasSorted) {
            cboSortPriority.Enabled = true;
            cboSortPriority.AddItem(std::to_string(cboSortPriority.ListCount() + 1));
            QBSetCurSel(cboSortPriority, cboSortPriority.ListCount() - 1);
            UpdateSortPriority();
            query_->AddOrderExpression(f->table, f->column, GetOrderType(type), std::stoi(cboSortPriority.Text));
        } else {
            query_->SetOrderExpression(f->table, f->column, GetOrderType(type),
                                       std::stoi(row->SubItem(kSortPriorityColumn)));
        }
        row->SetSubItem(kSortTypeColumn, type);
        return;
    }
    if (!wasSorted) return;
    const int p = std::stoi(row->SubItem(kSortPriorityColumn));
    cboSortPriority.Enabled = false;
    if (cboSortPriority.ListCount() > 0) cboSortPriority.Items.pop_back();
    query_->RemoveOrderExpression(f->table, f->column);
    QBSetCurSel(cboSortPriority, -1);
    UpdateSortPriority();
    row->SetSubItem(kSortTypeColumn, "None");
    for (size_t r = 0; r < lsvColumns.Count(); ++r) {
        ui::ListItem& other = lsvColumns.Item(r);
        const std::string prio = other.SubItem(kSortPriorityColumn);
        if (&other == row || prio.empty() || std::stoi(prio) <= p) continue;
        other.SetSubItem(kSortPriorityColumn, std::to_string(std::stoi(prio) - 1));
        if (const Field* of = RowField(other))
            query_->SetOrderExpression(of->table, of->column, GetOrderType(other.SubItem(kSortTypeColumn)),
                                       std::stoi(prio) - 1);
    }
}

void frmQueryBuilder::cboSortType_Click() {
    Handled(kForm, "cboSortType_Click", kErrLog | kErrShow, [&] {
        UpdateSortType();
        RefreshSQL();
    });
}

void frmQueryBuilder::cboSortPriority_Click() {
    Handled(kForm, "cboSortPriority_Click", kErrLog | kErrShow, [&] {
        ui::ListItem* row = lsvColumns.SelectedItem();
        const Field* f = row ? RowField(*row) : nullptr;
        if (!f || cboSortPriority.ListIndex < 0 || row->SubItem(kSortPriorityColumn).empty()) return;
        const std::string old = row->SubItem(kSortPriorityColumn);
        const int wanted = std::stoi(cboSortPriority.Text);
        query_->SetOrderExpression(f->table, f->column, GetOrderType(row->SubItem(kSortTypeColumn)), wanted);
        // The row that held the chosen priority takes the old one.
        for (size_t r = 0; r < lsvColumns.Count(); ++r) {
            ui::ListItem& other = lsvColumns.Item(r);
            if (&other == row || other.SubItem(kSortPriorityColumn) != std::to_string(wanted)) continue;
            other.SetSubItem(kSortPriorityColumn, old);
            if (const Field* of = RowField(other))
                query_->SetOrderExpression(of->table, of->column, GetOrderType(other.SubItem(kSortTypeColumn)),
                                           std::stoi(old));
            break;
        }
        UpdateSortPriority();
        RefreshSQL();
    });
}

void frmQueryBuilder::txtSortColumnName_Change() {
    const std::string& n = txtSortColumnName.Text;
    const ui::ListItem* row = lsvColumns.SelectedItem();
    const Field* f = row ? RowField(*row) : nullptr;
    // No sort order for a whole-table row.
    cboSortType.Enabled = !n.empty() && !(f && f->column == "*") && !(!f && n.back() == '*');
}

} // namespace qz::query
