// What a window shows of a document: the display walk's runs, field results
// decoded, paragraph and row formats read and changed, pictures.
#include "platform/word/Application.h"
#include "platform/word/DisplayWalk.h"
#include "platform/word/Drawings.h"
#include "platform/word/Utf8.h"

#include <gtest/gtest.h>

using namespace qz::word;

namespace {

struct Shown {
    DisplayRun::Kind kind;
    long start, end;
    std::string text; // UTF-8
    std::vector<int> cells;
    int columns;
    bool goesOn;
    std::uint32_t fmt;
};

struct Recorder : DisplaySink {
    std::vector<Shown> runs;
    void Show(const DisplayRun& r) override {
        std::string t;
        for (char32_t c : r.text) qz::appendUtf8(t, c);
        runs.push_back({r.kind, r.start, r.end, t, r.row ? r.row->cellRights : std::vector<int>{}, r.columns,
                        r.tableGoesOn, r.fmt});
    }
    std::vector<Shown> Of(DisplayRun::Kind k) const {
        std::vector<Shown> out;
        for (const auto& r : runs)
            if (r.kind == k) out.push_back(r);
        return out;
    }
};

std::string U8(const std::u32string& s) {
    std::string t;
    for (char32_t c : s) qz::appendUtf8(t, c);
    return t;
}

struct Walked {
    Application app;
    Document* doc;
    Recorder rec;
    Walked(std::string_view rtf, bool codes = false) {
        doc = &app.GetDocuments().Add();
        doc->LoadRtfText(rtf);
        WalkDisplay(*doc, doc->MainStory(), 0, static_cast<long>(doc->MainStory().size()), codes, rec);
    }
};

using K = DisplayRun::Kind;

} // namespace

TEST(DisplayWalk, FieldResultsShowTheirDecodedText) {
    // Accented as an escaped byte and as \uN, escaped braces and backslash,
    // more than one paragraph, a nested field's result, a double-byte font.
    Walked w(R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0 Arial;}{\f1\fcharset134 SimSun;}})"
             R"({\field{\*\fldinst  REF a }{\fldrslt Caf\'e9}} )"
             R"({\field{\*\fldinst  REF b }{\fldrslt Caf\u233?}} )"
             R"({\field{\*\fldinst  REF c }{\fldrslt a\par b\tab\{x\}\'5c}} )"
             R"({\field{\*\fldinst  REF d }{\fldrslt {\f1 \'d6\'d0}\uc2\u25991\'ce\'c4{\*\bkmkstart q}!}} )"
             R"({\field{\*\fldinst  REF e }{\fldrslt x{\field{\*\fldinst PAGE}{\fldrslt 7}}y}}\par})");
    const auto fields = w.rec.Of(K::FieldText);
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_EQ(fields[0].text, "Caf\xC3\xA9");
    EXPECT_EQ(fields[1].text, "Caf\xC3\xA9");
    EXPECT_EQ(fields[2].text, "a\vb\t{x}\\"); // its paragraphs show as lines of its paragraph
    EXPECT_EQ(fields[3].text, "\xE4\xB8\xAD\xE6\x96\x87!");
    EXPECT_EQ(fields[4].text, "x7y");
    // The whole field is one run, every character showing its begin.
    const Story& s = w.doc->MainStory();
    EXPECT_EQ(s[static_cast<std::size_t>(fields[0].start)].Kind(), AtomKind::FieldBegin);
    EXPECT_EQ(s[static_cast<std::size_t>(fields[0].end - 1)].Kind(), AtomKind::FieldEnd);
    // The exact result text, paragraph marks included.
    EXPECT_EQ(FieldResultText(*w.doc, "a\\par b", 0), U"a\rb");
}

TEST(DisplayWalk, RunsCarryTheirFormatAndPositionsAndHiddenRangesShowNothing) {
    const char* rtf = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}ab{\b cd}{\field{\*\fldinst  MACROBUTTON go Click}{\fldrslt }})"
                      R"({\field{\*\fldinst  SET x 1}{\fldrslt 1}}e\par f})";
    Walked w(rtf);
    const auto text = w.rec.Of(K::Text);
    ASSERT_GE(text.size(), 4u);
    EXPECT_EQ(text[0].text, "ab");
    EXPECT_EQ(text[0].start, 0);
    EXPECT_EQ(text[1].text, "cd");
    EXPECT_EQ(text[1].start, 2);
    EXPECT_EQ(text[2].text, "Click"); // the button's display text is the document's own atoms
    const auto hidden = w.rec.Of(K::Hidden);
    ASSERT_EQ(hidden.size(), 3u); // the code up to the display text, the button's end, the SET field
    EXPECT_EQ(hidden[0].start, 4);
    EXPECT_EQ(text[2].start, hidden[0].end);
    // Every atom is accounted for once, in order.
    long at = 0;
    for (const auto& r : w.rec.runs) {
        if (r.kind == K::TableStart || r.kind == K::RangeEnd) continue;
        EXPECT_EQ(r.start, at);
        at = r.end;
    }
    EXPECT_EQ(at, static_cast<long>(w.doc->MainStory().size()));

    // A result shows in its code's format, not the format around the field.
    Walked page(R"({\rtf1\ansi{\fonttbl{\f0 Times;}{\f1 Arial;}}{\f1\fs18 Page }{\field{\*\fldinst {\f1\fs18 PAGE}}{\fldrslt 1}}\par})");
    const auto number = page.rec.Of(K::FieldText);
    ASSERT_EQ(number.size(), 1u);
    EXPECT_EQ(page.doc->Format(number[0].fmt).font, 1);
    EXPECT_EQ(page.doc->Format(number[0].fmt).size, 18);

    // With codes shown, the marks and the code show.
    Walked codes(rtf, true);
    const auto marks = codes.rec.Of(K::CodeMark);
    ASSERT_EQ(marks.size(), 4u);
    EXPECT_EQ(marks[0].text, "{");
    EXPECT_EQ(marks[1].text, "}");
}

