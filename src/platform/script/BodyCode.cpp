// Procedure bodies compiled to a flat list of instructions. The tree walker
// runs a statement list by a loop over it and a call per statement, and each
// loop or branch nests another such walk; here the whole body is one list in
// which loops and branches are jumps, run by one loop with one dispatch per
// instruction. Let, calls and numeric conditions run as they do in the tree
// walker; the statements without an instruction of their own (Select, With,
// For Each, ReDim ...) run through it, and only their Exit reaches back here.
//
// A body that turns errors off (On Error Resume Next) compiles to one
// instruction that runs it by the tree walker, which goes on after a failing
// statement and needs its lists for that; so does module-level code, which
// runs once. Any other body never goes on after an error, so an error here
// only needs the statement it happened in.
#include "platform/script/EngineDetail.h"
#include "platform/script/runtime/Runtime.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <new>

namespace qz::script {

namespace {

enum BodyOp : std::uint8_t {
    BEnd,        // the end of the body
    BExec,       // s by the tree walker; its Exit Do / Exit For jump to target / exitFor
    BAssign,     // Let
    BAssignNum,  // Let of a numeric expression into a local variable
    BAssignCall, // Let of a function's result into a local variable
    BAssignElem, // Let into an element of a local array at a local index
    BCall,       // a call statement
    BJump,       // to target
    BJumpIfNot,  // to target when the condition e is false
    BJumpIf,     // to target when the condition e is true
    BLoop,       // the end of a loop's turn: the time-out and memory check, then to target
    BForPrep,    // the head of For s (state loop); to target when it does not run
    BForNext,    // the next turn of For s (state loop): back to target while it runs
    BExit,       // leaves the body with the flow in target
    BBlankTest,  // an expression field's If: to target when its value is neither Null nor Empty
    BRegJump,    // to target when x compared with y gives an order in mask (else as JumpIf / JumpIfNot by whenTrue)
    BRegSet,     // to = x, to a local variable or a vector's element (else as AssignNum / AssignElem)
    BRegSum,     // to = x + y, or x - y when mask is 1, to a local variable (else as AssignNum)
    BRegNum,     // to = a numeric expression, to a local variable (else as AssignNum)
    BNumJump,    // to target when the numeric comparison e gives whenTrue, by its numeric form
    BWalk,       // the statement list `list` by the tree walker; its flow ends the body
    BRegJumpLL,  // RegJump of two local variables
    BRegJumpEL,  // RegJump of a vector's element and a local variable
    BRegSumLK,   // RegSum of a local variable and a number constant (i = i + 1)
    BRegSumLL,   // RegSum of two local variables (s = s + x)
    BWithEnter,  // With s: its object into slot `with`, the frame's With object
    BWithLeave,  // the end of a With: slot `with` let go, the frame's With object that of slot outerWith
    BSet,        // Set
    BReDim,      // ReDim
    BErase,      // Erase
};

// The kinds of a register operand (RegOperand::kind).
enum RegKind : std::uint8_t { RLocal, RLit, RElem };

// A register operand decoded from a plain operand of a numeric expression
// (a literal's value kept in constants); false for any other shape. A
// literal must be a number.
bool regOperand(const Expr& x, RegOperand& o, std::deque<Variant>& constants) {
    if (x.nk == NkLocal && x.bind == Bind::Local && !x.hasArgs) {
        o.kind = RLocal;
        o.slot = x.slot;
        return true;
    }
    if (x.nk == NkLit) {
        const VarType t = x.value.type();
        if (t != VarType::Integer && t != VarType::Long && t != VarType::Double) return false;
        o.kind = RLit;
        constants.push_back(x.value);
        o.lit = &constants.back();
        return true;
    }
    if (x.nk == NkElem && x.bind == Bind::Local && x.args.size() == 1 && x.args[0]->nk == NkLocal &&
        x.args[0]->bind == Bind::Local) {
        o.kind = RElem;
        o.slot = x.slot;
        o.index = x.args[0]->slot;
        return true;
    }
    return false;
}

// The bits of BodyIns::mask for the orders a comparison holds in: less,
// equal, greater (the order c as -1, 0, 1 picks bit c + 1).
std::uint8_t orderMask(Op op) {
    switch (op) {
    case Op::Eq: return 0b010;
    case Op::Ne: return 0b101;
    case Op::Lt: return 0b001;
    case Op::Le: return 0b011;
    case Op::Gt: return 0b100;
    default: return 0b110;  // Ge
    }
}

// The vector element a register operand names, or null when the variable
// holds no vector or the index is no whole number in its bounds.
[[gnu::always_inline]] inline Variant* regElement(std::int32_t slot, std::int32_t index, const Frame& f) {
    const Variant& arr = *f.ref[slot];
    const Variant& ix = *f.ref[index];
    if (!arr.isArray() || !isIntLike(ix)) return nullptr;
    SafeArray* a = arr.arrayValue();
    if (a->bounds.size() != 1) return nullptr;
    const std::int64_t k = intOf(ix) - a->bounds[0].lower;
    if (k < 0 || k >= a->bounds[0].count) return nullptr;
    return &a->data[static_cast<std::size_t>(k)];
}

// A value that holds no string, object or array: overwriting it lets go of nothing.
[[gnu::always_inline]] inline bool plainValue(const Variant& v) {
    return !v.isString() && !v.isObject() && !v.isArray();
}

[[gnu::always_inline]] inline const Variant* regValue(const RegOperand& o, const Frame& f) {
    if (o.kind == RLocal) return f.ref[o.slot];
    if (o.kind == RLit) return o.lit;
    return regElement(o.slot, o.index, f);
}

// The order of two numbers (-1, 0, 1), or 2 when either is no number or
// not a number (NaN): the general rules then compare them.
[[gnu::always_inline]] inline int regOrder(const Variant& x, const Variant& y) {
    if (x.type() == VarType::Long && y.type() == VarType::Long) [[likely]] {
        const std::int32_t p = x.longValue(), q = y.longValue();
        return (p > q) - (p < q);
    }
    if (isIntLike(x) && isIntLike(y)) {
        const std::int64_t p = intOf(x), q = intOf(y);
        return (p > q) - (p < q);
    }
    const bool dx = x.type() == VarType::Double, dy = y.type() == VarType::Double;
    if (!(dx || isIntLike(x)) || !(dy || isIntLike(y))) return 2;
    const double p = dx ? x.doubleValue() : static_cast<double>(intOf(x));
    const double q = dy ? y.doubleValue() : static_cast<double>(intOf(y));
    if (p != p || q != q) return 2;
    return (p > q) - (p < q);
}

// x + y or x - y of two numbers into a local variable that holds no string,
// object or array, typed as the general rules type it; false when either
// is no number or the result needs the general rules (beyond a Long, or
// infinite).
[[gnu::always_inline]] inline bool regSum(const Variant& x, const Variant& y, bool minus, Variant& to) {
    if (x.type() == VarType::Long && isIntLike(y)) [[likely]] {
        // A Long and a whole number: a Long while it fits.
        const std::int64_t p = x.longValue(), q = intOf(y);
        const std::int64_t r = minus ? p - q : p + q;
        if (static_cast<std::int32_t>(r) != r) return false;  // beyond a Long
        to = Variant(static_cast<std::int32_t>(r));
        return true;
    }
    if (isIntLike(x) && isIntLike(y)) {
        const std::int64_t p = intOf(x), q = intOf(y);
        const std::int64_t r = minus ? p - q : p + q;
        if (static_cast<std::int32_t>(r) != r) return false;  // beyond a Long
        if (x.type() == VarType::Integer && y.type() == VarType::Integer && r >= -32768 && r <= 32767)
            to = Variant(static_cast<std::int16_t>(r));
        else
            to = Variant(static_cast<std::int32_t>(r));
        return true;
    }
    const bool dx = x.type() == VarType::Double, dy = y.type() == VarType::Double;
    if (!(dx || isIntLike(x)) || !(dy || isIntLike(y))) return false;
    const double p = dx ? x.doubleValue() : static_cast<double>(intOf(x));
    const double q = dy ? y.doubleValue() : static_cast<double>(intOf(y));
    const double r = minus ? p - q : p + q;
    if (!std::isfinite(r)) return false;
    to = Variant(r);
    return true;
}

bool turnsErrorsOff(const StmtList& list);

bool turnsErrorsOff(const Stmt& s) {
    if (s.kind == SK::OnError) return true;
    if (turnsErrorsOff(s.body)) return true;
    for (const auto& br : s.branches)
        if (turnsErrorsOff(br.body)) return true;
    for (const auto& c : s.cases)
        if (turnsErrorsOff(c.body)) return true;
    return false;
}

bool turnsErrorsOff(const StmtList& list) {
    for (const auto& s : list)
        if (turnsErrorsOff(*s)) return true;
    return false;
}

bool quickOperandShape(const Expr& x) {
    return x.nk == NkLocal || x.nk == NkLit || (x.nk == NkElem && x.args.size() == 1 && x.args[0]->nk == NkLocal);
}

// Whether quickNum may take the expression: a sum, difference or comparison
// of two plain operands.
bool quickShape(const Expr& e) {
    return e.kind == EK::Binary && e.numeric && quickOperandShape(*e.a) && quickOperandShape(*e.b);
}

// A chain of member gets on a variable with literal arguments
// (Lines.Fields("Amount").Value): reading it runs no code of the script.
bool memberChainShape(const Expr& x) {
    if (x.kind != EK::Member || x.name.empty() || !x.a) return false;
    for (const auto& a : x.args)
        if (a->kind != EK::Literal || a->value.isObject()) return false;
    const Expr& o = *x.a;
    if (o.kind == EK::Ident) return !o.hasArgs && (o.bind == Bind::Local || o.bind == Bind::Global);
    return memberChainShape(o);
}

bool sameChain(const Expr& x, const Expr& y) {
    if (x.kind != y.kind || x.args.size() != y.args.size() || !equalsNoCase(x.name, y.name)) return false;
    if (x.kind == EK::Ident) return x.bind == y.bind && x.slot == y.slot && x.hasArgs == y.hasArgs;
    for (std::size_t i = 0; i < x.args.size(); ++i) {
        const Variant& p = x.args[i]->value;
        const Variant& q = y.args[i]->value;
        if (p.type() != q.type() || p.isArray() || ops::compare(p, q) != 0) return false;
    }
    return sameChain(*x.a, *y.a);
}

// Whether c is "IsNull(x) Or IsEmpty(x)" of the run-time library's own
// functions (a script may bind those names anew), x a member chain.
bool blankCondition(const Expr& c, std::int32_t isNull, std::int32_t isEmpty) {
    auto call = [](const Expr& e, std::int32_t fn) {
        return e.kind == EK::Ident && e.hasArgs && e.bind == Bind::Builtin && e.slot == fn && e.args.size() == 1;
    };
    return c.kind == EK::Binary && c.op == Op::Or && call(*c.a, isNull) && call(*c.b, isEmpty) &&
           memberChainShape(*c.a->args[0]) && sameChain(*c.a->args[0], *c.b->args[0]);
}

// Where the else branch's first statement reads x first of all: as the first
// argument of a method of a variable (oRun.PrintExp x, ...), or as the first
// argument of a library function that is that argument
// (oRun.PrintExp FormatCurrency(x, ...), ...). Null for any other shape: then
// some code may run before x is read.
const Expr* firstRead(const Stmt& s, const Expr& x) {
    if (s.kind != SK::Call || !s.target || s.target->kind != EK::Member || s.target->name.empty()) return nullptr;
    const Expr& call = *s.target;
    if (!call.a || call.a->kind != EK::Ident || call.a->hasArgs ||
        (call.a->bind != Bind::Local && call.a->bind != Bind::Global) || call.args.empty())
        return nullptr;
    const Expr& first = *call.args[0];
    if (first.kind == EK::Member) return sameChain(first, x) ? &first : nullptr;
    if (first.kind == EK::Ident && first.hasArgs && first.bind == Bind::Builtin && !first.args.empty() &&
        first.args[0]->kind == EK::Member && sameChain(*first.args[0], x))
        return first.args[0].get();
    return nullptr;
}

class Compiler {
public:
    Compiler(Code& out, const std::vector<std::unique_ptr<Code>>& procs, std::int32_t isNull, std::int32_t isEmpty)
        : unit_(out), procs_(procs), code_(out.ins), constants_(out.constants), forStates_(out.loops), isNull_(isNull),
          isEmpty_(isEmpty) {}

