// The qzstudio command, run as a user runs it: a real process, real files.
#include "CommandLineRun.h"
#include "TemplateRtf.h"
#include "TestFiles.h"
#include "common/Eventually.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>

using qz::test::expressionField;
using qz::test::rtfDocument;
using qz::test::statementField;

namespace {

const std::string kExamples = std::string(QZ_SOURCE_DIR) + "/examples";

} // namespace

TEST(CommandLine, VersionAndUsage) {
    qz::test::TempDir dir;
    Result r = qzstudio(dir, "--version");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "qzstudio 8.2.2\n");
    r = qzstudio(dir, "--help");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("produce"), std::string::npos);
    // Where the log and the settings live, by this user's folders.
    for (const std::string& where : {std::string("qzStudioErr_YYYY-MM-DD.log"), std::string("Pellitron/Quorvane Studio 2004"),
                                    std::string("/user.reg"), std::string("/machine.reg")})
        EXPECT_NE(r.out.find(where), std::string::npos) << where << " in " << r.out;
    r = qzstudio(dir, "produce");
    EXPECT_NE(r.exitCode, 0);
    r = qzstudio(dir, "produce x.rtf -o y.rtf --property novalue");
    EXPECT_NE(r.exitCode, 0);
}

// A command line that cannot run says what is wrong in one line, names the
// option or word, points to the help, and exits 2.
TEST(CommandLine, AUsageErrorIsOneLineThatNamesTheOption) {
    qz::test::TempDir dir;
    const std::string run = "produce x.rtf -o y.rtf ";
    const struct {
        std::string args, says;
    } cases[] = {
        {"", "no command given"},
        {"bogus", "unknown command \"bogus\""},
        {"--bogus", "unknown option --bogus"},
        {"produce x.rtf", "--output is required"},
        {run + "--bogus", "unknown option --bogus"},
        {run + "-t abc", "--timeout: \"abc\" is not a number of milliseconds"},
        {run + "-t", "--timeout needs a value"},
        {run + "--memory-limit -1", "--memory-limit"},
        {run + "--param abc", "--param: The value abc is not one value"},
        {"produce x.rtf -o -", "(standard output) cannot take the document"},
    };
    for (const auto& c : cases) {
        const Result r = qzstudio(dir, c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("qzstudio: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.err.ends_with(" --help\"\n")) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("-")));
}

// --help and --version of both programs work anywhere: no display, a home that
// is not made yet; and they make no folder or file.
TEST(CommandLine, HelpAndVersionNeedNoDisplayAndMakeNothing) {
    qz::test::TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(dir.file("tmp"));
    const std::string env = "-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_DATA_HOME -u XDG_CONFIG_HOME "
                            "-u XDG_STATE_HOME -u XDG_RUNTIME_DIR HOME=" + quote(dir.file("home")) +
                            " TMPDIR=" + quote(dir.file("tmp"));
    for (const std::string program : {QZSTUDIO, QUORVANE_STUDIO}) {
        const std::string name = fs::path(program).filename().string();
        Result r = runProgram(program, dir, "--version", env);
        EXPECT_EQ(r.exitCode, 0) << name << r.err;
        EXPECT_EQ(r.out, name + " 8.2.2\n");
        r = runProgram(program, dir, "--help", env);
        EXPECT_EQ(r.exitCode, 0) << name << r.err;
        EXPECT_NE(r.out.find(dir.file("home") + "/.local/share/Pellitron/Quorvane Studio 2004"), std::string::npos)
            << r.out;
        EXPECT_FALSE(fs::exists(dir.file("home"))) << name;
        EXPECT_TRUE(fs::is_empty(dir.file("tmp"))) << name;
    }
    // Windows need a display: without one the studio says so in one line.
    Result r = runProgram(QUORVANE_STUDIO, dir, "-platform xcb -reverse", env);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "quorvane-studio: no display to open windows on (DISPLAY is not set); only --help and "
                     "--version work without one\n");
    // A wrong option of its own is a usage error, display or not.
    r = runProgram(QUORVANE_STUDIO, dir, "-style=Fusion --bogus", env);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "quorvane-studio: Unknown option 'bogus'; see \"quorvane-studio --help\"\n");
}