TEST(DisplayWalk, TablesStartWithTheirCellsAndRowsTellWhetherTheTableGoesOn) {
    Walked w(R"({\rtf1\ansi before\par\trowd\cellx1440\cellx4320 \intbl a\cell b\cell\row)"
             R"(\trowd\cellx1440\cellx4320 \intbl c\cell d\cell\row\pard after\par})");
    const auto starts = w.rec.Of(K::TableStart);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].columns, 2);
    EXPECT_EQ(starts[0].cells, (std::vector<int>{1440, 4320}));
    const auto rows = w.rec.Of(K::RowEnd);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].goesOn);
    EXPECT_FALSE(rows[1].goesOn);
    const auto cells = w.rec.Of(K::CellEnd);
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_TRUE(cells[0].goesOn);
    EXPECT_FALSE(cells[1].goesOn);

    // Rows of different cells: the table has as many as its widest row, at
    // that row's boundaries.
    Walked uneven(R"({\rtf1\ansi\trowd\cellx1440 \intbl a\par b\cell\row)"
                  R"(\trowd\cellx1440\cellx2880\cellx4320 \intbl c\cell d\cell e\cell\row)"
                  R"(\trowd\cellx1440 \intbl f\cell\row\pard after\par})");
    const auto table = uneven.rec.Of(K::TableStart);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].columns, 3);
    EXPECT_EQ(table[0].cells, (std::vector<int>{1440, 2880, 4320}));
    EXPECT_EQ(uneven.rec.Of(K::RowEnd).size(), 3u);
}

// What a reader shows of rows that lost their start (a repetition that
// began after a row's definition and \intbl): the first cell is a paragraph
// of its own, the rest a table; a cell mark in no table ends a paragraph.
// Text before a row's definition shows as a paragraph before the row, where
// a production that repeats the row leaves it.
TEST(DisplayWalk, RowsWithoutTheirStartShowAsReadersPrintThem) {
    Walked w(R"({\rtf1\ansi\trowd\cellx1440\cellx2880\pard\intbl a\cell b\cell\row)"
             R"(\pard c\cell\pard\intbl d\cell\trowd\cellx1440\cellx2880\intbl\row)"
             R"(\pard e\cell f\par})");
    const auto starts = w.rec.Of(K::TableStart);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0].columns, 2);
    EXPECT_EQ(starts[1].columns, 1);
    std::vector<std::string> paragraphs;
    std::string text;
    for (const Shown& r : w.rec.runs) {
        if (r.kind == K::Text) text += r.text;
        if (r.kind == K::ParagraphEnd || r.kind == K::CellEnd || r.kind == K::RangeEnd) paragraphs.push_back((r.kind == K::CellEnd ? "cell " : "") + std::exchange(text, ""));
    }
    EXPECT_EQ(paragraphs, (std::vector<std::string>{"cell a", "cell b", "c", "cell d", "e", "f"}));

    Walked lead(R"({\rtf1\ansi\pard {\field{\*\fldinst MACROBUTTON m loop}{\fldrslt }}\trowd\cellx1440\pard\intbl a\cell\row})");
    ASSERT_EQ(lead.rec.Of(K::TableStart).size(), 1u);
    const long rowStart = lead.rec.Of(K::TableStart)[0].start;
    ASSERT_GT(rowStart, 0);
    EXPECT_TRUE(IsRowStartMark(*lead.doc, lead.doc->MainStory()[static_cast<std::size_t>(rowStart - 1)]));
    // Paragraphs end in "\n", cells in "|", rows in "]"; tables start with "[".
    const auto shown = [](const Walked& w) {
        std::string out;
        for (const Shown& r : w.rec.runs) {
            if (r.kind == K::Text) out += r.text;
            if (r.kind == K::ParagraphEnd) out += "\n";
            if (r.kind == K::CellEnd) out += "|";
            if (r.kind == K::RowEnd) out += r.goesOn ? "]" : "]end";
            if (r.kind == K::TableStart) out += "[";
        }
        return out;
    };
    EXPECT_EQ(shown(lead), "loop\n[a|]end");
    // Before a row inside a table: the table ends before the text and goes
    // on after it.
    Walked between(R"({\rtf1\ansi\trowd\cellx1440\pard\intbl H\cell\row\pard {\field{\*\fldinst MACROBUTTON m loop}{\fldrslt }})"
                   R"(\trowd\cellx1440\pard\intbl a\cell\row\trowd\cellx1440\pard\intbl b\cell\row\pard after\par})");
    EXPECT_EQ(shown(between), "[H|]endloop\n[a|]b|]endafter");
}

