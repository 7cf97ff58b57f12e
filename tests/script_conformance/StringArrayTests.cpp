// String functions (Null, out-of-range arguments), Split/Join/Filter,
// Replace with start and count, and arrays: bounds, ReDim, Erase, copies.
#include "Conformance.h"

namespace qz::script::conformance {
namespace {

TEST(ConformStrings, NullAndOutOfRangeArguments) {
    const Case cases[] = {
        {"", R"(Len("abc"))", "Long:3"},
        {"", "Len(123)", "Long:3"},
        {"", "Len(Empty)", "Long:0"},
        {"", "Len(Null)", "Null"},
        {"", R"(Left("abc", 5))", "String:abc"},
        {"", R"(Left("abc", -1))", "err:5"},
        {"", "Left(Null, 1)", "Null"},
        {"", R"(Left("abc", Null))", "err:94"},
        {"", R"(Right("abc", 2))", "String:bc"},
        {"", R"(Right("abc", 10))", "String:abc"},
        {"", R"(Mid("abc", 5))", "String:"},
        {"", R"(Mid("abc", 2, 10))", "String:bc"},
        {"", R"(Mid("abc", 0))", "err:5"},
        {"", R"(Mid("abc", 2, -1))", "err:5"},
        {"", "Mid(Null, 1)", "Null"},
        {"", R"(Mid("abc", Null))", "err:94"},
        {"", R"(Trim("  a  "))", "String:a"},
        {"", R"(Len(Trim(vbTab & "a")))", "Long:2"},
        {"", "Trim(Null)", "Null"},
        {"", "LTrim(Null)", "Null"},
        {"", "UCase(Null)", "Null"},
        {"", "LCase(1)", "String:1"},
        {"", "Space(3)", "String:   "},
        {"", "Space(-1)", "err:5"},
        {"", "Space(Null)", "err:94"},
        {"", R"(String(3, "ab"))", "String:aaa"},
        {"", "String(2, 65)", "String:AA"},
        {"", R"(String(-1, "a"))", "err:5"},
        {"", R"(String(2, ""))", "err:5"},
        {"", R"(StrReverse("abc"))", "String:cba"},
        {"", "StrReverse(Null)", "err:94"},
        {"", R"(Asc("A"))", "Integer:65"},
        {"", R"(AscW("A"))", "Integer:65"},
        {"", R"(Asc(""))", "err:5"},
        {"", "Asc(Null)", "err:94"},
        {"", "Chr(65)", "String:A"},
        {"", "Chr(-1)", "err:5"},
        {"", "Chr(Null)", "err:94"},
        {"", R"(LenB("ab"))", "Long:4"},
        {"", R"(StrComp("a", "B"))", "Integer:1"},
        {"", R"(StrComp("a", "B", 1))", "Integer:-1"},
        {"", R"(StrComp("a", "A", 1))", "Integer:0"},
        {"", R"(StrComp(Null, "a"))", "Null"},
        {"", R"(StrComp("a", Null))", "Null"},
        {"", R"(Escape("a b+c"))", "String:a%20b+c"},
        {"", R"(Unescape("%41%u0042"))", "String:AB"},
    };
    expectAll(cases);
}

// Every numeric argument is read (a Null raises 94) before any is checked;
// the Format functions refuse Null with 13; Randomize has no value.
TEST(ConformStrings, NullArgumentsCheckedFirst) {
    const Case cases[] = {
        {"", "Mid(\"abc\", 0, Null)", "err:94"},
        {"", "Mid(\"abc\", Null, -1)", "err:94"},
        {"", "Mid(\"abc\", 2, Null)", "err:94"},
        {"", "IsNull(Mid(Null, 1))", "Boolean:True"},
        {"", "Mid(\"abc\", 0)", "err:5"},
        {"", "InStrRev(\"abc\", \"b\", 0, Null)", "err:94"},
        {"", "InStrRev(\"abc\", \"b\", Null)", "err:94"},
        {"", "InStrRev(\"abc\", \"b\", -1, 1)", "Long:2"},
        {"", "MonthName(13, Null)", "err:94"},
        {"", "MonthName(Null)", "err:94"},
        {"", "MonthName(2, True)", "String:Feb"},
        // A Null number comes before another number's type, a range last.
        {"", "Mid(\"text\", \"q\", Null)", "err:94"},
        {"", "Mid(Null, \"q\", Null)", "err:94"},
        {"", "Mid(Null, \"q\", 1)", "err:13"},
        {"", "Mid(Null, 0, \"q\")", "err:13"},
        {"", "Mid(Null, 0, 1)", "err:5"},
        {"", "MonthName(\"q\", Null)", "err:94"},
        {"", "MonthName(0, \"q\")", "err:13"},
        {"", "WeekdayName(\"q\", False, Null)", "err:94"},
        {"", "WeekdayName(9, \"q\")", "err:13"},
        {"", "InStr(\"q\", \"abc\", \"b\", Null)", "err:94"},
        {"", "InStrRev(\"abc\", \"b\", \"q\", Null)", "err:94"},
        {"", "InStrRev(\"abc\", \"b\", 0, \"q\")", "err:13"},
        {"", "FormatNumber(Null)", "err:13"},
        {"", "FormatCurrency(Null)", "err:13"},
        {"", "FormatPercent(Null, 2)", "err:13"},
        {"", "FormatDateTime(Null)", "err:13"},
        {"x = Randomize", "0", "err:13"},
        {"Randomize : Randomize 5 : Call Randomize(1)", "1", "Integer:1"},
        {"On Error Resume Next\nx = Randomize()\nr = Err.Number", "r", "Long:13"},
    };
    expectAll(cases);
}

TEST(ConformStrings, InStrAndInStrRev) {
    const Case cases[] = {
        {"", R"(InStr("abc", "c"))", "Long:3"},
        {"", R"(InStr(5, "abc", "c"))", "Long:0"},
        {"", R"(InStr(1, "abc", ""))", "Long:1"},
        {"", R"(InStr("abc", ""))", "Long:1"},
        {"", R"(InStr("", "a"))", "Long:0"},
        {"", R"(InStr(0, "abc", "a"))", "err:5"},
        {"", R"(InStr(1, "ABC", "b", 1))", "Long:2"},
        {"", R"(InStr(1, "ABC", "b"))", "Long:0"},
        {"", R"(InStr("abc", Null))", "Null"},
        {"", R"(InStr(Null, "a"))", "Null"},
        {"", R"(InStrRev("abcabc", "b"))", "Long:5"},
        {"", R"(InStrRev("abcabc", "b", 4))", "Long:2"},
        {"", R"(InStrRev("abc", "b", 10))", "Long:0"},
        {"", R"(InStrRev("abc", "b", 0))", "err:5"},
        // With the start and the compare mode given, a Null text is refused.
        {"", R"(InStrRev("xyz", Null, 1, 0))", "err:94"},
        {"", R"(InStrRev(Null, "x", 3, 1))", "err:94"},
        {"", R"(InStrRev(Null, "x", 0, 1))", "err:5"},
        {"", R"(InStrRev(Null, "x"))", "Null"},
        {"", R"(InStr(1, "xyz", Null, 0))", "Null"},
    };
    expectAll(cases);
}

TEST(ConformStrings, ReplaceStartCountAndCompare) {
    const Case cases[] = {
        {"", R"(Replace("aaaa", "a", "b", 2))", "String:bbb"},
        {"", R"(Replace("aaaa", "a", "b", 1, 2))", "String:bbaa"},
        {"", R"(Replace("abcabc", "b", "", 3))", "String:cac"},
        {"", R"(Replace("aaaa", "a", "b", 5))", "String:"},
        {"", R"(Replace("abc", "", "x"))", "String:abc"},
        {"", R"(Replace("AbA", "a", "x", 1, -1, 1))", "String:xbx"},
        {"", R"(Replace("AbA", "a", "x"))", "String:AbA"},
        {"", R"(Replace("abc", "b", "x", 0))", "err:5"},
        {"", R"(Replace(Null, "a", "b"))", "err:94"},
    };
    expectAll(cases);
}

TEST(ConformStrings, SplitJoinFilter) {
    const Case cases[] = {
        {"", R"(UBound(Split("")))", "Long:-1"},
        {"", R"(UBound(Split("a,b,,c", ",")))", "Long:3"},
        {"", R"(Split("a b"))", "Array[String:a, String:b]"},
        {"", R"(Split("aXbxc", "x", -1, 1))", "Array[String:a, String:b, String:c]"},
        {"", R"(Split("aXbxc", "x"))", "Array[String:aXb, String:c]"},
        {"", R"(Split("a,b,c", ",", 2))", "Array[String:a, String:b,c]"},
        {"", R"(Split("abc", ""))", "Array[String:abc]"},
        {"", "Split(Null)", "err:94"},
        {"", R"(Join(Array(1, 2, 3), "-"))", "String:1-2-3"},
        {"", "Join(Array(1, 2))", "String:1 2"},
        {"", "Join(Array())", "String:"},
        {"", "Join(5)", "err:13"},
        {"", R"(Filter(Array("ab", "cd", "abc"), "ab"))", "Array[String:ab, String:abc]"},
        {"", R"(Filter(Array("ab", "cd"), "ab", False))", "Array[String:cd]"},
        {"", R"(Filter(Array("AB", "cd"), "ab", True, 1))", "Array[String:AB]"},
        {"", R"(UBound(Filter(Array("a"), "z")))", "Long:-1"},
    };
    expectAll(cases);
}

TEST(ConformArrays, BoundsAndDimensions) {
    const Case cases[] = {
        {"Dim a(2)", "UBound(a)", "Long:2"},
        {"Dim a(2, 3)", "UBound(a, 2)", "Long:3"},
        {"Dim a(2, 3)", "UBound(a, 1)", "Long:2"},
        {"Dim a(2, 3)", "LBound(a, 2)", "Long:0"},
        {"Dim a(2, 3)", "UBound(a, 3)", "err:9"},
        {"Dim a(2, 3)", "UBound(a, 0)", "err:9"},
        {"Dim a : a = 1", "UBound(a)", "err:13"},
        {"Dim a()", "UBound(a)", "err:9"},
        {"Dim a(2)", "a(3)", "err:9"},
        {"Dim a(2)", "a(-1)", "err:9"},
        {"Dim a(2)", "a(1, 1)", "err:9"},
        {"Dim a(2)", "IsEmpty(a(2))", "Boolean:True"},
        {"Dim a(2)", "TypeName(a)", "String:Variant()"},
        {"Dim a(2)", "VarType(a)", "Integer:8204"},
        {"", "UBound(Array())", "Long:-1"},
        {"", "LBound(Array())", "Long:0"},
        {"", "UBound(Array(1, 2, 3))", "Long:2"},
        {"ReDim a(1.5)", "UBound(a)", "Long:2"},
        {"ReDim a(-1)", "UBound(a)", "Long:-1"},
        {R"(Dim s : s = "abc")", "s(0)", "err:13"},
        {"Dim a : a = Array(Array(1, 2), Array(3, 4))", "a(1)(0)", "Integer:3"},
        {"ReDim a(1, 1) : a(1, 1) = 5 : b = a", "b(1, 1)", "Integer:5"},
    };
    expectAll(cases);
}

TEST(ConformArrays, ReDimPreserveAndErase) {
    const Case cases[] = {
        {"ReDim a(2) : a(1) = 7 : ReDim Preserve a(5)", "a(1)", "Integer:7"},
        {"ReDim a(2) : a(1) = 7 : ReDim Preserve a(5)", "UBound(a)", "Long:5"},
        {"ReDim a(2) : a(2) = 7 : ReDim Preserve a(1)", "UBound(a)", "Long:1"},
        {"ReDim a(2, 2) : a(1, 2) = 5 : ReDim Preserve a(2, 4)", "a(1, 2)", "Integer:5"},
        {"ReDim a(2, 2) : ReDim Preserve a(3, 2)", "0", "err:9"},
        {"ReDim x(2) : x(1) = 1 : ReDim x(3)", "IsEmpty(x(1))", "Boolean:True"},
        {"Dim a(2) : ReDim a(3)", "0", "err:10"},
        // ReDim Preserve reads the bounds before it refuses a fixed array.
        {"Dim a(2) : ReDim Preserve a(\"x\")", "0", "err:13"},
        {"Dim a(2) : ReDim Preserve a(Null)", "0", "err:94"},
        {"Dim a(2) : ReDim Preserve a(\"4\")", "0", "err:10"},
        {"Dim a(2) : ReDim Preserve a(1)", "0", "err:10"},
        {"Dim a(2) : ReDim a(\"x\")", "0", "err:10"},
        {"Dim a(2, 2) : ReDim Preserve a(2, \"x\")", "0", "err:13"},
        {"Dim a(2) : On Error Resume Next : ReDim Preserve a(\"x\") : r = Err.Number", "r & UBound(a)", "String:132"},
        {"Dim a(2) : a(1) = 5 : Erase a", "IsEmpty(a(1))", "Boolean:True"},
        {"Dim a(2) : a(1) = 5 : Erase a", "UBound(a)", "Long:2"},
        {"ReDim a(2) : Erase a", "UBound(a)", "err:9"},
        {"ReDim a(2147483647)", "0", "err:7"},
        {"ReDim a(2, 2147483647)", "0", "err:7"},
        {"ReDim a(2) : On Error Resume Next : ReDim a(2147483647) : r = Err.Number", "r & \"|\" & UBound(a)", "String:7|2"},
    };
    expectAll(cases);
}

TEST(ConformArrays, AssignedAndIteratedByValue) {
    const Case cases[] = {
        {"Dim a, b : a = Array(1, 2) : b = a : b(0) = 9", "a(0)", "Integer:1"},
        {"Dim a(1), b : a(0) = 1 : b = a : a(0) = 2", "b(0)", "Integer:1"},
        {"a = Array(1, 2, 3) : For Each x In a : x = x * 2 : Next", "a(0)", "Integer:1"},
        {"Dim a(2) : For Each x In a : n = n + 1 : Next", "n", "Integer:3"},
        {"For Each x In Array() : n = 1 : Next", "n", "Empty"},
        {"For Each x In 5 : Next", "0", "err:451"},
    };
    expectAll(cases);
}

// Rounded positions, numbers as text, code page 1252, escapes, Split edges.
TEST(ConformStrings, RoundedArgumentsNumbersAndCodePages) {
    const Case cases[] = {
        {"", "Mid(\"abc\", 1, 0)", "String:"},
        {"", "Left(\"abc\", 0)", "String:"},
        {"", "Right(\"abc\", -1)", "err:5"},
        {"", "Left(\"abc\", 1.5)", "String:ab"},
        {"", "Mid(\"abcdef\", 2.5, 2)", "String:bc"},
        {"", "Len(1.5)", "Long:3"},
        {"", "Len(True)", "Long:4"},
        {"", "Len(#1/2/2003#)", "Long:8"},
        {"", "UCase(\"ß\")", "String:ß"},
        {"", "LCase(\"ÀÉ\")", "String:àé"},
        {"", "StrComp(\"abc\", \"ABC\", vbTextCompare)", "Integer:0"},
        {"", "InStr(1, \"aXa\", \"x\", vbTextCompare)", "Long:2"},
        {"", "InStr(2, \"abc\", \"\")", "Long:2"},
        {"", "InStr(1, Null, \"a\")", "Null"},
        {"", "InStr(Null, \"abc\", \"a\")", "err:94"},
        {"", "InStrRev(\"abcabc\", \"bc\", -1)", "Long:5"},
        {"", "Replace(\"abc\", \"b\", \"x\", 1, 0)", "String:abc"},
        {"", "Replace(\"a.b\", \".\", \"\")", "String:ab"},
        {"", "Space(0)", "String:"},
        {"", "String(0, \"a\")", "String:"},
        {"", "Len(Chr(0))", "Long:1"},
        {"", "ChrW(8364)", "String:€"},
        {"", "AscW(\"€\")", "Integer:8364"},
        {"", "Asc(\"€\")", "Integer:128"},
        {"", "Chr(128)", "String:€"},
        {"", "ChrW(65536)", "err:5"},
        {"", "Join(Array(\"a\", Empty, \"b\"), \",\")", "String:a,,b"},
        {"", "Join(Array(1.5, True), \";\")", "String:1.5;True"},
        {"", "Split(\"a,,b\", \",\")", "Array[String:a, String:, String:b]"},
        {"", "Split(\",\", \",\")", "Array[String:, String:]"},
        {"", "Split(\"abc\", \"abc\")", "Array[String:, String:]"},
        {"", "Filter(Array(\"a\", \"b\"), \"\")", "Array[String:a, String:b]"},
        {"", "Filter(5, \"a\")", "err:13"},
        {"", "Escape(\"ä\")", "String:%E4"},
        {"", "Escape(\"€\")", "String:%u20AC"},
        {"", "Unescape(\"%zz\")", "String:%zz"},
        {"", "LTrim(\"  a \")", "String:a "},
        {"", "StrReverse(\"\")", "String:"},
        {"", "Len(String(3, Chr(0)))", "Long:3"},
        {"", "Left(123, 2)", "String:12"},
        {"", "Mid(12345, 2, 2)", "String:23"},
    };
    expectAll(cases);
}

// Multi-dimensional arrays, Preserve rules, arrays through ByRef and ByVal.
TEST(ConformArrays, ShapesPassingAndIterationOrder) {
    const Case cases[] = {
        {"Dim a(2, 3) : a(1, 2) = 5", "a(1, 2)", "Integer:5"},
        {"ReDim a(2) : ReDim Preserve a(2, 2)", "0", "err:9"},
        {"Dim a(2) : ReDim Preserve a(3)", "0", "err:10"},
        {"a = Array(1, 2) : ReDim Preserve a(3)", "UBound(a)", "Long:3"},
        {"a = Array(1, 2) : a(0) = Array(3)", "a(0)(0)", "Integer:3"},
        {"Dim a(2) : b = a : b(0) = 1", "IsEmpty(a(0))", "Boolean:True"},
        {"Sub M(x)\n x(0) = 9\nEnd Sub\nDim a : a = Array(1) : M a", "a(0)", "Integer:9"},
        {"Sub MV(ByVal x)\n x(0) = 9\nEnd Sub\nDim a : a = Array(1) : MV a", "a(0)", "Integer:1"},
        {"Function F\n F = Array(1, 2)\nEnd Function", "F()(1)", "Integer:2"},
        {"Function F\n F = Array(1, 2)\nEnd Function", "UBound(F())", "Long:1"},
        {"Dim a() : ReDim Preserve a(1)", "UBound(a)", "Long:1"},
        {"Dim a()", "IsArray(a)", "Boolean:True"},
        {"ReDim a(1, 1) : a(0, 0) = 1 : a(1, 0) = 2 : a(0, 1) = 3 : a(1, 1) = 4 : For Each x In a : s = s & x : Next", "s", "String:1234"},
    };
    expectAll(cases);
}

// Indices rounded or converted from text, arrays compared or bounded wrongly.
TEST(ConformArrays, IndexConversionAndWholeArrayMisuse) {
    const Case cases[] = {
        {"Dim a(3) : a(1.5) = 1", "a(2)", "Integer:1"},
        {"Dim a(3) : a(1) = 7", "a(\"1\")", "Integer:7"},
        {"Dim m(1, 1) : m(0) = 1", "0", "err:9"},
        {"", "Array(1, 2) = Array(1, 2)", "err:13"},
        {"", "IsArray(Empty)", "Boolean:False"},
        {"", "LBound(Empty)", "err:13"},
        {"Dim a : ReDim a(2) : a = Array()", "UBound(a)", "Long:-1"},
    };
    expectAll(cases);
}

// Text compare, rounded lengths and codes, overlapping Replace, Split of blanks.
TEST(ConformStrings, CompareModesAndRoundedLengths) {
    const Case cases[] = {
        {"", "InStr(1, \"abc\", \"C\", 1)", "Long:3"},
        {"", "StrComp(1, \"1\")", "Integer:0"},
        {"", "Right(\"abc\", 1.5)", "String:bc"},
        {"", "LCase(True)", "String:true"},
        {"", "Len(Space(2.5))", "Long:2"},
        {"", "String(2.5, \"x\")", "String:xx"},
        {"", "Chr(65.5)", "String:B"},
        {"", "Asc(\"ABC\")", "Integer:65"},
        {"", "InStrRev(\"a\", \"a\", 1)", "Long:1"},
        {"", "InStrRev(\"\", \"a\")", "Long:0"},
        {"", "Replace(\"aaa\", \"aa\", \"b\")", "String:ba"},
        {"", "Replace(\"abc\", \"B\", \"x\", 1, -1, vbTextCompare)", "String:axc"},
        {"", "Split(\"a  b\", \" \")", "Array[String:a, String:, String:b]"},
        {"", "UBound(Split(\"  \"))", "Long:2"},
        {"", "UBound(Split(Empty))", "Long:-1"},
        {"", "Filter(Array(\"abc\", \"ABC\"), \"b\", True, vbBinaryCompare)", "Array[String:abc]"},
        {"", "UBound(Filter(Array(), \"a\"))", "Long:-1"},
    };
    expectAll(cases);
}

// Surrogate pairs count as two, zero lengths, needles longer than the text.
TEST(ConformStrings, SurrogatesAndEmptyResults) {
    const Case cases[] = {
        {"", "Len(ChrW(&HD83D) & ChrW(&HDE00))", "Long:2"},
        {"", "Mid(\"abc\", 2, 0)", "String:"},
        {"", "InStr(\"abc\", \"abcd\")", "Long:0"},
    };
    expectAll(cases);
}

// Case mapping beyond ASCII, binary against text order.
TEST(ConformStrings, CaseMappingAndBinaryOrder) {
    const Case cases[] = {
        {"", "StrComp(\"é\", \"É\", 1)", "Integer:0"},
        {"", "UCase(\"é\")", "String:É"},
        {"", "StrComp(\"B\", \"a\")", "Integer:-1"},
        {"", "StrComp(\"B\", \"a\", 1)", "Integer:1"},
        {"", "\"B\" < \"a\"", "Boolean:True"},
        {"", "#1/2/2003# > #1/1/2003#", "Boolean:True"},
    };
    expectAll(cases);
}

// Code units above 32767, Escape and Unescape of odd input.
TEST(ConformStrings, WideCharactersAndEscapes) {
    const Case cases[] = {
        {"", "Asc(ChrW(8364))", "Integer:128"},
        {"", "ChrW(-1) = ChrW(65535)", "Boolean:True"},
        {"", "AscW(ChrW(65535))", "Integer:-1"},
        {"", "Escape(\"~!@#\")", "String:%7E%21@%23"},
        {"", "Unescape(\"%u20AC%\")", "String:€%"},
    };
    expectAll(cases);
}

// Null and Empty as positions, lengths and codes.
TEST(ConformStrings, NullAndEmptyInPositions) {
    const Case cases[] = {
        {"", "InStr(1, \"abc\", Null)", "Null"},
        {"", "InStrRev(Null, \"a\")", "Null"},
        {"", "Left(\"abc\", Empty)", "String:"},
        {"", "Mid(\"abc\", Empty)", "err:5"},
        {"", "String(Null, \"a\")", "Null"},
        {"", "Space(Empty)", "String:"},
        {"", "Len(Chr(Empty))", "Long:1"},
        {"", "Hex(\"abc\")", "err:13"},
        {"", "Oct(Null)", "Null"},
    };
    expectAll(cases);
}

// Doubled quotes, accented characters, numbers and dates used as text.
TEST(ConformStrings, QuotesAccentsAndNumbersAsText) {
    const Case cases[] = {
        {"", "\"\"\"\"\"\"", "String:\"\""},
        {"", "Len(\"é\")", "Long:1"},
        {"", "InStr(12345, 3)", "Long:3"},
        {"", "#1/2/2003# & \"\"", "String:1/2/2003"},
    };
    expectAll(cases);
}

// Binary order by code unit; text compare folds case but keeps accents.
TEST(ConformStrings, TextCompareBeyondAscii) {
    const Case cases[] = {
        {"", "\"é\" > \"z\"", "Boolean:True"},
        {"", "StrComp(\"ä\", \"b\", 1)", "Integer:-1"},
        {"", "Replace(\"ÄBC\", \"ä\", \"x\", 1, -1, 1)", "String:xBC"},
        {"", "UCase(\"ÿ\")", "String:Ÿ"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d.CompareMode = 1 : d.Add \"Ä\", 1", "d.Exists(\"ä\")", "Boolean:True"},
        {"", "LenB(\"é\")", "Long:2"},
        {"", "Asc(\"é\")", "Integer:233"},
        {"", "InStr(1, \"STRASSE\", \"asse\", 1)", "Long:4"},
        {"", "StrComp(\"abc\", \"abd\", 1)", "Integer:-1"},
        {"", "Filter(Array(\"Émile\", \"emma\"), \"É\", True, 1)", "Array[String:Émile]"},
    };
    expectAll(cases);
}

// Strings are sequences of UTF-16 code units: reversing, cutting and searching split surrogate pairs.
TEST(ConformStrings, SurrogatePairsAreTwoCodeUnits) {
    const Case cases[] = {
        {"s = ChrW(&HD83D) & ChrW(&HDE00)", "AscW(s)", "Integer:-10179"},
        {"s = ChrW(&HD83D) & ChrW(&HDE00)", "AscW(StrReverse(s))", "Integer:-8704"},
        {"s = ChrW(&HD83D) & ChrW(&HDE00)", "AscW(Mid(s, 2))", "Integer:-8704"},
        {"s = \"a\" & ChrW(&HD83D) & ChrW(&HDE00)", "InStr(s, ChrW(&HDE00))", "Long:3"},
        {"s = ChrW(&HD83D) & ChrW(&HDE00)", "Len(UCase(s))", "Long:2"},
    };
    expectAll(cases);
}

} // namespace
} // namespace qz::script::conformance
