// Binding: every name of a parsed block is resolved to what it denotes
// (a local or global slot, a class field or member, a procedure, a library
// function or constant, a member of a host object), so that running the
// code never looks a name up by its text. Also marks the numeric
// expressions that the interpreter evaluates without building Variants.
#include "platform/script/Engine.h"
#include "platform/script/EngineDetail.h"

#include "platform/automation/VariantOps.h"
#include "platform/script/Intrinsics.h"

#include <algorithm>

namespace qz::script {

namespace {

// True when evaluating the expression cannot run script code that might
// change a variable (no calls of script procedures or object members).
bool isPure(const Expr& e) {
    switch (e.kind) {
    case EK::Literal: return true;
    case EK::Paren:
    case EK::Unary: return isPure(*e.a);
    case EK::Binary: return isPure(*e.a) && isPure(*e.b);
    case EK::Ident:
        if (e.bind != Bind::Local && e.bind != Bind::Global && e.bind != Bind::Field && e.bind != Bind::Builtin)
            return false;
        for (const auto& a : e.args)
            if (!isPure(*a)) return false;
        return true;
    default: return false;
    }
}

bool isNumericTree(const Expr& e);

// A literal number, a variable, or an element of an array variable with
// numeric indices.
bool isNumericLeaf(const Expr& e) {
    if (e.kind == EK::Literal)
        return e.value.type() == VarType::Integer || e.value.type() == VarType::Long ||
               e.value.type() == VarType::Double;
    if (e.kind != EK::Ident || !(e.bind == Bind::Local || e.bind == Bind::Global || e.bind == Bind::Field))
        return false;
    if (!e.hasArgs) return true;
    if (e.args.empty() || e.args.size() > 4) return false;
    for (const auto& a : e.args)
        if (!isNumericTree(*a) || isComparison(*a)) return false;
    return true;
}

// Children are bound (and flagged) before their parent, so this looks one
// level down only.
bool isNumericTree(const Expr& e) {
    auto operand = [](const Expr& c) {
        if (c.kind == EK::Binary || c.kind == EK::Unary) return c.numeric && !isComparison(c);
        if (c.kind == EK::Paren) return c.nk != 0;
        return isNumericLeaf(c);
    };
    if (e.kind == EK::Paren) return operand(*e.a);
    if (e.kind == EK::Unary) return e.op == Op::Neg && operand(*e.a);
    if (e.kind == EK::Binary) {
        switch (e.op) {
        case Op::Add: case Op::Sub: case Op::Mul: case Op::Div: case Op::IntDiv: case Op::Mod:
        case Op::Eq: case Op::Ne: case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge:
            return operand(*e.a) && operand(*e.b);
        default: return false;
        }
    }
    return isNumericLeaf(e);
}

bool sameVariable(const Expr& a, const Expr& b) {
    return a.kind == EK::Ident && b.kind == EK::Ident && !a.hasArgs && !b.hasArgs && a.bind == b.bind &&
           a.slot == b.slot && (a.bind == Bind::Local || a.bind == Bind::Global || a.bind == Bind::Field);
}

} // namespace

void Binder::scopeOfFrame(Scope& sc, const Frame& f) {
    if (f.proc) {
        for (std::size_t i = 0; i < f.proc->slotNames.size(); ++i)
            sc.locals[f.proc->slotNames[i]] = static_cast<std::int32_t>(i);
        if (f.dyn)
            for (const auto& [name, i] : f.dyn->index) sc.locals.emplace(name, f.proc->frameSize + i);
    }
    sc.cls = f.me ? f.me->cls.get() : nullptr;
}


namespace {

// A name declared twice at the level of one block (variables, constants,
// procedures, classes) is a compile error, found before anything of the
// block is defined. A procedure defined again replaces the earlier one.
void checkRedefinitions(const Block& b) {
    std::unordered_map<std::u16string, int, NoCaseHash, NoCaseEqual> seen;
    auto declare = [&](const std::u16string& name, std::int32_t line, std::int32_t col, int kind = 0) {
        auto [it, fresh] = seen.emplace(name, kind);
        if (!fresh && (kind == 0 || it->second != kind)) throw CompileError{1041, line, col};
    };
    for (const auto& d : b.globals) declare(d.name, d.line, d.col);
    for (const auto& c : b.consts) declare(c.name, c.line, c.col);
    for (const auto& p : b.procs) declare(p->name, p->line, 1, 1);
    seen.clear();
    for (const auto& c : b.classes) declare(c->name, c->line, 1);
}

} // namespace

void Engine::loadBlock(std::unique_ptr<Block> owned, Frame* caller) {
    checkRedefinitions(*owned);
    Block* b = owned.get();
    // Every procedure has a code object from the start, empty until it is
    // bound: a block that fails to bind halfway may leave some of its
    // procedures reachable, and those then run by the tree walker.
    auto placeCode = [&](ProcDef& p) {
        p.index = static_cast<std::int32_t>(codes_.size());
        codes_.push_back(std::make_unique<Code>(0, 0));
    };
    for (auto& p : b->procs) placeCode(*p);
    for (auto& cd : b->classes)
        for (auto& p : cd->procs) placeCode(*p);
    blocks_.push_back(std::move(owned));
    const std::size_t implicitBegin = binder_.undeclaredCount();
    const bool expl = b->optionExplicit;  // Option Explicit holds for its own block

    // Classes
    std::vector<ClassInfo*> newClasses;
    for (auto& cd : b->classes) {
        Ref<ClassInfo> ci = makeRef<ClassInfo>();
        ci->def = cd;
        auto member = [&](const std::u16string& name) -> ClassMember& {
            auto it = ci->byName.find(name);
            if (it != ci->byName.end()) return ci->members[it->second];
            ci->byName[name] = static_cast<std::int32_t>(ci->members.size());
            ci->members.emplace_back();
            ci->members.back().name = name;
            return ci->members.back();
        };
        for (auto& fd : cd->fields) {
            ClassMember& m = member(fd.name);
            if (m.field >= 0) throw CompileError{1041, fd.line, fd.col};
            m.isPublic = fd.isPublic;
            m.field = static_cast<std::int32_t>(ci->fields.size());
            ci->fields.push_back(&fd);
        }
        for (auto& p : cd->procs) {
            ProcDef* pd = p.get();
            if (equalsNoCase(pd->name, u"Class_Initialize") && pd->kind == ProcKind::Sub) {
                if (!pd->params.empty()) throw CompileError{1053, pd->line, 1};
                ci->init = pd;
            }
            if (equalsNoCase(pd->name, u"Class_Terminate") && pd->kind == ProcKind::Sub) {
                if (!pd->params.empty()) throw CompileError{1053, pd->line, 1};
                ci->term = pd;
            }
            ClassMember& m = member(pd->name);
            if (m.field >= 0) throw CompileError{1041, pd->line, 1};
            ProcDef** dest = pd->kind == ProcKind::PropGet ? &m.get
                           : pd->kind == ProcKind::PropLet ? &m.let
                           : pd->kind == ProcKind::PropSet ? &m.set : &m.method;
            if (*dest || (m.method && pd->kind != ProcKind::Sub && pd->kind != ProcKind::Function) ||
                (pd->kind <= ProcKind::Function && (m.get || m.let || m.set)))
                throw CompileError{1041, pd->line, 1};
            *dest = pd;
            m.isPublic = pd->isPublic;
            if (pd->isDefault) {
                std::int32_t idx = ci->byName[pd->name];
                if (ci->defaultMember >= 0 && ci->defaultMember != idx) throw CompileError{1052, pd->line, 1};
                ci->defaultMember = idx;
            }
        }
        for (auto& c : cd->consts) {
            if (ci->byName.count(c.name) || ci->consts.count(c.name)) throw CompileError{1041, c.line, c.col};
            Scope none;
            Frame at;
            at.block = b;
            binder_.bindExpr(*c.value, none);
            std::int32_t slot = static_cast<std::int32_t>(globals_.size());
            globals_.push_back(letValue(eval(*c.value, at)));
            globalConst_.push_back(true);
            ci->consts.emplace(c.name, slot);
        }
        // Property Let and Set take the arguments of Property Get and the value.
        for (const ClassMember& m : ci->members) {
            for (const ProcDef* put : {m.let, m.set}) {
                if (m.get && put && put->params.size() != m.get->params.size() + 1)
                    throw CompileError{1051, std::max(put->line, m.get->line), 1};
            }
        }
        newClasses.push_back(ci.get());
        classes_[cd->name] = std::move(ci);
    }
    // Procedures
    for (auto& p : b->procs) {
        GlobalName g;
        g.kind = GlobalName::Proc;
        g.proc = p.get();
        names_[p->name] = g;
        binder_.defined(p->name);
    }
    // Variables. Code that Execute runs inside a procedure declares them in
    // the running call instead.
    Scope moduleScope;
    moduleScope.explicitNames = expl;
    if (caller) Binder::scopeOfFrame(moduleScope, *caller);
    if (caller && caller->proc && caller->dyn) {
        moduleScope.dyn = caller->dyn.get();
        moduleScope.dynBase = caller->proc->frameSize;
    }
    for (auto& d : b->globals) {
        // Arrays are made by the Dim statement when it runs.
        if (moduleScope.dyn) {
            if (!moduleScope.locals.count(d.name))
                moduleScope.locals[d.name] = moduleScope.dynBase + moduleScope.dyn->add(d.name);
            continue;
        }
        auto it = names_.find(d.name);
        if (it == names_.end() || it->second.kind != GlobalName::Var) newGlobal(d.name, GlobalName::Var);
    }
    // Constants
    Frame mf;
    if (caller) {
        mf = *caller;
        mf.with = nullptr;
        mf.resumeNext = false;
    }
    mf.block = b;
    mf.code = nullptr;  // the block's own code is made once all of it is bound
    for (auto& c : b->consts) {
        binder_.bindExpr(*c.value, moduleScope);
        Variant v = letValue(eval(*c.value, mf));
        std::int32_t slot = newGlobal(c.name, GlobalName::Const);
        globals_[slot] = std::move(v);
    }
    for (auto& p : b->procs) binder_.bindProc(*p, nullptr, expl);
    for (ClassInfo* ci : newClasses)
        for (auto& p : ci->def->procs) binder_.bindProc(*p, ci, expl);
    binder_.bindList(b->body, moduleScope);
    b->sites = moduleScope.sites;
    b->nums = moduleScope.nums;
    const std::size_t implicitEnd = binder_.undeclaredCount();
    binder_.rebind();
    // The bodies are compiled once every procedure they may call has its code.
    for (auto& p : b->procs) compileProc(*p);
    for (ClassInfo* ci : newClasses)
        for (auto& p : ci->def->procs) compileProc(*p);
    std::vector<Variant*> refs;
    if (moduleScope.dyn) mf = withDynamic(mf, refs);  // with the names bound just now
    // Module-level statements run once: their code goes with this run.
    Code moduleCode(b->sites, b->nums);
    walkCode(moduleCode, b->body);
    mf.code = &moduleCode;
    runCode(moduleCode, mf);
    if (b->procs.empty() && b->classes.empty()) {
        // Nothing of it can run again (Execute in a loop, ExecuteStatement):
        // let it go, with its place in the list of undeclared names.
        binder_.forgetUndeclared(implicitBegin, implicitEnd);
        for (auto it = blocks_.end(); it != blocks_.begin();) {
            --it;
            if (it->get() == b) {
                blocks_.erase(it);
                break;
            }
        }
    }
}

void Binder::bindProc(ProcDef& p, ClassInfo* cls, bool explicitNames) {
    Scope sc;
    sc.proc = &p;
    sc.cls = cls;
    sc.explicitNames = explicitNames;
    sc.canAddLocals = true;
    auto add = [&](const std::u16string& name, std::int32_t line, std::int32_t col) {
        if (sc.locals.count(name)) throw CompileError{1041, line, col};
        std::int32_t slot = sc.frameSize++;
        sc.locals[name] = slot;
        p.slotNames.push_back(name);
        return slot;
    };
    for (auto& prm : p.params) add(prm.name, p.line, 1);
    if (p.kind == ProcKind::Function || p.kind == ProcKind::PropGet) p.resultSlot = add(p.name, p.line, 1);
    for (auto& d : p.locals) {
        std::int32_t slot = add(d.name, d.line, d.col);
        if (!d.dims.empty() || d.isArray) p.fixedArrays.emplace_back(slot, &d);
    }
    Frame dummy;
    dummy.block = p.block;
    for (auto& c : p.consts) {
        bindExpr(*c.value, sc);
        Variant v = letValue(en_.eval(*c.value, dummy));
        std::int32_t slot = add(c.name, c.line, c.col);
        p.constInits.emplace_back(slot, std::move(v));
    }
    p.declaredSlots = sc.frameSize;
    bindList(p.body, sc);
    p.frameSize = sc.frameSize;
    p.sites = sc.sites;
    p.nums = sc.nums;
    en_.codes_[static_cast<std::size_t>(p.index)] = std::make_unique<Code>(p.sites, p.nums);
    p.bound = true;
}

void Binder::bindList(StmtList& list, Scope& sc) {
    for (auto& s : list) bindStmt(*s, sc);
}

void Binder::bindStmt(Stmt& s, Scope& sc) {
    switch (s.kind) {
    case SK::Assign:
    case SK::Set:
        bindExpr(*s.value, sc);
        if (s.target->kind == EK::Ident) {
            bindName(*s.target, sc, true);
            for (auto& a : s.target->args) bindExpr(*a, sc);
        } else {
            bindExpr(*s.target, sc);
        }
        if (s.kind == SK::Assign) s.appendInPlace = Engine::isSelfAppend(*s.target, *s.value);
        break;
    case SK::Call:
        bindExpr(*s.target, sc);
        break;
    case SK::ReDim:
    case SK::Erase:
    case SK::Dim:
        for (auto& r : s.redims) {
            bindName(*r.target, sc, true);
            for (auto& d : r.dims) bindExpr(*d, sc);
        }
        break;
    case SK::If:
        for (auto& br : s.branches) {
            if (br.cond) bindExpr(*br.cond, sc);
            bindList(br.body, sc);
        }
        break;
    case SK::Select:
        bindExpr(*s.value, sc);
        for (auto& c : s.cases) {
            for (auto& it : c.items) {
                bindExpr(*it.lo, sc);
                if (it.hi) bindExpr(*it.hi, sc);
            }
            bindList(c.body, sc);
        }
        break;
    case SK::For:
        bindName(*s.target, sc, true);
        bindExpr(*s.value, sc);
        bindExpr(*s.to, sc);
        if (s.step) bindExpr(*s.step, sc);
        bindList(s.body, sc);
        break;
    case SK::ForEach:
        bindName(*s.target, sc, true);
        bindExpr(*s.value, sc);
        bindList(s.body, sc);
        break;
    case SK::Do:
        if (s.value) bindExpr(*s.value, sc);
        bindList(s.body, sc);
        break;
    case SK::With:
        bindExpr(*s.value, sc);
        if (sc.canAddLocals) {
            // A procedure's With keeps its object in a slot of the frame
            // (nameless: no name of the script reaches it).
            s.withSlot = sc.frameSize++;
            sc.proc->slotNames.emplace_back();
        }
        bindList(s.body, sc);
        break;
    default:
        break;
    }
}


// "s = s & a & b": the value is a chain of & whose leftmost operand is the
// target itself, and the other operands cannot touch s.
bool Engine::isSelfAppend(const Expr& target, const Expr& value) {
    const Expr* e = &value;
    int parts = 0;
    while (e->kind == EK::Binary && e->op == Op::Concat) {
        if (!isPure(*e->b) || ++parts > kMaxAppendParts) return false;
        e = e->a.get();
    }
    return parts > 0 && sameVariable(target, *e);
}

void Binder::bindExpr(Expr& e, Scope& sc) {
    switch (e.kind) {
    case EK::Ident:
        bindName(e, sc, false);
        break;
    case EK::Member:
        if (e.a) bindExpr(*e.a, sc);
        e.site = sc.sites++;
        break;
    case EK::Paren:
    case EK::Unary:
        bindExpr(*e.a, sc);
        break;
    case EK::Binary:
        bindExpr(*e.a, sc);
        bindExpr(*e.b, sc);
        break;
    case EK::Me:
        break;
    default:
        break;
    }
    if (e.kind != EK::Literal)
        for (auto& a : e.args) bindExpr(*a, sc);
    if (e.kind == EK::Unary && e.op == Op::Neg && e.a->kind == EK::Literal) {
        // A negative number written in the code (-1): its value once, for
        // every evaluation (the node stays what it is for everything else).
        const VarType t = e.a->value.type();
        if (t == VarType::Integer || t == VarType::Long || t == VarType::Double || t == VarType::Currency)
            e.value = ops::negate(e.a->value);
    }
    if (e.kind == EK::Binary || e.kind == EK::Unary || e.kind == EK::Paren) {
        e.numeric = isNumericTree(e);
        if (e.numeric) markNumeric(e, sc.nums);
    } else if ((e.kind == EK::Ident || e.kind == EK::Literal) && isNumericLeaf(e)) {
        markNumeric(e, sc.nums);  // a variable, a number or an array element: read without copies
    }
}

void Binder::bindName(Expr& e, Scope& sc, bool write) {
    const std::u16string& name = e.name;
    if (auto it = sc.locals.find(name); it != sc.locals.end()) {
        // Inside Function F, "F(x)" calls F again; a bare "F" is the result.
        if (sc.proc && it->second == sc.proc->resultSlot && e.hasArgs && !write) {
            if (sc.cls) {
                e.bind = Bind::ClassMethod;
                e.slot = sc.cls->byName[name];
            } else {
                e.bind = Bind::Proc;
                e.proc = sc.proc;
            }
            return;
        }
        e.bind = Bind::Local;
        e.slot = it->second;
        // Every use of an undeclared name follows a global of that name
        // defined later, not only the first one.
        if (sc.canAddLocals && it->second >= sc.proc->declaredSlots) implicit_.push_back({&e, sc.proc});
        return;
    }
    if (sc.cls) {
        if (auto it = sc.cls->consts.find(name); it != sc.cls->consts.end()) {
            e.bind = Bind::Global;  // a constant slot: assigning it fails with 501
            e.slot = it->second;
            return;
        }
        if (auto it = sc.cls->byName.find(name); it != sc.cls->byName.end()) {
            const ClassMember& m = sc.cls->members[it->second];
            if (m.field >= 0) {
                e.bind = Bind::Field;
                e.slot = m.field;
            } else {
                e.bind = Bind::ClassMethod;
                e.slot = it->second;
            }
            return;
        }
    }
    if (auto it = en_.names_.find(name); it != en_.names_.end()) {
        if (it->second.kind == Engine::GlobalName::Proc) {
            e.bind = Bind::Proc;
            e.proc = it->second.proc;
        } else {
            e.bind = Bind::Global;
            e.slot = it->second.slot;
        }
        return;
    }
    if (!write) {
        if (auto it = en_.constants_.find(name); it != en_.constants_.end()) {
            if (!e.hasArgs) {
                e.kind = EK::Literal;
                e.value = it->second;
                return;
            }
        }
    }
    // Members of objects added with their members come before the library.
    for (std::size_t i = 0; i < en_.memberObjects_.size(); ++i) {
        std::int32_t id = en_.memberObjects_[i]->memberId(name);
        if (id != kDispidUnknown) {
            e.bind = Bind::HostMember;
            e.slot = static_cast<std::int32_t>(i);
            e.member = id;
            return;
        }
    }
    if (std::int32_t id = intrinsicId(name); id >= 0) {
        e.bind = Bind::Intrinsic;
        e.slot = id;
        return;
    }
    if (auto it = en_.builtinIndex_.find(name); it != en_.builtinIndex_.end()) {
        e.bind = Bind::Builtin;
        e.slot = it->second;
        return;
    }
    if (sc.explicitNames) {
        // Error 500 when reached, unless a global of that name appears first.
        e.bind = Bind::Undefined;
        implicit_.push_back({&e, sc.proc});
        return;
    }
    if (sc.dyn) {
        // Execute inside a procedure: a new variable of the running call.
        std::int32_t slot = sc.dynBase + sc.dyn->add(name);
        sc.locals[name] = slot;
        e.bind = Bind::Local;
        e.slot = slot;
        return;
    }
    // Not declared anywhere yet: a variable of its own (local inside a
    // procedure). A global of that name defined later (ExecuteGlobal, a later
    // AddCode) takes its place, as run-time name lookup would find it.
    implicit_.push_back({&e, sc.proc});
    if (sc.canAddLocals) {
        std::int32_t slot = sc.frameSize++;
        sc.locals[name] = slot;
        sc.proc->slotNames.push_back(name);
        e.bind = Bind::Local;
        e.slot = slot;
        return;
    }
    e.bind = Bind::Global;
    e.slot = en_.newGlobal(name, Engine::GlobalName::Var);
}

void Binder::rebind() {
    if (newNames_.empty()) return;
    std::unordered_map<std::u16string, int, NoCaseHash, NoCaseEqual> fresh;
    for (auto& n : newNames_) fresh.emplace(std::move(n), 0);
    newNames_.clear();
    bool rebound = false;
    for (const auto& [e, proc] : implicit_) {
        if (!fresh.count(e->name)) continue;
        auto it = en_.names_.find(e->name);
        if (it == en_.names_.end()) continue;
        if (it->second.kind == Engine::GlobalName::Proc) {
            e->bind = Bind::Proc;
            e->proc = it->second.proc;
            e->nk = NkNone;  // no longer a plain read: the general way
        } else {
            if (e->bind == Bind::Global && e->slot == it->second.slot) continue;
            e->bind = Bind::Global;
            e->slot = it->second.slot;
            if (e->nk == NkLocal) e->nk = NkGlobal;
        }
        rebound = true;
        // The code compiled against the old binding: the one place that
        // learns of it.
        if (proc && proc->bound) {
            Code& c = en_.procCode(*proc);
            if (!c.stale) en_.unoptimize(c);
        }
    }
    // Module-level code and lone expressions running now (an Execute among
    // them) read their numeric forms again.
    if (rebound)
        for (Code* c : en_.activeCodes_) en_.forgetNumericForms(*c);
}

// Each node marked gets the number of its numeric form in its unit's code.
void Binder::markNumeric(Expr& e, std::int32_t& nums) {
    if (e.nk != NkNone) return;  // the subtree is marked already
    switch (e.kind) {
    case EK::Literal: e.nk = NkLit; break;
    case EK::Ident:
        e.nk = e.hasArgs ? NkElem : e.bind == Bind::Local ? NkLocal : e.bind == Bind::Global ? NkGlobal : NkField;
        for (auto& a : e.args) markNumeric(*a, nums);
        break;
    case EK::Paren: e.nk = NkParen; markNumeric(*e.a, nums); break;
    case EK::Unary: e.nk = NkNeg; markNumeric(*e.a, nums); break;
    case EK::Binary: e.nk = NkBin; markNumeric(*e.a, nums); markNumeric(*e.b, nums); break;
    default: return;
    }
    e.num = nums++;
}


} // namespace qz::script
