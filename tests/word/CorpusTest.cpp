// The corpus of real documents (tests/data/word/corpus, and the folder named
// by QZ_WORD_CORPUS when set): each is loaded, saved and loaded again, and
// keeps the model's own text; a second save equals the first.
#include "platform/word/Application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace qz::word;

namespace {

std::vector<fs::path> CorpusFiles() {
    std::vector<fs::path> files;
    std::vector<std::string> dirs{std::string(QZ_TEST_DATA_DIR) + "/word/corpus",
                                  std::string(QZ_TEST_DATA_DIR) + "/rtf"};
    if (const char* extra = std::getenv("QZ_WORD_CORPUS"); extra && *extra) dirs.emplace_back(extra);
    for (const auto& d : dirs) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(d, ec))
            if (e.path().extension() == ".rtf") files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every story's text: main story, then each section's headers and footers.
std::string AllText(Document& d) {
    std::string t = d.Content().Text();
    for (int s = 1; s <= d.SectionCount(); ++s)
        for (int k = 1; k <= 3; ++k) {
            t += "\n|H|" + d.Sections(s).Headers(k).GetRange().Text();
            t += "\n|F|" + d.Sections(s).Footers(k).GetRange().Text();
        }
    return t;
}

} // namespace

TEST(WordCorpus, EveryDocumentKeepsItsTextThroughASaveAndSavesTheSameTwice) {
    auto files = CorpusFiles();
    ASSERT_GE(files.size(), 10u) << "the corpus is missing";
    for (const auto& f : files) {
        SCOPED_TRACE(f.filename().string());
        Application app;
        Document& a = app.GetDocuments().Add();
        a.LoadRtfText(ReadAll(f));
        std::string first = a.ToRtf();
        Document& b = app.GetDocuments().Add();
        b.LoadRtfText(first);
        EXPECT_EQ(AllText(a), AllText(b));
        EXPECT_EQ(first, b.ToRtf());
    }
}
