#include "production/RtfInterpreter.h"
#include "platform/automation/AutomationError.h"
#include "platform/word/Application.h"
#include "platform/word/Document.h"
#include "platform/word/Range.h"

#include "TemplateRtf.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>

using namespace qz;
using namespace qz::production;
using qz::test::expressionField;
using qz::test::rtfDocument;
using qz::test::statementField;

namespace {

// The error log of the central handler goes to a folder of the test run, not
// to the user's application data.
class LogFolder : public ::testing::Environment {
public:
    void SetUp() override { setenv("XDG_DATA_HOME", dir_.path().c_str(), 1); }
private:
    test::TempDir dir_;
};
[[maybe_unused]] ::testing::Environment* const kLogFolder =
    ::testing::AddGlobalTestEnvironment(new LogFolder);

std::int32_t ownError(std::int32_t id) { return kOwnErrorBase + id; }

// The number of the error that f raises, 0 when it raises none.
template <class F>
std::int32_t errorOf(F&& f) {
    try {
        f();
    } catch (const AutomationError& e) {
        return e.Number;
    }
    return 0;
}

RtfInterpreter parse(std::string_view text) {
    RtfInterpreter r;
    r.ExtractRTFAndQzFields(text);
    return r;
}

// Element i rendered as "R<pos>", "S<pos>" or "E<pos>", joined, to compare sequences.
std::string sequence(const RtfInterpreter& r) {
    std::string s;
    for (std::int32_t i = 0; i < r.NbElement(); ++i) {
        s += "RSE"[r.GetElementType(i)];
        s += std::to_string(r.GetElementPosition(i));
        s += ' ';
    }
    return s;
}

} // namespace

TEST(RtfTemplateFile, ChecksTheSignatureAndRemovesCrLfPairsOnly) {
    test::TempDir dir;
    const std::string good = dir.write("good.rtf", "{\\rtf1 a\r\nb\rc\nd}\r\n");
    EXPECT_EQ(RtfInterpreter::ReadAllFile(good), "{\\rtf1 ab\rc\nd}");
    // A pair that ends a control word still ends it; after text, an escaped
    // backslash or a hex escape it only goes.
    const std::string words = dir.write("words.rtf",
        "{\\rtf1\\par\r\nNum:\\fs24\r\n1\\li-360\r\n2\\\\par\r\nx\\'e9\r\ny\\*\r\nz}");
    EXPECT_EQ(RtfInterpreter::ReadAllFile(words),
              "{\\rtf1\\par Num:\\fs24 1\\li-360 2\\\\parx\\'e9y\\*z}");

    EXPECT_EQ(errorOf([&] { RtfInterpreter::ReadAllFile(dir.write("upper.rtf", "{\\RTF1 x}")); }),
              ownError(3003));
    EXPECT_EQ(errorOf([&] { RtfInterpreter::ReadAllFile(dir.write("empty.rtf", "")); }),
              ownError(3003));
    EXPECT_EQ(errorOf([&] { RtfInterpreter::ReadAllFile(dir.write("short.rtf", "{\\rt")); }),
              ownError(3003));
    // What cannot be read as a file is refused, a named pipe without waiting on it.
    const std::string pipe = dir.path() + "/pipe.rtf";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& unreadable : {dir.path() + "/missing.rtf", dir.path(), pipe})
        EXPECT_EQ(errorOf([&] { RtfInterpreter::ReadAllFile(unreadable); }), ownError(3100)) << unreadable;

    RtfInterpreter r;
    r.TemplateFile(dir.write("t.rtf", rtfDocument("Hello " + statementField("L", "x = 1"))));
    r.ParseRtfTemplate();
    EXPECT_EQ(sequence(r), "R0 S0 R1 ");
}

