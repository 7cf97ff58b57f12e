// Locale services keyed by Windows locale identifiers (LCIDs), answered from
// ICU's locale data the way a Windows system answers them.
#pragma once

#include "platform/automation/LocaleFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qz::sys {

// The formatting items of a locale, filled from ICU as Windows gives them for
// that LCID. Cached for the life of the process; nullptr when the LCID is not
// known.
const LocaleFormat* localeFormatFor(std::uint32_t lcid);

// True for an LCID this system has locale data for.
bool isValidLcid(std::uint32_t lcid);

// The specific locales (language and country) a Windows system lists as
// installed, in ascending LCID order.
std::vector<std::uint32_t> installedLcids();

// The user's default locale: from LC_ALL, then LC_NUMERIC, then LANG;
// 1033 when none of them names a known locale.
std::uint32_t userDefaultLcid();
// Overrides the user's default locale for this process (tests, command line);
// 0 returns to the environment's.
void setUserDefaultLcid(std::uint32_t lcid);

// "en-US", "fr-FR", "fr_FR.UTF-8", "zh-Hant-TW" -> the LCID; 0 when unknown.
// Case does not matter; "_" and "-" both separate.
std::uint32_t lcidFromName(std::string_view tag);
// 1033 -> "en-US"; "" when unknown.
std::string localeNameOf(std::uint32_t lcid);

// Locale-information items, numbered as Windows numbers them.
inline constexpr std::uint32_t LOCALE_SLANGUAGE = 0x0002;          // "English (United States)"
inline constexpr std::uint32_t LOCALE_SNATIVELANGNAME = 0x0004;    // "français"
inline constexpr std::uint32_t LOCALE_SNATIVECTRYNAME = 0x0008;
inline constexpr std::uint32_t LOCALE_SLIST = 0x000C;
inline constexpr std::uint32_t LOCALE_SDECIMAL = 0x000E;
inline constexpr std::uint32_t LOCALE_STHOUSAND = 0x000F;
inline constexpr std::uint32_t LOCALE_SGROUPING = 0x0010;          // "3;0"
inline constexpr std::uint32_t LOCALE_IDIGITS = 0x0011;
inline constexpr std::uint32_t LOCALE_ILZERO = 0x0012;
inline constexpr std::uint32_t LOCALE_SCURRENCY = 0x0014;
inline constexpr std::uint32_t LOCALE_SMONDECIMALSEP = 0x0016;
inline constexpr std::uint32_t LOCALE_SMONTHOUSANDSEP = 0x0017;
inline constexpr std::uint32_t LOCALE_SMONGROUPING = 0x0018;
inline constexpr std::uint32_t LOCALE_ICURRDIGITS = 0x0019;
inline constexpr std::uint32_t LOCALE_ICURRENCY = 0x001B;
inline constexpr std::uint32_t LOCALE_INEGCURR = 0x001C;
inline constexpr std::uint32_t LOCALE_SDATE = 0x001D;
inline constexpr std::uint32_t LOCALE_STIME = 0x001E;
inline constexpr std::uint32_t LOCALE_SSHORTDATE = 0x001F;
inline constexpr std::uint32_t LOCALE_SLONGDATE = 0x0020;
inline constexpr std::uint32_t LOCALE_S1159 = 0x0028;
inline constexpr std::uint32_t LOCALE_S2359 = 0x0029;
inline constexpr std::uint32_t LOCALE_SDAYNAME1 = 0x002A;          // Monday; ..7 Sunday
inline constexpr std::uint32_t LOCALE_SABBREVDAYNAME1 = 0x0031;
inline constexpr std::uint32_t LOCALE_SMONTHNAME1 = 0x0038;        // ..0x43
inline constexpr std::uint32_t LOCALE_SABBREVMONTHNAME1 = 0x0044;  // ..0x4F
inline constexpr std::uint32_t LOCALE_SNEGATIVESIGN = 0x0051;
inline constexpr std::uint32_t LOCALE_SNAME = 0x005C;              // "en-US"
inline constexpr std::uint32_t LOCALE_SENGLANGUAGE = 0x1001;       // "English"
inline constexpr std::uint32_t LOCALE_SENGCOUNTRY = 0x1002;        // "United States"
inline constexpr std::uint32_t LOCALE_STIMEFORMAT = 0x1003;
inline constexpr std::uint32_t LOCALE_IFIRSTDAYOFWEEK = 0x100C;
inline constexpr std::uint32_t LOCALE_INEGNUMBER = 0x1010;

// The text of one item for a locale, in UTF-8, as Windows returns it
// (numbers as decimal text, groupings as "3;0"); nothing when the LCID or the
// item is unknown.
std::optional<std::string> localeInfo(std::uint32_t lcid, std::uint32_t item);

// The version of the ICU library that gives the locale data ("72.1").
std::string icuVersion();

} // namespace qz::sys
