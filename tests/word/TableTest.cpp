// Tables and embedded pictures made through the model's members: what they
// change, that a saved document reads back the same, and what they refuse.
#include "platform/word/Application.h"
#include "platform/word/Pictures.h"
#include "platform/word/Table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace qz::word;
namespace fs = std::filesystem;

namespace {

class WordTable : public ::testing::Test {
protected:
    Application app;
    Document* doc = nullptr;
    void SetUp() override {
        doc = &app.GetDocuments().Add();
        doc->LoadRtfText(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\paperw11906\margl1134\margr1134 \pard before after\par})");
    }
    Story& main() { return doc->MainStory(); }
    Table table(long pos = -1) {
        auto t = Table::At(*doc, main(), pos < 0 ? tableStart : pos);
        EXPECT_TRUE(t.has_value());
        return *t;
    }
    void type(int row, int column, const std::string& text) {
        Table t = table();
        app.GetSelection().SetRange(t.CellStart(row, column), t.CellMark(row, column));
        app.GetSelection().TypeText(text);
    }
    std::string cell(int row, int column) {
        Table t = table();
        return StoryText(*doc, main(), t.CellStart(row, column), t.CellMark(row, column));
    }
    // The document saved and read again.
    std::string reread() {
        Document& again = app.GetDocuments().Add();
        again.LoadRtfText(doc->ToRtf());
        return again.ToRtf();
    }
    long tableStart = 0;
};

// Whether a field stands before its row's definition: none since the
// previous row's end, one after it.
bool beforeRow(const std::string& rtf, const std::string& field) {
    const std::size_t f = rtf.find(field), row = rtf.rfind("\\row ", f);
    return f != std::string::npos && rtf.find("\\trowd", row == std::string::npos ? 0 : row) > f;
}

int ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const qz::AutomationError& e) {
        return e.Number;
    }
    return 0;
}

} // namespace

TEST_F(WordTable, AddSplitsTheParagraphAndRowsAndColumnsComeAndGo) {
    Table t = Table::Add(*doc, main(), 7, 2, 3); // inside "before after"
    tableStart = t.Start();
    EXPECT_EQ(StoryText(*doc, main(), 0, t.Start()), "before \r");
    EXPECT_EQ(StoryText(*doc, main(), t.End(), static_cast<long>(main().size())), "after");
    ASSERT_EQ(t.Rows(), 2);
    const RowFormat f = t.Format(0);
    ASSERT_EQ(f.cells.size(), 3u);
    EXPECT_EQ(f.cellRights.back(), 11906 - 2 * 1134); // across the text
    EXPECT_EQ(f.cells[1].borders[0].width, 10);
    type(0, 0, "a");
    type(0, 2, "c");
    type(1, 1, "e");
    EXPECT_EQ(table().CellAt(table().CellStart(1, 1)), std::make_pair(1, 1));
    // A selection from a cell to the next one's mark takes both, to its start only the first.
    const CellSpan both = table().Span(table().CellStart(1, 0), table().CellMark(1, 1));
    EXPECT_EQ(both.firstColumn * 10 + both.lastColumn, 1);
    const CellSpan one = table().Span(table().CellStart(0, 0), table().CellStart(0, 1));
    EXPECT_EQ(one.firstColumn * 10 + one.lastColumn, 0);

    table().InsertRows(0, 1, true);
    EXPECT_EQ(table().Rows(), 3);
    EXPECT_EQ(cell(1, 0), "");
    EXPECT_EQ(cell(2, 1), "e");
    table().InsertColumn(0, false);
    EXPECT_EQ(table().Columns(2), 4);
    EXPECT_EQ(cell(0, 1), "a");
    EXPECT_EQ(table().Format(0).cellRights.back(), 11906 - 2 * 1134); // the table keeps its width
    table().DeleteColumns(0, 1);
    EXPECT_EQ(cell(0, 1), "c");
    table().DeleteRows(1, 1);
    EXPECT_EQ(cell(1, 0), "e");
    const std::string saved = doc->ToRtf();
    EXPECT_EQ(reread(), saved);

    // One undo step takes every edit back.
    doc->BeginUndoStep();
    table().Delete();
    doc->EndUndoStep();
    EXPECT_EQ(doc->Content().Text(), "before \rafter");
    doc->Undo();
    EXPECT_EQ(doc->ToRtf(), saved);
}

