// Procedures (ByRef/ByVal and the parenthesis rules), classes (default
// members, properties, Me, Class_Terminate), With, Select Case and For loops.
#include "Conformance.h"

namespace qz::script::conformance {
namespace {

constexpr const char* kInc =
    "Sub Inc(x)\n  x = x + 1\nEnd Sub\n"
    "Function IncF(x)\n  x = x + 1\n  IncF = x\nEnd Function\n"
    "Sub SetV(ByVal x)\n  x = 5\nEnd Sub\n"
    "Class Holder\n  Public v\nEnd Class\n"
    "Dim a, r\na = 1\n";

std::string withInc(const char* tail) { return std::string(kInc) + tail; }

TEST(ConformProcedures, ByRefAndParentheses) {
    const std::string code[] = {
        withInc("Inc a"),
        withInc("Inc (a)"),
        withInc("Call Inc(a)"),
        withInc("Call Inc((a))"),
        withInc("r = IncF(a)"),
        withInc("r = IncF((a))"),
        withInc("SetV a"),
        withInc("Dim arr(1) : arr(0) = 1 : Inc arr(0) : a = arr(0)"),
        withInc("Set o = New Holder : o.v = 1 : Inc o.v : a = o.v"),
        withInc("a = \"1\" : Inc a"),
        withInc("Inc a, a"),
        withInc("Inc(a, a)"),
    };
    const char* expected[] = {
        "Integer:2", "Integer:1", "Integer:2", "Integer:1", "Integer:2", "Integer:1",
        "Integer:1", "Integer:2", "Integer:1", "Double:2", "err:450", "err:1044",
    };
    for (std::size_t i = 0; i < std::size(code); ++i)
        EXPECT_EQ(run({code[i].c_str(), "a", ""}), expected[i]) << code[i];
}

// A name in parentheses as the callee is the name called with the arguments,
// which keep their passing: (f)(x) passes x by reference, (f)((x)) by value.
TEST(ConformProcedures, ParenthesisedNameAsTheCallee) {
    const std::string fns =
        "Function SetFirst(a) : a(0) = 2 : SetFirst = 1 : End Function\n"
        "Function Inc(n) : Inc = n + 1 : End Function\n"
        "Function Arr() : Arr = Array(7, 8) : End Function\n"
        "Sub Bump(n) : n = n + 10 : End Sub\n";
    const Case cases[] = {
        {fns + "x = Array(1) : Call (SetFirst) ((x))", "x(0)", "Integer:1"},
        {fns + "x = Array(1) : Call ((SetFirst)) (x)", "x(0)", "Integer:2"},
        {fns + "x = Array(1) : y = (SetFirst)(x)", "y & x(0)", "String:12"},
        {fns, "(Inc)(1)", "Integer:2"},
        {fns, "((Inc))(1) * 3", "Integer:6"},
        {fns, "(Inc)((Inc)(1))", "Integer:3"},
        {fns, "(Arr)()(1)", "Integer:8"},
        {fns + "n = 1 : Call (Bump)(n)", "n", "Integer:11"},
        {fns + "n = 1 : Call (Bump)((n))", "n", "Integer:1"},
        {"", "(Len)(\"abc\")", "Long:3"},
        {"", "(UCase)(\"ab\") & (Mid)(\"abc\", 2)", "String:ABbc"},
        {"a = Array(5, 6)", "(a)(1)", "Integer:6"},
        {fns, "(Inc)(1, 2)", "err:450"},
        {fns, "(Inc)", "err:450"},
    };
    expectAll(cases);
}

TEST(ConformProcedures, FunctionsAndGetRef) {
    const Case cases[] = {
        {"Function F()\nEnd Function", "IsEmpty(F())", "Boolean:True"},
        {"Function F()\n F = 1\n Exit Function\n F = 2\nEnd Function", "F()", "Integer:1"},
        {"Function Dbl(x)\n Dbl = x * 2\nEnd Function\nSet f = GetRef(\"Dbl\")", "f(4)", "Integer:8"},
        {"Dim r\nSub S(x)\n r = x\nEnd Sub\nSet f = GetRef(\"S\")\nCall f(5)", "r", "Integer:5"},
        {"Set f = GetRef(\"Nope\")", "0", "err:5"},
        {"Function R(n)\n R = R(n + 1)\nEnd Function\nx = R(1)", "0", "err:28"},
        {"x = Undefined()", "0", "err:13"},
        {"Sub S(a)\nEnd Sub\nS", "0", "err:450"},
        {"", "Len(1, 2)", "err:450"},
    };
    expectAll(cases);
}

// A name called as a procedure that names no procedure is a type mismatch.
TEST(ConformProcedures, CallingWhatIsNoProcedure) {
    const Case cases[] = {
        {"Foo", "0", "err:13"},
        {"Call Foo", "0", "err:13"},
        {"Foo 1", "0", "err:13"},
        {"Dim x : x = 1\nx", "0", "err:13"},
        {"On Error Resume Next\nFoo\nr = Err.Number", "r", "Long:13"},
        {"Function F\n F = 2\nEnd Function\nF\nCall F", "F", "Integer:2"},
        {"Foo = 1", "Foo", "Integer:1"},
    };
    expectAll(cases);
}

constexpr const char* kClasses =
    "Dim log\n"
    "Class C\n"
    "  Public v\n"
    "  Private p\n"
    "  Public Default Function Item(i)\n    Item = i * 2\n  End Function\n"
    "  Function Self()\n    Set Self = Me\n  End Function\n"
    "End Class\n"
    "Class P\n"
    "  Private m\n"
    "  Property Get V\n    V = m\n  End Property\n"
    "  Property Let V(x)\n    m = x * 2\n  End Property\n"
    "  Property Get Obj\n    Set Obj = m\n  End Property\n"
    "  Property Set Obj(x)\n    Set m = x\n  End Property\n"
    "End Class\n"
    "Class D\n"
    "  Public Default Property Get Value\n    Value = 42\n  End Property\n"
    "End Class\n"
    "Class T\n"
    "  Public name\n"
    "  Sub Class_Terminate\n    log = log & name & \";\"\n  End Sub\n"
    "End Class\n"
    "Class I\n"
    "  Public v\n"
    "  Private Sub Class_Initialize\n    v = 7\n  End Sub\n"
    "End Class\n"
    "Class Plain\n  Public v\nEnd Class\n";

std::string withClasses(const char* tail) { return std::string(kClasses) + tail; }

TEST(ConformClasses, MembersDefaultsAndLifetime) {
    const Case rows[] = {
        {withClasses("Set o = New C"), "o(3)", "Integer:6"},
        {withClasses("Set o = New C"), "o.Item(4)", "Integer:8"},
        {withClasses("Set o = New C"), "o.p", "err:438"},
        {withClasses("Set o = New C"), "o.missing", "err:438"},
        {withClasses("Set o = New C"), "o.Self Is o", "Boolean:True"},
        {withClasses("Set o = New C"), "TypeName(o)", "String:C"},
        {withClasses("Set o = New C"), "VarType(o)", "Integer:9"},
        {withClasses("Set o = New C : Set o2 = o : o2.v = 5"), "o.v", "Integer:5"},
        {withClasses(""), "New C Is New C", "Boolean:False"},
        {withClasses("Set o = New P : o.V = 5"), "o.V", "Integer:10"},
        {withClasses("Set o = New P : Set o.Obj = New C"), "TypeName(o.Obj)", "String:C"},
        {withClasses("Set o = New D : x = o"), "x", "Integer:42"},
        {withClasses("Set o = New D"), "o + 1", "Integer:43"},
        {withClasses("Set o = New I"), "o.v", "Integer:7"},
        {withClasses("Set a = New T : a.name = \"x\" : Set a = Nothing"), "log", "String:x;"},
        {withClasses("Set a = New T : a.name = \"1\" : Set a = New T"), "log", "String:1;"},
        {withClasses("Sub S\n Dim x\n Set x = New T\n x.name = \"a\"\nEnd Sub\nS"), "log",
         "String:a;"},
        {withClasses("x = New Plain"), "0", "err:438"},
        {withClasses("Set x = 5"), "0", "err:424"},
        {withClasses("x = Nothing"), "0", "err:91"},
        {withClasses("Set n = Nothing : n.v = 1"), "0", "err:424"},
        {withClasses("Dim u : u.v = 1"), "0", "err:424"},
        {withClasses("x = 1 : x.Foo"), "0", "err:424"},
        {withClasses("With New Plain\n .v = 3\n r = .v\nEnd With"), "r", "Integer:3"},
        {withClasses("Set o = New Plain : Set o2 = New Plain\nWith o\n .v = 1\n With o2\n"
                     "  .v = 2\n End With\n .v = .v + 10\nEnd With"),
         "o.v & \",\" & o2.v", "String:11,2"},
    };
    expectAll(rows);
}

TEST(ConformControlFlow, SelectCaseForAndDo) {
    constexpr const char* sel =
        "Function S(x)\n"
        " Select Case x\n"
        "  Case 1, 2: S = \"small\"\n"
        "  Case 3 To 5: S = \"mid\"\n"
        "  Case Is > 10: S = \"big\"\n"
        "  Case \"a\": S = \"letter\"\n"
        "  Case Else: S = \"else\"\n"
        " End Select\n"
        "End Function\n";
    const Case cases[] = {
        {sel, "S(2)", "String:small"},
        {sel, "S(3.5)", "String:mid"},
        {sel, "S(11)", "String:big"},
        {sel, "S(Null)", "String:else"},
        {sel, "S(Empty)", "String:else"},
        {"For i = 1 To 2 Step 0.5 : n = n + 1 : Next", "n", "Integer:3"},
        {"For i = 1 To 2 Step 0.5 : n = n + 1 : Next", "i", "Double:2.5"},
        {"For i = 1 To 3 : Next", "i", "Integer:4"},
        {"For i = 1 To 3 : i = i + 1 : n = n + 1 : Next", "n", "Integer:2"},
        {"m = 3 : For i = 1 To m : m = 1 : n = n + 1 : Next", "n", "Integer:3"},
        {"For i = 3 To 1 : n = n + 1 : Next", "i", "Integer:3"},
        {"For i = 1 To 10 Step -1 : n = 1 : Next", "n", "Empty"},
        {"For i = 0.1 To 0.3 Step 0.1 : n = n + 1 : Next", "n", "Integer:2"},
        {"For i = 1 To 5 : If i = 3 Then Exit For\nNext", "i", "Integer:3"},
        {"Do While n < 3 : n = n + 1 : Loop", "n", "Integer:3"},
        {"Do : n = n + 1 : Loop Until n >= 3", "n", "Integer:3"},
        {"Do Until True : n = 1 : Loop", "n", "Empty"},
        {"While n < 2 : n = n + 1 : Wend", "n", "Integer:2"},
        {"If 0 Then r = 1 Else r = 2", "r", "Integer:2"},
        {"If Null Then r = 1 Else r = 2", "r", "Integer:2"},
    };
    expectAll(cases);
}

// Expressions by value, aliasing, default Let, indexed properties, privacy.
TEST(ConformProcedures, ByRefAliasingAndClassMembers) {
    const Case cases[] = {
        {"Sub Inc(x)\n x = x + 1\nEnd Sub\nDim a : a = 1 : Inc a + 0", "a", "Integer:1"},
        {"Function IncF(x)\n x = x + 1\n IncF = x\nEnd Function\nDim a, r : a = 1 : r = IncF(a) + IncF(a)", "r & \",\" & a", "String:5,3"},
        {"Sub Inc(x)\n x = x + 1\nEnd Sub\nFor i = 1 To 3 : Inc i : n = n + 1 : Next", "n", "Integer:2"},
        {"Sub Two(x, y)\n x = 1\n y = y + 1\nEnd Sub\nDim a : a = 5 : Two a, a", "a", "Integer:2"},
        {"Class L\n Private m\n Public Default Property Get V\n V = m\n End Property\n Property Let V(x)\n m = x\n End Property\nEnd Class\nSet o = New L : o = 5", "o", "Integer:5"},
        {"Class K\n Public Property Get P(i)\n P = i\n End Property\nEnd Class\nSet o = New K", "o.P(3)", "Integer:3"},
        {"Class K\n Public Property Get P(i)\n P = i\n End Property\nEnd Class\nSet o = New K", "o.P(1, 2)", "err:450"},
        {"Class C\n Public v\nEnd Class\nSet o = New C : o.v = Array(1, 2)", "o.v(1)", "Integer:2"},
        {"Class C\n Public v\nEnd Class\nSet o = New C : Set o = Nothing", "IsObject(o) & (o Is Nothing)", "String:TrueTrue"},
        {"Class C\n Private Sub Hidden\n End Sub\nEnd Class\nSet o = New C : o.Hidden", "0", "err:438"},
    };
    expectAll(cases);
}

// Select ranges, Double steps, counters that outgrow Integer, If on text.
TEST(ConformControlFlow, BranchesOnTextNullAndLoopsThatPromote) {
    const Case cases[] = {
        {"Select Case 5\nCase 1 To 3, 5\n r = 1\nEnd Select", "r", "Integer:1"},
        {"Select Case \"b\"\nCase \"a\" To \"c\"\n r = 1\nEnd Select", "r", "Integer:1"},
        {"Select Case 0.1 + 0.2\nCase 0.3\n r = 1\nCase Else\n r = 2\nEnd Select", "r", "Integer:2"},
        {"For i = 1 To 3 Step 1.5 : n = n + 1 : Next", "n & \",\" & i", "String:2,4"},
        {"For i = 1 To 3 Step 1.5 : n = n + 1 : Next", "i", "Double:4"},
        {"For i = CLng(1) To 3 : Next", "i", "Long:4"},
        {"For i = 32766 To 32767 : Next", "i", "Long:32768"},
        {"Do While Null : n = 1 : Loop", "n", "Empty"},
        {"If \"True\" Then r = 1", "r", "Integer:1"},
        {"If \"abc\" Then r = 1", "0", "err:13"},
        {"If Empty Then r = 1 Else r = 2", "r", "Integer:2"},
        {"If True Then r = 1 : s = 2 Else r = 3", "r & s", "String:12"},
        {"If False Then r = 1 : s = 2 Else r = 3 : s = 4", "r & s", "String:34"},
        {"If False Then\n r = 1\nElseIf True Then\n r = 2\nElse\n r = 3\nEnd If", "r", "Integer:2"},
    };
    expectAll(cases);
}

// When Class_Terminate runs (array slot cleared, With, temporaries, Erase, Remove); default values through calls; indexed Let.
TEST(ConformClasses, TerminateTimingDefaultsAndIndexedProperties) {
    const Case cases[] = {
        {"Dim log\nClass T\n Public name\n Sub Class_Terminate\n  log = log & name & \";\"\n End Sub\nEnd Class\nDim a(0) : Set a(0) = New T : a(0).name = \"x\" : a(0) = Empty", "log", "String:x;"},
        {"Dim log\nClass T\n Public name\n Sub Class_Terminate\n  log = log & name & \";\"\n End Sub\nEnd Class\nSet a = New T : a.name = \"w\"\nWith a\n Set a = Nothing\n inside = log\nEnd With", "\"[\" & inside & \"]\" & log", "String:[]w;"},
        {"Dim log\nClass T\n Public name\n Sub Class_Terminate\n  log = log & name & \";\"\n End Sub\nEnd Class\nx = TypeName(New T)", "x & log", "String:T;"},
        {"Dim log\nClass T\n Public name\n Sub Class_Terminate\n  log = log & name & \";\"\n End Sub\nEnd Class\nFunction MakeT(n)\n Set MakeT = New T\n MakeT.name = n\nEnd Function\nCall MakeT(\"m\")\nr = log", "r", "String:m;"},
        {"Dim log\nClass T\n Public name\n Sub Class_Terminate\n  log = log & name & \";\"\n End Sub\nEnd Class\nDim a(1) : Set a(0) = New T : a(0).name = \"e\" : Erase a", "log", "String:e;"},
        {"Dim log\nClass T\n Public name\n Sub Class_Terminate\n  log = log & name & \";\"\n End Sub\nEnd Class\nSet d = CreateObject(\"Scripting.Dictionary\") : d.Add \"k\", New T : d(\"k\").name = \"d\" : d.Remove \"k\"", "log", "String:d;"},
        {"Class D\n Public Default Property Get Value\n  Value = 42\n End Property\nEnd Class\nFunction GetD\n Set GetD = New D\nEnd Function", "GetD() + 1", "Integer:43"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d.Add \"a\", Array(5, 6)", "d(\"a\")(1)", "Integer:6"},
        {"Class C\n Private m(3)\n Property Let Item(i, v)\n  m(i) = v\n End Property\n Property Get Item(i)\n  Item = m(i)\n End Property\nEnd Class\nSet o = New C : o.Item(1) = 5", "o.Item(1)", "Integer:5"},
        {"Class C\n Public v\n Property Get P\n  P = 1\n  Exit Property\n  P = 2\n End Property\nEnd Class\nSet o = New C", "o.P", "Integer:1"},
    };
    expectAll(cases);
}

// Recursion that outgrows Integer and Long, Do ... Loop While, Select Case True, ByRef class fields.
TEST(ConformControlFlow, RecursionPromotionAndCaseTrue) {
    const Case cases[] = {
        {"", "\"abc\" = \"abc \"", "Boolean:False"},
        {"Class D\n Public Default Property Get Value\n  Value = 42\n End Property\nEnd Class\nSet o = New D", "o = 42", "Boolean:True"},
        {"ReDim x(2) : x(0) = 1 : Dim y : y = x : ReDim Preserve y(5) : y(0) = 2", "x(0)", "Integer:1"},
        {"Function Fact(n)\n If n <= 1 Then Fact = 1 Else Fact = n * Fact(n - 1)\nEnd Function", "Fact(10)", "Long:3628800"},
        {"Function Fact(n)\n If n <= 1 Then Fact = 1 Else Fact = n * Fact(n - 1)\nEnd Function", "Fact(20)", "Double:2432902008176640000"},
        {"Do : n = n + 1 : Loop While False", "n", "Integer:1"},
        {"Select Case True\nCase 1 > 2\n r = 1\nCase 2 > 1\n r = 2\nEnd Select", "r", "Integer:2"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nWith d\n .Add \"a\", 1\nEnd With", "d.Count", "Long:1"},
        {"Sub Inc(x)\n x = x + 1\nEnd Sub\nClass C\n Public v\n Sub Bump\n  Inc v\n End Sub\nEnd Class\nSet o = New C : o.v = 1 : o.Bump", "o.v", "Integer:2"},
        {"a = 1", "Eval(\"a = 1\")", "Boolean:True"},
    };
    expectAll(cases);
}

// Values of host objects and class properties as arguments; each argument in its own parentheses.
TEST(ConformProcedures, HostValuesAsArgumentsAndParenthesisedLists) {
    const Case cases[] = {
        {"Function F(ByVal x)\n F = x\nEnd Function\nSet d = CreateObject(\"Scripting.Dictionary\") : d(\"k\") = 1 : r = F(d(\"k\"))", "r", "Integer:1"},
        {"Function F(x)\n F = x\nEnd Function\nSet d = CreateObject(\"Scripting.Dictionary\") : d(\"k\") = 1 : r = F(d.Item(\"k\"))", "r", "Integer:1"},
        {"Class C\n Public v\nEnd Class\nFunction F(x)\n x = 5\n F = x\nEnd Function\nSet o = New C : o.v = 1 : r = F(o.v)", "r & o.v", "String:51"},
        {"Dim r\nSub S2(a, b)\n r = a + b\nEnd Sub\nS2 (1), (2)", "r", "Integer:3"},
    };
    expectAll(cases);
}

// Array fields, chained calls through Me, Call with parentheses on a method.
TEST(ConformClasses, ArrayFieldsChainsAndCall) {
    const Case cases[] = {
        {"Class A\n Public arr(2)\nEnd Class\nSet o = New A : o.arr(1) = 5", "o.arr(1)", "Integer:5"},
        {"Class C\n Public v\n Function Self\n  Set Self = Me\n End Function\nEnd Class\nSet o = New C : o.v = 3", "o.Self.Self.v", "Integer:3"},
        {"Class C\n Public v\n Sub Bump\n  v = v + 1\n End Sub\nEnd Class\nSet o = New C : o.v = 1 : Call o.Bump()", "o.v", "Integer:2"},
    };
    expectAll(cases);
}

// Functions called as statements, deep recursion, ByRef Set and ReDim through parameters, a user Len.
TEST(ConformProcedures, ObjectsArraysAndShadowedBuiltins) {
    const Case cases[] = {
        {"Function Len(x)\n Len = 99\nEnd Function", "Len(\"a\")", "Integer:99"},
        {"Dim r\nFunction F(x)\n r = x\n F = 1\nEnd Function\nF 7", "r", "Integer:7"},
        {"Function R(n)\n If n = 0 Then R = 0 Else R = 1 + R(n - 1)\nEnd Function", "R(500)", "Integer:500"},
        {"Dim r\nSub S(o)\n r = o Is Nothing\nEnd Sub\nS Nothing", "r", "Boolean:True"},
        {"Class C\nEnd Class\nSub MakeObj(o)\n Set o = New C\nEnd Sub\nDim x\nMakeObj x", "TypeName(x)", "String:C"},
        {"Sub Grow(a)\n ReDim Preserve a(5)\nEnd Sub\nDim v : v = Array(1) : Grow v", "UBound(v) & v(0)", "String:51"},
        {"Class C\n Public v\nEnd Class\nSet o = New C", "IsEmpty(o.v)", "Boolean:True"},
        {"Class H\n Private m\n Property Set Obj(x)\n  Set m = x\n End Property\n Property Get Obj\n  Set Obj = m\n End Property\nEnd Class\nSet h = New H : Set h.Obj = Nothing", "h.Obj Is Nothing", "Boolean:True"},
    };
    expectAll(cases);
}

// A Double start value; removing keys while iterating a snapshot of them.
TEST(ConformControlFlow, DoubleStartAndRemovalDuringIteration) {
    const Case cases[] = {
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"x\", 1\nFor Each k In d.Keys\n d.Remove k\nNext", "d.Count", "Long:0"},
        {"For i = 1.5 To 3 : n = n + 1 : Next", "n & \",\" & i", "String:2,3.5"},
    };
    expectAll(cases);
}

// New of an undefined class, Set into fields, Exit Sub, For Each copies, Me in Class_Initialize.
TEST(ConformClasses, UndefinedClassesSetOfFieldsAndExits) {
    const Case cases[] = {
        {"Set x = New Nope", "0", "err:506"},
        {"Set d = New Dictionary", "0", "err:506"},
        {"Class C\n Public v\nEnd Class\nSet o = New C\nSet o.v = New C", "TypeName(o.v)", "String:C"},
        {"Class C\n Public v\nEnd Class\nSet o = New C\nSet o.v = 5", "0", "err:424"},
        {"Sub S\n Exit Sub\n r = 1\nEnd Sub\nS", "IsEmpty(r)", "Boolean:True"},
        {"Dim a(2)\nFor Each x In a\n x = 1\nNext", "IsEmpty(a(0))", "Boolean:True"},
        {"Class C\n Private Sub Class_Initialize\n  Me.v = 5\n End Sub\n Public v\nEnd Class\nSet o = New C", "o.v", "Integer:5"},
    };
    expectAll(cases);
}

// Class methods take ByRef arguments, fields hold copies of arrays, default values in text and conditions.
TEST(ConformClasses, MethodsByRefFieldsByValueAndDefaults) {
    const Case cases[] = {
        {"Class C\nEnd Class\nSet a = New C : Set b = a", "a = b", "err:438"},
        {"Option Explicit\nSub S\n x = 1\nEnd Sub", "1", "Integer:1"},
        {"Class C\n Sub Inc(x)\n  x = x + 1\n End Sub\nEnd Class\nSet o = New C : a = 1 : o.Inc a", "a", "Integer:2"},
        {"Class C\n Sub Inc(x)\n  x = x + 1\n End Sub\nEnd Class\nSet o = New C : a = 1 : o.Inc (a)", "a", "Integer:1"},
        {"Class C\n Public v\nEnd Class\nSet o = New C : arr = Array(1) : o.v = arr : arr(0) = 9", "o.v(0)", "Integer:1"},
        {"On Error Resume Next\nErr.Raise 70000", "Err.Number", "Long:5"},  // above 65535 and no failure code
        {"Class C\n Dim arr(2)\nEnd Class\nSet o = New C : o.arr(2) = 4", "o.arr(2)", "Integer:4"},
        {"Class C\n Public Default Property Get V\n  V = 5\n End Property\nEnd Class\nSet o = New C", "CStr(o) & (o * 2)", "String:510"},
        {"Class C\n Public Default Property Get V\n  V = 5\n End Property\nEnd Class\nSet o = New C\nIf o = 5 Then r = 1", "r", "Integer:1"},
        {"Class C\n Public Sub Class_Initialize\n  n = n + 1\n End Sub\nEnd Class\nDim n\nSet a = New C : Set b = New C", "n", "Integer:2"},
        {"Class C\n Private Sub Class_Initialize\n End Sub\nEnd Class\nSet o = New C", "TypeName(o)", "String:C"},
        {"Class C\n Public v\nEnd Class\nDim arr(1)\nSet arr(0) = New C\narr(0).v = 7", "arr(0).v", "Integer:7"},
        {"Class C\n Public v\nEnd Class\nSet d = CreateObject(\"Scripting.Dictionary\")\nSet d(\"x\") = New C\nd(\"x\").v = 3", "d(\"x\").v", "Integer:3"},
    };
    expectAll(cases);
}

// Else of nested single-line If binds to the inner If; Set of a property through With.
TEST(ConformControlFlow, NestedSingleLineIfAndSetInWith) {
    const Case cases[] = {
        {"If True Then If False Then r = 1 Else r = 2", "r", "Integer:2"},
        {"Class H\n Private m\n Property Set Obj(x)\n  Set m = x\n End Property\n Property Get Obj\n  Set Obj = m\n End Property\nEnd Class\nSet h = New H\nWith h\n Set .Obj = New H\nEnd With", "TypeName(h.Obj)", "String:H"},
    };
    expectAll(cases);
}

// Whole small programs: sorting through ByRef elements, counting words, a stack class, recursion, date stamps, totals, placeholders.
TEST(ConformPrograms, SmallProgramsOfTheKindTemplatesHold) {
    const Case cases[] = {
        {"Sub Swap(a, b)\n Dim t : t = a : a = b : b = t\nEnd Sub\nFunction SortText(s)\n Dim arr, i, j\n arr = Split(s, \",\")\n For i = 0 To UBound(arr) - 1\n  For j = 0 To UBound(arr) - 1 - i\n   If arr(j) > arr(j + 1) Then Swap arr(j), arr(j + 1)\n  Next\n Next\n SortText = Join(arr, \",\")\nEnd Function", "SortText(\"pear,apple,Fig,banana\")", "String:Fig,apple,banana,pear"},
        {"Function CountWords(s)\n Dim d, w\n Set d = CreateObject(\"Scripting.Dictionary\")\n d.CompareMode = vbTextCompare\n For Each w In Split(s, \" \")\n  If Len(w) > 0 Then d(w) = d(w) + 1\n Next\n Dim k, out\n For Each k In d.Keys\n  out = out & k & \"=\" & d(k) & \";\"\n Next\n CountWords = out\nEnd Function", "CountWords(\"a B b  A c a\")", "String:a=3;B=2;c=1;"},
        {"Class Stack\n Private items(), n\n Private Sub Class_Initialize\n  n = 0\n  ReDim items(1)\n End Sub\n Public Sub Push(v)\n  If n > UBound(items) Then ReDim Preserve items(n * 2)\n  items(n) = v\n  n = n + 1\n End Sub\n Public Function Pop()\n  n = n - 1\n  Pop = items(n)\n End Function\n Public Property Get Count\n  Count = n\n End Property\nEnd Class\nSet s = New Stack\nFor i = 1 To 10 : s.Push i * i : Next\nr = s.Pop & \",\" & s.Pop & \",\" & s.Count", "r", "String:100,81,8"},
        {"Function Fib(n)\n If n < 2 Then\n  Fib = n\n Else\n  Fib = Fib(n - 1) + Fib(n - 2)\n End If\nEnd Function", "Fib(20)", "Integer:6765"},
        {"Function Pad(v, n)\n Pad = Right(String(n, \"0\") & v, n)\nEnd Function\nFunction Stamp(d)\n Stamp = Year(d) & \"-\" & Pad(Month(d), 2) & \"-\" & Pad(Day(d), 2)\nEnd Function", "Stamp(DateAdd(\"d\", 45, #12/20/2003#))", "String:2004-02-03"},
        {"Dim total\nSub AddLine(qty, price)\n total = total + qty * price\nEnd Sub\nAddLine 3, 1.25\nAddLine 2, CCur(\"0.10\")\nAddLine 1, \"2.5\"", "FormatNumber(total, 2) & \"|\" & TypeName(total)", "String:6.45|Currency"},
        {"Function Roman(ByVal n)\n Dim vals, syms, i\n vals = Array(1000, 900, 500, 400, 100, 90, 50, 40, 10, 9, 5, 4, 1)\n syms = Split(\"M CM D CD C XC L XL X IX V IV I\")\n For i = 0 To 12\n  Do While n >= vals(i)\n   Roman = Roman & syms(i)\n   n = n - vals(i)\n  Loop\n Next\nEnd Function", "Roman(1994) & Roman(2024)", "String:MCMXCIVMMXXIV"},
        {"Set re = New RegExp\nre.Pattern = \"\\{(\\w+)\\}\"\nre.Global = True\nSet d = CreateObject(\"Scripting.Dictionary\")\nd(\"name\") = \"Ann\" : d(\"city\") = \"Oslo\"\nt = \"Hi {name} from {city}{x}\"\nFor Each m In re.Execute(t)\n t = Replace(t, m.Value, d(m.SubMatches(0)))\nNext", "t", "String:Hi Ann from Oslo"},
    };
    expectAll(cases);
}

// A new object is built before the old one goes; no lower bounds; no classes in procedures.
TEST(ConformClasses, ReplacementOrderAndMisplacedDeclarations) {
    const Case cases[] = {
        {"Dim log\nClass T\n Public name\n Private Sub Class_Initialize\n  log = log & \"I;\"\n End Sub\n Private Sub Class_Terminate\n  log = log & \"T;\"\n End Sub\nEnd Class\nSet a = New T\nSet a = New T", "log", "String:I;I;T;"},
        {"ReDim a(1 To 3)", "0", "err:1006"},
        {"Sub S\nClass C\nEnd Class\nEnd Sub", "0", "err:1024"},
    };
    expectAll(cases);
}

const std::string kBox =
    "Class Box\n Private v\n Public Default Property Get Value\n  Value = v\n End Property\n"
    " Public Property Let Value(x)\n  v = x\n End Property\nEnd Class\n";

// A variable is a Variant: Let replaces the object (or Nothing) it holds,
// whether the object has a default member or not.
TEST(ConformClasses, LetIntoAVariableHoldingAnObjectReplacesIt) {
    const Case cases[] = {
        {"Set x = Nothing : x = 5", "x", "Integer:5"},
        {"Class C\n Public v\nEnd Class\nSet x = New C : x = 5", "x", "Integer:5"},
        {"Class C\n Public v\nEnd Class\nSet x = New C : Set x = Nothing : x = 5", "x", "Integer:5"},
        {kBox + "Set b = New Box : Set keep = b : b = 3 + 4", "TypeName(b) & IsEmpty(keep.Value)", "String:IntegerTrue"},
        {kBox + "Sub S\n Dim lb : Set lb = keep : lb = \"t\" : r = lb\nEnd Sub\nDim r : Set keep = New Box : S", "r & TypeName(keep)", "String:tBox"},
        {kBox + "Class H\n Public f\n Sub Go\n Set f = New Box : f = 2.5\n End Sub\nEnd Class\nSet h = New H : h.Go", "h.f", "Double:2.5"},
        {kBox + "On Error Resume Next\nSet b = New Box : b = Null : e = Err.Number", "IsNull(b) & e", "String:True0"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d = \"x\"", "d", "String:x"},
        {"Dim log\nClass T\n Sub Class_Terminate\n log = log & \"t\"\n End Sub\nEnd Class\nSet x = New T : x = 1", "log & x", "String:t1"},
        {"Class C\nEnd Class\nSet x = New C : Set y = New C : x = y", "0", "err:438"},
    };
    expectAll(cases);
}

// An object with a default property gives its value to functions, bounds, indices, conditions, Select and VarType.
TEST(ConformClasses, DefaultValuesWhereverAValueIsNeeded) {
    const Case cases[] = {
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = \"abc\"", "Len(o) & UCase(o)", "String:3ABC"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = \"x\"", "o = \"x\"", "Boolean:True"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = 3 : For i = 1 To o : n = n + 1 : Next", "n", "Integer:3"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = 1 : a = Array(10, 20)", "a(o)", "Integer:20"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = True : If o Then r = 1 Else r = 2", "r", "Integer:1"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = 2\nSelect Case o\nCase 2\n r = \"two\"\nCase Else\n r = \"other\"\nEnd Select", "r", "String:two"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = 2.5", "CInt(o) & \",\" & Int(o) & \",\" & Round(o)", "String:2,2,2"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = \"a,b\"", "UBound(Split(o, \",\"))", "Long:1"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = #1/2/2003#", "Year(o)", "Integer:2003"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = 5 : Set d = CreateObject(\"Scripting.Dictionary\") : d.Add o, 1", "d.Exists(5)", "Boolean:False"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = 7 : x = o : o.val = 8", "x", "Integer:7"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = Null", "IsNull(o + 1)", "Boolean:True"},
        {"Class D\n Public val\n Public Default Property Get Value\n  Value = val\n End Property\nEnd Class\nSet o = New D : o.val = 3", "VarType(o)", "Integer:2"},
    };
    expectAll(cases);
}

// Code that compiles: End Sub / Function / Property / Class after a statement
// on its line, a statement right after a Case list, a one-line If closed by
// End If, parenthesised callees, a procedure defined again, Property as a name.
TEST(ConformControlFlow, StatementsOnOneLineThatCompile) {
    const Case cases[] = {
        {"Dim r\nSub S() r = 1 End Sub\nS", "r", "Integer:1"},
        {"Function F(a) F = a * 2 End Function", "F(4)", "Integer:8"},
        {"Function F(a) If a > 1 Then F = 1 Else F = 2 End Function", "F(1) & F(2)", "String:21"},
        {"Class C\n Private m\n Property Get P() P = m End Property\n Property Let P(v) m = v End Property\n Sub Clear() m = Empty End Sub\nEnd Class\nSet o = New C : o.P = 5", "o.P", "Integer:5"},
        {"Class C : Public v End Class\nSet o = New C : o.v = 2", "o.v", "Integer:2"},
        {"Sub S() End Sub\nS", "1", "Integer:1"},
        {"Select Case 2\nCase 1  r = \"a\"\nCase 2  r = \"b\" : q = 1\nCase Else r = \"c\"\nEnd Select", "r & q", "String:b1"},
        {"Select Case \"x\"\nCase \"a\", \"b\" r = 1\nCase Else r = 2\nEnd Select", "r", "Integer:2"},
        {"Select Case 7\nCase 1 To 9 Select Case 1 : Case 1 r = 9 : End Select\nEnd Select", "r", "Integer:9"},
        {"If 1 = 2 Then r = 1 Else r = 2 End If", "r", "Integer:2"},
        {"If True Then r = 1 End If", "r", "Integer:1"},
        {"If False Then r = 1 ElseIf True Then r = 3 Else r = 4 End If", "r", "Integer:3"},
        {"Function F(x)\n F = x * 3\nEnd Function\nSet g = GetRef(\"F\") : r = (g)(2)", "r", "Integer:6"},
        {"Dim r\nSub S(x)\n r = x\nEnd Sub\nSet g = GetRef(\"S\") : Call (g) (7)", "r", "Integer:7"},
        {"a = Array(1, 2)", "((a))(1) + (a)(0)", "Integer:3"},
        {"Function F\n F = 1\nEnd Function\nFunction F\n F = 2\nEnd Function\nr = F", "r", "Integer:2"},
        {"Dim r\nSub S\n r = 1\nEnd Sub\nS\nSub S\n r = 2\nEnd Sub\nS", "r", "Integer:2"},
        {"Property = 3 : Property = Property + 1", "Property", "Integer:4"},
        {"Dim Property : Property = \"p\"", "Property", "String:p"},
        {"Sub S\n Dim Property : Property = 1 : r = Property\nEnd Sub\nDim r : S", "r", "Integer:1"},
        {"Property Get P\nEnd Property", "0", "err:1048"},
        {"Class C\n Public Property\nEnd Class\nSet o = New C : o.Property = 1", "o.Property", "Integer:1"},
    };
    expectAll(cases);
}

// For Each over a collection run to its end leaves its variable Empty; a
// never-sized dynamic array runs no time; ReDim of a fixed array is 10
// before its bounds are looked at; a module-level Dim makes its arrays when
// it runs.
TEST(ConformControlFlow, LoopVariablesAfterLoopsAndArraysMadeByDim) {
    const std::string dict = "Set d = CreateObject(\"Scripting.Dictionary\") : d.Add \"a\", 1 : d.Add \"b\", 2\n";
    const Case cases[] = {
        {dict + "For Each k In d\n n = n + 1\nNext", "IsEmpty(k) & n", "String:True2"},
        {dict + "For Each k In d\n If k = \"a\" Then Exit For\nNext", "k", "String:a"},
        {dict + "Sub S\n For Each k In d\n Next\n r = IsEmpty(k)\nEnd Sub\nDim r : S", "r", "Boolean:True"},
        {"Dim a()\nFor Each x In a\n n = n + 1\nNext", "IsEmpty(n) & IsEmpty(x)", "String:TrueTrue"},
        {"Dim a() : ReDim a(1) : Erase a\nFor Each x In a\n n = n + 1\nNext", "IsEmpty(n)", "Boolean:True"},
        {"Dim a(2)\nReDim a(\"x\")", "0", "err:10"},
        {"Dim a(2)\nReDim a(2)", "0", "err:10"},
        {"Sub S\n Dim b(1)\n ReDim Preserve b(-5)\nEnd Sub\nS", "0", "err:10"},
        {"r = IsEmpty(a) & IsArray(a)\nDim a(2)", "r & UBound(a)", "String:TrueFalse2"},
        {"r = TypeName(p)\nPublic p(1, 1), q()\nPrivate z(3)", "r & UBound(p, 2) & UBound(z) & IsArray(q)", "String:Empty13True"},
        {"Sub S\n r = IsEmpty(g)\nEnd Sub\nDim r : S\nDim g(1) : g(1) = 5", "r & g(1)", "String:True5"},
        {"Dim a(1) : a(0) = 7\nDim b\nExecuteGlobal \"Dim a(3)\"", "UBound(a) & IsEmpty(a(0))", "String:3True"},
        {"Sub S\n Execute \"Dim q(2)\" : r = UBound(q)\nEnd Sub\nDim r : S", "r", "Long:2"},
    };
    expectAll(cases);
}

// With keeps its object after the variable is cleared; ReDim of an array being iterated is refused; ByVal arrays are copies.
TEST(ConformClasses, WithHoldsItsObjectAndArraysLockedWhileIterated) {
    const Case cases[] = {
        {"Class C\n Public v\nEnd Class\nSet o = New C\nWith o\n .v = 1\n Set o = Nothing\n .v = 2\n r = .v\nEnd With", "r", "Integer:2"},
        {"ReDim a(2)\nFor Each x In a\n ReDim a(5)\nNext", "0", "err:10"},
        {"Sub S(ByVal a)\n ReDim a(5)\nEnd Sub\nDim v : v = Array(1) : S v", "UBound(v)", "Long:0"},
    };
    expectAll(cases);
}

// Procedures on one line, a comment after Then, statements on the Else and ElseIf lines of a block If.
TEST(ConformControlFlow, OneLineProceduresAndStatementsAfterElse) {
    const Case cases[] = {
        {"Dim r\nSub S : r = 1 : End Sub\nS", "r", "Integer:1"},
        {"Function F(a) : F = a * 2 : End Function", "F(4)", "Integer:8"},
        {"If x Then ' comment\n r = 1\nElse\n r = 2\nEnd If", "r", "Integer:2"},
        {"If False Then\n r = 1\nElse r = 2\nEnd If", "r", "Integer:2"},
        {"If False Then\n r = 1\nElseIf True Then r = 3\nEnd If", "r", "Integer:3"},
        {"Dim a()\na(0) = 1", "0", "err:9"},
        {"While n < 3 : n = n + 1 : Wend", "n", "Integer:3"},
    };
    expectAll(cases);
}

// Arguments that index an object's default member (a text key) are values,
// evaluated once; only array elements are passed by reference.
TEST(ConformProcedures, DefaultMemberArgumentsByValueAndEvaluatedOnce) {
    const std::string keyed =
        "Dim r, n\nSub S(x)\n r = x\nEnd Sub\nFunction F(x)\n F = x\nEnd Function\n"
        "Function G()\n n = n + 1\n G = \"key\"\nEnd Function\n"
        "Class K\n Public Default Function Item(k)\n Item = k & \"!\"\n End Function\nEnd Class\n"
        "Set d = CreateObject(\"Scripting.Dictionary\") : d(\"k\") = 1 : Set o = New K\n";
    const Case cases[] = {
        {keyed + "S d(\"k\")", "r", "Integer:1"},
        {keyed + "r = F(d(\"k\"))", "r", "Integer:1"},
        {keyed + "S o(\"key\")", "r", "String:key!"},
        {keyed + "S o(G())", "n & \"|\" & r", "String:1|key!"},
        {keyed + "r = F(o(G()))", "n & \"|\" & r", "String:1|key!"},
        {keyed + "Dim a(2) : a(1) = 5 : S a(G() = \"key\") ", "0", "err:9"},
        {"Sub Inc(x)\n x = x + 1\nEnd Sub\nDim a(2), n\nFunction G()\n n = n + 1 : G = 1\nEnd Function\nInc a(G())", "n & \"|\" & a(1)", "String:1|1"},
        {"Dim v : v = 3\nSub S(x)\nEnd Sub\nS v(0)", "0", "err:13"},
    };
    expectAll(cases);
}

// A procedure that uses a global assigned later at module level (no Dim):
// every use of the name is the global, reads and writes alike.
TEST(ConformProcedures, GlobalsAssignedAfterTheProcedures) {
    const Case cases[] = {
        {"Sub S\n total = total + 1\nEnd Sub\ntotal = 10\nS", "total", "Integer:11"},
        {"Sub S\n x = d.Count\n d.Add \"k\" & x, x\nEnd Sub\nSet d = CreateObject(\"Scripting.Dictionary\")\nS : S", "d.Count", "Long:2"},
        {"Class C\n Sub Bump : n = n + 2 : n = n * 10 : End Sub\nEnd Class\nn = 1\nSet o = New C : o.Bump", "n", "Integer:30"},
        {"Function F\n F = t & t\nEnd Function\nt = \"ab\"", "F()", "String:abab"},
        // Names the module never assigns stay local to the procedure.
        {"Sub S\n u = u + 1\n u = u + 1\n r = u\nEnd Sub\nDim r\nS", "r & \"|\" & IsEmpty(u)", "String:2|True"},
    };
    expectAll(cases);
}

// A Const at the level of a class is the class's own: its code sees it
// (Execute and Eval in it too), the module and the class's users do not.
TEST(ConformClasses, ConstantsOfAClassArePrivateToIt) {
    const std::string c = "Class C\n Const K = 5\n Private Const T = \"x\"\n"
                          " Function F : F = K * 2 & T : End Function\n"
                          " Function E : E = Eval(\"K + 1\") : End Function\n"
                          " Sub S : K = 2 : End Sub\nEnd Class\nSet o = New C\n";
    const Case cases[] = {
        {c, "o.F", "String:10x"},
        {c, "o.E", "Integer:6"},
        {c, "IsEmpty(K) & IsEmpty(T)", "String:TrueTrue"},
        {c + "x = o.K", "0", "err:438"},
        {c + "o.S", "0", "err:501"},
        {"Class A\n Const K = 1\n Function F : F = K : End Function\nEnd Class\n"
         "Class B\n Const K = 2\n Function F : F = K : End Function\nEnd Class\nSet a = New A : Set b = New B",
         "a.F & b.F", "String:12"},
        {"Const K = 1\nClass C\n Const K = 2\n Function F : F = K : End Function\nEnd Class\nSet o = New C", "o.F & K",
         "String:21"},
        {"Class C\n Const K = 1\n Function F\n  Dim K : K = 7 : F = K\n End Function\nEnd Class\nSet o = New C", "o.F",
         "Integer:7"},
        {"Class C\n Const K = 1\n Dim K\nEnd Class", "0", "err:1041"},
        {"Class C\n Const K = 1, K = 2\nEnd Class", "0", "err:1041"},
    };
    expectAll(cases);
}

// A variable or field that holds an object, alone as a statement, calls the
// object's default member.
TEST(ConformClasses, ObjectAloneAsAStatementCallsItsDefault) {
    const std::string run = "Dim n\nClass R\n Public Default Sub Go : n = n + 1 : End Sub\nEnd Class\n";
    const Case cases[] = {
        {run + "Set o = New R\no\nCall o", "n", "Integer:2"},
        {run + "Sub S(x)\n x\nEnd Sub\nS New R", "n", "Integer:1"},
        {run + "Class C\n Public Inner\n Sub S : Inner : End Sub\nEnd Class\nSet o = New C : Set o.Inner = New R : o.S",
         "n", "Integer:1"},
        {"Dim n\nClass F\n Public Default Function Calc : n = 5 : Calc = 1 : End Function\nEnd Class\nSet o = New F\no", "n",
         "Integer:5"},
        {"Class C\nEnd Class\nSet o = New C\no", "0", "err:438"},
        {"Class C\nEnd Class\nSet o = New C\nCall o", "0", "err:438"},
        {"Class C\n Public Default Property Get P(i) : P = i : End Property\nEnd Class\nSet o = New C\no", "0", "err:450"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nd", "0", "err:450"},
        {"x = 5\nx", "0", "err:13"},
    };
    expectAll(cases);
}

// A line continuation may split any "End X" of a block and its kind.
TEST(ConformProcedures, EndSplitByALineContinuation) {
    const Case cases[] = {
        {"Dim n\nSub S\n n = 1\nEnd _\nSub\nS", "n", "Integer:1"},
        {"Function F\n F = 2\nEnd _\n  Function\nn = F", "n", "Integer:2"},
        {"n = 0\nIf True Then\n n = 3\nEnd _\nIf", "n", "Integer:3"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nWith d\n .Add 1, 4\nEnd _\nWith\nn = d(1)", "n", "Integer:4"},
        {"Select Case 2\nCase 2\n n = 5\nEnd _\nSelect", "n", "Integer:5"},
        {"Class C\n Public v\nEnd _\nClass\nSet o = New C : o.v = 6 : n = o.v", "n", "Integer:6"},
        {"Dim n\nSub S : n = 8 : Exit _\nSub : n = 0 : End _\nSub\nS", "n", "Integer:8"},
        {"Dim n\nSub S : n = 9 : End _\nSub\nS", "n", "Integer:9"},
        {"For i = 1 To 3 : n = i : Exit _\nFor : Next", "n", "Integer:1"},
        {"Do _\nWhile n < 2 : n = n + 1 : Loop", "n", "Integer:2"},
        {"Select _\nCase 1\nCase 1 : n = 10\nEnd Select", "n", "Integer:10"},
        {"If True Then n = 11 Else n = 0 End _\nIf", "n", "Integer:11"},
        {"Dim n\nFunction F : F = 12 : Exit _\nFunction : F = 0 : End Function\nn = F", "n", "Integer:12"},
        {"Class C\n Property Get P : P = 7 : End _\nProperty\nEnd Class\nSet o = New C : n = o.P", "n", "Integer:7"},
    };
    expectAll(cases);
}

} // namespace
} // namespace qz::script::conformance
