#include "Expect.h"
#include "TestLocales.h"

#include "platform/automation/VariantOps.h"

#include <gtest/gtest.h>

using namespace qz;
using namespace qz::test;

namespace {

// Expected values below were computed with Python's decimal module.
Variant Dec(const char* text) {
    DecimalNumber d;
    EXPECT_TRUE(parseDecimalNumber(text, d)) << text;
    return Variant::decimal(d);
}
std::string text(const Variant& v) { return decimalNumberText(v.decimalValue()); }

TEST(Decimal, ReadsAndPrintsEveryDigit) {
    for (const char* t : {"1234567890123456.7891", "9007199254740993", "-79228162514264337593543950335",
                          "0.0000000000000000000000000001", "0"})
        EXPECT_EQ(text(Dec(t)), t);
    EXPECT_EQ(text(Dec("1.2500")), "1.25");
    EXPECT_EQ(text(Dec("1.5e3")), "1500");
    EXPECT_EQ(text(Dec("0.00000000000000000000000000015")), "0.0000000000000000000000000002");  // half to even
    DecimalNumber d;
    EXPECT_FALSE(parseDecimalNumber("79228162514264337593543950336", d));  // 2^96
    EXPECT_FALSE(parseDecimalNumber("1.2.3", d));
    EXPECT_FALSE(parseDecimalNumber("", d));
    EXPECT_FALSE(parseDecimalNumber("e5", d));
    EXPECT_EQ(Dec("9007199254740993").varType(), 14);
    EXPECT_EQ(Dec("9007199254740993").toString(), u"9007199254740993");
    ScopedLocale de(german());
    EXPECT_EQ(Dec("-1234567890123456.7891").toString(), u"-1234567890123456,7891");
}

TEST(Decimal, ArithmeticStaysExactAndOverflowsPast96Bits) {
    const Variant a = Dec("1234567890123456.7891");
    auto check = [](const Variant& v, const char* expected) {
        EXPECT_EQ(v.type(), VarType::Decimal) << expected;
        if (v.type() == VarType::Decimal) {
            EXPECT_EQ(text(v), expected);
        }
    };
    check(ops::add(a, Variant(std::int32_t{1})), "1234567890123457.7891");
    check(ops::multiply(a, Variant(std::int16_t{10})), "12345678901234567.891");
    check(ops::subtract(Variant(2.5), a), "-1234567890123454.2891");  // a Double meets a Decimal as Decimal
    check(ops::divide(a, Dec("0.0001")), "12345678901234567891");
    check(ops::divide(Dec("1"), Variant(std::int16_t{3})), "0.3333333333333333333333333333");
    check(ops::divide(Dec("2"), Variant(std::int16_t{3})), "0.6666666666666666666666666667");
    check(ops::add(Variant::currency(15000), Dec("0.00001")), "1.50001");
    check(ops::negate(a), "-1234567890123456.7891");
    EXPECT_VB_ERROR(ops::multiply(a, a), 6);
    EXPECT_VB_ERROR(ops::add(Dec("79228162514264337593543950335"), Variant(std::int16_t{1})), 6);
    EXPECT_VB_ERROR(ops::divide(a, Dec("0")), 11);
    EXPECT_EQ(ops::intDivide(Dec("7.5"), Variant(std::int16_t{2})).longValue(), 4);
}

TEST(Decimal, ComparesExactlyAndConverts) {
    EXPECT_EQ(ops::compare(Dec("9007199254740993"), Dec("9007199254740992")), 1);
    EXPECT_EQ(ops::compare(Dec("9007199254740993"), Variant(9007199254740992.0)), 1);
    EXPECT_EQ(ops::compare(Dec("0.1"), Variant(0.1)), 0);
    EXPECT_EQ(ops::compare(Dec("1e20"), Variant(1e300)), -1);  // beyond the Decimal range: as Doubles
    EXPECT_EQ(ops::compare(Variant::currency(-5000), Dec("-0.5")), 0);
    EXPECT_EQ(Dec("9007199254740993").toDouble(), 9007199254740992.0);
    EXPECT_EQ(Dec("2.5").toLong(), 2);
    EXPECT_EQ(Dec("-3.5").toInteger(), -4);
    EXPECT_EQ(Dec("1.23455").toCurrency(), 12346);
    EXPECT_EQ(Dec("1.23465").toCurrency(), 12346);
    EXPECT_VB_ERROR(Dec("3000000000").toLong(), 6);
    EXPECT_VB_ERROR(Dec("922337203685477.5808").toCurrency(), 6);
    EXPECT_TRUE(Dec("0.0000001").toBool());
    EXPECT_EQ(text(Variant(1.5).convertTo(VarType::Decimal)), "1.5");
    EXPECT_EQ(text(Variant(0.1).convertTo(VarType::Decimal)), "0.1");  // fifteen digits of the Double
    EXPECT_VB_ERROR(Variant(1e30).convertTo(VarType::Decimal), 6);
    // Copies share one value.
    Variant x = Dec("1.5"), y = x;
    x = Variant();
    EXPECT_EQ(text(y), "1.5");
}

} // namespace