TEST(CommandLine, ProducesTheExampleInvoiceFromEitherSource) {
    qz::test::TempDir dir;
    Result db = qzstudio(dir, "produce " + quote(kExamples + "/invoice.rtf") + " -o " +
                                  quote(dir.file("db.rtf")) + " --connections");
    ASSERT_EQ(db.exitCode, 0) << db.err;
    Result xml = qzstudio(dir, "produce " + quote(kExamples + "/invoice.rtf") + " -o " +
                                   quote(dir.file("xml.rtf")) + " --xml-recordset Invoice=" +
                                   quote(kExamples + "/data/Invoice.xml") + " -x Lines=" +
                                   quote(kExamples + "/data/Lines.xml"));
    ASSERT_EQ(xml.exitCode, 0) << xml.err;
    const std::string doc = qz::test::readFile(dir.file("db.rtf"));
    EXPECT_EQ(doc, qz::test::readFile(dir.file("xml.rtf")));

    // One table row per order line, the totals, the condition's paragraph, the
    // French date and the characters of the code page.
    std::size_t rows = 0;
    for (std::size_t p = doc.find("\\row"); p != std::string::npos; p = doc.find("\\row", p + 1)) ++rows;
    EXPECT_EQ(rows, 6u);  // the header and five lines
    for (const char* s : {"$2,450.00", "$4,094.65", "$204.73", "$777.98", "$4,667.90",
                          "5%", "20.0%", "Monday, November 30, 2026", "lundi 30 novembre 2026", "12/30/2026",
                          "Brasserie L\\u233?on & Fils", "\\{kitchen\\}", "2026-0117"})
        EXPECT_NE(doc.find(s), std::string::npos) << s;
    EXPECT_EQ(doc.find("QZStatement377"), std::string::npos);
    EXPECT_EQ(doc.find("MACROBUTTON"), std::string::npos);
}

// Installed, the programs live in bin/ and find their script library and
// help in share/quorvane-studio/, beside a desktop entry and an icon.
TEST(CommandLine, TheInstalledProgramFindsItsData) {
    qz::test::TempDir dir;
    const std::string prefix = dir.file("prefix");
    const std::string install = "cmake --install " + quote(QZ_BINARY_DIR) + " --prefix " + quote(prefix) + " >" +
                                quote(dir.file("install.txt")) + " 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << qz::test::readFile(dir.file("install.txt"));
    namespace fs = std::filesystem;
    const std::string metainfo = prefix + "/share/metainfo/com.pellitron.quorvanestudio.metainfo.xml";
    for (const char* file : {"bin/qzstudio", "bin/quorvane-studio", "share/quorvane-studio/qzLib.vbs",
                             "share/quorvane-studio/Help/index.html", "share/applications/quorvane-studio.desktop",
                             "share/icons/hicolor/256x256/apps/quorvane-studio.png"})
        EXPECT_TRUE(fs::exists(prefix + "/" + file)) << file;
    // The manual pages are what the programs print, and read as pages; the
    // AppStream description is valid.
    for (const std::string name : {"qzstudio", "quorvane-studio"}) {
        const std::string page = prefix + "/share/man/man1/" + name + ".1";
        EXPECT_EQ(qz::test::readFile(page), runProgram(prefix + "/bin/" + name, dir, "--help-man").out) << name;
        const std::string show = "MANWIDTH=80 man -l " + quote(page) + " >" + quote(dir.file("page.txt")) + " 2>&1";
        EXPECT_EQ(std::system(show.c_str()), 0) << qz::test::readFile(dir.file("page.txt"));
        EXPECT_NE(qz::test::readFile(dir.file("page.txt")).find("SYNOPSIS"), std::string::npos) << name;
    }
    const std::string validate = "appstreamcli validate --no-net " + quote(metainfo) + " >" +
                                 quote(dir.file("validate.txt")) + " 2>&1";
    EXPECT_EQ(std::system(validate.c_str()), 0) << qz::test::readFile(dir.file("validate.txt"));
    EXPECT_FALSE(fs::exists(prefix + "/bin/qzLib.vbs"));
    // The programs are installed stripped, as a package carries them.
    for (const std::string name : {"qzstudio", "quorvane-studio"}) {
        const std::string sections = "readelf -S " + quote(prefix + "/bin/" + name) + " >" +
                                     quote(dir.file("sections.txt"));
        ASSERT_EQ(std::system(sections.c_str()), 0);
        const std::string list = qz::test::readFile(dir.file("sections.txt"));
        EXPECT_EQ(list.find(".symtab"), std::string::npos) << name;
        EXPECT_EQ(list.find(".debug_info"), std::string::npos) << name;
    }
    const std::string run = quote(prefix + "/bin/qzstudio") + " produce " + quote(kExamples + "/invoice.rtf") +
                            " -o " + quote(dir.file("out.rtf")) + " 2>" + quote(dir.file("err.txt"));
    EXPECT_EQ(std::system(run.c_str()), 0) << qz::test::readFile(dir.file("err.txt"));
    EXPECT_NE(qz::test::readFile(dir.file("out.rtf")).find("Brasserie L\\u233?on & Fils"), std::string::npos);
}

