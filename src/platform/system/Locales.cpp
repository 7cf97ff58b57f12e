#include "platform/system/Locales.h"

#include "platform/system/CodePage.h"
#include "platform/automation/Text.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/decimfmt.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/ucurr.h>
#include <unicode/uloc.h>
#include <unicode/uversion.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace qz::sys {
namespace {

struct LcidEntry {
    std::uint32_t lcid;
    const char* name;   // as Windows names it
    const char* icu;    // ICU locale id
    bool specific;
};

constexpr LcidEntry kLcids[] = {
#include "platform/system/LcidTable.inc"
};

const LcidEntry* entryOf(std::uint32_t lcid) {
    auto it = std::lower_bound(std::begin(kLcids), std::end(kLcids), lcid,
                               [](const LcidEntry& e, std::uint32_t v) { return e.lcid < v; });
    return (it != std::end(kLcids) && it->lcid == lcid) ? it : nullptr;
}

std::u16string toU16(const icu::UnicodeString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.getBuffer()),
                          static_cast<std::size_t>(s.length()));
}

// Characters that ICU's data uses where Windows uses plainer ones that the
// ANSI code page can hold: the minus sign and the narrow no-break space.
std::u16string plain(std::u16string s) {
    for (auto& c : s) {
        if (c == u'\u2212') c = u'-';
        else if (c == u'\u202F') c = u'\u00A0';
        else if (c == u'\uFFE5') c = u'\u00A5';  // fullwidth yen
        else if (c == u'\u200E' || c == u'\u200F' || c == u'\u061C') c = 0;  // direction marks
    }
    s.erase(std::remove(s.begin(), s.end(), char16_t(0)), s.end());
    return s;
}

// ICU date pattern -> Windows date/time picture.
std::u16string windowsPicture(const icu::UnicodeString& icuPattern, bool fourDigitYear) {
    std::u16string p = plain(toU16(icuPattern)), out;
    // Pictures separate with plain spaces.
    for (auto& c : p)
        if (c == u'\u00A0') c = u' ';
    std::u16string literal;
    auto flushLiteral = [&] {
        if (literal.empty()) return;
        bool plainSep = std::all_of(literal.begin(), literal.end(), [](char16_t c) {
            return c == u' ' || c == u'/' || c == u'.' || c == u'-' || c == u',' || c == u':' ||
                   c == u'\u00A0';
        });
        if (plainSep) out += literal;
        else out += u"'" + literal + u"'";
        literal.clear();
    };
    for (std::size_t i = 0; i < p.size();) {
        char16_t c = p[i];
        if (c == u'\'') {
            // quoted text; '' is a quote
            std::size_t j = i + 1;
            if (j < p.size() && p[j] == u'\'') { literal += u'\''; i = j + 1; continue; }
            while (j < p.size()) {
                if (p[j] == u'\'') {
                    if (j + 1 < p.size() && p[j + 1] == u'\'') { literal += u'\''; j += 2; continue; }
                    break;
                }
                literal += p[j++];
            }
            i = j + 1;
            continue;
        }
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) {
            literal += c;
            ++i;
            continue;
        }
        std::size_t n = 1;
        while (i + n < p.size() && p[i + n] == c) ++n;
        i += n;
        std::u16string field;
        switch (c) {
        case u'y': case u'Y': case u'u':
            field = (n == 2 && !fourDigitYear) ? u"yy" : u"yyyy";
            break;
        case u'M': case u'L':
            field = std::u16string(std::min<std::size_t>(n, 4), u'M');
            break;
        case u'd':
            field = std::u16string(std::min<std::size_t>(n, 2), u'd');
            break;
        case u'E': case u'c': case u'e':
            field = n >= 4 ? u"dddd" : u"ddd";
            break;
        case u'h': case u'K':
            field = std::u16string(std::min<std::size_t>(n, 2), u'h');
            break;
        case u'H': case u'k':
            field = std::u16string(std::min<std::size_t>(n, 2), u'H');
            break;
        case u'm':
            field = std::u16string(std::min<std::size_t>(n, 2), u'm');
            break;
        case u's':
            field = std::u16string(std::min<std::size_t>(n, 2), u's');
            break;
        case u'a': case u'b': case u'B':
            field = u"tt";
            break;
        case u'G':
            field = u"gg";
            break;
        default:
            // Time zones, week numbers, fractions: Windows pictures lack them.
            // Drop the field with the separator text that led up to it.
            if (!literal.empty() && (c == u'z' || c == u'Z' || c == u'v' || c == u'V' || c == u'O'))
                literal.clear();
            continue;
        }
        flushLiteral();
        out += field;
    }
    // Text trailing a dropped field (e.g. " " before a zone) is not kept.
    bool onlySpace = std::all_of(literal.begin(), literal.end(), [](char16_t ch) { return ch == u' '; });
    if (!onlySpace) flushLiteral();
    while (!out.empty() && out.back() == u' ') out.pop_back();
    return out;
}

