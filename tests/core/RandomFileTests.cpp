#include "core/CoreFixture.h"
#include "core/RandomFile.h"
#include "platform/system/Folders.h"

#include <fcntl.h>
#include <unistd.h>

using namespace qz;
using qz::test::CoreFixture;
using qz::test::numberOf;
using qz::test::TestHome;

TEST_F(CoreFixture, RandomFileReadsRangesAndTheWholeFile) {
    std::string path = home.root() + "/t.rtf";
    TestHome::write(path, "{\\rtf1 ab}");
    RandomFile f;
    f.OpenInputFile(path, false);
    EXPECT_EQ(f.FileSize(), 10);
    EXPECT_EQ(f.ReadBytes(5), "{\\rtf");
    EXPECT_EQ(f.ReadAllBytes(), "{\\rtf1 ab}");
    f.SeekAbsolute(0, 6);
    EXPECT_EQ(f.ReadBytes(10), " ab}");  // a short read gives what is there
    EXPECT_EQ(f.ReadBytes(3), "");
    EXPECT_EQ(f.ReadBytes(0), "");
    f.SeekAbsolute(0, 2);
    EXPECT_EQ(f.ReadBytes(std::int64_t(1) << 50), "rtf1 ab}");  // no room is taken for what is not there
    f.CloseFile();
    EXPECT_FALSE(f.IsOpen());
}

TEST_F(CoreFixture, RandomFileStateErrors) {
    std::string path = home.root() + "/t.bin";
    TestHome::write(path, "data");
    RandomFile f;
    EXPECT_EQ(numberOf([&] { f.ReadBytes(1); }), OwnErrorNumber(3108));
    EXPECT_EQ(numberOf([&] { f.FileSize(); }), OwnErrorNumber(3108));
    f.OpenInputFile(path, false);
    EXPECT_EQ(numberOf([&] { f.OpenInputFile(path, false); }), -2147218404);
    EXPECT_TRUE(f.IsOpen());  // the first file stays open
    EXPECT_EQ(f.ReadAllBytes(), "data");
    f.CloseFile();
    EXPECT_EQ(numberOf([&] { f.CloseFile(); }), OwnErrorNumber(3108));
    auto lines = logLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2][1] + "." + lines[2][2], "RandomFile.OpenInputFile");
    EXPECT_EQ(lines[2][5], "Cannot open the input file.");
}

TEST_F(CoreFixture, RandomFileNeverCreatesAFileItOnlyReads) {
    std::string path = home.root() + "/missing.rtf";
    RandomFile f;
    EXPECT_EQ(numberOf([&] { f.OpenInputFile(path, false); }), OwnErrorNumber(3100));
    EXPECT_FALSE(sys::fileExists(path));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(f.IsFileExist(path));
    EXPECT_EQ(numberOf([&] { f.OpenInputFile(home.root(), false); }), OwnErrorNumber(3100));
    // for writing, a missing file is created empty
    f.OpenInputFile(path, true);
    EXPECT_EQ(f.FileSize(), 0);
    EXPECT_EQ(f.ReadAllBytes(), "");
    EXPECT_TRUE(f.IsFileExist(path));
}

TEST_F(CoreFixture, RandomFileWriterHasTheFileAloneWhileReadersShare) {
    std::string path = home.root() + "/shared.rtf";
    TestHome::write(path, "x");
    {
        RandomFile r1, r2, w;
        r1.OpenInputFile(path, false);
        r2.OpenInputFile(path, false);
        EXPECT_EQ(numberOf([&] { w.OpenInputFile(path, true); }), OwnErrorNumber(3100));
    }
    RandomFile w, r;
    w.OpenInputFile(path, true);
    EXPECT_EQ(numberOf([&] { r.OpenInputFile(path, false); }), OwnErrorNumber(3100));
    w.CloseFile();
    r.OpenInputFile(path, false);
    EXPECT_EQ(r.ReadAllBytes(), "x");
}

TEST_F(CoreFixture, RandomFileSizesAndPositionsAreSixtyFourBit) {
    std::string path = home.root() + "/sparse.bin";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    // sparse: takes no room on disk
    ASSERT_EQ(::ftruncate(fd, 4294967298LL), 0);
    ASSERT_EQ(::pwrite(fd, "Z", 1, 3221225471LL), 1);
    ASSERT_EQ(::pwrite(fd, "Q", 1, 4294967296LL), 1);
    ::close(fd);
    RandomFile f;
    f.OpenInputFile(path, false);
    EXPECT_EQ(f.FileSize(), 4294967298LL);
    f.SeekAbsolute(0, static_cast<std::int32_t>(3221225471u));  // low part above 2^31
    EXPECT_EQ(f.ReadBytes(2), std::string("Z\0", 2));
    f.SeekAbsolute(1, 0);  // the high part counts 4 GiB
    EXPECT_EQ(f.ReadBytes(4), std::string("Q\0", 2));
}
