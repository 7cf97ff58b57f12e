// The VBScript engine: binds parsed code to slots and runs it. Internal to the
// script folder; the rest of the system uses ScriptControl.
#pragma once

#include "platform/automation/ErrorTexts.h"
#include "platform/automation/Text.h"
#include "platform/script/Binder.h"
#include "platform/script/Code.h"
#include "platform/script/runtime/ScriptErrors.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace qz::script {

class ScriptControl;
class ScriptObject;
class ErrObject;
struct ClassInfo;
struct EngineLink;
class Watchdog;

enum class Flow : std::uint8_t { Normal, ExitDo, ExitFor, ExitProc };

// Evaluated arguments of a call: a few live inline, more go to the heap.
// Only the values pushed are constructed and destroyed: most calls take one
// or two arguments, and every host call makes one of these.
class Args {
public:
    Args() = default;
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    [[gnu::always_inline]] ~Args() {
        if (!heap_)
            for (std::size_t i = 0; i < n_; ++i) inlineValues()[i].~Variant();
    }
    void push_back(const Variant& v) { push_back(Variant(v)); }
    [[gnu::always_inline]] void push_back(Variant&& v) {
        if (n_ < kInline) [[likely]] {
            new (&inlineValues()[n_++]) Variant(std::move(v));
            return;
        }
        pushMore(std::move(v));
    }
    [[gnu::noinline]] void pushMore(Variant&& v) {
        if (!heap_) {
            heap_ = std::make_unique<std::vector<Variant>>();
            heap_->reserve(kInline * 2);
            for (std::size_t i = 0; i < kInline; ++i) {
                heap_->push_back(std::move(inlineValues()[i]));
                inlineValues()[i].~Variant();
            }
        }
        heap_->push_back(std::move(v));
        ++n_;
    }
    std::size_t size() const { return n_; }
    bool empty() const { return n_ == 0; }
    Variant* data() { return heap_ ? heap_->data() : inlineValues(); }
    Variant& operator[](std::size_t i) { return data()[i]; }
    operator std::span<Variant>() { return {data(), n_}; }

private:
    static constexpr std::size_t kInline = 6;  // FormatCurrency and its kin take five
    Variant* inlineValues() { return std::launder(reinterpret_cast<Variant*>(storage_)); }
    alignas(Variant) unsigned char storage_[kInline * sizeof(Variant)];
    std::unique_ptr<std::vector<Variant>> heap_;   // more than kInline values
    std::size_t n_ = 0;
};

// A short text made without a string of its own, or a view of one.
struct ShortText {
    static constexpr std::size_t kRoom = 64, kDigits = 21;
    char16_t buf[kRoom + kDigits];
    std::u16string_view text;
};

// A run-time error with the place where it happened.
struct ScriptFailure {
    AutomationError err;
    std::int32_t line = 0;
    std::int32_t col = 0;
    const Block* block = nullptr;
    std::string culprit;   // the name the host's description adds (UTF-8), or empty
};

// An HRESULT of the script facility (0x800A0000 + n) is the script's error n.
std::int32_t scriptErrorNumber(std::int32_t number);

// The variables that Execute declares inside a procedure: they belong to the
// running call (its later Execute and Eval see them) and go when it returns.
struct DynamicScope : RefCounted {
    std::unordered_map<std::u16string, std::int32_t, NoCaseHash, NoCaseEqual> index;  // name: position
    std::deque<Variant> values;   // a deque: the variables never move
    std::int32_t add(const std::u16string& name) {
        auto n = static_cast<std::int32_t>(values.size());
        values.emplace_back();
        index.emplace(name, n);
        return n;
    }
};

