// A private home for one test: a fresh temporary folder with HOME and the XDG
// folders pointing into it, restored and removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>

namespace qz::test {

// "<prefix><1 to 4 upper-case hex digits>.TMP"
inline bool isTempName(const std::string& name, const std::string& prefix) {
    if (name.rfind(prefix, 0) != 0 || name.size() < prefix.size() + 5) return false;
    std::string hex = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    if (name.substr(name.size() - 4) != ".TMP" || hex.empty() || hex.size() > 4) return false;
    return hex.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

class ScopedEnv {
public:
    ~ScopedEnv() {
        for (auto& [name, old] : saved_) {
            if (old) ::setenv(name.c_str(), old->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
    }
    void set(const std::string& name, const std::string& value) {
        remember(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void unset(const std::string& name) {
        remember(name);
        ::unsetenv(name.c_str());
    }

private:
    void remember(const std::string& name) {
        if (saved_.count(name)) return;
        const char* v = std::getenv(name.c_str());
        saved_[name] = v ? std::optional<std::string>(v) : std::nullopt;
    }
    std::map<std::string, std::optional<std::string>> saved_;
};

class TestHome {
public:
    TestHome() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qzhome-XXXXXX").string();
        root_ = ::mkdtemp(tmpl.data()) ? tmpl : std::string{};
        env.set("HOME", root_);
        env.set("XDG_DATA_HOME", root_ + "/data");
        env.set("XDG_CONFIG_HOME", root_ + "/config");
        env.set("XDG_STATE_HOME", root_ + "/state");
        env.set("XDG_CONFIG_DIRS", root_ + "/etc");
        env.unset("XDG_DOCUMENTS_DIR");
        // Temporary files and the private fallback folders land beside it.
        std::filesystem::create_directory(tmp());
        env.set("TMPDIR", tmp());
    }
    ~TestHome() {
        std::error_code ec;
        if (!root_.empty()) std::filesystem::remove_all(root_, ec);
        if (!root_.empty()) std::filesystem::remove_all(tmp(), ec);
    }
    const std::string& root() const { return root_; }
    std::string tmp() const { return root_ + ".tmp"; }
    std::string appData() const { return root_ + "/data/Pellitron/Quorvane Studio 2004"; }

    static void write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    ScopedEnv env;

private:
    std::string root_;
};

} // namespace qz::test
