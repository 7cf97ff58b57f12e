// RTF in and out: the writer's rules, round trips through the model, real
// documents written by word processors, and damaged input.
#include "platform/word/Application.h"
#include "platform/word/Utf8.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>

using namespace qz::word;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Fixture(const std::string& name) { return std::string(QZ_TEST_DATA_DIR) + "/rtf/" + name; }

// Text without the kept-object placeholders.
std::string Plain(const std::string& t) {
    std::string out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t.compare(i, 3, "\xEF\xBF\xBC") == 0) { i += 2; continue; }
        out += t[i];
    }
    return out;
}

struct Loaded {
    Application app;
    Document* doc;
    explicit Loaded(std::string_view rtf) {
        doc = &app.GetDocuments().Add();
        doc->LoadRtfText(rtf);
    }
};

// A statement-like field built with the model's members, with field codes
// shown as the designer builds it.
void AddLabelledField(Selection& sel, const std::string& label, const std::string& code) {
    sel.GetDocument()->GetApplication()->ActiveWindow().GetView().ShowFieldCodes = true;
    Range at = sel.GetRange();
    sel.GetFields().Add(at, kFieldMacroButton, "modStatementMacro");
    sel.MoveLeft(kUnitCharacter, 1);
    sel.GetFont().SetColorIndex(6);
    sel.InsertSymbol(215, "Wingdings");
    sel.TypeText(label);
    sel.InsertSymbol(216, "Wingdings");
    sel.GetFont().SetColorIndex(0);
    Range in = sel.GetRange();
    Field f = sel.GetFields().Add(in, kFieldSet);
    f.Code().SetText(" SET _QZStatement377 " + code);
    f.Code().Select();
    sel.MoveRight(kUnitCharacter, 3);
    sel.GetDocument()->GetApplication()->ActiveWindow().GetView().ShowFieldCodes = false;
}

// The group of the first "{\field" at or after pos.
std::string FieldGroupAt(const std::string& rtf, std::size_t pos) {
    std::size_t s = rtf.find("{\\field", pos);
    int depth = 0;
    for (std::size_t i = s; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') { ++i; continue; }
        if (rtf[i] == '{') ++depth;
        if (rtf[i] == '}' && --depth == 0) return rtf.substr(s, i - s + 1);
    }
    return {};
}

} // namespace

TEST(RtfWriter, FollowsTheRulesTheTemplateReaderRelyOn) {
    Application app;
    Document& doc = app.GetDocuments().Add();
    Selection& sel = app.GetSelection();
    sel.TypeText("Dear ");
    AddLabelledField(sel, "a{b}\\c \xC2\xA7 \xC3\xA9 \xD0\x96", "x = \"\\field\" \xC2\xA7 1\r2");
    sel.TypeText(" end");
    doc.CustomDocumentProperties().Add("QzVersion", false, "8.2.2", 4);
    std::string rtf = doc.ToRtf();

    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252", 0), 0u);
    EXPECT_NE(rtf.find("\\fnil\\fcharset2\\fprq2 Wingdings;}"), std::string::npos);
    EXPECT_NE(rtf.find("{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue255;"), std::string::npos);
    EXPECT_NE(rtf.find("{\\*\\userprops{\\propname QzVersion}\\proptype30{\\staticval 8.2.2}}"), std::string::npos);
    // Symbols are nested SYMBOL fields; the label's escapes.
    EXPECT_NE(rtf.find("SYMBOL 215 \\'5cf \"Wingdings\"}}{\\fldrslt {"), std::string::npos);
    EXPECT_NE(rtf.find("a\\{b\\}\\'5cc \\'a7 \\'e9 \\u1046\\'3f"), std::string::npos);
    // A backslash is never doubled and "\field" never appears as text.
    EXPECT_EQ(rtf.find("\\\\"), std::string::npos);
    EXPECT_EQ(rtf.find("\\'5cfield"), rtf.find("\\'5cfield")); // present as an escape only
    EXPECT_NE(rtf.find("\"\\'5cfield\""), std::string::npos);
    // The SET field's instruction opens with its run's format words.
    EXPECT_NE(rtf.find("{\\*\\fldinst {\\f0\\fs24\\cf0  SET _QZStatement377 x = "), std::string::npos);
    // Every field has a result; no line break inside the field group; no lone LF.
    std::string group = FieldGroupAt(rtf, rtf.find("MACROBUTTON") - 30);
    ASSERT_FALSE(group.empty());
    EXPECT_EQ(group.find('\n'), std::string::npos);
    EXPECT_EQ(group.find('\r'), std::string::npos);
    std::size_t fields = 0, results = 0;
    for (std::size_t p = 0; (p = rtf.find("{\\field", p)) != std::string::npos; ++p) ++fields;
    for (std::size_t p = 0; (p = rtf.find("{\\fldrslt", p)) != std::string::npos; ++p) ++results;
    EXPECT_EQ(fields, 4u);
    EXPECT_EQ(results, fields);
    for (std::size_t p = 0; (p = rtf.find('\n', p)) != std::string::npos; ++p) ASSERT_EQ(rtf[p - 1], '\r');
    // A line break is always followed by a control word, never joins tokens.
    for (std::size_t p = 0; (p = rtf.find("\r\n", p)) != std::string::npos; p += 2)
        ASSERT_TRUE(rtf[p + 2] == '\\' || rtf[p + 2] == '{') << rtf.substr(p, 20);
    EXPECT_EQ(rtf.substr(rtf.size() - 6), "\\par }");
}

