// Calls a built-in function by name the way the engine does: the name is
// looked up case-insensitively and the argument count is checked against the
// table.
#pragma once

#include "automation/Expect.h"
#include "automation/TestLocales.h"

#include "platform/automation/Text.h"
#include "platform/script/runtime/Runtime.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace qz::test {

inline Variant call(std::u16string_view name, std::initializer_list<Variant> args = {}) {
    const script::BuiltinFunction* f = script::findBuiltin(name);
    if (!f) throw AutomationError(35, "test", "no such function");
    std::vector<Variant> v(args);
    int n = static_cast<int>(v.size());
    if (n < f->minArgs || n > f->maxArgs)
        throw AutomationError(450, "test", "wrong number of arguments");
    return f->fn(v);
}

inline std::u16string callStr(std::u16string_view name, std::initializer_list<Variant> args = {}) {
    Variant r = call(name, args);
    EXPECT_TRUE(r.isString()) << "result of " << std::string(name.begin(), name.end());
    return r.stringValue();
}

inline Variant I(int v) { return Variant(static_cast<std::int16_t>(v)); }
inline Variant L(std::int32_t v) { return Variant(v); }
inline Variant D(double v) { return Variant(v); }
inline Variant S(const char16_t* s) { return Variant(s); }
inline Variant Missing() { return Variant::missing(); }

} // namespace qz::test
