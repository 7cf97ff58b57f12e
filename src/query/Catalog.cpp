#include "query/Catalog.h"

#include "platform/ado/Connection.h"
#include "platform/automation/AutomationError.h"

#include <algorithm>

namespace qz::query {

namespace {
// The item of that name: the exact spelling first, else one that differs
// only in case. A case-sensitive backend still folds unquoted names, so such
// a name is accepted there too when it is unambiguous.
template <class Ptr>
Ptr FindByName(const std::vector<Ptr>& items, std::string_view name, bool insensitive) {
    Ptr folded;
    int foldedCount = 0;
    for (const auto& item : items) {
        if (item->name == name) return item;
        if (equalsNoCaseAscii(item->name, name)) {
            if (!folded) folded = item;
            ++foldedCount;
        }
    }
    return (insensitive || foldedCount == 1) ? folded : nullptr;
}
} // namespace

int ColumnKindOfAdoType(std::int32_t t) {
    switch (t) {
    case 11: return 2;
    case 20: case 6: case 14: case 5: case 3: case 131: case 4: case 2: case 16: case 21:
    case 19: case 18: case 17: case 139: return 3;
    case 7: case 133: case 134: case 135: case 64: return 5;
    case 128: case 205: case 136: case 0: case 10: case 138: case 72: case 9: case 13:
    case 8: return 1;
    case 201: case 200: case 202: case 130: case 203: case 129: case 132: case 204:
    case 12: return 4;
    default: return 0;
    }
}

Catalog::Catalog(std::vector<CatalogTable> tables, SqlDialect dialect) : dialect_(dialect) {
    std::vector<std::string> keyNames;
    tables_.reserve(tables.size());
    columns_.reserve(tables.size());
    for (CatalogTable& t : tables) {
        for (CatalogKey& k : t.keys) {
            std::string name = k.name.empty() ? "FK_" + t.name + "_" + k.relatedTable : k.name;
            const std::string wanted = name;
            for (int n = 2; std::any_of(keyNames.begin(), keyNames.end(),
                                        [&](const std::string& used) { return equalsNoCaseAscii(used, name); });
                 ++n)
                name = wanted + "_" + std::to_string(n);
            keyNames.push_back(name);
            k.name = std::move(name);
        }
        auto table = std::make_shared<const CatalogTable>(std::move(t));
        std::vector<ColumnRef> columns;
        columns.reserve(table->columns.size());
        for (const CatalogColumn& c : table->columns) columns.emplace_back(table, &c);
        tables_.push_back(std::move(table));
        columns_.push_back(std::move(columns));
    }
}

TableRef Catalog::FindTable(std::string_view name) const {
    return FindByName(tables_, name, dialect_.Case == IdentifierCase::Insensitive);
}

size_t Catalog::IndexOf(const CatalogTable& table) const {
    for (size_t i = 0; i < tables_.size(); ++i)
        if (tables_[i].get() == &table) return i;
    throw AutomationError(kErrorFail, "Catalog", "The table '" + table.name + "' is not of this catalog.");
}

const std::vector<ColumnRef>& Catalog::Columns(const CatalogTable& table) const {
    return columns_[IndexOf(table)];
}

ColumnRef Catalog::FindColumn(const CatalogTable& table, std::string_view name) const {
    return FindByName(Columns(table), name, dialect_.Case == IdentifierCase::Insensitive);
}

bool Catalog::NamesEqual(std::string_view a, std::string_view b) const {
    return dialect_.Case == IdentifierCase::Insensitive ? equalsNoCaseAscii(a, b) : a == b;
}

bool TableOwnsColumn(const CatalogTable& table, const CatalogColumn* column) {
    return column >= table.columns.data() && column < table.columns.data() + table.columns.size();
}

CatalogRef CatalogOf(ado::Connection& connection) {
    const ado::NameRules rules = connection.nameRules();
    SqlDialect dialect;
    if (rules.doubleQuotesOnly) {
        // Names in double quotes keep their case; unquoted ones are folded.
        dialect.Quote = QuoteStyle::DoubleQuotes;
        dialect.Case = rules.identifierCase == 1   ? IdentifierCase::Upper
                       : rules.identifierCase == 2 ? IdentifierCase::Lower
                       : rules.identifierCase == 3 ? IdentifierCase::Sensitive
                                                   : IdentifierCase::Insensitive;
    }
    return std::make_shared<const Catalog>(connection.catalog(), dialect);
}

CatalogRef OpenCatalog(const std::string& connectionString) {
    Ref<ado::Connection> connection = makeRef<ado::Connection>();
    connection->open(connectionString);
    return CatalogOf(*connection);
}

} // namespace qz::query
