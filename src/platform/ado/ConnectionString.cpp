#include "platform/ado/ConnectionString.h"

namespace qz::ado {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

} // namespace

bool isPasswordKey(std::string_view key) {
    return equalsNoCaseAscii(key, "Password") || equalsNoCaseAscii(key, "PWD") ||
           equalsNoCaseAscii(key, "Jet OLEDB:Database Password");
}

std::vector<ConnectionPair> parseConnectionString(std::string_view s) {
    std::vector<ConnectionPair> out;
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        while (i < n && (isSpace(s[i]) || s[i] == ';')) ++i;
        if (i >= n) break;
        const std::size_t keyBegin = i;
        while (i < n && s[i] != '=' && s[i] != ';') ++i;
        std::size_t keyEnd = i;
        while (keyEnd > keyBegin && isSpace(s[keyEnd - 1])) --keyEnd;
        ConnectionPair p{std::string(s.substr(keyBegin, keyEnd - keyBegin)), {}, i, i};
        if (i < n && s[i] == '=') {
            ++i;
            while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
            p.valueBegin = i;
            if (i < n && (s[i] == '"' || s[i] == '\'' || s[i] == '{')) {
                const char close = s[i] == '{' ? '}' : s[i];
                ++i;
                while (i < n) {
                    if (s[i] == close) {
                        if (i + 1 < n && s[i + 1] == close) {
                            p.value.push_back(close);
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    p.value.push_back(s[i++]);
                }
                p.valueEnd = i;
                // Whatever stands between the closing quote and the ";" is ignored.
                while (i < n && s[i] != ';') ++i;
            } else {
                while (i < n && s[i] != ';') ++i;
                std::size_t end = i;
                while (end > p.valueBegin && isSpace(s[end - 1])) --end;
                p.value.assign(s.substr(p.valueBegin, end - p.valueBegin));
                p.valueEnd = end;
            }
        }
        if (!p.key.empty()) out.push_back(std::move(p));
    }
    return out;
}

const std::string* findPair(const std::vector<ConnectionPair>& pairs, std::string_view key) {
    for (const ConnectionPair& p : pairs)
        if (equalsNoCaseAscii(p.key, key)) return &p.value;
    return nullptr;
}

std::string findValue(std::string_view text, std::string_view key) {
    const std::vector<ConnectionPair> pairs = parseConnectionString(text);
    const std::string* v = findPair(pairs, key);
    return v ? *v : std::string();
}

std::string quoteValue(std::string_view v) {
    bool needs = !v.empty() && (isSpace(v.front()) || isSpace(v.back()) || v.front() == '\'' ||
                                v.front() == '{');
    for (char c : v)
        if (c == ';' || c == '"') needs = true;
    return needs ? doubleQuoted(v) : std::string(v);
}

std::string doubleQuoted(std::string_view v) {
    std::string out = "\"";
    for (char c : v) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string quoteOdbcValue(std::string_view v) {
    bool needs = !v.empty() && (isSpace(v.front()) || isSpace(v.back()) || v.front() == '"' ||
                                v.front() == '\'');
    for (char c : v)
        if (c == ';' || c == '{' || c == '}') needs = true;
    if (!needs) return std::string(v);
    std::string out = "{";
    for (char c : v) {
        if (c == '}') out.push_back('}');
        out.push_back(c);
    }
    out.push_back('}');
    return out;
}

std::string maskSecrets(std::string_view text) {
    std::string out;
    std::size_t last = 0;
    for (const ConnectionPair& p : parseConnectionString(text)) {
        if (!isPasswordKey(p.key) || p.valueEnd == p.valueBegin) continue;
        out.append(text.substr(last, p.valueBegin - last));
        out.append("***");
        last = p.valueEnd;
    }
    out.append(text.substr(last));
    return out;
}

std::string maskSecretsIn(std::string message, std::string_view connectionString) {
    for (const ConnectionPair& p : parseConnectionString(connectionString)) {
        if (!isPasswordKey(p.key) || p.value.empty()) continue;
        for (std::size_t at = message.find(p.value); at != std::string::npos;
             at = message.find(p.value, at + 3))
            message.replace(at, p.value.size(), "***");
    }
    return message;
}

} // namespace qz::ado
