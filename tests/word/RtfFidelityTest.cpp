// What word processors write reaches the model and comes out again as it
// was: text, structure and code pages of real documents' constructions.
#include "platform/automation/Text.h"
#include "platform/word/Application.h"
#include "platform/word/Formats.h"
#include "platform/word/RtfLexer.h"

#include <gtest/gtest.h>

using namespace qz::word;
namespace rtf = qz::rtf;

namespace {

struct Loaded {
    Application app;
    Document* doc;
    explicit Loaded(std::string_view rtf) {
        doc = &app.GetDocuments().Add();
        doc->LoadRtfText(rtf);
    }
    std::string Text() { return doc->Content().Text(); }
};

// Loads, saves, loads the saved copy; the copy's text must be the
// original's and a second save the first.
std::string RoundTrip(std::string_view rtf, std::string* text = nullptr) {
    Loaded a(rtf);
    std::string saved = a.doc->ToRtf();
    Loaded b(saved);
    EXPECT_EQ(b.Text(), a.Text());
    EXPECT_EQ(b.doc->ToRtf(), saved);
    if (text) *text = a.Text();
    return saved;
}

} // namespace

TEST(RtfFidelity, GroupsAfterTheLastParagraphMarkMakeNoParagraph) {
    const char* rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Times;}}"
                      "\\pard\\ls1 {one\\par }\\pard\\ls1 {two{\\*\\bkmkstart End}\\par }{\\*\\bkmkend End}"
                      "{\\*\\themedata 504b03}{\\*\\latentstyles\\lsdstimax376{\\lsdlockedexcept Normal;}}"
                      "{\\*\\datastore 0105}}";
    std::string text;
    std::string saved = RoundTrip(rtf, &text);
    EXPECT_EQ(text, "one\rtwo\xEF\xBF\xBC");
    // The groups follow the last mark, with no paragraph (and no list number) of their own.
    std::size_t last = saved.rfind("\\par ");
    EXPECT_EQ(saved.substr(last), "\\par {\\*\\bkmkend End}{\\*\\themedata 504b03}"
                                  "{\\*\\latentstyles\\lsdstimax376{\\lsdlockedexcept Normal;}}{\\*\\datastore 0105}}");

    // A final section break ends the document: no empty section or paragraph after it.
    Loaded s("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\sectd\\sbknone\\pard one\\par two\\sect }");
    EXPECT_EQ(s.Text(), "one\rtwo");
    EXPECT_EQ(s.doc->SectionCount(), 1);
    std::string out = s.doc->ToRtf();
    EXPECT_EQ(out.substr(out.size() - 7), "\\sect }");
    RoundTrip(out);
    // In a header they join its last paragraph.
    Loaded h("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}{\\header \\pard Head\\par {\\*\\bkmkend H}}\\pard Body\\par}");
    EXPECT_EQ(h.doc->Sections(1).Headers(kHeaderFooterPrimary).GetRange().Text(), "Head\xEF\xBF\xBC");
    RoundTrip(h.doc->ToRtf());
    // A break followed by the next section's properties starts that (empty) section.
    Loaded t("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard one\\par \\sect\\sectd\\sbknone\\cols2}");
    EXPECT_EQ(t.doc->SectionCount(), 2);
    EXPECT_EQ(t.Text(), "one\r\f");
}

