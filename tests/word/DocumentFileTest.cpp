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
