// Connection strings against the template folder, path comparison, locale
// texts, line breaks and the naming rule.
#include "core/ModDesigner.h"

#include "platform/system/Locales.h"
#include "platform/ui/Controls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace qz {
namespace {

namespace fs = std::filesystem;

class TemplateFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "qzmd-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        folder = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    std::string touch(const std::string& name) {
        std::string p = folder + "/" + name;
        std::ofstream(p) << "x";
        return p;
    }
    std::string folder;
};

constexpr std::string_view kJet = "Provider=Microsoft.Jet.OLEDB.4.0;";

TEST_F(TemplateFolder, JetDataSourceBecomesAbsolute) {
    const std::string abs = folder + "/db.mdb";
    EXPECT_EQ(AdjustConnectionString(std::string(kJet) + "Data Source=db.mdb", false, folder),
              std::string(kJet) + "Data Source=" + abs);
    // Quotes stay around the new path; the rest of the string is kept.
    EXPECT_EQ(AdjustConnectionString(std::string(kJet) + "Data Source=\"db.mdb\";Persist Security Info=False", false, folder),
              std::string(kJet) + "Data Source=\"" + abs + "\";Persist Security Info=False");
    // Subfolders, "..", and Windows separators.
    EXPECT_EQ(AdjustConnectionString("provider=microsoft.jet.oledb.4.0;Data Source=data\\sub\\x.xls", false, folder),
              "provider=microsoft.jet.oledb.4.0;Data Source=" + folder + "/data/sub/x.xls");
    EXPECT_EQ(AdjustConnectionString(std::string(kJet) + "Data Source=../up.mdb", false, folder + "/t"),
              std::string(kJet) + "Data Source=" + folder + "/up.mdb");
    // Only the value is replaced, not the same text elsewhere.
    EXPECT_EQ(AdjustConnectionString(std::string(kJet) + "Data Source=db;User ID=dbadmin", false, folder),
              std::string(kJet) + "Data Source=" + folder + "/db;User ID=dbadmin");
}

// An ODBC driver that reads a database file finds it in the template folder
// too, with or without MSDASQL; blanks inside quotes are part of the name.
TEST_F(TemplateFolder, OdbcDatabaseFilesBecomeAbsolute) {
    EXPECT_EQ(AdjustConnectionString("Driver=SQLite3;Database=invoice.db", false, folder),
              "Driver=SQLite3;Database=" + folder + "/invoice.db");
    EXPECT_EQ(AdjustConnectionString("Provider=MSDASQL;Driver={SQLite3};Database=\" a.db\";Timeout=5", false, folder),
              "Provider=MSDASQL;Driver={SQLite3};Database=\"" + folder + "/ a.db\";Timeout=5");
    EXPECT_EQ(AdjustConnectionString("Provider=MSDASQL;Extended Properties=\"Driver=SQLite3;Database={ a.db}\"", false,
                                     folder),
              "Provider=MSDASQL;Extended Properties=\"Driver=SQLite3;Database={" + folder + "/ a.db}\"");
    EXPECT_EQ(AdjustConnectionString("Driver={MDBTools};DBQ=data\\x.mdb", false, folder),
              "Driver={MDBTools};DBQ=" + folder + "/data/x.mdb");
    // A file data source, whatever its driver.
    EXPECT_EQ(AdjustConnectionString("FILEDSN=shop.dsn;UID=ann", false, folder),
              "FILEDSN=" + folder + "/shop.dsn;UID=ann");
    EXPECT_EQ(AdjustConnectionString("Provider=MSDASQL;FileDSN=dsn/pg", false, folder),
              "Provider=MSDASQL;FileDSN=" + folder + "/dsn/pg");
    // A server's database is no file.
    for (const std::string& s : {std::string("Driver={PostgreSQL Unicode};Database=invoice"),
                                 std::string("Provider=MSDASQL;Driver=SQLite3;Database=/srv/x.db"),
                                 std::string("Driver=SQLite3;Database=:memory:")})
        EXPECT_EQ(AdjustConnectionString(s, false, folder), s);
}

TEST_F(TemplateFolder, OtherConnectionStringsStayAsTheyAre) {
    for (const std::string& s : {
             std::string(kJet) + "Data Source=/srv/data/db.mdb",
             std::string(kJet) + "Data Source=C:\\Data\\db.mdb",
             std::string(kJet) + "Data Source=\\\\server\\share\\db.mdb",
             std::string(kJet) + "Data Source=;",
             std::string(kJet) + "Extended Properties=Excel 8.0",
             std::string("Provider=SQLOLEDB;Data Source=db.mdb;Initial Catalog=x"),
             std::string("DSN=Sales"),
             std::string(),
         }) {
        EXPECT_EQ(AdjustConnectionString(s, false, folder), s);
    }
}

