// The corpus of real documents through the model and LibreOffice: each file
// is loaded and saved by the model, and LibreOffice's plain text of the saved
// copy must equal its text of the original. Needs soffice in PATH (skipped
// otherwise). QZ_WORD_CORPUS names a further folder of documents to include.
#include "platform/word/Application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace qz::word;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The first line where two texts differ, for the failure message.
std::string FirstDifference(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    std::size_t from = a.rfind('\n', i == 0 ? 0 : i - 1);
    from = from == std::string::npos ? 0 : from + 1;
    auto line = [from](const std::string& s) { return s.substr(from, s.find('\n', from) - from); };
    return "\n  original: " + line(a) + "\n  saved:    " + line(b);
}

bool HaveSoffice() { return std::system("command -v soffice >/dev/null 2>&1") == 0; }

// Converts every .rtf of a folder to UTF-8 text in the same folder.
void ToText(const fs::path& dir, const fs::path& profile) {
    std::string cmd = "cd '" + dir.string() + "' && soffice -env:UserInstallation=file://" + profile.string() +
                      " --headless --convert-to 'txt:Text (encoded):UTF8' *.rtf >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

} // namespace

TEST(WordCorpusLibreOffice, SavedCopiesReadAsTheOriginals) {
    if (!HaveSoffice()) GTEST_SKIP() << "soffice (LibreOffice) is not installed: the corpus is not compared";
    std::vector<fs::path> files;
    std::vector<std::string> dirs{std::string(QZ_TEST_DATA_DIR) + "/word/corpus",
                                  std::string(QZ_TEST_DATA_DIR) + "/rtf"};
    if (const char* extra = std::getenv("QZ_WORD_CORPUS"); extra && *extra) dirs.emplace_back(extra);
    for (const auto& d : dirs)
        for (const auto& e : fs::directory_iterator(d))
            if (e.path().extension() == ".rtf") files.push_back(e.path());
    ASSERT_GE(files.size(), 10u);

    fs::path work = fs::temp_directory_path() / "corpus";
    fs::path orig = work / "orig", copy = work / "copy";
    fs::create_directories(orig);
    fs::create_directories(copy);
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string name = std::to_string(i) + ".rtf";
        fs::copy_file(files[i], orig / name);
        Application app;
        Document& d = app.GetDocuments().Add();
        d.LoadRtfText(ReadAll(files[i]));
        std::ofstream(copy / name, std::ios::binary) << d.ToRtf();
    }
    ToText(orig, work / "profile");
    ToText(copy, work / "profile");
    int same = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string name = std::to_string(i) + ".txt";
        std::string a = ReadAll(orig / name), b = ReadAll(copy / name);
        if (!a.empty() && a == b) ++same;
        else ADD_FAILURE() << files[i].string() << ": LibreOffice reads another text from the saved copy"
                           << FirstDifference(a, b);
    }
    std::printf("corpus: %d of %zu documents keep LibreOffice's text\n", same, files.size());
}