TEST(RtfWriter, ModelRoundTripKeepsTextFieldsSymbolsAndColours) {
    Application app;
    Document& doc = app.GetDocuments().Add();
    Selection& sel = app.GetSelection();
    sel.TypeText("First \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 line\rSecond\tline");
    AddLabelledField(sel, "L\xC2\xA7{}\\", "If a Then_QZCRLFb\rEnd If");
    sel.GetFont().SetColorIndex(11);
    sel.TypeText(" green");
    sel.InsertSymbol(-3978, "Wingdings", true);
    std::string rtf = doc.ToRtf();
    Loaded back(rtf);
    EXPECT_EQ(back.doc->Content().Text(), doc.Content().Text());
    const Story& a = doc.MainStory();
    const Story& b = back.doc->MainStory();
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].kind, b[i].kind) << i;
        ASSERT_EQ(PaletteIndex(doc.ColorRgb(doc.Format(a[i].fmt).color)),
                  PaletteIndex(back.doc->ColorRgb(back.doc->Format(b[i].fmt).color)))
            << i;
    }
    // Saving the reloaded document gives the same file: the writer is a fixed point.
    EXPECT_EQ(back.doc->ToRtf(), rtf);
}

TEST(RtfReader, RealDocumentsKeepTextTablesPicturesHeadersAndProperties) {
    struct Case {
        const char* file;
        std::vector<std::string> words;
        const char* header;
        const char* footer;
        int cells;
        const char* picture;
        const char* prop;
        const char* propValue;
    };
    const Case cases[] = {
        {"lo-report.rtf",
         {"Quarterly report", "bold words", "caf\xC3\xA9, na\xC3\xAFve", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
          "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "{braces} and back\\slash", "First item", "after picture", "Closing paragraph."},
         "Invoice header \xE2\x80\x94 Pellitron Ltd.", "Page ", 9, "\\pngblip", "Reviewer", "Ana N\xC3\xBA\xC3\xB1" "ez"},
        {"lo-features.rtf",
         {"Footnote here", "HYPERLINK \"https://example.org/x?a=1&b=%7B2%7D\"", "Name\tValue\vsecond line", "marked words", "A1", "i1", "B1 after inner", "Merged row",
          "New page paragraph."},
         nullptr, nullptr, 5, nullptr, nullptr, nullptr},
        {"lo-letter.rtf", {"Dear Customer,", "3 items", "Widget", "Free returns", "Kind regards,"}, nullptr, nullptr, 6, nullptr, nullptr, nullptr},
        {"word-style.rtf", {"Dear ", "Fast delivery \xE2\x80\x93 na\xC3\xAFve price", "Widget"}, "Invoice header \xE2\x80\x93 ACME", "Page ", 4,
         "\\pngblip", "Client", "ACME"},
        {"wordpad-style.rtf", {"Plain WordPad text", "Bold red then blue normal.", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\r", "Last line"}, nullptr, nullptr, 0, "\\wmetafile8", nullptr, nullptr},
    };
    auto dir = std::filesystem::temp_directory_path() / ("qz_rtf_real_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Application app;
        Document& doc = app.GetDocuments().Open(Fixture(c.file));
        std::string text = Plain(doc.Content().Text());
        for (const auto& w : c.words) EXPECT_NE(text.find(w), std::string::npos) << w << " in " << text;
        int cells = 0;
        for (char ch : text) cells += ch == '\a';
        std::string original = ReadFile(Fixture(c.file));
        int rows = 0;
        for (std::size_t p = 0; (p = original.find("\\row", p)) != std::string::npos; ++p)
            if (!std::isalpha(static_cast<unsigned char>(original[p + 4]))) ++rows;
        EXPECT_EQ(cells, c.cells + rows);
        if (c.header) {
            EXPECT_EQ(doc.Sections(1).Headers(kHeaderFooterPrimary).GetRange().Text(), c.header);
        }
        if (c.footer) {
            EXPECT_EQ(doc.Sections(1).Footers(kHeaderFooterPrimary).GetRange().Text().rfind(c.footer, 0), 0u);
        }
        if (c.prop) {
            EXPECT_EQ(doc.CustomDocumentProperties().Item(std::string(c.prop)).Value, c.propValue);
        }

        // Save, reopen, save again: nothing is lost and the second save is the first.
        std::string out = (dir / c.file).string();
        doc.SaveAs(out);
        std::string saved = ReadFile(out);
        Application app2;
        Document& again = app2.GetDocuments().Open(out);
        EXPECT_EQ(Plain(again.Content().Text()), text);
        if (c.header) {
            EXPECT_EQ(again.Sections(1).Headers(kHeaderFooterPrimary).GetRange().Text(), c.header);
        }
        if (c.footer) {
            EXPECT_EQ(again.Sections(1).Footers(kHeaderFooterPrimary).GetRange().Text(),
                                    doc.Sections(1).Footers(kHeaderFooterPrimary).GetRange().Text());
        }
        if (c.prop) {
            EXPECT_EQ(again.CustomDocumentProperties().Item(std::string(c.prop)).Value, c.propValue);
        }
        if (c.picture) {
            // The picture data is written back byte for byte (without line breaks).
            std::size_t p = original.find(c.picture);
            ASSERT_NE(p, std::string::npos);
            std::string data = original.substr(original.find('\n', p) + 1, 40);
            EXPECT_NE(saved.find(data.substr(0, data.find('\r'))), std::string::npos);
        }
        EXPECT_EQ(again.ToRtf(), saved);
        if (c.cells) {
            // Nested rows keep their properties between their last cell and the next paragraph.
            if (original.find("\\nestcell{\\*\\nesttableprops") != std::string::npos) {
                EXPECT_NE(saved.find("\\nestcell {\\*\\nesttableprops"), std::string::npos);
            }
            EXPECT_NE(saved.find("\\trowd"), std::string::npos);
            EXPECT_NE(saved.find("\\cellx"), std::string::npos);
        }
    }
    std::filesystem::remove_all(dir);
}

TEST(RtfReader, WordFieldsAndFormattingComeInAsTheModelsOwn) {
    Application app;
    Document& doc = app.GetDocuments().Open(Fixture("word-style.rtf"));
    std::string text = doc.Content().Text();
    // The symbol fields became symbols inside the MACROBUTTON field.
    std::size_t p = text.find("\x13 MACROBUTTON modStatementMacro \xEF\x83\x97" "Customer\xEF\x83\x98\x13 SET _QZStatement377 x = \"a{b}\"\x15\x15");
    ASSERT_NE(p, std::string::npos) << text;
    // The DOCPROPERTY field keeps its result.
    EXPECT_NE(doc.ToRtf().find("{\\fldrslt {\\insrsid1234567 ACME}}"), std::string::npos);
    // Red label, bold "omer".
    Selection& sel = app.GetSelection();
    long label = static_cast<long>(std::u32string_view(U"\x13 MACROBUTTON modStatementMacro X").size()) +
                 static_cast<long>(text.substr(0, p).size()); // ASCII before the field
    sel.SetRange(label, label + 4);
    EXPECT_EQ(sel.Text(), "Cust");
    EXPECT_EQ(sel.GetFont().ColorIndex(), 6);
    EXPECT_TRUE(doc.Format(doc.MainStory()[static_cast<std::size_t>(label + 5)].fmt).bold);
}

TEST(RtfReader, BytesAreReadInTheCodePageOfTheFontOrTheDocument) {
    // Greek by the document's code page, Cyrillic and Central European by the fonts' character sets.
    Loaded a("{\\rtf1\\ansi\\ansicpg1253\\deff0{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}{\\f2\\fcharset238 Arial CE;}}"
             "\\pard \\'c1\\'e8 {\\f1 \\'c4\\'e0} {\\f2 \\'8a\\'e8}\\par }");
    EXPECT_EQ(a.doc->Content().Text(), "\xCE\x91\xCE\xB8 \xD0\x94\xD0\xB0 \xC5\xA0\xC4\x8D");
    // Double-byte pairs, one of them with an escaped brace as its second byte.
    Loaded c("{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0\\fcharset134 SimSun;}{\\f1\\fcharset128 MS Mincho;}}"
             "\\pard\\f0 \\'c4\\'e3\\'ba\\'c3 {\\f1 \\'93\\'fa\\'96\\{}\\par }");
    EXPECT_EQ(c.doc->Content().Text(), "\xE4\xBD\xA0\xE5\xA5\xBD \xE6\x97\xA5\xE6\x9C\xAC");
    // Written back as Unicode escapes, they read the same.
    Loaded b(a.doc->ToRtf());
    EXPECT_EQ(b.doc->Content().Text(), a.doc->Content().Text());
}

TEST(RtfReader, DamagedInputGetsAClearErrorOrLoadsWithoutCrashing) {
    Application app;
    Document& doc = app.GetDocuments().Add();
    for (std::string bad : {std::string("hello"), std::string("{\\RTF1 x}"), std::string()}) {
        try {
            doc.LoadRtfText(bad);
            ADD_FAILURE() << bad;
        } catch (const qz::AutomationError& e) {
            EXPECT_EQ(e.Number, kErrBadRtf);
        }
    }
    // Truncated, unbalanced, deeply nested, binary garbage: loaded as far as it goes.
    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 20000; ++i) deep += "{\\field{\\*\\fldinst ";
    std::string deepGroups = "{\\rtf1 " + std::string(100000, '{') + "x";
    std::string garbage = "{\\rtf1 ";
    for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 7919) % 256);
    for (const std::string& s : {std::string("{\\rtf1 {\\b bold"), std::string("{\\rtf1 a}}}}} b"), deep, deepGroups, garbage,
                                 std::string("{\\rtf1 \\u"), std::string("{\\rtf1 \\'"), std::string("{\\rtf1 {\\pict \\bin999999 ab}}")}) {
        Application a;
        Document& d = a.GetDocuments().Add();
        EXPECT_NO_THROW(d.LoadRtfText(s));
        std::string out = d.ToRtf();
        EXPECT_NO_THROW(Loaded{out});
    }
}

