// Recursive-descent parser of VBScript into the tree of Ast.h.
#include "platform/script/Ast.h"
#include "platform/script/runtime/ScriptErrors.h"

namespace qz::script {

namespace {

constexpr int kMaxNesting = 400; // deeper expressions or blocks: "Out of stack space"
constexpr int kMaxHeight = 2000; // height of one expression tree

bool isReserved(Kw k) {
    switch (k) {
    case kwNone: case kwDefault: case kwError: case kwExplicit: case kwGet: case kwProperty:
    case kwStep: case kwPreserve: case kwResume: case kwStop: case kwRem:
        return false;
    default:
        return true;
    }
}

class Parser {
public:
    explicit Parser(std::vector<Token> toks) : t_(std::move(toks)) {}

    std::unique_ptr<Block> program();
    ExprPtr lone();

private:
    std::vector<Token> t_;
    size_t p_ = 0;
    Block* block_ = nullptr;
    ProcDef* proc_ = nullptr;     // procedure being parsed, null at module level
    ClassDef* class_ = nullptr;
    int depth_ = 0;
    int loopDepth_[2] = {0, 0};   // For, Do
    bool firstStatement_ = true;
    int singleLineIf_ = 0;        // inside the statements of a one-line If

    const Token& cur() const { return t_[p_]; }
    const Token& peek(size_t k = 1) const { return t_[std::min(p_ + k, t_.size() - 1)]; }
    bool is(Tok k) const { return cur().type == k; }
    bool isKw(Kw k) const { return cur().type == Tok::Ident && cur().kw == k; }
    bool atEos() const {
        return is(Tok::Newline) || is(Tok::End) || atProcEnd() ||
               (singleLineIf_ > 0 && (isKw(kwElse) || isKw(kwElseIf) || (isKw(kwEnd) && peek().kw == kwIf)));
    }
    // "End Sub", "End Function", "End Property" or "End Class": it may follow
    // a statement on the same line ("Sub S() x = 1 End Sub").
    bool atProcEnd() const {
        if (!isKw(kwEnd) || peek().type != Tok::Ident) return false;
        const Kw k = peek().kw;
        return k == kwSub || k == kwFunction || k == kwProperty || k == kwClass;
    }
    // "Property Get", "Property Let" or "Property Set" starts a property;
    // "Property" alone is an ordinary name.
    bool atPropertyDef() const {
        return isKw(kwProperty) && peek().type == Tok::Ident &&
               (peek().kw == kwGet || peek().kw == kwLet || peek().kw == kwSet);
    }
    [[noreturn]] void fail(std::int32_t num) const { throw CompileError{num, cur().line, cur().col}; }
    [[noreturn]] void failAt(std::int32_t num, const Token& tk) const { throw CompileError{num, tk.line, tk.col}; }
    void expect(Tok k, std::int32_t num) { if (!is(k)) fail(num); ++p_; }
    void expectKw(Kw k, std::int32_t num) { if (!isKw(k)) fail(num); ++p_; }
    bool acceptKw(Kw k) { if (isKw(k)) { ++p_; return true; } return false; }
    bool accept(Tok k) { if (is(k)) { ++p_; return true; } return false; }
    void endOfStatement() { if (!atEos()) fail(1025); }
    void skipNewlines() { while (is(Tok::Newline)) ++p_; }
    std::u16string identifier() {
        if (!is(Tok::Ident) || isReserved(cur().kw)) fail(1010);
        return t_[p_++].text;
    }
    std::u16string memberName() {  // after '.', any word
        if (!is(Tok::Ident)) fail(1010);
        return t_[p_++].text;
    }
    struct Nest {
        Parser& p;
        explicit Nest(Parser& pp) : p(pp) { if (++p.depth_ > kMaxNesting) p.fail(28); }
        ~Nest() { --p.depth_; }
    };

    ExprPtr make(EK k, const Token& at) {
        grow(sizeof(Expr), at);
        auto e = std::make_unique<Expr>(k);
        e->line = at.line;
        e->col = at.col;
        return e;
    }
    StmtPtr makeS(SK k, const Token& at) {
        grow(sizeof(Stmt), at);
        auto s = std::make_unique<Stmt>(k);
        s->line = at.line;
        s->col = at.col;
        return s;
    }
    // The tree counts against the memory ceiling as it is made (a program of
    // a million fields is a large one): the parse stops at the statement where
    // it passes the ceiling.
    void grow(std::size_t bytes, const Token& at) {
        bytes_ += memory::heapBytes(bytes);
        if ((++nodes_ & kPollMask) == 0 && memory::wouldPass(bytes_)) {
            ScriptAbort stop{true};
            stop.noteStatement(at.line, at.col, nullptr);
            throw stop;
        }
    }

public:
    // What the tree and its tokens take, so far.
    std::int64_t bytes_ = 0;

private:
    std::size_t nodes_ = 0;