    void list(const StmtList& l) {
        for (const auto& s : l) stmt(*s);
    }
    void end() { emit(BEnd, nullptr); }

private:
    // The loops around the code being compiled, innermost last: the jumps
    // of their Exit wait for the loop's end.
    struct Loop {
        bool isFor;
        std::size_t withs;                 // the Withs open around the loop
        std::vector<std::int32_t> exits;   // instructions whose target is the end
        std::vector<std::int32_t> forExits; // Exec instructions whose exitFor is the end
        // Exits from inside a With in the loop: each leaves the Withs it is
        // in first (the With slots open there).
        struct Crossing {
            std::int32_t at;
            bool viaExitFor;
            std::vector<std::int32_t> withs;
        };
        std::vector<Crossing> crossings;
    };

    std::int32_t here() const { return static_cast<std::int32_t>(code_.size()); }
    std::int32_t emit(std::uint8_t op, const Stmt* s, const Expr* e = nullptr, std::int32_t target = -1) {
        BodyIns in;
        in.op = op;
        in.s = s;
        in.e = e;
        in.target = target;
        code_.push_back(in);
        return here() - 1;
    }
    Loop* innermost(bool isFor) {
        for (auto it = open_.rbegin(); it != open_.rend(); ++it)
            if (it->isFor == isFor) return &*it;
        return nullptr;
    }
    void closeLoop() {
        Loop& l = open_.back();
        std::int32_t over = -1;
        if (!l.crossings.empty()) over = emit(BJump, nullptr);
        for (const Loop::Crossing& c : l.crossings) {
            BodyIns& from = code_[static_cast<std::size_t>(c.at)];
            (c.viaExitFor ? from.exitFor : from.target) = here();
            for (std::size_t k = c.withs.size(); k-- > l.withs;) leaveWith(c.withs, k);
            l.exits.push_back(emit(BJump, nullptr));
        }
        if (over >= 0) code_[static_cast<std::size_t>(over)].target = here();
        for (std::int32_t k : l.exits) code_[static_cast<std::size_t>(k)].target = here();
        for (std::int32_t k : l.forExits) code_[static_cast<std::size_t>(k)].exitFor = here();
        open_.pop_back();
    }
    // The instruction that ends the With of withs[k].
    void leaveWith(const std::vector<std::int32_t>& withs, std::size_t k) {
        BodyIns& in = code_[static_cast<std::size_t>(emit(BWithLeave, nullptr))];
        in.with = withs[k];
        in.outerWith = k > 0 ? withs[k - 1] : -1;
    }
    // An exit of loop l from here: straight to its end, or through the
    // ends of the Withs it leaves.
    void exitTo(Loop& l, std::int32_t at, bool viaExitFor) {
        if (withs_.size() > l.withs) l.crossings.push_back({at, viaExitFor, withs_});
        else (viaExitFor ? l.forExits : l.exits).push_back(at);
    }

