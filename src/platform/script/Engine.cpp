// The VBScript engine: the tree interpreter (statements, expressions, calls)
// and script class instances. Binding of names to slots is in Binder.cpp,
// numeric expressions in NumericCode.cpp, the Err object and GetRef values in
// EngineObjects.cpp, the time-out and memory ceiling in Watchdog.cpp.
#include "platform/script/Engine.h"
#include "platform/script/EngineDetail.h"

#include "platform/automation/ErrorTexts.h"
#include "platform/automation/VariantOps.h"
#include "platform/script/EngineObjects.h"
#include "platform/script/Intrinsics.h"
#include "platform/script/ScriptControl.h"
#include "platform/script/Watchdog.h"
#include "platform/script/runtime/Runtime.h"

#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace qz::script {

namespace {

constexpr std::size_t kValueStack = 1u << 16;   // variables of all active frames
constexpr std::size_t kMaxStringLength = std::size_t(1) << 28;  // UTF-16 code units built by &
constexpr std::int32_t kUnqualifiedReference = 505;  // ".member" outside any With

[[noreturn]] void fail(std::int32_t n) { throwRuntimeError(n); }

// The relation of a comparison operator (= for any other).
ops::Relation relationOf(Op op) {
    switch (op) {
    case Op::Ne: return ops::Relation::Ne;
    case Op::Lt: return ops::Relation::Lt;
    case Op::Le: return ops::Relation::Le;
    case Op::Gt: return ops::Relation::Gt;
    case Op::Ge: return ops::Relation::Ge;
    default: return ops::Relation::Eq;
    }
}

// A comparison by the language's rules: those of ops::relate, except that
// a Single meets a Double at Single precision (CSng(0.3) = 0.3) and that a
// string never equals a Boolean (it is the greater, as against a number).
Variant compareValues(Op op, const Variant& a, const Variant& b, std::uint8_t literalFlags) {
    const VarType ta = a.type(), tb = b.type();
    if ((ta == VarType::Single && tb == VarType::Double) || (ta == VarType::Double && tb == VarType::Single)) {
        const float x = ta == VarType::Single ? a.singleValue() : static_cast<float>(a.doubleValue());
        const float y = tb == VarType::Single ? b.singleValue() : static_cast<float>(b.doubleValue());
        if (x == x && y == y) return Variant(holds(op, x, y));
    }
    if ((ta == VarType::String && tb == VarType::Boolean) || (ta == VarType::Boolean && tb == VarType::String))
        return Variant(holds(op, ta == VarType::String ? 1 : 0, ta == VarType::String ? 0 : 1));
    return ops::relate(relationOf(op), a, b, ops::CompareMode::Binary, literalFlags);
}

// CBool, CByte, CCur, CDate, CDbl, CInt, CLng, CSng, CStr: called as a
// statement they raise 458 (their value cannot be dropped).
bool isConversion(std::u16string_view name) {
    static constexpr std::u16string_view kNames[] = {u"CBool", u"CByte", u"CCur", u"CDate", u"CDbl",
                                                     u"CInt", u"CLng", u"CSng", u"CStr"};
    for (auto n : kNames)
        if (equalsNoCase(name, n)) return true;
    return false;
}

} // namespace

void Engine::noSite() { fail(51); }

Variant Engine::errObjectValue() { return Variant(Ref<Dispatch>(errObject_.get())); }

// ---------------------------------------------------------------------------
// Construction

Engine::Engine(ScriptControl& control) : control_(control), link_(makeRef<EngineLink>()) {
    link_->engine = this;
    // Room for the deepest stack is set aside now, so that variables never
    // move, but only the part that calls reach is made: a script that
    // calls little touches little of it.
    values_.reserve(kValueStack);
    refs_.reserve(kValueStack);
    errObject_ = makeRef<ErrObject>(this);
    registerLibrary(builtinIndex_, constants_);
}

Engine::~Engine() {
    // Release the script's variables while the engine can still run
    // Class_Terminate, then cut the link that objects kept outside hold.
    // Variables first (newest first), so that a Class_Terminate still reaches
    // the host's objects; then the objects and constants.
    for (std::size_t i = globals_.size(); i-- > 0;)
        if (!globalConst_[i]) globals_[i] = Variant();
    for (std::size_t i = globals_.size(); i-- > 0;) globals_[i] = Variant();
    globals_.clear();
    memberObjects_.clear();
    link_->engine = nullptr;
    errObject_->engine = nullptr;
    ::operator delete(calls_);
    // Instances and dictionaries still alive that only keep each other (a
    // field or an item that refers back) are emptied so that they go.
    collectCycles(*link_);
}

void Engine::addObject(const std::u16string& name, Ref<Dispatch> object, bool addMembers) {
    std::int32_t slot = newGlobal(name, GlobalName::Object);
    globals_[slot] = Variant(object);
    if (addMembers && object) memberObjects_.push_back(object);
    binder_.rebind();  // code added before may already use the name
}

bool Engine::hasObject(std::u16string_view name) const {
    auto it = names_.find(name);
    return it != names_.end() && it->second.kind == GlobalName::Object;
}

std::int32_t Engine::newGlobal(const std::u16string& name, GlobalName::Kind kind) {
    auto it = names_.find(name);
    if (it != names_.end() && it->second.kind != GlobalName::Proc) {
        it->second.kind = kind;
        return it->second.slot;
    }
    std::int32_t slot = static_cast<std::int32_t>(globals_.size());
    globals_.emplace_back();
    globalConst_.push_back(kind == GlobalName::Const || kind == GlobalName::Object);
    GlobalName g;
    g.kind = kind;
    g.slot = slot;
    names_[name] = g;
    binder_.defined(name);
    return slot;
}

// ---------------------------------------------------------------------------
// Arrays, strings built in place, procedure references

Ref<SafeArray> makeArray(const std::vector<std::int32_t>& uppers, bool fixed) {
    Ref<SafeArray> a(new SafeArray);
    std::int64_t total = uppers.empty() ? 0 : 1;  // no bounds: a dynamic array never sized
    for (auto u : uppers) {
        if (u < -1) throwRuntimeError(err::SubscriptOutOfRange);
        const std::int64_t count = std::int64_t{u} + 1;  // u may be the largest Long
        total *= count;
        if (total > kMaxArrayElements) throwRuntimeError(err::OutOfMemory);
        a->bounds.push_back({0, static_cast<std::int32_t>(count)});
    }
    reserveMemory(total * static_cast<std::int64_t>(sizeof(Variant)));
    a->data.resize(static_cast<std::size_t>(total));
    a->retally();
    a->fixedSize = fixed;
    return a;
}

bool Engine::appendInPlace(const Stmt& s, Frame& f) {
    Variant* var = varRef(*s.target, f);
    if (!var || !var->isString()) return false;
    const Expr* parts[kMaxAppendParts];
    int n = 0;
    for (const Expr* e = s.value.get(); e->kind == EK::Binary; e = e->a.get()) parts[n++] = e->b.get();
    Args values;  // only the parts there are are made and released
    for (int i = n - 1; i >= 0; --i) {
        // A literal or a variable (not an object, which gives its default
        // value) is copied without eval's dispatch.
        const Variant* plain = plainOperand(*parts[i], f);
        if (plain && !plain->isObject()) values.push_back(*plain);
        else values.push_back(letValue(eval(*parts[i], f)));
    }
    // The room the text will move to is asked of the ceiling before it is
    // taken (a number's text takes at most 24 units).
    std::size_t added = 0;
    for (int k = 0; k < n; ++k) added += values[k].isString() ? values[k].stringValue().size() : 24;
    std::u16string* str = var->uniqueString();
    if (!str) {
        const std::u16string& shared = var->stringValue();
        const std::size_t size = shared.size() + added;
        if (size > kMaxStringLength) fail(err::OutOfMemory);
        if (size > 4096) reserveMemory(static_cast<std::int64_t>(size * sizeof(char16_t)));
        std::u16string copy;
        copy.reserve(size);
        copy = shared;
        *var = Variant(std::move(copy));
        str = var->uniqueString();
        if (!str) return false;
    } else if (str->capacity() - str->size() < added) {
        const std::size_t size = str->size() + added;
        if (size > kMaxStringLength) fail(err::OutOfMemory);
        reserveMemory(static_cast<std::int64_t>(std::max(size, 2 * str->capacity()) * sizeof(char16_t)));
    }
    const char16_t* const room = str->data();
    for (int k = 0; k < n; ++k) {
        ops::appendText(*str, values[k]);
        if (str->size() > kMaxStringLength) fail(err::OutOfMemory);
    }
    if (str->data() != room) {
        // It moved to a larger room: counted again, and a text that keeps
        // doubling meets the ceiling at once, not at the next look.
        var->retallyString();
        if (memory::wouldPass(0)) throw ScriptAbort{true};
    }
    return true;
}