TEST_F(WordTable, MergesShadingAndBordersSaveAndReadBack) {
    tableStart = Table::Add(*doc, main(), 0, 3, 3).Start();
    type(0, 0, "a");
    type(0, 1, "b");
    type(1, 2, "x");
    type(2, 2, "y");
    table().MergeCells({0, 0, 0, 1});
    EXPECT_EQ(cell(0, 0), "a\rb"); // the text of the merged cell follows, a paragraph of its own
    EXPECT_EQ(cell(0, 1), "");
    table().MergeCells({1, 2, 2, 2});
    EXPECT_EQ(cell(1, 2), "x\ry");
    table().SetShading({1, 0, 2, 1}, 0xC6EFCE);
    table().SetBorders({0, 2, 0, 2}, 0, -1);

    Document& again = app.GetDocuments().Add();
    again.LoadRtfText(doc->ToRtf());
    auto t = Table::At(again, again.MainStory(), 0);
    ASSERT_TRUE(t);
    const RowFormat r0 = t->Format(0), r1 = t->Format(1), r2 = t->Format(2);
    EXPECT_TRUE(r0.cells[0].mergeFirst);
    EXPECT_TRUE(r0.cells[1].merged);
    EXPECT_TRUE(r1.cells[2].vmergeFirst);
    EXPECT_TRUE(r2.cells[2].vmerged);
    EXPECT_EQ(again.ColorRgb(r1.cells[0].shading), 0xC6EFCE);
    EXPECT_EQ(again.ColorRgb(r2.cells[1].shading), 0xC6EFCE);
    EXPECT_EQ(r2.cells[2].shading, 0);
    EXPECT_EQ(r0.cells[2].borders[1].width, 0);
    EXPECT_EQ(r0.cells[1].borders[1].width, 10);
    EXPECT_EQ(StoryText(again, again.MainStory(), t->CellStart(0, 0), t->CellMark(0, 0)), "a\rb");
    EXPECT_EQ(again.ToRtf(), doc->ToRtf());

    // Shading taken off, a horizontal merge broken by a column put in it.
    table().SetShading({1, 0, 1, 0}, -1);
    EXPECT_EQ(table().Format(1).cells[0].shading, 0);
    table().InsertColumn(0, true);
    EXPECT_FALSE(table().Format(0).cells[0].mergeFirst);
    EXPECT_FALSE(table().Format(0).cells[2].merged);
}

TEST_F(WordTable, EditsThatCannotBeAreRefused) {
    tableStart = Table::Add(*doc, main(), 0, 2, 2).Start();
    type(0, 0, "ab");
    type(0, 1, "cd");
    const std::string before = doc->ToRtf();
    EXPECT_EQ(ErrorOf([&] { Table::Add(*doc, main(), table().CellStart(1, 1), 1, 1); }), kErrTableEdit);
    EXPECT_EQ(ErrorOf([&] { Table::Add(*doc, main(), table().End(), 1, 64); }), kErrTableEdit);
    EXPECT_EQ(ErrorOf([&] { Table::Add(*doc, main(), table().End(), 0, 2); }), kErrTableEdit);
    EXPECT_EQ(ErrorOf([&] { table().MergeCells({0, 0, 1, 1}); }), kErrTableEdit);
    EXPECT_EQ(ErrorOf([&] { table().DeleteRows(1, 2); }), kErrTableEdit);
    // Text edits never take a cell's mark: not across cells, not at a cell's
    // edge, not from the paragraph after the table.
    auto deleting = [&](long from, long to) { return ErrorOf([&] { Range(doc, &main(), from, to).Delete(); }); };
    EXPECT_EQ(deleting(table().CellStart(0, 0) + 1, table().CellStart(0, 1) + 1), kErrTableEdit);
    EXPECT_EQ(deleting(table().CellStart(0, 1) - 1, table().CellStart(0, 1)), kErrTableEdit);
    EXPECT_EQ(deleting(table().End() - 1, table().End() + 2), kErrTableEdit);
    EXPECT_EQ(doc->ToRtf(), before);
    EXPECT_FALSE(Table::At(*doc, main(), table().End()));
    // A row taken whole goes; deleting every column deletes the table.
    EXPECT_EQ(deleting(table().Start(), table().CellStart(1, 0)), 0);
    EXPECT_EQ(table().Rows(), 1);
    table().DeleteColumns(0, 1);
    EXPECT_FALSE(Table::At(*doc, main(), 0));
    EXPECT_EQ(doc->Content().Text(), "before after");
}

