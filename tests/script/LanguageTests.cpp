// The language by behaviour: lexical rules, literal typing, operators and
// their precedence, control flow and arrays.
#include "ScriptTestUtil.h"

namespace qz::script::test {
namespace {

TEST(ScriptLexical, CommentsContinuationSeparatorsAndCase) {
    Script s(
        "Dim a, b ' a comment\r\n"
        "REM another comment\r\n"
        "a = 1 + _\r\n"
        "    2 : b = \"say \"\"hi\"\"\" : Rem trailing\r\n"
        "DIM c : C = A * 10\n");
    EXPECT_EQ(s.num("a"), 3);
    EXPECT_EQ(s.str("b"), "say \"hi\"");
    EXPECT_EQ(s.num("c"), 30);
}

TEST(ScriptLexical, LiteralSubtypes) {
    Script s;
    EXPECT_EQ(s.eval("32767").type(), VarType::Integer);
    EXPECT_EQ(s.eval("32768").type(), VarType::Long);
    EXPECT_EQ(s.eval("-32768").type(), VarType::Long);
    EXPECT_EQ(s.eval("2147483648").type(), VarType::Double);
    EXPECT_EQ(s.eval("1.5").type(), VarType::Double);
    EXPECT_EQ(s.eval("1e3").type(), VarType::Double);
    EXPECT_EQ(s.num("1e3"), 1000);
    EXPECT_EQ(s.num(".5"), 0.5);
    // &H: up to four digits an Integer with the top bit as sign, then Long.
    EXPECT_EQ(s.eval("&HFFFF").type(), VarType::Integer);
    EXPECT_EQ(s.num("&HFFFF"), -1);
    EXPECT_EQ(s.num("&H8000"), -32768);
    EXPECT_EQ(s.eval("&HFFFF&").type(), VarType::Long);
    EXPECT_EQ(s.num("&HFFFF&"), 65535);
    EXPECT_EQ(s.num("&H10000"), 65536);
    EXPECT_EQ(s.num("&HFFFFFFFF"), -1);
    EXPECT_EQ(s.num("&O17"), 15);
    EXPECT_EQ(s.num("&17"), 15);
    Variant d = s.eval("#1/31/2004#");
    EXPECT_EQ(d.type(), VarType::Date);
    EXPECT_EQ(d.dateValue(), 38017);
    EXPECT_DOUBLE_EQ(s.eval("#2004-01-31 18:00#").dateValue(), 38017.75);
    EXPECT_EQ(s.eval("#31/1/2004#").dateValue(), 38017);
    EXPECT_DOUBLE_EQ(s.eval("#6:00 PM#").dateValue(), 0.75);
    EXPECT_EQ(s.eval("True").type(), VarType::Boolean);
    EXPECT_EQ(s.num("True"), -1);
    EXPECT_TRUE(s.eval("Empty").isEmpty());
    EXPECT_TRUE(s.eval("Null").isNull());
}

TEST(ScriptLexical, BadTokensAreCompileErrors) {
    struct Case { const char* code; int number; int line; };
    const Case cases[] = {
        {"x = \"open", 1033, 1},
        {"x = 1\r\ny = 2 $ 3", 1032, 2},
        {"x = #13/45/2000#", 1002, 1},
        {"x = &H1FFFFFFFF", 1031, 1},
        {"x = &HZZ", 1023, 1},          // "&" before the name HZZ, with nothing on its left
    };
    for (const auto& c : cases) {
        ScriptControl sc;
        AutomationError e = errorOf([&] { sc.AddCode(c.code); });
        EXPECT_EQ(e.Number, c.number) << c.code;
        EXPECT_EQ(e.Source, kCompileErrorSource) << c.code;
        EXPECT_EQ(sc.Error().Line, c.line) << c.code;
    }
}

TEST(ScriptOperators, PrecedenceAndAssociativity) {
    Script s;
    EXPECT_EQ(s.num("-2 ^ 2"), 4);      // the sign binds tighter than ^
    EXPECT_EQ(s.num("2 ^ -1"), 0.5);
    EXPECT_EQ(s.num("2 ^ 3 ^ 2"), 64);
    EXPECT_EQ(s.num("2 + 3 * 4"), 14);
    EXPECT_EQ(s.num("10 \\ 3 * 2"), 1);   // \ binds looser than *
    EXPECT_EQ(s.num("7 Mod 3 * 2"), 1);   // Mod looser than *
    EXPECT_EQ(s.num("7 Mod 4 \\ 2"), 1);  // Mod looser than \ .
    EXPECT_EQ(s.num("10 - 4 - 3"), 3);
    EXPECT_EQ(s.str("\"a\" & 1 + 2"), "a3");
    EXPECT_EQ(s.num("Not 1 = 2"), -1);
    EXPECT_EQ(s.num("1 = 1 And 2 = 3"), 0);
    EXPECT_EQ(s.num("True Or False And False"), -1);
    EXPECT_EQ(s.num("True Xor True"), 0);
    EXPECT_EQ(s.num("False Imp False"), -1);
    EXPECT_EQ(s.num("5 Eqv 3"), -7);
    EXPECT_EQ(s.num("(2 + 3) * 4"), 20);
}

TEST(ScriptOperators, ResultSubtypesAndOverflow) {
    Script s;
    EXPECT_EQ(s.eval("32767 + 1").type(), VarType::Long);
    EXPECT_EQ(s.num("32767 + 1"), 32768);
    EXPECT_EQ(s.eval("1 + 1").type(), VarType::Integer);
    EXPECT_EQ(s.eval("2147483647 + 1").type(), VarType::Double);
    EXPECT_EQ(s.eval("200 * 200").type(), VarType::Long);
    EXPECT_EQ(s.eval("6 / 3").type(), VarType::Double);
    EXPECT_EQ(s.num("-7 \\ 2"), -3);
    EXPECT_EQ(s.num("-7 Mod 3"), -1);
    EXPECT_TRUE(s.eval("Null + 1").isNull());
    EXPECT_EQ(s.str("Null & \"x\""), "x");
    EXPECT_EQ(s.num("Empty + 5"), 5);
    EXPECT_EQ(errorOf([&] { s.eval("1 / 0"); }).Number, 11);
    EXPECT_EQ(errorOf([&] { s.eval("1 \\ 0"); }).Number, 11);
    EXPECT_EQ(errorOf([&] { s.eval("\"abc\" * 2"); }).Number, 13);
}

TEST(ScriptOperators, ComparisonsOfStringsAndNumbers) {
    Script s("Dim n, t : n = 10 : t = \"9\"");
    EXPECT_EQ(s.num("\"abc\" < \"abd\""), -1);
    EXPECT_EQ(s.num("\"a\" = \"A\""), 0);
    // A literal number against a string compares as numbers.
    EXPECT_EQ(s.num("t = 9"), -1);
    // Two variables: a number is less than any string.
    EXPECT_EQ(s.num("n < t"), -1);
    EXPECT_TRUE(s.eval("Null = Null").isNull());
    EXPECT_EQ(s.num("Empty = 0"), -1);
    EXPECT_EQ(s.num("Empty = \"\""), -1);
}

TEST(ScriptControlFlow, IfForms) {
    Script s(
        "Function Grade(n)\r\n"
        "  If n >= 90 Then\r\n"
        "    Grade = \"A\"\r\n"
        "  ElseIf n >= 80 Then\r\n"
        "    Grade = \"B\"\r\n"
        "  Else\r\n"
        "    Grade = \"C\"\r\n"
        "  End If\r\n"
        "End Function\r\n"
        "Function One(n)\r\n"
        "  If n = 1 Then One = \"one\" Else One = \"other\" : One = One & \"!\"\r\n"
        "End Function\r\n"
        "Dim r : If True Then r = 1 : r = r + 1\r\n"
        "If False Then r = 100\r\n"
        "Dim q : If Null Then q = 1 Else q = 2\r\n");
    EXPECT_EQ(s.str("Grade(95) & Grade(85) & Grade(10)"), "ABC");
    EXPECT_EQ(s.str("One(1)"), "one");
    EXPECT_EQ(s.str("One(2)"), "other!");
    EXPECT_EQ(s.num("r"), 2);
    EXPECT_EQ(s.num("q"), 2);
}

// A condition "Not x" is Not's value, not the opposite of x's truth: Not 1
// is -2 (true), Not Null is Null (false).
TEST(ScriptControlFlow, NotInAConditionKeepsItsRules) {
    Script s(
        "Dim r, x : r = \"\"\r\n"
        "If Not 1 Then r = r & \"a\"\r\n"
        "If Not 0 Then r = r & \"b\"\r\n"
        "If Not Null Then r = r & \"c\"\r\n"
        "If Not -1 Then r = r & \"d\"\r\n"
        "If Not True Then r = r & \"e\"\r\n"
        "If Not False Then r = r & \"f\"\r\n"
        "If Not \"1\" Then r = r & \"g\"\r\n"
        "If Not x Then r = r & \"h\"\r\n"
        "Do While Not x : x = True : r = r & \"i\" : Loop\r\n");
    EXPECT_EQ(s.str("r"), "abfghi");
}

TEST(ScriptControlFlow, SelectCase) {
    Script s(
        "Function Kind(v)\r\n"
        "  Select Case v\r\n"
        "    Case 1, 2, 3 : Kind = \"small\"\r\n"
        "    Case 4 To 9\r\n"
        "      Kind = \"medium\"\r\n"
        "    Case \"x\"\r\n"
        "      Kind = \"letter\"\r\n"
        "    Case Is >= 100, -1\r\n"
        "      Kind = \"big or minus one\"\r\n"
        "    Case Else\r\n"
        "      Kind = \"other\"\r\n"
        "  End Select\r\n"
        "End Function\r\n");
    EXPECT_EQ(s.str("Kind(2)"), "small");
    EXPECT_EQ(s.str("Kind(7)"), "medium");
    EXPECT_EQ(s.str("Kind(500)"), "big or minus one");
    EXPECT_EQ(s.str("Kind(-1)"), "big or minus one");
    EXPECT_EQ(s.str("Kind(\"x\")"), "letter");
    EXPECT_EQ(s.str("Kind(50)"), "other");
}

TEST(ScriptControlFlow, ForLoops) {
    Script s(
        "Dim i, t, u, last\r\n"
        "For i = 1 To 10 : t = t + i : Next\r\n"
        "last = i\r\n"
        "For i = 10 To 1 Step -3 : u = u & i & \",\" : Next\r\n"
        "Dim d : For i = 0 To 1 Step 0.25 : d = d + 1 : Next\r\n"
        "Dim e : For i = 1 To 100 : If i = 5 Then Exit For\r\n e = i : Next\r\n"
        "Dim n : For i = 5 To 1 : n = n + 1 : Next\r\n");
    EXPECT_EQ(s.num("t"), 55);
    EXPECT_EQ(s.num("last"), 11);
    EXPECT_EQ(s.str("u"), "10,7,4,1,");
    EXPECT_EQ(s.num("d"), 5);
    EXPECT_EQ(s.num("e"), 4);
    EXPECT_TRUE(s.eval("n").isEmpty());
    EXPECT_EQ(s.eval("last").type(), VarType::Integer);
}

TEST(ScriptControlFlow, DoAndWhileLoops) {
    Script s(
        "Dim a, b, c, d, w\r\n"
        "Do While a < 5 : a = a + 1 : Loop\r\n"
        "Do Until b >= 3 : b = b + 1 : Loop\r\n"
        "Do : c = c + 1 : Loop While c < 0\r\n"
        "Do : d = d + 1 : If d = 7 Then Exit Do\r\n Loop\r\n"
        "While w < 4 : w = w + 2 : Wend\r\n"
        "Dim outer, inner\r\n"
        "Do\r\n"
        "  outer = outer + 1\r\n"
        "  Do\r\n"
        "    inner = inner + 1\r\n"
        "    If inner Mod 2 = 0 Then Exit Do\r\n"
        "  Loop\r\n"
        "Loop Until outer = 3\r\n");
    EXPECT_EQ(s.num("a"), 5);
    EXPECT_EQ(s.num("b"), 3);
    EXPECT_EQ(s.num("c"), 1);
    EXPECT_EQ(s.num("d"), 7);
    EXPECT_EQ(s.num("w"), 4);
    EXPECT_EQ(s.num("outer"), 3);
    EXPECT_EQ(s.num("inner"), 6);
}

TEST(ScriptControlFlow, StructureErrorsAreReportedAtCompileTime) {
    struct Case { const char* code; int number; int line; };
    const Case cases[] = {
        {"If x Then\r\n y = 1\r\n", 1014, 3},
        {"For i = 1 To 2\r\n", 1020, 2},
        {"Do\r\n x = 1\r\n", 1019, 3},
        {"x = (1 + 2", 1006, 1},
        {"Exit Do", 1039, 1},
        {"Sub A\r\n Exit Function\r\nEnd Sub", 1039, 2},
        {"x = 1\r\nOption Explicit", 1042, 2},
        {"Sub A(a, b)\r\nEnd Sub\r\nA(1, 2)", 1044, 3},
        {"x = 1 +", 1023, 1},
        {"Loop", 1038, 1},
    };
    for (const auto& c : cases) {
        ScriptControl sc;
        AutomationError e = errorOf([&] { sc.AddCode(c.code); });
        EXPECT_EQ(e.Number, c.number) << c.code;
        EXPECT_EQ(sc.Error().Line, c.line) << c.code;
    }
}

TEST(ScriptArrays, FixedDynamicAndMultiDimensional) {
    Script s(
        "Dim a(3), m(2, 3), d()\r\n"
        "a(0) = \"x\" : a(3) = \"y\"\r\n"
        "m(2, 3) = 6 : m(1, 0) = 1\r\n"
        "ReDim d(4) : d(4) = 44\r\n"
        "ReDim Preserve d(6)\r\n"
        "Dim g : g = d : g(4) = 0\r\n"            // arrays are assigned by value
        "Dim cnt, v : For Each v In a : cnt = cnt + 1 : Next\r\n");
    EXPECT_EQ(s.str("a(0) & a(3)"), "xy");
    EXPECT_EQ(s.num("m(2, 3) + m(1, 0)"), 7);
    EXPECT_EQ(s.num("d(4)"), 44);
    EXPECT_EQ(s.num("g(4)"), 0);
    EXPECT_EQ(s.num("cnt"), 4);
    EXPECT_EQ(errorOf([&] { s.eval("a(4)"); }).Number, 9);
    EXPECT_EQ(errorOf([&] { s.eval("m(1)"); }).Number, 9);
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("ReDim a(5)"); }).Number, 10);
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("ReDim Preserve m(3, 3)"); }).Number, 10);
    s.sc.ExecuteStatement("Dim p() : ReDim p(2, 2) : p(1, 1) = 5 : ReDim Preserve p(2, 4)");
    EXPECT_EQ(s.num("p(1, 1)"), 5);
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("ReDim Preserve p(3, 4)"); }).Number, 9);
    s.sc.ExecuteStatement("Erase a : Erase d");
    EXPECT_TRUE(s.eval("a(3)").isEmpty());
    EXPECT_EQ(errorOf([&] { s.eval("d(0)"); }).Number, 9);
}

