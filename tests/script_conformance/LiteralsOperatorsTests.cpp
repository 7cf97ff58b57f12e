// Literal subtypes, operator result types and overflow promotion, Null and
// Empty in every operator, comparisons of strings with numbers, precedence.
#include "Conformance.h"

namespace qz::script::conformance {
namespace {

TEST(ConformLiterals, SubtypesOfNumberLiterals) {
    const Case cases[] = {
        {"", "&H8000", "Integer:-32768"},
        {"", "&H8000&", "Long:32768"},
        {"", "&H7FFF", "Integer:32767"},
        {"", "&HFFFF", "Integer:-1"},
        {"", "&H10000", "Long:65536"},
        {"", "&HFFFFFFFF", "Integer:-1"},
        {"", "&H80000000", "Long:-2147483648"},
        {"", "&H20&", "Integer:32"},
        {"", "&HFFFFFFFE&", "Integer:-2"},
        {"", "&HFFFF8000&", "Integer:-32768"},
        {"", "&HFFFF7FFF&", "Long:-32769"},
        {"", "&O177777", "Integer:-1"},
        {"", "&O37777777776&", "Integer:-2"},
        {"", "TypeName(&H7FFF&) & TypeName(-&H1&)", "String:IntegerInteger"},
        {"", "&O777", "Integer:511"},
        {"", "32767", "Integer:32767"},
        {"", "32768", "Long:32768"},
        {"", "-32768", "Long:-32768"},
        {"", "-1", "Integer:-1"},
        {"", "2147483647", "Long:2147483647"},
        {"", "2147483648", "Double:2147483648"},
        {"", "1e3", "Double:1000"},
        {"", "1.0", "Double:1"},
        {"", "0.1 + 0.2", "Double:0.30000000000000004"},
        {"", "#1/2/2003#", "Date:2003-01-02"},
        {"", "#1/2/2003 13:04:05#", "Date:2003-01-02 13:04:05"},
        {"", "#13:04:05#", "Date:1899-12-30 13:04:05"},
    };
    expectAll(cases);
}

TEST(ConformOperators, ArithmeticResultTypesAndPromotion) {
    const Case cases[] = {
        {"", "1 + 1", "Integer:2"},
        {"", "32767 + 1", "Long:32768"},
        {"", "CInt(200) * CInt(200)", "Long:40000"},
        {"", "2147483647 + 1", "Double:2147483648"},
        {"", "CLng(2147483647) * 2", "Double:4294967294"},
        {"", "CInt(-32768) * -1", "Long:32768"},
        {"", "-CInt(-32768)", "Long:32768"},
        {"", "CByte(1) + CByte(2)", "Byte:3"},
        {"", "CByte(200) + CByte(100)", "Integer:300"},
        {"", "CByte(1) - CByte(2)", "Integer:-1"},
        {"", "-CByte(1)", "Integer:-1"},
        {"", "True + True", "Integer:-2"},
        {"", "True + 1", "Integer:0"},
        {"", "True * True", "Integer:1"},
        {"", "-True", "Integer:1"},
        {"", "True / True", "Double:1"},
        {"", "CSng(1.5) + 1", "Single:2.5"},
        {"", "CSng(1.5) + CLng(1)", "Double:2.5"},
        {"", "CCur(1.5) + 1", "Currency:2.5"},
        {"", "CCur(1) + 1.5", "Currency:2.5"},
        {"", "#1/1/2000# + 1", "Date:2000-01-02"},
        {"", "#1/1/2000# + 0.5", "Date:2000-01-01 12:00:00"},
        {"", "#1/2/2000# - 1", "Date:2000-01-01"},
        {"", "#1/2/2000# - #1/1/2000#", "Double:1"},
        {"", "#1/1/2000# - #12/31/1999 12:00#", "Double:0.5"},
        {"", R"("1" + "2")", "String:12"},
        {"", R"("1" + 2)", "Double:3"},
        {"", R"("5" - "2")", "Double:3"},
        {"", R"("10" * "2")", "Double:20"},
        {"", R"(-"2")", "Double:-2"},
        {"", R"("a" + 1)", "err:13"},
        {"", R"("a" * 2)", "err:13"},
        {"", "Array(1) + 1", "err:13"},
        {"", "5 / 2", "Double:2.5"},
        {"", "4 / 2", "Double:2"},
        {"", "2 ^ 10", "Double:1024"},
        {"", "(-8) ^ (1 / 3)", "err:5"},
        {"", "1 / 0", "err:11"},
        {"", "0 / 0", "err:6"},
    };
    expectAll(cases);
}

TEST(ConformOperators, IntegerDivisionAndModRoundOperandsFirst) {
    const Case cases[] = {
        {"", R"(7 \ 2)", "Integer:3"},
        {"", R"(-7 \ 2)", "Integer:-3"},
        {"", R"(7.5 \ 2)", "Long:4"},
        {"", R"(6.5 \ 2)", "Long:3"},
        {"", R"(5 \ 0.4)", "err:11"},
        {"", R"(1 \ 0)", "err:11"},
        {"", "7 Mod 3", "Integer:1"},
        {"", "-7 Mod 3", "Integer:-1"},
        {"", "7 Mod -3", "Integer:1"},
        {"", "7.5 Mod 2", "Long:0"},
        {"", "5.5 Mod 3", "Long:0"},
        {"", "1 Mod 0", "err:11"},
        {"", "5 Mod 0.4", "err:11"},
        {"", R"(5 \ 2 * 3)", "Integer:0"},
    };
    expectAll(cases);
}

TEST(ConformOperators, NullAndEmptyPropagate) {
    const Case cases[] = {
        {"", "Empty + Empty", "Integer:0"},
        {"", "Empty + 1", "Integer:1"},
        {"", R"(Empty + "a")", "String:a"},
        {"", "Empty * 2", "Integer:0"},
        {"", "-Empty", "Integer:0"},
        {"", "Empty / 1", "Double:0"},
        {"", "1 / Empty", "err:11"},
        {"", "Null + 1", "Null"},
        {"", "Null * 2", "Null"},
        {"", "1 / Null", "Null"},
        {"", "Null / 0", "Null"},
        {"", R"(Null \ 0)", "Null"},
        {"", "-Null", "Null"},
        {"", R"(Null & "a")", "String:a"},
        {"", "Null & Null", "Null"},
        {"", "Empty & 1", "String:1"},
        {"", "1 & 2", "String:12"},
        {"", "Not Null", "Null"},
        {"", "Null = Null", "Null"},
        {"", "Null = 1", "Null"},
        {"", "Null <> 1", "Null"},
        {"", "Empty = Null", "Null"},
        {"", "Empty = 0", "Boolean:True"},
        {"", R"(Empty = "")", "Boolean:True"},
        {"", "Empty < 1", "Boolean:True"},
    };
    expectAll(cases);
}

TEST(ConformOperators, LogicalOperatorsOnNullAndNumbers) {
    const Case cases[] = {
        {"", "Null And False", "Boolean:False"},
        {"", "Null And True", "Null"},
        {"", "Null And 0", "Integer:0"},
        {"", "Null Or True", "Boolean:True"},
        {"", "Null Or False", "Null"},
        {"", "Null Or -1", "Integer:-1"},
        {"", "Null Xor True", "Null"},
        {"", "Null Eqv True", "Null"},
        {"", "False Imp Null", "Boolean:True"},
        {"", "Null Imp True", "Boolean:True"},
        {"", "Null Imp False", "Null"},
        {"", "True Imp Null", "Null"},
        {"", "Null Imp Null", "Null"},
        {"", "True And False", "Boolean:False"},
        {"", "True And 1", "Integer:1"},
        {"", "5 And 3", "Integer:1"},
        {"", "5 Or 3", "Integer:7"},
        {"", "5 Xor 3", "Integer:6"},
        {"", "1 Eqv 1", "Integer:-1"},
        {"", "CLng(5) And 3", "Long:1"},
        {"", "CByte(5) And CByte(3)", "Byte:1"},
        {"", "1.5 And 1", "Long:0"},
        {"", "&HFFFF And &HFF", "Integer:255"},
        {"", "Not 0", "Integer:-1"},
        {"", "Not True", "Boolean:False"},
        {"", "Not 1.5", "Long:-3"},
        {"", "Not 1 + 1", "Integer:-3"},
        {"", R"("a" And 1)", "err:13"},
    };
    expectAll(cases);
}

// The texts "#TRUE#" and "#FALSE#" are Booleans to every logical operator,
// as "True" and "False" are, in any letter case.
TEST(ConformOperators, LogicalOperatorsReadBooleanTexts) {
    const Case cases[] = {
        {"", R"(Not "#FALSE#")", "Boolean:True"},
        {"", R"(Not "#true#")", "Boolean:False"},
        {"", R"("#TRUE#" And True)", "Boolean:True"},
        {"", R"("#TRUE#" And "#False#")", "Boolean:False"},
        {"", R"("#FALSE#" Or False)", "Boolean:False"},
        {"", R"("#TRUE#" Xor True)", "Boolean:False"},
        {"", R"("#FALSE#" Eqv False)", "Boolean:True"},
        {"", R"("#TRUE#" Imp False)", "Boolean:False"},
        {"", R"("#TRUE#" And 6)", "Integer:6"},
        {"", R"(Null Or "#TRUE#")", "Boolean:True"},
        {"s = \"#FALSE#\"", "Not s", "Boolean:True"},
        {"", R"(Not "#TRUE")", "err:13"},
        {"", R"("#TRUE#" + 1)", "err:13"},
    };
    expectAll(cases);
}

TEST(ConformOperators, ComparisonsOfStringsAndNumbers) {
    const Case cases[] = {
        {"", R"("abc" < "abd")", "Boolean:True"},
        {"", R"("a" < "B")", "Boolean:False"},
        {"", R"("10" < "9")", "Boolean:True"},
        {"", "1 < 2", "Boolean:True"},
        {"", "1 + 2 = 3", "Boolean:True"},
        // Two variables: a number is always less than a string.
        {R"(a = 1 : b = "1")", "a = b", "Boolean:False"},
        {R"(a = 10 : b = "9")", "a < b", "Boolean:True"},
        {R"(a = "10" : b = 9)", "a > b", "Boolean:True"},
        // A variable against a literal: the literal is converted.
        {"a = 1", R"(a = "1")", "Boolean:True"},
        {"a = 10", R"(a < "9")", "Boolean:False"},
        {"", "Nothing Is Nothing", "Boolean:True"},
        {"", R"(2 + 3 & 4)", "String:54"},
        {"", R"("1" & 1 + 1)", "String:12"},
        {"", "-2 ^ 2", "Double:4"},
        {"x = 3", "-x ^ 2 & \",\" & 2 ^ -x & \",\" & - 2 ^ 3 ^ 2 & \",\" & 1 - 2 ^ 2", "String:9,0.125,64,-3"},
        {"x = 2", "(-x) ^ 2 = -x ^ 2", "Boolean:True"},
    };
    expectAll(cases);
}

// Long hex with a suffix, Double overflow, exponents, two-digit years.
TEST(ConformLiterals, LongHexSmallExponentsAndShortYears) {
    const Case cases[] = {
        {"", "&HFFFFFFFF&", "Integer:-1"},
        {"", "&H0001FFFF&", "Long:131071"},
        {"", "1.5E+300 * 1E10", "err:6"},
        {"", "1e-3", "Double:0.001"},
        {"", "#1/2/03#", "Date:2003-01-02"},
    };
    expectAll(cases);
}

// Division, multiplication and bitwise operators across subtypes.
TEST(ConformOperators, MixedSubtypesAndBitwise) {
    const Case cases[] = {
        {"", "CInt(5) / CInt(2)", "Double:2.5"},
        {"", "CSng(5) / CSng(2)", "Single:2.5"},
        {"", "CByte(5) / CByte(2)", "Double:2.5"},
        {"", "CInt(5) * CSng(2)", "Single:10"},
        {"", "CLng(5) * CSng(2)", "Double:10"},
        {"", "CCur(5) * CCur(2)", "Currency:10"},
        {"", "CByte(10) * CByte(30)", "Integer:300"},
        {"", "#1/1/2000# * 2", "Double:73052"},
        {"", "Null ^ 2", "Null"},
        {"", "2 ^ Null", "Null"},
        {"", "0 ^ 0", "Double:1"},
        {"", "\"abc\" & 1.5", "String:abc1.5"},
        {"", "CStr(-32768)", "String:-32768"},
        {"", "CInt(-32768.4)", "Integer:-32768"},
        {"", "CInt(\"32767.5\")", "err:6"},
        {"", "CLng(-2147483648.4)", "Long:-2147483648"},
        {"", "Not CByte(1)", "Byte:254"},
        {"", "Not Empty", "Integer:-1"},
        {"", "5 Imp 3", "Integer:-5"},
        {"", "5 Eqv 3", "Integer:-7"},
        {"", "True Xor True", "Boolean:False"},
        {"", "CByte(1) Or 256", "Integer:257"},
        {"", "Empty Or Empty", "Integer:0"},
        {"", "Null And Null", "Null"},
    };
    expectAll(cases);
}

// Dates against numbers, Booleans, Single against Double, Empty.
TEST(ConformOperators, ComparisonsAcrossSubtypes) {
    const Case cases[] = {
        {"", "\"a\" = \"A\"", "Boolean:False"},
        {"", "#1/1/2000# = 36526", "Boolean:True"},
        {"", "True = -1", "Boolean:True"},
        {"", "True = 1", "Boolean:False"},
        {"", "CSng(0.1) = 0.1", "Boolean:True"},   // at Single precision
        {"", "\"\" < \"a\"", "Boolean:True"},
        {"", "1 < Null", "Null"},
        {"a = 0 : b = Empty", "a = b", "Boolean:True"},
        {"a = \"\" : b = Empty", "a = b", "Boolean:True"},
    };
    expectAll(cases);
}

// Rounded integer division of negatives, Currency overflow, dates and text in arithmetic.
TEST(ConformOperators, DatesTextAndNullMixedIn) {
    const Case cases[] = {
        {"", "-7.5 \\ 2", "Long:-4"},
        {"", "-7.5 Mod 2", "Long:0"},
        {"", "&H8000 \\ 2", "Integer:-16384"},
        {"", "CCur(922337203685477) * 10", "err:6"},
        {"", "#1/1/2000# - 0.5", "Date:1999-12-31 12:00:00"},
        {"", "#1/1/2000# + \"1\"", "Date:2000-01-02"},
        {"", "\"1/1/2000\" + 1", "err:13"},
        {"", "Null + \"a\"", "Null"},
        {"", "\"a\" + Null", "Null"},
        {"", "\"\" + 1", "err:13"},
        {"", "\" 1 \" + 1", "Double:2"},
        {"", "1 + \"1\" & 1", "String:21"},
        {"", "True > False", "Boolean:False"},
        {"", "Empty < -1", "Boolean:False"},
        {"", "Null < Empty", "Null"},
    };
    expectAll(cases);
}

// The same arithmetic on global variables and on locals of a procedure: promotion, rounding, errors.
TEST(ConformOperators, VariablesAtModuleLevelAndInProcedures) {
    const Case cases[] = {
        {"Dim b\na = 32767 : b = a + 1", "b", "Long:32768"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 32767 : b = a + 1\nEnd Sub\nT", "b", "Long:32768"},
        {"Dim b\na = 200 : b = a * a", "b", "Long:40000"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 200 : b = a * a\nEnd Sub\nT", "b", "Long:40000"},
        {"Dim b\na = 2147483647 : b = a + 1", "b", "Double:2147483648"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 2147483647 : b = a + 1\nEnd Sub\nT", "b", "Double:2147483648"},
        {"Dim b\na = -32768 : b = -a", "b", "Long:32768"},
        {"Dim b\nSub T\n Dim a, c, i\n a = -32768 : b = -a\nEnd Sub\nT", "b", "Long:32768"},
        {"Dim b\na = 7 : b = a \\ 2", "b", "Integer:3"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 7 : b = a \\ 2\nEnd Sub\nT", "b", "Integer:3"},
        {"Dim b\na = 7.5 : b = a \\ 2", "b", "Long:4"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 7.5 : b = a \\ 2\nEnd Sub\nT", "b", "Long:4"},
        {"Dim b\na = -7 : b = a Mod 3", "b", "Integer:-1"},
        {"Dim b\nSub T\n Dim a, c, i\n a = -7 : b = a Mod 3\nEnd Sub\nT", "b", "Integer:-1"},
        {"Dim b\na = 1 : b = a / 0", "b", "err:11"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 1 : b = a / 0\nEnd Sub\nT", "b", "err:11"},
        {"Dim b\na = 0 : b = a / a", "b", "err:6"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 0 : b = a / a\nEnd Sub\nT", "b", "err:6"},
        {"Dim b\na = 5 : b = a / 2", "b", "Double:2.5"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 5 : b = a / 2\nEnd Sub\nT", "b", "Double:2.5"},
        {"Dim b\na = CLng(5) : b = a + 1", "b", "Long:6"},
        {"Dim b\nSub T\n Dim a, c, i\n a = CLng(5) : b = a + 1\nEnd Sub\nT", "b", "Long:6"},
        {"Dim b\na = CLng(7) : b = a \\ 2", "b", "Long:3"},
        {"Dim b\nSub T\n Dim a, c, i\n a = CLng(7) : b = a \\ 2\nEnd Sub\nT", "b", "Long:3"},
        {"Dim b\na = 5 : b = a Mod 0", "b", "err:11"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 5 : b = a Mod 0\nEnd Sub\nT", "b", "err:11"},
        {"Dim b\na = 2147483647 : b = a * 2", "b", "Double:4294967294"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 2147483647 : b = a * 2\nEnd Sub\nT", "b", "Double:4294967294"},
        {"Dim b\na = 1.5 : b = a \\ 1", "b", "Long:2"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 1.5 : b = a \\ 1\nEnd Sub\nT", "b", "Long:2"},
        {"Dim b\na = 2.5 : b = a Mod 2", "b", "Long:0"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 2.5 : b = a Mod 2\nEnd Sub\nT", "b", "Long:0"},
        {"Dim b\na = 3 : b = a - 5", "b", "Integer:-2"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 3 : b = a - 5\nEnd Sub\nT", "b", "Integer:-2"},
        {"Dim b\na = -32768 : b = a - 1", "b", "Long:-32769"},
        {"Dim b\nSub T\n Dim a, c, i\n a = -32768 : b = a - 1\nEnd Sub\nT", "b", "Long:-32769"},
        {"Dim b\na = 0.1 : b = a + 0.2", "b", "Double:0.30000000000000004"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 0.1 : b = a + 0.2\nEnd Sub\nT", "b", "Double:0.30000000000000004"},
        {"Dim b\na = 1 : c = 1.0 : b = (a = c)", "b", "Boolean:True"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 1 : c = 1.0 : b = (a = c)\nEnd Sub\nT", "b", "Boolean:True"},
        {"Dim b\na = 10 : c = \"9\" : b = (a < c)", "b", "Boolean:True"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 10 : c = \"9\" : b = (a < c)\nEnd Sub\nT", "b", "Boolean:True"},
        {"Dim b\nb = 0 : For i = 1 To 300 : b = b + i * i : Next", "b", "Long:9045050"},
        {"Dim b\nSub T\n Dim a, c, i\n b = 0 : For i = 1 To 300 : b = b + i * i : Next\nEnd Sub\nT", "b", "Long:9045050"},
        {"Dim b\nb = 0 : For i = 1 To 3 : b = b + i : Next", "b", "Integer:6"},
        {"Dim b\nSub T\n Dim a, c, i\n b = 0 : For i = 1 To 3 : b = b + i : Next\nEnd Sub\nT", "b", "Integer:6"},
        {"Dim b\na = 5 : b = a \\ True", "b", "Integer:-5"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 5 : b = a \\ True\nEnd Sub\nT", "b", "Integer:-5"},
        {"Dim b\na = 1E308 : b = a * 10", "b", "err:6"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 1E308 : b = a * 10\nEnd Sub\nT", "b", "err:6"},
        {"Dim b\na = 2 : b = a - 0.5", "b", "Double:1.5"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 2 : b = a - 0.5\nEnd Sub\nT", "b", "Double:1.5"},
        {"Dim b\na = Empty : b = a + 1", "b", "Integer:1"},
        {"Dim b\nSub T\n Dim a, c, i\n a = Empty : b = a + 1\nEnd Sub\nT", "b", "Integer:1"},
        {"Dim b\na = Null : b = a + 1", "b", "Null"},
        {"Dim b\nSub T\n Dim a, c, i\n a = Null : b = a + 1\nEnd Sub\nT", "b", "Null"},
        {"Dim b\na = \"3\" : b = a * 2", "b", "Double:6"},
        {"Dim b\nSub T\n Dim a, c, i\n a = \"3\" : b = a * 2\nEnd Sub\nT", "b", "Double:6"},
        {"Dim b\na = True : b = a + a", "b", "Integer:-2"},
        {"Dim b\nSub T\n Dim a, c, i\n a = True : b = a + a\nEnd Sub\nT", "b", "Integer:-2"},
        {"Dim b\na = -2147483648 : b = a - 1", "b", "Double:-2147483649"},
        {"Dim b\nSub T\n Dim a, c, i\n a = -2147483648 : b = a - 1\nEnd Sub\nT", "b", "Double:-2147483649"},
        {"Dim b\na = 46341 : b = a * a", "b", "Double:2147488281"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 46341 : b = a * a\nEnd Sub\nT", "b", "Double:2147488281"},
        {"Dim b\na = 16 : b = a Mod -5", "b", "Integer:1"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 16 : b = a Mod -5\nEnd Sub\nT", "b", "Integer:1"},
        {"Dim b\na = 7 : c = 2 : b = a \\ c * c", "b", "Integer:1"},
        {"Dim b\nSub T\n Dim a, c, i\n a = 7 : c = 2 : b = a \\ c * c\nEnd Sub\nT", "b", "Integer:1"},
        {"Dim b\nb = 0 : For i = 0 To 1 Step 0.1 : b = b + 1 : Next", "b", "Integer:11"},
        {"Dim b\nSub T\n Dim a, c, i\n b = 0 : For i = 0 To 1 Step 0.1 : b = b + 1 : Next\nEnd Sub\nT", "b", "Integer:11"},
    };
    expectAll(cases);
}

// A literal compared with a computed value converts that value: results of functions count as values, not literals.
TEST(ConformOperators, LiteralsConvertTheOtherSide) {
    const Case cases[] = {
        {"", "Len(\"ab\") = \"2\"", "Boolean:True"},
        {"", "CStr(1) = 1", "Boolean:True"},
        {"a = \"10\"", "a < 9", "Boolean:False"},
    };
    expectAll(cases);
}

// Identifiers up to 255 characters.
TEST(ConformLexical, IdentifiersUpTo255Characters) {
    const Case cases[] = {
        {"Dim aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "0", "err:1030"},
        {"Dim aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "1", "Integer:1"},
    };
    expectAll(cases);
}

// Not, And, Or, Xor, Eqv, Imp bind in that order; unary minus below ^; left association.
TEST(ConformOperators, PrecedenceOfLogicalAndArithmeticOperators) {
    const Case cases[] = {
        {"", "True Xor True Or True", "Boolean:False"},
        {"", "False Eqv False Xor True", "Boolean:False"},
        {"", "False Imp True Eqv False", "Boolean:True"},
        {"", "1 Or 2 And 0", "Integer:1"},
        {"", "Not 0 And 0", "Integer:0"},
        {"", "Not 2 > 1", "Boolean:False"},
        {"", "-1 ^ 2", "Double:1"},
        {"", "2 ^ -2", "Double:0.25"},
        {"", "- - 1", "Integer:1"},
        {"", "5 - -3", "Integer:8"},
        {"", "\"a\" & 1 = \"a1\"", "Boolean:True"},
        {"", "1 + 2 & 3 + 4", "String:37"},
        {"", "8 / 2 * 4", "Double:16"},
        {"", "8 \\ 2 \\ 2", "Integer:2"},
        {"", "2 ^ 3 * 2", "Double:16"},
        {"", "10 Mod 4 * 2", "Integer:2"},
        {"", "5 Mod 3 Mod 2", "Integer:0"},
    };
    expectAll(cases);
}

// Quote and underscore inside strings; underscores in names; lower-case hex.
TEST(ConformLexical, QuotesUnderscoresAndHexCase) {
    const Case cases[] = {
        {"", "&hff", "Integer:255"},
        {"x = \"a'b\" : y = \"c _\"", "x & y", "String:a'bc _"},
        {"Dim a_b : a_b = 1", "a_b", "Integer:1"},
    };
    expectAll(cases);
}

// "&h" with no hex digit after it is & before a name; "=>", "=<" and "><"
// are the comparisons written the other way round; Rem after a dot is a member.
TEST(ConformLexical, AmpersandBeforeNamesAndReversedComparisons) {
    const Case cases[] = {
        {"hz = 1", "\"A\" &hz", "String:A1"},
        {"ho = \"b\" : hint = \"c\"", "\"a\" &ho &hint", "String:abc"},
        {"", "\"A\" & &h1F", "String:A31"},
        {"", "\"A\" &h1F", "err:1025"},
        {"", "(3 => 3) & (2 =< 1) & (2 >< 2) & (1 =>2)", "String:TrueFalseFalseFalse"},
        {"If 5 => 4 Then r = 1 Else r = 2", "r", "Integer:1"},
        {"Select Case 3\nCase Is =< 2 : r = \"lo\"\nCase Is => 3 : r = \"hi\"\nEnd Select", "r", "String:hi"},
        {"Do While n =< 4 : n = n + 1 : Loop", "n", "Integer:5"},
        {"Class C\n Public [rem]\nEnd Class\nSet o = New C : o.rem = 1 : o.Rem = o.rem + 1", "o.REM", "Integer:2"},
        {"Class C\n Public [rem]\nEnd Class\nSet o = New C\nWith o\n .rem = 3\nEnd With", "o.rem", "Integer:3"},
        {"x = 1 : Rem x = 2", "x", "Integer:1"},
        {"", "&h", "err:1023"},
    };
    expectAll(cases);
}

// A Single meets a Double at Single precision; a string is never equal to a
// Boolean (it is the greater), literal or not.
TEST(ConformOperators, SinglesAgainstDoublesAndTextAgainstBooleans) {
    const Case cases[] = {
        {"", "CSng(0.3) = 0.3", "Boolean:True"},
        {"x = 0.1 : y = CSng(0.1)", "(x = y) & (y <> x) & (x < y)", "String:TrueFalseFalse"},
        {"", "CSng(0.3) = CDbl(0.3) + 1E-9", "Boolean:True"},
        {"", "CSng(0.3) < 0.31", "Boolean:True"},
        {"", "CSng(0.5) = 0.5", "Boolean:True"},
        {"", "\"True\" = True", "Boolean:False"},
        {"", "True = \"True\"", "Boolean:False"},
        {"", "\"-1\" = True", "Boolean:False"},
        {"", "\"True\" <> True", "Boolean:True"},
        {"s = \"True\" : b = True", "s = b", "Boolean:False"},
        {"Select Case \"True\"\nCase True\n r = 1\nCase Else\n r = 2\nEnd Select", "r", "Integer:2"},
        {"", "\"1\" = 1", "Boolean:True"},
    };
    expectAll(cases);
}

// Leading zeros are decimal; exponents with a fraction or a leading point; zero in hex and octal.
TEST(ConformLiterals, LeadingZerosAndExponentForms) {
    const Case cases[] = {
        {"", "010", "Integer:10"},
        {"", "08", "Integer:8"},
        {"", "1.5E-3", "Double:0.0015"},
        {"", ".5E1", "Double:5"},
        {"", "&H0 & &O0", "String:00"},
        {"", "&hFFFF&", "Long:65535"},
        {"", "Chr(34) = \"\"\"\"", "Boolean:True"},
    };
    expectAll(cases);
}

// Dates keep their subtype under + and unary minus, become Double under - and *, Long under \ and Mod.
TEST(ConformOperators, DatesAndCurrencyInEveryOperator) {
    const Case cases[] = {
        {"", "CCur(0.1) = 0.1", "Boolean:True"},
        {"", "#1/2/2003# + #10:00#", "Date:2003-01-02 10:00:00"},
        {"", "TypeName(#1/2/2003# - #12:00#)", "String:Double"},
        {"", "TypeName(#1/2/2003# * 1)", "String:Double"},
        {"", "TypeName(-#1/2/2003#)", "String:Date"},
        {"", "TypeName(#1/2/2003# \\ 1)", "String:Long"},
        {"", "TypeName(#1/2/2003# Mod 7)", "String:Long"},
    };
    expectAll(cases);
}

// Single with Integer stays Single, with Long becomes Double, overflows into Double; seven digits as text.
TEST(ConformOperators, SingleArithmeticAndItsText) {
    const Case cases[] = {
        {"", "CStr(CSng(0.1) + CSng(0.2))", "String:0.3"},
        {"", "CStr(CSng(1) / 3)", "String:0.3333333"},
        {"", "TypeName(CSng(2) * 3)", "String:Single"},
        {"", "TypeName(CSng(2) * CLng(3))", "String:Double"},
        {"", "TypeName(CSng(2) + CCur(1))", "String:Currency"},
        {"", "TypeName(CByte(2) * CSng(3))", "String:Single"},
        {"", "CStr(CSng(16777217))", "String:1.677722E+07"},
        {"", "TypeName(CSng(1E38) * 10)", "String:Double"},
    };
    expectAll(cases);
}

} // namespace
} // namespace qz::script::conformance
