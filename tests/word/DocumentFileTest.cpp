// A document and its file: two studios on one file, a file changed under an
// open document, and files that cannot be documents.
#include "platform/word/Application.h"
#include "platform/word/Range.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

using namespace qz::word;
namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path path = fs::temp_directory_path() / ("qz_word_file_" + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

qz::AutomationError errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const qz::AutomationError& e) {
        return e;
    }
    return qz::AutomationError(0, "", "");
}

// A document with some text saved at `file` by `app`.
Document& saved(Application& app, const std::string& file) {
    app.GetDocuments().Add();
    app.GetSelection().TypeText("text");
    app.ActiveDocument().SaveAs(file);
    return app.ActiveDocument();
}

std::string host() {
    char h[256] = {};
    ::gethostname(h, sizeof h - 1);
    return h;
}

} // namespace

TEST(DocumentFile, ASecondStudioIsToldWhoHasTheDocumentAndOpensItReadOnly) {
    Folder dir;
    const std::string file = dir.file("t.rtf"), lock = dir.file(".~lock.t.rtf#");
    Application first, second;
    first.GetDocuments().Add();
    first.GetSelection().TypeText("first");
    first.ActiveDocument().SaveAs(file);
    ASSERT_TRUE(fs::exists(lock));
    EXPECT_NE(read(lock).find("," + host() + "," + std::to_string(::getpid()) + ","), std::string::npos);

    Document& other = second.GetDocuments().Open(file);
    EXPECT_TRUE(other.ReadOnly());
    EXPECT_NE(other.LockedBy().find(" on " + host() + " since "), std::string::npos) << other.LockedBy();
    second.GetSelection().TypeText("second ");
    EXPECT_NE(errorOf([&] { other.Save(); }).Description.find("open for editing by"), std::string::npos);
    Document& elsewhere = second.GetDocuments().Add();
    EXPECT_EQ(errorOf([&] { elsewhere.SaveAs(file); }).Number, kErrReadOnly);
    EXPECT_NE(read(file).find("first"), std::string::npos);
    EXPECT_EQ(read(file).find("second"), std::string::npos);

    // Closed in the first studio, the lock goes and the next opener edits.
    first.ActiveDocument().Close();
    EXPECT_FALSE(fs::exists(lock));
    Application third;
    EXPECT_FALSE(third.GetDocuments().Open(file).ReadOnly());
    third.ActiveDocument().Close();

    // A lock left by a process that is gone is taken over; one of a running
    // process is respected.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    std::ofstream(lock) << "ann," << host() << "," << gone << ",2026-01-01 09:00\n";
    EXPECT_FALSE(third.GetDocuments().Open(file).ReadOnly());
    EXPECT_NE(read(lock).find("," + std::to_string(::getpid()) + ","), std::string::npos);
    third.ActiveDocument().Close();
    // So is one of a process that has ended but is not yet collected, and
    // one whose number a process started after the lock now has.
    const pid_t zombie = fork();
    if (zombie == 0) _exit(0);
    siginfo_t ended{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(zombie), &ended, WEXITED | WNOWAIT), 0);  // ended, not collected
    std::ofstream(lock) << "ann," << host() << "," << zombie << ",2026-01-01 09:00\n";
    EXPECT_FALSE(third.GetDocuments().Open(file).ReadOnly());
    third.ActiveDocument().Close();
    waitpid(zombie, nullptr, 0);
    const pid_t later = fork();
    if (later == 0) {
        ::pause();
        _exit(0);
    }
    std::ofstream(lock) << "ann," << host() << "," << later << ",2000-01-01 09:00\n";
    EXPECT_FALSE(third.GetDocuments().Open(file).ReadOnly());
    third.ActiveDocument().Close();
    char now[32] = {};
    const std::time_t t = std::time(nullptr);
    std::tm tm {};
    ::localtime_r(&t, &tm);
    std::strftime(now, sizeof now, "%Y-%m-%d %H:%M", &tm);
    std::ofstream(lock) << "ann," << host() << "," << later << "," << now << "\n";
    EXPECT_EQ(third.GetDocuments().Open(file).LockedBy(), "ann on " + host() + " since " + now);
    third.ActiveDocument().Close();
    EXPECT_TRUE(fs::exists(lock));  // not ours to remove
    ::kill(later, SIGKILL);
    waitpid(later, nullptr, 0);
}

