// Connection strings read as key=value pairs separated by ";". A value may be
// quoted with double or single quotes (a doubled quote inside stands for one)
// or with braces (a doubled "}" inside stands for one), so that a value can
// hold ";" and quotes. Keys compare without regard to case.
#pragma once

#include "platform/automation/Text.h"

#include <string>
#include <string_view>
#include <vector>

namespace qz::ado {

struct ConnectionPair {
    std::string key;        // trimmed, as written
    std::string value;      // unquoted
    std::size_t valueBegin; // span of the value as written (quotes included)
    std::size_t valueEnd;
};

std::vector<ConnectionPair> parseConnectionString(std::string_view text);

// The value of the first pair with this key (any letter case); null when absent.
const std::string* findPair(const std::vector<ConnectionPair>& pairs, std::string_view key);
// The value of the first pair with this key (any letter case); "" when absent.
std::string findValue(std::string_view text, std::string_view key);

// A value as it must be written after "key=": unchanged when it can be read
// back as it stands, otherwise in double quotes (OLE DB style) or braces (ODBC).
std::string quoteValue(std::string_view value);
std::string quoteOdbcValue(std::string_view value);
// The value in double quotes, each quote inside it doubled.
std::string doubleQuoted(std::string_view value);

// The text with every password value replaced by "***", for logs and messages.
std::string maskSecrets(std::string_view text);
// Removes every password of the connection string from a message text.
std::string maskSecretsIn(std::string message, std::string_view connectionString);

bool isPasswordKey(std::string_view key);

} // namespace qz::ado
