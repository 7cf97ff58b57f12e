// Helpers of the data-access tests: temporary folders, SQLite files made with
// the C API, and calls by member name as a script makes them.
#pragma once

#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace qz::ado::test {

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("qz-ado-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string str() const { return path_.string(); }
    void write(const std::string& name, const std::string& content) const {
        std::ofstream(path_ / name, std::ios::binary) << content;
    }

private:
    std::filesystem::path path_;
};

inline void makeSqlite(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "?";
        sqlite3_free(err);
        sqlite3_close(db);
        throw std::runtime_error(msg);
    }
    sqlite3_close(db);
}

// obj.Name(args...) as a script calls it (method or property get).
inline Variant call(Dispatch* obj, std::u16string_view name, std::vector<Variant> args = {}) {
    return obj->invokeByName(name, kInvokeMethod | kInvokePropertyGet, args);
}
inline Variant call(const Variant& obj, std::u16string_view name, std::vector<Variant> args = {}) {
    return call(obj.objectValue(), name, std::move(args));
}

inline std::string text(const Variant& v) { return v.toUtf8(); }

} // namespace qz::ado::test
