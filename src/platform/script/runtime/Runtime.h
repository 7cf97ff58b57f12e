// The script language's run-time library as the engine sees it: the built-in
// functions (looked up by name once, called with evaluated arguments), the
// vb... constants, and the registry of objects CreateObject can make.
//
// The engine itself provides Eval, Execute, ExecuteGlobal, GetRef, MsgBox,
// InputBox, CreateObject (through createObject), GetObject, SetLocale,
// GetLocale and the ScriptEngine functions.
#pragma once

#include "platform/automation/Dispatch.h"
#include "platform/automation/Ref.h"
#include "platform/automation/Variant.h"

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qz::script {

// Arguments arrive evaluated and by value; fewer than maxArgs when trailing
// optional ones are omitted, and an omitted one in the middle is
// Variant::missing().
using BuiltinFn = Variant (*)(std::span<Variant> args);

// maxArgs of a function that takes any number of arguments (Array).
inline constexpr int kAnyNumberOfArgs = 0x7FFFFFFF;

struct BuiltinFunction {
    std::u16string_view name;
    int minArgs;
    int maxArgs;
    BuiltinFn fn;
};

// Every built-in function, sorted by name without regard to case.
std::span<const BuiltinFunction> builtinFunctions();
// The function of a name (case-insensitive), or null.
const BuiltinFunction* findBuiltin(std::u16string_view name);

// The value IsNull, IsEmpty, IsNumeric, IsDate and VarType look at: an
// object's default value (a recordset field's Value), or the object itself
// when it has no default member or is Nothing. An error the default member
// raises (a field read at the end of its recordset) is the caller's.
Variant inquiryValue(const Variant& v);

// Every vb... constant with its value.
const std::vector<std::pair<std::u16string, Variant>>& builtinConstants();

using ObjectFactory = Ref<Dispatch> (*)();
// Registers a creatable object under a ProgID (compared without regard to case).
void registerCreatable(std::u16string_view progId, ObjectFactory factory);
// Makes an object by ProgID; throws 429 when none is registered.
Ref<Dispatch> createObject(std::u16string_view progId);

// Rnd's generator state for this thread. randomize() with no argument seeds
// from the clock; with an argument it seeds from the number, as Randomize n.
void randomize();
void randomize(const Variant& seed);

} // namespace qz::script