TEST(ParagraphFormat, ReadFromItsWordsAndChangedWithTheOtherWordsKept) {
    const std::string props = R"(\s2\qc\li720\fi-360\sb120\sl360\slmult1\tqr\tldot\tx5000\tx1000{\*\pn\pnlvlbody}\widctlpar)";
    ParaFormat f = ParseParaFormat(props);
    EXPECT_EQ(f.alignment, Alignment::Center);
    EXPECT_EQ(f.leftIndent, 720);
    EXPECT_EQ(f.firstIndent, -360);
    EXPECT_EQ(f.spaceBefore, 120);
    EXPECT_TRUE(f.lineMultiple);
    ASSERT_EQ(f.tabs.size(), 2u);
    EXPECT_EQ(f.tabs[0], (TabStop{1000, TabKind::Left, TabLeader::None}));
    EXPECT_EQ(f.tabs[1], (TabStop{5000, TabKind::Right, TabLeader::Dots}));

    f.alignment = Alignment::Left;
    f.rightIndent = 200;
    const std::string changed = WithParaFormat(props, f);
    EXPECT_EQ(ParseParaFormat(changed), f);
    // What did not change stays as it was written; the style, the group and
    // the unknown word are kept.
    EXPECT_NE(changed.find(R"(\s2)"), std::string::npos);
    EXPECT_NE(changed.find(R"({\*\pn\pnlvlbody})"), std::string::npos);
    EXPECT_NE(changed.find(R"(\tqr\tldot\tx5000)"), std::string::npos);
    EXPECT_EQ(changed.find(R"(\qc)"), std::string::npos);
    EXPECT_EQ(WithParaFormat(props, ParseParaFormat(props)), props);
}

TEST(ParagraphFormat, ChangedThroughARangeSavesAndUndoes) {
    Application app;
    Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(R"({\rtf1\ansi\pard\ql one\par\pard\qr two\par\pard three\par})");
    doc.BeginUndoStep();
    Range all = doc.Content();
    all.ChangeParagraphFormat([](ParaFormat& f) {
        f.alignment = Alignment::Center;
        f.leftIndent = 1440;
    });
    doc.EndUndoStep();
    Document& back = app.GetDocuments().Add();
    back.LoadRtfText(doc.ToRtf());
    for (long p : {0L, 4L, 8L}) {
        const ParaFormat f = Range(&back, &back.MainStory(), p, p).ParagraphFormat();
        EXPECT_EQ(f.alignment, Alignment::Center) << p;
        EXPECT_EQ(f.leftIndent, 1440) << p;
    }
    doc.Undo();
    EXPECT_EQ(Range(&doc, &doc.MainStory(), 4, 4).ParagraphFormat().alignment, Alignment::Right);
}

TEST(Pictures, SizeAndDataReadFromTheGroup) {
    // 1x1 PNG header bytes are enough to check the decoding of the data.
    Picture p = ParsePicture(R"({\*\shppict{\pict{\*\picprop{\sp{\sn a}{\sv 1}}}\picscalex50\picscaley200)"
                             R"(\picw10\pich10\picwgoal1440\pichgoal720\pngblip 8950 4e47}})");
    EXPECT_EQ(p.kind, Picture::Kind::Png);
    EXPECT_EQ(p.width, 720);
    EXPECT_EQ(p.height, 1440);
    EXPECT_EQ(p.data, "\x89PNG");
    // Without a goal size a bitmap's own pixels count; \bin data is taken raw.
    p = ParsePicture(std::string(R"({\pict\jpegblip\picw4\pich2\bin3 )") + std::string("\x00}\\", 3) + "}");
    EXPECT_EQ(p.width, 60);
    EXPECT_EQ(p.height, 30);
    EXPECT_EQ(p.data, std::string("\x00}\\", 3));
    // The copy for old readers, and groups without a picture, show nothing.
    EXPECT_EQ(ParsePicture(R"({\nonshppict{\pict\wmetafile8 0102}})").kind, Picture::Kind::None);
    EXPECT_EQ(ParsePicture(R"({\*\bkmkstart pict})").kind, Picture::Kind::None);
}

