// Procedures (arguments by reference and by value, recursion, Call forms)
// and classes (properties, default members, initialize and terminate).
#include "ScriptTestUtil.h"

#include <pthread.h>

namespace qz::script::test {
namespace {

TEST(ScriptProcedures, ByRefByValAndParenthesisedArguments) {
    Script s(
        "Sub Inc(ByRef x) : x = x + 1 : End Sub\r\n"
        "Sub IncVal(ByVal x) : x = x + 1 : End Sub\r\n"
        "Sub Twice(x, y) : x = x * 2 : y = y * 2 : End Sub\r\n"
        "Dim a, b, c, d, e, arr(1)\r\n"
        "a = 1 : Inc a\r\n"             // by reference
        "b = 1 : IncVal b\r\n"          // by value
        "c = 1 : Inc (c)\r\n"           // parentheses: a copy
        "d = 1 : Call Inc(d)\r\n"       // Call: by reference
        "e = 1 : Twice (e), e\r\n"      // first a copy, second the variable
        "arr(0) = 1 : Inc arr(0)\r\n"   // an array element goes by reference
        "Dim f : f = 1 : Inc f + 0\r\n");
    EXPECT_EQ(s.num("a"), 2);
    EXPECT_EQ(s.num("b"), 1);
    EXPECT_EQ(s.num("c"), 1);
    EXPECT_EQ(s.num("d"), 2);
    EXPECT_EQ(s.num("e"), 2);
    EXPECT_EQ(s.num("arr(0)"), 2);
    EXPECT_EQ(s.num("f"), 1);
    // While its element is lent out, the array cannot be resized or replaced.
    s.sc.AddCode(
        "Dim grow(), e1, e2, e3 : ReDim grow(1)\r\n"
        "Sub Lend(x)\r\n"
        "  On Error Resume Next\r\n"
        "  ReDim grow(10) : e1 = Err.Number : Err.Clear\r\n"
        "  grow = 5 : e2 = Err.Number : Err.Clear\r\n"
        "  Erase grow : e3 = Err.Number\r\n"
        "  x = \"lent\"\r\n"
        "End Sub\r\n"
        "Lend grow(1)\r\n");
    EXPECT_EQ(s.str("e1 & e2 & e3"), "101010");
    EXPECT_EQ(s.str("grow(1)"), "lent");
    s.sc.ExecuteStatement("ReDim grow(3)");  // unlocked again
    EXPECT_EQ(s.num("UBound(grow)"), 3);
}

TEST(ScriptProcedures, FunctionsRecursionAndExit) {
    Script s(
        "Function Fact(n)\r\n"
        "  If n <= 1 Then Fact = 1 : Exit Function\r\n"
        "  Fact = n * Fact(n - 1)\r\n"
        "End Function\r\n"
        "Function NoResult() : End Function\r\n"
        "Function Early(n)\r\n"
        "  Early = \"start\"\r\n"
        "  If n Then Exit Function\r\n"
        "  Early = \"end\"\r\n"
        "End Function\r\n"
        "Dim g : g = 0\r\n"
        "Sub Touch : g = g + 1 : End Sub\r\n"
        "Touch : Call Touch : Call Touch()\r\n"
        "Function Local1() : Dim g : g = 99 : Local1 = g : End Function\r\n");
    EXPECT_EQ(s.num("Fact(10)"), 3628800);
    EXPECT_TRUE(s.eval("NoResult()").isEmpty());
    EXPECT_EQ(s.str("Early(True) & Early(False)"), "startend");
    EXPECT_EQ(s.num("g"), 3);
    EXPECT_EQ(s.num("Local1()"), 99);
    EXPECT_EQ(s.num("g"), 3);
    EXPECT_EQ(errorOf([&] { s.eval("Fact(1, 2)"); }).Number, 450);
}

TEST(ScriptProcedures, ImplicitLocalsAndOptionExplicit) {
    Script s(
        "Function F() : tmp = 5 : F = tmp : End Function\r\n"
        "x = F()\r\n");
    EXPECT_EQ(s.num("x"), 5);
    EXPECT_TRUE(s.eval("tmp").isEmpty());  // tmp was local to F

    ScriptControl sc;
    AutomationError e = errorOf([&] { sc.AddCode("Option Explicit\r\nDim a\r\na = 1\r\nb = 2\r\n"); });
    EXPECT_EQ(e.Number, 500);
    EXPECT_EQ(e.Description, "Variable is undefined: 'b'");
    EXPECT_EQ(sc.Error().Line, 4);
}

TEST(ScriptProcedures, DeepRecursionEndsWithOutOfStackSpace) {
    Script s("Function Down(n) : Down = Down(n + 1) : End Function");
    AutomationError e = errorOf([&] { s.eval("Down(1)"); });
    EXPECT_EQ(e.Number, 28);
    EXPECT_EQ(e.Description, "Out of stack space");
    // The engine is still usable afterwards.
    EXPECT_EQ(s.num("1 + 1"), 2);
}

TEST(ScriptProcedures, GetRefEvalExecute) {
    Script s(
        "Function Add(a, b) : Add = a + b : End Function\r\n"
        "Dim f : Set f = GetRef(\"Add\")\r\n"
        "Dim r : r = f(2, 3)\r\n"
        "Sub Scoped()\r\n"
        "  Dim loc : loc = 4\r\n"
        "  Execute \"loc = loc * 10\"\r\n"
        "  r2 = Eval(\"loc + 1\")\r\n"
        "  ExecuteGlobal \"Dim made : made = \" & loc\r\n"
        "End Sub\r\n"
        "Dim r2 : Scoped\r\n");
    EXPECT_EQ(s.num("r"), 5);
    EXPECT_EQ(s.num("r2"), 41);
    EXPECT_EQ(s.num("made"), 40);
    EXPECT_EQ(s.num("Eval(\"1 + 2 * 3\")"), 7);
    EXPECT_EQ(errorOf([&] { s.eval("GetRef(\"Nope\")"); }).Number, 5);
}

TEST(ScriptClasses, PropertiesMethodsAndDefaultMember) {
    Script s(
        "Class Account\r\n"
        "  Private mBalance\r\n"
        "  Public Owner\r\n"
        "  Private Sub Class_Initialize() : mBalance = 100 : End Sub\r\n"
        "  Public Default Property Get Balance() : Balance = mBalance : End Property\r\n"
        "  Public Property Let Balance(v)\r\n"
        "    If v < 0 Then Err.Raise 5\r\n"
        "    mBalance = v\r\n"
        "  End Property\r\n"
        "  Public Function Deposit(n) : mBalance = mBalance + n : Deposit = Me.Balance : End Function\r\n"
        "  Private Function Secret() : Secret = 1 : End Function\r\n"
        "End Class\r\n"
        "Dim acc : Set acc = New Account\r\n"
        "acc.Owner = \"Ann\"\r\n"
        "acc.Deposit 50\r\n"
        "Dim twice : twice = acc + acc\r\n");
    EXPECT_EQ(s.num("acc.Balance"), 150);
    EXPECT_EQ(s.num("acc"), 150);   // default property
    EXPECT_EQ(s.num("twice"), 300);
    EXPECT_EQ(s.str("acc.Owner"), "Ann");
    EXPECT_EQ(s.str("TypeName(acc)"), "Account");
    s.sc.ExecuteStatement("acc.Balance = 7");
    EXPECT_EQ(s.num("acc.Deposit(1)"), 8);
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("acc.Balance = -1"); }).Number, 5);
    EXPECT_EQ(errorOf([&] { s.eval("acc.Secret()"); }).Number, 438);
    EXPECT_EQ(errorOf([&] { s.eval("acc.Missing"); }).Number, 438);
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("Dim z : z = New Account"); }).Number, 0);
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("Set q = New NoSuchClass"); }).Number, 506);
}