Variant Engine::makeProcRef(std::u16string_view name) {
    auto it = names_.find(name);
    if (it == names_.end() || it->second.kind != GlobalName::Proc) fail(err::InvalidCall);
    return Variant(Ref<Dispatch>(new ProcRef(it->second.proc, link_)));
}

// ---------------------------------------------------------------------------
// Public entry points

void Engine::timedOut() { throw ScriptAbort{}; }

void Engine::checkMemory() {
    if (memory::wouldPass(0)) throw ScriptAbort{true};
    // Fast growth (a text doubled in a loop) is looked at on every check.
    constexpr std::int64_t kFastGrowth = 64 * 1024;
    const std::int64_t held = memory::held();
    memoryInterval_ = held > memoryLast_ + kFastGrowth ? 1 : std::min(memoryInterval_ * 2, kMemoryCheckMost);
    memoryCountdown_ = memoryInterval_;
    memoryLast_ = held;
}

void Engine::startClock(std::int32_t timeoutMs) {
    if (depth_ > 0 || running_) return;
    memoryLast_ = memory::held();
    memoryCountdown_ = memoryInterval_ = 1;
    hasDeadline_ = timeoutMs > 0;
    if (hasDeadline_) {
        if (!watchdog_) watchdog_ = std::make_unique<Watchdog>(expired_);
        watchdog_->arm(timeoutMs);
    } else if (watchdog_) {
        watchdog_->disarm();
    }
    // Stack room of this thread: stop well before its end.
    thread_local char* limit = [] {
        pthread_attr_t attr;
        char* result = nullptr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* addr = nullptr;
            std::size_t size = 0;
            if (pthread_attr_getstack(&attr, &addr, &size) == 0 && addr) {
                // A quarter of the stack (at least 64 KB, at most half) stays free.
                std::size_t margin = std::min(std::max<std::size_t>(size / 4, 64 * 1024), size / 2);
                result = static_cast<char*>(addr) + margin;
            }
            pthread_attr_destroy(&attr);
        }
        return result;
    }();
    stackLimit_ = limit;
}

void Engine::checkStack() {
    char here;
    if (depth_ >= kMaxDepth || (stackLimit_ && &here < stackLimit_)) fail(err::OutOfStack);
}

namespace {
struct RunningGuard {
    bool& flag;
    bool saved;
    explicit RunningGuard(bool& f) : flag(f), saved(f) { flag = true; }
    ~RunningGuard() { flag = saved; }
};
} // namespace

void Engine::addCode(std::u16string_view code, const std::function<void()>& compiled) {
    auto block = parseProgram(code);
    compiled();
    RunningGuard g(running_);
    loadBlock(std::move(block), nullptr);
}

Variant Engine::evalText(std::u16string_view text, const std::function<void()>& compiled) {
    ExprPtr e = parseExpression(text);
    Scope sc;
    const Binder::Transient tb(binder_, *e, sc);
    compiled();
    RunningGuard g(running_);
    Frame f;
    // Errors of a lone expression are reported on its line 1.
    auto block = std::make_unique<Block>();
    block->source.assign(text);
    f.block = block.get();
    Code code(sc.sites, sc.nums);
    const ActiveCode active(*this, code);
    f.code = &code;
    try {
        return eval(*e, f);
    } catch (AutomationError& ex) {
        throw failureAt(ex, e->line, e->col, nullptr);
    }
}

Variant Engine::run(std::u16string_view name, std::span<Variant> args) {
    auto it = names_.find(name);
    if (it == names_.end() || it->second.kind != GlobalName::Proc) {
        if (it != names_.end() && it->second.kind != GlobalName::Proc) fail(err::NoSuchMember);
        fail(35);
    }
    RunningGuard g(running_);
    return invokeProc(*it->second.proc, args);
}

Variant Engine::invokeProc(const ProcDef& p, std::span<Variant> args) {
    Frame caller;
    return callProc(p, nullptr, nullptr, args, caller, true);
}

// An HRESULT of the script facility (0x800A0000 + n) is the script's error n.
std::int32_t scriptErrorNumber(std::int32_t number) {
    const auto u = static_cast<std::uint32_t>(number);
    return (u & 0xFFFF0000u) == 0x800A0000u ? static_cast<std::int32_t>(u & 0xFFFFu) : number;
}

void Engine::setErr(const AutomationError& e) {
    err.number = scriptErrorNumber(e.Number);
    err.source = fromUtf8(e.Source);
    err.description = fromUtf8(e.Description);
    err.helpFile = fromUtf8(e.HelpFile);
    err.helpContext = e.HelpContext;
}

// ---------------------------------------------------------------------------
// Statements

Flow Engine::execList(const StmtList& list, Frame& f) {
    for (const auto& sp : list) {
        const Stmt& s = *sp;
        try {
            Flow fl = exec(s, f);
            if (fl != Flow::Normal) return fl;
        } catch (ScriptFailure& e) {
            if (!f.resumeNext) throw;
            setErr(e.err);
        } catch (ScriptAbort& a) {
            a.noteStatement(s.line, s.col, f.block);
            throw;
        } catch (AutomationError& e) {
            if (!f.resumeNext) throw failureAt(e, s.line, s.col, f.block);
            setErr(e);
        } catch (std::bad_alloc&) {
            AutomationError e = runtimeError(err::OutOfMemory);
            if (!f.resumeNext) throw failureAt(e, s.line, s.col, f.block);
            setErr(e);
        } catch (std::length_error&) {
            AutomationError e = runtimeError(err::OutOfMemory);
            if (!f.resumeNext) throw failureAt(e, s.line, s.col, f.block);
            setErr(e);
        } catch (std::exception& ex) {
            // A host object that failed with a C++ exception of its own.
            AutomationError e(kErrorFail, "", ex.what());
            if (!f.resumeNext) throw failureAt(e, s.line, s.col, f.block);
            setErr(e);
        }
    }
    return Flow::Normal;
}

namespace {

inline bool numOf(const Variant& v, Engine::Num& out) {
    switch (v.type()) {
    case VarType::Integer: out.kind = Engine::Num::Integer; out.i = v.integerValue(); return true;
    case VarType::Long: out.kind = Engine::Num::Long; out.i = v.longValue(); return true;
    case VarType::Double: out.kind = Engine::Num::Double; out.d = v.doubleValue(); return true;
    default: return false;
    }
}

} // namespace

// A numeric operand: a variable or a literal is read at once, anything else
// runs its compiled numeric form (NumericCode.cpp).
inline bool Engine::numOperand(const Expr& e, Frame& f, Num& out) {
    if (e.nk == NkLocal) return numOf(*f.ref[e.slot], out);
    if (e.nk == NkLit) return numOf(e.value, out);
    return evalNum(e, f, out);
}


// With Resume Next a failing condition goes on to the next statement: into
// the branch or the loop (onError true), or past a loop's end (false).
bool Engine::testResuming(const Expr& e, Frame& f, bool onError) {
    try {
        return test(e, f);
    } catch (AutomationError& ex) {
        setErr(ex);
    } catch (ScriptFailure& ex) {
        setErr(ex.err);
    }
    return onError;
}

template <class Head>
bool Engine::runHead(Frame& f, Head&& head) {
    if (!f.resumeNext) {
        head();
        return true;
    }
    try {
        head();
        return true;
    } catch (AutomationError& ex) {
        setErr(ex);
    } catch (ScriptFailure& ex) {
        setErr(ex.err);
    }
    return false;
}

