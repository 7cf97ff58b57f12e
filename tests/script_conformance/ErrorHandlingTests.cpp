// On Error Resume Next continuation, the Err object, Err.Raise, compile
// errors and their numbers, run-time errors and Execute/Eval scoping.
#include "Conformance.h"

namespace qz::script::conformance {
namespace {

TEST(ConformErrors, ResumeNextContinuation) {
    const std::string fn =
        "Function F()\n F = 1\n x = 1 / 0\n F = 2\nEnd Function\n"
        "Function G()\n On Error Resume Next\n G = 1\n x = 1 / 0\n G = G + 1\nEnd Function\n";
    const Case cases[] = {
        {"On Error Resume Next\nx = 1 / 0\ny = 2", "y", "Integer:2"},
        {"On Error Resume Next\nx = 1 / 0\ny = 2", "Err.Number", "Long:11"},
        {"On Error Resume Next\nx = 1 / 0\nr = Err", "r", "Long:11"},
        // An error in a called function abandons the caller's whole statement.
        {fn + "On Error Resume Next\nr = F()\nafter = 1", "IsEmpty(r) & after", "String:True1"},
        {fn + "On Error Resume Next\nr = F()", "Err.Number", "Long:11"},
        {fn + "r = G()", "r", "Integer:2"},
        {"On Error Resume Next\nFor i = 1 To 3\n x = 1 / 0\n n = n + 1\nNext", "n", "Integer:3"},
        {"On Error Resume Next\nIf 1 / 0 = 1 Then\n r = \"then\"\nElse\n r = \"else\"\nEnd If",
         "r", "String:then"},
        {"On Error Resume Next\nx = 1 / 0\nOn Error GoTo 0", "Err.Number", "Long:0"},
        {"On Error Resume Next\nx = 1 / 0\nOn Error Resume Next", "Err.Number", "Long:0"},
        {"On Error Resume Next\nx = 1 / 0\nOn Error GoTo 0\ny = 1 / 0", "0", "err:11"},
    };
    expectAll(cases);
}

// Under Resume Next an error in the head of a loop, a Case or a With goes on
// into its block; a For or For Each whose head failed then meets 92 or 451 at
// its Next; an error in the head of a Select skips the whole Select. Without
// Resume Next the error stops the code.
TEST(ConformErrors, ResumeNextIntoBlocksWhoseHeadFailed) {
    const std::string rn = "On Error Resume Next\n";
    const Case cases[] = {
        {rn + "For i = 1 To 1 / 0\n n = n + 1\nNext\ne = Err.Number", "n & e & IsEmpty(i)", "String:192True"},
        {rn + "For i = 1 To 3 Step \"x\"\n n = n + 1\nNext\ne = Err.Number", "n & e", "String:192"},
        {rn + "For i = Null To 3\n n = n + 1\nNext\ne = Err.Number", "n & e", "String:192"},
        {rn + "For i = 1 To 1 / 0\n n = n + 1\n Exit For\nNext\ne = Err.Number", "n & e", "String:111"},
        {rn + "For Each x In 5\n n = n + 1\nNext\ne = Err.Number", "n & e", "String:1451"},
        {rn + "For Each x In Nothing\n n = n + 1\nNext\ne = Err.Number", "n & e", "String:1451"},
        {rn + "For Each x In Array(1 / 0)\n n = n + 1\nNext\ne = Err.Number", "n & e", "String:1451"},
        {rn + "Do While 1 / 0\n n = n + 1\n If n = 3 Then Exit Do\nLoop\ne = Err.Number", "n & e", "String:311"},
        {rn + "Do Until 1 / 0\n n = n + 1\n If n = 2 Then Exit Do\nLoop", "n", "Integer:2"},
        {rn + "Do\n n = n + 1\nLoop While 1 / 0\ne = Err.Number", "n & e", "String:111"},
        {rn + "Do\n n = n + 1\nLoop Until CLng(\"x\")\ne = Err.Number", "n & e", "String:113"},
        {rn + "For k = 1 To 1\n While 1 / 0\n  n = n + 1\n  If n = 3 Then Exit For\n Wend\nNext", "n", "Integer:3"},
        {rn + "Select Case 1 / 0\nCase 5\n r = \"five\"\nCase Else\n r = \"else\"\nEnd Select\ne = Err.Number", "r & e", "String:11"},
        {rn + "v = 9 : Select Case CInt(\"x\") : Case True : v = 1 : Case Else : v = 2 : End Select : e = Err.Number", "v & e", "String:913"},
        {rn + "Select Case \"a\" * 2\nCase Else\n n = 1\nEnd Select\nn = n + 2", "n & Err.Number", "String:213"},
        {rn + "For i = 1 To 2\n Select Case 1 / (i - 1)\n Case Else\n  n = n + 1\n End Select\nNext", "n", "Integer:1"},
        {rn + "Select Case 2\nCase 1, 1 / 0\n r = \"first\"\nCase 2\n r = \"two\"\nEnd Select", "r", "String:first"},
        {rn + "Select Case 2\nCase 2\n r = \"two\"\nCase 1 / 0\n r = \"bad\"\nEnd Select\ne = Err.Number", "r & e", "String:two0"},
        {rn + "With 1 / 0\n r = Err.Number\n .x = 1\n q = Err.Number\nEnd With", "r & q", "String:11424"},
        {"Select Case 1 / 0\nCase Else\n r = 1\nEnd Select", "r", "err:11"},
        {"For i = 1 To 1 / 0\nNext", "0", "err:11"},
        {"Do While 1 / 0\nLoop", "0", "err:11"},
        {"For Each x In 5\nNext", "0", "err:451"},
    };
    expectAll(cases);
}

// With needs an object (Nothing passes); ".x" outside any With is 505.
TEST(ConformErrors, WithOnValuesAndUnqualifiedMembers) {
    const Case cases[] = {
        {"With 5\nEnd With", "0", "err:424"},
        {"s = \"x\"\nWith s\nEnd With", "0", "err:424"},
        {"With Nothing\n r = 1\nEnd With", "r", "Integer:1"},
        {"With Nothing\n r = .x\nEnd With", "0", "err:424"},
        {"On Error Resume Next\nWith Array(1)\n r = Err.Number\nEnd With", "r", "Long:424"},
        {"x = .y", "0", "err:505"},
        {".y = 1", "0", "err:505"},
        {"Sub S\n .y = 2\nEnd Sub\nSet d = CreateObject(\"Scripting.Dictionary\")\nWith d\n S\nEnd With", "0", "err:505"},
        {"On Error Resume Next\nCall .z(1)\nr = Err.Number", "r", "Long:505"},
    };
    expectAll(cases);
}

// A conversion function called as a statement raises 458; New RegExp makes
// the built-in even beside a script class of that name.
TEST(ConformErrors, ConversionsAsStatementsAndBuiltInClassNames) {
    const Case cases[] = {
        {"Call CLng(5)", "0", "err:458"},
        {"CStr 1", "0", "err:458"},
        {"Call CBool(1)", "0", "err:458"},
        {"Call CDate(\"x\")", "0", "err:13"},
        {"On Error Resume Next\nCall CInt(1)\nr = Err.Number", "r", "Long:458"},
        {"Call Len(\"ab\")", "1", "Integer:1"},
        {"Class RegExp\n Public p\nEnd Class\nSet r = New RegExp", "TypeName(r)", "String:IRegExp2"},
        {"Class regexp\n Public p\nEnd Class\nSet r = New RegExp : r.Pattern = \"b\"", "r.Test(\"abc\")", "Boolean:True"},
    };
    expectAll(cases);
}

TEST(ConformErrors, ErrRaise) {
    const Case cases[] = {
        {"On Error Resume Next\nErr.Raise 1000, \"src\", \"desc\"", "Err.Source & \"|\" & Err.Description",
         "String:src|desc"},
        {"On Error Resume Next\nErr.Raise 6", "Err.Description", "String:Overflow"},
        {"On Error Resume Next\nErr.Raise 5", "Err.Source", "String:Microsoft VBScript runtime error"},
        {"On Error Resume Next\nErr.Raise 1000", "Err.Description", "String:Unknown runtime error"},
        {"On Error Resume Next\nErr.Raise vbObjectError + 513, \"Me\", \"custom\"", "Err.Number",
         "Long:-2147220991"},
        {"On Error Resume Next\nErr.Raise 5\nErr.Clear", "Err.Number & Err.Description & Err.Source",
         "String:0"},
        {"Err.Raise 1234, \"x\", \"y\"", "0", "err:1234"},
        {"Err.Raise \"abc\"", "0", "err:13"},
    };
    expectAll(cases);
}

// Err.Raise keeps the source and description Err holds when they are left
// out; a failure code with a script error of its own raises that error; any
// other number above 65535 is 5.
TEST(ConformErrors, RaiseKeepsWhatErrHoldsAndMapsFailureCodes) {
    const std::string rn = "On Error Resume Next\n";
    const Case cases[] = {
        {rn + "Err.Source = \"s\" : Err.Description = \"d\" : Err.Raise 1000", "Err.Number & Err.Source & Err.Description", "String:1000sd"},
        {rn + "x = 1 / 0 : Err.Raise 5", "Err.Number & \"|\" & Err.Description", "String:5|Division by zero"},
        {rn + "Err.Description = \"d\" : Err.Raise 6, \"src\"", "Err.Source & Err.Description", "String:srcd"},
        {rn + "Err.Description = \"d\" : Err.Raise 6, , \"new\"", "Err.Description", "String:new"},
        {rn + "Err.Raise 6 : Err.Clear : Err.Raise 9", "Err.Description", "String:Subscript out of range"},
        {rn + "Err.Raise &h8007000E&", "Err.Number & \"|\" & Err.Description", "String:7|Out of memory"},
        {rn + "Err.Raise &h80070057&", "Err.Number", "Long:5"},
        {rn + "Err.Raise &h800A000D&", "Err.Number & \"|\" & Err.Description", "String:13|Type mismatch"},
        {rn + "Err.Raise &h80040001&", "Err.Number", "Long:-2147221503"},
        {rn + "Err.Raise 65535", "Err.Number", "Long:65535"},
        {rn + "Err.Raise 65536", "Err.Number", "Long:5"},
        {"Err.Raise &h8007000E&", "0", "err:7"},
        {"Err.Raise 100000, \"s\", \"d\"", "0", "err:5"},
    };
    expectAll(cases);
}

TEST(ConformErrors, RunTimeErrorNumbers) {
    const Case cases[] = {
        {"Option Explicit\nDim a\na = 1\nb = 2", "0", "err:500"},
        {"Option Explicit\nDim r\nr = z", "0", "err:500"},
        {"b = 2", "b", "Integer:2"},
        {"Const c = 1\nc = 2", "0", "err:501"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nd.Nope", "0", "err:438"},
        {"Set o = CreateObject(\"No.Such\")", "0", "err:429"},
        {"Dim a(2)\na(5) = 1", "0", "err:9"},
        {"Dim a : a = Array(1)\na.Foo", "0", "err:424"},
    };
    expectAll(cases);
}

TEST(ConformErrors, RunTimeErrorTexts) {
    struct Row { const char* code; const char* text; };
    const Row rows[] = {
        {"x = 1 / 0", "Division by zero"},
        {"x = CInt(40000)", "Overflow"},
        {"x = \"a\" * 1", "Type mismatch"},
        {"Dim a(1)\nx = a(2)", "Subscript out of range"},
        {"x = Mid(\"a\", 0)", "Invalid procedure call or argument"},
        {"x = CLng(Null)", "Invalid use of Null"},
        {"Set x = 1", "Object required"},
        {"x = Nothing", "Object variable not set"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nd.Nope", "Object doesn't support this property or method"},
    };
    for (const Row& r : rows) {
        std::string code = std::string("On Error Resume Next\n") + r.code;
        EXPECT_EQ(run({code.c_str(), "Err.Description", ""}), std::string("String:") + r.text) << r.code;
    }
}

TEST(ConformErrors, CompileErrorNumbers) {
    const Case cases[] = {
        {"If x Then\nx = 1", "0", "err:1014"},
        {"x = (1", "0", "err:1006"},
        {"For i = 1 To 3\nx = 1", "0", "err:1020"},
        {"x = 1 2", "0", "err:1025"},
        {"Dim 1", "0", "err:1010"},
        {"Foo(1, 2)", "0", "err:1044"},
        {"Exit Do", "0", "err:1039"},
        {"Exit Function", "0", "err:1039"},
        {"Dim a(x)", "0", "err:1026"},
        {"Class C\nSub Class_Initialize(a)\nEnd Sub\nEnd Class", "0", "err:1053"},
        {"Property Get P\nEnd Property", "0", "err:1048"},
        {"x = \"abc", "0", "err:1033"},
        {"x = 1 $", "0", "err:1032"},
        {"x = 1\ny = (", "IsEmpty(x)", "err:1023"},
    };
    expectAll(cases);
}

TEST(ConformErrors, ExecuteEvalScoping) {
    const Case cases[] = {
        {"Dim r\nDim g : g = 1\nSub T\n Dim g : g = 2\n Execute \"g = 3\"\n r = g\nEnd Sub\nT", "r & g",
         "String:31"},
        {"Dim r\nDim g : g = 1\nSub T\n Dim g : g = 2\n ExecuteGlobal \"g = 4\"\n r = g\nEnd Sub\nT", "r & g",
         "String:24"},
        {"Dim r\nDim g : g = 1\nSub T\n Dim g : g = 2\n r = Eval(\"g\")\nEnd Sub\nT", "r", "Integer:2"},
        {"Execute \"Dim q : q = 5\"", "q", "Integer:5"},
        {"ExecuteGlobal \"Function Q : Q = 5 : End Function\"", "Q()", "Integer:5"},
        {"", "Eval(\"1 = 1\")", "Boolean:True"},
        {"", "Eval(\"1 + 1\")", "Integer:2"},
        {"x = 1\nExecute \"x = 2 = 2\"", "x", "Boolean:True"},
    };
    expectAll(cases);
}

// What Execute declares inside a procedure (Dim, or a name it assigns) is a
// variable of the running call: later Execute and Eval in that call see it,
// the module does not, and the next call starts without it.
TEST(ConformStatements, ExecuteDeclaresInTheCallersScope) {
    const Case cases[] = {
        {"Dim r\nSub T\n Execute \"Dim q : q = 5\"\n r = Eval(\"q\")\nEnd Sub\nT", "r & IsEmpty(q)", "String:5True"},
        {"Dim r\nSub T\n Execute \"Dim q\"\n Execute \"q = 7\"\n r = Eval(\"q\")\nEnd Sub\nT", "r & IsEmpty(q)", "String:7True"},
        {"Dim r\nSub T\n Execute \"Dim q : q = 5\"\n r = q\nEnd Sub\nT", "r & IsEmpty(q)", "String:5True"},
        {"Dim r\nSub T\n Execute \"z = 3\"\n r = Eval(\"z\")\nEnd Sub\nT", "r & IsEmpty(z)", "String:3True"},
        {"Dim r\nSub T\n Execute \"n = n + 1\"\n r = r & Eval(\"n\")\nEnd Sub\nT : T", "r", "String:11"},
        {"Class C\n Function F\n  Execute \"Dim v : v = 2\"\n  F = Eval(\"v * 3\")\n End Function\nEnd Class\nSet o = New C",
         "o.F & IsEmpty(v)", "String:6True"},
        {"Dim r\nSub T\n Execute \"Dim a(2) : a(1) = 9\"\n r = Eval(\"UBound(a) & a(1)\")\nEnd Sub\nT", "r", "String:29"},
        {"Dim r\nSub Inc(x)\n x = x + 1\nEnd Sub\nSub T\n Execute \"Dim c : c = 1 : Inc c\"\n r = Eval(\"c\")\nEnd Sub\nT", "r",
         "Integer:2"},
        {"Dim r\nSub T\n Execute \"Dim a : a = 1 : Execute \"\"Dim b : b = a + 1\"\"\"\n r = Eval(\"a + b\")\nEnd Sub\nT",
         "r & IsEmpty(b)", "String:3True"},
        {"Function F(n)\n Execute \"Dim v : v = n\"\n If n > 0 Then F = Eval(\"v\") + F(n - 1) Else F = 0\nEnd Function", "F(3)",
         "Integer:6"},
        // A local of the procedure stays the one Execute reaches.
        {"Dim r\nSub T\n Dim k : k = 1\n Execute \"Dim k : k = k + 1\"\n r = k\nEnd Sub\nT", "r", "Integer:2"},
        // Procedures that Execute defines are global all the same.
        {"Sub T\n Execute \"Function G : G = 8 : End Function\"\nEnd Sub\nT", "G()", "Integer:8"},
        {"Dim r\nSub T\n ExecuteGlobal \"Dim gq : gq = 4\"\n r = gq\nEnd Sub\nT", "r & gq", "String:44"},
    };
    expectAll(cases);
}

// Code that Eval, Execute and ExecuteGlobal cannot compile fails the
// statement that ran it, so On Error Resume Next traps it.
TEST(ConformErrors, CompileErrorsOfCodeRunAtRunTime) {
    const Case cases[] = {
        {"On Error Resume Next\nExecute \"x = 1 2\"\nr = Err.Number", "r", "Long:1025"},
        {"On Error Resume Next\nx = Eval(\"1 +\")\nr = Err.Number", "r", "Long:1023"},
        {"On Error Resume Next\nExecuteGlobal \"x = (1\"\nr = Err.Number & \"|\" & Err.Source", "r",
         "String:1006|Microsoft VBScript compilation error"},
        {"On Error Resume Next\nExecute \"x = 1 2\"\nr = 7", "r", "Integer:7"},
        {"Execute \"x = 1 2\"", "0", "err:1025"},
        {"", "Eval(\"1 +\")", "err:1023"},
    };
    expectAll(cases);
}

// Errors through nested calls, Raise without a source, errors in New and Eval.
TEST(ConformErrors, ResumeNextThroughNestedCalls) {
    const Case cases[] = {
        {"On Error Resume Next\nx = UndefinedFunc()", "Err.Number", "Long:13"},
        {"On Error Resume Next\nErr.Raise 11\nErr.Raise 6", "Err.Number", "Long:6"},
        {"Sub Inner\n x = 1 / 0\n log = log & \"inner\"\nEnd Sub\nSub Middle\n Inner\n log = log & \"middle\"\nEnd Sub\nDim log\nOn Error Resume Next\nMiddle\nlog = log & \"outer\"", "log", "String:outer"},
        {"Sub S\n On Error Resume Next\nEnd Sub\nS\nx = 1 / 0", "0", "err:11"},
        {"On Error Resume Next\nDim a(2)\na(5) = 1\nr = Err.Number", "r", "Long:9"},
        {"On Error Resume Next\nErr.Raise 5, , \"x\"", "Err.Description & \"|\" & Err.Source", "String:x|Microsoft VBScript runtime error"},
        {"Class Bad\n Sub Class_Initialize\n x = 1 / 0\n End Sub\nEnd Class\nSet b = New Bad", "0", "err:11"},
        {"On Error Resume Next\nr = Eval(\"1/0\")", "Err.Number", "Long:11"},
    };
    expectAll(cases);
}

// Names redefined in procedures and classes, expected keywords, Default rules.
TEST(ConformErrors, MoreCompileErrors) {
    const Case cases[] = {
        {"Sub S\nDim x\nDim x\nEnd Sub", "0", "err:1041"},
        {"Class C\nPublic v\nPublic v\nEnd Class", "0", "err:1041"},
        {"Function F(a, a)\nEnd Function", "0", "err:1041"},
        {"Set x", "0", "err:1011"},
        {"Dim x = 1", "0", "err:1025"},
        {"For i = 1 3\nNext", "0", "err:1013"},
        {"Function F\nEnd Sub", "0", "err:1015"},
        {"Sub S\nEnd Function", "0", "err:1016"},
        {"Class C\nProperty Let P\nEnd Property\nEnd Class", "0", "err:1054"},
        {"Class C\nPublic Default Function F\nEnd Function\nPublic Default Function G\nEnd Function\nEnd Class", "0", "err:1052"},
        {"Sub S\nExit Property\nEnd Sub", "0", "err:1039"},
    };
    expectAll(cases);
}

// Set of non-objects, indexing non-arrays, calls of undefined procedures.
TEST(ConformErrors, ObjectAndCallErrors) {
    const Case cases[] = {
        {"Dim a : a = Array(1) : Set b = a", "0", "err:424"},
        {"Dim s : s = \"x\" : s.Length", "0", "err:424"},
        {"x = Array(1)(5)", "0", "err:9"},
        {"Undefined 1", "0", "err:13"},
        {"Dim x : x = 1 : y = x(0)", "0", "err:13"},
        {"Dim x : x(0) = 1", "0", "err:13"},
    };
    expectAll(cases);
}

// ExecuteGlobal classes, GetRef, Const, continuation, bracketed names.
TEST(ConformStatements, ExecuteGetRefConstAndSyntax) {
    const Case cases[] = {
        {"ExecuteGlobal \"Class Z\" & vbLf & \"Public v\" & vbLf & \"End Class\"\nSet z = New Z", "TypeName(z)", "String:Z"},
        {"", "IsEmpty(Eval(\"undefinedname\"))", "Boolean:True"},
        {"Execute \"a = 1 : b = 2\"", "a + b", "Integer:3"},
        {"Execute \"a = 1\" & vbCrLf & \"b = a + 1\"", "b", "Integer:2"},
        {"Function Dbl(x)\n Dbl = x * 2\nEnd Function\nSet f = GetRef(\"Dbl\") : r = f(2) + f(3)", "r", "Integer:10"},
        {"Function Dbl(x)\n Dbl = x * 2\nEnd Function", "TypeName(GetRef(\"Dbl\"))", "String:Object"},
        {"Stop\nr = 1", "r", "Integer:1"},
        {"Const a = -5", "a", "Integer:-5"},
        {"Const a = &HFF", "a", "Integer:255"},
        {"Const d = #1/2/2003#", "d", "Date:2003-01-02"},
        {"Private x : x = 1\nPublic y : y = 2", "x + y", "Integer:3"},
        {"x = \"a\" _\n & \"b\"", "x", "String:ab"},
        {"b = 1 : c = 1 : a = b = c", "a", "Boolean:True"},
        {"Dim [a b] : [a b] = 5", "[a b]", "Integer:5"},
        {"", "1 Is 1", "err:424"},
        {"Const c = 1\nc = 2", "0", "err:501"},
    };
    expectAll(cases);
}

// Descriptions of raised numbers, the source of run-time errors, Clear.
TEST(ConformErrors, DefaultDescriptionsAndSources) {
    const Case cases[] = {
        {"On Error Resume Next\nErr.Raise 9, \"s\"", "Err.Description", "String:Subscript out of range"},
        {"On Error Resume Next\nx = 1 / 0\ny = Err.Source", "y", "String:Microsoft VBScript runtime error"},
        {"On Error Resume Next\nx = 1 / 0 : Err.Clear", "\"[\" & Err.Source & \"]\"", "String:[]"},
    };
    expectAll(cases);
}

// Option Explicit inside procedures and with constants.
TEST(ConformErrors, OptionExplicitInProcedures) {
    const Case cases[] = {
        {"Option Explicit\nSub S\n x = 1\nEnd Sub\nS", "0", "err:500"},
        {"Option Explicit\nConst k = 1\nDim r : r = k", "r", "Integer:1"},
    };
    expectAll(cases);
}

// A loop counter that Option Explicit never declared is an undefined variable.
TEST(ConformErrors, UndeclaredLoopCounters) {
    const Case cases[] = {
        {"Option Explicit\nFor i = 1 To 2 : Next", "0", "err:500"},
        {"Option Explicit\nFor Each x In Array(1) : Next", "0", "err:500"},
        {"Option Explicit\nDim i\nFor i = 1 To 2 : Next", "i", "Integer:3"},
        {"Const c = 1\nFor c = 1 To 2 : Next", "0", "err:501"},
    };
    expectAll(cases);
}

// Errors of the Dictionary reach Err with their numbers and texts.
TEST(ConformErrors, HostObjectErrorTexts) {
    const Case cases[] = {
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nOn Error Resume Next\nd.Remove \"z\"", "Err.Number & \" \" & Err.Description", "String:32811 Element not found"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nOn Error Resume Next\nd.Add \"a\", 1 : d.Add \"a\", 1", "Err.Number & \" \" & Err.Description", "String:457 This key is already associated with an element of this collection"},
    };
    expectAll(cases);
}

// Duplicate methods in a class, Default on Let, Exit outside its block.
TEST(ConformErrors, DuplicateMembersAndMisplacedExits) {
    const Case cases[] = {
        {"Class C\nSub S\nEnd Sub\nSub S\nEnd Sub\nEnd Class", "0", "err:1041"},
        {"Class C\nPublic Default Property Let P(v)\nEnd Property\nEnd Class", "0", "err:1058"},
        {"Exit For", "0", "err:1039"},
        {"Function F\nExit Sub\nEnd Function", "0", "err:1039"},
        {"Sub S(ByVal)\nEnd Sub", "0", "err:1010"},
        {"Dim x(2)\nx(0, 0, 0) = 1", "0", "err:9"},
    };
    expectAll(cases);
}

// ExecuteGlobal from a procedure, Eval result subtypes, quotes in Eval.
TEST(ConformStatements, ExecuteGlobalFromProceduresAndEvalTypes) {
    const Case cases[] = {
        {"Dim r\nSub S\n ExecuteGlobal \"Sub X : r = 1 : End Sub\"\nEnd Sub\nS\nX", "r", "Integer:1"},
        {"", "TypeName(Eval(\"Now\"))", "String:Date"},
        {"", "Eval(\"\"\"a\"\" & \"\"b\"\"\")", "String:ab"},
        {"", "TypeName(Eval(\"1\"))", "String:Integer"},
    };
    expectAll(cases);
}

// Failed statements leave targets unchanged; errors from methods, properties and CreateObject.
TEST(ConformErrors, ResumeNextKeepsPriorValues) {
    const Case cases[] = {
        {"Dim r\nSub S(x)\n r = \"called\"\nEnd Sub\nOn Error Resume Next\nCall S(1 / 0)", "IsEmpty(r)", "Boolean:True"},
        {"On Error Resume Next\nx = 1 / 0 : y = 2", "y", "Integer:2"},
    };
    expectAll(cases);
}

// Errors from methods, property getters and CreateObject under Resume Next.
TEST(ConformErrors, ResumeNextThroughMembersAndFactories) {
    const Case cases[] = {
        {"Dim r\nOn Error Resume Next\nr = 1\nr = CInt(\"x\")\nr2 = r", "r2", "Integer:1"},
        {"Dim a(2)\nOn Error Resume Next\na(1) = 5\na(7) = 6\nn = a(1)", "n", "Integer:5"},
        {"On Error Resume Next\nSet o = CreateObject(\"No.Such\")\nr = IsEmpty(o)", "r & Err.Number", "String:True429"},
        {"On Error Resume Next\nErr.Raise 5\nr = Err.Number\nErr.Raise 6\nr = r & Err.Number", "r", "String:56"},
        {"Class C\n Public Function Boom\n  Boom = 1 / 0\n End Function\nEnd Class\nSet o = New C\nOn Error Resume Next\nr = o.Boom\nn = Err.Number", "IsEmpty(r) & n", "String:True11"},
        {"Class C\n Public Property Get P\n  Err.Raise 1001, \"C\", \"bad\"\n End Property\nEnd Class\nSet o = New C\nOn Error Resume Next\nx = o.P", "Err.Number & Err.Source & Err.Description", "String:1001Cbad"},
    };
    expectAll(cases);
}

// Private and local constants; a Let of an object whose default member takes arguments.
TEST(ConformStatements, ConstScopesAndLetOfObjectsWithoutDefault) {
    const Case cases[] = {
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d", "0", "err:450"},
        {"Private Const c = 1", "c", "Integer:1"},
        {"Sub S\n Const k = 2\n r = k\nEnd Sub", "0", "Integer:0"},
        {"Dim x()\nReDim x(2)", "UBound(x)", "Long:2"},
    };
    expectAll(cases);
}

// Functions of other dialects are undefined here: calling them is a type mismatch.
TEST(ConformErrors, FunctionsTheLanguageDoesNotHave) {
    const Case cases[] = {
        {"x = IIf(True, 1, 2)", "0", "err:13"},
        {"x = Format(1, \"0.00\")", "0", "err:13"},
        {"x = Val(\"12\")", "0", "err:13"},
        {"x = CVar(1)", "0", "err:13"},
        {"x = Str(1)", "0", "err:13"},
        {"x = Choose(1, \"a\")", "0", "err:13"},
        {"x = Nz(Null, 1)", "0", "err:13"},
        {"x = CDec(1)", "0", "err:13"},
        {"x = IsMissing(1)", "0", "err:13"},
        {"x = Environ(\"PATH\")", "0", "err:13"},
        {"x = Switch(True, 1)", "0", "err:13"},
        {"x = StrConv(\"a\", 1)", "0", "err:13"},
        {"x = Dir(\"a\")", "0", "err:13"},
        {"Debug.Print 1", "0", "err:424"},
        {"x = Mid$(\"abc\", 1)", "0", "err:1032"},
        {"", "CStr(Empty)", "String:"},
        {"", "Trim(123)", "String:123"},
    };
    expectAll(cases);
}

// Err.Raise 0 is an invalid call; help file and context are kept.
TEST(ConformErrors, RaiseOfZeroAndHelpFields) {
    const Case cases[] = {
        {"Err.Raise 0", "0", "err:5"},
        {"On Error Resume Next\nErr.Raise 5, , , \"help.chm\", 10", "Err.HelpFile & Err.HelpContext", "String:help.chm10"},
        // Left out, the help file and context are the ones Err holds.
        {"On Error Resume Next\nErr.Raise 1, \"src\", \"desc\", \"hf\", 7 : Err.Raise 5",
         "Err.Number & \"|\" & Err.Source & \"|\" & Err.Description & \"|\" & Err.HelpFile & \"|\" & Err.HelpContext",
         "String:5|src|desc|hf|7"},
        {"On Error Resume Next\nErr.HelpFile = \"a.chm\" : Err.HelpContext = 3 : Err.Raise 6, , , , 9",
         "Err.HelpFile & Err.HelpContext", "String:a.chm9"},
        {"On Error Resume Next\nErr.Raise 1, , , \"hf\", 7 : Err.Clear : Err.Raise 5",
         "\"[\" & Err.HelpFile & Err.HelpContext & \"]\"", "String:[0]"},
    };
    expectAll(cases);
}

// Execute and Eval run in the caller's scope: globals, parameters, class members; implicit names in procedures are local.
TEST(ConformStatements, ExecuteAndEvalSeeTheCallersNames) {
    const Case cases[] = {
        {"Dim g\nSub T\n Execute \"g = 5\"\nEnd Sub\nT", "g", "Integer:5"},
        {"Sub T\n x = 5\nEnd Sub\nT", "IsEmpty(x)", "Boolean:True"},
        {"Dim r\nSub T\n ExecuteGlobal \"Dim ng : ng = 3\"\n r = ng\nEnd Sub\nT", "r & ng", "String:33"},
        {"Dim r\nFunction T(a)\n r = Eval(\"a * 2\")\nEnd Function\nT 21", "r", "Integer:42"},
        {"Class C\n Public v\n Function Twice\n  Twice = Eval(\"v * 2\")\n End Function\nEnd Class\nSet o = New C : o.v = 4", "o.Twice", "Integer:8"},
    };
    expectAll(cases);
}

// MsgBox and InputBox are refused when the host allows no UI; values of the vb constants.
TEST(ConformStatements, DialogsRefusedWithoutUiAndConstants) {
    const Case cases[] = {
        {"MsgBox \"x\"", "0", "err:70"},
        {"x = InputBox(\"q\")", "0", "err:70"},
        {"", "CDate(\"2-Jan-2003\")", "Date:2003-01-02"},
        {"", "CStr(#1/2/2003 13:04:00#)", "String:1/2/2003 1:04:00 PM"},
        {"", "vbCrLf = Chr(13) & Chr(10)", "Boolean:True"},
        {"", "vbObjectError", "Long:-2147221504"},
        {"", "vbTextCompare & vbLongDate & vbUseDefault & vbFirstFourDays", "String:11-22"},
        {"", "Len(vbNullString) & Len(vbNullChar)", "String:01"},
        {"", "vbRed & \",\" & vbBlue & \",\" & vbWhite", "String:255,16711680,16777215"},
        {"", "vbOKCancel & vbYesNo & vbCritical & vbInformation", "String:141664"},
    };
    expectAll(cases);
}

// Declarations the compiler refuses: names declared twice in one block,
// constants that are not literals, a Default member that is not Public,
// property procedures whose arguments do not match, a name after Next.
TEST(ConformErrors, DeclarationsTheCompilerRefuses) {
    const Case cases[] = {
        {"Dim a\nDim A", "0", "err:1041"},
        {"Dim a(2)\nDim a(3)", "0", "err:1041"},
        {"Const c = 1\nConst c = 2", "0", "err:1041"},
        {"Dim c\nConst c = 2", "0", "err:1041"},
        {"Class C\nEnd Class\nClass C\nEnd Class", "0", "err:1041"},
        {"Function P\n P = 1\nEnd Function\nFunction P\n P = 2\nEnd Function", "P()", "Integer:2"},
        {"Sub P\nEnd Sub\nFunction P\n P = 3\nEnd Function", "P()", "Integer:3"},
        {"Dim P\nSub P\nEnd Sub", "0", "err:1041"},
        {"Dim a\nSub S\n Dim a\nEnd Sub", "0", "Integer:0"},
        {"Dim g : ExecuteGlobal \"Dim g\" : ExecuteGlobal \"Dim g\" : g = 2", "g", "Integer:2"},
        {"Const c = x", "0", "err:1045"},
        {"Const c = Chr(65)", "0", "err:1045"},
        {"Const a = 1 + 2", "0", "err:1045"},
        {"Const a = (1)", "0", "err:1045"},
        {"Const a = -2 ^ 2", "0", "err:1045"},
        {"Const a = -1.5, b = \"x\", t = True, n = Null", "a & b & t & IsNull(n)", "String:-1.5xTrueTrue"},
        {"Class C\nDefault Function F\nEnd Function\nEnd Class", "0", "err:1057"},
        {"Class C\nPublic Default Function F\n F = 3\nEnd Function\nEnd Class\nSet o = New C", "o & \"\"", "String:3"},
        {"Class C\nProperty Get P(a)\nEnd Property\nProperty Let P(v)\nEnd Property\nEnd Class", "0", "err:1051"},
        {"Class C\nProperty Set P(v)\nEnd Property\nProperty Get P(a)\nEnd Property\nEnd Class", "0", "err:1051"},
        {"Class C\nDim s\nProperty Get P(a)\n P = s & a\nEnd Property\nProperty Let P(a, v)\n s = v\nEnd Property\nEnd Class\nSet o = New C : o.P(1) = \"x\"", "o.P(2)", "String:x2"},
        {"For i = 1 To 3\nNext i", "0", "err:1025"},
        {"For Each x In Array(1)\nNext x", "0", "err:1025"},
        {"Sub T\n On Error Resume Next\n Execute \"Dim q : Dim q\"\n r = Err.Number\nEnd Sub\nDim r : T", "r", "Long:1041"},
    };
    expectAll(cases);
}

// The description of an error the script does not catch names its culprit
// (a variable, a procedure or library function, an object and its member);
// Err.Description inside the script does not.
struct Texts {
    std::string host, control, inside;
};

Texts textsOf(const std::string& code) {
    Texts t;
    {
        ScriptControl sc;
        sc.ExecuteStatement("SetLocale 1033");
        try {
            sc.AddCode(code);
        } catch (const AutomationError& e) {
            t.host = e.Description;
        }
        t.control = sc.Error().Description;
    }
    // The same code with the error trapped: On Error Resume Next goes after
    // a leading Option Explicit.
    std::string trapped = code;
    std::size_t at = code.rfind("Option Explicit\n", 0) == 0 ? 16 : 0;
    trapped.insert(at, "On Error Resume Next\n");
    ScriptControl sc;
    sc.ExecuteStatement("SetLocale 1033");
    sc.AddCode(trapped + "\nDim errText : errText = Err.Description");
    t.inside = sc.Eval("errText").toUtf8();
    return t;
}

TEST(ConformErrors, UncaughtErrorsNameTheirCulprit) {
    struct Row {
        std::string code, bare, culprit;
    };
    const std::string dict = "Set d = CreateObject(\"Scripting.Dictionary\")\n";
    const Row rows[] = {
        {"Option Explicit\nDim a\nb = 1", "Variable is undefined", "b"},
        {"Option Explicit\nDim a\na = Undeclared + 1", "Variable is undefined", "Undeclared"},
        {"Option Explicit\nFor Each k In Array(1)\nNext", "Variable is undefined", "k"},
        {"x = NoSuchFunction(1)", "Type mismatch", "NoSuchFunction"},
        {"NoSuchSub 1, 2", "Type mismatch", "NoSuchSub"},
        {"x = CLng(\"abc\")", "Type mismatch", "CLng"},
        {"x = cint(\"abc\")", "Type mismatch", "cint"},  // as written
        {"x = UBound(5)", "Type mismatch", "UBound"},
        {"x = Mid(\"abc\", 0)", "Invalid procedure call or argument", "Mid"},
        {"x = CInt(40000)", "Overflow", "CInt"},
        {"x = CLng(Null)", "Invalid use of Null", "CLng"},
        {"x = Left(\"a\")", "Wrong number of arguments or invalid property assignment", "Left"},
        {"Sub S(a)\nEnd Sub\nS 1, 2", "Wrong number of arguments or invalid property assignment", "S"},
        {"Function F(a, b)\nEnd Function\nx = F(1)", "Wrong number of arguments or invalid property assignment", "F"},
        {"Dim o\no.Foo", "Object required", "o"},
        {"Set o = Nothing\nx = o.Foo", "Object required", "o"},
        {dict + "d.Nope", "Object doesn't support this property or method", "d.Nope"},
        {dict + "x = d.Nope(1)", "Object doesn't support this property or method", "d.Nope"},
        {"Class C\nEnd Class\nSet o = New C\no.Nope = 1", "Object doesn't support this property or method", "o.Nope"},
        {"Set o = CreateObject(\"No.Such\")", "ActiveX component can't create object", "No.Such"},
        {"Set o = New Nope", "Class not defined", "Nope"},
        {"Const c = 1\nc = 2", "Illegal assignment", "c"},
        // Raised inside a procedure: the culprit is where it failed.
        {"Function F\n F = CLng(\"x\")\nEnd Function\nx = F()", "Type mismatch", "CLng"},
        // Errors that name nothing.
        {"x = 1 / 0", "Division by zero", ""},
        {"Err.Raise 5", "Invalid procedure call or argument", ""},
        {"Dim a(1)\nx = a(2)", "Subscript out of range", ""},
        {"x = CLng(\"1\" / 0)", "Division by zero", ""},  // in an argument, not in CLng
    };
    for (const Row& r : rows) {
        Texts t = textsOf(r.code);
        const std::string named = r.culprit.empty() ? r.bare : r.bare + ": '" + r.culprit + "'";
        EXPECT_EQ(t.host, named) << r.code;
        EXPECT_EQ(t.control, named) << r.code;
        EXPECT_EQ(t.inside, r.bare) << r.code;
    }
    // A lone expression the host evaluates names its culprit too.
    ScriptControl sc;
    try {
        sc.Eval("CLng(\"x\")");
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Description, "Type mismatch: 'CLng'");
    }
}

} // namespace
} // namespace qz::script::conformance
