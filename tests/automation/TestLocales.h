// Hand-built locale data for the tests: United States English, French
// (France) and German (Germany), as the platform reported them.
#pragma once

#include "platform/automation/LocaleFormat.h"

namespace qz::test {

inline LocaleFormat french() {
    LocaleFormat f = LocaleFormat::english();
    f.lcid = 1036;
    f.decimalSep = u",";
    f.groupSep = u"\u00A0";
    f.negNumberFormat = 1;
    f.listSep = u";";
    f.currencySymbol = u"\u20AC";
    f.monDecimalSep = u",";
    f.monGroupSep = u"\u00A0";
    f.posCurrFormat = 3;
    f.negCurrFormat = 8;
    f.shortDate = u"dd/MM/yyyy";
    f.longDate = u"dddd d MMMM yyyy";
    f.timeFormat = u"HH:mm:ss";
    f.dateSep = u"/";
    f.am = u"";
    f.pm = u"";
    f.firstDayOfWeek = 0;
    f.monthNames = {u"janvier", u"f\u00E9vrier", u"mars",      u"avril",   u"mai",      u"juin",
                    u"juillet", u"ao\u00FBt",    u"septembre", u"octobre", u"novembre", u"d\u00E9cembre"};
    f.abbrevMonthNames = {u"janv.", u"f\u00E9vr.", u"mars", u"avr.", u"mai",  u"juin",
                          u"juil.", u"ao\u00FBt",  u"sept.", u"oct.", u"nov.", u"d\u00E9c."};
    f.dayNames = {u"dimanche", u"lundi", u"mardi", u"mercredi", u"jeudi", u"vendredi", u"samedi"};
    f.abbrevDayNames = {u"dim.", u"lun.", u"mar.", u"mer.", u"jeu.", u"ven.", u"sam."};
    return f;
}

inline LocaleFormat german() {
    LocaleFormat f = LocaleFormat::english();
    f.lcid = 1031;
    f.decimalSep = u",";
    f.groupSep = u".";
    f.listSep = u";";
    f.currencySymbol = u"\u20AC";
    f.monDecimalSep = u",";
    f.monGroupSep = u".";
    f.posCurrFormat = 3;
    f.negCurrFormat = 8;
    f.shortDate = u"dd.MM.yyyy";
    f.longDate = u"dddd, d. MMMM yyyy";
    f.timeFormat = u"HH:mm:ss";
    f.dateSep = u".";
    f.am = u"";
    f.pm = u"";
    f.firstDayOfWeek = 0;
    f.monthNames = {u"Januar", u"Februar", u"M\u00E4rz",    u"April",   u"Mai",      u"Juni",
                    u"Juli",   u"August",  u"September", u"Oktober", u"November", u"Dezember"};
    f.abbrevMonthNames = {u"Jan", u"Feb", u"Mrz", u"Apr", u"Mai", u"Jun",
                          u"Jul", u"Aug", u"Sep", u"Okt", u"Nov", u"Dez"};
    f.dayNames = {u"Sonntag", u"Montag", u"Dienstag", u"Mittwoch", u"Donnerstag", u"Freitag", u"Samstag"};
    f.abbrevDayNames = {u"So", u"Mo", u"Di", u"Mi", u"Do", u"Fr", u"Sa"};
    return f;
}

// Sets a locale for the scope of a test and restores English after it.
class ScopedLocale {
public:
    explicit ScopedLocale(const LocaleFormat& f) { setCurrentLocale(f); }
    ~ScopedLocale() { setCurrentLocale(LocaleFormat::english()); }
};

} // namespace qz::test
