#include "query/QBSelectQueryParser.h"

#include "platform/automation/AutomationError.h"
#include "resources/MessageTable.h"

#include <algorithm>

namespace qz::query {

namespace {

// Token kinds; the numbers of the words follow the dialect's keyword table.
enum Tok : int {
    kSelect = 1, kAll, kDistinct, kFrom, kWhere, kOrder, kBy, kAnd, kOr, kEq, kGt, kLt, kGe, kLe,
    kNe, kIs, kNot, kNull, kLike, kWord, kComma, kInner, kJoin, kOn, kClose, kOpen, kAsc, kDesc,
    kEnd, kString, kBadString
};

struct Keyword {
    std::string_view text;
    Tok kind;
};
constexpr Keyword kKeywords[] = {
    {"SELECT", kSelect}, {"ALL", kAll},   {"DISTINCT", kDistinct}, {"FROM", kFrom},
    {"WHERE", kWhere},   {"ORDER", kOrder}, {"BY", kBy},           {"AND", kAnd},
    {"OR", kOr},         {"=", kEq},      {">", kGt},              {"<", kLt},
    {">=", kGe},         {"<=", kLe},     {"<>", kNe},             {"IS", kIs},
    {"NOT", kNot},       {"NULL", kNull}, {"LIKE", kLike},         {"INNER", kInner},
    {"JOIN", kJoin},     {"ON", kOn},     {"ASC", kAsc},           {"DESC", kDesc}};

struct Refusal {
    int id;
    size_t position;
};

bool IsBlank(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

// One operand of a join: its tables, the leftmost first, and the
// relationships its joins write.
struct Source {
    std::vector<TableRef> tables;
    std::vector<std::shared_ptr<QBForeignKey>> keys;
    bool Holds(const TableRef& t) const {
        return std::find(tables.begin(), tables.end(), t) != tables.end();
    }
};

class Parser {
public:
    Parser(QBSelectQuery& q, const std::string& sql) : q_(q), s_(sql) {}

    void Run() {
        Next();
        Clause(kErrInvalidSelectList, [&] { ParseSelectList(); });
        Clause(kErrInvalidTableSource, [&] { ParseTableSource(); });
        Clause(kErrInvalidSearchCondition, [&] { ParseSearchCondition(); });
        Clause(kErrInvalidOrderExpression, [&] { ParseOrderExpression(); });
        CheckTableSelection();
    }

private:
    // A model operation that refuses its arguments refuses the clause; any
    // other failure (the catalog's) is the caller's.
    template <class F>
    void Clause(int id, F&& f) {
        try {
            f();
        } catch (const AutomationError& e) {
            if (e.Number == static_cast<std::int32_t>(0x80070057u) ||
                e.Number == static_cast<std::int32_t>(0x800A0005u))
                Refuse(id);
            throw;
        }
    }

    [[noreturn]] void Refuse(int id) { throw Refusal{id, pos_}; }

    // ---- Tokens ------------------------------------------------------------

    void Next() {
        size_t n = s_.size();
        while (i_ < n && IsBlank(s_[i_])) ++i_;
        pos_ = i_ + 1;
        text_.clear();
        if (i_ >= n) {
            kind_ = kEnd;
            return;
        }
        char c = s_[i_];
        if (c == ',' || c == '(' || c == ')') {
            kind_ = c == ',' ? kComma : (c == '(' ? kOpen : kClose);
            text_.assign(1, c);
            ++i_;
            return;
        }
        if (c == '\'') {
            // A string literal; '' stands for one apostrophe.
            ++i_;
            for (;;) {
                if (i_ >= n) {
                    kind_ = kBadString;
                    return;
                }
                if (s_[i_] == '\'') {
                    if (i_ + 1 < n && s_[i_ + 1] == '\'') {
                        text_ += '\'';
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    kind_ = kString;
                    return;
                }
                text_ += s_[i_++];
            }
        }
        // A word; inside "[..]", backquotes and double quotes every character belongs to it.
        size_t start = i_;
        while (i_ < n) {
            char ch = s_[i_];
            if (IsBlank(ch) || ch == ',' || ch == '(' || ch == ')') break;
            if (ch == '[' || ch == '`' || ch == '"') {
                char close = ch == '[' ? ']' : ch;
                size_t j = i_ + 1;
                for (;;) {
                    j = s_.find(close, j);
                    if (j == std::string::npos) { j = n; break; }
                    if (close != ']' && j + 1 < n && s_[j + 1] == close) { j += 2; continue; }
                    break;
                }
                i_ = j < n ? j + 1 : n;
                continue;
            }
            ++i_;
        }
        text_.assign(s_, start, i_ - start);
        kind_ = kWord;
        if (text_.size() <= 8)
            for (const auto& k : kKeywords)
                if (equalsNoCaseAscii(k.text, text_)) {
                    kind_ = k.kind;
                    break;
                }
    }

    // ---- Qualified names ---------------------------------------------------

    // The word as "table.column" of an existing column, or "table.*" for
    // all columns (column then null); a column whose name is "*" is written
    // in quotes and is that column.
    bool QualifiedColumn(TableRef& table, ColumnRef& column) {
        std::string t, c;
        if (kind_ != kWord || !SplitFQName(text_, t, c) || !q_.GetCatalog()) return false;
        table = q_.GetCatalog()->FindTable(t);
        if (!table) return false;
        const bool all = c == "*" && text_.size() >= 2 && text_.compare(text_.size() - 2, 2, ".*") == 0;
        column = all ? nullptr : q_.GetCatalog()->FindColumn(*table, c);
        return all || column;
    }
    // The same for a single column.
    bool QualifiedColumn(TableRef& table, ColumnRef& column, int refusal) {
        if (!QualifiedColumn(table, column) || !column) Refuse(refusal);
        return true;
    }

    // ---- SELECT ------------------------------------------------------------

    void ParseSelectList() {
        if (kind_ != kSelect) Refuse(kErrInvalidSelectList);
        Next();
        q_.SetRowsToSelect(kRowsAll);
        if (kind_ == kAll) Next();
        if (kind_ == kDistinct) {
            q_.SetRowsToSelect(kRowsDistinct);
            Next();
        }
        if (kind_ != kWord) Refuse(kErrInvalidSelectList);
        while (kind_ == kWord) {
            TableRef t;
            ColumnRef c;
            if (!QualifiedColumn(t, c)) Refuse(kErrInvalidSelectList);
            // A column named twice is refused by the list.
            q_.SelectColumn(t->name, c ? std::string_view(c->name) : "*", !c);
            Next();
            if (kind_ == kComma) Next();
        }
    }

    // ---- FROM --------------------------------------------------------------

    // The FROM list: comma-separated sources, each a table or a join tree.
    // The model then holds the relationships exactly as the text joins them:
    // a catalog relationship that the text does not write is dropped (two
    // tables side by side stay a cross join), and each written one keeps the
    // direction of its equalities and the place the generator gives it.
    void ParseTableSource() {
        if (kind_ != kFrom) Refuse(kErrInvalidTableSource);
        Next();
        std::vector<std::shared_ptr<QBForeignKey>> written;
        for (;;) {
            Source s = ParseJoin(true);
            written.insert(written.end(), s.keys.begin(), s.keys.end());
            if (kind_ != kComma) break;
            Next();
        }
        // A word or "(" right after a source is an alias or a missing comma.
        if (kind_ == kWord || kind_ == kOpen) Refuse(kErrInvalidTableSource);
        std::vector<std::shared_ptr<QBForeignKey>> catalogKeys;
        while (q_.ForeignKeyList().Count()) {
            catalogKeys.push_back(q_.ForeignKeyList().Item(1));
            q_.ForeignKeyList().RemoveAt(1);
        }
        for (const auto& k : written)
            for (auto& piece : SplitByCatalog(*k, catalogKeys)) {
                if (piece->FKType == kFKTypeCatalog) {
                    std::string key = piece->FQName();
                    q_.ForeignKeyList().Add(std::move(key), piece);
                } else {
                    q_.AddUserDefinedForeignKey(piece);
                }
            }
    }

    // listItem: the source stands by itself in the FROM list (not as a join's
    // right operand), where a table named again is the one already selected.
    Source ParseTableReference(bool listItem = false) {
        if (kind_ == kOpen) {
            // Each nesting level is a table joined in; deeper nesting than the
            // catalog has tables cannot be valid, and must not exhaust the stack.
            if (++depth_ > kMaxDepth) Refuse(kErrInvalidTableSource);
            Next();
            Source s = ParseJoin();
            if (kind_ != kClose) Refuse(kErrInvalidTableSource);
            Next();
            --depth_;
            return s;
        }
        if (kind_ != kWord) Refuse(kErrInvalidTableSource);
        std::string name;
        if (!TryDecodeName(text_, name)) Refuse(kErrInvalidTableSource);
        TableRef t = q_.GetCatalog() ? q_.GetCatalog()->FindTable(name) : nullptr;
        if (!t) Refuse(kErrInvalidTableSource);
        // The model holds each table once: named again in the FROM list it
        // stays selected once; joined to itself it cannot be expressed.
        if (!q_.SelectedTableList().FindItem(t->name)) q_.SelectTable(t->name);
        else if (!listItem) Refuse(kErrInvalidTableSource);
        Next();
        Source s;
        s.tables.push_back(t);
        return s;
    }

    // A join column "table.column" of an existing column (not all columns).
    std::pair<TableRef, ColumnRef> JoinColumn() {
        TableRef table;
        ColumnRef column;
        QualifiedColumn(table, column, kErrInvalidTableSource);
        return {table, column};
    }

    // A join tree. Its relationships come in the order the generator writes
    // them: those of the left operand, the join's own, those of the right.
    Source ParseJoin(bool listItem = false) {
        Source left = ParseTableReference(listItem && kind_ != kOpen);
        while (kind_ == kInner) {
            Next();
            if (kind_ != kJoin) Refuse(kErrInvalidTableSource);
            Next();
            Source right = ParseTableReference();
            if (kind_ != kOn) Refuse(kErrInvalidTableSource);
            Next();
            if (kind_ != kWord) Refuse(kErrInvalidTableSource);
            // Each equality names a table of the left operand and one of the
            // right; the equalities that name the same two tables in the same
            // order form one relationship, whose base is the table named first.
            std::vector<std::shared_ptr<QBForeignKey>> keys;
            while (kind_ == kWord) {
                auto a = JoinColumn();
                Next();
                if (kind_ != kEq) Refuse(kErrInvalidTableSource);
                Next();
                auto b = JoinColumn();
                bool leftFirst = left.Holds(a.first) && right.Holds(b.first);
                if (!leftFirst && !(left.Holds(b.first) && right.Holds(a.first))) Refuse(kErrInvalidTableSource);
                auto key = std::find_if(keys.begin(), keys.end(), [&](const auto& k) {
                    return k->BaseTable == a.first && k->RelatedTable == b.first;
                });
                if (key == keys.end()) {
                    auto k = std::make_shared<QBForeignKey>();
                    k->FKType = kFKTypeUserDefined;
                    k->BaseTable = a.first;
                    k->RelatedTable = b.first;
                    keys.push_back(k);
                    key = keys.end() - 1;
                }
                QBColumnPair pair{a.second, b.second};
                for (const auto& p : (*key)->ColumnPairs)
                    if (p.Base == pair.Base && p.Related == pair.Related) Refuse(kErrInvalidTableSource);
                (*key)->ColumnPairs.push_back(pair);
                Next();
                if (kind_ == kAnd) {
                    Next();
                    if (kind_ != kWord) Refuse(kErrInvalidTableSource);
                }
            }
            left.keys.insert(left.keys.end(), keys.begin(), keys.end());
            left.keys.insert(left.keys.end(), right.keys.begin(), right.keys.end());
            left.tables.insert(left.tables.end(), right.tables.begin(), right.tables.end());
        }
        return left;
    }

    // The written relationship as the model holds it: each catalog
    // relationship between the same two tables whose equalities all occur in
    // it becomes that catalog relationship, in the written direction; the
    // equalities left over form a user-defined one. The pieces keep the
    // order of their first equality in the text.
    static std::vector<std::shared_ptr<QBForeignKey>> SplitByCatalog(
        const QBForeignKey& key, const std::vector<std::shared_ptr<QBForeignKey>>& catalogKeys) {
        std::vector<int> owner(key.ColumnPairs.size(), -1);
        std::vector<std::shared_ptr<QBForeignKey>> pieces;
        for (const auto& r : catalogKeys) {
            bool same = r->BaseTable == key.BaseTable && r->RelatedTable == key.RelatedTable;
            bool mirrored = r->BaseTable == key.RelatedTable && r->RelatedTable == key.BaseTable;
            if ((!same && !mirrored) || r->ColumnPairs.empty()) continue;
            std::vector<size_t> found;
            for (const auto& p : r->ColumnPairs) {
                QBColumnPair oriented = same ? p : QBColumnPair{p.Related, p.Base};
                size_t i = 0;
                while (i < key.ColumnPairs.size() &&
                       !(owner[i] < 0 && key.ColumnPairs[i].Base == oriented.Base &&
                         key.ColumnPairs[i].Related == oriented.Related))
                    ++i;
                if (i == key.ColumnPairs.size() || std::count(found.begin(), found.end(), i)) break;
                found.push_back(i);
            }
            if (found.size() != r->ColumnPairs.size()) continue;
            auto piece = std::make_shared<QBForeignKey>(*r);
            piece->BaseTable = key.BaseTable;
            piece->RelatedTable = key.RelatedTable;
            piece->ColumnPairs.clear();
            std::sort(found.begin(), found.end());
            for (size_t i : found) {
                owner[i] = static_cast<int>(pieces.size());
                piece->ColumnPairs.push_back(key.ColumnPairs[i]);
            }
            pieces.push_back(piece);
        }
        auto rest = std::make_shared<QBForeignKey>();
        rest->FKType = kFKTypeUserDefined;
        rest->BaseTable = key.BaseTable;
        rest->RelatedTable = key.RelatedTable;
        for (size_t i = 0; i < key.ColumnPairs.size(); ++i)
            if (owner[i] < 0) {
                if (rest->ColumnPairs.empty()) owner[i] = static_cast<int>(pieces.size());
                rest->ColumnPairs.push_back(key.ColumnPairs[i]);
            }
        if (!rest->ColumnPairs.empty()) pieces.push_back(rest);
        // Order of the first equality of each piece.
        std::vector<std::shared_ptr<QBForeignKey>> ordered;
        for (size_t i = 0; i < owner.size(); ++i)
            if (owner[i] >= 0 && std::find(ordered.begin(), ordered.end(), pieces[static_cast<size_t>(owner[i])]) == ordered.end())
                ordered.push_back(pieces[static_cast<size_t>(owner[i])]);
        return ordered;
    }

    // ---- WHERE -------------------------------------------------------------

    void ParseSearchCondition() {
        if (kind_ != kWhere) {
            if (kind_ == kOrder || kind_ == kEnd) return;
            Refuse(kErrInvalidSearchCondition);
        }
        Next();
        bool negated = false;
        if (kind_ == kNot) {
            Next();
            if (kind_ != kOpen) Refuse(kErrInvalidSearchCondition);
            negated = true;
            Next();
        }
        int connector = 0, count = 0;
        for (;;) {
            if (kind_ != kWord || count == 6) Refuse(kErrInvalidSearchCondition);
            ParseCondition(count++);
            if (kind_ == kAnd || kind_ == kOr) {
                // One connector throughout: mixing them has no place in the model.
                if (connector && connector != kind_) Refuse(kErrInvalidSearchCondition);
                connector = kind_;
                Next();
                continue;
            }
            if (kind_ == kWord) Refuse(kErrInvalidSearchCondition); // missing connector
            break;
        }
        if (negated) {
            if (kind_ != kClose) Refuse(kErrInvalidSearchCondition);
            Next();
        }
        int type = negated ? (connector == kAnd ? kMatchNotAll : kMatchNotAny)
                           : (connector == kOr ? kMatchAny : kMatchAll);
        q_.SearchConditionList().SetSearchType(type);
    }

    void ParseCondition(int slot) {
        TableRef table;
        ColumnRef column;
        QualifiedColumn(table, column, kErrInvalidSelectList);
        const std::string& t = table->name;
        const std::string& c = column->name;
        const int kind = ColumnKindOfAdoType(column->type);
        Next();
        int op = 0;
        std::string parameter;
        bool literal = false; // a quoted "?" is text, not the parameter marker
        switch (kind_) {
        case kEq: case kGt: case kLt: case kGe: case kLe: case kNe:
            op = kOpEqual + (kind_ - kEq);
            Next();
            literal = kind_ == kString;
            parameter = Operand(kind);
            break;
        case kIs:
            Next();
            if (kind_ == kNot) {
                Next();
                if (kind_ != kNull) Refuse(kErrInvalidSearchCondition);
                op = kOpIsNotNull;
            } else if (kind_ == kNull) {
                op = kOpIsNull;
            } else {
                Refuse(kErrInvalidSearchCondition);
            }
            break;
        case kLike: {
            Next();
            // Only the two patterns the builder writes: '%text%' and 'text%'.
            if (kind_ != kString || text_.empty() || text_.back() != '%')
                Refuse(kErrInvalidSearchCondition);
            if (text_.size() >= 2 && text_.front() == '%') {
                op = kOpContains;
                parameter = text_.substr(1, text_.size() - 2);
            } else if (text_.size() == 1 || text_.front() != '%') {
                op = kOpStartsWith;
                parameter = text_.substr(0, text_.size() - 1);
            }
            break;
        }
        default:
            Refuse(kErrInvalidSearchCondition);
        }
        if (!QBSelectQuery::IsValidParameter(kind, op, parameter)) Refuse(kErrInvalidSearchCondition);
        q_.SetSearchCondition(slot, t, c, op, parameter, literal);
        Next();
    }

    // The operand of a comparison, as the conditions panel holds it.
    std::string Operand(int kind) {
        if (kind_ == kWord && text_ == "?") return text_; // the parameter marker
        switch (kind) {
        case kKindBoolean:
            if (kind_ == kWord && (equalsNoCaseAscii(text_, "TRUE") || equalsNoCaseAscii(text_, "FALSE"))) {
                std::string upper = text_;
                for (auto& ch : upper) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
                return upper;
            }
            [[fallthrough]];
        case kKindNumeric:
            if (kind_ == kWord && QBSelectQuery::IsNumericLiteral(text_)) return text_;
            break;
        case kKindText:
            if (kind_ == kString) return text_;
            break;
        case kKindDateTime:
            if (kind_ == kString) return text_;
            if (kind_ == kWord && text_.size() >= 2 && text_.front() == '#' && text_.back() == '#')
                return text_.substr(1, text_.size() - 2);
            break;
        default:
            break;
        }
        Refuse(kErrInvalidSearchCondition);
    }

    // ---- ORDER BY ----------------------------------------------------------

    void ParseOrderExpression() {
        if (kind_ != kOrder) {
            if (kind_ == kEnd) return;
            Refuse(kErrInvalidOrderExpression);
        }
        Next();
        if (kind_ != kBy) Refuse(kErrInvalidOrderExpression);
        Next();
        if (kind_ != kWord) Refuse(kErrInvalidOrderExpression);
        int priority = 1;
        while (kind_ == kWord) {
            TableRef table;
            ColumnRef column;
            QualifiedColumn(table, column, kErrInvalidSelectList);
            const std::string& t = table->name;
            const std::string& c = column->name;
            size_t at = pos_;
            Next();
            if (kind_ != kAsc && kind_ != kDesc) Refuse(kErrInvalidOrderExpression);
            int type = kind_ == kAsc ? 2 : 3;
            Next();
            if (kind_ == kComma) Next();
            if (q_.OrderExpressionList().FindItem(t + "." + c))
                throw Refusal{kErrInvalidOrderExpression, at};
            q_.AddOrderExpression(t, c, type, priority++);
        }
        // Nothing may follow: it would be lost when the text is written again.
        if (kind_ != kEnd) Refuse(kErrInvalidOrderExpression);
    }

    // ---- Tables of the other clauses ---------------------------------------

    void CheckTableSelection() {
        auto selected = [&](const TableRef& t) {
            return t && q_.SelectedTableList().FindItem(t->name) != nullptr;
        };
        for (const auto& c : q_.SelectedColumnList())
            if (!selected(c->Table)) Refuse(kErrMissingTable);
        for (const auto& s : q_.SearchConditionList())
            if (s->Operator != kOpNone && !selected(s->Table)) Refuse(kErrMissingTable);
        for (const auto& o : q_.OrderExpressionList())
            if (!selected(o->Table)) Refuse(kErrMissingTable);
    }

    QBSelectQuery& q_;
    const std::string& s_;
    size_t i_ = 0;
    size_t pos_ = 1;
    Tok kind_ = kEnd;
    std::string text_;
    static constexpr int kMaxDepth = 1000;
    int depth_ = 0;
};

} // namespace

AutomationError QBParseError(const QBParseResult& result) {
    return AutomationError(kOwnErrorBase + result.messageId, "QBSelectQueryParser",
                           std::string(res::messageText(result.messageId)));
}

bool QBSelectQueryParser::ParseSelectQuery() {
    if (!query_) throw AutomationError(kErrorFail, "QBSelectQueryParser", "No query model is set.");
    result_ = Parse(*query_, sql_);
    return result_.ok;
}

QBParseResult QBSelectQueryParser::Parse(QBSelectQuery& query, const std::string& sql) {
    QBParseResult r;
    try {
        Parser(query, sql).Run();
    } catch (const Refusal& refusal) {
        r.ok = false;
        r.messageId = refusal.id;
        r.position = refusal.position;
    }
    return r;
}

} // namespace qz::query
