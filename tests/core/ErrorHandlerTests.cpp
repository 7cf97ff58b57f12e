#include "core/ModErrors.h"
#include "core/WinDirs.h"
#include "core/forms/frmErrors.h"
#include "platform/system/Folders.h"
#include "core/CoreFixture.h"
#include "platform/system/Locales.h"
#include "resources/MessageIds.h"
#include "resources/MessageTable.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

using namespace qz;
using qz::test::CoreFixture;
using qz::test::TestHome;

namespace {

// Runs HandleError with flags that raise and returns what was raised.
AutomationError raised(AutomationError err, int flags, std::string_view detail = {}) {
    try {
        HandleError(err, "Mod", "Routine", flags, detail);
    } catch (const AutomationError& e) {
        return e;
    }
    ADD_FAILURE() << "HandleError did not raise";
    return {};
}

std::chrono::system_clock::time_point localDay(int y, int m, int d, int hour = 14) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    tm.tm_hour = hour;
    tm.tm_min = 5;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

} // namespace

TEST(MessageTable, HoldsEveryTextTheSystemShowsAndNothingElse) {
    // Ids whose text the system quotes; each must be there and non-empty.
    const int withText[] = {0, 1001, 1004, 1008, 1009, 1010, 2001, 2002, 2003, 2009, 2011, 2012, 2013,
                            2014, 2015, 2016, 2017, 2018, 3000, 3001, 3002, 3003, 3005, 3007, 3008,
                            3010, 3100, 3108, 3112, 3113, 3114, 3117, 4000, 4001, 4002, 4006, 4008,
                            4009, 4010, 4011, 4013, 4014, 4015, 4018, 4020, 4024, 4025, 4026, 4027,
                            4028, 4029, 4032, 4033, 4035, 4036, 4037, 4038, 4040, 4041, 4042, 4045,
                            4046, 4047, 4048, 4049, 4051, 4052, 4053, 4054, 4055, 4056, 4057, 4058,
                            4059, 4060, 4061, 4062, 4063, 4064, 4065, 4101, 4102, 4103, 4104, 4105};
    for (int id : withText) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(res::hasMessage(id));
        EXPECT_FALSE(res::messageText(id).empty());
    }
    for (int id : {1002, 2000, 2010, 3004, 3118, 4100, 10000 + 2017, -1})
        EXPECT_EQ(res::messageText(id), "") << id;
    // Texts are kept to the letter, odd spelling and spacing included.
    EXPECT_EQ(res::messageText(2011), "Cannot get the temporary filen name.");
    EXPECT_EQ(res::messageText(3001), "Cannot find the Quorvane template file. ");
    EXPECT_EQ(res::messageText(3117), "Invalid property data type.  Object's are not supported.");
    EXPECT_EQ(res::messageText(4000), "An unexpected error has occured.");
    EXPECT_EQ(res::messageText(3000), "An unexpected error has occurred.");
    EXPECT_NE(res::messageText(4063).find("Cannot restore Quorvane fields color."), std::string_view::npos);
}

TEST(MessageTable, NamedIdsGiveTheirTexts) {
    EXPECT_EQ(res::messageText(msg::NoQzcFile), "Cannot open or find the Qzc file.");
    EXPECT_EQ(res::messageText(msg::QzLibMissing), "QzLib.vbs file missing in the application.");
    EXPECT_EQ(res::messageText(msg::CannotOpenQzcFile), "Unable to open qzc file.");
    EXPECT_EQ(res::messageText(msg::InvalidTableSource), "QueryBuilder error: Invalid table source.");
}

TEST_F(CoreFixture, ResourceStringsIgnoreTheSecondBlockWhenItIsEmpty) {
    EXPECT_EQ(GetResourceString(2017), "Invalid qzc file.");
    EXPECT_EQ(GetResourceString(1002), "");
    Main();
    auto app = GetApplicationObject();
    ASSERT_TRUE(app);
    app->Locale = 1025;  // selects id + 10000, which the table does not hold
    EXPECT_EQ(GetResourceString(2017), "Invalid qzc file.");
}

