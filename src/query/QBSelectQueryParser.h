// Reads SELECT text of the builder's dialect back into a query model, or
// refuses it with one of the parser's own message ids 4101 to 4105.
#pragma once

#include "platform/automation/AutomationError.h"
#include "query/QBSelectQuery.h"

#include <cstddef>
#include <string>

namespace qz::query {

// Message ids of the parser's refusals.
enum QBParserError : int {
    kErrInvalidSelectList = 4101,       // "QueryBuilder error: Invalid select list."
    kErrInvalidTableSource = 4102,      // "QueryBuilder error: Invalid table source."
    kErrInvalidSearchCondition = 4103,  // "QueryBuilder error: Invalid search condition."
    kErrInvalidOrderExpression = 4104,  // "QueryBuilder error: Invalid order expression."
    kErrMissingTable = 4105             // "QueryBuilder error: Missing table in table source."
};

struct QBParseResult {
    bool ok = true;
    int messageId = 0;   // 4101..4105 when !ok
    size_t position = 0; // 1-based position in the text of the token that was refused
};

// A refusal as the system's own error: number 0x80040000 + id, source
// "QBSelectQueryParser" and the message table's text, for the caller's log.
AutomationError QBParseError(const QBParseResult& result);

class QBSelectQueryParser {
public:
    const std::string& SQL() const { return sql_; }
    void SetSQL(std::string sql) { sql_ = std::move(sql); }
    // The model that receives the parse; the parser adds to what it holds.
    void SetQBSelectQuery(QBSelectQuery* query) { query_ = query; }

    // True when the text was read into the model. False when it was refused;
    // LastResult() then tells which id and where. The model then holds what
    // was read before the refusal, and is to be discarded. Errors that are not
    // refusals of the text (a failing catalog) are thrown.
    bool ParseSelectQuery();
    const QBParseResult& LastResult() const { return result_; }

    // Parses text into a model in one call.
    static QBParseResult Parse(QBSelectQuery& query, const std::string& sql);

private:
    std::string sql_;
    QBSelectQuery* query_ = nullptr;
    QBParseResult result_;
};

} // namespace qz::query
