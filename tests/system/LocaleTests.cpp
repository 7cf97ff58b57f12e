#include "platform/system/CodePage.h"
#include "platform/system/Locales.h"
#include "system/TestEnv.h"

#include "platform/automation/DateTime.h"

#include <gtest/gtest.h>
#include <unicode/datefmt.h>
#include <unicode/locid.h>

#include <memory>

#include <set>
#include <thread>

using namespace qz::sys;

namespace {

std::string info(std::uint32_t lcid, std::uint32_t item) { return localeInfo(lcid, item).value_or("<none>"); }

struct Expected {
    std::uint32_t lcid;
    const char* name;
    const char* language;
    const char* decimal;
    const char* thousand;
    const char* currency;
    const char* shortDate;
    const char* longDate;
    const char* time;
    const char* iCurrency;
    const char* iNegCurr;
    const char* currDigits;
    const char* january;
    const char* firstDay;
};

// What a Windows system answers for these locales.
const Expected kExpected[] = {
    {1033, "en-US", "English (United States)", ".", ",", "$", "M/d/yyyy", "dddd, MMMM d, yyyy",
     "h:mm:ss tt", "0", "0", "2", "January", "6"},
    {1036, "fr-FR", "French (France)", ",", "\u00A0", "\u20AC", "dd/MM/yyyy", "dddd d MMMM yyyy",
     "HH:mm:ss", "3", "8", "2", "janvier", "0"},
    {1031, "de-DE", "German (Germany)", ",", ".", "\u20AC", "dd.MM.yyyy", "dddd, d. MMMM yyyy",
     "HH:mm:ss", "3", "8", "2", "Januar", "0"},
    {1041, "ja-JP", "Japanese (Japan)", ".", ",", "\u00A5", "yyyy/MM/dd", nullptr, "H:mm:ss", "0",
     "1", "0", "1\u6708", "6"},
};

} // namespace

TEST(Locales, ItemsOfCommonLocalesAreThoseWindowsGives) {
    for (const auto& e : kExpected) {
        SCOPED_TRACE(e.lcid);
        EXPECT_EQ(localeNameOf(e.lcid), e.name);
        EXPECT_EQ(info(e.lcid, LOCALE_SLANGUAGE), e.language);
        EXPECT_EQ(info(e.lcid, LOCALE_SDECIMAL), e.decimal);
        EXPECT_EQ(info(e.lcid, LOCALE_STHOUSAND), e.thousand);
        EXPECT_EQ(info(e.lcid, LOCALE_SCURRENCY), e.currency);
        EXPECT_EQ(info(e.lcid, LOCALE_SSHORTDATE), e.shortDate);
        if (e.longDate) {
            EXPECT_EQ(info(e.lcid, LOCALE_SLONGDATE), e.longDate);
        }
        EXPECT_EQ(info(e.lcid, LOCALE_STIMEFORMAT), e.time);
        EXPECT_EQ(info(e.lcid, LOCALE_ICURRENCY), e.iCurrency);
        EXPECT_EQ(info(e.lcid, LOCALE_INEGCURR), e.iNegCurr);
        EXPECT_EQ(info(e.lcid, LOCALE_ICURRDIGITS), e.currDigits);
        EXPECT_EQ(info(e.lcid, LOCALE_SMONTHNAME1), e.january);
        EXPECT_EQ(info(e.lcid, LOCALE_IFIRSTDAYOFWEEK), e.firstDay);
        EXPECT_EQ(info(e.lcid, LOCALE_SGROUPING), "3;0");
        EXPECT_EQ(info(e.lcid, LOCALE_IDIGITS), "2");
        EXPECT_EQ(info(e.lcid, LOCALE_ILZERO), "1");
        EXPECT_EQ(info(e.lcid, LOCALE_INEGNUMBER), "1");
    }
}

TEST(Locales, FormatRecordMatchesTheItemTexts) {
    const qz::LocaleFormat* f = localeFormatFor(1036);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->lcid, 1036u);
    EXPECT_EQ(utf16ToUtf8(f->decimalSep), info(1036, LOCALE_SDECIMAL));
    EXPECT_EQ(f->listSep, u";");
    EXPECT_EQ(f->dateSep, u"/");
    EXPECT_EQ(f->timeSep, u":");
    EXPECT_EQ(f->dayNames[0], u"dimanche");      // Sunday first in the record
    EXPECT_EQ(info(1036, LOCALE_SDAYNAME1), "lundi");  // Monday first in the items
    EXPECT_EQ(f->abbrevMonthNames[0], u"janv.");
    // names stand alone (nominative), as Windows lists them
    EXPECT_EQ(info(1049, LOCALE_SMONTHNAME1), "\u044F\u043D\u0432\u0430\u0440\u044C");
    // separators skip the spaces and the AM/PM designator before the hour
    EXPECT_EQ(info(1042, LOCALE_STIME), ":");
    EXPECT_EQ(info(1042, LOCALE_SDATE), ".");
    // India groups by three, then by two
    EXPECT_EQ(info(1081, LOCALE_SGROUPING), "3;2;0");
    // Latin digits and plain separators even where the locale's own digits differ
    EXPECT_EQ(info(1025, LOCALE_SDECIMAL), ".");
    // every text of the record fits the ANSI code page for Western locales
    EXPECT_TRUE(fitsCp1252(utf16ToUtf8(f->groupSep)));
}

TEST(Locales, RecordsAreCachedAndSafeToBuildFromManyThreads) {
    std::vector<const qz::LocaleFormat*> seen(8);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&seen, i] { seen[i] = localeFormatFor(1031); });
    for (auto& t : threads) t.join();
    for (auto* p : seen) EXPECT_EQ(p, seen[0]);
    EXPECT_NE(seen[0], nullptr);
    EXPECT_EQ(localeFormatFor(0x12345), nullptr);
}