Flow Engine::loopWithoutHead(const Stmt& s, Frame& f, std::int32_t atNext) {
    Flow fl = execList(s.body, f);
    if (fl == Flow::ExitFor) return Flow::Normal;
    if (fl != Flow::Normal) return fl;
    setErr(runtimeError(atNext));
    return Flow::Normal;
}

bool Engine::truth(const Variant& v) {
    switch (v.type()) {
    case VarType::Boolean: return v.boolValue();
    case VarType::Null: return false;
    case VarType::Empty: return false;
    case VarType::Integer: return v.integerValue() != 0;
    case VarType::Long: return v.longValue() != 0;
    case VarType::Object: return letValue(v).toBool();
    default: return v.toBool();
    }
}

namespace {
struct WithGuard {
    Frame& f;
    const Variant* saved;
    WithGuard(Frame& fr, const Variant* obj) : f(fr), saved(fr.with) { f.with = obj; }
    ~WithGuard() { f.with = saved; }
};
} // namespace

// Let and a call statement, for the tree walker and the compiled form of
// procedure bodies alike.
Flow Engine::execAssign(const Stmt& s, Frame& f) {
    const Expr& t = *s.target;
    if (t.bind == Bind::Local && !t.hasArgs && t.kind == EK::Ident) {
        // The common case: a local variable.
        if (s.value->nk != 0 && !isComparison(*s.value)) {
            Num n;
            if (evalNum(*s.value, f, n)) {
                Variant& var = *f.ref[t.slot];
                Variant v = n.value();
                if (var.isArray()) letInto(var, std::move(v));
                else var = std::move(v);
                return Flow::Normal;
            }
        }
        if (s.appendInPlace && appendInPlace(s, f)) return Flow::Normal;
        Variant v = eval(*s.value, f);
        if (v.isObject()) v = letValue(std::move(v));
        letInto(*f.ref[t.slot], std::move(v));
        return Flow::Normal;
    }
    if (s.appendInPlace && appendInPlace(s, f)) return Flow::Normal;
    if (t.bind == Bind::Global && !t.hasArgs && t.kind == EK::Ident && !globalConst_[t.slot]) {
        // A module-level variable, as module-level code mostly writes.
        Variant v = eval(*s.value, f);
        if (v.isObject()) v = letValue(std::move(v));
        letInto(globals_[t.slot], std::move(v));
        return Flow::Normal;
    }
    assign(t, eval(*s.value, f), false, f);
    return Flow::Normal;
}

Flow Engine::execCall(const Stmt& s, Frame& f) {
    const Expr& t = *s.target;
    if (t.kind == EK::Ident && t.bind == Bind::Proc) {
        callProc(*t.proc, nullptr, &t.args, {}, f, false);
    } else if (t.kind == EK::Ident && !t.hasArgs &&
               (t.bind == Bind::Global || t.bind == Bind::Field ||
                (t.bind == Bind::Local && (!f.proc || t.slot != f.proc->resultSlot)))) {
        // A variable called as a procedure ("Foo", "Call Foo" with Foo
        // undefined): only an object can be called, through its default
        // member (438 when it has none).
        Variant v = eval(t, f);
        if (!v.isObject()) failNamed(err::TypeMismatch, t.name);
        if (v.objectValue()) indexInto(v, {});
    } else if (t.kind == EK::Ident && t.bind == Bind::Intrinsic) {
        callIntrinsic(t, f, true);
    } else {
        eval(t, f);
        if (t.bind == Bind::Builtin && isConversion(t.name)) fail(458);
    }
    checkClock();
    return Flow::Normal;
}

Flow Engine::exec(const Stmt& s, Frame& f) {
    switch (s.kind) {
    case SK::Assign:
        return execAssign(s, f);
    case SK::Set:
        execSet(s, f);
        return Flow::Normal;
    case SK::Call:
        return execCall(s, f);
    case SK::If:
        for (const auto& br : s.branches) {
            if (!br.cond) return execList(br.body, f);
            if (cond(*br.cond, f, true)) return execList(br.body, f);
        }
        return Flow::Normal;
    case SK::Select:
        return execSelect(s, f);
    case SK::For:
        return execFor(s, f);
    case SK::ForEach:
        return execForEach(s, f);
    case SK::Do: {
        const bool isWend = s.wend;
        // With Resume Next an error in the condition goes on to the next
        // statement: into the body at the top, past the loop at the bottom.
        for (;;) {
            if (s.loop == LoopKind::PreWhile && !cond(*s.value, f, true)) break;
            if (s.loop == LoopKind::PreUntil && cond(*s.value, f, false)) break;
            Flow fl = execList(s.body, f);
            if (fl == Flow::ExitDo) {
                if (isWend) return fl;
                break;
            }
            if (fl != Flow::Normal) return fl;
            if (s.loop == LoopKind::PostWhile && !cond(*s.value, f, false)) break;
            if (s.loop == LoopKind::PostUntil && cond(*s.value, f, true)) break;
            checkClock();
        }
        return Flow::Normal;
    }
    case SK::Exit:
        switch (s.exit) {
        case ExitKind::Do: return Flow::ExitDo;
        case ExitKind::For: return Flow::ExitFor;
        default: return Flow::ExitProc;
        }
    case SK::With:
        return execWith(s, f);
    case SK::OnError:
        f.resumeNext = s.resumeNext;
        clearErr();
        return Flow::Normal;
    case SK::ReDim:
        redim(s, f);
        checkClock();  // a large array may take a while
        return Flow::Normal;
    case SK::Erase:
        erase(s, f);
        return Flow::Normal;
    case SK::Dim:
        for (const auto& item : s.redims) {
            Variant* var = varRef(*item.target, f);
            if (!var) fail(err::IllegalAssignment);
            std::vector<std::int32_t> uppers;
            for (const auto& d : item.dims) uppers.push_back(d->value.toLong());
            setInto(*var, Variant(makeArray(uppers, !uppers.empty())));
        }
        return Flow::Normal;
    default:
        return Flow::Normal;
    }
}

void Engine::execSet(const Stmt& s, Frame& f) {
    Variant v = eval(*s.value, f);
    if (!v.isObject()) fail(err::ObjectRequired);
    assign(*s.target, std::move(v), true, f);
}

Flow Engine::execWith(const Stmt& s, Frame& f) {
    // The object of With must be one (Nothing passes: using it fails).
    Variant obj;
    runHead(f, [&] {
        obj = eval(*s.value, f);
        if (!obj.isObject()) fail(err::ObjectRequired);
    });
    WithGuard g(f, &obj);
    return execList(s.body, f);
}

Variant forNumber(const Variant& v) {
    Variant x = letValue(v);
    if (x.isString()) return Variant(x.toDouble());
    if (x.isEmpty()) return Variant(static_cast<std::int16_t>(0));
    if (x.isNull()) fail(err::InvalidNull);
    if (x.type() == VarType::Boolean) return Variant(static_cast<std::int16_t>(x.boolValue() ? -1 : 0));
    return x;
}

// The variable of For's counter (an error when the name is no variable).
Variant* Engine::forVariable(const Stmt& s, Frame& f) {
    Variant* var = varRef(*s.target, f);
    if (!var) failNamed(s.target->bind == Bind::Undefined ? err::UndefinedVariable : err::IllegalAssignment, s.target->name);
    return var;
}

// The head of For: the bounds and the step, and the counter set to the
// start. Whole-number bounds and step take a path of their own that counts
// in 64 bits.
void Engine::forHead(const Stmt& s, Frame& f, ForState& st) {
    Variant start = forNumber(eval(*s.value, f));
    st.end = forNumber(eval(*s.to, f));
    st.step = s.step ? forNumber(eval(*s.step, f)) : Variant(static_cast<std::int16_t>(1));
    st.whole = isIntLike(start) && isIntLike(st.end) && isIntLike(st.step);
    if (st.whole) {
        st.small = start.type() == VarType::Integer && st.step.type() == VarType::Integer &&
                   st.end.type() == VarType::Integer;
        st.e = intOf(st.end);
        st.st = intOf(st.step);
    } else {
        st.up = ops::compare(st.step, Variant(static_cast<std::int16_t>(0))) >= 0;
    }
    setInto(*st.var, std::move(start));
}

