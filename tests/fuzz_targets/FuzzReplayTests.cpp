// Replays the committed fuzz corpus: every file of tests/data/fuzz/<target>/
// goes through the target's entry point, as libFuzzer would give it. An
// input that once crashed, hung or broke an invariant fails the test again
// if the fault comes back.
#include "common/FuzzEntries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Entry = void (*)(const std::uint8_t*, std::size_t);

struct Target {
    const char* folder;
    Entry entry;
};

const Target kTargets[] = {
    {"rtf_template", qz::fuzz::RtfTemplate}, {"script", qz::fuzz::Script},
    {"saved_recordset", qz::fuzz::SavedRecordset}, {"qzc_file", qz::fuzz::QzcFile},
    {"word_rtf", qz::fuzz::WordRtf}, {"format_text", qz::fuzz::FormatText},
    {"query", qz::fuzz::QueryParser}, {"xlsx", qz::fuzz::Xlsx},
    {"access_sql", qz::fuzz::AccessSql}, {"xls", qz::fuzz::Xls},
};

class FuzzReplay : public ::testing::TestWithParam<Target> {
protected:
    // Error logs of the readers go to a scratch folder, not the user's.
    static void SetUpTestSuite() {
        scratch_ = (fs::temp_directory_path() / "qzfuzz-replay-XXXXXX").string();
        if (!mkdtemp(scratch_.data())) {
            scratch_.clear();
            return;
        }
        setenv("XDG_DATA_HOME", scratch_.c_str(), 1);
        setenv("XDG_STATE_HOME", scratch_.c_str(), 1);
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        if (!scratch_.empty()) fs::remove_all(scratch_, ignored);
    }
    static inline std::string scratch_;
};

TEST_P(FuzzReplay, EveryCorpusInputRunsThrough) {
    const fs::path folder = fs::path(QZ_TEST_DATA_DIR) / "fuzz" / GetParam().folder;
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no inputs in " << folder;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        std::ifstream in(file, std::ios::binary);
        ASSERT_TRUE(in) << file;
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        GetParam().entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, FuzzReplay, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.folder); });

} // namespace