// The first separator between two fields of a picture ("/" of "M/d/yyyy",
// ":" of "tt h:mm:ss"): spaces around it are not part of it, and a separator
// of spaces alone is passed over.
std::u16string firstSeparator(const std::u16string& picture, const char16_t* fallback) {
    std::u16string sep;
    bool seenField = false;
    auto trimmed = [](std::u16string t) {
        while (!t.empty() && t.back() == u' ') t.pop_back();
        while (!t.empty() && t.front() == u' ') t.erase(t.begin());
        return t;
    };
    bool quoted = false;
    for (char16_t c : picture) {
        if (c == u'\'') {
            quoted = !quoted;
            sep.clear();  // quoted text is no separator
            continue;
        }
        bool letter = !quoted && ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'));
        if (letter) {
            std::u16string t = trimmed(sep);
            if (seenField && !t.empty()) return t;
            sep.clear();
            seenField = true;
        } else if (seenField && !quoted) {
            sep += c;
        }
    }
    return fallback;
}

// Primary and secondary grouping of a number pattern such as "#,##,##0.00".
void groupingOf(const icu::DecimalFormat& df, int& primary, int& secondary) {
    primary = df.isGroupingUsed() ? df.getGroupingSize() : 0;
    secondary = df.getSecondaryGroupingSize();
    if (secondary == primary) secondary = 0;
}


