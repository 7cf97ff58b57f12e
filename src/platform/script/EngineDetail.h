// Internals shared by the binder (Binder.cpp) and the interpreter
// (Engine.cpp): script classes and their instances, and the shapes of
// numeric expressions. Not for use outside the script folder.
#pragma once

#include "platform/automation/ErrorTexts.h"
#include "platform/automation/VariantOps.h"
#include "platform/script/Engine.h"
#include "platform/script/runtime/Dictionary.h"

#include <cmath>
#include <limits>
#include <typeinfo>

namespace qz::script {

// Shapes of the nodes of a numeric expression (Expr::nk).
enum NumKind : std::uint8_t { NkNone, NkLit, NkLocal, NkGlobal, NkField, NkElem, NkParen, NkNeg, NkBin };

// Quotient and remainder of Integer and Long operands, which always fit in 32
// bits: the 32-bit divide is several times faster than the 64-bit one. The
// caller leaves a divisor of -1 to the general rules (the smallest Integer
// or Long divided by it overflows, and \ and Mod report that rather than
// widen) and a divisor of 0 (division by zero).
inline std::int64_t quot32(std::int64_t a, std::int64_t b) {
    return static_cast<std::int32_t>(a) / static_cast<std::int32_t>(b);
}
inline std::int64_t rem32(std::int64_t a, std::int64_t b) {
    return static_cast<std::int32_t>(a) % static_cast<std::int32_t>(b);
}

inline bool isComparison(const Expr& e) {
    return e.kind == EK::Binary && (e.op == Op::Eq || e.op == Op::Ne || e.op == Op::Lt ||
                                    e.op == Op::Le || e.op == Op::Gt || e.op == Op::Ge);
}

// The value of a Let: an object gives its default value.
inline Variant letValue(Variant v) {
    if (v.isObject()) {
        if (!v.objectValue()) throwRuntimeError(err::ObjectNotSet);
        return v.dereference();
    }
    return v;
}

// A run-time error that names its culprit (a variable, a procedure, a
// library function, an object and its member). The host's description of an
// uncaught error ends in ": 'culprit'"; the script's Err.Description does not.
struct NamedError : AutomationError {
    NamedError(AutomationError e, std::string name) : AutomationError(std::move(e)), culprit(std::move(name)) {}
    std::string culprit;  // UTF-8
};

// Raises error n naming a culprit (a plain error when the name is empty).
[[noreturn, gnu::cold]] void failNamed(std::int32_t n, std::u16string_view culprit);

// Raises a run-time error of a library function again naming the function;
// an object's own error or one named already passes as it is.
[[noreturn, gnu::cold]] void rethrowNamed(AutomationError& e, std::u16string_view culprit);

// The culprits of obj.member: "obj" and "obj.member" when the object is a
// plain name; empty otherwise (the error then names nothing).
std::u16string objectCulprit(const Expr& member);
std::u16string memberCulprit(const Expr& member);

// The failure of a statement (or a lone expression) at a place, with the
// culprit the error named.
[[gnu::cold]] ScriptFailure failureAt(AutomationError& e, std::int32_t line, std::int32_t col, const Block* b);

// The frame f with the variables Execute declared in its call after its own
// slots (refs holds the slots of the copy).
inline Frame withDynamic(const Frame& f, std::vector<Variant*>& refs) {
    Frame out = f;
    if (f.dyn && f.proc && !f.dyn->values.empty()) {
        refs.assign(f.ref, f.ref + f.proc->frameSize);
        for (Variant& v : f.dyn->values) refs.push_back(&v);
        out.ref = refs.data();
    }
    return out;
}

inline bool isIntLike(const Variant& v) {
    return v.type() == VarType::Integer || v.type() == VarType::Long;
}
inline std::int64_t intOf(const Variant& v) {
    return v.type() == VarType::Integer ? v.integerValue() : v.longValue();
}
// A whole number as Integer (when allowed and it fits), Long, or Double.
inline Variant typedInt(std::int64_t x, bool allowInteger) {
    if (allowInteger && x >= -32768 && x <= 32767) return Variant(static_cast<std::int16_t>(x));
    if (x >= std::numeric_limits<std::int32_t>::min() && x <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int32_t>(x));
    return Variant(static_cast<double>(x));
}

// A bound or step of For as a number: a string gives its value, Empty 0,
// a Boolean -1 or 0; Null fails.
Variant forNumber(const Variant& v);

// Whether the body of For runs (again): the counter, as the body left it,
// against the end.
[[gnu::always_inline]] inline bool Engine::forTest(ForState& st) {
    if (st.whole) [[likely]] {
        const Variant& cur = *st.var;
        std::int64_t i;
        if (isIntLike(cur)) [[likely]] {
            i = intOf(cur);
        } else {
            // The body stored something else in the counter: go on generically.
            Variant c = forNumber(cur);
            if (!isIntLike(c)) {
                double d = c.toDouble();
                if (st.st >= 0 ? d > static_cast<double>(st.e) : d < static_cast<double>(st.e)) return false;
                i = static_cast<std::int64_t>(std::llround(d));
            } else {
                i = intOf(c);
            }
        }
        return st.st >= 0 ? i <= st.e : i >= st.e;
    }
    int c = ops::compare(*st.var, st.end);
    return st.up ? c <= 0 : c >= 0;
}

[[gnu::always_inline]] inline void Engine::forStep(ForState& st) {
    Variant& after = *st.var;
    if (st.whole && isIntLike(after)) [[likely]]
        after = typedInt(intOf(after) + st.st, st.small && after.type() == VarType::Integer);
    else
        after = ops::add(after, st.step);
}

// Whether a comparison operator holds between two numbers of one type.
template <class T>
bool holds(Op op, T x, T y) {
    switch (op) {
    case Op::Ne: return x != y;
    case Op::Lt: return x < y;
    case Op::Le: return x <= y;
    case Op::Gt: return x > y;
    case Op::Ge: return x >= y;
    default: return x == y;
    }
}

// An operand of the commonest numeric shapes read in place: a local
// variable, a literal, or an element of a local array at a local index
// (a(i)); null for any other shape or an index out of range.
[[gnu::always_inline]] inline const Variant* quickOperand(const Expr& x, const Frame& f) {
    if (x.nk == NkLocal) return f.ref[x.slot];
    if (x.nk == NkLit) return &x.value;
    if (x.nk == NkElem && x.bind == Bind::Local && x.args.size() == 1 && x.args[0]->nk == NkLocal) {
        const Variant& arr = *f.ref[x.slot];
        const Variant& ix = *f.ref[x.args[0]->slot];
        if (!arr.isArray() || !isIntLike(ix)) return nullptr;
        const SafeArray* a = arr.arrayValue();
        if (a->bounds.size() != 1) return nullptr;
        const std::int64_t k = intOf(ix) - a->bounds[0].lower;
        if (k < 0 || k >= a->bounds[0].count) return nullptr;
        return &a->data[static_cast<std::size_t>(k)];
    }
    return nullptr;
}

// "a op b" of such operands when both hold numbers (Integer, Long or
// Double: i + 1, i < n, a(i) < p, s + x), without entering the numeric
// machine: the result in out, typed as the general rules type it, and a
// comparison 1 or 0 (as a Long), compared as the tree walker compares. False for other shapes and values, for a
// whole-number sum beyond a Long (the general rules widen it) and for an
// infinite one (they fail with an overflow).
[[gnu::always_inline]] inline bool quickNum(const Expr& e, const Frame& f, Engine::Num& out) {
    if (e.kind != EK::Binary || !e.numeric) return false;
    const Variant* x = quickOperand(*e.a, f);
    const Variant* y = x ? quickOperand(*e.b, f) : nullptr;
    if (!y) return false;
    const bool sum = e.op == Op::Add || e.op == Op::Sub;
    if (!sum && !isComparison(e)) return false;
    if (isIntLike(*x) && isIntLike(*y)) {
        const std::int64_t p = intOf(*x), q = intOf(*y);
        if (!sum) {
            out.kind = Engine::Num::Long;
            out.i = holds(e.op, p, q);
            return true;
        }
        const std::int64_t r = e.op == Op::Add ? p + q : p - q;
        if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max()) return false;
        out.kind = x->type() == VarType::Integer && y->type() == VarType::Integer && r >= -32768 && r <= 32767
                 ? Engine::Num::Integer : Engine::Num::Long;
        out.i = r;
        return true;
    }
    const bool dx = x->type() == VarType::Double, dy = y->type() == VarType::Double;
    if (!(dx || isIntLike(*x)) || !(dy || isIntLike(*y))) return false;
    const double p = dx ? x->doubleValue() : static_cast<double>(intOf(*x));
    const double q = dy ? y->doubleValue() : static_cast<double>(intOf(*y));
    if (!sum) {
        out.kind = Engine::Num::Long;
        out.i = holds(e.op, p, q);
        return true;
    }
    const double r = e.op == Op::Add ? p + q : p - q;
    if (!std::isfinite(r)) return false;
    out.kind = Engine::Num::Double;
    out.d = r;
    return true;
}

