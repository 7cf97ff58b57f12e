// Conversion functions (rounding, overflow, odd strings), CStr of numbers,
// Hex and Oct, IsNumeric, type information and the math functions.
#include "Conformance.h"

namespace qz::script::conformance {
namespace {

// "#TRUE#" and "#FALSE#" read as Booleans (CBool and conditions); CByte of
// True keeps its low byte; a number as text is a serial day to CDate.
TEST(ConformConversions, BooleanTextsByteOfTrueAndNumericDates) {
    const Case cases[] = {
        {"", "CBool(\"#TRUE#\") & CBool(\"#false#\") & CBool(\"true\")", "String:TrueFalseTrue"},
        {"If \"#FALSE#\" Then r = 1 Else r = 2", "r", "Integer:2"},
        {"If \"#True#\" Then r = 1 Else r = 2", "r", "Integer:1"},
        {"Do While \"#TRUE#\" : n = n + 1 : If n = 3 Then Exit Do\nLoop", "n", "Integer:3"},
        {"", "CBool(\"#yes#\")", "err:13"},
        {"", "CByte(True)", "Byte:255"},
        {"", "CByte(False)", "Byte:0"},
        {"", "CByte(-1)", "err:6"},
        {"", "CDate(\"2\")", "Date:1900-01-01"},
        {"", "CDate(\"-1\")", "Date:1899-12-29"},
        {"", "CDate(\"1/2/2003\")", "Date:2003-01-02"},
        {"", "CDate(\"3000000\")", "err:6"},
        {"", "CDate(\"abc\")", "err:13"},
        {"", "IsDate(\"2\")", "Boolean:False"},
    };
    expectAll(cases);
}

// Round keeps a Boolean; the message box buttons, icons, default buttons,
// modality and answers are Integers, the four option flags Longs.
TEST(ConformMath, RoundOfBooleansAndMessageBoxConstants) {
    const Case cases[] = {
        {"", "Round(True)", "Boolean:True"},
        {"", "Round(False, 2)", "Boolean:False"},
        {"", "Round(True, -1)", "err:5"},
        {"b = True", "Round(b) + 0", "Integer:-1"},
        {"", "TypeName(vbOKOnly) & TypeName(vbYes) & TypeName(vbMsgBoxHelpButton)", "String:IntegerIntegerLong"},
        {"", "VarType(vbCritical + vbYesNo)", "Integer:2"},
        {"", "vbDefaultButton2", "Integer:256"},
        {"", "vbRetryCancel & vbInformation & vbDefaultButton4 & vbSystemModal & vbApplicationModal",
         "String:5647684096" "0"},
        {"", "TypeName(vbExclamation) & TypeName(vbSystemModal) & TypeName(vbNo) & TypeName(vbDefaultButton1)",
         "String:IntegerIntegerIntegerInteger"},
        {"", "TypeName(vbMsgBoxSetForeground) & TypeName(vbMsgBoxRight) & TypeName(vbMsgBoxRtlReading)",
         "String:LongLongLong"},
        {"", "vbMsgBoxRtlReading + vbYesNo", "Long:1048580"},
    };
    expectAll(cases);
}

TEST(ConformConversions, RoundingToEvenAndOverflow) {
    const Case cases[] = {
        {"", "CInt(2.5)", "Integer:2"},
        {"", "CInt(3.5)", "Integer:4"},
        {"", "CInt(-2.5)", "Integer:-2"},
        {"", R"(CInt("2.5"))", "Integer:2"},
        {"", "CLng(2.5)", "Long:2"},
        {"", "CLng(-0.5)", "Long:0"},
        {"", "CByte(-0.5)", "Byte:0"},
        {"", "CByte(255.5)", "err:6"},
        {"", "CByte(256)", "err:6"},
        {"", "CByte(-1)", "err:6"},
        {"", "CInt(32768)", "err:6"},
        {"", "CInt(40000)", "err:6"},
        {"", "CLng(2147483647.5)", "err:6"},
        {"", R"(CLng("2147483648"))", "err:6"},
        {"", "CInt(True)", "Integer:-1"},
        {"", "CInt(Empty)", "Integer:0"},
        {"", "CInt(Null)", "err:94"},
        {"", "CLng(Null)", "err:94"},
        {"", "CStr(Null)", "err:94"},
        {"", "CBool(Null)", "err:94"},
        {"", R"(CInt(""))", "err:13"},
        {"", R"(CInt("a"))", "err:13"},
        {"", R"(CInt("&H10"))", "Integer:16"},
        {"", R"(CInt("1e2"))", "Integer:100"},
        {"", R"(CLng("  -12  "))", "Long:-12"},
        {"", R"(CLng("1,000"))", "Long:1000"},
        {"", R"(CDbl("1e3"))", "Double:1000"},
        {"", R"(CDbl(" 12 "))", "Double:12"},
        {"", R"(CCur("1.23456"))", "Currency:1.2346"},
        {"", "CSng(1.1)", "Single:1.1"},
        {"", "CDbl(CSng(1.1))", "Double:1.100000023841858"},
        {"", "CDbl(#1/1/2000#)", "Double:36526"},
        {"", R"(CBool("true"))", "Boolean:True"},
        {"", R"(CBool("yes"))", "err:13"},
        {"", "CBool(0.1)", "Boolean:True"},
    };
    expectAll(cases);
}

TEST(ConformConversions, NumbersToText) {
    const Case cases[] = {
        {"", "CStr(1E+16)", "String:1E+16"},
        {"", "CStr(1E15)", "String:1E+15"},
        {"", "CStr(999999999999999)", "String:999999999999999"},
        {"", "CStr(100000000000000000000)", "String:1E+20"},
        {"", "CStr(2 ^ 53)", "String:9.00719925474099E+15"},
        {"", "CStr(12345678901234567)", "String:1.23456789012346E+16"},
        {"", "CStr(0.1 + 0.2)", "String:0.3"},
        {"", "CStr(1 / 3)", "String:0.333333333333333"},
        {"", "CStr(1.23456789012345678)", "String:1.23456789012346"},
        {"", "CStr(0.0001)", "String:0.0001"},
        {"", "CStr(0.00001)", "String:1E-05"},
        {"", "CStr(-1E-20)", "String:-1E-20"},
        {"", "CStr(-0.5)", "String:-0.5"},
        {"", "CStr(CSng(1 / 3))", "String:0.3333333"},
        {"", "CStr(CSng(0.1))", "String:0.1"},
        {"", "CStr(CCur(1.5))", "String:1.5"},
        {"", "CStr(True)", "String:True"},
        {"", R"(1.5 & "")", "String:1.5"},
        {"", R"(False & "")", "String:False"},
        {"", "CStr(#1/2/2003#)", "String:1/2/2003"},
        {"", "CStr(#1/2/2003 13:04:05#)", "String:1/2/2003 1:04:05 PM"},
        {"", "CStr(#13:04:05#)", "String:1:04:05 PM"},
        {"", "CStr(#12/30/1899#)", "String:12:00:00 AM"},
    };
    expectAll(cases);
}

TEST(ConformConversions, HexAndOct) {
    const Case cases[] = {
        {"", "Hex(255)", "String:FF"},
        {"", "Hex(-1)", "String:FFFF"},
        {"", "Hex(CLng(-1))", "String:FFFFFFFF"},
        {"", "Hex(-32769)", "String:FFFF7FFF"},
        {"", "Hex(-2147483648)", "String:80000000"},
        {"", "Hex(65536)", "String:10000"},
        {"", "Hex(CByte(255))", "String:FF"},
        {"", "Hex(1.5)", "String:2"},
        {"", "Hex(2.5)", "String:2"},
        {"", R"(Hex("16"))", "String:10"},
        {"", "Hex(Null)", "Null"},
        {"", "Hex(Empty)", "String:0"},
        {"", "Hex(4294967296)", "err:6"},
        {"", "Oct(8)", "String:10"},
        {"", "Oct(-1)", "String:177777"},
    };
    expectAll(cases);
}

TEST(ConformConversions, IsNumericIsDateOnOddValues) {
    const Case cases[] = {
        {"", R"(IsNumeric("12"))", "Boolean:True"},
        {"", R"(IsNumeric(" 1 "))", "Boolean:True"},
        {"", R"(IsNumeric("1e5"))", "Boolean:True"},
        {"", R"(IsNumeric("&HFF"))", "Boolean:True"},
        {"", R"(IsNumeric("1,000"))", "Boolean:True"},
        {"", R"(IsNumeric(""))", "Boolean:False"},
        {"", R"(IsNumeric("abc"))", "Boolean:False"},
        {"", R"(IsNumeric("-"))", "Boolean:False"},
        {"", R"(IsNumeric("."))", "Boolean:False"},
        {"", "IsNumeric(Empty)", "Boolean:True"},
        {"", "IsNumeric(Null)", "Boolean:False"},
        {"", "IsNumeric(True)", "Boolean:True"},
        {"", "IsNumeric(#1/1/2000#)", "Boolean:False"},
        {"", R"(IsDate("1/2/2003"))", "Boolean:True"},
        {"", R"(IsDate("12:00"))", "Boolean:True"},
        {"", R"(IsDate("2/30/2003"))", "Boolean:False"},
        {"", R"(IsDate("25:00"))", "Boolean:False"},
        {"", R"(IsDate(""))", "Boolean:False"},
        {"", "IsDate(Null)", "Boolean:False"},
    };
    expectAll(cases);
}

TEST(ConformConversions, TypeInformation) {
    const Case cases[] = {
        {"", "TypeName(1)", "String:Integer"},
        {"", "TypeName(Empty)", "String:Empty"},
        {"", "TypeName(Null)", "String:Null"},
        {"", R"(TypeName(""))", "String:String"},
        {"", "TypeName(CCur(1))", "String:Currency"},
        {"", "TypeName(CByte(1))", "String:Byte"},
        {"", "TypeName(CSng(1))", "String:Single"},
        {"", "TypeName(Now)", "String:Date"},
        {"", "TypeName(Array())", "String:Variant()"},
        {"", "TypeName(Nothing)", "String:Nothing"},
        {"", R"(TypeName(CreateObject("Scripting.Dictionary")))", "String:Dictionary"},
        {"", "TypeName(New RegExp)", "String:IRegExp2"},
        {"", R"(VarType(""))", "Integer:8"},
        {"", "VarType(Null)", "Integer:1"},
        {"", "VarType(Array(1))", "Integer:8204"},
        {"", "IsEmpty(Empty)", "Boolean:True"},
        {"", R"(IsEmpty(""))", "Boolean:False"},
        {"", "IsNull(Empty)", "Boolean:False"},
        {"", "IsObject(Nothing)", "Boolean:True"},
        {"", "IsArray(Array())", "Boolean:True"},
        {"", "RGB(255, 0, 0)", "Long:255"},
        {"", "RGB(0, 0, 255)", "Long:16711680"},
        {"", "RGB(300, 0, 0)", "Long:255"},
    };
    expectAll(cases);
}

TEST(ConformMath, RoundFixIntAndFriends) {
    const Case cases[] = {
        {"", "Round(2.5)", "Double:2"},
        {"", "Round(3.5)", "Double:4"},
        {"", "Round(-2.5)", "Double:-2"},
        {"", "Round(1.5, 0)", "Double:2"},
        {"", "Round(1.2345, 2)", "Double:1.23"},
        {"", "Round(0.125, 2)", "Double:0.12"},
        {"", "Round(CInt(5))", "Integer:5"},
        {"", "Round(CCur(2.5))", "Currency:2"},
        {"", R"(Round("2.5"))", "Double:2"},
        {"", "Round(Null)", "Null"},
        {"", "Round(12.5, -1)", "err:5"},
        {"", R"(Round("abc"))", "err:13"},
        {"", "Int(-1.5)", "Double:-2"},
        {"", "Int(1.5)", "Double:1"},
        {"", "Int(-0.5)", "Double:-1"},
        {"", "Fix(-1.5)", "Double:-1"},
        {"", R"(Fix("2.7"))", "Double:2"},
        {"", "Int(CInt(3))", "Integer:3"},
        {"", "Int(CCur(-1.5))", "Currency:-2"},
        {"", "Fix(CCur(-1.5))", "Currency:-1"},
        {"", "Int(Null)", "Null"},
        {"", "Int(Empty)", "Integer:0"},
        {"", R"(Int("a"))", "err:13"},
        {"", "Sgn(-3.2)", "Integer:-1"},
        {"", "Sgn(0)", "Integer:0"},
        {"", "Abs(-3)", "Integer:3"},
        {"", R"(Abs("-3"))", "Double:3"},
        {"", "Abs(Null)", "Null"},
        {"", "Sqr(4)", "Double:2"},
        {"", "Sqr(2)", "Double:1.4142135623730951"},
        {"", "Sqr(-1)", "err:5"},
        {"", "Log(0)", "err:5"},
        {"", "Log(Exp(1))", "Double:1"},
        {"", "Exp(1000)", "err:6"},
        {"", "Atn(1) * 4", "Double:3.141592653589793"},
    };
    expectAll(cases);
}

// Rnd with a negative seed, Timer's subtype, engine version.
TEST(ConformConversions, EngineInformationAndRandom) {
    const Case cases[] = {
        {"", "Rnd(-1) = Rnd(-1)", "Boolean:True"},
        {"Randomize", "Rnd >= 0 And Rnd < 1", "Boolean:True"},
        {"", "TypeName(Timer)", "String:Single"},
        {"", "TypeName(Date) & TypeName(Time)", "String:DateDate"},
        {"", "ScriptEngine", "String:VBScript"},
        {"", "ScriptEngineMajorVersion & \".\" & ScriptEngineMinorVersion", "String:5.8"},
    };
    expectAll(cases);
}

// Single keeps seven digits, Currency four decimals, Double fifteen.
TEST(ConformConversions, SingleCurrencyAndDoubleToText) {
    const Case cases[] = {
        {"", "CStr(CCur(1234.5678))", "String:1234.5678"},
        {"", "CStr(CSng(1E+20))", "String:1E+20"},
        {"", "CStr(CSng(123456789))", "String:1.234568E+08"},
        {"", "CStr(1234567890123456)", "String:1.23456789012346E+15"},
        {"", "CStr(0.1 * 3)", "String:0.3"},
        {"", "CStr(100 * 1.1)", "String:110"},
        {"", "CStr(-1E+16)", "String:-1E+16"},
        {"", "CStr(2 ^ 31)", "String:2147483648"},
        {"", "CStr(1 / 7)", "String:0.142857142857143"},
        {"", "CStr(123.456E-10)", "String:1.23456E-08"},
    };
    expectAll(cases);
}

// Booleans from text, range overflow, the number forms text may take.
TEST(ConformConversions, TextToNumberForms) {
    const Case cases[] = {
        {"", "CBool(\"False\")", "Boolean:False"},
        {"", "CBool(\"0\")", "Boolean:False"},
        {"", "CByte(\"255\")", "Byte:255"},
        {"", "CCur(1E20)", "err:6"},
        {"", "CDbl(\"1E400\")", "err:6"},
        {"", "CSng(1E40)", "err:6"},
        {"", "CDbl(\".5\")", "Double:0.5"},
        {"", "CDbl(\"5e\")", "err:13"},
        {"", "CDbl(\"1 000\")", "err:13"},
        {"", "CDbl(\"+5\")", "Double:5"},
        {"", "CDbl(\"-\")", "err:13"},
        {"", "CDbl(\"5-\")", "Double:-5"},
        {"", "CDbl(\"(5)\")", "Double:-5"},
        {"", "CDbl(\"$5\")", "Double:5"},
        {"", "CDbl(\"&H10\")", "Double:16"},
        {"", "CDbl(\"&O10\")", "Double:8"},
        {"", "CInt(\"1e10\")", "err:6"},
        {"", "Hex(-0.4)", "String:0"},
        {"", "Oct(-32769)", "String:37777677777"},
        {"", "Hex(\"&HFF\")", "String:FF"},
        {"", "Hex(True)", "String:FFFF"},
    };
    expectAll(cases);
}

// Binary fractions, underflow, fifteen digits, exponents.
TEST(ConformConversions, DoublesToTextAtTheEdges) {
    const Case cases[] = {
        {"", "(0.1 + 0.7) * 10 & \"\"", "String:8"},
        {"", "CStr(1E-300 * 1E-300)", "String:0"},
        {"", "CStr(123456789012345.6)", "String:123456789012346"},
        {"", "CStr(1E+100)", "String:1E+100"},
        {"", "CStr(5E-5)", "String:5E-05"},
        {"", "CStr(0.001)", "String:0.001"},
    };
    expectAll(cases);
}

// VarType codes, Sgn and Abs of edge values, rounding half to even.
TEST(ConformMath, SubtypesOfMathResults) {
    const Case cases[] = {
        {"", "IsObject(New RegExp)", "Boolean:True"},
        {"", "VarType(CCur(1)) & VarType(#1/1/2000#) & VarType(CByte(1)) & VarType(Nothing) & VarType(Empty) & VarType(True) & VarType(1.5) & VarType(CSng(1))", "String:6717901154"},
        {"", "Sgn(\"-5\")", "Integer:-1"},
        {"", "Sgn(Empty)", "Integer:0"},
        {"", "Abs(CInt(-32768))", "Long:32768"},
        {"", "Fix(Empty)", "Integer:0"},
        {"", "Round(2.5, 0)", "Double:2"},
        {"", "Round(0.5)", "Double:0"},
        {"", "Round(1.55, 1)", "Double:1.6"},
        {"", "Log(-1)", "err:5"},
        {"", "Cos(0)", "Double:1"},
        {"", "2 ^ 1024", "err:6"},
        {"", "(-2) ^ 2", "Double:4"},
    };
    expectAll(cases);
}

// Arguments beyond Long, Currency at its limits, Hex beyond 32 bits, Boolean text.
TEST(ConformConversions, LimitsOfLongCurrencyAndHex) {
    const Case cases[] = {
        {"", "Left(\"abc\", 2147483648)", "err:6"},
        {"", "Mid(\"abc\", 2147483647)", "String:"},
        {"", "InStr(2147483647, \"a\", \"a\")", "Long:0"},
        {"", "CStr(CCur(\"922337203685477.5807\"))", "String:922337203685477.5807"},
        {"", "CCur(\"922337203685477.5808\")", "err:6"},
        {"", "CCur(0.1) * 3", "Currency:0.3"},
        {"", "DateSerial(2000, 1.5, 1)", "Date:2000-02-01"},
        {"", "TimeSerial(0, 0, 3600)", "Date:1899-12-30 01:00:00"},
        {"", "Hour(#23:59:59#)", "Integer:23"},
        {"", "\"2\" * \"3\"", "Double:6"},
        {"", "Hex(2 ^ 31)", "err:6"},
        {"", "IsEmpty(Nothing)", "Boolean:False"},
        {"", "IsNull(Nothing)", "Boolean:False"},
        // An object's default value is what the inquiries look at; one
        // without a default member is neither Null nor Empty, nor an error.
        {"Class C\n Public v\nEnd Class\nSet o = New C",
         "IsNull(o) & IsEmpty(o) & IsNumeric(o) & IsDate(o) & IsObject(o) & VarType(o)", "String:FalseFalseFalseFalseTrue9"},
        {"Class C\n Public Default Function F(i)\n F = i\n End Function\nEnd Class\nSet o = New C",
         "IsNull(o) & IsEmpty(o) & IsNumeric(o) & IsDate(o)", "String:FalseFalseFalseFalse"},
        {"Class D\n Public v\n Public Default Property Get Value\n  Value = v\n End Property\nEnd Class\n"
         "Set o = New D : r = IsEmpty(o) : o.v = Null : r = r & IsNull(o) & IsArray(o) & IsObject(o) : o.v = \"1/2/2003\"",
         "r & IsDate(o) & IsNumeric(o)", "String:TrueTrueFalseTrueTrueFalse"},
        {"", "CStr(CBool(5))", "String:True"},
    };
    expectAll(cases);
}

// Empty text fails, Empty and True become dates, hex text to Byte, rounding and math on text.
TEST(ConformConversions, EmptyTextNullAndBooleansConverted) {
    const Case cases[] = {
        {"", "CLng(\"\")", "err:13"},
        {"", "CBool(\"\")", "err:13"},
        {"", "CDate(Empty)", "Date:1899-12-30"},
        {"", "CDate(Null)", "err:94"},
        {"", "CDate(True)", "Date:1899-12-29"},
        {"", "CStr(CDate(0.5))", "String:12:00:00 PM"},
        {"", "CByte(\"&HFF\")", "Byte:255"},
        {"", "Round(1234.5678, 2)", "Double:1234.57"},
        {"", "Round(-1.5)", "Double:-2"},
        {"", "Int(\"1e2\")", "Double:100"},
        {"", "Sgn(\"abc\")", "err:13"},
        {"", "Sqr(\"4\")", "Double:2"},
    };
    expectAll(cases);
}

// Text that is or is not a number or a date: separators, signs, currency, year windows.
TEST(ConformConversions, OddNumericAndDateText) {
    const Case cases[] = {
        {"", "IsNumeric(\"1 2\")", "Boolean:False"},
        {"", "IsNumeric(\" \")", "Boolean:False"},
        {"", "IsNumeric(\"1.2.3\")", "Boolean:False"},
        {"", "IsNumeric(\"&HG\")", "Boolean:False"},
        {"", "IsNumeric(\"0x10\")", "Boolean:False"},
        {"", "IsNumeric(\"--1\")", "Boolean:False"},
        {"", "IsNumeric(\"5-\")", "Boolean:True"},
        {"", "IsNumeric(\"(5)\")", "Boolean:True"},
        {"", "IsNumeric(\"$5\")", "Boolean:True"},
        {"", "IsDate(\"1/2/03\")", "Boolean:True"},
        {"", "IsDate(\"12/31/9999\")", "Boolean:True"},
        {"", "IsDate(\"1/1/10000\")", "Boolean:False"},
        {"", "IsDate(\"February 30, 2003\")", "Boolean:False"},
        {"", "IsDate(\"1:2:3\")", "Boolean:True"},
        {"", "CDate(\"1/2/30\")", "Date:1930-01-02"},
        {"", "CDate(\"1/2/29\")", "Date:2029-01-02"},
    };
    expectAll(cases);
}

// Arguments at the ends of the Long range and dates at the ends of the calendar give errors or clipped results, never a crash.
TEST(ConformConversions, ArgumentsAtTheLimitsOfLongAndDate) {
    const Case cases[] = {
        {"", "Abs(CLng(-2147483647) - 1)", "Double:2147483648"},
        {"", "-(CLng(-2147483647) - 1)", "Double:2147483648"},
        {"", "Space(-2147483648)", "err:5"},
        {"", "InStr(-2147483648, \"a\", \"a\")", "err:5"},
        {"", "DateAdd(\"d\", 2147483647, #1/1/2000#)", "err:5"},
        {"", "DateAdd(\"yyyy\", 2147483647, #1/1/2000#)", "err:5"},
        {"", "DateAdd(\"m\", -2147483647, #1/1/2000#)", "err:5"},
        {"", "DateSerial(32767, 32767, 32767)", "err:5"},
        {"", "Mid(\"abc\", 2, 2147483647)", "String:bc"},
        {"", "Left(\"abc\", 2147483647)", "String:abc"},
        {"", "Right(\"abc\", 2147483647)", "String:abc"},
        {"", "InStrRev(\"abc\", \"c\", 2147483647)", "Long:0"},
        {"", "Replace(\"abc\", \"b\", \"x\", 2147483647)", "String:"},
        {"", "Replace(\"abc\", \"b\", \"x\", 1, 2147483647)", "String:axc"},
        {"", "Split(\"a,b\", \",\", 2147483647)", "Array[String:a, String:b]"},
        {"", "Hex(-2147483647 - 1)", "String:80000000"},
        {"", "Chr(2147483647)", "err:5"},
        {"", "ChrW(2147483647)", "err:5"},
        {"", "MonthName(2147483647)", "err:5"},
        {"", "WeekdayName(2147483647)", "err:5"},
        {"ReDim a(2)", "UBound(a, 2147483647)", "err:9"},
        {"ReDim a(2)", "a(2147483647)", "err:9"},
        {"ReDim a(2)", "a(-2147483648)", "err:9"},
        {"", "Unescape(\"%u\")", "String:%u"},
        {"", "CStr(#12/31/9999 23:59:59#)", "String:12/31/9999 11:59:59 PM"},
        {"", "CDate(-657434)", "Date:0100-01-01"},
        {"", "CDate(2958465)", "Date:9999-12-31"},
        {"", "CDate(-657435)", "err:6"},
        {"", "CDate(2958466)", "err:6"},
        {"", "DateAdd(\"d\", 1, #12/31/9999#)", "err:5"},
    };
    expectAll(cases);
}

} // namespace
} // namespace qz::script::conformance
