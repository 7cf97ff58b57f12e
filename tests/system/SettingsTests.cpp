#include "platform/system/Folders.h"
#include "platform/system/Settings.h"
#include "system/TestEnv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <thread>

using namespace qz::sys;
using qz::test::TestHome;

namespace {
const char* kVendor = "Software\\Pellitron Inc.\\Version 8.1";
}

TEST(Settings, ValuesRoundTripThroughTheFileOfEachScope) {
    TestHome home;
    EXPECT_FALSE(settingsKeyExists(SettingsScope::User, kVendor));
    EXPECT_EQ(readSetting(SettingsScope::User, kVendor, "Last"), std::nullopt);
    ASSERT_EQ(writeSetting(SettingsScope::User, kVendor, "Last", "C:\\x \"y\"\r\nz"), 0);
    ASSERT_EQ(writeSetting(SettingsScope::User, kVendor, "", "default"), 0);
    ASSERT_EQ(writeSetting(SettingsScope::Machine, kVendor, "Last", "machine"), 0);
    EXPECT_EQ(readSetting(SettingsScope::User, kVendor, "Last"), "C:\\x \"y\"\r\nz");
    EXPECT_EQ(readSetting(SettingsScope::User, kVendor, ""), "default");
    EXPECT_EQ(readSetting(SettingsScope::Machine, kVendor, "Last"), "machine");
    EXPECT_EQ(settingsFile(SettingsScope::User),
              home.root() + "/config/Pellitron/Quorvane Studio 2004/user.reg");
    EXPECT_TRUE(fileExists(settingsFile(SettingsScope::Machine)));
    // names of keys and values do not depend on case; separators are forgiven
    EXPECT_EQ(readSetting(SettingsScope::User, "software\\PELLITRON INC.\\version 8.1\\", "LAST"),
              "C:\\x \"y\"\r\nz");
    EXPECT_TRUE(settingsKeyExists(SettingsScope::User, "Software\\Pellitron Inc."));
    // overwrite keeps one value
    ASSERT_EQ(writeSetting(SettingsScope::User, kVendor, "last", "2"), 0);
    EXPECT_EQ(readSetting(SettingsScope::User, kVendor, "Last"), "2");
    EXPECT_EQ(TestHome::read(settingsFile(SettingsScope::User)).find("C:\\"), std::string::npos);
}

TEST(Settings, DeleteRemovesOneValueAndReportsWhatIsMissing) {
    TestHome home;
    ASSERT_EQ(writeSetting(SettingsScope::User, kVendor, "A", "1"), 0);
    ASSERT_EQ(writeSetting(SettingsScope::User, kVendor, "B", "2"), 0);
    EXPECT_EQ(deleteSetting(SettingsScope::User, kVendor, "a"), 0);
    EXPECT_EQ(readSetting(SettingsScope::User, kVendor, "A"), std::nullopt);
    EXPECT_EQ(readSetting(SettingsScope::User, kVendor, "B"), "2");
    EXPECT_EQ(deleteSetting(SettingsScope::User, kVendor, "A"), ENOENT);
    EXPECT_EQ(deleteSetting(SettingsScope::User, "Software\\Nobody", "A"), ENOENT);
    EXPECT_TRUE(settingsKeyExists(SettingsScope::User, kVendor));
}

TEST(Settings, ValuesTheSystemKeepsAreAnsweredUnlessTheStoreHoldsThem) {
    TestHome home;
    const char* ie = "SOFTWARE\\Microsoft\\Internet Explorer";
    ASSERT_TRUE(settingsKeyExists(SettingsScope::Machine, ie));
    auto fresh = readSetting(SettingsScope::Machine, ie, "Version");
    ASSERT_TRUE(fresh.has_value());
    EXPECT_FALSE(fresh->empty());
    ASSERT_EQ(writeSetting(SettingsScope::Machine, ie, "Version", "4.72.3110.8"), 0);
    EXPECT_EQ(readSetting(SettingsScope::Machine, ie, "Version"), "4.72.3110.8");
    EXPECT_EQ(readSetting(SettingsScope::User, ie, "Version"), std::nullopt);

    const char* shell = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    EXPECT_EQ(readSetting(SettingsScope::User, shell, "Personal"), personalFolder());
}

TEST(Settings, ConcurrentWritersLoseNothing) {
    TestHome home;
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 20; ++i)
                writeSetting(SettingsScope::User, kVendor, "v" + std::to_string(t) + "_" + std::to_string(i),
                             std::to_string(i));
        });
    for (auto& t : threads) t.join();
    for (int t = 0; t < 6; ++t)
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(readSetting(SettingsScope::User, kVendor, "v" + std::to_string(t) + "_" + std::to_string(i)),
                      std::to_string(i));
    // The store is the folder's only file: no lock file is left beside it.
    const std::string file = settingsFile(SettingsScope::User);
    for (const auto& entry : std::filesystem::directory_iterator(file.substr(0, file.rfind('/'))))
        EXPECT_EQ(entry.path().string(), file);
}

TEST(Settings, AStoreThatCannotBeWrittenGivesAnErrorAndKeepsTheFile) {
    TestHome home;
    // The configuration folder is a file: nothing can be created below it,
    // nor in the private folder that would take its place.
    TestHome::write(home.root() + "/config", "not a folder");
    home.env.set("TMPDIR", home.root() + "/config");
    EXPECT_NE(writeSetting(SettingsScope::User, kVendor, "A", "1"), 0);
    EXPECT_EQ(readSetting(SettingsScope::User, kVendor, "A"), std::nullopt);
    EXPECT_EQ(writeSetting(SettingsScope::User, "Software\nX]\n[Y", "A", "1"), EINVAL);
    EXPECT_EQ(TestHome::read(home.root() + "/config"), "not a folder");
}

TEST(Settings, MalformedLinesAreSkipped) {
    TestHome home;
    std::string file = settingsFile(SettingsScope::User);
    ASSERT_EQ(createFolderTree(file.substr(0, file.rfind('/'))), 0);
    TestHome::write(file, "\"orphan\"=\"x\"\n[Software\\K]\r\ngarbage\n\"A\"=\"1\"\n\"B\"=unquoted\n\"C\"=\"unterminated\n[\n");
    EXPECT_EQ(readSetting(SettingsScope::User, "Software\\K", "A"), "1");
    EXPECT_EQ(readSetting(SettingsScope::User, "Software\\K", "B"), std::nullopt);
    EXPECT_EQ(readSetting(SettingsScope::User, "Software\\K", "C"), std::nullopt);
    EXPECT_EQ(readSetting(SettingsScope::User, "Software\\K", "orphan"), std::nullopt);
}
