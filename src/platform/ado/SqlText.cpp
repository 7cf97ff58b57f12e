#include "platform/ado/SqlText.h"

#include "platform/ado/AdoTypes.h"

#include <string>

namespace qz::ado {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool oneStatementWhen(std::string_view s, bool backslashEscapes, bool dashesNeedBlank) {
    const std::size_t n = s.size();
    bool ended = false; // a ";" outside quotes was met
    std::size_t i = 0;
    while (i < n) {
        const char c = s[i];
        if (isBlank(c)) {
            ++i;
        } else if (c == '-' && i + 1 < n && s[i + 1] == '-' && (!dashesNeedBlank || i + 2 >= n || isBlank(s[i + 2]))) {
            while (i < n && s[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            // Not nested: a server that nests reads more as comment than this.
            const std::size_t close = s.find("*/", i + 2);
            i = close == std::string_view::npos ? n : close + 2;
        } else if (c == ';') {
            ended = true;
            ++i;
        } else if (ended) {
            return false;
        } else if (c == '\'' || c == '"') {
            ++i;
            while (i < n) {
                if (backslashEscapes && s[i] == '\\') {
                    i += 2;
                } else if (s[i] == c) {
                    ++i;
                    if (i < n && s[i] == c) ++i; // a doubled quote inside
                    else break;
                } else {
                    ++i;
                }
            }
        } else {
            ++i;
        }
    }
    return true;
}

} // namespace

bool holdsOneStatement(std::string_view sql) {
    for (const bool backslash : {false, true})
        for (const bool dashes : {false, true})
            if (!oneStatementWhen(sql, backslash, dashes)) return false;
    return true;
}

void checkParameterCount(std::string_view source, std::ptrdiff_t markers, std::size_t values) {
    if (markers == static_cast<std::ptrdiff_t>(values)) return;
    raiseProvider(source, "The statement has " + std::to_string(markers) + " parameter markers (\"?\") and " +
                              std::to_string(values) + " values were given for them.");
}

} // namespace qz::ado