Flow Engine::execFor(const Stmt& s, Frame& f) {
    ForState st;
    st.var = forVariable(s, f);
    if (!runHead(f, [&] { forHead(s, f, st); })) return loopWithoutHead(s, f, 92);
    while (forTest(st)) {
        Flow fl = execList(s.body, f);
        if (fl == Flow::ExitFor) break;
        if (fl != Flow::Normal) return fl;
        checkClock();
        forStep(st);
    }
    return Flow::Normal;
}

namespace {
struct ArrayLock {
    Ref<SafeArray> a;
    explicit ArrayLock(SafeArray* p) : a(p) { ++a->locks; }
    ~ArrayLock() { --a->locks; }
};
} // namespace

Flow Engine::execForEach(const Stmt& s, Frame& f) {
    Variant* var = varRef(*s.target, f);
    if (!var) failNamed(s.target->bind == Bind::Undefined ? err::UndefinedVariable : err::IllegalAssignment, s.target->name);
    Variant coll;
    Ref<Enumerator> en;
    if (!runHead(f, [&] {
            coll = eval(*s.value, f);
            if (coll.isArray()) return;
            if (!coll.isObject()) fail(err::NotACollection);
            Dispatch* d = coll.objectValue();
            if (!d) fail(err::ObjectRequired);
            en = d->newEnum();
            if (!en) fail(err::NotACollection);
        }))
        return loopWithoutHead(s, f, err::NotACollection);
    if (coll.isArray()) {
        ArrayLock lock(coll.arrayValue());
        const std::size_t n = lock.a->data.size();
        for (std::size_t i = 0; i < n && i < lock.a->data.size(); ++i) {
            setInto(*var, Variant(lock.a->data[i]));
            Flow fl = execList(s.body, f);
            if (fl == Flow::ExitFor) break;
            if (fl != Flow::Normal) return fl;
            checkClock();
        }
        return Flow::Normal;
    }
    Variant item;
    while (en->next(item)) {
        setInto(*var, std::move(item));
        item = Variant();
        Flow fl = execList(s.body, f);
        if (fl == Flow::ExitFor) return Flow::Normal;
        if (fl != Flow::Normal) return fl;
        checkClock();
    }
    // A collection run to its end leaves the variable Empty.
    setInto(*var, Variant());
    return Flow::Normal;
}

Flow Engine::execSelect(const Stmt& s, Frame& f) {
    // With Resume Next an error in the tested value skips the whole Select,
    // and one in a Case's values goes on into that Case.
    Variant v;
    if (!runHead(f, [&] { v = letValue(eval(*s.value, f)); })) return Flow::Normal;
    const std::uint8_t leftLit = s.value->kind == EK::Literal ? ops::kLeftIsLiteral : 0;
    for (const auto& c : s.cases) {
        bool hit = c.items.empty();
        auto match = [&] {
            for (const auto& it : c.items) {
                if (hit) break;
                std::uint8_t flags = leftLit | (it.lo->kind == EK::Literal ? ops::kRightIsLiteral : 0);
                Variant lo = letValue(eval(*it.lo, f));
                if (it.hi) {
                    Variant hi = letValue(eval(*it.hi, f));
                    std::uint8_t hflags = leftLit | (it.hi->kind == EK::Literal ? ops::kRightIsLiteral : 0);
                    int a = ops::compare(v, lo, ops::CompareMode::Binary, flags);
                    int b = ops::compare(v, hi, ops::CompareMode::Binary, hflags);
                    hit = a != ops::kCompareNull && b != ops::kCompareNull && a >= 0 && b <= 0;
                } else {
                    hit = truth(compareValues(it.op, v, lo, flags));
                }
            }
        };
        if (!runHead(f, match)) hit = true;
        if (hit) return execList(c.body, f);
    }
    return Flow::Normal;
}

void Engine::redim(const Stmt& s, Frame& f) {
    for (const auto& item : s.redims) {
        Variant* var = varRef(*item.target, f);
        if (!var) fail(err::IllegalAssignment);
        // A fixed-size array cannot be resized: ReDim refuses it whatever the
        // bounds asked, ReDim Preserve once its bounds are read (a bound that
        // is no number raises 13 first).
        if (!s.keepElements && var->arrayValue() && var->arrayValue()->fixedSize) fail(err::ArrayLocked);
        std::vector<std::int32_t> uppers;
        for (const auto& d : item.dims) uppers.push_back(letValue(eval(*d, f)).toLong());
        var = varRef(*item.target, f);  // the bounds may have run code
        SafeArray* old = var->arrayValue();
        if (old && (old->fixedSize || old->locks)) fail(err::ArrayLocked);
        Ref<SafeArray> fresh = makeArray(uppers, false);
        if (s.keepElements && old && !old->bounds.empty()) {
            if (old->bounds.size() != fresh->bounds.size()) fail(err::SubscriptOutOfRange);
            std::size_t stride = 1;
            for (std::size_t k = 0; k + 1 < old->bounds.size(); ++k) {
                if (old->bounds[k].count != fresh->bounds[k].count) fail(err::SubscriptOutOfRange);
                stride *= static_cast<std::size_t>(old->bounds[k].count);
            }
            std::size_t keep = stride * static_cast<std::size_t>(
                std::min(old->bounds.back().count, fresh->bounds.back().count));
            for (std::size_t k = 0; k < keep; ++k) {
                fresh->data[k] = old->data[k];
                if ((k & kPollMask) == kPollMask) checkTimeOut();
            }
        }
        *var = Variant(fresh);
    }
}

void Engine::erase(const Stmt& s, Frame& f) {
    for (const auto& item : s.redims) {
        Variant* var = varRef(*item.target, f);
        if (!var) fail(err::IllegalAssignment);
        SafeArray* a = var->arrayValue();
        if (!a) fail(err::TypeMismatch);
        if (a->locks) fail(err::ArrayLocked);
        if (a->fixedSize) {
            Ref<SafeArray> fresh(new SafeArray);
            fresh->bounds = a->bounds;
            fresh->data.resize(a->data.size());
            fresh->retally();
            fresh->fixedSize = true;
            *var = Variant(fresh);
        } else {
            *var = Variant(makeArray({}, false));
        }
    }
}

// ---------------------------------------------------------------------------
// Variables and assignment

[[gnu::always_inline]] inline Variant* Engine::varRef(const Expr& e, Frame& f) {
    if (e.kind != EK::Ident || e.hasArgs) return nullptr;
    switch (e.bind) {
    case Bind::Local: return f.ref[e.slot];
    case Bind::Global: return globalConst_[e.slot] ? nullptr : &globals_[e.slot];
    case Bind::Field: return f.me ? &f.me->fields[e.slot] : nullptr;
    default: return nullptr;
    }
}

std::int32_t Engine::indexValue(const Expr& e, Frame& f) {
    if (e.nk != 0) {
        Num n;
        if (numOperand(e, f, n)) {
            if (n.kind != Num::Double) {
                if (n.i >= std::numeric_limits<std::int32_t>::min() && n.i <= std::numeric_limits<std::int32_t>::max())
                    return static_cast<std::int32_t>(n.i);
            } else if (n.d > -2147483648.5 && n.d < 2147483647.5) {
                return static_cast<std::int32_t>(std::nearbyint(n.d));
            }
        }
    }
    Variant v = eval(e, f);
    if (v.type() == VarType::Integer) return v.integerValue();
    if (v.type() == VarType::Long) return v.longValue();
    return letValue(std::move(v)).toLong();
}

Variant& Engine::elementRef(Variant& var, std::span<Variant> idx) {
    std::int32_t ix[SafeArray::kMaxDimensions];
    if (idx.size() > SafeArray::kMaxDimensions) fail(err::SubscriptOutOfRange);
    for (std::size_t i = 0; i < idx.size(); ++i) ix[i] = letValue(idx[i]).toLong();
    return elementAt(var, ix, idx.size());
}