LocaleFormat build(const LcidEntry& e) {
    LocaleFormat f;
    f.lcid = e.lcid;
    UErrorCode st = U_ZERO_ERROR;
    icu::Locale loc(e.icu);

    // Numbers, in Latin digits as Windows writes them
    icu::Locale numLoc((std::string(e.icu) + "@numbers=latn").c_str());
    icu::DecimalFormatSymbols sym(numLoc, st);
    if (U_SUCCESS(st)) {
        f.decimalSep = plain(toU16(sym.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol)));
        f.groupSep = plain(toU16(sym.getSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol)));
        f.negativeSign = plain(toU16(sym.getSymbol(icu::DecimalFormatSymbols::kMinusSignSymbol)));
        f.monDecimalSep = plain(toU16(sym.getSymbol(icu::DecimalFormatSymbols::kMonetarySeparatorSymbol)));
        f.monGroupSep = plain(toU16(sym.getSymbol(icu::DecimalFormatSymbols::kMonetaryGroupingSeparatorSymbol)));
        f.currencySymbol = plain(toU16(sym.getSymbol(icu::DecimalFormatSymbols::kCurrencySymbol)));
    }
    if (f.negativeSign.empty()) f.negativeSign = u"-";
    f.listSep = f.decimalSep == u"," ? u";" : u",";
    f.numDigits = 2;
    f.leadingZero = 1;

    st = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> nf(icu::NumberFormat::createInstance(numLoc, st));
    if (U_SUCCESS(st)) {
        if (auto* df = dynamic_cast<icu::DecimalFormat*>(nf.get())) {
            int p, s;
            groupingOf(*df, p, s);
            f.groupSize = p;
            icu::UnicodeString neg;
            df->getNegativePrefix(neg);
            icu::UnicodeString negSuffix;
            df->getNegativeSuffix(negSuffix);
            // "1.1-" when the sign trails
            f.negNumberFormat = (neg.length() == 0 && negSuffix.length() > 0) ? 3 : 1;
        }
    }

    st = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> cf(icu::NumberFormat::createCurrencyInstance(numLoc, st));
    if (U_SUCCESS(st)) {
        if (auto* df = dynamic_cast<icu::DecimalFormat*>(cf.get())) {
            int p, s;
            groupingOf(*df, p, s);
            f.monGroupSize = p;
            icu::UnicodeString pat;
            df->toPattern(pat);
            std::u16string ps = toU16(pat);
            auto semi = ps.find(u';');
            if (semi != std::u16string::npos) ps.resize(semi);
            auto cur = ps.find(u'\u00A4');
            auto digit = ps.find_first_of(u"#0");
            bool before = cur != std::u16string::npos && digit != std::u16string::npos && cur < digit;
            bool spaced = false;
            if (cur != std::u16string::npos) {
                char16_t next = before ? (cur + 1 < ps.size() ? ps[cur + 1] : u'#')
                                       : (cur > 0 ? ps[cur - 1] : u'0');
                spaced = next == u' ' || next == u'\u00A0' || next == u'\u202F';
            }
            f.posCurrFormat = before ? (spaced ? 2 : 0) : (spaced ? 3 : 1);
            static constexpr int kNegFromPos[4] = {1, 5, 9, 8};
            f.negCurrFormat = kNegFromPos[f.posCurrFormat];
        }
        const char16_t* iso = cf->getCurrency();
        if (iso && *iso) {
            st = U_ZERO_ERROR;
            int32_t digits = ucurr_getDefaultFractionDigits(reinterpret_cast<const UChar*>(iso), &st);
            if (U_SUCCESS(st)) f.currDigits = digits;
        }
    }
    // United States English shows negative amounts in parentheses.
    if (e.lcid == 0x0409) f.negCurrFormat = 0;

    // Dates and times
    std::unique_ptr<icu::DateFormat> shortDf(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, loc));
    std::unique_ptr<icu::DateFormat> longDf(icu::DateFormat::createDateInstance(icu::DateFormat::kFull, loc));
    std::unique_ptr<icu::DateFormat> timeDf(icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, loc));
    icu::UnicodeString pat;
    if (auto* sdf = dynamic_cast<icu::SimpleDateFormat*>(shortDf.get())) {
        f.shortDate = windowsPicture(sdf->toPattern(pat), true);
        f.dateSep = firstSeparator(f.shortDate, u"/");
    }
    if (auto* sdf = dynamic_cast<icu::SimpleDateFormat*>(longDf.get()))
        f.longDate = windowsPicture(sdf->toPattern(pat.remove()), true);
    if (auto* sdf = dynamic_cast<icu::SimpleDateFormat*>(timeDf.get())) {
        f.timeFormat = windowsPicture(sdf->toPattern(pat.remove()), true);
        f.timeSep = firstSeparator(f.timeFormat, u":");
    }

    st = U_ZERO_ERROR;
    icu::DateFormatSymbols dfs(loc, st);
    if (U_SUCCESS(st)) {
        int32_t n = 0;
        const icu::UnicodeString* ampm = dfs.getAmPmStrings(n);
        if (n >= 2) {
            f.am = plain(toU16(ampm[0]));
            f.pm = plain(toU16(ampm[1]));
        }
        // Names as they stand alone (nominative), as Windows lists them.
        const icu::UnicodeString* months =
            dfs.getMonths(n, icu::DateFormatSymbols::STANDALONE, icu::DateFormatSymbols::WIDE);
        for (int i = 0; i < 12 && i < n; ++i) f.monthNames[i] = plain(toU16(months[i]));
        months = dfs.getMonths(n, icu::DateFormatSymbols::STANDALONE, icu::DateFormatSymbols::ABBREVIATED);
        for (int i = 0; i < 12 && i < n; ++i) f.abbrevMonthNames[i] = plain(toU16(months[i]));
        // ... and as they stand in a date next to the day (genitive in many languages).
        months = dfs.getMonths(n, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
        for (int i = 0; i < 12 && i < n; ++i) f.dateMonthNames[i] = plain(toU16(months[i]));
        months = dfs.getMonths(n, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::ABBREVIATED);
        for (int i = 0; i < 12 && i < n; ++i) f.abbrevDateMonthNames[i] = plain(toU16(months[i]));
        // ICU numbers weekdays from 1 (Sunday); index 0 is unused.
        const icu::UnicodeString* days =
            dfs.getWeekdays(n, icu::DateFormatSymbols::STANDALONE, icu::DateFormatSymbols::WIDE);
        for (int i = 0; i < 7 && i + 1 < n; ++i) f.dayNames[i] = plain(toU16(days[i + 1]));
        days = dfs.getWeekdays(n, icu::DateFormatSymbols::STANDALONE, icu::DateFormatSymbols::ABBREVIATED);
        for (int i = 0; i < 7 && i + 1 < n; ++i) f.abbrevDayNames[i] = plain(toU16(days[i + 1]));
    }
    st = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> cal(icu::Calendar::createInstance(loc, st));
    if (U_SUCCESS(st)) {
        int first = cal->getFirstDayOfWeek(st);  // 1 Sunday .. 7 Saturday
        if (U_SUCCESS(st)) f.firstDayOfWeek = (first + 5) % 7;
    }
    return f;
}