TEST(Formats, CharacterLooksCellsAndParagraphBordersReadFromTheirWords) {
    const CharLook look = ParseCharLook(R"(\strike\scaps\super\highlight7\cb3\lang1033)");
    EXPECT_TRUE(look.strike);
    EXPECT_TRUE(look.smallCaps);
    EXPECT_EQ(look.vertical, 1);
    EXPECT_EQ(look.highlight, 7);
    EXPECT_EQ(look.shading, 3);
    EXPECT_EQ(ParseCharLook(R"(\sub\nosupersub\strike0)").vertical, 0);
    EXPECT_FALSE(ParseCharLook(R"(\strike0)").strike);

    // Borders: a side word, then its line words; \brdrnone takes it away.
    const ParaFormat p = ParseParaFormat(R"(\brdrt\brdrs\brdrw20\brdrcf2\brsp40\brdrb\brdrnone\box\brdrw10\cbpat5)");
    EXPECT_EQ(p.shading, 5);
    EXPECT_EQ(p.borderSpace, 40);
    EXPECT_EQ(p.borders[1].width, 10); // \box and its width: every side
    EXPECT_EQ(p.borders[0].width, 10);
    EXPECT_EQ(p.borders[0].color, 2);

    const RowFormat row = ParseRowFormat(R"(\trowd\trgaph108\trbrdrt\brdrs\brdrw30\clcbpat4\clbrdrt\brdrs\brdrw15\clmgf\cellx2000)"
                                         R"(\clmrg\clvmgf\cellx4000\clvmrg\cellx6000)");
    ASSERT_EQ(row.cells.size(), 3u);
    EXPECT_EQ(row.cells[0].shading, 4);
    EXPECT_EQ(row.cells[0].borders[0].width, 15); // the row's own border is no cell's
    EXPECT_TRUE(row.cells[0].mergeFirst);
    EXPECT_TRUE(row.cells[1].merged);
    EXPECT_TRUE(row.cells[1].vmergeFirst);
    EXPECT_TRUE(row.cells[2].vmerged);
    EXPECT_EQ(row.cells[2].right, 6000);
    EXPECT_EQ(row.cells[1].borders[0].width, 0);
}

TEST(DisplayWalk, ListNumbersLinksPageNumbersAndLinkedPicturesShow) {
    Application app;
    Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f2\fcharset2 Symbol;}})"
                    R"({\listtext\pard\plain\f2 \'b7\tab}\pard\ls1\fi-360\li720 item\par)"
                    R"({\field{\*\fldinst HYPERLINK "https://x.y/"}{\fldrslt site}} {\field{\*\fldinst PAGE}{\fldrslt 1}})"
                    R"( {\field{\*\fldinst INCLUDEPICTURE "C:\\\\pics\\\\a.png" \\d}{\fldrslt }})"
                    R"( {\field{\*\fldinst INCLUDEPICTURE "b.png"}{\fldrslt }}\par})");
    doc.SetFileName("/tmp/docs/x.rtf");
    struct : DisplaySink {
        std::vector<std::string> texts, paths;
        std::vector<bool> links, pages;
        void Show(const DisplayRun& r) override {
            if (r.kind == DisplayRun::Kind::Picture) paths.push_back(r.picture->path);
            if (r.kind != DisplayRun::Kind::FieldText) return;
            std::string t;
            for (char32_t c : r.text) qz::appendUtf8(t, c);
            texts.push_back(t);
            links.push_back(r.link);
            pages.push_back(r.pageNumber);
        }
    } rec;
    WalkDisplay(doc, doc.MainStory(), 0, static_cast<long>(doc.MainStory().size()), false, rec);
    ASSERT_EQ(rec.texts.size(), 3u);
    EXPECT_EQ(rec.texts[0], "\xE2\x80\xA2\t"); // Symbol's bullet as the bullet
    EXPECT_TRUE(rec.links[1]);
    EXPECT_TRUE(rec.pages[2]);
    EXPECT_EQ(rec.paths, (std::vector<std::string>{"C:/pics/a.png", "/tmp/docs/b.png"}));
}

// A level's text, a font's name and a document property's name and value
// read \uN as the document's text does: as many fallback characters skipped
// as the \ucN before it says (two here), and a surrogate pair as one.
TEST(DisplayWalk, ListTextFontNamesAndPropertiesSkipTheFallbackUcSays) {
    Walked w(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f1\uc2\u25991\'ce\'c4Song;}})"
             R"({\*\listtable{\list{\listlevel\levelnfc23{\leveltext \'02\uc2\u8226\'3f\'3fx;}}\listid7}})"
             R"({\*\listoverridetable{\listoverride\listid7\ls1}})"
             R"({\*\userprops{\propname \uc2\u25991\'ce\'c4p}\proptype30{\staticval \u-10179?\u-8704?!}})"
             R"(\pard\ls1 one\par})");
    ASSERT_EQ(w.rec.Of(K::FieldText).size(), 1u);
    EXPECT_EQ(w.rec.Of(K::FieldText)[0].text, "\xE2\x80\xA2x\t");
    EXPECT_EQ(w.doc->FontByNumber(1)->name, "\xE6\x96\x87Song");
    EXPECT_EQ(w.doc->CustomDocumentProperties().Item("\xE6\x96\x87p").Value, "\xF0\x9F\x98\x80!");
}