// The global variables: indexed like a vector, but an element never moves
// (running frames and ByRef arguments hold their addresses). Chunks of 256
// make an index two shifts and a load, where a deque takes a division.
class GlobalSlots {
public:
    Variant& operator[](std::size_t i) { return chunks_[i >> kShift][i & kMask]; }
    const Variant& operator[](std::size_t i) const { return chunks_[i >> kShift][i & kMask]; }
    std::size_t size() const { return n_; }
    void push_back(Variant v) {
        if ((n_ >> kShift) == chunks_.size()) chunks_.push_back(std::make_unique<Variant[]>(kChunk));
        (*this)[n_] = std::move(v);
        ++n_;
    }
    void emplace_back() { push_back(Variant()); }
    void clear() {
        chunks_.clear();
        n_ = 0;
    }

private:
    static constexpr std::size_t kShift = 8;
    static constexpr std::size_t kChunk = std::size_t(1) << kShift;
    static constexpr std::size_t kMask = kChunk - 1;
    std::vector<std::unique_ptr<Variant[]>> chunks_;
    std::size_t n_ = 0;
};

struct Frame {
    Frame() = default;
    Frame(Variant** r, const ProcDef& p, Code* c) : ref(r), proc(&p), block(p.block), code(c) {}
    Variant** ref = nullptr;          // ref[slot]: the variable of a slot
    ScriptObject* me = nullptr;       // running class instance
    const ProcDef* proc = nullptr;
    const Block* block = nullptr;
    Code* code = nullptr;             // the code object of the unit whose tree runs here
    const Variant* with = nullptr;    // object of the innermost With
    bool resumeNext = false;
    Ref<DynamicScope> dyn;            // variables Execute declared in this call
};

class Engine {
public:
    explicit Engine(ScriptControl& control);
    ~Engine();

    void addObject(const std::u16string& name, Ref<Dispatch> object, bool addMembers);
    bool hasObject(std::u16string_view name) const;
    // Each call below throws CompileError, ScriptFailure or ScriptAbort.
    // addCode and evalText call `compiled` between compiling the text and
    // running it (the control starts its time-out there).
    void addCode(std::u16string_view code, const std::function<void()>& compiled);
    Variant run(std::u16string_view name, std::span<Variant> args);
    Variant evalText(std::u16string_view expression, const std::function<void()>& compiled);

    // Time-out of the outermost call into the script.
    void startClock(std::int32_t timeoutMs);

    // Error state (the Err object)
    struct ErrState {
        std::int32_t number = 0;
        std::u16string source, description, helpFile;
        std::int32_t helpContext = 0;
    } err;
    void setErr(const AutomationError& e);
    void clearErr() { err = ErrState(); }

    // Members used by script class instances.
    Variant invokeClassMember(ScriptObject* obj, std::int32_t id, std::uint8_t kind,
                              std::span<Variant> args);
    void terminate(ScriptObject* obj) noexcept;
    Variant invokeProc(const ProcDef& p, std::span<Variant> args);
    ScriptControl& control() { return control_; }

private:
    friend class ScriptObject;
    struct GlobalName {
        enum Kind : std::uint8_t { Var, Const, Proc, Object } kind = Var;
        std::int32_t slot = -1;
        ProcDef* proc = nullptr;
    };
    static constexpr int kMaxDepth = 3000;   // nested procedure calls
    struct DepthGuard {
        int& d;
        explicit DepthGuard(int& depth) : d(depth) { ++d; }
        ~DepthGuard() { --d; }
    };
    Variant makeProcRef(std::u16string_view name);
    static constexpr int kMaxAppendParts = 16;
    static bool isSelfAppend(const Expr& target, const Expr& value);
    bool appendInPlace(const Stmt& s, Frame& f);
    Variant errObjectValue();

    // Binding (Binder.h); a block's names are defined, bound, compiled and
    // its module-level code run by loadBlock.
    friend class Binder;
    using Scope = Binder::Scope;
    void loadBlock(std::unique_ptr<Block> block, Frame* caller);
    std::int32_t newGlobal(const std::u16string& name, GlobalName::Kind kind);

