#include "core/InstalledLocales.h"

#include "platform/automation/Text.h"
#include "platform/system/Locales.h"

#include <cstdio>

namespace qz {

namespace {

// The table: records in slots that grow by five at a time; slots beyond the
// count stay blank and sort first, and readers skip them.
struct LocaleTable {
    std::vector<InstalledLocaleRecord> records;
    std::int64_t count = 0;
    bool loaded = false;
};

thread_local LocaleTable tTable;

constexpr std::size_t kInitialSlots = 81;
constexpr std::size_t kGrowBy = 5;

// Round half to even, as the midpoint of the quicksort is taken.
std::int64_t middleOf(std::int64_t low, std::int64_t high) noexcept {
    std::int64_t sum = low + high;
    std::int64_t half = sum / 2;
    if (sum % 2 != 0) {
        // sum is odd: (sum / 2) is x.5; pick the even neighbour.
        std::int64_t lower = sum < 0 ? half - 1 : half;
        return lower % 2 == 0 ? lower : lower + 1;
    }
    return half;
}

} // namespace

bool EnumInstalledLocaleProc(std::string_view lcidText) {
    std::size_t nul = lcidText.find('\0');
    if (nul != std::string_view::npos) lcidText = lcidText.substr(0, nul);
    if (lcidText.size() > 4) lcidText = lcidText.substr(lcidText.size() - 4);
    std::uint32_t lcid = 0;
    for (char c : lcidText) {
        int d = (c >= '0' && c <= '9') ? c - '0'
              : (c >= 'a' && c <= 'f') ? c - 'a' + 10
              : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (d < 0) return true; // not a locale identifier: skip it
        lcid = lcid * 16 + static_cast<std::uint32_t>(d);
    }
    std::string name = sys::localeInfo(lcid, sys::LOCALE_SLANGUAGE).value_or(std::string());

    LocaleTable& t = tTable;
    if (t.records.empty()) t.records.resize(kInitialSlots);
    if (t.count >= static_cast<std::int64_t>(t.records.size()) - 1) t.records.resize(t.records.size() + kGrowBy);
    t.records[static_cast<std::size_t>(t.count)] = {std::move(name), lcid};
    ++t.count;
    return true;
}

void SortInstalledLocales(std::vector<InstalledLocaleRecord>& table, std::int64_t low, std::int64_t high) {
    // Quicksort on an explicit stack of ranges, the smaller side first, so
    // that the depth stays logarithmic whatever the data.
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges{{low, high}};
    while (!ranges.empty()) {
        auto [lo, hi] = ranges.back();
        ranges.pop_back();
        if (lo >= hi || lo < 0 || hi >= static_cast<std::int64_t>(table.size())) continue;
        const std::string pivot = table[static_cast<std::size_t>(middleOf(lo, hi))].sName;
        std::int64_t i = lo, j = hi;
        while (i <= j) {
            while (table[static_cast<std::size_t>(i)].sName < pivot) ++i;
            while (pivot < table[static_cast<std::size_t>(j)].sName) --j;
            if (i <= j) {
                std::swap(table[static_cast<std::size_t>(i)], table[static_cast<std::size_t>(j)]);
                ++i;
                --j;
            }
        }
        if (j - lo < hi - i) {
            ranges.emplace_back(i, hi);
            ranges.emplace_back(lo, j);
        } else {
            ranges.emplace_back(lo, j);
            ranges.emplace_back(i, hi);
        }
    }
}

void LoadInstalledLocale() {
    LocaleTable& t = tTable;
    t.count = 0;
    t.records.assign(kInitialSlots, InstalledLocaleRecord{});
    for (std::uint32_t lcid : sys::installedLcids()) {
        char text[16];
        std::snprintf(text, sizeof text, "%08X", lcid);
        EnumInstalledLocaleProc(text);
    }
    SortInstalledLocales(t.records, 0, static_cast<std::int64_t>(t.records.size()) - 1);
    t.loaded = true;
}

void UnLoadInstalledLocale() {
    tTable = LocaleTable{};
}

bool InstalledLocaleLoaded() noexcept { return tTable.loaded; }
const std::vector<InstalledLocaleRecord>& InstalledLocaleSlots() noexcept { return tTable.records; }
std::int64_t InstalledLocaleCount() noexcept { return tTable.count; }

std::vector<InstalledLocaleRecord> InstalledLocales() {
    if (!tTable.loaded) LoadInstalledLocale();
    std::vector<InstalledLocaleRecord> out;
    out.reserve(static_cast<std::size_t>(tTable.count));
    for (const InstalledLocaleRecord& r : tTable.records) {
        if (!onlySpaces(r.sName)) out.push_back(r);
    }
    return out;
}

} // namespace qz