// A paragraph of a bullet level that kept no bullet of its own shows its
// level's: U+2022 as written, a symbol font's byte or private-use character
// as the symbol; a numbered level's paragraph without a kept number shows none.
TEST(DisplayWalk, BulletLevelsWithoutAKeptBulletShowTheirLevelsBullet) {
    Walked w(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f1\fcharset2 Symbol;}})"
             R"({\*\listtable{\list{\listlevel\levelnfc23{\leveltext \'01\u8226 ?;}\f1}{\listlevel\levelnfc23)"
             R"({\leveltext \'01\u-3913 ?;}\f1}{\listlevel\levelnfc23{\leveltext \'01\'b7;}\f1}\listid7})"
             R"({\list{\listlevel\levelnfc0{\leveltext \'02\'00.;}}\listid8}})"
             R"({\*\listoverridetable{\listoverride\listid7\ls1}{\listoverride\listid8\ls2}})"
             R"(\pard plain\par\pard\ls1 one\par\pard\ls1\ilvl1 two\par\pard\ls1\ilvl2 three\par)"
             R"(\pard\ls1{\listtext\pard\plain\f1 \'b7\tab}kept\par\pard\ls2 numbered\par})");
    std::vector<std::string> bullets;
    std::vector<long> at; // where the shown bullets (no atoms) stand
    for (const Shown& r : w.rec.Of(K::FieldText)) {
        bullets.push_back(r.text);
        if (r.start == r.end) at.push_back(r.start);
    }
    const std::string dot = "\xE2\x80\xA2\t";
    // The numbered paragraph, which kept no number either, gets its own.
    EXPECT_EQ(bullets, (std::vector<std::string>{dot, dot, dot, dot, "1.\t"}));
    // Each before its paragraph's first character; the kept one is an atom.
    EXPECT_EQ(at, (std::vector<long>{6, 10, 14, 26}));
}