TEST(RtfTemplateSplit, BraceChecks) {
    EXPECT_EQ(errorOf([] { parse("{\\rtf1 {x}"); }), ownError(3112));
    EXPECT_EQ(errorOf([] { parse("{\\rtf1 x}}"); }), ownError(3112));
    EXPECT_EQ(errorOf([] { parse("no braces at all"); }), ownError(3112));
    // Escaped braces are not counted.
    EXPECT_EQ(errorOf([] { parse("{\\rtf1 \\{ x}"); }), 0);
    // An escaped backslash does not escape the brace after it.
    EXPECT_EQ(errorOf([] { parse("{\\rtf1 C:\\\\{\\b x}\\par}"); }), 0);
    EXPECT_EQ(errorOf([] { parse("{\\rtf1 a\\\\\\{ x}"); }), 0);
    EXPECT_EQ(errorOf([] { parse("{\\rtf1 a\\\\\\{ x}}"); }), ownError(3112));
    // A group that closes before the field word that led to it: the search
    // moves on instead of finding the same word for ever.
    EXPECT_EQ(sequence(parse("{\\rtf1 {}\\field}")), "R0 ");
    // Counts balance but the field group never closes.
    EXPECT_EQ(errorOf([] { parse("{\\rtf1 }}{\\field{x}"); }), ownError(3112));

    // The message says where the imbalance is.
    auto message = [](std::string_view text) {
        try {
            parse(text);
        } catch (const AutomationError& e) {
            return e.Description;
        }
        return std::string();
    };
    EXPECT_EQ(message("{\\rtf1 a}}"), "Unable to interpret the RTF file. Its braces do not balance (opening 1, closing 2; "
                                     "characters counted without line breaks): the closing brace at character "
                                     "10 (\"}\") closes no group.");
    EXPECT_EQ(message("{\\rtf1 {\\b one} {\\i cut"),
              "Unable to interpret the RTF file. Its braces do not balance (opening 3, closing 1; characters "
              "counted without line breaks): the group opened at character 17 (\"{\\i cut\") is never closed.");
    EXPECT_NE(message("{\\rtf1 {\\b x\\par }").find("is never closed; the last brace closes the group opened at "
                                                    "character 8 (\"{\\b x\\par }\")."),
              std::string::npos);
    EXPECT_EQ(message("no braces"), "Unable to interpret the RTF file. The text holds no group.");
}

TEST(RtfTemplateSplit, BraceChecksAtEveryPosition) {
    // Long texts are looked at in pieces: an escape or a stray brace counts
    // the same wherever it falls, on a piece's first or last byte as well.
    for (std::size_t k = 0; k < 140; ++k) {
        const std::string pad(k, 'x');
        EXPECT_EQ(errorOf([&] { parse("{\\rtf1 " + pad + "\\{ x}"); }), 0) << k;
        EXPECT_EQ(errorOf([&] { parse("{\\rtf1 " + pad + "\\\\{ x}"); }), ownError(3112)) << k;
        EXPECT_EQ(errorOf([&] { parse("{" + pad + "}}{"); }), ownError(3112)) << k;
    }
}

TEST(RtfTemplateSplit, TextWithoutFieldsIsOneRun) {
    const std::string text = "{\\rtf1 {\\field{\\*\\fldinst PAGE }{\\fldrslt 1}} page\\par }";
    RtfInterpreter r = parse(text);
    EXPECT_EQ(sequence(r), "R0 ");
    EXPECT_EQ(r.GetRtfCode(0), text);
    EXPECT_EQ(r.NbRtfPureElement(), 1);
}

TEST(RtfTemplateSplit, RunsAndFieldsReproduceTheTextInOrder) {
    const std::string s1 = statementField("Loop", "Do While Not rs.EOF");
    const std::string e1 = expressionField("Name", "rs(\"Name\")", "String;UseDefaultProperties:-1");
    const std::string s2 = statementField("Next", "rs.MoveNext_QZCRLFLoop");
    const std::string page = "{\\field{\\*\\fldinst PAGE }{\\fldrslt 1}}";
    const std::string head = "{\\rtf1\\ansi Before ";
    const std::string mid = " between " + page + " ";
    const std::string tail = " after\\par }";
    RtfInterpreter r = parse(head + s1 + mid + e1 + s2 + tail);

    // Two adjacent fields leave no empty run between them; a page field stays in its run.
    EXPECT_EQ(sequence(r), "R0 S0 R1 E0 S1 R2 ");
    EXPECT_EQ(r.GetRtfCode(0), head);
    EXPECT_EQ(r.GetRtfCode(1), mid);
    EXPECT_EQ(r.GetRtfCode(2), tail);
    EXPECT_EQ(r.GetStatementLabel(0), "Loop");
    EXPECT_EQ(r.GetStatementCode(1), "rs.MoveNext\r\nLoop");
    EXPECT_EQ(r.GetExpressionCode(0), "rs(\"Name\")");

    EXPECT_EQ(errorOf([&] { r.GetRtfCode(3); }), 9);
    EXPECT_EQ(errorOf([&] { r.GetStatementCode(-1); }), 9);
    EXPECT_EQ(errorOf([&] { r.GetElementType(6); }), 9);
}