[[gnu::always_inline]] inline bool Engine::test(const Expr& e, Frame& f) {
    if (e.numeric && isComparison(e)) {
        Num q;
        if (quickNum(e, f, q)) return q.i != 0;
        int r = compareNum(e, f);
        if (r >= 0) return r != 0;
    } else if (e.kind == EK::Binary && (e.op == Op::Or || e.op == Op::And)) {
        // "If IsNull(x) Or IsEmpty(x) Then": both sides are evaluated, as
        // always; two Booleans need no Variant for the result.
        Variant a = eval(*e.a, f);
        Variant b = eval(*e.b, f);
        if (a.type() == VarType::Boolean && b.type() == VarType::Boolean)
            return e.op == Op::Or ? (a.boolValue() || b.boolValue()) : (a.boolValue() && b.boolValue());
        return truth(e.op == Op::Or ? ops::orOp(a, b) : ops::andOp(a, b));
    } else if (e.kind == EK::Unary && e.op == Op::Not) {
        // "Do While Not rs.EOF": Not of a Boolean is its opposite; anything
        // else (a number's bits, Null, an object's value) takes Not's rules.
        Variant v = eval(*e.a, f);
        if (v.type() == VarType::Boolean) return !v.boolValue();
        return truth(ops::notOp(v));
    } else if (e.kind == EK::Member) {
        return truth(evalMember(e, f));  // "Do Until rs.EOF"
    }
    return truth(eval(e, f));
}