TEST(DisplayWalk, ListNumbersComeFromTheLevelsNotFromTheKeptText) {
    // Level 0 "%1." from 3, level 1 "(%2)" in lower letters, level 2 roman
    // with a space after it. The kept numbers are stale ("9."), one item kept
    // none; a level 0 item starts level 1 over. A walk that starts in the
    // middle counts the items before it.
    const std::string rtf =
        R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}{\*\listtable{\list{\listlevel\levelnfc0\levelstartat3{\leveltext \'02\'00.;}})"
        R"({\listlevel\levelnfc4{\leveltext \'03(\'01);}}{\listlevel\levelnfc2\levelfollow1{\leveltext \'02\'02.;}}\listid5}})"
        R"({\*\listoverridetable{\listoverride\listid5\ls1}})"
        R"(\pard\ls1{\listtext 9.\tab}a\par\pard\ls1\ilvl1{\listtext 9.\tab}b\par\pard\ls1\ilvl1 c\par)"
        R"(\pard\ls1\ilvl2{\listtext 9.\tab}d\par\pard\ls1{\listtext 9.\tab}e\par\pard\ls1\ilvl1{\listtext 9.\tab}f\par})";
    Walked w(rtf);
    const Story& story = w.doc->MainStory();
    long c = 0; // the start of "c"
    while (c < static_cast<long>(story.size()) && !(story[static_cast<std::size_t>(c)].Kind() == AtomKind::Char &&
                                                   story[static_cast<std::size_t>(c)].value == U'c'))
        ++c;
    for (long from : {0L, c}) {
        std::vector<std::string> numbers;
        Recorder rec;
        WalkDisplay(*w.doc, story, from, static_cast<long>(story.size()), false, rec);
        for (const Shown& r : rec.Of(K::FieldText)) numbers.push_back(r.text);
        if (from == 0)
            EXPECT_EQ(numbers, (std::vector<std::string>{"3.\t", "(a)\t", "(b)\t", "i. ", "4.\t", "(a)\t"}));
        else
            EXPECT_EQ(numbers, (std::vector<std::string>{"(b)\t", "i. ", "4.\t", "(a)\t"}));
    }
}

TEST(PageSetup, ReadFromDocumentAndSectionAndSetThroughTheSectionWithAFileRoundTrip) {
    Application app;
    Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(R"({\rtf1\ansi\paperw11906\paperh16838\margl1134\margr1134\landscape)"
                    R"(\sectd\margtsxn2000\headery500\titlepg text\par})");
    PageSetup p = doc.PageSetupOf(0);
    EXPECT_EQ(p.width, 11906);
    EXPECT_EQ(p.left, 1134);
    EXPECT_EQ(p.top, 2000);      // the section's own
    EXPECT_EQ(p.bottom, 1440);   // RTF's default
    EXPECT_EQ(p.header, 500);
    EXPECT_TRUE(p.landscape);
    EXPECT_TRUE(p.titlePage);
    // Margins that leave no room are shrunk; a paper size that is no paper is ignored.
    const PageSetup odd = ParsePageSetup(R"(\paperw3\margl9000\margr9000)", "");
    EXPECT_EQ(odd.width, 12240);
    EXPECT_LT(odd.left + odd.right, odd.width);

    p.width = 16838;
    p.height = 11906;
    p.landscape = false;
    p.right = 567;
    doc.SetPageSetup(0, p);
    Document& back = app.GetDocuments().Add();
    back.LoadRtfText(doc.ToRtf());
    EXPECT_EQ(back.PageSetupOf(0), p);
    EXPECT_THROW(doc.SetPageSetup(3, p), std::exception);
}

TEST(DisplayWalk, EquationsShowTheirLinearTextAndLetterSpacingIsRead) {
    // Starred and plain equation groups: their runs as typed in a line; one
    // with no text shows its kept picture.
    Walked w(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\pard A {\*\mmath{\*\moMath{\msSup{\me{\mr x}}{\msup{\mr 2}}})"
             R"({\mr +}{\mf{\mnum{\mr a}}{\mden{\mr b+c}}}}} B )"
             R"({\mmathPara{\mmath{\mrad{\me{\mr y}}}{\md{\mdPr{\mbegChr [}{\mendChr ]}}{\me{\mr 1}}{\me{\mr 2}}}}})"
             R"({\*\mmath{\*\mmathPict{\pict\pngblip\picwgoal300\pichgoal200 89504e47}}})"
             R"({\expnd4\expndtw20 wide}\par})");
    const auto shown = w.rec.Of(K::FieldText);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "x^2+a/(b+c)");
    EXPECT_EQ(shown[1].text, "\u221Ay[1|2]");
    const auto pictures = w.rec.Of(K::Picture);
    ASSERT_EQ(pictures.size(), 1u);
    const auto text = w.rec.Of(K::Text);
    EXPECT_EQ(w.doc->Look(text.back().fmt).spacing, 20);
    EXPECT_EQ(text.back().text, "wide");
    // The equations are kept as they were read.
    const std::string saved = w.doc->ToRtf();
    EXPECT_NE(saved.find(R"({\mmathPara{\mmath{\mrad{\me{\mr y}}})"), std::string::npos);
    EXPECT_NE(saved.find(R"({\mf{\mnum{\mr a}}{\mden{\mr b+c}}})"), std::string::npos);
}

TEST(DisplayWalk, NoteMarksShowTheirNumbersAndNotesAndDrawingsAreListed) {
    const char* rtf =
        R"({\rtf1\ansi\aftnnrlc{\fonttbl{\f0 Arial;}}\pard One{\super\chftn}{\footnote\pard{\super\chftn} First note.\par})"
        R"( two{\super\chftn}{\footnote\ftnalt\pard{\super\chftn} An endnote.}{\super\chftn}{\footnote\pard Second.})"
        R"({\shp{\*\shpinst\shpleft100\shptop200\shpright1100\shpbottom700\shpbxpage\shpbxignore\shpbymargin)"
        R"({\sp{\sn shapeType}{\sv 5}}{\sp{\sn fillColor}{\sv 255}}{\sp{\sn fFlipV}{\sv 1}}{\sp{\sn posrelh}{\sv 0}}})"
        R"({\shprslt nothing}})"
        R"({\shp{\*\shpinst\shpleft0\shptop0\shpright2000\shpbottom1000{\sp{\sn shapeType}{\sv 202}})"
        R"({\shptxt\pard\qc\fs32 Boxed\par}}})"
        R"({\*\do\dobxpage\dobypara\dpline\dpptx0\dppty400\dpptx800\dppty0\dpx50\dpy60\dpxsize800\dpysize400\dplinecor255})"
        R"({\shp{\*\shpinst\shpleft0\shptop0\shpright10\shpbottom10{\sp{\sn shapeType}{\sv 136}}}}\par})";
    Walked w(rtf);
    const auto marks = w.rec.Of(K::FieldText);
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[0].text, "1");
    EXPECT_EQ(marks[1].text, "i");
    EXPECT_EQ(marks[2].text, "2");
    // A walk from the middle numbers on from the notes before it.
    Recorder later;
    WalkDisplay(*w.doc, w.doc->MainStory(), marks[2].start, static_cast<long>(w.doc->MainStory().size()), false, later);
    ASSERT_FALSE(later.Of(K::FieldText).empty());
    EXPECT_EQ(later.Of(K::FieldText)[0].text, "2");

    const auto notes = StoryNotes(*w.doc, w.doc->MainStory());
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(U8(notes[0].text), "First note.");
    EXPECT_TRUE(notes[1].endnote);
    EXPECT_EQ(U8(notes[1].mark), "i");
    EXPECT_EQ(U8(notes[2].text), "Second.");

    const auto drawings = StoryDrawings(*w.doc, w.doc->MainStory());
    ASSERT_EQ(drawings.size(), 4u);
    const Drawing& tri = drawings[0];
    EXPECT_EQ(tri.type, Drawing::Type::Triangle);
    EXPECT_EQ(tri.fromX, Drawing::From::Margin); // posrelh wins over \shpbxpage
    EXPECT_EQ(tri.fromY, Drawing::From::Margin);
    EXPECT_EQ(tri.left, 100);
    EXPECT_EQ(tri.bottom, 700);
    EXPECT_EQ(tri.fill, 0xFF0000u);
    EXPECT_TRUE(tri.flipV);
    EXPECT_FALSE(tri.flipH);
    EXPECT_EQ(drawings[1].type, Drawing::Type::TextBox);
    EXPECT_EQ(U8(drawings[1].text), "Boxed");
    EXPECT_EQ(drawings[1].textSize, 32);
    EXPECT_EQ(drawings[1].textAlign, 1);
    const Drawing& line = drawings[2];
    EXPECT_EQ(line.type, Drawing::Type::Line);
    EXPECT_EQ(line.fromX, Drawing::From::Page);
    EXPECT_EQ(line.fromY, Drawing::From::Paragraph);
    EXPECT_EQ(line.right, 850);
    EXPECT_EQ(line.line, 0xFF0000u);
    EXPECT_TRUE(line.flipV);
    EXPECT_EQ(drawings[3].type, Drawing::Type::Other);

    // Notes, shapes and drawing objects are saved as they were read.
    const std::string saved = w.doc->ToRtf();
    for (const char* kept : {R"({\footnote\ftnalt\pard{\super\chftn} An endnote.})", R"({\sp{\sn fFlipV}{\sv 1}})",
                             R"({\shptxt\pard\qc\fs32 Boxed\par})", R"(\dpline\dpptx0\dppty400\dpptx800\dppty0)"})
        EXPECT_NE(saved.find(kept), std::string::npos) << kept;
}

TEST(DisplayWalk, NoteAndListNumbersAreCountedOnTheirOwn) {
    // Notes: a footnote, an endnote (lower roman), a footnote; counted from
    // the start whatever mark is asked about first; a note's own text shows
    // its own mark.
    Walked w(R"({\rtf1\ansi\aftnnrlc{\fonttbl{\f0 Arial;}}{\*\listtable{\list{\listlevel\levelnfc1{\leveltext \'02\'00.;}})"
             R"(\listid5}}{\*\listoverridetable{\listoverride\listid5\ls1}})"
             R"(\pard a{\chftn}{\footnote x}{\chftn}{\footnote\ftnalt y}{\chftn}{\footnote z}\par)"
             R"(\pard\ls1 one\par\pard\ls1{\listtext 9.\tab}two\par\pard\par})");
    const Story& story = w.doc->MainStory();
    std::vector<long> marks;
    std::vector<std::pair<long, const ParaFormat*>> paragraphs; // each start, and its mark's format
    for (long i = 0, start = 0; i < static_cast<long>(story.size()); ++i) {
        const Atom& a = story[static_cast<std::size_t>(i)];
        if (a.Kind() == AtomKind::Opaque && w.doc->Opaque(a.value) == "\\chftn ") marks.push_back(i);
        if (a.Kind() != AtomKind::ParaEnd) continue;
        paragraphs.emplace_back(start, &w.doc->ParaEnd(a.value).format);
        start = i + 1;
    }
    ASSERT_EQ(marks.size(), 3u);
    NoteNumbering notes(*w.doc, story, marks[2]);
    EXPECT_EQ(U8(notes.Mark(marks[2])), "2");
    NoteNumbering fromStart(*w.doc, story, 0);
    EXPECT_EQ(U8(fromStart.Mark(marks[1])), "i");
    fromStart.SetOwnMark(U"*");
    EXPECT_EQ(U8(fromStart.Mark(marks[0])), "*");
    // Lists: upper roman from the levels; the kept "9." stands in for the number.
    ParagraphNumbers numbers(*w.doc, story);
    std::vector<std::pair<std::string, bool>> shown;
    for (const auto& [start, format] : paragraphs) {
        const ParagraphNumbers::Shown s = numbers.At(start, *format);
        shown.emplace_back(U8(s.text), s.kept);
    }
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, bool>>{{"", false}, {"I.\t", false}, {"II.\t", true}}));
}