TEST_F(CoreFixture, OwnErrorWithoutDescriptionIsCompletedLoggedOnceAndRaised) {
    AutomationError err(OwnErrorNumber(3108), "QzStudio", "");
    AutomationError e = raised(err, kErrLog | kErrRaise);
    EXPECT_EQ(e.Number, -2147218396);
    EXPECT_EQ(e.Description, "File already closed.");
    EXPECT_EQ(e.Source, "QzStudio");
    auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 6u);
    EXPECT_EQ(lines[0][1], "Mod");
    EXPECT_EQ(lines[0][2], "Routine");
    EXPECT_EQ(lines[0][3], "QzStudio");
    EXPECT_EQ(lines[0][4], "-2147218396");
    EXPECT_EQ(lines[0][5], "File already closed.");
    EXPECT_TRUE(host.errorTexts.empty());
}

TEST_F(CoreFixture, PlaceholderDescriptionsBecomeTheResourceMessage) {
    for (const char* placeholder : {"Automation error", "Erreur Automation", ""}) {
        AutomationError e = raised(AutomationError(kErrorFail, "X", placeholder), kErrRaise);
        EXPECT_EQ(e.Description, "Unable to get the resource message.");
        EXPECT_EQ(e.Number, kErrorFail);
    }
    EXPECT_EQ(raised(OwnError(1002, ""), kErrRaise).Description, "Unable to get the resource message.");
    // A description of its own is kept.
    EXPECT_EQ(raised(OwnError(3100, "custom"), kErrRaise).Description, "custom");
}

TEST(UnexpectedNumbers, MapTheTopOfEachBlockToAGeneralMessage) {
    struct Case {
        std::int32_t id;
        bool unexpected;
        std::int32_t message;
    } cases[] = {{3116, false, 77}, {3117, true, 3000}, {3999, true, 3000}, {4200, false, 77},
                 {4201, true, 4000}, {4999, true, 4000}, {2999, false, 0}, {5000, false, 0}};
    for (auto c : cases) {
        std::int32_t message = 77;
        EXPECT_EQ(IsUnexpectedErrorNumber(OwnErrorNumber(c.id), message), c.unexpected) << c.id;
        EXPECT_EQ(message, c.message) << c.id;
    }
    std::int32_t message = 77;
    EXPECT_FALSE(IsUnexpectedErrorNumber(5, message));
    EXPECT_EQ(message, 0);
}

TEST_F(CoreFixture, ShowFlagShowsTheGeneralMessageButLogsTheRealOne) {
    AutomationError err(OwnErrorNumber(3117), "QzStudio", "real detail of the failure");
    HandleError(err, "frmX", "cmdOk_Click", kErrLog | kErrShow);  // returns normally
    ASSERT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(host.errorTexts[0], "An unexpected error has occurred.");
    EXPECT_EQ(host.captions[0], "Quorvane Error");
    EXPECT_EQ(host.frameCaptions[0], "");
    EXPECT_EQ(logLines().at(0).at(5), "real detail of the failure");

    AutomationError own4200(OwnErrorNumber(4200), "QzStudio", "");
    HandleError(own4200, "frmX", "cmdOk_Click", kErrShow);
    EXPECT_EQ(host.errorTexts.at(1), "Unable to get the resource message.");
    AutomationError own4201(OwnErrorNumber(4201), "QzStudio", "x");
    HandleError(own4201, "frmX", "cmdOk_Click", kErrShow);
    EXPECT_EQ(host.errorTexts.at(2), "An unexpected error has occured.");
}

TEST_F(CoreFixture, LogAndShowReturnsWithTheCompletedErrorInPlace) {
    AutomationError err(OwnErrorNumber(2017), "QzStudio", "", "help.chm", 1031, 0);
    HandleError(err, "frmDataLink", "Initialize", kErrLog | kErrShow);
    EXPECT_EQ(err.Description, "Invalid qzc file.");
    EXPECT_EQ(err.Number, OwnErrorNumber(2017));
    EXPECT_EQ(err.HelpContext, 1031);
    EXPECT_EQ(logLines().size(), 1u);
    EXPECT_EQ(host.errorTexts, std::vector<std::string>{"Invalid qzc file."});
}

