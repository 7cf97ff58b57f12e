// Procedure bodies run in a compiled form, module-level code by the tree
// walker. Each case runs the same statements both ways and must give the
// same output, the same error and the same error line.
#include "ScriptTestUtil.h"

namespace qz::script::test {
namespace {

struct Outcome {
    std::string out;
    std::int32_t error = 0;
    std::int32_t line = 0;
};

// `code` at module level, then again as the body of a procedure, the same
// lines either way; `lib` (procedures) follows it. Where lib's bodies start
// with {w} they are compiled, or walked by the tree walker when `walkLib`
// puts a statement there that turns them from the compiled form (and only
// clears Err).
Outcome runAt(const std::string& code, bool inProcedure, const std::string& lib, bool walkLib = false) {
    std::string procs = lib;
    for (std::size_t at; (at = procs.find("{w}")) != std::string::npos;)
        procs.replace(at, 3, walkLib ? "On Error GoTo 0 :" : "");
    ScriptControl sc;
    Outcome o;
    try {
        if (inProcedure) {
            sc.AddCode("Dim out\r\nSub T()\r\n" + code + "\r\nEnd Sub\r\n" + procs);
            sc.Run("T");
        } else {
            sc.AddCode("Dim out\r\n'\r\n" + code + "\r\n'\r\n" + procs);
        }
    } catch (const AutomationError& e) {
        o.error = e.Number;
        o.line = sc.Error().Line;
    }
    o.out = sc.Eval("out").toUtf8();
    return o;
}

// Tree walker and compiled bodies must agree: the code at module level with
// lib walked against the code compiled, lib compiled or walked.
void expectSameBothWays(const std::string& code, const std::string& lib = "") {
    SCOPED_TRACE(code);
    const Outcome tree = runAt(code, false, lib, true);
    for (const auto& [inProcedure, walkLib] : {std::pair{true, false}, {true, true}, {false, false}}) {
        const Outcome other = runAt(code, inProcedure, lib, walkLib);
        EXPECT_EQ(other.out, tree.out) << inProcedure << walkLib;
        EXPECT_EQ(other.error, tree.error) << inProcedure << walkLib;
        EXPECT_EQ(other.line, tree.line) << inProcedure << walkLib;
    }
}

TEST(CompiledBodies, LoopsBranchesAndExitsAgreeWithTheTreeWalker) {
    const char* cases[] = {
        // Exit Do from a For inside a Do, Exit For from a Do inside a For.
        "Dim i, j : Do : For i = 1 To 5 : out = out & i : If i = 3 Then Exit Do\r\nNext : out = out & \"x\" : Loop : out = out & \"e\"",
        "Dim i, j : For i = 1 To 3 : j = 0 : Do While True : j = j + 1 : If j > i Then Exit For\r\nout = out & j : Loop : Next : out = out & \"/\" & i",
        // Exits out of statements the compiled form leaves to the tree walker.
        "Dim i : For i = 1 To 9 : Select Case i : Case 4 : Exit For : Case Else : out = out & i : End Select : Next",
        "Dim i : Do : i = i + 1 : Select Case i : Case 3 : Exit Do : End Select : out = out & i : Loop",
        "Dim d, k : Set d = CreateObject(\"Scripting.Dictionary\") : d.Add 1, 1 : d.Add 2, 2 : Do : For Each k In d.Keys : If k = 2 Then Exit Do\r\nout = out & k : Next : Loop",
        // Exit Do in While ... Wend leaves the Do around it.
        "Dim i, n : Do : n = n + 1 : While i < 10 : i = i + 1 : If i = 4 Then Exit Do\r\nout = out & i : Wend : Loop : out = out & \"|\" & n",
        // Every kind of Do, ElseIf chains, Exit Sub in a nested loop.
        "Dim i : Do Until i >= 3 : i = i + 1 : out = out & i : Loop : Do : i = i - 1 : Loop While i > 0 : Do : i = i + 2 : Loop Until i > 5 : out = out & i",
        "Dim i : For i = 1 To 6 : If i = 1 Then\r\nout = out & \"a\"\r\nElseIf i < 4 Then\r\nout = out & \"b\"\r\nElseIf i = 5 Then\r\nout = out & \"c\"\r\nElse\r\nout = out & \"d\"\r\nEnd If : Next",
        // For: the counter changed by the body, steps of every sign and kind.
        "Dim i : For i = 1 To 10 : out = out & i & \",\" : If i = 3 Then i = \"7\"\r\nNext : out = out & i",
        "Dim i : For i = 1 To 3 : i = i + 0.5 : out = out & i & \",\" : Next",
        "Dim i : For i = 10 To 1 Step -3 : out = out & i : Next : For i = 1 To 0 : out = out & \"never\" : Next : For i = 0 To 1 Step 0.25 : out = out & \";\" & i : Next",
        "Dim i : For i = 32766 To 32767 : out = out & TypeName(i) : Next : out = out & TypeName(i)",
        // Sums and comparisons of whole numbers keep the subtypes of the general rules.
        "Dim i, j, a(3) : i = 32767 : i = i + 1 : j = CInt(-32768) : j = j - 1 : out = TypeName(i) & TypeName(j)\r\n"
        "i = 2147483647 : i = i + 1 : j = CInt(5) : j = j + CInt(3) : out = out & TypeName(i) & TypeName(j) & j\r\n"
        "a(2) = 7 : j = CInt(2) : out = out & (a(j) < 8) & (a(j) = 7) & (j >= 2) & (a(j) <> a(j - 1))",
        "Dim x, y : x = 1.5 : y = 2 : x = x + y : out = TypeName(x) & x : y = y - x : out = out & TypeName(y) & y & (x > y) & (y <= -1.5)\r\n"
        "x = 1.7E+308 : x = x + x",
        // Set, ReDim, Erase and With by instructions; a failing Set and With report their line.
        "Dim a, d : ReDim a(2) : a(2) = 5 : ReDim Preserve a(4) : Set d = CreateObject(\"Scripting.Dictionary\")\r\n"
        "d.Add 1, UBound(a) & a(2) : out = d(1) : Erase a : out = out & IsArray(a)\r\nSet d = 5",
        "Dim i : With CreateObject(\"Scripting.Dictionary\") : .Add 0, 0 : For i = 1 To 3\r\n"
        "With CreateObject(\"Scripting.Dictionary\") : .Add i, i : If i = 2 Then Exit For\r\nout = out & .Count : End With\r\n"
        "Next : out = out & .Count & i : End With\r\nWith 5 : End With",
        // Errors: in a condition, a bound, a loop's condition, a statement.
        "Dim i : out = \"a\"\r\nIf 1 / 0 > 1 Then out = \"b\"\r\nout = \"c\"",
        "Dim i : For i = 1 To \"x\" : out = out & i : Next",
        "Dim i : For i = 1 To 3\r\nout = out & i\r\ni = \"y\"\r\nNext",
        "Dim i : Do While i < 3\r\ni = i + 1\r\nLoop\r\nDo Until 1 / 0 > 1\r\nLoop",
        "Dim a(2), i : For i = 0 To 3\r\na(i) = i\r\nNext",
        "Dim a(3), b, i : i = 1.6 : a(i) = \"x\" : i = 2 : a(i) = a(i - 1) & \"y\" : b = a : i = 3 : b(i) = \"z\" & i : out = a(2) & a(1) & b(3) & a(3)\r\ni = 9 : a(i) = 1",
    };
    for (const char* c : cases) expectSameBothWays(c);
}

// Comparisons, copies and sums of plain operands (a local, a number literal,
// a(i)) run in registers: every subtype the operands may hold at run time
// must still take the general rules where they apply.
TEST(CompiledBodies, RegisterOperandsAgreeWithTheTreeWalkerOnEverySubtype) {
    const char* cases[] = {
        // Comparisons of each pair of subtypes, in each kind of loop and If.
        "Dim v, w, k, i : v = Array(CInt(3), 3, 3.5, \"3\", \"10\", Empty, Null, True, CDbl(-0), CByte(3))\r\n"
        "For k = 0 To 9 : For i = 0 To 9 : w = v(i) : If v(k) < w Then\r\nout = out & \"<\"\r\nElseIf v(k) = w Then\r\nout = out & \"=\"\r\n"
        "ElseIf v(k) >= w Then\r\nout = out & \">\"\r\nElse\r\nout = out & \"?\"\r\nEnd If : Next : Next",
        "Dim a, i, j, p : a = Array(5, \"7\", 2.5, Empty, 9, CInt(1)) : p = 4 : i = 0 : j = 5\r\n"
        "Do While a(i) <> p And i < j : out = out & i : i = i + 1 : If i > 5 Then Exit Do\r\nLoop : Do Until j <= i : j = j - 1 : Loop : out = out & \"|\" & i & j\r\n"
        "i = 0 : Do : i = i + 1 : Loop While a(i) <> 9 : Do : i = i - 1 : Loop Until a(i) > 4 : out = out & i",
        // Sums: Integer and Long limits widen, Doubles stay Doubles, strings and Empty take the general rules.
        "Dim x, y, z : x = CInt(32767) : y = CInt(1) : z = x + y : out = TypeName(z) & z : x = CInt(-32768) : z = x - y : out = out & TypeName(z) & z\r\n"
        "x = 2147483647 : z = x + y : out = out & TypeName(z) & z : x = -2147483647 : z = x - 2 : out = out & TypeName(z) & z\r\n"
        "x = CInt(2) : z = x + 1 : out = out & TypeName(z) : z = x + 1.5 : out = out & TypeName(z) & z : x = \"4\" : z = x + y : out = out & TypeName(z) & z\r\n"
        "x = Empty : z = x - y : out = out & TypeName(z) & z : x = Null : z = x + y : out = out & TypeName(z) : x = True : z = x + y : out = out & TypeName(z) & z\r\n"
        "x = CByte(200) : z = x + y : out = out & TypeName(z) & z : x = 1E+308 : z = x + x",
        // Copies into locals and elements: numbers, strings, Empty; a shared array is copied first.
        "Dim a(3), b, i, j, t : i = 0 : j = 1 : a(0) = \"s\" : a(1) = 2 : a(j) = a(i) : t = a(j) : out = t & TypeName(a(1))\r\n"
        "b = a : i = 2 : b(i) = 9 : out = out & \"|\" & a(2) & b(2) : t = i : t = 1.5 : out = out & t\r\n"
        "t = \"x\" : t = i : out = out & TypeName(t) : a(i) = a(3) : out = out & TypeName(a(2)) : i = 1.5 : a(i) = 7 : out = out & a(2)\r\n"
        "i = \"3\" : a(i) = 8 : out = out & a(3) : i = 4 : a(i) = a(j)",
        "Dim a(2), i : i = -1 : out = a(i) < 1",
        "Dim a(2), i, t : i = 3 : t = a(i)",
        "Dim a, i : a = 5 : i = 0 : If a(i) = 1 Then out = 1",
        // Comparisons of other numeric shapes, on every subtype (the general rules take what is no number).
        "Dim v, w, k, i : v = Array(CInt(3), 3.5, \"3\", Empty, Null, True, CByte(2))\r\n"
        "For k = 0 To 6 : For i = 0 To 6 : w = v(i) : If v(k) * 2 < w + 1 Then\r\nout = out & \"<\"\r\n"
        "ElseIf (v(k) - w) Mod 2 = 0 Then\r\nout = out & \"=\"\r\nElse\r\nout = out & \"?\"\r\nEnd If : Next : Next\r\n"
        "i = 0 : Do Until i * 3 > w + 10 : i = i + 1 : Loop : out = out & i : Do While (i - 1) * 2 >= 0 : i = i - 1 : Loop : out = out & i",
        // A Long counter stepped past the ends of a Long, and changed by the body.
        "Dim i : For i = 2147483645 To 2147483647 Step 2 : out = out & TypeName(i) : Next : out = out & TypeName(i) & i\r\n"
        "For i = CLng(-2147483647) To CLng(-2147483647) - 1 Step -1 : out = out & i : Next : out = out & TypeName(i) & i\r\n"
        "For i = 1 To 9 Step 3 : out = out & i : If i = 4 Then i = 2.5\r\nNext : out = out & TypeName(i) & i",
    };
    for (const char* c : cases) expectSameBothWays(c);
}

// An array passed by reference is sorted in place through its elements.
TEST(CompiledBodies, ElementsOfAnArrayPassedByReferenceAreReadAndWrittenInPlace) {
    const std::string lib =
        "Sub Sort(a, lo, hi)\r\nDim i, j, t\r\nFor i = lo + 1 To hi : j = i\r\n"
        "Do While j > lo\r\nIf a(j - 1) <= a(j) Then Exit Do\r\nt = a(j) : a(j) = a(j - 1) : j = j - 1 : a(j) = t\r\nLoop\r\nNext\r\nEnd Sub\r\n";
    const char* code = "Dim v, i : v = Array(5, 3.5, 9, -1, 3, 7, 0) : Sort v, 1, 5 : For i = 0 To 6 : out = out & v(i) & \" \" : Next";
    expectSameBothWays(code, lib);
    EXPECT_EQ(runAt(code, true, lib).out, "5 -1 3 3.5 7 9 0 ");
}

// A parenthesised name called with arguments, in the forms the compiled body
// has instructions of its own for (x = F(a), a call statement).
TEST(CompiledBodies, ParenthesisedCalleesAgreeWithTheTreeWalker) {
    const char* cases[] = {
        "Dim x, y : x = Array(1, 1) : y = (SetFirst)(x) : out = y & x(0)\r\nx = Array(1) : Call (SetFirst)((x)) : out = out & x(0)\r\n"
        "Call ((SetFirst))(x) : out = out & x(0) & (Len)(\"abc\")",
        "Dim i, t : For i = 1 To 3 : t = (Twice)(i) + t : Next : out = t & \"|\" & ((Twice))(t)\r\nout = (Twice)()",
    };
    const std::string lib = "Function SetFirst(a) : a(0) = 2 : SetFirst = 1 : End Function\r\n"
                            "Function Twice(n) : Twice = n * 2 : End Function\r\n";
    for (const char* c : cases) expectSameBothWays(c, lib);
    EXPECT_EQ(runAt(cases[0], true, lib).out, "12123");
    const Outcome o = runAt(cases[1], true, lib);
    EXPECT_EQ(o.out + "/" + std::to_string(o.error), "12|24/450");
}

// Calls of compiled procedures run inside the caller's dispatch loop: what
// every call does (ByRef write-back, results, recursion, errors and their
// lines, what a frame releases) must not depend on which way it runs.
TEST(CompiledBodies, CallsAgreeWithTheTreeWalker) {
    const std::string lib =
        "Function Add(a, b)\r\n {w}Add = a + b\r\nEnd Function\r\n"
        "Sub Bump(x, ByVal y)\r\n {w}x = x + 1 : y = y + 1\r\nEnd Sub\r\n"
        "Sub Mark(a)\r\n {w}a = \"m\" & a\r\nEnd Sub\r\n"
        "Sub Rot(a, b, c, d, e)\r\n {w}Dim k : k = a : a = b : b = c : c = d : d = e : e = k & \"\"\r\nEnd Sub\r\n"
        "Function Fib(n)\r\n {w}If n < 2 Then\r\n  Fib = n\r\n  Exit Function\r\n End If\r\n"
        " Fib = Fib(n - 1) + Fib(n - 2)\r\nEnd Function\r\n"
        "Sub Sort(a, lo, hi)\r\n {w}Dim i, j, p, t\r\n Do While lo < hi\r\n  p = a((lo + hi) \\ 2) : i = lo : j = hi\r\n"
        "  Do While i <= j\r\n   Do While a(i) < p : i = i + 1 : Loop\r\n   Do While a(j) > p : j = j - 1 : Loop\r\n"
        "   If i <= j Then\r\n    t = a(i) : a(i) = a(j) : a(j) = t : i = i + 1 : j = j - 1\r\n   End If\r\n  Loop\r\n"
        "  If j - lo < hi - i Then\r\n   Sort a, lo, j : lo = i\r\n  Else\r\n   Sort a, i, hi : hi = j\r\n  End If\r\n"
        " Loop\r\nEnd Sub\r\n"
        "Function Loops(n)\r\n {w}Dim a, b, c, d, e\r\n For a = 1 To n : For b = 1 To n : For c = 1 To n : For d = 1 To n : "
        "For e = 1 To n : Loops = Loops + 1 : Next : Next : Next : Next : Next\r\nEnd Function\r\n"
        "Function Deep(n)\r\n {w}Dim k\r\n For k = 1 To 2 : Next\r\n"
        " If n > 0 Then Deep = Deep(n - 1) + k Else Deep = Fail(n)\r\nEnd Function\r\n"
        "Function Fail(n)\r\n {w}Fail = 1 / n\r\nEnd Function\r\n"
        "Function Down(n)\r\n {w}Down = Down(n + 1)\r\nEnd Function\r\n"
        "Sub Boom(a)\r\n {w}a = a + 1 : a = a / 0\r\nEnd Sub\r\n"
        "Sub Relay(a)\r\n {w}Boom a\r\nEnd Sub\r\n"
        "Sub Fresh()\r\n {w}Dim v : v = \"local\"\r\nEnd Sub\r\n"
        "Sub Fresh2()\r\n {w}Dim u : Fresh\r\nEnd Sub\r\n"
        "Class Box\r\n Public V\r\n Public Default Property Get Item : Item = \"box\" & V : End Property\r\n"
        " Private Sub Class_Terminate : out = out & \"~\" & V : Mark V : End Sub\r\nEnd Class\r\n"
        "Function MakeBox(v)\r\n {w}Set MakeBox = New Box : MakeBox.V = v\r\nEnd Function\r\n"
        "Sub Hold(v)\r\n {w}Dim b : Set b = MakeBox(v) : out = out & \"h\" & b\r\nEnd Sub\r\n"
        "Sub Exec(n)\r\n {w}Execute \"Dim w : w = n * 2\" : out = out & Eval(\"w\") & \",\"\r\nEnd Sub\r\n";
    const char* cases[] = {
        // ByRef to a local, a global and an array element; ByVal, a
        // parenthesised argument, a property and a dictionary item by value.
        "Dim x, y, a(2), b, d : x = 1 : y = 1 : Bump x, y : out = x & y : a(1) = 5 : Bump a(1), a(1) : out = out & a(1)\r\n"
        "Bump (x), y : out = out & x : x = Add(x, 3) : out = out & \"|\" & x : Mark out\r\n"
        "Set b = MakeBox(1) : Bump b.V, 0 : out = out & b.V : Set b = Nothing\r\n"
        "Set d = CreateObject(\"Scripting.Dictionary\") : d(\"k\") = 1 : Bump d(\"k\"), 0 : out = out & d(\"k\")",
        // Recursion with ByRef bounds the callee moves, results, many loops.
        "Dim a, i, lo, hi, x : a = Array(5, 3, 9, 1, 7, 3, 8, 2) : lo = 0 : hi = 7 : Sort a, lo, hi\r\n"
        "For i = 0 To 7 : out = out & a(i) : Next : out = out & \"|\" & lo & hi & \"|\" & Fib(15)\r\n"
        "x = Loops(2) : out = out & \"|\" & x : x = Fib(12) : out = out & \"|\" & x",
        // Errors: deep in a chain of calls, a wrong count, in an argument,
        // recursion without end.
        "Dim x : out = \"a\" : x = Deep(3)",
        "out = \"a\"\r\nBump out",
        "Dim x : x = Add(1, 1 / 0)",
        "Dim x : x = Down(1)",
        // Errors in calls under Resume Next: the frames they left are
        // released, and a parameter's slot refers to its own value again.
        "On Error Resume Next\r\nDim x, r : r = Deep(2) : out = Err.Number & \"/\" & r : Err.Clear\r\n"
        "x = 1 : Relay x : out = out & \"/\" & Err.Number & x : Err.Clear : Fresh2 : out = out & \"/\" & x\r\n"
        "r = Down(1) : out = out & \"/\" & Err.Number : Err.Clear : r = Add(2, 3) : out = out & \"/\" & r & Fib(10)",
        // Frames that release objects (Class_Terminate calls again) and
        // variables Execute declared (the object after an Empty slot: a
        // parameter given by reference); an object result given by value.
        "Dim k : k = 4 : Hold 1 : Hold k : Exec 1 : Exec 2 : Dim x : x = MakeBox(3) : out = out & \"|\" & x",
        // More parameters than the unrolled ways take, each a local variable.
        "Dim p, q, r, s, t : p = 1 : q = 2 : r = 3 : s = 4 : t = 5 : Rot p, q, r, s, t : Rot p, q, r, s, t\r\n"
        "out = p & q & r & s & t & TypeName(t) & TypeName(s)",
    };
    for (const char* c : cases) expectSameBothWays(c, lib);
    const std::string sorted = runAt(cases[1], true, lib).out;
    EXPECT_EQ(sorted.substr(0, 9) + sorted.substr(sorted.size() - 11), "12335789||610|32|144");
    // Boom raised 11 after x = x + 1; Fresh's local did not write x.
    const Outcome o = runAt(cases[6], true, lib);
    EXPECT_EQ(o.out + "/" + std::to_string(o.error), "11//112/2/28/555/0");
    EXPECT_EQ(runAt(cases[8], true, lib).out, "34512StringString");
}

TEST(CompiledBodies, ProceduresOfABlockThatFailedToBindAreNone) {
    // A declares x twice: the block fails while its procedures are bound,
    // after their names were defined. What is left is no procedure (A's
    // frame was never laid out: calling it wrote past it).
    ScriptControl sc;
    EXPECT_EQ(errorOf([&] { sc.AddCode("Sub A(x)\r\nDim x\r\nEnd Sub\r\nSub B()\r\nDim d : d = 2\r\nEnd Sub"); })
                  .Number, 1041);
    EXPECT_EQ(errorOf([&] { sc.Run("B"); }).Number, 13);
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("A 1"); }).Number, 13);
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("Sub A(y) : End Sub : A 1"); }).Number, 0);  // defined again
}

