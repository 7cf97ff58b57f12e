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

} // namespace
} // namespace qz::script::conformance