    // Expressions
    ExprPtr expr() { Nest n(*this); return binaryLevel(0); }
    ExprPtr binaryLevel(int level);
    ExprPtr notLevel();
    ExprPtr compareLevel();
    ExprPtr arithLevel(int level);
    bool arithOp(int level, Op& op) const;
    ExprPtr unaryLevel();
    ExprPtr powLevel();
    ExprPtr postfix(bool statementHead);
    static ExprPtr* parenthesisedName(ExprPtr& e);
    ExprPtr primary();
    void argList(std::vector<ExprPtr>& args);
    ExprPtr binary(Op op, ExprPtr a, ExprPtr b, const Token& at) {
        auto e = make(EK::Binary, at);
        e->op = op;
        e->a = std::move(a);
        e->b = std::move(b);
        setDepth(*e);
        return e;
    }
    // Long chains (a & b & c ...) are built in loops, not by recursion: their
    // height is bounded here so that evaluating them stays within the stack.
    void setDepth(Expr& e) {
        int d = 0;
        if (e.a) d = e.a->depth;
        if (e.b) d = std::max<int>(d, e.b->depth);
        if (d + 1 > kMaxHeight) fail(28);
        e.depth = static_cast<std::uint16_t>(d + 1);
    }

    // Statements
    void topLevel(StmtList* out = nullptr);
    void statement(StmtList& out);
    void statementsUntilEol(StmtList& out, bool stopAtElse);
    StmtList blockUntil(std::initializer_list<Kw> ends);
    void dimList(std::vector<VarDecl>& out, bool isPublic, StmtList* body = nullptr);
    void constList(bool isPublic);
    void procedure(bool isPublic, bool isDefault);
    void classDef();
    void ifStatement(StmtList& out, const Token& at);
    void selectStatement(StmtList& out, const Token& at);
    void forStatement(StmtList& out, const Token& at);
    void doStatement(StmtList& out, const Token& at);
    void whileStatement(StmtList& out, const Token& at);
    void withStatement(StmtList& out, const Token& at);
    void assignOrCall(StmtList& out, bool isCall);
    std::int32_t intConstant();
};

// Binary operators by level, lowest first. Level 5 (Not) and 6 (comparisons)
// are handled by their own functions.
ExprPtr Parser::binaryLevel(int level) {
    struct L { Kw kw; Op op; };
    static const L kLogic[] = {{kwImp, Op::Imp}, {kwEqv, Op::Eqv}, {kwXor, Op::Xor}, {kwOr, Op::Or}, {kwAnd, Op::And}};
    if (level >= 5) return notLevel();
    ExprPtr a = binaryLevel(level + 1);
    while (isKw(kLogic[level].kw)) {
        const Token& at = t_[p_++];
        a = binary(kLogic[level].op, std::move(a), binaryLevel(level + 1), at);
    }
    return a;
}

ExprPtr Parser::notLevel() {
    if (isKw(kwNot)) {
        Nest n(*this);
        const Token& at = t_[p_++];
        auto e = make(EK::Unary, at);
        e->op = Op::Not;
        e->a = notLevel();
        return e;
    }
    return compareLevel();
}

// The arithmetic levels, loosest first: & (between comparison and + -),
// + -, Mod, \, * /; each is left-associative.
ExprPtr Parser::arithLevel(int level) {
    if (level >= 5) return powLevel();
    ExprPtr a = arithLevel(level + 1);
    for (Op op; arithOp(level, op);) {
        const Token& at = t_[p_++];
        a = binary(op, std::move(a), arithLevel(level + 1), at);
    }
    return a;
}

bool Parser::arithOp(int level, Op& op) const {
    auto pick = [&](bool match, Op o) { if (match) op = o; return match; };
    switch (level) {
    case 0: return pick(is(Tok::Amp), Op::Concat);
    case 1: return pick(is(Tok::Plus), Op::Add) || pick(is(Tok::Minus), Op::Sub);
    case 2: return pick(isKw(kwMod), Op::Mod);
    case 3: return pick(is(Tok::Backslash), Op::IntDiv);
    default: return pick(is(Tok::Star), Op::Mul) || pick(is(Tok::Slash), Op::Div);
    }
}

ExprPtr Parser::compareLevel() {
    ExprPtr a = arithLevel(0);
    for (;;) {
        Op op;
        switch (cur().type) {
        case Tok::Eq: op = Op::Eq; break;
        case Tok::Ne: op = Op::Ne; break;
        case Tok::Lt: op = Op::Lt; break;
        case Tok::Le: op = Op::Le; break;
        case Tok::Gt: op = Op::Gt; break;
        case Tok::Ge: op = Op::Ge; break;
        case Tok::Ident:
            if (cur().kw == kwIs) { op = Op::Is; break; }
            return a;
        default: return a;
        }
        const Token& at = t_[p_++];
        a = binary(op, std::move(a), arithLevel(0), at);
    }
}

// A sign binds tighter than ^ on either side: -2 ^ 2 is 4, 2 ^ -1 is 0.5.
ExprPtr Parser::unaryLevel() {
    if (is(Tok::Minus)) {
        Nest n(*this);
        const Token& at = t_[p_++];
        auto e = make(EK::Unary, at);
        e->op = Op::Neg;
        e->a = unaryLevel();
        return e;
    }
    if (is(Tok::Plus)) { Nest n(*this); ++p_; return unaryLevel(); }
    return postfix(false);
}

ExprPtr Parser::powLevel() {
    ExprPtr a = unaryLevel();
    while (is(Tok::Caret)) {
        const Token& at = t_[p_++];
        a = binary(Op::Pow, std::move(a), unaryLevel(), at);
    }
    return a;
}

void Parser::argList(std::vector<ExprPtr>& args) {
    // At '(' : parse up to the matching ')'.
    ++p_;
    if (accept(Tok::RParen)) return;
    for (;;) {
        if (is(Tok::Comma) || is(Tok::RParen)) {
            args.push_back(make(EK::Missing, cur()));
        } else {
            args.push_back(expr());
        }
        if (accept(Tok::Comma)) continue;
        expect(Tok::RParen, 1006);
        return;
    }
}

// The name inside one or more parentheses, "(f)" or "((f))", when that is all
// they hold; null otherwise.
ExprPtr* Parser::parenthesisedName(ExprPtr& e) {
    ExprPtr* p = &e;
    while ((*p)->kind == EK::Paren) p = &(*p)->a;
    return p != &e && (*p)->kind == EK::Ident && !(*p)->hasArgs ? p : nullptr;
}

ExprPtr Parser::postfix(bool) {
    ExprPtr e = primary();
    for (;;) {
        if (is(Tok::Dot) && !cur().spaceBefore) {
            const Token& at = t_[p_++];
            auto m = make(EK::Member, at);
            m->name = memberName();
            m->a = std::move(e);
            setDepth(*m);
            e = std::move(m);
        } else if (is(Tok::LParen) && (e->kind == EK::Ident || e->kind == EK::Member) && !e->hasArgs) {
            e->hasArgs = true;
            argList(e->args);
        } else if (ExprPtr* name = is(Tok::LParen) ? parenthesisedName(e) : nullptr) {
            // (f)(x), ((f))(x): the parentheses around a lone name are no
            // value of their own; the name is called with the arguments,
            // which keep their ByRef passing.
            ExprPtr callee = std::move(*name);
            e = std::move(callee);
            e->hasArgs = true;
            argList(e->args);
        } else if (is(Tok::LParen) && (e->kind == EK::Ident || e->kind == EK::Member || e->kind == EK::Me ||
                                       e->kind == EK::Paren)) {
            // a(1)(2), (f)(x): index or default member of the result
            const Token& at = cur();
            auto m = make(EK::Member, at);
            m->a = std::move(e);
            m->hasArgs = true;
            argList(m->args);
            setDepth(*m);
            e = std::move(m);
        } else {
            return e;
        }
    }
}

ExprPtr Parser::primary() {
    const Token& tk = cur();
    switch (tk.type) {
    case Tok::Integer: {
        auto e = make(EK::Literal, tk);
        e->value = tk.isLong ? Variant(static_cast<std::int32_t>(tk.ival)) : Variant(static_cast<std::int16_t>(tk.ival));
        ++p_;
        return e;
    }
    case Tok::Double: {
        auto e = make(EK::Literal, tk);
        e->value = Variant(tk.dval);
        ++p_;
        return e;
    }
    case Tok::Date: {
        auto e = make(EK::Literal, tk);
        e->value = Variant::date(tk.dval);
        ++p_;
        return e;
    }
    case Tok::String: {
        auto e = make(EK::Literal, tk);
        e->value = Variant(std::u16string(tk.text));
        ++p_;
        return e;
    }
    case Tok::LParen: {
        Nest n(*this);
        ++p_;
        auto e = make(EK::Paren, tk);
        e->a = expr();
        expect(Tok::RParen, 1006);
        return e;
    }
    case Tok::Dot: {
        // .member inside With
        ++p_;
        auto e = make(EK::Member, tk);
        e->name = memberName();
        return e;
    }
    case Tok::Ident:
        switch (tk.kw) {
        case kwTrue: case kwFalse: {
            auto e = make(EK::Literal, tk);
            e->value = Variant(tk.kw == kwTrue);
            ++p_;
            return e;
        }
        case kwEmpty: { auto e = make(EK::Literal, tk); ++p_; return e; }
        case kwNull: { auto e = make(EK::Literal, tk); e->value = Variant::null(); ++p_; return e; }
        case kwNothing: { auto e = make(EK::Literal, tk); e->value = Variant::nothing(); ++p_; return e; }
        case kwMe: {
            if (!class_) fail(1037);
            ++p_;
            return make(EK::Me, tk);
        }
        case kwNew: {
            ++p_;
            auto e = make(EK::New, tk);
            e->name = identifier();
            return e;
        }
        default:
            break;
        }
        if (isReserved(tk.kw)) fail(1023);
        {
            auto e = make(EK::Ident, tk);
            e->name = tk.text;
            ++p_;
            return e;
        }
    default:
        fail(1023);
    }
}

std::int32_t Parser::intConstant() {
    bool neg = accept(Tok::Minus);
    if (!is(Tok::Integer)) fail(1026);
    std::int64_t v = t_[p_++].ival;
    return static_cast<std::int32_t>(neg ? -v : v);
}

// body: at module level, where a Dim of arrays makes them when it runs
// (before that line their names are Empty).
void Parser::dimList(std::vector<VarDecl>& out, bool isPublic, StmtList* body) {
    const Token& at = cur();
    const std::size_t first = out.size();
    for (;;) {
        VarDecl d;
        d.line = cur().line;
        d.col = cur().col;
        d.name = identifier();
        d.isPublic = isPublic;
        if (accept(Tok::LParen)) {
            d.isArray = true;
            if (!accept(Tok::RParen)) {
                for (;;) {
                    d.dims.push_back(intConstant());
                    if (accept(Tok::Comma)) continue;
                    expect(Tok::RParen, 1006);
                    break;
                }
                if (d.dims.size() > SafeArray::kMaxDimensions) fail(1002);
            }
        }
        out.push_back(std::move(d));
        if (!accept(Tok::Comma)) break;
    }
    endOfStatement();
    if (!body) return;
    StmtPtr s;
    for (std::size_t i = first; i < out.size(); ++i) {
        const VarDecl& d = out[i];
        if (!d.isArray) continue;
        if (!s) s = makeS(SK::Dim, at);
        ReDimItem item;
        item.target = make(EK::Ident, at);
        item.target->name = d.name;
        for (std::int32_t u : d.dims) {
            item.dims.push_back(make(EK::Literal, at));
            item.dims.back()->value = Variant(u);
        }
        s->redims.push_back(std::move(item));
    }
    if (s) body->push_back(std::move(s));
}

void Parser::constList(bool isPublic) {
    for (;;) {
        ConstDecl c;
        c.line = cur().line;
        c.col = cur().col;
        c.name = identifier();
        c.isPublic = isPublic;
        expect(Tok::Eq, 1011);
        const Token& valueAt = cur();
        c.value = expr();
        // A constant's value is a literal, optionally signed.
        const Expr* v = c.value.get();
        while (v->kind == EK::Unary && v->op == Op::Neg) v = v->a.get();
        if (v->kind != EK::Literal) failAt(1045, valueAt);
        if (proc_) proc_->consts.push_back(std::move(c));
        else if (class_) class_->consts.push_back(std::move(c));
        else block_->consts.push_back(std::move(c));
        if (!accept(Tok::Comma)) break;
    }
    endOfStatement();
}

std::unique_ptr<Block> Parser::program() {
    auto b = std::make_unique<Block>();
    block_ = b.get();
    skipNewlines();
    while (!is(Tok::End)) {
        topLevel();
        skipNewlines();
    }
    return b;
}

ExprPtr Parser::lone() {
    skipNewlines();
    ExprPtr e = expr();
    skipNewlines();
    if (!is(Tok::End)) fail(1025);
    return e;
}

void Parser::topLevel(StmtList* out) {
    const Token& tk = cur();
    if (tk.type == Tok::Ident) {
        switch (tk.kw) {
        case kwOption:
            ++p_;
            expectKw(kwExplicit, 1002);
            if (!firstStatement_) failAt(1042, tk);
            block_->optionExplicit = true;
            endOfStatement();
            return;
        case kwClass:
            firstStatement_ = false;
            classDef();
            return;
        case kwSub: case kwFunction:
            firstStatement_ = false;
            procedure(true, false);
            return;
        case kwPublic: case kwPrivate: {
            firstStatement_ = false;
            bool isPublic = tk.kw == kwPublic;
            ++p_;
            bool isDefault = false;
            if (isKw(kwDefault)) {
                if (!isPublic) fail(1057);
                isDefault = true;
                ++p_;
            }
            if (isKw(kwSub) || isKw(kwFunction) || atPropertyDef()) {
                if (isKw(kwProperty) && !class_) fail(1048);
                procedure(isPublic, isDefault);
                return;
            }
            if (isDefault) fail(1002);
            if (acceptKw(kwConst)) { constList(isPublic); return; }
            if (class_) dimList(class_->fields, isPublic);
            else dimList(block_->globals, isPublic, out ? out : &block_->body);
            return;
        }
        case kwProperty:
            if (atPropertyDef()) fail(1048);
            break;
        default:
            break;
        }
    }
    firstStatement_ = false;
    statement(block_->body);
}

void Parser::procedure(bool isPublic, bool isDefault) {
    auto pd = std::make_unique<ProcDef>();
    const Token& start = cur();
    pd->line = start.line;
    pd->isPublic = isPublic;
    pd->isDefault = isDefault;
    Kw endKw;
    if (acceptKw(kwSub)) { pd->kind = ProcKind::Sub; endKw = kwSub; }
    else if (acceptKw(kwFunction)) { pd->kind = ProcKind::Function; endKw = kwFunction; }
    else {
        expectKw(kwProperty, 1002);
        if (!class_) failAt(1048, start);
        endKw = kwProperty;
        if (acceptKw(kwGet)) pd->kind = ProcKind::PropGet;
        else if (acceptKw(kwLet)) pd->kind = ProcKind::PropLet;
        else if (acceptKw(kwSet)) pd->kind = ProcKind::PropSet;
        else fail(1049);
    }
    if (isDefault && pd->kind != ProcKind::PropGet && pd->kind != ProcKind::Function &&
        pd->kind != ProcKind::Sub) fail(1058);
    pd->name = identifier();
    const bool headerParens = is(Tok::LParen);
    if (accept(Tok::LParen)) {
        if (!accept(Tok::RParen)) {
            for (;;) {
                Param prm;
                if (acceptKw(kwByVal)) prm.byRef = false;
                else acceptKw(kwByRef);
                prm.name = identifier();
                if (accept(Tok::LParen)) { expect(Tok::RParen, 1006); prm.isArray = true; }
                pd->params.push_back(std::move(prm));
                if (accept(Tok::Comma)) continue;
                expect(Tok::RParen, 1006);
                break;
            }
        }
    }
    if ((pd->kind == ProcKind::PropLet || pd->kind == ProcKind::PropSet) && pd->params.empty()) fail(1054);
    // The body may start on the header's line ("Sub S() x = 1 End Sub").
    if (!headerParens) endOfStatement();
    ProcDef* saved = proc_;
    proc_ = pd.get();
    int savedLoops[2] = {loopDepth_[0], loopDepth_[1]};
    loopDepth_[0] = loopDepth_[1] = 0;
    // Body up to End Sub / End Function / End Property
    for (;;) {
        skipNewlines();
        if (is(Tok::End)) fail(1014);
        if (isKw(kwEnd) && peek().type == Tok::Ident &&
            (peek().kw == kwSub || peek().kw == kwFunction || peek().kw == kwProperty)) {
            if (peek().kw != endKw) {
                p_++;
                fail(endKw == kwSub ? 1016 : endKw == kwFunction ? 1015 : 1050);
            }
            p_ += 2;
            endOfStatement();
            break;
        }
        if (isKw(kwSub) || isKw(kwFunction) || isKw(kwClass) || atPropertyDef()) fail(1024);
        if ((isKw(kwPublic) || isKw(kwPrivate))) fail(1024);
        statement(pd->body);
    }
    loopDepth_[0] = savedLoops[0];
    loopDepth_[1] = savedLoops[1];
    proc_ = saved;
    pd->block = block_;
    if (class_) {
        pd->owner = class_;
        class_->procs.push_back(std::move(pd));
    } else {
        block_->procs.push_back(std::move(pd));
    }
}

void Parser::classDef() {
    if (class_ || proc_) fail(1024);
    ++p_;
    Ref<ClassDef> cd = makeRef<ClassDef>();
    cd->line = cur().line;
    cd->name = identifier();
    endOfStatement();
    class_ = cd.get();
    for (;;) {
        skipNewlines();
        if (is(Tok::End)) fail(1014);
        if (isKw(kwEnd)) {
            ++p_;
            expectKw(kwClass, 1047);
            endOfStatement();
            break;
        }
        const Token& tk = cur();
        if (tk.kw == kwDim) { ++p_; dimList(cd->fields, true); continue; }
        if (tk.kw == kwPublic || tk.kw == kwPrivate || tk.kw == kwSub || tk.kw == kwFunction ||
            tk.kw == kwProperty) {
            if (tk.kw == kwProperty) {
                if (!atPropertyDef()) fail(1024);
                procedure(true, false);
                continue;
            }
            if (tk.kw == kwSub || tk.kw == kwFunction) { procedure(true, false); continue; }
            topLevel();
            continue;
        }
        if (tk.kw == kwConst) { ++p_; constList(true); continue; }
        if (tk.kw == kwDefault) fail(1057);  // only a Public member can be the default
        fail(1024);
    }
    class_ = nullptr;
    block_->classes.push_back(std::move(cd));
}

StmtList Parser::blockUntil(std::initializer_list<Kw> ends) {
    StmtList out;
    for (;;) {
        skipNewlines();
        if (is(Tok::End)) return out;
        if (is(Tok::Ident)) {
            for (Kw k : ends) if (cur().kw == k) return out;
        }
        statement(out);
    }
}

void Parser::statementsUntilEol(StmtList& out, bool stopAtElse) {
    // Single-line If: statements separated by ':' up to the line's end.
    for (;;) {
        if (is(Tok::End) || (is(Tok::Newline) && cur().ival == 0)) return;
        if (is(Tok::Newline)) { ++p_; continue; }
        if (stopAtElse && (isKw(kwElse) || isKw(kwElseIf))) return;
        if (isKw(kwEnd) && peek().type == Tok::Ident && peek().kw == kwIf) {
            // "If a Then b : End If" and "If a Then b Else c End If" on one line are accepted
            p_ += 2;
            return;
        }
        if (atProcEnd()) return;
        statement(out);
    }
}

void Parser::statement(StmtList& out) {
    Nest n(*this);
    const Token& tk = cur();
    if (tk.type == Tok::Dot) { assignOrCall(out, false); return; }
    if (tk.type != Tok::Ident) fail(1024);
    switch (tk.kw) {
    case kwDim: {
        ++p_;
        std::vector<VarDecl> decls;
        dimList(decls, true, proc_ || class_ ? nullptr : &out);
        auto& dest = proc_ ? proc_->locals : (class_ ? class_->fields : block_->globals);
        for (auto& d : decls) dest.push_back(std::move(d));
        return;
    }
    case kwConst: ++p_; constList(true); return;
    case kwPublic: case kwPrivate:
        if (proc_) fail(1024);
        topLevel(&out);
        return;
    case kwRedim: {
        ++p_;
        auto s = makeS(SK::ReDim, tk);
        s->keepElements = acceptKw(kwPreserve);
        for (;;) {
            ReDimItem item;
            const Token& nt = cur();
            item.target = make(EK::Ident, nt);
            item.target->name = identifier();
            if (!is(Tok::LParen)) fail(1005);
            argList(item.dims);
            if (item.dims.empty() || item.dims.size() > SafeArray::kMaxDimensions) fail(1002);
            for (auto& d : item.dims) if (d->kind == EK::Missing) fail(1023);
            s->redims.push_back(std::move(item));
            if (!accept(Tok::Comma)) break;
        }
        endOfStatement();
        out.push_back(std::move(s));
        return;
    }
    case kwErase: {
        ++p_;
        auto s = makeS(SK::Erase, tk);
        for (;;) {
            ReDimItem item;
            item.target = make(EK::Ident, cur());
            item.target->name = identifier();
            s->redims.push_back(std::move(item));
            if (!accept(Tok::Comma)) break;
        }
        endOfStatement();
        out.push_back(std::move(s));
        return;
    }
    case kwSet: {
        ++p_;
        auto s = makeS(SK::Set, tk);
        s->target = postfix(true);
        if (s->target->kind != EK::Ident && s->target->kind != EK::Member) failAt(1002, tk);
        expect(Tok::Eq, 1011);
        s->value = expr();
        endOfStatement();
        out.push_back(std::move(s));
        return;
    }
    case kwLet:
        ++p_;
        assignOrCall(out, false);
        if (out.empty() || out.back()->kind != SK::Assign) failAt(1011, tk);
        return;
    case kwCall:
        ++p_;
        assignOrCall(out, true);
        return;
    case kwIf: ++p_; ifStatement(out, tk); return;
    case kwSelect: ++p_; selectStatement(out, tk); return;
    case kwFor: ++p_; forStatement(out, tk); return;
    case kwDo: ++p_; doStatement(out, tk); return;
    case kwWhile: ++p_; whileStatement(out, tk); return;
    case kwWith: ++p_; withStatement(out, tk); return;
    case kwExit: {
        ++p_;
        auto s = makeS(SK::Exit, tk);
        if (acceptKw(kwDo)) { if (!loopDepth_[1]) failAt(1039, tk); s->exit = ExitKind::Do; }
        else if (acceptKw(kwFor)) { if (!loopDepth_[0]) failAt(1039, tk); s->exit = ExitKind::For; }
        else if (acceptKw(kwSub)) { if (!proc_ || proc_->kind != ProcKind::Sub) failAt(1039, tk); s->exit = ExitKind::Sub; }
        else if (acceptKw(kwFunction)) { if (!proc_ || proc_->kind != ProcKind::Function) failAt(1039, tk); s->exit = ExitKind::Function; }
        else if (acceptKw(kwProperty)) {
            if (!proc_ || proc_->kind == ProcKind::Sub || proc_->kind == ProcKind::Function) failAt(1039, tk);
            s->exit = ExitKind::Property;
        } else fail(1039);
        endOfStatement();
        out.push_back(std::move(s));
        return;
    }
    case kwOn: {
        ++p_;
        expectKw(kwError, 1002);
        auto s = makeS(SK::OnError, tk);
        if (acceptKw(kwResume)) {
            expectKw(kwNext, 1002);
            s->resumeNext = true;
        } else {
            expectKw(kwGoTo, 1002);
            if (!is(Tok::Integer) || cur().ival != 0) fail(1002);
            ++p_;
        }
        endOfStatement();
        out.push_back(std::move(s));
        return;
    }
    case kwStop: ++p_; endOfStatement(); return;
    case kwOption: fail(1042);
    case kwNext: fail(1055);
    case kwLoop: fail(1038);
    case kwProperty:
        if (!atPropertyDef()) { assignOrCall(out, false); return; }
        [[fallthrough]];
    case kwSub: case kwFunction: case kwClass:
        if (proc_ || class_) fail(1024);
        topLevel();
        return;
    case kwMe: case kwNone: case kwError: case kwExplicit: case kwGet: case kwStep:
    case kwPreserve: case kwResume: case kwDefault:
        assignOrCall(out, false);
        return;
    default:
        fail(1024);
    }
}

void Parser::assignOrCall(StmtList& out, bool isCall) {
    const Token& start = cur();
    ExprPtr target = postfix(true);
    if (target->kind != EK::Ident && target->kind != EK::Member && target->kind != EK::Me) failAt(1024, start);
    if (!isCall && is(Tok::Eq)) {
        if (target->kind == EK::Me) failAt(1037, start);
        ++p_;
        auto s = makeS(SK::Assign, start);
        s->target = std::move(target);
        s->value = expr();
        endOfStatement();
        out.push_back(std::move(s));
        return;
    }
    auto s = makeS(SK::Call, start);
    if (isCall) {
        endOfStatement();
        s->target = std::move(target);
        out.push_back(std::move(s));
        return;
    }
    if (target->kind == EK::Me) failAt(1024, start);
    if (atEos()) {
        // "f(x)" alone: the parentheses belong to a single by-value argument.
        if (target->hasArgs && target->args.size() > 1) failAt(1044, start);
        if (target->hasArgs && target->args.size() == 1) {
            auto paren = make(EK::Paren, start);
            paren->a = std::move(target->args[0]);
            target->args[0] = std::move(paren);
        }
        s->target = std::move(target);
        out.push_back(std::move(s));
        return;
    }
    if (target->hasArgs) {
        // "f (a) + 1, b" or "f (a), b": reread the parenthesis as the start of
        // the first argument.
        size_t q = p_;
        int depth = 0;
        // find the '(' that opened the last argument list
        while (q > 0) {
            --q;
            if (t_[q].type == Tok::RParen) ++depth;
            else if (t_[q].type == Tok::LParen && --depth == 0) break;
        }
        target->hasArgs = false;
        target->args.clear();
        p_ = q;
    }
    s->target = std::move(target);
    s->target->hasArgs = true;
    for (;;) {
        if (is(Tok::Comma)) s->target->args.push_back(make(EK::Missing, cur()));
        else s->target->args.push_back(expr());
        if (accept(Tok::Comma)) {
            if (atEos()) s->target->args.push_back(make(EK::Missing, cur()));
            else continue;
        }
        break;
    }
    endOfStatement();
    out.push_back(std::move(s));
}

void Parser::ifStatement(StmtList& out, const Token& at) {
    auto s = makeS(SK::If, at);
    IfBranch first;
    first.cond = expr();
    expectKw(kwThen, 1017);
    if (!atEos() || (is(Tok::Newline) && cur().ival == 1)) {
        // single-line form
        ++singleLineIf_;
        s->branches.push_back(std::move(first));
        statementsUntilEol(s->branches.back().body, true);
        while (isKw(kwElseIf)) {
            ++p_;
            IfBranch b;
            b.cond = expr();
            expectKw(kwThen, 1017);
            s->branches.push_back(std::move(b));
            statementsUntilEol(s->branches.back().body, true);
        }
        if (acceptKw(kwElse)) {
            IfBranch b;
            s->branches.push_back(std::move(b));
            statementsUntilEol(s->branches.back().body, false);
        }
        --singleLineIf_;
        out.push_back(std::move(s));
        return;
    }
    first.body = blockUntil({kwElseIf, kwElse, kwEnd});
    s->branches.push_back(std::move(first));
    for (;;) {
        if (acceptKw(kwElseIf)) {
            IfBranch b;
            b.cond = expr();
            expectKw(kwThen, 1017);
            b.body = blockUntil({kwElseIf, kwElse, kwEnd});
            s->branches.push_back(std::move(b));
            continue;
        }
        if (acceptKw(kwElse)) {
            IfBranch b;
            b.body = blockUntil({kwEnd});
            s->branches.push_back(std::move(b));
        }
        if (!isKw(kwEnd)) fail(1014);
        ++p_;
        expectKw(kwIf, 1012);
        endOfStatement();
        break;
    }
    out.push_back(std::move(s));
}

void Parser::selectStatement(StmtList& out, const Token& at) {
    auto s = makeS(SK::Select, at);
    expectKw(kwCase, 1021);
    s->value = expr();
    endOfStatement();
    skipNewlines();
    while (isKw(kwCase)) {
        CaseClause cc;
        cc.line = cur().line;
        ++p_;
        if (acceptKw(kwElse)) {
            cc.body = blockUntil({kwCase, kwEnd});
            s->cases.push_back(std::move(cc));
            break;
        }
        for (;;) {
            CaseItem item;
            if (acceptKw(kwIs)) {
                switch (cur().type) {
                case Tok::Eq: item.op = Op::Eq; break;
                case Tok::Ne: item.op = Op::Ne; break;
                case Tok::Lt: item.op = Op::Lt; break;
                case Tok::Le: item.op = Op::Le; break;
                case Tok::Gt: item.op = Op::Gt; break;
                case Tok::Ge: item.op = Op::Ge; break;
                default: fail(1002);
                }
                ++p_;
                item.lo = expr();
            } else {
                item.lo = expr();
                if (acceptKw(kwTo)) item.hi = expr();
            }
            cc.items.push_back(std::move(item));
            if (!accept(Tok::Comma)) break;
        }
        // The first statement may follow the list without a colon ("Case 2  v = 1").
        cc.body = blockUntil({kwCase, kwEnd});
        s->cases.push_back(std::move(cc));
    }
    skipNewlines();
    expectKw(kwEnd, 1014);
    expectKw(kwSelect, 1022);
    endOfStatement();
    out.push_back(std::move(s));
}

void Parser::forStatement(StmtList& out, const Token& at) {
    ++loopDepth_[0];
    if (acceptKw(kwEach)) {
        auto s = makeS(SK::ForEach, at);
        s->target = make(EK::Ident, cur());
        s->target->name = identifier();
        expectKw(kwIn, 1046);
        s->value = expr();
        endOfStatement();
        s->body = blockUntil({kwNext});
        expectKw(kwNext, 1020);
        endOfStatement();
        out.push_back(std::move(s));
        --loopDepth_[0];
        return;
    }
    auto s = makeS(SK::For, at);
    s->target = make(EK::Ident, cur());
    s->target->name = identifier();
    expect(Tok::Eq, 1011);
    s->value = expr();
    expectKw(kwTo, 1013);
    s->to = expr();
    if (acceptKw(kwStep)) s->step = expr();
    endOfStatement();
    s->body = blockUntil({kwNext});
    expectKw(kwNext, 1020);
    endOfStatement();
    out.push_back(std::move(s));
    --loopDepth_[0];
}

void Parser::doStatement(StmtList& out, const Token& at) {
    ++loopDepth_[1];
    auto s = makeS(SK::Do, at);
    if (acceptKw(kwWhile)) { s->loop = LoopKind::PreWhile; s->value = expr(); }
    else if (acceptKw(kwUntil)) { s->loop = LoopKind::PreUntil; s->value = expr(); }
    if (!atEos()) fail(1028);
    s->body = blockUntil({kwLoop});
    expectKw(kwLoop, 1019);
    if (s->loop == LoopKind::None) {
        if (acceptKw(kwWhile)) { s->loop = LoopKind::PostWhile; s->value = expr(); }
        else if (acceptKw(kwUntil)) { s->loop = LoopKind::PostUntil; s->value = expr(); }
    }
    endOfStatement();
    out.push_back(std::move(s));
    --loopDepth_[1];
}

void Parser::whileStatement(StmtList& out, const Token& at) {
    auto s = makeS(SK::Do, at);
    s->loop = LoopKind::PreWhile;
    s->value = expr();
    endOfStatement();
    // Exit Do is not valid inside While...Wend, but an enclosing Do stays reachable.
    s->body = blockUntil({kwWend});
    expectKw(kwWend, 1018);
    endOfStatement();
    s->wend = true;
    out.push_back(std::move(s));
}

void Parser::withStatement(StmtList& out, const Token& at) {
    auto s = makeS(SK::With, at);
    s->value = expr();
    endOfStatement();
    s->body = blockUntil({kwEnd});
    expectKw(kwEnd, 1014);
    expectKw(kwWith, 1029);
    endOfStatement();
    out.push_back(std::move(s));
}

} // namespace

std::unique_ptr<Block> parseProgram(std::u16string_view src) {
    std::vector<Token> tokens = tokenize(src);
    const auto textBytes = static_cast<std::int64_t>(tokens.capacity() * sizeof(Token) + src.size() * sizeof(char16_t));
    if (memory::wouldPass(textBytes)) throw ScriptAbort{true};
    Parser p(std::move(tokens));
    p.bytes_ = textBytes;
    auto b = p.program();
    b->source.assign(src);
    b->tally.set(p.bytes_);
    return b;
}

ExprPtr parseExpression(std::u16string_view src) {
    Parser p(tokenize(src));
    return p.lone();
}

} // namespace qz::script