[[gnu::always_inline]] inline bool Engine::evalNum(const Expr& e, Frame& f, Num& out) {
    const NumIns* ip = numForm(e, f);
    return ip && runNum(ip, f, out);
}

inline Flow Engine::runBody(const ProcDef& p, Frame& f) {
    Code& c = procCode(p);
    if (c.stale) [[unlikely]] recompile(p);
    f.code = &c;
    return runCode(c, f);
}


[[gnu::always_inline]] inline void Engine::leaveFrame(std::size_t from, std::size_t size, std::size_t params) noexcept {
    Variant* const vals = values_.data() + from;
    Variant** const ref = refs_.data() + from;
    // The parameters' slots point at their own values again (a ByRef one
    // pointed at its caller's variable); the few of most calls without a loop.
    switch (params) {
    default:
        for (std::size_t i = 4; i < params; ++i) ref[i] = vals + i;
        [[fallthrough]];
    case 4: ref[3] = vals + 3; [[fallthrough]];
    case 3: ref[2] = vals + 2; [[fallthrough]];
    case 2: ref[1] = vals + 1; [[fallthrough]];
    case 1: ref[0] = vals; [[fallthrough]];
    case 0: break;
    }
    // Most slots of a call that returned are Empty (a ByRef parameter's
    // own, a result taken): those need no release, and a frame of only
    // those makes no call (nor the register saves one needs). The slots are
    // released before the room is: a Class_Terminate's own calls go above.
    Variant* v = vals;
    Variant* const end = vals + size;
    if (size <= 4) {
        // Empty is 0: the types of a small frame are looked at together.
        static_assert(static_cast<unsigned>(VarType::Empty) == 0);
        auto type = [&](std::size_t k) { return k < size ? static_cast<unsigned>(vals[k].type()) : 0u; };
        if ((type(0) | type(1) | type(2) | type(3)) != 0) [[unlikely]]
            return releaseSlots(v, end, from);
    } else {
        while (v != end && v->type() == VarType::Empty) ++v;
        if (v != end) [[unlikely]]
            return releaseSlots(v, end, from);
    }
    sp_ = from;
    --depth_;
}

