// The ScriptControl as its hosts use it: objects, code, Run, Eval, Reset,
// time-out, the Error object and events, locales, and a template-shaped program.
#include "ScriptTestUtil.h"

#include "platform/automation/Collection.h"
#include "platform/automation/LocaleFormat.h"

#include <vector>

namespace qz::script::test {
namespace {

TEST(ScriptControlObjects, AddObjectNamesAndMembers) {
    auto rec = makeRef<Recorder>();
    ScriptControl sc;
    EXPECT_EQ(sc.Language(), "VBScript");
    EXPECT_NO_THROW(sc.setLanguage("vbscript"));
    EXPECT_THROW(sc.setLanguage("JScript"), AutomationError);
    sc.AddObject("Rec", rec, true);
    EXPECT_EQ(errorOf([&] { sc.AddObject("rec", rec); }).Number, 457);
    EXPECT_EQ(errorOf([&] { sc.AddObject("", rec); }).Number, 5);
    // With its members added, the object's members are global names.
    sc.AddCode("Log \"direct\" : REC.Log \"named\" : Value = 42");
    EXPECT_EQ(rec->log, "direct|named|");
    EXPECT_EQ(sc.Eval("Value + Rec").toLong(), 84);
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("Set Rec = Nothing"); }).Number, 501);
}

TEST(ScriptControlObjects, HostCollectionsInForEach) {
    auto items = makeRef<Collection>();
    items->add(Variant(u"a"));
    items->add(Variant(u"b"));
    items->add(Variant(u"c"));
    ScriptControl sc;
    sc.AddObject("items", items);
    sc.AddCode("Dim s, it : For Each it In items : s = s & it : Next");
    EXPECT_EQ(sc.Eval("s").toUtf8(), "abc");
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("For Each it In 5 : Next"); }).Number, 451);
}

TEST(ScriptControlRun, RunPassesArgumentsByReferenceAndReturnsTheResult) {
    ScriptControl sc;
    sc.AddCode(
        "Function Sum(a, b) : Sum = a + b : End Function\r\n"
        "Sub Bump(n) : n = n + 1 : End Sub\r\n"
        "Sub Nothing1 : End Sub\r\n");
    std::vector<Variant> args{Variant(static_cast<std::int32_t>(2)), Variant(static_cast<std::int32_t>(3))};
    EXPECT_EQ(sc.Run("sum", args).toLong(), 5);
    std::vector<Variant> one{Variant(static_cast<std::int32_t>(9))};
    EXPECT_TRUE(sc.Run("Bump", one).isEmpty());
    EXPECT_EQ(one[0].toLong(), 10);
    EXPECT_TRUE(sc.Run("Nothing1").isEmpty());
    EXPECT_EQ(errorOf([&] { sc.Run("Missing"); }).Number, 35);
    EXPECT_EQ(errorOf([&] { sc.Run("Sum"); }).Number, 450);
}

TEST(ScriptControlRun, ResetDropsCodeVariablesAndObjects) {
    auto rec = makeRef<Recorder>();
    ScriptControl sc;
    sc.AddObject("rec", rec);
    sc.AddCode("Dim keep : keep = 5\r\nSub P : End Sub");
    sc.Reset();
    EXPECT_TRUE(sc.Eval("keep").isEmpty());
    EXPECT_EQ(errorOf([&] { sc.Run("P"); }).Number, 35);
    EXPECT_NO_THROW(sc.AddObject("rec", rec));   // the name is free again
}

// Instances that refer to each other are freed when the control drops its
// code; the host object one of them holds is released with them.
TEST(ScriptControlRun, ResetAndDestructionFreeInstancesInCycles) {
    const char* code =
        "Class T\r\n Public other, host\r\nEnd Class\r\n"
        "Set a = New T : Set a.other = a : Set a.host = rec\r\n"
        "Set b = New T : Set c = New T : Set b.other = c : Set c.other = b : Set c.host = rec\r\n"
        "Set a = Nothing : Set b = Nothing : Set c = Nothing";
    auto rec = makeRef<Recorder>();
    {
        ScriptControl sc;
        sc.AddObject("rec", rec);
        sc.AddCode(code);
        EXPECT_GT(rec->refCount(), 2u);  // still held by the cycles
        sc.Reset();
        EXPECT_EQ(rec->refCount(), 1u);
        sc.AddObject("rec", rec);
        sc.AddCode(code);
    }
    EXPECT_EQ(rec->refCount(), 1u);
}

TEST(ScriptControlEvents, ErrorEventRunsBeforeTheCallReturns) {
    ScriptControl sc;
    std::vector<std::string> order;
    sc.onError = [&] {
        order.push_back("event " + std::to_string(sc.Error().Number) + " line " +
                        std::to_string(sc.Error().Line));
    };
    try {
        sc.AddCode("x = 1\r\nIf x Then\r\n");
    } catch (const AutomationError& e) {
        order.push_back("caught " + std::to_string(e.Number));
    }
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], "event 1014 line 3");
    EXPECT_EQ(order[1], "caught 1014");
    EXPECT_EQ(sc.Error().Source, kCompileErrorSource);
    EXPECT_EQ(sc.Error().Description, "Expected 'End'");
    sc.Error().Clear();
    EXPECT_EQ(sc.Error().Number, 0);
    EXPECT_EQ(sc.Error().Line, 0);
}

