#include "Call.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>

using namespace qz;
using namespace qz::test;
namespace fs = std::filesystem;

namespace {

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qz_fso_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fso_ = Variant(script::createObject(u"Scripting.FileSystemObject"));
    }
    void TearDown() override { fs::remove_all(dir_); }

    Variant path(const std::string& name) const { return Variant::fromUtf8((dir_ / name).string()); }
    Variant run(const Variant& obj, std::u16string_view name, std::vector<Variant> args = {}) {
        return obj.objectValue()->invokeByName(name, kInvokeMethod | kInvokePropertyGet, args);
    }
    std::string bytes(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
    Variant fso_;
};

TEST_F(FileSystemTest, WriteThenReadText) {
    Variant ts = run(fso_, u"CreateTextFile", {path("a.txt")});
    run(ts, u"WriteLine", {S(u"first \u00E9")});
    run(ts, u"Write", {S(u"second")});
    run(ts, u"WriteBlankLines", {I(1)});
    EXPECT_VB_ERROR(run(ts, u"ReadLine"), 54);
    run(ts, u"Close");
    EXPECT_EQ(bytes("a.txt"), "first \xE9\r\nsecond\r\n"); // the ANSI code page

    ts = run(fso_, u"OpenTextFile", {path("a.txt")});
    EXPECT_FALSE(run(ts, u"AtEndOfStream").boolValue());
    EXPECT_EQ(run(ts, u"ReadLine").stringValue(), u"first \u00E9");
    EXPECT_EQ(run(ts, u"Line").longValue(), 2);
    EXPECT_EQ(run(ts, u"Read", {I(3)}).stringValue(), u"sec");
    EXPECT_EQ(run(ts, u"ReadAll").stringValue(), u"ond\r\n");
    EXPECT_TRUE(run(ts, u"AtEndOfStream").boolValue());
    EXPECT_VB_ERROR(run(ts, u"ReadLine"), 62);
    EXPECT_VB_ERROR(run(ts, u"Write", {S(u"x")}), 54);
    run(ts, u"Close");
    EXPECT_VB_ERROR(run(ts, u"ReadAll"), 52);

    // Appending, and Unicode files with their byte-order mark.
    ts = run(fso_, u"OpenTextFile", {path("a.txt"), I(8)});
    run(ts, u"Write", {S(u"more")});
    run(ts, u"Close");
    EXPECT_EQ(bytes("a.txt").substr(bytes("a.txt").size() - 4), "more");
    ts = run(fso_, u"CreateTextFile", {path("u.txt"), Variant(true), Variant(true)});
    run(ts, u"Write", {S(u"\u20ACx")});
    run(ts, u"Close");
    EXPECT_EQ(bytes("u.txt"), std::string("\xFF\xFE\xAC\x20x\0", 6));
    ts = run(fso_, u"OpenTextFile", {path("u.txt")});
    EXPECT_EQ(run(ts, u"ReadAll").stringValue(), u"\u20ACx");
}

TEST_F(FileSystemTest, OpenErrors) {
    EXPECT_VB_ERROR(run(fso_, u"OpenTextFile", {path("missing.txt")}), 53);
    EXPECT_VB_ERROR(run(fso_, u"OpenTextFile", {path("missing.txt"), I(8)}), 53);
    EXPECT_VB_ERROR(run(fso_, u"OpenTextFile", {path("x.txt"), I(3)}), 5);
    run(fso_, u"OpenTextFile", {path("new.txt"), I(2), Variant(true)});
    EXPECT_TRUE(fs::exists(dir_ / "new.txt"));
    EXPECT_VB_ERROR(run(fso_, u"CreateTextFile", {path("new.txt"), Variant(false)}), 58);
    EXPECT_VB_ERROR(run(fso_, u"OpenTextFile", {path("nodir/x.txt"), I(2), Variant(true)}), 76);
    EXPECT_VB_ERROR(run(fso_, u"GetFile", {path("missing.txt")}), 53);
    EXPECT_VB_ERROR(run(fso_, u"GetFolder", {path("missing")}), 76);
}

// Only regular files open as text streams: a named pipe (with or without a
// reader) or a device is refused with 75 at once, and nothing is written to
// it; a folder keeps its 70.
TEST_F(FileSystemTest, OnlyRegularFilesOpen) {
    const fs::path fifo = dir_ / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto refused = [&](const Variant& file, std::vector<Variant> more) {
        more.insert(more.begin(), file);
        auto opened = std::async(std::launch::async, [&] {
            try {
                run(fso_, u"OpenTextFile", more);
            } catch (const AutomationError& e) {
                return e.Number;
            }
            return 0;
        });
        if (opened.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            // Blocked on the pipe: give it the other end so that the test ends.
            const int fd = ::open(fifo.c_str(), O_RDWR);
            opened.wait();
            ::close(fd);
            ADD_FAILURE() << "the open waited for the pipe";
            return 0;
        }
        return opened.get();
    };
    for (int mode : {1, 2, 8}) EXPECT_EQ(refused(path("pipe"), {I(mode)}), 75) << mode;
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_EQ(refused(path("pipe"), {I(2)}), 75);
    ::close(reader);
    EXPECT_EQ(refused(Variant(u"/dev/zero"), {I(1)}), 75);
    EXPECT_EQ(refused(path(""), {I(1)}), 70);  // a folder, as before
    EXPECT_EQ(refused(path("missing.txt"), {I(1)}), 53);
    EXPECT_VB_ERROR(run(fso_, u"CreateTextFile", {path("pipe")}), 75);
    EXPECT_TRUE(fs::is_fifo(fifo));
    // A regular file is still emptied when it is written anew.
    std::ofstream(dir_ / "old.txt") << "old text";
    Variant ts = run(fso_, u"OpenTextFile", {path("old.txt"), I(2)});
    run(ts, u"Write", {S(u"new")});
    run(ts, u"Close");
    EXPECT_EQ(bytes("old.txt"), "new");
}