// Text before a row's definition (a loop's field between two rows, before
// a table's first row) stays there when the document is saved, and a field
// added where a row starts goes there: a production that repeats what
// follows the field repeats whole rows.
TEST_F(WordTable, FieldsBeforeARowsDefinitionAreWrittenBeforeIt) {
    // "before SET" ahead of the first row, "between SET" ahead of the second.
    doc->LoadRtfText(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\pard intro\par )"
                     R"(\pard {\field{\*\fldinst SET before}{\fldrslt }}\trowd\cellx2000\cellx4000 )"
                     R"(\pard\intbl H1\cell H2\cell\row )"
                     R"(\pard\plain {\field{\*\fldinst SET between}{\fldrslt }}\trowd\cellx2000\cellx4000)"
                     "\r\n"
                     R"(\pard\plain\intbl a\cell b\cell\row\pard {\field{\*\fldinst SET after}{\fldrslt }}\par})");
    tableStart = 6;
    ASSERT_EQ(table().Rows(), 2); // the field shows in the row's first cell: one table
    EXPECT_EQ(cell(1, 1), "b");
    const std::string saved = doc->ToRtf();
    EXPECT_TRUE(beforeRow(saved, "SET before"));
    EXPECT_TRUE(beforeRow(saved, "SET between"));
    EXPECT_NE(saved.find("SET between}}{\\fldrslt }}\r\n\\pard\\plain\\trowd\\cellx2000\\cellx4000\\intbl {\\cf0 a}"), std::string::npos) << saved;
    EXPECT_EQ(reread(), saved);

    // A field added where a row starts and put before it stands before its
    // definition; one added there again joins it.
    doc->LoadRtfText(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\paperw11906\margl1134\margr1134 \pard before after\par})");
    tableStart = Table::Add(*doc, main(), 0, 2, 2).Start();
    type(1, 0, "x");
    for (const char* code : {"SET first", "SET second"}) {
        Range at(doc, &main(), table().CellStart(1, 0), table().CellStart(1, 0));
        at.GetFields().Add(at, kFieldEmpty, code);
        EXPECT_EQ(at.StandBeforeRow(), code == std::string("SET first"));
    }
    type(0, 1, "y"); // a field in no row's start: inside the cell
    Range inCell(doc, &main(), table().CellStart(0, 1), table().CellStart(0, 1));
    inCell.GetFields().Add(inCell, kFieldEmpty, "SET inside");
    const std::string made = doc->ToRtf();
    EXPECT_TRUE(beforeRow(made, "SET second"));
    EXPECT_TRUE(beforeRow(made, "SET first"));
    EXPECT_LT(made.find("SET second"), made.find("SET first"));
    EXPECT_FALSE(beforeRow(made, "SET inside"));
    EXPECT_EQ(table().Rows(), 2);
    EXPECT_EQ(reread(), made);
}

// A loop's two fields where a row starts, as the designer adds them: the
// second one cut (its selection reaching past the row's start, as a view's
// may) and pasted after the table.
// A paragraph that ends inside a field's instruction, after kept groups and
// a \pard, leaves the row-start mark of the text before the field where it
// is: the instruction's text and the document read back whole.
TEST_F(WordTable, AParagraphEndedInAFieldsInstructionKeepsTheText) {
    doc->LoadRtfText(R"({\rtf1\ansi b\pard{\field{\*\fldinst{\*\bkmkstart m}\pard SET x\par}{\fldrslt r}}\par})");
    const std::string text = doc->Content().Text();
    EXPECT_NE(text.find("SET x"), std::string::npos) << text;
    const std::string saved = doc->ToRtf();
    EXPECT_EQ(reread(), saved);
}

