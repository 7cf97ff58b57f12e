// Dates as the automation layer keeps them: a Double counting days since
// 30 December 1899, the fraction being the time of day. For dates before that
// day the fraction still counts forward from midnight (-1.25 is 29 December
// 1899, 06:00). Valid dates run from 1 January 100 to 31 December 9999.
#pragma once

#include "LocaleFormat.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace qz {

inline constexpr double kMinDate = -657434.0;          // 1 January 100
inline constexpr double kMaxDate = 2958465.99998843;   // 31 December 9999 23:59:59

struct DateParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    int weekday = 7;   // 1 Sunday ... 7 Saturday
    int dayOfYear = 364;
};

bool isLeapYear(int year) noexcept;
int daysInMonth(int year, int month) noexcept;

// Days since 30 December 1899 of a proleptic Gregorian date (any int fields,
// no normalisation: the caller passes a valid date).
std::int64_t daysFromCivil(int year, int month, int day) noexcept;

// Splits a serial date into its parts, rounding the time to the second.
DateParts dateParts(double serial) noexcept;

// Joins a day number and a time of day (0 <= time < 1) into a serial date.
double joinDateTime(double days, double timeOfDay) noexcept;

// The time of day of a serial date as a fraction in [0, 1).
double timeOfDay(double serial) noexcept;

inline bool isValidDate(double serial) noexcept {
    return serial >= kMinDate - 0.99999 && serial < 2958466.0;
}

// Formats a date with a picture in the locale's picture language
// (d dd ddd dddd M MM MMM MMMM y yy yyyy h hh H HH m mm s ss t tt 'text').
std::u16string formatDatePicture(std::u16string_view picture, const DateParts& parts,
                                 const LocaleFormat& locale);

// The text CStr gives for a date: the short date, the time, or both (a time
// without date for day zero, a date without time at midnight).
std::u16string formatDateDefault(double serial, const LocaleFormat& locale);

// Parses a date and/or time as CDate does, reading the order of day, month and
// year from the locale's short date. Returns false when the text is not a date.
// currentYear fills in a year the text leaves out.
bool parseDate(std::u16string_view text, const LocaleFormat& locale, int currentYear,
               double& out);
// The same with the year of the system clock.
bool parseDate(std::u16string_view text, const LocaleFormat& locale, double& out);

// A system time as a serial date in local time, to the second.
double localTimeAsDate(std::time_t t) noexcept;
// Now, as a serial date in local time.
double nowAsDate();

} // namespace qz
