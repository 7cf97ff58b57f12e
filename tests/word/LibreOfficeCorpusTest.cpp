// The corpus of real documents through the model and LibreOffice: each file
// is loaded and saved by the model, and the text LibreOffice reads from the
// saved copy must equal the text it reads from the original: the body (with
// frames, shapes and notes) and the headers and footers of every page style.
// A document made by the table, picture and header members is read by
// LibreOffice as they made it. Needs soffice in PATH (skipped otherwise). QZ_WORD_CORPUS names a further
// folder of documents to include.
#include "platform/word/Application.h"
#include "platform/word/DisplayWalk.h"
#include "platform/word/Lists.h"
#include "platform/word/Pictures.h"
#include "platform/word/Range.h"
#include "platform/word/Table.h"
#include "platform/word/Utf8.h"
#include "word/LibreOfficeText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace qz::word;

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

// A document made through the model's members (a header, a table with cells
// merged across and down, shading, a picture) reads in LibreOffice as made.
TEST(WordCorpusLibreOffice, TablesPicturesAndHeadersMadeByTheMembersReadAsMade) {
    if (!HaveSoffice()) GTEST_SKIP() << "soffice (LibreOffice) is not installed";
    const fs::path work = fs::temp_directory_path() / ("made-" + std::to_string(::getpid()));
    fs::create_directories(work);
    Application app;
    Document& d = app.GetDocuments().Add();
    d.LoadRtfText(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\pard Before\par after})");
    d.Sections(1).Headers(kHeaderFooterPrimary).GetRange().SetText("Header made here");
    Story& s = d.MainStory();
    Table t = Table::Add(d, s, 7, 3, 3);
    for (int r = 2; r >= 0; --r)
        for (int c = 2; c >= 0; --c) Range(&d, &s, t.CellStart(r, c), t.CellMark(r, c)).SetText("r" + std::to_string(r) + "c" + std::to_string(c));
    t = *Table::At(d, s, 7);
    t.MergeCells({0, 0, 0, 1});
    t.MergeCells({1, 2, 2, 2});
    t.SetShading({2, 0, 2, 0}, 0xC6EFCE);
    Range end(&d, &s, t.End(), t.End());
    AddPicture(end, std::string(QZ_TEST_DATA_DIR) + "/studio/picture.png");
    std::ofstream(work / "made.rtf", std::ios::binary) << d.ToRtf();
    ToFlatOdf(work, work / "profile", "made.rtf");
    const std::string xml = ReadAll(work / "made.fodt");
    ASSERT_FALSE(xml.empty()) << "LibreOffice did not read the document";
    // (This file is written indented: blanks and line ends are left out of the comparison.)
    auto squeezed = [](std::string text) {
        std::erase_if(text, [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
        return text;
    };
    EXPECT_EQ(squeezed(OdfText(xml)), squeezed("\nHeader made here\nBefore"
                            "\n[row][cell2x]\nr0c0\nr0c1[covered][cellx]\nr0c2"
                            "\n[row][cellx]\nr1c0[cellx]\nr1c1[cellx2]\nr1c2\nr2c2"
                            "\n[row][cellx]\nr2c0[cellx]\nr2c1[covered]"
                            "\nafter"));
    EXPECT_NE(xml.find("fo:background-color=\"#c6efce\""), std::string::npos);
    const std::size_t body = xml.find("<office:body>");
    EXPECT_NE(xml.find("<draw:image", body), std::string::npos);
    EXPECT_NE(xml.find("<office:binary-data>", body), std::string::npos);
    fs::remove_all(work);
}

namespace {

// What a paragraph is as the model reads it: its text (without its list
// number), the number or bullet it shows, and its format.
struct ParagraphSeen {
    std::string text, number;
    int listType = 0;
    ParaFormat format;
};

std::vector<ParagraphSeen> ParagraphsOf(Document& d) {
    struct Numbers : DisplaySink {
        std::map<long, std::string> at; // paragraph start -> the number shown there
        void Show(const DisplayRun& r) override {
            if (r.kind != DisplayRun::Kind::FieldText || !r.end) return;
            std::string t;
            for (char32_t c : r.text) qz::appendUtf8(t, c);
            at[r.start] = t;
        }
    } numbers;
    Story& s = d.MainStory();
    const long n = static_cast<long>(s.size());
    WalkDisplay(d, s, 0, n, false, numbers);
    std::vector<ParagraphSeen> out;
    for (long start = 0; start < n;) {
        long end = start;
        while (end < n && s[static_cast<std::size_t>(end)].Kind() != AtomKind::ParaEnd) ++end;
        ParagraphSeen p;
        Range r(&d, &s, start, start);
        p.format = r.ParagraphFormat();
        p.listType = ListFormat(r).ListType();
        long from = start;
        if (numbers.at.count(start) && !KeptListText(d.Opaque(s[static_cast<std::size_t>(start)].value)).empty()) {
            p.number = numbers.at[start];
            ++from;
        }
        p.text = StoryText(d, s, from, end);
        out.push_back(p);
        start = end + 1;
    }
    return out;
}

} // namespace

// A document made through the paragraph members (lists, indents, spacing,
// line spacing, tab stops, alignment, a replace all that leaves a field
// alone) reads in LibreOffice as made: LibreOffice's own RTF of it, read
// back, has the same paragraphs, numbers and formats.
TEST(WordCorpusLibreOffice, ListsAndParagraphFormatsMadeByTheMembersReadAsMade) {
    if (!HaveSoffice()) GTEST_SKIP() << "soffice (LibreOffice) is not installed";
    const fs::path work = fs::temp_directory_path() / ("paragraphs-" + std::to_string(::getpid()));
    fs::create_directories(work / "back");
    Application app;
    Document& d = app.GetDocuments().Add();
    d.LoadRtfText(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\pard Title item\par one item\par two item\par three item\par )"
                  R"(apple\par pear\par Name: {\field{\*\fldinst MACROBUTTON item \u9674?item}{\fldrslt }}\tab 12.50\par end})");
    Story& s = d.MainStory();
    auto paragraph = [&](int k) {
        long p = 0;
        for (int seen = 0; seen < k; ++p)
            if (s[static_cast<std::size_t>(p)].Kind() == AtomKind::ParaEnd) ++seen;
        return p;
    };
    auto span = [&](int first, int last) { return Range(&d, &s, paragraph(first), paragraph(last + 1) - 1); };
    ListFormat(span(1, 3)).ApplyNumberDefault();
    ListFormat(span(2, 2)).RemoveNumbers();
    ListFormat(span(4, 5)).ApplyBulletDefault();
    span(0, 0).ChangeParagraphFormat([](ParaFormat& f) {
        f.alignment = Alignment::Center;
        f.spaceAfter = 240;
        f.lineSpacing = 360;
        f.lineMultiple = true;
    });
    span(2, 2).ChangeParagraphFormat([](ParaFormat& f) {
        f.leftIndent = 1134;
        f.rightIndent = 567;
        f.firstIndent = 283;
        f.spaceBefore = 120;
        f.lineSpacing = -300; // exactly 15 pt
    });
    span(6, 6).ChangeParagraphFormat([](ParaFormat& f) {
        f.tabs = {{2268, TabKind::Left, TabLeader::None}, {7371, TabKind::Decimal, TabLeader::Dots}};
    });
    Selection& sel = d.GetSelection();
    sel.SetRange(0, 0);
    sel.GetFind().OutsideFields = true;
    sel.GetFind().Execute("item", 2, "entry", true);
    EXPECT_EQ(sel.GetFind().Replaced, 4);

    std::ofstream(work / "made.rtf", std::ios::binary) << d.ToRtf();
    const std::string cmd = "cd '" + work.string() + "' && soffice -env:UserInstallation=file://" +
                            (work / "profile").string() + " --headless --convert-to rtf --outdir back made.rtf >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    Document& back = app.GetDocuments().Add();
    back.LoadRtfText(ReadAll(work / "back" / "made.rtf"));
    const std::vector<ParagraphSeen> made = ParagraphsOf(d), read = ParagraphsOf(back);
    ASSERT_EQ(read.size(), made.size());
    EXPECT_EQ(made[3].number, "2.\t"); // renumbered after the middle one left the list
    EXPECT_NE(made[6].text.find("MACROBUTTON item \u25caitem"), std::string::npos) << made[6].text;
    // LibreOffice writes field codes its own way and puts a blank before a
    // list's number: the text outside fields and the number are compared.
    auto outsideFields = [](std::string t) {
        for (std::size_t b = t.find('\x13'); b != std::string::npos; b = t.find('\x13', b))
            t.erase(b, t.find('\x15', b) == std::string::npos ? std::string::npos : t.find('\x15', b) - b + 1);
        return t;
    };
    auto trimmed = [](const std::string& t) { return t.substr(std::min(t.size(), t.find_first_not_of(' '))); };
    for (std::size_t k = 0; k < made.size(); ++k) {
        const ParagraphSeen &a = made[k], &b = read[k];
        EXPECT_EQ(outsideFields(b.text), outsideFields(a.text)) << k;
        EXPECT_EQ(b.listType, a.listType) << k;
        EXPECT_EQ(trimmed(b.number), a.number) << k;
        EXPECT_EQ(b.format.alignment, a.format.alignment) << k;
        EXPECT_EQ(b.format.leftIndent, a.format.leftIndent) << k;
        EXPECT_EQ(b.format.rightIndent, a.format.rightIndent) << k;
        EXPECT_EQ(b.format.firstIndent, a.format.firstIndent) << k;
        EXPECT_EQ(b.format.spaceBefore, a.format.spaceBefore) << k;
        EXPECT_EQ(b.format.spaceAfter, a.format.spaceAfter) << k;
        EXPECT_EQ(b.format.lineSpacing, a.format.lineSpacing) << k;
        EXPECT_EQ(b.format.tabs, a.format.tabs) << k;
    }
    fs::remove_all(work);
}
