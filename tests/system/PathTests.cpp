#include "platform/system/Paths.h"
#include "system/TestEnv.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace qz::sys;
using qz::test::TestHome;

TEST(Paths, WindowsFormsAreReadAsTheyWereMeant) {
    for (const char* p : {"/x", "\\\\server\\share", "\\x", "C:\\x", "c:/x"}) EXPECT_TRUE(isAbsolutePath(p)) << p;
    for (const char* p : {"", "x", "x\\y", "1:\\x", ":x"}) EXPECT_FALSE(isAbsolutePath(p)) << p;
    EXPECT_EQ(withSlashes("data\\x.xml"), "data/x.xml");

    TestHome home;
    // A name that holds a backslash here is kept when such a file exists.
    const std::string odd = home.root() + "/a\\b.db";
    TestHome::write(odd, "x");
    EXPECT_EQ(localPath(odd), odd);
    EXPECT_EQ(localPath(home.root() + "\\c\\d.db"), home.root() + "/c/d.db");
}

TEST(Paths, LastComponentAndFileExistence) {
    EXPECT_EQ(lastPathComponent("/a/b.rtf"), "b.rtf");
    EXPECT_EQ(lastPathComponent("C:\\data\\x.xml"), "x.xml");
    EXPECT_EQ(lastPathComponent("a/b/"), "b");
    EXPECT_EQ(lastPathComponent("name"), "name");
    EXPECT_EQ(lastPathComponent("/"), "");

    TestHome home;
    const std::string file = home.root() + "/f";
    TestHome::write(file, "x");
    ASSERT_EQ(::symlink(file.c_str(), (home.root() + "/link").c_str()), 0);
    EXPECT_TRUE(regularFileExists(file));
    EXPECT_TRUE(regularFileExists(home.root() + "/link"));
    EXPECT_FALSE(regularFileExists(home.root()));
    EXPECT_FALSE(regularFileExists(home.root() + "/missing"));
    EXPECT_FALSE(regularFileExists(""));
}
