#include "query/SqliteCatalog.h"

#include "platform/automation/AutomationError.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>

namespace qz::query {

namespace {

std::string Upper(std::string_view s) {
    std::string r(s);
    for (auto& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return r;
}

std::string ColumnText(sqlite3_stmt* st, int i) {
    const unsigned char* p = sqlite3_column_text(st, i);
    return p ? std::string(reinterpret_cast<const char*>(p),
                           static_cast<size_t>(sqlite3_column_bytes(st, i)))
             : std::string();
}

// A pragma's argument is an identifier; double quotes with doubling keep any name intact.
std::string Quoted(const std::string& name) {
    std::string r = "\"";
    for (char c : name) {
        r += c;
        if (c == '"') r += '"';
    }
    return r + "\"";
}

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st_, nullptr) != SQLITE_OK) Fail();
    }
    ~Statement() { sqlite3_finalize(st_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool Step() {
        int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) Fail();
        return false;
    }
    sqlite3_stmt* get() const { return st_; }

private:
    [[noreturn]] void Fail() {
        throw AutomationError(kErrorFail, "Catalog",
                              std::string("SQLite catalog: ") + sqlite3_errmsg(db_));
    }
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

class SqliteCatalog final : public Catalog {
public:
    explicit SqliteCatalog(sqlite3* db) : db_(db) {}
    ~SqliteCatalog() override { sqlite3_close(db_); }

    void ReadTables() {
        dialect_ = SqlDialect{QuoteStyle::Brackets, IdentifierCase::Insensitive};
        std::vector<std::pair<std::string, std::string>> list;
        Statement st(db_, "PRAGMA main.table_list");
        while (st.Step()) {
            std::string name = ColumnText(st.get(), 1), type = ColumnText(st.get(), 2);
            std::string adoType;
            if (type == "view")
                adoType = "VIEW";
            else if (type == "shadow" || equalsNoCaseAscii(name.substr(0, 7), "sqlite_"))
                adoType = "SYSTEM TABLE";
            else
                adoType = "TABLE";
            list.emplace_back(std::move(name), std::move(adoType));
        }
        std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
            return Upper(a.first) < Upper(b.first);
        });
        for (auto& [n, t] : list) AddTable(std::move(n), std::move(t));
    }

protected:
    void LoadTable(const CatalogTable& table, std::vector<ColumnRef>& columns,
                   std::vector<CatalogKey>& keys) override {
        {
            Statement st(db_, "PRAGMA main.table_xinfo(" + Quoted(table.Name) + ")");
            while (st.Step()) {
                if (sqlite3_column_int(st.get(), 6) == 1) continue; // hidden column
                auto c = std::make_shared<CatalogColumn>();
                c->Name = ColumnText(st.get(), 1);
                SqliteDeclaredTypeToAdo(ColumnText(st.get(), 2), c->Type, c->DefinedSize);
                columns.push_back(std::move(c));
            }
        }
        if (table.Type == "VIEW") return;
        // Rows come grouped by key id, the last declared key first.
        std::map<int, CatalogKey, std::greater<int>> byId;
        std::map<int, std::string> parentOf;
        {
            Statement st(db_, "PRAGMA main.foreign_key_list(" + Quoted(table.Name) + ")");
            while (st.Step()) {
                int id = sqlite3_column_int(st.get(), 0);
                CatalogKey& k = byId[id];
                k.RelatedTable = ColumnText(st.get(), 2);
                CatalogKeyColumn kc;
                kc.Name = ColumnText(st.get(), 3);
                kc.RelatedColumn = ColumnText(st.get(), 4);
                k.Columns.push_back(std::move(kc));
            }
        }
        for (auto it = byId.rbegin(); it != byId.rend(); ++it) {
            CatalogKey k = std::move(it->second);
            TableRef parent = FindTable(k.RelatedTable);
            if (!parent) continue; // a key to a missing table relates nothing
            k.RelatedTable = parent->Name;
            // A key without named parent columns refers to the parent's primary key.
            bool missing = std::any_of(k.Columns.begin(), k.Columns.end(),
                                       [](const CatalogKeyColumn& c) { return c.RelatedColumn.empty(); });
            if (missing) {
                std::vector<std::pair<int, std::string>> ppk;
                Statement st(db_, "PRAGMA main.table_info(" + Quoted(parent->Name) + ")");
                while (st.Step())
                    if (int n = sqlite3_column_int(st.get(), 5); n > 0)
                        ppk.emplace_back(n, ColumnText(st.get(), 1));
                std::sort(ppk.begin(), ppk.end());
                if (ppk.size() != k.Columns.size()) continue;
                for (size_t i = 0; i < ppk.size(); ++i) k.Columns[i].RelatedColumn = ppk[i].second;
            }
            k.Type = 2;
            k.Name = UniqueKeyName("FK_" + table.Name + "_" + parent->Name);
            keys.push_back(std::move(k));
        }
    }

private:
    sqlite3* db_;
};

} // namespace

void SqliteDeclaredTypeToAdo(std::string_view declared, std::int32_t& adoType,
                             std::int64_t& size) {
    std::string t = Upper(declared);
    size = 0;
    if (auto open = t.find('('); open != std::string::npos) {
        std::int64_t n = 0;
        size_t i = open + 1;
        while (i < t.size() && t[i] == ' ') ++i;
        bool digits = false;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9' && n < 1000000000) {
            n = n * 10 + (t[i++] - '0');
            digits = true;
        }
        if (digits) size = n;
        t.resize(open);
    }
    while (!t.empty() && t.back() == ' ') t.pop_back();
    auto has = [&](const char* s) { return t.find(s) != std::string::npos; };
    if (t.empty()) { adoType = 12; size = 0; }
    else if (has("BOOL") || t == "BIT") { adoType = 11; size = 0; }
    else if (has("BIGINT")) { adoType = 20; size = 0; }
    else if (has("SMALLINT")) { adoType = 2; size = 0; }
    else if (has("TINYINT")) { adoType = 16; size = 0; }
    else if (has("INT")) { adoType = 3; size = 0; }
    else if (has("VARCHAR") || has("VARYING")) adoType = size > 0 ? 202 : 203;
    else if (has("CHAR")) adoType = size > 0 ? 130 : 203;
    else if (has("CLOB") || has("TEXT")) { adoType = 203; size = 0; }
    else if (has("GUID") || has("UUID")) { adoType = 72; size = 0; }
    else if (has("VARBINARY")) adoType = 204;
    else if (has("BLOB") || has("BINARY")) { adoType = 205; size = 0; }
    else if (has("TIMESTAMP") || has("DATETIME")) { adoType = 135; size = 0; }
    else if (has("DATE")) { adoType = 133; size = 0; }
    else if (has("TIME")) { adoType = 134; size = 0; }
    else if (has("REAL") || has("FLOA") || has("DOUB")) { adoType = 5; size = 0; }
    else if (has("MONEY") || has("CURRENCY")) { adoType = 6; size = 0; }
    else if (has("DEC")) { adoType = 14; size = 0; }
    else { adoType = 131; size = 0; } // numeric affinity
}

CatalogRef OpenSqliteCatalog(const std::string& path) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw AutomationError(kErrorFail, "QBSelectQuery",
                              "Cannot open the database '" + path + "': " + msg);
    }
    auto catalog = std::make_shared<SqliteCatalog>(db);
    try {
        catalog->ReadTables();
    } catch (const AutomationError& e) {
        throw AutomationError(kErrorFail, "QBSelectQuery",
                              "Cannot open the database '" + path + "': " + e.Description);
    }
    return catalog;
}

} // namespace qz::query
