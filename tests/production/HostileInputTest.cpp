// The qzstudio command given hostile data: a template's QZC file and the
// answers to its "?" parameters never do more than the template's author saw.
#include "CommandLineRun.h"
#include "TemplateRtf.h"
#include "common/Eventually.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

using qz::test::expressionField;
using qz::test::rtfDocument;
using qz::test::statementField;

namespace {

namespace fs = std::filesystem;

const std::string kExamples = std::string(QZ_SOURCE_DIR) + "/examples";

std::string qzcWith(const std::string& name, const std::string& dataSource, const std::string& sql) {
    return "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties><ConnectionList>"
           "<Connection ID=\"ID1\"><Name>" + name + "</Name><DataSource>" + dataSource +
           "</DataSource><ConnectionType>0</ConnectionType><CommandList><Command ID=\"ID1\"><Name>Inv</Name><Text>" +
           sql + "</Text></Command></CommandList></Connection></ConnectionList></QZC>";
}

} // namespace

// A library shipped beside the template under another name is loaded neither
// through the QZC file nor through the script's own connection.
TEST(HostileInput, ALibraryNamedAsADriverIsNeverLoaded) {
    qz::test::TempDir dir;
    fs::copy_file(QZ_PLANTED_LIBRARY, dir.file("invoice.dat"));
    dir.write("t.qzc", qzcWith("Evil", "Provider=MSDASQL;Extended Properties=&quot;Driver=" + dir.file("invoice.dat") +
                                           "&quot;", "SELECT 1"));
    dir.write("t.rtf", rtfDocument(statementField("Open", "Set c = CreateObject(\"ADODB.Connection\")_QZCRLF"
                                                          "c.Open \"Driver=" + dir.file("invoice.dat") + "\"")));
    const std::string mark = dir.file("loaded");
    const Result r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")),
                              "QZ_PLANTED_MARK=" + quote(mark));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("left out connection \"Evil\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("which is not an installed ODBC driver"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("script error"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(mark));
}

// An answer that would run more SQL stops the run before any SQL runs.
TEST(HostileInput, AnAnswerIsOneValue) {
    qz::test::TempDir dir;
    fs::copy_file(kExamples + "/invoice.db", dir.file("shop.db"));
    const std::string db = qz::test::readFile(dir.file("shop.db"));
    dir.write("p.qzc", qzcWith("Shop", "Driver={SQLite3};Database=" + dir.file("shop.db"),
                               "SELECT InvoiceNo FROM Invoice WHERE InvoiceNo = ?"));
    dir.write("p.rtf", rtfDocument(expressionField("No", "Inv.Fields(0).Value", "String;MaxLength:0")));
    const std::string run = "produce " + quote(dir.file("p.rtf")) + " -o " + quote(dir.file("o.rtf")) + " --param ";
    Result r = qzstudio(dir, run + quote("'x'; DELETE FROM Invoice") + " </dev/null");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("is not one value"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("o.rtf")));
    EXPECT_EQ(qz::test::readFile(dir.file("shop.db")), db);
    r = qzstudio(dir, run + quote("'2026-0117'") + " </dev/null");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // A date answer reaches SQLite as a date it can compare, through ODBC.
    dir.write("p.qzc", qzcWith("Shop", "Driver={SQLite3};Database=" + dir.file("shop.db"),
                               "SELECT InvoiceNo FROM Invoice WHERE InvoiceDate = ?"));
    for (const char* date : {"#2026-12-01#", "#12/1/2026#"}) {
        r = qzstudio(dir, run + quote(date) + " </dev/null");
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(qz::test::readFile(dir.file("o.rtf")).find("2026-0118"), std::string::npos) << date;
    }
}