TEST(CommandLine, ReportsFailuresWithTheirMessage) {
    qz::test::TempDir dir;
    Result r = qzstudio(dir, "produce " + quote(dir.file("none.rtf")) + " -o " + quote(dir.file("o.rtf")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "qzstudio: " + dir.file("none.rtf") + ": error 3010: The file specified does not exist.\n");
    // A folder or a named pipe in its place is said to be one, not missing,
    // and the pipe is not waited on.
    ASSERT_EQ(::mkfifo(dir.file("pipe.rtf").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder.rtf"));
    for (const char* name : {"pipe.rtf", "folder.rtf"}) {
        r = qzstudio(dir, "produce " + quote(dir.file(name)) + " -o " + quote(dir.file("o.rtf")));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "qzstudio: " + dir.file(name) +
                             ": error 3010: The file specified is not a regular file (a folder, a named pipe or a "
                             "device cannot be read as one).\n");
    }

    dir.write("bad.rtf", "plain text");
    dir.write("bad.qzc", "<QZC/>");
    r = qzstudio(dir, "produce " + quote(dir.file("bad.rtf")) + " -o " + quote(dir.file("o.rtf")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "qzstudio: " + dir.file("bad.rtf") + ": error 3003: Cannot find a valid input file.\n");

    // The output must not replace the template.
    r = qzstudio(dir, "produce " + quote(dir.file("bad.rtf")) + " -o " + quote(dir.path() + "/./bad.rtf"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(qz::test::readFile(dir.file("bad.rtf")), "plain text");

    dir.write("open.rtf", rtfDocument("{\\b x"));
    dir.write("open.qzc", "<QZC/>");
    r = qzstudio(dir, "produce " + quote(dir.file("open.rtf")) + " -o " + quote(dir.file("o.rtf")));
    // The message says where the braces stop balancing.
    EXPECT_EQ(r.err, "qzstudio: " + dir.file("open.rtf") +
                         ": error 3112: Unable to interpret the RTF file. Its braces do not balance (opening 6, closing 5; "
                         "characters counted without line breaks): the group opened at character 1 (\"{\\rtf1\\ansi\\ansicpg1252\\...\") is never "
                         "closed; the last brace closes the group opened at character 143 (\"{\\b x\\par }\").\n");
}

TEST(CommandLine, ReportsAScriptErrorAtItsField) {
    qz::test::TempDir dir;
    dir.write("t.qzc", "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties></QZC>");
    dir.write("t.rtf", rtfDocument("Total: " +
                                   statementField("Compute total", "x = 1_QZCRLF   y = x / 0   _QZCRLFz = 2") +
                                   expressionField("X", "x", "Number;NumDigits:0")));
    Result r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "qzstudio: script error 11: Division by zero\n"
              "  source: Microsoft VBScript runtime error\n"
              "  field kind: 2 (statement)\n"
              "  field label: Compute total\n"
              "  field line: 2\n"
              "  text: y = x / 0\n"
              "  where: statement field \"Compute total\", line 2 of the field\n"
              "qzstudio: " + dir.file("o.rtf") + " was not written; a file there before is as it was\n");

    // A block a field leaves open is found at the program's end, in no field:
    // the message says what to look for.
    dir.write("t.rtf", rtfDocument("a" + statementField("Open", "If x Then") + "b"));
    r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("  where: outside any field: a statement field opens a block"), std::string::npos) << r.err;
    // A module line is named by the module and its line.
    dir.write("t.vbs", "Sub Helper()\r\n  y = CInt(\"abc\")\r\nEnd Sub\r\n");
    dir.write("t.rtf", rtfDocument("a" + statementField("Call", "Helper") + "b"));
    r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")));
    EXPECT_NE(r.err.find("  where: t.vbs, line 2\n"), std::string::npos) << r.err;
    std::filesystem::remove(dir.file("t.vbs"));

    // A program that leaves Main early names the statement; nothing is written.
    dir.write("t.rtf", rtfDocument("a" + statementField("Stop", "If 1 = 1 Then Exit Sub") + "b"));
    r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
              "qzstudio: script error 3005: The program ended before the end of the document at the statement "
              "field \"Stop\" (line 1: If 1 = 1 Then Exit Sub); the output was not written");
    EXPECT_FALSE(std::filesystem::exists(dir.file("o.rtf")));

    // An endless loop is stopped by the time-out.
    dir.write("t.rtf", rtfDocument(statementField("Spin", "Do_QZCRLFLoop")));
    r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")) + " -t 100");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("stopped by the time-out"), std::string::npos) << r.err;
}

TEST(CommandLine, TemplateConnectionsTakeTheirParametersInOrder) {
    qz::test::TempDir dir;
    std::filesystem::copy_file(kExamples + "/invoice.db", dir.file("shop.db"));
    dir.write("p.qzc",
              "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties><ConnectionList>"
              "<Connection ID=\"ID1\"><Name>Shop</Name>"
              "<DataSource>Provider=Microsoft.Jet.OLEDB.4.0;Data Source=shop.db</DataSource>"
              "<ConnectionType>0</ConnectionType><CommandList>"
              "<Command ID=\"ID1\"><Name>Inv</Name>"
              "<Text>SELECT InvoiceNo FROM Invoice WHERE InvoiceNo = ?</Text></Command>"
              "</CommandList></Connection></ConnectionList></QZC>");
    dir.write("p.rtf", rtfDocument("No. " + expressionField("No", "Inv.Fields(\"InvoiceNo\").Value", "String;MaxLength:0")));

    const std::string args = "produce " + quote(dir.file("p.rtf")) + " -o " + quote(dir.file("o.rtf")) +
                             " --connections";
    Result r = qzstudio(dir, args + " --param \"'2026-0117'\" --param 7 </dev/null");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "qzstudio: warning: --param \"7\" was not used: the commands asked for 1 value\n");
    EXPECT_NE(qz::test::readFile(dir.file("o.rtf")).find("{\\f0\\fs24\\cf0 2026-0117}"), std::string::npos)
        << qz::test::readFile(dir.file("o.rtf"));

    // Without a value and without a terminal to ask on, the command is left
    // out and said so; the script then misses its object.
    r = qzstudio(dir, args + " </dev/null");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("qzstudio: left out connection \"Shop\", command \"Inv\": no value for"),
              std::string::npos) << r.err;
    EXPECT_NE(r.err.find("script error"), std::string::npos) << r.err;
}