    void stmt(const Stmt& s) {
        switch (s.kind) {
        case SK::Assign: {
            const Expr& t = *s.target;
            const bool num = t.kind == EK::Ident && !t.hasArgs && t.bind == Bind::Local &&
                             s.value->nk != 0 && !isComparison(*s.value);
            const bool call = t.kind == EK::Ident && !t.hasArgs && t.bind == Bind::Local &&
                              s.value->kind == EK::Ident && s.value->bind == Bind::Proc;
            const bool elem = t.kind == EK::Ident && t.bind == Bind::Local && t.args.size() == 1 &&
                              t.args[0]->nk == NkLocal;
            const std::int32_t k = emit(num ? BAssignNum : call ? BAssignCall : elem ? BAssignElem : BAssign, &s);
            // A sum or comparison of two plain operands may take the shortcut of
            // quickNum (binding anew can take a shape out of it, never into it).
            if (num) code_[static_cast<std::size_t>(k)].quick = quickShape(*s.value);
            if (num || elem) regAssign(code_[static_cast<std::size_t>(k)], t, *s.value);
            if (call) refArgs(code_[static_cast<std::size_t>(k)], *s.value);
            return;
        }
        case SK::Call: refArgs(code_[static_cast<std::size_t>(emit(BCall, &s))], *s.target); return;
        case SK::If: branches(s); return;
        case SK::Do: loop(s); return;
        case SK::For: forLoop(s); return;
        case SK::Exit: exit(s); return;
        case SK::Set: emit(BSet, &s); return;
        case SK::ReDim: emit(BReDim, &s); return;
        case SK::Erase: emit(BErase, &s); return;
        case SK::Nop: return;
        case SK::With:
            if (s.withSlot >= 0) {
                withBlock(s);
                return;
            }
            break;
        default: break;
        }
        // The tree walker runs it; an Exit inside it ends here as its flow.
        std::int32_t k = emit(BExec, &s);
        if (Loop* d = innermost(false)) exitTo(*d, k, false);
        if (Loop* f = innermost(true)) exitTo(*f, k, true);
    }

    void withBlock(const Stmt& s) {
        code_[static_cast<std::size_t>(emit(BWithEnter, &s))].with = s.withSlot;
        withs_.push_back(s.withSlot);
        list(s.body);
        leaveWith(withs_, withs_.size() - 1);
        withs_.pop_back();
    }

    // The register form of a Let into a local variable or an element (the
    // instruction keeps its first form as the way back): a plain operand,
    // or a sum or difference of two.
    void regAssign(BodyIns& in, const Expr& t, const Expr& v) {
        BodyIns r = in;
        if (t.args.empty()) {
            r.to.kind = RLocal;
            r.to.slot = t.slot;
        } else {
            if (t.args[0]->bind != Bind::Local) return;
            r.to.kind = RElem;
            r.to.slot = t.slot;
            r.to.index = t.args[0]->slot;
        }
        if (regOperand(v, r.x, constants_)) {
            r.op = BRegSet;
        } else if (r.to.kind == RLocal && v.kind == EK::Binary && v.numeric && (v.op == Op::Add || v.op == Op::Sub) &&
                   regOperand(*v.a, r.x, constants_) && regOperand(*v.b, r.y, constants_)) {
            r.op = BRegSum;
            r.mask = v.op == Op::Sub ? 1 : 0;
            if (r.x.kind == RLocal && r.y.kind == RLit) r.op = BRegSumLK;
            else if (r.x.kind == RLocal && r.y.kind == RLocal) r.op = BRegSumLL;
        } else if (r.to.kind == RLocal && static_cast<std::uint32_t>(v.num) < unit_.numCount) {
            r.op = BRegNum;
            r.num = &unit_.nums[static_cast<std::size_t>(v.num)];
        } else {
            return;
        }
        in = r;
    }

