#include "core/ModDesigner.h"

#include "core/ModErrors.h"
#include "platform/ado/ConnectionString.h"
#include "platform/automation/Text.h"
#include "platform/system/Locales.h"
#include "platform/system/Paths.h"
#include "platform/ui/Controls.h"
#include "platform/ui/UiHost.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace qz {

namespace fs = std::filesystem;

namespace {

constexpr const char* kModule = "modDesigner";

using sys::isAbsolutePath;
using sys::withSlashes;

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

// Whether the provider of these pairs reads a file named by "Data Source":
// the Jet and ACE providers, SQLite, and a string with no provider that names
// no ODBC source (it is taken for a database file).
bool namesDataFile(const std::vector<ado::ConnectionPair>& pairs) {
    const std::string* provider = ado::findPair(pairs, "Provider");
    if (!provider) return !ado::findPair(pairs, "DSN") && !ado::findPair(pairs, "Driver") &&
                          !ado::findPair(pairs, "FileDSN");
    const std::string p = toLowerAscii(*provider);
    return p.starts_with("microsoft.jet.oledb") || p.starts_with("microsoft.ace.oledb") ||
           p.starts_with("sqlite");
}

// A relative data file of a connection string, made absolute in the template
// folder; the key may be written in any case, quotes around the value stay.
std::string adjustConnection(std::string_view connection, std::string_view folder) {
    const std::vector<ado::ConnectionPair> pairs = ado::parseConnectionString(connection);
    if (pairs.empty() || !namesDataFile(pairs)) return std::string(connection);
    // A bare path is the whole text.
    if (pairs.size() == 1 && connection.find('=') == std::string_view::npos) {
        const std::string path(trimSpaces(connection));
        return isAbsolutePath(path) ? std::string(connection) : absoluteIn(folder, path);
    }
    for (const ado::ConnectionPair& pair : pairs) {
        if (!equalsNoCaseAscii(pair.key, "Data Source")) continue;
        const std::string path(trimSpaces(pair.value));
        if (path.empty() || isAbsolutePath(path)) return std::string(connection);
        const std::string absolute = absoluteIn(folder, path);
        const std::string_view written = connection.substr(pair.valueBegin, pair.valueEnd - pair.valueBegin);
        std::string value;
        if (!written.empty() && (written.front() == '"' || written.front() == '\'')) {
            // Written in quotes: the new path in the same quotes.
            const char quote = written.front();
            value += quote;
            for (char c : absolute) {
                if (c == quote) value += quote;
                value += c;
            }
            value += quote;
        } else {
            value = ado::quoteValue(absolute);
        }
        std::string out(connection.substr(0, pair.valueBegin));
        out += value;
        out += connection.substr(pair.valueEnd);
        return out;
    }
    return std::string(connection);
}

// A saved recordset's file: a relative name is taken in the template folder;
// a file that is not where it is named is looked for there by its name.
std::string adjustFile(std::string_view file, std::string_view folder) {
    const std::string path(file);
    if (path.empty()) return path;
    const bool relative = !isAbsolutePath(path);
    const std::string inFolder = relative ? absoluteIn(folder, path) : path;
    if (sys::regularFileExists(inFolder)) return inFolder;
    const std::string name = sys::lastPathComponent(path);
    if (!name.empty()) {
        const std::string candidate = absoluteIn(folder, name);
        if (sys::regularFileExists(candidate)) return candidate;
    }
    // Missing everywhere: a relative name still means the template folder, so
    // that the error names the place looked at and no other folder is read.
    return inFolder;
}

std::string adjust(std::string_view connection, bool isFile, std::string_view folder) {
    return isFile ? adjustFile(connection, folder) : adjustConnection(connection, folder);
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

void FitTextToControl(ui::Form& form, ui::Control& control, const std::string& text,
                      std::int32_t flags) {
    auto* box = dynamic_cast<ui::TextBox*>(&control);
    auto* label = dynamic_cast<ui::Label*>(&control);
    if (!box && !label)
        throw AutomationError(438, std::string(kErrorSource), "Object doesn't support this property or method");
    control.Tag = text;
    const ui::ElideMode mode = (flags & DT_PATH_ELLIPSIS) ? ui::ElideMode::Middle
                             : (flags & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) ? ui::ElideMode::Right
                                                                             : ui::ElideMode::None;
    const int width = static_cast<int>(std::lround(std::max(control.Width, 0) * 0.97));
    std::string shown = ui::currentHost().elideText(text, width, control.Font, mode);
    // A tooltip left from an earlier, longer text would name the wrong path.
    control.ToolTipText = shown != text ? text : std::string();
    (box ? box->Text : label->Caption) = std::move(shown);
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
