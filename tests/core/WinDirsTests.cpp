#include "core/CoreFixture.h"
#include "core/ModGlobal.h"
#include "core/WinDirs.h"
#include "core/DesignerState.h"
#include "core/forms/frmSysInfo.h"
#include "common/Eventually.h"
#include "platform/system/Folders.h"
#include "platform/system/Settings.h"

#include <sys/stat.h>

using namespace qz;
using qz::test::CoreFixture;
using qz::test::TestHome;

namespace {
const char* kIE = "SOFTWARE\\Microsoft\\Internet Explorer";
}

TEST(Paths, SeparatorIsAddedOnlyWhenMissing) {
    EXPECT_EQ(AddBackSlashInPath(""), "/");
    EXPECT_EQ(AddBackSlashInPath("/tmp"), "/tmp/");
    EXPECT_EQ(AddBackSlashInPath("/tmp/"), "/tmp/");
    EXPECT_EQ(AddBackSlashInPath("C:\\"), "C:\\");
    EXPECT_EQ(ExtractFileFromPath("/a/b/report.rtf"), "report.rtf");
    EXPECT_EQ(ExtractFileFromPath("C:\\Templates\\Letter.rtf"), "Letter.rtf");
    EXPECT_EQ(WinDirs::GetFileName("/a/folder/"), "folder");
    EXPECT_EQ(WinDirs::GetFileName("plain"), "plain");
}

TEST_F(CoreFixture, ApplicationDataFolderIsCreatedAndReturnedWithoutSeparator) {
    EXPECT_FALSE(sys::folderExists(home.appData()));
    EXPECT_EQ(WinDirs::GetApplicationDataPath(), home.appData());
    EXPECT_TRUE(sys::folderExists(home.appData()));
}

TEST_F(CoreFixture, AFailingApplicationDataLookupRaisesWithoutALogLine) {
    TestHome::write(home.root() + "/data", "x");
    // A private folder takes the place of one that cannot be made...
    const std::string path = WinDirs::GetApplicationDataPath();
    EXPECT_EQ(path.rfind(home.tmp() + "/qzstudio-" + std::to_string(::getuid()) + "-", 0), 0u) << path;
    EXPECT_TRUE(path.ends_with("/data/Pellitron/Quorvane Studio 2004")) << path;
    // ...and when neither can be, the error names each folder and why.
    home.env.set("TMPDIR", home.root() + "/data");
    try {
        WinDirs::GetApplicationDataPath();
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Description, "Path not found: " + home.appData() + ": Not a directory; " + home.root() +
                                     "/data: Not a directory");
    }
    // The log went to the fallback folder; nothing was written for the lookup.
    EXPECT_TRUE(logLines().empty());
}

TEST_F(CoreFixture, TemporaryFilesAreNewEmptyAndDistinct) {
    std::string a = WinDirs::GetTemporaryFileName("RTFXXXX");
    std::string b = WinDirs::GetTemporaryFileName("RTFXXXX");
    EXPECT_NE(a, b);
    for (const auto& name : {a, b}) {
        EXPECT_EQ(name.rfind(home.appData() + "/", 0), 0u);
        EXPECT_TRUE(qz::test::isTempName(WinDirs::GetFileName(name), "RTF"));
        EXPECT_TRUE(sys::fileExists(name));
        EXPECT_EQ(TestHome::read(name), "");
    }
}

TEST_F(CoreFixture, TemporaryFileFailureIsRenumbered2011AndLoggedTwice) {
    TestHome::write(home.root() + "/data", "x");
    home.env.set("TMPDIR", home.root() + "/data");
    try {
        WinDirs::GetTemporaryFileName("RTF");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number, OwnErrorNumber(2011));
    }
    auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);  // as it came, then renumbered
    EXPECT_EQ(lines[0][2], "GetTemporaryFilename");
    EXPECT_NE(lines[0][4], std::to_string(OwnErrorNumber(2011)));
    EXPECT_EQ(lines[1][4], std::to_string(OwnErrorNumber(2011)));
    EXPECT_EQ(lines[1][5], lines[0][5]);  // the description stays
}

TEST_F(CoreFixture, CopyFileReplacesReadOnlyTargetsOnlyWhenAskedAndRefusesMissingFolders) {
    std::string src = home.root() + "/source.rtf";
    std::string dst = home.root() + "/out";
    TestHome::write(src, "new content");
    ASSERT_EQ(sys::createFolderTree(dst), 0);
    TestHome::write(dst + "/source.rtf", "old");
    ::chmod((dst + "/source.rtf").c_str(), 0444);

    EXPECT_THROW(WinDirs::CopyFile(src, dst, false), AutomationError);
    EXPECT_EQ(TestHome::read(dst + "/source.rtf"), "old");

    WinDirs::CopyFile(src, dst + "/", true);
    EXPECT_EQ(TestHome::read(dst + "/source.rtf"), "new content");

    try {
        WinDirs::CopyFile(src, home.root() + "/nofolder", true);
        FAIL() << "copy into a missing folder reported success";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number, 76);
    }
    EXPECT_FALSE(sys::fileExists(home.root() + "/nofolder/source.rtf"));
    EXPECT_THROW(WinDirs::CopyFile(home.root() + "/missing.rtf", dst, true), AutomationError);
    EXPECT_EQ(logLines().size(), 3u * 3u);  // three failures, each with its system code
}

