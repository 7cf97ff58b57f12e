// The syntax tree of a VBScript program. The parser builds it; the binder
// resolves every name to a slot (local, global, class field, procedure,
// built-in) so that running it never looks a name up by its text.
#pragma once

#include "platform/automation/Dispatch.h"
#include "platform/automation/Variant.h"
#include "platform/script/Lexer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qz::script {

struct ProcDef;
struct ClassDef;
struct Expr;
struct Stmt;
using ExprPtr = std::unique_ptr<Expr>;
using StmtPtr = std::unique_ptr<Stmt>;
using StmtList = std::vector<StmtPtr>;

enum class EK : std::uint8_t {
    Literal,     // value
    Ident,       // name [ (args) ]
    Member,      // obj.name [ (args) ]; obj null: the With object
    Paren,       // ( inner ): a value, never a reference
    Missing,     // an omitted argument f(1, , 3)
    Me,
    New,         // New ClassName
    Unary,       // op a
    Binary,      // a op b
};

enum class Op : std::uint8_t {
    Neg, Not,
    Pow, Mul, Div, IntDiv, Mod, Add, Sub, Concat,
    Eq, Ne, Lt, Le, Gt, Ge, Is,
    And, Or, Xor, Eqv, Imp,
};

// What a name was bound to.
enum class Bind : std::uint8_t {
    Unbound,
    Local,       // slot in the frame
    Global,      // slot in the engine's global table
    Field,       // field of the running class instance
    Proc,        // a script procedure (proc)
    ClassMethod, // member of the running class instance (memberIndex)
    Builtin,     // run-time library function (builtin index)
    Intrinsic,   // a function of the engine itself (intrinsic id)
    HostMember,  // a member of an object added with its members (global slot of the object)
    Undefined,   // Option Explicit and not declared: error 500 when reached
};

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

struct Expr {
    // The fields every evaluation reads come first, so that a node's first
    // cache line holds them (large programs and the output they write keep
    // evicting the tree from the caches).
    EK kind;
    Op op = Op::Add;
    bool hasArgs = false;      // written with parentheses
    bool numeric = false;      // arithmetic or comparison of literals and variables only
    std::uint8_t nk = 0;       // its shape inside such an expression (the engine's NumKind)
    Bind bind = Bind::Unbound;
    std::uint16_t depth = 1;   // height of the tree below (bounded by the parser)
    std::int32_t slot = -1;    // Local / Global / Field / Builtin / Intrinsic / HostMember index
    mutable std::int32_t cacheId = -1;
    Variant value;             // Literal
    ExprPtr a, b;              // operands; Member: a is the object (null inside With)
    ProcDef* proc = nullptr;   // Bind::Proc
    std::vector<ExprPtr> args;
    // Call-site cache of a member id (host objects and class instances).
    mutable const void* cacheKey = nullptr;
    mutable Ref<Dispatch> cacheHold;   // keeps a host object alive so its address stays unique
    mutable bool cachePure = false;    // the cached member of a host object is a pure get
    // The numeric form of a numeric expression, compiled at its first run;
    // numGen names the bindings it was compiled against.
    mutable std::vector<NumIns> numCode;
    mutable std::uint32_t numGen = 0;
    std::int32_t line = 0, col = 0;
    std::u16string name;       // Ident, Member, New

    explicit Expr(EK k) : kind(k) {}
};

enum class SK : std::uint8_t {
    Assign,      // target = value (Let)
    Set,         // Set target = value
    Call,        // a call statement (expr is Ident / Member with args)
    Dim,         // arrays of a module-level Dim, made when it runs (redims: name, bounds)
    ReDim,
    Erase,
    If,
    Select,
    For,
    ForEach,
    Do,
    Exit,
    With,
    OnError,
    Nop,
};

enum class ExitKind : std::uint8_t { None, Do, For, Sub, Function, Property };
enum class LoopKind : std::uint8_t { None, PreWhile, PreUntil, PostWhile, PostUntil };

struct CaseItem {
    Op op = Op::Eq;      // Eq for a value, Lt..Ge for "Is op value"
    ExprPtr lo, hi;      // hi set for "lo To hi"
};
struct CaseClause {
    std::vector<CaseItem> items;  // empty: Case Else
    StmtList body;
    std::int32_t line = 0;
};
struct IfBranch {
    ExprPtr cond;        // null: Else
    StmtList body;
};
struct ReDimItem {
    ExprPtr target;      // an Ident
    std::vector<ExprPtr> dims;
};

struct Stmt {
    SK kind;
    std::int32_t line = 0, col = 0;
    ExprPtr target, value, to, step;   // Assign/Set: target, value; For: target, value=from, to, step
    StmtList body;                     // loops, With
    std::vector<IfBranch> branches;    // If
    std::vector<CaseClause> cases;     // Select (value: the tested expression)
    std::vector<ReDimItem> redims;     // ReDim / Erase (dims empty) / Dim
    bool preserve = false;             // ReDim Preserve; OnError: true = Resume Next
    bool appendInPlace = false;        // Assign "s = s & a & b": append to s itself
    ExitKind exit = ExitKind::None;
    LoopKind loop = LoopKind::None;
    std::int32_t withSlot = -1;        // With: frame slot that holds the object

