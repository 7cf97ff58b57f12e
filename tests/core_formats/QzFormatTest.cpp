// The field format text: writing, reading, kinds and regional defaults.
#include "core/QzFormat.h"

#include "platform/system/Locales.h"

#include <gtest/gtest.h>

#include <random>

namespace qz {
namespace {

// Regional settings as a test decides them.
LocaleFormat regional(int digits, int leadingZero, int negNumber, int groupSize,
                      int currDigits = 2, int negCurr = 1, int monGroupSize = 3) {
    LocaleFormat f; // United States values
    f.numDigits = digits;
    f.leadingZero = leadingZero;
    f.negNumberFormat = negNumber;
    f.groupSize = groupSize;
    f.currDigits = currDigits;
    f.negCurrFormat = negCurr;
    f.monGroupSize = monGroupSize;
    return f;
}

TEST(FormatText, WritersProduceTheKeysInOrder) {
    QzFormatString s;
    s.lMaxLength = 40;
    s.bOverrideDefaultProperties = true;
    EXPECT_EQ(CreateStringFormatPropertiesStr(s), "MaxLength:40;BlankProtect:0");
    s.bUseBlankProtect = true;
    s.lMaxLength = -7;
    EXPECT_EQ(CreateStringFormatPropertiesStr(s), "MaxLength:-7;BlankProtect:-1");

    QzFormatNumber n;
    n.lNumberOfDigits = 2;
    n.lLeadingDigit = -1;
    n.lParenthesisNegative = -2;
    n.lGroupDigits = -1;
    n.bOverrideDefaultProperties = true;
    EXPECT_EQ(CreateNumberFormatPropertiesStr(n),
              "NumDigits:2;LeadingDigit:-1;UseParensForNeg:-2;GroupDigits:-1;BlankProtect:0");

    QzFormatDateTime d; // fresh: format number 2
    d.bOverrideDefaultProperties = true;
    EXPECT_EQ(CreateDateTimeFormatPropertiesStr(d), "DateTime:2;BlankProtect:0");

    // Without their own options, every kind writes only the default marker.
    EXPECT_EQ(CreateStringFormatPropertiesStr(QzFormatString{}), "UseDefaultProperties:-1");
    EXPECT_EQ(CreateNumberFormatPropertiesStr(QzFormatNumber{}), "UseDefaultProperties:-1");
    EXPECT_EQ(CreateDateTimeFormatPropertiesStr(QzFormatDateTime{}), "UseDefaultProperties:-1");
}

// Whatever a writer produces, with the kind's name in front or not, reads
// back as the same object when it has its own options.
TEST(FormatText, WrittenTextsReadBackEqual) {
    std::mt19937 rng(42);
    auto any = [&] {
        switch (rng() % 5) {
        case 0: return INT32_MIN;
        case 1: return INT32_MAX;
        case 2: return static_cast<std::int32_t>(rng() % 5) - 2;
        default: return static_cast<std::int32_t>(rng());
        }
    };
    for (int i = 0; i < 2000; ++i) {
        bool blank = rng() % 2;
        QzFormatString s{any(), blank, true};
        EXPECT_EQ(RetrieveStringFormat(CreateStringFormatPropertiesStr(s)), s);
        EXPECT_EQ(RetrieveStringFormat("String;" + CreateStringFormatPropertiesStr(s)), s);

        QzFormatDateTime d{any(), blank, true};
        EXPECT_EQ(RetrieveDateTimeFormat("Date/Time;" + CreateDateTimeFormatPropertiesStr(d)), d);

        QzFormatNumber n{any(), any(), any(), any(), blank, true};
        EXPECT_EQ(RetrieveNumberFormat("Currency;" + CreateNumberFormatPropertiesStr(n), true), n);
        EXPECT_EQ(RetrieveNumberFormat(CreateNumberFormatPropertiesStr(n), false), n);
    }
}

TEST(FormatText, ReadersTolerateMissingAndMalformedValues) {
    // String; alone: own options with the initial values.
    EXPECT_EQ(RetrieveStringFormat("String;"), (QzFormatString{0, false, true}));
    // Keys are case-sensitive: maxlength is not MaxLength.
    EXPECT_EQ(RetrieveStringFormat("String;maxlength:5"), (QzFormatString{0, false, true}));
    // The first occurrence of a key counts, and its value ends at the next ";".
    EXPECT_EQ(RetrieveStringFormat("MaxLength:7;MaxLength:9;BlankProtect: 1 "), (QzFormatString{7, true, true}));
    EXPECT_EQ(RetrieveDateTimeFormat("Date/Time;DateTime:;BlankProtect:0.0"), (QzFormatDateTime{2, false, true}));
    EXPECT_EQ(RetrieveDateTimeFormat("DateTime:4"), (QzFormatDateTime{4, false, true}));
    EXPECT_EQ(RetrieveDateTimeFormat("UseDefaultProperties:-1"), (QzFormatDateTime{2, false, false}));

    // Absent number keys take the regional fallbacks; present but malformed
    // ones leave 0.
    EXPECT_EQ(RetrieveNumberFormat("Number;NumDigits:3", false), (QzFormatNumber{3, -2, -2, -2, false, true}));
    EXPECT_EQ(RetrieveNumberFormat("Number;NumDigits:x;GroupDigits:0", false),
              (QzFormatNumber{0, -2, -2, 0, false, true}));
    EXPECT_EQ(RetrieveNumberFormat("Percent;", false), (QzFormatNumber{-1, -2, -2, -2, false, true}));
}

// The numeric test and conversion of values: signs, spaces, fractions
// rounded half to even, and numbers beyond 32 bits counted as not numeric.
TEST(FormatText, ValuesConvertLikeTheScriptLanguage) {
    struct Case {
        const char* value;
        std::int32_t expected; // 99 when the value must be ignored
    };
    const Case cases[] = {
        {"12", 12},          {"+12", 12},         {"-12", -12},     {"  12  ", 12},
        {"2.5", 2},          {"3.5", 4},          {"-2.5", -2},     {"2.51", 3},
        {"0.5", 0},          {"1.5", 2},          {".5", 0},        {"5.", 5},
        {"007", 7},          {"2147483647", INT32_MAX},             {"-2147483648", INT32_MIN},
        {"2147483647.4", INT32_MAX},              {"2147483647.5", 99},
        {"2147483648", 99},  {"-2147483649", 99}, {"99999999999999999999", 99},
        {"", 99},            {"-", 99},           {".", 99},        {"1e3", 99},
        {"1,000", 99},       {"0x10", 99},        {"1 2", 99},      {"--1", 99},
        {"abc", 99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        QzFormatString s = RetrieveStringFormat(std::string("MaxLength:") + c.value);
        EXPECT_EQ(s.lMaxLength, c.expected == 99 ? 0 : c.expected);
        QzFormatDateTime d = RetrieveDateTimeFormat(std::string("DateTime:") + c.value + ";BlankProtect:-1");
        EXPECT_EQ(d.lFormatNumber, c.expected == 99 ? 2 : c.expected);
        EXPECT_TRUE(d.bUseBlankProtect);
    }
    // A boolean is any number: zero false, anything else true, however large.
    EXPECT_TRUE(RetrieveStringFormat("BlankProtect:0.001").bUseBlankProtect);
    EXPECT_TRUE(RetrieveStringFormat("BlankProtect:99999999999").bUseBlankProtect);
    EXPECT_FALSE(RetrieveStringFormat("BlankProtect:-0").bUseBlankProtect);
    EXPECT_FALSE(RetrieveStringFormat("BlankProtect:yes").bUseBlankProtect);
}

TEST(FormatText, UseDefaultTemplateProperties) {
    EXPECT_TRUE(UseDefaultTemplateProperties(""));
    EXPECT_FALSE(UseDefaultTemplateProperties("String;MaxLength:5"));
    EXPECT_TRUE(UseDefaultTemplateProperties("UseDefaultProperties:-1"));
    EXPECT_TRUE(UseDefaultTemplateProperties("Number;UseDefaultProperties:1;NumDigits:3"));
    EXPECT_FALSE(UseDefaultTemplateProperties("UseDefaultProperties:0"));
    EXPECT_TRUE(UseDefaultTemplateProperties("UseDefaultProperties:abc"));
    EXPECT_FALSE(UseDefaultTemplateProperties("UseDefaultProperties:abc;"));
    EXPECT_FALSE(UseDefaultTemplateProperties("usedefaultproperties:-1"));
}

TEST(FormatText, GetFormatType) {
    EXPECT_EQ(GetFormatType("String;MaxLength:5"), kQzFormatString);
    EXPECT_EQ(GetFormatType("Date/Time;DateTime:1"), kQzFormatDateTime);
    EXPECT_EQ(GetFormatType("NUMBER;"), kQzFormatNumber);
    EXPECT_EQ(GetFormatType("currency;x"), kQzFormatCurrency);
    EXPECT_EQ(GetFormatType("Percent;UseDefaultProperties:-1"), kQzFormatPercent);
    EXPECT_EQ(GetFormatType("rtf;"), kQzFormatRtf);
    EXPECT_EQ(GetFormatType("Percent"), kQzFormatString); // no ";"
    EXPECT_EQ(GetFormatType("Text;MaxLength:5"), kQzFormatString);
    EXPECT_EQ(GetFormatType(" Number;"), kQzFormatString);
    EXPECT_EQ(GetFormatType(""), kQzFormatString);
    for (std::int32_t k = 0; k <= 5; ++k) EXPECT_EQ(GetFormatType(std::string(FormatKindName(k)) + ";"), k);
}

// Regional settings stand in for the options of a field that takes the
// template default.
TEST(FormatText, RegionalDefaults) {
    // Digits 2, leading zero yes, negatives "-1.1", grouping 3.
    LocaleFormat r = regional(2, 1, 1, 3, 3, 0, 0);
    EXPECT_EQ(RetrieveNumberFormat("", false, r), (QzFormatNumber{2, -1, 0, -1, false, false}));
    // Currency: its own digits; negatives in parentheses for mode 0; no grouping.
    EXPECT_EQ(RetrieveNumberFormat("UseDefaultProperties:-1", true, r), (QzFormatNumber{3, -1, -1, 0, false, false}));
    // Own options ignore the regional settings.
    EXPECT_EQ(RetrieveNumberFormat("NumDigits:1", true, r), (QzFormatNumber{1, -2, -2, -2, false, true}));

    for (int mode = 0; mode < 16; ++mode) {
        bool parens = mode == 0 || mode == 4 || mode == 14 || mode == 15;
        EXPECT_EQ(GetSystemCurFormat(2, regional(2, 1, 1, 3, 2, mode)), parens ? -1 : 0) << mode;
    }
    EXPECT_EQ(GetSystemNbrFormat(2, regional(2, 1, 0, 3)), -1);
    EXPECT_EQ(GetSystemNbrFormat(1, regional(2, 0, 1, 3)), 0);
    EXPECT_EQ(GetSystemNbrFormat(3, regional(2, 1, 1, 0)), 0);
    EXPECT_EQ(GetSystemNbrFormat(4, r), 0);
    EXPECT_EQ(GetSystemCurFormat(-1, r), 0);

    // The user's default locale: French groups digits and writes no
    // parentheses; the settings come from the locale data.
    sys::setUserDefaultLcid(1036);
    const LocaleFormat* fr = sys::localeFormatFor(1036);
    ASSERT_NE(fr, nullptr);
    EXPECT_EQ(RetrieveNumberFormat("", false), RetrieveNumberFormat("", false, *fr));
    EXPECT_EQ(GetSystemCurFormat(0), fr->currDigits);
    sys::setUserDefaultLcid(0);
}

} // namespace
} // namespace qz