    // A call of a procedure: its code object is taken here, for as long as
    // the bindings stay those it was compiled against (see unoptimize). A call whose every
    // argument is a local variable given to a ByRef parameter, the commonest
    // call, is given the slots of those variables, so that its
    // parameters are taken as them without a test per argument.
    void refArgs(BodyIns& in, const Expr& call) const {
        if ((in.op != BAssignCall && in.op != BCall) || call.kind != EK::Ident || call.bind != Bind::Proc || !call.proc)
            return;
        const ProcDef& p = *call.proc;
        in.callee = procs_[static_cast<std::size_t>(p.index)].get();
        if (call.args.size() != p.params.size() || call.args.size() > 64) return;
        for (std::size_t i = 0; i < call.args.size(); ++i) {
            const Expr& a = *call.args[i];
            if (!p.params[i].byRef || a.kind != EK::Ident || a.hasArgs || a.bind != Bind::Local) return;
        }
        auto slots = std::make_unique<std::int32_t[]>(call.args.size());
        for (std::size_t i = 0; i < call.args.size(); ++i) slots[i] = call.args[i]->slot;
        in.argSlots = slots.get();
        unit_.argSlots.push_back(std::move(slots));
    }

    // A conditional jump: when the condition is a comparison of two plain
    // operands, the register form (whenTrue: it jumps when the condition holds).
    void jumpOn(const Stmt& s, const Expr& c, bool whenTrue, std::int32_t& at) {
        at = emit(whenTrue ? BJumpIf : BJumpIfNot, &s, &c);
        BodyIns& in = code_[static_cast<std::size_t>(at)];
        if (c.numeric && isComparison(c) && regOperand(*c.a, in.x, constants_) &&
            regOperand(*c.b, in.y, constants_)) {
            in.op = BRegJump;
            in.whenTrue = whenTrue;
            const std::uint8_t holds = orderMask(c.op);
            in.mask = whenTrue ? holds : static_cast<std::uint8_t>(~holds & 0b111);
            // The commonest shapes (i <= j, a(i) < p) without the decoding of operand kinds.
            if (in.x.kind == RLocal && in.y.kind == RLocal) in.op = BRegJumpLL;
            else if (in.x.kind == RElem && in.y.kind == RLocal) in.op = BRegJumpEL;
        } else if (c.numeric && isComparison(c) && static_cast<std::uint32_t>(c.num) < unit_.numCount) {
            in.op = BNumJump;
            in.whenTrue = whenTrue;
            in.num = &unit_.nums[static_cast<std::size_t>(c.num)];
        }
    }

    void branches(const Stmt& s) {
        if (s.branches.size() == 2 && s.branches[0].cond && !s.branches[1].cond &&
            !s.branches[1].body.empty() && blankCondition(*s.branches[0].cond, isNull_, isEmpty_)) {
            const Expr& c = *s.branches[0].cond;
            const std::int32_t test = emit(BBlankTest, &s, &c);
            code_[static_cast<std::size_t>(test)].reuse = firstRead(*s.branches[1].body[0], *c.a->args[0]);
            list(s.branches[0].body);
            const std::int32_t toEnd = emit(BJump, &s);
            code_[static_cast<std::size_t>(test)].target = here();
            list(s.branches[1].body);
            code_[static_cast<std::size_t>(toEnd)].target = here();
            return;
        }
        std::vector<std::int32_t> toEnd;
        for (std::size_t i = 0; i < s.branches.size(); ++i) {
            const IfBranch& br = s.branches[i];
            if (!br.cond) {
                list(br.body);
                break;
            }
            std::int32_t skip;
            jumpOn(s, *br.cond, false, skip);
            list(br.body);
            if (i + 1 < s.branches.size()) toEnd.push_back(emit(BJump, &s));
            code_[static_cast<std::size_t>(skip)].target = here();
        }
        for (std::int32_t k : toEnd) code_[static_cast<std::size_t>(k)].target = here();
    }

    void loop(const Stmt& s) {
        // While ... Wend ends at Exit Do no more than the tree walker lets it:
        // its Exit Do leaves the Do around it.
        const bool isWend = s.wend;
        if (!isWend) open_.push_back(Loop{false, withs_.size(), {}, {}, {}});
        const std::int32_t top = here();
        std::int32_t test = -1;
        if (s.loop == LoopKind::PreWhile) jumpOn(s, *s.value, false, test);
        else if (s.loop == LoopKind::PreUntil) jumpOn(s, *s.value, true, test);
        list(s.body);
        if (s.loop == LoopKind::PostWhile) jumpOn(s, *s.value, false, test);
        else if (s.loop == LoopKind::PostUntil) jumpOn(s, *s.value, true, test);
        emit(BLoop, &s, nullptr, top);
        if (test >= 0) code_[static_cast<std::size_t>(test)].target = here();
        if (!isWend) closeLoop();
    }

    void forLoop(const Stmt& s) {
        const std::int32_t state = forStates_++;
        const std::int32_t prep = emit(BForPrep, &s);
        code_[static_cast<std::size_t>(prep)].loop = state;
        open_.push_back(Loop{true, withs_.size(), {}, {}, {}});
        const std::int32_t body = here();
        list(s.body);
        const std::int32_t next = emit(BForNext, &s, nullptr, body);
        code_[static_cast<std::size_t>(next)].loop = state;
        code_[static_cast<std::size_t>(prep)].target = here();
        closeLoop();
    }

    void exit(const Stmt& s) {
        Flow flow = Flow::ExitProc;
        if (s.exit == ExitKind::Do || s.exit == ExitKind::For) {
            if (Loop* l = innermost(s.exit == ExitKind::For)) {
                exitTo(*l, emit(BJump, &s), false);
                return;
            }
            flow = s.exit == ExitKind::Do ? Flow::ExitDo : Flow::ExitFor;
        }
        emit(BExit, &s, nullptr, static_cast<std::int32_t>(flow));
    }