TEST(ScriptControlEvents, TimeoutStopsTightLoopsAndSlowHostCalls) {
    auto rec = makeRef<Recorder>();
    ScriptControl sc;
    sc.AddObject("rec", rec);
    int timeouts = 0;
    sc.onTimeout = [&] { ++timeouts; };
    sc.setTimeout(100);
    AutomationError e = errorOf([&] { sc.AddCode("Do : x = x + 1 : Loop"); });
    EXPECT_EQ(e.Number, kTimeoutErrorNumber);
    EXPECT_EQ(timeouts, 1);
    // On Error Resume Next does not swallow the stop.
    e = errorOf([&] { sc.ExecuteStatement("On Error Resume Next : Do : rec.Wait 30 : rec.Log \"x\" : Loop"); });
    EXPECT_EQ(e.Number, kTimeoutErrorNumber);
    EXPECT_EQ(timeouts, 2);
    EXPECT_LE(rec->calls, 5);
    // A Timeout of 0 or -1 means no limit; the control stays usable.
    sc.setTimeout(-1);
    EXPECT_EQ(sc.Eval("1 + 2").toLong(), 3);
}

TEST(ScriptControlLocale, SetLocaleGovernsConversionsAndLastsBetweenCalls) {
    setCurrentLocale(LocaleFormat::english());
    ScriptControl sc;
    sc.AddCode("Dim prev : prev = SetLocale(1036)");
    EXPECT_EQ(sc.Eval("GetLocale()").toLong(), 1036);
    EXPECT_EQ(sc.Eval("1.5 & \"\"").toUtf8(), "1,5");
    // The caller's locale is back once the script returns.
    EXPECT_EQ(currentLocale().lcid, 1033u);
    sc.ExecuteStatement("SetLocale \"de-DE\"");
    EXPECT_EQ(sc.Eval("GetLocale()").toLong(), 1031);
    EXPECT_EQ(sc.Eval("CStr(1234.5)").toUtf8(), "1234,5");
    sc.ExecuteStatement("SetLocale 1033");
    EXPECT_EQ(sc.Eval("CStr(0.25)").toUtf8(), "0.25");
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("SetLocale \"xx-nowhere\""); }).Number, 5);
}

// The shape of a generated production program: libraries, module-level code,
// Sub Main with output calls and SetLocale, and an error on a known line.
TEST(ScriptControlTemplate, GeneratedProgramReportsTheFailingLineExactly) {
    auto out = makeRef<Recorder>();
    ScriptControl sc;
    sc.AddObject("oRun", out);
    int events = 0;
    ScriptError seen;
    sc.onError = [&] { ++events; seen = sc.Error(); };
    const char* program =
        "\r\n"                                                   // 1
        "Function qzPad(s, n)\r\n"                               // 2
        "  qzPad = Right(String(n, \"0\") & s, n)\r\n"           // 3
        "End Function\r\n"                                       // 4
        "Dim gTotal\r\n"                                         // 5
        "gTotal = 0\r\n"                                         // 6
        "Sub Main()\r\n"                                         // 7
        "SetLocale(1033)\r\n"                                    // 8
        "oRun.Log (\"{\\rtf1 \")\r\n"                            // 9
        "Dim i\r\n"                                              // 10
        "For i = 1 To 3\r\n"                                     // 11
        "  gTotal = gTotal + i\r\n"                              // 12
        "  oRun.Log \"row \" & i\r\n"                            // 13
        "Next\r\n"                                               // 14
        "If IsNull(gTotal) or IsEmpty(gTotal) Then\r\n"          // 15
        "   oRun.Log \"\"\r\n"                                   // 16
        "Else \r\n"                                              // 17
        "oRun.Log FormatNumber(gTotal, 2, -1, 0, -1)\r\n"        // 18
        "End If \r\n"                                            // 19
        "oRun.Log CLng(\"not a number\")\r\n"                    // 20
        "oRun.Log \"unreached\"\r\n"                             // 21
        "End Sub";                                               // 22
    ASSERT_NO_THROW(sc.AddCode(program));
    EXPECT_EQ(events, 0);
    AutomationError e = errorOf([&] { sc.Run("Main"); });
    EXPECT_EQ(e.Number, 13);
    EXPECT_EQ(e.Description, "Type mismatch: 'CLng'");
    EXPECT_EQ(events, 1);
    EXPECT_EQ(seen.Number, 13);
    EXPECT_EQ(seen.Source, kRuntimeErrorSource);
    EXPECT_EQ(seen.Line, 20);
    EXPECT_EQ(seen.Text, "oRun.Log CLng(\"not a number\")");
    EXPECT_EQ(out->log, "{\\rtf1 |row 1|row 2|row 3|6.00|");
}

} // namespace
} // namespace qz::script::test

namespace qz::script::test {
namespace {

TEST(ScriptControlObjects, ObjectsAddedAfterTheCodeAreFound) {
    auto rec = makeRef<Recorder>();
    ScriptControl sc;
    sc.AddCode("Option Explicit\r\nSub Report : late.Log \"seen\" : End Sub");
    EXPECT_EQ(errorOf([&] { sc.Run("Report"); }).Number, 500);
    sc.AddObject("late", rec);
    sc.Run("Report");
    EXPECT_EQ(rec->log, "seen|");
}

} // namespace
} // namespace qz::script::test
