#include "platform/script/EngineObjects.h"

#include "platform/automation/ErrorTexts.h"

namespace qz::script {

namespace {

// A failure code of the system with a script error of its own gives that
// error's number (0x800A0000 + n is n); any other number stays as it is.
std::int32_t failureNumber(std::int32_t number) {
    static constexpr std::pair<std::uint32_t, std::int32_t> kKnown[] = {
        {0x8007000E, 7},   {0x80070057, 5},   {0x80070005, 70},  {0x80070002, 53},
        {0x80070003, 76},  {0x80004001, 445}, {0x80004002, 430}, {0x80020005, 13},
        {0x8002000A, 6},   {0x8002000B, 9},   {0x80020003, 438}, {0x80020006, 438},
        {0x8002000E, 450}, {0x8002000F, 449}, {0x80020012, 11},  {0x80040154, 429},
    };
    if (number >= 0) return number;
    for (const auto& [code, n] : kKnown)
        if (static_cast<std::uint32_t>(number) == code) return n;
    return scriptErrorNumber(number);
}

} // namespace

Variant ErrObject::raise(std::uint8_t, std::span<Variant> a) {
    std::int32_t n = failureNumber(a[0].toLong());
    // Beside failure codes (the top bit set) numbers stop at 65535.
    if (n == 0 || n > 65535) throwRuntimeError(err::InvalidCall);
    AutomationError e = runtimeError(n);
    // An unknown number keeps the generic text of the run time.
    if (errorText(n).empty()) e.Description = "Unknown runtime error";
    // A source, description, help file or help context left out is the one
    // Err holds already.
    if (!st().source.empty()) e.Source = toUtf8(st().source);
    if (!st().description.empty()) e.Description = toUtf8(st().description);
    if (!st().helpFile.empty()) e.HelpFile = toUtf8(st().helpFile);
    if (st().helpContext != 0) e.HelpContext = st().helpContext;
    if (hasArg(a, 1)) e.Source = a[1].toUtf8();
    if (hasArg(a, 2)) e.Description = a[2].toUtf8();
    if (hasArg(a, 3)) e.HelpFile = a[3].toUtf8();
    if (hasArg(a, 4)) e.HelpContext = a[4].toLong();
    throw e;
}

Variant ProcRef::invoke(std::int32_t id, std::uint8_t, std::span<Variant> args) {
    if (id != kDispidValue) throwRuntimeError(err::NoSuchMember);
    if (!link->engine) throwRuntimeError(err::ObjectRequired);
    return link->engine->invokeProc(*proc, args);
}

} // namespace qz::script