    Code& unit_;
    const std::vector<std::unique_ptr<Code>>& procs_;  // the engine's code objects, by ProcDef::index
    std::vector<BodyIns>& code_;
    std::deque<Variant>& constants_;
    std::int32_t& forStates_;   // For loops so far: each keeps its state in the running call
    std::int32_t isNull_, isEmpty_;  // the library's IsNull and IsEmpty
    std::vector<Loop> open_;
    std::vector<std::int32_t> withs_;  // the slots of the Withs open here, innermost last
};

// A failure inside the body, named by the statement it happened in (as the
// tree walker's statement list names it; a Walk instruction has none: the
// tree walker named it). Called inside a catch block.
[[noreturn, gnu::cold]] void raiseAt(const Stmt* at, const Block* b) {
    if (!at) throw;
    const Stmt& s = *at;
    try {
        throw;
    } catch (ScriptFailure&) {
        throw;
    } catch (ScriptAbort& a) {
        a.noteStatement(s.line, s.col, b);
        throw;
    } catch (AutomationError& e) {
        throw failureAt(e, s.line, s.col, b);
    } catch (std::bad_alloc&) {
        AutomationError e = runtimeError(err::OutOfMemory);
        throw failureAt(e, s.line, s.col, b);
    } catch (std::length_error&) {
        AutomationError e = runtimeError(err::OutOfMemory);
        throw failureAt(e, s.line, s.col, b);
    } catch (std::exception& ex) {
        // A host object that failed with a C++ exception of its own.
        AutomationError e(kErrorFail, "", ex.what());
        throw failureAt(e, s.line, s.col, b);
    }
}

} // namespace

void Engine::compileProc(const ProcDef& p) {
    Code* const c = codes_[static_cast<std::size_t>(p.index)].get();
    if (turnsErrorsOff(p.body)) {
        walkCode(*c, p.body);
    } else {
        Compiler comp(*c, codes_, builtinSlot(u"IsNull"), builtinSlot(u"IsEmpty"));
        comp.list(p.body);
        comp.end();
        c->ins.shrink_to_fit();
    }
    c->params = static_cast<std::uint32_t>(p.params.size());
    c->frameSize = static_cast<std::uint32_t>(p.frameSize);
    for (std::size_t i = 0; i < p.params.size() && i < 64; ++i)
        if (p.params[i].byRef) c->byRef |= std::uint64_t{1} << i;
    c->plainFrame = p.fixedArrays.empty() && p.constInits.empty();
    c->enters = c->ins.front().op != BWalk && c->params <= 64;
}

void Engine::unoptimize(Code& c) {
    // Each instruction that took a name's binding as it was when compiled
    // takes its general form, which looks at the names as they are now:
    // the first form of a register instruction, a plain jump on a condition,
    // a call that finds its procedure's code when it runs.
    for (BodyIns& in : c.ins) {
        switch (in.op) {
        case BRegJump:
        case BRegJumpLL:
        case BRegJumpEL:
        case BNumJump: in.op = in.whenTrue ? BJumpIf : BJumpIfNot; break;
        case BBlankTest: in.op = BJumpIfNot; break;
        case BRegSet: in.op = in.to.kind == RLocal ? BAssignNum : BAssignElem; break;
        case BRegSum:
        case BRegSumLK:
        case BRegSumLL:
        case BRegNum: in.op = BAssignNum; break;
        case BAssignCall:
        case BCall:
            in.callee = nullptr;
            in.argSlots = nullptr;
            break;
        default: break;
        }
    }
    forgetNumericForms(c);
    c.stale = true;
    c.enters = false;  // calls of it take the general way, which compiles it again
}

void Engine::forgetNumericForms(Code& c) {
    for (std::uint32_t k = 0; k < c.numCount; ++k) c.nums[k].code.clear();
}

bool Engine::codeRunning(const Code& c) const {
    for (std::size_t k = 0; k < callDepth_; ++k)
        if (calls_[k].frame.code == &c) return true;
    return std::find(activeCodes_.begin(), activeCodes_.end(), &c) != activeCodes_.end();
}

void Engine::recompile(const ProcDef& p) {
    Code& c = procCode(p);
    if (codeRunning(c)) return;  // a call running it goes on by its general forms
    c.ins.clear();
    c.loops = 0;
    c.constants.clear();
    c.argSlots.clear();
    c.byRef = 0;
    c.stale = false;
    compileProc(p);
}

void Engine::walkCode(Code& c, const StmtList& list) {
    BodyIns in;
    in.op = BWalk;
    in.list = &list;
    c.ins.assign(1, in);
}

void Engine::LoopRoom::open() {
    if (n > kInline) {
        heap = std::make_unique<ForState[]>(static_cast<std::size_t>(n));
        at = heap.get();
        return;
    }
    for (std::int32_t i = 0; i < n; ++i) new (inlineRoom + i * sizeof(ForState)) ForState();
    at = std::launder(reinterpret_cast<ForState*>(inlineRoom));
}

void Engine::LoopRoom::close() noexcept {
    if (!heap)
        for (std::int32_t i = 0; i < n; ++i) at[i].~ForState();
}

// Enters a call of a compiled procedure from a compiled body: its frame is
// made on the value stack and its activation pushed; the dispatch loop then
// runs its code. Null when p has no compiled body (it turns errors off): the
// caller then calls it the general way. The activation is pushed before the
// arguments are evaluated, so that a failure among them leaves it for the
// dispatch loop to pop with the others.
[[gnu::always_inline]] inline Engine::Activation* Engine::pushCall(const ProcDef& p, Code& code,
                                                                   const std::vector<ExprPtr>& args, Frame& caller,
                                                                   const std::int32_t* argSlots) {
    Code* const c = &code;
    if (!c->enters) return nullptr;
    // A call given its slots was found to match the parameters when compiled.
    const std::size_t nargs = c->params;
    if (!argSlots && args.size() != nargs) failNamed(err::WrongArgCount, p.owner ? std::u16string_view() : p.name);
    if (depth_ >= kMaxDepth) throwRuntimeError(err::OutOfStack);
    if (!calls_) [[unlikely]]
        calls_ = static_cast<Activation*>(::operator new(sizeof(Activation) * static_cast<std::size_t>(kMaxDepth)));
    const std::size_t n = c->frameSize;
    frameRoom(n);
    const std::size_t from = sp_;
    Variant** const ref = refs_.data() + from;
    Activation* a = new (calls_ + callDepth_) Activation(c->loops, ref, p, c);
    ++callDepth_;
    a->valueBase = from;
    a->size = n;
    a->params = nargs;
    sp_ = from + n;
    ++depth_;
    Variant* const vals = values_.data() + from;
    a->base = c->ins.data();
    // The commonest call gives only local variables to ByRef parameters:
    // when its site was found so, the parameters are those variables (the
    // few of most calls without a loop).
    if (argSlots) [[likely]] {
        Variant** const callerRef = caller.ref;
        switch (nargs) {
        default:
            for (std::size_t i = 4; i < nargs; ++i) ref[i] = callerRef[argSlots[i]];
            [[fallthrough]];
        case 4: ref[3] = callerRef[argSlots[3]]; [[fallthrough]];
        case 3: ref[2] = callerRef[argSlots[2]]; [[fallthrough]];
        case 2: ref[1] = callerRef[argSlots[1]]; [[fallthrough]];
        case 1: ref[0] = callerRef[argSlots[0]]; [[fallthrough]];
        case 0: break;
        }
    } else {
        bindArgs(c->byRef, args, vals, ref, caller, a->locked);
    }
    if (!c->plainFrame) [[unlikely]] initFrame(p, vals);
    return a;
}

// The arguments of any other call: a local variable given to a ByRef
// parameter is taken here, any other argument the general way.
void Engine::bindArgs(std::uint64_t byRef, const std::vector<ExprPtr>& args, Variant* vals, Variant** ref, Frame& caller,
                      ElementLocks& locked) {
    Variant** const callerRef = caller.ref;
    const ExprPtr* const ax = args.data();
    for (std::size_t i = 0, nargs = args.size(); i < nargs; ++i, byRef >>= 1) {
        const Expr& e = *ax[i];
        if ((byRef & 1) && e.kind == EK::Ident && !e.hasArgs && e.bind == Bind::Local) [[likely]]
            ref[i] = callerRef[e.slot];
        else
            bindArg(byRef & 1, e, vals[i], ref[i], caller, locked);
    }
}

// Leaves the innermost activation: what the call declared, held locked and
// kept in its slots is released (an object may run Class_Terminate, whose
// own calls go above), then its room on the value stack.
[[gnu::always_inline]] inline void Engine::popCall() noexcept {
    Activation& a = calls_[callDepth_ - 1];
    const std::size_t from = a.valueBase, size = a.size, params = a.params;
    // Most calls hold nothing that needs undoing here: no array locked, no
    // loop state, no variable Execute declared.
    if (a.locked.n != 0 || a.loops.n != 0 || a.frame.dyn) [[unlikely]] a.~Activation();
    --callDepth_;
    leaveFrame(from, size, params);
}

Flow Engine::runCode(Code& c, Frame& entry) {
    // The state of each For loop, made only for a body that has loops (most
    // procedures called in a loop have none).
    LoopRoom room(c.loops);
    // The running body: the one entered here, or a procedure it called,
    // whose activation is above `bottom`.
    const std::size_t bottom = callDepth_;
    const ActiveCode active(*this, c);
    struct Unwind {
        Engine& en;
        std::size_t bottom;
        ~Unwind() {
            while (en.callDepth_ > bottom) en.popCall();
        }
    } unwind{*this, bottom};
    Frame* fp = &entry;
    ForState* states = room.at;
    const BodyIns* base = c.ins.data();
    const BodyIns* ip = base;
    const Variant* rx;  // a register comparison's or sum's operands
    const Variant* ry;
    try {
        // Threaded dispatch: each instruction jumps straight to the next
        // one's handler, so that the branch predictor learns each
        // handler's successors rather than one jump shared by all.
        static const void* const kHandlers[] = {
            &&L_BEnd, &&L_BExec, &&L_BAssign, &&L_BAssignNum, &&L_BAssignCall, &&L_BAssignElem, &&L_BCall,
            &&L_BJump, &&L_BJumpIfNot, &&L_BJumpIf, &&L_BLoop, &&L_BForPrep, &&L_BForNext, &&L_BExit,
            &&L_BBlankTest, &&L_BRegJump, &&L_BRegSet, &&L_BRegSum, &&L_BRegNum, &&L_BNumJump, &&L_BWalk,
            &&L_BRegJumpLL, &&L_BRegJumpEL, &&L_BRegSumLK, &&L_BRegSumLL, &&L_BWithEnter, &&L_BWithLeave,
            &&L_BSet, &&L_BReDim, &&L_BErase,
        };
#define QZ_NEXT goto *kHandlers[ip->op]
// Into the procedure of activation a: its code runs from its start.
#define QZ_ENTER(a)                    \
    do {                               \
        (a)->callerFrame = fp;         \
        (a)->callerBase = base;        \
        (a)->callerIp = ip;            \
        (a)->callerStates = states;    \
        fp = &(a)->frame;              \
        states = (a)->loops.at;        \
        base = ip = (a)->base;         \
        QZ_NEXT;                       \
    } while (false)
// The end of a body: the entered one ends the run with its flow, a called
// one returns to its caller.
#define QZ_LEAVE(flow)                            \
    do {                                          \
        if (callDepth_ == bottom) return (flow);  \
        goto L_Return;                            \
    } while (false)
        QZ_NEXT;
    L_BEnd:
        QZ_LEAVE(Flow::Normal);
    L_BRegJump:
        // A comparison of plain operands, read where they are: numbers are
        // compared here, anything else (a string, Empty, Null ...) by the
        // general rules.
        rx = regValue(ip->x, *fp);
        ry = rx ? regValue(ip->y, *fp) : nullptr;
        if (ry) [[likely]] goto regCompare;
        goto regGeneral;
    L_BRegJumpLL:
        rx = fp->ref[ip->x.slot];
        ry = fp->ref[ip->y.slot];
        goto regCompare;
    L_BRegJumpEL:
        rx = regElement(ip->x.slot, ip->x.index, *fp);
        if (!rx) [[unlikely]] goto regGeneral;
        ry = fp->ref[ip->y.slot];
    regCompare: {
        const int c = regOrder(*rx, *ry);
        if (c != 2) [[likely]] {
            ip = (ip->mask >> (c + 1)) & 1 ? base + ip->target : ip + 1;
            QZ_NEXT;
        }
        }
    regGeneral:
        ip = test(*ip->e, *fp) == ip->whenTrue ? base + ip->target : ip + 1;
        QZ_NEXT;
    L_BNumJump: {
        // A numeric comparison by its numeric form (compiled at its first
        // run); a value that is no number takes the general rules.
        NumCode& form = *ip->num;
        const NumIns* code = form.code.empty() ? compileNum(*ip->e, form) : form.code.data();
        Num n;
        const bool holds = runNum(code, *fp, n) ? n.i != 0 : test(*ip->e, *fp);
        ip = holds == ip->whenTrue ? base + ip->target : ip + 1;
        QZ_NEXT;
        }
    L_BRegSet:
        // to = x: a number into a local variable that holds no string, object
        // or array; any value but an object or an array into an element of a
        // vector held by this variable alone. Else the instruction's first form.
        {
            const Variant* x = regValue(ip->x, *fp);
            if (ip->to.kind == RLocal) {
                Variant& to = *fp->ref[ip->to.slot];
                if (x && plainValue(to) && (isIntLike(*x) || x->type() == VarType::Double)) [[likely]] {
                    to = *x;
                    ++ip;
                    QZ_NEXT;
                }
                goto L_BAssignNum;
            }
            if (x && !x->isObject() && !x->isArray()) [[likely]] {
                const SafeArray* a = fp->ref[ip->to.slot]->arrayValue();
                if (a && a->refCount() == 1) {  // shared: copied first
                    if (Variant* el = regElement(ip->to.slot, ip->to.index, *fp)) [[likely]] {
                        *el = *x;
                        ++ip;
                        QZ_NEXT;
                    }
                }
            }
        }
        if (ip->to.kind == RLocal) goto L_BAssignNum;
        goto L_BAssignElem;
    L_BRegSumLK:
        ry = ip->y.lit;
        goto regSumLocal;
    L_BRegSumLL:
        ry = fp->ref[ip->y.slot];
    regSumLocal:
        // x + y or x - y of a local variable x into a local variable.
        {
            Variant& to = *fp->ref[ip->to.slot];
            if (plainValue(to) && regSum(*fp->ref[ip->x.slot], *ry, ip->mask != 0, to)) [[likely]] {
                ++ip;
                QZ_NEXT;
            }
        }
        goto L_BAssignNum;
    L_BRegSum:
        {
            const Variant* x = regValue(ip->x, *fp);
            const Variant* y = x ? regValue(ip->y, *fp) : nullptr;
            Variant& to = *fp->ref[ip->to.slot];
            if (y && plainValue(to) && regSum(*x, *y, ip->mask != 0, to)) [[likely]] {
                ++ip;
                QZ_NEXT;
            }
        }
        goto L_BAssignNum;
    L_BRegNum:
        // A numeric expression into a local variable that holds no string,
        // object or array, by the numeric machine.
        {
            Variant& to = *fp->ref[ip->to.slot];
            NumCode& form = *ip->num;
            const NumIns* code = form.code.empty() ? compileNum(*ip->s->value, form) : form.code.data();
            Num n;
            if (plainValue(to) && runNum(code, *fp, n)) [[likely]] {
                to = n.value();
                ++ip;
                QZ_NEXT;
            }
        }
        goto L_BAssignNum;
    L_BAssignNum: {
        // A local variable given a number (i = i + 1): the result goes
        // straight in, from the shortcut for two plain operands when the
        // expression has their shape, else from the numeric machine. The
        // names are looked at again: Execute may have bound them anew since.
        Frame& f = *fp;
        const Stmt& st = *ip->s;
        const Expr& t = *st.target;
        Num n;
        if (t.bind == Bind::Local && !f.ref[t.slot]->isArray() &&
            ((ip->quick && quickNum(*st.value, f, n)) || (st.value->nk != 0 && evalNum(*st.value, f, n)))) {
            *f.ref[t.slot] = n.value();
        } else {
            execAssign(st, f);
        }
        ++ip;
        QZ_NEXT;
    }
    L_BAssignCall: {
        // x = F(a, b): F's code runs in this loop, and its result goes into
        // x when it returns; a procedure without compiled code is called.
        const Stmt& st = *ip->s;
        const Expr& t = *st.target;
        const Expr& v = *st.value;
        if (t.bind == Bind::Local && v.bind == Bind::Proc) [[likely]] {
            if (Activation* a = pushCall(*v.proc, ip->callee ? *ip->callee : procCode(*v.proc), v.args, *fp,
                                         ip->argSlots))
                QZ_ENTER(a);
            Variant r = callProc(*v.proc, nullptr, &v.args, {}, *fp, true);
            if (r.isObject()) r = letValue(std::move(r));
            letInto(*fp->ref[t.slot], std::move(r));
        } else {
            execAssign(st, *fp);
        }
        ++ip;
        QZ_NEXT;
        }
    L_BAssignElem:
        // a(i) = x: the element stored in place when the variable holds a
        // vector of its own and i a whole number in its bounds (looked at
        // after x, which may run code); else the general Let, which copies an
        // array shared with another. The value lives in a block of its own
        // that ends before the jump to the next handler, so that it is
        // destroyed on every path (a computed goto runs no destructors).
        {
            Frame& f = *fp;
            const Stmt& st = *ip->s;
            const Expr& t = *st.target;
            Variant v;
            if (const Variant* q = quickOperand(*st.value, f)) v = *q;
            else v = eval(*st.value, f);
            if (v.isObject()) v = letValue(std::move(v));
            const Variant* ix = t.bind == Bind::Local && t.args[0]->nk == NkLocal ? f.ref[t.args[0]->slot] : nullptr;
            SafeArray* a = ix && isIntLike(*ix) ? f.ref[t.slot]->arrayValue() : nullptr;
            bool stored = false;
            if (a && a->bounds.size() == 1 && a->refCount() == 1) {  // shared: copied first
                const std::int64_t k = intOf(*ix) - a->bounds[0].lower;
                if (k >= 0 && k < a->bounds[0].count) {
                    a->data[static_cast<std::size_t>(k)] = std::move(v);
                    stored = true;
                }
            }
            if (!stored) assign(t, std::move(v), false, f);
        }
        ++ip;
        QZ_NEXT;
    L_BAssign:
        execAssign(*ip->s, *fp);
        ++ip;
        QZ_NEXT;
    L_BCall: {
        const Expr& t = *ip->s->target;
        if (t.kind == EK::Member) {
            // obj.Method args: the member call itself, as the general call statement makes it.
            evalMember(t, *fp);
            checkClock();
        } else if (t.kind == EK::Ident && t.bind == Bind::Proc) {
            if (Activation* a = pushCall(*t.proc, ip->callee ? *ip->callee : procCode(*t.proc), t.args, *fp,
                                         ip->argSlots))
                QZ_ENTER(a);
            callProc(*t.proc, nullptr, &t.args, {}, *fp, false);
            checkClock();
        } else {
            execCall(*ip->s, *fp);
        }
        ++ip;
        QZ_NEXT;
        }
    L_BJump:
        ip = base + ip->target;
        QZ_NEXT;
    L_BJumpIfNot:
        ip = test(*ip->e, *fp) ? ip + 1 : base + ip->target;
        QZ_NEXT;
    L_BJumpIf:
        ip = test(*ip->e, *fp) ? base + ip->target : ip + 1;
        QZ_NEXT;
    L_BBlankTest:
        ip = blankTest(*ip, *fp) ? ip + 1 : base + ip->target;
        QZ_NEXT;
    L_BLoop:
        checkClock();
        ip = base + ip->target;
        QZ_NEXT;
    L_BForPrep: {
        ForState& st = states[ip->loop];
        st.var = forVariable(*ip->s, *fp);
        forHead(*ip->s, *fp, st);
        ip = forTest(st) ? ip + 1 : base + ip->target;
        QZ_NEXT;
        }
    L_BForNext: {
        ForState& st = states[ip->loop];
        checkClock();
        Variant& counter = *st.var;
        if (st.whole && counter.type() == VarType::Long) [[likely]] {
            // A Long counter with whole-number bounds: stepped and tested in
            // place while it stays a Long (past that, the general step widens it).
            const std::int64_t next = static_cast<std::int64_t>(counter.longValue()) + st.st;
            if (next >= std::numeric_limits<std::int32_t>::min() && next <= std::numeric_limits<std::int32_t>::max()) {
                counter = Variant(static_cast<std::int32_t>(next));
                ip = (st.st >= 0 ? next <= st.e : next >= st.e) ? base + ip->target : ip + 1;
                QZ_NEXT;
            }
        }
        forStep(st);
        ip = forTest(st) ? base + ip->target : ip + 1;
        QZ_NEXT;
        }
    L_BExit:
        QZ_LEAVE(static_cast<Flow>(ip->target));
    L_BExec: {
        const Flow fl = exec(*ip->s, *fp);
        if (fl == Flow::Normal) {
            ++ip;
        } else if (fl == Flow::ExitDo && ip->target >= 0) {
            ip = base + ip->target;
        } else if (fl == Flow::ExitFor && ip->exitFor >= 0) {
            ip = base + ip->exitFor;
        } else {
            QZ_LEAVE(fl);
        }
        QZ_NEXT;
        }
    L_Return: {
        // A called procedure has ended (however: an Exit or its end): the
        // caller's call instruction is running again, then the time-out
        // check every call makes, then x = F(...) takes the result.
        Activation& a = calls_[callDepth_ - 1];
        fp = a.callerFrame;
        base = a.callerBase;
        ip = a.callerIp;
        states = a.callerStates;
        checkClock();
        if (ip->op == BAssignCall) {
            const std::int32_t result = a.frame.proc->resultSlot;
            Variant r = result >= 0 ? std::move(*a.frame.ref[result]) : Variant();
            popCall();
            if (r.isObject()) r = letValue(std::move(r));
            letInto(*fp->ref[ip->s->target->slot], std::move(r));
        } else {
            popCall();
            checkClock();
        }
        ++ip;
        QZ_NEXT;
        }
    L_BWithEnter:
        // The object of With must be one (Nothing passes: using it fails).
        {
            Variant obj = eval(*ip->s->value, *fp);
            if (!obj.isObject()) throwRuntimeError(err::ObjectRequired);
            Variant& held = *fp->ref[ip->with];
            held = std::move(obj);
            fp->with = &held;
        }
        ++ip;
        QZ_NEXT;
    L_BWithLeave:
        fp->with = ip->outerWith >= 0 ? fp->ref[ip->outerWith] : nullptr;
        *fp->ref[ip->with] = Variant();
        ++ip;
        QZ_NEXT;
    L_BSet:
        execSet(*ip->s, *fp);
        ++ip;
        QZ_NEXT;
    L_BReDim:
        redim(*ip->s, *fp);
        checkClock();  // a large array may take a while
        ++ip;
        QZ_NEXT;
    L_BErase:
        erase(*ip->s, *fp);
        ++ip;
        QZ_NEXT;
    L_BWalk:
        QZ_LEAVE(execList(*ip->list, *fp));
#undef QZ_LEAVE
#undef QZ_ENTER
#undef QZ_NEXT
    } catch (...) {
        reuseSite_ = nullptr;
        reuseValue_ = Variant();
        raiseAt(ip->s, fp->block);
    }
}

bool Engine::blankTest(const BodyIns& in, Frame& f) {
    // What "If IsNull(x) Or IsEmpty(x)" does, x evaluated as the first
    // argument of IsNull; the second reading of x is left out, and the else
    // branch's reading of it too, when no member x got could have changed
    // anything or answer otherwise the second time (pure gets).
    const Expr& c = *in.e;
    reuseSite_ = nullptr;
    reuseValue_ = Variant();
    const Expr& x = *c.a->args[0];
    const std::uint32_t before = impureCalls_;
    Variant v = evalMember(x, f);
    const bool pure = impureCalls_ == before;
    // IsNull and IsEmpty look at an object's default value (a field's Value).
    Variant value;
    const Variant& seen = v.isObject() ? (value = inquiryValue(v)) : v;
    const bool isNull = seen.isNull();
    checkClock();
    bool blank;
    if (pure) {
        blank = isNull || seen.isEmpty();
        checkClock();
    } else {
        const Variant e = eval(*c.b, f);
        blank = e.type() == VarType::Boolean ? isNull || e.boolValue() : truth(ops::orOp(Variant(isNull), e));
    }
    if (!blank && pure && in.reuse) {
        reuseSite_ = in.reuse;
        reuseValue_ = std::move(v);
    }
    return blank;
}

} // namespace qz::script