// A read-only document is not replaced, though output goes through a rename.
TEST(HostileInput, AReadOnlyOutputIsRefused) {
    qz::test::TempDir dir;
    dir.write("t.qzc", "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties></QZC>");
    dir.write("t.rtf", rtfDocument("text"));
    dir.write("o.rtf", "kept");
    fs::permissions(dir.file("o.rtf"), fs::perms::owner_read | fs::perms::group_read);
    const Result r = qzstudio(dir, "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(dir.file("o.rtf")), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << r.err;
    EXPECT_EQ(qz::test::readFile(dir.file("o.rtf")), "kept");
}

namespace {

std::vector<std::string> partFiles(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& f : fs::directory_iterator(folder))
        if (f.path().filename().string().find(".qzpart-") != std::string::npos) out.push_back(f.path().string());
    return out;
}

// A run that spins for ever once it writes, killed when the test is done.
struct SpinningRun {
    pid_t pid;
    SpinningRun(const qz::test::TempDir& dir, const std::string& output) : pid(fork()) {
        if (pid == 0) {
            execl(QZSTUDIO, QZSTUDIO, "produce", dir.file("spin.rtf").c_str(), "-o", output.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        qz::test::eventually([&] { return !partFiles(dir.path()).empty(); });
    }
    void kill() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    ~SpinningRun() { kill(); }
};

} // namespace

// What a killed run leaves is removed by the next run in the folder, and only
// once its process is gone; a user's own hidden file stays.
TEST(HostileInput, TheNextRunRemovesWhatAKilledRunLeft) {
    qz::test::TempDir dir;
    dir.write("spin.qzc", "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties></QZC>");
    dir.write("spin.rtf", rtfDocument(statementField("Loop", "For i = 1 To 20000") + "Line\\par " +
                                      statementField("Next", "Next_QZCRLFDo_QZCRLFLoop")));
    dir.write("t.qzc", "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties></QZC>");
    dir.write("t.rtf", rtfDocument("text"));
    dir.write(".o.rtf.123.0.tmp", "the user's");
    const std::string quick = "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("quick.rtf"));

    SpinningRun running(dir, dir.file("o.rtf"));
    ASSERT_EQ(partFiles(dir.path()).size(), 1u);
    const std::string left = partFiles(dir.path())[0];
    ASSERT_EQ(qzstudio(dir, quick).exitCode, 0);
    EXPECT_TRUE(fs::exists(left)) << "a running writer's file was removed";
    running.kill();
    ASSERT_TRUE(fs::exists(left));
    ASSERT_EQ(qzstudio(dir, quick).exitCode, 0);
    EXPECT_TRUE(partFiles(dir.path()).empty());
    EXPECT_EQ(qz::test::readFile(dir.file(".o.rtf.123.0.tmp")), "the user's");
}

// A file of the template that does not exist yet is no output; an ODBC
// database file is the one beside the template, not one in the current folder.
TEST(HostileInput, TemplateFilesAreNoOutputsAndDataFilesAreTheTemplates) {
    qz::test::TempDir dir;
    fs::create_directories(dir.file("elsewhere"));
    fs::copy_file(kExamples + "/invoice.db", dir.file(" shop.db"));
    dir.write("invoice.QZC", qzcWith("Shop", "Provider=MSDASQL;Extended Properties=&quot;Driver=SQLite3;"
                                             "Database={ shop.db}&quot;",
                                     "SELECT InvoiceNo FROM Invoice"));
    dir.write("invoice.rtf", rtfDocument("No. " + expressionField("No", "Inv.Fields(0).Value", "String;MaxLength:0")));
    const std::string run = "cd " + quote(dir.file("elsewhere")) + " && " + quote(QZSTUDIO) + " produce " +
                            quote(dir.file("invoice.rtf")) + " -o ";
    for (const char* output : {"invoice.qzc", "INVOICE.vbs", "Invoice.RTF"}) {
        const int rc = std::system((run + quote(dir.file(output)) + " 2>/dev/null").c_str());
        EXPECT_EQ(WEXITSTATUS(rc), 2) << output;
        EXPECT_FALSE(fs::exists(dir.file(output))) << output;
    }
    const int rc = std::system((run + quote(dir.file("o.rtf")) + " 2>" + quote(dir.file("err.txt"))).c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 0) << qz::test::readFile(dir.file("err.txt"));
    EXPECT_NE(qz::test::readFile(dir.file("o.rtf")).find("2026-0117"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir.file("elsewhere")));
}

// A service account produces though another user took the private folder's
// old fixed name first; where no folder can be had, each one is named.
TEST(HostileInput, AServiceAccountsPrivateFolderCannotBeTakenFromIt) {
    qz::test::TempDir dir;
    dir.write("t.qzc", "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties></QZC>");
    dir.write("t.rtf", rtfDocument("text"));
    fs::create_directories(dir.file("tmp"));
    fs::create_directory_symlink(dir.path(), dir.file("tmp/qzstudio-" + std::to_string(::getuid())));
    const std::string run = "produce " + quote(dir.file("t.rtf")) + " -o " + quote(dir.file("o.rtf"));
    const std::string noHome = "-u XDG_DATA_HOME -u XDG_STATE_HOME -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR HOME=" +
                               quote(dir.file("t.rtf") + "/home") + " TMPDIR=";
    Result r = qzstudio(dir, run, noHome + quote(dir.file("tmp")));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = qzstudio(dir, run, noHome + quote(dir.file("t.rtf")));
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find(dir.file("t.rtf") + "/home/.local/share/Pellitron/Quorvane Studio 2004: Not a directory"),
              std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir.file("t.rtf") + ": Not a directory"), std::string::npos) << r.err;
}