TEST(CompiledBodies, AppendsTakeEachPartsValue) {
    // "s = s & ...": an object part gives its default value, the text
    // itself as a part is read before anything is appended.
    expectSameBothWays("Dim s, o : Set o = New Def : s = \"x\" : s = s & o & 1 & s : s = s & s : out = s",
                       "Class Def\r\nPublic Default Property Get V() : V = \"v\" : End Property\r\nEnd Class");
}

TEST(CompiledBodies, ExitSubLeavesNestedLoopsAndRecursionKeepsItsOwnLoops) {
    Script s(
        "Dim out\r\n"
        "Sub Walk(depth)\r\n"
        "  Dim i\r\n"
        "  For i = 1 To 2\r\n"
        "    out = out & depth & i & \" \"\r\n"
        "    If depth < 2 Then Walk depth + 1\r\n"
        "    Do : If depth = 1 And i = 2 Then Exit Sub\r\n"
        "    Exit Do : Loop\r\n"
        "  Next\r\n"
        "  out = out & \"end\" & depth & \" \"\r\n"
        "End Sub\r\n"
        "Walk 1");
    EXPECT_EQ(s.str("out"), "11 21 22 end2 12 21 22 end2 ");
}

TEST(CompiledBodies, NamesBoundAnewAfterTheFirstCallAreSeen) {
    // x is an undeclared local of T until a global x exists: then the same
    // compiled body must write the global.
    Script s("Dim out\r\nSub T() : x = 1 : x = x + 1 : out = x : End Sub\r\nT");
    EXPECT_EQ(s.str("out"), "2");
    s.sc.ExecuteStatement("ExecuteGlobal \"Dim x : x = 10\"");
    EXPECT_EQ(s.str("x"), "10");
    s.sc.ExecuteStatement("T");
    EXPECT_EQ(s.str("x"), "2");
    // A call given only locals by reference, compiled while y was U's own.
    Script r("Dim out\r\nSub Bump(a) : a = a + 1 : End Sub\r\nSub U() : Bump y : Bump y : out = y : End Sub\r\nU");
    EXPECT_EQ(r.str("out"), "2");
    r.sc.ExecuteStatement("ExecuteGlobal \"Dim y : y = 10\"");
    r.sc.ExecuteStatement("U");
    EXPECT_EQ(r.str("y") + "/" + r.str("out"), "12/12");
    // A comparison of two locals, one of them becoming the global z.
    Script w("Dim out\r\nSub W() : Dim lim : lim = 3 : Do While z < lim : z = z + 1 : Loop : out = z : End Sub\r\nW");
    EXPECT_EQ(w.str("out"), "3");
    w.sc.ExecuteStatement("ExecuteGlobal \"Dim z : z = 1\"");
    w.sc.ExecuteStatement("W");
    EXPECT_EQ(w.str("z") + "/" + w.str("out"), "3/3");
}