TEST(RtfTemplateSplit, FieldAtTheVeryEndAndAtTheStart) {
    // A rest of a single character after the last field is still a run.
    const std::string f = statementField("L", "x = 1");
    RtfInterpreter r = parse("{\\rtf1 " + f + "}");
    EXPECT_EQ(sequence(r), "R0 S0 R1 ");
    EXPECT_EQ(r.GetRtfCode(1), "}");
}

TEST(RtfTemplateSplit, ManyElementsKeepTheirPositions) {
    std::string body;
    for (int i = 0; i < 1100; ++i) body += "r" + statementField("L" + std::to_string(i), "x = " + std::to_string(i));
    RtfInterpreter r = parse(rtfDocument(body));
    ASSERT_EQ(r.NbElement(), 2201);
    EXPECT_EQ(r.NbRtfPureElement(), 1101);
    EXPECT_EQ(r.GetElementPosition(2200), 1100);
    EXPECT_EQ(r.GetStatementLabel(1001), "L1001");
    EXPECT_EQ(r.GetStatementCode(1099), "x = 1099");
}

TEST(RtfTemplateSplit, FieldsNestedInAFieldOfTheSystemAreNotElements) {
    // A statement field inside an expression field's result: the group holds
    // both macro names, is read as the expression, and the statement is no element.
    std::string outer = expressionField("Out", "x", "String;UseDefaultProperties:-1");
    const std::string tail = "{\\fldrslt }}";
    outer.replace(outer.rfind(tail), tail.size(),
                  "{\\fldrslt " + statementField("In", "y = 1") + "}}");
    RtfInterpreter r = parse(rtfDocument(outer));
    EXPECT_EQ(sequence(r), "R0 E0 R1 ");
    EXPECT_EQ(r.GetExpressionLabel(0), "Out");
}

TEST(RtfFieldRecords, StatementCodeAndLabel) {
    StatementRecord s = RtfInterpreter::ParseRTFStatementCode(
        statementField("Caf\xe9  {x}", "If a = \"{\\}\" Then_QZCRLF  b = 1_QZCRLFEnd If  "));
    EXPECT_EQ(s.Label, "Caf\xc3\xa9  {x}");  // not trimmed, é decoded to UTF-8
    EXPECT_EQ(s.Code, "If a = \"{\\}\" Then\r\n  b = 1\r\nEnd If");

    // A label split into formatted runs, with a non-breaking space (dropped).
    std::string f = statementField("AB", "x");
    f.replace(f.find("AB"), 2, "{\\b A}\\~{\\i B}");
    EXPECT_EQ(RtfInterpreter::ParseRTFStatementCode(f).Label, "AB");

    // A paragraph mark inside the instruction; bullet text groups are skipped.
    f = statementField("P", "a = 1");
    f.replace(f.find("a = 1"), 5, "a = 1\\par {\\listtext 1.}{\\pntext x}b = 2");
    EXPECT_EQ(RtfInterpreter::ParseRTFStatementCode(f).Code, "a = 1\r\nb = 2");

    // The section sign is a character of the code in either case of its escape.
    f = statementField("P", "s = 1");
    f.replace(f.find("s = 1"), 5, "s = \"\\'A7\\'a7 12\\'e9\"");
    EXPECT_EQ(RtfInterpreter::ParseRTFStatementCode(f).Code, "s = \"\xc2\xa7\xc2\xa7 12\xc3\xa9\"");
}

