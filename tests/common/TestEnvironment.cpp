// Linked into every test binary: the binary runs with a home, data,
// configuration, state and temporary folder of its own, made before the first
// test and removed after the last, so that no test writes to the user's log
// or settings or leaves files behind. Programs the tests start inherit them.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct PrivateFolders {
    std::string root;
    pid_t owner = ::getpid();

    PrivateFolders() {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/qztest-XXXXXX";
        if (!::mkdtemp(tmpl.data())) return;
        root = tmpl;
        // A helper run as another user (a database server) may pass through.
        ::chmod(root.c_str(), 0755);
        // Caches stay shared: rebuilding them per binary only costs time.
        const char* home = std::getenv("HOME");
        if (!std::getenv("XDG_CACHE_HOME") && home && *home == '/')
            ::setenv("XDG_CACHE_HOME", (std::string(home) + "/.cache").c_str(), 1);
        for (const auto& [name, sub] : {std::pair{"HOME", "/home"}, {"XDG_DATA_HOME", "/home/.local/share"},
                                        {"XDG_CONFIG_HOME", "/home/.config"},
                                        {"XDG_STATE_HOME", "/home/.local/state"}, {"TMPDIR", "/tmp"}}) {
            std::error_code ec;
            std::filesystem::create_directories(root + sub, ec);
            ::setenv(name, (root + sub).c_str(), 1);
        }
    }
    ~PrivateFolders() {
        // Only the process that made them: a forked child that exits must not.
        if (root.empty() || ::getpid() != owner) return;
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
} gPrivateFolders;

} // namespace
