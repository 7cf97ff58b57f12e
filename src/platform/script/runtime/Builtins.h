// The built-in functions of the run-time library, one C++ function each, and
// the argument helpers they share. Runtime.cpp gathers them into the table the
// engine looks names up in.
#pragma once

#include "Runtime.h"
#include "ScriptErrors.h"

#include "platform/automation/Variant.h"
#include "platform/automation/VariantOps.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace qz::script {

// The longest string a function builds (in UTF-16 units); a larger request
// raises 7 "Out of memory" instead of exhausting the process.
inline constexpr std::int64_t kMaxStringLength = std::int64_t{1} << 27;

// True when the argument was passed (not omitted).
inline bool given(std::span<Variant> args, std::size_t i) {
    return i < args.size() && !args[i].isMissing();
}

// The argument after its default value is taken (objects give their value).
inline Variant valueOf(const Variant& v) { return v.isObject() ? v.dereference() : v; }

// The number arguments of a function are looked at in three passes: a Null
// among the given ones raises 94 before any is converted (13), and ranges (5)
// are checked last, before the text arguments are.
inline void refuseNullNumbers(std::span<Variant> args, std::initializer_list<std::size_t> which) {
    for (std::size_t i : which)
        if (i < args.size() && args[i].isNull()) throwRuntimeError(err::InvalidNull);
}

// A Long argument; Null raises 94.
std::int32_t longArg(const Variant& v);
// An optional Long argument with a default when omitted.
std::int32_t longArg(std::span<Variant> args, std::size_t i, std::int32_t dflt);
// A string argument; Null raises 94.
std::u16string stringArg(const Variant& v);
// The compare-mode argument: 0 binary, 1 text; others raise 5.
ops::CompareMode compareArg(std::span<Variant> args, std::size_t i);
// Raises 7 when a string of n units would be too large, 5 when n < 0, and
// stops the script when it would take it past its memory ceiling.
void checkLength(std::int64_t n);

// Makes room for `more` characters in a text a built-in is building (one no
// value holds yet): past the longest string it is error 7, and the ceiling is
// asked for the room the text moves to together with the room it leaves,
// which stand side by side while it moves. The room doubles, or near the
// ceiling grows by just what is needed.
inline void roomFor(std::u16string& text, std::size_t more) {
    const std::size_t units = text.size() + more;
    if (units <= text.capacity()) return;
    if (units > static_cast<std::size_t>(kMaxStringLength)) throwRuntimeError(err::OutOfMemory);
    const auto bytes = [&](std::size_t room) {
        return static_cast<std::int64_t>((room + text.capacity()) * sizeof(char16_t));
    };
    std::size_t room = std::max(units, 2 * text.capacity());
    if (memory::wouldPass(bytes(room))) room = units;
    reserveMemory(bytes(room));
    text.reserve(room);
}

// Before a list of values built from a built-in's input grows: stops the
// script when the list's next room, with a short text's box for each value
// (short texts do not count themselves), would pass the memory ceiling, and
// at its time-out.
inline void beforeGrowing(const std::vector<Variant>& v) {
    if (v.size() == v.capacity())
        reserveMemory(static_cast<std::int64_t>((v.capacity() + 1) * 2 * (sizeof(Variant) + sizeof(StringBox))));
    if ((v.size() & kPollMask) == kPollMask) checkTimeOut();
}

// The local time of day in seconds, to the millisecond (Timer, Randomize).
double secondsSinceMidnight();

// q whole units of `unit` (in 1/10000ths) as a scaled Currency value; a result
// outside Currency's range raises 6 (rounding the most negative value down,
// or the largest up, leaves it).
inline std::int64_t currencyUnits(std::int64_t q, std::int64_t unit) {
    std::int64_t out;
    if (__builtin_mul_overflow(q, unit, &out)) throwRuntimeError(err::Overflow);
    return out;
}

// Fix, Int and Round: rounds a number and keeps its subtype. Null stays
// Null, Empty gives Integer 0, Boolean its Integer value, whole-number
// subtypes are returned as they are; `real` rounds Single, Double, Date and
// text, `currency` the scaled value (units of 1/10000) of a Currency,
// `decimal` a Decimal. Other subtypes raise 13.
template <class Real, class Cur, class Dec>
Variant roundKeepingSubtype(const Variant& v, Real real, Cur currency, Dec decimal) {
    switch (v.type()) {
    case VarType::Null: return Variant::null();
    case VarType::Empty: return Variant(static_cast<std::int16_t>(0));
    case VarType::Boolean: return Variant(v.integerValue());
    case VarType::Byte: case VarType::Integer: case VarType::Long: return v;
    case VarType::Single: return Variant(static_cast<float>(real(v.singleValue())));
    case VarType::Double: return Variant(real(v.doubleValue()));
    case VarType::Date: return Variant::date(real(v.dateValue()));
    case VarType::Currency: return Variant::currency(currency(v.currencyValue()));
    case VarType::String: return Variant(real(v.toDouble()));
    case VarType::Decimal: return Variant::decimal(decimal(v.decimalValue()));
    default: throwRuntimeError(err::TypeMismatch);
    }
}