TEST_F(CoreFixture, SystemCodeAndDetailAddTheirOwnLines) {
    AutomationError err(70, "QzStudio", "Permission denied", "", 0, 5);
    AutomationError e = raised(err, kErrLog | kErrRaise, "abc");
    EXPECT_EQ(e.SystemErrorCode, 0);  // the system code is not carried on
    auto lines = logLines();
    // the system's text ends with its own line break: an empty line follows
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1][3], "LastDllError");
    EXPECT_EQ(lines[1][4], "5");
    EXPECT_EQ(lines[1][5], GetSystemErrorMessage(5).substr(0, GetSystemErrorMessage(5).size() - 2));
    EXPECT_EQ(lines[2], std::vector<std::string>{""});
    EXPECT_EQ(lines[3][3], "Detail");
    EXPECT_EQ(lines[3][4], "abc");
    EXPECT_EQ(lines[1][0], lines[0][0]);  // one time stamp for the record

    AutomationError plain(70, "QzStudio", "Permission denied");
    raised(plain, kErrLog | kErrRaise, "   ");
    EXPECT_EQ(logLines().size(), 5u);  // a blank detail adds nothing
}

TEST_F(CoreFixture, ExceptionsInFlightAreHandledAsAutomationErrors) {
    try {
        try {
            throw std::runtime_error("disk on fire");
        } catch (...) {
            HandleError("ModX", "Run", kErrLog | kErrRaise);
        }
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number, kErrorFail);
        EXPECT_EQ(e.Description, "disk on fire");
    }
    try {
        throw std::bad_alloc();
    } catch (...) {
        AutomationError e = HandleError("ModX", "Alloc", kErrLog);
        EXPECT_EQ(e.Number, 7);
    }
    try {
        throw std::filesystem::filesystem_error("copy", std::make_error_code(std::errc::permission_denied));
    } catch (...) {
        AutomationError e = CurrentError();
        EXPECT_EQ(e.Number, 70);
        EXPECT_EQ(e.SystemErrorCode, EACCES);
    }
    try {
        RaiseError(2018);
    } catch (...) {
        AutomationError e = HandleError("ModX", "Load", kErrLog);
        EXPECT_EQ(e.Number, OwnErrorNumber(2018));
        EXPECT_EQ(e.Description, "Unable to open qzc file.");
    }
    EXPECT_EQ(logLines().size(), 3u);
}

TEST_F(CoreFixture, EachDayHasItsOwnLogFile) {
    SetErrorLogClock([] { return localDay(2004, 3, 17); });
    raised(OwnError(3108), kErrLog | kErrRaise);
    std::string first = ErrorLogFileName();
    EXPECT_EQ(first, home.appData() + "/qzStudioErr_2004-03-17.log");
    SetErrorLogClock([] { return localDay(2004, 3, 18, 0); });
    raised(OwnError(3108), kErrLog | kErrRaise);
    EXPECT_EQ(ErrorLogFileName(), home.appData() + "/qzStudioErr_2004-03-18.log");
    EXPECT_EQ(qz::test::split(TestHome::read(first), "\r\n").size(), 2u);
    // The time stamp is the user's short date and time.
    sys::setUserDefaultLcid(1033);
    SetErrorLogClock([] { return localDay(2004, 3, 17); });
    raised(OwnError(3108), kErrLog | kErrRaise);
    sys::setUserDefaultLcid(0);
    EXPECT_EQ(qz::test::split(TestHome::read(first), "\r\n")[1].substr(0, 18), "3/17/2004 2:05:09 ");
}

TEST_F(CoreFixture, LogFallsBackToAWritablePerUserFolder) {
    // The data folder is a file: the application-data folder cannot exist.
    TestHome::write(home.root() + "/data", "x");
    raised(OwnError(3108), kErrLog | kErrRaise);
    std::string name = ErrorLogFileName();
    EXPECT_EQ(name.rfind(home.root() + "/state/Pellitron/Quorvane Studio 2004/qzStudioErr_", 0), 0u) << name;
    EXPECT_EQ(logLines().size(), 1u);
}

TEST_F(CoreFixture, ALogFileThatCannotBeAppendedToMovesToTheFallbackFolder) {
    // Something that is not a file stands where the day's log would be.
    ASSERT_EQ(sys::createFolderTree(ErrorLogFileName()), 0);
    AutomationError err(OwnErrorNumber(3108), "QzStudio", "");
    HandleError(err, "Mod", "Routine", kErrLog);
    std::string fallback = home.root() + "/state/Pellitron/Quorvane Studio 2004/";
    std::string text = TestHome::read(fallback + WinDirs::GetFileName(ErrorLogFileName()));
    EXPECT_NE(text.find("File already closed."), std::string::npos);
}

