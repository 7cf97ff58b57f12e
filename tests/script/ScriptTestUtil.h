// Helpers shared by the script tests: a control with code loaded, and a host
// object that records what the script asks of it.
#pragma once

#include "platform/automation/SimpleDispatch.h"
#include "platform/script/ScriptControl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace qz::script::test {

// Runs code in a fresh control and evaluates expressions afterwards.
struct Script {
    ScriptControl sc;
    Script() = default;
    explicit Script(std::string_view code) { sc.AddCode(code); }
    Variant eval(std::string_view e) { return sc.Eval(e); }
    std::string str(std::string_view e) { return sc.Eval(e).toUtf8(); }
    double num(std::string_view e) { return sc.Eval(e).toDouble(); }
};

// The error a call raises (Number 0 when it raises none).
template <class F>
AutomationError errorOf(F&& f) {
    try {
        f();
    } catch (const AutomationError& e) {
        return e;
    }
    return AutomationError();
}

// A host object: Log(text) appends to a log, Value is a default property,
// Fail(n, source, text) raises an automation error, Wait(ms) takes its time.
class Recorder : public SimpleDispatch<Recorder> {
public:
    static const MemberTable<Recorder>& members() {
        static const MemberTable<Recorder> t{
            {u"Value", kGet | kLet, 0, 0, &Recorder::value, true},
            {u"Log", kCall, 1, 1, &Recorder::logMember},
            {u"Fail", kCall, 1, 3, &Recorder::failMember},
            {u"Wait", kCall, 1, 1, &Recorder::waitMember},
            {u"Calls", kGet, 0, 0, &Recorder::callsMember},
            {u"Throw", kCall, 0, 0, &Recorder::throwMember},
        };
        return t;
    }
    std::u16string typeName() const override { return u"Recorder"; }

    std::string log;
    Variant stored;
    int calls = 0;

private:
    Variant value(std::uint8_t kind, std::span<Variant> args) {
        if (kind & kLet) {
            stored = args[0];
            return {};
        }
        return stored;
    }
    Variant logMember(std::uint8_t, std::span<Variant> args) {
        ++calls;
        log += args[0].toUtf8();
        log += '|';
        return {};
    }
    Variant failMember(std::uint8_t, std::span<Variant> args) {
        throw AutomationError(args[0].toLong(), args.size() > 1 ? args[1].toUtf8() : "Recorder",
                              args.size() > 2 ? args[2].toUtf8() : "recorder failure");
    }
    Variant waitMember(std::uint8_t, std::span<Variant> args) {
        std::this_thread::sleep_for(std::chrono::milliseconds(args[0].toLong()));
        return {};
    }
    Variant callsMember(std::uint8_t, std::span<Variant>) { return Variant(static_cast<std::int32_t>(calls)); }
    Variant throwMember(std::uint8_t, std::span<Variant>) { throw std::runtime_error("host bug"); }
};

} // namespace qz::script::test