// Characters outside the code page arrive as \uN control words followed by
// fallback characters; the records hold the characters themselves.
TEST(RtfFieldRecords, UnicodeEscapesInLabelAndCode) {
    auto code = [](std::string escaped) {
        return RtfInterpreter::ParseRTFStatementCode(test::systemField(false, "L", escaped)).Code;
    };
    // Default: one fallback character, a plain one or an escaped one.
    EXPECT_EQ(code("s = \"\\u937?\\u956\\'3f\""), "s = \"\xce\xa9\xce\xbc\"");
    // Negative N counts from 65536; the blank after the word is its delimiter.
    EXPECT_EQ(code("\\u-3978 ?x"), "\xef\x81\xb6x");
    EXPECT_EQ(code("\\u-1279?"), "\xef\xac\x81");  // U+FB01
    // \uc0: no fallback; \uc2: two, whatever form they take.
    EXPECT_EQ(code("\\uc0\\u1046\\u1046 ab"), "\xd0\x96\xd0\x96" "ab");
    EXPECT_EQ(code("\\uc2\\u26085??x\\u26085\\'3f\\'3fy\\u26085\\~?z"),
              "\xe6\x97\xa5x\xe6\x97\xa5y\xe6\x97\xa5z");
    // A group ends the fallback early, and \uc holds only inside its group.
    EXPECT_EQ(code("{\\uc3\\u1046?}\\u1046??"), "\xd0\x96\xd0\x96?");
    // A surrogate pair is one character; a surrogate alone is U+FFFD.
    EXPECT_EQ(code("\\u-10179?\\u-8704?!"), "\xf0\x9f\x98\x80!");
    EXPECT_EQ(code("\\u-10179?x\\u-8704?"), "\xef\xbf\xbdx\xef\xbf\xbd");
    EXPECT_EQ(code("\\u70000?x\\u-40000?"), "\xef\xbf\xbdx\xef\xbf\xbd");  // out of range
    // Control words that only begin with u stay control words.
    EXPECT_EQ(code("\\ul a\\ulnone b\\up6 c"), "abc");

    std::string f = statementField("AB", "x");
    f.replace(f.find("AB"), 2, "\\u931?\\u-24330?{\\b \\u1046?}");
    EXPECT_EQ(RtfInterpreter::ParseRTFStatementCode(f).Label, "\xce\xa3\xea\x83\xb6\xd0\x96");
}

TEST(RtfFieldRecords, ExpressionPayload) {
    ExpressionRecord e = RtfInterpreter::ParseRTFExpressionCode(
        expressionField("Total", "rs(\"Total\")", "Currency;NumDigits:2", "1036", "\\f2\\fs20 "));
    EXPECT_EQ(e.Label, "Total");
    EXPECT_EQ(e.Code, "rs(\"Total\")");
    EXPECT_EQ(e.Format, "Currency;NumDigits:2");
    EXPECT_EQ(e.Locale, 1036);
    EXPECT_EQ(e.Font, "\\f2\\fs20 ");

    // Only the last two separators split; earlier ones belong to the code.
    e = RtfInterpreter::ParseRTFExpressionCode(
        expressionField("S", "\"a\xa7" "b\xa7\" & x_QZCRLF", "String;MaxLength:5", "-1"));
    EXPECT_EQ(e.Code, "\"a\xc2\xa7" "b\xc2\xa7\" & x\r\n");
    EXPECT_EQ(e.Format, "String;MaxLength:5");
    EXPECT_EQ(e.Locale, -1);

    std::string f;
    // Signs escaped in upper case, written as \uN or as the escape's own
    // characters (a backslash in the code) are text, never separators.
    e = RtfInterpreter::ParseRTFExpressionCode(test::systemField(
        true, "L", "\\'A7\\u167?\\'5c'a7\\'a7Str\\'A7ing\\'a7 1036 "));
    EXPECT_EQ(e.Code, "\xc2\xa7\xc2\xa7\\'a7");
    EXPECT_EQ(e.Format, "Str\xc2\xa7ing");
    EXPECT_EQ(e.Locale, 1036);
    // Format and code outside the code page.
    f = test::systemField(true, "LBL", "\"\\u-10179?\\u-8704?\"\\'a7String;\\u20320?\\'a7-1");
    f.replace(f.find("LBL"), 3, "\\u937?");
    e = RtfInterpreter::ParseRTFExpressionCode(f);
    EXPECT_EQ(e.Label, "\xce\xa9");
    EXPECT_EQ(e.Code, "\"\xf0\x9f\x98\x80\"");
    EXPECT_EQ(e.Format, "String;\xe4\xbd\xa0");

    // An instruction that starts with plain text has no font.
    f = expressionField("N", "1", "Number", "-1");
    f.replace(f.find("{\\f0\\fs24\\cf0  SET"), 18, "{ SET");
    EXPECT_EQ(RtfInterpreter::ParseRTFExpressionCode(f).Font, "");
}