// A Null column prints as nothing and the others with their format, whether the
// field is given by the recordset's default member, through Fields, or as a
// Field kept in a Dictionary.
TEST(CommandLine, NullFieldsPrintEmptyInNumberFields) {
    qz::test::TempDir dir;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file("shop.db").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE L (No INTEGER, Amount DOUBLE); INSERT INTO L VALUES (1, 2.5), (2, NULL), (3, 4);",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    dir.write("t.qzc",
              "<QZC><TemplateProperties><Locale>1033</Locale></TemplateProperties><ConnectionList>"
              "<Connection ID=\"ID1\"><Name>Shop</Name>"
              "<DataSource>Provider=Microsoft.Jet.OLEDB.4.0;Data Source=shop.db</DataSource>"
              "<ConnectionType>0</ConnectionType><CommandList>"
              "<Command ID=\"ID1\"><Name>Lines</Name><Text>SELECT No, Amount FROM L ORDER BY No</Text></Command>"
              "</CommandList></Connection></ConnectionList></QZC>");
    dir.write("t.rtf", rtfDocument(
        statementField("Start", "Set d = CreateObject(\"Scripting.Dictionary\")_QZCRLF"
                                "d.Add \"a\", Lines(\"Amount\")_QZCRLFDo While Not Lines.EOF") +
        "[" + expressionField("A", "Lines(\"Amount\")", "Number;NumDigits:2") + "|" +
        expressionField("B", "Lines.Fields(\"Amount\")", "Currency;NumDigits:1") + "|" +
        expressionField("C", "d(\"a\")", "Percent;NumDigits:0") + "]" +
        statementField("Next", "Lines.MoveNext_QZCRLFLoop")));
    Result r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string text;
    const std::string out = qz::test::readFile(dir.file("o.rtf"));
    for (std::size_t at = out.find("\\cf0 "); at != std::string::npos; at = out.find("\\cf0 ", at + 1))
        text += out.substr(at + 5, out.find('}', at) - at - 5) + "|";
    EXPECT_EQ(text, "2.50|$2.5|250%||||4.00|$4.0|400%|") << out;
}