TEST(ScriptClasses, PropertySetAndObjectIdentity) {
    Script s(
        "Class Node\r\n"
        "  Private mNext\r\n"
        "  Public Value\r\n"
        "  Property Set NextNode(n) : Set mNext = n : End Property\r\n"
        "  Property Get NextNode() : Set NextNode = mNext : End Property\r\n"
        "End Class\r\n"
        "Dim a, b : Set a = New Node : Set b = New Node\r\n"
        "b.Value = 2 : Set a.NextNode = b\r\n");
    EXPECT_EQ(s.num("a.NextNode.Value"), 2);
    EXPECT_EQ(s.num("a.NextNode Is b"), -1);
    EXPECT_EQ(s.num("a Is b"), 0);
    EXPECT_EQ(s.num("IsObject(a.NextNode)"), -1);
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("Set a = 5"); }).Number, 424);
    EXPECT_EQ(errorOf([&] { s.eval("Nothing.Value"); }).Number, 424);
}

TEST(ScriptClasses, TerminateRunsWhenTheLastReferenceGoes) {
    auto log = makeRef<Recorder>();
    ScriptControl sc;
    sc.AddObject("log", log);
    sc.AddCode(
        "Class Res\r\n"
        "  Public Name\r\n"
        "  Sub Class_Initialize : log.Log \"init\" : End Sub\r\n"
        "  Sub Class_Terminate : log.Log \"term \" & Name : End Sub\r\n"
        "End Class\r\n"
        "Sub Scope()\r\n"
        "  Dim r : Set r = New Res : r.Name = \"local\"\r\n"
        "End Sub\r\n"
        "Dim g, h : Set g = New Res : g.Name = \"global\"\r\n"
        "Set h = g\r\n"
        "Scope\r\n"
        "Set g = Nothing\r\n"
        "log.Log \"after g\"\r\n"
        "Set h = Nothing\r\n");
    EXPECT_EQ(log->log, "init|init|term local|after g|term global|");
    // Dropping the code releases what the script still held and runs its
    // Class_Terminate whole, though the last call was stopped by its time-out.
    sc.AddCode(
        "Class Held\r\n"
        "  Sub Class_Terminate : log.Log \"term\" : log.Log \"held\" : End Sub\r\n"
        "End Class\r\n"
        "Dim k : Set k = New Held\r\n");
    sc.setTimeout(20);
    EXPECT_EQ(errorOf([&] { sc.AddCode("Do : Loop"); }).Number, kTimeoutErrorNumber);
    sc.Reset();
    EXPECT_EQ(log->log, "init|init|term local|after g|term global|term|held|");
}

} // namespace
} // namespace qz::script::test

