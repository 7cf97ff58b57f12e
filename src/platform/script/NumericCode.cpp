// Numeric expressions (arithmetic and comparisons of number literals,
// variables and array elements) compiled to a flat list of instructions for a
// small stack machine. Walking the tree for such an expression costs a call
// and a dispatch per node; the flat form costs one dispatch per instruction,
// and an operand that is a variable or a literal rides in its operator's
// instruction.
//
// The machine computes with Integer, Long and Double only. It gives up
// (returns false) when an operand holds another subtype or when the result
// needs the general rules (overflow to Double that must round, division by
// zero, \ and Mod of Doubles); the caller then evaluates the expression the
// general way, which is safe because these expressions only read variables.
#include "platform/script/EngineDetail.h"

#include <cmath>
#include <limits>

namespace qz::script {

namespace {

// Each operator comes in seven forms: both operands on the stack, the right
// one a local variable (slot), the right one a literal; two that are a
// whole expression by themselves, "local op local" (slot, lit.i) and "local
// op literal" (slot; the literal's kind in arg), the commonest shapes
// (i + 1, i < n), which then cost one dispatch; the right one an Integer
// literal (s + (i Mod 7) * 2 - 1), whose kind need not be looked at; and
// "local op Integer literal" pushed as one operand (i Mod 7 there).
#define QZ_NUM_OPERATORS(X) X(Add) X(Sub) X(Mul) X(Div) X(IntDiv) X(Mod) X(Eq) X(Ne) X(Lt) X(Le) X(Gt) X(Ge)
#define QZ_NUM_OPCODES(name) \
    N##name, N##name##Local, N##name##Lit, N##name##LocalLocal, N##name##LocalLit, N##name##IntLit, N##name##LocalInt,
enum NumOp : std::uint8_t {
    NEnd,
    NFail,
    NPushLocal, NPushGlobal, NPushField, NPushLit,
    NElemLocal, NElemGlobal, NElemField,   // arg indices on the stack
    NElemLocalAtLocal,                     // a(i), both locals: slot a, lit.i i
    NNeg,
    QZ_NUM_OPERATORS(QZ_NUM_OPCODES)
};
#undef QZ_NUM_OPCODES

// The first of the seven opcodes of an operator; NFail for any other.
NumOp opcodeOf(Op op) {
    switch (op) {
#define QZ_NUM_CASE(name) case Op::name: return N##name;
        QZ_NUM_OPERATORS(QZ_NUM_CASE)
#undef QZ_NUM_CASE
    default: return NFail;
    }
}

enum Kind : std::uint8_t { KInteger, KLong, KDouble };

constexpr int kForms = 7;  // opcodes per operator

// Which of its operator's seven forms an operator's opcode is (0 to 6, in the
// order above).
int formOf(std::uint8_t op) { return (op - (NNeg + 1)) % kForms; }

struct Val {
    union {
        std::int64_t i;
        double d;
    };
    std::uint8_t k;
};

constexpr int kMaxStack = 24;

struct Compiler {
    std::vector<NumIns>& out;
    int depth = 0;
    int maxDepth = 0;
    bool ok = true;