Variant& Engine::elementAt(Variant& var, const std::int32_t* ix, std::size_t n) {
    SafeArray* a = var.arrayValue();
    if (a->refCount() > 1) {
        // Arrays are values: copy before writing into a shared one.
        Ref<SafeArray> c(new SafeArray);
        c->bounds = a->bounds;
        reserveMemory(static_cast<std::int64_t>(a->data.size() * sizeof(Variant)));
        c->data = a->data;
        c->retally();
        c->fixedSize = a->fixedSize;
        var = Variant(c);
        a = c.get();
    }
    std::ptrdiff_t off = a->offsetOf(std::span<const std::int32_t>(ix, n));
    if (off < 0) fail(err::SubscriptOutOfRange);
    return a->data[static_cast<std::size_t>(off)];
}

Variant Engine::indexInto(const Variant& v, std::span<Variant> idx) {
    if (v.isArray()) {
        SafeArray* a = v.arrayValue();
        std::int32_t ix[SafeArray::kMaxDimensions];
        if (idx.size() > SafeArray::kMaxDimensions) fail(err::SubscriptOutOfRange);
        for (std::size_t i = 0; i < idx.size(); ++i) ix[i] = letValue(idx[i]).toLong();
        std::ptrdiff_t off = a->offsetOf(std::span<const std::int32_t>(ix, idx.size()));
        if (off < 0) fail(err::SubscriptOutOfRange);
        return a->data[static_cast<std::size_t>(off)];
    }
    if (v.isObject()) {
        Dispatch* d = v.objectValue();
        if (!d) fail(err::ObjectNotSet);
        Variant r = d->invoke(kDispidValue, kInvokeMethod | kInvokePropertyGet, idx);
        checkClock();
        return r;
    }
    fail(err::TypeMismatch);
}

// Let into a variable that holds an array: a locked one (For Each over it,
// an element passed ByRef) cannot be replaced. A variable that holds an
// object is a Variant like any other: the value replaces the object.
void Engine::letIntoSlow(Variant& var, Variant&& value) {
    if (var.isArray() && var.arrayValue()->locks) fail(err::ArrayLocked);
    var = std::move(value);
}


void Engine::assign(const Expr& t, Variant value, bool isSet, Frame& f) {
    if (!isSet && value.isObject()) value = letValue(std::move(value));
    if (t.kind == EK::Ident) {
        if (!t.hasArgs) {
            switch (t.bind) {
            case Bind::Local:
                if (isSet) setInto(*f.ref[t.slot], std::move(value));
                else letInto(*f.ref[t.slot], std::move(value));
                return;
            case Bind::Global:
                if (globalConst_[t.slot]) failNamed(err::IllegalAssignment, t.name);
                if (isSet) setInto(globals_[t.slot], std::move(value));
                else letInto(globals_[t.slot], std::move(value));
                return;
            case Bind::Field:
                if (isSet) setInto(f.me->fields[t.slot], std::move(value));
                else letInto(f.me->fields[t.slot], std::move(value));
                return;
            case Bind::Undefined: failNamed(err::UndefinedVariable, t.name);
            case Bind::ClassMethod: {
                Variant one[1] = {std::move(value)};
                invokeClassMember(f.me, t.slot + 1, isSet ? kInvokePropertyPutRef : kInvokePropertyPut, one);
                return;
            }
            case Bind::HostMember: {
                Args args;
                args.push_back(std::move(value));
                memberObjects_[t.slot]->invoke(t.member, isSet ? kInvokePropertyPutRef : kInvokePropertyPut, args);
                return;
            }
            default: fail(err::IllegalAssignment);
            }
        }
        if (t.args.size() <= 4 && (t.bind == Bind::Local || t.bind == Bind::Global || t.bind == Bind::Field)) {
            Variant* var = t.bind == Bind::Local ? f.ref[t.slot]
                         : t.bind == Bind::Global ? &globals_[t.slot] : &f.me->fields[t.slot];
            if (var->isArray()) {
                std::int32_t ix[4];
                for (std::size_t i = 0; i < t.args.size(); ++i) ix[i] = indexValue(*t.args[i], f);
                // The indices are evaluated: look at the variable again.
                var = t.bind == Bind::Local ? f.ref[t.slot]
                    : t.bind == Bind::Global ? &globals_[t.slot] : &f.me->fields[t.slot];
                if (!var->isArray()) fail(err::TypeMismatch);
                elementAt(*var, ix, t.args.size()) = std::move(value);
                return;
            }
        }
        Args args;
        evalArgs(t.args, args, f);
        switch (t.bind) {
        case Bind::Local:
        case Bind::Global:
        case Bind::Field: {
            Variant* var = t.bind == Bind::Local ? f.ref[t.slot]
                         : t.bind == Bind::Global ? &globals_[t.slot] : &f.me->fields[t.slot];
            if (var->isArray()) {
                elementRef(*var, args) = std::move(value);
                return;
            }
            if (var->isObject()) {
                if (!var->objectValue()) fail(err::ObjectNotSet);
                args.push_back(std::move(value));
                Ref<Dispatch> hold(var->objectValue());
                hold->invoke(kDispidValue, isSet ? kInvokePropertyPutRef : kInvokePropertyPut, args);
                return;
            }
            fail(err::TypeMismatch);
        }
        case Bind::ClassMethod:
            args.push_back(std::move(value));
            invokeClassMember(f.me, t.slot + 1, isSet ? kInvokePropertyPutRef : kInvokePropertyPut, args);
            return;
        case Bind::HostMember:
            args.push_back(std::move(value));
            memberObjects_[t.slot]->invoke(t.member, isSet ? kInvokePropertyPutRef : kInvokePropertyPut, args);
            return;
        case Bind::Undefined: failNamed(err::UndefinedVariable, t.name);
        default: fail(err::IllegalAssignment);
        }
    }
    if (t.kind == EK::Member) {
        Variant obj;
        if (t.a) obj = eval(*t.a, f);
        else if (f.with) obj = *f.with;
        else fail(kUnqualifiedReference);
        Args args;
        evalArgs(t.args, args, f);
        if (t.name.empty()) {
            if (obj.isObject() && obj.objectValue()) {
                args.push_back(std::move(value));
                obj.objectValue()->invoke(kDispidValue, isSet ? kInvokePropertyPutRef : kInvokePropertyPut, args);
                return;
            }
            fail(err::TypeMismatch);
        }
        args.push_back(std::move(value));
        invokeOn(obj, t, t.name, isSet ? kInvokePropertyPutRef : kInvokePropertyPut, args, f);
        return;
    }
    fail(err::IllegalAssignment);
}

// ---------------------------------------------------------------------------
// Expressions

void Engine::evalArgs(const std::vector<ExprPtr>& args, Args& out, Frame& f) {
    // Host calls mostly pass literals and member chains: those are taken
    // without eval's dispatch on the kind.
    for (const auto& a : args) {
        if (a->kind == EK::Literal) out.push_back(a->value);
        else if (a->kind == EK::Paren && a->a->kind == EK::Literal) out.push_back(a->a->value);  // obj.Do (1)
        else if (a->kind == EK::Member) {
            if (a.get() == reuseSite_) [[unlikely]] {
                // The field's value its If has just read (blankTest).
                reuseSite_ = nullptr;
                out.push_back(std::move(reuseValue_));
                reuseValue_ = Variant();
            } else {
                out.push_back(evalMember(*a, f));
            }
        } else {
            out.push_back(eval(*a, f));
        }
    }
}

Variant Engine::eval(const Expr& e, Frame& f) {
    switch (e.kind) {
    case EK::Literal: return e.value;
    case EK::Ident: {
        // The common case first: a plain variable.
        if (!e.hasArgs) {
            if (e.bind == Bind::Local) return *f.ref[e.slot];
            if (e.bind == Bind::Global) return globals_[e.slot];
        } else if (e.bind == Bind::Proc) {
            return callProc(*e.proc, nullptr, &e.args, {}, f, true);
        }
        return evalIdent(e, f);
    }
    case EK::Member: return evalMember(e, f);
    case EK::Paren: return eval(*e.a, f);
    case EK::Missing: return Variant::missing();
    case EK::Me: return Variant(Ref<Dispatch>(f.me));
    case EK::New: return newObject(e);
    case EK::Unary: return evalUnary(e, f);
    case EK::Binary: return evalBinary(e, f);
    }
    return Variant();
}

