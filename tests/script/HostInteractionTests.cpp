// What a host meets: MsgBox and InputBox through the UI host, Run on classes
// and objects, errors inside classes, and the library objects from script.
#include "ScriptTestUtil.h"

#include "platform/ui/UiHost.h"

namespace qz::script::test {
namespace {

TEST(ScriptUserInterface, MsgBoxAndInputBoxNeedAllowUI) {
    ui::HeadlessUiHost host;
    host.queueMsgBoxResult(7);  // vbNo
    host.queueInputBox(std::string("typed"));
    host.queueInputBox(std::nullopt);  // cancelled
    ScriptControl sc;
    sc.setUiHost(&host);
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("MsgBox \"hi\""); }).Number, 70);
    EXPECT_TRUE(host.requests().empty());
    sc.setAllowUI(true);
    sc.AddCode(
        "Dim answer, typed, cancelled\r\n"
        "answer = MsgBox(\"Continue?\", vbYesNo + vbQuestion, \"Title\")\r\n"
        "typed = InputBox(\"Name?\", \"Ask\", \"default\")\r\n"
        "cancelled = InputBox(\"Again?\")\r\n");
    EXPECT_EQ(sc.Eval("answer").toLong(), 7);
    EXPECT_EQ(sc.Eval("typed").toUtf8(), "typed");
    EXPECT_EQ(sc.Eval("cancelled").toUtf8(), "");
    auto boxes = host.requests(ui::UiRequest::MsgBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, "Continue?");
    EXPECT_EQ(boxes[0].style, 36);
    EXPECT_EQ(boxes[0].title, "Title");
    auto inputs = host.requests(ui::UiRequest::InputBox);
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[0].text, "default");
}

TEST(ScriptClasses, IndexedPropertiesExitPropertyAndErrorsInside) {
    ScriptControl sc;
    sc.AddCode(
        "Class Grid\r\n"                                                  // 1
        "  Private cells(3, 3)\r\n"                                       // 2
        "  Public Default Property Get Cell(r, c) : Cell = cells(r, c) : End Property\r\n"
        "  Public Property Let Cell(r, c, v)\r\n"                         // 4
        "    If v = \"\" Then Exit Property\r\n"                          // 5
        "    cells(r, c) = v\r\n"                                         // 6
        "  End Property\r\n"                                              // 7
        "  Public Sub Fail() : cells(9, 9) = 1 : End Sub\r\n"             // 8
        "  Private Sub Class_Initialize() : cells(0, 0) = \"origin\" : End Sub\r\n"
        "End Class\r\n"                                                   // 10
        "Dim g : Set g = New Grid\r\n"                                    // 11
        "g.Cell(1, 2) = \"x\"\r\n"                                        // 12
        "g.Cell(1, 2) = \"\"\r\n");                                       // 13
    EXPECT_EQ(sc.Eval("g.Cell(1, 2)").toUtf8(), "x");
    EXPECT_EQ(sc.Eval("g(0, 0)").toUtf8(), "origin");
    AutomationError e = errorOf([&] { sc.ExecuteStatement("g.Fail"); });
    EXPECT_EQ(e.Number, 9);
    EXPECT_EQ(sc.Error().Line, 8);  // the line inside the class, in the code that defined it
    EXPECT_EQ(sc.Error().Text, "Public Sub Fail() : cells(9, 9) = 1 : End Sub");

    sc.AddCode(
        "Class Broken\r\n"
        "  Private Sub Class_Initialize() : Err.Raise 5 : End Sub\r\n"
        "End Class\r\n");
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("Set b = New Broken"); }).Number, 5);
}

TEST(ScriptClasses, WithOnClassObjectsAndMeInsideMethods) {
    Script s(
        "Class Counter\r\n"
        "  Public Count\r\n"
        "  Public Function Add(n) : Count = Count + n : Set Add = Me : End Function\r\n"
        "End Class\r\n"
        "Dim c : Set c = New Counter\r\n"
        "With c\r\n"
        "  .Count = 1\r\n"
        "  .Add(2).Add 3\r\n"
        "  With .Add(4)\r\n"
        "    .Count = .Count * 10\r\n"
        "  End With\r\n"
        "End With\r\n");
    EXPECT_EQ(s.num("c.Count"), 100);
}

TEST(ScriptLibraryObjects, DictionaryRegExpAndForEach) {
    Script s(
        "Dim d, k, keys, re, m, found\r\n"
        "Set d = CreateObject(\"Scripting.Dictionary\")\r\n"
        "d.Add \"one\", 1 : d.Add 2, \"two\" : d(\"three\") = 3\r\n"
        "For Each k In d : keys = keys & k & \";\" : Next\r\n"
        "Set re = New RegExp\r\n"
        "re.Pattern = \"(\\w+)@(\\w+)\" : re.Global = True\r\n"
        "For Each m In re.Execute(\"a@b, c@d\") : found = found & m.SubMatches(1) : Next\r\n");
    EXPECT_EQ(s.str("keys"), "one;2;three;");
    EXPECT_EQ(s.num("d.Count"), 3);
    EXPECT_EQ(s.str("d(2)"), "two");
    EXPECT_EQ(s.str("found"), "bd");
    EXPECT_EQ(errorOf([&] { s.sc.ExecuteStatement("d.Add \"one\", 5"); }).Number, 457);
    EXPECT_EQ(errorOf([&] { s.eval("CreateObject(\"No.Such\")"); }).Number, 429);
}

TEST(ScriptControlRun, RunReachesClassesOnlyThroughProcedures) {
    ScriptControl sc;
    sc.AddCode(
        "Class Thing : Public Name : End Class\r\n"
        "Function Make(n) : Set Make = New Thing : Make.Name = n : End Function\r\n");
    std::vector<Variant> args{Variant(u"made")};
    Variant obj = sc.Run("Make", args);
    ASSERT_TRUE(obj.isObject());
    EXPECT_EQ(obj.objectValue()->typeName(), u"Thing");
    // The host calls the script object's members by name.
    EXPECT_EQ(obj.objectValue()->invokeByName(u"name", kInvokePropertyGet, {}).toUtf8(), "made");
    Variant v(u"renamed");
    Variant put[1] = {v};
    obj.objectValue()->invokeByName(u"Name", kInvokePropertyPut, put);
    EXPECT_EQ(obj.objectValue()->invokeByName(u"Name", kInvokePropertyGet, {}).toUtf8(), "renamed");
    EXPECT_THROW(obj.objectValue()->invokeByName(u"Missing", kInvokeMethod, {}), AutomationError);
}

TEST(ScriptErrors, ErrorEventSeesTheErrorOfEvalAndExecuteStatement) {
    ScriptControl sc;
    std::vector<int> lines;
    sc.onError = [&] { lines.push_back(sc.Error().Line); };
    EXPECT_EQ(errorOf([&] { sc.Eval("1 +"); }).Number, 1023);
    EXPECT_EQ(errorOf([&] { sc.ExecuteStatement("x = 1\r\ny = 1 / 0"); }).Number, 11);
    EXPECT_EQ(errorOf([&] { sc.Eval("CLng(\"z\")"); }).Number, 13);
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(sc.Error().Source, kRuntimeErrorSource);
}

} // namespace
} // namespace qz::script::test