TEST_F(WordTable, AFieldCutFromARowsStartLeavesTheRowWhole) {
    tableStart = Table::Add(*doc, main(), 0, 2, 2).Start();
    type(1, 0, "D");
    Selection& sel = app.GetSelection();
    sel.SetRange(table().CellStart(1, 0), table().CellStart(1, 0));
    for (const char* code : {"SET loop", "SET next"}) {
        Range at = sel.GetRange();
        sel.GetFields().Add(at, kFieldEmpty, code);
        at.StandBeforeRow();
    }
    const long next = doc->Content().GetFields().Item(2).Code().Start() - 1;
    const long end = doc->Content().GetFields().Item(2).End();
    ASSERT_TRUE(IsRowStartMark(*doc, main()[static_cast<std::size_t>(end)]));
    const std::vector<Atom> cut = TransferAtoms(*doc, main(), next, end + 1, *doc);
    Range(doc, &main(), next, end + 1).Delete();
    EXPECT_TRUE(beforeRow(doc->ToRtf(), "SET loop"));
    // Pasted after the table: the field alone, in a plain paragraph.
    const long last = static_cast<long>(main().size());
    sel.SetRange(last, last);
    sel.InsertAtoms(cut);
    const std::string moved = doc->ToRtf();
    EXPECT_GT(moved.find("SET next"), moved.rfind("\\row "));
    EXPECT_EQ(moved.find("\\pard", moved.find("SET next")), std::string::npos) << moved;
    EXPECT_EQ(table().Rows(), 2);
    EXPECT_EQ(reread(), moved);
}

TEST(WordPicture, PngAndJpegAreEmbeddedAndBadFilesRefused) {
    const fs::path dir = fs::temp_directory_path() / ("qz-pictures-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string png = std::string(QZ_TEST_DATA_DIR) + "/studio/picture.png";
    Application app;
    Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(R"({\rtf1\ansi\paperw3000\margl1000\margr1000 \pard ab\par})");
    doc.GetSelection().SetRange(1, 1);
    AddPicture(doc.GetSelection(), png);
    EXPECT_EQ(doc.GetSelection().Start(), 2);
    Document& again = app.GetDocuments().Add();
    again.LoadRtfText(doc.ToRtf());
    ASSERT_EQ(again.MainStory()[1].Kind(), AtomKind::Opaque);
    const Picture p = ParsePicture(again.Opaque(again.MainStory()[1].value));
    EXPECT_EQ(p.kind, Picture::Kind::Png);
    std::ifstream in(png, std::ios::binary);
    EXPECT_EQ(p.data, std::string(std::istreambuf_iterator<char>(in), {}));
    EXPECT_EQ(p.width, 720); // 48 pixels, no wider than the 1000-twip text
    EXPECT_EQ(p.height, 360);

    auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    };
    // A frame header of 32 x 16 pixels is all the size a JPEG needs.
    const std::string jpeg = write("a.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF\xC0\x00\x0B\x08\x00\x10\x00\x20\x01\x01\x11\x00", 21));
    EXPECT_NE(EmbeddedPictureGroup(jpeg, 0).find("\\jpegblip\\picw32\\pich16\\picwgoal480\\pichgoal240 ffd8"),
              std::string::npos);

    std::ifstream again2(png, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(again2)), std::istreambuf_iterator<char>());
    const std::string huge = write("huge.png", "");
    fs::resize_file(huge, static_cast<std::uintmax_t>(kMostPictureBytes) + 1);
    std::string wide = bytes.substr(0, 16) + std::string("\x00\x01\x00\x00\x00\x00\x00\x10", 8) + bytes.substr(24);
    for (const std::string& bad : {write("text.png", "not a picture"), write("cut.png", bytes.substr(0, bytes.size() / 2)),
                                   write("wide.png", wide), huge, (dir / "missing.png").string(), dir.string()}) {
        const std::string rtf = doc.ToRtf();
        try {
            AddPicture(doc.GetSelection(), bad);
            ADD_FAILURE() << bad << " was embedded";
        } catch (const qz::AutomationError& e) {
            EXPECT_EQ(e.Number, kErrPicture);
            EXPECT_NE(e.Description.find(bad), std::string::npos) << e.Description;
        }
        EXPECT_EQ(doc.ToRtf(), rtf);
    }
    fs::remove_all(dir);
}