// One slot per table entry: filled once under the mutex, read without it.
constexpr std::size_t kLcidCount = std::size(kLcids);
std::atomic<const LocaleFormat*> gFormats[kLcidCount];
std::mutex gBuildMutex;

std::atomic<std::uint32_t> gUserLcidOverride{0};

// Locale names compare without regard to case, "_" and "-" alike.
bool sameTag(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x == '_') x = '-';
        if (y == '_') y = '-';
        if (toLowerAscii(x) != toLowerAscii(y)) return false;
    }
    return true;
}

std::string displayName(const char* icuId, bool languageOnly, bool countryOnly, const char* inLocale) {
    UChar buf[256];
    UErrorCode st = U_ZERO_ERROR;
    int32_t n;
    if (languageOnly) n = uloc_getDisplayLanguage(icuId, inLocale, buf, 256, &st);
    else if (countryOnly) n = uloc_getDisplayCountry(icuId, inLocale, buf, 256, &st);
    else n = uloc_getDisplayName(icuId, inLocale, buf, 256, &st);
    if (U_FAILURE(st) || n <= 0) return {};
    return toUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(buf),
                                           static_cast<std::size_t>(std::min(n, 256))));
}

std::string grouping(int primary, int secondary) {
    if (primary <= 0) return "0;0";
    std::string s = std::to_string(primary);
    if (secondary > 0) s += ";" + std::to_string(secondary);
    return s + ";0";
}

} // namespace

const LocaleFormat* localeFormatFor(std::uint32_t lcid) {
    const LcidEntry* e = entryOf(lcid);
    if (!e) return nullptr;
    auto& slot = gFormats[static_cast<std::size_t>(e - kLcids)];
    if (const LocaleFormat* f = slot.load(std::memory_order_acquire)) return f;
    std::lock_guard<std::mutex> lock(gBuildMutex);
    if (const LocaleFormat* f = slot.load(std::memory_order_acquire)) return f;
    // Kept for the life of the process, as the callers hold the pointer.
    const LocaleFormat* made = new LocaleFormat(build(*e));
    slot.store(made, std::memory_order_release);
    return made;
}

bool isValidLcid(std::uint32_t lcid) { return entryOf(lcid) != nullptr; }

std::vector<std::uint32_t> installedLcids() {
    std::vector<std::uint32_t> out;
    for (const auto& e : kLcids)
        if (e.specific) out.push_back(e.lcid);
    return out;
}

std::uint32_t lcidFromName(std::string_view tag) {
    // Strip an encoding or modifier: "fr_FR.UTF-8@euro".
    auto cut = tag.find_first_of(".@");
    if (cut != std::string_view::npos) tag = tag.substr(0, cut);
    if (tag.empty()) return 0;
    for (const auto& e : kLcids)
        if (sameTag(e.name, tag) || sameTag(e.icu, tag)) return e.lcid;
    // A name ICU knows by another spelling ("iw-IL", "zh-Hant-TW").
    char canon[64];
    UErrorCode st = U_ZERO_ERROR;
    std::string t(tag);
    uloc_canonicalize(t.c_str(), canon, sizeof canon, &st);
    if (U_SUCCESS(st)) {
        std::uint32_t l = uloc_getLCID(canon);
        if (l && entryOf(l)) return l;
    }
    return 0;
}

std::string localeNameOf(std::uint32_t lcid) {
    const LcidEntry* e = entryOf(lcid);
    return e ? e->name : std::string{};
}

std::uint32_t userDefaultLcid() {
    if (std::uint32_t o = gUserLcidOverride.load()) return o;
    for (const char* var : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* v = std::getenv(var);
        if (!v || !*v) continue;
        std::string_view s(v);
        if (s == "C" || s == "POSIX" || s.rfind("C.", 0) == 0) return 1033;
        if (std::uint32_t l = lcidFromName(s)) return l;
    }
    return 1033;
}

void setUserDefaultLcid(std::uint32_t lcid) {
    gUserLcidOverride.store(lcid == 0 || isValidLcid(lcid) ? lcid : 0);
}