    void push(int n = 1) {
        depth += n;
        if (depth > maxDepth) maxDepth = depth;
    }
    static bool literal(const Expr& e, NumIns& in) {
        switch (e.value.type()) {
        case VarType::Integer: in.slot = KInteger; in.lit.i = e.value.integerValue(); return true;
        case VarType::Long: in.slot = KLong; in.lit.i = e.value.longValue(); return true;
        case VarType::Double: in.slot = KDouble; in.lit.d = e.value.doubleValue(); return true;
        default: return false;
        }
    }
    void emit(const Expr& e) {
        NumIns in;
        switch (e.nk) {
        case NkLit:
            in.op = NPushLit;
            if (!literal(e, in)) ok = false;
            out.push_back(in);
            push();
            return;
        case NkLocal: in.op = NPushLocal; in.slot = e.slot; out.push_back(in); push(); return;
        case NkGlobal: in.op = NPushGlobal; in.slot = e.slot; out.push_back(in); push(); return;
        case NkField: in.op = NPushField; in.slot = e.slot; out.push_back(in); push(); return;
        case NkElem:
            if (e.args.empty() || e.args.size() > 4) { ok = false; return; }
            for (const auto& a : e.args) emit(*a);
            in.op = e.bind == Bind::Local ? NElemLocal : e.bind == Bind::Global ? NElemGlobal
                  : e.bind == Bind::Field ? NElemField : NFail;
            in.slot = e.slot;
            in.arg = static_cast<std::uint8_t>(e.args.size());
            out.push_back(in);
            depth -= static_cast<int>(e.args.size()) - 1;
            return;
        case NkParen: emit(*e.a); return;
        case NkNeg: emit(*e.a); in.op = NNeg; out.push_back(in); return;
        case NkBin: {
            const NumOp base = opcodeOf(e.op);
            if (base == NFail) ok = false;
            // A sum or product is the same either way round, and these
            // expressions only read: a plain left operand (s + (i Mod 7) * 2)
            // rides in the operator's instruction when the right one is not plain.
            const Expr* a = e.a.get();
            const Expr* bp = e.b.get();
            auto plain = [](const Expr& x) { return x.nk == NkLocal || x.nk == NkLit; };
            if ((e.op == Op::Add || e.op == Op::Mul) && plain(*a) && !plain(*bp)) std::swap(a, bp);
            emit(*a);
            const Expr& b = *bp;
            if (b.nk == NkLocal) {
                in.op = static_cast<std::uint8_t>(base + 1);
                in.slot = b.slot;
            } else if (b.nk == NkLit) {
                NumIns lit;
                if (!literal(b, lit)) ok = false;
                in.op = static_cast<std::uint8_t>(base + 2);
                in.lit = lit.lit;
                in.slot = lit.slot;  // the literal's kind
            } else {
                emit(b);
                in.op = base;
                --depth;
            }
            out.push_back(in);
            return;
        }
        default:
            ok = false;
            return;
        }
    }
};

[[gnu::always_inline]] inline bool load(const Variant& v, Val& out) {
    // Long first: loop counters and most whole numbers in scripts are Longs.
    if (v.type() == VarType::Long) {
        out.k = KLong;
        out.i = v.longValue();
    } else if (v.type() == VarType::Integer) {
        out.k = KInteger;
        out.i = v.integerValue();
    } else if (v.type() == VarType::Double) {
        out.k = KDouble;
        out.d = v.doubleValue();
    } else {
        return false;
    }
    return true;
}

inline Val literalOf(const NumIns& in) {
    Val v;
    v.k = static_cast<std::uint8_t>(in.slot);
    if (v.k == KDouble) v.d = in.lit.d;
    else v.i = in.lit.i;
    return v;
}

// a = a op b under the script's result-type rules.
template <Op O>
[[gnu::always_inline]] inline bool arith(Val& a, const Val& b) {
    static_assert(KInteger == 0 && KLong == 1 && KDouble == 2);
    if ((a.k | b.k) < KDouble) {  // two whole numbers
        std::int64_t r;
        if constexpr (O == Op::Add) r = a.i + b.i;
        else if constexpr (O == Op::Sub) r = a.i - b.i;
        else if constexpr (O == Op::Mul) r = a.i * b.i;
        else if constexpr (O == Op::IntDiv) {
            if (b.i == 0 || b.i == -1) return false;
            r = quot32(a.i, b.i);
        } else if constexpr (O == Op::Mod) {
            if (b.i == 0 || b.i == -1) return false;
            r = rem32(a.i, b.i);
        } else {
            static_assert(O == Op::Div);
            if (b.i == 0) return false;
            a.d = static_cast<double>(a.i) / static_cast<double>(b.i);
            a.k = KDouble;
            return true;
        }
        // An Integer when both are and it fits, else a Long when it fits.
        if (static_cast<std::int32_t>(r) == r) [[likely]] {
            a.k = (a.k | b.k) == KInteger && static_cast<std::int16_t>(r) == r ? KInteger : KLong;
            a.i = r;
        } else {
            a.k = KDouble;
            a.d = static_cast<double>(r);
        }
        return true;
    }
    if constexpr (O == Op::IntDiv || O == Op::Mod) {
        return false;  // \ and Mod round their operands: the general rules
    } else {
        const double x = a.k == KDouble ? a.d : static_cast<double>(a.i);
        const double y = b.k == KDouble ? b.d : static_cast<double>(b.i);
        double r;
        if constexpr (O == Op::Add) r = x + y;
        else if constexpr (O == Op::Sub) r = x - y;
        else if constexpr (O == Op::Mul) r = x * y;
        else {
            if (y == 0) return false;
            r = x / y;
        }
        if (!std::isfinite(r)) return false;
        a.k = KDouble;
        a.d = r;
        return true;
    }
}

// a = (a op b) as 0 or 1.
template <Op O>
[[gnu::always_inline]] inline bool arithCompare(Val& a, const Val& b) {
    int c;
    if (a.k != KDouble && b.k != KDouble) {
        c = a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
    } else {
        const double x = a.k == KDouble ? a.d : static_cast<double>(a.i);
        const double y = b.k == KDouble ? b.d : static_cast<double>(b.i);
        c = x < y ? -1 : x > y ? 1 : 0;
    }
    bool r;
    if constexpr (O == Op::Eq) r = c == 0;
    else if constexpr (O == Op::Ne) r = c != 0;
    else if constexpr (O == Op::Lt) r = c < 0;
    else if constexpr (O == Op::Le) r = c <= 0;
    else if constexpr (O == Op::Gt) r = c > 0;
    else r = c >= 0;
    a.k = KLong;
    a.i = r ? 1 : 0;
    return true;
}

template <Op O>
[[gnu::always_inline]] inline bool apply(Val& a, const Val& b) {
    if constexpr (O == Op::Eq || O == Op::Ne || O == Op::Lt || O == Op::Le || O == Op::Gt || O == Op::Ge)
        return arithCompare<O>(a, b);
    else
        return arith<O>(a, b);
}

// The element of an array variable at the indices idx[0..n);
// false when the variable holds no array or an index is out of range (the
// general way then reports it).
inline bool element(const Variant& v, Val* idx, int n, Val& out) {
    if (!v.isArray()) return false;
    const SafeArray* a = v.arrayValue();
    if (static_cast<std::size_t>(n) != a->bounds.size()) return false;
    if (n == 1 && idx[0].k != KDouble) {
        // The common case: a vector indexed by a whole number.
        const std::int64_t ix = idx[0].i - a->bounds[0].lower;
        if (ix < 0 || ix >= a->bounds[0].count) return false;
        return load(a->data[static_cast<std::size_t>(ix)], out);
    }
    std::size_t offset = 0, stride = 1;
    for (int k = 0; k < n; ++k) {
        std::int64_t ix;
        if (idx[k].k == KDouble) {
            if (!(idx[k].d > -2147483648.5 && idx[k].d < 2147483647.5)) return false;
            ix = static_cast<std::int64_t>(std::nearbyint(idx[k].d));
        } else {
            ix = idx[k].i;
        }
        ix -= a->bounds[k].lower;
        if (ix < 0 || ix >= a->bounds[k].count) return false;
        offset += static_cast<std::size_t>(ix) * stride;
        stride *= static_cast<std::size_t>(a->bounds[k].count);
    }
    return load(a->data[offset], out);
}

inline bool result(const Val& v, Engine::Num& out) {
    out.kind = static_cast<Engine::Num::Kind>(v.k);
    if (v.k == KDouble) out.d = v.d;
    else out.i = v.i;
    return true;
}

} // namespace

const NumIns* Engine::compileNum(const Expr& e, NumCode& out) {
    std::vector<NumIns>& code = out.code;
    code.clear();
    Compiler c{code};
    c.emit(e);
    if (!c.ok || c.maxDepth > kMaxStack) {
        code.clear();
        code.push_back(NumIns{NFail, 0, 0, {0}});
    } else {
        // A vector element indexed by a local variable (a(i) in every loop
        // over an array): one instruction instead of two.
        for (std::size_t k = 0; k + 1 < code.size(); ++k) {
            if (code[k].op == NPushLocal && code[k + 1].op == NElemLocal && code[k + 1].arg == 1) {
                NumIns fused = code[k + 1];
                fused.op = NElemLocalAtLocal;
                fused.lit.i = code[k].slot;
                code[k] = fused;
                code.erase(code.begin() + static_cast<std::ptrdiff_t>(k) + 1);
            }
        }
        if (code.size() == 2 && code[0].op == NPushLocal && code[1].op > NNeg) {
            // "local op local" or "local op literal": one instruction.
            const int form = formOf(code[1].op);
            NumIns fused = code[1];
            fused.slot = code[0].slot;
            if (form == 1) {
                fused.op = static_cast<std::uint8_t>(code[1].op + 2);
                fused.lit.i = code[1].slot;
            } else if (form == 2) {
                fused.op = static_cast<std::uint8_t>(code[1].op + 2);
                fused.arg = static_cast<std::uint8_t>(code[1].slot);
            }
            if (form == 1 || form == 2) code.assign(1, fused);
        }
        for (NumIns& in : code)
            if (in.op > NNeg && formOf(in.op) == 2 && in.slot == KInteger)
                in.op = static_cast<std::uint8_t>(in.op + 3);
        // A local variable and an Integer literal on the right of its
        // operator: one instruction that pushes the result.
        for (std::size_t k = 0; k + 1 < code.size(); ++k) {
            if (code[k].op == NPushLocal && code[k + 1].op > NNeg && formOf(code[k + 1].op) == 5) {
                NumIns fused = code[k + 1];
                fused.op = static_cast<std::uint8_t>(fused.op + 1);
                fused.slot = code[k].slot;
                code[k] = fused;
                code.erase(code.begin() + static_cast<std::ptrdiff_t>(k) + 1);
            }
        }
        code.push_back(NumIns{NEnd, 0, 0, {0}});
    }
    code.shrink_to_fit();
    out.expr = &e;
    return code.data();
}

// Dispatch is threaded: each instruction jumps straight to the handler of the
// next (a computed goto), which saves the loop's bounds check and gives the
// branch predictor one jump per handler to learn.
bool Engine::runNum(const NumIns* ip, Frame& f, Num& out) {
#define QZ_NUM_LABELS(name) &&L_##name, &&L_##name##Local, &&L_##name##Lit, &&L_##name##LocalLocal, &&L_##name##LocalLit, \
                            &&L_##name##IntLit, &&L_##name##LocalInt,
    static const void* const handlers[] = {
        &&L_End, &&L_Fail, &&L_PushLocal, &&L_PushGlobal, &&L_PushField, &&L_PushLit,
        &&L_ElemLocal, &&L_ElemGlobal, &&L_ElemField, &&L_ElemLocalAtLocal, &&L_Neg,
        QZ_NUM_OPERATORS(QZ_NUM_LABELS)
    };
#undef QZ_NUM_LABELS
    Val stack[kMaxStack];
    Val* sp = stack;  // the next free entry
    const Variant* v;
#define QZ_NEXT goto *handlers[(++ip)->op]
    goto *handlers[ip->op];

L_End:
    return result(stack[0], out);
L_Fail:
    return false;
L_PushLocal:
    if (!load(*f.ref[ip->slot], *sp++)) return false;
    QZ_NEXT;
L_PushGlobal:
    if (!load(globals_[ip->slot], *sp++)) return false;
    QZ_NEXT;
L_PushField:
    if (!f.me || !load(f.me->fields[ip->slot], *sp++)) return false;
    QZ_NEXT;
L_PushLit:
    *sp++ = literalOf(*ip);
    QZ_NEXT;
L_ElemLocal:
    v = f.ref[ip->slot];
    goto element;
L_ElemGlobal:
    v = &globals_[ip->slot];
    goto element;
L_ElemField:
    if (!f.me) return false;
    v = &f.me->fields[ip->slot];
element:
    sp -= ip->arg;
    if (!element(*v, sp, ip->arg, *sp)) return false;
    ++sp;
    QZ_NEXT;
L_ElemLocalAtLocal:
    if (!load(*f.ref[ip->lit.i], *sp) || !element(*f.ref[ip->slot], sp, 1, *sp)) return false;
    ++sp;
    QZ_NEXT;
L_Neg: {
    Val& a = sp[-1];
    if (a.k == KDouble) {
        a.d = -a.d;
    } else {
        a.i = -a.i;
        if (a.k == KInteger && a.i > 32767) a.k = KLong;
        else if (a.k == KLong && a.i > std::numeric_limits<std::int32_t>::max()) {
            a.k = KDouble;
            a.d = static_cast<double>(a.i);
        }
    }
    QZ_NEXT;
}
#define QZ_NUM_HANDLERS(name)                                                      \
L_##name:                                                                          \
    --sp;                                                                          \
    if (!apply<Op::name>(sp[-1], *sp)) return false;                               \
    QZ_NEXT;                                                                       \
L_##name##Local: {                                                                 \
    Val b;                                                                         \
    if (!load(*f.ref[ip->slot], b) || !apply<Op::name>(sp[-1], b)) return false;   \
    QZ_NEXT;                                                                       \
}                                                                                  \
L_##name##Lit:                                                                     \
    if (!apply<Op::name>(sp[-1], literalOf(*ip))) return false;                    \
    QZ_NEXT;                                                                       \
L_##name##LocalLocal: {                                                            \
    Val a, b;                                                                      \
    if (!load(*f.ref[ip->slot], a) || !load(*f.ref[ip->lit.i], b) ||               \
        !apply<Op::name>(a, b))                                                    \
        return false;                                                              \
    return result(a, out);                                                         \
}                                                                                  \
L_##name##LocalLit: {                                                              \
    Val a, b;                                                                      \
    b.k = ip->arg;                                                                 \
    if (b.k == KDouble) b.d = ip->lit.d;                                           \
    else b.i = ip->lit.i;                                                          \
    if (!load(*f.ref[ip->slot], a) || !apply<Op::name>(a, b)) return false;        \
    return result(a, out);                                                         \
}                                                                                  \
L_##name##IntLit: {                                                                \
    Val b;                                                                         \
    b.k = KInteger;                                                                \
    b.i = ip->lit.i;                                                               \
    if (!apply<Op::name>(sp[-1], b)) return false;                                 \
    QZ_NEXT;                                                                       \
}                                                                                  \
L_##name##LocalInt: {                                                              \
    Val b;                                                                         \
    b.k = KInteger;                                                                \
    b.i = ip->lit.i;                                                               \
    if (!load(*f.ref[ip->slot], *sp) || !apply<Op::name>(*sp, b)) return false;    \
    ++sp;                                                                          \
    QZ_NEXT;                                                                       \
}
    QZ_NUM_OPERATORS(QZ_NUM_HANDLERS)
#undef QZ_NUM_HANDLERS
#undef QZ_NEXT
}

} // namespace qz::script
