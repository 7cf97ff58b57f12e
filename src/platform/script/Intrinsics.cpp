#include "platform/script/Intrinsics.h"

#include "platform/automation/ErrorTexts.h"
#include "platform/script/Engine.h"
#include "platform/script/EngineDetail.h"
#include "platform/script/ScriptControl.h"
#include "platform/script/runtime/Runtime.h"
#include "platform/system/Locales.h"
#include "platform/ui/UiHost.h"

#include <array>

namespace qz::script {

namespace {

// Code compiled at run time (Eval, Execute) that does not compile fails the
// statement that ran it, as a run-time error On Error Resume Next can trap.
[[noreturn]] void failCompiling(const CompileError& ce) {
    std::string_view t = errorText(ce.number);
    throw AutomationError(ce.number, std::string(kCompileErrorSource),
                          t.empty() ? std::string(compileErrorText(ce.number)) : std::string(t));
}

struct IntrinsicInfo {
    std::u16string_view name;
    int minArgs, maxArgs;
};

constexpr std::array<IntrinsicInfo, kIntrinsicCount> kIntrinsics{{
    {u"Eval", 1, 1},
    {u"Execute", 1, 1},
    {u"ExecuteGlobal", 1, 1},
    {u"GetRef", 1, 1},
    {u"MsgBox", 1, 5},
    {u"InputBox", 1, 7},
    {u"CreateObject", 1, 2},
    {u"GetObject", 0, 2},
    {u"SetLocale", 0, 1},
    {u"GetLocale", 0, 0},
    {u"ScriptEngine", 0, 0},
    {u"ScriptEngineMajorVersion", 0, 0},
    {u"ScriptEngineMinorVersion", 0, 0},
    {u"ScriptEngineBuildVersion", 0, 0},
    {u"Err", 0, 0},
    {u"Randomize", 0, 1},
}};

const std::unordered_map<std::u16string_view, std::int32_t, NoCaseHash, NoCaseEqual>& intrinsicMap() {
    static const auto map = [] {
        std::unordered_map<std::u16string_view, std::int32_t, NoCaseHash, NoCaseEqual> m;
        for (std::size_t i = 0; i < kIntrinsics.size(); ++i) m.emplace(kIntrinsics[i].name, static_cast<std::int32_t>(i));
        return m;
    }();
    return map;
}

[[noreturn]] void fail(std::int32_t n) { throwRuntimeError(n); }

// SetLocale's argument: an LCID, a locale name, or 0 / nothing for the user's.
std::uint32_t lcidOf(const Variant& v) {
    if (v.isMissing() || v.isEmpty()) return sys::userDefaultLcid();
    if (v.isString()) {
        const std::u16string& s = v.stringValue();
        if (s.empty()) return sys::userDefaultLcid();
        bool digits = true;
        for (char16_t c : s) digits = digits && isAsciiDigit(c);
        if (!digits) {
            std::uint32_t id = sys::lcidFromName(toUtf8(s));
            if (!id) fail(err::InvalidCall);
            return id;
        }
    }
    std::int32_t id = v.toLong();
    if (id == 0) return sys::userDefaultLcid();
    if (id < 0) fail(err::InvalidCall);
    return static_cast<std::uint32_t>(id);
}

} // namespace

std::int32_t intrinsicId(std::u16string_view name) {
    auto it = intrinsicMap().find(name);
    return it == intrinsicMap().end() ? -1 : it->second;
}

void registerLibrary(std::unordered_map<std::u16string, std::int32_t, NoCaseHash, NoCaseEqual>& functions,
                     std::unordered_map<std::u16string, Variant, NoCaseHash, NoCaseEqual>& constants) {
    auto fns = builtinFunctions();
    for (std::size_t i = 0; i < fns.size(); ++i)
        functions.emplace(std::u16string(fns[i].name), static_cast<std::int32_t>(i));
    for (const auto& [name, value] : builtinConstants()) constants.emplace(name, value);
}

Variant Engine::callBuiltin(const Expr& e, Frame& f) {
    const BuiltinFunction& b = builtinFunctions()[static_cast<std::size_t>(e.slot)];
    const std::size_t n = e.args.size();
    if (static_cast<int>(n) < b.minArgs || static_cast<int>(n) > b.maxArgs) failNamed(err::WrongArgCount, e.name);
    Args args;
    evalArgs(e.args, args, f);
    Variant r;
    try {
        r = b.fn(args);
    } catch (AutomationError& ex) {
        rethrowNamed(ex, e.name);  // "Type mismatch: 'CLng'"
    }
    checkClock();
    return r;
}

// Dictionaries join the engine's list so that cycles through them can be
// found when the engine closes.
Variant Engine::createObjectByProgId(std::u16string_view progId) {
    Ref<Dispatch> obj;
    try {
        obj = createObject(progId);
    } catch (AutomationError& ex) {
        if (ex.Number == err::CannotCreateObject) failNamed(err::CannotCreateObject, progId);
        throw;
    }
    if (auto* d = dynamic_cast<Dictionary*>(obj.get())) d->joinList(link_->dictionaries);
    return Variant(std::move(obj));
}

Variant Engine::callIntrinsic(const Expr& e, Frame& f, bool asStatement) {
    const IntrinsicInfo& info = kIntrinsics[static_cast<std::size_t>(e.slot)];
    const std::size_t n = e.args.size();
    if (e.slot == kErr) {
        Variant errObj = errObjectValue();
        if (n == 0) return errObj;
        Args args;
        evalArgs(e.args, args, f);
        return indexInto(errObj, args);
    }
    if (static_cast<int>(n) < info.minArgs || static_cast<int>(n) > info.maxArgs) failNamed(err::WrongArgCount, e.name);
    Args a;
    evalArgs(e.args, a, f);
    checkClock();
    auto text = [&](std::size_t i) { return i < a.size() && !a[i].isMissing() ? a[i].toString() : std::u16string(); };
    switch (e.slot) {
    case kEval: {
        ExprPtr ex;
        try {
            ex = parseExpression(text(0));
        } catch (const CompileError& ce) {
            failCompiling(ce);
        }
        Scope sc;
        sc.explicitNames = f.block && f.block->optionExplicit;
        Binder::scopeOfFrame(sc, f);
        const Binder::Transient tb(binder_, *ex, sc);
        checkStack();
        DepthGuard dg(depth_);
        std::vector<Variant*> refs;
        Frame ef = withDynamic(f, refs);  // sees what Execute declared in this call
        Code code(sc.sites, sc.nums);
        const ActiveCode active(*this, code);
        ef.code = &code;
        return eval(*ex, ef);
    }
    case kExecute:
    case kExecuteGlobal: {
        checkStack();
        DepthGuard dg(depth_);
        try {
            auto block = parseProgram(text(0));
            if (e.slot == kExecute && (f.proc || f.me)) {
                // Runs in the caller's scope: what it declares belongs to the running call.
                if (f.proc && !f.dyn) f.dyn = makeRef<DynamicScope>();
                loadBlock(std::move(block), &f);
            }
            else loadBlock(std::move(block), nullptr);
        } catch (const CompileError& ce) {
            failCompiling(ce);
        }
        return {};
    }
    case kGetRef:
        return makeProcRef(text(0));
    case kMsgBox: {
        if (!control_.AllowUI()) fail(err::PermissionDenied);
        ui::UiHost& host = control_.uiHost() ? *control_.uiHost() : ui::currentHost();
        int style = a.size() > 1 && !a[1].isMissing() ? a[1].toLong() : 0;
        int r = host.msgBox(toUtf8(text(0)), style, toUtf8(text(2)));
        return Variant(static_cast<std::int16_t>(r));
    }
    case kInputBox: {
        if (!control_.AllowUI()) fail(err::PermissionDenied);
        ui::UiHost& host = control_.uiHost() ? *control_.uiHost() : ui::currentHost();
        auto r = host.inputBox(toUtf8(text(0)), toUtf8(text(1)), toUtf8(text(2)));
        return Variant(fromUtf8(r ? *r : std::string()));
    }
    case kCreateObject:
        return createObjectByProgId(text(0));
    case kGetObject: {
        // Only "GetObject(, class)" / "GetObject("", class)": a new object of the class.
        std::u16string path = text(0), cls = text(1);
        if (path.empty() && !cls.empty()) return createObjectByProgId(cls);
        fail(err::CannotCreateObject);
    }
    case kSetLocale: {
        std::uint32_t previous = currentLocale().lcid;
        std::uint32_t id = lcidOf(a.empty() ? Variant::missing() : a[0]);
        const LocaleFormat* fmt = sys::localeFormatFor(id);
        if (!fmt) fail(err::InvalidCall);
        setCurrentLocale(*fmt);
        return Variant(static_cast<std::int32_t>(previous));
    }
    case kGetLocale:
        return Variant(static_cast<std::int32_t>(currentLocale().lcid));
    case kScriptEngine:
        return Variant(u"VBScript");
    case kScriptEngineMajorVersion:
        return Variant(static_cast<std::int32_t>(5));
    case kScriptEngineMinorVersion:
        return Variant(static_cast<std::int32_t>(8));
    case kScriptEngineBuildVersion:
        return Variant(static_cast<std::int32_t>(16384));
    case kRandomize:
        if (a.empty() || a[0].isMissing()) randomize();
        else randomize(a[0]);
        if (!asStatement) fail(err::TypeMismatch);  // a statement, not a function: it has no value
        return {};
    default:
        fail(err::UndefinedVariable);
    }
}

} // namespace qz::script