namespace fn {
#define QZ_BUILTIN(name) Variant name(std::span<Variant> args);
// Conversions and type information
QZ_BUILTIN(CBool) QZ_BUILTIN(CByte) QZ_BUILTIN(CInt) QZ_BUILTIN(CLng) QZ_BUILTIN(CSng)
QZ_BUILTIN(CDbl) QZ_BUILTIN(CCur) QZ_BUILTIN(CDate) QZ_BUILTIN(CStr) QZ_BUILTIN(Hex)
QZ_BUILTIN(Oct) QZ_BUILTIN(Fix) QZ_BUILTIN(Int) QZ_BUILTIN(IsArray) QZ_BUILTIN(IsDate)
QZ_BUILTIN(IsEmpty) QZ_BUILTIN(IsNull) QZ_BUILTIN(IsNumeric) QZ_BUILTIN(IsObject)
QZ_BUILTIN(TypeName) QZ_BUILTIN(VarType) QZ_BUILTIN(Array) QZ_BUILTIN(LBound)
QZ_BUILTIN(UBound) QZ_BUILTIN(RGB)
// Strings
QZ_BUILTIN(Asc) QZ_BUILTIN(AscW) QZ_BUILTIN(AscB) QZ_BUILTIN(Chr) QZ_BUILTIN(ChrW)
QZ_BUILTIN(ChrB) QZ_BUILTIN(InStr) QZ_BUILTIN(InStrB) QZ_BUILTIN(InStrRev) QZ_BUILTIN(Left)
QZ_BUILTIN(LeftB) QZ_BUILTIN(Mid) QZ_BUILTIN(MidB) QZ_BUILTIN(Right) QZ_BUILTIN(RightB)
QZ_BUILTIN(Len) QZ_BUILTIN(LenB) QZ_BUILTIN(LCase) QZ_BUILTIN(UCase) QZ_BUILTIN(LTrim)
QZ_BUILTIN(RTrim) QZ_BUILTIN(Trim) QZ_BUILTIN(Replace) QZ_BUILTIN(Space) QZ_BUILTIN(String)
QZ_BUILTIN(StrComp) QZ_BUILTIN(StrReverse) QZ_BUILTIN(Split) QZ_BUILTIN(Join)
QZ_BUILTIN(Filter) QZ_BUILTIN(Escape) QZ_BUILTIN(Unescape)
// Math
QZ_BUILTIN(Abs) QZ_BUILTIN(Atn) QZ_BUILTIN(Cos) QZ_BUILTIN(Exp) QZ_BUILTIN(Log)
QZ_BUILTIN(Rnd) QZ_BUILTIN(Round) QZ_BUILTIN(Sgn) QZ_BUILTIN(Sin) QZ_BUILTIN(Sqr)
QZ_BUILTIN(Tan)
// Dates
QZ_BUILTIN(Date) QZ_BUILTIN(Time) QZ_BUILTIN(Now) QZ_BUILTIN(Timer) QZ_BUILTIN(DateAdd)
QZ_BUILTIN(DateDiff) QZ_BUILTIN(DatePart) QZ_BUILTIN(DateSerial) QZ_BUILTIN(DateValue)
QZ_BUILTIN(TimeSerial) QZ_BUILTIN(TimeValue) QZ_BUILTIN(Day) QZ_BUILTIN(Month)
QZ_BUILTIN(Year) QZ_BUILTIN(Weekday) QZ_BUILTIN(Hour) QZ_BUILTIN(Minute) QZ_BUILTIN(Second)
QZ_BUILTIN(MonthName) QZ_BUILTIN(WeekdayName)
// Formatting
QZ_BUILTIN(FormatNumber) QZ_BUILTIN(FormatCurrency) QZ_BUILTIN(FormatPercent)
QZ_BUILTIN(FormatDateTime)
#undef QZ_BUILTIN
} // namespace fn

// Registers the library's own creatable objects (Dictionary, RegExp,
// FileSystemObject); called once before the first createObject.
void registerLibraryObjects();

} // namespace qz::script