TEST(DisplayWalk, ListNumbersInOtherScriptsAndTheLevelsOwnFontAndSize) {
    // Chinese counting (its text's bytes in the document's code page, Big5:
    // \'a1B is the ideographic comma) at 20 points; Hebrew letters; "One" in
    // the level's font; a format no spelling exists for counts in figures.
    Walked w(R"({\rtf1\ansi\ansicpg950{\fonttbl{\f0\fcharset136 MingLiU;}{\f1 Times New Roman;}}{\*\listtable)"
             R"({\list{\listlevel\levelnfc35\levelfollow2{\leveltext\'02\'00\'a1B;}\fs40}\listid5})"
             R"({\list{\listlevel\levelnfc45\levelfollow1{\leveltext\'02\'00.;}}\listid6})"
             R"({\list{\listlevel\levelnfc6\levelfollow2{\leveltext\'02\'00:;}\f1}\listid7})"
             R"({\list{\listlevel\levelnfc12\levelfollow2{\leveltext\'02\'00.;}}\listid8}})"
             R"({\*\listoverridetable{\listoverride\listid5\ls1}{\listoverride\listid6\ls2})"
             R"({\listoverride\listid7\ls3}{\listoverride\listid8\ls4}})"
             R"(\pard\ls1 a\par\pard\ls1 b\par\pard\ls1 c\par\pard\ls1 d\par\pard\ls1 e\par\pard\ls1 f\par)"
             R"(\pard\ls1 g\par\pard\ls1 h\par\pard\ls1 i\par\pard\ls1 j\par\pard\ls1 k\par)"
             R"(\pard\ls2 x\par\pard\ls2 y\par\pard\ls3 z\par\pard\ls4 q\par\pard\par})");
    struct : DisplaySink {
        std::vector<std::string> numbers;
        std::vector<std::pair<int, int>> looks; // font, size
        void Show(const DisplayRun& r) override {
            if (r.kind != DisplayRun::Kind::FieldText) return;
            numbers.push_back(U8(std::u32string(r.text)));
            looks.emplace_back(r.font, r.size);
        }
    } rec;
    WalkDisplay(*w.doc, w.doc->MainStory(), 0, static_cast<long>(w.doc->MainStory().size()), false, rec);
    ASSERT_EQ(rec.numbers.size(), 15u);
    EXPECT_EQ(rec.numbers[0], "\xE4\xB8\x80\xE3\x80\x81");                 // 一、
    EXPECT_EQ(rec.numbers[9], "\xE5\x8D\x81\xE3\x80\x81");                 // 十、
    EXPECT_EQ(rec.numbers[10], "\xE5\x8D\x81\xE4\xB8\x80\xE3\x80\x81");    // 十一、
    EXPECT_EQ(rec.numbers[11], "\xD7\x90. ");                              // א.
    EXPECT_EQ(rec.numbers[12], "\xD7\x91. ");                              // ב.
    EXPECT_EQ(rec.numbers[13], "One:");
    EXPECT_EQ(rec.numbers[14], "1.");
    EXPECT_EQ(rec.looks[0], std::pair(-1, 40));
    EXPECT_EQ(rec.looks[13], std::pair(1, 0));
    EXPECT_EQ(rec.looks[11], std::pair(-1, 0));
}