namespace {

// A template whose statement writes `lines` paragraphs, then the script spins
// for ever when `spin` is set.
void writeLongTemplate(const qz::test::TempDir& dir, const std::string& name, int lines, bool spin = false) {
    dir.write(name + ".qzc", "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties></QZC>");
    dir.write(name + ".rtf",
              rtfDocument(statementField("Loop", "For i = 1 To " + std::to_string(lines)) + "Line " +
                          expressionField("I", "i", "String;MaxLength:0") + "\\par " +
                          statementField("Next", spin ? "Next_QZCRLFDo_QZCRLFLoop" : "Next")));
}

bool hasTemporaryFile(const std::string& folder) {
    for (const auto& f : std::filesystem::directory_iterator(folder))
        if (f.path().filename().string().ends_with(".tmp")) return true;
    return false;
}

} // namespace

TEST(CommandLine, TheDocumentIsWrittenWholeOrNotAtAll) {
    qz::test::TempDir dir;
    writeLongTemplate(dir, "t", 20000);
    const std::string run = "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf"));
    ASSERT_EQ(qzstudio(dir, run).exitCode, 0);
    const std::string whole = qz::test::readFile(dir.file("o.rtf"));
    ASSERT_NE(whole.find("{\\f0\\fs24\\cf0 20000}"), std::string::npos);

    // Eight runs at once on the same output: each one's document is whole.
    std::string many;
    for (int i = 0; i < 8; ++i) many += quote(QZSTUDIO) + " " + run + " & ";
    ASSERT_EQ(std::system((many + "wait").c_str()), 0);
    EXPECT_EQ(qz::test::readFile(dir.file("o.rtf")), whole);

    // A run killed half-way leaves the earlier document as it was.
    writeLongTemplate(dir, "spin", 20000, true);
    dir.write("o.rtf", "the earlier document");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(QZSTUDIO, QZSTUDIO, "produce", dir.file("spin.rtf").c_str(), "-o", dir.file("o.rtf").c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait until it is writing (the script then spins for ever).
    EXPECT_TRUE(qz::test::eventually([&] { return hasTemporaryFile(dir.path()); }));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(qz::test::readFile(dir.file("o.rtf")), "the earlier document");

    // An interrupted run also removes its half-made document and says so.
    for (const auto& f : std::filesystem::directory_iterator(dir.path()))
        if (f.path().filename().string().ends_with(".tmp")) std::filesystem::remove(f.path());
    const pid_t again = fork();
    ASSERT_GE(again, 0);
    if (again == 0) {
        const int err = open(dir.file("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, STDERR_FILENO);
        execl(QZSTUDIO, QZSTUDIO, "produce", dir.file("spin.rtf").c_str(), "-o", dir.file("o.rtf").c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    EXPECT_TRUE(qz::test::eventually([&] { return hasTemporaryFile(dir.path()); }));
    kill(again, SIGINT);
    int status = 0;
    waitpid(again, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGINT) << status;
    EXPECT_FALSE(hasTemporaryFile(dir.path()));
    EXPECT_EQ(qz::test::readFile(dir.file("o.rtf")), "the earlier document");
    EXPECT_NE(qz::test::readFile(dir.file("err.txt")).find("stopped; the output was not written"), std::string::npos);
}

TEST(CommandLine, RefusesAnOutputThatTheRunReads) {
    qz::test::TempDir dir;
    std::filesystem::copy_file(kExamples + "/invoice.db", dir.file("shop.db"));
    dir.write("invoice.qzc",
              "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties><ConnectionList>"
              "<Connection ID=\"ID1\"><Name>Shop</Name><DataSource>Provider=SQLite;data source=shop.db</DataSource>"
              "<ConnectionType>0</ConnectionType><CommandList><Command ID=\"ID1\"><Name>Inv</Name>"
              "<Text>SELECT InvoiceNo FROM Invoice</Text></Command></CommandList></Connection></ConnectionList></QZC>");
    dir.write("INVOICE.RTF", rtfDocument("No. " + expressionField("No", "Inv.Fields(0).Value", "String;MaxLength:0")));
    std::filesystem::copy_file(kExamples + "/data/Lines.xml", dir.file("extra.xml"));
    const std::string xml = qz::test::readFile(dir.file("extra.xml"));
    const std::string qzc = qz::test::readFile(dir.file("invoice.qzc"));
    const std::string db = qz::test::readFile(dir.file("shop.db"));
    const std::string args = "produce " + quote(dir.file("INVOICE.RTF")) + " -o ";
    for (const char* output : {"invoice.qzc", "shop.db", "./INVOICE.RTF"}) {
        const Result r = qzstudio(dir, args + quote(dir.file(output)));
        EXPECT_EQ(r.exitCode, 2) << output;
        EXPECT_NE(r.err.find(", which this run reads; choose another file"), std::string::npos) << r.err;
    }
    Result r = qzstudio(dir, args + quote(dir.file("extra.xml")) + " -x Extra=" + quote(dir.file("extra.xml")));
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(qz::test::readFile(dir.file("invoice.qzc")), qzc);
    EXPECT_EQ(qz::test::readFile(dir.file("shop.db")), db);
    EXPECT_EQ(qz::test::readFile(dir.file("extra.xml")), xml);

    // The template's connections are opened without being asked for; the
    // option turns them off.
    r = qzstudio(dir, args + quote(dir.file("o.rtf")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(qz::test::readFile(dir.file("o.rtf")).find("2026-0117"), std::string::npos);
    r = qzstudio(dir, args + quote(dir.file("o.rtf")) + " --no-connections");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("script error 424: Object required"), std::string::npos) << r.err;
}

TEST(CommandLine, AFullDiskNamesTheOutputAndKeepsTheEarlierDocument) {
    qz::test::TempDir dir;
    writeLongTemplate(dir, "t", 100000);
    // A small file system of its own where one can be mounted, else a limit
    // on the size of the files the run writes.
    const bool ownMount = std::system("unshare -rm true >/dev/null 2>&1") == 0;
    const std::string out = ownMount ? dir.file("disk/o.rtf") : dir.file("o.rtf");
    const std::string steps =
        (ownMount ? "mkdir -p " + quote(dir.file("disk")) + " && mount -t tmpfs -o size=256k tmpfs " +
                        quote(dir.file("disk")) + " && "
                  : std::string("trap '' XFSZ; ulimit -f 256; ")) +
        "echo earlier >" + quote(out) + "; " + quote(QZSTUDIO) + " produce " + quote(dir.file("t.rtf")) + " -o " +
        quote(out) + " 2>" + quote(dir.file("err.txt")) + "; echo $? >" + quote(dir.file("rc.txt")) + "; cat " +
        quote(out) + " >" + quote(dir.file("after.txt"));
    const std::string cmd = (ownMount ? "unshare -rm sh -c " : "sh -c ") + quote(steps);
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(qz::test::readFile(dir.file("rc.txt")), "1\n");
    const std::string err = qz::test::readFile(dir.file("err.txt"));
    EXPECT_EQ(err.rfind("qzstudio: error 61: Disk full: cannot write the document \"" + out + "\" (", 0), 0u) << err;
    EXPECT_EQ(err.find("script error"), std::string::npos) << err;
    EXPECT_EQ(qz::test::readFile(dir.file("after.txt")), "earlier\n");
}

TEST(CommandLine, ProducesForAUserWithoutAUsableHome) {
    qz::test::TempDir dir;
    writeLongTemplate(dir, "t", 2);
    // A home that cannot exist (below a file), as service accounts have.
    const std::string env = "-u XDG_DATA_HOME -u XDG_STATE_HOME -u XDG_CONFIG_HOME HOME=" +
                            quote(dir.file("t.rtf") + "/home") + " TMPDIR=" + quote(dir.path());
    const Result r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")), env);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(qz::test::readFile(dir.file("o.rtf")).find("\\cf0 2}"), std::string::npos);
}

TEST(CommandLine, AScriptPastItsMemoryCeilingFailsWith7) {
    qz::test::TempDir dir;
    dir.write("m.qzc", "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties></QZC>");
    dir.write("m.rtf", rtfDocument(statementField(
                           "Grow", "Set d = CreateObject(\"Scripting.Dictionary\")_QZCRLF"
                                   "For i = 1 To 300000: d.Add i, String(100, \"x\") & i: Next")));
    const std::string run = "produce " + quote(dir.file("m.rtf")) + " -o " + quote(dir.file("o.rtf"));
    Result r = qzstudio(dir, run + " --memory-limit 16");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("script error 7: Out of memory"), std::string::npos) << r.err;
    r = qzstudio(dir, run + " --memory-limit 0");
    EXPECT_EQ(r.exitCode, 0) << r.err;

    // The process stays near its ceiling, whatever the script builds: a
    // million short texts, a text a built-in builds, an expression of many
    // short words that Eval reads. (Under AddressSanitizer freed memory is held back, so the
    // process's size says nothing there.)
    const std::string scripts[] = {
        "ReDim a(2000000)_QZCRLFFor i = 0 To 2000000: a(i) = \"x\" & (i Mod 1000): Next",
        "Set r = New RegExp_QZCRLFr.Global = True_QZCRLFr.Pattern = \"a\"_QZCRLF"
        "t = r.Replace(String(3000000, \"a\"), String(40, \"b\"))",
        "x = Eval(\"1\" & Replace(Space(1200000), \" \", \"+1\"))",
    };
    for (const std::string& script : scripts) {
        dir.write("m.rtf", rtfDocument(statementField("Grow", script)));
        long peakKb = 0;
        r = qzstudio(dir, run + " --memory-limit 64", {}, &peakKb);
        EXPECT_EQ(r.exitCode, 1) << script;
        EXPECT_NE(r.err.find("script error 7: Out of memory"), std::string::npos) << r.err;
#ifndef __SANITIZE_ADDRESS__
        EXPECT_LT(peakKb, (64 + 40) * 1024) << script;
#endif
    }
    // A template whose fields together make a program too large to compile
    // is told so, as no one field is at fault.
    std::string sum = "x = 1";
    for (int i = 0; i < 100; ++i) sum += " + 1";
    std::string fields;
    for (int i = 0; i < 2000; ++i) fields += statementField("F" + std::to_string(i), sum);
    dir.write("m.rtf", rtfDocument(fields));
    r = qzstudio(dir, run + " --memory-limit 8");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("error 7: Out of memory: the code is too large to compile"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("where: the whole template: its fields together"), std::string::npos) << r.err;

    // So do the rows of a template's command read through an ODBC driver,
    // which must not hold the whole result where the ceiling cannot see it.
    dir.write("m.qzc", "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties><ConnectionList>"
                       "<Connection ID=\"ID1\"><Name>C</Name><DataSource>Driver=SQLite3;Database=:memory:"
                       "</DataSource><ConnectionType>6</ConnectionType><CommandList><Command ID=\"ID1\"><Name>Rows"
                       "</Name><Text>WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i &lt; "
                       "2000000) SELECT i, 'row number ' || i FROM n</Text></Command></CommandList></Connection>"
                       "</ConnectionList></QZC>");
    dir.write("m.rtf", rtfDocument(statementField("Count", "n = Rows.RecordCount")));
    long peakKb = 0;
    r = qzstudio(dir, run + " --memory-limit 64", {}, &peakKb);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("error 7: Out of memory"), std::string::npos) << r.err;
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(peakKb, (64 + 40) * 1024);
#endif
}

// A user whose home cannot be written is told the private folder the files
// really go to: by its pattern before it exists, by its name once made.
TEST(CommandLine, HelpNamesThePrivateFolderInUse) {
    qz::test::TempDir dir;
    writeLongTemplate(dir, "t", 1);
    const std::string env = "-u XDG_DATA_HOME -u XDG_STATE_HOME -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR HOME=" +
                            quote(dir.file("t.rtf") + "/home") + " TMPDIR=" + quote(dir.path());
    const std::string pattern = dir.path() + "/qzstudio-" + std::to_string(::getuid()) + "-";
    Result r = qzstudio(dir, "--help", env);
    EXPECT_NE(r.out.find(pattern + "XXXXXX/data/Pellitron/Quorvane Studio 2004;"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("settings are in " + pattern + "XXXXXX/config/"), std::string::npos) << r.out;
    ASSERT_EQ(qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")), env).exitCode, 0);
    std::string made;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (e.path().string().starts_with(pattern)) made = e.path().string();
    ASSERT_EQ(made.size(), pattern.size() + 6);
    r = qzstudio(dir, "--help", env);
    EXPECT_NE(r.out.find(made + "/data/Pellitron/Quorvane Studio 2004;"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("XXXXXX"), std::string::npos) << r.out;
}

namespace {

// Text with every run of white space made one space.
std::string words(const std::string& text) {
    std::string out;
    for (const char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) out += c;
        else if (!out.empty() && out.back() != ' ') out += ' ';
    return out;
}

// A manual page's markup read back as its text.
std::string pageText(const std::string& roff) {
    std::string text;
    for (std::size_t i = 0; i < roff.size(); ++i) {
        if (roff[i] == '\\' && i + 1 < roff.size()) {
            const char next = roff[++i];
            text += next == '-' ? "-" : next == 'e' ? "\\" : "";
        } else {
            text += roff[i];
        }
    }
    return text;
}

} // namespace

// The manual pages are written from the programs' own options: every option
// the help names is on the page, and every option's text on the page is in
// the help.
TEST(CommandLine, TheManualPagesSayWhatTheHelpSays) {
    qz::test::TempDir dir;
    for (const std::string program : {QZSTUDIO, QUORVANE_STUDIO}) {
        std::string help = runProgram(program, dir, "--help").out;
        if (program == QZSTUDIO) help += runProgram(program, dir, "produce --help").out;
        const Result man = runProgram(program, dir, "--help-man");
        ASSERT_EQ(man.exitCode, 0) << man.err;
        const std::string page = pageText(man.out);
        std::size_t options = 0;
        for (std::size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
            const std::size_t end = help.find_first_of(" ,{<\n\"", at);
            const std::string option = help.substr(at, end - at);
            EXPECT_NE(page.find(option), std::string::npos) << option << " in " << page;
            ++options;
        }
        EXPECT_GE(options, 4u);
        std::size_t entries = 0;
        for (std::size_t at = page.find(".TP\n"); at != std::string::npos; at = page.find(".TP\n", at + 1)) {
            const std::size_t text = page.find('\n', at + 4) + 1;
            const std::string said = page.substr(text, page.find('\n', text) - text);
            EXPECT_NE(words(help).find(words(said)), std::string::npos) << said << " in " << help;
            ++entries;
        }
        EXPECT_GE(entries, 5u);
    }
}

// A template's Access SQL runs in the template's locale, as its fields do:
// the same document whatever the user's locale. Without a locale of its own,
// the template's commands and fields run in the user's.
TEST(CommandLine, AccessSqlRunsInTheTemplatesLocale) {
    qz::test::TempDir dir;
    std::filesystem::create_directory(dir.file("data"));
    dir.write("data/n.csv", "N\r\n1\r\n");
    auto qzc = [&](const std::string& locale) {
        dir.write("t.qzc",
                  "<QZC><TemplateProperties><Locale>" + locale + "</Locale></TemplateProperties><ConnectionList>"
                  "<Connection ID=\"ID1\"><Name>Txt</Name><DataSource>Provider=Microsoft.Jet.OLEDB.4.0;"
                  "Data Source=data;Extended Properties=\"text;HDR=YES\"</DataSource>"
                  "<ConnectionType>0</ConnectionType><CommandList><Command ID=\"ID1\"><Name>Q</Name>"
                  "<Text>SELECT TOP 1 CDbl('2.5') AS CD, '1.5' + 1 AS Z2, Format(1234.5, 'Currency') AS FC "
                  "FROM [n.csv]</Text></Command></CommandList></Connection></ConnectionList></QZC>");
    };
    std::string body;
    for (const char* column : {"CD", "Z2", "FC"})
        body += expressionField(column, std::string("Q(\"") + column + "\")", "String;MaxLength:0") + "|";
    dir.write("t.rtf", rtfDocument(body));
    auto produce = [&](const std::string& lang) {
        const Result r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")) +
                                           " --connections", "-u LC_ALL -u LC_NUMERIC LANG=" + lang);
        EXPECT_EQ(r.exitCode, 0) << lang << ": " << r.err;
        std::string text;
        const std::string out = qz::test::readFile(dir.file("o.rtf"));
        for (std::size_t at = out.find("\\cf0 "); at != std::string::npos; at = out.find("\\cf0 ", at + 1))
            text += out.substr(at + 5, out.find('}', at) - at - 5) + "|";
        return text;
    };
    qzc("1033");
    for (const char* lang : {"C", "de_DE.UTF-8", "fr_FR.UTF-8", "tr_TR.UTF-8", "ru_RU.UTF-8", "ja_JP.UTF-8"})
        EXPECT_EQ(produce(lang), "2.5|2.5|$1,234.50|") << lang;
    qzc("-1");
    EXPECT_EQ(produce("de_DE.UTF-8"), "25|16|1.234,50 \\u8364?|");
}
