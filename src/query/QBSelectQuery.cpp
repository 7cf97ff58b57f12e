#include "query/QBSelectQuery.h"

#include "platform/automation/AutomationError.h"

#include <algorithm>
#include <unordered_set>

namespace qz::query {

namespace {

constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057u);
constexpr const char* kSource = "QBSelectQuery";
constexpr const char* kNL = "\r\n";

[[noreturn]] void Invalid(const std::string& what) {
    throw AutomationError(kInvalidArgument, kSource, "Invalid argument: " + what);
}

std::string Indent(int level) { return std::string(static_cast<size_t>(3 * level), ' '); }

bool IsComparison(int op) { return op >= kOpEqual && op <= kOpNotEqual; }

} // namespace

// ---- Life cycle and catalog ------------------------------------------------

QBSelectQuery::QBSelectQuery() { InitializeLists(); }

QBSelectQuery::QBSelectQuery(CatalogRef catalog) : catalog_(std::move(catalog)) {
    if (catalog_) dialect_ = catalog_->Dialect();
    InitializeLists();
}

void QBSelectQuery::InitializeLists() {
    bool sensitive = dialect_.Case != IdentifierCase::Insensitive;
    tables_ = std::make_unique<QBSelectedTableList>(sensitive);
    columns_ = std::make_unique<QBSelectedColumnList>(sensitive);
    foreignKeys_ = std::make_unique<QBForeignKeyList>(false);
    conditions_ = std::make_unique<QBSearchConditionList>();
    orders_ = std::make_unique<QBOrderExpressionList>(sensitive);
}

void QBSelectQuery::SetConnectionString(const std::string& connectionString) {
    connectionString_ = connectionString;
    // The old catalog goes first: a failed open must not leave it behind.
    catalog_.reset();
    dialect_ = SqlDialect{};
    InitializeLists();
    CatalogRef opened = OpenCatalog(connectionString);
    catalog_ = std::move(opened);
    dialect_ = catalog_->Dialect();
    InitializeLists();
}

const std::vector<TableRef>& QBSelectQuery::GetCatalogTables() const {
    if (!catalog_) throw AutomationError(kErrorFail, kSource, "No catalog is open.");
    return catalog_->Tables();
}

TableRef QBSelectQuery::RequireTable(std::string_view table) const {
    if (!catalog_) throw AutomationError(kErrorFail, kSource, "No catalog is open.");
    TableRef t = catalog_->FindTable(table);
    if (!t) Invalid("the catalog has no table '" + std::string(table) + "'.");
    return t;
}

ColumnRef QBSelectQuery::RequireColumn(const TableRef& table, std::string_view column) const {
    ColumnRef c = catalog_->FindColumn(*table, column);
    if (!c) Invalid("the table '" + table->name + "' has no column '" + std::string(column) + "'.");
    return c;
}

const std::vector<ColumnRef>& QBSelectQuery::GetCatalogColumns(std::string_view table) const {
    return catalog_->Columns(*RequireTable(table));
}

bool QBSelectQuery::TableNameExists(std::string_view table) const {
    return catalog_ && catalog_->FindTable(table) != nullptr;
}

bool QBSelectQuery::ColumnNameExists(std::string_view table, std::string_view column) const {
    try {
        TableRef t = catalog_ ? catalog_->FindTable(table) : nullptr;
        if (!t) return false;
        return column == "*" || catalog_->FindColumn(*t, column) != nullptr;
    } catch (const AutomationError&) {
        return false;
    }
}

int QBSelectQuery::GetSearchColumnType(std::string_view table, std::string_view column) const {
    return ColumnKindOfAdoType(RequireColumn(RequireTable(table), column)->type);
}

// The list key of a column: the catalog's spelling when the names resolve.
std::string QBSelectQuery::ColumnKey(std::string_view table, std::string_view column) const {
    TableRef t = catalog_ ? catalog_->FindTable(table) : nullptr;
    std::string key = t ? t->name : std::string(table);
    key += '.';
    ColumnRef c = (t && column != "*") ? catalog_->FindColumn(*t, column) : nullptr;
    key += c ? c->name : std::string(column);
    return key;
}

// ---- Tables and relationships ----------------------------------------------