TEST_F(CoreFixture, ALinkPlantedAtTheLogIsNotWrittenThrough) {
    const std::string victim = home.root() + "/victim";
    TestHome::write(victim, "mine");
    const std::string log = ErrorLogFileName();
    ASSERT_EQ(sys::createFolderTree(log.substr(0, log.rfind('/'))), 0);
    ASSERT_EQ(::symlink(victim.c_str(), log.c_str()), 0);
    raised(OwnError(3108), kErrLog | kErrRaise);
    EXPECT_EQ(TestHome::read(victim), "mine");
    // The record is kept in the fallback folder instead.
    const std::string fallback = home.root() + "/state/Pellitron/Quorvane Studio 2004/";
    EXPECT_NE(TestHome::read(fallback + WinDirs::GetFileName(log)).find("File already closed."), std::string::npos);
}

TEST_F(CoreFixture, ABrokenLogNeverHidesTheErrorBeingHandled) {
    TestHome::write(home.root() + "/data", "x");
    TestHome::write(home.root() + "/state", "x");
    home.env.set("TMPDIR", home.root() + "/nowhere");
    AutomationError e = raised(OwnError(3100), kErrLog | kErrRaise);
    EXPECT_EQ(e.Number, OwnErrorNumber(3100));
}

TEST_F(CoreFixture, RecordsOfTwoProcessesNeverMix) {
    const std::string longText(3000, 'x');
    std::vector<pid_t> kids;
    for (int p = 0; p < 3; ++p) {
        pid_t pid = ::fork();
        if (pid == 0) {
            for (int i = 0; i < 100; ++i) {
                AutomationError err(OwnErrorNumber(3000), "P" + std::to_string(p), longText, "", 0, 2);
                HandleError(err, "Mod", "Routine", kErrLog, "detail");
            }
            ::_exit(0);
        }
        kids.push_back(pid);
    }
    for (pid_t pid : kids) ::waitpid(pid, nullptr, 0);
    auto lines = logLines();
    ASSERT_EQ(lines.size(), 3u * 100u * 4u);
    for (std::size_t i = 0; i < lines.size(); i += 4) {
        ASSERT_EQ(lines[i].size(), 6u);
        EXPECT_EQ(lines[i][5], longText);
        EXPECT_EQ(lines[i + 1][3], "LastDllError");
        EXPECT_EQ(lines[i + 2], std::vector<std::string>{""});
        EXPECT_EQ(lines[i + 3][4], "detail");
    }
}

TEST_F(CoreFixture, ErrorDialogLayoutAndFallbackBox) {
    frmErrors form;
    EXPECT_EQ(form.Caption, "Quorvane Error");
    EXPECT_FALSE(form.cmdHelp.Visible);
    EXPECT_EQ(form.cmdOk.Caption, "&OK");
    form.InitForm("msg", "", "NewTemplate");
    EXPECT_EQ(form.Caption, "Quorvane Error");
    EXPECT_EQ(form.fraMain.Caption, "NewTemplate");
    form.InitForm("msg", "Other", "");
    EXPECT_EQ(form.Caption, "Other");
    EXPECT_EQ(form.fraMain.Caption, "NewTemplate");

    ShowErrorDialog("Invalid name.", "EditTemplate");
    EXPECT_EQ(host.frameCaptions.back(), "EditTemplate");

    // A host that cannot show the dialog: the plain critical box says so.
    struct BrokenHost : ui::HeadlessUiHost {
        void showModal(ui::Form&) override { throw std::runtime_error("no display"); }
    } broken;
    ui::setCurrentHost(&broken);
    std::size_t formsBefore = ui::loadedForms().size();
    ShowErrorDialog("x", "");
    auto boxes = broken.requests(ui::UiRequest::MsgBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, "An error occured while trying to display an Quorvane error.");
    EXPECT_EQ(boxes[0].style, ui::vbOKOnly | ui::vbCritical);
    EXPECT_EQ(ui::loadedForms().size(), formsBefore);
    // The broken host goes before the form: the form must not find it installed.
    ui::setCurrentHost(&host);
}

