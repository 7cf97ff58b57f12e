// The engine computes arithmetic on numbers by fast paths of its own (the
// numeric code for variables, literals and array elements; shortcuts for
// whole numbers and Doubles held in any expression) and everything else by
// the general Variant rules. They must never disagree: each case below runs
// one operator on the same pair of values through each way a script can
// reach it and compares result subtype, value and error with what the
// general rules give when called directly.
#include "ScriptTestUtil.h"

#include "platform/automation/VariantOps.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qz::script::test {
namespace {

struct Operator {
    const char* text;
    Variant (*general)(const Variant&, const Variant&);
    bool unary = false;
};

template <ops::Relation R>
Variant relation(const Variant& a, const Variant& b) {
    return ops::relate(R, a, b, ops::CompareMode::Binary, 0);
}
Variant negateSecond(const Variant&, const Variant& b) { return ops::negate(b); }

const Operator kOperators[] = {
    {"+", ops::add}, {"-", ops::subtract}, {"*", ops::multiply}, {"/", ops::divide},
    {"\\", ops::intDivide}, {"Mod", ops::mod},
    {"=", relation<ops::Relation::Eq>}, {"<>", relation<ops::Relation::Ne>},
    {"<", relation<ops::Relation::Lt>}, {"<=", relation<ops::Relation::Le>},
    {">", relation<ops::Relation::Gt>}, {">=", relation<ops::Relation::Ge>},
    {"-", negateSecond, true},
};

// What Show() prints for the general rules' answer: subtype, text, error.
std::string general(const Operator& op, const Variant& p, const Variant& q) {
    try {
        const Variant r = op.general(p, q);
        const char* name = r.type() == VarType::Integer ? "Integer"
                         : r.type() == VarType::Long ? "Long"
                         : r.type() == VarType::Double ? "Double"
                         : r.type() == VarType::Boolean ? "Boolean" : "?";
        return std::string(name) + ":" + r.toUtf8() + ":0";
    } catch (const AutomationError& e) {
        return "Empty::" + std::to_string(e.Number);
    }
}

// Values at the edges of the subtypes the fast path knows, and a few that
// it must hand over (rounding halves, huge Doubles).
std::vector<Variant> edgeValues() {
    return {
        Variant(static_cast<std::int16_t>(0)), Variant(static_cast<std::int16_t>(1)),
        Variant(static_cast<std::int16_t>(-1)), Variant(static_cast<std::int16_t>(7)),
        Variant(static_cast<std::int16_t>(32767)), Variant(static_cast<std::int16_t>(-32768)),
        Variant(static_cast<std::int32_t>(32768)), Variant(static_cast<std::int32_t>(-1)),
        Variant(std::numeric_limits<std::int32_t>::max()), Variant(std::numeric_limits<std::int32_t>::min()),
        Variant(static_cast<std::int32_t>(65536)), Variant(0.0), Variant(2.5), Variant(-1.5),
        Variant(1e308), Variant(-0.5),
    };
}

// Whole numbers written as literals (Integer) on the right of an operator.
const int kLiterals[] = {0, 1, 7, 32767};

// A program with, for each operator, a procedure that computes it on plain
// local variables (Fast<n>), on array elements (Elem<n>), and through
// dictionary reads (Slow<n>). Each returns "TypeName:value:Err.Number".
// Reg<n> (plain locals) and Lit<n>_<v> (an element and a literal) stop at an
// error, as procedures without Resume Next do.
std::string program() {
    std::string code =
        "Dim d\nSet d = CreateObject(\"Scripting.Dictionary\")\n"
        "Function Show(r)\n  Show = TypeName(r) & \":\" & CStr(r) & \":\" & Err.Number\nEnd Function\n";
    int n = 0;
    for (const Operator& op : kOperators) {
        const std::string o = op.text;
        const std::string fast = op.unary ? o + " x" : "x " + o + " y";
        const std::string elem = op.unary ? o + " a(1)" : "a(0) " + o + " a(1)";
        const std::string slow = op.unary ? o + " d(\"y\")" : "d(\"x\") " + o + " d(\"y\")";
        const std::string k = std::to_string(n++);
        code += "Function Fast" + k + "(p, q)\n  On Error Resume Next\n  Dim x, y, r\n  x = p : y = q\n"
                "  r = " + (op.unary ? "- y" : fast) + "\n  Fast" + k + " = Show(r)\nEnd Function\n";
        code += "Function Elem" + k + "(p, q)\n  On Error Resume Next\n  Dim a(1), r\n  a(0) = p : a(1) = q\n"
                "  r = " + elem + "\n  Elem" + k + " = Show(r)\nEnd Function\n";
        code += "Function Reg" + k + "(p, q)\n  Dim x, y, r\n  x = p : y = q\n"
                "  r = " + (op.unary ? "- y" : fast) + "\n  Reg" + k + " = Show(r)\nEnd Function\n";
        for (int v : kLiterals) {
            const std::string lit = op.unary ? o + " a(0)" : "a(0) " + o + " " + std::to_string(v);
            code += "Function Lit" + k + "_" + std::to_string(v) + "(p)\n  Dim a(0), r\n  a(0) = p\n"
                    "  r = " + lit + "\n  Lit" + k + "_" + std::to_string(v) + " = Show(r)\nEnd Function\n";
        }
        code += "Function Slow" + k + "(p, q)\n  On Error Resume Next\n  Dim r\n  d(\"x\") = p : d(\"y\") = q\n"
                "  r = " + slow + "\n  Slow" + k + " = Show(r)\nEnd Function\n";
    }
    return code;
}

TEST(ScriptNumericPath, EveryWayAgreesWithTheGeneralRulesOnEveryEdge) {
    Script s(program());
    auto run = [&](const std::string& name, std::span<Variant> args) {
        try {
            return s.sc.Run(name, args).toUtf8();
        } catch (const AutomationError& e) {
            return "Empty::" + std::to_string(e.Number);
        }
    };
    const auto values = edgeValues();
    int checked = 0;
    for (std::size_t k = 0; k < std::size(kOperators); ++k) {
        const std::string n = std::to_string(k);
        for (const Variant& p : values) {
            for (const Variant& q : values) {
                const std::string expected = general(kOperators[k], p, q);
                const std::string what = std::string(kOperators[k].text) + " on " + Variant(p).toUtf8() +
                                         " (" + std::to_string(p.varType()) + "), " + Variant(q).toUtf8() +
                                         " (" + std::to_string(q.varType()) + ")";
                for (const char* form : {"Fast", "Elem", "Slow", "Reg"}) {
                    Variant args[2] = {p, q};
                    EXPECT_EQ(run(form + n, args), expected) << form << ": " << what;
                }
                if (q.type() == VarType::Integer && !kOperators[k].unary &&
                    std::find(std::begin(kLiterals), std::end(kLiterals), q.integerValue()) != std::end(kLiterals)) {
                    Variant args[1] = {p};
                    EXPECT_EQ(run("Lit" + n + "_" + std::to_string(q.integerValue()), args), expected) << "Lit: " << what;
                }
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, static_cast<int>(std::size(kOperators) * values.size() * values.size()));
}

// Sums and products read their plain left operand after the right one, and
// "local op Integer literal" inside an expression is one step: the subtypes,
// values and errors stay those of the general rules (reached through a
// dictionary), at the edges of every subtype.
TEST(ScriptNumericPath, OperandsTakenOutOfOrderKeepTheGeneralRules) {
    const std::string shapes[] = {"y + (x Mod 7) * 2 - 1", "2 * (x + 32767)", "y * (x - 1)",
                                  "1.5 + (x \\ 3) * y", "(x Mod 7) + 1 < y"};
    std::string code = "Dim d\nSet d = CreateObject(\"Scripting.Dictionary\")\n";
    for (std::size_t k = 0; k < std::size(shapes); ++k) {
        std::string slow = shapes[k];
        for (std::size_t at = 0; (at = slow.find_first_of("xy", at)) != std::string::npos; at += 6)
            slow.replace(at, 1, std::string("d(\"") + slow[at] + "\")");
        const std::string n = std::to_string(k);
        code += "Function Reg" + n + "(x, y)\n  Dim r\n  r = " + shapes[k] + "\n  Reg" + n +
                " = TypeName(r) & \":\" & CStr(r)\nEnd Function\n";
        code += "Function Slow" + n + "(x, y)\n  Dim r\n  d(\"x\") = x : d(\"y\") = y\n  r = " + slow +
                "\n  Slow" + n + " = TypeName(r) & \":\" & CStr(r)\nEnd Function\n";
    }
    Script s(code);
    auto run = [&](const std::string& name, const Variant& p, const Variant& q) {
        Variant args[2] = {p, q};
        try {
            return s.sc.Run(name, args).toUtf8();
        } catch (const AutomationError& e) {
            return "error " + std::to_string(e.Number);
        }
    };
    for (std::size_t k = 0; k < std::size(shapes); ++k)
        for (const Variant& p : edgeValues())
            for (const Variant& q : edgeValues())
                EXPECT_EQ(run("Reg" + std::to_string(k), p, q), run("Slow" + std::to_string(k), p, q))
                    << shapes[k] << " on " << Variant(p).toUtf8() << ", " << Variant(q).toUtf8();
}

// Known answers for the cases where widening and overflow part ways.
TEST(ScriptNumericPath, IntegerDivisionOverflowsWhereSumsWiden) {
    Script s(
        "Dim i, l, m\n"
        "i = CInt(-32768) : l = CLng(-2147483647) - 1 : m = -1\n");
    EXPECT_EQ(s.str("TypeName(i + i)"), "Long");
    EXPECT_EQ(s.str("TypeName(-i)"), "Long");
    EXPECT_EQ(s.str("TypeName(l - 1)"), "Double");
    EXPECT_EQ(errorOf([&] { s.eval("i \\ m"); }).Number, 6);
    EXPECT_EQ(errorOf([&] { s.eval("l \\ m"); }).Number, 6);
    EXPECT_EQ(s.str("l Mod m"), "0");
    EXPECT_EQ(s.str("TypeName(7 \\ 2) & (7 \\ 2) & (-7 Mod 2)"), "Integer3-1");
}

} // namespace
} // namespace qz::script::test
