// What word processors write reaches the model and comes out again as it
// was: text, structure and code pages of real documents' constructions.
#include "platform/word/Application.h"

#include <gtest/gtest.h>

using namespace qz::word;

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
}
