// The table of the locales installed on the machine, from which the locale
// lists of the dialogs are filled: built once per thread at the first use,
// sorted by name, and discarded when the designer ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

struct InstalledLocaleRecord {
    std::string sName;         // the locale's language name, as LOCALE_SLANGUAGE gives it
    std::uint32_t lLcid = 0;   // its locale identifier
};

// Builds and sorts this thread's table and marks it loaded.
void LoadInstalledLocale();
// Empties the table; the next reader builds it again.
void UnLoadInstalledLocale();
// True once the table is built (and until it is unloaded).
bool InstalledLocaleLoaded() noexcept;
// The table's slots as they stand (blank records of unused slots included)
// and the number of records filled.
const std::vector<InstalledLocaleRecord>& InstalledLocaleSlots() noexcept;
std::int64_t InstalledLocaleCount() noexcept;

// Receives one installed locale from the enumeration as hexadecimal text
// (such as "00000409", possibly NUL-terminated): its last four digits are the
// LCID. Stores the locale's name and LCID; always returns true (go on).
bool EnumInstalledLocaleProc(std::string_view lcidText);

// Sorts table[low..high] ascending by name, comparing bytes; both fields of a
// record move together.
void SortInstalledLocales(std::vector<InstalledLocaleRecord>& table, std::int64_t low, std::int64_t high);

// The table in order, without the blank records of its unused slots: what a
// locale list shows after its default entry. Builds the table when it is not
// loaded.
std::vector<InstalledLocaleRecord> InstalledLocales();

} // namespace qz
