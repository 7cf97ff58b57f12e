// The syntax tree of a VBScript program. The parser builds it; the binder
// resolves every name to a slot (local, global, class field, procedure,
// built-in) so that running it never looks a name up by its text. After
// binding the tree is only read: what running it learns and makes lives in
// the code objects (Code.h). Only the binder writes it again, between runs
// of code, when a global answers a name that was undeclared (Binder.h).
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
    std::int32_t member = -1;  // HostMember: the member's id on its object
    // Its entry in its unit's code object (Code.h): a member call site's
    // cache, a numeric expression's compiled form; -1: none.
    std::int32_t site = -1;
    std::int32_t num = -1;
    Variant value;             // Literal
    ExprPtr a, b;              // operands; Member: a is the object (null inside With)
    ProcDef* proc = nullptr;   // Bind::Proc
    std::vector<ExprPtr> args;
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
    bool keepElements = false;         // ReDim Preserve
    bool resumeNext = false;           // On Error Resume Next (false: On Error GoTo 0)
    bool wend = false;                 // Do: written While ... Wend (Exit Do passes through it)
    bool appendInPlace = false;        // Assign "s = s & a & b": append to s itself
    ExitKind exit = ExitKind::None;
    LoopKind loop = LoopKind::None;
    std::int32_t withSlot = -1;        // With inside a procedure: the frame slot that holds the object

    explicit Stmt(SK k) : kind(k) {}
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
    std::int32_t index = -1;          // its code object in the engine's table
    bool bound = false;               // the binder finished it (a block may fail halfway)
    std::int32_t sites = 0, nums = 0; // its call sites and numeric expressions (Expr::site, Expr::num)
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
    std::int32_t sites = 0, nums = 0; // module level: call sites and numeric expressions
};

// Parses a whole block. Throws CompileError.
std::unique_ptr<Block> parseProgram(std::u16string_view src);
// Parses a lone expression (Eval). Throws CompileError.
ExprPtr parseExpression(std::u16string_view src);

} // namespace qz::script