TEST(RtfFidelity, CodePagesAreReadAndDeclaredAsTheDocumentHasThem) {
    // Kept groups hold bytes of the document's code page: the copy declares it.
    std::string text;
    std::string saved = RoundTrip("{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fcharset204 Arial Cyr;}{\\f1\\fcharset0 Arial;}}"
                                  "\\pard\\f0 \\'cf\\'f0{\\field{\\*\\fldinst TITLE}{\\fldrslt \\'cf\\'e8\\'f1}} {\\f1 caf\\'e9}\\par}",
                                  &text);
    EXPECT_NE(saved.find("{\\rtf1\\ansi\\ansicpg1251"), std::string::npos);
    EXPECT_NE(saved.find("{\\fldrslt \\'cf\\'e8\\'f1}"), std::string::npos);
    EXPECT_EQ(text, "\xD0\x9F\xD1\x80\x13TITLE\x15 caf\xC3\xA9"); // "Пр", the field, "café" of an ANSI font

    // Mac and DOS documents.
    RoundTrip("{\\rtf1\\mac\\deff0{\\fonttbl{\\f0 Times;}}\\pard Caf\\'8e \\'d2q\\'d3\\par}", &text);
    EXPECT_EQ(text, "Caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D");
    EXPECT_NE(Loaded("{\\rtf1\\mac{\\fonttbl{\\f0 Times;}}x\\par}").doc->ToRtf().find("{\\rtf1\\mac\\ansicpg10000"), std::string::npos);
    RoundTrip("{\\rtf1\\pc\\deff0{\\fonttbl{\\f0 Courier;}}\\pard Caf\\'82 \\'9c\\par}", &text);
    EXPECT_EQ(text, "Caf\xC3\xA9 \xC2\xA3");
    RoundTrip("{\\rtf1\\pca\\deff0{\\fonttbl{\\f0 Courier;}}\\pard \\'81ber \\'9d\\par}", &text);
    EXPECT_EQ(text, "\xC3\xBC" "ber \xC3\x98");

    // Raw double-byte text whose second byte is "\", "{" or "}".
    RoundTrip("{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fcharset128 Mincho;}}\\pard\\f0 "
              "\x83\x5c\x83\x7b\x83\x7d\x95\x5c\\'83\\'5c end\\par}", &text);
    EXPECT_EQ(text, "\xE3\x82\xBD\xE3\x83\x9C\xE3\x83\x9E\xE8\xA1\xA8\xE3\x82\xBD end"); // ソボマ表ソ
    // Also in a kept group (a field's result): the group ends at its own brace.
    saved = RoundTrip("{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fcharset128 Mincho;}}\\pard\\f0 "
                                  "{\\field{\\*\\fldinst TITLE}{\\fldrslt \x83\x7d\x83\x5c}} after\\par}",
                                  &text);
    EXPECT_EQ(text, "\x13TITLE\x15 after");
    EXPECT_NE(saved.find("{\\fldrslt \x83\x7d\x83\x5c}}"), std::string::npos);

    // A field's instruction is Windows-1252 whatever its font, as the template
    // reader reads it: the section sign stays the separator \'a7.
    saved = RoundTrip("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Times;}{\\f1\\fcharset128 Mincho;}{\\f2\\fcharset222 Tahoma;}}"
                      "\\pard{\\field{\\*\\fldinst {\\f1 SET x a\\'a7b}{\\f2 \\'a7c}}{\\fldrslt }}{\\f2 \\'a7}\\par}",
                      &text);
    EXPECT_EQ(text, "\x13SET x a\xC2\xA7" "b\xC2\xA7" "c\x15\xE0\xB8\x87"); // the last one is Thai text
    EXPECT_NE(saved.find("SET x a\\'a7b"), std::string::npos);
    EXPECT_NE(saved.find("\\'a7c"), std::string::npos);

    // Text in a font of another character set keeps its characters.
    RoundTrip("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Times;}{\\f1\\fcharset204 Times Cyr;}}"
              "\\pard{\\f1 caf\\u233\\'3f \\'e9}\\par}", &text);
    EXPECT_EQ(text, "caf\xC3\xA9 \xD0\xB9");
}

TEST(RtfFidelity, EscapedLineBreaksEndParagraphs) {
    std::string text;
    RoundTrip("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard one\\'0dtwo\\'0athree\\'0d\\'0afour\r\nfive\\par}", &text);
    EXPECT_EQ(text, "one\rtwo\rthree\r\rfourfive");
}

TEST(RtfFidelity, ShapesBeforeAFramedParagraphStayOutsideTheFrame) {
    const char* rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard\\ql Body\\par "
                      "\\pard\\plain\\ql {{\\shp{\\*\\shpinst\\shpleft0{\\sp{\\sn shapeType}{\\sv 1}}}}{\\shp{\\*\\shpinst\\shpleft9}}}"
                      "\\pard\\plain\\ql\\posx1440\\posy200\\absw3000 Framed\\par \\pard\\ql After\\par}";
    std::string saved = RoundTrip(rtf);
    // The shapes are written under the properties they stood under, the frame's
    // text under the frame's: a reader sees two paragraphs, as in the original.
    std::size_t shapes = saved.find("{\\shp{");
    ASSERT_NE(shapes, std::string::npos);
    std::size_t pard = saved.rfind("\\pard", shapes);
    EXPECT_EQ(saved.substr(pard, shapes - pard), "\\pard\\plain\\ql ");
    std::size_t framed = saved.find("Framed");
    std::size_t framePard = saved.rfind("\\pard", framed);
    EXPECT_GT(framePard, shapes);
    EXPECT_NE(saved.substr(framePard, framed - framePard).find("\\posx1440\\posy200\\absw3000"), std::string::npos);
}