TEST_F(FileSystemTest, FilesFoldersAndNames) {
    std::ofstream(dir_ / "one.txt") << "12345";
    Variant f = run(fso_, u"GetFile", {path("one.txt")});
    EXPECT_EQ(run(f, u"Name").stringValue(), u"one.txt");
    EXPECT_EQ(run(f, u"Size").longValue(), 5);
    EXPECT_EQ(run(f, u"DateLastModified").type(), VarType::Date);
    EXPECT_TRUE(run(fso_, u"FileExists", {path("one.txt")}).boolValue());
    EXPECT_FALSE(run(fso_, u"FolderExists", {path("one.txt")}).boolValue());

    run(fso_, u"CopyFile", {path("one.txt"), path("two.txt")});
    EXPECT_VB_ERROR(run(fso_, u"CopyFile", {path("one.txt"), path("two.txt"), Variant(false)}), 58);
    Variant sub = run(fso_, u"CreateFolder", {path("sub")});
    EXPECT_VB_ERROR(run(fso_, u"CreateFolder", {path("sub")}), 58);
    EXPECT_EQ(run(sub, u"Name").stringValue(), u"sub");
    run(fso_, u"MoveFile", {path("two.txt"), path("sub")});
    EXPECT_TRUE(fs::exists(dir_ / "sub" / "two.txt"));

    Variant folder = run(fso_, u"GetFolder", {Variant::fromUtf8(dir_.string() + "/")});
    Variant files = run(folder, u"Files");
    EXPECT_EQ(run(files, u"Count").longValue(), 1);
    EXPECT_EQ(run(run(files, u"Item", {S(u"ONE.TXT")}), u"Size").longValue(), 5);
    EXPECT_EQ(run(run(folder, u"SubFolders"), u"Count").longValue(), 1);

    run(fso_, u"DeleteFile", {path("one.txt")});
    EXPECT_FALSE(fs::exists(dir_ / "one.txt"));
    EXPECT_VB_ERROR(run(fso_, u"DeleteFile", {path("one.txt")}), 53);
    run(fso_, u"DeleteFolder", {path("sub")});
    EXPECT_FALSE(fs::exists(dir_ / "sub"));

    EXPECT_EQ(run(fso_, u"GetFileName", {S(u"C:\\dir\\file.tar.gz")}).stringValue(), u"file.tar.gz");
    EXPECT_EQ(run(fso_, u"GetBaseName", {S(u"/a/file.tar.gz")}).stringValue(), u"file.tar");
    EXPECT_EQ(run(fso_, u"GetExtensionName", {S(u"/a/file.tar.gz")}).stringValue(), u"gz");
    EXPECT_EQ(run(fso_, u"GetExtensionName", {S(u"/a/file")}).stringValue(), u"");
    EXPECT_EQ(run(fso_, u"GetParentFolderName", {S(u"/a/b/c.txt")}).stringValue(), u"/a/b");
    EXPECT_EQ(run(fso_, u"GetParentFolderName", {S(u"/a")}).stringValue(), u"/");
    EXPECT_EQ(run(fso_, u"GetParentFolderName", {S(u"c.txt")}).stringValue(), u"");
    EXPECT_EQ(run(fso_, u"GetParentFolderName", {S(u"/")}).stringValue(), u"");
    EXPECT_EQ(run(fso_, u"GetParentFolderName", {S(u"C:\\dir\\")}).stringValue(), u"C:\\");
    EXPECT_EQ(run(fso_, u"BuildPath", {S(u"/a"), S(u"b.txt")}).stringValue(), u"/a/b.txt");
    EXPECT_EQ(run(fso_, u"BuildPath", {S(u"/a/"), S(u"b.txt")}).stringValue(), u"/a/b.txt");
    EXPECT_TRUE(run(fso_, u"FolderExists", {run(run(fso_, u"GetSpecialFolder", {I(2)}), u"Path")}).boolValue());
    EXPECT_VB_ERROR(run(fso_, u"GetSpecialFolder", {I(0)}), 5);
    std::u16string tmp = run(fso_, u"GetTempName").stringValue();
    EXPECT_EQ(tmp.size(), 12u);
    EXPECT_EQ(tmp.substr(0, 3), u"rad");
    EXPECT_EQ(tmp.substr(8), u".tmp");
}

} // namespace
