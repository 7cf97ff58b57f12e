// Access SQL read and written as SQLite's: one pass over the tokens, with
// expressions read by Access's operator precedence and written with their
// grouping explicit.
#include "platform/ado/JetSql.h"

#include "platform/ado/AdoTypes.h"
#include "platform/ado/Backend.h"
#include "platform/ado/Workbook.h"
#include "platform/automation/DateTime.h"
#include "platform/automation/LocaleFormat.h"
#include "platform/automation/Text.h"
#include "platform/system/Deadline.h"

#include <sqlite3.h>

#include <algorithm>
#include <span>
#include <tuple>
#include <vector>

namespace qz::ado {

namespace {

constexpr const char* kSource = "Jet";

enum class Tk : std::uint8_t { End, Word, Name, Text, Number, Date, Op };

struct Token {
    Tk kind;
    std::string_view text;
    std::size_t pos; // from 0
};

bool wordStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 0x80;
}
bool wordByte(char c) { return wordStart(c) || (c >= '0' && c <= '9') || c == '$'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void refuse(std::string what) { raiseProvider(kSource, std::move(what)); }

[[noreturn]] void refuseAt(std::string_view what, std::size_t pos) {
    refuse(std::string(what) + " (at character " + std::to_string(pos + 1) + " of the command).");
}

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        if ((out.size() & 0xFFF) == 0 && sys::deadlinePassed()) raiseTimeout(kSource);
        const char c = s[i];
        const std::size_t start = i;
        // Access SQL has no comments: "--" is two minus signs, "/*" a
        // division by what follows. No operator is written next to another
        // in the SQLite text, so neither becomes SQLite's comment there.
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') { ++i; continue; }
        Tk kind = Tk::Op;
        if (c == '\'' || c == '"' || c == '[' || c == '`' || c == '#') {
            const char close = c == '[' ? ']' : c;
            std::size_t j = i + 1;
            for (;; ++j) {
                if (j >= n) {
                    refuseAt(c == '[' ? "A name in brackets is not closed"
                             : c == '#' ? "A date between # signs is not closed"
                                        : "A quoted text is not closed",
                             i);
                }
                if (s[j] != close) continue;
                if ((c == '\'' || c == '"') && j + 1 < n && s[j + 1] == close) { ++j; continue; } // doubled
                break;
            }
            i = j + 1;
            kind = c == '#' ? Tk::Date : (c == '\'' || c == '"') ? Tk::Text : Tk::Name;
        } else if (wordStart(c)) {
            while (i < n && wordByte(s[i])) ++i;
            kind = Tk::Word;
        } else if (digit(c) || (c == '.' && i + 1 < n && digit(s[i + 1]))) {
            while (i < n && (digit(s[i]) || s[i] == '.')) ++i;
            if (i < n && (s[i] == 'e' || s[i] == 'E')) {
                std::size_t j = i + 1;
                if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
                if (j < n && digit(s[j])) {
                    i = j;
                    while (i < n && digit(s[i])) ++i;
                }
            }
            kind = Tk::Number;
        } else if ((c == '<' && i + 1 < n && (s[i + 1] == '=' || s[i + 1] == '>')) ||
                   ((c == '>' || c == '!') && i + 1 < n && s[i + 1] == '=')) {
            i += 2;
        } else {
            ++i;
        }
        out.push_back({kind, s.substr(start, i - start), start});
    }
    out.push_back({Tk::End, {}, n});
    return out;
}

// Words that end an expression or a name list where they stand.
bool clauseWord(std::string_view w) {
    static constexpr std::string_view kWords[] = {
        "select", "from", "where", "group", "by", "having", "order", "union", "on", "as", "and", "or", "not",
        "xor", "eqv", "imp", "mod", "like", "is", "in", "between", "asc", "desc", "into", "with", "inner", "left",
        "right", "outer", "join", "full", "cross", "pivot", "transform", "distinct", "distinctrow", "top",
        "percent", "all"};
    for (std::string_view k : kWords)
        if (equalsNoCaseAscii(w, k)) return true;
    return false;
}

// A name as written, without its brackets or quotes.
std::string unquoted(std::string_view name) {
    if (name.size() >= 2 && (name[0] == '[' || name[0] == '`' || name[0] == '"')) name = name.substr(1, name.size() - 2);
    return std::string(name);
}

class Translator {
public:
    Translator(std::string_view sql, JetTableColumns columnsOf) : t_(tokenize(sql)), columnsOf_(std::move(columnsOf)) {}

    // The names of the select lists' columns whose values are dates when
    // they are texts of the form dates are kept in, and of those that are
    // truth values, Currency and Single.
    std::vector<std::string> dateColumns, booleanColumns, currencyColumns, singleColumns;
    std::vector<std::string> tablesRead;   // by the FROM clauses
    std::vector<std::string> namedColumns; // named by the select lists
    // The declared type of a SELECT's first column (see JetColumns).
    std::function<std::string(const std::string& select)> declaredType;

