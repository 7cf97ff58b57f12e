// The engine computes arithmetic on plain numeric variables, literals and
// array elements by a fast path of its own and everything else by the
// general Variant rules. The two must never disagree: each case below runs
// one operator on the same pair of values both ways (the general way reads
// the operands through a dictionary, which the fast path never handles) and
// compares result subtype, value and error.
#include "ScriptTestUtil.h"

#include <cmath>
#include <limits>

namespace qz::script::test {
namespace {

struct Operator {
    const char* text;
    bool unary = false;
};

const Operator kOperators[] = {
    {"+"}, {"-"}, {"*"}, {"/"}, {"\\"}, {"Mod"},
    {"="}, {"<>"}, {"<"}, {"<="}, {">"}, {">="}, {"-", true},
};

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

// A program with, for each operator, a procedure that computes it on plain
// local variables (Fast<n>), on array elements (Elem<n>), and through
// dictionary reads (Slow<n>). Each returns "TypeName:value:Err.Number".
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
        code += "Function Slow" + k + "(p, q)\n  On Error Resume Next\n  Dim r\n  d(\"x\") = p : d(\"y\") = q\n"
                "  r = " + slow + "\n  Slow" + k + " = Show(r)\nEnd Function\n";
    }
    return code;
}

TEST(ScriptNumericPath, FastAndGeneralArithmeticAgreeOnEveryEdge) {
    Script s(program());
    const auto values = edgeValues();
    int checked = 0;
    for (std::size_t k = 0; k < std::size(kOperators); ++k) {
        const std::string n = std::to_string(k);
        for (const Variant& p : values) {
            for (const Variant& q : values) {
                Variant args[2] = {p, q};
                const std::string slow = s.sc.Run("Slow" + n, args).toUtf8();
                Variant args2[2] = {p, q};
                const std::string fast = s.sc.Run("Fast" + n, args2).toUtf8();
                Variant args3[2] = {p, q};
                const std::string elem = s.sc.Run("Elem" + n, args3).toUtf8();
                const std::string what = std::string(kOperators[k].text) + " on " + Variant(p).toUtf8() +
                                         " (" + std::to_string(p.varType()) + "), " + Variant(q).toUtf8() +
                                         " (" + std::to_string(q.varType()) + ")";
                EXPECT_EQ(fast, slow) << what;
                EXPECT_EQ(elem, slow) << what;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, static_cast<int>(std::size(kOperators) * values.size() * values.size()));
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
