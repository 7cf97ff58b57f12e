// Member tables of the layer's automation objects: names resolved to ids once,
// without regard to case, so that calls by id never compare names.
#pragma once

#include "platform/automation/Dispatch.h"
#include "platform/automation/Text.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace qz::ado {

struct MemberName {
    std::u16string_view name;
    std::int32_t id;
};

// Names of members, fields, tables and columns compare without regard to
// case, letters outside ASCII included.
inline bool equalsFolded(std::u16string_view a, std::u16string_view b) { return equalsNoCase(a, b); }

inline std::int32_t findMember(std::span<const MemberName> table, std::u16string_view name) {
    for (const MemberName& m : table)
        if (equalsFolded(m.name, name)) return m.id;
    return kDispidUnknown;
}

// An argument that the caller left out (the script passes the missing marker).
inline bool isMissing(std::span<Variant> args, std::size_t i) {
    return i >= args.size() || args[i].isMissing();
}

[[noreturn]] void raiseNotSupported(std::string_view source);

} // namespace qz::ado
