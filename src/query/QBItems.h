// Items and keyed lists of the query model. Items hold the catalog's own
// table and column objects, never names: every name they report is read
// from those objects when it is asked for.
#pragma once

#include "query/Catalog.h"
#include "query/ModQBUtilities.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace qz::query {

// A list in insertion order whose items are reached by key or by position
// from 1. Keys compare without regard to case unless the catalog's names are
// case-sensitive. A duplicate key on Add, or an absent key on Remove or Item,
// throws AutomationError; FindItem gives null instead.
template <class T>
class KeyedList {
public:
    explicit KeyedList(bool caseSensitive = false) : caseSensitive_(caseSensitive) {}

    size_t Count() const { return items_.size(); }
    const std::shared_ptr<T>& Item(size_t position) const;
    const std::shared_ptr<T>& Item(std::string_view key) const;
    const std::string& Key(size_t position) const { return keys_.at(position - 1); }
    std::shared_ptr<T> FindItem(std::string_view key) const {
        size_t i = IndexOf(key);
        return i == npos ? nullptr : items_[i];
    }
    void Add(std::string key, std::shared_ptr<T> item);
    void Remove(std::string_view key);
    void RemoveAt(size_t position);

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    static constexpr size_t npos = static_cast<size_t>(-1);
    size_t IndexOf(std::string_view key) const {
        for (size_t i = 0; i < keys_.size(); ++i)
            if (caseSensitive_ ? keys_[i] == key : equalsNoCaseAscii(keys_[i], key)) return i;
        return npos;
    }
    [[noreturn]] static void Fail(const std::string& what);

    bool caseSensitive_;
    std::vector<std::string> keys_;
    std::vector<std::shared_ptr<T>> items_;
};

struct QBSelectedTable {
    TableRef Table;
    SqlDialect Dialect;
    std::string FQName() const { return Table->name; }
    std::string EncodedFQName() const { return EncodeName(Table->name, Dialect); }
};

struct QBSelectedColumn {
    TableRef Table;
    ColumnRef Column; // for all columns, a free-standing column named "*"
    bool AllColumns = false;
    SqlDialect Dialect;
    std::string FQName() const { return Table->name + "." + Column->name; }
    // All columns are "table.*"; a column whose name is "*" is quoted.
    std::string EncodedFQName() const {
        return AllColumns ? EncodeName(Table->name, Dialect) + ".*"
                          : EncodeFQName(Table->name, Column->name, Dialect);
    }
};

// Operator codes of a search condition.
enum QBOperator : int {
    kOpUnset = 0, kOpNone = 1, kOpEqual = 2, kOpGreater = 3, kOpLess = 4, kOpGreaterOrEqual = 5,
    kOpLessOrEqual = 6, kOpNotEqual = 7, kOpIsNull = 8, kOpIsNotNull = 9, kOpContains = 10,
    kOpStartsWith = 11
};

struct QBSearchCondition {
    TableRef Table;   // null in a slot never set or cleared
    ColumnRef Column; // null in a slot never set or cleared
    int Operator = kOpNone;
    std::string Parameter; // as the user typed it, without SQL quotes
    // The parameter is text even when it is "?", which otherwise stands for
    // a value asked for when the query runs.
    bool Literal = false;
    SqlDialect Dialect;
    std::string EncodedFQName() const {
        return Table && Column ? EncodeFQName(Table->name, Column->name, Dialect) : std::string();
    }
};

struct QBOrderExpression {
    TableRef Table;
    ColumnRef Column;
    int OrderType = 0;     // 1 none, 2 ascending, 3 descending
    int OrderPriority = 0; // position in ORDER BY, from 1
    SqlDialect Dialect;
    std::string FQName() const { return Table->name + "." + Column->name; }
    std::string EncodedFQName() const { return EncodeFQName(Table->name, Column->name, Dialect); }
};

// One equality of a relationship: a column of the base table equals a column
// of the related table. Pairs keep the order in which they were given, and a
// column may occur in several pairs.
struct QBColumnPair {
    ColumnRef Base;
    ColumnRef Related;
};

inline constexpr int kFKTypeCatalog = 2;
inline constexpr int kFKTypeUserDefined = 3;

struct QBForeignKey {
    int FKType = 0; // 2 from the catalog, 3 user defined
    int Index = 0;  // number of a user-defined relationship
    TableRef BaseTable;
    TableRef RelatedTable;
    std::vector<QBColumnPair> ColumnPairs;
    std::string ForeignKeyName; // the catalog key's name, for type 2

    // Computed on every read.
    std::string FQName() const {
        if (FKType == kFKTypeCatalog) return (BaseTable ? BaseTable->name : std::string()) + "." + ForeignKeyName;
        if (FKType == kFKTypeUserDefined) return "User Defined Relation " + std::to_string(Index);
        return std::string();
    }
};

using QBSelectedTableList = KeyedList<QBSelectedTable>;
using QBSelectedColumnList = KeyedList<QBSelectedColumn>;
using QBOrderExpressionList = KeyedList<QBOrderExpression>;
using QBForeignKeyList = KeyedList<QBForeignKey>;

// Match type of the conditions.
enum QBSearchType : int { kMatchAll = 2, kMatchAny = 3, kMatchNotAll = 4, kMatchNotAny = 5 };

// The six condition slots (positions 1 to 6) and how they are combined.
class QBSearchConditionList {
public:
    QBSearchConditionList() {
        for (auto& s : slots_) s = std::make_shared<QBSearchCondition>();
    }
    static constexpr size_t Count() { return 6; }
    const std::shared_ptr<QBSearchCondition>& Item(size_t position) const;
    // Slots carry no keys.
    std::shared_ptr<QBSearchCondition> FindItem(std::string_view) const { return nullptr; }
    int SearchType() const { return searchType_; }
    // 2 AND, 3 OR, 4 NOT ( AND ), 5 NOT ( OR ); other values are refused.
    void SetSearchType(int type);
    auto begin() const { return slots_.begin(); }
    auto end() const { return slots_.end(); }

private:
    std::array<std::shared_ptr<QBSearchCondition>, 6> slots_;
    int searchType_ = kMatchAll;
};

} // namespace qz::query

#include "query/QBItems.inl"