    std::string statement() {
        const Token& first = peek();
        if (first.kind == Tk::End) refuse("The command text holds no statement.");
        if (word(first, "transform"))
            refuse("A crosstab query (TRANSFORM ... PIVOT) cannot be run on an Access, Excel or text source here; "
                   "select the rows and group them instead.");
        if (word(first, "parameters"))
            refuse("Parameters declared by name (PARAMETERS ...) cannot be used on an Access, Excel or text "
                   "source here; write a \"?\" where the value goes.");
        for (const char* action : {"insert", "update", "delete", "create", "drop", "alter"})
            if (word(first, action))
                refuse("An action query (" + toUpperAscii(action) +
                       ") cannot be run on an Access, Excel or text source: these sources are read only.");
        if (!word(first, "select") && !(first.text == "(" && word(peek(1), "select")))
            refuseAt("The command is not a SELECT statement", first.pos);
        std::string out = compound();
        while (peek().text == ";") ++i_;
        if (peek().kind != Tk::End) refuseAt("The command text holds more than one statement", peek().pos);
        return out;
    }

private:
    std::vector<Token> t_;
    JetTableColumns columnsOf_;
    std::size_t i_ = 0;
    // The select list being read: the columns it names (qualifier, column)
    // and whether it aggregates; for DISTINCTROW.
    struct Named {
        std::vector<std::pair<std::string, std::string>> columns;
        bool aggregate = false;
    };
    Named* named_ = nullptr;
    // The aggregate call read last, Sum(x) ...: its tokens, its function in
    // lower case and its argument; and the select list's items that are one
    // such call, whose type is their column's (item, column name, call).
    struct Aggregate {
        std::size_t from = 0, to = 0;
        std::string function, argument;
    } aggregate_;
    std::vector<std::tuple<std::size_t, std::string, Aggregate>>* aggregates_ = nullptr;
    // A table of the FROM clause: its name (or a subquery) and its alias.
    struct TableRef {
        std::string name, alias;
        bool subquery = false;
    };
    bool selectList_ = false; // in an item of a select list
    bool boolean_ = false;    // the expression just read is a truth value
    int depth_ = 0;           // of parentheses and subqueries, bounded
    int expressions_ = 0;     // expressions being read
    std::uint32_t steps_ = 0; // values read, for the deadline

    struct Nested {
        Translator& t;
        explicit Nested(Translator& translator) : t(translator) {
            if (++t.depth_ > 100) refuseAt("The command nests parentheses or queries too deeply", t.peek().pos);
        }
        ~Nested() { --t.depth_; }
    };

    const Token& peek(std::size_t k = 0) const { return t_[std::min(i_ + k, t_.size() - 1)]; }
    static bool word(const Token& t, std::string_view w) { return t.kind == Tk::Word && equalsNoCaseAscii(t.text, w); }
    bool accept(std::string_view w) {
        if (!word(peek(), w)) return false;
        ++i_;
        return true;
    }
    bool acceptOp(std::string_view op) {
        if (peek().kind != Tk::Op || peek().text != op) return false;
        ++i_;
        return true;
    }
    void expectOp(std::string_view op) {
        if (!acceptOp(op)) refuseAt("\"" + std::string(op) + "\" was expected", peek().pos);
    }

    // SELECT ... { UNION [ALL] SELECT ... }; a member with TOP is made a
    // subquery, where its LIMIT is allowed.
    std::string compound() {
        const Nested nested(*this);
        const bool outer = selectList_;
        selectList_ = false;
        struct Restore { bool& flag; bool was; ~Restore() { flag = was; } } restore{selectList_, outer};
        std::vector<std::pair<std::string, bool>> members;
        std::vector<std::string> joins;
        for (;;) {
            bool top = false;
            if (acceptOp("(")) {
                members.emplace_back("SELECT * FROM (" + compound() + ")", false);
                expectOp(")");
            } else {
                std::string s = select(top);
                members.emplace_back(std::move(s), top);
            }
            if (!accept("union")) break;
            joins.push_back(accept("all") ? " UNION ALL " : " UNION ");
        }
        std::string out;
        for (std::size_t m = 0; m < members.size(); ++m) {
            if (m) out += joins[m - 1];
            out += members.size() > 1 && members[m].second ? "SELECT * FROM (" + members[m].first + ")"
                                                           : members[m].first;
        }
        return out;
    }

