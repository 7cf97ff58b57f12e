#include "datasources/ModODBC.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace qz::datasources {
namespace {

// Points the driver manager at a user file and a system folder of the suite's
// own. The driver manager reads the variables once per process, so the folder
// stays for the whole suite and each test writes its files afresh.
class OdbcIni : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::random_device rd;
        dir = std::filesystem::temp_directory_path() / ("qz-odbc-" + std::to_string(rd()));
        std::filesystem::create_directories(dir / "sys");
        std::ofstream(dir / "sys" / "odbcinst.ini") << "[SQLite3]\nDriver=libsqlite3odbc.so\n";
        setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);
        setenv("ODBCSYSINI", (dir / "sys").c_str(), 1);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir); }
    void SetUp() override {
        std::filesystem::remove(dir / "odbc.ini");
        std::filesystem::remove(dir / "sys" / "odbc.ini");
    }
    static inline std::filesystem::path dir;
};

TEST_F(OdbcIni, ListsUserAndSystemNamesInTheDriverManagersOrder) {
    EXPECT_TRUE(GetOdbcDataSourceNames().empty());
    std::ofstream(dir / "odbc.ini") << "[Accounts]\nDriver=SQLite3\n[Stock]\nDriver=SQLite3\n";
    std::ofstream(dir / "sys" / "odbc.ini") << "[Zeta]\nDriver=SQLite3\n";
    EXPECT_EQ(GetOdbcDataSourceNames(), (std::vector<std::string>{"Accounts", "Stock", "Zeta"}));
}

TEST_F(OdbcIni, LongNamesAreNotReadPastTheBuffer) {
    const std::string name(300, 'N');
    std::ofstream(dir / "odbc.ini") << "[" << name << "]\nDriver=SQLite3\n";
    const auto names = GetOdbcDataSourceNames();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(name.compare(0, names[0].size(), names[0]), 0);
}

TEST_F(OdbcIni, CreatedDataSourceIsListed) {
    std::string error;
    ASSERT_TRUE(CreateOdbcDataSource("NewDsn", "SQLite3", {{"Database", "/tmp/x.db"}}, &error)) << error;
    EXPECT_EQ(GetOdbcDataSourceNames(), (std::vector<std::string>{"NewDsn"}));
    std::ifstream in(dir / "odbc.ini");
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(content.find("/tmp/x.db"), std::string::npos);
    EXPECT_FALSE(CreateOdbcDataSource("", "SQLite3", {}, &error));
    EXPECT_FALSE(GetOdbcDriverNames().empty());
}

} // namespace
} // namespace qz::datasources