TEST(DisplayWalk, SymbolWordsFirstListNamesAndNaryOperandsShowAsTheyPrint) {
    // A word that stands for a character is text even as the body's first.
    for (const auto& [rtf, shown] : std::vector<std::pair<std::string, std::string>>{
             {R"({\rtf1\ansi\emdash dash\par})", "\xE2\x80\x94" "dash"},
             {R"({\rtf1\ansi\bullet  b\par})", "\xE2\x80\xA2" " b"},
             {R"({\rtf1\ansi\lquote q\par})", "\xE2\x80\x98" "q"},
             {R"({\rtf1\ansi\chpgn  p\par})", "1 p"},
             // A list's name outside the list table shows nothing.
             {R"({\rtf1\ansi\pard a{\listname ;}b\par})", "ab"},
             // A sum's operand of more than one thing in brackets.
             {R"({\rtf1\ansi\pard {\mmath{\mnary{\mnaryPr{\mchr \u8721?}}{\msub{\mr i}}{\msup{\mr n}}{\me{\mr a+b}}}}\par})",
              "\xE2\x88\x91_i^n(a+b)"},
         }) {
        Walked w(rtf);
        std::string text;
        for (const Shown& r : w.rec.runs) text += r.text;
        EXPECT_EQ(text, shown) << rtf;
    }
}

TEST(DisplayWalk, AGroupReadAsAStoryKeepsItsFormatsAndLeavesTheDocumentAsItWas) {
    Walked w(R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\margl1000\pard a\par})");
    const std::string preamble = w.doc->preamble;
    const Story note = GroupStory(*w.doc, R"({\footnote\pard\plain\fs96 {\b M}\margl99\par\qc x})", 0);
    EXPECT_EQ(w.doc->preamble, preamble);
    ASSERT_EQ(note.size(), 4u); // M, its mark, x, its mark
    EXPECT_TRUE(w.doc->Format(note[0].fmt).bold);
    EXPECT_EQ(w.doc->Format(note[0].fmt).size, 96);
    EXPECT_FALSE(w.doc->Format(note[2].fmt).bold);
    EXPECT_EQ(note[3].Kind(), AtomKind::ParaEnd);
    EXPECT_EQ(w.doc->ParaEnd(note[3].value).format.alignment, Alignment::Center);
}
