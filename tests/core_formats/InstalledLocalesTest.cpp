// The table of installed locales.
#include "core/InstalledLocales.h"

#include "platform/system/Locales.h"

#include <gtest/gtest.h>

#include <set>

namespace qz {
namespace {

TEST(InstalledLocales, EveryInstalledLocaleOnceSortedByName) {
    UnLoadInstalledLocale();
    EXPECT_FALSE(InstalledLocaleLoaded());
    std::vector<InstalledLocaleRecord> list = InstalledLocales(); // builds the table
    EXPECT_TRUE(InstalledLocaleLoaded());

    const std::vector<std::uint32_t> installed = sys::installedLcids();
    // More than the 81 first slots: the table has grown.
    ASSERT_GT(installed.size(), 81u);
    std::set<std::uint32_t> named;
    for (std::uint32_t lcid : installed) {
        if (!sys::localeInfo(lcid, sys::LOCALE_SLANGUAGE).value_or("").empty()) named.insert(lcid);
    }
    ASSERT_EQ(list.size(), named.size());
    std::set<std::uint32_t> seen;
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_FALSE(list[i].sName.empty());
        EXPECT_TRUE(seen.insert(list[i].lLcid).second) << list[i].lLcid;
        EXPECT_EQ(list[i].sName, *sys::localeInfo(list[i].lLcid, sys::LOCALE_SLANGUAGE));
        if (i > 0) { EXPECT_LE(list[i - 1].sName, list[i].sName); }
    }
    EXPECT_TRUE(seen.count(1033));

    UnLoadInstalledLocale();
    EXPECT_FALSE(InstalledLocaleLoaded());
    EXPECT_EQ(InstalledLocales().size(), list.size()); // built again
}

TEST(InstalledLocales, EnumerationTakesTheLastFourHexDigits) {
    UnLoadInstalledLocale();
    EXPECT_TRUE(EnumInstalledLocaleProc(std::string_view("00000409\0junk", 13)));
    EXPECT_TRUE(EnumInstalledLocaleProc("0001040c")); // a sort id in front
    EXPECT_TRUE(EnumInstalledLocaleProc("zz"));       // not an identifier: skipped, enumeration goes on
    ASSERT_EQ(InstalledLocaleCount(), 2);
    const auto& slots = InstalledLocaleSlots();
    ASSERT_EQ(slots.size(), 81u);
    EXPECT_EQ(slots[0].lLcid, 1033u);
    EXPECT_EQ(slots[0].sName, *sys::localeInfo(1033, sys::LOCALE_SLANGUAGE));
    EXPECT_EQ(slots[1].lLcid, 1036u);
    EXPECT_TRUE(slots[2].sName.empty());
    // Filling past the last slot grows the table by five at a time.
    for (int i = 0; i < 80; ++i) EnumInstalledLocaleProc("00000407");
    EXPECT_EQ(InstalledLocaleCount(), 82);
    EXPECT_EQ(InstalledLocaleSlots().size(), 86u);
    UnLoadInstalledLocale();
}

TEST(InstalledLocales, SortOrdersByBytesAndKeepsRecordsTogether) {
    std::vector<InstalledLocaleRecord> t = {
        {"b", 2}, {"", 0}, {"a", 1}, {"B", 3}, {"é", 5}, {"", 0}, {"ab", 4}, {"a", 6}};
    SortInstalledLocales(t, 0, static_cast<std::int64_t>(t.size()) - 1);
    std::vector<std::string> names;
    for (const auto& r : t) {
        names.push_back(r.sName);
        if (r.sName == "b") { EXPECT_EQ(r.lLcid, 2u); }
        if (r.sName == "ab") { EXPECT_EQ(r.lLcid, 4u); }
        if (r.sName.empty()) { EXPECT_EQ(r.lLcid, 0u); }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"", "", "B", "a", "a", "ab", "b", "é"}));

    // Only the given range moves; ranges outside the table are ignored.
    std::vector<InstalledLocaleRecord> part = {{"z", 1}, {"c", 2}, {"b", 3}, {"a", 4}};
    SortInstalledLocales(part, 1, 2);
    EXPECT_EQ(part[0].sName, "z");
    EXPECT_EQ(part[1].sName, "b");
    EXPECT_EQ(part[2].sName, "c");
    EXPECT_EQ(part[3].sName, "a");
    SortInstalledLocales(part, 0, 10);
    EXPECT_EQ(part[0].sName, "z");

    // Large tables, sorted and reverse-sorted, stay correct.
    std::vector<InstalledLocaleRecord> big;
    for (int i = 5000; i > 0; --i) big.push_back({std::to_string(i % 997), static_cast<std::uint32_t>(i)});
    SortInstalledLocales(big, 0, static_cast<std::int64_t>(big.size()) - 1);
    for (std::size_t i = 1; i < big.size(); ++i) ASSERT_LE(big[i - 1].sName, big[i].sName);
}

} // namespace
} // namespace qz