[[gnu::noinline]] inline void Engine::releaseFrame(std::size_t from, std::size_t size, std::size_t params) noexcept {
    leaveFrame(from, size, params);
}

// Arrays larger than this many elements fail with "Out of memory".
inline constexpr std::int64_t kMaxArrayElements = 1LL << 26;

// A new array with the given upper bounds (lower bounds 0).
Ref<SafeArray> makeArray(const std::vector<std::int32_t>& uppers, bool fixed);

// Script classes

class ScriptObject;

struct EngineLink : RefCounted {
    Engine* engine = nullptr;
    ScriptObject* live = nullptr;  // the instances alive, a list through ScriptObject
    Ref<DictionaryList> dictionaries = makeRef<DictionaryList>();  // the dictionaries made
};

// Empties the instances and dictionaries of an engine that only hold one
// another (cycles nothing outside reaches), so that they are freed. Runs no
// script code: for an engine that is closing.
void collectCycles(EngineLink& link) noexcept;

struct ClassMember {
    std::u16string name;
    bool isPublic = true;
    std::int32_t field = -1;
    ProcDef* method = nullptr;   // Sub / Function
    ProcDef* get = nullptr;
    ProcDef* let = nullptr;
    ProcDef* set = nullptr;
};

struct ClassInfo : RefCounted {
    Ref<ClassDef> def;
    std::vector<ClassMember> members;
    std::unordered_map<std::u16string, std::int32_t, NoCaseHash, NoCaseEqual> byName;
    std::int32_t defaultMember = -1;
    ProcDef* init = nullptr;
    ProcDef* term = nullptr;
    std::vector<const VarDecl*> fields;
    // Constants of the class: visible inside it only, each in a global slot
    // of its own that no name reaches.
    std::unordered_map<std::u16string, std::int32_t, NoCaseHash, NoCaseEqual> consts;
};

class ScriptObject final : public Dispatch {
public:
    ScriptObject(Ref<ClassInfo> c, Ref<EngineLink> l) : cls(std::move(c)), link(std::move(l)) {
        fields.resize(cls->fields.size());
        tally_.set(static_cast<std::int64_t>(sizeof(ScriptObject) + fields.capacity() * sizeof(Variant)));
        nextLive = link->live;
        if (nextLive) nextLive->prevLive = this;
        link->live = this;
    }
    ~ScriptObject() override {
        if (prevLive) prevLive->nextLive = nextLive;
        else link->live = nextLive;
        if (nextLive) nextLive->prevLive = prevLive;
    }
    std::int32_t memberId(std::u16string_view name) override {
        auto it = cls->byName.find(name);
        if (it == cls->byName.end() || !cls->members[it->second].isPublic) return kDispidUnknown;
        return it->second + 1;
    }
    Variant invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) override {
        if (!link->engine) throwRuntimeError(err::ObjectRequired);
        return link->engine->invokeClassMember(this, id, kind, args);
    }
    std::u16string typeName() const override { return cls->def->name; }

    Ref<ClassInfo> cls;
    Ref<EngineLink> link;
    std::vector<Variant> fields;
    bool terminated = false;
    ScriptObject* prevLive = nullptr;
    ScriptObject* nextLive = nullptr;
    memory::Tally tally_;

protected:
    void lastReleased() noexcept override {
        if (!terminated && cls->term && link->engine) {
            terminated = true;
            addRef();
            link->engine->terminate(this);
            release();  // deletes through lastReleased unless the script kept a reference
            return;
        }
        RefCounted::lastReleased();  // queued deletion: long chains stay off the stack
    }
};

// The script object behind a Dispatch, or null. ScriptObject is final, so
// its dynamic type tells. The type records are compared by address: the
// libraries are linked statically into each program, which then holds one
// record per type, and comparing them by name costs a string comparison on
// every call of a host object's member.
inline ScriptObject* asScriptObject(Dispatch* d) {
    return &typeid(*d) == &typeid(ScriptObject) ? static_cast<ScriptObject*>(d) : nullptr;
}

} // namespace qz::script
