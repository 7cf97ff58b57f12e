// The process under a decimal-comma locale, as the studio runs under a German
// desktop (the toolkit sets the C library's locale from the environment): the
// system's de_DE.UTF-8, else one built with localedef into the test binary's
// own temporary folder, which LOCPATH then names.
#pragma once

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace qz::test {

class CommaLocale {
public:
    static constexpr const char* kName = "de_DE.UTF-8";

    // While it lives, LC_ALL (the environment's and the C library's) is the
    // comma locale; ok() says whether it could be had, why() why not.
    CommaLocale() {
        why_ = Prepare();
        if (!why_.empty()) return;
        const char* was = std::getenv("LC_ALL");
        hadLcAll_ = was != nullptr;
        if (was) lcAll_ = was;
        ::setenv("LC_ALL", kName, 1);
        ok_ = std::setlocale(LC_ALL, "") != nullptr && std::localeconv()->decimal_point == std::string(",");
        if (!ok_) why_ = std::string(kName) + " does not write numbers with a decimal comma";
    }
    ~CommaLocale() {
        if (hadLcAll_) ::setenv("LC_ALL", lcAll_.c_str(), 1);
        else ::unsetenv("LC_ALL");
        std::setlocale(LC_ALL, "C");
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool ok() const { return ok_; }
    const std::string& why() const { return why_; }

    // The environment assignments that start another program under it.
    std::string Env() const {
        const char* path = std::getenv("LOCPATH");
        return std::string("LC_ALL=") + kName + " LANG=" + kName +
               (path && *path ? std::string(" LOCPATH=") + path : std::string());
    }

private:
    // Builds the locale where the system has none (again when the folder it
    // was built into has gone with an earlier test's); the reason when that fails.
    static std::string Prepare() {
        if (Has()) return {};
        const std::string dir = (std::filesystem::temp_directory_path() / "locales").string();
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        const std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/" + kName + "' >/dev/null 2>&1";
        (void)std::system(cmd.c_str()); // warnings give a non-zero status too: the result decides
        ::setenv("LOCPATH", dir.c_str(), 1);
        if (Has()) return {};
        return std::string(kName) + " is not installed and localedef cannot build it (Debian package locales)";
    }
    static bool Has() {
        const bool has = std::setlocale(LC_NUMERIC, kName) != nullptr;
        std::setlocale(LC_NUMERIC, "C");
        return has;
    }

    bool ok_ = false, hadLcAll_ = false;
    std::string why_, lcAll_;
};

} // namespace qz::test
