// Script engine: compiles and runs arbitrary text, then evaluates an
// expression in the same control (so that it can reach what the code
// declared). A short time-out ends run-time loops.
#include "common/FuzzEntries.h"

#include "platform/automation/AutomationError.h"
#include "platform/script/ScriptControl.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace qz::fuzz {

namespace {

// Texts that could reach the file system (objects made by name) are not run:
// a fuzzer must not be able to delete or write files.
bool reachesFiles(std::string_view text) {
    for (std::string_view name : {std::string_view("createobject"), std::string_view("getobject")}) {
        auto hit = std::search(text.begin(), text.end(), name.begin(), name.end(),
                               [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
        if (hit != text.end()) return true;
    }
    return false;
}

} // namespace

void Script(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (reachesFiles(text)) return;
    const std::size_t nul = text.find('\0');
    const std::string_view code = text.substr(0, nul);
    const std::string_view expression = nul == std::string_view::npos ? text : text.substr(nul + 1);

    script::ScriptControl sc;
    sc.setTimeout(50);
    try {
        sc.AddCode(code);
    } catch (const AutomationError&) {
    }
    try {
        Variant v = sc.Eval(expression);
        (void)v;
    } catch (const AutomationError&) {
    }
}

} // namespace qz::fuzz