TEST_F(TemplateFolder, SavedRecordsetFileFoundInTheTemplateFolder) {
    const std::string there = touch("orders.xml");
    EXPECT_EQ(AdjustConnectionString("orders.xml", true, folder), there);
    EXPECT_EQ(AdjustConnectionString("C:\\old\\place\\orders.xml", true, folder), there);
    EXPECT_EQ(AdjustConnectionString("/elsewhere/orders.xml", true, folder), there);
    // A file that exists where it is named stays; a missing one everywhere too.
    EXPECT_EQ(AdjustConnectionString(there, true, "/nonexistent"), there);
    EXPECT_EQ(AdjustConnectionString("missing.xml", true, folder), folder + "/missing.xml");
    EXPECT_EQ(AdjustConnectionString("", true, folder), "");
    // With the flag false the text is a connection, whose bare path is a
    // database file: taken in the template folder, not looked up by name.
    EXPECT_EQ(AdjustConnectionString("sub/orders.xml", false, folder), folder + "/sub/orders.xml");
}

TEST_F(TemplateFolder, EveryRelativeDataFileIsTakenFromTheTemplateFolder) {
    // The current folder holds decoys of the same names: none may be chosen.
    const fs::path cwd = fs::current_path();
    fs::create_directories(folder + "/decoy/data");
    fs::create_directories(folder + "/t/data");
    for (const char* f : {"decoy/db.sqlite", "decoy/data/x.xml", "t/data/x.xml"}) touch(f);
    fs::current_path(folder + "/decoy");
    const std::string t = folder + "/t", db = t + "/db.sqlite";
    EXPECT_EQ(AdjustConnectionString("Provider=SQLite;Data Source=db.sqlite", false, t),
              "Provider=SQLite;Data Source=" + db);
    EXPECT_EQ(AdjustConnectionString("Data Source=db.sqlite", false, t), "Data Source=" + db);
    EXPECT_EQ(AdjustConnectionString("db.sqlite", false, t), db);
    EXPECT_EQ(AdjustConnectionString(std::string(kJet) + "data source='db.sqlite'", false, t),
              std::string(kJet) + "data source='" + db + "'");
    EXPECT_EQ(AdjustConnectionString(std::string(kJet) + "DATA SOURCE = db.sqlite ;Mode=Read", false, t),
              std::string(kJet) + "DATA SOURCE = " + db + " ;Mode=Read");
    EXPECT_EQ(AdjustConnectionString("Data Source=\"a;b.db\"", false, t), "Data Source=\"" + t + "/a;b.db\"");
    EXPECT_EQ(AdjustConnectionString("data/x.xml", true, t), t + "/data/x.xml");
    fs::current_path(cwd);
}

TEST_F(TemplateFolder, FileNameIdentical) {
    EXPECT_TRUE(FileNameIdentical(folder + "/a.rtf", folder + "/./a.rtf"));
    EXPECT_TRUE(FileNameIdentical(folder + "/a.rtf", folder + "/sub/../a.rtf"));
    EXPECT_TRUE(FileNameIdentical(folder + "/", folder));
    EXPECT_FALSE(FileNameIdentical(folder + "/a.rtf", folder + "/A.rtf"));
    EXPECT_FALSE(FileNameIdentical(folder + "/a.rtf", ""));
    EXPECT_FALSE(FileNameIdentical("", ""));
}

TEST(ModDesigner, ManageCarriageReturn) {
    ui::TextBox box;
    box.Text = "If x Then\ry\r\nEnd If";
    ManageCarriageReturn(box);
    EXPECT_EQ(box.Text, "If x Then\r\ny\r\nEnd If");
}

TEST(ModDesigner, ValidCnOrCmdName) {
    for (const char* good : {"Orders2", "order_lines", "A", "x_1_"}) EXPECT_TRUE(ValidCnOrCmdName(good)) << good;
    for (const char* bad : {"", "2Orders", "_x", "Order Lines", "Ordre-1", "Ordr\xC3\xA9", "A[b", "A^b", "A`b",
                            "A]b", "A\\b", " x", "x "})
        EXPECT_FALSE(ValidCnOrCmdName(bad)) << bad;
}

TEST(ModDesigner, LocaleTexts) {
    sys::setUserDefaultLcid(1033);
    EXPECT_EQ(GetLocaleDateFormat(1), *sys::localeInfo(1033, sys::LOCALE_SSHORTDATE));
    EXPECT_EQ(GetLocaleDateFormat(0), *sys::localeInfo(1033, sys::LOCALE_SLONGDATE));
    EXPECT_EQ(GetLocaleCurrencySymbol(), "$");
    sys::setUserDefaultLcid(1036);
    EXPECT_EQ(GetLocaleCurrencySymbol(), *sys::localeInfo(1036, sys::LOCALE_SCURRENCY));
    EXPECT_NE(GetLocaleDateFormat(1), GetLocaleDateFormat(0));
    sys::setUserDefaultLcid(0);
}

} // namespace
} // namespace qz
