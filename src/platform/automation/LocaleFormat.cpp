#include "LocaleFormat.h"

namespace qz {

const LocaleFormat& LocaleFormat::english() {
    static const LocaleFormat kEnglish = [] {
        LocaleFormat f;
        f.monthNames = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                        u"July",    u"August",   u"September", u"October", u"November", u"December"};
        f.abbrevMonthNames = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                              u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
        f.dayNames = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                      u"Thursday", u"Friday", u"Saturday"};
        f.abbrevDayNames = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
        f.firstDayOfWeek = 6; // Sunday
        return f;
    }();
    return kEnglish;
}

namespace {
// The thread's chosen locale; null means English.
thread_local const LocaleFormat* tCurrent = nullptr;
thread_local LocaleFormat tStorage;
} // namespace

const LocaleFormat& currentLocale() noexcept {
    return tCurrent ? *tCurrent : LocaleFormat::english();
}

void setCurrentLocale(const LocaleFormat& format) {
    if (&format == &LocaleFormat::english()) {
        tCurrent = nullptr;
        return;
    }
    if (&format != &tStorage) tStorage = format;
    tCurrent = &tStorage;
}

} // namespace qz