TEST(Locales, NamesAndIdentifiersConvertBothWays) {
    EXPECT_EQ(lcidFromName("en-US"), 1033u);
    EXPECT_EQ(lcidFromName("EN_us"), 1033u);
    EXPECT_EQ(lcidFromName("fr_FR.UTF-8"), 1036u);
    EXPECT_EQ(lcidFromName("de_DE@euro"), 1031u);
    EXPECT_EQ(lcidFromName("zh-Hant-TW"), 1028u);
    EXPECT_EQ(lcidFromName("zh-TW"), 1028u);
    EXPECT_EQ(lcidFromName("xx-YY"), 0u);
    EXPECT_EQ(lcidFromName(""), 0u);
    EXPECT_EQ(localeNameOf(1056), "ur-PK");
    EXPECT_EQ(localeNameOf(0xFFFF), "");
}

TEST(Locales, InstalledListHoldsSpecificLocalesEachOnceWithTheirData) {
    std::vector<std::uint32_t> all = installedLcids();
    EXPECT_GT(all.size(), 150u);
    std::set<std::uint32_t> unique(all.begin(), all.end());
    EXPECT_EQ(unique.size(), all.size());
    EXPECT_TRUE(unique.count(1033));
    EXPECT_TRUE(unique.count(1056));
    EXPECT_FALSE(unique.count(9));  // "en" alone is no specific locale
    for (std::uint32_t l : all) {
        SCOPED_TRACE(l);
        ASSERT_TRUE(isValidLcid(l));
        EXPECT_EQ(lcidFromName(localeNameOf(l)), l);
        EXPECT_FALSE(info(l, LOCALE_SLANGUAGE).empty());
        const qz::LocaleFormat* f = localeFormatFor(l);
        ASSERT_NE(f, nullptr);
        EXPECT_FALSE(f->decimalSep.empty());
        EXPECT_FALSE(f->shortDate.empty());
        EXPECT_FALSE(f->monthNames[11].empty());
    }
    EXPECT_FALSE(isValidLcid(0));
    EXPECT_EQ(localeInfo(1033, 0xFFFF), std::nullopt);
    EXPECT_EQ(localeInfo(0, LOCALE_SDECIMAL), std::nullopt);
}

TEST(Locales, UserDefaultComesFromTheEnvironmentUnlessOverridden) {
    qz::test::ScopedEnv env;
    env.unset("LC_ALL");
    env.unset("LC_NUMERIC");
    env.set("LANG", "de_DE.UTF-8");
    EXPECT_EQ(userDefaultLcid(), 1031u);
    env.set("LC_ALL", "fr_FR.UTF-8");
    EXPECT_EQ(userDefaultLcid(), 1036u);
    env.set("LC_ALL", "C.UTF-8");
    EXPECT_EQ(userDefaultLcid(), 1033u);
    env.set("LC_ALL", "nonsense");
    env.unset("LANG");
    EXPECT_EQ(userDefaultLcid(), 1033u);
    setUserDefaultLcid(1041);
    EXPECT_EQ(userDefaultLcid(), 1041u);
    setUserDefaultLcid(0);
    EXPECT_EQ(userDefaultLcid(), 1033u);
}

// A long date puts the month in the form the language gives it beside its
// day (the genitive in Slavic languages, "de febrer" in Catalan), as ICU's
// own full date does; a month alone keeps its nominative.
TEST(Locales, LongDatesGiveTheMonthTheFormOfADate) {
    const double serial = static_cast<double>(qz::daysFromCivil(1995, 2, 3));
    const qz::DateParts parts = qz::dateParts(serial);
    for (std::uint32_t lcid : {1049u, 1045u, 1029u, 1058u, 1032u, 1035u, 1051u, 1063u, 1027u}) {
        SCOPED_TRACE(lcid);
        const qz::LocaleFormat* f = localeFormatFor(lcid);
        ASSERT_NE(f, nullptr);
        icu::Locale loc(localeNameOf(lcid).c_str());
        std::unique_ptr<icu::DateFormat> df(icu::DateFormat::createDateInstance(icu::DateFormat::kFull, loc));
        // ICU counts milliseconds from 1970-01-01, 25569 days after the serial's day zero.
        icu::UnicodeString icuText;
        df->format((serial - 25569) * 86400000.0, icuText);
        std::string expected;
        icuText.findAndReplace(icu::UnicodeString(static_cast<UChar>(0x202F)), " ").toUTF8String(expected);
        EXPECT_EQ(utf16ToUtf8(qz::formatDatePicture(f->longDate, parts, *f)), expected);
    }
    const qz::LocaleFormat& ru = *localeFormatFor(1049);
    EXPECT_EQ(qz::formatDatePicture(u"d MMMM", parts, ru), u"3 \u0444\u0435\u0432\u0440\u0430\u043B\u044F");
    EXPECT_EQ(qz::formatDatePicture(u"MMMM yyyy", parts, ru), u"\u0444\u0435\u0432\u0440\u0430\u043B\u044C 1995");
    EXPECT_EQ(qz::formatDatePicture(u"'d' MMMM", parts, ru), u"d \u0444\u0435\u0432\u0440\u0430\u043B\u044C");
    EXPECT_EQ(qz::formatDatePicture(u"d MMMM", parts, *localeFormatFor(1045)), u"3 lutego");
    EXPECT_EQ(qz::formatDatePicture(u"d MMMM", parts, *localeFormatFor(1027)), u"3 de febrer");
    // and a date so written reads back
    double back = 0;
    EXPECT_TRUE(qz::parseDate(qz::formatDatePicture(u"d MMMM yyyy", parts, ru), ru, 2004, back));
    EXPECT_EQ(back, serial);
}