    // Running
    Flow execList(const StmtList& list, Frame& f);
    // A procedure's body, by its instructions (BodyCode.cpp).
    Flow runBody(const ProcDef& p, Frame& f);
    // The code object of a procedure: made when it is bound, its body
    // compiled once its whole block is bound.
    Code& procCode(const ProcDef& p) { return *codes_[static_cast<std::size_t>(p.index)]; }
    void compileProc(const ProcDef& p);
    // Code whose one instruction runs the statements by the tree walker.
    static void walkCode(Code& c, const StmtList& list);
    Flow runCode(Code& c, Frame& f);
    // Names bound anew: the code of a procedure that reads one of them takes
    // its general forms (unoptimize) and is compiled again before it next
    // runs (recompile), once no call runs it any more.
    void unoptimize(Code& c);
    void recompile(const ProcDef& p);
    bool codeRunning(const Code& c) const;
    // A unit's numeric forms are compiled afresh at their next use.
    static void forgetNumericForms(Code& c);
    Flow exec(const Stmt& s, Frame& f);
    Flow execAssign(const Stmt& s, Frame& f);
    Flow execCall(const Stmt& s, Frame& f);
    void execSet(const Stmt& s, Frame& f);
    Variant eval(const Expr& e, Frame& f);
    Variant evalUnary(const Expr& e, Frame& f);
    Variant evalBinary(const Expr& e, Frame& f);
    // A key of a dictionary as text: a string read where it is, or a short
    // string joined with a whole number ("k" & i) in out's room; false for
    // any other key.
    bool keyText(const Expr& k, Frame& f, ShortText& out);
    // a & b of a short string and a whole number, both plain operands, in
    // out's room; false for any other.
    bool joinPlain(const Expr& concat, Frame& f, ShortText& out);
    // A plain operand read where it is (a literal, a variable); null for any other.
    const Variant* plainOperand(const Expr& e, Frame& f) {
        if (e.kind == EK::Literal) return &e.value;
        if (e.kind != EK::Ident || e.hasArgs) return nullptr;
        if (e.bind == Bind::Local) return f.ref[e.slot];
        if (e.bind == Bind::Global) return &globals_[e.slot];
        return nullptr;
    }
    Variant evalIdent(const Expr& e, Frame& f);
    Variant evalMember(const Expr& e, Frame& f);
    Variant* varRef(const Expr& e, Frame& f);   // variable of a bound name, or null
    void assign(const Expr& target, Variant value, bool isSet, Frame& f);
    // Let and Set into a variable. Only a variable holding an array (it may
    // be locked) needs more than a plain store.
    void letInto(Variant& var, Variant&& value) {
        if (var.isArray()) letIntoSlow(var, std::move(value));
        else var = std::move(value);
    }
    void letIntoSlow(Variant& var, Variant&& value);
    void setInto(Variant& var, Variant&& value) {
        if (var.isArray() && var.arrayValue()->locks) throwRuntimeError(err::ArrayLocked);
        var = std::move(value);
    }
    // Arrays whose elements are passed by reference to a running call.
    struct ElementLocks {
        SafeArray* arrays[4];
        std::vector<SafeArray*> more;
        int n = 0;
        void add(SafeArray* a) {
            ++a->locks;
            if (n < 4) arrays[n++] = a;
            else more.push_back(a);
        }
        ~ElementLocks() {
            for (int i = 0; i < n; ++i) --arrays[i]->locks;
            for (SafeArray* a : more) --a->locks;
        }
    };
    Variant* elementByRef(const Expr& a, Frame& caller, ElementLocks& locked);
    // Room on the value stack for a frame of n more slots (Out of stack space
    // beyond it); the stack never moves.
    void frameRoom(std::size_t n) {
        if (sp_ + n > made_) [[unlikely]] growFrames(n);
    }
    void growFrames(std::size_t n);
    // A called procedure's slots: its parameters bound to the arguments
    // (ByRef to the caller's variable or array element, ByVal by value),
    // its fixed arrays made and its constants set. Parameter i of the frame
    // is vals[i], referred to by ref[i]; the other slots refer to their own
    // values already.
    void bindArg(bool byRef, const Expr& a, Variant& val, Variant*& ref, Frame& caller, ElementLocks& locked);
    void bindValues(const ProcDef& p, std::span<Variant> args, Variant* vals, Variant** ref);
    void initFrame(const ProcDef& p, Variant* vals);
    Variant callProc(const ProcDef& p, ScriptObject* me, const std::vector<ExprPtr>* argExprs,
                     std::span<Variant> argValues, Frame& caller, bool wantResult);
    Variant callClassMember(ScriptObject* obj, std::int32_t index, std::uint8_t kind,
                            const std::vector<ExprPtr>* argExprs, std::span<Variant> argValues,
                            Frame& caller);
    Variant callBuiltin(const Expr& e, Frame& f);
    // The If of an expression field, "If IsNull(x) Or IsEmpty(x) Then ...
    // Else ... F(x) ...": x read once when every member it gets is pure.
    bool blankTest(const BodyIns& in, Frame& f);
    std::int32_t builtinSlot(std::u16string_view name) const {
        auto it = builtinIndex_.find(std::u16string(name));
        return it == builtinIndex_.end() ? -1 : it->second;
    }
    Variant callIntrinsic(const Expr& e, Frame& f, bool asStatement = false);
    Variant invokeOn(const Variant& objv, const Expr& at, std::u16string_view name,
                     std::uint8_t kind, Args& args, Frame& f);
    // The cache of member call site e in the running code. Every frame
    // that evaluates a member call runs the code of the call's unit (the
    // constants evaluated while binding are literals), whose table the
    // binder sized for every site of it: a member call costs no test of
    // that, except in the sanitizer builds, which check it on every call.
    static SiteCache& siteOf(const Expr& e, Frame& f) {
        Code* const c = f.code;
#if defined(__SANITIZE_ADDRESS__)
        if (!c || static_cast<std::uint32_t>(e.site) >= c->siteCount) noSite();
#endif
        return c->sites[static_cast<std::size_t>(e.site)];
    }
    [[noreturn, gnu::cold]] static void noSite();
    Variant indexInto(const Variant& v, std::span<Variant> idx);
    Variant& elementRef(Variant& var, std::span<Variant> idx);
    Variant& elementAt(Variant& var, const std::int32_t* ix, std::size_t n);
    std::int32_t indexValue(const Expr& e, Frame& f);
    void evalArgs(const std::vector<ExprPtr>& args, Args& out, Frame& f);
    Variant newObject(const Expr& e);
    Variant createObjectByProgId(std::u16string_view progId);
    void redim(const Stmt& s, Frame& f);
    void erase(const Stmt& s, Frame& f);
    Flow execFor(const Stmt& s, Frame& f);
    // A running For loop.
    struct ForState {
        Variant* var = nullptr;   // the counter
        Variant end, step;
        std::int64_t e = 0, st = 0;
        bool whole = false;       // whole-number bounds and step
        bool small = false;       // all three Integer: the counter stays Integer while it fits
        bool up = true;           // the generic way: the step is not negative
    };
    // The states of the For loops of a running compiled body: a few live in
    // place, more on the heap.
    struct LoopRoom {
        static constexpr std::int32_t kInline = 4;
        alignas(ForState) unsigned char inlineRoom[kInline * sizeof(ForState)];
        std::unique_ptr<ForState[]> heap;
        ForState* at = nullptr;
        std::int32_t n = 0;
        explicit LoopRoom(std::int32_t loops) : n(loops) {
            if (n != 0) [[unlikely]] open();
        }
        ~LoopRoom() {
            if (n != 0) [[unlikely]] close();
        }
        void open();
        void close() noexcept;
        LoopRoom(const LoopRoom&) = delete;
        LoopRoom& operator=(const LoopRoom&) = delete;
    };
    // A call of a compiled procedure that runs inside its caller's dispatch
    // loop (BodyCode.cpp): the callee's frame and where the caller goes on.
    struct Activation {
        Activation(std::int32_t loops, Variant** ref, const ProcDef& p, Code* c) : frame(ref, p, c), loops(loops) {}
        Frame frame;
        const BodyIns* base = nullptr;        // the callee's code
        Frame* callerFrame = nullptr;
        const BodyIns* callerBase = nullptr;
        const BodyIns* callerIp = nullptr;    // the caller's call instruction
        ForState* callerStates = nullptr;
        std::size_t valueBase = 0, size = 0;  // the frame's slots on the value stack
        std::size_t params = 0;
        ElementLocks locked;                  // arrays whose elements it has by reference
        LoopRoom loops;
    };
    // argSlots: the caller's slots that are the parameters, or null.
    Activation* pushCall(const ProcDef& p, Code& code, const std::vector<ExprPtr>& args, Frame& caller,
                         const std::int32_t* argSlots);
    void popCall() noexcept;
    [[gnu::noinline]] void bindArgs(std::uint64_t byRef, const std::vector<ExprPtr>& args, Variant* vals, Variant** ref,
                                    Frame& caller, ElementLocks& locked);
    void releaseFrame(std::size_t from, std::size_t size, std::size_t params) noexcept;
    void leaveFrame(std::size_t from, std::size_t size, std::size_t params) noexcept;  // releaseFrame, inlined
    // The rest of releaseFrame once a slot holds something: the values from
    // v to end that hold something are released (an object may run
    // Class_Terminate, whose own calls go above), then the frame's room.
    [[gnu::noinline]] void releaseSlots(Variant* v, Variant* end, std::size_t from) noexcept;
    Variant* forVariable(const Stmt& s, Frame& f);
    void forHead(const Stmt& s, Frame& f, ForState& st);
    bool forTest(ForState& st);
    void forStep(ForState& st);
    Flow execForEach(const Stmt& s, Frame& f);
    Flow execSelect(const Stmt& s, Frame& f);
    bool truth(const Variant& v);
    bool test(const Expr& e, Frame& f);  // the truth of a condition
    bool testResuming(const Expr& e, Frame& f, bool onError);
    // A condition; with Resume Next an error in it gives onError.
    bool cond(const Expr& e, Frame& f, bool onError) {
        return f.resumeNext ? testResuming(e, f, onError) : test(e, f);
    }
    // Runs the head of a block statement (its bounds, its collection, its
    // object). With Resume Next an error there is recorded and false returned:
    // the code goes on into the block.
    template <class Head> bool runHead(Frame& f, Head&& head);
    // The block of a loop whose head failed under Resume Next: it runs once,
    // then its Next raises `atNext` (For: 92, For Each: 451).
    Flow loopWithoutHead(const Stmt& s, Frame& f, std::int32_t atNext);
    Flow execWith(const Stmt& s, Frame& f);
public:
    struct Num {
        enum Kind : std::uint8_t { Integer, Long, Double } kind;
        std::int64_t i;
        double d;
        Variant value() const {
            return kind == Long ? Variant(static_cast<std::int32_t>(i))
                 : kind == Double ? Variant(d) : Variant(static_cast<std::int16_t>(i));
        }
    };
    // A numeric expression (Expr::nk set) by its compiled form; false when
    // an operand is not a number or the result needs the general rules.
    bool evalNum(const Expr& e, Frame& f, Num& out);
    // The numeric form of e in the running code (compiled anew after names
    // were bound anew); null when the frame runs no code of e's unit (a
    // constant's value while binding): the general rules then take it.
    const NumIns* numForm(const Expr& e, Frame& f) {
        Code* const unit = f.code;
        if (!unit || static_cast<std::uint32_t>(e.num) >= unit->numCount) [[unlikely]] return nullptr;
        NumCode& form = unit->nums[static_cast<std::size_t>(e.num)];
        return !form.code.empty() && form.expr == &e ? form.code.data() : compileNum(e, form);
    }
    // The numeric machine (NumericCode.cpp) on a compiled form.
    bool runNum(const NumIns* ip, Frame& f, Num& out);
    bool numOperand(const Expr& e, Frame& f, Num& out);
    // Its numeric form, compiled at first use into its entry of the code.
    const NumIns* compileNum(const Expr& e, NumCode& out);
    // A numeric comparison: 0 / 1, or -1 when not all numbers.
    int compareNum(const Expr& e, Frame& f) {
        Num r;
        return evalNum(e, f, r) ? r.i != 0 : -1;
    }
private:
    // The time-out: a watchdog thread raises expired_ when the deadline of
    // the running call passes, so that a check costs one load. It is made
    // after every host call, every loop iteration and every procedure call.
    // The memory ceiling (what the values of this thread hold, counted as
    // they are made, MemoryMeter.h, against the ceiling the control set for
    // the call) is looked at every memoryInterval_ checks: every check while
    // memory grows fast, backing off to one in kMemoryCheckMost while it
    // does not.
    [[gnu::always_inline]] void checkClock() {
        if (hasDeadline_ && expired_.load(std::memory_order_relaxed)) [[unlikely]] timedOut();
        if (--memoryCountdown_ == 0) [[unlikely]] checkMemory();
    }
    void checkMemory();
    static constexpr std::uint32_t kMemoryCheckMost = 4096;
    [[noreturn]] static void timedOut();
    void checkStack();