std::optional<std::string> localeInfo(std::uint32_t lcid, std::uint32_t item) {
    const LcidEntry* e = entryOf(lcid);
    if (!e) return std::nullopt;
    const LocaleFormat& f = *localeFormatFor(lcid);
    auto u8 = [](const std::u16string& s) { return toUtf8(s); };
    auto num = [](int v) { return std::to_string(v); };

    if (item >= LOCALE_SDAYNAME1 && item < LOCALE_SDAYNAME1 + 7)   // Monday first
        return u8(f.dayNames[(item - LOCALE_SDAYNAME1 + 1) % 7]);
    if (item >= LOCALE_SABBREVDAYNAME1 && item < LOCALE_SABBREVDAYNAME1 + 7)
        return u8(f.abbrevDayNames[(item - LOCALE_SABBREVDAYNAME1 + 1) % 7]);
    if (item >= LOCALE_SMONTHNAME1 && item < LOCALE_SMONTHNAME1 + 12)
        return u8(f.monthNames[item - LOCALE_SMONTHNAME1]);
    if (item >= LOCALE_SABBREVMONTHNAME1 && item < LOCALE_SABBREVMONTHNAME1 + 12)
        return u8(f.abbrevMonthNames[item - LOCALE_SABBREVMONTHNAME1]);

    switch (item) {
    case LOCALE_SLANGUAGE: return displayName(e->icu, false, false, "en");
    case LOCALE_SNATIVELANGNAME: return displayName(e->icu, true, false, e->icu);
    case LOCALE_SNATIVECTRYNAME: return displayName(e->icu, false, true, e->icu);
    case LOCALE_SENGLANGUAGE: return displayName(e->icu, true, false, "en");
    case LOCALE_SENGCOUNTRY: return displayName(e->icu, false, true, "en");
    case LOCALE_SNAME: return std::string(e->name);
    case LOCALE_SLIST: return u8(f.listSep);
    case LOCALE_SDECIMAL: return u8(f.decimalSep);
    case LOCALE_STHOUSAND: return u8(f.groupSep);
    case LOCALE_SGROUPING:
    case LOCALE_SMONGROUPING: {
        // Secondary grouping (India: "3;2;0") comes from the number pattern.
        UErrorCode st = U_ZERO_ERROR;
        icu::Locale loc(e->icu);
        std::unique_ptr<icu::NumberFormat> nf(item == LOCALE_SGROUPING
            ? icu::NumberFormat::createInstance(loc, st)
            : icu::NumberFormat::createCurrencyInstance(loc, st));
        int p = item == LOCALE_SGROUPING ? f.groupSize : f.monGroupSize, s = 0;
        if (U_SUCCESS(st))
            if (auto* df = dynamic_cast<icu::DecimalFormat*>(nf.get())) groupingOf(*df, p, s);
        return grouping(p, s);
    }
    case LOCALE_IDIGITS: return num(f.numDigits);
    case LOCALE_ILZERO: return num(f.leadingZero);
    case LOCALE_SCURRENCY: return u8(f.currencySymbol);
    case LOCALE_SMONDECIMALSEP: return u8(f.monDecimalSep);
    case LOCALE_SMONTHOUSANDSEP: return u8(f.monGroupSep);
    case LOCALE_ICURRDIGITS: return num(f.currDigits);
    case LOCALE_ICURRENCY: return num(f.posCurrFormat);
    case LOCALE_INEGCURR: return num(f.negCurrFormat);
    case LOCALE_SDATE: return u8(f.dateSep);
    case LOCALE_STIME: return u8(f.timeSep);
    case LOCALE_SSHORTDATE: return u8(f.shortDate);
    case LOCALE_SLONGDATE: return u8(f.longDate);
    case LOCALE_STIMEFORMAT: return u8(f.timeFormat);
    case LOCALE_S1159: return u8(f.am);
    case LOCALE_S2359: return u8(f.pm);
    case LOCALE_SNEGATIVESIGN: return u8(f.negativeSign);
    case LOCALE_IFIRSTDAYOFWEEK: return num(f.firstDayOfWeek);
    case LOCALE_INEGNUMBER: return num(f.negNumberFormat);
    default: return std::nullopt;
    }
}

std::string icuVersion() {
    UVersionInfo v;
    u_getVersion(v);
    char text[U_MAX_VERSION_STRING_LENGTH];
    u_versionToString(v, text);
    return text;
}

} // namespace qz::sys