    explicit Stmt(SK k) : kind(k) {}
};

// A procedure body compiled to a flat list of instructions (BodyCode.cpp):
// loops and branches become jumps, so that a statement costs one dispatch
// instead of a walk through the lists that hold it. Instructions point at
// the syntax nodes they run: a name bound anew later is seen at once.
// An operand of a register instruction, decoded when the body is compiled:
// a local variable, a number literal, or an element of a local vector at a
// local index (a(i)).
struct RegOperand {
    std::uint8_t kind = 0;        // the engine's RegKind
    std::int32_t slot = 0;        // the variable, or the vector's
    std::int32_t index = 0;       // an element's index variable
    const Variant* lit = nullptr; // a literal's value (in the syntax tree)
};

struct BodyIns {
    std::uint8_t op = 0;
    std::uint8_t mask = 0;        // a register comparison: the orders (less, equal, greater) that jump; a sum: 1 for -
    std::int32_t target = -1;     // a jump's target; Exec: where Exit Do goes
    std::int32_t alt = -1;        // Exec: where Exit For goes; For: its loop's state
    const Stmt* s = nullptr;      // the statement (its place names errors)
    const Expr* e = nullptr;      // a condition
    const Expr* reuse = nullptr;  // BlankTest: where the else branch reads the tested value again
    std::uint32_t gen = 0;        // BlankTest, register instructions: the bindings they were compiled against
    RegOperand to, x, y;          // register instructions: where the result goes, the operands
};
struct BodyCode {
    std::vector<BodyIns> code;
    std::int32_t loops = 0;       // For loops: each has a state while it runs
    // Its procedure's frame, read on every call made inside a dispatch loop.
    std::uint32_t params = 0;     // parameters (the first slots)
    std::uint32_t frameSize = 0;  // slots
    std::uint64_t byRef = 0;      // bit i: parameter i is ByRef (up to 64 parameters)
    bool plainFrame = true;       // no fixed array to make, no constant to set
};

enum class ProcKind : std::uint8_t { Sub, Function, PropGet, PropLet, PropSet };

struct Param {
    std::u16string name;
    bool byRef = true;
    bool isArray = false;
};

struct VarDecl {
    std::u16string name;
    std::vector<std::int32_t> dims;   // fixed array upper bounds, empty: scalar
    bool isArray = false;             // "Dim a()": a dynamic array
    bool isPublic = true;
    std::int32_t line = 0, col = 0;
};

struct ConstDecl {
    std::u16string name;
    ExprPtr value;
    bool isPublic = true;
    std::int32_t line = 0, col = 0;
};

struct ProcDef {
    std::u16string name;
    ProcKind kind = ProcKind::Sub;
    bool isPublic = true;
    bool isDefault = false;
    std::vector<Param> params;
    StmtList body;
    std::vector<VarDecl> locals;      // Dim inside the procedure
    std::vector<ConstDecl> consts;
    std::int32_t line = 0;
    // Filled by the binder
    std::int32_t frameSize = 0;       // parameters, result, locals, implicit locals, With temporaries
    std::int32_t resultSlot = -1;     // Function / Property Get: the slot named after it
    std::int32_t declaredSlots = 0;   // slots below are declared; the others implicit locals
    std::vector<std::pair<std::int32_t, const VarDecl*>> fixedArrays;
    std::vector<std::pair<std::int32_t, Variant>> constInits;
    std::vector<std::u16string> slotNames; // for Execute and Eval inside the procedure
    ClassDef* owner = nullptr;
    struct Block* block = nullptr;    // the code block it came from (for error lines)
    // Its compiled body, made at the first call; compiled false: not made yet.
    mutable std::unique_ptr<BodyCode> code;
    mutable bool compiled = false;
};

struct ClassDef : RefCounted {
    std::u16string name;
    std::vector<VarDecl> fields;
    std::vector<ConstDecl> consts;    // private to the class
    std::vector<std::unique_ptr<ProcDef>> procs;
    std::int32_t line = 0;
};

// One unit given to AddCode / ExecuteStatement / Execute: its procedures,
// classes and module-level statements.
struct Block {
    std::vector<std::unique_ptr<ProcDef>> procs;
    std::vector<Ref<ClassDef>> classes;
    std::vector<VarDecl> globals;     // module-level Dim / Public / Private
    std::vector<ConstDecl> consts;
    StmtList body;                    // module-level statements
    bool optionExplicit = false;
    std::u16string source;            // for Error.Text
    memory::Tally tally;              // what its tree and text take
    std::int32_t frameSize = 0;       // module level: With temporaries and For Each state
};

// Parses a whole block. Throws CompileError.
std::unique_ptr<Block> parseProgram(std::u16string_view src);
// Parses a lone expression (Eval). Throws CompileError.
ExprPtr parseExpression(std::u16string_view src);

} // namespace qz::script
