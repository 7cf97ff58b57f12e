// Conformance cases: small programs with the result the language gives for
// them. A case runs in a fresh control under locale 1033; its result is
// written as "Subtype:value" so that one string states both the subtype and
// the value, or as "err:N" when the program or the expression raises N.
#pragma once

#include "platform/script/ScriptControl.h"

#include <gtest/gtest.h>

#include <span>
#include <string>

namespace qz::script::conformance {

struct Case {
    std::string code;     // statements run first (may be empty)
    std::string expr;     // expression whose value is the result
    std::string expected; // "Integer:2", "String:ab", "err:13", ...
};

// "Integer:5", "Double:0.30000000000000004" (shortest round trip),
// "Currency:1.5", "Date:2004-01-31 18:00:00", "String:abc", "Boolean:True",
// "Empty", "Null", "Nothing", "Object:<type name>", "Array[...]" for one dimension.
std::string describe(const Variant& v);

// Runs one case and describes its result.
std::string run(const Case& c);

// Runs every case and reports each mismatch with its program.
void expectAll(std::span<const Case> cases);

} // namespace qz::script::conformance