TEST(CompiledBodies, NamesBoundAnewWhileTheBodyRunsAreSeenAtOnce) {
    // n is an undeclared local of F until the ExecuteGlobal of F(0) makes a
    // global n: from there on every running call of F reads and writes the
    // global, and so does a call of F made while F still runs (F(2)).
    Script s("Dim out, res\r\n"
             "Function F(d)\r\n"
             "  n = 0\r\n"
             "  For i = 1 To 3\r\n"
             "    n = n + 1\r\n"
             "    If d = 0 And i = 2 Then ExecuteGlobal \"Dim n : n = 100\"\r\n"
             "    If d = 1 And i = 2 Then out = out & F(0) & \" \"\r\n"
             "    If d = 1 And i = 3 Then out = out & F(2) & \" \"\r\n"
             "  Next\r\n"
             "  F = n\r\n"
             "End Function\r\n"
             "res = F(1)");
    EXPECT_EQ(s.str("out") + "/" + s.str("res"), "101 3 /3");
    EXPECT_EQ(s.str("F(7) & n"), "33");
}

// With runs by instructions inside a procedure: its object is let go at End
// With (Class_Terminate runs there) and the With around it is the one again;
// an Exit Do or Exit For leaves every With it is in on the way out, also from
// a statement the tree walker runs (a Select); a With of no object fails 424.
TEST(CompiledBodies, WithBlocksEndOnEveryWayOut) {
    Script s("Dim out\r\n"
             "Class T\r\n Public V\r\n"
             " Private Sub Class_Terminate : out = out & \"~\" & V : End Sub\r\nEnd Class\r\n"
             "Function Make(v) : Set Make = New T : Make.V = v : End Function\r\n"
             "Sub W()\r\n"
             "  Dim i, j\r\n"
             "  With Make(\"a\")\r\n"
             "    With Make(\"b\") : out = out & .V : End With\r\n"
             "    out = out & .V & \" \"\r\n"
             "    For i = 1 To 3\r\n"
             "      With Make(\"f\" & i)\r\n"
             "        If i = 2 Then Exit For\r\n"
             "        out = out & .V\r\n"
             "      End With\r\n"
             "    Next\r\n"
             "    out = out & .V & \" \"\r\n"
             "    Do\r\n"
             "      With Make(\"d\")\r\n"
             "        Select Case .V\r\n"
             "        Case \"d\" : Exit Do\r\n"
             "        End Select\r\n"
             "      End With\r\n"
             "    Loop\r\n"
             "    out = out & .V & \" \"\r\n"
             "  End With\r\n"
             "  out = out & \"end\"\r\n"
             "End Sub\r\n"
             "Sub Bare() : With 5 : End With : End Sub\r\n"
             "W");
    EXPECT_EQ(s.str("out"), "b~ba f1~f1~f2a ~da ~aend");
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("Bare"); }).Number, 424);
}