TEST(RtfFidelity, APictureOrShapeFirstInTheBodyStaysInTheBody) {
    for (const char* first : {"{\\*\\shppict{\\pict\\pngblip 89504e47}}{\\nonshppict{\\pict\\wmetafile8 0100}}",
                              "{\\shp{\\*\\shpinst\\shpleft0}}", "{\\*\\bkmkstart Top}"}) {
        SCOPED_TRACE(first);
        std::string text;
        std::string saved = RoundTrip(std::string("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}{\\*\\generator Writer;}") + first +
                                          "\\par Caption\\par}",
                                      &text);
        EXPECT_EQ(text.rfind("\xEF\xBF\xBC", 0), 0u); // the picture is the first content
        EXPECT_GT(saved.find(first), saved.find("\\pard"));
    }
}

TEST(RtfFidelity, NumberingFieldTailsFootnoteMarksAndUnnamedFontsAreKept) {
    // Old-style numbering is a property of every paragraph up to the next \pard.
    std::string text;
    std::string saved = RoundTrip("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard{\\*\\pn \\pnlvlbody\\pndec{\\pntxta .}}\\fi-360\\li720 "
                                  "{\\pntext 1.\\tab}A\\par {\\pntext 2.\\tab}B\\par \\pard C\\par}",
                                  &text);
    std::size_t pn = 0, count = 0;
    while ((pn = saved.find("{\\*\\pn \\pnlvlbody", pn)) != std::string::npos) ++count, ++pn;
    EXPECT_EQ(count, 2u);
    EXPECT_NE(saved.find("{\\*\\pn \\pnlvlbody\\pndec{\\pntxta .}}\\fi-360\\li720 "), std::string::npos);

    // Text after a field's result, inside the field's group, follows the field.
    RoundTrip("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard Page {\\field{\\*\\fldinst PAGE}{\\fldrslt 1} of the text} end\\par}", &text);
    EXPECT_EQ(text, "Page \x13PAGE\x15 of the text end");

    // A footnote's mark stays in the group that makes it superscript, with the note.
    saved = RoundTrip("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard x{\\super \\chftn{\\*\\footnote \\pard {\\super \\chftn} note}}y\\par}");
    std::size_t mark = saved.find("\\chftn");
    ASSERT_NE(mark, std::string::npos);
    std::string group = saved.substr(saved.rfind('{', mark));
    EXPECT_EQ(group.rfind("{\\cf0\\super \\chftn {\\*\\footnote", 0), 0u) << group;

    // Runs that name no font or size are written without one.
    saved = RoundTrip("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times;}{\\f1 Arial;}}{\\stylesheet{\\f1\\fs20 Normal;}}\\pard plain {\\f1 named}\\par}");
    EXPECT_NE(saved.find("{\\cf0 plain }"), std::string::npos);
    EXPECT_NE(saved.find("{\\f1\\cf0 named}"), std::string::npos);
}

