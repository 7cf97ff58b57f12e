#include "platform/system/Folders.h"
#include "platform/system/Settings.h"
#include "platform/system/SystemError.h"
#include "platform/system/TempFiles.h"
#include "system/TestEnv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using namespace qz::sys;
using qz::test::TestHome;

TEST(Folders, FollowTheXdgVariablesAndIgnoreRelativeOnes) {
    TestHome home;
    EXPECT_EQ(userDataFolder(), home.root() + "/data");
    EXPECT_EQ(userConfigFolder(), home.root() + "/config");
    EXPECT_EQ(machineConfigFolder(), home.root() + "/etc");
    home.env.set("XDG_DATA_HOME", "relative/path");
    EXPECT_EQ(userDataFolder(), home.root() + "/.local/share");
    home.env.set("XDG_CONFIG_DIRS", "");
    EXPECT_EQ(machineConfigFolder(), "/etc/xdg");
}

TEST(Folders, PersonalFolderComesFromUserDirsOrIsHome) {
    TestHome home;
    EXPECT_EQ(personalFolder(), home.root());
    ASSERT_EQ(createFolderTree(home.root() + "/config"), 0);
    ASSERT_EQ(createFolderTree(home.root() + "/Dokumente"), 0);
    TestHome::write(home.root() + "/config/user-dirs.dirs",
                    "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(personalFolder(), home.root() + "/Dokumente");
    home.env.set("XDG_DOCUMENTS_DIR", home.root() + "/missing");
    EXPECT_EQ(personalFolder(), home.root());  // a folder that is not there is not offered
}

TEST(Folders, CreateFolderTreeMakesParentsAndReportsBlockedPaths) {
    TestHome home;
    std::string deep = home.root() + "/a/b/c/";
    EXPECT_EQ(createFolderTree(deep), 0);
    EXPECT_TRUE(folderExists(home.root() + "/a/b/c"));
    EXPECT_EQ(createFolderTree(deep), 0);  // existing: fine
    TestHome::write(home.root() + "/file", "x");
    EXPECT_NE(createFolderTree(home.root() + "/file/sub"), 0);
    EXPECT_TRUE(fileExists(home.root() + "/file"));
    EXPECT_FALSE(fileExists(home.root() + "/a"));
}

TEST(Folders, AHomeThatCannotBeWrittenFallsBackToAPrivateFolder) {
    TestHome home;
    home.env.unset("XDG_RUNTIME_DIR");
    const std::string prefix = home.tmp() + "/qzstudio-" + std::to_string(::getuid());
    // Names another user could take first are planted: a link to a folder of
    // ours, a folder others may write, and the fixed name of earlier versions.
    ASSERT_EQ(::symlink(home.root().c_str(), (prefix + "-LINKED").c_str()), 0);
    ASSERT_EQ(::mkdir((prefix + "-OPENED").c_str(), 0700), 0);
    ::chmod((prefix + "-OPENED").c_str(), 0777);
    ASSERT_EQ(::symlink(home.root().c_str(), prefix.c_str()), 0);
    TestHome::write(home.root() + "/file", "x");
    int error = 0;
    const std::string found = writableFolder(home.root() + "/file/sub", "data/x", &error);
    EXPECT_EQ(error, ENOTDIR);
    const std::string priv = found.substr(0, found.size() - 7);
    EXPECT_EQ(found, priv + "/data/x");
    EXPECT_EQ(priv.rfind(prefix + "-", 0), 0u) << priv;
    EXPECT_EQ(priv.size(), prefix.size() + 7);
    EXPECT_NE(priv, prefix + "-LINKED");
    EXPECT_NE(priv, prefix + "-OPENED");
    struct stat st;
    ASSERT_EQ(::lstat(priv.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(writableFolder(home.root() + "/ok", "data/x"), home.root() + "/ok");
    // The next run takes the same private folder.
    EXPECT_EQ(fallbackUserFolder(), priv);

    // The settings follow: a home without a usable configuration folder.
    home.env.set("XDG_CONFIG_HOME", home.root() + "/file/config");
    EXPECT_EQ(settingsFile(SettingsScope::User), priv + "/config/Pellitron/Quorvane Studio 2004/user.reg");

    // A private runtime folder comes first; one others may write does not.
    const std::string runtime = home.root() + "/run";
    ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
    home.env.set("XDG_RUNTIME_DIR", runtime);
    EXPECT_EQ(fallbackUserFolder(), runtime + "/qzstudio");
    ::chmod(runtime.c_str(), 0777);
    EXPECT_EQ(fallbackUserFolder(), priv);

    // Where no folder can be had, each one tried is named with its reason.
    home.env.unset("XDG_RUNTIME_DIR");
    home.env.set("TMPDIR", home.root() + "/file");
    std::string why;
    EXPECT_EQ(writableFolder(home.root() + "/file/sub", "data/x", &error, &why), "");
    EXPECT_EQ(why, home.root() + "/file/sub: Not a directory; " + home.root() + "/file: Not a directory");
}

TEST(TempFiles, NameHasThreePrefixCharactersHexAndTmpAndTheFileIsEmpty) {
    TestHome home;
    int err = -1;
    std::string name = createTempFile(home.root(), "RTFXXXX", err);
    EXPECT_EQ(err, 0);
    std::string file = name.substr(home.root().size() + 1);
    EXPECT_TRUE(qz::test::isTempName(file, "RTF")) << file;
    struct stat st;
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    // a short prefix is used as it is; a multi-byte character counts as one
    std::string shortName = createTempFile(home.root(), "\u00E9a", err);
    EXPECT_NE(shortName.find("/\u00E9a"), std::string::npos);
}

TEST(TempFiles, FailuresAreReportedNotHidden) {
    TestHome home;
    int err = 0;
    EXPECT_EQ(createTempFile(home.root() + "/missing", "RTF", err), "");
    EXPECT_EQ(err, ENOENT);
    EXPECT_EQ(createTempFile(home.root(), "a/b", err), "");
    EXPECT_EQ(err, EINVAL);
}

TEST(TempFiles, NamesAreUniqueAcrossThreadsAndProcesses) {
    TestHome home;
    constexpr int kThreads = 8, kPerThread = 150, kProcs = 3, kPerProc = 150;
    // other processes create files in the same folder at the same time
    std::vector<pid_t> children;
    for (int p = 0; p < kProcs; ++p) {
        pid_t pid = ::fork();
        if (pid == 0) {
            int bad = 0, e = 0;
            for (int i = 0; i < kPerProc; ++i)
                if (createTempFile(home.root(), "PRC", e).empty()) ++bad;
            ::_exit(bad == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    std::mutex m;
    std::set<std::string> names;
    int failures = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) {
                int e = 0;
                std::string n = createTempFile(home.root(), "RTF", e);
                std::lock_guard<std::mutex> lock(m);
                if (n.empty()) ++failures;
                else names.insert(n);
            }
        });
    for (auto& t : threads) t.join();
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(names.size(), std::size_t(kThreads * kPerThread));
    std::size_t files = 0;
    for (auto& entry : std::filesystem::directory_iterator(home.root())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, std::size_t(kThreads * kPerThread + kProcs * kPerProc));
}

TEST(SystemError, ErrnoMapsToTheScriptingRuntimeNumbers) {
    EXPECT_EQ(systemError(ENOENT).Number, 53);
    EXPECT_EQ(systemError(ENOENT).Description, "File not found");
    EXPECT_EQ(systemError(ENOENT).SystemErrorCode, ENOENT);
    EXPECT_EQ(systemError(EACCES).Number, 70);
    EXPECT_EQ(systemError(ENOTDIR).Number, 76);
    EXPECT_EQ(systemError(EEXIST).Number, 58);
    EXPECT_EQ(errnoText(ENOENT), "No such file or directory");
}
