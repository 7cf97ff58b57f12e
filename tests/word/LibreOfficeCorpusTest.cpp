// The corpus of real documents through the model and LibreOffice: each file
// is loaded and saved by the model, and the text LibreOffice reads from the
// saved copy must equal the text it reads from the original: the body (with
// frames, shapes and notes) and the headers and footers of every page style.
// Needs soffice in PATH (skipped otherwise). QZ_WORD_CORPUS names a further
// folder of documents to include.
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

// Converts the .rtf files of a folder (all of them, or one) to flat ODF in
// the same folder.
void ToFlatOdf(const fs::path& dir, const fs::path& profile, const std::string& which = "*.rtf") {
    std::string cmd = "cd '" + dir.string() + "' && soffice -env:UserInstallation=file://" + profile.string() +
                      " --headless --convert-to fodt " + which + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (std::size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) s.replace(p, from.size(), to);
}

// The text of a flat ODF document's page styles (headers, footers) and body,
// a paragraph a line: tags, pictures' data and formatting left out.
std::string OdfText(const std::string& xml) {
    std::string text;
    for (const std::string tag : {"office:master-styles", "office:body"}) {
        std::size_t b = xml.find("<" + tag + ">"), e = xml.find("</" + tag + ">");
        if (b == std::string::npos || e == std::string::npos || e < b) continue;
        std::string part = xml.substr(b, e - b);
        std::string out;
        for (std::size_t i = 0; i < part.size();) {
            if (part.compare(i, 20, "<office:binary-data>") == 0) {
                std::size_t end = part.find("</office:binary-data>", i);
                i = end == std::string::npos ? part.size() : end + 21;
                continue;
            }
            if (part[i] != '<') {
                out += part[i++];
                continue;
            }
            std::size_t end = part.find('>', i);
            if (end == std::string::npos) break;
            std::string t = part.substr(i, end + 1 - i);
            if (t.starts_with("<text:p") || t.starts_with("<text:h")) out += '\n';
            else if (t == "<text:tab/>") out += '\t';
            else if (t == "<text:line-break/>") out += '\n';
            else if (t == "<text:s/>") out += ' ';
            else if (t.starts_with("<text:s text:c=\"")) out.append(std::strtoul(t.c_str() + 15, nullptr, 10), ' ');
            i = end + 1;
        }
        text += out;
    }
    ReplaceAll(text, "&lt;", "<");
    ReplaceAll(text, "&gt;", ">");
    ReplaceAll(text, "&quot;", "\"");
    ReplaceAll(text, "&apos;", "'");
    ReplaceAll(text, "&amp;", "&");
    return text;
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
    ToFlatOdf(orig, work / "profile");
    ToFlatOdf(copy, work / "profile");
    int same = 0, unreadable = 0;
    bool sawFrameText = false; // the comparison reaches text outside the body's paragraphs
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string name = std::to_string(i) + ".fodt";
        // A conversion stopped by another document's failure is tried again alone.
        for (const fs::path& dir : {orig, copy})
            if (!fs::exists(dir / name)) ToFlatOdf(dir, work / "profile", std::to_string(i) + ".rtf");
        if (!fs::exists(orig / name)) {
            ++unreadable;
            std::printf("%s: LibreOffice cannot read the original\n", files[i].string().c_str());
            continue;
        }
        if (!fs::exists(copy / name)) {
            ADD_FAILURE() << files[i].string() << ": LibreOffice cannot read the saved copy";
            continue;
        }
        std::string a = OdfText(ReadAll(orig / name)), b = OdfText(ReadAll(copy / name));
        sawFrameText = sawFrameText || a.find("Framed text one") != std::string::npos;
        if (a == b) ++same;
        else ADD_FAILURE() << files[i].string() << ": LibreOffice reads another text from the saved copy"
                           << FirstDifference(a, b);
    }
    EXPECT_TRUE(sawFrameText);
    std::printf("corpus: %d of %zu documents keep LibreOffice's text (%d unreadable by it)\n", same,
                files.size() - static_cast<std::size_t>(unreadable), unreadable);
}