    std::string select(bool& hadTop) {
        if (!accept("select")) refuseAt("SELECT was expected", peek().pos);
        bool distinct = false, distinctRow = false;
        if (!accept("all")) {
            if (accept("distinct")) distinct = true;
            else distinctRow = accept("distinctrow");
        }
        Named named;
        struct Restore { Named*& at; Named* was; ~Restore() { at = was; } } restore{named_, named_};
        named_ = &named;
        std::string top;
        bool percent = false;
        if (accept("top")) {
            if (peek().kind != Tk::Number) refuseAt("TOP takes a number", peek().pos);
            top = std::string(peek().text);
            ++i_;
            percent = accept("percent");
            hadTop = true;
        }
        std::vector<std::string> itemTexts;
        std::vector<std::tuple<std::size_t, std::string, Aggregate>> aggregates;
        auto* const outer = aggregates_;
        aggregates_ = &aggregates;
        for (std::size_t position = 0;; ++position) {
            itemTexts.push_back(selectItem(position));
            if (!acceptOp(",")) break;
        }
        aggregates_ = outer;
        if (word(peek(), "into"))
            refuse("An action query (SELECT ... INTO) cannot be run on an Access, Excel or text source: these "
                   "sources are read only.");
        named_ = nullptr;
        std::string rest; // FROM ... HAVING
        std::vector<TableRef> tables;
        if (accept("from")) rest += " FROM " + fromClause(tables);
        for (const TableRef& t : tables)
            if (!t.subquery) tablesRead.push_back(t.name);
        typeAggregates(aggregates, rest, itemTexts);
        std::string items;
        for (const std::string& item : itemTexts) items += (items.empty() ? "" : ", ") + item;
        if (accept("where")) rest += " WHERE " + expression();
        if (distinctRow && !named.aggregate && !word(peek(), "group") && !word(peek(), "having"))
            if (std::string keys = distinctRowKeys(tables, named); !keys.empty()) rest += " GROUP BY " + keys;
        if (accept("group")) {
            if (!accept("by")) refuseAt("GROUP takes BY", peek().pos);
            rest += " GROUP BY " + expressionList();
        }
        if (accept("having")) rest += " HAVING " + expression();
        std::vector<std::pair<std::string, bool>> order; // key, descending
        if (accept("order")) {
            if (!accept("by")) refuseAt("ORDER takes BY", peek().pos);
            do {
                std::string key = expression();
                bool desc = accept("desc") || accept("descending");
                if (!desc && !accept("asc")) accept("ascending");
                order.emplace_back(std::move(key), desc);
            } while (acceptOp(","));
        }
        if (accept("with")) { // WITH OWNERACCESS OPTION: a permission of Access's own
            accept("owneraccess");
            accept("option");
        }
        const std::string head = std::string("SELECT ") + (distinct ? "DISTINCT " : "");
        std::string out = head + items + rest;
        std::string keys;
        for (std::size_t k = 0; k < order.size(); ++k)
            keys += (k ? ", " : "") + order[k].first + (order[k].second ? " DESC" : "");
        if (!order.empty()) out += " ORDER BY " + keys;
        if (top.empty()) return out;
        if (order.empty() && !percent) return out + " LIMIT " + top;
        // The rows up to the n-th by the order, with the rows that tie with
        // it: counted over the same rows ranked by the same keys.
        std::string ranked = head + items;
        std::string window;
        for (std::size_t k = 0; k < order.size(); ++k) {
            const std::string name = "\"jet_key" + std::to_string(k + 1) + "\"";
            ranked += ", " + order[k].first + " AS " + name;
            window += (k ? ", " : "") + name + (order[k].second ? " DESC" : "");
        }
        ranked += rest;
        const std::string rank = order.empty() ? "row_number() OVER ()" : "rank() OVER (ORDER BY " + window + ")";
        const std::string within = percent ? "(\"jet_rank\" - 1) * 100 < \"jet_count\" * " + top
                                           : "\"jet_rank\" <= " + top;
        return out + " LIMIT (SELECT count(*) FROM (SELECT " + rank + " AS \"jet_rank\", count(*) OVER () AS " +
               "\"jet_count\" FROM (" + ranked + ")) WHERE " + within + ")";
    }

    // The items of a select list that are one aggregate of a column whose
    // declared type the database tells: Min and Max keep a Date, Currency or
    // Single; Sum and Avg of a Currency are Currency, summed exactly.
    void typeAggregates(const std::vector<std::tuple<std::size_t, std::string, Aggregate>>& aggregates,
                        const std::string& from, std::vector<std::string>& items) {
        if (!declaredType || from.empty()) return;
        for (const auto& [position, name, call] : aggregates) {
            std::int32_t size = 0;
            const std::int32_t type = typeFromDeclaration(declaredType("SELECT " + call.argument + from), size);
            const bool minMax = call.function == "min" || call.function == "max";
            if (type == adCurrency) {
                currencyColumns.push_back(name);
                std::string& item = items[position]; // the call, as written
                if (!minMax) item.replace(0, item.find('('), "jet_" + call.function + "_currency");
            } else if (minMax && isDateType(type)) {
                dateColumns.push_back(name);
            } else if (minMax && type == adSingle) {
                singleColumns.push_back(name);
            }
        }
    }

    // One item of the select list; an expression without a name gets
    // Access's name for it.
    std::string selectItem(std::size_t position) {
        if (acceptOp("*")) {
            named_->columns.emplace_back(std::string(), "*");
            return "*";
        }
        const std::size_t start = i_;
        selectList_ = true;
        std::string item = expression();
        selectList_ = false;
        const bool truthValue = boolean_;
        // What gives a date: a date, a function that makes one, a sum or
        // difference, a choice between values.
        static constexpr std::string_view kDated[] = {
            "jet_dateadd(", "jet_dateserial(", "jet_datevalue(", "jet_timeserial(", "jet_timevalue(", "jet_cdate(",
            "jet_date(",    "jet_now(",        "jet_time(",      "jet_ops('+",     "jet_ops('-",    "jet_nz(", "CASE WHEN "};
        bool dated = t_[start].kind == Tk::Date && i_ == start + 1;
        for (std::string_view d : kDated) dated |= item.size() > d.size() && equalsNoCaseAscii(item.substr(0, d.size()), d);
        const bool currency = item.starts_with("jet_ccur(");
        const bool aggregate = aggregate_.from == start && aggregate_.to == i_ && aggregates_;
        std::string name, as; // the column's name, and as the SQL gives it
        if (accept("as")) {
            const Token& alias = peek();
            if (alias.kind != Tk::Word && alias.kind != Tk::Name && alias.kind != Tk::Text)
                refuseAt("AS takes a name", alias.pos);
            ++i_;
            name = alias.kind == Tk::Word ? std::string(alias.text) : std::string(alias.text.substr(1, alias.text.size() - 2));
            as = " AS " + (alias.kind == Tk::Text ? quotedName(alias.text) : std::string(alias.text));
        } else if (plainColumn(start)) {
            return item; // a column keeps its own name
        } else {
            name = "Expr" + std::to_string(1000 + position);
            as = " AS \"" + name + "\"";
        }
        // The columns of a subquery in an expression are none of the
        // statement's.
        if (expressions_ == 0) {
            namedColumns.push_back(name);
            if (dated) dateColumns.push_back(name);
            if (truthValue) booleanColumns.push_back(name);
            if (currency) currencyColumns.push_back(name);
            if (aggregate) aggregates_->emplace_back(position, name, aggregate_);
        }
        return item + as;
    }