TEST(ScriptArrays, HugeAllocationsFailWithOutOfMemory) {
    Script s;
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("Dim h() : ReDim h(1000000000)"); }).Number, 7);
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("Dim k() : ReDim k(100000, 100000)"); }).Number, 7);
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("ReDim z(-2)"); }).Number, 9);
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("x = String(2147483647, \"x\")"); }).Number, 7);
    // The script goes on after the error when it asked to.
    s.sc.ExecuteStatement("On Error Resume Next : ReDim w(2000000000) : n = Err.Number");
    EXPECT_EQ(s.num("n"), 7);
}

TEST(ScriptWith, NestedWithReachesTheInnermostObject) {
    auto outer = makeRef<Recorder>();
    auto inner = makeRef<Recorder>();
    ScriptControl sc;
    sc.AddObject("o", outer);
    sc.AddObject("i", inner);
    sc.AddCode(
        "With o\r\n"
        "  .Log \"a\"\r\n"
        "  With i\r\n"
        "    .Log \"b\" : .Value = 5\r\n"
        "  End With\r\n"
        "  .Log \"c\"\r\n"
        "End With\r\n");
    EXPECT_EQ(outer->log, "a|c|");
    EXPECT_EQ(inner->log, "b|");
    EXPECT_EQ(inner->stored.toLong(), 5);
}

} // namespace
} // namespace qz::script::test

namespace qz::script::test {
namespace {

TEST(ScriptLimits, LongAndDeepProgramsFailCleanly) {
    // A long chain of & is fine up to a generous height, then a clean error.
    std::string chain = "x = \"a\"";
    for (int i = 0; i < 1500; ++i) chain += " & \"a\"";
    Script s(chain);
    EXPECT_EQ(s.str("Len(x)"), "1501");
    std::string tooLong = "y = 1";
    for (int i = 0; i < 100000; ++i) tooLong += " + 1";
    ScriptControl sc;
    EXPECT_EQ(errorOf([&] { sc.AddCode(tooLong); }).Number, 28);
    std::string nested(5000, '(');
    EXPECT_EQ(errorOf([&] { sc.AddCode("z = " + nested + "1" + std::string(5000, ')')); }).Number, 28);
    std::string blocks;
    for (int i = 0; i < 3000; ++i) blocks += "If True Then\n";
    EXPECT_EQ(errorOf([&] { sc.AddCode(blocks); }).Number, 28);
    // The control is still usable.
    EXPECT_EQ(sc.Eval("1 + 1").toLong(), 2);
}

} // namespace
} // namespace qz::script::test
