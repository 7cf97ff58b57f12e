// Scripts that would run for ever or take the machine: long built-in calls
// end by the time-out, global matching stays linear, and a script that grows
// past its memory ceiling fails with error 7. Each runs on a
// thread of its own, bounded far beyond the time-outs set here, so that a
// hang fails the test instead of holding it; no time is asserted.
#include "platform/script/ScriptControl.h"
#include "platform/script/runtime/ScriptErrors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <thread>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qz::script {
namespace {

struct Outcome {
    std::int32_t error = 0;   // the number Run failed with, 0 when it succeeded
    std::int32_t value = 0;   // Main's value as a Long when it succeeded
};

std::optional<Outcome> runBounded(const std::string& code, std::int32_t timeoutMs,
                                  std::int64_t memoryLimit = ScriptControl::kDefaultMemoryLimit) {
    auto sc = std::make_shared<ScriptControl>();
    sc->AddCode(code);
    sc->setTimeout(timeoutMs);
    sc->setMemoryLimit(memoryLimit);
    auto done = std::make_shared<std::promise<Outcome>>();
    std::future<Outcome> result = done->get_future();
    std::thread([sc, done]() mutable {
        Outcome o;
        try {
            o.value = sc->Run("Main").toLong();
        } catch (const AutomationError& e) {
            o.error = e.Number;
        }
        sc.reset();  // gone before the test may end
        done->set_value(o);
    }).detach();
    if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) return std::nullopt;
    return result.get();
}

TEST(RunawayScripts, GlobalMatchingGrowsWithTheText) {
    const auto o = runBounded(
        "Function Main()\n"
        "  Dim re, s\n"
        "  Set re = New RegExp\n"
        "  re.Pattern = \"a\"\n"
        "  re.Global = True\n"
        "  s = String(2000000, \"a\")\n"
        "  Main = Len(re.Replace(s, \"bc\")) + re.Execute(Left(s, 200000)).Count\n"
        "End Function\n",
        0);
    ASSERT_TRUE(o) << "a global Replace over two million characters did not end";
    EXPECT_EQ(o->error, 0);
    EXPECT_EQ(o->value, 4200000);
}

TEST(RunawayScripts, ALongBuiltInCallEndsByTheTimeOut) {
    // Text with an unpaired surrogate is matched the slow way: the call
    // itself must give way to the time-out.
    const auto o = runBounded(
        "Function Main()\n"
        "  Dim re\n"
        "  Set re = New RegExp\n"
        "  re.Pattern = \"a\"\n"
        "  re.Global = True\n"
        "  On Error Resume Next\n"
        "  Main = Len(re.Replace(ChrW(&HD800) & String(3000000, \"a\"), \"b\"))\n"
        "End Function\n",
        300);
    ASSERT_TRUE(o) << "the call outlived the time-out";
    EXPECT_EQ(o->error, kTimeoutErrorNumber);
}

TEST(RunawayScripts, GrowingPastTheMemoryCeilingFailsWith7) {
    // About 100 MB if nothing stopped it; the ceiling is 32 MB.
    const std::string grow =
        "Function Main()\n"
        "  Dim d, i\n"
        "  Set d = CreateObject(\"Scripting.Dictionary\")\n"
        "  On Error Resume Next\n"
        "  For i = 1 To 300000\n"
        "    d.Add i, String(100, \"x\") & i\n"
        "  Next\n"
        "  Main = d.Count\n"
        "End Function\n";
    auto o = runBounded(grow, 0, 32 << 20);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->error, runtimeError(err::OutOfMemory).Number);
    // A text doubled in a loop is stopped before it takes the machine.
    o = runBounded(
        "Function Main()\n"
        "  Dim s\n"
        "  s = \"x\"\n"
        "  Do While Len(s) < 100000000\n"
        "    s = s & s\n"
        "  Loop\n"
        "End Function\n",
        0, 32 << 20);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->error, runtimeError(err::OutOfMemory).Number);
    // Without a ceiling the same script runs to its end.
    o = runBounded(grow, 0, 0);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->error, 0);
    EXPECT_EQ(o->value, 300000);
}

// Calls that run inside their caller's dispatch loop still meet the
// time-out and the memory ceiling, which Resume Next in the caller does not
// catch; the ceiling's error names the callee's statement.
TEST(RunawayScripts, CallsInsideTheDispatchLoopMeetTheTimeOutAndTheCeiling) {
    const std::string calls =
        "Sub Tick(n)\n  n = n + 1\nEnd Sub\n"
        "Sub Grow(s)\n  s = s & s\nEnd Sub\n"
        "Sub Spin(k)\n  Do : Tick k : Loop\nEnd Sub\n"
        "Sub Build(t)\n  Do : Grow t : Loop\nEnd Sub\n";
    auto o = runBounded(calls + "Function Main()\n  On Error Resume Next\n  Dim k\n  Spin k\n  Main = k\nEnd Function\n",
                        200);
    ASSERT_TRUE(o) << "the calls outlived the time-out";
    EXPECT_EQ(o->error, kTimeoutErrorNumber);
    ScriptControl sc;
    sc.setMemoryLimit(16 << 20);
    sc.AddCode(calls + "Function Main()\n  Dim t\n  t = \"ab\"\n  Build t\nEnd Function\n");
    std::int32_t number = 0;
    try {
        sc.Run("Main");
    } catch (const AutomationError& e) {
        number = e.Number;
    }
    EXPECT_EQ(number, runtimeError(err::OutOfMemory).Number);
    EXPECT_EQ(sc.Error().Text, "s = s & s");
}

