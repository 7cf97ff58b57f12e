#include "production/RunTime.h"

#include "TestFiles.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <random>

using namespace qz;
using namespace qz::production;

namespace {

std::string plain(std::u16string_view v, bool blank = false, std::string_view font = "") {
    return RunTime::FormatExp(v, blank, font, false);
}

// The value escapes as a chain of whole-string replacements, the form the
// one-pass writer must agree with.
std::u16string replaceAll(std::u16string s, std::u16string_view from, std::u16string_view to) {
    std::u16string r;
    std::size_t last = 0;
    for (std::size_t p = s.find(from); p != std::u16string::npos; p = s.find(from, last)) {
        r.append(s, last, p - last);
        r.append(to);
        last = p + from.size();
    }
    r.append(s, last, std::u16string::npos);
    return r;
}

std::u16string referenceEscape(std::u16string s, bool blank) {
    if (blank) s = replaceAll(s, u" ", u"\\~");
    s = replaceAll(s, u"\\{", u"_QzOpenBrace");
    s = replaceAll(s, u"\\}", u"_QzCloseBrace");
    s = replaceAll(s, u"\\~", u"_QzBlankProtect");
    s = replaceAll(s, u"\\", u"\\\\");
    s = replaceAll(s, u"{", u"\\{");
    s = replaceAll(s, u"}", u"\\}");
    s = replaceAll(s, u"_QzOpenBrace", u"\\{");
    s = replaceAll(s, u"_QzCloseBrace", u"\\}");
    s = replaceAll(s, u"_QzBlankProtect", u"\\~");
    s = replaceAll(s, u"\r\n", u"\\par ");
    s = replaceAll(s, u"\n", u"\\par ");
    return u"{" + s + u"}";
}

} // namespace

TEST(RunTimeEscapes, PlainValues) {
    EXPECT_EQ(plain(u"a{b}c"), "{a\\{b\\}c}");
    EXPECT_EQ(plain(u"a{b}c", false, " \\f1 "), "{\\f1 a\\{b\\}c}");
    EXPECT_EQ(plain(u"x\\{y"), "{x\\{y}");
    EXPECT_EQ(plain(u"C:\\temp"), "{C:\\\\temp}");
    EXPECT_EQ(plain(u"1 000", true), "{1\\~000}");
    EXPECT_EQ(plain(u"a\\~b c", true), "{a\\~b\\~c}");
    EXPECT_EQ(plain(u"a\\~b c", false), "{a\\~b c}");
    EXPECT_EQ(plain(u"one\r\ntwo"), "{one\\par two}");
    // A line break of a value read from a file or database of this system
    // (LF alone) breaks the line too, where an RTF reader would drop it.
    EXPECT_EQ(plain(u"one\ntwo\r\n\nthree"), "{one\\par two\\par \\par three}");
    EXPECT_EQ(plain(u""), "{}");
    EXPECT_EQ(plain(u"x_QzOpenBrace_QzCloseBrace_QzBlankProtect"), "{x\\{\\}\\~}");
    // Every character outside ASCII is a Unicode escape: a byte would be read
    // in the code page of the template and its font (Cyrillic in a Russian
    // template), which need not be Windows-1252.
    EXPECT_EQ(plain(u"caf\u00e9 \u20ac"), "{caf\\u233? \\u8364?}");
    EXPECT_EQ(plain(u"\u0141\u00f3d\u017a \u65e5"), "{\\u321?\\u243?d\\u378? \\u26085?}");
    EXPECT_EQ(plain(u"\ufb01"), "{\\u-1279?}");
    EXPECT_EQ(plain(u"\U0001F600"), "{\\u-10179?\\u-8704?}");
}

TEST(RunTimeEscapes, RtfValues) {
    EXPECT_EQ(RunTime::FormatExp(u"\\\\b bold\\\\b0", false, "", true), "{\\b bold\\b0}");
    EXPECT_EQ(RunTime::FormatExp(u"\\{x\\}\r\ny", true, "\\f2", true), "{\\f2 {x}\r\ny}");
    EXPECT_EQ(RunTime::FormatExp(u"\\\\\\{", false, "", true), "{\\{}");
}

TEST(RunTimeEscapes, OnePassAgreesWithTheReplacementChain) {
    std::mt19937 rng(11);
    const std::u16string alphabet[] = {u"\\", u"{", u"}", u"~", u" ", u"\r", u"\n", u"a",
                                       u"_QzOpenBrace", u"_QzCloseBrace", u"_QzBlankProtect", u"_Qz"};
    for (int i = 0; i < 3000; ++i) {
        std::u16string s;
        const int n = static_cast<int>(rng() % 30); // long enough to be copied in runs of 8 units too
        for (int k = 0; k < n; ++k) s += alphabet[rng() % std::size(alphabet)];
        const bool blank = rng() % 2;
        EXPECT_EQ(plain(s, blank), toUtf8(referenceEscape(s, blank))) << toUtf8(s) << " " << blank;
    }
}