TEST(RtfFieldRecords, PayloadErrors) {
    auto expr = [](std::string payload) {
        return errorOf([&] {
            RtfInterpreter::ParseRTFExpressionCode(test::systemField(true, "L", payload));
        });
    };
    EXPECT_EQ(expr("x\\'a7String"), ownError(4052));              // one separator
    EXPECT_EQ(expr("x\\'a7\\'a7-1"), ownError(4052));             // empty format
    EXPECT_EQ(expr("x\\'a7String\\'a7"), ownError(4051));         // empty locale
    EXPECT_EQ(expr("x\\'A7String\\'A7-1"), ownError(4052));       // upper case is no separator
    EXPECT_EQ(expr("x\\'a7String\\'a7abc"), 13);                  // locale is no number
    EXPECT_EQ(expr("x\\'a7String\\'a7 -1 "), 0);

    std::string noName = test::systemField(true, "L", "x\\'a7String\\'a7-1");
    noName.replace(noName.find("QZExpression377"), 15, "QZExpression378");
    EXPECT_EQ(errorOf([&] { RtfInterpreter::ParseRTFExpressionCode(noName); }), ownError(4009));
    std::string noStmt = statementField("L", "x = 1");
    noStmt.replace(noStmt.find("QZStatement377"), 14, "qzstatement377");
    EXPECT_EQ(errorOf([&] { RtfInterpreter::ParseRTFStatementCode(noStmt); }), ownError(4010));
    // Read in a whole template, the message names the field's kind and label.
    auto description = [](const std::string& field) {
        try {
            parse(rtfDocument("a " + field + " b"));
        } catch (const AutomationError& e) {
            return e.Description;
        }
        return std::string();
    };
    std::string loop = statementField("Loop", "Loop");
    loop.replace(loop.find("QZStatement377"), 14, "QZStatement");
    EXPECT_NE(description(loop).find("The Statement cannot be empty. Field: statement \"Loop\"."), std::string::npos)
        << description(loop);
    EXPECT_NE(description(noName).find("Field: expression \"L\"."), std::string::npos);

    // A field group that ends before the SET field's result.
    std::string cut = statementField("L", "x = 1");
    cut = cut.substr(0, cut.find("{\\fldrslt }}}}")) + "}}}";
    EXPECT_EQ(errorOf([&] { RtfInterpreter::ParseRTFStatementCode(cut); }), ownError(3112));
    // Delimiters written as plain symbols (no nested fields).
    EXPECT_EQ(errorOf([] {
                  RtfInterpreter::ParseRTFStatementCode(
                      "{\\field{\\*\\fldinst MACROBUTTON modStatementMacro \\'d7L\\'d8}{\\fldrslt }}");
              }),
              ownError(3112));
    // The tokenizer is the word model's; its errors are the template reader's
    // own: a malformed escape in a field is refused (the model skips it), and
    // a parameter of any length is one word.
    EXPECT_EQ(errorOf([] { RtfInterpreter::ParseRTFStatementCode(test::systemField(false, "L", "x = \\'4x1")); }),
              ownError(3112));
    EXPECT_EQ(RtfInterpreter::ParseRTFStatementCode(test::systemField(false, "L", "x = 1{\\fs99999999999999 2}")).Code,
              "x = 12");
}

TEST(RtfTemplateSplit, TruncatedAndDamagedTextsFailCleanly) {
    const std::string text = rtfDocument(
        "A " + statementField("S", "If x Then") + expressionField("E", "x", "Number;NumDigits:2") +
        statementField("T", "End If") +
        test::systemField(true, "U", "{\\uc2\\u-10179??\\u-8704\\'3f?}\\u937 ?\\'a7String\\'a7-1") + " z");
    EXPECT_EQ(parse(text).GetExpressionCode(1), "\xf0\x9f\x98\x80\xce\xa9");
    std::mt19937 rng(7);
    for (std::size_t n = 0; n <= text.size(); ++n) {
        std::string t = text.substr(0, n);
        try { parse(t); } catch (const AutomationError&) {}
        if (n == 0) continue;
        std::string d = text;
        d[rng() % d.size()] = "{}\\' a\xa7"[rng() % 7];
        try { parse(d); } catch (const AutomationError&) {}
    }
    for (int i = 0; i < 300; ++i) {
        std::string r(1 + rng() % 200, ' ');
        for (char& c : r) c = "{}\\'fieldx0a7 u-9c?"[rng() % 19];
        try { parse(r); } catch (const AutomationError&) {}
    }
    SUCCEED();
}