namespace qz::script::test {
namespace {

TEST(ScriptProcedures, NamesDefinedLaterAreFoundAtRunTime) {
    ScriptControl sc;
    sc.AddCode(
        "Function UsesLater() : UsesLater = Helper(2) + gLimit : End Function\r\n"
        "ExecuteGlobal \"Function Helper(n) : Helper = n * 10 : End Function\"\r\n"
        "Dim viaModule : viaModule = Helper(1)\r\n");
    EXPECT_EQ(sc.Eval("viaModule").toLong(), 10);
    sc.AddCode("Dim gLimit : gLimit = 5");
    EXPECT_EQ(sc.Eval("UsesLater()").toLong(), 25);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(sc.Eval("neverDeclared" + std::to_string(i)).isEmpty());
}

} // namespace
} // namespace qz::script::test

namespace qz::script::test {
namespace {

TEST(ScriptClasses, LetOnAnObjectVariableReplacesTheObject) {
    auto rec = makeRef<Recorder>();
    ScriptControl sc;
    sc.AddObject("rec", rec);
    sc.AddCode(
        "Class Box\r\n"
        "  Private v\r\n"
        "  Public Default Property Get Value() : Value = v : End Property\r\n"
        "  Public Property Let Value(x) : v = x : End Property\r\n"
        "End Class\r\n"
        "Dim b, keep, r : Set b = New Box : Set keep = b\r\n"
        "b = 3 + 4\r\n"                  // the variable now holds 7; the object is untouched
        "Set r = rec : r = \"host\"\r\n");
    EXPECT_TRUE(sc.Eval("IsEmpty(keep.Value)").toBool());
    EXPECT_EQ(sc.Eval("b").toLong(), 7);
    sc.AddCode("Sub ViaLocal() : Dim lb : Set lb = keep : lb = 2 * 4 : keep.Value = lb : End Sub");
    sc.Run("ViaLocal");
    EXPECT_EQ(sc.Eval("keep.Value").toLong(), 8);
    EXPECT_EQ(sc.Eval("r").toUtf8(), "host");
    EXPECT_TRUE(rec->stored.isEmpty());
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("Set n = Nothing : x = n"); }).Number, 91);
}

} // namespace
} // namespace qz::script::test