// Whether every group of the RTF closes, and nothing closes that is not open;
// escaped braces and \binN data are not structure.
bool Balanced(const std::string& rtf) {
    int depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        char c = rtf[i];
        if (c == '\\' && rtf.compare(i, 4, "\\bin") == 0) {
            std::size_t k = i + 4;
            std::size_t len = 0;
            while (k < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[k]))) len = len * 10 + static_cast<std::size_t>(rtf[k++] - '0');
            if (k < rtf.size() && rtf[k] == ' ') ++k;
            i = k + len - 1;
        } else if (c == '\\') {
            ++i;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

// Damaged input the model keeps parts of verbatim: what it saves is balanced,
// reads back with the same text, and the next save writes the same RTF.
TEST(RtfReader, DamagedInputIsSavedBalancedAndReadBackAsItWasRead) {
    struct Case {
        const char* rtf;
        const char* text; // the text the document holds
    };
    const Case cases[] = {
        {"{\\rtf1\\clcbpat2\\cell\\row}", "\a\a"},
        {"{\\rtf\\cl\\cell\\row", "\a\a"},
        {"{\\rtf1 a\\clcbpat2\\cell b\\clcbpat3\\cell\\row c}", "a\ab\a\ac"},
        {"{\\rtf1g{\\fonttbl\\f0{\\*", "g"},
        {"{\\rtf{\\field{\\fldinst{6}}{", "\x13" "6\x15"},
        {"{\\rtf1 x{\\field{\\*\\fldinst PAGE}{\\fldrslt 12", "x\x13PAGE\x15"},
        {"{\\rtf{\\*{{{", ""},
        {"{\\rtf1 before{\\*\\unknown {nested", "before"},
        {"{\\rtf1 before{\\*\\unknown \\", "before"},
        {"{\\rtf1 before{\\pict\\bin40 {{{{", "before"},
        {"{\\rtf1 {\\header {\\*\\hx {", ""},
        // Text after a field's result, with a paragraph mark, before the field's brace.
        {"{\\rtf1 {\\field{\\*\\fldinst X}{\\fldrslt y} tail\\par}more\\par}", "\x13X\x15 tail\rmore"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rtf);
        Loaded first(c.rtf);
        EXPECT_EQ(Plain(first.doc->Content().Text()), c.text);
        std::string saved = first.doc->ToRtf();
        EXPECT_TRUE(Balanced(saved)) << saved;
        Loaded second(saved);
        EXPECT_EQ(Plain(second.doc->Content().Text()), c.text);
        EXPECT_EQ(second.doc->ToRtf(), saved);
    }
}

// Row words outside a row definition are stated once per row, and words that
// came after the first cell are kept for the row mark.
TEST(RtfWriter, RowWordsWithoutARowDefinitionAreNotRepeated) {
    Loaded doc("{\\rtf1 a\\clcbpat2\\cell b\\clcbpat3\\cell\\row c}");
    std::string saved = doc.doc->ToRtf();
    for (int round = 0; round < 3; ++round) saved = Loaded(saved).doc->ToRtf();
    auto count = [&](const std::string& w) {
        std::size_t n = 0;
        for (std::size_t p = saved.find(w); p != std::string::npos; p = saved.find(w, p + 1)) ++n;
        return n;
    };
    // Stated where the row begins (with a \\trowd), added to where the words
    // came, and stated again at the row mark: never more, however often saved.
    EXPECT_EQ(count("\\clcbpat2"), 2u) << saved;
    EXPECT_EQ(count("\\clcbpat3"), 2u) << saved;
    EXPECT_EQ(count("\\trowd"), 2u) << saved;
    EXPECT_LT(saved.find("\\clcbpat3"), saved.find("\\row")) << saved;
    // A row that starts with its definition states it again at its row mark.
    Loaded defined("{\\rtf1\\trowd\\clcbpat2\\cellx100\\pard\\intbl a\\cell\\row}");
    std::string out = defined.doc->ToRtf();
    std::size_t first = out.find("\\trowd\\clcbpat2\\cellx100");
    ASSERT_NE(first, std::string::npos) << out;
    std::size_t again = out.find("\\trowd\\clcbpat2\\cellx100", first + 1);
    EXPECT_NE(again, std::string::npos) << out;
    EXPECT_LT(again, out.find("\\row")) << out;
    EXPECT_EQ(Loaded(out).doc->ToRtf(), out);
}

// Damaged documents are mended at their first save: the text read back is
// the text shown, and the document saved again is the same RTF.
TEST(RtfWriter, DamagedDocumentsSettleAtTheirFirstSave) {
    static constexpr char kNul[] = "{\\rtf1 a{\\field{\\*\\fld\0\0inst X}{\\fldrslt}}b}";
    const std::string sym = "{\\field{\\*\\fldinst SYMBOL 65 \\\\f \"Odd\\\\\"Name\"}{\\fldrslt A}}";
    const std::string inputs[] = {
        // A NUL byte between a kept group's control word and letters after it.
        std::string(kNul, sizeof kNul - 1),
        // Font names with a semicolon, a quote and a control character, used by a symbol.
        "{\\rtf1{\\fonttbl{\\f0 A\\'3bB;}{\\f1 Odd\"Name\x0c;}}\\f0 x" + sym + "}",
        // Row properties without \\trowd, in a cell of two paragraphs.
        "{\\rtf1\\clcbpat2\\intbl a\\par\\clcbpat3\\intbl b\\cell\\row c}",
        // A paragraph that starts inside a field's instruction and ends after it.
        "{\\rtf1\\pard\\qc a{\\field{\\*\\fldinst X\\par Y}{\\fldrslt}}\\pard\\qr b\\par c}",
        // Kept groups before a \\pard, their paragraph ending inside an unbalanced field instruction.
        "{\\rtf{\\e{\\*\\g}\\pard\\a{\\field{\\fldinst{{{{{{\\}}}}{{}}{}}{}}{{{}}{}}}\\par}}\\s\\par",
        // A kept group and a \\pard after a field's result, in the paragraph the field began.
        "{\\rtf1{\\field{\\*\\fldinst X}{\\fldrslt}\\i{\\listtext\\a}\\pard b\\par}}",
        // A symbol whose font a later table names with a character above 0x7F.
        "{\\rtf1{\\fonttbl{\\f1 A;}}{\\field{\\*\\fldinst SYMBOL 3 \\\\f \"x\"}{\\fldrslt}}{\\fonttbl{\\f2 \\'9f;}}}",
        // A symbol's font named again by a later table under another number.
        "{\\rtf1{\\fonttbl{\\f1;}}{\\field{\\*\\fldinst SYMBOL 65 \\\\f \"Wingdings\"}{\\fldrslt}}"
        "{\\fonttbl{\\f1 Wingdings;}}}",
        // A symbol's font named by blanks.
        "{\\rtf1{\\field{\\*\\fldinst SYMBOL 6 \\\\f \" \"}{\\fldrslt}}}",
    };
    for (const std::string& rtf : inputs) {
        Loaded first(rtf);
        const std::string saved = first.doc->ToRtf();
        Loaded again(saved);
        EXPECT_EQ(again.doc->Content().Text(), first.doc->Content().Text()) << rtf;
        EXPECT_EQ(again.doc->ToRtf(), saved) << rtf;
    }
    // The names are read back whole.
    Loaded fonts(inputs[1]);
    Loaded back(fonts.doc->ToRtf());
    EXPECT_EQ(back.doc->FontByNumber(0)->name, "A;B");
    EXPECT_EQ(back.doc->FontByNumber(1)->name, "Odd\"Name");
    EXPECT_EQ(back.doc->fonts.size(), fonts.doc->fonts.size());
}

// The font table is looked up by number and by name; an entry of a number
// given again replaces the earlier one, under its new name only.
TEST(RtfReader, FontTableEntriesByNumberAndName) {
    Loaded doc("{\\rtf1{\\fonttbl{\\f5 A;}{\\f2 C;}{\\f5 B;}}\\f5 x}");
    ASSERT_EQ(doc.doc->fonts.size(), 2u);
    EXPECT_EQ(doc.doc->FontByNumber(5)->name, "B");
    EXPECT_EQ(doc.doc->FontByNumber(1), nullptr);
    EXPECT_EQ(doc.doc->FontNumber("B"), 5);
    EXPECT_EQ(doc.doc->FontNumber("C"), 2);
    EXPECT_EQ(doc.doc->FontNumber("A"), 6); // added after the highest number
    EXPECT_EQ(doc.doc->FontByNumber(6)->name, "A");
    EXPECT_EQ(doc.doc->fonts.size(), 3u);
}

// A symbol names its font; a font table read after it in the body names
// fonts by number. Neither takes the other's font, and the first save is the
// last change.
TEST(RtfReader, FontsAddedBySymbolsKeepTheirNamesBesideALaterTable) {
    auto fontsOf = [](const Document& d) {
        std::vector<std::string> names; // of each symbol, then of each letter
        for (const AtomKind kind : {AtomKind::Symbol, AtomKind::Char})
            for (std::size_t i = 0; i < d.MainStory().size(); ++i)
                if (const Atom a = d.MainStory()[i]; a.Kind() == kind) {
                    const FontDef* f = d.FontByNumber(d.Format(a.fmt).font);
                    names.push_back(f ? f->name : "-");
                }
        return names;
    };
    const std::string sym = "{\\field{\\*\\fldinst SYMBOL 65 \\\\f \"A\"}}{\\field{\\*\\fldinst SYMBOL 66 \\\\f \"B\"}}";
    const std::vector<std::string> want = {"A", "B", "B", "D"};
    for (const std::string& rtf : {
             // The later table takes the numbers the symbols' fonts were given.
             "{\\rtf1{\\fonttbl{\\f0 Arial;}}" + sym + "{\\fonttbl{\\f1 B;}{\\f2 C;}{\\f3 D;}}\\f1 x\\f3 y}",
             // No table before the symbols; text of numbers no table names yet.
             "{\\rtf1\\f2 x" + sym + "\\f3 y{\\fonttbl{\\f2 B;}{\\f3 D;}}}",
         }) {
        Loaded first(rtf);
        EXPECT_EQ(fontsOf(*first.doc), want) << rtf;
        Loaded again(first.doc->ToRtf());
        EXPECT_EQ(fontsOf(*again.doc), want) << rtf;
        EXPECT_EQ(again.doc->ToRtf(), first.doc->ToRtf()) << rtf;
    }
    // A font added by name takes a free number, also past the highest one there is.
    Loaded high("{\\rtf1{\\fonttbl{\\f2147483647 A;}}\\f0 x{\\field{\\*\\fldinst SYMBOL 65}}}");
    EXPECT_EQ(fontsOf(*high.doc), (std::vector<std::string>{"Symbol", "-"}));
}

TEST(RtfReader, MutatedRealDocumentsLoadAndSaveWithoutCrashing) {
    // Deterministic damage: bytes replaced, cut and duplicated at pseudo-random places.
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const char* special = "{}\\'*;0a \r\n";
    for (const char* name : {"lo-report.rtf", "word-style.rtf", "wordpad-style.rtf"}) {
        const std::string original = ReadFile(Fixture(name));
        for (int round = 0; round < 60; ++round) {
            std::string s = original;
            for (int k = 0; k < 8; ++k) {
                std::size_t at = 5 + next() % (s.size() - 5);
                switch (next() % 3) {
                case 0: s[at] = special[next() % 11]; break;
                case 1: s.erase(at, next() % 40); break;
                default: s.insert(at, s.substr(next() % s.size(), next() % 60)); break;
                }
            }
            Application app;
            Document& d = app.GetDocuments().Add();
            ASSERT_NO_THROW(d.LoadRtfText(s)) << name << " round " << round;
            std::string out = d.ToRtf();
            Application app2;
            Document& d2 = app2.GetDocuments().Add();
            ASSERT_NO_THROW(d2.LoadRtfText(out));
            EXPECT_EQ(d2.Content().Text(), d.Content().Text()) << name << " round " << round;
            // Saving again settles: the writer's output reads back to itself.
            std::string again = d2.ToRtf();
            for (int k = 0; k < 3 && again != out; ++k) {
                out = again;
                Application a3;
                Document& d3 = a3.GetDocuments().Add();
                d3.LoadRtfText(out);
                again = d3.ToRtf();
            }
            EXPECT_EQ(again, out) << name << " round " << round;
        }
    }
}

TEST(RtfReader, ColoursOfAnyTableMapToPaletteIndexesByTheirRgb) {
    Application app;
    Document& doc = app.GetDocuments().Open(Fixture("wordpad-style.rtf"));
    Selection& sel = app.GetSelection();
    std::string text = doc.Content().Text();
    auto at = [&](const std::string& w) { return static_cast<long>(DecodeUtf8(text.substr(0, text.find(w))).size()); };
    long red = at("Bold red"), blue = at("blue normal"), plain = at("Plain");
    sel.SetRange(red, red + 3);
    EXPECT_EQ(sel.GetFont().ColorIndex(), 6); // 255,0,0 is entry 1 of this table
    sel.SetRange(blue, blue + 4);
    EXPECT_EQ(sel.GetFont().ColorIndex(), 0); // a colour outside the palette
    // Colouring with a palette index reuses the table's entry and keeps the others.
    std::size_t entries = doc.colors.size();
    sel.SetRange(plain, plain + 5);
    sel.GetFont().SetColorIndex(6);
    EXPECT_EQ(doc.colors.size(), entries);
    sel.GetFont().SetColorIndex(11);
    EXPECT_EQ(doc.colors.size(), entries + 1);
    Loaded back(doc.ToRtf());
    Selection& s2 = back.app.GetSelection();
    s2.SetRange(plain, plain + 5);
    EXPECT_EQ(s2.GetFont().ColorIndex(), 11);
    s2.SetRange(blue, blue + 4);
    EXPECT_EQ(back.doc->ColorRgb(back.doc->Format(back.doc->MainStory()[static_cast<std::size_t>(blue)].fmt).color), 0x004DBB);
}

TEST(RtfReader, SectionsKeepTheirOwnHeadersFootersAndRanges) {
    const std::string rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\sectd\\pgwsxn11906 {\\header \\pard First header\\par }"
        "{\\footerf \\pard Title footer\\par }\\pard One\\par Two\\sect\\sectd\\lndscpsxn {\\header \\pard Second header\\par }"
        "\\pard Three\\par }";
    Loaded a(rtf);
    ASSERT_EQ(a.doc->SectionCount(), 2);
    EXPECT_EQ(a.doc->Sections(1).GetRange().Text(), "One\rTwo");
    EXPECT_EQ(a.doc->Sections(2).GetRange().Text(), "Three");
    EXPECT_EQ(a.doc->Sections(1).Headers(kHeaderFooterPrimary).GetRange().Text(), "First header");
    EXPECT_EQ(a.doc->Sections(1).Footers(kHeaderFooterFirstPage).GetRange().Text(), "Title footer");
    EXPECT_FALSE(a.doc->Sections(2).Footers(kHeaderFooterFirstPage).Exists());
    EXPECT_EQ(a.doc->Sections(2).Headers(kHeaderFooterPrimary).GetRange().Text(), "Second header");
    Loaded b(a.doc->ToRtf());
    ASSERT_EQ(b.doc->SectionCount(), 2);
    EXPECT_EQ(b.doc->Sections(2).GetRange().Text(), "Three");
    EXPECT_EQ(b.doc->Sections(2).Headers(kHeaderFooterPrimary).GetRange().Text(), "Second header");
    EXPECT_EQ(b.doc->Sections(1).Footers(kHeaderFooterFirstPage).GetRange().Text(), "Title footer");
    EXPECT_NE(b.doc->ToRtf().find("\\sectd\\lndscpsxn"), std::string::npos);
    // A header's last paragraph, without a mark, keeps its properties.
    Loaded c("{\\rtf1{\\header\\qc centered}body\\par}");
    const Range header = c.doc->Sections(1).Headers(kHeaderFooterPrimary).GetRange();
    EXPECT_EQ(header.ParagraphFormat().alignment, Alignment::Center);
}
