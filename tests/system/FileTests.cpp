#include "platform/system/Files.h"
#include "system/TestEnv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

using namespace qz::sys;
using qz::test::TestHome;
namespace fs = std::filesystem;

namespace {
std::string contents(const std::string& path) {
    std::string out;
    EXPECT_EQ(readWholeFile(path, out), 0) << path;
    return out;
}
mode_t permissions(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}
} // namespace

TEST(Files, ReplaceKeepsPermissionsAndWritesThroughLinks) {
    TestHome home;
    const std::string file = home.root() + "/doc.rtf", link = home.root() + "/link.rtf";
    ASSERT_EQ(replaceFile(file, "first"), 0);
    EXPECT_EQ(contents(file), "first");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);

    ASSERT_EQ(replaceFile(link, "second"), 0);
    EXPECT_TRUE(fs::is_symlink(link)); // the link stays a link
    EXPECT_EQ(contents(file), "second");
    EXPECT_EQ(permissions(file), 0640u);

    // An explicit mode wins over the old file's bits.
    ASSERT_EQ(replaceFile(file, "third", 0600), 0);
    EXPECT_EQ(permissions(file), 0600u);
    // Nothing but the two names is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(home.root()), fs::directory_iterator()), 2);
}

TEST(Files, FailuresLeaveTheOldFileAndNoTemporary) {
    TestHome home;
    const std::string file = home.root() + "/keep.txt";
    ASSERT_EQ(replaceFile(file, "old"), 0);
    EXPECT_EQ(replaceFileWith(file, [](int) { return ENOSPC; }), ENOSPC);
    EXPECT_EQ(contents(file), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(home.root()), fs::directory_iterator()), 1);

    EXPECT_EQ(replaceFile(home.root(), "x"), EISDIR);
    EXPECT_EQ(replaceFile(home.root() + "/missing/x.txt", "x"), ENOENT);
}

TEST(Files, ReadingRefusesWhatIsNoFile) {
    TestHome home;
    std::string out = "left";
    EXPECT_EQ(readWholeFile(home.root(), out), EISDIR);
    EXPECT_EQ(readWholeFile(home.root() + "/none", out), ENOENT);
    const std::string fifo = home.root() + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readWholeFile(fifo, out), EINVAL); // refused, not waited on
    ASSERT_EQ(replaceFile(home.root() + "/empty", ""), 0);
    EXPECT_EQ(readWholeFile(home.root() + "/empty", out), 0);
    EXPECT_TRUE(out.empty());
}