void QBSelectQuery::SelectTable(std::string_view table) {
    TableRef nt = RequireTable(table);
    if (tables_->FindItem(nt->name)) return;

    // Every relationship is found before the model changes, so a failure
    // leaves the model as it was.
    std::vector<std::shared_ptr<QBForeignKey>> found;
    auto resolvePairs = [this](const CatalogKey& key, const TableRef& baseOfKey,
                           const TableRef& parent, bool newTableIsParent,
                           std::vector<QBColumnPair>& pairs) {
        for (const auto& kc : key.columns) {
            ColumnRef child = catalog_->FindColumn(*baseOfKey, kc.name);
            ColumnRef referenced = catalog_->FindColumn(*parent, kc.relatedColumn);
            if (!child || !referenced) return false; // a key the model cannot express
            pairs.push_back(newTableIsParent ? QBColumnPair{referenced, child}
                                             : QBColumnPair{child, referenced});
        }
        return !pairs.empty();
    };
    // Keys of the selected tables that refer to the new table: the new table is the base.
    for (const auto& selected : *tables_) {
        const TableRef& s = selected->Table;
        if (s == nt) continue;
        for (const auto& key : s->keys) {
            if (key.type != ado::adKeyForeign || !catalog_->NamesEqual(key.relatedTable, nt->name)) continue;
            auto r = std::make_shared<QBForeignKey>();
            r->FKType = kFKTypeCatalog;
            r->BaseTable = nt;
            r->RelatedTable = s;
            r->ForeignKeyName = key.name;
            if (resolvePairs(key, s, nt, true, r->ColumnPairs)) found.push_back(std::move(r));
        }
    }
    // Keys of the new table that refer to a selected table.
    for (const auto& key : nt->keys) {
        if (key.type != ado::adKeyForeign || catalog_->NamesEqual(key.relatedTable, nt->name)) continue;
        auto selected = tables_->FindItem(key.relatedTable);
        if (!selected) continue;
        auto r = std::make_shared<QBForeignKey>();
        r->FKType = kFKTypeCatalog;
        r->BaseTable = nt;
        r->RelatedTable = selected->Table;
        r->ForeignKeyName = key.name;
        if (resolvePairs(key, nt, selected->Table, false, r->ColumnPairs)) found.push_back(std::move(r));
    }
    for (size_t i = 0; i < found.size(); ++i) {
        std::string name = found[i]->FQName();
        bool clash = foreignKeys_->FindItem(name) != nullptr;
        for (size_t j = 0; j < i && !clash; ++j) clash = equalsNoCaseAscii(found[j]->FQName(), name);
        if (clash) Invalid("the relationship '" + name + "' is already in the model.");
    }

    auto item = std::make_shared<QBSelectedTable>();
    item->Table = nt;
    item->Dialect = dialect_;
    tables_->Add(nt->name, item);
    for (auto& r : found) {
        std::string key = r->FQName();
        foreignKeys_->Add(std::move(key), std::move(r));
    }
}

void QBSelectQuery::UnselectTable(std::string_view table) {
    TableRef t = catalog_ ? catalog_->FindTable(table) : nullptr;
    auto item = tables_->FindItem(t ? std::string_view(t->name) : table);
    if (!item) Invalid("the table '" + std::string(table) + "' is not selected.");
    for (size_t i = foreignKeys_->Count(); i >= 1; --i) {
        const auto& r = foreignKeys_->Item(i);
        if (r->BaseTable == item->Table || r->RelatedTable == item->Table) foreignKeys_->RemoveAt(i);
    }
    tables_->Remove(item->Table->name);
}

void QBSelectQuery::AddUserDefinedForeignKey(std::shared_ptr<QBForeignKey> r) {
    if (!r || !r->BaseTable || !r->RelatedTable) Invalid("a relationship needs two tables.");
    if (r->BaseTable == r->RelatedTable) Invalid("a relationship needs two different tables.");
    if (r->ColumnPairs.empty()) Invalid("a relationship needs at least one pair of columns.");
    auto owns = [](const TableRef& t, const ColumnRef& c) { return TableOwnsColumn(*t, c.get()); };
    for (size_t i = 0; i < r->ColumnPairs.size(); ++i) {
        const auto& p = r->ColumnPairs[i];
        if (!p.Base || !p.Related) Invalid("every pair of a relationship needs two columns.");
        if (!owns(r->BaseTable, p.Base) || !owns(r->RelatedTable, p.Related))
            Invalid("a column of the relationship belongs to neither of its tables.");
        for (size_t j = 0; j < i; ++j)
            if (r->ColumnPairs[j].Base == p.Base && r->ColumnPairs[j].Related == p.Related)
                Invalid("a pair of columns is repeated in the relationship.");
    }
    int highest = 0;
    for (const auto& f : *foreignKeys_)
        if (f->FKType == kFKTypeUserDefined) highest = std::max(highest, f->Index);
    r->Index = highest + 1;
    r->FKType = kFKTypeUserDefined;
    std::string key = r->FQName();
    foreignKeys_->Add(std::move(key), std::move(r));
}

