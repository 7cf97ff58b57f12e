// Interim glue until the foundation's handler, code page and file reader are
// in the tree; replaced by calls into them.
#include "production/Errors.h"

#include <charconv>
#include <fstream>
#include <new>
#include <sstream>

namespace qz::production {

void raiseOwnError(std::int32_t id) {
    throw AutomationError(kOwnErrorBase + id, "QzStudio", "");
}

void raiseScriptError(std::int32_t number) {
    const char* text = number == kScriptTypeMismatch ? "Type mismatch"
                     : number == kScriptSubscriptOutOfRange ? "Subscript out of range"
                     : "";
    throw AutomationError(number, "QzStudio", text);
}

AutomationError currentError() {
    try {
        throw;
    } catch (const AutomationError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return AutomationError(7, "QzStudio", "Out of memory");
    } catch (const std::exception& e) {
        return AutomationError(kErrorFail, "QzStudio", e.what());
    } catch (...) {
        return AutomationError(kErrorFail, "QzStudio", "Unexpected error");
    }
}

void handleError(const AutomationError& error, std::string_view, std::string_view, int flags) {
    if (flags & kRaise) throw error;
}

std::string ansiToUtf8(std::string_view ansi) {
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(ansi.size());
    for (unsigned char c : ansi) {
        char32_t u = c < 0x80 ? c : (c < 0xA0 ? high[c - 0x80] : c);
        if (u < 0x80) out.push_back(static_cast<char>(u));
        else if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) raiseOwnError(3100);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::int32_t convertToLong(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    std::int64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) raiseScriptError(kScriptTypeMismatch);
    if (v < INT32_MIN || v > INT32_MAX) raiseScriptError(6);
    return static_cast<std::int32_t>(v);
}

} // namespace qz::production