    // Whether the select item from the token `start` to here is a column,
    // qualified or not.
    bool plainColumn(std::size_t start) const {
        for (std::size_t k = start; k < i_; ++k) {
            const Token& t = t_[k];
            const bool nameAt = (k - start) % 2 == 0;
            if (!(nameAt ? (t.kind == Tk::Name || (t.kind == Tk::Word && !clauseWord(t.text)) || t.text == "*")
                         : (t.text == "." || t.text == "!")))
                return false;
        }
        return (i_ - start) % 2 == 1;
    }

    static std::string quotedName(std::string_view text) {
        // "name" as written: the inner text with doubled quotes kept doubled.
        return "\"" + std::string(text.substr(1, text.size() - 2)) + "\"";
    }

    // The tables and their joins: names and join words as written,
    // subqueries and ON conditions translated.
    // DISTINCTROW drops the rows that repeat all the columns of the tables
    // whose columns the select list names: a grouping by those columns.
    // Nothing when they are all of the tables (or none), or when a name
    // cannot be told (a subquery's, one no table or several tables have).
    std::string distinctRowKeys(const std::vector<TableRef>& tables, const Named& named) const {
        if (!columnsOf_ || tables.size() < 2) return {};
        std::vector<std::vector<std::string>> columns(tables.size());
        for (std::size_t k = 0; k < tables.size(); ++k)
            if (!tables[k].subquery) columns[k] = columnsOf_(tables[k].name);
        std::vector<bool> chosen(tables.size());
        for (const auto& [qualifier, column] : named.columns) {
            std::size_t found = 0, matches = 0;
            for (std::size_t k = 0; k < tables.size(); ++k) {
                const bool match = qualifier.empty()
                    ? std::any_of(columns[k].begin(), columns[k].end(),
                                  [&, &name = column](const std::string& c) { return equalsNoCaseAscii(c, name); })
                    : equalsNoCaseAscii(qualifier, tables[k].alias.empty() ? tables[k].name : tables[k].alias);
                if (match) {
                    found = k;
                    ++matches;
                }
            }
            if (matches == 1) chosen[found] = true;
            else if (!qualifier.empty() || matches > 1 || column == "*") return {};
        }
        const auto count = static_cast<std::size_t>(std::count(chosen.begin(), chosen.end(), true));
        if (count == 0 || count == tables.size()) return {};
        std::string keys;
        for (std::size_t k = 0; k < tables.size(); ++k) {
            if (!chosen[k]) continue;
            if (columns[k].empty()) return {};
            const std::string table = quoteSqlName(tables[k].alias.empty() ? tables[k].name : tables[k].alias);
            for (const std::string& c : columns[k]) keys += (keys.empty() ? "" : ", ") + table + "." + quoteSqlName(c);
        }
        return keys;
    }

    std::string fromClause(std::vector<TableRef>& tables) {
        std::string out;
        int depth = 0;
        enum { Table, Alias, Neither } next = Table; // what a name there would be
        for (;;) {
            const Token& t = peek();
            if (t.kind == Tk::End || t.text == ";") break;
            if (depth == 0 && (word(t, "where") || word(t, "group") || word(t, "having") || word(t, "order") ||
                               word(t, "union") || word(t, "with") || t.text == ")"))
                break;
            if (word(t, "in")) refuseAt("A table of another database (IN) cannot be read here", t.pos);
            if (t.text == "(" && word(peek(1), "select")) {
                ++i_;
                out += " (" + compound() + ")";
                expectOp(")");
                tables.push_back({{}, {}, true});
                next = Alias;
                continue;
            }
            ++i_;
            if (word(t, "on")) {
                out += " ON " + expression();
                next = Neither;
                continue;
            }
            const bool name = (t.kind == Tk::Word && !clauseWord(t.text)) || t.kind == Tk::Name;
            const bool afterTable = next == Alias; // no call of a table-valued function
            const bool quoted = t.kind == Tk::Text && t.text[0] == '"';
            if (name && next == Table) tables.push_back({unquoted(t.text), {}, false});
            else if ((name || quoted) && next == Alias && !tables.empty()) tables.back().alias = unquoted(t.text);
            if (t.text == "(" || t.text == "," || word(t, "join")) next = Table;
            else if (name || quoted) next = next == Table ? Alias : Neither;
            else if (!word(t, "as") && t.kind != Tk::Word) next = Neither;
            if (t.text == "(") ++depth;
            if (t.text == ")") --depth;
            if (!out.empty()) out += ' ';
            if (t.text == "!") out += '.';
            else if (t.kind == Tk::Text && t.text[0] == '"') out += quotedName(t.text); // an alias in quotes
            else if (name) out += asName(t);
            else if (t.kind == Tk::Word || t.text == ")" || t.text == "." || t.text == "," || (t.text == "(" && !afterTable))
                out += t.text;
            else refuseAt("\"" + std::string(t.text) + "\" is not expected among the tables", t.pos);
        }
        return out;
    }

    std::string expressionList() {
        std::string out = expression();
        while (acceptOp(",")) out += ", " + expression();
        return out;
    }