void QBSelectQuery::RemoveUserDefinedForeignKey(std::string_view key) { foreignKeys_->Remove(key); }

// ---- Columns, conditions and order -----------------------------------------

void QBSelectQuery::SelectColumn(std::string_view table, std::string_view column) {
    SelectColumn(table, column, column == "*");
}

void QBSelectQuery::SelectColumn(std::string_view table, std::string_view column, bool allColumns) {
    auto item = std::make_shared<QBSelectedColumn>();
    item->Table = RequireTable(table);
    item->Dialect = dialect_;
    if (allColumns) {
        item->AllColumns = true;
        auto all = std::make_shared<CatalogColumn>();
        all->name = "*";
        item->Column = std::move(all);
    } else {
        item->Column = RequireColumn(item->Table, column);
    }
    std::string key = item->FQName();
    columns_->Add(std::move(key), std::move(item));
}

void QBSelectQuery::UnselectColumn(std::string_view table, std::string_view column) {
    columns_->Remove(ColumnKey(table, column));
}

void QBSelectQuery::AddOrderExpression(std::string_view table, std::string_view column,
                                       int orderType, int orderPriority) {
    auto item = std::make_shared<QBOrderExpression>();
    item->Table = RequireTable(table);
    item->Column = RequireColumn(item->Table, column);
    item->OrderType = orderType;
    item->OrderPriority = orderPriority;
    item->Dialect = dialect_;
    std::string key = item->FQName();
    orders_->Add(std::move(key), std::move(item));
}

void QBSelectQuery::SetOrderExpression(std::string_view table, std::string_view column,
                                       int orderType, int orderPriority) {
    const auto& item = orders_->Item(ColumnKey(table, column));
    item->OrderType = orderType;
    item->OrderPriority = orderPriority;
}

void QBSelectQuery::RemoveOrderExpression(std::string_view table, std::string_view column) {
    orders_->Remove(ColumnKey(table, column));
}

bool QBSelectQuery::IsNumericLiteral(std::string_view s) {
    size_t i = 0, n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
        size_t exp = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++exp;
        if (exp == 0) return false;
    }
    return i == n;
}

bool QBSelectQuery::IsValidParameter(int kind, int op, std::string_view p) {
    if (op < kOpUnset || op > kOpStartsWith) return false;
    if (op == kOpUnset || op == kOpNone || op == kOpIsNull || op == kOpIsNotNull) return true;
    if (kind < kKindBoolean || kind > kKindDateTime) return false;
    if (op == kOpContains) return true;
    if (op == kOpStartsWith) return p.empty() || p.front() != '%';
    if (p == "?") return true;
    if (kind == kKindBoolean)
        return equalsNoCaseAscii(p, "TRUE") || equalsNoCaseAscii(p, "FALSE") || IsNumericLiteral(p);
    if (kind == kKindNumeric) return IsNumericLiteral(p);
    return true;
}

void QBSelectQuery::SetSearchCondition(int index, std::string_view table, std::string_view column,
                                       int op, std::string_view parameter, bool literal) {
    if (index < 0 || index > 5) Invalid("the condition slot must be 0 to 5.");
    const auto& slot = conditions_->Item(static_cast<size_t>(index) + 1);
    if (table.empty() && column.empty()) {
        slot->Table.reset();
        slot->Column.reset();
        slot->Operator = kOpNone;
        slot->Parameter.clear();
        slot->Literal = false;
        return;
    }
    TableRef t = RequireTable(table);
    ColumnRef c = RequireColumn(t, column);
    if (!IsValidParameter(ColumnKindOfAdoType(c->type), op, parameter))
        Invalid("the column " + t->name + "." + c->name + " cannot be compared with '" +
                std::string(parameter) + "' by operator " + std::to_string(op) + ".");
    slot->Table = std::move(t);
    slot->Column = std::move(c);
    slot->Operator = op;
    slot->Parameter = std::string(parameter);
    slot->Literal = literal;
    slot->Dialect = dialect_;
}