// The cases of eval that need room of their own stay out of it, so that the
// common ones (a literal, a variable, a call) run without saving registers
// for them.
[[gnu::noinline]] Variant Engine::evalUnary(const Expr& e, Frame& f) {
    if (!e.value.isEmpty()) return e.value;  // a negative number written in the code
    Variant a = eval(*e.a, f);
    if (e.op == Op::Neg) {
        if (a.type() == VarType::Long && a.longValue() != std::numeric_limits<std::int32_t>::min())
            return Variant(-a.longValue());
        return ops::negate(a);
    }
    return ops::notOp(a);
}

namespace {

// The text of a short string joined with a whole number (or the number with
// the string), made at once: "k" & i, the keys scripts build in their loops.
// False when either is anything else or the string is long.
bool joinShort(const Variant& a, const Variant& b, ShortText& out) {
    const bool numFirst = isIntLike(a);
    const Variant& str = numFirst ? b : a;
    const Variant& num = numFirst ? a : b;
    if (!str.isString() || !isIntLike(num)) return false;
    const std::u16string& s = str.stringValue();
    if (s.size() > ShortText::kRoom) return false;
    // A whole number here fits in 32 bits: its digits by 32-bit steps, and
    // the few units copied by plain loops (a call to copy them costs more).
    char16_t digits[ShortText::kDigits];
    char16_t* end = digits + std::size(digits);
    char16_t* d = end;
    const std::int64_t v = intOf(num);
    std::uint32_t m = static_cast<std::uint32_t>(v < 0 ? -v : v);
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    while (m >= 100) {
        const std::uint32_t r = (m % 100) * 2;
        m /= 100;
        *--d = static_cast<char16_t>(kPairs[r + 1]);
        *--d = static_cast<char16_t>(kPairs[r]);
    }
    if (m >= 10) {
        *--d = static_cast<char16_t>(kPairs[m * 2 + 1]);
        *--d = static_cast<char16_t>(kPairs[m * 2]);
    } else {
        *--d = static_cast<char16_t>(u'0' + m);
    }
    if (v < 0) *--d = u'-';
    const std::size_t nd = static_cast<std::size_t>(end - d);
    const char16_t* sp = s.data();
    const std::size_t ns = s.size();
    char16_t* o = out.buf;
    if (numFirst) {
        for (const char16_t* q = d; q != end; ++q) *o++ = *q;
        for (std::size_t i = 0; i < ns; ++i) *o++ = sp[i];
    } else {
        for (std::size_t i = 0; i < ns; ++i) *o++ = sp[i];
        for (const char16_t* q = d; q != end; ++q) *o++ = *q;
    }
    out.text = std::u16string_view(out.buf, s.size() + nd);
    return true;
}

} // namespace

// Two plain operands of a & (nothing runs between the reads) joined where
// they are, without copies of them.
inline bool Engine::joinPlain(const Expr& concat, Frame& f, ShortText& out) {
    const Variant* pa = plainOperand(*concat.a, f);
    const Variant* pb = pa ? plainOperand(*concat.b, f) : nullptr;
    return pb && joinShort(*pa, *pb, out);
}

[[gnu::noinline]] Variant Engine::evalBinary(const Expr& e, Frame& f) {
    if (e.op == Op::Concat) {
        ShortText t;
        if (joinPlain(e, f, t)) return Variant(t.text);
    }
    if (e.numeric) {
        if (isComparison(e)) {
            int r = compareNum(e, f);
            if (r >= 0) return Variant(r != 0);
        } else {
            Num n;
            if (evalNum(e, f, n)) return n.value();
        }
    }
    Variant a = eval(*e.a, f);
    Variant b = eval(*e.b, f);
    if (isIntLike(a) && isIntLike(b)) {
        // Integer arithmetic and comparison without the general rules.
        const bool bothInt = a.type() == VarType::Integer && b.type() == VarType::Integer;
        const std::int64_t x = intOf(a), y = intOf(b);
        if (isComparison(e)) return Variant(holds(e.op, x, y));
        switch (e.op) {
        case Op::Add: return typedInt(x + y, bothInt);
        case Op::Sub: return typedInt(x - y, bothInt);
        case Op::Mul: return typedInt(x * y, bothInt);
        case Op::IntDiv:
            if (y == 0) fail(err::DivisionByZero);
            if (y == -1) break;
            return typedInt(quot32(x, y), bothInt);
        case Op::Mod:
            if (y == 0) fail(err::DivisionByZero);
            if (y == -1) break;
            return typedInt(rem32(x, y), bothInt);
        default: break;
        }
    } else if ((a.type() == VarType::Double || isIntLike(a)) && (b.type() == VarType::Double || isIntLike(b))) {
        // A Double with a Double or a whole number (sums of amounts read from
        // fields): the general rules give a Double or a Boolean, and only an
        // infinite result or a division by zero needs them.
        const double x = a.type() == VarType::Double ? a.doubleValue() : static_cast<double>(intOf(a));
        const double y = b.type() == VarType::Double ? b.doubleValue() : static_cast<double>(intOf(b));
        if (isComparison(e)) return Variant(holds(e.op, x, y));
        double r;
        switch (e.op) {
        case Op::Add: r = x + y; break;
        case Op::Sub: r = x - y; break;
        case Op::Mul: r = x * y; break;
        case Op::Div: r = y == 0 ? std::numeric_limits<double>::infinity() : x / y; break;
        default: r = std::numeric_limits<double>::infinity(); break;
        }
        if (std::isfinite(r)) return Variant(r);
    }
    switch (e.op) {
    case Op::Add: return ops::add(a, b);
    case Op::Sub: return ops::subtract(a, b);
    case Op::Mul: return ops::multiply(a, b);
    case Op::Div: return ops::divide(a, b);
    case Op::IntDiv: return ops::intDivide(a, b);
    case Op::Mod: return ops::mod(a, b);
    case Op::Pow: return ops::power(a, b);
    case Op::Concat:
        if (a.isString() && b.isString()) {
            // A long result asks the memory ceiling before it is made.
            const std::size_t n = a.stringValue().size() + b.stringValue().size();
            if (n > kMaxStringLength) fail(err::OutOfMemory);
            if (n > 4096) reserveMemory(static_cast<std::int64_t>(n * sizeof(char16_t)));
        }
        return ops::concat(a, b);
    case Op::And: return ops::andOp(a, b);
    case Op::Or: return ops::orOp(a, b);
    case Op::Xor: return ops::xorOp(a, b);
    case Op::Eqv: return ops::eqvOp(a, b);
    case Op::Imp: return ops::impOp(a, b);
    case Op::Is: return Variant(ops::is(a, b));
    default: {
        std::uint8_t flags = (e.a->kind == EK::Literal ? ops::kLeftIsLiteral : 0) |
                             (e.b->kind == EK::Literal ? ops::kRightIsLiteral : 0);
        return compareValues(e.op, a, b, flags);
    }
    }
}

bool Engine::keyText(const Expr& k, Frame& f, ShortText& out) {
    if (k.kind == EK::Binary && k.op == Op::Concat) return joinPlain(k, f, out);
    const Variant* p = plainOperand(k, f);
    if (!p || !p->isString()) return false;
    out.text = p->stringValue();
    return true;
}