// The ceiling stops a built-in before it allocates, and its error names the
// statement it stopped, in a procedure (compiled or not) and at module level.
TEST(RunawayScripts, TheCeilingsErrorNamesTheStatement) {
    const std::pair<std::string, std::string> cases[] = {
        {"Sub Main()\n  x = 1\n  y = Split(String(2000000, \",\"), \",\")\nEnd Sub\n", "y = Split(String(2000000, \",\"), \",\")"},
        {"Sub Main()\n  On Error Resume Next\n  ReDim a(5000000)\nEnd Sub\n", "ReDim a(5000000)"},
        {"Sub Main()\nEnd Sub\nDim s\ns = Join(Split(String(900000, \",\"), \",\"), \"abcdefgh\")\n", "s = Join(Split(String(900000, \",\"), \",\"), \"abcdefgh\")"},
    };
    for (const auto& [code, text] : cases) {
        SCOPED_TRACE(code);
        ScriptControl sc;
        sc.setMemoryLimit(16 << 20);
        std::int32_t number = 0;
        try {
            sc.AddCode(code);
            sc.Run("Main");
        } catch (const AutomationError& e) {
            number = e.Number;
        }
        EXPECT_EQ(number, runtimeError(err::OutOfMemory).Number);
        EXPECT_EQ(sc.Error().Line, code.starts_with("Sub Main()\nEnd") ? 4 : 3);
        EXPECT_EQ(sc.Error().Text, text);
    }
}

// A search for a long text that almost matches everywhere compares for
// minutes: InStr, Split and Filter give way to the time-out within it.
TEST(RunawayScripts, LongSearchesEndByTheTimeOut) {
    const std::string start = "Function Main()\n  Dim s, t\n  s = String(40000000, \"a\")\n"
                              "  t = String(20000, \"a\") & \"b\"\n";
    for (const char* call : {"Main = InStr(s, t)", "Main = UBound(Split(s, t))", "Main = UBound(Filter(Array(s), t))"}) {
        SCOPED_TRACE(call);
        const auto o = runBounded(start + "  " + call + "\nEnd Function\n", 200);
        ASSERT_TRUE(o) << "the search outlived the time-out";
        EXPECT_EQ(o->error, kTimeoutErrorNumber);
    }
}

// Runs Main in a child process under the ceiling and the time-out, and gives
// the number it failed with and how far the child's resident memory grew
// (in kilobytes) past what it was before the script ran.
struct ChildRun {
    std::int32_t error = 0;
    long grewKb = 0;
};
ChildRun runInChild(const std::string& code, std::int32_t timeoutMs, std::int64_t memoryLimit) {
    int fds[2];
    if (pipe(fds) != 0) return {-1, -1};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        ChildRun r;
        {
            ScriptControl sc;
            sc.setTimeout(timeoutMs);
            sc.setMemoryLimit(memoryLimit);
            try {
                sc.AddCode(code);
                sc.Run("Main");
            } catch (const AutomationError& e) {
                r.error = e.Number;
            }
        }
        getrusage(RUSAGE_SELF, &after);
        r.grewKb = after.ru_maxrss - before.ru_maxrss;
        [[maybe_unused]] const ssize_t n = write(fds[1], &r, sizeof r);
        _exit(0);
    }
    close(fds[1]);
    ChildRun r{-1, -1};
    if (read(fds[0], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) r = {-1, -1};
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return r;
}

// A built-in looks at the ceiling before it allocates what it builds: the
// script fails with error 7 and its memory stays near the ceiling, however
// much the call would have made.
TEST(RunawayScripts, BuiltInsStopAtTheCeilingBeforeTheyAllocate) {
    constexpr std::int64_t kCeiling = 100 << 20;
    const std::string start = "Sub Main()\n  Dim s, t, i\n  s = String(45000000, \"a\")\n";
    const std::string cases[] = {
        start + "  t = Replace(s, \"a\", \"bc\")\n",
        start + "  t = Replace(Left(s, 1000000), \"a\", String(400, \"b\"))\n",
        start + "  t = UCase(s)\n  i = LCase(t)\n",
        start + "  t = s & s & s\n",
        start + "  t = s\n  t = t & s\n",
        start + "  t = Mid(s, 2)\n  i = Left(s, 40000000)\n",
        "Sub Main()\n  ExecuteGlobal \"Dim q\" & Replace(Space(10000000), \" \", \", q\")\n",
        "Sub Main()\n  t = Eval(\"1\" & Replace(Space(10000000), \" \", \" + 1\"))\n",
        "Sub Main()\n  ExecuteGlobal Replace(Space(3000000), \" \", \"x = 1\" & vbLf)\n",
    };
    for (const std::string& code : cases) {
        SCOPED_TRACE(code);
        const ChildRun r = runInChild(code + "End Sub\n", 0, kCeiling);
        EXPECT_EQ(r.error, runtimeError(err::OutOfMemory).Number);
        EXPECT_LT(r.grewKb, (kCeiling + (100 << 20)) >> 10);
    }
}

} // namespace
} // namespace qz::script