// ---- SQL text --------------------------------------------------------------

std::string QBSelectQuery::GetSQL() const {
    std::string select = GetSQLSelectList();
    if (select.empty()) return std::string();
    std::string from = GetSQLTableSource();
    if (from.empty()) return std::string();
    return select + from + GetSQLSearchCondition() + GetSQLOrderExpression();
}

std::string QBSelectQuery::GetSQLSelectList() const {
    if (columns_->Count() == 0) return std::string();
    // Only distinct rows change the keyword; anything else selects all rows.
    std::string s = rowsToSelect_ == kRowsDistinct ? "SELECT DISTINCT" : "SELECT";
    s += kNL;
    bool first = true;
    for (const auto& c : *columns_) {
        if (!first) s += std::string(", ") + kNL;
        first = false;
        s += Indent(1) + c->EncodedFQName();
    }
    return s + kNL;
}

namespace {

// One join tree of the FROM part: a table, or a join of two trees with the
// relationships whose equalities make up its ON.
struct JoinNode {
    TableRef table; // set for a leaf
    std::unique_ptr<JoinNode> left, right;
    std::vector<const QBForeignKey*> relationships;
    std::unordered_set<const CatalogTable*> tables;
};

class JoinBuilder {
public:
    JoinBuilder(const QBForeignKeyList& list, const SqlDialect& dialect) : dialect_(dialect) {
        for (const auto& r : list) rels_.push_back(r.get());
        processed_.assign(rels_.size(), false);
    }

    // The tree rooted at t. Each relationship touching t, in list order, joins
    // the tree of its other table as the right operand, so a table's own
    // relationships nest to the left. A relationship whose other table is
    // already in the tree adds its equalities to the innermost join that
    // holds both tables, so every table occurs once.
    std::unique_ptr<JoinNode> Tree(const TableRef& t) {
        auto node = std::make_unique<JoinNode>();
        node->table = t;
        node->tables.insert(t.get());
        placed_.insert(t.get());
        for (size_t i = 0; i < rels_.size(); ++i) {
            const QBForeignKey* r = rels_[i];
            if (processed_[i] || (r->BaseTable != t && r->RelatedTable != t)) continue;
            processed_[i] = true;
            const TableRef& other = r->BaseTable == t ? r->RelatedTable : r->BaseTable;
            if (placed_.count(other.get())) {
                pending_.push_back(r);
                continue;
            }
            auto right = Tree(other);
            auto join = std::make_unique<JoinNode>();
            join->tables = node->tables;
            join->tables.insert(right->tables.begin(), right->tables.end());
            join->relationships.push_back(r);
            join->left = std::move(node);
            join->right = std::move(right);
            for (auto it = pending_.begin(); it != pending_.end();) {
                if (join->tables.count((*it)->BaseTable.get()) &&
                    join->tables.count((*it)->RelatedTable.get())) {
                    join->relationships.push_back(*it);
                    it = pending_.erase(it);
                } else {
                    ++it;
                }
            }
            node = std::move(join);
        }
        return node;
    }

    std::string Text(const JoinNode& n, int level) const {
        if (n.table) return EncodeName(n.table->name, dialect_);
        std::string s = "(" + Text(*n.left, level) + kNL + Indent(level + 1) + "INNER JOIN " +
                        Text(*n.right, level + 1) + kNL + Indent(level + 2) + "ON ";
        bool first = true;
        // Relationships may repeat an equality; the ON names each one once.
        std::vector<std::pair<const CatalogColumn*, const CatalogColumn*>> written;
        for (const QBForeignKey* r : n.relationships) {
            for (const auto& p : r->ColumnPairs) {
                std::pair<const CatalogColumn*, const CatalogColumn*> eq{p.Base.get(), p.Related.get()};
                if (std::find(written.begin(), written.end(), eq) != written.end() ||
                    std::find(written.begin(), written.end(), std::make_pair(eq.second, eq.first)) != written.end())
                    continue;
                written.push_back(eq);
                if (!first) s += Indent(level + 2) + "AND ";
                first = false;
                s += EncodeFQName(r->BaseTable->name, p.Base->name, dialect_) + " = " +
                     EncodeFQName(r->RelatedTable->name, p.Related->name, dialect_);
            }
        }
        return s + ")";
    }