TEST(RtfFidelity, LongParametersAndMalformedEscapesLeaveNoTextBehind) {
    std::string text;
    RoundTrip("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard a\\fs1234567890123 b\\li-99999999999999 c"
              "\\u233\\'3?d \\'4x e\\par}",
              &text);
    EXPECT_EQ(text, "abc\xC3\xA9" "d  e");
    // \uN outside 16 bits, and a surrogate left alone, are U+FFFD (no character beyond Unicode).
    RoundTrip("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard a\\u3617999?b\\u-10179?c\\u-8704?\\u-10179?\\u-8704?\\par}", &text);
    EXPECT_EQ(text, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c\xEF\xBF\xBD\xF0\x9F\x98\x80");
    // A negative font number names no font: its text saves as the text before it.
    RoundTrip("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard a\\f-8 b\\par}", &text);
    EXPECT_EQ(text, "ab");
    // A border word after a kept group follows no row word: the paragraph's, also when saved after the row's.
    RoundTrip("{\\rtf\x05{\\pn}\\brdr\\cl\\row");
}

// One decoder reads text for the reader and for a field's kept result: code
// pages (\ansicpg, a font's charset, double-byte), \uN with its \uc fallback
// and its surrogates, escaped bytes, the symbols and words that are characters.
TEST(RtfFidelity, TheReaderAndAFieldResultDecodeTextAlike) {
    const std::string head = "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0 Times;}{\\f1\\fcharset161 Greek;}"
                             "{\\f2\\fcharset134 SimSun;}}\\pard ";
    const struct {
        const char* run;
        const char* text;
    } cases[] = {
        {"\\'e0\\'e1 x", "\xD0\xB0\xD0\xB1 x"},                     // the document's code page
        {"{\\f1 \\'e1}", "\xCE\xB1"},                                 // a Greek font's byte
        {"{\\f2 \\'d6\\'d0}", "\xE4\xB8\xAD"},                         // a double-byte pair
        {"\\uc2\\u25991\\'ce\\'c4!", "\xE6\x96\x87!"},                 // two fallback bytes skipped
        {"{\\uc0\\u233}\\u233?", "\xC3\xA9\xC3\xA9"},                   // \uc lasts to its group's end
        {"\\u-10179?\\u-8704?", "\xF0\x9F\x98\x80"},                    // a surrogate pair
        {"a\\u-10179?\\u65?b", "a\xEF\xBF\xBD" "Ab"},                  // a high surrogate alone: one U+FFFD
        {"x\\~y\\_z\\emdash", "x\xC2\xA0y\xE2\x80\x91z\xE2\x80\x94"},
    };
    for (const auto& c : cases) {
        Loaded a(head + c.run + "\\par}");
        EXPECT_EQ(a.Text(), c.text) << c.run;
        std::string result;
        for (char32_t ch : FieldResultText(*a.doc, c.run, 0)) qz::appendUtf8(result, ch);
        EXPECT_EQ(result, c.text) << c.run;
    }
}

// The tokenizer both RTF readers share.
// A font entry's \ucN says how its own name was written, not how the saved
// name is: the name reads back whole, whatever N the entry stated.
TEST(RtfFidelity, AFontsUcDoesNotCutItsSavedName) {
    for (const char* entry : {R"({\f1\uc2\u25991\'ce\'c4Song;})", "{\\f1 \\u25991?Song\\uc;}"}) {
        SCOPED_TRACE(entry);
        const std::string saved = RoundTrip(std::string(R"({\rtf1\ansi{\fonttbl)") + entry + R"(}\pard x\par})");
        EXPECT_EQ(Loaded(saved).doc->FontByNumber(1)->name, "\xE6\x96\x87Song");
    }
}

TEST(RtfLexer, CutsGroupsWordsSymbolsAndBytes) {
    const std::string_view src = "{\\b\\fs-24 x\\'e9\\\\\\{\r\n\\~\\'4x\\\r\n\\li99999999999999\\";
    rtf::Lexer lex(src);
    std::string seen;
    for (rtf::Token t = lex.Next(); t.type != rtf::Token::End; t = lex.Next()) {
        switch (t.type) {
        case rtf::Token::Open: seen += "{ "; break;
        case rtf::Token::Close: seen += "} "; break;
        case rtf::Token::Word:
            seen += std::string(t.name) + (t.hasParam ? "=" + std::to_string(t.param) : "") + " ";
            break;
        case rtf::Token::Symbol: seen += "sym" + std::string(t.name) + " "; break;
        case rtf::Token::Byte: seen += (t.escaped ? "esc" : "byte") + std::to_string(t.byte) + " "; break;
        case rtf::Token::BadEscape: seen += "bad[" + std::string(t.start, t.end) + "] "; break;
        default: break;
        }
    }
    EXPECT_EQ(seen, "{ b fs=-24 byte120 esc233 byte92 byte123 sym~ bad[\\'4x] par li=2147483647 ");
}

TEST(RtfFidelity, EmptyHeadersAndLateDocumentPropertiesAreKept) {
    // A header of one empty paragraph is still a header (it takes its space on the page).
    std::string saved = RoundTrip("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\sectd\\titlepg{\\headerf \\pard\\par}\\pard Body\\par}");
    EXPECT_NE(saved.find("{\\headerf "), std::string::npos);
    // Note and page properties stated after the first section's are the document's, not the text's.
    saved = RoundTrip("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\sectd\\sbknone\\ftnbj\\aenddoc\\aftnnar\\pard Body\\par}");
    EXPECT_LT(saved.find("\\ftnbj\\aenddoc\\aftnnar"), saved.find("\\sectd"));
    EXPECT_EQ(saved.find("\\aenddoc", saved.find("\\sectd")), std::string::npos);
}

// A paragraph mark keeps its own character format: an empty paragraph's
// height is its mark's, so a blank line in a small font stays small.
TEST(RtfFidelity, AParagraphMarkKeepsItsCharacterFormat) {
    const char* rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Times;}{\\f2 Arial;}}"
                      "\\pard\\plain\\f2\\fs20 \\par\\pard\\plain {\\f2\\fs20 one}\\par\\pard\\plain\\b two\\par\\pard\\plain end\\par }";
    const std::string saved = RoundTrip(rtf);
    Loaded b(saved);
    const Story& s = *b.doc->Content().GetStory();
    ASSERT_EQ(b.Text(), "\rone\rtwo\rend");
    auto mark = [&](std::size_t i) { return b.doc->Format(s[i].fmt); };
    EXPECT_EQ(mark(0).font, 2);
    EXPECT_EQ(mark(0).size, 20);
    EXPECT_FALSE(mark(0).bold);
    EXPECT_EQ(mark(4), CharFormat{});  // the plain format: the run's group closed before it
    EXPECT_TRUE(mark(8).bold);
    EXPECT_NE(saved.find("{\\f2\\fs20\\cf0 one}\\par "), std::string::npos) << saved;
    EXPECT_NE(saved.find("\\pard\\plain \\f2\\fs20\\cf0\\par "), std::string::npos) << saved;
    // The story's last mark too, which the model keeps apart.
    const std::string last = RoundTrip("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times;}{\\f2 Arial;}}"
                                       "\\pard one\\par\\pard\\plain\\f2\\fs16 \\par }");
    EXPECT_EQ(last.substr(last.size() - 18), "\\f2\\fs16\\cf0\\par }") << last;
}

