// Binding: the stage between parsing and running. The binder resolves every
// name of a unit's tree to what it stands for (a local's or a global's slot,
// a field, a procedure, a built-in ...) within the scopes it owns, and
// numbers the unit's call sites and numeric expressions for its code object.
// A name no declaration answered when it was bound is an undeclared variable;
// a global of that name defined later takes its place, and the binder binds
// those names again then (rebind): the only writes to a tree after it was
// first bound, made by the binder between two runs of code, never by running
// it. The code compiled against the old bindings learns of it there.
#pragma once

#include "platform/automation/Text.h"
#include "platform/script/Ast.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace qz::script {

class Engine;
struct Frame;
struct ClassInfo;
struct DynamicScope;

class Binder {
public:
    // What a name is looked up in: a procedure's locals, its class, an
    // Execute's variables of the running call, then the engine's globals.
    struct Scope {
        ProcDef* proc = nullptr;      // procedure being bound (null: module level)
        ClassInfo* cls = nullptr;
        std::unordered_map<std::u16string, std::int32_t, NoCaseHash, NoCaseEqual> locals;
        bool explicitNames = false;
        bool canAddLocals = false;
        std::int32_t frameSize = 0;
        DynamicScope* dyn = nullptr;  // Execute inside a procedure: new names go here
        std::int32_t dynBase = 0;     // the slot of its first variable
        // The unit's call sites and numeric expressions numbered so far
        // (Expr::site, Expr::num).
        std::int32_t sites = 0, nums = 0;
    };

    explicit Binder(Engine& en) : en_(en) {}
    Binder(const Binder&) = delete;
    Binder& operator=(const Binder&) = delete;

    void bindProc(ProcDef& p, ClassInfo* cls, bool explicitNames);
    void bindList(StmtList& list, Scope& sc);
    void bindExpr(Expr& e, Scope& sc);
    // The scope of the running frame (Eval and Execute inside a procedure).
    static void scopeOfFrame(Scope& sc, const Frame& f);
    static void markNumeric(Expr& e, std::int32_t& nums);

    // A global or procedure was defined under this name.
    void defined(const std::u16string& name) { newNames_.push_back(name); }
    // Binds again the undeclared names that globals defined since answer,
    // and marks the code compiled against their old bindings.
    void rebind();

    // The undeclared names bound so far; those from `from` on are let go
    // (their tree is gone).
    std::size_t undeclaredCount() const { return implicit_.size(); }
    void forgetUndeclared(std::size_t from, std::size_t to) {
        implicit_.erase(implicit_.begin() + static_cast<std::ptrdiff_t>(from),
                        implicit_.begin() + static_cast<std::ptrdiff_t>(to));
    }
    // Binds an expression that lives only for one evaluation (Eval): its
    // undeclared names leave the list when it goes.
    struct Transient {
        Binder& b;
        std::size_t from, to;
        Transient(Binder& binder, Expr& e, Scope& sc) : b(binder), from(binder.undeclaredCount()) {
            b.bindExpr(e, sc);
            to = b.undeclaredCount();
        }
        ~Transient() { b.forgetUndeclared(from, to); }
        Transient(const Transient&) = delete;
        Transient& operator=(const Transient&) = delete;
    };

private:
    void bindStmt(Stmt& s, Scope& sc);
    void bindName(Expr& e, Scope& sc, bool write);

    // A name bound as an undeclared variable, and the procedure it is in
    // (null: module level or a lone expression).
    struct ImplicitName {
        Expr* node;
        const ProcDef* proc;
    };
    Engine& en_;
    std::vector<ImplicitName> implicit_;     // names bound as undeclared variables
    std::vector<std::u16string> newNames_;   // globals defined since the last rebinding
};

} // namespace qz::script