    // Access's precedence, loosest first: Or (Xor, Eqv, Imp), And, Not,
    // comparisons (Like, Is, In, Between), &, + -, Mod, \, * /, unary -, ^.
    // A level that applies its operator says whether its value is a truth
    // value (boolean_); in a select list, where Access gives True as -1, a
    // truth value is written negated (elsewhere SQLite's 1 serves, and
    // comparisons stay as they are, which its planner needs for joins).
    std::string truth(std::string text) {
        boolean_ = true;
        return selectList_ ? "(- " + text + ")" : text;
    }
    std::string value(std::string text) {
        boolean_ = false;
        return text;
    }

    // Or and And chains, written as balanced trees: a chain of any length
    // is read in linear time and nests as deeply as its logarithm in SQLite.
    static void balanced(std::string& out, std::span<const std::string> parts, std::string_view op) {
        if (parts.size() == 1) {
            out += parts[0];
            return;
        }
        out += '(';
        balanced(out, parts.first(parts.size() / 2), op);
        out += op;
        balanced(out, parts.subspan(parts.size() / 2), op);
        out += ')';
    }
    std::string logical(std::string (Translator::*operand)(), std::string_view word, std::string_view op) {
        std::string first = (this->*operand)();
        std::vector<std::string> parts; // from the second operand on: most expressions have none
        for (;;) {
            if (peek().kind != Tk::Word) break;
            if (operand == &Translator::conjunction)
                for (const char* other : {"xor", "eqv", "imp"})
                    if (Translator::word(peek(), other))
                        refuseAt("The operator " + std::string(peek().text) + " cannot be run here", peek().pos);
            if (!accept(word)) break;
            if (parts.empty()) parts.push_back(std::move(first));
            parts.push_back((this->*operand)());
        }
        if (parts.empty()) return first;
        std::string out;
        balanced(out, parts, op);
        return truth(std::move(out));
    }
    std::string expression() {
        struct Counted {
            int& n;
            explicit Counted(int& c) : n(++c) {}
            ~Counted() { --n; }
        } counted(expressions_);
        return logical(&Translator::conjunction, "or", " OR ");
    }
    std::string conjunction() { return logical(&Translator::negation, "and", " AND "); }

    std::string negation() {
        const Nested nested(*this);
        if (accept("not")) return truth("(NOT " + negation() + ")");
        return comparison();
    }

    std::string comparison() {
        std::string l = concatenation();
        for (int chained = 0;; ++chained) {
            if (chained > 100) refuseAt("The command nests parentheses or queries too deeply", peek().pos);
            const Token& t = peek();
            if (t.kind == Tk::Op && (t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" ||
                                     t.text == "<=" || t.text == ">=" || t.text == "!=")) {
                ++i_;
                l = truth("(" + l + " " + std::string(t.text) + " " + concatenation() + ")");
                continue;
            }
            if (accept("is")) {
                const bool isNot = accept("not");
                if (!accept("null")) refuseAt("IS takes NULL", peek().pos);
                l = truth("(" + l + (isNot ? " IS NOT NULL)" : " IS NULL)"));
                continue;
            }
            const bool isNot = word(t, "not") &&
                               (word(peek(1), "like") || word(peek(1), "in") || word(peek(1), "between"));
            if (isNot) ++i_;
            const std::string no = isNot ? " NOT" : "";
            if (accept("like")) {
                const std::string like = "jet_like(" + l + ", " + concatenation() + ")";
                l = truth(isNot ? "(NOT " + like + ")" : like);
            } else if (accept("between")) {
                std::string low = concatenation();
                if (!accept("and")) refuseAt("BETWEEN takes AND", peek().pos);
                l = truth("(" + l + no + " BETWEEN " + low + " AND " + concatenation() + ")");
            } else if (accept("in")) {
                expectOp("(");
                std::string list = word(peek(), "select") ? compound() : expressionList();
                expectOp(")");
                l = truth("(" + l + no + " IN (" + list + "))");
            } else {
                return l;
            }
        }
    }

    std::string concatenation() {
        std::string l = sum();
        if (peek().text != "&" || peek().kind != Tk::Op) return l;
        std::string call = "jet_concat(" + l;
        while (acceptOp("&")) call += ", " + sum();
        return value(call + ")");
    }

    // A chain of one level's operators, applied from the left as the
    // script applies them: jet_ops('<operators>', a, b, ...) with "M" for
    // Mod. A call takes at most kChainOperands operands after the first; a
    // longer chain continues in a call whose first operand is the call
    // before. Written once at the end, so that a chain takes linear time.
    static constexpr std::size_t kChainOperands = 100;
    std::string chain(std::string (Translator::*operand)(), std::string_view ops) {
        std::string first = (this->*operand)();
        std::vector<std::pair<std::string, std::string>> calls; // operators, ", b, c ..."
        for (;;) {
            const Token& t = peek();
            char op = 0;
            for (char c : ops)
                if (c == 'M' ? word(t, "mod") : t.kind == Tk::Op && t.text.size() == 1 && t.text[0] == c) op = c;
            if (!op) break;
            ++i_;
            if (calls.empty() || calls.back().first.size() == kChainOperands) calls.emplace_back();
            calls.back().first += op;
            calls.back().second += ", ";
            calls.back().second +=
                op == '^' && (peek().text == "-" || peek().text == "+") ? signedValue() : (this->*operand)();
        }
        if (calls.empty()) return first;
        std::string out;
        for (auto c = calls.rbegin(); c != calls.rend(); ++c) out += "jet_ops('" + c->first + "', ";
        out += first;
        for (const auto& c : calls) out += c.second + ")";
        return value(std::move(out));
    }
    std::string sum() { return chain(&Translator::modulo, "+-"); }
    std::string modulo() { return chain(&Translator::integerQuotient, "M"); }
    std::string integerQuotient() { return chain(&Translator::product, "\\"); }
    std::string product() { return chain(&Translator::signedValue, "*/"); }