TEST_F(CoreFixture, CreateFolderMakesOneLevel) {
    WinDirs::CreateFolder(home.root() + "/one/");
    EXPECT_TRUE(sys::folderExists(home.root() + "/one"));
    WinDirs::CreateFolder(home.root() + "/one");  // exists: nothing happens
    EXPECT_THROW(WinDirs::CreateFolder(home.root() + "/x/y"), AutomationError);
    EXPECT_FALSE(sys::folderExists(home.root() + "/x"));
}

TEST_F(CoreFixture, SpecialFolders) {
    EXPECT_EQ(WinDirs::GetPersonalPath(), sys::personalFolder());
    EXPECT_FALSE(WinDirs::GetProgramFilesCommonPath().empty());
}

TEST_F(CoreFixture, RequirementsCheckComparesBrowserVersionsNumerically) {
    EXPECT_EQ(ModSystemRequirements::Check(), 0);  // what this machine answers passes
    struct Case {
        const char* version;
        int expected;
    } cases[] = {{"4.72.3110.8", 2}, {"6.0.2900.2180", 0}, {"10.0", 0}, {"5.00.2014.0216", 0},
                 {"5.00.2014.0215", 2}, {"5", 2}, {"", 2}, {"garbage", 2}};
    for (auto c : cases) {
        ASSERT_EQ(sys::writeSetting(sys::SettingsScope::Machine, kIE, "Version", c.version), 0);
        EXPECT_EQ(ModSystemRequirements::Check(), c.expected) << c.version;
    }
    // A value too long for the read buffer cannot be read.
    ASSERT_EQ(sys::writeSetting(sys::SettingsScope::Machine, kIE, "Version", "9." + std::string(1100, '1')), 0);
    EXPECT_EQ(ModSystemRequirements::Check(), 2);
}

TEST_F(CoreFixture, RegistryReadsNeedOnlyReadAccessAndReportMissingValues) {
    std::string value = "stale";
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, "Software\\Nobody", "X", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(ReadRegistryValue(HKEY_CLASSES_ROOT, kIE, "Version", value));
    ASSERT_EQ(sys::writeSetting(sys::SettingsScope::User, "Software\\Pellitron Inc.", "A", "1"), 0);
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, "Software\\Pellitron Inc.", "B", value));
    EXPECT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, "Software\\Pellitron Inc.", "A", value));
    EXPECT_EQ(value, "1");
    // the store's file is not opened for writing by a read
    std::string file = sys::settingsFile(sys::SettingsScope::User);
    ::chmod(file.c_str(), 0444);
    struct stat before, after;
    ::stat(file.c_str(), &before);
    EXPECT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, "Software\\Pellitron Inc.", "A", value));
    ::stat(file.c_str(), &after);
    EXPECT_EQ(before.st_mtime, after.st_mtime);
}

TEST_F(CoreFixture, SystemInformationWindowOrTheToolNamedInTheSettings) {
    // No tool named: the system's own window, whose Copy puts its text on
    // the clipboard.
    home.env.set("ODBCINI", home.root() + "/odbc.ini");
    TestHome::write(home.root() + "/odbc.ini", "[QzInfoSource]\nDriver=SQLite3\nDatabase=/tmp/x.db\n");
    std::string shown;
    host.queueFormAction([&](ui::Form& form) {
        auto& info = dynamic_cast<frmSysInfo&>(form);
        shown = info.txtInfo.Text;
        info.cmdCopy_Click();
        info.cmdClose_Click();
    });
    StartSysInfo();
    EXPECT_TRUE(host.errorTexts.empty());
    EXPECT_EQ(host.clipboardText(), shown);
    for (const std::string& fact : {"Program: Quorvane Studio " + ProgramVersion() + "\r\n", std::string("\r\nICU: 7"),
                                   std::string("\r\nSQLite: 3."), std::string("\r\nunixODBC: 2."),
                                   std::string("\r\nQt: none"), std::string("    QzInfoSource (SQLite3)\r\n"),
                                   "\r\nApplication data: " + WinDirs().GetApplicationDataPath() + "\r\n"})
        EXPECT_NE(shown.find(fact), std::string::npos) << fact << " in\n" << shown;

    // A tool that cannot be started: the message, and the log names the routine.
    ASSERT_EQ(sys::writeSetting(sys::SettingsScope::Machine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO",
                                "PATH", home.root() + "/nobin/sysinfo"),
              0);
    StartSysInfo();
    EXPECT_EQ(host.errorTexts, std::vector<std::string>{"System Information is unavailable at this time."});
    auto lines = logLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0][1] + "." + lines[0][2], "ModGlobal.StartSysInfo");

    // A tool named in the store is started.
    std::string tool = home.root() + "/sysinfo.sh";
    std::string marker = home.root() + "/started";
    TestHome::write(tool, "#!/bin/sh\n/usr/bin/touch '" + marker + "'\n");
    ::chmod(tool.c_str(), 0755);
    ASSERT_EQ(sys::writeSetting(sys::SettingsScope::Machine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO",
                                "PATH", tool),
              0);
    StartSysInfo();
    EXPECT_EQ(host.errorTexts.size(), 1u);
    EXPECT_TRUE(qz::test::eventually([&] { return sys::fileExists(marker); }));
}