TEST(CompiledBodies, EvalAndExecuteInsideAProcedureKeepTheirOwnCallSites) {
    // The text Eval and Execute run is numbered apart from the procedure
    // around it: the same numbers name other call sites and numeric
    // expressions there, and each must reach its own member.
    Script s("Dim out\r\n"
             "Sub T()\r\n"
             "Dim d, e, i, n : Set d = CreateObject(\"Scripting.Dictionary\") : Set e = New Box\r\n"
             "d.Add \"a\", 1 : e.v = 5\r\n"
             "For i = 1 To 3\r\n"
             "n = e.v + i * 2\r\n"
             "out = out & Eval(\"d.Item(\"\"a\"\") + i * 3\") & \",\" & n & \";\"\r\n"
             "Execute \"out = out & e.v - i & \"\"/\"\"\"\r\n"
             "Next\r\nEnd Sub\r\n"
             "Class Box : Public v : End Class\r\nT");
    EXPECT_EQ(s.str("out"), "4,7;4/7,9;3/10,11;2/");
}

// A host cell whose Value is counted as it is read. A pure cell declares its
// gets pure and keeps its value until Step; an impure one answers how often
// it has been read, so that every reading the code makes shows.
class Cell : public SimpleDispatch<Cell> {
public:
    explicit Cell(bool pure) : pure_(pure) {}
    static const MemberTable<Cell>& members() {
        static const MemberTable<Cell> t{
            {u"Value", kGet, 0, 0, &Cell::value, true},
            {u"Item", kGet, 1, 1, &Cell::item},
            {u"Step", kCall, 0, 0, &Cell::step},
        };
        return t;
    }
    bool pureGet(std::int32_t id) const override { return pure_ && id != members().find(u"Step"); }
    std::u16string typeName() const override { return u"Cell"; }
    int reads = 0;

private:
    Variant value(std::uint8_t, std::span<Variant>) {
        ++reads;
        if (!pure_) return Variant(static_cast<std::int32_t>(reads));
        const Variant seq[] = {Variant::null(), Variant(2.5), Variant(), Variant(u"7")};
        return seq[turn_ % 4];
    }
    Variant item(std::uint8_t, std::span<Variant>) { return Variant(Ref<Dispatch>(this)); }
    Variant step(std::uint8_t, std::span<Variant>) {
        ++turn_;
        return {};
    }
    bool pure_;
    int turn_ = 0;
};