    std::string signedValue() {
        const Nested nested(*this);
        // A negated number stays SQLite's; anything else is 0 minus it, so
        // that a text that is no number fails.
        if (acceptOp("-")) {
            if (peek().kind == Tk::Number) return value("(- " + signedValue() + ")");
            return value("jet_ops('-', 0, " + signedValue() + ")");
        }
        if (acceptOp("+")) return signedValue();
        return power();
    }

    // x ^ y: a sign before y binds to it (2 ^ -1).
    std::string power() { return chain(&Translator::primary, "^"); }

    std::string primary() {
        const Nested nested(*this);
        if ((++steps_ & 0x3FF) == 0 && sys::deadlinePassed()) raiseTimeout(kSource);
        const Token t = peek();
        switch (t.kind) {
        case Tk::End: refuseAt("The command ends where a value was expected", t.pos);
        case Tk::Number: ++i_; return value(std::string(t.text));
        case Tk::Date: ++i_; return value(dateLiteral(t));
        case Tk::Text:
            ++i_;
            if (t.text[0] == '\'') return value(std::string(t.text));
            return value(textLiteral(t.text));
        case Tk::Name: return value(qualifiedName());
        case Tk::Word: break;
        case Tk::Op:
            if (t.text == "?") { ++i_; return value("?"); }
            if (t.text == "(") {
                ++i_;
                if (word(peek(), "select")) {
                    std::string sub = compound();
                    expectOp(")");
                    return value("(" + sub + ")");
                }
                std::string inner = expression();
                expectOp(")");
                return "(" + inner + ")"; // a truth value stays one
            }
            refuseAt("\"" + std::string(t.text) + "\" is not expected here", t.pos);
        }
        for (const char* yes : {"true", "yes", "on"})
            if (word(t, yes)) { ++i_; return value("-1"); }
        for (const char* no : {"false", "no", "off"})
            if (word(t, no)) { ++i_; return value("0"); }
        if (word(t, "null")) { ++i_; return value("NULL"); }
        if (word(t, "exists")) {
            ++i_;
            expectOp("(");
            std::string sub = compound();
            expectOp(")");
            return truth("EXISTS (" + sub + ")");
        }
        if (peek(1).text == "(" && peek(1).kind == Tk::Op) return value(word(t, "iif") ? iif() : call());
        if (clauseWord(t.text)) refuseAt(std::string(t.text) + " is not expected here", t.pos);
        return value(qualifiedName());
    }

    // A name written as a word, in brackets: SQLite reads some words as its
    // own (CURRENT_DATE, NATURAL, INDEXED) that are names in Access SQL.
    static std::string asName(const Token& t) {
        return t.kind == Tk::Word ? "[" + std::string(t.text) + "]" : std::string(t.text);
    }

    // name, name.name, name!name, name.*; one in a select list is noted.
    std::string qualifiedName() {
        const std::string_view first = peek().text;
        std::string_view second;
        std::string out = asName(peek());
        ++i_;
        while (peek().kind == Tk::Op && (peek().text == "." || peek().text == "!")) {
            const Token& next = peek(1);
            if (next.kind != Tk::Word && next.kind != Tk::Name && next.text != "*") break;
            if (second.empty()) second = next.text;
            out += ".";
            out += next.text == "*" ? "*" : asName(next);
            i_ += 2;
        }
        if (named_)
            named_->columns.emplace_back(second.empty() ? std::string() : unquoted(first),
                                         unquoted(second.empty() ? first : second));
        return out;
    }

    // IIf(c, a, b) as CASE WHEN c THEN a ELSE b END. An IIf that is a whole
    // branch joins the same CASE (the first branch after "c IS NOT TRUE",
    // which Null meets as IIf's condition does), so that chains of IIf do
    // not nest in SQLite's parser, whose stack holds few levels.
    std::string iif() {
        i_ += 2; // IIf (
        std::string c = expression();
        expectOp(",");
        std::string a = expression();
        expectOp(",");
        std::string b = expression();
        expectOp(")");
        auto whens = [](const std::string& x) { // " WHEN ... ELSE ..." of a CASE an IIf wrote
            return x.starts_with("CASE WHEN ") && x.ends_with(" END") ? x.substr(4, x.size() - 8) : std::string();
        };
        if (std::string w = whens(b); !w.empty()) return "CASE WHEN " + c + " THEN " + a + w + " END";
        if (std::string w = whens(a); !w.empty()) return "CASE WHEN (" + c + ") IS NOT TRUE THEN " + b + w + " END";
        return "CASE WHEN " + c + " THEN " + a + " ELSE " + b + " END";
    }

