#include "core/ModDesigner.h"

#include "core/ModErrors.h"
#include "platform/automation/Text.h"
#include "platform/system/Locales.h"
#include "platform/ui/Controls.h"

#include <filesystem>

namespace qz {

namespace fs = std::filesystem;

namespace {

constexpr const char* kModule = "modDesigner";

// Stored paths may come from Windows: "\" separates like "/".
std::string withSlashes(std::string_view path) {
    std::string out(path);
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

// An absolute path as this system or Windows writes it: "/x", "\\server\x",
// "\x" or a drive letter ("C:\x", "C:/x").
bool isAbsolutePath(std::string_view path) noexcept {
    if (path.empty()) return false;
    if (path[0] == '/' || path[0] == '\\') return true;
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// The absolute, lexically normal form of a path, relative paths taken from
// the base folder (the current folder when the base is empty).
std::string absoluteIn(std::string_view base, std::string_view path) {
    std::error_code ec;
    fs::path p(withSlashes(path));
    if (!p.is_absolute()) {
        fs::path b = base.empty() ? fs::current_path(ec) : fs::path(withSlashes(base));
        if (!b.is_absolute()) b = fs::absolute(b, ec);
        p = b / p;
    }
    std::string out = p.lexically_normal().string();
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

std::string adjust(std::string_view connection, bool isFile, std::string_view folder) {
    if (toUpperAscii(connection).find("MICROSOFT.JET.OLEDB") != std::string::npos) {
        constexpr std::string_view kKey = "Data Source=";
        std::size_t at = connection.find(kKey);
        if (at == std::string_view::npos) return std::string(connection);
        std::size_t start = at + kKey.size();
        std::size_t end = connection.find(';', start);
        if (end == std::string_view::npos) end = connection.size();
        std::string_view value = connection.substr(start, end - start);

        std::string path;
        for (char c : value) {
            if (c != '"') path += c;
        }
        std::size_t first = path.find_first_not_of(' ');
        if (first == std::string::npos) return std::string(connection);
        path = path.substr(first, path.find_last_not_of(' ') - first + 1);
        if (isAbsolutePath(path)) return std::string(connection);

        // Only the value of "Data Source=" is replaced, so that the same text
        // elsewhere in the string (a user name, another key) stays as it was.
        std::size_t inValue = value.find(path);
        if (inValue == std::string_view::npos) return std::string(connection);
        std::string out(connection.substr(0, start + inValue));
        out += absoluteIn(folder, path);
        out += connection.substr(start + inValue + path.size());
        return out;
    }
    if (isFile && !fileExists(std::string(connection))) {
        std::string name = withSlashes(connection);
        std::size_t slash = name.find_last_of('/');
        if (slash != std::string::npos) name = name.substr(slash + 1);
        if (!name.empty()) {
            std::string candidate = absoluteIn(folder, name);
            if (fileExists(candidate)) return candidate;
        }
    }
    return std::string(connection);
}

} // namespace

std::string AdjustConnectionString(std::string_view connection, bool isFile, std::string_view templateFolder) {
    try {
        return adjust(connection, isFile, templateFolder);
    } catch (...) {
        throw HandleError(kModule, "AdjustConnectionString", kErrLog | kErrRaise);
    }
}

bool FileNameIdentical(std::string_view path1, std::string_view path2) {
    try {
        if (path1.empty() || path2.empty()) return false;
        return absoluteIn({}, path1) == absoluteIn({}, path2);
    } catch (...) {
        return false;
    }
}

std::string GetLocaleDateFormat(std::int32_t kind) {
    const char* fallback = kind == 0 ? "dd mmmm yyyy" : "dd/mm/yyyy";
    try {
        auto text = sys::localeInfo(sys::userDefaultLcid(),
                                    kind == 0 ? sys::LOCALE_SLONGDATE : sys::LOCALE_SSHORTDATE);
        // The answer had to fit a buffer of 100 characters with its end mark.
        if (!text || text->empty() || text->size() > 99) return fallback;
        return *text;
    } catch (...) {
        return fallback;
    }
}

std::string GetLocaleCurrencySymbol() {
    try {
        auto text = sys::localeInfo(sys::userDefaultLcid(), sys::LOCALE_SCURRENCY);
        if (!text) return "$";
        return text->substr(0, text->find('\0'));
    } catch (...) {
        return "$";
    }
}

std::string ManageCarriageReturn(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void ManageCarriageReturn(ui::TextBox& box) {
    try {
        box.Text = ManageCarriageReturn(box.Text);
    } catch (...) {
        throw HandleError(kModule, "ManageCarriageReturn", kErrLog | kErrRaise);
    }
}

bool ValidCnOrCmdName(std::string_view name) noexcept {
    if (name.empty()) return false;
    if ((name[0] >= '0' && name[0] <= '9') || name[0] == '_') return false;
    for (char c : name) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) return false;
    }
    return true;
}

} // namespace qz
