// The compiled code of a script, kept apart from its syntax tree. The parser
// builds the tree and the binder resolves its names; from then on the tree
// is only read. Everything running it learns as it goes (the member a call
// site reached last, the numeric form of an expression, a procedure's flat
// instruction list) lives in a code object: one per procedure, one per
// module-level block and one per lone expression (Eval). The binder numbers
// the call sites and numeric expressions of each of those units; a code
// object holds one entry per number.
#pragma once

#include "platform/automation/Dispatch.h"
#include "platform/automation/Variant.h"
#include "platform/script/Ast.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace qz::script {

// One instruction of a numeric expression compiled for the engine's small
// stack machine (see NumericCode.cpp).
struct NumIns {
    std::uint8_t op = 0;
    std::uint8_t arg = 0;      // operator, number of indices, or literal kind
    std::int32_t slot = 0;     // variable slot
    union {
        std::int64_t i;
        double d;
    } lit{0};
};

// The numeric form of one numeric expression, compiled at its first run
// (none while code is empty; names bound anew empty it).
struct NumCode {
    const Expr* expr = nullptr;    // the expression it was compiled from
    std::vector<NumIns> code;
};

// What a member call site (obj.name) reached last: the host object itself
// (held, so that its address stays unique), the type whose members are the
// same for every object of it (dictionaries), or a script class; and the
// member's id there.
struct SiteCache {
    const void* key = nullptr;
    Ref<Dispatch> hold;
    std::int32_t id = -1;
    bool pure = false;             // a host object's member that only reads
};

// An operand of a register instruction, decoded when the body is compiled:
// a local variable, a number constant, or an element of a local vector at a
// local index (a(i)).
struct RegOperand {
    std::uint8_t kind = 0;         // the engine's RegKind
    std::int32_t slot = 0;         // the variable, or the vector's
    std::int32_t index = 0;        // an element's index variable
    const Variant* lit = nullptr;  // a constant (in the code object's constants)
};

// One instruction of a procedure body compiled to a flat list
// (BodyCode.cpp): loops and branches become jumps, so that a statement
// costs one dispatch instead of a walk through the lists that hold it. What
// the instructions cannot express runs by the tree evaluator on the
// statement or condition the instruction names.
struct BodyIns {
    std::uint8_t op = 0;
    std::uint8_t mask = 0;        // a register comparison: the orders (less, equal, greater) that jump; a sum: 1 for -
    bool whenTrue = false;        // a conditional jump: it jumps when the condition holds (else when it fails)
    bool quick = false;           // AssignNum: the value is a sum or comparison of two plain operands
    std::int32_t target = -1;     // a jump's target; Exec: where Exit Do goes
    std::int32_t exitFor = -1;    // Exec: where Exit For goes
    std::int32_t loop = -1;       // ForPrep, ForNext: its loop's state
    std::int32_t with = -1;       // WithEnter, WithLeave: the slot of the With's object
    std::int32_t outerWith = -1;  // WithLeave: the slot of the With around it (-1: none)
    // Register instructions: where the result goes, the operands (read
    // first by the commonest instructions, so they come next).
    RegOperand to, x, y;
    const Stmt* s = nullptr;      // the statement (its place names errors)
    const Expr* e = nullptr;      // a condition
    NumCode* num = nullptr;       // RegNum, NumJump: the numeric form of the value or condition
    struct Code* callee = nullptr;          // a call of a procedure: its code (null: looked up when it runs)
    const std::int32_t* argSlots = nullptr; // a call given only local variables ByRef: their slots
    const Expr* reuse = nullptr;  // BlankTest: where the else branch reads the tested value again
    const StmtList* list = nullptr;         // Walk: the statements
};

// The code of one unit: a procedure, a module-level block or a lone
// expression (its tables sized by the numbers the binder gave out). A body
// runs by its instructions only; a procedure that turns errors off and
// module-level code have one, which runs their statements by the tree walker
// (it goes on after a failing statement, which needs its lists; module-level
// code runs once).
struct Code {
    Code(std::int32_t sites, std::int32_t nums)
        : siteCount(static_cast<std::uint32_t>(sites)), numCount(static_cast<std::uint32_t>(nums)),
          sites(std::make_unique<SiteCache[]>(siteCount)), nums(std::make_unique<NumCode[]>(numCount)) {}
    Code(const Code&) = delete;
    Code& operator=(const Code&) = delete;

    std::vector<BodyIns> ins;      // a body's instructions (none for a lone expression)
    std::int32_t loops = 0;        // For loops: each has a state while it runs
    // Its procedure's frame, read on every call made inside a dispatch loop.
    std::uint32_t params = 0;      // parameters (the first slots)
    std::uint32_t frameSize = 0;   // slots
    std::uint64_t byRef = 0;       // bit i: parameter i is ByRef (up to 64 parameters)
    bool plainFrame = true;        // no fixed array to make, no constant to set
    bool enters = false;           // its calls from a body run in the caller's dispatch loop (instructions, <= 64 parameters)
    // Names it reads were bound anew since it was compiled: its instructions
    // were turned into their general forms in place (a call running it goes
    // on by them), and it is compiled again before it next runs.
    bool stale = false;
    std::uint32_t siteCount, numCount;
    std::unique_ptr<SiteCache[]> sites;  // by Expr::site
    std::unique_ptr<NumCode[]> nums;     // by Expr::num
    std::deque<Variant> constants;       // the register operands' constants (they never move)
    std::vector<std::unique_ptr<std::int32_t[]>> argSlots;  // of the calls given only local variables ByRef
};

} // namespace qz::script
