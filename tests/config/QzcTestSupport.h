// Temporary folders, real files and error checks for the QZC model tests.
#pragma once

#include "platform/automation/AutomationError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

namespace qz::test {

class TempDir {
public:
    // inMemory: in a memory file system when there is one (many small writes).
    explicit TempDir(bool inMemory = false) {
        std::filesystem::path base = std::filesystem::temp_directory_path();
        std::error_code ec;
        if (inMemory && std::filesystem::is_directory("/dev/shm", ec)) base = "/dev/shm";
        std::string tmpl = (base / "qzcfg-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) std::abort();
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

    std::string write(std::string_view name, std::string_view bytes) const {
        const std::string p = file(name);
        std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p;
    }

    // Names of the entries of the folder, sorted.
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        for (auto& e : std::filesystem::directory_iterator(path_)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The number an own error of a message id is raised with.
inline std::int32_t ownError(std::int32_t id) { return kOwnErrorBase + id; }

// Runs fn and returns the number of the AutomationError it raised (0 when it
// raised nothing; any other exception fails the test).
inline std::int32_t errorNumberOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const AutomationError& e) {
        return e.Number;
    }
    return 0;
}

// Keeps the error log of the tests out of the user's folders.
class LogInTempFolder : public ::testing::Environment {
public:
    void SetUp() override { setenv("XDG_DATA_HOME", dir_.path().c_str(), 1); }

private:
    TempDir dir_;
};

} // namespace qz::test
