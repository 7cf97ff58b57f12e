// Test binaries run with folders of their own, removed when they end.
#include "system/TestEnv.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string envOf(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

} // namespace

// Run by the test below in a child process: leaves files in every folder.
TEST(TestEnvironment, LeavesFilesWhenAsked) {
    if (envOf("QZ_TEST_LEAVE_FILES").empty()) GTEST_SKIP() << "run by PrivateFoldersAreRemovedAtTheEnd";
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "TMPDIR"})
        std::ofstream(envOf(name) + "/left-behind") << "x";
}

TEST(TestEnvironment, PrivateFoldersAreRemovedAtTheEnd) {
    // This binary's own folders lie in one private folder, not the user's.
    const std::string tmp = envOf("TMPDIR");
    const std::string root = fs::path(tmp).parent_path().string();
    EXPECT_EQ(fs::path(root).filename().string().rfind("qztest-", 0), 0u) << root;
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
        EXPECT_EQ(envOf(name).rfind(root + "/", 0), 0u) << name;

    // A run of a test binary leaves nothing in the temporary folder it started with.
    const std::string outer = tmp + "/outer";
    fs::create_directories(outer);
    const std::string cmd = "TMPDIR='" + outer + "' QZ_TEST_LEAVE_FILES=1 /proc/" + std::to_string(::getpid()) +
                            "/exe --gtest_filter=TestEnvironment.LeavesFilesWhenAsked >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_TRUE(fs::is_empty(outer));
}
