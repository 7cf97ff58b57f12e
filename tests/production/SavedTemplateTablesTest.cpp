// A template the studio saves produces what it produced before: each
// template is produced as it is and again after the word processor loaded
// it, took an edit back (a blank typed and deleted) and saved it, and
// LibreOffice must read the same document, tables, rows, cells and text,
// from both outputs; a template with an empty paragraph added by Enter
// before its loop's row reads with that one paragraph more, whole rows. Needs
// soffice in PATH (skipped otherwise).
#include "CommandLineRun.h"
#include "TemplateRtf.h"
#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "word/LibreOfficeText.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const std::string kExamples = std::string(QZ_SOURCE_DIR) + "/examples";

// Opens a template as the studio does, types a blank and deletes it, saves.
void SaveThroughTheWordProcessor(const std::string& path) {
    qz::word::Application app;
    qz::word::Document& d = app.GetDocuments().Open(path);
    qz::word::Selection& sel = d.GetSelection();
    sel.SetRange(0, 0);
    sel.TypeText(" ");
    sel.SetRange(0, 1);
    sel.Delete();
    d.Save();
    d.Close();
}

// Opens a template, presses Enter at the end of the text that stands
// before a table row (the example's loop start), saves.
void EnterAfterTheLoop(const std::string& path) {
    qz::word::Application app;
    qz::word::Document& d = app.GetDocuments().Open(path);
    const qz::word::Story& s = d.MainStory();
    long mark = 0;
    while (mark < static_cast<long>(s.size()) && !qz::word::IsRowStartMark(d, s[static_cast<std::size_t>(mark)])) ++mark;
    ASSERT_LT(mark, static_cast<long>(s.size()));
    d.GetSelection().SetRange(mark, mark);
    d.GetSelection().TypeParagraph();
    d.Save();
    d.Close();
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

int Rows(const std::string& text) { return Count(text, "[row]"); }

// A template whose loop starts before the table's first row and ends after
// the table: one row a line.
std::string LoopAroundTheTable() {
    using namespace qz::test;
    return rtfDocument("Lines\\par " + statementField("Lines loop", "Do While Not Lines.EOF") +
                       "\\trowd\\trgaph108\\cellx4000\\cellx8000\r\n\\pard\\plain\\intbl " +
                       expressionField("Description", "Lines.Fields(\"Description\").Value", "String;UseDefaultProperties:-1") +
                       "\\cell " + expressionField("Amount", "Lines.Fields(\"Amount\").Value", "Currency;UseDefaultProperties:-1") +
                       "\\cell \\row\r\n\\pard\\plain " + statementField("Next line", "Lines.MoveNext_QZCRLFLoop") +
                       "End of lines");
}

// The example's order lines with no rows.
std::string NoLines() {
    std::string xml = ReadAll(kExamples + "/data/Lines.xml");
    const std::size_t from = xml.find("<rs:data>") + 9;
    return xml.erase(from, xml.find("</rs:data>") - from);
}

} // namespace

// Each template is produced with the example's lines, and with none: a loop
// with no records leaves the text around it as the template had it.
TEST(SavedTemplateTables, TheWordProcessorsSaveKeepsWhatLibreOfficeReadsFromTheOutput) {
    if (!HaveSoffice()) GTEST_SKIP() << "soffice (LibreOffice) is not installed";
    qz::test::TempDir dir;
    fs::create_directories(dir.file("before"));
    fs::create_directories(dir.file("after"));
    dir.write("nolines.xml", NoLines());
    const std::string data = " --no-connections -x Invoice=" + quote(kExamples + "/data/Invoice.xml") + " -x Lines=";
    struct Case {
        std::string name;
        int rows; // the table rows LibreOffice reads
        std::string lines;
    };
    const std::vector<Case> cases = {{"invoice", 6, kExamples + "/data/Lines.xml"},
                                     {"around", 5, kExamples + "/data/Lines.xml"},
                                     {"invoice-none", 1, dir.file("nolines.xml")},
                                     {"around-none", 0, dir.file("nolines.xml")},
                                     {"entered", 6, kExamples + "/data/Lines.xml"}};
    fs::copy_file(kExamples + "/invoice.rtf", dir.file("invoice.rtf"));
    fs::copy_file(kExamples + "/invoice.qzc", dir.file("invoice.qzc"));
    fs::copy_file(kExamples + "/invoice.rtf", dir.file("entered.rtf"));
    fs::copy_file(kExamples + "/invoice.qzc", dir.file("entered.qzc"));
    fs::copy_file(kExamples + "/invoice.qzc", dir.file("around.qzc")); // its data sources, given by -x here
    dir.write("around.rtf", LoopAroundTheTable());
    const auto produce = [&](const std::string& to) {
        for (const Case& c : cases) {
            const std::string tpl = dir.file(c.name.substr(0, c.name.find('-')) + ".rtf");
            Result r = qzstudio(dir, "produce " + quote(tpl) + " -o " + quote(dir.file(to + "/" + c.name + ".rtf")) +
                                         data + quote(c.lines));
            ASSERT_EQ(r.exitCode, 0) << r.err;
        }
    };
    produce("before");
    SaveThroughTheWordProcessor(dir.file("invoice.rtf"));
    SaveThroughTheWordProcessor(dir.file("around.rtf"));
    EnterAfterTheLoop(dir.file("entered.rtf"));
    produce("after");
    ToFlatOdf(dir.file("before"), dir.file("profile"));
    ToFlatOdf(dir.file("after"), dir.file("profile"));
    for (const Case& c : cases) {
        const std::string a = OdfText(ReadAll(dir.file("before/" + c.name + ".fodt")));
        const std::string b = OdfText(ReadAll(dir.file("after/" + c.name + ".fodt")));
        EXPECT_EQ(Rows(a), c.rows) << c.name;
        if (c.name == "entered") {
            // Enter there gave one empty paragraph (which ends the header's
            // table), the loop still repeating whole rows.
            EXPECT_EQ(Count(ReadAll(dir.file("after/" + c.name + ".fodt")), "<text:p"),
                      Count(ReadAll(dir.file("before/" + c.name + ".fodt")), "<text:p") + 1);
            EXPECT_EQ(Rows(b), c.rows);
            continue;
        }
        EXPECT_EQ(a, b) << c.name << FirstDifference(a, b);
    }
}