TEST(SystemErrorMessage, EndsWithALineBreakOrFallsBackToMessage1001) {
    std::string text = GetSystemErrorMessage(2);
    EXPECT_EQ(text, "No such file or directory\r\n");
    EXPECT_EQ(GetSystemErrorMessage(987654), "Unexplained error.");
}

// One wrapper serves every routine's handler: what it reports must be what
// the hand-written catch blocks reported (log line, dialog text, raised error).
TEST_F(CoreFixture, HandledReportsAFailureAsItsFlagsAsk) {
    int ran = 0;
    EXPECT_TRUE(Handled("frmX", "cmdOk_Click", kErrLog | kErrShow, [&] { ++ran; }));
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(logLines().empty());

    // Log and show: an own error without text gets the table's, and the call returns.
    EXPECT_FALSE(Handled("frmX", "cmdOk_Click", kErrLog | kErrShow, [] { RaiseError(2017, ""); }));
    EXPECT_EQ(host.errorTexts, std::vector<std::string>{"Invalid qzc file."});
    ASSERT_EQ(logLines().size(), 1u);
    EXPECT_EQ(logLines()[0][1], "frmX");
    EXPECT_EQ(logLines()[0][2], "cmdOk_Click");

    // Log only: nothing shown.
    EXPECT_FALSE(Handled("ModX", "Load", kErrLog, [] { throw std::runtime_error("gone"); }));
    EXPECT_EQ(host.errorTexts.size(), 1u);
    EXPECT_EQ(logLines().at(1).at(5), "gone");

    // Log and raise: the caller gets the completed error, or the body's value.
    EXPECT_EQ(Handled("ModX", "Size", kErrLog | kErrRaise, [] { return std::string("42"); }), "42");
    try {
        Handled("ModX", "Size", kErrLog | kErrRaise, []() -> int { RaiseError(3108, ""); });
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number, OwnErrorNumber(3108));
        EXPECT_EQ(e.Description, "File already closed.");
    }
    EXPECT_EQ(logLines().at(2).at(2), "Size");
    // A value routine whose failure is not raised gives a value-initialised result.
    EXPECT_EQ(Handled("ModX", "Count", kErrLog, []() -> int { throw std::bad_alloc(); }), 0);
}

TEST_F(CoreFixture, HandledHandsTheCompletedErrorToTheRoutinesOwnStep) {
    AutomationError seen;
    bool cleaned = false;
    // A raise flag does not skip the routine's own step.
    EXPECT_FALSE(HandledWithError("frmX", "Initialize", kErrLog | kErrRaise, [] { RaiseError(2017, ""); },
                         [&](const AutomationError& e) { seen = e, cleaned = true; }));
    EXPECT_TRUE(cleaned);
    EXPECT_EQ(seen.Description, "Invalid qzc file.");
    EXPECT_EQ(logLines().size(), 1u);
    EXPECT_TRUE(host.errorTexts.empty());
    // The step may raise an error of its own.
    EXPECT_EQ(qz::test::numberOf([] {
                  HandledWithError("frmX", "Save", kErrLog, [] { throw std::runtime_error("x"); },
                          [](const AutomationError&) { RaiseError(4008); });
              }),
              OwnErrorNumber(4008));
    cleaned = false;
    EXPECT_TRUE(HandledWithError("frmX", "Save", kErrLog, [] {}, [&](const AutomationError&) { cleaned = true; }));
    EXPECT_FALSE(cleaned);

    // A clean-up without the error runs before the report, which then raises as asked.
    std::size_t shownBefore = 99;
    EXPECT_EQ(qz::test::numberOf([&] {
                  HandledWithCleanUp("frmX", "Refresh", kErrLog | kErrShow | kErrRaise, [] { RaiseError(2017, ""); },
                          [&] { shownBefore = host.errorTexts.size(); });
              }),
              OwnErrorNumber(2017));
    EXPECT_EQ(shownBefore, 0u);
    EXPECT_EQ(host.errorTexts, std::vector<std::string>{"Invalid qzc file."});

    EXPECT_TRUE(Quietly([] {}));
    EXPECT_FALSE(Quietly([] { throw 1; }));
    EXPECT_EQ(logLines().size(), 3u);  // nothing logged by a quiet step
}