Variant Engine::evalIdent(const Expr& e, Frame& f) {
    if (e.nk == NkElem) {
        // An array element read by the numeric code when it holds a number.
        Num n;
        if (evalNum(e, f, n)) return n.value();
    }
    switch (e.bind) {
    case Bind::Local:
    case Bind::Global:
    case Bind::Field: {
        const Variant& v = e.bind == Bind::Local ? *f.ref[e.slot]
                         : e.bind == Bind::Global ? globals_[e.slot] : f.me->fields[e.slot];
        if (!e.hasArgs) return v;
        if (e.args.size() == 1 && v.isObject()) {
            // d(key) of a key made of plain operands: looked up by its text.
            auto* obj = v.objectValue();
            if (obj && &typeid(*obj) == &typeid(Dictionary)) {
                ShortText t;
                if (keyText(*e.args[0], f, t)) {
                    Variant r = static_cast<Dictionary*>(obj)->itemText(t.text);
                    checkClock();
                    return r;
                }
            }
        }
        if (v.isArray() && e.args.size() <= 4) {
            Ref<SafeArray> a(v.arrayValue());  // the indices may change the variable
            std::int32_t ix[4];
            for (std::size_t i = 0; i < e.args.size(); ++i) ix[i] = indexValue(*e.args[i], f);
            std::ptrdiff_t off = a->offsetOf(std::span<const std::int32_t>(ix, e.args.size()));
            if (off < 0) fail(err::SubscriptOutOfRange);
            return a->data[static_cast<std::size_t>(off)];
        }
        Variant hold = v;  // the element read must not see the variable change under it
        Args args;
        evalArgs(e.args, args, f);
        if (!hold.isArray() && !hold.isObject()) failNamed(err::TypeMismatch, e.name);
        return indexInto(hold, args);
    }
    case Bind::Proc:
        return callProc(*e.proc, nullptr, &e.args, {}, f, true);
    case Bind::ClassMethod:
        return callClassMember(f.me, e.slot, kInvokeMethod | kInvokePropertyGet, &e.args, {}, f);
    case Bind::Builtin:
        return callBuiltin(e, f);
    case Bind::Intrinsic:
        return callIntrinsic(e, f);
    case Bind::HostMember: {
        Args args;
        evalArgs(e.args, args, f);
        Variant r = memberObjects_[e.slot]->invoke(e.member, kInvokeMethod | kInvokePropertyGet, args);
        checkClock();
        return r;
    }
    case Bind::Undefined:
        failNamed(err::UndefinedVariable, e.name);
    default:
        fail(err::UndefinedVariable);
    }
}

Variant Engine::evalMember(const Expr& e, Frame& f) {
    // The object: the commonest shapes (a chain a.b.c, a module-level or
    // local object) are taken without eval's dispatch on the kind.
    Variant obj;
    if (!e.a) {
        if (!f.with) fail(kUnqualifiedReference);
        obj = *f.with;
    } else if (e.a->kind == EK::Member) {
        obj = evalMember(*e.a, f);
    } else if (e.a->kind == EK::Ident && !e.a->hasArgs && e.a->bind == Bind::Global) {
        obj = globals_[e.a->slot];
    } else if (e.a->kind == EK::Ident && !e.a->hasArgs && e.a->bind == Bind::Local) {
        obj = *f.ref[e.a->slot];
    } else {
        obj = eval(*e.a, f);
    }
    if (e.name.empty()) {
        Args args;
        evalArgs(e.args, args, f);
        return indexInto(obj, args);
    }
    if (!obj.isObject() || !obj.objectValue()) failNamed(err::ObjectRequired, objectCulprit(e));
    Dispatch* d = obj.objectValue();
    SiteCache& site = siteOf(e, f);
    if (site.key == d || site.key == &typeid(*d)) {
        // The host object this call site saw last (it holds a reference, so
        // the address still names the same object), or one of the type whose
        // members are the same for all (dictionaries).
        if (site.key == &typeid(Dictionary)) {
            // d.Exists(key), d.Item(key), d.Add key, item of a key made of
            // plain operands (and a plain item): by the key's text, with no
            // code of the script run between the reads and the call.
            auto* dict = static_cast<Dictionary*>(d);
            ShortText t;
            if (e.args.size() == 1 && (site.id == Dictionary::kExistsId || site.id == Dictionary::kItemId) &&
                keyText(*e.args[0], f, t)) {
                if (!site.pure) ++impureCalls_;
                Variant r = site.id == Dictionary::kExistsId ? Variant(dict->existsText(t.text))
                                                                : dict->itemText(t.text);
                checkClock();
                return r;
            }
            const Variant* item = e.args.size() == 2 && site.id == Dictionary::kAddId ? plainOperand(*e.args[1], f)
                                                                                       : nullptr;
            if (item && keyText(*e.args[0], f, t)) {
                ++impureCalls_;
                dict->addText(t.text, *item);
                checkClock();
                return Variant();
            }
        }
        Args args;
        if (!e.args.empty()) evalArgs(e.args, args, f);
        if (!site.pure) ++impureCalls_;
        Variant r = d->invoke(site.id, kInvokeMethod | kInvokePropertyGet, args);
        checkClock();
        return r;
    }
    if (auto* so = asScriptObject(d)) {
        ++impureCalls_;
        // Script objects: by-reference arguments reach the caller's variables.
        std::int32_t id;
        if (site.key == so->cls.get()) {
            id = site.id;
        } else {
            id = so->memberId(e.name);
            if (id == kDispidUnknown && so == f.me) {
                auto it = so->cls->byName.find(e.name);
                if (it != so->cls->byName.end()) id = it->second + 1;
            }
            if (id == kDispidUnknown) failNamed(err::NoSuchMember, memberCulprit(e));
            site.key = so->cls.get();
            site.hold.reset();
            site.id = id;
            site.pure = false;
        }
        Ref<Dispatch> keep(so);
        return callClassMember(so, id - 1, kInvokeMethod | kInvokePropertyGet, &e.args, {}, f);
    }
    Args args;
    evalArgs(e.args, args, f);
    return invokeOn(obj, e, e.name, kInvokeMethod | kInvokePropertyGet, args, f);
}

Variant Engine::invokeOn(const Variant& objv, const Expr& at, std::u16string_view name,
                         std::uint8_t kind, Args& args, Frame& f) {
    if (!objv.isObject() || !objv.objectValue()) failNamed(err::ObjectRequired, objectCulprit(at));
    Dispatch* d = objv.objectValue();
    Ref<Dispatch> keep(d);
    SiteCache& site = siteOf(at, f);
    ScriptObject* so = site.key == d ? nullptr : asScriptObject(d);
    if (so) {
        // Script objects are cached by class, never held: Class_Terminate must
        // run when the script drops its last reference.
        std::int32_t id;
        if (site.key == so->cls.get()) {
            id = site.id;
        } else {
            id = so->memberId(name);
            if (id == kDispidUnknown) failNamed(err::NoSuchMember, memberCulprit(at));
            site.key = so->cls.get();
            site.hold.reset();
            site.id = id;
            site.pure = false;
        }
        ++impureCalls_;
        return invokeClassMember(so, id, kind, args);
    }
    std::int32_t id;
    if (site.key == d || site.key == &typeid(*d)) {
        id = site.id;
    } else {
        id = d->memberId(name);
        if (id == kDispidUnknown) failNamed(err::NoSuchMember, memberCulprit(at));
        // A dictionary may hold script objects: the call site must not keep
        // it alive. Its members are the same for every dictionary.
        const bool byType = typeid(*d) == typeid(Dictionary);
        site.key = byType ? static_cast<const void*>(&typeid(Dictionary)) : d;
        site.hold = byType ? Ref<Dispatch>() : keep;
        site.id = id;
        site.pure = d->pureGet(id);
    }
    if (!site.pure || (kind & (kInvokePropertyPut | kInvokePropertyPutRef))) ++impureCalls_;
    Variant r = d->invoke(id, kind, args);
    checkClock();
    return r;
}

Variant Engine::newObject(const Expr& e) {
    // The built-in RegExp stays what New RegExp makes, even beside a script
    // class of that name.
    if (equalsNoCase(e.name, u"RegExp")) return createObjectByProgId(u"VBScript.RegExp");
    auto it = classes_.find(e.name);
    if (it == classes_.end()) failNamed(err::ClassNotDefined, e.name);
    Ref<ScriptObject> obj(new ScriptObject(it->second.get(), link_));
    ClassInfo& ci = *it->second;
    for (std::size_t i = 0; i < ci.fields.size(); ++i) {
        const VarDecl* d = ci.fields[i];
        if (!d->dims.empty() || d->isArray) obj->fields[i] = Variant(makeArray(d->dims, !d->dims.empty()));
    }
    if (ci.init) {
        Frame caller;
        callProc(*ci.init, obj.get(), nullptr, {}, caller, false);
    }
    return Variant(Ref<Dispatch>(obj.get()));
}

