// Dictionary and RegExp semantics, the Format functions and conversions
// under the locales 1033, 1036 and 1031, month and weekday names.
#include "Conformance.h"

#include <filesystem>
#include <stdlib.h>

namespace qz::script::conformance {
namespace {

constexpr const char* kDict = "Set d = CreateObject(\"Scripting.Dictionary\")\n";

std::string dict(const char* tail) { return std::string(kDict) + tail; }

TEST(ConformDictionary, ItemsKeysAndCompareMode) {
    const Case cases[] = {
        {dict("x = d(\"k\")"), "d.Count", "Long:1"},
        {dict("x = d.Exists(\"k\")"), "d.Count", "Long:0"},
        {dict("d.Add 1, \"a\""), "d.Exists(\"1\")", "Boolean:False"},
        {dict("d.Add 1, \"a\" : d.Add \"1\", \"b\""), "d.Count", "Long:2"},
        {dict("d.CompareMode = 1 : d.Add \"A\", 1"), "d.Exists(\"a\")", "Boolean:True"},
        {dict("d.Add \"A\", 1"), "d.Exists(\"a\")", "Boolean:False"},
        {dict("d.Add \"a\", 1 : d.Add \"a\", 2"), "0", "err:457"},
        {dict("d.Remove \"z\""), "0", "err:32811"},
        {dict("d.Add \"a\", 1 : d.CompareMode = 1"), "0", "err:5"},
        {dict("d.Add \"b\", 1 : d.Add \"a\", 2 : d(\"c\") = 3"), "Join(d.Keys, \",\")", "String:b,a,c"},
        {dict("d.Add \"a\", 1 : d.Key(\"a\") = \"z\""), "d(\"z\")", "Integer:1"},
        {dict("d.Add \"a\", 1 : d.Add \"b\", 2"), "d.Items()(1)", "Integer:2"},
        {dict("d.Add \"k\", \"v\"\nFor Each x In d : s = x : Next"), "s", "String:k"},
        {dict("d.Add \"a\", 1 : d.RemoveAll"), "d.Count", "Long:0"},
    };
    expectAll(cases);
}

constexpr const char* kRe = "Set re = New RegExp\n";

std::string re(const char* tail) { return std::string(kRe) + tail; }

TEST(ConformRegExp, ReplaceMatchesAndSubMatches) {
    const std::string digits = re("re.Pattern = \"\\d+\" : re.Global = True\nSet m = re.Execute(\"ab12cd34\")");
    const std::string pairs = re("re.Pattern = \"(\\d)(\\d)\"\nSet m = re.Execute(\"x12\")");
    const Case cases[] = {
        {re("re.Pattern = \"(\\w+)@(\\w+)\""), "re.Replace(\"joe@x\", \"$2 at $1\")", "String:x at joe"},
        {re("re.Pattern = \"a\""), "re.Replace(\"aaa\", \"b\")", "String:baa"},
        {re("re.Pattern = \"a\" : re.Global = True"), "re.Replace(\"aaa\", \"b\")", "String:bbb"},
        {re("re.Pattern = \"A\""), "re.Test(\"abc\")", "Boolean:False"},
        {re("re.Pattern = \"A\" : re.IgnoreCase = True"), "re.Test(\"abc\")", "Boolean:True"},
        {digits, "m.Count", "Long:2"},
        {digits, "m(1).Value & \"|\" & m(1).FirstIndex & \"|\" & m(0).Length", "String:34|6|2"},
        {digits, "TypeName(m) & \"|\" & TypeName(m(0))", "String:IMatchCollection2|IMatch2"},
        {re("re.Pattern = \"\\d+\"\nSet m = re.Execute(\"ab12cd34\")"), "m.Count", "Long:1"},
        {pairs, "m(0).SubMatches(1)", "String:2"},
        {pairs, "m(0).SubMatches.Count", "Long:2"},
        {re("re.Pattern = \"^b\" : re.Multiline = True"), "re.Test(\"a\" & vbLf & \"b\")", "Boolean:True"},
        {re("re.Pattern = \"^b\""), "re.Test(\"a\" & vbLf & \"b\")", "Boolean:False"},
    };
    expectAll(cases);
}

TEST(ConformFormat, FormatFunctionsUnder1033) {
    const Case cases[] = {
        {"", "FormatNumber(1234.567)", "String:1,234.57"},
        {"", "FormatNumber(1234.567, 0)", "String:1,235"},
        {"", "FormatNumber(0.5, 2, 0)", "String:.50"},
        {"", "FormatNumber(0.5, 2, -1)", "String:0.50"},
        {"", "FormatNumber(-1234.5, 1, , -1)", "String:(1,234.5)"},
        {"", "FormatNumber(1234.5, 1, , , 0)", "String:1234.5"},
        {"", R"(FormatNumber("abc"))", "err:13"},
        {"", "FormatCurrency(1234.5)", "String:$1,234.50"},
        {"", "FormatCurrency(-1234.5)", "String:($1,234.50)"},
        {"", "FormatPercent(0.256)", "String:25.60%"},
        {"", "FormatPercent(0.256, 0)", "String:26%"},
        {"", "FormatDateTime(#1/2/2003 13:04:05#, 0)", "String:1/2/2003 1:04:05 PM"},
        {"", "FormatDateTime(#1/2/2003 13:04:05#, 2)", "String:1/2/2003"},
        {"", "FormatDateTime(#1/2/2003 13:04:05#, 3)", "String:1:04:05 PM"},
        {"", "FormatDateTime(#1/2/2003 13:04:05#, 4)", "String:13:04"},
        {"", "MonthName(1)", "String:January"},
        {"", "MonthName(1, True)", "String:Jan"},
        {"", "MonthName(13)", "err:5"},
        {"", "MonthName(0)", "err:5"},
        {"", "WeekdayName(1)", "String:Sunday"},
        {"", "WeekdayName(1, True)", "String:Sun"},
        {"", "WeekdayName(1, False, 2)", "String:Monday"},
        {"", "WeekdayName(8)", "err:5"},
    };
    expectAll(cases);
}

TEST(ConformLocale, FrenchAndGermanConversions) {
    const Case cases[] = {
        {"", "SetLocale(1036)", "Long:1033"},
        {"SetLocale 1031", "GetLocale()", "Long:1031"},
        {"SetLocale \"fr-fr\"", "GetLocale()", "Long:1036"},
        {"SetLocale 1036", "CStr(1234.5)", "String:1234,5"},
        {"SetLocale 1036", "CStr(0.5)", "String:0,5"},
        {"SetLocale 1036", R"(CDbl("1,5"))", "Double:1.5"},
        {"SetLocale 1036", "CStr(#1/2/2003#)", "String:02/01/2003"},
        {"SetLocale 1036", R"(CDate("2/1/2003"))", "Date:2003-01-02"},
        {"SetLocale 1036", "FormatDateTime(#1/2/2003#, 2)", "String:02/01/2003"},
        {"SetLocale 1036", "FormatDateTime(#1/2/2003#, 1)", "String:jeudi 2 janvier 2003"},
        {"SetLocale 1036", "FormatDateTime(#1/2/2003 13:04:05#, 3)", "String:13:04:05"},
        {"SetLocale 1036", "MonthName(1)", "String:janvier"},
        {"SetLocale 1036", "MonthName(1, True)", "String:janv."},
        {"SetLocale 1036", "WeekdayName(1, False, vbSunday)", "String:dimanche"},
        {"SetLocale 1036", "WeekdayName(2, False, vbSunday)", "String:lundi"},
        {"SetLocale 1031", "CStr(1.5)", "String:1,5"},
        {"SetLocale 1031", R"(1.5 & "")", "String:1,5"},
        {"SetLocale 1031", R"(CDbl("1.234,5"))", "Double:1234.5"},
        {"SetLocale 1031", R"(IsNumeric("1,5"))", "Boolean:True"},
        {"SetLocale 1031", "FormatNumber(1234.5, 2)", "String:1.234,50"},
        {"SetLocale 1031", "FormatNumber(-1.5, 1)", "String:-1,5"},
        {"SetLocale 1031", "FormatCurrency(1234.5)", "String:1.234,50 €"},
        {"SetLocale 1031", "CStr(#1/2/2003#)", "String:02.01.2003"},
        {"SetLocale 1031", "CStr(#1/2/2003 13:04:05#)", "String:02.01.2003 13:04:05"},
        {"SetLocale 1031", R"(CDate("2.1.2003"))", "Date:2003-01-02"},
        {"SetLocale 1031", "Month(#1/2/2003#)", "Integer:1"},
        {"SetLocale 1031", "FormatDateTime(#1/2/2003#, 1)", "String:Donnerstag, 2. Januar 2003"},
        {"SetLocale 1031", "MonthName(3)", "String:März"},
        {"SetLocale 1031", "WeekdayName(1, False, vbSunday)", "String:Sonntag"},
        {"SetLocale 1031", "WeekdayName(1, True, vbSunday)", "String:So"},
    };
    expectAll(cases);
}

// Missing keys, renamed keys, object keys, shared references, numeric keys.
TEST(ConformDictionary, MissingKeysAliasesAndObjectKeys) {
    const Case cases[] = {
        {"Set d = CreateObject(\"Scripting.Dictionary\")", "IsEmpty(d(\"x\"))", "Boolean:True"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")", "UBound(d.Keys)", "Long:-1"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d.Item(\"a\") = 5", "d.Count", "Long:1"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d.Key(\"missing\") = \"x\"", "0", "err:32811"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d.Add \"a\", 1 : d.Key(\"a\") = \"b\" : d.Add \"c\", 2", "Join(d.Keys, \",\")", "String:b,c"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : Set k = New RegExp : d.Add k, 1", "d.Exists(k)", "Boolean:True"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d.Add \"a\", 1 : Set e = d : e.Add \"b\", 2", "d.Count", "Long:2"},
        {"Set d = CreateObject(\"scripting.dictionary\")", "TypeName(d)", "String:Dictionary"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d.Add 1, \"i\"", "d(1) & \"|\" & d.Exists(CLng(1)) & \"|\" & d.Exists(1.5)", "String:i|True|False"},
        {"Set fso = CreateObject(\"Scripting.FileSystemObject\")", "fso.GetExtensionName(\"a.b.txt\")", "String:txt"},
    };
    expectAll(cases);
}

// Empty matches, case folding, For Each over matches, default Value.
TEST(ConformRegExp, EmptyMatchesIgnoreCaseAndIteration) {
    const Case cases[] = {
        {"Set re = New RegExp : re.Pattern = \"x*\" : re.Global = True : Set m = re.Execute(\"ab\")", "m.Count", "Long:3"},
        {"Set re = New RegExp : re.Pattern = \"[A-Z]+\" : re.Global = True : re.IgnoreCase = True", "re.Replace(\"abC1\", \"#\")", "String:#1"},
        {"Set re = New RegExp : re.Pattern = \"\\d+\" : re.Global = True : Set m = re.Execute(\"ab12cd34\") : For Each mm In m : s = s & mm.Value & \";\" : Next", "s", "String:12;34;"},
        {"Set re = New RegExp : re.Pattern = \"\\d+\" : Set m = re.Execute(\"ab12cd34\")", "m(0) & \"\"", "String:12"},
        {"Set re = New RegExp : re.Pattern = \"a.c\"", "re.Test(\"a\" & vbLf & \"c\")", "Boolean:False"},
        {"Set re = New RegExp : re.Pattern = \"zz\"", "re.Execute(\"ab\").Count", "Long:0"},
    };
    expectAll(cases);
}

// Default digits, large numbers, Empty and Boolean, named date forms.
TEST(ConformFormat, DefaultsLargeNumbersAndDateForms) {
    const Case cases[] = {
        {"", "FormatNumber(1234.5678, 2, , , -1)", "String:1,234.57"},
        {"", "FormatNumber(0)", "String:0.00"},
        {"", "FormatNumber(1E+20)", "String:100,000,000,000,000,000,000.00"},
        {"", "FormatNumber(\"1234.5\")", "String:1,234.50"},
        {"", "FormatNumber(Empty)", "String:0.00"},
        {"", "FormatNumber(True)", "String:-1.00"},
        {"", "FormatNumber(1234.5, -1)", "String:1,234.50"},
        {"", "FormatNumber(-1234.5, 1)", "String:-1,234.5"},
        {"", "FormatCurrency(0.5)", "String:$0.50"},
        {"", "FormatCurrency(1234.567, 0)", "String:$1,235"},
        {"", "FormatPercent(1)", "String:100.00%"},
        {"", "FormatPercent(-0.5)", "String:-50.00%"},
        {"", "FormatDateTime(0)", "String:12:00:00 AM"},
        {"", "FormatDateTime(#1/2/2003#)", "String:1/2/2003"},
        {"", "FormatDateTime(#13:04#, 4)", "String:13:04"},
        {"", "FormatDateTime(\"abc\")", "err:13"},
        {"", "FormatDateTime(#1/2/2003#, 5)", "err:5"},
    };
    expectAll(cases);
}

// Currency, date forms and numeric text under 1036 and 1031.
TEST(ConformLocale, CurrencyDatesAndTextUnderFrenchAndGerman) {
    const Case cases[] = {
        {"SetLocale 1036", "FormatNumber(1.5, 1)", "String:1,5"},
        {"SetLocale 1031", "FormatCurrency(-1.5)", "String:-1,50 €"},
        {"SetLocale 1036", "FormatCurrency(1.5)", "String:1,50 €"},
        {"SetLocale 1036", "IsNumeric(\"1,5\")", "Boolean:True"},
        {"SetLocale 1031", "CStr(True)", "String:True"},
        {"SetLocale 1036", "CDate(\"2 janvier 2003\")", "Date:2003-01-02"},
        {"SetLocale 1031", "IsDate(\"31.12.2003\")", "Boolean:True"},
        {"SetLocale 1031", "CDate(\"31.12.2003 14:00\")", "Date:2003-12-31 14:00:00"},
        {"SetLocale 1036", "FormatDateTime(#1/2/2003 13:04#, 4)", "String:13:04"},
        {"SetLocale 1031", "FormatDateTime(#1/2/2003 13:04:05#, 0)", "String:02.01.2003 13:04:05"},
        {"SetLocale 1036", "FormatDateTime(#1/2/2003 13:04:05#, 0)", "String:02/01/2003 13:04:05"},
        {"SetLocale 1036", "Day(#1/2/2003#)", "Integer:2"},
        {"SetLocale 1036", "CStr(1E+16)", "String:1E+16"},
        {"SetLocale 1036", "CStr(1.5E-7)", "String:1,5E-07"},
        {"SetLocale 1031", "CDbl(\"1e3\")", "Double:1000"},
        {"SetLocale 1031", "\"1,5\" + 1", "Double:2.5"},
        {"SetLocale 1031 : a = 1.5", "a = \"1,5\"", "Boolean:True"},
        {"", "SetLocale(99999)", "err:5"},
        {"", "SetLocale(\"xx-yy\")", "err:5"},
    };
    expectAll(cases);
}

// Decimal commas in conversions, month and day names.
TEST(ConformLocale, GermanAndFrenchNumbersAndNames) {
    const Case cases[] = {
        {"SetLocale 1031", "CStr(1234567.5)", "String:1234567,5"},
        {"SetLocale 1036", "FormatNumber(0.5, 2, 0)", "String:,50"},
        {"SetLocale 1031", "CCur(\"1,5\")", "Currency:1.5"},
        {"SetLocale 1031", "CInt(\"2,5\")", "Integer:2"},
        {"SetLocale 1031", "IsNumeric(\"1.000,5\")", "Boolean:True"},
        {"SetLocale 1031", "MonthName(12)", "String:Dezember"},
        {"SetLocale 1036", "MonthName(8)", "String:août"},
        {"SetLocale 1036", "WeekdayName(7, True, 1)", "String:sam."},
        {"SetLocale 1031", "WeekdayName(3, False, 1)", "String:Dienstag"},
    };
    expectAll(cases);
}

// Overwriting, text mode keys, order after removal, For Each over Items.
TEST(ConformDictionary, OverwriteTextModeAndOrder) {
    const Case cases[] = {
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d.Add \"a\", 1 : d(\"a\") = 2", "d(\"a\")", "Integer:2"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d.CompareMode = vbTextCompare : d(\"A\") = 1 : d(\"a\") = 2", "d.Count & \",\" & d(\"A\")", "String:1,2"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")", "TypeName(d.Keys)", "String:Variant()"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d.Add \"a\", 1 : d.Add \"b\", 2 : d.Remove \"a\" : d.Add \"a\", 3", "Join(d.Keys, \",\")", "String:b,a"},
        {"Set d = CreateObject(\"Scripting.Dictionary\") : d.Add \"a\", 1 : d.Add \"b\", 2\nFor Each v In d.Items : s = s & v : Next", "s", "String:12"},
    };
    expectAll(cases);
}

// Dictionaries that hold themselves or each other; Class_Terminate when the
// script lets such a dictionary go.
TEST(ConformDictionary, SelfReferencesAndCycles) {
    const std::string term = "Dim gone\nClass T\n Sub Class_Terminate : gone = gone + 1 : End Sub\nEnd Class\n";
    const Case cases[] = {
        {dict("d.Add \"me\", d"), "d(\"me\")(\"me\").Count", "Long:1"},
        {dict("Set e = CreateObject(\"Scripting.Dictionary\")\nd.Add 1, e : e.Add 2, d"), "d(1)(2)(1).Count", "Long:1"},
        {dict("d.Add d, \"self\""), "d(d)", "String:self"},
        {dict("d.Add \"a\", Array(d, 1)"), "UBound(d(\"a\")(0)(\"a\"))", "Long:1"},
        {term + dict("d.Add \"me\", d : d.Add \"t\", New T\nd.Remove \"me\" : Set d = Nothing"), "gone", "Integer:1"},
        {term + dict("d.Add \"me\", d : d.Add \"t\", New T\nd.RemoveAll"), "gone", "Integer:1"},
        {term + dict("d.Add \"t\", New T\nd(\"t\") = 0"), "gone", "Integer:1"},
        {term + dict("d.Add \"me\", d : d.Add \"t\", New T\nSet d = Nothing"), "IsEmpty(gone)", "Boolean:True"},
    };
    expectAll(cases);
}

// Lookahead, lazy quantifiers, back references, empty patterns.
TEST(ConformRegExp, LookaheadLazyBackreferencesAndEmptyPattern) {
    const Case cases[] = {
        {"Set re = New RegExp : re.Pattern = \"a(?=b)\" : re.Global = True", "re.Replace(\"abac\", \"x\")", "String:xbac"},
        {"Set re = New RegExp : re.Pattern = \"a.*?b\"", "re.Replace(\"aXbYb\", \"-\")", "String:-Yb"},
        {"Set re = New RegExp : re.Pattern = \"(a)\\1\"", "re.Test(\"aa\")", "Boolean:True"},
        {"Set re = New RegExp : re.Pattern = \"\"", "re.Replace(\"ab\", \"-\")", "String:-ab"},
        {"Set re = New RegExp : re.Pattern = \"\" : re.Global = True", "re.Replace(\"ab\", \"-\")", "String:-a-b-"},
    };
    expectAll(cases);
}

// Escapes without a meaning of their own are the letter itself (\A, \Z, \z,
// \G, \Q, \E ... are no anchors here); \v is the vertical tab; numbered
// escapes are back references only when the groups exist; what only PCRE
// has (other (? groups, verbs, possessive quantifiers) is refused.
TEST(ConformRegExp, EscapesAndConstructsOfTheLanguageOnly) {
    auto test = [](const char* pattern, const char* subject) {
        return std::string("Set re = New RegExp : re.Pattern = \"") + pattern + "\" : r = re.Test(" + subject + ")";
    };
    const Case cases[] = {
        {test("\\Ab", "\"Ab\""), "r", "Boolean:True"},
        {test("\\Ab", "\"b\""), "r", "Boolean:False"},
        {test("a\\Z", "\"aZ\""), "r", "Boolean:True"},
        {test("a\\Z", "\"a\""), "r", "Boolean:False"},
        {test("^a\\z$", "\"az\""), "r", "Boolean:True"},
        {test("\\Ga", "\"Ga\""), "r", "Boolean:True"},
        {test("\\Qa.b\\E", "\"Qa-bE\""), "r", "Boolean:True"},
        {test("\\Qa.b\\E", "\"a.b\""), "r", "Boolean:False"},
        {test("^\\h$", "\"h\""), "r", "Boolean:True"},
        {test("\\h", "\" \""), "r", "Boolean:False"},
        {test("a\\Kb", "\"aKb\""), "r", "Boolean:True"},
        {test("^\\p{L}$", "\"p{L}\""), "r", "Boolean:True"},
        {test("^\\R$", "\"R\""), "r", "Boolean:True"},
        {test("\\v", "Chr(11)"), "r", "Boolean:True"},
        {test("\\v", "vbLf"), "r", "Boolean:False"},
        {test("^\\x41\\u0042$", "\"AB\""), "r", "Boolean:True"},
        {test("^\\cA$", "Chr(1)"), "r", "Boolean:True"},
        {test("^\\c1$", "\"c1\""), "r", "Boolean:True"},
        {test("^\\1$", "Chr(1)"), "r", "Boolean:True"},        // no group 1: octal
        {test("^\\101$", "\"A\""), "r", "Boolean:True"},
        {test("^\\8$", "\"8\""), "r", "Boolean:True"},
        {test("^(a)\\1$", "\"aa\""), "r", "Boolean:True"},
        {test("^(a)\\12$", "\"aa2\""), "r", "Boolean:True"},  // group 1, then 2
        {test("^[\\A\\z]+$", "\"Az\""), "r", "Boolean:True"},
        {test("^[\\B]$", "\"B\""), "r", "Boolean:True"},
        {test("^[\\1]$", "Chr(1)"), "r", "Boolean:True"},
        {test("^[[:alpha:]]$", "\"a]\""), "r", "Boolean:True"},  // no POSIX classes
        {test("^[[:alpha:]]$", "\"a\""), "r", "Boolean:False"},
        {test("^a.b$", "\"a\" & vbCr & \"b\""), "r", "Boolean:True"},
        {test("^a+?b{1,2}?c*$", "\"abc\""), "r", "Boolean:True"},
        {test("^a(?:b)(?=c)(?!d)c$", "\"abc\""), "r", "Boolean:True"},
        {test("a++", "\"a\""), "0", "err:5018"},
        {test("a*+", "\"a\""), "0", "err:5018"},
        {test("a{2}+", "\"aa\""), "0", "err:5018"},
        {test("a?+", "\"a\""), "0", "err:5018"},
        {test("(?<=a)b", "\"ab\""), "0", "err:5018"},
        {test("(?<n>a)", "\"a\""), "0", "err:5018"},
        {test("(?i)a", "\"A\""), "0", "err:5018"},
        {test("(?>a)", "\"a\""), "0", "err:5018"},
        {test("(?#c)a", "\"a\""), "0", "err:5018"},
        {test("(*UTF)a", "\"a\""), "0", "err:5018"},
        {test("[a", "\"a\""), "0", "err:5019"},
        {test("(a", "\"a\""), "0", "err:5020"},
        {"Set re = New RegExp : re.Pattern = \"\\Z\" : re.Global = True", "re.Replace(\"aZbZ\", \"-\")", "String:a-b-"},
    };
    expectAll(cases);
}

// Format functions round half away from zero (unlike Round); decimal commas in text.
TEST(ConformFormat, HalfAwayFromZeroAndLocaleText) {
    const Case cases[] = {
        {"SetLocale 1036 : x = 1.5 : y = \"\" & x", "y", "String:1,5"},
        {"SetLocale 1036", "CStr(-1.5)", "String:-1,5"},
        {"SetLocale 1036", "CDbl(\"1,5E2\")", "Double:150"},
        {"", "FormatNumber(2.5, 0)", "String:3"},
        {"", "FormatNumber(-2.5, 0)", "String:-3"},
        {"", "FormatNumber(0.125, 2)", "String:0.13"},
        {"", "FormatCurrency(0.125)", "String:$0.13"},
        {"", "FormatNumber(1.005, 2)", "String:1.01"},
        {"SetLocale 1031", "FormatNumber(1234.5, 0)", "String:1.235"},
    };
    expectAll(cases);
}

// Replacement patterns ($1, $$, $&, $` and $'), groups that did not take part, escapes.
TEST(ConformRegExp, ReplacementPatternsAndGroups) {
    const Case cases[] = {
        {"Set re = New RegExp : re.Pattern = \"(\\d+)\"", "re.Replace(\"a1b22\", \"<$1>\")", "String:a<1>b22"},
        {"Set re = New RegExp : re.Pattern = \"a\"", "re.Replace(\"a\", \"$x\")", "String:$x"},
        {"Set re = New RegExp : re.Pattern = \"a\"", "re.Replace(\"a\", \"$$\")", "String:$"},
        {"Set re = New RegExp : re.Pattern = \"b\"", "re.Replace(\"abc\", \"[$&]\")", "String:a[b]c"},
        {"Set re = New RegExp : re.Pattern = \"b\"", "re.Replace(\"abc\", \"[$`|$']\")", "String:a[a|c]c"},
        {"Set re = New RegExp : re.Pattern = \"(a)|(b)\" : Set m = re.Execute(\"b\")", "IsEmpty(m(0).SubMatches(0))", "Boolean:True"},
        {"Set re = New RegExp : re.Pattern = \"\\u0041\\x42\"", "re.Test(\"AB\")", "Boolean:True"},
        {"Set re = New RegExp : re.Pattern = \"(?:a)(b)\" : Set m = re.Execute(\"ab\")", "m(0).SubMatches(0)", "String:b"},
    };
    expectAll(cases);
}

// Halves round away from zero, parentheses switched off, dates given as numbers or text.
TEST(ConformFormat, HalfRoundingParenthesesAndNumericDates) {
    const Case cases[] = {
        {"", "FormatNumber(0.5, 0)", "String:1"},
        {"", "FormatNumber(-0.5, 0)", "String:-1"},
        {"", "FormatNumber(12345678)", "String:12,345,678.00"},
        {"", "FormatNumber(0.001, 2)", "String:0.00"},
        {"", "FormatNumber(1, 2, -2)", "String:1.00"},
        {"", "FormatNumber(-5, 0, , -1)", "String:(5)"},
        {"", "FormatNumber(1234, 0, , , -1)", "String:1,234"},
        {"", "FormatNumber(\"\")", "err:13"},
        {"", "FormatPercent(0.001234, 2)", "String:0.12%"},
        {"", "FormatCurrency(-0.5, 2, , 0)", "String:-$0.50"},
        {"", "FormatCurrency(1E+15)", "String:$1,000,000,000,000,000.00"},
        {"", "FormatDateTime(Empty)", "String:12:00:00 AM"},
        {"", "FormatDateTime(\"1/2/2003\", 2)", "String:1/2/2003"},
        {"", "FormatDateTime(37623)", "String:1/2/2003"},
        {"", "MonthName(\"2\")", "String:February"},
        {"", "MonthName(Null)", "err:94"},
        {"", "WeekdayName(7)", "String:Saturday"},
    };
    expectAll(cases);
}

// $ does not match before a final line feed; a trailing $ in a replacement is literal; empty matches count.
TEST(ConformRegExp, AnchorsWithoutMultilineAndEmptyMatches) {
    const Case cases[] = {
        {"Set re = New RegExp : re.Pattern = \"a$\"", "re.Test(\"a\" & vbLf)", "Boolean:False"},
        {"Set re = New RegExp : re.Pattern = \"a$\" : re.Multiline = True", "re.Test(\"a\" & vbLf & \"b\")", "Boolean:True"},
        {"Set re = New RegExp : re.Pattern = \"^b\"", "re.Test(\"a\" & vbLf & \"b\")", "Boolean:False"},
        {"Set re = New RegExp : re.Pattern = \"a\"", "re.Replace(\"a\", \"x$\")", "String:x$"},
        {"Set re = New RegExp : re.Pattern = \"a*\" : re.Global = True", "re.Execute(\"baaac\").Count", "Long:4"},
    };
    expectAll(cases);
}

// After a dot every keyword is a member name: the call reaches the object, which does not have it.
// IsNumeric looks at an object's default value; RegExp.Replace writes a
// Boolean replacement as its number.
TEST(ConformRegExp, BooleanReplacementsAndNumericDefaults) {
    const std::string cls =
        "Class N\n Public v\n Public Default Property Get Value\n  Value = v\n End Property\nEnd Class\n";
    const Case cases[] = {
        {"Set r = New RegExp : r.Pattern = \"b\" : r.Global = True", "r.Replace(\"abcb\", True)", "String:a-1c-1"},
        {"Set r = New RegExp : r.Pattern = \"b\"", "r.Replace(\"abc\", False)", "String:a0c"},
        {"Set r = New RegExp : r.Pattern = \"b\"", "r.Replace(\"abc\", 1.5)", "String:a1.5c"},
        {cls + "Set o = New N : o.v = 5", "IsNumeric(o)", "Boolean:True"},
        {cls + "Set o = New N : o.v = \"12\"", "IsNumeric(o)", "Boolean:True"},
        {cls + "Set o = New N : o.v = \"x\"", "IsNumeric(o)", "Boolean:False"},
        {"Class C\nEnd Class\nSet o = New C", "IsNumeric(o) & IsNumeric(Nothing)", "String:FalseFalse"},
    };
    expectAll(cases);
}

TEST(ConformStatements, KeywordsAsMemberNames) {
    const Case cases[] = {
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Select", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.End", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Type", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Execute", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Step", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Next", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Class", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Property", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Date", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Error", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Loop", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.To", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Case", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Set", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Call", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Sub", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Function", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Dim", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.If", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Then", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Each", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.In", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.With", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Mod", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.And", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Or", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Not", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Is", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.New", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Nothing", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Empty", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Null", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.True", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.False", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Me", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Let", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Get", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Exit", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Do", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.While", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Wend", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Until", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Else", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.ElseIf", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Public", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Private", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Const", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.ReDim", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Erase", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.On", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Resume", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Option", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Explicit", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Stop", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Randomize", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Preserve", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.ByVal", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.ByRef", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Default", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Xor", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Eqv", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Imp", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.For", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nx = d.Goto", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nd.Select", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nd.End", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nd.Execute", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nd.Type", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nd.Close", "0", "err:438"},
        {"Set d = CreateObject(\"Scripting.Dictionary\")\nd.Open", "0", "err:438"},
    };
    expectAll(cases);
}

// FileSystemObject on real files in a fresh folder: writing, reading back,
// appending, and the errors for missing files and folders and existing files.
TEST(ConformFileSystem, TextFilesRoundTripAndErrors) {
    std::string dirTemplate = (std::filesystem::temp_directory_path() / "qzconformXXXXXX").string();
    ASSERT_NE(mkdtemp(dirTemplate.data()), nullptr);
    const std::string dir = dirTemplate;
    const std::string fso = "Set fso = CreateObject(\"Scripting.FileSystemObject\")\n";
    auto path = [&](const char* name) { return "\"" + dir + "/" + name + "\""; };
    const Case cases[] = {
        {fso, "fso.GetBaseName(\"a.b.txt\") & \"|\" & fso.GetExtensionName(\"noext\")", "String:a.b|"},
        {fso, "fso.FileExists(" + path("none.txt") + ")", "Boolean:False"},
        {fso, "fso.FolderExists(\"" + dir + "\")", "Boolean:True"},
        {fso + "Set t = fso.CreateTextFile(" + path("a.txt") + ", True)\nt.WriteLine \"abc\"\nt.Write \"def\"\n"
               "t.Close\nSet r = fso.OpenTextFile(" + path("a.txt") + ")\nl1 = r.ReadLine\nl2 = r.ReadLine\n"
               "e = r.AtEndOfStream\nr.Close",
         "l1 & \"|\" & l2 & \"|\" & e", "String:abc|def|True"},
        {fso + "Set r = fso.OpenTextFile(" + path("none.txt") + ")", "0", "err:53"},
        {fso + "Set r = fso.OpenTextFile(\"" + dir + "/nodir/none.txt\")", "0", "err:76"},
        {fso + "Set t = fso.CreateTextFile(" + path("b.txt") + ")\nt.Write \"x\"\nt.Close\n"
               "Set t = fso.CreateTextFile(" + path("b.txt") + ", False)",
         "0", "err:58"},
        {fso + "Set t = fso.OpenTextFile(" + path("c.txt") + ", 8, True)\nt.Write \"1\"\nt.Close\n"
               "Set t = fso.OpenTextFile(" + path("c.txt") + ", 8)\nt.Write \"2\"\nt.Close",
         "fso.OpenTextFile(" + path("c.txt") + ").ReadAll", "String:12"},
    };
    expectAll(cases);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace qz::script::conformance
