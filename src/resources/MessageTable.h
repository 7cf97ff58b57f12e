// The message table: the user-visible texts of the system, by numeric id
// (language 1033). Errors of the system's own are raised with the number
// kOwnErrorBase + id and the text of that id.
#pragma once

#include <cstdint>
#include <string_view>

namespace qz::res {

// The text of a message id; empty when the table holds no text for it.
std::string_view messageText(std::int32_t id) noexcept;

// True when the table holds a text for the id.
bool hasMessage(std::int32_t id) noexcept;

} // namespace qz::res