namespace qz::script::test {
namespace {

TEST(ScriptProcedures, DeepRecursionOnASmallThreadStackStaysSafe) {
    // A thread with a 512 KB stack: the engine stops with error 28 well before
    // the stack ends instead of crashing.
    int number = -1;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 512 * 1024);
    pthread_t thread;
    struct Job { int* number; } job{&number};
    auto body = [](void* p) -> void* {
        auto* j = static_cast<Job*>(p);
        Script s("Function Down(n) : Down = Down(n + 1) + 1 : End Function");
        *j->number = errorOf([&] { s.eval("Down(1)"); }).Number;
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, body, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(number, 28);
}

} // namespace
} // namespace qz::script::test

namespace qz::script::test {
namespace {

TEST(ScriptProcedures, ExecuteInALoopKeepsWorking) {
    Script s(
        "Dim total\r\n"
        "For i = 1 To 2000\r\n"
        "  Execute \"total = total + \" & i & \" : tmp\" & (i Mod 3) & \" = i\"\r\n"
        "Next\r\n"
        "ExecuteGlobal \"Function Later() : Later = total * 2 : End Function\"\r\n");
    EXPECT_EQ(s.num("total"), 2001000);
    EXPECT_EQ(s.num("tmp1"), 1999);
    EXPECT_EQ(s.num("Later()"), 4002000);
    for (int i = 0; i < 100; ++i) s.sc.ExecuteStatement("total = total - 1");
    EXPECT_EQ(s.num("total"), 2000900);
}

} // namespace
} // namespace qz::script::test

namespace qz::script::test {
namespace {

TEST(ScriptClasses, LongChainsOfObjectsAndArraysAreReleasedWithoutRecursion) {
    auto log = makeRef<Recorder>();
    ScriptControl sc;
    sc.setTimeout(0);  // building the chains takes seconds on a loaded checking build; no time-out is checked here
    sc.AddObject("log", log);
    sc.AddCode(
        "Class Node\r\n"
        "  Public NextNode\r\n"
        "End Class\r\n"
        "Class Counted\r\n"
        "  Public Inner\r\n"
        "  Sub Class_Terminate : log.Value = log.Value + 1 : End Sub\r\n"
        "End Class\r\n"
        "Dim head, n, i, a\r\n"
        "Set head = New Node : Set n = head\r\n"
        "For i = 1 To 200000 : Set n.NextNode = New Node : Set n = n.NextNode : Next\r\n"
        "Set n = Nothing : Set head = Nothing\r\n"
        "a = Array()\r\n"
        "For i = 1 To 200000 : a = Array(a) : Next\r\n"
        "a = Empty\r\n"
        "log.Value = 0\r\n"
        "Set head = New Counted : Set n = head\r\n"
        "For i = 1 To 1000 : Set n.Inner = New Counted : Set n = n.Inner : Next\r\n"
        "Set n = Nothing : Set head = Nothing\r\n");
    // Every terminate handler ran.
    EXPECT_EQ(log->stored.toLong(), 1001);
}

} // namespace
} // namespace qz::script::test
