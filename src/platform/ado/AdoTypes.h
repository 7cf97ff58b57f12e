// Data type codes, object states and errors of the data-access layer, with the
// numbers and texts that callers and templates have always seen from it.
#pragma once

#include "platform/automation/AutomationError.h"
#include "platform/automation/Variant.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace qz::ado {

// Field type codes (the Type of a Field, of a catalog Column).
enum DataType : std::int32_t {
    adEmpty = 0, adSmallInt = 2, adInteger = 3, adSingle = 4, adDouble = 5, adCurrency = 6,
    adDate = 7, adBSTR = 8, adError = 10, adBoolean = 11, adVariant = 12, adDecimal = 14,
    adTinyInt = 16, adUnsignedTinyInt = 17, adBigInt = 20, adGUID = 72, adBinary = 128,
    adChar = 129, adWChar = 130, adNumeric = 131, adDBDate = 133, adDBTime = 134,
    adDBTimeStamp = 135, adChapter = 136, adVarChar = 200, adLongVarChar = 201,
    adVarWChar = 202, adLongVarWChar = 203, adVarBinary = 204, adLongVarBinary = 205,
};

inline constexpr std::int32_t adStateClosed = 0;
inline constexpr std::int32_t adStateOpen = 1;
inline constexpr std::int32_t adUseClient = 3;
inline constexpr std::int32_t adCmdFile = 256;
inline constexpr std::int32_t kLongDefinedSize = 1073741823; // memo and long binary columns

// Error codes of the layer (raised as 0x800A0000 + code, as the library did).
enum AdoError : std::int32_t {
    kErrInvalidArgument = 3001,
    kErrNoCurrentRecord = 3021,
    kErrNotUpdatable = 3251,
    kErrItemNotFound = 3265,
    kErrObjectClosed = 3704,
    kErrObjectOpen = 3705,
    kErrProviderNotFound = 3706,
    kErrInvalidConnection = 3709,
};

inline constexpr std::int32_t adoErrorNumber(std::int32_t code) {
    return static_cast<std::int32_t>(0x800A0000u) + code;
}

// Raises one of the layer's own errors with its standard text.
[[noreturn]] void raiseAdo(std::int32_t code, std::string_view source);
// Raises a failure reported by a data source (number E_FAIL, its own text).
[[noreturn]] void raiseProvider(std::string_view source, std::string description);
// Raises error 7 "Out of memory" for what a source would load past the
// memory ceiling (MemoryMeter.h); `what` says what it was loading.
[[noreturn]] void raiseOutOfMemory(std::string_view source, const std::string& what);
// Stops a load that `bytes` more would take past the memory ceiling.
void reserveLoad(std::int64_t bytes, std::string_view source, const char* what);
// Raises "Query timeout expired" (0x80040E31): a statement or connection did
// not end by its time-out.
inline constexpr std::int32_t kTimeoutExpired = static_cast<std::int32_t>(0x80040E31u);
[[noreturn]] void raiseTimeout(std::string_view source);

// Dates are automation dates: days since 30 December 1899, the time as the
// fraction of a day (before 1899 the fraction counts away from zero).
double oleDateFromParts(int year, int month, int day, int hour, int minute, double second);
// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" (or with "T"), "HH:MM[:SS]".
bool parseIsoDateTime(std::string_view text, double& oleDate);
// The common stored forms of parseIsoDateTime ("YYYY-MM-DD" and "YYYY-MM-DD
// HH:MM:SS") as their parts packed in a number that dateOfPacked turns into
// the same date; -1 for any other text.
std::int64_t packedIsoDate(std::string_view text);
double dateOfPacked(std::int64_t packed);

// The Variant for a text read from a data source, converted to the subtype of
// the field type (numbers, dates, booleans); a text that does not fit the type
// is kept as a String so that no data is lost.
Variant valueFromText(std::string_view text, std::int32_t type);
// The same for the subtypes other than String: false (out unchanged) when the
// text stays a String.
bool scalarFromText(std::string_view text, std::int32_t type, Variant& out);
// Numbers in a date column, by the conventions of SQLite's own date
// functions: a real number is a Julian day, an integer Unix seconds.
inline double dateOfJulianDay(double day) { return day - 2415018.5; }
inline double dateOfUnixSeconds(std::int64_t seconds) { return 25569.0 + static_cast<double>(seconds) / 86400.0; }
// A value of a column where texts and numbers may be stored side by side (a
// SQLite file's), given as its text: as valueFromText, and a number the text
// of which fits no date or boolean is read as the number it is stored as (a
// date by the conventions above, a boolean true when not zero).
Variant valueFromStoredText(std::string_view text, std::int32_t type);

// A String Variant of UTF-8 text (fast for the common ASCII text).
Variant stringValue(std::string_view utf8);
// The same text written into s in place, reusing its room.
void assignUtf8(std::u16string& s, std::string_view utf8);

// Integer and floating values for a field type.
Variant valueFromInt(std::int64_t v, std::int32_t type);
Variant valueFromDouble(double v, std::int32_t type);
// A number in a Currency column as Currency units (1/10000), when Currency
// can hold it (up to 922,337,203,685,477.5807 either way).
inline bool currencyFromDouble(double v, std::int64_t& units) {
    const double scaled = v * 10000;
    if (!(std::fabs(scaled) < 9223372036854775808.0)) return false; // 2^63
    units = std::llround(scaled);
    return true;
}
// An amount written plainly ([-]digits[.digits], at most four decimals) as
// Currency units, exactly, when Currency can hold it; false for any other
// text (valueFromText then reads it through a double).
bool plainCurrencyUnits(std::string_view text, std::int64_t& units);
// A Byte array holding the bytes.
Variant valueFromBytes(const void* data, std::size_t size);

// The field type for a declared SQL column type ("VARCHAR(40)", "INTEGER",
// "DATETIME"...), with the defined size (0 when the type has none). An empty
// declaration gives adEmpty: the caller decides by the values.
std::int32_t typeFromDeclaration(std::string_view decl, std::int32_t& definedSize);

// True for the string, numeric... kinds of field types.
bool isStringType(std::int32_t type);
bool isIntegerType(std::int32_t type);
bool isDateType(std::int32_t type);

} // namespace qz::ado