// Text typed into an empty header takes the format its paragraph mark
// states, else the document's default character format: the default
// character properties under the Normal style, as a word processor gives it.
TEST(RtfFidelity, TextTypedIntoAnEmptyHeaderTakesTheParagraphsOrTheDocumentsFormat) {
    auto typedInHeader = [](const std::string& head, const std::string& header = {}) {
        Loaded d("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Times;}{\\f2 Arial;}{\\f3 Verdana;}}" + head +
                 header + "\\pard\\plain\\f3 body\\par }");
        HeaderFooter& hf = d.doc->Sections(1).Headers(kHeaderFooterPrimary);
        hf.GetRange().Select();
        d.doc->GetSelection().TypeText("Head");
        const CharFormat f = d.doc->Format(hf.story[0].fmt);
        return std::to_string(f.font) + "/" + std::to_string(f.size) + (f.bold ? "b" : "") + (f.italic ? "i" : "");
    };
    EXPECT_EQ(typedInHeader(""), "-1/0");  // the plain format: the default font at its default size
    EXPECT_EQ(typedInHeader("{\\*\\defchp \\f2\\fs22\\i}"), "2/22i");
    // Normal: numbered 0 or not at all; its words stand on the defaults.
    EXPECT_EQ(typedInHeader("{\\*\\defchp \\fs22}{\\stylesheet{\\s1\\f3\\fs40 Heading;}{\\s0\\loch\\f2\\b Normal;}}"),
              "2/22b");
    EXPECT_EQ(typedInHeader("{\\stylesheet{\\cs10\\f3 Default Paragraph Font;}{\\ql\\f2\\fs18 Normal;}}"), "2/18");
    EXPECT_EQ(typedInHeader("{\\stylesheet{\\s0\\f9\\fs18 Normal;}}"), "-1/18");  // a font the table lacks
    // An empty header's paragraph states its own format; it is written back.
    EXPECT_EQ(typedInHeader("{\\stylesheet{\\s0\\f3 Normal;}}", "{\\header\\pard\\plain\\f2\\fs20\\b \\par}"), "2/20b");
    Loaded e("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times;}{\\f2 Arial;}}{\\header\\pard\\plain\\f2\\fs20 \\par}"
             "\\pard body\\par }");
    const std::string saved = e.doc->ToRtf();
    EXPECT_NE(saved.find("{\\header \r\n\\pard\\plain \\f2\\fs20\\cf0\\par }"), std::string::npos) << saved;
    EXPECT_EQ(Loaded(saved).doc->ToRtf(), saved);
}
