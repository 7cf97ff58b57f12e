// The process under a decimal-comma locale, as the studio runs under a German
// desktop (the toolkit sets the C library's locale from the environment): the
// system's de_DE.UTF-8, else one built with localedef into the test binary's
// own temporary folder, which LOCPATH then names while the object lives.
#pragma once

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace qz::test {

class CommaLocale {
public:
    static constexpr const char* kName = "de_DE.UTF-8";

    // While it lives, LC_ALL (the environment's and the C library's) is the
    // comma locale; ok() says whether it could be had, why() why not.
    CommaLocale() : lcAll_(Get("LC_ALL")), locPath_(Get("LOCPATH")) {
        why_ = Prepare();
        if (!why_.empty()) return;
        ::setenv("LC_ALL", kName, 1);
        ok_ = std::setlocale(LC_ALL, "") != nullptr && std::localeconv()->decimal_point == std::string(",");
        if (!ok_) why_ = std::string(kName) + " does not write numbers with a decimal comma";
    }
    // Everything as it was: later code does not look for data in the folder.
    ~CommaLocale() {
        Set("LC_ALL", lcAll_);
        Set("LOCPATH", locPath_);
        std::setlocale(LC_ALL, "C");
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool ok() const { return ok_; }
    const std::string& why() const { return why_; }

    // The environment assignments that start another program under it.
    std::string Env() const {
        const std::optional<std::string> path = Get("LOCPATH");
        return std::string("LC_ALL=") + kName + " LANG=" + kName + (path ? " LOCPATH=" + *path : std::string());
    }

private:
    static std::optional<std::string> Get(const char* name) {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    }
    static void Set(const char* name, const std::optional<std::string>& value) {
        if (value) ::setenv(name, value->c_str(), 1);
        else ::unsetenv(name);
    }
    static bool Has() {
        const bool has = std::setlocale(LC_NUMERIC, kName) != nullptr;
        std::setlocale(LC_NUMERIC, "C");
        return has;
    }
    // The system's locale, else the one built earlier in this process (built
    // again when its folder has gone with an earlier test's); the reason when
    // it cannot be had.
    static std::string Prepare() {
        static std::string built;
        if (Has()) return {};
        std::error_code ec;
        if (built.empty() || !std::filesystem::exists(built + "/" + kName, ec)) {
            built = (std::filesystem::temp_directory_path() / "locales").string();
            std::filesystem::create_directories(built, ec);
            const std::string cmd = "localedef -i de_DE -f UTF-8 '" + built + "/" + kName + "' >/dev/null 2>&1";
            (void)std::system(cmd.c_str()); // warnings give a non-zero status too: the result decides
        }
        ::setenv("LOCPATH", built.c_str(), 1);
        if (Has()) return {};
        return std::string(kName) + " is not installed and localedef cannot build it (Debian package locales)";
    }

    bool ok_ = false;
    std::optional<std::string> lcAll_, locPath_;
    std::string why_;
};

} // namespace qz::test