struct FieldRun {
    std::string log;
    int reads = 0;
};

// An expression field's If over four turns, at module level (the tree
// walker) or in a procedure (compiled).
FieldRun fieldIf(bool pure, bool inProcedure, const std::string& format) {
    const std::string loop =
        "For i = 1 To 4\r\n"
        "If IsNull(C.Item(\"k\").Value) or IsEmpty(C.Item(\"k\").Value) Then\r\n"
        "   R.Log \"-\"\r\n"
        "Else\r\n"
        "R.Log " + format + "\r\n"
        "End If\r\n"
        "C.Step\r\n"
        "Next";
    ScriptControl sc;
    auto cell = makeRef<Cell>(pure);
    auto rec = makeRef<Recorder>();
    sc.AddObject("C", cell);
    sc.AddObject("R", rec);
    if (inProcedure) {
        sc.AddCode("Sub T()\r\nDim i\r\n" + loop + "\r\nEnd Sub");
        sc.Run("T");
    } else {
        sc.AddCode("Dim i\r\n" + loop);
    }
    return {rec->log, cell->reads};
}

TEST(CompiledBodies, ExpressionFieldsReadAPureValueOnceAndAnyOtherAsOftenAsWritten) {
    for (const std::string format : {"FormatNumber(C.Item(\"k\").Value, 1)", "C.Item(\"k\").Value",
                                     "C.Item(\"j\").Value"}) {
        SCOPED_TRACE(format);
        const FieldRun treeImpure = fieldIf(false, false, format), compiledImpure = fieldIf(false, true, format);
        EXPECT_EQ(compiledImpure.log, treeImpure.log);
        EXPECT_EQ(compiledImpure.reads, treeImpure.reads);
        const FieldRun treePure = fieldIf(true, false, format), compiledPure = fieldIf(true, true, format);
        EXPECT_EQ(compiledPure.log, treePure.log);
        // Two blank turns read twice, two others three times; compiled, once each,
        // the else branch again only where it reads another chain.
        EXPECT_EQ(treePure.reads, 10);
        EXPECT_EQ(compiledPure.reads, format.find("\"j\"") == std::string::npos ? 4 : 6);
    }
    EXPECT_EQ(fieldIf(true, true, "FormatNumber(C.Item(\"k\").Value, 1)").log, "-|2.5|-|7.0|");
    EXPECT_EQ(fieldIf(false, true, "C.Item(\"k\").Value").log, "3|6|9|12|");
}

} // namespace
} // namespace qz::script::test