    std::string call() {
        const std::size_t from = i_;
        const Token name = peek();
        i_ += 2; // name (
        // Access's functions by their names on the database, which no
        // function of SQLite's own (nor a keyword: Left, Right) takes.
        // The aggregates keep SQLite's names; any other function is SQLite's
        // own, which Access lacks or has otherwise (Hex, Log), unless it is
        // registered.
        bool aggregate = false;
        for (const char* f : {"sum", "avg", "count", "min", "max"}) aggregate |= word(name, f);
        if (!aggregate && !isAccessFunction(name.text))
            refuseAt("Undefined function '" + std::string(name.text) + "' in expression", name.pos);
        std::string out = aggregate ? std::string(name.text) : "jet_" + toLowerAscii(name.text);
        out += "(";
        if (acceptOp(")")) return out + ")";
        std::string argument; // of a call of one argument
        if (acceptOp("*")) {
            out += "*";
        } else {
            if (accept("distinct")) out += "DISTINCT ";
            if (named_) named_->aggregate |= aggregate;
            argument = expression();
            // Sum and Avg take numbers: a text that is none fails them.
            const bool numbers = word(name, "sum") || word(name, "avg");
            out += numbers ? "jet_number(" + argument + ", '" + std::string(name.text) + "')" : argument;
            if (!numbers && acceptOp(",")) {
                out += ", " + expressionList();
                argument.clear();
            }
        }
        expectOp(")");
        for (const char* f : {"sum", "avg", "min", "max"})
            if (word(name, f) && !argument.empty()) aggregate_ = {from, i_, f, std::move(argument)};
        return out + ")";
    }

    static std::string textLiteral(std::string_view quoted) {
        // "..." with "" inside, written as '...' with ' doubled.
        std::string out = "'";
        for (std::size_t k = 1; k + 1 < quoted.size(); ++k) {
            const char c = quoted[k];
            if (c == '"') ++k; // the second of a doubled quote
            if (c == '\'') out += '\'';
            out += c;
        }
        return out + "'";
    }

    static std::string dateLiteral(const Token& t) {
        // The date in US order (m/d/y) or as y-m-d, as Access reads it
        // whatever the locale.
        const std::u16string inner = fromUtf8(t.text.substr(1, t.text.size() - 2));
        double date = 0;
        if (!parseDate(inner, LocaleFormat::english(), date))
            refuseAt(std::string(t.text) + " is not a date", t.pos);
        return "'" + workbook::isoFromOleDate(date, true) + "'";
    }
};

} // namespace

std::string jetToSqlite(std::string_view accessSql, JetColumns* columns, const JetTableColumns& columnsOf) {
    Translator t(accessSql, columnsOf);
    if (columns) t.declaredType = columns->declaredType;
    std::string out = t.statement();
    if (columns) {
        columns->singles.insert(columns->singles.end(), t.singleColumns.begin(), t.singleColumns.end());
        columns->tables.insert(columns->tables.end(), t.tablesRead.begin(), t.tablesRead.end());
        columns->named.insert(columns->named.end(), t.namedColumns.begin(), t.namedColumns.end());
        columns->dates.insert(columns->dates.end(), t.dateColumns.begin(), t.dateColumns.end());
        columns->booleans.insert(columns->booleans.end(), t.booleanColumns.begin(), t.booleanColumns.end());
        columns->currencies.insert(columns->currencies.end(), t.currencyColumns.begin(), t.currencyColumns.end());
    }
    return out;
}

namespace {

// The columns of a table or view of the database, by its name; none when it
// has none of that name.
std::vector<std::string> tableColumns(sqlite3* db, const std::string& table) {
    std::vector<std::string> out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?)", -1, &st, nullptr) != SQLITE_OK) return out;
    sqlite3_bind_text(st, 1, table.data(), static_cast<int>(table.size()), SQLITE_STATIC);
    while (sqlite3_step(st) == SQLITE_ROW) out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return out;
}

// The declared type of a statement's first column, "" when it has none or
// the statement cannot be prepared.
std::string declaredType(sqlite3* db, const std::string& select) {
    sqlite3_stmt* st = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, select.c_str(), static_cast<int>(select.size()), &st, nullptr) == SQLITE_OK && st &&
        sqlite3_column_count(st) > 0)
        if (const char* decl = sqlite3_column_decltype(st, 0)) out = decl;
    sqlite3_finalize(st);
    return out;
}

} // namespace

JetBackend::JetBackend(std::unique_ptr<SqliteBackend> db) : db_(std::move(db)) {
    addAccessFunctions(db_->handle(), true);
    columns_.declaredType = [db = db_->handle()](const std::string& select) { return declaredType(db, select); };
}

JetBackend::~JetBackend() = default;

JetTableColumns JetBackend::tablesOf() {
    return [db = db_->handle()](const std::string& table) { return tableColumns(db, table); };
}

void JetBackend::refuseQuery(const std::string& name, std::string why) {
    refused_.emplace_back(name, std::move(why));
}

// SQLite's message, with what it means for a command written for Access: a
// name that is no column is what Access would have asked for as a
// parameter; a saved query that is no view here says why.
void JetBackend::explain(const AutomationError& e) {
    const std::string& d = e.Description;
    if (const auto p = d.find("no such table: "); p != std::string::npos) {
        const std::string name = d.substr(p + 15);
        for (const auto& [query, why] : refused_)
            if (equalsNoCaseAscii(query, name) || equalsNoCaseAscii("main." + query, name))
                raiseProvider(kSource, "The saved query '" + query + "' cannot be used here: " + why + ".");
    }
    if (d.find("parser stack overflow") != std::string::npos || d.find("Expression tree is too large") != std::string::npos)
        raiseProvider(kSource, "The command's expressions are nested too deeply or chained too long to be run here.");
    if (const auto p = d.find("no such column: "); p != std::string::npos)
        raiseProvider(kSource, d + " (a name that is no column of the tables would be asked for as a parameter "
                                   "by Access; parameters by name cannot be used here: write a \"?\" where the "
                                   "value goes)");
    throw e;
}

void JetBackend::addView(const std::string& name, std::string_view accessSql) {
    JetColumns typed = columns_;
    db_->exec("CREATE VIEW " + quoteSqlName(name) + " AS " + jetToSqlite(accessSql, &typed, tablesOf()));
    addViewColumns(typed);
    views_.emplace_back(name, std::move(typed));
}

