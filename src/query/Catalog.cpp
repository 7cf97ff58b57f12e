#include "query/Catalog.h"

#include "platform/automation/AutomationError.h"
#include "query/OdbcCatalog.h"
#include "query/SqliteCatalog.h"

#include <algorithm>
#include <mutex>

namespace qz::query {

namespace {
// The table or column of that name: the exact spelling first, else one that
// differs only in case. A case-sensitive backend still folds unquoted names,
// so such a name is accepted there too when it is unambiguous.
template <class Ptr>
Ptr findByName(const std::vector<Ptr>& items, std::string_view name, bool insensitive) {
    Ptr folded;
    int foldedCount = 0;
    for (const auto& item : items) {
        if (item->Name == name) return item;
        if (equalsNoCaseAscii(item->Name, name)) {
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

// ---- CatalogTable ----------------------------------------------------------

void CatalogTable::Load() {
    if (loaded_) return;
    auto owner = owner_.lock();
    if (!owner)
        throw AutomationError(kErrorFail, "Catalog",
                              "The catalog of table '" + Name + "' is closed.");
    std::vector<ColumnRef> columns;
    std::vector<CatalogKey> keys;
    owner->LoadTable(*this, columns, keys);
    columns_ = std::move(columns);
    keys_ = std::move(keys);
    loaded_ = true;
}

const std::vector<ColumnRef>& CatalogTable::Columns() {
    Load();
    return columns_;
}

const std::vector<CatalogKey>& CatalogTable::Keys() {
    Load();
    return keys_;
}

ColumnRef CatalogTable::FindColumn(std::string_view name) {
    Load();
    auto owner = owner_.lock();
    return findByName(columns_, name, !owner || owner->Dialect().Case == IdentifierCase::Insensitive);
}

// ---- Catalog ---------------------------------------------------------------

TableRef Catalog::FindTable(std::string_view name) const {
    return findByName(tables_, name, dialect_.Case == IdentifierCase::Insensitive);
}

bool Catalog::NamesEqual(std::string_view a, std::string_view b) const {
    return dialect_.Case == IdentifierCase::Insensitive ? equalsNoCaseAscii(a, b) : a == b;
}

TableRef Catalog::AddTable(std::string name, std::string type) {
    auto t = std::make_shared<CatalogTable>();
    t->Name = std::move(name);
    t->Type = std::move(type);
    t->owner_ = weak_from_this();
    tables_.push_back(t);
    return t;
}

std::string Catalog::UniqueKeyName(std::string wanted) {
    std::string name = wanted;
    for (int n = 2;; ++n) {
        bool taken = std::any_of(keyNames_.begin(), keyNames_.end(),
                                 [&](const std::string& k) { return equalsNoCaseAscii(k, name); });
        if (!taken) break;
        name = wanted + "_" + std::to_string(n);
    }
    keyNames_.push_back(name);
    return name;
}

// ---- Connection strings ----------------------------------------------------

bool FindConnectionStringValue(std::string_view s, std::string_view key, std::string& value) {
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == ';' || s[i] == '\t')) ++i;
        size_t eq = s.find('=', i);
        if (eq == std::string_view::npos) return false;
        std::string_view k = s.substr(i, eq - i);
        while (!k.empty() && k.back() == ' ') k.remove_suffix(1);
        size_t v = eq + 1;
        while (v < s.size() && s[v] == ' ') ++v;
        std::string val;
        size_t end;
        if (v < s.size() && (s[v] == '"' || s[v] == '\'' || s[v] == '{')) {
            char close = s[v] == '{' ? '}' : s[v];
            size_t c = s.find(close, v + 1);
            if (c == std::string_view::npos) c = s.size();
            val = std::string(s.substr(v + 1, c - v - 1));
            end = s.find(';', c);
        } else {
            end = s.find(';', v);
            val = std::string(s.substr(v, (end == std::string_view::npos ? s.size() : end) - v));
            while (!val.empty() && val.back() == ' ') val.pop_back();
        }
        if (equalsNoCaseAscii(k, key)) {
            value = val;
            return true;
        }
        if (end == std::string_view::npos) return false;
        i = end + 1;
    }
    return false;
}

namespace {

std::mutex gOpenerMutex;
CatalogOpener gOpener;

CatalogRef DefaultOpenCatalog(const std::string& cs) {
    std::string v;
    if (FindConnectionStringValue(cs, "DSN", v) || FindConnectionStringValue(cs, "FILEDSN", v) ||
        FindConnectionStringValue(cs, "Driver", v))
        return OpenOdbcCatalog(cs);
    if (FindConnectionStringValue(cs, "Data Source", v)) return OpenSqliteCatalog(v);
    if (!cs.empty() && cs.find('=') == std::string::npos) return OpenSqliteCatalog(cs);
    throw AutomationError(kErrorFail, "QBSelectQuery",
                          "The connection string names no data source.");
}

} // namespace

void SetCatalogOpener(CatalogOpener opener) {
    std::lock_guard<std::mutex> lock(gOpenerMutex);
    gOpener = std::move(opener);
}

CatalogRef OpenCatalog(const std::string& connectionString) {
    CatalogOpener opener;
    {
        std::lock_guard<std::mutex> lock(gOpenerMutex);
        opener = gOpener;
    }
    return opener ? opener(connectionString) : DefaultOpenCatalog(connectionString);
}

} // namespace qz::query
