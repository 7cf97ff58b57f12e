// The query model: one SELECT statement over a database catalog. It holds the
// five lists and the rows-to-select setting, is the only place that changes
// them, finds the catalog's relationships as tables are selected, and writes
// the model as SQL text in the builder's fixed layout (GetSQL).
#pragma once

#include "query/Catalog.h"
#include "query/QBItems.h"

#include <memory>
#include <string>

namespace qz::query {

// Column kinds for search conditions.
enum QBColumnKind : int {
    kKindUnknown = 0, kKindNotSearchable = 1, kKindBoolean = 2, kKindNumeric = 3, kKindText = 4,
    kKindDateTime = 5
};

inline constexpr int kRowsNotSet = 1;
inline constexpr int kRowsAll = 2;
inline constexpr int kRowsDistinct = 3;

class QBSelectQuery {
public:
    QBSelectQuery();
    // A model over a catalog that is already open (tests, or a caller that
    // shares one catalog between models).
    explicit QBSelectQuery(CatalogRef catalog);

    const std::string& ConnectionString() const { return connectionString_; }
    // Stores the text, replaces the five lists and opens the catalog. When
    // opening fails no catalog remains and the error reaches the caller.
    void SetConnectionString(const std::string& connectionString);

    QBSelectedTableList& SelectedTableList() { return *tables_; }
    QBSelectedColumnList& SelectedColumnList() { return *columns_; }
    QBForeignKeyList& ForeignKeyList() { return *foreignKeys_; }
    QBSearchConditionList& SearchConditionList() { return *conditions_; }
    QBOrderExpressionList& OrderExpressionList() { return *orders_; }
    const QBSelectedTableList& SelectedTableList() const { return *tables_; }
    const QBSelectedColumnList& SelectedColumnList() const { return *columns_; }
    const QBForeignKeyList& ForeignKeyList() const { return *foreignKeys_; }
    const QBSearchConditionList& SearchConditionList() const { return *conditions_; }
    const QBOrderExpressionList& OrderExpressionList() const { return *orders_; }

    // Catalog lookups. Names compare by the catalog's case rule.
    const CatalogRef& GetCatalog() const { return catalog_; }
    const std::vector<TableRef>& GetCatalogTables() const;
    const std::vector<ColumnRef>& GetCatalogColumns(std::string_view table) const;
    bool TableNameExists(std::string_view table) const;
    // True when the table exists and has the column, or the column is "*".
    bool ColumnNameExists(std::string_view table, std::string_view column) const;
    int GetSearchColumnType(std::string_view table, std::string_view column) const;

    // Adds the table and every relationship the catalog records between it
    // and the tables already selected; all of them are found before anything
    // changes. Selecting a selected table changes nothing.
    void SelectTable(std::string_view table);
    // Removes the table and every relationship that touches it.
    void UnselectTable(std::string_view table);
    // "*" selects all columns of the table.
    void SelectColumn(std::string_view table, std::string_view column);
    // The same, where allColumns tells whether "*" means all columns or a
    // column of that name.
    void SelectColumn(std::string_view table, std::string_view column, bool allColumns);
    void UnselectColumn(std::string_view table, std::string_view column);
    void AddOrderExpression(std::string_view table, std::string_view column, int orderType,
                            int orderPriority);
    void SetOrderExpression(std::string_view table, std::string_view column, int orderType,
                            int orderPriority);
    void RemoveOrderExpression(std::string_view table, std::string_view column);
    // Numbers the relationship after the highest user-defined one and adds it.
    // It needs two tables and at least one complete column pair.
    void AddUserDefinedForeignKey(std::shared_ptr<QBForeignKey> relationship);
    void RemoveUserDefinedForeignKey(std::string_view key);
    // Slot 0..5. Empty table and column clear the slot. A parameter that the
    // column's kind cannot take is refused (see IsValidParameter).
    // A literal parameter is text even when it reads "?" (the marker of a
    // value asked for when the query runs).
    void SetSearchCondition(int index, std::string_view table, std::string_view column,
                            int op, std::string_view parameter, bool literal = false);

    int GetRowsToSelect() const { return rowsToSelect_; }
    void SetRowsToSelect(int rows) { rowsToSelect_ = rows; }

    // The SQL text of the model, or "" without columns or tables.
    std::string GetSQL() const;

    const SqlDialect& Dialect() const { return dialect_; }

    // Whether a condition with this operator on a column of this kind can hold
    // the parameter: comparisons take a number (numeric), TRUE, FALSE or a
    // number (Boolean), any text (text, date); LIKE any text, except that
    // "starts with" cannot begin with "%"; "?" (the parameter marker) always.
    // Columns that are not searchable, or of unknown kind, take no operand.
    static bool IsValidParameter(int kind, int op, std::string_view parameter);
    static bool IsNumericLiteral(std::string_view text);

private:
    void InitializeLists();
    TableRef RequireTable(std::string_view table) const;
    ColumnRef RequireColumn(const TableRef& table, std::string_view column) const;
    std::string ColumnKey(std::string_view table, std::string_view column) const;

    std::string GetSQLSelectList() const;
    std::string GetSQLTableSource() const;
    std::string GetSQLSearchCondition() const;
    std::string GetSQLOrderExpression() const;
    std::string GetSQLEncodedParameter(int kind, const std::string& parameter, bool literal) const;

    std::string connectionString_;
    CatalogRef catalog_;
    SqlDialect dialect_;
    std::unique_ptr<QBSelectedTableList> tables_;
    std::unique_ptr<QBSelectedColumnList> columns_;
    std::unique_ptr<QBForeignKeyList> foreignKeys_;
    std::unique_ptr<QBSearchConditionList> conditions_;
    std::unique_ptr<QBOrderExpressionList> orders_;
    int rowsToSelect_ = kRowsNotSet;
};

} // namespace qz::query