TEST(DocumentFile, ASaveNeverReplacesWhatSomeoneElseWroteMeanwhile) {
    Folder dir;
    const std::string file = dir.file("t.rtf");
    Application app;
    app.GetDocuments().Add();
    app.GetSelection().TypeText("mine");
    app.ActiveDocument().SaveAs(file);
    Document& doc = app.ActiveDocument();
    doc.Save();  // unchanged on disk: saves
    std::ofstream(file, std::ios::trunc) << "{\\rtf1 written by someone else}";
    EXPECT_TRUE(doc.ChangedOnDisk());
    EXPECT_EQ(errorOf([&] { doc.Save(); }).Number, kErrChangedOnDisk);
    EXPECT_EQ(read(file), "{\\rtf1 written by someone else}");
    // With the author's word, this document replaces it.
    doc.OverwriteDiskChanges();
    doc.Save();
    EXPECT_NE(read(file).find("mine"), std::string::npos);
    EXPECT_FALSE(doc.ChangedOnDisk());
}

// What cannot be a document is refused with the system's reason and the file.
TEST(DocumentFile, FilesThatCannotBeDocumentsSayWhy) {
    Folder dir;
    Application app;
    const std::string fifo = dir.file("pipe.rtf"), text = dir.file("notes.rtf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(text) << "just text";
    const std::pair<std::string, std::string> cases[] = {
        {dir.path.string(), "it is a folder"}, {fifo, "it is not a regular file"},
        {"/dev/zero", "it is not a regular file"}, {dir.file("missing.rtf"), "No such file or directory"},
        {text, text}};
    for (const auto& [path, why] : cases) {
        const qz::AutomationError e = errorOf([&] { app.GetDocuments().Open(path); });
        EXPECT_NE(e.Description.find(why), std::string::npos) << path << ": " << e.Description;
    }
    app.GetDocuments().Add();
    const qz::AutomationError e = errorOf([&] { app.ActiveDocument().SaveAs(text + "/inside.rtf"); });
    EXPECT_NE(e.Description.find("Not a directory"), std::string::npos) << e.Description;
}

// Through a symbolic link, a hard link in another folder, or after the
// holder saved (a new file under the name), an opener meets the one lock.
TEST(DocumentFile, EveryNameOfADocumentMeetsOneLock) {
    Folder dir;
    fs::create_directories(dir.path / "a");
    fs::create_directories(dir.path / "b");
    const std::string file = dir.file("a/t.rtf"), link = dir.file("b/link.rtf"), hard = dir.file("b/hard.rtf");
    Application first, second;
    Document& doc = saved(first, file);
    fs::create_symlink(file, link);
    fs::create_hard_link(file, hard);
    for (const std::string& name : {link, hard}) {
        EXPECT_TRUE(second.GetDocuments().Open(name).ReadOnly()) << name;
        second.ActiveDocument().Close();
    }
    EXPECT_NE(second.GetDocuments().Open(link).LockedBy().find(" on " + host()), std::string::npos);
    second.ActiveDocument().Close();
    EXPECT_FALSE(fs::exists(dir.file("b/.~lock.link.rtf#")));
    doc.Save();
    EXPECT_TRUE(second.GetDocuments().Open(link).ReadOnly());
    second.ActiveDocument().Close();
    doc.Close();
    EXPECT_FALSE(second.GetDocuments().Open(link).ReadOnly());
}

// A lock file too large to be one, or a link (here to a file that never
// ends), is not read: the document opens read-only as held by someone else.
TEST(DocumentFile, ALockFileThatIsNoLockIsNotRead) {
    Folder dir;
    Application app, other;
    const std::string file = dir.file("t.rtf"), lock = dir.file(".~lock.t.rtf#");
    saved(app, file).Close();
    std::ofstream(lock).close();
    fs::resize_file(lock, 2ull << 30);  // sparse
    EXPECT_EQ(other.GetDocuments().Open(file).LockedBy().substr(0, 40), "another user");
    other.ActiveDocument().Close();
    fs::remove(lock);
    fs::create_symlink("/proc/self/pagemap", lock);
    EXPECT_EQ(other.GetDocuments().Open(file).LockedBy(), "another user");
}

namespace {

// Studios in other processes (in `zone`, when given) that open a document
// all at once, say whether they hold it, and keep it until this ends.
struct Openers {
    std::vector<pid_t> pids;
    int go[2], answers[2], done[2];
    Openers(const std::string& file, int count, const char* zone = nullptr) {
        if ((::pipe(go) | ::pipe(answers) | ::pipe(done)) != 0) throw std::runtime_error("pipe");
        for (int i = 0; i < count; ++i)
            if ((pids.emplace_back(::fork())) == 0) {
                for (int fd : {go[1], answers[0], done[1]}) ::close(fd);
                if (zone) ::setenv("TZ", zone, 1), ::tzset();
                char c;
                (void)!::read(go[0], &c, 1);
                Application app;
                const char held = app.GetDocuments().Open(file).ReadOnly() ? '0' : '1';
                if (::write(answers[1], &held, 1) == 1) (void)!::read(done[0], &c, 1);
                ::_exit(0);
            }
        for (int fd : {go[0], answers[1], done[0]}) ::close(fd);
    }
    int holders() {
        ::close(go[1]);
        int n = 0;
        for (std::size_t i = 0; i < pids.size(); ++i) {
            char held = '0';
            (void)!::read(answers[0], &held, 1);
            n += held == '1';
        }
        return n;
    }
    ~Openers() {
        for (int fd : {answers[0], done[1]}) ::close(fd);
        for (pid_t pid : pids) ::waitpid(pid, nullptr, 0);
    }
};

} // namespace

// A lock of a running studio in another time zone is not stale: neither the
// document it holds, nor a copy of its lock file beside another document (as
// a studio that takes no kernel lock leaves it), opens for editing.
TEST(DocumentFile, ALiveLockWrittenInAnotherTimeZoneIsRespected) {
    Folder dir;
    const std::string file = dir.file("t.rtf"), copy = dir.file("u.rtf");
    Application app;
    saved(app, file).Close();
    saved(app, copy).Close();
    Openers elsewhere(file, 1, "America/Los_Angeles");
    ASSERT_EQ(elsewhere.holders(), 1);
    EXPECT_TRUE(app.GetDocuments().Open(file).ReadOnly());
    fs::copy_file(dir.file(".~lock.t.rtf#"), dir.file(".~lock.u.rtf#"));
    Document& other = app.GetDocuments().Open(copy);
    EXPECT_TRUE(other.ReadOnly());
    EXPECT_NE(other.LockedBy().back(), 'Z') << other.LockedBy();  // told in local time
}

// Openers in several processes racing beside a stale lock: exactly one
// holds the document, every time.
TEST(DocumentFile, OneOfManyOpenersRacingBesideAStaleLockHoldsTheDocument) {
    Folder dir;
    const std::string file = dir.file("t.rtf");
    Application app;
    saved(app, file).Close();
    for (int trial = 0; trial < 40; ++trial) {
        const pid_t gone = fork();
        if (gone == 0) _exit(0);
        waitpid(gone, nullptr, 0);
        std::ofstream(dir.file(".~lock.t.rtf#")) << "ann," << host() << "," << gone << ",2026-01-01 09:00Z\n";
        ASSERT_EQ(Openers(file, 8).holders(), 1) << "trial " << trial;
    }
}