// ---------------------------------------------------------------------------
// Calls

void Engine::releaseSlots(Variant* v, Variant* end, std::size_t from) noexcept {
    for (; v != end; ++v)
        if (v->type() != VarType::Empty) {
            Variant tmp = std::move(*v);
        }
    sp_ = from;
    --depth_;
}

// An array element given to a ByRef parameter: the parameter is the element
// itself. The array stays locked for the call (ReDim, Erase or assigning
// the variable fail with error 10), so the element cannot move.
Variant* Engine::elementByRef(const Expr& a, Frame& caller, ElementLocks& locked) {
    if (a.kind != EK::Ident || !a.hasArgs || a.args.empty() || a.args.size() > 4) return nullptr;
    if (a.bind != Bind::Local && a.bind != Bind::Global && a.bind != Bind::Field) return nullptr;
    auto variable = [&] {
        return a.bind == Bind::Local ? caller.ref[a.slot]
             : a.bind == Bind::Global ? &globals_[a.slot] : &caller.me->fields[a.slot];
    };
    // Only an array gives an element: an object's default member takes the
    // arguments as they are (a text key), evaluated once by the caller.
    if (!variable()->isArray()) return nullptr;
    std::int32_t ix[4];
    for (std::size_t k = 0; k < a.args.size(); ++k) ix[k] = indexValue(*a.args[k], caller);
    // The indices are evaluated (they may have run code): look again.
    Variant* var = variable();
    if (!var->isArray()) fail(err::TypeMismatch);
    Variant* el = &elementAt(*var, ix, a.args.size());
    locked.add(var->arrayValue());
    return el;
}

void Engine::growFrames(std::size_t n) {
    if (sp_ + n > kValueStack) fail(err::OutOfStack);
    const std::size_t from = values_.size();
    values_.resize(sp_ + n);  // within the room set aside: nothing moves
    refs_.resize(sp_ + n);
    made_ = values_.size();
    // A slot refers to its own value, except a parameter's while a call has
    // it by reference (the call puts it back when it returns).
    for (std::size_t k = from; k < sp_ + n; ++k) refs_[k] = &values_[k];
}

void Engine::bindArg(bool byRef, const Expr& a, Variant& val, Variant*& ref, Frame& caller, ElementLocks& locked) {
    if (byRef) {
        if (Variant* v = varRef(a, caller)) {
            ref = v;
            return;
        }
        if (Variant* el = elementByRef(a, caller, locked)) {
            ref = el;
            return;
        }
    }
    val = eval(a, caller);
}

void Engine::bindValues(const ProcDef& p, std::span<Variant> args, Variant* vals, Variant** ref) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (p.params[i].byRef) ref[i] = &args[i];
        else vals[i] = args[i];
    }
    initFrame(p, vals);
}

void Engine::initFrame(const ProcDef& p, Variant* vals) {
    for (const auto& [slot, decl] : p.fixedArrays)
        vals[slot] = Variant(makeArray(decl->dims, !decl->dims.empty()));
    for (const auto& [slot, value] : p.constInits) vals[slot] = value;
}

Variant Engine::callProc(const ProcDef& p, ScriptObject* me, const std::vector<ExprPtr>* argExprs,
                         std::span<Variant> argValues, Frame& caller, bool wantResult) {
    const std::size_t nargs = argExprs ? argExprs->size() : argValues.size();
    // A procedure of a block that failed to compile is none: its frame
    // was never laid out.
    if (!p.bound) [[unlikely]] failNamed(err::TypeMismatch, p.name);
    if (nargs != p.params.size()) failNamed(err::WrongArgCount, p.owner ? std::u16string_view() : p.name);
    checkStack();
    const std::size_t n = static_cast<std::size_t>(p.frameSize);
    frameRoom(n);
    // The frame's slots on the value stack, released when the call ends
    // (objects may run Class_Terminate).
    struct FrameGuard {
        Engine& en;
        std::size_t base, size, params;
        ~FrameGuard() { en.releaseFrame(base, size, params); }
    } guard{*this, sp_, n, nargs};
    sp_ += n;
    ++depth_;
    Variant* const vals = values_.data() + guard.base;
    ElementLocks locked;
    Variant** const ref = &refs_[guard.base];
    if (argExprs) {
        for (std::size_t i = 0; i < nargs; ++i)
            bindArg(p.params[i].byRef, *(*argExprs)[i], vals[i], ref[i], caller, locked);
        initFrame(p, vals);
    } else {
        bindValues(p, argValues, vals, ref);
    }
    Frame f;
    f.ref = ref;
    f.me = me;
    f.proc = &p;
    f.block = p.block;
    Ref<Dispatch> keepMe(me);
    runBody(p, f);
    checkClock();
    if (wantResult && p.resultSlot >= 0) return std::move(*ref[p.resultSlot]);
    return Variant();
}

Variant Engine::callClassMember(ScriptObject* obj, std::int32_t index, std::uint8_t kind,
                                const std::vector<ExprPtr>* argExprs, std::span<Variant> argValues,
                                Frame& caller) {
    if (index < 0) {
        index = obj->cls->defaultMember;
        if (index < 0) fail(err::NoSuchMember);
    }
    const ClassMember& m = obj->cls->members[index];
    const std::size_t nargs = argExprs ? argExprs->size() : argValues.size();
    if (m.field >= 0) {
        Variant& fv = obj->fields[m.field];
        if (kind & (kInvokePropertyPut | kInvokePropertyPutRef)) {
            // argValues: indices then the value
            if (nargs == 1) {
                fv = (kind & kInvokePropertyPutRef) ? argValues[0] : letValue(argValues[0]);
                return {};
            }
            if (fv.isArray()) {
                elementRef(fv, argValues.subspan(0, nargs - 1)) = argValues[nargs - 1];
                return {};
            }
            fail(err::TypeMismatch);
        }
        if (nargs == 0) return fv;
        Args args;
        if (argExprs) evalArgs(*argExprs, args, caller);
        else for (auto& v : argValues) args.push_back(v);
        return indexInto(fv, args);
    }
    const ProcDef* p = nullptr;
    if (kind & kInvokePropertyPutRef) p = m.set ? m.set : m.let;
    else if (kind & kInvokePropertyPut) p = m.let ? m.let : m.set;
    else p = m.method ? m.method : m.get;
    if (!p) {
        if (kind & (kInvokePropertyPut | kInvokePropertyPutRef)) fail(451);
        fail(err::NoSuchMember);
    }
    // A property without arguments that returns an array or object, read with
    // arguments: index its value.
    if (nargs > 0 && p->kind == ProcKind::PropGet && p->params.empty()) {
        Variant v = callProc(*p, obj, nullptr, {}, caller, true);
        if (!argExprs) return indexInto(v, argValues);
        Args args;
        evalArgs(*argExprs, args, caller);
        return indexInto(v, args);
    }
    return callProc(*p, obj, argExprs, argValues, caller, true);
}

Variant Engine::invokeClassMember(ScriptObject* obj, std::int32_t id, std::uint8_t kind,
                                  std::span<Variant> args) {
    Frame caller;
    if (id != kDispidValue && (id < 1 || id > static_cast<std::int32_t>(obj->cls->members.size())))
        fail(err::NoSuchMember);
    return callClassMember(obj, id - 1, kind, nullptr, args, caller);
}

void Engine::terminate(ScriptObject* obj) noexcept {
    // Outside a call into the script (the host dropped the object, or the
    // engine is being reset) no time-out applies.
    const bool savedRunning = running_, savedDeadline = hasDeadline_;
    if (!running_) hasDeadline_ = false;
    running_ = true;
    try {
        Frame caller;
        callProc(*obj->cls->term, obj, nullptr, {}, caller, false);
    } catch (...) {
        // Errors in Class_Terminate are not reported.
    }
    running_ = savedRunning;
    hasDeadline_ = savedDeadline;
}

} // namespace qz::script
