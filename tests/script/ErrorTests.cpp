// Run-time errors: numbers, texts, sources, lines, On Error Resume Next and
// the Err object, and errors of host objects.
#include "ScriptTestUtil.h"

namespace qz::script::test {
namespace {

TEST(ScriptErrors, RuntimeErrorCarriesNumberTextSourceAndLine) {
    ScriptControl sc;
    int events = 0;
    ScriptError seen;
    sc.onError = [&] { ++events; seen = sc.Error(); };
    AutomationError e = errorOf([&] {
        sc.AddCode("Dim a\r\na = 1\r\n\r\n   a = a / 0   \r\na = 2\r\n");
    });
    EXPECT_EQ(e.Number, 11);
    EXPECT_EQ(e.Source, kRuntimeErrorSource);
    EXPECT_EQ(e.Description, "Division by zero");
    EXPECT_EQ(events, 1);
    EXPECT_EQ(seen.Number, 11);
    EXPECT_EQ(seen.Line, 4);
    EXPECT_EQ(seen.Column, 4);
    EXPECT_EQ(seen.Text, "a = a / 0");
    EXPECT_EQ(seen.Description, "Division by zero");
    // The statements before the error ran, the ones after it did not.
    EXPECT_EQ(sc.Eval("a").toLong(), 1);
}

TEST(ScriptErrors, LineOfAnErrorInsideAProcedureIsWhereItHappened) {
    ScriptControl sc;
    sc.AddCode(
        "Sub Inner(x)\r\n"
        "  Dim arr(2)\r\n"
        "  arr(x) = 1\r\n"
        "End Sub\r\n"
        "Sub Outer\r\n"
        "  Inner 5\r\n"
        "End Sub\r\n");
    AutomationError e = errorOf([&] { sc.Run("Outer"); });
    EXPECT_EQ(e.Number, 9);
    EXPECT_EQ(e.Description, "Subscript out of range");
    EXPECT_EQ(sc.Error().Line, 3);
    EXPECT_EQ(sc.Error().Text, "arr(x) = 1");
}

TEST(ScriptErrors, ResumeNextAndTheErrObject) {
    Script s(
        "Dim n1, d1, n2, n3, after\r\n"
        "On Error Resume Next\r\n"
        "x = 1 / 0\r\n"
        "n1 = Err.Number : d1 = Err.Description\r\n"
        "Err.Clear\r\n"
        "n2 = Err.Number\r\n"
        "Err.Raise vbObjectError + 7, \"MySource\", \"my text\"\r\n"
        "n3 = Err.Number & \"/\" & Err.Source & \"/\" & Err.Description\r\n"
        "On Error GoTo 0\r\n"
        "after = Err.Number\r\n");
    EXPECT_EQ(s.num("n1"), 11);
    EXPECT_EQ(s.str("d1"), "Division by zero");
    EXPECT_EQ(s.num("n2"), 0);
    EXPECT_EQ(s.str("n3"), std::to_string(static_cast<std::int32_t>(0x80040007u)) + "/MySource/my text");
    EXPECT_EQ(s.num("after"), 0);
}

TEST(ScriptErrors, ResumeNextIsLocalToTheProcedure) {
    ScriptControl sc;
    sc.AddCode(
        "Dim trace\r\n"
        "Sub Failing : trace = trace & \"a\" : Err.Raise 13 : trace = trace & \"never\" : End Sub\r\n"
        "Sub Caller\r\n"
        "  On Error Resume Next\r\n"
        "  Failing\r\n"
        "  trace = trace & \"b\" & Err.Number\r\n"
        "End Sub\r\n"
        "Caller\r\n");
    EXPECT_EQ(sc.Eval("trace").toUtf8(), "ab13");
    // Back at module level no handler is active.
    AutomationError e = errorOf([&] { sc.ExecuteStatement("trace = 1 / 0"); });
    EXPECT_EQ(e.Number, 11);
}

TEST(ScriptErrors, ResumeNextEntersTheBranchOfAFailingCondition) {
    Script s(
        "Dim r : r = \"\"\r\n"
        "On Error Resume Next\r\n"
        "If 1 / 0 = 5 Then\r\n"
        "  r = \"then\"\r\n"
        "Else\r\n"
        "  r = \"else\"\r\n"
        "End If\r\n");
    EXPECT_EQ(s.str("r"), "then");
}

TEST(ScriptErrors, HostObjectErrorsReachTheScriptUnchanged) {
    auto rec = makeRef<Recorder>();
    ScriptControl sc;
    sc.AddObject("host", rec);
    sc.AddCode(
        "Dim n, src, d\r\n"
        "On Error Resume Next\r\n"
        "host.Fail 1234, \"HostSource\", \"host said no\"\r\n"
        "n = Err.Number : src = Err.Source : d = Err.Description\r\n");
    EXPECT_EQ(sc.Eval("n").toLong(), 1234);
    EXPECT_EQ(sc.Eval("src").toUtf8(), "HostSource");
    EXPECT_EQ(sc.Eval("d").toUtf8(), "host said no");

    AutomationError e = errorOf([&] { sc.ExecuteStatement("host.Fail -2147217900, \"DB\", \"bad SQL\""); });
    EXPECT_EQ(e.Number, -2147217900);
    EXPECT_EQ(e.Source, "DB");
    EXPECT_EQ(e.Description, "bad SQL");
    EXPECT_EQ(sc.Error().Line, 1);
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("host.NoSuchMember"); }).Number, 438);
    // An HRESULT of the script facility is the script's own number.
    sc.ExecuteStatement("On Error Resume Next : host.Fail &H800A01A8 : n = Err.Number");
    EXPECT_EQ(sc.Eval("n").toLong(), 424);
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("host.Fail &H800A000D"); }).Number, 13);
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("host.Log"); }).Number, 450);
    // A C++ exception of a host object becomes a script error, not a crash.
    AutomationError bug = errorOf([&] { sc.ExecuteStatement("x = 1\r\nhost.Throw"); });
    EXPECT_EQ(bug.Number, kErrorFail);
    EXPECT_EQ(bug.Description, "host bug");
    EXPECT_EQ(sc.Error().Line, 2);
}

TEST(ScriptErrors, CommonRuntimeErrorNumbers) {
    Script s("Dim arr(1), obj, str : str = \"abc\"");
    struct Case { const char* stmt; int number; };
    const Case cases[] = {
        {"x = arr(2)", 9},
        {"x = str(1)", 13},
        {"x = obj.Name", 424},
        {"Set obj = Nothing : obj.Name = 1", 424},
        {"x = CLng(\"x\")", 13},
        {"x = CInt(40000)", 6},
        {"Err.Raise 0", 5},
        {"NoSuchProc 1, 2", 13},
    };
    for (const auto& c : cases) {
        AutomationError e = errorOf([&] { s.sc.ExecuteStatement(c.stmt); });
        EXPECT_EQ(e.Number, c.number) << c.stmt;
    }
}

} // namespace
} // namespace qz::script::test