// Long values are escaped in pieces: escapes that straddle a piece's end, and
// characters written as \uN?, come out as each token of the value alone does
// (no token's escape depends on its neighbours).
TEST(RunTimeEscapes, LongValuesAcrossPieces) {
    std::mt19937 rng(5);
    const std::u16string tokens[] = {u"a", u"\\{", u"\r\n", u"_QzBlankProtect", u"\u00e9", u"\u4e2d", u"\U0001F600", u" "};
    auto alone = [](std::u16string_view t) { const std::string g = plain(t, true); return g.substr(1, g.size() - 2); };
    for (int i = 0; i < 20; ++i) {
        std::u16string s(4096 - 20 + rng() % 30, u'x');
        std::string expected = "{" + std::string(s.size(), 'x');
        while (s.size() < 9000) {
            const std::u16string& t = tokens[rng() % std::size(tokens)];
            s += t;
            expected += alone(t);
        }
        EXPECT_EQ(plain(s, true), expected + "}");
    }
}

TEST(RunTimeOutput, WritesRunsAndValuesLineByLine) {
    test::TempDir dir;
    const std::string out = dir.write("out.rtf", "old content that must go away");
    Ref<RunTime> rt = makeRef<RunTime>();
    rt->RtfCollection(std::make_shared<RtfRuns>(RtfRuns{"{\\rtf1 ", "\\par }"}));
    rt->OutputFile(out);
    rt->OpenOutputFile();
    rt->PrintRtf(0);
    rt->PrintExp(Variant::fromUtf8("a b"), true, "\\f1 ", false);
    rt->PrintExp(Variant::null(), false, "", false);
    rt->PrintExp(Variant(static_cast<std::int32_t>(42)), false, "", false);
    rt->PrintRtf(1);

    // Failures reach the caller; what was written so far stays.
    auto number = [](auto&& f) {
        try { f(); } catch (const AutomationError& e) { return e.Number; }
        return 0;
    };
    EXPECT_EQ(number([&] { rt->PrintRtf(2); }), 9);
    EXPECT_EQ(number([&] { rt->PrintRtf(-1); }), 9);
    rt->CloseOutputFile();
    EXPECT_EQ(test::readFile(out), "{\\rtf1 \r\n{\\f1 a\\~b}\r\n{}\r\n{42}\r\n\\par }\r\n");

    EXPECT_EQ(number([&] { rt->PrintRtf(0); }), 52);  // the file is closed
    rt->OutputFile(dir.path() + "/no/such/folder/out.rtf");
    EXPECT_EQ(number([&] { rt->OpenOutputFile(); }), 76);
}

TEST(RunTimeOutput, ScriptFaceByMemberName) {
    test::TempDir dir;
    Ref<RunTime> rt = makeRef<RunTime>();
    rt->RtfCollection(std::make_shared<RtfRuns>(RtfRuns{"r0", "r1"}));
    rt->OutputFile(dir.file("o.rtf"));
    rt->OpenOutputFile();
    Variant idx(static_cast<std::int32_t>(1));
    rt->invokeByName(u"printRTF", kInvokeMethod, std::span<Variant>(&idx, 1));
    Variant args[] = {Variant::fromUtf8("x}"), Variant::fromUtf8("-1"), Variant::fromUtf8("\\b "),
                      Variant(static_cast<std::int32_t>(0))};
    rt->invokeByName(u"PrintExp", kInvokeMethod, args);
    rt->CloseOutputFile();
    EXPECT_EQ(test::readFile(dir.file("o.rtf")), "r1\r\n{\\b x\\}}\r\n");

    Ref<QZObject> o = makeRef<QZObject>();
    o->Value(Variant::fromUtf8("v"));
    EXPECT_EQ(o->invoke(kDispidValue, kInvokePropertyGet, {}).toUtf8(), "v");
    EXPECT_EQ(o->invokeByName(u"value", kInvokePropertyGet, {}).toUtf8(), "v");
}

// A long run through the script face: more fonts than the run time keeps
// converted (the same text objects passed again, and equal texts made anew),
// a font outside ASCII, values longer than a piece, and output past several
// flushes of the buffer, all in order.
TEST(RunTimeOutput, ManyFontsAndLinesThroughTheScriptFace) {
    test::TempDir dir;
    Ref<RunTime> rt = makeRef<RunTime>();
    rt->RtfCollection(std::make_shared<RtfRuns>(RtfRuns{"\\row"}));
    rt->OutputFile(dir.file("o.rtf"));
    rt->OpenOutputFile();
    std::vector<Variant> fonts;
    for (int k = 0; k < 11; ++k) fonts.push_back(Variant::fromUtf8(" \\f" + std::to_string(k) + "\\fs20 "));
    fonts.push_back(Variant::fromUtf8("\\f1 \xC3\xA9")); // é: Windows-1252 byte E9
    std::string expected;
    for (int i = 0; i < 6000; ++i) {
        const std::size_t k = (i * 7) % fonts.size();
        const Variant font = i % 5 == 0 ? Variant::fromUtf8(fonts[k].toUtf8()) : fonts[k];
        const std::string text = i % 1000 == 0 ? std::string(5000, 'x') : "a{" + std::to_string(i);
        Variant args[] = {Variant::fromUtf8(text), Variant(false), font, Variant(false)};
        rt->invokeByName(u"PrintExp", kInvokeMethod, args);
        const std::string f = k == 11 ? "\\f1 \xE9" : "\\f" + std::to_string(k) + "\\fs20";
        expected += "{" + f + " " + (text[0] == 'x' ? text : "a\\{" + std::to_string(i)) + "}\r\n";
        if (i % 3 == 0) {
            rt->PrintRtf(0);
            expected += "\\row\r\n";
        }
    }
    rt->CloseOutputFile();
    EXPECT_EQ(test::readFile(dir.file("o.rtf")), expected);
}