namespace {

bool named(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return equalsNoCaseAscii(n, name); });
}

// Makes the cells of a column its type when every value fits it; false (and
// nothing changed) when one does not.
template <class Fits, class Make>
bool retype(RecordsetData& data, std::size_t c, Fits fits, Make make) {
    for (std::size_t r = 0; r < data.rowCount; ++r) {
        const Cell& cell = data.row(r)[c];
        if (cell.type != VarType::Null && !fits(cell)) return false;
    }
    for (std::size_t r = 0; r < data.rowCount; ++r) {
        Cell& cell = data.row(r)[c];
        if (cell.type != VarType::Null) make(cell);
    }
    return true;
}

// An expression's column has no declared type; one that gives dates (named
// by the translation, or by a saved query's) is a date column when each of
// its values is a date in the form dates are kept in; one of truth values is
// a Boolean column, one of Currency (CCur, an aggregate of a Currency column)
// a Currency, and a Min or Max of a Single column a Single.
void typeColumn(RecordsetData& data, std::size_t c, const JetColumns& typed) {
    Column& col = data.columns[c];
    const bool number = col.type == adDouble || col.type == adInteger;
    if (isStringType(col.type) && named(typed.dates, col.name) &&
        retype(data, c,
               [](const Cell& cell) { return cell.kind == Cell::kText && packedIsoDate({cell.u.text, cell.size}) >= 0; },
               [](Cell& cell) {
                   const std::int64_t packed = packedIsoDate({cell.u.text, cell.size});
                   cell = Cell{};
                   cell.type = VarType::Date;
                   cell.size = Cell::kDateParts;
                   cell.u.i = packed;
               })) {
        col.type = adDBTimeStamp;
        col.definedSize = 16;
    } else if (col.type == adInteger && named(typed.booleans, col.name) &&
               retype(data, c,
                      [](const Cell& cell) { return cell.type == VarType::Long && (cell.u.i == -1 || cell.u.i == 0); },
                      [](Cell& cell) { cell.type = VarType::Boolean; })) {
        col.type = adBoolean;
        col.definedSize = 2;
    } else if (number && named(typed.currencies, col.name) &&
               retype(data, c,
                      [](const Cell& cell) {
                          std::int64_t units = 0;
                          return cell.type == VarType::Long ||
                                 (cell.type == VarType::Double && currencyFromDouble(cell.u.d, units));
                      },
                      [](Cell& cell) {
                          std::int64_t units = 0;
                          if (cell.type == VarType::Double) currencyFromDouble(cell.u.d, units);
                          else units = cell.u.i * 10000; // a Long, which fits
                          cell.type = VarType::Currency;
                          cell.u.i = units;
                      })) {
        col.type = adCurrency;
        col.definedSize = 8;
    } else if (number && named(typed.singles, col.name) &&
               retype(data, c, [](const Cell& cell) { return cell.type == VarType::Long || cell.type == VarType::Double; },
                      [](Cell& cell) {
                          const double v = cell.type == VarType::Double ? cell.u.d : static_cast<double>(cell.u.i);
                          cell.type = VarType::Single;
                          cell.u.f = static_cast<float>(v);
                      })) {
        col.type = adSingle;
        col.definedSize = 4;
    }
}

} // namespace

// The typed columns of the views a statement reads join its own: a view's
// column keeps its type, by its name, in the statements that read the view
// and do not name a column of their own so.
void JetBackend::addViewColumns(JetColumns& typed) const {
    for (const std::string& table : typed.tables)
        for (const auto& [view, columns] : views_) {
            if (!equalsNoCaseAscii(view, table)) continue;
            for (auto list : {&JetColumns::dates, &JetColumns::booleans, &JetColumns::currencies, &JetColumns::singles})
                for (const std::string& name : columns.*list)
                    if (!named(typed.named, name)) (typed.*list).push_back(name);
        }
}

Ref<RecordsetData> JetBackend::query(std::string_view sql, std::span<const SqlParameter> parameters) {
    JetColumns typed = columns_;
    const std::string text = jetToSqlite(sql, &typed, tablesOf());
    addViewColumns(typed);
    // Values bound as these databases keep them: True as -1, a date at
    // midnight without its time, a time of day on day zero.
    std::vector<SqlParameter> values(parameters.begin(), parameters.end());
    for (SqlParameter& v : values) {
        if (v.kind == SqlParameter::Kind::Boolean) v.integer = v.integer ? -1 : 0;
        if (v.kind == SqlParameter::Kind::DateTime && v.text.ends_with(" 00:00:00")) v.text.resize(v.text.size() - 9);
        if (v.kind == SqlParameter::Kind::Time) v.text = "1899-12-30 " + v.text;
    }
    try {
        const Ref<RecordsetData> shape = db_->describe(text);
        Ref<RecordsetData> data = db_->query(text, values);
        for (std::size_t c = 0; c < shape->columns.size() && c < data->columns.size(); ++c)
            if (shape->columns[c].type == adVariant && data->rowCount > 0) typeColumn(*data, c, typed);
        return data;
    } catch (const AutomationError& e) {
        explain(e);
    }
}

Ref<RecordsetData> JetBackend::describe(std::string_view sql) {
    const std::string text = jetToSqlite(sql, nullptr, tablesOf());
    try {
        return db_->describe(text);
    } catch (const AutomationError& e) {
        explain(e);
    }
}

} // namespace qz::ado