TEST(RtfTemplateFile, DocumentsSavedByWordProcessors) {
    // Every fixture reads; the one in a word processor's own style (label
    // split into formatted runs, revision marks, escaped braces in the code)
    // gives its statement field.
    const std::string folder = std::string(QZ_TEST_DATA_DIR) + "/rtf/";
    for (const char* name : {"lo-letter.rtf", "lo-report.rtf", "wordpad-style.rtf"}) {
        RtfInterpreter r;
        r.TemplateFile(folder + name);
        EXPECT_NO_THROW(r.ParseRtfTemplate()) << name;
        EXPECT_EQ(r.NbElement(), r.NbRtfPureElement()) << name;  // no fields of the system
    }
    RtfInterpreter r;
    r.TemplateFile(folder + "word-style.rtf");
    r.ParseRtfTemplate();
    EXPECT_EQ(sequence(r), "R0 S0 R1 ");
    EXPECT_EQ(r.GetStatementLabel(0), "Customer");
    EXPECT_EQ(r.GetStatementCode(0), "x = \"a{b}\"");
    // The runs end and start exactly around the field group.
    EXPECT_TRUE(r.GetRtfCode(0).ends_with("Dear }"));
    EXPECT_TRUE(r.GetRtfCode(1).starts_with("{\\insrsid1234567 ,\\par }"));
}

