// The functions the engine provides itself (they need its state: Eval,
// Execute, GetRef, the Err object, locales, user interface), and the binding
// of the run-time library's functions and constants.
#pragma once

#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qz::script {

enum Intrinsic : std::int32_t {
    kEval, kExecute, kExecuteGlobal, kGetRef, kMsgBox, kInputBox, kCreateObject, kGetObject,
    kSetLocale, kGetLocale, kScriptEngine, kScriptEngineMajorVersion, kScriptEngineMinorVersion,
    kScriptEngineBuildVersion, kErr, kRandomize, kIntrinsicCount
};

// The intrinsic of a name (case-insensitive), or -1.
std::int32_t intrinsicId(std::u16string_view name);

// Fills the name tables of the run-time library's functions and constants.
void registerLibrary(std::unordered_map<std::u16string, std::int32_t, NoCaseHash, NoCaseEqual>& functions,
                     std::unordered_map<std::u16string, Variant, NoCaseHash, NoCaseEqual>& constants);

} // namespace qz::script