    ScriptControl& control_;
    Ref<EngineLink> link_;
    std::unordered_map<std::u16string, GlobalName, NoCaseHash, NoCaseEqual> names_;
    Binder binder_{*this};
    GlobalSlots globals_;
    std::vector<std::uint8_t> globalConst_;   // constants and added objects: not assignable (1)
    bool running_ = false;            // inside a call into the script
    std::vector<std::unique_ptr<Block>> blocks_;
    // The code objects of the procedures, by ProcDef::index.
    std::vector<std::unique_ptr<Code>> codes_;
    std::unordered_map<std::u16string, Ref<ClassInfo>, NoCaseHash, NoCaseEqual> classes_;
    std::vector<Ref<Dispatch>> memberObjects_;
    std::unordered_map<std::u16string, std::int32_t, NoCaseHash, NoCaseEqual> builtinIndex_;
    std::unordered_map<std::u16string, Variant, NoCaseHash, NoCaseEqual> constants_;
    Ref<ErrObject> errObject_;

    // Frame storage: a fixed stack so that variables never move (its room is
    // reserved at once and its slots made as calls first reach them).
    std::vector<Variant> values_;
    std::vector<Variant*> refs_;
    std::size_t sp_ = 0;
    std::size_t made_ = 0;            // slots made so far (values_.size())
    int depth_ = 0;
    // Calls running inside a dispatch loop, innermost last: room for the
    // deepest nesting is taken at the first such call, so that an
    // activation never moves while its frame is in use.
    Activation* calls_ = nullptr;
    std::size_t callDepth_ = 0;
    bool hasDeadline_ = false;
    std::uint32_t memoryCountdown_ = 1, memoryInterval_ = 1;
    std::int64_t memoryLast_ = 0;     // what the thread held at the last look
    std::atomic<bool> expired_{false};
    std::unique_ptr<Watchdog> watchdog_;   // started by the first time-out
    char* stackLimit_ = nullptr;
    bool randomized_ = false;
    // Code run outside the activations of calls_: the bodies runCode runs
    // and the lone expressions of Eval (names bound anew reach them too).
    std::vector<Code*> activeCodes_;
    struct ActiveCode {
        Engine& en;
        ActiveCode(Engine& e, Code& c) : en(e) { en.activeCodes_.push_back(&c); }
        ~ActiveCode() { en.activeCodes_.pop_back(); }
        ActiveCode(const ActiveCode&) = delete;
        ActiveCode& operator=(const ActiveCode&) = delete;
    };
    // Calls of host members not known to be pure, and of script code, made
    // through member chains: a value read twice with no such call between is
    // the same value.
    std::uint32_t impureCalls_ = 0;
    // A value blankTest read for the else branch: evalArgs takes it in place
    // of evaluating reuseSite_ again.
    const Expr* reuseSite_ = nullptr;
    Variant reuseValue_;
};

} // namespace qz::script