    bool Processed(size_t i) const { return processed_[i]; }
    bool Placed(const CatalogTable* t) const { return placed_.count(t) != 0; }
    const std::vector<const QBForeignKey*>& Relationships() const { return rels_; }

private:
    const SqlDialect& dialect_;
    std::vector<const QBForeignKey*> rels_;
    std::vector<bool> processed_;
    std::unordered_set<const CatalogTable*> placed_;
    std::vector<const QBForeignKey*> pending_;
};

} // namespace

std::string QBSelectQuery::GetSQLTableSource() const {
    if (tables_->Count() == 0) return std::string();
    JoinBuilder builder(*foreignKeys_, dialect_);
    std::string s = "FROM";
    s += kNL;
    bool written = false;
    for (size_t i = 0; i < builder.Relationships().size(); ++i) {
        if (builder.Processed(i)) continue;
        const QBForeignKey* r = builder.Relationships()[i];
        if (!r->BaseTable || !r->RelatedTable || r->ColumnPairs.empty())
            throw AutomationError(kErrorFail, kSource,
                                  "The relationship '" + r->FQName() + "' is incomplete.");
        if (written) s += std::string(",") + kNL;
        written = true;
        auto tree = builder.Tree(r->BaseTable);
        s += Indent(1) + builder.Text(*tree, 1);
    }
    for (const auto& t : *tables_) {
        if (builder.Placed(t->Table.get())) continue;
        if (written) s += std::string(",") + kNL;
        written = true;
        s += t->EncodedFQName();
    }
    return s + kNL;
}

std::string QBSelectQuery::GetSQLEncodedParameter(int kind, const std::string& p, bool literal) const {
    // The parameter marker stays bare so that it is asked for before a run.
    if (p == "?" && !literal) return p;
    if (kind == kKindBoolean || kind == kKindNumeric) return p;
    std::string s = "'";
    for (char c : p) {
        s += c;
        if (c == '\'') s += '\'';
    }
    return s + "'";
}

std::string QBSelectQuery::GetSQLSearchCondition() const {
    static const char* const kComparison[] = {" = ", " > ", " < ", " >= ", " <= ", " <> "};
    const int type = conditions_->SearchType();
    const bool negated = type == kMatchNotAll || type == kMatchNotAny;
    const char* connector = (type == kMatchAny || type == kMatchNotAny) ? " OR " : " AND ";
    std::string s;
    int written = 0;
    for (const auto& slot : *conditions_) {
        int op = slot->Operator;
        // Slots without an operator yet (0) or without a condition (1) write nothing.
        if (op < kOpEqual || op > kOpStartsWith || !slot->Table || !slot->Column) continue;
        int kind = ColumnKindOfAdoType(slot->Column->type);
        if (!IsValidParameter(kind, op, slot->Parameter))
            throw AutomationError(kErrorFail, kSource,
                                  "The condition on " + slot->EncodedFQName() + " is invalid.");
        s += written++ ? std::string(connector) + kNL : std::string(negated ? "WHERE NOT (" : "WHERE") + kNL;
        s += Indent(1) + slot->EncodedFQName();
        if (IsComparison(op)) {
            s += kComparison[op - kOpEqual] + GetSQLEncodedParameter(kind, slot->Parameter, slot->Literal);
        } else if (op == kOpIsNull) {
            s += " IS NULL";
        } else if (op == kOpIsNotNull) {
            s += " IS NOT NULL";
        } else {
            std::string pattern = (op == kOpContains ? "%" : "") + slot->Parameter + "%";
            s += " LIKE " + GetSQLEncodedParameter(kKindText, pattern, true);
        }
    }
    if (written == 0) return s;
    s += kNL;
    if (negated) s += Indent(1) + ")" + kNL;
    return s;
}

std::string QBSelectQuery::GetSQLOrderExpression() const {
    if (orders_->Count() == 0) return std::string();
    std::vector<const QBOrderExpression*> sorted;
    for (const auto& o : *orders_) sorted.push_back(o.get());
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto* a, const auto* b) {
        return a->OrderPriority < b->OrderPriority;
    });
    std::string s = std::string("ORDER BY") + kNL;
    for (size_t i = 0; i < sorted.size(); ++i) {
        if (i) s += std::string(",") + kNL;
        s += Indent(1) + sorted[i]->EncodedFQName();
        if (sorted[i]->OrderType == 2) s += " ASC";
        else if (sorted[i]->OrderType == 3) s += " DESC";
    }
    return s;
}

} // namespace qz::query
