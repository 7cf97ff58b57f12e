#include "platform/system/Files.h"
#include "system/TestEnv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qz::sys;
using qz::test::TestHome;
namespace fs = std::filesystem;

namespace {
std::string contents(const std::string& path) {
    std::string out;
    EXPECT_EQ(readWholeFile(path, out), 0) << path;
    return out;
}
// The number of a process that has ended, and a name of ours it left.
long goneProcess() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}
std::string leftBy(long pid, const std::string& name, const std::string& what) {
    return "." + name + ".qzpart-" + std::to_string(pid) + "-1-" + what + ".tmp";
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

// A sweep removes this user's own leftovers only: never the file a mark
// names (unless the caller says the name is its own temporary file), never
// a name not exactly ours, never what a link named like ours points to.
TEST(Files, TheSweepRemovesOurLeftoversAndNoFileAMarkNames) {
    TestHome home;
    const std::string dir = home.root() + "/shared/";
    fs::create_directories(dir);
    const long gone = goneProcess();
    TestHome::write(dir + "thesis.txt", "mine");
    TestHome::write(dir + leftBy(gone, "thesis.txt", "held"), "");
    TestHome::write(dir + leftBy(gone, "out.rtf", "3"), "half");
    TestHome::write(dir + leftBy(gone, "closed.rtf", "held"), "");
    const std::string notOurs = ".notes.qzpart-" + std::to_string(gone) + "-1-x.tmp";
    TestHome::write(dir + notOurs, "the user's");
    ASSERT_EQ(::symlink((dir + "thesis.txt").c_str(), (dir + leftBy(gone, "link", "1")).c_str()), 0);
    ASSERT_EQ(::symlink((dir + "thesis.txt").c_str(), (dir + "RTF2.TMP").c_str()), 0);
    TestHome::write(dir + leftBy(gone, "RTF2.TMP", "held"), "");

    removeLeftovers(dir);
    EXPECT_EQ(contents(dir + "thesis.txt"), "mine");
    EXPECT_TRUE(fs::exists(dir + leftBy(gone, "thesis.txt", "held")));  // stays with its file
    EXPECT_FALSE(fs::exists(dir + leftBy(gone, "out.rtf", "3")));
    EXPECT_FALSE(fs::exists(dir + leftBy(gone, "closed.rtf", "held")));
    EXPECT_EQ(contents(dir + notOurs), "the user's");

    // The caller's own kind of temporary file goes with its mark; a link
    // named so is no file of ours.
    TestHome::write(dir + "RTF1.TMP", "preview");
    TestHome::write(dir + leftBy(gone, "RTF1.TMP", "held"), "");
    removeLeftovers(dir, [](std::string_view name) { return name.starts_with("RTF"); });
    EXPECT_FALSE(fs::exists(dir + "RTF1.TMP"));
    EXPECT_FALSE(fs::exists(dir + leftBy(gone, "RTF1.TMP", "held")));
    EXPECT_TRUE(fs::is_symlink(dir + "RTF2.TMP"));
    EXPECT_EQ(contents(dir + "thesis.txt"), "mine");
}

// In a folder every user may write to, another user's leftovers, and the
// files their marks name, are left alone when this user writes there.
TEST(Files, AnotherUsersMarksAndTemporariesAreLeftAlone) {
    if (::geteuid() != 0) GTEST_SKIP() << "making a file of another user needs root";
    TestHome home;
    const std::string dir = home.root() + "/shared/";
    fs::create_directories(dir);
    ASSERT_EQ(::chmod(dir.c_str(), 01777), 0);
    const long gone = goneProcess();
    TestHome::write(dir + "thesis.txt", "mine");
    for (const std::string& name : {leftBy(gone, "thesis.txt", "held"), leftBy(gone, "out.rtf", "1")}) {
        TestHome::write(dir + name, "");
        ASSERT_EQ(::chown((dir + name).c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(replaceFile(dir + "out.rtf", "written"), 0);
    removeLeftovers(dir, [](std::string_view) { return true; });
    EXPECT_EQ(contents(dir + "thesis.txt"), "mine");
    EXPECT_TRUE(fs::exists(dir + leftBy(gone, "thesis.txt", "held")));
    EXPECT_TRUE(fs::exists(dir + leftBy(gone, "out.rtf", "1")));
}

TEST(Files, AReplacementWrittenInPiecesHoldsThemInOrder) {
    TestHome home;
    const std::string file = home.root() + "/big.rtf";
    // Pieces past several of the steps at which the disk starts writing, and
    // the same file object used twice.
    ReplacementFile out;
    for (const std::size_t pieces : {9u, 3u}) {
        ASSERT_EQ(out.open(file), 0);
        std::string expected;
        for (std::size_t i = 0; i < pieces; ++i) {
            const std::string piece((1u << 20) + i, static_cast<char>('a' + i));
            ASSERT_EQ(out.write(piece), 0);
            expected += piece;
        }
        ASSERT_EQ(out.commit(), 0);
        EXPECT_TRUE(contents(file) == expected) << pieces;
    }
    EXPECT_EQ(out.write("x"), EBADF); // committed: closed
}