// The splitter reads each field group in one pass; what it finds must be what
// the field-level readers find on that group alone, whatever the group holds.
TEST(RtfTemplateSplit, FieldsReadAsTheFieldReadersReadTheirGroups) {
    // The kind comes from the group's whole text, read with the \uc in force:
    // "\u77 ?" is "M" after \uc1 and "M?" after \uc0, so the name below
    // reads "modExpressionMacro" only in the first field (whose delimiter
    // field the second repeats byte for byte).
    std::string f = test::systemField(true, "L", "x\\'a7Number\\'a7-1");
    f.replace(f.find("modExpressionMacro "), 19, "modExpression");
    const std::string open = test::symbolField(61558, "\\u-3978?", true);
    f.replace(f.find(open), open.size(), "{\\field{\\*\\fldinst \\u77 ?acro}{\\fldrslt x}}");
    std::string g = f;
    g.replace(g.find("{\\cf9 "), 6, "{\\cf9\\uc0 ");
    EXPECT_EQ(sequence(parse(rtfDocument(f + g))), "R0 E0 R1 ");
    EXPECT_EQ(sequence(parse(rtfDocument(g + f))), "R0 E0 R1 ");
    // A statement whose result holds an expression field is read as an expression.
    std::string s = statementField("S", "x = 1");
    s.replace(s.rfind("{\\fldrslt }}"), 12, "{\\fldrslt " + expressionField("E", "y", "Number") + "}}");
    EXPECT_EQ(errorOf([&] { parse(rtfDocument(s)); }), ownError(4009));
    // A statement's instruction is read without a font: one that starts with
    // the name itself keeps it whole.
    const std::string setWord = "{\\f0\\fs24\\cf0  SET _";
    s = statementField("S", "x = 1");
    s.replace(s.find(setWord), setWord.size(), "{");
    EXPECT_EQ(parse(rtfDocument(s)).GetStatementCode(0), "x = 1");
    // A malformed escape is refused in any group the search for fields finds,
    // one that is no field of the system included.
    EXPECT_EQ(errorOf([] { parse("{\\rtf1 {\\i br\\'e\\fieldx9e}}"); }), ownError(3112));

    // Templates of many fields, changed at random where no token is cut.
    std::string body;
    for (int i = 0; i < 3; ++i)
        body += "a " + statementField("S" + std::to_string(i), "If x Then_QZCRLFy") +
                expressionField("E", "\"\\u937?\"", "String", "1036") +
                test::systemField(true, "U", "\\uc2\\u-10179??\\u-8704??z\\'a7Number\\'a7-1");
    const char* pieces[] = {"\\uc0 ", "\\uc2 ", "\\u937?", "{\\b x}", "\\par ", "\\'a7", "\\FIELD ", "{}",
                            "modExpressionMacro", "modStatementMacro", "\\fldrslt ", "{\\listtext 1.}", "\\'e9"};
    std::mt19937 rng(11);
    int checked = 0;
    for (int round = 0; round < 300; ++round) {
        std::string t = rtfDocument(body);
        for (int k = 0; k < 3; ++k) {
            const std::size_t at = t.find_first_of("\\{}", rng() % t.size());
            if (at != std::string::npos && t[at - 1] != '\\') t.insert(at, pieces[rng() % std::size(pieces)]);
        }
        RtfInterpreter r;
        try { r.ExtractRTFAndQzFields(t); } catch (const AutomationError&) { continue; }
        std::size_t at = 0;  // runs and field groups follow each other without a gap
        for (std::int32_t i = 0; i < r.NbElement(); ++i) {
            const std::int32_t p = r.GetElementPosition(i);
            if (r.GetElementType(i) == kElementRtf) {
                at += r.GetRtfCode(p).size();
                continue;
            }
            std::size_t e = at;
            for (int depth = 0;; ++e)
                if ((t[e] == '{' || t[e] == '}') && (e == 0 || t[e - 1] != '\\') && (depth += t[e] == '{' ? 1 : -1) == 0) break;
            const std::string group = t.substr(at, e + 1 - at);
            at = e + 1;
            if (r.GetElementType(i) == kElementStatement) {
                const StatementRecord s = RtfInterpreter::ParseRTFStatementCode(group);
                EXPECT_EQ(r.GetStatementLabel(p) + "|" + r.GetStatementCode(p), s.Label + "|" + s.Code) << t;
            } else {
                const ExpressionRecord x = RtfInterpreter::ParseRTFExpressionCode(group);
                EXPECT_EQ(r.GetExpressionLabel(p) + "|" + r.GetExpressionCode(p) + "|" + r.GetExpressionFormat(p) +
                              "|" + r.GetExpressionFont(p) + "|" + std::to_string(r.GetExpressionLocale(p)),
                          x.Label + "|" + x.Code + "|" + x.Format + "|" + x.Font + "|" + std::to_string(x.Locale))
                    << t;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 1000);
}

// The engine reads a field's code with the same decoder as the word
// processor that shows it: whatever escapes, \uc fallbacks and surrogates
// the code holds, the designer and the produced program see the same text.
TEST(RtfFieldRecords, CodeReadsAsTheWordProcessorReadsIt) {
    const char* payloads[] = {
        "a\\u1046\\'e9b\\u1046\\par c",           // fallback: an escape, a control word
        "\\uc2\\u26085\\'93\\'fax\\u26085 ?\\u1046 y",  // two fallback bytes, one, a \u ending them
        "{\\uc0 \\u1046}\\u1046?{\\uc3 {\\u937???}\\u937?}",  // \uc holds in its group only
        "\\uc12\\u1046 abcdefghijklmnop",          // a long fallback
        "\\u-10179?\\cf0\\u-8704?!",               // a pair split by a formatting word
        "\\u-10179?{\\b \\u-8704?}!\\u-10179?x",   // by a group; a surrogate alone
        "\\u-3978\\'3f\\u8364 \\'80",              // negative N; the euro as \u and as a byte
    };
    for (const char* payload : payloads) {
        const std::string group = test::systemField(false, "L", payload);
        word::Application app;
        word::Document& d = app.GetDocuments().Add();
        d.LoadRtfText(rtfDocument(group));
        std::string shown;
        for (const word::Field& f : d.Content().GetFields().All()) {
            const std::string code = f.Code().Text();
            if (code.starts_with(" SET _QZStatement377 ")) shown = code.substr(21);
        }
        EXPECT_EQ(RtfInterpreter::ParseRTFStatementCode(group).Code, shown) << payload;
        EXPECT_EQ(parse(rtfDocument(group)).GetStatementCode(0), shown) << payload;
    }
}
